#include "theme.h"

namespace qrwindow {

namespace {

constexpr TRgb Hex(unsigned Value) {
    return {static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 8 & 0xFF),
            static_cast<std::uint8_t>(Value & 0xFF)};
}

// Aqua Light Slate: a light theme with slate-blue accents. White window, panels and text box,
// and the layout's silver status bar.
constexpr TTheme kThemes[] = {{
    .Name = kThemeName,
    .Background = Hex(0xffffff),
    .Text = Hex(0x1f2933),
    .LabelText = Hex(0x3b4a6b),
    .RaisedLight = Hex(0xc9d3e3),
    .RaisedShadow = Hex(0x7d8fb0),
    .SunkenShadow = Hex(0x7d8fb0),
    .SunkenLight = Hex(0xdfe5ee),
    .TextBoxBorder = Hex(0x9aa8c2),
    .TextBoxFocusBorder = Hex(0x4f6592),
    .Selection = Hex(0x6a7fa8),
    .SelectionText = Hex(0xffffff),
    .ButtonTop = Hex(0xfbfcfe),
    .ButtonBottom = Hex(0xdde4ef),
    .ButtonBorder = Hex(0x8c9bb9),
    .HoverTop = Hex(0xffffff),
    .HoverBottom = Hex(0xcdd8ea),
    .HoverBorder = Hex(0x6a7fa8),
    .FocusBorder = Hex(0x6a7fa8),
    .Pressed = Hex(0xb9c6de),
    .PressedBorder = Hex(0x4f6592),
    .StatusBar = Hex(0xc0c0c0),
    .StatusPanelShadow = Hex(0x8d8d8d),
    .StatusPanelLight = Hex(0xe4e4e4),
}};

}  // namespace

const TTheme* FindTheme(std::u16string_view Name) {
    for (const TTheme& Theme : kThemes)
        if (Theme.Name == Name)
            return &Theme;
    return nullptr;
}

}  // namespace qrwindow
