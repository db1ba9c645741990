#include "ui/main/main_window_files.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUrl>

#include "engine/pane_stores.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/file_properties.h"
#include "ui/main/main_window.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

// Records the addresses handed to the desktop instead of opening them.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

namespace {

class MainWindowFilesTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        engine::paneStores().InitCompareData();
        QDesktopServicesHandler(true);
        ASSERT_TRUE(QDir().mkpath(tmp_.filePath("left")));
        ASSERT_TRUE(QDir().mkpath(tmp_.filePath("right")));
        for (const char* name : {"left/a.txt", "right/b.txt"}) {
            QFile f(tmp_.filePath(QLatin1String(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("text\n");
        }
    }
    // After the window is built, which starts with empty panes.
    void loadPanes() {
        auto& stores = engine::paneStores();
        stores.FilePaths[1] = tmp_.filePath("left") + "/";
        stores.FileNames[1] = "a.txt";
        stores.FilePaths[2] = tmp_.filePath("right") + "/";
        stores.FileNames[2] = "b.txt";
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        QDesktopServicesHandler(false);
        engine::paneStores().InitCompareData();
    }
    void QDesktopServicesHandler(bool on) {
        if (on)
            QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        else
            QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    UrlCatcher catcher;
};

TEST_F(MainWindowFilesTest, LocateFolderOfFilesFoldersAndWhatCannotBeShown) {
    struct Case {
        QString path;
        bool folder;
        QString expected;
    } cases[] = {
        {tmp_.filePath("left/a.txt"), false, tmp_.filePath("left") + "/"},
        {tmp_.filePath("left"), true, tmp_.filePath("left") + "/"},
        {tmp_.filePath("left/gone.txt"), false, QString()},
        {QStringLiteral("ftp://user@127.0.0.1/a.txt"), false, QString()},
        {QString(), false, QString()},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::LocateFolder(c.path, c.folder), c.expected) << c.path.toStdString();
}

TEST_F(MainWindowFilesTest, FileNameMenuLocatesAndCopiesThePanesFile) {
    ui::TF_Main window;
    Watch(&window);
    loadPanes();
    window.setFNMenuTarget(2);
    EXPECT_EQ(window.pmOpenContainingFolder->text(), QStringLiteral("Locate file in Explorer"));
    window.pmCopyFilePathName->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), tmp_.filePath("right/b.txt"));

    window.pmOpenContainingFolder->trigger();
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl::fromLocalFile(tmp_.filePath("right") + "/"));
    EXPECT_EQ(window.getActivePane(window.ViewType()), 2);

    // The line menu's item locates the active pane's file.
    window.setActivePane(window.ViewType(), 1);
    window.pmExploreFolderClick(nullptr);
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[1], QUrl::fromLocalFile(tmp_.filePath("left") + "/"));

    // A file that is gone is not located.
    QFile::remove(tmp_.filePath("left/a.txt"));
    window.pmExploreFolderClick(nullptr);
    EXPECT_EQ(catcher.urls.size(), 2);
}

TEST_F(MainWindowFilesTest, RenameThroughPropertiesUpdatesThePane) {
    ui::TF_Main window;
    Watch(&window);
    loadPanes();
    window.setActivePane(window.ViewType(), 2);
    tandex::testing::OnNextModal([](QWidget* form) {
        auto* dlg = static_cast<ui::TfProperties*>(form);
        dlg->eName->setText(QStringLiteral("c.txt"));
        tandex::testing::PressFlatButton(form, "fbOk");
    });
    window.pmFilePropertiesClick(nullptr);
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("c.txt"));
    EXPECT_TRUE(window.eFN2->text().endsWith(QStringLiteral("c.txt"))) << window.eFN2->text().toStdString();
    EXPECT_TRUE(QFile::exists(tmp_.filePath("right/c.txt")));
    EXPECT_FALSE(window.Busy());
}

}  // namespace

#include "main_window_files_test.moc"
