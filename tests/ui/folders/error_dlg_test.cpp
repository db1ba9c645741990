#include "ui/folders/error_dlg.h"

#include <QLabel>

#include "config/app_settings.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::folders;
using namespace tandex::ui;
namespace config = tandex::config;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

class ErrorDlgTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::AppSettings() = config::TAppSettings();
        SetDisabledAlpha(80);  // what the main window sets for the classic look
        Watch(&dlg);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        SetDisabledAlpha(0);
        config::AppSettings() = config::TAppSettings();
    }

    TF_ErrorDlg dlg;
};

TEST_F(ErrorDlgTest, EachButtonGivesItsAnswerAndClosingTheWindowCancelsAll) {
    struct Case {
        const char* button;  // nullptr: the window is closed
        int answer;
    } cases[] = {
        {"fbYes", eaYes},     {"fbYesAll", eaYesAll},       {"fbNo", eaNo},
        {"fbNoAll", eaNoAll}, {"fbCancel", eaCancelAll}, {nullptr, eaCancelAll},
    };
    for (const Case& c : cases) {
        dlg.Reset();
        OnNextModal([&c](QWidget* form) {
            if (c.button)
                PressFlatButton(form, c.button);
            else
                form->close();
        });
        const int answer = dlg.Ask("/data/left/a.txt", "Read Error 5: Access denied", false, 0, true);
        EXPECT_EQ(answer, c.answer) << (c.button ? c.button : "close");
        EXPECT_EQ(dlg.ErrorAnswer(), c.answer);
        EXPECT_EQ(dlg.PartlyAnswer(), eaNo);
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST_F(ErrorDlgTest, ErrorFormShowsOperationFileAndRemainingRetries) {
    config::AppSettings().ESMaxRetry = 5;
    dlg.CountRetry(1);
    dlg.CountRetry(1);
    dlg.CountRetry(0);
    QString seen;
    bool allEnabled = true;
    OnNextModal([&](QWidget* form) {
        tandex::testing::GrabToPng(form, "ErrorDlg-error");
        seen = dlg.windowTitle() + "|" + dlg.L_ErrorTxt->text() + "|" + dlg.L_Txt1->text() + dlg.L_Txt2->text() +
               dlg.L_Txt3->text() + "|" + dlg.L_Filename->text() + "|" + dlg.L_AskKeep->text() + "|" +
               dlg.L_RetryCount->text();
        EXPECT_TRUE(dlg.L_RetryCount->isVisible());
        EXPECT_FALSE(dlg.L_Txt4->isVisible());
        // The operation's name follows its lead-in without a gap or overlap.
        EXPECT_EQ(dlg.L_Txt2->x(), dlg.L_Txt1->geometry().right() + 1);
        EXPECT_EQ(dlg.L_Txt3->x(), dlg.L_Txt2->geometry().right() + 1);
        allEnabled = dlg.fbYesAll->Enabled() || dlg.fbNoAll->Enabled() || dlg.fbCancel->Enabled();
        PressFlatButton(form, "fbNo");
    });
    dlg.Ask("/data/right/b.txt", "Write Error 28: No space left on device", false, 1, false);
    EXPECT_EQ(seen, " Critical Error! |Write Error 28: No space left on device|was indicated by the Write "
                    "operation for file:|/data/right/b.txt|Retry file Write|Remaining Retries: 3");
    EXPECT_FALSE(allEnabled);
}

TEST_F(ErrorDlgTest, PartlyFormAsksToKeepTheFileAndFlashesItsNotice) {
    QString ask;
    bool noticeShown = false, retriesShown = true;
    OnNextModal([&](QWidget* form) {
        tandex::testing::GrabToPng(form, "ErrorDlg-partly");
        ask = dlg.L_AskKeep->text();
        noticeShown = dlg.L_Txt4->isVisible() && dlg.timFlash->isActive();
        retriesShown = dlg.L_RetryCount->isVisible();
        PressFlatButton(form, "fbYesAll");
    });
    const int answer = dlg.Ask("/data/right/big.iso", "Write Error 28: No space left on device", true, 1, true);
    EXPECT_EQ(answer, eaYesAll);
    EXPECT_EQ(dlg.PartlyAnswer(), eaYesAll);
    EXPECT_EQ(dlg.ErrorAnswer(), eaNo);
    EXPECT_EQ(ask, "Keep the partly file at the destination");
    EXPECT_TRUE(noticeShown);
    EXPECT_FALSE(retriesShown);
    EXPECT_FALSE(dlg.timFlash->isActive());
}

TEST_F(ErrorDlgTest, LaterShowingsOpenWhereTheDialogWasClosed) {
    OnNextModal([](QWidget* form) {
        form->move(123, 77);
        PressFlatButton(form, "fbYes");
    });
    dlg.Ask("/a", "Open Error 2: No such file", false, 0, true);
    EXPECT_FALSE(dlg.FirstShow);
    EXPECT_EQ(QPoint(dlg.ErrorDlgLeft, dlg.ErrorDlgTop), QPoint(123, 77));

    QPoint shownAt;
    OnNextModal([&](QWidget* form) {
        shownAt = form->pos();
        PressFlatButton(form, "fbYes");
    });
    dlg.Ask("/a", "Open Error 2: No such file", false, 0, true);
    EXPECT_EQ(shownAt, QPoint(123, 77));
}

}  // namespace
