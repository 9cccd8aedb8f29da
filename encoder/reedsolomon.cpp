#include "reedsolomon.h"

#include <algorithm>

namespace qr {

TReedSolomonEncoder::TReedSolomonEncoder(TGenericGF* AField) : FField(AField) {
    FCachedGenerators.push_back(TGenericGFPoly::Create(AField, {1}));
}

TGenericGFPoly* TReedSolomonEncoder::BuildGenerator(int Degree) {
    const int Count = static_cast<int>(FCachedGenerators.size());
    if (Degree >= Count) {
        TGenericGFPoly* Last = FCachedGenerators.back();
        for (int d = Count; d <= Degree; ++d) {
            TGenericGFPoly* Factor =
                TGenericGFPoly::Create(FField, {1, FField->Exp(d - 1 + FField->GetGeneratorBase())});
            Last = Last->Multiply(Factor);
            FCachedGenerators.push_back(Last);
        }
    }
    return FCachedGenerators[static_cast<std::size_t>(Degree)];
}

void TReedSolomonEncoder::Encode(TIntegerArray& ToEncode, int ECBytes) {
    if (ECBytes <= 0) return;
    const int DataBytes = static_cast<int>(ToEncode.size()) - ECBytes;
    if (DataBytes <= 0) return;
    const TIntegerArray& Generator = BuildGenerator(ECBytes)->GetCoefficients();

    // The remainder of Data(x) * x^ECBytes divided by the generator, by synthetic division in a
    // working copy of the data followed by ECBytes zeros: each data position in turn cancels its
    // coefficient by subtracting the generator (monic) scaled by it, and what is left in the last
    // ECBytes positions is the remainder, highest degree first and right-aligned, leading zeros
    // included. The same coefficients the polynomial Divide leaves, without creating a polynomial
    // per step (a 119-codeword block would keep some five hundred of them alive until the field goes).
    const TIntegerArray& Log = FField->LogTable();
    const int Order = FField->Size() - 1;
    // Exponents up to twice the order, so a sum of two logarithms needs no reduction.
    std::vector<int> Exp(2 * static_cast<std::size_t>(Order));
    for (std::size_t i = 0; i < Exp.size(); ++i) Exp[i] = FField->ExpTable()[i % static_cast<std::size_t>(Order)];
    const auto E = static_cast<std::size_t>(ECBytes);
    std::vector<int> GeneratorLog(E + 1, -1);
    for (std::size_t j = 1; j <= E; ++j)
        if (Generator[j] != 0) GeneratorLog[j] = Log[static_cast<std::size_t>(Generator[j])];

    const auto n = static_cast<std::size_t>(DataBytes);
    std::vector<int> Work(n + E, 0);
    for (std::size_t i = 0; i < n; ++i) Work[i] = ToEncode[i] & Order;
    for (std::size_t i = 0; i < n; ++i) {
        const int Lead = Work[i];
        if (Lead == 0) continue;
        const int LeadLog = Log[static_cast<std::size_t>(Lead)];
        int* Tail = &Work[i];
        for (std::size_t j = 1; j <= E; ++j)
            if (GeneratorLog[j] >= 0) Tail[j] ^= Exp[static_cast<std::size_t>(GeneratorLog[j] + LeadLog)];
    }
    std::copy(Work.begin() + static_cast<std::ptrdiff_t>(n), Work.end(), ToEncode.begin() + DataBytes);
}

}  // namespace qr
