// The folder comparison run: the progress arithmetic without widgets, the
// folder window's Execute on real trees with its answers scripted, and the
// main window that starts it and takes over its result.

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

#include "access/access_slots.h"
#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/folder_view_services.h"
#include "ui/folders/run_logs.h"
#include "ui/folders/run_progress.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"

using namespace tandex::folders;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

// ---- the progress arithmetic ---------------------------------------------------------

TEST(RunProgress, TheOverallBarNeverGoesBackWhenItsTotalGrows) {
    TTotalBar bar;
    bar.SetMax(true, 200);
    EXPECT_EQ(bar.Set(100), 50);
    bar.SetMax(false, 400);
    const struct {
        qint64 value;
        int shown;  // -1: the bar stays
    } steps[] = {{150, -1}, {200, -1}, {204, 51}, {400, 100}, {500, 125}};
    for (const auto& s : steps) EXPECT_EQ(bar.Set(s.value), s.shown) << s.value;
    // A reset starts from 0 again.
    bar.SetMax(true, 10);
    EXPECT_EQ(bar.Set(1), 10);
}

TEST(RunProgress, TheFileBarStopsAtItsEndAndStaysAtZeroWithoutATotal) {
    TFileBar bar;
    bar.Start(0);
    EXPECT_EQ(bar.Set(0), -1);
    EXPECT_EQ(bar.Set(1000), -1);
    bar.Start(8);
    EXPECT_EQ(bar.Set(4), 50);
    EXPECT_EQ(bar.Set(3), -1);
    EXPECT_EQ(bar.Set(9), 100);
    EXPECT_FALSE(bar.Active);
    EXPECT_EQ(bar.Set(16), -1);
}

TEST(RunProgress, APauseIsLeftOutOfTheElapsedTimeAndTheRates) {
    TRunClock clock;
    clock.Start(10'000);
    clock.Pause(11'000);
    clock.Resume(14'000);
    const TRunClock::Tick t = clock.Advance(15'000);
    EXPECT_EQ(t.elapsed, 2000);
    EXPECT_EQ(t.dt, 5000);
    TEtaRing eta;
    const TSlowStep s = eta.Step(t.elapsed, 100, 50, false, 4'000'000, 10);
    EXPECT_EQ(s.Elapsed, 2u);
    EXPECT_EQ(s.BytesPerSec, 2'000'000);
    EXPECT_DOUBLE_EQ(s.FilesPerSec, 5.0);
    // Ticks without time between them still count one millisecond.
    EXPECT_EQ(clock.Advance(15'000).dt, 1);
}

TEST(RunProgress, TheEstimateAveragesFiveStepsAndTheFinalTickEndsIt) {
    TEtaRing eta;
    // Half done after 10 s: 20 s in all; the estimate shows from the
    // fifth step on.
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(eta.Step(10'000, 100, 50, false, 0, 0).Estimated) << i;
    TSlowStep s = eta.Step(10'000, 100, 50, false, 0, 0);
    EXPECT_TRUE(s.Estimated);
    EXPECT_EQ(s.Total, 20u);
    EXPECT_EQ(s.Remaining, 10u);
    // A run shorter than a tick: its final tick shows elapsed as the total.
    TEtaRing shortRun;
    s = shortRun.Step(120, 4, 3, true, 0, 3);
    EXPECT_TRUE(s.Estimated);
    EXPECT_EQ(s.Total, s.Elapsed);
    EXPECT_EQ(s.Remaining, 0u);
    EXPECT_EQ(config::SecondsToHMS(s.Remaining), " 00h:00m:00s");
}

TEST(RunProgress, SkipShowsAfterEightSlowStepsOfOneFilesContent) {
    int countdown = 8;
    int shownAt = 0;
    for (int step = 1; step <= 12 && !shownAt; ++step)
        if (SkipCountdownStep(countdown, true)) shownAt = step;
    EXPECT_EQ(shownAt, 8);
    countdown = 8;
    for (int step = 1; step <= 12; ++step) EXPECT_FALSE(SkipCountdownStep(countdown, false));
}

TEST(RunProgress, LogCountsAndErrorTexts) {
    const struct {
        int scan, compared, differences, errors, rightOnly;
        int total, successful, errorCount, skipped;
    } cases[] = {
        {3, 3, 0, 0, 0, 3, 3, 0, 0},
        // Right-only files outnumbering the equal ones never make
        // "Successful" negative.
        {3, 3, 5, 0, 5, 8, 3, 5, 0},
        {4, 4, 2, 0, 1, 5, 3, 2, 0},
        // A stopped run skips what it did not compare.
        {10, 4, 1, 1, 0, 11, 3, 2, 6},
    };
    for (const auto& c : cases) {
        const TCompareCounts n = CompareLogCounts(c.scan, c.compared, c.differences, c.errors, c.rightOnly);
        TLogCounts log{n.Total, n.Successful, n.Errors};
        EXPECT_EQ(n.Total, c.total);
        EXPECT_EQ(n.Successful, c.successful);
        EXPECT_EQ(n.Errors, c.errorCount);
        EXPECT_EQ(log.skipped(), c.skipped);
    }
    EXPECT_EQ(RunErrorText(0), "");
    EXPECT_EQ(RunErrorText(1), "1 non-recoverable file error occurred!");
    EXPECT_EQ(RunErrorText(2), "2 non-recoverable file errors occurred!");
}

// ---- runs in the window ---------------------------------------------------------------

using Stage = std::function<bool()>;

// Runs the stages from a timer while a blocking call turns the event pump:
// each is called until it returns true, then the next one.
class Script {
public:
    explicit Script(std::vector<Stage> stages) : stages_(std::move(stages)) {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (busy_ || next_ >= stages_.size()) return;
            if (clock_.elapsed() > 30000) {
                ADD_FAILURE() << "stage " << next_ << " never finished";
                next_ = stages_.size();
                return;
            }
            busy_ = true;
            if (stages_[next_]()) ++next_;
            busy_ = false;
        });
        timer_.start(5);
    }
    bool Done() const { return next_ >= stages_.size(); }

private:
    std::vector<Stage> stages_;
    QTimer timer_;
    QElapsedTimer clock_;
    size_t next_ = 0;
    bool busy_ = false;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class FolderRunFixture : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(config::PrgDir().GetWritableRoot()));
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
        config::setEventPump(&pump_);
        resetEngine();
        left_ = tmp_.filePath("L");
        right_ = tmp_.filePath("R");
    }
    void TearDown() override {
        ui::setFolderView(nullptr);
        bare_.reset();
        services_.reset();
        window_.reset();
        resetEngine();
        FolderCompare().RunState = rsIdle;
        tandex::access::FZResetAbort();
        ui::commandLine().SetBatchMode(false);
        ui::commandLine().SetGuiRequested(false);
        config::setEventPump(nullptr);
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }
    // Three equal files on each side.
    void equalTrees() {
        for (const char* name : {"a.txt", "b.txt", "sub/c.txt"}) {
            writeFile(left_ + "/" + name, name);
            writeFile(right_ + "/" + name, name);
        }
    }
    void usePair() {
        auto& s = config::AppSettings();
        s.FCFoldersL[0] = left_;
        s.FCFoldersR[0] = right_;
        s.FCSubDir = true;
    }
    TCmpFolder& folderWindow() {
        if (!services_) services_ = std::make_unique<TFolderViewServices>(window_.get());
        return *services_->CmpFolder();
    }
    // The main window started as the program starts it: its folder
    // services installed before the second start-up stage.
    ui::TF_Main& mainWindow() {
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        services_ = std::make_unique<TFolderViewServices>(window_.get());
        ui::setFolderView(services_.get());
        window_->resize(900, 520);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->firePendingJobs();
        return *window_;
    }
    // A run of the folder window alone, without the main window.
    template <class W = TCmpFolder>
    W& bareWindow() {
        auto window = std::make_unique<W>();
        W& w = *window;
        bare_ = std::move(window);
        Watch(&w);
        return w;
    }
    static QStringList logLines() {
        QFile f(LogFilePath(kCompareLog));
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromLatin1(f.readAll()).split('\n');
        for (QString& line : lines)
            if (line.endsWith('\r')) line.chop(1);
        return lines;
    }
    Stage press(std::function<tandex::ui::TFlatButton2*()> button) {
        return [button] {
            if (!button()->isVisible() || !button()->Enabled()) return false;
            button()->OnClick(button());
            return true;
        };
    }
    Stage startWhenReady() {
        return press([this] { return folderWindow().fbOk; });
    }
    Stage whenFinished() {
        return [this] { return folderWindow().windowTitle().contains("Compare Folders c"); };
    }
    Stage close() {
        return press([this] { return folderWindow().fbOk; });
    }

    ui::QtEventPump pump_;
    QString left_, right_;
    std::unique_ptr<ui::TF_Main> window_;
    std::unique_ptr<TFolderViewServices> services_;
    std::unique_ptr<TCmpFolder> bare_;
};

// Cancels the run from inside its first progress call.
class CancellingWindow : public TCmpFolder {
public:
    void SetTotalProgress(qint64 value) override {
        if (!cancelled) fbCancelClick();
        cancelled = true;
        TCmpFolder::SetTotalProgress(value);
    }
    bool cancelled = false;
};

TEST_F(FolderRunFixture, CompareFoldersShowsOptionsProgressAndHandsOverToTheFolderView) {
    equalTrees();
    writeFile(left_ + "/sub/d.txt", "left");
    writeFile(right_ + "/sub/d.txt", "right!");
    // The main window loads the settings: the pair goes in after it.
    ui::TF_Main& w = mainWindow();
    usePair();
    TCmpFolder& f = folderWindow();
    Watch(&f);
    Script script({
        [&] {
            if (!f.fbOk->Enabled()) return false;
            tandex::testing::GrabToPng(&f, "FolderRun-options");
            f.fbOkClick();
            return true;
        },
        [&] {
            if (!f.windowTitle().contains("completed")) return false;
            tandex::testing::GrabToPng(&f, "FolderRun-finished");
            return true;
        },
        close(),
    });
    QAction* item = w.findChild<QAction*>("CompFolder1");
    ASSERT_TRUE(item && item->isVisible());
    item->trigger();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvFolder);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 1);
    EXPECT_TRUE(w.ControlsEnabled());
    EXPECT_FALSE(f.isVisible());
    tandex::testing::GrabToPng(&w, "FolderRun-folder-view");
    QMenu* pairs = w.Lastusedfolders1->menu();
    ASSERT_TRUE(pairs);
    ASSERT_FALSE(pairs->actions().isEmpty());
    EXPECT_EQ(pairs->actions()[0]->objectName(), "DP0");
}

TEST_F(FolderRunFixture, TheRunWritesLog0WithCountsThatNeverGoNegative) {
    equalTrees();
    auto& s = config::AppSettings();
    usePair();
    s.FCGenLog = true;
    s.FCAutoClose = true;
    s.AFFont = {QStringLiteral("DejaVu Sans Mono"), 9, 0};
    TCmpFolder& f = bareWindow();
    EXPECT_TRUE(f.Execute(false, -1));
    EXPECT_EQ(f.windowTitle(), " Compare Folders completed ");
    EXPECT_EQ(f.Run()->Differences, 0);
    const QStringList lines = logLines();
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines[2], "{\\*\\generator fc3,3,0;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18 ");

    // Five files only on the right beside the three equal ones.
    for (int i = 0; i < 5; ++i) writeFile(right_ + QString("/only%1.txt").arg(i), "r");
    EXPECT_TRUE(f.Execute(false, -1));
    TLogCounts counts;
    ASSERT_EQ(ReadLogCounts(LogFilePath(kCompareLog), counts), 0);
    EXPECT_EQ(counts.total, 8);
    EXPECT_EQ(counts.successful, 3);
    EXPECT_EQ(counts.errors, 5);
    EXPECT_EQ(counts.skipped(), 0);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 5);
}

TEST_F(FolderRunFixture, CancelFromAProgressCallEndsTheRunAsCanceled) {
    equalTrees();
    usePair();
    config::AppSettings().FCAutoClose = true;
    CancellingWindow& f = bareWindow<CancellingWindow>();
    f.Execute(false, -1);
    EXPECT_TRUE(f.cancelled);
    EXPECT_EQ(f.windowTitle(), " Compare Folders canceled ");
    EXPECT_LT(f.Run()->FilesCompared, 3);
    EXPECT_EQ(FolderCompare().RunState, rsIdle);
}

TEST_F(FolderRunFixture, ALogThatCannotBeOpenedIsNotedAndTheRunCompletes) {
    equalTrees();
    usePair();
    config::AppSettings().FCAutoClose = true;
    const QString programLog = tmp_.filePath("program.log");
    tandex::access::FZSetLogFile(programLog);
    // Log 0 still open from elsewhere: the run cannot open it anew.
    TRunLogs& logs = RunLogs();
    logs.OpenLog(kCompareLog, 0, 0, 0);
    TCmpFolder& f = bareWindow();
    EXPECT_TRUE(f.Execute(false, -1));
    EXPECT_EQ(f.windowTitle(), " Compare Folders completed ");
    EXPECT_FALSE(logs.IsOpen(kCompareLog));
    QFile log(programLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("CF1: Could not open compare log"));
}

TEST_F(FolderRunFixture, RunsThatDoNotWaitForClose) {
    equalTrees();
    writeFile(right_ + "/extra.txt", "x");
    usePair();
    auto& s = config::AppSettings();
    struct Case {
        const char* name;
        int mode;
        bool autoClose;
    } cases[] = {{"batch", cmBatch, false}, {"auto-close", cmNormal, true}};
    for (const Case& c : cases) {
        s.FCAutoClose = c.autoClose;
        auto& roots = engine::paneStores().FolderRoots;
        roots[1] = left_;
        roots[2] = right_;
        TCmpFolder& f = bareWindow();
        // A run that waited would be let go after a while, and fail.
        bool waited = false;
        QTimer::singleShot(15000, &f, [&] {
            waited = true;
            f.fbCancelClick();
            f.fbCancelClick();
        });
        EXPECT_TRUE(f.Execute(false, c.mode)) << c.name;
        EXPECT_FALSE(waited) << c.name;
        EXPECT_EQ(f.Run()->Differences, 1) << c.name;
        ui::commandLine().SetBatchMode(false);
    }
}

TEST_F(FolderRunFixture, OptionsOnlyOkStoresTheQuickCompareSessionAndComparesNothing) {
    equalTrees();
    usePair();
    auto& s = config::AppSettings();
    TCmpFolder& f = bareWindow();
    s.FCSessData[0] = f.SessionString();
    const int content = f.TB_FCC->value();
    s.FCSessData[config::kListSize].clear();
    Script script({[&] {
        if (!f.fbOk->Enabled()) return false;
        f.TB_FCC->setValue(content == 8 ? 1 : 8);
        f.fbOkClick();
        return true;
    }});
    EXPECT_FALSE(f.Execute(true, cmOptionsOnly));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(f.Run()->FilesCompared, 0);
    EXPECT_EQ(engine::paneStores().FolderEntryCount, 0);
    // The confirmed options are session 20; session 0 is back in the controls.
    EXPECT_FALSE(s.FCSessData[config::kListSize].isEmpty());
    EXPECT_NE(s.FCSessData[config::kListSize], s.FCSessData[0]);
    EXPECT_EQ(f.TB_FCC->value(), content);
}

TEST_F(FolderRunFixture, TheHandOverOpensTheDifferingFoldersAndSelectsTheFirstDifference) {
    equalTrees();
    writeFile(left_ + "/sub/d.txt", "left");
    writeFile(right_ + "/sub/d.txt", "right!");
    ui::TF_Main& w = mainWindow();
    usePair();
    auto& s = config::AppSettings();
    s.FCAutoClose = true;
    s.FCTreeView = true;
    s.FCAutoExpAll = false;
    // Going to the first difference opens its folder: not here.
    s.FCSelFirstDif = false;
    const struct {
        bool expand;
        int rows;  // sub, [c, d,] a, b
    } cases[] = {{true, 5}, {false, 3}};
    for (const auto& c : cases) {
        s.FCAutoExpand = c.expand;
        w.runFolderCompare(false, -1);
        EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 1) << c.expand;
        EXPECT_EQ(engine::folderRows().FolderRowCount, c.rows) << c.expand;
    }
    // The first difference is selected, its folder opened to it.
    s.FCSelFirstDif = true;
    w.runFolderCompare(false, -1);
    EXPECT_EQ(engine::folderRows().FolderRowCount, 5);
    EXPECT_EQ(engine::editor().Caret.Row, 2);
}

TEST_F(FolderRunFixture, TheLastFolderPairIsComparedAtStartUp) {
    equalTrees();
    writeFile(right_ + "/extra.txt", "x");
    {
        ui::TF_Main& w = mainWindow();
        auto& s = config::AppSettings();
        usePair();
        s.SUAutoLoad = 2;
        s.FCAutoClose = true;
        w.SaveSettings();
        ui::setFolderView(nullptr);
        services_.reset();
        window_.reset();
        resetEngine();
    }
    mainWindow();
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvFolder);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 1);
    EXPECT_EQ(engine::paneStores().FolderRoots[2], right_ + "/");
}

TEST_F(FolderRunFixture, TheFolderPairMenuAsksForModifiedPanesBeforeItCompares) {
    equalTrees();
    ui::TF_Main& w = mainWindow();
    QMenu* menu = w.Lastusedfolders1->menu();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Empty");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());

    auto& s = config::AppSettings();
    s.FCFoldersL[0] = "/nowhere/x";
    s.FCFoldersR[0] = "/nowhere/y";
    s.FCFoldersL[1] = left_;
    s.FCFoldersR[1] = right_;
    s.FCFoldersL[2] = "/only/left";
    s.FCAutoClose = true;
    w.buildFolderPairMenu();
    QStringList names;
    for (QAction* a : menu->actions()) names << a->objectName();
    EXPECT_EQ(names, QStringList({"DP0", "DP1"}));

    // A text tab with a modified left pane.
    auto& tabs = engine::fccTabs();
    tabs.TabSlots[3].InUse = 1;
    tabs.TabSlots[3].ViewType = engine::tvText;
    tabs.TabSlots[3].FileData.PaneModifiedState[1] = engine::pmModified;
    struct AnsweringSink : config::RecordingMessageSink {
        int showMessage(const config::MessageRequest& r) override {
            RecordingMessageSink::showMessage(r);
            return answer;
        }
        int answer = config::mrCancel;
    } sink;
    config::setMessageSink(&sink);
    menu->actions()[1]->trigger();
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_TRUE(sink.messages()[0].text.contains("modified"));
    EXPECT_NE(tabs.GetCurrentViewType(), engine::tvFolder);
    sink.answer = config::mrNo;
    menu->actions()[1]->trigger();
    config::setMessageSink(nullptr);
    EXPECT_EQ(tabs.GetCurrentViewType(), engine::tvFolder);
    EXPECT_EQ(engine::paneStores().FolderRoots[1], left_ + "/");
}

TEST_F(FolderRunFixture, ACloseDuringARunIsRefusedCancelsItAndARetryCloses) {
    equalTrees();
    ui::TF_Main& w = mainWindow();
    usePair();
    config::AppSettings().FCAutoClose = false;
    TCmpFolder& f = folderWindow();
    bool refused = false;
    Script script({startWhenReady(), [&] {
                       if (!f.windowTitle().contains("completed")) return false;
                       refused = !w.close();
                       return true;
                   }});
    w.BB_OPENFOLDERClick(nullptr);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(refused);
    // The close job asks again once the run has returned.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.FormClosed(); }, 10000));
    QFile settings(config::PrgDir().GetIniPath());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("AFW="));
    EXPECT_TRUE(text.contains("FCFoldersL[0]=" + left_.toUtf8()));
}

}  // namespace
