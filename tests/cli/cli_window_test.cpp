// quandrel-qr -o writes, byte for byte, the file that "Gravar" saves for the same text.

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "errorbox.h"
#include "gravar.h"
#include "mainwindow.h"
#include "textlimit.h"

class CliWindowTest : public QObject {
    Q_OBJECT

    static QByteArray Read(const QString& Path) {
        QFile File(Path);
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        qrapp::SetApplicationTitle(QStringLiteral("Quandrel QR Code"));
    }

    void theCommandLineWritesTheWindowsFile_data() {
        QTest::addColumn<QString>("Text");
        QTest::newRow("empty") << QString();
        QTest::newRow("accents and a line break") << QStringLiteral("Olá, mundo!\nSegunda linha 😀");
        QTest::newRow("version 17") << QString(300, u'q');
        QTest::newRow("too long") << QString(1200, QChar(0x20AC));
    }

    void theCommandLineWritesTheWindowsFile() {
        QFETCH(QString, Text);
        QTemporaryDir Dir;
        QVERIFY(Dir.isValid());
        qrapp::TForm1 Form;
        Form.ShowCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        // The text box stores the line break as CR LF; --crlf makes the same text of a LF.
        guitest::Find<QPlainTextEdit>(Form, "Memo1")->setPlainText(Text);
        const gravartest::Click C = gravartest::ClickGravar(
            Form, [&](QFileDialog& D) { gravartest::TypeAndEnter(D, Dir.path(), QStringLiteral("window.jpg")); });
        QVERIFY(!C.TimedOut);
        // Both refuse what no version holds: the window with the error box, the command line
        // with exit status 1.
        const bool Fits = Text.size() != 1200;
        QCOMPARE(C.DialogShown, Fits);
        QCOMPARE(C.Boxes.size(), std::size_t{Fits ? 0u : 1u});
        const QByteArray FromWindow = Read(Dir.filePath("window.jpg"));
        QCOMPARE(FromWindow.isEmpty(), !Fits);

        QProcess Cli;
        Cli.start(QStringLiteral(QUANDREL_QR), {"--crlf", "-o", Dir.filePath("cli.jpg"), "--", Text});
        QVERIFY(Cli.waitForFinished(20000));
        QCOMPARE(Cli.exitCode(), Fits ? 0 : 1);
        if (Fits)
            QCOMPARE(Read(Dir.filePath("cli.jpg")), FromWindow);
        else
            QVERIFY(!QFile::exists(Dir.filePath("cli.jpg")));
    }
};

QTEST_MAIN(CliWindowTest)
#include "cli_window_test.moc"
