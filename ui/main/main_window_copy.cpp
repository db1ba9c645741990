// Copying the selected files of the folder view to the other pane through
// the copy window.

#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::copySelectedFiles() {
    auto& copy = folderView();
    if (!copy.CopyWindowExists()) return;
    auto& f = engine::folderRows();
    auto& st = engine::paneStores();
    const int source = getActivePane(vtFolder) == 2 ? 2 : 1;
    const int dest = engine::PaneStores::OtherSide(source);
    pickMode(2);
    disableUI();
    // The copy pumps events for as long as it runs: no command may enter
    // meanwhile, and a close request waits for its end.
    ++busyDepth_;
    copy.CopyPrepare(source);
    int jobs = 0;
    // Opening a selected folder adds its rows behind it: the count grows.
    for (int row = 0; row < f.FolderRowCount; ++row) {
        const int kind = f.FolderRowSelectionKind(source, row);
        if (kind == 2) {
            f.SelectFolderTree(source, row);
            updateRowRange();
            continue;
        }
        if (kind != 1) continue;
        const int entry = f.FolderRowEntry(row);
        // A missing source, or a pair that differs only by its name, has
        // nothing to copy.
        if (f.FolderRowStatus(source, row) != 0 || f.FolderEntryResult(entry) == 4) {
            f.SetFolderRowSelected(source, row, false);
            continue;
        }
        const qint64 size = f.FolderRowSize(source, row);
        copy.SetCopyTotalBytes(copy.CopyTotalBytes() + size);
        setPanePairFromRow(row);
        copy.CopyAddJob(st.FilePaths[size_t(source)], st.FileNames[size_t(source)], size, row,
                        st.FileNames[size_t(source)], st.FilePaths[size_t(dest)]);
        if (f.FolderRowStatus(dest, row) == 0)
            copy.SetCopyReplacedBytes(copy.CopyReplacedBytes() + f.FolderRowSize(dest, row));
        ++jobs;
    }
    refreshSelection();
    if (jobs > 0) copy.CopyExecute(source, st.FolderRoots[size_t(dest)]);
    st.FileNames[1].clear();
    st.FileNames[2].clear();
    --busyDepth_;
    enableUI();
}

}  // namespace tandex::ui
