// Commands that change how the comparison is shown rather than what it
// holds: the single-pane view switch, the display filter and its drop-down
// menu, the screen and printer fonts, the View menu's show/hide toggles and
// the splitter between the panes.

#include <QAction>
#include <QApplication>
#include <QFontDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "main_window.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

// The view-mode, HEX and filter commands hold the flag while they run;
// processEvents inside them must not start a second one.
class CommandGuard {
public:
    explicit CommandGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~CommandGuard() { flag_ = false; }
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;

private:
    bool& flag_;
};

// The tag bit that finds the caret's line again after the rows are rebuilt.
constexpr quint8 kViewModeTag = 1;

// The display filter of the view, nullptr for the views without one.
int* viewFilter(int viewType) {
    switch (viewType) {
    case vtFolder: return &engine::folderRows().FolderViewFilter;
    case vtText: return &engine::rows().TextViewFilter;
    case vtBinary: return &engine::rows().BinaryViewFilter;
    default: return nullptr;
    }
}

// The row that shows the pane's line number, -1 when it is hidden.
int rowOfNumber(int pane, int number, int rowCount) {
    const auto& r = engine::rows();
    for (int row = 0; row < rowCount; ++row)
        if (!r.IsRowMissing(pane, row) && r.RowLineNumber(pane, row) == number) return row;
    return -1;
}

// The last row whose line number on the pane stays below number, else -1.
int lastRowBefore(int pane, int number, int rowCount) {
    const auto& r = engine::rows();
    for (int row = rowCount - 1; row >= 0; --row) {
        if (r.IsRowMissing(pane, row)) continue;
        const int n = r.RowLineNumber(pane, row);
        if (n > 0 && n < number) return row;
    }
    return -1;
}

// Hands P_MID's mouse events to the splitter handlers; Qt's implicit grab
// keeps the moves coming while the button is held outside the strip.
class SplitterDrag : public QObject {
public:
    SplitterDrag(TF_Main* main, QWidget* strip) : QObject(strip), main_(main) { strip->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
            dragging_ = true;
            main_->P_MIDStartDrag();
            return true;
        case QEvent::MouseMove:
            if (!dragging_) return false;
            main_->P_MIDDragOver(int(static_cast<QMouseEvent*>(event)->position().x()));
            return true;
        case QEvent::MouseButtonRelease:
            if (!dragging_ || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
            dragging_ = false;
            main_->P_MIDEndDrag();
            return true;
        default:
            return false;
        }
    }

private:
    TF_Main* main_;
    bool dragging_ = false;
};

}  // namespace

// ---- view mode ------------------------------------------------------------------

void TF_Main::BB_VIEWMODEClick(QObject* sender) {
    if (Busy() || ViewType() == vtFree) return;
    if (ViewType() == vtFolder) {
        {
            CommandGuard guard(commandRunning_);
            switchFolderViewMode();
        }
        updateControls();
        return;
    }
    {
        CommandGuard guard(commandRunning_);
        // The right pane goes out of sight: its edits are offered first.
        if (!askSaveModified(2)) return;
        auto& stores = engine::paneStores();
        stores.SinglePaneView = stores.SinglePaneView ? 0 : 1;
        applyViewMode();
        if (!stores.SinglePaneView) {
            showFileNames();
            // Closing a tab leaves the compare view with nothing to show.
            if (sender != TB_DELETE && stores.FileSizes[2] == -2) {
                M_ROpenErr->show();
                P_RImage->show();
            }
        }
        refreshSelection();
    }
    updateControls();
    FormActivate();
}

void TF_Main::applyViewMode() {
    auto& stores = engine::paneStores();
    auto& r = engine::rows();
    auto& ed = engine::editor();
    const int type = ViewType();
    const bool single = stores.SinglePaneView != 0;
    storeRecentPair();
    singlePaneView_ = single;
    P_MID->setVisible(!single);
    const int pane = getActivePane(type);
    const int column = ed.GetCaretColumn();
    if (type == vtText) r.TagLineAtRow(pane, ed.GetCaretRow(), kViewModeTag);

    if (single) {
        P_RImage->hide();
        if (type == vtText) {
            removeAllGapLines();
            r.ClearLineDifferences();
            hScrollBar->setValue(1);
            stores.UpdateMaxLineCount();
            // Nothing of the old alignment is kept: the rows are made anew.
            r.FilterTextRows(r.TextViewFilter);
        } else if (type == vtBinary) {
            loadMissingPanes();
            r.ClearLineSelection();
        }
    } else {
        if (type == vtText) {
            // A pane without a file has nothing to align with.
            if (!stores.FileNames[1].isEmpty() && !stores.FileNames[2].isEmpty()) recompare();
            r.FilterTextRows(r.TextViewFilter);
        } else if (type == vtBinary) {
            loadMissingPanes();
        } else if (type == vtImage) {
            P_RImage->setVisible(stores.ImageLoaded[2] != 0);
        }
    }

    switchView(type, false, false);
    updateRowRange();
    if (type == vtText) {
        timHiddenLn->stop();
        const int row = r.TakeTaggedLineRow(pane, kViewModeTag);
        if (row >= 0) {
            scrollRowIntoView(row);
            ed.CaretGoTo(column, row);
        }
    }
    invalidatePanes(true);
}

void TF_Main::Info1Click(QObject*) { exitFNEdit(); }

// ---- display filter -------------------------------------------------------------

void TF_Main::TB_FILTERClick(QObject* sender) {
    const int type = ViewType();
    int* filter = viewFilter(type);
    if (Busy() || !filter) return;
    {
        CommandGuard guard(commandRunning_);
        resetSelectButtons(15);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto& r = engine::rows();
        auto& ed = engine::editor();
        // The reference is the caret row's line; a gap there takes the
        // other pane's line, and that pane's numbers find it again.
        int pane = getActivePane(type);
        const int caretRow = ed.GetCaretRow();
        if (type != vtFolder && r.IsRowMissing(pane, caretRow)) pane = 3 - pane;
        const int reference = r.RowLineNumber(pane, caretRow);
        const int byte = qMax(0, ed.GetCaretColumn() - 1) / 3;
        if (sender) {
            // The button shows the other filter of its pair: one click swaps them.
            const int shown = qMax(0, filterOfImage(filterImage_));
            filterImage_ = filterImage(*filter);
            *filter = shown;
            TB_FILTER->setProperty("ImageIndex", filterImage_);
        }
        int target = reference;
        if (type == vtFolder) {
            auto& f = engine::folderRows();
            f.RebuildFolderRows();
            if (config::AppSettings().FCTreeView) f.OpenAllFolders();
            updateRowRange();
            // Folder rows are numbered by entry: the nearest row at or above.
            target = 0;
            for (int row = f.FolderRowCount - 1; row >= 0; --row)
                if (r.RowLineNumber(pane, row) <= reference) {
                    target = row + 1;
                    break;
                }
        } else if (type == vtText) {
            r.FilterTextRows(*filter);
            updateRowRange();
        } else {
            r.FilterBinaryRows(*filter);
            updateRowRange();
        }
        const int rows = viewRowCount(type);
        const bool shown = type == vtFolder ? target > 0 : target > 0 && rowOfNumber(pane, target, rows) >= 0;
        if (shown) {
            // The address view goes to lines by row, and keeps the byte.
            if (type == vtBinary && config::AppSettings().BCOffsetAddr)
                gotoLine(pane, rowOfNumber(pane, target, rows), byte);
            else
                gotoLine(pane, target - 1, 0);
        } else if (rows == 0) {
            setTopRow(type, 0, 0);
            ed.CaretToTop();
            eLine1->clear();
            eLine2->clear();
        } else {
            int row = lastRowBefore(pane, target, rows);
            if (row < 0) row = rows - 1;
            scrollRowIntoView(row);
            ed.PlaceCaret(1, row, pane);
            ed.SetSelection(1, row, 1, row);
            refreshDetails(row);
        }
    }
    updateControls();
    timHiddenLn->stop();
    showInsertState();
    QApplication::restoreOverrideCursor();
    invalidatePanes(true);
    // The caret was placed while the guard kept the window busy.
    FormActivate();
}

void TF_Main::pmDiffViewPopup(QObject*) {
    const int* filter = viewFilter(ViewType());
    const int current = filter ? *filter : 0;
    for (QAction* item : pmDiffView->actions()) item->setEnabled(item->property("Tag").toInt() != current);
}

void TF_Main::pmDV_Click(QObject* sender) {
    int* filter = viewFilter(ViewType());
    if (!sender || !filter || Busy()) return;
    const int chosen = sender->property("Tag").toInt();
    const int before = *filter;
    *filter = chosen;
    // The button offers the way back: to "all", or from "all" to what was in force.
    if (chosen != 0)
        filterImage_ = filterImage(0);
    else if (before != 0)
        filterImage_ = filterImage(before);
    TB_FILTER->setProperty("ImageIndex", filterImage_);
    TB_FILTERClick(nullptr);
}

// ---- fonts ----------------------------------------------------------------------

bool TF_Main::fontDialog(QFont& font, const QString& title) {
    if (FontDialogHook) return FontDialogHook(font, title);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, title);
    if (ok) font = chosen;
    return ok;
}

void TF_Main::mmScreenFont1Click(QObject*) {
    QFont font = FontOfDesc(config::AppSettings().AFFont);
    engine::editor().HideEditCaret();
    // The dialog has no Apply button: its OK applies.
    if (fontDialog(font, QStringLiteral(" Select Display Font "))) ScreenFontDialogApply(font);
    FormActivate();
}

void TF_Main::ScreenFontDialogApply(const QFont& font) {
    config::AppSettings().AFFont = DescOfFont(font);
    applyPaneFont();
    // The second pass sees the scroll bar decision the first one made.
    arrangeLayout(ViewType());
    updateHScrollBar();
    eLine1->clear();
    eLine2->clear();
    detailsRow_ = -1;
    refreshDetails(engine::editor().GetCaretRow());
    refreshView();
}

void TF_Main::mmPrinterFont1Click(QObject*) {
    auto& s = config::AppSettings();
    QFont font = FontOfDesc(s.APFont);
    engine::editor().HideEditCaret();
    // Printing reads APFont from the settings when it renders the pages.
    if (fontDialog(font, QStringLiteral(" Select Printer Font "))) s.APFont = DescOfFont(font);
    FormActivate();
}

// ---- View menu toggles ----------------------------------------------------------

void TF_Main::mmShowDetailsPanel1Click(QObject*) {
    auto& s = config::AppSettings();
    s.GSDetailPanel = !s.GSDetailPanel;
    arrangeLayout(ViewType());
    detailsRow_ = -1;
    refreshDetails(engine::editor().GetCaretRow());
    invalidatePanes(true);
}

void TF_Main::mmShowLN1Click(QObject*) {
    auto& s = config::AppSettings();
    s.GSLineNr = !s.GSLineNr;
    arrangeLayout(ViewType());
    invalidatePanes(true);
}

void TF_Main::mmShowStatusBar1Click(QObject*) {
    auto& s = config::AppSettings();
    s.GSStaDisp = !s.GSStaDisp;
    arrangeLayout(ViewType());
    updateStatusBar();
    invalidatePanes(true);
}

void TF_Main::mmShowThumbnailBar1Click(QObject*) {
    auto& s = config::AppSettings();
    s.GSShowDiffBar = !s.GSShowDiffBar;
    arrangeLayout(ViewType());
    invalidatePanes(true);
}

// ---- splitter -------------------------------------------------------------------

void TF_Main::createSplitterDrag() {
    new SplitterDrag(this, P_MID);
    P_MID->setCursor(Qt::SplitHCursor);
}

void TF_Main::P_MIDStartDrag() {
    // No cursor clipping: FormDragOver's clamp keeps the split inside.
    dragX_ = -1;
}

void TF_Main::FormDragOver(int x) {
    try {
        const TLayoutGeometry& g = geometry_;
        x = qBound(g.leftTextX + 32, x, qMax(g.leftTextX + 32, g.rightEdge - 64));
        if (dragX_ == -1) {
            dragX_ = x;
            return;
        }
        if (x == dragX_) return;
        dragX_ = x;
        // The layout puts the split at the centre plus the offset.
        splitOffset_ = x - ((g.rightEdge - g.diffBarWidth) / 2 + g.diffBarWidth - 3);
        if (ViewType() == vtImage) placeImagePanels(true);
    } catch (const std::exception&) {
        access::FZLog(QStringLiteral("FM6"));
    }
}

void TF_Main::P_MIDDragOver(int x) {
    try {
        FormDragOver(x + P_MID->x());
        arrangeLayout(ViewType());
        showFileNames();
        update();
        engine::editor().RefreshCaret();
    } catch (const std::exception&) {
        access::FZLog(QStringLiteral("FM2"));
    }
}

void TF_Main::P_MIDEndDrag() {
    try {
        dragX_ = -1;
        const int type = ViewType();
        arrangeLayout(type);
        showFileNames();
        if (type == vtText || type == vtBinary) updateHScrollBar();
        if (type == vtImage) {
            placeImagePanels(true);
            hScrollBarScroll(nullptr, hScrollBar->value());
        }
        invalidatePanes(true);
    } catch (const std::exception&) {
        access::FZLog(QStringLiteral("FM3"));
    }
}

}  // namespace tandex::ui
