#include "access/ftp_access.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/folder_totals.h"
#include "access/ftp_hooks.h"
#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "local_servers.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <ctime>
#include <map>
#include <memory>

using namespace tandex::access;
using namespace tandex::testing;
namespace config = tandex::config;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "ftp_access_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

void writeFile(const QString& name, const QByteArray& data) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

void setTime(const QString& name, qint64 seconds) {
    struct timeval times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    ASSERT_EQ(::lutimes(QFile::encodeName(name).constData(), times), 0) << qPrintable(name);
}

class AnsweringSink : public config::MessageSink {
public:
    explicit AnsweringSink(int answer) : answer_(answer) {}
    int showMessage(const config::MessageRequest&) override { return ++asked, answer_; }
    int asked = 0;

private:
    int answer_;
};

// The event pump of a waiting caller: counts its rounds and, when asked
// to, aborts all work after a few of them.
class CountingPump : public config::EventPump {
public:
    explicit CountingPump(int abortAfter) : abortAfter_(abortAfter) {}
    void processEvents() override {
        if (++rounds == abortAfter_) FZAbortAll();
    }
    int rounds = 0;

private:
    int abortAfter_;
};

struct Profile {
    QString host = "127.0.0.1";
    QString user = "u";
    QString port;
    QString password = "p";
    QString tls = "0";
    QString protect = "0";
    QString anonymous = "0";
    QString passive = "1";

    QString record() const {
        QStringList f(16);
        f[0] = "Test";
        f[1] = host;
        f[2] = user;
        f[3] = port;
        f[4] = password.isEmpty() ? QString() : config::ScrambleText(password);
        f[6] = tls;
        f[9] = protect;
        f[10] = anonymous;
        f[11] = "5";
        f[12] = "10";
        f[13] = passive;
        return f.join(';');
    }
};

// vsftpd on a free port of 127.0.0.1 serving root to its test user
// (scripts/setup.sh makes it), explicit TLS by default and implicit when
// asked; it demands that data connections resume the control's session.
class Vsftpd {
public:
    Vsftpd(const QString& folder, const QString& root, const QString& cert, const QString& key,
           bool implicit) {
        port_ = FreePort();
        QDir().mkpath(folder + "/vsftpd-empty");
        QString text = QString("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                               "background=NO\nanonymous_enable=NO\nlocal_enable=YES\n"
                               "write_enable=YES\nlocal_root=%2\nchroot_local_user=YES\nuse_localtime=YES\n"
                               "seccomp_sandbox=NO\nsecure_chroot_dir=%3/vsftpd-empty\n"
                               "ssl_enable=YES\nrsa_cert_file=%4\nrsa_private_key_file=%5\n"
                               "require_ssl_reuse=YES\nforce_local_logins_ssl=NO\n"
                               "force_local_data_ssl=NO\npasv_enable=YES\nport_enable=YES\n")
                           .arg(port_)
                           .arg(root, folder, cert, key);
        if (implicit) text += "implicit_ssl=YES\n";
        QFile file(folder + "/vsftpd.conf");
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(text.toUtf8());
        file.close();
        process_.start("vsftpd", {folder + "/vsftpd.conf"});
        for (int i = 0; i < 100; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
            if (probe.waitForConnected(100)) return;
            QThread::msleep(50);
        }
        port_ = 0;
    }
    ~Vsftpd() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    int port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

class FtpAccess : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app(); }

    void SetUp() override {
        dir_ = std::make_unique<QTemporaryDir>();
        root_ = dir_->path() + "/root";
        QDir().mkpath(root_);
        for (auto& p : config::AppSettings().FTPProfile) p.clear();
        config::AppSettings().FTPAnoEmail = "me@example.org";
        FZSetFtpSiteHooks(config::FindFtpProfile,
                          [](int index, int field) { return config::FtpProfileField(index, field); });
        FZSetFtpPasswordHook([this](const QString& caption, bool& cancelled) {
            prompts << caption;
            cancelled = promptAnswer.isEmpty();
            return promptAnswer.isEmpty() ? QString() : config::ScrambleText(promptAnswer);
        });
    }
    void TearDown() override {
        FZSetFtpSiteHooks({}, {});
        FZSetFtpPasswordHook({});
        config::setMessageSink(nullptr);
        config::setEventPump(nullptr);
        FZResetAbort();
        FZForgetTrustedCertificates();
        servers_.clear();
        dir_.reset();
    }

    // pyftpdlib on a free port with user u/p on root_ and the flags.
    LocalServer& serve(QStringList flags) {
        flags = QStringList{QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_server.py", "--root",
                            root_, "--user", "u:p", "--log", dir_->path() + "/commands.log"} +
                flags;
        servers_.push_back(std::make_unique<LocalServer>("/usr/bin/python3", flags));
        EXPECT_GT(servers_.back()->port(), 0);
        return *servers_.back();
    }
    QStringList commands() const {
        QFile f(dir_->path() + "/commands.log");
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    void certificates() {
        ASSERT_TRUE(MakeCertificates(dir_->path(), "ftp"));
        tlsFlags_ = {"--tls", dir_->path() + "/ftp.pem", dir_->path() + "/ftp.key"};
    }
    void trustTestCa() {
        FZAddCaCertificates(QSslCertificate::fromPath(dir_->path() + "/ftp-ca.pem"));
    }

    // Stores the profile in slot 0 and opens its location.
    int open(const Profile& p, const QString& path, int& slot) {
        config::AppSettings().FTPProfile[0] = p.record();
        const QString user = p.anonymous == "1" ? "anonymous" : p.user;
        return FZOpen("ftp://" + user + "@" + p.host + path, twGenAccess, false, slot);
    }
    static Profile at(const LocalServer& server) {
        Profile p;
        p.port = QString::number(server.port());
        return p;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;
    QStringList tlsFlags_;
    std::vector<std::unique_ptr<LocalServer>> servers_;
    QStringList prompts;
    QString promptAnswer;
};

// name -> (attributes, size, time)
std::map<QString, std::tuple<quint32, qint64, FileTime>> itemsOf(const TFZDDir& listing) {
    std::map<QString, std::tuple<quint32, qint64, FileTime>> items;
    for (int i = 0; i < listing.Count; ++i) {
        const TFZItem& item = listing.Items[size_t(i)];
        items[item.Name] = {item.Attr, (item.Attr & FZAttrDirectory) ? 0 : item.Size, item.Time};
    }
    return items;
}

FileTime utc(qint64 seconds) {
    return FZDateTimeToFileTime(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));
}

void useZone(const char* zone) {
    qputenv("TZ", zone);
    ::tzset();
}

// The shared tree: blanks, a "\" in a name, a folder, a link to it and a
// link from inside it back to its parent, all two days old.
qint64 makeTree(const QString& root) {
    const qint64 t = (QDateTime::currentSecsSinceEpoch() - 2 * 86400) / 60 * 60;
    QDir().mkpath(root + "/sub");
    writeFile(root + "/a b.txt", "12345");
    writeFile(root + "/ lead.txt", "1");
    writeFile(root + "/a\\b.txt", "123");
    writeFile(root + "/sub/f.txt", "1234567");
    ::symlink("sub", QFile::encodeName(root + "/tosub").constData());
    ::symlink("..", QFile::encodeName(root + "/sub/up").constData());
    for (const char* name : {"a b.txt", " lead.txt", "a\\b.txt", "sub/f.txt", "tosub", "sub/up",
                             "sub", "."})
        setTime(root + "/" + name, t);
    return t;
}

}  // namespace

TEST_F(FtpAccess, ProfileAndPasswordAreSettledBeforeAnyConnection) {
    int slot = 0;
    // No profile for this user and host.
    EXPECT_EQ(FZOpen("ftp://nobody@127.0.0.1/", twGenAccess, false, slot), errNoFtpProfile);
    EXPECT_EQ(slot, FZNoSlot);

    const int closedPort = FreePort();
    Profile p;
    p.port = "2x";
    EXPECT_EQ(open(p, "/", slot), errBadProfile);

    // A missing password is asked for; an empty answer gives 615.
    p.port = QString::number(closedPort);
    p.password.clear();
    EXPECT_EQ(open(p, "/", slot), 615);
    EXPECT_EQ(prompts, QStringList{" FTP: Password required!"});

    // SFTP and SCP ask first, then refuse.
    prompts.clear();
    promptAnswer = "secret";
    config::AppSettings().FTPProfile[0] = p.record();
    EXPECT_EQ(FZOpen("sftp://u@127.0.0.1/a", twGenAccess, false, slot), errSftpUnsupported);
    EXPECT_EQ(FZOpen("scp://u@127.0.0.1/a", twReadAccess, false, slot), errScpUnsupported);
    EXPECT_EQ(prompts, (QStringList{" SFTP: Password required!", " SCP: Password required!"}));

    // The prompted password is used; nothing listens on the port.
    EXPECT_EQ(open(p, "/", slot), 10061);

    // Without the field hook the profile data is missing.
    FZSetFtpSiteHooks(config::FindFtpProfile, {});
    EXPECT_EQ(open(p, "/", slot), errBadProfile);
    FZSetFtpSiteHooks({}, {});
    EXPECT_EQ(open(p, "/", slot), errNoFtpProfile);
}

TEST_F(FtpAccess, AnonymousProfileLogsInWithTheMailAddressAndNoPrompt) {
    LocalServer& server = serve({"--anonymous"});
    Profile p = at(server);
    p.anonymous = "1";
    p.password.clear();
    int slot = FZNoSlot;
    ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
    EXPECT_TRUE(prompts.isEmpty());
    EXPECT_TRUE(FZLastMessage().isEmpty());
    EXPECT_FALSE(FZSlotSslUsed(slot));
    const QStringList features = FZFtpCapabilities(slot);
    EXPECT_TRUE(features.contains("UTF8")) << qPrintable(features.join('|'));
    EXPECT_FALSE(FZFtpHelp(slot).isEmpty());
    EXPECT_EQ(FZClose(slot), 0);
    const QStringList sent = commands();
    EXPECT_TRUE(sent.contains("USER anonymous"));
    EXPECT_TRUE(sent.contains("PASS me@example.org"));
    EXPECT_EQ(sent.last(), "QUIT");
}

TEST_F(FtpAccess, WrongPasswordGivesTheServersReply) {
    LocalServer& server = serve({});
    Profile p = at(server);
    p.password = "wrong";
    int slot = FZNoSlot;
    EXPECT_EQ(open(p, "/", slot), errInternet);
    EXPECT_EQ(FZLastMessage(), "530 Authentication failed.");
    EXPECT_EQ(slot, FZNoSlot);
}

TEST_F(FtpAccess, AbortFromThePumpEndsAConnectToASilentServer) {
    LocalServer& silent = serve({"--silent"});
    CountingPump pump(4);
    config::setEventPump(&pump);
    int slot = FZNoSlot;
    EXPECT_EQ(open(at(silent), "/", slot), errUserAborted);
    EXPECT_GE(pump.rounds, 4);
    EXPECT_EQ(slot, FZNoSlot);
}

TEST_F(FtpAccess, ArgumentsWithLineEndsAreNeverSent) {
    QDir().mkpath(root_ + "/a");
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/a/", slot), 0);
    TFZDDir listing;
    ASSERT_EQ(FZSetPath(slot, "ftp://u@127.0.0.1/a\r\nMKD x/"), 0);
    EXPECT_EQ(FZListFtp(slot, listing), errInvalidName);
    EXPECT_EQ(listing.Count, 0);
    FZClose(slot);
    EXPECT_FALSE(QFileInfo::exists(root_ + "/x"));
    for (const QString& c : commands()) EXPECT_FALSE(c.startsWith("MKD")) << qPrintable(c);
}

TEST_F(FtpAccess, RemotePathsAreTakenBehindTheSitePart) {
    struct Case {
        const char* location;
        const char* remote;
    };
    const Case cases[] = {
        {"ftp://u@host.org@host/x", "/x"},
        {"ftp://u@h/dir/a_1_b.txt", "/dir/a_1_b.txt"},
        {"ftp:##u@h/dir/", "/dir/"},
        {"sftp://u@h/a", "/a"},
        {"ftp://u@h", "/"},
        {"/already/remote", "/already/remote"},
    };
    for (const Case& c : cases) {
        QString remote;
        FZFtpRemotePath(FZNoSlot, c.location, remote);
        EXPECT_EQ(remote, c.remote) << c.location;
    }
    QString site;
    EXPECT_TRUE(FZFtpSite("ftp://u@host.org@host/x", site));
    EXPECT_EQ(site, "ftp://u@host.org@host");
    EXPECT_TRUE(FZIsFtpUrl("scp://u@h/"));
    EXPECT_FALSE(FZIsFtpUrl("http://u@h/"));

    // With a connected slot, a bare path becomes the slot's location.
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/", slot), 0);
    QString location;
    FZFtpDisplayUrl(slot, "/dir\\", true, location);
    EXPECT_EQ(location, "ftp://u@127.0.0.1/dir/");
    FZFtpDisplayUrl(slot, "/a.txt", false, location);
    EXPECT_EQ(location, "ftp://u@127.0.0.1/a.txt");
    FZFtpDisplayUrl(slot, "ftp://x@y/z", true, location);
    EXPECT_EQ(location, "ftp://x@y/z/");
    ASSERT_EQ(FZSetPath(slot, "ftp://u@127.0.0.1/d/a_1_b.txt"), 0);
    FZFtpRemotePathOfSlot(slot, location);
    EXPECT_EQ(location, "/d/a\\b.txt");
    FZFtpRemoteFolderOfSlot(slot, location);
    EXPECT_EQ(location, "/d/");
    FZClose(slot);
}

TEST_F(FtpAccess, OneTreeListsAlikeByListAndMlsdInEveryZone) {
    const qint64 t = makeTree(root_);
    // A name with a line end would smuggle a command into the next one.
    writeFile(root_ + "/cr\rname", "x");
    const QByteArray savedZone = qgetenv("TZ");
    const std::map<QString, std::tuple<quint32, qint64, FileTime>> expected = {
        {"a b.txt", {0, 5, utc(t)}},          {" lead.txt", {0, 1, utc(t)}},
        {"a_1_b.txt", {0, 3, utc(t)}},        {"sub", {FZAttrDirectory, 0, utc(t)}},
        {"tosub", {FZAttrDirectory, 0, utc(t)}},
        {"..", {FZAttrDirectory, 0, FZDateTimeToFileTime(QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC))}},
    };
    for (const char* zone : {"UTC", "Europe/Berlin"}) {
        // LIST in the server's local time (the same zone as ours), MLSD in UTC.
        for (bool mlsd : {false, true}) {
            SCOPED_TRACE(std::string(zone) + (mlsd ? " MLSD" : " LIST"));
            useZone(zone);
            LocalServer& server =
                serve(mlsd ? QStringList{} : QStringList{"--no-mlst", "--local-times"});
            int slot = FZNoSlot;
            ASSERT_EQ(open(at(server), "/", slot), 0) << qPrintable(FZLastMessage());
            TFZDDir listing;
            ASSERT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
            EXPECT_EQ(itemsOf(listing), expected);
            for (int i = 0; i < listing.Count; ++i)
                EXPECT_EQ(listing.Items[size_t(i)].Link, listing.Items[size_t(i)].Name == "tosub" && !mlsd);

            // The folder's time comes from its parent's listing.
            FileTime time = 0;
            quint32 attributes = 7;
            EXPECT_EQ(FZGetFtpFolderTime(slot, "ftp://u@127.0.0.1/sub", time, attributes), 0);
            EXPECT_EQ(time, utc(t));
            EXPECT_EQ(attributes, 0u);
            EXPECT_EQ(FZGetFtpFolderTime(slot, "ftp://u@127.0.0.1/none", time, attributes), 0);
            EXPECT_EQ(time, 0u);
            EXPECT_EQ(attributes, quint32(-1));

            // A name with "\\" is reached by its listed form.
            ASSERT_EQ(FZSetPath(slot, "ftp://u@127.0.0.1/sub/"), 0);
            ASSERT_EQ(FZListFtp(slot, listing), 0);
            EXPECT_EQ(itemsOf(listing).count("f.txt"), 1u);
            EXPECT_EQ(FZClose(slot), 0);
            servers_.clear();
        }
    }
    if (savedZone.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", savedZone);
    ::tzset();
}

TEST_F(FtpAccess, RemoteTotalsCountLikeTheLocalWalkAndNeverLoop) {
    makeTree(root_);
    QDir().mkpath(root_ + "/sub/deeper");
    writeFile(root_ + "/sub/deeper/g.txt", "12");
    ::symlink("../..", QFile::encodeName(root_ + "/sub/deeper/top").constData());
    TFZFolderTotals local;
    ASSERT_EQ(FZLocalFolderTotals(root_, local), 0);
    EXPECT_EQ(local.Files, 7);  // a b, lead, a\b, f, g, and f, g again through tosub
    for (bool mlsd : {false, true}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        LocalServer& server = serve(mlsd ? QStringList{} : QStringList{"--no-mlst"});
        int slot = FZNoSlot;
        ASSERT_EQ(open(at(server), "/", slot), 0);
        TFZFolderTotals remote;
        EXPECT_EQ(FZRemoteFolderTotals(slot, "ftp://u@127.0.0.1/", remote), 0);
        EXPECT_EQ(remote.Files, local.Files);
        EXPECT_EQ(remote.Folders, local.Folders);
        EXPECT_EQ(remote.Bytes, local.Bytes);
        FZClose(slot);
        servers_.clear();
    }
}

TEST_F(FtpAccess, ActiveAndPassiveListTheSameAndPassiveIgnoresTheNamedAddress) {
    writeFile(root_ + "/x.txt", "xx");
    LocalServer& server = serve({"--masquerade", "10.255.255.1"});
    for (const char* passive : {"1", "0"}) {
        SCOPED_TRACE(passive);
        Profile p = at(server);
        p.passive = passive;
        int slot = FZNoSlot;
        ASSERT_EQ(open(p, "/", slot), 0);
        TFZDDir listing;
        ASSERT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
        EXPECT_EQ(itemsOf(listing).count("x.txt"), 1u);
        FZClose(slot);
    }
    const QStringList sent = commands();
    EXPECT_TRUE(sent.contains("PASV"));
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](const QString& c) { return c.startsWith("PORT 127,0,0,1,"); }));
}

TEST_F(FtpAccess, ExplicitAndImplicitTlsProtectTheListing) {
    certificates();
    trustTestCa();
    writeFile(root_ + "/x.txt", "xx");
    for (bool implicit : {false, true}) {
        SCOPED_TRACE(implicit ? "implicit" : "explicit");
        LocalServer& server = serve(implicit ? tlsFlags_ + QStringList{"--implicit"} : tlsFlags_);
        Profile p = at(server);
        p.tls = implicit ? "1" : "3";
        p.protect = "1";
        for (const char* passive : {"1", "0"}) {
            p.passive = passive;
            int slot = FZNoSlot;
            ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
            EXPECT_TRUE(FZSlotSslUsed(slot));
            EXPECT_TRUE(FZLastMessage().isEmpty());
            TFZDDir listing;
            ASSERT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
            EXPECT_EQ(itemsOf(listing).count("x.txt"), 1u);
            FZClose(slot);
        }
    }
    const QStringList sent = commands();
    EXPECT_TRUE(sent.contains("AUTH TLS"));
    EXPECT_TRUE(sent.contains("PBSZ 0"));
    EXPECT_TRUE(sent.contains("PROT P"));
}

TEST_F(FtpAccess, TlsWhenOfferedFallsBackAndRequiredFails) {
    writeFile(root_ + "/x.txt", "xx");
    LocalServer& server = serve({});
    Profile p = at(server);
    p.tls = "2";
    int slot = FZNoSlot;
    ASSERT_EQ(open(p, "/", slot), 0);
    EXPECT_EQ(FZLastMessage(), "SSL/TLS not supported by remote host!\rUnprotected connection established.");
    TFZDDir listing;
    EXPECT_EQ(FZListFtp(slot, listing), 0);
    FZClose(slot);

    p.tls = "3";
    EXPECT_EQ(open(p, "/", slot), errInternet);
    EXPECT_TRUE(FZLastMessage().startsWith("5")) << qPrintable(FZLastMessage());
}

TEST_F(FtpAccess, UnknownCertificateIsAskedAboutOnceAndRefusedInBatchMode) {
    certificates();  // the test CA stays unknown
    LocalServer& server = serve(tlsFlags_);
    Profile p = at(server);
    p.tls = "3";
    p.protect = "1";
    int slot = FZNoSlot;
    // Headless, as in the batch mode: the question's default is No.
    EXPECT_EQ(open(p, "/", slot), errInternet);
    EXPECT_TRUE(FZLastMessage().startsWith("Certificate not trusted for 127.0.0.1"))
        << qPrintable(FZLastMessage());
    EXPECT_FALSE(commands().contains("USER u"));

    AnsweringSink yes(config::mrYes);
    config::setMessageSink(&yes);
    ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
    TFZDDir listing;
    EXPECT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
    FZClose(slot);
    EXPECT_EQ(yes.asked, 1);  // the data connection's certificate is the same one
}

TEST_F(FtpAccess, VsftpdListsOverTlsWithTheSessionResumedAndLinksResolved) {
    if (!QFile::exists("/usr/sbin/vsftpd")) GTEST_SKIP() << "vsftpd is not installed";
    certificates();
    trustTestCa();
    const qint64 t = makeTree(root_);
    // vsftpd lists in its local time, which is ours.
    const QByteArray savedZone = qgetenv("TZ");
    useZone("Europe/Berlin");
    // The server works as its test user, who must reach the tree.
    for (const QString& folder : {dir_->path(), root_, root_ + "/sub"})
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
    for (bool implicit : {false, true}) {
        SCOPED_TRACE(implicit ? "implicit" : "explicit");
        Vsftpd server(dir_->path(), root_, dir_->path() + "/ftp.pem", dir_->path() + "/ftp.key",
                      implicit);
        ASSERT_GT(server.port(), 0);
        Profile p;
        p.port = QString::number(server.port());
        p.user = "tdxftp";
        p.password = "tdxftp-test";
        p.tls = implicit ? "1" : "3";
        p.protect = "1";
        for (const char* passive : {"1", "0"}) {
            SCOPED_TRACE(passive);
            p.passive = passive;
            int slot = FZNoSlot;
            ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
            TFZDDir listing;
            ASSERT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
            const auto items = itemsOf(listing);
            EXPECT_EQ(items.count("a_1_b.txt"), 1u);
            if (items.count("a b.txt")) {
                EXPECT_EQ(std::get<2>(items.at("a b.txt")), utc(t));
            }
            EXPECT_EQ(items.count("tosub"), 1u);
            if (items.count("tosub")) {
                EXPECT_EQ(std::get<0>(items.at("tosub")), FZAttrDirectory);
            }
            // A second data connection resumes the session once more.
            TFZFolderTotals totals;
            EXPECT_EQ(FZRemoteFolderTotals(slot, "ftp://tdxftp@127.0.0.1/", totals), 0);
            TFZFolderTotals local;
            ASSERT_EQ(FZLocalFolderTotals(root_, local), 0);
            EXPECT_EQ(totals.Files, local.Files);
            EXPECT_EQ(totals.Folders, local.Folders);
            EXPECT_EQ(totals.Bytes, local.Bytes);
            FZClose(slot);
        }
    }
    if (savedZone.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", savedZone);
    ::tzset();
}
