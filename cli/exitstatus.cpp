#include "exitstatus.h"

namespace qrcli {

namespace {

constexpr ExitStatusMeaning kMeanings[] = {
    {ExitStatus::Done, "done, also when characters were left out", "every row was written"},
    {ExitStatus::Failed,
     "the text does not fit a symbol, the input is unreadable or too long, --verify read the symbol back wrongly, "
     "or the output cannot be written",
     "a row failed, the list could not be read to its end, the files could not be flushed, or no thread "
     "could start"},
    {ExitStatus::Usage, "bad arguments, a payload field that is refused, input that is not UTF-8, or a binary type "
                        "for a terminal",
     "bad arguments, a list that cannot be opened, or a column name missing from the header"},
    {ExitStatus::HungUp, nullptr, "stopped by SIGHUP"},
    {ExitStatus::Interrupted, nullptr, "stopped by SIGINT"},
    {ExitStatus::Quit, nullptr, "stopped by SIGQUIT"},
    {ExitStatus::BrokenPipe, nullptr, "stopped by SIGPIPE, or because standard error's reader went away"},
    {ExitStatus::Terminated, nullptr, "stopped by SIGTERM"},
};

}  // namespace

std::span<const ExitStatusMeaning> ExitStatusMeanings() { return kMeanings; }

std::string ExitStatusHelp() {
    std::string Text;
    for (const auto& [Heading, Meaning] : {std::pair{"Exit status:\n", &ExitStatusMeaning::Single},
                                           std::pair{"Exit status of --batch:\n", &ExitStatusMeaning::Batch}}) {
        Text += Heading;
        for (const ExitStatusMeaning& M : kMeanings) {
            if (!(M.*Meaning))
                continue;
            std::string Value = std::to_string(static_cast<int>(M.Status));
            Value.resize(5, ' ');
            Text += "  " + Value + (M.*Meaning) + "\n";
        }
    }
    Text.pop_back();
    return Text;
}

}  // namespace qrcli
