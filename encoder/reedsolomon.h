#pragma once
// Reed-Solomon error-correction codewords of one block (ISO/IEC 18004:2015 7.5.2; the generator
// polynomials of Annex A).

#include <cstdint>
#include <span>
#include <vector>

#include "galoisfield.h"

namespace qr {

class TReedSolomonEncoder {
public:
    // The field's generators and codewords are its compile-time tables; AField only owns the
    // polynomials BuildGenerator makes.
    explicit TReedSolomonEncoder(TGenericGF* AField) : FField(AField) {}

    // The most error-correction codewords a block can have: the generator's roots a^0, a^1, ...
    // must be distinct, and a has 255 powers.
    static constexpr int MaxECBytes = 255;

    // The generator of the given degree, 0 to MaxECBytes, as a polynomial over the field:
    // (x + a^0)(x + a^1) ... (x + a^(Degree - 1)). Made once per degree and kept.
    TGenericGFPoly* BuildGenerator(int Degree);
    // The EC.size() error-correction codewords of Data into EC: the remainder of Data(x) x^n
    // divided by the generator of degree n = EC.size(), highest degree first. Nothing is
    // written for more than MaxECBytes.
    void Encode(std::span<const std::uint8_t> Data, std::span<std::uint8_t> EC);
    // The same in one array: the data codewords, then ECBytes entries that receive the
    // error-correction codewords. Nothing changes unless ECBytes is 1 to MaxECBytes and at least
    // one data codeword precedes them.
    void Encode(TIntegerArray& ToEncode, int ECBytes);

    // Up to this many codewords per block (every block of the version table), the multiples of
    // the generator that Encode reads are made at compile time; an encoder makes its own for more.
    static constexpr int TabledECBytes = 30;

private:
    // The multiples of the generator of ECBytes codewords, as Encode reads them.
    const std::uint64_t* Multiples(int ECBytes);

    TGenericGF* FField;                              // not owned
    std::vector<TGenericGFPoly*> FCachedGenerators;  // entry d has degree d; owned by the field
    int FOwnECBytes = 0;
    std::vector<std::uint64_t> FOwnMultiples;  // for more than TabledECBytes
};

}  // namespace qr
