// The delete command as a user runs it: the offscreen main window shows a
// folder comparison of two real trees, the user selects, presses Delete,
// confirms in the delete list, and the folder view marks what went.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTimer>

#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "tests/engine/folder_fixture.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/folders/folder_view_services.h"
#include "ui/folders/show_del.h"
#include "ui/main/folder_view_seam.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using namespace tandex::folders;
using engine::testing::addFile;
using engine::testing::addFolder;
using engine::testing::entryAt;
using engine::testing::rowOfEntry;

namespace {

class MainWindowDeleteTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        QDir().mkpath(tmp_.filePath("bin"));
        QFile::copy(QStringLiteral(TANDEX_RESOURCE_ARCHIVE), tmp_.filePath("bin/TandexRes.zipx"));
    }
    void TearDown() override {
        ui::setFolderView(nullptr);
        services_.reset();
        config::setMessageSink(nullptr);
        ComparedWindowFixture::TearDown();
        engine::folderRows().InitFolderRows();
    }
    void write(const QString& rel) {
        const QString p = tmp_.filePath(rel);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("data");
    }

    // left: top.txt, sub/a.txt, sub/b.txt; right: top.txt, sub/a.txt and
    // only-right.txt. Entries in tree order, files before folders.
    ui::TF_Main& showTrees() {
        for (const char* f : {"left/top.txt", "left/sub/a.txt", "left/sub/b.txt", "right/top.txt", "right/sub/a.txt",
                              "right/only-right.txt"})
            write(QLatin1String(f));
        ui::TF_Main& w = makeWindow();
        w.loadIconSets();
        QImage glyph;
        EXPECT_TRUE(w.loadBMPFunc(48, 6, glyph));
        config::setMessageSink(&messages_);
        auto& st = engine::paneStores();
        addFile(0, "only-right.txt", 4);
        st.SetFolderEntryStatus(0, 2, "only-right.txt", st.FolderEntries[1]);
        addFile(1, "top.txt", 4);
        addFolder(2, 0, "sub");
        addFile(3, "sub/a.txt", 4);
        addFile(4, "sub/b.txt", 4);
        st.SetFolderEntryStatus(4, 2, "sub/b.txt", st.FolderEntries[2]);
        engine::folderRows().SetFolderEntryDiffers(0, true);
        engine::folderRows().SetFolderEntryDiffers(4, true);
        engine::fccTabs().SetTabDiffCount(2);
        st.FolderRoots[1] = tmp_.filePath("left/");
        st.FolderRoots[2] = tmp_.filePath("right/");
        engine::testing::showFolders(true);
        engine::folderRows().CloseAllFolders();
        w.switchView(ui::vtFolder, false, false);
        w.updateRowRange();
        services_ = std::make_unique<TFolderViewServices>(&w);
        ui::setFolderView(services_.get());
        return w;
    }

    // Acts once the delete list waits for the user; closes a list the
    // action leaves open.
    void whenListWaits(const std::function<void(TF_ShowDel&)>& action) {
        TF_ShowDel* list = services_->ShowDel();
        auto* timer = new QTimer(list);
        auto done = std::make_shared<bool>(false);
        QObject::connect(timer, &QTimer::timeout, list, [list, timer, done, action] {
            if (!*done && list->DelState() == dsWaiting) {
                *done = true;
                action(*list);
                if (list->DelState() != dsIdle) list->B_NoClick();
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start(5);
    }


    std::unique_ptr<TFolderViewServices> services_;
    config::RecordingMessageSink messages_;
};

TEST_F(MainWindowDeleteTest, ASelectedFolderListsItsFilesAndDeletedRowsAreMarked) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    f.SetFolderRowSelected(1, rowOfEntry(2), true);
    // b.txt goes missing behind the program's back: its deletion fails.
    QFile::remove(tmp_.filePath("left/sub/b.txt"));
    QString lines;
    whenListWaits([&](TF_ShowDel& list) {
        lines = list.M_ShowDel->toPlainText();
        tandex::testing::GrabToPng(&list, "MainWindowDelete-list");
        tandex::testing::PressFlatButton(&list, "B_Yes");
        tandex::testing::GrabToPng(&list, "MainWindowDelete-results");
        tandex::testing::GrabToPng(&w, "MainWindowDelete-marked");
    });
    // The folder menu's Delete item runs the command as the button does;
    // the button itself counts selected files only.
    w.TB_DELETEClick(nullptr);
    // The folder opened and its files were listed by their rows.
    const QString left = tmp_.filePath("left/");
    EXPECT_EQ(lines, QStringLiteral("%1: %2sub/a.txt\n%3: %2sub/b.txt")
                         .arg(rowOfEntry(3) + 1, 5)
                         .arg(left)
                         .arg(rowOfEntry(4) + 1, 5));
    EXPECT_FALSE(QFileInfo::exists(left + "sub/a.txt"));
    EXPECT_TRUE(QFileInfo::exists(tmp_.filePath("right/sub/a.txt")));
    // The deleted row is marked and unselected; the failed one stays selected.
    EXPECT_EQ(entryAt(1, 3)->Status, 1);
    EXPECT_EQ(entryAt(1, 3)->Result, 2);
    EXPECT_FALSE(f.IsFolderEntrySelected(3));
    EXPECT_TRUE(f.IsFolderEntrySelected(4));
    EXPECT_TRUE(f.FolderRowDiffers(rowOfEntry(3)));
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 3);
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text, "One or more files couldn't be deleted!\r(these files are still selected)");
    EXPECT_TRUE(w.ControlsEnabled());
    EXPECT_FALSE(services_->ShowDel()->isVisible());
}

TEST_F(MainWindowDeleteTest, ASelectionWithoutAPresentFileSaysNothingIsSelected) {
    ui::TF_Main& w = showTrees();
    engine::folderRows().SetFolderRowSelected(1, rowOfEntry(0), true);
    w.updateControls();
    ASSERT_TRUE(w.TB_DELETE->isEnabled());
    w.TB_DELETE->trigger();
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text, "Nothing is selected!");
    EXPECT_TRUE(QFileInfo::exists(tmp_.filePath("right/only-right.txt")));
    EXPECT_TRUE(w.ControlsEnabled());
}

}  // namespace
