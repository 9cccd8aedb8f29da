// The display area's arithmetic and pictures, and the module bitmap, without a window.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "displayarea.h"
#include "grid/qrcodegrid.h"
#include "modulebitmap.h"

using qrpicture::kBlack;
using qrpicture::kWhite;
using qrpicture::MakeModuleBitmap;
using qrpicture::RenderDisplayArea;
using qrpicture::DrawnSize;
using qrpicture::TPixels;
using qrpicture::TRgb32;
using qrpicture::TDrawnSize;

namespace {

// Widths of the runs of equal source indices when N pixels are stretched over D.
std::vector<int> StretchRuns(int D, int N) {
    std::vector<int> Runs(static_cast<std::size_t>(N), 0);
    for (int d = 0; d < D; ++d)
        ++Runs.at(static_cast<std::size_t>(qrpicture::NearestSource(d, D, N)));
    return Runs;
}

// A bitmap that tells rows from columns: pixel (x, y) dark when x + 2y is a multiple of 3, and the
// top-left pixel always dark.
TPixels Asymmetric(int Width, int Height) {
    return MakeModuleBitmap(Height, Width, [](int Row, int Column) { return (Column + 2 * Row) % 3 == 0; });
}

}  // namespace

TEST(DrawnSize, EverySymbolSizeInThe406Area) {
    // All bitmap sides that occur: 8 (no symbol) and 29 to 185 in steps of 4.
    std::vector<int> Sides{8};
    for (int N = 29; N <= 185; N += 4)
        Sides.push_back(N);
    for (const int N : Sides) {
        const int Expected = N == 93 || N == 181 || N == 185 ? 405 : 406;
        EXPECT_EQ(DrawnSize(406, 406, N, N), (TDrawnSize{Expected, Expected})) << "N = " << N;
    }
}

TEST(DrawnSize, TheSmallerSideDecides) {
    struct Case {
        int W, H, N;
        TDrawnSize Expected;
    };
    const Case Cases[] = {
        {500, 400, 29, {400, 400}},  // wider than high: the height decides
        {400, 500, 29, {400, 400}},  // higher than wide: the width decides
        {500, 400, 33, {400, 400}},
        {609, 609, 93, {609, 609}},  // 150 %: 609 / 93 * 93 does not fall short
        {508, 508, 29, {508, 508}},
        {406, 406, 0, {0, 0}},  // before the first Update
        {0, 0, 29, {0, 0}},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(DrawnSize(C.W, C.H, C.N, C.N), C.Expected) << C.W << " x " << C.H << ", N = " << C.N;
    // A bitmap that is not square keeps its proportions (s from the height here).
    EXPECT_EQ(DrawnSize(300, 200, 10, 20), (TDrawnSize{100, 200}));
}

TEST(NearestSource, ModuleWidthsDifferByAtMostOne) {
    for (const int D : {406, 405, 508, 609, 812})
        for (int N = 8; N <= 185; ++N) {
            const std::vector<int> Runs = StretchRuns(D, N);
            const auto [Narrowest, Widest] = std::minmax_element(Runs.begin(), Runs.end());
            EXPECT_EQ(*Narrowest, D / N) << "D = " << D << ", N = " << N;
            EXPECT_EQ(*Widest, (D + N - 1) / N) << "D = " << D << ", N = " << N;
        }
}

TEST(MakeModuleBitmap, OnePixelPerCellRowsStayRows) {
    const TPixels Bitmap = Asymmetric(5, 3);
    ASSERT_EQ(Bitmap.Width(), 5);
    ASSERT_EQ(Bitmap.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Bitmap.Pixel(x, y), (x + 2 * y) % 3 == 0 ? kBlack : kWhite) << x << ", " << y;
    EXPECT_TRUE(MakeModuleBitmap(0, 0, [](int, int) { return true; }).IsEmpty());
}

TEST(MakeModuleBitmap, FromTheCodeGrid) {
    const qr::TQRCodeGrid Grid = qrpicture::WindowGrid(u"");
    const TPixels Bitmap = MakeModuleBitmap(Grid);
    ASSERT_EQ(Bitmap.Width(), 29);
    ASSERT_EQ(Bitmap.Height(), 29);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 29; ++x)
            ASSERT_EQ(Bitmap.Pixel(x, y), Grid.IsBlack(y, x) ? kBlack : kWhite) << x << ", " << y;
    EXPECT_EQ(Bitmap.Pixel(4, 4), kBlack);  // outer corner of the upper-left finder
    EXPECT_EQ(Bitmap.Pixel(3, 4), kWhite);  // quiet zone
    EXPECT_EQ(Bitmap.Pixel(24, 4), kBlack);  // upper-right finder: column 24, row 4
    EXPECT_EQ(Bitmap.Pixel(11, 4), kWhite);  // separator
}

TEST(RenderDisplayArea, FourteenPixelModulesFillThe406Area) {
    const TPixels Bitmap = Asymmetric(29, 29);
    const TPixels Area = RenderDisplayArea(Bitmap, 406, 406);
    ASSERT_EQ(Area.Width(), 406);
    ASSERT_EQ(Area.Height(), 406);
    for (int y = 0; y < 406; ++y)
        for (int x = 0; x < 406; ++x)
            ASSERT_EQ(Area.Pixel(x, y), Bitmap.Pixel(x / 14, y / 14)) << x << ", " << y;
}

TEST(RenderDisplayArea, StretchedCopyIsPureAndAnchoredTopLeft) {
    struct Case {
        int N, W, H;
    };
    const Case Cases[] = {{33, 406, 406}, {93, 406, 406}, {185, 406, 406}, {29, 500, 400}, {29, 400, 500}, {37, 609, 609}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << "N = " << C.N << ", " << C.W << " x " << C.H);
        const TPixels Bitmap = Asymmetric(C.N, C.N);
        const TPixels Area = RenderDisplayArea(Bitmap, C.W, C.H);
        ASSERT_EQ(Area.Width(), C.W);
        ASSERT_EQ(Area.Height(), C.H);
        const TDrawnSize Dest = DrawnSize(C.W, C.H, C.N, C.N);
        for (int y = 0; y < C.H; ++y)
            for (int x = 0; x < C.W; ++x) {
                const TRgb32 Pixel = Area.Pixel(x, y);
                if (x >= Dest.Width || y >= Dest.Height)
                    ASSERT_EQ(Pixel, kWhite) << x << ", " << y;
                else
                    ASSERT_EQ(Pixel, Bitmap.Pixel(qrpicture::NearestSource(x, Dest.Width, C.N), qrpicture::NearestSource(y, Dest.Height, C.N)))
                        << x << ", " << y;
            }
        // Every module shows: the first and last source column and row are reached.
        EXPECT_EQ(qrpicture::NearestSource(0, Dest.Width, C.N), 0);
        EXPECT_EQ(qrpicture::NearestSource(Dest.Width - 1, Dest.Width, C.N), C.N - 1);
    }
}

TEST(RenderDisplayArea, NoBitmapOrNoSymbolIsAllWhite) {
    const TPixels NoSymbol = MakeModuleBitmap(8, 8, [](int, int) { return false; });
    for (const TPixels& Bitmap : {TPixels(), NoSymbol}) {
        const TPixels Area = RenderDisplayArea(Bitmap, 406, 406);
        ASSERT_EQ(Area.Width(), 406);
        ASSERT_EQ(Area.Height(), 406);
        const std::set<TRgb32> Colours(Area.All().begin(), Area.All().end());
        EXPECT_EQ(Colours, std::set<TRgb32>{kWhite});
    }
}

TEST(WindowSymbol, TheWindowsSettingsGiveTheWindowsBitmapAndPicture) {
    // The window's sequence of writes and the settings encoded at once give the same grid.
    for (const std::u16string& Text : {std::u16string(), std::u16string(u"Ol\u00e1\r\nmundo"), std::u16string(300, u'q')}) {
        const TPixels Bitmap = qrpicture::WindowModuleBitmap(Text);
        EXPECT_EQ(Bitmap, MakeModuleBitmap(qrpicture::SymbolGrid(Text, {})));
        EXPECT_EQ(qrpicture::WindowPicture(Bitmap), RenderDisplayArea(Bitmap, 406, 406));
    }
    EXPECT_EQ(qrpicture::WindowModuleBitmap(u"").Width(), 21 + 2 * 4);
}
