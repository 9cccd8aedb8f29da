// quandrel-qr: the command-line face of Quandrel QR Code.

#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "batchname.h"
#include "batchrun.h"
#include "exitstatus.h"
#include "input.h"
#include "messages.h"
#include "outputtype.h"
#include "payloadcommand.h"
#include "readerwarnings.h"
#include "symbol.h"
#include "symbolfile.h"
#include "text/textconv.h"
#include "writefile.h"
#ifdef _WIN32
#include "console_win32.h"
#include "wideargs.h"
#endif

namespace {

using qrcli::ExitStatus;

// Says why the run ends and gives its exit status.
ExitStatus Fail(ExitStatus Status, std::string_view Text) {
    qrcli::Message(Text);
    return Status;
}

// Writes Bytes whole to standard output (or error); Done, or Failed with the reason.
ExitStatus Emit(int Fd, std::string_view Bytes) {
    if (auto Written = qrcli::WriteStream(Fd, Bytes); !Written)
        return Fail(ExitStatus::Failed, Written.Error());
    return ExitStatus::Done;
}

// A structured-append set, one file a symbol named by the template: all drawn before the first
// is written.
ExitStatus MakeSymbolSet(qrcli::OutputType Type, std::u16string_view Text, const qrcli::Options& O) {
    if (const auto Warning = qrcli::DroppedWarning(Text, O.Encoding, O.Choices.Kanji))
        qrcli::Message(*Warning);
    const std::vector<qrpicture::TBytes> Files = qrcli::MakeSymbolSetFiles(Type, Text, O);
    if (Files.empty())
        return Fail(ExitStatus::Failed, qrcli::SetTooLongReason(O));
    const auto Template = qrcli::batch::NameTemplate::Parse(*O.OutputFile);
    std::vector<std::string> Paths;
    for (std::size_t k = 0; k < Files.size(); ++k) {
        // {n} and {s} alike are the symbol's position here.
        auto Path = Template->Expand(k + 1, "", k + 1);
        if (!Path)
            return Fail(ExitStatus::Failed, "-o: " + Path.Error());
        Paths.push_back(std::move(*Path));
    }
    for (std::size_t k = 0; k < Files.size(); ++k) qrfiles::SaveFile(Paths[k], Files[k]);
    return ExitStatus::Done;
}

// The symbol of the argument, of standard input or of a payload, written to -o or to standard output.
ExitStatus MakeSymbol(const qrcli::Options& Asked) {
    qrcli::Options O = Asked;
    const qrcli::OutputType Type = qrcli::ResolveType(O);
    const bool ToStandardOutput = qrcli::ToStandardOutput(O);
    if (qrcli::IsBinary(Type) && qrcli::OutputIsTerminal(O))
        return Fail(ExitStatus::Usage, "will not write a binary picture to a terminal; use -o FILE");

    std::string Bytes;
    std::optional<qrpayload::TPayload> Payload;
    if (O.Payload) {
        auto Built = qrcli::BuildPayload(*O.Payload->Format, O.Payload->Values);
        if (!Built)
            return Fail(ExitStatus::Usage, std::string(O.Payload->Format->Command) + ": " + Built.Reason());
        Payload = *Built;
        Bytes = Payload->Text;
    } else if (O.Text) {
        Bytes = *O.Text;
    } else {
        // Read whole before anything is written: a read error touches no file.
        auto In = qrcli::ReadInput(STDIN_FILENO);
        if (!In)
            return Fail(ExitStatus::Failed, In.Error());
        Bytes = std::move(*In);
    }
    const qrtext::Decoded Input = qrtext::DecodeUtf8(Bytes);
    if (!Input.Text)
        return Fail(ExitStatus::Usage,
                    "input is not valid UTF-8 (at byte offset " + std::to_string(Input.ErrorOffset) + ")");
    const std::u16string Text = O.Crlf ? qrtext::LineFeedsToCrLf(*Input.Text) : *Input.Text;
    if (O.Symbols)
        return MakeSymbolSet(Type, Text, O);

    if (const auto Why = qrcli::TooLongForSymbol(Text, O))
        return Fail(ExitStatus::Failed, *Why);
    if (Payload)
        if (const auto Why = qrcli::PayloadSymbolProblem(*O.Payload->Format, *Payload, Text, O.Encoding, O.Level))
            return Fail(ExitStatus::Usage, *Why);
    // A warning only: the symbol is made as the window makes it. Lost, it changes nothing.
    if (const auto Warning = qrcli::DroppedWarning(Text, O.Encoding, O.Choices.Kanji))
        qrcli::Message(*Warning);
    if (const auto Warning = qrcli::TextWarning(Bytes, Text, O))
        qrcli::Message(*Warning);
    for (const std::string& Warning : qrcli::LookWarnings(Type, O))
        qrcli::Message(Warning);
    // --info is output asked for: when it cannot be written, nothing else is.
    if (O.Info)
        if (const ExitStatus Status = Emit(STDERR_FILENO, qrcli::SymbolInfo(Text, O));
            Status != ExitStatus::Done)
            return Status;

    std::string Guessed;
    const qrpicture::TBytes Out = qrcli::MakeSymbolFile(Type, Text, O, &Guessed);
    if (!Guessed.empty())
        qrcli::Message(Guessed);

    if (ToStandardOutput)
        return Emit(STDOUT_FILENO, {reinterpret_cast<const char*>(Out.data()), Out.size()});
    qrfiles::SaveFile(*O.OutputFile, Out);
    return ExitStatus::Done;
}

ExitStatus Run(const std::vector<std::string>& Args) {
    const auto Parsed = qrcli::ParseArguments(Args);
    if (!Parsed)
        return Fail(ExitStatus::Usage, Parsed.Error() + " (see quandrel-qr --help)");
    switch (Parsed->What) {
        case qrcli::Action::Help: return Emit(STDOUT_FILENO, Parsed->Help);
        case qrcli::Action::Version: return Emit(STDOUT_FILENO, "quandrel-qr " QUANDREL_VERSION "\n");
        case qrcli::Action::Run: break;
    }
    if (Parsed->Opts.Batch)
        return qrcli::batch::RunBatch(Parsed->Opts, [](const std::string& Message) { return qrcli::Message(Message); });
    return MakeSymbol(Parsed->Opts);
}

int Main(const std::vector<std::string>& Args) {
    try {
        return static_cast<int>(Run(Args));
    } catch (const std::exception& E) {
        return static_cast<int>(Fail(ExitStatus::Failed, E.what()));
    }
}

}  // namespace

#ifdef _WIN32
// Windows gives the arguments as UTF-16 (the narrow ones of main are in the system's code page,
// with every character it lacks turned into '?').
int wmain(int argc, wchar_t** argv) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const qrcli::WindowsStreams Streams;
    std::vector<std::u16string_view> Wide;
    for (int i = 1; i < argc; ++i) Wide.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    const auto Args = qrcli::ArgumentsFromUtf16(Wide);
    if (!Args)
        return static_cast<int>(Fail(ExitStatus::Usage, Args.Error() + " (see quandrel-qr --help)"));
    return Main(*Args);
}
#else
int main(int argc, char** argv) {
    qrcli::HoldClosedStandardStreams();
    return Main(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
