#pragma once
// The picture core's pixels and Qt's images: the window paints and saves what the core renders.

#include <QImage>

#include "pixels.h"

namespace qrapp {

// A copy of Pixels as a Format_RGB32 image (a null image for no pixels).
QImage ToQImage(const qrpicture::TPixels& Pixels);

// A copy of Image's pixels in the core's form, opaque: any format is converted first.
qrpicture::TPixels FromQImage(const QImage& Image);

}  // namespace qrapp
