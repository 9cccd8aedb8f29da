#pragma once
// The main window's layout without any toolkit: every component's rectangle in pixels at 96 DPI,
// the status bar's panels, the font and the window's own words, and the scaling of it all to a
// screen of another DPI. Each window built on a toolkit places its components from this table.

#include <cstdint>
#include <string_view>

namespace qrwindow {

// A rectangle in pixels: Left and Top its top-left corner, relative to the parent's client area.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    constexpr int Right() const { return Left + Width; }   // exclusive
    constexpr int Bottom() const { return Top + Height; }  // exclusive
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
    int Width = 0;
    int Height = 0;
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRgb {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    friend constexpr bool operator==(const TRgb&, const TRgb&) = default;
};

inline constexpr TRgb kWhite{255, 255, 255};
inline constexpr TRgb kSilver{192, 192, 192};

// The product's name: the application title (the caption of its error boxes) and the text of
// the status bar's first panel.
inline constexpr std::u16string_view kProductName = u"Quandrel QR Code";

// The window at 96 DPI. Panel1, Panel2, StatusBar1 and Image1 sit in the window's client area;
// PaintBox1 in Panel1's and the rest in Panel2's, inside the panel's frame.
struct TWindowLayout {
    TSize ClientSize{764, 454};
    std::u16string_view Caption = u"Quandrel QR Code - por Quandrel Software";
    // Taken by every control that takes its parent's font; the status bar keeps the system's.
    std::u16string_view FontFamily = u"Tahoma";
    int FontPoints = 8;
    // The declared colour of the window, the panels and the text box (the theme may draw over it).
    TRgb Colour = kWhite;

    // Panel1 frames the display area with a raised frame, Panel2 holds the text box and the
    // buttons in a sunken one; both frames are PanelFrame wide, leaving client areas of
    // 416 x 416 and 316 x 416.
    TRect Panel1{334, 8, 420, 420};
    TRect Panel2{8, 8, 320, 420};
    int PanelFrame = 2;

    // The display area; its declared silver is never seen, the paint handler covers it.
    TRect PaintBox1{6, 4, 406, 406};

    // Sized to its caption in the window's font: 84 x 13 in Tahoma itself.
    TRect Label1{8, 4, 84, 13};
    std::u16string_view Label1Caption = u"Texto a codificar:";
    TRect Memo1{8, 23, 300, 344};
    TRect Button1{8, 373, 100, 30};
    std::u16string_view Button1Caption = u"Gravar";
    TRect Button2{133, 373, 100, 30};
    std::u16string_view Button2Caption = u"Sair";
    // "Copiar" in the display area's menu: the shown picture to the clipboard.
    std::u16string_view CopyCaption = u"Copiar";

    // Docked to the bottom edge, full width; silver. Panel 0 is StatusPanel0Width wide from the
    // left edge, panel 1 takes the rest of the bar; both centre their text.
    TRect StatusBar1{0, 434, 764, 20};
    TRgb StatusBarColour = kSilver;
    int StatusPanel0Width = 200;
    std::u16string_view StatusPanel0Text = kProductName;
    std::u16string_view StatusPanel1Text = u"Quandrel Software - gerador de símbolos QR Code";

    // The hidden holder of the picture being saved, outside the client area.
    TRect Image1{992, 80, 100, 100};
};

inline constexpr TWindowLayout kLayout{};

// Value at Dpi: Value x Dpi / 96 rounded to the nearest whole pixel, halves away from zero.
int Scaled(int Value, int Dpi);

// The rectangle at Dpi: each edge scaled on its own (Left, Top, Right, Bottom), the size the
// difference of the scaled edges, so that components that meet at 96 DPI meet at every DPI.
TRect Scaled(const TRect& Rect, int Dpi);

// The whole layout at Dpi: every rectangle, the client size, the frame and the status panel's
// width scaled as above. The font keeps its size in points (see FontPixelHeight).
TWindowLayout Scaled(const TWindowLayout& Layout, int Dpi);

// The character height in pixels of a font of Points points at Dpi (Points x Dpi / 72, rounded
// as Scaled rounds): 11 for the window's 8 points at 96 DPI.
int FontPixelHeight(int Points, int Dpi);

}  // namespace qrwindow
