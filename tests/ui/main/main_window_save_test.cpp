// The save commands in the offscreen window: the question about modified
// panes, save in place and save as through the dialog's choices.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/engine/pane_fixture.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return answer;
    }
    int answer = config::mrCancel;
};

class SaveWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        config::AppSettings().BKBeforeSave = false;
        engine::fccTabs().InitTabSlots();
        engine::rows().InitRows();
        engine::folderRows().InitFolderRows();
        engine::editor().InitEditor();
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        window_->resize(1100, 600);
        window_->show();
        window_->firePendingJobs();
        dir_ = tmp_.filePath("work/");
        QDir().mkpath(dir_);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        MainWindowFixture::TearDown();
        window_.reset();
        engine::paneStores().InitCompareData();
        engine::fccTabs().InitTabSlots();
    }
    void loadText(const QString& leftName = "left.txt") {
        auto& s = engine::paneStores();
        s.BinaryMode = 0;
        engine::testing::loadPanes({"one", "two"}, {"one", "TWO"});
        s.FileNames = {"", leftName, "right.txt"};
        s.FilePaths = {"", dir_, dir_};
        s.FileKinds = {0, 8, 8};
        s.LineEndings = {0, 2, 2};
        window_->switchView(ui::vtText, true, true);
        window_->saveTabState();
    }
    static QByteArray readAll(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    int state(int pane) const {
        return engine::fccTabs().TabSlots[size_t(engine::fccTabs().CurrentTab)].FileData.PaneModifiedState[size_t(pane)];
    }

    AnsweringSink sink_;
    std::unique_ptr<ui::TF_Main> window_;
    QString dir_;
};

TEST_F(SaveWindowTest, QuestionNamesTheSideAndTheFile) {
    loadText();
    engine::fccTabs().MarkPaneModified(1);
    engine::fccTabs().MarkPaneModified(2);
    sink_.answer = config::mrNo;
    EXPECT_TRUE(window_->askSaveModified(3));
    const auto asked = sink_.messages();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "Tandex");
    EXPECT_EQ(asked[0].text, "The file in the left text compare pane is modified!\r\nDo you want to save it?\r\rFile:\r" +
                                 dir_ + "left.txt");
    EXPECT_EQ(asked[1].text, "The file in the right text compare pane is modified!\r\nDo you want to save it?\r\rFile:\r" +
                                 dir_ + "right.txt");
    EXPECT_EQ(asked[0].buttons, config::mbYes | config::mbNo | config::mbCancel);
    EXPECT_EQ(asked[0].kind, config::MsgKind::Question);

    // Declined panes are not asked again until the next load re-arms them.
    sink_.clear();
    EXPECT_TRUE(window_->askSaveModified(3));
    EXPECT_TRUE(sink_.messages().empty());
    engine::fccTabs().RearmDeclinedPanes();
    engine::paneStores().SinglePaneView = 1;
    EXPECT_TRUE(window_->askSaveModified(1));
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_TRUE(sink_.messages()[0].text.startsWith("The file in the text compare pane is modified!"));
}

TEST_F(SaveWindowTest, CancelKeepsThePaneModifiedAndYesSavesIt) {
    loadText();
    engine::fccTabs().MarkPaneModified(1);
    engine::fccTabs().MarkPaneModified(2);
    sink_.answer = config::mrCancel;
    EXPECT_FALSE(window_->askSaveModified(3));
    EXPECT_EQ(sink_.messages().size(), 1u);  // stops at the left pane
    EXPECT_EQ(state(1), engine::pmModified);
    EXPECT_EQ(state(2), engine::pmModified);
    EXPECT_EQ(readAll(dir_ + "left.txt"), "<missing>");

    sink_.answer = config::mrYes;
    EXPECT_TRUE(window_->askSaveModified(1));
    EXPECT_EQ(state(1), engine::pmNotModified);
    EXPECT_EQ(readAll(dir_ + "left.txt"), "one\ntwo\n");
    EXPECT_TRUE(window_->askSaveModified(2));
    EXPECT_EQ(readAll(dir_ + "right.txt"), "one\nTWO\n");
}

TEST_F(SaveWindowTest, SaveAsWritesTheChosenEncodingAndLineEnd) {
    loadText();
    engine::fccTabs().MarkPaneModified(2);
    ui::TSaveDialogChoice seen;
    window_->SaveDialogHook = [&](ui::TSaveDialogChoice& choice) {
        seen = choice;
        choice.path = dir_ + "sub/new.txt";
        choice.encodingItem = 4;  // UTF-16 LE with its mark
        choice.lineEnd = 3;
        return true;
    };
    auto* item = window_->pmSaveFileRight->findChild<QAction*>("SaveToFileSystemR");
    ASSERT_TRUE(item);
    item->trigger();
    EXPECT_EQ(seen.title, " Save right file ");
    EXPECT_EQ(seen.defaultName, "right.txt");
    EXPECT_EQ(seen.encodingItem, 1);  // UTF-8
    EXPECT_EQ(seen.lineEnd, 2);
    EXPECT_EQ(readAll(dir_ + "sub/new.txt"), QByteArray("\xFF\xFEo\0n\0e\0\r\0T\0W\0O\0\r\0", 18));
    EXPECT_EQ(engine::paneStores().FileNames[2], "new.txt");
    EXPECT_EQ(state(2), engine::pmNotModified);
    EXPECT_FALSE(window_->findChild<QAction*>("SaveRightFile1")->isEnabled());
}

TEST_F(SaveWindowTest, SaveInPlaceOfANewComparisonPaneOpensTheSaveAsMenu) {
    loadText("NewL.txt");
    engine::fccTabs().MarkPaneModified(1);
    QMenu* shown = nullptr;
    window_->SaveAsMenuHook = [&](QMenu* menu) { shown = menu; };
    window_->findChild<QAction*>("SaveLeftFile1")->trigger();
    EXPECT_EQ(shown, window_->pmSaveFileLeft);
    EXPECT_EQ(readAll(dir_ + "NewL.txt"), "<missing>");
    EXPECT_EQ(state(1), engine::pmModified);
}

}  // namespace
