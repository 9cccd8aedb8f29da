// quandrel-qr: the command-line face of Quandrel QR Code.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "commandline.h"
#include "modulebitmap.h"
#include "writefile.h"

namespace {

int Fail(int Status, const std::string& Message) {
    std::cerr << "quandrel-qr: " << Message << "\n";
    return Status;
}

const char* ModeName(qr::TMode Mode) {
    return Mode == qr::qmNumeric ? "numeric" : Mode == qr::qmAlphanumeric ? "alphanumeric" : "byte";
}

std::string TooLong(const qr::TEncoder::TSegmentSize& Segment, const qr::TErrorCorrectionLevel& Level, char Letter) {
    const char* Unit = Segment.Mode == qr::qmNumeric        ? "digits"
                       : Segment.Mode == qr::qmAlphanumeric ? "characters"
                                                             : "bytes";
    return "text too long for a QR symbol: " + std::to_string(Segment.Count) + " " + Unit + " in " +
           ModeName(Segment.Mode) + " mode, the limit is " +
           std::to_string(qr::TEncoder::MaxCount(Segment.Mode, Level)) + " " + Unit + " at level " + Letter;
}

void PrintInfo(std::u16string_view Text, const qrcli::Options& O, const qr::TEncoder::TSegmentSize& Segment) {
    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, O.Encoding, qrcli::LevelFor(O.Level), Record);
    std::cerr << "version: " << Record.Version() << "\nlevel: " << O.Level << "\nmask: " << Record.MaskPattern()
              << "\nmode: " << ModeName(Record.Mode()) << "\nside: " << 17 + 4 * Record.Version() << " modules\n"
              << (Segment.Mode == qr::qmByte ? "bytes: " : "characters: ") << Segment.Count << "\n";
}

int Run(const std::vector<std::string>& Args) {
    const qrcli::Parsed P = qrcli::ParseArguments(Args);
    switch (P.What) {
        case qrcli::Action::Help: std::cout << P.Message; return 0;
        case qrcli::Action::Version: std::cout << "quandrel-qr " << QUANDREL_VERSION << "\n"; return 0;
        case qrcli::Action::UsageError: return Fail(2, P.Message + " (see quandrel-qr --help)");
        case qrcli::Action::Run: break;
    }
    const qrcli::Options& O = P.Opts;
    const qrcli::OutputType Type = qrcli::ResolveType(O);
    if (!O.OutputFile && qrcli::IsBinary(Type) && isatty(STDOUT_FILENO))
        return Fail(2, "will not write a binary picture to a terminal; use -o FILE");

    std::string Bytes;
    if (O.Text) {
        Bytes = *O.Text;
    } else {
        qrcli::Input In = qrcli::ReadInput(STDIN_FILENO);
        if (In.TooLong)
            return Fail(1, "text too long for a QR symbol: more than " + std::to_string(qrcli::kMaxInputBytes) +
                               " bytes of input");
        if (In.Error != 0) return Fail(1, std::string("cannot read standard input: ") + std::strerror(In.Error));
        Bytes = std::move(In.Bytes);
    }
    const qrcli::Decoded Input = qrcli::DecodeUtf8(Bytes);
    if (!Input.Text) return Fail(2, "input is not valid UTF-8 (at byte offset " + std::to_string(Input.ErrorOffset) + ")");
    const std::u16string Text = O.Crlf ? qrcli::ToCrlf(*Input.Text) : *Input.Text;

    const qr::TErrorCorrectionLevel Level = qrcli::LevelFor(O.Level);
    const auto Segment = qr::TEncoder::MeasureSegment(Text, O.Encoding);
    if (Segment.Count > qr::TEncoder::MaxCount(Segment.Mode, Level)) return Fail(1, TooLong(Segment, Level, O.Level));
    if (O.Info) PrintInfo(Text, O, Segment);

    // The JPEG is the window's picture, so it keeps the window's quiet zone.
    const int QuietZone = Type == qrcli::OutputType::Jpeg ? qrpicture::kWindowQuietZone : O.Margin;
    const qr::TQRCodeGrid Grid = qrpicture::SymbolGrid(Text, {O.Encoding, Level, QuietZone});
    const qrpicture::TBytes Out = qrcli::MakeOutput(Type, Grid, O.Drawing);

    if (O.OutputFile) {
        qrfiles::WriteFileAtomically(*O.OutputFile, Out);
        return 0;
    }
    if (std::fwrite(Out.data(), 1, Out.size(), stdout) != Out.size() || std::fflush(stdout) != 0)
        return Fail(1, "cannot write standard output");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& E) {
        return Fail(1, E.what());
    }
}
