// Fuzzes the encoder through the code grid with arbitrary UTF-16 text (lone surrogates, NULs,
// U+FFFF and all), every encoding option and quiet zone, and checks on every input that the
// symbol is the one the text calls for, not only that nothing crashes.
//
// Input: byte 0 chooses the option (mod 6) and the error-correction level (byte 0 / 6 mod 4:
// L, M, Q, H; the grid is checked at level L, the level it uses), byte 1 the quiet zone
// (mod 101); the rest are UTF-16 code units, little-endian, a trailing odd byte taken as a
// unit of its own.

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "grid/qrcodegrid.h"
#include "fuzzcheck.h"

namespace {

using fuzzcheck::Check;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAlnum(char16_t c) {
    return IsDigit(c) || (c >= u'A' && c <= u'Z') || std::u16string_view(u" $%*+-./:").find(c) != std::u16string_view::npos;
}

// UTF-8 length of UTF-16 text, an unpaired surrogate counting as U+FFFD (3 bytes).
int Utf8Length(std::u16string_view s) {
    int n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            n += 4;
            ++i;
        } else {
            n += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
    }
    return n;
}

// The segment's mode (1 numeric, 2 alphanumeric, 4 byte) and its count, worked out from the
// text and the option without the encoder.
void ExpectedSegment(std::u16string_view s, int Option, int& Mode, int& Count) {
    auto CountIf = [&](auto Pred) {
        int k = 0;
        for (char16_t c : s) k += Pred(c) ? 1 : 0;
        return k;
    };
    const int Units = static_cast<int>(s.size());
    if (Option == qr::qrAuto) {
        if (Units > 0 && CountIf(IsDigit) == Units) Option = qr::qrNumeric;
        else if (Units > 0 && CountIf(IsAlnum) == Units) Option = qr::qrAlphanumeric;
        else if (Units > 0 && CountIf([](char16_t c) { return c <= 0xFF; }) == Units) Option = qr::qrISO88591;
        else Option = qr::qrUTF8NoBOM;
    }
    switch (Option) {
        case qr::qrNumeric: Mode = 1; Count = CountIf(IsDigit); break;
        case qr::qrAlphanumeric: Mode = 2; Count = CountIf(IsAlnum); break;
        case qr::qrISO88591: Mode = 4; Count = CountIf([](char16_t c) { return c <= 0xFF; }); break;
        case qr::qrUTF8NoBOM: Mode = 4; Count = 3 + Utf8Length(s); break;
        default: Mode = 4; Count = Utf8Length(s); break;
    }
}

// The smallest version whose data capacity at the level holds the segment, or 0.
int ExpectedVersion(int Mode, int Count, const qr::TErrorCorrectionLevel& Level) {
    for (int v = 1; v <= 40; ++v) {
        const int Column = v <= 9 ? 0 : v <= 26 ? 1 : 2;
        constexpr int Widths[3][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}};
        const int CountBits = Widths[Mode == 1 ? 0 : Mode == 2 ? 1 : 2][Column];
        const int DataBits = Mode == 1   ? 10 * (Count / 3) + (Count % 3 == 2 ? 7 : Count % 3 == 1 ? 4 : 0)
                             : Mode == 2 ? 11 * (Count / 2) + 6 * (Count % 2)
                                         : 8 * Count;
        if (Count >= (1 << CountBits)) continue;
        const auto V = qr::TVersion::GetVersionForNumber(v);
        const int Capacity = V->GetTotalCodewords() - V->GetECBlocksForLevel(Level).GetTotalECCodewords();
        if (4 + CountBits + DataBits <= 8 * Capacity) return v;
    }
    return 0;
}

// The format words of levels L, M, Q and H for masks 0 to 7.
constexpr int FormatWords[4][8] = {{0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976},
                                   {0x5412, 0x5125, 0x5E7C, 0x5B4B, 0x45F9, 0x40CE, 0x4F97, 0x4AA0},
                                   {0x355F, 0x3068, 0x3F31, 0x3A06, 0x24B4, 0x2183, 0x2EDA, 0x2BED},
                                   {0x1689, 0x13BE, 0x1CE7, 0x19D0, 0x0762, 0x0255, 0x0D0C, 0x083B}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2) return 0;
    const int Option = Data[0] % 6;
    const int LevelIndex = Data[0] / 6 % 4;
    const qr::TErrorCorrectionLevel Levels[4] = {qr::LevelL(), qr::LevelM(), qr::LevelQ(), qr::LevelH()};
    const qr::TErrorCorrectionLevel& Level = Levels[LevelIndex];
    const int QuietZone = Data[1] % 101;
    std::u16string Text;
    for (std::size_t i = 2; i < Size; i += 2)
        Text.push_back(static_cast<char16_t>(Data[i] | (i + 1 < Size ? Data[i + 1] << 8 : 0)));

    qr::TQRCodeGrid Grid;
    Grid.SetQuietZone(QuietZone);
    Grid.SetEncoding(static_cast<qr::TQRCodeEncoding>(Option));
    Grid.SetData(Text);
    // A grid whose writes all kept the values it was created with has not encoded at all.
    const bool Encoded = QuietZone != 4 || Option != qr::qrAuto || !Text.empty();

    int Mode = 0, Count = 0;
    ExpectedSegment(Text, Option, Mode, Count);
    const int Version = ExpectedVersion(Mode, Count, Level);
    const int GridVersion = LevelIndex == 0 ? Version : ExpectedVersion(Mode, Count, qr::LevelL());

    // Mixed segments hold every text one segment holds, in a symbol never larger.
    qr::TSymbolChoices Optimize;
    Optimize.Optimize = true;
    const int Mixed = qr::TEncoder::ChooseVersion(Text, Option, Level, Optimize);
    Check(Version == 0 || (Mixed != 0 && Mixed <= Version), "--optimize is never larger than one segment");
    // Kanji mode is one more choice for the optimizer: never a larger symbol, except where it
    // keeps characters that Latin-1 bytes would drop.
    qr::TSymbolChoices Kanji = Optimize;
    Kanji.Kanji = true;
    const int WithKanji = qr::TEncoder::ChooseVersion(Text, Option, Level, Kanji);
    Check(Option == qr::qrISO88591 || Mixed == 0 || (WithKanji != 0 && WithKanji <= Mixed),
          "--optimize --kanji is never larger than --optimize");

    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, Level, Record);
    Check((Record.Matrix() != nullptr) == (Version != 0), "a symbol exists exactly when the text fits");
    Check(Encoder.EncoderError() == (Version == 0), "the error flag is set exactly when no version holds the text");
    const int Side = Version ? 17 + 4 * Version : 0;
    const int GridSide = GridVersion ? 17 + 4 * GridVersion : 0;
    Check(Grid.Rows() == (Encoded ? GridSide + 2 * QuietZone : 0) && Grid.Columns() == Grid.Rows(), "grid side");
    if (!GridVersion)
        for (int r = -1; r <= Grid.Rows(); ++r) Check(!Grid.IsBlack(r, r), "empty grid is light");
    if (!Version) {
        Check(Record.Version() == -1 && Record.At(0, 0) == -1 && Record.QRCodeError(), "no symbol to read");
        return 0;
    }
    Check(Record.Version() == Version, "smallest version that fits");
    Check(static_cast<int>(Record.Mode()) == Mode, "mode");
    const qr::TByteMatrix& M = *Record.Matrix();
    Check(M.Width() == Side && M.Height() == Side, "side is 17 + 4 x version");

    int First = 0, Second = 0;
    const int FirstCells[15][2] = {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
                                   {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};
    for (int b = 0; b < 15; ++b) {
        First |= (M.Get(FirstCells[b][0], FirstCells[b][1]) == 1) << b;
        Second |= (b < 8 ? M.Get(Side - 1 - b, 8) == 1 : M.Get(8, Side - 15 + b) == 1) << b;
    }
    Check(First == Second, "both copies of the format information agree");
    Check(Record.MaskPattern() >= 0 && Record.MaskPattern() < 8 && First == FormatWords[LevelIndex][Record.MaskPattern()],
          "format information names the level and the chosen mask");

    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const int Cell = M.Get(x, y);
            Check(Cell == 0 || Cell == 1, "every cell is light or dark");
            // The grid encoded the same input separately: a second encoding gives the same matrix.
            if (LevelIndex == 0)
                Check(Grid.IsBlack(y + QuietZone, x + QuietZone) == (Encoded && Cell == 1), "grid agrees with the matrix");
        }
    Check(!Grid.IsBlack(QuietZone - 1, QuietZone) && !Grid.IsBlack(-1, -1) && !Grid.IsBlack(Grid.Rows(), 0),
          "quiet zone and outside are light");
    return 0;
}
