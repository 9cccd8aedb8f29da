// The main window at 96 DPI, driven as a user would: what the display area shows, how the text box
// takes text, the layout and the fonts the user sees, the focus order and the keys that press
// buttons, the error box, the theme and Qt's translations.

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFontInfo>
#include <QFrame>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTranslator>

#include <memory>
#include <optional>
#include <stdexcept>

#include "errorbox.h"
#include "guitest.h"
#include "mainwindow.h"
#include "textlimit.h"
#include "theme.h"
#include "translations.h"
#include "window/theme.h"

using qrapp::TForm1;

namespace {

// The version 1 symbol of the empty text (byte mode, level L, mask 0), row 0 at the top.
const char* const kEmptyTextSymbol[21] = {
    "XXXXXXX...X.X.XXXXXXX", "X.....X.....X.X.....X", "X.XXX.X.X.X...X.XXX.X", "X.XXX.X.....X.X.XXX.X",
    "X.XXX.X..X.XX.X.XXX.X", "X.....X..XXX..X.....X", "XXXXXXX.X.X.X.XXXXXXX", "........X.X..........",
    "XXX.XXXXX.X.XXX...X..", "X.X..X..X.XX.X.X.X.X.", "..X.X.X..X.X.XXX.XXX.", ".X..XX.X.XXXXX.XXX.XX",
    "XX.XXXXX.XXX.XXX.XXX.", "........XXX...X...XX.", "XXXXXXX.X...X...X...X", "X.....X.XXX...X...XX.",
    "X.XXX.X.X...X.X.X.X.X", "X.XXX.X..X.X.X.X.X.X.", "X.XXX.X.X.XX.XXX.XX.X", "X.....X.XX.XXX.XXX.X.",
    "XXXXXXX.XX.X.XXX.XXXX",
};

bool AllWhite(const QImage& Picture) {
    for (int y = 0; y < Picture.height(); ++y)
        for (int x = 0; x < Picture.width(); ++x)
            if (Picture.pixel(x, y) != 0xFFFFFFFFu)
                return false;
    return true;
}

// Text from the end of the box: selects the last Count characters and deletes them.
void DeleteLast(qrapp::TLimitedMemo* Memo, int Count) {
    QTextCursor Cursor = Memo->textCursor();
    Cursor.movePosition(QTextCursor::End);
    Cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, Count);
    Memo->setTextCursor(Cursor);
    QTest::keyClick(Memo, Qt::Key_Delete);
}

void MoveToEnd(qrapp::TLimitedMemo* Memo) {
    QTextCursor Cursor = Memo->textCursor();
    Cursor.movePosition(QTextCursor::End);
    Memo->setTextCursor(Cursor);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> Form;
    std::optional<guitest::Form1Parts> Parts;

    void ShowForm() {
        Form->ShowCentred();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }

private slots:
    void initTestCase() {
        QVERIFY(qrapp::ApplyTheme(qrapp::ToQString(qrwindow::kThemeName)));
        qrapp::SetApplicationTitle(QStringLiteral("Quandrel QR Code"));
    }
    void init() {
        Form = std::make_unique<TForm1>();
        Parts.emplace(*Form);
    }
    void cleanup() { guitest::CloseForm1(Form, Parts); }

    void startShowsTheEmptyTextSymbolAtFourteenPixelsAModule() {
        ShowForm();
        QVERIFY(Parts->Memo1->toPlainText().isEmpty());
        const QImage Area = guitest::Grab(Parts->PaintBox1);
        QCOMPARE(Area.size(), QSize(406, 406));
        int Wrong = 0;
        for (int y = 0; y < 406; ++y)
            for (int x = 0; x < 406; ++x) {
                const int Row = y / 14 - 4, Column = x / 14 - 4;
                const bool Dark = Row >= 0 && Row < 21 && Column >= 0 && Column < 21 && kEmptyTextSymbol[Row][Column] == 'X';
                Wrong += Area.pixel(x, y) != (Dark ? 0xFF000000u : 0xFFFFFFFFu);
            }
        QCOMPARE(Wrong, 0);
        QCOMPARE(guitest::Decode(Area), std::vector<std::string>{""});
    }

    void typingRedrawsTheSymbolAfterEveryChange() {
        ShowForm();
        Parts->Memo1->setFocus();
        const QString Steps[] = {QStringLiteral("O"), QStringLiteral("l"), QStringLiteral("á"), QStringLiteral("\n"),
                                 QStringLiteral("€"), QStringLiteral("😀")};
        QString Typed;
        for (const QString& Step : Steps) {
            guitest::Type(Parts->Memo1, Step);
            Typed += Step;
            QString Expected = Typed;
            Expected.replace(u'\n', QStringLiteral("\r\n"));
            QCOMPARE(guitest::Decode(guitest::Grab(Parts->PaintBox1)), std::vector<std::string>{guitest::Utf8(Expected)});
        }
        QTest::keyClick(Parts->Memo1, Qt::Key_Backspace);  // the emoji goes as one character
        QCOMPARE(guitest::Decode(guitest::Grab(Parts->PaintBox1)),
                 std::vector<std::string>{guitest::Utf8(QStringLiteral("Olá\r\n€"))});
    }

    void aTextNoVersionHoldsLeavesTheAreaWhiteUntilItFitsAgain() {
        ShowForm();
        // 985 euro signs are 2955 UTF-8 bytes, two more than version 40 holds; 984 fit.
        Parts->Memo1->setPlainText(QString(1200, QChar(0x20AC)));
        QCOMPARE(guitest::ModuleBitmapSide(Parts->Memo1->Text()), 8);
        QVERIFY(AllWhite(guitest::Grab(Parts->PaintBox1)));
        DeleteLast(Parts->Memo1, 215);
        QVERIFY(AllWhite(guitest::Grab(Parts->PaintBox1)));
        QTest::keyClick(Parts->Memo1, Qt::Key_Backspace);
        QCOMPARE(guitest::ModuleBitmapSide(Parts->Memo1->Text()), 185);
        const QImage Area = guitest::Grab(Parts->PaintBox1);
        QCOMPARE(Area, guitest::DisplayAreaFor(Parts->Memo1->Text(), Area.size()));
        // Drawn 405 x 405: the last column and row of the area stay white.
        QVERIFY(AllWhite(Area.copy(405, 0, 1, 406)));
        QVERIFY(AllWhite(Area.copy(0, 405, 406, 1)));
        QCOMPARE(guitest::Decode(Area.scaled(Area.size() * 2)), std::vector<std::string>{guitest::Utf8(QString(984, QChar(0x20AC)))});
    }

    void typingStopsAtTwelveHundredUnitsCountingLineBreaksAsTwo() {
        ShowForm();
        auto* Memo = Parts->Memo1;
        Memo->setFocus();
        Memo->setPlainText(QString(1199, u'a'));
        MoveToEnd(Memo);
        QTest::keyClick(Memo, Qt::Key_Return);  // a line break needs two
        QCOMPARE(Memo->Length(), 1199);
        guitest::Type(Memo, QStringLiteral("😀"));  // so does a surrogate pair
        QCOMPARE(Memo->Length(), 1199);
        guitest::Type(Memo, QStringLiteral("b"));
        QCOMPARE(Memo->Length(), 1200);
        QSignalSpy Changes(Memo, &qrapp::TLimitedMemo::Change);
        guitest::Type(Memo, QStringLiteral("c"));  // the 1201st is refused
        QCOMPARE(Memo->Length(), 1200);
        QCOMPARE(Changes.count(), 0);
        QCOMPARE(Memo->Text(), QString(1199, u'a') + u'b');

        // Typing over a selection frees its room first.
        Memo->setPlainText(QString(1198, u'a'));
        MoveToEnd(Memo);
        QTest::keyClick(Memo, Qt::Key_Return);
        QCOMPARE(Memo->Length(), 1200);
        QCOMPARE(Memo->Text(), QString(1198, u'a') + QStringLiteral("\r\n"));
        QTest::keyClick(Memo, Qt::Key_Left, Qt::ShiftModifier);
        guitest::Type(Memo, QStringLiteral("x"));
        QCOMPARE(Memo->Text(), QString(1198, u'a') + u'x');
    }

    void pasteDropAndInputMethodInsertOnlyWhatFits_data() {
        QTest::addColumn<int>("Present");
        QTest::addColumn<QString>("Inserted");
        QTest::addColumn<QString>("Expected");
        QTest::newRow("plain text cut at the limit") << 1190 << QStringLiteral("0123456789ABCDEF") << QStringLiteral("0123456789");
        QTest::newRow("CR LF counts two") << 1195 << QStringLiteral("ab\r\ncd") << QStringLiteral("ab\r\nc");
        QTest::newRow("no half line break") << 1197 << QStringLiteral("ab\r\ncd") << QStringLiteral("ab");
        QTest::newRow("lone LF counts two") << 1196 << QStringLiteral("a\nb\nc") << QStringLiteral("a\r\nb");
        QTest::newRow("no half surrogate pair") << 1199 << QStringLiteral("😀x") << QString();
        QTest::newRow("whole surrogate pair") << 1198 << QStringLiteral("😀x") << QStringLiteral("😀");
        QTest::newRow("full box takes nothing") << 1200 << QStringLiteral("z") << QString();
    }

    void pasteDropAndInputMethodInsertOnlyWhatFits() {
        QFETCH(int, Present);
        QFETCH(QString, Inserted);
        QFETCH(QString, Expected);
        ShowForm();
        auto* Memo = Parts->Memo1;
        const QString Before(Present, u'a');

        // Paste.
        Memo->setPlainText(Before);
        MoveToEnd(Memo);
        QApplication::clipboard()->setText(Inserted);
        Memo->paste();
        QCOMPARE(Memo->Text(), Before + Expected);

        // Drag and drop at the end of the text.
        Memo->setPlainText(Before);
        MoveToEnd(Memo);
        auto Dragged = std::make_unique<QMimeData>();
        Dragged->setText(Inserted);
        const QPoint End(Memo->viewport()->width() - 2, Memo->cursorRect().center().y());
        QDragEnterEvent Enter(End, Qt::CopyAction, Dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Memo->viewport(), &Enter);
        QDropEvent Drop(End, Qt::CopyAction, Dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Memo->viewport(), &Drop);
        QCOMPARE(Memo->Text(), Before + Expected);

        // Input-method commit.
        Memo->setPlainText(Before);
        MoveToEnd(Memo);
        QInputMethodEvent Commit;
        Commit.setCommitString(Inserted);
        QApplication::sendEvent(Memo, &Commit);
        QCOMPARE(Memo->Text(), Before + Expected);
    }

    void pasteOverASelectionAndUndoRedoStayWithinTheLimit() {
        ShowForm();
        auto* Memo = Parts->Memo1;
        Memo->setPlainText(QString(1200, u'a'));
        QTextCursor Cursor = Memo->textCursor();
        Cursor.setPosition(100);
        Cursor.setPosition(110, QTextCursor::KeepAnchor);
        Memo->setTextCursor(Cursor);
        QApplication::clipboard()->setText(QString(15, u'b'));
        Memo->paste();
        QCOMPARE(Memo->Text(), QString(100, u'a') + QString(10, u'b') + QString(1090, u'a'));

        Memo->undo();
        QCOMPARE(Memo->Text(), QString(1200, u'a'));
        Memo->redo();
        QCOMPARE(Memo->Text(), QString(100, u'a') + QString(10, u'b') + QString(1090, u'a'));
        QVERIFY(Memo->Length() <= 1200);
    }

    void aProgrammaticInsertIsCutBackAndReportedOnce() {
        ShowForm();
        auto* Memo = Parts->Memo1;
        Memo->setPlainText(QString(1190, u'a'));
        MoveToEnd(Memo);
        QSignalSpy Changes(Memo, &qrapp::TLimitedMemo::Change);
        Memo->insertPlainText(QStringLiteral("0123456789\n😀😀"));
        QCOMPARE(Memo->Text(), QString(1190, u'a') + QStringLiteral("0123456789"));
        QCOMPARE(Changes.count(), 1);
        // The symbol shown is that of the text as cut back.
        QCOMPARE(guitest::Decode(guitest::Grab(Parts->PaintBox1)),
                 std::vector<std::string>{guitest::Utf8(QString(1190, u'a') + QStringLiteral("0123456789"))});
        Memo->undo();
        QCOMPARE(Memo->Text(), QString(1190, u'a'));

        Memo->setPlainText(QString(1300, u'x'));
        QCOMPARE(Memo->Text(), QString(1200, u'x'));
    }

    void textIsReadWithCrLfLineBreaksAndKeepsEveryCharacter() {
        auto* Memo = Parts->Memo1;
        Memo->setPlainText(QStringLiteral("a\u00A0b\tc\nd"));
        QCOMPARE(Memo->Text(), QStringLiteral("a\u00A0b\tc\r\nd"));
        QCOMPARE(Memo->Length(), 8);
    }

    void layoutMatchesTheDesign() {
        ShowForm();
        QCOMPARE(Form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(Form->size(), QSize(764, 454));
        QCOMPARE(Form->minimumSize(), QSize(764, 454));
        QCOMPARE(Form->maximumSize(), QSize(764, 454));
        const Qt::WindowFlags Flags = Form->windowFlags();
        QVERIFY(!(Flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(Flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(Flags & Qt::WindowCloseButtonHint);
        QVERIFY(Form->windowTitle().startsWith(QStringLiteral("Quandrel QR Code ")));
        QCOMPARE(Form->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(Form->font().pointSize(), 8);

        QCOMPARE(Parts->Panel1->geometry(), QRect(334, 8, 420, 420));
        QCOMPARE(Parts->Panel2->geometry(), QRect(8, 8, 320, 420));
        QCOMPARE(Parts->Panel1->contentsRect().size(), QSize(416, 416));
        QCOMPARE(Parts->Panel2->contentsRect().size(), QSize(316, 416));

        struct Placed {
            QWidget* Widget;
            QFrame* Parent;
            QRect InClientArea;
        };
        const Placed Children[] = {
            {Parts->PaintBox1, Parts->Panel1, QRect(6, 4, 406, 406)},
            {Parts->Memo1, Parts->Panel2, QRect(8, 23, 300, 344)},
            {Parts->Button1, Parts->Panel2, QRect(8, 373, 100, 30)},
            {Parts->Button2, Parts->Panel2, QRect(133, 373, 100, 30)},
        };
        for (const Placed& Child : Children) {
            QCOMPARE(Child.Widget->parentWidget(), Child.Parent);
            QCOMPARE(Child.Widget->geometry().translated(-Child.Parent->contentsRect().topLeft()), Child.InClientArea);
        }
        QCOMPARE(Parts->Label1->pos() - Parts->Panel2->contentsRect().topLeft(), QPoint(8, 4));
        QCOMPARE(Parts->Label1->text(), QStringLiteral("Texto a codificar:"));
        QVERIFY(Parts->Label1->width() >= Parts->Label1->sizeHint().width());
        QCOMPARE(Parts->Button1->text(), QStringLiteral("Gravar"));
        QCOMPARE(Parts->Button2->text(), QStringLiteral("Sair"));

        QCOMPARE(Parts->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(Parts->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(Parts->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(Parts->Memo1->tabChangesFocus());
        QCOMPARE(Parts->Memo1->MaxLength(), 1200);

        QCOMPARE(Parts->StatusBar1->geometry(), QRect(0, 434, 764, 20));
        const auto* Panel0 = Parts->StatusBar1->findChild<QLabel*>(QStringLiteral("StatusBar1Panel0"));
        const auto* Panel1 = Parts->StatusBar1->findChild<QLabel*>(QStringLiteral("StatusBar1Panel1"));
        QVERIFY(Panel0 && Panel1);
        QCOMPARE(Panel0->text(), QStringLiteral("Quandrel QR Code"));
        QCOMPARE(Panel0->width(), 200);
        QCOMPARE(Panel0->alignment(), Qt::AlignCenter);
        QCOMPARE(Panel1->alignment(), Qt::AlignCenter);
        QVERIFY(!Panel1->text().isEmpty());
        QVERIFY(Panel1->geometry().left() > Panel0->geometry().right());
        QVERIFY(Panel1->geometry().right() >= 764 - 8);  // to the bar's right edge, less the item frame

        QVERIFY(!Parts->Image1->isVisible());
        QCOMPARE(Parts->Image1->geometry(), QRect(992, 80, 100, 100));
    }

    void controlsShowTheWindowFontAndTheStatusBarTheSystemOne() {
        // A status-bar font unlike any other, as a system may have: the bar must show it.
        const QFont SystemStatusFont = QApplication::font("QStatusBar");
        QFont Distinct(QStringLiteral("DejaVu Serif"), 10);
        QApplication::setFont(Distinct, "QStatusBar");
        TForm1 Themed;
        const guitest::Form1Parts ThemedParts(Themed);
        Themed.ShowCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&Themed));
        QApplication::setFont(SystemStatusFont, "QStatusBar");
        QVERIFY(!qApp->styleSheet().isEmpty());

        // Tahoma 8 points is 11 pixels at 96 DPI (or the family that stands in for Tahoma).
        const QFont WindowFont(QStringLiteral("Tahoma"), 8);
        const QString WindowFamily = QFontInfo(WindowFont).family();
        for (QWidget* Control : std::initializer_list<QWidget*>{ThemedParts.Label1, ThemedParts.Memo1, ThemedParts.Button1, ThemedParts.Button2}) {
            const QFontInfo Shown(Control->font());
            QVERIFY2(Shown.pixelSize() == 11 && Shown.family() == WindowFamily,
                     qPrintable(Control->objectName() + ": " + Shown.family() + " " + QString::number(Shown.pixelSize())));
        }
        QCOMPARE(QFontInfo(ThemedParts.Memo1->document()->defaultFont()).pixelSize(), 11);
        // Label1 is sized to its caption in that font: 84 x 13 in Tahoma itself.
        const QString Caption = QStringLiteral("Texto a codificar:");
        const int Width = WindowFamily == QStringLiteral("Tahoma") ? 84 : QFontMetrics(WindowFont).boundingRect(QRect(), 0, Caption).width();
        QCOMPARE(ThemedParts.Label1->size(), QSize(Width, 13));

        const QFontInfo Expected(Distinct);
        for (const QString& Name : {QStringLiteral("StatusBar1Panel0"), QStringLiteral("StatusBar1Panel1")}) {
            const QFontInfo Shown(ThemedParts.StatusBar1->findChild<QLabel*>(Name)->font());
            QCOMPARE(Shown.family(), Expected.family());
            QCOMPARE(Shown.pixelSize(), Expected.pixelSize());
        }
    }

    void statusBarPanelsMeetAtTwoHundredAndEachHasItsFrame() {
        ShowForm();
        const QImage Bar = guitest::Grab(Parts->StatusBar1);
        QCOMPARE(Bar.size(), QSize(764, 20));
        const QRgb Silver = qRgb(192, 192, 192);
        // Panel 0 spans x = 0 to 199, panel 1 x = 200 to 763: each one's outermost columns are
        // frame, the columns just inside them the bar's silver.
        for (const auto& [Left, Right] : {std::pair{0, 199}, std::pair{200, 763}}) {
            for (const int y : {3, 10, 16}) {
                QVERIFY2(Bar.pixel(Left, y) != Silver && Bar.pixel(Right, y) != Silver,
                         qPrintable(QStringLiteral("no frame at x = %1 or %2, y = %3").arg(Left).arg(Right).arg(y)));
                QCOMPARE(Bar.pixel(Left + 1, y), Silver);
                QCOMPARE(Bar.pixel(Right - 1, y), Silver);
            }
            QVERIFY(Bar.pixel((Left + Right) / 2, 0) != Silver);  // top edge
            QVERIFY(Bar.pixel((Left + Right) / 2, 19) != Silver);  // bottom edge
        }
    }

    void focusStartsOnSairThenGravarThenTheTextBox() {
        ShowForm();
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        QCOMPARE(QApplication::focusWidget(), Parts->Button2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Parts->Button1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Parts->Memo1);
        // Tab in the text box moves on instead of inserting a tab.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != Parts->Memo1);
        QVERIFY(Parts->Memo1->toPlainText().isEmpty());
    }

    void anEscapingErrorIsShownWithAFullStopAndTheWindowGoesOn() {
        ShowForm();
        QString Caption, Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        bool Reached = false;
        const bool Shown = guitest::WithModal(
            [&] {
                qrapp::Guarded(Form.get(), [] { throw std::runtime_error("Cannot create file \"/x/y.jpg\". Permission denied"); });
                Reached = true;
            },
            [&](QWidget* Box) {
                auto* Message = qobject_cast<QMessageBox*>(Box);
                if (!Message)
                    return;
                Caption = Message->windowTitle();
                Text = Message->text();
                Icon = Message->icon();
                Buttons = Message->standardButtons();
                Message->button(QMessageBox::Ok)->click();
            });
        QVERIFY(Shown);
        QVERIFY(Reached);
        QCOMPARE(Caption, QStringLiteral("Quandrel QR Code"));
        QCOMPARE(Text, QStringLiteral("Cannot create file \"/x/y.jpg\". Permission denied."));
        QCOMPARE(Icon, QMessageBox::Critical);
        QCOMPARE(Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // The window still works.
        guitest::Type(Parts->Memo1, QStringLiteral("ok"));
        QCOMPARE(guitest::Decode(guitest::Grab(Parts->PaintBox1)), std::vector<std::string>{"ok"});
    }

    void aMissingThemeIsReportedAndTheLookIsKept() {
        const QString SheetBefore = qApp->styleSheet();
        QString Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        bool Applied = true;
        const bool Shown = guitest::WithModal([&] { Applied = qrapp::ApplyTheme(QStringLiteral("Aqua Dark Slate")); },
                                              [&](QWidget* Box) {
                                                  auto* Message = qobject_cast<QMessageBox*>(Box);
                                                  if (!Message)
                                                      return;
                                                  Text = Message->text();
                                                  Icon = Message->icon();
                                                  Buttons = Message->standardButtons();
                                                  Message->button(QMessageBox::Close)->click();
                                              });
        QVERIFY(Shown);
        QVERIFY(!Applied);
        QCOMPARE(Text, QStringLiteral("Style 'Aqua Dark Slate' not found"));
        QCOMPARE(Icon, QMessageBox::Critical);
        QCOMPARE(Buttons, QMessageBox::StandardButtons(QMessageBox::Close));
        QCOMPARE(qApp->styleSheet(), SheetBefore);
        QVERIFY(SheetBefore.contains(QStringLiteral("#Panel1")));
    }

    void qtSpeaksTheUsersLanguageAndTheWindowKeepsItsWords() {
        QTranslator Translator;
        QVERIFY(qrapp::InstallQtTranslations(Translator, QLocale(QStringLiteral("pt_BR"))));
        TForm1 Translated;
        const guitest::Form1Parts TranslatedParts(Translated);
        // Qt's own words: the text box's menu and the save dialog.
        const std::unique_ptr<QMenu> Menu(TranslatedParts.Memo1->createStandardContextMenu());
        QStringList Items;
        for (const QAction* Item : Menu->actions())
            Items << Item->text().section(u'\t', 0, 0);
        QVERIFY2(Items.contains(QStringLiteral("&Copiar")) && Items.contains(QStringLiteral("Co&lar")), qPrintable(Items.join(u'|')));
        QFileDialog Dialog;
        Dialog.setOption(QFileDialog::DontUseNativeDialog);
        Dialog.setAcceptMode(QFileDialog::AcceptSave);
        QCOMPARE(Dialog.windowTitle(), QStringLiteral("Salvar como"));
        // The window's own words are unchanged.
        QCOMPARE(TranslatedParts.Button1->text(), QStringLiteral("Gravar"));
        QCOMPARE(TranslatedParts.Button2->text(), QStringLiteral("Sair"));
        QCOMPARE(TranslatedParts.Label1->text(), QStringLiteral("Texto a codificar:"));
        QCOMPARE(TranslatedParts.Copiar1->text(), QStringLiteral("Copiar"));
        QCOMPARE(TranslatedParts.StatusBar1->findChild<QLabel*>(QStringLiteral("StatusBar1Panel0"))->text(), QStringLiteral("Quandrel QR Code"));
        QVERIFY(QCoreApplication::removeTranslator(&Translator));

        // A language Qt has no translation for installs nothing.
        QTranslator None;
        QVERIFY(!qrapp::InstallQtTranslations(None, QLocale(QLocale::Yoruba)));
        QVERIFY(!QCoreApplication::removeTranslator(&None));
    }

    void theIconComesInEverySize() {
        const QIcon Icon = qrapp::ApplicationIcon();
        for (const int Size : {16, 32, 48, 64, 128, 256}) {
            const QImage Picture = Icon.pixmap(QSize(Size, Size)).toImage();
            QCOMPARE(Picture.size(), QSize(Size, Size));
            QVERIFY(Picture.hasAlphaChannel() || Picture.depth() == 32);
            // Black on white with a light margin, a dark finder corner inside it.
            QCOMPARE(Picture.pixel(0, 0), 0xFFFFFFFFu);
            QCOMPARE(Picture.pixel(Size / 16, Size / 16), 0xFF000000u);
        }
    }

    void sairAndTheCloseBoxEndTheEventLoop_data() {
        QTest::addColumn<int>("Way");
        QTest::newRow("Sair clicked") << 0;
        QTest::newRow("Enter on a focused Sair") << 1;
        QTest::newRow("keypad Enter on a focused Sair") << 2;
        QTest::newRow("close box") << 3;
    }

    void sairAndTheCloseBoxEndTheEventLoop() {
        QFETCH(int, Way);
        ShowForm();
        Parts->Button2->setFocus();
        QTimer::singleShot(0, Form.get(), [this, Way] {
            if (Way == 0)
                QTest::mouseClick(Parts->Button2, Qt::LeftButton);
            else if (Way == 1)
                QTest::keyClick(Parts->Button2, Qt::Key_Return);
            else if (Way == 2)
                QTest::keyClick(Parts->Button2, Qt::Key_Enter, Qt::KeypadModifier);
            else
                Form->close();
        });
        // Fails rather than hangs if the loop does not end.
        QTimer Deadline;
        Deadline.setSingleShot(true);
        bool TimedOut = false;
        QObject::connect(&Deadline, &QTimer::timeout, [&] {
            TimedOut = true;
            QApplication::exit(99);
        });
        Deadline.start(5000);
        const int ExitCode = QApplication::exec();
        QVERIFY(!TimedOut);
        QCOMPARE(ExitCode, 0);
        QVERIFY(!Form->isVisible());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
