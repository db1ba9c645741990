#include "engine/fuzzy_realign.h"

#include "config/app_settings.h"
#include "engine/fuzzy_similarity.h"
#include "engine/pane_stores.h"
#include "engine/text_compare.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

using namespace tandex::engine;
using tandex::config::AppSettings;

namespace {

using Lines = std::vector<std::optional<QString>>;

class FuzzyRealignTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings();
        AppSettings().TCFPEnhance = false;
        AppSettings().TCSimilarity = 85;
        fuzzyProcessor().FuzzyReset(true);
        fuzzyProcessor().FuzzyLoadSettings();
        fuzzyProcessor().LengthRatio = 0.1;
    }
    void TearDown() override {
        AppSettings() = saved_;
        for (int p = 1; p <= 2; ++p) paneStores().ResetSide(p, true);
        paneStores().UpdateMaxLineCount();
    }
    // Rows with a gap where a side has nullopt; every row marked as differing.
    static void rows(const Lines& left, const Lines& right) {
        auto& st = paneStores();
        for (int p = 1; p <= 2; ++p) {
            const Lines& lines = p == 1 ? left : right;
            st.ResetSide(p, false);
            for (size_t i = 0; i < lines.size(); ++i) {
                if (!lines[i]) continue;
                TTextLine* line = st.TextLines[size_t(p)].New(int(i));
                line->Text = *lines[i];
                line->Key = quint32(qHash(*lines[i])) | 1;
                line->Differs = 1;
            }
            st.LineCount[size_t(p)] = int(lines.size());
        }
        st.UpdateMaxLineCount();
    }
    static QStringList texts() {
        auto& st = paneStores();
        QStringList out;
        for (int r = 0; r < st.MaxLineCount; ++r) {
            const TTextLine* l = st.TextLines[1][r];
            const TTextLine* rt = st.TextLines[2][r];
            out << (l->Gap ? QStringLiteral("~") : l->Text) + "|" + (rt->Gap ? QStringLiteral("~") : rt->Text);
        }
        return out;
    }

private:
    tandex::config::TAppSettings saved_;
};

}  // namespace

TEST_F(FuzzyRealignTest, BetterPlacedCandidateIsNotTakenAndRaisesTheBar) {
    // Row 1's right line (77 against the moving line) stays with its own
    // partner (96); the bar of 96 then keeps row 2 (94) from being taken.
    const QStringList before{"the quick brown fox|qqqq", "the quick brown fox jumps!|the quick brown fox jumps",
                             "zzzz|the quick brown fix"};
    rows({"the quick brown fox", "the quick brown fox jumps!", "zzzz"},
         {"qqqq", "the quick brown fox jumps", "the quick brown fix"});
    EXPECT_EQ(MoveToBetterPartner(1, 2, 0, 0), 1);
    EXPECT_EQ(texts(), before);
    // Without that line in the way, row 2 is taken: X moves down to it.
    rows({"the quick brown fox", "zzzz", "yyyy"}, {"qqqq", "wwww", "the quick brown fix"});
    EXPECT_EQ(MoveToBetterPartner(1, 2, 0, 0), 2);
    EXPECT_EQ(texts()[2], "the quick brown fox|the quick brown fix");
}

TEST_F(FuzzyRealignTest, PartnerBelowAGapMovesUp) {
    // The partner is the first candidate: it moves up; the emptied row goes.
    rows({"the quick brown fox", std::nullopt, "x"}, {std::nullopt, "the quick brown fix", "x"});
    EXPECT_EQ(RealignRow(0, 1, 2), 1);
    EXPECT_EQ(texts(), QStringList({"the quick brown fox|the quick brown fix", "x|x"}));
    EXPECT_EQ(paneStores().TextLines[1][0]->Differs, 1);
}

TEST_F(FuzzyRealignTest, DoubleGapRowsAreRemoved) {
    rows({"a", std::nullopt, std::nullopt, "b"}, {"a", std::nullopt, "c", std::nullopt});
    EXPECT_EQ(RemoveDoubleGapRows(0, 10), 1);
    EXPECT_EQ(texts(), QStringList({"a|a", "~|c", "b|~"}));
}

TEST_F(FuzzyRealignTest, PerfectCandidateEndsTheSearch) {
    // The later candidate would score above 100 (containment bonus), but the
    // exact partner before it ends the search.
    AppSettings().TCFPEnhance = true;
    fuzzyProcessor().FuzzyLoadSettings();
    fuzzyProcessor().LengthRatio = 0.1;
    const QString x = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN";
    const QString longer = x + "01234567890123456789";
    rows({x, "zzzz", "yyyy"}, {"qqqq", x, longer});
    EXPECT_EQ(MoveToBetterPartner(1, 2, 0, 0), 1);
    EXPECT_EQ(texts(), QStringList({"~|qqqq", x + "|" + x, "zzzz|~", "yyyy|" + longer}));
    EXPECT_EQ(paneStores().TextLines[1][1]->Differs, 0);
}

TEST_F(FuzzyRealignTest, LastLinesPairAcrossGapsEitherWay) {
    struct Case {
        const char* name;
        Lines left, right;
        QStringList rows;
    };
    const Case cases[] = {
        {"pane 2's last line moves down",
         {"a", "b", "c", "the closing line!"},
         {"a", "the closing line", std::nullopt, std::nullopt},
         {"a|a", "b|~", "c|~", "the closing line!|the closing line"}},
        {"empty rows at the end are passed over and stay paired",
         {"a", "the closing line", std::nullopt, ""},
         {"a", "x", "the closing line!", ""},
         {"a|a", "~|x", "the closing line|the closing line!", "|"}},
        {"too different to pair",
         {"a", "the closing line", std::nullopt},
         {"a", "x", "something else"},
         {"a|a", "the closing line|x", "~|something else"}},
    };
    for (const auto& c : cases) {
        rows(c.left, c.right);
        AlignLastLines();
        EXPECT_EQ(texts(), c.rows) << c.name;
    }
}

TEST_F(FuzzyRealignTest, PassIsHeldToTheFuzzyTimeLimit) {
    // Lines long enough that the scores up to the first candidate's call
    // for a check of the time (three pairs of 2,000 squared cells): with no
    // time left the pass stops there, before the line could move down to
    // its twin, and the stop is reported.
    std::mt19937 rng(7);
    auto randomLine = [&] {
        QString line(2000, Qt::Uninitialized);
        for (QChar& c : line)
            c = QChar(char16_t(u'a' + rng() % 26));
        return line;
    };
    const QString a = randomLine(), b = randomLine(), z = randomLine();
    struct Case {
        int seconds;
        quint8 stopState;
        QStringList rows;
    };
    const Case cases[] = {
        {1000000, 0, {"~|" + z, a + "|" + a, b + "|~"}},
        {0, 2, {a + "|" + z, b + "|" + a}},
    };
    for (const auto& c : cases) {
        AppSettings().TCFPTime = c.seconds;
        // As a comparison run leaves the similarity state for the pass.
        fuzzyProcessor().FuzzyInit(true, 2, 2);
        fuzzyProcessor().FuzzyReset(false);
        textCompare().FuzzyStopState = 0;
        rows({a, b}, {z, a});
        RealignRows();
        EXPECT_EQ(textCompare().FuzzyStopState, c.stopState) << c.seconds;
        EXPECT_EQ(texts(), c.rows) << c.seconds;
    }
    textCompare().FuzzyStopState = 0;
}
