// The window without a mouse, and as a screen reader sees it: the text box named by its label,
// the display area named and described by its symbol (or the reason there is none) with
// "Copiar" among its actions, the context-menu key and Shift+F10 opening the display area's menu
// where the focused control has none, and Ctrl+C copying the picture from the buttons.

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

#include "guitest.h"
#include "mainwindow.h"
#include "qtstrings.h"
#include "window/messages.h"

using qrapp::TForm1;

namespace {

QString Expected(std::u16string_view Text) { return qrapp::ToQString(Text); }

// The description the display area must have for Text.
QString DescriptionFor(const QString& Text) {
    return qrapp::ToQString(qrwindow::DisplayAreaDescription(qrpicture::WindowGrid(qrapp::View(Text))));
}

// The texts of the popup menu that Open opens; none when no menu opens. The menu is closed again.
std::optional<QStringList> MenuOpenedBy(const std::function<void()>& Open) {
    std::optional<QStringList> Items;
    QTimer::singleShot(100, [&] {
        auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!Menu)
            return;
        Items.emplace();
        for (const QAction* Item : Menu->actions())
            if (!Item->isSeparator())
                Items->append(Item->text());
        Menu->close();
    });
    Open();
    QTest::qWait(200);
    return Items;
}

// The window's platform turns the context-menu key into a context-menu event for the focused
// control (X11 and Wayland do; the offscreen platform leaves it to us).
void PressMenuKey() {
    QWidget* Focused = QApplication::focusWidget();
    const QPoint At = Focused->rect().center();
    QContextMenuEvent Event(QContextMenuEvent::Keyboard, At, Focused->mapToGlobal(At));
    QApplication::sendEvent(Focused, &Event);
}

QImage ClipboardImage() {
    const QMimeData* Data = QApplication::clipboard()->mimeData();
    return Data && Data->hasImage() ? qvariant_cast<QImage>(Data->imageData()).convertToFormat(QImage::Format_RGB32) : QImage();
}

}  // namespace

class WindowAccessTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QApplication::clipboard()->clear();
        QVERIFY(guitest::OpenForm1(Form, Parts));
        QTRY_VERIFY(Form->isActiveWindow());
    }
    void cleanup() { guitest::CloseForm1(Form, Parts); }

    void theTextBoxIsNamedByItsLabel() {
        QCOMPARE(Parts->Label1->buddy(), Parts->Memo1);
        QAccessibleInterface* Memo = QAccessible::queryAccessibleInterface(Parts->Memo1);
        QVERIFY(Memo);
        QCOMPARE(Memo->text(QAccessible::Name), Parts->Label1->text());
    }

    void theDisplayAreaTellsItsSymbolOrWhyThereIsNone() {
        QAccessibleInterface* Area = QAccessible::queryAccessibleInterface(Parts->PaintBox1);
        QVERIFY(Area);
        QCOMPARE(Area->role(), QAccessible::Graphic);
        QCOMPARE(Area->text(QAccessible::Name), Expected(qrwindow::kDisplayAreaName));
        QAccessibleActionInterface* Actions = Area->actionInterface();
        QVERIFY(Actions);
        const QString Copiar = Parts->Copiar1->text();

        struct Step {
            QString Text;
            bool HasSymbol;
        };
        // 985 euro signs are 2955 UTF-8 bytes, two more than version 40 holds; 984 fit.
        const Step Steps[] = {{"", true}, {"Olá, mundo", true}, {QString(985, u'€'), false}, {QString(984, u'€'), true}};
        for (const Step& S : Steps) {
            Parts->Memo1->setPlainText(S.Text);
            QCOMPARE(Area->text(QAccessible::Description), DescriptionFor(S.Text));
            QCOMPARE(Actions->actionNames().contains(Copiar), S.HasSymbol);
            if (!S.HasSymbol)
                QCOMPARE(Area->text(QAccessible::Description), Parts->PaintBox1->toolTip());
        }

        // The action copies the picture as shown, and names its key.
        QCOMPARE(Actions->keyBindingsForAction(Copiar), QStringList{QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText)});
        Actions->doAction(Copiar);
        QCOMPARE(ClipboardImage(), guitest::Grab(Parts->PaintBox1));
    }

    void theMenuKeysOpenTheDisplayAreasMenuFromTheButtons() {
        // The focus starts where it always did.
        QCOMPARE(QApplication::focusWidget(), Parts->Button2);
        const QStringList AreaMenu{Parts->Copiar1->text()};
        const std::function<void()> ShiftF10 = [this] { QTest::keyClick(Form->windowHandle(), Qt::Key_F10, Qt::ShiftModifier); };
        for (QWidget* Button : {static_cast<QWidget*>(Parts->Button2), static_cast<QWidget*>(Parts->Button1)}) {
            Button->setFocus();
            QCOMPARE(MenuOpenedBy(ShiftF10), std::optional<QStringList>(AreaMenu));
            QCOMPARE(MenuOpenedBy(PressMenuKey), std::optional<QStringList>(AreaMenu));
            QCOMPARE(QApplication::focusWidget(), Button);
        }
        // In the text box both keys open the text box's own menu.
        Parts->Memo1->setFocus();
        for (const std::function<void()>& Open : {ShiftF10, std::function<void()>(PressMenuKey)}) {
            const std::optional<QStringList> Items = MenuOpenedBy(Open);
            QVERIFY(Items);
            QVERIFY2(*Items != AreaMenu && Items->size() > 1, qPrintable(Items->join(u'|')));
        }
    }

    void ctrlCCopiesThePictureFromAButtonAndTheTextInTheTextBox() {
        guitest::Type(Parts->Memo1, "Texto copiado");
        Parts->Button1->setFocus();
        QTest::keyClick(Form->windowHandle(), Qt::Key_C, Qt::ControlModifier);
        const QImage Shown = guitest::Grab(Parts->PaintBox1);
        QCOMPARE(ClipboardImage(), Shown);
        QCOMPARE(guitest::Decode(ClipboardImage()), std::vector<std::string>{"Texto copiado"});

        // In the text box, Ctrl+C copies the selected text, not the picture.
        QApplication::clipboard()->clear();
        Parts->Memo1->setFocus();
        Parts->Memo1->selectAll();
        QTest::keyClick(Form->windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("Texto copiado"));
        QVERIFY(ClipboardImage().isNull());

        // No symbol, nothing copied.
        Parts->Memo1->setPlainText(QString(985, u'€'));
        QApplication::clipboard()->clear();
        Parts->Button2->setFocus();
        QTest::keyClick(Form->windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(ClipboardImage().isNull());
    }

private:
    std::unique_ptr<TForm1> Form;
    std::optional<guitest::Form1Parts> Parts;
};

QTEST_MAIN(WindowAccessTest)
#include "window_access_test.moc"
