#include "engine/folder_rows.h"

#include "engine/editor.h"
#include "engine/main_window_services.h"
#include "engine/rows.h"
#include "engine/undo_stack.h"

#include "access/file_times.h"
#include "config/app_settings.h"
#include "config/num_format.h"

#include <algorithm>
#include <utility>

namespace tandex::engine {

namespace {

PaneStores& stores() { return paneStores(); }

// Width of the information text by InfoColumnFlags.
constexpr int kInfoColumnsWidths[8] = {2, 23, 23, 43, 8, 28, 28, 48};

bool isPresent(const TFolderEntry* e) { return !e->Empty && (e->Status == 0 || e->Status == 6); }

// The last component of a stored path: split on "/" behind the masked
// prefix, which stays whole when no separator follows it.
QString lastComponent(const TFolderEntry* e) {
    const qsizetype slash = e->Path.lastIndexOf(u'/');
    return slash < e->PathMaskLength ? e->Path : e->Path.mid(slash + 1);
}

}  // namespace

QString FolderStatusText(int status) {
    switch (status) {
    case 1: return QStringLiteral("  [Deleted]");
    case 2: return QStringLiteral("  [File not found]");
    case 3: return QStringLiteral("  [Path not found]");
    case 4: return QStringLiteral("  [File read error]");
    case 5: return QStringLiteral("  [File open error]");
    default: return {};
    }
}

FolderRows::FolderRows() { InitFolderRows(); }

void FolderRows::InitFolderRows() {
    FolderRowMap.clear();
    FolderRowMap.shrink_to_fit();
    FolderRowCount = 0;
    TreeViewActive = 1;
    FolderViewFilter = 0;
    FolderSelectionSide = 1;
    CloseSubfoldersToo = 0;
    InfoColumnFlags = 0;
    InfoColumnsWidth = kInfoColumnsWidths[0];
}

// ---- helpers ----------------------------------------------------------------

const TFolderEntry* FolderRows::treeEntry(int index) const {
    const auto& s = stores();
    const TFolderEntry* e = s.FolderEntries[1][index];
    return e->Empty ? s.FolderEntries[2][index] : e;
}

bool FolderRows::entryDiffers(int index) const {
    return stores().FolderEntries[1][index]->Differs || stores().FolderEntries[2][index]->Differs;
}

const TFolderEntry* FolderRows::rowEntry(int pane, int row) const {
    const int index = FolderRowEntry(row);
    if (!PaneStores::IsPane(pane) || index < 0) return EmptyFolderEntry();
    return stores().FolderEntries[size_t(pane)][index];
}

void FolderRows::setFolderState(int index, quint8 state) {
    for (int pane = 1; pane <= 2; ++pane) {
        TFolderEntry* e = stores().FolderEntries[size_t(pane)][index];
        if (!e->Empty) e->FolderState = state;
    }
}

void FolderRows::markNextSibling(int index) {
    if (!stores().FolderMode) return;
    for (int pane = 1; pane <= 2; ++pane) {
        TFolderEntry* e = stores().FolderEntries[size_t(pane)][index];
        if (!e->Empty) e->HasNextSibling = 1;
    }
}

void FolderRows::setRowCount(int count) {
    FolderRowMap.resize(size_t(count));
    FolderRowCount = count;
}

// ---- rows and tree ------------------------------------------------------------

void FolderRows::RebuildFolderRows() {
    auto& s = stores();
    TreeViewActive = config::AppSettings().FCTreeView ? 1 : 0;
    FolderRowMap.clear();
    s.FolderCount = 0;
    for (int i = 0; i < s.FolderEntryCount; ++i) {
        for (int pane = 1; pane <= 2; ++pane) {
            TFolderEntry* e = s.FolderEntries[size_t(pane)][i];
            if (!e->Empty) e->HasNextSibling = 0;
        }
        const bool folder = isFolder(i);
        if (folder) {
            ++s.FolderCount;
            if (treeEntry(i)->FolderState == 2) setFolderState(i, 1);
        }
        if (!PassesFolderViewFilter(i)) continue;
        if (TreeViewActive ? depthOf(i) == 0 : !folder) FolderRowMap.push_back(i);
    }
    FolderRowCount = int(FolderRowMap.size());
    rows().UpdateLineNumberWidth(true);
    mainWindow().enableFolderMenus();
}

bool FolderRows::PassesFolderViewFilter(int entry) const {
    const auto& s = stores();
    const int s1 = s.FolderEntries[1][entry]->Status;
    const int s2 = s.FolderEntries[2][entry]->Status;
    const bool differs = entryDiffers(entry);
    switch (FolderViewFilter) {
    case 1: return !(differs && !isFolder(entry)) && s1 != 3 && s2 != 3;
    case 2: return differs;
    case 3: return differs && s1 == s2;
    case 4: return differs && (s1 == 6 || s1 != s2);
    case 5: return !differs || s1 != 0 || s2 != 0;
    case 6: return s1 == s2;
    default: return true;
    }
}

void FolderRows::InsertFolderRow(int entry, int& position, int& count) {
    if (FolderRowCount >= kRowSlots) return;
    const int at = std::clamp(position + 1, 0, FolderRowCount);
    if (at > 0) {
        const int before = FolderRowMap[size_t(at - 1)];
        if (depthOf(before) == depthOf(entry)) markNextSibling(before);
    }
    FolderRowMap.insert(FolderRowMap.begin() + at, entry);
    ++FolderRowCount;
    position = at;
    ++count;
}

void FolderRows::DeleteFolderRow(int& position, int& count) {
    if (position < 0 || position >= FolderRowCount) return;
    FolderRowMap.erase(FolderRowMap.begin() + position);
    --FolderRowCount;
    --count;
}

void FolderRows::collectOpenedRows(int folder, int depth, int before, std::vector<int>& out) {
    const int entryCount = stores().FolderEntryCount;
    setFolderState(folder, 2);
    // The depths of the walks in progress: an open folder among the rows
    // shows its own children right behind it, one level deeper.
    std::vector<int> levels{depth};
    int j = folder + 1;
    while (!levels.empty()) {
        const int level = levels.back();
        if (j >= entryCount || depthOf(j) < level) {
            levels.pop_back();
            continue;
        }
        if (depthOf(j) == level && PassesFolderViewFilter(j)) {
            if (before >= 0 && depthOf(before) == level) markNextSibling(before);
            out.push_back(j);
            before = j;
            if (treeEntry(j)->FolderState == 2) levels.push_back(level + 1);
        }
        ++j;
    }
}

void FolderRows::OpenFolderRows(int entry, int depth, int& position, int& count) {
    if (entry < 0 || entry >= stores().FolderEntryCount) return;
    const int at = std::clamp(position + 1, 0, FolderRowCount);
    std::vector<int> opened;
    collectOpenedRows(entry, depth, at > 0 ? FolderRowMap[size_t(at - 1)] : -1, opened);
    const int room = kRowSlots - FolderRowCount;
    if (int(opened.size()) > room) opened.resize(size_t(std::max(0, room)));
    FolderRowMap.insert(FolderRowMap.begin() + at, opened.begin(), opened.end());
    FolderRowCount += int(opened.size());
    position = at - 1 + int(opened.size());
    count += int(opened.size());
}

void FolderRows::CloseFolderRows(int entry, int depth, int& position, int& count) {
    if (entry < 0) return;
    setFolderState(entry, 1);
    const int first = std::max(0, position + 1);
    int end = first;
    for (; end < FolderRowCount; ++end) {
        const int e = FolderRowMap[size_t(end)];
        if (depthOf(e) < depth) break;
        if (CloseSubfoldersToo && treeEntry(e)->FolderState == 2) setFolderState(e, 1);
    }
    if (end <= first) return;
    FolderRowMap.erase(FolderRowMap.begin() + first, FolderRowMap.begin() + end);
    FolderRowCount -= end - first;
    count -= end - first;
}

int FolderRows::ToggleFolderRow(int row) {
    const int entry = FolderRowEntry(row);
    if (entry < 0) return 0;
    int position = row;
    int count = 0;
    const int state = treeEntry(entry)->FolderState;
    if (state == 1)
        OpenFolderRows(entry, depthOf(entry) + 1, position, count);
    else if (state == 2)
        CloseFolderRows(entry, depthOf(entry) + 1, position, count);
    return count;
}

template <class OpenTest, class StopTest>
void FolderRows::openWhileWalking(int firstRow, OpenTest open, StopTest stop) {
    if (firstRow < 0 || firstRow >= FolderRowCount) return;
    // Row by row, opening a folder inserts its rows right behind it, where
    // the walk meets them next. Here they wait on a stack instead, and the
    // map is written once.
    std::vector<int> rowsOut(FolderRowMap.begin(), FolderRowMap.begin() + firstRow);
    rowsOut.reserve(FolderRowMap.size());
    std::vector<int> pending;  // inserted rows not walked yet, the next one last
    std::vector<int> opened;
    size_t next = size_t(firstRow);
    for (;;) {
        int entry;
        if (!pending.empty())
            entry = pending.back();
        else if (next < FolderRowMap.size())
            entry = FolderRowMap[next];
        else
            break;
        if (stop(entry)) break;
        if (!pending.empty())
            pending.pop_back();
        else
            ++next;
        rowsOut.push_back(entry);
        if (treeEntry(entry)->FolderState != 1 || !open(entry)) continue;
        opened.clear();
        collectOpenedRows(entry, depthOf(entry) + 1, entry, opened);
        pending.insert(pending.end(), opened.rbegin(), opened.rend());
    }
    rowsOut.insert(rowsOut.end(), pending.rbegin(), pending.rend());
    rowsOut.insert(rowsOut.end(), FolderRowMap.begin() + qsizetype(next), FolderRowMap.end());
    if (rowsOut.size() > size_t(kRowSlots)) rowsOut.resize(size_t(kRowSlots));
    FolderRowMap.swap(rowsOut);
    FolderRowCount = int(FolderRowMap.size());
}

void FolderRows::CloseAllFolders() {
    // Closing from the last row up closes every open folder row, the inner
    // ones before the rows around them go; one pass gives the same.
    size_t out = 0;
    int closingDepth = 0;
    bool closing = false;
    for (size_t r = 0; r < size_t(FolderRowCount); ++r) {
        const int entry = FolderRowMap[r];
        const int depth = depthOf(entry);
        const bool open = treeEntry(entry)->FolderState == 2;
        if (closing && depth > closingDepth) {
            if (open) setFolderState(entry, 1);
            continue;
        }
        closing = open;
        if (open) {
            setFolderState(entry, 1);
            closingDepth = depth;
        }
        FolderRowMap[out++] = entry;
    }
    setRowCount(int(out));
}

void FolderRows::CloseFolderTree(int row) {
    const int entry = FolderRowEntry(row);
    if (entry < 0 || treeEntry(entry)->FolderState != 2) return;
    CloseSubfoldersToo = 1;
    ToggleFolderRow(row);
    CloseSubfoldersToo = 0;
}

void FolderRows::OpenAllFolders() {
    openWhileWalking(0, [](int) { return true; }, [](int) { return false; });
}

void FolderRows::OpenFolderTree(int row) {
    const int entry = FolderRowEntry(row);
    if (entry < 0 || !isFolder(entry)) return;
    const int depth = depthOf(entry);
    openWhileWalking(
        row, [](int) { return true; },
        [this, entry, depth](int e) { return e != entry && depthOf(e) <= depth; });
}

void FolderRows::OpenDifferentFolders() {
    openWhileWalking(0, [this](int e) { return entryDiffers(e); }, [](int) { return false; });
}

void FolderRows::OpenFoldersToSelection() {
    openWhileWalking(0, [](int) { return true; }, [this](int e) { return IsFolderEntrySelected(e); });
}

void FolderRows::SelectFolderTree(int pane, int row) {
    const int entry = FolderRowEntry(row);
    if (!PaneStores::IsPane(pane) || entry < 0) return;
    OpenFolderTree(row);
    const int depth = depthOf(entry);
    for (int r = row; r < FolderRowCount; ++r) {
        const int e = FolderRowMap[size_t(r)];
        if (r > row && depthOf(e) <= depth) break;
        SetFolderEntrySelected(pane, e, !isFolder(e));
    }
}

int FolderRows::PrevFileBeforeRow(int row, QString& path) const {
    path.clear();
    const int entry = FolderRowEntry(row);
    for (int i = entry - 1; i >= 0; --i) {
        if (isFolder(i)) continue;
        path = treeEntry(i)->Path;
        return i;
    }
    return -1;
}

int FolderRows::NextFileFromRow(int row, QString& path) {
    path.clear();
    if (row < -1) return -1;
    for (int r = row + 1; r < FolderRowCount; ++r) {
        const int entry = FolderRowMap[size_t(r)];
        const TFolderEntry* e = treeEntry(entry);
        if (e->FolderState == 1) ToggleFolderRow(r);
        if (e->FolderState != 0) continue;
        path = e->Path;
        return r;
    }
    return -1;
}

int FolderRows::FolderRowEntry(int row) const {
    return row >= 0 && row < FolderRowCount ? FolderRowMap[size_t(row)] : -1;
}

int FolderRows::FolderRowState(int row) const {
    const int entry = FolderRowEntry(row);
    return entry < 0 ? 0 : treeEntry(entry)->FolderState;
}

int FolderRows::RowFolderState(int row) const { return stores().FolderMode ? FolderRowState(row) : 0; }

int FolderRows::RowFolderDepth(int row) const {
    const int entry = FolderRowEntry(row);
    return stores().FolderMode && entry >= 0 ? depthOf(entry) : 0;
}

int FolderRows::FolderEntryParent(int pane, int entry) const {
    if (!stores().FolderMode || !PaneStores::IsPane(pane)) return -1;
    return stores().FolderEntries[size_t(pane)][entry]->Parent;
}

// ---- differs and results ------------------------------------------------------

int FolderRows::SetFolderEntryDiffers(int entry, bool value) {
    auto& s = stores();
    if (entry < 0 || entry >= s.FolderEntryCount) return -1;
    for (int pane = 1; pane <= 2; ++pane) {
        TFolderEntry* e = s.FolderEntries[size_t(pane)][entry];
        if (!e->Empty) e->Differs = value;
    }
    const int parent = treeEntry(entry)->Parent;
    if (parent < 0 || parent >= entry) return parent;
    if (value) {
        // Ancestors above a differing one differ already.
        if (!entryDiffers(parent)) SetFolderEntryDiffers(parent, true);
        return parent;
    }
    const int depth = depthOf(parent);
    for (int j = parent + 1; j < s.FolderEntryCount && depthOf(j) > depth; ++j)
        if (entryDiffers(j)) return parent;
    if (entryDiffers(parent)) SetFolderEntryDiffers(parent, false);
    return parent;
}

void FolderRows::SetFolderRowDiffers(int row, bool value) {
    const int entry = FolderRowEntry(row);
    if (entry >= 0) SetFolderEntryDiffers(entry, value);
}

bool FolderRows::FolderRowDiffers(int row) const {
    const int entry = FolderRowEntry(row);
    return entry >= 0 && entryDiffers(entry);
}

int FolderRows::FolderEntryResult(int entry) const {
    if (entry < 0 || entry >= stores().FolderEntryCount) return 0;
    return treeEntry(entry)->Result;
}

void FolderRows::SetFolderEntryResult(int entry, quint8 value) {
    if (entry < 0) return;
    for (int pane = 1; pane <= 2; ++pane) {
        TFolderEntry* e = stores().FolderEntries[size_t(pane)][entry];
        if (!e->Empty) e->Result = value;
    }
}

// ---- selection ----------------------------------------------------------------

void FolderRows::SetFolderEntrySelected(int pane, int entry, bool value) {
    if (!PaneStores::IsPane(pane) || entry < 0 || entry >= kRowSlots) return;
    auto& selection = rows().FolderSelection;
    if (pane != FolderSelectionSide) {
        // Only one pane holds a selection; unselecting on the other is moot.
        if (!value) return;
        ClearFolderSelection();
        FolderSelectionSide = pane;
    }
    if (size_t(entry) >= selection.size()) {
        if (!value) return;
        selection.resize(size_t(entry) + 1, 0);
    }
    selection[size_t(entry)] = value ? 1 : 0;
}

void FolderRows::SetFolderRowSelected(int pane, int row, bool value) {
    const int entry = FolderRowEntry(row);
    if (entry >= 0) SetFolderEntrySelected(pane, entry, value);
}

bool FolderRows::IsFolderEntrySelected(int entry) const {
    const auto& selection = rows().FolderSelection;
    return entry >= 0 && size_t(entry) < selection.size() && selection[size_t(entry)];
}

bool FolderRows::IsFolderRowSelected(int row) const { return IsFolderEntrySelected(FolderRowEntry(row)); }

void FolderRows::UnselectFolders(int pane) {
    if (!PaneStores::IsPane(pane)) return;
    auto& selection = rows().FolderSelection;
    const int count = std::min<int>(int(selection.size()), stores().FolderEntryCount);
    for (int i = 0; i < count; ++i)
        if (selection[size_t(i)] && isFolder(i)) selection[size_t(i)] = 0;
}

void FolderRows::ClearFolderSelection() {
    rows().FolderSelection.clear();
    rows().FolderSelection.shrink_to_fit();
}

void FolderRows::SelectAllFolderEntries(int pane) {
    if (!PaneStores::IsPane(pane)) return;
    if (TreeViewActive) OpenAllFolders();
    FolderSelectionSide = pane;
    rows().FolderSelection.assign(size_t(std::clamp(stores().FolderEntryCount, 0, kRowSlots)), 1);
}

int FolderRows::SelectedFolderEntryCount(bool filesOnly) const {
    const auto& selection = rows().FolderSelection;
    const int count = std::min<int>(int(selection.size()), stores().FolderEntryCount);
    int selected = 0;
    for (int i = 0; i < count; ++i)
        if (selection[size_t(i)] && !(filesOnly && isFolder(i))) ++selected;
    return selected;
}

int FolderRows::FirstSelectedFolderRow() const {
    for (int row = 0; row < FolderRowCount; ++row)
        if (IsFolderEntrySelected(FolderRowMap[size_t(row)])) return row;
    return kNoSelectedRow;
}

int FolderRows::FolderRowSelectionKind(int pane, int row) const {
    if (pane != FolderSelectionSide || !IsFolderRowSelected(row)) return 0;
    return isFolder(FolderRowMap[size_t(row)]) ? 2 : 1;
}

// ---- row values ---------------------------------------------------------------

int FolderRows::FolderRowStatus(int pane, int row) const {
    if (!stores().FolderMode) return 0;
    return rowEntry(pane, row)->Status;
}

TFileTime FolderRows::RowFileTime(int pane, int row) const {
    if (!PaneStores::IsPane(pane)) return 0;
    if (!stores().FolderMode) return stores().FileTimes[size_t(pane)];
    return rowEntry(pane, row)->Time;
}

qint64 FolderRows::FolderRowSize(int pane, int row) const {
    if (!stores().FolderMode) return -1;
    const TFolderEntry* e = rowEntry(pane, row);
    if (e->Empty) return -1;
    return e->FolderState != 0 ? FolderTreeSize(pane, FolderRowMap[size_t(row)]) : e->Size;
}

qint64 FolderRows::FolderTreeSize(int pane, int entry) const {
    const auto& s = stores();
    if (!PaneStores::IsPane(pane) || entry < 0 || entry >= s.FolderEntryCount) return 0;
    const auto& entries = s.FolderEntries[size_t(pane)];
    const int depth = depthOf(entry);
    qint64 sum = 0;
    for (int j = entry + 1; j < s.FolderEntryCount && depthOf(j) > depth; ++j) {
        const TFolderEntry* e = entries[j];
        if (!e->Empty && e->Status == 0 && e->FolderState == 0) sum += e->Size;
    }
    return sum;
}

QString FolderRows::FolderRowSizeText(int pane, int row) const {
    if (!stores().FolderMode || !isPresent(rowEntry(pane, row))) return {};
    return config::Int64ToGroupedStr(FolderRowSize(pane, row), 14, true);
}

qint64 FolderRows::FolderRowAttributes(int pane, int row) const {
    const TFolderEntry* e = rowEntry(pane, row);
    return isPresent(e) ? qint64(e->Attributes) : -1;
}

int FolderRows::NewerSide(int row) const {
    const auto& s = stores();
    const TFileTime t1 = s.FolderMode ? rowEntry(1, row)->Time : s.FileTimes[1];
    const TFileTime t2 = s.FolderMode ? rowEntry(2, row)->Time : s.FileTimes[2];
    return t2 > t1 ? 2 : 1;
}

bool FolderRows::RenameFolderEntry(int pane, int row, const QString& name) {
    const int entry = FolderRowEntry(row);
    if (!PaneStores::IsPane(pane) || entry < 0 || name.isEmpty() || name.contains(u'/')) return false;
    TFolderEntry* e = stores().FolderEntries[size_t(pane)][entry];
    if (e->Empty) return false;
    // "\" and ":" are ordinary name characters: only "/" ends the folder part.
    e->Path = e->Path.left(e->Path.lastIndexOf(u'/') + 1) + name;
    if (e->FolderState == 0) e->PathLength = int(e->Path.size());
    return true;
}

// ---- texts --------------------------------------------------------------------

void FolderRows::UpdateInfoColumns() {
    const auto& s = config::AppSettings();
    InfoColumnFlags = quint8((s.FCShowSize ? 1 : 0) | (s.FCShowDT ? 2 : 0) | (s.FCShowAttr ? 4 : 0));
    InfoColumnsWidth = kInfoColumnsWidths[InfoColumnFlags];
}

QString FolderRows::FolderEntryInfoText(int pane, int entry) const {
    if (!PaneStores::IsPane(pane) || entry < 0) return {};
    const TFolderEntry* e = stores().FolderEntries[size_t(pane)][entry];
    if (e->Empty) return {};
    const QString status = FolderStatusText(e->Status);
    if (!status.isEmpty()) return (status + QStringLiteral("  ")).leftJustified(InfoColumnsWidth - 1, u' ');
    const int flags = InfoColumnFlags & 7;
    if (flags == 0) return QStringLiteral(" ");
    QString text;
    if (flags & 1) text += config::Int64ToGroupedStr(e->Size, 14, true);
    if (flags & 2) text += u' ' + access::FZFileTimeText(e->Time);
    if (flags & 4) text += access::FZAttrText(e->Attributes);
    return text + QStringLiteral("  ");
}

QString FolderRows::FolderRowText(int pane, int row) const {
    const TFolderEntry* e = rowEntry(pane, row);
    if (e->Empty) return {};
    if (TreeViewActive) return lastComponent(e) + FolderStatusText(e->Status);
    return FolderEntryInfoText(pane, FolderRowMap[size_t(row)]) + e->Path;
}

QString FolderRows::FolderRowPath(int pane, int row) const { return rowEntry(pane, row)->Path; }

QString FolderRows::FolderEntryPath(int pane, int entry) const {
    if (!PaneStores::IsPane(pane)) return {};
    return stores().FolderEntries[size_t(pane)][entry]->Path;
}

// ---- swapping the panes -------------------------------------------------------

void FolderRows::SwapFileSides(bool withLines) {
    auto& s = stores();
    const auto swapSides = [](auto& perPane) { std::swap(perPane[1], perPane[2]); };
    swapSides(s.FilePaths);
    swapSides(s.FileNames);
    swapSides(s.FileSizes);
    swapSides(s.FileTimes);
    swapSides(s.SideAccessKinds);
    // The error, the kept access slot and the line ends belong to the file
    // and go with it.
    swapSides(s.FileErrors);
    swapSides(s.SideSlots);
    swapSides(s.LineEndings);
    // A converted file keeps its converter and the text kind it was read
    // with: a save after the swap must write the text as it came.
    swapSides(s.PlugInIndex);
    swapSides(s.ConvertedKinds);
    undoStack().SwapStacks();
    if (withLines) {
        if (s.BinaryMode)
            s.BinaryLines[1].swap(s.BinaryLines[2]);
        else
            s.TextLines[1].swap(s.TextLines[2]);
        swapSides(s.LineCount);
        swapSides(s.FileKinds);
        rows().ActiveSelectionSide() = PaneStores::OtherSide(rows().ActiveSelectionSide());
    }
    editor().SwapEditorSides();
}

void FolderRows::SwapFolderSides() {
    auto& s = stores();
    std::swap(s.FolderRoots[1], s.FolderRoots[2]);
    std::swap(s.FolderTotalSizes[1], s.FolderTotalSizes[2]);
    s.FolderEntries[1].swap(s.FolderEntries[2]);
    FolderSelectionSide = PaneStores::OtherSide(FolderSelectionSide);
    std::swap(s.SideAccessKinds[1], s.SideAccessKinds[2]);
}

FolderRows& folderRows() {
    static FolderRows state;
    return state;
}

}  // namespace tandex::engine
