// The folder view as a user sees it: two real trees on disk are read into
// the folder-entry stores, the window shows them offscreen in the tree and
// the list view, and the grabs are checked by cell backgrounds (never by
// glyphs) and kept as PNGs.

#include "ui/main/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTimeZone>
#include <QScrollBar>
#include <QTextEdit>

#include <functional>
#include <map>
#include <set>

#include "access/file_times.h"
#include "config/color_sets.h"
#include "tests/engine/folder_fixture.h"
#include "tests/ui/main/folder_window_fixture.h"
#include "ui/main/find_replace.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/hover_text.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using namespace tandex::config;

namespace {

using tandex::testing::rgb;

class MainWindowFolderViewTest : public tandex::testing::FolderWindowFixture {};

TEST_F(MainWindowFolderViewTest, TreeViewPaintsCellsIconsAndSeparators) {
    ui::TF_Main& w = showTrees();
    const int added = rowOfPath("docs/extra.txt");
    const int newdir = rowOfPath("newdir");
    const int same = rowOfPath("docs/readme.txt");
    ASSERT_GE(added, 0);
    ASSERT_GE(newdir, 0);
    const QImage image = grab("Tree");
    const auto& set = AppSettings().ColorSets[size_t(AppSettings().COSetIdx)];
    // A right-only file: the left cell on AddBgCol with the status icon.
    EXPECT_EQ(cellPixel(image, 1, added), rgb(set[AddBgCol]));
    EXPECT_EQ(w.folderRowIconRole(1, added, false), ui::irFileStatus);
    EXPECT_EQ(w.folderRowIconRole(2, added, false), ui::irFile);
    EXPECT_EQ(cellPixel(image, 1, same), rgb(set[TextBgCol]));
    // A folder missing on the left: the not-found folder, open or closed.
    EXPECT_EQ(w.folderRowIconRole(1, newdir, false), ui::irFolderOpenNotFound);
    engine::folderRows().ToggleFolderRow(newdir);
    EXPECT_EQ(w.folderRowIconRole(1, newdir, false), ui::irFolderClosedNotFound);
    EXPECT_EQ(w.folderRowIconRole(2, rowOfPath("src/bundle.zip"), false), ui::irArchive);

    // Separators at the shown info sections, from the pane top down.
    const ui::TLayoutGeometry& g = w.Geometry();
    for (int section : {2, 3, 4, 8, 9, 10}) {
        const QPoint at = w.RowArea()->mapTo(&w, QPoint(g.columnEdges[size_t(section)], g.paneBottom - 4) - w.RowArea()->pos());
        EXPECT_EQ(image.pixel(at), qRgb(0xC0, 0xC0, 0xC0)) << section;
    }
}

TEST_F(MainWindowFolderViewTest, PlaceholderLevelShowsEmptyWithThePlaceholderIcon) {
    ui::TF_Main& w = makeWindow();
    using namespace engine::testing;
    addFolder(0, 0, QStringLiteral("pair"));
    addFile(1, QStringLiteral("pair/a.txt"), 3);
    // A pair-list level that one side lacks.
    entryAt(1, 0)->Path = QString(QChar(0xA0)) + "pair";
    showFolders();
    engine::folderRows().OpenAllFolders();
    w.switchView(ui::vtFolder, false, false);
    grab("Placeholder");
    EXPECT_TRUE(engine::rows().RowText(1, 0).startsWith(QChar(0xA0)));
    EXPECT_EQ(w.folderRowIconRole(1, 0, true), ui::irFolderOpenPlaceholder);
    engine::folderRows().ToggleFolderRow(0);
    EXPECT_EQ(w.folderRowIconRole(1, 0, true), ui::irFolderClosedPlaceholder);
}

TEST_F(MainWindowFolderViewTest, NothingIsPaintedWhileAComparisonRuns) {
    ui::TF_Main& w = showTrees();
    const int added = rowOfPath("docs/extra.txt");
    services_.state = 2;
    const int before = w.RowArea()->PaintCount();
    QImage image = grab("Running");
    EXPECT_GT(w.RowArea()->PaintCount(), before);
    // The panes show their background and no row.
    EXPECT_EQ(cellPixel(image, 1, added), rgb(AppSettings().ColorSets[size_t(AppSettings().COSetIdx)][TextBgCol]));
    services_.state = 1;
    image = grab("Ended");
    EXPECT_EQ(cellPixel(image, 1, added), rgb(AppSettings().ColorSets[size_t(AppSettings().COSetIdx)][AddBgCol]));
}

TEST_F(MainWindowFolderViewTest, ListViewAndBackKeepTheCaretOnTheFirstSelectedRow) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int notes = rowOfPath("docs/notes.txt");
    f.SetFolderRowSelected(1, notes, true);
    w.BB_VIEWMODEClick(w.TB_VIEWMODE);
    ASSERT_FALSE(AppSettings().FCTreeView);
    EXPECT_EQ(engine::editor().GetCaretRow(), rowOfPath("docs/notes.txt"));
    EXPECT_FALSE(w.HC1->isVisible());
    const QImage list = grab("List");
    // A changed pair is drawn with character marks on its row colour.
    const auto& set = AppSettings().ColorSets[size_t(AppSettings().COSetIdx)];
    EXPECT_EQ(cellPixel(list, 2, rowOfPath("docs/extra.txt")), rgb(set[AddBgCol]));
    w.BB_VIEWMODEClick(w.TB_VIEWMODE);
    ASSERT_TRUE(AppSettings().FCTreeView);
    EXPECT_EQ(engine::editor().GetCaretRow(), rowOfPath("docs/notes.txt"));
    EXPECT_TRUE(w.HC1->isVisible());
}

TEST_F(MainWindowFolderViewTest, TreeCommandsExpandCollapseAndEnableTheirItems) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int all = f.FolderRowCount;
    f.SetFolderRowSelected(1, rowOfPath("top.txt"), true);
    w.pmCloseAllFoldersClick(w.TB_COLLAPSE);
    EXPECT_LT(f.FolderRowCount, all);
    EXPECT_EQ(f.SelectedFolderEntryCount(false), 0);

    f.SetFolderRowSelected(1, rowOfPath("top.txt"), true);
    // TB_HEX in the folder view expands all and clears the selection.
    w.BB_HEXClick(w.TB_HEX);
    EXPECT_EQ(f.FolderRowCount, all);
    EXPECT_EQ(f.SelectedFolderEntryCount(false), 0);

    // A subtree collapses and opens again under the caret.
    const int docs = rowOfPath("docs");
    engine::editor().Caret.Row = docs;
    w.pmCloseAllSubFoldersClick(nullptr);
    EXPECT_EQ(f.RowFolderState(docs), 1);
    EXPECT_LT(f.FolderRowCount, all);
    w.pmOpenAllSubFoldersClick(nullptr);
    EXPECT_EQ(f.FolderRowCount, all);
    EXPECT_EQ(f.RowFolderState(rowOfPath("docs/deep")), 2);

    EXPECT_TRUE(w.pmOpenAllFolders1->isEnabled());
    AppSettings().FCTreeView = false;
    f.RebuildFolderRows();
    EXPECT_FALSE(w.pmOpenAllFolders1->isEnabled());
    EXPECT_FALSE(w.pmCloseAllFolders1->isEnabled());
}

TEST_F(MainWindowFolderViewTest, DetailsShowEachRootAndTheRowPath) {
    ui::TF_Main& w = showTrees();
    AppSettings().GSDetailPanel = true;
    const int row = rowOfPath("docs/notes.txt");
    w.refreshDetails(row);
    EXPECT_EQ(w.eLine1->toPlainText(), tmp_.filePath("left/") + "docs/notes.txt");
    EXPECT_EQ(w.eLine2->toPlainText(), tmp_.filePath("right/") + "docs/notes.txt");
}

TEST_F(MainWindowFolderViewTest, HeaderHintsAndPressedSection) {
    ui::TF_Main& w = showTrees();
    grab("Header");
    const int x = w.HC1->sectionViewportPosition(4) + 3;
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 5), w.HC1->mapToGlobal(QPointF(x, 5)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w.HC1->viewport(), &move);
    EXPECT_EQ(w.HC1->toolTip(), ui::headerSectionHint(4));
    EXPECT_EQ(w.HC1->property("Tag").toInt(), 4);

    auto& set = AppSettings().ColorSets[size_t(AppSettings().COSetIdx)];
    set[HeadLnBgCol] = 0x00F0E010;
    QImage section(40, 20, QImage::Format_RGB32);
    QPainter p(&section);
    w.HC1DrawSection(p, 5, QRect(0, 0, 40, 20), true);
    p.end();
    EXPECT_EQ(section.pixel(20, 10), rgb(0x00F0E000));
}

TEST_F(MainWindowFolderViewTest, DifferencesAreFoundInsideClosedFolders) {
    ui::TF_Main& w = showNavTrees();
    auto& f = engine::folderRows();
    auto& ed = engine::editor();
    AppSettings().GSLineSelect = false;
    w.BB_DIFNEXTClick(w.TB_DIFNEXT);
    const int x = rowOfPath("outer/inner/x.txt");
    ASSERT_GE(x, 0) << "both folders opened on the way";
    EXPECT_EQ(ed.Caret.Row, x);
    EXPECT_EQ(f.RowFolderState(rowOfPath("outer")), 2);
    EXPECT_EQ(selectedRows(), (std::vector<int>{x, x + 1}));
    grab("NextThroughClosed");

    closeAll();
    AppSettings().GSLineSelect = true;
    w.BB_DIFNEXTClick(w.TB_DIFNEXT);
    EXPECT_EQ(selectedRows(), (std::vector<int>{rowOfPath("outer/inner/x.txt")}));

    // Backwards, a closed folder is entered at its last child.
    closeAll();
    w.LastDifference1Click(w.TB_DIFPREV);
    EXPECT_EQ(ed.Caret.Row, rowOfPath("zeta/c.txt"));
    EXPECT_EQ(selectedRows(), (std::vector<int>{rowOfPath("zeta/c.txt")}));

    // After a folder run the first difference shows on its newer side, once.
    closeAll();
    AppSettings().TCSelFirstDif = true;
    engine::paneStores().PickNewerSide = 1;
    w.gotoFirstDifference();
    EXPECT_EQ(ed.Caret.Row, rowOfPath("outer/inner/x.txt"));
    EXPECT_EQ(ed.ActiveSide, 2);
    EXPECT_EQ(engine::paneStores().PickNewerSide, 0);
}

TEST_F(MainWindowFolderViewTest, LongestPathAndGoToLineSelectTheirRow) {
    ui::TF_Main& w = showNavTrees();
    auto& ed = engine::editor();
    services_.maxDepth = 1;
    ed.SetActiveSide(2);
    w.gotoLongestLine();
    const int x = rowOfPath("outer/inner/x.txt");
    ASSERT_GE(x, 0);
    EXPECT_EQ(ed.Caret.Row, x);
    EXPECT_EQ(ed.ActiveSide, 1);
    EXPECT_EQ(selectedRows(), std::vector<int>{x});

    w.gotoLine(2, rowOfPath("zeta/a.txt"), 0);
    EXPECT_EQ(ed.Caret.Row, rowOfPath("zeta/a.txt"));
    EXPECT_EQ(ed.ActiveSide, 2);
    EXPECT_EQ(selectedRows(), std::vector<int>{rowOfPath("zeta/a.txt")});
}

TEST_F(MainWindowFolderViewTest, ClicksToggleFoldersAndSelectWholeRows) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int docs = rowOfPath("docs");
    // Strictly inside the expander: the folder toggles, nothing is selected.
    click(docs, Qt::NoModifier, 3);
    EXPECT_EQ(f.RowFolderState(docs), 1);
    EXPECT_TRUE(selectedRows().empty());
    grab("ExpanderClosed");
    click(docs, Qt::NoModifier, 3);
    EXPECT_EQ(f.RowFolderState(docs), 2);

    const int notes = rowOfPath("docs/notes.txt"), readme = rowOfPath("docs/readme.txt");
    click(notes);
    click(readme, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (std::vector<int>{notes, readme}));
    click(notes, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), std::vector<int>{readme});
    click(0);
    click(notes, Qt::ShiftModifier);
    // extra.txt is right-only: the left pane's mark drops from it.
    const std::vector<int> range{0, rowOfPath("docs"), notes};
    EXPECT_EQ(selectedRows(), range);

    // While a comparison fills the stores a click changes nothing.
    services_.state = 2;
    click(docs, Qt::NoModifier, 3);
    click(readme);
    EXPECT_EQ(f.RowFolderState(docs), 2);
    EXPECT_EQ(selectedRows(), range);
    EXPECT_FALSE(w.FormMouseWheel(Qt::NoModifier, -120));
}

TEST_F(MainWindowFolderViewTest, DoubleClickAndEnterOpenTheFilePair) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int src = rowOfPath("src");
    click(src);
    w.FormDblClick(w.RowArea());
    EXPECT_EQ(f.RowFolderState(src), 1);

    click(rowOfPath("docs/notes.txt"));
    w.FormDblClick(w.RowArea());
    EXPECT_EQ(w.ViewType(), ui::vtText);
    const auto& st = engine::paneStores();
    EXPECT_EQ(st.FilePaths[1], tmp_.filePath("left/docs/"));
    EXPECT_EQ(st.FileNames[1], "notes.txt");
    EXPECT_EQ(st.FilePaths[2], tmp_.filePath("right/docs/"));
    EXPECT_EQ(engine::rows().RowText(1, 0), "old notes");
    grab("PairOpened");

    w.switchView(ui::vtFolder, false, false);
    engine::editor().Caret.Row = rowOfPath("top.txt");
    QChar enter(13);
    w.FormKeyPress(&w, enter);
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_EQ(st.FileNames[2], "top.txt");
    EXPECT_EQ(st.FilePaths[2], tmp_.filePath("right/"));
}

TEST_F(MainWindowFolderViewTest, StepFileAsksFirstAndStopsBeforeTheFirstFile) {
    ui::TF_Main& w = showNavTrees();
    const auto& st = engine::paneStores();
    w.pmCompareFilesClick(nullptr);
    ASSERT_EQ(st.FileNames[1], "first.txt");
    ASSERT_EQ(w.FolderListPos(), 0);

    // A modified pane is asked about first; declining keeps the pair.
    int asked = 0;
    w.AskSaveBeforeReplace = [&](int) { return ++asked, false; };
    w.stepFile(true);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.FolderListPos(), 0);
    w.AskSaveBeforeReplace = nullptr;

    // Before the first file there is none: the previous-file button turns off.
    w.stepFile(false);
    EXPECT_EQ(w.FolderListPos(), 0);
    EXPECT_FALSE(w.TB_PREVFILE->isEnabled());
    EXPECT_EQ(st.FileNames[1], "first.txt");
}

TEST_F(MainWindowFolderViewTest, FolderSelectionCommandsAndCopy) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int extra = rowOfPath("docs/extra.txt"), notes = rowOfPath("docs/notes.txt");
    f.SetFolderRowSelected(1, extra, true);
    f.SetFolderRowSelected(1, notes, true);
    // Copied as root + path, one line each, no final break on the clipboard.
    EXPECT_EQ(w.selectedText(), tmp_.filePath("left/") + "docs/extra.txt\n" + tmp_.filePath("left/") + "docs/notes.txt\n");
    w.Copy1Click(nullptr);
    EXPECT_EQ(QApplication::clipboard()->text(),
              tmp_.filePath("left/") + "docs/extra.txt\n" + tmp_.filePath("left/") + "docs/notes.txt");
    // The left pane lacks extra.txt: its mark would act on nothing.
    w.refreshSelection();
    EXPECT_EQ(selectedRows(), std::vector<int>{notes});

    f.ClearFolderSelection();
    f.CloseAllFolders();
    w.updateRowRange();
    engine::editor().Caret.Row = rowOfPath("docs");
    w.pmSelectAllInFolderAndSubfolders1Click(nullptr);
    std::set<QString> paths;
    for (int row : selectedRows()) paths.insert(f.FolderRowPath(1, row).isEmpty() ? f.FolderRowPath(2, row) : f.FolderRowPath(1, row));
    EXPECT_EQ(paths, (std::set<QString>{"docs/extra.txt", "docs/notes.txt", "docs/readme.txt", "docs/deep/inner.txt"}));
}

}  // namespace

TEST_F(MainWindowFolderViewTest, FindOpensClosedFoldersAndSelectsAllMatchingRows) {
    ui::TF_Main& w = showNavTrees();
    auto& f = engine::folderRows();
    w.Find1Click(nullptr);
    ui::TfReplace& d = *w.FindDialog();
    d.Beep = [] {};
    d.rbLeft->setChecked(true);
    d.rbDown->setChecked(true);
    d.cbFind->setEditText(QStringLiteral(".txt"));

    // Counting opens every folder it passes and leaves nothing selected.
    d.sbReplaceClick();
    EXPECT_EQ(d.Counter(), 7);
    EXPECT_EQ(f.RowFolderState(rowOfPath("outer/inner")), 2);
    EXPECT_TRUE(selectedRows().empty());

    closeAll();
    d.sbReplaceAllClick();
    std::vector<int> files;
    for (const char* path : {"first.txt", "outer/same.txt", "outer/inner/x.txt", "outer/inner/y.txt", "zeta/a.txt",
                             "zeta/b.txt", "zeta/c.txt"})
        files.push_back(rowOfPath(path));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(selectedRows(), files);
    EXPECT_LE(w.topRow(ui::vtFolder), files.front() + 1) << "the first match is in view";

    // Upwards a closed folder is entered at its last row.
    closeAll();
    engine::rows().ClearSelection();
    engine::editor().PlaceCaret(1, engine::paneStores().VisibleRowCount() - 1, 1);
    d.rbUp->setChecked(true);
    d.cbFind->setEditText(QStringLiteral("y.txt"));
    d.sbFindClick();
    EXPECT_EQ(selectedRows(), (std::vector<int>{rowOfPath("outer/inner/y.txt")}));
    EXPECT_EQ(engine::editor().Caret.Row, rowOfPath("outer/inner/y.txt"));
}

TEST_F(MainWindowFolderViewTest, TreeHoverTextShowsNamesTooLongForTheNameSection) {
    const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/");
    const QString longName = QString(80, u'n') + QStringLiteral(".txt");
    for (const QString& name : {QStringLiteral("short.txt"), longName}) {
        write(l + name, "a");
        write(r + name, "a");
    }
    AppSettings().FCHoverText = true;
    ui::TF_Main& w = showWrittenTrees();
    QHeaderView* header = w.HC1;
    const int origin = w.Client->mapFromGlobal(header->mapToGlobal(QPoint(0, 0))).x();
    const int x = origin + header->sectionViewportPosition(1) + header->sectionSize(1) / 2;
    const auto yOf = [&](int row) { return rowPoint(1, row, 0).y(); };
    ASSERT_GT(header->sectionSize(1), 0);

    w.showRowHint(x, yOf(rowOfPath(longName)));
    EXPECT_EQ(w.HoverText()->HoveredRow, rowOfPath(longName));
    w.showRowHint(x, yOf(rowOfPath(QStringLiteral("short.txt"))));
    EXPECT_EQ(w.HoverText()->HoveredRow, -1) << "a name that fits shows no hover text";
    // Left of the name section (the diff bar and tree lines) there is none.
    w.showRowHint(origin + header->sectionViewportPosition(1) - 4, yOf(rowOfPath(longName)));
    EXPECT_EQ(w.HoverText()->HoveredRow, -1);
}
