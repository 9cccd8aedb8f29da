#pragma once
// Reed-Solomon error-correction codewords of one block, over a caller-supplied field.

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

    int CachedCount() const { return static_cast<int>(FCachedGenerators.size()); }

private:
    TGenericGF* FField;                              // not owned
    std::vector<TGenericGFPoly*> FCachedGenerators;  // owned by the field
};

}  // namespace qr
