#include "online_update.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>
#include <QUrl>

#include <unistd.h>

#include "access/error_texts.h"
#include "access/http_requests.h"
#include "access/program_log.h"
#include "access/web_files.h"
#include "config/app_settings.h"
#include "config/ini_store.h"
#include "config/services.h"
#include "config/settings_file.h"
#include "help_topics.h"

namespace tandex::print {

namespace {

// Left by the updater just before it replaces the program; its presence at
// the next start tells a self-update from an installation by other means.
const QString kUpgradeMarker = QStringLiteral("tdxupgrade.tdxu");

// A version file's line is a short dotted number; a server that sends more
// sends no version.
constexpr qint64 kMaxVersionLine = 256;

// Stands in for the window while none is installed (batch runs, tests of
// the core): a modal run returns at once.
class TNoWindow : public TUpdateWindow {
public:
    void Prepare(int) override {}
    void ViewChanged(const TUpdateView&) override {}
    void LoadHistory(const QByteArray&) override {}
    void MoveTo(const QPoint&) override {}
    void SetVisible(bool) override {}
    void ShowModal() override {}
    void EndModal(int) override {}
    void SetRepaintTimer(bool) override {}
};

// Replaces the program once it has ended. Arguments: the process to wait
// for, the seconds to wait at most, the program's name, the download's,
// the name the old program keeps, and the marker; the working folder is
// the program folder. The program's name names a whole program at every
// moment: the old one gets its second name by a hard link (a copy where
// links fail) before one rename puts the new one in its place. A failure
// leaves the old program as it was, and a new program that cannot run at
// all gives its place back to the old one.
const char* const kInstallScript = R"sh(pid=$1 limit=$2 exe=$3 update=$4 replaced=$5 marker=$6
waited=0
while kill -0 "$pid" 2>/dev/null; do
    if [ "$waited" -ge "$((limit * 10))" ]; then
        rm -f -- "$marker"
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done
if rm -f -- "$replaced" && { ln -- "$exe" "$replaced" 2>/dev/null || cp -p -- "$exe" "$replaced"; } &&
    mv -f -- "$update" "$exe"; then
    "./$exe"
    status=$?
    if [ "$status" -ne 126 ] && [ "$status" -ne 127 ]; then exit 0; fi
    mv -f -- "$replaced" "$exe"
else
    rm -f -- "$update" "$replaced"
fi
rm -f -- "$marker"
exec "./$exe"
)sh";

bool isSha256Hex(const QString& text) {
    if (text.size() != 64) return false;
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

// The error of a failed transfer: HTTP answers in the web files' words,
// the rest in the general ones.
QString transferErrorText(int code, bool httpStatus) {
    return access::FZErrorText(-code, httpStatus ? access::eoSocket : access::eoNone);
}

// The version texts become folder names; one read from a settings file must
// not lead out of the backup folder.
QString backupSubfolder(const QString& version) {
    QString name = version;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name == QLatin1String(".") || name == QLatin1String("..")) name = QStringLiteral("_");
    return name;
}

// The next number of a version text, removed with its dot; false when the
// part is not a number.
bool nextVersionPart(QString& text, qint64& number) {
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString part = dot < 0 ? text : text.left(dot);
    text = dot < 0 ? QString() : text.mid(dot + 1);
    if (part.isEmpty()) return false;
    for (const QChar c : part)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    bool ok = false;
    number = part.toLongLong(&ok);
    return ok;
}

}  // namespace

bool IsNewerVersion(const QString& current, const QString& candidate, bool& valid) {
    QString a = current, b = candidate;
    bool result = true;
    valid = true;
    for (;;) {
        qint64 have = 0, offered = 0;
        if (!nextVersionPart(a, have) || !nextVersionPart(b, offered)) {
            valid = false;
            return false;
        }
        if (offered > have) return result;
        if (offered < have) result = false;
        if (a.isEmpty() || b.isEmpty()) return false;
    }
}

TF_Update& F_Update() {
    static TF_Update update;
    return update;
}

QString UpdateServerAddress() {
    QString address = qEnvironmentVariableIsSet("TANDEX_UPDATE_URL")
                          ? qEnvironmentVariable("TANDEX_UPDATE_URL")
                          : QStringLiteral(TANDEX_BUILD_UPDATE_URL);
    address = address.trimmed();
    while (address.endsWith(QLatin1Char('/'))) address.chop(1);
    return address;
}

TF_Update::TF_Update() : BetaBuild(TANDEX_BETA_BUILD != 0) {
    SetButtonKind(1, 3);
    SetButtonKind(2, 0);
    StartDetached = [](const QString& program, const QStringList& arguments, const QString& folder) {
        return QProcess::startDetached(program, arguments, folder);
    };
}

TUpdateWindow& TF_Update::window() {
    static TNoWindow none;
    return Window ? *Window : none;
}

void TF_Update::viewChanged() {
    window().ViewChanged(View);
}

void TF_Update::setStatus(const QString& line1, const QString& line2, bool error) {
    View.Status1 = line1;
    View.Status2 = line2;
    View.Status2Error = error;
    viewChanged();
}

QString TF_Update::localPath(const QString& name) const {
    return config::PrgDir().GetWritableRoot() + name;
}

void TF_Update::AfterUpgrade(const QString& name, const QString& displayName) {
    AppName = name;
    AppTitle = displayName;
    while (AppTitle.startsWith(QLatin1Char(' '))) AppTitle.remove(0, 1);
    Initialized = !AppName.isEmpty() && !AppTitle.isEmpty();

    auto& s = config::AppSettings();
    const QString running = config::CurrentVersion();
    if (config::IniStore().IniLoaded && s.AFIniVersion != running) {
        const bool cursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
        if (cursor) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        bool valid = true;
        const bool upgraded = s.AFIniVersion.isEmpty() || print::IsNewerVersion(s.AFIniVersion, running, valid);
        QString report;
        if (QFile::remove(config::PrgDir().GetWritableRoot() + kUpgradeMarker))
            report = (upgraded ? QStringLiteral("The upgrade") : QStringLiteral("The downgrade")) +
                     QStringLiteral(" of ") + AppName + QStringLiteral(" to version ") + running +
                     QStringLiteral(" is now complete!\n");
        else
            report = (upgraded ? QStringLiteral("You have upgraded to a newer")
                               : QStringLiteral("You have downgraded to an older")) +
                     QStringLiteral(" version of ") + AppName + QStringLiteral(" (v") + running +
                     QStringLiteral(")!\n");
        const QString release = MoveOldProgramToBackup(QLatin1Char('r'), report);
        const QString beta = MoveOldProgramToBackup(QLatin1Char('b'), report);
        if (release.isEmpty() && beta.isEmpty()) {
            const QString folder = backupSubfolder(s.AFIniVersion);
            config::BackupSettingsFile(folder);
            report += QStringLiteral("\nThe previous configuration file (") + AppName +
                      QStringLiteral(".ini) has been saved in folder: ") + config::AppBackupsFolder() + folder;
        }
        if (cursor) QGuiApplication::restoreOverrideCursor();
        config::showMessage(AppName + QStringLiteral(" installation"), report, config::MsgKind::Information);
    }
    // The next save stores the running version, so the built-in converter
    // entries come back once per version change, not at every start.
    s.AFIniVersion = running;
}

QString TF_Update::MoveOldProgramToBackup(QChar kind, QString& report) {
    const QString old = config::PrgDir().GetProgramFolder() + ExeName() +
                        (kind == QLatin1Char('r') ? QStringLiteral(".outdated") : QStringLiteral(".beta"));
    const QString version = FileVersion ? FileVersion(old) : QString();
    if (version.isEmpty()) return version;
    const QString subfolder = backupSubfolder(kind + version);
    const QString folder = config::AppBackupsFolder() + subfolder + QLatin1Char('/');
    config::BackupSettingsFile(subfolder);
    QDir().mkpath(folder);
    const QString target = folder + ExeName();
    QFile::remove(target);
    QFile file(old);
    if (file.rename(target))
        report += QStringLiteral("\nThe previous version of ") + ExeName() +
                  QStringLiteral(" has been saved together with the configuration file (") + AppName +
                  QStringLiteral(".ini) in folder: ") + folder + QLatin1Char('\n');
    else
        access::FZLog(QStringLiteral("UP1:") + file.errorString());
    return version;
}

// ---- the check -------------------------------------------------------------

bool TF_Update::IsNewerVersion(const QString& current, const QString& candidate) {
    bool valid = true;
    const bool newer = print::IsNewerVersion(current, candidate, valid);
    if (!valid) {
        View.Status1 = QStringLiteral("Error: Invalid version string!");
        viewChanged();
        UpdateState = usBadVersion;
    }
    return newer;
}

bool TF_Update::UpdateDue() const {
    QFile file(localPath(AppName + QStringLiteral(".lastUpdateCheck")));
    if (!file.open(QIODevice::ReadOnly)) return true;
    const QString line = QString::fromLatin1(file.readLine(kMaxVersionLine)).trimmed();
    const QDateTime last = QDateTime::fromString(line, Qt::ISODate);
    if (!last.isValid()) return true;
    QDateTime threshold;
    switch (config::AppSettings().SUAutoUpdate) {
    case 1:
        return true;
    case 2:
        threshold = last.addDays(1);
        break;
    case 3:
        threshold = last.addDays(7);
        break;
    case 4:
        threshold = last.addDays(30);
        break;
    default:
        threshold = last;
        break;
    }
    return QDateTime::currentDateTime() > threshold;
}

void TF_Update::SaveLastCheckTime() {
    // A check time that cannot be written only makes the next check due.
    QSaveFile file(localPath(AppName + QStringLiteral(".lastUpdateCheck")));
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + '\n');
    file.commit();
}

QString TF_Update::ReadVersionFile(bool beta) {
    const QString path = localPath(AppName + (beta ? QStringLiteral(".bver") : QStringLiteral(".ver")));
    QString line, checksum;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            line = QString::fromLatin1(file.readLine(kMaxVersionLine)).trimmed();
            checksum = QString::fromLatin1(file.readLine(kMaxVersionLine)).trimmed().toLower();
        }
    }
    (beta ? BetaChecksum : ReleaseChecksum) = checksum;
    QFile::remove(path);
    return line;
}

void TF_Update::showHistory() {
    window().LoadHistory(QByteArray());
    const QString path = localPath(AppName + QStringLiteral("History.txt"));
    THelpState& help = HelpState();
    const QString label = help.HelpFileLabel;
    help.HelpFileLabel = QStringLiteral("History");
    QByteArray rtf;
    if (RenderHelpTopic(QStringLiteral("History"), QStringLiteral("Tahoma"), path, rtf) == 0)
        window().LoadHistory(rtf);
    help.HelpFileLabel = label;
    QFile::remove(path);
}

void TF_Update::SetButtonKind(int button, int kind) {
    static const char* const captions[] = {"Cancel",
                                           "  OK  ",
                                           " Abort",
                                           " Update to latest release",
                                           "   Install Tandex",
                                           " Revert to latest release"};
    if (kind < 0 || kind > 5) return;
    TUpdateButtonView& b = button == 1 ? View.Action1 : View.Action2;
    b.Kind = kind;
    b.Caption = QLatin1String(captions[kind]);
    if (kind == 0) b.ModalResult = config::mrCancel;
    if (kind == 1) b.ModalResult = config::mrOk;
    if (kind == 2) b.ModalResult = config::mrNone;
    viewChanged();
}

void TF_Update::ShowUpdateWindow() {
    View.Action1.Visible = (!UpdateAbort && UpdateState != usNothingToDo) || BetaBuild;
    View.Action2.Visible = true;
    viewChanged();
    window().SetVisible(false);
    HiddenCheck = false;
    window().SetRepaintTimer(true);
    window().ShowModal();
}

int TF_Update::Download(bool showErrors, const QString& remotePath, const QString& localName,
                        const QString& folder) {
    ErrorText.clear();
    lastVerified_ = false;
    const QString target = folder.isEmpty() ? localPath(localName) : folder + localName;
    int result = 0;
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ErrorText = file.errorString();
        result = 1;
    } else {
        access::THttpWork work;
        work.workBegin = [this](qint64 expected) {
            downloadTotal_ = expected > 0 ? expected : 0;
            lastPercent_ = -1;
        };
        work.work = [this](qint64 position) {
            const int percent =
                downloadTotal_ > 0 ? int((position * 100 + downloadTotal_ / 2) / downloadTotal_) : -1;
            if (percent == lastPercent_) return;
            lastPercent_ = percent;
            View.Progress = percent;
            // An error already on show stays there.
            if (UpdateState == usChecking || UpdateState == usDownloading)
                View.Status1 = QStringLiteral("Downloading ... ") + QString::number(percent) + QLatin1Char('%');
            viewChanged();
        };
        access::THttpRequest request;
        request.url = QUrl(server_ + QStringLiteral("/Downloads/") + remotePath);
        request.target = &file;
        request.cancel = &UpdateAbort;
        request.work = &work;
        request.proxy = &proxy_;
        // Proxies and caches in between must not answer with an old
        // version file.
        request.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}, {"Accept", "text/html, */*"}};
        downloadTotal_ = 0;
        lastPercent_ = -1;
        const access::THttpResult answer = access::FZHttpRun(request);
        const bool written = file.flush();
        file.close();
        if (answer.code == 0 && answer.status == 200 && written) {
            result = 0;
            lastVerified_ = answer.certificateVerified;
        } else if (answer.code == 0 && !written) {
            ErrorText = file.errorString();
            result = 1;
        } else if (answer.code == 0 || (answer.status >= 400 && answer.code == answer.status)) {
            // An answer other than 200 is no file, even without an error.
            result = answer.status > 0 ? answer.status : 1;
            ErrorText = transferErrorText(result, true);
        } else {
            ErrorText = transferErrorText(answer.code, false);
            result = 1;
        }
    }
    if (UpdateAbort) {
        View.Status1 = QStringLiteral("Download aborted!");
        viewChanged();
        UpdateState = usAborted;
        result = 1;
    } else if (result != 0 && showErrors) {
        setStatus(QStringLiteral("Download failed - Please try again!"), ErrorText, true);
        UpdateState = usFailed;
    }
    // What a failed transfer left is no file of the server's.
    if (result != 0) QFile::remove(target);
    return result;
}

int TF_Update::CheckForUpdate(const QPoint& position, bool shown) {
    if (!Initialized) {
        config::showMessage(QStringLiteral("Update error"), QStringLiteral("Update not initialized!"),
                            config::MsgKind::Error);
        return usNotInitialized;
    }
    auto& s = config::AppSettings();
    lastHiddenFailed_ = false;
    window().Prepare(s.UFH);
    UpdateState = usNothingToDo;
    HelpState().HoverSuspended = true;

    if (shown || UpdateDue()) {
        proxy_ = access::FZHttpProxy();
        server_ = UpdateServerAddress();
        BetaAvailable = false;
        window().LoadHistory(QByteArray());
        UpdateState = usChecking;

        View.Caption = QStringLiteral(" Update ") + AppTitle;
        InstallerPath = QStringLiteral("download-") + AppName + QStringLiteral("-tdx.php");
        for (QChar& c : InstallerPath)
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
        View.Action1.Visible = false;
        View.Action1.Enabled = true;
        SetButtonKind(1, 3);
        SetButtonKind(2, 0);
        View.ProgressVisible = false;
        View.Progress = 0;
        setStatus(QStringLiteral("Checking versions ..."), QString());
        UpdateAbort = false;
        window().MoveTo(position);
        window().SetVisible(shown);
        HiddenCheck = !shown;
        config::eventPump().processEvents();

        const QString running = config::CurrentVersion();
        releaseVerified_ = betaVerified_ = false;
        downloadFolder_.clear();
        handOverReason_.clear();
        handedOver_ = false;
        if (Download(true, QStringLiteral("version-check.php"), AppName + QStringLiteral(".ver")) != 0) {
            View.Action2.Visible = true;
            viewChanged();
            if (shown) ShowUpdateWindow();
        } else {
            releaseVerified_ = lastVerified_;
            ReleaseVersion = ReadVersionFile(false);
            const bool newer = IsNewerVersion(running, ReleaseVersion);
            // A stopped check goes no further: the closing main window waits
            // for it, and the user who pressed Cancel wants no offer.
            if ((!BetaBuild || newer) && !UpdateAbort) {
                if (Download(true, AppName + QStringLiteral("HistoryE.txt"), AppName + QStringLiteral("History.txt")) ==
                    0)
                    showHistory();
            }
            if ((BetaBuild || s.SUBetaVers) && !newer && !UpdateAbort) {
                if (Download(false, QStringLiteral("beta/") + AppName + QStringLiteral(".ver"),
                             AppName + QStringLiteral(".bver")) == 0) {
                    betaVerified_ = lastVerified_;
                    BetaVersion = ReadVersionFile(true);
                    BetaAvailable = IsNewerVersion(running, BetaVersion);
                    if (Download(false, QStringLiteral("beta/") + AppName + QStringLiteral("HistoryE.txt"),
                                 AppName + QStringLiteral("History.txt")) == 0)
                        showHistory();
                } else {
                    BetaAvailable = false;
                }
            }

            if ((newer || BetaAvailable) && !UpdateAbort) {
                SaveLastCheckTime();
                UpdateState = usOffered;
                if (BetaAvailable) {
                    setStatus(QStringLiteral("There is a new beta version of ") + AppTitle + QStringLiteral(" available!"),
                              (BetaBuild ? QStringLiteral("Your beta version: ") : QStringLiteral("Your release version: ")) +
                                  running + QStringLiteral("  -  Available beta version: ") + BetaVersion);
                    View.Action1.Caption = QStringLiteral(" Update to latest beta");
                    viewChanged();
                } else {
                    setStatus(QStringLiteral("There is an updated version of ") + AppTitle + QStringLiteral(" available!"),
                              QStringLiteral("Your version: ") + running +
                                  QStringLiteral("  -  Available update version: ") + ReleaseVersion);
                }
                ShowUpdateWindow();
            } else {
                if (UpdateState == usChecking) {
                    SaveLastCheckTime();
                    if (BetaBuild) {
                        setStatus(QStringLiteral("Your are running the latest beta version (") + running +
                                      QStringLiteral(") of ") + AppTitle,
                                  QStringLiteral("Do you want to revert to the latest release version: ") +
                                      ReleaseVersion + QLatin1Char('?'));
                        SetButtonKind(1, 5);
                        UpdateState = usRevertOffered;
                    } else {
                        SetButtonKind(2, 1);
                        setStatus(QStringLiteral("Your version (") + running + QStringLiteral(") of ") + AppTitle +
                                      QStringLiteral(" is up-to-date!"),
                                  s.SUBetaVers ? QString()
                                               : QStringLiteral("The check for beta versions is currently disabled, "
                                                                "you can enable it under:\n"
                                                                "Settings->Startup->Check for beta versions"));
                        UpdateState = usNothingToDo;
                        View.Action2.Visible = true;
                        viewChanged();
                    }
                }
                if (shown) ShowUpdateWindow();
            }
        }
    }

    HelpState().HoverSuspended = false;
    window().SetRepaintTimer(false);
    const int result = UpdateState;
    lastHiddenFailed_ = HiddenCheck && (result == usFailed || result == usBadVersion);
    UpdateState = usIdle;
    return result;
}

bool TF_Update::UpdateFailed() const {
    return (HiddenCheck && (UpdateState == usFailed || UpdateState == usBadVersion)) || lastHiddenFailed_;
}

void TF_Update::fbAction2Click() {
    // The kind at the click decides whether the window closes: an Abort
    // turns into Cancel here but must not close the window.
    const int modalResult = View.Action2.ModalResult;
    if (UpdateState == usChecking || UpdateState == usDownloading) {
        UpdateAbort = true;
        SetButtonKind(2, 0);
        return;
    }
    dropOffer();
    if (modalResult != config::mrNone) window().EndModal(modalResult);
}

QString TF_Update::downloadPath() const {
    const QString folder = downloadFolder_.isEmpty() ? config::PrgDir().GetProgramFolder() : downloadFolder_;
    return folder + ExeName() + QStringLiteral(".update");
}

void TF_Update::dropOffer() {
    // A download handed to the user is theirs now.
    if (!handedOver_) QFile::remove(downloadPath());
    if (UpdateState != usNothingToDo && UpdateState != usFailed && UpdateState != usBadVersion)
        UpdateState = usAborted;
}

// ---- download and installation ----------------------------------------------

void TF_Update::fbAction1Click() {
    if (UpdateState == usOffered || UpdateState == usRevertOffered) {
        UpdateState = usDownloading;
        SetButtonKind(2, 2);
        View.Action1.Enabled = false;
        View.ProgressVisible = true;
        View.Progress = 0;
        viewChanged();
        const bool beta = BetaAvailable;
        // A program folder its user cannot write (an installation for the
        // whole system) is not replaced from here.
        const QString programFolder = config::PrgDir().GetProgramFolder();
        const bool writable = ::access(QFile::encodeName(programFolder).constData(), W_OK) == 0;
        downloadFolder_ = writable ? programFolder : config::PrgDir().GetWritableRoot();
        handedOver_ = false;
        const QString name = ExeName() + QStringLiteral(".update");
        int result = Download(true, (beta ? QStringLiteral("beta/") : QString()) + InstallerPath, name, downloadFolder_);
        const bool fromVerifiedServer = lastVerified_ && (beta ? betaVerified_ : releaseVerified_);
        if (result == 0 && !verifyDownload(downloadFolder_ + name, beta)) result = 1;
        SetButtonKind(2, 0);
        if (result == 0) {
            handOverReason_.clear();
            if (!writable)
                handOverReason_ = QStringLiteral("The program folder ") + programFolder +
                                  QStringLiteral(" cannot be written");
            else if (!fromVerifiedServer)
                handOverReason_ = QStringLiteral("It was not downloaded from a verified https address");
            SetButtonKind(1, 4);
            View.Action1.Enabled = true;
            viewChanged();
            UpdateState = usReadyToInstall;
            fbAction1Click();
        } else {
            View.Action1.Enabled = true;
            viewChanged();
            UpdateAbort = false;
            UpdateState = usOffered;
        }
        return;
    }
    if (UpdateState == usReadyToInstall) install();
}

bool TF_Update::verifyDownload(const QString& path, bool beta) {
    const QString expected = beta ? BetaVersion : ReleaseVersion;
    const QString checksum = beta ? BetaChecksum : ReleaseChecksum;
    QString reason;
    {
        QFile file(path);
        if (!isSha256Hex(checksum)) {
            reason = QStringLiteral("The version file gives no checksum of the new program!");
        } else if (!file.open(QIODevice::ReadOnly) || file.size() == 0) {
            reason = QStringLiteral("The downloaded file is empty!");
        } else {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (!hash.addData(&file) || hash.result().toHex() != checksum.toLatin1())
                reason = QStringLiteral("The downloaded file does not match its checksum!");
        }
    }
    if (reason.isEmpty()) {
        const QString found = FileVersion ? FileVersion(path) : QString();
        if (found != expected)
            reason = QStringLiteral("The downloaded file is not version ") + expected +
                     (found.isEmpty() ? QStringLiteral("!") : QStringLiteral(" but ") + found + QLatin1Char('!'));
    }
    if (!reason.isEmpty()) {
        QFile::remove(path);
        setStatus(QStringLiteral("Download failed - Please try again!"), reason, true);
        UpdateState = usFailed;
        return false;
    }
    // It runs like the program it replaces.
    const QString program = config::PrgDir().GetProgramFolder() + ExeName();
    QFileDevice::Permissions mode = QFile::permissions(program);
    if (!(mode & QFileDevice::ExeOwner))
        mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
               QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(path, mode | QFileDevice::WriteOwner);
    return true;
}

void TF_Update::install() {
    const QString download = downloadPath();
    const QString caption = BetaAvailable ? QStringLiteral(" Installing beta application version ") + BetaVersion
                                          : QStringLiteral(" Installing ") + AppTitle + QStringLiteral(" version ") +
                                                ReleaseVersion;
    if (!handOverReason_.isEmpty()) {
        handedOver_ = true;
        config::showMessage(caption,
                            QStringLiteral("The new version of ") + AppTitle +
                                QStringLiteral(" has been downloaded and verified:\n") + download + QStringLiteral("\n\n") +
                                handOverReason_ +
                                QStringLiteral(", so it is not installed automatically. Please put it in place of:\n") +
                                config::PrgDir().GetProgramFolder() + ExeName(),
                            config::MsgKind::Information);
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(download).absolutePath()));
        return;
    }
    const QString replaced = ExeName() + (BetaBuild ? QStringLiteral(".beta") : QStringLiteral(".outdated"));
    const QString question =
        AppTitle + QStringLiteral(" will now be closed in order to allow the new version to be installed. ") +
        QStringLiteral("After installation, the new version will be started automatically.") +
        QStringLiteral("\n\nHint:\nFor any roll-back purposes, the installation process saves your current version of ") +
        ExeName() + QStringLiteral(" and ") + AppName + QStringLiteral(".ini to folder: ") + config::AppBackupsFolder() +
        QStringLiteral("\n\nDo you want to continue?");
    if (config::showMessage(caption, question, config::MsgKind::Question, config::mbYes | config::mbNo,
                            config::mrYes) != config::mrYes)
        return;
    // The main window does not close over a modal window.
    window().EndModal(config::mrOk);
    if (!CloseMainWindow || !CloseMainWindow()) {
        dropOffer();
        return;
    }
    const QString marker = config::PrgDir().GetWritableRoot() + kUpgradeMarker;
    {
        // A marker that cannot be written only changes the next start's words.
        QSaveFile file(marker);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QFile::encodeName(replaced) + '\n');
            file.commit();
        }
    }
    const qint64 pid = InstallWaitsFor > 0 ? InstallWaitsFor : QCoreApplication::applicationPid();
    const QStringList arguments = {QStringLiteral("-c"),
                                   QString::fromLatin1(kInstallScript),
                                   QStringLiteral("tandex-install"),
                                   QString::number(pid),
                                   QString::number(InstallWaitSeconds),
                                   ExeName(),
                                   QFileInfo(download).fileName(),
                                   replaced,
                                   marker};
    if (!StartDetached || !StartDetached(QStringLiteral("/bin/sh"), arguments, config::PrgDir().GetProgramFolder())) {
        QFile::remove(marker);
        access::FZLog(QStringLiteral("UP2: the installation could not be started"));
        config::showMessage(caption, QStringLiteral("The installation could not be started!"), config::MsgKind::Error);
    }
}

bool TF_Update::FormCloseQuery() {
    // A running transfer is stopped first; its window then shows why.
    if (UpdateState == usChecking || UpdateState == usDownloading) {
        UpdateAbort = true;
        return false;
    }
    // Closing the window is its Cancel: a downloaded program is not left
    // behind unasked.
    dropOffer();
    return true;
}

void TF_Update::FormClose(int height) {
    config::AppSettings().UFH = height;
}

}  // namespace tandex::print
