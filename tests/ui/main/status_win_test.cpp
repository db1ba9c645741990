#include "ui/main/status_win.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <functional>
#include <memory>

#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/window_helpers.h"

using namespace tandex::ui;
namespace config = tandex::config;
using tandex::testing::CountingEventPump;

namespace {

class StatusWinTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        win = std::make_unique<TStatusWin>();
        win->SetPercentMode(true);
        Watch(win.get());
    }

    // Pump calls made by one SetProgress call.
    int PumpsOf(qint64 position) {
        const int before = pump.count;
        win->SetProgress(position);
        return pump.count - before;
    }

    CountingEventPump pump;
    std::unique_ptr<TStatusWin> win;
};

TEST_F(StatusWinTest, FormHasItsControlsAndCancelButton) {
    EXPECT_EQ(win->size(), QSize(488, 86));
    EXPECT_EQ(win->PBar1->geometry(), QRect(8, 34, 473, 17));
    EXPECT_EQ(win->fbCancel->Caption(), QStringLiteral("Cancel"));
    EXPECT_EQ(win->fbCancel->geometry(), QRect(194, 57, 100, 25));
    EXPECT_EQ(win->fbCancel->FlatStyle(), FS_SHOWBORDER);
    EXPECT_EQ(win->fbCancel->FocusColor(), 0xFFFFFFu);
    EXPECT_FALSE(win->windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(StatusWinTest, WithoutTotalBarIsMarqueeAndEveryFourthCallPumps) {
    win->StartProgress(0);
    EXPECT_TRUE(win->Marquee());
    EXPECT_TRUE(win->L_TextLine2->text().isEmpty());
    int pumps = 0;
    for (int i = 1; i <= 12; ++i)
        pumps += PumpsOf(i * 1000);
    EXPECT_EQ(pumps, 3);
    EXPECT_TRUE(win->Marquee());
    EXPECT_TRUE(win->L_TextLine2->text().isEmpty());
}

TEST_F(StatusWinTest, PercentageChangesMoveBarAndPumpThenTenQuietCallsPumpEveryCall) {
    win->StartProgress(200);
    EXPECT_FALSE(win->Marquee());
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("0%"));
    EXPECT_EQ(win->PBar1->value(), 0);

    EXPECT_EQ(PumpsOf(100), 1);
    EXPECT_EQ(win->PBar1->value(), 50);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("50%"));

    // 101 of 200 rounds to 50 (50.5 to even): no change.
    std::vector<int> rhythm;
    for (int i = 0; i < 11; ++i)
        rhythm.push_back(PumpsOf(101));
    EXPECT_EQ(rhythm, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(PumpsOf(102), 1);  // 51%: a change pumps once and starts the count over
    EXPECT_EQ(PumpsOf(102), 0);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("51%"));
}

TEST_F(StatusWinTest, ExactlyHundredPercentEndsTheRun) {
    win->StartProgress(3);
    win->SetProgress(1);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("33%"));
    win->SetProgress(3);
    EXPECT_FALSE(win->Active());
    EXPECT_EQ(win->PBar1->value(), 100);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("100%"));
    // Further calls only process events.
    EXPECT_EQ(PumpsOf(1), 1);
    EXPECT_EQ(PumpsOf(1), 1);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("100%"));
    EXPECT_EQ(win->PBar1->value(), 100);

    win->StartProgress(10);
    EXPECT_TRUE(win->Active());
    EXPECT_EQ(win->PBar1->value(), 0);
}

TEST_F(StatusWinTest, PositionBeyondTotalShowsFullBarAndKeepsRunning) {
    win->StartProgress(100);
    win->SetProgress(150);
    EXPECT_TRUE(win->Active());
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("150%"));
    EXPECT_EQ(win->PBar1->value(), 100);
    win->SetProgress(std::numeric_limits<qint64>::max());
    EXPECT_TRUE(win->Active());
}

TEST_F(StatusWinTest, NewRunShowsItsFirstStepsEvenAtThePreviousRunsPercentage) {
    win->StartProgress(100);
    win->SetProgress(57);
    win->StartProgress(100);
    win->SetProgress(57);
    EXPECT_EQ(win->PBar1->value(), 57);
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("57%"));
}

TEST_F(StatusWinTest, ConnectingTextSwitchesRunningBarToMarqueeUntilNextStart) {
    win->StartProgress(100);
    win->SetProgress(40);
    win->SetText(QStringLiteral("Connecting to ftp.example.org"));
    EXPECT_EQ(win->L_TextLine1->text(), QStringLiteral("Connecting to ftp.example.org"));
    EXPECT_TRUE(win->Marquee());
    EXPECT_TRUE(win->L_TextLine2->text().isEmpty());
    win->StartProgress(100);
    EXPECT_FALSE(win->Marquee());
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("0%"));

    win->SetText(QStringLiteral("Loading file ..."));
    EXPECT_FALSE(win->Marquee());
}

TEST_F(StatusWinTest, PercentModeOffLeavesSecondLineEmptyAndLeftAligned) {
    win->SetPercentMode(false);
    EXPECT_TRUE(win->L_TextLine2->alignment() & Qt::AlignLeft);
    win->StartProgress(100);
    EXPECT_TRUE(win->Marquee());  // the bar shows percentages only in percent mode
    win->SetProgress(50);
    EXPECT_TRUE(win->L_TextLine2->text().isEmpty());
    win->SetPercentMode(true);
    EXPECT_TRUE(win->L_TextLine2->alignment() & Qt::AlignHCenter);
}

TEST_F(StatusWinTest, TextPlacesWindowCentredOnMainForm) {
    QMainWindow main;
    main.setGeometry(100, 80, 800, 600);
    SetMainForm(&main);
    win->SetText(QStringLiteral("Comparing ..."));
    const QRect m = main.frameGeometry();
    EXPECT_EQ(win->x(), m.left() + m.width() / 2 - win->frameGeometry().width() / 2);
    EXPECT_EQ(win->y(), m.top() + m.height() / 2);
    SetMainForm(nullptr);
}

// A long operation that only knows the progress interface stops when the
// user presses Cancel during one of the event rounds its progress calls make.
TEST_F(StatusWinTest, CancelDuringPumpingReachesTheCallerAndHidesTheWindow) {
    class ClickingPump : public config::EventPump {
    public:
        std::function<void()> onRound;
        void processEvents() override { onRound(); }
    } clicking;
    config::setEventPump(&clicking);
    config::setProgressSink(win.get());

    int cancelled = 0;
    win->OnCancel = [&](QObject* sender) {
        EXPECT_EQ(sender, win.get());
        ++cancelled;
    };
    int rounds = 0;
    clicking.onRound = [&] {
        if (++rounds == 3) QTest::mouseClick(win->fbCancel, Qt::LeftButton);
    };

    config::ProgressSink& sink = config::progressSink();
    sink.setTextLine(1, QStringLiteral("Comparing ..."));
    sink.startProgress(100);
    sink.showProgress();
    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(sink.cancelRequested());
    int done = 0;
    for (; done < 100 && !sink.cancelRequested(); ++done)
        sink.setProgress(done + 1);
    EXPECT_EQ(done, 3);  // every step changes the percentage and pumps once
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(win->isVisible());
    EXPECT_TRUE(sink.cancelRequested());

    // The caller's end of the operation ends its cancel request, so a next
    // operation that never shows the window is not stopped by it.
    sink.hideProgress();
    EXPECT_FALSE(sink.cancelRequested());

    // Showing the window again starts without a cancel request.
    QTest::mouseClick(win->fbCancel, Qt::LeftButton);
    sink.showProgress();
    EXPECT_FALSE(sink.cancelRequested());
    sink.hideProgress();
    config::setProgressSink(nullptr);
    config::setEventPump(&pump);
}

TEST_F(StatusWinTest, SinkLinesGoToTheThreeLabels) {
    config::ProgressSink& sink = *win;
    sink.setTextLine(1, QStringLiteral("one"));
    sink.setTextLine(2, QStringLiteral("two"));
    sink.setTextLine(3, QStringLiteral("three"));
    sink.setTextLine(4, QStringLiteral("ignored"));
    EXPECT_EQ(win->L_TextLine1->text(), QStringLiteral("one"));
    EXPECT_EQ(win->L_TextLine2->text(), QStringLiteral("two"));
    EXPECT_EQ(win->L_TextLine3->text(), QStringLiteral("three"));
}

TEST_F(StatusWinTest, StartTakesTheFlatLookForCancel) {
    config::FlatLook() = 1;
    win->StartProgress(10);
    EXPECT_TRUE(win->fbCancel->Flat());
    config::FlatLook() = 0;
    win->StartProgress(10);
    EXPECT_FALSE(win->fbCancel->Flat());
}

// Saves a sample of the window as a developer would see it, and checks that
// the bar is drawn half full.
TEST_F(StatusWinTest, GrabShowsThreeLinesHalfBarAndCancel) {
    config::FlatLook() = 1;
    win->setWindowTitle(QStringLiteral("Tandex"));
    win->SetText(QStringLiteral("Comparing files, please wait ..."));
    win->StartProgress(1000);
    win->SetProgress(500);
    win->L_TextLine3->setText(QStringLiteral("12 of 24 blocks"));
    win->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    const QImage image = win->grab().toImage();
    tandex::testing::GrabToPng(win.get(), QStringLiteral("progress-window-sample"));
    config::FlatLook() = 0;

    const QRect bar = win->PBar1->geometry();
    const int y = bar.center().y();
    const QColor filled = image.pixelColor(bar.left() + bar.width() / 4, y);
    const QColor empty = image.pixelColor(bar.left() + bar.width() * 3 / 4, y);
    EXPECT_NE(filled, empty);
    EXPECT_EQ(image.pixelColor(bar.left() + bar.width() / 2 - 8, y), filled);
    EXPECT_EQ(image.pixelColor(bar.left() + bar.width() / 2 + 8, y), empty);
}

}  // namespace
