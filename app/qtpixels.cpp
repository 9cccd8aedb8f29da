#include "qtpixels.h"

#include <algorithm>

namespace qrapp {

QImage ToQImage(const qrpicture::TPixels& Pixels) {
    if (Pixels.IsEmpty())
        return {};
    QImage Image(Pixels.Width(), Pixels.Height(), QImage::Format_RGB32);
    for (int y = 0; y < Pixels.Height(); ++y) {
        const auto Row = Pixels.Row(y);
        std::copy(Row.begin(), Row.end(), reinterpret_cast<QRgb*>(Image.scanLine(y)));
    }
    return Image;
}

qrpicture::TPixels FromQImage(const QImage& Image) {
    const QImage Rgb = Image.convertToFormat(QImage::Format_RGB32);
    qrpicture::TPixels Pixels(Rgb.width(), Rgb.height(), qrpicture::kWhite);
    for (int y = 0; y < Pixels.Height(); ++y) {
        const auto* From = reinterpret_cast<const QRgb*>(Rgb.constScanLine(y));
        std::copy(From, From + Pixels.Width(), Pixels.Row(y).begin());
    }
    return Pixels;
}

}  // namespace qrapp
