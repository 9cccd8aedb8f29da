#include "bitarray.h"

#include <algorithm>
#include <array>

namespace qr {

namespace {

constexpr std::uint32_t ReverseBits(std::uint32_t v) {
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    return (v >> 16) | (v << 16);
}

// Each byte with its bits in the opposite order.
constexpr std::array<std::uint8_t, 256> ReversedBytes = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b) t[b] = static_cast<std::uint8_t>(ReverseBits(b) >> 24);
    return t;
}();

}  // namespace

TBitArray::TBitArray() : Bits(1, 0) {}

TBitArray::TBitArray(int Size) : Bits(static_cast<std::size_t>((Size + 31) / 32), 0), Size(Size) {}

void TBitArray::ReserveBits(int N) {
    // Lengthened, never shrunk; new words are zero so appending a 0 only advances Size.
    if (N > 32 * WordCount()) Bits.resize(static_cast<std::size_t>((N + 31) / 32), 0);
}

void TBitArray::AppendBit(bool Bit) {
    ReserveBits(Size + 1);
    if (Bit) SetBit(Size);
    ++Size;
}

void TBitArray::PutField(std::uint32_t Field, int NumBits) {
    const int Offset = Size & 31;
    const auto Word = static_cast<std::size_t>(Size >> 5);
    Bits[Word] |= Field << Offset;
    if (Offset + NumBits > 32) Bits[Word + 1] |= Field >> (32 - Offset);
    Size += NumBits;
}

void TBitArray::AppendBits(std::int32_t Value, int NumBits) {
    if (NumBits <= 0) return;
    if (NumBits > 32) {
        // Wider than the value: the bits above its 32 are zeros.
        ReserveBits(Size + NumBits);
        Size += NumBits - 32;
        NumBits = 32;
    }
    ReserveBits(Size + NumBits);
    // The low NumBits bits in appending order: the field's most significant bit lands lowest.
    PutField(ReverseBits(static_cast<std::uint32_t>(Value)) >> (32 - NumBits), NumBits);
}

void TBitArray::AppendBitArray(const TBitArray& NewBitArray) {
    const int n = NewBitArray.GetSize();  // taken once: the array may be this one
    ReserveBits(Size + n);
    // Whole words at a time; bits of the store past n are 0 and stay out of the count.
    for (int i = 0; i < n; i += 32) {
        const int Count = std::min(32, n - i);
        PutField(NewBitArray.Bits[static_cast<std::size_t>(i >> 5)] & (Count == 32 ? ~0u : (1u << Count) - 1), Count);
    }
}

void TBitArray::AppendBytes(std::span<const std::uint8_t> Bytes) {
    ReserveBits(Size + 8 * static_cast<int>(Bytes.size()));
    // Four bytes make one 32-bit field, the first byte's most significant bit lowest.
    std::size_t i = 0;
    for (; i + 4 <= Bytes.size(); i += 4)
        PutField(std::uint32_t{ReversedBytes[Bytes[i]]} | std::uint32_t{ReversedBytes[Bytes[i + 1]]} << 8 |
                     std::uint32_t{ReversedBytes[Bytes[i + 2]]} << 16 | std::uint32_t{ReversedBytes[Bytes[i + 3]]} << 24,
                 32);
    for (; i < Bytes.size(); ++i) PutField(ReversedBytes[Bytes[i]], 8);
}

void TBitArray::ToBytes(int BitOffset, TByteArray& Source, int Offset, int NumBytes) const {
    for (int i = 0; i < NumBytes; ++i) {
        if ((BitOffset & 7) == 0) {
            // A byte-aligned run of 8 bits lies within one word: reverse it into place.
            const std::uint32_t Eight = (Bits[static_cast<std::size_t>(BitOffset >> 5)] >> (BitOffset & 31)) & 0xFFu;
            Source[static_cast<std::size_t>(Offset + i)] = ReversedBytes[Eight];
            BitOffset += 8;
            continue;
        }
        std::uint8_t Byte = 0;
        for (int j = 0; j < 8; ++j, ++BitOffset)
            if (Get(BitOffset)) Byte |= static_cast<std::uint8_t>(1u << (7 - j));
        Source[static_cast<std::size_t>(Offset + i)] = Byte;
    }
}

void TBitArray::XorOperation(const TBitArray& Other) {
    if (Bits.size() != Other.Bits.size()) return;
    for (std::size_t w = 0; w < Bits.size(); ++w) Bits[w] ^= Other.Bits[w];
}

}  // namespace qr
