#include "external_programs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/path_text.h"
#include "config/sys_helpers.h"

extern char** environ;

namespace tandex::settings {

namespace {

constexpr int kWaitStepMs = 50;
// xdg-open's status for a file that does not exist.
constexpr int kXdgFileMissing = 2;

const QString kNoAssociation = QStringLiteral("There is no application associated with the given filename extension");

// A variable's command split into words; nothing for a blank one.
QStringList commandOf(const char* variable) {
    return QProcess::splitCommand(qEnvironmentVariable(variable));
}

// The files the program copied before it could open them: FTP, cloud and
// archive members have no local path an outside program could read.
bool needsLocalCopy(const QString& path) {
    const access::TFZLocation location = access::FZClassifyPath(path);
    if (location == access::locFtp || location == access::locCloud) return true;
    if (!access::FZFindArchiveInPath(path, 0)) return false;
    QString inner;
    access::FZArchiveInnerPath(path, inner);
    return !inner.isEmpty();
}

// Waits for xdg-open's status while the windows stay alive; it tells why
// it failed, where the desktop services would not.
QString openAssociated(const QString& path) {
    QProcess process;
    process.setProgram(QStringLiteral("xdg-open"));
    process.setArguments({path});
    process.setStandardInputFile(QProcess::nullDevice());
    // Nobody reads the pipes: a talkative opener must not fill them.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) return kNoAssociation;
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(0))
        config::WaitWithMessages(kWaitStepMs);
    if (process.exitStatus() != QProcess::NormalExit) return kNoAssociation;
    switch (process.exitCode()) {
        case 0:
            return {};
        case kXdgFileMissing:
            return QStringLiteral("FILE_NOT_FOUND");
        default:
            return kNoAssociation;
    }
}

}  // namespace

TExternalProgram EffectiveExternalProgram(int n) {
    const auto& s = config::AppSettings();
    const QString* setting = n == 1 ? &s.TEExtEditor : n == 2 ? &s.TEExtEditor2 : nullptr;
    if (!setting) return {};
    if (!setting->isEmpty()) return {*setting, {}};
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        QStringList words = commandOf(variable);
        if (words.isEmpty()) continue;
        const QString program = words.takeFirst();
        return {program, words};
    }
    return {QStringLiteral("xdg-open"), {}};
}

QString ExternalViewerCaption(int n) {
    QString caption = QStringLiteral("Open file in external Editor/Viewer ") + QString::number(n);
    QString name = config::ExtractNamePart(EffectiveExternalProgram(n).program);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (!name.isEmpty()) caption += QStringLiteral(" (") + name + QLatin1Char(')');
    return caption;
}

int StartDetached(const QString& program, const QStringList& arguments) {
    QString resolved = program;
    if (!program.contains(QLatin1Char('/'))) {
        resolved = QStandardPaths::findExecutable(program);
        if (resolved.isEmpty()) return ENOENT;
    }
    std::vector<QByteArray> words;
    words.reserve(size_t(arguments.size()) + 1);
    words.push_back(QFile::encodeName(resolved));
    for (const QString& a : arguments) words.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program lives on when this one ends or its terminal closes, and it
    // gets the signals this program ignores (SIGPIPE, SIGXFSZ) back.
    sigset_t defaults, noMask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    sigemptyset(&noMask);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    // Not the PATH-searching variant: a file without an executable format
    // must fail, not be handed to a shell.
    const int err = posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) return err;
    // Collected when it ends, so that no finished program lingers as a zombie.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

QString StartFailureReason(int err, const QString& program) {
    if (err == ENOENT) {
        const QString folder = config::ExtractPathNoDelim(program);
        const bool folderMissing = program.contains(QLatin1Char('/')) && !folder.isEmpty() &&
                                   !QFileInfo(folder).isDir();
        return folderMissing ? QStringLiteral("PATH_NOT_FOUND") : QStringLiteral("FILE_NOT_FOUND");
    }
    if (err == ENOEXEC) return QStringLiteral("BAD EXE FORMAT");
    return QString::fromLocal8Bit(std::strerror(err));
}

QString RunExternalProgram(int kind, const QString& path) {
    if (kind != ekProgram1 && kind != ekProgram2 && kind != ekAssociated) return {};
    const TExternalProgram external = kind == ekAssociated ? TExternalProgram{} : EffectiveExternalProgram(kind);
    QString file = path;
    if (needsLocalCopy(path)) {
        QString copy;
        if (const int code = access::FZDownloadToTemp(path, true, QString(), copy))
            return access::FZErrorText(-code, access::eoNone);
        file = copy;
    }
    const QString head = QStringLiteral("Could not start ") + external.program + QStringLiteral(" - Error: \n");
    if (kind == ekAssociated) {
        const QString reason = openAssociated(file);
        return reason.isEmpty() ? QString() : head + reason;
    }
    const int err = StartDetached(external.program, external.arguments + QStringList{file});
    return err == 0 ? QString() : head + StartFailureReason(err, external.program);
}

}  // namespace tandex::settings
