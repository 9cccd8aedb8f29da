#include "errorbox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace qrapp {

void SetApplicationTitle(const QString& Title) { QCoreApplication::setApplicationName(Title); }

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

QString ErrorBoxText(const QString& Message) {
    if (!Message.isEmpty() && Message.back().unicode() > u'.')
        return Message + u'.';
    return Message;
}

void ShowErrorBox(QWidget* Parent, const QString& Message) {
    QMessageBox Box(QMessageBox::Critical, ApplicationTitle(), ErrorBoxText(Message), QMessageBox::Ok, Parent);
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
