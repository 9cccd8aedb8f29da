// PNG and PDF while libpng and cairo are not built for Windows: refused with a message, so that
// every other type works.

#include <stdexcept>

#include "formats.h"

namespace qrpicture {

TBytes MakePng(const qr::TQRCodeGrid&, const TDrawing&) {
    throw std::runtime_error("PNG is not part of quandrel-qr for Windows: it is built without libpng");
}

TBytes DrawPdf(int, std::span<const TModuleRun>, const TDrawing&) {
    throw std::runtime_error("PDF is not part of quandrel-qr for Windows: it is built without cairo");
}

}  // namespace qrpicture
