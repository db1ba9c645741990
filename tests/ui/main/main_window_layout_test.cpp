#include "ui/main/main_window_layout.h"

#include <gtest/gtest.h>

namespace ui = tandex::ui;

namespace {

ui::TLayoutInput textView() {
    ui::TLayoutInput in;
    in.clientWidth = 1000;
    in.clientHeight = 600;
    in.viewType = ui::vtText;
    return in;
}

TEST(MainWindowLayout, WithoutLineNumbersAndOverviewBarTheTextStartsAtZero) {
    ui::TLayoutInput in = textView();
    in.lineNumbers = false;
    in.showDiffBar = false;
    const auto g = ui::arrangeLayout(in);
    EXPECT_EQ(g.leftTextX, 0);
    EXPECT_EQ(g.diffBarWidth, 0);
    EXPECT_FALSE(g.lineNumberCaptions);
    EXPECT_EQ(g.sectionWidths[0], -1);
    EXPECT_EQ(g.sectionWidths[6], 0);
    EXPECT_FALSE(g.diffBarVisible);
}

TEST(MainWindowLayout, SplitIsCentredBetweenOverviewBarAndScrollBar) {
    ui::TLayoutInput in = textView();
    const auto g = ui::arrangeLayout(in);
    EXPECT_EQ(g.vScrollWidth, 16);
    EXPECT_EQ(g.rightEdge, 984);
    EXPECT_EQ(g.diffBarWidth, 21);
    EXPECT_EQ(g.leftTextX, 24 + 21 + 4);
    EXPECT_EQ(g.splitX, (984 - 21) / 2 + 21 - 3);
    EXPECT_EQ(g.mid.left(), g.splitX - 13);
    EXPECT_EQ(g.rightTextX, g.columnEdges[7] + 1);
    EXPECT_TRUE(g.rulerVisible);
    EXPECT_FALSE(g.headFlatBevel);
    // Head, then the ruler, then the rows; status bar and details panel below.
    EXPECT_EQ(g.paneTop, 6 + 2 * 20 + 15 + 2);
    EXPECT_EQ(g.status.top(), 600 - 20 + 1);
    EXPECT_EQ(g.paneBottom, 600 - 20 + 1 - (2 * 20 + 15 + 15 + 2));
    EXPECT_EQ(g.feet.bottom() + 1, g.status.top());
    EXPECT_EQ(g.vScroll.height(), g.paneBottom - g.paneTop);
}

TEST(MainWindowLayout, SinglePaneViewGivesTheLeftPaneTheWholeWidth) {
    ui::TLayoutInput in = textView();
    in.singlePaneView = true;
    const auto g = ui::arrangeLayout(in);
    EXPECT_EQ(g.splitX, 1000);
    EXPECT_EQ(g.diffBarWidth, 0);
    EXPECT_FALSE(g.feetVisible);
    EXPECT_EQ(g.eFN2.right() + 1, 1000 - 8);
}

TEST(MainWindowLayout, DeepFolderTreeHoldsTheMiddleStripRightOfItsMinimum) {
    ui::TLayoutInput in = textView();
    in.viewType = ui::vtFolder;
    in.folderTreeActive = true;
    in.maxFolderDepth = 40;
    const auto g = ui::arrangeLayout(in);
    const int nameMin = (40 * 2 + 7) * 8 + 2;
    EXPECT_TRUE(g.headerVisible);
    EXPECT_EQ(g.sectionWidths[1], nameMin);
    EXPECT_EQ(g.minSplitLeft, nameMin + 48 + (14 + 20 + 5) * 8);
    EXPECT_EQ(g.mid.left(), g.minSplitLeft);
    EXPECT_GE(g.mid.left(), g.splitX - 13);
    EXPECT_FALSE(g.imagePanelsVisible);
}

TEST(MainWindowLayout, VisibleColumnsNeverExceed255) {
    ui::TLayoutInput in = textView();
    in.clientWidth = 20000;
    in.charWidth = 2;
    const auto g = ui::arrangeLayout(in);
    EXPECT_EQ(g.visibleColsLeft, 255);
    EXPECT_EQ(g.visibleColsRight, 255);
    in.viewType = ui::vtBinary;
    const auto b = ui::arrangeLayout(in);
    EXPECT_EQ(b.visibleColsLeft, 16 * 4 + 3);
}

TEST(MainWindowLayout, ImageViewHidesDetailsAndMovesNamesOverTheSaveButtons) {
    ui::TLayoutInput in = textView();
    in.viewType = ui::vtImage;
    const auto g = ui::arrangeLayout(in);
    EXPECT_FALSE(g.feetVisible);
    EXPECT_EQ(g.eFN1.left(), g.fbOpenFolderL.left() + in.openButtonWidth + 5);
    EXPECT_EQ(g.leftImage.left(), 0);
    EXPECT_EQ(g.paneBottom, 600 - 20 + 1);
}

TEST(MainWindowLayout, LongLinesBringTheHorizontalScrollBarAndLayoutRunsAgain) {
    ui::TLayoutInput in = textView();
    in.longestLeft = 1000;
    const auto g = ui::layoutForView(in);
    EXPECT_TRUE(g.hScrollNeeded);
    EXPECT_TRUE(g.hScrollVisible);
    EXPECT_EQ(g.hScroll.top(), g.paneBottom);
    EXPECT_EQ(g.hScrollMax, 1002);
    in.longestLeft = 10;
    in.hScrollNeeded = true;
    EXPECT_FALSE(ui::layoutForView(in).hScrollVisible);
}

TEST(MainWindowLayout, StatusBarOffMovesItBelowTheClientArea) {
    ui::TLayoutInput in = textView();
    in.statusBar = false;
    in.detailPanel = false;
    const auto g = ui::arrangeLayout(in);
    EXPECT_FALSE(g.statusVisible);
    EXPECT_EQ(g.status.top(), 600);
    EXPECT_EQ(g.paneBottom, 600);
}

}  // namespace
