#include "archive/archive_utils.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>

namespace tandex::archive {

namespace {

QByteArray nativeName(const QString& name) {
    return QFile::encodeName(name);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool validDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool isDirectory(const QString& path) {
    struct stat st {};
    return ::stat(nativeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(nativeName(path).constData(), &st) == 0;
}

QString upperAscii(QString s) {
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
    return s;
}

// The Windows attribute word of a directory entry as Linux shows it.
int32_t attributesOf(const QString& fileName, const struct stat& st) {
    int32_t attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
        attr |= faArchive;
    if (!(st.st_mode & S_IWUSR)) attr |= faReadOnly;
    if (fileName.startsWith(u'.')) attr |= faHidden;
    return attr;
}

// An entry is searched only when its hidden, system and folder bits are all
// among the wanted attributes; plain files always are.
bool attributesWanted(int32_t entryAttr, int32_t wanted) {
    return (entryAttr & ~wanted & (faHidden | faSysFile | faDirectory)) == 0;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Sorted entries of a folder (without "." and ".."), with their lstat data;
// links stay links.
std::vector<std::pair<QString, struct stat>> listFolder(const QString& folder) {
    std::vector<std::pair<QString, struct stat>> out;
    const QByteArray native = nativeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(native.constData()));
    if (!dir) return out;
    const int dfd = ::dirfd(dir.get());
    while (dirent* e = ::readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        out.emplace_back(QFile::decodeName(e->d_name), st);
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

constexpr auto kCrcTables = [] {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
        for (int k = 1; k < 8; ++k)
            t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
    return t;
}();

}  // namespace

// Date-time type --------------------------------------------------------------

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       TDateTime& out) {
    if (!validDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return false;
    out = static_cast<double>(daysFromCivil(year, month, day)) + kUnixEpochDate +
          (hour * 3600 + minute * 60 + second) / 86400.0;
    return true;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTimeParts p;
    const double days = std::floor(value);
    int64_t ms = std::llround((value - days) * 86400000.0);
    ms = std::clamp<int64_t>(ms, 0, 86399999);
    civilFromDays(static_cast<int64_t>(days) - static_cast<int64_t>(kUnixEpochDate), p.Year,
                  p.Month, p.Day);
    const int64_t secs = ms / 1000;
    p.Hour = static_cast<int>(secs / 3600);
    p.Minute = static_cast<int>(secs / 60 % 60);
    p.Second = static_cast<int>(secs % 60);
    return p;
}

// Paths -----------------------------------------------------------------------

QString AppendBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(u'/')) return path;
    return path + u'/';
}

TPathKind PathKind(const QString& name) {
    if (name.startsWith(u'/') || name.startsWith(u'\\') ||
        (name.size() >= 2 && name[1] == u':' && name[0].unicode() < 0x80 && name[0].isLetter()))
        return TPathKind::AbsolutePath;
    if (name.contains(u'/') || name.contains(u'\\')) return TPathKind::RelativePath;
    return TPathKind::NoPath;
}

qsizetype NthBackslashPos(const QString& path, int n) {
    int seen = 0;
    for (qsizetype i = 0; i < path.size(); ++i)
        if (path[i] == u'/' && ++seen == n) return i;
    return path.size();
}

TFileSpecParts SplitFileSpec(const QString& spec) {
    TFileSpecParts parts;
    const qsizetype last = spec.lastIndexOf(u'/');
    parts.Name = spec.mid(last + 1);
    const QString folder = spec.left(last + 1);
    if (folder.startsWith(QStringLiteral("//"))) {
        const qsizetype fourth = NthBackslashPos(folder, 4);
        parts.Drive = folder.left(fourth);
        parts.Path = folder.mid(fourth + 1);
    } else {
        parts.Path = folder;
    }
    return parts;
}

QStringList SplitFolders(const QString& path) {
    return path.split(u'/', Qt::SkipEmptyParts);
}

QString StripDrive(const QString& name) {
    const TFileSpecParts parts = SplitFileSpec(name);
    return parts.Path + parts.Name;
}

QString StripLeadingDotDots(const QString& name) {
    qsizetype at = 0;
    while (name.size() - at >= 3 && name[at] == u'.' && name[at + 1] == u'.' &&
           (name[at + 2] == u'/' || name[at + 2] == u'\\'))
        at += 3;
    return name.mid(at);
}

void ToBackslashes(QString& path) {
    path.replace(u'/', u'\\');
}

void ToForwardSlashes(QString& path) {
    path.replace(u'\\', u'/');
}

QString ToShortPathName(const QString& name) {
    const TFileSpecParts parts = SplitFileSpec(name);
    QString result = parts.Drive;
    if (!parts.Drive.isEmpty() || name.startsWith(u'/')) result += u'/';
    for (const QString& folder : SplitFolders(parts.Path)) {
        if (!isDirectory(result + folder)) throw EArcException(QStringLiteral("Path not found"));
        result += folder + u'/';
    }
    // The file itself: a folder of that name is no file.
    if (parts.Name.isEmpty() || !exists(result + parts.Name) || isDirectory(result + parts.Name))
        throw EArcFileNotFound();
    return result + parts.Name;
}

bool CreateFolderPath(const QString& path) {
    if (path.isEmpty() || isDirectory(path)) return !path.isEmpty();
    // A share's host and share name are not folders we could make.
    int n = path.startsWith(QStringLiteral("//")) ? 5 : path.startsWith(u'/') ? 2 : 1;
    for (;; ++n) {
        const qsizetype pos = NthBackslashPos(path, n);
        const QString prefix = path.left(pos);
        if (!prefix.isEmpty() && !isDirectory(prefix))
            ::mkdir(nativeName(prefix).constData(), 0777);
        if (pos >= path.size()) break;
    }
    return isDirectory(path);
}

// Files, drives and temporary files -------------------------------------------

void FindMatchingFiles(const QString& mask, int32_t attributes, QStringList& list, bool recurse) {
    const qsizetype last = mask.lastIndexOf(u'/');
    const QString folder = mask.left(last + 1);
    const QString namePart = mask.mid(last + 1);
    const QString pattern = upperAscii(namePart);
    const auto entries = listFolder(folder);
    for (const auto& [name, st] : entries) {
        const int32_t attr = attributesOf(name, st);
        if (!attributesWanted(attr, attributes)) continue;
        if (MatchWildcard(upperAscii(name), 1, pattern, 1))
            list.append(folder + name + (S_ISDIR(st.st_mode) ? QStringLiteral("/") : QString()));
    }
    if (!recurse) return;
    const QString base = folder.isEmpty() ? QString() : AppendBackslash(folder);
    for (const auto& [name, st] : entries) {
        // lstat data: a link to a folder is not a folder here, so a link
        // back up the tree cannot make the walk loop.
        if (S_ISDIR(st.st_mode) &&
            attributesWanted(attributesOf(name, st), attributes | faDirectory))
            FindMatchingFiles(base + name + u'/' + namePart, attributes, list, true);
    }
}

bool MatchWildcard(const QString& text, qsizetype textPos, const QString& pattern,
                   qsizetype patternPos) {
    if (text.isEmpty()) return pattern.isEmpty();
    if (patternPos == 1 && (pattern == QStringLiteral("*.*") || pattern == QStringLiteral("*")))
        return true;
    if (pattern.isEmpty()) return textPos == text.size() + 1;
    // One remembered star is enough: a later star can always absorb what an
    // earlier one would, so retrying only the last star finds every match
    // the full search would, without its exponential cost.
    const qsizetype tlen = text.size(), plen = pattern.size();
    qsizetype t = std::max<qsizetype>(textPos - 1, 0), p = std::max<qsizetype>(patternPos - 1, 0);
    qsizetype starP = -1, starT = 0;
    for (;;) {
        if (p < plen && pattern[p] == u'*') {
            if (p == plen - 1) return true;
            starP = p++;
            starT = t;
            continue;
        }
        if (t >= tlen && p >= plen) return true;
        if (p < plen && t < tlen && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++t;
            ++p;
            continue;
        }
        if (starP >= 0 && starT < tlen) {
            t = ++starT;
            p = starP + 1;
            continue;
        }
        return false;
    }
}

namespace {

// The owner's process id in the name lets a later start tell the files of
// a killed program from those of one still running.
QString tempPrefix() {
    return QStringLiteral("VMS%1-").arg(::getpid());
}

QString tempFolderFor(const QString& folder) {
    return !folder.isEmpty() && isDirectory(folder) ? folder : QDir::tempPath();
}

}  // namespace

QString CreateTempFileIn(const QString& folder, int* fd) {
    QByteArray name = nativeName(AppendBackslash(tempFolderFor(folder)) + tempPrefix() + QStringLiteral("XXXXXX"));
    const int handle = ::mkostemp(name.data(), O_CLOEXEC);  // mode 0600, exclusive
    if (handle < 0) return {};
    if (fd)
        *fd = handle;
    else
        ::close(handle);
    return QFile::decodeName(name);
}

int CreateNewFileIn(const QString& folder, QString& name) {
    name.clear();
    // A file without a name can only be linked later through /proc. NFS,
    // SMB and many FUSE mounts refuse one (EOPNOTSUPP, EISDIR on old
    // kernels): the file is named from the start there.
    static const bool canLink = ::access("/proc/self/fd", F_OK) == 0;
    if (canLink) {
        const int fd = ::open(nativeName(tempFolderFor(folder)).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
    }
    int fd = -1;
    name = CreateTempFileIn(folder, &fd);
    return name.isEmpty() ? -1 : fd;
}

bool NameNewFile(int fd, const QString& folder, QString& name) {
    if (!name.isEmpty()) return true;
    // Linking the descriptor itself needs a privilege; its /proc link does not.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const QString base = AppendBackslash(tempFolderFor(folder)) + tempPrefix();
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString candidate = base;
        for (int i = 0; i < 6; ++i)
            candidate += QLatin1Char(chars[QRandomGenerator::global()->bounded(int(sizeof chars - 1))]);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, nativeName(candidate).constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            name = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

int RemoveStaleTempFiles(const QString& folder) {
    if (folder.isEmpty() || !isDirectory(folder)) return 0;
    int removed = 0;
    const QString base = AppendBackslash(folder);
    const QStringList names = QDir(folder).entryList({QStringLiteral("VMS*-??????")},
                                                     QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : names) {
        bool ok = false;
        const qint64 pid = entry.mid(3, entry.size() - 10).toLongLong(&ok);
        if (!ok || pid <= 0 || entry.at(entry.size() - 7) != u'-') continue;
        // A process that exists, also another user's (EPERM), may still own it.
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        const QByteArray path = nativeName(base + entry);
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlink(path.constData()) == 0) ++removed;
    }
    return removed;
}

QString DriveLetterOf(const QString&) {
    return QStringLiteral("A");
}

bool IsRemovableDrive(const QString&) {
    return false;
}

int64_t DriveFreeSpace(const QString& path) {
    QString folder = path;
    if (!isDirectory(folder)) {
        const qsizetype last = folder.lastIndexOf(u'/');
        folder = last < 0    ? QStringLiteral(".")
                 : last == 0 ? QStringLiteral("/")
                             : folder.left(last);
    }
    struct statvfs vfs {};
    if (::statvfs(nativeName(folder).constData(), &vfs) != 0) return -1;
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

int32_t SetVolumeLabel(const QString&, const QString&) {
    return kErrorNotSupported;
}

int32_t WriteSpanVolumeLabel(const QString&, int) {
    return kErrorNotSupported;
}

bool GetFileAttrEx(const QString& name, TFileAttrInfo& info) {
    struct stat st {};
    if (name.isEmpty() || ::stat(nativeName(name).constData(), &st) != 0) return false;
    struct tm local {};
    const time_t mtime = st.st_mtim.tv_sec;
    if (!::localtime_r(&mtime, &local)) return false;
    TDateTime when = 0;
    TryEncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec & ~1, when);
    info.Time = when;
    info.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    info.Attr = attributesOf(name.mid(name.lastIndexOf(u'/') + 1), st);
    info.Mode = DosAttrToUnixMode(info.Attr);
    return true;
}

int64_t GetFileSize64(const QString& name) {
    TFileAttrInfo info;
    return GetFileAttrEx(name, info) ? info.Size : -1;
}

TDateTime GetFileDateTime(const QString& name) {
    TFileAttrInfo info;
    GetFileAttrEx(name, info);
    return info.Time;
}

bool SetFileDateTime(const QString& name, TDateTime dateTime) {
    const uint32_t dos = DateTimeToDosDateTime(dateTime);
    if (dos == 0) return false;
    const int64_t seconds = LocalToUnixTime(DosDateTimeToDateTime(dos >> 16, dos & 0xFFFF));
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    return ::utimensat(AT_FDCWD, nativeName(name).constData(), times, 0) == 0;
}

bool SetFileAttr(const QString& name, int32_t attributes) {
    const QByteArray native = nativeName(name);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    const mode_t wanted = (attributes & faReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    return wanted == mode || ::chmod(native.constData(), wanted) == 0;
}

int PercentOf(int64_t total, int64_t done) {
    if (total <= 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(static_cast<__int128>(done) * 100 / total);
}

// CRC-32, dates and attributes --------------------------------------------------

const uint32_t* Crc32Table() {
    return kCrcTables[0].data();
}

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
    // Eight bytes per step through eight derived tables; the result is the
    // same as the one-table byte loop.
    const auto* p = static_cast<const uint8_t*>(data);
    while (length >= 8) {
        uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                             uint32_t(p[3]) << 24);
        const uint32_t hi =
            uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        crc = kCrcTables[7][lo & 0xFF] ^ kCrcTables[6][(lo >> 8) & 0xFF] ^
              kCrcTables[5][(lo >> 16) & 0xFF] ^ kCrcTables[4][lo >> 24] ^
              kCrcTables[3][hi & 0xFF] ^ kCrcTables[2][(hi >> 8) & 0xFF] ^
              kCrcTables[1][(hi >> 16) & 0xFF] ^ kCrcTables[0][hi >> 24];
        p += 8;
        length -= 8;
    }
    while (length--)
        crc = kCrcTables[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t Crc32UpdateByte(uint8_t byte, uint32_t crc) {
    return kCrcTables[0][(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

uint32_t Crc32OfString(QByteArrayView bytes) {
    return ~Crc32Update(0xFFFFFFFFu, bytes.data(), static_cast<size_t>(bytes.size()));
}

int32_t TimeZoneBiasSeconds() {
    const time_t now = ::time(nullptr);
    struct tm local {};
    if (!::localtime_r(&now, &local)) return 0;
    return static_cast<int32_t>(-local.tm_gmtoff);
}

TDateTime UnixTimeToLocal(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    if (!::localtime_r(&t, &local) || local.tm_year + 1900 < 1970) return 0;
    TDateTime out = 0;
    if (!TryEncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, std::min(local.tm_sec, 59), out))
        return 0;
    return out;
}

int64_t LocalToUnixTime(TDateTime dateTime) {
    TDateTimeParts p = DecodeDateTime(dateTime);
    if (dateTime < kUnixEpochDate) {
        p.Year = 1970;
        p.Month = 1;
        p.Day = 1;
    }
    struct tm local {};
    local.tm_year = p.Year - 1900;
    local.tm_mon = p.Month - 1;
    local.tm_mday = p.Day;
    local.tm_hour = p.Hour;
    local.tm_min = p.Minute;
    local.tm_sec = p.Second;
    local.tm_isdst = -1;  // the rule in force on that date decides
    return static_cast<int64_t>(::mktime(&local));
}

TDateTime DosDateTimeToDateTime(uint16_t date, uint16_t time) {
    TDateTime day = 0;
    if (!TryEncodeDateTime((date >> 9) + 1980, (date >> 5) & 15, date & 31, 0, 0, 0, day)) return 0;
    const int hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
    if (hour > 23 || minute > 59 || second > 59) return day;
    return day + (hour * 3600 + minute * 60 + second) / 86400.0;
}

uint32_t DateTimeToDosDateTime(TDateTime dateTime) {
    const TDateTimeParts p = DecodeDateTime(dateTime);
    if (p.Year < 1980 || p.Year > 2107) return 0;
    const uint32_t date = uint32_t(p.Year - 1980) << 9 | uint32_t(p.Month) << 5 | uint32_t(p.Day);
    const uint32_t time = uint32_t(p.Hour) << 11 | uint32_t(p.Minute) << 5 | uint32_t(p.Second / 2);
    return date << 16 | time;
}

uint32_t DosAttrToUnixMode(int32_t attr) {
    uint32_t mode = (attr & faReadOnly) ? 0444 : 0644;
    if (attr & faDirectory) mode |= 040100;
    return mode;
}

int32_t UnixModeToDosAttr(uint32_t mode) {
    int32_t attr = 0;
    switch (mode & 0170000) {
        case 0010000:
        case 0020000:
        case 0060000:
        case 0120000:
        case 0140000:
            attr = faSysFile;
            break;
        case 0040000:
            attr = faDirectory;
            break;
        default:
            break;
    }
    if (!(mode & 0200)) attr |= faReadOnly;
    return attr;
}

}  // namespace tandex::archive
