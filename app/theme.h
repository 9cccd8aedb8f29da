#pragma once
// The program's look: its themes (their colours are qrwindow's, drawn here as a Qt style sheet)
// and its icon, carried in its own resources.

#include <QIcon>
#include <QString>

namespace qrapp {

// Applies the theme of that name to the whole application. When the program has no theme of
// that name, says "Style '<name>' not found" in a dialog with an error icon and a Close button,
// leaves the look as it was and returns false.
bool ApplyTheme(const QString& Name);

// The QR-like icon of the window and the application, 16 to 256 pixels.
QIcon ApplicationIcon();

}  // namespace qrapp
