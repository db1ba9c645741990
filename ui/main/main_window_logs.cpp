#include "config/sys_helpers.h"
#include "folder_view_seam.h"
#include "main_window.h"

namespace tandex::ui {

// The viewer is told the current look first: it may not have seen a change
// of the colour set while it was hidden.
void TF_Main::ViewlastFCLogClick(QObject* /*sender*/) {
    folderView().ApplyTheme(config::FlatLook() != 0);
    folderView().ShowLog(0);
}

void TF_Main::ViewlastCopyLogClick(QObject* /*sender*/) {
    folderView().ApplyTheme(config::FlatLook() != 0);
    folderView().ShowLog(1);
}

}  // namespace tandex::ui
