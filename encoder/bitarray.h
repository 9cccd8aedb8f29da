#pragma once
// A growable sequence of bits packed 32 to a word: the encoder's bit sink and bit source.

#include <cstdint>
#include <span>
#include <vector>

namespace qr {

using TByteArray = std::vector<std::uint8_t>;
using TIntegerArray = std::vector<std::int32_t>;

class TBitArray {
public:
    TBitArray();                   // empty, one zero word
    explicit TBitArray(int Size);  // Size zero bits, (Size + 31) / 32 words, to be set with SetBit

    int GetSize() const { return Size; }
    int GetSizeInBytes() const { return (Size + 7) / 8; }
    int WordCount() const { return static_cast<int>(Bits.size()); }
    std::uint32_t Word(int W) const { return Bits[W]; }

    bool Get(int I) const { return (Bits[I >> 5] >> (I & 31)) & 1u; }
    void SetBit(int Index) { Bits[Index >> 5] |= 1u << (Index & 31); }

    void AppendBit(bool Bit);
    // The low NumBits bits of Value, most significant first.
    void AppendBits(std::int32_t Value, int NumBits);
    void AppendBitArray(const TBitArray& NewBitArray);
    // Each byte in 8 bits, most significant first, in order: AppendBits(b, 8) for every byte.
    void AppendBytes(std::span<const std::uint8_t> Bytes);
    // NumBytes bytes packed from the bits at BitOffset on, first bit as the most significant,
    // written into Source from index Offset on. Source must already be long enough.
    void ToBytes(int BitOffset, TByteArray& Source, int Offset, int NumBytes) const;
    // Word-wise exclusive-or, for combining a bit field with its mask; a silent no-op when the
    // stores differ in length. (The encoder combines the format word as an integer instead.)
    void XorOperation(const TBitArray& Other);

private:
    void ReserveBits(int N);
    // Appends the NumBits (1 to 32) low bits of Field, its bit 0 first; room reserved.
    void PutField(std::uint32_t Field, int NumBits);

    std::vector<std::uint32_t> Bits;
    int Size = 0;
};

}  // namespace qr
