#include "version.h"

namespace qr {

namespace {

// Error correction characteristics of each version (index Version - 1), per level L, M, Q, H:
// error-correction codewords per block and number of blocks. The blocks of a layout split the
// version's total codewords as evenly as possible, the shorter blocks first.
struct LevelLayout {
    std::uint8_t ECPerBlock;
    std::uint8_t Blocks;
};

struct VersionRow {
    std::uint16_t TotalCodewords;
    LevelLayout Levels[4];
};

constexpr VersionRow VersionTable[40] = {
    {26, {{7, 1}, {10, 1}, {13, 1}, {17, 1}}},
    {44, {{10, 1}, {16, 1}, {22, 1}, {28, 1}}},
    {70, {{15, 1}, {26, 1}, {18, 2}, {22, 2}}},
    {100, {{20, 1}, {18, 2}, {26, 2}, {16, 4}}},
    {134, {{26, 1}, {24, 2}, {18, 4}, {22, 4}}},
    {172, {{18, 2}, {16, 4}, {24, 4}, {28, 4}}},
    {196, {{20, 2}, {18, 4}, {18, 6}, {26, 5}}},
    {242, {{24, 2}, {22, 4}, {22, 6}, {26, 6}}},
    {292, {{30, 2}, {22, 5}, {20, 8}, {24, 8}}},
    {346, {{18, 4}, {26, 5}, {24, 8}, {28, 8}}},
    {404, {{20, 4}, {30, 5}, {28, 8}, {24, 11}}},
    {466, {{24, 4}, {22, 8}, {26, 10}, {28, 11}}},
    {532, {{26, 4}, {22, 9}, {24, 12}, {22, 16}}},
    {581, {{30, 4}, {24, 9}, {20, 16}, {24, 16}}},
    {655, {{22, 6}, {24, 10}, {30, 12}, {24, 18}}},
    {733, {{24, 6}, {28, 10}, {24, 17}, {30, 16}}},
    {815, {{28, 6}, {28, 11}, {28, 16}, {28, 19}}},
    {901, {{30, 6}, {26, 13}, {28, 18}, {28, 21}}},
    {991, {{28, 7}, {26, 14}, {26, 21}, {26, 25}}},
    {1085, {{28, 8}, {26, 16}, {30, 20}, {28, 25}}},
    {1156, {{28, 8}, {26, 17}, {28, 23}, {30, 25}}},
    {1258, {{28, 9}, {28, 17}, {30, 23}, {24, 34}}},
    {1364, {{30, 9}, {28, 18}, {30, 25}, {30, 30}}},
    {1474, {{30, 10}, {28, 20}, {30, 27}, {30, 32}}},
    {1588, {{26, 12}, {28, 21}, {30, 29}, {30, 35}}},
    {1706, {{28, 12}, {28, 23}, {28, 34}, {30, 37}}},
    {1828, {{30, 12}, {28, 25}, {30, 34}, {30, 40}}},
    {1921, {{30, 13}, {28, 26}, {30, 35}, {30, 42}}},
    {2051, {{30, 14}, {28, 28}, {30, 38}, {30, 45}}},
    {2185, {{30, 15}, {28, 29}, {30, 40}, {30, 48}}},
    {2323, {{30, 16}, {28, 31}, {30, 43}, {30, 51}}},
    {2465, {{30, 17}, {28, 33}, {30, 45}, {30, 54}}},
    {2611, {{30, 18}, {28, 35}, {30, 48}, {30, 57}}},
    {2761, {{30, 19}, {28, 37}, {30, 51}, {30, 60}}},
    {2876, {{30, 19}, {28, 38}, {30, 53}, {30, 63}}},
    {3034, {{30, 20}, {28, 40}, {30, 56}, {30, 66}}},
    {3196, {{30, 21}, {28, 43}, {30, 59}, {30, 70}}},
    {3362, {{30, 22}, {28, 45}, {30, 62}, {30, 74}}},
    {3532, {{30, 24}, {28, 47}, {30, 65}, {30, 77}}},
    {3706, {{30, 25}, {28, 49}, {30, 68}, {30, 81}}},
};

TECBlocks MakeLayout(int TotalCodewords, LevelLayout Layout) {
    const int b = Layout.Blocks;
    const int e = Layout.ECPerBlock;
    const int Longer = TotalCodewords % b;
    const TECB Shorter(b - Longer, TotalCodewords / b - e);
    if (Longer == 0) return TECBlocks(e, Shorter);
    return TECBlocks(e, Shorter, TECB(Longer, TotalCodewords / b - e + 1));
}

}  // namespace

const std::array<std::array<std::int16_t, 7>, 40> AlignmentCentres = {{
    {-1, -1, -1, -1, -1, -1, -1},
    {6, 18, -1, -1, -1, -1, -1},
    {6, 22, -1, -1, -1, -1, -1},
    {6, 26, -1, -1, -1, -1, -1},
    {6, 30, -1, -1, -1, -1, -1},
    {6, 34, -1, -1, -1, -1, -1},
    {6, 22, 38, -1, -1, -1, -1},
    {6, 24, 42, -1, -1, -1, -1},
    {6, 26, 46, -1, -1, -1, -1},
    {6, 28, 50, -1, -1, -1, -1},
    {6, 30, 54, -1, -1, -1, -1},
    {6, 32, 58, -1, -1, -1, -1},
    {6, 34, 62, -1, -1, -1, -1},
    {6, 26, 46, 66, -1, -1, -1},
    {6, 26, 48, 70, -1, -1, -1},
    {6, 26, 50, 74, -1, -1, -1},
    {6, 30, 54, 78, -1, -1, -1},
    {6, 30, 56, 82, -1, -1, -1},
    {6, 30, 58, 86, -1, -1, -1},
    {6, 34, 62, 90, -1, -1, -1},
    {6, 28, 50, 72, 94, -1, -1},
    {6, 26, 50, 74, 98, -1, -1},
    {6, 30, 54, 78, 102, -1, -1},
    {6, 28, 54, 80, 106, -1, -1},
    {6, 32, 58, 84, 110, -1, -1},
    {6, 30, 58, 86, 114, -1, -1},
    {6, 34, 62, 90, 118, -1, -1},
    {6, 26, 50, 74, 98, 122, -1},
    {6, 30, 54, 78, 102, 126, -1},
    {6, 26, 52, 78, 104, 130, -1},
    {6, 30, 56, 82, 108, 134, -1},
    {6, 34, 60, 86, 112, 138, -1},
    {6, 30, 58, 86, 114, 142, -1},
    {6, 34, 62, 90, 118, 146, -1},
    {6, 30, 54, 78, 102, 126, 150},
    {6, 24, 50, 76, 102, 128, 154},
    {6, 28, 54, 80, 106, 132, 158},
    {6, 32, 58, 84, 110, 136, 162},
    {6, 26, 54, 82, 110, 138, 166},
    {6, 30, 58, 86, 114, 142, 170},
}};

TECBlocks::TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks)
    : ECCodewordsPerBlock(ECCodewordsPerBlock), ECBlocks{ECBlocks} {}

TECBlocks::TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks1, TECB ECBlocks2)
    : ECCodewordsPerBlock(ECCodewordsPerBlock), ECBlocks{ECBlocks1, ECBlocks2} {}

int TECBlocks::GetNumBlocks() const {
    int Total = 0;
    for (const TECB& Group : ECBlocks) Total += Group.GetCount();
    return Total;
}

TVersion::TVersion(int VersionNumber, std::initializer_list<int> AlignmentPatternCenters, TECBlocks ECBlocks1,
                   TECBlocks ECBlocks2, TECBlocks ECBlocks3, TECBlocks ECBlocks4)
    : VersionNumber(VersionNumber),
      AlignmentPatternCenters(AlignmentPatternCenters),
      ECBlocks{std::move(ECBlocks1), std::move(ECBlocks2), std::move(ECBlocks3), std::move(ECBlocks4)},
      TotalCodewords(0),
      ECCodewords(ECBlocks[0].GetECCodewordsPerBlock()) {
    // The total from the level-L layout alone; every layout adds up to the same.
    for (const TECB& Group : ECBlocks[0].GetECBlocks())
        TotalCodewords += Group.GetCount() * (Group.GetDataCodewords() + ECCodewords);
}

std::unique_ptr<TVersion> TVersion::GetVersionForNumber(int VersionNum) {
    if (VersionNum < 1 || VersionNum > 40) return nullptr;
    const VersionRow& Row = VersionTable[VersionNum - 1];
    const auto& Centres = AlignmentCentres[static_cast<std::size_t>(VersionNum - 1)];
    auto Version = std::make_unique<TVersion>(
        VersionNum, std::initializer_list<int>{}, MakeLayout(Row.TotalCodewords, Row.Levels[0]), MakeLayout(Row.TotalCodewords, Row.Levels[1]),
        MakeLayout(Row.TotalCodewords, Row.Levels[2]), MakeLayout(Row.TotalCodewords, Row.Levels[3]));
    for (const std::int16_t c : Centres)
        if (c >= 0) Version->AlignmentPatternCenters.push_back(c);
    return Version;
}

std::unique_ptr<TVersion> TVersion::ChooseVersion(int NumInputBits, const TErrorCorrectionLevel& ecLevel) {
    return GetVersionForNumber(ChooseVersionNumber(NumInputBits, ecLevel));
}

int TVersion::ChooseVersionNumber(int NumInputBits, const TErrorCorrectionLevel& ecLevel) {
    const int Needed = (NumInputBits + 7) / 8;
    for (int v = 1; v <= 40; ++v)
        if (DataCodewords(v, ecLevel) >= Needed) return v;
    return 0;
}

int TVersion::DataCodewords(int VersionNum, const TErrorCorrectionLevel& ecLevel) {
    if (VersionNum < 1 || VersionNum > 40) return 0;
    const VersionRow& Row = VersionTable[VersionNum - 1];
    const LevelLayout& Layout = Row.Levels[ecLevel.Ordinal()];
    return Row.TotalCodewords - Layout.ECPerBlock * Layout.Blocks;
}

int TVersion::TotalCodewordsOf(int VersionNum) {
    return VersionNum < 1 || VersionNum > 40 ? 0 : VersionTable[VersionNum - 1].TotalCodewords;
}

int TVersion::NumBlocksOf(int VersionNum, const TErrorCorrectionLevel& ecLevel) {
    return VersionNum < 1 || VersionNum > 40 ? 0 : VersionTable[VersionNum - 1].Levels[ecLevel.Ordinal()].Blocks;
}

}  // namespace qr
