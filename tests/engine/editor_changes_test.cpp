#include "engine/editor.h"

#include "editor_fixture.h"
#include "engine/main_window_services.h"

#include <functional>

namespace tandex::engine {
// How a failed record comparison names the record.
void PrintTo(const TUndoRec& r, std::ostream* os) {
    *os << "{kind " << int(r.Kind) << ", line " << r.Line << ", col " << r.Column << ", \""
        << r.Text.toStdString() << "\", merges " << r.MergeCount << ", cont " << int(r.Continues) << "}";
}
}  // namespace tandex::engine

using namespace tandex::engine;
using namespace tandex::engine::testing;
using tandex::config::AppSettings;

namespace {

struct Undo {
    int kind;
    quint32 line;
    int column;
    QString text;
    int merges;
    int continues;
};

bool operator==(const Undo& a, const TUndoRec& b) {
    return a.kind == b.Kind && a.line == b.Line && a.column == b.Column && a.text == b.Text &&
           a.merges == b.MergeCount && a.continues == b.Continues;
}


struct Scenario {
    const char* name;
    PaneLines left, right;
    QPoint caret;  // column, row in the left pane
    std::function<void(Editor&)> edit;
    PaneLines expected;        // the left pane afterwards
    std::vector<bool> differs;  // row marks afterwards (rows not rebuilt)
    int diffCount;
    std::vector<Undo> undo;
    QPoint caretAfter;
};

void type(Editor& e, const QString& text) {
    for (QChar c : text) ASSERT_TRUE(e.TypeChar(c));
}

class EditorChangesTest : public EditorTest {
protected:
    void run(const Scenario& c) {
        SCOPED_TRACE(c.name);
        SetUp();
        load(c.left, c.right);
        e.PlaceCaret(c.caret.x(), c.caret.y(), 1);
        c.edit(e);
        EXPECT_EQ(pane(1), c.expected);
        EXPECT_EQ(rows().TextRowCount, int(c.differs.size()));
        for (size_t row = 0; row < c.differs.size(); ++row)
            EXPECT_EQ(rows().TextRowDiffers(int(row)), c.differs[row]) << "row " << row;
        EXPECT_EQ(fccTabs().GetTabDiffCount(), c.diffCount);
        const auto& recs = undoStack().Records(1);
        ASSERT_EQ(recs.size(), c.undo.size());
        for (size_t i = 0; i < recs.size(); ++i) EXPECT_TRUE(c.undo[i] == recs[i]) << "record " << i << ": " << ::testing::PrintToString(recs[i]);
        EXPECT_EQ(e.GetEditCaret(), c.caretAfter);
    }
};

TEST_F(EditorChangesTest, EditingScenarios) {
    const auto tab = [](int n) { return fill(n); };
    const Scenario cases[] = {
        {"typing makes the row equal",
         {"ac", "same"}, {"abxc", "same"}, {2, 0},
         [](Editor& e) { type(e, "bx"); },
         {"abxc", "same"}, {false, false}, 0,
         {{9, 1, 3, "", 1, 0}}, {4, 0}},
        {"typing a tab expands it to its stop",
         {"ab"}, {"a\tb"}, {2, 0},
         [](Editor& e) { type(e, "\t"); },
         {"a" + tab(3) + "b"}, {true}, 1,
         {{9, 1, 2, "", 0, 0}}, {5, 0}},
        {"typing before a tab keeps the tab whole",
         {"a" + tab(3) + "b"}, {"xa" + tab(2) + "b"}, {1, 0},
         [](Editor& e) { type(e, "x"); },
         {"xa" + tab(2) + "b"}, {false}, 0,
         {{9, 1, 1, "", 0, 0}}, {2, 0}},
        {"overwriting keeps the replaced character",
         {"abc"}, {"abc"}, {2, 0},
         [](Editor& e) {
             e.InsertMode = 0;
             type(e, "XY");
         },
         {"aXY"}, {true}, 1,
         {{9, 1, 3, "bc", 1, 0}}, {4, 0}},
        {"typing into a gap row makes a line",
         {"a", std::nullopt, "c"}, {"a", "b", "c"}, {1, 1},
         [](Editor& e) { type(e, "b"); },
         {"a", "b", "c"}, {false, false, false}, 0,
         {{10, 2, 1, "", 0, 0}, {9, 2, 1, "", 0, 1}}, {2, 1}},
        {"delete merges at one place",
         {"abcd"}, {"cd"}, {1, 0},
         [](Editor& e) {
             EXPECT_EQ(e.EditDelete(), 1);
             EXPECT_EQ(e.EditDelete(), 1);
         },
         {"cd"}, {false}, 0,
         {{5, 1, 1, "ab", 1, 0}}, {1, 0}},
        {"backspace merges backwards, characters reversed",
         {"abcd"}, {"d"}, {4, 0},
         [](Editor& e) {
             for (int i = 0; i < 3; ++i) EXPECT_EQ(e.EditBackspace(), 1);
         },
         {"d"}, {false}, 0,
         {{4, 1, 1, "cba", 2, 0}}, {1, 0}},
        {"backspace over a tab removes the whole tab",
         {"a" + tab(3) + "b"}, {"ab"}, {5, 0},
         [](Editor& e) { EXPECT_EQ(e.EditBackspace(), 1); },
         {"ab"}, {false}, 0,
         {{4, 1, 2, fill(1), 0, 0}}, {2, 0}},
        {"backspace at column 1 joins to the line above",
         {"ab", "cd"}, {"abcd", "x"}, {1, 1},
         [](Editor& e) { EXPECT_EQ(e.EditBackspace(), 2); },
         {"abcd", std::nullopt}, {false, true}, 1,
         {}, {3, 0}},
        {"delete at the line end joins the next line",
         {"ab", "", "cd"}, {"abcd", "", "x"}, {3, 0},
         [](Editor& e) { EXPECT_EQ(e.EditDelete(), 2); },
         {"ab", std::nullopt, "cd"}, {true, true, true}, 2,
         {}, {3, 0}},
        {"Enter in front of a tab carries the tab to the new line",
         {"ab" + tab(2) + "c"}, {"ab", tab(4) + "c"}, {3, 0},
         [](Editor& e) { EXPECT_EQ(e.EditNewLine(), 1); },
         {"ab", tab(4) + "c"}, {false, true}, 1,
         {{10, 2, 1, "", 0, 0}}, {1, 1}},
        {"pasted text is cut at its line break, tabs folded in the rest",
         {"x" + tab(3) + "y"}, {"xa" + tab(2) + "b"}, {2, 0},
         [](Editor& e) {
             QString rest;
             e.InsertTextInLine(1, 0, 2, rest, "a\tb\rc", -1);
             EXPECT_EQ(rest, "c\ty");
         },
         {"xa" + tab(2) + "b"}, {true}, 1,  // the caller compares again
         {}, {2, 0}},
        {"delete on a gap row does nothing",
         {std::nullopt}, {"x"}, {1, 0},
         [](Editor& e) { EXPECT_EQ(e.EditDelete(), 0); },
         {std::nullopt}, {true}, 1,
         {}, {1, 0}},
        {"a full line passes its last character down",
         {"abcd", "ef"}, {"Xabc", "def"}, {1, 0},
         [](Editor& e) {
             AppSettings().TEMaxColumns = 4;
             type(e, "X");
         },
         {"Xabc", "def"}, {false, false}, 0,
         {{1, 1, 1, "", 0, 0}, {5, 1, 4, "d", 0, 1}, {9, 2, 1, "", 0, 1}, {9, 1, 1, "", 0, 1}}, {2, 0}},
        {"the last full line makes a new line",
         {"abcd"}, {"Xabc"}, {1, 0},
         [](Editor& e) {
             AppSettings().TEMaxColumns = 4;
             type(e, "X");
         },
         {"Xabc", "d"}, {false, true}, 0,
         {{1, 1, 1, "", 0, 0}, {5, 1, 4, "d", 0, 1}, {9, 2, 1, "", 0, 1}, {9, 1, 1, "", 0, 1}}, {2, 0}},
        {"typing past the column limit goes to the next line",
         {"abcd", "ef"}, {"abcd", "Xef"}, {5, 0},
         [](Editor& e) {
             AppSettings().TEMaxColumns = 4;
             AppSettings().TEAutoHomeKey = false;
             type(e, "X");
         },
         {"abcd", "Xef"}, {false, false}, 0,
         {{9, 2, 1, "", 0, 0}}, {2, 1}},
        {"typing past the column limit of the last line makes a new line",
         {"abcd"}, {"abcd"}, {5, 0},
         [](Editor& e) {
             AppSettings().TEMaxColumns = 4;
             AppSettings().TEAutoHomeKey = false;
             type(e, "X");
         },
         {"abcd", "X"}, {false, true}, 0,
         {{9, 2, 1, "", 0, 0}}, {2, 1}},
    };
    for (const auto& c : cases) run(c);
}

TEST_F(EditorChangesTest, EnterSplitsTheLineWithItsIndentation) {
    load({"  abcd", "next"}, {"  ab", "  cd"});
    e.PlaceCaret(5, 0, 1);
    EXPECT_EQ(e.EditNewLine(), 1);
    EXPECT_EQ(pane(1), (PaneLines{"  ab", "  cd", "next"}));
    EXPECT_EQ(paneStores().LineCount[1], 3);
    EXPECT_EQ(paneStores().MaxLineCount, 3);
    EXPECT_EQ(e.GetEditCaret(), QPoint(3, 1));
    const auto& recs = undoStack().Records(1);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_TRUE((Undo{10, 2, 1, "", 0, 0}) == recs[0]) << ::testing::PrintToString(recs[0]);
    EXPECT_TRUE((Undo{8, 2, 1, "2:3", 0, 1}) == recs[1]) << ::testing::PrintToString(recs[1]);
    EXPECT_FALSE(rows().TextRowDiffers(0));

    // Never right of the caret.
    load({"    x"}, {"    x"});
    e.PlaceCaret(2, 0, 1);
    EXPECT_EQ(e.EditNewLine(), 1);
    EXPECT_EQ(pane(1), (PaneLines{" ", "    x"}));
    // Beyond the line end the new line holds only the indentation.
    AppSettings().TEAutoIndent = false;
    rows().FilterTextRows(0);  // the window rebuilds the rows after a new line
    e.PlaceCaret(9, 1, 1);
    EXPECT_EQ(e.EditNewLine(), 2);
    EXPECT_EQ(pane(1), (PaneLines{" ", "    x", ""}));
    // At the last line the caret stands at the indentation of the new line.
    AppSettings().TEAutoIndent = true;
    load({"a", "  bc"}, {"a", "  bc"});
    e.PlaceCaret(4, 1, 1);
    EXPECT_EQ(e.EditNewLine(), 2);
    EXPECT_EQ(pane(1), (PaneLines{"a", "  b", "  c"}));
    EXPECT_EQ(e.GetEditCaret(), QPoint(3, 2));
    rows().CaretViewActive = 0;
    EXPECT_EQ(e.EditNewLine(), -1);
}

TEST_F(EditorChangesTest, EnterInAFullPaneIsRefusedAndChangesNothing) {
    load({"abc"}, {"abc"});
    paneStores().LineCount[1] = kMaxFileLines;
    e.PlaceCaret(2, 0, 1);
    EXPECT_EQ(e.EditNewLine(), kEditRefused);
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "abc");
    EXPECT_TRUE(paneStores().TextLines[1].IsGap(1));
    EXPECT_FALSE(undoStack().HasUndo(1));
    // The spill of a full last line has nowhere to go either.
    AppSettings().TEMaxColumns = 3;
    EXPECT_FALSE(e.TypeChar(u'X'));
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "abc");
}

TEST_F(EditorChangesTest, AMaximumColumnSettingBelowOneMeansTheDefault) {
    AppSettings().TEMaxColumns = 0;
    EXPECT_EQ(MaxEditColumns(), 1024);
    AppSettings().TEMaxColumns = 20000;
    EXPECT_EQ(MaxEditColumns(), 8192);
}

TEST_F(EditorChangesTest, JoiningPastTheLineLimitIsRefused) {
    load({QString(5000, u'a'), QString(3193, u'b')}, {"x", "y"});
    e.PlaceCaret(5001, 0, 1);
    EXPECT_EQ(e.EditDelete(), 0);
    EXPECT_EQ(e.JoinNextLine(0), -1);
    EXPECT_EQ(paneStores().TextLines[1][1]->Text.size(), 3193);
    paneStores().TextLines[1][1]->Text.chop(1);
    EXPECT_EQ(e.JoinNextLine(0), 1);
    EXPECT_EQ(paneStores().TextLines[1][0]->Text.size(), 8192);
}

TEST_F(EditorChangesTest, InsertTextCutsAtTheCarriageReturn) {
    load({"xyz", std::nullopt}, {"xyz", "new"});
    QString rest;
    e.InsertTextInLine(1, 0, 3, rest, "a\rb", -1);
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "xya");
    EXPECT_EQ(rest, "bz");
    e.InsertTextInLine(1, 1, 1, rest, "n\tw", 7);
    EXPECT_EQ(paneStores().TextLines[1][1]->Text, "n" + fill(3) + "w");
    EXPECT_TRUE(rest.isEmpty());
    const auto& recs = undoStack().Records(1);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_TRUE((Undo{10, 7, 1, "", 0, 0}) == recs[0]) << ::testing::PrintToString(recs[0]);
}

TEST_F(EditorChangesTest, PaddingUpToACaretBeyondTheLineEnd) {
    AppSettings().TECurBEOL = true;
    load({"ab"}, {"ab   c"});
    e.PlaceCaret(6, 0, 1);
    type(e, "c");
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "ab   c");
    EXPECT_FALSE(rows().TextRowDiffers(0));
    const auto& recs = undoStack().Records(1);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_TRUE((Undo{1, 1, 6, "", 0, 0}) == recs[0]) << ::testing::PrintToString(recs[0]);
    EXPECT_TRUE((Undo{8, 1, 3, "1:6", 0, 1}) == recs[1]) << ::testing::PrintToString(recs[1]);
    EXPECT_TRUE((Undo{9, 1, 6, "", 0, 1}) == recs[2]) << ::testing::PrintToString(recs[2]);
}

TEST_F(EditorChangesTest, DeletingWholeLinesCollectsThemIntoOneRecord) {
    load({"l1", "l2", "l3", "l4", "l5"}, {"l1", "l2", "l3", "l4", "l5"});
    for (int row = 1; row <= 3; ++row) rows().SetLineSelection(1, row, 1, 0);
    int first = 0;
    bool more = false, join = false;
    EXPECT_EQ(e.DeleteSelection(1, first, more, join), 1);
    EXPECT_EQ(pane(1), (PaneLines{"l1", std::nullopt, std::nullopt, std::nullopt, "l5"}));
    EXPECT_EQ(first, 1);
    EXPECT_TRUE(more);
    EXPECT_FALSE(join);
    const auto& recs = undoStack().Records(1);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_TRUE((Undo{3, 1, 0, "l2\r\nl3\r\nl4", 0, 0}) == recs[0]) << ::testing::PrintToString(recs[0]);
    EXPECT_EQ(rows().FirstSelectedRow(), kNoSelectedRow);
}

// The rows of one file line (NoBreak on all but the last) keep saving as
// that line through the edits that split, join and remove rows.
TEST_F(EditorChangesTest, RowsOfOneFileLineKeepTheirEndsThroughEdits) {
    const PaneLines lines{"h", "aaaa", "bbbb", "cc", "n"};
    const auto loadCut = [&] {
        load(lines, lines);
        undoStack().ClearUndo(1);
        for (int index : {1, 2}) paneStores().TextLines[1][index]->NoBreak = 1;
        paneStores().LineBreaksChanged(1);
    };
    const auto ends = [] {
        std::vector<int> out;
        const auto& l = paneStores().TextLines[1];
        for (int i = 0; i < l.StoredSize(); ++i)
            if (!l.IsGap(i)) out.push_back(l[i]->NoBreak);
        return out;
    };

    // Enter inside a cut row: the new break ends the head, the tail goes on.
    loadCut();
    e.PlaceCaret(3, 1, 1);
    ASSERT_GE(e.EditNewLine(), 0);
    EXPECT_EQ(ends(), (std::vector<int>{0, 0, 1, 1, 0, 0}));

    // Delete at the end of a cut row joins its continuation; the join
    // says it removed no break, and ends as the continuation did.
    loadCut();
    e.PlaceCaret(5, 1, 1);
    EXPECT_EQ(e.EditDelete(), 2);
    EXPECT_TRUE(e.JoinedNoBreak);
    EXPECT_EQ(ends(), (std::vector<int>{0, 1, 0, 0}));
    loadCut();
    e.PlaceCaret(3, 3, 1);
    EXPECT_EQ(e.EditDelete(), 2);  // "cc" and "n": a real break goes
    EXPECT_FALSE(e.JoinedNoBreak);
    EXPECT_EQ(ends(), (std::vector<int>{0, 1, 1, 0}));

    // A whole last row goes with the line's break, which the row above
    // takes over: "n" stays a line of its own. The undo record remembers
    // that the row above went on, and that the row itself did not.
    loadCut();
    rows().SetLineSelection(1, 3, 1, 0);
    int first = 0;
    bool more = false, join = false;
    e.DeleteSelection(1, first, more, join);
    EXPECT_EQ(ends(), (std::vector<int>{0, 1, 0, 0}));
    ASSERT_EQ(undoStack().Records(1).size(), 1u);
    EXPECT_EQ(undoStack().Records(1)[0].NoBreak, 1);

    // Two cut rows whole, the lower of which went on: the row above keeps
    // going on, and the record says both.
    loadCut();
    for (int row : {1, 2}) rows().SetLineSelection(1, row, 1, 0);
    e.DeleteSelection(1, first, more, join);
    EXPECT_EQ(ends(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(pane(1), (PaneLines{"h", std::nullopt, std::nullopt, "cc", "n"}));
    ASSERT_EQ(undoStack().Records(1).size(), 1u);
    EXPECT_EQ(undoStack().Records(1)[0].NoBreak, 2);
}

TEST_F(EditorChangesTest, DeletingASpanCutsBothEndsForJoining) {
    load({"keep-abc", "middle", "xyz-keep", "tail"}, {"keep-", "-keep", "", "tail"});
    rows().SetLineSelection(1, 0, 6, 0);
    rows().SetLineSelection(1, 1, 1, 0);
    rows().SetLineSelection(1, 2, 1, 4);
    int first = 0;
    bool more = false, join = false;
    EXPECT_EQ(e.DeleteSelection(1, first, more, join), 0);
    EXPECT_EQ(pane(1), (PaneLines{"keep-", std::nullopt, "-keep", "tail"}));
    EXPECT_EQ(first, 6);
    EXPECT_TRUE(more);
    EXPECT_TRUE(join);
    const auto& recs = undoStack().Records(1);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_TRUE((Undo{3, 3, 1, "xyz", 0, 0}) == recs[0]) << ::testing::PrintToString(recs[0]);
    EXPECT_TRUE((Undo{3, 1, 0, "middle", 0, 1}) == recs[1]) << ::testing::PrintToString(recs[1]);
    EXPECT_TRUE((Undo{3, 1, 6, "abc", 0, 1}) == recs[2]) << ::testing::PrintToString(recs[2]);

    // A row left out between two partial cuts: the ends are not joined.
    load({"aX", "b", "Xc"}, {"a", "b", "c"});
    rows().SetLineSelection(1, 0, 2, 0);
    rows().SetLineSelection(1, 2, 1, 2);
    EXPECT_EQ(e.DeleteSelection(1, first, more, join), 0);
    EXPECT_EQ(pane(1), (PaneLines{"a", "b", "c"}));
    EXPECT_FALSE(join);
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 0);
}

TEST_F(EditorChangesTest, IgnoredColumnsKeepAnEditedRowEqual) {
    auto& st = AppSettings();
    st.TCIgnAllBl = false;
    st.TCIgnColRange = true;
    st.TCIgnColumns = "3";
    load({"abXd"}, {"abYde"});
    e.PlaceCaret(5, 0, 1);
    type(e, "e");
    EXPECT_FALSE(rows().TextRowDiffers(0));
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 0);
    type(e, "f");
    EXPECT_TRUE(rows().TextRowDiffers(0));
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 1);
}

TEST_F(EditorChangesTest, AGapFacingABlankLineIsEqualOnlyWithTheEmptyLineOption) {
    load({"x", "  "}, {"x", std::nullopt});
    e.PlaceCaret(3, 1, 1);
    type(e, " ");
    EXPECT_TRUE(rows().TextRowDiffers(1));
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 1);
    AppSettings().TCIgnEmptyLn = true;
    e.SetCaretRowAndRecompare(1, true);
    EXPECT_FALSE(rows().TextRowDiffers(1));
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 0);
    EXPECT_EQ(EmptyTextLine()->Key, 0u);
}

TEST_F(EditorChangesTest, SinglePaneViewSkipsTheComparison) {
    load({"a"}, {"a"});
    paneStores().SinglePaneView = 1;
    e.PlaceCaret(2, 0, 1);
    type(e, "b");
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "ab");
    EXPECT_FALSE(rows().TextRowDiffers(0));
    rows().CaretViewActive = 0;
    EXPECT_FALSE(e.TypeChar(u'c'));
}

}  // namespace

namespace {

TEST_F(EditorChangesTest, AnEditedRowGetsFreshInLineMarksOrLosesThem) {
    load({"same text"}, {"same test"});
    e.PlaceCaret(10, 0, 1);
    type(e, "s");
    ASSERT_TRUE(rows().RowHasCharFlags(0));
    EXPECT_EQ(rows().RowCharFlags(1, 0)->size(), size_t(paneStores().TextLines[1][0]->Length() + 2));
    EXPECT_EQ(paneStores().FuzzyMode, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(e.EditBackspace(), 1);
    type(e, "st");
    EXPECT_EQ(paneStores().TextLines[1][0]->Text, "same test");
    EXPECT_FALSE(rows().TextRowDiffers(0));
    EXPECT_FALSE(rows().RowHasCharFlags(0));
    EXPECT_EQ(fccTabs().GetTabDiffCount(), 0);
    tandex::config::AppSettings().TCDiffDetect = 0;
    type(e, "x");
    EXPECT_TRUE(rows().TextRowDiffers(0));
    EXPECT_FALSE(rows().RowHasCharFlags(0));
}

}  // namespace
