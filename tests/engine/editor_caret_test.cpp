#include "engine/editor.h"

#include "editor_fixture.h"

using namespace tandex::engine;
using namespace tandex::engine::testing;
using tandex::config::AppSettings;

namespace {

using EditorCaretTest = EditorTest;

TEST_F(EditorCaretTest, PlaceCaretComputesThePixelPositionAndClampsTheColumn) {
    load({"abcdef", "xy"}, {"abcdef", "xy"});
    host.topRow = 1;
    e.FirstVisibleColumn = 2;
    EXPECT_TRUE(e.PlaceCaret(5, 1, 2));
    EXPECT_EQ(e.GetCaretColumn(), 3);  // "xy" ends at column 3
    EXPECT_EQ(host.lastX, 310 + (3 - 2 - 1) * 8);
    EXPECT_EQ(host.lastY, (1 - 1 + 1) * 16 + 20);
    EXPECT_TRUE(host.shown);
    EXPECT_EQ(e.ActiveSide, 2);
    EXPECT_TRUE(e.PlaceCaret(0, 0, 1));
    EXPECT_EQ(host.lastX, 10);  // never left of the text area
    e.FirstVisibleColumn = 0;
    EXPECT_TRUE(e.PlaceCaret(7, 0, 1));
    EXPECT_EQ(host.lastX, 10 + 6 * 8);
    e.FirstVisibleColumn = -100;  // scrolled so that the caret lies right of pane 1
    EXPECT_TRUE(e.PlaceCaret(7, 0, 1));
    EXPECT_FALSE(host.shown);
    EXPECT_EQ(e.CaretHidden, 1);

    const int moves = host.moves;
    e.CaretFrozen = 1;
    EXPECT_TRUE(e.PlaceCaret(2, 1, 1));
    EXPECT_EQ(host.moves, moves);
    EXPECT_EQ(e.GetEditCaret(), QPoint(2, 1));
    e.CaretFrozen = 0;
    host.failMoves = true;
    e.ShowEditCaret();
    EXPECT_FALSE(e.PlaceCaret(1, 0, 1));
    EXPECT_EQ(e.CaretHidden, 1);
}

TEST_F(EditorCaretTest, CaretBeyondTheLineEndOnlyInTheTextViewWithTheOption) {
    load({"abc"}, {"abc"});
    e.PlaceCaret(50, 0, 1);
    EXPECT_EQ(e.GetCaretColumn(), 4);
    AppSettings().TECurBEOL = true;
    e.PlaceCaret(50, 0, 1);
    EXPECT_EQ(e.GetCaretColumn(), 50);
    e.PlaceCaret(8192, 0, 1);
    e.CaretRight();
    EXPECT_EQ(e.GetCaretColumn(), 8192);  // the column limit; no next row
}

TEST_F(EditorCaretTest, CaretMovesAcrossLineEnds) {
    load({"ab", "cd", "ef"}, {"ab", "cd", "ef"});
    e.PlaceCaret(3, 0, 1);
    e.CaretRight();
    EXPECT_EQ(e.GetEditCaret(), QPoint(1, 1));
    e.CaretLeft();
    EXPECT_EQ(e.GetEditCaret(), QPoint(3, 0));
    e.CaretToBottom();
    EXPECT_EQ(e.GetEditCaret(), QPoint(3, 2));
    e.CaretRight();  // end of the last line: nothing
    EXPECT_EQ(e.GetEditCaret(), QPoint(3, 2));
    e.CaretDown();
    EXPECT_EQ(e.GetCaretRow(), 2);
    e.CaretToTop();
    EXPECT_EQ(e.GetEditCaret(), QPoint(1, 0));
    e.CaretLeft();
    EXPECT_EQ(e.GetEditCaret(), QPoint(1, 0));
    e.CaretUp();
    EXPECT_EQ(e.GetCaretRow(), 0);
}

TEST_F(EditorCaretTest, TabsExpandToTheirStopAndTheCaretNeverStopsInside) {
    AppSettings().TETabSize = 4;
    QString typed = "a\tb";
    EXPECT_EQ(e.ExpandTabs(typed, 2), 2);
    EXPECT_EQ(typed, "a" + fill(3) + "b");
    load({typed, "abcdefgh"}, {typed, "abcdefgh"});
    e.PlaceCaret(1, 0, 1);
    e.CaretRight();
    EXPECT_EQ(e.GetCaretColumn(), 2);
    e.CaretRight();
    EXPECT_EQ(e.GetCaretColumn(), 5);
    e.CaretLeft();
    EXPECT_EQ(e.GetCaretColumn(), 2);
    e.PlaceCaret(4, 1, 1);
    e.CaretUp();  // lands inside the tab: on past its stop
    EXPECT_EQ(e.GetEditCaret(), QPoint(5, 0));
    e.CaretGoTo(3, 0);  // inside the tab: back to its start
    EXPECT_EQ(e.GetCaretColumn(), 2);
    e.CaretGoTo(-1, -1);
    EXPECT_EQ(e.GetEditCaret(), QPoint(2, 0));
    e.CaretGoTo(99, 99);
    EXPECT_EQ(e.GetEditCaret(), QPoint(9, 1));
}

TEST_F(EditorCaretTest, FoldingAndExpandingMapTheColumn) {
    AppSettings().TETabSize = 4;
    struct Case {
        QString stored;
        int column;
        QString folded;
        int mapped;
        int back;  // the folded column expanded again
    } cases[] = {
        {"abc", 2, "abc", 0, 0},
        {"a" + fill(3) + "b", 5, "a\tb", 3, 5},
        {"a" + fill(3) + "b", 2, "a\tb", 2, 2},
        {"a" + fill(3) + "b", 3, "a\tb", 2, 2},  // inside a tab: the tab itself
        {fill(4) + fill(4) + "x", 9, "\t\tx", 3, 9},
        {"abc" + fill(1) + "d", 6, "abc\td", 6, 6},
        {"ab" + fill(2) + "c", 1, "ab\tc", 1, 1},  // before the first tab
        {"ab" + fill(2) + "c", 3, "ab\tc", 3, 3},
    };
    for (const auto& c : cases) {
        QString text = c.stored;
        EXPECT_EQ(e.FoldTabFill(text, c.column), c.mapped) << c.column;
        EXPECT_EQ(text, c.folded);
        if (c.mapped > 0) {
            EXPECT_EQ(e.ExpandTabs(text, c.mapped), c.back);
            EXPECT_EQ(text, c.stored);
        }
    }
}

TEST_F(EditorCaretTest, ExpandingNeverTruncatesALongLine) {
    AppSettings().TEMaxColumns = 10;
    AppSettings().TETabSize = 8;
    QString text = QString(20, QChar(u'\t')) + "end";
    EXPECT_EQ(e.ExpandTabs(text, 21), 161);
    EXPECT_EQ(text.size(), 163);
    EXPECT_TRUE(text.endsWith("end"));
}

TEST_F(EditorCaretTest, HomeTogglesBetweenIndentAndColumnOne) {
    load({"    code"}, {"    code"});
    e.PlaceCaret(7, 0, 1);
    e.CaretHome();
    EXPECT_EQ(e.GetCaretColumn(), 5);
    e.CaretHome();
    EXPECT_EQ(e.GetCaretColumn(), 1);
    e.CaretHome();
    EXPECT_EQ(e.GetCaretColumn(), 5);
    AppSettings().TEAutoHomeKey = false;
    e.CaretHome();
    EXPECT_EQ(e.GetCaretColumn(), 1);
    e.CaretEnd();
    EXPECT_EQ(e.GetCaretColumn(), 9);
}

TEST_F(EditorCaretTest, WordsEndAtDelimiters) {
    load({"first.second(x)"}, {"first.second(x)"});
    e.PlaceCaret(9, 0, 1);
    ASSERT_TRUE(e.SelectWordAtCaret());
    EXPECT_EQ(e.Selection.StartColumn, 7);
    EXPECT_EQ(e.Selection.EndColumn, 13);
    QString word;
    e.PlaceCaret(2, 0, 1);
    e.Selection = {};
    e.GetWordOrSelection(word);
    EXPECT_EQ(word, "first");
    EXPECT_EQ(e.GetCaretColumn(), 2);
    e.SetSelection(7, 0, 9, 0);
    e.GetWordOrSelection(word);
    EXPECT_EQ(word, "se");
    e.PlaceCaret(16, 0, 1);
    EXPECT_FALSE(e.SelectWordAtCaret());
    e.SetSelection(-5, -1, 99, -1);
    EXPECT_EQ(e.Selection.StartColumn, 1);
    EXPECT_EQ(e.Selection.EndColumn, 16);
}

TEST_F(EditorCaretTest, BinaryCaretSnapsToHexGroupsAndJumpsTheGap) {
    auto& s = paneStores();
    s.BinaryMode = 1;
    AppSettings().BCHEXBytes = 16;
    const QByteArray hex = QByteArray("00 ").repeated(16) + "  " + QByteArray(16, '.');
    for (int i = 0; i < 2; ++i) {
        s.BinaryLines[1].NewText(i, hex);
        s.BinaryLines[2].NewText(i, hex);
    }
    s.LineCount = {0, 2, 2};
    s.UpdateMaxLineCount();
    rows().FilterBinaryRows(0);
    e.PlaceCaret(1, 0, 1);
    e.CaretRight();
    EXPECT_EQ(e.GetCaretColumn(), 4);
    e.PlaceCaret(46, 0, 1);  // the last hex group
    e.CaretRight();
    EXPECT_EQ(e.GetCaretColumn(), 51);  // the first character column
    e.CaretLeft();
    EXPECT_EQ(e.GetCaretColumn(), 46);
    e.PlaceCaret(4, 0, 1);
    e.CaretLeft();
    EXPECT_EQ(e.GetCaretColumn(), 1);
    e.CaretLeft();
    EXPECT_EQ(e.GetCaretColumn(), 1);
    EXPECT_EQ(e.SnapHexColumn(1, -1), -2);
    e.CaretEnd();
    EXPECT_EQ(e.GetCaretColumn(), 66);
    e.CaretRight();
    EXPECT_EQ(e.GetEditCaret(), QPoint(1, 1));
    AppSettings().TECurBEOL = true;
    e.PlaceCaret(90, 0, 1);
    EXPECT_EQ(e.GetCaretColumn(), 67);  // never beyond the line in the binary view
}

TEST_F(EditorCaretTest, WithoutACaretViewUpAndDownOnlyChangeTheRow) {
    load({"a", "b" + fill(3) + "c"}, {"a", "b"});
    e.PlaceCaret(1, 0, 1);
    rows().CaretViewActive = 0;
    e.CaretDown();
    EXPECT_EQ(e.GetEditCaret(), QPoint(1, 1));
    e.ToggleInsertMode();
    EXPECT_EQ(e.InsertMode, 1);
    rows().CaretViewActive = 1;
    e.ToggleInsertMode();
    EXPECT_EQ(e.InsertMode, 0);
    e.SwapEditorSides();
    EXPECT_EQ(e.ActiveSide, 2);
    e.SetActiveSide(0);
    EXPECT_EQ(e.ActiveSide, 1);
}

}  // namespace
