// Copying folder entries to the other pane, from end to end: two real
// trees compared by the folder comparison, shown in the offscreen main
// window, copied through the copy window, and the rows updated.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>

#include "access/access_slots.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/folders/adv_copy.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/folder_view_services.h"
#include "ui/folders/prescan.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"

using namespace tandex::folders;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

void writeFile(const QString& path, qint64 size, char fill) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, fill));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class MainWindowCopyTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        config::setEventPump(&pump_);
        config::setMessageSink(&sink_);
        left_ = tmp_.filePath("left/");
        right_ = tmp_.filePath("right/");
        writeFile(left_ + "a.txt", 100, 'a');
        writeFile(left_ + "b.txt", 200, 'b');
        writeFile(right_ + "b.txt", 50, 'B');
        writeFile(left_ + "same.txt", 10, 's');
        writeFile(right_ + "same.txt", 10, 's');
        writeFile(left_ + "sub/c.txt", 300, 'c');
    }
    void TearDown() override {
        ui::setFolderView(nullptr);
        services_.reset();
        ComparedWindowFixture::TearDown();
        config::setMessageSink(nullptr);
        config::setEventPump(nullptr);
        FolderCompare().RunState = rsIdle;
    }

    // The folder comparison of the two trees, shown in the folder view.
    ui::TF_Main& compareTrees() {
        ui::TF_Main& w = makeWindow();
        // The window has loaded its settings: the test's own go on top.
        auto& s = config::AppSettings();
        s.FCContent = 8;
        s.FCSubDir = true;
        s.FCDateTime = true;
        s.FCUseFPL = false;
        s.ESMaxRetry = 0;
        s.CSNumDatBuf = 8;
        s.CSBufSize = 0;
        s.CSOverWrite = true;
        s.CSAutoClose = false;
        s.CSGraph = false;
        services_ = std::make_unique<TFolderViewServices>(&w);
        ui::setFolderView(services_.get());
        TFolderCompareState& fc = FolderCompare();
        fc.RunState = rsComparing;
        fc.ContentCompareOn = true;
        PreScan().ResetCounters();
        PreScan().PreScanSubfolders = true;
        engine::paneStores().ClearFolderEntries();
        RunLogs().OpenLog(kCompareLog, 0, 0, 0);
        engine::TScanList list(false);
        TPreScanFolder scan;
        scan.Root = left_;
        scan.OtherRoot = right_;
        scan.ScanList = &list;
        scan.Start();
        scan.Join();
        TCompareWindow window;
        TCompareRun run;
        run.ScanList = &list;
        run.LeftRoot = left_;
        run.RightRoot = right_;
        run.Window = &window;
        run.ResetCounters();
        run.ComparePair(true);
        fc.RunState = rsStopped;
        engine::fccTabs().SetTabDiffCount(run.Differences);
        config::AppSettings().FCTreeView = true;
        w.switchView(ui::vtFolder, true, false);
        engine::folderRows().OpenAllFolders();
        w.updateRowRange();
        return w;
    }
    static int rowOf(const QString& path) {
        auto& f = engine::folderRows();
        for (int row = 0; row < f.FolderRowCount; ++row)
            for (int pane = 1; pane <= 2; ++pane)
                if (f.FolderRowPath(pane, row) == path) return row;
        return -1;
    }

    ui::QtEventPump pump_;
    config::RecordingMessageSink sink_;
    QString left_, right_;
    std::unique_ptr<TFolderViewServices> services_;
};

TEST_F(MainWindowCopyTest, SelectedFilesAndAFolderArriveAndTheirRowsTurnEqual) {
    ui::TF_Main& w = compareTrees();
    auto& f = engine::folderRows();
    const int a = rowOf("a.txt"), b = rowOf("b.txt"), same = rowOf("same.txt"), sub = rowOf("sub"),
              c = rowOf("sub/c.txt");
    ASSERT_TRUE(a >= 0 && b >= 0 && same >= 0 && sub >= 0 && c >= 0);
    ASSERT_TRUE(f.FolderRowDiffers(a) && f.FolderRowDiffers(b) && f.FolderRowDiffers(sub));
    const int diffsBefore = engine::fccTabs().GetTabDiffCount();
    // The pair only differs by its name (as after a rename): nothing to copy.
    f.SetFolderEntryResult(f.FolderRowEntry(same), 4);
    for (int row : {a, b, same, sub}) f.SetFolderRowSelected(1, row, true);
    w.setActivePane(ui::vtFolder, 1);

    TAdvCopy& copy = *services_->AdvCopy();
    int stage = 0, jobs = 0;
    qint64 total = -1, replaced = -1;
    QString dest, title;
    bool sameSelected = true, closedDuringRun = false;
    copy.OnWait = [&] {
        if (stage++ == 0) {
            jobs = copy.JobCount();
            total = copy.TotalBytes();
            replaced = copy.ReplacedBytes();
            dest = copy.L_CIDestPath->text();
            sameSelected = f.IsFolderRowSelected(same);
            tandex::testing::PressFlatButton(&copy, "fbOk");
            return;
        }
        title = QGuiApplication::applicationDisplayName();
        // A close of the main window now must not end the program under
        // the copy: it is refused and asked again.
        w.close();
        closedDuringRun = w.FormClosed();
        tandex::testing::PressFlatButton(&copy, "fbOk");
    };
    w.BB_COPYTOClick(nullptr);

    EXPECT_EQ(jobs, 3);
    EXPECT_EQ(total, 100 + 200 + 300);
    EXPECT_EQ(replaced, 50);
    EXPECT_EQ(dest, QDir::cleanPath(right_));
    EXPECT_FALSE(sameSelected) << "the name-only row is unselected";
    EXPECT_EQ(title, "TDX (copy completed)");
    EXPECT_FALSE(closedDuringRun);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tandex");

    EXPECT_EQ(readFile(right_ + "a.txt"), QByteArray(100, 'a'));
    EXPECT_EQ(readFile(right_ + "b.txt"), QByteArray(200, 'b'));
    EXPECT_EQ(readFile(right_ + "sub/c.txt"), QByteArray(300, 'c'));
    for (int row : {a, b, c, sub}) {
        EXPECT_FALSE(f.FolderRowDiffers(row)) << row;
        EXPECT_EQ(f.FolderRowStatus(2, row), row == sub ? 6 : 0) << row;
    }
    EXPECT_EQ(f.FolderRowSize(2, c), 300);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), diffsBefore - 3);
    EXPECT_TRUE(w.ControlsEnabled());

    // The refused close comes again once the copy is over.
    w.firePendingJobs();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.FormClosed());
}

TEST_F(MainWindowCopyTest, AFileThatIsGoneShowsItsErrorAndTheCopyLog) {
    ui::TF_Main& w = compareTrees();
    auto& f = engine::folderRows();
    const int a = rowOf("a.txt"), b = rowOf("b.txt");
    for (int row : {a, b}) f.SetFolderRowSelected(1, row, true);
    w.setActivePane(ui::vtFolder, 1);
    TAdvCopy& copy = *services_->AdvCopy();
    int stage = 0;
    QString errors;
    bool logEnabled = false, logShown = false;
    copy.OnWait = [&] {
        if (stage++ == 0) {
            QFile::remove(left_ + "b.txt");
            tandex::testing::PressFlatButton(&copy, "fbOk");
            return;
        }
        errors = copy.L_ErrCntLF->text();
        logEnabled = copy.fbShowLog->Enabled();
        copy.fbShowLogClick();
        logShown = services_->LogViewVisible();
        tandex::testing::PressFlatButton(&copy, "fbOk");
    };
    w.BB_COPYTOClick(nullptr);
    EXPECT_EQ(errors, "1 Read\nerror");
    EXPECT_TRUE(logEnabled);
    EXPECT_TRUE(logShown);
    EXPECT_FALSE(f.FolderRowDiffers(a));
    EXPECT_TRUE(f.FolderRowDiffers(b)) << "a file that was not copied keeps its difference";
    EXPECT_EQ(readFile(right_ + "b.txt"), QByteArray(50, 'B'));
}

}  // namespace
