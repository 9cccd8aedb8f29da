#pragma once
// Plays the user of "Gravar" in window tests: clicks the button, answers the save dialog, and
// records and closes every message box that comes up.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <vector>

#include "dialogtest.h"
#include "guitest.h"

namespace gravartest {

using dialogtest::TypeAndEnter;

struct ErrorBox {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

struct Click {
    bool DialogShown = false;
    std::vector<ErrorBox> Boxes;  // every message box that came up, closed with OK
    bool TimedOut = false;
};

// Clicks "Gravar" (or presses it as Press does); once the save dialog is up with the keyboard
// focus, Act plays the user. Message boxes are recorded and closed; anything still open after ten
// seconds is closed too.
inline Click ClickGravar(QWidget& Form, const std::function<void(QFileDialog&)>& Act,
                         const std::function<void()>& Press = {}) {
    Click Result;
    const auto OnModal = [&](QWidget* Modal, qint64 Elapsed) {
        if (auto* Box = qobject_cast<QMessageBox*>(Modal)) {
            Result.Boxes.push_back({Box->windowTitle(), Box->text(), Box->icon()});
            Box->button(QMessageBox::Ok) ? Box->button(QMessageBox::Ok)->click() : Box->reject();
        } else if (auto* Dialog = qobject_cast<QFileDialog*>(Modal)) {
            if (Elapsed > 10000) {
                Result.TimedOut = true;
                Dialog->reject();
            } else if (!Result.DialogShown && Dialog->isAncestorOf(QApplication::focusWidget())) {
                Result.DialogShown = true;
                Act(*Dialog);
            }
        }
    };
    dialogtest::WatchModals(OnModal, Press ? Press : [&Form] {
        QTest::mouseClick(guitest::Find<QPushButton>(Form, "Button1"), Qt::LeftButton);
    });
    return Result;
}

}  // namespace gravartest
