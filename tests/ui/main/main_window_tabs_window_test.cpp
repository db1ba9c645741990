// The tab bar and view switching in the offscreen window: tabs open, switch
// and close with their state intact, and the control rules reach the
// widgets.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QToolBar>

#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/engine/pane_fixture.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/main_window.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class TabWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        engine::fccTabs().InitTabSlots();
        engine::rows().InitRows();
        engine::folderRows().InitFolderRows();
        engine::editor().InitEditor();
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        window_->resize(1100, 600);
        window_->show();
        window_->firePendingJobs();
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        window_.reset();
        engine::paneStores().InitCompareData();
        engine::fccTabs().InitTabSlots();
    }

    // What a load leaves behind: the panes filled, then the view switched
    // to a fresh tab.
    void loadText() {
        auto& s = engine::paneStores();
        s.BinaryMode = 0;
        // More rows than a page, so a top row below the first stays.
        engine::testing::PaneLines left, right;
        for (int i = 0; i < 60; ++i) {
            left.push_back(QStringLiteral("line %1").arg(i));
            right.push_back(i == 1 ? QStringLiteral("LINE 1") : QStringLiteral("line %1").arg(i));
        }
        right.push_back(QStringLiteral("extra"));
        engine::testing::loadPanes(left, right);
        s.FileNames = {"", "left.txt", "right.txt"};
        s.FilePaths = {"", "/home/a/", "/home/b/"};
        s.FileSizes = {-1, 18, 23};
        s.FileKinds = {0, 8, 8};
        window_->switchView(ui::vtText, true, true);
    }
    void loadBinary() {
        auto& s = engine::paneStores();
        window_->saveTabState();
        s.BinaryMode = 1;
        s.BinaryLines[1].NewText(0, "41 42   AB");
        s.BinaryLines[2].NewText(0, "41 43   AC");
        s.LineCount = {0, 1, 1};
        s.UpdateMaxLineCount();
        s.FileNames = {"", "old.bin", "new.bin"};
        s.FileSizes = {-1, 2, 2};
        window_->switchView(ui::vtBinary, true, true);
    }
    void openFolderTab() {
        window_->saveTabState();
        auto& s = engine::paneStores();
        s.FolderRoots = {"", "/srv/a/", "/srv/b/"};
        window_->switchView(ui::vtFolder, true, true);
    }
    void openImageTab() {
        window_->saveTabState();
        auto& s = engine::paneStores();
        s.FileNames = {"", "photo-2019-holiday-beach.png", "photo-2019-holiday-beach-edited.png"};
        window_->switchView(ui::vtImage, true, true);
        window_->saveTabState();
        window_->drawTabBar();
    }
    int visibleTabs() const {
        int n = 0;
        for (QFrame* p : window_->P_TAB) n += p->isVisible();
        return n;
    }

    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(TabWindowTest, TabsOpenSwitchAndCloseWithTheirStateIntact) {
    auto& w = *window_;
    auto& s = engine::paneStores();
    auto& r = engine::rows();
    loadText();
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_EQ(visibleTabs(), 1);
    EXPECT_EQ(w.L_Tab[0]->text(), QStringLiteral("left.txt \u2261?\u2261 right.txt"));
    r.TextViewFilter = 2;
    w.setTopRow(ui::vtText, 3, r.TextRowCount);
    w.setActivePane(ui::vtText, 2);
    engine::editor().CaretGoTo(2, 1);

    loadBinary();
    EXPECT_EQ(w.ViewType(), ui::vtBinary);
    EXPECT_EQ(engine::fccTabs().CurrentTab, 1);
    EXPECT_EQ(visibleTabs(), 2);
    EXPECT_EQ(w.L_Tab[1]->text(), QStringLiteral("old.bin \u2261?\u2261 new.bin"));
    // The tab bar stands between the toolbar and the comparison area.
    EXPECT_EQ(w.Client->y(), w.P_TabControl->height());

    w.P_TAB0Click(w.P_TAB[0]);
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_EQ(engine::fccTabs().CurrentTab, 0);
    EXPECT_EQ(s.BinaryMode, 0);
    EXPECT_EQ(s.FileNames[1], "left.txt");
    EXPECT_EQ(s.FileSizes[2], 23);
    EXPECT_EQ(r.TextViewFilter, 2);
    EXPECT_EQ(w.topRow(ui::vtText), 3);
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);
    EXPECT_EQ(engine::editor().GetEditCaret(), QPoint(2, 1));
    EXPECT_EQ(w.windowTitle(), "Tandex  -   Show different, inserted and deleted lines ");

    openFolderTab();
    openImageTab();
    EXPECT_EQ(visibleTabs(), 4);
    EXPECT_EQ(w.ViewType(), ui::vtImage);
    EXPECT_EQ(w.I_TabIcon[2]->property("IconIndex").toInt(), 13);
    EXPECT_EQ(w.L_Tab[2]->text(), QStringLiteral("/srv/a \u2261?\u2261 /srv/b"));
    const QString wide = tandex::testing::GrabToPng(&w, "tabs-four");
    EXPECT_FALSE(wide.isEmpty());
    EXPECT_FALSE(w.TabBar().shrunk);

    // Narrow: the tabs shrink and their labels show the captions as hints.
    w.resize(520, 600);
    w.firePendingJobs();
    EXPECT_TRUE(w.TabBar().shrunk);
    EXPECT_FALSE(w.L_Tab[3]->toolTip().isEmpty());
    EXPECT_LE(w.P_TAB[3]->geometry().right(), w.Client->width());
    tandex::testing::GrabToPng(&w, "tabs-shrunk");

    // Closing the binary tab (not the shown one) keeps the others.
    w.resize(1100, 600);
    w.firePendingJobs();
    w.B_CloseTab[1]->OnClick(w.B_CloseTab[1]);
    EXPECT_EQ(visibleTabs(), 3);
    EXPECT_EQ(engine::fccTabs().FindTabByViewType(engine::tvBinary), -1);
    EXPECT_FALSE(w.TabBar().shrunk);
    EXPECT_TRUE(w.L_Tab[0]->toolTip().isEmpty());
    // The slot after the removed one moved down and is shown.
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvFolder);
    EXPECT_EQ(w.ViewType(), ui::vtFolder);

    // Back to the text tab: still intact.
    w.P_TAB0Click(w.P_TAB[0]);
    EXPECT_EQ(s.FileNames[2], "right.txt");
    EXPECT_EQ(w.topRow(ui::vtText), 3);
    tandex::testing::GrabToPng(&w, "tabs-after-close");
    // The title stayed at the toolbar's right end through the resizes.
    EXPECT_EQ(w.L_AppTitle->geometry().right() + 1, w.ToolBar1->width() - 2);

    // Ctrl+F4 without a sender closes the shown tab; the last one leaves the free view.
    for (int i = 0; i < 3; ++i) w.fbCloseTabClick(nullptr);
    EXPECT_EQ(visibleTabs(), 0);
    EXPECT_EQ(w.ViewType(), ui::vtFree);
    EXPECT_FALSE(engine::fccTabs().CurrentTabInUse());
}

TEST_F(TabWindowTest, ClassicLookRaisesTheCurrentTab) {
    config::AppSettings().GSGUIStyle = 0;
    loadText();
    loadBinary();
    auto& w = *window_;
    EXPECT_EQ(w.P_TAB[1]->frameShadow(), QFrame::Raised);
    EXPECT_EQ(w.P_TAB[0]->frameShadow(), QFrame::Sunken);
    EXPECT_FALSE(w.BE_TAB[0]->isVisible());
    tandex::testing::GrabToPng(&w, "tabs-classic");
}

TEST_F(TabWindowTest, BusyWindowKeepsItselfEnabledButIgnoresTabClicks) {
    auto& w = *window_;
    loadText();
    loadBinary();
    w.disableUI();
    EXPECT_TRUE(w.isEnabled());
    EXPECT_FALSE(w.TB_OPENFOLDER->isEnabled());
    EXPECT_FALSE(w.TB_RELOAD->isEnabled());
    EXPECT_FALSE(w.fbOpenFolderL->Enabled());
    EXPECT_FALSE(w.vScrollBar->isEnabled());
    EXPECT_FALSE(w.findChild<QMenu*>("File1")->menuAction()->isEnabled());
    EXPECT_TRUE(w.findChild<QAction*>("Copy1")->shortcut().isEmpty());
    // The rules may not turn anything back on while the operation runs.
    w.updateControls();
    EXPECT_FALSE(w.TB_FILTER->isEnabled());
    w.P_TAB0Click(w.P_TAB[0]);
    EXPECT_EQ(engine::fccTabs().CurrentTab, 1);
    w.fbCloseTabClick(nullptr);
    EXPECT_EQ(visibleTabs(), 2);

    w.enableUI();
    EXPECT_TRUE(w.TB_OPENFOLDER->isEnabled());
    EXPECT_TRUE(w.TB_RELOAD->isEnabled());
    EXPECT_TRUE(w.findChild<QMenu*>("File1")->menuAction()->isEnabled());
    EXPECT_EQ(w.findChild<QAction*>("Copy1")->shortcut(), QKeySequence("Ctrl+C"));
    EXPECT_EQ(w.findChild<QAction*>("Delete1")->shortcut(), QKeySequence(Qt::Key_Delete));
    // Binary view: no saving, no copying of lines.
    EXPECT_FALSE(w.fbSaveFileL->Enabled());
    EXPECT_FALSE(w.TB_COPYTO->isEnabled());
    w.P_TAB0Click(w.P_TAB[0]);
    EXPECT_EQ(engine::fccTabs().CurrentTab, 0);
    EXPECT_TRUE(w.fbSaveFileL->Enabled());
}

TEST_F(TabWindowTest, ControlStateReachesTheWidgets) {
    auto& w = *window_;
    loadText();
    w.updateControls();
    EXPECT_EQ(w.TB_HEX->toolTip(), " Compare the current files in HEX mode (Binary Compare) ");
    EXPECT_TRUE(w.TB_HEX->isEnabled());
    EXPECT_FALSE(w.TB_DELETE->isVisible());
    EXPECT_FALSE(w.TB_1to1->isVisible());
    EXPECT_EQ(w.pmCloseView->text(), "Close \"Text Compare\" view");
    EXPECT_GE(w.L_AppTitle->width(), 215);
    // The title fills the toolbar's free width right of the last text-view button.
    QWidget* undo = w.ToolBar1->widgetForAction(w.TB_UNDOR);
    EXPECT_EQ(w.L_AppTitle->width(), std::max(w.ToolBar1->width() - undo->geometry().right() - 1 - 20, 215));
    // Cut is built: the text view shows it.
    EXPECT_TRUE(w.findChild<QAction*>("Cut1")->isVisible());

    w.findChild<QMenu*>("mmVisibleTabs1")->aboutToShow();
    EXPECT_EQ(w.findChild<QAction*>("mmSwapFiles1")->text(), "Swap files");
    EXPECT_TRUE(w.findChild<QAction*>("miVisibleWS")->isEnabled());

    engine::paneStores().FileNames[1] = "NewL.txt";
    engine::paneStores().FileNames[2] = "NewR.txt";
    w.updateControls();
    EXPECT_FALSE(w.TB_HEX->isEnabled());
}

TEST_F(TabWindowTest, ResetSelectButtonsGivesTheStartTags) {
    auto& w = *window_;
    for (ui::TFlatButton2* b : {w.fbLSelNew, w.fbRSelNew, w.fbLSelAll, w.fbRSelAll}) b->setProperty("Tag", 5);
    w.resetSelectButtons(15);
    EXPECT_EQ(w.fbLSelNew->property("Tag").toInt(), 0);
    EXPECT_EQ(w.fbRSelNew->property("Tag").toInt(), 256);
    EXPECT_EQ(w.fbLSelAll->property("Tag").toInt(), 2);
    EXPECT_EQ(w.fbRSelAll->property("Tag").toInt(), 258);
    EXPECT_EQ(w.fbRSelAll->toolTip(), " Select all items in right pane ");
    w.fbLSelAll->setProperty("Tag", 4);
    w.resetSelectButtons(2);  // only fbRSelNew
    EXPECT_EQ(w.fbLSelAll->property("Tag").toInt(), 4);
}

TEST_F(TabWindowTest, FolderViewMakesRoomForTheDeepestFolder) {
    struct Deep : ui::FolderViewServices {
        int FolderMaxDepth() const override { return 30; }
    } deep;
    auto& w = *window_;
    openFolderTab();
    const int shallow = w.Geometry().minSplitLeft;
    ui::setFolderView(&deep);
    w.calcColumnLayout();
    ui::setFolderView(nullptr);
    EXPECT_GT(w.Geometry().minSplitLeft, shallow + 60);  // two characters a level
    EXPECT_GE(w.P_MID->x() + w.P_MID->width() / 2, w.Geometry().minSplitLeft);
}

}  // namespace
