#include "window_services.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"

namespace tandex::app {

void ApplyLook() {
    const bool flat = config::AppSettings().GSGUIStyle > 0;
    config::FlatLook() = flat ? 1 : 0;
    ui::SetDisabledAlpha(flat ? 128 : 80);
    config::InitButtonHints();
}

WindowServices::WindowServices() {
    // Logical dots per inch: Qt already applies the device pixel ratio, so
    // sizes are scaled once, here, only for a screen set to a larger dpi.
    const QScreen* screen = QGuiApplication::primaryScreen();
    config::InitDpiScale(screen ? int(std::lround(screen->logicalDotsPerInch())) : 96);
    ApplyLook();

    config::setEventPump(&pump_);
    config::setMessageSink(&messages_);
    statusWin_ = std::make_unique<ui::TStatusWin>();
    statusWin_->setWindowTitle(QStringLiteral("Tandex"));
    statusWin_->SetPercentMode(true);
    config::setProgressSink(statusWin_.get());
}

WindowServices::~WindowServices() {
    config::setProgressSink(nullptr);
    config::setMessageSink(nullptr);
    config::setEventPump(nullptr);
}

}  // namespace tandex::app
