// The text conversions the window and the command line share.

#include <gtest/gtest.h>

#include <string>

#include "text/textconv.h"

namespace {

TEST(DecodeUtf8, AcceptsWellFormedAndNamesTheFirstBadByte) {
    struct Case {
        std::string Bytes;
        bool Valid;
        std::size_t Offset;
    };
    const Case Cases[] = {
        {"", true, 0},
        {"abc", true, 0},
        {"Ol\xC3\xA1", true, 0},
        {"\xF0\x9F\x98\x80", true, 0},            // U+1F600, a surrogate pair in UTF-16
        {"ab\xFF", false, 2},                     // not a lead byte
        {"a\xC3", false, 1},                      // truncated
        {"a\xC3(", false, 1},                     // bad continuation
        {"\xC0\xAF", false, 0},                   // overlong
        {"x\xE0\x80\xAF", false, 1},              // overlong three-byte form
        {"xy\xED\xA0\x80", false, 2},             // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", false, 0},           // above U+10FFFF
        {"ok\x80", false, 2},                     // a lone continuation byte
    };
    for (const Case& C : Cases) {
        const qrtext::Decoded D = qrtext::DecodeUtf8(C.Bytes);
        EXPECT_EQ(D.Text.has_value(), C.Valid) << C.Bytes;
        if (!C.Valid) {
            EXPECT_EQ(D.ErrorOffset, C.Offset) << C.Bytes;
        }
    }
    EXPECT_EQ(*qrtext::DecodeUtf8("\xF0\x9F\x98\x80").Text, u"\U0001F600");
}

TEST(LineFeedsToCrLf, EachLineFeedNotAfterCrBecomesCrLf) {
    EXPECT_EQ(qrtext::LineFeedsToCrLf(u"a\nb\n"), u"a\r\nb\r\n");
    EXPECT_EQ(qrtext::LineFeedsToCrLf(u"a\r\nb"), u"a\r\nb");
    EXPECT_EQ(qrtext::LineFeedsToCrLf(u"\n\n"), u"\r\n\r\n");
    // A lone CR and the document separators are not line feeds.
    EXPECT_EQ(qrtext::LineFeedsToCrLf(u"a\rb\u2029c"), u"a\rb\u2029c");
}

TEST(SeparatorsToCrLf, SeparatorsBecomeCrLfAndNothingElseChanges) {
    EXPECT_EQ(qrtext::SeparatorsToCrLf(u"a\u2029b\u2028c"), std::u16string(u"a\r\nb\r\nc"));
    // Non-breaking space, tab and surrogate pairs stay as they are.
    EXPECT_EQ(qrtext::SeparatorsToCrLf(u"\u00A0\t😀"), std::u16string(u"\u00A0\t😀"));
    EXPECT_EQ(qrtext::SeparatorsToCrLf(u""), std::u16string());
    // CR and LF are not separators.
    EXPECT_EQ(qrtext::SeparatorsToCrLf(u"a\nb\rc"), std::u16string(u"a\nb\rc"));
}

}  // namespace
