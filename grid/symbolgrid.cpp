// The code grid's call into the encoder, in an object file of its own so that a test build can
// link a stand-in for it and see every encoding the grid asks for.

#include "qrcodegrid.h"

namespace qr {

T2DBooleanArray MakeSymbolGrid(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                               const TSymbolChoices& Choices) {
    TEncoder Encoder;
    TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, Level, Choices, Record);
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

}  // namespace qr
