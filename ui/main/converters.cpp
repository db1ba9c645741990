#include "converters.h"

#include "access/access_slots.h"
#include "access/file_masks.h"
#include "access/file_times.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/list_fields.h"
#include "config/os_errors.h"
#include "config/prg_dir.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace tandex::ui {

using access::FZNoSlot;
using config::GetListField;

namespace {

// How long a cancelled converter gets to end on SIGTERM before its group
// is killed.
constexpr int kTerminateGraceMs = 1000;
constexpr int kWaitStepMs = 50;
constexpr int kGroupPollMs = 10;

bool isNewPaneName(int pane, const QString& name) {
    return name == (pane == 1 ? QLatin1String("NewL.txt") : QLatin1String("NewR.txt"));
}

bool startsWithAt(const QString& text, qsizetype at, QLatin1String word) {
    return QStringView(text).mid(at).startsWith(word, Qt::CaseInsensitive);
}

// Whether a process group still has a member that runs. Members that
// ended but wait for a parent to collect them do no harm and are not
// counted: an orphan waits for whoever adopted it, which may take long.
bool groupRuns(pid_t group) {
    if (::kill(-group, 0) == -1 && errno == ESRCH) return false;
    const QStringList ids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& id : ids) {
        if (id.isEmpty() || !id.at(0).isDigit()) continue;
        QFile stat(QStringLiteral("/proc/") + id + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid pgrp ...": the name may hold anything, so
        // the fields are counted from its last ")".
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() < 3 || fields[2].toLongLong() != group) continue;
        if (fields[0] != "Z" && fields[0] != "X") return true;
    }
    return false;
}

// Waits up to the grace period for the group's members to end; the
// shell itself is collected on the way.
bool waitForGroup(QProcess& process, pid_t group) {
    QElapsedTimer clock;
    clock.start();
    while (groupRuns(group)) {
        if (clock.elapsed() >= kTerminateGraceMs) return false;
        if (process.state() != QProcess::NotRunning)
            process.waitForFinished(kGroupPollMs);
        else
            QThread::msleep(kGroupPollMs);
    }
    return true;
}

// Ends the converter and everything it started: it leads its own process
// group, so children that outlive the shell (and would go on writing the
// output the other pane reads next) go with it.
void stopProcessGroup(QProcess& process) {
    const pid_t group = pid_t(process.processId());
    if (group <= 0) return;
    ::kill(-group, SIGTERM);
    if (!waitForGroup(process, group)) {
        ::kill(-group, SIGKILL);
        waitForGroup(process, group);
    }
    process.waitForFinished(kTerminateGraceMs);
}

bool cancelRequested() {
    return access::FZAbortRequested() || QCoreApplication::closingDown();
}

}  // namespace

// ---- entries and command lines ----------------------------------------------

TPlugInEntry TPlugInEntry::FromRecord(const QString& record) {
    TPlugInEntry e;
    const QString r = record + QLatin1Char(';');
    e.Name = GetListField(r, 0);
    e.Masks = GetListField(r, 1);
    e.Parameters = GetListField(r, 2);
    e.Location = GetListField(r, 3);
    e.UseExitCode = GetListField(r, 5) == QLatin1String("1");
    e.SuccessCode = GetListField(r, 6);
    e.Enabled = GetListField(r, 7) == QLatin1String("1");
    e.SecondSuccessCode = GetListField(r, 8);
    return e;
}

bool TPlugInEntry::successCodes(int& first, int& second) const {
    bool ok = false;
    first = SuccessCode.trimmed().toInt(&ok);
    if (!ok) return false;
    if (SecondSuccessCode.isEmpty()) {
        second = first;
        return true;
    }
    second = SecondSuccessCode.trimmed().toInt(&ok);
    return ok;
}

QString ShellQuote(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString BuildPlugInParameters(const QString& templ, const QString& source, const QString& output,
                              const QString& appDir) {
    static const QLatin1String src("$srcfile"), dst("$dstfile"), app("$appdir");
    QString folder = appDir;
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);

    QString result;
    bool namesOutput = false;
    qsizetype i = 0;
    while (i < templ.size()) {
        if (templ.at(i) != QLatin1Char('$')) {
            result += templ.at(i++);
        } else if (startsWithAt(templ, i, src)) {
            result += ShellQuote(source);
            i += src.size();
        } else if (startsWithAt(templ, i, dst)) {
            result += ShellQuote(output);
            namesOutput = true;
            i += dst.size();
        } else if (startsWithAt(templ, i, app)) {
            i += app.size();
            // "$appdir\" is the older spelling of "$appdir/".
            const bool separator = i < templ.size() && (templ.at(i) == QLatin1Char('/') ||
                                                        templ.at(i) == QLatin1Char('\\'));
            if (separator) ++i;
            result += ShellQuote(separator ? folder + QLatin1Char('/') : folder);
        } else {
            result += templ.at(i++);
        }
    }
    if (!namesOutput) result += QLatin1String(" > ") + ShellQuote(output);
    return result;
}

QString ResolvePlugInProgram(const QString& location) {
    const QString program = config::PrgDir().ExpandAppDir(location);
    if (program.isEmpty()) return {};
    if (!program.contains(QLatin1Char('/'))) return QStandardPaths::findExecutable(program);
    const QFileInfo info(program);
    return info.isFile() ? info.absoluteFilePath() : QString();
}

// ---- selecting an entry -------------------------------------------------------

bool TPlugIns::selectPlugIn(int pane, const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const auto& entries = config::AppSettings().PIConfig;
    for (int i = 0; i < int(entries.size()); ++i) {
        const QString& record = entries[size_t(i)];
        if (record.isEmpty() || GetListField(record, 7) != QLatin1String("1")) continue;
        QString masks = GetListField(record, 1);
        masks.replace(QLatin1Char(','), QLatin1Char(';'));
        access::FZSetMasks(masks, QString(), QString());
        if (access::FZMatchFileMasks(name)) {
            if (engine::PaneStores::IsPane(pane)) engine::paneStores().PlugInIndex[size_t(pane)] = i;
            return true;
        }
    }
    return false;
}

bool TPlugIns::matchPlugIn(int pane, const QString& path) {
    if (engine::PaneStores::IsPane(pane)) engine::paneStores().PlugInIndex[size_t(pane)] = -1;
    if (config::AppSettings().PIDisableAll) return false;
    return selectPlugIn(pane, path);
}

// ---- running a converter ------------------------------------------------------

int TPlugIns::runPlugIn(int pane, int& kind, int& result) {
    exitCode_ = 0;
    errorCode_ = 0;
    lastCommand_.clear();
    auto& stores = engine::paneStores();
    const auto& entries = config::AppSettings().PIConfig;
    const int index = engine::PaneStores::IsPane(pane) ? stores.PlugInIndex[size_t(pane)] : -1;
    if (index < 0 || index >= int(entries.size()) || entries[size_t(index)].isEmpty()) {
        result = prNotFound;
        return FZNoSlot;
    }
    const TPlugInEntry entry = TPlugInEntry::FromRecord(entries[size_t(index)]);

    // A success code that is no number is the entry's fault, told before
    // anything runs; the stored entry stays as the user wrote it.
    int first = 0, second = 0;
    if (entry.UseExitCode && !entry.successCodes(first, second)) {
        result = prBadEntry;
        return FZNoSlot;
    }

    QString source;
    if (stores.SideAccessKinds[size_t(pane)] == access::akLocal) {
        source = stores.SideFileName(pane);
    } else if (const int r = access::FZSaveToTempFile(stores.SideSlots[size_t(pane)], false, QString(),
                                                      source)) {
        errorCode_ = r;
        result = prAccessFailed;
        return FZNoSlot;
    }

    // An output left by an earlier run must never pass for this one's.
    const QString output = access::FZTempFolder() + QLatin1String(kPlugInOutputName);
    int slot = FZNoSlot;
    int r = access::FZOpen(output, access::twWriteAccess, false, slot);
    const int closed = slot != FZNoSlot ? access::FZClose(slot) : 0;
    if (r || closed) {
        errorCode_ = r ? r : closed;
        result = prAccessFailed;
        return FZNoSlot;
    }

    const QString parameters =
        BuildPlugInParameters(entry.Parameters, source, output, config::PrgDir().ProgramFolder);
    result = execPlugInCommand(entry, entry.Location, parameters);
    if (result != prSuccess) return FZNoSlot;

    slot = FZNoSlot;
    if (access::FZOpen(output, access::twReadAccess, false, slot)) {
        result = prNoOutput;
        return FZNoSlot;
    }
    int detected = access::fkAnsi, byRule = 0;
    qint64 size = 0;
    access::FileTime written = 0;
    if (access::FZDetectFileKind(slot, detected, byRule) ||
        access::FZGetLastWriteTime(slot, size, written) || size == 0) {
        access::FZClose(slot);
        result = prNoOutput;
        return FZNoSlot;
    }
    // Binary, image or plug-in kinds would not read as lines.
    kind = detected < access::fkAnsi ? int(access::fkAnsi) : detected;
    return slot;
}

int TPlugIns::execPlugInCommand(const TPlugInEntry& entry, const QString& program,
                                const QString& parameters) {
    exitCode_ = 0;
    const QString resolved = ResolvePlugInProgram(program);
    if (resolved.isEmpty()) return prNotFound;

    lastCommand_ = ShellQuote(resolved) + QLatin1Char(' ') + parameters;
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), lastCommand_});
    // Set on the process only: the program's own current folder is shared
    // by every thread.
    process.setWorkingDirectory(QFileInfo(resolved).absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    // Nobody reads the pipes, so a chatty converter must not fill them.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted()) {
        exitCode_ = config::ResultCodeOfErrno(QFileInfo(process.program()).isExecutable() ? EAGAIN : ENOENT);
        return prStartFailed;
    }

    running_ = true;
    struct ClearRunning {
        bool& flag;
        ~ClearRunning() { flag = false; }
    } clear{running_};
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(0)) {
        if (cancelRequested()) {
            stopProcessGroup(process);
            return prCancelled;
        }
        config::WaitWithMessages(kWaitStepMs);
    }
    // Qt reports the signal's number as the exit code of a crash.
    exitCode_ = process.exitStatus() == QProcess::CrashExit ? 128 + process.exitCode() : process.exitCode();

    int first = 0, second = 0;
    if (entry.UseExitCode) {
        if (!entry.successCodes(first, second)) return prBadEntry;
        if (exitCode_ != first && exitCode_ != second) return prBadExitCode;
    }
    return prSuccess;
}

int TPlugIns::openErrorCode(int result) const {
    switch (result) {
        case prSuccess:
        case prCancelled:
            return 0;
        case prNotFound:
            return kPlugInNotFoundError;
        case prStartFailed:
            return exitCode_;
        case prBadExitCode:
            return kPlugInExitCodeError;
        case prBadEntry:
            return kPlugInEntryError;
        case prAccessFailed:
            return errorCode_;
        default:
            return kPlugInEmptyError;
    }
}

QString TPlugIns::errorText(int code, int pane) const {
    const auto& entries = config::AppSettings().PIConfig;
    const int index = engine::PaneStores::IsPane(pane) ? engine::paneStores().PlugInIndex[size_t(pane)] : -1;
    const TPlugInEntry entry = index >= 0 && index < int(entries.size())
                                   ? TPlugInEntry::FromRecord(entries[size_t(index)])
                                   : TPlugInEntry{};
    switch (code) {
        case kPlugInNotFoundError:
            return QStringLiteral("Plug-In not found: ") + entry.Name;
        case kPlugInExitCodeError:
            return QStringLiteral("Plug-In returned error code: ") + QString::number(exitCode_);
        case kPlugInEmptyError:
            return QStringLiteral("Plug-In output is empty!");
        case kPlugInEntryError:
            return QStringLiteral("Plug-In \"%1\": the success codes \"%2\" and \"%3\" must be whole numbers")
                .arg(entry.Name, entry.SuccessCode, entry.SecondSuccessCode);
        default:
            return {};
    }
}

TPlugIns& plugIns() {
    static TPlugIns instance;
    return instance;
}

// ---- saving a converted pane --------------------------------------------------

bool SaveInPlaceNeedsSaveAs(int pane) {
    const auto& stores = engine::paneStores();
    if (!engine::PaneStores::IsPane(pane)) return false;
    const QString& name = stores.FileNames[size_t(pane)];
    return name.isEmpty() || isNewPaneName(pane, name) ||
           (stores.FileKinds[size_t(pane)] & 0x7F) == access::fkPlugin;
}

QString SaveDefaultName(int pane) {
    const auto& stores = engine::paneStores();
    if (!engine::PaneStores::IsPane(pane)) return {};
    const QString& name = stores.FileNames[size_t(pane)];
    if (isNewPaneName(pane, name)) return {};
    const int index = stores.PlugInIndex[size_t(pane)];
    const auto& entries = config::AppSettings().PIConfig;
    if ((stores.FileKinds[size_t(pane)] & 0x7F) != access::fkPlugin || index < 0 ||
        index >= int(entries.size()))
        return name;
    QString entryName = GetListField(entries[size_t(index)], 0);
    entryName.replace(QLatin1Char(' '), QLatin1Char('_'));
    return name + QLatin1Char('.') + entryName;
}

}  // namespace tandex::ui
