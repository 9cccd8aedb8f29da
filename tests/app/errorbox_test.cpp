// The message an escaping exception gives the error box, without a window (the box's text rule
// is qrwindow's, tested with it).

#include <gtest/gtest.h>

#include <QString>

#include <stdexcept>

#include "errorbox.h"

TEST(CurrentExceptionMessage, TakesWhatAsUtf8) {
    const auto MessageOf = [](auto Throw) {
        try {
            Throw();
        } catch (...) {
            return qrapp::CurrentExceptionMessage();
        }
        return QString();
    };
    EXPECT_EQ(MessageOf([] { throw std::runtime_error("N\xC3\xA3o foi poss\xC3\xADvel"); }), QStringLiteral("Não foi possível"));
    EXPECT_EQ(MessageOf([] { throw 42; }), QStringLiteral("Unknown error"));
}
