#include "galoisfield.h"

#include <utility>

namespace qr {

TGenericGF::TGenericGF(int Primitive, int Size, int B) : FSize(Size), FPrimitive(Primitive), FGeneratorBase(B) {}

// The polynomial list frees every polynomial created over the field, exactly once.
TGenericGF::~TGenericGF() = default;

std::unique_ptr<TGenericGF> TGenericGF::CreateQRCodeField256() { return std::make_unique<TGenericGF>(285, 256, 0); }

void TGenericGF::EnsureTables() {
    if (!FInitialized) BuildTables();
}

void TGenericGF::BuildTables() {
    FExpTable.assign(static_cast<std::size_t>(FSize), 0);
    FLogTable.assign(static_cast<std::size_t>(FSize), 0);
    int x = 1;
    for (int i = 0; i < FSize; ++i) {
        FExpTable[static_cast<std::size_t>(i)] = x;
        x *= 2;
        if (x >= FSize) x = (x ^ FPrimitive) & (FSize - 1);
    }
    // Only FSize - 1 entries: the last exponent, a^255 = 1, must not overwrite log(1) = 0.
    for (int i = 0; i < FSize - 1; ++i) FLogTable[static_cast<std::size_t>(FExpTable[static_cast<std::size_t>(i)])] = i;
    FInitialized = true;
    FZero = TGenericGFPoly::Create(this, {0});
    FOne = TGenericGFPoly::Create(this, {1});
}

const TIntegerArray& TGenericGF::ExpTable() {
    EnsureTables();
    return FExpTable;
}

const TIntegerArray& TGenericGF::LogTable() {
    EnsureTables();
    return FLogTable;
}

int TGenericGF::Exp(int A) {
    EnsureTables();
    return FExpTable[static_cast<std::size_t>(A)];
}

int TGenericGF::Inverse(int A) {
    EnsureTables();
    if (A == 0) return 0;
    return FExpTable[static_cast<std::size_t>(FSize - FLogTable[static_cast<std::size_t>(A)] - 1)];
}

int TGenericGF::Multiply(int A, int B) {
    EnsureTables();
    if (A == 0 || B == 0) return 0;
    return FExpTable[static_cast<std::size_t>((FLogTable[static_cast<std::size_t>(A)] +
                                               FLogTable[static_cast<std::size_t>(B)]) % (FSize - 1))];
}

TGenericGFPoly* TGenericGF::GetZero() {
    EnsureTables();
    return FZero;
}

TGenericGFPoly* TGenericGF::BuildMonomial(int Degree, int Coefficient) {
    EnsureTables();
    if (Degree < 0) return nullptr;
    if (Coefficient == 0) return FZero;
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
    const std::size_t n = ACoefficients.size();
    if (n <= 1 || ACoefficients[0] != 0) {
        Poly->FCoefficients = std::move(ACoefficients);
        return Poly;
    }
    std::size_t k = 1;
    while (k < n && ACoefficients[k] == 0) ++k;
    if (k == n)
        Poly->FCoefficients = AField->GetZero()->FCoefficients;
    else
        Poly->FCoefficients.assign(ACoefficients.begin() + static_cast<std::ptrdiff_t>(k), ACoefficients.end());
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
    for (std::size_t i = D; i < Larger->size(); ++i) Sum[i] = (*Smaller)[i - D] ^ (*Larger)[i];
    return Create(FField, std::move(Sum));
}

TGenericGFPoly* TGenericGFPoly::Multiply(TGenericGFPoly* Other) {
    if (Other->FField != FField) return nullptr;
    if (IsZero() || Other->IsZero()) return FField->GetZero();
    const TIntegerArray& a = FCoefficients;
    const TIntegerArray& b = Other->FCoefficients;
    const TIntegerArray& Exp = FField->ExpTable();
    const TIntegerArray& Log = FField->LogTable();
    const int Order = FField->Size() - 1;
    TIntegerArray Product(a.size() + b.size() - 1, 0);
    // The field's element product, its logarithms looked up once per coefficient.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == 0) continue;
        const int LogA = Log[static_cast<std::size_t>(a[i])];
        for (std::size_t j = 0; j < b.size(); ++j)
            if (b[j] != 0)
                Product[i + j] ^= Exp[static_cast<std::size_t>((LogA + Log[static_cast<std::size_t>(b[j])]) % Order)];
    }
    return Create(FField, std::move(Product));
}

TGenericGFPoly* TGenericGFPoly::MultiplyByMonomial(int Degree, int Coefficient) {
    if (Degree < 0) return nullptr;
    if (Coefficient == 0) return FField->GetZero();
    TIntegerArray Product(FCoefficients.size() + static_cast<std::size_t>(Degree), 0);
    for (std::size_t i = 0; i < FCoefficients.size(); ++i) Product[i] = FField->Multiply(FCoefficients[i], Coefficient);
    return Create(FField, std::move(Product));
}

TGenericGFPolyArray TGenericGFPoly::Divide(TGenericGFPoly* Other) {
    if (Other->FField != FField || Other->IsZero()) return {};
    TGenericGFPoly* Quotient = FField->GetZero();
    TGenericGFPoly* Remainder = this;
    const int InverseLead = FField->Inverse(Other->GetCoefficient(Other->GetDegree()));
    while (Remainder->GetDegree() >= Other->GetDegree() && !Remainder->IsZero()) {
        const int Shift = Remainder->GetDegree() - Other->GetDegree();
        const int Scale = FField->Multiply(Remainder->GetCoefficient(Remainder->GetDegree()), InverseLead);
        TGenericGFPoly* Term = Other->MultiplyByMonomial(Shift, Scale);
        Quotient = Quotient->AddOrSubtract(FField->BuildMonomial(Shift, Scale));
        Remainder = Remainder->AddOrSubtract(Term);
    }
    return {Quotient, Remainder};
}

}  // namespace qr
