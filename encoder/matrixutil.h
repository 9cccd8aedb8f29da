#pragma once
// Lays out a complete QR symbol in a byte matrix: function patterns, format and version
// information, and the masked data bits.

#include <cstddef>
#include <cstdint>

#include "bitarray.h"
#include "bytematrix.h"
#include "version.h"

namespace qr {

class TMaskUtil {
public:
    // True when the data bit at column X, row Y is inverted under the mask; true for every
    // cell under a mask outside 0 to 7.
    static constexpr bool GetDataMaskBit(int MaskPattern, int X, int Y) {
        switch (MaskPattern) {
            case 0: return (X + Y) % 2 == 0;
            case 1: return Y % 2 == 0;
            case 2: return X % 3 == 0;
            case 3: return (X + Y) % 3 == 0;
            case 4: return ((Y / 2) + (X / 3)) % 2 == 0;
            case 5: return (X * Y) % 2 + (X * Y) % 3 == 0;
            case 6: return ((X * Y) % 2 + (X * Y) % 3) % 2 == 0;
            case 7: return ((X * Y) % 3 + (X + Y) % 2) % 2 == 0;
            default: return true;
        }
    }

    // Word i of row Y of the mask's pattern: bit b set when GetDataMaskBit(MaskPattern, 64 i + b, Y).
    static std::uint64_t MaskRowWord(int MaskPattern, int Y, int i);
};

class TMatrixUtil {
public:
    TMatrixUtil() = default;

    // Overwrites every cell of Matrix (D x D, D = 17 + 4 * Version) with the complete symbol.
    // MaskPattern -1 places the data unmasked and writes no format information.
    void BuildMatrix(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                     int MaskPattern, TByteMatrix& Matrix);
    // The first four steps of BuildMatrix: everything but the data, whose cells stay empty.
    void BuildLayout(const TErrorCorrectionLevel& ECLevel, int Version, int MaskPattern, TByteMatrix& Matrix);
    // The last step: the data bits in the zigzag order into the cells still empty.
    void PlaceDataBits(const TBitArray& DataBits, int MaskPattern, TByteMatrix& Matrix);

    bool MatrixUtilError() const { return FMatrixUtilError; }

    static int BitLength(std::uint32_t Value);
    static int BCHRemainder(int Value, int Generator);
    // The 15-bit format word and the 18-bit version word, as integers.
    static int FormatWord(const TErrorCorrectionLevel& ECLevel, int MaskPattern);
    static int VersionWord(int Version);
    // Cells (X, Y) of the two copies of the format information, by bit of the format word.
    static void FormatInfoCell(int Bit, int D, int Copy, int& X, int& Y);

private:
    void ResetToEmpty(TByteMatrix& Matrix);
    void PlaceFixedPatterns(int Version, TByteMatrix& Matrix);
    void PlaceFindersAndSeparators(TByteMatrix& Matrix);
    void PlaceFinderPattern(int XStart, int YStart, TByteMatrix& Matrix);
    void PlaceSeparatorRow(int XStart, int YStart, TByteMatrix& Matrix);
    void PlaceSeparatorColumn(int XStart, int YStart, TByteMatrix& Matrix);
    void PlaceDarkModule(TByteMatrix& Matrix);
    void PlaceAlignmentPatterns(int Version, TByteMatrix& Matrix);
    void PlaceAlignmentPattern(int XStart, int YStart, TByteMatrix& Matrix);
    void PlaceTimingPatterns(TByteMatrix& Matrix);
    void PlaceFormatInfo(const TErrorCorrectionLevel& ECLevel, int MaskPattern, TByteMatrix& Matrix);
    void BuildFormatInfoBits(const TErrorCorrectionLevel& ECLevel, int MaskPattern, TBitArray& Bits);
    void PlaceVersionInfo(int Version, TByteMatrix& Matrix);
    void BuildVersionInfoBits(int Version, TBitArray& Bits);
    static bool IsEmptyCell(int Value) { return Value == -1; }
    template <std::size_t N>
    void PlaceSquare(const std::uint8_t (&Cells)[N][N], int XStart, int YStart, TByteMatrix& Matrix);

    bool FMatrixUtilError = false;
};

}  // namespace qr
