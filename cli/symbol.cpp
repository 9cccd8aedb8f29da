#include "symbol.h"

#include <algorithm>

namespace qrcli {

qr::TErrorCorrectionLevel LevelFor(char Letter) {
    switch (Letter) {
        case 'M': return qr::LevelM();
        case 'Q': return qr::LevelQ();
        case 'H': return qr::LevelH();
        default: return qr::LevelL();
    }
}

const char* ModeName(qr::TMode Mode) {
    return Mode == qr::qmNumeric ? "numeric" : Mode == qr::qmAlphanumeric ? "alphanumeric" : "byte";
}

std::optional<std::string> TooLongForSymbol(std::u16string_view Text, const Options& Opts) {
    const qr::TDataSize Size = qr::TQRCodeGrid::MeasureData(Text, Opts.Encoding, LevelFor(Opts.Level));
    if (Size.Fits())
        return std::nullopt;
    const char* Unit = Size.Mode == qr::qmNumeric        ? "digits"
                       : Size.Mode == qr::qmAlphanumeric ? "characters"
                                                          : "bytes";
    return "text too long for a QR symbol: " + std::to_string(Size.Count) + " " + Unit + " in " +
           ModeName(Size.Mode) + " mode, the limit is " + std::to_string(Size.Limit) + " " + Unit + " at level " +
           Opts.Level;
}

std::size_t DroppedCharacters(std::u16string_view Text, qr::TQRCodeEncoding Option) {
    const auto Segment = qr::TEncoder::MeasureSegment(Text, Option);
    // In byte mode the count is of bytes, and only latin1 filters there.
    if (Segment.Mode == qr::qmByte && Option != qr::qrISO88591)
        return 0;
    // No filter keeps a surrogate, so a character beyond U+FFFF is dropped whole: counting its
    // second half out leaves the characters.
    const auto Characters = static_cast<std::size_t>(
        std::count_if(Text.begin(), Text.end(), [](char16_t u) { return u < 0xDC00 || u > 0xDFFF; }));
    return Characters - static_cast<std::size_t>(Segment.Count);
}

std::optional<std::string> DroppedWarning(std::u16string_view Text, qr::TQRCodeEncoding Option) {
    const std::size_t Count = DroppedCharacters(Text, Option);
    if (Count == 0)
        return std::nullopt;
    const char* Holds = Option == qr::qrNumeric        ? "numeric holds only the digits 0-9"
                        : Option == qr::qrAlphanumeric ? "alphanumeric holds only 0-9, A-Z, space and $%*+-./:"
                                                       : "latin1 holds only U+0000 to U+00FF";
    return "warning: " + std::to_string(Count) + (Count == 1 ? " character" : " characters") +
           " left out of the symbol: " + Holds;
}

}  // namespace qrcli
