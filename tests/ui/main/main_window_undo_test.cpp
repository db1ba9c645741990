// The undo command on the offscreen window: edit scripts through the keys
// and the menus undone back to the start give back the texts, rows,
// difference marks, difference count and modified state; the copy of lines
// under the hide-lines filter, overwrite typing, unknown kinds, the undo
// mark, and a button press during a replay.

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QTimer>

#include <functional>
#include <random>

#include "access/program_log.h"
#include "tests/ui/main/edited_window_fixture.h"

namespace acc = tandex::access;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using tandex::testing::Snapshot;

namespace {

class MainWindowUndoTest : public tandex::testing::EditedWindowFixture {
protected:
    const QStringList left_ = {"alpha", "beta", "\tgamma", "delta", "epsilon", "zeta"};
    const QStringList right_ = {"alpha", "BETA", "gamma", "delta", "eta"};
};

TEST_F(MainWindowUndoTest, EditScriptsUndoneGroupByGroupGiveBackTheStart) {
    using Script = std::function<void(MainWindowUndoTest&, ui::TF_Main&)>;
    struct Case {
        const char* name;
        int pane;
        Script script;
    } cases[] = {
        {"typing", 1, [](auto& t, auto&) { caretTo(3, 1); t.type(QStringLiteral("xyz")); }},
        {"Backspace run", 1, [](auto& t, auto&) {
             caretTo(5, 0);
             for (int i = 0; i < 3; ++i) t.press(Qt::Key_Backspace);
         }},
        {"Delete run over a tab", 1, [](auto& t, auto&) {
             caretTo(1, 2);
             for (int i = 0; i < 3; ++i) t.press(Qt::Key_Delete);
         }},
        {"Backspace over a tab", 1, [](auto& t, auto&) {
             caretTo(1, 2);
             t.press(Qt::Key_End);
             t.press(Qt::Key_Home);
             t.press(Qt::Key_Right);
             t.press(Qt::Key_Backspace);
         }},
        {"Enter and typing", 2, [](auto& t, auto&) {
             caretTo(3, 1, 2);
             t.press(Qt::Key_Return);
             t.type(QStringLiteral("new"));
             t.press(Qt::Key_Return);
         }},
        {"Enter inside a tab, then Delete", 1, [](auto& t, auto&) {
             caretTo(4, 2);
             t.press(Qt::Key_Return);
             caretTo(2, 3);
             t.press(Qt::Key_Delete);
         }},
        {"typing on a gap row", 2, [](auto& t, auto&) {
             caretTo(4, 4, 2);
             t.type(QStringLiteral("ab"));
         }},
        {"join by Delete and Backspace", 1, [](auto& t, auto&) {
             caretTo(6, 0);
             t.press(Qt::Key_Delete);
             caretTo(1, 3);
             t.press(Qt::Key_Backspace);
         }},
        {"deleting a selection over lines", 1, [](auto& t, auto&) {
             t.select(3, 0, 2, 3);
             t.press(Qt::Key_Delete);
         }},
        {"deleting whole lines", 1, [](auto& t, auto&) {
             t.select(1, 1, 1, 3);
             t.press(Qt::Key_Delete);
         }},
        {"deleting the first line", 1, [](auto& t, auto&) {
             t.select(1, 0, 1, 1);
             t.press(Qt::Key_Delete);
         }},
        // Backspace has no line above to join these to.
        {"typing on the first row's gap", 1, [](auto& t, auto&) {
             t.select(1, 0, 1, 1);
             t.press(Qt::Key_Delete);
             caretTo(1, 0);
             t.type(QStringLiteral("ab"));
         }},
        {"Enter on the first row's gap", 1, [](auto& t, auto&) {
             t.select(1, 0, 1, 1);
             t.press(Qt::Key_Delete);
             caretTo(1, 0);
             t.press(Qt::Key_Return);
         }},
        {"deleting an empty span", 1, [](auto& t, auto&) {
             t.select(2, 0, 2, 0);
             t.press(Qt::Key_Delete);
             t.type(QStringLiteral("q"));
         }},
        {"deleting the last lines", 1, [](auto& t, auto& w) {
             caretTo(1, 4);
             t.press(Qt::Key_Down, Qt::ShiftModifier);
             t.press(Qt::Key_End, Qt::ShiftModifier);
             w.pmDelete1Click(nullptr);
         }},
        {"paste over a selection", 1, [](auto& t, auto& w) {
             QApplication::clipboard()->setText(QStringLiteral("p\nq\n\tr"));
             t.select(2, 1, 3, 2);
             w.pmPaste1Click(nullptr);
         }},
        {"cut and paste elsewhere", 1, [](auto& t, auto& w) {
             t.select(1, 1, 1, 2);
             w.pmCut1Click(nullptr);
             caretTo(3, 3);
             w.pmPaste1Click(nullptr);
         }},
        {"copying lines to the other pane", 2, [](auto&, auto& w) {
             caretTo(1, 0);
             engine::rows().SelectAllRows(1);
             config::AppSettings().CFCopyLines = false;
             w.BB_COPYTOClick(nullptr);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::TF_Main& w = load(left_, right_);
        const Snapshot start = snapshot();
        c.script(*this, w);
        w.firePendingJobs();
        EXPECT_NE(snapshot(), start);
        EXPECT_GT(undoAll(c.pane), 0);
        EXPECT_EQ(snapshot(), start);
    }
}

TEST_F(MainWindowUndoTest, ARandomEditScriptUndoesBackToTheStart) {
    for (unsigned seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        ui::TF_Main& w = load(left_, right_);
        const Snapshot start = snapshot();
        std::mt19937 random(seed);
        const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
        bool copied = false;
        std::string ops;
        for (int step = 0; step < 25; ++step) {
            const int rows = engine::paneStores().VisibleRowCount();
            const int row = pick(rows);
            int realRow = row;
            while (realRow > 0 && engine::rows().IsRowMissing(1, realRow)) --realRow;
            const int length = engine::rows().RowTextLength(1, realRow);
            const int column = 1 + pick(length + 1);
            caretTo(column, realRow);
            const int op = pick(copied ? 6 : 7);
            ops += std::to_string(op) + "@" + std::to_string(column) + "," + std::to_string(realRow) + " ";
            switch (op) {
            case 0: type(QStringLiteral("ab")); break;
            case 1:
                for (int i = pick(4); i >= 0; --i) press(Qt::Key_Backspace);
                break;
            case 2: press(Qt::Key_Delete); break;
            case 3: press(Qt::Key_Return); break;
            case 4:
                select(1, realRow, 1, std::min(rows - 1, realRow + pick(2)));
                press(Qt::Key_Delete);
                break;
            case 5:
                QApplication::clipboard()->setText(step % 2 ? QStringLiteral("x\ny") : QStringLiteral("z\n"));
                w.pmPaste1Click(nullptr);
                break;
            default:
                // Copying lines over the right pane once; its undo is the right pane's.
                engine::rows().SetRowSelection(1, realRow, 1, true, 0);
                config::AppSettings().CFCopyLines = false;
                w.BB_COPYTOClick(nullptr);
                copied = true;
                break;
            }
            w.firePendingJobs();
        }
        undoAll(1);
        undoAll(2);
        EXPECT_EQ(snapshot(), start) << ops;
    }
}

TEST_F(MainWindowUndoTest, UndoOfCopiedLinesWhileTheFilterHidesRows) {
    ui::TF_Main& w = load(left_, right_);
    const Snapshot start = snapshot();
    auto& r = engine::rows();
    // The hide-lines filter hides the lines holding "elt".
    auto& s = config::AppSettings();
    s.TEFilterEna = s.TEHideLnWith = s.TEHideLines = true;
    s.TEHideTxWith = QStringLiteral("elt");
    r.FilterTextRows(r.TextViewFilter);
    w.updateRowRange();
    ASSERT_GT(r.HiddenRowCount, 0);
    const int shown = engine::paneStores().VisibleRowCount();
    r.SelectAllRows(1);
    config::AppSettings().CFCopyLines = false;
    w.BB_COPYTOClick(nullptr);
    w.firePendingJobs();
    EXPECT_EQ(paneText(2), paneText(1));
    undoAll(2);
    EXPECT_EQ(paneText(2), start.right);
    EXPECT_EQ(paneText(1), start.left);
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
    // The filter is on again.
    EXPECT_EQ(engine::paneStores().LineFilterActive, 1);
    EXPECT_EQ(engine::paneStores().VisibleRowCount(), shown);
    s.TEHideLnWith = false;
    s.TEHideTxWith.clear();
}

TEST_F(MainWindowUndoTest, OverwriteTypingComesBackInItsOrder) {
    ui::TF_Main& w = load({"abcdef"}, {"abcdef"});
    const Snapshot start = snapshot();
    caretTo(2, 0);
    press(Qt::Key_Insert);
    ASSERT_EQ(engine::editor().InsertMode, 0);
    type(QStringLiteral("XYZ"));
    // The second character goes past the end: appended, it is a group of its own.
    caretTo(6, 0);
    type(QStringLiteral("12"));
    EXPECT_EQ(paneText(1), QStringList({"aXYZe12"}));
    w.Undo1Click(nullptr);
    EXPECT_EQ(paneText(1), QStringList({"aXYZe1"}));
    w.Undo1Click(nullptr);
    EXPECT_EQ(paneText(1), QStringList({"aXYZef"}));
    w.Undo1Click(nullptr);
    EXPECT_EQ(snapshot(), start);
    EXPECT_EQ(engine::editor().InsertMode, 0);
}

TEST_F(MainWindowUndoTest, AnUnknownKindIsLoggedAndTheGroupGoesOn) {
    ui::TF_Main& w = load({"one", "two", "three"}, {"one", "two", "three"});
    const QString log = dir_.filePath(QStringLiteral("log.txt"));
    acc::FZSetLogFile(log);
    auto& undo = engine::undoStack();
    undo.BeginUndoGroup();
    undo.PushUndo(engine::ukCaret, 1, 2, {}, 3);
    undo.PushUndo(99, 1, 1, {}, 1);
    // A replace record without its partner is unknown too.
    undo.PushUndo(engine::ukWindowEdit2, 1, 1, QStringLiteral("x"), 1);
    caretTo(1, 0);
    w.Undo1Click(nullptr);
    acc::FZSetLogFile({});
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Unkown UNDO: 99"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Unkown UNDO: 2"))) << text.toStdString();
    // The caret record at the group's start was replayed after them.
    EXPECT_EQ(engine::editor().Caret.Row, 2);
    EXPECT_EQ(engine::editor().Caret.Column, 3);
    EXPECT_FALSE(undo.HasUndo(1));
    EXPECT_EQ(paneText(1), QStringList({"one", "two", "three"}));
}

TEST_F(MainWindowUndoTest, AnEmptiedStackLeavesThePaneAsItsUndoMarkSays) {
    for (bool mark : {false, true}) {
        SCOPED_TRACE(mark);
        ui::TF_Main& w = load({"one"}, {"one"});
        engine::undoStack().UndoMark[1] = mark ? 1 : 0;
        caretTo(4, 0);
        type(QStringLiteral("s"));
        ASSERT_TRUE(engine::fccTabs().IsPaneModified(1));
        w.Undo1Click(nullptr);
        EXPECT_EQ(paneText(1), QStringList({"one"}));
        EXPECT_EQ(engine::fccTabs().IsPaneModified(1), mark);
        // Ctrl+Z on the empty stack changes nothing.
        w.Undo1Click(nullptr);
        EXPECT_EQ(paneText(1), QStringList({"one"}));
        EXPECT_EQ(engine::fccTabs().IsPaneModified(1), mark);
    }
}

TEST_F(MainWindowUndoTest, TheLeftButtonPressedDuringAReplayDoesNothing) {
    // Delivers the presses that wait while the replay processes messages.
    class PressingPump : public config::EventPump {
    public:
        std::function<bool()> onPump;
        void processEvents() override {
            if (onPump && onPump()) onPump = nullptr;
        }
    } pump;
    ui::TF_Main& w = load({"one", "two"}, {"one", "two"});
    caretTo(4, 0);
    type(QStringLiteral("a"));
    caretTo(4, 1);
    press(Qt::Key_Return);
    caretTo(1, 0, 2);
    config::setEventPump(&pump);
    int presses = 0;
    pump.onPump = [&] {
        if (!w.UndoRunning()) return false;
        ++presses;
        w.TB_UNDOLClick(w.TB_UNDOL);
        w.Undo1Click(nullptr);
        return true;
    };
    // The Enter's line split is undone by a join, which processes messages.
    w.TB_UNDOLClick(w.TB_UNDOL);
    config::setEventPump(nullptr);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(engine::editor().ActiveSide, 1);
    EXPECT_EQ(paneText(1), QStringList({"onea", "two"}));
    EXPECT_TRUE(engine::undoStack().HasUndo(1));
    EXPECT_FALSE(w.UndoRunning());
    EXPECT_EQ(engine::paneStores().UndoEnabled, 1);
}

}  // namespace
