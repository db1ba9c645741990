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
