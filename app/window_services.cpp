#include "window_services.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "access/program_log.h"
#include "site_hooks.h"
#include "config/sys_helpers.h"

namespace tandex::app {

int LogMessageSink::showMessage(const config::MessageRequest& request) {
    access::FZLog(request.caption + QStringLiteral(": ") + request.text);
    return request.defaultResult;
}

WindowServices::WindowServices(bool batchMode) {
    // Logical dots per inch: Qt already applies the device pixel ratio, so
    // sizes are scaled once, here, only for a screen set to a larger dpi.
    const QScreen* screen = QGuiApplication::primaryScreen();
    config::InitDpiScale(screen ? int(std::lround(screen->logicalDotsPerInch())) : 96);

    config::setEventPump(&pump_);
    errorDlg_ = std::make_unique<folders::TF_ErrorDlg>();
    ui::setErrorDialog(errorDlg_.get());
    InstallSiteHooks();
    if (batchMode) {
        config::setMessageSink(&logMessages_);
        config::setProgressSink(&silentProgress_);
        return;
    }
    config::setMessageSink(&messages_);
    statusWin_ = std::make_unique<ui::TStatusWin>();
    config::setProgressSink(statusWin_.get());
}

WindowServices::~WindowServices() {
    ui::setErrorDialog(nullptr);
    config::setProgressSink(nullptr);
    config::setMessageSink(nullptr);
    config::setEventPump(nullptr);
}

}  // namespace tandex::app
