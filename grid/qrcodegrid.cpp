#include "qrcodegrid.h"

namespace qr {

TQRCodeGrid::TQRCodeGrid(std::u16string_view Data, TQRCodeEncoding Encoding, int QuietZone,
                         const TErrorCorrectionLevel& Level, const TSymbolChoices& Choices)
    : FData(Data),
      FEncoding(Encoding),
      FQuietZone(QuietZone >= 0 && QuietZone <= 100 ? QuietZone : 4),
      FLevel(Level),
      FChoices(Choices) {
    RebuildGrid();
}

void TQRCodeGrid::SetData(std::u16string_view Data) {
    if (Data == FData) return;
    FData = Data;
    RebuildGrid();
}

void TQRCodeGrid::SetEncoding(TQRCodeEncoding Encoding) {
    if (Encoding == FEncoding) return;
    FEncoding = Encoding;
    RebuildGrid();
}

void TQRCodeGrid::SetQuietZone(int QuietZone) {
    if (QuietZone == FQuietZone || QuietZone < 0 || QuietZone > 100) return;
    FQuietZone = QuietZone;
    RebuildGrid();
}

void TQRCodeGrid::SetLevel(const TErrorCorrectionLevel& Level) {
    if (Level.Bits() == FLevel.Bits()) return;
    FLevel = Level;
    RebuildGrid();
}

void TQRCodeGrid::SetChoices(const TSymbolChoices& Choices) {
    FChoices = Choices;
    RebuildGrid();
}

TQRCodeGrid::TQRCodeGrid(const TByteMatrix& Symbol, int QuietZone) {
    if (QuietZone >= 0 && QuietZone <= 100) FQuietZone = QuietZone;
    FElements.assign(static_cast<std::size_t>(Symbol.Width()), std::vector<bool>(static_cast<std::size_t>(Symbol.Height())));
    for (int X = 0; X < Symbol.Width(); ++X)
        for (int Y = 0; Y < Symbol.Height(); ++Y) FElements[static_cast<std::size_t>(X)][static_cast<std::size_t>(Y)] = Symbol.Get(X, Y) == 1;
    FRows = static_cast<int>(FElements.size()) + 2 * FQuietZone;
    FColumns = FRows;
}

void TQRCodeGrid::RebuildGrid() {
    FElements = MakeSymbolGrid(FData, FEncoding, FLevel, FChoices);
    FRows = static_cast<int>(FElements.size()) + 2 * FQuietZone;
    FColumns = FRows;
}

TDataSize TQRCodeGrid::MeasureData(std::u16string_view Text, TQRCodeEncoding Encoding,
                                   const TErrorCorrectionLevel& Level) {
    const TEncoder::TSegmentSize Segment = TEncoder::MeasureSegment(Text, Encoding);
    return {Segment.Mode, Segment.Count, TEncoder::MaxCount(Segment.Mode, Level)};
}

}  // namespace qr
