#include "rowjob.h"

#include "symbol.h"
#include "text/textconv.h"

namespace qrcli::batch {

Result<Job> PrepareRow(ListRow& Row, const Options& Opts, const NameTemplate& Template) {
    if (!Row.Problem.empty())
        return Failure{std::move(Row.Problem)};
    qrtext::Decoded Text = qrtext::DecodeUtf8(Row.Text);
    if (!Text.Text)
        return Failure{"the text is not valid UTF-8 (at byte offset " + std::to_string(Text.ErrorOffset) + ")"};
    Job J;
    J.Row = Row.Number;
    J.Text = Opts.Crlf ? qrtext::LineFeedsToCrLf(*Text.Text) : std::move(*Text.Text);
    if (auto Why = TooLongForSymbol(J.Text, Opts))
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
    auto Path = Template.Expand(Row.Number, Name);
    if (!Path)
        return Path.TakeFailure();
    J.Path = std::move(*Path);
    J.Bytes = J.Text.size() * sizeof(char16_t) + J.Path.size();
    return J;
}

}  // namespace qrcli::batch
