// Closing the main window. Everything runs on the UI thread, and a load,
// a binary comparison or a save turns the event pump while it works: a
// close request that arrives from inside it would tear the window down
// under the running command. Such a request is refused, the load or the
// comparison told to stop, and the timer's close job asks again a little
// later each time, until the command has returned. Only then comes the
// question about modified panes; its Cancel ends the close for good.

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include "access/file_ops.h"
#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "engine/undo_stack.h"
#include "command_windows.h"
#include "compare_bin.h"
#include "folder_view_seam.h"
#include "main_window.h"
#include "print_seams.h"
#include "status_win.h"

namespace tandex::ui {

namespace {

constexpr int kCloseCountdown = 15;
constexpr int kCloseRetryStart = 5;  // the timer's interval at start-up
constexpr int kCloseRetryStep = 100;

}  // namespace

void TF_Main::closeEvent(QCloseEvent* event) {
    // Already closed and hidden: a second request has nothing left to do.
    if (formClosed_ && !isVisible()) {
        event->accept();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    endCloseRequest();
    FormClose();
    event->accept();
}

bool TF_Main::FormCloseQuery() {
    // The save question below turns the event pump too.
    if (closeQueryRunning_) return false;
    // A busy update check or download is told to stop; the close comes
    // again once it has.
    const int update = updater().State();
    if (update != UpdateServices::kUpdateIdle && update != UpdateServices::kUpdateReadyToInstall) {
        updater().RequestAbort();
        if (!updateWaitCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
        updateWaitCursor_ = true;
        retryClose();
        return false;
    }
    if (updateWaitCursor_) QApplication::restoreOverrideCursor();
    updateWaitCursor_ = false;
    // A folder comparison is cancelled and its window let go; the close
    // comes back once the run has returned.
    if (folderRunActive_ || folderView().FolderWindowVisible()) {
        folderView().fbCancelClick();
        folderView().SetFolderRunState(0);
        retryClose();
        return false;
    }
    // The find dialog, the colour, settings and folder comparison windows
    // and the update join this sequence with their own windows.
    // A dialog a command waits on counts too: the close job's request may
    // arrive inside its event loop.
    const bool commandRunning = loading_ || busyDepth_ > 0 || recompareRunning_ || plugIns().running() ||
                                compareBin().Running() || QApplication::activeModalWidget();
    if (commandRunning) {
        // A save or an edit is left to finish: stopping it halfway would
        // lose what it writes.
        if (loading_ || compareBin().Running()) {
            cancelOperation();
            AbortBinaryCompare();
        }
        retryClose();
        return false;
    }
    // The settings dialog is cancelled, as its "Cancel" does; the close
    // comes back once it has gone.
    if (commandWindows().SettingsOpen()) {
        commandWindows().CancelSettings();
        retryClose();
        return false;
    }
    closeQueryRunning_ = true;
    saveTabState();
    const bool goOn = askSaveModified(3);
    closeQueryRunning_ = false;
    if (!goOn) {
        endCloseRequest();
        return false;
    }
    return true;
}

void TF_Main::retryClose() {
    // The countdown counts the retries of this one close; running out only
    // ever spares waiting for companion windows, never the command that is
    // still on the stack nor the save question.
    if (closeCountdown_ > 0) --closeCountdown_;
    closeRetryDelay_ += kCloseRetryStep;
    armTimer(tjRetryClose, closeRetryDelay_);
}

void TF_Main::endCloseRequest() {
    closeCountdown_ = kCloseCountdown;
    closeRetryDelay_ = kCloseRetryStart;
}

void TF_Main::FormClose() {
    auto& stores = engine::paneStores();
    auto& s = config::AppSettings();
    if (stores.ImageLoaded[1] || stores.ImageLoaded[2]) {
        stores.ReleaseSideImage(1, false);
        stores.ReleaseSideImage(2, false);
        zoomLimitReached_ = false;
    }
    // A new pair that has not yet waited its 30 seconds counts now.
    if (historyPending_) {
        stopHistoryTimer();
        storeRecentPair();
    }
    folderView().CloseFolderWindow();
    help().CloseHelp();
    commandWindows().CancelColors();
    closeFindDialog();
    if (statusWin_) statusWin_->hide();
    engine::undoStack().ClearUndo(1);
    engine::undoStack().ClearUndo(2);

    s.AFZ = isMaximized();
    // A maximised window keeps the place and size it returns to.
    const QRect normal = s.AFZ ? normalGeometry() : QRect(pos(), size());
    if (s.AFZ) showNormal();
    hide();
    folderView().CloseCopyWindow();
    s.AFH = normal.height();
    s.AFW = normal.width();
    s.AFL = normal.left();
    s.AFT = normal.top();
    SaveSettings();
    // An empty folder setting would name the working folder.
    if (s.GSClrTmpFld && !s.GSTempPath.trimmed().isEmpty()) access::FZDeleteFolderFiles(s.GSTempPath);
    formClosed_ = true;
}

void TF_Main::Exit1Click(QObject*) { close(); }

}  // namespace tandex::ui
