// The main window's row painting, seen the way a user sees it: the window
// is shown offscreen with a comparison in its pane stores, grabbed, and the
// background of chosen cells is checked (glyphs only where a colour is
// all they show). Every grab is kept
// as a PNG beside the test so a person can look at it.

#include "ui/main/main_window.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/prg_dir.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/inline_diff.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/overview_bar.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using namespace tandex::config;

namespace {

using Line = std::optional<QString>;

// Colours far enough apart that a wrong one can never pass for another.
void usePaintColors() {
    auto& s = AppSettings();
    auto& set = s.ColorSets[size_t(s.COSetIdx)];
    set[TextColL] = set[TextColR] = 0x000000;
    set[TextBgCol] = 0xFFFFFF;
    set[DiffCol] = 0x0000C0;
    set[DiffBgCol] = 0xC0FFFF;
    set[AddBgCol] = 0xC0FFC0;
    set[DelBgCol] = 0xC0C0FF;
    set[OrphanedCol] = 0x800000;
    set[IgnTxtCol] = 0x808080;
    set[IgnBgCol] = 0xE0E0E0;
    set[SelTxtCol] = 0xFFFFFF;
    set[SelTxtBgCol] = 0xC07000;
    set[SelMateBgCol] = 0xF0D0B0;
    set[LNumCol] = 0x606060;
    set[LNumBgCol] = 0xF0F0F0;
    set[HLCurLineCol] = 0xD0F0F0;
}

QRgb rgb(quint32 bgr) { return qRgb(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

class MainWindowPaintTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        TPrgDirSources sources;
        sources.executablePath = tmp_.filePath("bin/tandex");
        sources.configHome = tmp_.filePath("cfg");
        SetPrgDir(std::make_unique<TPrgDir>(sources));
        static const int fontId =
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
        ASSERT_GE(fontId, 0) << "fonts-dejavu-core is needed";
        resetEngine();
    }
    void TearDown() override {
        WidgetTest::TearDown();
        window_.reset();
        resetEngine();
        tandex::access::FZSetLogFile(QString());
        SetPrgDir(nullptr);
        AppSettings().SetDefaults(PrgDir().GetWritableRoot());
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
    }

    // A shown window with the test's font and colours in the given view.
    ui::TF_Main& makeWindow(int viewType, int pointSize = 10) {
        window_ = std::make_unique<ui::TF_Main>();
        ui::TF_Main& w = *window_;
        Watch(&w);
        auto& s = AppSettings();
        s.AFFont = {QStringLiteral("DejaVu Sans Mono"), pointSize, 0};
        s.TEHLCurLine = false;
        usePaintColors();
        w.applyPaneFont();
        w.resize(900, 520);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.firePendingJobs();
        engine::paneStores().BinaryMode = viewType == ui::vtBinary;
        engine::rows().SelectSelectionMode(viewType == ui::vtBinary);
        w.arrangeLayout(viewType);
        return w;
    }

    // Lets every queued paint and post-paint step run.
    void settle() {
        window_->invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }

    // The window as the user sees it, kept as <name>.png.
    QImage grab(const QString& name) {
        settle();
        const QString path = tandex::testing::GrabToPng(window_.get(), QStringLiteral("MainWindowPaint.") + name);
        std::printf("grab: %s\n", qPrintable(path));
        return window_->RowArea()->grab().toImage();
    }

    // The pixel in the top line of a text cell (1-based column) of a visible
    // row, where no glyph reaches; in row-area coordinates.
    QRgb cellPixel(const QImage& image, int pane, int row, int column) const {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const int x = (pane == 1 ? g.leftTextX : g.rightTextX) + 1 + (column - 1) * window_->CharWidth() +
                      window_->CharWidth() / 2;
        const int y = g.paneTop + (row - window_->topRow(window_->ViewType()) + 1) * window_->LineHeight();
        return image.pixel(QPoint(x, y) - window_->RowArea()->pos());
    }

    // The visible row whose two lines are these (nullopt: a gap).
    static int findRow(const Line& left, const Line& right) {
        const auto& st = engine::paneStores();
        for (int row = 0; row < engine::rows().TextRowCount; ++row) {
            const int i = engine::rows().TextRowIndex(row);
            const auto* l = st.TextLines[1][i];
            const auto* r = st.TextLines[2][i];
            if ((left ? !l->Gap && l->Text == *left : bool(l->Gap)) &&
                (right ? !r->Gap && r->Text == *right : bool(r->Gap)))
                return row;
        }
        return -1;
    }

    static void loadLines(int pane, const QStringList& lines) {
        auto& st = engine::paneStores();
        st.TextLines[size_t(pane)].Clear();
        for (int i = 0; i < lines.size(); ++i) {
            engine::TTextLine* line = st.TextLines[size_t(pane)].New(i);
            line->Text = lines[i];
            line->LineNumber = i + 1;
        }
        st.LineCount[size_t(pane)] = int(lines.size());
        st.FileNames[size_t(pane)] = pane == 1 ? QStringLiteral("left.txt") : QStringLiteral("right.txt");
        st.UpdateMaxLineCount();
    }

    // The engine compares two small texts the way the window's comparison
    // does, with the in-line marks of every row that has lines on both sides.
    static void compareTexts(const QStringList& left, const QStringList& right) {
        loadLines(1, left);
        loadLines(2, right);
        engine::lineKeys().BuildColumnMask();
        engine::textCompare().CompareTextFiles();
        engine::rows().FilterTextRows(0);
        for (int row = 0; row < engine::rows().TextRowCount; ++row) {
            if (!engine::rows().RowDiffers(row) || !engine::rows().IsRowOnBothSides(row)) continue;
            const int i = engine::rows().TextRowIndex(row);
            engine::inlineDiff().CompareLinePair(engine::paneStores().TextLines[1][i]->Text,
                                                 engine::paneStores().TextLines[2][i]->Text, row);
        }
        engine::rows().CaretViewActive = 1;
    }

    QTemporaryDir tmp_;
    std::unique_ptr<ui::TF_Main> window_;
};

const QStringList kLeft = {"title line",  "one",  "two apples", "only on the left", "three",
                           "",            "four", "see http://example.org/x here", "last"};
const QStringList kRight = {"title line", "one",         "two pears", "three",
                            "four",       "only right", "see http://example.org/x here", "last"};

TEST_F(MainWindowPaintTest, TextViewPaintsGapsIgnoredRowsSelectionAndBlanks) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    auto& s = AppSettings();
    s.TCIgnLnStart = 1;
    s.TCIgnEmptyLn = true;
    s.TEVisibleWS = true;
    compareTexts(kLeft, kRight);
    const int deleted = findRow(QString("only on the left"), std::nullopt);
    const int added = findRow(std::nullopt, QString("only right"));
    const int empty = findRow(QString(), std::nullopt);
    const int modified = findRow(QString("two apples"), QString("two pears"));
    const int link = findRow(QString("see http://example.org/x here"), QString("see http://example.org/x here"));
    ASSERT_GE(deleted, 0);
    ASSERT_GE(added, 0);
    ASSERT_GE(empty, 0);
    ASSERT_GE(modified, 0);
    ASSERT_GE(link, 0);
    engine::rows().SetLineSelection(1, link, 1, 0);
    // The overview bar's colours: a side bit where one pane lacks the row.
    EXPECT_EQ(w.diffBarColor(1), 0u);
    EXPECT_EQ(w.diffBarColor(modified), 0x0000C0u);
    EXPECT_EQ(w.diffBarColor(deleted), 0x800000u | ui::kOnlyLeftRow);
    EXPECT_EQ(w.diffBarColor(added), 0x800000u | ui::kOnlyRightRow);

    const QImage image = grab(QStringLiteral("text"));
    const int far = 40;  // a column behind every text: the cell's own fill
    // A gap row: the text on DelBgCol, the gap opposite filled with it too;
    // the other way round AddBgCol.
    EXPECT_EQ(cellPixel(image, 1, deleted, 2), rgb(0xC0C0FF));
    EXPECT_EQ(cellPixel(image, 2, deleted, far), rgb(0xC0C0FF));
    EXPECT_EQ(cellPixel(image, 1, added, far), rgb(0xC0FFC0));
    EXPECT_EQ(cellPixel(image, 2, added, 2), rgb(0xC0FFC0));
    // A modified row on DiffBgCol.
    EXPECT_EQ(cellPixel(image, 2, modified, far), rgb(0xC0FFFF));
    // The first line lies before the compared range.
    EXPECT_EQ(cellPixel(image, 1, 0, 2), rgb(0xE0E0E0));
    EXPECT_EQ(cellPixel(image, 1, 0, far), rgb(0xFFFFFF));
    // An empty line opposite a gap is ignored, not a difference.
    EXPECT_EQ(cellPixel(image, 1, empty, far), rgb(0xE0E0E0));
    EXPECT_EQ(cellPixel(image, 2, empty, far), rgb(0xE0E0E0));
    // A selection running to the line's end reaches the pane's edge.
    const int lastColumn = (w.Geometry().columnEdges[5] - w.Geometry().leftTextX) / w.CharWidth();
    EXPECT_EQ(cellPixel(image, 1, link, lastColumn), rgb(0xC07000));
    EXPECT_EQ(cellPixel(image, 2, link, far), rgb(0xFFFFFF));

    // A visible blank is drawn 114/255 of the way from the background to
    // the font colour: the blank between "two" and "apples" differs.
    const ui::TLayoutGeometry& g = w.Geometry();
    const QRect cell(g.leftTextX + 1 + 3 * w.CharWidth(),
                     g.paneTop + modified * w.LineHeight(), w.CharWidth(), w.LineHeight());
    const QRgb background = rgb(0xC0FFFF);
    // The in-line marks decide whether the blank counts as changed.
    const auto* marks = engine::rows().RowCharFlags(1, modified);
    const quint32 font = marks && marks->at(3) == 1 ? 0x000000 : 0x0000C0;
    const QRgb blended = rgb(BlendColors(0xC0FFFF, font, 114));
    // Glyph edges may be smoothed: every pixel lies between the background
    // and the mark's colour, and the darkest one is the mark's colour.
    int marked = 0, darkest = 0;
    QRgb core = background;
    auto between = [](int v, int a, int b) { return v >= std::min(a, b) - 2 && v <= std::max(a, b) + 2; };
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb p = image.pixel(QPoint(x, y) - w.RowArea()->pos());
            if (p == background) continue;
            EXPECT_TRUE(between(qRed(p), qRed(background), qRed(blended)) &&
                        between(qGreen(p), qGreen(background), qGreen(blended)) &&
                        between(qBlue(p), qBlue(background), qBlue(blended)))
                << std::hex << p << " at " << std::dec << x << "," << y;
            const int depth = qGray(background) - qGray(p);
            if (depth > darkest) {
                darkest = depth;
                core = p;
            }
            ++marked;
        }
    EXPECT_NEAR(qRed(core), qRed(blended), 3);
    EXPECT_NEAR(qGreen(core), qGreen(blended), 3);
    EXPECT_NEAR(qBlue(core), qBlue(blended), 3);
    EXPECT_GT(marked, 0) << "the blank mark was not drawn";
}

TEST_F(MainWindowPaintTest, BinaryViewComparesWholeBytes) {
    ui::TF_Main& w = makeWindow(ui::vtBinary);
    AppSettings().BCHEXBytes = 4;
    w.arrangeLayout(ui::vtBinary);
    const QString nb(QChar(0xA0));
    struct Row {
        const char* left;
        QString right;  // empty: a gap
        bool differs;
    };
    const Row rows[] = {
        {"41 42 43 44   ABCD", "41 58 43 59   AXCY", true},
        {"30 31 32 33   0123", "30 31 32 33   0123", false},
        {"61 62 63 64   abcd", QString(), true},
        {"65 66 67 68   efgh", "65 66 " + nb + nb + " " + nb + nb + "   ef" + nb + nb, true},
    };
    auto& st = engine::paneStores();
    for (int i = 0; i < 4; ++i) {
        auto* l = st.BinaryLines[1].NewText(i, rows[i].left);
        l->Offset = i * 4;
        l->Differs = rows[i].differs;
        if (rows[i].right.isEmpty()) continue;
        auto* r = st.BinaryLines[2].NewText(i, rows[i].right.toLatin1());
        r->Offset = i * 4;
        r->Differs = rows[i].differs;
    }
    st.LineCount = {0, 4, 3};
    st.UpdateMaxLineCount();
    engine::rows().FilterBinaryRows(0);
    engine::rows().CaretViewActive = 1;

    const QImage image = grab(QStringLiteral("binary"));
    (void)w;
    // Byte 2 ("43") is equal between two differing bytes; the blank behind
    // a byte belongs to its cell.
    EXPECT_EQ(cellPixel(image, 1, 0, 9), rgb(0xFFFFFF));
    EXPECT_EQ(cellPixel(image, 1, 0, 6), rgb(0xC0FFFF));
    EXPECT_EQ(cellPixel(image, 2, 0, 10), rgb(0xC0FFFF));
    EXPECT_EQ(cellPixel(image, 2, 0, 12), rgb(0xFFFFFF));  // the separator
    EXPECT_EQ(cellPixel(image, 1, 1, 6), rgb(0xFFFFFF));
    // A row the right file lacks, and bytes the right file lacks.
    EXPECT_EQ(cellPixel(image, 1, 2, 3), rgb(0xC0C0FF));
    EXPECT_EQ(cellPixel(image, 1, 3, 9), rgb(0xC0C0FF));
    EXPECT_EQ(cellPixel(image, 2, 3, 9), rgb(0xC0C0FF));
    EXPECT_EQ(cellPixel(image, 2, 3, 3), rgb(0xFFFFFF));
}

// A font advances by a fraction of a pixel; the panes count whole-pixel
// cells. Every glyph must stand in its own cell all along a long row, with
// the in-line marks on their characters and the caret on its column.
TEST_F(MainWindowPaintTest, LongRowsKeepEveryGlyphInItsCellAtEverySize) {
    // Blanks at every third column: a glyph drawn off its cell shows there.
    QString left;
    for (int column = 1; column <= 200; ++column) left += column % 3 == 2 ? QChar(u' ') : QChar(u'm');
    const int marks[] = {10, 61, 150};
    QString right = left;
    for (int column : marks) right[column - 1] = u'w';
    bool fractional = false;
    for (int pointSize : {7, 9, 10, 11, 13}) {
        SCOPED_TRACE(pointSize);
        ui::TF_Main& w = makeWindow(ui::vtText, pointSize);
        const qreal advance = QFontMetricsF(w.PaneFont()).horizontalAdvance(QLatin1Char('m'));
        fractional |= std::abs(advance - std::round(advance)) > 0.2;
        EXPECT_GE(w.CharWidth(), advance - 0.05) << "a glyph wider than its cell";
        loadLines(1, {left, left});
        loadLines(2, {right, left});
        auto& st = engine::paneStores();
        for (int pane = 1; pane <= 2; ++pane) {
            engine::TTextLine* line = st.TextLines[size_t(pane)][0];
            line->Differs = 1;
            line->CharFlags.assign(size_t(line->Length() + 2), 1);
            for (int column : marks) line->CharFlags[size_t(column - 1)] = 0;
        }
        st.LongestLine = {0, 200, 200};
        engine::rows().FilterTextRows(0);
        engine::rows().CaretViewActive = 1;
        settle();
        w.updateHScrollBar();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        w.FormActivate();

        const ui::TLayoutGeometry& g = w.Geometry();
        const int cw = w.CharWidth();
        for (int mark : marks) {
            SCOPED_TRACE(mark);
            // The mark stands a few columns into the pane, after a scroll
            // where it lies further out.
            const int first = std::max(1, mark - 6);
            w.hScrollBarScroll(w.hScrollBar, first);
            engine::editor().PlaceCaret(mark, 1, 1);  // on the equal row below
            const QImage image = grab(QStringLiteral("cells-%1pt-col%2").arg(pointSize).arg(mark));
            auto cellLeft = [&](int column) { return g.leftTextX + 1 + (column - first) * cw; };
            EXPECT_EQ(w.CaretPos().x() + 1, cellLeft(mark)) << "the caret's bright line starts its cell";

            const int top = g.paneTop;
            const QPoint origin = w.RowArea()->pos();
            const int lastFull = std::min(200, first + (g.columnEdges[5] - cellLeft(first)) / cw - 1);
            ASSERT_GT(lastFull, mark);
            for (int column = first; column <= lastFull; ++column) {
                const QRgb background = image.pixel(QPoint(cellLeft(column), top) - origin);
                int ink = 0;
                QRgb darkest = background;
                for (int y = top + 1; y < top + w.LineHeight(); ++y)
                    for (int x = cellLeft(column); x < cellLeft(column) + cw; ++x) {
                        const QRgb p = image.pixel(QPoint(x, y) - origin);
                        if (qGray(background) - qGray(p) < 40) continue;
                        ++ink;
                        if (qGray(p) < qGray(darkest)) darkest = p;
                    }
                if (column % 3 == 2) {
                    EXPECT_EQ(ink, 0) << "a neighbour's glyph reaches into blank column " << column;
                } else {
                    EXPECT_GT(ink, 0) << "column " << column << " shows no glyph";
                    // DiffCol is a pure red; the text colour is black.
                    const bool red = qRed(darkest) - qGreen(darkest) > 60;
                    EXPECT_EQ(red, std::find(std::begin(marks), std::end(marks), column) != std::end(marks))
                        << "column " << column;
                }
            }
        }
    }
    EXPECT_TRUE(fractional) << "no size had a fractional advance";
}

// Rows of plain lines; the rows listed differ.
void loadPlainRows(int count, std::initializer_list<int> differing = {}) {
    auto& st = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        st.TextLines[size_t(pane)].Clear();
        for (int i = 0; i < count; ++i) {
            auto* line = st.TextLines[size_t(pane)].New(i);
            line->Text = QStringLiteral("line %1").arg(i + 1);
            line->LineNumber = i + 1;
        }
        st.LineCount[size_t(pane)] = count;
    }
    for (int i : differing) {
        st.TextLines[2][i]->Text = QStringLiteral("changed");
        st.TextLines[1][i]->Differs = st.TextLines[2][i]->Differs = 1;
    }
    st.UpdateMaxLineCount();
    engine::rows().FilterTextRows(0);
}

TEST_F(MainWindowPaintTest, ScrollBarShowsWhenOneRowDoesNotFit) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    settle();
    const int page = w.VisibleRows();
    ASSERT_GT(page, 5);
    loadPlainRows(page);
    settle();
    EXPECT_TRUE(w.vScrollBar->isHidden());
    loadPlainRows(page + 1);
    settle();
    EXPECT_FALSE(w.vScrollBar->isHidden());
    EXPECT_EQ(w.vScrollBar->maximum(), 2);
}

TEST_F(MainWindowPaintTest, CoarseOverviewBarClickCentresTheDifferenceItFinds) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    const int count = 20000, target = 15000;
    loadPlainRows(count, {target});
    settle();
    ui::TNBar& bar = *w.OverviewBar();
    ASSERT_TRUE(bar.HasMarker());
    ASSERT_GT(bar.RowsPerPixel(), w.VisibleRows() / 4) << "the bar is not coarse";
    // Two pixels above the difference: the search runs on to it.
    const int y = int(target * bar.Scale()) + 1 + bar.MarkerHeight() / 2 - 2;
    w.P_DiffBarMouseDown(Qt::LeftButton, Qt::NoModifier, 5, y);
    w.P_DiffBarMouseUp(Qt::LeftButton, Qt::NoModifier, 5, y);
    EXPECT_EQ(w.topRow(ui::vtText), target + 1 - w.VisibleRows() / 3 - 1);
    grab(QStringLiteral("overview"));
}

TEST_F(MainWindowPaintTest, ScrollRepaintsOnlyTheUncoveredStrip) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    loadPlainRows(200, {3, 10});
    settle();
    ui::TRowArea* area = w.RowArea();
    area->ResetPaintedRegion();
    const int before = area->PaintCount();
    const int lh = w.LineHeight();
    w.setTopRow(ui::vtText, 3, 200);
    w.scrollPanes(1, 0, -2 * lh);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_GT(area->PaintCount(), before);
    const QRect painted = area->PaintedRegion().boundingRect();
    EXPECT_LE(painted.height(), 2 * lh + 2) << painted.top() << ".." << painted.bottom();
    EXPECT_GE(painted.top(), area->height() - 2 * lh - 3);
    const QImage image = grab(QStringLiteral("scrolled"));
    // Row 11 (index 10) differs and now stands 8 rows from the top.
    EXPECT_EQ(cellPixel(image, 2, 10, 20), rgb(0xC0FFFF));
}

TEST_F(MainWindowPaintTest, DeactivationHidesTheCaretAndActivationPlacesItAgain) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    loadPlainRows(10);
    engine::rows().CaretViewActive = 1;
    settle();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.FormActivate();
    EXPECT_TRUE(w.CaretVisible());
    EXPECT_EQ(engine::editor().CaretWindow, static_cast<engine::CaretHost*>(&w));
    engine::editor().PlaceCaret(3, 2, 1);
    const QPoint placed(w.Geometry().leftTextX + 2 * w.CharWidth(), w.Geometry().paneTop + 2 * w.LineHeight());
    EXPECT_EQ(w.CaretPos(), placed);

    w.FormDeactivate();
    EXPECT_FALSE(w.CaretVisible());
    EXPECT_EQ(engine::editor().CaretHidden, 1);
    EXPECT_FALSE(w.RowArea()->hasFocus());

    w.FormActivate();
    EXPECT_TRUE(w.CaretVisible());
    EXPECT_EQ(engine::editor().CaretHidden, 0);
    EXPECT_EQ(w.CaretPos(), placed);
    EXPECT_TRUE(w.RowArea()->hasFocus());
}

}  // namespace
