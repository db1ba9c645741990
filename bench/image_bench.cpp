// Timing of the image comparison's Pixels mode.
//
//   image-bench LEFT RIGHT TOL        loads both pictures (by their first
//                                     bytes, as the program does), compares
//                                     them with tolerance TOL per channel and
//                                     prints same=N tol=N diff=N ms=T
//
// T is the fastest of five computations; loading is not timed. The other
// Pixels settings keep their defaults (no overlay, tint or relaxing).

#include "config/app_settings.h"
#include "ui/main/image_compare.h"
#include "ui/main/image_loader.h"

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace tandex;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: image-bench LEFT RIGHT TOL\n");
        return 2;
    }
    try {
        const QImage left = ui::LoadImageByMagic(QString::fromLocal8Bit(argv[1]));
        const QImage right = ui::LoadImageByMagic(QString::fromLocal8Bit(argv[2]));
        if (left.isNull() || right.isNull()) {
            std::fprintf(stderr, "image-bench: cannot decode %s\n", left.isNull() ? argv[1] : argv[2]);
            return 1;
        }
        config::AppSettings().ICDifTol = std::atoi(argv[3]);
        ui::ImgCompare cmp;
        cmp.SetLeftPicture(left);
        cmp.SetRightPicture(right);
        qint64 best = -1;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            if (!cmp.Compute(0)) {
                std::fprintf(stderr, "image-bench: the comparison failed\n");
                return 1;
            }
            const qint64 ns = timer.nsecsElapsed();
            best = best < 0 ? ns : std::min(best, ns);
        }
        qint32 same = 0, tol = 0, diff = 0;
        ui::GetImageCompareCounts(same, tol, diff);
        std::printf("same=%d tol=%d diff=%d ms=%.1f\n", same, tol, diff, double(best) / 1e6);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "image-bench: %s\n", e.what());
        return 1;
    }
}
