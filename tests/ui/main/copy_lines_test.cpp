// Copying line pairs over the other pane without a window: what each kind
// of pair does to the target, the undo record it leaves, and the target's
// line numbers after a run over several marked lines.

#include "ui/main/copy_lines.h"

#include <gtest/gtest.h>

#include <optional>

#include "engine/tab_slots.h"
#include "tests/engine/pane_fixture.h"

namespace engine = tandex::engine;
namespace ui = tandex::ui;
using engine::testing::PaneLines;

namespace {

class CopyLinesTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        engine::testing::resetEngineState();
        engine::rows().InitRows();
        engine::fccTabs().InitTabSlots();
        for (int pane = 1; pane <= 2; ++pane) engine::undoStack().ClearUndo(pane);
    }
    static std::optional<QString> line(int pane, int index) {
        const engine::TTextLine* l = engine::paneStores().TextLines[size_t(pane)][index];
        if (l->Gap) return std::nullopt;
        return l->Text;
    }
};

TEST_F(CopyLinesTest, EachKindOfPairChangesTheTargetAndLeavesItsUndoRecord) {
    struct Case {
        const char* name;
        std::optional<QString> source, target;
        bool changed;
        int column;        // of the kind-12 record
        quint32 line;
        QString undoText;
    } cases[] = {
        {"equal texts", QStringLiteral("a"), QStringLiteral("a"), false, 0, 0, {}},
        {"two gaps", std::nullopt, std::nullopt, false, 0, 0, {}},
        {"gap over a line", std::nullopt, QStringLiteral("x"), true, 0, 1, QStringLiteral("x")},
        {"line over a gap", QStringLiteral("a"), std::nullopt, true, 1, 2, {}},
        {"other text", QStringLiteral("a"), QStringLiteral("b"), true, 2, 2, QStringLiteral("b")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        engine::testing::loadPanes({QStringLiteral("top"), c.source, QStringLiteral("end")},
                                   {QStringLiteral("top"), c.target, QStringLiteral("end")});
        EXPECT_EQ(ui::CopyLinePair(1, 1), c.changed);
        EXPECT_EQ(line(2, 1), c.changed ? c.source : c.target);
        EXPECT_EQ(engine::fccTabs().IsPaneModified(2), c.changed);
        const auto& records = engine::undoStack().Records(2);
        ASSERT_EQ(records.size(), c.changed ? 1u : 0u);
        if (!c.changed) continue;
        EXPECT_EQ(records[0].Kind, engine::ukWindowEdit12);
        EXPECT_EQ(records[0].Column, c.column);
        EXPECT_EQ(records[0].Line, c.line);
        EXPECT_EQ(records[0].Text, c.undoText);
        // The line after keeps counting on from the changed one.
        EXPECT_EQ(engine::paneStores().TextLines[2][2]->LineNumber, c.source ? 3 : 2);
        if (c.source) {
            EXPECT_EQ(engine::paneStores().TextLines[1][1]->Differs, 0);
            EXPECT_EQ(engine::paneStores().TextLines[2][1]->Differs, 0);
        }
    }
}

TEST_F(CopyLinesTest, AMarkedRunNumbersEachRecordAsTheTargetStoodAndClearsTheMarks) {
    engine::testing::loadPanes(
        {QStringLiteral("one"), QStringLiteral("new"), std::nullopt, QStringLiteral("four"), QStringLiteral("five")},
        {QStringLiteral("one"), std::nullopt, QStringLiteral("old"), QStringLiteral("FOUR"), QStringLiteral("five")});
    auto& r = engine::rows();
    for (int row = 0; row < 5; ++row) r.SetRowSelection(1, row, 1, true, 0);
    EXPECT_EQ(ui::CopyMarkedLinePairs(1), 3);
    EXPECT_EQ(r.SelectedCount(false), 0);
    const PaneLines expected = {QStringLiteral("one"), QStringLiteral("new"), std::nullopt, QStringLiteral("four"),
                                QStringLiteral("five")};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(line(2, i), expected[size_t(i)]) << i;
    const auto& records = engine::undoStack().Records(2);
    ASSERT_EQ(records.size(), 3u);
    // Added as line 2; "old" was line 3 and goes back after line 2; "FOUR" is line 3 now.
    EXPECT_EQ(records[0].Line, 2u);
    EXPECT_EQ(records[1].Line, 2u);
    EXPECT_EQ(records[1].Text, QStringLiteral("old"));
    EXPECT_EQ(records[2].Line, 3u);
    EXPECT_EQ(records[2].Text, QStringLiteral("FOUR"));
    EXPECT_EQ(engine::paneStores().TextLines[2][4]->LineNumber, 4);
}

TEST_F(CopyLinesTest, TheQuestionNamesTheCountAndTheOtherSide) {
    EXPECT_EQ(ui::CopyLinesText(3, 1), QStringLiteral("Copy the 3 selected lines to the right pane"));
    EXPECT_EQ(ui::CopyLinesText(1, 2), QStringLiteral("Copy the selected line to the left pane"));
}

}  // namespace
