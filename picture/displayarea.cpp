#include "displayarea.h"

#include <algorithm>
#include <vector>

namespace qrpicture {

TDrawnSize DrawnSize(int W, int H, int BitmapWidth, int BitmapHeight) {
    if (BitmapWidth < 1 || BitmapHeight < 1 || W < 1 || H < 1)
        return {};
    const double Scale = W < H ? static_cast<double>(W) / static_cast<double>(BitmapWidth)
                               : static_cast<double>(H) / static_cast<double>(BitmapHeight);
    // static_cast truncates toward zero, which is the rule the sizes rely on.
    return {static_cast<int>(Scale * static_cast<double>(BitmapWidth)),
            static_cast<int>(Scale * static_cast<double>(BitmapHeight))};
}

TPixels RenderDisplayArea(const TPixels& ModuleBitmap, int W, int H) {
    TPixels Area(W, H, kWhite);
    const TDrawnSize Dest = DrawnSize(Area.Width(), Area.Height(), ModuleBitmap.Width(), ModuleBitmap.Height());
    if (Dest.Width < 1 || Dest.Height < 1)
        return Area;

    // Dest never exceeds the area: the scale comes from its smaller side and is truncated.
    std::vector<int> SourceColumn(static_cast<std::size_t>(Dest.Width));
    for (int x = 0; x < Dest.Width; ++x)
        SourceColumn[static_cast<std::size_t>(x)] = NearestSource(x, Dest.Width, ModuleBitmap.Width());
    int PreviousSourceRow = -1;
    for (int y = 0; y < Dest.Height; ++y) {
        const int SourceRow = NearestSource(y, Dest.Height, ModuleBitmap.Height());
        const auto To = Area.Row(y);
        if (SourceRow == PreviousSourceRow) {
            // A module row is several pixel rows high: copy the row just drawn.
            const auto Above = Area.Row(y - 1);
            std::copy_n(Above.begin(), Dest.Width, To.begin());
            continue;
        }
        const auto From = ModuleBitmap.Row(SourceRow);
        for (int x = 0; x < Dest.Width; ++x)
            To[static_cast<std::size_t>(x)] = From[static_cast<std::size_t>(SourceColumn[static_cast<std::size_t>(x)])];
        PreviousSourceRow = SourceRow;
    }
    return Area;
}

}  // namespace qrpicture
