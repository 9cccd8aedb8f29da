// "Gravar" when the file system works against the save, driven through the window: a full disk
// (a small tmpfs filled up, where the test may mount one; a file size limit in any case) and a
// file replaced by another program while the save dialog is open. In every failure the file
// already at the chosen name stays byte for byte as it was, no temporary file is left behind, and
// the error box (caption the application title, stop icon) says why. A folder below a regular
// file is covered by window_save_test. A folder that refuses new files to an unprivileged user is
// played by this program run again as uid 65534.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "errorbox.h"
#include "gravar.h"
#include "guitest.h"
#include "jpegsave.h"
#include "filesizelimit.h"
#include "jpegtest.h"
#include "jpegwriter.h"
#include "mainwindow.h"
#include "modulebitmap.h"

using gravartest::Click;
using gravartest::ClickGravar;
using gravartest::TypeAndEnter;
using qrapp::TForm1;

namespace {

// Set in the environment of the copy of this test that runs as uid 65534; its value is the folder
// to save in.
constexpr char NobodyFolderVariable[] = "QUANDREL_TEST_NOBODY_FOLDER";
constexpr uid_t Nobody = 65534;

QString SystemError(int Code) { return QString::fromLocal8Bit(std::strerror(Code)); }

bool WriteBytes(const QString& Path, const QByteArray& Bytes) {
    QFile File(Path);
    return File.open(QIODevice::WriteOnly) && File.write(Bytes) == Bytes.size();
}

QByteArray ReadBytes(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

QStringList Listing(const QString& Folder) {
    return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Bytes that look like nothing the program writes, so a mix-up cannot pass for them.
QByteArray UsersFile(qsizetype Size) {
    QByteArray Bytes(Size, '\0');
    for (qsizetype i = 0; i < Size; ++i)
        Bytes[i] = static_cast<char>(i * 7 % 251);
    return Bytes;
}

// The texts zbar reads from the JPEG file at Path.
std::vector<std::string> DecodeSavedFile(const QString& Path) {
    const auto Decoded = jpegtest::DecodeJpeg(jpegtest::ReadFileBytes(Path.toStdString()));
    if (!Decoded)
        return {"<not a JPEG file>"};
    const QImage Picture(Decoded->Rgb.data(), Decoded->Width, Decoded->Height, Decoded->Width * 3,
                         QImage::Format_RGB888);
    return guitest::Decode(Picture);
}

// A tmpfs of the given size mounted on Path for the object's lifetime. Mounting needs
// CAP_SYS_ADMIN; without it Mounted is false and Error says why.
class TmpfsMount {
public:
    TmpfsMount(const QString& Path, const char* Size) : FPath(QFile::encodeName(Path)) {
        const std::string Options = std::string("size=") + Size + ",mode=0700";
        Mounted = mount("tmpfs", FPath.constData(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, Options.c_str()) == 0;
        Error = Mounted ? 0 : errno;
    }
    ~TmpfsMount() {
        if (Mounted)
            umount2(FPath.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool Mounted = false;
    int Error = 0;

private:
    QByteArray FPath;
};

}  // namespace

class WindowSaveFaultTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> Form;
    std::optional<guitest::Form1Parts> Parts;
    std::unique_ptr<QTemporaryDir> Dir;

    // Types a text long enough for a JPEG file of tens of kilobytes.
    void TypeSymbolText() {
        Parts->Memo1->setPlainText(QStringLiteral("Quandrel QR Code: disco cheio? ").repeated(8));
    }

    qsizetype JpegSizeOfTheShownPicture() const {
        const qrpicture::TPixels Shown = qrpicture::WindowPicture(qrpicture::WindowModuleBitmap(qrapp::View(Parts->Memo1->Text())));
        return static_cast<qsizetype>(qrpicture::PictureToJpeg(Shown, qrpicture::kSaveQuality).size());
    }

    // Checks the one error box of C: caption, stop icon and Message.
    static void VerifyErrorBox(const Click& C, const QString& Message) {
        QVERIFY(C.DialogShown);
        QVERIFY(!C.TimedOut);
        QCOMPARE(C.Boxes.size(), std::size_t{1});
        QCOMPARE(C.Boxes[0].Caption, QStringLiteral("Quandrel QR Code"));
        QCOMPARE(C.Boxes[0].Icon, QMessageBox::Critical);
        QCOMPARE(C.Boxes[0].Text, Message);
    }

public:
    // Runs before the application (and any thread) exists: a mount namespace of the test's own,
    // when the system grants one, so that the tmpfs is seen by no other process and goes away
    // with this one.
    // The copy started as uid 65534 gives up root here, before anything else runs.
    static void initMain() {
        if (qEnvironmentVariableIsSet(NobodyFolderVariable)) {
            if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0) {
                std::perror("cannot become uid 65534");
                std::exit(1);
            }
            return;
        }
        if (unshare(CLONE_NEWNS) == 0)
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    }

private slots:
    void initTestCase() {
        // Qt's own dialog, whatever platform dialogs exist, so the test can drive it.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        qrapp::SetApplicationTitle(QStringLiteral("Quandrel QR Code"));
    }
    void init() {
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(Dir->isValid());
        QVERIFY(guitest::OpenForm1(Form, Parts));
    }
    void cleanup() {
        guitest::CloseForm1(Form, Parts);
        Dir.reset();
    }

    void aFullDiskIsReportedAndTheFileOnItKept() {
        const QString Disk = Dir->filePath("disk");
        QVERIFY(QDir().mkpath(Disk));
        const TmpfsMount Mount(Disk, "512k");
        if (!Mount.Mounted)
            QSKIP(qPrintable("a tmpfs cannot be mounted here (" + SystemError(Mount.Error) +
                             "); aFileSizeLimitIsReportedAndTheFileKept stands in for the full disk"));

        const QString Picture = QDir(Disk).filePath("picture.jpg");
        const QByteArray Old = UsersFile(20000);
        QVERIFY(WriteBytes(Picture, Old));
        // Fill the disk to the last byte, then free 8 KiB: the new picture's first 8 KiB go in,
        // the rest does not.
        QFile Filler(QDir(Disk).filePath("filler"));
        QVERIFY(Filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray Block(64 * 1024, 'f');
        while (Filler.write(Block) > 0) {
        }
        QVERIFY(Filler.size() > 8192);
        QVERIFY(Filler.resize(Filler.size() - 8192));
        Filler.close();

        TypeSymbolText();
        QVERIFY(JpegSizeOfTheShownPicture() > 4 * 8192);
        const Click Full = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Disk, "picture"); });
        VerifyErrorBox(Full, "Cannot write file \"" + Picture + "\". " + SystemError(ENOSPC) + ".");
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(ReadBytes(Picture), Old);
        QCOMPARE(Listing(Disk), (QStringList{"filler", "picture.jpg"}));

        // With room on the disk again the same save goes through: the window carried on.
        QVERIFY(Filler.remove());
        const Click Next = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Disk, "picture"); });
        QVERIFY(Next.DialogShown);
        QCOMPARE(Next.Boxes.size(), std::size_t{0});
        QCOMPARE(DecodeSavedFile(Picture), std::vector<std::string>{guitest::Utf8(Parts->Memo1->Text())});
        QCOMPARE(Listing(Disk), QStringList{"picture.jpg"});
    }

    void aFileSizeLimitIsReportedAndTheFileKept() {
        // The same failure on any machine, without mounting: writes stop at 4096 bytes.
        const QString Picture = Dir->filePath("picture.jpg");
        const QByteArray Old = UsersFile(3000);
        QVERIFY(WriteBytes(Picture, Old));
        TypeSymbolText();
        QVERIFY(JpegSizeOfTheShownPicture() > 4 * 4096);

        Click Limited;
        {
            const FileSizeLimit Limit(4096);
            QVERIFY(Limit.Active);
            Limited = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "picture"); });
        }
        VerifyErrorBox(Limited, "Cannot write file \"" + Picture + "\". " + SystemError(EFBIG) + ".");
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(ReadBytes(Picture), Old);
        QCOMPARE(Listing(Dir->path()), QStringList{"picture.jpg"});
    }

    void aWritableFileInAFolderThatRefusesNewFilesIsOverwritten() {
        // Run as root, this prepares a read-only folder with a file uid 65534 may write and one it
        // may not, runs itself again as uid 65534 to save to both, and looks at the results.
        const QString Given = qEnvironmentVariable(NobodyFolderVariable);
        if (!Given.isEmpty()) {
            QCOMPARE(geteuid(), Nobody);
            guitest::Type(Parts->Memo1, QStringLiteral("in place"));
            const Click Refused = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Given, "theirs"); });
            VerifyErrorBox(Refused, "Cannot create file \"" + QDir(Given).filePath("theirs.jpg") + "\". " +
                                        SystemError(EACCES) + ".");
            const Click InPlace = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Given, "mine"); });
            QVERIFY(InPlace.DialogShown);
            QCOMPARE(InPlace.Boxes.size(), std::size_t{0});
            return;
        }
        if (geteuid() != 0)
            QSKIP("needs root to prepare files for uid 65534");
        QVERIFY(QFile::setPermissions(Dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
        const QString Ro = Dir->filePath("ro");
        QVERIFY(QDir().mkpath(Ro));
        const QString Mine = QDir(Ro).filePath("mine.jpg");
        const QString Theirs = QDir(Ro).filePath("theirs.jpg");
        const QByteArray Old = UsersFile(200000);
        QVERIFY(WriteBytes(Mine, Old));
        QVERIFY(WriteBytes(Theirs, Old));
        QCOMPARE(chown(QFile::encodeName(Mine).constData(), Nobody, Nobody), 0);
        struct stat Before{};
        QCOMPARE(stat(QFile::encodeName(Mine).constData(), &Before), 0);

        QProcess AsNobody;
        QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
        Environment.insert(NobodyFolderVariable, Ro);
        AsNobody.setProcessEnvironment(Environment);
        AsNobody.setProcessChannelMode(QProcess::ForwardedChannels);
        AsNobody.start(QCoreApplication::applicationFilePath(), {"aWritableFileInAFolderThatRefusesNewFilesIsOverwritten"});
        QVERIFY(AsNobody.waitForFinished(60000));
        QCOMPARE(AsNobody.exitStatus(), QProcess::NormalExit);
        QCOMPARE(AsNobody.exitCode(), 0);

        // The writable file was overwritten in place (the same file, cut to the new length); the
        // other one is untouched, and nothing else appeared.
        struct stat After{};
        QCOMPARE(stat(QFile::encodeName(Mine).constData(), &After), 0);
        QCOMPARE(After.st_ino, Before.st_ino);
        QCOMPARE(DecodeSavedFile(Mine), std::vector<std::string>{"in place"});
        QCOMPARE(ReadBytes(Theirs), Old);
        QCOMPARE(Listing(Ro), (QStringList{"mine.jpg", "theirs.jpg"}));
    }

    void aFileReplacedWhileTheDialogIsOpenIsReplacedAtomically() {
        const QString Picture = Dir->filePath("symbol.jpg");
        QVERIFY(WriteBytes(Picture, UsersFile(5000)));
        TypeSymbolText();

        // After the dialog opened, another program puts its own file at the name the user is
        // about to choose (a new file renamed over the old one) and keeps it open.
        const QByteArray Theirs = UsersFile(70000).right(60000);
        QFile TheirsOpen(Picture);
        const Click C = ClickGravar(*Form, [&](QFileDialog& D) {
            const QString Incoming = Dir->filePath("incoming");
            if (WriteBytes(Incoming, Theirs) &&
                std::rename(QFile::encodeName(Incoming).constData(), QFile::encodeName(Picture).constData()) == 0)
                TheirsOpen.open(QIODevice::ReadOnly);
            TypeAndEnter(D, Dir->path(), "symbol.jpg");
        });
        QVERIFY(TheirsOpen.isOpen());
        QVERIFY(C.DialogShown);
        QCOMPARE(C.Boxes.size(), std::size_t{0});

        // The name now holds the new picture, and nothing else is left in the folder.
        QCOMPARE(DecodeSavedFile(Picture), std::vector<std::string>{guitest::Utf8(Parts->Memo1->Text())});
        QCOMPARE(Listing(Dir->path()), QStringList{"symbol.jpg"});
        // The other program's file was replaced whole, not written into: through its open handle
        // it still reads exactly what it wrote.
        QCOMPARE(TheirsOpen.readAll(), Theirs);
    }
};

QTEST_MAIN(WindowSaveFaultTest)
#include "window_save_fault_test.moc"
