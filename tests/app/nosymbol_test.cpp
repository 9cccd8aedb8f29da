// Why a text has no symbol: said exactly when the window's code grid has none, with the UTF-8
// byte count the encoder writes.

#include <gtest/gtest.h>

#include <QString>

#include <optional>
#include <string_view>

#include "grid/qrcodegrid.h"
#include "nosymbol.h"

using qrapp::NoSymbolReason;

TEST(NoSymbolReason, GivenExactlyWhenTheGridHasNoSymbol) {
    struct Case {
        const char* Name;
        QString Text;
        int Bytes;  // 0: the text has a symbol
    };
    const Case Cases[] = {
        {"empty", QString(), 0},
        {"2953 ASCII bytes", QString(2953, u'a'), 0},
        {"2954 ASCII bytes", QString(2954, u'a'), 2954},
        {"984 euro signs", QString(984, QChar(0x20AC)), 0},
        {"985 euro signs", QString(985, QChar(0x20AC)), 2955},
        {"1200 euro signs", QString(1200, QChar(0x20AC)), 3600},
        {"CR LF is two bytes", QString(2951, u'a') + QStringLiteral("\r\n"), 0},
        {"one more", QString(2952, u'a') + QStringLiteral("\r\n"), 2954},
        // An unpaired surrogate is written as U+FFFD, three bytes.
        {"unpaired surrogates", QString(985, QChar(0xD800)), 2955},
        {"738 emoji", QStringLiteral("😀").repeated(738), 0},
        {"739 emoji, four bytes each", QStringLiteral("😀").repeated(739), 2956},
    };
    for (const Case& C : Cases) {
        const std::optional<QString> Reason = NoSymbolReason(C.Text);
        qr::TQRCodeGrid Grid;
        Grid.SetData(std::u16string_view(reinterpret_cast<const char16_t*>(C.Text.utf16()), static_cast<std::size_t>(C.Text.size())));
        Grid.SetEncoding(qr::qrUTF8BOM);
        EXPECT_EQ(Reason.has_value(), Grid.Rows() == 8) << C.Name;
        if (C.Bytes == 0) {
            EXPECT_FALSE(Reason) << C.Name;
        } else {
            ASSERT_TRUE(Reason) << C.Name;
            EXPECT_EQ(*Reason, QStringLiteral("O texto tem %1 bytes em UTF-8; o limite é 2953 bytes.").arg(C.Bytes)) << C.Name;
        }
    }
}
