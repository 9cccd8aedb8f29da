#include "mainwindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include "files/writefile.h"
#include "picture/displayarea.h"
#include "picture/jpegwriter.h"
#include "picture/modulebitmap.h"
#include "window/messages.h"
#include "window/textcount.h"
#include "window/theme.h"

namespace qrwin32 {

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kPaintBoxClass[] = L"TPaintBox";

// Control identifiers: WM_COMMAND tells the buttons and the text box apart by them.
enum : int { IdMemo1 = 101, IdButton1, IdButton2, IdStatusBar1, IdLabel1, IdCopiar1 = kCopiarCommand };

const wchar_t* WStr(std::u16string_view Text) { return reinterpret_cast<const wchar_t*>(Text.data()); }
std::wstring Wide(std::u16string_view Text) { return {reinterpret_cast<const wchar_t*>(Text.data()), Text.size()}; }
std::u16string U16(std::wstring_view Text) { return {reinterpret_cast<const char16_t*>(Text.data()), Text.size()}; }

std::u16string FromUtf8(std::string_view Text) {
    if (Text.empty())
        return {};
    const int Length = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Result(static_cast<std::size_t>(std::max(Length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Length);
    return U16(Result);
}

std::string ToUtf8(std::wstring_view Text) {
    if (Text.empty())
        return {};
    const int Length = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
    std::string Result(static_cast<std::size_t>(std::max(Length, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Length, nullptr, nullptr);
    return Result;
}

COLORREF Colour(qrwindow::TRgb C) { return RGB(C.R, C.G, C.B); }

std::wstring WindowText(HWND Window) {
    std::wstring Text(static_cast<std::size_t>(GetWindowTextLengthW(Window)) + 1, L'\0');
    Text.resize(static_cast<std::size_t>(GetWindowTextW(Window, Text.data(), static_cast<int>(Text.size()))));
    return Text;
}

struct GdiDeleter {
    void operator()(HGDIOBJ Object) const { DeleteObject(Object); }
};
using UniqueGdi = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

struct DcDeleter {
    void operator()(HDC Dc) const { DeleteDC(Dc); }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct MenuDeleter {
    void operator()(HMENU Menu) const { DestroyMenu(Menu); }
};

struct GlobalDeleter {
    void operator()(HGLOBAL Memory) const { GlobalFree(Memory); }
};

// A top-down 32-bit DIB header for a Width x Height picture of TPixels (0xAARRGGBB is BGRA in
// memory, the layout of a 32-bit DIB).
BITMAPINFO DibHeader(int Width, int Height) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    Info.bmiHeader.biWidth = Width;
    Info.bmiHeader.biHeight = -Height;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    Info.bmiHeader.biCompression = BI_RGB;
    return Info;
}

// Fills Rect with a vertical gradient from Top to Bottom, one line at a time.
void FillGradient(HDC Dc, const RECT& Rect, qrwindow::TRgb Top, qrwindow::TRgb Bottom) {
    const int Height = Rect.bottom - Rect.top;
    for (int Y = 0; Y < Height; ++Y) {
        const auto Mix = [&](std::uint8_t A, std::uint8_t B) {
            return static_cast<BYTE>(Height > 1 ? A + (B - A) * Y / (Height - 1) : A);
        };
        UniqueGdi Line(CreateSolidBrush(RGB(Mix(Top.R, Bottom.R), Mix(Top.G, Bottom.G), Mix(Top.B, Bottom.B))));
        const RECT Row{Rect.left, Rect.top + Y, Rect.right, Rect.top + Y + 1};
        FillRect(Dc, &Row, static_cast<HBRUSH>(Line.get()));
    }
}

// Draws a frame Width pixels wide just inside Rect.
void FrameIn(HDC Dc, RECT Rect, qrwindow::TRgb Colour, int Width) {
    UniqueGdi Brush(CreateSolidBrush(RGB(Colour.R, Colour.G, Colour.B)));
    for (int I = 0; I < Width; ++I) {
        FrameRect(Dc, &Rect, static_cast<HBRUSH>(Brush.get()));
        InflateRect(&Rect, -1, -1);
    }
}

// A push button in the theme's colours: the face a gradient, the border plain, both changing
// under the pointer, with the focus and when pressed; the caption centred in the text colour.
void DrawThemedButton(const NMCUSTOMDRAW& Draw, const qrwindow::TTheme& T, HFONT Font) {
    const HDC Dc = Draw.hdc;
    const RECT& Box = Draw.rc;
    const bool Pressed = Draw.uItemState & CDIS_SELECTED;
    const bool Hot = Draw.uItemState & CDIS_HOT;
    const bool Focused = Draw.uItemState & CDIS_FOCUS;
    if (Pressed) {
        UniqueGdi Face(CreateSolidBrush(RGB(T.Pressed.R, T.Pressed.G, T.Pressed.B)));
        FillRect(Dc, &Box, static_cast<HBRUSH>(Face.get()));
    } else {
        FillGradient(Dc, Box, Hot ? T.HoverTop : T.ButtonTop, Hot ? T.HoverBottom : T.ButtonBottom);
    }
    if (Focused)
        FrameIn(Dc, Box, T.FocusBorder, 2);
    else
        FrameIn(Dc, Box, Pressed ? T.PressedBorder : Hot ? T.HoverBorder : T.ButtonBorder, 1);
    wchar_t Caption[64] = {};
    GetWindowTextW(Draw.hdr.hwndFrom, Caption, 64);
    const HGDIOBJ Old = SelectObject(Dc, Font);
    SetBkMode(Dc, TRANSPARENT);
    SetTextColor(Dc, RGB(T.Text.R, T.Text.G, T.Text.B));
    RECT Text = Box;
    DrawTextW(Dc, Caption, -1, &Text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(Dc, Old);
}

TForm1* FormOf(HWND Window) { return reinterpret_cast<TForm1*>(GetWindowLongPtrW(GetAncestor(Window, GA_ROOT), GWLP_USERDATA)); }

}  // namespace

// The pens, brushes and font of the window at its DPI and in its theme.
struct TForm1::TGdi {
    const qrwindow::TTheme* Theme = qrwindow::FindTheme(qrwindow::kThemeName);
    UniqueGdi Font;
    UniqueGdi Background;
    COLORREF Text = GetSysColor(COLOR_WINDOWTEXT);
    COLORREF LabelText = GetSysColor(COLOR_WINDOWTEXT);
    COLORREF BackgroundColour = RGB(255, 255, 255);

    void Make(const qrwindow::TWindowLayout& Layout, int Dpi) {
        const qrwindow::TRgb Back = Theme ? Theme->Background : Layout.Colour;
        BackgroundColour = Colour(Back);
        if (Theme) {
            Text = Colour(Theme->Text);
            LabelText = Colour(Theme->LabelText);
        }
        Background.reset(CreateSolidBrush(BackgroundColour));
        Font.reset(CreateFontW(-qrwindow::FontPixelHeight(Layout.FontPoints, Dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, std::wstring(Layout.FontFamily.begin(), Layout.FontFamily.end()).c_str()));
    }
};

std::optional<std::wstring> ShowSaveDialog(HWND Owner) {
    // Cleared before every opening: the dialog never proposes the last name.
    std::vector<wchar_t> Name(32768, L'\0');
    static constexpr wchar_t Filter[] = L"Jpeg files (*.jpg)\0*.jpg\0";
    OPENFILENAMEW Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = Owner;
    Dialog.lpstrFilter = Filter;
    Dialog.nFilterIndex = 1;
    Dialog.lpstrFile = Name.data();
    Dialog.nMaxFile = static_cast<DWORD>(Name.size());
    Dialog.lpstrDefExt = L"jpg";
    // No check of the folder by the dialog: a name in a folder that does not exist reaches the
    // writer, whose message says so with the full path. No overwrite prompt either.
    Dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&Dialog))
        return std::nullopt;
    return std::wstring(Name.data());
}

void ShowErrorBox(HWND Owner, std::u16string_view Message) {
    MessageBoxW(Owner, Wide(qrwindow::ErrorBoxText(Message)).c_str(), Wide(qrwindow::kProductName).c_str(), MB_OK | MB_ICONSTOP);
}

void TForm1::RegisterClasses(HINSTANCE Instance) {
    WNDCLASSEXW Class{};
    Class.cbSize = sizeof Class;
    Class.hInstance = Instance;
    Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    Class.lpfnWndProc = FormProc;
    Class.lpszClassName = kFormClass;
    Class.hIcon = LoadIconW(Instance, MAKEINTRESOURCEW(1));
    Class.hIconSm = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0));
    if (!Class.hIcon)
        Class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    RegisterClassExW(&Class);
    Class.hIcon = nullptr;
    Class.hIconSm = nullptr;
    Class.lpfnWndProc = PanelProc;
    Class.lpszClassName = kPanelClass;
    RegisterClassExW(&Class);
    Class.lpfnWndProc = PaintBoxProc;
    Class.lpszClassName = kPaintBoxClass;
    RegisterClassExW(&Class);
}

TForm1::TForm1(HINSTANCE Instance, TSaveDialog Dialog)
    : FInstance(Instance), FDialog(std::move(Dialog)), FGdi(std::make_unique<TGdi>()) {
    RegisterClasses(Instance);
    FDpi = static_cast<int>(GetDpiForSystem());
    FLayout = qrwindow::Scaled(qrwindow::kLayout, FDpi);
    FGdi->Make(qrwindow::kLayout, FDpi);
    // A single fixed frame with the system menu and minimize: no sizing edge, no maximize.
    constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT Outer{0, 0, FLayout.ClientSize.Width, FLayout.ClientSize.Height};
    AdjustWindowRectExForDpi(&Outer, Style, FALSE, 0, static_cast<UINT>(FDpi));
    FForm = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, WStr(qrwindow::kLayout.Caption), Style, CW_USEDEFAULT, CW_USEDEFAULT,
                            Outer.right - Outer.left, Outer.bottom - Outer.top, nullptr, nullptr, Instance, this);
    if (!FForm)
        throw std::runtime_error("cannot create the window");
    // The window's own DPI, where it differs from the system's (a per-monitor aware window).
    const int WindowDpi = static_cast<int>(GetDpiForWindow(FForm));
    CreateComponents();
    if (WindowDpi > 0 && WindowDpi != FDpi)
        OnDpiChanged(WindowDpi, nullptr);
    Update();
}

TForm1::~TForm1() {
    if (FForm) {
        SetWindowLongPtrW(FForm, GWLP_USERDATA, 0);
        DestroyWindow(FForm);
    }
}

void TForm1::CreateComponents() {
    const auto Child = [&](DWORD ExStyle, const wchar_t* Class, std::u16string_view Text, DWORD Style, HWND Parent, int Id) {
        HWND Control = CreateWindowExW(ExStyle, Class, Wide(Text).c_str(), WS_CHILD | WS_VISIBLE | Style, 0, 0, 0, 0, Parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), FInstance, nullptr);
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FGdi->Font.get()), FALSE);
        return Control;
    };
    // Creation order is tab order: Panel1 first (nothing in it takes the focus), then Panel2 with
    // "Sair", "Gravar" and the text box, so the focus starts on "Sair".
    FPanel1 = Child(WS_EX_CONTROLPARENT, kPanelClass, u"", WS_CLIPCHILDREN, FForm, 0);
    FPaintBox1 = Child(0, kPaintBoxClass, u"", 0, FPanel1, 0);
    FPanel2 = Child(WS_EX_CONTROLPARENT, kPanelClass, u"", WS_CLIPCHILDREN, FForm, 0);
    FButton2 = Child(0, WC_BUTTONW, FLayout.Button2Caption, WS_TABSTOP | BS_PUSHBUTTON, FPanel2, IdButton2);
    FButton1 = Child(0, WC_BUTTONW, FLayout.Button1Caption, WS_TABSTOP | BS_PUSHBUTTON, FPanel2, IdButton1);
    FMemo1 = Child(WS_EX_CLIENTEDGE, WC_EDITW, u"", WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, FPanel2, IdMemo1);
    FLabel1 = Child(0, WC_STATICW, FLayout.Label1Caption, SS_LEFTNOWORDWRAP | SS_NOPREFIX, FPanel2, IdLabel1);
    SendMessageW(FMemo1, EM_SETLIMITTEXT, qrwindow::kMemoMaxLength, 0);
    SetWindowSubclass(FMemo1, MemoProc, 1, reinterpret_cast<DWORD_PTR>(this));
    // The status bar sits where the layout puts it, at the layout's height, with no size grip
    // (the window has no sizing edge).
    FStatusBar1 = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 0, 0,
                                  FForm, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdStatusBar1)), FInstance, nullptr);
    if (FGdi->Theme)
        SendMessageW(FStatusBar1, SB_SETBKCOLOR, 0, static_cast<LPARAM>(Colour(FGdi->Theme->StatusBar)));
    Place();
}

void TForm1::Place() {
    const auto Put = [](HWND Control, const qrwindow::TRect& R) {
        SetWindowPos(Control, nullptr, R.Left, R.Top, R.Width, R.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int Frame = FLayout.PanelFrame;
    const auto Inside = [Frame](qrwindow::TRect R) {
        R.Left += Frame;
        R.Top += Frame;
        return R;
    };
    Put(FPanel1, FLayout.Panel1);
    Put(FPanel2, FLayout.Panel2);
    Put(FPaintBox1, Inside(FLayout.PaintBox1));
    // Label1 is sized to its caption in the window's font (84 x 13 in Tahoma at 96 DPI).
    qrwindow::TRect Label = Inside(FLayout.Label1);
    if (const HDC Dc = GetDC(FLabel1)) {
        const HGDIOBJ Old = SelectObject(Dc, FGdi->Font.get());
        SIZE Text{};
        TEXTMETRICW Metrics{};
        if (GetTextExtentPoint32W(Dc, WStr(FLayout.Label1Caption), static_cast<int>(FLayout.Label1Caption.size()), &Text) &&
            GetTextMetricsW(Dc, &Metrics)) {
            Label.Width = Text.cx;
            Label.Height = Metrics.tmHeight + Metrics.tmExternalLeading;
        }
        SelectObject(Dc, Old);
        ReleaseDC(FLabel1, Dc);
    }
    Put(FLabel1, Label);
    Put(FMemo1, Inside(FLayout.Memo1));
    Put(FButton1, Inside(FLayout.Button1));
    Put(FButton2, Inside(FLayout.Button2));
    Put(FStatusBar1, FLayout.StatusBar1);
    int Parts[2] = {FLayout.StatusPanel0Width, -1};
    SendMessageW(FStatusBar1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(Parts));
    // A leading tab centres a status bar panel's text.
    SendMessageW(FStatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>((L"\t" + Wide(FLayout.StatusPanel0Text)).c_str()));
    SendMessageW(FStatusBar1, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>((L"\t" + Wide(FLayout.StatusPanel1Text)).c_str()));
}

void TForm1::OnDpiChanged(int NewDpi, const RECT* Suggested) {
    FDpi = NewDpi;
    FLayout = qrwindow::Scaled(qrwindow::kLayout, FDpi);
    FGdi->Make(qrwindow::kLayout, FDpi);
    for (HWND Control : {FLabel1, FMemo1, FButton1, FButton2})
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FGdi->Font.get()), TRUE);
    const DWORD Style = static_cast<DWORD>(GetWindowLongPtrW(FForm, GWL_STYLE));
    RECT Outer{0, 0, FLayout.ClientSize.Width, FLayout.ClientSize.Height};
    AdjustWindowRectExForDpi(&Outer, Style, FALSE, 0, static_cast<UINT>(FDpi));
    RECT Now;
    GetWindowRect(FForm, &Now);
    const int Left = Suggested ? Suggested->left : Now.left;
    const int Top = Suggested ? Suggested->top : Now.top;
    SetWindowPos(FForm, nullptr, Left, Top, Outer.right - Outer.left, Outer.bottom - Outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame drawn is not the frame computed for the DPI (Wine keeps the system's
    // caption height), the client area gets its size from the frame as it is.
    RECT Window, Client;
    GetWindowRect(FForm, &Window);
    GetClientRect(FForm, &Client);
    const int Wider = FLayout.ClientSize.Width - Client.right;
    const int Higher = FLayout.ClientSize.Height - Client.bottom;
    if (Wider != 0 || Higher != 0)
        SetWindowPos(FForm, nullptr, 0, 0, Window.right - Window.left + Wider, Window.bottom - Window.top + Higher,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Place();
    InvalidateRect(FForm, nullptr, TRUE);
}

void TForm1::Show(int ShowCommand) {
    // Centred on the screen's work area when first shown.
    RECT Outer;
    GetWindowRect(FForm, &Outer);
    MONITORINFO Monitor{};
    Monitor.cbSize = sizeof Monitor;
    GetMonitorInfoW(MonitorFromWindow(FForm, MONITOR_DEFAULTTOPRIMARY), &Monitor);
    const RECT& Work = Monitor.rcWork;
    const int Width = Outer.right - Outer.left;
    const int Height = Outer.bottom - Outer.top;
    SetWindowPos(FForm, nullptr, Work.left + (Work.right - Work.left - Width) / 2, Work.top + (Work.bottom - Work.top - Height) / 2, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(FForm, ShowCommand);
    UpdateWindow(FForm);
    SetFocus(FButton2);
}

void TForm1::Update() {
    const std::u16string Text = U16(WindowText(FMemo1));
    const qr::TQRCodeGrid Grid = qrpicture::WindowGrid(Text);
    FQRCodeBitmap = qrpicture::MakeModuleBitmap(Grid);
    FNoSymbolReason.reset();
    if (!Grid.HasSymbol())
        FNoSymbolReason = qrwindow::NoSymbolReason(Grid.DataSize());
    // Painted before returning (nothing is painted while the window is hidden).
    InvalidateRect(FPaintBox1, nullptr, FALSE);
    UpdateWindow(FPaintBox1);
}

void TForm1::Paint(HDC Dc, int Width, int Height) const {
    // The core stretches the module bitmap by nearest neighbour into the largest square at the
    // top-left corner of a white area, and the result is copied one to one. StretchBlt in
    // COLORONCOLOR mode would stretch just as crisply, but it picks its source pixels by its own
    // rounding (Wine's differs from the core's by a pixel here and there), and then the saved
    // file would not be the one the other systems save for the same text.
    const qrpicture::TPixels Area = qrpicture::RenderDisplayArea(FQRCodeBitmap, Width, Height);
    if (Area.IsEmpty())
        return;
    const BITMAPINFO Info = DibHeader(Area.Width(), Area.Height());
    SetDIBitsToDevice(Dc, 0, 0, static_cast<DWORD>(Area.Width()), static_cast<DWORD>(Area.Height()), 0, 0, 0,
                      static_cast<UINT>(Area.Height()), Area.All().data(), &Info, DIB_RGB_COLORS);
}

qrpicture::TPixels TForm1::Capture() const {
    RECT Client;
    GetClientRect(FPaintBox1, &Client);
    const int Width = Client.right;
    const int Height = Client.bottom;
    qrpicture::TPixels Picture(Width, Height, qrpicture::kWhite);
    if (Picture.IsEmpty())
        return Picture;
    // The paint routine run into an off-screen DIB of the display area's size: the pixels the
    // screen shows, whether or not the window is covered.
    const BITMAPINFO Info = DibHeader(Width, Height);
    void* Bits = nullptr;
    const UniqueDc Memory(CreateCompatibleDC(nullptr));
    UniqueGdi Bitmap(CreateDIBSection(Memory.get(), &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    if (!Bitmap || !Bits)
        throw std::runtime_error("cannot capture the display area");
    const HGDIOBJ Old = SelectObject(Memory.get(), Bitmap.get());
    Paint(Memory.get(), Width, Height);
    GdiFlush();
    SelectObject(Memory.get(), Old);
    const auto* Source = static_cast<const std::uint32_t*>(Bits);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            Picture.SetPixel(X, Y, 0xFF000000u | Source[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(X)]);
    return Picture;
}

void TForm1::Button1Click() {
    // Without a symbol the picture is blank, and saving it would look like success: say why
    // there is nothing to save instead, and open no dialog.
    if (FNoSymbolReason) {
        ShowErrorBox(FForm, *FNoSymbolReason);
        return;
    }
    // Captured before the dialog opens: the file shows the display area as it was at the click.
    const qrpicture::TPixels Image1 = Capture();
    const std::optional<std::wstring> Path = FDialog(FForm);
    if (!Path)
        return;
    const std::vector<unsigned char> Bytes = qrpicture::PictureToJpeg(Image1, qrpicture::kSaveQuality);
    qrfiles::SaveFile(ToUtf8(*Path), Bytes);
}

void TForm1::Copiar1Click() {
    if (FNoSymbolReason)
        return;
    const qrpicture::TPixels Picture = Capture();
    // A packed DIB: the header and the rows bottom-up, as CF_DIB has them.
    const std::size_t RowBytes = static_cast<std::size_t>(Picture.Width()) * 4;
    const std::size_t Size = sizeof(BITMAPINFOHEADER) + RowBytes * static_cast<std::size_t>(Picture.Height());
    std::unique_ptr<void, GlobalDeleter> Memory(GlobalAlloc(GMEM_MOVEABLE, Size));
    if (!Memory)
        throw std::runtime_error("cannot copy the picture");
    auto* Bytes = static_cast<unsigned char*>(GlobalLock(Memory.get()));
    BITMAPINFO Info = DibHeader(Picture.Width(), Picture.Height());
    Info.bmiHeader.biHeight = Picture.Height();
    std::memcpy(Bytes, &Info.bmiHeader, sizeof(BITMAPINFOHEADER));
    for (int Y = 0; Y < Picture.Height(); ++Y)
        std::memcpy(Bytes + sizeof(BITMAPINFOHEADER) + RowBytes * static_cast<std::size_t>(Picture.Height() - 1 - Y),
                    Picture.Row(Y).data(), RowBytes);
    GlobalUnlock(Memory.get());
    if (!OpenClipboard(FForm))
        throw std::runtime_error("cannot open the clipboard");
    EmptyClipboard();
    if (SetClipboardData(CF_DIB, Memory.get()))
        Memory.release();  // the clipboard owns it now
    CloseClipboard();
}

// Code units the text box can still take in place of its selection.
int TForm1::Room() const {
    DWORD Start = 0, End = 0;
    SendMessageW(FMemo1, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
    const std::u16string Text = U16(WindowText(FMemo1));
    const std::size_t From = std::min<std::size_t>(Start, Text.size());
    const std::size_t To = std::min<std::size_t>(std::max(Start, End), Text.size());
    const int Kept = qrwindow::StoredLength(std::u16string_view(Text).substr(0, From)) +
                     qrwindow::StoredLength(std::u16string_view(Text).substr(To));
    return qrwindow::kMemoMaxLength - Kept;
}

// What the text box does differently from a plain EDIT: the 1200-unit limit for every way in,
// never cutting a surrogate pair or a CR LF pair, and Tab leaving the box.
std::optional<LRESULT> TForm1::MemoMessage(UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
    case WM_GETDLGCODE: {
        LRESULT Code = DefSubclassProc(FMemo1, Message, W, L);
        const MSG* Key = reinterpret_cast<const MSG*>(L);
        if (Key && (Key->message == WM_KEYDOWN || Key->message == WM_CHAR) && Key->wParam == VK_TAB)
            Code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return Code;
    }
    case WM_CHAR: {
        const auto Unit = static_cast<char16_t>(W);
        const bool HighSurrogate = Unit >= 0xD800 && Unit <= 0xDBFF;
        const bool LowSurrogate = Unit >= 0xDC00 && Unit <= 0xDFFF;
        if (LowSurrogate && FDroppedHighSurrogate) {
            FDroppedHighSurrogate = false;
            return 0;
        }
        FDroppedHighSurrogate = false;
        // A line break is two units, a surrogate pair arrives as two messages: either goes in
        // whole or not at all.
        const int Needed = Unit == u'\r' || Unit == u'\n' ? 2 : HighSurrogate ? 2 : 1;
        if (Unit >= 0x20 || Unit == u'\r' || Unit == u'\n') {
            if (Room() < Needed) {
                FDroppedHighSurrogate = HighSurrogate;
                MessageBeep(MB_OK);
                return 0;
            }
        }
        return std::nullopt;
    }
    case WM_PASTE: {
        if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(FMemo1))
            return 0;
        std::wstring Pasted;
        if (HANDLE Data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* Text = static_cast<const wchar_t*>(GlobalLock(Data))) {
                Pasted = Text;
                GlobalUnlock(Data);
            }
        }
        CloseClipboard();
        const std::u16string Stored = qrwindow::StoredText(U16(Pasted));
        const std::size_t Fits = qrwindow::FittingPrefix(Stored, Room());
        if (Fits < Stored.size())
            MessageBeep(MB_OK);
        SendMessageW(FMemo1, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Wide(std::u16string_view(Stored).substr(0, Fits)).c_str()));
        return 0;
    }
    case WM_SETTEXT: {
        // EDIT takes any length through WM_SETTEXT; the box's limit holds here too.
        const std::u16string Stored = qrwindow::StoredText(U16(L ? reinterpret_cast<const wchar_t*>(L) : L""));
        const std::size_t Fits = qrwindow::FittingPrefix(Stored, qrwindow::kMemoMaxLength);
        const std::wstring Kept = Wide(std::u16string_view(Stored).substr(0, Fits));
        const LRESULT Result = DefSubclassProc(FMemo1, Message, W, reinterpret_cast<LPARAM>(Kept.c_str()));
        // A multi-line EDIT sends no EN_CHANGE for WM_SETTEXT; the symbol follows the text all the same.
        Update();
        return Result;
    }
    default:
        return std::nullopt;
    }
}

LRESULT CALLBACK TForm1::MemoProc(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR, DWORD_PTR Data) {
    auto* Form = reinterpret_cast<TForm1*>(Data);
    if (Message == WM_NCDESTROY)
        RemoveWindowSubclass(Window, MemoProc, 1);
    else if (const std::optional<LRESULT> Result = Form->MemoMessage(Message, W, L))
        return *Result;
    return DefSubclassProc(Window, Message, W, L);
}

void TForm1::PaintPanel(HWND Panel, HDC Dc) const {
    RECT Client;
    GetClientRect(Panel, &Client);
    FillRect(Dc, &Client, static_cast<HBRUSH>(FGdi->Background.get()));
    // Panel1 raised, Panel2 sunken, each frame PanelFrame pixels wide.
    const bool Raised = Panel == FPanel1;
    const qrwindow::TTheme* T = FGdi->Theme;
    const COLORREF TopLeft = T ? Colour(Raised ? T->RaisedLight : T->SunkenShadow) : GetSysColor(Raised ? COLOR_3DHILIGHT : COLOR_3DSHADOW);
    const COLORREF BottomRight = T ? Colour(Raised ? T->RaisedShadow : T->SunkenLight) : GetSysColor(Raised ? COLOR_3DSHADOW : COLOR_3DHILIGHT);
    UniqueGdi Light(CreateSolidBrush(TopLeft));
    UniqueGdi Dark(CreateSolidBrush(BottomRight));
    for (int I = 0; I < FLayout.PanelFrame; ++I) {
        const RECT Top{I, I, Client.right - I, I + 1};
        const RECT Left{I, I, I + 1, Client.bottom - I};
        const RECT Bottom{I, Client.bottom - I - 1, Client.right - I, Client.bottom - I};
        const RECT Right{Client.right - I - 1, I, Client.right - I, Client.bottom - I};
        FillRect(Dc, &Top, static_cast<HBRUSH>(Light.get()));
        FillRect(Dc, &Left, static_cast<HBRUSH>(Light.get()));
        FillRect(Dc, &Bottom, static_cast<HBRUSH>(Dark.get()));
        FillRect(Dc, &Right, static_cast<HBRUSH>(Dark.get()));
    }
}

LRESULT TForm1::Handle(UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
    case WM_COMMAND:
        switch (LOWORD(W)) {
        case IdMemo1:
            if (HIWORD(W) == EN_CHANGE)
                Update();
            return 0;
        case IdButton1:
            if (HIWORD(W) == BN_CLICKED) {
                // An error that escapes the handler is shown, and the window goes on.
                try {
                    Button1Click();
                } catch (const std::exception& Error) {
                    ShowErrorBox(FForm, FromUtf8(Error.what()));
                }
            }
            return 0;
        case IdButton2:
            if (HIWORD(W) == BN_CLICKED)
                PostQuitMessage(0);
            return 0;
        case IdCopiar1:
            try {
                Copiar1Click();
            } catch (const std::exception& Error) {
                ShowErrorBox(FForm, FromUtf8(Error.what()));
            }
            return 0;
        default:
            return 0;
        }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        const HDC Dc = reinterpret_cast<HDC>(W);
        SetTextColor(Dc, reinterpret_cast<HWND>(L) == FLabel1 ? FGdi->LabelText : FGdi->Text);
        SetBkColor(Dc, FGdi->BackgroundColour);
        return reinterpret_cast<LRESULT>(FGdi->Background.get());
    }
    case WM_ERASEBKGND: {
        RECT Client;
        GetClientRect(FForm, &Client);
        FillRect(reinterpret_cast<HDC>(W), &Client, static_cast<HBRUSH>(FGdi->Background.get()));
        return 1;
    }
    case WM_NOTIFY: {
        const auto* Draw = reinterpret_cast<const NMCUSTOMDRAW*>(L);
        const bool Button = Draw->hdr.hwndFrom == FButton1 || Draw->hdr.hwndFrom == FButton2;
        if (Button && Draw->hdr.code == NM_CUSTOMDRAW && FGdi->Theme) {
            if (Draw->dwDrawStage != CDDS_PREERASE && Draw->dwDrawStage != CDDS_PREPAINT)
                return CDRF_DODEFAULT;
            DrawThemedButton(*Draw, *FGdi->Theme, static_cast<HFONT>(FGdi->Font.get()));
            return CDRF_SKIPDEFAULT;
        }
        return 0;
    }
    case WM_ACTIVATE:
        // As a dialog box does: the control that had the focus when the window lost it (to the
        // save dialog, an error box, another program) gets it back; at first "Sair", the first
        // control in tab order.
        if (LOWORD(W) == WA_INACTIVE) {
            const HWND Focus = GetFocus();
            if (Focus && IsChild(FForm, Focus))
                FFocused = Focus;
        } else if (!HIWORD(W)) {
            SetFocus(FFocused && IsWindow(FFocused) ? FFocused : FButton2);
        }
        return 0;
    case WM_GETMINMAXINFO: {
        // The window takes the layout's size even on a screen smaller than it (the system would
        // otherwise cut it to the screen, and the display area with it); never less than the
        // layout's minimum outer size.
        auto* Limits = reinterpret_cast<MINMAXINFO*>(L);
        Limits->ptMinTrackSize = {qrwindow::Scaled(550, FDpi), qrwindow::Scaled(320, FDpi)};
        Limits->ptMaxTrackSize = {std::max<LONG>(Limits->ptMaxTrackSize.x, 4 * FLayout.ClientSize.Width),
                                  std::max<LONG>(Limits->ptMaxTrackSize.y, 4 * FLayout.ClientSize.Height)};
        return 0;
    }
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(W), reinterpret_cast<const RECT*>(L));
        return 0;
    case WM_CLOSE:
        // The close box ends the program as "Sair" does.
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(FForm, Message, W, L);
    }
}

LRESULT CALLBACK TForm1::FormProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (Message == WM_NCCREATE) {
        auto* Form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(L)->lpCreateParams);
        Form->FForm = Window;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Form));
    }
    auto* Form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (!Form || !Form->FPanel2)
        return DefWindowProcW(Window, Message, W, L);
    return Form->Handle(Message, W, L);
}

namespace {

// WM_PAINT and WM_PRINTCLIENT alike: Draw into the window's own device context, or into the one
// the message brings (a capture of the window).
template <typename TDraw>
LRESULT PaintMessage(HWND Window, UINT Message, WPARAM W, TDraw Draw) {
    if (Message == WM_PRINTCLIENT) {
        Draw(reinterpret_cast<HDC>(W));
        return 0;
    }
    PAINTSTRUCT Paint;
    const HDC Dc = BeginPaint(Window, &Paint);
    Draw(Dc);
    EndPaint(Window, &Paint);
    return 0;
}

}  // namespace

LRESULT CALLBACK TForm1::PanelProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    TForm1* Form = FormOf(Window);
    if (!Form)
        return DefWindowProcW(Window, Message, W, L);
    switch (Message) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return PaintMessage(Window, Message, W, [&](HDC Dc) { Form->PaintPanel(Window, Dc); });
    case WM_ERASEBKGND:
        return 1;
    // The controls' notices go to the window, which handles them all.
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_NOTIFY:
        return Form->Handle(Message, W, L);
    default:
        return DefWindowProcW(Window, Message, W, L);
    }
}

LRESULT CALLBACK TForm1::PaintBoxProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    TForm1* Form = FormOf(Window);
    if (!Form)
        return DefWindowProcW(Window, Message, W, L);
    switch (Message) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return PaintMessage(Window, Message, W, [&](HDC Dc) {
            RECT Client;
            GetClientRect(Window, &Client);
            Form->Paint(Dc, Client.right, Client.bottom);
        });
    case WM_ERASEBKGND:
        return 1;
    case WM_CONTEXTMENU: {
        // "Copiar": the shown picture to the clipboard; there is nothing to copy without a symbol.
        const std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter> Menu(CreatePopupMenu());
        AppendMenuW(Menu.get(), MF_STRING | (Form->FNoSymbolReason ? MF_GRAYED : 0), IdCopiar1, WStr(qrwindow::kLayout.CopyCaption));
        POINT At{static_cast<short>(LOWORD(L)), static_cast<short>(HIWORD(L))};
        if (L == -1) {
            At = {0, 0};
            ClientToScreen(Window, &At);
        }
        const int Chosen = static_cast<int>(TrackPopupMenu(Menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, At.x, At.y, 0, Window, nullptr));
        if (Chosen == IdCopiar1)
            Form->Handle(WM_COMMAND, IdCopiar1, 0);
        return 0;
    }
    default:
        return DefWindowProcW(Window, Message, W, L);
    }
}

}  // namespace qrwin32
