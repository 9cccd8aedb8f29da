#include "textlimit.h"

#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "qtstrings.h"
#include "text/textconv.h"

namespace qrapp {

namespace {

int StoredLength(QStringView Text) { return qrwindow::StoredLength(View(Text)); }

qsizetype FittingPrefix(QStringView Text, int Room) {
    return static_cast<qsizetype>(qrwindow::FittingPrefix(View(Text), Room));
}

}  // namespace

QString KeyInsertion(int Key, Qt::KeyboardModifiers Modifiers, const QString& Text) {
    if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) &&
        !(Modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return QStringLiteral("\n");
    if (Text.isEmpty())
        return {};
    const QChar First = Text.front();
    // Some layouts type format characters with Ctrl+Shift, so they are text whatever is held.
    if (First.category() == QChar::Other_Format)
        return Text;
    // Ctrl and Ctrl+Shift alone make shortcuts; AltGr (Ctrl+Alt) still types.
    if (Modifiers == Qt::ControlModifier || Modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return {};
    if (First.isPrint() || First.category() == QChar::Other_PrivateUse || First == u'\t' ||
        (First.isHighSurrogate() && Text.size() > 1 && Text[1].isLowSurrogate()))
        return Text;
    return {};
}

TLimitedMemo::TLimitedMemo(QWidget* Parent) : QPlainTextEdit(Parent) {
    connect(document(), &QTextDocument::contentsChange, this, &TLimitedMemo::DocumentContentsChange);
    connect(this, &QPlainTextEdit::textChanged, this, &TLimitedMemo::DocumentTextChanged);
}

int TLimitedMemo::Length() const { return StoredLength(document()->toRawText()); }

QString TLimitedMemo::Text() const {
    return ToQString(qrtext::SeparatorsToCrLf(View(document()->toRawText())));
}

int TLimitedMemo::RoomForInsertion() const {
    return FMaxLength - (Length() - StoredLength(textCursor().selectedText()));
}

void TLimitedMemo::keyPressEvent(QKeyEvent* Event) {
    // What the key would insert in place of the selection; a key that does not fit is refused
    // here, so that typing never reaches the last-resort cut.
    const QString Typed = KeyInsertion(Event->key(), Event->modifiers(), Event->text());
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

TLimitedMemo::TDropFit TLimitedMemo::DropFit(const QDropEvent& Event) const {
    const QMimeData* Source = Event.mimeData();
    // A drag within the box (Qt starts it from the viewport) frees the moved text first; a drop
    // of no text is Qt's to judge.
    if (!Source || !Source->hasText() || Event.source() == viewport() || Event.source() == this)
        return TDropFit::Whole;
    const QString Text = Source->text();
    // A drop inserts at the drop point, next to any selection of the box, which stays.
    const qsizetype Keep = FittingPrefix(Text, FMaxLength - Length());
    return Keep == Text.size() ? TDropFit::Whole : Keep == 0 ? TDropFit::Nothing : TDropFit::Part;
}

// A drop that the box cuts back must not be taken as a move, or its source would delete the
// whole of what the box kept only part of: it is taken as a copy, or refused when the source
// offers no copy. A drop of which nothing fits is refused.
void TLimitedMemo::dragMoveEvent(QDragMoveEvent* Event) {
    QPlainTextEdit::dragMoveEvent(Event);
    if (!Event->isAccepted())
        return;
    const TDropFit Fit = DropFit(*Event);
    if (Fit == TDropFit::Nothing || (Fit == TDropFit::Part && !(Event->possibleActions() & Qt::CopyAction))) {
        Event->ignore();
    } else if (Fit == TDropFit::Part) {
        Event->setDropAction(Qt::CopyAction);
        Event->accept();
    }
}

void TLimitedMemo::dropEvent(QDropEvent* Event) {
    const TDropFit Fit = DropFit(*Event);
    if (Fit == TDropFit::Nothing || (Fit == TDropFit::Part && !(Event->possibleActions() & Qt::CopyAction))) {
        // Clears the drop cursor the drag left in the box.
        QDragLeaveEvent Leave;
        QPlainTextEdit::dragLeaveEvent(&Leave);
        Event->setDropAction(Qt::IgnoreAction);
        Event->ignore();
        QApplication::beep();
        return;
    }
    QPlainTextEdit::dropEvent(Event);
    if (Fit == TDropFit::Part && Event->isAccepted()) {
        Event->setDropAction(Qt::CopyAction);
        Event->accept();
    }
}

void TLimitedMemo::DocumentContentsChange(int Position, int, int CharsAdded) {
    FLastChangePosition = Position;
    FLastChangeAdded = CharsAdded;
}

void TLimitedMemo::DocumentTextChanged() {
    if (FCuttingBack)
        return;
    const QString Raw = document()->toRawText();
    const int Total = StoredLength(Raw);
    if (Total <= FMaxLength) {
        emit Change();
        return;
    }
    // Over the limit by a way the handlers above do not see: keep what fits of the last insertion
    // and remove the rest of it.
    qsizetype Start = std::clamp<qsizetype>(FLastChangePosition, 0, Raw.size());
    qsizetype End = std::clamp<qsizetype>(Start + FLastChangeAdded, Start, Raw.size());
    int Room = FMaxLength - (Total - StoredLength(QStringView(Raw).mid(Start, End - Start)));
    if (Room < 0) {
        // The text outside the insertion is too long by itself (the limit was lowered): cut the end.
        Start = 0;
        End = Raw.size();
        Room = FMaxLength;
    }
    const qsizetype Kept = Start + FittingPrefix(QStringView(Raw).mid(Start, End - Start), Room);
    FCuttingBack = true;
    CutBackTo(Raw.left(Kept) + Raw.mid(End), static_cast<int>(Kept));
    FCuttingBack = false;
    emit Change();
}

void TLimitedMemo::CutBackTo(const QString& Fitted, int CursorAt) {
    QTextDocument* Document = document();
    // An ordinary edit is the last step of the undo history (an edit empties the redo history).
    // That step is undone and replaced by one step to the fitted text: a cut joined to the step
    // instead would not always undo with it (Qt keeps a change made outside an edit block, such as
    // one inserted character, as a step of its own), and undo would then bring back the text over
    // the limit, which the cut would remove again, for ever. Otherwise (no history was kept, or the change was an undo or a redo after the limit
    // was lowered) the text is fitted in place and the history, which leads over the limit, goes.
    const bool LastStep = Document->isUndoRedoEnabled() && Document->isUndoAvailable() && !Document->isRedoAvailable();
    if (LastStep)
        Document->undo();

    // One edit from the current text to Fitted: the part between their common start and end.
    const QString Now = Document->toRawText();
    qsizetype Head = 0;
    const qsizetype Shorter = std::min(Now.size(), Fitted.size());
    while (Head < Shorter && Now[Head] == Fitted[Head])
        ++Head;
    qsizetype Tail = 0;
    while (Tail < Shorter - Head && Now[Now.size() - 1 - Tail] == Fitted[Fitted.size() - 1 - Tail])
        ++Tail;
    // Never between the halves of a surrogate pair.
    if (Head > 0 && Now[Head - 1].isHighSurrogate())
        --Head;
    if (Tail > 0 && Now[Now.size() - Tail].isLowSurrogate())
        --Tail;
    if (Head + Tail < Now.size() || Head + Tail < Fitted.size()) {
        QTextCursor Edit(Document);
        Edit.beginEditBlock();
        Edit.setPosition(static_cast<int>(Head));
        Edit.setPosition(static_cast<int>(Now.size() - Tail), QTextCursor::KeepAnchor);
        Edit.insertText(Fitted.mid(Head, Fitted.size() - Head - Tail));
        Edit.endEditBlock();
    }
    Document->clearUndoRedoStacks(LastStep ? QTextDocument::RedoStack : QTextDocument::UndoAndRedoStacks);

    QTextCursor Cursor = textCursor();
    Cursor.setPosition(std::clamp(CursorAt, 0, Document->characterCount() - 1));
    setTextCursor(Cursor);
}

}  // namespace qrapp
