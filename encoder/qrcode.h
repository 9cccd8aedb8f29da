#pragma once
// The symbol encoder: any UTF-16 text to its finished QR Code model 2 symbol (ISO/IEC 18004).

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "bytematrix.h"
#include "version.h"

namespace qr {

// Segment modes, with their indicators and count-field widths (see ModeIndicatorOf, CountFieldWidth).
enum TMode : std::uint8_t {
    qmTerminator,
    qmNumeric,
    qmAlphanumeric,
    qmStructuredAppend,
    qmByte,
    qmECI,
    qmKanji,
    qmFNC1FirstPosition,
    qmFNC1SecondPosition,
    qmHanzi,
};

// The six encoding options. Note the pairing of the last two: qrUTF8NoBOM writes the
// byte-order mark EF BB BF, qrUTF8BOM writes none. The window uses qrUTF8BOM.
enum TQRCodeEncoding : std::uint8_t {
    qrAuto,
    qrNumeric,
    qrAlphanumeric,
    qrISO88591,
    qrUTF8NoBOM,
    qrUTF8BOM,
};

// The mode's 4-bit indicator (ISO/IEC 18004:2015 Table 2; qmHanzi's from GB/T 18284).
int ModeIndicatorOf(TMode mode);
// The width of the mode's character-count field at the version (Table 3).
int CountFieldWidth(TMode mode, const TVersion& version);

// Shift JIS through the platform's converter (glibc's iconv "SHIFT_JIS"; code page 932 on
// Windows), opened once for the many characters of a text. Not shared between threads.
class TShiftJis {
public:
    TShiftJis();
    // The 13-bit value Kanji mode writes for the character (7.4.6): its double-byte Shift JIS
    // code in 8140 to 9FFC or E040 to EBBF, less 8140 or C140, the high byte times C0 plus the
    // low byte. -1 for a character without one, and for every ASCII one: Shift JIS reads 5C
    // and 7E as yen and overline, so ASCII stays in the modes that carry it as itself.
    int KanjiValue(char32_t c);

private:
    struct TClose {
        void operator()(void* Handle) const;
    };
    std::unique_ptr<void, TClose> FHandle;
};

// What a symbol is made with beyond its text, option and level. The defaults are the plain
// encoding: one segment, the smallest version, the mask of least penalty, no ECI.
struct TSymbolChoices {
    // The smallest version used, 1 to 40: a text that needs more gets the larger version it
    // needs, or, with StrictVersion, no symbol at all (for layouts that must not change size).
    int MinVersion = 1;
    bool StrictVersion = false;
    // The mask 0 to 7, forced: the penalty is not consulted. -1: the mask of least penalty.
    int Mask = -1;
    // Numeric, alphanumeric and byte segments mixed so that the bits are the fewest possible
    // (for each group of count-field widths; the smallest version that holds one wins).
    // Under qrNumeric and qrAlphanumeric only their own characters are kept, as without it.
    bool Optimize = false;
    // An ECI header before the data (7.4.2.2), naming the byte segments' character set:
    // designator 3 (ISO/IEC 8859-1) where the bytes are Latin-1 (qrISO88591, or qrAuto on a
    // Latin-1 text), 26 (UTF-8) otherwise. Counted in the version fit.
    bool Eci = false;
    // Kanji mode (13 bits a character, Shift JIS by the platform's converter) for the
    // characters that have a double-byte Shift JIS code: their runs as Kanji segments and the
    // rest in byte segments, or with Optimize one more mode for the optimizer to weigh. A text
    // of such characters only is one Kanji segment under qrAuto. Off by default: readers
    // disagree about Kanji segments.
    bool Kanji = false;
    // A Micro QR symbol: MinVersion 1 to 4 means M1 to M4 and Mask a Micro QR mask 0 to 3; the
    // levels L (M1 being error detection only), M and Q; Optimize and Eci do not apply. The
    // record's version is then 1 to 4 and its matrix 11 to 17 modules wide.
    bool Micro = false;

    bool IsPlain() const {
        return MinVersion <= 1 && !StrictVersion && Mask < 0 && !Optimize && !Eci && !Kanji && !Micro;
    }
};

// A segment of a finished symbol: its mode and its count (bytes in byte mode, characters
// otherwise; the designator for an ECI header).
struct TSegmentInfo {
    TMode Mode;
    int Count;
};

// The finished symbol record.
class TQRCode {
public:
    TMode Mode() const { return FMode; }
    void SetMode(TMode Mode) { FMode = Mode; }
    // The record's own copy of the level, or none before one is set.
    const TErrorCorrectionLevel* ECLevel() const { return FECLevel ? &*FECLevel : nullptr; }
    int Version() const { return FVersion; }  // -1 until set
    void SetVersion(int Version) { FVersion = Version; }
    int MatrixWidth() const { return FMatrixWidth; }  // -1 until SetAll
    int MaskPattern() const { return FMaskPattern; }  // -1 until set
    void SetMaskPattern(int MaskPattern) { FMaskPattern = MaskPattern; }
    int NumTotalBytes() const { return FNumTotalBytes; }  // -1 until SetAll
    int NumDataBytes() const { return FNumDataBytes; }    // -1 until SetAll
    int NumRSBlocks() const { return FNumRSBlocks; }      // -1 until SetAll
    // Set by At on a cell that is not a module, never cleared; advisory, like every error flag
    // of the encoder: nothing in the program reads it.
    bool QRCodeError() const { return FQRCodeError; }
    // The segments the symbol holds, in order, the ECI header first where there is one. Mode()
    // is that of the first data segment.
    const std::vector<TSegmentInfo>& Segments() const { return FSegments; }
    void SetSegments(std::vector<TSegmentInfo> Segments) { FSegments = std::move(Segments); }
    // The finished matrix (0 light, 1 dark), or none when no symbol was built.
    const TByteMatrix* Matrix() const { return FMatrix.get(); }

    // The cell (X, Y); a value other than 0 and 1 also sets QRCodeError. A record without a
    // matrix answers -1 and sets QRCodeError.
    int At(int X, int Y);
    // True when the record is complete and consistent: a level, every figure set, the mask 0 to
    // 7, total = data + error-correction codewords, and a square matrix as wide as MatrixWidth.
    // EncodeSymbol sets neither the matrix width nor the codeword figures (SetAll does), so a
    // record it fills is not valid in this sense; its symbol is Matrix(), present exactly
    // when the text fitted.
    bool IsValid() const;
    static bool IsValidMaskPattern(int MaskPattern) { return MaskPattern >= 0 && MaskPattern <= 7; }
    // Replaces the matrix held.
    void SetMatrix(std::unique_ptr<TByteMatrix> NewMatrix) { FMatrix = std::move(NewMatrix); }
    // Replaces the level copy with a copy of NewECLevel.
    void SetECLevel(const TErrorCorrectionLevel& NewECLevel);
    // Sets the version and the figures IsValid checks.
    void SetAll(int VersionNum, int NumBytes, int NumDataBytes, int NumRSBlocks, int NumECBytes, int MatrixWidth);

private:
    TMode FMode = qmTerminator;
    std::optional<TErrorCorrectionLevel> FECLevel;
    int FVersion = -1;
    int FMatrixWidth = -1;
    int FMaskPattern = -1;
    int FNumTotalBytes = -1;
    int FNumDataBytes = -1;
    int FNumECBytes = -1;
    int FNumRSBlocks = -1;
    std::vector<TSegmentInfo> FSegments;
    std::unique_ptr<TByteMatrix> FMatrix;
    bool FQRCodeError = false;
};

struct TCodewords;  // steps.h

class TEncoder {
public:
    // Encodes Text with the option (a TQRCodeEncoding ordinal) at the level into the record:
    // its level, mode, version, mask and matrix. A text that no version holds leaves the record
    // without a matrix and sets EncoderError.
    void EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level, TQRCode& Record);
    // The same with the choices: a fixed version or mask, mixed segments, ECI. A text that no
    // allowed version holds (or, with StrictVersion, not MinVersion) leaves no matrix.
    void EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                      const TSymbolChoices& Choices, TQRCode& Record);
    // Structured append: the text across Symbols symbols (2 to 16), each with the header of its
    // position, the count and the parity byte of the whole data, cut at character boundaries
    // into parts of nearly equal bytes, each part made under the choices (its own version,
    // the mask, mixed segments, ECI, Kanji). The mode and character set are the whole text's,
    // so that the parts read back to it; the byte-order mark of qrUTF8NoBOM opens the first.
    // Symbols 0: the fewest from 1 to 16 that hold the text, one of them a plain symbol with no
    // header. None when the symbols asked (or 16) cannot hold it, or Symbols is more than the
    // characters or out of range; EncoderError is then set.
    std::vector<TQRCode> EncodeSymbols(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                                       const TSymbolChoices& Choices, int Symbols);
    // The version EncodeSymbol would choose for the text, found without building the symbol;
    // 0 when none holds it.
    static int ChooseVersion(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                             const TSymbolChoices& Choices = {});
    // Set when a step's check failed, never cleared. Advisory: for every text that fits, no
    // check fails, and the symbol is built whatever the flag says; a text that does not fit is
    // told by the record's missing matrix as well.
    bool EncoderError() const { return FEncoderError; }

    // The segment an encoding of Text with Option writes: its mode and the value of its count
    // field (bytes in byte mode, the byte-order mark included; characters otherwise), measured
    // without building it; a count beyond the int range reads INT_MAX.
    struct TSegmentSize {
        TMode Mode;
        int Count;
    };
    static TSegmentSize MeasureSegment(std::u16string_view Text, int Option);
    // The most a version-40 symbol at the level holds in the mode (at level L: 7089 digits,
    // 4296 alphanumeric characters, 2953 bytes).
    static int MaxCount(TMode Mode, const TErrorCorrectionLevel& Level = LevelL());

private:
    // Steps 5 to 7 on the codewords: the record's level, mode, version, segments, mask and matrix.
    void BuildSymbol(TCodewords Codewords, const TErrorCorrectionLevel& Level, int Mask, TQRCode& Record);
    bool FEncoderError = false;
};

// The most symbols a structured-append set holds.
inline constexpr int MaxSymbols = 16;

}  // namespace qr
