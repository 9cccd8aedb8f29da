// quandrel-qr: the command-line face of Quandrel QR Code.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "commandline.h"
#include "grid/qrcodegrid.h"
#include "jpegsave.h"
#include "render.h"
#include "writefile.h"

namespace {

// The display area of the window at 96 DPI: the picture "Gravar" saves is this many pixels square.
constexpr int DisplayAreaSide = 406;

int Fail(int Status, const std::string& Message) {
    std::cerr << "quandrel-qr: " << Message << "\n";
    return Status;
}

const char* ModeName(qr::TMode Mode) {
    return Mode == qr::qmNumeric ? "numeric" : Mode == qr::qmAlphanumeric ? "alphanumeric" : "byte";
}

std::string TooLong(const qr::TEncoder::TSegmentSize& Segment) {
    const char* Unit = Segment.Mode == qr::qmNumeric        ? "digits"
                       : Segment.Mode == qr::qmAlphanumeric ? "characters"
                                                             : "bytes";
    return "text too long for a QR symbol: " + std::to_string(Segment.Count) + " " + Unit + " in " +
           ModeName(Segment.Mode) + " mode, the limit is " + std::to_string(qr::TEncoder::MaxCount(Segment.Mode)) +
           " " + Unit;
}

int Run(const std::vector<std::string>& Args) {
    const qrcli::Parsed P = qrcli::ParseArguments(Args);
    if (!P.Error.empty()) {
        std::cerr << "quandrel-qr: " << P.Error << "\n\n" << qrcli::UsageText();
        return 2;
    }
    const qrcli::Options& O = P.Opts;
    if (O.Help) {
        std::cout << qrcli::UsageText();
        return 0;
    }
    if (O.Version) {
        std::cout << "quandrel-qr " << QUANDREL_VERSION << "\n";
        return 0;
    }

    std::string Bytes;
    if (O.Text) {
        Bytes = *O.Text;
    } else {
        Bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) return Fail(1, "cannot read standard input");
    }
    const qrcli::Decoded Input = qrcli::DecodeUtf8(Bytes);
    if (!Input.Text) return Fail(2, "input is not valid UTF-8 (at byte offset " + std::to_string(Input.ErrorOffset) + ")");
    const std::u16string Text = O.Crlf ? qrcli::ToCrlf(*Input.Text) : *Input.Text;

    const qrcli::OutputType Type = O.Type.value_or(O.OutputFile ? qrcli::OutputType::Jpeg : qrcli::OutputType::Utf8);
    const auto Segment = qr::TEncoder::MeasureSegment(Text, O.Encoding);
    if (Segment.Count > qr::TEncoder::MaxCount(Segment.Mode)) return Fail(1, TooLong(Segment));

    // The window's sequence: text, then option, then quiet zone (the picture keeps the window's 4).
    qr::TQRCodeGrid Grid;
    Grid.SetData(Text);
    Grid.SetEncoding(O.Encoding);
    Grid.SetQuietZone(Type == qrcli::OutputType::Jpeg ? 4 : O.QuietZone);
    if (Grid.EncodeCount() == 0) {
        // Every write kept the grid's first values (the empty text under "auto"), so nothing was
        // encoded yet; a change of option and back encodes it.
        Grid.SetEncoding(qr::qrUTF8BOM);
        Grid.SetEncoding(qr::qrAuto);
    }

    if (O.Info) {
        qr::TEncoder Encoder;
        qr::TQRCode Record;
        Encoder.EncodeSymbol(Text, O.Encoding, qr::LevelL(), Record);
        std::cerr << "version: " << Record.Version() << "\nmask: " << Record.MaskPattern()
                  << "\nmode: " << ModeName(Record.Mode()) << "\nside: " << 17 + 4 * Record.Version()
                  << " modules\n" << (Segment.Mode == qr::qmByte ? "bytes: " : "characters: ") << Segment.Count << "\n";
    }

    std::vector<unsigned char> Out;
    if (Type == qrcli::OutputType::Jpeg) {
        const QImage Picture =
            qrapp::RenderDisplayArea(qrapp::MakeModuleBitmap(Grid), DisplayAreaSide, DisplayAreaSide);
        if (O.OutputFile) {
            try {
                qrapp::SavePictureAsJpeg(Picture, QString::fromStdString(*O.OutputFile), qrapp::SaveQuality);
            } catch (const std::exception& E) {
                return Fail(1, E.what());
            }
            return 0;
        }
        if (isatty(STDOUT_FILENO)) return Fail(2, "will not write a JPEG picture to a terminal; use -o FILE");
        Out = qrapp::PictureToJpeg(Picture, qrapp::SaveQuality);
    } else {
        const std::string Art = qrcli::RenderText(Grid, Type);
        Out.assign(Art.begin(), Art.end());
    }

    if (O.OutputFile) {
        try {
            qrfiles::WriteFileAtomically(*O.OutputFile, Out);
        } catch (const std::exception& E) {
            return Fail(1, E.what());
        }
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
