// What the folder view learns of a copied file: the destination entry
// becomes the source's twin, and the pair and the folders that only
// differed because of it stop differing.

#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::markEntryCopied(int row, int sourcePane) {
    if (row < 0) {
        repaintPanes();
        updateControls();
        return;
    }
    auto& f = engine::folderRows();
    auto& st = engine::paneStores();
    if (!engine::PaneStores::IsPane(sourcePane)) return;
    const int dest = engine::PaneStores::OtherSide(sourcePane);
    const int entry = f.FolderRowEntry(row);
    if (entry < 0) return;
    const engine::TFolderEntry* s = st.FolderEntries[size_t(sourcePane)][entry];
    engine::TFolderEntry* d = st.FolderEntries[size_t(dest)][entry];
    if (s->Empty || d->Empty) return;
    d->Time = s->Time;
    d->Attributes = s->Attributes;
    d->Size = s->Size;
    d->Status = 0;
    f.SetFolderEntryResult(entry, 0);
    f.RenameFolderEntry(dest, row, s->Path.mid(s->Path.lastIndexOf(u'/') + 1));
    if (st.FolderEntries[1][entry]->Differs) {
        f.SetFolderEntryDiffers(entry, false);
        engine::fccTabs().SetTabDiffCount(engine::fccTabs().GetTabDiffCount() - 1);
    }
    for (int parent = f.FolderEntryParent(dest, entry); parent >= 0; parent = f.FolderEntryParent(dest, parent)) {
        engine::TFolderEntry* p = st.FolderEntries[size_t(dest)][parent];
        if (p->Empty || p->Status != 3) break;
        p->Status = 6;
    }
}

}  // namespace tandex::ui
