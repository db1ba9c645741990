#pragma once
// The rows of the folder view. A folder comparison fills both panes'
// folder-entry stores in tree order (entry i of both panes is one row
// pair); the view shows them either as a tree that opens and closes folder
// by folder, or as a flat list of the files. The tree structure (Depth,
// Parent, FolderState) is read from the pane-1 entries, or from pane 2
// where pane 1 holds no entry; folder state, differs, has-next-sibling and
// result are written to both panes alike.
//
// Rows are inserted right behind the folder that opens and removed as the
// contiguous run of deeper rows behind the folder that closes, so the rows
// of a folder's visible subtree always follow it directly. The bulk
// operations (open all, open the differing, close all, open a subtree)
// rebuild the row map in one pass but give exactly the rows, states and
// has-next-sibling marks that opening or closing row by row would give.
//
// Every query answers rows outside the map and panes other than 1 and 2
// with 0, -1, false or an empty text.

#include "engine/pane_stores.h"

#include <QString>

#include <vector>

namespace tandex::engine {

// Status texts of the entries that are not there or could not be read.
QString FolderStatusText(int status);

class FolderRows {
public:
    FolderRows();
    FolderRows(const FolderRows&) = delete;
    FolderRows& operator=(const FolderRows&) = delete;

    // Start-up state: no rows, selection on pane 1, no information columns.
    void InitFolderRows();

    // ---- rows and tree ----
    void RebuildFolderRows();
    bool PassesFolderViewFilter(int entry) const;
    // Inserts the entry behind the row at position and advances position;
    // refused when the map is full.
    void InsertFolderRow(int entry, int& position, int& count);
    void DeleteFolderRow(int& position, int& count);
    // count grows by the rows inserted and shrinks by the rows removed.
    void OpenFolderRows(int entry, int depth, int& position, int& count);
    void CloseFolderRows(int entry, int depth, int& position, int& count);
    // The rows inserted (positive) or removed (negative); 0 for a file.
    int ToggleFolderRow(int row);
    void CloseAllFolders();
    void CloseFolderTree(int row);
    void OpenAllFolders();
    void OpenFolderTree(int row);
    void OpenDifferentFolders();
    void OpenFoldersToSelection();
    void SelectFolderTree(int pane, int row);
    // The path of the nearest file entry above the row's entry; returns its
    // index, -1 (and an empty path) when there is none.
    int PrevFileBeforeRow(int row, QString& path) const;
    // Walks down from the row to the next file row, opening closed folders
    // on the way; returns the row, -1 (and an empty path) when none.
    int NextFileFromRow(int row, QString& path);
    int FolderRowState(int row) const;
    int RowFolderState(int row) const;
    int RowFolderDepth(int row) const;
    int FolderRowEntry(int row) const;
    int FolderEntryParent(int pane, int entry) const;

    // ---- differs and results ----
    int SetFolderEntryDiffers(int entry, bool value);
    void SetFolderRowDiffers(int row, bool value);
    bool FolderRowDiffers(int row) const;
    int FolderEntryResult(int entry) const;
    void SetFolderEntryResult(int entry, quint8 value);

    // ---- selection ----
    void SetFolderEntrySelected(int pane, int entry, bool value);
    void SetFolderRowSelected(int pane, int row, bool value);
    bool IsFolderRowSelected(int row) const;
    bool IsFolderEntrySelected(int entry) const;
    void UnselectFolders(int pane);
    void ClearFolderSelection();
    // Opens every folder first in the tree view; every entry is selected.
    void SelectAllFolderEntries(int pane);
    int SelectedFolderEntryCount(bool filesOnly) const;
    int FirstSelectedFolderRow() const;
    // 0 none, 1 a selected file, 2 a selected folder.
    int FolderRowSelectionKind(int pane, int row) const;

    // ---- row values ----
    int FolderRowStatus(int pane, int row) const;
    TFileTime RowFileTime(int pane, int row) const;
    qint64 FolderRowSize(int pane, int row) const;
    qint64 FolderTreeSize(int pane, int entry) const;
    QString FolderRowSizeText(int pane, int row) const;
    qint64 FolderRowAttributes(int pane, int row) const;
    int NewerSide(int row) const;
    // False when the row has no entry in the pane or the name is empty or
    // holds a "/" (it would change the entry's depth).
    bool RenameFolderEntry(int pane, int row, const QString& name);

    // ---- texts ----
    void UpdateInfoColumns();
    QString FolderEntryInfoText(int pane, int entry) const;
    // The row's display text: the tree view's name and status text, or the
    // flat view's information text and path.
    QString FolderRowText(int pane, int row) const;
    QString FolderRowPath(int pane, int row) const;
    QString FolderEntryPath(int pane, int entry) const;

    // ---- swapping the panes ----
    void SwapFileSides(bool withLines);
    void SwapFolderSides();

    // Visible row -> entry index; its size is FolderRowCount.
    std::vector<int> FolderRowMap;
    int FolderRowCount = 0;
    quint8 TreeViewActive = 1;
    int FolderViewFilter = 0;
    int FolderSelectionSide = 1;
    quint8 CloseSubfoldersToo = 0;
    quint8 InfoColumnFlags = 0;
    int InfoColumnsWidth = 2;

private:
    // The entry the tree structure is read from.
    const TFolderEntry* treeEntry(int index) const;
    int depthOf(int index) const { return treeEntry(index)->Depth; }
    bool isFolder(int index) const { return treeEntry(index)->FolderState != 0; }
    bool entryDiffers(int index) const;
    const TFolderEntry* rowEntry(int pane, int row) const;
    void setFolderState(int index, quint8 state);
    void markNextSibling(int index);
    void setRowCount(int count);
    // The rows that OpenFolderRows inserts behind a folder, in order; before
    // is the entry in the row in front of the first of them.
    void collectOpenedRows(int folder, int depth, int before, std::vector<int>& out);
    // Walks the rows from a row on, opening every closed folder it meets
    // for which open says so (the rows it inserts are walked too), and
    // stops in front of the first row for which stop says so.
    template <class OpenTest, class StopTest>
    void openWhileWalking(int firstRow, OpenTest open, StopTest stop);
};

FolderRows& folderRows();

}  // namespace tandex::engine
