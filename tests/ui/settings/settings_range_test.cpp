// The range check of the settings dialog's number fields.

#include "ui/settings/settings_range.h"

#include <gtest/gtest.h>

using tandex::settings::getValue;

namespace {

TEST(SettingsRange, ValuesInsideTheRangePassAndOthersGetTheMessage) {
    const QString thumbnail = QStringLiteral("Thumbnail bar width (Range: 10 .. 43):");
    const QString general = QStringLiteral("\"General\"");
    struct Case {
        const char* value;
        QString range;
        int result;
        const char* message;
    };
    const Case cases[] = {
        {"10", thumbnail, 10, ""},
        {"43", thumbnail, 43, ""},
        {" 21 ", thumbnail, 21, ""},
        {"50", thumbnail, -1, "Invalid value (50) in field:\r\"Thumbnail bar width\" \r\rThe valid range is: 10 .. 43"},
        {"9", thumbnail, -1, "Invalid value (9) in field:\r\"Thumbnail bar width\" \r\rThe valid range is: 10 .. 43"},
        // Not a number counts as below the range.
        {"abc", thumbnail, -1, "Invalid value (abc) in field:\r\"Thumbnail bar width\" \r\rThe valid range is: 10 .. 43"},
        {"", thumbnail, -1, "Invalid value () in field:\r\"Thumbnail bar width\" \r\rThe valid range is: 10 .. 43"},
        // A margin's hint: the blank before the name stays, its ":" goes.
        {"3", QStringLiteral(" Left page margin: (Range: 4 .. 50) "), -1,
         "Invalid value (3) in field:\r\" Left page margin\" \r\rThe valid range is: 4 .. 50"},
        // Two captions run together: the ":" before the pattern goes.
        {"17", QStringLiteral("Tab size:(Range: 2 .. 16)"), -1,
         "Invalid value (17) in field:\r\"Tab size\"\r\rThe valid range is: 2 .. 16"},
        // A range text that is only the pattern names no field.
        {"1000000", QStringLiteral("(Range: 0 .. 999999)"), -1,
         "Invalid value (1000000) in field:\r\"\"\r\rThe valid range is: 0 .. 999999"},
        {"0", QStringLiteral("(Range: 0 .. 999999)"), 0, ""},
    };
    for (const Case& c : cases) {
        const auto r = getValue(QLatin1String(c.value), general, c.range);
        EXPECT_EQ(r.value, c.result) << c.value << " " << qPrintable(c.range);
        EXPECT_EQ(r.message, QString::fromUtf8(c.message)) << c.value;
        EXPECT_EQ(r.caption, r.message.isEmpty() ? QString() : QStringLiteral("Invalid value on Tab: \"General\""));
    }
}

TEST(SettingsRange, ARangeTextWithoutItsPatternRefusesEveryValue) {
    struct Case {
        const char* range;
        const char* shown;  // the range text as far as it was read
    };
    const Case cases[] = {
        {"Thumbnail bar width:", "Thumbnail bar width:"},
        {"Width (Range: 10 - 43)", "10 - 43)"},
        {"Width (Range: 10 ..)", "10 .."},
        {"Width (Range: 43 .. 10)", "43 .. 10"},
        // A bound that is no number would let "-1" pass and still mean "refused".
        {"Width (Range: x .. 10)", "x .. 10"},
    };
    for (const Case& c : cases) {
        for (const char* value : {"20", "-1"}) {
            const auto r = getValue(QLatin1String(value), QStringLiteral("Copy"), QLatin1String(c.range));
            EXPECT_EQ(r.value, -1) << c.range;
            EXPECT_EQ(r.message, QStringLiteral("Internal error!\rThe correct range pattern is missing for:\r") +
                                     QLatin1String(c.shown))
                << c.range;
            EXPECT_EQ(r.caption, QStringLiteral("Invalid value on Tab: Copy"));
        }
    }
}

}  // namespace
