#include "modulebitmap.h"

namespace qrpicture {

qr::TQRCodeGrid WindowGrid(std::u16string_view Text) {
    const TSymbolSettings Window;
    qr::TQRCodeGrid Grid;
    Grid.SetData(Text);
    Grid.SetEncoding(Window.Encoding);
    Grid.SetQuietZone(Window.QuietZone);
    return Grid;
}

qr::TQRCodeGrid SymbolGrid(std::u16string_view Text, const TSymbolSettings& Settings) {
    return qr::TQRCodeGrid(Text, Settings.Encoding, Settings.QuietZone, Settings.Level, Settings.Choices);
}

TPixels MakeModuleBitmap(const qr::TQRCodeGrid& Grid) {
    return MakeModuleBitmap(Grid.Rows(), Grid.Columns(),
                            [&Grid](int Row, int Column) { return Grid.IsBlack(Row, Column); });
}

}  // namespace qrpicture
