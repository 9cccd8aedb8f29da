#pragma once
// GF(256), the field of the QR code's Reed-Solomon codewords (ISO/IEC 18004:2015 7.5.2), and
// polynomials over it.
//
// The field's exponent and logarithm tables are made once, at compile time; every product in
// the encoder, the Reed-Solomon generators included, is read from them.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "bitarray.h"

namespace qr {

class TGenericGFPoly;
using TGenericGFPolyArray = std::vector<TGenericGFPoly*>;

// Exponents of a, doubled so that a sum of two logarithms needs no reduction, and logarithms,
// of GF(256) with the given primitive polynomial.
struct TFieldTables {
    std::array<std::uint8_t, 510> Exp;
    std::array<std::uint8_t, 256> Log;
};

constexpr TFieldTables MakeFieldTables(int Primitive) {
    TFieldTables t{};
    int x = 1;
    for (std::size_t i = 0; i < 255; ++i) {
        t.Exp[i] = t.Exp[i + 255] = static_cast<std::uint8_t>(x);
        t.Log[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(i);
        x <<= 1;
        if (x >= 256) x = (x ^ Primitive) & 255;
    }
    return t;
}

class TGenericGF {
public:
    static constexpr int Primitive = 285;  // x^8 + x^4 + x^3 + x^2 + 1
    static constexpr int Size = 256;
    static constexpr int GeneratorBase = 0;  // the generator's first root is a^0

    // The QR code field. Fields are not copied or moved: their polynomials point to them.
    static TGenericGF CreateQRCodeField256() { return TGenericGF(); }
    ~TGenericGF();  // frees every polynomial created over the field
    TGenericGF(const TGenericGF&) = delete;
    TGenericGF& operator=(const TGenericGF&) = delete;

    static constexpr int AddOrSubtract(int A, int B) { return A ^ B; }
    // a^A for A from 0 to 509 (a^255 = 1 again).
    static constexpr int Exp(int A) { return Tables.Exp[static_cast<std::size_t>(A)]; }
    // 0 for 0.
    static constexpr int Inverse(int A) {
        return A == 0 ? 0 : Tables.Exp[static_cast<std::size_t>(Size - 1 - Tables.Log[static_cast<std::size_t>(A)])];
    }
    // A and B from 0 to 255.
    static constexpr int Multiply(int A, int B) {
        if (A == 0 || B == 0) return 0;
        const int LogSum = Tables.Log[static_cast<std::size_t>(A)] + Tables.Log[static_cast<std::size_t>(B)];
        return Tables.Exp[static_cast<std::size_t>(LogSum)];
    }
    static constexpr int GetGeneratorBase() { return GeneratorBase; }
    // Exponents a^0 .. a^255, and logarithms (log 0 is 0 and means nothing; log 1 is 0).
    static constexpr std::span<const std::uint8_t, Size> ExpTable() { return std::span(Tables.Exp).first<Size>(); }
    static constexpr std::span<const std::uint8_t, Size> LogTable() { return Tables.Log; }

    // The zero polynomial, made on first use and kept by the field.
    TGenericGFPoly* GetZero();
    // Coefficient * x^Degree; none for a negative degree.
    TGenericGFPoly* BuildMonomial(int Degree, int Coefficient);

private:
    friend class TGenericGFPoly;
    TGenericGF() = default;
    TGenericGFPoly* Register(std::unique_ptr<TGenericGFPoly> Poly);

    static constexpr TFieldTables Tables = MakeFieldTables(Primitive);

    TGenericGFPoly* FZero = nullptr;
    std::vector<std::unique_ptr<TGenericGFPoly>> FPolyList;  // every polynomial made over the field
};

// A polynomial over a field, highest degree first, owned by the field it was created over.
// Not on the encoding path: the shift register of TReedSolomonEncoder computes the remainder
// that polynomial division states; these operations are that statement, for checking it.
class TGenericGFPoly {
public:
    // Registers the new polynomial with AField, which owns it; leading zeros are removed.
    static TGenericGFPoly* Create(TGenericGF* AField, TIntegerArray ACoefficients);

    const TIntegerArray& GetCoefficients() const { return FCoefficients; }
    // The coefficient of x^Degree, Degree from 0 to GetDegree().
    int GetCoefficient(int Degree) const {
        return FCoefficients[FCoefficients.size() - 1 - static_cast<std::size_t>(Degree)];
    }
    int GetDegree() const { return static_cast<int>(FCoefficients.size()) - 1; }
    bool IsZero() const { return FCoefficients[0] == 0; }

    // Each of these gives none for an operand of another field (or none).
    TGenericGFPoly* AddOrSubtract(TGenericGFPoly* Other);
    TGenericGFPoly* Multiply(TGenericGFPoly* Other);
    // None for a negative degree.
    TGenericGFPoly* MultiplyByMonomial(int Degree, int Coefficient);
    // [quotient, remainder]; empty for a zero divisor.
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
