// The encoder's choices beyond the plain encoding: a fixed version and mask, mixed segments of
// least bits (proven against an exhaustive search over every segmentation), Kanji mode and the
// ECI header.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "testing.h"
#include "zbardecode.h"

using namespace qr;

namespace {

struct Encoded {
    TQRCode Record;
    bool Error = false;
};

Encoded Encode(std::u16string_view Text, int Option, const TSymbolChoices& Choices,
               const TErrorCorrectionLevel& Level = LevelL()) {
    Encoded E;
    TEncoder Encoder;
    Encoder.EncodeSymbol(Text, Option, Level, Choices, E.Record);
    E.Error = Encoder.EncoderError();
    return E;
}

TSymbolChoices Fixed(int MinVersion, int Mask = -1, bool Strict = false) {
    TSymbolChoices C;
    C.MinVersion = MinVersion;
    C.Mask = Mask;
    C.StrictVersion = Strict;
    return C;
}

// The bits the segments take at the version: what the version fit counts.
int Bits(const std::vector<TSegment>& Segments, int Version) {
    return SegmentBits(Segments, *TVersion::GetVersionForNumber(Version));
}

std::vector<std::string> Decode(const TQRCode& Record) {
    const TByteMatrix& M = *Record.Matrix();
    return zbartest::DecodeModules(M.Width(), [&](int r, int c) { return M.Get(c, r) == 1; });
}

}  // namespace

TEST(FixedChoices, VersionIsTheLeastUsedAndStrictRefusesMore) {
    // 40 bytes need version 3 at level L (53 data codewords hold 40 bytes + 2 header bytes; 32
    // of version 2 do not).
    const std::u16string Text(40, u'q');
    EXPECT_EQ(Encode(Text, qrUTF8BOM, {}).Record.Version(), 3);
    EXPECT_EQ(Encode(Text, qrUTF8BOM, Fixed(7)).Record.Version(), 7);
    EXPECT_EQ(Encode(Text, qrUTF8BOM, Fixed(2)).Record.Version(), 3);   // a larger need wins
    EXPECT_EQ(Encode(Text, qrUTF8BOM, Fixed(3, -1, true)).Record.Version(), 3);
    const Encoded Strict = Encode(Text, qrUTF8BOM, Fixed(2, -1, true));
    EXPECT_EQ(Strict.Record.Matrix(), nullptr);
    EXPECT_EQ(TEncoder::ChooseVersion(Text, qrUTF8BOM, LevelL(), Fixed(2, -1, true)), 0);
    EXPECT_EQ(TEncoder::ChooseVersion(Text, qrUTF8BOM, LevelL(), Fixed(9)), 9);
    // The count fields take the widths of the version used: 16 bits for byte mode from 10 on.
    const Encoded Wide = Encode(u"hello", qrUTF8BOM, Fixed(10));
    EXPECT_FALSE(Wide.Error);
    EXPECT_EQ(Decode(Wide.Record), std::vector<std::string>{"hello"});
    EXPECT_EQ(Encode(std::u16string(2953, u'x'), qrUTF8BOM, Fixed(40, -1, true)).Record.Version(), 40);
}

TEST(FixedChoices, ForcedMaskIsTheMatrixOfThatMaskEvenWhereThePenaltyPicksAnother) {
    const std::u16string Text = u"Forced mask 0123";
    const int Chosen = Encode(Text, qrUTF8BOM, {}).Record.MaskPattern();
    const TCodewords Codewords = AssembleCodewords(Text, qrUTF8BOM, LevelL());
    for (int Mask = 0; Mask < 8; ++Mask) {
        const Encoded E = Encode(Text, qrUTF8BOM, Fixed(1, Mask));
        ASSERT_NE(E.Record.Matrix(), nullptr);
        EXPECT_EQ(E.Record.MaskPattern(), Mask);
        TByteMatrix Built(21, 21);
        TMatrixUtil().BuildMatrix(Codewords.Bits, LevelL(), 1, Mask, Built);
        EXPECT_EQ(qrtest::MatrixLines(*E.Record.Matrix()), qrtest::MatrixLines(Built)) << "mask " << Mask;
        EXPECT_EQ(Decode(E.Record), std::vector<std::string>{"Forced mask 0123"}) << "mask " << Mask;
        if (Mask == Chosen) {
            EXPECT_EQ(qrtest::MatrixLines(*E.Record.Matrix()),
                      qrtest::MatrixLines(*Encode(Text, qrUTF8BOM, {}).Record.Matrix()));
        }
    }
}

// Every way to cut the text into runs and give each run a mode that holds all of it: the
// fewest bits any of them takes at the version.
int ExhaustiveLeastBits(std::u16string_view Text, int Version, bool Kanji = false) {
    const TVersion& V = *TVersion::GetVersionForNumber(Version);
    std::vector<TMode> Modes = {qmNumeric, qmAlphanumeric, qmByte};
    if (Kanji) Modes.push_back(qmKanji);
    int Best = INT_MAX;
    std::vector<TSegment> Segments;
    std::function<void(std::size_t)> Cut = [&](std::size_t From) {
        if (From == Text.size()) {
            Best = std::min(Best, SegmentBits(Segments, V));
            return;
        }
        for (std::size_t To = From + 1; To <= Text.size(); ++To)
            for (const TMode M : Modes) {
                const std::u16string_view Run = Text.substr(From, To - From);
                if (KeepEncodableChars(Run, M, qrUTF8BOM).size() != Run.size()) continue;
                TSegment S{M, 0, {}};
                if (!WriteSegmentData(Run, M, S.Data, qrUTF8BOM)) continue;
                Segments.push_back(std::move(S));
                Cut(To);
                Segments.pop_back();
            }
    };
    Cut(0);
    return Best;
}

TEST(OptimalSegments, NoSegmentationTakesFewerBits) {
    // Digits, alphanumeric-only characters and byte-only ones (one of them two bytes long),
    // mixed at random; each length up to 9 and each group of count-field widths.
    const std::u16string Alphabet = u"0123AZ:$ab\u00E9";
    std::mt19937 Rng(19);
    for (int Trial = 0; Trial < 400; ++Trial) {
        std::u16string Text(1 + Trial % 9, u' ');
        for (char16_t& c : Text) c = Alphabet[std::uniform_int_distribution<std::size_t>(0, Alphabet.size() - 1)(Rng)];
        for (const int Version : {1, 10, 27}) {
            const std::vector<TSegment> Segments =
                *OptimalSegments(Text, qmByte, qrUTF8BOM, *TVersion::GetVersionForNumber(Version));
            ASSERT_EQ(Bits(Segments, Version), ExhaustiveLeastBits(Text, Version))
                << "version " << Version << ", text #" << Trial;
            // The segments hold the text whole, in order.
            TQRCode Record;
            TSymbolChoices Optimize;
            Optimize.Optimize = true;
            Optimize.MinVersion = Version;
            TEncoder().EncodeSymbol(Text, qrUTF8BOM, LevelL(), Optimize, Record);
            ASSERT_EQ(Decode(Record), std::vector<std::string>{Utf16ToUtf8(Text)}) << "text #" << Trial;
        }
    }
}

TEST(OptimalSegments, WithKanjiNoSegmentationTakesFewerBits) {
    // Two Kanji characters (点 and ×, the latter two bytes in UTF-8 but Latin-1 too), one that
    // Shift JIS lacks (é) and ASCII, under UTF-8 and Latin-1 bytes.
    const std::u16string Alphabet = u"01AZ:ab\u70B9\u00D7\u00E9";
    std::mt19937 Rng(23);
    TShiftJis Kanji;
    for (int Trial = 0; Trial < 300; ++Trial) {
        std::u16string Text(1 + Trial % 8, u' ');
        for (char16_t& c : Text) c = Alphabet[std::uniform_int_distribution<std::size_t>(0, Alphabet.size() - 1)(Rng)];
        for (const int Version : {1, 10, 27}) {
            const std::vector<TSegment> Segments =
                *OptimalSegments(Text, qmByte, qrUTF8BOM, *TVersion::GetVersionForNumber(Version), INT_MAX, &Kanji);
            ASSERT_EQ(Bits(Segments, Version), ExhaustiveLeastBits(Text, Version, true))
                << "version " << Version << ", text #" << Trial;
        }
    }
    // Under Latin-1 bytes a character beyond Latin-1 goes into Kanji mode, the one way to keep
    // it; four × are cheaper as bytes (12 + 32 bits, then 12 + 13) than as Kanji (12 + 65).
    const std::vector<TSegment> Latin1 =
        *OptimalSegments(u"\u00D7\u00D7\u00D7\u00D7\u70B9", qmByte, qrISO88591, *TVersion::GetVersionForNumber(1), INT_MAX, &Kanji);
    ASSERT_EQ(Latin1.size(), 2u);
    EXPECT_EQ(Latin1[0].Mode, qmByte);
    EXPECT_EQ(Latin1[0].Count, 4);
    EXPECT_EQ(Latin1[1].Mode, qmKanji);
}

TEST(KanjiMode, ShiftJisValuesAndSymbolsThatReadBackAsShiftJis) {
    TShiftJis Kanji;
    // 7.4.6's two examples: 点 is 935F, 13-bit D9F; 茗 is E4AA, 1AAA.
    EXPECT_EQ(Kanji.KanjiValue(U'\u70B9'), 0xD9F);
    EXPECT_EQ(Kanji.KanjiValue(U'\u8317'), 0x1AAA);
    EXPECT_EQ(Kanji.KanjiValue(U'\u3042'), 0x120);  // あ is 82A0: 0160, 01 x C0 + 60
    // ASCII (whose 5C and 7E Shift JIS reads otherwise), a single-byte katakana, a letter
    // Shift JIS lacks and one beyond the BMP have none.
    for (const char32_t c : {U'\\', U'~', U'A', U'\uFF71', U'\u00E9', U'\U0001F600'}) {
        EXPECT_EQ(Kanji.KanjiValue(c), -1) << static_cast<int>(c);
    }
    TSymbolChoices Asked;
    Asked.Kanji = true;
    // zbar, told to give bytes, gives a Kanji segment's Shift JIS codes.
    const Encoded Pure = Encode(u"\u70B9\u8317", qrAuto, Asked);
    ASSERT_EQ(Pure.Record.Segments().size(), 1u);
    EXPECT_EQ(Pure.Record.Segments()[0].Mode, qmKanji);
    EXPECT_EQ(Pure.Record.Segments()[0].Count, 2);
    EXPECT_FALSE(Pure.Error);
    EXPECT_EQ(Decode(Pure.Record), std::vector<std::string>{"\x93\x5F\xE4\xAA"});
    EXPECT_EQ(Encode(u"\u70B9\u8317", qrAuto, {}).Record.Mode(), qmByte);  // off by default
    // Runs: 東京 in Kanji, the rest as its UTF-8 bytes; é has no Kanji value and stays a byte.
    const Encoded Runs = Encode(u"\u6771\u4EAC Tower 1-2 caf\u00E9", qrUTF8BOM, Asked);
    ASSERT_EQ(Runs.Record.Segments().size(), 2u);
    EXPECT_EQ(Runs.Record.Segments()[0].Mode, qmKanji);
    EXPECT_EQ(Runs.Record.Segments()[1].Mode, qmByte);
    EXPECT_EQ(Runs.Record.Segments()[1].Count, 16);
    EXPECT_EQ(Decode(Runs.Record), std::vector<std::string>{"\x93\x8C\x8B\x9E Tower 1-2 caf\xC3\xA9"});
    // Under Latin-1 bytes Kanji mode keeps what the filter would drop; × stays its one byte.
    const Encoded Latin1 = Encode(u"\u00D7\u70B9", qrISO88591, Asked);
    ASSERT_EQ(Latin1.Record.Segments().size(), 2u);
    EXPECT_EQ(Decode(Latin1.Record), std::vector<std::string>{"\xD7\x93\x5F"});
    // With the byte-order mark asked, it opens the symbol as a byte segment of its own.
    const Encoded Marked = Encode(u"\u70B9a", qrUTF8NoBOM, Asked);
    ASSERT_EQ(Marked.Record.Segments().size(), 3u);
    EXPECT_EQ(Marked.Record.Segments()[0].Count, 3);
    EXPECT_EQ(Decode(Marked.Record), std::vector<std::string>{"\xEF\xBB\xBF\x93\x5F" "a"});
}

TEST(KanjiMode, CapacityOfVersion40) {
    // Level L: 2956 codewords, 23648 bits, less 4 + 12 of header: 1817 characters of 13 bits,
    // where byte mode holds 984 of their three UTF-8 bytes.
    TSymbolChoices Asked;
    Asked.Kanji = true;
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(1817, u'\u70B9'), qrAuto, LevelL(), Asked), 40);
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(1818, u'\u70B9'), qrAuto, LevelL(), Asked), 0);
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(1817, u'\u70B9'), qrAuto, LevelL()), 0);
    Asked.Optimize = true;
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(1817, u'\u70B9'), qrAuto, LevelL(), Asked), 40);
    const Encoded Full = Encode(std::u16string(1817, u'\u70B9'), qrAuto, Asked);
    EXPECT_FALSE(Full.Error);
    EXPECT_EQ(Decode(Full.Record).at(0).size(), 2u * 1817);
}

TEST(OptimalSegments, NeverALargerSymbolThanByteModeAndSmallerWhereItPays) {
    std::mt19937 Rng(7);
    const std::u16string Alphabet = u"0123456789ABCXYZ -./:abc\u00E3\u6771";
    TSymbolChoices Optimize;
    Optimize.Optimize = true;
    for (int Trial = 0; Trial < 200; ++Trial) {
        std::u16string Text(static_cast<std::size_t>(std::uniform_int_distribution<int>(1, 700)(Rng)), u' ');
        for (char16_t& c : Text) c = Alphabet[std::uniform_int_distribution<std::size_t>(0, Alphabet.size() - 1)(Rng)];
        for (const TErrorCorrectionLevel Level : {LevelL(), LevelH()}) {
            const int Plain = TEncoder::ChooseVersion(Text, qrUTF8BOM, Level);
            const int Mixed = TEncoder::ChooseVersion(Text, qrUTF8BOM, Level, Optimize);
            ASSERT_NE(Mixed, 0);
            if (Plain != 0) {
                ASSERT_LE(Mixed, Plain) << "text #" << Trial;
            }
        }
    }
    // A long number inside a URL: byte mode needs version 4, the number in numeric mode 3.
    const std::u16string Url = u"https://example.org/track?id=73920184650293817465028391746502";
    EXPECT_EQ(TEncoder::ChooseVersion(Url, qrUTF8BOM, LevelL()), 4);
    EXPECT_EQ(TEncoder::ChooseVersion(Url, qrUTF8BOM, LevelL(), Optimize), 3);
    const Encoded E = Encode(Url, qrUTF8BOM, Optimize);
    ASSERT_NE(E.Record.Matrix(), nullptr);
    EXPECT_FALSE(E.Error);
    EXPECT_EQ(Decode(E.Record), std::vector<std::string>{Utf16ToUtf8(Url)});
    // 7089 digits fill version 40 whatever the option's byte form; a text of digits and letters
    // that byte mode cannot hold fits when mixed.
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(7089, u'7'), qrUTF8BOM, LevelL(), Optimize), 40);
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(7090, u'7'), qrUTF8BOM, LevelL(), Optimize), 0);
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(3000, u'7') + u"abc", qrUTF8BOM, LevelL()), 0);
    EXPECT_NE(TEncoder::ChooseVersion(std::u16string(3000, u'7') + u"abc", qrUTF8BOM, LevelL(), Optimize), 0);
}

TEST(OptimalSegments, TheByteOrderMarkOpensTheFirstSegmentOnly) {
    TSymbolChoices Optimize;
    Optimize.Optimize = true;
    const Encoded E = Encode(u"12345678901234567890x\u00E9", qrUTF8NoBOM, Optimize);
    ASSERT_EQ(E.Record.Segments().size(), 3u);
    EXPECT_EQ(E.Record.Segments()[0].Mode, qmByte);
    EXPECT_EQ(E.Record.Segments()[0].Count, 3);  // EF BB BF alone
    EXPECT_EQ(E.Record.Segments()[1].Mode, qmNumeric);
    EXPECT_EQ(E.Record.Segments()[2].Count, 3);  // x and the two bytes of é, no second mark
    EXPECT_EQ(Decode(E.Record), std::vector<std::string>{"\xEF\xBB\xBF" "12345678901234567890x\xC3\xA9"});
}

TEST(EciHeader, DesignatorBeforeTheDataAndCountedInTheFit) {
    TSymbolChoices Eci;
    Eci.Eci = true;
    // 7.4.2.2: 0111, then the designator in one codeword.
    EXPECT_EQ(qrtest::BitString(EciSegment(26).Data), "00011010");
    const Encoded Utf8 = Encode(u"a\u00E7\u00E3o", qrUTF8BOM, Eci);
    ASSERT_EQ(Utf8.Record.Segments().size(), 2u);
    EXPECT_EQ(Utf8.Record.Segments()[0].Mode, qmECI);
    EXPECT_EQ(Utf8.Record.Segments()[0].Count, 26);
    EXPECT_EQ(Encode(u"a\u00E7\u00E3o", qrISO88591, Eci).Record.Segments()[0].Count, 3);
    EXPECT_EQ(Encode(u"a\u00E7\u00E3o", qrAuto, Eci).Record.Segments()[0].Count, 3);
    EXPECT_EQ(Encode(u"\u6771\u4EAC", qrAuto, Eci).Record.Segments()[0].Count, 26);
    // 17 bytes fill version 1 at L (19 codewords: 12 header bits, 136 data bits, 4 to spare):
    // the 12 bits of the ECI header push them into version 2.
    const std::u16string Full(17, u'e');
    EXPECT_EQ(TEncoder::ChooseVersion(Full, qrUTF8BOM, LevelL()), 1);
    EXPECT_EQ(TEncoder::ChooseVersion(Full, qrUTF8BOM, LevelL(), Eci), 2);
    EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(2953, u'e'), qrUTF8BOM, LevelL(), Eci), 0);
}

namespace {

// What zbar reads from the symbols side by side in one picture: a structured-append set is
// joined only when all of its symbols are in view.
std::vector<std::string> DecodeSideBySide(const std::vector<TQRCode>& Records) {
    constexpr int Quiet = 4, Scale = 3;
    int Width = Quiet, Height = 0;
    for (const TQRCode& R : Records) {
        Width += R.Matrix()->Width() + Quiet;
        Height = std::max(Height, R.Matrix()->Width() + 2 * Quiet);
    }
    std::vector<std::uint8_t> Grey(static_cast<std::size_t>(Width * Scale) * static_cast<std::size_t>(Height * Scale), 255);
    int Left = Quiet;
    for (const TQRCode& R : Records) {
        const TByteMatrix& M = *R.Matrix();
        for (int y = 0; y < M.Height(); ++y)
            for (int x = 0; x < M.Width(); ++x)
                if (M.Get(x, y) == 1)
                    for (int dy = 0; dy < Scale; ++dy)
                        for (int dx = 0; dx < Scale; ++dx)
                            Grey[static_cast<std::size_t>((y + Quiet) * Scale + dy) * static_cast<std::size_t>(Width * Scale) +
                                 static_cast<std::size_t>((Left + x) * Scale + dx)] = 0;
        Left += M.Width() + Quiet;
    }
    return zbartest::DecodeGrey(Grey, Width * Scale, Height * Scale);
}

int XorOf(const std::string& Bytes) {
    int Parity = 0;
    for (const char b : Bytes) Parity ^= static_cast<unsigned char>(b);
    return Parity;
}

}  // namespace

TEST(StructuredAppend, PartsKeepCharactersWholeAndShareTheBytes) {
    // é is 2 bytes, 東 3, the pair of surrogates of 😀 4: never cut inside.
    const std::u16string Text = u"a\u00E9\u6771\U0001F600b";
    const std::vector<std::u16string_view> Three = SplitForSymbols(Text, qrUTF8BOM, 3);
    ASSERT_EQ(Three.size(), 3u);
    // Of 11 bytes, the first part ends where 11/3 is reached (3, after é), the second at 22/3 (10).
    EXPECT_EQ(std::u16string(Three[0]), u"a\u00E9");
    EXPECT_EQ(std::u16string(Three[1]), u"\u6771\U0001F600");
    EXPECT_EQ(std::u16string(Three[2]), u"b");
    EXPECT_TRUE(SplitForSymbols(Text, qrUTF8BOM, 6).empty());  // five characters
    const std::vector<std::u16string_view> Even = SplitForSymbols(std::u16string(10, u'7'), qrNumeric, 4);
    ASSERT_EQ(Even.size(), 4u);
    EXPECT_EQ(Even[0].size() + Even[1].size() + Even[2].size() + Even[3].size(), 10u);
    for (const auto Part : Even) EXPECT_GE(Part.size(), 2u);
}

TEST(StructuredAppend, ZbarJoinsTheSetToTheWholeText) {
    std::u16string Text;
    for (int i = 0; i < 30; ++i) Text += u"Quandrel \u6771\u4EAC \u00E7 " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    const std::string Bytes = Utf16ToUtf8(Text);
    TEncoder Encoder;
    const std::vector<TQRCode> Set = Encoder.EncodeSymbols(Text, qrUTF8BOM, LevelM(), {}, 3);
    ASSERT_EQ(Set.size(), 3u);
    EXPECT_FALSE(Encoder.EncoderError());
    for (const TQRCode& R : Set) {
        ASSERT_NE(R.Matrix(), nullptr);
        ASSERT_EQ(R.Segments().front().Mode, qmStructuredAppend);
    }
    EXPECT_EQ(DecodeSideBySide(Set), std::vector<std::string>{Bytes});
    // The parity byte is the XOR of the whole text's bytes: so are the parts' segments.
    int Parity = 0;
    for (const std::u16string_view Part : SplitForSymbols(Text, qrUTF8BOM, 3))
        for (const TSegment& S : PlanSymbol(Part, qrUTF8BOM, LevelM()).Segments) Parity ^= SegmentParity(S);
    EXPECT_EQ(Parity, XorOf(Bytes));
    TSymbolChoices Optimize;
    Optimize.Optimize = true;
    Optimize.Kanji = true;
    Parity = 0;  // numeric, alphanumeric and Kanji segments give back their characters' bytes
    for (const TSegment& S : PlanSymbol(u"\u70B9 12345 AB/C", qrUTF8BOM, LevelL(), Optimize).Segments)
        Parity ^= SegmentParity(S);
    EXPECT_EQ(Parity, XorOf("\x93\x5F 12345 AB/C"));
    // Mixed segments and Kanji in each part: the parity counts what a reader gives, Shift JIS
    // for the Kanji segments, and zbar still joins the set.
    TSymbolChoices Mixed;
    Mixed.Optimize = true;
    Mixed.Kanji = true;
    const std::vector<TQRCode> Kanji = Encoder.EncodeSymbols(u"\u70B9\u8317 12345678901234567890 ABC", qrUTF8BOM, LevelL(), Mixed, 2);
    ASSERT_EQ(Kanji.size(), 2u);
    EXPECT_EQ(DecodeSideBySide(Kanji), std::vector<std::string>{"\x93\x5F\xE4\xAA 12345678901234567890 ABC"});
    EXPECT_FALSE(Encoder.EncoderError());
}

TEST(StructuredAppend, TheFewestSymbolsAndTheRefusals) {
    TEncoder Encoder;
    // One symbol holds it: a plain symbol, no header.
    const std::vector<TQRCode> One = Encoder.EncodeSymbols(u"short", qrUTF8BOM, LevelL(), {}, 0);
    ASSERT_EQ(One.size(), 1u);
    EXPECT_EQ(One[0].Segments().front().Mode, qmByte);
    // 4000 bytes need two symbols at L (version 40 holds 2953): two halves of the same version.
    const std::u16string Long(4000, u'x');
    const std::vector<TQRCode> Two = Encoder.EncodeSymbols(Long, qrUTF8BOM, LevelL(), {}, 0);
    ASSERT_EQ(Two.size(), 2u);
    EXPECT_EQ(Two[0].Version(), Two[1].Version());
    EXPECT_EQ(DecodeSideBySide(Two), std::vector<std::string>{std::string(4000, 'x')});
    EXPECT_FALSE(Encoder.EncoderError());
    // 16 symbols at most: 16 x 2950 bytes fit, 16 x 2953 do not; 17 is refused outright.
    EXPECT_EQ(TEncoder().EncodeSymbols(std::u16string(16 * 2950, u'x'), qrUTF8BOM, LevelL(), {}, 0).size(), 16u);
    for (const int Symbols : {0, 16, 17, -1}) {
        TEncoder Refusing;
        EXPECT_TRUE(Refusing.EncodeSymbols(std::u16string(16 * 2953, u'x'), qrUTF8BOM, LevelL(), {}, Symbols).empty());
        EXPECT_TRUE(Refusing.EncoderError());
    }
    TEncoder Few;
    EXPECT_TRUE(Few.EncodeSymbols(u"ab", qrUTF8BOM, LevelL(), {}, 3).empty());  // fewer characters than symbols
    EXPECT_TRUE(Few.EncoderError());
}

TEST(MicroQR, CapacityOfEveryVersionLevelAndMode) {
    // The most each version holds at each level in each mode; 0 where it has no such mode.
    struct Edge {
        int Version;
        TErrorCorrectionLevel Level;
        int Numeric, Alphanumeric, Bytes, Kanji;
    };
    const Edge Edges[] = {
        {1, LevelL(), 5, 0, 0, 0},    {2, LevelL(), 10, 6, 0, 0},   {2, LevelM(), 8, 5, 0, 0},
        {3, LevelL(), 23, 14, 9, 6},  {3, LevelM(), 18, 11, 7, 4},  {4, LevelL(), 35, 21, 15, 9},
        {4, LevelM(), 30, 18, 13, 8}, {4, LevelQ(), 21, 13, 9, 5},
    };
    for (const Edge& E : Edges) {
        TSymbolChoices Micro;
        Micro.Micro = true;
        Micro.MinVersion = E.Version;
        Micro.StrictVersion = true;
        Micro.Kanji = true;
        const struct {
            int Most, Option;
            char16_t Unit;
        } Modes[] = {{E.Numeric, qrNumeric, u'7'}, {E.Alphanumeric, qrAlphanumeric, u'Z'},
                     {E.Bytes, qrISO88591, u'z'}, {E.Kanji, qrAuto, u'\u70B9'}};
        for (const auto& M : Modes) {
            SCOPED_TRACE(testing::Message() << "M" << E.Version << " level " << E.Level.Ordinal() << " option " << M.Option);
            if (M.Most > 0) {
                EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(static_cast<std::size_t>(M.Most), M.Unit), M.Option,
                                                  E.Level, Micro), E.Version);
            }
            EXPECT_EQ(TEncoder::ChooseVersion(std::u16string(static_cast<std::size_t>(M.Most + 1), M.Unit), M.Option,
                                              E.Level, Micro), 0);
        }
    }
    // No M symbol at level H, nor M1 at M.
    TSymbolChoices Micro;
    Micro.Micro = true;
    EXPECT_EQ(TEncoder::ChooseVersion(u"1", qrNumeric, LevelH(), Micro), 0);
    EXPECT_EQ(TEncoder::ChooseVersion(u"1", qrNumeric, LevelM(), Micro), 2);
    TQRCode Record;
    TEncoder Encoder;
    Encoder.EncodeSymbol(u"12345", qrNumeric, LevelL(), Micro, Record);
    ASSERT_NE(Record.Matrix(), nullptr);
    EXPECT_EQ(Record.Matrix()->Width(), 11);
    EXPECT_EQ(Record.Version(), 1);
    EXPECT_FALSE(Encoder.EncoderError());
}
