// Closing the offscreen window, the recent file pairs it keeps, and the
// pair it reloads at start-up: real files in a temporary folder, the
// settings file read back after the close.

#include "ui/main/main_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/binary_fixture.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/recent_pairs.h"
#include "ui/main/status_win.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return answer;
    }
    int answer = config::mrCancel;
};

class CloseWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        resetEngine();
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        config::setProgressSink(nullptr);
        config::setMessageSink(nullptr);
        window_.reset();
        status_.reset();
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }
    ui::TF_Main& makeWindow() {
        status_ = std::make_unique<ui::TStatusWin>();
        window_ = std::make_unique<ui::TF_Main>(status_.get());
        Watch(window_.get());
        window_->resize(900, 520);
        window_->show();
        window_->firePendingJobs();
        return *window_;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString bigText() {
        QByteArray big;
        for (int i = 0; i < 20000; ++i) big += "line " + QByteArray::number(i) + "\n";
        return file("big.txt", big);
    }
    static QString settingsText() {
        QFile f(config::PrgDir().GetIniPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    config::TFilePair pairOf(const QString& left, const QString& right) const {
        const QString folder = dir_.path() + "/";
        return {folder, folder, left, right};
    }
    QString folder() const { return dir_.path() + "/"; }

    AnsweringSink sink_;
    QTemporaryDir dir_;
    std::unique_ptr<ui::TStatusWin> status_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(CloseWindowTest, ModifiedPaneIsAskedOnEveryCloseAndCancelKeepsTheWindow) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "a\nb\n"), file("r.txt", "a\nc\n"));
    engine::fccTabs().MarkPaneModified(1);
    sink_.answer = config::mrCancel;
    // More cancels than the countdown once allowed: each close still asks.
    for (int n = 1; n <= 20; ++n) {
        EXPECT_FALSE(w.close()) << n;
        EXPECT_TRUE(w.isVisible()) << n;
        ASSERT_EQ(int(sink_.messages().size()), n);
        EXPECT_EQ(w.CloseCountdown(), 15);
    }
    EXPECT_TRUE(sink_.messages().back().text.startsWith("The file in the left text compare pane is modified!"));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
    EXPECT_FALSE(QFile::exists(config::PrgDir().GetIniPath()));

    // File > Exit runs the same sequence.
    sink_.answer = config::mrNo;
    auto* exit = w.findChild<QAction*>(QStringLiteral("Exit1"));
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_EQ(int(sink_.messages().size()), 21);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(settingsText().contains("AFW="));
}

TEST_F(CloseWindowTest, CloseDuringALoadCancelsItAndClosesOnARetry) {
    ui::TF_Main& w = makeWindow();
    const QString l = file("l.txt", "a\n"), r = file("r.txt", "b\n");
    w.loadAndCompare(3, l, r);
    auto& s = config::AppSettings();
    const QString temp = dir_.filePath("temp/");
    QDir().mkpath(temp + "kept");
    file("temp/left-over.tmp", "x");
    s.GSTempPath = temp;
    s.GSClrTmpFld = true;
    s.SUAutoLoad = 1;  // read back from the settings file below

    bool refused = false, visibleInside = false;
    QTimer::singleShot(0, &w, [&] {
        // Inside the load's event pump.
        EXPECT_TRUE(w.Loading());
        refused = !w.close();
        visibleInside = w.isVisible();
    });
    w.loadAndCompare(2, QString(), bigText());
    EXPECT_TRUE(refused);
    EXPECT_TRUE(visibleInside);
    // The load was cancelled: the pane shows what it showed before.
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("r.txt"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.PendingJobs().IsPending(ui::tjRetryClose));
    EXPECT_EQ(w.CloseCountdown(), 14);

    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_TRUE(settingsText().contains("SUAutoLoad=1"));
    EXPECT_FALSE(QFile::exists(temp + "left-over.tmp"));
    EXPECT_TRUE(QDir(temp + "kept").exists());
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(CloseWindowTest, CloseFromTheBinaryComparisonsProgressAbortsIt) {
    ui::TF_Main& w = makeWindow();
    QByteArray left = ui::testing::randomBytes(3 << 20, 7), right = left;
    for (int i = 0; i < right.size(); i += 4096) right[i] = char(right[i] ^ 0x5A);
    const QString l = file("l.bin", left), r = file("r.bin", right);
    ui::testing::ActionProgress progress;
    int closes = 0;
    bool refused = true;
    progress.onProgress = [&](qint64) {
        if (closes++ == 0) refused = !w.close();
    };
    config::setProgressSink(&progress);
    w.loadAndCompare(3, l, r);
    config::setProgressSink(nullptr);
    EXPECT_GE(closes, 1);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(w.isVisible());
    // Stopped after the pass it was in, far from the end of 3 MB.
    EXPECT_LT(progress.calls, 20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_TRUE(settingsText().contains("AFW="));
}

TEST_F(CloseWindowTest, CloseWhileACommandWaitsOnADialogWaitsForIt) {
    ui::TF_Main& w = makeWindow();
    QDialog dialog(&w);
    bool refused = false;
    tandex::testing::OnNextModal([&](QWidget* modal) {
        refused = !w.close();
        static_cast<QDialog*>(modal)->reject();
    });
    dialog.exec();
    EXPECT_TRUE(refused);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
}

TEST_F(CloseWindowTest, RetriesPastTheCountdownStillWaitForTheLoadAndAsk) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    engine::fccTabs().MarkPaneModified(1);
    w.saveTabState();
    int refusedInside = 0;
    QTimer::singleShot(0, &w, [&] {
        for (int n = 0; n < 20; ++n) refusedInside += w.close() ? 0 : 1;
    });
    w.loadAndCompare(2, QString(), bigText());
    EXPECT_EQ(refusedInside, 20);
    EXPECT_EQ(w.CloseCountdown(), 0);
    EXPECT_TRUE(sink_.messages().empty());
    // The retry reaches the save question; its Cancel ends this close.
    sink_.answer = config::mrCancel;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sink_.messages().empty(); }, 10000));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.CloseCountdown(), 15);
    EXPECT_FALSE(w.PendingJobs().IsPending(ui::tjRetryClose));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
}

TEST_F(CloseWindowTest, AnEmptyTempFolderSettingNeverEmptiesTheWorkingFolder) {
    ui::TF_Main& w = makeWindow();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    const QString kept = file("kept.txt", "x");
    auto& s = config::AppSettings();
    s.GSClrTmpFld = true;
    s.GSTempPath.clear();
    EXPECT_TRUE(w.close());
    QDir::setCurrent(before);
    EXPECT_TRUE(QFile::exists(kept));
}

TEST_F(CloseWindowTest, LoadedPairsEnterTheFileMenuAtOnceOrAfterTheTimer) {
    ui::TF_Main& w = makeWindow();
    QMenu* menu = w.LastUsedFiles1->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(w.LastUsedFiles1->isVisible());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Empty"));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());

    auto& hist = config::AppSettings().AFHist;
    // Different names: only once the pair has stayed loaded for T_HIST.
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    EXPECT_TRUE(tandex::ui::SamePair(hist[20], pairOf("l.txt", "r.txt")));
    w.recordRecentPair();
    EXPECT_TRUE(w.HistoryPending());
    EXPECT_TRUE(w.T_HIST->isActive());
    EXPECT_EQ(w.T_HIST->interval(), 30000);
    EXPECT_TRUE(hist[0].NameL.isEmpty());
    w.T_HISTTimer();
    EXPECT_FALSE(w.HistoryPending());
    EXPECT_FALSE(w.T_HIST->isActive());
    EXPECT_TRUE(tandex::ui::SamePair(hist[0], pairOf("l.txt", "r.txt")));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->objectName(), QStringLiteral("FP0"));
    EXPECT_TRUE(menu->actions()[0]->text().startsWith("&0  "));

    // The same name on both sides counts at once.
    QDir().mkpath(dir_.filePath("other"));
    const QString same1 = file("s.txt", "a\n"), same2 = file("other/s.txt", "b\n");
    w.loadAndCompare(3, same1, same2);
    w.recordRecentPair();
    EXPECT_FALSE(w.HistoryPending());
    EXPECT_EQ(hist[0].NameL, QStringLiteral("s.txt"));
    EXPECT_EQ(hist[0].PathR, dir_.filePath("other/"));
    EXPECT_EQ(menu->actions().size(), 2);

    // The open command records the pair it loads; a new pair still
    // waiting is recorded when the window closes.
    const QString chosen = file("other/chosen.txt", "c\n");
    tandex::testing::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    w.pmLoadFileLeftClick(w.fbOpenFolderR);
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("chosen.txt"));
    EXPECT_TRUE(w.HistoryPending());
    EXPECT_TRUE(w.close());
    EXPECT_EQ(hist[0].NameR, QStringLiteral("chosen.txt"));
    EXPECT_TRUE(settingsText().contains("AFHist0NameR=chosen.txt"));
    EXPECT_TRUE(settingsText().contains("AFHist20NameR=chosen.txt"));
}

TEST_F(CloseWindowTest, RecentPairOverAModifiedPaneAsksFirst) {
    ui::TF_Main& w = makeWindow();
    file("old-l.txt", "x\n");
    file("old-r.txt", "y\n");
    auto& hist = config::AppSettings().AFHist;
    hist[0] = pairOf("l.txt", "r.txt");
    hist[1] = pairOf("old-l.txt", "old-r.txt");
    w.buildFilePairMenu();
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    engine::fccTabs().MarkPaneModified(2);
    QAction* item = nullptr;
    for (QAction* a : w.LastUsedFiles1->menu()->actions())
        if (a->objectName() == QStringLiteral("FP1")) item = a;
    ASSERT_NE(item, nullptr);

    sink_.answer = config::mrCancel;
    item->trigger();
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_TRUE(sink_.messages()[0].text.startsWith("The file in the right text compare pane is modified!"));
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("l.txt"));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(2));

    // From the single-pane view the pair comes back compared.
    engine::paneStores().SinglePaneView = 1;
    w.saveTabState();
    w.restoreTabState();
    sink_.answer = config::mrNo;
    w.FPClick1(item);
    EXPECT_EQ(engine::paneStores().SinglePaneView, 0);
    EXPECT_EQ(w.LastDiffCount, 1);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("old-l.txt"));
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("old-r.txt"));
    // Chosen from further down, the pair moves to the top.
    EXPECT_TRUE(tandex::ui::SamePair(hist[0], pairOf("old-l.txt", "old-r.txt")));
    EXPECT_TRUE(tandex::ui::SamePair(hist[1], pairOf("l.txt", "r.txt")));
}

TEST_F(CloseWindowTest, PendingPairIsReloadedAtStartUpWithAutoLoad) {
    const QString l = file("l.txt", "one\ntwo\n"), r = file("r.txt", "one\nthree\n");
    {
        ui::TF_Main& w = makeWindow();
        auto& s = config::AppSettings();
        s.SUAutoLoad = 1;
        s.AFHist[20] = pairOf("l.txt", "r.txt");
        w.SaveSettings();
        window_.reset();
        resetEngine();
        s.SetDefaults(config::PrgDir().GetWritableRoot());
        ASSERT_EQ(s.SUAutoLoad, 0);
    }
    makeWindow();  // the second start-up stage runs the auto-load
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.txt"));
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.txt"));
    EXPECT_EQ(stores.FilePaths[1], folder());
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvText);
    EXPECT_EQ(window_->LastDiffCount, 1);
}

}  // namespace
