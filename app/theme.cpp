#include "theme.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStyleFactory>

// Resources compiled into a static library are only linked in when something refers to them.
static void InitWindowResources() { Q_INIT_RESOURCE(window); }

namespace qrapp {

bool ApplyTheme(const QString& Name) {
    InitWindowResources();
    QFile Sheet(QStringLiteral(":/themes/%1.qss").arg(Name));
    if (!Sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QMessageBox Box(QMessageBox::Critical, QApplication::applicationName(),
                        QStringLiteral("Style '%1' not found").arg(Name), QMessageBox::Close);
        Box.setObjectName(QStringLiteral("StyleNotFound"));
        Box.exec();
        return false;
    }
    // The style sheet is drawn over Fusion, which looks the same on every platform.
    if (QStyle* Fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(Fusion);
    // The panels' border width comes from the layout, not from the theme.
    qApp->setStyleSheet(QString::fromUtf8(Sheet.readAll()) +
                        QStringLiteral("\nQFrame#Panel1, QFrame#Panel2 { border-width: %1px; }\n").arg(kPanelFrame));
    return true;
}

QIcon ApplicationIcon() {
    InitWindowResources();
    QIcon Icon;
    for (const int Size : {16, 32, 48, 64, 128, 256})
        Icon.addFile(QStringLiteral(":/icons/quandrel-qr-%1.png").arg(Size), QSize(Size, Size));
    return Icon;
}

}  // namespace qrapp
