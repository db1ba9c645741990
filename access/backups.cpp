#include "access/backups.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <mutex>
#include <new>
#include <vector>

namespace tandex::access {

namespace {

constexpr int kSeriesLength = 9;

struct BackupUnit {
    std::mutex mutex;
    std::function<void(qint64)> transferStart;
};

BackupUnit& unit() {
    static BackupUnit u;
    return u;
}

void announceTransfer(qint64 size) {
    std::function<void(qint64)> hook;
    {
        std::lock_guard lock(unit().mutex);
        hook = unit().transferStart;
    }
    if (hook) hook(size);
}

void showBackupError(const void* owner, const QString& message, int code) {
    if (!owner) return;
    config::showMessage(QStringLiteral(" Backup Error! "),
                        message + QLatin1Char('\n') + FZErrorText(-code, eoNone),
                        config::MsgKind::Error);
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString suffixOf(int digit) {
    return digit ? QStringLiteral(".~%1~").arg(digit) : QStringLiteral(".bak");
}

// Clears the place of a backup name: a copy there moves one place up the
// series (to next), or goes when it is the last place or the ".bak" file.
int prepare(int slot, const QString& name, const QString& next, const void* owner) {
    const QString failed = QStringLiteral("Failed to create the backup file!");
    if (const int r = FZPointSlotAt(slot, name)) {
        showBackupError(owner, failed, r);
        return r;
    }
    if (FZExists(slot) != 0) return 0;
    quint32 attributes = 0;
    if (FZGetAttributes(slot, attributes) == 0 && (attributes & FZAttrReadOnly)) {
        if (const int r = FZSetAttributes(slot, FZAttrArchive)) {
            showBackupError(owner,
                            QStringLiteral("Failed to remove the read-only attribute from "
                                           "backup file:\n") +
                                name,
                            r);
            return r;
        }
    }
    const int r = next.isEmpty() ? FZDelete(slot, false) : FZRename(slot, next);
    if (r) showBackupError(owner, failed, r);
    return r;
}

int writeLocalCopy(const QString& target, TFZMemStream& content) {
    TFZLocalWrite writer;
    if (const int r = writer.begin(target)) return r;
    content.seek(0);
    std::vector<char> buf(1 << 20);
    for (;;) {
        const qint64 n = content.read(buf.data(), qint64(buf.size()));
        if (n <= 0) break;
        qint64 done = 0;
        if (const int r = writer.write(buf.data(), n, done)) return r;
    }
    return writer.commit();
}

// A local file is copied with its bytes and last-write time: a backup that
// only named the file would be empty.
int copyLocalFile(int slot, const QString& target) {
    QString source;
    if (!FZLocalPathOf(FZSlotPath(slot), source)) return errShareNotFound;
    struct stat st {};
    if (::stat(QFile::encodeName(source).constData(), &st) != 0)
        return FZCodeForPath(errno, source);
    announceTransfer(st.st_size);
    int in = -1;
    if (const int r = FZOpenLocalRead(source, in)) return r;
    TFZLocalWrite writer;
    int result = writer.begin(target);
    char buf[1 << 16];
    while (!result) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = FZCodeFromErrno(errno);
        if (n <= 0) break;
        qint64 done = 0;
        result = writer.write(buf, n, done);
    }
    ::fstat(in, &st);
    ::close(in);
    if (result) return result;
    writer.setTimes(FZFileTimeOf(st.st_atim.tv_sec, st.st_atim.tv_nsec),
                    FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
    return writer.commit();
}

// The newest backup of a local file beside it is a second name of the same
// bytes: moving the file away first would leave its path empty until the new
// file is renamed over it, and a crash in between would lose it. Writes
// replace the file by renaming a new one over it, so the backup keeps the old
// bytes. A symbolic link is followed to the file whose bytes are kept; where
// no link can be made (no links on the file system, another one behind a
// symbolic link) the bytes are copied.
int linkLocalBackup(int slot, const QString& backup) {
    QString source, target;
    if (!FZLocalPathOf(FZSlotPath(slot), source) || !FZLocalPathOf(backup, target))
        return errShareNotFound;
    if (::linkat(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                 QFile::encodeName(target).constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    const int err = errno;
    if (err == EXDEV || err == EPERM || err == EOPNOTSUPP || err == EMLINK || err == ENOSYS)
        return copyLocalFile(slot, target);
    return FZCodeForPath(err, err == ENOENT ? source : target);
}

}  // namespace

void FZSetTransferStartHook(std::function<void(qint64)> hook) {
    std::lock_guard lock(unit().mutex);
    unit().transferStart = std::move(hook);
}

int FZDownloadToFile(int slot, const QString& localName) {
    if (const int r = FZCheckSlot(slot)) return r;
    QString target;
    if (!FZLocalPathOf(localName, target)) return errShareNotFound;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind == akLocal) return copyLocalFile(slot, target);
    if (kind != akFtp && kind != akArchive && kind != akCloud) return errInvalidPath;
    qint64 size = 0;
    TFZFileInfo info;
    if (FZGetFileTime(slot, size, info) != 0) size = 0;
    announceTransfer(size);
    try {
        TFZMemStream content;
        if (const int r = FZKindHandler(kind).fetch(slot, content)) return r;
        return writeLocalCopy(target, content);
    } catch (...) {
        // Memory or the swap file ran out.
        return FZStreamErrorCode(std::current_exception());
    }
}

int FZMakeBackup(int slot, const void* owner, QString* made, bool enabled) {
    if (made) made->clear();
    if (const int r = FZCheckSlot(slot)) return r;
    const config::TAppSettings& settings = config::AppSettings();
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (!enabled) return 0;
    if ((kind == akArchive && !settings.BKArcEnable) || (kind == akFtp && !settings.BKFTPEnable) ||
        (kind == akCloud && !settings.BKDBOEnable) || kind == akHttp)
        return 0;

    const QString ownPath = FZSlotPath(slot);
    const QString name = ownPath.mid(ownPath.lastIndexOf(QLatin1Char('/')) + 1);
    QString base = ownPath;
    if (kind == akCloud && settings.BKUseDBOFolder)
        base = withSlash(settings.BKDBOFolder) + name;
    else if (kind == akArchive && settings.BKUseArcFolder)
        base = withSlash(settings.BKArcFolder) + name;
    else if (kind == akFtp && settings.BKUseFTPFolder)
        base = withSlash(settings.BKFTPFolder) + name;
    else if (settings.BKUseFolder)
        base = withSlash(settings.BKFolder) + name;
    const bool copy = (kind == akFtp && settings.BKUseFTPFolder) ||
                      (kind == akArchive && settings.BKUseArcFolder) ||
                      (kind == akCloud && settings.BKUseDBOFolder) || settings.BKUseFolder;

    int result = 0;
    if (settings.BKUseSequence) {
        for (int digit = kSeriesLength; digit >= 1 && !result; --digit)
            result = prepare(slot, base + suffixOf(digit),
                             digit == kSeriesLength ? QString() : base + suffixOf(digit + 1),
                             owner);
    } else {
        result = prepare(slot, base + suffixOf(0), QString(), owner);
    }
    // Back to the file itself, with its own class and kind, whatever
    // happened: a remote slot must find its connection again.
    const int back = FZPointSlotAt(slot, ownPath);
    if (result) return result;
    if (back) return back;

    const QString newest = base + suffixOf(settings.BKUseSequence ? 1 : 0);
    if (copy)
        result = FZDownloadToFile(slot, newest);
    else if (kind == akLocal)
        result = linkLocalBackup(slot, newest);
    else
        result = FZRename(slot, newest);
    if (result) showBackupError(owner, QStringLiteral("Failed to create the backup file!"), result);
    else if (made) *made = newest;
    return result;
}

}  // namespace tandex::access
