// The text comparison run.
//
// The engine's records are in sequence order and record i becomes row i, so
// the aligned panes are built in one pass: each record takes its line (or a
// gap) on each side. Opening gap rows run by run instead would move the
// whole tail of a pane once per run of changes.

#include "engine/text_compare.h"

#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/diff_engine.h"
#include "engine/fuzzy_realign.h"
#include "engine/fuzzy_similarity.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"

#include <vector>

namespace tandex::engine {

namespace {

void setDiffers(TTextLine* line, quint8 value) {
    if (!line->Gap) line->Differs = value;
}

// What a real line facing a gap row shows: different, unless empty lines are
// ignored and it is blank.
quint8 facingGapDiffers(const TTextLine* line) {
    return config::AppSettings().TCIgnEmptyLn && lineKeys().IsBlankText(line->Text) ? 0 : 1;
}

}  // namespace

QString RowLimitMessage() {
    return QStringLiteral("The compared files need more than %1 rows.")
        .arg(config::IntToGroupedStr(kMaxFileLines, 0, true));
}

void TextCompare::ResetTextCompareCounts() {
    Counts.Modified = Counts.Added = Counts.Deleted = Counts.Blocks = 0;
    diffEngine().DiffClear();
}

void TextCompare::TextCompareSummary(QString& text) const {
    text = QStringLiteral("Mod=") + config::IntToGroupedStr(Counts.Modified, 0, true) + QStringLiteral(" Add=") +
           config::IntToGroupedStr(Counts.Added, 0, true) + QStringLiteral(" Del=") +
           config::IntToGroupedStr(Counts.Deleted, 0, true);
}

void TextCompare::CancelTextCompare() { diffEngine().DiffCancel(); }

bool TextCompare::InsertGapRows(int pane, int start, int end) {
    auto& st = paneStores();
    if (!PaneStores::IsPane(pane) || end <= start) return true;
    const auto p = size_t(pane);
    if (start >= st.LineCount[p]) return true;  // rows past the end are gaps already
    const int len = end - start;
    if (qint64(st.LineCount[p]) + len > kMaxFileLines) return false;
    st.TextLines[p].InsertSlots(start, len);
    const int other = PaneStores::OtherSide(pane);
    for (int row = start; row < end; ++row) {
        TTextLine* line = st.TextLines[size_t(other)][row];
        if (!line->Gap) line->Differs = facingGapDiffers(line);
    }
    st.LineCount[p] += len;
    return true;
}

void TextCompare::buildRows() {
    auto& st = paneStores();
    const auto& recs = diffEngine().records();
    std::array<TextLineArray, 3> built;
    std::array<int, 3> count{0, 0, 0};
    for (size_t i = 0; i < recs.size(); ++i) {
        const DiffRecord& r = recs[i];
        const int row = int(i);
        if (r.Kind != dkAdd) {
            built[1].Put(row, st.TextLines[1].Take(r.Index1));
            count[1] = row + 1;
        }
        if (r.Kind != dkDelete) {
            built[2].Put(row, st.TextLines[2].Take(r.Index2));
            count[2] = row + 1;
        }
        TTextLine* left = built[1][row];
        TTextLine* right = built[2][row];
        // A fresh comparison sets every mark: nothing stays from an earlier
        // run. A line facing a gap is marked also behind the other pane's
        // end, so that the row reads as differing wherever it is.
        setDiffers(left, r.Kind == dkModify ? 1 : r.Kind == dkDelete ? facingGapDiffers(left) : 0);
        setDiffers(right, r.Kind == dkAdd ? facingGapDiffers(right) : 0);
    }
    for (int p = 1; p <= 2; ++p) {
        st.TextLines[size_t(p)].swap(built[size_t(p)]);
        st.LineCount[size_t(p)] = count[size_t(p)];
    }
}

void TextCompare::CompareTextFiles() {
    auto& st = paneStores();
    auto& engine = diffEngine();
    // Started from a call-back of a running engine: the engine would refuse,
    // and the rows and counters belong to that run.
    if (engine.busy()) return;
    auto& progress = config::progressSink();
    const int l1 = st.LineCount[1], l2 = st.LineCount[2];
    std::vector<qint32> keys1(size_t(std::max(0, l1))), keys2(size_t(std::max(0, l2)) + 1);

    auto& keys = lineKeys();
    keys.Options.IgnoreColumnsActive = st.IgnoredColumnsActive;
    const quint64 t0 = config::ReadTsc();
    keys.HashAllLines(keys1, keys2);
    KeyHashTicks = config::ReadTsc() - t0;

    engine.DiffTrimTail = true;
    if (st.FuzzyMode) st.FuzzyMode = fuzzyProcessor().FuzzyInit(!RecompareRequest, l1, l2) ? 1 : 0;
    progress.setTextLine(1, st.FuzzyMode ? QStringLiteral("Comparing files [ Fuzzy mode ] ...")
                                         : QStringLiteral("Comparing files ..."));
    engine.DiffProgressProc = [](qint32 v) { config::progressSink().setProgress(v); };
    engine.DiffMaxProc = [](qint32 v) { config::progressSink().startProgress(v); };
    // The similarity test belongs to this run only; in-line word runs never see it.
    struct RunGuard {
        DiffEngine& e;
        ~RunGuard() {
            e.SimilarLine = nullptr;
            e.DiffProgressProc = nullptr;
            e.DiffMaxProc = nullptr;
        }
    } guard{engine};
    if (st.FuzzyMode) engine.SimilarLine = [](qint32 i, qint32 j) { return fuzzyProcessor().IsSimilarLine(i, j); };
    else engine.SimilarLine = nullptr;

    bool ran = false;
    try {
        ran = engine.DiffInts(keys1.data(), keys2.data(), l1, l2);
    } catch (...) {
        FuzzyStopState = fuzzyProcessor().FuzzyAbortState;
        fuzzyProcessor().FuzzyReset(false);
        throw;
    }
    FuzzyStopState = fuzzyProcessor().FuzzyAbortState;
    fuzzyProcessor().FuzzyReset(false);
    // A run refused because another one is busy leaves that run's records alone.
    Counts.RecordCount = ran ? engine.DiffRecordCount() : 0;

    if (Counts.RecordCount > kMaxFileLines) {
        engine.DiffClear();
        Counts.Modified = Counts.Added = Counts.Deleted = Counts.Blocks = 0;
        throw EngineError(RowLimitMessage().toStdString());
    }
    if (Counts.RecordCount > 0) buildRows();
    st.UpdateMaxLineCount();
    ClassifyRows();
    RecompareRequest = 0;
    DiffStatistics s;
    engine.GetDiffStatistics(s);
    Counts.Modified = s.Modifies;
    Counts.Added = s.Adds;
    Counts.Deleted = s.Deletes;
    Counts.Blocks = s.Blocks;
    if (ran) engine.DiffClear();
}

void TextCompare::ClassifyRows() {
    auto& st = paneStores();
    auto& stats = diffEngine().stats();
    const bool ignoreEmpty = config::AppSettings().TCIgnEmptyLn;
    if (st.FuzzyMode) {
        // Rows paired by similarity differ. A key of 0 was not made for this
        // run (a line forced equal by the first/last-line settings): those
        // rows were paired by their keys and stay equal.
        for (int row = 0; row < st.MaxLineCount; ++row) {
            TTextLine* l = st.TextLines[1][row];
            const TTextLine* r = st.TextLines[2][row];
            if (l->Gap || l->Differs) continue;
            if (r->Gap) {
                if (l->Key != 0) l->Differs = 1;
            } else if (l->Key != 0 && r->Key != 0 && l->Key != r->Key) {
                l->Differs = 1;
            }
        }
        RealignRows();
    }
    AlignLastLines();

    auto& keys = lineKeys();
    for (int row = 0; row < st.MaxLineCount; ++row) {
        TTextLine* l = st.TextLines[1][row];
        TTextLine* r = st.TextLines[2][row];
        // A line facing a gap is marked here: the re-alignment passes may
        // have pushed a line that was paired before past the end of the
        // other pane, where no gap row was opened for it.
        if (l->Gap)
            setDiffers(r, ignoreEmpty && keys.IsBlankLine(2, row) ? 0 : 1);
        else if (r->Gap)
            l->Differs = ignoreEmpty && keys.IsBlankLine(1, row) ? 0 : 1;
    }
    const TextCompareCounts counted = countDifferentRows();
    stats.Adds = counted.Added;
    stats.Deletes = counted.Deleted;
    stats.Modifies = counted.Modified;
    stats.Blocks = counted.Blocks;
}

TextCompareCounts TextCompare::countDifferentRows() {
    const auto& st = paneStores();
    TextCompareCounts c;
    bool inBlock = false;
    for (int row = 0; row < st.MaxLineCount; ++row) {
        const TTextLine* l = st.TextLines[1][row];
        const TTextLine* r = st.TextLines[2][row];
        // The shared gap record always says "differs": the line facing it
        // decides. An ignored blank line facing a gap neither counts nor
        // ends a block.
        const bool gap = l->Gap || r->Gap;
        const bool differs = l->Gap ? r->Differs != 0 : l->Differs != 0;
        if (!differs || (l->Gap && r->Gap)) {
            if (!gap) inBlock = false;
            continue;
        }
        if (l->Gap)
            ++c.Added;
        else if (r->Gap)
            ++c.Deleted;
        else
            ++c.Modified;
        if (!inBlock) ++c.Blocks;
        inBlock = true;
    }
    return c;
}

void TextCompare::RecountDifferentRows() {
    const TextCompareCounts c = countDifferentRows();
    Counts.Modified = c.Modified;
    Counts.Added = c.Added;
    Counts.Deleted = c.Deleted;
    Counts.Blocks = c.Blocks;
}

TextCompare& textCompare() {
    static TextCompare compare;
    return compare;
}

}  // namespace tandex::engine
