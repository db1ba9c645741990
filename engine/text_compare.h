#pragma once
// The text comparison run: the two panes' lines as loaded become aligned
// rows. Keys are made, the difference engine runs on them, gap rows are put
// where one side has nothing, similar lines are moved to face each other, and
// the differing rows are marked and counted.

#include <QString>
#include <QtGlobal>

namespace tandex::engine {

struct TextCompareCounts {
    qint32 Modified = 0;
    qint32 Added = 0;
    qint32 Deleted = 0;
    qint32 Blocks = 0;
    qint32 RecordCount = 0;
};

class TextCompare {
public:
    // Runs one comparison of the loaded panes; the counters hold the outcome.
    // Throws EngineError from the engine, or when the aligned rows would not
    // fit a pane (the panes then stay as loaded).
    void CompareTextFiles();
    // Opens end - start gap rows in a pane at rows start..end-1; false (and
    // nothing changed) when real lines would be pushed past the row limit.
    bool InsertGapRows(int pane, int start, int end);
    void ClassifyRows();
    // The counters from the rows' marks as they stand, after an edit made a
    // row differ or match where the last comparison found otherwise.
    void RecountDifferentRows();
    void ResetTextCompareCounts();
    void SwapAddedDeletedCounts() { std::swap(Counts.Added, Counts.Deleted); }
    qint32 GetDifferentLineCount() const { return Counts.Modified + Counts.Added + Counts.Deleted; }
    qint32 GetDiffBlockCount() const { return Counts.Blocks; }
    void TextCompareSummary(QString& text) const;
    void CancelTextCompare();

    TextCompareCounts Counts;
    quint8 RecompareRequest = 0;
    quint8 FuzzyStopState = 0;
    quint64 KeyHashTicks = 0;

private:
    void buildRows();
    static TextCompareCounts countDifferentRows();
};

// The program-wide comparison state.
TextCompare& textCompare();

// The message of a comparison whose rows would not fit a pane.
QString RowLimitMessage();

}  // namespace tandex::engine
