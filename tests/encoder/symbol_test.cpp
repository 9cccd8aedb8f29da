// Whole symbols: the two complete examples, capacity edges and the record.

#include <gtest/gtest.h>

#include <fstream>

#include "grid/qrcodegrid.h"
#include "testing.h"

using namespace qr;

namespace {

std::vector<std::string> ReadFixture(const std::string& Name) {
    std::ifstream In(std::string(FIXTURE_DIR) + "/" + Name);
    std::vector<std::string> Lines;
    for (std::string Line; std::getline(In, Line);)
        if (!Line.empty()) Lines.push_back(Line);
    return Lines;
}

struct Example {
    std::u16string Text;
    std::vector<int> Codewords;
    std::vector<int> Penalties;
    int Mask;
};

class CompleteExample : public ::testing::TestWithParam<Example> {};

// Rebuilds each mask's trial the plain way (a full build) and scores it.
std::vector<int> PenaltiesOfAllMasks(std::u16string_view Text, int Option) {
    int Version = 0;
    const std::vector<int> Codewords = qrtest::FinalCodewords(Text, Option, Version);
    TBitArray Final;
    for (int c : Codewords) Final.AppendBits(c, 8);
    std::vector<int> Penalties;
    for (int Mask = 0; Mask < 8; ++Mask) {
        const int D = 17 + 4 * Version;
        TByteMatrix M(D, D);
        TMatrixUtil().BuildMatrix(Final, LevelL(), Version, Mask, M);
        Penalties.push_back(qrtest::Encoder::MaskPenalty(M));
    }
    return Penalties;
}

TEST_P(CompleteExample, CodewordsPenaltiesAndMask) {
    const Example& E = GetParam();
    int Version = 0;
    EXPECT_EQ(qrtest::FinalCodewords(E.Text, qrUTF8BOM, Version), E.Codewords);
    EXPECT_EQ(Version, 1);
    EXPECT_EQ(PenaltiesOfAllMasks(E.Text, qrUTF8BOM), E.Penalties);

    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(E.Text, qrUTF8BOM, LevelL(), Record);
    EXPECT_FALSE(Encoder.EncoderError());
    EXPECT_EQ(Record.Mode(), qmByte);
    EXPECT_EQ(Record.Version(), 1);
    EXPECT_EQ(Record.MaskPattern(), E.Mask);
    ASSERT_NE(Record.Matrix(), nullptr);
    EXPECT_EQ(Record.Matrix()->Width(), 21);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CompleteExample,
    ::testing::Values(
        Example{u"",
                {0x40, 0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0xF9, 0xAA, 0x03, 0xCB, 0x06, 0xE3, 0xD2},
                {356, 433, 388, 377, 550, 502, 360, 413},
                0},
        Example{u"Ol\u00E1",
                {0x40, 0x44, 0xF6, 0xCC, 0x3A, 0x10, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0xF0, 0x0B, 0x09, 0xEA, 0x8B, 0x0F, 0x64},
                {389, 416, 354, 379, 448, 432, 361, 453},
                2}));

TEST(Symbol, EmptyTextMatrixIsTheFixture) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(u"", qrUTF8BOM, LevelL(), Record);
    ASSERT_NE(Record.Matrix(), nullptr);
    EXPECT_EQ(qrtest::MatrixLines(*Record.Matrix()), ReadFixture("empty_utf8bom.txt"));
}

}  // namespace
