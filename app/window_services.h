#pragma once
// What the window program sets up once the application object exists and
// before its first window: the screen scale, the look of the flat buttons,
// and the window-backed event pump, message boxes and progress window that
// the core libraries reach through their service interfaces.

#include <memory>

#include "ui/main/qt_services.h"
#include "ui/main/status_win.h"

namespace tandex::app {

// Applies the look chosen in the settings: the flat look when GSGUIStyle
// is above 0, the disabled buttons' fading, and whether they keep hints.
void ApplyLook();

// Installs the services for its lifetime and removes them again.
class WindowServices {
public:
    WindowServices();
    ~WindowServices();
    WindowServices(const WindowServices&) = delete;
    WindowServices& operator=(const WindowServices&) = delete;

    ui::TStatusWin& StatusWin() { return *statusWin_; }

private:
    ui::QtEventPump pump_;
    ui::QtMessageSink messages_;
    std::unique_ptr<ui::TStatusWin> statusWin_;
};

}  // namespace tandex::app
