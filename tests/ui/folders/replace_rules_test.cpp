#include "ui/folders/replace_rules.h"

#include <gtest/gtest.h>

#include "access/file_times.h"

using namespace tandex::folders;
using namespace tandex::ui;

namespace {

TEST(ReplaceAnswers, StoreKeepsEachCategoryAndCancelAllStopsEveryOne) {
    struct Case {
        int category;
        int answer;
        int expected[4];
    } cases[] = {
        {rcExisting, eaYes, {eaYes, eaNo, eaNo, eaNo}},
        {rcWriteProtected, eaCancelAll, {eaCancelAll, eaCancelAll, eaCancelAll, eaCancelAll}},
        // "Yes, all" for hidden files does not answer for system files.
        {rcHidden, eaYesAll, {eaNo, eaNo, eaYesAll, eaNo}},
        {rcSystem, eaNoAll, {eaNo, eaNo, eaNo, eaNoAll}},
        {rcExisting, eaNo, {eaNo, eaNo, eaNo, eaNo}},
        {7, eaYesAll, {eaNo, eaNo, eaNo, eaNo}},
    };
    for (const Case& c : cases) {
        TReplaceAnswers answers;
        answers.StoreAnswer(c.category, c.answer);
        for (int k = 0; k < kReplaceCategories; ++k)
            EXPECT_EQ(answers.Answer(k), c.expected[k]) << "category " << c.category << " answer " << c.answer;
        answers.ResetAnswers();
        for (int k = 0; k < kReplaceCategories; ++k) EXPECT_EQ(answers.Answer(k), eaNo);
    }
}

TEST(ReplaceAnswers, WriterAsksSkipsOrReplacesByTheStoredAnswer) {
    struct Case {
        int answer;
        TReplaceStep before;
        TReplaceStep after;
    } cases[] = {
        {eaNo, rsAsk, rsSkip},        {eaYes, rsAsk, rsReplace},      {eaYesAll, rsReplace, rsReplace},
        {eaNoAll, rsSkip, rsSkip},    {eaCancelAll, rsSkip, rsSkip},
    };
    for (const Case& c : cases) {
        for (int category = 0; category < kReplaceCategories; ++category) {
            TReplaceAnswers answers;
            answers.SetAnswer(category, c.answer);
            EXPECT_EQ(answers.StepBeforeAsking(category), c.before) << c.answer << " in " << category;
            EXPECT_EQ(answers.StepAfterAsking(category), c.after) << c.answer << " in " << category;
        }
    }
    // A file that is hidden and a system file is asked about twice at most,
    // and Cancel all on the first question skips later existing files unasked.
    TReplaceAnswers answers;
    answers.StoreAnswer(rcHidden, eaYesAll);
    EXPECT_EQ(answers.StepBeforeAsking(rcHidden), rsReplace);
    EXPECT_EQ(answers.StepBeforeAsking(rcSystem), rsAsk);
    answers.StoreAnswer(rcWriteProtected, eaCancelAll);
    EXPECT_EQ(answers.StepBeforeAsking(rcExisting), rsSkip);
}

TEST(ReplaceTexts, CategoryLineSizeAndDate) {
    struct Case {
        int category;
        const char* line;
        bool highlighted;
    } cases[] = {
        {rcExisting, "already contains a file:", false},
        {rcWriteProtected, "already contains a write protected file:", true},
        {rcHidden, "already contains a hidden file:", true},
        {rcSystem, "already contains a system file:", true},
    };
    for (const Case& c : cases) {
        const TReplaceCategoryTexts t = ReplaceCategoryTexts(c.category);
        EXPECT_EQ("already contains a " + t.txt2 + t.txt3, c.line);
        EXPECT_EQ(t.highlighted, c.highlighted);
    }
    EXPECT_EQ(ReplaceSizeText(1048576), "1.048.576 Byte");
    EXPECT_EQ(ReplaceSizeText(0), "0 Byte");
    EXPECT_EQ(ReplaceDateText(0), "last modified:  ");
    const tandex::access::FileTime t = 129675496230000000ull;
    EXPECT_EQ(ReplaceDateText(t), "last modified:  " + tandex::access::FZFileTimeText(t));
}

}  // namespace
