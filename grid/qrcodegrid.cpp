#include "qrcodegrid.h"

namespace qr {

T2DBooleanArray MakeSymbolGrid(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, Level, Record);
    const TByteMatrix* M = Record.Matrix();
    if (!M) return {};
    // Indexed [X][Y]: column first. Each column is filled top to bottom from the matrix's rows.
    const T2DByteArray& Rows = M->GetArray();
    T2DBooleanArray Grid(static_cast<std::size_t>(M->Width()));
    for (std::size_t X = 0; X < Grid.size(); ++X) {
        std::vector<bool>& Column = Grid[X];
        Column.reserve(Rows.size());
        for (const auto& Row : Rows) Column.push_back(Row[X] == 1);
    }
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


}  // namespace qr
