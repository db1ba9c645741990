#include "engine/line_keys.h"

#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "config/sys_helpers.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <random>

using namespace tandex::engine;
using tandex::config::AppSettings;

namespace {

const char16_t* u(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

class LineKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings();
        savedSse_ = tandex::config::UseSSE42();
        keys().Options = LineKeyOptions{};
        paneStores().IgnoredColumns.fill(0);
        paneStores().IgnoredColumnsActive = 0;
    }
    void TearDown() override {
        AppSettings() = saved_;
        tandex::config::UseSSE42() = savedSse_;
        keys().Options = LineKeyOptions{};
        paneStores().IgnoredColumns.fill(0);
        paneStores().IgnoredColumnsActive = 0;
        for (int p = 1; p <= 2; ++p) paneStores().ResetSide(p, true);
    }
    static LineKeys& keys() { return lineKeys(); }
    static quint32 key(const QString& s) { return keys().MakeLineKey(s); }
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

private:
    tandex::config::TAppSettings saved_;
    quint8 savedSse_ = 1;
};

}  // namespace

TEST_F(LineKeysTest, CrcPathsGiveTheirKnownValues) {
    const QString hello = QStringLiteral("Hello"), a = QStringLiteral("a");
    EXPECT_EQ(LineKeyCrc32(u(hello), hello.size()), 0x1a4f710fu);
    EXPECT_EQ(LineKeyCrc32(u(a), 1), 0x3d3f4819u);
    EXPECT_EQ(LineKeyCrc32(u(a), 0), 0u);
    EXPECT_EQ(LineKeyCrc32c(u(hello), hello.size()), 0x3408a40eu);
    EXPECT_EQ(LineKeyCrc32c(u(a), 1), 0x6cc1428eu);
    EXPECT_EQ(LineKeyCrc32c(u(a), 0), 0xFFFFFFFFu);

    // The instruction path agrees with the table at every alignment and length.
    std::mt19937 rng(7);
    std::u16string text(300, u'x');
    for (auto& c : text) c = char16_t(rng());
    for (int off = 0; off < 4; ++off)
        for (int len = 0; len < 40; ++len)
            ASSERT_EQ(LineKeyCrc32c(text.data() + off, len), LineKeyCrc32cTable(text.data() + off, len));
    // The table CRC-32 folds several units per step: check it bit by bit.
    auto bitwise = [](const char16_t* t, int n) {
        quint32 crc = 0xFFFFFFFFu;
        for (int i = 0; i < 2 * n; ++i) {
            crc ^= reinterpret_cast<const quint8*>(t)[i];
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        return ~crc;
    };
    for (int len = 0; len < 40; ++len) ASSERT_EQ(LineKeyCrc32(text.data() + 1, len), bitwise(text.data() + 1, len));
    // Odd byte addresses too.
    const auto* bytes = reinterpret_cast<const char*>(text.data()) + 1;
    std::u16string shifted(100, 0);
    std::memcpy(shifted.data(), bytes, 200);
    EXPECT_EQ(LineKeyCrc32c(shifted.data(), 100), LineKeyCrc32cTable(shifted.data(), 100));
}

TEST_F(LineKeysTest, SwitchSelectsTheHashAndEmptyLineKeys) {
    const QString empty;
    tandex::config::UseSSE42() = 1;
    EXPECT_EQ(key(empty), 0xFFFFFFFFu);
    EXPECT_EQ(key(QStringLiteral("Hello")), 0x3408a40eu);
    tandex::config::UseSSE42() = 0;
    EXPECT_EQ(key(empty), 0u);
    EXPECT_EQ(key(QStringLiteral("Hello")), 0x1a4f710fu);
}

TEST_F(LineKeysTest, IgnoreOptionsShapeTheKey) {
    const QChar fill(char16_t(127));
    struct Case {
        const char* name;
        LineKeyOptions options;
        QString a, b;
        bool same;
    };
    auto opts = [](quint8 trail, quint8 lead, quint8 all, quint8 cas, quint8 active) {
        LineKeyOptions o;
        o.IgnoreTrailingBlanks = trail;
        o.IgnoreLeadingBlanks = lead;
        o.IgnoreAllBlanks = all;
        o.IgnoreCase = cas;
        o.OptionsActive = active;
        return o;
    };
    const Case cases[] = {
        {"all blanks", opts(0, 0, 1, 0, 1), " a b  c", "ab c " + QString(fill), true},
        {"all blanks need active options", opts(0, 0, 1, 0, 0), " a b", "ab", false},
        {"leading", opts(0, 1, 0, 0, 0), "  ab", QString(fill) + "ab", true},
        {"leading keeps trailing", opts(0, 1, 0, 0, 0), "ab ", "ab", false},
        {"leading and trailing", opts(1, 1, 0, 0, 0), " ab ", "ab" + QString(fill), true},
        {"inner blanks count", opts(1, 1, 0, 0, 0), "a b", "ab", false},
        {"case", opts(0, 0, 0, 1, 0), "MiXeD Ä", "mixed ä", true},
        {"case off", opts(0, 0, 0, 0, 0), "A", "a", false},
    };
    for (const auto& c : cases) {
        keys().Options = c.options;
        EXPECT_EQ(key(c.a) == key(c.b), c.same) << c.name;
    }
}

TEST_F(LineKeysTest, CommentMarkersCutTheLineInListOrder) {
    auto& o = keys().Options;
    o.OptionsActive = 1;
    o.CutAtComments = 1;
    EXPECT_TRUE(keys().SplitCommentMarkers(QStringLiteral("//")));
    EXPECT_EQ(key("x = 1; // one"), key("x = 1; // two"));
    EXPECT_NE(key("x = 1; // one"), key("x = 1;"));
    o.IgnoreTrailingBlanks = 1;
    EXPECT_EQ(key("x = 1; // one"), key("x = 1;"));

    // "#" is tried first, so it cuts even behind an earlier "//".
    EXPECT_TRUE(keys().SplitCommentMarkers(QStringLiteral("  #   // ")));
    EXPECT_EQ(o.CommentMarkers[0], "#");
    EXPECT_EQ(o.CommentMarkers[1], "//");
    EXPECT_EQ(o.CommentMarkers[2], "");
    EXPECT_EQ(keys().EffectiveLineLength(QStringLiteral("ab // c # d")), 8);
    EXPECT_EQ(key("ab // c # d"), key("ab // c # e"));
    EXPECT_NE(key("ab // c # d"), key("ab"));
    EXPECT_EQ(keys().EffectiveLineLength(QStringLiteral("no marker")), 9);

    EXPECT_FALSE(keys().SplitCommentMarkers(QStringLiteral("1 2 3 4 5 6 7 8 9")));
    EXPECT_EQ(o.CommentMarkers[7], "8");
}

TEST_F(LineKeysTest, IgnoredColumnsBlankInPlaceOrDropWithAllBlanks) {
    auto& o = keys().Options;
    ASSERT_TRUE(keys().ParseIgnoredColumns(QStringLiteral("3-4")));
    o.OptionsActive = 1;
    o.IgnoreColumnsActive = 1;
    EXPECT_EQ(key("abXYef"), key("abZWef"));
    EXPECT_NE(key("abXYef"), key("abef"));
    o.IgnoreColumnsActive = 0;
    EXPECT_NE(key("abXYef"), key("abZWef"));
    // All-blanks mode drops the marked columns, whether or not they are active.
    o.IgnoreAllBlanks = 1;
    EXPECT_EQ(key("abXYef"), key("ab  ef"));
    // Columns count in the line as stored: here "ef" sits in the marked ones.
    EXPECT_EQ(key("abef"), key("ab"));
}

TEST_F(LineKeysTest, ColumnListsParseClampAndStopAtBadItems) {
    auto& mask = paneStores().IgnoredColumns;
    EXPECT_TRUE(keys().ParseIgnoredColumns(QStringLiteral(" 5 ; 10;15-17")));
    EXPECT_EQ(mask[5] + mask[10] + mask[15] + mask[16] + mask[17], 5);
    EXPECT_EQ(mask[4] + mask[6] + mask[14] + mask[18], 0);

    EXPECT_TRUE(keys().ParseIgnoredColumns(QStringLiteral("9000-9500")));
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 1), 1);
    EXPECT_EQ(mask[8192], 1);

    EXPECT_TRUE(keys().ParseIgnoredColumns(QStringLiteral("7-3;0")));
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 1), 0);

    EXPECT_FALSE(keys().ParseIgnoredColumns(QStringLiteral("2;x;4")));
    EXPECT_EQ(mask[2], 1);
    EXPECT_EQ(mask[4], 0);

    EXPECT_TRUE(LineKeys::IsValidColumnList(QStringLiteral("")));
    EXPECT_TRUE(LineKeys::IsValidColumnList(QStringLiteral(" 1 - 5 ; 7")));
    EXPECT_FALSE(LineKeys::IsValidColumnList(QStringLiteral("1;a")));

    // The settings switch decides whether the parsed list is in force.
    AppSettings().TCIgnColRange = true;
    AppSettings().TCIgnColumns = QStringLiteral("1;bad");
    keys().BuildColumnMask();
    EXPECT_EQ(paneStores().IgnoredColumnsActive, 0);
    EXPECT_EQ(keys().Options.OptionsActive, 1);
    AppSettings().TCIgnColumns = QStringLiteral("1");
    keys().BuildColumnMask();
    EXPECT_EQ(paneStores().IgnoredColumnsActive, 1);
    AppSettings().TCIgnColRange = false;
    keys().BuildColumnMask();
    EXPECT_EQ(paneStores().IgnoredColumnsActive, 0);
    EXPECT_EQ(mask[1], 0);
}

TEST_F(LineKeysTest, LongLinesAreKeyedWhole) {
    QString a(20000, u'x'), b = a;
    b[15000] = u'y';
    EXPECT_NE(key(a), key(b));
    // A marked last column does not reach beyond it.
    ASSERT_TRUE(keys().ParseIgnoredColumns(QStringLiteral("8192-9999")));
    keys().Options.OptionsActive = 1;
    keys().Options.IgnoreColumnsActive = 1;
    EXPECT_NE(key(a), key(b));
    QString c = a;
    c[8191] = u'z';
    EXPECT_EQ(key(a), key(c));
}

TEST_F(LineKeysTest, BlankLinesIncludeTabFillAndStopAtComments) {
    const QString tabs(8, QChar(char16_t(127)));
    load(1, {"", "   ", tabs, " x", "  // note"});
    EXPECT_TRUE(keys().IsBlankLine(1, 0));
    EXPECT_TRUE(keys().IsBlankLine(1, 1));
    EXPECT_TRUE(keys().IsBlankLine(1, 2));
    EXPECT_FALSE(keys().IsBlankLine(1, 3));
    EXPECT_FALSE(keys().IsBlankLine(1, 4));
    keys().Options.CutAtComments = 1;
    keys().SplitCommentMarkers(QStringLiteral("//"));
    EXPECT_TRUE(keys().IsBlankLine(1, 4));
}

TEST_F(LineKeysTest, HashAllLinesCachesKeysAndForcesFirstAndLastLines) {
    AppSettings().TCIgnAllBl = false;
    AppSettings().TCIgnTrailBl = false;
    AppSettings().TCIgnLnStart = 2;
    AppSettings().TCIgnLnEnd = 1;
    load(1, {"head A", "head B", "same", "tail A"});
    load(2, {"other 1", "other 2", "same", "extra", "tail B"});
    std::vector<qint32> k1(4), k2(6);
    keys().HashAllLines(k1, k2);
    EXPECT_EQ(k2[0], k1[0]);
    EXPECT_EQ(k2[1], k1[1]);
    EXPECT_EQ(k2[2], k1[2]);
    EXPECT_NE(k2[3], k1[2]);
    EXPECT_EQ(k2[4], k1[3]);
    EXPECT_EQ(k2[5], 0);
    auto& st = paneStores();
    EXPECT_EQ(qint32(st.TextLines[1][0]->Key), k1[0]);
    EXPECT_EQ(st.TextLines[2][0]->Key, 0u);
    EXPECT_EQ(st.TextLines[2][4]->Key, 0u);
    EXPECT_EQ(qint32(st.TextLines[2][2]->Key), k2[2]);

    // Cached keys are reused until cleared.
    st.TextLines[1][2]->Key = 12345;
    keys().HashAllLines(k1, k2);
    EXPECT_EQ(k1[2], 12345);
    keys().ClearLineKeys();
    keys().HashAllLines(k1, k2);
    EXPECT_EQ(k1[2], k2[2]);
}
