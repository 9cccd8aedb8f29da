#pragma once
// The symbol as files: PNG, SVG, EPS and PDF drawings of a code grid, and its text renderings.
// The grid's quiet zone is the drawing's margin; every module is a square of ModuleSize units.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "grid/qrcodegrid.h"

namespace qrpicture {

// A colour with its opacity: A = 255 opaque, 0 fully transparent.
struct TColour {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    std::uint8_t A = 255;
    friend bool operator==(const TColour&, const TColour&) = default;
};

inline constexpr TColour kOpaqueBlack{0, 0, 0, 255};
inline constexpr TColour kOpaqueWhite{255, 255, 255, 255};

struct TDrawing {
    // PNG: pixels per module. SVG: user units (CSS pixels) per module; EPS and PDF: points.
    int ModuleSize = 3;
    TColour Foreground = kOpaqueBlack;  // dark modules
    TColour Background = kOpaqueWhite;  // light modules and the margin
    // PNG only: the resolution written to the pHYs chunk, in dots per inch; 0 writes none.
    int Dpi = 0;
};

// The largest side of a drawing in PNG pixels or vector units: modules and margin times
// ModuleSize. Larger drawings are refused.
inline constexpr int kMaxDrawingSide = 1'000'000;

using TBytes = std::vector<unsigned char>;

// Each throws std::invalid_argument for a grid without cells, a ModuleSize below 1 or a drawing
// side above kMaxDrawingSide, and std::runtime_error when the library behind it fails.

// PNG through libpng: 1-bit greyscale for opaque black on opaque white, otherwise a two-entry
// palette (with a tRNS chunk when a colour is not opaque). Every module is ModuleSize x
// ModuleSize pixels.
TBytes MakePng(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

// SVG: one path of the dark runs in module units under a viewBox, crisp edges; width and height
// are the side in module units times ModuleSize. A colour of opacity 0 is left out.
TBytes MakeSvg(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

// Encapsulated PostScript: one rectangle fill per dark run, bounding box 0 0 side side in
// points. PostScript has no transparency: a colour of opacity 0 is left out, any other is drawn
// opaque.
TBytes MakeEps(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

// PDF through cairo: one page of side x side points holding the symbol as vector rectangles.
TBytes MakePdf(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing);

enum class TTextStyle {
    Utf8,    // half blocks, two module rows a line, light modules drawn (for dark terminals)
    Ascii,   // two characters a module, "##" dark
    Matrix,  // the bare matrix without quiet zone, 'X' dark and '.' light
};

std::string RenderText(const qr::TQRCodeGrid& Grid, TTextStyle Style);

// A horizontal run of dark cells of the padded grid.
struct TModuleRun {
    int Row = 0;
    int Column = 0;
    int Length = 0;
    friend bool operator==(const TModuleRun&, const TModuleRun&) = default;
};

// Every run of dark cells, row by row from the top, left to right.
std::vector<TModuleRun> DarkRuns(const qr::TQRCodeGrid& Grid);

// MakePdf's page from its parts: Side the page's side in points (detail::DrawingSide), Runs the
// dark runs in module units. Needs nothing of the grid, so that a library of its own can hold it
// with cairo, loaded only by the runs that make a PDF.
TBytes DrawPdf(int Side, std::span<const TModuleRun> Runs, const TDrawing& Drawing);

}  // namespace qrpicture
