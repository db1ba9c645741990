// folder-bench LEFT RIGHT [/cs] [/cc] [/ia] [/it] [/ol]
//
// Runs a folder comparison headless, as the batch job's "/d" does: the
// pre-scan thread walks LEFT while the comparison consumes its list, with
// every file included and no log. The switches mean what they mean there:
// /cs subfolders, /cc whole-file content, /ia attributes ignored, /it time
// stamps ignored, /ol right-only files not looked for. Prints one line,
//   files=N differences=N errors=N ms=T
// (left files compared, differences, non-recoverable errors, wall time of
// pre-scan and comparison) and exits 0; a run that ended with an error
// code exits 1 after that line, with the error text on stderr; bad
// arguments exit 2.

#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/prescan.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

using namespace tandex;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool subfolders = false, content = false, ignoreAttributes = false, ignoreTimes = false, leftOnly = false;
    QStringList roots;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i].toLower();
        if (a == "/cs")
            subfolders = true;
        else if (a == "/cc")
            content = true;
        else if (a == "/ia")
            ignoreAttributes = true;
        else if (a == "/it")
            ignoreTimes = true;
        else if (a == "/ol")
            leftOnly = true;
        else if (a.startsWith('/') && roots.size() == 2)
            roots << QString();  // an unknown switch behind the roots
        else
            roots << args[i];
    }
    if (roots.size() != 2 || roots[0].isEmpty() || roots[1].isEmpty()) {
        std::fprintf(stderr, "usage: folder-bench LEFT RIGHT [/cs] [/cc] [/ia] [/it] [/ol]\n");
        return 2;
    }

    config::TAppSettings& s = config::AppSettings();
    s.FCUseFPL = false;
    s.FCGenLog = false;
    s.FCSubDir = subfolders;
    s.FCContent = content ? 8 : 0;
    s.FCAttr = ignoreAttributes ? 0 : 7;
    s.FCDateTime = !ignoreTimes;
    s.FCChkBoth = !leftOnly;
    access::FZSetTimeTolerance(s.FCIgnTimeDif, s.FCIgnDST);

    for (int side = 0; side < 2; ++side) {
        if (const int r = access::FZCheckPathAvailable(access::FZNormalizedFolder(roots[side]))) {
            std::fprintf(stderr, "folder-bench: %s: %s\n", qPrintable(roots[side]),
                         qPrintable(access::FZErrorText(-r, access::eoNone)));
            return 1;
        }
    }

    folders::TFolderCompareState& fc = folders::FolderCompare();
    fc.RunState = folders::rsComparing;
    fc.ContentCompareOn = content;
    fc.FCErrorCode = 0;
    fc.PreScanReport.Clear();
    folders::PreScan().PreScanSubfolders = subfolders;
    folders::PreScan().ResetCounters();
    engine::paneStores().ClearFolderEntries();

    QElapsedTimer clock;
    clock.start();
    const auto filter = folders::MakeFolderFilter(QStringLiteral("*"), QString(), QString());
    engine::TScanList list(false);
    folders::TPreScanFolder scan;
    scan.Root = roots[0];
    scan.OtherRoot = roots[1];
    scan.ScanList = &list;
    scan.Filter = filter;
    scan.Start();

    folders::TCompareRun run;
    run.ScanList = &list;
    run.LeftRoot = roots[0];
    run.RightRoot = roots[1];
    run.Filter = filter;
    run.ResetCounters();
    run.ComparePair(subfolders);
    fc.PreScanStop = true;
    scan.Join();
    const qint64 ms = clock.elapsed();

    std::printf("files=%d differences=%d errors=%d ms=%lld\n", run.FilesCompared, run.Differences, run.Errors,
                static_cast<long long>(ms));
    std::fflush(stdout);
    fc.RunState = folders::rsIdle;
    if (fc.FCErrorCode != 0) {
        std::fprintf(stderr, "folder-bench: %s\n", qPrintable(access::FZErrorText(-fc.FCErrorCode, access::eoNone)));
        return 1;
    }
    return 0;
}
