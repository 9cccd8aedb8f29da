#include "batchlist.h"

#include <csv.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "writefile.h"

namespace qrcli::batch {

namespace {

// Bytes read from the list at a time: rows are handed out as each piece is parsed.
constexpr std::size_t kChunkBytes = 32 * 1024;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The header's names are kept until the columns are found: at most this much memory, each name
// counting kNameCost bytes more than its own length.
constexpr std::size_t kMaxHeaderBytes = std::size_t{4} << 20;
constexpr std::size_t kNameCost = sizeof(std::string);

std::string TooLongText() {
    return "text too long for a QR symbol: more than " + std::to_string(kMaxRowBytes) + " bytes";
}

// libcsv grows its field buffer with this; a field past the row limit is refused, so that a
// missing closing quote cannot make the whole list one field in memory.
void* LimitedRealloc(void* Block, std::size_t Size) {
    return Size > kMaxRowBytes + 4096 ? nullptr : std::realloc(Block, Size);
}

// Spaces are part of a field (RFC 4180): none is trimmed.
int NoSpace(unsigned char) { return 0; }

}  // namespace

std::optional<ColumnChoice> ParseColumn(std::string_view Text) {
    if (Text.empty())
        return std::nullopt;
    std::size_t Number = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Number);
    if (End == Text.data() + Text.size() && Error == std::errc()) {
        if (Number == 0)
            return std::nullopt;
        return ColumnChoice{Number, {}};
    }
    if (Error == std::errc::result_out_of_range)
        return std::nullopt;
    return ColumnChoice{0, std::string(Text)};
}

// --- Plain lines ---------------------------------------------------------------------------

void LineSplitter::Append(std::string_view Bytes) {
    // One byte past the limit is kept: it may be the CR of a CR LF.
    const std::size_t Room = FLimit + 1 - std::min(FLimit + 1, FLine.size());
    if (Bytes.size() > Room)
        FTooLong = true;
    FLine.append(Bytes.substr(0, Room));
}

void LineSplitter::Feed(std::string_view Bytes, const LineFn& Emit) {
    while (!Bytes.empty()) {
        const std::size_t End = Bytes.find('\n');
        if (End == std::string_view::npos) {
            Append(Bytes);
            return;
        }
        std::string_view Line = Bytes.substr(0, End);
        Bytes.remove_prefix(End + 1);
        if (FLine.empty() && !FTooLong) {
            // The whole line is in this piece: no copy.
            if (!Line.empty() && Line.back() == '\r')
                Line.remove_suffix(1);
            Emit(Line.substr(0, FLimit), Line.size() > FLimit);
            continue;
        }
        Append(Line);
        std::string_view Whole = FLine;
        if (!Whole.empty() && Whole.back() == '\r' && !FTooLong)
            Whole.remove_suffix(1);
        Emit(Whole.substr(0, FLimit), FTooLong || Whole.size() > FLimit);
        FLine.clear();
        FTooLong = false;
    }
}

void LineSplitter::Finish(const LineFn& Emit) {
    if (!FLine.empty() || FTooLong) {
        const std::string_view Whole = FLine;
        Emit(Whole.substr(0, FLimit), FTooLong || Whole.size() > FLimit);
    }
    FLine.clear();
    FTooLong = false;
}

// --- CSV -----------------------------------------------------------------------------------

struct ListReader::Csv {
    csv_parser Parser{};
    bool Ok = false;
    ListReader* Owner = nullptr;

    bool HeaderPending = false;
    std::vector<std::string> HeaderNames;
    std::size_t HeaderBytes = 0;
    std::size_t TextIndex = 0;  // 0-based, once known
    std::optional<std::size_t> NameIndex;
    std::vector<std::optional<std::size_t>> FieldIndex;  // each payload field's, once known

    // The record being read.
    std::size_t Field = 0;
    std::string Text, Name;
    bool HasText = false, HasName = false;
    std::vector<std::optional<std::string>> Fields;

    explicit Csv(ListReader* Reader) : Owner(Reader) {
        Ok = csv_init(&Parser, CSV_STRICT | CSV_STRICT_FINI) == 0;
        if (!Ok)
            return;
        csv_set_realloc_func(&Parser, LimitedRealloc);
        csv_set_space_func(&Parser, NoSpace);
        csv_set_blk_size(&Parser, 4096);
        const ListFormat& F = Owner->FFormat;
        HeaderPending = F.Header;
        if (F.Text.Number)
            TextIndex = F.Text.Number - 1;
        if (F.Name && F.Name->Number)
            NameIndex = F.Name->Number - 1;
        for (const FieldChoice& C : F.Fields)
            FieldIndex.push_back(C.Column.Number ? std::optional<std::size_t>(C.Column.Number - 1) : std::nullopt);
        Fields.resize(F.Fields.size());
    }
    ~Csv() {
        if (Ok)
            csv_free(&Parser);
    }
    Csv(const Csv&) = delete;
    Csv& operator=(const Csv&) = delete;

    static void OnField(void* Data, std::size_t Size, void* Self) {
        static_cast<Csv*>(Self)->Take(std::string_view(static_cast<const char*>(Data), Data ? Size : 0));
    }
    static void OnRecord(int, void* Self) { static_cast<Csv*>(Self)->Record(); }

    void Take(std::string_view Value) {
        if (HeaderPending) {
            // Every name kept costs its bytes and a string's own: a header of empty names is
            // bounded too.
            HeaderBytes += Value.size() + kNameCost;
            if (HeaderBytes <= kMaxHeaderBytes)
                HeaderNames.emplace_back(Value);
        } else {
            if (Field == TextIndex) {
                Text.assign(Value);
                HasText = true;
            }
            if (NameIndex && Field == *NameIndex) {
                Name.assign(Value);
                HasName = true;
            }
            for (std::size_t i = 0; i < FieldIndex.size(); ++i)
                if (FieldIndex[i] == Field)
                    Fields[i].emplace(Value);
        }
        ++Field;
    }

    void Record() {
        if (HeaderPending) {
            HeaderPending = false;
            ResolveNames();
        } else if (Owner->FError.empty()) {
            std::string Problem;
            const ListFormat& F = Owner->FFormat;
            if (F.HasText && !HasText)
                Problem = "no column " + std::to_string(TextIndex + 1) + " for the text (the row has " +
                          std::to_string(Field) + ")";
            else if (NameIndex && !HasName)
                Problem = "no column " + std::to_string(*NameIndex + 1) + " for the name (the row has " +
                          std::to_string(Field) + ")";
            for (std::size_t i = 0; i < FieldIndex.size() && Problem.empty(); ++i)
                if (FieldIndex[i] && !Fields[i])
                    Problem = "no column " + std::to_string(*FieldIndex[i] + 1) + " for the field " +
                              F.Fields[i].Field + " (the row has " + std::to_string(Field) + ")";
            Owner->AddRow(std::move(Text), std::move(Name), std::move(Problem), std::move(Fields));
        }
        Field = 0;
        Text.clear();
        Name.clear();
        HasText = HasName = false;
        Fields.assign(FieldIndex.size(), std::nullopt);
    }

    // Columns given by name are looked up in the header; the first of equal names counts.
    void ResolveNames() {
        if (HeaderBytes > kMaxHeaderBytes) {
            Owner->FError = "the header is too large: its column names take more than " +
                            std::to_string(kMaxHeaderBytes) + " bytes, at " + std::to_string(kNameCost) +
                            " bytes a name and the name's own";
            return;
        }
        const auto Find = [&](const std::string& Wanted) -> std::optional<std::size_t> {
            for (std::size_t i = 0; i < HeaderNames.size(); ++i)
                if (HeaderNames[i] == Wanted)
                    return i;
            return std::nullopt;
        };
        const ListFormat& F = Owner->FFormat;
        for (const ColumnChoice* C : {&F.Text, F.Name ? &*F.Name : nullptr}) {
            if (!C || C->Number)
                continue;
            const auto Index = Find(C->Name);
            if (!Index) {
                Owner->FError = "no column named \"" + C->Name + "\" in the header";
                Owner->FColumnNotFound = true;
                return;
            }
            (C == &F.Text ? TextIndex : NameIndex.emplace()) = *Index;
        }
        for (std::size_t i = 0; i < F.Fields.size(); ++i) {
            const FieldChoice& C = F.Fields[i];
            if (C.Column.Number)
                continue;
            FieldIndex[i] = Find(C.Column.Name);
            if (!FieldIndex[i] && !C.Optional) {
                Owner->FError = "no column named \"" + C.Column.Name + "\" in the header";
                Owner->FColumnNotFound = true;
                return;
            }
        }
        HeaderNames = {};
    }

    // Parses Bytes; false when the list is not well formed from here on.
    bool Parse(std::string_view Bytes) {
        const std::size_t Done = csv_parse(&Parser, Bytes.data(), Bytes.size(), OnField, OnRecord, this);
        return Done == Bytes.size() || Failed();
    }
    bool Finish() { return csv_fini(&Parser, OnField, OnRecord, this) == 0 || Failed(); }

    bool Failed() {
        if (!Owner->FError.empty())
            return false;
        const int Error = csv_error(&Parser);
        const std::string Where = "row " + std::to_string(Owner->FRows + Owner->FReady.size() + 1) + ": ";
        if (Error == CSV_ENOMEM || Error == CSV_ETOOBIG)
            Owner->FError = Where + "a field longer than " + std::to_string(kMaxRowBytes) +
                            " bytes (is a closing quote missing?); the rest of the list is not read";
        else
            Owner->FError = Where + "not well-formed CSV (" + csv_strerror(Error) + "); the rest of the list is not read";
        return false;
    }
};

// --- The reader ----------------------------------------------------------------------------

ListReader::ListReader(ListFormat Format, ReadFn Read)
    : FFormat(std::move(Format)), FRead(std::move(Read)), FBuffer(kChunkBytes) {
    if (FFormat.Csv) {
        FCsv = std::make_unique<Csv>(this);
        if (!FCsv->Ok)
            FError = "cannot start the CSV reader";
    }
}

ListReader::~ListReader() = default;

void ListReader::AddRow(std::string Text, std::string Name, std::string Problem,
                        std::vector<std::optional<std::string>> Fields) {
    ListRow Row;
    Row.Fields = std::move(Fields);
    Row.Number = FRows + FReady.size() - FNext + 1;
    Row.Text = std::move(Text);
    Row.Name = std::move(Name);
    Row.Problem = std::move(Problem);
    FReady.push_back(std::move(Row));
}

bool ListReader::Fill() {
    std::string_view Bytes;
    long Got = 0;
    do
        Got = FRead(FBuffer.data(), FBuffer.size());
    while (Got < 0 && errno == EINTR);
    if (Got < 0) {
        FError = qrfiles::Cannot("read the list", errno).Message;
        FEnded = true;
        return false;
    }
    Bytes = std::string_view(FBuffer.data(), static_cast<std::size_t>(Got));
    const bool AtEnd = Got == 0;
    if (!FStarted) {
        // The first bytes may come one at a time from a pipe: the mark is looked for once three
        // have arrived (or the list ended).
        FHead.append(Bytes);
        if (FHead.size() < kByteOrderMark.size() && !AtEnd)
            return true;
        FStarted = true;
        Bytes = FHead;
        if (Bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            Bytes.remove_prefix(kByteOrderMark.size());
    }
    const auto Line = [this](std::string_view Text, bool TooLong) {
        // A line too long is only reported: its text is not kept.
        AddRow(TooLong ? std::string() : std::string(Text), {}, TooLong ? TooLongText() : std::string());
    };
    bool Ok = true;
    if (FCsv) {
        Ok = FCsv->Parse(Bytes) && (!AtEnd || FCsv->Finish());
    } else {
        FLines.Feed(Bytes, Line);
        if (AtEnd)
            FLines.Finish(Line);
    }
    FHead.clear();
    if (!Ok || AtEnd || !FError.empty())
        FEnded = true;
    return Ok;
}

Result<std::optional<ListRow>> ListReader::Next() {
    while (FNext == FReady.size()) {
        FReady.clear();
        FNext = 0;
        if (FEnded && !FError.empty())
            return Failure{FError};
        if (FEnded)
            return std::optional<ListRow>();
        Fill();
    }
    ++FRows;
    return std::optional<ListRow>(std::move(FReady[FNext++]));
}

}  // namespace qrcli::batch
