// Reed-Solomon error-correction codewords (ISO/IEC 18004:2015 7.5.2).

#include "reedsolomon.h"

#include <algorithm>
#include <array>

namespace qr {

namespace {

// The generator of Degree codewords, highest degree first, its leading 1 included: the product
// of the factors (x + a^d), d = 0 .. Degree - 1, each multiplied in as it comes.
constexpr std::array<std::uint8_t, TReedSolomonEncoder::MaxECBytes + 1> GeneratorCoefficients(int Degree) {
    std::array<std::uint8_t, TReedSolomonEncoder::MaxECBytes + 1> g{};
    g[0] = 1;
    for (int d = 0; d < Degree; ++d) {
        const int Root = TGenericGF::Exp(d + TGenericGF::GetGeneratorBase());
        for (auto j = static_cast<std::size_t>(d) + 1; j > 0; --j)
            g[j] = static_cast<std::uint8_t>(TGenericGF::AddOrSubtract(g[j], TGenericGF::Multiply(g[j - 1], Root)));
    }
    return g;
}

// The shift register of Encode holds the remainder so far with its highest coefficient in the
// low byte of word 0, eight coefficients to a 64-bit word. Each data codeword's feedback f adds
// f times the generator (without its leading 1) in that layout, read as the sum of two rows:
// row f & 0x0F of the low half (the multiples by 0 to 15) and row f >> 4 of the high half (the
// multiples by 0x00, 0x10, ... 0xF0). In the field f is the sum of f & 0x0F and f & 0xF0, and
// multiplication distributes over that sum.
//
// Fills Rows (32 rows of (ECBytes + 7) / 8 words, all zero) for ECBytes from 1 to MaxECBytes.
constexpr void FillMultiples(int ECBytes, std::span<std::uint64_t> Rows) {
    const auto Generator = GeneratorCoefficients(ECBytes);
    const auto Words = static_cast<std::size_t>((ECBytes + 7) / 8);
    auto Row = [&](std::size_t Half, std::size_t k) { return Rows.subspan((16 * Half + k) * Words, Words); };
    for (std::size_t Half = 0; Half < 2; ++Half) {
        // The rows of 1, 2, 4, 8 (times 16 in the high half) from field products; every other row
        // is the sum of two rows already made: k less its lowest set bit, and that bit.
        for (std::size_t Bit = 1; Bit < 16; Bit <<= 1) {
            const auto Factor = static_cast<int>(Bit << (4 * Half));
            for (std::size_t j = 0; j < static_cast<std::size_t>(ECBytes); ++j)
                Row(Half, Bit)[j / 8] |= std::uint64_t(TGenericGF::Multiply(Factor, Generator[j + 1])) << (8 * (j % 8));
        }
        for (std::size_t k = 3; k < 16; ++k) {
            const std::size_t Low = k & (k - 1), High = k ^ Low;
            if (Low == 0) continue;
            for (std::size_t w = 0; w < Words; ++w) Row(Half, k)[w] = Row(Half, Low)[w] ^ Row(Half, High)[w];
        }
    }
}

constexpr std::size_t TabledWords = (TReedSolomonEncoder::TabledECBytes + 7) / 8;
constexpr auto TabledMultiples = [] {
    std::array<std::array<std::uint64_t, 32 * TabledWords>, TReedSolomonEncoder::TabledECBytes + 1> t{};
    for (int e = 1; e <= TReedSolomonEncoder::TabledECBytes; ++e) FillMultiples(e, t[static_cast<std::size_t>(e)]);
    return t;
}();

}  // namespace

TGenericGFPoly* TReedSolomonEncoder::BuildGenerator(int Degree) {
    while (static_cast<int>(FCachedGenerators.size()) <= Degree) {
        const auto d = static_cast<std::ptrdiff_t>(FCachedGenerators.size());
        const auto Coefficients = GeneratorCoefficients(static_cast<int>(d));
        FCachedGenerators.push_back(
            TGenericGFPoly::Create(FField, TIntegerArray(Coefficients.begin(), Coefficients.begin() + d + 1)));
    }
    return FCachedGenerators[static_cast<std::size_t>(Degree)];
}

const std::uint64_t* TReedSolomonEncoder::Multiples(int ECBytes) {
    if (ECBytes <= TabledECBytes) return TabledMultiples[static_cast<std::size_t>(ECBytes)].data();
    if (FOwnECBytes != ECBytes) {
        FOwnMultiples.assign(32 * static_cast<std::size_t>((ECBytes + 7) / 8), 0);
        FillMultiples(ECBytes, FOwnMultiples);
        FOwnECBytes = ECBytes;
    }
    return FOwnMultiples.data();
}

void TReedSolomonEncoder::Encode(std::span<const std::uint8_t> Data, std::span<std::uint8_t> EC) {
    const int ECBytes = static_cast<int>(EC.size());
    if (ECBytes == 0 || ECBytes > MaxECBytes) return;
    // The long division of Data(x) x^n by the generator g (monic, degree n) takes, step by step,
    // the leading coefficient f of what is left and subtracts f g from it, shifted into place.
    // The register holds the n coefficients after the leading one of what is left, highest
    // first; the next data codeword plus the register's highest coefficient is the step's f,
    // and the step is the register shifted up one place less f times g without its leading 1
    // (which only cancels f). After the last data codeword the register is the remainder.
    std::array<std::uint64_t, (MaxECBytes + 7) / 8> Register{};
    const auto Words = static_cast<std::size_t>((ECBytes + 7) / 8);
    const std::uint64_t* const Rows = Multiples(ECBytes);
    for (const std::uint8_t d : Data) {
        const std::size_t Feedback = (d ^ Register[0]) & 0xFF;
        const std::uint64_t* Low = Rows + (Feedback & 15) * Words;
        const std::uint64_t* High = Rows + (16 + (Feedback >> 4)) * Words;
        for (std::size_t w = 0; w + 1 < Words; ++w)
            Register[w] = ((Register[w] >> 8) | (Register[w + 1] << 56)) ^ Low[w] ^ High[w];
        Register[Words - 1] = (Register[Words - 1] >> 8) ^ Low[Words - 1] ^ High[Words - 1];
    }
    for (std::size_t j = 0; j < EC.size(); ++j) EC[j] = static_cast<std::uint8_t>(Register[j / 8] >> (8 * (j % 8)));
}

void TReedSolomonEncoder::Encode(TIntegerArray& ToEncode, int ECBytes) {
    const int DataBytes = static_cast<int>(ToEncode.size()) - ECBytes;
    if (ECBytes <= 0 || ECBytes > MaxECBytes || DataBytes <= 0) return;
    const auto Tail = ToEncode.begin() + DataBytes;
    // Codewords are bytes: each entry's low 8 bits.
    const std::vector<std::uint8_t> Data(ToEncode.begin(), Tail);
    std::vector<std::uint8_t> EC(static_cast<std::size_t>(ECBytes));
    Encode(Data, EC);
    std::copy(EC.begin(), EC.end(), Tail);
}

}  // namespace qr
