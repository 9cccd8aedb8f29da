#include "matrixutil.h"

#include <array>
#include <bit>
#include <vector>

namespace qr {

namespace {

constexpr std::uint8_t FinderPatternCells[7][7] = {
    {1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 1}, {1, 0, 1, 1, 1, 0, 1}, {1, 0, 1, 1, 1, 0, 1},
    {1, 0, 1, 1, 1, 0, 1}, {1, 0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1},
};

constexpr std::uint8_t AlignmentPatternCells[5][5] = {
    {1, 1, 1, 1, 1}, {1, 0, 0, 0, 1}, {1, 0, 1, 0, 1}, {1, 0, 0, 0, 1}, {1, 1, 1, 1, 1},
};

// First copy of the format information, by bit of the format word (bit 0 first): (X, Y).
constexpr int FormatInfoCells[15][2] = {
    {8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
    {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8},
};

constexpr int FormatInfoGenerator = 0x537;   // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int FormatInfoMask = 0x5412;
constexpr int VersionInfoGenerator = 0x1F25;  // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1

// Rows of the eight mask patterns, 192 columns wide (wider than any symbol): every pattern
// repeats every 12 rows.
constexpr int TileRows = 12;
constexpr int TileWords = 3;
using MaskTile = std::array<std::array<std::array<std::uint64_t, TileWords>, TileRows>, 8>;
constexpr MaskTile MaskRows = [] {
    MaskTile t{};
    for (int m = 0; m < 8; ++m)
        for (int y = 0; y < TileRows; ++y)
            for (int x = 0; x < 64 * TileWords; ++x)
                if (TMaskUtil::GetDataMaskBit(m, x, y)) t[m][y][x >> 6] |= std::uint64_t{1} << (x & 63);
    return t;
}();

}  // namespace

std::uint64_t TMaskUtil::MaskRowWord(int MaskPattern, int Y, int i) {
    if (MaskPattern >= 0 && MaskPattern < 8 && i < TileWords) return MaskRows[MaskPattern][Y % TileRows][i];
    std::uint64_t w = 0;
    for (int b = 0; b < 64; ++b) w |= std::uint64_t{GetDataMaskBit(MaskPattern, 64 * i + b, Y)} << b;
    return w;
}

void TMatrixUtil::BuildMatrix(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                              int MaskPattern, TByteMatrix& Matrix) {
    BuildLayout(ECLevel, Version, MaskPattern, Matrix);
    PlaceDataBits(DataBits, MaskPattern, Matrix);
}

void TMatrixUtil::BuildLayout(const TErrorCorrectionLevel& ECLevel, int Version, int MaskPattern,
                              TByteMatrix& Matrix) {
    ResetToEmpty(Matrix);
    PlaceFixedPatterns(Version, Matrix);
    PlaceFormatInfo(ECLevel, MaskPattern, Matrix);
    PlaceVersionInfo(Version, Matrix);
}

void TMatrixUtil::ResetToEmpty(TByteMatrix& Matrix) { Matrix.Clear(255); }

void TMatrixUtil::PlaceFixedPatterns(int Version, TByteMatrix& Matrix) {
    PlaceFindersAndSeparators(Matrix);
    PlaceDarkModule(Matrix);
    PlaceAlignmentPatterns(Version, Matrix);
    PlaceTimingPatterns(Matrix);
}

void TMatrixUtil::PlaceFindersAndSeparators(TByteMatrix& Matrix) {
    const int D = Matrix.Width();
    PlaceFinderPattern(0, 0, Matrix);
    PlaceFinderPattern(D - 7, 0, Matrix);
    PlaceFinderPattern(0, D - 7, Matrix);
    PlaceSeparatorRow(0, 7, Matrix);
    PlaceSeparatorRow(D - 8, 7, Matrix);
    PlaceSeparatorRow(0, D - 8, Matrix);
    PlaceSeparatorColumn(7, 0, Matrix);
    PlaceSeparatorColumn(D - 8, 0, Matrix);
    PlaceSeparatorColumn(7, D - 7, Matrix);
}

// A square pattern into empty cells, row by row; the first cell already taken is an
// inconsistency that ends the pattern there.
template <std::size_t N>
void TMatrixUtil::PlaceSquare(const std::uint8_t (&Cells)[N][N], int XStart, int YStart, TByteMatrix& Matrix) {
    for (std::size_t dy = 0; dy < N; ++dy)
        for (std::size_t dx = 0; dx < N; ++dx) {
            const int X = XStart + static_cast<int>(dx), Y = YStart + static_cast<int>(dy);
            if (!IsEmptyCell(Matrix.Get(X, Y))) {
                FMatrixUtilError = true;
                return;
            }
            Matrix.SetInteger(X, Y, Cells[dy][dx]);
        }
}

void TMatrixUtil::PlaceFinderPattern(int XStart, int YStart, TByteMatrix& Matrix) {
    PlaceSquare(FinderPatternCells, XStart, YStart, Matrix);
}

void TMatrixUtil::PlaceSeparatorRow(int XStart, int YStart, TByteMatrix& Matrix) {
    for (int i = 0; i < 8; ++i) {
        if (!IsEmptyCell(Matrix.Get(XStart + i, YStart))) {
            FMatrixUtilError = true;
            return;
        }
        Matrix.SetInteger(XStart + i, YStart, 0);
    }
}

void TMatrixUtil::PlaceSeparatorColumn(int XStart, int YStart, TByteMatrix& Matrix) {
    for (int i = 0; i < 7; ++i) {
        if (!IsEmptyCell(Matrix.Get(XStart, YStart + i))) {
            FMatrixUtilError = true;
            return;
        }
        Matrix.SetInteger(XStart, YStart + i, 0);
    }
}

void TMatrixUtil::PlaceDarkModule(TByteMatrix& Matrix) {
    const int D = Matrix.Height();
    if (Matrix.Get(8, D - 8) == 0) {
        FMatrixUtilError = true;
        return;
    }
    Matrix.SetInteger(8, D - 8, 1);
}

void TMatrixUtil::PlaceAlignmentPatterns(int Version, TByteMatrix& Matrix) {
    if (Version < 2 || Version > 40) return;
    const auto& Centres = AlignmentCentres[static_cast<std::size_t>(Version - 1)];
    for (const int Y : Centres)
        for (const int X : Centres)
            // Centres that fall on a finder pattern or separator get no pattern.
            if (X != -1 && Y != -1 && IsEmptyCell(Matrix.Get(X, Y))) PlaceAlignmentPattern(X - 2, Y - 2, Matrix);
}

void TMatrixUtil::PlaceAlignmentPattern(int XStart, int YStart, TByteMatrix& Matrix) {
    PlaceSquare(AlignmentPatternCells, XStart, YStart, Matrix);
}

void TMatrixUtil::PlaceTimingPatterns(TByteMatrix& Matrix) {
    const int D = Matrix.Width();
    for (int i = 8; i <= D - 9; ++i) {
        const int v = (i + 1) % 2;
        // Cells already taken by alignment patterns keep their values.
        if (IsEmptyCell(Matrix.Get(i, 6))) Matrix.SetInteger(i, 6, v);
        if (IsEmptyCell(Matrix.Get(6, i))) Matrix.SetInteger(6, i, v);
    }
}

void TMatrixUtil::FormatInfoCell(int Bit, int D, int Copy, int& X, int& Y) {
    if (Copy == 0) {
        X = FormatInfoCells[Bit][0];
        Y = FormatInfoCells[Bit][1];
    } else if (Bit < 8) {
        X = D - 1 - Bit;
        Y = 8;
    } else {
        X = 8;
        Y = D - 15 + Bit;
    }
}

void TMatrixUtil::PlaceFormatInfo(const TErrorCorrectionLevel& ECLevel, int MaskPattern, TByteMatrix& Matrix) {
    TBitArray Bits;
    BuildFormatInfoBits(ECLevel, MaskPattern, Bits);
    const int Size = Bits.GetSize();
    for (int i = 0; i < Size; ++i) {
        const bool b = Bits.Get(Size - 1 - i);  // bit i of the word, counted from its least significant bit
        for (int Copy = 0; Copy < 2; ++Copy) {
            int X = 0, Y = 0;
            FormatInfoCell(i, Matrix.Width(), Copy, X, Y);
            Matrix.SetBoolean(X, Y, b);
        }
    }
}

void TMatrixUtil::BuildFormatInfoBits(const TErrorCorrectionLevel& ECLevel, int MaskPattern, TBitArray& Bits) {
    if (MaskPattern < 0 || MaskPattern > 7) return;
    const int Info = ECLevel.Bits() * 8 + MaskPattern;
    Bits.AppendBits(Info, 5);
    Bits.AppendBits(BCHRemainder(Info, FormatInfoGenerator), 10);
    TBitArray Mask;
    Mask.AppendBits(FormatInfoMask, 15);
    Bits.XorOperation(Mask);
    if (Bits.GetSize() != 15) FMatrixUtilError = true;
}

void TMatrixUtil::PlaceVersionInfo(int Version, TByteMatrix& Matrix) {
    if (Version < 7) return;
    const int D = Matrix.Width();
    TBitArray Bits;
    BuildVersionInfoBits(Version, Bits);
    int k = 17;
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 3; ++j) {
            const bool b = Bits.Get(k--);
            Matrix.SetBoolean(i, D - 11 + j, b);
            Matrix.SetBoolean(D - 11 + j, i, b);
        }
}

void TMatrixUtil::BuildVersionInfoBits(int Version, TBitArray& Bits) {
    Bits.AppendBits(Version, 6);
    Bits.AppendBits(BCHRemainder(Version, VersionInfoGenerator), 12);
    if (Bits.GetSize() != 18) FMatrixUtilError = true;
}

int TMatrixUtil::FormatWord(const TErrorCorrectionLevel& ECLevel, int MaskPattern) {
    const int Info = ECLevel.Bits() * 8 + MaskPattern;
    return ((Info << 10) | BCHRemainder(Info, FormatInfoGenerator)) ^ FormatInfoMask;
}

int TMatrixUtil::VersionWord(int Version) { return (Version << 12) | BCHRemainder(Version, VersionInfoGenerator); }

int TMatrixUtil::BitLength(std::uint32_t Value) { return std::bit_width(Value); }

int TMatrixUtil::BCHRemainder(int Value, int Generator) {
    const int d = BitLength(static_cast<std::uint32_t>(Generator));
    auto v = static_cast<std::uint32_t>(Value) << (d - 1);
    while (BitLength(v) >= d) v ^= static_cast<std::uint32_t>(Generator) << (BitLength(v) - d);
    return static_cast<int>(v);
}

void TMatrixUtil::PlaceDataBits(const TBitArray& DataBits, int MaskPattern, TByteMatrix& Matrix) {
    const int D = Matrix.Width();
    const int Size = DataBits.GetSize();
    auto& Cells = Matrix.GetArray();
    // The mask's rows, looked up once rather than evaluated cell by cell.
    const int Words = (D + 63) / 64;
    std::vector<std::uint64_t> MaskRows(static_cast<std::size_t>(D * Words), 0);
    if (MaskPattern != -1)
        for (int y = 0; y < D; ++y)
            for (int i = 0; i < Words; ++i)
                MaskRows[static_cast<std::size_t>(y * Words + i)] = TMaskUtil::MaskRowWord(MaskPattern, y, i);
    int Index = 0;
    int Direction = -1;  // upward first
    int x = D - 1;
    int y = D - 1;
    while (x > 0) {
        if (x == 6) x = 5;  // the column of the vertical timing pattern
        while (y >= 0 && y < D) {
            auto& Row = Cells[static_cast<std::size_t>(y)];
            const std::uint64_t* Mask = &MaskRows[static_cast<std::size_t>(y * Words)];
            for (int c = x; c >= x - 1; --c) {
                if (Row[static_cast<std::size_t>(c)] != 255) continue;
                bool b = false;
                if (Index < Size) b = DataBits.Get(Index++);
                if ((Mask[c >> 6] >> (c & 63)) & 1) b = !b;
                Row[static_cast<std::size_t>(c)] = b ? 1 : 0;
            }
            y += Direction;
        }
        Direction = -Direction;
        y += Direction;
        x -= 2;
    }
    if (Index != Size) FMatrixUtilError = true;
}

}  // namespace qr
