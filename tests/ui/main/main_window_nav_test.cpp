// Difference navigation, go to line and scrolling in the offscreen window,
// on rows the engine made by comparing two small texts, and on hand-made
// binary rows. Grabs are kept as PNGs beside the test.

#include "ui/main/main_window.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

#include "engine/editor.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/goto_line.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

struct DiffRun {
    int first, last;
};

class MainWindowNavTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
        resetEngine();
    }
    void TearDown() override {
        window_.reset();
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().SetTabDiffCount(0);
    }

    ui::TF_Main& makeWindow(int viewType) {
        window_ = std::make_unique<ui::TF_Main>();
        ui::TF_Main& w = *window_;
        Watch(&w);
        config::AppSettings().AFFont = {QStringLiteral("DejaVu Sans Mono"), 10, 0};
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

    void settle() {
        window_->invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }

    // Lines "line 1" .. "line count"; the right pane changes the lines given.
    static void compareNumbered(int count, std::initializer_list<int> changed) {
        auto& st = engine::paneStores();
        for (int pane = 1; pane <= 2; ++pane) {
            st.TextLines[size_t(pane)].Clear();
            for (int i = 0; i < count; ++i) {
                engine::TTextLine* line = st.TextLines[size_t(pane)].New(i);
                const bool other = pane == 2 && std::find(changed.begin(), changed.end(), i + 1) != changed.end();
                line->Text = (other ? QStringLiteral("changed %1") : QStringLiteral("line %1")).arg(i + 1);
                line->LineNumber = i + 1;
            }
            st.LineCount[size_t(pane)] = count;
            st.FileNames[size_t(pane)] = pane == 1 ? QStringLiteral("left.txt") : QStringLiteral("right.txt");
        }
        st.UpdateMaxLineCount();
        engine::lineKeys().BuildColumnMask();
        engine::textCompare().CompareTextFiles();
        engine::rows().FilterTextRows(0);
        engine::rows().CaretViewActive = 1;
    }

    // The differing runs of the rows as the engine made them.
    static std::vector<DiffRun> runs() {
        std::vector<DiffRun> found;
        const int count = engine::paneStores().VisibleRowCount();
        for (int row = 0; row < count; ++row) {
            if (!engine::rows().RowDiffers(row)) continue;
            if (!found.empty() && found.back().last == row - 1)
                found.back().last = row;
            else
                found.push_back({row, row});
        }
        return found;
    }

    static int caretRow() { return engine::editor().GetCaretRow(); }
    static bool selected(int row) { return engine::rows().IsRowSelected(1, row); }

    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(MainWindowNavTest, DifferenceCommandsStepFromRunToRun) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    compareNumbered(120, {10, 11, 12, 50, 100, 101});
    // The comparison run's count switches the toolbar and the Search menu on.
    engine::fccTabs().SetTabDiffCount(6);
    w.updateControls();
    ASSERT_TRUE(w.TB_DIFNEXT->isEnabled());
    const std::vector<DiffRun> r = runs();
    ASSERT_EQ(r.size(), 3u);
    ASSERT_GE(r[0].last - r[0].first, 1);

    // After a load: the first run, selected whole.
    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), r[0].first);
    EXPECT_TRUE(selected(r[0].first));
    EXPECT_TRUE(selected(r[0].last));
    EXPECT_FALSE(selected(r[1].first));
    settle();
    tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowNav.first"));

    // Inside a run the toolbar goes on to the next run; a call without a
    // sender stays on the run under the caret.
    engine::editor().PlaceCaret(1, r[0].first + 1, 1);
    w.BB_DIFNEXTClick(nullptr);
    EXPECT_EQ(caretRow(), r[0].first + 1);
    w.TB_DIFNEXT->trigger();
    EXPECT_EQ(caretRow(), r[1].first);
    EXPECT_FALSE(selected(r[0].first));
    EXPECT_GE(r[1].first + 1, w.topRow(ui::vtText));
    EXPECT_LE(r[1].first + 1, w.topRow(ui::vtText) + w.VisibleRows() - 2);

    // The skip flag of a reload swallows one jump.
    w.SkipFirstDifference = true;
    w.BB_DIFNEXTClick(w.TB_DIFNEXT);
    EXPECT_EQ(caretRow(), r[1].first);
    EXPECT_FALSE(w.SkipFirstDifference);

    // With line selection only the run's first row is selected.
    config::AppSettings().GSLineSelect = true;
    w.findChild<QAction*>(QStringLiteral("NextDifference1"))->trigger();
    EXPECT_EQ(caretRow(), r[2].first);
    EXPECT_TRUE(selected(r[2].first));
    EXPECT_FALSE(selected(r[2].last));
    config::AppSettings().GSLineSelect = false;

    // No further difference: the caret stays.
    w.BB_DIFNEXTClick(w.TB_DIFNEXT);
    EXPECT_EQ(caretRow(), r[2].first);

    // Previous from inside a run lands on the first row of the one before.
    engine::editor().PlaceCaret(1, r[2].last, 1);
    w.BB_DIFPREVClick(w.TB_DIFPREV);
    EXPECT_EQ(caretRow(), r[1].first);
    w.findChild<QAction*>(QStringLiteral("PrevDifference1"))->trigger();
    EXPECT_EQ(caretRow(), r[0].first);
    EXPECT_TRUE(selected(r[0].last));

    w.findChild<QAction*>(QStringLiteral("LastDifference1"))->trigger();
    EXPECT_EQ(caretRow(), r[2].first);
    settle();
    tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowNav.last"));

    w.findChild<QAction*>(QStringLiteral("FirstDifference1"))->trigger();
    EXPECT_EQ(caretRow(), r[0].first);
}

TEST_F(MainWindowNavTest, FirstDifferenceHonoursSettingsAndFilter) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    compareNumbered(40, {20});
    const int first = runs().at(0).first;
    config::AppSettings().TCSelFirstDif = false;
    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), 0);
    EXPECT_EQ(w.topRow(ui::vtText), 1);

    config::AppSettings().TCSelFirstDif = true;
    engine::rows().TextViewFilter = 1;
    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), 0);

    engine::rows().TextViewFilter = 0;
    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), first);

    // The reload's skip flag holds off one automatic jump.
    w.SkipFirstDifference = true;
    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), first);
    EXPECT_FALSE(w.SkipFirstDifference);
}

TEST_F(MainWindowNavTest, BarsAndWheelScrollTheRows) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    compareNumbered(300, {150});
    settle();
    const int page = w.VisibleRows();
    ASSERT_GT(page, 10);
    ASSERT_FALSE(w.vScrollBar->isHidden());
    EXPECT_EQ(w.vScrollBar->pageStep(), page);
    EXPECT_EQ(w.vScrollBar->maximum(), 300 - page + 1);

    w.scrollRowIntoView(40);
    EXPECT_EQ(w.topRow(ui::vtText), 36);
    w.scrollRowIntoView(45);
    EXPECT_EQ(w.topRow(ui::vtText), 36);

    w.vScrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.topRow(ui::vtText), 37);
    EXPECT_EQ(w.vScrollBar->value(), 37);
    w.vScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w.topRow(ui::vtText), 37 + page - 1);
    w.vScrollBar->triggerAction(QAbstractSlider::SliderPageStepSub);
    w.vScrollBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(w.topRow(ui::vtText), 36);
    w.vScrollBar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(w.vScrollBar->value(), 36);  // top and bottom do nothing

    // The wheel over the rows: the row area passes it on to the window.
    auto turn = [&](int delta) {
        QWheelEvent event(QPointF(100, 100), w.mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &event);
        EXPECT_TRUE(event.isAccepted());
    };
    turn(-120);
    EXPECT_EQ(w.topRow(ui::vtText), 39);
    turn(40);
    EXPECT_EQ(w.topRow(ui::vtText), 38);
    for (int i = 0; i < 8; ++i) turn(15);
    EXPECT_EQ(w.topRow(ui::vtText), 35);
    EXPECT_EQ(w.vScrollBar->value(), 35);
    settle();
    tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowNav.scrolled"));

    // Not past the last page.
    w.gotoFirstLast(300 - page + 1);
    turn(-120);
    EXPECT_EQ(w.topRow(ui::vtText), 300 - page + 1);
}

TEST_F(MainWindowNavTest, GoToLineFindsShownLinesAndTheLongestOne) {
    ui::TF_Main& w = makeWindow(ui::vtText);
    compareNumbered(60, {30});
    // Line 31 on the right is the longest, longer than the left one.
    engine::paneStores().TextLines[2][30]->Text = QStringLiteral("a right line longer than any other");
    w.gotoLongestLine();
    EXPECT_EQ(engine::editor().ActiveSide, 2);
    EXPECT_EQ(engine::rows().RowLineNumber(2, caretRow()), 31);

    // A line the filter hides is no target.
    engine::rows().FilterTextRows(3);
    const int before = caretRow();
    w.gotoLine(1, 4, 0);
    EXPECT_EQ(caretRow(), before);

    // The dialog: the right pane's line is kept negated.
    engine::rows().FilterTextRows(0);
    tandex::testing::OnNextModal([](QWidget* dialog) {
        dialog->findChild<QRadioButton*>(QStringLiteral("rbGTR"))->setChecked(true);
        dialog->findChild<QLineEdit*>(QStringLiteral("eLineNo"))->setText(QStringLiteral("45"));
        tandex::testing::PressFlatButton(dialog, "fbGoto");
    });
    w.GotoLine1Click(w.findChild<QAction*>(QStringLiteral("GotoLine1")));
    EXPECT_EQ(config::AppSettings().TEGotoTL, -45);
    EXPECT_EQ(engine::rows().RowLineNumber(2, caretRow()), 45);
    EXPECT_EQ(engine::editor().ActiveSide, 2);

    // The file's lines are counted: with line 10 in two rows, line 45
    // starts a row lower.
    engine::paneStores().TextLines[2][9]->NoBreak = 1;
    engine::paneStores().LineBreaksChanged(2);
    tandex::testing::OnNextModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("eLineNo"))->setText(QStringLiteral("45"));
        tandex::testing::PressFlatButton(dialog, "fbGoto");
    });
    w.GotoLine1Click(w.findChild<QAction*>(QStringLiteral("GotoLine1")));
    EXPECT_EQ(engine::rows().RowLineNumber(2, caretRow()), 46);
    EXPECT_EQ(engine::rows().RowNumberText(2, caretRow()).trimmed(), QStringLiteral("45"));
}

TEST_F(MainWindowNavTest, BinaryAddressesAndHorizontalSteps) {
    ui::TF_Main& w = makeWindow(ui::vtBinary);
    auto& s = config::AppSettings();
    s.BCHEXBytes = 4;
    s.BCOffsetAddr = true;
    const char* texts[] = {"41 42 43 44   ABCD", "30 31 32 33   0123", "61 62 63 64   abcd", "65 66 67 68   efgh"};
    auto& st = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane)
        for (int i = 0; i < 4; ++i) {
            auto* line = st.BinaryLines[size_t(pane)].NewText(i, texts[i]);
            line->Offset = i * 4;
            line->Differs = i == 2;
        }
    st.LineCount = {0, 4, 4};
    st.FileNames[1] = QStringLiteral("a.bin");
    st.FileNames[2] = QStringLiteral("b.bin");
    st.UpdateMaxLineCount();
    engine::rows().FilterBinaryRows(0);
    engine::rows().CaretViewActive = 1;
    w.arrangeLayout(ui::vtBinary);

    w.gotoFirstDifference();
    EXPECT_EQ(caretRow(), 2);

    // Address 13 is byte 1 of row 3: the second hex group.
    w.gotoLine(2, 3, 1);
    EXPECT_EQ(caretRow(), 3);
    EXPECT_EQ(engine::editor().GetCaretColumn(), 4);
    EXPECT_EQ(engine::editor().ActiveSide, 2);

    w.hScrollBar->setMaximum(16);
    w.hScrollBarScroll(w.hScrollBar, 5);
    EXPECT_EQ(w.hScrollBar->value(), 4);
    EXPECT_EQ(engine::editor().FirstVisibleColumn, 3);
    settle();
    tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowNav.binary"));
}

}  // namespace
