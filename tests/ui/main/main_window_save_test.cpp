// The save commands in the offscreen window: the question about modified
// panes, save in place and save as through the dialog's choices.

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>

#include "access/access_types.h"
#include "access/file_times.h"

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
    // As the window does when an edit marks the pane: the item follows.
    window_->updateSaveCommands();
    QMenu* shown = nullptr;
    window_->SaveAsMenuHook = [&](QMenu* menu) { shown = menu; };
    window_->findChild<QAction*>("SaveLeftFile1")->trigger();
    EXPECT_EQ(shown, window_->pmSaveFileLeft);
    EXPECT_EQ(readAll(dir_ + "NewL.txt"), "<missing>");
    EXPECT_EQ(state(1), engine::pmModified);
}

// Saving reads the written file's size and time back into the pane and its
// tab, so the details, the properties and the next comparison of times see
// the file as written; a save that fails keeps the values of the file as
// it still is on disk.
TEST_F(SaveWindowTest, SaveReadsTheWrittenSizeAndTimeBack) {
    struct Case {
        const char* name;
        bool member;
        bool failArchiveWrite;
    } cases[] = {{"local file", false, false}, {"zip member", true, false}, {"failing zip save", true, true}};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir_).removeRecursively();
        QDir().mkpath(dir_);
        {
            QFile old(dir_ + "left.txt");
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("an older and longer text\n");
            old.flush();
            old.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime);
        }
        QString folder = dir_;
        if (c.member) {
            // Stored incompressible bytes make the archive larger than the
            // file-size limit the failing case sets.
            QFile big(dir_ + "big.bin");
            ASSERT_TRUE(big.open(QIODevice::WriteOnly));
            QByteArray noise(300000, '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            big.write(noise);
            big.close();
            QProcess zip;
            zip.setWorkingDirectory(dir_);
            zip.start("zip", {"-q", "-0", "a.zip", "left.txt", "big.bin"});
            ASSERT_TRUE(zip.waitForFinished(30000));
            ASSERT_EQ(zip.exitCode(), 0);
            QFile::remove(dir_ + "left.txt");
            QFile::remove(dir_ + "big.bin");
            folder = dir_ + "a.zip/";
        }
        const QByteArray archiveBefore = readAll(dir_ + "a.zip");
        loadText();
        auto& s = engine::paneStores();
        s.FilePaths[1] = folder;
        qint64 oldSize = 0;
        tandex::access::FileTime oldTime = 0;
        ASSERT_EQ(tandex::access::FZGetPathLastWriteTime(folder, "left.txt", oldSize, oldTime), 0);
        s.FileSizes[1] = oldSize;
        s.FileTimes[1] = oldTime;
        s.SideAccessKinds[1] = quint8(c.member ? tandex::access::akArchive : tandex::access::akLocal);
        window_->saveTabState();
        engine::fccTabs().MarkPaneModified(1);
        window_->updateSaveCommands();

        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        rlimit small = unlimited;
        if (c.failArchiveWrite) small.rlim_cur = 100000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        window_->findChild<QAction*>("SaveLeftFile1")->trigger();
        setrlimit(RLIMIT_FSIZE, &unlimited);

        qint64 size = 0;
        tandex::access::FileTime time = 0;
        ASSERT_EQ(tandex::access::FZGetPathLastWriteTime(folder, "left.txt", size, time), 0);
        const auto& data = engine::fccTabs().TabSlots[size_t(engine::fccTabs().CurrentTab)].FileData;
        if (c.failArchiveWrite) {
            EXPECT_EQ(state(1), engine::pmModified);
            EXPECT_EQ(readAll(dir_ + "a.zip"), archiveBefore);
            EXPECT_EQ(s.FileSizes[1], oldSize);
            EXPECT_EQ(s.FileTimes[1], oldTime);
        } else {
            EXPECT_EQ(state(1), engine::pmNotModified);
            EXPECT_EQ(size, 8);  // "one\ntwo\n"
            EXPECT_NE(time, oldTime);
        }
        EXPECT_EQ(s.FileSizes[1], size);
        EXPECT_EQ(s.FileTimes[1], time);
        EXPECT_EQ(data.FileSizes[1], size);
        EXPECT_EQ(data.FileTimes[1], time);
        EXPECT_EQ(s.SideAccessKinds[1], c.member ? tandex::access::akArchive : tandex::access::akLocal);
    }
}

}  // namespace
