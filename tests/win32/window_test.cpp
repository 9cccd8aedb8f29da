// The Windows window in process, under Wine: what it paints against the core's rendering, the
// text box's limit however the text arrives, the focus order, the layout at 96 and 144 DPI, the
// saved file with the dialog replaced, and the texts of its error boxes.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "picture/displayarea.h"
#include "picture/jpegwriter.h"
#include "picture/modulebitmap.h"
#include "win32/mainwindow.h"
#include "window/layout.h"
#include "window/messages.h"

namespace {

using qrwin32::TForm1;

std::wstring Text(HWND Window) {
    std::wstring T(static_cast<std::size_t>(GetWindowTextLengthW(Window)) + 1, L'\0');
    T.resize(static_cast<std::size_t>(GetWindowTextW(Window, T.data(), static_cast<int>(T.size()))));
    return T;
}

std::u16string U16(const std::wstring& T) { return {reinterpret_cast<const char16_t*>(T.data()), T.size()}; }

qrwindow::TRect RectIn(HWND Control) {
    RECT R;
    GetWindowRect(Control, &R);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&R), 2);
    return {R.left, R.top, R.right - R.left, R.bottom - R.top};
}

// Clicks a button as the user does, through the notice its parent receives.
void Click(HWND Button) {
    SendMessageW(GetParent(Button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Button), BN_CLICKED), reinterpret_cast<LPARAM>(Button));
}

void Type(HWND Memo, std::wstring_view Keys) {
    for (wchar_t Key : Keys)
        SendMessageW(Memo, WM_CHAR, Key, 1);
}

void SetClipboardText(const std::wstring& T) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE, (T.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(Memory), T.c_str(), (T.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(Memory);
    SetClipboardData(CF_UNICODETEXT, Memory);
    CloseClipboard();
}

// The texts of the message boxes the window shows while Run runs, each box closed at once.
std::vector<std::wstring> BoxesShownBy(const std::function<void()>& Run) {
    static std::vector<std::wstring>* Shown = nullptr;
    std::vector<std::wstring> Texts;
    Shown = &Texts;
    const UINT_PTR Timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (HWND Box = FindWindowW(L"#32770", L"Quandrel QR Code")) {
            wchar_t Buffer[2048] = {};
            GetDlgItemTextW(Box, 0xFFFF, Buffer, 2048);
            Shown->emplace_back(Buffer);
            SendMessageW(Box, WM_COMMAND, IDOK, 0);
        }
    });
    Run();
    KillTimer(nullptr, Timer);
    Shown = nullptr;
    return Texts;
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        wchar_t Temp[MAX_PATH];
        GetTempPathW(MAX_PATH, Temp);
        Folder = std::wstring(Temp) + L"quandrel-window-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(Folder.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::wstring& F : Made)
            DeleteFileW(F.c_str());
        RemoveDirectoryW(Folder.c_str());
    }
    std::wstring Folder;
    std::vector<std::wstring> Made;
};

TEST_F(Win32Window, PaintsTheCoresDisplayAreaForEverySymbolSize) {
    TForm1 Form(GetModuleHandleW(nullptr));
    // Empty (s = 14 exactly), version 2 (uneven modules), version 17 (405 x 405 drawn), no symbol.
    const std::wstring Texts[] = {L"", std::wstring(20, L'a'), std::wstring(400, L'b'), std::wstring(1200, L'\u20ac')};
    for (const std::wstring& T : Texts) {
        SetWindowTextW(Form.Memo(), T.c_str());
        const qrpicture::TPixels Expected = qrpicture::WindowPicture(qrpicture::WindowModuleBitmap(U16(T)));
        const qrpicture::TPixels Shown = Form.Capture();
        EXPECT_EQ(Shown.Width(), 406);
        EXPECT_TRUE(Shown == Expected) << "text of " << T.size() << " units";
    }
}

TEST_F(Win32Window, TheTextBoxHoldsAtMost1200UnitsHoweverTheTextArrives) {
    TForm1 Form(GetModuleHandleW(nullptr));
    const HWND Memo = Form.Memo();
    // Typed: the 1201st character is refused.
    Type(Memo, std::wstring(1201, L'x'));
    EXPECT_EQ(Text(Memo).size(), 1200u);
    // With one unit of room neither a line break (CR LF) nor a surrogate pair gets in, even in part.
    SetWindowTextW(Memo, std::wstring(1199, L'x').c_str());
    SendMessageW(Memo, EM_SETSEL, 1199, 1199);
    Type(Memo, L"\r\U0001F600");
    EXPECT_EQ(Text(Memo), std::wstring(1199, L'x'));
    Type(Memo, L"y");
    EXPECT_EQ(Text(Memo), std::wstring(1199, L'x') + L"y");
    // Pasted: what fits, line breaks stored as CR LF, never half a pair.
    SetWindowTextW(Memo, L"");
    SetClipboardText(L"a\nb" + std::wstring(1300, L'c'));
    SendMessageW(Memo, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(Memo), L"a\r\nb" + std::wstring(1196, L'c'));
    SetWindowTextW(Memo, std::wstring(1199, L'x').c_str());
    SendMessageW(Memo, EM_SETSEL, 1199, 1199);
    SetClipboardText(L"\U0001F600");
    SendMessageW(Memo, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(Memo).size(), 1199u);
    // Replacing a selection frees its room.
    SendMessageW(Memo, EM_SETSEL, 0, 2);
    SendMessageW(Memo, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(Memo), L"\U0001F600" + std::wstring(1197, L'x'));
    // Set as a whole.
    SetWindowTextW(Memo, std::wstring(1300, L'z').c_str());
    EXPECT_EQ(Text(Memo).size(), 1200u);
    // And the symbol follows the text box.
    EXPECT_TRUE(Form.Capture() == qrpicture::WindowPicture(qrpicture::WindowModuleBitmap(U16(Text(Memo)))));
}

TEST_F(Win32Window, FocusStartsOnSairAndTabGoesToGravarThenTheTextBox) {
    TForm1 Form(GetModuleHandleW(nullptr));
    Form.Show(SW_SHOWNORMAL);
    EXPECT_EQ(GetFocus(), Form.QuitButton());
    const HWND Second = GetNextDlgTabItem(Form.Handle(), Form.QuitButton(), FALSE);
    EXPECT_EQ(Second, Form.SaveButton());
    EXPECT_EQ(GetNextDlgTabItem(Form.Handle(), Second, FALSE), Form.Memo());
    EXPECT_EQ(GetNextDlgTabItem(Form.Handle(), Form.Memo(), FALSE), Form.QuitButton());
    // Tab leaves the text box instead of going into it; Enter goes in as a line break.
    SetFocus(Form.Memo());
    MSG Tab{Form.Memo(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(SendMessageW(Form.Memo(), WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&Tab)) &
                 (DLGC_WANTALLKEYS | DLGC_WANTTAB));
    MSG Enter{Form.Memo(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(SendMessageW(Form.Memo(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&Enter)) & DLGC_WANTALLKEYS);
}

TEST_F(Win32Window, TheLayoutAt96And144Dpi) {
    TForm1 Form(GetModuleHandleW(nullptr));
    ASSERT_EQ(Form.Dpi(), 96) << "the Wine prefix runs at 96 DPI";
    for (int Dpi : {96, 144}) {
        if (Dpi != 96) {
            RECT Suggested{0, 0, 0, 0};
            SendMessageW(Form.Handle(), WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
        }
        const qrwindow::TWindowLayout L = qrwindow::Scaled(qrwindow::kLayout, Dpi);
        RECT Client;
        GetClientRect(Form.Handle(), &Client);
        EXPECT_EQ(Client.right, L.ClientSize.Width) << Dpi;
        EXPECT_EQ(Client.bottom, L.ClientSize.Height) << Dpi;
        const auto Inside = [&](qrwindow::TRect R) {
            R.Left += L.PanelFrame;
            R.Top += L.PanelFrame;
            return R;
        };
        EXPECT_EQ(RectIn(Form.RightPanel()), L.Panel1) << Dpi;
        EXPECT_EQ(RectIn(Form.LeftPanel()), L.Panel2) << Dpi;
        EXPECT_EQ(RectIn(Form.PaintBox()), Inside(L.PaintBox1)) << Dpi;
        EXPECT_EQ(RectIn(Form.Memo()), Inside(L.Memo1)) << Dpi;
        EXPECT_EQ(RectIn(Form.SaveButton()), Inside(L.Button1)) << Dpi;
        EXPECT_EQ(RectIn(Form.QuitButton()), Inside(L.Button2)) << Dpi;
        EXPECT_EQ(RectIn(Form.StatusBar()), L.StatusBar1) << Dpi;
        const qrwindow::TRect Label = RectIn(Form.Label());
        EXPECT_EQ(Label.Left, Inside(L.Label1).Left);
        EXPECT_EQ(Label.Top, Inside(L.Label1).Top);
        int Parts[2] = {};
        SendMessageW(Form.StatusBar(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(Parts));
        EXPECT_EQ(Parts[0], L.StatusPanel0Width) << Dpi;
        // The display area, and with it the saved picture, grows with the DPI.
        EXPECT_EQ(Form.Capture().Width(), Dpi == 96 ? 406 : 609);
        EXPECT_TRUE(Form.Capture() == qrpicture::RenderDisplayArea(qrpicture::WindowModuleBitmap(u""), L.PaintBox1.Width,
                                                                    L.PaintBox1.Height));
    }
    // The window's font: Tahoma 8 points, 11 pixels high at 96 DPI and 17 at 144.
    const HFONT Font = reinterpret_cast<HFONT>(SendMessageW(Form.Memo(), WM_GETFONT, 0, 0));
    LOGFONTW Log{};
    GetObjectW(Font, sizeof Log, &Log);
    EXPECT_EQ(Log.lfHeight, -qrwindow::FontPixelHeight(8, 144));
    EXPECT_STREQ(Log.lfFaceName, L"Tahoma");
}

TEST_F(Win32Window, GravarSavesTheShownPictureAndSaysWhatWentWrong) {
    std::optional<std::wstring> Answer;
    int Asked = 0;
    TForm1 Form(GetModuleHandleW(nullptr), [&](HWND) {
        ++Asked;
        return Answer;
    });
    SetWindowTextW(Form.Memo(), L"Olá, ação");
    // Cancelled: nothing written, nothing said.
    EXPECT_TRUE(BoxesShownBy([&] { Click(Form.SaveButton()); }).empty());
    EXPECT_EQ(Asked, 1);
    // Saved: the bytes the core makes of the core's picture, the same on every system.
    const std::wstring Path = Folder + L"\\símbolo.jpg";
    Made.push_back(Path);
    Answer = Path;
    EXPECT_TRUE(BoxesShownBy([&] { Click(Form.SaveButton()); }).empty());
    const std::vector<unsigned char> Expected =
        qrpicture::PictureToJpeg(qrpicture::WindowPicture(qrpicture::WindowModuleBitmap(u"Olá, ação")), 90);
    HANDLE File = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> Saved(Expected.size() + 100);
    DWORD Got = 0;
    ReadFile(File, Saved.data(), static_cast<DWORD>(Saved.size()), &Got, nullptr);
    CloseHandle(File);
    Saved.resize(Got);
    EXPECT_EQ(Saved, Expected);
    // A folder that does not exist: the create message with the full path, ending in ".".
    Answer = Folder + L"\\no such folder\\x.jpg";
    const std::vector<std::wstring> Failed = BoxesShownBy([&] { Click(Form.SaveButton()); });
    ASSERT_EQ(Failed.size(), 1u);
    EXPECT_EQ(Failed[0].rfind(L"Cannot create file \"" + *Answer + L"\". ", 0), 0u);
    EXPECT_EQ(Failed[0].back(), L'.');
    EXPECT_EQ(Failed[0].find(L".."), std::wstring::npos);
    // No symbol: the reason, and no dialog.
    SetWindowTextW(Form.Memo(), std::wstring(1200, L'\u20ac').c_str());
    const int AskedBefore = Asked;
    const std::vector<std::wstring> Reason = BoxesShownBy([&] { Click(Form.SaveButton()); });
    ASSERT_EQ(Reason.size(), 1u);
    EXPECT_EQ(U16(Reason[0]), qrwindow::ErrorBoxText(qrwindow::NoSymbolReason({qr::qmByte, 3600, 2953})));
    EXPECT_EQ(Asked, AskedBefore);
}

TEST_F(Win32Window, CopiarPutsTheShownPictureOnTheClipboardOnlyWithASymbol) {
    TForm1 Form(GetModuleHandleW(nullptr));
    const auto ClipboardPicture = [] {
        qrpicture::TPixels Picture;
        if (!OpenClipboard(nullptr))
            return Picture;
        if (HANDLE Data = GetClipboardData(CF_DIB)) {
            const auto* Header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(Data));
            const int Width = Header->biWidth, Height = Header->biHeight;  // bottom-up rows
            Picture = qrpicture::TPixels(Width, Height, 0);
            const auto* Rows = reinterpret_cast<const std::uint32_t*>(Header + 1);
            if (Header->biBitCount == 32)
                for (int Y = 0; Y < Height; ++Y)
                    for (int X = 0; X < Width; ++X)
                        Picture.SetPixel(X, Y, 0xFF000000u | Rows[static_cast<std::size_t>(Height - 1 - Y) * Width + X]);
            GlobalUnlock(Data);
        }
        CloseClipboard();
        return Picture;
    };
    SetClipboardText(L"before");
    SetWindowTextW(Form.Memo(), L"Copiar");
    SendMessageW(Form.Handle(), WM_COMMAND, qrwin32::kCopiarCommand, 0);
    const qrpicture::TPixels Copied = ClipboardPicture();
    EXPECT_EQ(Copied.Width(), 406);
    EXPECT_TRUE(Copied == qrpicture::WindowPicture(qrpicture::WindowModuleBitmap(u"Copiar")));
    // Without a symbol there is nothing to copy: the clipboard keeps what it had.
    SetClipboardText(L"before");
    SetWindowTextW(Form.Memo(), std::wstring(1200, L'\u20ac').c_str());
    SendMessageW(Form.Handle(), WM_COMMAND, qrwin32::kCopiarCommand, 0);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

}  // namespace
