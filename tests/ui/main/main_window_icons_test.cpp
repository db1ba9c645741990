#include "ui/main/main_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/sys_helpers.h"
#include "tests/config/resource_access_double.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
namespace arc = tandex::archive;

namespace {

class MainWindowIconsTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(tmp_.path()).mkpath("bin"));
        config::TPrgDirSources sources;
        sources.executablePath = tmp_.filePath("bin/tandex");
        sources.configHome = tmp_.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    void TearDown() override {
        WidgetTest::TearDown();
        tandex::access::FZSetLogFile(QString());
        config::SetIniFileAccess(nullptr);
        config::SetPrgDir(nullptr);
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    QString archivePath() const { return tmp_.filePath("bin/TandexRes.zipx"); }
    void copyArchive() { ASSERT_TRUE(QFile::copy(TANDEX_RESOURCE_ARCHIVE, archivePath())); }
    void dropMembers(const QStringList& names) {
        arc::TArcZipKit kit;
        kit.ArchiveType = arc::ArcZip;
        kit.ForceType = true;
        kit.SetFileName(archivePath());
        for (int i = kit.GetCount() - 1; i >= 0; --i)
            if (names.contains(kit.GetItem(i)->GetFileName())) kit.DeleteAt(i);
        kit.Save();
    }
    // The window reads its pictures again through the archive reader of
    // the tests, as at start-up (the settings came with the window).
    void loadThroughDouble(ui::TF_Main& window) {
        config::SetIniFileAccess(&access_);
        window.loadIconSets();
        window.applyColorScheme();
    }
    static bool iconOnly(ui::TF_Main& w, QAction* a) {
        auto* b = qobject_cast<QToolButton*>(w.ToolBar1->widgetForAction(a));
        return b && b->toolButtonStyle() == Qt::ToolButtonIconOnly && !a->icon().isNull();
    }
    void grab(QWidget* widget, const QString& name) {
        EXPECT_FALSE(tandex::testing::GrabToPng(widget, name).isEmpty()) << name.toStdString();
    }

    QTemporaryDir tmp_;
    tandex::testing::ZipKitResourceAccess access_;
};

TEST_F(MainWindowIconsTest, TheWindowShowsTheArchivesPicturesAndCursors) {
    copyArchive();
    ui::TF_Main window;
    Watch(&window);
    loadThroughDouble(window);

    QImage bitmap;
    EXPECT_TRUE(window.loadBMPFunc(129, 0, bitmap));
    EXPECT_EQ(bitmap.size(), QSize(128, 128));
    EXPECT_FALSE(window.loadBMPFunc(20, 0, bitmap));
    EXPECT_TRUE(bitmap.isNull());
    EXPECT_FALSE(window.loadBMPFunc(32, 9, bitmap));  // an index nobody draws
    for (const QImage& icon : window.PaneIcons()) EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_FALSE(window.SmallArrowDown().isNull());
    EXPECT_FALSE(window.SmallArrowUp().isNull());
    for (int n = 10; n <= 16; ++n) EXPECT_TRUE(window.hasScreenCursor(n)) << n;
    EXPECT_EQ(window.screenCursor(12).hotSpot(), QPoint(15, 15));
    EXPECT_EQ(window.screenCursor(9, Qt::PointingHandCursor).shape(), Qt::PointingHandCursor);

    // Picture buttons lose their captions; the select buttons keep theirs.
    EXPECT_EQ(window.fbOpenFolderL->ImageID(), 0);
    EXPECT_EQ(window.fbOpenFolderL->Caption(), "");
    EXPECT_EQ(window.fbSWAP->Caption(), "");
    EXPECT_EQ(window.fbLSelAll->Caption(), "all");
    EXPECT_EQ(window.fbLSelAll->ImageID(), 67);

    // Every toolbar button shows its picture, enabled and disabled.
    ASSERT_EQ(window.ImageList24E().size(), window.ImageList(24)->size());
    ASSERT_EQ(window.ImageList24D().size(), window.ImageList(24)->size());
    for (QAction* a : {window.TB_SETINGS, window.TB_OPENFOLDER, window.TB_DIFNEXT, window.TB_UNDOR})
        EXPECT_TRUE(iconOnly(window, a)) << a->objectName().toStdString();
    const QImage enabled = window.ImageList24E()[0], disabled = window.ImageList24D()[0];
    EXPECT_EQ(qAlpha(enabled.pixel(0, 0)), 0);  // the face's colour is see-through
    EXPECT_NE(enabled, disabled);
    window.setToolImage(window.TB_FILTER, 17);
    EXPECT_EQ(window.TB_FILTER->property("ImageIndex").toInt(), 17);
    window.setToolImage(window.TB_FILTER, 9999);
    EXPECT_FALSE(iconOnly(window, window.TB_FILTER));
    window.setToolImage(window.TB_FILTER, 16);

    // Grabs of the toolbar in both looks and two colour schemes, enabled
    // (the settings and folder buttons) and disabled (the rest).
    window.resize(900, 500);
    for (int style : {1, 0}) {
        config::AppSettings().GSGUIStyle = style;
        window.loadIconSets();
        for (int scheme : {0, 4}) {
            window.setColorScheme(scheme);
            for (QAction* a : {window.TB_SETINGS, window.TB_DIFNEXT})
                EXPECT_TRUE(iconOnly(window, a)) << style << " " << scheme;
            grab(window.ToolBar1, QString("toolbar-%1-scheme%2").arg(style ? "flat" : "classic").arg(scheme));
        }
    }
    window.firePendingJobs();
    window.refreshLayout();
    grab(&window, "main-window-icons");
}

TEST_F(MainWindowIconsTest, AMissingMemberLeavesOnlyItsListOrCursorEmpty) {
    copyArchive();
    dropMembers({"TDXIL24Flat.bin", "TDXCU13M.bmp", "SmallArrowUp.bmp"});
    config::AppSettings().GSGUIStyle = 1;
    ui::TF_Main window;
    Watch(&window);
    loadThroughDouble(window);

    QImage bitmap;
    EXPECT_TRUE(window.ImageList(24)->isEmpty());
    EXPECT_TRUE(window.ImageList24E().isEmpty());
    EXPECT_FALSE(iconOnly(window, window.TB_SETINGS));
    EXPECT_EQ(window.TB_SETINGS->text(), "Settings");
    EXPECT_TRUE(window.loadBMPFunc(16, 0, bitmap));
    EXPECT_EQ(window.fbOpenFolderL->Caption(), "");
    EXPECT_FALSE(window.hasScreenCursor(13));
    EXPECT_TRUE(window.hasScreenCursor(12));
    EXPECT_TRUE(window.SmallArrowUp().isNull());
    EXPECT_FALSE(window.SmallArrowDown().isNull());

    // The classic look's toolbar list is there: the toolbar shows it.
    config::AppSettings().GSGUIStyle = 0;
    window.loadIconSets();
    window.applyColorScheme();
    EXPECT_TRUE(iconOnly(window, window.TB_SETINGS));
}

TEST_F(MainWindowIconsTest, WithoutTheArchiveTheWindowStartsWithCaptions) {
    ui::TF_Main window;  // the real access layer; nothing beside the program
    Watch(&window);
    window.firePendingJobs();
    for (int size : {10, 16, 17, 24, 32, 48, 72, 74, 128, 129, 256})
        EXPECT_TRUE(window.ImageList(size)->isEmpty()) << size;
    for (const QImage& icon : window.PaneIcons()) EXPECT_TRUE(icon.isNull());
    EXPECT_FALSE(window.hasScreenCursor(12));
    EXPECT_EQ(window.screenCursor(12, Qt::OpenHandCursor).shape(), Qt::OpenHandCursor);
    EXPECT_EQ(window.fbOpenFolderL->Caption(), "Open");
    EXPECT_EQ(window.fbSaveFileL->Caption(), "Save");
    EXPECT_FALSE(iconOnly(window, window.TB_SETINGS));
    EXPECT_EQ(window.TB_SETINGS->text(), "Settings");
}

// Through the real access layer, once it reads archive members by path.
TEST_F(MainWindowIconsTest, TheProgramReadsItsArchiveThroughTheAccessLayer) {
    copyArchive();
    ui::TF_Main window;
    Watch(&window);
    if (window.ImageList(32)->isEmpty())
        GTEST_SKIP() << "the access layer does not read through archive paths yet";
    EXPECT_TRUE(window.hasScreenCursor(10));
    EXPECT_TRUE(iconOnly(window, window.TB_SETINGS));
    EXPECT_EQ(window.fbOpenFolderL->Caption(), "");
}

}  // namespace
