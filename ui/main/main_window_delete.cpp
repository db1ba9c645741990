#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::TB_DELETEClick(QObject*) {
    if (Busy()) return;
    pickMode(2);
    auto& f = engine::folderRows();
    QWidget* list = folderView().DeleteList();
    if (!list || !engine::paneStores().FolderMode || f.SelectedFolderEntryCount(false) == 0) return;
    // The selection lives on one pane only; that is the side whose files go.
    const int pane = f.FolderSelectionSide;
    disableUI();
    // The list handles events while it waits and deletes; a close of the
    // main window meanwhile is refused and comes back once it is over.
    ++busyDepth_;
    const auto& stores = engine::paneStores();
    folderView().Prepare(defaultFormPos(list), pane, f.SelectedFolderEntryCount(true));
    // A selected folder opens and selects its files; the rows it inserts
    // follow it, so the walk reaches them.
    for (int row = 0; row < f.FolderRowCount; ++row) {
        const int kind = f.FolderRowSelectionKind(pane, row);
        if (kind == 2) {
            f.SelectFolderTree(pane, row);
            updateRowRange();
        } else if (kind == 1 && f.FolderRowStatus(pane, row) == 0) {
            folderView().AddItem(row, stores.FolderRoots[size_t(pane)] + f.FolderRowPath(pane, row));
        }
    }
    refreshSelection();
    folderView().Run(pane);
    --busyDepth_;
    enableUI();
}

}  // namespace tandex::ui
