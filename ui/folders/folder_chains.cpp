// The folder rows of a comparison and the files that exist only on the
// right. Folder rows are made lazily, the whole chain of a folder at once
// and each level once, when the first entry below it is written; with a
// folder pair list the two sides' paths are aligned level by level. Every
// right folder whose left counterpart the loop meets is listed once, and
// what it holds that the left lacks becomes rows of its own.

#include "ui/folders/folder_compare.h"

#include "access/access_slots.h"
#include "access/archive_slots.h"
#include "access/cloud_files.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/ftp_access.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/os_errors.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "ui/folders/prescan.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace tandex::folders {

using namespace tandex::access;

namespace {

// A placeholder level: a no-break space and the separator.
const QString kPlaceholder = QStringLiteral("\u00A0/");

// The path with n placeholder levels in front of its first level (behind
// a masked prefix, which is no level).
QString insertPadding(const QString& path, int n) {
    if (n <= 0) return path;
    const int mask = engine::MaskPathPrefix(path);
    return path.left(mask) + kPlaceholder.repeated(n) + path.mid(mask);
}

// Level k of a folder text is the text up to its (k+1)-th separator; the
// last level is the whole text. A separator right behind the masked
// prefix (or at the start) opens no level.
std::vector<QString> levelTexts(const QString& folder) {
    std::vector<QString> levels;
    const int mask = engine::MaskPathPrefix(folder);
    if (folder.size() <= mask) return levels;
    for (qsizetype i = mask + 1; i < folder.size(); ++i)
        if (folder[i] == u'/') levels.push_back(folder.left(i));
    levels.push_back(folder);
    return levels;
}

QString folderWithoutSeparator(const QString& path) {
    return path.left(std::max<qsizetype>(0, path.lastIndexOf(QLatin1Char('/'))));
}

QString namePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Links are looked through; one whose target is missing counts as itself.
bool statEntry(int dirFd, const char* name, struct stat& st) {
    if (::fstatat(dirFd, name, &st, 0) == 0) return true;
    const int err = errno;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
    errno = err;
    return false;
}

// Calls take(name, type) for every entry of the open folder fd but "."
// and ".."; false with errno set when the listing could not be read. The
// buffer is kept from folder to folder.
template <class Take>
bool readFolder(int fd, std::vector<char>& buffer, Take take) {
    if (buffer.empty()) buffer.resize(65536);
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            take(name, d->d_type);
        }
    }
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

bool unsafeRemoteName(const QString& name) {
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
           name.contains(QLatin1Char('/'));
}

}  // namespace

const TFZMasks& TCompareRun::masks() const {
    if (pairList() && pairMasks_) return *pairMasks_;
    return Filter->Masks;
}

QString TCompareRun::shown(int side, const QString& path) const {
    if (pairList()) return insertPadding(path, padding_[side]);
    return path.mid((side == 1 ? LeftRootLength : RightRootLength) - 1);
}

// ---- folder markers ---------------------------------------------------------

void TCompareRun::folderMarker(const engine::TScanItem& item) {
    const auto& fc = FolderCompare();
    rightListing_ = TFZDDir{};
    rightListingFolder_.clear();
    rightFiles_.clear();
    rightFilesFolder_.clear();
    rightFilesMissing_ = 0;
    positionInUse_ = item.Position;
    if (pairList()) {
        CurLeftRoot = item.Name;
        const QString right = item.FolderPath;
        FZSetPath(RightSlot, right);
        if (fc.RightAccessKind == akFtp)
            FZFtpRemotePath(RightSlot, right, CurRightRoot);
        else
            CurRightRoot = right;
        rightReachable_ = FZCheckLocation(RightSlot) == 0;
        // The pair's masks: include, exclude and excluded folders.
        const QString sep = QStringLiteral(" - ");
        const QString& label = item.Label;
        const qsizetype a = label.indexOf(sep);
        const qsizetype b = a < 0 ? -1 : label.indexOf(sep, a + sep.size());
        const QString include = a < 0 ? label : label.left(a);
        const QString exclude = a < 0 ? QString() : b < 0 ? label.mid(a + sep.size()) : label.mid(a + sep.size(), b - a - sep.size());
        const QString folders = b < 0 ? QString() : label.mid(b + sep.size());
        if (!pairMasks_) pairMasks_ = std::make_unique<TFZMasks>();
        pairMasks_->set(include, exclude, folders);
        if (rightReachable_) ScanRightOnly(CurRightRoot);
    } else if (rightReachable_) {
        ScanRightOnly(CurRightRoot + item.Name.mid(positionInUse_ - 1));
    }
    folderChainPending_ = true;
    ++Folders;
    reportUnlisted();
}

void TCompareRun::reportUnlisted() {
    const std::vector<TUnlistedFolder> unlisted = FolderCompare().PreScanReport.Unlisted();
    for (size_t i = unlistedReported_; i < unlisted.size(); ++i) {
        storeError(unlisted[i].Code);
        giveUpLog(unlisted[i].Code, eoFindFile, unlisted[i].Path);
    }
    unlistedReported_ = std::max(unlistedReported_, unlisted.size());
}

void TCompareRun::checkLimits() {
    if (EntryIndex > EntryLimit || engine::paneStores().FolderPairCount > FolderPairLimit) EntryLimitReached();
}

void TCompareRun::EntryLimitReached() {
    auto& fc = FolderCompare();
    if (fc.RunState.load() != rsComparing) return;
    auto& st = engine::paneStores();
    const int at = std::min(EntryIndex, engine::kLineSlots - 1);
    for (int pane = 1; pane <= 2; ++pane)
        st.SetFolderEntryStatus(at, 7, engine::kMaxEntryText, st.FolderEntries[size_t(pane)]);
    EntryIndex = at + 1;
    if (config::AppSettings().ESWarnBox)
        config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
    fc.RunState.store(rsStopped);
    // What was compared is not the whole tree: a batch run must not report
    // it as its result.
    storeError(errNotEnoughMemory);
}

// ---- folder chains ----------------------------------------------------------

void TCompareRun::AddPendingFolderChain() {
    makeChain(LeftPath, RightPath);
    folderChainPending_ = false;
}

void TCompareRun::makeChain(const QString& leftPath, const QString& rightPath) {
    QString left = folderWithoutSeparator(leftPath);
    QString right = folderWithoutSeparator(rightPath);
    if (!pairList()) {
        left = left.mid(LeftRootLength - 1);
        right = right.mid(RightRootLength - 1);
    }
    auto& fc = FolderCompare();
    fc.MaxFolderDepth = std::max(fc.MaxFolderDepth, AddFolderChain(left, right));
}

void TCompareRun::AlignPairPaths(const QString& leftFolder, const QString& rightFolder) {
    const int left = int(levelTexts(leftFolder).size());
    const int right = int(levelTexts(rightFolder).size());
    padding_[1] = std::max(0, right - left);
    padding_[2] = std::max(0, left - right);
}

int TCompareRun::AddFolderChain(const QString& leftFolder, const QString& rightFolder) {
    auto& st = engine::paneStores();
    const auto& fc = FolderCompare();
    const bool pairs = pairList();
    if (pairs) {
        AlignPairPaths(leftFolder, rightFolder);
    } else {
        padding_[1] = padding_[2] = 0;
    }
    const std::vector<QString> lefts = levelTexts(insertPadding(leftFolder, padding_[1]));
    // A single pair's right folder has the left one's relative path.
    const std::vector<QString> rights = pairs ? levelTexts(insertPadding(rightFolder, padding_[2])) : lefts;
    const int count = int(std::min(lefts.size(), rights.size()));
    // The real folder of a level: below its root, or its aligned path
    // without the placeholders.
    auto realPath = [&](int side, const QString& level) {
        if (!pairs) return (side == 1 ? CurLeftRoot : CurRightRoot) + level;
        const int mask = engine::MaskPathPrefix(level);
        return level.left(mask) + level.mid(mask + kPlaceholder.size() * padding_[side]);
    };
    bool onLastChain = true;
    for (int k = 0; k < count; ++k) {
        const QString& left = lefts[size_t(k)];
        const QString& right = rights[size_t(k)];
        // The levels the last chain shares are there already.
        if (onLastChain && size_t(k) < chainLeft_.size() && chainLeft_[size_t(k)] == left &&
            chainRight_[size_t(k)] == right)
            continue;
        onLastChain = false;
        const auto key1 = qint32(keys_.MakeLineKey(left));
        const qint32 key2 = pairs ? qint32(keys_.MakeLineKey(right)) : 0;
        const bool isNew = pairs ? st.IsNewFolderTriple(k, key1, key2, left, right) : st.IsNewFolderPair(k, key1, left);
        if (!isNew) continue;
        FileTime time = 0;
        quint32 attributes = 0;
        if (k < padding_[1])
            time = FileTimeNone;
        else
            GetFolderTime(realPath(1, left), LeftSlot, fc.LeftAccessKind, time, attributes);
        st.SetFolderEntryFolder(k, EntryIndex, attributes, st.FolderEntries[1], left, time);
        time = 0;
        attributes = 0;
        if (!rightReachable_) {
            // A time of 0 shows the right folder as not found.
        } else if (k < padding_[2]) {
            time = FileTimeNone;
        } else {
            GetFolderTime(realPath(2, right), RightSlot, fc.RightAccessKind, time, attributes);
        }
        st.SetFolderEntryFolder(k, EntryIndex, attributes, st.FolderEntries[2], right, time);
        st.AddFolderPair(key1, key2, k, left, pairs ? right : QString());
        ++EntryIndex;
    }
    chainLeft_.assign(lefts.begin(), lefts.begin() + count);
    chainRight_.assign(rights.begin(), rights.begin() + count);
    return count - 1;
}

int TCompareRun::GetFolderTime(const QString& path, int slot, int kind, FileTime& time, quint32& attributes) {
    time = 0;
    attributes = 0;
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
    auto local = [&]() {
        QString native;
        if (!FZLocalPathOf(p, native)) return int(errShareNotFound);
        struct stat st;
        if (!statEntry(AT_FDCWD, QFile::encodeName(native).constData(), st)) return FZCodeForPath(errno, native);
        time = FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        attributes = FZLocalAttributes(st.st_mode, namePart(p));
        return 0;
    };
    switch (kind) {
        case akLocal:
            return local();
        case akFtp: {
            const int r = FZGetFtpFolderTime(slot, p, time, attributes);
            if (attributes == quint32(-1)) attributes = 0;
            return r;
        }
        case akArchive: {
            qint64 a = 0;
            const int r = FZGetArchiveFolderTime(slot, p, time, a);
            if (!r && time != 0) {
                attributes = a < 0 ? 0 : quint32(a);
                return 0;
            }
            // The archive file itself, or a folder beside it.
            return local();
        }
        case akCloud:
            time = FileTimeNone;
            attributes = FZAttrDirectory;
            return 0;
        default:
            return errInvalidParameter;
    }
}

// ---- right-only files -------------------------------------------------------

int TCompareRun::listRight(const QString& folder, TFZDDir& listing) {
    int r = 0;
    switch (FolderCompare().RightAccessKind) {
        case akFtp: {
            QString location;
            FZFtpDisplayUrl(RightSlot, folder, true, location);
            r = FZSetPath(RightSlot, location);
            if (!r) r = FZListFtp(RightSlot, listing);
            return r;
        }
        case akArchive:
            r = FZSetPath(RightSlot, folder);
            if (!r) r = FZListArchiveFolder(RightSlot, listing);
            return r;
        case akCloud:
            r = FZSetPath(RightSlot, folder);
            if (!r) r = FZListCloudFolder(RightSlot, listing);
            return r;
        default:
            return errInvalidParameter;
    }
}

// A folder that is not there ends its level quietly; one that is there
// and cannot be read is a failure of the run.
bool TCompareRun::listRightEntries(const QString& folder, bool top, std::vector<RightEntry>& entries) {
    auto fail = [&](int code) {
        if (code != errFileNotFound && code != errPathNotFound) {
            storeError(code);
            giveUpLog(code, eoFindFile, folder);
        }
        return false;
    };
    if (FolderCompare().RightAccessKind != akLocal) {
        TFZDDir listing;
        if (const int r = listRight(folder, listing)) return fail(r);
        const int count = int(std::min<size_t>(size_t(std::max(listing.Count, 0)), listing.Items.size()));
        for (int i = 0; i < count; ++i) {
            const TFZItem& item = listing.Items[size_t(i)];
            if (unsafeRemoteName(item.Name)) continue;
            RightEntry e;
            e.name = item.Name;
            e.raw = QFile::encodeName(item.Name).toStdString();
            e.folder = item.Attr & FZAttrDirectory;
            e.size = e.folder ? 0 : std::max<qint64>(item.Size, 0);
            e.time = item.Time;
            e.attributes = item.Attr;
            entries.push_back(std::move(e));
        }
        std::sort(entries.begin(), entries.end(),
                  [](const RightEntry& a, const RightEntry& b) { return a.name < b.name; });
        if (top) {
            rightListing_ = std::move(listing);
            rightListingFolder_ = folder;
        }
        // An empty remote listing cannot be told from a missing folder.
        return !entries.empty();
    }

    QString local;
    if (!FZLocalPathOf(folder, local)) return fail(errShareNotFound);
    const int fd = ::open(QFile::encodeName(local).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int code = config::ResultCodeOfErrno(errno);
        if (top && (code == errFileNotFound || code == errPathNotFound)) {
            // None of its files can be there: the loop needs not look.
            rightFilesFolder_ = folder;
            rightFilesMissing_ = errPathNotFound;
        }
        return fail(code);
    }
    const FdCloser closer{fd};
    struct stat self;
    if (::fstat(fd, &self) != 0) return fail(config::ResultCodeOfErrno(errno));
    const std::pair<quint64, quint64> id{quint64(self.st_dev), quint64(self.st_ino)};
    // A link back to a folder being scanned would never end.
    if (std::find(rightOnPath_.begin(), rightOnPath_.end(), id) != rightOnPath_.end()) return false;
    const bool read = readFolder(fd, folderBuffer_, [&](const char* n, unsigned char) {
        struct stat st;
        if (!statEntry(fd, n, st)) return;  // gone since it was listed
        RightEntry& e = entries.emplace_back();
        e.raw = n;
        e.folder = S_ISDIR(st.st_mode);
        e.type = S_ISREG(st.st_mode) ? 0 : quint8((st.st_mode & S_IFMT) >> 12);
        e.size = e.folder ? 0 : qint64(st.st_size);
        e.time = FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        // "." and ".." are gone, so a leading dot marks a hidden entry.
        e.attributes = FZLocalAttributes(st.st_mode, QString()) | (n[0] == '.' ? FZAttrHidden : 0);
    });
    if (!read) {
        entries.clear();
        return fail(config::ResultCodeOfErrno(errno));
    }
    std::sort(entries.begin(), entries.end(), [](const RightEntry& a, const RightEntry& b) { return a.raw < b.raw; });
    if (top) rightFilesFolder_ = folder;
    rightOnPath_.push_back(id);
    return true;
}

void TCompareRun::ScanRightOnly(const QString& rightFolder) {
    scanRightOnly(rightFolder, true);
}

void TCompareRun::scanRightOnly(const QString& rightFolder, bool top) {
    auto& fc = FolderCompare();
    auto& st = engine::paneStores();
    const bool local = fc.RightAccessKind == akLocal;
    // Every level keeps its buffers from folder to folder; the top level's
    // listing stays for the loop's lookups.
    if (levels_.size() <= scanLevel_) levels_.emplace_back();
    ScanLevel& buffers = levels_[scanLevel_];
    const struct Level {
        size_t& level;
        explicit Level(size_t& l) : level(l) { ++level; }
        ~Level() { --level; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
    } inside(scanLevel_);
    std::vector<RightEntry>& entries = top && local ? rightFiles_ : buffers.right;
    entries.clear();
    if (!listRightEntries(rightFolder, top, entries)) return;
    struct Pop {
        std::vector<std::pair<quint64, quint64>>* path;
        ~Pop() {
            if (path) path->pop_back();
        }
    } pop{local ? &rightOnPath_ : nullptr};
    ++FoldersFoundRight;
    if (!config::AppSettings().FCChkBoth) return;
    const TFolderFilter& filter = *Filter;
    const TFZMasks& m = masks();
    const bool everyFile = m.passesEveryFile();
    const bool everyFolder = m.passesEveryFolder();
    const QString leftFolder = CurLeftRoot + rightFolder.mid(CurRightRoot.size());
    bool chainMade = false;
    LeftNames& leftNames = buffers.left;
    leftNames.read = leftNames.failed = false;
    leftNames.missing = 0;
    leftNames.names.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        RightEntry& e = entries[i];
        if (fc.RunState.load() != rsComparing) break;
        if (e.folder) {
            if (!subfolders_ || (!everyFolder && !m.matchFolder(nameOf(e)))) continue;
        } else if (!filter.FilePasses(e.attributes) || !filter.SizeAndTimePass(e.size, e.time) ||
                   (!everyFile && !m.matchFile(nameOf(e)))) {
            continue;
        }
        const int status = leftPresence(leftFolder, e, leftNames);
        if (status != 0) {
            const QString leftPath = leftFolder + nameOf(e);
            if (e.folder) {
                scanRightOnly(rightFolder + nameOf(e) + QLatin1Char('/'), false);
                // The subfolder's chain was made last: this folder's next
                // entry must find its own again.
                chainMade = false;
            } else {
                const QString rightPath = rightFolder + nameOf(e);
                if (!chainMade) makeChain(leftPath, rightPath);
                chainMade = true;
                ++FilesFoundRight;
                writeFileEntry(2, rightPath, e.size, e.time, e.attributes);
                st.SetFolderEntryStatus(EntryIndex, status == errFileNotFound ? 2 : 3, shown(1, leftPath),
                                        st.FolderEntries[1]);
                st.FolderEntryCount = std::max(st.FolderEntryCount, EntryIndex + 1);
                engine::folderRows().SetFolderEntryDiffers(EntryIndex, true);
                ++Differences;
                ++RightOnlyFiles;
                ++EntryIndex;
            }
        }
        checkLimits();
    }
}

// 0 when the left side has the entry, else 2 (file not found) or 3 (path
// not found).
const QString& TCompareRun::nameOf(RightEntry& entry) {
    if (entry.name.isNull()) entry.name = QFile::decodeName(entry.raw.c_str());
    return entry.name;
}

int TCompareRun::leftPresence(const QString& leftFolder, RightEntry& entry, LeftNames& names) {
    if (FolderCompare().LeftAccessKind == akLocal) {
        // The left folder is read once for the whole level.
        if (!names.read) {
            names.read = true;
            QString local;
            const int fd = FZLocalPathOf(leftFolder, local)
                               ? ::open(QFile::encodeName(local).constData(),
                                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)
                               : -1;
            if (fd < 0) {
                const int code = local.isEmpty() ? errPathNotFound : config::ResultCodeOfErrno(errno);
                if (code == errFileNotFound || code == errPathNotFound)
                    names.missing = errPathNotFound;
                else
                    names.failed = true;
            } else {
                names.failed = !readFolder(fd, folderBuffer_, [&](const char* n, unsigned char type) {
                    bool isFolder = type == DT_DIR;
                    if (type == DT_LNK || type == DT_UNKNOWN) {
                        struct stat st;
                        isFolder = statEntry(fd, n, st) && S_ISDIR(st.st_mode);
                    }
                    names.names.emplace_back(n, isFolder);
                });
                ::close(fd);
                std::sort(names.names.begin(), names.names.end());
            }
        }
        if (names.missing) return names.missing;
        bool isFolder = false;
        if (names.failed) {
            QString local;
            if (!FZLocalPathOf(leftFolder + nameOf(entry), local)) return errPathNotFound;
            struct stat st;
            if (!statEntry(AT_FDCWD, QFile::encodeName(local).constData(), st))
                return FZCodeForPath(errno, local) == errPathNotFound ? errPathNotFound : errFileNotFound;
            isFolder = S_ISDIR(st.st_mode);
        } else {
            const auto it = std::lower_bound(names.names.begin(), names.names.end(), entry.raw,
                                             [](const auto& n, const std::string& raw) { return n.first < raw; });
            if (it == names.names.end() || it->first != entry.raw) return errFileNotFound;
            isFolder = it->second;
        }
        // A folder on one side and a file of the same name on the other are
        // two different entries.
        return isFolder == entry.folder ? 0 : errFileNotFound;
    }
    // No listing of a remote left side is at hand: the pre-scan list has it.
    const QString leftPath = leftFolder + nameOf(entry);
    const int count = ScanList->Count();
    if (count == 0) return errPathNotFound;
    if (entry.folder) {
        const QString wanted = leftPath + QLatin1Char('/');
        for (int i = 0; i < count; ++i)
            if ((*ScanList)[i].Name == wanted) return 0;
        return errPathNotFound;
    }
    const QString path = leftPath.left(leftPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QString name = namePart(leftPath);
    bool folderSeen = false;
    const int start = std::clamp(searchCursor_, 0, count - 1);
    for (int i = 0; i < count; ++i) {
        const int index = (start + i) % count;
        const engine::TScanItem& item = (*ScanList)[index];
        if (item.Name != path) continue;
        folderSeen = true;
        if (item.Kind != 1 && item.SecondName == name) {
            searchCursor_ = index;
            return 0;
        }
    }
    return folderSeen ? errFileNotFound : errPathNotFound;
}

}  // namespace tandex::folders
