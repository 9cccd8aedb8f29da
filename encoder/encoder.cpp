// The encoding pipeline and the symbol record.

#include <algorithm>
#include <iterator>

#include "steps.h"

namespace qr {

int TQRCode::At(int X, int Y) {
    if (!FMatrix) {  // no symbol to read: like an empty cell
        FQRCodeError = true;
        return -1;
    }
    const int Value = FMatrix->Get(X, Y);
    if (Value != 0 && Value != 1) FQRCodeError = true;
    return Value;
}

bool TQRCode::IsValid() const {
    return FECLevel.has_value() && FVersion != -1 && FMatrixWidth != -1 && FMaskPattern != -1 &&
           FNumTotalBytes != -1 && FNumDataBytes != -1 && FNumECBytes != -1 && FNumRSBlocks != -1 &&
           IsValidMaskPattern(FMaskPattern) && FNumTotalBytes == FNumDataBytes + FNumECBytes && FMatrix &&
           FMatrixWidth == FMatrix->Width() && FMatrix->Width() == FMatrix->Height();
}

void TQRCode::SetECLevel(const TErrorCorrectionLevel& NewECLevel) {
    FECLevel.emplace();
    FECLevel->Assign(NewECLevel);
}

void TQRCode::SetAll(int VersionNum, int NumBytes, int NumDataBytes, int NumRSBlocks, int NumECBytes,
                     int MatrixWidth) {
    FVersion = VersionNum;
    FNumTotalBytes = NumBytes;
    FNumDataBytes = NumDataBytes;
    FNumRSBlocks = NumRSBlocks;
    FNumECBytes = NumECBytes;
    FMatrixWidth = MatrixWidth;
}

TSymbolPlan PlanSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                       const TSymbolChoices& Choices, const TSegment* Header) {
    TSymbolPlan Plan;
    std::optional<TShiftJis> Kanji;
    if (Choices.Kanji) Kanji.emplace();
    // 7.1 step 1, data analysis (7.2): the mode; the option may be rewritten from qrAuto.
    Plan.Mode = PickMode(Text, Option);
    Plan.Option = Option;
    // With Kanji asked, a text beyond Latin-1 whose every character Kanji mode holds is Kanji.
    if (Kanji && Plan.Mode == qmByte && Option == qrUTF8NoBOM && Text.size() > 0 &&
        std::all_of(Text.begin(), Text.end(), [&](char16_t c) { return Kanji->KanjiValue(c) >= 0; }))
        Plan.Mode = qmKanji;
    // A text longer than version 40 holds at the level is refused before any bit is built: its
    // bits could outgrow what a bit array can count. Mixed segments cost no less than 10 bits
    // for three code units, as numeric mode (a pair of surrogates makes 4 bytes).
    const bool Mixed = Choices.Optimize || Kanji;
    const std::int64_t Count = Mixed ? static_cast<std::int64_t>(Text.size()) : SegmentCount(Text, Plan.Mode, Option);
    if (Count > TEncoder::MaxCount(Mixed ? qmNumeric : Plan.Mode, Level)) {
        Plan.ChecksPassed = false;
        return Plan;
    }

    // Step 2, data encodation (7.4): the data bits, the characters the option cannot carry
    // dropped, and the smallest version allowed that holds them with their headers.
    const std::u16string Filtered = KeepEncodableChars(Text, Plan.Mode, Option, Kanji ? &*Kanji : nullptr);
    if (Header) Plan.Segments.push_back(*Header);
    if (Choices.Eci) Plan.Segments.push_back(EciSegment(EciDesignator(Option)));
    const int MinVersion = std::clamp(Choices.MinVersion, 1, 40);
    if (Choices.Optimize && Plan.Mode != qmKanji) {
        // The segments of least bits differ with the count-field widths: each group of versions
        // has its own, and the first group with a version that holds them gives the smallest.
        const std::size_t Header = Plan.Segments.size();
        for (const int Last : {9, 26, 40}) {
            if (Last < MinVersion) continue;
            const TVersion& Largest = *TVersion::GetVersionForNumber(Last);
            const int Room = 8 * Largest.GetDataCodewords(Level) - SegmentBits(Plan.Segments, Largest);
            std::optional<std::vector<TSegment>> Data = 
                OptimalSegments(Filtered, Plan.Mode, Option, Largest, Room, Kanji ? &*Kanji : nullptr);
            if (!Data) continue;  // not even the group's largest version holds them
            Plan.Segments.resize(Header);
            std::move(Data->begin(), Data->end(), std::back_inserter(Plan.Segments));
            Plan.Version = FitVersion(Plan.Segments, Level, std::max(MinVersion, Last == 9 ? 1 : Last == 26 ? 10 : 27), Last);
            if (Plan.Version) break;
        }
        if (Plan.Segments.size() > Header) Plan.Mode = Plan.Segments[Header].Mode;
    } else if (Kanji && Plan.Mode == qmByte) {
        const std::size_t Header = Plan.Segments.size();
        std::vector<TSegment> Runs = KanjiRuns(Filtered, Option, *Kanji);
        std::move(Runs.begin(), Runs.end(), std::back_inserter(Plan.Segments));
        Plan.Mode = Plan.Segments[Header].Mode;
        Plan.Version = FitVersion(Plan.Segments, Level, MinVersion);
    } else {
        TSegment Segment{Plan.Mode, 0, {}};
        Plan.ChecksPassed = WriteSegmentData(Filtered, Segment.Mode, Segment.Data, Option);
        Segment.Count = Segment.Mode == qmByte ? Segment.Data.GetSizeInBytes() : static_cast<int>(Filtered.size());
        Plan.Segments.push_back(std::move(Segment));
        Plan.Version = FitVersion(Plan.Segments, Level, MinVersion);
    }
    if (Plan.Version && Choices.StrictVersion && Plan.Version->GetVersionNumber() != MinVersion) Plan.Version = nullptr;
    if (!Plan.Version) Plan.ChecksPassed = false;
    return Plan;
}

TCodewords AssembleCodewords(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                             const TSymbolChoices& Choices) {
    return AssembleCodewords(PlanSymbol(Text, Option, Level, Choices), Level);
}

TCodewords AssembleCodewords(const TSymbolPlan& Plan, const TErrorCorrectionLevel& Level) {
    TCodewords Result;
    Result.Mode = Plan.Mode;
    Result.Version = Plan.Version;
    if (!Result.Version) {
        Result.ChecksPassed = false;
        return Result;
    }
    bool Ok = Plan.ChecksPassed;
    TBitArray Bits;
    for (const TSegment& S : Plan.Segments) {
        WriteModeIndicator(S.Mode, Bits);
        // An ECI or structured-append header has no count field: its fields are its data.
        if (S.Mode != qmECI && S.Mode != qmStructuredAppend) Ok = WriteCharacterCount(S.Count, Result.Version->GetVersionNumber(), S.Mode, Bits) && Ok;
        Bits.AppendBitArray(S.Data);
        Result.Segments.push_back({S.Mode, S.Count});
    }
    // The terminator and the pad codewords (7.4.9, 7.4.10).
    const int DataCodewords = Result.Version->GetDataCodewords(Level);
    Ok = PadToCapacity(DataCodewords, Bits) && Ok;
    // Steps 3 and 4: the blocks' error-correction codewords (7.5) and the final sequence (7.6).
    Ok = InterleaveBlocks(Bits, Result.Version->GetTotalCodewords(), DataCodewords,
                          Result.Version->GetECBlocksForLevel(Level).GetNumBlocks(), Result.Bits) && Ok;
    Result.ChecksPassed = Ok;
    return Result;
}

void TEncoder::EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                            TQRCode& Record) {
    EncodeSymbol(Text, Option, Level, TSymbolChoices(), Record);
}

void TEncoder::EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                            const TSymbolChoices& Choices, TQRCode& Record) {
    if (Choices.Micro) {
        std::optional<TMicroSymbol> Micro = MicroSymbol(Text, Option, Level, Choices);
        if (!Micro || !Micro->ChecksPassed) FEncoderError = true;
        if (!Micro) return;
        Record.SetECLevel(Level);
        Record.SetMode(Micro->Mode);
        Record.SetVersion(Micro->Version);
        Record.SetSegments(std::move(Micro->Segments));
        Record.SetMaskPattern(Micro->Mask);
        Record.SetMatrix(std::move(Micro->Matrix));
        return;
    }
    // 7.1 steps 1 to 4: the final codeword sequence.
    TCodewords Codewords = AssembleCodewords(Text, Option, Level, Choices);
    if (!Codewords.ChecksPassed) FEncoderError = true;
    if (!Codewords.Version) return;  // no version holds the text: no symbol, the record keeps no matrix
    BuildSymbol(std::move(Codewords), Level, Choices.Mask, Record);
}

void TEncoder::BuildSymbol(TCodewords Codewords, const TErrorCorrectionLevel& Level, int Mask, TQRCode& Record) {
    Record.SetECLevel(Level);
    Record.SetMode(Codewords.Mode);
    Record.SetVersion(Codewords.Version->GetVersionNumber());
    Record.SetSegments(std::move(Codewords.Segments));
    // Step 5, the function patterns and the codewords in the matrix (7.7); step 6, the mask of
    // least penalty (7.8) unless one is forced; step 7, the format and version information
    // (7.9, 7.10). The symbol is placed once, unmasked, and each mask's symbol derived from it:
    // the finished matrix is the one BuildMatrix makes with the chosen mask.
    const int Dimension = Codewords.Version->GetDimensionForVersion();
    auto Matrix = std::make_unique<TByteMatrix>(Dimension, Dimension);
    const TPlacedSymbol Symbol = TMatrixUtil().PlaceSymbol(Codewords.Bits, Level, Record.Version(), 0, *Matrix);
    Record.SetMaskPattern(TQRCode::IsValidMaskPattern(Mask) ? Mask : SelectMask(Symbol));
    Symbol.WriteTo(Record.MaskPattern(), *Matrix);
    Record.SetMatrix(std::move(Matrix));
}

std::vector<std::u16string_view> SplitForSymbols(std::u16string_view Text, int Option, int Count) {
    std::vector<std::size_t> Ends;  // where each character ends
    std::vector<std::int64_t> Weights;  // the bytes up to there
    std::int64_t Total = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char16_t u = Text[i];
        const bool Pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF;
        const bool Utf8 = Option != qrISO88591 && Option != qrNumeric && Option != qrAlphanumeric;
        Total += !Utf8 ? 1 : Pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (Pair) ++i;
        Ends.push_back(i + 1);
        Weights.push_back(Total);
    }
    std::vector<std::u16string_view> Parts;
    if (Count < 1 || Ends.size() < static_cast<std::size_t>(Count)) return Parts;
    std::size_t Begin = 0, Character = 0;
    for (int k = 0; k < Count; ++k) {
        // The part ends at the first character whose bytes reach its share, leaving at least one
        // character for each part after it.
        const std::int64_t Share = Total * (k + 1) / Count;
        const std::size_t Last = Ends.size() - static_cast<std::size_t>(Count - k);
        while (Character < Last && Weights[Character] < Share) ++Character;
        const std::size_t End = k + 1 == Count ? Text.size() : Ends[Character];
        Parts.push_back(Text.substr(Begin, End - Begin));
        Begin = End;
        ++Character;
    }
    return Parts;
}

std::vector<TQRCode> TEncoder::EncodeSymbols(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                                             const TSymbolChoices& Choices, int Symbols) {
    std::vector<TQRCode> Records;
    if (Symbols < 0 || Symbols > MaxSymbols) {
        FEncoderError = true;
        return Records;
    }
    if (Symbols == 0 && ChooseVersion(Text, Option, Level, Choices) != 0) {  // one symbol holds it
        Records.emplace_back();
        EncodeSymbol(Text, Option, Level, Choices, Records.back());
        return Records;
    }
    // The whole text's mode and character set, for every part.
    int Whole = Option;
    const TMode Mode = PickMode(Text, Whole);
    const int PartOption = Mode == qmNumeric ? qrNumeric : Mode == qmAlphanumeric ? qrAlphanumeric : Whole;
    for (int Count = Symbols ? Symbols : 2; Count <= (Symbols ? Symbols : MaxSymbols); ++Count) {
        const std::vector<std::u16string_view> Parts = SplitForSymbols(Text, PartOption, Count);
        if (Parts.empty()) break;  // fewer characters than symbols
        std::vector<TSymbolPlan> Plans;
        int Parity = 0;
        for (int k = 0; k < Count; ++k) {
            const TSegment Header = StructuredAppendSegment(k, Count, 0);  // the parity is known at the end
            const int Own = PartOption == qrUTF8NoBOM && k > 0 ? qrUTF8BOM : PartOption;
            Plans.push_back(PlanSymbol(Parts[static_cast<std::size_t>(k)], Own, Level, Choices, &Header));
            if (!Plans.back().Version) break;
            for (std::size_t s = 1; s < Plans.back().Segments.size(); ++s) Parity ^= SegmentParity(Plans.back().Segments[s]);
        }
        if (Plans.size() < static_cast<std::size_t>(Count) || !Plans.back().Version) continue;  // try one more symbol
        for (int k = 0; k < Count; ++k) {
            TSymbolPlan& Plan = Plans[static_cast<std::size_t>(k)];
            Plan.Segments.front() = StructuredAppendSegment(k, Count, Parity);
            TCodewords Codewords = AssembleCodewords(Plan, Level);
            if (!Codewords.ChecksPassed) FEncoderError = true;
            Records.emplace_back();
            BuildSymbol(std::move(Codewords), Level, Choices.Mask, Records.back());
        }
        return Records;
    }
    FEncoderError = true;
    return Records;
}

int TEncoder::ChooseVersion(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                            const TSymbolChoices& Choices) {
    if (Choices.Micro) {
        const std::optional<TMicroSymbol> Micro = MicroSymbol(Text, Option, Level, Choices);
        return Micro ? Micro->Version : 0;
    }
    const TSymbolPlan Plan = PlanSymbol(Text, Option, Level, Choices);
    return Plan.Version ? Plan.Version->GetVersionNumber() : 0;
}

}  // namespace qr
