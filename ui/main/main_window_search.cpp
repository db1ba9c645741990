// Find and replace in the panes, for the find dialog and F3. The search
// runs on the UI thread and pumps events now and then so that the dialog's
// Abort gets through; meanwhile the busy count keeps the window's other
// commands out and ReplaceAllActive holds back the repaints of the loops.

#include <QAction>
#include <QLabel>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "find_replace.h"
#include "main_window.h"
#include "row_area.h"

namespace tandex::ui {

void TF_Main::createSearchControls() {
    const std::pair<const char*, void (TF_Main::*)(QObject*)> commands[] = {
        {"Find1", &TF_Main::Find1Click}, {"FindNext1", &TF_Main::FindNext1Click}, {"Replace1", &TF_Main::Replace1Click}};
    for (const auto& [name, handler] : commands) {
        auto* item = findChild<QAction*>(QLatin1String(name));
        if (!item) continue;
        // An action out of sight is disabled, its shortcut with it.
        item->setProperty("Built", true);
        item->setVisible(true);
        connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item); });
    }
}

TfReplace* TF_Main::FindDialog() {
    if (findDialog_) return findDialog_;
    findDialog_ = new TfReplace(this);
    findDialog_->OnShow = [this] { FindDialog1Show(); };
    findDialog_->OnClose = [this] { FindDialog1Close(); };
    findDialog_->OnFind = [this] {
        if (findDialog_->ReplaceMode())
            ReplaceDialog1Find();
        else
            FindDialog1Find();
    };
    findDialog_->OnReplace = [this] { ReplaceDialog1Replace(); };
    return findDialog_;
}

void TF_Main::closeFindDialog() {
    if (!findDialog_) return;
    findDialog_->hide();
    findDialog_->storeSettings();
}

// ---- opening and closing the dialog -------------------------------------------

void TF_Main::Find1Click(QObject*) { openFindDialog(false); }

void TF_Main::Replace1Click(QObject*) { openFindDialog(true); }

void TF_Main::openFindDialog(bool replaceMode) {
    if (Busy()) return;
    TfReplace* dlg = FindDialog();
    dlg->setSide(getActivePane(viewType_));
    QString text;
    if (config::AppSettings().TEFindCurWord && viewType_ != vtFolder) engine::editor().GetWordOrSelection(text);
    if (text.isEmpty()) text = lastSearchText_;
    dlg->setFindText(text);
    searchRow_ = -1;
    folderMatchRow_ = -1;
    dlg->show(replaceMode);
}

void TF_Main::FindDialog1Show() {
    findDialogOpen_ = true;
    // The dialog's fields take the clipboard keys while it is open.
    clearEditShortcuts();
    findDialog_->move(defaultFormPos(findDialog_));
}

void TF_Main::FindDialog1Close() {
    findDialogOpen_ = false;
    restoreEditShortcuts();
    activateWindow();
    rowArea_->setFocus();
}

// ---- finding ------------------------------------------------------------------

void TF_Main::FindDialog1Find() {
    // The dialog stays open while the window runs other commands.
    if (Busy()) return;
    engine::rows().ClearSelection();
    lastSearchText_ = findDialog_->getFindText();
    ++busyDepth_;
    if (findText(findDialog_->getSide(), findDialog_->getOptions())) findDialog_->countHit();
    --busyDepth_;
}

void TF_Main::ReplaceDialog1Find() { FindDialog1Find(); }

void TF_Main::FindNext1Click(QObject*) {
    if (Busy()) return;
    TfReplace* dlg = FindDialog();
    engine::rows().ClearSelection();
    // F3 is an action of its own: an earlier action's hits or Abort must
    // not decide what it reports.
    dlg->resetAction();
    ++busyDepth_;
    findText(dlg->getSide(), dlg->getOptions());
    --busyDepth_;
}

bool TF_Main::findText(int scope, int options) {
    if (lastSearchText_.isEmpty()) return false;
    TfReplace* dlg = FindDialog();
    const int flags = MatchFlagsFromOptions(options);
    const bool down = flags & mfDown;
    auto& ed = engine::editor();
    int startRow = std::max(ed.Caret.Row, 0);
    int column = down ? ed.Caret.Column : ed.Caret.Column - 1;
    // A folder row matches once: the next step goes on with the row after
    // it, whatever column the caret shows on the matched row.
    if (viewType_ == vtFolder && startRow == folderMatchRow_) {
        startRow += down ? 1 : -1;
        column = down ? 1 : -1;
    }
    folderMatchRow_ = -1;
    searchRow_ = std::max(startRow, 0);
    const bool tree = viewType_ == vtFolder && config::AppSettings().FCTreeView;
    for (int row = startRow; down ? row < engine::paneStores().VisibleRowCount() : row >= 0; row += down ? 1 : -1) {
        if (tree) row = openFolderForSearch(row, down);
        if (searchScopeRow(scope, row, column, flags)) return true;
        column = down ? 1 : -1;
        dlg->ShowProgress();
        if (dlg->Aborted()) return true;
    }
    if (dlg->Counter() == 0) {
        dlg->notFound();
        if (!dlg->isVisible()) {
            updateStatusBar();
            P_StatusBar->setText(P_StatusBar->text() + QStringLiteral(" | Searchtext not found!"));
        }
    }
    return false;
}

int TF_Main::openFolderForSearch(int row, bool down) {
    auto& f = engine::folderRows();
    if (f.RowFolderState(row) != 1) return row;
    if (down) {
        // Its children follow it and are searched next.
        f.ToggleFolderRow(row);
        updateRowRange();
        return row;
    }
    // Upwards the search goes on with the folder's last row at every depth,
    // so that closed folders among its last children are searched too.
    while (f.RowFolderState(row) == 1) {
        const int inserted = f.ToggleFolderRow(row);
        if (inserted <= 0) break;
        row += inserted;
    }
    updateRowRange();
    return row;
}

bool TF_Main::searchScopeRow(int scope, int row, int column, int flags) {
    // The single-pane view shows the left pane only.
    if (engine::paneStores().SinglePaneView) scope = 1;
    if (scope == 2) return searchPaneRow(2, row, column, flags);
    if (searchPaneRow(1, row, column, flags)) return true;
    return scope == 3 && searchPaneRow(2, row, column, flags);
}

bool TF_Main::searchPaneRow(int pane, int row, int column, int flags) {
    auto& r = engine::rows();
    QString text = r.RowText(pane, row);
    if (text.isEmpty()) return false;
    const int length = int(text.size());
    if (column < 0) column = length + 1;
    const bool down = flags & mfDown;
    // Searching up, the text keeps one character past the start column:
    // the whole-word test looks at it.
    if (!down) text.truncate(std::min(column, length));
    const int found = MatchText(text, column - 1, lastSearchText_, flags);
    if (found < 0) return false;
    const int first = found + 1, behind = first + int(lastSearchText_.size());

    auto& ed = engine::editor();
    setActivePane(viewType_, pane);
    ed.SetActiveSide(pane);
    scrollRowIntoView(row);
    searchRow_ = row + 1;
    if (viewType_ == vtFolder) {
        engine::folderRows().SetFolderRowSelected(pane, row, true);
        folderMatchRow_ = row;
        ed.PlaceCaret(down ? first : int(r.RowText(pane, row).size()) + 1, row, pane);
    } else {
        r.SetLineSelection(pane, row, first, behind);
        ed.PlaceCaret(behind, row, pane);
    }
    changedEdit({}, 0, 2);
    if (!engine::paneStores().ReplaceAllActive) {
        invalidatePanes(false);
        refreshDetails(row);
    }
    return true;
}

// ---- counting and replacing ----------------------------------------------------

void TF_Main::ReplaceDialog1Replace() {
    auto& st = engine::paneStores();
    auto& r = engine::rows();
    auto& ed = engine::editor();
    TfReplace* dlg = findDialog_;
    const int options = dlg->getOptions(), scope = dlg->getSide();
    // Only text lines are replaced: the dialog may outlive the text view.
    if (Busy() || (!(options & foFindOnly) && viewType_ != vtText)) return;
    r.ClearSelection();
    resetSelectButtons(15);
    int top = topRow(viewType_);
    const int caretRow = ed.Caret.Row, caretColumn = ed.Caret.Column, side = ed.ActiveSide;
    if (viewType_ == vtFolder) {
        ed.PlaceCaret(1, std::max(caretRow, 0), side);
        folderMatchRow_ = -1;
    }
    lastSearchText_ = dlg->getFindText();
    const config::BusyCursor hourglass;
    ++busyDepth_;

    if (options & foFindOnly) {
        st.ReplaceAllActive = 1;
        while (findText(scope, options) && !dlg->Aborted()) dlg->countHit();
        if (viewType_ != vtFolder) {
            r.ClearLineSelection();
        } else if (options & foAll) {
            const int first = engine::folderRows().FirstSelectedFolderRow();
            if (first >= 0 && first < st.VisibleRowCount()) {
                scrollRowIntoView(first);
                top = topRow(viewType_);
            }
        } else {
            engine::folderRows().ClearFolderSelection();
        }
        scrollToTop(top);
        setActivePane(viewType_, side);
        ed.PlaceCaret(caretColumn, caretRow, side);
    } else {
        // The group begins on the pane that is edited, so that the
        // replacements never join the group before them on that pane.
        const int pane = st.SinglePaneView ? 1 : scope == 2 ? 2 : 1;
        auto& undo = engine::undoStack();
        undo.BeginUndoGroup();
        st.ReplaceAllActive = (options & foAll) ? 1 : 0;
        undo.PushUndo(engine::ukCaret, pane, caretRow, {}, caretColumn);
        const QString replacement = dlg->getReplaceText();
        int replaced = 0;
        do {
            if (!findText(scope, options) || dlg->Aborted()) break;
            dlg->countHit();
            replaceMatch(replacement);
            ++replaced;
        } while (st.ReplaceAllActive);
        if (replaced > 0 && !engine::fccTabs().IsPaneModified(pane)) {
            engine::fccTabs().MarkPaneModified(pane);
            updateSaveCommands();
        }
        updateControls();
    }

    st.ReplaceAllActive = 0;
    --busyDepth_;
    invalidatePanes(false);
    refreshDetails(ed.Caret.Row);
}

void TF_Main::replaceMatch(const QString& replacement) {
    auto& r = engine::rows();
    auto& ed = engine::editor();
    const int pane = ed.ActiveSide, row = ed.Caret.Row;
    const quint32 range = r.RowSelectionRange(pane, row);
    const int index = r.TextRowIndex(row);
    if (range == 0 || index < 0 || !engine::PaneStores::IsPane(pane)) return;
    const int a = int(range & 0xFFFF), b = int(range >> 16);
    const int lineNumber = r.RowLineNumber(pane, row);
    const bool wasDifferent = r.TextRowDiffers(row);
    const QString text = engine::paneStores().TextLines[size_t(pane)][index]->Text;
    const int behind = a + int(replacement.size());

    auto& undo = engine::undoStack();
    undo.PushUndo(engine::ukWindowEdit2, pane, lineNumber, text.mid(a - 1, b - a), a);
    undo.PushUndo(engine::ukWindowEdit7, pane, lineNumber, QStringLiteral("%1:%2").arg(lineNumber).arg(behind), a);
    ed.SetLineText(pane, index, text.left(a - 1) + replacement + text.mid(b - 1));
    r.SetRowSelection(pane, row, 0, false, 0);
    ed.RecompareCaretLine(wasDifferent);
    // The next search goes on past the replacement: down behind it, up
    // before the match's start (the up search starts at caret - 1), so
    // that the inserted text is never searched again.
    const bool down = findDialog_ && (findDialog_->getOptions() & foDown);
    ed.PlaceCaret(down ? behind : a + 1, row, pane);
}

}  // namespace tandex::ui
