#pragma once
// One run of the login of every proxy kind against hostile reply bytes,
// shared by the libFuzzer target and the test that replays the inputs in
// data/: the login always ends, with a reply or the errors of the reply
// reader, sends only its kind's lines in their order, and sends nothing
// after a line the peer refused.

#include "access/ftp_proxy.h"
#include "access/ftp_reply.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace tandex::access::fuzz {

inline QString runFtpLogin(const QByteArray& input) {
    for (int kind = fpcmNone; kind <= fpcmHttpConnect; ++kind) {
        QByteArray copy = input;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        TFtpProxy proxy;
        proxy.kind = kind;
        proxy.user = QStringLiteral("pu");
        proxy.password = QStringLiteral("pp");
        const QList<TFtpLoginLine> lines =
            FZFtpLoginLines(proxy, QStringLiteral("h"), 21, QStringLiteral("u"), QStringLiteral("w"));
        qsizetype next = 0;  // the first line that may still be sent
        bool refused = false;
        QString failure;
        const auto send = [&](const QString& command) {
            if (refused) failure = QStringLiteral("a line sent after a refusal: ") + command;
            while (next < lines.size() && lines[next].command != command) ++next;
            if (next == lines.size()) failure = QStringLiteral("a line out of order: ") + command;
            ++next;
            const TFtpReply reply = FZReadFtpReply(buffer, 1000);
            refused = reply.code < 200 || reply.code >= 400;
            return reply;
        };
        try {
            const TFtpReply reply = FZRunFtpLogin(lines, send);
            if (reply.code != 230 && reply.code != 202)
                return QStringLiteral("kind %1 logged in with %2").arg(kind).arg(reply.code);
        } catch (const EFtpError& e) {
            if (e.code() != 99990 && e.code() != 10054 && e.code() != 10060)
                return QStringLiteral("an unexpected error code %1").arg(e.code());
        }
        if (!failure.isEmpty()) return QStringLiteral("kind %1: ").arg(kind) + failure;
    }
    return QString();
}

}  // namespace tandex::access::fuzz
