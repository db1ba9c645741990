#pragma once
// Fuzzy line similarity: how alike two lines are (0..100 and above with the
// containment bonus), from an edit distance with adjacent transpositions over
// normalised copies of the lines, and the memoised predicate the difference
// engine asks in fuzzy mode. Scores live in a byte matrix that survives
// re-runs and is kept in step with edits.

#include <QtGlobal>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tandex::engine {

struct FuzzyStatistics {
    qint32 MemoHits = 0;
    qint32 Evaluations = 0;
    qint32 DistanceComputations = 0;
    qint32 BandSkips = 0;
};

class FuzzyProcessor {
public:
    // Panes of this many lines or more are not paired by similarity.
    static constexpr int MaxLines = 15000;
    // Characters of a line that take part in a score.
    static constexpr int MaxScoredChars = 8192;
    // The time limit is checked, and pending events processed, once either
    // this many pairs were scored or this many distance cells computed since
    // the last check: one pair of long lines alone costs up to 8,192 squared
    // cells, far more than a check interval of short lines.
    static constexpr qint32 CheckEvaluations = 100000;
    static constexpr qint64 CheckCells = 10000000;

    FuzzyProcessor();

    bool FuzzyInit(bool clearMatrix, int lines1, int lines2);
    void FuzzyReset(bool clearMatrix);
    void FuzzyClearMatrix();
    bool FuzzyResizeMatrix(int lines1, int lines2, int index);
    void FuzzyToggleTransposed() { Transposed = Transposed ? 0 : 1; }
    void FuzzyLoadSettings();
    bool FuzzyPrepareSingleScore();

    // Score of line i of pane 1 against line j of pane 2.
    qint32 LineSimilarity(int i, int j);
    // The memoised predicate of the difference engine (whole-file indexes).
    bool IsSimilarLine(int i, int j);
    // For scoring done outside the predicate during a run (the re-alignment
    // pass): counts one scored pair and, when a check is due, checks the
    // time since FuzzyInit against the limit; true once it has passed.
    bool FuzzyPassedTimeLimit();
    // Builds the normalised copy of a line into its cache slot; its length.
    int FuzzyNormaliseLine(int pane, int& index, bool cache);
    int OsaDistanceW(const std::u16string& a, const std::u16string& b);
    static int FuzzyContains(const std::u16string& shorter, const std::u16string& longer);

    bool HasMatrix() const { return !matrix_.empty(); }
    // The stored score of a pair, 0 when not computed (for tests and the display).
    quint8 MatrixCell(int i, int j) const;

    quint8 Transposed = 0;
    int Rows = 0;
    int Columns = 0;
    quint8 NoCache = 1;
    quint8 FuzzyAbortState = 0;  // 0 running or done, 1 switched off, 2 stopped by the time limit
    quint8 Enhance = 0;
    quint8 IgnoreCase = 0;
    int Threshold = 0;
    double LengthRatio = 0.5;
    qint64 Band = 0;
    FuzzyStatistics FuzzyStats;
    qint32 CommonPrefix = 0;

private:
    // A row is a list of column chunks, each allocated on its first write:
    // a search touches a few dozen cells per row, scattered over a band of
    // thousands of columns. An empty list is a row never written.
    static constexpr int kChunkColumns = 64;
    using Row = std::vector<std::unique_ptr<quint8[]>>;
    quint8* cellFor(int i, int j, bool create);
    void makeMatrix();
    const std::u16string& copyFor(int pane, int index, bool& scratch);
    bool checkDue() const {
        return evaluationsSinceCheck_ >= CheckEvaluations || cellsSinceCheck_ >= CheckCells;
    }
    bool checkTimeLimit();
    int osaBitParallel(const char16_t* L, int nl, const char16_t* S, int ns);
    quint64 patternMask(char16_t ch) const;

    std::vector<Row> matrix_;  // rows and their chunks allocated on first write
    int rowWidth_ = 0;
    // Normalised copies per pane; the last slot is scratch for high indexes.
    std::array<std::vector<std::optional<std::u16string>>, 3> cache_;
    std::vector<quint16> distanceRow_;
    // Position masks of the shorter line's characters for the bit-parallel
    // distance; all zero between calls.
    std::array<quint64, 256> maskLow_{};
    std::vector<std::pair<char16_t, quint64>> maskHigh_;
    quint64 start_ = 0;  // processor clock at FuzzyInit
    qint32 evaluationsSinceCheck_ = 0;
    qint64 cellsSinceCheck_ = 0;
};

// The program-wide similarity state.
FuzzyProcessor& fuzzyProcessor();

}  // namespace tandex::engine
