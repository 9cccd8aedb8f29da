#pragma once
// The window's display area as pixels, kept apart from any widget: the size of the stretched
// symbol and the area itself as it is painted and saved.

#include <cstdint>

#include "pixels.h"
#include "window/layout.h"

namespace qrpicture {

// The side of the square display area (PaintBox1) in the window's layout at 96 DPI, in pixels:
// the window shows its symbol in this square, and "Gravar" at 100 % screen scale saves this many
// pixels.
inline constexpr int kDisplayAreaSide = qrwindow::kLayout.PaintBox1.Width;
static_assert(qrwindow::kLayout.PaintBox1.Height == kDisplayAreaSide, "the display area is square");

// The size of the stretched drawing, Width x Height pixels at the top-left corner of the area.
struct TDrawnSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TDrawnSize&, const TDrawnSize&) = default;
};

// The largest square (for a square bitmap) that fits a W x H area. The scale is taken in double
// precision from the smaller side of the area and each product is truncated toward zero, so a
// 93, 181 or 185 pixel bitmap comes out 405 x 405 in a 406 x 406 area. An empty bitmap gives 0 x 0.
TDrawnSize DrawnSize(int W, int H, int BitmapWidth, int BitmapHeight);

// The source index that destination pixel Dest (0 .. DestSize - 1) takes when SourceSize pixels
// are stretched over DestSize by nearest neighbour: the source pixel under the destination
// pixel's centre. Runs of equal indices are floor(DestSize / SourceSize) or one more long.
inline int NearestSource(int Dest, int DestSize, int SourceSize) {
    return static_cast<int>((2 * static_cast<std::int64_t>(Dest) + 1) * SourceSize / (2 * static_cast<std::int64_t>(DestSize)));
}

// The display area of W x H pixels: white, with ModuleBitmap stretched by nearest neighbour into
// the top-left DrawnSize rectangle, its pixels copied unchanged. This is the picture the window
// shows (drawn one to one onto device pixels) and the picture that is saved.
TPixels RenderDisplayArea(const TPixels& ModuleBitmap, int W, int H);

// The display area at 96 DPI: the kDisplayAreaSide square the window shows, and the picture
// "Gravar" saves at 100 % screen scale.
inline TPixels WindowPicture(const TPixels& ModuleBitmap) {
    return RenderDisplayArea(ModuleBitmap, kDisplayAreaSide, kDisplayAreaSide);
}

}  // namespace qrpicture
