#include "verify.h"

#include <algorithm>
#include <stdexcept>

#include "displayarea.h"
#include "encoder/qrcode.h"
#include "modulebitmap.h"
#include "plugin.h"
#include "plugins/pluginabi.h"

namespace qrcli {

namespace {

// A colour's grey as a reader's camera takes it (ITU-R BT.601 luma), drawn over Under.
std::uint8_t Grey(const qrpicture::TColour& C, std::uint8_t Under) {
    const auto Mix = [&](std::uint8_t v) { return (v * C.A + Under * (255 - C.A) + 127) / 255; };
    return static_cast<std::uint8_t>((299 * Mix(C.R) + 587 * Mix(C.G) + 114 * Mix(C.B) + 500) / 1000);
}

// The cells of the grid from First to Last (exclusive) on both axes, Pad light cells more on
// each side, Scale pixels a cell.
GreyPicture Cells(const qr::TQRCodeGrid& Grid, int First, int Last, int Pad, int Scale, std::uint8_t Dark,
                  std::uint8_t Light) {
    const int Side = (Last - First + 2 * Pad) * Scale;
    GreyPicture P{Side, Side, std::vector<std::uint8_t>(static_cast<std::size_t>(Side) * Side, Light)};
    for (int r = First; r < Last; ++r)
        for (int c = First; c < Last; ++c)
            if (Grid.IsBlack(r, c))
                for (int y = 0; y < Scale; ++y) {
                    const std::size_t Row = static_cast<std::size_t>((r - First + Pad) * Scale + y) * Side;
                    std::fill_n(P.Samples.begin() + Row + static_cast<std::size_t>((c - First + Pad) * Scale), Scale,
                                Dark);
                }
    return P;
}

bool IsDigit(char16_t u) { return u >= '0' && u <= '9'; }
bool IsAlphanumeric(char16_t u) {
    return IsDigit(u) || (u >= 'A' && u <= 'Z') || std::u16string_view(u" $%*+-./:").find(u) != std::u16string_view::npos;
}

std::string Utf8Of(std::u16string_view Text) {
    std::string Out;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        char32_t c = Text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (Text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            Out += static_cast<char>(c);
        } else if (c < 0x800) {
            Out += static_cast<char>(0xC0 | c >> 6);
            Out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            Out += static_cast<char>(0xE0 | c >> 12);
            Out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            Out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            Out += static_cast<char>(0xF0 | c >> 18);
            Out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            Out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            Out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return Out;
}

}  // namespace

GreyPicture ReaderPicture(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing) {
    const int N = Grid.Rows();
    switch (Type) {
        case OutputType::Png:
        case OutputType::Svg:
        case OutputType::Eps:
        case OutputType::Pdf: {
            const std::uint8_t Light = Grey(Drawing.Background, 255);
            const int Scale = Type == OutputType::Png ? Drawing.ModuleSize : std::max(2, Drawing.ModuleSize);
            return Cells(Grid, 0, N, 0, Scale, Grey(Drawing.Foreground, Light), Light);
        }
        case OutputType::Jpeg: {
            const qrpicture::TPixels Picture = qrpicture::WindowPicture(qrpicture::MakeModuleBitmap(Grid));
            GreyPicture P{Picture.Width(), Picture.Height(), {}};
            P.Samples.reserve(static_cast<std::size_t>(P.Width) * P.Height);
            for (const qrpicture::TRgb32 Pixel : Picture.All())
                P.Samples.push_back(Grey({static_cast<std::uint8_t>(Pixel >> 16), static_cast<std::uint8_t>(Pixel >> 8),
                                          static_cast<std::uint8_t>(Pixel), 255},
                                         255));
            return P;
        }
        case OutputType::Matrix: return Cells(Grid, Grid.QuietZone(), N - Grid.QuietZone(), 4, 3, 0, 255);
        case OutputType::Utf8:
        case OutputType::Ascii: break;
    }
    return Cells(Grid, 0, N, 0, 3, 0, 255);
}

std::string SymbolBytes(std::u16string_view Text, qr::TQRCodeEncoding Encoding) {
    const auto Kept = [&](auto Keep) {
        std::string Out;
        for (const char16_t u : Text)
            if (Keep(u)) Out += static_cast<char>(u);
        return Out;
    };
    const auto All = [&](auto Holds) { return !Text.empty() && std::all_of(Text.begin(), Text.end(), Holds); };
    const auto Latin1 = [](char16_t u) { return u <= 0xFF; };
    switch (Encoding) {
        case qr::qrNumeric: return Kept(IsDigit);
        case qr::qrAlphanumeric: return Kept(IsAlphanumeric);
        case qr::qrISO88591: return Kept(Latin1);
        case qr::qrUTF8BOM: return Utf8Of(Text);  // "utf8": no byte-order mark
        case qr::qrUTF8NoBOM: return "\xEF\xBB\xBF" + Utf8Of(Text);
        case qr::qrAuto:
        default:
            if (All(IsDigit) || All(IsAlphanumeric) || All(Latin1))
                return Kept(Latin1);
            return "\xEF\xBB\xBF" + Utf8Of(Text);
    }
}

std::vector<std::string> ZbarDecode(const GreyPicture& Picture, bool Binary) {
    static TDecodeGreyFn* const Decode = PluginFunction<TDecodeGreyFn>(kZbarPlugin, kDecodeGreySymbol);
    std::vector<std::string> Found;
    std::string Error;
    if (!Decode(Picture.Samples.data(), Picture.Width, Picture.Height, Binary, &Found, &Error))
        throw std::runtime_error("--verify: " + Error);
    return Found;
}

std::optional<std::string> VerifyPicture(const GreyPicture& Picture, std::string_view Expected, const DecodeFn& Decode) {
    const std::vector<std::string> Found = Decode(Picture, true);
    if (Found.empty())
        return std::string("--verify: zbar finds no symbol in the picture; nothing written");
    if (Found.size() > 1)
        return "--verify: zbar finds " + std::to_string(Found.size()) + " symbols in the picture; nothing written";
    const std::string& Read = Found.front();
    if (Read == Expected)
        return std::nullopt;
    const auto Differ = std::mismatch(Read.begin(), Read.end(), Expected.begin(), Expected.end());
    return "--verify: zbar reads " + std::to_string(Read.size()) + " bytes that differ from the " +
           std::to_string(Expected.size()) + " of the symbol from byte " +
           std::to_string(Differ.first - Read.begin()) + "; nothing written";
}

std::optional<std::string> GuessedReadingWarning(const GreyPicture& Picture, std::string_view Utf8,
                                                 const DecodeFn& Decode) {
    const std::vector<std::string> Found = Decode(Picture, false);
    if (Found.size() != 1 || Found.front() == Utf8)
        return std::nullopt;
    return "warning: a reader that guesses the character set (zbar) shows \"" + Found.front() + "\" for \"" +
           std::string(Utf8) + "\"";
}

}  // namespace qrcli
