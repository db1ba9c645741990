#pragma once
// The folder comparison's unit: the state its run shares with the pre-scan
// thread, and the filter a run applies on both sides. It needs no widget.
//
// The pre-scan thread (prescan.h) and the user-interface thread touch the
// flags below concurrently, so every one of them is atomic; what the
// thread finds wrong on the way (folders it could not list, a walk cut at
// the item limit) reaches the run through a mutex-guarded report.

#include "access/access_types.h"
#include "access/file_masks.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tandex::folders {

// RunState values.
enum TRunStateValue : int {
    rsIdle = 0,
    rsStopped = 1,     // the comparison ends after the current entry
    rsComparing = 2,
    rsOptions = 3,     // the options view is shown
    rsConfirmed = 4,   // options confirmed in options-only mode
};

// A folder the pre-scan could not list (its path as the items carry it,
// with the trailing separator) and the result code why.
struct TUnlistedFolder {
    QString Path;
    int Code = 0;
};

// What a pre-scan reports besides its list. Written by the thread, read by
// the run at any time.
class TPreScanReport {
public:
    void AddUnlisted(const QString& path, int code);
    std::vector<TUnlistedFolder> Unlisted() const;
    // The walk stopped at the item limit, so the list is not the whole tree.
    void MarkCut() { cut_.store(true); }
    bool Cut() const { return cut_.load(); }
    // Forgets everything: before the first pre-scan of a new list.
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<TUnlistedFolder> unlisted_;
    std::atomic<bool> cut_{false};
};

// The comparison's program-wide state.
struct TFolderCompareState {
    std::atomic<int> RunState{rsIdle};
    std::atomic<bool> PreScanRunning{false};
    std::atomic<bool> PreScanDone{false};
    std::atomic<bool> PreScanStop{false};
    TPreScanReport PreScanReport;

    // What the folder window sets and other units read of the last run; the
    // user-interface thread alone writes and reads them.
    bool ContentCompareOn = false;
    // The first failure of a run (root check, pair list, file open, a
    // folder that could not be listed, a cut run): the batch result.
    int FCErrorCode = 0;
    // False once the user chose to go on without the right root: every
    // left file is then a row without a right counterpart.
    bool RightRootReachable = true;
    // The buffer size changed during the run: the block loop takes the new
    // size at its next block.
    bool BufSizeChanged = false;
    int MaxFolderDepth = 0;
    // access::TFZAccessKind of each side's slot (0 none).
    int LeftAccessKind = 0;
    int RightAccessKind = 0;
};

TFolderCompareState& FolderCompare();

// What passes into a comparison: the masks, the attribute rules and the
// size and time limits of the folder window and its more-filters panel.
// A run builds one from the settings on the user-interface thread; the
// pre-scan thread and the right-side scan then share it read-only, so a
// change of the settings during a run reaches neither half-way.
struct TFolderFilter {
    access::TFZMasks Masks;
    // An entry passes when its attributes AND the mask equal the wanted
    // bits; the directory bit in both masks keeps files and folders apart.
    quint32 FileMask = access::FZAttrDirectory;
    quint32 FileWanted = 0;
    quint32 FolderMask = access::FZAttrDirectory;
    quint32 FolderWanted = access::FZAttrDirectory;
    bool ExclSmaller = false, ExclLarger = false, ExclOlder = false, ExclNewer = false;
    qint64 SmallerThan = 0, LargerThan = 0;  // bytes
    // UTC file times, already widened by the half second that the time
    // comparison of two files forgives.
    qint64 OlderThan = 0, NewerThan = 0;

    bool FilePasses(quint32 attributes) const { return (attributes & FileMask) == FileWanted; }
    bool FolderPasses(quint32 attributes) const { return (attributes & FolderMask) == FolderWanted; }
    // The size and time limits, in that order; false when one rejects.
    bool SizeAndTimePass(qint64 size, access::FileTime time) const;
};

// value * 1024^unit (unit 0 bytes up to 4 TiB), held at the 64-bit limits
// where the product would not fit.
qint64 FilterSizeBytes(int value, int unit);

// The filter of the current settings with the folder window's mask texts.
// Reads the settings: user-interface thread only.
std::shared_ptr<const TFolderFilter> MakeFolderFilter(const QString& includeMasks,
                                                      const QString& excludeMasks,
                                                      const QString& excludedFolders);

// ---- the comparison run -------------------------------------------------

// The content modes (AppSettings.FCContent) and their names in the log.
enum TContentMode : int { cmNone = 0, cmFirst = 1, cmFirstLast = 2, cmFirstMiddleLast = 3, cmWhole = 8 };
QString ContentModeName(int mode);

// Read buffer sizes by AppSettings.FCBufSize (0..7), the largest first
// allocated.
inline constexpr int kBlockSizes[8] = {32768, 65536, 131072, 262144, 524288, 1048576, 2097152, 4194304};
inline constexpr int kMaxBlockSize = 4194304;
int BlockSizeOf(int index);

// What the comparison needs of its window (the folder window fills it in;
// without one, or with this default, a run is silent and headless). Every
// progress routine processes pending messages.
class TCompareWindow {
public:
    virtual ~TCompareWindow() = default;
    virtual void SetTotalMax(bool /*reset*/, qint64 /*total*/) {}
    virtual void SetTotalProgress(qint64 /*value*/) {}
    virtual void StartFileProgress(qint64 /*total*/) {}
    virtual void SetFileProgress(qint64 /*value*/) {}
    // The display clock: 3 last tick, 4 restart, 5 pause, 6 resume.
    virtual void SetDisplayTimer(int /*kind*/) {}
    // The file whose content is being compared (name part).
    virtual void ShowFileName(const QString& /*name*/) {}
    // The pre-scan's file count as it grows.
    virtual void ShowScanCount(int /*count*/) {}
    // The buffer size was changed during the run and is now in force.
    virtual void ShowBufferSize(int /*index*/) {}
    virtual void EnablePause() {}
    virtual void HideSkipButton() {}
    virtual bool Paused() const { return false; }
    virtual void WaitWhilePaused() {}
    // "Cancel": the run stops after the current entry and the access
    // layer's running work is aborted.
    virtual void fbCancelClick();
    virtual void ProcessMessages();
};

// One folder comparison run: its run-wide values, its counters and the
// routines of the loop. The folder window owns one, sets the inputs,
// zeroes the counters (ResetCounters) and calls ComparePair; the results
// go into the pane stores (entries, rows), FolderCompare() and log 0.
//
// Local trees are read with fstatat and opendir; a name matches only
// itself, letter case included ("Src" and "src" are two rows). Only
// regular files are ever opened: any other entry equals only one of its
// own kind. User-interface thread only; the pre-scan thread may still
// append to the list while the run reads it.
class TCompareRun {
public:
    TCompareRun();
    ~TCompareRun();
    TCompareRun(const TCompareRun&) = delete;
    TCompareRun& operator=(const TCompareRun&) = delete;

    // ---- inputs ----
    engine::TScanList* ScanList = nullptr;
    // The roots of a single pair (normalised by ComparePair); a pair list
    // takes its roots from the list's items.
    QString LeftRoot, RightRoot;
    // The filter the pre-scan used; the right-only files must pass it too.
    // None: the settings with every file included.
    std::shared_ptr<const TFolderFilter> Filter;
    // False when "Start" accepted a right root that cannot be reached:
    // no right lookups, every right folder "path not found".
    bool RightRootReachable = true;
    TCompareWindow* Window = nullptr;
    // The store's limits (tests make them small).
    int EntryLimit = 5'999'999;
    int FolderPairLimit = 149'999;

    // ---- counters, zeroed by ResetCounters ----
    int FilesCompared = 0, FilesFoundRight = 0, Folders = 0, FoldersFoundRight = 0;
    int Differences = 0, Errors = 0;
    // Files found only on the right; each is one of the differences.
    int RightOnlyFiles = 0;
    // Counted down by the display timer; "Skip" shows at 0.
    int SkipCountdown = 8;
    // Set by "Skip": the current file's result stands on what was read.
    bool SkipRequest = false;
    qint64 StartTime = 0, LastDisplayTime = 0, ComparedTime = 0;  // ms
    int EntryIndex = 0;
    qint64 BytesExpected = 0, BytesDone = 0, FileBytesRead = 0, TickBytesRead = 0, RunBytesRead = 0;
    // The current file on each side, and the roots in use with their
    // lengths plus one (where a path's part below the root begins).
    QString LeftPath, RightPath;
    QString CurLeftRoot, CurRightRoot;
    int LeftRootLength = 1, RightRootLength = 1;
    int LeftSlot = access::FZNoSlot, RightSlot = access::FZNoSlot;

    void ResetCounters();
    void AllocateBlockBuffers();
    void ReleaseBlockBuffers();

    // ---- the run ----
    void ComparePair(bool subfolders);
    void CompareEntries();
    // side 1 left, 2 right; false when the read was given up.
    bool ReadBlock(int side, qint64 offset, qint64& count);
    void NextScanItem();
    void ApplyBufferSize(bool show);
    // true: give up, false: retry. operation: access::TFZErrorOp.
    bool AskAccessError(int code, int operation, const QString& path);
    // The bytes of the current remote transfer so far.
    void TransferProgress(qint64 bytes);

    // ---- folder rows and right-only files ----
    void AddPendingFolderChain();
    // The deepest level made or found, -1 for the root itself.
    int AddFolderChain(const QString& leftFolder, const QString& rightFolder);
    void AlignPairPaths(const QString& leftFolder, const QString& rightFolder);
    int GetFolderTime(const QString& path, int slot, int kind, access::FileTime& time, quint32& attributes);
    void ScanRightOnly(const QString& rightFolder);
    void EntryLimitReached();

private:
    struct FileState;
    // One entry of a right folder's listing.
    struct RightEntry {
        std::string raw;  // local names as the file system has them
        QString name;     // decoded only where needed (local listings)
        qint64 size = 0;
        access::FileTime time = 0;
        quint32 attributes = 0;
        quint8 type = 0;  // as TScanItem::FileType
        bool folder = false;
    };
    // The names of a left folder with whether each is a folder, read once
    // for all the right entries of a level.
    struct LeftNames {
        bool read = false;
        int missing = 0;  // 3 when the folder itself is not there
        bool failed = false;
        std::vector<std::pair<std::string, bool>> names;
    };

    TCompareWindow& win() const;
    bool pairList() const;
    const access::TFZMasks& masks() const;
    void folderMarker(const engine::TScanItem& item);
    void fileItem(const engine::TScanItem& item);
    bool lookupRight(FileState& f);
    void compareContent(FileState& f);
    int openSide(int side, const QString& path, int mode);
    void giveUpLog(int code, int operation, const QString& path);
    void storeError(int code);
    void reportUnlisted();
    void checkLimits();
    QString shown(int side, const QString& path) const;
    void makeChain(const QString& leftPath, const QString& rightPath);
    int listRight(const QString& folder, access::TFZDDir& listing);
    int leftPresence(const QString& leftFolder, RightEntry& entry, LeftNames& names);
    static const QString& nameOf(RightEntry& entry);
    void writeFileEntry(int side, const QString& path, qint64 size, access::FileTime time, quint32 attributes);
    void scanRightOnly(const QString& rightFolder, bool top);
    bool listRightEntries(const QString& folder, bool top, std::vector<RightEntry>& entries);
    bool lookupListed(FileState& f);

    std::unique_ptr<char[]> buffers_[2];
    int bufferIndex_ = -1;
    qint64 bufferSize_ = 131072;
    bool subfolders_ = true;
    bool folderChainPending_ = true;
    int positionInUse_ = 0;
    int itemIndex_ = -1;
    int searchCursor_ = 0;
    int scanFilesSeen_ = -1;
    qint64 missingBytes_ = 0;
    qint64 lastTransfer_ = 0;
    size_t unlistedReported_ = 0;
    bool rightReachable_ = true;
    // The block loop reads in sequence: no seek between its blocks.
    bool sequential_ = false;
    // What the next ReadBlock asks for: the block size, or the rest of the
    // file when that is less.
    qint64 readSize_ = 131072;
    // Placeholder levels in front of each side's path (pair lists whose
    // folders differ in depth), by pane.
    int padding_[3] = {0, 0, 0};
    // The right folder listing of the current folder (remote kinds).
    access::TFZDDir rightListing_;
    QString rightListingFolder_;
    // The same of a local right folder, by raw name: the loop looks its
    // files up there rather than asking the file system once more. Valid
    // while rightFilesFolder_ is not empty; rightFilesMissing_ is 3 when
    // the folder is not there at all.
    std::vector<RightEntry> rightFiles_;
    QString rightFilesFolder_;
    int rightFilesMissing_ = 0;
    std::string nameScratch_;
    // The left entry's path text of the row being written, and the row.
    QString shown_;
    int shownIndex_ = -1;
    int reserved_ = 0;
    std::vector<char> folderBuffer_;
    // The right-only scan's buffers by level of its recursion.
    struct ScanLevel {
        std::vector<RightEntry> right;
        LeftNames left;
    };
    std::deque<ScanLevel> levels_;
    size_t scanLevel_ = 0;
    std::unique_ptr<access::TFZMasks> pairMasks_;
    // Keys of folder levels: exact names, nothing ignored.
    engine::LineKeys keys_;
    // The levels of the chain made last, per side: a level equal to it
    // needs no search of the folder-pair index.
    std::vector<QString> chainLeft_, chainRight_;
    // Right folders being scanned (device, inode): a link back to one of
    // them is not entered again.
    std::vector<std::pair<quint64, quint64>> rightOnPath_;
};

}  // namespace tandex::folders
