// Matrix construction (ISO/IEC 18004:2015 7.7, with the format and version information of
// 7.9 and 7.10) and the data masks (7.8.2).

#include "matrixutil.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

namespace qr {

namespace {

// 6.3.3: the finder pattern, 7 x 7 modules.
constexpr std::uint8_t FinderPatternCells[7][7] = {
    {1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 1}, {1, 0, 1, 1, 1, 0, 1}, {1, 0, 1, 1, 1, 0, 1},
    {1, 0, 1, 1, 1, 0, 1}, {1, 0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1},
};

// 6.3.6: the alignment pattern, 5 x 5 modules.
constexpr std::uint8_t AlignmentPatternCells[5][5] = {
    {1, 1, 1, 1, 1}, {1, 0, 0, 0, 1}, {1, 0, 1, 0, 1}, {1, 0, 0, 0, 1}, {1, 1, 1, 1, 1},
};

// 7.9.1 and Annex C: the (15, 5) BCH code of the format information and the mask it is
// combined with; 7.10 and Annex D: the (18, 6) BCH code of the version information.
constexpr int FormatInfoGenerator = 0x537;   // x^10 + x^8 + x^5 + x^4 + x^2 + x + 1
constexpr int FormatInfoMask = 0x5412;
constexpr int VersionInfoGenerator = 0x1F25;  // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1

constexpr TMaskUtil::MaskTiles MakeMaskTiles() {
    TMaskUtil::MaskTiles t{};
    for (int Tile = 0; Tile < 2; ++Tile)
        for (int m = 0; m < 8; ++m)
            for (int Line = 0; Line < TMaskUtil::TileLines; ++Line)
                for (int k = 0; k < 64 * TMaskUtil::TileWords; ++k)
                    if (Tile == 1 ? TMaskUtil::GetDataMaskBit(m, Line, k) : TMaskUtil::GetDataMaskBit(m, k, Line))
                        t[Tile][m][Line][k >> 6] |= std::uint64_t{1} << (k & 63);
    return t;
}

// Eight cells of 0 or 1 from memory (cell k in byte k) as the bits 0 .. 7 of a byte, and back.
constexpr bool LittleEndian = std::endian::native == std::endian::little;
std::uint64_t Load8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
unsigned Gather8(std::uint64_t OnesInBytes) { return static_cast<unsigned>((OnesInBytes * 0x0102040810204080u) >> 56); }
constexpr std::array<std::uint64_t, 256> Spread8 = [] {
    std::array<std::uint64_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned k = 0; k < 8; ++k)
            if ((b >> k) & 1) t[b] |= std::uint64_t{1} << (8 * k);
    return t;
}();

}  // namespace

constinit const TMaskUtil::MaskTiles TMaskUtil::Tiles = MakeMaskTiles();

TModulePlane::TModulePlane(int Width, int Height)
    : W(Width), H(Height), N((Width + 63) / 64), Bits(static_cast<std::size_t>(N) * static_cast<std::size_t>(Height), 0) {}

namespace {

// The starts of the chunks of Size cells that cover a row of Width >= Size cells: every
// multiple of Size that fits and, when Width is not one, Width - Size, overlapping the chunk
// before it. Rows are thereby converted a chunk at a time to their last cell.
template <int Size, typename Fn>
void ForEachChunk(int Width, Fn Visit) {
    int x = 0;
    for (; x + Size <= Width; x += Size) Visit(x);
    if (x < Width) Visit(Width - Size);
}

unsigned EightBits(const std::uint64_t* Row, int x) {
    const int Shift = x & 63;
    const std::uint64_t Low = Row[x >> 6] >> Shift;
    return static_cast<unsigned>((Shift > 56 ? Low | Row[(x >> 6) + 1] << (64 - Shift) : Low) & 0xFF);
}
template <int Size>
void OrBits(std::uint64_t* Row, int x, unsigned Bits) {
    const int Shift = x & 63;
    Row[x >> 6] |= std::uint64_t{Bits} << Shift;
    if (Shift > 64 - Size) Row[(x >> 6) + 1] |= std::uint64_t{Bits} >> (64 - Shift);
}

}  // namespace

TModulePlane TModulePlane::OfCells(const TByteMatrix& Matrix, std::uint8_t Value) {
    TModulePlane P(Matrix.Width(), Matrix.Height());
    const auto& Cells = Matrix.GetArray();
    for (int y = 0; y < P.H; ++y) {
        Word* R = P.Row(y);
        const std::uint8_t* Cell = Cells[static_cast<std::size_t>(y)].data();
#if defined(__SSE2__)
        // Sixteen cells at a time: a byte comparison, its lanes gathered into bits.
        if (P.W >= 16) {
            const __m128i Wanted = _mm_set1_epi8(static_cast<char>(Value));
            ForEachChunk<16>(P.W, [&](int x) {
                const __m128i Sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Cell + x));
                OrBits<16>(R, x, static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Sixteen, Wanted))));
            });
            continue;
        }
#endif
        if (LittleEndian && P.W >= 8) {
            const std::uint64_t Ones = 0x0101010101010101u, Low7 = 0x7F7F7F7F7F7F7F7Fu;
            ForEachChunk<8>(P.W, [&](int x) {
                // 0x80 in each byte equal to Value, exactly (no borrow between bytes), then gathered.
                const std::uint64_t Diff = Load8(Cell + x) ^ (Ones * Value);
                const std::uint64_t Zero = ~(((Diff & Low7) + Low7) | Diff | Low7);
                OrBits<8>(R, x, Gather8(Zero >> 7));
            });
            continue;
        }
        for (int x = 0; x < P.W; ++x) R[x >> 6] |= Word{Cell[x] == Value} << (x & 63);
    }
    return P;
}

void TModulePlane::WriteTo(TByteMatrix& Matrix) const {
    auto& Cells = Matrix.GetArray();
    for (int y = 0; y < H; ++y) {
        std::uint8_t* Cell = Cells[static_cast<std::size_t>(y)].data();
        const Word* R = Row(y);
        if (LittleEndian && W >= 8)
            ForEachChunk<8>(W, [&](int x) {
                const std::uint64_t Eight = Spread8[EightBits(R, x)];
                std::memcpy(Cell + x, &Eight, 8);
            });
        else
            for (int x = 0; x < W; ++x) Cell[x] = static_cast<std::uint8_t>((R[x >> 6] >> (x & 63)) & 1);
    }
}

namespace {

// Transposes the first Size rows and bits of a block in place (Size 32 or 64, bits past Size
// zero): bit c of word r trades places with bit r of word c.
template <int Size>
void TransposeBlock(std::array<std::uint64_t, 64>& a) {
    constexpr std::uint64_t Masks[] = {0x5555555555555555u, 0x3333333333333333u, 0x0F0F0F0F0F0F0F0Fu,
                                       0x00FF00FF00FF00FFu, 0x0000FFFF0000FFFFu, 0x00000000FFFFFFFFu};
    for (int j = Size / 2, Round = std::countr_zero(static_cast<unsigned>(Size)) - 1; j != 0; j >>= 1, --Round) {
        const std::uint64_t m = Masks[Round];  // the bits whose index has bit j clear
        for (int k = 0; k < Size; k = ((k | j) + 1) & ~j) {
            const std::uint64_t t = ((a[static_cast<std::size_t>(k)] >> j) ^ a[static_cast<std::size_t>(k | j)]) & m;
            a[static_cast<std::size_t>(k)] ^= t << j;
            a[static_cast<std::size_t>(k | j)] ^= t;
        }
    }
}

}  // namespace

TModulePlane TModulePlane::Transposed() const {
    TModulePlane T(H, W);
    std::array<std::uint64_t, 64> Block;
    for (int by = 0; by < H; by += 64)
        for (int i = 0; i < N; ++i) {
            for (int r = 0; r < 64; ++r) Block[static_cast<std::size_t>(r)] = by + r < H ? Row(by + r)[i] : 0;
            // A small symbol fits a 32 x 32 block, a quarter of the work.
            if (H - by <= 32 && W - 64 * i <= 32)
                TransposeBlock<32>(Block);
            else
                TransposeBlock<64>(Block);
            for (int r = 0; r < 64 && 64 * i + r < W; ++r) T.Row(64 * i + r)[by >> 6] = Block[static_cast<std::size_t>(r)];
        }
    return T;
}

namespace {

// The eight data masks (Table 10); -1 is no mask, and any other number inverts every data cell.
bool IsDataMask(int MaskPattern) { return MaskPattern >= 0 && MaskPattern < 8; }

// To := From with the pattern of data mask Mask (0 to 7) applied to the cells set in Cells:
// along rows, or down columns for a transposed plane, read from the pattern's tiles. N words
// per row, 0 to read it from the plane.
template <int Fixed>
void ApplyMask(const TModulePlane& From, const TModulePlane& Cells, int Mask, bool Transposed, TModulePlane& To) {
    const int N = Fixed ? Fixed : From.Words();
    const auto& Lines = TMaskUtil::Tiles[Transposed][static_cast<std::size_t>(Mask)];
    const std::uint64_t* Source = From.Row(0);
    const std::uint64_t* Data = Cells.Row(0);
    std::uint64_t* Target = To.Row(0);
    for (int y = 0, Line = 0; y < From.Height(); ++y, Line = Line + 1 == TMaskUtil::TileLines ? 0 : Line + 1) {
        const auto& Pattern = Lines[static_cast<std::size_t>(Line)];
        for (int i = 0; i < N; ++i, ++Source, ++Data, ++Target) {
            *Target = *Source ^ (*Data & Pattern[static_cast<std::size_t>(i % TMaskUtil::TileWords)]);
        }
    }
}

}  // namespace

TPlacedSymbol::TPlacedSymbol(TModulePlane DataCells, TModulePlane Unmasked, const TErrorCorrectionLevel& ECLevel,
                             int LayoutMask)
    : FDataCells(std::move(DataCells)), FUnmasked(std::move(Unmasked)), FECLevel(ECLevel), FLayoutMask(LayoutMask) {
    LocateFormatCells();
}

void TPlacedSymbol::LocateFormatCells() {
    if (!IsDataMask(FLayoutMask)) return;  // no format information: its cells hold data
    std::array<int, 15> Found{};
    TMatrixUtil::ForEachFormatCell(FUnmasked.Width(), [&](int X, int Y, int Bit) {
        if (FTransposed) std::swap(X, Y);
        const auto b = static_cast<std::size_t>(Bit);
        FFormatCells[b][static_cast<std::size_t>(Found[b]++)] = {
            static_cast<std::size_t>(Y) * static_cast<std::size_t>(FUnmasked.Words()) + static_cast<std::size_t>(X >> 6),
            std::uint64_t{1} << (X & 63)};
    });
}

TPlacedSymbol TPlacedSymbol::Transposed() const {
    TPlacedSymbol T(FDataCells.Transposed(), FUnmasked.Transposed(), FECLevel, -1);
    T.FLayoutMask = FLayoutMask;
    T.FTransposed = !FTransposed;
    T.LocateFormatCells();
    return T;
}

void TPlacedSymbol::Masked(int MaskPattern, TModulePlane& Out) const {
    if (Out.Width() != FUnmasked.Width() || Out.Height() != FUnmasked.Height())
        Out = TModulePlane(FUnmasked.Width(), FUnmasked.Height());
    if (MaskPattern == -1) {
        Out = FUnmasked;
    } else if (!IsDataMask(MaskPattern)) {  // no such mask: every data cell inverted
        const std::size_t Words = static_cast<std::size_t>(FUnmasked.Words()) * static_cast<std::size_t>(FUnmasked.Height());
        for (std::size_t k = 0; k < Words; ++k) Out.Row(0)[k] = FUnmasked.Row(0)[k] ^ FDataCells.Row(0)[k];
    } else {
        WithWordsPerRow(FUnmasked, [&](auto W) {
            ApplyMask<decltype(W)::value>(FUnmasked, FDataCells, MaskPattern, FTransposed, Out);
        });
    }
    // The layout holds the format word of its own mask; this mask's differs from it in the bits
    // of their exclusive-or, whose cells are flipped.
    if (!IsDataMask(FLayoutMask) || !IsDataMask(MaskPattern)) return;
    for (auto Flips = static_cast<unsigned>(TMatrixUtil::FormatWord(FECLevel, MaskPattern) ^
                                            TMatrixUtil::FormatWord(FECLevel, FLayoutMask));
         Flips != 0; Flips &= Flips - 1)
        for (const TFormatCell& Cell : FFormatCells[static_cast<std::size_t>(std::countr_zero(Flips))])
            Out.Row(0)[Cell.Word] ^= Cell.Bit;
}

void TPlacedSymbol::WriteTo(int MaskPattern, TByteMatrix& Matrix) const {
    TModulePlane Symbol;
    Masked(MaskPattern, Symbol);
    Symbol.WriteTo(Matrix);
}

void TMatrixUtil::BuildMatrix(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                              int MaskPattern, TByteMatrix& Matrix) {
    PlaceSymbol(DataBits, ECLevel, Version, MaskPattern, Matrix).WriteTo(MaskPattern, Matrix);
}

TPlacedSymbol TMatrixUtil::PlaceSymbol(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                                       int LayoutMask, TByteMatrix& Matrix) {
    ResetToEmpty(Matrix);
    PlaceFixedPatterns(Version, Matrix);
    PlaceFormatInfo(ECLevel, LayoutMask, Matrix);
    PlaceVersionInfo(Version, Matrix);
    // The cells still empty are the data cells; the data go into the plane of the dark
    // modules, where every data cell is 0 so far.
    TModulePlane Free = TModulePlane::OfCells(Matrix, 255);
    TModulePlane Unmasked = TModulePlane::OfCells(Matrix, 1);
    if (PlaceDataBits(DataBits, Free, Unmasked) != DataBits.GetSize()) FMatrixUtilError = true;
    return TPlacedSymbol(std::move(Free), std::move(Unmasked), ECLevel, LayoutMask);
}

void TMatrixUtil::ResetToEmpty(TByteMatrix& Matrix) { Matrix.Clear(255); }

void TMatrixUtil::PlaceFixedPatterns(int Version, TByteMatrix& Matrix) {
    PlaceFindersAndSeparators(Matrix);
    PlaceDarkModule(Matrix);
    PlaceAlignmentPatterns(Version, Matrix);
    PlaceTimingPatterns(Matrix);
}

// 6.3.3 and 6.3.4: a finder pattern in three corners, each bounded by a light separator.
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

// 7.9.1: the one dark module beside the lower-left finder's separator, at (8, 4 V + 9).
void TMatrixUtil::PlaceDarkModule(TByteMatrix& Matrix) {
    const int D = Matrix.Height();
    if (Matrix.Get(8, D - 8) == 0) {
        FMatrixUtilError = true;
        return;
    }
    Matrix.SetInteger(8, D - 8, 1);
}

// 6.3.6 and Annex E: an alignment pattern centred on every pair of the version's coordinates.
void TMatrixUtil::PlaceAlignmentPatterns(int Version, TByteMatrix& Matrix) {
    const TVersion* Record = TVersion::GetVersionForNumber(Version);
    if (!Record) return;
    const auto Centres = Record->GetAlignmentPatternCenters();
    for (const int Y : Centres)
        for (const int X : Centres)
            // Centres that fall on a finder pattern or separator get no pattern.
            if (IsEmptyCell(Matrix.Get(X, Y))) PlaceAlignmentPattern(X - 2, Y - 2, Matrix);
}

void TMatrixUtil::PlaceAlignmentPattern(int XStart, int YStart, TByteMatrix& Matrix) {
    PlaceSquare(AlignmentPatternCells, XStart, YStart, Matrix);
}

// 6.3.5: row 6 and column 6 between the separators, dark and light in turn from dark.
void TMatrixUtil::PlaceTimingPatterns(TByteMatrix& Matrix) {
    const int D = Matrix.Width();
    for (int i = 8; i <= D - 9; ++i) {
        const int v = (i + 1) % 2;
        // Cells already taken by alignment patterns keep their values.
        if (IsEmptyCell(Matrix.Get(i, 6))) Matrix.SetInteger(i, 6, v);
        if (IsEmptyCell(Matrix.Get(6, i))) Matrix.SetInteger(6, i, v);
    }
}

// 7.9.1: both copies of the format word.
void TMatrixUtil::PlaceFormatInfo(const TErrorCorrectionLevel& ECLevel, int MaskPattern, TByteMatrix& Matrix) {
    if (!IsDataMask(MaskPattern)) return;  // no format information without a data mask
    const int Word = FormatWord(ECLevel, MaskPattern);
    ForEachFormatCell(Matrix.Width(), [&](int X, int Y, int Bit) { Matrix.SetBoolean(X, Y, (Word >> Bit) & 1); });
}

// 7.10: both copies of the version word, from version 7 on.
void TMatrixUtil::PlaceVersionInfo(int Version, TByteMatrix& Matrix) {
    if (Version < 7) return;
    const int D = Matrix.Width();
    const int Word = VersionWord(Version);
    // Bit n in the block of 6 x 3 above the lower-left finder and in its mirror left of the
    // upper-right one.
    for (int n = 0; n < 18; ++n) {
        const bool b = (Word >> n) & 1;
        Matrix.SetBoolean(n / 3, D - 11 + n % 3, b);
        Matrix.SetBoolean(D - 11 + n % 3, n / 3, b);
    }
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

// 7.7.3: the codewords' bits up and down two-module columns from the lower right, the right
// module of each row first, the vertical timing pattern's column skipped.
int TMatrixUtil::PlaceDataBits(const TBitArray& DataBits, const TModulePlane& Free, TModulePlane& Data) {
    const int D = Free.Width();
    const int Size = DataBits.GetSize();
    const auto N = static_cast<std::size_t>(Free.Words());
    // The data bits in order from the array's words, 0 past the end: the lowest bit of Buffer
    // is the next one, and Buffered of them are in it.
    int Loaded = 0;  // bits fetched from the array so far
    std::uint64_t Buffer = 0;
    int Buffered = 0;
    auto Refill = [&] {
        const int Valid = std::min(32, Size - Loaded);
        const std::uint32_t w = Valid <= 0 ? 0 : DataBits.Word(Loaded >> 5) & (Valid == 32 ? ~0u : (1u << Valid) - 1);
        Buffer |= std::uint64_t{w} << Buffered;
        Buffered += 32;
        Loaded += 32;
    };
    auto Take = [&](int n) {
        if (Buffered < n) Refill();
        const std::uint64_t Bits = Buffer & ((1u << n) - 1);
        Buffer >>= n;
        Buffered -= n;
        return Bits;
    };
    // Two bits in placement order (the first in bit 0) land right cell first: bit 1 is cell x.
    constexpr std::uint64_t RightFirst[4] = {0, 2, 1, 3};

    int Taken = 0;
    int Direction = -1;  // upward first
    int x = D - 1;
    int y = D - 1;
    while (x > 0) {
        if (x == 6) x = 5;  // the column of the vertical timing pattern
        // The pair's two cells, x - 1 and x, as bits Shift and Shift + 1 of word Index of a row;
        // a pair across two words is read and written a cell at a time.
        const auto Index = static_cast<std::size_t>((x - 1) >> 6);
        const int Shift = (x - 1) & 63;
        auto Pair = [&]<bool Across>() {
            // The pair's word in row y of either plane, stepped a row up or down at a time.
            const auto Step = static_cast<std::ptrdiff_t>(Direction) * static_cast<std::ptrdiff_t>(N);
            auto At = static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(N) + static_cast<std::ptrdiff_t>(Index);
            const std::uint64_t* FreeWords = Free.Row(0);
            std::uint64_t* DataWords = Data.Row(0);
            for (int Rows = 0; Rows < D; ++Rows, At += Step) {
                const std::uint64_t Cells = Across ? (FreeWords[At] >> 63) | ((FreeWords[At + 1] & 1) << 1)
                                                   : (FreeWords[At] >> Shift) & 3;
                if (Cells == 0) continue;
                std::uint64_t Bits;
                if (Cells == 3) {
                    Bits = RightFirst[Take(2)];
                    Taken += 2;
                } else {
                    Bits = Take(1) << (Cells >> 1);  // into the one free cell: bit 1 for x, bit 0 for x - 1
                    Taken += 1;
                }
                DataWords[At] |= Bits << Shift;
                if (Across) DataWords[At + 1] |= Bits >> 1;
            }
            y += Direction * D;  // just past the end: -1 or D
        };
        if (Shift == 63 && Index + 1 < N)
            Pair.template operator()<true>();
        else
            Pair.template operator()<false>();
        Direction = -Direction;
        y += Direction;
        x -= 2;
    }
    return std::min(Taken, Size);
}

}  // namespace qr
