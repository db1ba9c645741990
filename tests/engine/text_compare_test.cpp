#include "engine/text_compare.h"

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/diff_engine.h"
#include "engine/fuzzy_similarity.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <random>

using namespace tandex::engine;
using tandex::config::AppSettings;

namespace {

const QString T = QString(QChar(char16_t(127)));  // one tab fill character

class TextCompareTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings();
        auto& s = AppSettings();
        s.TCIgnAllBl = s.TCIgnLeadBl = s.TCIgnTrailBl = s.TCIgnCase = false;
        s.TCIgnEmptyLn = s.TCIgnLineCom = s.TCIgnColRange = false;
        s.TCIgnLnStart = s.TCIgnLnEnd = 0;
        s.TCSimilarity = 85;
        s.TCFPEnhance = true;
        paneStores().FuzzyMode = 0;
        fuzzyProcessor().FuzzyReset(true);
    }
    void TearDown() override {
        AppSettings() = saved_;
        auto& st = paneStores();
        st.FuzzyMode = 0;
        st.IgnoredColumnsActive = 0;
        st.IgnoredColumns.fill(0);
        for (int p = 1; p <= 2; ++p) st.ResetSide(p, true);
        st.UpdateMaxLineCount();
        lineKeys().Options = LineKeyOptions{};
        fuzzyProcessor().FuzzyReset(true);
    }

    static void load(int pane, const QStringList& lines) {
        auto& st = paneStores();
        st.ResetSide(pane, false);
        for (int i = 0; i < lines.size(); ++i) {
            TTextLine* line = st.TextLines[size_t(pane)].New(i);
            line->Text = lines[i];
            line->LineNumber = i + 1;
        }
        st.LineCount[size_t(pane)] = int(lines.size());
        st.UpdateMaxLineCount();
    }

    // Runs a comparison the way the main window prepares one.
    static void compare(const QStringList& a, const QStringList& b) {
        load(1, a);
        load(2, b);
        lineKeys().BuildColumnMask();
        textCompare().CompareTextFiles();
    }

    // Rows as "left|right", "~" for a gap, "*" behind a row whose pane-1
    // line (or, facing a gap, the real line) is marked.
    static QStringList rowTexts() {
        auto& st = paneStores();
        QStringList out;
        for (int r = 0; r < st.MaxLineCount; ++r) {
            const TTextLine* l = st.TextLines[1][r];
            const TTextLine* rt = st.TextLines[2][r];
            const bool marked = l->Gap ? rt->Differs : l->Differs;
            out << (l->Gap ? QStringLiteral("~") : l->Text) + "|" + (rt->Gap ? QStringLiteral("~") : rt->Text) +
                       (marked ? "*" : "");
        }
        return out;
    }

    // The summary line the user sees, and the block count beside it.
    static QString counts() {
        QString summary;
        textCompare().TextCompareSummary(summary);
        return summary + QStringLiteral(" Blocks=%1").arg(textCompare().GetDiffBlockCount());
    }

private:
    tandex::config::TAppSettings saved_;
};

}  // namespace

TEST_F(TextCompareTest, TextPairsGiveTheirRowsAndCounts) {
    struct Case {
        const char* name;
        QStringList a, b;
        QStringList rows;
        QString counts;
    };
    const Case cases[] = {
        {"identical", {"a", "b"}, {"a", "b"}, {"a|a", "b|b"}, "Mod=0 Add=0 Del=0 Blocks=0"},
        {"empty left", {}, {"x", "y", "z"}, {"~|x*", "~|y*", "~|z*"}, "Mod=0 Add=3 Del=0 Blocks=1"},
        {"changed middle", {"a", "b", "c"}, {"a", "B", "c"}, {"a|a", "b|B*", "c|c"}, "Mod=1 Add=0 Del=0 Blocks=1"},
        {"three deleted two added",
         {"a", "1", "2", "3", "z"},
         {"a", "x", "y", "z"},
         {"a|a", "1|x*", "2|y*", "3|~*", "z|z"},
         "Mod=2 Add=0 Del=1 Blocks=1"},
        {"added and deleted apart",
         {"a", "b", "c", "d"},
         {"a", "n", "b", "d"},
         {"a|a", "~|n*", "b|b", "c|~*", "d|d"},
         "Mod=0 Add=1 Del=1 Blocks=2"},
        {"added at the end", {"a"}, {"a", "b"}, {"a|a", "~|b*"}, "Mod=0 Add=1 Del=0 Blocks=1"},
        {"deleted at the end", {"a", "b"}, {"a"}, {"a|a", "b|~*"}, "Mod=0 Add=0 Del=1 Blocks=1"},
        {"last lines paired in every mode",
         {"a", "b", "the closing line of the file"},
         {"a", "b", "x", "y", "the closing line of the file!"},
         {"a|a", "b|b", "~|x*", "~|y*", "the closing line of the file|the closing line of the file!*"},
         "Mod=1 Add=2 Del=0 Blocks=1"},
        {"empty last lines stay paired",
         {"a", "the closing line", ""},
         {"a", "x", "y", "the closing line!", ""},
         {"a|a", "~|x*", "~|y*", "the closing line|the closing line!*", "|"},
         "Mod=1 Add=2 Del=0 Blocks=1"},
        {"a match at the end stays paired",
         {"a", "the closing line"},
         {"a", "the closing line", "the closing line 2"},
         {"a|a", "the closing line|the closing line", "~|the closing line 2*"},
         "Mod=0 Add=1 Del=0 Blocks=1"},
    };
    for (const auto& c : cases) {
        compare(c.a, c.b);
        EXPECT_EQ(rowTexts(), c.rows) << c.name;
        EXPECT_EQ(counts(), c.counts) << c.name;
        EXPECT_EQ(diffEngine().DiffRecordCount(), 0) << c.name;
    }
    // An empty left pane keeps no line count of its own.
    compare({}, {"x"});
    EXPECT_EQ(paneStores().LineCount[1], 0);
    EXPECT_EQ(paneStores().LineCount[2], 1);
}

TEST_F(TextCompareTest, IgnoreOptionsEndToEnd) {
    struct Case {
        const char* name;
        void (*set)();
        QStringList a, b;
        QString without, with;
    };
    const Case cases[] = {
        {"case", [] { AppSettings().TCIgnCase = true; }, {"Hello"}, {"hELLO"}, "Mod=1 Add=0 Del=0 Blocks=1", "Mod=0 Add=0 Del=0 Blocks=0"},
        {"all blanks", [] { AppSettings().TCIgnAllBl = true; }, {"a" + T + T + "b c"}, {"ab  c"}, "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"leading blanks", [] { AppSettings().TCIgnLeadBl = true; }, {T + T + "x"}, {" x"}, "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"trailing blanks", [] { AppSettings().TCIgnTrailBl = true; }, {"x" + T}, {"x  "}, "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"empty lines", [] { AppSettings().TCIgnEmptyLn = true; }, {"a", "b"}, {"a", T + T, "b"}, "Mod=0 Add=1 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"ignored columns",
         [] {
             AppSettings().TCIgnColRange = true;
             AppSettings().TCIgnColumns = "1-3";
         },
         {"123abc"},
         {"999abc"},
         "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"comments",
         [] {
             AppSettings().TCIgnLineCom = true;
             AppSettings().TCIgnLnComPat = "#";
         },
         {"x = 1 # one"},
         {"x = 1 # two"},
         "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"first lines", [] { AppSettings().TCIgnLnStart = 1; }, {"head 1", "a"}, {"head 2", "a"}, "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
        {"last lines", [] { AppSettings().TCIgnLnEnd = 1; }, {"a", "tail 1"}, {"a", "tail 2"}, "Mod=1 Add=0 Del=0 Blocks=1",
         "Mod=0 Add=0 Del=0 Blocks=0"},
    };
    for (const auto& c : cases) {
        SetUp();
        compare(c.a, c.b);
        EXPECT_EQ(counts(), c.without) << c.name;
        c.set();
        lineKeys().ClearLineKeys();
        compare(c.a, c.b);
        EXPECT_EQ(counts(), c.with) << c.name;
    }
    // An ignored added blank line neither counts nor splits the block around it.
    AppSettings().TCIgnEmptyLn = true;
    compare({"a", "c"}, {"a", "x", "", "y", "c"});
    EXPECT_EQ(counts(), "Mod=0 Add=2 Del=0 Blocks=1");
    EXPECT_EQ(rowTexts()[2], "~|");
}

TEST_F(TextCompareTest, FuzzyModePairsSimilarLines) {
    const QStringList a{"alpha beta gamma delta", "one", "two"};
    const QStringList b{"a new line inserted here", "alpha beta gamma delta!", "one", "two"};
    compare(a, b);
    EXPECT_EQ(rowTexts()[0], "alpha beta gamma delta|a new line inserted here*");
    EXPECT_EQ(counts(), "Mod=1 Add=1 Del=0 Blocks=1");

    paneStores().FuzzyMode = 1;
    compare(a, b);
    EXPECT_EQ(rowTexts(), QStringList({"~|a new line inserted here*", "alpha beta gamma delta|alpha beta gamma delta!*",
                                       "one|one", "two|two"}));
    EXPECT_EQ(counts(), "Mod=1 Add=1 Del=0 Blocks=1");
    EXPECT_EQ(paneStores().FuzzyMode, 1);
    EXPECT_EQ(textCompare().FuzzyStopState, 0);

    // Lines forced equal are not shown as changed by the fuzzy marks.
    AppSettings().TCIgnLnStart = 1;
    compare({"head 1", "a"}, {"head 2", "a"});
    EXPECT_EQ(counts(), "Mod=0 Add=0 Del=0 Blocks=0");
}

TEST_F(TextCompareTest, FuzzyRealignmentMovesALineToItsBetterPartner) {
    // The changed line scores 82, below the threshold: the engine pairs the
    // deleted line above it with its partner, the re-alignment moves it down.
    AppSettings().TCFPEnhance = false;
    const QStringList a{"a", "zzzz", "the quick brown fox", "b"};
    const QStringList b{"a", "the quick brown cat", "b"};
    compare(a, b);
    EXPECT_EQ(rowTexts(), QStringList({"a|a", "zzzz|the quick brown cat*", "the quick brown fox|~*", "b|b"}));
    paneStores().FuzzyMode = 1;
    compare(a, b);
    EXPECT_EQ(rowTexts(), QStringList({"a|a", "zzzz|~*", "the quick brown fox|the quick brown cat*", "b|b"}));
    EXPECT_EQ(counts(), "Mod=1 Add=0 Del=1 Blocks=1");
}

TEST_F(TextCompareTest, LargePaneRunsWithoutFuzzyPairing) {
    QStringList big;
    for (int i = 0; i < 15000; ++i) big << QString::number(i);
    paneStores().FuzzyMode = 1;
    compare(big, {"0"});
    EXPECT_EQ(paneStores().FuzzyMode, 0);
    EXPECT_EQ(textCompare().FuzzyStopState, 1);
    EXPECT_EQ(textCompare().Counts.Deleted, 14999);
}

TEST_F(TextCompareTest, SummaryGroupsThousands) {
    QStringList a, b;
    for (int i = 0; i < 1234; ++i) {
        a << QStringLiteral("left %1").arg(i);
        b << QStringLiteral("right %1").arg(i);
    }
    compare(a, b);
    QString text;
    textCompare().TextCompareSummary(text);
    EXPECT_EQ(text, "Mod=1.234 Add=0 Del=0");
    EXPECT_EQ(textCompare().GetDifferentLineCount(), 1234);
    EXPECT_EQ(textCompare().GetDiffBlockCount(), 1);
    textCompare().SwapAddedDeletedCounts();
    textCompare().ResetTextCompareCounts();
    textCompare().TextCompareSummary(text);
    EXPECT_EQ(text, "Mod=0 Add=0 Del=0");
}

TEST_F(TextCompareTest, CancelledOrReenteredRunLeavesRowsAsLoaded) {
    QStringList a, b;
    for (int i = 0; i < 3000; ++i) {
        a << QStringLiteral("a%1").arg(i);
        b << QStringLiteral("b%1").arg(i);
    }
    load(1, a);
    load(2, b);
    // The engine reports its steps through the progress sink; a second
    // comparison started from there does nothing, a cancel ends the run.
    struct CancelOnStart : tandex::config::SilentProgress {
        void startProgress(qint64) override {
            textCompare().CompareTextFiles();
            textCompare().CancelTextCompare();
        }
    } progress;
    tandex::config::setProgressSink(&progress);
    textCompare().CompareTextFiles();
    tandex::config::setProgressSink(nullptr);
    EXPECT_EQ(paneStores().MaxLineCount, 3000);
    EXPECT_EQ(paneStores().TextLines[2][0]->Text, "b0");
    EXPECT_EQ(counts(), "Mod=0 Add=0 Del=0 Blocks=0");
}

TEST_F(TextCompareTest, GapRowsNeverPushLinesPastTheRowLimit) {
    auto& st = paneStores();
    load(1, {"a", "b"});
    load(2, {"c", "d"});
    st.LineCount[1] = kMaxFileLines - 1;
    EXPECT_FALSE(textCompare().InsertGapRows(1, 0, 5));
    EXPECT_EQ(st.TextLines[1][0]->Text, "a");
    EXPECT_EQ(st.LineCount[1], kMaxFileLines - 1);
    st.LineCount[1] = 2;
    EXPECT_TRUE(textCompare().InsertGapRows(1, 1, 3));
    EXPECT_EQ(st.TextLines[1][3]->Text, "b");
    EXPECT_EQ(st.LineCount[1], 4);
    EXPECT_EQ(st.TextLines[2][1]->Differs, 1);
    EXPECT_EQ(RowLimitMessage(), "The compared files need more than 5.999.999 rows.");
}

TEST_F(TextCompareTest, AlignedRowsKeepEveryLineInOrder) {
    // Similar lines everywhere, so the re-alignment passes move lines about;
    // whatever they do, each pane must still read as loaded, and the counts
    // must agree with the rows.
    const QStringList vocabulary{"the quick brown fox jumps", "the quick brown fox jumped", "the quick brown cat jumps",
                                 "alpha beta gamma", "alpha beta gamma delta", "", "x", "}"};
    std::mt19937 rng(1210);
    for (int round = 0; round < 400; ++round) {
        paneStores().FuzzyMode = round % 2;
        AppSettings().TCIgnEmptyLn = round % 3 == 0;
        QStringList a, b;
        for (int i = int(rng() % 25); i > 0; --i) a << vocabulary[int(rng() % vocabulary.size())];
        for (int i = int(rng() % 25); i > 0; --i) b << vocabulary[int(rng() % vocabulary.size())];
        compare(a, b);
        auto& st = paneStores();
        QStringList seen1, seen2;
        int added = 0, deleted = 0, modified = 0;
        for (int r = 0; r < st.MaxLineCount; ++r) {
            const TTextLine* l = st.TextLines[1][r];
            const TTextLine* rt = st.TextLines[2][r];
            ASSERT_FALSE(l->Gap && rt->Gap) << "round " << round << " row " << r;
            if (!l->Gap) seen1 << l->Text;
            if (!rt->Gap) seen2 << rt->Text;
            const bool ignored = AppSettings().TCIgnEmptyLn && (l->Gap ? rt : l)->Text.isEmpty();
            // A counted row facing a gap also reads as differing.
            if ((l->Gap || rt->Gap) && !ignored) {
                EXPECT_TRUE((l->Gap ? rt : l)->Differs) << "round " << round << " row " << r;
            }
            if (l->Gap) added += ignored ? 0 : 1;
            else if (rt->Gap) deleted += ignored ? 0 : 1;
            else if (l->Differs) ++modified;
        }
        ASSERT_EQ(seen1, a) << "round " << round;
        ASSERT_EQ(seen2, b) << "round " << round;
        const auto& c = textCompare().Counts;
        EXPECT_EQ(c.Added, added) << "round " << round;
        EXPECT_EQ(c.Deleted, deleted) << "round " << round;
        EXPECT_EQ(c.Modified, modified) << "round " << round;
    }
}

TEST_F(TextCompareTest, FuzzyTimeLimitStopsScoringButTheRunCompletes) {
    // No time allowed: the check after 100,000 scored pairs stops the pairing;
    // the run goes on with what is known and the stop is reported.
    AppSettings().TCFPTime = 0;
    QStringList a, b;
    for (int i = 0; i < 600; ++i) {
        // Lengths far apart: no pair is similar (each scores 1 at once) and
        // no line is re-aligned.
        a << QStringLiteral("a%1").arg(i);
        b << QString(30, u'z') + QString::number(i);
    }
    paneStores().FuzzyMode = 1;
    compare(a, b);
    EXPECT_EQ(textCompare().FuzzyStopState, 2);
    EXPECT_EQ(fuzzyProcessor().FuzzyStats.Evaluations, 100000);
    EXPECT_EQ(counts(), "Mod=600 Add=0 Del=0 Blocks=1");
    EXPECT_EQ(paneStores().FuzzyMode, 1);
}

namespace {

// Random enough that no two lines are similar: a pair of lines of length L
// costs L squared distance cells, so above about 3,200 characters every
// pair alone is work enough for a check of the time.
QStringList longRandomLines(int count, int length, unsigned seed) {
    std::mt19937 rng(seed);
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        QString line(length, Qt::Uninitialized);
        for (QChar& c : line)
            c = QChar(char16_t(u'a' + rng() % 26));
        lines << line;
    }
    return lines;
}

}  // namespace

TEST_F(TextCompareTest, FuzzyTimeLimitStopsScoringOfLongLines) {
    // Scoring every pair would take far longer than the second allowed, yet
    // the run scores only a few hundred pairs: the limit must count the work
    // inside a score, not only the pairs.
    AppSettings().TCFPTime = 1;
    const int n = 20;
    paneStores().FuzzyMode = 1;
    compare(longRandomLines(n, 4096, 1), longRandomLines(n, 4096, 2));
    EXPECT_EQ(textCompare().FuzzyStopState, 2);
    EXPECT_LT(fuzzyProcessor().FuzzyStats.Evaluations, n * n);
    EXPECT_EQ(counts(), "Mod=20 Add=0 Del=0 Blocks=1");
}

TEST_F(TextCompareTest, CancelIsReachedWhileLongLinesAreScored) {
    // Far fewer than 100,000 pairs: only counting the work inside each score
    // gives the Cancel button a chance before the whole matrix is done.
    struct CancellingPump : tandex::config::EventPump {
        int calls = 0;
        void processEvents() override {
            ++calls;
            textCompare().CancelTextCompare();
        }
    } pump;
    tandex::config::setEventPump(&pump);
    AppSettings().TCFPTime = 1000000;
    const int n = 12;
    paneStores().FuzzyMode = 1;
    compare(longRandomLines(n, 3300, 3), longRandomLines(n, 3300, 4));
    tandex::config::setEventPump(nullptr);
    EXPECT_GE(pump.calls, 1);
    EXPECT_TRUE(diffEngine().DiffCancelled());
    EXPECT_EQ(textCompare().FuzzyStopState, 0);
    EXPECT_LT(fuzzyProcessor().FuzzyStats.Evaluations, n * n / 4);
}
