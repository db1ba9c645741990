#include "access/http_tunnel.h"

#include "local_servers.h"
#include "tunnel_answer_fuzz_check.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <memory>

using namespace tandex::access;
using namespace tandex::testing;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "http_tunnel_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

QByteArray readAll(QSslSocket& socket) {
    QByteArray data;
    while (socket.waitForReadyRead(3000)) data += socket.readAll();
    return data + socket.readAll();
}

class HttpTunnel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        dir_ = std::make_unique<QTemporaryDir>();
        const QString root = dir_->path() + "/root";
        QDir().mkpath(root);
        QFile f(root + "/t.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("through the tunnel");
        f.close();
        ASSERT_TRUE(MakeCertificates(dir_->path(), "server"));
        http_ = std::make_unique<LocalServer>("/usr/bin/python3", WebPeer({"files", root}));
        https_ = std::make_unique<LocalServer>(
            "/usr/bin/python3", WebPeer({"files", root, "--cert", dir_->path() + "/server.pem",
                                         "--key", dir_->path() + "/server.key"}));
        ASSERT_GT(http_->port(), 0);
        ASSERT_GT(https_->port(), 0);
    }
    static void TearDownTestSuite() {
        http_.reset();
        https_.reset();
        dir_.reset();
    }
    void SetUp() override {
        log_ = dir_->path() + "/peer.log";
        QFile::remove(log_);
    }

    // The scripted CONNECT peer and what it saw.
    std::unique_ptr<LocalServer> startPeer() {
        return std::make_unique<LocalServer>("/usr/bin/python3", WebPeer({"connect-peer", log_}));
    }
    QStringList peerLog() const {
        QFile f(log_);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    static TIdConnectThroughHttpProxyNew tunnelTo(int port, const QString& user,
                                                  const QString& password) {
        TIdConnectThroughHttpProxyNew tunnel;
        tunnel.Host = "127.0.0.1";
        tunnel.Port = quint16(port);
        tunnel.Username = user;
        tunnel.Password = password;
        tunnel.ReadTimeout = 5000;
        return tunnel;
    }

    static inline std::unique_ptr<QTemporaryDir> dir_;
    static inline std::unique_ptr<LocalServer> http_, https_;
    QString log_;
};

TEST_F(HttpTunnel, CarriesPlainAndTlsThroughTinyproxy) {
    TinyProxy proxy(dir_->path(), false);
    ASSERT_GT(proxy.port(), 0);
    TIdConnectThroughHttpProxyNew tunnel = tunnelTo(proxy.port(), "", "");

    QSslSocket plain;
    ASSERT_NO_THROW(tunnel.MakeConnection(plain, "127.0.0.1", quint16(http_->port())));
    plain.write("GET /t.txt HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(readAll(plain).endsWith("through the tunnel"));

    // TLS starts on the same socket once the tunnel stands, with the
    // target's name.
    QSslSocket tls;
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(QSslCertificate::fromPath(dir_->path() + "/server-ca.pem"));
    tls.setSslConfiguration(ssl);
    ASSERT_NO_THROW(tunnel.MakeConnection(tls, "127.0.0.1", quint16(https_->port())));
    tls.startClientEncryption();
    ASSERT_TRUE(tls.waitForEncrypted(5000)) << tls.errorString().toStdString();
    tls.write("GET /t.txt HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(readAll(tls).endsWith("through the tunnel"));
}

TEST_F(HttpTunnel, ProxyRefusalRaisesWithTheStatusLine) {
    TinyProxy proxy(dir_->path(), true);
    ASSERT_GT(proxy.port(), 0);
    TIdConnectThroughHttpProxyNew tunnel = tunnelTo(proxy.port(), "u", "wrong");
    QSslSocket socket;
    try {
        tunnel.MakeConnection(socket, "127.0.0.1", quint16(http_->port()));
        ADD_FAILURE() << "no error";
    } catch (const EIdHttpProxyError& e) {
        EXPECT_TRUE(QByteArray(e.what()).startsWith("HTTP/1.")) << e.what();
    }

    auto peer = startPeer();
    TIdConnectThroughHttpProxyNew anonymous = tunnelTo(peer->port(), "", "");
    QSslSocket other;
    try {
        anonymous.MakeConnection(other, "::1", 21);
        ADD_FAILURE() << "no error";
    } catch (const EIdHttpProxyError& e) {
        EXPECT_STREQ(e.what(), "HTTP/1.1 407 Proxy Authentication Required");
    }
    EXPECT_EQ(peerLog().mid(0, 3), (QStringList{"connection", "CONNECT [::1]:21 HTTP/1.1",
                                                "Host: [::1]:21"}));
}

TEST_F(HttpTunnel, AsksAgainWithCredentialsOnTheSameConnection) {
    auto peer = startPeer();
    TIdConnectThroughHttpProxyNew tunnel = tunnelTo(peer->port(), "u", "p");
    QSslSocket socket;
    ASSERT_NO_THROW(tunnel.MakeConnection(socket, "keep.test", 1));
    ASSERT_TRUE(socket.canReadLine() || socket.waitForReadyRead(3000));
    EXPECT_EQ(socket.readLine(), "tunnel open\n");
    EXPECT_EQ(peerLog(), (QStringList{"connection", "CONNECT keep.test:1 HTTP/1.1",
                                      "Host: keep.test:1", "CONNECT keep.test:1 HTTP/1.1",
                                      "Host: keep.test:1", "Proxy-Authorization: Basic dTpw"}));
}

TEST_F(HttpTunnel, ReconnectsOnceWhenTheProxyClosesAfter407) {
    auto peer = startPeer();
    TIdConnectThroughHttpProxyNew tunnel = tunnelTo(peer->port(), "u", "p");
    QSslSocket socket;
    ASSERT_NO_THROW(tunnel.MakeConnection(socket, "close.test", 1));
    EXPECT_EQ(peerLog(), (QStringList{"connection", "CONNECT close.test:1 HTTP/1.1",
                                      "Host: close.test:1", "connection",
                                      "CONNECT close.test:1 HTTP/1.1", "Host: close.test:1",
                                      "Proxy-Authorization: Basic dTpw"}));
    // The flag that asked for credentials at once is cleared again.
    QSslSocket again;
    ASSERT_NO_THROW(tunnel.MakeConnection(again, "close.test", 1));
    EXPECT_EQ(peerLog().count("connection"), 4);
}

TEST_F(HttpTunnel, EmptyStatusLineCountsAsConnected) {
    auto peer = startPeer();
    TIdConnectThroughHttpProxyNew tunnel = tunnelTo(peer->port(), "", "");
    QSslSocket socket;
    EXPECT_NO_THROW(tunnel.MakeConnection(socket, "empty.test", 1));
}

TEST_F(HttpTunnel, AnswerReaderKeepsItsLimits) {
    struct Case {
        QByteArray answer;
        int status;  // -1: refused as too long, -2: the connection ended first
    };
    const QByteArray manyHeaders = "HTTP/1.1 200 OK\r\n" + QByteArray("X: y\r\n").repeated(101);
    const Case cases[] = {
        {"HTTP/1.1 200 Connection established\r\n\r\n", 200},
        {"HTTP/1.0 407 Auth\r\nContent-Length: 4\r\n\r\nbody", 407},
        {"HTTP/1.1 abc\r\n\r\n", 200},
        {"\r\n", 200},
        {"HTTP/1.1 200 " + QByteArray(9000, 'a') + "\r\n\r\n", -1},
        {manyHeaders + "\r\n", -1},
        {"HTTP/1.1 407 x\r\nContent-Length: 10\r\n\r\nab", -2},
        {"HTTP/1.1 200 OK\r\n", -2},
    };
    for (const Case& c : cases) {
        QByteArray data = c.answer;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        int status = 0;
        try {
            status = FZReadTunnelAnswer(buffer, 1000).status;
        } catch (const EIdHttpProxyError&) {
            status = -1;
        } catch (const EIdSocketError&) {
            status = -2;
        }
        EXPECT_EQ(status, c.status) << c.answer.left(40).toStdString();
    }
}

TEST_F(HttpTunnel, KeptFuzzInputsRunClean) {
    QDir data(QString(TANDEX_SOURCE_DIR) + "/tests/access/data");
    const QStringList files = data.entryList({"tunnel-answer-*"}, QDir::Files);
    EXPECT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(fuzz::runTunnelAnswer(f.readAll()).toStdString(), "") << name.toStdString();
    }
}

}  // namespace
