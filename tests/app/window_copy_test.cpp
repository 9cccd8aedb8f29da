// The symbol to other programs: "Copiar" in the display area's menu puts the shown picture on
// the clipboard, a drag from the display area carries the same picture, and neither is offered
// while there is no symbol (the display area's tooltip then says why).

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <memory>
#include <optional>

#include "guitest.h"
#include "mainwindow.h"
#include "theme.h"
#include "window/theme.h"

using qrapp::TForm1;

namespace {

// The text of every action of the context menu that a right click on Widget opens, with whether
// it is enabled; Choose names an action to click in it (none: the menu is closed).
struct MenuItem {
    QString Text;
    bool Enabled;
};

std::vector<MenuItem> RightClick(QWidget* Widget, const QString& Choose = QString()) {
    std::vector<MenuItem> Items;
    QTimer::singleShot(50, Widget, [&] {
        auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!Menu)
            return;
        QAction* Chosen = nullptr;
        for (QAction* Item : Menu->actions()) {
            Items.push_back({Item->text(), Item->isEnabled()});
            if (Item->text() == Choose)
                Chosen = Item;
        }
        if (Chosen && Chosen->isEnabled()) {
            Menu->setActiveAction(Chosen);
            QTest::keyClick(Menu, Qt::Key_Return);
        } else {
            Menu->close();
        }
    });
    const QPoint At = Widget->rect().center();
    QContextMenuEvent Event(QContextMenuEvent::Mouse, At, Widget->mapToGlobal(At));
    QApplication::sendEvent(Widget, &Event);
    return Items;
}

// The picture a mime data carries as PNG, and as Qt's image, each in RGB32.
QImage PngOf(const QMimeData* Data) {
    return Data ? QImage::fromData(Data->data(QStringLiteral("image/png")), "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage ImageOf(const QMimeData* Data) {
    return Data && Data->hasImage() ? qvariant_cast<QImage>(Data->imageData()).convertToFormat(QImage::Format_RGB32) : QImage();
}

// Presses the left button on the display area and moves it well past the drag distance. Under
// the offscreen platform the drag ends at once; Qt deletes it later, so it can still be looked at.
QDrag* DragFrom(QWidget* Area) {
    const QPoint From(100, 100);
    QTest::mousePress(Area, Qt::LeftButton, Qt::NoModifier, From);
    QMouseEvent Move(QEvent::MouseMove, QPointF(From + QPoint(40, 40)), Area->mapToGlobal(QPointF(From + QPoint(40, 40))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Area, &Move);
    return Area->findChild<QDrag*>();
}

}  // namespace

class WindowCopyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> Form;
    std::optional<guitest::Form1Parts> Parts;

private slots:
    void initTestCase() { QVERIFY(qrapp::ApplyTheme(qrapp::ToQString(qrwindow::kThemeName))); }
    void init() { QVERIFY(guitest::OpenForm1(Form, Parts)); }
    void cleanup() { guitest::CloseForm1(Form, Parts); }

    void copiarPutsTheShownPictureOnTheClipboard() {
        const QString Text = QStringLiteral("Copiar: Olá 😀");
        Parts->Memo1->setFocus();
        guitest::Type(Parts->Memo1, Text);
        const QImage Shown = guitest::Grab(Parts->PaintBox1);

        const std::vector<MenuItem> Items = RightClick(Parts->PaintBox1, QStringLiteral("Copiar"));
        QCOMPARE(Items.size(), std::size_t{1});
        QCOMPARE(Items[0].Text, QStringLiteral("Copiar"));
        QVERIFY(Items[0].Enabled);

        const QMimeData* Copied = QApplication::clipboard()->mimeData();
        QVERIFY(Copied && Copied->hasFormat(QStringLiteral("image/png")));
        // Exactly the pixels shown, which are the pixels "Gravar" compresses.
        QCOMPARE(PngOf(Copied), Shown);
        QCOMPARE(ImageOf(Copied), Shown);
        QCOMPARE(Shown, guitest::DisplayAreaFor(Text, Shown.size()));
        QCOMPARE(guitest::Decode(PngOf(Copied)), std::vector<std::string>{guitest::Utf8(Text)});

        // The text box keeps its own Ctrl+C for its text.
        Parts->Memo1->selectAll();
        QTest::keyClick(Parts->Memo1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), Text);
    }

    void aDragFromTheDisplayAreaCarriesTheSamePicture() {
        Parts->Memo1->setPlainText(QStringLiteral("dragged"));
        const QImage Shown = guitest::Grab(Parts->PaintBox1);
        const QDrag* Drag = DragFrom(Parts->PaintBox1);
        QVERIFY(Drag);
        QCOMPARE(PngOf(Drag->mimeData()), Shown);
        QCOMPARE(ImageOf(Drag->mimeData()), Shown);
        QCOMPARE(guitest::Decode(PngOf(Drag->mimeData())), std::vector<std::string>{"dragged"});
    }

    void withoutASymbolNothingIsOfferedAndTheTooltipSaysWhy() {
        // 1200 euro signs: 3600 UTF-8 bytes, more than version 40 holds.
        Parts->Memo1->setPlainText(QString(1200, QChar(0x20AC)));
        QApplication::clipboard()->setText(QStringLiteral("the user's clipboard"));
        const std::vector<MenuItem> Items = RightClick(Parts->PaintBox1, QStringLiteral("Copiar"));
        QCOMPARE(Items.size(), std::size_t{1});
        QVERIFY(!Items[0].Enabled);
        Parts->Copiar1->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("the user's clipboard"));
        QVERIFY(!QApplication::clipboard()->mimeData()->hasImage());
        QVERIFY(!DragFrom(Parts->PaintBox1));
        QCOMPARE(Parts->PaintBox1->toolTip(), QStringLiteral("O texto tem 3600 bytes em UTF-8; o limite é 2953 bytes."));

        // Back within the limit (984 euro signs, 2952 bytes): the symbol, "Copiar" and dragging return.
        QTextCursor Cursor = Parts->Memo1->textCursor();
        Cursor.setPosition(984);
        Cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        Parts->Memo1->setTextCursor(Cursor);
        QTest::keyClick(Parts->Memo1, Qt::Key_Delete);
        QVERIFY(Parts->PaintBox1->toolTip().isEmpty());
        QVERIFY(Parts->Copiar1->isEnabled());
        QVERIFY(DragFrom(Parts->PaintBox1));
    }
};

QTEST_MAIN(WindowCopyTest)
#include "window_copy_test.moc"
