// Codeword assembly: padding to the capacity, error-correction blocks and interleaving.

#include <algorithm>
#include <memory>
#include <vector>

#include "qrcode.h"

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

void TEncoder::PadToCapacity(int DataCodewords, TBitArray& Bits) {
    const int Capacity = 8 * DataCodewords;
    if (Bits.GetSize() > Capacity) {
        FEncoderError = true;
        return;
    }
    // Terminator: up to four zero bits, cut short when the capacity is reached first.
    for (int i = 0; i < 4 && Bits.GetSize() < Capacity; ++i) Bits.AppendBit(false);
    if (Bits.GetSize() % 8 != 0) Bits.AppendBits(0, 8 - Bits.GetSize() % 8);
    const int Pads = DataCodewords - Bits.GetSizeInBytes();
    for (int i = 0; i < Pads; ++i) Bits.AppendBits(i % 2 == 0 ? 0xEC : 0x11, 8);
    if (Bits.GetSize() != Capacity) FEncoderError = true;
}

void TEncoder::BlockSizes(int TotalCodewords, int DataCodewords, int BlockCount, int BlockIndex, int& DataInBlock,
                          int& ECInBlock) {
    const int T = TotalCodewords, D = DataCodewords, N = BlockCount;
    if (BlockIndex >= N) {
        FEncoderError = true;
        return;
    }
    const int Group2 = T % N;
    const int Group1 = N - Group2;
    const int Total1 = T / N, Total2 = T / N + 1;
    const int Data1 = D / N, Data2 = D / N + 1;
    const int EC1 = Total1 - Data1, EC2 = Total2 - Data2;
    if (EC1 != EC2 || N != Group1 + Group2 || T != (Data1 + EC1) * Group1 + (Data2 + EC2) * Group2) {
        FEncoderError = true;
        return;
    }
    DataInBlock = BlockIndex < Group1 ? Data1 : Data2;
    ECInBlock = BlockIndex < Group1 ? EC1 : EC2;
}

TByteArray TEncoder::ComputeECCodewords(const TByteArray& Data, int ECCount) {
    if (ECCount > TReedSolomonEncoder::MaxECBytes) {  // more than the field has roots for: no such block
        FEncoderError = true;
        return {};
    }
    // A field and an encoder for the block: both are free to make, their tables being the
    // compile-time ones.
    TGenericGF Field = TGenericGF::CreateQRCodeField256();
    TByteArray EC(static_cast<std::size_t>(std::max(ECCount, 0)));
    TReedSolomonEncoder(&Field).Encode(Data, EC);
    return EC;
}

void TEncoder::InterleaveBlocks(const TBitArray& Bits, int TotalCodewords, int DataCodewords, int BlockCount,
                                TBitArray& Result) {
    if (Bits.GetSizeInBytes() != DataCodewords) {
        FEncoderError = true;
        return;
    }
    std::vector<TBlockPair> Blocks;
    Blocks.reserve(static_cast<std::size_t>(std::max(BlockCount, 0)));
    int DataOffset = 0;
    std::size_t LongestData = 0, LongestEC = 0;
    for (int k = 0; k < BlockCount; ++k) {
        int d = 0, e = 0;
        BlockSizes(TotalCodewords, DataCodewords, BlockCount, k, d, e);
        TByteArray DataBytes(static_cast<std::size_t>(d));
        Bits.ToBytes(8 * DataOffset, DataBytes, 0, d);
        TByteArray ECBytes = ComputeECCodewords(DataBytes, e);
        LongestData = std::max(LongestData, DataBytes.size());
        LongestEC = std::max(LongestEC, ECBytes.size());
        Blocks.emplace_back(std::move(DataBytes), std::move(ECBytes));
        DataOffset += d;
    }
    if (DataOffset != DataCodewords) {
        FEncoderError = true;
        return;
    }
    TByteArray Interleaved;
    Interleaved.reserve(static_cast<std::size_t>(std::max(TotalCodewords, 0)));
    for (std::size_t i = 0; i < LongestData; ++i)
        for (const TBlockPair& Block : Blocks)
            if (i < Block.GetDataBytes().size()) Interleaved.push_back(Block.GetDataBytes()[i]);
    for (std::size_t i = 0; i < LongestEC; ++i)
        for (const TBlockPair& Block : Blocks)
            if (i < Block.GetErrorCorrectionBytes().size()) Interleaved.push_back(Block.GetErrorCorrectionBytes()[i]);
    Result.AppendBytes(Interleaved);
    if (Result.GetSizeInBytes() != TotalCodewords) FEncoderError = true;
}

}  // namespace qr
