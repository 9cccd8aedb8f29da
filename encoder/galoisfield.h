#pragma once
// GF(256) with exponent and logarithm tables, and polynomials over it. A field owns every
// polynomial created over it: they live until the field is destroyed.

#include <memory>
#include <vector>

#include "bitarray.h"

namespace qr {

class TGenericGFPoly;
using TGenericGFPolyArray = std::vector<TGenericGFPoly*>;

class TGenericGF {
public:
    TGenericGF(int Primitive, int Size, int B);
    ~TGenericGF();
    TGenericGF(const TGenericGF&) = delete;
    TGenericGF& operator=(const TGenericGF&) = delete;

    // The QR code field: primitive polynomial 285 (x^8 + x^4 + x^3 + x^2 + 1), 256 elements, base 0.
    static std::unique_ptr<TGenericGF> CreateQRCodeField256();
    static int AddOrSubtract(int A, int B) { return A ^ B; }

    int Exp(int A);
    int Inverse(int A);
    int Multiply(int A, int B);
    TGenericGFPoly* GetZero();
    int GetGeneratorBase() const { return FGeneratorBase; }
    // Coefficient * x^Degree; no polynomial for a negative degree.
    TGenericGFPoly* BuildMonomial(int Degree, int Coefficient);

    // The tables, built on first use (read-only views for fast callers).
    const TIntegerArray& ExpTable();
    const TIntegerArray& LogTable();
    int Size() const { return FSize; }

private:
    friend class TGenericGFPoly;
    void EnsureTables();
    void BuildTables();
    TGenericGFPoly* Register(std::unique_ptr<TGenericGFPoly> Poly);

    TIntegerArray FExpTable;
    TIntegerArray FLogTable;
    TGenericGFPoly* FZero = nullptr;
    TGenericGFPoly* FOne = nullptr;
    int FSize;
    int FPrimitive;
    int FGeneratorBase;
    bool FInitialized = false;
    std::vector<std::unique_ptr<TGenericGFPoly>> FPolyList;
};

class TGenericGFPoly {
public:
    // Registers the new polynomial with AField, which owns it; leading zeros are removed.
    static TGenericGFPoly* Create(TGenericGF* AField, TIntegerArray ACoefficients);
    // Called by the field only, through its polynomial list.
    ~TGenericGFPoly() = default;

    const TIntegerArray& Coefficients() const { return FCoefficients; }
    const TIntegerArray& GetCoefficients() const { return FCoefficients; }
    int GetCoefficient(int Degree) const {
        return FCoefficients[FCoefficients.size() - 1 - static_cast<std::size_t>(Degree)];
    }
    int GetDegree() const { return static_cast<int>(FCoefficients.size()) - 1; }
    bool IsZero() const { return FCoefficients[0] == 0; }

    TGenericGFPoly* AddOrSubtract(TGenericGFPoly* Other);
    TGenericGFPoly* Multiply(TGenericGFPoly* Other);
    TGenericGFPoly* MultiplyByMonomial(int Degree, int Coefficient);
    // [quotient, remainder], or empty for a zero divisor or one of another field.
    TGenericGFPolyArray Divide(TGenericGFPoly* Other);

    // Only Create can make the key, so every polynomial is registered with its field.
    class Key {
        friend class TGenericGFPoly;
        Key() = default;
    };
    TGenericGFPoly(Key, TGenericGF* AField) : FField(AField) {}

private:

    TGenericGF* FField;
    TIntegerArray FCoefficients;
};

}  // namespace qr
