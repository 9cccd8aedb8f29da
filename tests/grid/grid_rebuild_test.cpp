// Which encodings the code grid asks for: linked with a stand-in for MakeSymbolGrid that records
// every call and answers with a grid of a chosen side, so that a write that changes nothing is
// seen not to encode again, and each encoding is seen to get the grid's current settings.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "grid/qrcodegrid.h"

using namespace qr;

namespace {

struct Call {
    std::u16string Text;
    int Option;
    int LevelBits;
    friend bool operator==(const Call&, const Call&) = default;
};

std::vector<Call> Calls;
// The side of the grid the stand-in answers with; 0 plays a text that no version holds.
std::size_t Side = 21;

}  // namespace

// The stand-in: one dark module, at column 0, row 1, so that a transposed read shows.
T2DBooleanArray qr::MakeSymbolGrid(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                                   const TSymbolChoices&) {
    Calls.push_back({std::u16string(Text), Option, Level.Bits()});
    T2DBooleanArray Grid(Side, std::vector<bool>(Side, false));
    if (Side > 1) Grid[0][1] = true;
    return Grid;
}

namespace {

class GridRebuild : public ::testing::Test {
protected:
    void SetUp() override {
        Calls.clear();
        Side = 21;
    }
};

std::ostream& operator<<(std::ostream& Out, const Call& C) {
    return Out << '(' << C.Text.size() << " units, option " << C.Option << ", level bits " << C.LevelBits << ')';
}

TEST_F(GridRebuild, EachWriteThatChangesAValueEncodesOnceWithTheCurrentSettings) {
    const int L = LevelL().Bits(), H = LevelH().Bits(), Q = LevelQ().Bits();
    // The window's Update: Data, then Encoding, then QuietZone.
    const auto WindowsWrites = [](std::u16string_view Text) {
        return [Text] {
            TQRCodeGrid G;
            G.SetData(Text);
            G.SetEncoding(qrUTF8BOM);
            G.SetQuietZone(4);
            return G;
        };
    };
    struct Case {
        const char* Name;
        std::function<TQRCodeGrid()> Writes;
        std::vector<Call> Expected;
    };
    const Case Cases[] = {
        {"a new grid", [] { return TQRCodeGrid(); }, {}},
        {"the empty text on a new grid",
         [] {
             TQRCodeGrid G;
             G.SetData(u"");
             return G;
         },
         {}},
        {"the window's writes for the empty text", WindowsWrites(u""), {{u"", qrUTF8BOM, L}}},
        {"the window's writes for a text: qrAuto first, then qrUTF8BOM", WindowsWrites(u"abc"),
         {{u"abc", qrAuto, L}, {u"abc", qrUTF8BOM, L}}},
        {"every value written again",
         [] {
             TQRCodeGrid G;
             G.SetData(u"HELLO");
             G.SetData(u"HELLO");
             G.SetEncoding(qrAuto);
             G.SetQuietZone(4);
             G.SetLevel(LevelL());
             return G;
         },
         {{u"HELLO", qrAuto, L}}},
        {"one code unit differs, then only the length",
         [] {
             TQRCodeGrid G;
             G.SetData(u"HELLO");
             G.SetData(u"HELLo");
             G.SetData(std::u16string(u"HELLo") + char16_t(0));
             return G;
         },
         {{u"HELLO", qrAuto, L}, {u"HELLo", qrAuto, L}, {std::u16string(u"HELLo") + char16_t(0), qrAuto, L}}},
        {"a quiet zone alone re-encodes; out of range or unchanged it does not",
         [] {
             TQRCodeGrid G;
             G.SetQuietZone(0);
             for (const int Ignored : {101, -1, 0}) G.SetQuietZone(Ignored);
             G.SetQuietZone(100);
             return G;
         },
         {{u"", qrAuto, L}, {u"", qrAuto, L}}},
        {"a level",
         [] {
             TQRCodeGrid G;
             G.SetLevel(LevelH());
             G.SetLevel(LevelH());
             return G;
         },
         {{u"", qrAuto, H}}},
        {"all settings at once", [] { return TQRCodeGrid(u"A", qrUTF8BOM, 2, LevelQ()); }, {{u"A", qrUTF8BOM, Q}}},
    };
    for (const Case& C : Cases) {
        Calls.clear();
        const TQRCodeGrid G = C.Writes();
        EXPECT_EQ(Calls, C.Expected) << C.Name;
        // Rows and Columns follow the last encoding, and stay 0 without one.
        EXPECT_EQ(G.Rows(), C.Expected.empty() ? 0 : 21 + 2 * G.QuietZone()) << C.Name;
        EXPECT_EQ(G.Columns(), G.Rows()) << C.Name;
        EXPECT_EQ(G.HasSymbol(), !C.Expected.empty()) << C.Name;
    }
}

TEST_F(GridRebuild, CellsAreTheEncodersGridTransposedInsideTheQuietZone) {
    const TQRCodeGrid G(u"x", qrUTF8BOM, 3);
    EXPECT_TRUE(G.IsBlack(3 + 1, 3 + 0));  // row 1, column 0 of the symbol
    EXPECT_FALSE(G.IsBlack(3 + 0, 3 + 1));
    EXPECT_FALSE(G.IsBlack(1, 0));  // the same cell without the quiet zone
    EXPECT_EQ(G.Rows(), 21 + 6);

    // An encoder grid without modules: no symbol, a padded grid of the quiet zone alone.
    Side = 0;
    const TQRCodeGrid Empty(u"x", qrUTF8BOM, 3);
    EXPECT_FALSE(Empty.HasSymbol());
    EXPECT_EQ(Empty.Rows(), 6);
    for (int r = -1; r <= 6; ++r)
        for (int c = -1; c <= 6; ++c) EXPECT_FALSE(Empty.IsBlack(r, c)) << r << "," << c;
}

}  // namespace
