// The encoding pipeline and the symbol record.

#include "qrcode.h"

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

void TEncoder::EncodeSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                            TQRCode& Record) {
    const TMode Mode = PickMode(Text, Option);  // may rewrite the option from qrAuto
    // A text longer than version 40 holds at the level is refused before any bit is built: its
    // bits could outgrow what a bit array can count.
    if (SegmentCount(Text, Mode, Option) > MaxCount(Mode, Level)) {
        FEncoderError = true;
        return;
    }
    TBitArray DataBits;
    TBitArray HeaderBits;
    const std::u16string Filtered = KeepEncodableChars(Text, Mode, Option);
    WriteSegmentData(Filtered, Mode, DataBits, Option);
    WriteModeIndicator(Mode, HeaderBits);

    // Version fit in two passes, so that the count-field width the estimate used is the one of
    // the version chosen. The version is read from the table by number: no record is built.
    const int FirstEstimate = HeaderBits.GetSize() + CountFieldWidth(Mode, 1) + DataBits.GetSize();
    const int Provisional = TVersion::ChooseVersionNumber(FirstEstimate, Level);
    const int Version =
        Provisional != 0
            ? TVersion::ChooseVersionNumber(HeaderBits.GetSize() + CountFieldWidth(Mode, Provisional) + DataBits.GetSize(), Level)
            : 0;
    if (Version == 0) {
        // No version holds the segment: no symbol, and the record keeps no matrix.
        FEncoderError = true;
        return;
    }

    TBitArray HeaderAndDataBits;
    TBitArray FinalBits;
    HeaderAndDataBits.AppendBitArray(HeaderBits);
    const int Count = Mode == qmByte ? DataBits.GetSizeInBytes() : static_cast<int>(Filtered.size());
    WriteCharacterCount(Count, Version, Mode, HeaderAndDataBits);
    HeaderAndDataBits.AppendBitArray(DataBits);

    const int TotalCodewords = TVersion::TotalCodewordsOf(Version);
    const int DataCodewords = TVersion::DataCodewords(Version, Level);
    PadToCapacity(DataCodewords, HeaderAndDataBits);
    InterleaveBlocks(HeaderAndDataBits, TotalCodewords, DataCodewords, TVersion::NumBlocksOf(Version, Level), FinalBits);

    Record.SetECLevel(Level);
    Record.SetMode(Mode);
    Record.SetVersion(Version);
    // The mask choice builds every trial in the matrix and leaves the chosen one there: the
    // finished symbol, the same that BuildMatrix makes with that mask.
    const int Dimension = 17 + 4 * Version;
    auto Matrix = std::make_unique<TByteMatrix>(Dimension, Dimension);
    Record.SetMaskPattern(SelectMask(FinalBits, Level, Record.Version(), *Matrix));
    Record.SetMatrix(std::move(Matrix));
}

}  // namespace qr
