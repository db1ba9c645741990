#pragma once
// The geometry of the main window's comparison area, computed from a
// snapshot of what it depends on: settings, font metrics, client size,
// view and split. Painting, keys and mouse read the resulting fields; the
// window only moves its widgets to the rectangles given here, so the
// whole layout can be checked without showing a window.

#include <QRect>
#include <array>

namespace tandex::ui {

// View types of a tab.
enum TViewType : int { vtFree = 0, vtFolder = 1, vtText = 2, vtBinary = 3, vtImage = 4 };

struct TLayoutInput {
    int clientWidth = 0, clientHeight = 0;
    int viewType = vtFree;
    bool singlePaneView = false;
    bool folderTreeActive = false;  // folder view shown as a tree

    // Settings
    bool lineNumbers = true;      // GSLineNr
    bool showDiffBar = true;      // GSShowDiffBar
    int diffBarPixels = 21;       // ScaleDpi(GSTNBarWidth)
    bool statusBar = true;        // GSStaDisp
    bool detailPanel = true;      // GSDetailPanel
    bool detailRuler = true;      // GSShowDPRuler
    int guiStyle = 1;             // GSGUIStyle
    bool textRuler = true;        // TCShowRuler
    bool binaryRuler = false;     // BCShowRuler
    bool fcTreeView = true;       // FCTreeView
    bool fcShowSize = true, fcShowDT = true, fcShowAttr = true;
    bool fcHScroll = false;       // FCHScroll
    int hexBytes = 16;            // BCHEXBytes

    // Font metrics and scaled constants
    int charWidth = 8, lineHeight = 16, headRowHeight = 20;
    int lineNumberTextWidth = 24;  // LineNumberWidth digits "8" in the form's font
    int detailCaptionWidth = 40;   // P_ETit1's caption text plus DpiPx10
    double dpiFactor = 1.0;
    int dpiPx2 = 2;
    int scale6 = 6;                // ScaleDpi(6)

    int splitOffset = 0, maxFolderDepth = 0;
    int midStripWidth = 28, midStripHalf = 13;
    int vScrollBarWidth = 16;
    bool vScrollVisible = true;
    int headerHeight = 20;         // HC1
    int openButtonWidth = 26, saveButtonWidth = 26, selectButtonWidth = 26, swapButtonWidth = 24;
    int headLeft = 2, headTop = 2;  // first pane button and edit inside P_Head

    // Longest line of each pane (LongestLine); in the binary view
    // BCHEXBytes * 4 + 1.
    int longestLeft = 0, longestRight = 0;
    // Whether the horizontal scroll bar was shown by the last layout.
    bool hScrollNeeded = false;
};

struct TLayoutGeometry {
    int paneTop = 0, paneBottom = 0;
    int vScrollWidth = 0, rightEdge = 0, diffBarWidth = 0;
    int leftTextX = 0, rightTextX = 0, splitX = 0, minSplitLeft = 0;
    std::array<int, 12> sectionWidths{};
    std::array<int, 12> columnEdges{};
    bool lineNumberCaptions = false;  // sections 0 and 6 read "Ln#"
    int visibleColsLeft = 0, visibleColsRight = 0;
    int hScrollPage = 0, hScrollMax = 0;
    bool hScrollNeeded = false;

    bool headFlatBevel = false, feetFlatBevel = false;
    QRect head, eFN1, eFN2, pAI1, pAI2, bevel1, bevel2;
    QRect fbOpenFolderL, fbSaveFileL, fbLSelAll, fbLSelNew, fbSWAP, fbOpenFolderR, fbSaveFileR,
        fbRSelAll, fbRSelNew;
    bool headerVisible = false;
    QRect header;
    bool rulerVisible = false;
    QRect ruler;
    bool diffBarVisible = false;
    QRect diffBar;
    QRect mid;
    QRect vScroll;
    bool hScrollVisible = false;
    QRect hScroll;
    bool imagePanelsVisible = false;
    QRect leftImage, rightImage;
    bool statusVisible = false;
    QRect status;
    bool feetVisible = false;
    QRect feet, dpRuler, eTit1, eTit2, eLine1, eLine2, hScrollDP, fbAlignDetails;
};

// arrangeLayout and fitScrollBars for the input's view, with the horizontal
// scroll bar as the input says it is.
TLayoutGeometry arrangeLayout(const TLayoutInput& in);

// Whether the horizontal scroll bar is needed for the geometry; outside the
// folder, text and binary views the current state stays.
bool hScrollNeededFor(const TLayoutInput& in, const TLayoutGeometry& g);

// The layout as refreshLayout leaves it: when the scroll bar decision
// changes, the layout runs again with the new one.
TLayoutGeometry layoutForView(TLayoutInput in);

// What the column geometry of a print page depends on; lengths in page
// units.
struct TPrintLayoutInput {
    int pageLeft = 0, pageTop = 0, pageRight = 0, pageBottom = 0;
    int viewType = vtText;
    bool singlePaneView = false;
    bool lineNumbers = true;       // GSLineNr
    int lineNumberTextWidth = 0;   // LineNumberWidth digits "8" in the print font
    int charWidth = 1;
    bool fcTreeView = true;
    bool fcShowSize = true, fcShowDT = true, fcShowAttr = true;
    int hexBytes = 16;
};

// The page's columns: no overview bar, no middle strip and no scroll-bar
// column; the panes split the page in the middle, or the left one takes it
// all.
TLayoutGeometry layoutPrintColumns(const TPrintLayoutInput& in);

}  // namespace tandex::ui
