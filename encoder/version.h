#pragma once
// Error-correction levels and the version table of QR Code model 2, versions 1 to 40.

#include <array>
#include <cstddef>
#include <span>

namespace qr {

// An error-correction level by its two format-information bits (ISO/IEC 18004:2015 7.9.1):
// L 01, M 00, Q 11, H 10.
class TErrorCorrectionLevel {
public:
    TErrorCorrectionLevel() = default;
    constexpr explicit TErrorCorrectionLevel(int Bits) : FBits(Bits) {}
    void Assign(const TErrorCorrectionLevel& Source) { FBits = Source.FBits; }
    // Position of the level's layout in a version's ECBlocks (L, M, Q, H). Only the two low bits count.
    constexpr int Ordinal() const { return (FBits & 3) ^ 1; }
    constexpr int Bits() const { return FBits; }

private:
    int FBits = 0;
};

// The four levels. The window uses L.
constexpr TErrorCorrectionLevel LevelL() { return TErrorCorrectionLevel(1); }
constexpr TErrorCorrectionLevel LevelM() { return TErrorCorrectionLevel(0); }
constexpr TErrorCorrectionLevel LevelQ() { return TErrorCorrectionLevel(3); }
constexpr TErrorCorrectionLevel LevelH() { return TErrorCorrectionLevel(2); }

// A group of equal error-correction blocks: how many, and the data codewords of each.
class TECB {
public:
    constexpr TECB(int Count, int DataCodewords) : Count(Count), DataCodewords(DataCodewords) {}
    constexpr int GetCount() const { return Count; }
    constexpr int GetDataCodewords() const { return DataCodewords; }

private:
    int Count;
    int DataCodewords;
};

using TECBArray = std::span<const TECB>;

// The blocks of one version at one level: one or two groups, the shorter blocks first, every
// block with the same number of error-correction codewords.
class TECBlocks {
public:
    constexpr TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks)
        : ECCodewordsPerBlock(ECCodewordsPerBlock), Groups{ECBlocks, TECB(0, 0)}, GroupCount(1) {}
    constexpr TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks1, TECB ECBlocks2)
        : ECCodewordsPerBlock(ECCodewordsPerBlock), Groups{ECBlocks1, ECBlocks2}, GroupCount(2) {}

    constexpr TECBArray GetECBlocks() const { return TECBArray(Groups.data(), GroupCount); }
    constexpr int GetECCodewordsPerBlock() const { return ECCodewordsPerBlock; }
    constexpr int GetNumBlocks() const {
        int Total = 0;
        for (const TECB& Group : GetECBlocks()) Total += Group.GetCount();
        return Total;
    }
    constexpr int GetTotalECCodewords() const { return ECCodewordsPerBlock * GetNumBlocks(); }

private:
    int ECCodewordsPerBlock;
    std::array<TECB, 2> Groups;
    std::size_t GroupCount;
};

// One version's record, read from the one version table. Records are made at compile time and
// live as long as the program: whoever looks one up keeps a pointer and frees nothing.
class TVersion {
public:
    // The record of that version, or none outside 1 to 40.
    static const TVersion* GetVersionForNumber(int VersionNum);
    // The smallest version from MinVersion on whose data codewords at ecLevel hold
    // (NumInputBits + 7) / 8, or none.
    static const TVersion* ChooseVersion(int NumInputBits, const TErrorCorrectionLevel& ecLevel, int MinVersion = 1);

    constexpr int GetVersionNumber() const { return VersionNumber; }
    // The row and column coordinates of the alignment-pattern centres, ascending; none for version 1.
    constexpr std::span<const int> GetAlignmentPatternCenters() const {
        return std::span(AlignmentPatternCenters.data(), CentreCount);
    }
    constexpr int GetTotalCodewords() const { return TotalCodewords; }
    constexpr const TECBlocks& GetECBlocksForLevel(const TErrorCorrectionLevel& ECLevel) const {
        return ECBlocks[static_cast<std::size_t>(ECLevel.Ordinal())];
    }
    // The data codewords at the level: the total less the level's error-correction codewords.
    constexpr int GetDataCodewords(const TErrorCorrectionLevel& ECLevel) const {
        return TotalCodewords - GetECBlocksForLevel(ECLevel).GetTotalECCodewords();
    }
    // The side in modules: 21 for version 1, 4 more for each version after it.
    constexpr int GetDimensionForVersion() const { return 17 + 4 * VersionNumber; }

    // The total codewords are counted from the level-L layout; every layout adds up to the same.
    constexpr TVersion(int VersionNumber, std::span<const int> Centres, TECBlocks ECBlocks1, TECBlocks ECBlocks2,
                       TECBlocks ECBlocks3, TECBlocks ECBlocks4)
        : VersionNumber(VersionNumber),
          CentreCount(Centres.size()),
          ECBlocks{ECBlocks1, ECBlocks2, ECBlocks3, ECBlocks4} {
        for (std::size_t i = 0; i < Centres.size(); ++i) AlignmentPatternCenters[i] = Centres[i];
        for (const TECB& Group : ECBlocks1.GetECBlocks())
            TotalCodewords += Group.GetCount() * (Group.GetDataCodewords() + ECBlocks1.GetECCodewordsPerBlock());
    }

private:
    int VersionNumber;
    std::array<int, 7> AlignmentPatternCenters{};
    std::size_t CentreCount;
    std::array<TECBlocks, 4> ECBlocks;
    int TotalCodewords = 0;
};

}  // namespace qr
