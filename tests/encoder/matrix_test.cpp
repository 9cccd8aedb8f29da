// Matrix construction (function patterns, format and version information, data placement,
// masks) and the mask choice (the four penalty rules and SelectMask).

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <bit>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testing.h"

using namespace qr;
using qrtest::MatrixFrom;
using qrtest::Packed;

namespace {

using Cells = std::vector<std::vector<int>>;  // [Y][X]: -1 data cell, 0 light, 1 dark

constexpr int FormatWordsOfL[8] = {0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976};

// The data mask conditions with i the row and j the column.
bool MaskCondition(int Mask, int i, int j) {
    switch (Mask) {
        case 0: return (i + j) % 2 == 0;
        case 1: return i % 2 == 0;
        case 2: return j % 3 == 0;
        case 3: return (i + j) % 3 == 0;
        case 4: return (i / 2 + j / 3) % 2 == 0;
        case 5: return (i * j) % 2 + (i * j) % 3 == 0;
        case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
        case 7: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
        default: return true;
    }
}

// Remainder of Value divided by Generator, both as polynomials over GF(2).
int PolyMod(int Value, int Generator) {
    auto Width = [](int v) { return static_cast<int>(std::bit_width(static_cast<unsigned>(v))); };
    const int g = Width(Generator);
    while (Width(Value) >= g) Value ^= Generator << (Width(Value) - g);
    return Value;
}

// Bit n of a format word: its cell in the first copy (around the upper-left finder) and in the
// second (below the upper-right finder for bits 0-7, right of the lower-left one for 8-14).
std::pair<int, int> FormatCell(int Bit, int D, int Copy) {
    if (Copy == 0) {
        if (Bit <= 5) return {8, Bit};
        if (Bit == 6) return {8, 7};
        if (Bit == 7) return {8, 8};
        if (Bit == 8) return {7, 8};
        return {14 - Bit, 8};
    }
    return Bit < 8 ? std::pair{D - 1 - Bit, 8} : std::pair{8, D - 15 + Bit};
}

// The symbol's function patterns drawn from the standard's description, independently of the
// matrix builder. FormatWord -1 leaves the format cells to the data.
Cells ReferenceLayout(int Version, int FormatWord) {
    const int D = 17 + 4 * Version;
    Cells C(static_cast<std::size_t>(D), std::vector<int>(static_cast<std::size_t>(D), -1));
    auto Set = [&](int x, int y, int v) { C[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = v; };
    // Finders in light 8 x 8 corners (the separators).
    for (const auto& [fx, fy] : {std::pair{0, 0}, std::pair{D - 7, 0}, std::pair{0, D - 7}}) {
        const int sx = fx == 0 ? 0 : fx - 1, sy = fy == 0 ? 0 : fy - 1;
        for (int y = sy; y < sy + 8; ++y)
            for (int x = sx; x < sx + 8; ++x) Set(x, y, 0);
        for (int dy = 0; dy < 7; ++dy)
            for (int dx = 0; dx < 7; ++dx) Set(fx + dx, fy + dy, std::max(std::abs(dx - 3), std::abs(dy - 3)) != 2);
    }
    for (int i = 8; i <= D - 9; ++i) {
        Set(i, 6, i % 2 == 0);
        Set(6, i, i % 2 == 0);
    }
    const auto Record = TVersion::GetVersionForNumber(Version)->GetAlignmentPatternCenters();
    const std::vector<int> Centres(Record.begin(), Record.end());
    const int Last = Centres.empty() ? 0 : Centres.back();
    for (int cy : Centres)
        for (int cx : Centres) {
            if ((cx == 6 && cy == 6) || (cx == 6 && cy == Last) || (cx == Last && cy == 6)) continue;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) Set(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
        }
    Set(8, D - 8, 1);
    if (FormatWord >= 0)
        for (int Bit = 0; Bit < 15; ++Bit)
            for (int Copy = 0; Copy < 2; ++Copy) {
                const auto [x, y] = FormatCell(Bit, D, Copy);
                Set(x, y, (FormatWord >> Bit) & 1);
            }
    if (Version >= 7) {
        const int Word = (Version << 12) | PolyMod(Version << 12, 0x1F25);
        for (int n = 0; n < 18; ++n) {
            Set(n / 3, D - 11 + n % 3, (Word >> n) & 1);
            Set(D - 11 + n % 3, n / 3, (Word >> n) & 1);
        }
    }
    return C;
}

Cells CellsOf(const TByteMatrix& M) {
    Cells C(static_cast<std::size_t>(M.Height()), std::vector<int>(static_cast<std::size_t>(M.Width())));
    for (int y = 0; y < M.Height(); ++y)
        for (int x = 0; x < M.Width(); ++x) C[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = M.Get(x, y);
    return C;
}

// "" when equal, else the first differing cell and the number of differences.
std::string Differences(const Cells& Got, const Cells& Expected) {
    if (Got.size() != Expected.size()) return "sizes differ";
    std::string First;
    int Count = 0;
    for (std::size_t y = 0; y < Got.size(); ++y)
        for (std::size_t x = 0; x < Got[y].size(); ++x)
            if (Got[y][x] != Expected[y][x] && Count++ == 0) {
                std::ostringstream Text;
                Text << "(" << x << ", " << y << ") is " << Got[y][x] << ", expected " << Expected[y][x];
                First = Text.str();
            }
    if (Count == 0) return "";
    std::ostringstream Text;
    Text << First << "; " << Count << " cells differ";
    return Text.str();
}

int EmptyCells(const Cells& C) {
    int n = 0;
    for (const auto& Row : C)
        for (int v : Row) n += v == -1;
    return n;
}

// The data cells in placement order: column pairs from the right, right cell first, upward in
// the first pair and alternating, the vertical timing column skipped.
std::vector<std::pair<int, int>> DataCellOrder(const Cells& Layout) {
    const int D = static_cast<int>(Layout.size());
    std::vector<std::pair<int, int>> Order;
    bool Upward = true;
    for (int Right = D - 1; Right >= 1; Right -= 2) {
        if (Right == 6) Right = 5;
        for (int k = 0; k < D; ++k) {
            const int y = Upward ? D - 1 - k : k;
            for (int x : {Right, Right - 1})
                if (Layout[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == -1) Order.push_back({x, y});
        }
        Upward = !Upward;
    }
    return Order;
}

TBitArray RandomBits(int n, std::mt19937& Rng) {
    TBitArray Bits;
    for (int i = 0; i < n; ++i) Bits.AppendBit(Rng() & 1);
    return Bits;
}

TByteMatrix Build(const TBitArray& Data, int Version, int Mask, bool* Error = nullptr) {
    const int D = 17 + 4 * Version;
    TByteMatrix M(D, D);
    TMatrixUtil Util;
    Util.BuildMatrix(Data, LevelL(), Version, Mask, M);
    if (Error) *Error = Util.MatrixUtilError();
    return M;
}

int TotalCodewords(int Version) { return TVersion::GetVersionForNumber(Version)->GetTotalCodewords(); }

// ---- layout ----

TEST(Layout, EveryVersionMatchesTheReferenceDrawing) {
    for (int v = 1; v <= 40; ++v) {
        const int Mask = v % 8;
        const int D = 17 + 4 * v;
        TByteMatrix M(D, D);
        TMatrixUtil Util;
        Util.PlaceSymbol(TBitArray(), LevelL(), v, Mask, M);  // leaves the layout, data cells empty
        const Cells Expected = ReferenceLayout(v, FormatWordsOfL[Mask]);
        EXPECT_EQ(Differences(CellsOf(M), Expected), "") << "version " << v;
        EXPECT_EQ(EmptyCells(Expected) / 8, TotalCodewords(v)) << "version " << v;
        EXPECT_FALSE(Util.MatrixUtilError()) << "version " << v;
    }
}

// Data in every version: unmasking the data cells and reading them in placement order gives the
// data bits, then light remainder cells.
TEST(Layout, DataBitsFollowThePlacementOrderAndTheMask) {
    std::mt19937 Rng(3);
    for (int v = 1; v <= 40; ++v) {
        const int Mask = (v * 5) % 8;
        const int n = v % 3 == 0 ? 8 * TotalCodewords(v) / 2 : 8 * TotalCodewords(v);  // some shorter than the room
        const TBitArray Data = RandomBits(n, Rng);
        bool Error = true;
        const Cells Built = CellsOf(Build(Data, v, Mask, &Error));
        EXPECT_FALSE(Error) << "version " << v;
        const Cells Layout = ReferenceLayout(v, FormatWordsOfL[Mask]);
        const auto Order = DataCellOrder(Layout);
        ASSERT_GE(static_cast<int>(Order.size()), n);
        std::string Read, Expected;
        for (std::size_t k = 0; k < Order.size(); ++k) {
            const auto [x, y] = Order[k];
            const bool Dark = Built[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 1;
            Read += (Dark != MaskCondition(Mask, y, x)) ? '1' : '0';
            Expected += static_cast<int>(k) < n && Data.Get(static_cast<int>(k)) ? '1' : '0';
        }
        EXPECT_EQ(Read, Expected) << "version " << v;
        // Everything else is the layout.
        for (int y = 0; y < 17 + 4 * v; ++y)
            for (int x = 0; x < 17 + 4 * v; ++x)
                if (Layout[y][x] != -1) {
                    ASSERT_EQ(Built[y][x], Layout[y][x]) << "version " << v << " at " << x << "," << y;
                }
    }
}

TEST(Layout, FactsOfVersions1And2And7) {
    struct Case {
        int Version;
        int DataCells;
    };
    for (const Case& C : {Case{1, 208}, Case{2, 359}, Case{7, 1568}}) {
        const int D = 17 + 4 * C.Version;
        TByteMatrix M(D, D);
        TMatrixUtil().PlaceSymbol(TBitArray(), LevelL(), C.Version, 0, M);
        EXPECT_EQ(EmptyCells(CellsOf(M)), C.DataCells) << C.Version;
        EXPECT_EQ(M.Get(8, D - 8), 1) << C.Version;  // the dark module
        for (int i = 8; i <= D - 9; ++i) {
            EXPECT_EQ(M.Get(i, 6), i % 2 == 0 ? 1 : 0) << i;
            EXPECT_EQ(M.Get(6, i), i % 2 == 0 ? 1 : 0) << i;
        }
    }
    // Version 1: no version information; those cells hold data.
    {
        TByteMatrix M(21, 21);
        TMatrixUtil().PlaceSymbol(TBitArray(), LevelL(), 1, 0, M);
        EXPECT_EQ(M.Get(0, 10), -1);
        EXPECT_EQ(M.Get(10, 0), -1);
    }
    // Version 2: one alignment pattern, centred on (18, 18).
    {
        TByteMatrix M(25, 25);
        TMatrixUtil().PlaceSymbol(TBitArray(), LevelL(), 2, 0, M);
        const std::vector<std::string> Pattern = {"XXXXX", "X...X", "X.X.X", "X...X", "XXXXX"};
        for (int dy = 0; dy < 5; ++dy)
            for (int dx = 0; dx < 5; ++dx) EXPECT_EQ(M.Get(16 + dx, 16 + dy), Pattern[dy][dx] == 'X' ? 1 : 0);
    }
    // Version 7: six alignment patterns; version information 0x07C94 twice.
    {
        TByteMatrix M(45, 45);
        TMatrixUtil().PlaceSymbol(TBitArray(), LevelL(), 7, 0, M);
        for (const auto& [x, y] : {std::pair{22, 6}, std::pair{6, 22}, std::pair{22, 22}, std::pair{38, 22},
                                   std::pair{22, 38}, std::pair{38, 38}}) {
            EXPECT_EQ(M.Get(x, y), 1) << x << "," << y;
            for (int d = -1; d <= 1; d += 2) {
                EXPECT_EQ(M.Get(x + d, y), 0) << x << "," << y;
                EXPECT_EQ(M.Get(x, y + d), 0) << x << "," << y;
                EXPECT_EQ(M.Get(x + 2 * d, y + 2 * d), 1) << x << "," << y;
            }
        }
        int Lower = 0, Upper = 0;
        for (int n = 0; n < 18; ++n) {
            Lower |= M.Get(n / 3, 45 - 11 + n % 3) << n;
            Upper |= M.Get(45 - 11 + n % 3, n / 3) << n;
        }
        EXPECT_EQ(Lower, 0x07C94);
        EXPECT_EQ(Upper, 0x07C94);
    }
}

// ---- format and version information ----

// The format words of the standard's table, by level and mask.
TEST(FormatInfo, WordsOfEveryLevelAndMaskInBothCopies) {
    const struct {
        TErrorCorrectionLevel Level;
        int Words[8];
    } Levels[] = {
        {LevelL(), {0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976}},
        {LevelM(), {0x5412, 0x5125, 0x5E7C, 0x5B4B, 0x45F9, 0x40CE, 0x4F97, 0x4AA0}},
        {LevelQ(), {0x355F, 0x3068, 0x3F31, 0x3A06, 0x24B4, 0x2183, 0x2EDA, 0x2BED}},
        {LevelH(), {0x1689, 0x13BE, 0x1CE7, 0x19D0, 0x0762, 0x0255, 0x0D0C, 0x083B}},
    };
    for (const auto& L : Levels)
        for (int Mask = 0; Mask < 8; ++Mask) {
            const int Expected = L.Words[Mask];
            EXPECT_EQ(TMatrixUtil::FormatWord(L.Level, Mask), Expected) << L.Level.Bits() << " " << Mask;
            // A format word unmasked is a multiple of the generator, carrying the level bits and the mask.
            EXPECT_EQ(PolyMod(Expected ^ 0x5412, 0x537), 0);
            EXPECT_EQ((Expected ^ 0x5412) >> 10, L.Level.Bits() * 8 + Mask);

            TByteMatrix M(21, 21);
            TMatrixUtil().BuildMatrix(TBitArray(), L.Level, 1, Mask, M);
            for (int Copy = 0; Copy < 2; ++Copy) {
                int Word = 0;
                for (int Bit = 0; Bit < 15; ++Bit) {
                    const auto [x, y] = FormatCell(Bit, 21, Copy);
                    Word |= M.Get(x, y) << Bit;
                }
                EXPECT_EQ(Word, Expected) << "level " << L.Level.Bits() << " mask " << Mask << " copy " << Copy;
            }
        }
    // Mask 0: the first copy read at (8, 0) ... (0, 8) holds 0x77C4 from bit 0 on.
    TByteMatrix M(21, 21);
    TMatrixUtil().BuildMatrix(TBitArray(), LevelL(), 1, 0, M);
    const int Cells[15][2] = {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
                              {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};
    const int Bits[15] = {0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(M.Get(Cells[i][0], Cells[i][1]), Bits[i]) << i;
}

TEST(VersionInfo, WordsOfEveryVersion) {
    EXPECT_EQ(TMatrixUtil::VersionWord(7), 0x07C94);
    EXPECT_EQ(TMatrixUtil::VersionWord(8), 0x085BC);
    EXPECT_EQ(TMatrixUtil::VersionWord(40), 0x28C69);
    for (int v = 7; v <= 40; ++v) {
        const int Word = TMatrixUtil::VersionWord(v);
        EXPECT_EQ(Word >> 12, v);
        EXPECT_EQ(PolyMod(Word, 0x1F25), 0) << v;  // a multiple of the generator
    }
}

TEST(VersionInfo, BitLengthAndBCHRemainder) {
    const std::pair<std::uint32_t, int> Lengths[] = {{0, 0}, {1, 1}, {2, 2}, {1335, 11}, {7973, 13},
                                                     {0x80000000u, 32}, {0xFFFFFFFFu, 32}};
    for (const auto& [Value, Length] : Lengths) EXPECT_EQ(TMatrixUtil::BitLength(Value), Length) << Value;
    for (int Value = 0; Value < 64; ++Value) {
        EXPECT_EQ(TMatrixUtil::BCHRemainder(Value, 7973), PolyMod(Value << 12, 7973)) << Value;
        if (Value < 32) {
            EXPECT_EQ(TMatrixUtil::BCHRemainder(Value, 1335), PolyMod(Value << 10, 1335)) << Value;
        }
    }
}

// ---- masks ----

TEST(Masks, DataMaskBit) {
    struct Case {
        int Mask, X, Y;
        bool Inverted;
    };
    const Case Cases[] = {
        {0, 0, 0, true},  {0, 1, 0, false}, {1, 5, 1, false}, {1, 1, 0, true},  {1, 0, 1, false},
        {2, 3, 7, true},  {2, 7, 3, false}, {3, 1, 2, true},  {3, 1, 1, false}, {4, 2, 1, true},
        {4, 1, 2, false}, {5, 2, 3, true},  {5, 1, 1, false}, {6, 1, 1, true},  {6, 1, 5, false},
        {7, 1, 3, true},  {7, 1, 2, false}, {7, 0, 0, true},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(TMaskUtil::GetDataMaskBit(C.Mask, C.X, C.Y), C.Inverted) << C.Mask << " at " << C.X << "," << C.Y;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            for (int Mask = 0; Mask < 8; ++Mask) ASSERT_EQ(TMaskUtil::GetDataMaskBit(Mask, x, y), MaskCondition(Mask, y, x));
            ASSERT_TRUE(TMaskUtil::GetDataMaskBit(8, x, y));
            ASSERT_TRUE(TMaskUtil::GetDataMaskBit(-1, x, y));
        }
}

// The packed patterns repeat every 12 lines and every three words (192 cells) along a line.
TEST(Masks, TilesHoldEveryPatternAlongLinesOfAnyLength) {
    for (int Mask = 0; Mask < 8; ++Mask)
        for (int Line = 0; Line < 30; ++Line)
            for (int k = 0; k < 450; ++k) {
                auto Tiled = [&](int Tile) {
                    const std::uint64_t Word = TMaskUtil::Tiles[Tile][Mask][Line % 12][(k / 64) % 3];
                    return ((Word >> (k % 64)) & 1) != 0;
                };
                ASSERT_EQ(Tiled(0), MaskCondition(Mask, Line, k)) << Mask << " row " << Line << " column " << k;
                ASSERT_EQ(Tiled(1), MaskCondition(Mask, k, Line)) << Mask << " column " << Line << " row " << k;
            }
}

TEST(Masks, NoMaskPlacesDataInTheFormatCellsToo) {
    TByteMatrix M(21, 21);
    TMatrixUtil().PlaceSymbol(TBitArray(), LevelL(), 1, -1, M);
    EXPECT_EQ(EmptyCells(CellsOf(M)), 208 + 30);

    TBitArray Ones;
    Ones.AppendBits(-1, 32);
    while (Ones.GetSize() < 238) Ones.AppendBit(true);
    bool Error = true;
    const TByteMatrix Built = Build(Ones, 1, -1, &Error);
    EXPECT_FALSE(Error);
    const Cells Layout = ReferenceLayout(1, -1);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) EXPECT_EQ(Built.Get(x, y), Layout[y][x] == -1 ? 1 : Layout[y][x]) << x << "," << y;
}

TEST(Masks, MaskOutsideTheRangeInvertsEveryDataBitAndWritesNoFormat) {
    bool Error = true;
    const TByteMatrix Built = Build(TBitArray(), 1, 8, &Error);
    EXPECT_FALSE(Error);
    const Cells Layout = ReferenceLayout(1, -1);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) EXPECT_EQ(Built.Get(x, y), Layout[y][x] == -1 ? 1 : Layout[y][x]) << x << "," << y;
}

TEST(Placement, FirstAndLastBitsOfVersion1) {
    // One-hot data, unmasked: where does bit k land?
    const std::pair<int, std::pair<int, int>> Cases[] = {
        {0, {20, 20}}, {1, {19, 20}}, {2, {20, 19}}, {23, {19, 9}}, {24, {18, 9}}, {25, {17, 9}}, {207, {0, 12}}};
    for (const auto& [k, Cell] : Cases) {
        TBitArray Data(208);
        Data.SetBit(k);
        TByteMatrix M(21, 21);
        TMatrixUtil().PlaceSymbol(Data, LevelL(), 1, 0, M).WriteTo(-1, M);  // mask 0's layout, the data unmasked
        EXPECT_EQ(M.Get(Cell.first, Cell.second), 1) << "bit " << k;
        int Dark = 0;
        const Cells Layout = ReferenceLayout(1, FormatWordsOfL[0]);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 21; ++x) Dark += Layout[y][x] == -1 && M.Get(x, y) == 1;
        EXPECT_EQ(Dark, 1) << "bit " << k;
    }
}

TEST(Placement, SurplusDataIsDroppedAndFlagged) {
    std::mt19937 Rng(5);
    TBitArray Data = RandomBits(208, Rng);
    const TByteMatrix Fitting = Build(Data, 1, 3);
    Data.AppendBit(true);
    bool Error = false;
    const TByteMatrix Longer = Build(Data, 1, 3, &Error);
    EXPECT_TRUE(Error);
    EXPECT_EQ(CellsOf(Longer), CellsOf(Fitting));
}

TEST(Placement, RebuildingGivesTheSameMatrixButKeepsTheFlag) {
    std::mt19937 Rng(6);
    const TBitArray Data = RandomBits(8 * 44, Rng);
    TBitArray TooLong = Data;
    TooLong.AppendBits(0, 8);

    TMatrixUtil Util;
    TByteMatrix M(25, 25);
    Util.BuildMatrix(TooLong, LevelL(), 2, 5, M);
    EXPECT_TRUE(Util.MatrixUtilError());
    Util.BuildMatrix(Data, LevelL(), 2, 5, M);
    EXPECT_TRUE(Util.MatrixUtilError());  // never cleared

    bool Error = true;
    EXPECT_EQ(CellsOf(M), CellsOf(Build(Data, 2, 5, &Error)));
    EXPECT_FALSE(Error);
}

// ---- penalty rules: the cases that decide ----

TByteMatrix Line(const std::string& Cells) { return MatrixFrom({Cells}); }
TByteMatrix Transposed(const std::string& Cells) {
    std::vector<std::string> Lines;
    for (char c : Cells) Lines.push_back(std::string(1, c));
    return MatrixFrom(Lines);
}

TEST(Penalty, RunsScoreFromFiveOn) {
    const std::pair<int, int> Cases[] = {{4, 0}, {5, 3}, {6, 4}, {11, 9}};
    for (const auto& [Length, Score] : Cases)
        for (char c : {'X', '.'}) {
            // Bounded by cells of the other colour, with no other run of two.
            const std::string Run = std::string(c == 'X' ? "X." : ".X") + std::string(static_cast<std::size_t>(Length), c) +
                                    (c == 'X' ? "." : "X");
            EXPECT_EQ(PenaltyRunsInLines(Packed(Line(Run)), true), Score) << Run;
            EXPECT_EQ(PenaltyRunsInLines(Packed(Line(Run)), false), 0) << Run;
            EXPECT_EQ(PenaltyRunsInLines(Packed(Transposed(Run)), false), Score) << Run;
            EXPECT_EQ(PenaltyRuns(Packed(Transposed(Run))), Score) << Run;
        }
    // A run does not continue from one line into the next.
    const TByteMatrix Rows = MatrixFrom({".X.XXX", "XXX.X."});
    EXPECT_EQ(PenaltyRunsInLines(Packed(Rows), true), 0);
    const TByteMatrix Columns = MatrixFrom({".X", "XX", ".X", "X.", "XX", "X."});
    EXPECT_EQ(PenaltyRunsInLines(Packed(Columns), false), 0);
}

TEST(Penalty, AllDarkVersion1Matrix) {
    const TByteMatrix M = MatrixFrom(std::vector<std::string>(21, std::string(21, 'X')));
    EXPECT_EQ(PenaltyRuns(Packed(M)), 798);
    EXPECT_EQ(PenaltyBlocks(Packed(M)), 1200);
    EXPECT_EQ(PenaltyFinderLike(Packed(M)), 0);
    EXPECT_EQ(PenaltyBalance(Packed(M)), 1);
    EXPECT_EQ(MaskPenalty(Packed(M)), 798 + 1200 + 0 + 1);
}

// With a bound, the rules after the one that reaches it are skipped: below the bound the
// penalty is exact, and from it on at least the bound and at most the whole.
TEST(Penalty, BoundCutsTheSumShortOnlyFromTheBoundOn) {
    const TByteMatrix M = MatrixFrom(std::vector<std::string>(21, std::string(21, 'X')));  // 798 + 1200 + 0 + 1
    for (const int Bound : {1, 500, 798, 799, 1998, 1999, 2000, INT_MAX}) {
        const int Penalty = MaskPenalty(Packed(M), Bound);
        if (Bound > 1999) {
            EXPECT_EQ(Penalty, 1999) << Bound;
        } else {
            EXPECT_GE(Penalty, Bound) << Bound;
            EXPECT_LE(Penalty, 1999) << Bound;
        }
    }
    EXPECT_EQ(MaskPenalty(Packed(M), 799), 1998);  // the balance rule is the one skipped
}

TEST(Penalty, OverlappingBlocksCountEach) {
    EXPECT_EQ(PenaltyBlocks(Packed(MatrixFrom({"...", "...", "..."}))), 12);
    EXPECT_EQ(PenaltyBlocks(Packed(MatrixFrom({"X.X", ".X.", "X.X"}))), 0);
    EXPECT_EQ(PenaltyBlocks(Packed(MatrixFrom({"XX.", "XX.", "..X"}))), 3);
}

TEST(Penalty, FinderLikePatternNeedsFourLightCellsInsideTheMatrix) {
    struct Case {
        const char* Cells;
        int Score;
    };
    const Case Cases[] = {
        {"....X.XXX.X", 40},      // light cells before it
        {"X.XXX.X....", 40},      // light cells after it
        {"X.XXX.X...", 0},        // three after, nothing before: outside does not count as light
        {"....X.XXX.X....", 40},  // light on both sides: once
        {"...X.XXX.X...", 0},     // three on each side
        {"....X.XX.X....", 0},    // not the exact pattern
        {"....XX..XXXXXX..XX....", 0},  // a scaled pattern does not count
        {"....X.XXX.X....X.XXX.X", 80},
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(PenaltyFinderLike(Packed(Line(C.Cells))), C.Score) << C.Cells;
        EXPECT_EQ(PenaltyFinderLike(Packed(Transposed(C.Cells))), C.Score) << C.Cells;
    }
}

TEST(Penalty, BalanceIsZeroOrOne) {
    const std::pair<int, int> Cases[] = {{0, 1}, {110, 1}, {111, 0}, {220, 0}, {330, 0}, {331, 1}, {441, 1}};
    for (const auto& [Dark, Score] : Cases) {
        TByteMatrix M(21, 21);
        for (int i = 0; i < Dark; ++i) M.SetBoolean(i % 21, i / 21, true);
        EXPECT_EQ(PenaltyBalance(Packed(M)), Score) << Dark << " dark";
    }
    // Exactly a quarter or three quarters dark is a tie, which goes to the even result 0.
    TByteMatrix Quarter(4, 4);
    for (int i = 0; i < 4; ++i) Quarter.SetBoolean(i, 0, true);
    EXPECT_EQ(PenaltyBalance(Packed(Quarter)), 0);
    Quarter.SetBoolean(0, 0, false);
    EXPECT_EQ(PenaltyBalance(Packed(Quarter)), 1);
}

// ---- penalty rules against a literal implementation ----

int Cell(const TByteMatrix& M, int x, int y) { return M.GetArray()[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]; }

int OracleRuns(const TByteMatrix& M, bool ByRows) {
    const int Lines = ByRows ? M.Height() : M.Width();
    const int Length = ByRows ? M.Width() : M.Height();
    int Score = 0;
    for (int l = 0; l < Lines; ++l) {
        int Value = -1, Run = 0;
        for (int k = 0; k < Length; ++k) {
            const int v = ByRows ? Cell(M, k, l) : Cell(M, l, k);
            if (k > 0 && v == Value) {
                ++Run;
                if (Run == 5) Score += 3;
                if (Run > 5) Score += 1;
            } else {
                Value = v;
                Run = 1;
            }
        }
    }
    return Score;
}

int OracleBlocks(const TByteMatrix& M) {
    int Score = 0;
    for (int y = 0; y + 1 < M.Height(); ++y)
        for (int x = 0; x + 1 < M.Width(); ++x) {
            const int v = Cell(M, x, y);
            if (Cell(M, x + 1, y) == v && Cell(M, x, y + 1) == v && Cell(M, x + 1, y + 1) == v) Score += 3;
        }
    return Score;
}

int OracleFinderLike(const TByteMatrix& M) {
    const int W = M.Width(), H = M.Height();
    const int Pattern[7] = {1, 0, 1, 1, 1, 0, 1};
    int Score = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (x + 6 < W) {
                bool Match = true;
                for (int k = 0; k < 7; ++k) Match = Match && Cell(M, x + k, y) == Pattern[k];
                bool After = x + 10 < W, Before = x - 4 >= 0;
                for (int k = 0; k < 4; ++k) {
                    After = After && Cell(M, x + 7 + k, y) == 0;
                    Before = Before && Cell(M, x - 1 - k, y) == 0;
                }
                if (Match && (After || Before)) Score += 40;
            }
            if (y + 6 < H) {
                bool Match = true;
                for (int k = 0; k < 7; ++k) Match = Match && Cell(M, x, y + k) == Pattern[k];
                bool After = y + 10 < H, Before = y - 4 >= 0;
                for (int k = 0; k < 4; ++k) {
                    After = After && Cell(M, x, y + 7 + k) == 0;
                    Before = Before && Cell(M, x, y - 1 - k) == 0;
                }
                if (Match && (After || Before)) Score += 40;
            }
        }
    return Score;
}

int OracleBalance(const TByteMatrix& M) {
    int Dark = 0;
    for (int y = 0; y < M.Height(); ++y)
        for (int x = 0; x < M.Width(); ++x) Dark += Cell(M, x, y) == 1;
    const double r = std::abs(static_cast<double>(Dark) / (M.Width() * M.Height()) * 100 - 50) / 50;
    const double Whole = std::floor(r);
    const double Fraction = r - Whole;
    if (Fraction > 0.5) return static_cast<int>(Whole) + 1;
    if (Fraction < 0.5) return static_cast<int>(Whole);
    return static_cast<int>(Whole) % 2 == 0 ? static_cast<int>(Whole) : static_cast<int>(Whole) + 1;
}

void ExpectRulesMatchTheOracle(const TByteMatrix& M, const std::string& Name) {
    EXPECT_EQ(PenaltyRunsInLines(Packed(M), true), OracleRuns(M, true)) << Name;
    EXPECT_EQ(PenaltyRunsInLines(Packed(M), false), OracleRuns(M, false)) << Name;
    EXPECT_EQ(PenaltyBlocks(Packed(M)), OracleBlocks(M)) << Name;
    EXPECT_EQ(PenaltyFinderLike(Packed(M)), OracleFinderLike(M)) << Name;
    EXPECT_EQ(PenaltyBalance(Packed(M)), OracleBalance(M)) << Name;
    EXPECT_EQ(MaskPenalty(Packed(M)),
              OracleRuns(M, true) + OracleRuns(M, false) + OracleBlocks(M) + OracleFinderLike(M) + OracleBalance(M))
        << Name;
}

// A random matrix of the given density, with a few finder-like patterns (and their light
// margins) planted along rows and down columns so that rule 3 has something to find.
TByteMatrix RandomMatrix(int W, int H, std::mt19937& Rng) {
    TByteMatrix M(W, H);
    std::bernoulli_distribution Dark(std::uniform_real_distribution<double>(0.05, 0.95)(Rng));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) M.SetBoolean(x, y, Dark(Rng));
    const char* Planted = "0000101110100001";  // drawn from a random offset, so sometimes cut at the ends
    for (int n = 0; n < (W * H) / 60; ++n) {
        const bool Across = Rng() & 1;
        const int Along = Across ? W : H;
        const int Start = static_cast<int>(Rng() % static_cast<unsigned>(Along + 8)) - 8;
        const int Fixed = static_cast<int>(Rng() % static_cast<unsigned>(Across ? H : W));
        const int Skip = static_cast<int>(Rng() % 4);
        for (int k = Skip; Planted[k] != '\0'; ++k) {
            const int p = Start + k;
            if (p < 0 || p >= Along) continue;
            if (Across)
                M.SetBoolean(p, Fixed, Planted[k] == '1');
            else
                M.SetBoolean(Fixed, p, Planted[k] == '1');
        }
    }
    return M;
}

TEST(PenaltyOracle, RandomMatricesOfEverySizeUpTo40) {
    std::mt19937 Rng(20240601);
    for (int n = 0; n < 400; ++n) {
        const int W = 1 + static_cast<int>(Rng() % 40), H = 1 + static_cast<int>(Rng() % 40);
        ExpectRulesMatchTheOracle(RandomMatrix(W, H, Rng), std::to_string(W) + "x" + std::to_string(H) + " #" + std::to_string(n));
        if (HasFailure()) return;
    }
}

// Widths around the 64-cell word boundaries of the packed rows, and the largest symbol side.
TEST(PenaltyOracle, RandomMatricesAcrossWordBoundaries) {
    std::mt19937 Rng(77);
    const int Widths[] = {62, 63, 64, 65, 66, 70, 127, 128, 129, 130, 177};
    for (int W : Widths)
        for (int H : {1, 11, 64, 65}) {
            ExpectRulesMatchTheOracle(RandomMatrix(W, H, Rng), std::to_string(W) + "x" + std::to_string(H));
            ExpectRulesMatchTheOracle(RandomMatrix(H, W, Rng), std::to_string(H) + "x" + std::to_string(W));
        }
    for (int n = 0; n < 5; ++n) ExpectRulesMatchTheOracle(RandomMatrix(177, 177, Rng), "177x177 #" + std::to_string(n));
}

// A finder-like pattern planted at every offset of a row crossing the 64-cell boundary.
TEST(PenaltyOracle, PatternAtEveryOffsetOfAWideRow) {
    for (int Offset = -4; Offset < 130; ++Offset) {
        std::string Row(130, 'X');
        const std::string Pattern = "....X.XXX.X....";
        for (std::size_t k = 0; k < Pattern.size(); ++k) {
            const int p = Offset + static_cast<int>(k);
            if (p >= 0 && p < 130) Row[static_cast<std::size_t>(p)] = Pattern[k];
        }
        ExpectRulesMatchTheOracle(Line(Row), "row, offset " + std::to_string(Offset));
        ExpectRulesMatchTheOracle(Transposed(Row), "column, offset " + std::to_string(Offset));
        if (HasFailure()) return;
    }
}

// ---- mask choice ----

struct Trials {
    std::vector<int> Penalties;
    int Expected;  // the first mask of least penalty
};

Trials PlainMaskChoice(const TBitArray& Data, int Version) {
    Trials T;
    for (int Mask = 0; Mask < 8; ++Mask) {
        const TByteMatrix M = Build(Data, Version, Mask);
        T.Penalties.push_back(MaskPenalty(Packed(M)));
    }
    T.Expected = static_cast<int>(std::min_element(T.Penalties.begin(), T.Penalties.end()) - T.Penalties.begin());
    return T;
}

TEST(MaskChoice, EqualsEightFullBuildsForEveryVersion) {
    std::mt19937 Rng(40);
    for (int v = 1; v <= 40; ++v) {
        const TBitArray Data = RandomBits(8 * TotalCodewords(v), Rng);
        const Trials T = PlainMaskChoice(Data, v);
        // The real symbols are scored as the literal rules score them.
        ExpectRulesMatchTheOracle(Build(Data, v, T.Expected), "version " + std::to_string(v));

        const int D = 17 + 4 * v;
        TByteMatrix M(D, D);
        const TPlacedSymbol Symbol = TMatrixUtil().PlaceSymbol(Data, LevelL(), v, 0, M);
        EXPECT_EQ(SelectMask(Symbol), T.Expected) << "version " << v;
        // Mask 0's layout with another mask written in is the full build with that mask.
        Symbol.WriteTo(T.Expected, M);
        EXPECT_EQ(Differences(CellsOf(M), CellsOf(Build(Data, v, T.Expected))), "") << "version " << v;
    }
}

TEST(MaskChoice, TiesKeepTheLowerMask) {
    std::mt19937 Rng(8);
    int Ties = 0;
    for (int Trial = 0; Trial < 5000 && Ties < 3; ++Trial) {
        const int Version = 1 + Trial % 3;
        const TBitArray Data = RandomBits(8 * TotalCodewords(Version), Rng);
        const Trials T = PlainMaskChoice(Data, Version);
        if (std::count(T.Penalties.begin(), T.Penalties.end(), T.Penalties[T.Expected]) < 2) continue;
        ++Ties;
        TByteMatrix M(17 + 4 * Version, 17 + 4 * Version);
        EXPECT_EQ(SelectMask(TMatrixUtil().PlaceSymbol(Data, LevelL(), Version, 0, M)), T.Expected) << "trial " << Trial;
    }
    EXPECT_EQ(Ties, 3) << "too few ties found to check";
}

}  // namespace
