// Mask penalty and mask choice (ISO/IEC 18004:2015 7.8.3).
//
// The four rules count on packed rows (TModulePlane): bit x of row y is set when the module at
// column x, row y is dark. Each rule is counted down the columns, where neighbouring cells are
// the same bit of neighbouring rows and all the columns of a word go at once. Along rows the
// rules count the same down the columns of the transposition, except for symbols of up to 64
// columns: a row of theirs is one word, where neighbouring cells are neighbouring bits, and
// they are counted in the row itself. Each rule's comment says why its count is the rule's;
// the tests hold them to a cell-by-cell reading of the rules.

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <optional>

#include "steps.h"

namespace qr {

namespace {

using Word = TModulePlane::Word;

// Population counts in the rules below compile to the processor's instruction where it has
// one: the rules are inlined into the Penalty functions, each built once for processors with
// POPCNT and once for any x86-64, the choice made when the program loads. The loader's choice
// (an ifunc) exists only in ELF programs; Windows builds use the plain x86-64 form.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__)
#define QR_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define QR_POPCOUNT_CLONES
#endif
#define QR_INLINE [[gnu::always_inline]] inline
#define QR_INLINE_LAMBDA __attribute__((always_inline))

QR_INLINE int Count(Word w) { return std::popcount(w); }

// The rules below take the number of words per row as Fixed, the constant WithWordsPerRow
// passes; 0 reads it from the plane.
template <int Fixed>
QR_INLINE int WordsOf(const TModulePlane& P) {
    return Fixed ? Fixed : P.Words();
}

// Rule 1 down the columns: a run of L >= 5 equal cells scores 3 + (L - 5) = (L - 4) + 2, that
// is one point per window of five equal cells plus two for each run that has such a window.
template <int Fixed>
QR_INLINE int RunsDown(const TModulePlane& P) {
    const int N = WordsOf<Fixed>(P), H = P.Height();
    if (H < 5) return 0;
    int Windows = 0, Starts = 0;
    for (int i = 0; i < N; ++i) {
        const Word Inside = TModulePlane::Span(i, P.Width());
        const Word* Cell = P.Row(0) + i;  // walks down column word i, N words a row
        // Bit x of Eq(k): cells (x, y + k) and (x, y + k + 1) are equal.
        auto Eq = [&](int k) { return ~(Cell[k * N] ^ Cell[(k + 1) * N]) & Inside; };
        Word Above = 0, e0 = Eq(0), e1 = Eq(1), e2 = Eq(2);
        for (int y = 0; y + 4 < H; ++y, Cell += N) {
            const Word e3 = Eq(3);
            const Word Five = e0 & e1 & e2 & e3;
            Windows += Count(Five);
            Starts += Count(Five & ~Above);
            Above = e0;
            e0 = e1;
            e1 = e2;
            e2 = e3;
        }
    }
    return Windows + 2 * Starts;
}

// Rule 1 along rows of one word each: the same count with the cells of a row as its bits.
QR_INLINE int RunsAlongOneWordRows(const TModulePlane& P) {
    const int W = P.Width();
    if (W < 5) return 0;
    const Word Pairs = TModulePlane::Span(0, W - 1);
    int Windows = 0, Starts = 0;
    for (int y = 0; y < P.Height(); ++y) {
        const Word w = P.Row(y)[0];
        const Word Eq = ~(w ^ (w >> 1)) & Pairs;  // bit x: cells x and x + 1 are equal
        const Word Three = Eq & (Eq >> 1);  // cells x .. x + 2 equal
        const Word Five = Three & (Three >> 2);
        Windows += Count(Five);
        Starts += Count(Five & ~(Eq << 1));  // no equal cell before x
    }
    return Windows + 2 * Starts;
}

// Rule 2: 3 for every 2 x 2 block of one colour, overlapping blocks counted each.
template <int Fixed>
QR_INLINE int Blocks(const TModulePlane& P) {
    const int N = WordsOf<Fixed>(P);
    int Found = 0;
    for (int i = 0; i < N; ++i) {
        const Word Inside = TModulePlane::Span(i, P.Width() - 1);  // blocks start before the last column
        const Word* A = P.Row(0) + i;
        const bool Last = i + 1 == N;
        for (int y = 0; y + 1 < P.Height(); ++y, A += N) {
            const Word* B = A + N;
            // Bit x of Vertical: cells (x, y) and (x, y + 1) are equal; of Across: (x, y) and (x + 1, y).
            const Word Vertical = ~(A[0] ^ B[0]);
            const Word VerticalNext = (Vertical >> 1) | (Last ? 0 : ~(A[1] ^ B[1]) << 63);
            const Word Across = ~(A[0] ^ ((A[0] >> 1) | (Last ? 0 : A[1] << 63)));
            Found += Count(Vertical & VerticalNext & Across & Inside);
        }
    }
    return 3 * Found;
}

// Rule 3 down the columns: the exact pattern 1 0 1 1 1 0 1 with four light cells inside the
// matrix after it or, failing that, before it; 40 for each place.
template <int Fixed>
QR_INLINE int FinderLikeDown(const TModulePlane& P) {
    const int N = WordsOf<Fixed>(P), H = P.Height();
    int Found = 0;
    for (int i = 0; i < N; ++i) {
        const Word Inside = TModulePlane::Span(i, P.Width());
        const Word* Cell = P.Row(0) + i;
        auto d = [&](int k) { return Cell[k * N]; };
        auto l = [&](int k) { return ~Cell[k * N] & Inside; };
        for (int y = 0; y + 6 < H; ++y, Cell += N) {
            const Word Pattern = d(0) & l(1) & d(2) & d(3) & d(4) & l(5) & d(6);
            if (!Pattern) continue;
            const Word After = y + 10 < H ? l(7) & l(8) & l(9) & l(10) : 0;
            const Word Before = y >= 4 ? l(-1) & l(-2) & l(-3) & l(-4) : 0;
            Found += Count(Pattern & (After | Before));
        }
    }
    return 40 * Found;
}

// Rule 3 along rows of one word each. Cells past the last column are 0 in P and count neither
// as dark nor, masked off, as light.
QR_INLINE int FinderLikeAlongOneWordRows(const TModulePlane& P) {
    const Word Inside = TModulePlane::Span(0, P.Width());
    int Found = 0;
    for (int y = 0; y < P.Height(); ++y) {
        const Word d = P.Row(y)[0], l = ~d & Inside;
        const Word Pattern = d & (l >> 1) & (d >> 2) & (d >> 3) & (d >> 4) & (l >> 5) & (d >> 6);
        if (!Pattern) continue;
        const Word Light4 = l & (l >> 1) & (l >> 2) & (l >> 3);  // bit x: cells x .. x + 3 light
        Found += Count(Pattern & ((Light4 >> 7) | (Light4 << 4)));  // after the pattern, or before it
    }
    return 40 * Found;
}

// Rule 4: 0 or 1, the distance of the dark share from one half, rounded half to even.
template <int Fixed>
QR_INLINE int Balance(const TModulePlane& P) {
    const int N = WordsOf<Fixed>(P);
    long Dark = 0;
    const Word* Cell = P.Row(0);
    for (int k = 0, End = N * P.Height(); k < End; ++k) Dark += Count(Cell[k]);
    const std::int32_t Total = P.Width() * P.Height();
    if (Total == 0) return 0;
    const double Percent = static_cast<double>(Dark) / Total * 100;
    // Rounded half to even, as the default floating-point rounding mode does: 0 or 1.
    return static_cast<int>(std::nearbyint(std::fabs(Percent - 50) / 50));
}

// Rows of one word are counted in themselves, wider ones down the columns of the transposition.
bool OneWordRows(const TPackedSymbol& Symbol) { return Symbol.Rows.Words() == 1; }

}  // namespace

QR_POPCOUNT_CLONES int PenaltyRunsInLines(const TPackedSymbol& Symbol, bool ByRows) {
    if (ByRows && OneWordRows(Symbol)) return RunsAlongOneWordRows(Symbol.Rows);
    const TModulePlane& Lines = ByRows ? Symbol.Columns : Symbol.Rows;
    return WithWordsPerRow(Lines, [&](auto W) QR_INLINE_LAMBDA { return RunsDown<decltype(W)::value>(Lines); });
}

int PenaltyRuns(const TPackedSymbol& Symbol) {
    return PenaltyRunsInLines(Symbol, true) + PenaltyRunsInLines(Symbol, false);
}

QR_POPCOUNT_CLONES int PenaltyBlocks(const TPackedSymbol& Symbol) {
    return WithWordsPerRow(Symbol.Rows, [&](auto W) QR_INLINE_LAMBDA { return Blocks<decltype(W)::value>(Symbol.Rows); });
}

QR_POPCOUNT_CLONES int PenaltyFinderLike(const TPackedSymbol& Symbol) {
    const int AlongRows = OneWordRows(Symbol) ? FinderLikeAlongOneWordRows(Symbol.Rows)
                                              : WithWordsPerRow(Symbol.Columns, [&](auto W) QR_INLINE_LAMBDA {
                                                    return FinderLikeDown<decltype(W)::value>(Symbol.Columns);
                                                });
    return AlongRows + WithWordsPerRow(Symbol.Rows, [&](auto W) QR_INLINE_LAMBDA {
               return FinderLikeDown<decltype(W)::value>(Symbol.Rows);
           });
}

QR_POPCOUNT_CLONES int PenaltyBalance(const TPackedSymbol& Symbol) {
    return WithWordsPerRow(Symbol.Rows, [&](auto W) QR_INLINE_LAMBDA { return Balance<decltype(W)::value>(Symbol.Rows); });
}

int MaskPenalty(const TPackedSymbol& Symbol, int Bound) {
    // No rule scores below 0, so once the rules counted reach the bound the whole does too.
    int Score = PenaltyRuns(Symbol);
    if (Score >= Bound) return Score;
    Score += PenaltyBlocks(Symbol);
    if (Score >= Bound) return Score;
    Score += PenaltyFinderLike(Symbol);
    if (Score >= Bound) return Score;
    return Score + PenaltyBalance(Symbol);
}

int SelectMask(const TPlacedSymbol& Symbol) {
    // Each mask's symbol is derived from the placed one, as are its columns where the rules
    // along rows read them (from the placed symbol's transposition, masked down the columns).
    std::optional<TPlacedSymbol> Columns;
    if (Symbol.Unmasked().Words() != 1) Columns = Symbol.Transposed();
    TModulePlane Trial, TrialColumns;
    int BestMask = -1;
    int Least = INT_MAX;
    for (int Mask = 0; Mask < 8; ++Mask) {
        Symbol.Masked(Mask, Trial);
        if (Columns) Columns->Masked(Mask, TrialColumns);
        const int Penalty = MaskPenalty({Trial, TrialColumns}, Least);
        if (Penalty < Least) {  // ties keep the lower mask
            Least = Penalty;
            BestMask = Mask;
        }
    }
    return BestMask;
}

}  // namespace qr
