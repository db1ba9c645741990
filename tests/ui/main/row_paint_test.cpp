#include "ui/main/row_paint.h"

#include <gtest/gtest.h>
#include <QStringList>

#include <array>

#include "config/color_sets.h"
#include "config/sys_helpers.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
using namespace tandex::config;

namespace {

// Every colour of the set different, so a wrong key shows.
TColorSet distinctColors() {
    TColorSet set{};
    for (size_t i = 0; i < set.size(); ++i) set[i] = 0x101000 + quint32(i) * 0x010101;
    return set;
}

const TColorSet kColors = distinctColors();
quint32 col(int index) { return kColors[size_t(index)]; }

QString flagText(const ui::TCharFlags& flags) {
    QString out;
    for (quint8 f : flags) out += QString::number(f) + QLatin1Char(',');
    return out;
}

}  // namespace

TEST(RowPaintTest, CellColorsFollowKindMateAndMissingSides) {
    enum Side { none, leftGap, rightGap };
    struct Case {
        const char* name;
        int pane, selThis, selOther;
        bool differs, modified, folder;
        int folderState;
        Side missing;
        int kind;
        quint32 font, brush;
    };
    const Case cases[] = {
        {"equal left", 1, 0, 0, false, false, false, 0, none, 0, col(TextColL), col(TextBgCol)},
        {"equal right", 2, 0, 0, false, false, false, 0, none, 1, col(TextColR), col(TextBgCol)},
        {"modified", 1, 0, 0, true, true, false, 0, none, 2, col(DiffCol), col(DiffBgCol)},
        {"right gap", 1, 0, 0, true, true, false, 0, rightGap, 2, col(OrphanedCol), col(DelBgCol)},
        {"left gap mirrored", 2, 0, 0, true, true, false, 0, leftGap, 2, col(OrphanedCol), col(AddBgCol)},
        {"selected equal text line", 1, 1, 0, false, false, false, 0, none, 0, col(TextColL), col(TextBgCol)},
        {"selected equal file", 1, 1, 0, false, false, true, 0, none, 5, col(SelTxtCol), col(SelTxtBgCol)},
        {"file selected on the other side", 2, 0, 1, false, false, true, 0, none, 5, col(TextColR),
         col(SelMateBgCol)},
        {"selected differing file", 1, 1, 0, true, false, true, 0, none, 6, col(DiffCol), col(SelTxtBgCol)},
        {"differing file selected opposite a gap", 2, 0, 1, true, false, true, 0, leftGap, 6, col(OrphanedCol),
         col(SelMateBgCol)},
        {"selected folder", 1, 2, 0, false, false, true, 1, none, 7, col(SelFldCol), col(SelFldBgCol)},
        {"folder selected opposite", 1, 0, 2, false, false, true, 1, none, 7, col(TextColL), col(SelMateBgCol)},
        {"selected differing folder", 2, 2, 0, true, false, true, 2, none, 8, col(ModFldCol), col(SelFldBgCol)},
        {"differing folder", 1, 0, 0, true, false, true, 1, none, 9, col(ModFldCol), col(ModFldBgCol)},
        {"folder only on the left", 1, 0, 0, true, false, true, 1, rightGap, 9, col(OrphanedCol), col(DelBgCol)},
    };
    for (const Case& c : cases) {
        ui::TRowLook row;
        row.rowDiffers = c.differs;
        row.rowModified = c.modified;
        row.folderMode = c.folder;
        row.folderState = c.folderState;
        row.leftMissing = c.missing == leftGap;
        row.rightMissing = c.missing == rightGap;
        const ui::TCellChoice got = ui::cellColorsForPane(c.pane, c.selThis, c.selOther, row, kColors);
        EXPECT_EQ(got.kind, c.kind) << c.name;
        EXPECT_EQ(got.colors.font, c.font) << c.name;
        EXPECT_EQ(got.colors.brush, c.brush) << c.name;
    }
    // Line numbers and unknown kinds.
    EXPECT_EQ(ui::setCellColors(3, 0, {}, kColors).brush, col(LNumBgCol));
    EXPECT_EQ(ui::setCellColors(4, 0, {}, kColors).font, col(SelLnCol));
    EXPECT_EQ(ui::setCellColors(4, 0, {}, kColors).brush, col(SelLnBgCol));
    EXPECT_EQ(ui::setCellColors(42, 0, {}, kColors).brush, 0xFFFFFFu);
}

TEST(RowPaintTest, SystemColorReferencesAreResolved) {
    TColorSet set = kColors;
    set[TextBgCol] = SysColorRef(scWindow);
    EXPECT_EQ(ui::paintColor(set, TextBgCol), SystemColor(scWindow));
    EXPECT_EQ(ui::paintColor(set, DiffCol), col(DiffCol));
}

TEST(RowPaintTest, TextFlagFillMarksIgnoredLinesColumnsEmptyRowsLinksAndBlanks) {
    struct Case {
        const char* name;
        QString left, right;
        bool differs, leftGap, rightGap;
        int line;
        void (*setup)(TAppSettings&);
        QString flagsLeft;
        bool stillDiffers, ignoredEmpty;
    };
    std::array<quint8, 9> mask{};
    mask[2] = mask[3] = 1;  // columns 2 and 3
    const Case cases[] = {
        {"equal row", "ab", "ab", false, false, false, 5, nullptr, "1,1,", false, false},
        {"differing row", "ab", "xy", true, false, false, 5, nullptr, "0,0,", true, false},
        {"before the ignored start", "ab", "xy", true, false, false, 1,
         [](TAppSettings& s) { s.TCIgnLnStart = 2; }, "16,16,", true, false},
        {"in the ignored end", "ab", "xy", true, false, false, 8,
         [](TAppSettings& s) { s.TCIgnLnEnd = 2; }, "16,16,", true, false},
        {"blank line opposite a gap", "  ", "", true, false, true, 5,
         [](TAppSettings& s) { s.TCIgnEmptyLn = true; }, "1,1,", false, true},
        {"text opposite a gap stays", "a ", "", true, false, true, 5,
         [](TAppSettings& s) { s.TCIgnEmptyLn = true; }, "0,0,", true, false},
        {"link on an equal line", "x http://a y", "x http://a y", false, false, false, 5, nullptr,
         "1,1,3,3,3,3,3,3,3,3,1,1,", false, false},
        {"visible blanks", "a b", "a c", true, false, false, 5,
         [](TAppSettings& s) { s.TEVisibleWS = true; }, "0,32,0,", true, false},
    };
    for (const Case& c : cases) {
        TAppSettings s;
        s.TEEnableLinks = true;
        if (c.setup) c.setup(s);
        ui::TTextRowInput in;
        in.left = c.left;
        in.right = c.right;
        in.rowDiffers = c.differs;
        in.leftMissing = c.leftGap;
        in.rightMissing = c.rightGap;
        in.lineIndex = c.line;
        in.maxLineCount = 10;
        const ui::TTextRowFlags f = ui::fillTextRowFlags(in, s);
        EXPECT_EQ(flagText(f.flagsLeft), c.flagsLeft) << c.name;
        EXPECT_EQ(f.rowDiffers, c.stillDiffers) << c.name;
        EXPECT_EQ(f.ignoredEmptyRow, c.ignoredEmpty) << c.name;
    }

    // Ignored columns, and the visible blank put into the text.
    TAppSettings s;
    s.TEVisibleWS = true;
    ui::TTextRowInput in;
    in.left = "a b c";
    in.right = "a x c";
    in.rowDiffers = true;
    in.lineIndex = 3;
    in.maxLineCount = 10;
    in.ignoredColumns = mask.data();
    in.ignoredColumnCount = 8;
    const ui::TTextRowFlags f = ui::fillTextRowFlags(in, s);
    EXPECT_EQ(flagText(f.flagsLeft), "0,48,16,32,0,");
    EXPECT_EQ(f.left, QString("a") + QChar(0x2219) + "b" + QChar(0x2219) + "c");

    // The engine's in-line flags are taken as they are.
    const std::vector<quint8> engineLeft{1, 0, 1, 1, 1}, engineRight{1, 0, 1, 1, 1};
    in.engineLeft = &engineLeft;
    in.engineRight = &engineRight;
    in.ignoredColumns = nullptr;
    s.TEVisibleWS = false;
    EXPECT_EQ(flagText(ui::fillTextRowFlags(in, s).flagsLeft), "1,0,1,1,1,");
}

TEST(RowPaintTest, BinaryFlagsCompareWholeBytesAndMarkMissingOnes) {
    // Four bytes per row: "hh hh hh hh" + separator + four characters.
    const QChar nb(0xA0);
    const QString left = QString("41 42 43 44 ") + "  " + "ABCD";
    const QString right = QString("41 58 43 ") + nb + nb + " " + "  " + "AXC" + nb;
    const QString* l = &left;
    const QString* r = &right;
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(l, r, true, true, 4)),
              "1,1,1,0,0,0,1,1,1,8,8,1,1,1,1,0,1,8,");
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(r, l, false, true, 4)),
              "1,1,1,0,0,0,1,1,1,8,8,1,1,1,1,0,1,8,");
    // A byte whose digits both match is equal even between differing ones.
    const QString a = "10 22 30 ", b = "11 22 31 ";
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(&a, &b, true, true, 3)).left(18), "0,0,0,1,1,1,0,0,1,");
    // Only one side: everything missing on the other, the separator equal.
    const QString one = "41 42 " + QString("  ") + "AB";
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(&one, nullptr, true, true, 2)), "8,8,8,8,8,1,1,1,8,8,");
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(&one, nullptr, false, true, 2)), "4,4,4,4,4,1,1,1,4,4,");
    EXPECT_EQ(flagText(ui::fillBinaryRowFlags(&one, &one, true, false, 2)), "1,1,1,1,1,1,1,1,1,1,");
}

TEST(RowPaintTest, GetLinkFindsTheFiveSchemes) {
    struct Case {
        const char* name;
        QString text;
        bool enabled;
        int from;
        int start, stop;
    };
    const Case cases[] = {
        {"plain", "go http://a.b/c now", true, 1, 4, 16},
        {"in brackets", "(see http://a.b/c)", true, 1, 6, 18},
        {"scheme glued to a word", "xhttp://a", true, 1, 0, 0},
        {"mail", "write mailto:me@x.org!", true, 1, 7, 23},
        {"secure and ftp", "https://x 'ftp://y'", true, 1, 1, 10},
        {"from behind the first", "https://x 'ftp://y'", true, 10, 12, 19},
        {"links switched off", "http://a", false, 1, 0, 0},
        {"none", "no link here: a://", true, 1, 0, 0},
        // A rejected candidate does not hide a real link behind it.
        {"rejected candidate first", "see file://x and http://y", true, 1, 18, 26},
    };
    for (const Case& c : cases) {
        int start = c.from, stop = -1;
        ui::getLink(c.text, start, stop, c.enabled);
        EXPECT_EQ(start, c.start) << c.name;
        if (c.start > 0) {
            EXPECT_EQ(stop, c.stop) << c.name;
        }
    }
    ui::TCharFlags flags(25, ui::cfEqual);
    ui::markLinks("see file://x and http://y", flags, true);
    EXPECT_EQ(flagText(flags), "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,3,3,3,3,3,3,3,3,");
}

TEST(RowPaintTest, RunsSplitAtFlagAndSelectionChanges) {
    ui::TRunStyle style;
    style.normalFont = col(TextColL);
    style.diffFont = col(DiffCol);
    style.cellBrush = col(DiffBgCol);
    style.selectionBrush = col(SelTxtBgCol);
    style.charWidth = 10;
    style.x0 = 100;
    style.rightLimit = 1000;
    struct Case {
        const char* name;
        QString text;
        std::vector<quint8> flags;
        quint32 selection;
        int firstColumn;
        bool currentLine;
        QStringList runs;  // "column:text:font:brush" in writing order
    };
    auto r = [](int column, const char* text, quint32 font, quint32 brush) {
        return QString("%1:%2:%3:%4").arg(column).arg(text).arg(font, 0, 16).arg(brush, 0, 16);
    };
    const QString blank = QString(QChar(0x2219));
    const quint32 blendedDiff = BlendColors(col(DiffBgCol), col(DiffCol), 114);
    const Case cases[] = {
        {"one run", "abc", {1, 1, 1}, 0, 1, false, {r(1, "abc", col(TextColL), col(DiffBgCol))}},
        {"equal and differing", "abXY", {1, 1, 0, 0}, 0, 1, false,
         {r(1, "ab", col(TextColL), col(DiffBgCol)), r(3, "XY", col(DiffCol), col(DiffBgCol))}},
        {"selection splits a run", "abcd", {1, 1, 1, 1}, 2u | (4u << 16), 1, false,
         {r(1, "a", col(TextColL), col(DiffBgCol)), r(2, "bc", col(SelTxtCol), col(SelTxtBgCol)),
          r(4, "d", col(TextColL), col(DiffBgCol))}},
        {"selection to the end", "abcd", {1, 1, 1, 1}, 3u | (0xFFFFu << 16), 1, false,
         {r(1, "ab", col(TextColL), col(DiffBgCol)), r(3, "cd", col(SelTxtCol), col(SelTxtBgCol))}},
        // The held run is written after the visible blank behind it.
        {"visible blank written first", "a" + blank + "b", {0, 32, 0}, 0, 1, false,
         {r(2, "\u2219", blendedDiff, col(DiffBgCol)), r(1, "a", col(DiffCol), col(DiffBgCol)),
          r(3, "b", col(DiffCol), col(DiffBgCol))}},
        {"missing and ignored cells", "abc", {4, 8, 16}, 0, 1, false,
         {r(1, "a", col(OrphanedCol), col(AddBgCol)), r(2, "b", col(OrphanedCol), col(DelBgCol)),
          r(3, "c", col(IgnTxtCol), col(IgnBgCol))}},
        {"current line", "ab", {1, 1}, 0, 1, true, {r(1, "ab", col(TextColL), col(HLCurLineCol))}},
        {"scrolled", "abcdef", {1, 1, 1, 0, 0, 0}, 0, 3, false,
         {r(3, "c", col(TextColL), col(DiffBgCol)), r(4, "def", col(DiffCol), col(DiffBgCol))}},
    };
    for (const Case& c : cases) {
        ui::TRunStyle s = style;
        s.selection = c.selection;
        s.firstColumn = c.firstColumn;
        s.currentLine = c.currentLine;
        QStringList got;
        for (const ui::TCharRun& run : ui::splitCharRuns(c.text, c.flags, s, kColors))
            got << QString("%1:%2:%3:%4").arg(run.column).arg(run.text).arg(run.font, 0, 16).arg(run.brush, 0, 16);
        EXPECT_EQ(got, c.runs) << c.name;
    }

    // A link is underlined; x follows the first visible column; the last run
    // is cut where it passes the right limit.
    ui::TRunStyle s = style;
    s.firstColumn = 2;
    s.rightLimit = 125;
    const auto runs = ui::splitCharRuns("xabcdef", {1, 3, 3, 1, 1, 1, 1}, s, kColors);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].underline);
    EXPECT_EQ(runs[0].x, 100);
    EXPECT_EQ(runs[1].x, 120);
    EXPECT_EQ(runs[1].text, "c");
    // A differing tab cell keeps the normal colour while blanks are ignored.
    s = style;
    s.tabsAsBlanks = true;
    EXPECT_EQ(ui::splitCharRuns(QString("a") + QChar(0xBB), {1, 0}, s, kColors).back().font, col(TextColL));
}
