// The code grid with the real encoder: the symbol it holds, the quiet zone, reading cells, and
// whether there is a symbol. Which writes encode is seen in tests/grid, through a stand-in for
// the encoder.

#include <gtest/gtest.h>

#include <string>

#include "grid/qrcodegrid.h"
#include "testing.h"

using namespace qr;

namespace {

// The grid's cells, row by row, as 'X' and '.'.
std::vector<std::string> Picture(const TQRCodeGrid& G) {
    std::vector<std::string> Lines;
    for (int r = 0; r < G.Rows(); ++r) {
        std::string Line;
        for (int c = 0; c < G.Columns(); ++c) Line += G.IsBlack(r, c) ? 'X' : '.';
        Lines.push_back(Line);
    }
    return Lines;
}

TEST(CodeGrid, NewGridHasNoSymbol) {
    const TQRCodeGrid G;
    EXPECT_EQ(G.Rows(), 0);
    EXPECT_EQ(G.Columns(), 0);
    EXPECT_EQ(G.Data(), u"");
    EXPECT_EQ(G.Encoding(), qrAuto);
    EXPECT_EQ(G.QuietZone(), 4);
    EXPECT_FALSE(G.HasSymbol());
    for (const auto& [r, c] : {std::pair{0, 0}, std::pair{4, 4}, std::pair{-1, -1}, std::pair{10, 10}})
        EXPECT_FALSE(G.IsBlack(r, c)) << r << "," << c;
}

// The window's sequence for the empty text: only the change of option encodes.
class EmptyText : public ::testing::Test {
protected:
    void SetUp() override {
        G.SetData(u"");
        EXPECT_EQ(G.Rows(), 0);
        G.SetEncoding(qrUTF8BOM);
        G.SetQuietZone(4);
    }
    TQRCodeGrid G;
};

TEST_F(EmptyText, Version1SymbolWithAQuietZoneOfFour) {
    EXPECT_EQ(G.Rows(), 29);
    EXPECT_EQ(G.Columns(), 29);
    EXPECT_TRUE(G.IsBlack(4, 4));    // upper-left finder, top-left corner
    EXPECT_FALSE(G.IsBlack(3, 4));   // quiet zone
    EXPECT_FALSE(G.IsBlack(4, 3));
    EXPECT_FALSE(G.IsBlack(28, 28));
    EXPECT_FALSE(G.IsBlack(4, 11));  // separator
    EXPECT_TRUE(G.IsBlack(24, 4));   // lower-left finder, bottom-left corner
    EXPECT_TRUE(G.IsBlack(4, 24));   // upper-right finder, top-right corner
    EXPECT_TRUE(G.IsBlack(4 + 13, 4 + 8));  // the dark module: row 13, column 8
}

TEST_F(EmptyText, RowsOfTheGridAreRowsOfTheSymbol) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(u"", qrUTF8BOM, LevelL(), Record);
    ASSERT_NE(Record.Matrix(), nullptr);
    const std::vector<std::string> Symbol = qrtest::MatrixLines(*Record.Matrix());
    const std::vector<std::string> Grid = Picture(G);
    ASSERT_EQ(Grid.size(), 29u);
    for (int r = 0; r < 29; ++r)
        for (int c = 0; c < 29; ++c) {
            const bool Inside = r >= 4 && r < 25 && c >= 4 && c < 25;
            const char Expected = Inside ? Symbol[r - 4][c - 4] : '.';
            ASSERT_EQ(Grid[r][c], Expected) << "row " << r << ", column " << c;
        }
}

TEST_F(EmptyText, OutsideThePaddedGridIsLight) {
    for (const auto& [r, c] : {std::pair{-1, 4}, std::pair{4, -1}, std::pair{-100, -100}, std::pair{29, 4},
                               std::pair{4, 29}, std::pair{1000, 1000}, std::pair{-5, 30}})
        EXPECT_FALSE(G.IsBlack(r, c)) << r << "," << c;
}

TEST_F(EmptyText, QuietZoneChangesReEncodeAndOutOfRangeValuesAreIgnored) {
    G.SetQuietZone(0);
    EXPECT_EQ(G.Rows(), 21);
    EXPECT_EQ(G.Columns(), 21);
    EXPECT_TRUE(G.IsBlack(0, 0));
    EXPECT_FALSE(G.IsBlack(21, 0));

    for (int Ignored : {101, -1, 0}) {
        G.SetQuietZone(Ignored);
        EXPECT_EQ(G.QuietZone(), 0) << Ignored;
        EXPECT_EQ(G.Rows(), 21) << Ignored;
    }
    G.SetQuietZone(100);
    EXPECT_EQ(G.Rows(), 221);
    EXPECT_TRUE(G.IsBlack(100, 100));
    EXPECT_FALSE(G.IsBlack(99, 100));
}

TEST(CodeGrid, ModeFollowsTheEncodingOption) {
    auto PictureOf = [](TQRCodeEncoding Encoding) {
        TQRCodeGrid G;
        G.SetData(u"ABC");
        G.SetEncoding(Encoding);
        return Picture(G);
    };
    const auto Auto = PictureOf(qrAuto);
    EXPECT_EQ(Auto.size(), 29u);
    EXPECT_EQ(Auto, PictureOf(qrAlphanumeric));
    EXPECT_NE(Auto, PictureOf(qrUTF8BOM));

    EXPECT_EQ(MakeSymbolGrid(u"ABC", qrAuto), MakeSymbolGrid(u"ABC", qrAlphanumeric));
    EXPECT_NE(MakeSymbolGrid(u"ABC", qrAuto), MakeSymbolGrid(u"ABC", qrUTF8BOM));
}

TEST(CodeGrid, SymbolGridIsIndexedColumnFirst) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(u"Ol\u00E1", qrUTF8BOM, LevelL(), Record);
    ASSERT_NE(Record.Matrix(), nullptr);
    const T2DBooleanArray Grid = MakeSymbolGrid(u"Ol\u00E1", qrUTF8BOM);
    ASSERT_EQ(Grid.size(), 21u);
    for (int x = 0; x < 21; ++x) {
        ASSERT_EQ(Grid[x].size(), 21u);
        for (int y = 0; y < 21; ++y) ASSERT_EQ(Grid[x][y], Record.Matrix()->Get(x, y) == 1) << x << "," << y;
    }
}

TEST(CodeGrid, LevelWritesReEncodeOnChangeAndTheLevelReachesTheSymbol) {
    TQRCodeGrid G;
    G.SetData(u"level");
    EXPECT_EQ(G.Level().Bits(), LevelL().Bits());
    const auto AtL = Picture(G);
    G.SetLevel(LevelL());
    EXPECT_EQ(Picture(G), AtL);
    G.SetLevel(LevelH());
    EXPECT_NE(Picture(G), AtL);
    // The grid holds what the encoder makes at that level: 14 bytes need version 2 at H.
    EXPECT_EQ(MakeSymbolGrid(std::u16string(14, u'h'), qrUTF8BOM, LevelL()).size(), 21u);
    EXPECT_EQ(MakeSymbolGrid(std::u16string(14, u'h'), qrUTF8BOM, LevelH()).size(), 25u);
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(u"level", qrAuto, LevelH(), Record);
    ASSERT_NE(Record.Matrix(), nullptr);
    for (int r = 0; r < 21; ++r)
        for (int c = 0; c < 21; ++c) ASSERT_EQ(G.IsBlack(r + 4, c + 4), Record.Matrix()->Get(c, r) == 1);
}

TEST(CodeGrid, AllSettingsAtOnceMatchTheWrites) {
    for (const std::u16string& Text : {std::u16string(), std::u16string(u"ABC"), std::u16string(500, u'x')}) {
        const TQRCodeGrid AtOnce(Text, qrUTF8BOM, 2, LevelQ());
        TQRCodeGrid Written;
        Written.SetData(Text);
        Written.SetEncoding(qrUTF8BOM);
        Written.SetQuietZone(2);
        Written.SetLevel(LevelQ());
        EXPECT_EQ(Picture(AtOnce), Picture(Written));
        EXPECT_EQ(AtOnce.Data(), Text);
        EXPECT_EQ(AtOnce.Level().Bits(), LevelQ().Bits());
    }
    // A quiet zone out of range keeps the default, as a write of it would be ignored.
    EXPECT_EQ(TQRCodeGrid(u"A", qrAuto, 101).QuietZone(), 4);
    EXPECT_EQ(TQRCodeGrid(u"A", qrAuto, -1).Rows(), 21 + 8);
}

TEST(CodeGrid, TextThatNoVersionHoldsGivesAnEmptyLightGrid) {
    TQRCodeGrid G;
    G.SetEncoding(qrUTF8BOM);
    G.SetData(std::u16string(2954, u'a'));
    EXPECT_EQ(G.Rows(), 8);
    EXPECT_EQ(G.Columns(), 8);
    for (int r = -1; r <= 8; ++r)
        for (int c = -1; c <= 8; ++c) EXPECT_FALSE(G.IsBlack(r, c)) << r << "," << c;
    EXPECT_TRUE(MakeSymbolGrid(std::u16string(2954, u'a'), qrUTF8BOM).empty());

    G.SetData(std::u16string(2953, u'a'));  // one byte less fits version 40
    EXPECT_EQ(G.Rows(), 177 + 8);
}

// The grid's answer to "is there a symbol, and if not, how much too much": HasSymbol is false
// exactly when the measured data does not fit, and the count is what the encoder writes (UTF-8
// bytes in byte mode, an unpaired surrogate as the three bytes of U+FFFD).
TEST(CodeGrid, HasASymbolExactlyWhenTheDataFitsItsLimit) {
    struct Case {
        const char* Name;
        std::u16string Text;
        TQRCodeEncoding Encoding;
        TErrorCorrectionLevel Level;
        TMode Mode;
        int Count, Limit;
    };
    auto Repeated = [](std::u16string_view Unit, int Times) {
        std::u16string Text;
        for (int i = 0; i < Times; ++i) Text += Unit;
        return Text;
    };
    const Case Cases[] = {
        {"empty", u"", qrUTF8BOM, LevelL(), qmByte, 0, 2953},
        {"2953 ASCII bytes", std::u16string(2953, u'a'), qrUTF8BOM, LevelL(), qmByte, 2953, 2953},
        {"2954 ASCII bytes", std::u16string(2954, u'a'), qrUTF8BOM, LevelL(), qmByte, 2954, 2953},
        {"984 euro signs", std::u16string(984, u'\u20AC'), qrUTF8BOM, LevelL(), qmByte, 2952, 2953},
        {"985 euro signs", std::u16string(985, u'\u20AC'), qrUTF8BOM, LevelL(), qmByte, 2955, 2953},
        {"1200 euro signs", std::u16string(1200, u'\u20AC'), qrUTF8BOM, LevelL(), qmByte, 3600, 2953},
        {"CR LF is two bytes", std::u16string(2951, u'a') + u"\r\n", qrUTF8BOM, LevelL(), qmByte, 2953, 2953},
        {"one more", std::u16string(2952, u'a') + u"\r\n", qrUTF8BOM, LevelL(), qmByte, 2954, 2953},
        {"unpaired surrogates", std::u16string(985, char16_t(0xD800)), qrUTF8BOM, LevelL(), qmByte, 2955, 2953},
        {"738 emoji", Repeated(u"\U0001F600", 738), qrUTF8BOM, LevelL(), qmByte, 2952, 2953},
        {"739 emoji, four bytes each", Repeated(u"\U0001F600", 739), qrUTF8BOM, LevelL(), qmByte, 2956, 2953},
        {"the byte-order mark counts", std::u16string(2951, u'a'), qrUTF8NoBOM, LevelL(), qmByte, 2954, 2953},
        {"byte mode at level H", std::u16string(1274, u'a'), qrUTF8BOM, LevelH(), qmByte, 1274, 1273},
        {"digits at level L", std::u16string(7089, u'7'), qrAuto, LevelL(), qmNumeric, 7089, 7089},
        {"one digit more", std::u16string(7090, u'7'), qrAuto, LevelL(), qmNumeric, 7090, 7089},
        {"alphanumeric at level M", std::u16string(3392, u'A'), qrAlphanumeric, LevelM(), qmAlphanumeric, 3392, 3391},
    };
    for (const Case& C : Cases) {
        const TQRCodeGrid G(C.Text, C.Encoding, 4, C.Level);
        const TDataSize Size = G.DataSize();
        EXPECT_EQ(Size.Mode, C.Mode) << C.Name;
        EXPECT_EQ(Size.Count, C.Count) << C.Name;
        EXPECT_EQ(Size.Limit, C.Limit) << C.Name;
        EXPECT_EQ(G.HasSymbol(), Size.Fits()) << C.Name;
        EXPECT_EQ(G.HasSymbol(), C.Count <= C.Limit) << C.Name;
        EXPECT_EQ(G.Rows() == 8, !G.HasSymbol()) << C.Name;
        // The same answer without a grid, as a caller that has not encoded gets it.
        const TDataSize Measured = TQRCodeGrid::MeasureData(C.Text, C.Encoding, C.Level);
        EXPECT_EQ(Measured.Count, Size.Count) << C.Name;
        EXPECT_EQ(Measured.Limit, Size.Limit) << C.Name;
    }
}

}  // namespace
