#pragma once
// The encoder's public face: a text, an encoding option and a quiet zone, re-encoded whenever
// one of them changes, answering for every cell of the padded grid whether it is dark, and
// whether there is a symbol at all.

#include <string>
#include <vector>

#include "encoder/qrcode.h"

namespace qr {

// Indexed [column X][row Y] of the symbol matrix; side 0 when no version holds the text.
using T2DBooleanArray = std::vector<std::vector<bool>>;

// Encodes Text at the level (L unless given) with the option (a TQRCodeEncoding ordinal) into a
// grid of Booleans. The grid's one call into the encoder; it has an object file of its own.
T2DBooleanArray MakeSymbolGrid(std::u16string_view Text, int Option,
                               const TErrorCorrectionLevel& Level = LevelL(), const TSymbolChoices& Choices = {});

// How much data a text makes at an encoding and level, against the most a symbol holds: the mode
// chosen, the value of the count field (bytes in byte mode, the byte-order mark included;
// characters otherwise) and that count's limit at version 40.
struct TDataSize {
    TMode Mode = qmByte;
    int Count = 0;
    int Limit = 0;
    // A symbol holds the text exactly when it fits.
    bool Fits() const { return Count <= Limit; }
};

class TQRCodeGrid {
public:
    // No symbol until a property write changes a value.
    TQRCodeGrid() = default;
    // The symbol of Data with all settings at once: one encoding. A quiet zone outside 0 to 100
    // keeps the default of 4, as a write of it would.
    TQRCodeGrid(std::u16string_view Data, TQRCodeEncoding Encoding, int QuietZone,
                const TErrorCorrectionLevel& Level = LevelL(), const TSymbolChoices& Choices = {});

    // A symbol made already (one of a structured-append set) drawn as it is, with the quiet
    // zone (0 to 100, otherwise 4); it has no text of its own and a property write re-encodes.
    TQRCodeGrid(const TByteMatrix& Symbol, int QuietZone);

    const std::u16string& Data() const { return FData; }
    void SetData(std::u16string_view Data);
    TQRCodeEncoding Encoding() const { return FEncoding; }
    void SetEncoding(TQRCodeEncoding Encoding);
    int QuietZone() const { return FQuietZone; }
    void SetQuietZone(int QuietZone);  // 0 to 100; other values are ignored
    // The error-correction level; L unless set.
    const TErrorCorrectionLevel& Level() const { return FLevel; }
    void SetLevel(const TErrorCorrectionLevel& Level);
    // Fixed version or mask, mixed segments, ECI; the plain encoding unless set.
    const TSymbolChoices& Choices() const { return FChoices; }
    void SetChoices(const TSymbolChoices& Choices);

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

    // Whether the last encoding made a symbol: false for a new grid and for a text that no
    // version holds at the grid's encoding and level (DataSize() then does not fit).
    bool HasSymbol() const { return !FElements.empty(); }
    // The data the text makes at the grid's encoding and level; measured, not encoded.
    TDataSize DataSize() const { return MeasureData(FData, FEncoding, FLevel); }
    // The same for any text and settings, without a grid: what a grid of them would answer.
    static TDataSize MeasureData(std::u16string_view Text, TQRCodeEncoding Encoding,
                                 const TErrorCorrectionLevel& Level);

private:
    void RebuildGrid();

    std::u16string FData;
    int FRows = 0;
    int FColumns = 0;
    TQRCodeEncoding FEncoding = qrAuto;
    int FQuietZone = 4;
    TErrorCorrectionLevel FLevel = LevelL();
    TSymbolChoices FChoices;
    T2DBooleanArray FElements;
};

}  // namespace qr
