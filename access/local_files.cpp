#include "access/local_files.h"

#include "access/error_texts.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tandex::access {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

bool isFolder(const QString& path) {
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Follows a chain of symbolic links to the name that is really written.
// A dangling link leads to the name it points at, which is then created.
int resolveLinks(const QString& path, QString& real) {
    real = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(native(real).constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
        char buf[4096];
        const ssize_t n = ::readlink(native(real).constData(), buf, sizeof buf - 1);
        if (n < 0) return FZCodeForPath(errno, real);
        const QString target = QFile::decodeName(QByteArray(buf, n));
        real = target.startsWith(QLatin1Char('/')) ? target
                                                   : folderOf(real) + QLatin1Char('/') + target;
    }
    return FZCodeFromErrno(ELOOP);
}

// New files are hidden beside their target until they replace it.
const QString kNewFilePrefix = QStringLiteral(".~tdx");
constexpr int kNameAttempts = 100;

// folder/prefix + six random letters or digits + suffix.
QString uniqueCandidate(const QString& folder, const QString& prefix, const QString& suffix) {
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString random;
    for (int i = 0; i < 6; ++i)
        random += QLatin1Char(chars[QRandomGenerator::global()->bounded(int(sizeof chars - 1))]);
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return base + prefix + random + suffix;
}

mode_t processUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) return mode_t(value);
            }
    }
    return 022;
}

}  // namespace

namespace {
constexpr qint64 kEpochDifference = 11644473600;  // seconds from 1601 to 1970
}

timespec FZTimespecOf(FileTime time) {
    // A time of 0 leaves the file's own as it is, as it always did on the
    // platform these times come from.
    if (time == 0) return timespec{0, UTIME_OMIT};
    const qint64 ticks = qint64(std::min<FileTime>(time, FileTime(INT64_MAX)));
    timespec ts{};
    ts.tv_sec = time_t(ticks / 10000000 - kEpochDifference);
    ts.tv_nsec = long(ticks % 10000000) * 100;
    return ts;
}

FileTime FZFileTimeOf(qint64 seconds, qint64 nanoseconds) {
    const qint64 s = seconds + kEpochDifference;
    if (s < 0) return 0;
    return FileTime(s) * 10000000u + FileTime(nanoseconds / 100);
}

int FZCodeForPath(int err, const QString& path) {
    if (err == ENOENT && path.contains(QLatin1Char('/')) && !isFolder(folderOf(path)))
        return errPathNotFound;
    return FZCodeFromErrno(err);
}

int FZOpenLocalRead(const QString& path, int& fd) {
    fd = -1;
    // Only a regular file is opened: opening a FIFO for reading would
    // release a writer waiting on the other end, and a device may act on
    // being opened at all.
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0) return FZCodeForPath(errno, path);
    if (!S_ISREG(st.st_mode)) return errAccessDenied;
    // Non-blocking, so that a FIFO swapped in after the check cannot hang
    // the open.
    const int f = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (f < 0) return FZCodeForPath(errno, path);
    if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(f);
        return errAccessDenied;
    }
    // The flag stays: reads of a regular file never heed it, and a folder
    // comparison opens tens of thousands of files.
    fd = f;
    return 0;
}

int TFZLocalWrite::begin(const QString& target) {
    abandon();
    QString real;
    if (const int r = resolveLinks(target, real)) return r;
    struct stat st;
    const bool exists = ::stat(native(real).constData(), &st) == 0;
    if (exists) {
        // Writing replaces the file, so whatever may not be written must be
        // refused here: the rename would otherwise go through.
        if (!S_ISREG(st.st_mode)) return errAccessDenied;
        if (!(st.st_mode & S_IWUSR)) return errAccessDenied;  // read-only attribute
        if (::access(native(real).constData(), W_OK) != 0) return FZCodeForPath(errno, real);
    } else if (errno != ENOENT) {
        return FZCodeForPath(errno, real);
    } else if (!isFolder(folderOf(real))) {
        return errPathNotFound;
    }
    int fd = -1;
    QString name;
    if (const int r = FZCreateNewFile(folderOf(real), kNewFilePrefix, QString(), name, fd))
        return r;
    if (exists) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner's own files keep their owner; that is all the
            // platform allows.
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        ::fchmod(fd, 0666 & ~processUmask());
    }
    fd_ = fd;
    error_ = 0;
    target_ = real;
    newName_ = name;
    return 0;
}

int TFZLocalWrite::write(const void* buffer, qint64 count, qint64& done) {
    done = 0;
    if (fd_ < 0) return errInvalidHandle;
    const char* p = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (!error_) error_ = FZCodeFromErrno(errno);
            return FZCodeFromErrno(errno);
        }
        done += n;
    }
    return 0;
}

int TFZLocalWrite::seek(qint64 position) {
    if (fd_ < 0) return errInvalidHandle;
    if (position < 0) return errInvalidParameter;
    if (::lseek(fd_, off_t(position), SEEK_SET) < 0) return FZCodeFromErrno(errno);
    return 0;
}

int TFZLocalWrite::commit(bool keepPartial) {
    if (fd_ < 0) return errInvalidHandle;
    int result = keepPartial ? 0 : error_;
    if (!result && ::fdatasync(fd_) != 0 && errno != EINVAL) result = FZCodeFromErrno(errno);
    if (!result && timesSet_) {
        const timespec times[2] = {FZTimespecOf(accessTime_), FZTimespecOf(writeTime_)};
        if (::futimens(fd_, times) != 0) result = FZCodeFromErrno(errno);
    }
    timesSet_ = false;
    const int fd = fd_;
    fd_ = -1;
    // A file without a name can only be linked while it is open; it gets
    // its name after the last write, so a crash before leaves nothing.
    if (!result && newName_.isEmpty())
        result = FZNameNewFile(fd, folderOf(target_), kNewFilePrefix, QString(), newName_);
    // Some file systems (NFS) report failed writes only at close.
    if (::close(fd) != 0 && !result && errno != EINTR) result = FZCodeFromErrno(errno);
    if (!result && ::rename(native(newName_).constData(), native(target_).constData()) != 0)
        result = FZCodeForPath(errno, target_);
    if (result && !newName_.isEmpty()) ::unlink(native(newName_).constData());
    newName_.clear();
    target_.clear();
    error_ = 0;
    return result;
}

void TFZLocalWrite::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!newName_.isEmpty()) ::unlink(native(newName_).constData());
    newName_.clear();
    target_.clear();
    error_ = 0;
    timesSet_ = false;
}

int FZMakeLocalFolders(const QString& localPath, const QString& root) {
    struct stat st;
    if (::stat(native(root).constData(), &st) != 0) return FZCodeForPath(errno, root);
    if (!S_ISDIR(st.st_mode)) return errPathNotFound;
    const qsizetype last = localPath.lastIndexOf(QLatin1Char('/'));
    qsizetype from = root.size();
    while (from <= last) {
        const qsizetype slash = localPath.indexOf(QLatin1Char('/'), from);
        if (slash < 0) break;
        from = slash + 1;
        if (slash == 0) continue;
        const QString folder = localPath.left(slash);
        if (isFolder(folder)) continue;
        if (::mkdir(native(folder).constData(), 0777) != 0)
            return errno == EEXIST ? errAlreadyExists : FZCodeForPath(errno, folder);
    }
    return 0;
}

int FZCreateUniqueFile(const QString& folder, const QString& prefix, const QString& suffix,
                       QString& name, int& fd, bool readable) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = uniqueCandidate(folder, prefix, suffix);
        const int f = ::open(native(candidate).constData(),
                             (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (f >= 0) {
            name = candidate;
            fd = f;
            return 0;
        }
        if (errno != EEXIST) return FZCodeForPath(errno, candidate);
    }
    return errFileExists;
}

int FZCreateNewFile(const QString& folder, const QString& prefix, const QString& suffix,
                    QString& name, int& fd, bool readable) {
    name.clear();
    // NFS and SMB mounts, and FUSE file systems whose server lacks it, refuse
    // a file without a name (EOPNOTSUPP; kernels before 3.11 say EISDIR).
    // There the file is named from the start, as QSaveFile does, and a crash
    // in the middle of a write leaves it behind. Any other failure meets the
    // named create again, which reports it with the name it tried. Without
    // /proc the file could not be linked later.
    static const bool canLink = ::access("/proc/self/fd", F_OK) == 0;
    if (canLink) {
        const int f = ::open(native(folder).constData(),
                             O_TMPFILE | (readable ? O_RDWR : O_WRONLY) | O_CLOEXEC, 0600);
        if (f >= 0) {
            fd = f;
            return 0;
        }
    }
    return FZCreateUniqueFile(folder, prefix, suffix, name, fd, readable);
}

int FZNameNewFile(int fd, const QString& folder, const QString& prefix, const QString& suffix,
                  QString& name) {
    if (!name.isEmpty()) return 0;
    // Linking the descriptor itself needs a privilege; its /proc link does not.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = uniqueCandidate(folder, prefix, suffix);
        const QByteArray target = native(candidate);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW)) {
            if (errno != EEXIST) return FZCodeForPath(errno, candidate);
            continue;
        }
        name = candidate;
        return 0;
    }
    return errFileExists;
}

int FZWriteAll(int fd, const char* data, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, data + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FZCodeFromErrno(errno);
        done += n;
    }
    return 0;
}

QString FZSystemTempFolder() {
    static std::mutex mutex;
    static QString folder;
    static std::unique_ptr<QTemporaryDir> fallback;
    std::lock_guard lock(mutex);
    if (!folder.isEmpty()) return folder;
    const passwd* pw = ::getpwuid(::geteuid());
    const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
    const QString candidate = QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
                              QLatin1String("/tandex-") + user;
    ::mkdir(native(candidate).constData(), 0700);
    struct stat st;
    // Someone else's folder, or a link planted under our name, would let
    // another user read or swap our temporary files.
    if (::lstat(native(candidate).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::geteuid() && ::chmod(native(candidate).constData(), 0700) == 0) {
        folder = candidate + QLatin1Char('/');
    } else {
        fallback = std::make_unique<QTemporaryDir>(
            QStandardPaths::writableLocation(QStandardPaths::TempLocation) +
            QLatin1String("/tandex-XXXXXX"));
        folder =
            fallback->isValid() ? fallback->path() + QLatin1Char('/') : QStringLiteral("/tmp/");
    }
    return folder;
}

}  // namespace tandex::access
