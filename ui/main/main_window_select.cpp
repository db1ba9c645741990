// The selection model: how the selection commands and the caret selection
// become the selection marks of the active pane. Keys, mouse, search and the
// select buttons all end here, so the marks follow one set of rules.

#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

// Whether row takes part in a selection command (-1 .. -5) on pane.
bool commandMatches(int command, int pane, int row) {
    const auto& st = engine::paneStores();
    const auto& r = engine::rows();
    switch (command) {
    case -1: return r.RowDiffers(row) && engine::folderRows().NewerSide(row) == pane;
    case -2: return r.RowDiffers(row);
    case -3: {
        const int other = 3 - pane;
        return st.FolderMode ? engine::folderRows().FolderRowStatus(other, row) != 0 : r.IsRowMissing(other, row);
    }
    case -4: return !r.RowDiffers(row);
    default: return true;
    }
}

}  // namespace

void TF_Main::applySelection(Qt::KeyboardModifiers shift, int row) {
    auto& st = engine::paneStores();
    auto& r = engine::rows();
    auto& fr = engine::folderRows();
    auto& ed = engine::editor();
    const int pane = ed.ActiveSide;

    if (row < 0) {
        if (st.FolderMode && config::AppSettings().FCTreeView) {
            if (row >= -3)
                fr.OpenDifferentFolders();
            else if (row == -4)
                fr.OpenAllFolders();
            updateRowRange();
        }
        if (row == -6 && st.FolderMode) {
            // Inverting must reach the files of closed folders too.
            fr.OpenAllFolders();
            updateRowRange();
        }
        // The count is read on every pass: -5 opens folders as it goes.
        for (int i = 0; i < st.VisibleRowCount(); ++i) {
            if (row == -6) {
                const bool folder = fr.RowFolderState(i) != 0;
                const bool selected = r.RowSelectionKind(pane, i) != 0;
                r.SetRowSelection(pane, i, 1, !folder && !selected, 0);
                continue;
            }
            if (row == -5 && fr.RowFolderState(i) == 1) {
                fr.ToggleFolderRow(i);
                updateRowRange();
            }
            if (commandMatches(row, pane, i)) r.SetRowSelection(pane, i, 1, true, 0);
        }
    } else {
        if (st.FolderMode) LastFolderRow = row;
        const bool extend = shift.testFlag(Qt::ShiftModifier);
        if (shift.testFlag(Qt::ControlModifier) && !extend) {
            r.SetRowSelection(pane, row, 1, r.RowSelectionKind(pane, row) == 0, 0);
        } else if (!extend) {
            r.ClearSelection();
        } else {
            const engine::TEditSelection sel = ed.Selection;
            if (sel.EndRow == -1) {
                r.SetRowSelection(pane, row, sel.StartColumn, true, sel.EndColumn);
            } else {
                r.ClearSelection();
                const int anchor = sel.StartRow;
                if (anchor == row) {
                    const int first = std::max(1, std::min(sel.StartColumn, sel.EndColumn));
                    const int last = sel.EndColumn == 0 ? 0 : std::max(sel.StartColumn, sel.EndColumn);
                    r.SetRowSelection(pane, row, first, true, last);
                } else if (anchor < row) {
                    r.SetRowSelection(pane, anchor, std::max(1, sel.StartColumn), true, 0);
                    for (int i = anchor + 1; i < row; ++i) r.SetRowSelection(pane, i, 1, true, 0);
                    // An end column of 0 is a whole-row selection (the margin or the folder view).
                    r.SetRowSelection(pane, row, 1, true, sel.EndColumn);
                } else {
                    r.SetRowSelection(pane, anchor, 1, true, sel.StartColumn);
                    for (int i = row + 1; i < anchor; ++i) r.SetRowSelection(pane, i, 1, true, 0);
                    r.SetRowSelection(pane, row, std::max(1, sel.EndColumn), true, 0);
                }
            }
            updateControls();
        }
    }
    refreshDetails(row);
}

}  // namespace tandex::ui
