#pragma once
// The main window: a text box on the left, the symbol of its text on the right, redrawn after
// every change. The components are placed as the window's layout table gives them (pixels at
// 96 DPI; Qt's high-DPI scaling takes them to the screen's DPI), and each event runs one small
// handler.

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

#include "pixels.h"
#include "window/fixedsize.h"

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;

namespace qrapp {

class TLimitedMemo;

// The display area: a plain widget painted entirely by its owner's handler, and the start of a
// drag of its picture. Screen readers see it as a graphic, named and described by its accessible
// name and description, whose actions are those of its menu.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* Parent = nullptr);
    std::function<void()> OnPaint;
    // The left button was pressed on the area and moved by the platform's drag distance.
    std::function<void()> OnStartDrag;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    std::optional<QPoint> FPressedAt;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // Shows the window centred on its screen.
    void ShowCentred();

    // Rebuilds QRCodeBitmap from the text of Memo1 and repaints the display area at once.
    void Update();

protected:
    // The context-menu key (and Shift+F10) where the focused control has no menu of its own:
    // the display area's menu, which takes no focus itself, opens over it.
    void contextMenuEvent(QContextMenuEvent* Event) override;
    // Part of keeping the fixed size when the window is maximized all the same (FFixedSize).
    void resizeEvent(QResizeEvent* Event) override;

private:
    // Setting up, in the order the constructor runs it: the window itself, its components (each
    // with its object name, placed from the layout table), then the wiring of their events.
    void SetUpWindow();
    void CreateDisplayPanel();
    void CreateTextPanel();
    void ApplyWindowFont();
    void CreateStatusBar();
    void CreateImageHolder();
    void ConnectEvents();
    // Follows a maximize or full-screen request as FFixedSize says, and undoes it.
    void KeepFixedSize();
    void Apply(qrwindow::TFixedSizeAction Action);

    void FormCreate();
    void FormDestroy();
    void Memo1Change();
    void PaintBox1Paint();
    void Button1Click();
    void Button2Click();
    // Puts the shown picture on the clipboard, and starts a drag of it.
    void Copiar1Click();
    void PaintBox1StartDrag();
    // The display area's tooltip gives the reason, and "Copiar" is off, while there is no symbol;
    // its accessible description tells the symbol or the reason.
    void ShowWhetherThereIsASymbol();
    // Asks for a file name and writes the picture held by Image1 there as JPEG of quality
    // Compress (1 to 100); cancelling does nothing. Failures are thrown.
    void SaveToJpegfile(int Compress);

    // The display area's size in device pixels, and its picture as PaintBox1Paint draws it.
    QSize DisplayAreaDeviceSize() const;
    QImage DisplayAreaPixels() const;

    // The components, named as their object names.
    QPushButton* Button1 = nullptr;  // "Gravar"
    TLimitedMemo* Memo1 = nullptr;
    QLabel* Image1 = nullptr;        // hidden holder of the picture being saved
    QPushButton* Button2 = nullptr;  // "Sair"
    QFrame* Panel1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Panel2 = nullptr;
    QAction* Copiar1 = nullptr;  // "Copiar" in the display area's menu

    // One pixel per module of the current symbol: black dark, white light.
    qrpicture::TPixels QRCodeBitmap;
    // Why the code grid of the last Update held no symbol; nothing when it held one.
    std::optional<QString> FNoSymbolReason;
    // The symbol of the last Update, or the reason there is none, for screen readers.
    QString FSymbolDescription;
    qrwindow::TFixedSizeKeeper FFixedSize;
};

}  // namespace qrapp
