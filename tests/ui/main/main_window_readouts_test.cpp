// Read-outs and commands that must follow the window's state as it changes:
// the copy to the other pane after an edit, the view following a jump to
// the last difference, the panes' line counts, the details panel after
// every caret move, the status bar's counts and modified marks, the save
// commands, the overview bar after a resize, and the pane a click in the
// details fields makes active.

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTextEdit>

#include "engine/undo_stack.h"
#include "tests/ui/main/edited_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/overview_bar.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowReadoutsTest : public tandex::testing::EditedWindowFixture {
protected:
    std::string status() const { return window_->P_StatusBar->text().toStdString(); }
    QAction* action(const char* name) const { return window_->findChild<QAction*>(QLatin1String(name)); }
    // The row is drawn whole inside the panes.
    bool rowShown(int row) const {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const int first = window_->topRow(ui::vtText) - 1;
        const int y = g.paneTop + (row - first) * window_->LineHeight();
        return row >= first && y + window_->LineHeight() <= g.paneBottom;
    }
};

// The copy button follows the selection that keys make, also after an
// edit collapsed the selection it was enabled for; a stale disabled button
// did nothing, silently.
TEST_F(MainWindowReadoutsTest, CopyToTheOtherPaneFollowsTheSelectionAcrossEdits) {
    ui::TF_Main& w = load({"a", "b", "c"}, {"a", "x", "c"});
    caretTo(1, 0);
    press(Qt::Key_Down, Qt::ControlModifier);
    settle();
    ASSERT_EQ(engine::rows().SelectedCount(false), 1);
    EXPECT_TRUE(w.TB_COPYTO->isEnabled());
    type("Z");  // replaces the selected line's text
    settle();
    EXPECT_EQ(engine::rows().SelectedCount(false), 0);
    EXPECT_FALSE(w.TB_COPYTO->isEnabled());
    press(Qt::Key_Home);
    press(Qt::Key_End, Qt::ShiftModifier);
    settle();
    ASSERT_TRUE(w.TB_COPYTO->isEnabled());
    w.TB_COPYTO->trigger();
    settle();
    EXPECT_EQ(paneText(2), (QStringList{"a", "Z", "c"}));
    EXPECT_EQ(w.LastDiffCount, 0);
}

// A difference on the last line while a long line needs the horizontal bar:
// every jump there shows the row.
TEST_F(MainWindowReadoutsTest, JumpsToTheLastLineShowItAboveTheHorizontalBar) {
    QStringList left, right;
    for (int i = 1; i <= 100; ++i) left << QStringLiteral("line %1").arg(i);
    left[3] = QString(400, u'x');
    right = left;
    right[99] = QStringLiteral("changed last line");
    config::AppSettings().TCSelFirstDif = true;
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file(QStringLiteral("l.txt"), left), file(QStringLiteral("r.txt"), right));
    settle();
    ASSERT_FALSE(w.hScrollBar->isHidden());
    EXPECT_EQ(engine::editor().Caret.Row, 99);
    EXPECT_TRUE(rowShown(99)) << "top " << w.topRow(ui::vtText) << " rows " << w.VisibleRows();
    // From the top, with the keys.
    press(Qt::Key_Home, Qt::ControlModifier);
    settle();
    ASSERT_FALSE(rowShown(99));
    press(Qt::Key_PageDown, Qt::ControlModifier);
    settle();
    EXPECT_EQ(engine::editor().Caret.Row, 99);
    EXPECT_TRUE(rowShown(99)) << "top " << w.topRow(ui::vtText) << " rows " << w.VisibleRows();
    // On the last full page, not atop an empty pane.
    EXPECT_EQ(w.topRow(ui::vtText), 100 - w.VisibleRows() + 1);
}

// The information line counts the file's lines, not the aligned rows.
TEST_F(MainWindowReadoutsTest, InformationLinesCountTheFilesLines) {
    ui::TF_Main& w = load({"1", "2", "3", "4"}, {"1", "new", "2", "3", "4", "5"});
    ASSERT_GT(engine::paneStores().LineCount[1], 4);
    EXPECT_TRUE(w.pAI1->text().contains(QStringLiteral("|4 Lines|"))) << w.pAI1->text().toStdString();
    EXPECT_TRUE(w.pAI2->text().contains(QStringLiteral("|6 Lines|"))) << w.pAI2->text().toStdString();
    // A line split by Enter is one line more.
    caretTo(1, 0);
    press(Qt::Key_End);
    press(Qt::Key_Return);
    settle();
    EXPECT_TRUE(w.pAI1->text().contains(QStringLiteral("|5 Lines|"))) << w.pAI1->text().toStdString();
}

// Every caret move shows its row in the details panel, also the moves of
// commands that lock the painting while they run.
TEST_F(MainWindowReadoutsTest, DetailsPanelFollowsEveryCaretMove) {
    config::AppSettings().GSDetailPanel = true;
    ui::TF_Main& w = load({"r0", "same", "left2", "same", "same", "left5", "same"},
                          {"r0", "same", "right2", "same", "same", "right5", "same"});
    config::AppSettings().GSDetailView = 0;
    auto shown = [&] { return w.eLine1->toPlainText().trimmed().toStdString(); };
    caretTo(1, 0);
    w.refreshDetails(0);
    struct Step {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        const char* left;
    } steps[] = {
        {"next difference", Qt::Key_Down, Qt::ControlModifier, "left2"},
        {"next again", Qt::Key_Down, Qt::ControlModifier, "left5"},
        {"previous difference", Qt::Key_Up, Qt::ControlModifier, "left2"},
        {"end of the text", Qt::Key_End, Qt::ControlModifier, "same"},
        {"top (no jump on load)", Qt::Key_PageUp, Qt::ControlModifier, "r0"},
        {"last difference", Qt::Key_PageDown, Qt::ControlModifier, "left5"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        press(s.key, s.mods);
        settle();
        EXPECT_EQ(shown(), s.left);
    }
    caretTo(1, 2);
    type("Q");
    settle();
    EXPECT_EQ(shown(), "Qleft2");
}

// After an in-line edit the status bar counts the rows as they now differ,
// follows the modified state back to the saved text, and the save items
// follow the modified state.
TEST_F(MainWindowReadoutsTest, StatusAndSaveCommandsFollowEditsUndoAndSave) {
    {
        // The empty window has nothing to save.
        ui::TF_Main& w = makeWindow();
        w.updateControls();
        EXPECT_FALSE(action("SaveLeftFile1")->isEnabled());
        EXPECT_FALSE(action("SaveRightFile1")->isEnabled());
        (void)w;
    }
    ui::TF_Main& w = load({"a", "bb", "c", "d"}, {"a", "bb", "c", "d"});
    EXPECT_FALSE(action("SaveLeftFile1")->isEnabled());
    caretTo(2, 1);
    type("x");
    settle();
    EXPECT_EQ(status(), "Ln  2:Col 3 | Diff: 1 Block, 1 Line, Mod=1 Add=0 Del=0 | Left mod!");
    EXPECT_TRUE(action("SaveLeftFile1")->isEnabled());
    caretTo(1, 3);
    type("y");
    settle();
    EXPECT_EQ(status(), "Ln  4:Col 2 | Diff: 2 Blocks, 2 Lines, Mod=2 Add=0 Del=0 | Left mod!");

    // Saved, edited again, and undone back to the saved text: unmodified.
    ASSERT_TRUE(w.savePaneFile(engine::fccTabs().GetCurrentTab(), 0, 1));
    settle();
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
    EXPECT_FALSE(action("SaveLeftFile1")->isEnabled());
    caretTo(1, 0);
    type("z");
    settle();
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
    press(Qt::Key_Z, Qt::ControlModifier);
    settle();
    ASSERT_EQ(paneText(1), (QStringList{"a", "bxb", "c", "yd"}));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
    EXPECT_EQ(status(), "Ln  1:Col 1 | Diff: 2 Blocks, 2 Lines, Mod=2 Add=0 Del=0");
    EXPECT_FALSE(action("SaveLeftFile1")->isEnabled());
    // Undone past the save: the text differs from the file again.
    press(Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
    EXPECT_TRUE(action("SaveLeftFile1")->isEnabled());
    // A save merged into by typing on is no point to come back to.
    ASSERT_TRUE(w.savePaneFile(engine::fccTabs().GetCurrentTab(), 0, 1));
    caretTo(1, 2);
    type("p");
    ASSERT_TRUE(w.savePaneFile(engine::fccTabs().GetCurrentTab(), 0, 1));
    type("q");
    press(Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(paneText(1)[2], QStringLiteral("c"));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
}

// The binary view's status counts the differing bytes of the comparison.
TEST_F(MainWindowReadoutsTest, BinaryStatusCountsTheDifferingBytes) {
    ui::TF_Main& w = makeWindow();
    auto binary = [&](const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    };
    const QByteArray left("\x00\x01\x02\x03\xFF\xFE\x10\x11", 8);
    QByteArray right = left;
    right[1] = '\x09';
    w.loadAndCompare(3, binary(QStringLiteral("l.bin"), left), binary(QStringLiteral("r.bin"), right));
    settle();
    ASSERT_EQ(w.ViewType(), ui::vtBinary);
    EXPECT_NE(status().find("Diff: 1 Line, Bytes: Mod=1 Add=0 Del=0"), std::string::npos) << status();
}

// A resize by less than a row keeps the row count but not the bar's
// height: the bar is scaled again.
TEST_F(MainWindowReadoutsTest, OverviewBarRescalesAfterASmallResize) {
    config::AppSettings().GSShowDiffBar = true;
    QStringList left, right;
    for (int i = 1; i <= 3000; ++i) left << QStringLiteral("line %1").arg(i);
    right = left;
    right[2000] = QStringLiteral("changed");
    ui::TF_Main& w = load(left, right);
    const int rows = w.VisibleRows();
    w.resize(w.width(), w.height() + std::max(1, w.LineHeight() / 3));
    w.firePendingJobs();
    settle();
    ASSERT_EQ(w.VisibleRows(), rows) << "the resize was a whole row";
    const double expected = double(w.P_DiffBar->height() - 2) / engine::paneStores().VisibleRowCount();
    EXPECT_DOUBLE_EQ(w.OverviewBar()->Scale(), expected);
}

// A click in a details field makes its pane active for the editor too:
// typing, undo and copy act on that pane.
TEST_F(MainWindowReadoutsTest, ClickInADetailsFieldActivatesItsPaneEverywhere) {
    config::AppSettings().GSDetailPanel = true;
    ui::TF_Main& w = load({"a", "b"}, {"a", "c"});
    caretTo(1, 1, 1);
    w.refreshDetails(1);
    settle();
    QTest::mouseClick(w.eLine2->viewport(), Qt::LeftButton, {}, QPoint(3, w.eLine2->viewport()->height() / 2));
    settle();
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);
    EXPECT_EQ(engine::editor().ActiveSide, 2);
}

}  // namespace
