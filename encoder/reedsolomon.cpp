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
    // working array of ECBytes coefficients. The generator is monic, so each step only subtracts
    // the generator scaled by the leading coefficient. This gives the coefficients the polynomial
    // Divide leaves, highest degree first and already right-aligned (leading zeros included),
    // without creating a polynomial per step: a 119-codeword block would otherwise keep some
    // five hundred of them alive until the field goes.
    const TIntegerArray& Log = FField->LogTable();
    // Exponents up to twice the order, so a sum of two logarithms needs no reduction.
    const int Order = FField->Size() - 1;
    std::vector<int> Exp(2 * static_cast<std::size_t>(Order));
    for (std::size_t i = 0; i < Exp.size(); ++i) Exp[i] = FField->ExpTable()[i % static_cast<std::size_t>(Order)];
    const auto E = static_cast<std::size_t>(ECBytes);
    std::vector<int> GeneratorLog(E + 1, -1);
    for (std::size_t j = 1; j <= E; ++j)
        if (Generator[j] != 0) GeneratorLog[j] = Log[static_cast<std::size_t>(Generator[j])];

    std::vector<int> Remainder(E, 0);
    for (int i = 0; i < DataBytes; ++i) {
        const int Lead = (ToEncode[static_cast<std::size_t>(i)] ^ Remainder[0]) & 0xFF;
        std::copy(Remainder.begin() + 1, Remainder.end(), Remainder.begin());
        Remainder[E - 1] = 0;
        if (Lead == 0) continue;
        const int LeadLog = Log[static_cast<std::size_t>(Lead)];
        for (std::size_t j = 1; j <= E; ++j)
            if (GeneratorLog[j] >= 0) Remainder[j - 1] ^= Exp[static_cast<std::size_t>(GeneratorLog[j] + LeadLog)];
    }
    std::copy(Remainder.begin(), Remainder.end(), ToEncode.begin() + DataBytes);
}

}  // namespace qr
