// Fuzzes the file writers with the symbols of arbitrary texts at every encoding option, level,
// margin, module size and pair of colours, and reads every file back: the PNG's pixels through
// libpng, the SVG's path and the EPS's runs as cells. A writer that draws a module wrong, or
// anything but a grid without cells refused, aborts.
//
// Input: byte 0 the option (mod 6), byte 1 the level (mod 4), byte 2 the margin (mod 11),
// byte 3 the module size (1 + mod 3), byte 4 whether bytes 5 to 12 give the foreground and the
// background as RGBA (bit 0); the rest are UTF-16 code units, little-endian.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "formatread.h"
#include "formats.h"
#include "modulebitmap.h"
#include "pngread.h"
#include "fuzzcheck.h"

namespace {

using fuzzcheck::Check;

std::uint32_t Rgba(const qrpicture::TColour& C) {
    return static_cast<std::uint32_t>(C.R) << 24 | static_cast<std::uint32_t>(C.G) << 16 |
           static_cast<std::uint32_t>(C.B) << 8 | C.A;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 13)
        return 0;
    const qr::TErrorCorrectionLevel Levels[] = {qr::LevelL(), qr::LevelM(), qr::LevelQ(), qr::LevelH()};
    const qrpicture::TSymbolSettings Settings{static_cast<qr::TQRCodeEncoding>(Data[0] % 6), Levels[Data[1] % 4],
                                              Data[2] % 11, {}};
    qrpicture::TDrawing Drawing;
    Drawing.ModuleSize = 1 + Data[3] % 3;
    if (Data[4] & 1) {
        Drawing.Foreground = {Data[5], Data[6], Data[7], Data[8]};
        Drawing.Background = {Data[9], Data[10], Data[11], Data[12]};
    }
    std::u16string Text;
    for (std::size_t i = 13; i < Size; i += 2)
        Text.push_back(static_cast<char16_t>(Data[i] | (i + 1 < Size ? Data[i + 1] << 8 : 0)));

    const qr::TQRCodeGrid Grid = qrpicture::SymbolGrid(Text, Settings);
    if (Grid.Rows() == 0) {
        // No symbol and no margin: nothing to draw, and every writer says so.
        for (auto* Write : {&qrpicture::MakePng, &qrpicture::MakeSvg, &qrpicture::MakeEps}) {
            bool Refused = false;
            try {
                Write(Grid, Drawing);
            } catch (const std::invalid_argument&) {
                Refused = true;
            }
            Check(Refused, "a grid without cells is refused");
        }
        return 0;
    }
    const formatread::TCells Cells = formatread::CellsOf(Grid);
    const int Side = Grid.Rows();

    const qrpicture::TBytes Png = qrpicture::MakePng(Grid, Drawing);
    const auto Image = pngtest::ReadPng(Png);
    Check(Image.has_value(), "libpng reads the PNG");
    Check(Image->Width == Side * Drawing.ModuleSize && Image->Height == Image->Width, "the PNG's size");
    for (int y = 0; y < Image->Height; ++y)
        for (int x = 0; x < Image->Width; ++x) {
            const bool Dark = Cells[static_cast<std::size_t>(y / Drawing.ModuleSize)][static_cast<std::size_t>(x / Drawing.ModuleSize)] == 'X';
            Check(Image->At(x, y) == Rgba(Dark ? Drawing.Foreground : Drawing.Background), "every PNG pixel");
        }

    const qrpicture::TBytes Svg = qrpicture::MakeSvg(Grid, Drawing);
    const auto SvgCells = formatread::SvgCells(std::string(Svg.begin(), Svg.end()), Side);
    Check(SvgCells.has_value(), "the SVG's path is well formed");
    if (Drawing.Foreground.A != 0)
        Check(*SvgCells == Cells, "the SVG's path covers exactly the dark modules");

    const qrpicture::TBytes Eps = qrpicture::MakeEps(Grid, Drawing);
    const auto EpsCells = formatread::EpsCells(std::string(Eps.begin(), Eps.end()), Side);
    Check(EpsCells.has_value(), "the EPS's runs stay inside the grid");
    if (Drawing.Foreground.A != 0)
        Check(*EpsCells == Cells, "the EPS's runs cover exactly the dark modules");
    return 0;
}
