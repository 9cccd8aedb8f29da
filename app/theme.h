#pragma once
// The program's look, carried in its own resources: visual themes by name and the icon.

#include <QIcon>
#include <QString>

namespace qrapp {

inline constexpr auto kThemeName = "Aqua Light Slate";

// The width of both panels' frame in pixels at 96 DPI. The window places the panels' children
// inside it, and ApplyTheme gives every theme's panel borders this width.
inline constexpr int kPanelFrame = 2;

// Applies the theme of that name to the whole application. When the resources hold no theme of
// that name, says "Style '<name>' not found" in a dialog with an error icon and a Close button,
// leaves the look as it was and returns false.
bool ApplyTheme(const QString& Name);

// The QR-like icon of the window and the application, 16 to 256 pixels.
QIcon ApplicationIcon();

}  // namespace qrapp
