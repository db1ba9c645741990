// The navigation walks on hand-made rows.

#include "ui/main/diff_nav.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ui = tandex::ui;

namespace {

// Rows from a pattern: 'd' a differing row, '.' an equal one, 'F' a
// differing folder row.
class FakeRows : public ui::TNavRows {
public:
    explicit FakeRows(std::string pattern) : pattern_(std::move(pattern)) {}
    int RowCount() const override { return int(pattern_.size()); }
    bool Differs(int row) const override { return pattern_[size_t(row)] != '.'; }
    int FolderState(int row) const override { return pattern_[size_t(row)] == 'F' ? 1 : 0; }
    int LineNumber(int pane, int row) const override { return numbers[size_t(pane)].at(size_t(row)); }
    int TextLength(int pane, int row) const override { return lengths[size_t(pane)].at(size_t(row)); }
    std::vector<int> numbers[3], lengths[3];

private:
    std::string pattern_;
};

TEST(DiffNavTest, NextRunLeavesTheCurrentOneOnlyWhenAsked) {
    const FakeRows rows("..ddd..dd.");
    struct Case {
        int from;
        bool leave;
        int first, last;
    };
    const Case cases[] = {
        {0, true, 2, 4},   // before any run
        {3, true, 7, 8},   // inside a run: the next one
        {3, false, 3, 4},  // after a load: the run under the caret, from the caret on
        {2, false, 2, 4},
        {8, true, -1, -1},  // no further difference
        {-1, false, 2, 4},
    };
    for (const Case& c : cases) {
        const ui::TDiffRun run = ui::NextDifferenceRun(rows, c.from, c.leave);
        EXPECT_EQ(run.first, c.first) << "from " << c.from;
        EXPECT_EQ(run.last, c.last) << "from " << c.from;
    }
    // A folder row ends a run and is never a hit.
    const ui::TDiffRun run = ui::NextDifferenceRun(FakeRows(".ddF.d"), 1, true);
    EXPECT_EQ(run.first, 5);
}

TEST(DiffNavTest, PreviousRunLandsOnTheRunsFirstRow) {
    const FakeRows rows("..ddd..dd.");
    struct Case {
        int from, first, last;
    };
    const Case cases[] = {
        {9, 7, 8},    // after the last run
        {8, 2, 4},    // inside the last run: the one before
        {7, 2, 4},    // on a run's first row: never the same run again
        {3, -1, -1},  // inside the first run: nothing before it
        {0, -1, -1},
    };
    for (const Case& c : cases) {
        const ui::TDiffRun run = ui::PreviousDifferenceRun(rows, c.from);
        EXPECT_EQ(run.first, c.first) << "from " << c.from;
        EXPECT_EQ(run.last, c.last) << "from " << c.from;
    }
    // From the last row (the last-difference command) the run holding it counts.
    EXPECT_EQ(ui::PreviousDifferenceRun(FakeRows("..ddd..ddd"), 9).first, 7);
}

// A tree whose closed folders open on request: each node a name, a
// differs flag and children; the rows are the shown nodes in order.
class FakeTree : public ui::TNavRows {
public:
    struct Node {
        bool folder = false, differs = false, open = false;
        int depth = 0;
        std::vector<Node> children;
    };
    explicit FakeTree(std::vector<Node> roots) : roots_(std::move(roots)) {}
    int RowCount() const override { return int(shown().size()); }
    bool Differs(int row) const override { return shown()[size_t(row)]->differs; }
    int FolderState(int row) const override {
        const Node* n = shown()[size_t(row)];
        return n->folder ? (n->open ? 2 : 1) : 0;
    }
    int Depth(int row) const override { return shown()[size_t(row)]->depth; }
    int LineNumber(int, int) const override { return -1; }
    int TextLength(int, int) const override { return 0; }
    int OpenFolder(int row) const override {
        Node* n = shown()[size_t(row)];
        const int before = RowCount();
        n->open = true;
        ++opened;
        return RowCount() - before;
    }
    mutable int opened = 0;

private:
    std::vector<Node*> shown() const {
        std::vector<Node*> out;
        std::function<void(std::vector<Node>&)> walk = [&](std::vector<Node>& nodes) {
            for (Node& n : nodes) {
                out.push_back(&n);
                if (n.folder && n.open) walk(n.children);
            }
        };
        walk(roots_);
        return out;
    }
    mutable std::vector<Node> roots_;
};

using Node = FakeTree::Node;

// file, closed{ file, closed{ diff, diff } }, closed{ diff, file }
std::vector<Node> nestedTree() {
    return {{false, false, false, 0, {}},
            {true, true, false, 0,
             {{false, false, false, 1, {}},
              {true, true, false, 1, {{false, true, false, 2, {}}, {false, true, false, 2, {}}}}}},
            {true, true, false, 0, {{false, true, false, 1, {}}, {false, false, false, 1, {}}}}};
}

TEST(DiffNavTest, WalksOpenClosedFoldersOnTheirWay) {
    // Forward: both closed folders open and the run is the two deep files.
    FakeTree tree(nestedTree());
    const ui::TDiffRun next = ui::NextDifferenceRun(tree, 0, true);
    EXPECT_EQ(next.first, 4);
    EXPECT_EQ(next.last, 5);
    EXPECT_EQ(tree.Depth(4), 2);
    // Backward from the last row: the closed folder is entered at its end;
    // its last child is equal, so the hit is the child before it.
    FakeTree back(nestedTree());
    const ui::TDiffRun previous = ui::PreviousDifferenceRun(back, back.RowCount() - 1);
    EXPECT_EQ(previous.first, 3);
    EXPECT_EQ(back.RowCount(), 5);
    EXPECT_EQ(back.opened, 1) << "folders behind the hit stay closed";
    // The longest path's row: the first at a depth.
    EXPECT_EQ(ui::FirstRowAtDepth(tree, 2), 4);
    EXPECT_EQ(ui::FirstRowAtDepth(tree, 3), -1);
}

TEST(DiffNavTest, FileStepsEnterFoldersAndStopAtTheEnds) {
    FakeTree tree(nestedTree());
    // From the first file forward: through both closed folders.
    EXPECT_EQ(ui::StepFileRow(tree, 0, true), 2);
    EXPECT_EQ(ui::StepFileRow(tree, 2, true), 4);
    // Back from the last folder's first child: into the folder before, at its last entry.
    FakeTree back(nestedTree());
    back.OpenFolder(2);  // rows: file, closed, open{diff, file}
    EXPECT_EQ(ui::StepFileRow(back, 3, false), 5) << "the previous folder's last child, opened two deep";
    EXPECT_EQ(ui::StepFileRow(back, 0, false), -1);
    FakeTree end(nestedTree());
    end.OpenFolder(2);
    EXPECT_EQ(ui::StepFileRow(end, end.RowCount() - 1, true), end.RowCount());
}

TEST(DiffNavTest, ScrollRowIntoViewKeepsShownRowsAndLandsFiveBelowTheTop) {
    EXPECT_EQ(ui::ScrollTopForRow(40, 1, 30), 36);
    EXPECT_EQ(ui::ScrollTopForRow(10, 1, 30), 1);   // shown already
    EXPECT_EQ(ui::ScrollTopForRow(28, 1, 30), 1);
    EXPECT_EQ(ui::ScrollTopForRow(29, 1, 30), 25);  // the page's last row is not "shown"
    EXPECT_EQ(ui::ScrollTopForRow(2, 20, 30), 1);   // never above the first row
    EXPECT_EQ(ui::ScrollTopForRow(9, 1, 4), 8);     // a short page: half of it
}

TEST(DiffNavTest, LongestLinePrefersTheFirstRowAndTheLeftPaneOnATie) {
    FakeRows rows("....");
    rows.lengths[1] = {3, 9, 4, 9};
    rows.lengths[2] = {3, 9, 4, 12};
    EXPECT_EQ(ui::LongestLine(rows).row, 3);
    EXPECT_EQ(ui::LongestLine(rows).pane, 2);
    rows.lengths[2] = {3, 9, 4, 2};
    EXPECT_EQ(ui::LongestLine(rows).row, 1);
    EXPECT_EQ(ui::LongestLine(rows).pane, 1);
}

TEST(DiffNavTest, GoToFindsShownLinesOnly) {
    FakeRows rows("....");
    rows.numbers[1] = {1, 2, 5, 6};  // lines 3 and 4 hidden by a filter
    rows.numbers[2] = {1, -1, 2, 3};
    EXPECT_EQ(ui::RowOfLine(rows, 1, 4), 2);
    EXPECT_EQ(ui::RowOfLine(rows, 1, 2), -1);
    EXPECT_EQ(ui::RowOfLine(rows, 2, 1), 2);
    EXPECT_EQ(ui::LastNumberedRow(rows, 2), 3);
    rows.numbers[2] = {0, -1, -1, -1};  // a byte offset of 0 counts
    EXPECT_EQ(ui::LastNumberedRow(rows, 2), 0);
}

TEST(DiffNavTest, HexGroupColumnStepsOverPadding) {
    const QString nb(QChar(0xA0));
    const QString padded = "65 " + nb + nb + " 67 68   e" + nb + "gh";
    EXPECT_EQ(ui::HexGroupColumn("41 42 43 44   ABCD", 0, 4), 1);
    EXPECT_EQ(ui::HexGroupColumn("41 42 43 44   ABCD", 2, 4), 7);
    EXPECT_EQ(ui::HexGroupColumn("41 42 43 44   ABCD", 9, 4), 10);  // at most the row's groups
    EXPECT_EQ(ui::HexGroupColumn(padded, 1, 4), 7);
    EXPECT_EQ(ui::HexGroupColumn(QString(), 0, 4), 0);
}

TEST(DiffNavTest, ScrollStepsOfTheBar) {
    // 100 rows, 20 a page: the last page starts at 81.
    struct Case {
        ui::TScrollStep step;
        int top, expected;
    };
    const Case cases[] = {
        {ui::TScrollStep::LineUp, 1, 1},    {ui::TScrollStep::LineUp, 10, 9},
        {ui::TScrollStep::LineDown, 10, 11}, {ui::TScrollStep::LineDown, 81, 81},
        {ui::TScrollStep::PageUp, 30, 11},  {ui::TScrollStep::PageUp, 5, 1},
        {ui::TScrollStep::PageDown, 1, 20}, {ui::TScrollStep::PageDown, 75, 81},
        {ui::TScrollStep::PageDown, 81, 81}, {ui::TScrollStep::Track, 10, 50},
        {ui::TScrollStep::Other, 10, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::ScrollStepTop(c.step, c.top, 100, 20, 50), c.expected) << int(c.step) << " at " << c.top;
    EXPECT_EQ(ui::SnapHexPosition(5), 4);
    EXPECT_EQ(ui::SnapHexPosition(1), 1);
    EXPECT_EQ(ui::SnapHexPosition(7), 7);
}

TEST(DiffNavTest, WheelKeepsTheRemainderBetweenEvents) {
    ui::TWheelSteps wheel;
    EXPECT_EQ(wheel.Rows(120), 3);
    EXPECT_EQ(wheel.Rows(-120), -3);
    EXPECT_EQ(wheel.Rows(40), 1);
    int rows = 0;
    for (int i = 0; i < 8; ++i) rows += wheel.Rows(15);
    EXPECT_EQ(rows, 3);
    // A remainder never carries into a turn the other way.
    EXPECT_EQ(wheel.Rows(30), 0);
    EXPECT_EQ(wheel.Rows(-30), 0);
    EXPECT_EQ(wheel.Rows(-10), -1);

    EXPECT_EQ(ui::WheelTop(3, 10, 100, 20), 7);
    EXPECT_EQ(ui::WheelTop(3, 2, 100, 20), 1);
    EXPECT_EQ(ui::WheelTop(3, 1, 100, 20), 1);
    EXPECT_EQ(ui::WheelTop(-3, 10, 100, 20), 13);
    EXPECT_EQ(ui::WheelTop(-3, 80, 100, 20), 81);
    EXPECT_EQ(ui::WheelTop(-3, 81, 100, 20), 81);
}

}  // namespace
