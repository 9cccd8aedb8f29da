#include "qrcodegrid.h"

namespace qr {

T2DBooleanArray MakeSymbolGrid(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, Level, Record);
    const TByteMatrix* M = Record.Matrix();
    if (!M) return {};
    // Indexed [X][Y]: column first.
    T2DBooleanArray Grid(static_cast<std::size_t>(M->Height()), std::vector<bool>(static_cast<std::size_t>(M->Width())));
    for (int i = 0; i < M->Height(); ++i)
        for (int j = 0; j < M->Width(); ++j) Grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = M->Get(i, j) == 1;
    return Grid;
}

TQRCodeGrid::TQRCodeGrid(std::u16string_view Data, TQRCodeEncoding Encoding, int QuietZone,
                         const TErrorCorrectionLevel& Level)
    : FData(Data), FEncoding(Encoding), FQuietZone(QuietZone >= 0 && QuietZone <= 100 ? QuietZone : 4), FLevel(Level) {
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

void TQRCodeGrid::RebuildGrid() {
    FElements = MakeSymbolGrid(FData, FEncoding, FLevel);
    FRows = static_cast<int>(FElements.size()) + 2 * FQuietZone;
    FColumns = FRows;
    ++FEncodeCount;
}

bool TQRCodeGrid::IsBlack(int Row, int Column) const {
    const int r = Row - FQuietZone;
    const int c = Column - FQuietZone;
    if (r < 0 || c < 0) return false;
    if (r >= FRows - 2 * FQuietZone || c >= FColumns - 2 * FQuietZone) return false;
    return FElements[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
}

}  // namespace qr
