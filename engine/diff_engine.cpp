// The difference engine.
//
// Each flavour runs the same recursion through a small sequence adapter: the
// adapter says how two elements compare and what an element's payload is.
// The recursion finds the middle snake of a piece by running the greedy
// search from both corners at once, then recurses on the parts before and
// after it; only the two diagonal vectors are needed, so memory stays linear.
//
// Records are appended in sequence order. Matched elements are never appended
// by the recursion itself: the next append step catches up on them, which
// keeps the recursion free of bookkeeping. A delete run followed by an add
// run (or the reverse) merges pairwise into modify records as it is appended.

#include "engine/diff_engine.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace tandex::engine {

namespace {

constexpr qint32 kForwardFill = qint32(0x80000001);
constexpr qint32 kBackwardFill = 0x7FFFFFFF;
// Below this many elements on both sides together the search walks at most
// a thousand cells even with no match at all.
constexpr qint64 kSetAsideMinimum = 64;

struct ByteSeq {
    static constexpr bool keyFlavour = false;
    static constexpr const char* error = "Error in RecursiveDiffByte()";
    const quint8* a;
    const quint8* b;
    quint32 e1(qint32 i) const { return a[i]; }
    quint32 e2(qint32 j) const { return b[j]; }
    bool same(qint32 i, qint32 j) const { return a[i] == b[j]; }
    bool eq(qint32 i, qint32 j) const { return a[i] == b[j]; }
};

struct CharSeq {
    static constexpr bool keyFlavour = false;
    static constexpr const char* error = "Error in RecursiveDiffChr()";
    const char16_t* a;
    const char16_t* b;
    quint32 e1(qint32 i) const { return a[i]; }
    quint32 e2(qint32 j) const { return b[j]; }
    bool same(qint32 i, qint32 j) const { return a[i] == b[j]; }
    bool eq(qint32 i, qint32 j) const { return a[i] == b[j]; }
};

struct KeySeq {
    static constexpr bool keyFlavour = true;
    static constexpr const char* error = "Error in RecursiveDiffInt()";
    const qint32* a;
    const qint32* b;
    quint32 e1(qint32 i) const { return quint32(a[i]); }
    quint32 e2(qint32 j) const { return quint32(b[j]); }
    bool same(qint32 i, qint32 j) const { return a[i] == b[j]; }
    bool eq(qint32 i, qint32 j) const { return a[i] == b[j]; }
};

// Keys in fuzzy mode: similar lines count as equal inside the search, while
// the head and tail trimming of a run still asks for equal keys.
struct FuzzyKeySeq {
    static constexpr bool keyFlavour = true;
    static constexpr const char* error = "Error in RecursiveDiffInt()";
    const qint32* a;
    const qint32* b;
    const std::function<bool(qint32, qint32)>* similar;
    quint32 e1(qint32 i) const { return quint32(a[i]); }
    quint32 e2(qint32 j) const { return quint32(b[j]); }
    bool same(qint32 i, qint32 j) const { return a[i] == b[j]; }
    bool eq(qint32 i, qint32 j) const { return a[i] == b[j] || (*similar)(i, j); }
};

}  // namespace

template <class Seq>
class DiffRun {
public:
    DiffRun(DiffEngine& engine, Seq seq) : e_(engine), s_(seq), r_(seq) {}

    bool run(qint32 n, qint32 m) {
        if (e_.busy_) return false;
        // The busy flag must drop on every way out, the error included.
        struct BusyGuard {
            bool& flag;
            ~BusyGuard() { flag = false; }
        } guard{e_.busy_};
        e_.busy_ = true;
        e_.cancel_ = false;
        maxStep_ = 0;
        stepReporting_ = true;
        e_.clear();
        if (n < 0 || m < 0) throw EngineError(Seq::error);
        const qint32 last1 = n - 1;

        if (!Seq::keyFlavour || e_.DiffTrimTail) {
            while (n > 0 && m > 0 && s_.same(n - 1, m - 1)) {
                --n;
                --m;
            }
        }
        if (n > 0 || m > 0) {
            qint32 o = 0;
            while (n > 0 && m > 0 && s_.same(o, o)) {
                ++o;
                --n;
                --m;
            }
            const qint32 d = std::max(n, m);
            if (e_.DiffMaxProc) {
                const auto maxProc = e_.DiffMaxProc;
                maxProc(d);
            }
            if (d > DiffEngine::MaxDiagonal) throw EngineError(Seq::error);
            e_.records_.reserve(size_t(n) + size_t(m));
            qint32 o1 = o, o2 = o, sn = n, sm = m;
            if constexpr (std::is_same_v<Seq, KeySeq>) {
                if (setAsideUnique(o, n, m)) {
                    // The trimmed head is matched before any mapped record.
                    while (lastIndex1_ < o - 1) appendMatch();
                    o1 = o2 = 0;
                    sn = qint32(keys1_.size());
                    sm = qint32(keys2_.size());
                }
            }
            const qint32 sd = std::max(sn, sm);
            const size_t need = size_t(2) * size_t(sd) + 3;
            if (e_.forward_.size() < need) {
                e_.forward_.resize(need);
                e_.backward_.resize(need);
            }
            // Sub-pieces are never longer than the whole, so one offset serves all.
            F_ = e_.forward_.data() + sd + 1;
            B_ = e_.backward_.data() + sd + 1;
            recurse(o1, o2, sn, sm);
            if (mapped_ && !e_.cancel_) {
                while (lastC1_ < sn - 1) catchUpMatch();
                stepTo(o + n - 1, o + m - 1);
                if (e_.DiffProgressProc) report(e_.DiffRecordCount());
            }
        }
        if (e_.cancel_) {
            e_.clear();
            return false;
        }
        while (lastIndex1_ < last1) appendMatch();
        return true;
    }

private:
    // A call-back may reassign the member it runs from (the in-line
    // comparison clears it), so a copy is called.
    void report(qint32 value) {
        const auto proc = e_.DiffProgressProc;
        proc(value);
    }

    void appendMatch() {
        ++lastIndex1_;
        ++lastIndex2_;
        e_.appendRecord({dkMatch, lastIndex1_, lastIndex2_, s_.e1(lastIndex1_), s_.e2(lastIndex2_)});
        ++e_.stats_.Matches;
        lastKind_ = dkMatch;
    }

    // Adds and deletes go through step, which merges a delete run and an add
    // run pairwise into modify records.
    void append(qint32 p1, qint32 count, DiffKind kind) {
        if (mapped_) {
            appendMapped(p1, count, kind);
        } else {
            while (lastIndex1_ < p1 - 1) appendMatch();
            for (qint32 c = 0; c < count; ++c) step(kind);
        }
        if (e_.DiffProgressProc) {
            stepReporting_ = false;
            report(e_.DiffRecordCount());
        }
    }

    // The search ran on the lines left after setting aside those whose key
    // occurs on one side only; its positions are mapped back here. A set-aside
    // line goes out just before the next searched line of its side, so the
    // order of the records follows the search's own choice.
    void appendMapped(qint32 p1, qint32 count, DiffKind kind) {
        while (lastC1_ < p1 - 1) catchUpMatch();
        for (qint32 c = 0; c < count; ++c) {
            if (kind == dkAdd) {
                const qint32 j = map2_[size_t(++lastC2_)];
                while (lastIndex2_ < j) step(dkAdd);
            } else {
                const qint32 i = map1_[size_t(++lastC1_)];
                while (lastIndex1_ < i) step(dkDelete);
            }
        }
    }

    void catchUpMatch() {
        ++lastC1_;
        ++lastC2_;
        stepTo(map1_[size_t(lastC1_)] - 1, map2_[size_t(lastC2_)] - 1);
        appendMatch();
    }

    // Deletes up to line i of sequence 1, then adds up to line j of sequence 2.
    void stepTo(qint32 i, qint32 j) {
        while (lastIndex1_ < i) step(dkDelete);
        while (lastIndex2_ < j) step(dkAdd);
    }

    // Keys found on one side only can never match; setting them aside keeps
    // the shortest script's length and spares the search the diagonals they
    // would cost (a pair with no line in common would walk (N+M)^2/4 cells).
    // False, with nothing changed, when every line has a counterpart. Short
    // runs (the in-line word runs of a long pair of files, a million of them)
    // search faster than the sorting and mapping costs them, so they keep the
    // plain search and its choice among equally short scripts.
    bool setAsideUnique(qint32 o, qint32 n, qint32 m) {
        if (qint64(n) + m < kSetAsideMinimum) return false;
        const auto sortedKeys = [](const qint32* from, qint32 count) {
            std::vector<qint32> keys(from, from + count);
            std::sort(keys.begin(), keys.end());
            keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
            return keys;
        };
        const std::vector<qint32> in1 = sortedKeys(s_.a + o, n);
        const std::vector<qint32> in2 = sortedKeys(s_.b + o, m);
        const auto keep = [](const qint32* from, qint32 o, qint32 count, const std::vector<qint32>& other,
                             std::vector<qint32>& keys, std::vector<qint32>& map) {
            for (qint32 i = o; i < o + count; ++i) {
                if (!std::binary_search(other.begin(), other.end(), from[i])) continue;
                keys.push_back(from[i]);
                map.push_back(i);
            }
        };
        keep(s_.a, o, n, in2, keys1_, map1_);
        keep(s_.b, o, m, in1, keys2_, map2_);
        if (qint32(keys1_.size()) == n && qint32(keys2_.size()) == m) {
            keys1_ = {};
            keys2_ = {};
            map1_ = {};
            map2_ = {};
            return false;
        }
        r_.a = keys1_.data();
        r_.b = keys2_.data();
        mapped_ = true;
        return true;
    }

    void step(DiffKind kind) {
        auto& recs = e_.records_;
        if (kind == dkAdd) {
            if (lastKind_ == dkDelete) {
                // The oldest unpaired delete of the trailing run takes this add.
                DiffRecord& r = recs[trailStart_++];
                r.Kind = dkModify;
                r.Index2 = ++lastIndex2_;
                r.Element2 = s_.e2(lastIndex2_);
                --e_.stats_.Deletes;
                ++e_.stats_.Modifies;
                if (trailStart_ == recs.size()) lastKind_ = dkModify;
            } else {
                ++lastIndex2_;
                if (lastKind_ != dkAdd) trailStart_ = recs.size();
                e_.appendRecord({dkAdd, lastIndex1_, lastIndex2_, 0, s_.e2(lastIndex2_)});
                ++e_.stats_.Adds;
                lastKind_ = dkAdd;
            }
        } else {
            if (lastKind_ == dkAdd) {
                DiffRecord& r = recs[trailStart_++];
                r.Kind = dkModify;
                r.Index1 = ++lastIndex1_;
                r.Element1 = s_.e1(lastIndex1_);
                --e_.stats_.Adds;
                ++e_.stats_.Modifies;
                if (trailStart_ == recs.size()) lastKind_ = dkModify;
            } else {
                ++lastIndex1_;
                if (lastKind_ != dkDelete) trailStart_ = recs.size();
                e_.appendRecord({dkDelete, lastIndex1_, lastIndex2_, s_.e1(lastIndex1_), 0});
                ++e_.stats_.Deletes;
                lastKind_ = dkDelete;
            }
        }
    }

    void recurse(qint32 o1, qint32 o2, qint32 n, qint32 m) {
        if (e_.cancel_) return;
        // A piece whose corners match would otherwise lose that match: the
        // search starts each direction with a move. The run trims its ends by
        // plain equality and every split leaves unequal corners behind, so
        // this only acts on an untrimmed tail or on similar lines.
        while (n > 0 && m > 0 && r_.eq(o1, o2)) {
            ++o1;
            ++o2;
            --n;
            --m;
        }
        while (n > 0 && m > 0 && r_.eq(o1 + n - 1, o2 + m - 1)) {
            --n;
            --m;
        }
        if (n == 0) {
            append(o1, m, dkAdd);
            return;
        }
        if (m == 0) {
            append(o1, n, dkDelete);
            return;
        }
        if (n == 1 && m == 1) {
            append(o1, 1, dkDelete);
            append(o1, 1, dkAdd);
            return;
        }
        const qint32 D = std::max(n, m);
        const qint32 delta = n - m;
        qint32* F = F_;
        qint32* B = B_;
        std::fill(F - (D + 1), F + D + 2, kForwardFill);
        std::fill(B - (D + 1), B + D + 2, kBackwardFill);
        F[0] = -1;
        B[delta] = n - 1;
        for (qint32 d = 1; d <= D; ++d) {
            if (stepReporting_ && d % 1024 == 0) {
                if (d > maxStep_) {
                    maxStep_ = d;
                    if (e_.DiffProgressProc) report(d);
                }
                if (e_.cancel_) return;
            }
            // Forward: F[k] is the last element of piece 1 reached on diagonal k.
            qint32 k = d;
            while (k > n) k -= 2;
            for (const qint32 lo = std::max(-d, -m); k >= lo; k -= 2) {
                qint32 x = F[k + 1] > F[k - 1] ? F[k + 1] : F[k - 1] + 1;
                qint32 y = x - k;
                while (x < n - 1 && y < m - 1 && r_.eq(o1 + x + 1, o2 + y + 1)) {
                    ++x;
                    ++y;
                }
                F[k] = x;
                if ((delta & 1) && x >= B[k]) {
                    const qint32 x1 = x + 1, y1 = y + 1;
                    qint32 x0 = x1, y0 = y1;
                    while (x0 > 0 && y0 > 0 && r_.eq(o1 + x0 - 1, o2 + y0 - 1)) {
                        --x0;
                        --y0;
                    }
                    recurse(o1, o2, x0, y0);
                    recurse(o1 + x1, o2 + y1, n - x1, m - y1);
                    return;
                }
            }
            // Backward: B[k] is the next element of piece 1 to examine on diagonal k.
            k = delta + d;
            while (k > n) k -= 2;
            for (const qint32 lo = std::max(delta - d, -m); k >= lo; k -= 2) {
                qint32 x = B[k + 1] > B[k - 1] ? B[k - 1] : B[k + 1] - 1;
                qint32 y = x - k;
                while (x > -1 && y > -1 && r_.eq(o1 + x, o2 + y)) {
                    --x;
                    --y;
                }
                B[k] = x;
                if (Seq::keyFlavour && e_.cancel_) return;
                if (x <= F[k]) {
                    const qint32 x0 = x + 1, y0 = y + 1;
                    recurse(o1, o2, x0, y0);
                    qint32 x1 = x0, y1 = y0;
                    while (x1 < n && y1 < m && r_.eq(o1 + x1, o2 + y1)) {
                        ++x1;
                        ++y1;
                    }
                    recurse(o1 + x1, o2 + y1, n - x1, m - y1);
                    return;
                }
            }
        }
        throw EngineError(Seq::error);
    }

    DiffEngine& e_;
    Seq s_;  // the whole sequences: records and their elements
    Seq r_;  // what the search compares: s_, or the lines left after setAsideUnique
    bool mapped_ = false;
    std::vector<qint32> keys1_, keys2_;
    std::vector<qint32> map1_, map2_;  // searched position -> line of the whole sequence
    qint32 lastC1_ = -1;
    qint32 lastC2_ = -1;
    qint32* F_ = nullptr;
    qint32* B_ = nullptr;
    qint32 lastIndex1_ = -1;
    qint32 lastIndex2_ = -1;
    DiffKind lastKind_ = dkMatch;
    size_t trailStart_ = 0;  // first record of the trailing run of adds or deletes
    qint32 maxStep_ = 0;
    bool stepReporting_ = true;
};

bool DiffEngine::DiffBytes(const quint8* seq1, const quint8* seq2, qint32 n, qint32 m) {
    return DiffRun<ByteSeq>(*this, ByteSeq{seq1, seq2}).run(n, m);
}

bool DiffEngine::DiffChars(const char16_t* seq1, const char16_t* seq2, qint32 n, qint32 m) {
    return DiffRun<CharSeq>(*this, CharSeq{seq1, seq2}).run(n, m);
}

bool DiffEngine::DiffInts(const qint32* keys1, const qint32* keys2, qint32 n, qint32 m) {
    if (SimilarLine) {
        // The predicate may pump events; a copy keeps it alive if a call-back
        // reassigns the member meanwhile.
        const std::function<bool(qint32, qint32)> similar = SimilarLine;
        return DiffRun<FuzzyKeySeq>(*this, FuzzyKeySeq{keys1, keys2, &similar}).run(n, m);
    }
    return DiffRun<KeySeq>(*this, KeySeq{keys1, keys2}).run(n, m);
}

bool DiffEngine::GetDiffRecord(qint32 i, DiffRecord& record) const {
    if (i < 0 || i >= DiffRecordCount()) return false;
    record = records_[size_t(i)];
    return true;
}

void DiffEngine::clear() {
    records_.clear();
    stats_ = DiffStatistics{};
}

DiffEngine& diffEngine() {
    static DiffEngine engine;
    return engine;
}

}  // namespace tandex::engine
