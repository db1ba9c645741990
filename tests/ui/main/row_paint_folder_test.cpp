// The folder rows' look as plain values: guide lines, icon roles, the
// character runs of differing entries and the column header.

#include "ui/main/row_paint.h"

#include <gtest/gtest.h>

#include "config/app_settings.h"
#include "config/color_sets.h"

namespace ui = tandex::ui;
using namespace tandex::config;

namespace {

using Seg = ui::TTreeSegment;

ui::TTreeMetrics metrics() {
    ui::TTreeMetrics m;
    m.textX = 100;
    m.y = 40;
    m.lineHeight = 16;
    m.charWidth = 8;
    return m;  // DpiPx2 2, DpiPx3 3, 8 pixels scaled 8
}

TEST(FolderTreeLines, OwnLevelAndAncestors) {
    const int mid = 48;
    struct Case {
        const char* name;
        int depth;
        std::vector<bool> next;
        std::vector<Seg> lines;
        std::vector<Seg> circles;
    };
    const Case cases[] = {
        {"top level draws nothing", 0, {true}, {}, {}},
        {"last child ends at mid-row", 1, {false}, {{108, 38, 108, mid}, {108, mid, 120, mid}}, {}},
        {"child with a following sibling",
         1,
         {true},
         {{108, 38, 108, 56}, {108, mid, 120, mid}},
         {{105, mid - 3, 110, mid + 2}}},
        {"ancestor with a following sibling",
         2,
         {false, true},
         {{124, 38, 124, mid}, {124, mid, 136, mid}, {108, 24, 108, 56}},
         {}},
        {"ancestor without one", 2, {false, false}, {{124, 38, 124, mid}, {124, mid, 136, mid}}, {}},
    };
    for (const Case& c : cases) {
        const ui::TTreeLines got = ui::treeLinePrimitives(c.depth, c.next, metrics());
        EXPECT_EQ(got.lines, c.lines) << c.name;
        EXPECT_EQ(got.circles, c.circles) << c.name;
    }
}

TEST(FolderIconRoles, ByStateStatusAndName) {
    struct Case {
        int state;
        bool placeholder;
        int status;
        bool archive;
        int role;
    };
    const Case cases[] = {
        {1, false, 0, false, 0}, {2, false, 0, false, 1},  // closed and open folders
        {1, true, 0, false, 3},  {2, true, 0, false, 4},   // placeholders
        {1, false, 3, false, 5}, {2, false, 3, false, 6},  // path not found
        {1, true, 3, false, 5},                            // not found wins
        {0, false, 2, false, 7}, {0, false, 1, true, 7},   // a file with a status
        {0, false, 0, true, 8},  {0, false, 0, false, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::folderIconRole(c.state, c.placeholder, c.status, c.archive), c.role)
            << c.state << ' ' << c.placeholder << ' ' << c.status << ' ' << c.archive;
}

TEST(FolderCharDiffRuns, ListViewMarksDifferingDigitsAndTheWholePath) {
    // Info part of 23 columns (size and time), path from column 23 on.
    const QString info = QStringLiteral("         1,234 05.12.2011 09:07:03  ");
    const QString left = QStringLiteral("         1,234 05.12.2011 09:07:03  ") + "dir/a.txt";
    const QString right = QStringLiteral("         1,284 05.12.2011 09:07:03  ") + "dir/a.txt";
    const int width = int(info.size()) + 1;
    const auto runs = ui::splitCharDiffRuns(left, right, 1, 200, 200, width);
    const std::vector<ui::TCharDiffRun> want = {
        {1, 12, false}, {13, 1, true}, {14, width - 14, false}, {width, int(left.size()) - width + 1, true}};
    EXPECT_EQ(runs, want);
}

TEST(FolderCharDiffRuns, InfoColumnsBeyondTheShorterTextAndVisibleLimits) {
    struct Case {
        const char* name;
        QString left, right;
        int first, visL, visR;
        std::vector<ui::TCharDiffRun> runs;
    };
    const Case cases[] = {
        {"equal", "abc", "abc", 1, 10, 10, {{1, 3, false}}},
        {"longer right", "ab", "abcd", 1, 10, 10, {{1, 2, false}, {3, 2, true}}},
        {"from the first visible", "abcdef", "abXdef", 3, 10, 10, {{3, 1, true}, {4, 3, false}}},
        {"cut at the visible columns", "abcdef", "abcdeX", 1, 3, 4, {{1, 4, false}}},
        {"empty left side", "", "xy", 1, 10, 10, {{1, 2, true}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::splitCharDiffRuns(c.left, c.right, c.first, c.visL, c.visR, 0), c.runs) << c.name;
}

TEST(FolderCharDiffRuns, RunFonts) {
    TAppSettings s;
    s.SetDefaults(QString());
    TColorSet set = s.ColorSets[0];
    set[DiffCol] = 0x0000C0;
    set[ModFldCol] = 0x00C000;
    set[SelTxtCol] = 0xFFFFFF;
    set[TextColL] = 0x000001;
    set[TextColR] = 0x000002;
    EXPECT_EQ(ui::charDiffRunFont(1, true, false, false, set), 0x0000C0u);
    EXPECT_EQ(ui::charDiffRunFont(2, true, true, true, set), 0x00C000u);  // folder rows in ModFldCol
    EXPECT_EQ(ui::charDiffRunFont(1, false, true, false, set), 0xFFFFFFu);
    EXPECT_EQ(ui::charDiffRunFont(1, false, false, false, set), 0x000001u);
    EXPECT_EQ(ui::charDiffRunFont(2, false, false, true, set), 0x000002u);
}

TEST(FolderHeader, HintsSectionsAndPressedColour) {
    const QString attr = " Attributes of files or folders:\r a=Archive, r=Read-only, h=Hidden, s=System ";
    EXPECT_EQ(ui::headerSectionHint(4), attr);
    EXPECT_EQ(ui::headerSectionHint(10), attr);
    EXPECT_EQ(ui::headerSectionHint(1), " Name of files or folders ");
    EXPECT_EQ(ui::headerSectionHint(9), " Timestamp of last modification ");
    EXPECT_TRUE(ui::headerSectionHint(8).contains("\"Folder Properties\" to show the real size of folders"));
    for (int section : {0, 5, 6, 11}) EXPECT_TRUE(ui::headerSectionHint(section).isEmpty()) << section;

    const std::vector<int> lefts = {0, 30, 130, 180, 260, 300};
    EXPECT_EQ(ui::headerSectionAt(lefts, 0), 0);
    EXPECT_EQ(ui::headerSectionAt(lefts, 30), 0);  // the edge belongs to the section left of it
    EXPECT_EQ(ui::headerSectionAt(lefts, 31), 1);
    EXPECT_EQ(ui::headerSectionAt(lefts, 299), 4);

    EXPECT_EQ(ui::pressedHeaderColor(0x00C8B4A0), 0x00C8B48Cu);  // red 0xA0 - 20
    EXPECT_EQ(ui::pressedHeaderColor(0x00FFFF0A), 0x00FFFF00u);  // saturates at 0
}

}  // namespace
