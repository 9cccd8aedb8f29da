// The version table: block layouts, capacities, alignment centres and the version choice.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/version.h"

using namespace qr;

namespace {

// One level's layout as "ec: count x data [+ count x data]".
std::string Layout(const TECBlocks& L) {
    std::string s = std::to_string(L.GetECCodewordsPerBlock()) + ":";
    for (std::size_t i = 0; i < L.GetECBlocks().size(); ++i) {
        const TECB& G = L.GetECBlocks()[i];
        s += (i ? " + " : " ") + std::to_string(G.GetCount()) + "x" + std::to_string(G.GetDataCodewords());
    }
    return s;
}

const TErrorCorrectionLevel Levels[4] = {LevelL(), LevelM(), LevelQ(), LevelH()};

int DataCodewords(const TVersion& V, int Level) {
    return V.GetTotalCodewords() - V.GetECBlocksForLevel(Levels[Level]).GetTotalECCodewords();
}

std::vector<int> Centres(const TVersion& V) {
    return {V.GetAlignmentPatternCenters().begin(), V.GetAlignmentPatternCenters().end()};
}

struct Row {
    int Version;
    int Side;
    std::vector<int> Centres;
    int Total;
    const char* Levels[4];  // L, M, Q, H
};

class TellingRow : public ::testing::TestWithParam<Row> {};

TEST_P(TellingRow, MatchesTheStandard) {
    const Row& R = GetParam();
    const auto V = TVersion::GetVersionForNumber(R.Version);
    ASSERT_NE(V, nullptr);
    EXPECT_EQ(V->GetVersionNumber(), R.Version);
    EXPECT_EQ(V->GetDimensionForVersion(), R.Side);
    EXPECT_EQ(Centres(*V), R.Centres);
    EXPECT_EQ(V->GetTotalCodewords(), R.Total);
    for (int Level = 0; Level < 4; ++Level) EXPECT_EQ(Layout(V->GetECBlocksForLevel(Levels[Level])), R.Levels[Level]) << Level;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TellingRow,
    ::testing::Values(
        Row{1, 21, {}, 26, {"7: 1x19", "10: 1x16", "13: 1x13", "17: 1x9"}},
        Row{5, 37, {6, 30}, 134, {"26: 1x108", "24: 2x43", "18: 2x15 + 2x16", "22: 2x11 + 2x12"}},
        Row{7, 45, {6, 22, 38}, 196, {"20: 2x78", "18: 4x31", "18: 2x14 + 4x15", "26: 4x13 + 1x14"}},
        Row{20, 97, {6, 34, 62, 90}, 1085, {"28: 3x107 + 5x108", "26: 3x41 + 13x42", "30: 15x24 + 5x25", "28: 15x15 + 10x16"}},
        Row{21, 101, {6, 28, 50, 72, 94}, 1156, {"28: 4x116 + 4x117", "26: 17x42", "28: 17x22 + 6x23", "30: 19x16 + 6x17"}},
        Row{40, 177, {6, 30, 58, 86, 114, 142, 170}, 3706,
            {"30: 19x118 + 6x119", "28: 18x47 + 31x48", "30: 34x24 + 34x25", "30: 20x15 + 61x16"}}));

TEST(VersionTable, NumbersOutsideOneToFortyGiveNoVersion) {
    EXPECT_EQ(TVersion::GetVersionForNumber(0), nullptr);
    EXPECT_EQ(TVersion::GetVersionForNumber(41), nullptr);
    EXPECT_EQ(TVersion::GetVersionForNumber(-1), nullptr);
}

TEST(VersionTable, Version5AtLevelQ) {
    const auto V = TVersion::GetVersionForNumber(5);
    const TECBlocks& Q = V->GetECBlocksForLevel(LevelQ());
    EXPECT_EQ(Q.GetNumBlocks(), 4);
    EXPECT_EQ(Q.GetTotalECCodewords(), 72);
}

// A level's layout is the one its format bits name: L 01, M 00, Q 11, H 10.
TEST(VersionTable, EachLevelFindsItsLayout) {
    const struct {
        TErrorCorrectionLevel Level;
        int Bits, Ordinal;
        const char* Layout;  // at version 7
    } Named[] = {{LevelL(), 1, 0, "20: 2x78"}, {LevelM(), 0, 1, "18: 4x31"}, {LevelQ(), 3, 2, "18: 2x14 + 4x15"},
                 {LevelH(), 2, 3, "26: 4x13 + 1x14"}};
    const auto V = TVersion::GetVersionForNumber(7);
    for (const auto& L : Named) {
        EXPECT_EQ(L.Level.Bits(), L.Bits);
        EXPECT_EQ(L.Level.Ordinal(), L.Ordinal);
        EXPECT_EQ(Layout(V->GetECBlocksForLevel(L.Level)), L.Layout);
        TErrorCorrectionLevel Copy;
        Copy.Assign(L.Level);
        EXPECT_EQ(Copy.Ordinal(), L.Ordinal);
    }
    // At version 40 the levels keep 2956, 2334, 1666 and 1276 data codewords.
    const auto Largest = TVersion::GetVersionForNumber(40);
    const int Data[4] = {2956, 2334, 1666, 1276};
    for (int i = 0; i < 4; ++i) {
        const TECBlocks& B = Largest->GetECBlocksForLevel(Levels[i]);
        EXPECT_EQ(Largest->GetTotalCodewords() - B.GetTotalECCodewords(), Data[i]) << i;
        EXPECT_EQ(Largest->GetDataCodewords(Levels[i]), Data[i]) << i;
    }
    // The version choice follows the level: 34 codewords fit version 2 at L, version 3 at M.
    EXPECT_EQ(TVersion::ChooseVersion(8 * 34, LevelL())->GetVersionNumber(), 2);
    EXPECT_EQ(TVersion::ChooseVersion(8 * 34, LevelM())->GetVersionNumber(), 3);
    EXPECT_EQ(TVersion::ChooseVersion(8 * 1276, LevelH())->GetVersionNumber(), 40);
    EXPECT_EQ(TVersion::ChooseVersion(8 * 1276 + 1, LevelH()), nullptr);
}

// Data codewords at level L, versions 1 to 40 (the standard's capacity table).
const int LevelLCapacity[40] = {19,   34,   55,   80,   108,  136,  156,  194,  232,  274,  324,  370,  428,  461,
                                523,  589,  647,  721,  795,  861,  932,  1006, 1094, 1174, 1276, 1370, 1468, 1531,
                                1631, 1735, 1843, 1955, 2071, 2191, 2306, 2434, 2566, 2702, 2812, 2956};

// And at levels M, Q and H.
const int OtherCapacities[3][40] = {
    {16,   28,   44,   64,   86,   108,  124,  154,  182,  216,  254,  290,  334,  365,  415,  453,  507,  563,  627,  669,
     714,  782,  860,  914,  1000, 1062, 1128, 1193, 1267, 1373, 1455, 1541, 1631, 1725, 1812, 1914, 1992, 2102, 2216, 2334},
    {13,  22,  34,  48,  62,  76,  88,  110, 132, 154, 180, 206,  244,  261,  295,  325,  367,  397,  445,  485,
     512, 568, 614, 664, 718, 754, 808, 871, 911, 985, 1033, 1115, 1171, 1231, 1286, 1354, 1426, 1502, 1582, 1666},
    {9,   16,  26,  36,  46,  60,  66,  86,  100, 122, 140, 158, 180, 197, 223, 253, 283, 313, 341,  385,
     406, 442, 464, 514, 538, 596, 628, 661, 701, 745, 793, 845, 901, 961, 986, 1054, 1096, 1142, 1222, 1276},
};

TEST(VersionTable, EveryLayoutAddsUpToTheTotalAndCapacitiesFollowTheStandard) {
    for (int v = 1; v <= 40; ++v) {
        const auto V = TVersion::GetVersionForNumber(v);
        ASSERT_NE(V, nullptr) << v;
        EXPECT_EQ(DataCodewords(*V, 0), LevelLCapacity[v - 1]) << "version " << v;
        for (int Level = 1; Level < 4; ++Level) {
            EXPECT_EQ(DataCodewords(*V, Level), OtherCapacities[Level - 1][v - 1]) << "version " << v << " level " << Level;
        }
        for (int Level = 0; Level < 4; ++Level) {
            const TECBlocks& L = V->GetECBlocksForLevel(Levels[Level]);
            int Data = 0;
            for (const TECB& G : L.GetECBlocks()) Data += G.GetCount() * G.GetDataCodewords();
            EXPECT_EQ(Data + L.GetTotalECCodewords(), V->GetTotalCodewords()) << "version " << v << " level " << Level;
            // The group split: shorter blocks first, the longer ones one data codeword more.
            const auto& Groups = L.GetECBlocks();
            ASSERT_GE(Groups.size(), 1u);
            ASSERT_LE(Groups.size(), 2u);
            if (Groups.size() == 2) {
                EXPECT_EQ(Groups[1].GetDataCodewords(), Groups[0].GetDataCodewords() + 1);
            }
            // Stronger levels keep fewer data codewords.
            if (Level > 0) {
                EXPECT_LT(DataCodewords(*V, Level), DataCodewords(*V, Level - 1)) << v << " " << Level;
            }
        }
        if (v > 1) {
            const auto Previous = TVersion::GetVersionForNumber(v - 1);
            for (int Level = 0; Level < 4; ++Level)
                EXPECT_GT(DataCodewords(*V, Level), DataCodewords(*Previous, Level)) << v << " " << Level;
        }
    }
}

// Alignment-pattern centres by the standard's construction: V / 7 + 2 coordinates from 6 to
// side - 7, the gaps between them all equal and even (span / gaps rounded up to an even number),
// the first gap taking what is left. Version 32 is the one row of the standard's table that
// uses a narrower spacing (26) than this rounding gives.
std::vector<int> ConstructedCentres(int Version) {
    if (Version == 1) return {};
    const int Count = Version / 7 + 2;
    const int Last = 17 + 4 * Version - 7;
    const int Span = Last - 6;
    int Step = (Span + (Count - 1) - 1) / (Count - 1);
    Step += Step % 2;
    if (Version == 32) Step = 26;
    std::vector<int> Centres(static_cast<std::size_t>(Count));
    Centres[0] = 6;
    for (int i = 1; i < Count; ++i) Centres[static_cast<std::size_t>(i)] = Last - (Count - 1 - i) * Step;
    return Centres;
}

TEST(VersionTable, AlignmentCentresFollowTheConstructionRule) {
    EXPECT_EQ(ConstructedCentres(32), (std::vector<int>{6, 34, 60, 86, 112, 138}));
    for (int v = 1; v <= 40; ++v) {
        const std::vector<int> Expected = ConstructedCentres(v);
        EXPECT_EQ(Centres(*TVersion::GetVersionForNumber(v)), Expected) << "version " << v;
    }
}

// Modules left for data and error correction once the function patterns are drawn, counted
// from the symbol's geometry: three finders with separators (8 x 8 each), two timing lines,
// the dark module and two copies of the format information, the alignment patterns (less the
// cells they share with the timing lines) and, from version 7, two version blocks of 18.
int DataModules(int Version) {
    const int D = 17 + 4 * Version;
    int Modules = D * D - 3 * 64 - 2 * (D - 16) - 1 - 30;
    const int n = static_cast<int>(ConstructedCentres(Version).size());
    if (n > 0) Modules -= 25 * (n * n - 3) - 2 * 5 * (n - 2);
    if (Version >= 7) Modules -= 36;
    return Modules;
}

TEST(VersionTable, TotalCodewordsFillTheDataModules) {
    EXPECT_EQ(DataModules(1), 208);
    EXPECT_EQ(DataModules(2), 359);
    // Remainder bits of the standard, versions 1 to 40.
    const int Remainder[40] = {0, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 3, 3, 3,
                               4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 0, 0, 0, 0, 0, 0};
    for (int v = 1; v <= 40; ++v) {
        const int Modules = DataModules(v);
        EXPECT_EQ(TVersion::GetVersionForNumber(v)->GetTotalCodewords(), Modules / 8) << "version " << v;
        EXPECT_EQ(Modules % 8, Remainder[v - 1]) << "version " << v;
    }
}

TEST(VersionChoice, SmallestVersionThatHoldsTheBits) {
    const TErrorCorrectionLevel L = LevelL();
    const std::pair<int, int> Cases[] = {{0, 1}, {1, 1}, {152, 1}, {153, 2}, {272, 2}, {273, 3}, {23648, 40}};
    for (const auto& [Bits, Version] : Cases) {
        const auto V = TVersion::ChooseVersion(Bits, L);
        ASSERT_NE(V, nullptr) << Bits;
        EXPECT_EQ(V->GetVersionNumber(), Version) << Bits << " bits";
    }
    EXPECT_EQ(TVersion::ChooseVersion(23649, L), nullptr);
    // Every capacity edge: exactly full picks the version, one bit more the next.
    for (int v = 1; v < 40; ++v) {
        EXPECT_EQ(TVersion::ChooseVersion(8 * LevelLCapacity[v - 1], L)->GetVersionNumber(), v);
        EXPECT_EQ(TVersion::ChooseVersion(8 * LevelLCapacity[v - 1] + 1, L)->GetVersionNumber(), v + 1);
    }
}

}  // namespace
