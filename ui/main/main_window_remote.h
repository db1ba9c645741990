#pragma once
// The panes' network sources on the way out: saving a pane to an FTP
// server or the cloud store connects first and uploads when the file is
// finished, both with their own progress texts. The way in is the window's
// (TF_Main, main_window_remote.cpp).

#include <QString>

namespace tandex::ui {

// "Connecting to: " + location on a running bar, and a short pause with
// events, before a save to an FTP server or the cloud store connects;
// nothing for other locations.
void ShowRemoteConnecting(const QString& location);

// The upload FZCloseFile runs for an FTP or cloud slot reports to the
// progress window ("Uploading to FTP server...", "Uploading to Dropbox...")
// while the object lives; for other slots it does nothing.
class TRemoteUploadProgress {
public:
    explicit TRemoteUploadProgress(int slot);
    ~TRemoteUploadProgress();
    TRemoteUploadProgress(const TRemoteUploadProgress&) = delete;
    TRemoteUploadProgress& operator=(const TRemoteUploadProgress&) = delete;

private:
    int kind_ = 0;
};

}  // namespace tandex::ui
