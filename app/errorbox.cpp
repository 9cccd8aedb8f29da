#include "errorbox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "qtstrings.h"
#include "window/messages.h"

namespace qrapp {

void SetApplicationTitle(const QString& Title) { QCoreApplication::setApplicationName(Title); }

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

void ShowErrorBox(QWidget* Parent, const QString& Message) {
    QMessageBox Box(QMessageBox::Critical, ApplicationTitle(), ToQString(qrwindow::ErrorBoxText(View(Message))),
                    QMessageBox::Ok, Parent);
    Box.setObjectName(QStringLiteral("ErrorBox"));
    Box.exec();
}

void PostErrorBox(QWidget* Parent, const QString& Message) {
    QTimer::singleShot(0, QCoreApplication::instance(), [Owner = QPointer<QWidget>(Parent), Message] {
        ShowErrorBox(Owner.data(), Message);
    });
}

QString CurrentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& Error) {
        return QString::fromUtf8(Error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

}  // namespace qrapp
