#include "online_update.h"

#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QUrl>

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
    QString line;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) line = QString::fromLatin1(file.readLine(kMaxVersionLine)).trimmed();
    }
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

int TF_Update::Download(bool showErrors, const QString& remotePath, const QString& localName) {
    ErrorText.clear();
    const QString target = localPath(localName);
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
        if (Download(true, QStringLiteral("version-check.php"), AppName + QStringLiteral(".ver")) != 0) {
            View.Action2.Visible = true;
            viewChanged();
            if (shown) ShowUpdateWindow();
        } else {
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

void TF_Update::dropOffer() {
    QFile::remove(config::PrgDir().GetProgramFolder() + ExeName() + QStringLiteral(".update"));
    if (UpdateState != usNothingToDo && UpdateState != usFailed && UpdateState != usBadVersion)
        UpdateState = usAborted;
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
