// quandrel-qr: the command-line face of Quandrel QR Code.

#include <unistd.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batchrun.h"
#include "commandline.h"
#include "messages.h"
#include "modulebitmap.h"
#include "text/textconv.h"
#include "writefile.h"

namespace {

// Says why the run ends and gives its exit status. A message that cannot be written either has
// nowhere else to go; the status still tells.
int Fail(int Status, std::string_view Text) {
    qrcli::Message(Text);
    return Status;
}

// Writes Bytes whole to standard output (or error); exit status 0, or 1 with the reason.
int Emit(int Fd, std::string_view Bytes) {
    if (const int Error = qrcli::WriteText(Fd, Bytes))
        return Fail(1, std::string(Fd == STDERR_FILENO ? "cannot write standard error: " : "cannot write standard output: ") +
                           qrcli::ErrorText(Error));
    return 0;
}

std::string Info(std::u16string_view Text, const qrcli::Options& O, const qr::TEncoder::TSegmentSize& Segment) {
    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, O.Encoding, qrcli::LevelFor(O.Level), Record);
    std::ostringstream Lines;
    Lines << "version: " << Record.Version() << "\nlevel: " << O.Level << "\nmask: " << Record.MaskPattern()
          << "\nmode: " << qrcli::ModeName(Record.Mode()) << "\nside: " << 17 + 4 * Record.Version() << " modules\n"
          << (Segment.Mode == qr::qmByte ? "bytes: " : "characters: ") << Segment.Count << "\n";
    return Lines.str();
}

int Run(const std::vector<std::string>& Args) {
    const qrcli::Parsed P = qrcli::ParseArguments(Args);
    switch (P.What) {
        case qrcli::Action::Help: return Emit(STDOUT_FILENO, P.Message);
        case qrcli::Action::Version: return Emit(STDOUT_FILENO, "quandrel-qr " QUANDREL_VERSION "\n");
        case qrcli::Action::UsageError: return Fail(2, P.Message + " (see quandrel-qr --help)");
        case qrcli::Action::Run: break;
    }
    const qrcli::Options& O = P.Opts;
    if (O.Batch)
        return qrcli::batch::RunBatch(O, [](const std::string& Message) { qrcli::Message(Message); });
    const qrcli::OutputType Type = qrcli::ResolveType(O);
    const bool ToStandardOutput = qrcli::ToStandardOutput(O);
    if (ToStandardOutput && qrcli::IsBinary(Type) && isatty(STDOUT_FILENO))
        return Fail(2, "will not write a binary picture to a terminal; use -o FILE");

    std::string Bytes;
    if (O.Text) {
        Bytes = *O.Text;
    } else {
        // Read whole before anything is written: a read error touches no file.
        qrcli::Input In = qrcli::ReadInput(STDIN_FILENO);
        if (In.Error != 0) return Fail(1, "cannot read standard input: " + qrcli::ErrorText(In.Error));
        if (In.TooLong)
            return Fail(1, "text too long for a QR symbol: more than " + std::to_string(qrcli::kMaxInputBytes) +
                               " bytes of input");
        Bytes = std::move(In.Bytes);
    }
    const qrtext::Decoded Input = qrtext::DecodeUtf8(Bytes);
    if (!Input.Text) return Fail(2, "input is not valid UTF-8 (at byte offset " + std::to_string(Input.ErrorOffset) + ")");
    const std::u16string Text = O.Crlf ? qrtext::LineFeedsToCrLf(*Input.Text) : *Input.Text;

    if (const auto Why = qrcli::TooLongForSymbol(Text, O)) return Fail(1, *Why);
    // A warning only: the symbol is made as the window makes it. Lost, it changes nothing.
    if (const auto Warning = qrcli::DroppedWarning(Text, O.Encoding)) qrcli::Message(*Warning);
    // --info is output asked for: when it cannot be written, nothing else is.
    if (O.Info)
        if (const int Status = Emit(STDERR_FILENO, Info(Text, O, qr::TEncoder::MeasureSegment(Text, O.Encoding))))
            return Status;

    const qrpicture::TBytes Out = qrcli::MakeSymbolFile(Type, Text, O);

    if (ToStandardOutput)
        return Emit(STDOUT_FILENO, {reinterpret_cast<const char*>(Out.data()), Out.size()});
    qrfiles::SaveFile(*O.OutputFile, Out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qrcli::HoldClosedStandardStreams();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& E) {
        return Fail(1, E.what());
    }
}
