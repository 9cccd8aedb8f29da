// Mask penalty and mask choice.
//
// The four penalty rules are computed on packed rows (TModulePlane): bit x of row y is set when
// the module at column X = x, row Y = y is dark. Every rule is counted down the columns, where
// neighbouring cells are the same bit of neighbouring rows and all columns of a row go at
// once; the rules along rows are the same counts on the transposed plane.
//
// A cell other than 0 or 1 is not a module: equal runs and blocks, and the light cells of the
// finder-like rule, would no longer be bits. The rule operations refuse such a matrix.

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <span>
#include <vector>

#include "qrcode.h"

namespace qr {

namespace {

using Word = TModulePlane::Word;

// Population counts in the rules below compile to the processor's instruction where it has
// one: the rules are inlined into Penalty, which is built once for processors with POPCNT and
// once for any x86-64, the choice made when the program loads.
#if defined(__x86_64__) && defined(__GNUC__)
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

// The rule over a symbol P whose transposition is T, in the order of the rules.
template <int Fixed>
QR_INLINE int RuleOf(Rule R, const TModulePlane& P, const TModulePlane& T, int Bound) {
    switch (R) {
        case Rule::RunsAlongRows: return RunsDown<Fixed>(T);
        case Rule::RunsDownColumns: return RunsDown<Fixed>(P);
        case Rule::Blocks: return Blocks<Fixed>(P);
        case Rule::FinderLike: return FinderLikeDown<Fixed>(T) + FinderLikeDown<Fixed>(P);
        case Rule::Balance: return Balance<Fixed>(P);
        default: break;
    }
    int Score = RunsDown<Fixed>(T) + RunsDown<Fixed>(P);
    if (Score >= Bound) return Score;
    Score += Blocks<Fixed>(P);
    if (Score >= Bound) return Score;
    Score += FinderLikeDown<Fixed>(T) + FinderLikeDown<Fixed>(P);
    if (Score >= Bound) return Score;
    return Score + Balance<Fixed>(P);
}

// With the words per row as a compile-time constant where P and T both have 1, 2 or 3 (every
// symbol), read at run time otherwise.
QR_POPCOUNT_CLONES int Score(Rule R, const TModulePlane& P, const TModulePlane& T, int Bound = INT_MAX) {
    if (P.Words() == T.Words()) switch (P.Words()) {
            case 1: return RuleOf<1>(R, P, T, Bound);
            case 2: return RuleOf<2>(R, P, T, Bound);
            case 3: return RuleOf<3>(R, P, T, Bound);
            default: break;
        }
    return RuleOf<0>(R, P, T, Bound);
}

// A rule over a matrix of modules; -1 (no score) for a matrix holding any other value.
int ScoreMatrix(Rule R, const TByteMatrix& Matrix) {
    if (!TModulePlane::HoldsOnlyModules(Matrix)) return -1;
    const TModulePlane P = TModulePlane::OfCells(Matrix, 1);
    return Score(R, P, P.Transposed());
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
    // its own format word written into both copies. The transposed trial, for the rules along
    // rows, is derived the same way from the transposed parts.
    TMatrixUtil Util;
    Util.BuildLayout(ECLevel, Version, 0, Matrix);
    const TModulePlane Free = TModulePlane::OfCells(Matrix, 255);
    TModulePlane Unmasked = TModulePlane::OfCells(Matrix, 1);
    {
        TModulePlane Data(Free.Width(), Free.Height());
        TMatrixUtil::PlaceDataPlane(DataBits, Free, Data);
        for (int y = 0; y < Unmasked.Height(); ++y)
            for (int i = 0; i < Unmasked.Words(); ++i) Unmasked.Row(y)[i] |= Data.Row(y)[i];
    }
    const TModulePlane FreeT = Free.Transposed(), UnmaskedT = Unmasked.Transposed();
    const int D = Matrix.Width();

    TModulePlane Trial = Unmasked, TrialT = UnmaskedT, Best = Unmasked;
    int BestMask = -1;
    int Least = INT_MAX;
    // The format cells, by their word and bit in a trial and in its transposition.
    struct FormatCell {
        int Bit;
        std::size_t Word, WordT;
        TModulePlane::Word Mask, MaskT;
        int Shift, ShiftT;
    };
    std::array<FormatCell, 30> FormatCells;
    std::size_t Cells = 0;
    TMatrixUtil::ForEachFormatCell(D, [&](int X, int Y, int Bit) {
        if (Cells < FormatCells.size())
            FormatCells[Cells++] = {Bit,          static_cast<std::size_t>(Y * Trial.Words() + (X >> 6)),
                                    static_cast<std::size_t>(X * TrialT.Words() + (Y >> 6)),
                                    Word{1} << (X & 63), Word{1} << (Y & 63), X & 63, Y & 63};
    });
    // A mask's pattern repeats every 12 rows and columns: its lines are fetched once per trial.
    constexpr int Period = 12;
    const auto N = static_cast<std::size_t>(Trial.Words());
    std::vector<Word> Rows(Period * N), Columns(Period * N);
    for (int Mask = 0; Mask < 8; ++Mask) {
        for (int Line = 0; Line < Period; ++Line)
            for (std::size_t i = 0; i < N; ++i) {
                Rows[Line * N + i] = TMaskUtil::MaskRowWord(Mask, Line, static_cast<int>(i));
                Columns[Line * N + i] = TMaskUtil::MaskColumnWord(Mask, Line, static_cast<int>(i));
            }
        // Rows of a plane lie one after another, and the pattern's 12 lines too: walk both.
        auto Derive = [&](const TModulePlane& From, const TModulePlane& Cells, const std::vector<Word>& Lines,
                          TModulePlane& To) {
            const Word* Source = From.Row(0);
            const Word* Data = Cells.Row(0);
            Word* Target = To.Row(0);
            const std::size_t Words = static_cast<std::size_t>(D) * N, Cycle = Period * N;
            for (std::size_t k = 0, Line = 0; k < Words; ++k, Line = Line + 1 == Cycle ? 0 : Line + 1)
                Target[k] = Source[k] ^ (Data[k] & Lines[Line]);
        };
        Derive(Unmasked, Free, Rows, Trial);
        Derive(UnmaskedT, FreeT, Columns, TrialT);
        const int Format = TMatrixUtil::FormatWord(ECLevel, Mask);
        Word* const TrialWords = Trial.Row(0);
        Word* const TrialTWords = TrialT.Row(0);
        for (const FormatCell& Cell : std::span(FormatCells).first(Cells)) {
            const Word Dark = (Format >> Cell.Bit) & 1;
            TrialWords[Cell.Word] = (TrialWords[Cell.Word] & ~Cell.Mask) | Dark << Cell.Shift;
            TrialTWords[Cell.WordT] = (TrialTWords[Cell.WordT] & ~Cell.MaskT) | Dark << Cell.ShiftT;
        }
        const int Score = qr::Score(Rule::All, Trial, TrialT, Least);
        if (Score < Least) {  // ties keep the lower mask
            Least = Score;
            BestMask = Mask;
            Best = Trial;
        }
    }
    // The matrix is left holding the chosen trial: the finished symbol.
    Best.WriteTo(Matrix);
    return BestMask;
}

}  // namespace qr
