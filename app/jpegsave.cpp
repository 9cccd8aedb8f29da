#include "jpegsave.h"

#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "jpegwriter.h"
#include "qtpixels.h"
#include "writefile.h"

namespace qrapp {

void ConfigureJpegSaveDialog(QFileDialog& Dialog) {
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setNameFilter(QStringLiteral("Jpeg files (*.jpg)"));
    Dialog.setDefaultSuffix(QStringLiteral("jpg"));
    Dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
}

std::optional<QString> AskJpegFileName(QWidget* Parent) {
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
