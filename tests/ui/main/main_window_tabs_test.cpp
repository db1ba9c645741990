#include "ui/main/main_window_tabs.h"

#include <gtest/gtest.h>

#include "config/color_sets.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/rows.h"
#include "tests/engine/pane_fixture.h"

namespace engine = tandex::engine;
namespace ui = tandex::ui;
using engine::testing::loadPanes;

namespace {

// Every character 7 pixels wide, as a fixed font would measure.
ui::TTabBarInput barInput(int clientWidth) {
    ui::TTabBarInput in;
    in.clientWidth = clientWidth;
    in.textWidth = [](const QString& text) { return int(text.size()) * 7; };
    return in;
}

ui::TTabBarInput::Slot fileTab(int type, const QString& left, const QString& right, bool single = false) {
    ui::TTabBarInput::Slot s;
    s.inUse = true;
    s.viewType = type;
    s.leftName = left;
    s.rightName = right;
    s.singlePaneView = single;
    return s;
}

TEST(TabBar, CaptionsJoinDifferentNamesAndFallBackToTheOtherName) {
    struct Case {
        QString left, right;
        bool single;
        QString caption;
    } cases[] = {
        {"a.txt", "b.txt", false, QStringLiteral("a.txt \u2261?\u2261 b.txt")},
        {"same.txt", "same.txt", false, "same.txt"},
        {"", "right.txt", false, "right.txt"},
        {"left.txt", "", false, "left.txt"},
        {"a.txt", "b.txt", true, "a.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::tabCaption(fileTab(engine::tvText, c.left, c.right, c.single)), c.caption) << c.left.toStdString();
    EXPECT_EQ(ui::folderTabCaption("/home/a/", "/srv/b"), QStringLiteral("/home/a \u2261?\u2261 /srv/b"));
}

TEST(TabBar, EachViewHasItsIconAndCloseHint) {
    auto in = barInput(2000);
    in.tabs[0] = fileTab(engine::tvFolder, "", "");
    in.tabs[1] = fileTab(engine::tvText, "a", "b");
    in.tabs[2] = fileTab(engine::tvBinary, "a", "b");
    in.tabs[3] = fileTab(engine::tvImage, "a", "b");
    in.leftRoot = "/l/";
    in.rightRoot = "/r/";
    const ui::TTabBar bar = ui::layoutTabBar(in);
    const std::pair<int, const char*> expected[] = {{13, " Close \"Folder Compare\" view    Ctrl+F4 "},
                                                    {12, " Close \"Text Compare\" view    Ctrl+F4 "},
                                                    {62, " Close \"Binary Compare\" view    Ctrl+F4 "},
                                                    {63, " Close \"Image Compare\" view    Ctrl+F4 "}};
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(bar.tabs[size_t(n)].iconIndex, expected[n].first);
        EXPECT_EQ(bar.tabs[size_t(n)].closeHint, QLatin1String(expected[n].second));
    }
    EXPECT_EQ(bar.tabs[0].caption, QStringLiteral("/l \u2261?\u2261 /r"));
    in.showSession = true;
    EXPECT_EQ(ui::layoutTabBar(in).tabs[0].caption, QStringLiteral("/l \u2261?\u2261 /r"));  // no session caption yet
    in.sessionCaption = "Nightly";
    EXPECT_EQ(ui::layoutTabBar(in).tabs[0].caption, "Nightly");
}

TEST(TabBar, TabsFollowEachOtherAtTheirNaturalWidth) {
    auto in = barInput(2000);
    in.tabs[0] = fileTab(engine::tvText, "abc", "");       // 3 chars
    in.tabs[1] = fileTab(engine::tvBinary, "abcdef", "");  // 6 chars
    in.currentTab = 1;
    const ui::TTabBar bar = ui::layoutTabBar(in);
    EXPECT_FALSE(bar.shrunk);
    EXPECT_EQ(bar.tabs[0].left, 0);
    EXPECT_EQ(bar.tabs[0].width, 21 + 55);
    EXPECT_EQ(bar.tabs[1].left, 76);
    EXPECT_EQ(bar.tabs[1].width, 42 + 55);
    EXPECT_EQ(bar.totalWidth, 76 + 97);
    EXPECT_FALSE(bar.tabs[2].visible);
    EXPECT_EQ(bar.tabs[0].labelHint, " abc ");
    EXPECT_FALSE(bar.tabs[0].labelHintOn);
    EXPECT_EQ(bar.tabs[1].backgroundColor, tandex::config::TabActCol);
    EXPECT_EQ(bar.tabs[0].backgroundColor, tandex::config::TabInActCol);
    EXPECT_EQ(bar.tabs[1].closeImage, 0);
    EXPECT_EQ(bar.tabs[0].closeImage, 2);
}

TEST(TabBar, FourWideTabsShrinkProportionallyWithHintsUntilTheyFitAgain) {
    auto in = barInput(400);
    const QString wide(40, QLatin1Char('w'));  // 280 + 55 pixels a tab
    for (int n = 0; n < 4; ++n) in.tabs[size_t(n)] = fileTab(engine::tvText, wide, "");
    ui::TTabBar bar = ui::layoutTabBar(in);
    ASSERT_TRUE(bar.shrunk);
    EXPECT_EQ(bar.totalWidth, 4 * 335);
    for (int n = 0; n < 4; ++n) {
        const auto& t = bar.tabs[size_t(n)];
        EXPECT_EQ(t.naturalWidth, 335);
        EXPECT_EQ(t.width, 100);  // 335 * 400 / 1340
        EXPECT_EQ(t.left, 100 * n);
        EXPECT_TRUE(t.labelHintOn);
        const int c = n == 0 ? 1 : 0;
        EXPECT_EQ(t.labelWidth, 100 + 2 * c - 55);
        EXPECT_EQ(t.closeLeft, 100 + c - 18);
    }
    // Two tabs closed: the rest fits and the hints go.
    in.tabs[2].inUse = in.tabs[3].inUse = false;
    in.clientWidth = 700;
    bar = ui::layoutTabBar(in);
    EXPECT_FALSE(bar.shrunk);
    EXPECT_EQ(bar.tabs[1].width, 335);
    EXPECT_FALSE(bar.tabs[0].labelHintOn);
}

TEST(TabBar, ClassicLookRaisesTheCurrentTabFlatLookSeparatesInactiveTabs) {
    auto in = barInput(2000);
    for (int n = 0; n < 4; ++n) in.tabs[size_t(n)] = fileTab(engine::tvText, "x", "");
    in.currentTab = 2;
    in.flatLook = false;
    ui::TTabBar bar = ui::layoutTabBar(in);
    EXPECT_EQ(bar.tabs[2].bevel, 1);
    EXPECT_EQ(bar.tabs[2].offset, 1);
    EXPECT_EQ(bar.tabs[0].bevel, 2);
    EXPECT_EQ(bar.tabs[0].offset, 0);
    // The current label sits one pixel higher and is two wider.
    EXPECT_EQ(bar.tabs[2].labelTop, bar.tabs[0].labelTop - 1);
    EXPECT_EQ(bar.tabs[2].labelWidth, bar.tabs[0].labelWidth + 2);
    EXPECT_EQ(bar.tabs[2].closeTop, 3);
    for (const auto& t : bar.tabs) EXPECT_FALSE(t.separatorVisible);

    in.flatLook = true;
    bar = ui::layoutTabBar(in);
    EXPECT_EQ(bar.tabs[2].bevel, 0);
    EXPECT_TRUE(bar.tabs[0].separatorVisible);
    EXPECT_FALSE(bar.tabs[1].separatorVisible);  // left of the current tab
    EXPECT_FALSE(bar.tabs[2].separatorVisible);  // the current tab
    EXPECT_TRUE(bar.tabs[3].separatorVisible);
}

// ---- tab state --------------------------------------------------------------

class TabState : public ::testing::Test {
protected:
    void SetUp() override {
        engine::testing::resetEngineState();
        engine::fccTabs().InitTabSlots();
        engine::rows().InitRows();
        engine::folderRows().InitFolderRows();
        engine::editor().InitEditor();
    }
    void TearDown() override { SetUp(); }

    // Opens a tab of the type and makes it what the stores show.
    static void openTab(int type) {
        auto& s = engine::paneStores();
        engine::fccTabs().SelectTabForViewType(type);
        s.FolderMode = type == engine::tvFolder;
        s.BinaryMode = type == engine::tvBinary;
    }
};

TEST_F(TabState, TextBinaryTextRoundTripRestoresTheTextTabInEverySlot) {
    auto& s = engine::paneStores();
    auto& r = engine::rows();
    for (int at = 0; at < 4; ++at) {
        SetUp();
        // Other tabs before and after the text tab, the binary one among them.
        std::vector<int> others{engine::tvImage, engine::tvFolder, engine::tvBinary};
        for (int k = 0; k < at; ++k) openTab(others[size_t(k)]);
        openTab(engine::tvText);
        ASSERT_EQ(engine::fccTabs().CurrentTab, at);
        loadPanes({"alpha", "beta", "gamma"}, {"alpha", "BETA", "gamma", "delta"});
        s.FileNames = {"", "l.txt", "r.txt"};
        s.FilePaths = {"", "/a/", "/b/"};
        s.FileSizes = {-1, 17, 22};
        s.FileTimes = {0, 111, 222};
        s.FileErrors = {0, 0, 0};
        s.FileKinds = {0, 8, 5};
        s.SideAccessKinds = {0, 1, 3};
        r.TextViewFilter = 2;
        r.FilterTextRows(0);
        engine::editor().CaretGoTo(3, 1);
        ui::TTabViewState text;
        text.topRow = 2;
        text.activePane = 2;
        text.filterImage = 17;
        text.longestLines = {0, 5, 7};
        text.ruleFixedKinds = {0, 1, 0};
        ui::saveTabState(text);

        for (int k = at; k < 3; ++k) openTab(others[size_t(k)]);
        openTab(engine::tvBinary);
        ASSERT_NE(engine::fccTabs().CurrentTab, at);
        s.FileNames = {"", "x.bin", "y.bin"};
        s.FileSizes = {-1, 4000, 4001};
        s.LineCount = {0, 250, 251};
        s.FileKinds = {0, 1, 1};
        s.SideAccessKinds = {0, 2, 2};
        r.BinaryViewFilter = 3;
        ui::TTabViewState binary;
        binary.topRow = 9;
        binary.activePane = 1;
        binary.forceBinary = true;
        binary.filterImage = 26;
        ui::saveTabState(binary);

        engine::fccTabs().SelectTabForViewType(engine::tvText);
        ui::TTabViewState back = binary;
        ASSERT_TRUE(ui::restoreTabState(back));
        EXPECT_EQ(back.topRow, 2);
        EXPECT_EQ(back.activePane, 2);
        EXPECT_EQ(back.filterImage, 17);
        EXPECT_FALSE(back.forceBinary);
        EXPECT_EQ(back.longestLines, (std::array<int, 3>{0, 5, 7}));
        EXPECT_EQ(back.ruleFixedKinds, (std::array<quint8, 3>{0, 1, 0}));
        EXPECT_EQ(r.TextViewFilter, 2);
        EXPECT_EQ(r.TextRowCount, 4);
        EXPECT_EQ(engine::editor().GetEditCaret(), QPoint(3, 1));
        EXPECT_EQ(engine::editor().ActiveSide, 2);
        EXPECT_EQ(s.BinaryMode, 0);
        EXPECT_EQ(s.FolderMode, 0);
        EXPECT_EQ(s.FileNames, (engine::TFileNames{"", "l.txt", "r.txt"}));
        EXPECT_EQ(s.FilePaths, (engine::TFilePaths{"", "/a/", "/b/"}));
        EXPECT_EQ(s.FileSizes, (std::array<qint64, 3>{-1, 17, 22}));
        EXPECT_EQ(s.FileTimes, (std::array<engine::TFileTime, 3>{0, 111, 222}));
        EXPECT_EQ(s.FileKinds, (std::array<quint8, 3>{0, 8, 5}));
        EXPECT_EQ(s.LineCount, (std::array<int, 3>{0, 3, 4}));
        EXPECT_EQ(s.MaxLineCount, 4);
        EXPECT_EQ(s.SideAccessKinds, (std::array<quint8, 3>{0, 1, 3}));

        // And the binary tab keeps its own.
        engine::fccTabs().SelectTabForViewType(engine::tvBinary);
        ASSERT_TRUE(ui::restoreTabState(back));
        EXPECT_EQ(back.topRow, 9);
        EXPECT_TRUE(back.forceBinary);
        EXPECT_EQ(r.BinaryViewFilter, 3);
        EXPECT_EQ(s.BinaryMode, 1);
        EXPECT_EQ(s.FileNames[1], "x.bin");
    }
}

TEST_F(TabState, FolderTabKeepsTheFileDataOfTheFileTabs) {
    auto& s = engine::paneStores();
    openTab(engine::tvText);
    s.FileNames = {"", "a", "b"};
    ui::saveTabState({});
    openTab(engine::tvFolder);
    engine::folderRows().FolderViewFilter = 3;
    ui::saveTabState({});
    const auto& folderSlot = engine::fccTabs().TabSlots[1];
    EXPECT_EQ(folderSlot.ViewFilter, 3);
    EXPECT_TRUE(folderSlot.FileData.FileNames[1].isEmpty());  // not copied in folder mode
    s.FileNames = {"", "changed", "changed"};
    ui::TTabViewState v;
    ASSERT_TRUE(ui::restoreTabState(v));
    EXPECT_EQ(s.FolderMode, 1);
    EXPECT_EQ(s.FileNames[1], "changed");  // the folder view leaves them alone
}

TEST_F(TabState, NothingIsSavedOrRestoredForASlotNotInUse) {
    ui::TTabViewState v;
    v.topRow = 44;
    ui::saveTabState(v);
    EXPECT_EQ(engine::fccTabs().TabSlots[0].ViewPosition, 1);
    EXPECT_FALSE(ui::restoreTabState(v));
    EXPECT_EQ(v.topRow, 44);
}

}  // namespace
