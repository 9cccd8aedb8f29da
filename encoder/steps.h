#pragma once
// The steps TEncoder::EncodeSymbol runs, for the encoder's own files and its tests; callers of
// the encoder use qrcode.h. Clause, table and annex numbers are those of ISO/IEC 18004:2015.
//
// A step that checks what it is given returns false when a check fails, and goes on or stops
// as its contract says; EncodeSymbol gathers the results into TEncoder::EncoderError.

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bitarray.h"
#include "matrixutil.h"
#include "qrcode.h"

namespace qr {

// ---- The data segment: 7.2 data analysis, 7.3 modes, 7.4.1 to 7.4.5 (segment.cpp) ----

// The value of a code unit in the alphanumeric set (Table 5), or -1 outside it.
int AlphanumericValue(int Code);
// True for a code unit that byte mode carries as itself under qrISO88591: 0x00 to 0xFF.
constexpr bool IsLatin1(char16_t c) { return c <= 0xFF; }
// The mode the text is written in under the option; qrAuto is rewritten for byte mode.
// Option qrNumeric gives qmNumeric, qrAlphanumeric qmAlphanumeric, any other qmByte. Under
// qrAuto a non-empty text of digits only is qmNumeric, of the alphanumeric set only
// qmAlphanumeric, of Latin-1 units only qmByte with the option rewritten to qrISO88591; any
// other text, and the empty one, qmByte with qrUTF8NoBOM.
TMode PickMode(std::u16string_view Text, int& Option);
// The code units the mode and option carry, in their order; the others are dropped. With
// Kanji, byte mode under qrISO88591 keeps the units Kanji mode carries as well.
std::u16string KeepEncodableChars(std::u16string_view Text, TMode Mode, int Option, TShiftJis* Kanji = nullptr);
// The segment's count: the units KeepEncodableChars keeps, or for byte mode the bytes they
// make (the byte-order mark included), counted without copying the text.
std::int64_t SegmentCount(std::u16string_view Text, TMode Mode, int Option);
// Appends the data bits of the text (already filtered) in the mode: digit groups (7.4.3),
// character pairs (7.4.4), bytes (7.4.5; none under an option other than qrISO88591,
// qrUTF8NoBOM and qrUTF8BOM) or 13-bit Kanji values (7.4.6). False, ending the writing there,
// for a unit outside the alphanumeric set or a character without a Kanji value; false,
// writing nothing, for a mode without a writer.
[[nodiscard]] bool WriteSegmentData(std::u16string_view Text, TMode Mode, TBitArray& Bits, int Option);
// Appends the mode indicator in 4 bits (Table 2).
void WriteModeIndicator(TMode Mode, TBitArray& Bits);
// Appends the count in its field, as wide as the mode and version call for (Table 3). False,
// appending nothing, for a count the field cannot hold or a version outside 1 to 40.
[[nodiscard]] bool WriteCharacterCount(int Count, int VersionNumber, TMode Mode, TBitArray& Bits);
// UTF-16 to UTF-8 (RFC 3629); an unpaired surrogate becomes U+FFFD (EF BF BD).
std::string Utf16ToUtf8(std::u16string_view Text);

// A data segment: its mode, its count and its data bits. A symbol holds one; the version fit
// and the bit stream take a list.
struct TSegment {
    TMode Mode = qmTerminator;
    int Count = 0;
    TBitArray Data;
};

// The ECI header of 7.4.2.2 as a segment: indicator 0111 and the designator in one codeword
// (designators 0 to 127), no count field. Count holds the designator.
TSegment EciSegment(int Designator);
// The structured-append header of a symbol as a segment (indicator 0011, no count field): the
// symbol's position 0 to 15 and the count less one in 4 bits each, then the parity byte.
TSegment StructuredAppendSegment(int Position, int Total, int Parity);
// The XOR of the bytes a reader gives for the data segment: its bytes in byte mode, the
// characters (ASCII) of a numeric or alphanumeric one, the Shift JIS codes of a Kanji one. Of
// every data segment of every symbol together, the parity byte of a structured-append set.
int SegmentParity(const TSegment& Segment);
// The designator --eci writes for the byte form of the option: 3 (ISO/IEC 8859-1) for
// qrISO88591, 26 (UTF-8) for any other.
int EciDesignator(int Option);

// Annex J, the bit stream of least length: Text (already filtered for Mode and Option) cut
// into numeric, alphanumeric and, where Mode is qmByte, byte segments (the bytes of Option)
// whose headers and data add up to the fewest bits at the count-field widths of Version, by
// dynamic programming over the characters. Mode qmNumeric allows numeric segments only,
// qmAlphanumeric numeric and alphanumeric ones. Under qrUTF8NoBOM the byte-order mark opens
// the first segment, a byte one. Exact: a numeric or alphanumeric run is followed by how many
// of its characters are left over from whole groups, so every segment costs what it writes.
// None when the fewest bits exceed MaxBits (found early for a text far too long). With Kanji
// (and Mode qmByte), Kanji segments join the choice for the characters that have a Kanji
// value; under qrISO88591 they are the only mode for those beyond Latin-1.
std::optional<std::vector<TSegment>> OptimalSegments(std::u16string_view Text, TMode Mode, int Option,
                                                     const TVersion& Version, int MaxBits = INT_MAX,
                                                     TShiftJis* Kanji = nullptr);
// --kanji without the optimizer: Text (filtered for byte mode and Option with Kanji) cut into
// its runs of characters that have a Kanji value, each a Kanji segment, and the runs between
// them, each a byte segment of Option's bytes (the byte-order mark of qrUTF8NoBOM opening the
// first segment, a byte one). A text of one run is one segment.
std::vector<TSegment> KanjiRuns(std::u16string_view Text, int Option, TShiftJis& Kanji);

// ---- The codewords: 7.4.9, 7.4.10, 7.5 and 7.6 (codewords.cpp) ----

// The bits of the segments at a version: indicator, count field and data of each.
int SegmentBits(std::span<const TSegment> Segments, const TVersion& Version);
// The smallest version from MinVersion to MaxVersion at the level whose data codewords hold
// the segments (indicator, count field and data of each), or none. The count fields' widths
// are those of a first estimate's version, whose own widths are then checked until they agree.
const TVersion* FitVersion(std::span<const TSegment> Segments, const TErrorCorrectionLevel& Level,
                           int MinVersion = 1, int MaxVersion = 40);
// Completes the bits to 8 x DataCodewords: the terminator (up to four 0 bits, 7.4.9), 0 bits
// to the next byte boundary, then the pad codewords 0xEC and 0x11 in turn (7.4.10). False for
// bits that exceed the capacity (nothing is appended) or that do not end at it.
[[nodiscard]] bool PadToCapacity(int DataCodewords, TBitArray& Bits);
// The data and error-correction codewords of block BlockIndex when TotalCodewords, of which
// DataCodewords are data, split into BlockCount blocks, the shorter blocks first (Table 9).
// False, the results untouched, for an index beyond the blocks or a split that does not add up.
[[nodiscard]] bool BlockSizes(int TotalCodewords, int DataCodewords, int BlockCount, int BlockIndex, int& DataInBlock,
                              int& ECInBlock);
// The block's ECCount error-correction codewords (7.5.2); none for more than the field allows.
TByteArray ComputeECCodewords(const TByteArray& Data, int ECCount);
// Appends the final sequence to Result (7.6): the data codewords of the blocks, then their
// error-correction codewords, each interleaved block by block. False, appending nothing, for
// bits other than DataCodewords bytes or a block that cannot be coded; false as well for a
// result other than TotalCodewords bytes.
[[nodiscard]] bool InterleaveBlocks(const TBitArray& Bits, int TotalCodewords, int DataCodewords, int BlockCount,
                                    TBitArray& Result);

// The segments of the text under the choices and the version that holds them (7.1, steps 1
// and 2 before the bit stream is written).
struct TSymbolPlan {
    TMode Mode = qmTerminator;  // of the first data segment
    int Option = qrAuto;        // as PickMode rewrote it
    std::vector<TSegment> Segments;
    const TVersion* Version = nullptr;  // none: no allowed version holds the text
    bool ChecksPassed = true;
};
// Header: a segment put before all others (and counted in the version fit), for the
// structured-append header.
TSymbolPlan PlanSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                       const TSymbolChoices& Choices = {}, const TSegment* Header = nullptr);

// The text's final codeword sequence at the level (7.1, steps 1 to 4): what the symbol holds.
struct TCodewords {
    TMode Mode = qmTerminator;
    const TVersion* Version = nullptr;  // none: no version holds the text, and there are no bits
    TBitArray Bits;
    std::vector<TSegmentInfo> Segments;
    bool ChecksPassed = true;  // every step's check held
};
TCodewords AssembleCodewords(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                             const TSymbolChoices& Choices = {});
// The same from the plan made already (steps 2 to 4 on its segments).
TCodewords AssembleCodewords(const TSymbolPlan& Plan, const TErrorCorrectionLevel& Level);
// The parts a structured-append set of Count symbols holds: Text cut at character boundaries
// (a pair of surrogates, and so a multi-byte UTF-8 character, is never cut) into Count runs of
// nearly equal weight, each character weighing its bytes under Option (UTF-8, or 1 under
// qrISO88591, qrNumeric and qrAlphanumeric). Fewer characters than Count: none.
std::vector<std::u16string_view> SplitForSymbols(std::u16string_view Text, int Option, int Count);

// ---- Micro QR (micro.cpp) ----

// "M1" to "M4" for versions 1 to 4.
const char* MicroVersionName(int Version);
// The data bits of Micro QR version 1 to 4 at the level (M1 at L: error detection only); 0 for
// a level the version lacks.
int MicroCapacity(int Version, const TErrorCorrectionLevel& Level);
// A finished Micro QR symbol.
struct TMicroSymbol {
    int Version = 0;  // 1 to 4
    int Mask = -1;    // 0 to 3
    TMode Mode = qmTerminator;
    std::vector<TSegmentInfo> Segments;
    std::unique_ptr<TByteMatrix> Matrix;
    bool ChecksPassed = true;
};
// The Micro QR symbol of the text: the segments as for a QR symbol (one, or with Kanji its
// runs), the smallest version from MinVersion (or MinVersion alone, StrictVersion) at the level
// whose modes and count fields hold them, the mask forced (0 to 3) or of the best evaluation.
// None when no version holds the text. Optimize and Eci do not apply.
std::optional<TMicroSymbol> MicroSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                                        const TSymbolChoices& Choices);

// ---- The mask: 7.8 (maskpenalty.cpp) ----

// A symbol as the penalty rules read it (7.8.3.1, Table 11): its dark modules as packed rows,
// and for a symbol wider than one word (65 modules or more) its columns packed as the rows of
// its transposition (which a narrower one may leave empty).
struct TPackedSymbol {
    const TModulePlane& Rows;
    const TModulePlane& Columns;
};

// Feature 1: in each row (ByRows) or each column, 3 for every run of five equal modules and 1
// for each further module of the run.
int PenaltyRunsInLines(const TPackedSymbol& Symbol, bool ByRows);
// Feature 1 over the rows and the columns.
int PenaltyRuns(const TPackedSymbol& Symbol);
// Feature 2: 3 for every 2 x 2 block of one colour, overlapping blocks each.
int PenaltyBlocks(const TPackedSymbol& Symbol);
// Feature 3: 40 for every 1 0 1 1 1 0 1 along a row or down a column with four light modules
// inside the symbol after it or, failing that, before it.
int PenaltyFinderLike(const TPackedSymbol& Symbol);
// Feature 4: 1 when fewer than a quarter or more than three quarters of the modules are dark
// (the share's distance from one half, over one half, rounded half to even), else 0.
int PenaltyBalance(const TPackedSymbol& Symbol);
// The four features added up. The rules after one that brings the sum to Bound are skipped:
// the result is then Bound or more, and less than the full sum.
int MaskPenalty(const TPackedSymbol& Symbol, int Bound = INT_MAX);
// The mask 0 to 7 whose symbol has the least penalty; ties keep the lower mask.
int SelectMask(const TPlacedSymbol& Symbol);

}  // namespace qr
