#pragma once
// Helpers shared by the window tests: grabbing the display area, decoding it with zbar, typing
// any text, and answering the modal boxes the code under test opens.

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zbardecode.h"

namespace guitest {

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
