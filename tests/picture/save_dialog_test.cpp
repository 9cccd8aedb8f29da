// The "Gravar" save dialog, driven as a user would: its settings, a name typed without an
// extension, an existing file chosen, cancel, an empty name at every opening, and nothing
// remembered from one start to the next.

#include <functional>
#include <optional>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dialogtest.h"
#include "jpegsave.h"

using dialogtest::TypeAndEnter;

namespace {

struct DialogRun {
    std::optional<QString> Result;
    bool AskedAQuestion = false;  // a message box appeared while the dialog was open
    bool TimedOut = false;        // the dialog was still open after ten seconds
};

// Runs AskJpegFileName; once its dialog is up, Act plays the user. A message box that pops up
// (an overwrite question) is noted and dismissed, and the dialog is then cancelled; a dialog
// still open after ten seconds is cancelled too. So a wrong setting fails the test instead of
// hanging it.
DialogRun RunDialog(const std::function<void(QFileDialog&)>& Act) {
    DialogRun Run;
    bool Acted = false;
    const auto OnModal = [&](QWidget* Modal, qint64 Elapsed) {
        if (Elapsed > 10000 && Modal) {
            Run.TimedOut = true;
            if (auto* Dialog = qobject_cast<QDialog*>(Modal))
                Dialog->reject();
        } else if (auto* Box = qobject_cast<QMessageBox*>(Modal)) {
            Run.AskedAQuestion = true;
            Box->reject();
        } else if (auto* Dialog = qobject_cast<QFileDialog*>(Modal)) {
            // Play the user once the dialog is up and has the keyboard focus.
            if (!Acted && Dialog->isAncestorOf(QApplication::focusWidget())) {
                Acted = true;
                Act(*Dialog);
            } else if (Run.AskedAQuestion) {
                Dialog->reject();
            }
        }
    };
    dialogtest::WatchModals(OnModal, [&Run] { Run.Result = qrapp::AskJpegFileName(nullptr); });
    return Run;
}

// Every file under Folder, with its size and time of change.
QMap<QString, QString> FilesUnder(const QString& Folder) {
    QMap<QString, QString> Files;
    for (QDirIterator It(Folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); It.hasNext();) {
        const QFileInfo Info(It.next());
        Files.insert(Info.filePath(), QString::number(Info.size()) + u' ' + Info.lastModified().toString(Qt::ISODateWithMs));
    }
    return Files;
}

}  // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Qt's own dialog, whatever platform dialogs exist, so the test can drive it.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY(Dir.isValid());
    }

    // The program keeps no settings: a dialog that was used leaves nothing in the home folder,
    // and what Qt's dialog would have remembered (its last folder) is not read back. First of
    // the dialogs of this process: Qt reads its last folder once, at the first opening.
    void persistsNothingAndReadsNothingBack() {
        const QString Home = qEnvironmentVariable("HOME");
        const QString Config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!Home.isEmpty() && !Config.isEmpty() && QDir().mkpath(Config));
        QTemporaryDir Remembered;
        QVERIFY(Remembered.isValid());
        QFile Settings(Config + "/QtProject.conf");
        // As Qt's own dialog writes it: the last folder, the history and the view.
        const QByteArray Url = QUrl::fromLocalFile(Remembered.path()).toEncoded();
        const QByteArray Remembering = "[FileDialog]\nhistory=" + Url + "\nlastVisited=" + Url + "\nqtVersion=" + qVersion() +
                                       "\nviewMode=List\n";
        QVERIFY(Settings.open(QIODevice::WriteOnly | QIODevice::Truncate) && Settings.write(Remembering) == Remembering.size());
        Settings.close();
        const QMap<QString, QString> Before = FilesUnder(Home);

        QString OpenedIn;
        QStringList History;
        QFileDialog::ViewMode View = QFileDialog::List;
        const DialogRun Run = RunDialog([&](QFileDialog& D) {
            OpenedIn = D.directory().absolutePath();
            History = D.history();
            View = D.viewMode();
            TypeAndEnter(D, Dir.path(), "kept.jpg");
        });
        QVERIFY(!Run.TimedOut);
        QCOMPARE(Run.Result, std::optional<QString>(Dir.filePath("kept.jpg")));
        const QString RememberedFolder = QDir(Remembered.path()).absolutePath();
        QVERIFY2(OpenedIn != RememberedFolder, qPrintable(OpenedIn));
        QVERIFY2(!History.contains(RememberedFolder), qPrintable(History.join(u' ')));
        QCOMPARE(View, QFileDialog::Detail);  // Qt's own default
        QCOMPARE(FilesUnder(Home), Before);
        QVERIFY(Settings.remove());
    }

    void settings() {
        QFileDialog Dialog;
        qrapp::ConfigureJpegSaveDialog(Dialog);
        QCOMPARE(Dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(Dialog.nameFilters(), QStringList{"Jpeg files (*.jpg)"});
        QCOMPARE(Dialog.defaultSuffix(), QString("jpg"));
        QVERIFY(Dialog.testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(Dialog.testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(Dialog.isSizeGripEnabled());
    }

    void nameWithoutExtensionGetsJpgAndTheNextOpeningIsEmpty() {
        const DialogRun First = RunDialog([this](QFileDialog& D) {
            TypeAndEnter(D, Dir.path(), "picture");
        });
        QVERIFY(!First.TimedOut);
        QCOMPARE(First.Result, std::optional<QString>(Dir.filePath("picture.jpg")));

        // The next opening shows no file name: only the folder is selected.
        QStringList Selected;
        QString Folder;
        const DialogRun Second = RunDialog([&](QFileDialog& D) {
            Selected = D.selectedFiles();
            Folder = D.directory().absolutePath();
            D.reject();
        });
        QVERIFY(!Second.TimedOut);
        QCOMPARE(Selected, QStringList{Folder});
        QVERIFY(!Second.Result);
    }

    void existingFileIsChosenWithoutAQuestion() {
        QFile Existing(Dir.filePath("existing.jpg"));
        QVERIFY(Existing.open(QIODevice::WriteOnly));
        Existing.close();
        const DialogRun Run = RunDialog([this](QFileDialog& D) {
            TypeAndEnter(D, Dir.path(), "existing.jpg");
        });
        QVERIFY(!Run.TimedOut);
        QVERIFY(!Run.AskedAQuestion);
        QCOMPARE(Run.Result, std::optional<QString>(Dir.filePath("existing.jpg")));
    }

    void cancelGivesNoPath() {
        const DialogRun Run = RunDialog([](QFileDialog& D) {
            QTest::keyClicks(QApplication::focusWidget(), "unwanted");
            D.reject();
        });
        QVERIFY(!Run.TimedOut);
        QVERIFY(!Run.Result);
    }

private:
    QTemporaryDir Dir;
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
