#pragma once
// The program's visual themes as colours, without any toolkit: one table that each window turns
// into its own drawing (the Qt window into a style sheet).

#include <string_view>

#include "layout.h"

namespace qrwindow {

// The theme the program applies before its window is created.
inline constexpr std::u16string_view kThemeName = u"Aqua Light Slate";

struct TTheme {
    std::u16string_view Name;
    TRgb Background;     // the window, the panels, the text box and the message boxes
    TRgb Text;           // the window's text: the text box, the buttons, the status bar
    TRgb LabelText;      // Label1
    TRgb RaisedLight;    // Panel1's raised frame: top and left edges
    TRgb RaisedShadow;   // its bottom and right edges
    TRgb SunkenShadow;   // Panel2's sunken frame: top and left edges
    TRgb SunkenLight;    // its bottom and right edges
    TRgb TextBoxBorder;  // the text box's one-pixel border, and with the focus:
    TRgb TextBoxFocusBorder;
    TRgb Selection;  // selected text: background and text
    TRgb SelectionText;
    TRgb ButtonTop;  // a button's face, a gradient from top to bottom, and its border
    TRgb ButtonBottom;
    TRgb ButtonBorder;
    TRgb HoverTop;  // the same under the pointer
    TRgb HoverBottom;
    TRgb HoverBorder;
    TRgb FocusBorder;  // a button with the focus: a two-pixel border
    TRgb Pressed;      // a pressed button: a plain face and its border
    TRgb PressedBorder;
    TRgb StatusBar;  // the status bar and its panels' one-pixel sunken frames
    TRgb StatusPanelShadow;
    TRgb StatusPanelLight;
};

// The theme of that name among the program's, or none.
const TTheme* FindTheme(std::u16string_view Name);

}  // namespace qrwindow
