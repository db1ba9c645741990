// The copy window's arithmetic without the window.

#include "ui/folders/adv_copy_rules.h"

#include "config/num_format.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace tandex::folders;

namespace {

TEST(AdvCopyRules, WriterPriorityFollowsTheRingWithHysteresis) {
    const struct {
        int d, filled, prio;
        bool readingDone;
        int archive;
        int expected;
    } cases[] = {
        // A ring of 200 buffers: d = 20.
        {20, 79, wpNormal, false, 0, wpLower},
        {20, 5, wpLower, false, 0, wpIdle},
        {20, 41, wpIdle, false, 0, wpLower},
        {20, 101, wpLower, false, 0, wpNormal},
        {20, 381, wpNormal, false, 0, wpHigher},
        {20, 139, wpHigher, false, 0, wpNormal},
        // Inside the bands the priority stays.
        {20, 40, wpIdle, false, 0, wpIdle},
        {20, 80, wpNormal, false, 0, wpNormal},
        {20, 100, wpLower, false, 0, wpLower},
        {20, 140, wpHigher, false, 0, wpHigher},
        {20, 380, wpNormal, false, 0, wpNormal},
        // Reading done, or an archive compressed or updated: normal.
        {20, 5, wpIdle, true, 0, wpNormal},
        {20, 381, wpHigher, true, 0, wpNormal},
        {20, 5, wpIdle, false, 3, wpNormal},
        {20, 5, wpIdle, false, 4, wpNormal},
        {20, 5, wpNormal, false, 2, wpIdle},
        // A ring of 9 buffers: d = 0, idle only when empty, one level a change.
        {0, 0, wpNormal, false, 0, wpIdle},
        {0, 1, wpIdle, false, 0, wpLower},
        {0, 2, wpLower, false, 0, wpNormal},
        {0, 3, wpNormal, false, 0, wpHigher},
        {0, 4, wpHigher, false, 0, wpHigher},
        {0, 0, wpHigher, false, 0, wpIdle},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriterPrioRule(c.filled, c.d, c.prio, c.readingDone, c.archive), c.expected)
            << "d " << c.d << " filled " << c.filled << " prio " << c.prio;
    const struct {
        int prio;
        const char* text;
        quint32 color;
    } shown[] = {{wpIdle, "Idle", 255}, {wpLower, "Low", 128}, {wpNormal, "Normal", 0x8000}, {wpHigher, "High", 255}};
    for (const auto& s : shown) {
        EXPECT_EQ(PrioText(s.prio), s.text);
        EXPECT_EQ(PrioColor(s.prio), s.color);
    }
}

TEST(AdvCopyRules, ErrorCountTextsAndTimes) {
    EXPECT_EQ(ErrorCountText(-1), "1 Read\rerror");
    EXPECT_EQ(ErrorCountText(-3), "3 Read\rerrors");
    EXPECT_EQ(ErrorCountText(2), "2 Write\rerrors");
    EXPECT_EQ(ErrorCountText(1), "1 Write\rerror");
    EXPECT_EQ(ErrorCountText(0), "");

    // Nothing written yet: unknown, the label keeps its text.
    EXPECT_EQ(RemainingSeconds(1000, 0, 0.0, true), -1);
    EXPECT_EQ(RemainingSeconds(1000, 10, 0.0, true), kRemainingUnknown);
    EXPECT_EQ(RemainingSeconds(1000, 500, 100.0, true), 6);  // 5 s + half a second, rounded
    EXPECT_EQ(RemainingSeconds(1000, 500, 100.0, false), 0);
    EXPECT_EQ(tandex::config::SecondsToHMS(quint32(kRemainingUnknown)), ">99h:59m:59s");
}

TEST(AdvCopyRules, ProgressRoundsTheFilesAndTruncatesTheTotal) {
    TProgressCalc file, total{true};
    file.Start(1000);
    total.Start(1000);
    EXPECT_TRUE(file.Set(999));
    EXPECT_EQ(file.Position, 100);
    EXPECT_FALSE(file.Moving);
    EXPECT_TRUE(total.Set(999));
    EXPECT_EQ(total.Position, 99);
    EXPECT_FALSE(total.Set(999)) << "an unchanged percentage touches nothing";
    EXPECT_TRUE(total.Set(5000));
    EXPECT_EQ(total.Position, 100);
    EXPECT_FALSE(total.Moving);
    EXPECT_FALSE(total.Set(10)) << "a bar at 100 stays there";

    TProgressCalc empty{true};
    empty.Start(0);
    EXPECT_FALSE(empty.Set(50));
    EXPECT_EQ(empty.Position, 0);

    const QString suffix = TitleSuffixOf(99);
    EXPECT_EQ(CopyCaptionText("x", suffix, 3), " Copy x - 99%");
    EXPECT_EQ(CopyCaptionText("", suffix, 2), " Copy  - 99% >> Terminate if buffer is empty! <<");
    EXPECT_EQ(CopyAppTitle(suffix), "TDX (copy - 99%)");
}

TEST(AdvCopyRules, SetUpTexts) {
    EXPECT_EQ(DestinationText("/data/", 1), "/data");
    EXPECT_EQ(DestinationText("", 1), "[Left side folders]");
    EXPECT_EQ(DestinationText("", 2), "[Right side folders]");
    EXPECT_EQ(BufSizeName(0), "32KiB");
    EXPECT_EQ(BufSizeName(7), "4MiB");

    const TNeededSpace released = NeededSpaceText(-2048, false);
    EXPECT_EQ(released.Caption, "Released space at destination volume:");
    EXPECT_FALSE(released.Value.startsWith('-'));
    EXPECT_EQ(released.Color, 0x808000u);
    EXPECT_EQ(NeededSpaceText(0, false).Value, "0 Byte");
    EXPECT_EQ(NeededSpaceText(5000, true).Value, "0 Byte");
    EXPECT_EQ(NeededSpaceText(5000, false).Caption, "Needed space at destination volume:");
}

TEST(AdvCopyRules, APriorityBelowNormalIsOnlySetWhereTheWayBackIsOpen) {
    int tid = 0, niceAfter = 1;
    bool ready = false, done = false;
    std::mutex m;
    std::condition_variable cv;
    std::thread t([&] {
        std::unique_lock lock(m);
        tid = int(::syscall(SYS_gettid));
        ready = true;
        cv.notify_all();
        cv.wait(lock, [&] { return done; });
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return ready; });
    }
    const int idle = ApplyWriterPriority(tid, wpIdle);
    const int back = ApplyWriterPriority(tid, wpNormal);
    niceAfter = ::getpriority(PRIO_PROCESS, id_t(tid));
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    t.join();
    if (MayLowerNiceTo(0))
        EXPECT_EQ(idle, 19);
    else
        EXPECT_EQ(idle, 0) << "without the privilege the writer stays at normal";
    EXPECT_EQ(back, 0);
    EXPECT_LT(niceAfter, 19) << "the writer never sticks at idle";
}

}  // namespace
