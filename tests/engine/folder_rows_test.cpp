#include "engine/folder_rows.h"

#include "engine/editor.h"
#include "engine/main_window_services.h"
#include "engine/rows.h"
#include "engine/undo_stack.h"

#include "access/file_times.h"
#include "folder_fixture.h"
#include "pane_fixture.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>

using namespace tandex::engine;
using namespace tandex::engine::testing;
using tandex::config::AppSettings;

namespace {

// Entries of the small tree, by index.
enum : int { A, a1, B, b1, C, c1, c2, b2, a2, D, d1, top, kTreeSize };

class FolderRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetEngineState();
        // A/ a1 B/ b1 C/ c1 c2 b2 a2 D/ d1 top; a2 is missing on the left.
        addFolder(A, 0, "A");
        addFile(a1, "A/a1.txt", 1);
        addFolder(B, 1, "A/B");
        addFile(b1, "A/B/b1.txt", 10);
        addFolder(C, 2, "A/B/C");
        addFile(c1, "A/B/C/c1.txt", 100);
        addFile(c2, "A/B/C/c2.txt", 1000);
        addFile(b2, "A/B/b2.txt", 10000);
        addFile(a2, "A/a2.txt", 5);
        s.SetFolderEntryStatus(a2, 2, "A/a2.txt", s.FolderEntries[1]);
        entryAt(1, a2)->Size = 5;  // a missing file's size never counts
        addFolder(D, 0, "D");
        addFile(d1, "D/d1.txt", 7);
        addFile(top, "top.txt", 3);
        showFolders();
    }
    bool differs(int entry) { return entryAt(1, entry)->Differs && entryAt(2, entry)->Differs; }
    PaneStores& s = paneStores();
    FolderRows& f = folderRows();
    Rows& r = rows();
};

TEST_F(FolderRowsTest, DiffersMarksAreCarriedUpAndClearedOnlyWhenNothingBelowDiffers) {
    struct Step {
        int entry;
        bool value;
        std::vector<int> differing;
    } steps[] = {
        {c1, true, {A, B, C, c1}},
        {c2, true, {A, B, C, c1, c2}},
        {c1, false, {A, B, C, c2}},
        {c2, false, {}},
        {a1, true, {A, a1}},
        {c1, true, {A, a1, B, C, c1}},
        {c1, false, {A, a1}},
        {a1, false, {}},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(f.SetFolderEntryDiffers(step.entry, step.value), entryAt(1, step.entry)->Parent);
        for (int e = 0; e < kTreeSize; ++e) {
            const bool expected =
                std::find(step.differing.begin(), step.differing.end(), e) != step.differing.end();
            EXPECT_EQ(differs(e), expected) << "entry " << e << " after " << step.entry << "=" << step.value;
        }
    }
}

TEST_F(FolderRowsTest, TreeOpensAndClosesFolderByFolder) {
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, top}));
    EXPECT_EQ(s.FolderCount, 4);
    EXPECT_EQ(f.ToggleFolderRow(0), 3);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, a1, B, a2, D, top}));
    EXPECT_EQ(f.ToggleFolderRow(rowOfEntry(B)), 3);
    // Closing A keeps B open: opening A again shows B's children too.
    EXPECT_EQ(f.ToggleFolderRow(0), -6);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, top}));
    EXPECT_EQ(entryAt(2, B)->FolderState, 2);
    EXPECT_EQ(f.ToggleFolderRow(0), 6);
    const std::vector<int> withB{A, a1, B, b1, C, b2, a2, D, top};
    EXPECT_EQ(visibleEntries(), withB);
    // Closing the tree closes B as well.
    f.CloseFolderTree(0);
    EXPECT_EQ(entryAt(1, B)->FolderState, 1);
    f.ToggleFolderRow(0);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, a1, B, a2, D, top}));
    EXPECT_EQ(f.ToggleFolderRow(rowOfEntry(a1)), 0);

    // Siblings inserted one after another mark the earlier one.
    EXPECT_EQ(entryAt(1, a1)->HasNextSibling, 1);
    EXPECT_EQ(entryAt(2, B)->HasNextSibling, 1);
    EXPECT_EQ(entryAt(1, a2)->HasNextSibling, 0);
    EXPECT_EQ(entryAt(1, A)->HasNextSibling, 0);

    f.OpenAllFolders();
    EXPECT_EQ(f.FolderRowCount, kTreeSize);
    f.CloseAllFolders();
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, top}));
    for (int e : {A, B, C, D}) EXPECT_EQ(entryAt(1, e)->FolderState, 1) << e;

    f.SetFolderEntryDiffers(b1, true);
    f.OpenDifferentFolders();
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, a1, B, b1, C, b2, a2, D, top}));
    f.OpenFolderTree(0);
    EXPECT_EQ(f.FolderRowCount, kTreeSize - 1);  // D stays closed

    // The rebuild closes every folder and clears the sibling marks.
    f.RebuildFolderRows();
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, top}));
    EXPECT_EQ(entryAt(1, a1)->HasNextSibling, 0);
    EXPECT_EQ(entryAt(1, C)->FolderState, 1);

    showFolders(false);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{a1, b1, c1, c2, b2, a2, d1, top}));
}

TEST_F(FolderRowsTest, SizesSumOnlyThePresentFilesBelow) {
    f.OpenAllFolders();
    EXPECT_EQ(f.FolderRowSize(1, rowOfEntry(A)), 11111);
    EXPECT_EQ(f.FolderRowSize(2, rowOfEntry(A)), 11116);
    EXPECT_EQ(f.FolderRowSize(1, rowOfEntry(B)), 11110);
    EXPECT_EQ(f.FolderRowSize(1, rowOfEntry(top)), 3);
    EXPECT_EQ(f.FolderRowSize(1, kTreeSize), -1);
    EXPECT_EQ(f.FolderRowSize(3, 0), -1);
    EXPECT_EQ(f.FolderRowSizeText(1, rowOfEntry(B)), "        11.110");
    EXPECT_EQ(f.FolderRowSizeText(1, rowOfEntry(a2)), "");
    EXPECT_EQ(f.FolderRowAttributes(1, rowOfEntry(a2)), -1);
    EXPECT_EQ(f.FolderRowAttributes(2, rowOfEntry(a2)), 0x20);
    s.FolderMode = 0;
    EXPECT_EQ(f.FolderRowSize(1, 0), -1);
    EXPECT_EQ(f.FolderRowSizeText(1, 0), "");
}

TEST_F(FolderRowsTest, ViewKindsOverDiffersAndStatus) {
    resetEngineState();
    struct Entry {
        bool differs, folder;
        quint8 s1, s2;
    } entries[] = {
        {false, false, 0, 0}, {true, false, 0, 0}, {true, false, 0, 2}, {true, true, 6, 6},
        {false, true, 3, 6},  {true, true, 6, 3},  {false, true, 6, 6},
    };
    for (int i = 0; i < 7; ++i) {
        for (int pane = 1; pane <= 2; ++pane) {
            TFolderEntry* e = s.FolderEntries[size_t(pane)].New(i);
            e->Differs = entries[i].differs;
            e->FolderState = entries[i].folder ? 1 : 0;
            e->Status = pane == 1 ? entries[i].s1 : entries[i].s2;
        }
    }
    s.FolderEntryCount = 7;
    const std::vector<int> expected[] = {
        {0, 1, 2, 3, 4, 5, 6}, {0, 3, 6}, {1, 2, 3, 5}, {1, 3}, {2, 3, 5}, {0, 2, 3, 4, 5, 6}, {0, 1, 3, 6},
    };
    for (int kind = 0; kind <= 6; ++kind) {
        f.FolderViewFilter = kind;
        showFolders();
        EXPECT_EQ(visibleEntries(), expected[kind]) << "kind " << kind;
    }
    // Kind 1 shows no differences at all.
    f.FolderViewFilter = 1;
    showFolders();
    EXPECT_FALSE(r.RowDiffers(1));
    f.FolderViewFilter = 0;
    showFolders();
    EXPECT_TRUE(r.RowDiffers(1));
}

TEST_F(FolderRowsTest, StatusTextsAndInformationColumns) {
    const char* texts[] = {"", "  [Deleted]", "  [File not found]", "  [Path not found]", "  [File read error]",
                           "  [File open error]", "", ""};
    for (int status = 0; status <= 7; ++status) EXPECT_EQ(FolderStatusText(status), texts[status]) << status;

    auto& st = AppSettings();
    const int widths[] = {2, 23, 23, 43, 8, 28, 28, 48};
    for (int flags = 0; flags <= 7; ++flags) {
        st.FCShowSize = flags & 1;
        st.FCShowDT = flags & 2;
        st.FCShowAttr = flags & 4;
        f.UpdateInfoColumns();
        EXPECT_EQ(f.InfoColumnFlags, flags);
        EXPECT_EQ(f.InfoColumnsWidth, widths[flags]) << flags;
    }

    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "UTC");
    ::tzset();
    tandex::access::FZSetDateFormat(0);
    st.FCShowAttr = false;
    f.UpdateInfoColumns();
    EXPECT_EQ(f.FolderEntryInfoText(1, b2), "        10.000 05.12.2011 09:07:03  ");
    // A missing entry shows its status text, padded to the column width.
    EXPECT_EQ(f.FolderEntryInfoText(1, a2), QString("  [File not found]  ").leftJustified(42));
    st.FCShowAttr = true;
    f.UpdateInfoColumns();
    EXPECT_EQ(f.FolderEntryInfoText(2, a2), "             5 05.12.2011 09:07:03 a---  ");
    st.FCShowSize = st.FCShowDT = st.FCShowAttr = false;
    f.UpdateInfoColumns();
    EXPECT_EQ(f.FolderEntryInfoText(1, b2), " ");
    EXPECT_EQ(f.FolderEntryInfoText(3, b2), "");

    // Row texts: the tree view shows the name and status text, the flat
    // view the information text and the path.
    f.OpenAllFolders();
    EXPECT_EQ(r.RowText(1, rowOfEntry(c1)), "c1.txt");
    EXPECT_EQ(r.RowText(1, rowOfEntry(C)), "C");
    EXPECT_EQ(r.RowText(1, rowOfEntry(a2)), "a2.txt  [File not found]");
    EXPECT_EQ(r.RowText(2, rowOfEntry(a2)), "a2.txt");
    EXPECT_EQ(r.RowPlainText(1, rowOfEntry(c1)), "A/B/C/c1.txt");
    EXPECT_EQ(r.RowText(1, kTreeSize), "");
    EXPECT_EQ(r.RowText(3, 0), "");
    st.FCShowSize = true;
    f.UpdateInfoColumns();
    showFolders(false);
    EXPECT_EQ(r.RowText(1, 0), "             1  A/a1.txt");
    if (savedZone.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
    ::tzset();
}

TEST_F(FolderRowsTest, RowQueriesInFolderMode) {
    f.OpenAllFolders();
    const int row = rowOfEntry(a2);
    EXPECT_EQ(s.VisibleRowCount(), kTreeSize);
    EXPECT_EQ(r.RowIndex(row), a2);
    EXPECT_EQ(r.RowIndex(kTreeSize), -1);
    EXPECT_TRUE(r.IsRowMissing(1, row));
    EXPECT_FALSE(r.IsRowMissing(2, row));
    EXPECT_FALSE(r.IsRowOnBothSides(row));
    EXPECT_TRUE(r.IsRowOnBothSides(rowOfEntry(C)));
    EXPECT_FALSE(r.IsRowOnBothSides(-1));
    EXPECT_EQ(r.RowResult(row), 2);
    EXPECT_EQ(r.RowResult(kTreeSize), 0);
    EXPECT_EQ(r.RowLineNumber(1, row), a2 + 1);
    EXPECT_EQ(r.RowLineNumber(1, -1), -1);
    EXPECT_EQ(r.RowTextLength(1, rowOfEntry(c1)), 12);
    EXPECT_EQ(r.RowTextLength(1, rowOfEntry(C)), 0);
    EXPECT_EQ(r.RowNumberText(1, 4), "  5");
    EXPECT_EQ(r.RowNumberText(1, kTreeSize), "");
    r.SetRowDiffers(rowOfEntry(c2), true);
    EXPECT_TRUE(r.RowDiffers(rowOfEntry(B)));
    EXPECT_FALSE(r.RowDiffers(rowOfEntry(D)));
    EXPECT_EQ(f.RowFolderDepth(rowOfEntry(c2)), 3);
    EXPECT_EQ(f.FolderEntryParent(2, c2), C);
    EXPECT_EQ(f.FolderEntryParent(3, c2), -1);

    // Equal times: the left side counts as the newer one.
    EXPECT_EQ(f.NewerSide(rowOfEntry(c1)), 1);
    entryAt(2, c1)->Time += 1;
    EXPECT_EQ(f.NewerSide(rowOfEntry(c1)), 2);
    EXPECT_EQ(f.RowFileTime(2, rowOfEntry(c1)), kFolderTime + 1);
    EXPECT_EQ(f.FolderRowStatus(1, row), 2);
    EXPECT_EQ(f.FolderRowStatus(3, row), 0);

    // Only "/" ends the folder part of a name.
    EXPECT_TRUE(f.RenameFolderEntry(1, rowOfEntry(c1), "x\\y:z.txt"));
    EXPECT_EQ(entryAt(1, c1)->Path, "A/B/C/x\\y:z.txt");
    EXPECT_EQ(entryAt(1, c1)->PathLength, 15);
    EXPECT_EQ(entryAt(2, c1)->Path, "A/B/C/c1.txt");
    EXPECT_FALSE(f.RenameFolderEntry(1, rowOfEntry(c1), "sub/name"));
    EXPECT_TRUE(f.RenameFolderEntry(2, rowOfEntry(top), "renamed"));
    EXPECT_EQ(entryAt(2, top)->Path, "renamed");

    // Folder rows set the line-number width.
    r.UpdateLineNumberWidth(true);
    EXPECT_EQ(r.LineNumberWidth, 3);
}

TEST_F(FolderRowsTest, SelectionBelongsToOnePane) {
    f.OpenAllFolders();
    r.SetRowSelection(1, rowOfEntry(c1), 0, true, 0);
    EXPECT_EQ(r.RowSelectionKind(1, rowOfEntry(c1)), 1);
    EXPECT_EQ(r.RowSelectionKind(2, rowOfEntry(c1)), 0);
    r.SetRowSelection(2, rowOfEntry(B), 0, true, 0);
    EXPECT_EQ(f.FolderSelectionSide, 2);
    EXPECT_FALSE(f.IsFolderRowSelected(rowOfEntry(c1)));
    EXPECT_EQ(r.RowSelectionKind(2, rowOfEntry(B)), 2);
    // Unselecting on the pane without the selection changes nothing.
    r.SetRowSelection(1, rowOfEntry(B), 0, false, 0);
    EXPECT_TRUE(f.IsFolderRowSelected(rowOfEntry(B)));
    f.UnselectFolders(2);
    EXPECT_EQ(r.SelectedCount(false), 0);
    EXPECT_EQ(r.FirstSelectedRow(), kNoSelectedRow);

    f.CloseAllFolders();
    f.SelectFolderTree(1, 0);
    EXPECT_EQ(f.FolderSelectionSide, 1);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, a1, B, b1, C, c1, c2, b2, a2, D, top}));
    for (int e = 0; e < kTreeSize; ++e) {
        const bool file = e == a1 || e == b1 || e == c1 || e == c2 || e == b2 || e == a2;
        EXPECT_EQ(f.IsFolderEntrySelected(e), file) << e;
    }
    EXPECT_EQ(r.SelectedCount(true), 6);
    EXPECT_EQ(r.FirstSelectedRow(), 1);

    // Opening to the selection stops in front of the first selected row.
    f.ClearFolderSelection();
    f.CloseAllFolders();
    f.SetFolderEntrySelected(1, b1, true);
    entryAt(1, C)->FolderState = entryAt(2, C)->FolderState = 1;
    f.OpenFoldersToSelection();
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, a1, B, b1, C, b2, a2, D, top}));

    // Selecting all in the tree view opens every folder first.
    f.CloseAllFolders();
    r.SelectAllRows(2);
    EXPECT_EQ(f.FolderRowCount, kTreeSize);
    EXPECT_EQ(f.FolderSelectionSide, 2);
    EXPECT_EQ(r.SelectedCount(false), kTreeSize);
    EXPECT_EQ(r.SelectedCount(true), 8);
    r.ClearSelection();
    EXPECT_EQ(r.SelectedCount(false), 0);
}

TEST_F(FolderRowsTest, NeighbouringFilesAcrossClosedFolders) {
    QString path;
    EXPECT_EQ(f.PrevFileBeforeRow(rowOfEntry(D), path), a2);
    EXPECT_EQ(path, "A/a2.txt");
    EXPECT_EQ(f.PrevFileBeforeRow(0, path), -1);
    EXPECT_EQ(path, "");
    EXPECT_EQ(f.NextFileFromRow(0, path), 2);
    EXPECT_EQ(path, "D/d1.txt");
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, d1, top}));
    EXPECT_EQ(f.NextFileFromRow(-1, path), 1);
    EXPECT_EQ(path, "A/a1.txt");
    EXPECT_EQ(f.NextFileFromRow(f.FolderRowCount - 1, path), -1);
    EXPECT_EQ(path, "");
}

TEST_F(FolderRowsTest, SwappingTwiceGivesBackTheState) {
    struct Menus : MainWindowServices {
        int calls = 0;
        void enableFolderMenus() override { ++calls; }
    } menus;
    setMainWindow(&menus);
    f.RebuildFolderRows();
    setMainWindow(nullptr);
    EXPECT_EQ(menus.calls, 1);

    s.FolderRoots = {"", "/left/", "/right/"};
    s.FolderTotalSizes = {0, 11, 22};
    s.SideAccessKinds = {0, 1, 3};
    f.SetFolderEntrySelected(2, b1, true);
    const TFolderEntry* left = entryAt(1, c1);
    f.SwapFolderSides();
    EXPECT_EQ(s.FolderRoots[1], "/right/");
    EXPECT_EQ(s.FolderTotalSizes[1], 22);
    EXPECT_EQ(entryAt(2, c1), left);
    EXPECT_EQ(f.FolderSelectionSide, 1);
    EXPECT_EQ(s.SideAccessKinds[1], 3);
    f.SwapFolderSides();
    EXPECT_EQ(s.FolderRoots[1], "/left/");
    EXPECT_EQ(s.FolderTotalSizes[2], 22);
    EXPECT_EQ(entryAt(1, c1), left);
    EXPECT_EQ(f.FolderSelectionSide, 2);
    EXPECT_EQ(s.SideAccessKinds[2], 3);

    s.FolderMode = 0;
    loadPanes({"one", "two"}, {"one", "three", "four"});
    s.FileNames = {"", "l.txt", "r.txt"};
    s.FilePaths = {"", "/l/", "/r/"};
    s.FileSizes = {0, 1, 2};
    s.FileTimes = {0, 3, 4};
    s.FileKinds = {0, 5, 8};
    s.FileErrors = {0, 0, 32};
    s.PlugInIndex = {-1, 3, -1};
    s.ConvertedKinds = {0, 7, 0};
    undoStack().PushUndo(ukTyped, 1, 1, "x", 1);
    r.SetLineSelection(2, 0, 1, 0);
    editor().SetActiveSide(1);
    const TTextLine* line = s.TextLines[1][1];
    f.SwapFileSides(true);
    EXPECT_EQ(s.FileNames[1], "r.txt");
    EXPECT_EQ(s.FilePaths[2], "/l/");
    EXPECT_EQ(s.FileSizes[1], 2);
    EXPECT_EQ(s.FileTimes[2], 3u);
    EXPECT_EQ(s.FileKinds[1], 8);
    EXPECT_EQ(s.FileErrors[1], 32);
    // A converted file keeps its converter and the kind its text came in.
    EXPECT_EQ(s.PlugInIndex[2], 3);
    EXPECT_EQ(s.ConvertedKinds[2], 7);
    EXPECT_EQ(s.PlugInIndex[1], -1);
    EXPECT_EQ(s.LineCount[1], 3);
    EXPECT_EQ(s.TextLines[2][1], line);
    EXPECT_TRUE(undoStack().HasUndo(2));
    EXPECT_FALSE(undoStack().HasUndo(1));
    EXPECT_EQ(r.ActiveSelectionSide(), 1);
    EXPECT_EQ(editor().ActiveSide, 2);
    f.SwapFileSides(true);
    EXPECT_EQ(s.FileNames[1], "l.txt");
    EXPECT_EQ(s.FileKinds[2], 8);
    EXPECT_EQ(s.LineCount[1], 2);
    EXPECT_EQ(s.TextLines[1][1], line);
    EXPECT_TRUE(undoStack().HasUndo(1));
    EXPECT_EQ(r.ActiveSelectionSide(), 2);
    EXPECT_EQ(editor().ActiveSide, 1);
    // Without the lines only the file data goes over.
    f.SwapFileSides(false);
    EXPECT_EQ(s.FileNames[1], "r.txt");
    EXPECT_EQ(s.TextLines[1][1], line);
    EXPECT_EQ(s.FileKinds[1], 5);
}

TEST_F(FolderRowsTest, RowsOutsideTheMapGetNeutralAnswers) {
    for (int row : {-1, int(kTreeSize), 1 << 30}) {
        EXPECT_EQ(f.FolderRowEntry(row), -1);
        EXPECT_EQ(f.ToggleFolderRow(row), 0);
        EXPECT_EQ(f.FolderRowState(row), 0);
        EXPECT_FALSE(f.FolderRowDiffers(row));
        EXPECT_EQ(f.RowFileTime(1, row), 0u);
        EXPECT_EQ(f.FolderRowPath(1, row), "");
        EXPECT_EQ(r.RowSelectionKind(1, row), 0);
        EXPECT_EQ(r.RowPlainText(1, row), "");
        EXPECT_FALSE(r.IsRowMissing(1, row));
        f.SetFolderRowSelected(1, row, true);
        f.SelectFolderTree(1, row);
        f.OpenFolderTree(row);
        f.CloseFolderTree(row);
        r.SetRowDiffers(row, true);
    }
    EXPECT_EQ(f.SetFolderEntryDiffers(kTreeSize, true), -1);
    EXPECT_EQ(r.SelectedCount(false), 0);
    EXPECT_EQ(visibleEntries(), (std::vector<int>{A, D, top}));
    s.ClearFolderEntries();
    EXPECT_EQ(s.VisibleRowCount(), 0);
}

// ---- the row-by-row reference ------------------------------------------------

struct TreeState {
    std::vector<int> rows;
    std::vector<quint8> states, marks;
    bool operator==(const TreeState&) const = default;
};

TreeState capture() {
    TreeState t{visibleEntries(), {}, {}};
    for (int i = 0; i < paneStores().FolderEntryCount; ++i)
        for (int pane = 1; pane <= 2; ++pane) {
            t.states.push_back(entryAt(pane, i)->FolderState);
            t.marks.push_back(entryAt(pane, i)->HasNextSibling);
        }
    return t;
}

void restore(const TreeState& t) {
    auto& f = folderRows();
    f.FolderRowMap = t.rows;
    f.FolderRowCount = int(t.rows.size());
    size_t k = 0;
    for (int i = 0; i < paneStores().FolderEntryCount; ++i)
        for (int pane = 1; pane <= 2; ++pane, ++k) {
            entryAt(pane, i)->FolderState = t.states[k];
            entryAt(pane, i)->HasNextSibling = t.marks[k];
        }
}

// Opening and closing exactly as described, one row at a time.
struct Reference {
    FolderRows& f = folderRows();
    int depth(int e) { return entryAt(1, e)->Depth; }
    int state(int e) { return entryAt(1, e)->FolderState; }
    void setState(int e, quint8 v) { entryAt(1, e)->FolderState = entryAt(2, e)->FolderState = v; }
    int entryAtRow(int row) { return f.FolderRowMap[size_t(row)]; }

    void open(int entry, int d, int& position, int& count) {
        setState(entry, 2);
        for (int j = entry + 1; j < paneStores().FolderEntryCount && depth(j) >= d; ++j) {
            if (depth(j) != d || !f.PassesFolderViewFilter(j)) continue;
            f.InsertFolderRow(j, position, count);
            if (state(j) == 2) open(j, d + 1, position, count);
        }
    }
    void close(int entry, int d, int& position, int& count) {
        setState(entry, 1);
        while (position + 1 < f.FolderRowCount && depth(entryAtRow(position + 1)) >= d) {
            int next = position + 1;
            if (f.CloseSubfoldersToo && state(entryAtRow(next)) == 2) setState(entryAtRow(next), 1);
            f.DeleteFolderRow(next, count);
        }
    }
    void toggle(int row) {
        const int e = entryAtRow(row);
        int position = row, count = 0;
        if (state(e) == 1) open(e, depth(e) + 1, position, count);
        else if (state(e) == 2) close(e, depth(e) + 1, position, count);
    }
    template <class Test>
    void openWalking(int first, Test open, int end = -1) {
        const int top = depth(entryAtRow(first));
        for (int row = first; row < f.FolderRowCount; ++row) {
            const int e = entryAtRow(row);
            if (end >= 0 && row > first && depth(e) <= top) break;
            if (end == -2 && f.IsFolderEntrySelected(e)) break;
            if (state(e) == 1 && open(e)) toggle(row);
        }
    }
    void closeAll() {
        for (int row = f.FolderRowCount - 1; row >= 0; --row)
            if (state(entryAtRow(row)) == 2) toggle(row);
    }
};

// A random tree in tree order: about one entry in six a folder, up to six
// levels deep, with random status bytes and differences.
void buildRandomTree(std::mt19937& rng, int n) {
    auto& s = paneStores();
    std::vector<QString> folders;
    for (int i = 0; i < n; ++i) {
        while (!folders.empty() && rng() % 7 == 0) folders.pop_back();
        const int depth = int(folders.size());
        const bool folder = depth < 6 && rng() % 6 == 0;
        const QString name = QString(folder ? "d%1" : "f%1.txt").arg(i);
        const QString path = folders.empty() ? name : folders.back() + "/" + name;
        if (folder) {
            addFolder(i, depth, path);
            if (rng() % 10 == 0) s.SetFolderEntryFolder(depth, i, 0x10, s.FolderEntries[1 + rng() % 2], path, 0);
            folders.push_back(path);
        } else {
            addFile(i, path, qint64(rng() % 1000));
            if (rng() % 8 == 0) s.SetFolderEntryStatus(i, quint8(1 + rng() % 5), path, s.FolderEntries[1 + rng() % 2]);
        }
    }
    for (int i = 0; i < n; ++i)
        if (entryAt(1, i)->FolderState == 0 && rng() % 12 == 0) folderRows().SetFolderEntryDiffers(i, true);
}

TEST(FolderRowsRandom, BulkOperationsMatchTheRowByRowReference) {
    resetEngineState();
    std::mt19937 rng(20261210);
    buildRandomTree(rng, 3000);
    showFolders();
    auto& f = folderRows();
    Reference ref;
    const auto randomRow = [&] { return int(rng() % unsigned(std::max(1, f.FolderRowCount))); };
    for (int step = 0; step < 400; ++step) {
        const int op = int(rng() % 12);
        if (op == 0) {
            // Let the map go stale against the filter, as edits do.
            f.SetFolderEntryDiffers(int(rng() % 3000), rng() % 2);
            continue;
        }
        if (op == 1) {
            f.FolderViewFilter = int(rng() % 7);
            showFolders(rng() % 5 != 0);
            continue;
        }
        if (f.FolderRowCount == 0) continue;
        const int row = randomRow();
        const TreeState before = capture();
        if (op == 9) f.SetFolderEntrySelected(1, f.FolderRowMap[size_t(randomRow())], true);
        switch (op) {
        case 2: case 3: f.ToggleFolderRow(row); break;
        case 4: f.OpenAllFolders(); break;
        case 5: f.OpenDifferentFolders(); break;
        case 6: f.CloseAllFolders(); break;
        case 7: f.OpenFolderTree(row); break;
        case 8: f.CloseFolderTree(row); break;
        case 9: f.OpenFoldersToSelection(); break;
        default: f.ToggleFolderRow(row); break;
        }
        const TreeState fast = capture();
        restore(before);
        const auto opens = [](int) { return true; };
        switch (op) {
        case 2: case 3: ref.toggle(row); break;
        case 4: ref.openWalking(0, opens); break;
        case 5:
            ref.openWalking(0, [](int e) { return entryAt(1, e)->Differs || entryAt(2, e)->Differs; });
            break;
        case 6: ref.closeAll(); break;
        case 7:
            if (entryAt(1, f.FolderRowMap[size_t(row)])->FolderState != 0) ref.openWalking(row, opens, 0);
            break;
        case 8:
            if (entryAt(1, f.FolderRowMap[size_t(row)])->FolderState == 2) {
                f.CloseSubfoldersToo = 1;
                ref.toggle(row);
                f.CloseSubfoldersToo = 0;
            }
            break;
        case 9: ref.openWalking(0, opens, -2); break;
        default: ref.toggle(row); break;
        }
        const TreeState slow = capture();
        ASSERT_EQ(fast.rows, slow.rows) << "step " << step << " op " << op;
        ASSERT_EQ(fast.states, slow.states) << "step " << step << " op " << op;
        ASSERT_EQ(fast.marks, slow.marks) << "step " << step << " op " << op;
        if (op == 9) f.ClearFolderSelection();
    }
}

}  // namespace
