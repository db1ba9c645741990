// Re-alignment of rows.
//
// Scores come from LineSimilarity, whose first argument is always a line of
// pane 1 and whose second a line of pane 2; here both are row indexes, as the
// gap rows are already in place.

#include "engine/fuzzy_realign.h"

#include "config/app_settings.h"
#include "engine/diff_engine.h"
#include "engine/fuzzy_similarity.h"
#include "engine/pane_stores.h"
#include "engine/text_compare.h"

#include <algorithm>

namespace tandex::engine {

namespace {

constexpr int kLookAhead = 191;
constexpr int kScoreFloor = 25;

PaneStores& st() { return paneStores(); }
TTextLine* lineAt(int pane, int row) { return st().TextLines[size_t(pane)][row]; }
bool isGap(int pane, int row) { return lineAt(pane, row)->Gap != 0; }
bool rowDiffers(int row) { return lineAt(1, row)->Differs != 0; }

// Score of side's line at row a against the other pane's line at row b.
qint32 crossScore(int side, int a, int b) {
    return side == 1 ? fuzzyProcessor().LineSimilarity(a, b) : fuzzyProcessor().LineSimilarity(b, a);
}
qint32 pairScore(int row) { return fuzzyProcessor().LineSimilarity(row, row); }

void markByKeys(int row) {
    TTextLine* l = lineAt(1, row);
    TTextLine* r = lineAt(2, row);
    const quint8 differs = l->Key != r->Key ? 1 : 0;
    if (!l->Gap) l->Differs = differs;
    if (!r->Gap) r->Differs = differs;
}

// The pass scores pairs as the engine run does, so it stops as that run
// does: when the user cancels, and past the time limit, which the run then
// reports just as when the engine run had hit it. A stopped pass leaves the
// rows as the engine aligned them.
bool passStopped() {
    return diffEngine().DiffCancelled() || textCompare().FuzzyStopState == 2;
}

bool stopScoring() {
    if (passStopped()) return true;
    if (!fuzzyProcessor().FuzzyPassedTimeLimit()) return false;
    textCompare().FuzzyStopState = 2;
    return true;
}

bool hasText(int pane, int row) {
    const TTextLine* line = lineAt(pane, row);
    return !line->Gap && line->Length() > 0;
}

}  // namespace

int RemoveDoubleGapRows(int first, int last) {
    auto& s = st();
    s.UpdateMaxLineCount();
    int removed = 0;
    for (int row = std::min(last, s.MaxLineCount - 1); row >= std::max(first, 0); --row) {
        if (!isGap(1, row) || !isGap(2, row)) continue;
        for (int p = 1; p <= 2; ++p)
            if (row < s.LineCount[size_t(p)])
                s.RemoveLineSlots(s.TextLines[size_t(p)], row, row, s.LineCount[size_t(p)]);
        ++removed;
    }
    s.UpdateMaxLineCount();
    return removed;
}

int MoveToBetterPartner(int side, int otherSide, int r, int first) {
    auto& tc = textCompare();
    int best = r;
    qint32 bar = std::max(pairScore(r), qint32(kScoreFloor));
    for (int i = first, n = 0; n < kLookAhead && i < st().MaxLineCount; ++i, ++n) {
        if (isGap(otherSide, i) || !rowDiffers(i)) break;
        const qint32 c = crossScore(side, r, i);
        const qint32 d = pairScore(i);
        if (stopScoring()) return 1;
        if (c < d) {
            bar = std::max(bar, d);  // that line is better placed where it is
        } else if (c > bar) {
            best = i;
            if (c >= 100) break;
            bar = c;
        }
    }
    if (best == r) return 1;
    if (first < best) {
        // Line X moves down to row best; the other side opens as many rows
        // below it, so what it had from row best on keeps its place relative
        // to X's old neighbours.
        if (!tc.InsertGapRows(side, r, best)) return 1;
        tc.InsertGapRows(otherSide, best + 1, 2 * best - r + 1);
        st().UpdateMaxLineCount();
        markByKeys(best);
        const int removed = RemoveDoubleGapRows(r, 2 * best - r + 1);
        return std::max(best - r - removed, 1);
    }
    // best = first: the partner moves up to row r.
    auto& lines = st().TextLines[size_t(otherSide)];
    lines.Put(r, lines.Take(first));
    markByKeys(r);
    if (isGap(side, first)) {
        RemoveDoubleGapRows(first, first);
    } else {
        lineAt(side, first)->Differs = 1;
    }
    return 1;
}

int RealignRow(int r, int side, int otherSide) {
    int first = r;
    while (first < st().MaxLineCount && isGap(otherSide, first)) ++first;
    if (!rowDiffers(r) || isGap(side, r)) return 1;
    return MoveToBetterPartner(side, otherSide, r, first);
}

void RealignRows() {
    for (int r = 0; r < st().MaxLineCount && !passStopped();) {
        if (!rowDiffers(r)) {
            ++r;
        } else if (isGap(1, r)) {
            r += RealignRow(r, 2, 1);
        } else {
            int c = RealignRow(r, 1, 2);
            if (c == 1) c = RealignRow(r, 2, 1);
            r += c;
        }
    }
}

void PairEndLines(int side, int from, int to) {
    // Only a differing row moves: an exact match at the end stays paired.
    if (!lineAt(1, from)->Differs && !lineAt(2, from)->Differs) return;
    if (crossScore(side, from, to) < config::AppSettings().TCSimilarity) return;
    if (!textCompare().InsertGapRows(side, from, to)) return;
    // The rows behind keep their partners (empty lines at the end of both
    // files): the other pane opens as many rows below the pair.
    textCompare().InsertGapRows(PaneStores::OtherSide(side), to + 1, 2 * to - from + 1);
    markByKeys(to);
    st().UpdateMaxLineCount();
    RemoveDoubleGapRows(from, st().MaxLineCount - 1);
}

void AlignLastLines() {
    // The scores use the similarity settings as a fuzzy run leaves them, in
    // every mode, whatever ran before.
    auto& fz = fuzzyProcessor();
    fz.FuzzyLoadSettings();
    fz.LengthRatio = 0.1;
    int t = st().MaxLineCount - 1;
    while (t > 0 && !hasText(1, t) && !hasText(2, t)) --t;
    if (t <= 0) return;
    int a = t;
    while (a > 0 && !hasText(1, a)) --a;
    if (a > 0 && a < t) {
        PairEndLines(1, a, t);
        return;
    }
    int b = t;
    while (b > 0 && !hasText(2, b)) --b;
    if (b > 0 && b < a) PairEndLines(2, b, a);
}

}  // namespace tandex::engine
