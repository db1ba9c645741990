#include "ui/main/main_window_jobs.h"

#include <gtest/gtest.h>

using tandex::ui::TPendingJobs;
namespace ui = tandex::ui;

namespace {

TEST(PendingJobs, ResizeDuringPendingRecompareKeepsBothJobsInTagOrder) {
    TPendingJobs jobs;
    jobs.Arm(ui::tjRecompare, 100, 0);
    jobs.Arm(ui::tjLayout, 50, 10);
    EXPECT_EQ(jobs.NextDue(), 60);
    EXPECT_EQ(jobs.TakeDue(60), std::vector<int>{ui::tjLayout});
    EXPECT_TRUE(jobs.IsPending(ui::tjRecompare));
    EXPECT_EQ(jobs.TakeDue(100), std::vector<int>{ui::tjRecompare});
    EXPECT_TRUE(jobs.Empty());
}

TEST(PendingJobs, RecompareDuringCloseRetryRunsEachOnceInTagOrder) {
    TPendingJobs jobs;
    jobs.Arm(ui::tjRetryClose, 105, 0);
    jobs.Arm(ui::tjRecompare, 100, 5);
    EXPECT_EQ(jobs.TakeDue(200), (std::vector<int>{ui::tjRetryClose, ui::tjRecompare}));
    EXPECT_TRUE(jobs.TakeDue(1000).empty());
}

TEST(PendingJobs, ArmingAgainMovesTheDueTimeAndKeepsOneEntry) {
    TPendingJobs jobs;
    for (int t = 0; t < 10; ++t) jobs.Arm(ui::tjLayout, 50, t * 10);
    EXPECT_TRUE(jobs.TakeDue(100).empty());
    EXPECT_EQ(jobs.TakeDue(140), std::vector<int>{ui::tjLayout});
    EXPECT_TRUE(jobs.Empty());
}

TEST(PendingJobs, UnknownTagsAreIgnored) {
    TPendingJobs jobs;
    jobs.Arm(5, 0, 0);
    jobs.Arm(-1, 0, 0);
    EXPECT_TRUE(jobs.Empty());
    EXPECT_FALSE(jobs.NextDue().has_value());
}

}  // namespace
