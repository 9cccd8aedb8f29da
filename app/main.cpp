// Quandrel QR Code: type a text, see its QR Code symbol, save the picture as JPEG.

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "errorbox.h"
#include "mainwindow.h"
#include "theme.h"
#include "translations.h"

int main(int argc, char* argv[]) {
    // Honour fractional screen scales (125 %, 150 %) as they are; the display area is drawn in
    // device pixels, so the symbol stays crisp at any of them.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication Application(argc, argv);
    Application.setWindowIcon(qrapp::ApplicationIcon());
    // Qt's dialogs and menus in the user's language; the window's own words stay as they are.
    QTranslator QtTranslations;
    qrapp::InstallQtTranslations(QtTranslations, QLocale());

    qrapp::ApplyTheme(QString::fromUtf8(qrapp::kThemeName));
    qrapp::SetApplicationTitle(QStringLiteral("Quandrel QR Code"));

    int ExitCode = 0;
    {
        qrapp::TForm1 Form1;
        Form1.ShowCentred();
        ExitCode = QApplication::exec();
    }
    return ExitCode;
}
