#pragma once
// The arithmetic of the folder comparison's progress display: the two bars
// in whole percents, the run clock with its pauses, the estimate of the
// total time over the last five slow steps, and the rates. The times are
// milliseconds of a clock the caller reads, so everything here can be
// checked without a widget and without waiting.

#include <QString>
#include <QtGlobal>

#include <array>

namespace tandex::folders {

// The bar of the file whose content is being compared: it moves only
// forward and stops at 100 until the next file starts.
struct TFileBar {
    double Factor = 0.0;
    int Last = 0;
    bool Active = false;
    void Start(qint64 total);
    // The percent to show, or -1 when the bar stays as it is.
    int Set(qint64 value);
};

// The overall bar. Its total may grow while the pre-scan still runs; the
// bar then stands still until the value catches up, it never goes back.
struct TTotalBar {
    qint64 Total = 0;
    qint64 Value = 0;
    double Factor = 0.0;
    int Last = 0;
    void SetMax(bool reset, qint64 total);
    // The percent to show (up to 100 on the bar, any on the label), or -1.
    int Set(qint64 value);
};

// The run's clock. Paused time is added to the start, so it never counts.
struct TRunClock {
    qint64 StartTime = 0;
    qint64 LastTick = 0;
    qint64 PauseStart = 0;
    // Compared time of earlier passes of the same run.
    qint64 EarlierTime = 0;
    void Start(qint64 now);
    void Pause(qint64 now) { PauseStart = now; }
    void Resume(qint64 now) { StartTime += now - PauseStart; }
    // A pass of the comparison ended: its time joins the earlier ones.
    void EndPass(qint64 now) { EarlierTime += now - StartTime; }
    struct Tick {
        qint64 dt = 1;       // since the last tick, at least 1
        qint64 elapsed = 1;  // of this pass, at least 1
    };
    Tick Advance(qint64 now);
};

// What one slow step shows.
struct TSlowStep {
    quint32 Elapsed = 0;  // seconds
    bool Estimated = false;
    quint32 Total = 0, Remaining = 0;  // seconds, when estimated
    qint64 BytesPerSec = 0;
    double FilesPerSec = 0.0;
};

// The estimate over the last five slow steps.
class TEtaRing {
public:
    void Reset();
    // elapsedMs includes earlier passes; final: the last tick of the run,
    // whose estimate is the elapsed time itself.
    TSlowStep Step(qint64 elapsedMs, qint64 overallTotal, qint64 overallValue, bool final, qint64 runBytes,
                   int filesCompared);

private:
    std::array<quint32, 5> ring_{};
    int count_ = 0;
};

// Counts the skip countdown down once per slow step; true exactly when it
// reaches 0 while a file's content is being compared.
bool SkipCountdownStep(int& countdown, bool comparingContent);

// The log's totals of a run. Files found only on the right count as
// differences and as entries, but never as compared left files.
struct TCompareCounts {
    int Total = 0, Successful = 0, Errors = 0;
};
TCompareCounts CompareLogCounts(int scanFiles, int filesCompared, int differences, int errors, int rightOnly);

// "1 non-recoverable file error occurred!" and its plural; empty without.
QString RunErrorText(int errors);

}  // namespace tandex::folders
