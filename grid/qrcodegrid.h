#pragma once
// The encoder's public face: a text, an encoding option and a quiet zone, re-encoded whenever
// one of them changes, answering for every cell of the padded grid whether it is dark.

#include <string>
#include <vector>

#include "encoder/qrcode.h"

namespace qr {

// Indexed [column X][row Y] of the symbol matrix; side 0 when no version holds the text.
using T2DBooleanArray = std::vector<std::vector<bool>>;

// Encodes Text at the level (L unless given) with the option (a TQRCodeEncoding ordinal) into a
// grid of Booleans.
T2DBooleanArray MakeSymbolGrid(std::u16string_view Text, int Option,
                               const TErrorCorrectionLevel& Level = LevelL());

class TQRCodeGrid {
public:
    // No symbol until a property write changes a value.
    TQRCodeGrid() = default;
    // The symbol of Data with all settings at once: one encoding. A quiet zone outside 0 to 100
    // keeps the default of 4, as a write of it would.
    TQRCodeGrid(std::u16string_view Data, TQRCodeEncoding Encoding, int QuietZone,
                const TErrorCorrectionLevel& Level = LevelL());

    const std::u16string& Data() const { return FData; }
    void SetData(std::u16string_view Data);
    TQRCodeEncoding Encoding() const { return FEncoding; }
    void SetEncoding(TQRCodeEncoding Encoding);
    int QuietZone() const { return FQuietZone; }
    void SetQuietZone(int QuietZone);  // 0 to 100; other values are ignored
    // The error-correction level; L unless set.
    const TErrorCorrectionLevel& Level() const { return FLevel; }
    void SetLevel(const TErrorCorrectionLevel& Level);

    int Rows() const { return FRows; }
    int Columns() const { return FColumns; }
    // Row and Column of the padded grid; false in the quiet zone and outside the grid. Inline:
    // the picture writers ask once for every cell.
    bool IsBlack(int Row, int Column) const {
        // One unsigned comparison per side also refuses the quiet zone before the symbol.
        const auto r = static_cast<unsigned>(Row - FQuietZone);
        const auto c = static_cast<unsigned>(Column - FQuietZone);
        const auto Side = static_cast<unsigned>(FElements.size());
        return r < Side && c < Side && FElements[c][r];
    }
    // How many times the symbol has been encoded (for callers that want to know a write did nothing).
    int EncodeCount() const { return FEncodeCount; }

private:
    void RebuildGrid();

    std::u16string FData;
    int FRows = 0;
    int FColumns = 0;
    TQRCodeEncoding FEncoding = qrAuto;
    int FQuietZone = 4;
    TErrorCorrectionLevel FLevel = LevelL();
    T2DBooleanArray FElements;
    int FEncodeCount = 0;
};

}  // namespace qr
