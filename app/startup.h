#pragma once
// Starting the toolkit. When no platform can open a display (no X server at DISPLAY, no Wayland
// compositor, a wrong QT_QPA_PLATFORM), Qt reports it as a fatal message and aborts the process,
// which the shell shows as a crash (134) after advice to reinstall. The program says instead
// that no display could be opened, and ends with status 1.

#include <QApplication>

#include <memory>

namespace qrapp {

// The application object, created with argc and argv (which it keeps referring to). Qt's own
// messages while it starts are held back: when a display is opened they are passed on as they
// came; when none can be, the first of them is given as the reason in one line on standard
// error, and the process ends with status 1.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv);

}  // namespace qrapp
