// Loading files into the panes, end to end: real files in a temporary
// folder go through the load command into the pane stores, the comparison
// runs, and the window paints the result (kept as a PNG to look at).

#include "ui/main/main_window.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "access/text_files.h"
#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/status_win.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowLoadTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
        resetEngine();
    }
    void TearDown() override {
        window_.reset();
        status_.reset();
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
    ui::TF_Main& makeWindow() {
        status_ = std::make_unique<ui::TStatusWin>();
        window_ = std::make_unique<ui::TF_Main>(status_.get());
        ui::TF_Main& w = *window_;
        Watch(&w);
        config::AppSettings().AFFont = {QStringLiteral("DejaVu Sans Mono"), 10, 0};
        w.applyPaneFont();
        w.resize(900, 520);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.firePendingJobs();
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void settle() {
        window_->invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }
    QTemporaryDir dir_;
    std::unique_ptr<ui::TStatusWin> status_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(MainWindowLoadTest, TwoTextFilesLoadCompareAndPaint) {
    ui::TF_Main& w = makeWindow();
    const QString left = file("left.txt", "alpha\nbeta\ngamma\ndelta\n");
    const QString right = file("right.txt", "alpha\nbeta changed\ngamma\nepsilon\ndelta\n");
    w.loadAndCompare(3, left, right);
    const auto& stores = engine::paneStores();
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvText);
    // Aligned: the left pane holds a gap row facing "epsilon".
    EXPECT_EQ(stores.LineCount[1], 5);
    EXPECT_TRUE(stores.TextLines[1].IsGap(3));
    EXPECT_EQ(stores.LineCount[2], 5);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("left.txt"));
    EXPECT_EQ(stores.FilePaths[2], dir_.path() + QLatin1Char('/'));
    EXPECT_EQ(w.LastDiffCount, 2);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 2);
    EXPECT_GT(engine::rows().TextRowCount, 4);
    EXPECT_FALSE(w.Loading());
    settle();
    const QString png = tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowLoad.TwoTextFiles"));
    std::printf("grab: %s\n", qPrintable(png));
}

}  // namespace
