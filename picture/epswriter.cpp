// The symbol as Encapsulated PostScript: a background fill and one rectangle fill per dark run.

#include "drawingparts.h"
#include "formats.h"

namespace qrpicture {

namespace {

// "r g b setrgbcolor", each part a fraction of 255.
void AppendSetColour(std::string& Out, const TColour& Colour) {
    for (const std::uint8_t Part : {Colour.R, Colour.G, Colour.B}) {
        detail::AppendFraction(Out, Part);
        Out += ' ';
    }
    Out += "setrgbcolor\n";
}

}  // namespace

TBytes MakeEps(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    using detail::AppendInt;
    using detail::AppendPair;
    const auto [Side, Cells, Runs] = detail::VectorSymbol(Grid, Drawing);

    std::string Out;
    Out.reserve(400 + Runs.size() * 12);
    Out += "%!PS-Adobe-3.0 EPSF-3.0\n"
           "%%Creator: quandrel-qr\n"
           "%%BoundingBox: 0 0 ";
    AppendPair(Out, Side, Side);
    Out += "\n%%LanguageLevel: 2\n"
           "%%EndComments\n"
           "save\n"
           "2 dict begin\n"
           // x y w R: a run of w dark modules, one module high, its lower left corner at x y.
           "/R { 1 rectfill } bind def\n";
    AppendPair(Out, Drawing.ModuleSize, Drawing.ModuleSize);
    Out += " scale\n";
    if (Drawing.Background.A != 0) {
        AppendSetColour(Out, Drawing.Background);
        Out += "0 0 ";
        AppendPair(Out, Cells, Cells);
        Out += " rectfill\n";
    }
    if (Drawing.Foreground.A != 0 && !Runs.empty()) {
        AppendSetColour(Out, Drawing.Foreground);
        // PostScript's y axis points up: grid row r is the band from Cells - 1 - r to Cells - r.
        for (const TModuleRun& Run : Runs) {
            AppendPair(Out, Run.Column, Cells - 1 - Run.Row);
            Out += ' ';
            AppendInt(Out, Run.Length);
            Out += " R\n";
        }
    }
    Out += "end\n"
           "restore\n"
           "showpage\n"
           "%%EOF\n";
    return {Out.begin(), Out.end()};
}

}  // namespace qrpicture
