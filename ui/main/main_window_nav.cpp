// Difference navigation, go to line or byte address, and scrolling with the
// bars and the wheel. The walks themselves are in diff_nav.cpp; here their
// results become selection, caret, first visible row and repaint.

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QWheelEvent>
#include <cmath>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "goto_line.h"
#include "hover_text.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

using config::AppSettings;

// The current view's rows as the engine answers them.
class TEngineNavRows : public TNavRows {
public:
    int RowCount() const override { return engine::paneStores().VisibleRowCount(); }
    bool Differs(int row) const override { return engine::rows().RowDiffers(row); }
    int FolderState(int row) const override { return engine::folderRows().RowFolderState(row); }
    int LineNumber(int pane, int row) const override {
        // A gap shows no line of its own, whatever number the store hands out.
        if (!engine::paneStores().FolderMode && engine::rows().IsRowMissing(pane, row)) return -1;
        return engine::rows().RowLineNumber(pane, row);
    }
    int TextLength(int pane, int row) const override { return engine::rows().RowTextLength(pane, row); }
    int Depth(int row) const override {
        return engine::paneStores().FolderMode ? engine::folderRows().RowFolderDepth(row) : 0;
    }
    int OpenFolder(int row) const override {
        if (!engine::paneStores().FolderMode || engine::folderRows().RowFolderState(row) != 1) return 0;
        return std::max(engine::folderRows().ToggleFolderRow(row), 0);
    }
};

bool caretView(int viewType) { return viewType == vtText || viewType == vtBinary; }

}  // namespace

void TF_Main::createNavigation() {
    auto wire = [this](QAction* action, void (TF_Main::*handler)(QObject*)) {
        if (action) connect(action, &QAction::triggered, this, [this, action, handler] { (this->*handler)(action); });
    };
    wire(TB_DIFNEXT, &TF_Main::BB_DIFNEXTClick);
    wire(TB_DIFPREV, &TF_Main::BB_DIFPREVClick);
    wire(findChild<QAction*>(QStringLiteral("NextDifference1")), &TF_Main::BB_DIFNEXTClick);
    wire(findChild<QAction*>(QStringLiteral("PrevDifference1")), &TF_Main::BB_DIFPREVClick);
    wire(findChild<QAction*>(QStringLiteral("FirstDifference1")), &TF_Main::FirstDifference1Click);
    wire(findChild<QAction*>(QStringLiteral("LastDifference1")), &TF_Main::LastDifference1Click);
    wire(findChild<QAction*>(QStringLiteral("GotoLine1")), &TF_Main::GotoLine1Click);
    wire(TB_NEXTFILE, &TF_Main::TB_NEXTFILEClick);
    wire(TB_PREVFILE, &TF_Main::TB_PREVFILEClick);
    wire(TB_DELETE, &TF_Main::TB_DELETEClick);
    // The bars report the user's request; the handlers decide where the view goes.
    connect(vScrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) { OnScroll(vScrollBar, action); });
    connect(hScrollBar, &QAbstractSlider::actionTriggered, this,
            [this](int) { hScrollBarScroll(hScrollBar, hScrollBar->sliderPosition()); });
}

// ---- differences --------------------------------------------------------------

void TF_Main::BB_DIFNEXTClick(QObject* sender) {
    if (SkipFirstDifference) {
        SkipFirstDifference = false;
        return;
    }
    if (viewType_ == vtFree || viewType_ == vtImage) return;
    auto& ed = engine::editor();
    auto& r = engine::rows();
    auto& st = engine::paneStores();
    const TEngineNavRows rows;
    int from = ed.Caret.Row;
    if (from < 0) from = topRow(viewType_) - 1;
    int result = ed.Caret.Row;
    lockPaint();
    const TDiffRun run = NextDifferenceRun(rows, from, sender != nullptr);
    if (st.FolderMode) updateRowRange();
    if (run.Found()) {
        r.ClearSelection();
        if (st.PickNewerSide) {
            ed.SetActiveSide(engine::folderRows().NewerSide(run.first));
            setActivePane(viewType_, ed.ActiveSide);
        }
        const int last = AppSettings().GSLineSelect ? run.first : run.last;
        for (int row = run.first; row <= last; ++row) r.SetRowSelection(ed.ActiveSide, row, 1, true, 0);
        ed.SetSelectionEnd(0, run.last);
        result = run.first;
    }
    st.PickNewerSide = 0;
    if (caretView(viewType_)) result = std::max(result, 0);
    unlockPaint();
    finishDifferenceJump(result);
}

void TF_Main::BB_DIFPREVClick(QObject*) {
    if (viewType_ == vtFree || viewType_ == vtImage) return;
    auto& ed = engine::editor();
    auto& r = engine::rows();
    const TEngineNavRows rows;
    int from = ed.Caret.Row;
    if (from < 0) from = topRow(viewType_) + rowsPerPage() - 1;
    int result = std::max(ed.Caret.Row, 0);
    lockPaint();
    const TDiffRun run = from > 0 ? PreviousDifferenceRun(rows, from) : TDiffRun{};
    if (engine::paneStores().FolderMode) updateRowRange();
    if (run.Found()) {
        r.ClearSelection();
        const int last = AppSettings().GSLineSelect ? run.first : run.last;
        for (int row = run.first; row <= last; ++row) r.SetRowSelection(ed.ActiveSide, row, 1, true, 0);
        result = run.first;
    }
    unlockPaint();
    finishDifferenceJump(result);
}

void TF_Main::finishDifferenceJump(int row) {
    auto& ed = engine::editor();
    scrollRowIntoView(row);
    ed.PlaceCaret(1, row, ed.ActiveSide);
    ed.SetSelectionStart(1, row);
    repaintPanes();
    refreshDetails(row);
}

void TF_Main::gotoFirstDifference() {
    if (!SkipFirstDifference && viewType_ != vtImage) {
        const auto& st = engine::paneStores();
        const auto& s = AppSettings();
        setTopRow(viewType_, 1, st.VisibleRowCount());
        engine::editor().CaretToTop();
        const bool wanted = st.BinaryMode ? s.BCSelFirstDif && engine::rows().BinaryViewFilter == 0
                                          : s.TCSelFirstDif && engine::rows().TextViewFilter == 0;
        const bool loaded = st.FolderMode || (!st.FileNames[1].isEmpty() && !st.FileNames[2].isEmpty());
        if (wanted && loaded) BB_DIFNEXTClick(nullptr);
        repaintPanes();
    }
    SkipFirstDifference = false;
}

void TF_Main::FirstDifference1Click(QObject*) { gotoFirstDifference(); }

void TF_Main::LastDifference1Click(QObject* sender) {
    engine::editor().CaretToBottom();
    BB_DIFPREVClick(sender);
}

// ---- first visible row ----------------------------------------------------------

void TF_Main::gotoFirstLast(int row) {
    if (row < 0 || row == topRow(viewType_)) return;
    engine::rows().ClearSelection();
    setTopRow(viewType_, row, engine::paneStores().VisibleRowCount());
    hScrollBarScroll(nullptr, 1);
}

void TF_Main::scrollRowIntoView(int row) {
    // The page is the one the row will be seen on: a load jumps to its first
    // difference before the horizontal bar for its long lines is decided.
    if (viewType_ != vtImage) updateHScrollBar();
    const int top = topRow(viewType_);
    const int count = engine::paneStores().VisibleRowCount();
    int wanted = ScrollTopForRow(row, top, rowsPerPage());
    // A row near the end shows on the last full page, not atop an empty pane.
    if (wanted != top) wanted = std::min(wanted, LastPageTop(count, rowsPerPage()));
    if (wanted != top) setTopRow(viewType_, wanted, count);
}

void TF_Main::scrollToTop(int top) {
    const int old = topRow(viewType_);
    setTopRow(viewType_, top, engine::paneStores().VisibleRowCount());
    const int now = topRow(viewType_);
    if (now == old) return;
    auto& ed = engine::editor();
    ed.HideEditCaret();
    {
        const QSignalBlocker quiet(vScrollBar);
        vScrollBar->setSliderPosition(now);
        vScrollBar->setValue(now);
    }
    scrollPanes(1, 0, (old - now) * std::max(lineHeight_, 1));
    ed.RefreshCaret();
}

// ---- longest line and go to -------------------------------------------------------

void TF_Main::gotoLongestLine() {
    const TEngineNavRows rows;
    if (viewType_ == vtFolder) {
        // The longest path ends in the deepest level the comparison reached.
        engine::folderRows().OpenAllFolders();
        updateRowRange();
        const int row = FirstRowAtDepth(rows, folderView().FolderMaxDepth() + 1);
        if (row < 0) return;
        auto& ed = engine::editor();
        scrollRowIntoView(row);
        ed.SetActiveSide(1);
        setActivePane(viewType_, 1);
        ed.PlaceCaret(1, row, 1);
        ed.SetSelection(0, row, 0, row);
        applySelection(Qt::ShiftModifier, row);
        repaintPanes();
        return;
    }
    if (viewType_ != vtText) return;
    const TLineTarget target = LongestLine(rows);
    if (target.row < 0) return;
    gotoLine(target.pane, rows.LineNumber(target.pane, target.row) - 1, 0);
}

void TF_Main::GotoLine1Click(QObject*) {
    auto& ed = engine::editor();
    const auto& st = engine::paneStores();
    auto& s = AppSettings();
    ed.HideEditCaret();
    const TEngineNavRows rows;
    qint64 maxima[3] = {0, 0, 0};
    for (int pane = 1; pane <= 2; ++pane) {
        if (st.FolderMode) {
            maxima[pane] = rows.RowCount();
            continue;
        }
        const int row = LastNumberedRow(rows, pane);
        if (row < 0) continue;
        maxima[pane] = rows.LineNumber(pane, row);
        if (st.BinaryMode) {
            maxima[pane] += engine::rows().BinaryRowByteCount(pane, row);
        } else if (const int fileLine = st.FileLineNumber(pane, engine::rows().RowIndex(row)); fileLine > 0) {
            maxima[pane] = fileLine;
        }
    }
    if (!gotoDialog_) {
        gotoDialog_ = new TfGotoLine(this);
        gotoDialog_->setObjectName(QStringLiteral("TfGotoLine"));
        // Never placed yet: the first showing centres it below the file names.
        gotoDialog_->move(gotoDialog_->x(), -1);
    }
    const bool rightAllowed = st.FolderMode || !singlePaneView_;
    const int entered = gotoDialog_->Execute(defaultFormPos(gotoDialog_), maxima[1], rightAllowed, maxima[2]);
    if (entered < 0) {
        refocusMain();
        return;
    }
    const int pane = gotoDialog_->SelectedSide();
    const int sign = pane == 2 ? -1 : 1;
    int column = 0;
    if (st.FolderMode) {
        s.TEGotoDL = sign * entered;
    } else if (gotoDialog_->AddressMode()) {
        const bool hex = gotoDialog_->RB_Hex->isChecked();
        s.TEGotoBL = sign * gotoDialog_->eLineNo->text().toInt(nullptr, hex ? 16 : 10);
        column = int(gotoDialog_->AddressOffset());
    } else {
        s.TEGotoTL = sign * entered;
    }
    // The user counts the file's lines; rows of a long line count once.
    const bool textLines = !st.FolderMode && !st.BinaryMode;
    gotoLine(pane, (textLines ? st.LineNumberOfFileLine(pane, entered) : entered) - 1, column);
}

void TF_Main::gotoLine(int pane, int index, int column) {
    auto& ed = engine::editor();
    const auto& st = engine::paneStores();
    if (index < 0) {
        refocusMain();
        return;
    }
    ed.SetActiveSide(pane);
    setActivePane(viewType_, pane);
    engine::rows().ClearSelection();
    int row = -1, targetColumn = 1;
    if (st.FolderMode) {
        row = index;
    } else if (st.BinaryMode && AppSettings().BCOffsetAddr) {
        row = index;
        targetColumn = HexGroupColumn(engine::rows().RowText(pane, row), column, AppSettings().BCHEXBytes);
        if (targetColumn <= 0) row = -1;
    } else {
        row = RowOfLine(TEngineNavRows(), pane, index);
    }
    if (row >= 0) {
        scrollRowIntoView(row);
        ed.PlaceCaret(targetColumn, row, pane);
        ed.SetSelection(targetColumn, row, targetColumn, row);
        applySelection(st.FolderMode ? Qt::ControlModifier : Qt::NoModifier, row);
        invalidatePanes(true);
        detailsRow_ = -1;
        refreshDetails(row);
    }
    FormActivate();
}

// ---- selection and details ----------------------------------------------------------

void TF_Main::refreshSelection() {
    // A mark on a side that lacks the entry would act on nothing.
    if (engine::paneStores().FolderMode) {
        auto& f = engine::folderRows();
        for (int row = 0; row < f.FolderRowCount; ++row)
            for (int pane = 1; pane <= 2; ++pane)
                if (f.FolderRowSelectionKind(pane, row) != 0 && f.FolderRowStatus(pane, row) != 0 &&
                    f.FolderRowStatus(pane, row) != 6)
                    f.SetFolderRowSelected(pane, row, false);
    }
    // The image view recolours its panels: that comes with the image view.
    repaintPanes();
}

void TF_Main::refreshDetails(int row) {
    const auto& s = AppSettings();
    if (s.GSDetailPanel && (caretView(viewType_) || viewType_ == vtFolder) && !singlePaneView_) {
        if (paintLock_ > 0 || row < 0 || row == detailsRow_) return;
        detailsRow_ = row;
        showDetailsLine(row);
        return;
    }
    detailsRow_ = -1;
    eLine1->clear();
    eLine2->clear();
}

// ---- scroll bars and wheel ----------------------------------------------------------

void TF_Main::OnScroll(QObject*, int action) {
    if (viewType_ == vtImage) return;
    TScrollStep step = TScrollStep::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: step = TScrollStep::LineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: step = TScrollStep::LineDown; break;
    case QAbstractSlider::SliderPageStepSub: step = TScrollStep::PageUp; break;
    case QAbstractSlider::SliderPageStepAdd: step = TScrollStep::PageDown; break;
    case QAbstractSlider::SliderMove: step = TScrollStep::Track; break;
    default: break;
    }
    const int count = engine::paneStores().VisibleRowCount();
    const int old = topRow(viewType_);
    const int top = ScrollStepTop(step, old, count, rowsPerPage(), vScrollBar->sliderPosition());
    if (step == TScrollStep::PageUp || step == TScrollStep::PageDown) {
        if (top != old) {
            setTopRow(viewType_, top, count);
            invalidatePanes(viewType_ != vtBinary);
        }
        const QSignalBlocker quiet(vScrollBar);
        vScrollBar->setSliderPosition(topRow(viewType_));
        return;
    }
    scrollToTop(top);
    // Whatever the bar computed, it shows the row the view starts with.
    const QSignalBlocker quiet(vScrollBar);
    vScrollBar->setSliderPosition(topRow(viewType_));
}

void TF_Main::hScrollBarScroll(QObject*, int position) {
    if (hScrollBusy_) return;
    hScrollBusy_ = true;
    if (viewType_ == vtBinary) position = SnapHexPosition(position);
    if (viewType_ == vtImage) {
        // The bar runs to 1100, the zoom only to 1000 percent.
        position = std::clamp(position, 1, 1000);
    } else {
        position = std::max(position, 1);
        engine::editor().FirstVisibleColumn = position - 1;
    }
    {
        const QSignalBlocker quiet(hScrollBar);
        const int shown = viewType_ == vtImage ? position : std::min(position, AppSettings().TEMaxColumns);
        hScrollBar->setSliderPosition(shown);
        hScrollBar->setValue(shown);
    }
    if (viewType_ != vtImage) {
        invalidatePanes(viewType_ != vtBinary);
        engine::editor().RefreshCaret();
    } else {
        try {
            applyZoom(true, false);
            updateStatusBar();
        } catch (const std::exception& e) {
            access::FZLog(QStringLiteral("FM5: ") + QString::fromUtf8(e.what()));
        }
    }
    hScrollBusy_ = false;
}

bool TF_Main::FormMouseWheel(Qt::KeyboardModifiers, int wheelDelta) {
    if (viewType_ == vtImage) {
        // A tenth of the wheel step, scaled by the zoom, and never nothing.
        const int zoom = hScrollBar->value();
        int step = int(std::lround(wheelDelta / 10.0 * zoom / 100));
        if (step == 0 && wheelDelta != 0) step = wheelDelta > 0 ? 1 : -1;
        hScrollBarScroll(nullptr, std::clamp(zoom + step, 1, 1000));
        return true;
    }
    if (viewType_ == vtFree || Busy() || folderCompareRunning()) return false;
    // The text would stand beside a row that scrolled away.
    hoverText_->Hide();
    const int rows = wheelSteps_.Rows(wheelDelta);
    const int top = WheelTop(rows, topRow(viewType_), engine::paneStores().VisibleRowCount(), rowsPerPage());
    if (top == topRow(viewType_)) return false;
    scrollToTop(top);
    return true;
}

void TF_Main::wheelEvent(QWheelEvent* event) {
    FormMouseWheel(event->modifiers(), event->angleDelta().y());
    event->accept();
}

}  // namespace tandex::ui
