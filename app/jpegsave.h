#pragma once
// Saving the captured display area as a JPEG file: the save dialog's settings and the sequence
// convert -> compress in memory -> write atomically, kept apart from the window so that both
// can be tested without one.

#include <optional>

#include <QString>

class QFileDialog;
class QImage;
class QWidget;

namespace qrapp {

// Gives Dialog the settings of the "Gravar" save dialog: save mode, the one filter
// "Jpeg files (*.jpg)", default suffix "jpg", no question before replacing a file, and Qt's own
// dialog rather than the platform's, which would remember folders of its own. Title
// and starting folder are left to the platform. (No Qt file dialog shows a read-only check
// box, so there is nothing to hide.) A dialog that was shown before keeps the name typed in
// it, so use a new dialog for every opening, as AskJpegFileName does.
void ConfigureJpegSaveDialog(QFileDialog& Dialog);

// Shows a new save dialog with those settings, modal to Parent, and returns the chosen path, or
// nothing when the user cancels. Qt's settings, which its dialog would read and write, are sent
// nowhere from then on. A new dialog every time, so it always opens with an empty
// file name; a name typed without an extension comes back with ".jpg" added.
std::optional<QString> AskJpegFileName(QWidget* Parent);

// Path with ".jpg" appended when its file name has no extension (no "."), as the dialog does.
QString WithJpegSuffix(const QString& Path);

// Writes Picture to Path as a JPEG file of the given Quality: converted to 24-bit RGB,
// compressed completely in memory, and only then written, atomically, so that a failure
// leaves any existing file untouched. Does nothing at all when there is no Path (the dialog
// was cancelled). Throws qrpicture::JpegError or qrfiles::FileError, whose what() is the
// message for the user.
void SavePictureAsJpeg(const QImage& Picture, const std::optional<QString>& Path, int Quality);

}  // namespace qrapp
