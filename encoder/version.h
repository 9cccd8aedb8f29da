#pragma once
// Error-correction levels and the version table of QR Code model 2 (versions 1 to 40).

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace qr {

class TErrorCorrectionLevel {
public:
    TErrorCorrectionLevel() = default;
    explicit TErrorCorrectionLevel(int Bits) : FBits(Bits) {}
    void Assign(const TErrorCorrectionLevel& Source) { FBits = Source.FBits; }
    // Position of the level's layout in a version's ECBlocks (L, M, Q, H), from its format
    // bits: L 01, M 00, Q 11, H 10. Only the two low bits count.
    int Ordinal() const { return (FBits & 3) ^ 1; }
    int Bits() const { return FBits; }
    void SetBits(int Bits) { FBits = Bits; }

private:
    int FBits = 0;
};

// The four levels by their format bits. The window uses L.
inline TErrorCorrectionLevel LevelL() { return TErrorCorrectionLevel(1); }
inline TErrorCorrectionLevel LevelM() { return TErrorCorrectionLevel(0); }
inline TErrorCorrectionLevel LevelQ() { return TErrorCorrectionLevel(3); }
inline TErrorCorrectionLevel LevelH() { return TErrorCorrectionLevel(2); }

class TECB {
public:
    TECB(int Count, int DataCodewords) : Count(Count), DataCodewords(DataCodewords) {}
    int GetCount() const { return Count; }
    int GetDataCodewords() const { return DataCodewords; }

private:
    int Count;
    int DataCodewords;
};

using TECBArray = std::vector<TECB>;

class TECBlocks {
public:
    TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks);
    TECBlocks(int ECCodewordsPerBlock, TECB ECBlocks1, TECB ECBlocks2);

    const TECBArray& GetECBlocks() const { return ECBlocks; }
    int GetECCodewordsPerBlock() const { return ECCodewordsPerBlock; }
    int GetNumBlocks() const;
    int GetTotalECCodewords() const { return ECCodewordsPerBlock * GetNumBlocks(); }

private:
    int ECCodewordsPerBlock;
    TECBArray ECBlocks;
};

// Alignment-pattern centre coordinates per version (row Version - 1), ascending, padded with -1.
extern const std::array<std::array<std::int16_t, 7>, 40> AlignmentCentres;

class TVersion {
public:
    TVersion(int VersionNumber, std::initializer_list<int> AlignmentPatternCenters, TECBlocks ECBlocks1,
             TECBlocks ECBlocks2, TECBlocks ECBlocks3, TECBlocks ECBlocks4);

    // A new record of that version, or none outside 1 to 40.
    static std::unique_ptr<TVersion> GetVersionForNumber(int VersionNum);
    // The smallest version whose data codewords at ecLevel hold (NumInputBits + 7) / 8, or none.
    static std::unique_ptr<TVersion> ChooseVersion(int NumInputBits, const TErrorCorrectionLevel& ecLevel);
    // The same choice as a number, 0 for none, and the data codewords of a version (1 to 40) at
    // a level: both read from the table the records are built from, building no record.
    static int ChooseVersionNumber(int NumInputBits, const TErrorCorrectionLevel& ecLevel);
    static int DataCodewords(int VersionNum, const TErrorCorrectionLevel& ecLevel);
    // A version's total codewords and its number of error-correction blocks at a level, the
    // same the records answer; 0 outside 1 to 40.
    static int TotalCodewordsOf(int VersionNum);
    static int NumBlocksOf(int VersionNum, const TErrorCorrectionLevel& ecLevel);

    int GetVersionNumber() const { return VersionNumber; }
    const std::vector<int>& GetAlignmentPatternCenters() const { return AlignmentPatternCenters; }
    int GetTotalCodewords() const { return TotalCodewords; }
    const TECBlocks& GetECBlocksForLevel(const TErrorCorrectionLevel& ECLevel) const {
        return ECBlocks[static_cast<std::size_t>(ECLevel.Ordinal())];
    }
    const TECBlocks& GetECBlocksAt(int Ordinal) const { return ECBlocks[static_cast<std::size_t>(Ordinal)]; }
    int GetDimensionForVersion() const { return 17 + 4 * VersionNumber; }

private:
    int VersionNumber;
    std::vector<int> AlignmentPatternCenters;
    std::array<TECBlocks, 4> ECBlocks;
    int TotalCodewords;
    int ECCodewords;
};

}  // namespace qr
