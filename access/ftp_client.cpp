#include "access/ftp_client.h"

#include "access/error_texts.h"
#include "access/http_requests.h"
#include "access/http_tunnel.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>

#include <chrono>

namespace tandex::access {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 50;
// How often one download is taken up again after its data connection broke.
constexpr int kMaxResumes = 5;
// A listing longer than this is no folder a user can work with.
constexpr qsizetype kMaxListing = 64 * 1024 * 1024;

[[noreturn]] void raiseSocket(int code) {
    switch (code) {
        case 10061:
            throw EFtpError(code, QStringLiteral("Socket Error # 10061\r\nConnection refused."));
        case 11001:
            throw EFtpError(code, QStringLiteral("Socket Error # 11001\r\nHost not found."));
        case 10060:
            throw EFtpError(code, QStringLiteral("Socket Error # 10060\r\nConnection timed out."));
        default:
            throw EFtpError(10054, QStringLiteral("Socket Error # 10054\r\nConnection reset by peer."));
    }
}

[[noreturn]] void raiseReply(const TFtpReply& reply) {
    throw EFtpError(99990, reply.text());
}

int socketCode(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return 10061;
        case QAbstractSocket::HostNotFoundError:
            return 11001;
        case QAbstractSocket::SocketTimeoutError:
            return 10060;
        default:
            return 10054;
    }
}

// Data connections of active mode arrive as TLS-capable sockets.
class DataListener : public QTcpServer {
protected:
    void incomingConnection(qintptr descriptor) override {
        auto socket = std::make_unique<QSslSocket>();
        if (socket->setSocketDescriptor(descriptor)) addPendingConnection(socket.release());
    }
};

}  // namespace

// Pulls the sockets to the calling thread for one call and lets them go
// again when the outermost call ends.
struct TFtpClient::Use {
    TFtpClient& client;
    explicit Use(TFtpClient& c) : client(c) {
        if (client.depth_++ == 0) client.adopt();
    }
    ~Use() {
        if (--client.depth_ == 0) client.release();
    }
};

TFtpClient::TFtpClient(const TFtpOptions& options) : options_(options) {}

TFtpClient::~TFtpClient() {
    if (control_) {
        adopt();
        control_->abort();
        control_.reset();
    }
}

void TFtpClient::adopt() {
    if (control_ && control_->thread() != QThread::currentThread())
        control_->moveToThread(QThread::currentThread());
}

void TFtpClient::release() {
    if (control_) control_->moveToThread(nullptr);
}

bool TFtpClient::cancelled() const {
    return aborted_.load() || (cancelled_ && cancelled_());
}

bool TFtpClient::Connected() const {
    return control_ && control_->state() == QAbstractSocket::ConnectedState;
}

void TFtpClient::Abort() {
    aborted_.store(true);
}

void TFtpClient::connectSocket(QSslSocket& socket, const QString& host, quint16 port,
                               bool encrypted) {
    // Proxies are the profile's business, never the environment's.
    socket.setProxy(QNetworkProxy::NoProxy);
    const auto protocol =
        options_.ipv6 ? QAbstractSocket::IPv6Protocol : QAbstractSocket::AnyIPProtocol;
    if (encrypted)
        socket.connectToHostEncrypted(host, port, QIODevice::ReadWrite, protocol);
    else
        socket.connectToHost(host, port, QIODevice::ReadWrite, protocol);
    const auto deadline = Clock::now() + std::chrono::milliseconds(options_.connectTimeoutMs);
    while (!socket.waitForConnected(kPollMs)) {
        if (cancelled()) {
            socket.abort();
            throw EFtpError(1235, QStringLiteral("Aborted by user!"));
        }
        if (socket.state() == QAbstractSocket::UnconnectedState) raiseSocket(socketCode(socket.error()));
        if (Clock::now() >= deadline) {
            socket.abort();
            raiseSocket(10060);
        }
    }
}

// Opens a connection to the site's port through the HTTP proxy's CONNECT
// tunnel; the proxy's refusal ends the connect with its status line.
void TFtpClient::tunnelSocket(QSslSocket& socket, quint16 port) {
    if (cancelled()) throw EFtpError(1235, QStringLiteral("Aborted by user!"));
    TIdConnectThroughHttpProxyNew tunnel;
    tunnel.Host = options_.proxy.host;
    tunnel.Port = options_.proxy.port;
    tunnel.Username = options_.proxy.user;
    tunnel.Password = options_.proxy.password;
    tunnel.ReadTimeout = options_.connectTimeoutMs;
    socket.setProxy(QNetworkProxy::NoProxy);
    try {
        tunnel.MakeConnection(socket, options_.host, port);
    } catch (const EIdHttpProxyError& e) {
        socket.abort();
        throw EFtpError(99990, QString::fromUtf8(e.what()));
    } catch (const EIdSocketError& e) {
        socket.abort();
        const QString message = QString::fromUtf8(e.what());
        throw EFtpError(FZInternetCode(message), message);
    }
}

void TFtpClient::encrypt(QSslSocket& socket, const QByteArray& session) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(FZTrustedCaCertificates());
    config.setProtocol(options_.tlsMethod == 1 ? QSsl::AnyProtocol : QSsl::SecureProtocols);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    config.setSslOption(QSsl::SslOptionDisableSessionTickets, false);
    if (!session.isEmpty()) config.setSessionTicket(session);
    socket.setSslConfiguration(config);
    // Certificates are checked against the host the control connection
    // went to, on the data connections too, whatever address the server
    // was reached by; through the tunnel that is the site itself.
    socket.setPeerVerifyName(peerHost_);
    refusal_.clear();
    QObject::connect(&socket, &QSslSocket::sslErrors, &socket,
                     [this, &socket](const QList<QSslError>& errors) {
                         QSslCertificate cert = socket.peerCertificate();
                         for (const QSslError& e : errors)
                             if (!e.certificate().isNull()) cert = e.certificate();
                         if (FZTrustFailedCertificate(peerHost_, peerPort_, errors, cert)) {
                             socket.ignoreSslErrors(errors);
                             return;
                         }
                         QStringList texts;
                         for (const QSslError& e : errors) texts += e.errorString();
                         refusal_ = QStringLiteral("Certificate not trusted for ") + peerHost_ +
                                    QStringLiteral(": ") + texts.join(QStringLiteral("; "));
                     });
    // An implicit-TLS socket starts its handshake once it is connected.
    if (socket.state() == QAbstractSocket::ConnectedState && socket.mode() == QSslSocket::UnencryptedMode)
        socket.startClientEncryption();
}

void TFtpClient::writeLine(const QString& command) {
    for (QChar c : command)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            throw EFtpError(123, QStringLiteral("Invalid character in FTP command"));
    if (cancelled()) {
        if (control_) control_->abort();
        throw EFtpError(1235, QStringLiteral("Aborted by user!"));
    }
    if (!Connected()) raiseSocket(10054);
    control_->write(command.toUtf8() + "\r\n");
    const auto deadline = Clock::now() + std::chrono::milliseconds(options_.readTimeoutMs);
    while (control_->bytesToWrite() > 0) {
        if (control_->waitForBytesWritten(kPollMs)) continue;
        if (control_->state() != QAbstractSocket::ConnectedState) raiseSocket(10054);
        if (cancelled()) {
            control_->abort();
            throw EFtpError(1235, QStringLiteral("Aborted by user!"));
        }
        if (Clock::now() >= deadline) raiseSocket(10060);
    }
}

TFtpReply TFtpClient::SendCmd(const QString& command) {
    Use use(*this);
    writeLine(command);
    try {
        return FZReadFtpReply(*control_, options_.readTimeoutMs, [this] { return cancelled(); });
    } catch (const EFtpError&) {
        // A reply read only in part leaves the connection out of step.
        control_->abort();
        throw;
    }
}

TFtpReply TFtpClient::Command(const QString& command) {
    TFtpReply reply = SendCmd(command);
    if (!reply.positive()) raiseReply(reply);
    return reply;
}

void TFtpClient::Connect() {
    aborted_.store(false);
    tlsDeclined_ = tlsUsed_ = mlsd_ = unique_ = false;
    features_.clear();
    if (control_) {
        adopt();
        control_->abort();
    }
    control_ = std::make_unique<QSslSocket>();
    Use use(*this);
    const auto readReply = [this] {
        try {
            return FZReadFtpReply(*control_, options_.readTimeoutMs, [this] { return cancelled(); });
        } catch (const EFtpError&) {
            control_->abort();
            throw;
        }
    };
    const auto waitEncrypted = [this](QSslSocket& socket) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(options_.readTimeoutMs);
        while (!socket.waitForEncrypted(kPollMs)) {
            if (!refusal_.isEmpty()) {
                socket.abort();
                throw EFtpError(99990, refusal_);
            }
            if (cancelled()) {
                socket.abort();
                throw EFtpError(1235, QStringLiteral("Aborted by user!"));
            }
            if (socket.state() != QAbstractSocket::ConnectedState || Clock::now() >= deadline) {
                const QString why = socket.errorString();
                socket.abort();
                throw EFtpError(99990, QStringLiteral("SSL negotiation failed: ") + why);
            }
        }
    };

    // The one place the control connection is made. Through the tunnel
    // TLS starts inside it, so a user behind the proxy never bypasses it.
    const bool tunnel = options_.proxy.kind == fpcmHttpConnect;
    peerHost_ = options_.host;
    peerPort_ = options_.port;
    if (FZFtpProxyIsPeer(options_.proxy)) {
        peerHost_ = options_.proxy.host;
        peerPort_ = options_.proxy.port;
    }
    if (tunnel) {
        tunnelSocket(*control_, options_.port);
        if (options_.tlsMode == 1) {
            encrypt(*control_, QByteArray());
            waitEncrypted(*control_);
            tlsUsed_ = true;
        }
    } else if (options_.tlsMode == 1) {
        encrypt(*control_, QByteArray());
        connectSocket(*control_, peerHost_, peerPort_, true);
        waitEncrypted(*control_);
        tlsUsed_ = true;
    } else {
        connectSocket(*control_, peerHost_, peerPort_, false);
    }
    TFtpReply greeting = readReply();
    while (greeting.code == 120) greeting = readReply();
    if (greeting.code != 220) raiseReply(greeting);

    if (options_.tlsMode == 2 || options_.tlsMode == 3) {
        TFtpReply auth = SendCmd(QStringLiteral("AUTH TLS"));
        if (auth.code != 234) auth = SendCmd(QStringLiteral("AUTH SSL"));
        if (auth.code == 234 || auth.code == 334) {
            encrypt(*control_, QByteArray());
            waitEncrypted(*control_);
            tlsUsed_ = true;
        } else if (options_.tlsMode == 3) {
            control_->abort();
            raiseReply(auth);
        } else {
            tlsDeclined_ = true;
        }
    }
    if (tlsUsed_) {
        Command(QStringLiteral("PBSZ 0"));
        Command(options_.protectData ? QStringLiteral("PROT P") : QStringLiteral("PROT C"));
    }
    login();
}

void TFtpClient::login() {
    const QList<TFtpLoginLine> lines = FZFtpLoginLines(options_.proxy, options_.host, options_.port,
                                                       options_.user, options_.password);
    try {
        FZRunFtpLogin(lines, [this](const QString& line) { return SendCmd(line); });
    } catch (const EFtpError&) {
        control_->abort();
        throw;
    }
    Command(QStringLiteral("TYPE I"));
    const TFtpReply feat = SendCmd(QStringLiteral("FEAT"));
    if (feat.code == 211) features_ = feat.innerLines();
    if (FZFtpHasFeature(features_, QStringLiteral("UTF8"))) SendCmd(QStringLiteral("OPTS UTF8 ON"));
    mlsd_ = FZFtpHasFeature(features_, QStringLiteral("MLST"));
    if (mlsd_) {
        // Links show as plain folders in MLSD; only the "unique" fact tells
        // a link to a folder on the current path from a new folder.
        const QStringList facts = FZFtpMlstFacts(features_);
        QStringList wanted;
        for (const char* fact : {"type", "size", "modify", "unique"})
            if (facts.contains(QLatin1String(fact))) wanted += QLatin1String(fact);
        if (!wanted.isEmpty()) {
            const TFtpReply opts =
                SendCmd(QStringLiteral("OPTS MLST ") + wanted.join(QLatin1Char(';')) + QLatin1Char(';'));
            unique_ = opts.positive() && wanted.contains(QLatin1String("unique"));
        }
    }
}

void TFtpClient::ChangeDir(const QString& path) {
    Command(QStringLiteral("CWD ") + path);
}

QString TFtpClient::CurrentDir() {
    const TFtpReply reply = Command(QStringLiteral("PWD"));
    // 257 "path" with quotes inside doubled.
    const QString line = reply.lines.value(0);
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    if (open < 0) return QString();
    QString path;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line[i] == QLatin1Char('"')) {
            if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                path += QLatin1Char('"');
                ++i;
                continue;
            }
            break;
        }
        path += line[i];
    }
    return path;
}

std::unique_ptr<QSslSocket> TFtpClient::openData(const QString& command) {
    std::unique_ptr<QSslSocket> data;
    std::unique_ptr<DataListener> listener;
    const QHostAddress server = control_->peerAddress();
    // A CONNECT proxy takes no incoming connection, so the tunnel is
    // always passive, and its peer address is the proxy's.
    const bool tunnel = options_.proxy.kind == fpcmHttpConnect;
    const bool v6 = options_.ipv6 || (!tunnel && server.protocol() == QAbstractSocket::IPv6Protocol);
    if (options_.passive || tunnel) {
        const TFtpReply reply = Command(v6 ? QStringLiteral("EPSV") : QStringLiteral("PASV"));
        quint16 port = 0;
        if (!(v6 ? FZParseEpsvPort(reply.text(), port) : FZParsePasvPort(reply.text(), port)))
            raiseReply(reply);
        // The address in a PASV reply is ignored: a server behind NAT names
        // one the client cannot reach, and a hostile one could point the
        // client anywhere.
        data = std::make_unique<QSslSocket>();
        if (tunnel)
            tunnelSocket(*data, port);
        else
            connectSocket(*data, server.toString(), port, false);
    } else {
        listener = std::make_unique<DataListener>();
        const QHostAddress local = control_->localAddress();
        if (!listener->listen(local, 0)) raiseSocket(10054);
        const quint16 port = listener->serverPort();
        if (v6) {
            Command(QStringLiteral("EPRT |2|%1|%2|").arg(local.toString()).arg(port));
        } else {
            const quint32 a = local.toIPv4Address();
            Command(QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                        .arg(a >> 24)
                        .arg((a >> 16) & 0xFF)
                        .arg((a >> 8) & 0xFF)
                        .arg(a & 0xFF)
                        .arg(port >> 8)
                        .arg(port & 0xFF));
        }
    }
    if (tlsUsed_ && options_.protectData && data) encrypt(*data, control_->sslConfiguration().sessionTicket());
    const TFtpReply start = SendCmd(command);
    if (start.code != 125 && start.code != 150) raiseReply(start);
    if (listener) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(options_.readTimeoutMs);
        for (;;) {
            if (listener->waitForNewConnection(kPollMs)) {
                std::unique_ptr<QTcpSocket> accepted(listener->nextPendingConnection());
                // Only the server may connect back; anybody else gets closed.
                if (accepted && accepted->peerAddress().isEqual(server)) {
                    data.reset(static_cast<QSslSocket*>(accepted.release()));
                    break;
                }
                continue;
            }
            if (cancelled()) throw EFtpError(1235, QStringLiteral("Aborted by user!"));
            if (Clock::now() >= deadline) raiseSocket(10060);
        }
        listener->close();
        if (tlsUsed_ && options_.protectData)
            encrypt(*data, control_->sslConfiguration().sessionTicket());
    }
    if (tlsUsed_ && options_.protectData) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(options_.readTimeoutMs);
        while (!data->waitForEncrypted(kPollMs)) {
            if (!refusal_.isEmpty()) throw EFtpError(99990, refusal_);
            if (cancelled()) throw EFtpError(1235, QStringLiteral("Aborted by user!"));
            if (data->state() != QAbstractSocket::ConnectedState || Clock::now() >= deadline)
                throw EFtpError(99990, QStringLiteral("SSL negotiation failed: ") + data->errorString());
        }
    }
    return data;
}

QByteArray TFtpClient::ListCurrent(bool mlsd) {
    Use use(*this);
    std::unique_ptr<QSslSocket> data = openData(mlsd ? QStringLiteral("MLSD") : QStringLiteral("LIST"));
    // TLS servers such as vsftpd end with close_notify and wait for ours
    // before they close the connection; every timed-out wait overwrites
    // the socket's error, so the close is caught as it is reported.
    bool remoteClosed = false;
    QObject::connect(data.get(), &QAbstractSocket::errorOccurred, data.get(),
                     [&remoteClosed](QAbstractSocket::SocketError error) {
                         if (error == QAbstractSocket::RemoteHostClosedError) remoteClosed = true;
                     });
    QByteArray bytes;
    auto lastProgress = Clock::now();
    for (;;) {
        const QByteArray chunk = data->readAll();
        if (!chunk.isEmpty()) {
            bytes += chunk;
            lastProgress = Clock::now();
            if (bytes.size() > kMaxListing) {
                data->abort();
                control_->abort();
                throw EFtpError(99990, QStringLiteral("Listing too long"));
            }
        }
        const bool ended = data->state() != QAbstractSocket::ConnectedState || remoteClosed;
        if (ended && data->bytesAvailable() == 0) break;
        if (data->waitForReadyRead(kPollMs)) continue;
        if (cancelled()) {
            data->abort();
            control_->abort();
            throw EFtpError(1235, QStringLiteral("Aborted by user!"));
        }
        if (Clock::now() - lastProgress > std::chrono::milliseconds(options_.readTimeoutMs)) {
            data->abort();
            control_->abort();
            raiseSocket(10060);
        }
    }
    bytes += data->readAll();
    if (data->state() == QAbstractSocket::ConnectedState) {
        data->disconnectFromHost();
        if (data->state() != QAbstractSocket::UnconnectedState) data->waitForDisconnected(2000);
    }
    data.reset();
    TFtpReply done;
    try {
        done = FZReadFtpReply(*control_, options_.readTimeoutMs, [this] { return cancelled(); });
    } catch (const EFtpError&) {
        control_->abort();
        throw;
    }
    if (!done.positive()) raiseReply(done);
    return bytes;
}

QStringList TFtpClient::Help() {
    return Command(QStringLiteral("HELP")).innerLines();
}

TFtpReply TFtpClient::readReply(int timeoutMs) {
    try {
        return FZReadFtpReply(*control_, timeoutMs, [this] { return cancelled(); });
    } catch (const EFtpError&) {
        control_->abort();
        throw;
    }
}

// Closes a data connection the way TLS servers expect (close_notify both
// ways) before the transfer's reply is read.
void TFtpClient::endData(QSslSocket& data) {
    if (data.state() == QAbstractSocket::ConnectedState) {
        data.disconnectFromHost();
        if (data.state() != QAbstractSocket::UnconnectedState) data.waitForDisconnected(2000);
    }
}

void TFtpClient::stopTransfer(std::unique_ptr<QSslSocket>& data) {
    const bool abor = options_.tlsMode != 1;
    if (abor) writeLine(QStringLiteral("ABOR"));
    // A server blocked on a full data connection only hears the ABOR once
    // its write fails; one still reading an upload would otherwise drain
    // everything queued before it saw the end.
    data->abort();
    data.reset();
    // The transfer's own reply, then ABOR's; a transfer that had ended
    // already still gets ABOR's "225".
    readReply(options_.readTimeoutMs);
    if (abor) readReply(options_.readTimeoutMs);
}

bool TFtpClient::Retrieve(const QString& path, const TransferPace& pace,
                          const std::function<void(const char*, qint64)>& sink) {
    Use use(*this);
    qint64 received = 0;
    int resumes = 0;
    for (;;) {
        const qint64 attemptStart = received;
        std::unique_ptr<QSslSocket> data = openData(QStringLiteral("RETR ") + path);
        bool remoteClosed = false;
        QObject::connect(data.get(), &QAbstractSocket::errorOccurred, data.get(),
                         [&remoteClosed](QAbstractSocket::SocketError error) {
                             if (error == QAbstractSocket::RemoteHostClosedError) remoteClosed = true;
                         });
        QByteArray buffer;
        auto lastProgress = Clock::now();
        for (;;) {
            if (cancelled()) {
                data->abort();
                control_->abort();
                throw EFtpError(1235, QStringLiteral("Aborted by user!"));
            }
            const qint64 want = pace();
            if (want <= 0) {
                stopTransfer(data);
                if (want < 0) throw EFtpError(1235, QStringLiteral("Aborted by user!"));
                return false;
            }
            if (data->bytesAvailable() > 0) {
                buffer.resize(want);
                const qint64 got = data->read(buffer.data(), want);
                if (got > 0) {
                    sink(buffer.constData(), got);
                    received += got;
                    lastProgress = Clock::now();
                    continue;
                }
            }
            const bool ended = data->state() != QAbstractSocket::ConnectedState || remoteClosed;
            if (ended && data->bytesAvailable() == 0) break;
            if (data->waitForReadyRead(kPollMs)) continue;
            if (Clock::now() - lastProgress > std::chrono::milliseconds(options_.readTimeoutMs)) {
                data->abort();
                control_->abort();
                raiseSocket(10060);
            }
        }
        endData(*data);
        data.reset();
        const TFtpReply done = readReply(options_.readTimeoutMs);
        if (done.positive()) return true;
        // A data connection the server lost on the way is taken up again
        // behind the bytes already here, as long as every try brings more
        // of the file and the server answers REST; otherwise the failure
        // stands and no part of the file passes for all of it.
        const bool broken = done.code == 426 || done.code == 450 || done.code == 451;
        if (!broken || received == attemptStart || ++resumes > kMaxResumes) raiseReply(done);
        const TFtpReply rest = SendCmd(QStringLiteral("REST %1").arg(received));
        if (rest.code != 350) raiseReply(done);
    }
}

void TFtpClient::Store(const QString& path, const TransferPace& pace,
                       const std::function<qint64(char*, qint64)>& source) {
    Use use(*this);
    std::unique_ptr<QSslSocket> data = openData(QStringLiteral("STOR ") + path);
    QByteArray buffer;
    auto lastProgress = Clock::now();
    const auto aborted = [&] {
        stopTransfer(data);
        throw EFtpError(1235, QStringLiteral("Aborted by user!"));
    };
    for (;;) {
        if (cancelled()) {
            data->abort();
            control_->abort();
            throw EFtpError(1235, QStringLiteral("Aborted by user!"));
        }
        if (data->bytesToWrite() < 65536) {
            const qint64 want = pace();
            if (want < 0) aborted();
            buffer.resize(std::max<qint64>(want, 32768));
            const qint64 given = source(buffer.data(), buffer.size());
            if (given <= 0) break;
            data->write(buffer.constData(), given);
            lastProgress = Clock::now();
            continue;
        }
        if (data->waitForBytesWritten(kPollMs)) {
            lastProgress = Clock::now();
            continue;
        }
        if (pace() < 0) aborted();
        if (data->state() != QAbstractSocket::ConnectedState) {
            data.reset();
            const TFtpReply failed = readReply(options_.readTimeoutMs);
            raiseReply(failed);
        }
        if (Clock::now() - lastProgress > std::chrono::milliseconds(options_.readTimeoutMs)) {
            data->abort();
            control_->abort();
            raiseSocket(10060);
        }
    }
    while (data->bytesToWrite() > 0) {
        if (data->waitForBytesWritten(kPollMs)) {
            lastProgress = Clock::now();
            continue;
        }
        if (cancelled() || pace() < 0) aborted();
        if (data->state() != QAbstractSocket::ConnectedState) break;
        if (Clock::now() - lastProgress > std::chrono::milliseconds(options_.readTimeoutMs)) {
            data->abort();
            control_->abort();
            raiseSocket(10060);
        }
    }
    endData(*data);
    data.reset();
    const TFtpReply done = readReply(options_.readTimeoutMs);
    if (!done.positive()) raiseReply(done);
}

void TFtpClient::Quit() {
    if (!control_) return;
    Use use(*this);
    if (Connected() && !aborted_.load()) {
        try {
            writeLine(QStringLiteral("QUIT"));
            FZReadFtpReply(*control_, std::min(options_.readTimeoutMs, 5000));
        } catch (const EFtpError&) {
            // Leaving anyway.
        }
    }
    control_->abort();
}

}  // namespace tandex::access
