#include "config/sys_helpers.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "qt_print.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <functional>
#include <thread>

using namespace tandex::config;

TEST(ScreenScale, ScaleDpiRoundsLikeTheDesign) {
    struct Case {
        int dpi;
        int px;
        int scaled;
    };
    const Case cases[] = {
        {96, 3, 3},    {96, 7, 7},  {144, 2, 4}, {144, 3, 5},   {144, 4, 6}, {144, 5, 8},
        {144, 10, 16}, {120, 2, 3}, {120, 4, 6}, {120, 10, 13}, {192, 3, 6}, {192, 2, 4},
    };
    for (const auto& c : cases) {
        InitDpiScale(c.dpi);
        EXPECT_EQ(ScaleDpi(c.px), c.scaled) << c.dpi << " dpi, " << c.px << " px";
    }
    InitDpiScale(144);
    EXPECT_EQ(Helpers().DpiPx2, 4);
    EXPECT_EQ(Helpers().DpiPx10, 16);
    EXPECT_DOUBLE_EQ(Helpers().DpiFactor, 1.5);
    InitDpiScale(96);
    EXPECT_EQ(Helpers().DpiPx5, 5);
}

TEST(Clock, CalibrationsAverageAndSetTickRates) {
    THelperValues& v = Helpers();
    v.CpuCalibrations = 0;
    v.CpuGHzSum = 0;
    SetSizeDecimalChar(u'.');
    QString text;
    AddCpuCalibration(2.0, 2, text);
    EXPECT_EQ(text, QStringLiteral("2.0"));
    AddCpuCalibration(3.0, 2, text);
    EXPECT_EQ(text, QStringLiteral("2.5 GHz"));
    EXPECT_EQ(CpuTicksPerMs(), 2500000);

    // Both clock texts use the decimal character of the size texts.
    SetSizeDecimalChar(u',');
    v.CpuCalibrations = 0;
    v.CpuGHzSum = 0;
    MeasureCpuGHz(1, text);
    EXPECT_EQ(text, QStringLiteral("1,0 GHz"));
    EXPECT_EQ(CpuTicksPerMs(), 1000000);
    EXPECT_EQ(TscTicksToMsText(1234567), QStringLiteral("1,235ms"));
}

TEST(Clock, WaitSinceMarkWaitsAtLeastTheIntervalAndReMarks) {
    MarkTsc();
    const quint64 start = Helpers().TickMark;
    EXPECT_TRUE(WaitMicrosecondsSinceMark(2000));
    EXPECT_GE(Helpers().TickMark - start, 1999500u);  // elapsed counts in whole microseconds
    EXPECT_FALSE(WaitMicrosecondsSinceMark(0));
}

namespace {
struct CallbackPump : EventPump {
    std::function<void()> onRound;
    int rounds = 0;
    void processEvents() override {
        ++rounds;
        if (onRound) onRound();
    }
};
struct PumpInstalled {
    explicit PumpInstalled(EventPump* p) { setEventPump(p); }
    ~PumpInstalled() { setEventPump(nullptr); }
};
}  // namespace

TEST(WaitWithMessages, ZeroWaitsOneRound) {
    CallbackPump pump;
    PumpInstalled installed(&pump);
    WaitWithMessages(0);
    EXPECT_EQ(pump.rounds, 1);
    EXPECT_FALSE(Helpers().WaitRunning);
}

TEST(WaitWithMessages, CancelFromAHandlerEndsTheWait) {
    CallbackPump pump;
    pump.onRound = [] { CancelWaitWithMessages(); };
    PumpInstalled installed(&pump);
    WaitWithMessages(3600 * 1000);
    EXPECT_EQ(pump.rounds, 1);
}

TEST(WaitWithMessages, NestedWaitEndsTheOuterOne) {
    CallbackPump pump;
    pump.onRound = [&pump] {
        if (pump.rounds == 1) WaitWithMessages(0);
    };
    PumpInstalled installed(&pump);
    WaitWithMessages(3600 * 1000);
    EXPECT_EQ(pump.rounds, 2);
}

TEST(WaitWithMessages, AWorkersWaitLeavesTheWindowsWaitRunning) {
    static int argc = 1;
    static char name[] = "sys_helpers_test";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);  // lives to the end
    (void)app;
    CallbackPump pump;
    bool stillRunning = false;
    pump.onRound = [&pump, &stillRunning] {
        if (pump.rounds != 1) return;
        std::thread worker([] { WaitWithMessages(0); });
        worker.join();
        stillRunning = Helpers().WaitRunning;
        CancelWaitWithMessages();
    };
    PumpInstalled installed(&pump);
    WaitWithMessages(3600 * 1000);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(pump.rounds, 2);
}

TEST(WaitWithMessages, FlagIsClearedWhenAHandlerThrows) {
    CallbackPump pump;
    pump.onRound = [] { throw std::runtime_error("handler"); };
    PumpInstalled installed(&pump);
    EXPECT_THROW(WaitWithMessages(3600 * 1000), std::runtime_error);
    EXPECT_FALSE(Helpers().WaitRunning);
}

TEST(CpuFeatures, UseSSE42FollowsTheProcessor) {
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(UseSSE42() != 0, __builtin_cpu_supports("sse4.2") != 0);
    EXPECT_NE(Helpers().CpuIdLeaf1[0], 0u);
#endif
    quint32 a = 7, b = 7, c = 7, d = 7;
    CpuId(1, a, b, c, d);
    ReadCpuFeatures();
    EXPECT_EQ(Helpers().CpuIdLeaf1[1], c);
}

TEST(Colors, BlendAndSaturate) {
    EXPECT_EQ(BlendColors(0xFF112233u, 0xAABBCCu, 0), 0x112233u);
    EXPECT_EQ(BlendColors(0x112233u, 0xFFAABBCCu, 255), 0xAABBCCu);
    EXPECT_EQ(BlendColors(0, 0xFFFFFFu, 128), 0x808080u);
    EXPECT_EQ(ColorAddSat(0x80F00010u, 0x80200020u), 0xFFFF0030u);
    EXPECT_EQ(ColorSubSat(0x10203040u, 0x20103050u), 0x00100000u);
    EXPECT_EQ(MinOf(-3, 2), -3);
    EXPECT_EQ(MaxOf(-3, 2), 2);
}

TEST(MainFormPosition, ZeroWithoutMainWindowElseRelativeToItsFrame) {
    for (int kind = 0; kind <= 4; ++kind)
        EXPECT_EQ(MainFormRelativePos(kind, 100), 0) << kind;
    SetMainFormRectSource([] { return std::optional<QRect>(QRect(100, 50, 401, 300)); });
    EXPECT_EQ(MainFormRelativePos(0, 100), 105);
    EXPECT_EQ(MainFormRelativePos(1, 101), 100 + 200 - 50);
    EXPECT_EQ(MainFormRelativePos(2, 100), 501 - 100 - 5);
    EXPECT_EQ(MainFormRelativePos(3, 100), 50);
    EXPECT_EQ(MainFormRelativePos(9, 100), 1);
    SetMainFormRectSource(nullptr);
    EXPECT_EQ(MainFormRelativePos(0, 100), 0);
}

TEST(SystemInfo, MemoryLoadAndFileTimes) {
    EXPECT_TRUE(IsWindows7OrLater());
    const int load = MemoryLoadPercent();
    EXPECT_GE(load, 0);
    EXPECT_LE(load, 100);

    const qint64 expected = (QDateTime::currentMSecsSinceEpoch() + 11644473600000LL) * 10000;
    const qint64 now = GetUtcNowFileTime();
    EXPECT_LT(std::llabs(now - expected), 10LL * 10000000);  // within 10 s
    const qint64 day = 24LL * 3600 * 10000000;
    const qint64 weekAgo = FileTimeDaysAgoUtc(7);
    // A change of daylight-saving time in between moves it by up to an hour.
    EXPECT_LT(std::llabs(now - weekAgo - 7 * day), 3600LL * 10000000 + 10LL * 10000000);
}

TEST(ButtonHints, CopiedFromTheSettingsAtStart) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    TPrgDirSources src;
    src.executablePath = tmp.path() + QStringLiteral("/tandex");
    src.configHome = tmp.path();
    SetPrgDir(std::make_unique<TPrgDir>(src));
    AppSettings().GSShowHintDB = false;
    EXPECT_TRUE(ShowButtonHints());
    InitButtonHints();
    EXPECT_FALSE(ShowButtonHints());
    // A later change of the setting does not reach the copy.
    AppSettings().GSShowHintDB = true;
    EXPECT_FALSE(ShowButtonHints());
    SetPrgDir(nullptr);
}
