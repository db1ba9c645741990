#include "ui/folders/cmp_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/ftp_hooks.h"
#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/ini_file_access.h"
#include "config/num_format.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "tests/access/ftp_test_profile.h"
#include "tests/access/local_servers.h"
#include "tests/config/resource_access_double.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/graph_win.h"
#include "ui/folders/more_filters.h"
#include "ui/main/command_windows.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"

using namespace tandex::folders;
namespace config = tandex::config;
namespace fz = tandex::access;
namespace ui = tandex::ui;

namespace {

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return answer;
    }
    int answer = config::mrNo;
};

// The command-window seam with the colour pulse recorded.
class PulseRecorder : public ui::CommandWindowServices {
public:
    bool Has(ui::TCommandWindow) const override { return false; }
    void ShowColors(QPoint, bool, std::function<void(int)>) override {}
    void ShowSettings() override {}
    void ShowSettingsPage(int, int) override {}
    void ShowAbout(QPoint) override {}
    void SetPulse(quint32 base, quint8 red, quint8 green, quint8 blue, int half) override {
        calls << QString("set %1 %2 %3 %4 %5").arg(base, 0, 16).arg(red).arg(green).arg(blue).arg(half);
    }
    void EnablePulse(bool on) override { calls << QString("enable %1").arg(on); }
    void SetOnPulse(std::function<void(quint32)> pulse) override { onPulse = std::move(pulse); }
    QStringList calls;
    std::function<void(quint32)> onPulse;
};

void writeFile(const QString& path, qint64 size) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(size));
}

// Stages of a script run inside ShowOptions' wait: each is called every
// few milliseconds until it returns true, then the next one runs.
using Stage = std::function<bool()>;

class CmpFolderTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        config::AppSettings().SetDefaults(dir_.path() + "/");
        config::setEventPump(&pump_);
        config::setMessageSink(&sink_);
        config::SetBinarySizeUnits(false);
        config::SetSizeDecimalChar(',');
        resetState();
        left_ = dir_.path() + "/left";
        right_ = dir_.path() + "/right";
        writeFile(left_ + "/a.txt", 1000);
        writeFile(left_ + "/sub/b.bin", 1234567);
        writeFile(left_ + "/sub/c.dat", 0);
        QDir().mkpath(right_);
    }
    void TearDown() override {
        if (window_) window_->WaitPreScanStopped();
        WidgetTest::TearDown();
        window_.reset();
        resetState();
        fz::FZResetAbort();
        ui::commandLine().SetBatchMode(false);
        config::setMessageSink(nullptr);
        config::setEventPump(nullptr);
        config::AppSettings().SetDefaults(dir_.path() + "/");
    }
    static void resetState() {
        TFolderCompareState& fc = FolderCompare();
        fc.RunState = rsIdle;
        fc.PreScanRunning = false;
        fc.PreScanDone = false;
        fc.PreScanStop = false;
        fc.RightRootReachable = true;
        PreScan().ResetCounters();
        auto& roots = tandex::engine::paneStores().FolderRoots;
        roots[1].clear();
        roots[2].clear();
    }

    TCmpFolder& make(ui::TF_Main* main = nullptr) {
        window_ = std::make_unique<TCmpFolder>(main);
        Watch(window_.get());
        return *window_;
    }
    // A window whose folder boxes show the two test folders.
    TCmpFolder& makeWithFolders(const QString& left, const QString& right) {
        auto& s = config::AppSettings();
        s.FCFoldersL[0] = left;
        s.FCFoldersR[0] = right;
        return make();
    }

    // ShowOptions(mode) with the stages run inside its wait; Cancel after
    // half a minute so that a broken test fails instead of hanging.
    bool runOptions(int mode, std::vector<Stage> stages) {
        QTimer timer;
        QElapsedTimer clock;
        clock.start();
        size_t next = 0;
        bool busy = false;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (busy || next >= stages.size()) return;
            if (clock.elapsed() > 30000) {
                ADD_FAILURE() << "stage " << next << " never finished";
                next = stages.size();
                window_->fbCancelClick();
                return;
            }
            busy = true;
            if (stages[next]()) ++next;
            busy = false;
        });
        timer.start(5);
        const bool result = window_->ShowOptions(mode);
        EXPECT_EQ(next, stages.size()) << "the options ended before the script";
        return result;
    }
    Stage startEnabled() {
        return [this] { return window_->fbOk->Enabled(); };
    }
    Stage cancel() {
        return [this] {
            window_->fbCancelClick();
            return true;
        };
    }

    QTemporaryDir dir_;
    ui::QtEventPump pump_;
    AnsweringSink sink_;
    QString left_, right_;
    std::unique_ptr<TCmpFolder> window_;
};

// ---- sessions -------------------------------------------------------------------

TEST_F(CmpFolderTest, TheSessionRecordHoldsEveryOptionAndRestoresIt) {
    TCmpFolder& w = make();
    const QString fresh = w.SessionString();
    EXPECT_TRUE(fresh.startsWith("X->"));
    EXPECT_EQ(fresh.count(kSessionSeparator), 38);
    EXPECT_TRUE(fresh.endsWith(QString(kSessionSeparator) + "X"));

    auto& s = config::AppSettings();
    w.CB_Folder1->setEditText("/l");
    w.CB_Folder2->setEditText("/r");
    w.CB_IncludePat->setEditText("*.c;*.h");
    w.CB_ExcludePat->setEditText("*.o");
    w.CB_FolderPairList->setEditText("/lists/p.fpl");
    w.M_FParList->setPlainText("%1=a b\n%2=c");
    w.CB_ChkDate->setChecked(false);
    w.SetAttrBoxes(abHidden | abArchive);
    w.CB_SubFolder->setChecked(false);
    w.CB_FCExclFolders->setEditText("tmp;cache");
    w.CB_Folder1Only->setChecked(true);
    w.CB_UseFPL->setChecked(true);
    w.CB_DisRdCache->setChecked(true);
    w.CB_PerfGraph->setChecked(true);
    w.TB_FCC->setValue(3);
    w.TB_MaxBuf->setValue(5);
    s.FCExclSmaller = true;
    s.FCSmaller = 12;
    s.FCLargerUnit = 3;
    s.FCExclHiddenD = 2;
    s.FCExclNewer = true;
    s.FCUseDaysAgo = false;
    s.FCNewerDays = 9;
    s.FCOlderTS = -5;
    s.FCNewerTS = 133000000000000000LL;
    w.CB_FCLimitRecScan->setChecked(true);
    s.FCMaxDepth = 7;
    const QString full = w.SessionString();
    EXPECT_EQ(full.count(kSessionSeparator), 38);
    EXPECT_EQ(SessionField(full, sfPairListParams), "\"%1=a b\",%2=c");
    EXPECT_EQ(SessionInt(full, sfAttributes), 34);
    EXPECT_EQ(SessionInt64(full, sfNewerTS), 133000000000000000LL);

    // Another window with the defaults, then the record applied.
    window_.reset();
    s.SetDefaults(dir_.path() + "/");
    TCmpFolder& other = make();
    EXPECT_NE(other.SessionString(), full);
    s.FCSessData[0] = full;
    other.ApplySession();
    EXPECT_EQ(other.SessionString(), full);
    EXPECT_EQ(other.M_FParList->toPlainText(), "%1=a b\n%2=c");
    EXPECT_TRUE(s.FCUseFPL);
    EXPECT_EQ(s.FCContent, 3);
    EXPECT_EQ(s.FCBufSize, 5);
}

TEST_F(CmpFolderTest, ANewSessionNameDropsTheOldestOfTwentyButNotTheQuickCompareEntry) {
    auto& s = config::AppSettings();
    for (int i = 0; i < 20; ++i) {
        s.FCSessions[i] = QString("S%1").arg(i);
        s.FCSessData[i] = QString("data%1").arg(i);
    }
    s.FCSessData[20] = "quick";
    TCmpFolder& w = make();
    ASSERT_EQ(w.CB_Session->count(), 20);
    w.CB_Session->setEditText("New");
    w.UpdateHistory(w.CB_Session);
    EXPECT_EQ(w.CB_Session->count(), 20);
    EXPECT_EQ(s.FCSessions[0], "New");
    EXPECT_EQ(s.FCSessions[19], "S18");
    EXPECT_EQ(s.FCSessData[0], w.SessionString());
    EXPECT_EQ(s.FCSessData[1], "data0");
    EXPECT_EQ(s.FCSessData[19], "data18");
    EXPECT_EQ(s.FCSessData[20], "quick");
}

TEST_F(CmpFolderTest, ChoosingASessionFirstStoresTheOneBeingLeft) {
    auto& s = config::AppSettings();
    QStringList a(38), b(38);
    a[sfFolderL] = "/a";
    b[sfFolderL] = "/b";
    b[sfContentMode] = "8";
    s.FCSessions[0] = "A";
    s.FCSessions[1] = "B";
    s.FCSessData[0] = JoinSessionFields(a);
    s.FCSessData[1] = JoinSessionFields(b);
    TCmpFolder& w = make();
    EXPECT_EQ(w.CB_Folder1->currentText(), "/a");
    w.CB_Folder1->setEditText("/a2");

    w.CB_SessionSelect(1);
    EXPECT_EQ(w.CB_Session->itemText(0), "B");
    EXPECT_EQ(w.CB_Session->currentText(), "B");
    EXPECT_EQ(s.FCSessions[1], "A");
    EXPECT_EQ(w.CB_Folder1->currentText(), "/b");
    EXPECT_EQ(w.TB_FCC->value(), 8);
    EXPECT_EQ(s.FCSessData[0], JoinSessionFields(b));
    EXPECT_EQ(SessionField(s.FCSessData[1], sfFolderL), "/a2");
    EXPECT_TRUE(w.Ready());
}

// ---- histories ----------------------------------------------------------------------

TEST_F(CmpFolderTest, HistoriesKeepTwentyExactTextsAndEmptyExcludePatterns) {
    auto& s = config::AppSettings();
    for (int i = 0; i < 20; ++i) s.FCFoldersL[i] = QString("/f%1").arg(i);
    s.FCExcMasks[0] = "*.o";
    TCmpFolder& w = make();
    ASSERT_EQ(w.CB_Folder1->count(), 20);

    w.CB_Folder1->setEditText("/data/A");
    w.UpdateHistory(w.CB_Folder1);
    EXPECT_EQ(w.CB_Folder1->count(), 20);
    EXPECT_EQ(w.CB_Folder1->itemText(19), "/f18");
    w.CB_Folder1->setEditText("/data/a");
    w.UpdateHistory(w.CB_Folder1);
    EXPECT_EQ(w.CB_Folder1->itemText(0), "/data/a");
    EXPECT_EQ(w.CB_Folder1->itemText(1), "/data/A");

    // An empty include pattern is not remembered, an empty exclude one is.
    w.CB_IncludePat->setEditText("");
    w.UpdateHistory(w.CB_IncludePat);
    EXPECT_EQ(w.CB_IncludePat->count(), 0);
    ASSERT_EQ(w.CB_ExcludePat->itemText(0), "*.o");
    w.CB_ExcludePat->setEditText("");
    w.UpdateHistory(w.CB_ExcludePat);
    EXPECT_EQ(w.CB_ExcludePat->itemText(0), "");
    EXPECT_EQ(w.CB_ExcludePat->itemText(1), "*.o");
    EXPECT_EQ(w.CB_ExcludePat->count(), 20);
}

// ---- the content mode ---------------------------------------------------------------

TEST_F(CmpFolderTest, TheContentHintNamesWhatIsComparedInstead) {
    TCmpFolder& w = make();
    w.CB_ChkDate->setChecked(true);
    w.SetAttrBoxes(0);
    w.CB_FCAttrSystem->setChecked(true);
    EXPECT_EQ(w.ContentModeHint(0), "Compare no file content (only size + date + some attributes will be compared)");
    w.TB_FCC->setValue(0);
    EXPECT_EQ(w.TB_FCC->toolTip(), w.ContentModeHint(0));
    w.CB_FCAttrSystem->setChecked(false);
    EXPECT_EQ(w.TB_FCC->toolTip(), "Compare no file content (only size + date will be compared)");
    EXPECT_FALSE(w.TB_MaxBuf->isEnabled());
    EXPECT_FALSE(FolderCompare().ContentCompareOn);
    w.TB_FCC->setValue(4);
    EXPECT_EQ(w.L_ContentCheck->text(), "1% of file content");
    EXPECT_TRUE(w.TB_MaxBuf->isEnabled());
    EXPECT_TRUE(FolderCompare().ContentCompareOn);
}

// ---- the options view on real folders ---------------------------------------------------

TEST_F(CmpFolderTest, StartOnTwoRealFoldersAfterThePreScanShowedItsCounts) {
    TCmpFolder& w = makeWithFolders(left_, right_);
    const bool started = runOptions(cmNormal, {startEnabled(), [&] {
                                                   EXPECT_EQ(w.L_PSFileNum->text(), "3");
                                                   EXPECT_EQ(w.L_PSFolderNum->text(), "2");
                                                   EXPECT_TRUE(w.L_PSFSTot->text().startsWith("1.235.567  ("))
                                                       << qPrintable(w.L_PSFSTot->text());
                                                   EXPECT_EQ(w.L_AFSize->text(),
                                                             config::FormatSizeShort(1235567 / 3));
                                                   tandex::testing::PressFlatButton(&w, "fbOk");
                                                   return true;
                                               }});
    EXPECT_TRUE(started);
    EXPECT_EQ(FolderCompare().RunState, rsComparing);
    EXPECT_TRUE(FolderCompare().RightRootReachable);
    EXPECT_EQ(w.RightRoot(), right_ + "/");
    EXPECT_EQ(config::AppSettings().FCFoldersL[0], left_);
    EXPECT_EQ(config::AppSettings().FCFoldersR[0], right_);
    EXPECT_EQ(config::AppSettings().FCSessions[0], "Default");
    EXPECT_EQ(w.PreScanStarts(), 1);
}

TEST_F(CmpFolderTest, TheInformationPanelPulsesWhileThePreScanRunsWhenFlashingIsOn) {
    for (const bool flash : {true, false}) {
        SCOPED_TRACE(flash);
        resetState();
        config::AppSettings().FCBGFlash = flash;
        PulseRecorder pulse;
        ui::setCommandWindows(&pulse);
        TCmpFolder& w = makeWithFolders(left_, right_);
        runOptions(cmNormal, {startEnabled(), [&] {
                                  EXPECT_TRUE(pulse.onPulse);
                                  if (pulse.onPulse) pulse.onPulse(0x123456);
                                  EXPECT_EQ(w.P_CmpInfo1->palette().color(QPalette::Window), QColor(0x56, 0x34, 0x12));
                                  return true;
                              },
                              cancel()});
        // Prepared on the panel's own colour (the raised look); on for the
        // walk only when wanted, and off once the options end.
        ASSERT_GE(pulse.calls.size(), 2);
        EXPECT_EQ(pulse.calls.first(), "set c6f5ff 0 6 6 8");
        EXPECT_EQ(pulse.calls.count("enable 1"), flash ? 1 : 0);
        EXPECT_EQ(pulse.calls.last(), "enable 0");
        // A window that goes leaves no callback behind in the seam.
        window_->WaitPreScanStopped();
        window_.reset();
        EXPECT_FALSE(pulse.onPulse);
        ui::setCommandWindows(nullptr);
    }
}

TEST_F(CmpFolderTest, TheOptionsEndWithoutARunOnCancelAndOnTheOptionsOnlyOk) {
    TCmpFolder& w = makeWithFolders(left_, right_);
    EXPECT_FALSE(runOptions(cmNormal, {startEnabled(), cancel()}));
    EXPECT_EQ(FolderCompare().RunState, rsIdle);
    fz::FZResetAbort();

    // Closing the window is cancelling: the wait must not outlive it.
    EXPECT_FALSE(runOptions(cmNormal, {startEnabled(), [&] { return w.close(); }}));
    EXPECT_EQ(FolderCompare().RunState, rsIdle);
    EXPECT_FALSE(w.isVisible());

    fz::FZResetAbort();
    EXPECT_FALSE(runOptions(cmOptionsOnly, {[&] {
                                EXPECT_EQ(w.height(), config::ScaleDpi(490));
                                EXPECT_EQ(w.L_SettingsTit->text(), " Quick Compare Options ");
                                EXPECT_EQ(w.fbOk->Caption(), "Ok");
                                EXPECT_TRUE(w.fbOk->Enabled());
                                tandex::testing::PressFlatButton(&w, "fbOk");
                                return true;
                            }}));
    EXPECT_EQ(FolderCompare().RunState, rsConfirmed);
    EXPECT_EQ(w.PreScanStarts(), 2);
}

TEST_F(CmpFolderTest, ABurstOfEditsRestartsThePreScanOnce) {
    TCmpFolder& w = makeWithFolders(left_, right_);
    int starts = 0;
    const bool started = runOptions(
        cmNormal,
        {startEnabled(),
         [&] {
             starts = w.PreScanStarts();
             EXPECT_EQ(PreScan().PreScanFiles, 3);
             w.CB_IncludePat->lineEdit()->clear();
             QTest::keyClicks(w.CB_IncludePat->lineEdit(), "*.txt");
             EXPECT_EQ(w.CB_IncludePat->currentText(), "*.txt");
             EXPECT_TRUE(w.timDelayedPreScan->isActive());
             EXPECT_EQ(w.timDelayedPreScan->interval(), 600);
             EXPECT_FALSE(w.fbOk->Enabled());
             w.timDelayedPreScan->stop();
             w.timDelayedPreScanTimer();
             return true;
         },
         [&] { return w.PreScanStarts() > starts && w.fbOk->Enabled(); },
         [&] {
             EXPECT_EQ(w.PreScanStarts(), starts + 1);
             EXPECT_FALSE(w.timDelayedPreScan->isActive());
             EXPECT_EQ(PreScan().PreScanFiles, 1);
             // More edits; the end of the walk they stop is reported, but
             // "Start" waits for the walk that replaces it.
             QTest::keyClicks(w.CB_IncludePat->lineEdit(), ";*.dat");
             w.timDelayedPreScan->start(60000);
             FolderCompare().PreScanDone = true;
             return true;
         },
         [&] { return !FolderCompare().PreScanDone; },
         [&] {
             EXPECT_FALSE(w.fbOk->Enabled());
             w.timDelayedPreScan->stop();
             w.timDelayedPreScanTimer();
             return true;
         },
         [&] { return w.PreScanStarts() == starts + 2 && w.fbOk->Enabled(); },
         [&] {
             EXPECT_EQ(PreScan().PreScanFiles, 2);
             tandex::testing::PressFlatButton(&w, "fbOk");
             return true;
         }});
    EXPECT_TRUE(started);
    EXPECT_EQ(config::AppSettings().FCIncMasks[0], "*.txt;*.dat");
}

// ---- more filters ---------------------------------------------------------------------

TEST_F(CmpFolderTest, AFilterOfThePanelRestartsThePreScanOnceAndTurnsTheHint) {
    TCmpFolder& w = makeWithFolders(left_, right_);
    TF_CmpSettingsExt* panel = w.F_CmpSettingsExt;
    int starts = 0;
    const auto restarted = [&] { return w.PreScanStarts() == starts + 1 && w.fbOk->Enabled(); };
    const auto fireDebounce = [&] {
        EXPECT_TRUE(w.timDelayedPreScan->isActive());
        starts = w.PreScanStarts();
        w.timDelayedPreScan->stop();
        w.timDelayedPreScanTimer();
    };
    runOptions(cmNormal,
               {startEnabled(),
                [&] {
                    EXPECT_EQ(PreScan().PreScanFiles, 3);
                    EXPECT_TRUE(w.fbMoreFilters->toolTip().endsWith(" > No filters are active! <"));
                    // Files larger than 1000 bytes go: b.bin.
                    panel->E_LargerSize->setText("1000");
                    panel->CB_FCExclLarger->setChecked(true);
                    fireDebounce();
                    return true;
                },
                restarted,
                [&] {
                    EXPECT_EQ(PreScan().PreScanFiles, 2);
                    EXPECT_EQ(w.fbMoreFilters->toolTip(),
                              QString(" Show \"More Filters\" page \r > Some filters are active! <"));
                    // Smaller than 2 KiB and larger than 1000 bytes: nothing passes.
                    panel->CB_SmallerUnits->setCurrentIndex(1);
                    panel->E_SmallerSize->setText("2");
                    panel->CB_FCExclSmaller->setChecked(true);
                    fireDebounce();
                    return true;
                },
                restarted,
                [&] {
                    EXPECT_EQ(PreScan().PreScanFiles, 0);
                    EXPECT_TRUE(w.fbMoreFilters->toolTip().endsWith("\r > Some filters have erroneous data! < "));
                    // Folders named "sub" go, and with them two files.
                    panel->CB_FCExclSmaller->setChecked(false);
                    panel->CB_FCExclLarger->setChecked(false);
                    QTest::keyClicks(panel->CB_FCExclFolders->lineEdit(), "su*");
                    fireDebounce();
                    return true;
                },
                restarted,
                [&] {
                    EXPECT_EQ(PreScan().PreScanFiles, 1);
                    EXPECT_EQ(PreScan().PreScanFolders, 1);
                    return true;
                },
                cancel()});
}

TEST_F(CmpFolderTest, MoreFiltersSlidesThePanelOutDockedAndBack) {
    auto& s = config::AppSettings();
    s.CFL = 60;
    s.CFT = 40;
    s.FCExclSmaller = s.FCExclLarger = true;
    s.FCSmaller = 1;
    s.FCSmallerUnit = 1;
    s.FCLarger = 1023;
    TCmpFolder& w = makeWithFolders(left_, right_);
    TF_CmpSettingsExt* panel = w.F_CmpSettingsExt;
    Watch(panel);
    std::vector<bool> throttled;
    runOptions(cmNormal,
               {startEnabled(),
                [&] {
                    QTimer::singleShot(0, panel, [&] { throttled.push_back(PreScan().PreScanThrottle.load()); });
                    tandex::testing::PressFlatButton(&w, "fbMoreFilters");
                    EXPECT_EQ(throttled, std::vector<bool>{true});
                    EXPECT_FALSE(PreScan().PreScanThrottle.load());
                    EXPECT_TRUE(panel->IsShown());
                    EXPECT_EQ(panel->x(), panel->DockedLeft());
                    EXPECT_EQ(panel->y(), panel->DockedTop() + 1);
                    EXPECT_EQ(w.fbMoreFilters->Caption(), "Less  Filters");
                    EXPECT_TRUE(panel->I_SizeWarning->isVisible());
                    EXPECT_TRUE(w.fbMoreFilters->toolTip().startsWith(" Hide \"More Filters\" page \r"));
                    EXPECT_TRUE(w.fbMoreFilters->toolTip().endsWith("erroneous data! < "));
                    // The window and its panel as the user sees them.
                    const QRect both = w.frameGeometry().united(panel->frameGeometry());
                    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(
                        0, both.x(), both.y(), both.width(), both.height());
                    screen.save(QDir(tandex::testing::GrabFolder()).filePath("CmpFolder-more-filters.png"));
                    tandex::testing::GrabToPng(panel, "CmpFolder-more-filters-panel");
                    return true;
                },
                [&] {
                    tandex::testing::PressFlatButton(&w, "fbMoreFilters");
                    EXPECT_FALSE(panel->IsShown());
                    EXPECT_FALSE(panel->isVisible());
                    EXPECT_EQ(w.fbMoreFilters->Caption(), "More  Filters");
                    // Moving the window during a slide ends it with the panel
                    // docked at once.
                    QTimer::singleShot(0, &w, [&] { w.move(w.x() + 40, w.y() + 10); });
                    tandex::testing::PressFlatButton(&w, "fbMoreFilters");
                    return true;
                },
                [&] {
                    EXPECT_EQ(panel->x(), panel->DockedLeft());
                    EXPECT_EQ(panel->y(), panel->DockedTop());
                    EXPECT_FALSE(panel->Sliding());
                    return true;
                },
                cancel()});
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(CmpFolderTest, ARestartWhileTheWalkStillStopsWaitsAHundredMilliseconds) {
    TCmpFolder& w = make();
    TFolderCompareState& fc = FolderCompare();
    fc.RunState = rsOptions;
    fc.PreScanRunning = true;
    w.timDelayedPreScanTimer();
    EXPECT_TRUE(fc.PreScanStop);
    EXPECT_EQ(w.MessageTitle(), "Info:");
    EXPECT_EQ(w.MessageText(), "Please wait - trying to stop the pre-scan process!");
    EXPECT_TRUE(w.timDelayedPreScan->isActive());
    EXPECT_EQ(w.timDelayedPreScan->interval(), 100);
    EXPECT_EQ(w.PreScanStarts(), 0);

    fc.PreScanRunning = false;
    w.timDelayedPreScan->stop();
    w.timDelayedPreScanTimer();
    EXPECT_EQ(w.timDelayedPreScan->interval(), 600);
    EXPECT_EQ(w.MessageText(), "");
}

// ---- roots ----------------------------------------------------------------------------

TEST_F(CmpFolderTest, ALeftRootThatCannotBeListedDisablesStart) {
    struct Case {
        QString folder;
        QString text;
    };
    const QString missing = dir_.path() + "/missing";
    const Case cases[] = {
        {"", "Missing path for FolderL!"},
        {missing, "FolderL  [" + missing + "]  not found!\r" + fz::FZErrorText(-3, fz::eoNone)},
    };
    for (const Case& c : cases) {
        TCmpFolder& w = makeWithFolders(c.folder, right_);
        EXPECT_FALSE(runOptions(cmNormal, {[&] { return w.ErrorLevel() == 1; },
                                           [&] {
                                               EXPECT_EQ(w.MessageTitle(), "Error:");
                                               EXPECT_EQ(w.MessageText(), c.text);
                                               EXPECT_FALSE(w.fbOk->Enabled());
                                               EXPECT_EQ(w.PreScanStarts(), 0);
                                               w.fbOkClick();
                                               EXPECT_EQ(FolderCompare().RunState, rsOptions);
                                               return true;
                                           },
                                           cancel()}));
        fz::FZResetAbort();
    }
}

TEST_F(CmpFolderTest, AMissingRightFolderAsksWhetherToContinue) {
    const QString missing = dir_.path() + "/gone";
    const QString question = "Folder2  [" + missing + "]  not found!\r\nContinue anyway?";

    // No: the options stay, and a right folder that exists gives Start back.
    TCmpFolder& w = makeWithFolders(left_, missing);
    sink_.answer = config::mrNo;
    EXPECT_FALSE(runOptions(cmNormal, {startEnabled(),
                                       [&] {
                                           w.fbOkClick();
                                           EXPECT_EQ(FolderCompare().RunState, rsOptions);
                                           EXPECT_EQ(w.ErrorLevel(), 2);
                                           EXPECT_FALSE(w.fbOk->Enabled());
                                           w.CB_Folder2->setEditText(right_);
                                           w.CB_Folder2Change();
                                           EXPECT_EQ(w.ErrorLevel(), 0);
                                           EXPECT_TRUE(w.fbOk->Enabled());
                                           return true;
                                       },
                                       cancel()}));
    ASSERT_EQ(sink_.messages().size(), 1u);
    const config::MessageRequest asked = sink_.messages()[0];
    EXPECT_EQ(asked.caption, "Tandex");
    EXPECT_EQ(asked.text, question);
    EXPECT_EQ(asked.kind, config::MsgKind::Question);
    EXPECT_EQ(asked.buttons, config::mbYes | config::mbNo);
    fz::FZResetAbort();

    // Yes: the run starts without the right side.
    sink_.clear();
    sink_.answer = config::mrYes;
    w.CB_Folder2->setEditText(missing);
    EXPECT_TRUE(runOptions(cmNormal, {startEnabled(), [&] {
                                          w.fbOkClick();
                                          return true;
                                      }}));
    EXPECT_EQ(FolderCompare().RunState, rsComparing);
    EXPECT_FALSE(FolderCompare().RightRootReachable);
    EXPECT_EQ(sink_.messages().size(), 1u);
}

TEST_F(CmpFolderTest, ABatchRunStartsOnItsOwnRootsWithoutTheWindow) {
    ui::commandLine().SetBatchMode(true);
    auto& roots = tandex::engine::paneStores().FolderRoots;
    roots[1] = left_;
    roots[2] = right_;
    TCmpFolder& w = make();
    ASSERT_TRUE(w.CB_Folder1->currentText().isEmpty());
    w.SetShowOptions(false);
    EXPECT_TRUE(w.ShowOptions(cmBatch));
    EXPECT_EQ(FolderCompare().RunState, rsComparing);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.LeftRoot(), left_ + "/");
    // The whole tree was walked before the run started.
    EXPECT_FALSE(FolderCompare().PreScanRunning);
    EXPECT_GE(w.ScanList()->Count(), 3);
}

TEST_F(CmpFolderTest, AnFtpSourceOffersOnlyTheFirstBlockOrTheWholeFile) {
    const QString tree = dir_.path() + "/ftp";
    writeFile(tree + "/x.txt", 10);
    writeFile(tree + "/d/y.txt", 20);
    tandex::testing::LocalServer server(
        "/usr/bin/python3",
        {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_server.py", "--root", tree, "--user", "u:p"});
    ASSERT_GT(server.port(), 0);
    tandex::testing::UseLocalFtpProfile(server.port());
    config::AppSettings().FCContent = 5;
    TCmpFolder& w = makeWithFolders("ftp://u@127.0.0.1/", right_);
    ASSERT_EQ(w.TB_FCC->value(), 5);
    runOptions(cmNormal, {startEnabled(), [&] {
                              EXPECT_EQ(w.fbOpenFolderL->ImageID(), skFtp);
                              EXPECT_EQ(w.TB_FCC->value(), 8);
                              EXPECT_EQ(w.L_ContentCheck->text(), "Entire file content");
                              EXPECT_EQ(w.L_PSFileNum->text(), "2");
                              w.TB_FCC->setValue(5);
                              EXPECT_EQ(w.TB_FCC->value(), 8);
                              w.TB_FCC->setValue(1);
                              EXPECT_EQ(w.TB_FCC->value(), 1);
                              return true;
                          },
                          cancel()});
    window_->WaitPreScanStopped();
    fz::FZSetFtpSiteHooks({}, {});
}

// ---- pictures and look ------------------------------------------------------------------

class CmpFolderPicturesTest : public CmpFolderTest {
protected:
    void SetUp() override {
        CmpFolderTest::SetUp();
        ASSERT_TRUE(QDir(dir_.path()).mkpath("bin"));
        config::TPrgDirSources sources;
        sources.executablePath = dir_.filePath("bin/tandex");
        sources.configHome = dir_.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
        ASSERT_TRUE(QFile::copy(TANDEX_RESOURCE_ARCHIVE, dir_.filePath("bin/TandexRes.zipx")));
    }
    void TearDown() override {
        CmpFolderTest::TearDown();
        main_.reset();
        fz::FZSetLogFile(QString());
        config::SetIniFileAccess(nullptr);
        config::SetPrgDir(nullptr);
    }
    std::unique_ptr<ui::TF_Main> main_;
    tandex::testing::ZipKitResourceAccess access_;
};

TEST_F(CmpFolderPicturesTest, TheWindowShowsItsPicturesWithMoreSettings) {
    main_ = std::make_unique<ui::TF_Main>();
    config::SetIniFileAccess(&access_);
    main_->loadIconSets();
    auto& s = config::AppSettings();
    s.FCFoldersL[0] = left_;
    s.FCFoldersR[0] = right_;
    s.FCShowMoreSet = true;
    s.FCContent = 8;
    s.CFL = 40;
    s.CFT = 40;
    TCmpFolder& w = make(main_.get());
    QImage bitmap;
    for (int i : {0, 1, 2, 3}) EXPECT_TRUE(main_->loadBMPFunc(128, i, bitmap)) << i;
    EXPECT_TRUE(main_->loadBMPFunc(256, 6, bitmap));
    EXPECT_TRUE(main_->loadBMPFunc(16, 10, bitmap));
    EXPECT_TRUE(w.fbSWAP->Caption().isEmpty());
    EXPECT_FALSE(w.IMG_Equal->pixmap().isNull());
    runOptions(cmNormal, {startEnabled(), [&] {
                              EXPECT_EQ(w.height(), config::ScaleDpi(575));
                              EXPECT_EQ(w.L_MoreSettings->text(), "Less Settings");
                              EXPECT_FALSE(w.IMG_LFolder->pixmap().isNull());
                              EXPECT_FALSE(tandex::testing::GrabToPng(&w, "CmpFolder-more-settings").isEmpty());
                              // A click on the bar slides the control panel up.
                              QTest::mouseClick(w.L_MoreSettings, Qt::LeftButton);
                              EXPECT_EQ(w.height(), config::ScaleDpi(460));
                              EXPECT_FALSE(config::AppSettings().FCShowMoreSet);
                              tandex::testing::GrabToPng(&w, "CmpFolder-less-settings");
                              return true;
                          },
                          cancel()});
}

TEST_F(CmpFolderPicturesTest, TheMoreFiltersButtonAndThePanelsWarningShowTheirPictures) {
    main_ = std::make_unique<ui::TF_Main>();
    config::SetIniFileAccess(&access_);
    main_->loadIconSets();
    auto& s = config::AppSettings();
    s.FCFoldersL[0] = left_;
    s.FCFoldersR[0] = right_;
    s.CFL = 40;
    s.CFT = 40;
    s.FCExclSmaller = s.FCExclLarger = true;
    s.FCSmaller = 2;
    s.FCLarger = 1;
    TCmpFolder& w = make(main_.get());
    QImage bitmap;
    for (int i = 31; i <= 36; ++i) EXPECT_TRUE(main_->loadBMPFunc(24, i, bitmap)) << i;
    runOptions(cmNormal, {startEnabled(), [&] {
                              EXPECT_EQ(w.fbMoreFilters->ImageID(), 31 + 2);
                              tandex::testing::PressFlatButton(&w, "fbMoreFilters");
                              TF_CmpSettingsExt* panel = w.F_CmpSettingsExt;
                              EXPECT_TRUE(panel->I_SizeWarning->isVisible());
                              EXPECT_FALSE(panel->I_SizeWarning->pixmap().isNull());
                              const QRect both = w.frameGeometry().united(panel->frameGeometry());
                              QGuiApplication::primaryScreen()
                                  ->grabWindow(0, both.x(), both.y(), both.width(), both.height())
                                  .save(QDir(tandex::testing::GrabFolder()).filePath("CmpFolder-more-filters-pictures.png"));
                              panel->CB_FCExclSmaller->setChecked(false);
                              EXPECT_EQ(w.fbMoreFilters->ImageID(), 31 + 1);
                              panel->CB_FCExclLarger->setChecked(false);
                              EXPECT_EQ(w.fbMoreFilters->ImageID(), 31);
                              return true;
                          },
                          cancel()});
}

// ---- the rate graph -------------------------------------------------------------

TEST_F(CmpFolderTest, TheCompareRateGraphOpensBesideTheWindowWithContentCompare) {
    auto& s = config::AppSettings();
    s.FCContent = 1;
    s.FCGraph = true;
    TCmpFolder& w = makeWithFolders(left_, right_);
    EXPECT_TRUE(w.CB_PerfGraph->isVisibleTo(&w));
    runOptions(cmNormal,
               {startEnabled(),
                [&] {
                    QPointer<ui::TF_Graph> g = ui::F_Graph();
                    if (!g) {
                        ADD_FAILURE() << "no graph window";
                        return true;
                    }
                    Watch(g);
                    EXPECT_TRUE(g->isVisible());
                    EXPECT_EQ(g->windowTitle(), "Compare-Rate Graph");
                    EXPECT_EQ(g->width(), w.width());
                    EXPECT_GE(g->x(), w.frameGeometry().right());
                    // Two points per display tick: the rate of the tick and the run's average.
                    TCompareRun run;
                    const double unit = double(config::SizeUnitFactor(2));
                    run.TickBytesRead = qint64(3 * unit);
                    run.RunBytesRead = qint64(8 * unit);
                    run.ComparedTime = 1000;
                    w.AddGraphPoints(run, 500, 3000);
                    EXPECT_EQ(run.TickBytesRead, 0);
                    const auto& series = g->Model().Series;
                    EXPECT_EQ(series[0].Count, 1);
                    EXPECT_EQ(series[1].Count, 1);
                    EXPECT_FLOAT_EQ(series[0].Samples[0].Value, 6.0f);
                    EXPECT_FLOAT_EQ(series[1].Samples[0].Value, 2.0f);
                    EXPECT_EQ(series[0].Unit, " " + config::SizeUnitName(2) + "/s");
                    w.CB_PerfGraph->setChecked(false);
                    EXPECT_FALSE(g->isVisible());
                    EXPECT_FALSE(s.FCGraph);
                    w.CB_PerfGraph->setChecked(true);
                    EXPECT_TRUE(g->isVisible());
                    // Content compare off hides it, on shows it again.
                    w.TB_FCC->setValue(0);
                    EXPECT_FALSE(g->isVisible());
                    w.TB_FCC->setValue(1);
                    EXPECT_TRUE(g->isVisible());
                    return true;
                },
                cancel()});
    // The window's end frees the graph.
    w.close();
    EXPECT_TRUE(ui::F_Graph().isNull());
}

TEST_F(CmpFolderTest, TheCompareRateGraphStaysHiddenWithoutContentCompareOrInBatchMode) {
    auto& s = config::AppSettings();
    s.FCGraph = true;
    s.FCContent = 0;
    makeWithFolders(left_, right_);
    runOptions(cmNormal, {startEnabled(), [&] {
                              EXPECT_TRUE(ui::F_Graph() && !ui::F_Graph()->isVisible());
                              return true;
                          },
                          cancel()});
    window_->WaitPreScanStopped();
    window_.reset();
    EXPECT_TRUE(ui::F_Graph().isNull());

    s.FCContent = 1;
    ui::commandLine().SetBatchMode(true);
    auto& roots = tandex::engine::paneStores().FolderRoots;
    roots[1] = left_;
    roots[2] = right_;
    TCmpFolder& w = make();
    w.SetShowOptions(false);
    EXPECT_TRUE(w.ShowOptions(cmBatch));
    EXPECT_TRUE(ui::F_Graph().isNull());
}

}  // namespace
