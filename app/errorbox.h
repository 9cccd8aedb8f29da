#pragma once
// How an error that escapes an event handler reaches the user: a modal message box captioned with
// the application title, with a stop icon and an OK button. Qt cannot carry an exception through
// its event loop, so every handler runs inside Guarded, which catches at its boundary.

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace qrapp {

// The application title: the caption of the error boxes (kept as the application name).
void SetApplicationTitle(const QString& Title);
QString ApplicationTitle();

// Shows the error box for Message (modal; returns when it is closed), with a "." appended when its
// last character is above "." (qrwindow::ErrorBoxText).
void ShowErrorBox(QWidget* Parent, const QString& Message);
// The same box shown once the event loop is back, for handlers that must not open a nested loop
// (a paint handler).
void PostErrorBox(QWidget* Parent, const QString& Message);

// The message of the exception being handled (UTF-8 what() of a std::exception).
QString CurrentExceptionMessage();

// Runs Handler; an exception that leaves it goes no further: Report gets its message.
template <typename Fn, typename ReportFn>
void RunReporting(QWidget* Parent, Fn&& Handler, ReportFn Report) {
    try {
        std::forward<Fn>(Handler)();
    } catch (...) {
        Report(Parent, CurrentExceptionMessage());
    }
}

// Runs Handler; an exception that leaves it is shown in the error box.
template <typename Fn>
void Guarded(QWidget* Parent, Fn&& Handler) {
    RunReporting(Parent, std::forward<Fn>(Handler), ShowErrorBox);
}

// As Guarded, but the box is posted (see PostErrorBox).
template <typename Fn>
void GuardedPosted(QWidget* Parent, Fn&& Handler) {
    RunReporting(Parent, std::forward<Fn>(Handler), PostErrorBox);
}

}  // namespace qrapp
