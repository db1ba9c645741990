#include "ui/folders/prescan.h"

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/archive_slots.h"
#include "access/cloud_files.h"
#include "access/file_times.h"
#include "access/ftp_access.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/os_errors.h"
#include "config/sys_helpers.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tandex::folders {

using namespace tandex::access;

TPreScanState& PreScan() {
    static TPreScanState state;
    return state;
}

void TPreScanState::ResetCounters() {
    PreScanFiles.store(0);
    PreScanFolders.store(0);
    PreScanBytes.store(0);
}

namespace {

struct FolderId {
    dev_t dev;
    ino_t ino;
};

struct LocalEntry {
    std::string raw;  // the name as the file system has it, for openat
    QString name;
    struct stat st;
};

bool isDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// Reads a whole listing; 0 or the errno of a failed read.
int readListing(DIR* dir, std::vector<LocalEntry>& entries) {
    const int fd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) return errno;
        if (isDotOrDotDot(e->d_name)) continue;
        LocalEntry entry;
        // Links are looked through; a link whose target is missing counts
        // as itself. An entry gone since it was listed is passed over.
        if (::fstatat(fd, e->d_name, &entry.st, 0) != 0 &&
            ::fstatat(fd, e->d_name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        entry.raw = e->d_name;
        entry.name = QFile::decodeName(e->d_name);
        entries.push_back(std::move(entry));
    }
}

// A name from a server or an archive that would name this folder again or
// reach outside it.
bool unsafeRemoteName(const QString& name) {
    return name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1Char('/'));
}

FileTime mtimeOf(const struct stat& st) {
    return FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

}  // namespace

// One walk's working state; lives on the pre-scan thread only.
struct TPreScanFolder::Walk {
    Walk(TPreScanFolder& owner, const TFolderFilter& f, engine::TScanList& l) : o(owner), filter(f), list(l) {}

    TPreScanFolder& o;
    const TFolderFilter& filter;
    engine::TScanList& list;
    TPreScanState& ps = PreScan();
    TFolderCompareState& fc = FolderCompare();
    int kind = pkLocal;
    bool ended = false;
    QString label;
    std::vector<FolderId> onPath;      // local folders being walked
    std::deque<std::vector<LocalEntry>> listings;  // by level
    size_t level = 0;
    std::vector<QString> identities;   // remote folders being walked, where known

    struct Depth {
        TPreScanState& ps;
        explicit Depth(TPreScanState& s) : ps(s) { ps.PreScanDepth.fetch_add(1); }
        ~Depth() { ps.PreScanDepth.fetch_sub(1); }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
    };

    // Tested after every entry: a stop request, a closed window and the
    // item limit end every level of the walk at once.
    bool keepGoing() {
        if (ended) return false;
        if (fc.RunState.load() == rsIdle || fc.PreScanStop.load()) {
            ended = true;
        } else if (qint64(ps.PreScanFolders.load()) + ps.PreScanFiles.load() > o.ItemLimit) {
            // The list then lacks the rest of the tree; the run must not
            // present it as a whole comparison.
            ended = true;
            fc.PreScanReport.MarkCut();
        }
        return !ended;
    }

    void throttle() {
        if (!ps.PreScanThrottle.load()) return;
        if (o.Sleep)
            o.Sleep(100);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    void addFolderItem(const QString& path) {
        if (o.pairList_)
            engine::AddScanFolderItem(qint32(path.size() + 1), label,
                                      o.OtherRoot + path.mid(o.RootPos - 1), list, path);
        else
            engine::AddScanFolderItem(o.RootPos, QString(), o.OtherRoot, list, path);
    }

    // A file that passed the attribute rule and the masks. False when the
    // size or time limits reject it.
    bool addFile(const QString& path, const QString& name, quint32 attributes, qint64 size,
                 FileTime time, bool& folderPending, bool& markDue, quint8 fileType = 0) {
        if (!filter.SizeAndTimePass(size, time)) return false;
        if (folderPending) {
            addFolderItem(path);
            folderPending = false;
        }
        ps.PreScanBytes.fetch_add(size);
        const engine::TScanMark mark{o.RootPos, o.OtherRoot};
        engine::AddScanFileItem(attributes, path, name, list, size, time, markDue ? &mark : nullptr, fileType);
        markDue = false;
        ps.PreScanFiles.fetch_add(1);
        return true;
    }

    // ---- local ---------------------------------------------------------------

    // Walks the folder open as fd (taken over); 0 or the result code of a
    // listing that could not be read, which then adds nothing.
    int scanLocal(int fd, const QString& path) {
        Depth depth(ps);
        // Closed however the level ends, a full list's exception included.
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
        if (!dir) {
            const int err = errno;
            ::close(fd);
            return config::ResultCodeOfErrno(err);
        }
        // Each level keeps its listing's buffer from folder to folder: a
        // large tree then costs no fresh memory per folder.
        if (listings.size() <= level) listings.emplace_back();
        std::vector<LocalEntry>& entries = listings[level];
        entries.clear();
        const struct Level {
            size_t& level;
            explicit Level(size_t& l) : level(l) { ++level; }
            ~Level() { --level; }
            Level(const Level&) = delete;
            Level& operator=(const Level&) = delete;
        } inside(level);
        if (const int err = readListing(dir.get(), entries)) return config::ResultCodeOfErrno(err);
        std::sort(entries.begin(), entries.end(),
                  [](const LocalEntry& a, const LocalEntry& b) { return a.raw < b.raw; });

        bool folderPending = true;
        ps.PreScanFolders.fetch_add(1);
        throttle();
        const int dirFd = ::dirfd(dir.get());
        const bool walkSubfolders = ps.PreScanDepth.load() <= o.maxDepth_;
        bool markDue = false;
        if (o.foldersFirst_) {
            if (walkSubfolders) {
                for (const LocalEntry& e : entries) {
                    if (S_ISDIR(e.st.st_mode)) enterLocal(dirFd, path, e);
                    throttle();
                    if (!keepGoing()) break;
                }
            }
            markDue = true;
            if (!ended) {
                for (const LocalEntry& e : entries) {
                    const bool rejected = !S_ISDIR(e.st.st_mode) && !localFile(path, e, folderPending, markDue);
                    if (!rejected) throttle();
                    if (!keepGoing()) break;
                }
            }
        } else {
            for (const LocalEntry& e : entries) {
                bool rejected = false;
                if (S_ISDIR(e.st.st_mode)) {
                    if (walkSubfolders && enterLocal(dirFd, path, e)) markDue = true;
                } else {
                    rejected = !localFile(path, e, folderPending, markDue);
                }
                if (!rejected) throttle();
                if (!keepGoing()) break;
            }
        }
        if (folderPending && !ended) addFolderItem(path);
        return 0;
    }

    // True when the folder was entered.
    bool enterLocal(int parentFd, const QString& path, const LocalEntry& e) {
        if (!filter.FolderPasses(FZLocalAttributes(e.st.st_mode, e.name)) ||
            !filter.Masks.matchFolder(e.name))
            return false;
        const QString sub = path + e.name + QLatin1Char('/');
        if (onLocalPath(e.st)) {
            fc.PreScanReport.AddUnlisted(sub, config::ResultCodeOfErrno(ELOOP));
            return false;
        }
        // O_NONBLOCK: should the folder have been swapped for a FIFO since it
        // was listed, opening it must not wait for a writer.
        const int fd = ::openat(parentFd, e.raw.c_str(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            fc.PreScanReport.AddUnlisted(sub, config::ResultCodeOfErrno(errno));
            return false;
        }
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            fc.PreScanReport.AddUnlisted(sub, config::ResultCodeOfErrno(errno));
            ::close(fd);
            return false;
        }
        onPath.push_back({st.st_dev, st.st_ino});
        const int r = scanLocal(fd, sub);
        onPath.pop_back();
        if (r) fc.PreScanReport.AddUnlisted(sub, r);
        return true;
    }

    bool onLocalPath(const struct stat& st) const {
        return std::any_of(onPath.begin(), onPath.end(), [&](const FolderId& id) {
            return id.dev == st.st_dev && id.ino == st.st_ino;
        });
    }

    // False when the size or time limits rejected the file.
    bool localFile(const QString& path, const LocalEntry& e, bool& folderPending, bool& markDue) {
        const quint32 attributes = FZLocalAttributes(e.st.st_mode, e.name);
        if (!filter.FilePasses(attributes) || !filter.Masks.matchFile(e.name)) return true;
        // The comparison must know what it may not open without a stat of
        // its own.
        const quint8 type = S_ISREG(e.st.st_mode) ? 0 : quint8((e.st.st_mode & S_IFMT) >> 12);
        return addFile(path, e.name, attributes, qint64(e.st.st_size), mtimeOf(e.st), folderPending, markDue,
                       type);
    }

    void walkLocalRoot() {
        QString local;
        if (!FZLocalPathOf(o.Root, local)) return;
        while (local.size() > 1 && local.endsWith(QLatin1Char('/')))
            local.chop(1);
        const int fd = ::open(QFile::encodeName(local).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return;
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        onPath.push_back({st.st_dev, st.st_ino});
        // The window checked the root before; a root that cannot be listed
        // just leaves the list empty.
        scanLocal(fd, o.Root);
        onPath.pop_back();
    }

    // ---- remote --------------------------------------------------------------

    int listRemote(const QString& path, TFZDDir& listing) {
        int r = 0;
        if (kind == pkFtp) {
            QString location;
            FZFtpDisplayUrl(o.Slot, path, true, location);
            r = FZSetPath(o.Slot, location);
            if (!r) r = FZListFtp(o.Slot, listing);
        } else {
            r = FZSetPath(o.Slot, path);
            if (!r) r = kind == pkArchive ? FZListArchiveFolder(o.Slot, listing) : FZListCloudFolder(o.Slot, listing);
        }
        return r;
    }

    // A remote listing is read once and walked twice: folders, then files.
    int scanRemote(const QString& path) {
        Depth depth(ps);
        TFZDDir listing;
        if (const int r = listRemote(path, listing)) return r;
        bool folderPending = true;
        ps.PreScanFolders.fetch_add(1);
        throttle();
        const bool known = !listing.Identity.isEmpty();
        if (known) identities.push_back(listing.Identity);
        const int count = int(std::min<size_t>(size_t(std::max(listing.Count, 0)), listing.Items.size()));
        if (ps.PreScanDepth.load() <= o.maxDepth_) {
            for (int i = 0; i < count; ++i) {
                const TFZItem& item = listing.Items[size_t(i)];
                if (item.Attr & FZAttrDirectory) enterRemote(path, item);
                throttle();
                if (!keepGoing()) break;
            }
        }
        bool markDue = true;
        if (!ended) {
            for (int i = 0; i < count; ++i) {
                const TFZItem& item = listing.Items[size_t(i)];
                bool rejected = false;
                if (!(item.Attr & FZAttrDirectory) && filter.FilePasses(item.Attr) &&
                    !unsafeRemoteName(item.Name) && filter.Masks.matchFile(item.Name))
                    rejected = !addFile(path, item.Name, item.Attr, std::max<qint64>(item.Size, 0),
                                        item.Time, folderPending, markDue);
                if (!rejected) throttle();
                if (!keepGoing()) break;
            }
        }
        if (folderPending && !ended) addFolderItem(path);
        if (known) identities.pop_back();
        return 0;
    }

    void enterRemote(const QString& path, const TFZItem& item) {
        if (!filter.FolderPasses(item.Attr) || !filter.Masks.matchFolder(item.Name) ||
            unsafeRemoteName(item.Name))
            return;
        const QString sub = path + item.Name + QLatin1Char('/');
        if (!item.Identity.isEmpty() &&
            std::find(identities.begin(), identities.end(), item.Identity) != identities.end()) {
            fc.PreScanReport.AddUnlisted(sub, config::ResultCodeOfErrno(ELOOP));
            return;
        }
        if (const int r = scanRemote(sub)) fc.PreScanReport.AddUnlisted(sub, r);
    }

    void walkRemoteRoot() {
        if (o.Slot == FZNoSlot) o.OpenResult = FZOpen(o.Root, twGenAccess, true, o.Slot);
        o.StartTicks = config::ReadTsc();
        if (o.OpenResult != 0) return;
        // The slot is the walk's, handed over or not, and is closed however
        // the walk ends.
        struct Closer {
            int& slot;
            ~Closer() {
                FZClose(slot);
                slot = FZNoSlot;
            }
        } closer{o.Slot};
        if (kind == pkFtp) {
            FZFtpRemotePath(o.Slot, o.Root, o.PreScanFtpPath);
            o.RootPos = int(o.PreScanFtpPath.size()) + 1;
            scanRemote(o.PreScanFtpPath);
        } else {
            scanRemote(o.Root);
        }
    }

    void run() {
        if (o.Root.isEmpty()) return;
        const TFZLocation location = FZClassifyPath(o.Root);
        FZNormalizeFolder(o.Root);
        if (!o.OtherRoot.isEmpty()) FZNormalizeFolder(o.OtherRoot);
        // Every location names its folders with "/" here, archives included.
        o.Separator = QLatin1Char('/');
        if (location == locFtp)
            kind = pkFtp;
        else if (location == locCloud)
            kind = pkCloud;
        else
            kind = FZFindArchiveInPath(o.Root, 0) ? pkArchive : pkLocal;
        ps.PreScanKind.store(kind);
        o.RootPos = int(o.Root.size()) + 1;
        if (o.pairList_) label = o.IncludeMasks + QStringLiteral(" - ") + o.ExcludeMasks +
                                 QStringLiteral(" - ") + o.ExcludedFolders;
        if (kind == pkLocal) {
            o.StartTicks = config::ReadTsc();
            walkLocalRoot();
        } else {
            walkRemoteRoot();
        }
    }
};

TPreScanFolder::~TPreScanFolder() {
    if (thread_.joinable()) {
        FolderCompare().PreScanStop.store(true);
        thread_.join();
    }
}

void TPreScanFolder::Start() {
    if (thread_.joinable()) throw std::logic_error("pre-scan started twice");
    Prepare();
    thread_ = std::thread([this] { Execute(); });
}

void TPreScanFolder::Prepare() {
    if (!ScanList) throw std::invalid_argument("pre-scan without a list");
    const config::TAppSettings& s = config::AppSettings();
    if (!Filter) Filter = MakeFolderFilter(IncludeMasks, ExcludeMasks, ExcludedFolders);
    foldersFirst_ = s.FCFldFirst;
    pairList_ = ScanList->UsesPairList();
    maxDepth_ = !PreScan().PreScanSubfolders.load() ? 0 : s.FCLimitRecScan ? s.FCMaxDepth : INT_MAX;
    PreScan().PreScanThrottle.store(false);
    // Cleared here rather than by the thread, so that a stop requested
    // right after the start is not lost.
    FolderCompare().PreScanStop.store(false);
    FolderCompare().PreScanRunning.store(true);
}

void TPreScanFolder::Join() {
    if (thread_.joinable()) thread_.join();
}

void TPreScanFolder::Execute() {
    TFolderCompareState& fc = FolderCompare();
    TPreScanState& ps = PreScan();
    fc.PreScanRunning.store(true);
    ps.PreScanTicks.store(0);
    ps.PreScanDepth.store(0);
    ps.PreScanMaxDepth.store(maxDepth_);
    StartTicks = config::ReadTsc();
    if (ScanList && Filter) {
        Walk walk(*this, *Filter, *ScanList);
        try {
            walk.run();
        } catch (const std::exception&) {
            // A full list or no memory: the list keeps what it has and the
            // run ends as at the entry limit.
            fc.PreScanReport.MarkCut();
        }
    }
    ps.PreScanTicks.store(qint64(config::ReadTsc() - StartTicks));
    fc.PreScanDone.store(true);
    fc.PreScanRunning.store(false);
}

}  // namespace tandex::folders
