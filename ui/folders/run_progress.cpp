#include "ui/folders/run_progress.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tandex::folders {

void TFileBar::Start(qint64 total) {
    Factor = total > 0 ? 100.0 / double(total) : 0.0;
    Last = 0;
    Active = true;
}

int TFileBar::Set(qint64 value) {
    if (!Active) return -1;
    const int p = int(std::lround(double(value) * Factor));
    if (p <= Last) return -1;
    Last = p;
    if (p >= 100) Active = false;
    return std::min(p, 100);
}

void TTotalBar::SetMax(bool reset, qint64 total) {
    Total = total;
    if (reset) {
        Value = 0;
        Last = 0;
    }
    if (total != 0) Factor = 100.0 / double(total);
}

int TTotalBar::Set(qint64 value) {
    Value = value;
    const int p = int(std::lround(double(value) * Factor));
    if (p <= Last) return -1;
    Last = p;
    return p;
}

void TRunClock::Start(qint64 now) {
    StartTime = now;
    LastTick = now;
}

TRunClock::Tick TRunClock::Advance(qint64 now) {
    Tick t;
    t.dt = now - LastTick;
    if (t.dt <= 0) t.dt = 1;
    t.elapsed = now - StartTime;
    if (t.elapsed <= 0) t.elapsed = 1;
    LastTick = now;
    return t;
}

void TEtaRing::Reset() {
    ring_.fill(0);
    count_ = 0;
}

TSlowStep TEtaRing::Step(qint64 elapsedMs, qint64 overallTotal, qint64 overallValue, bool final, qint64 runBytes,
                         int filesCompared) {
    TSlowStep s;
    const qint64 u = std::llround(double(elapsedMs) / 1000.0);
    s.Elapsed = quint32(std::max<qint64>(u, 0));
    if (final) {
        // The run is over: what it took is the whole estimate.
        s.Estimated = true;
        s.Total = s.Elapsed;
        s.Remaining = 0;
        ++count_;
    } else if (overallValue > 0) {
        qint64 r = 0;
        if (u > 0) r = std::llround(double(overallTotal - overallValue) / (double(overallValue) / double(u)));
        ring_[size_t(count_ % 5)] = quint32(std::clamp<qint64>(u + r, 0, 0xFFFFFFFF));
        if (count_ >= 4) {
            const quint64 sum = std::accumulate(ring_.begin(), ring_.end(), quint64(0));
            s.Estimated = true;
            s.Total = quint32(sum / 5);
            s.Remaining = s.Total > s.Elapsed ? s.Total - s.Elapsed : 0;
        }
        ++count_;
    }
    const double ms = double(std::max<qint64>(elapsedMs, 1));
    s.BytesPerSec = std::llround(double(runBytes) * 1000.0 / ms);
    s.FilesPerSec = double(filesCompared) * 1000.0 / ms;
    return s;
}

bool SkipCountdownStep(int& countdown, bool comparingContent) {
    --countdown;
    return countdown == 0 && comparingContent;
}

TCompareCounts CompareLogCounts(int scanFiles, int filesCompared, int differences, int errors, int rightOnly) {
    TCompareCounts c;
    c.Total = errors + scanFiles + rightOnly;
    c.Successful = std::max(filesCompared - (differences - rightOnly), 0);
    c.Errors = differences + errors;
    return c;
}

QString RunErrorText(int errors) {
    if (errors <= 0) return {};
    if (errors == 1) return QStringLiteral("1 non-recoverable file error occurred!");
    return QString::number(errors) + QStringLiteral(" non-recoverable file errors occurred!");
}

}  // namespace tandex::folders
