#pragma once
// The window-backed services of the core libraries: the event pump that
// keeps the windows alive during long waits, message boxes, and the system
// colours. The window program installs them at start; headless runs keep
// the plain defaults.

#include "config/services.h"

#include <QtGlobal>

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

// The current value (0x00BBGGRR) of a system colour by its platform index,
// taken from the application's palette; the defaults of the user colour
// sets read it.
quint32 PaletteSystemColor(int index);

}  // namespace tandex::ui
