// How the text box counts and cuts text, without a window.

#include <gtest/gtest.h>

#include <QString>

#include "textlimit.h"

using qrapp::FittingPrefix;
using qrapp::StoredLength;

TEST(StoredLength, LineBreaksCountTwoWhateverTheirForm) {
    struct Case {
        QString Text;
        int Expected;
    };
    const Case Cases[] = {
        {QString(), 0},
        {QStringLiteral("abc"), 3},
        {QStringLiteral("a\r\nb"), 4},
        {QStringLiteral("a\nb"), 4},
        {QStringLiteral("a\rb"), 4},
        {QStringLiteral("a\u2029b"), 4},  // a paragraph break in a QTextDocument
        {QStringLiteral("a\u2028b"), 4},  // a line break within a paragraph
        {QStringLiteral("\r\n\r\n"), 4},
        {QStringLiteral("\n\r"), 4},  // LF then CR: two breaks
        {QStringLiteral("😀"), 2},  // a surrogate pair is two code units
        {QStringLiteral("á€"), 2},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(StoredLength(C.Text), C.Expected) << C.Text.toStdString();
}

TEST(FittingPrefix, NeverSplitsAPairAndStopsAtTheRoom) {
    struct Case {
        QString Text;
        int Room;
        qsizetype Expected;
    };
    const Case Cases[] = {
        {QStringLiteral("abcdef"), 4, 4},
        {QStringLiteral("abcdef"), 10, 6},
        {QStringLiteral("abcdef"), 0, 0},
        {QStringLiteral("abcdef"), -3, 0},
        {QStringLiteral("ab\r\ncd"), 3, 2},  // CR LF needs two; half of it is not taken
        {QStringLiteral("ab\r\ncd"), 4, 4},
        {QStringLiteral("ab\ncd"), 4, 3},  // a lone LF takes two units but is one code unit
        {QStringLiteral("a😀b"), 2, 1},  // no half surrogate pair
        {QStringLiteral("a😀b"), 3, 3},
        {QStringLiteral("\u2029x"), 1, 0},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(FittingPrefix(C.Text, C.Room), C.Expected) << C.Text.toStdString() << " in " << C.Room;
}
