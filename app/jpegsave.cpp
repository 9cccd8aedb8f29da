#include "jpegsave.h"

#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>

#include "jpegwriter.h"
#include "qtpixels.h"
#include "writefile.h"

namespace qrapp {

namespace {

void KeepNoSettings() {
    // Qt's own file dialog reads its state (view, history, sidebar, last folder) from the
    // "QtProject" settings when it opens and writes them back when it closes: in the user's
    // ~/.config/QtProject.conf, and the system's /etc/xdg. The program keeps nothing from one
    // run to the next, so those settings are sent where no file can be read or made: below a
    // path that is not a folder.
    const QString Nowhere = QStringLiteral("/dev/null");
    for (const QSettings::Format Format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (const QSettings::Scope Scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(Format, Scope, Nowhere);
}

}  // namespace

void ConfigureJpegSaveDialog(QFileDialog& Dialog) {
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setNameFilter(QStringLiteral("Jpeg files (*.jpg)"));
    Dialog.setDefaultSuffix(QStringLiteral("jpg"));
    Dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Qt's own dialog, whose settings KeepNoSettings sends nowhere: a platform's dialog keeps
    // its own (GTK's file chooser remembers its last folder and size through GSettings).
    Dialog.setOption(QFileDialog::DontUseNativeDialog, true);
}

std::optional<QString> AskJpegFileName(QWidget* Parent) {
    KeepNoSettings();
    QFileDialog Dialog(Parent);
    ConfigureJpegSaveDialog(Dialog);
    if (Dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList Files = Dialog.selectedFiles();
    if (Files.isEmpty() || Files.front().isEmpty())
        return std::nullopt;
    // Qt's own dialog adds the suffix itself; some platform dialogs do not.
    return WithJpegSuffix(Files.front());
}

QString WithJpegSuffix(const QString& Path) {
    return QFileInfo(Path).fileName().contains(u'.') ? Path : Path + QStringLiteral(".jpg");
}

void SavePictureAsJpeg(const QImage& Picture, const std::optional<QString>& Path, int Quality) {
    if (!Path)
        return;
    // Compressed completely before the file is touched.
    qrfiles::SaveFile(QFile::encodeName(*Path).toStdString(), qrpicture::PictureToJpeg(FromQImage(Picture), Quality));
}

}  // namespace qrapp
