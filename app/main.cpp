// Quandrel QR Code: type a text, see its QR Code symbol, save the picture as JPEG.

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <string_view>

#include "errorbox.h"
#include "mainwindow.h"
#include "qtstrings.h"
#include "quitsignal.h"
#include "startup.h"
#include "theme.h"
#include "translations.h"
#include "window/layout.h"
#include "window/theme.h"

namespace {

// The name of the desktop entry and of the icon; desktops use it to match the window to them.
constexpr const char* kApplicationId = "com.quandrel.QRCode";

constexpr const char* kUsage =
    "Usage: quandrel-qr-code [OPTION]\n"
    "Opens the Quandrel QR Code window. The QR Code symbol of the text typed into it is shown\n"
    "after every keystroke; \"Gravar\" saves the shown picture as a JPEG file, \"Sair\" ends the\n"
    "program.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the program's version and exit\n"
    "\n"
    "Qt's standard options, such as -platform NAME, are taken as well.\n";

}  // namespace

int main(int argc, char* argv[]) {
    // Answered before the toolkit starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view Arg = argv[i];
        if (Arg == "-h" || Arg == "--help") return std::fputs(kUsage, stdout) < 0 ? 1 : 0;
        if (Arg == "-V" || Arg == "--version")
            return std::printf("quandrel-qr-code %s\n", QUANDREL_VERSION) < 0 ? 1 : 0;
    }

    // Honour fractional screen scales (125 %, 150 %) as they are; the display area is drawn in
    // device pixels, so the symbol stays crisp at any of them.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    // Without a display the program says so and ends with status 1, where Qt would abort.
    const std::unique_ptr<QApplication> Application = qrapp::StartApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
    Application->setWindowIcon(qrapp::ApplicationIcon());
    // Qt's dialogs and menus in the user's language; the window's own words stay as they are.
    QTranslator QtTranslations;
    qrapp::InstallQtTranslations(QtTranslations, QLocale());

    qrapp::ApplyTheme(qrapp::ToQString(qrwindow::kThemeName));
    qrapp::SetApplicationTitle(qrapp::ToQString(qrwindow::kProductName));

    int ExitCode = 0;
    {
        qrapp::TForm1 Form1;
        Form1.ShowCentred();
        qrapp::QuitOnTerminationSignal();
        ExitCode = QApplication::exec();
    }
    return ExitCode;
}
