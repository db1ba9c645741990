#include "ui/main/main_window_seams.h"

#include <gtest/gtest.h>

#include "config/app_settings.h"

using namespace tandex::ui;
namespace config = tandex::config;

namespace {

TEST(MainWindowSeamsTest, WithoutAnInstalledDialogErrorsAreGivenUpAndRetriesCounted) {
    config::AppSettings().ESMaxRetry = 1;
    ErrorDialogServices& dlg = errorDialog();
    dlg.Reset();
    EXPECT_EQ(dlg.Ask("/a", "Read Error 5: Access denied", false, 0, true), eaNo);
    EXPECT_EQ(dlg.ErrorAnswer(), eaNo);
    EXPECT_FALSE(dlg.RetriesExhausted(0));
    dlg.CountRetry(0);
    EXPECT_TRUE(dlg.RetriesExhausted(0));
    EXPECT_FALSE(dlg.RetriesExhausted(1));
    dlg.Reset();
    EXPECT_FALSE(dlg.RetriesExhausted(0));
    config::AppSettings() = config::TAppSettings();
}

}  // namespace
