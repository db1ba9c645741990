// Timing of the binary comparison on two real files, headless.
//
//   binary-bench LEFT RIGHT   compares the files as the binary view does
//                             (16 bytes per row, offset labels); prints
//                             rows=N differing=N mod=N add=N del=N ms=T
//
// Exits 0 on success, else non-zero with the error text on stderr.

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "ui/main/compare_bin.h"

#include <QFileInfo>
#include <QString>

#include <chrono>
#include <cstdio>

using namespace tandex;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: binary-bench LEFT RIGHT\n");
        return 2;
    }
    auto& st = engine::paneStores();
    st.InitCompareData();
    st.BinaryMode = 1;
    QString paths[3];
    for (int pane = 1; pane <= 2; ++pane) {
        paths[pane] = QString::fromLocal8Bit(argv[pane]);
        int slot = engine::kNoSlot;
        if (const int r = access::FZOpen(paths[pane], access::twReadAccess, false, slot)) {
            std::fprintf(stderr, "binary-bench: %s: %s\n", argv[pane],
                         qPrintable(access::FZErrorText(-r, access::eoOpenRead)));
            return 1;
        }
        st.SideSlots[size_t(pane)] = slot;
        st.FileSizes[size_t(pane)] = QFileInfo(paths[pane]).size();
    }
    const auto start = std::chrono::steady_clock::now();
    const qint32 differing = ui::CompareBinaryFiles(paths[1], paths[2]);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    for (int pane = 1; pane <= 2; ++pane) {
        if (st.FileErrors[size_t(pane)]) {
            std::fprintf(stderr, "binary-bench: %s: %s\n", argv[pane],
                         qPrintable(access::FZErrorText(-st.FileErrors[size_t(pane)], access::eoRead)));
            return 1;
        }
        access::FZClose(st.SideSlots[size_t(pane)]);
    }
    const auto& totals = ui::compareBin().BinaryDiffTotals;
    std::printf("rows=%d differing=%d mod=%lld add=%lld del=%lld ms=%.0f\n", st.MaxLineCount, differing,
                static_cast<long long>(totals.Modified), static_cast<long long>(totals.Added),
                static_cast<long long>(totals.Deleted), ms);
    return 0;
}
