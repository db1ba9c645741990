#pragma once
// One run of the tunnel's answer reader and the echo-reply reader over
// hostile bytes, shared by the libFuzzer target and the test that replays
// the inputs in data/ (the limits' edge cases and any that ever broke
// them): the answer reader either throws one of its own errors or hands
// back an answer within its limits.

#include "access/http_tunnel.h"
#include "access/ping.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace tandex::access::fuzz {

inline QString runTunnelAnswer(const QByteArray& input) {
    QByteArray copy = input;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    try {
        const TTunnelAnswer answer = FZReadTunnelAnswer(buffer, 1000);
        if (answer.headers.size() > FZTunnelMaxHeaderLines)
            return QStringLiteral("more header lines than allowed");
        if (answer.statusLine.size() > FZTunnelMaxLine)
            return QStringLiteral("a status line over the limit");
        if (answer.statusLine.isEmpty() && !answer.headers.isEmpty())
            return QStringLiteral("headers behind an empty status line");
    } catch (const EIdHttpProxyError&) {
    } catch (const EIdSocketError&) {
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.constData());
    const quint16 id = input.size() > 1 ? quint16(bytes[0] << 8 | bytes[1]) : 0;
    for (bool withIpHeader : {false, true}) {
        const bool reply = FZIsEchoReply(bytes, input.size(), withIpHeader, id, 1);
        if (reply && !withIpHeader && (input.size() < 8 || bytes[0] != 0))
            return QStringLiteral("a reply taken from a datagram that is none");
    }
    return QString();
}

}  // namespace tandex::access::fuzz
