#include "engine/main_window_services.h"

#include "engine/pane_stores.h"

#include <atomic>

namespace tandex::engine {

namespace {

MainWindowServices headlessWindow;
std::atomic<MainWindowServices*> installedWindow{nullptr};

}  // namespace

void MainWindowServices::renumberLines(int pane) { RenumberTextLines(pane); }

void RenumberTextLines(int pane) {
    auto& s = paneStores();
    if (!PaneStores::IsPane(pane)) return;
    auto& lines = s.TextLines[size_t(pane)];
    qint32 number = 0;
    const int last = std::min(s.MaxLineCount, lines.StoredSize() - 1);
    for (int i = 0; i <= last; ++i)
        if (!lines.IsGap(i)) lines[i]->LineNumber = ++number;
}

MainWindowServices& mainWindow() {
    MainWindowServices* w = installedWindow.load();
    return w ? *w : headlessWindow;
}

void setMainWindow(MainWindowServices* services) { installedWindow.store(services); }

}  // namespace tandex::engine
