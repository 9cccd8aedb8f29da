// The text box at its limit, attacked as a careless or hostile user would: keys that Qt takes as
// text although they print nothing, undo and redo whatever way a character arrived, and drops
// that the box can take only in part.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include "guitest.h"
#include "qtstrings.h"
#include "textlimit.h"
#include "window/textcount.h"

using qrapp::TLimitedMemo;

namespace {

void MoveToEnd(TLimitedMemo& Memo) {
    QTextCursor Cursor = Memo.textCursor();
    Cursor.movePosition(QTextCursor::End);
    Memo.setTextCursor(Cursor);
}

// The ways a character can reach the box.
enum TPath { Typed, InsertedByProgram, Pasted, InputMethod };

void Arrive(TLimitedMemo& Memo, TPath Path, const QString& Text) {
    switch (Path) {
        case Typed:
            guitest::Type(&Memo, Text);
            break;
        case InsertedByProgram:  // as the menu's "Insert Unicode control character" does
            Memo.insertPlainText(Text);
            break;
        case Pasted:
            QApplication::clipboard()->setText(Text);
            Memo.paste();
            break;
        case InputMethod: {
            QInputMethodEvent Commit;
            Commit.setCommitString(Text);
            QApplication::sendEvent(&Memo, &Commit);
            break;
        }
    }
}

}  // namespace

class TextBoxTest : public QObject {
    Q_OBJECT

private slots:
    // The key check must count as text exactly what Qt's own text box inserts, or keys slip past it.
    void keysCountAsTextExactlyWhenQtInsertsThem_data() {
        QTest::addColumn<int>("Key");
        QTest::addColumn<int>("Modifiers");
        QTest::addColumn<QString>("Text");
        const int Ctrl = Qt::ControlModifier, Shift = Qt::ShiftModifier, Alt = Qt::AltModifier;
        QTest::newRow("letter") << int(Qt::Key_A) << 0 << QStringLiteral("a");
        QTest::newRow("Ctrl+letter") << int(Qt::Key_A) << Ctrl << QStringLiteral("a");
        QTest::newRow("Ctrl+letter, control code") << int(Qt::Key_A) << Ctrl << QStringLiteral("\x01");
        QTest::newRow("Ctrl+Shift+letter") << int(Qt::Key_A) << (Ctrl | Shift) << QStringLiteral("A");
        QTest::newRow("AltGr") << int(Qt::Key_At) << (Ctrl | Alt) << QStringLiteral("@");
        QTest::newRow("Alt+letter") << int(Qt::Key_A) << Alt << QStringLiteral("a");
        QTest::newRow("ZWNJ") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u200C");
        QTest::newRow("ZWNJ with Ctrl+Shift") << int(Qt::Key_unknown) << (Ctrl | Shift) << QStringLiteral("\u200C");
        QTest::newRow("ZWJ") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u200D");
        QTest::newRow("RLM") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u200F");
        QTest::newRow("soft hyphen") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u00AD");
        QTest::newRow("U+FEFF") << int(Qt::Key_unknown) << 0 << QStringLiteral("\uFEFF");
        QTest::newRow("private use") << int(Qt::Key_unknown) << 0 << QStringLiteral("\uE000");
        QTest::newRow("private use, plane 15") << int(Qt::Key_unknown) << 0 << QStringLiteral("\U000F0000");
        QTest::newRow("emoji") << int(Qt::Key_unknown) << 0 << QStringLiteral("😀");
        QTest::newRow("lone high surrogate") << int(Qt::Key_unknown) << 0 << QString(QChar(0xD83D));
        QTest::newRow("paragraph separator") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u2029");
        QTest::newRow("unassigned") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u0378");
        QTest::newRow("next line (C1 control)") << int(Qt::Key_unknown) << 0 << QStringLiteral("\u0085");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << QStringLiteral("\x1b");
        QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << QStringLiteral("\t");
        QTest::newRow("Return") << int(Qt::Key_Return) << 0 << QStringLiteral("\r");
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QStringLiteral("\r");
        QTest::newRow("Shift+Return") << int(Qt::Key_Return) << Shift << QStringLiteral("\r");
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << Ctrl << QStringLiteral("\r");
    }

    void keysCountAsTextExactlyWhenQtInsertsThem() {
        QFETCH(int, Key);
        QFETCH(int, Modifiers);
        QFETCH(QString, Text);
        QPlainTextEdit Plain;  // Qt's own text box, without any limit
        QKeyEvent Press(QEvent::KeyPress, Key, Qt::KeyboardModifiers(Modifiers), Text);
        QApplication::sendEvent(&Plain, &Press);
        const QString Inserted = Plain.document()->toRawText();
        const QString Counted = qrapp::KeyInsertion(Key, Qt::KeyboardModifiers(Modifiers), Text);
        QCOMPARE(Counted.isEmpty(), Inserted.isEmpty());
        QCOMPARE(qrwindow::StoredLength(qrapp::View(Counted)), qrwindow::StoredLength(qrapp::View(Inserted)));
    }

    // A few words, a paste that fills the box to exactly 1200 units, then two characters that do
    // not fit: undo must take back the paste, and redo bring it back.
    void undoAndRedoKeepWorkingAtTheLimit_data() {
        QTest::addColumn<QString>("Character");
        QTest::addColumn<int>("Path");
        const std::pair<const char*, QString> Characters[] = {
            {"ZWNJ", QStringLiteral("\u200C")},        {"ZWJ", QStringLiteral("\u200D")},
            {"RLM", QStringLiteral("\u200F")},         {"soft hyphen", QStringLiteral("\u00AD")},
            {"U+FEFF", QStringLiteral("\uFEFF")},      {"private use", QStringLiteral("\uE000")},
            {"letter", QStringLiteral("x")},
        };
        const std::pair<const char*, TPath> Paths[] = {
            {"typed", Typed}, {"inserted by the program", InsertedByProgram}, {"pasted", Pasted}, {"input method", InputMethod}};
        for (const auto& [Name, Character] : Characters)
            for (const auto& [Way, Path] : Paths)
                QTest::addRow("%s %s", Name, Way) << Character << int(Path);
    }

    void undoAndRedoKeepWorkingAtTheLimit() {
        QFETCH(QString, Character);
        QFETCH(int, Path);
        TLimitedMemo Memo;
        Memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Memo));
        const QString Words = QStringLiteral("a few words ");
        guitest::Type(&Memo, Words);
        Arrive(Memo, Pasted, QString(1200 - Words.size(), u'y'));
        const QString Full = Memo.Text();
        QCOMPARE(Memo.Length(), 1200);

        Arrive(Memo, TPath(Path), Character);
        Arrive(Memo, TPath(Path), Character);
        QCOMPARE(Memo.Text(), Full);

        QTest::keySequence(&Memo, QKeySequence::Undo);
        QCOMPARE(Memo.Text(), Words);
        QTest::keySequence(&Memo, QKeySequence::Redo);
        QCOMPARE(Memo.Text(), Full);
        QTest::keySequence(&Memo, QKeySequence::Undo);
        QTest::keySequence(&Memo, QKeySequence::Undo);
        QCOMPARE(Memo.Text(), QString());
    }

    // An insertion cut back by the program is one step of the history, which ends within the limit.
    void aCutBackInsertionIsOneUndoStep() {
        TLimitedMemo Memo;
        guitest::Type(&Memo, QStringLiteral("abc"));
        Arrive(Memo, Pasted, QString(1190, u'y'));
        const QString Before = Memo.Text();
        // At the start, so that Qt does not merge it with the paste into one step.
        Memo.moveCursor(QTextCursor::Start);
        Memo.insertPlainText(QStringLiteral("0123456789ABCDEF"));
        const QString Cut = QStringLiteral("0123456") + Before;
        QCOMPARE(Memo.Text(), Cut);
        QCOMPARE(Memo.textCursor().position(), 7);
        Memo.undo();
        QCOMPARE(Memo.Text(), Before);
        Memo.redo();
        QCOMPARE(Memo.Text(), Cut);
        QVERIFY(!Memo.document()->isRedoAvailable());
        Memo.undo();
        Memo.undo();
        QCOMPARE(Memo.Text(), QStringLiteral("abc"));
    }

    // A drop proposed as a move: the source deletes its text when the drop is reported as a move,
    // so a drop the box cuts back must be reported as a copy, or refused.
    void aDropTheBoxCutsBackIsNeverAMove_data() {
        QTest::addColumn<int>("Present");
        QTest::addColumn<bool>("CopyOffered");
        QTest::addColumn<QString>("Inserted");
        QTest::addColumn<int>("Reported");
        const QString All = QStringLiteral("0123456789ABCDEF");
        QTest::newRow("fits whole: a move") << 1000 << true << All << int(Qt::MoveAction);
        QTest::newRow("fits whole, only a move offered") << 1000 << false << All << int(Qt::MoveAction);
        QTest::newRow("cut back: a copy") << 1190 << true << QStringLiteral("0123456789") << int(Qt::CopyAction);
        QTest::newRow("cut back, only a move offered: refused") << 1190 << false << QString() << int(Qt::IgnoreAction);
        QTest::newRow("full box: refused") << 1200 << true << QString() << int(Qt::IgnoreAction);
    }

    void aDropTheBoxCutsBackIsNeverAMove() {
        QFETCH(int, Present);
        QFETCH(bool, CopyOffered);
        QFETCH(QString, Inserted);
        QFETCH(int, Reported);
        TLimitedMemo Memo;
        Memo.resize(300, 300);
        Memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Memo));
        Memo.setPlainText(QString(Present, u'a'));
        MoveToEnd(Memo);

        QMimeData Dragged;
        Dragged.setText(QStringLiteral("0123456789ABCDEF"));
        const Qt::DropActions Offered = CopyOffered ? Qt::CopyAction | Qt::MoveAction : Qt::MoveAction;
        const QPoint At(Memo.viewport()->width() - 2, Memo.cursorRect().center().y());
        // Shift asks for a move where a copy is offered too.
        QDragEnterEvent Enter(At, Offered, &Dragged, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(Memo.viewport(), &Enter);
        QDragMoveEvent Move(At, Offered, &Dragged, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(Memo.viewport(), &Move);
        // What the pointer shows during the drag is what the drop will do.
        QCOMPARE(int(Move.isAccepted() ? Move.dropAction() : Qt::IgnoreAction), Reported);

        QDropEvent Drop(At, Offered, &Dragged, Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(Drop.proposedAction(), Qt::MoveAction);
        QApplication::sendEvent(Memo.viewport(), &Drop);
        QCOMPARE(int(Drop.isAccepted() ? Drop.dropAction() : Qt::IgnoreAction), Reported);
        QCOMPARE(Memo.Text(), QString(Present, u'a') + Inserted);
    }

    // U+FEFF is a character the box holds like any other, also as the first of the text: the text
    // the symbol is made of keeps it (Qt's UTF-16 conversion takes it for a byte-order mark).
    void aLeadingFeffStaysInTheText() {
        TLimitedMemo Memo;
        Memo.setPlainText(QStringLiteral("\uFEFFa\u2029b"));
        QCOMPARE(Memo.Text(), QStringLiteral("\uFEFFa\r\nb"));
        QCOMPARE(qrapp::ToQString(u"\uFEFF"), QString(QChar(0xFEFF)));
    }
};

QTEST_MAIN(TextBoxTest)
#include "textbox_test.moc"
