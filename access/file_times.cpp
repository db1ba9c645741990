#include "access/file_times.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/local_files.h"
#include "access/locations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QFile>
#include <atomic>
#include <cerrno>

namespace tandex::access {

namespace {

constexpr int errSetAttributes = 501;
constexpr qint64 kTicksPerSecond = 10000000;
constexpr qint64 kTicksPerMs = 10000;
// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr qint64 kEpochMs = 11644473600000;

std::atomic<int> dateFormat{0};
std::atomic<qint64> tolerance{2 * kTicksPerSecond + 1};
std::atomic<qint64> hourOffset{qint64(3600) * kTicksPerSecond};

QString nameOf(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

void fillInfo(const struct statx& st, const QString& name, TFZFileInfo& info) {
    info.Attributes = FZLocalAttributes(st.stx_mode, name);
    info.LastWriteTime = FZFileTimeOf(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
    info.LastAccessTime = FZFileTimeOf(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
    info.CreationTime = (st.stx_mask & STATX_BTIME)
                            ? FZFileTimeOf(st.stx_btime.tv_sec, st.stx_btime.tv_nsec)
                            : FZFileTimeOf(st.stx_ctime.tv_sec, st.stx_ctime.tv_nsec);
    const quint64 size = S_ISDIR(st.stx_mode) ? 0 : st.stx_size;
    info.SizeHigh = quint32(size >> 32);
    info.SizeLow = quint32(size & 0xFFFFFFFFu);
}

bool localPath(int slot, QString& local) {
    return FZLocalPathOf(FZSlotPath(slot), local);
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

FileTime nowFileTime() {
    return FileTime(QDateTime::currentMSecsSinceEpoch() + kEpochMs) * kTicksPerMs;
}

}  // namespace

quint32 FZLocalAttributes(unsigned mode, const QString& name) {
    quint32 attr = S_ISDIR(mode) ? FZAttrDirectory : FZAttrArchive;
    if (!(mode & S_IWUSR)) attr |= FZAttrReadOnly;
    if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") &&
        name != QLatin1String(".."))
        attr |= FZAttrHidden;
    return attr;
}

int FZGetFileTime(int slot, qint64& size, TFZFileInfo& info) {
    size = 0;
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    TFZFileInfo got;
    if (kind == akLocal) {
        const int fd = FZSlotHandle(slot);
        if (fd < 0) return errInvalidHandle;
        struct statx st {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
            return FZCodeFromErrno(errno);
        fillInfo(st, nameOf(FZSlotPath(slot)), got);
    } else if (kind == akFtp || kind == akArchive || kind == akCloud || kind == akHttp) {
        if (const int r = FZKindHandler(kind).fileInfo(slot, got)) {
            // A web file whose HEAD failed still has its unreadable time.
            if (kind == akHttp) info = got;
            return r;
        }
    } else {
        return errInvalidPath;
    }
    info = got;
    size = got.size();
    return 0;
}

int FZGetFileDetails(int slot, qint64& size, FileTime& lastWrite, quint32& attributes,
                     FileTime& creation, FileTime& lastAccess) {
    TFZFileInfo info;
    const int r = FZGetFileTime(slot, size, info);
    if (r) info = TFZFileInfo{};
    size = info.size();
    lastWrite = info.LastWriteTime;
    attributes = info.Attributes;
    creation = info.CreationTime;
    lastAccess = info.LastAccessTime;
    return r;
}

int FZGetLastWriteTime(int slot, qint64& size, FileTime& lastWrite) {
    TFZFileInfo info;
    const int r = FZGetFileTime(slot, size, info);
    if (r) info = TFZFileInfo{};
    size = info.size();
    lastWrite = info.LastWriteTime;
    return r;
}

int FZGetPathFileTime(const QString& path, qint64& size, TFZFileInfo& info) {
    size = 0;
    const TFZLocation location = FZClassifyPath(path);
    // Remote files answer without a download; a local file needs its handle.
    const bool general = location == locFtp || location == locSftp || location == locScp ||
                         location == locWeb;
    int slot = FZNoSlot;
    if (const int r = FZOpen(path, general ? twGenAccess : twReadAccess, true, slot)) return r;
    const int result = FZGetFileTime(slot, size, info);
    FZClose(slot);
    return result;
}

int FZGetPathLastWriteTime(const QString& folder, const QString& name, qint64& size,
                           FileTime& lastWrite) {
    TFZFileInfo info;
    const int r = FZGetPathFileTime(FZJoinPath(folder, name, QLatin1Char('/')), size, info);
    lastWrite = r ? 0 : info.LastWriteTime;
    if (r) size = 0;
    return r;
}

int FZGetFileInformation(int slot, TFZFileInfo& info) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind != akLocal && kind != akFtp && kind != akArchive && kind != akCloud)
        return errInvalidPath;
    qint64 size = 0;
    return FZGetFileTime(slot, size, info);
}

int FZSetFileTime(int slot, FileTime creation, FileTime lastAccess, FileTime lastWrite) {
    if (const int r = FZCheckSlot(slot)) return r;
    if ((lastWrite >> 32) == 0) lastWrite = nowFileTime();
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind != akLocal) return FZKindHandler(kind).setFileTime(slot, creation, lastAccess, lastWrite);
    const TFZAccessMode mode = FZSlotMode(slot);
    if (mode == twWriteAccess) return FZSetCommitTimes(slot, lastAccess, lastWrite);
    if (mode != twGenWrAccess) return errInvalidAccessCode;
    QString local;
    if (!localPath(slot, local)) return errShareNotFound;
    const timespec times[2] = {FZTimespecOf(lastAccess), FZTimespecOf(lastWrite)};
    if (::utimensat(AT_FDCWD, native(local).constData(), times, 0) != 0)
        return FZCodeForPath(errno, local);
    return 0;
}

int FZGetAttributes(int slot, quint32& attributes) {
    attributes = 0;
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind != akLocal) return FZKindHandler(kind).getAttributes(slot, attributes);
    QString local;
    if (!localPath(slot, local)) return errShareNotFound;
    struct stat st {};
    if (::stat(native(local).constData(), &st) != 0) return FZCodeForPath(errno, local);
    attributes = FZLocalAttributes(st.st_mode, nameOf(local));
    return 0;
}

int FZSetAttributes(int slot, quint32 attributes) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind != akLocal) return FZKindHandler(kind).setAttributes(slot, attributes);
    QString local;
    if (!localPath(slot, local)) return errSetAttributes;
    const QByteArray name = native(local);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return errSetAttributes;
    const mode_t mode = (attributes & FZAttrReadOnly) ? (st.st_mode & ~mode_t(S_IWUSR))
                                                      : (st.st_mode | S_IWUSR);
    if (::chmod(name.constData(), mode & 07777) != 0) return errSetAttributes;
    return 0;
}

QString FZAttrText(qint64 attributes) {
    if (attributes < 0) return QString();
    QString text(5, QLatin1Char('-'));
    text[0] = QLatin1Char(' ');
    if (attributes & FZAttrArchive) text[1] = QLatin1Char('a');
    if (attributes & FZAttrReadOnly) text[2] = QLatin1Char('r');
    if (attributes & FZAttrHidden) text[3] = QLatin1Char('h');
    if (attributes & 0x4) text[4] = QLatin1Char('s');
    return text;
}

int FZSetDateFormat(int index) {
    if (index < 0 || index > 3) return -1;
    return dateFormat.exchange(index);
}

QDateTime FZFileTimeToDateTime(FileTime time) {
    if (time >> 63) time = 0;
    const qint64 ms = qint64(time / kTicksPerMs) - kEpochMs;
    // Whole seconds: the milliseconds are cleared.
    return QDateTime::fromMSecsSinceEpoch(ms - ((ms % 1000) + 1000) % 1000, Qt::LocalTime);
}

FileTime FZDateTimeToFileTime(const QDateTime& time) {
    const qint64 ms = time.toMSecsSinceEpoch() + kEpochMs;
    return ms < 0 ? 0 : FileTime(ms) * kTicksPerMs;
}

QString FZFileTimeText(FileTime time) {
    return FZFileTimeTextIn(time, dateFormat.load());
}

QString FZFileTimeTextIn(FileTime time, int format) {
    if ((time >> 63) || time == FZUnreadableTime || format < 0 || format > 3) return QString();
    static const char* const patterns[] = {"dd.MM.yyyy HH:mm:ss", "yyyy.MM.dd HH:mm:ss",
                                           "yyyy-MM-dd HH:mm:ss", "MM/dd/yyyy HH:mm:ss"};
    const QDateTime local = FZFileTimeToDateTime(time);
    return local.toString(QLatin1String(patterns[format])).left(23);
}

int FZCompareFileTimes(FileTime a, FileTime b) {
    const qint64 d = qint64(b - a);
    const qint64 distance = d < 0 ? -d : d;
    const qint64 tol = tolerance.load();
    if (distance <= tol) return 0;
    const qint64 offset = hourOffset.load();
    if (offset != 0) {
        const qint64 off = distance - offset;
        if ((off < 0 ? -off : off) <= tol) return 0;
    }
    return d >= 0 ? 1 : -1;
}

void FZSetTimeTolerance(int seconds, int hours) {
    tolerance.store(qint64(seconds) * kTicksPerSecond + 1);
    hourOffset.store(qint64(hours) * 3600 * kTicksPerSecond);
}

}  // namespace tandex::access
