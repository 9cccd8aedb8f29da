#include "rowjob.h"

#include <algorithm>
#include <optional>

#include "payloadcommand.h"
#include "symbol.h"
#include "text/textconv.h"

namespace qrcli::batch {

namespace {

// The payload of a row: the fields the options give, and those its columns give; a column
// replaces a single field's option and adds to a repeatable one (an empty cell adds nothing).
Result<qrpayload::TPayload> RowPayload(ListRow& Row, const PayloadRequest& Request, const ListFormat& Format) {
    FieldValues Values = Request.Values;
    for (std::size_t i = 0; i < Row.Fields.size() && i < Format.Fields.size(); ++i) {
        if (!Row.Fields[i])
            continue;
        const std::string& Name = Format.Fields[i].Field;
        const auto Field = std::find_if(Request.Format->Fields.begin(), Request.Format->Fields.end(),
                                        [&](const PayloadField& F) { return Name == F.Name; });
        std::string& Value = *Row.Fields[i];
        if (Field->Flag) {
            const auto Flag = ParseFlagValue(Value);
            if (!Flag)
                return Failure{"the " + Name + " column: '" + Value + "' is neither yes nor no"};
            if (*Flag)
                Values[Name] = {"1"};
            else
                Values.erase(Name);
        } else if (Field->Repeatable) {
            if (!Value.empty())
                Values[Name].push_back(std::move(Value));
        } else {
            Values[Name] = {std::move(Value)};
        }
    }
    auto Built = BuildPayload(*Request.Format, Values);
    if (!Built)
        return Failure{Built.Reason()};
    return *Built;
}

}  // namespace

Result<Job> PrepareRow(ListRow& Row, const Options& Opts, const NameTemplate& Template, const ListFormat& Format) {
    if (!Row.Problem.empty())
        return Failure{std::move(Row.Problem)};
    std::optional<qrpayload::TPayload> Payload;
    if (Opts.Payload) {
        auto Built = RowPayload(Row, *Opts.Payload, Format);
        if (!Built)
            return Built.TakeFailure();
        Payload = std::move(*Built);
        Row.Text = Payload->Text;
    }
    qrtext::Decoded Text = qrtext::DecodeUtf8(Row.Text);
    if (!Text.Text)
        return Failure{"the text is not valid UTF-8 (at byte offset " + std::to_string(Text.ErrorOffset) + ")"};
    Job J;
    J.Row = Row.Number;
    J.Text = Opts.Crlf ? qrtext::LineFeedsToCrLf(*Text.Text) : std::move(*Text.Text);
    if (!Opts.Symbols)
        if (auto Why = TooLongForSymbol(J.Text, Opts))
            return Failure{std::move(*Why)};
    if (Payload && !Opts.Symbols)
        if (auto Why = PayloadSymbolProblem(*Opts.Payload->Format, *Payload, J.Text, Opts.Encoding, Opts.Level))
            return Failure{std::move(*Why)};
    if (auto Warning = DroppedWarning(J.Text, Opts.Encoding, Opts.Choices.Kanji))
        J.Warning = std::move(*Warning);
    std::string Name;
    if (Template.UsesName()) {
        auto Clean = CleanName(Row.Name);
        if (!Clean)
            return Clean.TakeFailure();
        Name = std::move(*Clean);
    }
    J.Bytes = J.Text.size() * sizeof(char16_t);
    if (Opts.Symbols) {
        const int Most = *Opts.Symbols ? *Opts.Symbols : qr::MaxSymbols;
        for (int k = 1; k <= Most; ++k) {
            auto Path = Template.Expand(Row.Number, Name, static_cast<std::uint64_t>(k));
            if (!Path)
                return Path.TakeFailure();
            J.Bytes += Path->size();
            J.SetPaths.push_back(std::move(*Path));
        }
        J.Path = J.SetPaths.front();
        return J;
    }
    auto Path = Template.Expand(Row.Number, Name);
    if (!Path)
        return Path.TakeFailure();
    J.Path = std::move(*Path);
    J.Bytes += J.Path.size();
    return J;
}

}  // namespace qrcli::batch
