// Whole symbols: the two complete examples, capacity edges and the record.

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

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

TEST_P(CompleteExample, CodewordsPenaltiesAndMask) {
    const Example& E = GetParam();
    const TCodewords C = AssembleCodewords(E.Text, qrUTF8BOM, LevelL());
    EXPECT_TRUE(C.ChecksPassed);
    ASSERT_NE(C.Version, nullptr);
    EXPECT_EQ(C.Version->GetVersionNumber(), 1);
    EXPECT_EQ(qrtest::Codewords(C.Bits), E.Codewords);
    EXPECT_EQ(qrtest::PenaltiesOfAllMasks(E.Text, qrUTF8BOM, LevelL()), E.Penalties);

    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(E.Text, qrUTF8BOM, LevelL(), Record);
    EXPECT_FALSE(Encoder.EncoderError());
    EXPECT_EQ(Record.Mode(), qmByte);
    EXPECT_EQ(Record.Version(), 1);
    EXPECT_EQ(Record.MaskPattern(), E.Mask);
    ASSERT_NE(Record.Matrix(), nullptr);
    // The symbol is these codewords built with that mask.
    TByteMatrix Built(21, 21);
    TMatrixUtil().BuildMatrix(C.Bits, LevelL(), 1, E.Mask, Built);
    EXPECT_EQ(qrtest::MatrixLines(*Record.Matrix()), qrtest::MatrixLines(Built));
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

namespace {

struct Capacity {
    const char* Name;
    std::u16string Text;
    int Option;
    int Version;  // 0: no version holds it
};

class CapacityEdge : public ::testing::TestWithParam<Capacity> {};

TEST_P(CapacityEdge, ChoosesTheSmallestVersionOrNone) {
    const Capacity& C = GetParam();
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(C.Text, C.Option, LevelL(), Record);
    if (C.Version == 0) {
        EXPECT_TRUE(Encoder.EncoderError());
        EXPECT_EQ(Record.Matrix(), nullptr);
        EXPECT_EQ(Record.Version(), -1);
    } else {
        EXPECT_FALSE(Encoder.EncoderError());
        EXPECT_EQ(Record.Version(), C.Version);
        ASSERT_NE(Record.Matrix(), nullptr);
        EXPECT_EQ(Record.Matrix()->Width(), 17 + 4 * C.Version);
    }
}

std::u16string Repeat(char16_t c, std::size_t n) { return std::u16string(n, c); }

INSTANTIATE_TEST_SUITE_P(
    Limits, CapacityEdge,
    ::testing::Values(Capacity{"bytes2953", Repeat(u'a', 2953), qrUTF8BOM, 40},
                      Capacity{"bytes2954", Repeat(u'a', 2954), qrUTF8BOM, 0},
                      Capacity{"bytes3000", Repeat(u'a', 3000), qrUTF8BOM, 0},
                      Capacity{"digits7089", Repeat(u'7', 7089), qrAuto, 40},
                      Capacity{"digits7090", Repeat(u'7', 7090), qrAuto, 0},
                      Capacity{"alnum4296", Repeat(u'Z', 4296), qrAuto, 40},
                      Capacity{"alnum4297", Repeat(u'Z', 4297), qrAuto, 0},
                      Capacity{"bytes17", Repeat(u'a', 17), qrUTF8BOM, 1},
                      Capacity{"bytes18", Repeat(u'a', 18), qrUTF8BOM, 2},
                      // 1200 units of three UTF-8 bytes each: 3600 bytes, more than any version holds.
                      Capacity{"euro1200", Repeat(u'\u20AC', 1200), qrUTF8BOM, 0},
                      // The byte-order mark counts: 2950 + 3 bytes fit, 2951 + 3 do not.
                      Capacity{"bom2953", Repeat(u'a', 2950), qrUTF8NoBOM, 40},
                      Capacity{"bom2954", Repeat(u'a', 2951), qrUTF8NoBOM, 0},
                      // Under qrAuto a last U+00FF keeps 2953 units one byte each; U+0100 turns
                      // them into 2957 bytes with the byte-order mark, too many.
                      Capacity{"latin1ff2953", Repeat(u'a', 2952) + u"\u00FF", qrAuto, 40},
                      Capacity{"u0100at2953", Repeat(u'a', 2952) + u"\u0100", qrAuto, 0},
                      // Count-field widths switch at versions 10 and 27: version 9 holds at most
                      // 230 bytes, version 26 at most 1367.
                      Capacity{"bytes230", Repeat(u'a', 230), qrUTF8BOM, 9},
                      Capacity{"bytes231", Repeat(u'a', 231), qrUTF8BOM, 10},
                      Capacity{"bytes1367", Repeat(u'a', 1367), qrUTF8BOM, 26},
                      Capacity{"bytes1368", Repeat(u'a', 1368), qrUTF8BOM, 27}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The standard's version-40 capacities of every level; the most each holds fits version 40 and
// one unit more fits nothing.
TEST(Symbol, MaxCountIsTheLimitOfVersion40AtEveryLevel) {
    const struct {
        TErrorCorrectionLevel Level;
        int Digits, Alnum, Bytes;
    } Limits[] = {{LevelL(), 7089, 4296, 2953},
                  {LevelM(), 5596, 3391, 2331},
                  {LevelQ(), 3993, 2420, 1663},
                  {LevelH(), 3057, 1852, 1273}};
    for (const auto& L : Limits)
        for (const auto& [Mode, Unit, Count] :
             {std::tuple{qmNumeric, u'7', L.Digits}, std::tuple{qmAlphanumeric, u'Z', L.Alnum},
              std::tuple{qmByte, u'a', L.Bytes}}) {
            EXPECT_EQ(TEncoder::MaxCount(Mode, L.Level), Count) << L.Level.Bits() << " " << Mode;
            for (const int n : {Count, Count + 1}) {
                TEncoder Encoder;
                TQRCode Record;
                Encoder.EncodeSymbol(Repeat(Unit, static_cast<std::size_t>(n)), qrAuto, L.Level, Record);
                EXPECT_EQ(Encoder.EncoderError(), n > Count) << L.Level.Bits() << " " << Mode << " " << n;
                EXPECT_EQ(Record.Version(), n > Count ? -1 : 40);
                EXPECT_EQ(Record.Matrix() != nullptr, n <= Count);
            }
        }
    EXPECT_EQ(TEncoder::MaxCount(qmByte), 2953);  // level L unless another is named
}

// Tens of millions of units are refused by their length alone, before any bit is built (some
// 89 million of these would need more bits than a bit array counts).
TEST(Symbol, FarTooLongTextIsRefusedBeforeAnyBitIsBuilt) {
    const std::u16string Euros(30'000'000, u'\u20AC');
    for (const int Option : {qrUTF8BOM, qrAuto}) {
        TEncoder Encoder;
        TQRCode Record;
        Encoder.EncodeSymbol(Euros, Option, LevelL(), Record);
        EXPECT_TRUE(Encoder.EncoderError()) << Option;
        EXPECT_EQ(Record.Matrix(), nullptr);
        EXPECT_EQ(Record.Version(), -1);
        EXPECT_EQ(Record.ECLevel(), nullptr);
    }
    EXPECT_EQ(TEncoder::MeasureSegment(Euros, qrUTF8BOM).Count, 90'000'000);
    EXPECT_EQ(TEncoder::MeasureSegment(Euros, qrAuto).Count, 90'000'003);  // with the byte-order mark
    EXPECT_EQ(TEncoder::MeasureSegment(Euros, qrISO88591).Count, 0);       // the filter keeps nothing: it fits

    TEncoder Encoder;  // the same for digits in numeric mode
    TQRCode Record;
    Encoder.EncodeSymbol(std::u16string(20'000'000, u'5'), qrAuto, LevelH(), Record);
    EXPECT_TRUE(Encoder.EncoderError());
    EXPECT_EQ(Record.Matrix(), nullptr);
}

TEST(Symbol, RecordKeepsOnlyWhatEncodingStores) {
    TEncoder Encoder;
    TQRCode Record;
    EXPECT_FALSE(Record.IsValid());  // no level copy yet
    Encoder.EncodeSymbol(u"", qrAuto, LevelL(), Record);
    EXPECT_EQ(Record.Mode(), qmByte);
    EXPECT_EQ(Record.Version(), 1);
    ASSERT_NE(Record.ECLevel(), nullptr);
    EXPECT_EQ(Record.ECLevel()->Bits(), 1);
    EXPECT_EQ(Record.MatrixWidth(), -1);
    EXPECT_EQ(Record.NumTotalBytes(), -1);
    EXPECT_EQ(Record.NumDataBytes(), -1);
    EXPECT_EQ(Record.NumRSBlocks(), -1);
    EXPECT_FALSE(Record.IsValid());
}

TEST(Symbol, AtWithoutAMatrixAnswersMinusOneAndSetsTheFlag) {
    TQRCode Record;
    EXPECT_EQ(Record.At(0, 0), -1);
    EXPECT_TRUE(Record.QRCodeError());
    TEncoder Encoder;  // the same after an encoding that built no symbol
    TQRCode TooLong;
    Encoder.EncodeSymbol(std::u16string(2954, u'a'), qrUTF8BOM, LevelL(), TooLong);
    EXPECT_EQ(TooLong.At(3, 3), -1);
    EXPECT_TRUE(TooLong.QRCodeError());
}

TEST(Symbol, IsValidAndAt) {
    TQRCode Record;
    EXPECT_FALSE(TQRCode::IsValidMaskPattern(-1));
    EXPECT_FALSE(TQRCode::IsValidMaskPattern(8));
    EXPECT_TRUE(TQRCode::IsValidMaskPattern(0));
    EXPECT_TRUE(TQRCode::IsValidMaskPattern(7));
    Record.SetECLevel(LevelL());
    Record.SetMaskPattern(3);
    Record.SetAll(1, 26, 19, 1, 7, 21);
    Record.SetMatrix(std::make_unique<TByteMatrix>(21, 21));
    EXPECT_TRUE(Record.IsValid());
    Record.SetAll(1, 27, 19, 1, 7, 21);
    EXPECT_FALSE(Record.IsValid());

    auto M = std::make_unique<TByteMatrix>(2, 1);
    M->SetInteger(1, 0, -1);
    Record.SetMatrix(std::move(M));
    EXPECT_EQ(Record.At(0, 0), 0);
    EXPECT_FALSE(Record.QRCodeError());
    EXPECT_EQ(Record.At(1, 0), -1);
    EXPECT_TRUE(Record.QRCodeError());
    EXPECT_EQ(Record.At(0, 0), 0);
    EXPECT_TRUE(Record.QRCodeError());  // never cleared
}

}  // namespace
