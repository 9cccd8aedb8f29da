#include "readerwarnings.h"

#include <algorithm>

#include "encoder/qrcode.h"
#include "payload/warnings.h"

namespace qrcli {

namespace {

qrpayload::TRgba Rgba(const qrpicture::TColour& C) { return {C.R, C.G, C.B, C.A}; }

}  // namespace

std::vector<std::string> LookWarnings(OutputType Type, const Options& Opts) {
    // The text is left out here (ASCII): it is warned about row by row.
    qrpayload::TSymbolLook Look;
    if (Opts.Choices.Micro)
        Look.QuietZoneNeeded = 2;
    switch (Type) {
        case OutputType::Png:
        case OutputType::Svg:
        case OutputType::Eps:
        case OutputType::Pdf:
            Look.Foreground = Rgba(Opts.Drawing.Foreground);
            Look.Background = Rgba(Opts.Drawing.Background);
            Look.ModuleSize = Opts.Drawing.ModuleSize;
            Look.Dpi = Type == OutputType::Png ? Opts.Drawing.Dpi : Type == OutputType::Svg ? 96 : 72;
            Look.QuietZone = Opts.Margin;
            break;
        case OutputType::Utf8:
        case OutputType::Ascii:
            Look.QuietZone = Opts.Margin;
            break;
        case OutputType::Jpeg:    // the window's picture, quiet zone and colours
        case OutputType::Matrix:  // the bare modules, for another program to draw
            break;
    }
    return qrpayload::ReaderWarnings(Look);
}

std::optional<std::string> TextWarning(std::string_view Utf8, std::u16string_view Text, const Options& Opts) {
    // Only byte mode carries characters beyond ASCII; auto writes Latin-1 where the text fits it.
    if (Opts.Encoding == qr::qrNumeric || Opts.Encoding == qr::qrAlphanumeric)
        return std::nullopt;
    // An EPC transfer names its character set itself (UTF-8), and banking apps read it so.
    if (Opts.Payload && Opts.Payload->Format->Kind == PayloadKind::Epc)
        return std::nullopt;
    qrpayload::TSymbolLook Look;
    Look.Text = Utf8;
    Look.Eci = Opts.Choices.Eci;
    Look.Latin1 = Opts.Encoding == qr::qrISO88591 ||
                  (Opts.Encoding == qr::qrAuto && qr::TEncoder::MeasureSegment(Text, qr::qrAuto).Mode == qr::qmByte &&
                   std::all_of(Text.begin(), Text.end(), [](char16_t u) { return u <= 0xFF; }));
    const auto Warnings = qrpayload::ReaderWarnings(Look);
    if (Warnings.empty())
        return std::nullopt;
    return Warnings.front();
}

}  // namespace qrcli
