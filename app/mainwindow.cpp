#include "mainwindow.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

#include <optional>
#include <string_view>

#include "displayarea.h"
#include "errorbox.h"
#include "jpegsave.h"
#include "jpegwriter.h"
#include "modulebitmap.h"
#include "qtpixels.h"
#include "textlimit.h"
#include "theme.h"

namespace qrapp {

namespace {

constexpr auto kCaption = "Quandrel QR Code - por Quandrel Software";
constexpr auto kProductName = "Quandrel QR Code";
constexpr auto kMakersNotice = "Quandrel Software - gerador de símbolos QR Code";

// Child positions are given inside the panels' frame (client area).
QRect InClientArea(int Left, int Top, int Width, int Height) {
    return {Left + kPanelFrame, Top + kPanelFrame, Width, Height};
}

QPalette WhiteBackground(QPalette Palette) {
    Palette.setColor(QPalette::Window, Qt::white);
    Palette.setColor(QPalette::Base, Qt::white);
    return Palette;
}

}  // namespace

TPaintBox::TPaintBox(QWidget* Parent) : QWidget(Parent) {
    // Every pixel is painted by the handler: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    if (OnPaint)
        OnPaint();
}

TForm1::TForm1(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kCaption));
    // Single fixed frame: system menu, minimize and close, no maximize, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(764, 454);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setPalette(WhiteBackground(palette()));
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(334, 8, 420, 420);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(kPanelFrame);
    Panel1->setPalette(WhiteBackground(Panel1->palette()));
    Panel1->setAutoFillBackground(true);

    PaintBox1 = new TPaintBox(Panel1);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(InClientArea(6, 4, qrpicture::kDisplayAreaSide, qrpicture::kDisplayAreaSide));

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(8, 8, 320, 420);
    Panel2->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Panel2->setPalette(WhiteBackground(Panel2->palette()));
    Panel2->setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Texto a codificar:"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(InClientArea(8, 4, 0, 0).topLeft());
    Label1->adjustSize();

    // Created in tab order: "Sair", then "Gravar", then the text box.
    Button2 = new QPushButton(QStringLiteral("Sair"), Panel2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(InClientArea(133, 373, 100, 30));
    Button2->setFocusPolicy(Qt::StrongFocus);

    Button1 = new QPushButton(QStringLiteral("Gravar"), Panel2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(InClientArea(8, 373, 100, 30));
    Button1->setFocusPolicy(Qt::StrongFocus);

    Memo1 = new TLimitedMemo(Panel2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(InClientArea(8, 23, 300, 344));
    Memo1->SetMaxLength(kMemoMaxLength);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    Memo1->setPalette(WhiteBackground(Memo1->palette()));

    setTabOrder(Button2, Button1);
    setTabOrder(Button1, Memo1);
    // The first control in tab order that takes the focus has it when the window is activated.
    Button2->setFocus();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 434, 764, 20);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFont(QFont());  // the system's status-bar font, not the window's
    auto* Panel0Text = new QLabel(QString::fromUtf8(kProductName), StatusBar1);
    Panel0Text->setObjectName(QStringLiteral("StatusBar1Panel0"));
    Panel0Text->setAlignment(Qt::AlignCenter);
    Panel0Text->setFixedWidth(200);
    StatusBar1->addWidget(Panel0Text);
    auto* Panel1Text = new QLabel(QString::fromUtf8(kMakersNotice), StatusBar1);
    Panel1Text->setObjectName(QStringLiteral("StatusBar1Panel1"));
    Panel1Text->setAlignment(Qt::AlignCenter);
    StatusBar1->addWidget(Panel1Text, 1);

    // Holds the picture being saved; never shown, and outside the client area anyway.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(992, 80, 100, 100);
    Image1->setScaledContents(true);
    Image1->hide();

    // Qt carries no exception through its event loop: each handler catches at its boundary.
    connect(Memo1, &TLimitedMemo::Change, this, [this] { Guarded(this, [this] { Memo1Change(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Button2Click(); }); });
    // A paint handler must not open a nested event loop: its error box is shown afterwards.
    PaintBox1->OnPaint = [this] { GuardedPosted(this, [this] { PaintBox1Paint(); }); };

    Guarded(this, [this] { FormCreate(); });
}

TForm1::~TForm1() {
    PaintBox1->OnPaint = nullptr;
    Guarded(nullptr, [this] { FormDestroy(); });
}

void TForm1::ShowCentred() {
    if (const QScreen* Screen = screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), Screen->availableGeometry()));
    show();
}

void TForm1::FormCreate() {
    QRCodeBitmap = qrpicture::TPixels();
    Update();
}

void TForm1::FormDestroy() { QRCodeBitmap = qrpicture::TPixels(); }

void TForm1::Memo1Change() { Update(); }

void TForm1::Update() {
    const QString Text = Memo1->Text();
    QRCodeBitmap = qrpicture::WindowModuleBitmap(
        std::u16string_view(reinterpret_cast<const char16_t*>(Text.utf16()), static_cast<std::size_t>(Text.size())));
    // Paints before returning; does nothing while the window is hidden.
    PaintBox1->repaint();
}

QImage TForm1::ModuleBitmap() const { return ToQImage(QRCodeBitmap); }

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

}  // namespace qrapp
