// The folder view's marks after a file operation: the copy engine and the
// delete list report each finished entry here, and the properties window
// reports a rename, a time or an attribute change of a row's entry. Each
// keeps the row's differs mark, its result and the difference counts of
// the folder tab and the folder window in step.

#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

constexpr quint8 kPresent = 0, kDeleted = 1, kPathNotFound = 3, kFolderPresent = 6;
constexpr quint8 kResultMissing = 2;

engine::TFolderEntry* entryOf(int pane, int entry) {
    return engine::paneStores().FolderEntries[size_t(pane)][entry];
}

QString lastComponent(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

}  // namespace

void TF_Main::changeFolderDiffCount(int delta) {
    auto& tabs = engine::fccTabs();
    const int count = std::max(tabs.GetTabDiffCount() + delta, 0);
    tabs.SetTabDiffCount(count);
    folderView().SetFolderDiffCount(count);
}

void TF_Main::markEntryCopied(int row, int sourcePane) {
    const int entry = engine::folderRows().FolderRowEntry(row);
    if (row < 0 || entry < 0 || !engine::PaneStores::IsPane(sourcePane)) {
        repaintPanes();
        return;
    }
    auto& f = engine::folderRows();
    const int target = engine::PaneStores::OtherSide(sourcePane);
    engine::TFolderEntry* source = entryOf(sourcePane, entry);
    engine::TFolderEntry* copied = entryOf(target, entry);
    // Both are real records wherever a comparison put a row; the shared
    // empty record is never written.
    if (source->Empty || copied->Empty) {
        repaintPanes();
        return;
    }
    copied->Time = source->Time;
    copied->Attributes = source->Attributes;
    copied->Size = source->Size;
    copied->Status = kPresent;
    source->Result = 0;
    copied->Result = 0;
    f.RenameFolderEntry(target, row, lastComponent(source->Path));
    if (entryOf(1, entry)->Differs) {
        f.SetFolderEntryDiffers(entry, false);
        changeFolderDiffCount(-1);
    }
    // The copy made the folders above it on the destination side.
    for (int parent = copied->Parent; parent >= 0 && parent < entry; parent = entryOf(target, parent)->Parent) {
        engine::TFolderEntry* folder = entryOf(target, parent);
        if (folder->Empty || folder->Status != kPathNotFound) break;
        folder->Status = kFolderPresent;
    }
    repaintPanes();
}

void TF_Main::markEntryDeleted(int row, int pane) {
    const int entry = engine::folderRows().FolderRowEntry(row);
    if (row < 0 || entry < 0 || !engine::PaneStores::IsPane(pane)) {
        repaintPanes();
        return;
    }
    auto& f = engine::folderRows();
    f.SetFolderRowSelected(pane, row, false);
    engine::TFolderEntry* gone = entryOf(pane, entry);
    if (gone->Empty) {
        repaintPanes();
        return;
    }
    gone->Status = kDeleted;
    gone->Time = 0;
    gone->Result = kResultMissing;
    engine::TFolderEntry* other = entryOf(engine::PaneStores::OtherSide(pane), entry);
    if (entryOf(1, entry)->Differs) {
        // Gone on both sides: the row no longer differs, and neither do the
        // folders above it that differed for its sake alone.
        if (other->Status != kPresent) {
            f.SetFolderEntryDiffers(entry, false);
            changeFolderDiffCount(-1);
        }
        if (!other->Empty) other->Result = kResultMissing;
    } else {
        f.SetFolderEntryDiffers(entry, true);
        changeFolderDiffCount(1);
    }
    repaintPanes();
}

void TF_Main::markFolderRowResult(int kind, int row, bool differs, bool allowed) {
    auto& f = engine::folderRows();
    const int entry = f.FolderRowEntry(row);
    if (entry < 0) return;
    int delta = 0;
    if (differs && allowed && !f.FolderRowDiffers(row)) {
        f.SetFolderRowDiffers(row, true);
        f.SetFolderEntryResult(entry, quint8(kind));
        delta = 1;
    } else if (!differs && f.FolderRowDiffers(row) && f.FolderEntryResult(entry) == kind) {
        f.SetFolderRowDiffers(row, false);
        f.SetFolderEntryResult(entry, 0);
        delta = -1;
    }
    if (delta == 0) return;
    const int count = std::max(folderView().FolderDiffCount() + delta, 0);
    folderView().SetFolderDiffCount(count);
    if (ViewType() == vtFolder) engine::fccTabs().SetTabDiffCount(count);
}

}  // namespace tandex::ui
