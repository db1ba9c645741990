#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::markEntryDeleted(int row, int pane) {
    if (row >= 0 && engine::PaneStores::IsPane(pane)) {
        auto& f = engine::folderRows();
        auto& stores = engine::paneStores();
        const int e = f.FolderRowEntry(row);
        auto& entries = stores.FolderEntries[size_t(pane)];
        if (e >= 0 && !entries.IsGap(e)) {
            f.SetFolderEntrySelected(pane, e, false);
            engine::TFolderEntry* entry = entries[e];
            entry->Status = 1;
            entry->Time = 0;
            entry->Result = 2;
            const int other = 3 - pane;
            engine::TFolderEntry* otherEntry = stores.FolderEntries[size_t(other)][e];
            auto& tabs = engine::fccTabs();
            if (stores.FolderEntries[1][e]->Differs) {
                // Gone on both sides: nothing is left to differ.
                if (otherEntry->Status != 0) {
                    f.SetFolderEntryDiffers(e, false);
                    tabs.SetTabDiffCount(qMax(0, tabs.GetTabDiffCount() - 1));
                }
            } else {
                f.SetFolderEntryDiffers(e, true);
                tabs.SetTabDiffCount(tabs.GetTabDiffCount() + 1);
            }
            if (!stores.FolderEntries[size_t(other)].IsGap(e)) otherEntry->Result = 2;
            LastDiffCount = tabs.GetTabDiffCount();
        }
    }
    repaintPanes();
}

}  // namespace tandex::ui
