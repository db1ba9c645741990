// The selection model on rows the engine made: the selection commands, Ctrl
// toggling and the Shift selections from an anchor above, below or on the row.

#include <vector>

#include "engine/folder_rows.h"
#include "tests/ui/main/compared_window_fixture.h"

namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowSelectTest : public tandex::testing::ComparedWindowFixture {
protected:
    // Rows: 0 equal, 1 left only, 2 equal, 3 changed, 4 equal, 5 right only.
    ui::TF_Main& makePair() {
        ui::TF_Main& w = makeWindow();
        compare({"same one", "left only", "same two", "old text", "same three"},
                {"same one", "same two", "new text", "same three", "right only"});
        return w;
    }
    static std::vector<int> selectedRows(int pane) {
        std::vector<int> out;
        for (int row = 0; row < engine::paneStores().VisibleRowCount(); ++row)
            if (engine::rows().IsRowSelected(pane, row)) out.push_back(row);
        return out;
    }
    static quint32 range(int first, int last) { return quint32(first) | quint32(last) << 16; }
    static constexpr int kEnd = int(engine::kSelectionToEnd);
};

TEST_F(MainWindowSelectTest, CommandsSelectWholeRowsOfTheActivePane) {
    ui::TF_Main& w = makePair();
    ASSERT_EQ(rowTexts(), "same one|same one / left only|~ * / same two|same two / old text|new text * / same three|same three / ~|right only *");
    auto& st = engine::paneStores();
    st.FileTimes[1] = 100;
    st.FileTimes[2] = 200;
    struct Case {
        int command, pane;
        std::vector<int> preselected, expected;
    } cases[] = {
        {-1, 1, {}, {}},               // the right file is the newer one
        {-1, 2, {}, {1, 3, 5}},
        {-2, 1, {}, {1, 3, 5}},
        {-3, 1, {}, {1}},              // missing on the other pane
        {-3, 2, {}, {5}},
        {-4, 1, {}, {0, 2, 4}},
        {-4, 1, {1}, {0, 1, 2, 4}},    // commands add to what is selected
        {-5, 2, {}, {0, 1, 2, 3, 4, 5}},
        {-6, 1, {0, 3}, {1, 2, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.command << " pane " << c.pane);
        engine::rows().ClearSelection();
        engine::editor().SetActiveSide(c.pane);
        for (int row : c.preselected) engine::rows().SetRowSelection(c.pane, row, 1, true, 0);
        w.applySelection(Qt::NoModifier, c.command);
        EXPECT_EQ(selectedRows(c.pane), c.expected);
        EXPECT_TRUE(selectedRows(3 - c.pane).empty());
    }
}

TEST_F(MainWindowSelectTest, CtrlTogglesAndAPlainClickClears) {
    ui::TF_Main& w = makePair();
    w.applySelection(Qt::ControlModifier, 2);
    w.applySelection(Qt::ControlModifier, 4);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{2, 4}));
    w.applySelection(Qt::ControlModifier, 2);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{4}));
    w.applySelection(Qt::NoModifier, 3);
    EXPECT_TRUE(selectedRows(1).empty());
}

TEST_F(MainWindowSelectTest, ShiftTurnsTheCaretSelectionIntoColumnRanges) {
    ui::TF_Main& w = makePair();
    auto& ed = engine::editor();
    auto& r = engine::rows();
    struct Mark {
        int row;
        quint32 range;
    };
    struct Case {
        const char* name;
        engine::TEditSelection selection;
        int row;
        std::vector<Mark> marks;
    } cases[] = {
        {"no end row", {3, 2, 7, -1}, 2, {{2, range(3, 7)}}},
        {"same row, backwards", {7, 2, 3, 2}, 2, {{2, range(3, 7)}}},
        {"same row to the line end", {5, 2, 0, 2}, 2, {{2, range(1, kEnd)}}},
        {"whole row from the margin", {0, 3, 0, 3}, 3, {{3, range(1, kEnd)}}},
        {"anchor above", {4, 0, 2, 3}, 3, {{0, range(4, kEnd)}, {1, range(1, kEnd)}, {2, range(1, kEnd)}, {3, range(1, 2)}}},
        {"anchor below", {4, 3, 2, 0}, 0, {{0, range(2, kEnd)}, {1, range(1, kEnd)}, {2, range(1, kEnd)}, {3, range(1, 4)}}},
        {"anchor above, whole rows", {0, 2, 0, 4}, 4, {{2, range(1, kEnd)}, {3, range(1, kEnd)}, {4, range(1, kEnd)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A stale mark elsewhere goes unless the selection has no end row.
        r.ClearSelection();
        ed.Selection = c.selection;
        w.applySelection(Qt::ShiftModifier, c.row);
        std::vector<int> expectedRows;
        for (const Mark& m : c.marks) {
            EXPECT_EQ(r.RowSelectionRange(1, m.row), m.range) << "row " << m.row;
            expectedRows.push_back(m.row);
        }
        EXPECT_EQ(selectedRows(1), expectedRows);
    }

    // Shift with an end row replaces the marks; without one it adds a range.
    r.SetRowSelection(1, 5, 1, true, 0);
    ed.Selection = {2, 0, 3, 0};
    w.applySelection(Qt::ShiftModifier, 0);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{0}));
    r.SetRowSelection(1, 5, 1, true, 0);
    ed.Selection = {2, 0, 3, -1};
    w.applySelection(Qt::ShiftModifier, 0);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{0, 5}));
}

}  // namespace
