#pragma once
// The update tests' server: tests/access/web_server.py over HTTPS on
// 127.0.0.1 with a test CA the access layer trusts, serving a temporary
// folder whose "Downloads" the update asks; every request goes to a log.
// The program runs as version 2.3.6.251 with a writable root of its own,
// and TANDEX_UPDATE_URL names the server (a path prefix chooses its
// behaviour: "/redirect", "/error500", "/nolength", "/slow").

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <memory>

#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "tests/access/local_servers.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/print/online_update.h"

namespace tandex::testing {

class UpdateServerFixture : public MainWindowFixture {
protected:
    static void SetUpTestSuite() {
        serverDir_ = std::make_unique<QTemporaryDir>();
        const QString dir = serverDir_->path();
        ASSERT_TRUE(MakeCertificates(dir, "update"));
        access::FZAddCaCertificates(QSslCertificate::fromPath(dir + "/update-ca.pem"));
        QDir().mkpath(dir + "/root/Downloads/beta");
        http_ = std::make_unique<LocalServer>(
            "/usr/bin/python3", WebPeer({"files", dir + "/root", "--log", dir + "/requests.log"}));
        ASSERT_GT(http_->port(), 0);
        https_ = std::make_unique<LocalServer>(
            "/usr/bin/python3", WebPeer({"files", dir + "/root", "--cert", dir + "/update.pem", "--key",
                                         dir + "/update.key", "--log", dir + "/requests.log"}));
        ASSERT_GT(https_->port(), 0);
    }
    static void TearDownTestSuite() {
        https_.reset();
        http_.reset();
        serverDir_.reset();
    }

    void SetUp() override {
        MainWindowFixture::SetUp();
        QDir(downloads()).removeRecursively();
        QDir().mkpath(downloads() + "beta");
        clearRequests();
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        QDir().mkpath(config::PrgDir().GetProgramFolder());
        config::CurrentVersion() = QStringLiteral("2.3.6.251");
        useServer();
        auto& u = print::F_Update();
        u.AppName = u.AppTitle = QStringLiteral("Tandex");
        u.Initialized = true;
    }
    void TearDown() override {
        qunsetenv("TANDEX_UPDATE_URL");
        config::CurrentVersion() = config::GetProgramVersion();
        auto& u = print::F_Update();
        u.Window = nullptr;
        u.UpdateAbort = false;
        u.HiddenCheck = false;
        u.BetaAvailable = false;
        u.FileVersion = config::GetFileVersionText;
        MainWindowFixture::TearDown();
    }

    // Points the update at the server, behind a behaviour's prefix.
    static void useServer(const QString& prefix = QString()) {
        qputenv("TANDEX_UPDATE_URL", QString("https://127.0.0.1:%1%2").arg(https_->port()).arg(prefix).toUtf8());
    }
    // The same files over plain HTTP.
    static void usePlainServer() {
        qputenv("TANDEX_UPDATE_URL", QString("http://127.0.0.1:%1").arg(http_->port()).toUtf8());
    }
    static QString downloads() { return serverDir_->path() + "/root/Downloads/"; }
    static void serve(const QString& name, const QByteArray& data) {
        QFile f(downloads() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write(data);
    }
    // A version file offering version, with a history whose lines are
    // pieces of RTF.
    static void offer(const QString& version, const QByteArray& historyLine = "Version history line") {
        serve("version-check.php", version.toLatin1() + "\n");
        serve("TandexHistoryE.txt", "#hbegin:History\r\n" + historyLine + "\r\n#hend\r\n");
    }
    // The requests the server saw: method, path, then the cache and
    // accept headers.
    static QStringList requests() {
        QFile f(serverDir_->path() + "/requests.log");
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    static void clearRequests() { QFile::remove(serverDir_->path() + "/requests.log"); }
    static QStringList requestedPaths() {
        QStringList paths;
        for (const QString& line : requests()) paths << line.section(' ', 1, 1);
        return paths;
    }
    static QString root() { return config::PrgDir().GetWritableRoot(); }
    static QString programFolder() { return config::PrgDir().GetProgramFolder(); }

    // A stand-in program: a shell script that carries version's marker and
    // appends tag to the log when it runs; interpreter "" makes one that
    // cannot execute.
    QByteArray standIn(const QString& version, const char* tag, const char* interpreter = "/bin/sh") const {
        return "#!" + QByteArray(interpreter) + "\n# " + config::VersionMarker(version) + "\necho " + tag + " >> '" +
               QFile::encodeName(runLog()) + "'\n";
    }
    QString runLog() const { return tmp_.filePath("runs.log"); }
    QByteArray runs() const {
        QFile f(runLog());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Offers version with program as the new program: its SHA-256 on the
    // version file's second line unless checksumLine says otherwise.
    static void offerProgram(const QString& version, const QByteArray& program,
                             const QByteArray* checksumLine = nullptr) {
        offer(version);
        const QByteArray sum = checksumLine ? *checksumLine
                                            : QCryptographicHash::hash(program, QCryptographicHash::Sha256).toHex();
        serve("version-check.php", version.toLatin1() + "\n" + sum + "\n");
        serve("download-tandex-tdx.php", program);
    }
    static QByteArray contentOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void writeProgram(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        f.setPermissions(QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    }

    static inline std::unique_ptr<QTemporaryDir> serverDir_;
    static inline std::unique_ptr<LocalServer> https_, http_;
};

}  // namespace tandex::testing
