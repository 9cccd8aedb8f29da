// Quandrel QR Code for Windows: the theme, the window, the message loop, exit code 0.

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "mainwindow.h"
#include "window/layout.h"
#include "window/messages.h"
#include "window/theme.h"

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, PWSTR, int ShowCommand) {
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&Controls);
    // The theme is compiled in; should it ever be missing, the user is told and the window
    // takes the system's look.
    if (!qrwindow::FindTheme(qrwindow::kThemeName)) {
        const std::u16string Text = qrwindow::StyleNotFound(qrwindow::kThemeName);
        const std::wstring Caption(qrwindow::kProductName.begin(), qrwindow::kProductName.end());
        TASKDIALOGCONFIG Dialog{};
        Dialog.cbSize = sizeof Dialog;
        Dialog.hInstance = Instance;
        Dialog.pszWindowTitle = Caption.c_str();
        Dialog.pszMainIcon = TD_ERROR_ICON;
        Dialog.pszContent = reinterpret_cast<const wchar_t*>(Text.c_str());
        Dialog.dwCommonButtons = TDCBF_CLOSE_BUTTON;
        TaskDialogIndirect(&Dialog, nullptr, nullptr, nullptr);
    }
    qrwin32::TForm1 Form1(Instance);
    Form1.Show(ShowCommand);
    MSG Message;
    while (GetMessageW(&Message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab, Enter and Space on the buttons, as in a dialog box.
        if (IsDialogMessageW(Form1.Handle(), &Message))
            continue;
        TranslateMessage(&Message);
        DispatchMessageW(&Message);
    }
    return 0;
}
