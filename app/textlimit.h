#pragma once
// The text box with a length limit counted the way the program stores its text (UTF-16 code
// units, each line break two of them, CR LF: qrwindow::StoredLength). QPlainTextEdit has no such
// limit, so every way text can arrive is held to it here: typed keys, paste and drag and drop,
// input-method commits, and, as a last guard, any other change (a programmatic insert, a
// character from the menu's Unicode control characters), which is cut back right after it lands.
// Undo and redo only move between states that were held to the limit, and keep working at it.

#include <QPlainTextEdit>
#include <QString>

#include "window/textcount.h"

class QDragMoveEvent;
class QDropEvent;

namespace qrapp {

// What a key press inserts into a Qt text box: a line break for Enter (without Ctrl, Alt or Meta),
// else the key's text when Qt's text controls take it as input (printable, format characters
// such as ZWNJ or the soft hyphen, private-use characters, surrogate pairs, Tab; never a Ctrl
// or Ctrl+Shift chord, but a format character even then); empty for every other key.
QString KeyInsertion(int Key, Qt::KeyboardModifiers Modifiers, const QString& Text);

class TLimitedMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLimitedMemo(QWidget* Parent = nullptr);

    int MaxLength() const { return FMaxLength; }
    // The current text is not cut when the limit is lowered; the next change is held to it.
    void SetMaxLength(int MaxLength) { FMaxLength = MaxLength; }

    // The stored length of the current text (see qrwindow::StoredLength).
    int Length() const;
    // The text as UTF-16 with CR LF line breaks.
    QString Text() const;

signals:
    // The text changed and is within the limit (a change that had to be cut back reports once,
    // after the cut).
    void Change();

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void insertFromMimeData(const QMimeData* Source) override;
    void inputMethodEvent(QInputMethodEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    // How much of a drop from elsewhere the box takes.
    enum class TDropFit { Whole, Part, Nothing };
    TDropFit DropFit(const QDropEvent& Event) const;
    // Units left for an insertion that replaces the current selection.
    int RoomForInsertion() const;
    void DocumentContentsChange(int Position, int CharsRemoved, int CharsAdded);
    void DocumentTextChanged();
    // Takes the document, just changed over the limit, to the raw text Fitted, with the cursor
    // at CursorAt, keeping the undo history within the limit.
    void CutBackTo(const QString& Fitted, int CursorAt);

    int FMaxLength = qrwindow::kMemoMaxLength;
    int FLastChangePosition = 0;
    int FLastChangeAdded = 0;
    bool FCuttingBack = false;
};

}  // namespace qrapp
