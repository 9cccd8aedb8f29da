// GF(256), polynomials over it, and the Reed-Solomon encoder.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "encoder/galoisfield.h"
#include "encoder/reedsolomon.h"
#include "encoder/steps.h"

using namespace qr;

namespace {

// Field arithmetic done the slow way, without tables: carry-less product reduced by 0x11D.
int PlainMultiply(int a, int b) {
    int r = 0;
    while (b != 0) {
        if (b & 1) r ^= a;
        b >>= 1;
        a <<= 1;
        if (a & 0x100) a ^= 0x11D;
    }
    return r;
}

int PlainPower(int Exponent) {
    int r = 1;
    for (int i = 0; i < Exponent; ++i) r = PlainMultiply(r, 2);
    return r;
}

// The codeword polynomial (highest degree first) at x = a^i for i = 0 .. Count - 1. A valid
// Reed-Solomon codeword with generator roots a^0 .. a^(Count - 1) gives all zeros.
std::vector<int> Syndromes(const TIntegerArray& Codeword, int Count) {
    std::vector<int> S;
    for (int i = 0; i < Count; ++i) {
        const int x = PlainPower(i);
        int Value = 0;
        for (int c : Codeword) Value = PlainMultiply(Value, x) ^ c;
        S.push_back(Value);
    }
    return S;
}

TIntegerArray Coefficients(TGenericGFPoly* P) { return P->GetCoefficients(); }

class Field : public ::testing::Test {
protected:
    TGenericGF QRField = TGenericGF::CreateQRCodeField256();
    TGenericGF* F = &QRField;
    TGenericGFPoly* Poly(TIntegerArray C) { return TGenericGFPoly::Create(F, std::move(C)); }
};

// ---- the field ----

TEST_F(Field, ExponentAndLogarithmTables) {
    const auto Exp = F->ExpTable();
    const auto Log = F->LogTable();
    ASSERT_EQ(Exp.size(), 256u);
    const TIntegerArray Head = {1, 2, 4, 8, 16, 32, 64, 128, 29, 58, 116, 232, 205, 135, 19, 38};
    EXPECT_EQ(TIntegerArray(Exp.begin(), Exp.begin() + 16), Head);
    EXPECT_EQ(TIntegerArray(Exp.begin() + 250, Exp.end()), (TIntegerArray{108, 216, 173, 71, 142, 1}));
    EXPECT_EQ(Log[0], 0);
    EXPECT_EQ(Log[1], 0);  // not 255: a^255 = 1 must not overwrite it
    EXPECT_EQ(Log[2], 1);
    EXPECT_EQ(Log[3], 25);
    EXPECT_EQ(Log[29], 8);
    for (int i = 0; i < 255; ++i) EXPECT_EQ(Log[Exp[i]], i) << i;
    EXPECT_EQ(F->Exp(8), 29);
}

TEST_F(Field, ProductsAndInverses) {
    EXPECT_EQ(F->Multiply(2, 128), 29);
    EXPECT_EQ(F->Multiply(3, 7), 9);
    EXPECT_EQ(F->Multiply(255, 255), 226);
    EXPECT_EQ(F->Inverse(2), 142);
    EXPECT_EQ(F->Inverse(1), 1);
    EXPECT_EQ(F->Inverse(0), 0);
    EXPECT_EQ(F->Multiply(0, 77), 0);
    EXPECT_EQ(F->Multiply(77, 0), 0);
    EXPECT_EQ(TGenericGF::AddOrSubtract(0x53, 0xCA), 0x99);
    for (int a = 1; a < 256; ++a) ASSERT_EQ(F->Multiply(a, F->Inverse(a)), 1) << a;
}

TEST_F(Field, EveryProductMatchesTheCarryLessProduct) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) ASSERT_EQ(F->Multiply(a, b), PlainMultiply(a, b)) << a << " * " << b;
}

// ---- polynomials ----

struct CreateCase {
    TIntegerArray Given;
    TIntegerArray Kept;
    int Degree;
};

class PolyCreate : public Field, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(PolyCreate, LeadingZerosAreRemoved) {
    TGenericGFPoly* P = Poly(GetParam().Given);
    EXPECT_EQ(Coefficients(P), GetParam().Kept);
    EXPECT_EQ(P->GetDegree(), GetParam().Degree);
    EXPECT_EQ(P->IsZero(), GetParam().Kept == TIntegerArray{0});
}

INSTANTIATE_TEST_SUITE_P(Coefficients, PolyCreate,
                         ::testing::Values(CreateCase{{0, 0, 5, 1}, {5, 1}, 1},  //
                                           CreateCase{{0, 0, 0}, {0}, 0},        //
                                           CreateCase{{7}, {7}, 0},              //
                                           CreateCase{{0}, {0}, 0},              //
                                           CreateCase{{3, 0, 0}, {3, 0, 0}, 2}));

TEST_F(Field, CoefficientsByDegree) {
    TGenericGFPoly* P = Poly({5, 1});
    EXPECT_EQ(P->GetCoefficient(0), 1);
    EXPECT_EQ(P->GetCoefficient(1), 5);
}

TEST_F(Field, AddOrSubtract) {
    EXPECT_TRUE(Poly({1, 2, 3})->AddOrSubtract(Poly({1, 2, 3}))->IsZero());
    EXPECT_EQ(Coefficients(Poly({1, 2})->AddOrSubtract(Poly({5, 1, 2}))), (TIntegerArray{5, 0, 0}));
    EXPECT_EQ(Coefficients(Poly({5, 1, 2})->AddOrSubtract(Poly({1, 2}))), (TIntegerArray{5, 0, 0}));
    EXPECT_EQ(Coefficients(Poly({1, 2, 3})->AddOrSubtract(Poly({1, 7, 3}))), (TIntegerArray{5, 0}));

    TGenericGFPoly* P = Poly({4, 9});
    EXPECT_EQ(F->GetZero()->AddOrSubtract(P), P);  // the operand itself, no new polynomial
    EXPECT_EQ(P->AddOrSubtract(F->GetZero()), P);
}

TEST_F(Field, Multiply) {
    EXPECT_EQ(Coefficients(Poly({1, 1})->Multiply(Poly({1, 2}))), (TIntegerArray{1, 3, 2}));
    EXPECT_EQ(Poly({1, 1})->Multiply(F->GetZero()), F->GetZero());
    EXPECT_EQ(F->GetZero()->Multiply(Poly({1, 1})), F->GetZero());
}

TEST_F(Field, MultiplyByMonomialAndBuildMonomial) {
    EXPECT_EQ(Coefficients(Poly({1, 3})->MultiplyByMonomial(2, 1)), (TIntegerArray{1, 3, 0, 0}));
    EXPECT_EQ(Coefficients(Poly({1, 3})->MultiplyByMonomial(1, 2)), (TIntegerArray{2, 6, 0}));
    EXPECT_EQ(Poly({1, 3})->MultiplyByMonomial(2, 0), F->GetZero());
    EXPECT_EQ(Poly({1, 3})->MultiplyByMonomial(-1, 1), nullptr);

    EXPECT_EQ(Coefficients(F->BuildMonomial(3, 9)), (TIntegerArray{9, 0, 0, 0}));
    EXPECT_EQ(Coefficients(F->BuildMonomial(0, 9)), (TIntegerArray{9}));
    EXPECT_EQ(F->BuildMonomial(-1, 9), nullptr);
    EXPECT_EQ(F->BuildMonomial(4, 0), F->GetZero());
}

TEST_F(Field, Divide) {
    TGenericGFPoly* Divisor = Poly({1, 3, 2});
    TGenericGFPolyArray QR = Poly({1, 0, 0})->Divide(Divisor);
    ASSERT_EQ(QR.size(), 2u);
    EXPECT_EQ(Coefficients(QR[0]), (TIntegerArray{1}));
    EXPECT_EQ(Coefficients(QR[1]), (TIntegerArray{3, 2}));

    TGenericGFPoly* Small = Poly({5});
    QR = Small->Divide(Poly({1, 3}));
    ASSERT_EQ(QR.size(), 2u);
    EXPECT_EQ(QR[0], F->GetZero());
    EXPECT_EQ(QR[1], Small);  // the dividend itself

    EXPECT_TRUE(Poly({1, 2})->Divide(F->GetZero()).empty());
}

TEST_F(Field, DivisionIsExactForRandomPolynomials) {
    std::mt19937 Rng(7);
    auto Random = [&](int Degree) {
        TIntegerArray C(static_cast<std::size_t>(Degree) + 1);
        for (int& c : C) c = static_cast<int>(Rng() % 256);
        C[0] = 1 + static_cast<int>(Rng() % 255);
        return Poly(C);
    };
    for (int Trial = 0; Trial < 200; ++Trial) {
        TGenericGFPoly* A = Random(static_cast<int>(Rng() % 20));
        TGenericGFPoly* B = Random(static_cast<int>(Rng() % 8));
        const TGenericGFPolyArray QR = A->Divide(B);
        ASSERT_EQ(QR.size(), 2u);
        EXPECT_TRUE(QR[1]->IsZero() || QR[1]->GetDegree() < B->GetDegree());
        // A = Q * B + R
        EXPECT_EQ(Coefficients(QR[0]->Multiply(B)->AddOrSubtract(QR[1])), Coefficients(A)) << "trial " << Trial;
    }
}

TEST_F(Field, OperandsOfAnotherFieldAreRefused) {
    TGenericGF Other = TGenericGF::CreateQRCodeField256();
    TGenericGFPoly* Foreign = TGenericGFPoly::Create(&Other, {1, 2});
    TGenericGFPoly* P = Poly({3, 4});
    EXPECT_EQ(P->AddOrSubtract(Foreign), nullptr);
    EXPECT_EQ(P->AddOrSubtract(nullptr), nullptr);
    EXPECT_EQ(P->Multiply(Foreign), nullptr);
    EXPECT_TRUE(P->Divide(Foreign).empty());
}

// Polynomials made over a field by every kind of code (before its tables exist, by the
// encoder, by arithmetic) stay usable until the field goes and are freed with it; the sanitizer
// run of this suite reports any polynomial leaked or freed twice.
TEST(FieldOwnership, PolynomialsLiveAsLongAsTheirField) {
    TGenericGF Field = TGenericGF::CreateQRCodeField256();
    TGenericGF* F = &Field;
    TGenericGFPoly* Early = TGenericGFPoly::Create(F, {1, 2});
    TGenericGFPoly* Generator = nullptr;
    {
        TReedSolomonEncoder Encoder(F);
        TIntegerArray Block = {16, 32, 12, 86, 97, 128, 236, 17, 236, 17, 236, 17, 236, 17, 236, 17,
                               0,  0,  0,  0,  0,  0,   0,   0,  0,   0};
        Encoder.Encode(Block, 10);
        Generator = Encoder.BuildGenerator(2);
    }
    TGenericGFPoly* A = TGenericGFPoly::Create(F, {1, 0, 0, 7, 3});
    const TGenericGFPolyArray QR = A->Divide(TGenericGFPoly::Create(F, {1, 3, 2}));
    TGenericGFPoly* Sum = A->Multiply(A)->AddOrSubtract(A);
    // Everything is still there after the encoder that made some of it is gone.
    EXPECT_EQ(Early->GetCoefficients(), (TIntegerArray{1, 2}));
    EXPECT_EQ(Generator->GetCoefficients(), (TIntegerArray{1, 3, 2}));
    ASSERT_EQ(QR.size(), 2u);
    EXPECT_EQ(QR[0]->Multiply(TGenericGFPoly::Create(F, {1, 3, 2}))->AddOrSubtract(QR[1])->GetCoefficients(),
              A->GetCoefficients());
    EXPECT_EQ(Sum->GetDegree(), 8);
}

// ---- Reed-Solomon ----

class ReedSolomon : public Field {
protected:
    TReedSolomonEncoder Encoder{F};

    // The error-correction codewords of Data; the tail starts as a sentinel so every written entry shows.
    TIntegerArray EC(const TIntegerArray& Data, int ECBytes) {
        TIntegerArray Block = Data;
        Block.resize(Data.size() + static_cast<std::size_t>(ECBytes), -7);
        Encoder.Encode(Block, ECBytes);
        EXPECT_EQ(TIntegerArray(Block.begin(), Block.begin() + static_cast<std::ptrdiff_t>(Data.size())), Data)
            << "data entries changed";
        return TIntegerArray(Block.begin() + static_cast<std::ptrdiff_t>(Data.size()), Block.end());
    }
};

TEST_F(ReedSolomon, WorkedExamples) {
    EXPECT_EQ(EC({16, 32, 12, 86, 97, 128, 236, 17, 236, 17, 236, 17, 236, 17, 236, 17}, 10),
              (TIntegerArray{165, 36, 212, 193, 237, 54, 199, 135, 44, 85}));
    EXPECT_EQ(EC({1, 2, 3}, 4), (TIntegerArray{139, 243, 142, 246}));
    EXPECT_EQ(EC({65}, 2), (TIntegerArray{195, 130}));
    EXPECT_EQ(EC({0x40, 0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                  0x11, 0xEC},
                 7),
              (TIntegerArray{0xF9, 0xAA, 0x03, 0xCB, 0x06, 0xE3, 0xD2}));
}

TEST_F(ReedSolomon, NothingToEncodeLeavesTheArrayUnchanged) {
    const TIntegerArray Cases[] = {{1, 2, 3, 4}, {1, 2}, {9}};
    for (const TIntegerArray& Original : Cases)
        for (int ECBytes : {0, -1, static_cast<int>(Original.size()), static_cast<int>(Original.size()) + 1}) {
            TIntegerArray Block = Original;
            Encoder.Encode(Block, ECBytes);
            EXPECT_EQ(Block, Original) << "ECBytes " << ECBytes;
        }
}

TEST_F(ReedSolomon, ZeroDataAndLeadingZeros) {
    EXPECT_EQ(EC({0, 0, 0, 0, 0}, 7), TIntegerArray(7, 0));
    EXPECT_EQ(EC({0, 0, 1, 2, 3}, 4), EC({1, 2, 3}, 4));
}

TEST_F(ReedSolomon, ARemainderWithLeadingZerosIsRightAligned) {
    // Two data codewords whose remainder has a zero leading coefficient.
    for (int a = 1; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const TIntegerArray Tail = EC({a, b}, 4);
            if (Tail[0] != 0 || Tail == TIntegerArray(4, 0)) continue;
            TIntegerArray Codeword = {a, b};
            Codeword.insert(Codeword.end(), Tail.begin(), Tail.end());
            EXPECT_EQ(Syndromes(Codeword, 4), std::vector<int>(4, 0)) << a << ", " << b;
            return;
        }
    FAIL() << "no remainder with a leading zero found";
}

TEST_F(ReedSolomon, GeneratorPolynomials) {
    EXPECT_EQ(Coefficients(Encoder.BuildGenerator(1)), (TIntegerArray{1, 1}));
    EXPECT_EQ(Coefficients(Encoder.BuildGenerator(2)), (TIntegerArray{1, 3, 2}));
    EXPECT_EQ(Coefficients(Encoder.BuildGenerator(3)), (TIntegerArray{1, 7, 14, 8}));
    EXPECT_EQ(Coefficients(Encoder.BuildGenerator(7)), (TIntegerArray{1, 127, 122, 154, 164, 11, 68, 117}));

    auto Exponents = [&](int Degree) {
        TIntegerArray E;
        for (int c : Encoder.BuildGenerator(Degree)->GetCoefficients()) E.push_back(F->LogTable()[c]);
        return E;
    };
    EXPECT_EQ(Exponents(7), (TIntegerArray{0, 87, 229, 146, 149, 238, 102, 21}));
    EXPECT_EQ(Exponents(10), (TIntegerArray{0, 251, 67, 46, 61, 118, 70, 64, 94, 32, 45}));
}

TEST_F(ReedSolomon, GeneratorsAreCachedAndExtendedByAppending) {
    TGenericGFPoly* One = Encoder.BuildGenerator(0);
    EXPECT_EQ(Coefficients(One), (TIntegerArray{1}));
    TGenericGFPoly* Seven = Encoder.BuildGenerator(7);
    TGenericGFPoly* Ten = Encoder.BuildGenerator(10);
    TGenericGFPoly* Nine = Encoder.BuildGenerator(9);  // made on the way to 10
    // Each degree is one object, built once: asking again gives it back.
    EXPECT_EQ(Encoder.BuildGenerator(7), Seven);
    EXPECT_EQ(Encoder.BuildGenerator(10), Ten);
    EXPECT_EQ(Encoder.BuildGenerator(0), One);
    // Each entry is the one before times its linear factor: degree 10 = degree 9 times (x + a^9).
    EXPECT_EQ(Coefficients(Nine->Multiply(TGenericGFPoly::Create(F, {1, F->Exp(9)}))), Coefficients(Ten));
}

// The long division of the error-correction codewords, as polynomials over the field: the data
// shifted up by x^ECBytes, divided by the generator made factor by factor; the remainder's
// coefficients right-aligned in ECBytes codewords.
TIntegerArray DividedEC(TGenericGF* F, const TIntegerArray& Data, int ECBytes) {
    TGenericGFPoly* Generator = TGenericGFPoly::Create(F, {1});
    for (int d = 0; d < ECBytes; ++d) Generator = Generator->Multiply(TGenericGFPoly::Create(F, {1, PlainPower(d)}));
    const TGenericGFPolyArray QR = TGenericGFPoly::Create(F, Data)->MultiplyByMonomial(ECBytes, 1)->Divide(Generator);
    const TIntegerArray& R = QR.at(1)->GetCoefficients();
    TIntegerArray EC(static_cast<std::size_t>(ECBytes), 0);
    if (!QR[1]->IsZero()) std::copy(R.begin(), R.end(), EC.end() - static_cast<std::ptrdiff_t>(R.size()));
    return EC;
}

// Every block shape of the version table, and counts on both sides of the 30 whose multiples
// are made at compile time up to the most the field allows, with random data: the shift
// register gives the long division's codewords, the codeword has zero syndromes, and the
// pipeline's ComputeECCodewords gives the same.
TEST_F(ReedSolomon, ShiftRegisterGivesTheLongDivisionsCodewords) {
    std::set<std::pair<int, int>> Shapes;
    const TErrorCorrectionLevel Levels[] = {LevelL(), LevelM(), LevelQ(), LevelH()};
    for (int v = 1; v <= 40; ++v)
        for (const TErrorCorrectionLevel& Level : Levels) {
            const TECBlocks& Layout = TVersion::GetVersionForNumber(v)->GetECBlocksForLevel(Level);
            for (const TECB& Group : Layout.GetECBlocks())
                Shapes.insert({Group.GetDataCodewords(), Layout.GetECCodewordsPerBlock()});
        }
    for (const int ECBytes : {1, 2, 5, 29, 31, 32, 33, 64, 255}) Shapes.insert({20, ECBytes});
    std::mt19937 Rng(11);
    for (const auto& [Data, ECBytes] : Shapes) {
        TIntegerArray Block(static_cast<std::size_t>(Data));
        for (int& c : Block) c = static_cast<int>(Rng() % 256);
        const TIntegerArray Tail = EC(Block, ECBytes);
        ASSERT_EQ(Tail, DividedEC(F, Block, ECBytes)) << Data << " data, " << ECBytes << " EC";

        TIntegerArray Codeword = Block;
        Codeword.insert(Codeword.end(), Tail.begin(), Tail.end());
        ASSERT_EQ(Syndromes(Codeword, ECBytes), std::vector<int>(static_cast<std::size_t>(ECBytes), 0))
            << Data << " data, " << ECBytes << " EC";

        const TByteArray Computed = ComputeECCodewords(TByteArray(Block.begin(), Block.end()), ECBytes);
        EXPECT_EQ(TIntegerArray(Computed.begin(), Computed.end()), Tail) << Data << " data, " << ECBytes << " EC";
    }
}

// More error-correction codewords than the field has distinct roots for (255) make no block.
TEST_F(ReedSolomon, MoreThan255ErrorCorrectionCodewordsAreNoBlock) {
    EXPECT_TRUE(ComputeECCodewords(TByteArray(20, 1), 256).empty());
    TIntegerArray Block(300, 1);
    Encoder.Encode(Block, 256);
    EXPECT_EQ(Block, TIntegerArray(300, 1));
    std::vector<std::uint8_t> Codewords(256, 7);
    Encoder.Encode(std::vector<std::uint8_t>(20, 1), Codewords);
    EXPECT_EQ(Codewords, std::vector<std::uint8_t>(256, 7));
}

}  // namespace
