#include "access/cloud_files.h"
#include "cloud_list_fuzz_check.h"
#include "local_servers.h"
#include "access/access_slots.h"
#include "access/backups.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/folder_totals.h"
#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/scrambler.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTimeZone>

#include <memory>
#include <thread>
#include <vector>

using namespace tandex::access;
using tandex::testing::CloudEmulator;
namespace config = tandex::config;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "cloud_files_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

QByteArray randomBytes(int size) {
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data) c = char(QRandomGenerator::global()->bounded(256));
    return data;
}

QByteArray readFile(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The 2011-12-05 09:07:03 UTC of the service's date example.
constexpr FileTime kDecember2011 = 129675496230000000ull;

class CloudFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        dir_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(tandex::testing::MakeCertificates(dir_->path(), "cloud"));
        FZAddCaCertificates(QSslCertificate::fromPath(dir_->path() + "/cloud-ca.pem"));
        emulator_ = std::make_unique<CloudEmulator>(dir_->path(), "cloud");
        ASSERT_GT(emulator_->port(), 0);
    }
    static void TearDownTestSuite() {
        emulator_.reset();
        dir_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(emulator_->control("{}"));
        QDir(root()).removeRecursively();
        QDir().mkpath(root());
        TDropbox1& client = FZCloudClient();
        client.SetAppKey(CloudEmulator::AppKey);
        client.SetAppSecret(CloudEmulator::AppSecret);
        TDropboxEndpoints e;
        e.api = e.content = e.authorize = emulator_->base();
        client.SetEndpoints(e);
        saved_ = config::AppSettings();
    }
    void TearDown() override {
        config::AppSettings() = saved_;
        FZSetCloudLoginStepHook(nullptr);
        FZSetCloudProgressHook(nullptr);
        FZResetAbort();
        FZSetCloudGranted(false);
        FZCloudClient().SetToken(QString(), QString());
        // Open connections would outlive the test's event processing.
        FZForgetTrustedCertificates();
        QCoreApplication::processEvents();
    }

    // The whole login as the settings dialog runs it, with the user's visit
    // to the authorization address in between.
    static int login() {
        QString url;
        if (const int r = FZCloudAuthorize(url)) return r;
        THttpRequest visit;
        visit.url = QUrl(url);
        if (const int r = FZHttpRun(visit).code) return r;
        return FZCloudGrant();
    }

    static QString root() { return emulator_->root(); }
    static void put(const QString& name, const QByteArray& data) {
        QDir().mkpath(QFileInfo(root() + name).absolutePath());
        QFile f(root() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static void setTime(const QString& name, const QDateTime& time) {
        QFile f(root() + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(time, QFileDevice::FileModificationTime));
    }

    static std::unique_ptr<QTemporaryDir> dir_;
    static std::unique_ptr<CloudEmulator> emulator_;
    config::TAppSettings saved_;
};

std::unique_ptr<QTemporaryDir> CloudFiles::dir_;
std::unique_ptr<CloudEmulator> CloudFiles::emulator_;

}  // namespace

TEST_F(CloudFiles, AccessComesFromTheLoginOrTheStoredToken) {
    config::AppSettings().DBOKey.clear();
    config::AppSettings().DBOSecret.clear();
    FZCloudLoadToken();
    EXPECT_FALSE(FZCloudGranted());
    int slot = FZNoSlot;
    EXPECT_EQ(FZOpen("dbox:///a.txt", twReadAccess, false, slot), errCloudNotGranted);
    EXPECT_EQ(slot, FZNoSlot);
    EXPECT_EQ(FZCheckPath("dbox:///"), errCloudNotGranted);

    std::vector<int> steps;
    FZSetCloudLoginStepHook([&](int step) { steps.push_back(step); });
    ASSERT_EQ(login(), 0) << FZLastMessage().toStdString();
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
    EXPECT_TRUE(FZCloudGranted());
    const TOAuthToken token = FZCloudClient().Token();
    EXPECT_FALSE(token.Key.isEmpty());
    EXPECT_EQ(config::UnscrambleText(config::AppSettings().DBOKey), token.Key);
    EXPECT_EQ(config::UnscrambleText(config::AppSettings().DBOSecret), token.Secret);
    EXPECT_NE(config::AppSettings().DBOKey, token.Key);
    EXPECT_EQ(FZCheckPath("dbox:///"), 0);

    // A later start finds the token in the settings.
    FZCloudClient().SetToken(QString(), QString());
    FZSetCloudGranted(false);
    FZCloudLoadToken();
    EXPECT_TRUE(FZCloudGranted());
    QString text;
    ASSERT_EQ(FZCloudAccountInfo(text), 0);
    EXPECT_TRUE(text.startsWith("Name:    Test User\rUserID:  12345\r")) << text.toStdString();

    ASSERT_TRUE(emulator_->control(R"({"status": 503})"));
    EXPECT_EQ(FZCloudAccountInfo(text), 503);
    EXPECT_EQ(text, "Dropbox Error 503: Rate limited because of too many API requests!");
    EXPECT_TRUE(FZCloudGranted());
}

TEST_F(CloudFiles, ListingHoldsTheFolderOwnEntries) {
    put("/Docs/a.txt", "hello");
    put("/Docs/Sub/deep.txt", "deeper");
    put("/top.txt", "1");
    const QDateTime when(QDate(2011, 12, 5), QTime(9, 7, 3), QTimeZone::utc());
    setTime("/Docs/a.txt", when);
    ASSERT_EQ(login(), 0);

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("dbox://", twGenAccess, false, slot), 0);
    TFZDDir listing;
    ASSERT_EQ(FZListCloudFolder(slot, listing), 0);
    ASSERT_EQ(listing.Count, 2);  // the root has no ".."
    EXPECT_EQ(listing.Items[0].Name, "Docs");
    EXPECT_EQ(listing.Items[0].Attr, FZAttrDirectory);
    EXPECT_EQ(listing.Items[1].Name, "top.txt");

    ASSERT_EQ(FZSetPath(slot, "dbox:///Docs/"), 0);
    ASSERT_EQ(FZListCloudFolder(slot, listing), 0);
    ASSERT_EQ(listing.Count, 3);
    EXPECT_EQ(listing.Items[0].Name, "..");
    EXPECT_EQ(listing.Items[0].Attr, FZAttrDirectory);
    EXPECT_EQ(listing.Items[0].Time, FileTimeNone);
    EXPECT_EQ(listing.Items[1].Name, "Sub");
    EXPECT_EQ(listing.Items[1].Attr, FZAttrDirectory);
    EXPECT_EQ(listing.Items[2].Name, "a.txt");
    EXPECT_EQ(listing.Items[2].Size, 5);
    EXPECT_EQ(listing.Items[2].Time, kDecember2011);
    EXPECT_EQ(listing.Items[2].Attr, 0u);

    // The totals walk the tree through the same listing.
    TFZFolderTotals totals;
    ASSERT_EQ(FZRemoteFolderTotals(slot, "dbox:///Docs", totals), 0);
    EXPECT_EQ(totals.Files, 2);
    EXPECT_EQ(totals.Folders, 1);
    EXPECT_EQ(totals.Bytes, 11);

    // Sizes past 2 GB are kept whole.
    ASSERT_TRUE(emulator_->control(R"({"huge": true})"));
    ASSERT_EQ(FZListCloudFolder(slot, listing), 0);
    EXPECT_EQ(listing.Items[2].Size, 3221225472LL + 5);
    FZClose(slot);
    qint64 size = 0;
    TFZFileInfo info;
    ASSERT_EQ(FZGetPathFileTime("dbox:///Docs/a.txt", size, info), 0);
    EXPECT_EQ(size, 3221225472LL + 5);
}

TEST_F(CloudFiles, ListingPassesOverOtherFoldersAndDeeperEntries) {
    const std::vector<TDBOItem> items = fuzz::scanItems(
        R"({"path": "/Docs", "is_dir": true, "contents": [)"
        R"({"bytes": 3000000000, "modified": "Mon, 05 Dec 2011 09:07:03 +0000", "path": "/DOCS/Big.iso", "is_dir": false}, )"
        R"({"path": "/Docs/Sub", "is_dir": true}, )"
        R"({"path": "/Docs/Sub", "is_dir": true}, )"
        R"({"bytes": 1, "modified": "x", "path": "/Docs/Sub/deep.txt", "is_dir": false}, )"
        R"({"path": "/Docs/Sub/Deeper", "is_dir": true}, )"
        R"({"bytes": 2, "modified": "x", "path": "/Other/x.txt", "is_dir": false}, )"
        R"({"bytes": "many", "modified": "x", "path": "/Docs/odd.txt", "is_dir": false}]})");
    TFZDDir listing;
    FZFilterCloudListing(items, "/docs/", listing);
    ASSERT_EQ(listing.Count, 3);
    EXPECT_EQ(listing.Items[0].Name, "Big.iso");
    EXPECT_EQ(listing.Items[0].Size, 3000000000LL);
    EXPECT_EQ(listing.Items[0].Time, kDecember2011);
    EXPECT_EQ(listing.Items[1].Name, "Sub");
    EXPECT_EQ(listing.Items[2].Name, "odd.txt");
    EXPECT_EQ(listing.Items[2].Size, 0);
    EXPECT_EQ(listing.Items[2].Time, FZUnreadableTime);
}

TEST(CloudDates, ParseByPlace) {
    struct Case {
        const char* text;
        FileTime time;
    };
    const auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return FZDateTimeToFileTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()));
    };
    const Case cases[] = {
        {"Mon, 05 Dec 2011 09:07:03 +0000", kDecember2011},
        {"Wed, 29 Feb 2012 23:59:59 +0000", at(2012, 2, 29, 23, 59, 59)},
        {"Sat, 01 Jan 2000 00:00:00 +0000", at(2000, 1, 1, 0, 0, 0)},
        {"Mon, 05 Foo 2011 09:07:03 +0000", kDecember2011},  // unknown month: December
        {"Mon, 05 dec 2011 09:07:03 +0000", kDecember2011},  // months compare exactly
        {"Mon, 05 Jan 2011 9:7:03 +0000", at(2011, 1, 5, 9, 7, 3)},
        {"garbage", FZUnreadableTime},
        {"", FZUnreadableTime},
        {"Mon, 05 Dec 2011 09:07", FZUnreadableTime},
        {"Mon, 05 Dec 2011", FZUnreadableTime},
        {"Mon, 05 Dec", FZUnreadableTime},
        {"Mon, 31 Feb 2011 09:07:03 +0000", FZUnreadableTime},
        {"Mon, 05 Dec 2011 25:07:03 +0000", FZUnreadableTime},
        {"Mon, 05 Dec 1500 09:07:03 +0000", FZUnreadableTime},
        {"Mon, 05 Dec -999 09:07:03 +0000", FZUnreadableTime},
    };
    for (const Case& c : cases) EXPECT_EQ(FZParseCloudDate(c.text), c.time) << c.text;
}

TEST_F(CloudFiles, SlotsReadWriteAndChangeFiles) {
    ASSERT_EQ(login(), 0);
    const QByteArray data = randomBytes(300000);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(QString::fromUtf8("dbox:///Docs/n\u00e4me 1.bin"), twWriteAccess, false, slot), 0);
    EXPECT_TRUE(FZSlotSslUsed(slot));
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, data.constData(), data.size(), done), 0);
    ASSERT_EQ(FZClose(slot), 0);
    EXPECT_EQ(readFile(root() + QString::fromUtf8("/Docs/n\u00e4me 1.bin")), data);

    ASSERT_EQ(FZOpen(QString::fromUtf8("dbox:///Docs/n\u00e4me 1.bin"), twReadAccess, false, slot), 0);
    QByteArray back(data.size() + 10, 0);
    ASSERT_EQ(FZRead(slot, back.data(), back.size(), done), 0);
    EXPECT_EQ(done, data.size());
    back.truncate(done);
    EXPECT_EQ(back, data);
    TFZFileInfo info;
    ASSERT_EQ(FZGetFileInformation(slot, info), 0);
    EXPECT_EQ(info.size(), data.size());
    EXPECT_EQ(info.CreationTime, info.LastWriteTime);
    EXPECT_EQ(info.LastAccessTime, info.LastWriteTime);
    EXPECT_NE(info.LastWriteTime, FZUnreadableTime);
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, 0), 0);
    quint32 attributes = 7;
    EXPECT_EQ(FZGetAttributes(slot, attributes), 0);
    EXPECT_EQ(attributes, 0u);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrReadOnly), 0);
    EXPECT_EQ(FZExists(slot), 0);
    ASSERT_EQ(FZRename(slot, "dbox:///Docs/moved.bin"), 0);
    EXPECT_FALSE(QFile::exists(root() + QString::fromUtf8("/Docs/n\u00e4me 1.bin")));
    EXPECT_EQ(readFile(root() + "/Docs/moved.bin"), data);
    FZClose(slot);

    EXPECT_EQ(FZExistsPath("dbox:///Docs/moved.bin"), 0);
    EXPECT_EQ(FZExistsPath("dbox:///Docs/missing.bin"), 404);
    EXPECT_EQ(FZDeletePath("dbox:///Docs/moved.bin", true), 0);
    EXPECT_FALSE(QFile::exists(root() + "/Docs/moved.bin"));
    ASSERT_EQ(FZOpen("dbox:///Docs/", twGenAccess, false, slot), 0);
    EXPECT_EQ(FZRemoveFolder(slot), errInvalidPath);
    EXPECT_EQ(FZMakeFolder(slot), 0);
    EXPECT_EQ(FZCheckLocation(slot), 0);
    FZClose(slot);
    EXPECT_EQ(FZMakeFolderPath("dbox:///New/Deep/"), 0);

    // A temporary copy is a download.
    put("/t.txt", "temporary");
    QString copy;
    ASSERT_EQ(FZDownloadToTemp("dbox:///t.txt", false, "", copy), 0);
    EXPECT_EQ(readFile(copy), "temporary");
    QFile::remove(copy);
}

TEST_F(CloudFiles, UnauthorizedDropsTheTokenEverywhere) {
    ASSERT_EQ(login(), 0);
    ASSERT_FALSE(config::AppSettings().DBOKey.isEmpty());
    ASSERT_TRUE(emulator_->control(R"({"status": 401})"));
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("dbox:///up.txt", twWriteAccess, false, slot), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, "abc", 3, done), 0);
    EXPECT_EQ(FZClose(slot), 401);
    EXPECT_FALSE(FZCloudGranted());
    EXPECT_TRUE(config::AppSettings().DBOKey.isEmpty());
    EXPECT_TRUE(config::AppSettings().DBOSecret.isEmpty());
    EXPECT_EQ(FZOpen("dbox:///up.txt", twReadAccess, false, slot), errCloudNotGranted);
    EXPECT_EQ(FZErrorText(-401, eoDropbox),
              "Dropbox Error 401: Bad or expired token. Please (re-)grant Tandex access to "
              "Dropbox!");

    // The copy writer's thread leaves the settings to the user-interface
    // thread, which empties them when it next takes its events.
    ASSERT_TRUE(emulator_->control("{}"));
    ASSERT_EQ(login(), 0);
    ASSERT_EQ(FZOpen("dbox:///up.txt", twWriteAccess, false, slot), 0);
    ASSERT_EQ(FZWrite(slot, "abc", 3, done), 0);
    ASSERT_TRUE(emulator_->control(R"({"status": 401})"));
    int closed = 0;
    std::thread writer([&] { closed = FZClose(slot); });
    writer.join();
    EXPECT_EQ(closed, 401);
    EXPECT_FALSE(FZCloudGranted());
    EXPECT_FALSE(config::AppSettings().DBOKey.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(config::AppSettings().DBOKey.isEmpty());
    EXPECT_TRUE(config::AppSettings().DBOSecret.isEmpty());
}

TEST_F(CloudFiles, ServiceFailuresKeepTheTokenAndHaveTheirTexts) {
    put("/a.txt", "a");
    ASSERT_EQ(login(), 0);
    struct Case {
        int status;
        const char* text;
    };
    const Case cases[] = {
        {404, "File or folder not found at the specified path!"},
        {503, "Rate limited because of too many API requests!"},
        {507, "User is over Dropbox storage quota!"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(emulator_->control(QString(R"({"status": %1})").arg(c.status).toUtf8()));
        int slot = FZNoSlot;
        EXPECT_EQ(FZOpen("dbox:///a.txt", twReadAccess, false, slot), c.status);
        EXPECT_EQ(FZErrorText(-c.status, eoDropbox),
                  QString("Dropbox Error %1: %2").arg(c.status).arg(c.text));
        EXPECT_TRUE(FZCloudGranted());
    }
}

TEST_F(CloudFiles, AbortEndsTheDownloadOfItsSlot) {
    put("/slow.bin", randomBytes(400000));
    ASSERT_EQ(login(), 0);
    ASSERT_TRUE(emulator_->control(R"({"slow": true})"));
    int calls = 0;
    FZSetCloudProgressHook([&](qint64) {
        if (++calls == 1) FZAbortAll();
    });
    int slot = FZNoSlot;
    EXPECT_EQ(FZOpen("dbox:///slow.bin", twReadAccess, false, slot), errUserAborted);
    EXPECT_EQ(slot, FZNoSlot);
    EXPECT_LT(calls, 20);
    EXPECT_TRUE(FZResetAbort());

    // The next transfer runs again.
    FZSetCloudProgressHook(nullptr);
    ASSERT_TRUE(emulator_->control("{}"));
    ASSERT_EQ(FZOpen("dbox:///slow.bin", twReadAccess, false, slot), 0);
    EXPECT_EQ(FZSlotStream(slot)->size(), 400000);
    FZClose(slot);
}

TEST_F(CloudFiles, BackupsMoveOnTheServiceOrDownloadToTheirFolder) {
    put("/f.txt", "current");
    put("/f.txt.~1~", "older");
    ASSERT_EQ(login(), 0);
    config::TAppSettings& s = config::AppSettings();
    s.BKBeforeSave = true;
    s.BKUseSequence = true;
    s.BKUseFolder = false;
    s.BKDBOEnable = true;
    s.BKUseDBOFolder = false;

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("dbox:///f.txt", twGenWrAccess, false, slot), 0);
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, config::AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(readFile(root() + "/f.txt.~2~"), "older");
    EXPECT_EQ(readFile(root() + "/f.txt.~1~"), "current");
    EXPECT_FALSE(QFile::exists(root() + "/f.txt"));
    EXPECT_EQ(FZSlotPath(slot), "dbox:///f.txt");
    EXPECT_EQ(FZSlotAccessKind(slot), akCloud);
    FZClose(slot);

    put("/f.txt", "newest");
    QTemporaryDir folder;
    s.BKUseDBOFolder = true;
    s.BKDBOFolder = folder.path() + "/";
    ASSERT_EQ(FZOpen("dbox:///f.txt", twGenWrAccess, false, slot), 0);
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, config::AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(readFile(folder.path() + "/f.txt.~1~"), "newest");
    EXPECT_EQ(readFile(root() + "/f.txt"), "newest");
    FZClose(slot);
}

TEST(CloudList, KeptFuzzInputsHoldTheirRules) {
    const QDir data(TANDEX_TEST_DATA);
    const QStringList files = data.entryList({"cloud-list-*"}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(fuzz::runCloudList(f.readAll()).toStdString(), "") << name.toStdString();
    }
}
