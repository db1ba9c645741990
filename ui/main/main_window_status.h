#pragma once
// The texts of the main window's status bar and its three status labels,
// from a snapshot of the window's state, so that they can be checked
// without a window.

#include <QString>
#include <QtGlobal>

namespace tandex::ui {

struct TStatusSnapshot {
    int viewType = 0;  // TViewType
    bool singlePaneView = false;
    int caretRow = 0, caretColumn = 0;
    bool leftModified = false, rightModified = false;
    bool hasRows = false;
    QString leftName, rightName;
    int diffCount = 0;          // GetTabDiffCount
    // The limit's message when the text comparison did not take in both
    // files whole; shown in place of "Files are equal".
    QString cutMessage;
    int folderViewFilter = 0;   // FolderViewFilter
    int diffBlockCount = 0;     // GetDiffBlockCount
    QString compareSummary;     // TextCompareSummary
    QString binaryDiffBytes;    // the binary comparison's differing-byte text
    int selectedCount = 0;      // SelectedCount
    int activePane = 1;
    int zoomPercent = 100;
    bool zoomLimitReached = false;
    bool updateFailed = false;
    // The binary view's byte address, " | Addr: ..." included; empty
    // outside the binary view or with BCOffsetAddr off.
    QString addressText;
    bool showTimes = false;     // TSShowTimes
    qint64 totalTicks = 0, hashTicks = 0, compare1Ticks = 0, compare2Ticks = 0;
    bool compareToPending = false;
};

// The caption of P_StatusBar (GSStaDisp on).
QString statusBarText(const TStatusSnapshot& s);

struct TInsertStateSnapshot {
    bool caretViewActive = false;
    bool binaryMode = false;
    bool insertMode = true;
    int hiddenRowCount = 0;
    bool singlePaneView = false;
    int diffCount = 0;
    int fuzzyStopState = 0;     // 0 ran, 1 skipped, 2 aborted
    bool fuzzyMode = false;
    int similarity = 85;        // TCSimilarity
};

struct TStatusLabels {
    bool visible = false;       // all three labels
    QString insertText;
    QString hiddenText;
    bool hiddenAlert = false;   // red and bold, blinking
    bool similarityVisible = false;
    QString similarityText;
    quint32 similarityColor = 0;  // 0x00BBGGRR
    QString similarityHint;
    // FuzzyStopState as it stands after the labels were written.
    int fuzzyStopState = 0;
};

// showInsertState's texts, colours and hints.
TStatusLabels statusLabels(const TInsertStateSnapshot& s);

}  // namespace tandex::ui
