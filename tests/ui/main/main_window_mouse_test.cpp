// The panes' mouse in the offscreen window: clicks, double and triple
// clicks, the right click before the context menu, dragging above the
// panes, links, the similarity pick, Copy, and copying lines to the other
// pane with the question and the undo records it leaves.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

#include <vector>

#include "config/services.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/hover_text.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

// Records the addresses handed to the desktop instead of opening them.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

namespace {

class MainWindowMouseTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&sink_);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        ComparedWindowFixture::TearDown();
    }

    // Rows: 0 equal, 1 left only, 2 equal, 3 changed, 4 equal, 5 right only.
    ui::TF_Main& makePair() {
        return makeCompared({"same one", "left only", "same two", "old text", "same three"},
                            {"same one", "same two", "new text", "same three", "right only"});
    }
    ui::TF_Main& makeCompared(const QStringList& left, const QStringList& right) {
        ui::TF_Main& w = makeWindow();
        compare(left, right);
        auto& tabs = engine::fccTabs();
        tabs.TabSlots[size_t(tabs.CurrentTab)].InUse = 1;
        w.switchView(ui::vtText, true, false);
        w.refreshView();
        QApplication::processEvents();
        return w;
    }

    // The row area's point of a column (0: the line-number margin) of a
    // row on a pane.
    QPoint at(int pane, int column, int row) const {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const int cw = window_->CharWidth(), lh = window_->LineHeight();
        const int textX = pane == 1 ? g.leftTextX : g.rightTextX;
        const int x = column == 0 ? textX - cw - 2 : textX + (column - 1) * cw + cw / 2;
        const int y = g.paneTop + (row - window_->TopRow() + 1) * lh + lh / 2;
        return QPoint(x, y) - window_->RowArea()->pos();
    }
    void click(Qt::MouseButton button, QPoint p, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(window_->RowArea(), button, mods, p);
    }
    // Qt's order: press, release, double click in place of the second press, release.
    void doubleClick(QPoint p) {
        QWidget* area = window_->RowArea();
        QTest::mouseClick(area, Qt::LeftButton, {}, p);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, p, area->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(area, &dbl);
        QTest::mouseRelease(area, Qt::LeftButton, {}, p);
    }
    static quint32 range(int pane, int row) { return engine::rows().RowSelectionRange(pane, row); }
    static std::vector<int> selectedRows(int pane) {
        std::vector<int> out;
        for (int row = 0; row < engine::paneStores().VisibleRowCount(); ++row)
            if (engine::rows().IsRowSelected(pane, row)) out.push_back(row);
        return out;
    }
    static constexpr quint32 kWholeRow = 1 | engine::kSelectionToEnd << 16;

    config::RecordingMessageSink sink_;
};

TEST_F(MainWindowMouseTest, RightClickInTheMarginSelectsTheLineBeforeTheMenu) {
    ui::TF_Main& w = makePair();
    click(Qt::RightButton, at(1, 0, 2));
    EXPECT_EQ(w.menuPopupPos, w.RowArea()->mapToGlobal(at(1, 0, 2)));
    EXPECT_EQ(range(1, 2), kWholeRow);
    EXPECT_EQ(selectedRows(1), std::vector<int>{2});
    ASSERT_TRUE(w.pmLine->isVisible());
    EXPECT_TRUE(w.pmCopyLines->isVisible());
    EXPECT_EQ(w.pmCopyLines->text(), QStringLiteral("Copy the selected line to the right pane..."));
    EXPECT_TRUE(w.pmCut1->isVisible());
    EXPECT_TRUE(w.pmPaste1->isVisible());
    EXPECT_TRUE(w.pmLineProperties->isVisible());
    EXPECT_TRUE(w.pmExploreLine->isVisible());
    w.pmLine->close();
}

TEST_F(MainWindowMouseTest, RightClickOnASelectedRowsTextMovesTheCaretAndKeepsTheSelection) {
    ui::TF_Main& w = makePair();
    click(Qt::LeftButton, at(1, 0, 2));
    click(Qt::LeftButton, at(1, 0, 4), Qt::ShiftModifier);
    ASSERT_EQ(selectedRows(1), (std::vector<int>{2, 3, 4}));
    click(Qt::RightButton, at(1, 3, 3));
    EXPECT_EQ(engine::editor().Caret.Row, 3);
    EXPECT_EQ(engine::editor().Caret.Column, 3);
    EXPECT_EQ(selectedRows(1), (std::vector<int>{2, 3, 4}));
    w.pmLine->close();
}

TEST_F(MainWindowMouseTest, ADoubleClickAfterAClickBelowTheLastRowDoesNothing) {
    ui::TF_Main& w = makePair();
    const QPoint below = at(1, 2, 8);
    ASSERT_LT(below.y() + w.RowArea()->pos().y(), w.Geometry().paneBottom);
    click(Qt::LeftButton, below);
    EXPECT_EQ(engine::editor().Caret.Row, 5);
    doubleClick(below);
    EXPECT_TRUE(selectedRows(1).empty());
    EXPECT_EQ(w.tim3ClickTimer->property("Tag").toInt(), 0);
}

TEST_F(MainWindowMouseTest, DoubleClicksSelectAWordOrAGapRowAndATripleClickTheRow) {
    makePair();
    // Row 5 is a gap on the left: the whole row.
    doubleClick(at(1, 2, 5));
    EXPECT_EQ(selectedRows(1), std::vector<int>{5});
    EXPECT_EQ(range(1, 5), kWholeRow);

    // "old text": the word under the caret, then a click within 600 ms the row.
    doubleClick(at(1, 6, 3));
    EXPECT_EQ(range(1, 3), quint32(5 | 9 << 16));
    EXPECT_EQ(window_->tim3ClickTimer->property("Tag").toInt(), 1);
    click(Qt::LeftButton, at(1, 6, 3));
    EXPECT_EQ(selectedRows(1), std::vector<int>{3});
    EXPECT_EQ(range(1, 3) & 0xFFFF, 1u);
    EXPECT_GE(int(range(1, 3) >> 16), 9);
}

TEST_F(MainWindowMouseTest, DraggingAboveThePanesAndTheMiddleButtonScrollFasterTheFurtherAway) {
    ui::TF_Main& w = makePair();
    const QPoint p = at(1, 2, 3);
    QTest::mousePress(w.RowArea(), Qt::LeftButton, {}, p);
    const int lh = w.LineHeight();
    const int top = w.Geometry().paneTop;
    w.FormMouseMove(w.RowArea(), {}, p.x(), top - 3 * lh);
    EXPECT_EQ(w.T_WHEEL->property("Tag").toInt(), 4);
    EXPECT_TRUE(w.T_WHEEL->isActive());
    w.FormMouseMove(w.RowArea(), {}, p.x(), top + lh);
    EXPECT_EQ(w.T_WHEEL->property("Tag").toInt(), 0);
    EXPECT_FALSE(w.T_WHEEL->isActive());
    QTest::mouseRelease(w.RowArea(), Qt::LeftButton, {}, p);

    // The middle button scrolls a row per tick for every 10 pixels moved.
    QTest::mousePress(w.RowArea(), Qt::MiddleButton, {}, p);
    EXPECT_EQ(w.RowArea()->cursor().shape(), Qt::SizeVerCursor);
    const int y = p.y() + w.RowArea()->y();
    w.FormMouseMove(w.RowArea(), {}, p.x(), y - 35);
    EXPECT_EQ(w.T_WHEEL->property("Tag").toInt(), 3);
    w.FormMouseMove(w.RowArea(), {}, p.x(), y + 21);
    EXPECT_EQ(w.T_WHEEL->property("Tag").toInt(), -2);
    QTest::mouseRelease(w.RowArea(), Qt::MiddleButton, {}, p);
    EXPECT_EQ(w.T_WHEEL->property("Tag").toInt(), 0);
    EXPECT_FALSE(w.T_WHEEL->isActive());
    EXPECT_EQ(w.RowArea()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainWindowMouseTest, ADoubleClickOnALinkOpensItsAddress) {
    makeCompared({"see https://example.org/a for more", "plain"}, {"see https://example.org/a for more", "plain"});
    LinkCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    config::AppSettings().TELinkDblClk = true;
    doubleClick(at(1, 8, 0));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl(QStringLiteral("https://example.org/a")));
    EXPECT_TRUE(selectedRows(1).empty());
}

TEST_F(MainWindowMouseTest, ALongRowShowsItsWholeTextInTheHoverWindow) {
    const QString longText = QStringLiteral("long ") + QString(200, QLatin1Char('x'));
    ui::TF_Main& w = makeCompared({"short", longText}, {"short", longText});
    config::AppSettings().TCHoverText = true;
    const QPoint client = at(1, 3, 1) + w.RowArea()->pos();
    w.FormMouseMove(w.RowArea(), {}, client.x(), client.y());
    EXPECT_EQ(w.HoverText()->HoveredRow, 1);
    EXPECT_EQ(w.HoverText()->Lines().join(QString()), longText);
    // A row that fits shows nothing.
    const QPoint shortRow = at(1, 3, 0) + w.RowArea()->pos();
    w.FormMouseMove(w.RowArea(), {}, shortRow.x(), shortRow.y());
    EXPECT_EQ(w.HoverText()->HoveredRow, -1);
    // Nor does a long row while the option is off.
    config::AppSettings().TCHoverText = false;
    w.FormMouseMove(w.RowArea(), {}, client.x(), client.y());
    EXPECT_EQ(w.HoverText()->HoveredRow, -1);
}

TEST_F(MainWindowMouseTest, TheSimilarityPickShowsTheScoreOfTheClickedLine) {
    ui::TF_Main& w = makePair();
    config::AppSettings().TCFPEnhance = false;
    click(Qt::LeftButton, at(1, 2, 2));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F8);
    ASSERT_TRUE(w.PickModeOn());
    click(Qt::LeftButton, at(2, 2, 2));
    EXPECT_FALSE(w.PickModeOn());
    ASSERT_EQ(w.HoverText()->Lines(), QStringList{QStringLiteral("Similarity is 100%")});
    // A line of the source's own pane has no score: the pick just ends.
    w.HoverText()->Hide();  // the note stays through one Hide
    w.HoverText()->Hide();
    click(Qt::LeftButton, at(1, 2, 2));
    w.pickPurpose = 2;
    w.pickMode(0);
    click(Qt::LeftButton, at(1, 2, 0));
    EXPECT_FALSE(w.PickModeOn());
    EXPECT_FALSE(w.HoverText()->isVisible());
}

TEST_F(MainWindowMouseTest, CopyPutsTheSelectedLinesOnTheClipboardEachEndingInALineFeed) {
    ui::TF_Main& w = makePair();
    click(Qt::LeftButton, at(1, 0, 2));
    click(Qt::LeftButton, at(1, 0, 3), Qt::ShiftModifier);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("same two\nold text\n"));
    // A part of a line ends without one.
    click(Qt::LeftButton, at(1, 1, 4));
    click(Qt::LeftButton, at(1, 5, 4), Qt::ShiftModifier);
    w.Copy1Click(w.pmCopy1);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("same"));
}

// ---- copying lines to the other pane ------------------------------------------------

TEST_F(MainWindowMouseTest, CopyingEqualLinesChangesNothingAndLeavesNoUndo) {
    ui::TF_Main& w = makePair();
    config::AppSettings().CFCopyLines = false;
    click(Qt::LeftButton, at(1, 0, 0));
    w.BB_COPYTOClick(w.pmCopyLines);
    EXPECT_FALSE(engine::undoStack().HasUndo(2));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(MainWindowMouseTest, CopyingLinesAsksThenRewritesTheTargetWithItsUndoRecords) {
    ui::TF_Main& w = makePair();
    config::AppSettings().CFCopyLines = true;
    // Rows 1 (gap on the right), 3 (changed) and 5 (gap on the left).
    click(Qt::LeftButton, at(1, 0, 1));
    click(Qt::LeftButton, at(1, 0, 3), Qt::ControlModifier);
    click(Qt::LeftButton, at(1, 0, 5), Qt::ControlModifier);
    ASSERT_EQ(selectedRows(1), (std::vector<int>{1, 3, 5}));
    w.BB_COPYTOClick(w.pmCopyLines);
    const auto messages = sink_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Tandex"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Copy the 3 selected lines to the right pane?"));
    EXPECT_EQ(messages[0].kind, config::MsgKind::Question);
    EXPECT_EQ(rowTexts(), "same one|same one / left only|left only / same two|same two / old text|old text / "
                          "same three|same three");
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(2));

    struct Record {
        int kind, column;
        quint32 line;
        QString text;
    };
    const std::vector<Record> expected = {
        {engine::ukWindowEdit13, 0, 5, {}},
        {engine::ukWindowEdit12, 1, 2, {}},                            // the added line goes again
        {engine::ukWindowEdit12, 2, 4, QStringLiteral("new text")},    // the old text comes back
        {engine::ukWindowEdit12, 0, 5, QStringLiteral("right only")},  // inserted after line 5
        {engine::ukWindowEdit11, 0, 0, {}},
    };
    const auto& records = engine::undoStack().Records(2);
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].Kind, expected[i].kind);
        EXPECT_EQ(records[i].Column, expected[i].column);
        EXPECT_EQ(records[i].Line, expected[i].line);
        EXPECT_EQ(records[i].Text, expected[i].text);
    }
}

TEST_F(MainWindowMouseTest, CopyingNoLinesWhenTheQuestionIsAnsweredNo) {
    ui::TF_Main& w = makePair();
    config::AppSettings().CFCopyLines = true;
    click(Qt::LeftButton, at(1, 0, 3));
    struct NoSink : config::RecordingMessageSink {
        int showMessage(const config::MessageRequest& r) override {
            RecordingMessageSink::showMessage(r);
            return config::mrNo;
        }
    } no;
    config::setMessageSink(&no);
    w.BB_COPYTOClick(w.pmCopyLines);
    EXPECT_EQ(no.messages().size(), 1u);
    EXPECT_FALSE(engine::undoStack().HasUndo(2));
    EXPECT_EQ(engine::rows().RowPlainText(2, 3), QStringLiteral("new text"));
}

TEST_F(MainWindowMouseTest, CopyingIntoAnEmptyRightPaneNamesItNewR) {
    ui::TF_Main& w = makeCompared({"alpha", "beta"}, {});
    config::AppSettings().CFCopyLines = false;
    click(Qt::LeftButton, at(1, 0, 0));
    click(Qt::LeftButton, at(1, 0, 1), Qt::ShiftModifier);
    w.BB_COPYTOClick(w.pmCopyLines);
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("NewR.txt"));
    EXPECT_EQ(engine::editor().ActiveSide, 1);
    EXPECT_EQ(rowTexts(), "alpha|alpha / beta|beta");
    const auto& records = engine::undoStack().Records(2);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().Kind, engine::ukWindowEdit11);
}

}  // namespace

#include "main_window_mouse_test.moc"
