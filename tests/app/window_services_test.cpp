#include "app/window_services.h"

#include "access/program_log.h"
#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"

#include <QFile>
#include <QTemporaryDir>

namespace config = tandex::config;
using tandex::app::WindowServices;

namespace {

using WindowServicesTest = tandex::testing::WidgetTest;

TEST_F(WindowServicesTest, InstallsWindowServicesAndRemovesThemAgain) {
    {
        WindowServices services;
        ASSERT_NE(services.StatusWin(), nullptr);
        EXPECT_EQ(&config::progressSink(), services.StatusWin());
        EXPECT_NE(dynamic_cast<tandex::ui::QtMessageSink*>(&config::messageSink()), nullptr);
        EXPECT_NE(dynamic_cast<tandex::ui::QtEventPump*>(&config::eventPump()), nullptr);
        EXPECT_FALSE(services.StatusWin()->isVisible());
        EXPECT_EQ(config::Helpers().DpiDelta, 0);  // offscreen screens have 96 dpi
        EXPECT_EQ(&tandex::ui::errorDialog(), services.ErrorDlg());
    }
    EXPECT_EQ(dynamic_cast<tandex::folders::TF_ErrorDlg*>(&tandex::ui::errorDialog()), nullptr);
    EXPECT_NE(dynamic_cast<config::SilentProgress*>(&config::progressSink()), nullptr);
    EXPECT_NE(dynamic_cast<config::RecordingMessageSink*>(&config::messageSink()), nullptr);
}

TEST_F(WindowServicesTest, BatchRunLogsMessagesAndAnswersWithTheDefaultButton) {
    QTemporaryDir tmp;
    const QString log = tmp.filePath("TDXLog.txt");
    tandex::access::FZSetLogFile(log);
    {
        WindowServices services(true);
        EXPECT_EQ(services.StatusWin(), nullptr);
        EXPECT_NE(dynamic_cast<config::SilentProgress*>(&config::progressSink()), nullptr);
        EXPECT_EQ(config::showMessage("Tandex", "Overwrite?", config::MsgKind::Question,
                                      config::mbYes | config::mbNo, config::mrNo),
                  config::mrNo);
    }
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Tandex: Overwrite?"));
    tandex::access::FZSetLogFile(QString());
}

}  // namespace
