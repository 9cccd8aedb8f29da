#include "symbolfile.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "displayarea.h"
#include "drawingparts.h"
#include "jpegwriter.h"
#include "modulebitmap.h"
#include "plugin.h"
#include "plugins/pluginabi.h"
#include "symbol.h"
#include "verify.h"

namespace qrcli {

namespace {

// The PDF page through its private library: cairo is loaded only by the runs that make one.
qrpicture::TBytes PluginPdf(const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing) {
    static TDrawPdfFn* const Draw = PluginFunction<TDrawPdfFn>(kPdfPlugin, kDrawPdfSymbol);
    const int Side = qrpicture::detail::DrawingSide(Grid, Drawing);
    const std::vector<qrpicture::TModuleRun> Runs = qrpicture::DarkRuns(Grid);
    qrpicture::TBytes Out;
    std::string Error;
    if (!Draw(Side, Runs.data(), Runs.size(), &Drawing, &Out, &Error))
        throw std::runtime_error(Error);
    return Out;
}

// The file of a grid under the options; a PDF page too large is refused (see MakeSymbolFile).
qrpicture::TBytes FileOf(OutputType Type, const qr::TQRCodeGrid& Grid, const Options& Opts) {
    // PDF readers take pages of at most 200 inches a side (PDF 1.7, annex C): a larger one is
    // refused rather than shrunk behind the user's back.
    const long long Side = static_cast<long long>(Grid.Rows()) * Opts.Drawing.ModuleSize;
    if (Type == OutputType::Pdf && Side > kMaxPdfPoints)
        throw std::invalid_argument("a PDF page is at most " + std::to_string(kMaxPdfPoints) +
                                    " points a side, and this one would be " + std::to_string(Side) + " (" +
                                    std::to_string(Grid.Rows()) + " modules of " +
                                    std::to_string(Opts.Drawing.ModuleSize) + " points); use -s " +
                                    std::to_string(std::max(1, kMaxPdfPoints / Grid.Rows())) + " or less");
    return MakeOutput(Type, Grid, Opts.Drawing);
}

// The JPEG is the window's picture, so it keeps the window's quiet zone.
int QuietZoneOf(OutputType Type, const Options& Opts) {
    return Type == OutputType::Jpeg ? qrpicture::kWindowQuietZone : Opts.Margin;
}

}  // namespace

qrpicture::TBytes MakeSymbolFile(OutputType Type, std::u16string_view Text, const Options& Opts, std::string* Warning) {
    const qr::TQRCodeGrid Grid =
        qrpicture::SymbolGrid(Text, {Opts.Encoding, LevelFor(Opts.Level), QuietZoneOf(Type, Opts), Opts.Choices});
    qrpicture::TBytes File = FileOf(Type, Grid, Opts);
    if (Opts.Verify) {
        const GreyPicture Picture = ReaderPicture(Type, Grid, Opts.Drawing);
        if (auto Why = VerifyPicture(Picture, SymbolBytes(Text, Opts.Encoding)))
            throw VerifyFailure(*Why);
        // Only a text beyond ASCII can be guessed wrongly.
        const std::string Utf8 = SymbolBytes(Text, qr::qrUTF8BOM);
        if (Warning && std::any_of(Utf8.begin(), Utf8.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            if (auto Guessed = GuessedReadingWarning(Picture, Utf8))
                *Warning = std::move(*Guessed);
    }
    return File;
}

std::vector<qrpicture::TBytes> MakeSymbolSetFiles(OutputType Type, std::u16string_view Text, const Options& Opts) {
    qr::TEncoder Encoder;
    const std::vector<qr::TQRCode> Set =
        Encoder.EncodeSymbols(Text, Opts.Encoding, LevelFor(Opts.Level), Opts.Choices, Opts.Symbols.value_or(0));
    std::vector<qrpicture::TBytes> Files;
    for (const qr::TQRCode& Record : Set)
        Files.push_back(FileOf(Type, qr::TQRCodeGrid(*Record.Matrix(), QuietZoneOf(Type, Opts)), Opts));
    return Files;
}

std::string SetTooLongReason(const Options& Opts) {
    return "text too long for " + (Opts.Symbols.value_or(0) ? std::to_string(*Opts.Symbols) : std::string("16")) +
           " symbols at level " + Opts.Level + ", or shorter than one character each";
}

qrpicture::TBytes MakeOutput(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing) {
    switch (Type) {
        case OutputType::Png: return qrpicture::MakePng(Grid, Drawing);
        case OutputType::Svg: return qrpicture::MakeSvg(Grid, Drawing);
        case OutputType::Eps: return qrpicture::MakeEps(Grid, Drawing);
        case OutputType::Pdf: return PluginPdf(Grid, Drawing);
        case OutputType::Jpeg:
            return qrpicture::PictureToJpeg(qrpicture::WindowPicture(qrpicture::MakeModuleBitmap(Grid)),
                                            qrpicture::kSaveQuality);
        case OutputType::Utf8:
        case OutputType::Ascii:
        case OutputType::Matrix: {
            const std::string Text = qrpicture::RenderText(
                Grid, Type == OutputType::Utf8    ? qrpicture::TTextStyle::Utf8
                      : Type == OutputType::Ascii ? qrpicture::TTextStyle::Ascii
                                                  : qrpicture::TTextStyle::Matrix);
            return {Text.begin(), Text.end()};
        }
    }
    return {};
}

}  // namespace qrcli
