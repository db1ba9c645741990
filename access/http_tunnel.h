#pragma once
// The HTTP CONNECT tunnel that carries FTP connections through an HTTP
// proxy. The caller's socket is a QSslSocket in plain mode with Qt's own
// proxy off: the tunnel speaks to the proxy itself, and TLS can start on
// the same socket after CONNECT, with the target's name.
//
// The proxy's answer is hostile input: lines are bounded, so are the
// header lines, and a body is discarded in chunks, all within the read
// time-out.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <stdexcept>

class QIODevice;
class QSslSocket;

namespace tandex::access {

// A refusal of the proxy; the message is its status line.
class EIdHttpProxyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed or timed-out connection, with the "Socket Error # n" message
// that error_texts.h turns into its code.
class EIdSocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int FZTunnelMaxLine = 8192;
inline constexpr int FZTunnelMaxHeaderLines = 100;

struct TTunnelAnswer {
    QByteArray statusLine;  // empty: the proxy answered with an empty line
    QList<QByteArray> headers;
    int status = 200;  // the status line's second word; 200 when no number
    QByteArray header(const QByteArray& name) const;
};

// Reads a proxy's answer to CONNECT; throws EIdSocketError when the
// connection ends or the time-out passes first and EIdHttpProxyError when
// the answer breaks the limits.
TTunnelAnswer FZReadTunnelAnswer(QIODevice& io, int timeoutMs);

// "host:port", an IPv6 address in brackets.
QByteArray FZTunnelAuthority(const QString& host, quint16 port);

class TIdConnectThroughHttpProxyNew {
public:
    // The proxy; user name and password are sent only once it asks.
    QString Host;
    quint16 Port = 0;
    QString Username;
    QString Password;
    // The time the proxy may take to connect and to answer, in ms.
    int ReadTimeout = 30000;

    bool Enabled() const { return true; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    // Connects the socket to the proxy and opens the tunnel to host:port.
    void MakeConnection(QSslSocket& socket, const QString& host, quint16 port);
    void MakeTunnel(QSslSocket& socket, const QString& host, quint16 port, bool basic);

private:
    [[maybe_unused]] bool enabled_ = true;  // kept for the property; the tunnel always runs
    bool authRequired_ = false;
};

}  // namespace tandex::access
