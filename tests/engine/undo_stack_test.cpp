#include "engine/undo_stack.h"

#include "engine/main_window_services.h"
#include "pane_fixture.h"

#include <gtest/gtest.h>

using namespace tandex::engine;
using namespace tandex::engine::testing;

namespace {

class UndoStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetEngineState();
        loadPanes({"line one", std::nullopt, "line two"}, {"line one", "x", "line two"});
    }
    UndoStack& u = undoStack();
};

struct Push {
    int kind, row;
    const char* text;
    int column;
};

TEST_F(UndoStackTest, KeystrokeRunsMergeIntoOneRecord) {
    struct Case {
        const char* name;
        std::vector<Push> pushes;
        size_t records;
        int topColumn, topMerges;
        const char* topText;
    } cases[] = {
        {"typing forward", {{9, 0, "", 1}, {9, 0, "", 2}, {9, 0, "", 3}, {9, 0, "", 4}, {9, 0, "", 5}}, 1, 5, 4, ""},
        {"overwriting forward", {{9, 0, "a", 1}, {9, 0, "b", 2}}, 1, 2, 1, "ab"},
        {"typing then overwriting", {{9, 0, "", 1}, {9, 0, "b", 2}}, 2, 2, 0, "b"},
        {"typing on two lines", {{9, 0, "", 1}, {9, 2, "", 2}}, 2, 2, 0, ""},
        {"backspace run", {{4, 0, "c", 5}, {4, 0, "b", 4}, {4, 0, "a", 3}}, 1, 3, 2, "cba"},
        {"delete in place", {{5, 0, "a", 3}, {5, 0, "b", 3}}, 1, 3, 1, "ab"},
        {"delete elsewhere", {{5, 0, "a", 3}, {5, 0, "b", 4}}, 2, 4, 0, "b"},
        {"row of a gap uses the next line", {{9, 1, "", 1}, {9, 2, "", 2}}, 1, 2, 1, ""},
        {"other kinds never merge", {{8, 0, "1:2", 2}, {8, 0, "1:3", 3}}, 2, 3, 0, "1:3"},
    };
    for (const auto& c : cases) {
        u.ClearUndo(1);
        for (const auto& p : c.pushes) u.PushUndo(p.kind, 1, p.row, QString::fromUtf8(p.text), p.column);
        const auto& recs = u.Records(1);
        ASSERT_EQ(recs.size(), c.records) << c.name;
        EXPECT_EQ(recs.back().Column, c.topColumn) << c.name;
        EXPECT_EQ(recs.back().MergeCount, c.topMerges) << c.name;
        EXPECT_EQ(recs.back().Text, QString::fromUtf8(c.topText)) << c.name;
    }
}

// The saved point: where the stack stood at the last save, as long as no
// record at it was merged into and none below it was popped.
TEST_F(UndoStackTest, SavedPointSurvivesOnlyUntouchedRecords) {
    struct Case {
        const char* name;
        std::vector<Push> before, after;  // pushes before and after the save
        int pops;
        std::vector<Push> last;  // pushes after the pops
        bool atSaved;
    } cases[] = {
        {"nothing since", {{9, 0, "", 1}}, {}, 0, {}, true},
        {"a new record, undone", {{9, 0, "", 1}}, {{9, 2, "", 1}}, 1, {}, true},
        {"typing on merged into the saved record", {{9, 0, "", 1}}, {{9, 0, "", 2}}, 0, {}, false},
        {"undone past the save, typed up to its depth", {{9, 0, "", 1}, {9, 2, "", 1}}, {}, 1, {{9, 2, "", 1}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        u.ClearUndo(1);
        EXPECT_TRUE(u.AtSavedPoint(1)) << "a cleared stack is the loaded text";
        for (const auto& p : c.before) u.PushUndo(p.kind, 1, p.row, "", p.column);
        u.MarkSaved(1);
        for (const auto& p : c.after) u.PushUndo(p.kind, 1, p.row, "", p.column);
        for (int i = 0; i < c.pops; ++i) u.PopUndo(1);
        for (const auto& p : c.last) u.PushUndo(p.kind, 1, p.row, "", p.column);
        EXPECT_EQ(u.AtSavedPoint(1), c.atSaved);
    }
}

TEST_F(UndoStackTest, LineNumbersComeFromTheRowOnlyForCaretKinds) {
    u.PushUndo(ukTyped, 1, 2, "", 1);
    u.PushUndo(ukNewLine, 1, 7, "", 1);
    EXPECT_EQ(u.Records(1)[0].Line, 2u);  // row 2 shows line 2 of the left pane
    EXPECT_EQ(u.Records(1)[1].Line, 7u);
}

TEST_F(UndoStackTest, MergingStopsAtTheLineLength) {
    tandex::config::AppSettings().TEMaxColumns = 3;
    for (int col = 1; col <= 4; ++col) u.PushUndo(ukTyped, 1, 0, "", col);
    ASSERT_EQ(u.Records(1).size(), 2u);
    EXPECT_EQ(u.Records(1)[0].MergeCount, 2);
}

TEST_F(UndoStackTest, GroupsPopsAndSwitches) {
    struct Window : MainWindowServices {
        int refreshes = 0;
        void updateControls() override { ++refreshes; }
    } window;
    setMainWindow(&window);
    u.BeginUndoGroup();
    u.PushUndo(ukCaret, 1, 0, "", 1);
    u.PushUndo(ukPosition, 1, 0, "1:1", 1);
    u.PushUndo(ukCaret, 2, 0, "", 1);
    EXPECT_EQ(window.refreshes, 2);  // once per stack that became non-empty
    setMainWindow(nullptr);
    EXPECT_EQ(u.Records(1)[0].Continues, 0);
    EXPECT_EQ(u.Records(1)[1].Continues, 1);

    TUndoRec top = u.PopUndo(1);
    EXPECT_EQ(top.Kind, ukPosition);
    EXPECT_EQ(top.Text, "1:1");
    u.PopUndo(1);
    EXPECT_FALSE(u.HasUndo(1));
    EXPECT_EQ(u.PopUndo(1).Kind, ukNone);
    EXPECT_EQ(u.PopUndo(3).Kind, ukNone);

    paneStores().UndoEnabled = 0;
    u.PushUndo(ukCaret, 1, 0, "", 1);
    u.PushUndo(ukCaret, 0, 0, "", 1);
    EXPECT_FALSE(u.HasUndo(1));
    paneStores().UndoEnabled = 1;
    u.UndoMark[2] = 1;
    u.ClearUndo(2);
    EXPECT_FALSE(u.HasUndo(2));
    EXPECT_EQ(u.UndoMark[2], 0);
}

}  // namespace
