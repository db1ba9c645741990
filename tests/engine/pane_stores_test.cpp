#include "engine/pane_stores.h"

#include "engine/main_window_services.h"
#include "pane_fixture.h"

#include "access/access_slots.h"
#include "access/program_log.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tandex::engine;
using namespace tandex::engine::testing;

namespace {

class PaneStoresTest : public ::testing::Test {
protected:
    void SetUp() override { resetEngineState(); }
    PaneStores& s = paneStores();
};

TEST_F(PaneStoresTest, EverySlotReadsAsTheSharedEmptyRecordAfterStartUp) {
    for (int pane = 1; pane <= 2; ++pane) {
        for (int i : {0, 1, 5'999'999, kLineSlots - 1, kLineSlots, -1}) {
            EXPECT_EQ(s.TextLines[size_t(pane)][i], EmptyTextLine());
            EXPECT_EQ(s.BinaryLines[size_t(pane)][i], EmptyBinaryLine());
            EXPECT_EQ(s.FolderEntries[size_t(pane)][i], EmptyFolderEntry());
        }
        s.FreeTextLines(0, kLineSlots - 1, s.TextLines[size_t(pane)]);
        EXPECT_EQ(s.TextLines[size_t(pane)].StoredSize(), 0);
    }
    EXPECT_EQ(EmptyTextLine()->LineNumber, -1);
    EXPECT_EQ(EmptyTextLine()->Gap, 1);
    EXPECT_EQ(EmptyTextLine()->Differs, 1);
    EXPECT_EQ(EmptyBinaryLine()->Offset, -1);
    EXPECT_EQ(EmptyFolderEntry()->RowNumber, -1);
    EXPECT_EQ(EmptyFolderEntry()->Parent, -1);
    EXPECT_EQ(EmptyFolderEntry()->Depth, -1);
    EXPECT_EQ(EmptyFolderEntry()->Result, 2);
    EXPECT_EQ(s.FileSizes[1], -1);
    EXPECT_EQ(s.FolderTotalSizes[2], -1);
    EXPECT_EQ(s.SideSlots[1], kNoSlot);
    EXPECT_EQ(s.UndoEnabled, 1);
    EXPECT_EQ(s.LineFilterActive, 1);
}

TEST_F(PaneStoresTest, RemoveLineSlotsClosesTheGapAndLeavesEmptyTail) {
    PaneLines lines;
    for (int i = 0; i < 10; ++i) lines.push_back(QString::number(i));
    fillPane(1, lines);
    s.FreeTextLines(3, 4, s.TextLines[1]);
    s.RemoveLineSlots(s.TextLines[1], 3, 4, s.LineCount[1]);
    EXPECT_EQ(s.LineCount[1], 8);
    EXPECT_EQ(s.TextLines[1][3]->Text, "5");
    EXPECT_EQ(s.TextLines[1][7]->Text, "9");
    EXPECT_EQ(s.TextLines[1][8], EmptyTextLine());
    EXPECT_EQ(s.TextLines[1][9], EmptyTextLine());
}

TEST_F(PaneStoresTest, InsertedSlotsDropRecordsPushedPastTheLimit) {
    fillPane(1, {"a", "b", "c", "d"});
    s.TextLines[1].InsertSlots(1, 2, 5);
    EXPECT_EQ(s.TextLines[1][0]->Text, "a");
    EXPECT_TRUE(s.TextLines[1].IsGap(1));
    EXPECT_TRUE(s.TextLines[1].IsGap(2));
    EXPECT_EQ(s.TextLines[1][3]->Text, "b");
    EXPECT_EQ(s.TextLines[1][4]->Text, "c");
    EXPECT_TRUE(s.TextLines[1].IsGap(5));  // "d" was pushed past the limit
    EXPECT_EQ(s.TextLines[1].StoredSize(), 5);
}

TEST_F(PaneStoresTest, WritingPastTheLastSlotIsRefusedWithTheStoreFullText) {
    try {
        s.TextLines[1].New(kLineSlots);
        FAIL() << "no refusal";
    } catch (const std::length_error& e) {
        EXPECT_EQ(QString::fromStdString(e.what()), kMaxEntryText);
    }
    EXPECT_NO_THROW(s.TextLines[1].New(kLineSlots - 1)->Text = "last");
    EXPECT_EQ(s.TextLines[1][kLineSlots - 1]->Text, "last");
}

TEST_F(PaneStoresTest, ResetSideKeepsOrClearsTheFileState) {
    fillPane(1, {"x"});
    s.FileNames[1] = "a.txt";
    s.FilePaths[1] = "/tmp/";
    s.FileSizes[1] = 10;
    s.FileTimes[1] = 99;
    undoStack().PushUndo(ukPosition, 1, 0, "1:1", 1);
    s.ResetSide(1, false);
    EXPECT_TRUE(s.TextLines[1].IsGap(0));
    EXPECT_EQ(s.LineCount[1], 0);
    EXPECT_FALSE(undoStack().HasUndo(1));
    EXPECT_EQ(s.FileNames[1], "a.txt");
    EXPECT_EQ(s.FileSizes[1], 10);
    EXPECT_EQ(s.FileTimes[1], 99u);
    EXPECT_EQ(s.SideFileName(1), "/tmp/a.txt");
    s.ResetSide(1, true);
    EXPECT_TRUE(s.FileNames[1].isEmpty());
    EXPECT_TRUE(s.FilePaths[1].isEmpty());
    EXPECT_EQ(s.FileSizes[1], -1);
    EXPECT_EQ(s.FileTimes[1], 0u);
}

TEST_F(PaneStoresTest, SideQueriesFollowTheMode) {
    s.FilePaths[2] = "/data/";
    s.FileNames[2] = "b.txt";
    s.FolderRoots[2] = "/root/";
    EXPECT_EQ(s.SideDisplayPath(2), "/data/b.txt");
    EXPECT_EQ(s.SideRootOrPath(2), "/data/");
    s.FolderMode = 1;
    EXPECT_EQ(s.SideDisplayPath(2), "/root/");
    EXPECT_EQ(s.SideRootOrPath(2), "/root/");
    EXPECT_EQ(s.SideFileName(2), "/data/b.txt");
    EXPECT_EQ(PaneStores::OtherSide(1), 2);
    EXPECT_EQ(PaneStores::OtherSide(2), 1);
    EXPECT_EQ(PaneStores::OtherSide(7), 1);
}

TEST(PathMasking, MasksOnlyTheSchemeOrShareSlashes) {
    struct Case {
        const char* path;
        int mask;
        int depth;
    } cases[] = {
        {"ftp://host/dir/file", 6, 2},
        {"sftp://host/dir/file", 7, 2},
        {"dbox://box/a", 7, 1},
        {"//srv/share/path", 2, 2},
        {"https://host/a/b", 0, 4},  // a five-letter scheme is not masked
        {"dir/sub/file", 0, 2},
        {"a##b/c##d", 0, 1},        // "##" in a real name stays as it is
        {"back\\slash\\name", 0, 0},  // "\" is an ordinary character
        {"/home/user/f", 1, 2},  // the root "/" is no level
        {"/", 0, 1},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(MaskPathPrefix(path), c.mask) << c.path;
        EXPECT_EQ(PathDepth(path, MaskPathPrefix(path)), c.depth) << c.path;
        QString stored;
        EXPECT_EQ(AssignMaskedPath(path, stored), c.mask) << c.path;
        EXPECT_EQ(stored, path);
    }
}

TEST(PathMasking, UnmaskingDropsTreeIndentationAndKeepsRealNames) {
    const QString indent(4, QChar(160));
    EXPECT_EQ(AssignUnmaskedPath(indent + "//srv/share"), "//srv/share");
    EXPECT_EQ(AssignUnmaskedPath(indent + "##name"), "##name");
    EXPECT_EQ(AssignUnmaskedPath(QString(QChar(160)) + "x"), QString(QChar(160)) + "x");
}

TEST_F(PaneStoresTest, FolderEntriesTakeDepthAndParentFromTheTree) {
    auto& left = s.FolderEntries[1];
    s.SetFolderEntryFolder(0, 0, 0x10, left, "a", 5);
    s.SetFolderEntryFolder(1, 1, 0x10, left, "a/b", 0);
    EXPECT_EQ(s.SetFolderEntryFile(2, 0x20, "a/b/f.txt", left, 42, 7), 9);
    EXPECT_EQ(left[0]->Status, 6);
    EXPECT_EQ(left[0]->FolderState, 1);
    EXPECT_EQ(left[1]->Status, 3);  // no time: the path was not found
    EXPECT_EQ(left[1]->Parent, 0);
    EXPECT_EQ(left[2]->Depth, 2);
    EXPECT_EQ(left[2]->Parent, 1);
    EXPECT_EQ(left[2]->RowNumber, 3);
    EXPECT_EQ(left[2]->Size, 42);
    s.SetFolderEntryStatus(3, 2, "a/b/gone.txt", left);
    EXPECT_EQ(left[3]->Status, 2);
    EXPECT_EQ(left[3]->Result, 2);
    EXPECT_EQ(left[3]->Parent, 1);
}

TEST_F(PaneStoresTest, DeepFolderTreesKeepTheirParents) {
    auto& left = s.FolderEntries[1];
    QString path = "d0";
    for (int depth = 0; depth < 60; ++depth) {
        if (depth > 0) path += "/d" + QString::number(depth);
        s.SetFolderEntryFolder(depth, depth, 0x10, left, path, 1);
    }
    EXPECT_EQ(s.SetFolderEntryFile(60, 0x20, path + "/f", left, 1, 1), int(path.size()) + 2);
    EXPECT_EQ(left[60]->Depth, 60);
    EXPECT_EQ(left[60]->Parent, 59);
    EXPECT_EQ(left[45]->Parent, 44);
}

TEST_F(PaneStoresTest, ClearFolderEntriesEmptiesBothPanes) {
    s.SetFolderEntryFile(0, 0, "f", s.FolderEntries[1], 1, 1);
    s.SetFolderEntryFile(0, 0, "f", s.FolderEntries[2], 1, 1);
    s.FolderEntryCount = 1;
    s.FolderRoots[1] = "/x/";
    s.ClearFolderEntries();
    EXPECT_TRUE(s.FolderEntries[1].IsGap(0));
    EXPECT_TRUE(s.FolderEntries[2].IsGap(0));
    EXPECT_EQ(s.FolderEntryCount, 0);
    EXPECT_EQ(s.FolderTotalSizes[1], 0);
    EXPECT_TRUE(s.FolderRoots[1].isEmpty());
}

TEST_F(PaneStoresTest, ScanItemsAreMaskedAndLabelledOnlyWithFolderPairLists) {
    TScanList list;
    AddScanFolderItem(3, "Label", "ftp://host/dir/", list, "ftp://host/dir/sub");
    AddScanFileItem(0x20, "f.txt", "g.txt", list, 12, 34);
    EXPECT_EQ(list[0].Kind, 1);
    EXPECT_TRUE(list[0].Label.isNull());
    EXPECT_EQ(list[0].FolderPathMaskLength, 0);
    EXPECT_EQ(list[1].SecondName, "g.txt");

    tandex::config::AppSettings().FCUseFPL = true;
    AddScanFolderItem(4, "Label", "ftp://host/dir/", list, "ftp://host/dir/sub");
    EXPECT_EQ(list[2].Label, "Label");
    EXPECT_EQ(list[2].FolderPathMaskLength, 6);
    EXPECT_EQ(list[2].Name, "ftp://host/dir/sub");
    SetScanFolderPaths("/new/", list);
    EXPECT_EQ(list[0].FolderPath, "/new/");
    EXPECT_EQ(list[2].FolderPath, "/new/");
    EXPECT_TRUE(list[1].FolderPath.isNull());
}

TEST_F(PaneStoresTest, MarkedFileItemsCarryTheirContextAndTakeNewCounterparts) {
    // A list keeps the pair-list choice it was made with: a worker thread
    // filling it never reads the setting.
    tandex::config::AppSettings().FCUseFPL = true;
    std::unique_ptr<TScanList> list;
    NewScanList(list);
    tandex::config::AppSettings().FCUseFPL = false;
    ASSERT_TRUE(list->UsesPairList());

    AddScanFolderItem(5, "L", "//srv/r/", *list, "/l/");
    const TScanMark mark{5, "//srv/r/"};
    AddScanFileItem(0x20, "/l/", "a", *list, 1, 2, &mark);
    AddScanFileItem(0x20, "/l/", "b", *list, 1, 2);
    const TScanItem& marked = (*list)[1];
    EXPECT_EQ(marked.Kind, 2);
    EXPECT_EQ(marked.Position, 5);
    EXPECT_EQ(marked.FolderPath, "//srv/r/");
    EXPECT_EQ(marked.FolderPathMaskLength, 2);
    EXPECT_EQ((*list)[2].Kind, 0);
    EXPECT_TRUE((*list)[2].FolderPath.isNull());

    SetScanFolderPaths("ftp://u@h/x/", *list);
    EXPECT_EQ((*list)[0].FolderPath, "ftp://u@h/x/");
    EXPECT_EQ((*list)[1].FolderPath, "ftp://u@h/x/");
    EXPECT_EQ((*list)[1].FolderPathMaskLength, 6);
    EXPECT_TRUE((*list)[2].FolderPath.isNull());

    FreeScanList(list);
    EXPECT_EQ(list, nullptr);
    FreeScanList(list);
}

TEST_F(PaneStoresTest, ScanItemsStayInPlaceWhileTheListGrows) {
    TScanList list(false);
    AddScanFileItem(0, "/p/", "first", list, 0, 0);
    const TScanItem* first = &list[0];
    for (int i = 1; i < 3 * TScanList::kChunkItems + 7; ++i)
        AddScanFileItem(0, "/p/", QString::number(i), list, i, 0);
    EXPECT_EQ(&list[0], first);
    EXPECT_EQ(list[0].SecondName, "first");
    EXPECT_EQ(list[2 * TScanList::kChunkItems].Size, 2 * TScanList::kChunkItems);
    EXPECT_THROW(list[list.Count()], std::out_of_range);
    EXPECT_THROW(list[-1], std::out_of_range);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(PaneStoresTest, FolderPairIndexSearchesBackToTheFirstSmallerPosition) {
    ASSERT_TRUE(s.AddFolderPair(1, 2, 10));
    ASSERT_TRUE(s.AddFolderPair(3, 4, 20));
    ASSERT_TRUE(s.AddFolderPair(5, 6, 20));
    EXPECT_EQ(s.IsNewFolderPair(20, 5), 0);
    EXPECT_EQ(s.IsNewFolderPair(20, 1), 1);
    EXPECT_EQ(s.IsNewFolderTriple(20, 3, 4), 0);
    EXPECT_EQ(s.IsNewFolderTriple(20, 3, 6), 1);
    EXPECT_EQ(s.IsNewFolderPair(10, 1), 0);
    EXPECT_EQ(s.IsNewFolderPair(15, 1), 1);
}

TEST_F(PaneStoresTest, FolderPairsWithEqualKeysButOtherTextsAreNew) {
    ASSERT_TRUE(s.AddFolderPair(7, 0, 1, "a/x"));
    ASSERT_TRUE(s.AddFolderPair(7, 9, 2, "a/x/p", "b/q/p"));
    EXPECT_EQ(s.IsNewFolderPair(1, 7, "a/x"), 0);
    EXPECT_EQ(s.IsNewFolderPair(1, 7, "a/y"), 1);  // the key alone no longer matches
    EXPECT_EQ(s.IsNewFolderTriple(2, 7, 9, "a/x/p", "b/q/p"), 0);
    EXPECT_EQ(s.IsNewFolderTriple(2, 7, 9, "a/x/p", "b/q/P"), 1);
}

TEST_F(PaneStoresTest, RenumberingSkipsGapRows) {
    fillPane(1, {"a", std::nullopt, "b", std::nullopt, "c"});
    s.TextLines[1][4]->LineNumber = 99;
    mainWindow().renumberLines(1);
    EXPECT_EQ(s.TextLines[1][0]->LineNumber, 1);
    EXPECT_EQ(s.TextLines[1][2]->LineNumber, 2);
    EXPECT_EQ(s.TextLines[1][4]->LineNumber, 3);
}

}  // namespace

namespace {

TEST_F(PaneStoresTest, ReleasingAnImageThatFailsIsLoggedAndThePaneResetAllTheSame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("TDXLog.txt");
    tandex::access::FZSetLogFile(log);
    struct Failing : PaneImageState {
        void release() override { throw std::runtime_error("busy"); }
    };
    struct Window : MainWindowServices {
        bool errorShown = false;
        int cleared = 0, hidden = 0;
        void clearPanePicture(int) override { ++cleared; }
        bool openErrorShown(int) const override { return errorShown; }
        void hideImagePanel(int) override { ++hidden; }
    } window;
    setMainWindow(&window);
    s.FilePaths[2] = "/pics/";
    s.FileNames[2] = "a.png";
    s.FileSizes[2] = 5;
    s.ImageStates[2] = std::make_unique<Failing>();
    s.ImageLoaded[2] = 1;
    s.ReleaseSideImage(2, false);
    EXPECT_FALSE(s.ImageStates[2]);
    EXPECT_EQ(s.ImageLoaded[2], 0);
    EXPECT_EQ(s.FileSizes[2], 5);
    EXPECT_EQ(window.cleared, 1);
    EXPECT_EQ(window.hidden, 1);
    window.errorShown = true;
    s.ReleaseSideImage(2, true);  // the panel stays while the open error is shown
    EXPECT_EQ(window.hidden, 1);
    EXPECT_EQ(s.FileSizes[2], -1);
    EXPECT_TRUE(s.FileNames[2].isEmpty());
    setMainWindow(nullptr);
    tandex::access::FZSetLogFile({});
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains("FD1: Error relasing imgFile /pics/a.png"));
}

TEST_F(PaneStoresTest, ClosingASideReleasesItsAccessSlot) {
    s.CloseSideSlot(1);
    EXPECT_EQ(s.SideSlots[1], kNoSlot);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    int slot = kNoSlot;
    ASSERT_EQ(tandex::access::FZOpen(file.fileName(), tandex::access::twReadAccess, false, slot), 0);
    s.SideSlots[1] = slot;
    s.CloseSideSlot(1);
    EXPECT_EQ(s.SideSlots[1], kNoSlot);
    EXPECT_TRUE(tandex::access::FZSlotPath(slot).isEmpty());  // the slot is free again
}

}  // namespace

namespace {

// The text of a line of n cells, built the way the view shows it.
QByteArray cellLine(const std::vector<quint8>& bytes, const std::vector<TBinCell>& kinds) {
    const int n = int(bytes.size());
    QByteArray out(4 * n + 2, ' ');
    for (int k = 0; k < n; ++k) {
        const TBinCell kind = kinds.empty() ? bcByte : kinds[size_t(k)];
        if (kind == bcBlank) continue;
        const QByteArray hex = kind == bcFill ? QByteArray(2, char(0xA0))
                                              : QByteArray::number(bytes[size_t(k)], 16).rightJustified(2, '0').toUpper();
        out[3 * k] = hex[0];
        out[3 * k + 1] = hex[1];
        out[3 * n + 2 + k] = kind == bcFill ? char(0xA0) : BinaryCellText(bytes[size_t(k)])[2];
    }
    return out;
}

std::vector<quint8> rowBytes(int row, int n, int salt = 0) {
    std::vector<quint8> bytes(static_cast<size_t>(n), 0);
    for (int k = 0; k < n; ++k) bytes[size_t(k)] = quint8(row * 7 + k * 13 + salt);
    return bytes;
}

}  // namespace

TEST_F(PaneStoresTest, BinaryLinesMakeTheirTextFromCellsOrKeepTheGivenText) {
    BinaryLineArray lines;
    const std::vector<quint8> bytes = {0x41, 0x00, 0xE9, 0x7F};
    const std::vector<TBinCell> mixed = {bcByte, bcFill, bcByte, bcBlank};
    const std::vector<TBinCell> plain(4, bcByte);
    lines.NewCells(0, bytes.data(), plain.data(), 4);
    lines.NewCells(1, bytes.data(), mixed.data(), 4);
    lines.NewCells(2, bytes.data(), nullptr, 4);
    lines.NewText(3, "==> Aborted by User <==");
    lines.New(5)->Offset = 9;
    EXPECT_EQ(lines[0]->HexText(), cellLine(bytes, {}));
    EXPECT_EQ(lines[0]->HexText().left(14), "41 00 E9 7F   ");
    EXPECT_EQ(lines[0]->HexText().size(), 18);
    EXPECT_EQ(lines[1]->HexText(), cellLine(bytes, mixed));
    EXPECT_EQ(lines[1]->HexText().left(12), QByteArray("41 \xA0\xA0 E9    "));
    EXPECT_EQ(lines[2]->HexText(), lines[0]->HexText());
    EXPECT_EQ(lines[3]->HexText(), "==> Aborted by User <==");
    EXPECT_TRUE(lines.IsGap(4));
    EXPECT_EQ(lines[5]->HexText(), QByteArray());
    EXPECT_EQ(lines[5]->Offset, 9);
    EXPECT_EQ(lines.StoredSize(), 6);
    // A text longer than a block of the store, and lines after it.
    const QByteArray huge(3 << 20, 'x');
    lines.NewText(6, huge);
    lines.NewCells(7, bytes.data(), mixed.data(), 4);
    EXPECT_EQ(lines[6]->HexText(), huge);
    EXPECT_EQ(lines[7]->HexText(), cellLine(bytes, mixed));
    EXPECT_EQ(lines[0]->HexText(), cellLine(bytes, {}));
}

// The comparison frees its unfinished last lines after a pass and writes
// them again; lines in front, and lines written out of order, keep their
// texts.
TEST_F(PaneStoresTest, FreedLastBinaryLinesGiveBackTheirBytesAndNothingElse) {
    constexpr int kCells = 16;
    constexpr int kRows = 20000;  // several blocks of lines and of the store
    BinaryLineArray lines;
    for (int i = 0; i < kRows; ++i) lines.NewCells(i, rowBytes(i, kCells).data(), nullptr, kCells);
    TBinLine* first = lines[0];
    for (int round = 1; round <= 3; ++round) {
        const int from = kRows - 1500 * round;
        lines.Free(from, kRows);
        EXPECT_EQ(lines.StoredSize(), from);
        EXPECT_TRUE(lines.IsGap(from));
        for (int i = from; i < kRows; ++i) lines.NewCells(i, rowBytes(i, kCells, round).data(), nullptr, kCells);
    }
    // Out of order: a line in front written last must survive the next
    // freeing of the tail.
    const std::vector<TBinCell> fill(kCells, bcFill);
    lines.NewCells(10, rowBytes(10, kCells, 99).data(), fill.data(), kCells);
    lines.Free(kRows - 10, kRows - 1);
    for (int i = kRows - 10; i < kRows; ++i) lines.NewCells(i, rowBytes(i, kCells, 5).data(), nullptr, kCells);
    EXPECT_EQ(lines[0], first);
    EXPECT_EQ(lines.StoredSize(), kRows);
    for (int i = 0; i < kRows; ++i) {
        int salt = 0;
        if (i >= kRows - 10) salt = 5;
        else if (i >= kRows - 4500) salt = 3;
        const std::vector<TBinCell> kinds = i == 10 ? fill : std::vector<TBinCell>{};
        ASSERT_EQ(lines[i]->HexText(), cellLine(rowBytes(i, kCells, i == 10 ? 99 : salt), kinds)) << "line " << i;
    }
    // Freeing inside leaves gaps without moving anything.
    lines.Free(100, 199);
    EXPECT_TRUE(lines.IsGap(150));
    EXPECT_EQ(lines.StoredSize(), kRows);
    EXPECT_EQ(lines[200]->HexText(), cellLine(rowBytes(200, kCells), {}));
}

TEST_F(PaneStoresTest, SwappedBinaryArraysTakeTheirTextsAlong) {
    BinaryLineArray a, b;
    a.NewText(0, "left");
    b.NewCells(1, rowBytes(1, 8).data(), nullptr, 8);
    const quint64 stamp = a.Stamp();
    a.swap(b);
    EXPECT_NE(a.Stamp(), stamp);
    EXPECT_TRUE(a.IsGap(0));
    EXPECT_EQ(a[1]->HexText(), cellLine(rowBytes(1, 8), {}));
    EXPECT_EQ(b[0]->HexText(), "left");
    b.Clear();
    EXPECT_EQ(b.StoredSize(), 0);
    EXPECT_TRUE(b.IsGap(0));
    EXPECT_THROW(b.NewText(kLineSlots, "x"), std::length_error);
}
