#pragma once
// The editor tests' window: a caret host that records where the caret went.

#include "engine/editor.h"
#include "engine/tab_slots.h"
#include "pane_fixture.h"

#include <gtest/gtest.h>

namespace tandex::engine::testing {

struct FakeCaretHost : CaretHost {
    int CharWidth() const override { return 8; }
    int LineHeight() const override { return 16; }
    int TopRow() const override { return topRow; }
    int Pane1Right() const override { return 300; }
    bool MoveCaret(int x, int y) override {
        lastX = x;
        lastY = y;
        ++moves;
        return !failMoves;
    }
    void ShowCaret() override { shown = true; }
    void HideCaret() override { shown = false; }

    int topRow = 0;
    int lastX = -1, lastY = -1, moves = 0;
    bool failMoves = false;
    bool shown = false;
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetEngineState();
        fccTabs().InitTabSlots();
        fccTabs().SelectTabForViewType(tvText);
        e.InitEditor();
        e.SetCaretMetrics(&host, 10, 310, 20);
        rows().CaretViewActive = 1;
    }
    void TearDown() override { e.SetCaretMetrics(nullptr, 0, 0, 0); }

    // Loads the panes and counts their differing rows into the tab.
    void load(const PaneLines& left, const PaneLines& right) {
        loadPanes(left, right);
        int count = 0;
        for (int row = 0; row < rows().TextRowCount; ++row) count += rows().TextRowDiffers(row);
        fccTabs().SetTabDiffCount(count);
        undoStack().BeginUndoGroup();
    }

    // The texts of a pane's slots, nullopt for gaps.
    static PaneLines pane(int side) {
        PaneLines lines;
        const auto& s = paneStores();
        for (int i = 0; i < s.LineCount[size_t(side)]; ++i) {
            const TTextLine* line = s.TextLines[size_t(side)][i];
            lines.push_back(line->Gap ? std::nullopt : std::optional<QString>(line->Text));
        }
        return lines;
    }

    Editor& e = editor();
    FakeCaretHost host;
};

}  // namespace tandex::engine::testing
