// The window on a Wayland compositor (window_wayland.sh starts one): asked to maximize or to go
// full screen, as the title bar Qt draws there lets the user, it stays at its fixed size and
// normal state, keeps its text, and the connection lives on.

#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

#include "guitest.h"
#include "mainwindow.h"

class WindowWaylandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QString("wayland")); }

    void maximizeRequestsAreRefusedWithoutHarm_data() {
        QTest::addColumn<std::function<void(QWidget&)>>("Request");
        QTest::newRow("window maximized") << std::function<void(QWidget&)>([](QWidget& W) { W.windowHandle()->setWindowStates(Qt::WindowMaximized); });
        QTest::newRow("widget maximized") << std::function<void(QWidget&)>([](QWidget& W) { W.showMaximized(); });
        QTest::newRow("full screen") << std::function<void(QWidget&)>([](QWidget& W) { W.showFullScreen(); });
    }

    void maximizeRequestsAreRefusedWithoutHarm() {
        QFETCH(std::function<void(QWidget&)>, Request);
        std::unique_ptr<qrapp::TForm1> Form;
        std::optional<guitest::Form1Parts> Parts;
        QVERIFY(guitest::OpenForm1(Form, Parts));
        const QSize Fixed = Form->size();
        QCOMPARE(Form->minimumSize(), Fixed);
        // Set, not typed: the headless compositor has no keyboard, and Qt fails on key events
        // without one.
        Parts->Memo1->setPlainText("Texto que fica");

        // Twice: the window must come back to a state in which a second request is safe too.
        for (int Round = 0; Round < 2; ++Round) {
            Request(*Form);
            // Painted while the compositor answers: a frame of the wrong size would end the
            // connection here (and the process with it).
            for (int i = 0; i < 10; ++i) {
                Form->repaint();
                QTest::qWait(50);
            }
            QTRY_VERIFY(!(Form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)));
            QTRY_COMPARE(Form->size(), Fixed);
            QCOMPARE(Form->maximumSize(), Fixed);
            QCOMPARE(Parts->Memo1->toPlainText(), QString("Texto que fica"));
        }
        guitest::CloseForm1(Form, Parts);
    }
};

QTEST_MAIN(WindowWaylandTest)
#include "window_wayland_test.moc"
