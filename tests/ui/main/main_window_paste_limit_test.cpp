// A paste that would take a pane past its line limit, on a real file of
// 5,999,998 lines. The pane then holds several hundred MB, so this runs
// alone (serial in ctest).

#include "ui/main/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTest>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "tests/ui/main/main_window_fixture.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowPasteLimitTest : public tandex::testing::MainWindowFixture {
protected:
    void TearDown() override {
        config::setMessageSink(nullptr);
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
        engine::undoStack().ClearUndo(1);
        MainWindowFixture::TearDown();
    }
};

TEST_F(MainWindowPasteLimitTest, APastePastTheLimitIsRefusedAndChangesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.txt");
    const int lines = engine::kMaxFileLines - 1;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block = QByteArray("x\n").repeated(1'000'000);
        for (int i = 0; i < 5; ++i) f.write(block);
        f.write(QByteArray("x\n").repeated(lines - 5'000'000 - 1));
        f.write("last\n");
    }
    config::RecordingMessageSink messages;
    config::setMessageSink(&messages);
    ui::TF_Main w;
    config::AppSettings().TEEnabled = true;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.loadAndCompare(1, path, QString());
    const auto& stores = engine::paneStores();
    ASSERT_EQ(stores.LineCount[1], lines);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto& ed = engine::editor();
    ed.SetActiveSide(1);
    ed.PlaceCaret(2, 0, 1);
    ed.SetSelection(2, 0, 0, -1);
    // Three lines: two new ones, one more than the pane may take.
    QApplication::clipboard()->setText(QStringLiteral("a\nb\nc"));
    w.pmPaste1Click(nullptr);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, engine::kMaxEntryText);
    EXPECT_EQ(stores.LineCount[1], lines);
    EXPECT_EQ(stores.TextLines[1][0]->Text, QStringLiteral("x"));
    EXPECT_EQ(stores.TextLines[1][lines - 1]->Text, QStringLiteral("last"));
    EXPECT_FALSE(engine::undoStack().HasUndo(1));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
    // Two lines fit exactly: one new line.
    QApplication::clipboard()->setText(QStringLiteral("a\nb"));
    w.pmPaste1Click(nullptr);
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(stores.LineCount[1], engine::kMaxFileLines);
    EXPECT_EQ(stores.TextLines[1][engine::kMaxFileLines - 1]->Text, QStringLiteral("last"));
}

}  // namespace
