// Fuzzy line similarity.
//
// A line is normalised once (spaces and ignored columns dropped, comment cut,
// case folded) and cached per line index. The distance strips the common
// prefix and suffix and runs the dynamic programme over a single row of
// 16-bit cells, which is why a score looks at no more than 8,192 characters.
// The matrix allocates a row only when a cell of it is first written: the
// band around the diagonal is usually all a run touches.

#include "engine/fuzzy_similarity.h"

#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"

#include <QChar>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace tandex::engine {

namespace {
constexpr int kScratch = FuzzyProcessor::MaxLines;
// Below this many characters in the shorter line the plain loop is as fast.
constexpr int kBitParallelMin = 3;
}

FuzzyProcessor::FuzzyProcessor() {
    for (int p = 1; p <= 2; ++p) cache_[size_t(p)].resize(size_t(kScratch) + 1);
}

void FuzzyProcessor::FuzzyLoadSettings() {
    const auto& s = config::AppSettings();
    Enhance = s.TCFPEnhance ? 1 : 0;
    IgnoreCase = (s.TCIgnCase || s.TCFPIgnCase) ? 1 : 0;
    Threshold = s.TCSimilarity;
    LengthRatio = (Threshold - 16) / 100.0;
}

bool FuzzyProcessor::FuzzyPrepareSingleScore() {
    const auto& s = config::AppSettings();
    Band = LLONG_MAX;
    Enhance = 0;
    IgnoreCase = (s.TCIgnCase || s.TCFPIgnCase) ? 1 : 0;
    LengthRatio = 0.1;
    return IgnoreCase;
}

void FuzzyProcessor::FuzzyClearMatrix() {
    matrix_.clear();
    matrix_.shrink_to_fit();
    rowWidth_ = 0;
    Rows = Columns = 0;
    Transposed = 0;
}

void FuzzyProcessor::FuzzyReset(bool clearMatrix) {
    NoCache = 1;
    FuzzyAbortState = 0;
    LengthRatio = 0.1;
    if (clearMatrix) FuzzyClearMatrix();
    for (auto& c : cache_)
        for (auto& slot : c) slot.reset();
}

void FuzzyProcessor::makeMatrix() {
    matrix_.clear();
    matrix_.resize(size_t(Rows) + 10);
    rowWidth_ = Columns + 10;
}

bool FuzzyProcessor::FuzzyInit(bool clearMatrix, int lines1, int lines2) {
    FuzzyReset(clearMatrix);
    bool ok = false;
    if (lines1 < MaxLines && lines2 < MaxLines) {
        int r = lines1, c = lines2;
        if (Transposed) std::swap(r, c);
        Rows = r;
        Columns = c;
        // A kept matrix must cover the panes; one that does not is rebuilt.
        if (matrix_.empty() || int(matrix_.size()) < Rows + 10 || rowWidth_ < Columns + 10) makeMatrix();
        NoCache = 0;
        ok = true;
    } else {
        Rows = Columns = 0;
        Transposed = 0;
        matrix_.clear();
        rowWidth_ = 0;
        FuzzyAbortState = 1;
    }
    FuzzyLoadSettings();
    Band = std::max<qint64>(std::abs(qint64(lines1) - lines2), 2000);
    FuzzyStats = FuzzyStatistics{};
    evaluationsSinceCheck_ = 0;
    cellsSinceCheck_ = 0;
    start_ = config::ReadTsc();
    return ok;
}

quint8* FuzzyProcessor::cellFor(int i, int j, bool create) {
    if (Transposed) std::swap(i, j);
    if (i < 0 || j < 0 || i >= int(matrix_.size()) || j >= rowWidth_) return nullptr;
    Row& row = matrix_[size_t(i)];
    const auto chunk = size_t(j / kChunkColumns);
    if (chunk >= row.size() || !row[chunk]) {
        if (!create) return nullptr;
        if (row.empty()) row.resize(size_t((rowWidth_ + kChunkColumns - 1) / kChunkColumns));
        row[chunk] = std::make_unique<quint8[]>(size_t(kChunkColumns));
    }
    return &row[chunk][size_t(j % kChunkColumns)];
}

quint8 FuzzyProcessor::MatrixCell(int i, int j) const {
    auto* self = const_cast<FuzzyProcessor*>(this);
    const quint8* cell = self->cellFor(i, j, false);
    return cell ? *cell : 0;
}

bool FuzzyProcessor::FuzzyResizeMatrix(int lines1, int lines2, int index) {
    if (lines1 >= MaxLines || lines2 >= MaxLines) return false;
    if (matrix_.empty()) return true;
    if (Transposed) std::swap(lines1, lines2);
    index = std::max(0, index);
    if (lines1 > Rows) {
        const int k = lines1 - Rows;
        const int at = std::min(index, int(matrix_.size()));
        std::vector<Row> opened(static_cast<size_t>(k));
        matrix_.insert(matrix_.begin() + at, std::make_move_iterator(opened.begin()),
                       std::make_move_iterator(opened.end()));
        matrix_.resize(std::max(matrix_.size(), size_t(lines1) + 10));
    } else if (lines1 < Rows) {
        const int k = Rows - lines1;
        if (index < int(matrix_.size())) {
            const int end = std::min(index + k, int(matrix_.size()));
            matrix_.erase(matrix_.begin() + index, matrix_.begin() + end);
        }
        matrix_.resize(std::max(matrix_.size(), size_t(lines1) + 10));
    }
    Rows = lines1;
    if (lines2 != Columns) {
        const int newWidth = std::max(rowWidth_, lines2 + 10);
        const int k = std::abs(lines2 - Columns);
        const auto chunksOf = [](int width) { return size_t((width + kChunkColumns - 1) / kChunkColumns); };
        std::vector<quint8> flat, moved;
        for (Row& row : matrix_) {
            if (row.empty()) continue;
            // Edits are rare next to scoring: the row is shifted whole, then
            // only chunks holding a score are kept.
            flat.assign(chunksOf(rowWidth_) * kChunkColumns, 0);
            for (size_t c = 0; c < row.size(); ++c)
                if (row[c]) std::memcpy(flat.data() + c * kChunkColumns, row[c].get(), size_t(kChunkColumns));
            moved.assign(chunksOf(newWidth) * kChunkColumns, 0);
            const int at = std::min(index, rowWidth_);
            std::memcpy(moved.data(), flat.data(), size_t(at));
            if (lines2 > Columns) {
                // Cells from index move right by k; the opened cells are unknown (0).
                const int tail = std::min(rowWidth_ - at, newWidth - at - k);
                if (tail > 0) std::memcpy(moved.data() + at + k, flat.data() + at, size_t(tail));
            } else {
                const int tail = rowWidth_ - at - k;
                if (tail > 0) std::memcpy(moved.data() + at, flat.data() + at + k, size_t(tail));
            }
            row.clear();
            row.resize(chunksOf(newWidth));
            for (size_t c = 0; c < row.size(); ++c) {
                const quint8* from = moved.data() + c * kChunkColumns;
                if (std::all_of(from, from + kChunkColumns, [](quint8 v) { return v == 0; })) continue;
                row[c] = std::make_unique<quint8[]>(size_t(kChunkColumns));
                std::memcpy(row[c].get(), from, size_t(kChunkColumns));
            }
        }
        rowWidth_ = newWidth;
        Columns = lines2;
    }
    return true;
}

int FuzzyProcessor::FuzzyNormaliseLine(int pane, int& index, bool cache) {
    const auto& stores = paneStores();
    const TTextLine* line = stores.TextLines[size_t(pane)][index];
    const auto* text = reinterpret_cast<const char16_t*>(line->Text.utf16());
    int n = line->Length();
    if (config::AppSettings().TCIgnLineCom) n = lineKeys().EffectiveLineLength(text, n);
    std::u16string copy;
    copy.reserve(size_t(std::min(n, MaxScoredChars)));
    const bool columns = stores.IgnoredColumnsActive != 0;
    for (int c = 0; c < n && int(copy.size()) < MaxScoredChars; ++c) {
        const char16_t ch = text[c];
        if (ch == 32) continue;
        if (columns && c + 1 <= kMaskColumns && stores.IgnoredColumns[size_t(c) + 1]) continue;
        copy.push_back(IgnoreCase ? char16_t(QChar::toLower(ch)) : ch);
    }
    if (index > kScratch) index = kScratch;
    const int length = int(copy.size());
    // Not cached (scratch or outside a run) copies are dropped by the caller.
    Q_UNUSED(cache);
    cache_[size_t(pane)][size_t(index)] = std::move(copy);
    return length;
}

const std::u16string& FuzzyProcessor::copyFor(int pane, int index, bool& scratch) {
    scratch = index >= kScratch;
    auto& slot = cache_[size_t(pane)][size_t(std::min(index, kScratch))];
    if (NoCache || scratch || !slot) {
        int i = index;
        FuzzyNormaliseLine(pane, i, true);
    }
    return *cache_[size_t(pane)][size_t(std::min(index, kScratch))];
}

int FuzzyProcessor::OsaDistanceW(const std::u16string& a, const std::u16string& b) {
    const bool aLonger = a.size() >= b.size();
    const char16_t* L = aLonger ? a.data() : b.data();
    const char16_t* S = aLonger ? b.data() : a.data();
    int nl = int(aLonger ? a.size() : b.size());
    int ns = int(aLonger ? b.size() : a.size());
    int p = 0;
    while (p < ns && L[p] == S[p]) ++p;
    CommonPrefix = p;
    L += p;
    S += p;
    nl -= p;
    ns -= p;
    if (ns == 0) return nl;
    while (ns > 0 && L[nl - 1] == S[ns - 1]) {
        --nl;
        --ns;
    }
    if (ns == 0) return nl;
    cellsSinceCheck_ += qint64(nl) * ns;
    if (ns >= kBitParallelMin && ns <= 64) return osaBitParallel(L, nl, S, ns);
    // row[j] holds D[i-1][j] before cell (i, j) is computed, D[i][j] after.
    distanceRow_.resize(size_t(ns) + 1);
    quint16* row = distanceRow_.data();
    for (int j = 0; j <= ns; ++j) row[j] = quint16(j);
    for (int i = 1; i <= nl; ++i) {
        quint16 diag = row[0];
        row[0] = quint16(i);
        for (int j = 1; j <= ns; ++j) {
            const quint16 up = row[j];
            const char16_t li = L[i - 1], sj = S[j - 1];
            quint16 v;
            if (li == sj || (i >= 2 && j >= 2 && li == S[j - 2] && L[i - 2] == sj)) {
                v = diag;
            } else {
                v = quint16(1 + std::min({diag, up, row[j - 1]}));
            }
            diag = up;
            row[j] = v;
        }
    }
    return row[ns];
}

quint64 FuzzyProcessor::patternMask(char16_t ch) const {
    if (ch < maskLow_.size()) return maskLow_[ch];
    for (const auto& [c, mask] : maskHigh_)
        if (c == ch) return mask;
    return 0;
}

// The same distance with a machine word per row of the longer line: bit j of
// the vertical delta vectors says how cell j differs from the cell above it
// (Myers' and Hyyro's bit-vector method); only the bottom cell is tracked as
// a number.
int FuzzyProcessor::osaBitParallel(const char16_t* L, int nl, const char16_t* S, int ns) {
    for (int j = 0; j < ns; ++j) {
        const quint64 bit = quint64(1) << j;
        const char16_t ch = S[j];
        if (ch < maskLow_.size()) {
            maskLow_[ch] |= bit;
            continue;
        }
        auto it = std::find_if(maskHigh_.begin(), maskHigh_.end(), [ch](const auto& e) { return e.first == ch; });
        if (it == maskHigh_.end())
            maskHigh_.emplace_back(ch, bit);
        else
            it->second |= bit;
    }
    const quint64 last = quint64(1) << (ns - 1);
    quint64 vp = ns == 64 ? ~quint64(0) : (quint64(1) << ns) - 1;
    quint64 vn = 0, previous = 0;
    int distance = ns;
    for (int i = 0; i < nl; ++i) {
        const quint64 pm = patternMask(L[i]);
        // A cell takes its diagonal neighbour on equal characters and on a
        // swapped adjacent pair alike, so both go into the match mask.
        const quint64 eq = pm | ((pm << 1) & previous);
        const quint64 d0 = (((eq & vp) + vp) ^ vp) | eq | vn;
        quint64 hp = vn | ~(d0 | vp);
        quint64 hn = d0 & vp;
        if (hp & last) ++distance;
        if (hn & last) --distance;
        hp = (hp << 1) | 1;
        hn <<= 1;
        vp = hn | ~(d0 | hp);
        vn = hp & d0;
        previous = pm;
    }
    for (int j = 0; j < ns; ++j)
        if (S[j] < maskLow_.size()) maskLow_[S[j]] = 0;
    maskHigh_.clear();
    return distance;
}

int FuzzyProcessor::FuzzyContains(const std::u16string& shorter, const std::u16string& longer) {
    if (shorter.empty() || shorter.size() > longer.size()) return 0;
    const size_t at = longer.find(shorter);
    return at == std::u16string::npos ? 0 : int(at) + 1;
}

qint32 FuzzyProcessor::LineSimilarity(int i, int j) {
    bool scratch1 = false, scratch2 = false;
    // Each pane has its own slots, so the second copy leaves the first in place.
    const std::u16string& a = copyFor(1, i, scratch1);
    const std::u16string& b = copyFor(2, j, scratch2);
    const qint64 A = qint64(a.size()), B = qint64(b.size());
    const qint64 M = std::max(A, B), N = std::min(A, B);
    qint32 score = 1;
    bool measured = false;
    if (!(N == 0 || N < qint64(M * LengthRatio))) {
        if (!NoCache) ++FuzzyStats.DistanceComputations;
        const int distance = OsaDistanceW(a, b);
        score = qint32(100 - (qint64(distance) * 100) / M);
        measured = true;
    }
    // Bonuses only for a pair whose distance was measured here, so a prefix
    // left over from another pair never counts.
    if (measured && Enhance && score < Threshold) {
        if (M / 2 < CommonPrefix) score += qint32(std::nearbyint(double(CommonPrefix) / double(M) * 15.0));
        if (score < Threshold && score >= 20 && N > 8) {
            const bool aShorter = A < B;
            if (FuzzyContains(aShorter ? a : b, aShorter ? b : a) > 0) score += qint32(N);
        }
    }
    if (score <= 0) score = 1;
    if (NoCache || scratch1) cache_[1][size_t(std::min(i, kScratch))].reset();
    if (NoCache || scratch2) cache_[2][size_t(std::min(j, kScratch))].reset();
    return score;
}

bool FuzzyProcessor::IsSimilarLine(int i, int j) {
    quint8* cell = cellFor(i, j, true);
    quint8 value = cell ? *cell : 0;
    if (value != 0) {
        ++FuzzyStats.MemoHits;
    } else if (FuzzyAbortState == 0) {
        if (std::abs(qint64(i) - j) > Band) {
            value = 1;
            ++FuzzyStats.BandSkips;
        } else {
            // A byte cell holds at most 100; the containment bonus can go far beyond.
            value = quint8(std::min<qint32>(LineSimilarity(i, j), 100));
            ++FuzzyStats.Evaluations;
            ++evaluationsSinceCheck_;
            if (checkDue()) {
                if (checkTimeLimit()) FuzzyAbortState = 2;
                config::eventPump().processEvents();
            }
        }
        // Processing events may have changed the matrix: look the cell up again.
        if (cell) cell = cellFor(i, j, true);
        if (cell) *cell = value;
    }
    return value >= Threshold;
}

bool FuzzyProcessor::checkTimeLimit() {
    evaluationsSinceCheck_ = 0;
    cellsSinceCheck_ = 0;
    const qint64 ms =
        qRound64(double(config::ReadTsc() - start_) / double(config::CpuTicksPerMs()));
    return ms > qint64(config::AppSettings().TCFPTime) * 1000;
}

bool FuzzyProcessor::FuzzyPassedTimeLimit() {
    ++evaluationsSinceCheck_;
    if (!checkDue()) return false;
    const bool passed = checkTimeLimit();
    config::eventPump().processEvents();
    return passed;
}

FuzzyProcessor& fuzzyProcessor() {
    static FuzzyProcessor processor;
    return processor;
}

}  // namespace tandex::engine
