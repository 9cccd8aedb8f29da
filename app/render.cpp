#include "render.h"

#include <algorithm>
#include <vector>

#include "grid/qrcodegrid.h"

namespace qrapp {

TStretch StretchSize(int W, int H, int BitmapWidth, int BitmapHeight) {
    if (BitmapWidth < 1 || BitmapHeight < 1 || W < 1 || H < 1)
        return {};
    const double Scale = W < H ? static_cast<double>(W) / static_cast<double>(BitmapWidth)
                               : static_cast<double>(H) / static_cast<double>(BitmapHeight);
    // static_cast truncates toward zero, which is the rule the sizes rely on.
    return {static_cast<int>(Scale * static_cast<double>(BitmapWidth)),
            static_cast<int>(Scale * static_cast<double>(BitmapHeight))};
}

QImage MakeModuleBitmap(const qr::TQRCodeGrid& Grid) {
    return MakeModuleBitmap(Grid.Rows(), Grid.Columns(),
                            [&Grid](int Row, int Column) { return Grid.IsBlack(Row, Column); });
}

QImage RenderDisplayArea(const QImage& ModuleBitmap, int W, int H) {
    QImage Area(W > 0 ? W : 0, H > 0 ? H : 0, QImage::Format_RGB32);
    Area.fill(kWhite);
    const TStretch Dest = StretchSize(Area.width(), Area.height(), ModuleBitmap.width(), ModuleBitmap.height());
    if (Dest.D < 1 || Dest.E < 1)
        return Area;

    const QImage Source = ModuleBitmap.format() == QImage::Format_RGB32 ? ModuleBitmap
                                                                       : ModuleBitmap.convertToFormat(QImage::Format_RGB32);
    // Dest never exceeds the area: the scale comes from its smaller side and is truncated.
    std::vector<int> SourceColumn(static_cast<std::size_t>(Dest.D));
    for (int x = 0; x < Dest.D; ++x)
        SourceColumn[static_cast<std::size_t>(x)] = NearestSource(x, Dest.D, Source.width());
    int PreviousSourceRow = -1;
    for (int y = 0; y < Dest.E; ++y) {
        const int SourceRow = NearestSource(y, Dest.E, Source.height());
        auto* To = reinterpret_cast<QRgb*>(Area.scanLine(y));
        if (SourceRow == PreviousSourceRow) {
            // A module row is several pixel rows high: copy the row just drawn.
            std::copy_n(reinterpret_cast<const QRgb*>(Area.constScanLine(y - 1)), Dest.D, To);
            continue;
        }
        const auto* From = reinterpret_cast<const QRgb*>(Source.constScanLine(SourceRow));
        for (int x = 0; x < Dest.D; ++x)
            To[x] = From[SourceColumn[static_cast<std::size_t>(x)]];
        PreviousSourceRow = SourceRow;
    }
    return Area;
}

}  // namespace qrapp
