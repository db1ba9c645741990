#include "ui/main/main_window_status.h"

#include <gtest/gtest.h>

#include "ui/main/main_window_layout.h"

namespace ui = tandex::ui;

namespace {

TEST(MainWindowStatus, StatusTextPerView) {
    struct Case {
        const char* name;
        ui::TStatusSnapshot s;
        QString expected;
    };
    ui::TStatusSnapshot text;
    text.viewType = ui::vtText;
    text.caretRow = 1233;
    text.caretColumn = 7;
    text.leftName = "a.txt";
    text.rightName = "b.txt";
    text.diffCount = 3;
    text.diffBlockCount = 2;
    text.compareSummary = "Mod=1 Add=1 Del=1";
    text.rightModified = true;
    text.selectedCount = 1;
    text.activePane = 2;
    ui::TStatusSnapshot equal = text;
    equal.diffCount = 0;
    equal.rightModified = false;
    equal.selectedCount = 0;
    // Cut at the row limit: no difference in the rows is no verdict.
    ui::TStatusSnapshot cut = equal;
    cut.cutMessage = "The compared files need more than 5.999.999 rows.";
    ui::TStatusSnapshot cutDiffering = text;
    cutDiffering.cutMessage = cut.cutMessage;
    ui::TStatusSnapshot folder;
    folder.viewType = ui::vtFolder;
    folder.hasRows = true;
    folder.diffCount = 5;
    folder.compareToPending = true;
    ui::TStatusSnapshot folderEqual = folder;
    folderEqual.folderViewFilter = 1;
    folderEqual.compareToPending = false;
    ui::TStatusSnapshot single;
    single.singlePaneView = true;
    single.viewType = ui::vtText;
    single.leftModified = true;
    ui::TStatusSnapshot image;
    image.viewType = ui::vtImage;
    image.leftName = "a.png";
    image.rightName = "b.png";
    image.diffCount = 1;
    image.zoomPercent = 400;
    image.zoomLimitReached = true;
    ui::TStatusSnapshot empty;
    const Case cases[] = {
        {"text", text,
         "Ln 1.234:Col 7 | Diff: 2 Blocks, 3 Lines, Mod=1 Add=1 Del=1 | Right mod! | Sel: 1 Line (right)"},
        {"equal", equal, "Ln 1.234:Col 7 |  Files are equal"},
        {"cut", cut, "Ln 1.234:Col 7 |  The compared files need more than 5.999.999 rows."},
        {"cut differing", cutDiffering,
         "Ln 1.234:Col 7 | Diff: 2 Blocks, 3 Lines, Mod=1 Add=1 Del=1 | Right mod! | Sel: 1 Line (right)"},
        {"folder", folder, "Ln  1:Col 0 | Diff: 5 Files | Compare To...?"},
        {"folder filter", folderEqual, "Ln  1:Col 0 |  All files are equal"},
        {"single", single, "Ln  1:Col 0 | View Mode | File is modified"},
        {"image", image, "Ln  1:Col 0 | Images are different  | Zoom: 400%  => MaxZoom is reached!"},
        {"empty", empty, "Ln  1:Col 0 | "},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::statusBarText(c.s), c.expected) << c.name;
}

TEST(MainWindowStatus, LabelsOutsideTheTextViewAreHidden) {
    ui::TInsertStateSnapshot s;
    s.caretViewActive = true;
    s.binaryMode = true;
    EXPECT_FALSE(ui::statusLabels(s).visible);
    s.binaryMode = false;
    s.caretViewActive = false;
    EXPECT_FALSE(ui::statusLabels(s).visible);
}

TEST(MainWindowStatus, LabelTexts) {
    ui::TInsertStateSnapshot s;
    s.caretViewActive = true;
    s.diffCount = 4;
    auto l = ui::statusLabels(s);
    EXPECT_EQ(l.insertText, "[INS]");
    EXPECT_EQ(l.hiddenText, "[No Hidden Lines]");
    EXPECT_FALSE(l.hiddenAlert);
    EXPECT_EQ(l.similarityText, "[Similarity: 85%]");
    EXPECT_EQ(l.similarityColor, 0x808080u);

    s.insertMode = false;
    s.hiddenRowCount = 12;
    s.fuzzyStopState = 1;
    l = ui::statusLabels(s);
    EXPECT_EQ(l.insertText, "[OVW]");
    EXPECT_EQ(l.hiddenText, "[12 Hidden Lines!]");
    EXPECT_TRUE(l.hiddenAlert);
    EXPECT_EQ(l.similarityText, "[Fuzzy processing skipped!]");
    EXPECT_EQ(l.similarityHint, " Too many lines: > 15.000 ");

    s.fuzzyStopState = 2;
    EXPECT_EQ(ui::statusLabels(s).similarityText, "[Fuzzy processing aborted!]");
    // Without differences the fuzzy state is forgotten.
    s.diffCount = 0;
    l = ui::statusLabels(s);
    EXPECT_EQ(l.fuzzyStopState, 0);
    EXPECT_EQ(l.similarityText, "[Similarity: 85%]");
}

}  // namespace
