#include "writefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qrfiles {

namespace {

[[noreturn]] void Fail(const char* Format, const QString& Path, const QString& Reason) {
    const QString FullPath = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(Path).absoluteFilePath()));
    // The two-argument arg() fills %1 and %2 in one pass, so a "%" in the path stays as it is.
    throw FileError(
        QString::fromLatin1(Format).arg(FullPath, QString::fromStdString(TrimErrorText(Reason.toStdString()))).toStdString());
}

}  // namespace

std::string TrimErrorText(std::string Text) {
    while (!Text.empty() && (Text.back() == '.' || Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r' ||
                             Text.back() == '\n'))
        Text.pop_back();
    return Text;
}

void WriteFileAtomically(const std::string& FilePath, std::span<const unsigned char> Bytes) {
    const QString Path = QFile::decodeName(QByteArray::fromStdString(FilePath));
    // Unbuffered, so that every write below reaches the system and its result is the real one.
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail("Cannot create file \"%1\". %2", Path, File.errorString());

    // A write may take only part of the bytes (a full disk, a file size limit); go on until all
    // are written or the system reports why it cannot take more.
    const char* Next = reinterpret_cast<const char*>(Bytes.data());
    qint64 Left = static_cast<qint64>(Bytes.size());
    while (Left > 0) {
        const qint64 Written = File.write(Next, Left);
        if (Written <= 0)
            Fail("Cannot write file \"%1\". %2", Path, File.errorString());
        Next += Written;
        Left -= Written;
    }
    // Leaving without commit() (by the throws above) discards the temporary file.
    if (!File.commit())
        Fail("Cannot write file \"%1\". %2", Path, File.errorString());
}

}  // namespace qrfiles
