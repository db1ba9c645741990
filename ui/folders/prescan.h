#pragma once
// The pre-scan: while the folder window still shows its options, a worker
// thread walks the left tree and appends one item per accepted file and
// folder to the pre-scan list, which the comparison consumes behind it.
//
// Local trees are read with opendir/readdir and fstatat; every listing is
// read once and sorted by name (byte for byte, so "Src" and "src" are two
// folders), which makes the list independent of the file system's order.
// A link to a file counts as that file; a link to a folder is walked unless
// it leads back to a folder on the walked path. FIFOs, sockets and devices
// are listed as files and never opened. FTP, archive and cloud roots are
// listed through the access layer's listings, always folders first.
//
// Everything the thread shares with the user-interface thread is atomic or
// guarded: the list publishes complete items only, the counters and flags
// are atomics, the run's filter is immutable, and folders that cannot be
// listed go to the comparison unit's report (folder_compare.h).

#include "access/access_types.h"
#include "engine/pane_stores.h"
#include "ui/folders/folder_compare.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace tandex::folders {

// PreScanKind values.
enum TPreScanKind : int { pkLocal = 0, pkFtp = 1, pkArchive = 2, pkCloud = 3 };

// The walk stops once more folders and files than this were met.
inline constexpr int kPreScanItemLimit = 6'149'999;

// The pre-scan unit's program-wide state. The folder window sets
// PreScanSubfolders and PreScanThrottle; the thread writes the rest, which
// the window's display timer reads.
struct TPreScanState {
    std::atomic<bool> PreScanSubfolders{true};
    // Sleep 100 ms after each entry (while the more-filters panel slides).
    std::atomic<bool> PreScanThrottle{false};
    std::atomic<int> PreScanKind{pkLocal};
    std::atomic<int> PreScanFiles{0};    // file items appended
    std::atomic<int> PreScanFolders{0};  // folders whose listing was read
    std::atomic<int> PreScanDepth{0};    // the root is 1
    std::atomic<int> PreScanMaxDepth{0};
    std::atomic<qint64> PreScanBytes{0};
    std::atomic<qint64> PreScanTicks{0};  // of the last walk, ReadTsc units

    // Before a new pre-scan (or series of them) into a fresh list.
    void ResetCounters();
};

TPreScanState& PreScan();

// One pre-scan of one root. The run that owns it sets the fields, calls
// Start and later Join (the destructor stops and joins a walk still
// running). Nothing may change the fields or touch ScanList's items, other
// than reading below its count, until Join returned.
class TPreScanFolder {
public:
    TPreScanFolder() = default;
    TPreScanFolder(const TPreScanFolder&) = delete;
    TPreScanFolder& operator=(const TPreScanFolder&) = delete;
    ~TPreScanFolder();

    QChar Separator = QLatin1Char('/');
    // Where the part of a path below the root begins (1-based).
    int RootPos = 0;
    int OpenResult = 0;
    quint64 StartTicks = 0;
    // A remote root's slot handed over by the browser (it belongs to the
    // walk from then on and is closed by it), else FZNoSlot.
    int Slot = access::FZNoSlot;
    QString Root;       // walked
    QString OtherRoot;  // the counterpart written into the items
    QString IncludeMasks, ExcludeMasks, ExcludedFolders;
    engine::TScanList* ScanList = nullptr;
    // The run's filter; made from the settings and the mask texts by Start
    // when none is given.
    std::shared_ptr<const TFolderFilter> Filter;
    // The remote path part of an FTP root, set by the walk.
    QString PreScanFtpPath;

    // The pause of the throttle, in milliseconds; tests count the calls.
    std::function<void(int)> Sleep;
    int ItemLimit = kPreScanItemLimit;

    // User-interface thread: Prepare, then Execute on the walk's own thread.
    void Start();
    // Start's first half: takes the options of the settings (folders first,
    // depth limit, pair list) and the filter, clears the stop request and
    // the throttle and marks the pre-scan running. A test that runs Execute
    // on its own thread calls it in place of Start.
    void Prepare();
    // Waits until Execute has returned.
    void Join();
    bool Running() const { return thread_.joinable(); }

    // The walk; its results are the list, the counters, the flags and the
    // report.
    void Execute();

private:
    struct Walk;

    std::thread thread_;
    bool foldersFirst_ = true;
    bool pairList_ = false;
    int maxDepth_ = 0;
};

}  // namespace tandex::folders
