#include "bitarray.h"

namespace qr {

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

void TBitArray::AppendBits(std::int32_t Value, int NumBits) {
    if (NumBits <= 0) return;
    ReserveBits(Size + NumBits);
    const auto Pattern = static_cast<std::uint32_t>(Value);
    for (int k = NumBits - 1; k >= 0; --k) {
        if ((Pattern >> k) & 1u) SetBit(Size);
        ++Size;
    }
}

void TBitArray::AppendBitArray(const TBitArray& NewBitArray) {
    const int n = NewBitArray.GetSize();
    ReserveBits(Size + n);
    for (int i = 0; i < n; ++i) {
        if (NewBitArray.Get(i)) SetBit(Size);
        ++Size;
    }
}

void TBitArray::ToBytes(int BitOffset, TByteArray& Source, int Offset, int NumBytes) const {
    for (int i = 0; i < NumBytes; ++i) {
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
