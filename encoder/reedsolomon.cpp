#include "reedsolomon.h"

#include <algorithm>
#include <array>

namespace qr {

namespace {

// The QR field's exponents (doubled, so a sum of two logarithms needs no reduction) and
// logarithms, computed at compile time the way TGenericGF::BuildTables computes them.
struct QRFieldTables {
    std::array<std::uint8_t, 512> Exp{};
    std::array<std::uint8_t, 256> Log{};
};

constexpr QRFieldTables QRField = [] {
    QRFieldTables t;
    int x = 1;
    for (int i = 0; i < 255; ++i) {
        t.Exp[static_cast<std::size_t>(i)] = t.Exp[static_cast<std::size_t>(i + 255)] = static_cast<std::uint8_t>(x);
        t.Log[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(i);
        x <<= 1;
        if (x >= 256) x = (x ^ 285) & 255;
    }
    return t;
}();

constexpr std::uint8_t QRMultiply(std::uint8_t a, std::uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return QRField.Exp[static_cast<std::size_t>(QRField.Log[a] + QRField.Log[b])];
}

}  // namespace

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

namespace {

// Fills Rows (32 rows of (ECBytes + 7) / 8 words, all zero) with the multiples of the generator
// of ECBytes codewords that TQRBlockCoder reads, for ECBytes from 0 to 255.
constexpr void FillMultiples(int ECBytes, std::span<std::uint64_t> Rows) {
    if (ECBytes == 0) return;
    // The generator (x + a^0)(x + a^1)...(x + a^(e-1)), highest degree first, leading 1 included.
    std::array<std::uint8_t, 256> Generator{};
    Generator[0] = 1;
    for (int d = 0; d < ECBytes; ++d) {
        const std::uint8_t Root = QRField.Exp[static_cast<std::size_t>(d)];
        for (std::size_t j = static_cast<std::size_t>(d) + 1; j > 0; --j)
            Generator[j] = static_cast<std::uint8_t>(Generator[j] ^ QRMultiply(Generator[j - 1], Root));
    }
    // Coefficient j of a row sits in bits 8 (j mod 8) up of word j / 8. The rows of 1, 2, 4, 8
    // (low half) and 16, 32, 64, 128 (high half) come from field products; every other row is
    // the sum (exclusive-or) of two rows of its half already made, since multiplication
    // distributes over addition.
    const auto Words = static_cast<std::size_t>((ECBytes + 7) / 8);
    auto Row = [&](std::size_t Half, std::size_t k) { return Rows.subspan((16 * Half + k) * Words, Words); };
    for (std::size_t Half = 0; Half < 2; ++Half) {
        for (std::size_t Bit = 1; Bit < 16; Bit <<= 1) {
            const auto Factor = static_cast<std::uint8_t>(Bit << (4 * Half));
            for (std::size_t j = 0; j < static_cast<std::size_t>(ECBytes); ++j)
                Row(Half, Bit)[j / 8] |= std::uint64_t{QRMultiply(Factor, Generator[j + 1])} << (8 * (j % 8));
        }
        for (std::size_t k = 3; k < 16; ++k) {
            const std::size_t Low = k & (k - 1), High = k ^ Low;  // k less its lowest set bit, and that bit
            if (Low == 0) continue;
            for (std::size_t w = 0; w < Words; ++w) Row(Half, k)[w] = Row(Half, Low)[w] ^ Row(Half, High)[w];
        }
    }
}

// The multiples for every number of codewords up to TabledECBytes, each in a slot wide enough
// for the largest.
constexpr std::size_t TabledWords = (TQRBlockCoder::TabledECBytes + 7) / 8;
constexpr auto TabledMultiples = [] {
    std::array<std::array<std::uint64_t, 32 * TabledWords>, TQRBlockCoder::TabledECBytes + 1> t{};
    for (int e = 0; e <= TQRBlockCoder::TabledECBytes; ++e) FillMultiples(e, t[static_cast<std::size_t>(e)]);
    return t;
}();

}  // namespace

TQRBlockCoder::TQRBlockCoder(int ECBytes) : FECBytes(std::clamp(ECBytes, 0, 255)), FWords((FECBytes + 7) / 8) {
    if (FECBytes <= TabledECBytes) return;
    FOwnMultiples.assign(32 * static_cast<std::size_t>(FWords), 0);
    FillMultiples(FECBytes, FOwnMultiples);
}

const std::uint64_t* TQRBlockCoder::Multiples() const {
    return FECBytes <= TabledECBytes ? TabledMultiples[static_cast<std::size_t>(FECBytes)].data() : FOwnMultiples.data();
}

void TQRBlockCoder::Encode(std::span<const std::uint8_t> Data, std::span<std::uint8_t> EC) const {
    // The remainder so far, laid out as the rows are: its highest coefficient in the low byte
    // of word 0.
    std::array<std::uint64_t, 32> Register{};
    const auto Words = static_cast<std::size_t>(FWords);
    if (Words == 0) return;
    const std::uint64_t* const Rows = Multiples();
    for (const std::uint8_t d : Data) {
        const std::size_t Feedback = (d ^ Register[0]) & 0xFF;
        // Shift the register one codeword towards the highest degree, then add the multiple.
        const std::uint64_t* Low = Rows + (Feedback & 15) * Words;
        const std::uint64_t* High = Rows + (16 + (Feedback >> 4)) * Words;
        for (std::size_t w = 0; w + 1 < Words; ++w)
            Register[w] = ((Register[w] >> 8) | (Register[w + 1] << 56)) ^ Low[w] ^ High[w];
        Register[Words - 1] = (Register[Words - 1] >> 8) ^ Low[Words - 1] ^ High[Words - 1];
    }
    const std::size_t n = std::min(EC.size(), static_cast<std::size_t>(FECBytes));
    for (std::size_t j = 0; j < n; ++j) EC[j] = static_cast<std::uint8_t>(Register[j / 8] >> (8 * (j % 8)));
}

}  // namespace qr
