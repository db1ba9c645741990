#pragma once
// One run of the FTP reply reader, the PASV and EPSV readers, the FEAT
// readers and the three listing parsers over hostile bytes, shared by the
// libFuzzer target and the test that replays the inputs in data/: the
// reader either throws its own error or hands back a reply within its
// limits, and the parsers hand back only entries they could read.

#include "access/ftp_listing.h"
#include "access/ftp_reply.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace tandex::access::fuzz {

inline QString runFtpReply(const QByteArray& input) {
    QByteArray copy = input;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    try {
        // Every reply of the input in turn, as a control connection reads them.
        for (int n = 0; n < 64; ++n) {
            const TFtpReply reply = FZReadFtpReply(buffer, 1000);
            if (reply.code < 100 || reply.code > 599) return QStringLiteral("a reply code out of range");
            if (reply.lines.isEmpty()) return QStringLiteral("a reply without lines");
            qsizetype total = 0;
            for (const QString& line : reply.lines) {
                if (line.size() > FZFtpMaxLine) return QStringLiteral("a reply line over the limit");
                total += line.size();
            }
            if (total > FZFtpMaxReply) return QStringLiteral("a reply over the limit");
            quint16 port = 0;
            if (FZParsePasvPort(reply.text(), port) && port == 0) return QStringLiteral("PASV port 0");
            if (FZParseEpsvPort(reply.text(), port) && port == 0) return QStringLiteral("EPSV port 0");
            FZFtpMlstFacts(reply.innerLines());
        }
    } catch (const EFtpError& e) {
        if (e.code() != 99990 && e.code() != 10054 && e.code() != 10060)
            return QStringLiteral("an unexpected error code %1").arg(e.code());
    }
    const QDateTime now(QDate(2024, 2, 29), QTime(12, 0), Qt::LocalTime);
    for (const QByteArray& raw : input.split('\n')) {
        const QString line = QString::fromUtf8(raw.left(FZFtpMaxLine));
        TFtpEntry entry;
        if (FZParseListLine(line, now, entry) && entry.name.isEmpty())
            return QStringLiteral("a LIST entry without a name");
        if (entry.size < 0) return QStringLiteral("a negative size");
        if (FZParseMlsdLine(line, entry) && entry.name.isEmpty())
            return QStringLiteral("an MLSD entry without a name");
        if (entry.size < 0) return QStringLiteral("a negative size");
    }
    return QString();
}

}  // namespace tandex::access::fuzz
