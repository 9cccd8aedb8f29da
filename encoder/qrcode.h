#pragma once
// The symbol encoder: any UTF-16 text to its finished QR Code model 2 symbol.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bitarray.h"
#include "bytematrix.h"
#include "galoisfield.h"
#include "matrixutil.h"
#include "reedsolomon.h"
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

int ModeIndicatorOf(TMode mode);
int CountFieldWidth(TMode mode, const TVersion& version);
// The same by version number, 1 to 40.
int CountFieldWidth(TMode mode, int VersionNumber);

// UTF-16 to UTF-8 (RFC 3629); an unpaired surrogate becomes U+FFFD (EF BF BD).
std::string Utf16ToUtf8(std::u16string_view Text);

// The finished symbol record.
class TQRCode {
public:
    TMode Mode() const { return FMode; }
    void SetMode(TMode Mode) { FMode = Mode; }
    const TErrorCorrectionLevel* ECLevel() const { return FECLevel ? &*FECLevel : nullptr; }
    int Version() const { return FVersion; }
    void SetVersion(int Version) { FVersion = Version; }
    int MatrixWidth() const { return FMatrixWidth; }
    int MaskPattern() const { return FMaskPattern; }
    void SetMaskPattern(int MaskPattern) { FMaskPattern = MaskPattern; }
    int NumTotalBytes() const { return FNumTotalBytes; }
    int NumDataBytes() const { return FNumDataBytes; }
    int NumRSBlocks() const { return FNumRSBlocks; }
    bool QRCodeError() const { return FQRCodeError; }
    // The finished matrix, or none when no symbol was built.
    const TByteMatrix* Matrix() const { return FMatrix.get(); }

    // The cell (X, Y); a value other than 0 and 1 also sets QRCodeError. A record without a
    // matrix answers -1 and sets QRCodeError.
    int At(int X, int Y);
    bool IsValid() const;
    static bool IsValidMaskPattern(int MaskPattern) { return MaskPattern >= 0 && MaskPattern <= 7; }
    void SetMatrix(std::unique_ptr<TByteMatrix> NewMatrix) { FMatrix = std::move(NewMatrix); }
    void SetECLevel(const TErrorCorrectionLevel& NewECLevel);
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
    std::unique_ptr<TByteMatrix> FMatrix;
    bool FQRCodeError = false;
};

class TEncoder {
public:
    // Encodes Text with the option (a TQRCodeEncoding ordinal) at the level into the record.
    // A text that no version holds sets EncoderError and leaves the record without a matrix.
    void EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level, TQRCode& Record);
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

protected:
    // The count of the segment for the mode and option: what the character filter keeps, in
    // bytes for byte mode. Counts without copying the text or building bits.
    static std::int64_t SegmentCount(std::u16string_view Text, TMode Mode, int Option);

    // Data segment.
    static int AlphanumericValue(int Code);
    TMode PickMode(std::u16string_view Text, int& Option);
    std::u16string KeepEncodableChars(std::u16string_view Text, TMode Mode, int Option);
    void WriteSegmentData(std::u16string_view Text, TMode Mode, TBitArray& Bits, int Option);
    void WriteDigitGroups(std::u16string_view Text, TBitArray& Bits);
    void WriteCharacterPairs(std::u16string_view Text, TBitArray& Bits);
    void WriteOctets(std::u16string_view Text, TBitArray& Bits, int Option);
    void WriteModeIndicator(TMode Mode, TBitArray& Bits);
    void WriteCharacterCount(int Count, int VersionNumber, TMode Mode, TBitArray& Bits);

    // Codeword assembly.
    void PadToCapacity(int DataCodewords, TBitArray& Bits);
    void BlockSizes(int TotalCodewords, int DataCodewords, int BlockCount, int BlockIndex, int& DataInBlock,
                    int& ECInBlock);
    void InterleaveBlocks(const TBitArray& Bits, int TotalCodewords, int DataCodewords, int BlockCount,
                          TBitArray& Result);
    TByteArray ComputeECCodewords(const TByteArray& Data, int ECCount);

    // Mask choice. The penalty rules score a matrix of modules (0 light, 1 dark); a matrix
    // holding any other value is refused with -1.
    int SelectMask(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                   TByteMatrix& Matrix);
    static int MaskPenalty(const TByteMatrix& Matrix);
    static int PenaltyRuns(const TByteMatrix& Matrix);
    static int PenaltyRunsInLines(const TByteMatrix& Matrix, bool ByRows);
    static int PenaltyBlocks(const TByteMatrix& Matrix);
    static int PenaltyFinderLike(const TByteMatrix& Matrix);
    static int PenaltyBalance(const TByteMatrix& Matrix);

    bool FEncoderError = false;
};

}  // namespace qr
