#pragma once
// Helpers shared by the encoder tests.

#include <string>
#include <vector>

#include "encoder/qrcode.h"

namespace qrtest {

// Exposes the encoder's pipeline steps to the tests.
class Encoder : public qr::TEncoder {
public:
    using TEncoder::AlphanumericValue;
    using TEncoder::BlockSizes;
    using TEncoder::ComputeECCodewords;
    using TEncoder::InterleaveBlocks;
    using TEncoder::KeepEncodableChars;
    using TEncoder::MaskPenalty;
    using TEncoder::PadToCapacity;
    using TEncoder::PenaltyBalance;
    using TEncoder::PenaltyBlocks;
    using TEncoder::PenaltyFinderLike;
    using TEncoder::PenaltyRuns;
    using TEncoder::PenaltyRunsInLines;
    using TEncoder::PickMode;
    using TEncoder::SelectMask;
    using TEncoder::WriteCharacterCount;
    using TEncoder::WriteModeIndicator;
    using TEncoder::WriteSegmentData;
};

// The bits of an array as a string of '0' and '1'.
inline std::string BitString(const qr::TBitArray& Bits) {
    std::string s;
    for (int i = 0; i < Bits.GetSize(); ++i) s += Bits.Get(i) ? '1' : '0';
    return s;
}

// Value in Width bits, most significant first, as '0'/'1'.
inline std::string Field(int Value, int Width) {
    std::string s;
    for (int k = Width - 1; k >= 0; --k) s += ((Value >> k) & 1) ? '1' : '0';
    return s;
}

// The matrix as lines of 'X' (dark) and '.' (light), one per row.
inline std::vector<std::string> MatrixLines(const qr::TByteMatrix& M) {
    std::vector<std::string> Lines;
    for (int y = 0; y < M.Height(); ++y) {
        std::string Line;
        for (int x = 0; x < M.Width(); ++x) Line += M.Get(x, y) == 1 ? 'X' : '.';
        Lines.push_back(Line);
    }
    return Lines;
}

// A matrix from lines of 'X' and '.'.
inline qr::TByteMatrix MatrixFrom(const std::vector<std::string>& Lines) {
    qr::TByteMatrix M(static_cast<int>(Lines.empty() ? 0 : Lines[0].size()), static_cast<int>(Lines.size()));
    for (std::size_t y = 0; y < Lines.size(); ++y)
        for (std::size_t x = 0; x < Lines[y].size(); ++x)
            M.SetBoolean(static_cast<int>(x), static_cast<int>(y), Lines[y][x] == 'X');
    return M;
}

// The final codewords of an encoding, as the pipeline interleaves them.
inline std::vector<int> FinalCodewords(std::u16string_view Text, int Option, int& Version,
                                       const qr::TErrorCorrectionLevel& Level = qr::LevelL()) {
    Encoder E;
    int Opt = Option;
    const qr::TMode Mode = E.PickMode(Text, Opt);
    const std::u16string Kept = E.KeepEncodableChars(Text, Mode, Opt);
    qr::TBitArray Data;
    E.WriteSegmentData(Kept, Mode, Data, Opt);
    qr::TBitArray Bits;
    E.WriteModeIndicator(Mode, Bits);
    const int Count = Mode == qr::qmByte ? Data.GetSizeInBytes() : static_cast<int>(Kept.size());
    // The smallest version whose capacity holds header, count and data.
    std::unique_ptr<qr::TVersion> V;
    for (int v = 1; v <= 40; ++v) {
        V = qr::TVersion::GetVersionForNumber(v);
        const int Bits_ = 4 + qr::CountFieldWidth(Mode, *V) + Data.GetSize();
        const auto& L = V->GetECBlocksForLevel(Level);
        if (8 * (V->GetTotalCodewords() - L.GetTotalECCodewords()) >= Bits_) break;
    }
    Version = V->GetVersionNumber();
    E.WriteCharacterCount(Count, Version, Mode, Bits);
    Bits.AppendBitArray(Data);
    const auto& L = V->GetECBlocksForLevel(Level);
    const int DataCodewords = V->GetTotalCodewords() - L.GetTotalECCodewords();
    E.PadToCapacity(DataCodewords, Bits);
    qr::TBitArray Final;
    E.InterleaveBlocks(Bits, V->GetTotalCodewords(), DataCodewords, L.GetNumBlocks(), Final);
    std::vector<int> Codewords;
    qr::TByteArray Bytes(static_cast<std::size_t>(Final.GetSizeInBytes()));
    Final.ToBytes(0, Bytes, 0, Final.GetSizeInBytes());
    Codewords.assign(Bytes.begin(), Bytes.end());
    return Codewords;
}

// The penalty of each mask's symbol, each built the plain way (a full build per mask).
inline std::vector<int> PenaltiesOfAllMasks(std::u16string_view Text, int Option,
                                            const qr::TErrorCorrectionLevel& Level) {
    int Version = 0;
    const std::vector<int> Codewords = FinalCodewords(Text, Option, Version, Level);
    qr::TBitArray Final;
    for (int c : Codewords) Final.AppendBits(c, 8);
    std::vector<int> Penalties;
    for (int Mask = 0; Mask < 8; ++Mask) {
        const int D = 17 + 4 * Version;
        qr::TByteMatrix M(D, D);
        qr::TMatrixUtil().BuildMatrix(Final, Level, Version, Mask, M);
        Penalties.push_back(Encoder::MaskPenalty(M));
    }
    return Penalties;
}

}  // namespace qrtest
