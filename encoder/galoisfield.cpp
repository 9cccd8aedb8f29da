#include "galoisfield.h"

#include <algorithm>
#include <utility>

namespace qr {

TGenericGF::~TGenericGF() = default;

TGenericGFPoly* TGenericGF::GetZero() {
    if (!FZero) FZero = TGenericGFPoly::Create(this, {0});
    return FZero;
}

TGenericGFPoly* TGenericGF::BuildMonomial(int Degree, int Coefficient) {
    if (Degree < 0) return nullptr;
    if (Coefficient == 0) return GetZero();
    TIntegerArray Coefficients(static_cast<std::size_t>(Degree) + 1, 0);
    Coefficients[0] = Coefficient;
    return TGenericGFPoly::Create(this, std::move(Coefficients));
}

TGenericGFPoly* TGenericGF::Register(std::unique_ptr<TGenericGFPoly> Poly) {
    FPolyList.push_back(std::move(Poly));
    return FPolyList.back().get();
}

TGenericGFPoly* TGenericGFPoly::Create(TGenericGF* AField, TIntegerArray ACoefficients) {
    // Registered first, so the field owns it whatever follows.
    TGenericGFPoly* Poly = AField->Register(std::make_unique<TGenericGFPoly>(Key{}, AField));
    const auto Lead = std::find_if(ACoefficients.begin(), ACoefficients.end(), [](int c) { return c != 0; });
    if (Lead == ACoefficients.begin() || ACoefficients.size() <= 1)
        Poly->FCoefficients = std::move(ACoefficients);
    else if (Lead == ACoefficients.end())
        Poly->FCoefficients = {0};
    else
        Poly->FCoefficients.assign(Lead, ACoefficients.end());
    return Poly;
}

TGenericGFPoly* TGenericGFPoly::AddOrSubtract(TGenericGFPoly* Other) {
    if (Other == nullptr || Other->FField != FField) return nullptr;
    if (IsZero()) return Other;
    if (Other->IsZero()) return this;
    const TIntegerArray* Smaller = &FCoefficients;
    const TIntegerArray* Larger = &Other->FCoefficients;
    if (Smaller->size() > Larger->size()) std::swap(Smaller, Larger);
    const std::size_t D = Larger->size() - Smaller->size();
    TIntegerArray Sum(*Larger);
    for (std::size_t i = D; i < Larger->size(); ++i) Sum[i] = TGenericGF::AddOrSubtract((*Smaller)[i - D], (*Larger)[i]);
    return Create(FField, std::move(Sum));
}

TGenericGFPoly* TGenericGFPoly::Multiply(TGenericGFPoly* Other) {
    if (Other == nullptr || Other->FField != FField) return nullptr;
    if (IsZero() || Other->IsZero()) return FField->GetZero();
    TIntegerArray Product(FCoefficients.size() + Other->FCoefficients.size() - 1, 0);
    for (std::size_t i = 0; i < FCoefficients.size(); ++i)
        for (std::size_t j = 0; j < Other->FCoefficients.size(); ++j)
            Product[i + j] ^= TGenericGF::Multiply(FCoefficients[i], Other->FCoefficients[j]);
    return Create(FField, std::move(Product));
}

TGenericGFPoly* TGenericGFPoly::MultiplyByMonomial(int Degree, int Coefficient) {
    if (Degree < 0) return nullptr;
    if (Coefficient == 0) return FField->GetZero();
    TIntegerArray Product(FCoefficients.size() + static_cast<std::size_t>(Degree), 0);
    for (std::size_t i = 0; i < FCoefficients.size(); ++i) Product[i] = TGenericGF::Multiply(FCoefficients[i], Coefficient);
    return Create(FField, std::move(Product));
}

TGenericGFPolyArray TGenericGFPoly::Divide(TGenericGFPoly* Other) {
    if (Other == nullptr || Other->FField != FField || Other->IsZero()) return {};
    TGenericGFPoly* Quotient = FField->GetZero();
    TGenericGFPoly* Remainder = this;
    const int InverseLead = TGenericGF::Inverse(Other->GetCoefficient(Other->GetDegree()));
    while (Remainder->GetDegree() >= Other->GetDegree() && !Remainder->IsZero()) {
        const int Shift = Remainder->GetDegree() - Other->GetDegree();
        const int Scale = TGenericGF::Multiply(Remainder->GetCoefficient(Remainder->GetDegree()), InverseLead);
        Quotient = Quotient->AddOrSubtract(FField->BuildMonomial(Shift, Scale));
        Remainder = Remainder->AddOrSubtract(Other->MultiplyByMonomial(Shift, Scale));
    }
    return {Quotient, Remainder};
}

}  // namespace qr
