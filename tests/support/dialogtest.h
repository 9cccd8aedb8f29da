#pragma once
// Answers a save dialog as a user does, for dialog and window tests.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include <functional>

namespace dialogtest {

// Runs Action, which opens modal dialogs; every 10 ms until it returns, OnModal sees the active
// modal widget (or none) and the milliseconds since Action began.
inline void WatchModals(const std::function<void(QWidget* Modal, qint64 Elapsed)>& OnModal,
                        const std::function<void()>& Action) {
    QElapsedTimer Clock;
    Clock.start();
    QTimer Watch;
    Watch.setInterval(10);
    QObject::connect(&Watch, &QTimer::timeout, [&] { OnModal(QApplication::activeModalWidget(), Clock.elapsed()); });
    Watch.start();
    Action();
}

// Types Name into the file name box, in Folder, and presses Enter (queued, so that what it opens
// runs outside the watching timer).
inline void TypeAndEnter(QFileDialog& Dialog, const QString& Folder, const QString& Name) {
    QMetaObject::invokeMethod(
        &Dialog,
        [&Dialog, Folder, Name] {
            Dialog.setDirectory(Folder);
            QTest::keyClicks(QApplication::focusWidget(), Name);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        },
        Qt::QueuedConnection);
}

}  // namespace dialogtest
