#include "access/ftp_reply.h"

#include <QAbstractSocket>
#include <QIODevice>
#include <QRegularExpression>

#include <chrono>

namespace tandex::access {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 50;

[[noreturn]] void raiseProtocol(const QString& why) {
    throw EFtpError(99990, why);
}

// Waits for more bytes in short steps so that an abort is seen quickly; a
// device that can have no more (a closed socket, a buffer) ends the reply.
void waitForMore(QIODevice& io, Clock::time_point deadline,
                 const std::function<bool()>& cancelled) {
    for (;;) {
        if (cancelled && cancelled()) throw EFtpError(1235, QStringLiteral("Aborted by user!"));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            throw EFtpError(10060, QStringLiteral("Socket Error # 10060\r\nConnection timed out."));
        if (io.waitForReadyRead(int(std::min<qint64>(left, kPollMs)))) return;
        const auto* socket = qobject_cast<const QAbstractSocket*>(&io);
        const bool open = socket ? socket->state() == QAbstractSocket::ConnectedState
                                 : io.isSequential() && io.isOpen();
        // Called only when no whole line is buffered: a device that can
        // have no more ends the reply, even with a part line left.
        if (!open)
            throw EFtpError(10054,
                            QStringLiteral("Socket Error # 10054\r\nConnection reset by peer."));
    }
}

QString readLine(QIODevice& io, Clock::time_point deadline, const std::function<bool()>& cancelled) {
    for (;;) {
        if (io.canReadLine()) {
            QByteArray line = io.readLine(FZFtpMaxLine + 2);
            if (!line.endsWith('\n')) raiseProtocol(QStringLiteral("Reply line too long"));
            line.chop(1);
            if (line.endsWith('\r')) line.chop(1);
            return QString::fromUtf8(line);
        }
        if (io.bytesAvailable() > FZFtpMaxLine) raiseProtocol(QStringLiteral("Reply line too long"));
        waitForMore(io, deadline, cancelled);
    }
}

int replyCode(const QString& line) {
    if (line.size() < 3) return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const QChar c = line[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
        code = code * 10 + (c.unicode() - '0');
    }
    if (code < 100 || code > 599) return -1;
    return code;
}

bool validPort(qint64 value, quint16& port) {
    if (value < 1 || value > 65535) return false;
    port = quint16(value);
    return true;
}

}  // namespace

QStringList TFtpReply::innerLines() const {
    QStringList inner;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        QString line = lines[i];
        qsizetype n = 0;
        while (n < line.size() && line[n].isSpace()) ++n;
        inner += line.mid(n);
    }
    return inner;
}

TFtpReply FZReadFtpReply(QIODevice& io, int timeoutMs, const std::function<bool()>& cancelled) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    TFtpReply reply;
    qsizetype total = 0;
    const auto take = [&](const QString& line) {
        total += line.size() + 2;
        if (total > FZFtpMaxReply) raiseProtocol(QStringLiteral("Reply too long"));
        reply.lines += line;
    };
    const QString first = readLine(io, deadline, cancelled);
    reply.code = replyCode(first);
    if (reply.code < 0) raiseProtocol(QStringLiteral("Bad reply from server: ") + first.left(200));
    take(first);
    if (first.size() > 3 && first[3] == QLatin1Char('-')) {
        // A multi-line reply ends at the line that starts with the same
        // code and a blank (or nothing); lines in between are free text.
        const QString end = first.left(3);
        for (;;) {
            const QString line = readLine(io, deadline, cancelled);
            take(line);
            if (line.startsWith(end) && (line.size() == 3 || line[3] == QLatin1Char(' '))) break;
        }
    }
    return reply;
}

bool FZParsePasvPort(const QString& text, quint16& port) {
    static const QRegularExpression numbers(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch m = numbers.match(text);
    if (!m.hasMatch()) return false;
    for (int i = 1; i <= 6; ++i)
        if (m.captured(i).toInt() > 255) return false;
    return validPort(m.captured(5).toInt() * 256 + m.captured(6).toInt(), port);
}

bool FZParseEpsvPort(const QString& text, quint16& port) {
    // "(<d><d><d>port<d>)" where <d> is one printable delimiter character.
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0 || open + 5 > text.size()) return false;
    const QChar d = text[open + 1];
    if (text[open + 2] != d || text[open + 3] != d) return false;
    const qsizetype close = text.indexOf(d, open + 4);
    if (close < 0 || close + 1 >= text.size() || text[close + 1] != QLatin1Char(')')) return false;
    const QStringView digits = QStringView(text).mid(open + 4, close - open - 4);
    if (digits.isEmpty() || digits.size() > 5) return false;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return validPort(digits.toInt(), port);
}

bool FZFtpHasFeature(const QStringList& features, const QString& name) {
    for (const QString& f : features) {
        const QString word = f.section(QLatin1Char(' '), 0, 0);
        if (word.compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

QStringList FZFtpMlstFacts(const QStringList& features) {
    for (const QString& f : features) {
        if (f.section(QLatin1Char(' '), 0, 0).compare(QLatin1String("MLST"), Qt::CaseInsensitive))
            continue;
        QStringList facts;
        for (QString fact : f.section(QLatin1Char(' '), 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (fact.endsWith(QLatin1Char('*'))) fact.chop(1);
            facts += fact.trimmed().toLower();
        }
        return facts;
    }
    return {};
}

}  // namespace tandex::access
