// Panes on network sources, end to end: a web address, a cloud path and an
// FTP location typed into the right pane load and compare with a local
// file; the cloud and FTP files are saved back in place; the properties
// dialog shows their kind. Every server runs on 127.0.0.1 for the suite.

#include "ui/main/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSslCertificate>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "access/access_slots.h"
#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/ftp_hooks.h"
#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/editor.h"
#include "tests/access/ftp_test_profile.h"
#include "tests/access/local_servers.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/file_properties.h"
#include "ui/main/status_win.h"

namespace acc = tandex::access;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using tandex::testing::LocalServer;

namespace {

// Keeps every progress text a save shows.
class TextsProgress : public config::SilentProgress {
public:
    void setTextLine(int line, const QString& text) override {
        SilentProgress::setTextLine(line, text);
        if (!text.isEmpty()) texts << text;
    }
    void setProgress(qint64 position) override {
        SilentProgress::setProgress(position);
        furthest = std::max(furthest, position);
    }
    QStringList texts;
    qint64 furthest = 0;
};

QByteArray readAll(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& name, const QByteArray& data) {
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class RemotePanesTest : public tandex::testing::MainWindowFixture {
protected:
    static void SetUpTestSuite() {
        servers_ = std::make_unique<QTemporaryDir>();
        const QString base = servers_->path();
        QDir().mkpath(base + "/web");
        QDir().mkpath(base + "/ftp");
        web_ = std::make_unique<LocalServer>("/usr/bin/python3",
                                             tandex::testing::WebPeer({"files", base + "/web"}));
        ftp_ = std::make_unique<LocalServer>(
            "/usr/bin/python3", QStringList{QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_server.py",
                                            "--root", base + "/ftp", "--user", "u:p"});
        if (tandex::testing::MakeCertificates(base, "cloud"))
            cloud_ = std::make_unique<tandex::testing::CloudEmulator>(base, "cloud");
    }
    static void TearDownTestSuite() {
        web_.reset();
        ftp_.reset();
        cloud_.reset();
        servers_.reset();
    }

    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_GT(web_->port(), 0);
        ASSERT_GT(ftp_->port(), 0);
        ASSERT_TRUE(cloud_ && cloud_->port() > 0);
        resetEngine();
        config::setMessageSink(&messages_);
        config::setProgressSink(&progress_);
        config::AppSettings().BKBeforeSave = false;
        config::AppSettings().ProxyEnable = false;
        status_ = std::make_unique<ui::TStatusWin>();
        window_ = std::make_unique<ui::TF_Main>(status_.get());
        Watch(window_.get());
        window_->resize(900, 520);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->firePendingJobs();
    }
    void TearDown() override {
        window_.reset();
        status_.reset();
        resetEngine();
        config::setMessageSink(nullptr);
        config::setProgressSink(nullptr);
        acc::FZSetFtpSiteHooks({}, {});
        acc::FZCloudClient().SetToken(QString(), QString());
        acc::FZForgetTrustedCertificates();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }

    // A local file in the left pane, then the location typed into the
    // right one; the first progress text the load shows.
    QString loadBeside(const QString& localText, const QString& location) {
        const QString left = tmp_.filePath("left.txt");
        writeFile(left, localText.toUtf8());
        window_->loadAndCompare(3, left, left);
        QString firstText;
        QTimer::singleShot(0, window_.get(), [&] { firstText = status_->L_TextLine1->text(); });
        window_->editedPathRight = location;
        window_->LoadDirect(2);
        return firstText;
    }

    // Edits the right pane's second line and saves the pane in place.
    void editAndSaveRight(const QString& line) {
        auto& stores = engine::paneStores();
        ASSERT_GE(stores.LineCount[2], 2);
        stores.TextLines[2][1]->Text = line;
        engine::fccTabs().MarkPaneModified(2);
        window_->saveTabState();
        auto* save = window_->findChild<QAction*>(QStringLiteral("SaveRightFile1"));
        ASSERT_TRUE(save);
        window_->N1SaveFileClick(save);
    }

    int paneState(int pane) const {
        const auto& tabs = engine::fccTabs();
        return tabs.TabSlots[size_t(tabs.CurrentTab)].FileData.PaneModifiedState[size_t(pane)];
    }

    // The properties dialog on path; look sees it loaded, then Cancel.
    static void properties(const QString& path, bool folder, const std::function<void(ui::TfProperties&)>& look) {
        ui::TfProperties dlg;
        tandex::testing::OnNextModal([&](QWidget* form) {
            look(dlg);
            tandex::testing::PressFlatButton(form, "fbCancel");
            if (form->isVisible()) static_cast<QDialog*>(form)->reject();
        });
        dlg.Execute(QPoint(20, 20), 0, path, folder);
    }

    void grantCloud() {
        acc::FZAddCaCertificates(QSslCertificate::fromPath(servers_->path() + "/cloud-ca.pem"));
        acc::TDropbox1& client = acc::FZCloudClient();
        client.SetAppKey(tandex::testing::CloudEmulator::AppKey);
        client.SetAppSecret(tandex::testing::CloudEmulator::AppSecret);
        acc::TDropboxEndpoints e;
        e.api = e.content = e.authorize = cloud_->base();
        client.SetEndpoints(e);
        ASSERT_TRUE(cloud_->control("{}"));
        // The login as the settings dialog runs it, with the user's visit
        // to the authorization address in between.
        QString url;
        ASSERT_EQ(acc::FZCloudAuthorize(url), 0);
        acc::THttpRequest visit;
        visit.url = QUrl(url);
        ASSERT_EQ(acc::FZHttpRun(visit).code, 0);
        ASSERT_EQ(acc::FZCloudGrant(), 0);
    }

    void useFtpProfile() {
        tandex::testing::UseLocalFtpProfile(ftp_->port());
    }

    static inline std::unique_ptr<QTemporaryDir> servers_;
    static inline std::unique_ptr<LocalServer> web_, ftp_;
    static inline std::unique_ptr<tandex::testing::CloudEmulator> cloud_;
    config::RecordingMessageSink messages_;
    TextsProgress progress_;
    std::unique_ptr<ui::TStatusWin> status_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(RemotePanesTest, TypedWebAddressLoadsComparesAndHeadsTheRecentAddresses) {
    writeFile(servers_->path() + "/web/page.txt", "one\ntwo\nthree\n");
    const QString address = QString("http://127.0.0.1:%1/page.txt").arg(web_->port());
    auto& recent = config::AppSettings().WEBFiles;
    recent.fill(QString());
    recent[0] = "http://127.0.0.1/first";
    recent[1] = address;
    recent[2] = "http://127.0.0.1/third";

    const QString firstText = loadBeside("one\n2\nthree\n", address);
    const auto& stores = engine::paneStores();
    EXPECT_TRUE(firstText.startsWith("Loading right file: ")) << qPrintable(firstText);
    EXPECT_EQ(stores.FileErrors[2], 0);
    EXPECT_EQ(stores.FileNames[2], "page.txt");
    EXPECT_EQ(stores.SideAccessKinds[2], acc::akHttp);
    EXPECT_EQ(stores.LineCount[2], 3);
    EXPECT_EQ(window_->LastDiffCount, 1);
    // Moved to the top, not listed twice.
    EXPECT_EQ(recent[0], address);
    EXPECT_EQ(recent[1], "http://127.0.0.1/first");
    EXPECT_EQ(recent[2], "http://127.0.0.1/third");
    EXPECT_EQ(recent[3], QString());

    // A missing page: the memo with the server's answer; nothing remembered.
    const QString missing = QString("http://127.0.0.1:%1/none.txt").arg(web_->port());
    window_->editedPathRight = missing;
    window_->LoadDirect(2);
    EXPECT_EQ(stores.FileSizes[2], -2);
    EXPECT_EQ(window_->M_ROpenErr->toPlainText(),
              "Socket Error 404: File not found at the specified URL!\n" + missing);
    EXPECT_EQ(recent[0], address);
}

TEST_F(RemotePanesTest, RecentWebAddressesKeepTwentyNewestFirst) {
    auto& recent = config::AppSettings().WEBFiles;
    for (int i = 0; i < 20; ++i) recent[size_t(i)] = QString("http://h/%1").arg(i);
    window_->rememberWebFile("http://h/new");
    EXPECT_EQ(recent[0], "http://h/new");
    EXPECT_EQ(recent[1], "http://h/0");
    EXPECT_EQ(recent[19], "http://h/18");
    window_->rememberWebFile("http://h/new");  // already first: unchanged
    EXPECT_EQ(recent[1], "http://h/0");
    window_->rememberWebFile("http://h/18");  // the last one moves up
    EXPECT_EQ(recent[0], "http://h/18");
    EXPECT_EQ(recent[1], "http://h/new");
    EXPECT_EQ(recent[19], "http://h/17");
}

TEST_F(RemotePanesTest, TypedCloudPathLoadsComparesSavesAndShowsItsKind) {
    grantCloud();
    const QString root = cloud_->root();
    QDir(root).removeRecursively();
    writeFile(root + "/Docs/notes.txt", "one\ntwo\nthree\n");
    const QString path = "dbox:///Docs/notes.txt";

    const QString firstText = loadBeside("one\n2\nthree\n", path);
    const auto& stores = engine::paneStores();
    EXPECT_EQ(firstText, "Connecting to Dropbox, please wait...");
    ASSERT_EQ(stores.FileErrors[2], 0) << qPrintable(window_->M_ROpenErr->toPlainText());
    EXPECT_EQ(stores.FileNames[2], "notes.txt");
    EXPECT_EQ(stores.SideAccessKinds[2], acc::akCloud);
    EXPECT_EQ(stores.FileSizes[2], 14);
    EXPECT_EQ(window_->LastDiffCount, 1);

    editAndSaveRight("zwei");
    EXPECT_EQ(readAll(root + "/Docs/notes.txt"), "one\nzwei\nthree\n");
    EXPECT_EQ(paneState(2), engine::pmNotModified);
    EXPECT_EQ(stores.SideAccessKinds[2], acc::akCloud);
    EXPECT_TRUE(progress_.texts.contains("Connecting to: " + path)) << qPrintable(progress_.texts.join('|'));
    EXPECT_TRUE(progress_.texts.contains("Uploading to Dropbox..."));

    // A refused upload leaves the service's file as it was and the pane
    // modified, with the service's answer.
    ASSERT_TRUE(cloud_->control(R"({"status": 507})"));
    messages_.clear();
    editAndSaveRight("deux");
    ASSERT_TRUE(cloud_->control("{}"));
    EXPECT_EQ(readAll(root + "/Docs/notes.txt"), "one\nzwei\nthree\n");
    EXPECT_EQ(paneState(2), engine::pmModified);
    ASSERT_FALSE(messages_.messages().empty());
    EXPECT_TRUE(messages_.messages().back().text.startsWith("The file was not saved!\r"));

    QString type, name, location, size;
    bool createdOn = true, accessedOn = true, modifiedOn = false;
    properties(path, false, [&](ui::TfProperties& d) {
        type = d.lType->text();
        name = d.eName->text();
        location = d.eLocation->text();
        size = d.lSize->text();
        createdOn = d.dCreated->isEnabled() || d.tCreated->isEnabled();
        accessedOn = d.dAccessed->isEnabled() || d.tAccessed->isEnabled();
        modifiedOn = d.dModified->isEnabled() && d.tModified->isEnabled();
    });
    EXPECT_EQ(type, "File");
    EXPECT_EQ(name, "notes.txt");
    EXPECT_EQ(location, "dbox:///Docs");
    EXPECT_EQ(size, "15");
    EXPECT_FALSE(createdOn);
    EXPECT_FALSE(accessedOn);
    EXPECT_TRUE(modifiedOn);

    writeFile(root + "/Docs/sub/more.txt", "12345");
    QString contains;
    properties("dbox:///Docs/", true, [&](ui::TfProperties& d) {
        contains = d.lContains->text();
        size = d.lSize->text();
    });
    EXPECT_EQ(contains, "2 Files, 1 Folders");
    EXPECT_EQ(size, "20");
}

TEST_F(RemotePanesTest, CloudDownloadMovesTheBarAndCancelStopsTheLoad) {
    grantCloud();
    const QString root = cloud_->root();
    QDir(root).removeRecursively();
    QByteArray big;
    while (big.size() < 200000) big += "a line of a slowly served file\n";
    writeFile(root + "/big.txt", big);
    ASSERT_TRUE(cloud_->control(R"({"slow": true})"));
    const QString left = tmp_.filePath("left.txt");
    writeFile(left, "left\n");
    window_->loadAndCompare(3, left, left);

    int barAtCancel = -1;
    // Runs from the download's progress while the service sends.
    QTimer::singleShot(400, window_.get(), [&] {
        barAtCancel = status_->PBar1->value();
        window_->cancelOperation();
    });
    window_->editedPathRight = "dbox:///big.txt";
    window_->LoadDirect(2);
    ASSERT_TRUE(cloud_->control("{}"));
    EXPECT_GT(barAtCancel, 0);
    // The tab as it was before the load.
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.FileNames[2], "left.txt");
    EXPECT_EQ(stores.LineCount[2], 1);
    EXPECT_FALSE(window_->Loading());
}

TEST_F(RemotePanesTest, TypedFtpLocationLoadsWhollyComparesSavesAndShowsItsKind) {
    useFtpProfile();
    const QString root = servers_->path() + "/ftp";
    // Well beyond what the kind detection reads of it.
    QByteArray text = "one\ntwo\n";
    QByteArray local = "one\n2\n";
    for (int i = 0; i < 5000; ++i) {
        const QByteArray line = "a line of the long remote file " + QByteArray::number(i) + "\n";
        text += line;
        local += line;
    }
    writeFile(root + "/d/long.txt", text);
    const QString path = "ftp://u@127.0.0.1/d/long.txt";

    int furthestBar = 0;
    QObject::connect(status_->PBar1, &QProgressBar::valueChanged,
                     [&](int value) { furthestBar = std::max(furthestBar, value); });
    const QString firstText = loadBeside(QString::fromUtf8(local), path);
    const auto& stores = engine::paneStores();
    EXPECT_TRUE(firstText.startsWith("Connecting to ...   ")) << qPrintable(firstText);
    ASSERT_EQ(stores.FileErrors[2], 0) << qPrintable(window_->M_ROpenErr->toPlainText());
    EXPECT_EQ(stores.SideAccessKinds[2], acc::akFtp);
    EXPECT_EQ(stores.FileSizes[2], text.size());
    EXPECT_EQ(stores.LineCount[2], 5002);
    EXPECT_EQ(window_->LastDiffCount, 1);
    // The download's read hook moved the window's bar to the whole file.
    EXPECT_EQ(furthestBar, 100);

    editAndSaveRight("zwei");
    QByteArray saved = text;
    saved.replace("one\ntwo\n", "one\nzwei\n");
    EXPECT_TRUE(readAll(root + "/d/long.txt") == saved);
    EXPECT_EQ(paneState(2), engine::pmNotModified);
    EXPECT_EQ(stores.SideAccessKinds[2], acc::akFtp);
    EXPECT_TRUE(progress_.texts.contains("Connecting to: " + path)) << qPrintable(progress_.texts.join('|'));
    EXPECT_TRUE(progress_.texts.contains("Uploading to FTP server..."));
    EXPECT_EQ(progress_.furthest, saved.size());

    QString name, location;
    bool boxesOn = true, modifiedOn = false;
    properties(path, false, [&](ui::TfProperties& d) {
        name = d.eName->text();
        location = d.eLocation->text();
        boxesOn = d.cbReadOnly->isEnabled() || d.cbArchive->isEnabled() || d.cbHidden->isEnabled() ||
                  d.cbSystem->isEnabled();
        modifiedOn = d.dModified->isEnabled() && d.tModified->isEnabled();
    });
    EXPECT_EQ(name, "long.txt");
    EXPECT_EQ(location, "ftp://u@127.0.0.1/d");
    EXPECT_FALSE(boxesOn);
    EXPECT_TRUE(modifiedOn);
}

}  // namespace
