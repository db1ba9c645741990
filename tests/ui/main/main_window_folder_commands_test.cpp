// The folder view's row commands on two real trees: the row menus, the
// compare-to pick, archive pairs and nested archives, properties changes,
// swapping the sides, F5 and a typed root, and the marks that the copy
// engine and the delete list report back.

#include "ui/main/main_window.h"

#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>

#include "access/access_slots.h"
#include "access/file_times.h"
#include "config/services.h"
#include "engine/rows.h"
#include "tests/ui/main/folder_window_fixture.h"
#include "ui/main/command_windows.h"
#include "ui/main/folder_menus.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

// The launcher of external programs, recording what it was asked to open.
class LauncherDouble : public ui::CommandWindowServices {
public:
    bool Has(ui::TCommandWindow window) const override { return window == ui::cwSharedServices; }
    void ShowColors(QPoint, bool, std::function<void(int)>) override {}
    void ShowSettings() override {}
    void ShowSettingsPage(int, int) override {}
    void ShowAbout(QPoint) override {}
    QString RunExternalProgram(int kind, const QString& path) override {
        opened.emplace_back(kind, path);
        return {};
    }
    QString ExternalViewerCaption(int n) const override { return QStringLiteral("Editor %1").arg(n); }
    std::vector<std::pair<int, QString>> opened;
};

class FolderCommandsTest : public tandex::testing::FolderWindowFixture {
protected:
    void SetUp() override {
        FolderWindowFixture::SetUp();
        config::setMessageSink(&messages_);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        FolderWindowFixture::TearDown();
    }

    // A press (and release) of a button on a row of a pane.
    void press(Qt::MouseButton button, int pane, int row, Qt::KeyboardModifiers shift = Qt::NoModifier) {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const QPoint p = rowPoint(pane, row, (g.splitX - g.leftTextX) / 2);
        window_->FormMouseDown(window_->RowArea(), button, shift, p.x(), p.y());
        window_->FormMouseUp(window_->RowArea(), button, shift, p.x(), p.y());
    }
    Qt::CursorShape cursorOver(int pane, int row) {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const QPoint p = rowPoint(pane, row, (g.splitX - g.leftTextX) / 2);
        window_->FormMouseMove(window_->RowArea(), Qt::NoModifier, p.x(), p.y());
        return window_->RowArea()->cursor().shape();
    }
    void caretTo(int pane, int row) {
        window_->setActivePane(ui::vtFolder, pane);
        engine::editor().SetActiveSide(pane);
        engine::editor().Caret.Row = row;
    }
    static QString panePath(int pane) {
        return engine::paneStores().FilePaths[size_t(pane)] + engine::paneStores().FileNames[size_t(pane)];
    }
    void zip(const QString& archive, const QString& folder, const QStringList& members) {
        QProcess p;
        p.setWorkingDirectory(folder);
        p.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), archive} + members);
        ASSERT_TRUE(p.waitForFinished(10000));
        ASSERT_EQ(p.exitCode(), 0);
    }
    std::vector<QString> captions() const {
        std::vector<QString> out;
        for (const auto& m : messages_.messages()) out.push_back(m.caption);
        return out;
    }

    // The window with its open menu drawn where it pops up.
    void grabWithMenu(QMenu* menu, const QString& name) {
        QImage image = grab(name);
        QPainter painter(&image);
        painter.drawPixmap(menu->pos() - window_->mapToGlobal(QPoint(0, 0)), menu->grab());
        painter.end();
        image.save(QDir(tandex::testing::GrabFolder()).filePath("MainWindowFolderView." + name + ".png"), "PNG");
    }

    config::RecordingMessageSink messages_;
};

// ---- menu rules ------------------------------------------------------------------

TEST(FolderMenuRules, CountCaptionsAndArchiveItems) {
    struct Case {
        int pane, files, all;
        const char* copy;
        const char* del;
        int deleteImage;
    };
    const Case cases[] = {
        {1, 2, 2, "Copy 2 files to right...", "Delete 2 files...", 32},
        {1, 0, 1, "Copy 1 folder to right...", "Delete 1 folder...", 31},
        {2, 1, 1, "Copy 1 file to left...", "Delete 1 file...", 31},
        {1, 2, 3, "Copy  folders and files to right...", "Delete  folders and files...", 32},
    };
    for (const Case& c : cases) {
        ui::TFolderMenuSnapshot s;
        s.activePane = c.pane;
        s.files = c.files;
        s.all = c.all;
        const ui::TControlState file = ui::FileMenuState(s);
        const ui::TControlState folder = ui::FolderMenuState(s);
        EXPECT_EQ(*file.at("pmCopyFile").caption, c.copy) << c.copy;
        EXPECT_EQ(*folder.at("pmCopyFolder").caption, c.copy);
        EXPECT_EQ(*folder.at("pmDeleteFolder").caption, c.del);
        EXPECT_EQ(*file.at("pmDeleteFile").image, c.deleteImage);
        EXPECT_EQ(*file.at("pmCopyFile").image, c.pane == 1 ? 35 : 36);
        EXPECT_EQ(*file.at("pmFileProperties").enabled, c.files == 1);
        EXPECT_EQ(*folder.at("pmCompareFolderTo1").enabled, c.all - c.files == 1);
    }
    ui::TFolderMenuSnapshot s;
    s.files = s.all = 1;
    struct ArchiveCase {
        bool archive, bothSides, compareArchives, compareTo;
    };
    for (const ArchiveCase& c : {ArchiveCase{true, true, true, true}, ArchiveCase{true, false, false, true},
                                 ArchiveCase{false, true, false, false}}) {
        s.rowIsArchive = c.archive;
        s.rowOnBothSides = c.bothSides;
        const ui::TControlState st = ui::FileMenuState(s);
        EXPECT_EQ(*st.at("pmCompareArchives").enabled, c.compareArchives);
        EXPECT_EQ(*st.at("pmCompareArchiveTo1").enabled, c.compareTo);
        EXPECT_EQ(*st.at("pmBrowseArchive1").enabled, c.compareTo);
    }
    // Without the launcher the external programs stay out of sight.
    EXPECT_FALSE(*ui::FileMenuState(s).at("pmOpenWithApp1").visible);
}

// ---- the menus in the window ------------------------------------------------------

TEST_F(FolderCommandsTest, RightClicksOpenTheRowMenusWithTheirStates) {
    ui::TF_Main& w = showTrees();
    const int notes = rowOfPath("docs/notes.txt"), readme = rowOfPath("docs/readme.txt");
    press(Qt::LeftButton, 1, notes);
    press(Qt::LeftButton, 1, readme, Qt::ControlModifier);
    ASSERT_EQ(selectedRows(), (std::vector<int>{notes, readme}));
    press(Qt::RightButton, 1, readme);
    ASSERT_EQ(selectedRows(), (std::vector<int>{notes, readme}));
    ASSERT_TRUE(w.pmFile->isVisible());
    EXPECT_EQ(w.pmCopyFile->text(), "Copy 2 files to right...");
    EXPECT_EQ(w.pmDeleteFile->text(), "Delete 2 files...");
    EXPECT_TRUE(w.pmCopyFile->isVisible());
    EXPECT_TRUE(w.pmDeleteFile->isVisible());
    // Browsing arrives with the browser.
    EXPECT_FALSE(w.pmBrowseArchive1->isVisible());
    EXPECT_FALSE(w.pmCompareFiles->isEnabled());  // two files: no single pair
    grabWithMenu(w.pmFile, "FileMenu");
    w.pmFile->hide();

    const int src = rowOfPath("src");
    press(Qt::RightButton, 1, src);
    ASSERT_TRUE(w.pmFolder->isVisible());
    EXPECT_EQ(selectedRows(), std::vector<int>{src});
    EXPECT_EQ(w.pmCopyFolder->text(), "Copy 1 folder to right...");
    EXPECT_TRUE(w.pmCompareFolderTo1->isEnabled());
    EXPECT_TRUE(w.pmFolderProperties->isEnabled());
    grabWithMenu(w.pmFolder, "FolderMenu");
    w.pmFolder->hide();

    // An archive present on both sides compares as an archive pair.
    press(Qt::RightButton, 1, rowOfPath("src/bundle.zip"));
    EXPECT_TRUE(w.pmCompareArchives->isEnabled());
    EXPECT_TRUE(w.pmCompareFiles->isEnabled());
    w.pmFile->hide();
    press(Qt::RightButton, 1, rowOfPath("top.txt"));
    EXPECT_FALSE(w.pmCompareArchives->isEnabled());
    w.pmFile->hide();
}

TEST_F(FolderCommandsTest, ExternalProgramsOpenTheCaretRowsFileOnceTheLauncherIsThere) {
    ui::TF_Main& w = showTrees();
    const int notes = rowOfPath("docs/notes.txt");
    press(Qt::RightButton, 2, notes);
    EXPECT_FALSE(w.pmOpenWithApp1->isVisible());
    w.pmFile->hide();

    LauncherDouble launcher;
    ui::setCommandWindows(&launcher);
    press(Qt::RightButton, 2, notes);
    EXPECT_TRUE(w.pmOpenWithApp1->isVisible());
    EXPECT_TRUE(w.pmOpeninexternalEditor12->isEnabled());
    EXPECT_EQ(w.pmOpeninexternalEditor12->text(), "Editor 2");
    w.pmFile->hide();
    w.pmOpeninexternalEditor12->trigger();
    w.pmOpenWithApp1->trigger();
    ui::setCommandWindows(nullptr);
    const QString path = tmp_.filePath("right/docs/notes.txt");
    EXPECT_EQ(launcher.opened, (std::vector<std::pair<int, QString>>{{2, path}, {3, path}}));
}

// ---- compare-to ----------------------------------------------------------------------

TEST_F(FolderCommandsTest, CompareFileToAnotherNameOpensThatPair) {
    ui::TF_Main& w = showTrees();
    caretTo(1, rowOfPath("docs/notes.txt"));
    w.pmCompareFileTo1Click(w.pmCompareFileTo1);
    ASSERT_TRUE(w.PickModeOn());
    // A folder row and a file missing on the pane refuse a file.
    EXPECT_EQ(cursorOver(2, rowOfPath("docs")), Qt::ForbiddenCursor);
    EXPECT_EQ(cursorOver(1, rowOfPath("docs/extra.txt")), Qt::ForbiddenCursor);
    EXPECT_EQ(cursorOver(2, rowOfPath("top.txt")), Qt::PointingHandCursor);
    press(Qt::LeftButton, 2, rowOfPath("top.txt"));
    EXPECT_FALSE(w.PickModeOn());
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_EQ(panePath(1), tmp_.filePath("left/docs/notes.txt"));
    EXPECT_EQ(panePath(2), tmp_.filePath("right/top.txt"));
    EXPECT_EQ(engine::rows().RowText(2, 0), "1284");
}

TEST_F(FolderCommandsTest, CompareArchiveToComparesTwoZipsAsFolders) {
    const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/");
    write(l + "m.txt", "one");
    write(r + "m.txt", "two");
    write(l + "plain.txt", "x");
    write(r + "plain.txt", "x");
    zip(l + "a.zip", l, {"m.txt"});
    zip(r + "b.zip", r, {"m.txt"});
    ui::TF_Main& w = showWrittenTrees();
    caretTo(1, rowOfPath("a.zip"));
    w.pmCompareArchiveTo1Click(w.pmCompareArchiveTo1);
    EXPECT_EQ(cursorOver(2, rowOfPath("plain.txt")), Qt::ForbiddenCursor);
    EXPECT_EQ(cursorOver(2, rowOfPath("b.zip")), Qt::PointingHandCursor);
    // A click where the cursor said no compares nothing.
    press(Qt::LeftButton, 2, rowOfPath("plain.txt"));
    EXPECT_TRUE(services_.runs.empty());

    caretTo(1, rowOfPath("a.zip"));
    w.pmCompareArchiveTo1Click(w.pmCompareArchiveTo1);
    press(Qt::LeftButton, 2, rowOfPath("b.zip"));
    ASSERT_EQ(services_.runs.size(), 1u);
    EXPECT_FALSE(services_.runs[0].showOptions);
    EXPECT_EQ(services_.runs[0].mode, 1111);
    EXPECT_EQ(panePath(1), l + "a.zip");
    EXPECT_EQ(panePath(2), r + "b.zip");
}

TEST_F(FolderCommandsTest, NestedArchiveIsExtractedFirstAndAFailureComparesNothing) {
    const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/"), src = tmp_.filePath("src/");
    write(src + "m.txt", "inner member");
    zip(src + "inner.zip", src, {"m.txt"});
    QDir().mkpath(l);
    QDir().mkpath(r);
    zip(l + "outer.zip", src, {"inner.zip"});
    zip(r + "outer.zip", src, {"inner.zip"});
    QString previous;
    tandex::access::FZSetTempFolder(tmp_.filePath("temp"), previous);
    ui::TF_Main& w = makeWindow();
    // The folder view of the two outer archives: a row for inner.zip and
    // one for a member that is not there.
    auto& st = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        st.SetFolderEntryFile(0, 0x20, "inner.zip", st.FolderEntries[size_t(pane)], 100, 1);
        st.SetFolderEntryFile(1, 0x20, "lost.zip", st.FolderEntries[size_t(pane)], 100, 1);
        st.FolderRoots[size_t(pane)] = (pane == 1 ? l : r) + "outer.zip/";
    }
    st.FolderEntryCount = 2;
    st.FolderMode = 1;
    engine::folderRows().RebuildFolderRows();
    w.switchView(ui::vtFolder, false, false);
    w.updateRowRange();

    caretTo(1, 1);
    w.pmCompareArchivesClick(nullptr);
    EXPECT_EQ(captions(), std::vector<QString>({" Nested Archive! ", " Archive Error! "}));
    EXPECT_TRUE(messages_.messages().back().text.startsWith("Failed to extract the nested archive:\r"));
    EXPECT_TRUE(services_.runs.empty());

    messages_.clear();
    caretTo(1, 0);
    w.pmCompareArchivesClick(nullptr);
    // Each pane's archive is asked for.
    ASSERT_EQ(captions(), std::vector<QString>(2, " Nested Archive! "));
    EXPECT_TRUE(messages_.messages()[0].text.startsWith("Extract the nested archive:  inner.zip\r"));
    ASSERT_EQ(services_.runs.size(), 1u);
    EXPECT_EQ(services_.runs[0].mode, 1111);
    EXPECT_EQ(st.FileNames[1], "L_inner.zip");
    EXPECT_EQ(st.FileNames[2], "R_inner.zip");
    EXPECT_TRUE(QFileInfo::exists(panePath(1)));
    tandex::access::FZSetTempFolder(previous, previous);
}

// ---- properties ---------------------------------------------------------------------

TEST_F(FolderCommandsTest, PropertiesChangesMarkOnlyWhatTheyMayMark) {
    ui::TF_Main& w = showTrees();
    auto& f = engine::folderRows();
    const int readme = rowOfPath("docs/readme.txt");
    caretTo(1, readme);
    services_.diffCount = 4;

    // A rename marks result 4; renaming back clears it.
    w.propertiesRenamed(readme, "other.txt");
    EXPECT_TRUE(f.FolderRowDiffers(readme));
    EXPECT_EQ(engine::rows().RowResult(readme), 4);
    EXPECT_EQ(services_.diffCount, 5);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 5);
    w.propertiesRenamed(readme, "readme.txt");
    EXPECT_FALSE(f.FolderRowDiffers(readme));
    EXPECT_EQ(services_.diffCount, 4);

    // A row that differs for another reason keeps its mark.
    const int notes = rowOfPath("docs/notes.txt");
    caretTo(1, notes);
    w.propertiesRenamed(notes, "notes.txt");
    EXPECT_TRUE(f.FolderRowDiffers(notes));

    // Time: only with FCDateTime.
    auto& s = config::AppSettings();
    const quint64 later = f.RowFileTime(2, readme) + 72000000000ull;  // two hours: past the hour offset
    caretTo(1, readme);
    s.FCDateTime = false;
    w.propertiesTimeChanged(readme, later);
    EXPECT_FALSE(f.FolderRowDiffers(readme));
    s.FCDateTime = true;
    w.propertiesTimeChanged(readme, later);
    EXPECT_TRUE(f.FolderRowDiffers(readme));
    EXPECT_EQ(engine::rows().RowResult(readme), 3);
    w.propertiesTimeChanged(readme, f.RowFileTime(2, readme));
    EXPECT_FALSE(f.FolderRowDiffers(readme));

    // Attributes: the archive bit alone never marks; read-only does.
    const int top = rowOfPath("src/main.cpp");
    caretTo(1, top);
    w.propertiesAttrChanged(top, 0x20 ^ 0x20);
    EXPECT_FALSE(f.FolderRowDiffers(top));
    w.propertiesAttrChanged(top, 0x21);
    EXPECT_TRUE(f.FolderRowDiffers(top));
    EXPECT_EQ(engine::rows().RowResult(top), 1);
}

// ---- swap, F5 and a typed root --------------------------------------------------------

TEST_F(FolderCommandsTest, SwapFoldersTwiceGivesBackTheComparison) {
    ui::TF_Main& w = showTrees();
    auto& st = engine::paneStores();
    auto& f = engine::folderRows();
    services_.rootKinds = {0, 1, 3};
    w.switchView(ui::vtFolder, false, false);
    const int extra = rowOfPath("docs/extra.txt");
    press(Qt::LeftButton, 1, rowOfPath("top.txt"));
    const auto roots = st.FolderRoots;
    const auto kinds = st.SideAccessKinds;
    const int side = f.FolderSelectionSide;

    w.mmSwapFiles1Click(nullptr);
    EXPECT_EQ(st.FolderRoots[1], roots[2]);
    EXPECT_EQ(f.FolderRowStatus(2, extra), 2);  // the right-only file is now left-only
    EXPECT_EQ(st.SideAccessKinds[1], kinds[2]);
    EXPECT_NE(f.FolderSelectionSide, side);

    // A text tab and back: the folder view reads the kinds again, swapped.
    w.pmCompareFilesClick(nullptr);
    ASSERT_EQ(w.ViewType(), ui::vtText);
    QObject tab;
    tab.setProperty("Tag", engine::fccTabs().FindTabByViewType(ui::vtFolder));
    w.P_TAB0Click(&tab);
    ASSERT_EQ(w.ViewType(), ui::vtFolder);
    EXPECT_EQ(st.SideAccessKinds[1], kinds[2]);
    EXPECT_EQ(st.SideAccessKinds[2], kinds[1]);

    w.mmSwapFiles1Click(nullptr);
    EXPECT_EQ(st.FolderRoots, roots);
    EXPECT_EQ(st.SideAccessKinds, kinds);
    EXPECT_EQ(f.FolderSelectionSide, side);
    EXPECT_EQ(f.FolderRowStatus(1, extra), 2);
    EXPECT_EQ(f.FolderRowPath(2, extra), "docs/extra.txt");
}

TEST_F(FolderCommandsTest, F5RerunsWithAutoCloseAndSelectsTheEntryAgain) {
    ui::TF_Main& w = showTrees();
    auto& s = config::AppSettings();
    s.FCAutoClose = false;
    bool autoCloseDuringRun = false;
    services_.run = [&](int) {
        autoCloseDuringRun = s.FCAutoClose;
        // The new run lists one more file in front of the remembered one.
        write(tmp_.filePath("left/docs/aaa.txt"), "new");
        readTrees();
        engine::folderRows().RebuildFolderRows();
        engine::folderRows().CloseAllFolders();
        return true;
    };
    const QString notes = "docs/notes.txt";
    caretTo(2, rowOfPath(notes));
    int key = Qt::Key_F5;
    w.FormKeyDown(&w, key, Qt::NoModifier);
    ASSERT_EQ(services_.runs.size(), 1u);
    EXPECT_FALSE(services_.runs[0].showOptions);
    EXPECT_EQ(services_.runs[0].mode, -1);
    EXPECT_TRUE(autoCloseDuringRun);
    EXPECT_FALSE(s.FCAutoClose);
    const int row = rowOfPath(notes);
    ASSERT_GE(row, 0);  // its folder opened again
    EXPECT_EQ(selectedRows(), std::vector<int>{row});
    EXPECT_EQ(engine::editor().Caret.Row, row);
    EXPECT_EQ(w.getActivePane(ui::vtFolder), 2);
}

TEST_F(FolderCommandsTest, RootTypedIntoTheFieldComparesTheSubFolderPair) {
    ui::TF_Main& w = showTrees();
    const QString typed = tmp_.filePath("left/docs/");
    w.eFNClick(w.eFN1);
    w.eFN1->setText(typed);
    EXPECT_TRUE(w.eFNKeyPress(w.eFN1, Qt::Key_Return));
    ASSERT_EQ(services_.runs.size(), 1u);
    EXPECT_FALSE(services_.runs[0].showOptions);
    EXPECT_EQ(services_.runs[0].mode, 1114);
    EXPECT_EQ(engine::paneStores().FolderRoots[1], typed);
}

// ---- callbacks of the copy engine and the delete list ------------------------------------

TEST_F(FolderCommandsTest, CopiedAndDeletedEntriesUpdateMarksAndCounts) {
    const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/");
    write(r + "fresh/deep/new.txt", "right only, two folders down");
    write(l + "solo/keep.txt", "same");
    write(r + "solo/keep.txt", "same");
    write(r + "solo/gone.txt", "right only");
    write(l + "pair.txt", "same");
    write(r + "pair.txt", "same");
    ui::TF_Main& w = showWrittenTrees();
    auto& f = engine::folderRows();
    auto& tabs = engine::fccTabs();
    tabs.SetTabDiffCount(5);
    // Copied from the right into folders missing on the left.
    const int copied = rowOfPath("fresh/deep/new.txt");
    w.markEntryCopied(copied, 2);
    EXPECT_FALSE(f.FolderRowDiffers(copied));
    EXPECT_EQ(f.FolderRowStatus(1, copied), 0);
    EXPECT_EQ(f.FolderRowStatus(1, rowOfPath("fresh/deep")), 6);
    EXPECT_EQ(f.FolderRowStatus(1, rowOfPath("fresh")), 6);
    EXPECT_EQ(f.FolderRowSize(1, copied), f.FolderRowSize(2, copied));
    EXPECT_EQ(tabs.GetTabDiffCount(), 4);
    EXPECT_EQ(services_.diffCount, 4);

    // A right-only file deleted: gone on both sides, no longer a
    // difference, and its folder no longer differs for its sake.
    const int gone = rowOfPath("solo/gone.txt");
    f.SetFolderRowSelected(2, gone, true);
    w.markEntryDeleted(gone, 2);
    EXPECT_FALSE(f.FolderRowDiffers(gone));
    EXPECT_FALSE(f.IsFolderRowSelected(gone));
    EXPECT_EQ(f.FolderRowStatus(2, gone), 1);
    EXPECT_FALSE(f.FolderRowDiffers(rowOfPath("solo")));
    EXPECT_EQ(tabs.GetTabDiffCount(), 3);

    // One side of an equal pair deleted: the row differs now.
    const int pair = rowOfPath("pair.txt");
    w.markEntryDeleted(pair, 1);
    EXPECT_TRUE(f.FolderRowDiffers(pair));
    EXPECT_EQ(engine::rows().RowResult(pair), 2);
    EXPECT_EQ(tabs.GetTabDiffCount(), 4);
    EXPECT_EQ(services_.diffCount, 4);
    grab("AfterCallbacks");
}

}  // namespace
