#pragma once
// --verify: the symbol drawn as its file shows it, read back by zbar (its private library,
// loaded on first use), and held to the bytes it was meant to carry before the file is written.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats.h"
#include "grid/qrcodegrid.h"
#include "options.h"

namespace qrcli {

// 8-bit grey samples, 0 black, row by row.
struct GreyPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Samples;
};

// What a reader sees of the file Type makes of Grid (its quiet zone included): PNG pixel for
// pixel; SVG, EPS and PDF the same modules at ModuleSize pixels a module (at least 2, as any
// viewer draws them); JPEG the window's picture; the text outputs black on white at 3 pixels a
// module, the matrix with a quiet zone of 4 (it has none of its own). Colours are drawn over
// white paper.
GreyPicture ReaderPicture(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing);

// The bytes the symbol of Text carries under Encoding: what the reader must give back.
std::string SymbolBytes(std::u16string_view Text, qr::TQRCodeEncoding Encoding);

// Every symbol a reader finds in a picture: raw bytes when Binary, else text as the reader
// guesses its character set (in UTF-8).
using DecodeFn = std::function<std::vector<std::string>(const GreyPicture& Picture, bool Binary)>;

// zbar, through its private library. Throws std::runtime_error when it cannot be loaded or scan.
std::vector<std::string> ZbarDecode(const GreyPicture& Picture, bool Binary);

// Why the picture does not read back as one symbol of exactly Expected, or nothing when it does.
std::optional<std::string> VerifyPicture(const GreyPicture& Picture, std::string_view Expected,
                                         const DecodeFn& Decode = ZbarDecode);

// When a reader that guesses the character set shows something other than Utf8, the Text the
// symbol was made of: the warning that says what it shows (escaped for the terminal by the
// message).
std::optional<std::string> GuessedReadingWarning(const GreyPicture& Picture, std::string_view Utf8,
                                                 const DecodeFn& Decode = ZbarDecode);

}  // namespace qrcli
