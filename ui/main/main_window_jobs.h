#pragma once
// The deferred jobs of the main window's general-purpose timer. Jobs are
// kept as a set, not as one tag: each is pending at most once, arming a
// pending job only moves its due time, and a tick runs every due job in tag
// order, so a resize never swallows a pending recompare or close retry.

#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

namespace tandex::ui {

enum TTimerJob : int {
    tjLayout = 0,       // layout refresh after a resize
    tjSecondStage = 1,  // second start-up stage
    tjRetryClose = 2,   // retried close
    tjImageGrace = 3,   // end of the image view's grace period
    tjRecompare = 4,    // recompare after an option change
};
constexpr int kTimerJobCount = 5;

class TPendingJobs {
public:
    // Makes the job pending, due delayMs after now; an unknown tag is
    // ignored, as the timer runs no job for it.
    void Arm(int tag, qint64 delayMs, qint64 now);
    bool IsPending(int tag) const;
    bool Empty() const;
    // The earliest due time of the pending jobs.
    std::optional<qint64> NextDue() const;
    // Takes the jobs due at now, in tag order; they are no longer pending.
    std::vector<int> TakeDue(qint64 now);
    // Takes every pending job, due or not, in tag order.
    std::vector<int> TakeAll();

private:
    std::array<std::optional<qint64>, kTimerJobCount> due_;
};

}  // namespace tandex::ui
