// The folder rows at the store's limit: every entry slot filled. Holds
// several hundred MB, so ctest runs it alone.

#include "engine/folder_rows.h"

#include "engine/rows.h"

#include "folder_fixture.h"
#include "pane_fixture.h"

#include <gtest/gtest.h>

using namespace tandex::engine;
using namespace tandex::engine::testing;

TEST(FolderRowsLimit, FullStoreFillsTheRowMapAndNoMore) {
    resetEngineState();
    auto& s = paneStores();
    auto& f = folderRows();
    auto& r = rows();
    // Only the left pane: the right one is all gaps.
    for (int i = 0; i < kLineSlots; ++i) s.FolderEntries[1].New(i)->RowNumber = i + 1;
    s.FolderEntryCount = kLineSlots;
    showFolders();

    const int last = kLineSlots - 1;
    ASSERT_EQ(f.FolderRowCount, kLineSlots);
    EXPECT_EQ(r.RowIndex(last), last);
    EXPECT_EQ(r.RowIndex(kLineSlots), -1);
    EXPECT_EQ(r.LineNumberWidth, 7);
    EXPECT_EQ(r.RowNumberText(1, last), "6000020");
    EXPECT_EQ(r.RowLineNumber(1, last), kLineSlots);
    EXPECT_TRUE(r.IsRowMissing(2, last));
    EXPECT_FALSE(r.IsRowOnBothSides(last));
    EXPECT_EQ(r.RowText(3, last), "");

    r.SelectAllRows(1);
    EXPECT_EQ(r.SelectedCount(true), kLineSlots);
    f.SetFolderEntrySelected(1, kRowSlots, true);
    EXPECT_EQ(r.FolderSelection.size(), size_t(kLineSlots));

    // The map holds one row more than there are entry slots, never two.
    int position = last, count = 0;
    f.InsertFolderRow(0, position, count);
    f.InsertFolderRow(0, position, count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(f.FolderRowCount, kRowSlots);
    EXPECT_EQ(r.RowIndex(kRowSlots - 1), 0);
    s.ClearFolderEntries();
}
