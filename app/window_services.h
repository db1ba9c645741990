#pragma once
// What the program sets up once the application object exists and before
// its first window: the screen scale, the event pump, message boxes and
// progress window that the core libraries reach through their service
// interfaces, and the error dialog that the main window asks through its
// seam. A batch run gets no windows: its messages go to the program
// log and are answered with their default button, and progress is silent.

#include <memory>

#include "config/services.h"
#include "ui/folders/error_dlg.h"
#include "ui/main/qt_services.h"
#include "ui/main/status_win.h"

namespace tandex::app {

// Writes each message's caption and text to the program log and answers
// with the default button, so that a run without a display never waits.
class LogMessageSink : public config::MessageSink {
public:
    int showMessage(const config::MessageRequest& request) override;
};

// Installs the services for its lifetime and removes them again.
class WindowServices {
public:
    explicit WindowServices(bool batchMode = false);
    ~WindowServices();
    WindowServices(const WindowServices&) = delete;
    WindowServices& operator=(const WindowServices&) = delete;

    // The progress window; nullptr in a batch run.
    ui::TStatusWin* StatusWin() { return statusWin_.get(); }
    // The error dialog with the program's retry policy; a batch run keeps
    // the policy too, its callers wait instead of asking.
    folders::TF_ErrorDlg* ErrorDlg() { return errorDlg_.get(); }

private:
    ui::QtEventPump pump_;
    ui::QtMessageSink messages_;
    LogMessageSink logMessages_;
    config::SilentProgress silentProgress_;
    std::unique_ptr<ui::TStatusWin> statusWin_;
    std::unique_ptr<folders::TF_ErrorDlg> errorDlg_;
};

}  // namespace tandex::app
