// Whole symbols pinned against independent encoders: for a spread of versions (2 to 40, the
// count-field switch at 27 in every mode), levels, modes and masks, the matrix segno and
// python3-qrcode make for the same text, version, level and mask, and the eight penalty scores
// that decide the mask (fixtures/symbols.txt, written by make_symbols.py).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "testing.h"

using namespace qr;

namespace {

struct Pinned {
    std::string Name;
    char Level;
    std::string Kind;  // digits, alnum or ascii
    std::uint32_t Seed;
    int Length;
    int Version;
    int Mask;
    std::array<int, 8> Penalties;
    std::uint64_t Hash;
};

std::vector<Pinned> ReadTable() {
    std::ifstream In(std::string(FIXTURE_DIR) + "/symbols.txt");
    std::vector<Pinned> Table;
    for (std::string Line; std::getline(In, Line);) {
        if (Line.empty() || Line[0] == '#') continue;
        std::istringstream Fields(Line);
        Pinned P;
        Fields >> P.Name >> P.Level >> P.Kind >> P.Seed >> P.Length >> P.Version >> P.Mask;
        for (int& Penalty : P.Penalties) Fields >> Penalty;
        Fields >> std::hex >> P.Hash;
        if (Fields) Table.push_back(P);
    }
    return Table;
}

TErrorCorrectionLevel LevelOf(char Letter) {
    switch (Letter) {
        case 'M': return LevelM();
        case 'Q': return LevelQ();
        case 'H': return LevelH();
        default: return LevelL();
    }
}

// The fixture script's text generator: a 32-bit linear congruential sequence over the alphabet.
std::u16string TextOf(const Pinned& P) {
    std::u16string Alphabet;
    if (P.Kind == "digits") Alphabet = u"0123456789";
    else if (P.Kind == "alnum") Alphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    else for (char16_t c = 0x20; c < 0x7F; ++c) Alphabet += c;
    std::uint32_t x = P.Seed;
    std::u16string Text;
    for (int i = 0; i < P.Length; ++i) {
        x = x * 1664525u + 1013904223u;
        Text += Alphabet[(x >> 16) % Alphabet.size()];
    }
    return Text;
}

int OptionOf(const Pinned& P) {
    return P.Kind == "digits" ? qrNumeric : P.Kind == "alnum" ? qrAlphanumeric : qrUTF8BOM;
}

// FNV-1a, 64 bits, over the rows as '1'/'0' characters, each followed by a line feed.
std::uint64_t Fnv1a(const TByteMatrix& M) {
    std::uint64_t h = 0xCBF29CE484222325u;
    auto Add = [&](char c) { h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3u; };
    for (int y = 0; y < M.Height(); ++y) {
        for (int x = 0; x < M.Width(); ++x) Add(M.Get(x, y) == 1 ? '1' : '0');
        Add('\n');
    }
    return h;
}

class PinnedSymbol : public ::testing::TestWithParam<Pinned> {};

TEST_P(PinnedSymbol, EqualsTheIndependentEncodersMatrix) {
    const Pinned& P = GetParam();
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(TextOf(P), OptionOf(P), LevelOf(P.Level), Record);
    EXPECT_FALSE(Encoder.EncoderError());
    EXPECT_EQ(Record.Version(), P.Version);
    EXPECT_EQ(Record.MaskPattern(), P.Mask);
    ASSERT_NE(Record.Matrix(), nullptr);
    EXPECT_EQ(Fnv1a(*Record.Matrix()), P.Hash) << "the symbol differs from segno's";
}

TEST_P(PinnedSymbol, PenaltiesOfTheEightMasks) {
    const Pinned& P = GetParam();
    const std::vector<int> Expected(P.Penalties.begin(), P.Penalties.end());
    EXPECT_EQ(qrtest::PenaltiesOfAllMasks(TextOf(P), OptionOf(P), LevelOf(P.Level)), Expected);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PinnedSymbol, ::testing::ValuesIn(ReadTable()), [](const auto& Info) {
    std::string Name = Info.param.Name;
    for (char& c : Name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return Name;
});

// A missing or unreadable table would instantiate no test at all; and the chosen masks of the
// table cover all eight, so that each mask's pattern is pinned in a whole symbol.
TEST(PinnedSymbols, TableIsPresentAndCoversEveryMask) {
    std::array<bool, 8> Chosen{};
    for (const Pinned& P : ReadTable()) Chosen[static_cast<std::size_t>(P.Mask & 7)] = true;
    for (int Mask = 0; Mask < 8; ++Mask) EXPECT_TRUE(Chosen[static_cast<std::size_t>(Mask)]) << Mask;
}

}  // namespace
