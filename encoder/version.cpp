#include "version.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace qr {

namespace {

// Per level: error-correction codewords per block and number of blocks.
struct TLevelLayout {
    int ECPerBlock;
    int Blocks;
};

// One version: its total codewords (ISO/IEC 18004:2015 Table 1), its alignment-pattern centre
// coordinates (Annex E, Table E.1) and its block layouts at L, M, Q and H (Table 9).
struct TVersionRow {
    int TotalCodewords;
    std::array<int, 7> Centres;  // zero past the last: no centre lies on coordinate 0
    std::array<TLevelLayout, 4> Levels;
};

constexpr TVersionRow VersionTable[40] = {
    {26, {}, {{{7, 1}, {10, 1}, {13, 1}, {17, 1}}}},
    {44, {6, 18}, {{{10, 1}, {16, 1}, {22, 1}, {28, 1}}}},
    {70, {6, 22}, {{{15, 1}, {26, 1}, {18, 2}, {22, 2}}}},
    {100, {6, 26}, {{{20, 1}, {18, 2}, {26, 2}, {16, 4}}}},
    {134, {6, 30}, {{{26, 1}, {24, 2}, {18, 4}, {22, 4}}}},
    {172, {6, 34}, {{{18, 2}, {16, 4}, {24, 4}, {28, 4}}}},
    {196, {6, 22, 38}, {{{20, 2}, {18, 4}, {18, 6}, {26, 5}}}},
    {242, {6, 24, 42}, {{{24, 2}, {22, 4}, {22, 6}, {26, 6}}}},
    {292, {6, 26, 46}, {{{30, 2}, {22, 5}, {20, 8}, {24, 8}}}},
    {346, {6, 28, 50}, {{{18, 4}, {26, 5}, {24, 8}, {28, 8}}}},
    {404, {6, 30, 54}, {{{20, 4}, {30, 5}, {28, 8}, {24, 11}}}},
    {466, {6, 32, 58}, {{{24, 4}, {22, 8}, {26, 10}, {28, 11}}}},
    {532, {6, 34, 62}, {{{26, 4}, {22, 9}, {24, 12}, {22, 16}}}},
    {581, {6, 26, 46, 66}, {{{30, 4}, {24, 9}, {20, 16}, {24, 16}}}},
    {655, {6, 26, 48, 70}, {{{22, 6}, {24, 10}, {30, 12}, {24, 18}}}},
    {733, {6, 26, 50, 74}, {{{24, 6}, {28, 10}, {24, 17}, {30, 16}}}},
    {815, {6, 30, 54, 78}, {{{28, 6}, {28, 11}, {28, 16}, {28, 19}}}},
    {901, {6, 30, 56, 82}, {{{30, 6}, {26, 13}, {28, 18}, {28, 21}}}},
    {991, {6, 30, 58, 86}, {{{28, 7}, {26, 14}, {26, 21}, {26, 25}}}},
    {1085, {6, 34, 62, 90}, {{{28, 8}, {26, 16}, {30, 20}, {28, 25}}}},
    {1156, {6, 28, 50, 72, 94}, {{{28, 8}, {26, 17}, {28, 23}, {30, 25}}}},
    {1258, {6, 26, 50, 74, 98}, {{{28, 9}, {28, 17}, {30, 23}, {24, 34}}}},
    {1364, {6, 30, 54, 78, 102}, {{{30, 9}, {28, 18}, {30, 25}, {30, 30}}}},
    {1474, {6, 28, 54, 80, 106}, {{{30, 10}, {28, 20}, {30, 27}, {30, 32}}}},
    {1588, {6, 32, 58, 84, 110}, {{{26, 12}, {28, 21}, {30, 29}, {30, 35}}}},
    {1706, {6, 30, 58, 86, 114}, {{{28, 12}, {28, 23}, {28, 34}, {30, 37}}}},
    {1828, {6, 34, 62, 90, 118}, {{{30, 12}, {28, 25}, {30, 34}, {30, 40}}}},
    {1921, {6, 26, 50, 74, 98, 122}, {{{30, 13}, {28, 26}, {30, 35}, {30, 42}}}},
    {2051, {6, 30, 54, 78, 102, 126}, {{{30, 14}, {28, 28}, {30, 38}, {30, 45}}}},
    {2185, {6, 26, 52, 78, 104, 130}, {{{30, 15}, {28, 29}, {30, 40}, {30, 48}}}},
    {2323, {6, 30, 56, 82, 108, 134}, {{{30, 16}, {28, 31}, {30, 43}, {30, 51}}}},
    {2465, {6, 34, 60, 86, 112, 138}, {{{30, 17}, {28, 33}, {30, 45}, {30, 54}}}},
    {2611, {6, 30, 58, 86, 114, 142}, {{{30, 18}, {28, 35}, {30, 48}, {30, 57}}}},
    {2761, {6, 34, 62, 90, 118, 146}, {{{30, 19}, {28, 37}, {30, 51}, {30, 60}}}},
    {2876, {6, 30, 54, 78, 102, 126, 150}, {{{30, 19}, {28, 38}, {30, 53}, {30, 63}}}},
    {3034, {6, 24, 50, 76, 102, 128, 154}, {{{30, 20}, {28, 40}, {30, 56}, {30, 66}}}},
    {3196, {6, 28, 54, 80, 106, 132, 158}, {{{30, 21}, {28, 43}, {30, 59}, {30, 70}}}},
    {3362, {6, 32, 58, 84, 110, 136, 162}, {{{30, 22}, {28, 45}, {30, 62}, {30, 74}}}},
    {3532, {6, 26, 54, 82, 110, 138, 166}, {{{30, 24}, {28, 47}, {30, 65}, {30, 77}}}},
    {3706, {6, 30, 58, 86, 114, 142, 170}, {{{30, 25}, {28, 49}, {30, 68}, {30, 81}}}},
};

// Table 9 splits a layout's codewords as evenly as its blocks allow: the first group holds
// b - (T mod b) blocks of T / b - e data codewords, and a second group, when T mod b is not 0,
// the other T mod b blocks with one data codeword more.
constexpr TECBlocks MakeLayout(int TotalCodewords, TLevelLayout Layout) {
    const int b = Layout.Blocks;
    const int e = Layout.ECPerBlock;
    const int Longer = TotalCodewords % b;
    const TECB Shorter(b - Longer, TotalCodewords / b - e);
    if (Longer == 0) return TECBlocks(e, Shorter);
    return TECBlocks(e, Shorter, TECB(Longer, TotalCodewords / b - e + 1));
}

constexpr TVersion MakeVersion(int VersionNumber) {
    const TVersionRow& Row = VersionTable[VersionNumber - 1];
    std::size_t Centres = 0;
    while (Centres < Row.Centres.size() && Row.Centres[Centres] != 0) ++Centres;
    auto Layout = [&](std::size_t Level) { return MakeLayout(Row.TotalCodewords, Row.Levels[Level]); };
    return TVersion(VersionNumber, std::span(Row.Centres.data(), Centres), Layout(0), Layout(1), Layout(2), Layout(3));
}

template <std::size_t... Index>
constexpr std::array<TVersion, sizeof...(Index)> MakeVersions(std::index_sequence<Index...>) {
    return {MakeVersion(static_cast<int>(Index) + 1)...};
}

constexpr std::array<TVersion, 40> Versions = MakeVersions(std::make_index_sequence<40>());

// Every layout holds the version's codewords, data and error correction together.
static_assert([] {
    const TErrorCorrectionLevel Levels[] = {LevelL(), LevelM(), LevelQ(), LevelH()};
    for (const TVersion& V : Versions)
        for (const TErrorCorrectionLevel& Level : Levels) {
            int Data = 0;
            for (const TECB& Group : V.GetECBlocksForLevel(Level).GetECBlocks())
                Data += Group.GetCount() * Group.GetDataCodewords();
            if (Data != V.GetDataCodewords(Level)) return false;
        }
    return true;
}());

}  // namespace

const TVersion* TVersion::GetVersionForNumber(int VersionNum) {
    return VersionNum >= 1 && VersionNum <= 40 ? &Versions[static_cast<std::size_t>(VersionNum - 1)] : nullptr;
}

const TVersion* TVersion::ChooseVersion(int NumInputBits, const TErrorCorrectionLevel& ecLevel, int MinVersion) {
    const int Needed = (NumInputBits + 7) / 8;
    for (std::size_t i = static_cast<std::size_t>(std::max(MinVersion, 1) - 1); i < Versions.size(); ++i)
        if (Versions[i].GetDataCodewords(ecLevel) >= Needed) return &Versions[i];
    return nullptr;
}

}  // namespace qr
