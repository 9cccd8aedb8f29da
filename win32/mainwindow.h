#pragma once
// The main window on the Windows GUI itself: Form1 with its panels, label, text box, buttons and
// status bar, placed from the toolkit-free layout (window/layout.h) at the window's DPI, the
// symbol drawn from the module bitmap with StretchBlt, "Gravar" through the Windows file writer.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "picture/pixels.h"
#include "window/layout.h"

namespace qrwin32 {

// Asks the user for the file to save to: the chosen path, or none when the dialog was cancelled.
using TSaveDialog = std::function<std::optional<std::wstring>(HWND Owner)>;

// The save dialog of comdlg32 (GetSaveFileNameW) with the window's settings: empty name, the
// filter "Jpeg files (*.jpg)", default extension jpg, no overwrite prompt, no read-only box,
// resizable.
std::optional<std::wstring> ShowSaveDialog(HWND Owner);

// Shows Message in the error box: captioned with the product name, the stop icon, OK, and the
// message completed by qrwindow::ErrorBoxText.
void ShowErrorBox(HWND Owner, std::u16string_view Message);

// The command of "Copiar" in the display area's menu (WM_COMMAND to the window).
inline constexpr int kCopiarCommand = 106;

class TForm1 {
public:
    // Creates the window hidden, its components from the layout at the DPI of the screen, and
    // the symbol of the empty text. Dialog asks for the file name of "Gravar".
    explicit TForm1(HINSTANCE Instance, TSaveDialog Dialog = ShowSaveDialog);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Shows the window centred on the screen.
    void Show(int ShowCommand);

    HWND Handle() const { return FForm; }
    HWND Memo() const { return FMemo1; }
    HWND SaveButton() const { return FButton1; }
    HWND QuitButton() const { return FButton2; }
    HWND PaintBox() const { return FPaintBox1; }
    HWND StatusBar() const { return FStatusBar1; }
    HWND Label() const { return FLabel1; }
    HWND LeftPanel() const { return FPanel2; }
    HWND RightPanel() const { return FPanel1; }
    int Dpi() const { return FDpi; }

    // The display area as it is painted at its current size (the picture "Gravar" saves).
    qrpicture::TPixels Capture() const;

private:
    // Registers the window classes of the program (again is harmless).
    static void RegisterClasses(HINSTANCE Instance);
    static LRESULT CALLBACK FormProc(HWND Window, UINT Message, WPARAM W, LPARAM L);
    static LRESULT CALLBACK PanelProc(HWND Window, UINT Message, WPARAM W, LPARAM L);
    static LRESULT CALLBACK PaintBoxProc(HWND Window, UINT Message, WPARAM W, LPARAM L);
    static LRESULT CALLBACK MemoProc(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR Id, DWORD_PTR Data);

    LRESULT Handle(UINT Message, WPARAM W, LPARAM L);
    void CreateComponents();
    void Place();
    void Update();
    void Paint(HDC Dc, int Width, int Height) const;
    void PaintPanel(HWND Panel, HDC Dc) const;
    void Button1Click();
    void Copiar1Click();
    void OnDpiChanged(int NewDpi, const RECT* Suggested);
    std::optional<LRESULT> MemoMessage(UINT Message, WPARAM W, LPARAM L);
    int Room() const;

    HINSTANCE FInstance;
    TSaveDialog FDialog;
    int FDpi = 96;
    qrwindow::TWindowLayout FLayout;
    HWND FForm = nullptr;
    HWND FPanel1 = nullptr;
    HWND FPaintBox1 = nullptr;
    HWND FPanel2 = nullptr;
    HWND FLabel1 = nullptr;
    HWND FMemo1 = nullptr;
    HWND FButton1 = nullptr;
    HWND FButton2 = nullptr;
    HWND FStatusBar1 = nullptr;
    struct TGdi;
    std::unique_ptr<TGdi> FGdi;
    qrpicture::TPixels FQRCodeBitmap;
    std::optional<std::u16string> FNoSymbolReason;
    bool FDroppedHighSurrogate = false;
    HWND FFocused = nullptr;  // the control that had the focus when the window was deactivated
};

}  // namespace qrwin32
