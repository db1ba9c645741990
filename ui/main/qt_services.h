#pragma once
// The window-backed services of the core libraries: the event pump that
// keeps the windows alive during long waits, and message boxes. The window
// program installs them at start; headless runs keep the plain defaults.

#include "config/services.h"

namespace tandex::ui {

class QtEventPump : public config::EventPump {
public:
    void processEvents() override;
    // Qt's wait cursor; only the user-interface thread changes the cursor.
    void setBusyCursor(bool busy) override;
};

// Shows each message in a modal QMessageBox owned by the active window (or
// the main form) with the given caption, text, icon, buttons and default
// button. Calls from other threads are handed to the user-interface thread,
// which answers while the caller waits.
class QtMessageSink : public config::MessageSink {
public:
    int showMessage(const config::MessageRequest& request) override;
};

}  // namespace tandex::ui
