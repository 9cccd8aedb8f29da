#include "mainwindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "displayarea.h"
#include "errorbox.h"
#include "jpegsave.h"
#include "jpegwriter.h"
#include "modulebitmap.h"
#include "qtpixels.h"
#include "qtstrings.h"
#include "textlimit.h"
#include "window/layout.h"
#include "window/messages.h"

namespace qrapp {

namespace {

using qrwindow::kLayout;

QRect ToQRect(const qrwindow::TRect& Rect) { return {Rect.Left, Rect.Top, Rect.Width, Rect.Height}; }

// A panel's child, placed by the layout inside the panel's frame (its client area).
QRect InClientArea(const qrwindow::TRect& Rect) {
    return ToQRect(Rect).translated(kLayout.PanelFrame, kLayout.PanelFrame);
}

// The layout's colour as the widget's background; painted by the widget itself unless it is a
// text box, whose viewport paints it.
void SetBackground(QWidget& Widget, bool FillsItself = true) {
    const QColor Colour(kLayout.Colour.R, kLayout.Colour.G, kLayout.Colour.B);
    QPalette Palette = Widget.palette();
    Palette.setColor(QPalette::Window, Colour);
    Palette.setColor(QPalette::Base, Colour);
    Widget.setPalette(Palette);
    if (FillsItself)
        Widget.setAutoFillBackground(true);
}

// The picture for the clipboard and for drag and drop: PNG for other programs, and Qt's own
// image type, which the platform also offers in its other image formats.
std::unique_ptr<QMimeData> PictureMimeData(const QImage& Picture) {
    QByteArray Png;
    QBuffer Buffer(&Png);
    if (!Buffer.open(QIODevice::WriteOnly) || !Picture.save(&Buffer, "PNG"))
        throw std::runtime_error("Cannot make a PNG picture of the symbol");
    auto Data = std::make_unique<QMimeData>();
    Data->setData(QStringLiteral("image/png"), Png);
    Data->setImageData(Picture);
    return Data;
}

// The display area as a screen reader sees it: a graphic with the widget's accessible name and
// description, whose actions are the enabled actions of its menu, by their texts.
class TPaintBoxAccessible : public QAccessibleWidget {
public:
    explicit TPaintBoxAccessible(QWidget* Box) : QAccessibleWidget(Box, QAccessible::Graphic) {}

    QStringList actionNames() const override {
        QStringList Names = QAccessibleWidget::actionNames();
        for (const QAction* Item : widget()->actions())
            if (Item->isEnabled())
                Names << Item->text();
        return Names;
    }
    void doAction(const QString& Name) override {
        if (QAction* Item = MenuAction(Name))
            Item->trigger();
        else
            QAccessibleWidget::doAction(Name);
    }
    QStringList keyBindingsForAction(const QString& Name) const override {
        if (const QAction* Item = MenuAction(Name))
            return {Item->shortcut().toString(QKeySequence::NativeText)};
        return QAccessibleWidget::keyBindingsForAction(Name);
    }

private:
    QAction* MenuAction(const QString& Name) const {
        for (QAction* Item : widget()->actions())
            if (Item->isEnabled() && Item->text() == Name)
                return Item;
        return nullptr;
    }
};

// Qt's accessibility cache owns the interfaces the factory makes.
QAccessibleInterface* PaintBoxAccessible(const QString&, QObject* Object) {
    auto* Box = qobject_cast<TPaintBox*>(Object);
    return Box ? new TPaintBoxAccessible(Box) : nullptr;
}

}  // namespace

TPaintBox::TPaintBox(QWidget* Parent) : QWidget(Parent) {
    // Every pixel is painted by the handler: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    static const bool FactoryInstalled = [] {
        QAccessible::installFactory(PaintBoxAccessible);
        return true;
    }();
    (void)FactoryInstalled;
}

void TPaintBox::paintEvent(QPaintEvent*) {
    if (OnPaint)
        OnPaint();
}

void TPaintBox::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton)
        FPressedAt = Event->position().toPoint();
    QWidget::mousePressEvent(Event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* Event) {
    if (FPressedAt && (Event->buttons() & Qt::LeftButton) &&
        (Event->position().toPoint() - *FPressedAt).manhattanLength() >= QApplication::startDragDistance()) {
        FPressedAt.reset();
        if (OnStartDrag)
            OnStartDrag();
        return;
    }
    QWidget::mouseMoveEvent(Event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* Event) {
    FPressedAt.reset();
    QWidget::mouseReleaseEvent(Event);
}

TForm1::TForm1(QWidget* Parent) : QWidget(Parent) {
    SetUpWindow();
    CreateDisplayPanel();
    CreateTextPanel();
    ApplyWindowFont();
    CreateStatusBar();
    CreateImageHolder();
    ConnectEvents();
    Guarded(this, [this] { FormCreate(); });
}

void TForm1::SetUpWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ToQString(kLayout.Caption));
    // Single fixed frame: system menu, minimize and close, no maximize, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kLayout.ClientSize.Width, kLayout.ClientSize.Height);
    setFont(QFont(ToQString(kLayout.FontFamily), kLayout.FontPoints));
    SetBackground(*this);
}

void TForm1::CreateDisplayPanel() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(ToQRect(kLayout.Panel1));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(kLayout.PanelFrame);
    SetBackground(*Panel1);

    PaintBox1 = new TPaintBox(Panel1);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(InClientArea(kLayout.PaintBox1));

    PaintBox1->setAccessibleName(ToQString(qrwindow::kDisplayAreaName));

    // The display area's menu: "Copiar" puts the picture on the clipboard. Its Ctrl+C works
    // wherever the focus is in the window, except in the text box, which copies its own text.
    Copiar1 = new QAction(ToQString(kLayout.CopyCaption), PaintBox1);
    Copiar1->setObjectName(QStringLiteral("Copiar1"));
    Copiar1->setShortcut(QKeySequence::Copy);
    Copiar1->setShortcutContext(Qt::WindowShortcut);
    PaintBox1->addAction(Copiar1);
    PaintBox1->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Shift+F10 does what the context-menu key does: the focused control's menu, or the display
    // area's where it has none.
    auto* MenuKey = new QAction(this);
    MenuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    MenuKey->setShortcutContext(Qt::WindowShortcut);
    addAction(MenuKey);
    connect(MenuKey, &QAction::triggered, this, [] {
        if (QWidget* Focused = QApplication::focusWidget()) {
            const QPoint At = Focused->rect().center();
            QContextMenuEvent Event(QContextMenuEvent::Keyboard, At, Focused->mapToGlobal(At));
            QApplication::sendEvent(Focused, &Event);
        }
    });
}

void TForm1::CreateTextPanel() {
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(ToQRect(kLayout.Panel2));
    Panel2->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    SetBackground(*Panel2);

    Label1 = new QLabel(ToQString(kLayout.Label1Caption), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(InClientArea(kLayout.Label1).topLeft());

    // Created in tab order: "Sair", then "Gravar", then the text box.
    Button2 = new QPushButton(ToQString(kLayout.Button2Caption), Panel2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(InClientArea(kLayout.Button2));
    Button2->setFocusPolicy(Qt::StrongFocus);
    // Enter and keypad Enter press the focused button, as Space does.
    Button2->setAutoDefault(true);

    Button1 = new QPushButton(ToQString(kLayout.Button1Caption), Panel2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(InClientArea(kLayout.Button1));
    Button1->setFocusPolicy(Qt::StrongFocus);
    Button1->setAutoDefault(true);

    Memo1 = new TLimitedMemo(Panel2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(InClientArea(kLayout.Memo1));
    Memo1->SetMaxLength(qrwindow::kMemoMaxLength);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    SetBackground(*Memo1, false);
    // The label names the text box for screen readers.
    Label1->setBuddy(Memo1);

    setTabOrder(Button2, Button1);
    setTabOrder(Button1, Memo1);
    // The first control in tab order that takes the focus has it when the window is activated.
    Button2->setFocus();
}

void TForm1::ApplyWindowFont() {
    // Every control that takes the window's font is given it outright: a style sheet, and the
    // theme's applies to the whole application, stops fonts from passing down from parents.
    for (QWidget* Control : std::initializer_list<QWidget*>{Panel1, PaintBox1, Panel2, Label1, Memo1, Button1, Button2})
        Control->setFont(font());
    // Sized to its text in that font.
    Label1->adjustSize();
}

void TForm1::CreateStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(ToQRect(kLayout.StatusBar1));
    StatusBar1->setSizeGripEnabled(false);
    // The system's status-bar font, which Qt keeps as its font for the class. Every property is
    // marked as set, so that neither the window's font nor the style sheet takes its place.
    QFont StatusBarFont = QApplication::font(StatusBar1);
    StatusBarFont.setResolveMask(QFont::AllPropertiesResolved);
    StatusBar1->setFont(StatusBarFont);
    // The panels are placed by hand, not laid out by the bar, so that they meet at the end of
    // panel 0 and panel 1 ends at the bar's right edge; each draws its own sunken frame.
    const int Split = kLayout.StatusPanel0Width;
    const QRect PanelRects[] = {{0, 0, Split, StatusBar1->height()},
                                {Split, 0, StatusBar1->width() - Split, StatusBar1->height()}};
    const std::u16string_view PanelTexts[] = {kLayout.StatusPanel0Text, kLayout.StatusPanel1Text};
    for (int i = 0; i < 2; ++i) {
        auto* Panel = new QLabel(ToQString(PanelTexts[i]), StatusBar1);
        Panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        Panel->setGeometry(PanelRects[i]);
        Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Panel->setAlignment(Qt::AlignCenter);
        Panel->setFont(StatusBarFont);
    }
}

void TForm1::CreateImageHolder() {
    // Holds the picture being saved; never shown, and outside the client area anyway.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(ToQRect(kLayout.Image1));
    Image1->setScaledContents(true);
    Image1->hide();
}

void TForm1::ConnectEvents() {
    // Qt carries no exception through its event loop: each handler catches at its boundary.
    connect(Memo1, &TLimitedMemo::Change, this, [this] { Guarded(this, [this] { Memo1Change(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Button2Click(); }); });
    connect(Copiar1, &QAction::triggered, this, [this] { Guarded(this, [this] { Copiar1Click(); }); });
    PaintBox1->OnStartDrag = [this] { Guarded(this, [this] { PaintBox1StartDrag(); }); };
    // A paint handler must not open a nested event loop: its error box is shown afterwards.
    PaintBox1->OnPaint = [this] { GuardedPosted(this, [this] { PaintBox1Paint(); }); };
}

TForm1::~TForm1() {
    PaintBox1->OnPaint = nullptr;
    PaintBox1->OnStartDrag = nullptr;
    Guarded(nullptr, [this] { FormDestroy(); });
}

void TForm1::ShowCentred() {
    if (const QScreen* Screen = screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), Screen->availableGeometry()));
    show();
    KeepFixedSize();
}

namespace {

bool IsMaximized(Qt::WindowStates States) { return States & (Qt::WindowMaximized | Qt::WindowFullScreen); }

QSize FixedSize() { return {kLayout.ClientSize.Width, kLayout.ClientSize.Height}; }

}  // namespace

void TForm1::KeepFixedSize() {
    // The window's own signal, not the widget's state-change event: it comes at the request,
    // before the request reaches the compositor, so the limit is lifted before the compositor
    // can answer with a size.
    if (QWindow* Handle = windowHandle())
        connect(Handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState State) {
            Apply(FFixedSize.StateChanged(IsMaximized(State), size() == FixedSize()));
        });
}

void TForm1::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    Apply(FFixedSize.Resized(IsMaximized(windowState()), size() == FixedSize()));
}

void TForm1::Apply(qrwindow::TFixedSizeAction Action) {
    switch (Action) {
        case qrwindow::TFixedSizeAction::None:
            break;
        case qrwindow::TFixedSizeAction::LiftSizeLimit:
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            break;
        case qrwindow::TFixedSizeAction::AskForNormal:
            // Once the resize is done with.
            QTimer::singleShot(0, this, [this] {
                if (QWindow* Handle = windowHandle())
                    Handle->setWindowStates(Handle->windowStates() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
            });
            break;
        case qrwindow::TFixedSizeAction::FixSizeAgain:
            setFixedSize(FixedSize());
            break;
    }
}

void TForm1::FormCreate() {
    QRCodeBitmap = qrpicture::TPixels();
    Update();
    ShowWhetherThereIsASymbol();
}

void TForm1::FormDestroy() { QRCodeBitmap = qrpicture::TPixels(); }

void TForm1::Memo1Change() {
    Update();
    ShowWhetherThereIsASymbol();
}

void TForm1::ShowWhetherThereIsASymbol() {
    PaintBox1->setToolTip(FNoSymbolReason.value_or(QString()));
    PaintBox1->setAccessibleDescription(FSymbolDescription);
    Copiar1->setEnabled(!FNoSymbolReason);
}

void TForm1::contextMenuEvent(QContextMenuEvent* Event) {
    if (Event->reason() != QContextMenuEvent::Keyboard) {
        Event->ignore();
        return;
    }
    const QPoint At = PaintBox1->rect().center();
    QMenu::exec(PaintBox1->actions(), PaintBox1->mapToGlobal(At), nullptr, PaintBox1);
}

void TForm1::Update() {
    const QString Text = Memo1->Text();
    const qr::TQRCodeGrid Grid = qrpicture::WindowGrid(View(Text));
    QRCodeBitmap = qrpicture::MakeModuleBitmap(Grid);
    FNoSymbolReason.reset();
    FSymbolDescription = ToQString(qrwindow::DisplayAreaDescription(Grid));
    if (!Grid.HasSymbol())
        FNoSymbolReason = ToQString(qrwindow::NoSymbolReason(Grid.DataSize()));
    // Paints before returning; does nothing while the window is hidden.
    PaintBox1->repaint();
}

QSize TForm1::DisplayAreaDeviceSize() const {
    const qreal Ratio = PaintBox1->devicePixelRatioF();
    return {qRound(PaintBox1->width() * Ratio), qRound(PaintBox1->height() * Ratio)};
}

QImage TForm1::DisplayAreaPixels() const {
    const QSize Size = DisplayAreaDeviceSize();
    return ToQImage(qrpicture::RenderDisplayArea(QRCodeBitmap, Size.width(), Size.height()));
}

void TForm1::PaintBox1Paint() {
    // Rendered at the device resolution and drawn one to one, so modules stay crisp at any scale.
    QImage Area = DisplayAreaPixels();
    Area.setDevicePixelRatio(PaintBox1->devicePixelRatioF());
    QPainter Canvas(PaintBox1);
    Canvas.drawImage(QPoint(0, 0), Area);
}

void TForm1::Button1Click() {
    // Without a symbol the picture is blank, and saving it would look like success: say why
    // there is nothing to save instead, and open no dialog.
    if (FNoSymbolReason) {
        ShowErrorBox(this, *FNoSymbolReason);
        return;
    }
    // The capture is complete before the dialog opens, so the file shows the display area as it
    // was at the click, whatever happens while the dialog is open.
    Image1->setPixmap(QPixmap::fromImage(DisplayAreaPixels()));
    SaveToJpegfile(qrpicture::kSaveQuality);
}

void TForm1::SaveToJpegfile(int Compress) {
    // Cancelling gives no path: then nothing is compressed, written or shown.
    const std::optional<QString> Path = AskJpegFileName(this);
    if (!Path)
        return;
    // Compressed completely in memory, then written atomically: a failure throws (shown by the
    // error box) and leaves any file of that name as it was.
    SavePictureAsJpeg(Image1->pixmap().toImage(), Path, Compress);
}

void TForm1::Button2Click() { QCoreApplication::quit(); }

void TForm1::Copiar1Click() {
    // The picture as shown: the very pixels "Gravar" would compress.
    if (!FNoSymbolReason)
        QApplication::clipboard()->setMimeData(PictureMimeData(DisplayAreaPixels()).release());
}

void TForm1::PaintBox1StartDrag() {
    if (FNoSymbolReason)
        return;
    const QImage Picture = DisplayAreaPixels();
    // Qt deletes the drag (a child of the display area) when it is over.
    auto* Drag = new QDrag(PaintBox1);
    Drag->setMimeData(PictureMimeData(Picture).release());
    // A small copy of the symbol under the pointer, scaled without smoothing.
    constexpr int kDragPixmapSide = 96;
    Drag->setPixmap(QPixmap::fromImage(Picture.scaled(kDragPixmapSide, kDragPixmapSide, Qt::KeepAspectRatio, Qt::FastTransformation)));
    Drag->setHotSpot({kDragPixmapSide / 2, kDragPixmapSide / 2});
    Drag->exec(Qt::CopyAction);
}

}  // namespace qrapp
