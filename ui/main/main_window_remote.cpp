// Panes on network sources: web addresses, the cloud store and FTP
// servers. Their files come through the access slots like any other; what
// is theirs here is the progress of the downloads and uploads, which the
// access layer reports through hooks, the FTP file's second, whole read
// after the kind detection read only its start, and the list of recent web
// addresses.

#include <QThread>

#include <algorithm>

#include "access/access_slots.h"
#include "access/cloud_client.h"
#include "access/ftp_hooks.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "main_window.h"
#include "main_window_remote.h"
#include "main_window_seams.h"
#include "status_win.h"

namespace tandex::ui {

namespace {

bool batchMode() { return commandLine().BatchMode(); }

bool isUploadKind(int kind) { return kind == access::akFtp || kind == access::akCloud; }

}  // namespace

// ---- loading ----------------------------------------------------------------

void TF_Main::hookRemoteProgress(int pane, int accessKind) {
    Q_UNUSED(pane);
    if (accessKind == access::akCloud || accessKind == access::akHttp) {
        // The client may serve another thread's request meanwhile: only this
        // thread's transfers move the window's bar.
        QThread* own = thread();
        access::FZSetCloudProgressHook([this, own](qint64 position) {
            if (QThread::currentThread() == own) statusProgressStep(position);
        });
        if (!batchMode() && statusWin_) statusWin_->show();
    }
    if (accessKind == access::akFtp) {
        // Closing the slot drops the hook, so every load sets it anew.
        access::FZSetFtpReadProgressHook([this](qint64 bytes) { statusProgressStep(bytes); });
        if (!batchMode() && statusWin_) statusWin_->show();
    }
}

void TF_Main::unhookRemoteProgress() {
    access::FZSetCloudProgressHook(nullptr);
    access::FZSetFtpReadProgressHook(nullptr);
}

int TF_Main::reopenFtpForReading(int pane) {
    auto& stores = engine::paneStores();
    const int slot = stores.SideSlots[size_t(pane)];
    if (access::FZSlotAccessKind(slot) != access::akFtp) return 0;
    // The detection stopped its download after the start; finishing that
    // read clears the stop, so the new one brings the whole file.
    access::FZCloseFile(slot);
    return access::FZReopen(slot, stores.SideFileName(pane), access::twReadAccess);
}

void TF_Main::rememberWebPanes(int which) {
    const auto& stores = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        const auto p = size_t(pane);
        if ((which & pane) && stores.FileErrors[p] == 0 && stores.SideAccessKinds[p] == access::akHttp)
            rememberWebFile(stores.SideFileName(pane));
    }
}

void TF_Main::rememberWebFile(const QString& address) {
    if (address.isEmpty()) return;
    auto& list = config::AppSettings().WEBFiles;
    // An address already listed moves up; otherwise the last one drops out.
    auto found = std::find(list.begin(), list.end(), address);
    if (found == list.end()) found = list.end() - 1;
    std::move_backward(list.begin(), found, found + 1);
    list.front() = address;
}

// ---- saving -----------------------------------------------------------------

void ShowRemoteConnecting(const QString& location) {
    const auto target = access::FZClassifyPath(location);
    if (target != access::locFtp && target != access::locCloud) return;
    auto& progress = config::progressSink();
    progress.setTextLine(1, QStringLiteral("Connecting to: ") + location);
    progress.startProgress(0);
    // Lets the window paint the text before the server is waited for.
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < 100) {
        config::eventPump().processEvents();
        QThread::msleep(10);
    }
}

TRemoteUploadProgress::TRemoteUploadProgress(int slot) : kind_(access::FZSlotAccessKind(slot)) {
    if (!isUploadKind(kind_)) return;
    auto& progress = config::progressSink();
    const access::TFZMemStream* stream = access::FZSlotStream(slot);
    progress.setTextLine(1, kind_ == access::akFtp ? QStringLiteral("Uploading to FTP server...")
                                                   : QStringLiteral("Uploading to Dropbox..."));
    progress.startProgress(stream ? std::max<qint64>(stream->size(), 1) : 0);
    if (kind_ == access::akCloud) {
        QThread* own = QThread::currentThread();
        access::FZSetCloudProgressHook([own](qint64 position) {
            if (QThread::currentThread() != own) return;
            config::progressSink().setProgress(position);
            config::eventPump().processEvents();
        });
    }
    if (kind_ == access::akFtp) {
        access::FZSetFtpWriteProgressHook([](qint64 bytes) {
            config::progressSink().setProgress(bytes);
            config::eventPump().processEvents();
        });
    }
}

TRemoteUploadProgress::~TRemoteUploadProgress() {
    if (kind_ == access::akCloud) access::FZSetCloudProgressHook(nullptr);
    if (kind_ == access::akFtp) access::FZSetFtpWriteProgressHook(nullptr);
}

}  // namespace tandex::ui
