// Mask penalty and mask choice.
//
// The four penalty rules are computed on packed rows (TModulePlane): bit x of row y is set when
// the module at column X = x, row Y = y is dark. Every rule is counted down the columns, where
// neighbouring cells are the same bit of neighbouring rows and all columns of a row go at
// once. The rules along rows are the same counts on the transposed plane, except for symbols of
// up to 64 columns: a row of theirs is one word, where neighbouring cells are neighbouring bits,
// and they are counted in the row itself, with no transposition to make.
//
// A cell other than 0 or 1 is not a module: equal runs and blocks, and the light cells of the
// finder-like rule, would no longer be bits. The rule operations refuse such a matrix.

#include <array>
#include <bit>
#include <climits>
#include <cmath>

#include "qrcode.h"

namespace qr {

namespace {

using Word = TModulePlane::Word;

// Population counts in the rules below compile to the processor's instruction where it has
// one: the rules are inlined into Penalty, which is built once for processors with POPCNT and
// once for any x86-64, the choice made when the program loads. The loader's choice (an ifunc)
// exists only in ELF programs; Windows builds use the plain x86-64 form.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__)
#define QR_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define QR_POPCOUNT_CLONES
#endif
#define QR_INLINE [[gnu::always_inline]] inline

QR_INLINE int Count(Word w) { return std::popcount(w); }

// The rules below take the number of words per row as a template argument where it is known
// (Fixed 1 to 3: every symbol, whose side is at most 177), so that their loops over a row's
// words unroll; Fixed 0 reads it from the plane.
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

// Each rule alone, or all of them; with a bound, the whole penalty is cut short once the rules
// counted so far reach it (no rule scores below 0, so the whole is at least as much: such a
// trial cannot beat the one that set the bound).
enum class Rule { RunsAlongRows, RunsDownColumns, Blocks, FinderLike, Balance, All };

// Rows of one word are counted in themselves; other rows down the transposition's columns.
bool NeedsTransposition(const TModulePlane& P) { return P.Words() != 1; }

// The rule over a symbol P whose transposition is T (unused when Fixed is 1: rows of one word),
// in the order of the rules.
template <int Fixed>
QR_INLINE int RuleOf(Rule R, const TModulePlane& P, const TModulePlane& T, int Bound) {
    auto RunsAlongRows = [&] { return Fixed == 1 ? RunsAlongOneWordRows(P) : RunsDown<Fixed>(T); };
    auto FinderLikeAlongRows = [&] { return Fixed == 1 ? FinderLikeAlongOneWordRows(P) : FinderLikeDown<Fixed>(T); };
    switch (R) {
        case Rule::RunsAlongRows: return RunsAlongRows();
        case Rule::RunsDownColumns: return RunsDown<Fixed>(P);
        case Rule::Blocks: return Blocks<Fixed>(P);
        case Rule::FinderLike: return FinderLikeAlongRows() + FinderLikeDown<Fixed>(P);
        case Rule::Balance: return Balance<Fixed>(P);
        default: break;
    }
    int Score = RunsAlongRows() + RunsDown<Fixed>(P);
    if (Score >= Bound) return Score;
    Score += Blocks<Fixed>(P);
    if (Score >= Bound) return Score;
    Score += FinderLikeAlongRows() + FinderLikeDown<Fixed>(P);
    if (Score >= Bound) return Score;
    return Score + Balance<Fixed>(P);
}

// With the words per row as a compile-time constant for 1 word (T unused), and for 2 or 3
// where T has as many (every symbol); read at run time otherwise.
QR_POPCOUNT_CLONES int Score(Rule R, const TModulePlane& P, const TModulePlane& T, int Bound = INT_MAX) {
    if (!NeedsTransposition(P)) return RuleOf<1>(R, P, T, Bound);
    if (P.Words() == T.Words()) switch (P.Words()) {
            case 2: return RuleOf<2>(R, P, T, Bound);
            case 3: return RuleOf<3>(R, P, T, Bound);
            default: break;
        }
    return RuleOf<0>(R, P, T, Bound);
}

// To := From with the pattern of the mask (along rows, or down columns for a transposed plane)
// applied to the cells set in Cells. The pattern is read from its tiles, which repeat every
// TileLines lines and are wider than any symbol; N words per row, 0 to read it from the plane.
template <int Fixed>
void ApplyMask(const TModulePlane& From, const TModulePlane& Cells, int Mask, bool Transposed, TModulePlane& To) {
    const int N = WordsOf<Fixed>(From);
    const auto& Lines = TMaskUtil::Tiles[Transposed][static_cast<std::size_t>(Mask)];
    const Word* Source = From.Row(0);
    const Word* Data = Cells.Row(0);
    Word* Target = To.Row(0);
    for (int y = 0, Line = 0; y < From.Height(); ++y, Line = Line + 1 == TMaskUtil::TileLines ? 0 : Line + 1) {
        const auto& Pattern = Lines[static_cast<std::size_t>(Line)];
        for (int i = 0; i < N; ++i, ++Source, ++Data, ++Target) {
            const Word MaskWord = i < TMaskUtil::TileWords ? Pattern[static_cast<std::size_t>(i)]
                                  : Transposed             ? TMaskUtil::MaskColumnWord(Mask, y, i)
                                                           : TMaskUtil::MaskRowWord(Mask, y, i);
            *Target = *Source ^ (*Data & MaskWord);
        }
    }
}

void ApplyMask(const TModulePlane& From, const TModulePlane& Cells, int Mask, bool Transposed, TModulePlane& To) {
    switch (From.Words()) {
        case 1: return ApplyMask<1>(From, Cells, Mask, Transposed, To);
        case 2: return ApplyMask<2>(From, Cells, Mask, Transposed, To);
        case 3: return ApplyMask<3>(From, Cells, Mask, Transposed, To);
        default: return ApplyMask<0>(From, Cells, Mask, Transposed, To);
    }
}

// A rule over a matrix of modules; -1 (no score) for a matrix holding any other value.
int ScoreMatrix(Rule R, const TByteMatrix& Matrix) {
    if (!TModulePlane::HoldsOnlyModules(Matrix)) return -1;
    const TModulePlane P = TModulePlane::OfCells(Matrix, 1);
    return Score(R, P, NeedsTransposition(P) ? P.Transposed() : TModulePlane());
}

}  // namespace

int TEncoder::MaskPenalty(const TByteMatrix& Matrix) { return ScoreMatrix(Rule::All, Matrix); }

int TEncoder::PenaltyRuns(const TByteMatrix& Matrix) {
    const int Rows = PenaltyRunsInLines(Matrix, true);
    return Rows < 0 ? -1 : Rows + PenaltyRunsInLines(Matrix, false);
}

int TEncoder::PenaltyRunsInLines(const TByteMatrix& Matrix, bool ByRows) {
    return ScoreMatrix(ByRows ? Rule::RunsAlongRows : Rule::RunsDownColumns, Matrix);
}

int TEncoder::PenaltyBlocks(const TByteMatrix& Matrix) { return ScoreMatrix(Rule::Blocks, Matrix); }

int TEncoder::PenaltyFinderLike(const TByteMatrix& Matrix) { return ScoreMatrix(Rule::FinderLike, Matrix); }

int TEncoder::PenaltyBalance(const TByteMatrix& Matrix) { return ScoreMatrix(Rule::Balance, Matrix); }

int TEncoder::SelectMask(const TBitArray& DataBits, const TErrorCorrectionLevel& ECLevel, int Version,
                         TByteMatrix& Matrix) {
    // The eight trial builds share their function patterns and their unmasked data, and differ
    // in the data cells the mask inverts and in the format information. So the layout and the
    // data are placed once, by the same operations BuildMatrix uses, and each trial is derived
    // on packed rows: the unmasked symbol with the mask's pattern applied to the data cells and
    // its own format word written into both copies. Where the rules along rows need the
    // transposed trial, it is derived the same way from the transposed parts.
    TMatrixUtil Util;
    Util.BuildLayout(ECLevel, Version, 0, Matrix);
    const TModulePlane Free = TModulePlane::OfCells(Matrix, 255);
    TModulePlane Unmasked = TModulePlane::OfCells(Matrix, 1);
    TMatrixUtil::PlaceDataPlane(DataBits, Free, Unmasked);  // into the free cells, all light so far
    const bool Transposing = NeedsTransposition(Unmasked);
    TModulePlane FreeT, UnmaskedT, Trial = Unmasked, TrialT;
    if (Transposing) {
        FreeT = Free.Transposed();
        UnmaskedT = Unmasked.Transposed();
        TrialT = UnmaskedT;
    }
    const int D = Matrix.Width();

    // The layout holds the format word of mask 0; a trial's own differs from it in the bits of
    // Format(0) xor Format(Mask), whose two cells each are flipped. Each bit's cells, as a word
    // of a trial and the bit within it, and the same in its transposition:
    struct FormatCell {
        std::size_t Word, WordT;
        TModulePlane::Word Bit, BitT;
    };
    std::array<std::array<FormatCell, 2>, 15> FormatCells{};
    std::array<int, 15> Copies{};
    TMatrixUtil::ForEachFormatCell(D, [&](int X, int Y, int Bit) {
        const auto b = static_cast<std::size_t>(Bit);
        if (Copies[b] < 2)
            FormatCells[b][static_cast<std::size_t>(Copies[b]++)] = {
                static_cast<std::size_t>(Y * Trial.Words() + (X >> 6)),
                static_cast<std::size_t>(X * TrialT.Words() + (Y >> 6)), Word{1} << (X & 63), Word{1} << (Y & 63)};
    });
    const int LayoutFormat = TMatrixUtil::FormatWord(ECLevel, 0);
    // Trial := the symbol under the mask, and TrialT its transposition when Both.
    auto MakeTrial = [&](int Mask, bool Both) {
        ApplyMask(Unmasked, Free, Mask, false, Trial);
        if (Both) ApplyMask(UnmaskedT, FreeT, Mask, true, TrialT);
        Word* const TrialWords = Trial.Row(0);
        Word* const TrialTWords = TrialT.Row(0);
        for (auto Flips = static_cast<unsigned>(TMatrixUtil::FormatWord(ECLevel, Mask) ^ LayoutFormat); Flips != 0;
             Flips &= Flips - 1) {
            const auto b = static_cast<std::size_t>(std::countr_zero(Flips));
            for (int c = 0; c < Copies[b]; ++c) {
                const FormatCell& Cell = FormatCells[b][static_cast<std::size_t>(c)];
                TrialWords[Cell.Word] ^= Cell.Bit;
                if (Both) TrialTWords[Cell.WordT] ^= Cell.BitT;
            }
        }
    };

    int BestMask = -1;
    int Least = INT_MAX;
    for (int Mask = 0; Mask < 8; ++Mask) {
        MakeTrial(Mask, Transposing);
        const int Score = qr::Score(Rule::All, Trial, TrialT, Least);
        if (Score < Least) {  // ties keep the lower mask
            Least = Score;
            BestMask = Mask;
        }
    }
    // The matrix is left holding the chosen trial, made again: the finished symbol.
    MakeTrial(BestMask, false);
    Trial.WriteTo(Matrix);
    return BestMask;
}

}  // namespace qr
