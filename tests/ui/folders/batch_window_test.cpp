// A comparison named on the command line together with "/gui" runs in the
// shown window at its second start-up stage; its result line still goes to
// the console, and its exit code is what the program returns once the
// window is closed.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/folders/batch_params.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"

namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class BatchWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        // A folder job waits for its run as the program does, turning the
        // program's event pump.
        tandex::config::setEventPump(&pump_);
        resetEngine();
        file("a.txt", "one\ntwo\nthree\n");
        file("b.txt", "one\nTWO\nthree\n");
        QDir(tmp_.path()).mkpath("L");
        QDir(tmp_.path()).mkpath("R");
        file("L/x.txt", "left");
        file("R/x.txt", "right!");
    }
    void TearDown() override {
        ui::setCommandLine(nullptr);
        tandex::config::setEventPump(nullptr);
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }
    void file(const char* name, const QByteArray& bytes) {
        QFile f(tmp_.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString path(const char* name) const { return tmp_.filePath(QString::fromLatin1(name)); }
    ui::QtEventPump pump_;
};

TEST_F(BatchWindowTest, CommandLineComparisonRunsInTheWindow) {
    struct Case {
        QStringList arguments;
        QByteArray console;
        int code;
        int viewType;
    } cases[] = {
        // No "/ld" listing in the window; the differing line stays in view
        // with the equal ones around it.
        {{"tandex", "/f", path("a.txt"), path("b.txt"), "/ld", "/gui"},
         "Files are different: 1 different lines!\n", 1, engine::tvText},
        {{"tandex", "/F", path("a.txt"), path("b.txt"), "/gui", "/ic"}, "Files are equal\n", 0, engine::tvText},
        {{"tandex", "/f", path("nope"), path("b.txt"), "/gui"},
         "ERROR: File1 (" + path("nope").toUtf8() + ") not found!\nERROR: OpenRead Error 2: File not found\n", 2,
         engine::tvText},
        {{"tandex", "/d", path("a.txt"), path("b.txt"), "/gui"},
         "ERROR: Error 3: Path not found\n", 9, engine::tvFree},
        // The folder view shows the result; only a batch run writes it.
        {{"tandex", "/d", path("L"), path("R"), "/gui"}, "", 1, engine::tvFolder},
        // "/gui" first: the window starts without a comparison.
        {{"tandex", "/gui", "/f", path("a.txt"), path("b.txt")}, "", 0, engine::tvFree},
    };
    for (const Case& c : cases) {
        const std::string name = c.arguments.join(' ').toStdString();
        resetEngine();
        QBuffer console;
        console.open(QIODevice::WriteOnly);
        tandex::folders::TBatchParams params(&console);
        ui::setCommandLine(&params);
        ASSERT_FALSE(ui::DecideBatchMode(c.arguments)) << name;

        ui::TF_Main window;
        Watch(&window);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.firePendingJobs();
        ASSERT_TRUE(window.Started()) << name;

        EXPECT_EQ(console.data(), c.console) << name;
        EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), c.viewType) << name;
        EXPECT_TRUE(window.ControlsEnabled()) << name;
        if (c.code == 1) {
            EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 1) << name;
        }
        if (c.code == 1 && c.viewType == engine::tvFolder) {
            EXPECT_EQ(engine::paneStores().FolderRoots[2], path("R") + "/") << name;
        }
        if (c.code == 1 && c.viewType == engine::tvText) {
            EXPECT_EQ(engine::rows().TextRowCount, 3);
            EXPECT_EQ(engine::rows().RowText(2, 1), "TWO");
        }
        // A window run leaves the settings as the user had them.
        EXPECT_FALSE(tandex::config::AppSettings().TCDifOnly) << name;
        EXPECT_TRUE(window.close());
        EXPECT_EQ(params.ExitCode(), c.code) << name;
        ui::setCommandLine(nullptr);
    }
}

}  // namespace
