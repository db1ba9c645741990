// The view commands in the offscreen window: the display filter and its
// drop-down, the single-pane view switch, the splitter, the View toggles
// and the font dialogs.

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTextEdit>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "access/program_log.h"
#include "tests/ui/main/compared_window_fixture.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return config::mrNo;
    }
};

class MainWindowViewTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        engine::fccTabs().InitTabSlots();
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        ComparedWindowFixture::TearDown();
        engine::fccTabs().InitTabSlots();
    }
    // Rows: 0 equal, 1 left only, 2 equal, 3 changed, 4 equal, 5 right only.
    ui::TF_Main& makePair() {
        ui::TF_Main& w = makeWindow();
        compare({"same one", "left only", "same two", "old text", "same three"},
                {"same one", "same two", "new text", "same three", "right only"});
        w.updateRowRange();
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static void caretTo(ui::TF_Main& w, int pane, int column, int row) {
        w.setActivePane(w.ViewType(), pane);
        engine::editor().SetActiveSide(pane);
        engine::editor().CaretGoTo(column, row);
    }
    static int caretLine(int pane) { return engine::rows().RowLineNumber(pane, engine::editor().GetCaretRow()); }
    QAction* filterItem(int filter) { return window_->pmDiffView->actions().at(filter); }

    AnsweringSink sink_;
    QTemporaryDir dir_;
};

TEST_F(MainWindowViewTest, FilterButtonTogglesWithTheDropDownChoice) {
    ui::TF_Main& w = makePair();
    auto& r = engine::rows();
    caretTo(w, 1, 1, 2);  // "same two", line 3, hidden by "dif + orph"
    w.pmDV_Click(filterItem(2));
    EXPECT_EQ(r.TextViewFilter, 2);
    EXPECT_EQ(r.TextRowCount, 3);
    // The caret stays on the last visible line before its own: "left only".
    EXPECT_EQ(caretLine(1), 2);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tandex  -   Show different, inserted and deleted lines "));
    EXPECT_EQ(w.FilterImage(), 16);

    w.TB_FILTERClick(w.TB_FILTER);
    EXPECT_EQ(r.TextViewFilter, 0);
    EXPECT_EQ(r.TextRowCount, 6);
    EXPECT_EQ(caretLine(1), 2);  // a line still shown keeps the caret
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tandex"));
    EXPECT_EQ(w.FilterImage(), 26);
    w.TB_FILTERClick(w.TB_FILTER);
    EXPECT_EQ(r.TextViewFilter, 2);

    // "dif only" from the drop-down keeps only the changed row: the caret,
    // with no shown line before its own, goes to the last row.
    w.pmDV_Click(filterItem(3));
    EXPECT_EQ(r.TextRowCount, 1);
    EXPECT_EQ(caretLine(1), 4);
    // "all" from the drop-down leaves "dif only" on the button.
    w.pmDiffViewPopup(w.pmDiffView);
    EXPECT_FALSE(filterItem(3)->isEnabled());
    EXPECT_TRUE(filterItem(0)->isEnabled());
    w.pmDV_Click(filterItem(0));
    EXPECT_EQ(r.TextViewFilter, 0);
    EXPECT_EQ(w.FilterImage(), 17);
    w.TB_FILTERClick(w.TB_FILTER);
    EXPECT_EQ(r.TextViewFilter, 3);
    EXPECT_FALSE(w.CommandRunning());
}

TEST_F(MainWindowViewTest, FilterHidingEveryRowEmptiesTheDetails) {
    ui::TF_Main& w = makeWindow();
    compare({"a", "b"}, {"a", "b"});
    w.updateRowRange();
    w.pmDV_Click(filterItem(3));
    EXPECT_EQ(engine::rows().TextRowCount, 0);
    EXPECT_EQ(engine::editor().GetCaretRow(), 0);
    EXPECT_TRUE(w.eLine1->toPlainText().isEmpty());
}

TEST_F(MainWindowViewTest, ViewModeKeepsTheCaretLineAndAsksToSaveTheRightPane) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "a\nb\nc\n"), file("r.txt", "x\na\nb\nc\n"));
    ASSERT_EQ(engine::rows().TextRowCount, 4);
    caretTo(w, 1, 1, 3);  // "c", line 3 of the left file
    engine::fccTabs().MarkPaneModified(2);

    w.BB_VIEWMODEClick(w.TB_VIEWMODE);
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_TRUE(sink_.messages()[0].text.contains(QStringLiteral("right text compare pane is modified")));
    EXPECT_EQ(engine::paneStores().SinglePaneView, 1);
    EXPECT_TRUE(w.P_MID->isHidden());
    EXPECT_FALSE(engine::rows().IsRowMissing(1, 0));  // the gap facing "x" is gone
    EXPECT_EQ(engine::editor().GetCaretRow(), 2);
    EXPECT_EQ(caretLine(1), 3);

    w.BB_VIEWMODEClick(w.TB_VIEWMODE);
    EXPECT_EQ(engine::paneStores().SinglePaneView, 0);
    EXPECT_FALSE(w.P_MID->isHidden());
    EXPECT_EQ(engine::rows().TextRowCount, 4);
    EXPECT_TRUE(engine::rows().RowDiffers(0));
    EXPECT_EQ(engine::editor().GetCaretRow(), 3);
    EXPECT_EQ(caretLine(1), 3);
    EXPECT_FALSE(w.CommandRunning());
}

TEST_F(MainWindowViewTest, SplitterDragClampsAndF2Centres) {
    ui::TF_Main& w = makePair();
    const ui::TLayoutGeometry start = w.Geometry();
    auto drag = [&](int fromX, int toX) {
        const QPointF from(fromX - w.P_MID->x(), 5);
        QMouseEvent press(QEvent::MouseButtonPress, from, w.P_MID->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(w.P_MID, &press);
        for (int x : {fromX + 1, toX}) {
            const QPointF at(x - w.P_MID->x(), 5);
            QMouseEvent move(QEvent::MouseMove, at, w.P_MID->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(w.P_MID, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, from, w.P_MID->mapToGlobal(from), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.P_MID, &release);
    };
    const int middle = start.splitX;
    drag(middle, middle + 40);
    EXPECT_EQ(w.Geometry().splitX, middle + 40);
    drag(w.Geometry().splitX, -5000);
    EXPECT_EQ(w.Geometry().splitX, start.leftTextX + 32);
    drag(w.Geometry().splitX, 50000);
    EXPECT_EQ(w.Geometry().splitX, start.rightEdge - 64);
    EXPECT_NE(w.SplitOffset(), 0);

    w.activateWindow();
    QTest::keyClick(&w, Qt::Key_F2);
    EXPECT_EQ(w.SplitOffset(), 0);
    EXPECT_EQ(w.Geometry().splitX, middle);
}

TEST_F(MainWindowViewTest, ViewTogglesLayTheWindowOutAgain) {
    ui::TF_Main& w = makePair();
    auto& s = config::AppSettings();
    s.GSLineNr = s.GSShowDiffBar = s.GSStaDisp = s.GSDetailPanel = true;
    w.arrangeLayout(ui::vtText);
    auto trigger = [&](const char* name) { w.findChild<QAction*>(QLatin1String(name))->trigger(); };
    ASSERT_GT(w.Geometry().leftTextX, 0);
    const int withNumbers = w.Geometry().leftTextX;
    trigger("LineNumbers1");
    EXPECT_FALSE(s.GSLineNr);
    EXPECT_LT(w.Geometry().leftTextX, withNumbers);
    trigger("Thumbnailbar1");
    EXPECT_FALSE(s.GSShowDiffBar);
    EXPECT_EQ(w.Geometry().leftTextX, 0);
    EXPECT_FALSE(w.Geometry().diffBarVisible);

    const int bottom = w.Geometry().paneBottom;
    trigger("Statusbar1");
    EXPECT_FALSE(w.Geometry().statusVisible);
    EXPECT_GT(w.Geometry().paneBottom, bottom);
    trigger("mmDetailsPanel1");
    EXPECT_FALSE(w.Geometry().feetVisible);
    trigger("mmDetailsPanel1");
    EXPECT_TRUE(w.Geometry().feetVisible);
}

TEST_F(MainWindowViewTest, FontDialogsApplyOnOkAndKeepThePrinterFontApart) {
    ui::TF_Main& w = makePair();
    auto& s = config::AppSettings();
    const config::TFontDesc printer = s.APFont;
    QStringList titles;
    bool accept = false;
    w.FontDialogHook = [&](QFont& font, const QString& title) {
        titles << title;
        font.setPointSize(20);
        return accept;
    };
    const int height = w.LineHeight();
    w.mmScreenFont1Click(nullptr);
    EXPECT_EQ(s.AFFont.Size, 10);
    EXPECT_EQ(w.LineHeight(), height);

    accept = true;
    w.mmScreenFont1Click(nullptr);
    EXPECT_EQ(s.AFFont.Size, 20);
    EXPECT_EQ(s.AFFont.Name, QStringLiteral("DejaVu Sans Mono"));
    EXPECT_GT(w.LineHeight(), height);
    EXPECT_EQ(s.APFont.Size, printer.Size);

    w.mmPrinterFont1Click(nullptr);
    EXPECT_EQ(s.APFont.Size, 20);
    EXPECT_EQ(titles, (QStringList{" Select Display Font ", " Select Display Font ", " Select Printer Font "}));
}

}  // namespace
