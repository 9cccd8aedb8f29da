#include "textlimit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace qrapp {

namespace {

// Length in code units of the character starting at Text[i]: a CR LF pair and a surrogate pair
// are one character of two units.
qsizetype CharacterUnits(QStringView Text, qsizetype i) {
    if (i + 1 < Text.size()) {
        const QChar First = Text[i], Second = Text[i + 1];
        if ((First == u'\r' && Second == u'\n') || (First.isHighSurrogate() && Second.isLowSurrogate()))
            return 2;
    }
    return 1;
}

}  // namespace

int StoredLength(QStringView Text) {
    int Units = 0;
    for (qsizetype i = 0; i < Text.size();) {
        const qsizetype Step = CharacterUnits(Text, i);
        Units += IsLineBreak(Text[i].unicode()) ? 2 : static_cast<int>(Step);
        i += Step;
    }
    return Units;
}

qsizetype FittingPrefix(QStringView Text, int Room) {
    int Units = 0;
    qsizetype i = 0;
    while (i < Text.size()) {
        const qsizetype Step = CharacterUnits(Text, i);
        const int Cost = IsLineBreak(Text[i].unicode()) ? 2 : static_cast<int>(Step);
        if (Units + Cost > Room)
            break;
        Units += Cost;
        i += Step;
    }
    return i;
}

QString ToCrLf(QStringView RawText) {
    QString Text;
    Text.reserve(RawText.size() + RawText.size() / 8);
    for (const QChar Unit : RawText) {
        if (Unit == QChar::ParagraphSeparator || Unit == QChar::LineSeparator)
            Text += QStringLiteral("\r\n");
        else
            Text += Unit;
    }
    return Text;
}

TLimitedMemo::TLimitedMemo(QWidget* Parent) : QPlainTextEdit(Parent) {
    connect(document(), &QTextDocument::contentsChange, this, &TLimitedMemo::DocumentContentsChange);
    connect(this, &QPlainTextEdit::textChanged, this, &TLimitedMemo::DocumentTextChanged);
}

int TLimitedMemo::Length() const { return StoredLength(document()->toRawText()); }

QString TLimitedMemo::Text() const { return ToCrLf(document()->toRawText()); }

int TLimitedMemo::RoomForInsertion() const {
    return FMaxLength - (Length() - StoredLength(textCursor().selectedText()));
}

void TLimitedMemo::keyPressEvent(QKeyEvent* Event) {
    // What the key would insert, in place of the selection: Enter a line break, a printable key its text.
    QString Typed;
    if ((Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) &&
        !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        Typed = QStringLiteral("\n");
    else if (const QString Text = Event->text();
             !Text.isEmpty() && (Text.front().isPrint() || Text.front().isHighSurrogate() || Text.front() == u'\t'))
        Typed = Text;

    if (!Typed.isEmpty() && StoredLength(Typed) > RoomForInsertion()) {
        Event->accept();
        QApplication::beep();
        return;
    }
    QPlainTextEdit::keyPressEvent(Event);
}

void TLimitedMemo::insertFromMimeData(const QMimeData* Source) {
    if (!Source || !Source->hasText()) {
        QPlainTextEdit::insertFromMimeData(Source);
        return;
    }
    const QString Text = Source->text();
    const qsizetype Keep = FittingPrefix(Text, RoomForInsertion());
    if (Keep == Text.size()) {
        QPlainTextEdit::insertFromMimeData(Source);
        return;
    }
    if (Keep == 0) {
        QApplication::beep();
        return;
    }
    QMimeData Fitted;
    Fitted.setText(Text.left(Keep));
    QPlainTextEdit::insertFromMimeData(&Fitted);
}

void TLimitedMemo::inputMethodEvent(QInputMethodEvent* Event) {
    const QString Commit = Event->commitString();
    if (Commit.isEmpty()) {
        QPlainTextEdit::inputMethodEvent(Event);
        return;
    }
    // A commit that replaces text around the cursor frees that text's room as well.
    int Room = RoomForInsertion();
    if (Event->replacementLength() > 0 && !textCursor().hasSelection()) {
        const QString Block = textCursor().block().text();
        const qsizetype Start = std::clamp<qsizetype>(textCursor().positionInBlock() + Event->replacementStart(), 0, Block.size());
        Room += StoredLength(QStringView(Block).mid(Start, std::min<qsizetype>(Event->replacementLength(), Block.size() - Start)));
    }
    const qsizetype Keep = FittingPrefix(Commit, Room);
    if (Keep == Commit.size()) {
        QPlainTextEdit::inputMethodEvent(Event);
        return;
    }
    QInputMethodEvent Fitted(Event->preeditString(), Event->attributes());
    Fitted.setCommitString(Commit.left(Keep), Event->replacementStart(), Event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&Fitted);
    QApplication::beep();
}

void TLimitedMemo::DocumentContentsChange(int Position, int, int CharsAdded) {
    FLastChangePosition = Position;
    FLastChangeAdded = CharsAdded;
}

void TLimitedMemo::DocumentTextChanged() {
    const QString Raw = document()->toRawText();
    const int Total = StoredLength(Raw);
    if (Total <= FMaxLength) {
        emit Change();
        return;
    }
    // Over the limit by a way the handlers above do not see: keep what fits of the last insertion
    // and remove the rest of it. Removing changes the text again, and that change is reported.
    qsizetype Start = std::clamp<qsizetype>(FLastChangePosition, 0, Raw.size());
    qsizetype End = std::clamp<qsizetype>(Start + FLastChangeAdded, Start, Raw.size());
    int Room = FMaxLength - (Total - StoredLength(QStringView(Raw).mid(Start, End - Start)));
    if (Room < 0) {
        // The text outside the insertion is too long by itself (the limit was lowered): cut the end.
        Start = 0;
        End = Raw.size();
        Room = FMaxLength;
    }
    const qsizetype Keep = FittingPrefix(QStringView(Raw).mid(Start, End - Start), Room);
    QTextCursor Cut(document());
    Cut.joinPreviousEditBlock();
    Cut.setPosition(static_cast<int>(Start + Keep));
    Cut.setPosition(static_cast<int>(End), QTextCursor::KeepAnchor);
    Cut.removeSelectedText();
    Cut.endEditBlock();
}

}  // namespace qrapp
