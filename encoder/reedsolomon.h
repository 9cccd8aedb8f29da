#pragma once
// Reed-Solomon error-correction codewords of one block, over a caller-supplied field.

#include <cstdint>
#include <span>
#include <vector>

#include "galoisfield.h"

namespace qr {

class TReedSolomonEncoder {
public:
    explicit TReedSolomonEncoder(TGenericGF* AField);

    // (x + a^base)(x + a^(base+1))... of the given degree, built once and cached.
    TGenericGFPoly* BuildGenerator(int Degree);
    // Writes ECBytes codewords into the last ECBytes entries of ToEncode, behind the data.
    void Encode(TIntegerArray& ToEncode, int ECBytes);

private:
    TGenericGF* FField;                              // not owned
    std::vector<TGenericGFPoly*> FCachedGenerators;  // owned by the field
};

// The error-correction codewords of the QR field (primitive polynomial 285, generator roots
// a^0 .. a^(ECBytes - 1)) for one number of codewords per block, the same remainder that
// TReedSolomonEncoder::Encode computes. It works as the standard's shift register: each data
// codeword's feedback selects a precomputed multiple of the generator, so a block costs a few
// word operations per data codeword. One coder serves every block of a symbol.
class TQRBlockCoder {
public:
    // ECBytes from 0 to 255 (the generator's roots are distinct powers of a); more count as 255.
    explicit TQRBlockCoder(int ECBytes);
    int ECBytes() const { return FECBytes; }
    // Writes the ECBytes codewords of Data into EC (ECBytes long).
    void Encode(std::span<const std::uint8_t> Data, std::span<std::uint8_t> EC) const;

    // Up to this many codewords per block (every block of the version table) the multiples are
    // made at compile time; a coder for more makes its own.
    static constexpr int TabledECBytes = 30;

private:
    // f times the generator without its leading 1, highest degree in the low byte of word 0,
    // as the sum of two rows of FWords words: row f mod 16 of the low half and row f / 16 of
    // the high half (rows 0 to 15 are the multiples by f mod 16, rows 16 to 31 by 16 (f / 16)).
    const std::uint64_t* Multiples() const;

    int FECBytes;
    int FWords;  // 64-bit words per register
    std::vector<std::uint64_t> FOwnMultiples;  // only for more than TabledECBytes
};

}  // namespace qr
