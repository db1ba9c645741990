#include "ui/main/main_window.h"

#include <QAction>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QToolBar>
#include <QTemporaryDir>

#include "access/archive_options.h"
#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/file_times.h"
#include "access/program_log.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/sys_helpers.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/print_seams.h"
#include "ui/main/status_win.h"
#include "ui/main/window_helpers.h"

namespace config = tandex::config;
namespace acc = tandex::access;
namespace ui = tandex::ui;

namespace {

// A settings file of its own in a temporary writable root.
class MainWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void writeIni(const QByteArray& body) {
        QFile f(config::PrgDir().GetIniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body);
    }
};

TEST_F(MainWindowTest, BothStartUpStagesHandTheSettingsToTheAccessLayer) {
    writeIni("[Tandex]\r\nTETabSize=7\r\nGSDateTimeFmt=2\r\nFCIgnTimeDif=5\r\nFCIgnDST=0\r\nGSGUIStyle=0\r\n"
             "GSVSettings=1\r\nGSShowHintDB=0\r\nDBOKey=" +
             config::ScrambleText("token-key").toLatin1() + "\r\nDBOSecret=" +
             config::ScrambleText("token-secret").toLatin1() + "\r\n");
    acc::FZSetCloudGranted(false);
    ui::TStatusWin statusWin;
    ui::TF_Main window(&statusWin);
    Watch(&window);
    EXPECT_EQ(window.windowTitle(), "Tandex");
    EXPECT_EQ(ui::MainForm(), &window);
    EXPECT_EQ(acc::FZLogFile(), config::PrgDir().GetWritableRoot() + "TDXLog.txt");
    // The look follows the style as loaded, before the second stage.
    EXPECT_EQ(config::FlatLook(), 0);
    EXPECT_EQ(ui::DisabledAlpha(), 80);
    EXPECT_TRUE(window.PendingJobs().IsPending(ui::tjSecondStage));
    EXPECT_FALSE(window.Started());

    window.firePendingJobs();
    EXPECT_TRUE(window.Started());
    EXPECT_EQ(acc::FZSetTabSize(255, 0), 7);
    EXPECT_EQ(acc::FZSetDateFormat(0), 2);
    EXPECT_TRUE(acc::FZCloudGranted());
    EXPECT_EQ(acc::FZCloudClient().Token().Key, "token-key");
    // Five seconds of tolerance and no whole-hour offset.
    const acc::FileTime t = 130000000000000000ull;
    EXPECT_EQ(acc::FZCompareFileTimes(t, t + 5 * 10000000ull), 0);
    EXPECT_NE(acc::FZCompareFileTimes(t, t + 6 * 10000000ull), 0);
    EXPECT_NE(acc::FZCompareFileTimes(t, t + 3600 * 10000000ull), 0);
    EXPECT_EQ(statusWin.windowTitle(), "Tandex");
    EXPECT_TRUE(statusWin.PercentMode());
    EXPECT_TRUE(window.TB_SETINGS->isVisible() || !window.isVisible());
    EXPECT_TRUE(window.TB_SETINGS->isEnabled());
    EXPECT_FALSE(config::ShowButtonHints());

    // Cancel in the progress window reaches the window's cancel flag.
    statusWin.fbCancelClick(statusWin.fbCancel);
    EXPECT_TRUE(window.CancelRequested());
}

TEST_F(MainWindowTest, FlatStyleAsLoadedGivesTheFlatLook) {
    writeIni("[Tandex]\r\nGSGUIStyle=2\r\n");
    ui::TF_Main window;
    EXPECT_EQ(config::FlatLook(), 1);
    EXPECT_EQ(ui::DisabledAlpha(), 128);
    EXPECT_TRUE(window.fbOpenFolderL->Flat());
}

TEST_F(MainWindowTest, TenResizesBeforeTheTimerGiveOneLayout) {
    ui::TF_Main window;
    Watch(&window);
    window.show();
    window.firePendingJobs();
    const int before = window.LayoutRuns();
    for (int i = 0; i < 10; ++i) window.resize(800 + i * 10, 600);
    EXPECT_EQ(window.LayoutRuns(), before);
    EXPECT_TRUE(window.PendingJobs().IsPending(ui::tjLayout));
    window.firePendingJobs();
    EXPECT_EQ(window.LayoutRuns(), before + 1);
    EXPECT_FALSE(window.PendingJobs().IsPending(ui::tjLayout));
    // The widgets stand where the geometry says.
    EXPECT_EQ(window.P_MID->geometry(), window.Geometry().mid);
    EXPECT_EQ(window.eFN2->geometry(), window.Geometry().eFN2);
    EXPECT_EQ(window.P_StatusBar->geometry(), window.Geometry().status);
}

TEST_F(MainWindowTest, ResizeDuringPendingRecompareRunsBothOnce) {
    ui::TF_Main window;
    window.firePendingJobs();
    window.lockPaint();
    window.armTimer(ui::tjRecompare, 100);
    window.armTimer(ui::tjLayout, 50);
    const int before = window.LayoutRuns();
    window.firePendingJobs();
    EXPECT_EQ(window.LayoutRuns(), before + 1);
    // The recompare ran and released its paint lock.
    EXPECT_EQ(window.PaintLock(), 0);
    EXPECT_TRUE(window.PendingJobs().Empty());
}

TEST_F(MainWindowTest, TopRowIsClampedToTheRows) {
    ui::TF_Main window;
    struct Case {
        int row, rowCount, expected;
    } cases[] = {{5, 10, 5}, {0, 10, 1}, {-3, 10, 1}, {11, 10, 10}, {4, 0, 1}};
    for (const Case& c : cases) {
        window.setTopRow(ui::vtText, c.row, c.rowCount);
        EXPECT_EQ(window.topRow(ui::vtText), c.expected) << c.row << " of " << c.rowCount;
    }
    EXPECT_EQ(window.topRow(ui::vtFolder), 1);
    window.setActivePane(ui::vtText, 2);
    EXPECT_EQ(window.getActivePane(ui::vtText), 2);
    EXPECT_EQ(window.getActivePane(ui::vtBinary), 1);
}

TEST_F(MainWindowTest, StatusBarIsNotWrittenWhenHidden) {
    ui::TF_Main window;
    window.firePendingJobs();
    config::AppSettings().GSStaDisp = false;
    window.P_StatusBar->setText("untouched");
    window.updateStatusBar();
    EXPECT_EQ(window.P_StatusBar->text(), "untouched");
    config::AppSettings().GSStaDisp = true;
    window.updateStatusBar();
    EXPECT_EQ(window.P_StatusBar->text(), "Ln  1:Col 1 | ");
}

TEST_F(MainWindowTest, TreatFileAsHoldsTheKindTableAndAutomaticDetection) {
    ui::TF_Main window;
    const auto items = window.pmTreatfileAs->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[0]->objectName(), "pmTE0");
    EXPECT_EQ(items[0]->text(), acc::FZFileKindText(5));
    EXPECT_EQ(items[6]->data().toInt(), 6);
    EXPECT_TRUE(items[7]->isSeparator());
    EXPECT_EQ(items[8]->data().toInt(), 99);
}

TEST_F(MainWindowTest, ScrollBarDecisionLaysTheWindowOutAgainOnlyWhenItChanges) {
    ui::TF_Main window;
    window.show();
    window.firePendingJobs();
    config::AppSettings().FCHScroll = true;
    window.arrangeLayout(ui::vtFolder);
    const int before = window.LayoutRuns();
    EXPECT_TRUE(window.updateHScrollBar());
    EXPECT_EQ(window.LayoutRuns(), before + 1);
    EXPECT_TRUE(window.Geometry().hScrollVisible);
    EXPECT_FALSE(window.hScrollBar->isHidden());
    EXPECT_FALSE(window.updateHScrollBar());
    EXPECT_EQ(window.LayoutRuns(), before + 1);
}

TEST_F(MainWindowTest, CompanionWindowsOpenBelowTheNameRowOrWhereTheyWere) {
    ui::TF_Main window;
    window.show();
    QWidget placed;
    placed.resize(200, 100);
    placed.move(30, 40);
    EXPECT_EQ(window.defaultFormPos(&placed), QPoint(30, 40));
    QWidget fresh;
    fresh.resize(200, 100);
    fresh.move(0, -1);
    const QPoint p = window.defaultFormPos(&fresh);
    EXPECT_GT(p.y(), window.frameGeometry().top() + window.ToolBar1->height());
    const QRect frame = window.frameGeometry();
    EXPECT_EQ(p.x(), frame.x() + frame.width() / 2 - 100 + (frame.width() - window.geometry().width()) / 2);
}

TEST_F(MainWindowTest, HintsShowOnlyWithTheHintSetting) {
    ui::TF_Main window;
    window.show();
    window.L_HiddenLn->show();
    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), window.L_HiddenLn->mapToGlobal(QPoint(1, 1)));
    config::AppSettings().GSShowHints = false;
    EXPECT_TRUE(window.eventFilter(window.L_HiddenLn, &help));
    config::AppSettings().GSShowHints = true;
    EXPECT_FALSE(window.eventFilter(window.L_HiddenLn, &help));
    EXPECT_EQ(window.L_HiddenLn->toolTipDuration(), 30000);
}

TEST_F(MainWindowTest, ImageListsAreReadBySizeAndEmptyWithoutTheArchive) {
    ui::TF_Main window;
    QImage bitmap(4, 4, QImage::Format_RGB32);
    // Without the resource archive every list is empty.
    EXPECT_FALSE(window.loadBMPFunc(32, 0, bitmap));
    EXPECT_TRUE(bitmap.isNull());
    QImage comm(8, 8, QImage::Format_RGB32);
    comm.fill(Qt::red);
    window.ImageList(129)->append(comm);
    EXPECT_TRUE(window.loadBMPFunc(129, 0, bitmap));
    EXPECT_EQ(bitmap, comm);
    EXPECT_FALSE(window.loadBMPFunc(128, 0, bitmap));
    EXPECT_FALSE(window.loadBMPFunc(129, 1, bitmap));
    bitmap = comm;
    EXPECT_FALSE(window.loadBMPFunc(20, 0, bitmap));
    EXPECT_TRUE(bitmap.isNull());
    EXPECT_EQ(window.ImageList(20), nullptr);
}

TEST_F(MainWindowTest, CreationHandsArchiveOptionsOverAndReplacesMissingFonts) {
    writeIni("[Tandex]\r\nZIPEncrypt=1\r\nZIPCompress=2\r\nArchiveExt=*.7z;\r\n"
             "AFFontName=NoSuchFontAnywhere\r\n");
    ui::TF_Main window;
    const acc::TArchiveOptions o = acc::FZArchiveOptions();
    EXPECT_TRUE(o.encryptNew);
    EXPECT_EQ(o.level, 2);
    EXPECT_EQ(o.extensions.first(), ".zip");
    EXPECT_EQ(o.extensions.last(), ".7z");
    EXPECT_EQ(o.extensions.size(), 12);
    EXPECT_EQ(config::AppSettings().AFFont.Name, "Courier New");
    acc::FZSetArchiveOptions(false, true, 1, "*.zip;*.zipx;*.jar;*.tar;*.gz", QString());
}

// The second stage runs the after-upgrade check of the update in every
// window start and the update check only when the settings ask for one;
// a failed hidden check reaches the status bar.
TEST_F(MainWindowTest, SecondStageRunsTheAfterUpgradeAndTheDueUpdateCheck) {
    class RecordingUpdate : public ui::UpdateServices {
    public:
        void AfterUpgrade(const QString& name, const QString& displayName) override {
            calls << "after " + name + "/" + displayName;
        }
        int CheckForUpdate(bool shown) override {
            calls << (shown ? "shown check" : "hidden check");
            return kUpdateIdle;
        }
        bool UpdateFailed() const override { return true; }
        QStringList calls;
    } update;
    ui::setUpdater(&update);
    for (const int autoUpdate : {0, 2}) {
        SCOPED_TRACE(autoUpdate);
        writeIni("[Tandex]\r\nSUAutoUpdate=" + QByteArray::number(autoUpdate) + "\r\n");
        update.calls.clear();
        ui::TF_Main window;
        window.firePendingJobs();
        EXPECT_EQ(update.calls, autoUpdate ? QStringList({"after Tandex/Tandex", "hidden check"})
                                           : QStringList({"after Tandex/Tandex"}));
    }
    ui::TF_Main window;
    EXPECT_TRUE(window.statusSnapshot().updateFailed);
    ui::setUpdater(nullptr);
}

}  // namespace
