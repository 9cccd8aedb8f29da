// Fuzzes the text box's reading and limiting, without showing a window: the counting functions
// on arbitrary UTF-16 (lone surrogates, lone CR and LF, separators, NULs), and a TLimitedMemo
// fed by every way text can arrive (paste, typed keys, input-method commits, programmatic
// inserts, undo and redo). Properties are checked after every step; a violation aborts. Undo
// must stay undoable at the limit: what it takes away, redo brings back.
//
// Input: bytes 0-1 a signed room (little-endian) for FittingPrefix, and the whole input from
// byte 2 on is also read as UTF-16 for the counting checks. From byte 2 on the bytes are, in
// addition, a program for the text box: an operation byte, then its arguments. A text argument
// is a length byte, that many little-endian code units, and a repeat byte (1 to 64 times), so
// that short inputs can still reach the 1200-unit limit.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

#include "fuzzcheck.h"
#include "qtstrings.h"
#include "text/textconv.h"
#include "textlimit.h"
#include "window/textcount.h"

namespace {

using fuzzcheck::Check;

bool IsCr(QChar c) { return c == u'\r'; }
bool IsLf(QChar c) { return c == u'\n'; }
bool IsSeparator(QChar c) { return c == QChar::ParagraphSeparator || c == QChar::LineSeparator; }

QString SeparatorsToCrLf(const QString& Text) { return qrapp::ToQString(qrtext::SeparatorsToCrLf(qrapp::View(Text))); }

// The window's counting on Qt's strings.
int StoredLength(QStringView Text) { return qrwindow::StoredLength(qrapp::View(Text)); }
qsizetype FittingPrefix(QStringView Text, int Room) {
    return static_cast<qsizetype>(qrwindow::FittingPrefix(qrapp::View(Text), Room));
}

// True when a cut before Text[i] would split a surrogate pair or a CR LF pair.
bool SplitsPair(const QString& Text, qsizetype i) {
    if (i <= 0 || i >= Text.size())
        return false;
    return (Text[i - 1].isHighSurrogate() && Text[i].isLowSurrogate()) || (IsCr(Text[i - 1]) && IsLf(Text[i]));
}

// Text.size() plus one for every line break that is a single code unit: a CR LF pair is two
// units and is stored as they are; a lone CR or LF and a separator are one unit stored as two.
int ExpectedStoredLength(const QString& Text) {
    int Extra = 0;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (IsCr(Text[i]) && i + 1 < Text.size() && IsLf(Text[i + 1]))
            ++i;
        else
            Extra += IsCr(Text[i]) || IsLf(Text[i]) || IsSeparator(Text[i]);
    }
    return static_cast<int>(Text.size()) + Extra;
}

// True when Text is in the form the window reads: every line break CR LF, no separators.
bool InCrLfForm(const QString& Text) {
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (IsSeparator(Text[i]))
            return false;
        if (IsCr(Text[i])) {
            if (i + 1 >= Text.size() || !IsLf(Text[i + 1]))
                return false;
            ++i;
        } else if (IsLf(Text[i])) {
            return false;
        }
    }
    return true;
}

// The counting functions on Text with the given Room.
void CheckCounting(const QString& Text, int Room) {
    const int Stored = StoredLength(Text);
    Check(Stored == ExpectedStoredLength(Text), "StoredLength: one unit per code unit, two per line break");

    const qsizetype Keep = FittingPrefix(Text, Room);
    Check(Keep >= 0 && Keep <= Text.size(), "FittingPrefix within the text");
    Check(!SplitsPair(Text, Keep), "FittingPrefix never splits a surrogate pair or CR LF");
    const QString Prefix = Text.left(Keep);
    Check(StoredLength(Prefix) <= std::max(Room, 0), "the prefix fits the room");
    Check(StoredLength(Prefix) + StoredLength(QStringView(Text).mid(Keep)) == Stored,
          "a cut at the prefix loses and adds nothing");
    if (Keep < Text.size()) {
        const qsizetype Next = SplitsPair(Text, Keep + 1) ? Keep + 2 : Keep + 1;
        Check(StoredLength(QStringView(Text).left(Next)) > Room, "the prefix is the longest that fits");
    }

    const QString CrLf = SeparatorsToCrLf(Text);
    Check(StoredLength(CrLf) == Stored, "SeparatorsToCrLf keeps the stored length");
    for (const QChar c : CrLf)
        Check(!IsSeparator(c), "SeparatorsToCrLf leaves no separator");

    // A document's raw text has separators where the text had line breaks, and no CR or LF.
    QString Raw = Text;
    Raw.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    Raw.replace(u'\r', QChar::ParagraphSeparator);
    Raw.replace(u'\n', QChar::ParagraphSeparator);
    const QString FromRaw = SeparatorsToCrLf(Raw);
    Check(InCrLfForm(FromRaw), "SeparatorsToCrLf of raw text leaves no lone CR or LF");
    Check(FromRaw.size() == StoredLength(Raw), "SeparatorsToCrLf of raw text is as long as its stored length");
    Check(StoredLength(Raw) == Stored, "line breaks count the same in every form");
}

// The text box with its protected entry point for pasted and dropped text made callable.
class FuzzMemo : public qrapp::TLimitedMemo {
public:
    void Paste(const QString& Text) {
        QMimeData Source;
        Source.setText(Text);
        insertFromMimeData(&Source);
    }
};

class Reader {
public:
    Reader(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}
    bool AtEnd() const { return FPos >= FSize; }
    int Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    // Little-endian; the two reads are sequenced (the operands of | are not).
    int Word() {
        const int Low = Byte();
        return Low | Byte() << 8;
    }
    char16_t Unit() { return static_cast<char16_t>(Word()); }
    QString Text() {
        const int Length = Byte();
        QString Chunk;
        for (int i = 0; i < Length && !AtEnd(); ++i)
            Chunk += QChar(Unit());
        return Chunk.repeated(1 + Byte() % 64);
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

void CheckMemo(const FuzzMemo& Memo) {
    const QString Text = Memo.Text();
    Check(Memo.Length() <= qrwindow::kMemoMaxLength, "the text box holds at most 1200 units");
    Check(InCrLfForm(Text), "the text box's text is in CR LF form");
    Check(Text.size() == Memo.Length(), "Length is the length of Text");
}

void Key(FuzzMemo& Memo, int KeyCode, const QString& Text, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
    QKeyEvent Press(QEvent::KeyPress, KeyCode, Modifiers, Text);
    QKeyEvent Release(QEvent::KeyRelease, KeyCode, Modifiers, Text);
    QApplication::sendEvent(&Memo, &Press);
    QApplication::sendEvent(&Memo, &Release);
}

void RunMemo(Reader& In) {
    FuzzMemo Memo;
    for (int Step = 0; Step < 64 && !In.AtEnd(); ++Step) {
        const int Op = In.Byte() % 9;
        switch (Op) {
            case 0: {  // paste: what does not fit is cut, what fits lands whole
                const QString Text = In.Text();
                const int Before = Memo.Length();
                const int Selected = StoredLength(Memo.textCursor().selectedText());
                const int Room = qrwindow::kMemoMaxLength - (Before - Selected);
                CheckCounting(Text, Room);
                bool Plain = true;
                for (const QChar c : Text)
                    Plain = Plain && c.unicode() >= 0x20 && c.unicode() < 0x7F;
                Memo.Paste(Text);
                const int Pasted = StoredLength(Text.left(FittingPrefix(Text, Room)));
                if (Plain && Pasted > 0)
                    Check(Memo.Length() == Before - Selected + Pasted, "a paste keeps all of the text that fits");
                break;
            }
            case 1: {  // typed keys, a surrogate pair as one key
                const QString Text = In.Text().left(32);
                for (qsizetype i = 0; i < Text.size(); ++i) {
                    const qsizetype Units = Text[i].isHighSurrogate() && i + 1 < Text.size() ? 2 : 1;
                    Key(Memo, Qt::Key_unknown, Text.mid(i, Units));
                    i += Units - 1;
                }
                break;
            }
            case 2: {  // editing keys
                static constexpr int Keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Backspace, Qt::Key_Delete,
                                               Qt::Key_Left,   Qt::Key_Right, Qt::Key_Home,      Qt::Key_End};
                const int Which = In.Byte();
                const int Code = Keys[Which % 8];
                const QString Text = Code == Qt::Key_Return || Code == Qt::Key_Enter ? QStringLiteral("\r") : QString();
                Key(Memo, Code, Text, Which & 8 ? Qt::ShiftModifier : Qt::NoModifier);
                break;
            }
            case 3:  // a programmatic insert, held to the limit after it lands
                Memo.insertPlainText(In.Text());
                break;
            case 4: {  // cursor and selection
                const int Characters = Memo.document()->characterCount();
                QTextCursor Cursor = Memo.textCursor();
                Cursor.setPosition(In.Word() % Characters);
                Cursor.setPosition(In.Word() % Characters, QTextCursor::KeepAnchor);
                Memo.setTextCursor(Cursor);
                break;
            }
            case 5: {  // undo, which redo must be able to take back exactly
                const QString Before = Memo.Text();
                const bool Undoable = Memo.document()->isUndoAvailable();
                Memo.undo();
                if (Undoable) {
                    Check(Memo.document()->isRedoAvailable(), "an undo can be redone");
                    Memo.redo();
                    Check(Memo.Text() == Before, "redo after undo brings the text back");
                    Memo.undo();
                }
                break;
            }
            case 6:
                Memo.redo();
                break;
            case 7: {  // an input-method commit, possibly replacing text around the cursor
                const int Start = In.Byte() % 32 - 16;
                const int Length = In.Byte() % 16;
                const QString Commit = In.Text();
                QInputMethodEvent Event(QString(), {});
                Event.setCommitString(Commit, Start, Length);
                QApplication::sendEvent(&Memo, &Event);
                break;
            }
            case 8:  // the whole text replaced
                Memo.setPlainText(In.Text());
                break;
        }
        CheckMemo(Memo);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    // One application for the whole run, on the offscreen platform: no display needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about the fuzzer's odd requests (an input-method replacement outside the
    // block, for one) are expected and only slow the run down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static std::unique_ptr<QApplication> App;
    App = std::make_unique<QApplication>(*Argc, *Argv);
    // Qt sets up some of its globals lazily, on the first key, paste or input-method event; one
    // warm-up run creates them now. The exit handler registered after that destroys the
    // application before them, as the end of main would (a static QApplication would be
    // destroyed after them, which crashes).
    static const std::uint8_t WarmUp[] = {0, 0, 0, 2, u'a', 0, u'\n', 0, 0, 1, 1, u'b', 0, 0, 2, 2,
                                          7, 0, 0, 1, u'c', 0, 0, 5, 6, 8, 1, u'd', 0, 0};
    LLVMFuzzerTestOneInput(WarmUp, sizeof WarmUp);
    std::atexit([] { App.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2)
        return 0;
    const int Room = static_cast<std::int16_t>(Data[0] | Data[1] << 8);
    QString Whole;
    for (std::size_t i = 2; i < Size; i += 2)
        Whole += QChar(static_cast<char16_t>(Data[i] | (i + 1 < Size ? Data[i + 1] << 8 : 0)));
    CheckCounting(Whole, Room);

    Reader In(Data + 2, Size - 2);
    RunMemo(In);
    // What a running event loop does between a user's keystrokes: deferred deletions and timers
    // (the font cache's clean-up among them).
    QCoreApplication::processEvents();
    return 0;
}
