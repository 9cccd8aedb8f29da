// quandrel-qr: the command-line face of Quandrel QR Code.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "batchrun.h"
#include "commandline.h"
#include "modulebitmap.h"
#include "writefile.h"

namespace {

int Fail(int Status, const std::string& Message) {
    std::cerr << "quandrel-qr: " << Message << "\n";
    return Status;
}

void PrintInfo(std::u16string_view Text, const qrcli::Options& O, const qr::TEncoder::TSegmentSize& Segment) {
    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, O.Encoding, qrcli::LevelFor(O.Level), Record);
    std::cerr << "version: " << Record.Version() << "\nlevel: " << O.Level << "\nmask: " << Record.MaskPattern()
              << "\nmode: " << qrcli::ModeName(Record.Mode()) << "\nside: " << 17 + 4 * Record.Version() << " modules\n"
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
    if (O.Batch)
        return qrcli::batch::RunBatch(O, [](const std::string& Message) { Fail(0, Message); });
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

    if (const auto Why = qrcli::TooLongForSymbol(Text, O)) return Fail(1, *Why);
    if (O.Info) PrintInfo(Text, O, qr::TEncoder::MeasureSegment(Text, O.Encoding));
    const qrpicture::TBytes Out = qrcli::MakeSymbolFile(Type, Text, O);

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
