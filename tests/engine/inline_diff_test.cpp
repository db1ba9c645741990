#include "engine/inline_diff.h"

#include "access/program_log.h"
#include "config/app_settings.h"
#include "engine/diff_engine.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace tandex::engine;
using tandex::config::AppSettings;

namespace {

class InlineDiffTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings();
        AppSettings().TCIgnCase = false;
        AppSettings().TCIgnLineCom = false;
        AppSettings().TCDiffDetect = 2;
        lineKeys().Options = LineKeyOptions{};
    }
    void TearDown() override {
        AppSettings() = saved_;
        lineKeys().Options = LineKeyOptions{};
        auto& st = paneStores();
        st.IgnoredColumnsActive = 0;
        st.IgnoredColumns.fill(0);
        for (int p = 1; p <= 2; ++p) st.ResetSide(p, true);
        st.UpdateMaxLineCount();
        rows().FilterTextRows(0);
        diffEngine().DiffProgressProc = nullptr;
    }

    // One row holding the two lines; compares it and gives both flag strings
    // ("0" differs, "1" equal, "G" ignored) over the lines' own lengths.
    static std::pair<QString, QString> flags(const QString& a, const QString& b) {
        load(a, b);
        inlineDiff().CompareLinePair(a, b, 0);
        return {flagText(1), flagText(2)};
    }
    static void load(const QString& a, const QString& b) {
        auto& st = paneStores();
        for (int p = 1; p <= 2; ++p) {
            st.ResetSide(p, false);
            st.TextLines[size_t(p)].New(0)->Text = p == 1 ? a : b;
            st.LineCount[size_t(p)] = 1;
        }
        st.UpdateMaxLineCount();
        rows().FilterTextRows(0);
    }
    static QString flagText(int pane) {
        const TTextLine* line = paneStores().TextLines[size_t(pane)][0];
        QString out;
        for (int i = 0; i < line->Length(); ++i) {
            const quint8 f = line->CharFlags.at(size_t(i));
            out += f == 16 ? QChar(u'G') : QChar(char16_t(u'0' + f));
        }
        return out;
    }

private:
    tandex::config::TAppSettings saved_;
};

}  // namespace

TEST_F(InlineDiffTest, WordModeMarksTheChangedWord) {
    AppSettings().TCDiffDetect = 1;
    const auto [l, r] = flags("int a = 1;", "int bc = 1;");
    EXPECT_EQ(l, "1111011111");
    EXPECT_EQ(r, "11110011111");
    // A changed word of several characters is marked whole, even where letters agree.
    const auto [l2, r2] = flags("call counter", "call countor");
    EXPECT_EQ(l2, "111110000000");
    EXPECT_EQ(r2, "111110000000");
    // Tabs are held as runs of the fill character: every one gets its flag.
    const QString t(2, QChar(char16_t(127)));
    const auto [l3, r3] = flags("x" + t + "= 1", "x" + t + "= 2");
    EXPECT_EQ(l3, "111110");
    EXPECT_EQ(r3, "111110");
}

TEST_F(InlineDiffTest, CharacterModeMarksChangedCharacters) {
    const auto [l, r] = flags("call counter", "call countor");
    EXPECT_EQ(l, "111111111101");
    EXPECT_EQ(r, "111111111101");
    // An inserted character: only it differs.
    const auto [l2, r2] = flags("colour", "colouur");
    EXPECT_EQ(l2, "111111");
    EXPECT_EQ(r2, "1111011");  // the common tail is trimmed first
    const QString t(2, QChar(char16_t(127)));
    const auto [lt, rt] = flags("a" + t + "b", "a" + t.left(1) + "b");
    EXPECT_EQ(lt, "1011");
    EXPECT_EQ(rt, "111");

    // A 30-character word sharing only 3 positions, differing at its second
    // character: marked from the second character on.
    const QString w1 = "abcdefghijklmnopqrstuvwxyz0123";
    const QString w2 = "aXcd" + QString(26, u'X');
    const auto [l3, r3] = flags(w1, w2);
    EXPECT_EQ(l3, "1" + QString(29, u'0'));
    EXPECT_EQ(r3, "1" + QString(29, u'0'));
}

TEST_F(InlineDiffTest, CommentsAndIgnoredColumnsAreFlaggedIgnored) {
    AppSettings().TCIgnLineCom = true;
    AppSettings().TCIgnLnComPat = "//";
    lineKeys().LoadLineKeyOptions();
    const auto [l, r] = flags("x = 1; // one", "x = 1; // two");
    EXPECT_EQ(l, "1111111GGGGGG");
    EXPECT_EQ(r, "1111111GGGGGG");

    AppSettings().TCIgnLineCom = false;
    lineKeys().LoadLineKeyOptions();
    auto& st = paneStores();
    st.IgnoredColumns[1] = st.IgnoredColumns[2] = 1;
    st.IgnoredColumnsActive = 1;
    lineKeys().Options.IgnoreColumnsActive = 1;
    const auto [l2, r2] = flags("12 same", "34 same");
    EXPECT_EQ(l2, "GG11111");
    EXPECT_EQ(r2, "GG11111");
    // The key switch of the line comparison is back as it was.
    EXPECT_EQ(lineKeys().Options.IgnoreColumnsActive, 1);

    // An empty first line: nothing compared, the other line's comment still ignored.
    AppSettings().TCIgnLineCom = true;
    lineKeys().LoadLineKeyOptions();
    const auto [l3, r3] = flags("", "ab // c");
    EXPECT_EQ(l3, "");
    EXPECT_EQ(r3, "000GGGG");
}

TEST_F(InlineDiffTest, ApostrophesAreWordsOfTheirOwn) {
    auto& d = inlineDiff();
    const QString a = "don't ''x", b = "''";
    ASSERT_TRUE(d.SplitLineWords(a, int(a.size()), b, int(b.size())));
    const std::vector<std::u16string> words1{u"don", u"'", u"t", u" ", u"'", u"'", u"x"};
    const std::vector<std::u16string> words2{u"'", u"'"};
    EXPECT_EQ(d.Words1, words1);
    EXPECT_EQ(d.Words2, words2);
    // Runs of one delimiter stay together; different delimiters split.
    const QString c = "a==b(()";
    ASSERT_TRUE(d.SplitLineWords(c, int(c.size()), b, int(b.size())));
    const std::vector<std::u16string> words3{u"a", u"==", u"b", u"((", u")"};
    EXPECT_EQ(d.Words1, words3);
}

TEST_F(InlineDiffTest, OverlongWordIsLoggedAndLeavesThePairUnmarked) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString word(149, u'w');
    const QString words = QStringLiteral("a ").repeated(800);  // 1,600 words
    const struct {
        QString a, b, log;
    } cases[] = {
        {"x " + word, "x " + word, "CT2 addWord1: MAX_CHARS limit:149 x " + word},
        {"x", "x " + word, "CT4 addWord2: MAX_CHARS limit:149 x " + word + " "},
        {words, "x", "CT1 addWord1: MAX_WORDS limit:1599"},
        {"x", words, "CT3 addWord2: MAX_WORDS limit:1599"},
    };
    for (const auto& c : cases) {
        const QString logPath = dir.filePath("log.txt");
        QFile::remove(logPath);
        tandex::access::FZSetLogFile(logPath);
        const auto [l, r] = flags(c.a, c.b);
        tandex::access::FZSetLogFile(QString());
        EXPECT_EQ(l, QString(c.a.size(), u'0')) << c.log.left(30).toStdString();
        EXPECT_EQ(r, QString(c.b.size(), u'0')) << c.log.left(30).toStdString();
        QFile log(logPath);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(c.log)) << c.log.left(30).toStdString();
    }
}

TEST_F(InlineDiffTest, BusyEngineLeavesFlagsAndTheOtherRunAlone) {
    auto& e = diffEngine();
    const qint32 a[] = {1, 2, 3}, b[] = {1, 5, 3};
    QString inner1, inner2;
    int calls = 0;
    e.DiffProgressProc = [&](qint32) {
        if (++calls == 1) std::tie(inner1, inner2) = flags("same text", "other text");
    };
    ASSERT_TRUE(e.DiffInts(a, b, 3, 3));
    EXPECT_EQ(inner1, "000000000");
    EXPECT_EQ(inner2, "0000000000");
    // The busy run still reports its progress afterwards.
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(e.DiffRecordCount(), 3);
    DiffStatistics s;
    e.GetDiffStatistics(s);
    EXPECT_EQ(s.Modifies, 1);
}

TEST_F(InlineDiffTest, MarkedEqualCharactersAgreeOnBothSides) {
    // Whatever the words, the characters marked equal must spell the same
    // text on both sides: a flag written at the wrong position breaks that.
    const QStringList tokens{"a", "b", "ab", "int", " ", "  ", "=", "==", "(", ")", "'", "x1", "counter", "countor",
                             QString(QChar(char16_t(127))), ";", "abcdefghijklmnopqrstuvwxyz0123"};
    std::mt19937 rng(77);
    for (int round = 0; round < 3000; ++round) {
        AppSettings().TCDiffDetect = 1 + round % 2;
        QString a, b;
        for (int i = int(rng() % 12); i > 0; --i) a += tokens[int(rng() % tokens.size())];
        for (int i = int(rng() % 12); i > 0; --i) b += tokens[int(rng() % tokens.size())];
        if (round % 5 == 0) b = a;
        load(a, b);
        inlineDiff().CompareLinePair(a, b, 0);
        QString eq1, eq2;
        const TTextLine* l1 = paneStores().TextLines[1][0];
        const TTextLine* l2 = paneStores().TextLines[2][0];
        for (int i = 0; i < a.size(); ++i)
            if (l1->CharFlags.at(size_t(i)) == 1) eq1 += a[i];
        // The blank appended to the second line may take part too.
        const QString b2 = b + " ";
        for (int i = 0; i < b2.size(); ++i)
            if (l2->CharFlags.at(size_t(i)) == 1) eq2 += b2[i];
        ASSERT_EQ(eq1, eq2) << a.toStdString() << " | " << b.toStdString() << " mode " << AppSettings().TCDiffDetect;
        // Identical lines read as equal throughout in character mode (in word
        // mode trailing blanks face the longer run that the appended blank makes).
        if (a == b && AppSettings().TCDiffDetect == 2) {
            ASSERT_EQ(eq1, a) << a.toStdString();
        }
    }
}
