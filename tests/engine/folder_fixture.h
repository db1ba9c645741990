#pragma once
// Folder entries for the folder-row tests: both panes filled alike, in
// tree order, through the stores' own entry routines.

#include "config/app_settings.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"

#include <QString>

namespace tandex::engine::testing {

// 2011-12-05 09:07:03 UTC.
inline constexpr TFileTime kFolderTime = 129675496230000000ull;

inline void addFolder(int index, int depth, const QString& path, TFileTime time = kFolderTime) {
    auto& s = paneStores();
    for (int pane = 1; pane <= 2; ++pane)
        s.SetFolderEntryFolder(depth, index, 0x10, s.FolderEntries[size_t(pane)], path, time);
    s.FolderEntryCount = std::max(s.FolderEntryCount, index + 1);
}

inline void addFile(int index, const QString& path, qint64 size, TFileTime time = kFolderTime) {
    auto& s = paneStores();
    for (int pane = 1; pane <= 2; ++pane)
        s.SetFolderEntryFile(index, 0x20, path, s.FolderEntries[size_t(pane)], size, time);
    s.FolderEntryCount = std::max(s.FolderEntryCount, index + 1);
}

inline TFolderEntry* entryAt(int pane, int index) { return paneStores().FolderEntries[size_t(pane)][index]; }

// Folder mode on, tree view, every row shown, rows built.
inline void showFolders(bool tree = true) {
    paneStores().FolderMode = 1;
    config::AppSettings().FCTreeView = tree;
    folderRows().RebuildFolderRows();
}

inline std::vector<int> visibleEntries() {
    const auto& f = folderRows();
    return {f.FolderRowMap.begin(), f.FolderRowMap.begin() + f.FolderRowCount};
}

inline int rowOfEntry(int entry) {
    const auto& f = folderRows();
    for (int row = 0; row < f.FolderRowCount; ++row)
        if (f.FolderRowMap[size_t(row)] == entry) return row;
    return -1;
}

}  // namespace tandex::engine::testing
