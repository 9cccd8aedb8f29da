#pragma once
// Lays out a complete QR symbol in a byte matrix: function patterns, format and version
// information, and the masked data bits (ISO/IEC 18004:2015 7.7 to 7.10).

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "bitarray.h"
#include "bytematrix.h"
#include "version.h"

namespace qr {

// The data masks (7.8.2).
class TMaskUtil {
public:
    // True when the data bit at column X, row Y is inverted under the mask (Table 10, with
    // i = Y and j = X); true for every cell under a mask outside 0 to 7. The one statement of
    // the mask conditions: every other form of them is derived from this one.
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

    // The eight patterns along rows (tile 0) and down columns (tile 1), derived from
    // GetDataMaskBit at compile time. Every pattern repeats every 12 rows and every 12 columns,
    // so 12 lines of 192 cells (three words) tile a line of any length: word i of a line is
    // word i mod 3 of its tile.
    static constexpr int TileLines = 12;
    static constexpr int TileWords = 3;
    static_assert(64 * TileWords % TileLines == 0);
    using MaskTiles = std::array<std::array<std::array<std::array<std::uint64_t, TileWords>, TileLines>, 8>, 2>;
    static const MaskTiles Tiles;
};

// Modules packed 64 to a word: bit x mod 64 of word x / 64 of row y is the cell at column x,
// row y. Bits past the last column are 0. Whole rows are combined a word at a time.
class TModulePlane {
public:
    using Word = std::uint64_t;

    TModulePlane() = default;
    TModulePlane(int Width, int Height);

    // Bits set where the matrix's cell holds Value.
    static TModulePlane OfCells(const TByteMatrix& Matrix, std::uint8_t Value);
    // Row x of the result is column x of this plane.
    TModulePlane Transposed() const;
    // Stores every cell: 1 where the bit is set, 0 elsewhere.
    void WriteTo(TByteMatrix& Matrix) const;

    int Width() const { return W; }
    int Height() const { return H; }
    int Words() const { return N; }
    Word* Row(int y) { return Bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(N); }
    const Word* Row(int y) const { return Bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(N); }
    // Bits of word i that lie on columns 0 .. Columns - 1.
    static Word Span(int i, int Columns) {
        const int Below = Columns - 64 * i;
        return Below >= 64 ? ~Word{0} : Below <= 0 ? 0 : (Word{1} << Below) - 1;
    }

private:
    int W = 0, H = 0, N = 0;
    std::vector<Word> Bits;
};

// Calls Rule with the plane's words per row as a std::integral_constant: 1 to 3 where every
// symbol has them (a side of at most 177), so that loops over a row's words unroll, else 0
// (for a loop that reads them from the plane).
template <typename RuleFn>
[[gnu::always_inline]] inline auto WithWordsPerRow(const TModulePlane& P, RuleFn Rule) {
    switch (P.Words()) {
        case 1: return Rule(std::integral_constant<int, 1>());
        case 2: return Rule(std::integral_constant<int, 2>());
        case 3: return Rule(std::integral_constant<int, 3>());
        default: return Rule(std::integral_constant<int, 0>());
    }
}

// A symbol laid out and with its data placed, before any mask (7.7): the part that the
// symbols under all the masks share, as packed rows. The symbol under a mask is derived from
// it (7.8.2, and the format information of 7.9).
class TPlacedSymbol {
public:
    // DataCells: the cells that hold data; Unmasked: the dark modules, the data unmasked and the
    // format information of LayoutMask written (none for a mask outside 0 to 7, whose format
    // cells hold data instead).
    TPlacedSymbol(TModulePlane DataCells, TModulePlane Unmasked, const TErrorCorrectionLevel& ECLevel, int LayoutMask);

    const TModulePlane& Unmasked() const { return FUnmasked; }
    // The same symbol with rows and columns exchanged.
    TPlacedSymbol Transposed() const;

    // Out := the symbol under MaskPattern: the data cells inverted where the mask says (none
    // for -1, all for any other mask outside 0 to 7) and, when the layout's mask and MaskPattern
    // are both 0 to 7, the format information of MaskPattern. Out keeps its storage when it has
    // the symbol's size already.
    void Masked(int MaskPattern, TModulePlane& Out) const;
    // Every cell of Matrix (the symbol's size) := the symbol under MaskPattern, 0 or 1.
    void WriteTo(int MaskPattern, TByteMatrix& Matrix) const;

private:
    // Finds the two cells of each bit of the format word, as a word of the planes and the bit in it.
    void LocateFormatCells();

    TModulePlane FDataCells;
    TModulePlane FUnmasked;
    TErrorCorrectionLevel FECLevel;
    int FLayoutMask;
    bool FTransposed = false;
    struct TFormatCell {
        std::size_t Word;
        std::uint64_t Bit;
    };
    std::array<std::array<TFormatCell, 2>, 15> FFormatCells{};
};

class TMatrixUtil {
public:
    TMatrixUtil() = default;

    // Overwrites every cell of Matrix (D x D, D = 17 + 4 * Version) with the complete symbol:
    // PlaceSymbol with the mask, and the symbol under it written in. MaskPattern -1 places the
    // data unmasked and writes no format information.
    void BuildMatrix(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                     int MaskPattern, TByteMatrix& Matrix);
    // Lays out Matrix (D x D) for the version: the function patterns (7.7.2), the format
    // information of LayoutMask (7.9; none for a mask outside 0 to 7) and the version
    // information (7.10), every other cell left empty (255) for data, and places the data bits
    // in those cells in the standard's order (7.7.3), 0 past the end of the data. The data go
    // into the result, unmasked; Matrix is left holding the layout.
    TPlacedSymbol PlaceSymbol(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                              int LayoutMask, TByteMatrix& Matrix);

    // Set by any inconsistency met while building (a pattern over a cell already taken, the
    // dark module over a light cell, data left over), never cleared; advisory.
    bool MatrixUtilError() const { return FMatrixUtilError; }

    // The number of binary digits of Value (0 for 0).
    static int BitLength(std::uint32_t Value);
    // Value x^(degree of Generator) modulo Generator, both as polynomials over GF(2).
    static int BCHRemainder(int Value, int Generator);
    // The 15-bit format word (Annex C) and the 18-bit version word (Annex D), as integers: the
    // one statement of each, from which the bits placed in a symbol are taken.
    static int FormatWord(const TErrorCorrectionLevel& ECLevel, int MaskPattern);
    static int VersionWord(int Version);
    // Calls Place(X, Y, Bit) for the cells of both copies of each bit 0 to 14 of the format
    // word, in a symbol of side D.
    template <typename PlaceFn>
    static void ForEachFormatCell(int D, PlaceFn Place) {
        for (int Bit = 0; Bit < 15; ++Bit) {
            Place(FormatInfoCells[Bit][0], FormatInfoCells[Bit][1], Bit);
            if (Bit < 8)
                Place(D - 1 - Bit, 8, Bit);
            else
                Place(8, D - 15 + Bit, Bit);
        }
    }

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
    void PlaceVersionInfo(int Version, TByteMatrix& Matrix);
    // The zigzag on packed rows: sets the cells of Data that receive a 1 bit among the Free
    // cells (0 in Data so far), unmasked; Data's other cells are left as they are. Returns the
    // number of bits placed.
    static int PlaceDataBits(const TBitArray& DataBits, const TModulePlane& Free, TModulePlane& Data);
    static bool IsEmptyCell(int Value) { return Value == -1; }
    // First copy of the format information, by bit of the format word (bit 0 first): (X, Y).
    static constexpr int FormatInfoCells[15][2] = {
        {8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
        {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8},
    };
    template <std::size_t N>
    void PlaceSquare(const std::uint8_t (&Cells)[N][N], int XStart, int YStart, TByteMatrix& Matrix);

    bool FMatrixUtilError = false;
};

}  // namespace qr
