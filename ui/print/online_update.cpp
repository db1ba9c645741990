#include "online_update.h"

#include <QDir>
#include <QFile>
#include <QCursor>
#include <QGuiApplication>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/ini_store.h"
#include "config/services.h"
#include "config/settings_file.h"

namespace tandex::print {

namespace {

// Left by the updater just before it replaces the program; its presence at
// the next start tells a self-update from an installation by other means.
const QString kUpgradeMarker = QStringLiteral("tdxupgrade.tdxu");

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
        const bool upgraded = s.AFIniVersion.isEmpty() || IsNewerVersion(s.AFIniVersion, running, valid);
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

void TUpdateServices::AfterUpgrade(const QString& name, const QString& displayName) {
    F_Update().AfterUpgrade(name, displayName);
}

}  // namespace tandex::print
