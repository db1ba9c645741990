// The comparison consuming the pre-scan list while the pre-scan thread is
// still appending to it (built in the ThreadSanitizer tree too).

#include "ui/folders/folder_compare.h"

#include "access/file_times.h"
#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "ui/folders/prescan.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

using namespace tandex::folders;
namespace config = tandex::config;
namespace engine = tandex::engine;

namespace {

QStringList rows() {
    QStringList out;
    auto& st = engine::paneStores();
    for (int i = 0; i < st.FolderEntryCount; ++i) {
        const engine::TFolderEntry* l = st.FolderEntries[1][i];
        const engine::TFolderEntry* r = st.FolderEntries[2][i];
        out << (l->Empty ? "-" : l->Path) + "|" + (r->Empty ? "-" : r->Path) + "|" + QString::number(l->Status) +
                   QString::number(r->Status) + (l->Differs || r->Differs ? "*" : "");
    }
    return out;
}

TEST(CompareRunThreaded, ARunBesideALivePreScanGivesTheRowsOfARunAfterIt) {
    static int argc = 1;
    static char name[] = "compare_run_threaded_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const config::TAppSettings saved = config::AppSettings();
    config::AppSettings().FCContent = 8;
    config::AppSettings().FCGenLog = false;
    for (int folder = 0; folder < 12; ++folder) {
        for (int file = 0; file < 25; ++file) {
            for (const char* side : {"l", "r"}) {
                const QString p = dir.filePath(QString("%1/d%2/s/f%3").arg(side).arg(folder).arg(file));
                QDir().mkpath(p.left(p.lastIndexOf('/')));
                if (side[0] == 'r' && file % 7 == 3) continue;  // missing on the right
                QFile f(p);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(QByteArray(100 + file, side[0] == 'r' && file % 5 == 0 ? 'y' : 'x'));
            }
        }
    }

    std::vector<QStringList> outcomes;
    for (const bool live : {false, true}) {
        TFolderCompareState& fc = FolderCompare();
        fc.RunState = rsComparing;
        fc.ContentCompareOn = true;
        fc.FCErrorCode = 0;
        fc.PreScanReport.Clear();
        PreScan().ResetCounters();
        engine::paneStores().ClearFolderEntries();
        engine::TScanList list(false);
        TPreScanFolder scan;
        scan.Root = dir.filePath("l");
        scan.OtherRoot = dir.filePath("r");
        scan.ScanList = &list;
        // The walk pauses after every entry, so the run keeps catching up
        // with it and must wait for more.
        scan.Sleep = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
        scan.Start();
        if (live) {
            PreScan().PreScanThrottle = true;
        } else {
            scan.Join();
        }
        TCompareRun run;
        run.ScanList = &list;
        run.LeftRoot = dir.filePath("l");
        run.RightRoot = dir.filePath("r");
        run.ResetCounters();
        run.ComparePair(true);
        scan.Join();
        PreScan().PreScanThrottle = false;
        EXPECT_EQ(run.FilesCompared, 12 * 25);
        EXPECT_EQ(fc.FCErrorCode, 0);
        outcomes.push_back(rows());
    }
    EXPECT_EQ(outcomes[0].size(), 12 * 2 + 12 * 25);
    EXPECT_EQ(outcomes[1], outcomes[0]);
    config::AppSettings() = saved;
    FolderCompare().RunState = rsIdle;
}

}  // namespace
