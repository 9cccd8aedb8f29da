// Round trips through an independent decoder: every symbol we make must decode with zbar to
// exactly the bytes we put in.

#include <gtest/gtest.h>

#include <random>

#include "grid/qrcodegrid.h"
#include "testing.h"
#include "zbardecode.h"

using namespace qr;

namespace {

struct Decoded {
    int Version = 0;
    std::vector<std::string> Found;
};

Decoded EncodeAndDecode(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level = LevelL()) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, Level, Record);
    Decoded Result;
    if (!Record.Matrix()) return Result;
    Result.Version = Record.Version();
    const TByteMatrix& M = *Record.Matrix();
    Result.Found = zbartest::DecodeModules(M.Width(), [&](int r, int c) { return M.Get(c, r) == 1; });
    return Result;
}

std::string Utf8(std::u16string_view Text) { return Utf16ToUtf8(Text); }

struct Case {
    const char* Name;
    std::u16string Text;
    int Option;
    std::string Bytes;  // what the symbol carries
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, DecodesToTheBytesPutIn) {
    const Case& C = GetParam();
    const Decoded D = EncodeAndDecode(C.Text, C.Option);
    ASSERT_EQ(D.Found.size(), 1u) << C.Name;
    EXPECT_EQ(D.Found[0], C.Bytes) << C.Name;
}

const std::u16string Cjk = u"\u6F22\u5B57\u30C6\u30B9\u30C8\uD55C\uAE00";  // 漢字テスト한글
const std::u16string Emoji = u"\U0001F600\U0001F389 ok";

INSTANTIATE_TEST_SUITE_P(
    Modes, RoundTrip,
    ::testing::Values(
        Case{"numeric", u"0123456789", qrAuto, "0123456789"},
        Case{"numeric filtered", u"12a3", qrNumeric, "123"},
        Case{"alphanumeric", u"HELLO WORLD $%*+-./:", qrAuto, "HELLO WORLD $%*+-./:"},
        Case{"latin-1", u"caf\u00E9 \u00F1and\u00FA", qrAuto, "caf\xE9 \xF1" "and\xFA"},
        Case{"latin-1 filtered", u"a\u20ACb", qrISO88591, "ab"},
        Case{"utf-8 cjk", Cjk, qrUTF8BOM, Utf8(Cjk)},
        Case{"utf-8 emoji", Emoji, qrUTF8BOM, Utf8(Emoji)},
        Case{"utf-8 with bom", u"\u00E9t\u00E9", qrUTF8NoBOM, "\xEF\xBB\xBF" + Utf8(u"\u00E9t\u00E9")},
        Case{"auto above latin-1", u"\u20AC 5", qrAuto, "\xEF\xBB\xBF" "\xE2\x82\xAC 5"},
        Case{"crlf", u"line one\r\nline two\r\n", qrUTF8BOM, "line one\r\nline two\r\n"},
        Case{"unpaired surrogate", u"a\xD800" "b", qrUTF8BOM, "a\xEF\xBF\xBD" "b"},
        Case{"empty", u"", qrUTF8BOM, ""},
        Case{"empty auto", u"", qrAuto, "\xEF\xBB\xBF"}),
    [](const auto& Info) {
        std::string Name = Info.param.Name;
        for (char& c : Name)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return Name;
    });

// The most bytes a version holds in byte mode at level L.
int ByteCapacity(int Version) {
    const auto V = TVersion::GetVersionForNumber(Version);
    const int Data = V->GetTotalCodewords() - V->GetECBlocksForLevel(LevelL()).GetTotalECCodewords();
    return (8 * Data - 4 - CountFieldWidth(qmByte, *V)) / 8;
}

std::u16string RandomAscii(std::size_t n, std::mt19937& Rng) {
    std::uniform_int_distribution<int> Printable(0x20, 0x7E);
    std::u16string s(n, u' ');
    for (auto& c : s) c = static_cast<char16_t>(Printable(Rng));
    return s;
}

// A full symbol of every version, and one byte more moving to the next version.
TEST(RoundTripVersions, EveryVersionFullAndOneByteOver) {
    std::mt19937 Rng(2026);
    for (int v = 1; v <= 40; ++v) {
        const std::u16string Full = RandomAscii(static_cast<std::size_t>(ByteCapacity(v)), Rng);
        const Decoded D = EncodeAndDecode(Full, qrUTF8BOM);
        EXPECT_EQ(D.Version, v);
        ASSERT_EQ(D.Found.size(), 1u) << "version " << v;
        EXPECT_EQ(D.Found[0], Utf8(Full)) << "version " << v;
        if (v < 40) {
            const Decoded Over = EncodeAndDecode(Full + u"x", qrUTF8BOM);
            EXPECT_EQ(Over.Version, v + 1);
            ASSERT_EQ(Over.Found.size(), 1u) << "version " << v + 1;
            EXPECT_EQ(Over.Found[0], Utf8(Full + u"x"));
        }
    }
}

// Every level, in each mode: 100 units need versions 5 (L), 6 (M), 8 (Q) and 10 (H) in byte
// mode, fewer in the denser modes.
TEST(RoundTripLevels, EveryLevelDecodes) {
    std::mt19937 Rng(13);
    const std::u16string Bytes = RandomAscii(100, Rng);
    const std::u16string Digits(300, u'9');
    const std::u16string Alnum = u"QUANDREL QR CODE AT EVERY LEVEL: $%*+-./";
    const struct {
        TErrorCorrectionLevel Level;
        int ByteVersion;
    } Levels[] = {{LevelL(), 5}, {LevelM(), 6}, {LevelQ(), 8}, {LevelH(), 10}};
    for (const auto& L : Levels) {
        const Decoded D = EncodeAndDecode(Bytes, qrUTF8BOM, L.Level);
        EXPECT_EQ(D.Version, L.ByteVersion) << "level " << L.Level.Bits();
        ASSERT_EQ(D.Found.size(), 1u) << "level " << L.Level.Bits();
        EXPECT_EQ(D.Found[0], Utf8(Bytes));
        for (const auto& Text : {Digits, Alnum}) {
            const Decoded E = EncodeAndDecode(Text, qrAuto, L.Level);
            ASSERT_EQ(E.Found.size(), 1u) << "level " << L.Level.Bits();
            EXPECT_EQ(E.Found[0], Utf8(Text));
        }
    }
}

// The largest texts of each mode, where the count field is widest.
TEST(RoundTripVersions, LargestOfEachMode) {
    std::mt19937 Rng(7);
    std::u16string Digits(7089, u'0'), Alnum(4296, u'A');
    const char16_t Set[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    for (auto& c : Digits) c = static_cast<char16_t>(u'0' + Rng() % 10);
    for (auto& c : Alnum) c = Set[Rng() % 45];
    const std::u16string Bytes = RandomAscii(2953, Rng);
    for (const auto& [Text, Expected] : {std::pair{Digits, Utf8(Digits)}, std::pair{Alnum, Utf8(Alnum)},
                                         std::pair{Bytes, Utf8(Bytes)}}) {
        const Decoded D = EncodeAndDecode(Text, qrAuto);
        EXPECT_EQ(D.Version, 40);
        ASSERT_EQ(D.Found.size(), 1u);
        EXPECT_EQ(D.Found[0], Expected);
    }
}

// The count field widens at versions 10 and 27: texts on both sides of each switch.
TEST(RoundTripVersions, CountFieldSwitches) {
    std::mt19937 Rng(9);
    for (const int v : {9, 10, 26, 27}) {
        for (const std::size_t n : {static_cast<std::size_t>(ByteCapacity(v)), static_cast<std::size_t>(ByteCapacity(v - 1) + 1)}) {
            const std::u16string Text = RandomAscii(n, Rng);
            const Decoded D = EncodeAndDecode(Text, qrUTF8BOM);
            EXPECT_EQ(D.Version, v) << n << " bytes";
            ASSERT_EQ(D.Found.size(), 1u);
            EXPECT_EQ(D.Found[0], Utf8(Text));
        }
    }
}

}  // namespace
