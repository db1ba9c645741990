#pragma once
// The difference engine: a shortest edit script between two sequences by
// the linear-space O(ND) method (greedy forward and backward search, split at
// the middle snake, divide and conquer). Three flavours share one recursion:
// bytes, 16-bit characters and 32-bit line keys. One run exists at a time in
// the whole program; its records and counters stay until the next run or
// DiffClear.

#include <QtGlobal>
#include <functional>
#include <stdexcept>
#include <vector>

namespace tandex::engine {

// Raised by library code of the engine with the program's own texts.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum DiffKind : quint8 {
    dkMatch = 0,
    dkAdd = 1,     // element only in sequence 2
    dkDelete = 2,  // element only in sequence 1
    dkModify = 3,  // a delete paired with an add
};

struct DiffRecord {
    DiffKind Kind = dkMatch;
    qint32 Index1 = -1;  // for an add: the last sequence-1 index consumed before it
    qint32 Index2 = -1;  // for a delete: the last sequence-2 index consumed before it
    quint32 Element1 = 0;  // 0 on an add record
    quint32 Element2 = 0;  // 0 on a delete record
};

struct DiffStatistics {
    qint32 Matches = 0;
    qint32 Adds = 0;
    qint32 Deletes = 0;
    qint32 Modifies = 0;
    qint32 Blocks = 0;  // never written by the engine; the text comparison fills it
};

class DiffEngine {
public:
    // The search needs diagonals -(D+1)..D+1; D beyond this is refused.
    static constexpr qint32 MaxDiagonal = 16777214;

    // True when the run completed and the records hold its result; false when
    // another run is busy (nothing changes) or the run was cancelled (the
    // list is empty). Throws EngineError when the search fails.
    bool DiffBytes(const quint8* seq1, const quint8* seq2, qint32 n, qint32 m);
    bool DiffChars(const char16_t* seq1, const char16_t* seq2, qint32 n, qint32 m);
    bool DiffInts(const qint32* keys1, const qint32* keys2, qint32 n, qint32 m);

    qint32 DiffRecordCount() const { return static_cast<qint32>(records_.size()); }
    bool GetDiffRecord(qint32 i, DiffRecord& record) const;
    const std::vector<DiffRecord>& records() const { return records_; }
    void GetDiffStatistics(DiffStatistics& stats) const { stats = stats_; }
    DiffStatistics& stats() { return stats_; }
    // Frees the records and zeroes the counters. Refused while a run is busy
    // (a call-back asking for it would pull the records from under the run).
    void DiffClear() {
        if (!busy_) clear();
    }
    void DiffCancel() { cancel_ = true; }
    bool DiffCancelled() const { return cancel_; }
    bool busy() const { return busy_; }

    // Assigned directly by the callers.
    std::function<void(qint32)> DiffProgressProc;
    std::function<void(qint32)> DiffMaxProc;
    bool DiffTrimTail = true;
    // While set, the key flavour's search also counts two lines as equal when
    // this says they are similar (whole-sequence line indexes). The text
    // comparison installs it for its own run in fuzzy mode.
    std::function<bool(qint32, qint32)> SimilarLine;

private:
    template <class Seq>
    friend class DiffRun;

    void appendRecord(const DiffRecord& r) { records_.push_back(r); }
    void clear();

    std::vector<DiffRecord> records_;
    DiffStatistics stats_;
    // Diagonal vectors, grown on demand and kept for the next run.
    std::vector<qint32> forward_;
    std::vector<qint32> backward_;
    bool busy_ = false;
    bool cancel_ = false;
};

// The program-wide engine.
DiffEngine& diffEngine();

}  // namespace tandex::engine
