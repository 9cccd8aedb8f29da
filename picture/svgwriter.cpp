// The symbol as SVG: a background rectangle and one path of dark runs, in module units.

#include <cstdio>

#include "drawingparts.h"
#include "formats.h"

namespace qrpicture {

namespace {

void AppendHexColour(std::string& Out, const TColour& Colour) {
    char Hex[8];
    std::snprintf(Hex, sizeof Hex, "#%02x%02x%02x", Colour.R, Colour.G, Colour.B);
    Out += Hex;
}

// fill="#rrggbb", with fill-opacity when the colour is not opaque.
void AppendFill(std::string& Out, const TColour& Colour) {
    Out += " fill=\"";
    AppendHexColour(Out, Colour);
    Out += '"';
    if (Colour.A != 255) {
        Out += " fill-opacity=\"";
        detail::AppendFraction(Out, Colour.A);
        Out += '"';
    }
}

}  // namespace

TBytes MakeSvg(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    using detail::AppendInt;
    using detail::AppendPair;
    const auto [Side, Cells, Runs] = detail::VectorSymbol(Grid, Drawing);

    std::string Out;
    Out.reserve(300 + Runs.size() * 16);
    Out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    AppendInt(Out, Side);
    Out += "\" height=\"";
    AppendInt(Out, Side);
    Out += "\" viewBox=\"0 0 ";
    AppendPair(Out, Cells, Cells);
    // Edges on whole units, without antialiasing: no renderer draws seams between modules.
    Out += "\" shape-rendering=\"crispEdges\">\n";
    if (Drawing.Background.A != 0) {
        Out += "<rect width=\"";
        AppendInt(Out, Cells);
        Out += "\" height=\"";
        AppendInt(Out, Cells);
        Out += '"';
        AppendFill(Out, Drawing.Background);
        Out += "/>\n";
    }
    if (Drawing.Foreground.A != 0 && !Runs.empty()) {
        Out += "<path";
        AppendFill(Out, Drawing.Foreground);
        Out += " d=\"";
        // Each run a closed rectangle one module high: to its right, down, back, closed.
        for (const TModuleRun& Run : Runs) {
            Out += 'M';
            AppendPair(Out, Run.Column, Run.Row);
            Out += 'h';
            AppendInt(Out, Run.Length);
            Out += "v1h-";
            AppendInt(Out, Run.Length);
            Out += 'z';
        }
        Out += "\"/>\n";
    }
    Out += "</svg>\n";
    return {Out.begin(), Out.end()};
}

}  // namespace qrpicture
