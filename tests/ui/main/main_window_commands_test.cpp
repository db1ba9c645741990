// The select buttons and selection commands, the ignore switches and the
// menu wiring, on a text pair the engine compared in the offscreen window.

#include <QAction>
#include <QMenu>

#include <vector>

#include "tests/engine/folder_fixture.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowCommandsTest : public tandex::testing::ComparedWindowFixture {
protected:
    void TearDown() override {
        ComparedWindowFixture::TearDown();
        engine::folderRows().InitFolderRows();
    }
    // Rows: 0 equal, 1 left only, 2 equal, 3 changed, 4 equal, 5 right only.
    ui::TF_Main& makePair() {
        ui::TF_Main& w = makeWindow();
        compare({"same one", "left only", "same two", "old text", "same three"},
                {"same one", "same two", "new text", "same three", "right only"});
        return w;
    }
    static std::vector<int> selectedRows(int pane) {
        std::vector<int> out;
        for (int row = 0; row < engine::paneStores().VisibleRowCount(); ++row)
            if (engine::rows().IsRowSelected(pane, row)) out.push_back(row);
        return out;
    }
    static int tag(ui::TFlatButton2* b) { return b->property("Tag").toInt(); }
    QAction* item(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
};

TEST_F(MainWindowCommandsTest, SelectAllButtonTogglesAndTheMenuItemAlwaysSelects) {
    ui::TF_Main& w = makePair();
    w.fbRSelAll->setProperty("Tag", 260);
    w.fbLSelNew->setProperty("Tag", 1);
    w.SelectLeftAllClick(w.fbLSelAll);
    EXPECT_EQ(selectedRows(1).size(), 6u);
    EXPECT_EQ(tag(w.fbLSelAll), 4);
    EXPECT_EQ(w.fbLSelAll->Caption(), QStringLiteral("none"));
    // The other select buttons are released.
    EXPECT_EQ(tag(w.fbRSelAll), 258);
    EXPECT_EQ(tag(w.fbLSelNew), 0);
    EXPECT_EQ(w.getActivePane(ui::vtText), 1);

    w.SelectLeftAllClick(w.fbLSelAll);
    EXPECT_TRUE(selectedRows(1).empty());
    EXPECT_EQ(tag(w.fbLSelAll), 2);
    EXPECT_EQ(w.fbLSelAll->Caption(), QStringLiteral("all"));

    for (int i = 0; i < 2; ++i) {
        item("pmInLeftPane1")->trigger();
        EXPECT_EQ(selectedRows(1).size(), 6u) << i;
        EXPECT_EQ(tag(w.fbLSelAll), 4) << i;
    }
    item("pmInRightPane1")->trigger();
    EXPECT_EQ(selectedRows(2).size(), 6u);
    EXPECT_TRUE(selectedRows(1).empty());
    EXPECT_EQ(tag(w.fbRSelAll), 260);
    EXPECT_EQ(tag(w.fbLSelAll), 2);
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);

    // Ctrl+A's step presses the pane's button like a click.
    w.selectAllKeyStep(2);
    EXPECT_TRUE(selectedRows(2).empty());
    EXPECT_EQ(tag(w.fbRSelAll), 258);
}

TEST_F(MainWindowCommandsTest, SelectNewAlternatesDifferentAndEqualLines) {
    ui::TF_Main& w = makePair();
    w.fbRSelNew->setProperty("Tag", 257);
    w.fbLSelAll->setProperty("Tag", 4);
    w.SelectAllNewerLClick(w.fbLSelNew);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(tag(w.fbLSelNew), 1);
    EXPECT_EQ(w.fbLSelNew->Caption(), QStringLiteral("equal"));
    EXPECT_EQ(tag(w.fbRSelNew), 256);
    EXPECT_EQ(tag(w.fbLSelAll), 2);

    w.SelectAllNewerLClick(w.fbLSelNew);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(tag(w.fbLSelNew), 0);
    EXPECT_EQ(w.fbLSelNew->Caption(), QStringLiteral("diff"));

    // The menu item starts from the released state: always the different lines.
    w.fbRSelNew->setProperty("Tag", 257);
    item("pmNewerRight1")->trigger();
    EXPECT_EQ(selectedRows(2), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(tag(w.fbRSelNew), 257);
    EXPECT_EQ(tag(w.fbLSelNew), 0);
}

TEST_F(MainWindowCommandsTest, InvertAndAdditionalLinesWorkOnTheActivePane) {
    ui::TF_Main& w = makePair();
    w.SelectAllNewerLClick(w.fbLSelNew);
    w.SelectAllNewerLClick(w.fbLSelNew);
    ASSERT_EQ(selectedRows(1), (std::vector<int>{0, 2, 4}));
    item("InvertSelection")->trigger();
    EXPECT_EQ(selectedRows(1), (std::vector<int>{1, 3, 5}));

    w.fbLSelNew->setProperty("Tag", 1);
    w.Selectalladdedlines1Click(nullptr);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{1}));
    EXPECT_EQ(tag(w.fbLSelNew), 0);
    item("pmOrphansRight1")->trigger();
    EXPECT_EQ(selectedRows(2), (std::vector<int>{5}));
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);
}

TEST_F(MainWindowCommandsTest, IgnoreCaseClearsKeysAndRecomparesToNoDifference) {
    ui::TF_Main& w = makeWindow();
    compare({"Alpha", "Beta", "Gamma"}, {"alpha", "BETA", "Gamma"});
    auto& st = engine::paneStores();
    ASSERT_NE(st.TextLines[1][0]->Key, 0u);
    ASSERT_TRUE(engine::rows().RowDiffers(0));
    config::AppSettings().TCIgnCase = false;

    item("mmIgnoreCase1")->trigger();
    EXPECT_TRUE(config::AppSettings().TCIgnCase);
    for (int pane = 1; pane <= 2; ++pane)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(st.TextLines[size_t(pane)][i]->Key, 0u) << pane << i;
    EXPECT_TRUE(w.PendingJobs().IsPending(ui::tjRecompare));

    w.firePendingJobs();
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 0);
    for (int row = 0; row < 3; ++row) EXPECT_FALSE(engine::rows().RowDiffers(row)) << row;

    // The other two switches take the same way.
    for (const char* name : {"mmIgnoreWS1", "mmIgnoreEmptyLines1"}) {
        const bool ws = config::AppSettings().TCIgnAllBl, empty = config::AppSettings().TCIgnEmptyLn;
        item(name)->trigger();
        EXPECT_NE(config::AppSettings().TCIgnAllBl != ws, config::AppSettings().TCIgnEmptyLn != empty) << name;
        EXPECT_TRUE(w.PendingJobs().IsPending(ui::tjRecompare)) << name;
        w.firePendingJobs();
    }
}

TEST_F(MainWindowCommandsTest, MenusOfferTheBuiltCommandsAndHideMissingWindows) {
    ui::TF_Main& w = makePair();
    for (const char* name : {"pmInLeftPane1", "pmNewerLeft1", "pmOrphansRight1", "InvertSelection", "mmCenter1",
                             "ScreenFont1", "PrinterFont1", "LineNumbers1", "mmDetailsPanel1", "mmIgnoreCase1",
                             "FirstDifference1", "LastDifference1"})
        EXPECT_TRUE(item(name)->isVisible()) << name;
    EXPECT_EQ(item("mmCenter1")->shortcut(), QKeySequence(Qt::Key_F2));
    // No settings, colours, about or update window is installed here.
    for (const char* name : {"mmColors1", "Settings1", "About1", "CheckforUpdates1", "TandexHelpDesk1",
                             "TandexWebsite1"})
        EXPECT_FALSE(item(name)->isVisible()) << name;
    for (const char* name : {"Edit1", "Navigation1", "Options1"})
        EXPECT_TRUE(w.findChild<QMenu*>(QLatin1String(name))->menuAction()->isVisible()) << name;
    // The ignore switches are checked as the settings say when the menu opens.
    config::AppSettings().TCIgnCase = true;
    w.arrangeLayout(ui::vtText);
    w.menuPopup(w.findChild<QMenu*>(QStringLiteral("Options1")));
    EXPECT_TRUE(item("mmIgnoreCase1")->isChecked());
}

}  // namespace

namespace {

using namespace tandex::engine::testing;

TEST_F(MainWindowCommandsTest, FilesInThisFolderOpensItAndSelectsOnlyItsOwnFiles) {
    ui::TF_Main& w = makeWindow();
    // Entries: 0 "a" with 1 "a/one", 2 "a/sub" with 3 "a/sub/deep", 4 "a/two"; 5 "top".
    addFolder(0, 0, QStringLiteral("a"));
    addFile(1, QStringLiteral("a/one"), 1);
    addFolder(2, 1, QStringLiteral("a/sub"));
    addFile(3, QStringLiteral("a/sub/deep"), 1);
    addFile(4, QStringLiteral("a/two"), 1);
    addFile(5, QStringLiteral("top"), 1);
    showFolders();
    engine::folderRows().CloseAllFolders();
    w.arrangeLayout(ui::vtFolder);
    ASSERT_EQ(visibleEntries(), (std::vector<int>{0, 5}));
    engine::editor().Caret.Row = 0;

    w.Selectallfilesinthisfolder1Click(nullptr);
    ASSERT_EQ(visibleEntries(), (std::vector<int>{0, 1, 2, 4, 5}));
    std::vector<int> selected;
    for (int entry = 0; entry < 6; ++entry)
        if (engine::folderRows().IsFolderEntrySelected(entry)) selected.push_back(entry);
    EXPECT_EQ(selected, (std::vector<int>{1, 4}));
}

}  // namespace
