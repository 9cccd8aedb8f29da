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
#include <bit>
#include <climits>
#include <cmath>
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

// Rule 1 down the columns: a run of L >= 5 equal cells scores 3 + (L - 5) = (L - 4) + 2, that
// is one point per window of five equal cells plus two for each run that has such a window.
QR_INLINE int RunsDown(const TModulePlane& P) {
    int Windows = 0, Starts = 0;
    const int H = P.Height();
    for (int i = 0; i < P.Words(); ++i) {
        const Word Inside = TModulePlane::Span(i, P.Width());
        // Bit x of Eq(y): cells (x, y) and (x, y + 1) are equal.
        auto Eq = [&](int y) { return ~(P.Row(y)[i] ^ P.Row(y + 1)[i]) & Inside; };
        if (H < 5) continue;
        Word Above = 0, e0 = Eq(0), e1 = Eq(1), e2 = Eq(2);
        for (int y = 0; y + 4 < H; ++y) {
            const Word e3 = Eq(y + 3);
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

// Bit x of the result is bit x + 1 of the row (0 past its end).
QR_INLINE Word NextColumn(const Word* Row, int Words, int i) {
    return (Row[i] >> 1) | (i + 1 < Words ? Row[i + 1] << 63 : 0);
}

// Rule 2: 3 for every 2 x 2 block of one colour, overlapping blocks counted each.
QR_INLINE int Blocks(const TModulePlane& P) {
    int Found = 0;
    const int N = P.Words();
    for (int y = 0; y + 1 < P.Height(); ++y) {
        const Word* A = P.Row(y);
        const Word* B = P.Row(y + 1);
        for (int i = 0; i < N; ++i) {
            // Bit x of Vertical: cells (x, y) and (x, y + 1) are equal; of Across: (x, y) and (x + 1, y).
            const Word Vertical = ~(A[i] ^ B[i]);
            const Word VerticalNext = (Vertical >> 1) | (i + 1 < N ? ~(A[i + 1] ^ B[i + 1]) << 63 : 0);
            const Word Across = ~(A[i] ^ NextColumn(A, N, i));
            Found += Count(Vertical & VerticalNext & Across & TModulePlane::Span(i, P.Width() - 1));
        }
    }
    return 3 * Found;
}

// Rule 3 down the columns: the exact pattern 1 0 1 1 1 0 1 with four light cells inside the
// matrix after it or, failing that, before it; 40 for each place.
QR_INLINE int FinderLikeDown(const TModulePlane& P) {
    int Found = 0;
    const int H = P.Height();
    for (int i = 0; i < P.Words(); ++i) {
        const Word Inside = TModulePlane::Span(i, P.Width());
        auto d = [&](int y) { return P.Row(y)[i]; };
        auto l = [&](int y) { return ~P.Row(y)[i] & Inside; };
        for (int y = 0; y + 6 < H; ++y) {
            const Word Pattern = d(y) & l(y + 1) & d(y + 2) & d(y + 3) & d(y + 4) & l(y + 5) & d(y + 6);
            if (!Pattern) continue;
            const Word After = y + 10 < H ? l(y + 7) & l(y + 8) & l(y + 9) & l(y + 10) : 0;
            const Word Before = y >= 4 ? l(y - 1) & l(y - 2) & l(y - 3) & l(y - 4) : 0;
            Found += Count(Pattern & (After | Before));
        }
    }
    return 40 * Found;
}

// Rule 4: 0 or 1, the distance of the dark share from one half, rounded half to even.
QR_INLINE int Balance(const TModulePlane& P) {
    long Dark = 0;
    for (int y = 0; y < P.Height(); ++y)
        for (int i = 0; i < P.Words(); ++i) Dark += Count(P.Row(y)[i]);
    const std::int32_t Total = P.Width() * P.Height();
    if (Total == 0) return 0;
    const double Percent = static_cast<double>(Dark) / Total * 100;
    // Rounded half to even, as the default floating-point rounding mode does: 0 or 1.
    return static_cast<int>(std::nearbyint(std::fabs(Percent - 50) / 50));
}

// The whole penalty of a symbol P whose transposition is T, in the order of the rules.
QR_POPCOUNT_CLONES int Penalty(const TModulePlane& P, const TModulePlane& T) {
    return RunsDown(T) + RunsDown(P) + Blocks(P) + FinderLikeDown(T) + FinderLikeDown(P) + Balance(P);
}

// Each rule alone, for the rule operations (not used by the mask choice).
enum class Rule { RunsAlongRows, RunsDownColumns, Blocks, FinderLike, Balance, All };

QR_POPCOUNT_CLONES int Score(Rule R, const TModulePlane& P, const TModulePlane& T) {
    switch (R) {
        case Rule::RunsAlongRows: return RunsDown(T);
        case Rule::RunsDownColumns: return RunsDown(P);
        case Rule::Blocks: return Blocks(P);
        case Rule::FinderLike: return FinderLikeDown(T) + FinderLikeDown(P);
        case Rule::Balance: return Balance(P);
        default: return Penalty(P, T);
    }
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
        // Rows of a plane lie one after another: walk them with the pattern's line.
        auto Derive = [&](const TModulePlane& From, const TModulePlane& Cells, const std::vector<Word>& Lines,
                          TModulePlane& To) {
            const Word* Source = From.Row(0);
            const Word* Data = Cells.Row(0);
            Word* Target = To.Row(0);
            for (int y = 0, Line = 0; y < D; ++y, Line = Line + 1 == Period ? 0 : Line + 1) {
                const Word* Pattern = &Lines[static_cast<std::size_t>(Line) * N];
                for (std::size_t i = 0; i < N; ++i) *Target++ = *Source++ ^ (*Data++ & Pattern[i]);
            }
        };
        Derive(Unmasked, Free, Rows, Trial);
        Derive(UnmaskedT, FreeT, Columns, TrialT);
        TMatrixUtil::ForEachFormatCell(TMatrixUtil::FormatWord(ECLevel, Mask), D, [&](int X, int Y, bool b) {
            Trial.Set(X, Y, b);
            TrialT.Set(Y, X, b);
        });
        const int Score = Penalty(Trial, TrialT);
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
