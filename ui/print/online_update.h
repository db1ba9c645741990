#pragma once
// The online update. At every start in window mode the main window calls
// AfterUpgrade: when another program version wrote the settings file, it
// says whether this was an upgrade or a downgrade and keeps the previous
// settings file (and a program file the updater replaced) in the
// application backup folder.
//
// The check asks the update server (TANDEX_UPDATE_URL, fixed at build time
// or taken from the environment) for the latest release and beta, compares
// them with the running version and offers the newer one with its history.
// TF_Update holds the check and its state machine without a widget; what
// it shows goes into a TUpdateView that a TUpdateWindow displays (the
// dialog in online_update_window.h, a fake in the tests). Its files lie in
// the writable root, like everything else the program writes for itself.
//
// Update downloads the new program beside the running one, keeps it only
// when its SHA-256 (the version file's second line) and its embedded
// version match, and installs it only when it came from a verified https
// address: the main window closes through its ordinary close, and a
// detached script waits for the program to end, swaps the files so that
// the program's name always names a whole program, and starts the new one
// (or the old one again when the new one cannot run).

#include <QByteArray>
#include <QNetworkProxy>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

#include "config/prg_dir.h"

namespace tandex::print {

// The UpdateState values.
enum TUpdateStateValue : int {
    usChecking = 0,
    usOffered = 1,
    usNothingToDo = 2,
    usRevertOffered = 3,
    usDownloading = 4,
    usReadyToInstall = 5,
    usAborted = 6,
    usFailed = 7,
    usBadVersion = 8,
    usNotInitialized = 9,
    usIdle = 10,
};

// The two buttons: the Update button (fbAction1) and the Cancel button
// (fbAction2).
struct TUpdateButtonView {
    int Kind = 0;
    QString Caption;
    int ModalResult = 0;  // an MsgResult; 0 keeps the window open
    bool Visible = true;
    bool Enabled = true;
};

// Everything the window shows but the history.
struct TUpdateView {
    QString Caption;
    QString Status1;
    QString Status2;
    bool Status2Error = false;  // red instead of white
    TUpdateButtonView Action1, Action2;
    bool ProgressVisible = false;
    int Progress = 0;  // percent
};

// What the check needs of its window.
class TUpdateWindow {
public:
    virtual ~TUpdateWindow() = default;
    // At the start of every check: the header image, the look and the
    // height (at least the window's minimum).
    virtual void Prepare(int height) = 0;
    virtual void ViewChanged(const TUpdateView& view) = 0;
    // The history view takes the RTF text; an empty one clears it.
    virtual void LoadHistory(const QByteArray& rtf) = 0;
    virtual void MoveTo(const QPoint& position) = 0;
    virtual void SetVisible(bool visible) = 0;
    // Runs the window modally; returns once EndModal was called or the
    // user closed it.
    virtual void ShowModal() = 0;
    virtual void EndModal(int result) = 0;
    // The timer that repaints the history and resumes link hovering after
    // a scroll or resize.
    virtual void SetRepaintTimer(bool running) = 0;
};

class TF_Update {
public:
    // name is the program's short name, the stem of its files; displayName
    // is used in captions and messages (leading blanks dropped).
    void AfterUpgrade(const QString& name, const QString& displayName);

    // Keeps a program file that an update replaced (kind 'r' for a release,
    // 'b' for a beta) with the settings file in the backup folder under
    // the kind letter and its version; adds a line about it to report. The
    // version found, empty when there is no such file.
    QString MoveOldProgramToBackup(QChar kind, QString& report);

    // The check, at position; shown from the menu, hidden at start (then
    // only when due). Returns the final UpdateState (9 when AfterUpgrade
    // has not named the program), after which the state is idle again.
    int CheckForUpdate(const QPoint& position, bool shown);
    // A hidden check failed (7 or 8): while it runs, and afterwards until
    // the next check starts.
    bool UpdateFailed() const;
    // Whether a hidden check is due by AppSettings().SUAutoUpdate and the
    // time of the last completed check.
    bool UpdateDue() const;

    // Downloads the server's update folder + remotePath into localName of
    // folder (by default the writable root): 0 for an answer 200, the HTTP
    // status, or 1 for a transfer that failed (ErrorText says why). An
    // abort gives 1 and state 6; errors shown set state 7 and say so in the
    // status lines. Nothing of a failed transfer stays.
    int Download(bool showErrors, const QString& remotePath, const QString& localName,
                 const QString& folder = QString());
    // The first line of the release (beta: the beta) version file; its
    // second line, the SHA-256 of the new program, goes to ReleaseChecksum
    // (BetaChecksum). The file is deleted.
    QString ReadVersionFile(bool beta);
    void SaveLastCheckTime();
    // Shows the history file's topic "History" and deletes the file.
    void showHistory();
    // button 1 is the Update button, 2 the Cancel button.
    void SetButtonKind(int button, int kind);
    void ShowUpdateWindow();
    // IsNewerVersion with the error shown: a version that cannot be read
    // gives state 8.
    bool IsNewerVersion(const QString& current, const QString& candidate);

    // The window's buttons and its close. Update downloads the offered
    // program and installs it only once it is verified: its SHA-256 and
    // its embedded version match the version file, and both came from a
    // verified https address. Otherwise, or when the program folder cannot
    // be written, the verified download is handed to the user.
    void fbAction1Click();
    void fbAction2Click();
    // The user closes the window: false while a download runs, which is
    // then told to stop instead; otherwise the Cancel button's work.
    bool FormCloseQuery();
    void FormClose(int height);

    QString AppName;
    QString AppTitle;
    bool Initialized = false;
    bool HiddenCheck = false;
    // The program's file; Linux programs carry no extension and are named
    // in lower case.
    QString ExeName() const { return AppName.toLower(); }
    // "download-" + AppName + "-tdx.php", ASCII letters lower-cased.
    QString InstallerPath;
    QString ReleaseVersion, BetaVersion;
    QString ReleaseChecksum, BetaChecksum;
    bool BetaAvailable = false;

    // Program-wide: the main window's close request reads the state and
    // stops a busy check through UpdateAbort, which any thread may set.
    int UpdateState = usIdle;
    std::atomic<bool> UpdateAbort{false};
    // The running program is a beta (a build option).
    bool BetaBuild = false;

    TUpdateView View;
    // Shows the view; none makes the check run without a window.
    TUpdateWindow* Window = nullptr;
    // The error text of the last failed download.
    QString ErrorText;

    // Reads the version a program file carries (the replaced program, the
    // download); tests may give their own.
    std::function<QString(const QString& path)> FileVersion = config::GetFileVersionText;

    // The installation's neighbours: the main window's ordinary close
    // (false when it stays open), the detached start of the install script,
    // and the process the script waits for (0: this program) at most so
    // many seconds.
    std::function<bool()> CloseMainWindow;
    std::function<bool(const QString& program, const QStringList& arguments, const QString& folder)> StartDetached;
    qint64 InstallWaitsFor = 0;
    int InstallWaitSeconds = 60;

    TF_Update();

private:
    TUpdateWindow& window();
    void viewChanged();
    void setStatus(const QString& line1, const QString& line2, bool error = false);
    QString localPath(const QString& name) const;
    // The Cancel button's work outside a transfer.
    void dropOffer();
    // Keeps the downloaded program only when it is the one offered.
    bool verifyDownload(const QString& path, bool beta);
    void install();
    QString downloadPath() const;

    QString server_;
    QNetworkProxy proxy_;
    qint64 downloadTotal_ = 0;
    int lastPercent_ = -1;
    bool lastHiddenFailed_ = false;
    // Whether the last download, and the version files of this check, came
    // from a verified https address.
    bool lastVerified_ = false;
    bool releaseVerified_ = false, betaVerified_ = false;
    // Where the new program was downloaded; when handOverReason_ says why,
    // it is the user's to install (handedOver_ once they were told).
    QString downloadFolder_;
    QString handOverReason_;
    bool handedOver_ = false;
};

// The update window's state, made on first use.
TF_Update& F_Update();

// The update server's address without a trailing "/": the environment's
// TANDEX_UPDATE_URL when it is set, else the one the build was given.
// Empty means no server, and no check.
QString UpdateServerAddress();

// Compares dotted version texts: the candidate is newer when its number is
// greater at the first position where the two differ; texts that agree
// over the shorter length are not newer ("2.3.6.1" is not newer than
// "2.3.6"). A part that is not a number (an empty text too) makes valid
// false and the answer false.
bool IsNewerVersion(const QString& current, const QString& candidate, bool& valid);

}  // namespace tandex::print
