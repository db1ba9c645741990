#include "engine/tab_slots.h"

#include <gtest/gtest.h>

using namespace tandex::engine;

namespace {

class TabSlotsTest : public ::testing::Test {
protected:
    void SetUp() override { t.InitTabSlots(); }
    FCCTabs& t = fccTabs();

    void useSlots(std::initializer_list<int> types) {
        for (int type : types) t.SelectTabForViewType(type);
    }
};

TEST_F(TabSlotsTest, StartsWithFourEmptySlots) {
    EXPECT_EQ(t.GetCurrentTab(), 0);
    EXPECT_FALSE(t.CurrentTabInUse());
    for (const auto& slot : t.TabSlots) {
        EXPECT_EQ(slot.ViewPosition, 1);
        EXPECT_EQ(slot.ActiveSide, 1);
        EXPECT_EQ(slot.AccessKinds[1], 1);
        EXPECT_EQ(slot.FileData.FileSizes[2], -1);
        EXPECT_EQ(slot.ViewType, tvFree);
    }
    EXPECT_EQ(t.GetTabViewType(7), 0);
    EXPECT_EQ(t.GetTabMaxLineCount(-1), 0);
    QString text = "stale";
    t.GetTabFileName(4, 1, text);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(TabSlotsTest, SelectByViewTypeReusesOrTakesAFreeSlot) {
    EXPECT_EQ(t.SelectTabForViewType(tvText), -1);  // new comparison into slot 0
    EXPECT_EQ(t.GetCurrentTab(), 0);
    EXPECT_TRUE(t.CurrentTabInUse());
    EXPECT_EQ(t.SelectTabForViewType(tvFolder), -1);
    EXPECT_EQ(t.GetCurrentTab(), 1);
    EXPECT_EQ(t.SelectTabForViewType(tvText), 0);  // the open text tab
    EXPECT_EQ(t.GetCurrentTab(), 0);
    EXPECT_EQ(t.FindTabByViewType(tvFolder), 1);
    EXPECT_EQ(t.FindTabByViewType(tvImage), -1);
    useSlots({tvBinary, tvImage});
    EXPECT_EQ(t.GetCurrentTab(), 3);
    t.SetCurrentTab(1);
    t.SetCurrentTab(4);
    t.SetCurrentTab(-1);
    EXPECT_EQ(t.GetCurrentTab(), 1);
    // All four taken by other view types: nothing changes.
    t.TabSlots[2].ViewType = tvText;
    t.TabSlots[3].ViewType = tvText;
    t.TabSlots[0].ViewType = tvFolder;
    EXPECT_EQ(t.SelectTabForViewType(tvImage), -1);
    EXPECT_EQ(t.GetCurrentTab(), 1);
}

TEST_F(TabSlotsTest, RemovingATabCompactsAndResetsTheLastSlotWhole) {
    useSlots({tvText, tvFolder, tvBinary, tvImage});
    t.TabSlots[2].FileData.FileNames[1] = "bin.dat";
    t.TabSlots[3].FileData.PaneModifiedState[1] = pmModified;
    t.TabSlots[3].FileData.FileKinds[2] = 8;
    t.TabSlots[3].DiffCount = 5;
    t.SetCurrentTab(1);
    t.RemoveCurrentTab();
    EXPECT_EQ(t.GetCurrentTab(), 1);
    EXPECT_EQ(t.TabSlots[1].ViewType, tvBinary);
    EXPECT_EQ(t.TabSlots[2].ViewType, tvImage);
    EXPECT_EQ(t.TabSlots[2].DiffCount, 5);
    QString name;
    t.GetTabFileName(1, 1, name);
    EXPECT_EQ(name, "bin.dat");
    t.SetCurrentTab(2);
    t.RemoveCurrentTab();  // the last used slot: current moves down to a used one
    EXPECT_EQ(t.GetCurrentTab(), 1);
    // Nothing of the removed tabs is left for the next tab to inherit.
    for (int i : {2, 3}) {
        const TFCCTab& slot = t.TabSlots[size_t(i)];
        EXPECT_FALSE(slot.InUse);
        EXPECT_EQ(slot.ViewType, tvFree);
        EXPECT_EQ(slot.DiffCount, 0);
        EXPECT_EQ(slot.FileData.PaneModifiedState[1], pmNotModified);
        EXPECT_EQ(slot.FileData.FileKinds[2], 0);
        EXPECT_EQ(slot.FileData.FileSizes[1], -1);
    }
    EXPECT_EQ(t.SelectTabForViewType(tvImage), -1);
    EXPECT_EQ(t.GetCurrentTab(), 2);
    EXPECT_FALSE(t.IsPaneModified(1));
    t.SetCurrentTab(1);
    t.RemoveCurrentTab();
    t.RemoveCurrentTab();
    t.RemoveCurrentTab();
    EXPECT_EQ(t.GetCurrentTab(), 0);
    EXPECT_FALSE(t.CurrentTabInUse());
}

TEST_F(TabSlotsTest, ModifiedDeclinedRearmedAndSwappedStates) {
    useSlots({tvText, tvText});
    t.MarkPaneModified(1);
    EXPECT_TRUE(t.IsPaneModified(1));
    EXPECT_FALSE(t.IsPaneModified(2));
    EXPECT_FALSE(t.IsPaneModified(3));
    t.MarkPaneSaveDeclined(0, 1);
    EXPECT_FALSE(t.IsTabPaneModified(0, 1));
    t.RearmDeclinedPanes();
    EXPECT_TRUE(t.IsPaneModified(1));
    t.SwapPaneModified();
    EXPECT_FALSE(t.IsPaneModified(1));
    EXPECT_TRUE(t.IsPaneModified(2));
    t.ClearTabPaneModified(0, 2);
    EXPECT_FALSE(t.IsPaneModified(2));
    t.ClearTabPaneModified(9, 2);
    t.MarkPaneModified(2);
    t.ClearPaneModified(2);
    EXPECT_FALSE(t.IsTabPaneModified(0, 2));
    EXPECT_FALSE(t.IsTabPaneModified(5, 2));
    t.SetTabDiffCount(-5);
    EXPECT_EQ(t.GetTabDiffCount(), 0);
    t.SetTabDiffCount(3);
    EXPECT_EQ(t.GetTabDiffCount(), 3);
    t.TabSlots[0].FileData.LineCounts = {0, 4, 9};
    t.TabSlots[0].FileData.FileKinds = {0, 5, 8};
    EXPECT_EQ(t.GetTabMaxLineCount(0), 9);
    EXPECT_EQ(t.GetTabPaneFileKind(0, 2), 8);
}

TEST_F(TabSlotsTest, RemovingTheMiddleOfThreeUsedSlotsLeavesTheRestEmpty) {
    useSlots({tvText, tvFolder, tvBinary});
    t.SetCurrentTab(1);
    t.RemoveCurrentTab();
    EXPECT_EQ(t.GetCurrentTab(), 1);
    EXPECT_EQ(t.TabSlots[0].ViewType, tvText);
    EXPECT_EQ(t.TabSlots[1].ViewType, tvBinary);
    for (int i : {2, 3}) EXPECT_FALSE(t.TabSlots[size_t(i)].InUse) << i;
}

TEST_F(TabSlotsTest, PaneStatesStayWithTheirSlotOverAllFour) {
    useSlots({tvFolder, tvText, tvBinary, tvImage});
    // Slot i: the left pane modified in slots 0 and 2, saving declined in 1
    // and 3; the right pane modified in slot 3 only.
    for (int i = 0; i < kTabSlotCount; ++i) {
        t.SetCurrentTab(i);
        t.MarkPaneModified(1);
        if (i % 2) t.MarkPaneSaveDeclined(i, 1);
    }
    t.SetCurrentTab(3);
    t.MarkPaneModified(2);
    for (int i = 0; i < kTabSlotCount; ++i) {
        EXPECT_EQ(t.IsTabPaneModified(i, 1), i % 2 == 0) << i;
        EXPECT_EQ(t.IsTabPaneModified(i, 2), i == 3) << i;
    }
    // Re-arming and swapping touch the current slot only.
    t.SetCurrentTab(1);
    t.RearmDeclinedPanes();
    t.SwapPaneModified();
    EXPECT_FALSE(t.IsTabPaneModified(1, 1));
    EXPECT_TRUE(t.IsTabPaneModified(1, 2));
    EXPECT_FALSE(t.IsTabPaneModified(3, 1));
    EXPECT_TRUE(t.IsTabPaneModified(3, 2));
    EXPECT_EQ(t.TabSlots[3].FileData.PaneModifiedState[1], pmSaveDeclined);
    // Removing a slot carries the states of the slots above it down.
    t.SetCurrentTab(2);
    t.RemoveCurrentTab();
    EXPECT_EQ(t.GetCurrentTab(), 2);
    EXPECT_EQ(t.TabSlots[2].FileData.PaneModifiedState[1], pmSaveDeclined);
    EXPECT_TRUE(t.IsTabPaneModified(2, 2));
    t.RearmDeclinedPanes();
    EXPECT_TRUE(t.IsPaneModified(1));
    for (int i = 0; i < 2; ++i) t.ClearTabPaneModified(i, 1);
    EXPECT_FALSE(t.IsTabPaneModified(0, 1));
    EXPECT_TRUE(t.IsTabPaneModified(1, 2));
}

}  // namespace
