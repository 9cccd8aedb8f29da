// The symbol's files, read back: PNG pixels through libpng, the SVG path and the EPS runs
// parsed into cells, the PDF page; and what every writer refuses.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cctype>
#include <latch>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "drawingparts.h"
#include "formatread.h"
#include "formats.h"
#include "modulebitmap.h"
#include "pngread.h"

using formatread::CellsOf;
using qrpicture::TColour;
using qrpicture::TDrawing;

namespace {

// Texts that need versions 1, 10 and 40 at level L.
const std::u16string kVersion1 = u"Quandrel";
const std::u16string kVersion10 = std::u16string(250, u'x');
const std::u16string kVersion40 = std::u16string(2900, u'y');

qr::TQRCodeGrid GridOf(const std::u16string& Text, int Margin) {
    return qrpicture::SymbolGrid(Text, {qr::qrUTF8BOM, qr::LevelL(), Margin, {}});
}

std::uint32_t Rgba(const TColour& C) {
    return static_cast<std::uint32_t>(C.R) << 24 | static_cast<std::uint32_t>(C.G) << 16 |
           static_cast<std::uint32_t>(C.B) << 8 | C.A;
}

std::string AsText(const qrpicture::TBytes& Bytes) { return {Bytes.begin(), Bytes.end()}; }

// ---- PNG -----------------------------------------------------------------------------------

struct PngCase {
    const char* Name;
    const std::u16string* Text;
    int Margin;
    TDrawing Drawing;
    int ColourType;  // 0 greyscale, 3 palette
    bool Transparency;
};

void PrintTo(const PngCase& Case, std::ostream* Out) { *Out << Case.Name; }

class PngPixels : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngPixels, EveryModuleIsSizeBySizePixelsOfItsColour) {
    const PngCase& Case = GetParam();
    const qr::TQRCodeGrid Grid = GridOf(*Case.Text, Case.Margin);
    const TDrawing& D = Case.Drawing;
    const qrpicture::TBytes Png = qrpicture::MakePng(Grid, D);

    const auto Chunks = pngtest::Chunks(Png);
    ASSERT_GE(Chunks.size(), 3u);
    ASSERT_EQ(Chunks[0].Type, "IHDR");
    EXPECT_EQ(Chunks[0].Data[8], 1) << "bit depth";
    EXPECT_EQ(Chunks[0].Data[9], Case.ColourType);
    std::set<std::string> Types;
    for (const auto& C : Chunks)
        Types.insert(C.Type);
    EXPECT_EQ(Types.count("tRNS"), Case.Transparency ? 1u : 0u);
    EXPECT_EQ(Types.count("PLTE"), Case.ColourType == 3 ? 1u : 0u);
    EXPECT_EQ(Types.count("pHYs"), D.Dpi > 0 ? 1u : 0u);
    for (const auto& C : Chunks)
        if (C.Type == "pHYs") {
            const std::uint32_t PerMetre = static_cast<std::uint32_t>(C.Data[0]) << 24 | C.Data[1] << 16 | C.Data[2] << 8 | C.Data[3];
            EXPECT_EQ(PerMetre, static_cast<std::uint32_t>(std::lround(D.Dpi / 0.0254)));
            EXPECT_EQ(C.Data[8], 1) << "unit: metre";
        }

    const auto Image = pngtest::ReadPng(Png);
    ASSERT_TRUE(Image);
    const int Side = Grid.Rows() * D.ModuleSize;
    ASSERT_EQ(Image->Width, Side);
    ASSERT_EQ(Image->Height, Side);
    int Wrong = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const bool Dark = Grid.IsBlack(y / D.ModuleSize, x / D.ModuleSize);
            Wrong += Image->At(x, y) != Rgba(Dark ? D.Foreground : D.Background);
        }
    EXPECT_EQ(Wrong, 0);
    // The margin is Margin modules of background: the first dark pixel is the finder's corner.
    const int Corner = Case.Margin * D.ModuleSize;
    EXPECT_EQ(Image->At(Corner, Corner), Rgba(D.Foreground));
    if (Corner > 0) {
        EXPECT_EQ(Image->At(Corner - 1, Corner), Rgba(D.Background));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, PngPixels,
    ::testing::Values(
        PngCase{"BlackOnWhiteIsOneBitGrey", &kVersion1, 4, {3, qrpicture::kOpaqueBlack, qrpicture::kOpaqueWhite, 0}, 0, false},
        // 7-pixel modules: rows end in the middle of a byte.
        PngCase{"ColoursAndDpi", &kVersion10, 2, {7, {0x1a, 0x2b, 0x3c, 255}, {0xf0, 0xe0, 0xd0, 255}, 300}, 3, false},
        PngCase{"TransparentBackground", &kVersion40, 0, {1, qrpicture::kOpaqueBlack, {255, 255, 255, 0}, 0}, 3, true},
        PngCase{"HalfTransparentForeground", &kVersion1, 1, {2, {0, 0, 128, 0x80}, qrpicture::kOpaqueWhite, 72}, 3, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// ---- SVG -----------------------------------------------------------------------------------

TEST(Svg, OnePathOfRunsInModuleUnitsThatRebuildsTheGrid) {
    for (const auto* Text : {&kVersion1, &kVersion10, &kVersion40}) {
        const qr::TQRCodeGrid Grid = GridOf(*Text, 3);
        const TDrawing D{5, {0x12, 0x34, 0x56, 255}, {0xfe, 0xdc, 0xba, 255}, 0};
        const std::string Svg = AsText(qrpicture::MakeSvg(Grid, D));
        const std::string Side = std::to_string(Grid.Rows() * 5), Cells = std::to_string(Grid.Rows());
        EXPECT_NE(Svg.find("width=\"" + Side + "\" height=\"" + Side + "\" viewBox=\"0 0 " + Cells + " " + Cells + "\""),
                  std::string::npos);
        EXPECT_NE(Svg.find("shape-rendering=\"crispEdges\""), std::string::npos);
        EXPECT_NE(Svg.find("<rect width=\"" + Cells + "\" height=\"" + Cells + "\" fill=\"#fedcba\"/>"), std::string::npos);
        EXPECT_EQ(Svg.find("opacity"), std::string::npos);

        EXPECT_NE(Svg.find("<path fill=\"#123456\" d=\"M"), std::string::npos);
        // One path of one-module-high rectangles in whole units, which covers the dark cells.
        EXPECT_EQ(formatread::SvgCells(Svg, Grid.Rows()), CellsOf(Grid));
    }
}

TEST(Svg, TransparencyAsOpacityOrLeftOut) {
    const qr::TQRCodeGrid Grid = GridOf(kVersion1, 4);
    const std::string Half = AsText(qrpicture::MakeSvg(Grid, {3, {0, 0, 0, 0x80}, {255, 255, 255, 0}, 0}));
    EXPECT_EQ(Half.find("<rect"), std::string::npos) << "a transparent background is not drawn";
    EXPECT_NE(Half.find("<path fill=\"#000000\" fill-opacity=\"0.502\" d=\"M"), std::string::npos);
    const std::string NoForeground = AsText(qrpicture::MakeSvg(Grid, {3, {0, 0, 0, 0}, {0xff, 0, 0, 0xff}, 0}));
    EXPECT_EQ(NoForeground.find("<path"), std::string::npos);
    EXPECT_NE(NoForeground.find("fill=\"#ff0000\"/>"), std::string::npos);
}

// ---- EPS -----------------------------------------------------------------------------------

// The lines "X Y W R" of an EPS file: one fill of a run each. (Counted by hand: std::regex
// draws false warnings from g++ 12 in the sanitizer build.)
std::size_t RunFills(const std::string& Eps) {
    std::size_t Count = 0;
    std::istringstream Lines(Eps);
    for (std::string Line; std::getline(Lines, Line);) {
        std::istringstream Words(Line);
        long X, Y, W;
        std::string R, Rest;
        if (Words >> X >> Y >> W >> R && R == "R" && !(Words >> Rest))
            ++Count;
    }
    return Count;
}

TEST(Eps, BoundingBoxAndOneFillPerRunThatRebuildTheGrid) {
    for (const auto* Text : {&kVersion1, &kVersion40}) {
        const qr::TQRCodeGrid Grid = GridOf(*Text, 2);
        const std::string Eps = AsText(qrpicture::MakeEps(Grid, {4, {0x33, 0x66, 0x99, 255}, {255, 255, 255, 255}, 0}));
        const int N = Grid.Rows();
        ASSERT_EQ(Eps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
        const std::string Side = std::to_string(N * 4);
        EXPECT_NE(Eps.find("\n%%BoundingBox: 0 0 " + Side + " " + Side + "\n"), std::string::npos);
        EXPECT_NE(Eps.find("\n4 4 scale\n"), std::string::npos);
        EXPECT_NE(Eps.find("\n1 1 1 setrgbcolor\n0 0 " + std::to_string(N) + " " + std::to_string(N) + " rectfill\n"),
                  std::string::npos);
        EXPECT_NE(Eps.find("\n0.2 0.4 0.6 setrgbcolor\n"), std::string::npos);

        EXPECT_EQ(formatread::EpsCells(Eps, N), CellsOf(Grid));
        // One fill per run, no more.
        EXPECT_EQ(RunFills(Eps), qrpicture::DarkRuns(Grid).size());
    }
}

// ---- PDF -----------------------------------------------------------------------------------

// How many objects of type /Page (not /Pages) a PDF file holds.
std::size_t PageObjects(const std::string& Pdf) {
    const std::string Key = "/Type /Page";
    std::size_t Count = 0;
    for (auto At = Pdf.find(Key); At != std::string::npos; At = Pdf.find(Key, At + 1)) {
        const auto After = At + Key.size();
        if (After == Pdf.size() || !std::isalnum(static_cast<unsigned char>(Pdf[After])))
            ++Count;
    }
    return Count;
}

TEST(Pdf, OnePageTheSizeOfTheSymbolAndItsMargin) {
    const qr::TQRCodeGrid Grid = GridOf(kVersion10, 4);
    const std::string Pdf = AsText(qrpicture::MakePdf(Grid, {2, qrpicture::kOpaqueBlack, qrpicture::kOpaqueWhite, 0}));
    ASSERT_EQ(Pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(Pdf.find("%%EOF"), std::string::npos);
    const std::string Side = std::to_string(Grid.Rows() * 2);
    EXPECT_NE(Pdf.find("/MediaBox [ 0 0 " + Side + " " + Side + " ]"), std::string::npos);
    EXPECT_EQ(PageObjects(Pdf), 1u);
    // Nothing from the clock: the same symbol makes the same file at any time.
    EXPECT_EQ(Pdf.find("/CreationDate"), std::string::npos);
}

// The batch makes its rows' pages on several threads at once. Run alone (as ctest runs each
// case), this is also the process's first use of cairo, whose static Windows build sets its
// locks up on that first use.
TEST(Pdf, PagesMadeOnManyThreadsAtOnceAreTheFileOneThreadMakes) {
    const qr::TQRCodeGrid Grid = GridOf(kVersion10, 4);
    const TDrawing Drawing{3, {0x1f, 0x3a, 0x93, 0x80}, qrpicture::kOpaqueWhite, 0};
    constexpr int kThreads = 8;
    constexpr int kPages = 10;
    std::vector<std::vector<std::string>> Pages(kThreads);
    {
        std::latch Start(kThreads);
        std::vector<std::jthread> Threads;
        for (auto& Mine : Pages)
            Threads.emplace_back([&] {
                Start.arrive_and_wait();
                for (int Page = 0; Page < kPages; ++Page)
                    Mine.push_back(AsText(qrpicture::MakePdf(Grid, Drawing)));
            });
    }
    const std::string Expected = AsText(qrpicture::MakePdf(Grid, Drawing));
    for (const auto& Mine : Pages) {
        ASSERT_EQ(Mine.size(), static_cast<std::size_t>(kPages));
        for (const std::string& Page : Mine)
            EXPECT_TRUE(Page == Expected) << Page.size() << " bytes, " << Expected.size() << " expected";
    }
}

// ---- What every writer refuses --------------------------------------------------------------

TEST(Formats, NoCellsZeroModulesAndHugeDrawingsAreRefused) {
    using Writer = qrpicture::TBytes (*)(const qr::TQRCodeGrid&, const TDrawing&);
    const qr::TQRCodeGrid NoCells;  // no symbol and no quiet zone written: 0 x 0
    const qr::TQRCodeGrid Symbol = GridOf(kVersion1, 100);
    for (const Writer Write : {&qrpicture::MakePng, &qrpicture::MakeSvg, &qrpicture::MakeEps, &qrpicture::MakePdf}) {
        EXPECT_THROW(Write(NoCells, {}), std::invalid_argument);
        EXPECT_THROW(Write(Symbol, {0, qrpicture::kOpaqueBlack, qrpicture::kOpaqueWhite, 0}), std::invalid_argument);
        EXPECT_THROW(Write(Symbol, {10'000, qrpicture::kOpaqueBlack, qrpicture::kOpaqueWhite, 0}), std::invalid_argument);
    }
    // A grid without a symbol but with a quiet zone is all light, and still a picture.
    qr::TQRCodeGrid Blank(std::u16string(3000, u'z'), qr::qrUTF8BOM, 2);
    ASSERT_EQ(Blank.Rows(), 4);
    const auto Image = pngtest::ReadPng(qrpicture::MakePng(Blank, {}));
    ASSERT_TRUE(Image);
    EXPECT_EQ(Image->Width, 12);
}

TEST(Formats, EveryOpacityComesBackAsItsByte) {
    for (int Value = 0; Value <= 255; ++Value) {
        std::string Text;
        qrpicture::detail::AppendFraction(Text, static_cast<std::uint8_t>(Value));
        double Parsed = -1;
        ASSERT_EQ(std::from_chars(Text.data(), Text.data() + Text.size(), Parsed).ptr, Text.data() + Text.size()) << Text;
        EXPECT_EQ(std::lround(Parsed * 255), Value) << Text;
        EXPECT_LE(Text.size(), 6u) << Text;
    }
}

}  // namespace
