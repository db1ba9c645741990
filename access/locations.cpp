#include "access/locations.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <mutex>

namespace tandex::access {

namespace {

// Undoes the octal escapes ("\040" for a blank) of mountinfo fields.
QString unescapeField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.append(
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

// Host and path on the host of a network mount's source: "//host/share"
// (SMB), "host:/export" or "[v6addr]:/export" (NFS), "user@host:path"
// (SSH).
void splitSource(TFZMount& m) {
    QString s = m.source;
    if (m.fsType == QLatin1String("cifs") || m.fsType == QLatin1String("smb3")) {
        s.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!s.startsWith(QLatin1String("//"))) return;
        const qsizetype slash = s.indexOf(QLatin1Char('/'), 2);
        m.host = s.mid(2, slash < 0 ? -1 : slash - 2);
        m.sharePath = slash < 0 ? QStringLiteral("/") : s.mid(slash);
    } else {
        const qsizetype at = s.indexOf(QLatin1Char('@'));
        if (m.fsType == QLatin1String("fuse.sshfs") && at >= 0) s = s.mid(at + 1);
        qsizetype colon;
        if (s.startsWith(QLatin1Char('['))) {
            const qsizetype close = s.indexOf(QLatin1Char(']'));
            if (close < 0) return;
            m.host = s.mid(1, close - 1);
            colon = s.indexOf(QLatin1Char(':'), close);
        } else {
            colon = s.indexOf(QLatin1Char(':'));
            m.host = s.left(colon);
        }
        if (colon < 0) {
            m.host.clear();
            return;
        }
        m.sharePath = s.mid(colon + 1);
        if (!m.sharePath.startsWith(QLatin1Char('/'))) m.sharePath.prepend(QLatin1Char('/'));
    }
    while (m.sharePath.size() > 1 && m.sharePath.endsWith(QLatin1Char('/')))
        m.sharePath.chop(1);
}

bool underFolder(const QString& path, const QString& folder, Qt::CaseSensitivity cs) {
    if (folder == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
    return path.startsWith(folder, cs) &&
           (path.size() == folder.size() || path[folder.size()] == QLatin1Char('/'));
}

struct MountCache {
    std::mutex mutex;
    QString source = QStringLiteral("/proc/self/mountinfo");
    int fd = -1;
    bool loaded = false;
    std::vector<TFZMount> mounts;

    ~MountCache() {
        if (fd >= 0) ::close(fd);
    }

    // The kernel flags the open table with POLLPRI after every mount or
    // unmount, so a cached table is re-read only when it changed.
    void refresh() {
        if (fd < 0) {
            fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
            loaded = false;
            if (fd < 0) {
                mounts.clear();
                return;
            }
        }
        if (loaded) {
            pollfd p{fd, POLLPRI, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR))) return;
        }
        QByteArray text;
        char buf[16384];
        ::lseek(fd, 0, SEEK_SET);
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buf, n);
        }
        mounts = FZParseMountInfo(text);
        loaded = true;
    }
};

MountCache& mountCache() {
    static MountCache cache;
    return cache;
}

// The mount that holds an absolute local path (longest mount point).
const TFZMount* mountOf(const std::vector<TFZMount>& mounts, const QString& path) {
    const TFZMount* best = nullptr;
    for (const auto& m : mounts)
        if (underFolder(path, m.mountPoint, Qt::CaseSensitive) &&
            (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    return best;
}

QString absolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) return path;
    return QDir::currentPath() + QLatin1Char('/') + path;
}

// The network mount that serves "//host/share/...", with the part of the
// path behind the mount's share path; null when none is mounted.
const TFZMount* shareMount(const std::vector<TFZMount>& mounts, const QString& path,
                           QString& rest) {
    QString host;
    if (!FZIsUncPath(path, &host)) return nullptr;
    const QString onHost = path.mid(2 + host.size());
    const TFZMount* best = nullptr;
    for (const auto& m : mounts) {
        if (m.host.isEmpty() || m.host.compare(host, Qt::CaseInsensitive) != 0) continue;
        // SMB names ignore letter case; NFS and SSH paths do not.
        const auto cs =
            m.fsType.startsWith(QLatin1String("nfs")) || m.fsType == QLatin1String("fuse.sshfs")
                ? Qt::CaseSensitive
                : Qt::CaseInsensitive;
        if (!underFolder(onHost, m.sharePath, cs)) continue;
        if (!best || m.sharePath.size() > best->sharePath.size()) best = &m;
    }
    if (best)
        rest = best->sharePath == QLatin1String("/") ? onHost : onHost.mid(best->sharePath.size());
    return best;
}

// The host of the network file system that holds a local path; empty
// when the path lies on a local file system.
QString networkHostOf(const QString& path) {
    auto& cache = mountCache();
    std::lock_guard lock(cache.mutex);
    cache.refresh();
    const TFZMount* m = mountOf(cache.mounts, absolutePath(path));
    return m ? m->host : QString();
}

}  // namespace

bool FZIsUncPath(const QString& path, QString* server) {
    if (path.size() <= 4 || !path.startsWith(QLatin1String("//")) || path[2] == QLatin1Char('/'))
        return false;
    const qsizetype slash = path.indexOf(QLatin1Char('/'), 2);
    if (slash < 0 || slash + 1 >= path.size() || path[slash + 1] == QLatin1Char('/')) return false;
    if (server) *server = path.mid(2, slash - 2);
    return true;
}

bool FZIsHttpPath(const QString& path, bool* https) {
    bool secure = false;
    bool result = false;
    if (path.size() > 6) {
        if (path.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
            result = true;
        } else if (path.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
            result = true;
            secure = true;
        }
    }
    if (https) *https = secure;
    return result;
}

bool FZIsCloudPath(const QString& path) {
    return path.size() > 6 && path.startsWith(QLatin1String("dbox://"), Qt::CaseInsensitive);
}

QString FZCloudPath(const QString& path) {
    return path.mid(7);
}

TFZLocation FZClassifyPath(const QString& path) {
    const qsizetype p = path.indexOf(QLatin1String("p://"), 0, Qt::CaseInsensitive) + 1;
    if (p == 3) {
        if (path.startsWith(QLatin1String("ft"))) return locFtp;
        if (path.startsWith(QLatin1String("sc"))) return locScp;
        return locNone;
    }
    if (p == 4) {
        if (FZIsHttpPath(path)) return locWeb;
        if (path.startsWith(QLatin1String("sft"))) return locSftp;
        return locNone;
    }
    if (p != 0) return locNone;
    if (FZIsUncPath(path)) return locShare;
    if (FZIsCloudPath(path)) return locCloud;
    if (FZIsHttpPath(path)) return locWeb;
    if (path.isEmpty()) return locNone;
    if (!networkHostOf(path).isEmpty()) return locShare;
    return locLocal;
}

QString FZPathRoot(const QString& path) {
    const TFZLocation loc = FZClassifyPath(path);
    if (loc >= locFtp) {
        // Scheme, "://", user, "@" and host; the host ends at the first "/"
        // behind the scheme.
        const qsizetype scheme = path.indexOf(QLatin1String("://"));
        const qsizetype slash = path.indexOf(QLatin1Char('/'), scheme + 3);
        return slash < 0 ? path + QLatin1Char('/') : path.left(slash + 1);
    }
    QString server;
    if (FZIsUncPath(path, &server)) {
        const qsizetype shareEnd = path.indexOf(QLatin1Char('/'), server.size() + 3);
        return shareEnd < 0 ? path + QLatin1Char('/') : path.left(shareEnd + 1);
    }
    if (loc == locShare) {
        auto& cache = mountCache();
        std::lock_guard lock(cache.mutex);
        cache.refresh();
        if (const TFZMount* m = mountOf(cache.mounts, absolutePath(path)))
            return m->mountPoint.endsWith(QLatin1Char('/')) ? m->mountPoint
                                                            : m->mountPoint + QLatin1Char('/');
    }
    return QStringLiteral("/");
}

void FZNormalizeFolder(QString& path) {
    const TFZLocation loc = FZClassifyPath(path);
    if (loc >= locFtp) {
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    } else if (!FZIsUncPath(path) && !path.startsWith(QLatin1Char('/'))) {
        path = QDir::currentPath() + QLatin1Char('/') + path;
        if (path.endsWith(QLatin1String("//"))) path.chop(1);
    }
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
}

QString FZNormalizedFolder(const QString& path) {
    QString result = path;
    FZNormalizeFolder(result);
    return result;
}

QString FZJoinPath(const QString& a, const QString& b, QChar separator) {
    const bool aHas = a.endsWith(separator);
    const bool bHas = b.startsWith(separator);
    if (aHas && bHas) return a + b.mid(1);
    if (aHas || bHas) return a + b;
    return a + separator + b;
}

std::vector<TFZMount> FZParseMountInfo(const QByteArray& text) {
    std::vector<TFZMount> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        // id parent dev root mountpoint options [optional...] - type source superoptions
        const qsizetype dash = f.indexOf("-");
        if (f.size() < 5 || dash < 6 || dash + 2 >= f.size()) continue;
        TFZMount m;
        m.mountPoint = unescapeField(f[4]);
        m.fsType = unescapeField(f[dash + 1]);
        m.source = unescapeField(f[dash + 2]);
        if (FZIsNetworkFileSystem(m.fsType)) splitSource(m);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

void FZSetMountTableSource(const QString& file) {
    auto& cache = mountCache();
    std::lock_guard lock(cache.mutex);
    if (cache.fd >= 0) ::close(cache.fd);
    cache.fd = -1;
    cache.loaded = false;
    cache.source = file.isEmpty() ? QStringLiteral("/proc/self/mountinfo") : file;
}

std::vector<TFZMount> FZMountTable() {
    auto& cache = mountCache();
    std::lock_guard lock(cache.mutex);
    cache.refresh();
    return cache.mounts;
}

bool FZIsNetworkFileSystem(const QString& type) {
    return type == QLatin1String("cifs") || type == QLatin1String("smb3") ||
           type == QLatin1String("nfs") || type == QLatin1String("nfs4") ||
           type == QLatin1String("fuse.sshfs");
}

bool FZMountOf(const QString& path, TFZMount& mount) {
    auto& cache = mountCache();
    std::lock_guard lock(cache.mutex);
    cache.refresh();
    const TFZMount* m = mountOf(cache.mounts, absolutePath(path));
    if (!m) return false;
    mount = *m;
    return true;
}

bool FZLocalPathOf(const QString& path, QString& localPath) {
    if (!FZIsUncPath(path)) {
        localPath = path;
        return true;
    }
    auto& cache = mountCache();
    std::lock_guard lock(cache.mutex);
    cache.refresh();
    QString rest;
    const TFZMount* m = shareMount(cache.mounts, path, rest);
    if (!m) return false;
    localPath = m->mountPoint == QLatin1String("/") ? rest : m->mountPoint + rest;
    if (localPath.isEmpty()) localPath = QStringLiteral("/");
    return true;
}

QString FZShareHost(const QString& path) {
    QString server;
    if (FZIsUncPath(path, &server)) return server;
    return FZClassifyPath(path) == locShare ? networkHostOf(path) : QString();
}

}  // namespace tandex::access
