// "Gravar" in the window, driven as a user would: the saved file is the display area as it was
// at the click, cancel does nothing, a text without a symbol is not saved but explained, Enter
// presses the focused button, a failure shows the error box and the window goes on.

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "errorbox.h"
#include "gravar.h"
#include "guitest.h"
#include "jpegtest.h"
#include "mainwindow.h"

using qrapp::TForm1;

using gravartest::Click;
using gravartest::ClickGravar;
using gravartest::TypeAndEnter;

namespace {

// The number of pixels of Decoded that are not on the same side of mid-grey as Shown's.
int PixelsOnTheWrongSide(const jpegtest::Decoded& Decoded, const QImage& Shown) {
    int Wrong = 0;
    for (int y = 0; y < Shown.height(); ++y)
        for (int x = 0; x < Shown.width(); ++x) {
            const bool Dark = qRed(Shown.pixel(x, y)) < 128;
            const std::uint8_t* P = Decoded.Pixel(x, y);
            Wrong += (P[0] < 128) != Dark || (P[1] < 128) != Dark || (P[2] < 128) != Dark;
        }
    return Wrong;
}

std::optional<jpegtest::Decoded> DecodeFile(const QString& Path) {
    return jpegtest::DecodeJpeg(jpegtest::ReadFileBytes(Path.toStdString()));
}

// The QR symbols zbar reads in the 406 x 406 JPEG file at Path (none when it is no such file).
std::vector<std::string> SymbolsInFile(const QString& Path) {
    auto Decoded = DecodeFile(Path);
    if (!Decoded || Decoded->Width != 406 || Decoded->Height != 406)
        return {};
    return guitest::Decode(QImage(Decoded->Rgb.data(), 406, 406, 406 * 3, QImage::Format_RGB888));
}

}  // namespace

class WindowSaveTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> Form;
    std::optional<guitest::Form1Parts> Parts;
    std::unique_ptr<QTemporaryDir> Dir;

    QStringList Listing() const {
        return QDir(Dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                           QDir::Name);
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

    void savesTheShownPictureReplacingAnExistingFileWithoutAQuestion() {
        const QString Text = QStringLiteral("Olá, Gravar! 😀");
        Parts->Memo1->setFocus();
        guitest::Type(Parts->Memo1, Text);
        const QImage Shown = guitest::Grab(Parts->PaintBox1);
        QFile Old(Dir->filePath("symbol.jpg"));
        QVERIFY(Old.open(QIODevice::WriteOnly));
        Old.write(QByteArray(300000, 'x'));
        Old.close();

        // A name typed without extension: ".jpg" is added, and the existing file is replaced.
        const Click C = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "symbol"); });
        QVERIFY(C.DialogShown);
        QVERIFY(!C.TimedOut);
        QCOMPARE(C.Boxes.size(), std::size_t{0});
        QCOMPARE(Listing(), QStringList{"symbol.jpg"});

        const auto Decoded = DecodeFile(Dir->filePath("symbol.jpg"));
        QVERIFY(Decoded);
        QCOMPARE(Decoded->Width, 406);
        QCOMPARE(Decoded->Height, 406);
        QCOMPARE(PixelsOnTheWrongSide(*Decoded, Shown), 0);
        QImage FromFile(Decoded->Rgb.data(), 406, 406, 406 * 3, QImage::Format_RGB888);
        QCOMPARE(guitest::Decode(FromFile), std::vector<std::string>{guitest::Utf8(Text)});
        // Image1 holds the captured picture.
        QCOMPARE(Parts->Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32), Shown);
    }

    void theFileShowsTheAreaAsItWasAtTheClick() {
        Parts->Memo1->setPlainText(QStringLiteral("at the click"));
        const Click C = ClickGravar(*Form, [&](QFileDialog& D) {
            // The text changes while the dialog is open; the capture was already made.
            Parts->Memo1->setPlainText(QStringLiteral("while the dialog is open"));
            TypeAndEnter(D, Dir->path(), "click.jpg");
        });
        QVERIFY(C.DialogShown);
        QCOMPARE(C.Boxes.size(), std::size_t{0});
        QCOMPARE(SymbolsInFile(Dir->filePath("click.jpg")), std::vector<std::string>{"at the click"});
    }

    void cancelWritesAndShowsNothing() {
        guitest::Type(Parts->Memo1, QStringLiteral("cancelled"));
        const QImage Before = guitest::Grab(Parts->PaintBox1);
        const Click C = ClickGravar(*Form, [&](QFileDialog& D) {
            D.setDirectory(Dir->path());
            QTest::keyClicks(QApplication::focusWidget(), "unwanted");
            D.reject();
        });
        QVERIFY(C.DialogShown);
        QCOMPARE(C.Boxes.size(), std::size_t{0});
        QVERIFY(Listing().isEmpty());
        QCOMPARE(guitest::Grab(Parts->PaintBox1), Before);
    }

    void gravarWithoutASymbolSaysWhyAndWritesNothing() {
        // 1200 euro signs are 3600 UTF-8 bytes; version 40 holds 2953.
        Parts->Memo1->setPlainText(QString(1200, QChar(0x20AC)));
        const QImage Before = guitest::Grab(Parts->PaintBox1);
        const Click C = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "white"); });
        QVERIFY(!C.DialogShown);
        QCOMPARE(C.Boxes.size(), std::size_t{1});
        QCOMPARE(C.Boxes[0].Caption, QStringLiteral("Quandrel QR Code"));
        QCOMPARE(C.Boxes[0].Icon, QMessageBox::Critical);
        QCOMPARE(C.Boxes[0].Text, QStringLiteral("O texto tem 3600 bytes em UTF-8; o limite é 2953 bytes."));
        QVERIFY(Listing().isEmpty());
        // The display area stays white and its tooltip gives the same reason.
        QCOMPARE(guitest::Grab(Parts->PaintBox1), Before);
        int NotWhite = 0;
        for (int y = 0; y < Before.height(); ++y)
            for (int x = 0; x < Before.width(); ++x)
                NotWhite += Before.pixel(x, y) != 0xFFFFFFFFu;
        QCOMPARE(NotWhite, 0);
        QCOMPARE(Parts->PaintBox1->toolTip(), C.Boxes[0].Text);
    }

    void enterOnAFocusedGravarSavesAsAClickDoes_data() {
        QTest::addColumn<int>("Key");
        QTest::addColumn<int>("Modifiers");
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }

    void enterOnAFocusedGravarSavesAsAClickDoes() {
        QFETCH(int, Key);
        QFETCH(int, Modifiers);
        Parts->Memo1->setPlainText(QStringLiteral("Enter"));
        Form->activateWindow();
        Parts->Button1->setFocus();
        const Click C = ClickGravar(
            *Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "enter"); },
            [&] { QTest::keyClick(Parts->Button1, Qt::Key(Key), Qt::KeyboardModifiers(Modifiers)); });
        QVERIFY(C.DialogShown);
        QCOMPARE(C.Boxes.size(), std::size_t{0});
        QCOMPARE(SymbolsInFile(Dir->filePath("enter.jpg")), std::vector<std::string>{"Enter"});
    }

    void aFileThatCannotBeCreatedIsReportedAndTheWindowGoesOn() {
        // Below a regular file nothing can be created, not even by root.
        QFile Notes(Dir->filePath("notes.txt"));
        QVERIFY(Notes.open(QIODevice::WriteOnly));
        Notes.write("the user's notes");
        Notes.close();
        guitest::Type(Parts->Memo1, QStringLiteral("still here"));

        const Click Failed = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "notes.txt/picture"); });
        QVERIFY(Failed.DialogShown);
        QCOMPARE(Failed.Boxes.size(), std::size_t{1});
        QCOMPARE(Failed.Boxes[0].Caption, QStringLiteral("Quandrel QR Code"));
        QCOMPARE(Failed.Boxes[0].Icon, QMessageBox::Critical);
        QCOMPARE(Failed.Boxes[0].Text, "Cannot create file \"" + QDir(Dir->path()).absoluteFilePath("notes.txt/picture.jpg") +
                                           "\". " + QString::fromLocal8Bit(std::strerror(ENOTDIR)) + ".");
        QCOMPARE(Listing(), QStringList{"notes.txt"});
        QVERIFY(Notes.open(QIODevice::ReadOnly));
        QCOMPARE(Notes.readAll(), QByteArray("the user's notes"));

        // The window carries on: the next save works.
        const Click Next = ClickGravar(*Form, [&](QFileDialog& D) { TypeAndEnter(D, Dir->path(), "picture"); });
        QCOMPARE(Next.Boxes.size(), std::size_t{0});
        QCOMPARE(SymbolsInFile(Dir->filePath("picture.jpg")), std::vector<std::string>{"still here"});
    }
};

QTEST_MAIN(WindowSaveTest)
#include "window_save_test.moc"
