#include "access/folder_totals.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/services.h"

#include <dirent.h>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tandex::access {

namespace {

// Reads the tree through descriptors relative to their folder, so no path
// is ever rebuilt and the depth is not bound by the longest path the
// kernel accepts. One descriptor stays open per level of the current path.
class LocalWalk {
public:
    explicit LocalWalk(TFZFolderTotals& totals) : totals_(totals) {}

    // Takes over the folder's descriptor.
    void enter(int fd, dev_t dev, ino_t ino) {
        onPath_.push_back({dev, ino});
        walk(fd);
        onPath_.pop_back();
    }
    int result() const { return result_; }

private:
    struct FolderId {
        dev_t dev;
        ino_t ino;
    };

    void fail(int err) {
        if (!result_) result_ = FZCodeFromErrno(err);
    }

    // A link back to a folder we are inside would never end.
    bool onPath(const struct stat& st) const {
        for (const FolderId& id : onPath_)
            if (id.dev == st.st_dev && id.ino == st.st_ino) return true;
        return false;
    }

    void walk(int fd) {
        config::eventPump().processEvents();
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            fail(errno);
            ::close(fd);
            return;
        }
        for (;;) {
            if (FZAbortRequested()) break;
            errno = 0;
            const dirent* e = ::readdir(dir);
            if (!e) {
                if (errno) fail(errno);
                break;
            }
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            struct stat st;
            // Links (and file systems that do not say what an entry is) are
            // looked through; a link whose target is missing counts itself.
            const bool follow = e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
            if ((!follow || ::fstatat(fd, name, &st, 0) != 0) &&
                ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone since it was listed
            if (!S_ISDIR(st.st_mode)) {
                ++totals_.Files;
                totals_.Bytes += st.st_size;
                continue;
            }
            if (onPath(st)) continue;
            ++totals_.Folders;
            const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
            if (sub < 0) {
                fail(errno);
                continue;
            }
            enter(sub, st.st_dev, st.st_ino);
        }
        ::closedir(dir);
    }

    TFZFolderTotals& totals_;
    std::vector<FolderId> onPath_;
    int result_ = 0;
};

bool isDotName(const QString& name) {
    return name == QLatin1String(".") || name == QLatin1String("..");
}

}  // namespace

int FZLocalFolderTotals(const QString& folder, TFZFolderTotals& totals) {
    FZResetAbort();
    totals = TFZFolderTotals{};
    QString local;
    if (!FZLocalPathOf(folder, local)) return errShareNotFound;
    while (local.size() > 1 && local.endsWith(QLatin1Char('/')))
        local.chop(1);
    if (local.isEmpty()) local = QStringLiteral(".");
    const int fd = ::open(QFile::encodeName(local).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? errPathNotFound : FZCodeFromErrno(errno);
    // The folder's own attributes and times come from the folder itself.
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
        totals.Attributes = FZLocalAttributes(sx.stx_mode, local.mid(local.lastIndexOf(QLatin1Char('/')) + 1));
        totals.LastWriteTime = FZFileTimeOf(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
        totals.LastAccessTime = FZFileTimeOf(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
        totals.CreationTime = (sx.stx_mask & STATX_BTIME)
                                  ? FZFileTimeOf(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                  : FZFileTimeOf(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return FZCodeFromErrno(err);
    }
    LocalWalk walk(totals);
    walk.enter(fd, st.st_dev, st.st_ino);
    return walk.result();
}

int FZRemoteFolderTotals(int slot, const QString& folder, TFZFolderTotals& totals) {
    totals = TFZFolderTotals{};
    totals.Folders = -1;
    FZResetAbort();
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZAccessKind kind = FZSlotAccessKind(slot);
    if (kind != akFtp && kind != akArchive && kind != akCloud) return errInvalidPath;
    TFZKindHandler& lister = FZKindHandler(kind);
    const QString ownPath = FZSlotPath(slot);

    // Folders still to list, each with the identities of the folders on
    // its path; a stack rather than recursion, since a server decides how
    // deep its tree goes.
    struct Pending {
        QString path;
        std::vector<QString> onPath;
    };
    std::vector<Pending> pending{
        {folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'), {}}};
    int result = 0;
    bool first = true;
    TFZDDir listing;
    while (!pending.empty() && !FZAbortRequested()) {
        Pending current = std::move(pending.back());
        pending.pop_back();
        config::eventPump().processEvents();
        listing.Count = 0;
        int r = FZSetPath(slot, current.path);
        if (!r) r = lister.listFolder(slot, listing);
        if (r) {
            if (first) result = r;
            first = false;
            continue;
        }
        const int count = int(std::min<size_t>(size_t(std::max(listing.Count, 0)),
                                               listing.Items.size()));
        if (first && count > 0) {
            totals.LastWriteTime = listing.Items[0].Time;
            totals.Attributes = listing.Items[0].Attr;
        }
        first = false;
        ++totals.Folders;
        if (!listing.Identity.isEmpty()) current.onPath.push_back(listing.Identity);
        for (int i = 0; i < count; ++i) {
            const TFZItem& item = listing.Items[size_t(i)];
            if (item.Attr & FZAttrDirectory) {
                // "." or a name with a separator would list a folder again
                // or somewhere else: a listing is not to be trusted.
                if (item.Name.isEmpty() || isDotName(item.Name) ||
                    item.Name.contains(QLatin1Char('/')))
                    continue;
                // A link back to a folder on the way down would be walked
                // for ever: neither entered nor counted.
                if (!item.Identity.isEmpty() &&
                    std::find(current.onPath.begin(), current.onPath.end(), item.Identity) !=
                        current.onPath.end())
                    continue;
                Pending next{current.path + item.Name + QLatin1Char('/'), current.onPath};
                if (!item.Identity.isEmpty()) next.onPath.push_back(item.Identity);
                pending.push_back(std::move(next));
            } else {
                ++totals.Files;
                totals.Bytes += std::max<qint64>(item.Size, 0);
            }
        }
    }
    FZSetPath(slot, ownPath);
    return result;
}

}  // namespace tandex::access
