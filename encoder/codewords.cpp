// Codeword assembly (ISO/IEC 18004:2015 7.4.9 to 7.6): the version fit, padding to the
// capacity, error-correction blocks and interleaving.

#include <algorithm>
#include <vector>

#include "reedsolomon.h"
#include "steps.h"

namespace qr {

namespace {

// One error-correction block: its data codewords and its error-correction codewords.
class TBlockPair {
public:
    TBlockPair(TByteArray BA1, TByteArray BA2) : FDataBytes(std::move(BA1)), FErrorCorrectionBytes(std::move(BA2)) {}
    const TByteArray& GetDataBytes() const { return FDataBytes; }
    const TByteArray& GetErrorCorrectionBytes() const { return FErrorCorrectionBytes; }

private:
    TByteArray FDataBytes;
    TByteArray FErrorCorrectionBytes;
};

}  // namespace

int SegmentBits(std::span<const TSegment> Segments, const TVersion& Version) {
    int Bits = 0;
    for (const TSegment& S : Segments) Bits += 4 + CountFieldWidth(S.Mode, Version) + S.Data.GetSize();
    return Bits;
}

const TVersion* FitVersion(std::span<const TSegment> Segments, const TErrorCorrectionLevel& Level, int MinVersion,
                           int MaxVersion) {
    // The count fields' widths the estimate used must be those of the version chosen: first
    // those of the smallest version allowed, then those of the version each pass picks. Widths
    // only grow with the version, so the passes climb and end within the three width groups.
    const TVersion* Fit = TVersion::GetVersionForNumber(std::max(MinVersion, 1));
    for (const TVersion* Used = nullptr; Fit && Fit != Used;) {
        Used = Fit;
        Fit = TVersion::ChooseVersion(SegmentBits(Segments, *Used), Level, Used->GetVersionNumber());
    }
    return Fit && Fit->GetVersionNumber() <= MaxVersion ? Fit : nullptr;
}

bool PadToCapacity(int DataCodewords, TBitArray& Bits) {
    const int Capacity = 8 * DataCodewords;
    if (Bits.GetSize() > Capacity) return false;
    // 7.4.9: up to four zero bits, cut short when the capacity is reached first.
    for (int i = 0; i < 4 && Bits.GetSize() < Capacity; ++i) Bits.AppendBit(false);
    // 7.4.10: zero bits to the codeword boundary, then the pad codewords.
    if (Bits.GetSize() % 8 != 0) Bits.AppendBits(0, 8 - Bits.GetSize() % 8);
    const int Pads = DataCodewords - Bits.GetSizeInBytes();
    for (int i = 0; i < Pads; ++i) Bits.AppendBits(i % 2 == 0 ? 0xEC : 0x11, 8);
    return Bits.GetSize() == Capacity;
}

// 7.5.1, Table 9: the blocks of a layout, the shorter ones first.
bool BlockSizes(int TotalCodewords, int DataCodewords, int BlockCount, int BlockIndex, int& DataInBlock, int& ECInBlock) {
    const int T = TotalCodewords, D = DataCodewords, N = BlockCount;
    if (BlockIndex >= N) return false;
    const int Group2 = T % N;
    const int Group1 = N - Group2;
    const int Total1 = T / N, Total2 = T / N + 1;
    const int Data1 = D / N, Data2 = D / N + 1;
    const int EC1 = Total1 - Data1, EC2 = Total2 - Data2;
    if (EC1 != EC2 || N != Group1 + Group2 || T != (Data1 + EC1) * Group1 + (Data2 + EC2) * Group2) return false;
    DataInBlock = BlockIndex < Group1 ? Data1 : Data2;
    ECInBlock = BlockIndex < Group1 ? EC1 : EC2;
    return true;
}

// 7.5.2: the block's Reed-Solomon codewords.
TByteArray ComputeECCodewords(const TByteArray& Data, int ECCount) {
    if (ECCount < 0 || ECCount > TReedSolomonEncoder::MaxECBytes) return {};
    // A field and an encoder for the block: both are free to make, their tables being the
    // compile-time ones.
    TGenericGF Field = TGenericGF::CreateQRCodeField256();
    TByteArray EC(static_cast<std::size_t>(ECCount));
    TReedSolomonEncoder(&Field).Encode(Data, EC);
    return EC;
}

// 7.6: data codeword i of every block in turn, then error-correction codeword i likewise.
bool InterleaveBlocks(const TBitArray& Bits, int TotalCodewords, int DataCodewords, int BlockCount, TBitArray& Result) {
    if (Bits.GetSizeInBytes() != DataCodewords) return false;
    std::vector<TBlockPair> Blocks;
    Blocks.reserve(static_cast<std::size_t>(std::max(BlockCount, 0)));
    int DataOffset = 0;
    std::size_t LongestData = 0, LongestEC = 0;
    for (int k = 0; k < BlockCount; ++k) {
        int d = 0, e = 0;
        if (!BlockSizes(TotalCodewords, DataCodewords, BlockCount, k, d, e)) return false;
        TByteArray DataBytes(static_cast<std::size_t>(d));
        Bits.ToBytes(8 * DataOffset, DataBytes, 0, d);
        TByteArray ECBytes = ComputeECCodewords(DataBytes, e);
        if (ECBytes.size() != static_cast<std::size_t>(e)) return false;
        LongestData = std::max(LongestData, DataBytes.size());
        LongestEC = std::max(LongestEC, ECBytes.size());
        Blocks.emplace_back(std::move(DataBytes), std::move(ECBytes));
        DataOffset += d;
    }
    if (DataOffset != DataCodewords) return false;
    TByteArray Interleaved;
    Interleaved.reserve(static_cast<std::size_t>(std::max(TotalCodewords, 0)));
    for (std::size_t i = 0; i < LongestData; ++i)
        for (const TBlockPair& Block : Blocks)
            if (i < Block.GetDataBytes().size()) Interleaved.push_back(Block.GetDataBytes()[i]);
    for (std::size_t i = 0; i < LongestEC; ++i)
        for (const TBlockPair& Block : Blocks)
            if (i < Block.GetErrorCorrectionBytes().size()) Interleaved.push_back(Block.GetErrorCorrectionBytes()[i]);
    Result.AppendBytes(Interleaved);
    return Result.GetSizeInBytes() == TotalCodewords;
}

}  // namespace qr
