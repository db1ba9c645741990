// The line limit of a pane, on a real file of 6,000,000 lines. The panes
// then hold several hundred MB, so this runs alone (serial in ctest).

#include "ui/main/main_window.h"

#include <QFile>
#include <QTest>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/main_window_fixture.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowLoadLimitTest : public tandex::testing::MainWindowFixture {
protected:
    void TearDown() override {
        config::setMessageSink(nullptr);
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
        MainWindowFixture::TearDown();
    }
};

TEST_F(MainWindowLoadLimitTest, SixMillionLinesStopAtTheLimit) {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block = QByteArray("x\n").repeated(100'000);
        for (int i = 0; i < 60; ++i) f.write(block);
    }
    for (bool warn : {true, false}) {
        SCOPED_TRACE(warn);
        config::RecordingMessageSink messages;
        config::setMessageSink(&messages);
        engine::paneStores().InitCompareData();
        engine::fccTabs().InitTabSlots();
        {
            ui::TF_Main w;
            // After the window's start, which reads the settings.
            config::AppSettings().ESWarnBox = warn;
            w.loadAndCompare(1, path, QString());
            const auto& stores = engine::paneStores();
            if (warn) {
                ASSERT_EQ(stores.LineCount[1], engine::kMaxFileLines + 1);
                EXPECT_EQ(stores.TextLines[1][engine::kMaxFileLines]->Text, engine::kMaxEntryText);
                EXPECT_EQ(stores.TextLines[1][engine::kMaxFileLines]->LineNumber, -1);
                ASSERT_EQ(messages.messages().size(), 1u);
                EXPECT_EQ(messages.messages()[0].caption, QStringLiteral("Warning:"));
                EXPECT_EQ(messages.messages()[0].text, engine::kMaxEntryText);
                EXPECT_EQ(messages.messages()[0].kind, config::MsgKind::Warning);
            } else {
                EXPECT_EQ(stores.LineCount[1], engine::kMaxFileLines);
                EXPECT_EQ(stores.TextLines[1][engine::kMaxFileLines - 1]->LineNumber, engine::kMaxFileLines);
                EXPECT_TRUE(messages.messages().empty());
            }
        }
        config::setMessageSink(nullptr);
    }
}

}  // namespace
