// The data segment (modes, filter, data writers, UTF-8) and codeword assembly (padding, block
// sizes, interleaving, version fit).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing.h"

using namespace qr;
using qrtest::BitString;
using qrtest::Field;

namespace {

std::string Bytes(std::initializer_list<int> Values) {
    std::string s;
    for (int v : Values) s += Field(v, 8);
    return s;
}

// ---- modes ----

TEST(Modes, IndicatorsAndCountWidths) {
    struct Row {
        TMode Mode;
        int Indicator;
        int Widths[3];
    };
    const Row Rows[] = {
        {qmTerminator, 0, {0, 0, 0}},         {qmNumeric, 1, {10, 12, 14}},
        {qmAlphanumeric, 2, {9, 11, 13}},     {qmStructuredAppend, 3, {0, 0, 0}},
        {qmByte, 4, {8, 16, 16}},             {qmECI, 7, {0, 0, 0}},
        {qmKanji, 8, {8, 10, 12}},            {qmFNC1FirstPosition, 5, {0, 0, 0}},
        {qmFNC1SecondPosition, 9, {0, 0, 0}}, {qmHanzi, 13, {8, 10, 12}},
    };
    for (const Row& R : Rows) {
        EXPECT_EQ(ModeIndicatorOf(R.Mode), R.Indicator) << int(R.Mode);
        // Both ends of each version range.
        const int Versions[][2] = {{1, 9}, {10, 26}, {27, 40}};
        for (int Range = 0; Range < 3; ++Range)
            for (int v : Versions[Range])
                EXPECT_EQ(CountFieldWidth(R.Mode, *TVersion::GetVersionForNumber(v)), R.Widths[Range])
                    << int(R.Mode) << " at version " << v;
    }
}

TEST(Modes, AlphanumericSet) {
    const std::string Set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    for (std::size_t i = 0; i < Set.size(); ++i)
        EXPECT_EQ(AlphanumericValue(Set[i]), static_cast<int>(i)) << Set[i];
    int InSet = 0;
    for (int Code = 0; Code < 96; ++Code) InSet += AlphanumericValue(Code) >= 0;
    EXPECT_EQ(InSet, 45);
    for (int Code : {int('a'), int('z'), int('#'), int(','), int('_'), 0, 96, 0xC1, 0x10000, -1})
        EXPECT_EQ(AlphanumericValue(Code), -1) << Code;
}

// ---- mode choice, filter and data bits ----

struct SegmentCase {
    const char* Name;
    std::u16string Text;
    int Option;
    TMode Mode;
    int OptionAfter;
    int Count;
    std::string Data;
};

class Segment : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(Segment, ModeFilterAndDataBits) {
    const SegmentCase& C = GetParam();
    int Option = C.Option;
    const TMode Mode = PickMode(C.Text, Option);
    EXPECT_EQ(Mode, C.Mode);
    EXPECT_EQ(Option, C.OptionAfter);
    const std::u16string Kept = KeepEncodableChars(C.Text, Mode, Option);
    TBitArray Data;
    EXPECT_TRUE(WriteSegmentData(Kept, Mode, Data, Option));
    EXPECT_EQ(BitString(Data), C.Data);
    const int Count = Mode == qmByte ? Data.GetSizeInBytes() : static_cast<int>(Kept.size());
    EXPECT_EQ(Count, C.Count);
    EXPECT_EQ(SegmentCount(C.Text, Mode, Option), C.Count);
    // Measured without building the segment, the same mode and count.
    const TEncoder::TSegmentSize Measured = TEncoder::MeasureSegment(C.Text, C.Option);
    EXPECT_EQ(Measured.Mode, C.Mode);
    EXPECT_EQ(Measured.Count, C.Count);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Segment,
    ::testing::Values(
        SegmentCase{"digits", u"01234567", qrAuto, qmNumeric, qrAuto, 8, Field(12, 10) + Field(345, 10) + Field(67, 7)},
        SegmentCase{"digits_one_left", u"1234", qrAuto, qmNumeric, qrAuto, 4, Field(123, 10) + Field(4, 4)},
        SegmentCase{"alphanumeric", u"AC-42", qrAuto, qmAlphanumeric, qrAuto, 5,
                    Field(462, 11) + Field(1849, 11) + Field(2, 6)},
        SegmentCase{"letter_and_zero", u"A0", qrAuto, qmAlphanumeric, qrAuto, 2, Field(450, 11)},
        SegmentCase{"lower_case", u"hello", qrAuto, qmByte, qrISO88591, 5, Bytes({0x68, 0x65, 0x6C, 0x6C, 0x6F})},
        SegmentCase{"latin1", u"\u00E9", qrAuto, qmByte, qrISO88591, 1, Bytes({0xE9})},
        // Both sides of the Latin-1 boundary under qrAuto: U+00FF is one byte, U+0100 makes the
        // whole text UTF-8 behind a byte-order mark.
        SegmentCase{"latin1_last", u"caf\u00E9 \u00FF", qrAuto, qmByte, qrISO88591, 6,
                    Bytes({0x63, 0x61, 0x66, 0xE9, 0x20, 0xFF})},
        SegmentCase{"above_latin1_first", u"\u0100", qrAuto, qmByte, qrUTF8NoBOM, 5,
                    Bytes({0xEF, 0xBB, 0xBF, 0xC4, 0x80})},
        SegmentCase{"above_latin1", u"\u20AC", qrAuto, qmByte, qrUTF8NoBOM, 6,
                    Bytes({0xEF, 0xBB, 0xBF, 0xE2, 0x82, 0xAC})},
        SegmentCase{"empty_auto", u"", qrAuto, qmByte, qrUTF8NoBOM, 3, Bytes({0xEF, 0xBB, 0xBF})},
        SegmentCase{"empty_utf8", u"", qrUTF8BOM, qmByte, qrUTF8BOM, 0, ""},
        SegmentCase{"empty_numeric", u"", qrNumeric, qmNumeric, qrNumeric, 0, ""},
        SegmentCase{"numeric_filtered", u"12a3", qrNumeric, qmNumeric, qrNumeric, 3, Field(123, 10)},
        SegmentCase{"alphanumeric_filtered_away", u"ab", qrAlphanumeric, qmAlphanumeric, qrAlphanumeric, 0, ""},
        SegmentCase{"alphanumeric_filtered", u"a B-c", qrAlphanumeric, qmAlphanumeric, qrAlphanumeric, 3,
                    Field(36 * 45 + 11, 11) + Field(41, 6)},
        SegmentCase{"latin1_filtered", u"a\u20ACb", qrISO88591, qmByte, qrISO88591, 2, Bytes({0x61, 0x62})},
        SegmentCase{"utf8", u"\u00E9", qrUTF8BOM, qmByte, qrUTF8BOM, 2, Bytes({0xC3, 0xA9})},
        SegmentCase{"utf8_with_mark", u"\u00E9", qrUTF8NoBOM, qmByte, qrUTF8NoBOM, 5,
                    Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9})},
        SegmentCase{"surrogate_pair", u"\U0001F600", qrUTF8BOM, qmByte, qrUTF8BOM, 4, Bytes({0xF0, 0x9F, 0x98, 0x80})},
        SegmentCase{"unpaired_surrogate", u"\xD83D", qrUTF8BOM, qmByte, qrUTF8BOM, 3, Bytes({0xEF, 0xBF, 0xBD})},
        // The mode is chosen on the whole text: one character outside the set decides.
        SegmentCase{"digits_and_letter", u"123A", qrAuto, qmAlphanumeric, qrAuto, 4, Field(1 * 45 + 2, 11) + Field(3 * 45 + 10, 11)},
        SegmentCase{"digits_lower_case", u"12a", qrAuto, qmByte, qrISO88591, 3, Bytes({0x31, 0x32, 0x61})},
        SegmentCase{"kanji_under_auto", u"A\u6F22", qrAuto, qmByte, qrUTF8NoBOM, 7,
                    Bytes({0xEF, 0xBB, 0xBF, 0x41, 0xE6, 0xBC, 0xA2})}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The whole segment at version 1: indicator, count and data.
TEST(Segment, HeaderAndCountAtVersion1) {
    struct Case {
        std::u16string Text;
        std::string Expected;
    };
    const Case Cases[] = {
        {u"01234567", Field(1, 4) + Field(8, 10) + Field(12, 10) + Field(345, 10) + Field(67, 7)},
        {u"AC-42", Field(2, 4) + Field(5, 9) + Field(462, 11) + Field(1849, 11) + Field(2, 6)},
        {u"\u00E9", Field(4, 4) + Field(1, 8) + Field(0xE9, 8)},
    };
    for (const Case& C : Cases) {
        int Option = qrAuto;
        const TMode Mode = PickMode(C.Text, Option);
        const std::u16string Kept = KeepEncodableChars(C.Text, Mode, Option);
        TBitArray Data, Bits;
        EXPECT_TRUE(WriteSegmentData(Kept, Mode, Data, Option));
        WriteModeIndicator(Mode, Bits);
        EXPECT_TRUE(WriteCharacterCount(Mode == qmByte ? Data.GetSizeInBytes() : static_cast<int>(Kept.size()), 1, Mode, Bits));
        Bits.AppendBitArray(Data);
        EXPECT_EQ(BitString(Bits), C.Expected);
        EXPECT_NE(BitString(Bits).substr(0, 4), "0111");  // never an ECI segment
    }
}

struct Utf8Case {
    std::u16string Text;
    std::string Bytes;
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ConvertsCodeUnits) { EXPECT_EQ(Utf16ToUtf8(GetParam().Text), GetParam().Bytes); }

INSTANTIATE_TEST_SUITE_P(
    Boundaries, Utf8,
    ::testing::Values(Utf8Case{u"", ""}, Utf8Case{std::u16string(1, u'\0'), std::string(1, '\0')},
                      Utf8Case{u"\u007F", "\x7F"}, Utf8Case{u"\u0080", "\xC2\x80"}, Utf8Case{u"\u07FF", "\xDF\xBF"},
                      Utf8Case{u"\u0800", "\xE0\xA0\x80"}, Utf8Case{u"\uFFFF", "\xEF\xBF\xBF"},
                      Utf8Case{u"\U00010000", "\xF0\x90\x80\x80"}, Utf8Case{u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
                      // Unpaired surrogates: a lone high one (also at the end), a lone low one,
                      // and a low one before a high one, which is no pair.
                      Utf8Case{u"\xD800" "a", "\xEF\xBF\xBD" "a"}, Utf8Case{u"a\xDBFF", "a\xEF\xBF\xBD"},
                      Utf8Case{u"\xDC00", "\xEF\xBF\xBD"},
                      Utf8Case{u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"}));

TEST(Segment, WritingFailuresAreReported) {
    TBitArray Bits;  // a unit outside the alphanumeric set ends the writing; earlier pairs stay
    EXPECT_FALSE(WriteSegmentData(u"AB c", qmAlphanumeric, Bits, qrAlphanumeric));
    EXPECT_EQ(BitString(Bits), Field(10 * 45 + 11, 11));
    Bits = TBitArray();
    EXPECT_FALSE(WriteSegmentData(u"a", qmAlphanumeric, Bits, qrAlphanumeric));
    EXPECT_EQ(Bits.GetSize(), 0);
    EXPECT_FALSE(WriteSegmentData(u"12", qmECI, Bits, qrAuto));  // a mode without a writer
    EXPECT_EQ(Bits.GetSize(), 0);
    EXPECT_FALSE(WriteSegmentData(u"12", qmKanji, Bits, qrAuto));  // ASCII has no Kanji value
    EXPECT_EQ(Bits.GetSize(), 0);
    // Byte data under an option that carries no bytes.
    EXPECT_EQ(KeepEncodableChars(u"ab", qmByte, qrNumeric), u"");
    EXPECT_TRUE(WriteSegmentData(u"ab", qmByte, Bits, qrNumeric));
    EXPECT_EQ(Bits.GetSize(), 0);
}

TEST(Segment, CountMustFitItsField) {
    TBitArray Bits;
    EXPECT_TRUE(WriteCharacterCount(255, 9, qmByte, Bits));
    EXPECT_EQ(BitString(Bits), Field(255, 8));
    EXPECT_FALSE(WriteCharacterCount(256, 9, qmByte, Bits));
    EXPECT_EQ(Bits.GetSize(), 8);  // nothing appended
    EXPECT_TRUE(WriteCharacterCount(256, 10, qmByte, Bits));
    EXPECT_EQ(BitString(Bits), Field(255, 8) + Field(256, 16));
    EXPECT_FALSE(WriteCharacterCount(1, 41, qmByte, Bits));  // no such version
    EXPECT_EQ(Bits.GetSize(), 24);
}

// ---- padding ----

TEST(Padding, EmptySegmentGetsTerminatorAndAlternatingPads) {
    TBitArray Bits;
    Bits.AppendBits(4, 4);
    Bits.AppendBits(0, 8);
    EXPECT_TRUE(PadToCapacity(19, Bits));
    std::string Expected = Field(0x40, 8) + Field(0x00, 8);
    for (int i = 0; i < 17; ++i) Expected += Field(i % 2 == 0 ? 0xEC : 0x11, 8);
    EXPECT_EQ(BitString(Bits), Expected);
}

struct PadCase {
    int Bits;
    int DataCodewords;
    std::string Tail;  // what padding appends
};

class Padding : public ::testing::TestWithParam<PadCase> {};

TEST_P(Padding, TerminatorIsCutShortAtTheCapacity) {
    const PadCase& C = GetParam();
    TBitArray Bits;
    for (int i = 0; i < C.Bits; ++i) Bits.AppendBit(true);
    EXPECT_TRUE(PadToCapacity(C.DataCodewords, Bits));
    EXPECT_EQ(BitString(Bits), std::string(static_cast<std::size_t>(C.Bits), '1') + C.Tail);
    EXPECT_EQ(Bits.GetSize(), 8 * C.DataCodewords);
}

INSTANTIATE_TEST_SUITE_P(Lengths, Padding,
                         ::testing::Values(PadCase{152, 19, ""},                              // exactly full
                                           PadCase{150, 19, "00"},                            // 2 bits short
                                           PadCase{148, 19, "0000"},                          // 17 bytes, version 1
                                           PadCase{147, 19, "00000"},                         // terminator + 1 zero bit
                                           PadCase{141, 19, "00000000000"},                   // to the byte, no pad
                                           PadCase{140, 19, "0000" + Field(0xEC, 8)},         // one pad
                                           PadCase{135, 19, "000000000" + Field(0xEC, 8)},
                                           PadCase{128, 19, "00000000" + Field(0xEC, 8) + Field(0x11, 8)}));

TEST(Padding, BitsBeyondTheCapacityAreFlaggedAndLeftAlone) {
    TBitArray Bits;
    Bits.AppendBits(-1, 32);
    Bits.AppendBit(true);
    EXPECT_FALSE(PadToCapacity(4, Bits));
    EXPECT_EQ(Bits.GetSize(), 33);
}

// ---- blocks and interleaving ----

TEST(Blocks, Version10LevelL) {
    const int Expected[4][2] = {{68, 18}, {68, 18}, {69, 18}, {69, 18}};
    for (int k = 0; k < 4; ++k) {
        int Data = -1, EC = -1;
        EXPECT_TRUE(BlockSizes(346, 274, 4, k, Data, EC));
        EXPECT_EQ(Data, Expected[k][0]) << k;
        EXPECT_EQ(EC, Expected[k][1]) << k;
    }
    int Data = -1, EC = -1;
    EXPECT_FALSE(BlockSizes(346, 274, 4, 4, Data, EC));
    EXPECT_EQ(Data, -1);  // results untouched
    EXPECT_EQ(EC, -1);
}

TEST(Blocks, EveryLevelLLayoutMatchesTheVersionTable) {
    for (int v = 1; v <= 40; ++v) {
        const auto V = TVersion::GetVersionForNumber(v);
        const TECBlocks& L = V->GetECBlocksForLevel(LevelL());
        const int Total = V->GetTotalCodewords();
        const int Data = Total - L.GetTotalECCodewords();
        int k = 0;
        for (const TECB& Group : L.GetECBlocks())
            for (int i = 0; i < Group.GetCount(); ++i, ++k) {
                int d = -1, e = -1;
                EXPECT_TRUE(BlockSizes(Total, Data, L.GetNumBlocks(), k, d, e)) << "version " << v << " block " << k;
                EXPECT_EQ(d, Group.GetDataCodewords()) << "version " << v << " block " << k;
                EXPECT_EQ(e, L.GetECCodewordsPerBlock()) << "version " << v << " block " << k;
            }
    }
}

TEST(Interleave, Version10TakesCodewordsFromEachBlockInTurn) {
    TBitArray Bits;
    TByteArray D(274);
    for (int i = 0; i < 274; ++i) D[i] = static_cast<std::uint8_t>(i * 37 + 5);
    for (int b : D) Bits.AppendBits(b, 8);
    TBitArray Result;
    EXPECT_TRUE(InterleaveBlocks(Bits, 346, 274, 4, Result));
    const std::vector<int> Out = qrtest::Codewords(Result);
    ASSERT_EQ(Out.size(), 346u);
    ASSERT_EQ(Result.GetSize(), 346 * 8);

    // Blocks 0 and 1 hold 68 data codewords, blocks 2 and 3 hold 69.
    const int Start[4] = {0, 68, 136, 205};
    const int Length[4] = {68, 68, 69, 69};
    std::vector<int> Expected;
    for (int i = 0; i < 69; ++i)
        for (int b = 0; b < 4; ++b)
            if (i < Length[b]) Expected.push_back(D[Start[b] + i]);
    std::vector<TByteArray> EC;
    for (int b = 0; b < 4; ++b)
        EC.push_back(ComputeECCodewords(TByteArray(D.begin() + Start[b], D.begin() + Start[b] + Length[b]), 18));
    for (int i = 0; i < 18; ++i)
        for (int b = 0; b < 4; ++b) Expected.push_back(EC[b][i]);
    EXPECT_EQ(Out, Expected);

    // The telling spots: the first pass, the 69th pass from blocks 2 and 3 only, the last EC byte.
    EXPECT_EQ(std::vector<int>(Out.begin(), Out.begin() + 4), (std::vector<int>{D[0], D[68], D[136], D[205]}));
    EXPECT_EQ(std::vector<int>(Out.begin() + 272, Out.begin() + 274), (std::vector<int>{D[204], D[273]}));
    EXPECT_EQ(Out[274], EC[0][0]);
    EXPECT_EQ(Out[345], EC[3][17]);
}

TEST(Interleave, SingleBlockIsDataThenErrorCorrection) {
    TBitArray Bits;
    Bits.AppendBits(4, 4);
    Bits.AppendBits(0, 8);
    EXPECT_TRUE(PadToCapacity(19, Bits));
    TBitArray Result;
    EXPECT_TRUE(InterleaveBlocks(Bits, 26, 19, 1, Result));
    EXPECT_EQ(qrtest::Codewords(Result),
              (std::vector<int>{0x40, 0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                                0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0xF9, 0xAA, 0x03, 0xCB, 0x06, 0xE3, 0xD2}));
}

TEST(Interleave, DataOfTheWrongLengthOrBlocksThatCannotBeCodedGiveNothing) {
    TBitArray Bits;
    for (int i = 0; i < 18; ++i) Bits.AppendBits(i, 8);
    TBitArray Result;
    EXPECT_FALSE(InterleaveBlocks(Bits, 26, 19, 1, Result));
    EXPECT_EQ(Result.GetSize(), 0);
    // One block of 18 data codewords and 256 error-correction codewords, more than the field
    // has roots for.
    EXPECT_FALSE(InterleaveBlocks(Bits, 18 + 256, 18, 1, Result));
    EXPECT_EQ(Result.GetSize(), 0);
}

// ---- version fit ----

// The smallest version holding indicator, count and data, by a plain search.
int SmallestVersion(TMode Mode, int DataBits) {
    for (int v = 1; v <= 40; ++v) {
        const auto V = TVersion::GetVersionForNumber(v);
        const int Capacity = 8 * (V->GetTotalCodewords() - V->GetECBlocksForLevel(LevelL()).GetTotalECCodewords());
        if (4 + CountFieldWidth(Mode, *V) + DataBits <= Capacity) return v;
    }
    return 0;
}

int DigitBits(int n) { return n / 3 * 10 + (n % 3 == 2 ? 7 : n % 3 == 1 ? 4 : 0); }
int PairBits(int n) { return n / 2 * 11 + (n % 2) * 6; }

struct Fit {
    int Version;
    bool Error;
};

Fit EncodeVersion(const std::u16string& Text, int Option) {
    TEncoder E;
    TQRCode Record;
    E.EncodeSymbol(Text, Option, LevelL(), Record);
    return {Record.Matrix() ? Record.Version() : 0, E.EncoderError()};
}

TEST(VersionFit, SmallestVersionAtEveryBoundaryOfTheCountWidths) {
    // Around the switches of the count width (versions 9/10 and 26/27), where a first estimate
    // with the narrow field can pick a version that the wide field no longer fits.
    for (int v : {9, 10, 26, 27}) {
        const auto V = TVersion::GetVersionForNumber(v);
        const int Capacity = 8 * (V->GetTotalCodewords() - V->GetECBlocksForLevel(LevelL()).GetTotalECCodewords());
        int Digits = 0, Chars = 0;
        while (4 + CountFieldWidth(qmNumeric, *V) + DigitBits(Digits + 1) <= Capacity) ++Digits;
        while (4 + CountFieldWidth(qmAlphanumeric, *V) + PairBits(Chars + 1) <= Capacity) ++Chars;
        for (int n : {Digits, Digits + 1, Digits + 2}) {
            const Fit F = EncodeVersion(std::u16string(static_cast<std::size_t>(n), u'7'), qrAuto);
            EXPECT_EQ(F.Version, SmallestVersion(qmNumeric, DigitBits(n))) << n << " digits";
            EXPECT_FALSE(F.Error) << n << " digits";
        }
        for (int n : {Chars, Chars + 1, Chars + 2}) {
            const Fit F = EncodeVersion(std::u16string(static_cast<std::size_t>(n), u'Q'), qrAuto);
            EXPECT_EQ(F.Version, SmallestVersion(qmAlphanumeric, PairBits(n))) << n << " characters";
            EXPECT_FALSE(F.Error) << n << " characters";
        }
    }
}

TEST(VersionFit, SeventeenBytesFitVersion1AndEighteenNeedVersion2) {
    EXPECT_EQ(EncodeVersion(std::u16string(17, u'a'), qrAuto).Version, 1);
    EXPECT_EQ(EncodeVersion(std::u16string(18, u'a'), qrAuto).Version, 2);
}

TEST(VersionFit, LimitsOfVersion40) {
    struct Case {
        std::u16string Text;
        int Version;
    };
    const Case Cases[] = {
        {std::u16string(7089, u'1'), 40}, {std::u16string(7090, u'1'), 0},  // passes the first estimate only
        {std::u16string(7091, u'1'), 0},  {std::u16string(4296, u'A'), 40},
        {std::u16string(4297, u'A'), 0},  {std::u16string(4298, u'A'), 0},
        {std::u16string(2953, u'a'), 40}, {std::u16string(2954, u'a'), 0},
        {std::u16string(2955, u'a'), 0},
    };
    for (const Case& C : Cases) {
        const Fit F = EncodeVersion(C.Text, qrAuto);
        EXPECT_EQ(F.Version, C.Version) << C.Text.size() << " x " << char(C.Text[0]);
        EXPECT_EQ(F.Error, C.Version == 0) << C.Text.size() << " x " << char(C.Text[0]);
    }
}

}  // namespace
