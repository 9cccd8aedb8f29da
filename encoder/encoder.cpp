// The encoding pipeline and the symbol record.

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

TCodewords AssembleCodewords(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level) {
    TCodewords Result;
    // 7.1 step 1, data analysis (7.2): the mode; the option may be rewritten from qrAuto.
    Result.Mode = PickMode(Text, Option);
    // A text longer than version 40 holds at the level is refused before any bit is built: its
    // bits could outgrow what a bit array can count.
    if (SegmentCount(Text, Result.Mode, Option) > TEncoder::MaxCount(Result.Mode, Level)) {
        Result.ChecksPassed = false;
        return Result;
    }

    // Step 2, data encodation (7.4): the segment's data bits, the characters the option cannot
    // carry dropped, and the smallest version that holds the segment with its header.
    TSegment Segment{Result.Mode, 0, {}};
    const std::u16string Filtered = KeepEncodableChars(Text, Segment.Mode, Option);
    bool Ok = WriteSegmentData(Filtered, Segment.Mode, Segment.Data, Option);
    Segment.Count = Segment.Mode == qmByte ? Segment.Data.GetSizeInBytes() : static_cast<int>(Filtered.size());
    const std::span<const TSegment> Segments(&Segment, 1);
    Result.Version = FitVersion(Segments, Level);
    if (!Result.Version) {
        Result.ChecksPassed = false;
        return Result;
    }
    TBitArray Bits;
    for (const TSegment& S : Segments) {
        WriteModeIndicator(S.Mode, Bits);
        Ok = WriteCharacterCount(S.Count, Result.Version->GetVersionNumber(), S.Mode, Bits) && Ok;
        Bits.AppendBitArray(S.Data);
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
    // 7.1 steps 1 to 4: the final codeword sequence.
    const TCodewords Codewords = AssembleCodewords(Text, Option, Level);
    if (!Codewords.ChecksPassed) FEncoderError = true;
    if (!Codewords.Version) return;  // no version holds the text: no symbol, the record keeps no matrix

    Record.SetECLevel(Level);
    Record.SetMode(Codewords.Mode);
    Record.SetVersion(Codewords.Version->GetVersionNumber());
    // Step 5, the function patterns and the codewords in the matrix (7.7); step 6, the mask of
    // least penalty (7.8); step 7, the format and version information (7.9, 7.10). The symbol
    // is placed once, unmasked, and each mask's symbol derived from it: the finished matrix is
    // the one BuildMatrix makes with the chosen mask.
    const int Dimension = Codewords.Version->GetDimensionForVersion();
    auto Matrix = std::make_unique<TByteMatrix>(Dimension, Dimension);
    const TPlacedSymbol Symbol = TMatrixUtil().PlaceSymbol(Codewords.Bits, Level, Record.Version(), 0, *Matrix);
    Record.SetMaskPattern(SelectMask(Symbol));
    Symbol.WriteTo(Record.MaskPattern(), *Matrix);
    Record.SetMatrix(std::move(Matrix));
}

}  // namespace qr
