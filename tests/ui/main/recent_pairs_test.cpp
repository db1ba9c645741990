// The recent file pairs as list work and menu texts, without a window.

#include "ui/main/recent_pairs.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

config::TFilePair pair(int n, bool sameNames = false) {
    const QString num = QString::number(n);
    return {"/l/" + num + "/", "/r/" + num + "/", "a" + num + ".txt", (sameNames ? "a" : "b") + num + ".txt"};
}

// Every character 7 pixels: wide enough for the short test paths.
int charWidth(const QString& text) { return int(text.size()) * 7; }

TEST(RecentPairs, RecordActionByPlaceInTheListAndTheNames) {
    ui::TRecentPairs list;
    list[0] = pair(0);
    list[5] = pair(5);
    list[20] = pair(20);
    auto noName = pair(7);
    noName.NameR.clear();
    auto noFolder = pair(8);
    noFolder.PathL.clear();
    const struct {
        const char* name;
        config::TFilePair pair;
        ui::TRecordAction action;
    } cases[] = {
        {"newest entry", pair(0), ui::raNothing},
        {"further down", pair(5), ui::raNow},
        {"new, same file names", pair(9, true), ui::raNow},
        {"new, different names", pair(9), ui::raWait},
        {"only the pending entry", pair(20), ui::raWait},
        {"no right name", noName, ui::raNothing},
        {"no left folder", noFolder, ui::raNothing},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::RecordAction(list, c.pair), c.action) << c.name;
}

TEST(RecentPairs, TheSamePairTwiceKeepsOneEntryOnTop) {
    ui::TRecentPairs list;
    list[20] = pair(99);
    ui::StoreRecentPair(list, pair(1));
    ui::StoreRecentPair(list, pair(2));
    ui::StoreRecentPair(list, pair(1));
    EXPECT_TRUE(ui::SamePair(list[0], pair(1)));
    EXPECT_TRUE(ui::SamePair(list[1], pair(2)));
    EXPECT_TRUE(list[2].NameL.isEmpty());
    EXPECT_TRUE(ui::SamePair(list[20], pair(99)));  // the pending entry stays
    // Case matters: another spelling is another pair.
    auto upper = pair(1);
    upper.NameL = "A1.txt";
    EXPECT_EQ(ui::RecordAction(list, upper), ui::raWait);
}

TEST(RecentPairs, TwentyOnePairsDropTheOldest) {
    ui::TRecentPairs list;
    list[20] = pair(99);
    for (int n = 0; n <= 20; ++n) ui::StoreRecentPair(list, pair(n));
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(ui::SamePair(list[size_t(i)], pair(20 - i))) << i;
    EXPECT_TRUE(ui::SamePair(list[20], pair(99)));
    // A pair from the bottom moves up and nothing falls out.
    ui::StoreRecentPair(list, pair(1));
    EXPECT_TRUE(ui::SamePair(list[0], pair(1)));
    EXPECT_TRUE(ui::SamePair(list[1], pair(20)));
    EXPECT_TRUE(ui::SamePair(list[19], pair(2)));
}

TEST(RecentPairs, EntriesWithoutAFileNameAreNeverListedAndDropOut) {
    ui::TRecentPairs list;
    list[0] = pair(0);
    list[1] = {"/l/", "/r/", "", "b.txt"};
    list[2] = pair(2);
    list[3] = {"/l/", "/r/", "a.txt", ""};
    const auto items = ui::FilePairMenuItems(list, charWidth, 400);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].index, 0);
    EXPECT_EQ(items[1].index, 2);
    EXPECT_TRUE(items[1].caption.startsWith("&1  /l/2/a2.txt"));  // counted as shown

    ui::StoreRecentPair(list, pair(5));
    EXPECT_TRUE(ui::SamePair(list[1], pair(0)));
    EXPECT_TRUE(ui::SamePair(list[2], pair(2)));
    EXPECT_TRUE(list[3].PathL.isEmpty() && list[3].NameR.isEmpty());

    // An incomplete pair changes nothing, nor becomes the pending one.
    const auto before = list;
    const config::TFilePair incomplete{"/l/", "", "a", "b"};
    ui::StoreRecentPair(list, incomplete);
    ui::StorePendingPair(list, incomplete);
    for (size_t i = 0; i < list.size(); ++i) EXPECT_TRUE(ui::SamePair(list[i], before[i])) << i;
    ui::StorePendingPair(list, pair(7));
    EXPECT_TRUE(ui::SamePair(list[20], pair(7)));
    EXPECT_TRUE(ui::SamePair(list[0], before[0]));
}

TEST(RecentPairs, MenuCaptionsCountWithAccessKeysAndShortenEachPath) {
    ui::TRecentPairs list;
    for (int i = 0; i < 12; ++i) list[size_t(i)] = pair(i);
    list[3].NameR = "R&D.txt";
    const auto items = ui::FilePairMenuItems(list, charWidth, 400);
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[0].caption, QString("&0  /l/0/a0.txt   \u2261?\u2261   /r/0/b0.txt"));
    EXPECT_EQ(items[3].caption, QString("&3  /l/3/a3.txt   \u2261?\u2261   /r/3/R&&D.txt"));
    EXPECT_EQ(items[9].caption, QString("&9  /l/9/a9.txt   \u2261?\u2261   /r/9/b9.txt"));
    EXPECT_EQ(items[10].caption, QString("10  /l/10/a10.txt   \u2261?\u2261   /r/10/b10.txt"));
    EXPECT_EQ(items[11].index, 11);

    ui::TRecentPairs deep;
    deep[0] = {"/home/user/projects/alpha/src/", "/home/user/projects/beta/src/", "main.cpp", "main.cpp"};
    const auto shortened = ui::FilePairMenuItems(deep, charWidth, 140);
    ASSERT_EQ(shortened.size(), 1u);
    const QStringList sides = shortened[0].caption.mid(4).split("   \u2261?\u2261   ");
    ASSERT_EQ(sides.size(), 2);
    for (const QString& side : sides) {
        EXPECT_LE(charWidth(side), 140) << qPrintable(side);
        EXPECT_TRUE(side.contains("...") && side.endsWith("/main.cpp")) << qPrintable(side);
    }
    EXPECT_TRUE(ui::FilePairMenuItems(ui::TRecentPairs{}, charWidth, 400).empty());
}

TEST(RecentPairs, SidePathJoinsFolderAndName) {
    const config::TFilePair p{"/l", "ftp://host/dir/", "a.txt", "b.txt"};
    EXPECT_EQ(ui::PairSidePath(p, 1), QString("/l/a.txt"));
    EXPECT_EQ(ui::PairSidePath(p, 2), QString("ftp://host/dir/b.txt"));
}

}  // namespace
