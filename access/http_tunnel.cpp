#include "access/http_tunnel.h"

#include <QHostAddress>
#include <QIODevice>
#include <QNetworkProxy>
#include <QSslSocket>
#include <chrono>

namespace tandex::access {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

[[noreturn]] void raiseSocketError(const QIODevice& io, bool timedOut) {
    if (timedOut) throw EIdSocketError("Socket Error # 10060\r\nConnection timed out.");
    const auto* socket = qobject_cast<const QAbstractSocket*>(&io);
    if (socket && socket->error() == QAbstractSocket::SocketTimeoutError)
        throw EIdSocketError("Socket Error # 10060\r\nConnection timed out.");
    throw EIdSocketError("Socket Error # 10054\r\nConnection reset by peer.");
}

// Waits for more of the answer; a device that can never have more (a
// closed socket, a buffer) ends the answer with a socket error.
void waitForMore(QIODevice& io, Clock::time_point deadline) {
    const int left = msLeft(deadline);
    if (left == 0) raiseSocketError(io, true);
    if (!io.waitForReadyRead(left)) raiseSocketError(io, msLeft(deadline) == 0);
}

QByteArray readLine(QIODevice& io, Clock::time_point deadline) {
    for (;;) {
        if (io.canReadLine()) {
            QByteArray line = io.readLine(FZTunnelMaxLine + 2);
            if (!line.endsWith('\n')) throw EIdHttpProxyError("Proxy answer line too long");
            line.chop(1);
            if (line.endsWith('\r')) line.chop(1);
            return line;
        }
        if (io.bytesAvailable() > FZTunnelMaxLine)
            throw EIdHttpProxyError("Proxy answer line too long");
        waitForMore(io, deadline);
    }
}

void discard(QIODevice& io, qint64 count, Clock::time_point deadline) {
    char chunk[16384];
    while (count > 0) {
        if (io.bytesAvailable() == 0) waitForMore(io, deadline);
        const qint64 n = io.read(chunk, qMin<qint64>(count, sizeof chunk));
        if (n < 0) raiseSocketError(io, false);
        count -= n;
    }
}

void connectToProxy(QSslSocket& socket, const QString& host, quint16 port, int timeoutMs) {
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(host, port);
    if (socket.waitForConnected(timeoutMs)) return;
    if (socket.error() == QAbstractSocket::ConnectionRefusedError)
        throw EIdSocketError("Socket Error # 10061\r\nConnection refused.");
    if (socket.error() == QAbstractSocket::HostNotFoundError)
        throw EIdSocketError("Socket Error # 11001\r\nHost not found.");
    throw EIdSocketError("Socket Error # 10060\r\nConnection timed out.");
}

void writeAll(QSslSocket& socket, const QByteArray& data, int timeoutMs) {
    socket.write(data);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs)) raiseSocketError(socket, false);
}

}  // namespace

QByteArray TTunnelAnswer::header(const QByteArray& name) const {
    for (const QByteArray& line : headers) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

TTunnelAnswer FZReadTunnelAnswer(QIODevice& io, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    TTunnelAnswer answer;
    answer.statusLine = readLine(io, deadline);
    if (answer.statusLine.isEmpty()) return answer;
    for (;;) {
        QByteArray line = readLine(io, deadline);
        if (line.isEmpty()) break;
        if (answer.headers.size() == FZTunnelMaxHeaderLines)
            throw EIdHttpProxyError("Too many header lines in the proxy answer");
        answer.headers.append(line);
    }
    bool ok = false;
    const qint64 length = answer.header("Content-Length").toLongLong(&ok);
    if (ok && length > 0) discard(io, length, deadline);
    const QList<QByteArray> words = answer.statusLine.simplified().split(' ');
    if (words.size() > 1) {
        const int status = words[1].toInt(&ok);
        if (ok) answer.status = status;
    }
    return answer;
}

QByteArray FZTunnelAuthority(const QString& host, quint16 port) {
    const QHostAddress address(host);
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    return (v6 ? "[" + host.toUtf8() + "]" : host.toUtf8()) + ':' + QByteArray::number(port);
}

void TIdConnectThroughHttpProxyNew::MakeConnection(QSslSocket& socket, const QString& host,
                                                   quint16 port) {
    connectToProxy(socket, Host, Port, ReadTimeout);
    MakeTunnel(socket, host, port, authRequired_);
}

void TIdConnectThroughHttpProxyNew::MakeTunnel(QSslSocket& socket, const QString& host,
                                               quint16 port, bool basic) {
    const QByteArray authority = FZTunnelAuthority(host, port);
    // HTTP/1.1 wants the Host line; proxies may refuse a CONNECT without it.
    QByteArray request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
    if (basic)
        request += "Proxy-Authorization: Basic " + (Username + ':' + Password).toUtf8().toBase64() +
                   "\r\n";
    request += "\r\n";
    writeAll(socket, request, ReadTimeout);
    const TTunnelAnswer answer = FZReadTunnelAnswer(socket, ReadTimeout);
    if (answer.statusLine.isEmpty()) return;
    if (answer.status == 407 && !basic && (!Username.isEmpty() || !Password.isEmpty())) {
        const bool closes =
            answer.header("Proxy-Connection").compare("close", Qt::CaseInsensitive) == 0 ||
            answer.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
        if (!closes) {
            MakeTunnel(socket, host, port, true);
            return;
        }
        socket.abort();
        struct Clear {
            bool& flag;
            ~Clear() { flag = false; }
        } clear{authRequired_};
        authRequired_ = true;
        MakeConnection(socket, host, port);
        return;
    }
    if (answer.status != 200) throw EIdHttpProxyError(answer.statusLine.toStdString());
}

}  // namespace tandex::access
