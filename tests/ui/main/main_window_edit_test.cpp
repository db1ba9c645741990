// Paste, cut and delete on the offscreen window: where pasted lines go, how
// long lines are broken, the join by Delete and its undo record, the
// binary view's refusal, and cut through Shift+Delete.

#include <QAction>
#include <QClipboard>
#include <QMenu>

#include "tests/ui/main/edited_window_fixture.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowEditTest : public tandex::testing::EditedWindowFixture {};

TEST_F(MainWindowEditTest, PastedLinesBreakAtCRAndTheRestOfTheLineMovesToTheLast) {
    struct Case {
        const char* name;
        QString clipboard;
        int column;
        int maxColumns;
        QStringList expected;
        int caretRow, caretColumn;
    } cases[] = {
        {"CR LF below", QStringLiteral("a\r\nb"), 3, 1024, {"one", "xya", "bz", "three"}, 2, 2},
        {"LF from the clipboard", QStringLiteral("a\nb"), 3, 1024, {"one", "xya", "bz", "three"}, 2, 2},
        {"first column goes above", QStringLiteral("a\nb"), 1, 1024, {"one", "a", "bxyz", "three"}, 2, 2},
        {"one line", QStringLiteral("ab"), 2, 1024, {"one", "xabyz", "three"}, 1, 4},
        // A CR at the very end is a line break, not a character in the line.
        {"final CR", QStringLiteral("ab\r"), 3, 1024, {"one", "xyab", "z", "three"}, 2, 1},
        // Broken at the longest line, and the last line at the caret too.
        {"long lines", QStringLiteral("abcdef"), 3, 4, {"one", "xyab", "cdef", "z", "three"}, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::TF_Main& w = load({"one", "xyz", "three"}, {"one", "xyz", "three"});
        config::AppSettings().TEMaxColumns = c.maxColumns;
        QApplication::clipboard()->setText(c.clipboard);
        caretTo(c.column, 1);
        w.pmPaste1Click(nullptr);
        EXPECT_EQ(paneText(1), c.expected);
        EXPECT_EQ(paneText(2), QStringList({"one", "xyz", "three"}));
        EXPECT_EQ(engine::editor().Caret.Row, c.caretRow);
        EXPECT_EQ(engine::editor().Caret.Column, c.caretColumn);
        EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
        // The paste is one group: one undo takes it back whole.
        const auto before = engine::undoStack().Records(1).size();
        ASSERT_GT(before, 0u);
        w.Undo1Click(nullptr);
        EXPECT_EQ(paneText(1), QStringList({"one", "xyz", "three"}));
        EXPECT_FALSE(engine::undoStack().HasUndo(1));
        EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
        config::AppSettings().TEMaxColumns = 1024;
    }
}

TEST_F(MainWindowEditTest, InsertTextKeepsALoneLineFeedInsideTheLine) {
    ui::TF_Main& w = load({"xyz"}, {"xyz"});
    caretTo(1, 0);
    w.insertText(QStringLiteral("a\nb"), 0, 2);
    ASSERT_EQ(engine::paneStores().LineCount[1], 1);
    EXPECT_EQ(engine::paneStores().TextLines[1][0]->Text, QStringLiteral("xa\nbyz"));
}

TEST_F(MainWindowEditTest, DeleteAtALineEndJoinsAndUndoSplitsAgain) {
    ui::TF_Main& w = load({"alpha", "beta", "gamma"}, {"alpha", "beta", "gamma"});
    const auto before = snapshot();
    caretTo(6, 0);
    press(Qt::Key_Delete);
    EXPECT_EQ(paneText(1), QStringList({"alphabeta", "gamma"}));
    const auto& records = engine::undoStack().Records(1);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().Kind, engine::ukWindowEdit6);
    EXPECT_EQ(records.back().Column, 6);
    EXPECT_EQ(records.back().Line, 1u);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(snapshot(), before);

    // Backspace at a line start joins the same way.
    caretTo(1, 2);
    press(Qt::Key_Backspace);
    EXPECT_EQ(paneText(1), QStringList({"alpha", "betagamma"}));
    w.Undo1Click(nullptr);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(MainWindowEditTest, ShiftDeleteCutsTheSelectionAndPasteBringsItBack) {
    ui::TF_Main& w = load({"one", "two", "three"}, {"one", "two", "three"});
    select(2, 0, 3, 1);
    press(Qt::Key_Delete, Qt::ShiftModifier);
    const QString cut = QApplication::clipboard()->text();
    EXPECT_EQ(cut, QStringLiteral("ne\ntw"));
    EXPECT_EQ(paneText(1), QStringList({"oo", "three"}));
    w.pmPaste1Click(nullptr);
    EXPECT_EQ(paneText(1), QStringList({"one", "two", "three"}));
    // The cut and the paste are a group each.
    w.Undo1Click(nullptr);
    EXPECT_EQ(paneText(1), QStringList({"oo", "three"}));
    w.Undo1Click(nullptr);
    EXPECT_EQ(paneText(1), QStringList({"one", "two", "three"}));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
}

// The clipboard keys reach the Edit menu from the keyboard, as Ctrl+Z does.
TEST_F(MainWindowEditTest, CtrlVPastesAndCtrlXAndCtrlCCutAndCopy) {
    ui::TF_Main& w = load({"one", "two", "three"}, {"one", "two", "three"});
    // The Edit menu, last opened with nothing to copy or paste, must not
    // keep its items disabled for the keys.
    QApplication::clipboard()->clear();
    w.menuPopup(w.findChild<QMenu*>(QStringLiteral("Edit1")));
    QApplication::clipboard()->setText(QStringLiteral("ab"));
    settle();
    caretTo(2, 1);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(paneText(1), QStringList({"one", "tabwo", "three"}));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));

    select(1, 0, 3, 0);
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("on"));
    EXPECT_EQ(paneText(1), QStringList({"one", "tabwo", "three"}));

    select(2, 1, 4, 1);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ab"));
    EXPECT_EQ(paneText(1), QStringList({"one", "two", "three"}));

    // Ctrl+Z takes the cut back, then the paste.
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(paneText(1), QStringList({"one", "tabwo", "three"}));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(paneText(1), QStringList({"one", "two", "three"}));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
}

TEST_F(MainWindowEditTest, TheMenusOfferTheEditCommands) {
    ui::TF_Main& w = load({"one"}, {"one"});
    for (const char* name : {"Undo1", "Cut1", "Paste1"})
        EXPECT_TRUE(w.findChild<QAction*>(QLatin1String(name))->isVisible()) << name;
    w.buildContextMenu();
    for (QAction* item : {w.pmCut1, w.pmPaste1, w.pmDelete1}) EXPECT_TRUE(item->isVisible());
}

TEST_F(MainWindowEditTest, TheBinaryViewRefusesToEdit) {
    ui::TF_Main& w = load({"one"}, {"one"});
    engine::paneStores().BinaryMode = 1;
    engine::rows().SelectSelectionMode(true);
    w.arrangeLayout(ui::vtBinary);
    ASSERT_EQ(w.ViewType(), ui::vtBinary);
    QApplication::clipboard()->setText(QStringLiteral("text"));
    w.pmPaste1Click(nullptr);
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text, QStringLiteral("The editing of binary files is not yet supported!"));
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral(" Editing binary files "));
    EXPECT_FALSE(engine::undoStack().HasUndo(1));
    engine::paneStores().BinaryMode = 0;
    engine::rows().SelectSelectionMode(false);
}

}  // namespace
