#include "app/window_services.h"

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
using tandex::app::WindowServices;

namespace {

using WindowServicesTest = tandex::testing::WidgetTest;

TEST_F(WindowServicesTest, InstallsWindowServicesAndRemovesThemAgain) {
    config::AppSettings().GSShowHintDB = false;
    {
        WindowServices services;
        EXPECT_EQ(&config::progressSink(), &services.StatusWin());
        EXPECT_NE(dynamic_cast<tandex::ui::QtMessageSink*>(&config::messageSink()), nullptr);
        EXPECT_NE(dynamic_cast<tandex::ui::QtEventPump*>(&config::eventPump()), nullptr);
        EXPECT_EQ(services.StatusWin().windowTitle(), "Tandex");
        EXPECT_TRUE(services.StatusWin().PercentMode());
        EXPECT_FALSE(services.StatusWin().isVisible());
        EXPECT_FALSE(config::ShowButtonHints());
        EXPECT_EQ(config::Helpers().DpiDelta, 0);  // offscreen screens have 96 dpi
    }
    EXPECT_NE(dynamic_cast<config::SilentProgress*>(&config::progressSink()), nullptr);
    EXPECT_NE(dynamic_cast<config::RecordingMessageSink*>(&config::messageSink()), nullptr);
    config::AppSettings().GSShowHintDB = true;
}

TEST_F(WindowServicesTest, LookFollowsTheGuiStyle) {
    struct Case {
        int style;
        int flatLook, alpha;
    } cases[] = {{1, 1, 128}, {2, 1, 128}, {0, 0, 80}};
    for (const Case& c : cases) {
        config::AppSettings().GSGUIStyle = c.style;
        tandex::app::ApplyLook();
        EXPECT_EQ(config::FlatLook(), c.flatLook) << c.style;
        EXPECT_EQ(tandex::ui::DisabledAlpha(), c.alpha) << c.style;
    }
    config::AppSettings().GSGUIStyle = 1;
}

}  // namespace
