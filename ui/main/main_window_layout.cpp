#include "main_window_layout.h"

#include <algorithm>
#include <cmath>

namespace tandex::ui {

namespace {

int scrollBarHeight(const TLayoutInput& in) {
    return std::max(15, int(std::lround(in.headRowHeight / 1.4)));
}

int headHeight(const TLayoutInput& in) {
    return in.scale6 + 2 * in.headRowHeight;
}

// The details panel's height; its status and scroll-bar neighbours take
// their places from it before the row area is known.
int feetHeight(const TLayoutInput& in) {
    const int bar = scrollBarHeight(in);
    return in.detailRuler ? 2 * in.headRowHeight + bar + bar + 2 : 2 * in.headRowHeight + bar + 3;
}

bool feetShown(const TLayoutInput& in) {
    return in.detailPanel && !in.singlePaneView && in.viewType != vtImage;
}

}  // namespace

TLayoutGeometry arrangeLayout(const TLayoutInput& in) {
    TLayoutGeometry g;
    const int cw = std::max(1, in.charWidth);
    const bool folderTree = in.viewType == vtFolder && in.fcTreeView;

    g.rulerVisible = (in.viewType == vtText && in.textRuler) || (in.viewType == vtBinary && in.binaryRuler);
    g.headFlatBevel = !(g.rulerVisible || in.folderTreeActive);
    g.feetFlatBevel = !in.detailRuler;

    g.vScrollWidth = in.vScrollVisible ? in.vScrollBarWidth : 0;
    g.diffBarWidth = in.showDiffBar && in.viewType != vtImage && !in.singlePaneView ? in.diffBarPixels : 0;
    g.rightEdge = in.clientWidth - g.vScrollWidth;

    // fitScrollBars: the row area ends above the status bar, the details
    // panel and the horizontal scroll bar.
    const int statusHeight = in.headRowHeight;
    g.statusVisible = in.statusBar;
    g.status = in.statusBar ? QRect(0, in.clientHeight - in.headRowHeight + 1, in.clientWidth + 1, statusHeight)
                            : QRect(0, in.clientHeight, in.clientWidth + 1, statusHeight);
    g.paneBottom = in.statusBar ? in.clientHeight - statusHeight + 1 : in.clientHeight;
    g.feetVisible = feetShown(in);
    const int feetH = feetHeight(in);
    if (g.feetVisible) g.paneBottom -= feetH;
    const int barH = scrollBarHeight(in);
    g.hScrollNeeded = in.hScrollNeeded;
    g.hScrollVisible = in.hScrollNeeded;
    if (g.hScrollVisible) g.paneBottom -= barH;

    if (in.lineNumbers) {
        g.leftTextX = in.lineNumberTextWidth + g.diffBarWidth + 4;
        g.lineNumberCaptions = true;
    } else {
        g.leftTextX = g.diffBarWidth;
    }
    g.splitX = in.singlePaneView ? g.rightEdge + g.vScrollWidth
                                 : (g.rightEdge - g.diffBarWidth) / 2 + in.splitOffset + g.diffBarWidth - 3;

    auto& w = g.sectionWidths;
    w[0] = g.leftTextX - 1;
    const int nameMin = (in.maxFolderDepth * 2 + 7) * cw + 2;
    if (folderTree) {
        w[2] = in.fcShowSize ? 14 * cw : 0;
        w[3] = in.fcShowDT ? 20 * cw : 0;
        w[4] = in.fcShowAttr ? 5 * cw : 0;
    }
    w[5] = in.midStripWidth - 1;
    // A header section is never narrower than its minimum.
    w[1] = std::max(nameMin, g.splitX - in.midStripHalf - (w[0] + w[2] + w[3] + w[4]));
    w[6] = w[0] - g.diffBarWidth + 1;
    w[8] = w[2];
    w[9] = w[3];
    w[10] = w[4];
    w[11] = g.vScrollWidth;
    w[7] = std::max(nameMin, in.clientWidth + g.diffBarWidth - 2 * (w[0] + w[2] + w[3] + w[4]) -
                                 in.midStripWidth - w[1] - g.vScrollWidth - 1);
    int x = 0;
    for (int i = 0; i < 12; ++i) {
        g.columnEdges[size_t(i)] = x;
        x += std::max(0, w[size_t(i)]);
    }
    g.minSplitLeft = nameMin + g.columnEdges[1] + (folderTree ? w[2] + w[3] + w[4] : 0);
    g.columnEdges[1] += 1;
    g.rightTextX = g.columnEdges[7] + (in.lineNumbers ? 1 : 0);

    const int midLeft = std::max(g.splitX - in.midStripHalf, g.minSplitLeft);

    const auto& e = g.columnEdges;
    g.visibleColsLeft = std::min((e[5] - e[1] - 2) / cw + 1, 255);
    g.visibleColsRight = std::min((e[11] - e[7]) / cw + 1, 255);
    if (in.viewType == vtBinary) {
        g.visibleColsLeft = std::min(g.visibleColsLeft, in.hexBytes * 4 + 3);
        g.visibleColsRight = std::min(g.visibleColsRight, in.hexBytes * 4 + 3);
    }
    g.hScrollPage = std::min(g.visibleColsLeft, g.visibleColsRight);
    g.hScrollMax = std::max(std::max(in.longestLeft, in.longestRight) + 2, g.hScrollPage);

    const int headH = headHeight(in);
    g.head = QRect(0, 0, in.clientWidth + 1, headH);
    g.paneTop = g.head.bottom() + 1;
    if (in.guiStyle > 0 && g.headFlatBevel) g.paneTop -= 1;
    g.headerVisible = folderTree;
    if (g.headerVisible) {
        g.header = QRect(0, g.paneTop, in.clientWidth, in.headerHeight);
        g.paneTop += in.headerHeight;
    }
    if (g.rulerVisible) {
        g.ruler = QRect(0, g.paneTop, in.clientWidth + 1, barH + 2);
        g.paneTop += g.ruler.height();
    }
    const int rowsHeight = g.paneBottom - g.paneTop;

    g.imagePanelsVisible = in.viewType != vtFolder;
    if (g.imagePanelsVisible) {
        const int left = in.viewType == vtImage ? 0 : (in.showDiffBar ? in.diffBarPixels : 0);
        g.leftImage = QRect(left, g.paneTop, e[5] - left, rowsHeight - 1);
        const int rightLeft = e[5] + in.midStripWidth;
        g.rightImage = QRect(rightLeft, g.paneTop, g.rightEdge - rightLeft, rowsHeight - 1);
    }

    // Head: two rows of edits and information panels, the pane buttons.
    const int rowH = in.headRowHeight + 1;
    const int fileButtonH = std::max(21, in.lineHeight);
    const int swapH = int(std::lround(2 * in.headRowHeight / in.dpiFactor)) + 3;
    const int top = in.headTop;
    const int selTop = top + in.headRowHeight + in.dpiPx2;
    g.fbOpenFolderL = QRect(in.headLeft, top, in.openButtonWidth, fileButtonH);
    g.fbSaveFileL = QRect(g.fbOpenFolderL.right() + 2, top, in.saveButtonWidth, fileButtonH);
    g.fbLSelAll = QRect(g.fbOpenFolderL.left(), selTop, in.selectButtonWidth, fileButtonH);
    g.fbLSelNew = QRect(g.fbSaveFileL.left(), selTop, in.selectButtonWidth, fileButtonH);
    const int middle = midLeft + in.midStripHalf;
    g.fbSWAP = QRect(middle - in.swapButtonWidth / 2, top, in.swapButtonWidth, swapH);
    g.fbOpenFolderR = QRect(g.fbSWAP.right() + 2, top, in.openButtonWidth, fileButtonH);
    g.fbSaveFileR = QRect(g.fbOpenFolderR.right() + 2, top, in.saveButtonWidth, fileButtonH);
    g.fbRSelAll = QRect(g.fbOpenFolderR.left(), selTop, in.selectButtonWidth, fileButtonH);
    g.fbRSelNew = QRect(g.fbSaveFileR.left(), selTop, in.selectButtonWidth, fileButtonH);

    const int offset = in.openButtonWidth + 5;
    const bool image = in.viewType == vtImage;
    const int left1 = (image ? g.fbOpenFolderL.left() : g.fbSaveFileL.left()) + offset;
    const int left2 = (image ? g.fbOpenFolderR.left() : g.fbSaveFileR.left()) + offset;
    const int width1 = e[5] + (in.singlePaneView ? g.vScrollWidth : 0) - left1 - 8;
    const int width2 = g.rightEdge + g.vScrollWidth - left2 - 8;
    g.eFN1 = QRect(left1, top, width1, rowH);
    g.eFN2 = QRect(left2, top, width2, rowH);
    const int infoTop = top + in.headRowHeight - 1;
    g.pAI1 = QRect(left1, infoTop, width1, rowH);
    g.pAI2 = QRect(left2, infoTop, width2, rowH);
    g.bevel1 = QRect(left1 - 3, 0, width1 + 6, headH - 14);
    g.bevel2 = QRect(left2 - 3, 0, width2 + 6, headH - 14);

    g.diffBarVisible = g.diffBarWidth > 0;
    if (g.diffBarVisible) g.diffBar = QRect(0, g.paneTop - 1, g.diffBarWidth, rowsHeight);

    g.hScroll = QRect(0, g.paneBottom, in.clientWidth - 2, barH);
    g.vScroll = QRect(in.clientWidth - in.vScrollBarWidth, g.paneTop, in.vScrollBarWidth, rowsHeight);
    g.mid = QRect(midLeft, g.paneTop, in.midStripWidth - 1, rowsHeight - (g.hScrollVisible ? 1 : 0));

    if (g.feetVisible) {
        const int captionW = in.detailCaptionWidth;
        int titleTop = 0;
        if (in.detailRuler) {
            g.dpRuler = QRect(0, 0, in.clientWidth, barH);
            titleTop = barH + 1;
        }
        g.feet = QRect(0, g.status.top() - feetH, in.clientWidth, feetH);
        g.eTit1 = QRect(0, titleTop, captionW, in.headRowHeight);
        g.eTit2 = QRect(0, titleTop + in.headRowHeight + 1, captionW, in.headRowHeight);
        g.eLine1 = QRect(captionW + 1, g.eTit1.top(), in.clientWidth - captionW, in.headRowHeight);
        g.eLine2 = QRect(captionW + 1, g.eTit2.top(), in.clientWidth - captionW, in.headRowHeight);
        g.hScrollDP = QRect(g.eLine2.left() + 1, g.eTit2.top() + in.headRowHeight + 1, g.eLine2.width() - 1, barH);
        g.fbAlignDetails = QRect(0, g.hScrollDP.top() - 1, int(std::lround(captionW / in.dpiFactor)) + 1,
                                 int(std::lround(barH / in.dpiFactor)) + 1);
    }
    return g;
}

bool hScrollNeededFor(const TLayoutInput& in, const TLayoutGeometry& g) {
    const int cw = std::max(1, in.charWidth);
    switch (in.viewType) {
    case vtFolder:
        return in.fcHScroll;
    case vtText:
    case vtBinary: {
        const auto& e = g.columnEdges;
        const int colsLeft = std::min((e[5] - e[1] - 1) / cw, 255);
        const int colsRight = std::min((e[11] - e[7]) / cw, 255);
        return in.longestLeft >= colsLeft || (!in.singlePaneView && in.longestRight >= colsRight);
    }
    default:
        return in.hScrollNeeded;
    }
}

TLayoutGeometry layoutForView(TLayoutInput in) {
    TLayoutGeometry g = arrangeLayout(in);
    const bool needed = hScrollNeededFor(in, g);
    if (needed == in.hScrollNeeded) return g;
    in.hScrollNeeded = needed;
    return arrangeLayout(in);
}

TLayoutGeometry layoutPrintColumns(const TPrintLayoutInput& in) {
    TLayoutGeometry g;
    const int cw = std::max(1, in.charWidth);
    g.paneTop = in.pageTop;
    g.paneBottom = in.pageBottom;
    g.rightEdge = in.pageRight;
    const int numbers = in.lineNumbers ? in.lineNumberTextWidth + 2 : 0;
    g.lineNumberCaptions = in.lineNumbers;
    g.splitX = in.singlePaneView ? in.pageRight : in.pageLeft + (in.pageRight - in.pageLeft) / 2;
    g.leftTextX = in.pageLeft + numbers + 2;

    auto& w = g.sectionWidths;
    w[0] = numbers + 2;
    if (in.viewType == vtFolder && in.fcTreeView) {
        w[2] = in.fcShowSize ? 14 * cw : 0;
        w[3] = in.fcShowDT ? 20 * cw : 0;
        w[4] = in.fcShowAttr ? 5 * cw : 0;
    }
    w[1] = std::max(0, g.splitX - in.pageLeft - (w[0] + w[2] + w[3] + w[4]));
    // The left pane alone takes the whole page.
    if (!in.singlePaneView) {
        w[6] = w[0];
        w[8] = w[2];
        w[9] = w[3];
        w[10] = w[4];
        w[7] = std::max(0, in.pageRight - g.splitX - (w[6] + w[8] + w[9] + w[10]));
    }
    int x = in.pageLeft;
    for (int i = 0; i < 12; ++i) {
        g.columnEdges[size_t(i)] = x;
        x += w[size_t(i)];
    }
    g.rightTextX = g.columnEdges[7] + 2;

    const auto& e = g.columnEdges;
    g.visibleColsLeft = std::clamp((e[5] - e[1] - 1) / cw, 0, 255);
    g.visibleColsRight = std::clamp((e[11] - e[7]) / cw, 0, 255);
    if (in.viewType == vtBinary) {
        g.visibleColsLeft = std::min(g.visibleColsLeft, in.hexBytes * 4 + 3);
        g.visibleColsRight = std::min(g.visibleColsRight, in.hexBytes * 4 + 3);
    }
    return g;
}

}  // namespace tandex::ui
