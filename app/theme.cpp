#include "theme.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>

#include "qtstrings.h"
#include "window/layout.h"
#include "window/messages.h"
#include "window/theme.h"

// Resources compiled into a static library are only linked in when something refers to them.
static void InitWindowResources() { Q_INIT_RESOURCE(window); }

namespace qrapp {

namespace {

QString Hex(qrwindow::TRgb Colour) {
    return QStringLiteral("#%1").arg(Colour.R << 16 | Colour.G << 8 | Colour.B, 6, 16, QLatin1Char('0'));
}

// The theme as a style sheet over the window's object names. The panels' border width is the
// layout's frame, within which the window places their children.
QString StyleSheet(const qrwindow::TTheme& T, int PanelFrame) {
    QString Sheet;
    Sheet += QStringLiteral("QWidget#Form1 { background-color: %1; color: %2; }\n").arg(Hex(T.Background), Hex(T.Text));
    Sheet += QStringLiteral("QFrame#Panel1 { background-color: %1; border-style: solid; border-top-color: %2; "
                            "border-left-color: %2; border-bottom-color: %3; border-right-color: %3; }\n")
                 .arg(Hex(T.Background), Hex(T.RaisedLight), Hex(T.RaisedShadow));
    Sheet += QStringLiteral("QFrame#Panel2 { background-color: %1; border-style: solid; border-top-color: %2; "
                            "border-left-color: %2; border-bottom-color: %3; border-right-color: %3; }\n")
                 .arg(Hex(T.Background), Hex(T.SunkenShadow), Hex(T.SunkenLight));
    Sheet += QStringLiteral("QLabel#Label1 { color: %1; background: transparent; }\n").arg(Hex(T.LabelText));
    Sheet += QStringLiteral("QPlainTextEdit { background-color: %1; color: %2; border: 1px solid %3; "
                            "selection-background-color: %4; selection-color: %5; }\n")
                 .arg(Hex(T.Background), Hex(T.Text), Hex(T.TextBoxBorder), Hex(T.Selection), Hex(T.SelectionText));
    Sheet += QStringLiteral("QPlainTextEdit:focus { border: 1px solid %1; }\n").arg(Hex(T.TextBoxFocusBorder));
    Sheet += QStringLiteral("QPushButton { color: %1; background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, "
                            "stop: 0 %2, stop: 1 %3); border: 1px solid %4; border-radius: 4px; padding: 2px 10px; }\n")
                 .arg(Hex(T.Text), Hex(T.ButtonTop), Hex(T.ButtonBottom), Hex(T.ButtonBorder));
    Sheet += QStringLiteral("QPushButton:hover { background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, "
                            "stop: 0 %1, stop: 1 %2); border-color: %3; }\n")
                 .arg(Hex(T.HoverTop), Hex(T.HoverBottom), Hex(T.HoverBorder));
    Sheet += QStringLiteral("QPushButton:focus { border: 2px solid %1; }\n").arg(Hex(T.FocusBorder));
    Sheet += QStringLiteral("QPushButton:pressed { background-color: %1; border-color: %2; }\n")
                 .arg(Hex(T.Pressed), Hex(T.PressedBorder));
    Sheet += QStringLiteral("QStatusBar#StatusBar1 { background-color: %1; color: %2; }\n").arg(Hex(T.StatusBar), Hex(T.Text));
    // Each panel of the status bar is a label with a one-pixel sunken frame.
    Sheet += QStringLiteral("QStatusBar#StatusBar1 QLabel { background: transparent; color: %1; border-width: 1px; "
                            "border-style: solid; border-top-color: %2; border-left-color: %2; "
                            "border-bottom-color: %3; border-right-color: %3; }\n")
                 .arg(Hex(T.Text), Hex(T.StatusPanelShadow), Hex(T.StatusPanelLight));
    Sheet += QStringLiteral("QMessageBox { background-color: %1; }\n").arg(Hex(T.Background));
    Sheet += QStringLiteral("QFrame#Panel1, QFrame#Panel2 { border-width: %1px; }\n").arg(PanelFrame);
    return Sheet;
}

}  // namespace

bool ApplyTheme(const QString& Name) {
    const qrwindow::TTheme* Theme = qrwindow::FindTheme(View(Name));
    if (!Theme) {
        QMessageBox Box(QMessageBox::Critical, QApplication::applicationName(), ToQString(qrwindow::StyleNotFound(View(Name))),
                        QMessageBox::Close);
        Box.setObjectName(QStringLiteral("StyleNotFound"));
        Box.exec();
        return false;
    }
    // The style sheet is drawn over Fusion, which looks the same on every platform.
    if (QStyle* Fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(Fusion);
    qApp->setStyleSheet(StyleSheet(*Theme, qrwindow::kLayout.PanelFrame));
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
