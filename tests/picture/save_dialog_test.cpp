// The "Gravar" save dialog, driven as a user would: its settings, a name typed without an
// extension, an existing file chosen, cancel, and an empty name at every opening.

#include <functional>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
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

}  // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Qt's own dialog, whatever platform dialogs exist, so the test can drive it.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QVERIFY(Dir.isValid());
    }

    void settings() {
        QFileDialog Dialog;
        qrapp::ConfigureJpegSaveDialog(Dialog);
        QCOMPARE(Dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(Dialog.nameFilters(), QStringList{"Jpeg files (*.jpg)"});
        QCOMPARE(Dialog.defaultSuffix(), QString("jpg"));
        QVERIFY(Dialog.testOption(QFileDialog::DontConfirmOverwrite));
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
