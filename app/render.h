#pragma once
// The pictures of the display area, kept apart from any widget: the module bitmap (one pixel per
// module), the size of the stretched symbol, and the display area itself as it is painted.

#include <QImage>
#include <QRgb>

#include <cstdint>

namespace qr {
class TQRCodeGrid;
}

namespace qrapp {

inline constexpr QRgb kBlack = qRgb(0, 0, 0);
inline constexpr QRgb kWhite = qRgb(255, 255, 255);

// The destination of the stretched drawing: D x E pixels at the top-left corner of the area.
struct TStretch {
    int D = 0;
    int E = 0;
    friend bool operator==(const TStretch&, const TStretch&) = default;
};

// The largest square (for a square bitmap) that fits a W x H area. The scale is taken in double
// precision from the smaller side of the area and each product is truncated toward zero, so a
// 93, 181 or 185 pixel bitmap comes out 405 x 405 in a 406 x 406 area. An empty bitmap gives 0 x 0.
TStretch StretchSize(int W, int H, int BitmapWidth, int BitmapHeight);

// The source index that destination pixel Dest (0 .. DestSize - 1) takes when SourceSize pixels
// are stretched over DestSize by nearest neighbour: the source pixel under the destination
// pixel's centre. Runs of equal indices are floor(DestSize / SourceSize) or one more long.
inline int NearestSource(int Dest, int DestSize, int SourceSize) {
    return static_cast<int>((2 * static_cast<std::int64_t>(Dest) + 1) * SourceSize / (2 * static_cast<std::int64_t>(DestSize)));
}

// A Rows x Columns bitmap, pixel (x, y) black when IsBlack(y, x), white otherwise (Format_RGB32).
template <typename IsBlackFn>
QImage MakeModuleBitmap(int Rows, int Columns, IsBlackFn&& IsBlack) {
    QImage Bitmap(Columns > 0 ? Columns : 0, Rows > 0 ? Rows : 0, QImage::Format_RGB32);
    for (int Row = 0; Row < Bitmap.height(); ++Row) {
        auto* Line = reinterpret_cast<QRgb*>(Bitmap.scanLine(Row));
        for (int Column = 0; Column < Bitmap.width(); ++Column)
            Line[Column] = IsBlack(Row, Column) ? kBlack : kWhite;
    }
    return Bitmap;
}

// The module bitmap of a code grid: Rows() x Columns() pixels, one per cell of the padded grid.
QImage MakeModuleBitmap(const qr::TQRCodeGrid& Grid);

// The display area of W x H pixels: white, with ModuleBitmap stretched by nearest neighbour into
// the top-left StretchSize rectangle, its pixels copied unchanged. Format_RGB32. This is the
// picture the window shows (drawn one to one onto device pixels) and the picture that is saved.
QImage RenderDisplayArea(const QImage& ModuleBitmap, int W, int H);

}  // namespace qrapp
