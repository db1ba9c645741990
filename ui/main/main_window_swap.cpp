// Swapping the two sides of the shown comparison: two files, or two folder
// trees with their roots. Everything that belongs to a file moves with it: its lines and undo stack (the engine's part),
// its modified state, its error memo and the counters that name a side.
// Swapping twice gives back the comparison as it was.

#include <QPlainTextEdit>

#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/fuzzy_similarity.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "compare_bin.h"
#include "flat_button.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

// The select buttons of the two sides change places: the left one takes
// the right one's selection, the right one the left's, each marked for
// its side (bit 0x100 the right pane).
void swapSelectTags(TFlatButton2* left, TFlatButton2* right) {
    const int oldLeft = left->property("Tag").toInt();
    const int oldRight = right->property("Tag").toInt();
    left->setProperty("Tag", oldRight & 0xFF);
    right->setProperty("Tag", oldLeft | 0x100);
}

void swapMemos(QPlainTextEdit* a, QPlainTextEdit* b) {
    const QString text = a->toPlainText();
    const bool shown = !a->isHidden();
    a->setPlainText(b->toPlainText());
    a->setVisible(!b->isHidden());
    b->setPlainText(text);
    b->setVisible(shown);
}

template <class T>
void swapSides(std::array<T, 3>& perPane) {
    std::swap(perPane[1], perPane[2]);
}

}  // namespace

void TF_Main::mmSwapFiles1Click(QObject*) {
    auto& editor = engine::editor();
    if (editor.EditBusy || Busy()) return;
    const int view = ViewType();
    if (view == vtImage) {
        if (!editor.EditBusy) swapImages();
        return;
    }
    if (view != vtText && view != vtBinary && view != vtFolder) return;
    swapSelectTags(fbLSelAll, fbRSelAll);
    swapSelectTags(fbLSelNew, fbRSelNew);
    for (TFlatButton2* b : {fbLSelAll, fbRSelAll, fbLSelNew, fbRSelNew}) labelSelectButton(b);
    editor.EditBusy = 1;
    if (view == vtFolder) {
        engine::folderRows().SwapFolderSides();
        // The folder window swaps its roots' kinds too: the view reads them
        // again whenever it is shown.
        folderView().SwapSides();
    } else {
        swapFileSides(view);
    }

    const int active = engine::PaneStores::OtherSide(getActivePane(view));
    setActivePane(view, active);
    editor.SetActiveSide(active);
    saveTabState();
    drawTabBar();
    refreshView();
    updateStatusBar();
    refocusMain();
    editor.EditBusy = 0;
}

void TF_Main::swapFileSides(int view) {
    engine::folderRows().SwapFileSides(true);
    engine::fccTabs().SwapPaneModified();
    swapMemos(M_LOpenErr, M_ROpenErr);
    const bool leftPanel = !P_LImage->isHidden();
    P_LImage->setVisible(!P_RImage->isHidden());
    P_RImage->setVisible(leftPanel);
    placeImagePanels(false);
    // The window's own per-pane state of the loaded files.
    swapSides(failedPaths_);
    swapSides(ftpLike_);
    swapSides(errorOps_);
    swapSides(plugInIndex_);
    swapSides(loadedLineCounts_);
    swapSides(loadCut_);
    swapSides(forcedKinds_);
    swapSides(ruleFixedKinds_);
    swapSides(engine::paneStores().LongestLine);
    engine::textCompare().SwapAddedDeletedCounts();
    SwapBinaryDiffTotals();
    if (view == vtText) {
        engine::fuzzyProcessor().FuzzyToggleTransposed();
        recompare();
    }
}

}  // namespace tandex::ui
