// Mask penalty and mask choice.
//
// The four penalty rules are computed on packed rows: bit x of row y is set when the module at
// column X = x, row Y = y is dark. Once a matrix is built every cell is 0 or 1, so "equal cells"
// is "equal bits", and each rule becomes a few word operations per row: runs and finder-like
// patterns across a row are shifts within the row, and down a column they are the same
// operations between neighbouring rows, all columns at once.

#include <bit>
#include <climits>
#include <cmath>
#include <vector>

#include "qrcode.h"

namespace qr {

namespace {

using Word = std::uint64_t;

class ModulePlanes {
public:
    ModulePlanes(int Width, int Height)
        : W(Width), H(Height), Words((Width + 63) / 64), Bits(static_cast<std::size_t>(Words) * Height, 0) {
        for (int i = 0; i < Words; ++i) {
            Inside.push_back(Span(i, W));
            InsideButLast.push_back(Span(i, W - 1));
        }
    }

    // Bits set where the cell holds Value.
    static ModulePlanes OfCells(const TByteMatrix& Matrix, std::uint8_t Value) {
        ModulePlanes P(Matrix.Width(), Matrix.Height());
        const auto& Cells = Matrix.GetArray();
        for (int y = 0; y < P.H; ++y) {
            Word* R = P.Row(y);
            const std::uint8_t* Cell = Cells[static_cast<std::size_t>(y)].data();
            for (int x = 0; x < P.W; ++x) R[x >> 6] |= Word{Cell[x] == Value} << (x & 63);
        }
        return P;
    }

    void WriteTo(TByteMatrix& Matrix) const {
        auto& Cells = Matrix.GetArray();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) Cells[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = Get(x, y);
    }

    Word* Row(int y) { return Bits.data() + static_cast<std::size_t>(y) * Words; }
    const Word* Row(int y) const { return Bits.data() + static_cast<std::size_t>(y) * Words; }
    bool Get(int x, int y) const { return (Row(y)[x >> 6] >> (x & 63)) & 1; }
    void Set(int x, int y, bool Dark) {
        Word& w = Row(y)[x >> 6];
        const Word Bit = Word{1} << (x & 63);
        w = Dark ? (w | Bit) : (w & ~Bit);
    }
    // Word i of a line's columns 0 .. W - 1, and 0 .. W - 2.
    Word Valid(int i, int n) const { return n == W ? Inside[i] : InsideButLast[i]; }

    int W, H, Words;

private:
    // Bits 0 .. n - 1 of word i.
    static Word Span(int i, int n) {
        const int Below = n - 64 * i;
        return Below >= 64 ? ~Word{0} : Below <= 0 ? 0 : (Word{1} << Below) - 1;
    }

    std::vector<Word> Bits;
    std::vector<Word> Inside, InsideButLast;
};

// Bit x of the result is bit x + k of the line (0 <= k < 64), zero past its end. The line is
// given as a function from word index to word, so derived lines need no storage.
template <typename LineFn>
Word ShiftDown(LineFn Line, int Words, int i, int k) {
    if (k == 0) return Line(i);
    return (Line(i) >> k) | (i + 1 < Words ? Line(i + 1) << (64 - k) : 0);
}

// Bit x of the result is bit x - k of the line (0 < k < 64), zero before its start.
template <typename LineFn>
Word ShiftUp(LineFn Line, int i, int k) {
    return (Line(i) << k) | (i > 0 ? Line(i - 1) >> (64 - k) : 0);
}

int Count(Word w) { return w ? std::popcount(w) : 0; }

// Rule 1: a run of L >= 5 equal cells scores 3 + (L - 5) = (L - 4) + 2, that is one point per
// window of five equal cells plus two per run that has such a window.
int RunsInLines(const ModulePlanes& P, bool ByRows) {
    int Score = 0;
    if (ByRows) {
        for (int y = 0; y < P.H; ++y) {
            const Word* L = P.Row(y);
            auto Cells = [&](int i) { return L[i]; };
            // Bit x: cells x and x + 1 of the row are equal.
            auto Eq = [&](int i) { return ~(L[i] ^ ShiftDown(Cells, P.Words, i, 1)) & P.Valid(i, P.W - 1); };
            for (int i = 0; i < P.Words; ++i) {
                const Word Five = Eq(i) & ShiftDown(Eq, P.Words, i, 1) & ShiftDown(Eq, P.Words, i, 2) &
                                  ShiftDown(Eq, P.Words, i, 3);
                if (Five) Score += Count(Five) + 2 * Count(Five & ~ShiftUp(Eq, i, 1));
            }
        }
        return Score;
    }
    // Down the columns, all at once: bit x of Eq(y) is set when cells (x, y) and (x, y + 1) are equal.
    auto Eq = [&](int y, int i) { return ~(P.Row(y)[i] ^ P.Row(y + 1)[i]) & P.Valid(i, P.W); };
    for (int y = 0; y + 4 < P.H; ++y)
        for (int i = 0; i < P.Words; ++i) {
            const Word Five = Eq(y, i) & Eq(y + 1, i) & Eq(y + 2, i) & Eq(y + 3, i);
            if (Five) Score += Count(Five) + 2 * Count(y > 0 ? Five & ~Eq(y - 1, i) : Five);
        }
    return Score;
}

int Blocks(const ModulePlanes& P) {
    int Count2x2 = 0;
    for (int y = 0; y + 1 < P.H; ++y) {
        const Word* A = P.Row(y);
        const Word* B = P.Row(y + 1);
        auto Top = [&](int i) { return A[i]; };
        auto Vertical = [&](int i) { return ~(A[i] ^ B[i]) & P.Valid(i, P.W); };
        for (int i = 0; i < P.Words; ++i) {
            const Word Across = ~(A[i] ^ ShiftDown(Top, P.Words, i, 1)) & P.Valid(i, P.W - 1);
            Count2x2 += Count(Vertical(i) & ShiftDown(Vertical, P.Words, i, 1) & Across);
        }
    }
    return 3 * Count2x2;
}

// Rule 3: the exact pattern 1 0 1 1 1 0 1 with four light cells inside the matrix after it or,
// failing that, before it; 40 for each place, along rows and down columns.
int FinderLike(const ModulePlanes& P) {
    int Found = 0;
    auto Light = [&](int y, int i) { return ~P.Row(y)[i] & P.Valid(i, P.W); };
    for (int y = 0; y < P.H; ++y) {
        auto Dark = [&](int i) { return P.Row(y)[i]; };
        auto Lt = [&](int i) { return Light(y, i); };
        for (int i = 0; i < P.Words; ++i) {
            auto d = [&](int k) { return ShiftDown(Dark, P.Words, i, k); };
            auto l = [&](int k) { return ShiftDown(Lt, P.Words, i, k); };
            const Word Pattern = d(0) & l(1) & d(2) & d(3) & d(4) & l(5) & d(6);
            if (!Pattern) continue;
            const Word After = l(7) & l(8) & l(9) & l(10);
            const Word Before = ShiftUp(Lt, i, 1) & ShiftUp(Lt, i, 2) & ShiftUp(Lt, i, 3) & ShiftUp(Lt, i, 4);
            Found += Count(Pattern & (After | Before));
        }
    }
    for (int y = 0; y + 6 < P.H; ++y)
        for (int i = 0; i < P.Words; ++i) {
            auto d = [&](int k) { return P.Row(y + k)[i]; };
            auto l = [&](int k) { return Light(y + k, i); };
            const Word Pattern = d(0) & l(1) & d(2) & d(3) & d(4) & l(5) & d(6);
            if (!Pattern) continue;
            const Word After = y + 10 < P.H ? l(7) & l(8) & l(9) & l(10) : 0;
            const Word Before = y >= 4 ? l(-1) & l(-2) & l(-3) & l(-4) : 0;
            Found += Count(Pattern & (After | Before));
        }
    return 40 * Found;
}

int Balance(const ModulePlanes& P) {
    long Dark = 0;
    for (int y = 0; y < P.H; ++y)
        for (int i = 0; i < P.Words; ++i) Dark += Count(P.Row(y)[i]);
    const std::int32_t Total = P.W * P.H;
    if (Total == 0) return 0;
    const double Percent = static_cast<double>(Dark) / Total * 100;
    // Rounded half to even, as the default floating-point rounding mode does: 0 or 1.
    return static_cast<int>(std::nearbyint(std::fabs(Percent - 50) / 50));
}

int Penalty(const ModulePlanes& P) {
    return RunsInLines(P, true) + RunsInLines(P, false) + Blocks(P) + FinderLike(P) + Balance(P);
}

}  // namespace

int TEncoder::MaskPenalty(const TByteMatrix& Matrix) { return Penalty(ModulePlanes::OfCells(Matrix, 1)); }

int TEncoder::PenaltyRuns(const TByteMatrix& Matrix) {
    return PenaltyRunsInLines(Matrix, true) + PenaltyRunsInLines(Matrix, false);
}

int TEncoder::PenaltyRunsInLines(const TByteMatrix& Matrix, bool ByRows) {
    return RunsInLines(ModulePlanes::OfCells(Matrix, 1), ByRows);
}

int TEncoder::PenaltyBlocks(const TByteMatrix& Matrix) { return Blocks(ModulePlanes::OfCells(Matrix, 1)); }

int TEncoder::PenaltyFinderLike(const TByteMatrix& Matrix) { return FinderLike(ModulePlanes::OfCells(Matrix, 1)); }

int TEncoder::PenaltyBalance(const TByteMatrix& Matrix) { return Balance(ModulePlanes::OfCells(Matrix, 1)); }

int TEncoder::SelectMask(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                         TByteMatrix& Matrix) {
    // The eight trial builds share their function patterns and data cells and differ only where
    // a data cell's mask bit differs from mask 0's, and in the format information. So the symbol
    // is built once with mask 0, and each trial is that build with those data cells inverted and
    // its own format information: the same matrices, scored on packed rows.
    TMatrixUtil Util;
    Util.BuildLayout(ECLevel, Version, 0, Matrix);
    const ModulePlanes DataCells = ModulePlanes::OfCells(Matrix, 255);
    Util.PlaceDataBits(DataBits, 0, Matrix);
    const ModulePlanes First = ModulePlanes::OfCells(Matrix, 1);
    ModulePlanes Trial = First;

    int Best = -1;
    int Least = INT_MAX;
    for (int Mask = 0; Mask < 8; ++Mask) {
        for (int y = 0; y < Trial.H; ++y)
            for (int i = 0; i < Trial.Words; ++i)
                Trial.Row(y)[i] =
                    First.Row(y)[i] ^ (DataCells.Row(y)[i] & (TMaskUtil::MaskRowWord(0, y, i) ^ TMaskUtil::MaskRowWord(Mask, y, i)));
        const int Format = TMatrixUtil::FormatWord(ECLevel, Mask);
        for (int Bit = 0; Bit < 15; ++Bit)
            for (int Copy = 0; Copy < 2; ++Copy) {
                int X = 0, Y = 0;
                TMatrixUtil::FormatInfoCell(Bit, Matrix.Width(), Copy, X, Y);
                Trial.Set(X, Y, (Format >> Bit) & 1);
            }
        const int Score = Penalty(Trial);
        if (Score < Least) {  // ties keep the lower mask
            Least = Score;
            Best = Mask;
        }
    }
    Trial.WriteTo(Matrix);  // the matrix ends as the last trial left it
    return Best;
}

}  // namespace qr
