// The text of the error box, without a window.

#include <gtest/gtest.h>

#include <QString>

#include <stdexcept>

#include "errorbox.h"

TEST(ErrorBoxText, AFullStopFollowsALastCharacterAboveIt) {
    struct Case {
        QString Message, Expected;
    };
    const Case Cases[] = {
        {QStringLiteral("Disk full"), QStringLiteral("Disk full.")},
        {QStringLiteral("JPEG error #42"), QStringLiteral("JPEG error #42.")},  // '2' is above '.'
        {QStringLiteral("Done."), QStringLiteral("Done.")},
        {QStringLiteral("Path /"), QStringLiteral("Path /.")},  // '/' is 47
        {QStringLiteral("Wait -"), QStringLiteral("Wait -")},  // '-' is 45
        {QStringLiteral("Trailing "), QStringLiteral("Trailing ")},
        {QStringLiteral("Quoted \"x\""), QStringLiteral("Quoted \"x\"")},  // '"' is 34
        {QStringLiteral("Ação"), QStringLiteral("Ação.")},
        {QString(), QString()},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(qrapp::ErrorBoxText(C.Message), C.Expected) << C.Message.toStdString();
}

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
