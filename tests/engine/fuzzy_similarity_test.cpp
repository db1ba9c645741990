#include "engine/fuzzy_similarity.h"

#include "config/app_settings.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace tandex::engine;
using tandex::config::AppSettings;

namespace {

class FuzzyTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings();
        AppSettings().TCSimilarity = 85;
        AppSettings().TCFPEnhance = true;
        AppSettings().TCFPIgnCase = false;
        AppSettings().TCIgnCase = false;
        AppSettings().TCIgnLineCom = false;
        fz().FuzzyReset(true);
    }
    void TearDown() override {
        AppSettings() = saved_;
        fz().FuzzyReset(true);
        fz().LengthRatio = 0.5;
        for (int p = 1; p <= 2; ++p) paneStores().ResetSide(p, true);
    }
    static FuzzyProcessor& fz() { return fuzzyProcessor(); }
    static void load(int pane, const QStringList& lines) {
        auto& st = paneStores();
        st.ResetSide(pane, false);
        for (int i = 0; i < lines.size(); ++i) st.TextLines[size_t(pane)].New(i)->Text = lines[i];
        st.LineCount[size_t(pane)] = int(lines.size());
        st.UpdateMaxLineCount();
    }
    // Scores line 0 of both panes inside a run.
    static qint32 score(const QString& a, const QString& b) {
        load(1, {a});
        load(2, {b});
        fz().FuzzyInit(true, 1, 1);
        return fz().LineSimilarity(0, 0);
    }

private:
    tandex::config::TAppSettings saved_;
};

}  // namespace

TEST_F(FuzzyTest, ScoresFollowDistanceLengthRatioAndBonuses) {
    EXPECT_EQ(score("same text", "same text"), 100);
    EXPECT_EQ(score("", "anything"), 1);
    EXPECT_EQ(score("anything", ""), 1);
    // Spaces do not count, tab fill does.
    EXPECT_EQ(score("a b c d", "abcd"), 100);
    EXPECT_LT(score(QString("ab") + QChar(127) + "cd", "abcd"), 100);

    // 10 against 40 characters at threshold 85: too short, no distance computed.
    EXPECT_EQ(score("0123456789", QString(40, u'x')), 1);
    EXPECT_EQ(fz().FuzzyStats.DistanceComputations, 0);

    // One changed character of 20: 95.
    EXPECT_EQ(score("abcdefghijklmnopqrst", "abcdefghijklmnopqrsX"), 95);
    EXPECT_EQ(fz().FuzzyStats.DistanceComputations, 1);

    // Below the threshold with a common prefix over half the line: + Round(15 * 15 / 20).
    AppSettings().TCSimilarity = 90;
    EXPECT_EQ(score("abcdefghijklmnoXYZWV", "abcdefghijklmnoQRSTU"), 75 + 11);
    AppSettings().TCFPEnhance = false;
    EXPECT_EQ(score("abcdefghijklmnoXYZWV", "abcdefghijklmnoQRSTU"), 75);

    // Containment adds the shorter length.
    AppSettings().TCFPEnhance = true;
    AppSettings().TCSimilarity = 85;
    EXPECT_EQ(score("0123456789", "ab0123456789cd"), 72 + 10);

    // Case folds with either setting.
    EXPECT_LT(score("ABCDEFGH", "abcdefgh"), 85);
    AppSettings().TCFPIgnCase = true;
    EXPECT_EQ(score("ABCDEFGH", "abcdefgh"), 100);
}

TEST_F(FuzzyTest, DistanceCountsAdjacentSwapsOnce) {
    const struct {
        std::u16string a, b;
        int distance;
    } cases[] = {
        {u"abcdef", u"abdcef", 1},
        {u"ab", u"ba", 1},
        {u"kitten", u"sitting", 3},
        {u"", u"abc", 3},
        {u"abc", u"abc", 0},
        {u"abcXdef", u"abcdef", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fz().OsaDistanceW(c.a, c.b), c.distance);
        EXPECT_EQ(fz().OsaDistanceW(c.b, c.a), c.distance);
    }
    EXPECT_EQ(FuzzyProcessor::FuzzyContains(u"cd", u"abcd"), 3);
    EXPECT_EQ(FuzzyProcessor::FuzzyContains(u"", u"abcd"), 0);
    EXPECT_EQ(FuzzyProcessor::FuzzyContains(u"abcde", u"abcd"), 0);
}

namespace {

// The distance over a full matrix, the longer line along the rows: a cell
// takes its diagonal neighbour on equal characters and on a swapped adjacent
// pair, else one more than the least of its three neighbours.
int referenceOsa(std::u16string a, std::u16string b) {
    if (a.size() < b.size()) std::swap(a, b);
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = int(i);
    for (size_t j = 0; j <= m; ++j) d[0][j] = int(j);
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j) {
            const bool swapped = i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1];
            d[i][j] = a[i - 1] == b[j - 1] || swapped
                          ? d[i - 1][j - 1]
                          : 1 + std::min({d[i - 1][j], d[i][j - 1], d[i - 1][j - 1]});
        }
    return d[n][m];
}

}  // namespace

// Lengths around one machine word, small alphabets (many swaps and repeats)
// and characters beyond the first 256.
TEST_F(FuzzyTest, DistanceMatchesTheFullMatrixOnRandomPairs) {
    std::mt19937 rng(58);
    const char16_t alphabets[][4] = {{u'a', u'b', 0, 0}, {u'a', u'b', u'c', u'd'}, {u'x', 0x3b1, 0x20ac, u'y'}};
    for (int round = 0; round < 4000; ++round) {
        const auto& alphabet = alphabets[round % 3];
        const int letters = alphabet[2] ? 4 : 2;
        const auto text = [&](int length) {
            std::u16string s;
            for (int k = 0; k < length; ++k) s.push_back(alphabet[rng() % unsigned(letters)]);
            return s;
        };
        const std::u16string a = text(int(rng() % 90));
        std::u16string b = rng() % 2 ? text(int(rng() % 90)) : a;
        // Edits of a: swaps, changes, inserts.
        for (int e = int(rng() % 6); e > 0 && b.size() > 1; --e) {
            const size_t at = rng() % (b.size() - 1);
            switch (rng() % 3) {
            case 0: std::swap(b[at], b[at + 1]); break;
            case 1: b[at] = alphabet[rng() % unsigned(letters)]; break;
            default: b.insert(b.begin() + qint64(at), alphabet[rng() % unsigned(letters)]); break;
            }
        }
        ASSERT_EQ(fz().OsaDistanceW(a, b), referenceOsa(a, b)) << "round " << round;
        ASSERT_EQ(fz().OsaDistanceW(b, a), referenceOsa(a, b)) << "round " << round;
    }
}

TEST_F(FuzzyTest, EmptyLineGetsNoPrefixBonusFromAnEarlierPair) {
    load(1, {"abcdefghijklmnoXYZWV", ""});
    load(2, {"abcdefghijklmnoQRSTU", "abcdefghijklmnopqrst"});
    AppSettings().TCSimilarity = 90;
    fz().FuzzyInit(true, 2, 2);
    EXPECT_EQ(fz().LineSimilarity(0, 0), 86);
    EXPECT_EQ(fz().LineSimilarity(1, 1), 1);
}

TEST_F(FuzzyTest, MatrixMemoisesClampsAndSkipsTheBand) {
    // The containment bonus lifts the score past 100; the cell keeps 100.
    QString shorter(200, u'q');
    load(1, {shorter});
    load(2, {"x" + shorter + QString(49, u'y')});
    AppSettings().TCSimilarity = 95;
    ASSERT_TRUE(fz().FuzzyInit(true, 1, 1));
    EXPECT_GT(fz().LineSimilarity(0, 0), 255);
    EXPECT_TRUE(fz().IsSimilarLine(0, 0));
    EXPECT_EQ(fz().MatrixCell(0, 0), 100);
    EXPECT_TRUE(fz().IsSimilarLine(0, 0));
    EXPECT_EQ(fz().FuzzyStats.Evaluations, 1);
    EXPECT_EQ(fz().FuzzyStats.MemoHits, 1);

    // Pairs further apart than the band are not scored.
    ASSERT_TRUE(fz().FuzzyInit(true, 10000, 10500));
    EXPECT_FALSE(fz().IsSimilarLine(100, 2600));
    EXPECT_EQ(fz().FuzzyStats.BandSkips, 1);
    EXPECT_EQ(fz().FuzzyStats.Evaluations, 0);
    EXPECT_EQ(fz().MatrixCell(100, 2600), 1);

    EXPECT_FALSE(fz().FuzzyInit(true, 15000, 10));
    EXPECT_EQ(fz().FuzzyAbortState, 1);
    EXPECT_FALSE(fz().HasMatrix());
    EXPECT_FALSE(fz().IsSimilarLine(0, 0));
}

TEST_F(FuzzyTest, LongLinesScoreTheirFirstCharactersOnly) {
    QString a(20000, u'a'), b = a;
    b[19000] = u'b';
    load(1, {a});
    load(2, {b});
    fz().FuzzyInit(true, 1, 1);
    EXPECT_EQ(fz().LineSimilarity(0, 0), 100);
    b[10] = u'b';
    load(2, {b});
    fz().FuzzyInit(true, 1, 1);
    EXPECT_EQ(fz().LineSimilarity(0, 0), 100 - 100 / 8192);
}

TEST_F(FuzzyTest, ResizeKeepsScoresWithTheirLines) {
    ASSERT_TRUE(fz().FuzzyInit(true, 5, 5));
    load(1, {"aaaaaaaaaa", "bbbbbbbbbb", "cccccccccc", "dddddddddd", "eeeeeeeeee"});
    load(2, {"aaaaaaaaaa", "bbbbbbbbbb", "cccccccccc", "dddddddddd", "eeeeeeeeee"});
    for (int i = 0; i < 5; ++i) fz().IsSimilarLine(i, i);
    // Two lines inserted into pane 1 at line 2: rows from 2 move down by two.
    ASSERT_TRUE(fz().FuzzyResizeMatrix(7, 5, 2));
    EXPECT_EQ(fz().Rows, 7);
    EXPECT_EQ(fz().MatrixCell(1, 1), 100);
    EXPECT_EQ(fz().MatrixCell(2, 2), 0);
    EXPECT_EQ(fz().MatrixCell(4, 2), 100);
    EXPECT_EQ(fz().MatrixCell(6, 4), 100);
    // One line deleted from pane 2 at line 0: columns move left.
    ASSERT_TRUE(fz().FuzzyResizeMatrix(7, 4, 0));
    EXPECT_EQ(fz().MatrixCell(1, 0), 100);
    EXPECT_EQ(fz().MatrixCell(6, 3), 100);
    EXPECT_FALSE(fz().FuzzyResizeMatrix(15000, 4, 0));
    // Transposed, the counts swap sides.
    fz().FuzzyToggleTransposed();
    EXPECT_EQ(fz().MatrixCell(3, 6), 100);
}

// Rows wider than one stored chunk of columns: scores move with their lines
// across chunk borders, and unscored cells stay unknown.
TEST_F(FuzzyTest, ResizeMovesScoresAcrossWideRows) {
    QStringList lines;
    for (int i = 0; i < 200; ++i) lines << QStringLiteral("line %1 of the pair").arg(i);
    load(1, lines);
    load(2, lines);
    ASSERT_TRUE(fz().FuzzyInit(true, 200, 200));
    const int scored[] = {0, 63, 64, 130, 199};
    for (int i : scored) fz().IsSimilarLine(i, i);
    // Three lines inserted into pane 2 at line 60, then five deleted at 100.
    ASSERT_TRUE(fz().FuzzyResizeMatrix(200, 203, 60));
    ASSERT_TRUE(fz().FuzzyResizeMatrix(200, 198, 100));
    const struct {
        int row, column, score;
    } cells[] = {{0, 0, 100},  {63, 66, 100},  {64, 67, 100}, {130, 128, 100}, {199, 197, 100},
                 {63, 63, 0},  {64, 64, 0},    {130, 133, 0}, {199, 199, 0},   {0, 1, 0}};
    for (const auto& c : cells) EXPECT_EQ(fz().MatrixCell(c.row, c.column), c.score) << c.row << "," << c.column;
}
