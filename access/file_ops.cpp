#include "access/file_ops.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "access/ping.h"
#include "config/services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace tandex::access {

namespace {

std::atomic<int> findExFlags{0};

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The entry itself: "dir/" and "dir" name the same folder, but a trailing
// separator would make the calls look through a link.
QString entryPath(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The slot's path on this machine; false for a share that is not mounted.
bool slotLocalPath(int slot, QString& local) {
    return FZLocalPathOf(FZSlotPath(slot), local);
}

// rename(2) that never replaces an existing entry. File systems without
// the no-replace flag get a check first; the gap it leaves is theirs.
int renameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = native(from), t = native(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    struct stat st;
    if (::lstat(t.constData(), &st) == 0) return EEXIST;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

int codeOfRename(int err, const QString& to) {
    if (err == EEXIST || err == ENOTEMPTY) return errAlreadyExists;
    return FZCodeForPath(err, to);
}

int copyBytes(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FZCodeFromErrno(errno);
        if (n == 0) return 0;
        if (const int r = FZWriteAll(out, buf, n)) return r;
    }
}

// A new name beside the target for a link being moved across.
int placeLinkCopy(const QByteArray& target, const QString& folder, QString& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString candidate;
        int fd = -1;
        if (const int r = FZCreateUniqueFile(folder, QStringLiteral(".~tdx"), QString(),
                                             candidate, fd))
            return r;
        ::close(fd);
        ::unlink(native(candidate).constData());
        if (::symlink(target.constData(), native(candidate).constData()) == 0) {
            name = candidate;
            return 0;
        }
        if (errno != EEXIST) return FZCodeForPath(errno, candidate);
    }
    return errFileExists;
}

// Moves a file or link to another file system. The original goes only
// once the copy is complete, on disk and under its new name.
int moveAcross(const QString& from, const QString& to) {
    struct stat st;
    if (::lstat(native(from).constData(), &st) != 0) return FZCodeForPath(errno, from);
    const QString folder = folderOf(to);
    QString copy;
    int result = 0;
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size) + 1 > 4096 ? st.st_size + 1 : 4096, '\0');
        const ssize_t n = ::readlink(native(from).constData(), target.data(), target.size() - 1);
        if (n < 0) return FZCodeForPath(errno, from);
        target.truncate(n);
        if (const int r = placeLinkCopy(target, folder, copy)) return r;
    } else if (S_ISREG(st.st_mode)) {
        const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) return FZCodeForPath(errno, from);
        int out = -1;
        result = FZCreateUniqueFile(folder, QStringLiteral(".~tdx"), QString(), copy, out);
        if (!result) {
            result = copyBytes(in, out);
            if (::fchown(out, st.st_uid, st.st_gid) != 0) {
                // Only root may give a file away; the copy stays ours.
            }
            if (!result && ::fchmod(out, st.st_mode & 07777) != 0) result = FZCodeFromErrno(errno);
            const timespec times[2] = {st.st_atim, st.st_mtim};
            if (!result && ::futimens(out, times) != 0) result = FZCodeFromErrno(errno);
            if (!result && ::fsync(out) != 0 && errno != EINVAL) result = FZCodeFromErrno(errno);
            if (::close(out) != 0 && !result && errno != EINTR) result = FZCodeFromErrno(errno);
        }
        ::close(in);
    } else {
        // Folders and special files are not carried across.
        return FZCodeFromErrno(EXDEV);
    }
    if (!result) {
        const int err = renameNoReplace(copy, to);
        if (err) result = codeOfRename(err, to);
    }
    if (result) {
        if (!copy.isEmpty()) ::unlink(native(copy).constData());
        return result;
    }
    if (::unlink(native(from).constData()) != 0) return FZCodeForPath(errno, from);
    return 0;
}

int renameLocal(int slot, const QString& newPath) {
    const TFZLocation target = FZClassifyPath(newPath);
    if (target != locLocal && target != locShare) return errInvalidName;
    QString from, to;
    if (!slotLocalPath(slot, from) || !FZLocalPathOf(newPath, to)) return errShareNotFound;
    from = entryPath(from);
    to = entryPath(to);
    if (from == to) return 0;
    const int err = renameNoReplace(from, to);
    if (err == EXDEV) return moveAcross(from, to);
    if (err == ENOENT) {
        struct stat st;
        if (::lstat(native(from).constData(), &st) != 0) return FZCodeForPath(ENOENT, from);
    }
    return err ? codeOfRename(err, to) : 0;
}

// The trash lives under the user's data folder, which a fresh account may
// not have yet; the trash cannot be set up without it.
void makeDataHome() {
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    for (qsizetype slash = home.indexOf(QLatin1Char('/'), 1); ;
         slash = home.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString part = slash < 0 ? home : home.left(slash);
        ::mkdir(native(part).constData(), 0700);
        if (slash < 0) break;
    }
}

int deleteLocal(int slot, bool toRecycleBin) {
    QString local;
    if (!slotLocalPath(slot, local)) return errShareNotFound;
    local = entryPath(local);
    if (toRecycleBin && FZSlotLocation(slot) == locLocal) {
        makeDataHome();
        errno = 0;
        if (QFile::moveToTrash(local)) return 0;
        return errno ? FZCodeForPath(errno, local) : errAccessDenied;
    }
    if (::unlink(native(local).constData()) != 0) return FZCodeForPath(errno, local);
    return 0;
}

int removeFolderLocal(int slot) {
    QString local;
    if (!slotLocalPath(slot, local)) return errShareNotFound;
    local = entryPath(local);
    const QByteArray name = native(local);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        return ::unlink(name.constData()) == 0 ? 0 : FZCodeForPath(errno, local);
    if (::rmdir(name.constData()) != 0)
        return errno == EEXIST ? FZCodeFromErrno(ENOTEMPTY) : FZCodeForPath(errno, local);
    return 0;
}

// Opens a path for a check, runs it and closes the slot again.
template <typename Op>
int withSlot(const QString& path, Op op) {
    int slot = FZNoSlot;
    if (const int r = FZOpen(path, twGenAccess, true, slot)) return r;
    const int result = op(slot);
    FZClose(slot);
    return result;
}

}  // namespace

int FZCheckLocation(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZLocation location = FZSlotLocation(slot);
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (location == locLocal || location == locShare) {
        // Reaching a share can stall on the network for a while.
        std::optional<config::BusyCursor> busy;
        if (location == locShare) busy.emplace();
        if (location == locShare && !FZShareServerAnswers(FZSlotPath(slot))) return errShareNotFound;
        QString root;
        if (!FZLocalPathOf(FZSlotRoot(slot), root)) return errShareNotFound;
        if (kind == akArchive) return FZKindHandler(akArchive).checkLocation(slot);
        if (root.isEmpty()) root = QStringLiteral(".");
        struct stat st;
        if (::stat(native(root).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return errPathNotFound;
        return 0;
    }
    switch (kind) {
        case akFtp:
        case akCloud:
            return FZKindHandler(kind).checkLocation(slot);
        case akHttp:
            return 0;
        default:
            return errInvalidPath;
    }
}

int FZCheckPath(const QString& path) {
    return withSlot(path, FZCheckLocation);
}

int FZCheckPathAvailable(const QString& path) {
    const int result = FZCheckPath(path);
    if (result && FZKindHandler(akArchive).leadsIntoArchive(path)) return 0;
    return result;
}

int FZExists(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    switch (kind) {
        case akLocal: {
            if (FZSlotHandle(slot) >= 0) return 0;
            QString local;
            if (!slotLocalPath(slot, local)) return errShareNotFound;
            struct stat st;
            if (::lstat(native(entryPath(local)).constData(), &st) != 0)
                return FZCodeForPath(errno, entryPath(local));
            return 0;
        }
        case akFtp:
        case akArchive:
        case akCloud:
        case akHttp:
            return FZKindHandler(kind).exists(slot);
        default:
            return errInvalidPath;
    }
}

int FZExistsPath(const QString& path) {
    return withSlot(path, FZExists);
}

int FZRename(int slot, const QString& newPath) {
    if (const int r = FZCheckSlot(slot)) return r;
    if (newPath.isEmpty()) return errInvalidPath;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    switch (kind) {
        case akLocal:
            return renameLocal(slot, newPath);
        case akFtp:
        case akArchive:
        case akCloud:
            return FZKindHandler(kind).rename(slot, newPath);
        case akHttp:
            return 0;
        default:
            return errInvalidPath;
    }
}

int FZDelete(int slot, bool toRecycleBin) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    switch (kind) {
        case akLocal:
            return deleteLocal(slot, toRecycleBin);
        case akFtp:
        case akArchive:
        case akCloud:
            return FZKindHandler(kind).deleteFile(slot);
        default:
            return errInvalidPath;
    }
}

int FZDeletePath(const QString& path, bool toRecycleBin) {
    return withSlot(path, [toRecycleBin](int slot) { return FZDelete(slot, toRecycleBin); });
}

int FZRemoveFolder(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    switch (kind) {
        case akLocal:
            return removeFolderLocal(slot);
        case akFtp:
        case akArchive:
            return FZKindHandler(kind).removeFolder(slot);
        default:
            return errInvalidPath;
    }
}

bool FZDeleteFolderFiles(const QString& folder) {
    QString local;
    if (!FZLocalPathOf(folder, local)) return false;
    if (local.isEmpty()) local = QStringLiteral(".");
    DIR* dir = ::opendir(native(local).constData());
    if (!dir) return errno == ENOENT;
    const int fd = ::dirfd(dir);
    bool allDeleted = true;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        // A link to a folder counts as a folder and stays, like the folder.
        struct stat st;
        if (::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) continue;
        if (::unlinkat(fd, e->d_name, 0) != 0) allDeleted = false;
    }
    ::closedir(dir);
    return allDeleted;
}

int FZGetLocalFileTime(const QString& path, FileTime& lastWrite, qint64& attributes) {
    lastWrite = 0;
    attributes = -1;
    QString local;
    int result = 0;
    struct stat st;
    if (!FZLocalPathOf(path, local)) {
        result = errShareNotFound;
    } else {
        const QByteArray name = native(entryPath(local));
        if (::stat(name.constData(), &st) != 0 && ::lstat(name.constData(), &st) != 0)
            result = FZCodeForPath(errno, entryPath(local));
    }
    if (result) {
        // "//server" alone names a machine, not a folder: it has no time.
        if (path.startsWith(QLatin1String("//")) &&
            !path.mid(2, path.size() - 4).contains(QLatin1Char('/')))
            lastWrite = FileTimeNone;
        return result;
    }
    lastWrite = FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    attributes = FZLocalAttributes(st.st_mode, nameOf(entryPath(local)));
    return 0;
}

int FZCheckDrive(QChar) {
    return 0;
}

bool FZIsSubstDrive(QChar) {
    return false;
}

void FZSetLargeFetch(bool on) {
    findExFlags.store(on ? 2 : 0);
}

int FZFindExFlags() {
    return findExFlags.load();
}

}  // namespace tandex::access
