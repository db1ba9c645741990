#include "ui/folders/error_retry.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "config/app_settings.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::folders;
using namespace tandex::ui;
namespace config = tandex::config;

namespace {

class ErrorRetryTest : public ::testing::Test {
protected:
    void SetUp() override { config::AppSettings() = config::TAppSettings(); }
    void TearDown() override { config::AppSettings() = config::TAppSettings(); }
};

TEST_F(ErrorRetryTest, CountersAreKeptPerSideAndExhaustAtTheMaximum) {
    config::AppSettings().ESMaxRetry = 2;
    TErrorRetryPolicy policy;
    EXPECT_FALSE(policy.RetriesExhausted(0));
    policy.CountRetry(0);
    policy.CountRetry(0);
    EXPECT_EQ(policy.RetryCount(0), 2);
    EXPECT_TRUE(policy.RetriesExhausted(0));
    EXPECT_FALSE(policy.RetriesExhausted(1));
    EXPECT_EQ(policy.RetryCount(1), 0);

    policy.ExhaustRetries(1);
    EXPECT_EQ(policy.RetryCount(1), 2);
    EXPECT_TRUE(policy.RetriesExhausted(1));

    policy.ResetRetries(0);
    EXPECT_FALSE(policy.RetriesExhausted(0));
    EXPECT_TRUE(policy.RetriesExhausted(1));
}

TEST_F(ErrorRetryTest, NoRetriesConfiguredIsExhaustedAtOnce) {
    config::AppSettings().ESMaxRetry = 0;
    TErrorRetryPolicy policy;
    EXPECT_TRUE(policy.RetriesExhausted(0));
    EXPECT_TRUE(policy.RetriesExhausted(1));
}

TEST_F(ErrorRetryTest, AnswersGoToTheirOwnPlaceAndResetForgetsEverything) {
    config::AppSettings().ESMaxRetry = 3;
    TErrorRetryPolicy policy;
    policy.StoreAnswer(false, eaYesAll);
    policy.StoreAnswer(true, eaNoAll);
    EXPECT_EQ(policy.ErrorAnswer, eaYesAll);
    EXPECT_EQ(policy.PartlyAnswer, eaNoAll);
    policy.CountRetry(0);
    policy.CountRetry(1);
    policy.Reset();
    EXPECT_EQ(policy.ErrorAnswer, eaNo);
    EXPECT_EQ(policy.PartlyAnswer, eaNo);
    EXPECT_EQ(policy.RetryCount(0), 0);
    EXPECT_EQ(policy.RetryCount(1), 0);
}

TEST_F(ErrorRetryTest, ModalResultsMapToAnswersAndEverythingElseCancelsAll) {
    struct Case {
        int result;
        int answer;
    } cases[] = {
        {erYes, eaYes},       {erNo, eaNo},         {erYesToAll, eaYesAll},
        {erNoToAll, eaNoAll}, {erCancel, eaCancelAll}, {0, eaCancelAll},  // window closed
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorAnswerOfResult(c.result), c.answer) << c.result;
}

TEST_F(ErrorRetryTest, DelayStaysWithinItsRangeAndAnEmptyRangeWaitsTheMinimum) {
    struct Case {
        int minDelay, maxDelay;
        quint32 random;
        int expected;
    } cases[] = {
        {100, 1000, 0, 100},
        {100, 1000, 899, 999},   // below the maximum
        {100, 1000, 900, 100},   // the range wraps
        {100, 1000, 0xFFFFFFFF, 100 + int(0xFFFFFFFFu % 900u)},
        {500, 500, 12345, 500},  // empty range
        {800, 200, 7, 800},      // reversed range
        {-50, 10, 3, 3},         // no negative waits
        {-50, -10, 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RetryDelayMs(c.minDelay, c.maxDelay, c.random), c.expected)
            << c.minDelay << ".." << c.maxDelay << " random " << c.random;
}

TEST_F(ErrorRetryTest, RetryDelayWaitsWhileTheEventPumpRuns) {
    tandex::testing::CountingEventPump pump;
    config::AppSettings().ESMinRDelay = 40;
    config::AppSettings().ESMaxRDelay = 40;
    TErrorRetryPolicy policy;
    QElapsedTimer clock;
    clock.start();
    policy.RetryDelay();
    EXPECT_GE(clock.elapsed(), 40);
    EXPECT_GT(pump.count, 1);
}

TEST_F(ErrorRetryTest, TextsNameTheOperationFolderOrFileAndTheRetryQuestion) {
    struct Case {
        const char* errorText;
        bool partly;
        const char* txt2;
        const char* txt3;
        const char* askKeep;
    } cases[] = {
        {"Read Error 5: Access denied", false, "Read", " operation for file:", "Retry file Read"},
        {"CheckDrive Error 3: Path not found", false, "CheckDrive", " operation for folder:",
         "Retry CheckDrive"},
        {"Unreadable", false, "", " operation for file:", "Retry file "},
        {"Write Error 28: Disk full", true, "Write", " operation for file:",
         "Keep the partly file at the destination"},
    };
    for (const Case& c : cases) {
        const TErrorDlgTexts t = ArrangeErrorTexts(QString::fromLatin1(c.errorText), c.partly, 3);
        EXPECT_EQ(t.txt1, "was indicated by the ");
        EXPECT_EQ(t.txt2, c.txt2) << c.errorText;
        EXPECT_EQ(t.txt3, c.txt3) << c.errorText;
        EXPECT_EQ(t.askKeep, c.askKeep) << c.errorText;
        EXPECT_EQ(t.partlyNotice, c.partly);
        EXPECT_EQ(t.retryCountVisible, !c.partly);
        EXPECT_EQ(t.retryCount, c.partly ? QString() : QStringLiteral("Remaining Retries: 3"));
    }
}

}  // namespace
