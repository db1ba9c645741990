// The comparison loop: it walks the pre-scan list of the left tree behind
// the pre-scan thread, looks every left file up on the right, and decides
// by size, content blocks, time stamp and attributes. The folder rows and
// the right-only files are folder_chains.cpp.
//
// Content is compared block by block in buffers allocated once per run;
// a file is opened only when it is a regular file on both sides, so that
// a FIFO or a device in a tree can never block the run.

#include "ui/folders/folder_compare.h"

#include "access/access_slots.h"
#include "access/archive_slots.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/ftp_access.h"
#include "access/ftp_hooks.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/folder_rows.h"
#include "ui/folders/prescan.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window_seams.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tandex::folders {

using namespace tandex::access;

namespace {

// How the block loop moves on after a block.
enum TBlockStep : int {
    bsNone,         // nothing compared (sizes differ, right missing)
    bsOff,          // content compare off, or entries that are not regular files
    bsFirstOnly,
    bsFirstOfTwo,
    bsLastOfTwo,
    bsFirstOfThree,
    bsMiddleOfThree,
    bsLastOfThree,
    bsEveryNth,
    bsWhole,        // every block in sequence
};

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TCompareWindow& silentWindow() {
    static TCompareWindow window;
    return window;
}

void logLine(const QString& text, bool escape) {
    RunLogs().AddLogLine(kCompareLog, text, escape);
}

QString namePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// 0 for a regular file, else the type bits of st_mode.
quint8 fileTypeOf(const struct stat& st) {
    return S_ISREG(st.st_mode) ? 0 : quint8((st.st_mode & S_IFMT) >> 12);
}

constexpr quint8 kFolderType = quint8(S_IFDIR >> 12);

// a + b in one allocation (the slots keep a share of the paths, so a
// buffer reused from file to file would be copied anyway).
QString joined(QStringView a, QStringView b) {
    QString s;
    s.reserve(a.size() + b.size());
    s.append(a).append(b);
    return s;
}

}  // namespace

// ---- small shared pieces ----------------------------------------------------

QString ContentModeName(int mode) {
    switch (mode) {
        case 0: return QStringLiteral("No content compare");
        case 1: return QStringLiteral("SOF");
        case 2: return QStringLiteral("SEOF");
        case 3: return QStringLiteral("SMEOF");
        case 4: return QStringLiteral("1% of file content");
        case 5: return QStringLiteral("10% of file content");
        case 6: return QStringLiteral("25% of file content");
        case 7: return QStringLiteral("50% of file content");
        case 8: return QStringLiteral("Entire file content");
        default: return QStringLiteral("unknown!");
    }
}

int BlockSizeOf(int index) {
    return kBlockSizes[std::clamp(index, 0, 7)];
}

void TCompareWindow::fbCancelClick() {
    auto& state = FolderCompare().RunState;
    state.store(state.load() == rsComparing ? rsStopped : rsIdle);
    FZAbortAll();
}

void TCompareWindow::ProcessMessages() {
    config::eventPump().processEvents();
}

// ---- the run object ---------------------------------------------------------

struct TCompareRun::FileState {
    qint64 leftSize = 0, rightSize = 0, sizeSum = 0;
    FileTime leftTime = 0, rightTime = 0;
    quint32 leftAttr = 0, rightAttr = 0;
    quint8 leftType = 0, rightType = 0;
    bool rightPresent = false;
    bool equal = false;
    bool kindDiffers = false;
    bool leftPending = true, rightPending = true;
    int lastError = 0;
    int mode = 0;
    int step = bsNone;
    int buffersRead = 0;
};

TCompareRun::TCompareRun() {
    // Folder keys tell names apart exactly: blanks and letter case count.
    keys_.Options = engine::LineKeyOptions{};
    keys_.Options.OptionsActive = 1;
}

TCompareRun::~TCompareRun() = default;

TCompareWindow& TCompareRun::win() const {
    return Window ? *Window : silentWindow();
}

bool TCompareRun::pairList() const {
    return ScanList && ScanList->UsesPairList();
}

void TCompareRun::ResetCounters() {
    FilesCompared = FilesFoundRight = Folders = FoldersFoundRight = 0;
    Differences = Errors = 0;
    RightOnlyFiles = 0;
    SkipCountdown = 8;
    SkipRequest = false;
    StartTime = LastDisplayTime = ComparedTime = 0;
    EntryIndex = 0;
    BytesExpected = BytesDone = FileBytesRead = TickBytesRead = RunBytesRead = 0;
}

void TCompareRun::AllocateBlockBuffers() {
    // Pages that a smaller block size never touches are never backed.
    for (auto& buffer : buffers_)
        if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(size_t(kMaxBlockSize));
}

void TCompareRun::ReleaseBlockBuffers() {
    for (auto& buffer : buffers_) buffer.reset();
}

void TCompareRun::ApplyBufferSize(bool show) {
    bufferIndex_ = std::clamp(config::AppSettings().FCBufSize, 0, 7);
    bufferSize_ = BlockSizeOf(bufferIndex_);
    if (show) win().ShowBufferSize(bufferIndex_);
}

void TCompareRun::storeError(int code) {
    // The first failure decides the batch result, whatever the file order.
    auto& fc = FolderCompare();
    if (code && fc.FCErrorCode == 0) fc.FCErrorCode = code;
}

void TCompareRun::giveUpLog(int code, int operation, const QString& path) {
    ++Errors;
    logLine(QStringLiteral("\\cf2FC-Error: ") + EscapeLogText(FZErrorText(-std::abs(code), operation)), false);
    logLine(QStringLiteral("    Path: ") + path, true);
    logLine(QStringLiteral(" => COMPARE-RESULT: \\b  ERROR: \\b0\\cf1 "), false);
    logLine(QString(), false);
}

// ---- ComparePair ------------------------------------------------------------

void TCompareRun::ComparePair(bool subfolders) {
    auto& fc = FolderCompare();
    auto& st = engine::paneStores();
    subfolders_ = subfolders;
    win().EnablePause();
    AllocateBlockBuffers();
    FZNormalizeFolder(LeftRoot);
    FZNormalizeFolder(RightRoot);
    // The roots were checked before; a root that cannot be opened leaves
    // its slot at "none", whose kind finds nothing.
    FZOpen(LeftRoot, twGenAccess, true, LeftSlot);
    FZOpen(RightRoot, twGenAccess, true, RightSlot);
    fc.LeftAccessKind = FZSlotAccessKind(LeftSlot);
    fc.RightAccessKind = FZSlotAccessKind(RightSlot);
    // A local slot stays local whatever its later paths name, so looking
    // for archives in each of them would be wasted.
    if (fc.LeftAccessKind == akLocal) FZSetArchiveDetect(LeftSlot, false);
    if (fc.RightAccessKind == akLocal) FZSetArchiveDetect(RightSlot, false);

    FileTime time = 0;
    quint32 attributes = 0;
    GetFolderTime(LeftRoot, LeftSlot, fc.LeftAccessKind, time, attributes);
    st.FileTimes[1] = time;
    time = 0;
    GetFolderTime(RightRoot, RightSlot, fc.RightAccessKind, time, attributes);
    st.FileTimes[2] = time;

    const bool ftp = fc.LeftAccessKind == akFtp || fc.RightAccessKind == akFtp;
    auto hook = [this](qint64 bytes) { TransferProgress(bytes); };
    FZSetFtpReadProgressHook(config::AppSettings().FCContent == cmWhole && ftp ? TFtpProgressHook(hook)
                                                                               : TFtpProgressHook());
    FZSetCloudProgressHook(hook);

    if (!pairList()) {
        st.FolderRoots[1] = LeftRoot;
        st.FolderRoots[2] = RightRoot;
        CurLeftRoot = LeftRoot;
        CurRightRoot = RightRoot;
        if (fc.LeftAccessKind == akFtp) FZFtpRemotePath(LeftSlot, LeftRoot, CurLeftRoot);
        if (fc.RightAccessKind == akFtp) FZFtpRemotePath(RightSlot, RightRoot, CurRightRoot);
        LeftRootLength = int(CurLeftRoot.size()) + 1;
        RightRootLength = int(CurRightRoot.size()) + 1;
    } else {
        // Every pair shows from its location's top down.
        LeftRootLength = RightRootLength = 1;
        st.FolderRoots[1].clear();
        st.FolderRoots[2].clear();
    }
    rightReachable_ = RightRootReachable;

    StartTime = LastDisplayTime = nowMs();
    win().SetDisplayTimer(4);
    CompareEntries();
    win().SetDisplayTimer(3);
    ComparedTime += nowMs() - StartTime;
    // The hooks call into this run.
    FZSetFtpReadProgressHook({});
    FZSetCloudProgressHook({});
    if (RightSlot != FZNoSlot) FZClose(RightSlot);
    if (LeftSlot != FZNoSlot) FZClose(LeftSlot);
}

// ---- the loop -----------------------------------------------------------------

void TCompareRun::CompareEntries() {
    if (!ScanList) return;
    auto& fc = FolderCompare();
    auto& st = engine::paneStores();
    if (!Filter) Filter = MakeFolderFilter(QStringLiteral("*"), QString(), QString());
    fc.MaxFolderDepth = 0;
    st.FolderPairCount = 0;
    st.FolderTotalSizes[1] = st.FolderTotalSizes[2] = 0;
    chainLeft_.clear();
    chainRight_.clear();
    folderChainPending_ = true;
    positionInUse_ = 0;
    padding_[1] = padding_[2] = 0;
    searchCursor_ = 0;
    itemIndex_ = -1;
    scanFilesSeen_ = -1;
    missingBytes_ = 0;
    unlistedReported_ = 0;
    rightListing_ = TFZDDir{};
    rightListingFolder_.clear();
    if (!pairList()) {
        CurLeftRoot = CurLeftRoot.isEmpty() ? LeftRoot : CurLeftRoot;
        CurRightRoot = CurRightRoot.isEmpty() ? RightRoot : CurRightRoot;
    }
    shownIndex_ = -1;
    reserved_ = 0;
    NextScanItem();
    try {
        while (!FZResetAbort() && itemIndex_ < ScanList->Count()) {
            // The thread keeps appending behind this item.
            const engine::TScanItem item = (*ScanList)[itemIndex_];
            if (item.Kind == 1) {
                folderMarker(item);
                NextScanItem();
                continue;
            }
            fileItem(item);
            if (win().Paused()) win().WaitWhilePaused();
            checkLimits();
            if (fc.RunState.load() != rsComparing) break;
            NextScanItem();
        }
        reportUnlisted();
        // A list the pre-scan cut at its limit is not the whole tree: the
        // run must not end as if it had compared everything.
        if (fc.PreScanReport.Cut() && !fc.PreScanRunning.load()) EntryLimitReached();
    } catch (const std::length_error&) {
        // A folder chain deeper than the store's spare slots at its limit.
        EntryLimitReached();
    }
    rightListing_ = TFZDDir{};
    rightListingFolder_.clear();
    st.FolderEntryCount = EntryIndex;
}

void TCompareRun::NextScanItem() {
    ++itemIndex_;
    auto& fc = FolderCompare();
    // Items below the published count are complete, so the loop may read up
    // to it; past it, it waits for the pre-scan to publish more or to end.
    while (itemIndex_ >= ScanList->Count() && fc.PreScanRunning.load()) config::WaitWithMessages(1);
    const int files = PreScan().PreScanFiles.load();
    if (files != scanFilesSeen_) {
        scanFilesSeen_ = files;
        // Room for a row per item seen, so that the stores' slot arrays are
        // not copied over and over as they fill.
        const int items = ScanList->Count();
        if (items > reserved_) {
            reserved_ = std::min(engine::kLineSlots, std::max(items, 2 * reserved_));
            auto& st = engine::paneStores();
            st.FolderEntries[1].Reserve(reserved_);
            st.FolderEntries[2].Reserve(reserved_);
        }
        BytesExpected = PreScan().PreScanBytes.load() - missingBytes_;
        if (!ui::commandLine().BatchMode()) {
            win().SetTotalMax(false, fc.ContentCompareOn ? 2 * BytesExpected + 1 : qint64(files) + 1);
            win().ShowScanCount(files);
        }
    }
}

void TCompareRun::fileItem(const engine::TScanItem& item) {
    auto& fc = FolderCompare();
    auto& st = engine::paneStores();
    const config::TAppSettings& s = config::AppSettings();
    ++FilesCompared;
    FileState f;
    f.leftTime = item.Time;
    f.leftSize = item.Size;
    f.leftAttr = item.Attributes;
    f.leftType = item.FileType;
    LeftPath = joined(item.Name, item.SecondName);
    if (item.Kind == 2) {
        positionInUse_ = item.Position;
        if (pairList()) {
            CurLeftRoot = item.Name;
            CurRightRoot = item.FolderPath;
        }
    }
    RightPath = joined(CurRightRoot, QStringView(LeftPath).mid(positionInUse_ - 1));
    if (s.FCGenLog) {
        logLine(QStringLiteral("Compare ") + LeftPath, true);
        logLine(QStringLiteral("   with ") + RightPath, true);
    }
    f.mode = s.FCContent;

    if (!lookupRight(f)) {
        if (folderChainPending_) AddPendingFolderChain();
        const bool local = fc.RightAccessKind == akLocal;
        st.SetFolderEntryStatus(EntryIndex, local && f.lastError == errPathNotFound ? 3 : 2, shown(2, RightPath),
                                st.FolderEntries[2]);
        f.equal = false;
        f.rightPending = false;
        f.rightTime = 0;
        f.sizeSum = 0;
        if (fc.ContentCompareOn) {
            missingBytes_ += f.leftSize;
            BytesExpected -= f.leftSize;
            win().SetTotalMax(false, 2 * BytesExpected + 1);
        }
    } else {
        f.sizeSum = f.leftSize + f.rightSize;
        ++FilesFoundRight;
        if (f.leftSize != f.rightSize) {
            f.equal = false;
            if (folderChainPending_) AddPendingFolderChain();
            writeFileEntry(1, LeftPath, f.leftSize, f.leftTime, f.leftAttr);
            writeFileEntry(2, RightPath, f.rightSize, f.rightTime, f.rightAttr);
            engine::folderRows().SetFolderEntryResult(EntryIndex, 2);
            f.leftPending = f.rightPending = false;
        } else if (f.leftType || f.rightType) {
            // Never opened: a FIFO equals a FIFO, a device a device.
            f.equal = f.leftType == f.rightType;
            f.kindDiffers = !f.equal;
            f.step = bsOff;
        } else if (!fc.ContentCompareOn) {
            f.equal = true;
            f.step = bsOff;
        } else {
            f.equal = true;
            compareContent(f);
        }
    }

    BytesDone += f.sizeSum;
    win().SetTotalProgress(fc.ContentCompareOn ? BytesDone : qint64(FilesCompared));
    const quint32 mask = quint32(s.FCAttr) & 0xFF;
    // A missing right file's attributes are of no account.
    const bool attributesDiffer = f.rightPresent && (mask & f.leftAttr) != (mask & f.rightAttr);
    SkipRequest = false;
    const bool timesDiffer = FZCompareFileTimes(f.rightTime, f.leftTime) != 0;

    if (f.leftPending) {
        if (folderChainPending_) AddPendingFolderChain();
        writeFileEntry(1, LeftPath, f.leftSize, f.leftTime, f.leftAttr);
    }
    if (f.rightPending) {
        if (folderChainPending_) AddPendingFolderChain();
        writeFileEntry(2, RightPath, f.rightSize, f.rightTime, f.rightAttr);
    }

    auto& rows = engine::folderRows();
    if (timesDiffer && f.equal) {
        if (s.FCDateTime) f.equal = false;
        rows.SetFolderEntryResult(EntryIndex, 3);
    } else if (timesDiffer || f.kindDiffers) {
        rows.SetFolderEntryResult(EntryIndex, 2);
    } else if (f.equal && attributesDiffer) {
        rows.SetFolderEntryResult(EntryIndex, 1);
    }

    QString detail;
    if (s.FCGenLog) {
        const int used = f.step == bsNone || f.step == bsOff ? 0 : f.step == bsWhole ? cmWhole : f.mode;
        detail = QStringLiteral(" (content compare: ") + ContentModeName(used) + QStringLiteral(" / ") +
                 QString::number(f.buffersRead) + QStringLiteral(" buffers read)");
    }
    if (!f.equal || attributesDiffer) {
        st.FolderEntryCount = std::max(st.FolderEntryCount, EntryIndex + 1);
        rows.SetFolderEntryDiffers(EntryIndex, true);
        ++Differences;
        ++EntryIndex;
        if (s.FCGenLog) {
            logLine(QStringLiteral(" => COMPARE-RESULT: \\cf2\\b  ERROR:  NOT Equal\\cf1\\b0 ") + detail, false);
            logLine(QString(), false);
        }
    } else {
        ++EntryIndex;
        if (s.FCGenLog) {
            logLine(QStringLiteral(" => COMPARE-RESULT:  OK!") + detail, false);
            logLine(QString(), false);
        }
    }
}

void TCompareRun::writeFileEntry(int side, const QString& path, qint64 size, FileTime time, quint32 attributes) {
    auto& st = engine::paneStores();
    st.FolderTotalSizes[size_t(side)] += size;
    QString text;
    if (pairList()) {
        text = shown(side, path);
    } else {
        // Both sides of a row mostly show the same relative path: they share
        // one string, which keeps a large tree's stores half as big.
        const QStringView relative = QStringView(path).mid((side == 1 ? LeftRootLength : RightRootLength) - 1);
        if (side == 2 && shownIndex_ == EntryIndex && relative == QStringView(shown_))
            text = shown_;
        else
            text = relative.toString();
    }
    if (side == 1) {
        shown_ = text;
        shownIndex_ = EntryIndex;
    }
    st.SetFolderEntryFile(EntryIndex, attributes, text, st.FolderEntries[size_t(side)], size, time);
}

bool TCompareRun::lookupRight(FileState& f) {
    const int kind = FolderCompare().RightAccessKind;
    if (kind == akLocal) {
        if (!rightReachable_) return false;
        if (lookupListed(f)) return f.rightPresent;
        QString local;
        if (!FZLocalPathOf(RightPath, local)) {
            f.lastError = errShareNotFound;
            return false;
        }
        const QByteArray native = QFile::encodeName(local);
        struct stat st;
        if (::fstatat(AT_FDCWD, native.constData(), &st, 0) != 0) {
            const int err = errno;
            // A link whose target is missing counts as itself.
            if (::fstatat(AT_FDCWD, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                f.lastError = FZCodeForPath(err, local);
                return false;
            }
        }
        f.rightPresent = true;
        f.rightSize = S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size);
        f.rightTime = FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        f.rightAttr = FZLocalAttributes(st.st_mode, namePart(RightPath));
        f.rightType = fileTypeOf(st);
        return true;
    }
    if (kind != akFtp && kind != akCloud && kind != akArchive) return false;
    if (!rightReachable_) return false;
    // The listing must be the one of this file's folder: after a subfolder's
    // items, the files of its parent need their own again.
    const QString folder = RightPath.left(RightPath.lastIndexOf(QLatin1Char('/')) + 1);
    if (folder != rightListingFolder_) {
        rightListing_ = TFZDDir{};
        rightListingFolder_ = folder;
        listRight(folder, rightListing_);
    }
    TFZFindData found;
    if (!FZFindItemData(rightListing_, RightPath, found)) {
        f.lastError = errFileNotFound;
        return false;
    }
    f.rightPresent = true;
    f.rightSize = qint64((quint64(found.SizeHigh) << 32) | found.SizeLow);
    f.rightTime = found.LastWriteTime;
    f.rightAttr = found.Attributes;
    f.rightType = (found.Attributes & FZAttrDirectory) ? kFolderType : 0;
    if (f.rightType) f.rightSize = 0;
    return true;
}

// Answers from the listing of the current right folder when the file lies
// in it: true when it answered (f.rightPresent tells what).
bool TCompareRun::lookupListed(FileState& f) {
    const qsizetype cut = rightFilesFolder_.size();
    if (cut == 0 || RightPath.size() <= cut || !RightPath.startsWith(rightFilesFolder_) ||
        RightPath.indexOf(QLatin1Char('/'), cut) >= 0)
        return false;
    if (rightFilesMissing_) {
        f.lastError = rightFilesMissing_;
        return true;
    }
    // The name as the file system spells it; plain ASCII needs no
    // conversion of its own.
    const QStringView name = QStringView(RightPath).mid(cut);
    std::string& raw = nameScratch_;
    raw.clear();
    for (const QChar c : name) {
        if (c.unicode() >= 0x80) {
            raw = QFile::encodeName(name.toString()).toStdString();
            break;
        }
        raw.push_back(char(c.unicode()));
    }
    const auto it = std::lower_bound(rightFiles_.begin(), rightFiles_.end(), raw,
                                     [](const RightEntry& e, const std::string& n) { return e.raw < n; });
    if (it == rightFiles_.end() || it->raw != raw) {
        f.lastError = errFileNotFound;
        return true;
    }
    f.rightPresent = true;
    f.rightSize = it->size;
    f.rightTime = it->time;
    f.rightAttr = it->attributes;
    f.rightType = it->folder ? kFolderType : it->type;
    return true;
}

// ---- content --------------------------------------------------------------------

int TCompareRun::openSide(int side, const QString& path, int mode) {
    const auto& fc = FolderCompare();
    const int slot = side == 1 ? LeftSlot : RightSlot;
    const int kind = side == 1 ? fc.LeftAccessKind : fc.RightAccessKind;
    switch (kind) {
        case akFtp: {
            // A first-block compare downloads no more than that block.
            if (mode == cmFirst) FZSetReadLimit(slot, bufferSize_);
            QString location;
            FZFtpDisplayUrl(slot, path, false, location);
            return FZReopen(slot, location, twReadAccess);
        }
        case akArchive:
            FZSetArchiveProgress(slot, [this](qint64 bytes) { TransferProgress(bytes); });
            return FZReopen(slot, path, twReadAccess);
        default:
            return FZReopen(slot, path, twReadAccess);
    }
}

void TCompareRun::compareContent(FileState& f) {
    auto& fc = FolderCompare();
    auto& st = engine::paneStores();
    ApplyBufferSize(false);
    qint64 buffer = bufferSize_;
    const qint64 size = f.leftSize;
    qint64 blocks = size / buffer + 1;
    if (size > 0 && size % buffer == 0) --blocks;
    qint64 every = 1;
    switch (f.mode) {
        case 1: f.step = bsFirstOnly; break;
        case 2: f.step = blocks > 2 ? bsFirstOfTwo : bsWhole; break;
        case 3: f.step = blocks > 3 ? bsFirstOfThree : bsWhole; break;
        case 4: every = 100; break;
        case 5: every = 10; break;
        case 6: every = 4; break;
        case 7: every = 2; break;
        default: f.step = bsWhole; break;
    }
    if (every > 1) f.step = bsEveryNth;
    const qint64 expected = f.step == bsFirstOfThree ? 3
                            : f.step == bsFirstOfTwo ? 2
                            : f.step == bsFirstOnly  ? 1
                            : f.step == bsWhole      ? blocks
                                                     : blocks / every;

    SkipCountdown = 8;
    win().ShowFileName(namePart(LeftPath));
    win().ProcessMessages();
    ui::errorDialog().ResetRetries(0);
    win().StartFileProgress(f.step == bsWhole ? f.sizeSum : expected);
    FileBytesRead = 0;
    lastTransfer_ = 0;

    int r = 0;
    for (;;) {
        r = openSide(1, LeftPath, f.mode);
        if (!r || AskAccessError(r, eoOpenRead, LeftPath)) break;
    }
    storeError(r);
    if (r) {
        if (folderChainPending_) AddPendingFolderChain();
        st.SetFolderEntryStatus(EntryIndex, r == errFileNotFound ? 2 : 3, shown(1, LeftPath), st.FolderEntries[1]);
        f.equal = false;
        f.leftPending = false;
        FZCloseFile(LeftSlot);
        return;
    }
    if (!SkipRequest) {
        r = openSide(2, RightPath, f.mode);
        if (r) {
            storeError(r);
            giveUpLog(r, eoOpenRead, RightPath);
            if (folderChainPending_) AddPendingFolderChain();
            st.SetFolderEntryStatus(EntryIndex, 5, shown(2, RightPath), st.FolderEntries[2]);
            f.equal = false;
            f.rightPending = false;
            FZCloseFile(RightSlot);
            FZCloseFile(LeftSlot);
            return;
        }
    }

    const bool leftLocal = fc.LeftAccessKind == akLocal;
    const bool rightLocal = fc.RightAccessKind == akLocal;
    char* const left = buffers_[0].get();
    char* const right = buffers_[1].get();
    qint64 offset = 0;
    bool whole = true;
    while (!SkipRequest && whole && f.equal && fc.RunState.load() == rsComparing && offset < size) {
        if (win().Paused()) win().WaitWhilePaused();
        if (config::AppSettings().FCBufSize != bufferIndex_) {
            ApplyBufferSize(true);
            buffer = bufferSize_;
        }
        sequential_ = f.step == bsWhole;
        // No more than the file holds: a read past its end would only cost
        // one more call to learn that it ends.
        readSize_ = std::min(buffer, size - offset);
        qint64 countLeft = 0, countRight = 0;
        if (!ReadBlock(1, offset, countLeft)) {
            if (folderChainPending_) AddPendingFolderChain();
            st.SetFolderEntryStatus(EntryIndex, 4, shown(1, LeftPath), st.FolderEntries[1]);
            f.equal = false;
            f.leftPending = false;
            break;
        }
        if (leftLocal) {
            FileBytesRead += countLeft;
            TickBytesRead += countLeft;
            RunBytesRead += countLeft;
            if (f.step == bsWhole) win().SetFileProgress(FileBytesRead);
        }
        if (!ReadBlock(2, offset, countRight)) {
            if (folderChainPending_) AddPendingFolderChain();
            st.SetFolderEntryStatus(EntryIndex, 4, shown(2, RightPath), st.FolderEntries[2]);
            f.equal = false;
            f.rightPending = false;
            break;
        }
        ++f.buffersRead;
        if (rightLocal) {
            FileBytesRead += countRight;
            TickBytesRead += countRight;
            RunBytesRead += countRight;
        }
        win().SetFileProgress(rightLocal && f.step == bsWhole ? FileBytesRead : qint64(f.buffersRead));
        // Equal counts compare byte for byte: bytes past the data would be
        // padding alike on both sides.
        if (countLeft != countRight || std::memcmp(left, right, size_t(countLeft)) != 0) f.equal = false;
        if (fc.ContentCompareOn) win().SetTotalProgress(BytesDone + FileBytesRead);
        whole = countLeft == readSize_;
        switch (f.step) {
            case bsWhole: offset += countLeft; break;
            case bsEveryNth: offset += buffer * every; break;
            case bsFirstOfThree:
                offset = buffer * (blocks / 2);
                f.step = bsMiddleOfThree;
                break;
            case bsMiddleOfThree:
                offset = buffer * (blocks - 1);
                f.step = bsLastOfThree;
                break;
            case bsFirstOfTwo:
                offset = buffer * (blocks - 1);
                f.step = bsLastOfTwo;
                break;
            default:
                // The first-only block and the last of two or three.
                offset = size;
                break;
        }
    }
    FZCloseFile(RightSlot);
    FZCloseFile(LeftSlot);
    if (SkipCountdown <= 0) win().HideSkipButton();
}

bool TCompareRun::ReadBlock(int side, qint64 offset, qint64& count) {
    const int slot = side == 1 ? LeftSlot : RightSlot;
    char* const buffer = buffers_[side == 1 ? 0 : 1].get();
    ui::errorDialog().ResetRetries(0);
    for (int attempt = 0;; ++attempt) {
        int r = 0;
        // A retry starts the block again, wherever the failed read left
        // the file's position.
        if ((offset != 0 && !sequential_) || attempt > 0) r = FZSeek(slot, offset);
        if (!r) r = FZRead(slot, buffer, readSize_, count);
        if (!r) return true;
        count = 0;
        if (AskAccessError(r, eoRead, side == 1 ? LeftPath : RightPath)) return false;
    }
}

bool TCompareRun::AskAccessError(int code, int operation, const QString& path) {
    win().SetDisplayTimer(5);
    ui::ErrorDialogServices& dlg = ui::errorDialog();
    const config::TAppSettings& s = config::AppSettings();
    bool giveUp = false;
    if (dlg.ErrorAnswer() == ui::eaNoAll || code == errUserAborted || dlg.RetriesExhausted(0) || !s.ESErrorBox) {
        dlg.ResetRetries(0);
        giveUp = true;
    } else if (dlg.ErrorAnswer() == ui::eaYesAll || ui::commandLine().BatchMode()) {
        // Nobody may be asked in a batch run: it waits and retries while the
        // retries last, as "Yes, all" does.
        dlg.RetryDelay();
        dlg.CountRetry(0);
    } else {
        switch (dlg.Ask(path, FZErrorText(-std::abs(code), operation), false, 0, true)) {
            case ui::eaYes:
            case ui::eaYesAll:
                dlg.CountRetry(0);
                break;
            case ui::eaNo:
                dlg.ResetRetries(0);
                giveUp = true;
                break;
            case ui::eaNoAll:
                for (int i = 0; i <= s.ESMaxRetry && !dlg.RetriesExhausted(0); ++i) dlg.CountRetry(0);
                giveUp = true;
                break;
            default:
                win().fbCancelClick();
                giveUp = true;
                break;
        }
    }
    if (giveUp) giveUpLog(code, operation, path);
    win().SetDisplayTimer(6);
    return giveUp;
}

void TCompareRun::TransferProgress(qint64 bytes) {
    // Each transfer counts from 0 again.
    const qint64 delta = bytes >= lastTransfer_ ? bytes - lastTransfer_ : bytes;
    lastTransfer_ = bytes;
    FileBytesRead += delta;
    TickBytesRead += delta;
    RunBytesRead += delta;
    win().SetFileProgress(FileBytesRead);
    win().SetTotalProgress(RunBytesRead);
}

}  // namespace tandex::folders
