// --verify's parts in the test's own process: the picture a reader sees, the bytes it must give
// back, and a damaged picture refused. zbar is the test's own (tests/support), handed in as the
// reader, since the program's private library is found beside the program, not the test.

#include <gtest/gtest.h>

#include <string>

#include "modulebitmap.h"
#include "verify.h"
#include "zbardecode.h"

namespace {

using qrcli::GreyPicture;
using qrcli::OutputType;

std::vector<std::string> Zbar(const GreyPicture& P, bool Binary) {
    EXPECT_TRUE(Binary);  // only the raw bytes are compared here
    return zbartest::DecodeGrey(P.Samples, P.Width, P.Height);
}

qr::TQRCodeGrid Grid(std::u16string_view Text, char Level = 'L', int QuietZone = 4) {
    const auto L = Level == 'H' ? qr::LevelH() : Level == 'Q' ? qr::LevelQ() : Level == 'M' ? qr::LevelM() : qr::LevelL();
    return qrpicture::SymbolGrid(Text, {qr::qrUTF8BOM, L, QuietZone, {}});
}

TEST(Verify, EveryPictureOfEveryLevelReadsBack) {
    const std::u16string Text = u"Olá, verificação 123";
    const std::string Bytes = qrcli::SymbolBytes(Text, qr::qrUTF8BOM);
    for (const char Level : {'L', 'M', 'Q', 'H'})
        for (const OutputType Type : {OutputType::Png, OutputType::Svg, OutputType::Eps, OutputType::Pdf,
                                      OutputType::Jpeg, OutputType::Utf8, OutputType::Ascii, OutputType::Matrix}) {
            const int QuietZone = Type == OutputType::Jpeg ? qrpicture::kWindowQuietZone : 4;
            const GreyPicture P = qrcli::ReaderPicture(Type, Grid(Text, Level, QuietZone), {});
            EXPECT_EQ(qrcli::VerifyPicture(P, Bytes, Zbar), std::nullopt) << Level << static_cast<int>(Type);
        }
}

TEST(Verify, ADamagedPictureOrOtherBytesAreRefused) {
    const std::u16string Text = u"https://example.com/verify";
    const std::string Bytes = qrcli::SymbolBytes(Text, qr::qrUTF8BOM);
    const GreyPicture Whole = qrcli::ReaderPicture(OutputType::Png, Grid(Text), {});
    ASSERT_EQ(qrcli::VerifyPicture(Whole, Bytes, Zbar), std::nullopt);

    // The top-left finder pattern painted over: no symbol is found.
    GreyPicture Damaged = Whole;
    for (int y = 0; y < 11 * 3 + 12; ++y)
        for (int x = 0; x < 11 * 3 + 12; ++x) Damaged.Samples[static_cast<std::size_t>(y) * Damaged.Width + x] = 255;
    const auto Refused = qrcli::VerifyPicture(Damaged, Bytes, Zbar);
    ASSERT_TRUE(Refused.has_value());
    EXPECT_NE(Refused->find("finds no symbol"), std::string::npos) << *Refused;

    // Read well, but not the bytes the file was meant to hold.
    const auto Other = qrcli::VerifyPicture(Whole, Bytes + "x", Zbar);
    ASSERT_TRUE(Other.has_value());
    EXPECT_NE(Other->find("differ"), std::string::npos) << *Other;

    // Inverted colours, which zbar (as many phone readers) does not read, nor colours too close
    // to tell apart as drawn on white paper.
    qrpicture::TDrawing Inverted, Faint;
    Inverted.Foreground = {255, 255, 255, 255};
    Inverted.Background = {0, 0, 0, 255};
    Faint.Foreground = {0, 0, 0, 8};
    EXPECT_TRUE(qrcli::VerifyPicture(qrcli::ReaderPicture(OutputType::Png, Grid(Text), Inverted), Bytes, Zbar));
    EXPECT_TRUE(qrcli::VerifyPicture(qrcli::ReaderPicture(OutputType::Png, Grid(Text), Faint), Bytes, Zbar));
}

TEST(Verify, SymbolBytesAreWhatEachEncodingCarries) {
    const struct {
        std::u16string Text;
        qr::TQRCodeEncoding Encoding;
        std::string Bytes;
    } Cases[] = {
        {u"ação", qr::qrUTF8BOM, "a\xC3\xA7\xC3\xA3o"},
        {u"ação", qr::qrUTF8NoBOM, "\xEF\xBB\xBF" "a\xC3\xA7\xC3\xA3o"},
        {u"ação €", qr::qrISO88591, "a\xE7\xE3o "},
        {u"a1b2", qr::qrNumeric, "12"},
        {u"Ab-1", qr::qrAlphanumeric, "A-1"},
        {u"ação", qr::qrAuto, "a\xE7\xE3o"},
        {u"5 €", qr::qrAuto, "\xEF\xBB\xBF" "5 \xE2\x82\xAC"},
        {u"\U0001F600", qr::qrUTF8BOM, "\xF0\x9F\x98\x80"},
    };
    for (const auto& C : Cases) EXPECT_EQ(qrcli::SymbolBytes(C.Text, C.Encoding), C.Bytes);
}

}  // namespace
