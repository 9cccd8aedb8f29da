#pragma once
// Answers a save dialog as a user does, for dialog and window tests.

#include <QApplication>
#include <QFileDialog>
#include <QTest>

namespace dialogtest {

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
