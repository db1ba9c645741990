#include "access/ftp_access.h"

#include "access/access_slots.h"
#include "access/backups.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/folder_totals.h"
#include "access/ftp_hooks.h"
#include "access/ftp_proxy.h"
#include "access/http_requests.h"
#include "access/program_log.h"
#include "access/password_prompt.h"
#include "access/text_files.h"
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
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <vector>

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
    QString setRts = "1";
    QString utime3 = "0";

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
        f[14] = setRts;
        f[15] = utime3;
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
        SetPasswordPromptHook([this](const QString& caption) {
            prompts << caption;
            TPasswordAnswer answer;
            answer.cancelled = promptAnswer.isEmpty();
            if (!answer.cancelled) answer.scrambled = config::ScrambleText(promptAnswer);
            return answer;
        });
    }
    void TearDown() override {
        FZSetFtpSiteHooks({}, {});
        SetPasswordPromptHook({});
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

// ---- proxies ------------------------------------------------------------------

namespace {

// The proxy settings for one test, switched off again at its end.
struct ProxySettings {
    ProxySettings(int kind, bool same, int port, const QString& user, const QString& password) {
        auto& s = config::AppSettings();
        s.ProxyEnable = true;
        s.ProxyFtpType = kind;
        s.ProxyIsSame = same;
        (same || kind == fpcmHttpConnect ? s.ProxyHttpServer : s.ProxyFtpServer) = "127.0.0.1";
        (same || kind == fpcmHttpConnect ? s.ProxyHttpPort : s.ProxyFtpPort) = port;
        (same || kind == fpcmHttpConnect ? s.ProxyHttpUser : s.ProxyFtpUser) = user;
        (same || kind == fpcmHttpConnect ? s.ProxyHttpPW : s.ProxyFtpPW) = config::ScrambleText(password);
    }
    ~ProxySettings() {
        auto& s = config::AppSettings();
        s.ProxyEnable = false;
        s.ProxyIsSame = true;
        s.ProxyFtpType = 0;
        s.ProxyHttpServer = s.ProxyFtpServer = s.ProxyHttpUser = s.ProxyFtpUser = s.ProxyHttpPW =
            s.ProxyFtpPW = QString();
    }
};

QStringList linesIn(const QString& name) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

TEST_F(FtpAccess, EveryProxyKindLogsInWithItsLinesAndLists) {
    writeFile(root_ + "/x.txt", "12");
    LocalServer& server = serve({});
    const QString log = dir_->path() + "/proxy.log";
    const QString programLog = dir_->path() + "/TDXLog.txt";
    FZSetLogFile(programLog);
    for (int kind = fpcmUserSite; kind <= fpcmNovellBorder; ++kind) {
        for (const QString proxyUser : {"pu", ""}) {
            SCOPED_TRACE(QString("kind %1, proxy user '%2'").arg(kind).arg(proxyUser).toStdString());
            QFile::remove(log);
            LocalServer front("/usr/bin/python3",
                              {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_proxy_front.py", "--kind",
                               QString::number(kind), "--target", QString::number(server.port()),
                               "--proxy-user", proxyUser, "--log", log});
            ASSERT_GT(front.port(), 0);
            // The HTTP proxy's credentials stand in for the FTP proxy's
            // with the same-proxy setting.
            const bool same = kind % 2 == 1;
            ProxySettings proxy(kind, same, front.port(), proxyUser, "pp");
            Profile p = at(server);
            // A transparent proxy sits where the site is.
            if (kind == fpcmTransparent) p.port = QString::number(front.port());
            int slot = FZNoSlot;
            ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
            TFZDDir listing;
            EXPECT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
            EXPECT_EQ(itemsOf(listing).count("x.txt"), 1u);
            EXPECT_EQ(FZClose(slot), 0);

            TFtpProxy expected;
            expected.kind = kind;
            expected.user = proxyUser;
            expected.password = "pp";
            QStringList wanted;
            for (const TFtpLoginLine& line :
                 FZFtpLoginLines(expected, "127.0.0.1", quint16(p.port.toInt()), "u", "p"))
                wanted << line.command;
            const QStringList sent = linesIn(log);
            EXPECT_EQ(sent.mid(0, wanted.size()), wanted);
            EXPECT_TRUE(sent.contains("TYPE I"));
            EXPECT_EQ(sent.value(sent.size() - 1), "QUIT");
        }
    }
    FZSetLogFile(QString());
    const QString logged = linesIn(programLog).join('\n');
    EXPECT_FALSE(logged.contains("PASS") || logged.contains("pp")) << qPrintable(logged);
}

TEST_F(FtpAccess, ARefusedProxyLineEndsTheConnectWithItsReply) {
    LocalServer& server = serve({});
    const QString log = dir_->path() + "/proxy.log";
    LocalServer front("/usr/bin/python3",
                      {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_proxy_front.py", "--kind", "1",
                       "--target", QString::number(server.port()), "--proxy-user", "pu", "--log", log,
                       "--refuse", "SITE"});
    ProxySettings proxy(fpcmSite, false, front.port(), "pu", "pp");
    int slot = FZNoSlot;
    EXPECT_EQ(open(at(server), "/", slot), errInternet);
    EXPECT_EQ(FZLastMessage(), "500 SITE not allowed here.");
    EXPECT_EQ(slot, FZNoSlot);
    // Nothing after the refused line, the site's password least of all.
    EXPECT_EQ(linesIn(log).value(linesIn(log).size() - 1), "SITE 127.0.0.1:" + at(server).port);
    EXPECT_FALSE(linesIn(log).contains("PASS p"));
}

TEST_F(FtpAccess, WithTheProxyOffNothingReachesIt) {
    LocalServer& server = serve({});
    const QString log = dir_->path() + "/proxy.log";
    LocalServer front("/usr/bin/python3",
                      {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_proxy_front.py", "--kind", "0",
                       "--target", QString::number(server.port()), "--log", log});
    ProxySettings proxy(fpcmUserSite, false, front.port(), "pu", "pp");
    config::AppSettings().ProxyEnable = false;
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/", slot), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_TRUE(linesIn(log).isEmpty());
    EXPECT_TRUE(commands().contains("USER u"));
}

TEST_F(FtpAccess, TheConnectTunnelCarriesEveryConnectionPassiveAndWithTls) {
    writeFile(root_ + "/x.txt", "12");
    certificates();
    trustTestCa();
    TinyProxy tinyproxy(dir_->path(), true);
    ASSERT_GT(tinyproxy.port(), 0);
    // Without TLS, in active mode, which the tunnel turns passive; then
    // with explicit TLS on both connections.
    LocalServer& plain = serve({});
    LocalServer& tls = serve(tlsFlags_);
    struct Case {
        LocalServer& server;
        const char* tls;
        const char* passive;
    };
    for (const Case& c : {Case{plain, "0", "0"}, Case{tls, "3", "1"}}) {
        SCOPED_TRACE(c.tls);
        ProxySettings proxy(fpcmHttpConnect, false, tinyproxy.port(), "u", "p");
        Profile p = at(c.server);
        p.tls = c.tls;
        p.protect = c.tls;
        p.passive = c.passive;
        int slot = FZNoSlot;
        ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
        EXPECT_EQ(FZSlotSslUsed(slot), p.tls != "0");
        for (int i = 0; i < 2; ++i) {
            TFZDDir listing;
            EXPECT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
            EXPECT_EQ(itemsOf(listing).count("x.txt"), 1u);
        }
        EXPECT_EQ(FZClose(slot), 0);
        EXPECT_FALSE(commands().contains("PORT"));
    }
    QFile log(dir_->path() + "/tinyproxy.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    // One tunnel for each control connection and one per listing.
    EXPECT_EQ(text.count("Established connection to host"), 6);
    for (const LocalServer* server : {&plain, &tls})
        EXPECT_EQ(text.count(QString("opening connection to 127.0.0.1:%1\n").arg(server->port())), 1);
}

TEST_F(FtpAccess, TheTunnelCarriesImplicitTlsToVsftpd) {
    if (!QFile::exists("/usr/sbin/vsftpd")) GTEST_SKIP() << "vsftpd is not installed";
    writeFile(root_ + "/x.txt", "12");
    certificates();
    trustTestCa();
    for (const QString& folder : {dir_->path(), root_})
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
    Vsftpd vsftpd(dir_->path(), root_, dir_->path() + "/ftp.pem", dir_->path() + "/ftp.key", true);
    ASSERT_GT(vsftpd.port(), 0);
    TinyProxy tinyproxy(dir_->path(), true);
    ASSERT_GT(tinyproxy.port(), 0);
    ProxySettings proxy(fpcmHttpConnect, false, tinyproxy.port(), "u", "p");
    Profile p;
    p.port = QString::number(vsftpd.port());
    p.user = "tdxftp";
    p.password = "tdxftp-test";
    p.tls = "1";
    p.protect = "1";
    int slot = FZNoSlot;
    ASSERT_EQ(open(p, "/", slot), 0) << qPrintable(FZLastMessage());
    TFZDDir listing;
    EXPECT_EQ(FZListFtp(slot, listing), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(itemsOf(listing).count("x.txt"), 1u);
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(FtpAccess, AWrongTunnelPasswordEndsWithTheProxysStatusLine) {
    TinyProxy tinyproxy(dir_->path(), true);
    ASSERT_GT(tinyproxy.port(), 0);
    LocalServer& server = serve({});
    ProxySettings proxy(fpcmHttpConnect, false, tinyproxy.port(), "u", "wrong");
    int slot = FZNoSlot;
    EXPECT_EQ(open(at(server), "/", slot), errInternet);
    // tinyproxy refuses a wrong password with 401 rather than 407.
    EXPECT_TRUE(QRegularExpression("^HTTP/1\\.[01] 40[17] ").match(FZLastMessage()).hasMatch())
        << qPrintable(FZLastMessage());
    EXPECT_TRUE(commands().isEmpty());
}

// ---- file transfers ---------------------------------------------------------

namespace {

QByteArray binaryOf(qint64 size) {
    QByteArray data(qsizetype(size), '\0');
    quint32 x = 2463534242u;
    for (char& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return data;
}

QByteArray streamOf(int slot) {
    TFZMemStream* stream = FZSlotStream(slot);
    if (!stream) return {};
    QByteArray data(qsizetype(stream->size()), '\0');
    stream->seek(0);
    stream->read(data.data(), data.size());
    return data;
}

// Writes data to the slot's path and reads it back through the server.
void roundTrip(int slot, const QString& path, const QByteArray& data) {
    ASSERT_EQ(FZSetPath(slot, path), 0);
    ASSERT_EQ(FZOpenFile(slot, twWriteAccess), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, data.constData(), data.size(), done), 0);
    ASSERT_EQ(FZCloseFile(slot), 0) << qPrintable(FZLastMessage());
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0) << qPrintable(FZLastMessage());
    EXPECT_TRUE(streamOf(slot) == data) << qPrintable(path);
    ASSERT_EQ(FZCloseFile(slot), 0);
}

QByteArray fileOf(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST_F(FtpAccess, FilesTravelWholeBothWaysPlainAndProtected) {
    certificates();
    trustTestCa();
    for (bool protect : {false, true}) {
        SCOPED_TRACE(protect ? "PROT P" : "plain");
        LocalServer& server = serve(protect ? tlsFlags_ : QStringList{});
        Profile p = at(server);
        if (protect) {
            p.tls = "3";
            p.protect = "1";
        }
        int slot = FZNoSlot;
        ASSERT_EQ(open(p, "/f0", slot), 0) << qPrintable(FZLastMessage());
        for (qint64 size : {qint64(0), qint64(1), qint64(3) << 20}) {
            const QByteArray data = binaryOf(size);
            const QString name = QString("/f%1").arg(size);
            roundTrip(slot, name, data);
            EXPECT_TRUE(fileOf(root_ + name) == data) << size;
        }
        FZClose(slot);
    }
    // Every file of a slot went over the connection it logged in with.
    EXPECT_EQ(commands().filter(QRegularExpression("^USER ")).size(), 2);
    EXPECT_EQ(commands().filter(QRegularExpression("^STOR ")).size(), 6);
}

// An upload goes to a fresh name beside its target and replaces it only
// when whole; a line cut half-way leaves the target's bytes as they were
// and no partial file behind.
TEST_F(FtpAccess, AnUploadReplacesItsTargetOnlyWhenWhole) {
    const QByteArray old = "the target as it was\n";
    const QByteArray data = binaryOf(qint64(1) << 20);
    struct Case {
        const char* name;
        QStringList flags;
        bool targetExists;
        bool whole;
    } cases[] = {
        {"replaced by rename", {}, true, true},
        {"a new file", {}, false, true},
        {"the server renames onto no file: the target goes just before", {"--no-replace"}, true, true},
        {"a new file on such a server", {"--no-replace"}, false, true},
        {"the data connection breaks half-way", {"--cut-store", "300000"}, true, false},
        {"a new file breaks half-way", {"--cut-store", "300000"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(root_ + "/t.bin");
        QFile::remove(dir_->path() + "/commands.log");
        if (c.targetExists) writeFile(root_ + "/t.bin", old);
        LocalServer& server = serve(c.flags);
        int slot = FZNoSlot;
        ASSERT_EQ(open(at(server), "/t.bin", slot), 0) << qPrintable(FZLastMessage());
        ASSERT_EQ(FZOpenFile(slot, twWriteAccess), 0);
        qint64 done = 0;
        ASSERT_EQ(FZWrite(slot, data.constData(), data.size(), done), 0);
        const int closed = FZCloseFile(slot);
        if (c.whole) {
            EXPECT_EQ(closed, 0) << qPrintable(FZLastMessage());
            EXPECT_TRUE(fileOf(root_ + "/t.bin") == data);
        } else {
            EXPECT_EQ(closed, errInternet);
            EXPECT_TRUE(FZLastMessage().startsWith("426")) << qPrintable(FZLastMessage());
            EXPECT_EQ(fileOf(root_ + "/t.bin"), c.targetExists ? old : QByteArray("<missing>"));
            // The connection serves on.
            EXPECT_EQ(FZExists(slot), c.targetExists ? 0 : errInternet);
        }
        FZClose(slot);
        const QStringList left = c.targetExists || c.whole ? QStringList{"t.bin"} : QStringList{};
        EXPECT_EQ(QDir(root_).entryList(QDir::Files | QDir::Hidden), left);
        const QStringList sent = commands();
        EXPECT_TRUE(sent.filter(QRegularExpression("^STOR /t.bin")).isEmpty());
        EXPECT_EQ(sent.filter(QRegularExpression("^STOR /\\.~tdx\\w{6}$")).size(), 1);
        if (c.whole) {
            EXPECT_TRUE(sent.contains("RNTO /t.bin"));
        }
        const bool deletes = c.whole && c.targetExists && c.flags.contains("--no-replace");
        EXPECT_EQ(sent.contains("DELE /t.bin"), deletes);
    }
}

TEST_F(FtpAccess, VsftpdStoresAndReturnsFilesOverTls) {
    if (!QFile::exists("/usr/sbin/vsftpd")) GTEST_SKIP() << "vsftpd is not installed";
    certificates();
    trustTestCa();
    // vsftpd refuses a writable root, so its test user writes into a
    // folder of its own.
    QDir().mkpath(root_ + "/up");
    for (const QString& folder : {dir_->path(), root_})
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
    QFile::setPermissions(root_ + "/up", QFile::Permissions(0x7777));
    Vsftpd server(dir_->path(), root_, dir_->path() + "/ftp.pem", dir_->path() + "/ftp.key", false);
    ASSERT_GT(server.port(), 0);
    Profile p;
    p.port = QString::number(server.port());
    p.user = "tdxftp";
    p.password = "tdxftp-test";
    p.tls = "3";
    p.protect = "1";
    int slot = FZNoSlot;
    ASSERT_EQ(open(p, "/up/v0", slot), 0) << qPrintable(FZLastMessage());
    for (qint64 size : {qint64(0), qint64(1), qint64(3) << 20}) {
        const QByteArray data = binaryOf(size);
        const QString name = QString("/up/v%1").arg(size);
        roundTrip(slot, name, data);
        EXPECT_TRUE(fileOf(root_ + name) == data) << size;
    }
    FZClose(slot);
}

TEST_F(FtpAccess, KindDetectionReadsTheStartOnlyAndTheConnectionServesOn) {
    QByteArray text;
    while (text.size() < (4 << 20)) text += "a line of plain text for the detection\n";
    writeFile(root_ + "/big.txt", text);
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/big.txt", slot), 0);
    int kind = 0, byRule = 0;
    ASSERT_EQ(FZDetectFileKind(slot, kind, byRule), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(kind, fkAnsi);
    const qint64 held = FZSlotStream(slot) ? FZSlotStream(slot)->size() : -1;
    EXPECT_GE(held, 8192);
    EXPECT_LE(held, 40960);
    EXPECT_TRUE(commands().contains("ABOR"));
    ASSERT_EQ(FZCloseFile(slot), 0);
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0) << qPrintable(FZLastMessage());
    EXPECT_TRUE(streamOf(slot) == text);
    FZClose(slot);
    EXPECT_EQ(commands().filter(QRegularExpression("^USER ")).size(), 1);
}

TEST_F(FtpAccess, AnAbortedDownloadFailsInsteadOfPassingForTheFile) {
    writeFile(root_ + "/big.bin", binaryOf(qint64(4) << 20));
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/big.bin", slot), 0);
    FZAbortFtpTransfer(slot);  // the polite stop, as from another thread
    EXPECT_EQ(FZOpenFile(slot, twReadAccess), errUserAborted);
    ASSERT_EQ(FZCloseFile(slot), 0);
    // The connection still serves.
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(streamOf(slot).size(), 4 << 20);
    ASSERT_EQ(FZCloseFile(slot), 0);
    FZAbortAll();
    EXPECT_EQ(FZOpenFile(slot, twReadAccess), errUserAborted);
    FZClose(slot);
}

TEST_F(FtpAccess, ABrokenDownloadResumesBehindTheBytesItHas) {
    const QByteArray data = binaryOf(qint64(1) << 20);
    writeFile(root_ + "/big.bin", data);
    {
        LocalServer& server = serve({"--cut", "100000"});
        int slot = FZNoSlot;
        ASSERT_EQ(open(at(server), "/big.bin", slot), 0);
        ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0) << qPrintable(FZLastMessage());
        EXPECT_TRUE(streamOf(slot) == data);
        FZClose(slot);
        EXPECT_TRUE(commands().contains("REST 100000"));
        EXPECT_EQ(commands().filter(QRegularExpression("^RETR ")).size(), 2);
    }
    // A server that will not resume leaves the broken transfer's failure.
    LocalServer& server = serve({"--cut", "100000", "--answer", "REST:502 No resume here."});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/big.bin", slot), 0);
    EXPECT_EQ(FZOpenFile(slot, twReadAccess), errInternet);
    EXPECT_TRUE(FZLastMessage().startsWith("426")) << qPrintable(FZLastMessage());
    EXPECT_EQ(FZSlotStream(slot), nullptr);
    FZClose(slot);
}

// ---- progress hooks ---------------------------------------------------------

namespace {

// What a progress hook saw: every count with the time it came.
struct HookLog {
    std::vector<qint64> counts;
    std::vector<std::chrono::steady_clock::time_point> times;
    std::vector<qint64> deltas;
    void note(qint64 bytes) {
        counts.push_back(bytes);
        times.push_back(std::chrono::steady_clock::now());
        deltas.push_back(FZTransferDelta());
    }
};

struct DropHooks {
    ~DropHooks() {
        FZSetFtpReadProgressHook(nullptr);
        FZSetFtpWriteProgressHook(nullptr);
    }
};

}  // namespace

TEST_F(FtpAccess, ProgressHooksCountEachFileAtMostEvery50MsAndGoWithTheirSlot) {
    DropHooks drop;
    const QByteArray data = binaryOf(qint64(3) << 20);
    LocalServer& server = serve({});
    HookLog reads, writes;
    FZSetFtpReadProgressHook([&](qint64 bytes) { reads.note(bytes); });
    FZSetFtpWriteProgressHook([&](qint64 bytes) { writes.note(bytes); });

    int writer = FZNoSlot;
    ASSERT_EQ(open(at(server), "/up.bin", writer), 0);
    ASSERT_EQ(FZOpenFile(writer, twWriteAccess), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(writer, data.constData(), data.size(), done), 0);
    ASSERT_EQ(FZCloseFile(writer), 0) << qPrintable(FZLastMessage());
    ASSERT_FALSE(writes.counts.empty());
    EXPECT_EQ(writes.counts.back(), data.size());
    // Each upload report leaves the bytes since the one before.
    qint64 sum = 0;
    for (qint64 delta : writes.deltas) sum += delta;
    EXPECT_EQ(sum, data.size());
    EXPECT_TRUE(reads.counts.empty());

    int reader = FZNoSlot;
    ASSERT_EQ(open(at(server), "/up.bin", reader), 0);
    ASSERT_EQ(FZOpenFile(reader, twReadAccess), 0) << qPrintable(FZLastMessage());
    ASSERT_FALSE(reads.counts.empty());
    EXPECT_EQ(reads.counts.back(), data.size());
    for (size_t i = 1; i < reads.counts.size(); ++i) {
        EXPECT_GT(reads.counts[i], reads.counts[i - 1]);
        // Only the closing count may follow the one before at once.
        if (i + 1 < reads.counts.size()) {
            EXPECT_GE(reads.times[i] - reads.times[i - 1], std::chrono::milliseconds(40));
        }
    }

    // Closing the slot that uploaded drops the write hook only.
    const size_t readCount = reads.counts.size(), writeCount = writes.counts.size();
    FZClose(writer);
    ASSERT_EQ(FZOpenFile(reader, twWriteAccess), 0);
    ASSERT_EQ(FZWrite(reader, "abc", 3, done), 0);
    ASSERT_EQ(FZCloseFile(reader), 0);
    EXPECT_EQ(writes.counts.size(), writeCount);
    ASSERT_EQ(FZOpenFile(reader, twReadAccess), 0);
    EXPECT_EQ(reads.counts.size(), readCount + 1);
    EXPECT_EQ(reads.counts.back(), 3);
    FZClose(reader);
    int again = FZNoSlot;
    ASSERT_EQ(open(at(server), "/up.bin", again), 0);
    ASSERT_EQ(FZOpenFile(again, twReadAccess), 0);
    EXPECT_EQ(reads.counts.size(), readCount + 1);
    FZClose(again);
}

TEST_F(FtpAccess, AThrottledTransferStopsFromItsProgressHook) {
    DropHooks drop;
    const QByteArray data = binaryOf(qint64(4) << 20);
    writeFile(root_ + "/big.bin", data);
    LocalServer& server = serve({"--throttle", "262144"});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/big.bin", slot), 0);

    struct Case {
        const char* name;
        std::function<void()> stop;
        bool connectionServes;
    };
    const Case cases[] = {
        {"abort all", [] { FZAbortAll(); }, true},
        {"one transfer abort", [slot] { FZAbortFtpTransfer(slot); }, true},
        {"transfer abort twice", [slot] { FZAbortFtpTransfer(slot), FZAbortFtpTransfer(slot); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qint64 seen = -1;
        FZSetFtpReadProgressHook([&](qint64 bytes) {
            if (seen < 0) c.stop();
            seen = bytes;
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FZOpenFile(slot, twReadAccess), errUserAborted);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_GT(seen, 0);
        EXPECT_LT(seen, data.size());
        EXPECT_EQ(FZSlotStream(slot), nullptr);
        FZResetAbort();
        FZSetFtpReadProgressHook(nullptr);
        // The next command either goes through on the same login or finds
        // the connection gone.
        EXPECT_EQ(FZExists(slot) == 0, c.connectionServes) << qPrintable(FZLastMessage());
    }
    FZClose(slot);
    EXPECT_EQ(commands().filter(QRegularExpression("^USER ")).size(), 1);
    EXPECT_EQ(commands().filter(QRegularExpression("^ABOR")).size(), 2);

    // An upload stopped from its hook leaves the connection serving too.
    // The socket buffers take megabytes before the first report, so the
    // upload is larger than they are.
    const QByteArray upload = binaryOf(qint64(32) << 20);
    ASSERT_EQ(open(at(server), "/up.bin", slot), 0);
    FZSetFtpWriteProgressHook([](qint64) { FZAbortAll(); });
    ASSERT_EQ(FZOpenFile(slot, twWriteAccess), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, upload.constData(), upload.size(), done), 0);
    EXPECT_EQ(FZCloseFile(slot), errUserAborted);
    FZResetAbort();
    // Nothing of the stopped upload stays on the server.
    EXPECT_EQ(QDir(root_).entryList(QDir::Files | QDir::Hidden), QStringList{"big.bin"});
    ASSERT_EQ(FZSetPath(slot, "/big.bin"), 0);
    EXPECT_EQ(FZExists(slot), 0) << qPrintable(FZLastMessage());
    FZClose(slot);
}

TEST_F(FtpAccess, OperationsMapToTheirCommands) {
    QDir().mkpath(root_ + "/d");
    writeFile(root_ + "/d/f.txt", "12345");
    setTime(root_ + "/d/f.txt", 1700000000);
    writeFile(root_ + "/t.txt", "target");
    ::symlink("t.txt", QFile::encodeName(root_ + "/link").constData());
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/d/f.txt", slot), 0);
    EXPECT_EQ(FZExists(slot), 0);
    qint64 size = 0;
    TFZFileInfo info;
    ASSERT_EQ(FZGetFileTime(slot, size, info), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(size, 5);
    EXPECT_EQ(info.LastWriteTime, utc(1700000000));
    EXPECT_EQ(info.CreationTime, utc(1700000000));

    ASSERT_EQ(FZSetPath(slot, "/d/missing.txt"), 0);
    EXPECT_EQ(FZExists(slot), errInternet);
    EXPECT_TRUE(FZLastMessage().startsWith("550")) << qPrintable(FZLastMessage());
    ASSERT_EQ(FZSetPath(slot, "/nowhere/x.txt"), 0);
    EXPECT_EQ(FZCheckLocation(slot), errPathNotFound);

    ASSERT_EQ(FZSetPath(slot, "/a/b/c/x.txt"), 0);
    ASSERT_EQ(FZMakeFolder(slot), 0) << qPrintable(FZLastMessage());
    EXPECT_TRUE(QFileInfo(root_ + "/a/b/c").isDir());
    EXPECT_EQ(FZCheckLocation(slot), 0);

    ASSERT_EQ(FZSetPath(slot, "/d/f.txt"), 0);
    ASSERT_EQ(FZRename(slot, "ftp://u@127.0.0.1/d/g.txt"), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(fileOf(root_ + "/d/g.txt"), "12345");
    ASSERT_EQ(FZSetPath(slot, "/d/g.txt"), 0);
    ASSERT_EQ(FZDelete(slot, false), 0);
    EXPECT_FALSE(QFile::exists(root_ + "/d/g.txt"));
    ASSERT_EQ(FZSetPath(slot, "/d/"), 0);
    ASSERT_EQ(FZRemoveFolder(slot), 0) << qPrintable(FZLastMessage());
    EXPECT_FALSE(QFileInfo::exists(root_ + "/d"));

    // Deleting a link removes the link, never where it leads.
    ASSERT_EQ(FZSetPath(slot, "/link"), 0);
    ASSERT_EQ(FZDelete(slot, false), 0) << qPrintable(FZLastMessage());
    EXPECT_FALSE(QFileInfo(root_ + "/link").isSymLink());
    EXPECT_EQ(fileOf(root_ + "/t.txt"), "target");
    // Servers keep no attributes: nothing to read, nothing sent.
    const int sent = commands().size();
    quint32 attributes = 99;
    EXPECT_EQ(FZGetAttributes(slot, attributes), 0);
    EXPECT_EQ(attributes, 0u);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrReadOnly), 0);
    EXPECT_EQ(commands().size(), sent);
    FZClose(slot);
}

TEST_F(FtpAccess, ModTimeTakesTheCommandTheServerAnnounces) {
    const QByteArray savedZone = qgetenv("TZ");
    useZone("Europe/Berlin");
    const qint64 t = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC).toSecsSinceEpoch();
    struct Case {
        QStringList flags;
        QString utime3;
        FileTime time;
        QString sent;  // the last command; empty: none after login
        int result;
    };
    const FileTime ms250 = utc(t) + 2500000;
    const std::vector<Case> cases = {
        {{"--feat", "MFMT", "--answer", "MFMT:213 ok"}, "0", utc(t), "MFMT 20240102030405 /f", 0},
        {{"--feat", "MFMT", "--answer", "MFMT:213 ok"}, "0", ms250, "MFMT 20240102030405.250 /f", 0},
        {{"--feat", "MDTM YYYYMMDDHHMMSS[+-TZ];filename", "--answer", "MDTM:213 ok"}, "0", utc(t),
         "MDTM 20240102030405 /f", 0},
        {{"--feat", "MDTM YYYYMMDDHHMMSS[+-TZ] filename", "--answer", "MDTM:213 ok"}, "0", utc(t),
         "MDTM 20240102040405+60 /f", 0},
        {{"--feat", "UTIME", "--answer", "SITE:200 ok"}, "1", utc(t),
         "SITE UTIME /f 20240102030405 20240102030405 20240102030405 UTC", 0},
        {{"--feat", "UTIME", "--answer", "SITE:200 ok"}, "0", utc(t), "SITE UTIME /f 20240102030405 UTC", 0},
        {{"--feat", "", "--answer", "MDTM:253 ok"}, "0", utc(t), "MDTM 20240102040405 /f", 0},
        {{"--feat", "MFMT", "--answer", "MFMT:500 no"}, "0", utc(t), "MFMT 20240102030405 /f", errInternet},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.sent));
        QFile::remove(dir_->path() + "/commands.log");
        LocalServer& server = serve(c.flags);
        Profile p = at(server);
        p.utime3 = c.utime3;
        int slot = FZNoSlot;
        ASSERT_EQ(open(p, "/f", slot), 0) << qPrintable(FZLastMessage());
        EXPECT_EQ(FZSetFileTime(slot, 0, 0, c.time), c.result);
        EXPECT_EQ(commands().last(), c.sent);
        FZClose(slot);
        servers_.clear();
    }
    if (savedZone.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", savedZone);
    ::tzset();
}

TEST_F(FtpAccess, ModTimeIsSentOnlyWhenTheProfileAsksAndMovesTheFile) {
    writeFile(root_ + "/f", "x");
    LocalServer& server = serve({});
    Profile p = at(server);
    p.setRts = "0";
    int slot = FZNoSlot;
    ASSERT_EQ(open(p, "/f", slot), 0);
    const int before = int(commands().size());
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, utc(1600000000)), 0);
    EXPECT_EQ(int(commands().size()), before);
    FZClose(slot);
    p.setRts = "1";
    ASSERT_EQ(open(p, "/f", slot), 0);
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, utc(1600000000)), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(QFileInfo(root_ + "/f").lastModified().toSecsSinceEpoch(), 1600000000);
    FZClose(slot);
}

TEST_F(FtpAccess, BackupsOfServerFilesMoveOnTheServerOrComeDown) {
    auto& settings = config::AppSettings();
    const config::TAppSettings saved = settings;
    writeFile(root_ + "/f.txt", "now");
    for (int digit = 1; digit <= 9; ++digit)
        writeFile(root_ + QString("/f.txt.~%1~").arg(digit), QByteArray::number(digit));
    LocalServer& server = serve({});
    int slot = FZNoSlot;
    ASSERT_EQ(open(at(server), "/f.txt", slot), 0);

    settings.BKBeforeSave = true;
    settings.BKUseSequence = true;
    settings.BKFTPEnable = false;
    EXPECT_EQ(FZMakeBackup(slot, nullptr, nullptr, config::AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(fileOf(root_ + "/f.txt"), "now");
    EXPECT_EQ(fileOf(root_ + "/f.txt.~1~"), "1");

    settings.BKFTPEnable = true;
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, config::AppSettings().BKBeforeSave), 0) << qPrintable(FZLastMessage());
    EXPECT_FALSE(QFile::exists(root_ + "/f.txt"));
    EXPECT_EQ(fileOf(root_ + "/f.txt.~1~"), "now");
    for (int digit = 2; digit <= 9; ++digit)
        EXPECT_EQ(fileOf(root_ + QString("/f.txt.~%1~").arg(digit)), QByteArray::number(digit - 1));
    EXPECT_EQ(FZSlotAccessKind(slot), akFtp);

    writeFile(root_ + "/f.txt", "newer");
    const QString folder = dir_->path() + "/backups";
    QDir().mkpath(folder);
    settings.BKUseFTPFolder = true;
    settings.BKFTPFolder = folder;
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, config::AppSettings().BKBeforeSave), 0) << qPrintable(FZLastMessage());
    EXPECT_EQ(fileOf(folder + "/f.txt.~1~"), "newer");
    EXPECT_EQ(fileOf(root_ + "/f.txt"), "newer");
    FZClose(slot);
    settings = saved;
}
