#include "main_window_jobs.h"

namespace tandex::ui {

void TPendingJobs::Arm(int tag, qint64 delayMs, qint64 now) {
    if (tag < 0 || tag >= kTimerJobCount) return;
    due_[size_t(tag)] = now + qMax<qint64>(0, delayMs);
}

bool TPendingJobs::IsPending(int tag) const {
    return tag >= 0 && tag < kTimerJobCount && due_[size_t(tag)].has_value();
}

bool TPendingJobs::Empty() const {
    for (const auto& d : due_)
        if (d) return false;
    return true;
}

std::optional<qint64> TPendingJobs::NextDue() const {
    std::optional<qint64> next;
    for (const auto& d : due_)
        if (d && (!next || *d < *next)) next = d;
    return next;
}

std::vector<int> TPendingJobs::TakeDue(qint64 now) {
    std::vector<int> jobs;
    for (int tag = 0; tag < kTimerJobCount; ++tag) {
        auto& d = due_[size_t(tag)];
        if (d && *d <= now) {
            jobs.push_back(tag);
            d.reset();
        }
    }
    return jobs;
}

std::vector<int> TPendingJobs::TakeAll() {
    std::vector<int> jobs;
    for (int tag = 0; tag < kTimerJobCount; ++tag) {
        if (due_[size_t(tag)]) jobs.push_back(tag);
        due_[size_t(tag)].reset();
    }
    return jobs;
}

}  // namespace tandex::ui
