#pragma once
// Pieces the file writers share: the checked drawing size, what the vector formats draw, and
// numbers written as text without regard to the locale.

#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"

namespace qrpicture::detail {

// The side of the drawing in its units (cells of the padded grid times ModuleSize). Throws
// std::invalid_argument when there is nothing to draw or the drawing would be too large.
int DrawingSide(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

// What the vector formats (SVG, EPS) draw: the side in the drawing's units (DrawingSide), the
// cells across the padded grid, and its runs of dark modules.
struct TVectorSymbol {
    int Side;
    int Cells;
    std::vector<TModuleRun> Runs;
};
TVectorSymbol VectorSymbol(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

void AppendInt(std::string& Out, int Value);
// "First Second": a pair of coordinates or sizes as PostScript and SVG both write them.
void AppendPair(std::string& Out, int First, int Second);

// Value / 255 with up to four decimals and no trailing zeros ("0", "0.502", "1"): close enough
// that every renderer gets the same 8-bit value back.
void AppendFraction(std::string& Out, std::uint8_t Value);

}  // namespace qrpicture::detail
