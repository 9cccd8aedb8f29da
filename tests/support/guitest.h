#pragma once
// Helpers shared by the window tests: the window's components found by their object names,
// grabbing the display area, decoding it with zbar, typing any text, and answering the modal
// boxes the code under test opens.

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "displayarea.h"
#include "mainwindow.h"
#include "modulebitmap.h"
#include "qtpixels.h"
#include "qtstrings.h"
#include "textlimit.h"
#include "zbardecode.h"

namespace guitest {

// The child of Parent with that object name and type; a test without it cannot go on.
template <typename T>
T* Find(const QObject& Parent, const char* Name) {
    T* Child = Parent.findChild<T*>(QString::fromLatin1(Name));
    if (!Child)
        qFatal("no %s named %s", T::staticMetaObject.className(), Name);
    return Child;
}

// The components of the main window, by the names the window gives them.
struct Form1Parts {
    explicit Form1Parts(const QWidget& Form)
        : Button1(Find<QPushButton>(Form, "Button1")),
          Memo1(Find<qrapp::TLimitedMemo>(Form, "Memo1")),
          Image1(Find<QLabel>(Form, "Image1")),
          Button2(Find<QPushButton>(Form, "Button2")),
          Panel1(Find<QFrame>(Form, "Panel1")),
          PaintBox1(Find<QWidget>(Form, "PaintBox1")),
          StatusBar1(Find<QStatusBar>(Form, "StatusBar1")),
          Label1(Find<QLabel>(Form, "Label1")),
          Panel2(Find<QFrame>(Form, "Panel2")),
          Copiar1(Find<QAction>(Form, "Copiar1")) {}

    QPushButton* Button1;
    qrapp::TLimitedMemo* Memo1;
    QLabel* Image1;
    QPushButton* Button2;
    QFrame* Panel1;
    QWidget* PaintBox1;
    QStatusBar* StatusBar1;
    QLabel* Label1;
    QFrame* Panel2;
    QAction* Copiar1;
};

// The widget's pixels as shown, at device resolution (Format_RGB32, one image pixel per device pixel).
inline QImage Grab(QWidget* Widget) {
    QImage Picture = Widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Picture.setDevicePixelRatio(1);
    return Picture;
}

// Every QR symbol zbar finds in Picture, as raw bytes.
inline std::vector<std::string> Decode(const QImage& Picture) {
    const QImage Grey = Picture.convertToFormat(QImage::Format_Grayscale8);
    std::vector<std::uint8_t> Samples;
    Samples.reserve(static_cast<std::size_t>(Grey.width()) * static_cast<std::size_t>(Grey.height()));
    for (int y = 0; y < Grey.height(); ++y) {
        const uchar* Line = Grey.constScanLine(y);  // rows may be padded: copy only the width
        Samples.insert(Samples.end(), Line, Line + Grey.width());
    }
    return zbartest::DecodeGrey(Samples, Grey.width(), Grey.height());
}

// Makes the main window with its parts at hand and shows it centred; false when it was not
// exposed in time. CloseForm1 destroys it again.
inline bool OpenForm1(std::unique_ptr<qrapp::TForm1>& Form, std::optional<Form1Parts>& Parts) {
    Form = std::make_unique<qrapp::TForm1>();
    Parts.emplace(*Form);
    Form->ShowCentred();
    return QTest::qWaitForWindowExposed(Form.get());
}

inline void CloseForm1(std::unique_ptr<qrapp::TForm1>& Form, std::optional<Form1Parts>& Parts) {
    Parts.reset();
    Form.reset();
}

// The display area of Size device pixels as the picture core draws it for Text (the text box's
// text, CR LF line breaks): what the window must show and save for that text.
inline QImage DisplayAreaFor(const QString& Text, QSize Size) {
    const qrpicture::TPixels Bitmap = qrpicture::WindowModuleBitmap(qrapp::View(Text));
    return qrapp::ToQImage(qrpicture::RenderDisplayArea(Bitmap, Size.width(), Size.height()));
}

// The side of the module bitmap the window holds for Text: the symbol's modules and the quiet
// zone, or 8 when no version holds the text.
inline int ModuleBitmapSide(const QString& Text) { return qrpicture::WindowModuleBitmap(qrapp::View(Text)).Width(); }

inline std::string Utf8(const QString& Text) { return Text.toUtf8().toStdString(); }

// Types Text into Widget one character at a time as key presses carrying that text (a surrogate
// pair is one key); a line feed is the Enter key.
inline void Type(QWidget* Widget, const QString& Text) {
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == u'\n') {
            QTest::keyClick(Widget, Qt::Key_Return);
            continue;
        }
        const qsizetype Units = Text[i].isHighSurrogate() && i + 1 < Text.size() ? 2 : 1;
        const QString Key = Text.mid(i, Units);
        QKeyEvent Press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, Key);
        QKeyEvent Release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, Key);
        QApplication::sendEvent(Widget, &Press);
        QApplication::sendEvent(Widget, &Release);
        i += Units - 1;
    }
}

// Runs Action, which is expected to open a modal box; Inspect sees the box and must close it.
// Returns false when no box came up within a few seconds (the box, if late, is closed then).
inline bool WithModal(const std::function<void()>& Action, const std::function<void(QWidget*)>& Inspect) {
    bool Seen = false;
    QTimer Poll;
    Poll.setInterval(10);
    int Ticks = 0;
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        if (QWidget* Box = QApplication::activeModalWidget()) {
            Poll.stop();
            Seen = true;
            Inspect(Box);
            if (Box->isVisible())
                Box->close();
        } else if (++Ticks > 500) {
            Poll.stop();
        }
    });
    Poll.start();
    Action();
    Poll.stop();
    return Seen;
}

}  // namespace guitest
