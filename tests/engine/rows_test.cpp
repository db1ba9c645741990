#include "engine/rows.h"

#include "pane_fixture.h"

#include <gtest/gtest.h>

using namespace tandex::engine;
using namespace tandex::engine::testing;
using tandex::config::AppSettings;

namespace {

class RowsTest : public ::testing::Test {
protected:
    void SetUp() override { resetEngineState(); }
    PaneStores& s = paneStores();
    Rows& r = rows();
};

// Rows: equal, modified, added (gap left), equal, modified, deleted (gap right), modified.
void loadMixed() {
    loadPanes({"same", "old1", std::nullopt, "same2", "old2", "gone", "old3"},
              {"same", "new1", "added", "same2", "new2", std::nullopt, "new3"});
}

TEST_F(RowsTest, ViewKindsChooseTheRows) {
    loadMixed();
    struct Case {
        int kind;
        std::vector<int> rows;
    } cases[] = {
        {0, {0, 1, 2, 3, 4, 5, 6}}, {1, {0, 3}},       {2, {1, 2, 4, 5, 6}}, {3, {1, 4, 6}},
        {4, {2, 5}},                {5, {0, 2, 3, 5}}, {6, {0, 1, 3, 4, 6}},
    };
    for (const auto& c : cases) {
        r.FilterTextRows(c.kind);
        EXPECT_EQ(std::vector<int>(r.TextRowMap.begin(), r.TextRowMap.begin() + r.TextRowCount), c.rows)
            << "kind " << c.kind;
    }
}

TEST_F(RowsTest, HideLinesFilterHidesOrKeepsOnlyMatchingLines) {
    loadPanes({"// note", "code", "// NOTE", "more"}, {"// note", "code", "// NOTE", "more"});
    auto& st = AppSettings();
    st.TEHideLnStart = true;
    st.TEHideTxStart = "// n";
    st.TEMatchLFCase = false;
    st.TEHideLines = true;
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 2);
    EXPECT_EQ(r.HiddenRowCount, 2);
    EXPECT_EQ(r.TextRowIndex(0), 1);
    st.TEHideLines = false;
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 2);
    EXPECT_EQ(r.TextRowIndex(1), 2);
    st.TEMatchLFCase = true;  // now "// NOTE" no longer matches
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 1);
    s.LineFilterActive = 0;
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 4);
}

TEST_F(RowsTest, LineFilterCombinesItsListsByAndOrOr) {
    loadPanes({"ab", "a", "b", "xb"}, {"ab", "a", "b", "xb"});
    auto& st = AppSettings();
    st.TEHideLnStart = st.TEHideLnEnd = true;
    st.TEHideTxStart = "a";
    st.TEHideTxEnd = "b";
    st.TEMatchLFCase = true;
    struct Case {
        bool orCombine, notEnd;
        std::vector<bool> match;
    } cases[] = {
        {false, false, {true, false, false, false}},
        {true, false, {true, true, true, true}},
        {false, true, {false, true, false, false}},
    };
    for (const auto& c : cases) {
        st.TEAndOr2 = c.orCombine;
        st.TENotEnd = c.notEnd;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.MatchLineFilter(1, i), c.match[size_t(i)]) << i;
    }
}

TEST_F(RowsTest, PaneTwoDecidesTheFilterOfADifferingRow) {
    loadPanes({"#x", "#y"}, {"#x", "keep"});
    auto& st = AppSettings();
    st.TEHideLnStart = true;
    st.TEHideTxStart = "#";
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 1);
    EXPECT_EQ(r.TextRowIndex(0), 1);
    s.SinglePaneView = 1;
    r.FilterTextRows(0);
    EXPECT_EQ(r.TextRowCount, 0);
}

TEST_F(RowsTest, DifferenceQueriesAndEmptyLineOption) {
    loadPanes({"a", std::nullopt, "c"}, {"a", "", "x"});
    s.TextLines[2][1]->Differs = 0;  // an empty line the comparison found equal
    EXPECT_FALSE(r.TextRowDiffers(0));
    EXPECT_TRUE(r.TextRowDiffers(1));
    EXPECT_EQ(r.RowResult(2), 2);
    AppSettings().TCIgnEmptyLn = true;
    EXPECT_FALSE(r.TextRowDiffers(1));
    EXPECT_TRUE(r.IsGapLine(1, 1));
    EXPECT_FALSE(r.IsRowOnBothSides(1));
    EXPECT_TRUE(r.IsRowOnBothSides(2));
    EXPECT_FALSE(r.TextRowDiffers(99));
    EXPECT_FALSE(r.IsGapLine(1, -1));
    r.SetRowDiffers(1, false);
    EXPECT_EQ(EmptyTextLine()->Differs, 1);
    r.SetRowDiffers(2, false);
    EXPECT_FALSE(r.TextRowDiffers(2));
    r.ClearLineDifferences();
    EXPECT_EQ(s.TextLines[1][0]->Differs, 0);
    EXPECT_EQ(EmptyTextLine()->Differs, 1);
}

TEST_F(RowsTest, CharFlagsCoverTheLineAndSkipGaps) {
    loadPanes({"abc", std::nullopt}, {"abcd", "x"});
    r.NewRowCharFlags(0);
    ASSERT_TRUE(r.RowHasCharFlags(0));
    EXPECT_EQ(r.RowCharFlags(1, 0)->size(), 5u);
    EXPECT_EQ(r.RowCharFlags(2, 0)->size(), 6u);
    r.NewRowCharFlags(1);
    EXPECT_FALSE(r.RowHasCharFlags(1));
    EXPECT_TRUE(EmptyTextLine()->CharFlags.empty());
    r.FreeAllCharFlags();
    EXPECT_FALSE(r.RowHasCharFlags(0));
}

TEST_F(RowsTest, TagOnAGapRowReturnsTheRowBelowTheLineAbove) {
    loadPanes({"a", "b", std::nullopt, "c"}, {"a", "b", "new", "c"});
    r.TagLineAtRow(1, 2, 0x1);
    EXPECT_EQ(s.TextLines[1][1]->Tags, 0x11);
    EXPECT_EQ(r.TakeTaggedLineRow(1, 0x1), 2);
    EXPECT_EQ(s.TextLines[1][1]->Tags, 0);
    EXPECT_EQ(r.TakeTaggedLineRow(1, 0x1), -1);
    r.TagLineAtRow(2, 3, 0x2);
    EXPECT_EQ(r.TakeTaggedLineRow(2, 0x2), 3);
}

TEST_F(RowsTest, LineSelectionBelongsToOnePane) {
    loadPanes({"abc", "def", std::nullopt}, {"abc", "xyz", "new"});
    r.SetLineSelection(1, 0, 2, 3);
    EXPECT_EQ(r.RowSelectionRange(1, 0), 2u | 3u << 16);
    r.SetLineSelection(1, 1, 1, 0);
    EXPECT_EQ(r.RowSelectionRange(1, 1), 1u | 0xFFFFu << 16);
    r.SetLineSelection(1, 2, 5, 6);  // a gap line is selected whole
    EXPECT_EQ(r.RowSelectionRange(1, 2), 1u | 0xFFFFu << 16);
    EXPECT_EQ(r.SelectedCount(false), 3);
    EXPECT_EQ(r.RowSelectionRange(2, 0), 0u);
    r.SetLineSelection(2, 1, 1, 2);
    EXPECT_FALSE(r.IsRowSelected(1, 0));
    EXPECT_EQ(r.FirstSelectedRow(), 1);
    r.SetRowSelection(2, 1, 0, false, 0);
    EXPECT_EQ(r.FirstSelectedRow(), kNoSelectedRow);
    r.SetLineSelection(1, -1, 1, 1);
    EXPECT_EQ(r.FirstSelectedRow(), kNoSelectedRow);
    r.SelectAllRows(2);
    EXPECT_EQ(r.SelectedCount(false), 3);
    EXPECT_EQ(r.RowSelectionKind(2, 2), 1);
}

TEST_F(RowsTest, RowTextMarksTabStartsAndStops) {
    AppSettings().TETabSize = 4;
    loadPanes({"a" + fill(7) + "b"}, {"x"});
    const QChar nb(160);
    EXPECT_EQ(r.RowText(1, 0), "a" + QString(nb) + nb + nb + nb + nb + nb + nb + "b");
    AppSettings().TEVisibleTAB = true;
    const QChar m(187);
    EXPECT_EQ(r.RowText(1, 0), "a" + QString(m) + nb + nb + m + nb + nb + nb + "b");  // stop at column 5
    EXPECT_EQ(r.RowPlainText(1, 0), "a       b");
    EXPECT_EQ(r.RowTextLength(1, 0), 9);
    EXPECT_EQ(r.RowText(1, 5), "");
}

TEST_F(RowsTest, LineNumbersAndTheirColumn) {
    loadPanes({"a", std::nullopt, "b"}, {"a", "x", "B"});
    EXPECT_EQ(r.LineNumberWidth, 3);
    EXPECT_EQ(r.RowNumberText(1, 1), "   ");
    EXPECT_EQ(r.RowNumberText(1, 2), "  2");
    EXPECT_EQ(r.RowLineNumber(1, 1), 2);  // the next real line's number
    EXPECT_EQ(r.LineNumberAt(1, 3), -1);
    s.TextLines[2][2]->LineNumber = 123456789;
    r.UpdateLineNumberWidth(false);
    EXPECT_EQ(r.LineNumberWidth, 8);
    EXPECT_EQ(r.RowOfLineNumber(2, 2), 1);
    EXPECT_EQ(r.RowOfLineNumber(1, 2), 2);
    EXPECT_TRUE(r.IsLineVisible(1, 2));
    r.FilterTextRows(1);  // only row 0 is equal
    EXPECT_FALSE(r.IsLineVisible(1, 2));
    EXPECT_EQ(r.TextRowOfLine(2), -1);
    EXPECT_EQ(r.TextRowOfLine(0), 0);
    r.FilterTextRows(2);
    EXPECT_EQ(r.TextRowOfLine(2), 1);
}

TEST_F(RowsTest, RowsOfOneFileLineShareItsNumber) {
    // Left: "h", a line cut twice ("a1" "a2" "a3"), a gap, "n"; the cut rows
    // sit across a gap of their own.
    loadPanes({"h", "a1", std::nullopt, "a2", "a3", std::nullopt, "n"},
              {"h", "x", "y", "z", "w", "v", "n"});
    for (int index : {1, 3}) s.TextLines[1][index]->NoBreak = 1;
    s.LineBreaksChanged(1);
    r.UpdateLineNumberWidth(false);
    const std::vector<QString> numbers{"  1", "  2", "   ", "   ", "   ", "   ", "  3"};
    for (int row = 0; row < 7; ++row) EXPECT_EQ(r.RowNumberText(1, row), numbers[size_t(row)]) << row;
    EXPECT_EQ(s.FileLineCount(1), 3);
    EXPECT_EQ(s.FileLineCount(2), 7);
    EXPECT_EQ(s.FileLineNumber(1, 4), 2);  // a continuation belongs to its line
    EXPECT_TRUE(s.IsContinuationLine(1, 3));
    EXPECT_FALSE(s.IsContinuationLine(1, 1));
    EXPECT_EQ(s.FileLineNumber(1, 2), -1);
    // Going to a file's line finds the row where it starts.
    for (const auto& [fileLine, number] : std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 5}})
        EXPECT_EQ(s.LineNumberOfFileLine(1, fileLine), number) << fileLine;
    // The row queries still find every row by its own number.
    EXPECT_EQ(r.RowLineNumber(1, 4), 4);
    EXPECT_EQ(r.RowOfLineNumber(1, 4), 4);

    // Moving the records (as a recompare does) keeps the numbering right;
    // a changed line end takes effect when it is announced.
    int count = s.LineCount[1];
    s.RemoveLineSlots(s.TextLines[1], 2, 2, count);
    EXPECT_EQ(r.RowNumberText(1, 5), "  3");
    s.TextLines[1][1]->NoBreak = 0;
    s.LineBreaksChanged(1);
    EXPECT_EQ(s.FileLineCount(1), 4);
    EXPECT_EQ(r.RowNumberText(1, 2), "  3");
    EXPECT_EQ(r.RowNumberText(1, 3), "   ");
    // The store-full marker is no line of the file.
    TTextLine* marker = s.TextLines[1].New(7);
    marker->Text = kMaxEntryText;
    marker->LineNumber = -1;
    EXPECT_EQ(s.FileLineCount(1), 4);
}

TEST_F(RowsTest, ANulIsShownAsASignAndKeptInTheLine) {
    const QString stored = QString("a") + QChar(0) + "b";
    loadPanes({stored}, {"ab"});
    EXPECT_EQ(r.RowText(1, 0), QString("a") + QChar(0x2205) + "b");  // the empty-set sign
    EXPECT_EQ(s.TextLines[1][0]->Text, stored);
    EXPECT_EQ(r.RowTextLength(1, 0), 3);
}

TEST_F(RowsTest, BinaryRowsCountTheirBytes) {
    s.BinaryMode = 1;
    AppSettings().BCHEXBytes = 4;
    auto& left = s.BinaryLines[1];
    left.NewText(0, "41 42 43 44   ABCD");
    left[0]->Offset = 0;
    left.NewText(1, "45 46            EF");
    left[1]->Offset = 4;
    left[1]->Differs = 1;
    s.LineCount[1] = 2;
    s.UpdateMaxLineCount();
    r.FilterBinaryRows(0);
    EXPECT_EQ(r.BinaryRowCount, 2);
    EXPECT_EQ(r.BinaryRowByteCount(1, 0), 4);
    EXPECT_EQ(r.BinaryRowByteCount(1, 1), 2);
    EXPECT_TRUE(r.RowDiffers(1));
    EXPECT_EQ(r.RowTextLength(1, 0), 18);
    EXPECT_EQ(r.RowNumberText(1, 1), "  4");
    EXPECT_EQ(r.RowNumberText(2, 1), "   ");
    r.FilterBinaryRows(1);
    EXPECT_EQ(r.BinaryRowCount, 0);  // the right side is all gaps

    // The right side's largest offset stands above its trailing gap.
    s.BinaryLines[2].New(0)->Offset = 0x123456;
    s.LineCount[2] = 2;
    r.FilterBinaryRows(0);
    EXPECT_EQ(r.LineNumberWidth, 6);
    EXPECT_EQ(r.RowNumberText(2, 0), "123456");
}

TEST_F(RowsTest, FolderModeGivesNeutralAnswers) {
    loadMixed();
    s.FolderMode = 1;
    EXPECT_EQ(r.RowText(1, 0), "");
    EXPECT_EQ(r.RowLineNumber(1, 0), -1);
    EXPECT_FALSE(r.RowDiffers(1));
    EXPECT_FALSE(r.IsGapLine(1, 2));
    EXPECT_EQ(r.FirstSelectedRow(), kNoSelectedRow);
    EXPECT_TRUE(r.IsLineVisible(1, 77));
    EXPECT_EQ(s.VisibleRowCount(), 0);
}

}  // namespace
