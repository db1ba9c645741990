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

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <mutex>
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

    // Run-wide values that the folder window sets and the run reads, on the
    // user-interface thread only.
    bool ContentCompareOn = false;
    // The result code of the latest root check.
    int FCErrorCode = 0;
    // False once the user chose to go on without the right root: every
    // left file is then a row without a right counterpart.
    bool RightRootReachable = true;
    // The buffer size changed during the run: the block loop takes the new
    // size at its next block.
    bool BufSizeChanged = false;
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

}  // namespace tandex::folders
