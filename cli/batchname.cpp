#include "batchname.h"

#include <charconv>
#include <functional>

#include "text/textconv.h"

namespace qrcli::batch {

namespace {

// Whether Part, one name between slashes, may appear in a path that must stay in its folder.
std::string BadPart(std::string_view Part) {
    if (Part.empty())
        return "an empty file or folder name";
    if (Part == "." || Part == "..")
        return "a file or folder name \"" + std::string(Part) + "\"";
    if (Part.size() > kMaxFileName)
        return "a file or folder name longer than " + std::to_string(kMaxFileName) + " bytes";
    return {};
}

// Characters that do not belong in a file name: they end lines, move the cursor or reorder
// what is shown.
bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::variant<NameTemplate, std::string> NameTemplate::Parse(std::string_view Text) {
    NameTemplate T;
    std::vector<Piece> Pieces;
    const auto AddLiteral = [&](char c) {
        if (Pieces.empty() || Pieces.back().What != Piece::Literal)
            Pieces.push_back({});
        Pieces.back().Text += c;
    };
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if ((c == '{' || c == '}') && i + 1 < Text.size() && Text[i + 1] == c) {
            AddLiteral(c);
            ++i;
            continue;
        }
        if (c == '}')
            return std::string("a lone '}' in the template (write }} for a brace)");
        if (c != '{') {
            AddLiteral(c);
            continue;
        }
        const std::size_t Close = Text.find('}', i);
        if (Close == std::string_view::npos)
            return std::string("an unclosed '{' in the template (write {{ for a brace)");
        const std::string_view Inside = Text.substr(i + 1, Close - i - 1);
        Piece P;
        if (Inside == "name") {
            P.What = Piece::Name;
            T.FUsesName = true;
        } else if (Inside == "n") {
            P.What = Piece::RowNumber;
            T.FUsesRow = true;
        } else if (Inside.size() >= 4 && Inside.substr(0, 3) == "n:0") {
            const std::string_view Digits = Inside.substr(3);
            int Width = 0;
            const auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Width);
            if (Error != std::errc() || End != Digits.data() + Digits.size() || Width < 1 || Width > 20)
                return "'{" + std::string(Inside) + "}' in the template: the width of {n:0W} is 1 to 20";
            P.What = Piece::RowNumber;
            P.Width = Width;
            T.FUsesRow = true;
        } else {
            return "unknown placeholder '{" + std::string(Inside) + "}' in the template (use {n}, {n:05} or {name})";
        }
        Pieces.push_back(std::move(P));
        i = Close;
    }

    // The folder ends at the last '/' before the first placeholder (or, without any, at the last
    // '/'): it goes to FFolder, the rest stays in the pieces.
    std::size_t Fixed = 0;
    while (Fixed < Pieces.size() && Pieces[Fixed].What == Piece::Literal) ++Fixed;
    for (std::size_t k = Fixed; k-- > 0;) {
        const std::size_t Slash = Pieces[k].Text.rfind('/');
        if (Slash == std::string::npos)
            continue;
        for (std::size_t j = 0; j < k; ++j) T.FFolder += Pieces[j].Text;
        T.FFolder += Pieces[k].Text.substr(0, Slash + 1);
        Pieces[k].Text.erase(0, Slash + 1);
        Pieces.erase(Pieces.begin(), Pieces.begin() + static_cast<std::ptrdiff_t>(k));
        break;
    }
    if (!Pieces.empty() && Pieces.front().What == Piece::Literal && Pieces.front().Text.empty())
        Pieces.erase(Pieces.begin());
    T.FPieces = std::move(Pieces);
    if (T.FPieces.empty())
        return std::string("the template names a folder but no file");

    // Literal parts after the folder must name real files and folders; the placeholders are
    // checked on every row.
    std::string Shape;
    for (const Piece& P : T.FPieces) Shape += P.What == Piece::Literal ? P.Text : std::string("x");
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Shape.find('/', Start);
        const std::string_view Part = std::string_view(Shape).substr(Start, Slash - Start);
        if (Part.empty() || Part == "." || Part == "..")
            return "the template has " + BadPart(Part) + " after its folder";
        if (Slash == std::string::npos)
            break;
        Start = Slash + 1;
    }
    return T;
}

PathOrError NameTemplate::Expand(std::uint64_t Row, std::string_view Name) const {
    std::string Rest;
    for (const Piece& P : FPieces) {
        switch (P.What) {
            case Piece::Literal: Rest += P.Text; break;
            case Piece::Name: Rest += Name; break;
            case Piece::RowNumber: {
                const std::string Digits = std::to_string(Row);
                if (Digits.size() < static_cast<std::size_t>(P.Width))
                    Rest.append(static_cast<std::size_t>(P.Width) - Digits.size(), '0');
                Rest += Digits;
                break;
            }
        }
    }
    for (std::size_t Start = 0;;) {
        const std::size_t Slash = Rest.find('/', Start);
        if (std::string Bad = BadPart(std::string_view(Rest).substr(Start, Slash - Start)); !Bad.empty())
            return {{}, "the file name would have " + Bad};
        if (Slash == std::string::npos)
            break;
        Start = Slash + 1;
    }
    if (FFolder.size() + Rest.size() > kMaxPath)
        return {{}, "the path would be longer than " + std::to_string(kMaxPath) + " bytes"};
    return {FFolder + Rest, {}};
}

PathOrError CleanName(std::string_view Raw) {
    std::string Name;
    Name.reserve(Raw.size());
    for (std::size_t i = 0; i < Raw.size();) {
        const auto One = qrtext::DecodeOne(Raw, i);
        if (!One)
            return {{}, "the name is not valid UTF-8 (at byte offset " + std::to_string(i) + ")"};
        if (One->Value == U'/' || IsControl(One->Value))
            Name += '_';
        else
            Name.append(Raw.substr(i, One->Length));
        i += One->Length;
    }
    if (Name.empty())
        return {{}, "the name is empty"};
    if (Name == "." || Name == "..")
        return {{}, "the name is \"" + Name + "\""};
    if (Name.size() > kMaxFileName)
        return {{}, "the name is longer than " + std::to_string(kMaxFileName) + " bytes"};
    return {std::move(Name), {}};
}

std::optional<std::uint64_t> TakenNames::Take(std::string_view Path, std::uint64_t Row) {
    // Two unrelated hashes: FNV-1a and the standard library's.
    std::uint64_t A = 0xcbf29ce484222325ULL;
    for (const char c : Path) A = (A ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    const std::uint64_t B = std::hash<std::string_view>{}(Path);
    if (2 * (FCount + 1) > FSlots.size())
        Grow();
    const std::size_t Mask = FSlots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(B) & Mask;; i = (i + 1) & Mask) {
        Entry& E = FSlots[i];
        if (E.Row == 0) {
            E = {A, B, Row};
            ++FCount;
            return std::nullopt;
        }
        if (E.A == A && E.B == B)
            return E.Row;
    }
}

void TakenNames::Grow() {
    std::vector<Entry> Old = std::move(FSlots);
    FSlots.assign(Old.empty() ? 64 : 2 * Old.size(), Entry{});
    const std::size_t Mask = FSlots.size() - 1;
    for (const Entry& E : Old) {
        if (E.Row == 0)
            continue;
        std::size_t i = static_cast<std::size_t>(E.B) & Mask;
        while (FSlots[i].Row != 0) i = (i + 1) & Mask;
        FSlots[i] = E;
    }
}

}  // namespace qrcli::batch
