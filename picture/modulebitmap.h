#pragma once
// From text to the module bitmap: the code grid as the window sets it up, and its cells as
// pixels, one per module.

#include <string_view>

#include "grid/qrcodegrid.h"
#include "pixels.h"

namespace qrpicture {

// The light border the window keeps around its symbol, in modules.
inline constexpr int kWindowQuietZone = 4;

// What a symbol is made with besides its text. The defaults are the window's: UTF-8 without a
// byte-order mark, level L, a quiet zone of four modules.
struct TSymbolSettings {
    qr::TQRCodeEncoding Encoding = qr::qrUTF8BOM;
    qr::TErrorCorrectionLevel Level = qr::LevelL();
    int QuietZone = kWindowQuietZone;
    qr::TSymbolChoices Choices;  // the window's: the plain encoding
};

// The code grid of Text as the window's Update sets it up: Data, then Encoding qrUTF8BOM, then
// QuietZone 4, so a non-empty text is encoded with qrAuto first and again with qrUTF8BOM.
qr::TQRCodeGrid WindowGrid(std::u16string_view Text);

// The code grid of Text with Settings, encoded once.
qr::TQRCodeGrid SymbolGrid(std::u16string_view Text, const TSymbolSettings& Settings);

// A Rows x Columns bitmap, pixel (x, y) black when IsBlack(y, x), white otherwise.
template <typename IsBlackFn>
TPixels MakeModuleBitmap(int Rows, int Columns, IsBlackFn&& IsBlack) {
    TPixels Bitmap(Columns, Rows, kWhite);
    for (int Row = 0; Row < Bitmap.Height(); ++Row) {
        const auto Line = Bitmap.Row(Row);
        for (int Column = 0; Column < Bitmap.Width(); ++Column)
            Line[static_cast<std::size_t>(Column)] = IsBlack(Row, Column) ? kBlack : kWhite;
    }
    return Bitmap;
}

// The module bitmap of a code grid: Rows() x Columns() pixels, one per cell of the padded grid.
TPixels MakeModuleBitmap(const qr::TQRCodeGrid& Grid);

// The module bitmap the window holds after Update for Text.
inline TPixels WindowModuleBitmap(std::u16string_view Text) { return MakeModuleBitmap(WindowGrid(Text)); }

}  // namespace qrpicture
