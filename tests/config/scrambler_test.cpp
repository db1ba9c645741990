#include "config/scrambler.h"
#include "qt_print.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace tandex::config;

TEST(Scrambler, KnownFormStillReads) {
    // "a" with both random parts 0: the character's group, then the length.
    EXPECT_EQ(UnscrambleText(QStringLiteral("666E33165E23")), QStringLiteral("a"));
}

TEST(Scrambler, EveryLengthSurvivesIncludingPast255) {
    QRandomGenerator rng(12345);
    for (int n = 1; n <= 600; ++n) {
        QByteArray bytes(n, Qt::Uninitialized);
        for (auto& b : bytes)
            b = char(rng.bounded(256));
        const QString s = ScrambleBytes(bytes);
        ASSERT_EQ(s.size(), 6 * (n + 1));
        ASSERT_EQ(UnscrambleBytes(s), bytes) << n;
    }
}

TEST(Scrambler, TextIsScrambledAsUtf8SoNoCharacterIsLost) {
    const QString password = QStringLiteral("Pass \u0436\u20ac \U0001F600 \uFEFFend");
    const QString s = ScrambleText(password);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(s).hasMatch());
    EXPECT_EQ(UnscrambleText(s), password);
    EXPECT_TRUE(ScrambleText(QString()).isEmpty());
}

TEST(Scrambler, OlderWindows1252TextsStillRead) {
    const QString s = ScrambleBytes(QByteArray("caf\xE9 \x80", 6));
    EXPECT_EQ(UnscrambleText(s), QStringLiteral("caf\u00e9 \u20ac"));
}

TEST(Scrambler, SameTextScramblesDifferentlyEachTime) {
    const QString a = ScrambleText(QStringLiteral("secret-password"));
    const QString b = ScrambleText(QStringLiteral("secret-password"));
    EXPECT_NE(a, b);
    EXPECT_EQ(UnscrambleText(a), QStringLiteral("secret-password"));
    EXPECT_EQ(UnscrambleText(b), QStringLiteral("secret-password"));
}

TEST(Scrambler, MalformedInputGivesEmptyText) {
    const QString good = ScrambleText(QStringLiteral("abc"));
    QString badRandom = QStringLiteral("666E33165E23");
    badRandom.replace(4, 2, QStringLiteral("10"));  // random part 0x01 ^ 1 = 0: out of range
    const QString cases[] = {
        good.toLower(),
        QStringLiteral("165E23"),  // the length group alone
        good.left(good.size() - 1),
        good.left(good.size() - 2) + QStringLiteral("G0"),
        QStringLiteral("666E33165E2:"),
        badRandom,
        QString(),
    };
    for (const QString& c : cases)
        EXPECT_TRUE(UnscrambleText(c).isEmpty()) << c.toStdString();
}
