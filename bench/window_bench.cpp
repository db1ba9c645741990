// Timing of the main road: the window loads two files, compares them and
// paints the first screen, offscreen.
//
//   window-bench LEFT RIGHT   prints load_ms=N compare_ms=N first_paint_ms=N
//
// load_ms is the reading of both files (the load minus the comparison),
// compare_ms the text comparison with its in-line pass, first_paint_ms the
// time from the start of the load until the first paint of the rows has
// finished. Exits 0 on success, else non-zero with the reason on stderr.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

#include "engine/pane_stores.h"
#include "ui/main/main_window.h"
#include "ui/main/row_area.h"

using namespace tandex;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-bench LEFT RIGHT\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString left = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString right = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    ui::TF_Main window;
    window.resize(1200, 800);
    window.show();
    window.firePendingJobs();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    window.loadAndCompare(3, left, right);
    window.RowArea()->repaint();
    const qint64 firstPaint = clock.nsecsElapsed();

    const auto& stores = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        if (stores.FileErrors[size_t(pane)] != 0) {
            std::fprintf(stderr, "window-bench: %s: %s\n", argv[pane],
                         qPrintable(window.openErrorText(pane, stores.FileErrors[size_t(pane)])));
            return 1;
        }
    }
    const qint64 compare = window.HashTicks + window.InlineTicks;
    const qint64 load = window.TotalTicks - compare;
    if (qEnvironmentVariableIsSet("WINDOW_BENCH_PHASES"))
        std::fprintf(stderr, "hash_ms=%lld inline_ms=%lld\n", window.HashTicks / 1000000, window.InlineTicks / 1000000);
    std::printf("load_ms=%lld compare_ms=%lld first_paint_ms=%lld\n", load / 1000000, compare / 1000000,
                firstPaint / 1000000);
    return 0;
}
