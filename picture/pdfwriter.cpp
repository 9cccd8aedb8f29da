// MakePdf: the page of a grid. An object of its own, so that a program that makes its PDF pages
// through the private library (cli/plugins) links neither this nor cairo.

#include "drawingparts.h"
#include "formats.h"

namespace qrpicture {

TBytes MakePdf(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    return DrawPdf(detail::DrawingSide(Grid, Drawing), DarkRuns(Grid), Drawing);
}

}  // namespace qrpicture
