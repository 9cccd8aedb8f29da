#include "layout.h"

#include <cstdint>

namespace qrwindow {

namespace {

// Value x Numerator / Denominator to the nearest integer, halves away from zero.
int MulDivRounded(int Value, int Numerator, int Denominator) {
    const std::int64_t Product = static_cast<std::int64_t>(Value) * Numerator;
    const std::int64_t Half = Denominator / 2;
    return static_cast<int>(Product >= 0 ? (Product + Half) / Denominator : -((-Product + Half) / Denominator));
}

}  // namespace

int Scaled(int Value, int Dpi) { return MulDivRounded(Value, Dpi, 96); }

TRect Scaled(const TRect& Rect, int Dpi) {
    const int Left = Scaled(Rect.Left, Dpi);
    const int Top = Scaled(Rect.Top, Dpi);
    return {Left, Top, Scaled(Rect.Right(), Dpi) - Left, Scaled(Rect.Bottom(), Dpi) - Top};
}

TWindowLayout Scaled(const TWindowLayout& Layout, int Dpi) {
    TWindowLayout At = Layout;
    At.ClientSize = {Scaled(Layout.ClientSize.Width, Dpi), Scaled(Layout.ClientSize.Height, Dpi)};
    for (TRect TWindowLayout::*Rect : {&TWindowLayout::Panel1, &TWindowLayout::Panel2, &TWindowLayout::PaintBox1,
                                       &TWindowLayout::Label1, &TWindowLayout::Memo1, &TWindowLayout::Button1,
                                       &TWindowLayout::Button2, &TWindowLayout::StatusBar1, &TWindowLayout::Image1})
        At.*Rect = Scaled(Layout.*Rect, Dpi);
    At.PanelFrame = Scaled(Layout.PanelFrame, Dpi);
    At.StatusPanel0Width = Scaled(Layout.StatusPanel0Width, Dpi);
    return At;
}

int FontPixelHeight(int Points, int Dpi) { return MulDivRounded(Points, Dpi, 72); }

}  // namespace qrwindow
