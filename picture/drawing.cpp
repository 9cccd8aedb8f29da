// What every file writer shares: the runs of dark modules, the size checks, numbers as text;
// and the text renderings.

#include <charconv>
#include <stdexcept>

#include "drawingparts.h"
#include "formats.h"

namespace qrpicture {

namespace detail {

int DrawingSide(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    if (Grid.Rows() < 1 || Grid.Columns() < 1)
        throw std::invalid_argument("nothing to draw: the grid has no cells");
    if (Drawing.ModuleSize < 1)
        throw std::invalid_argument("the module size must be at least 1");
    const long long Side = static_cast<long long>(Grid.Rows()) * Drawing.ModuleSize;
    if (Side > kMaxDrawingSide)
        throw std::invalid_argument("the drawing would be larger than " + std::to_string(kMaxDrawingSide) + " units");
    return static_cast<int>(Side);
}

TVectorSymbol VectorSymbol(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing) {
    return {DrawingSide(Grid, Drawing), Grid.Rows(), DarkRuns(Grid)};
}

void AppendInt(std::string& Out, int Value) {
    char Digits[16];
    const auto End = std::to_chars(Digits, Digits + sizeof Digits, Value).ptr;
    Out.append(Digits, End);
}

void AppendPair(std::string& Out, int First, int Second) {
    AppendInt(Out, First);
    Out += ' ';
    AppendInt(Out, Second);
}

void AppendFraction(std::string& Out, std::uint8_t Value) {
    char Digits[16];
    const auto End = std::to_chars(Digits, Digits + sizeof Digits, Value / 255.0, std::chars_format::fixed, 4).ptr;
    std::string_view Text(Digits, static_cast<std::size_t>(End - Digits));
    while (Text.back() == '0')
        Text.remove_suffix(1);
    if (Text.back() == '.')
        Text.remove_suffix(1);
    Out += Text;
}

}  // namespace detail

std::vector<TModuleRun> DarkRuns(const qr::TQRCodeGrid& Grid) {
    std::vector<TModuleRun> Runs;
    for (int Row = 0; Row < Grid.Rows(); ++Row) {
        int Column = 0;
        while (Column < Grid.Columns()) {
            if (!Grid.IsBlack(Row, Column)) {
                ++Column;
                continue;
            }
            const int First = Column;
            while (Column < Grid.Columns() && Grid.IsBlack(Row, Column))
                ++Column;
            Runs.push_back({Row, First, Column - First});
        }
    }
    return Runs;
}

std::string RenderText(const qr::TQRCodeGrid& Grid, TTextStyle Style) {
    std::string Out;
    const int N = Grid.Rows();
    if (Style == TTextStyle::Matrix) {
        const int Q = Grid.QuietZone();
        for (int r = Q; r < N - Q; ++r) {
            for (int c = Q; c < N - Q; ++c) Out += Grid.IsBlack(r, c) ? 'X' : '.';
            Out += '\n';
        }
    } else if (Style == TTextStyle::Ascii) {
        for (int r = 0; r < N; ++r) {
            for (int c = 0; c < N; ++c) Out += Grid.IsBlack(r, c) ? "##" : "  ";
            Out += '\n';
        }
    } else {
        // Light modules are drawn (foreground), dark ones left as the background: a light
        // quiet zone on the usual dark terminal. Upper half block: top row light only.
        for (int r = 0; r < N; r += 2) {
            for (int c = 0; c < N; ++c) {
                const bool TopLight = !Grid.IsBlack(r, c);
                const bool BottomLight = r + 1 < N ? !Grid.IsBlack(r + 1, c) : false;
                Out += TopLight && BottomLight ? "\u2588" : TopLight ? "\u2580" : BottomLight ? "\u2584" : " ";
            }
            Out += '\n';
        }
    }
    return Out;
}

}  // namespace qrpicture
