// The installed command-window object as the main window reaches it: the
// line popup's external-program items.

#include "ui/settings/command_window_services.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "tests/ui/settings/recording_program.h"
#include "ui/settings/external_programs.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using tandex::settings::TCommandWindowServices;

namespace {

class CommandWindowServicesTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&sink_);
    }
    void TearDown() override {
        ui::setCommandWindows(nullptr);
        config::setMessageSink(nullptr);
        ComparedWindowFixture::TearDown();
    }
    QString file(const char* name, const QByteArray& bytes) {
        QFile f(dir_.filePath(QLatin1String(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir_;
    config::RecordingMessageSink sink_;
    TCommandWindowServices services_;
};

TEST_F(CommandWindowServicesTest, LinePopupOpensTheActivePanesFileInExternalProgramOne) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("left.txt", "a\n"), file("right.txt", "b\n"));
    w.setActivePane(ui::vtText, 2);
    // Without the settings subsystem the items stay out of the menu.
    w.buildContextMenu();
    EXPECT_FALSE(w.pmOpeninexternalEditor21->isVisible());
    EXPECT_FALSE(w.pmOpeninexternalEditor22->isVisible());
    w.pmLine->close();

    ui::setCommandWindows(&services_);
    const tandex::testing::RecordingProgram program(dir_.path());
    config::AppSettings().TEExtEditor = program.path();
    w.buildContextMenu();
    EXPECT_TRUE(w.pmOpeninexternalEditor21->isVisible());
    EXPECT_TRUE(w.pmOpeninexternalEditor21->isEnabled());
    EXPECT_EQ(w.pmOpeninexternalEditor21->text(), QStringLiteral("Open file in external Editor/Viewer 1 (recorder)"));
    EXPECT_TRUE(w.pmOpeninexternalEditor22->isVisible());
    EXPECT_EQ(w.pmOpeninexternalEditor22->text(), tandex::settings::ExternalViewerCaption(2));
    std::printf("grab: %s\n", qPrintable(tandex::testing::GrabToPng(w.pmLine, QStringLiteral("LinePopup.External"))));
    w.pmLine->close();
    w.pmOpeninexternalEditor21->trigger();
    EXPECT_EQ(program.waitForArguments(), QStringList{dir_.filePath(QStringLiteral("right.txt"))});
    EXPECT_TRUE(sink_.messages().empty());

    // A start that fails shows the reason in an error box.
    config::AppSettings().TEExtEditor = dir_.filePath(QStringLiteral("missing"));
    w.pmOpeninexternalEditor21->trigger();
    const auto messages = sink_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Tandex"));
    EXPECT_EQ(messages[0].kind, config::MsgKind::Error);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Could not start ") + dir_.filePath(QStringLiteral("missing")) +
                  QStringLiteral(" - Error: \nFILE_NOT_FOUND"));
}

TEST_F(CommandWindowServicesTest, WindowsOfOtherSubsystemsGoToTheirObject) {
    struct About : ui::CommandWindowServices {
        bool Has(ui::TCommandWindow window) const override { return window == ui::cwAbout; }
        void ShowColors(QPoint, bool, std::function<void(int)>) override {}
        void ShowSettings() override {}
        void ShowSettingsPage(int, int) override {}
        void ShowAbout(QPoint pos) override { shownAt = pos; }
        QPoint shownAt;
    } about;
    TCommandWindowServices joined(&about);
    EXPECT_TRUE(joined.Has(ui::cwAbout));
    EXPECT_TRUE(joined.Has(ui::cwSharedServices));
    // The colour dialog is this subsystem's own.
    EXPECT_TRUE(joined.Has(ui::cwColors));
    joined.ShowAbout(QPoint(3, 4));
    EXPECT_EQ(about.shownAt, QPoint(3, 4));
    EXPECT_FALSE(services_.Has(ui::cwAbout));
    EXPECT_TRUE(services_.Has(ui::cwSharedServices));
}

}  // namespace
