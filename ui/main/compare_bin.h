#pragma once
// The binary comparison: two files become pairs of hexadecimal dump lines in
// the binary pane stores, aligned by content, so that bytes only one file
// has stand opposite filler cells and equal data after an insertion lines
// up again. Both files are read block by block through their access slots
// and the byte engine runs on each pair of blocks; the rows after the last
// fully equal row of a block are dropped and their bytes carried into the
// next block, so a difference across a block boundary is aligned whole.
//
// No widget is touched: progress goes to config::progressSink() and the
// boxes to the message sink, so the batch run and the tests need no window.
// One comparison runs at a time; the unit refuses a second one itself.

#include "engine/pane_stores.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace tandex::ui {

struct TBinaryDiffTotals {
    qint64 Modified = 0;
    qint64 Added = 0;    // bytes only in the right file
    qint64 Deleted = 0;  // bytes only in the left file
};

// The clock the block size adapts to: ticks and ticks per millisecond.
// Left empty, the processor tick clock of config/sys_helpers.h serves.
struct BinaryCompareClock {
    std::function<quint64()> ReadTicks;
    qint64 TicksPerMs = 0;
};

class CompareBin {
public:
    // Bytes per side and pass at the start, the bounds while both files
    // still have data, and the whole buffer once one has ended.
    static constexpr int kStartBlockSize = 16384;
    static constexpr int kMinBlockSize = 2048;
    static constexpr int kBufferSize = 262144;
    // Data rows at most; the limit row follows the last one.
    static constexpr int kMaxDataRows = 5999999;

    // Compares the files open in the side slots of the pane stores, fills the
    // binary lines of both panes and the line counts, and returns the number
    // of rows whose left item differs. When the rows stop at their limit
    // with none differing, the rest of the files is compared byte for byte,
    // and a difference there marks the limit row as differing. The paths serve only to fetch remote
    // files again. Returns -1 and changes nothing while a comparison (or any
    // run of the engine) is busy.
    qint32 CompareBinaryFiles(const QString& leftPath, const QString& rightPath,
                              const BinaryCompareClock& clock = {});
    // "Mod=1.234 Add=0 Del=5".
    QString BinaryDiffSummary() const;
    void SwapBinaryDiffTotals() { std::swap(BinaryDiffTotals.Added, BinaryDiffTotals.Deleted); }
    // Ends the running comparison after its current pass. Only sets flags,
    // so a progress call-back (Cancel pressed while the progress window
    // processes events) may call it.
    void AbortBinaryCompare();
    // The engine's progress call-back during a comparison.
    void BinaryCompareProgress(qint32 value);

    bool Running() const { return running_; }
    int BlockSize() const { return blockSize_; }
    // Characters of the widest line of the last comparison (the view's extent).
    int MaxLineWidth() const { return maxLineWidth_; }

    TBinaryDiffTotals BinaryDiffTotals;
    // The window shows its loading status for a side whose remote file is
    // fetched again; headless runs leave it empty.
    std::function<void(int pane)> ShowLoadingStatus;

private:
    struct Side {
        std::vector<quint8> buffer;
        qint64 lineStart = 0;  // file offset of the current line's first byte
        qint64 current = 0;
        qint64 passStart = 0;  // file offset of buffer[0]
        int carry = 0;
        qint64 readCount = 0;
        bool active = false;
    };
    struct Checkpoint {
        int row = 0;
        qint64 left = 0;
        qint64 right = 0;
    };

    void startRemoteFetch(int pane, const QString& path);
    bool runPass();
    void readSide(int pane, Side& side);
    void layoutPass(int leftCount, int rightCount);
    void matchCell(quint8 byte);
    void addCell(quint8 byte);
    void deleteCell(quint8 byte);
    void modifyCell(quint8 left, quint8 right);
    void nextCell();
    void emitLine();
    void emitMessageRow(const QString& text);
    void resetLine();
    void cutBack();
    void adaptBlockSize();
    void failPass(int code, const QString& text);
    // Whether the files differ behind the rows (both sides from their
    // current offsets to their ends); a read failure counts as a difference.
    bool restDiffers();

    Side sides_[3];
    // The two lines being built: a byte and what its cell shows, per cell.
    std::vector<quint8> cellBytes_[3];
    std::vector<engine::TBinCell> cellKinds_[3];
    int cells_ = 16;
    int cellsLeft_ = 0;
    bool lineDiffers_ = false;
    bool offsetMode_ = true;
    int rowCount_ = 0;
    Checkpoint checkpoint_;
    TBinaryDiffTotals sinceCheckpoint_;
    int blockSize_ = kStartBlockSize;
    bool bothActive_ = false;
    bool stop_ = false;
    bool abortRequested_ = false;
    int limitRow_ = -1;  // the row of the limit message, -1 while none
    bool errorFlag_ = false;
    int errorCode_ = 0;
    QString errorText_;
    qint64 bytesDone_ = 0;
    qint64 largestShown_ = 0;
    quint64 engineTicks_ = 0;
    BinaryCompareClock clock_;
    bool running_ = false;
    int maxLineWidth_ = 0;
};

// The program-wide binary comparison.
CompareBin& compareBin();

inline qint32 CompareBinaryFiles(const QString& leftPath, const QString& rightPath,
                                 const BinaryCompareClock& clock = {}) {
    return compareBin().CompareBinaryFiles(leftPath, rightPath, clock);
}
inline QString BinaryDiffSummary() { return compareBin().BinaryDiffSummary(); }
inline void SwapBinaryDiffTotals() { compareBin().SwapBinaryDiffTotals(); }
inline void AbortBinaryCompare() { compareBin().AbortBinaryCompare(); }
inline void BinaryCompareProgress(qint32 value) { compareBin().BinaryCompareProgress(value); }

}  // namespace tandex::ui
