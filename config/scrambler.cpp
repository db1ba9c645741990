#include "config/scrambler.h"

#include "config/num_format.h"

#include <QRandomGenerator>
#include <QStringDecoder>

namespace tandex::config {

namespace {

const char kDigits[] = "0123456789ABCDEF";

void appendByte(QString& out, quint8 b) {
    // Low nibble first.
    out += QLatin1Char(kDigits[b & 0x0F]);
    out += QLatin1Char(kDigits[b >> 4]);
}

void appendGroup(QString& out, quint8 x, quint8 key) {
    // The global generator is seeded once per process.
    const quint8 r = quint8(QRandomGenerator::global()->bounded(55));
    appendByte(out, quint8(((x >> 4) + 0x61) ^ key));
    appendByte(out, quint8(((0xC5 - key) ^ (x & 0x0F)) + 0x21));
    appendByte(out, quint8((r + 0x32) ^ key));
}

}  // namespace

QString ScrambleBytes(const QByteArray& bytes) {
    QString out;
    const qsizetype n = bytes.size();
    if (n == 0) return out;
    out.reserve((n + 1) * 6);
    for (qsizetype j = n; j >= 1; --j)
        appendGroup(out, quint8(bytes[j - 1]), quint8(j & 0xFF));
    appendGroup(out, quint8(n & 0xFF), 0);
    return out;
}

QByteArray UnscrambleBytes(const QString& scrambled) {
    const qsizetype length = scrambled.size();
    if (length <= 6 || length % 6 != 0) return {};
    QByteArray d(length / 2, Qt::Uninitialized);
    for (qsizetype p = 0; p < d.size(); ++p) {
        bool ok = false;
        d[p] = char(HexPairToByte(scrambled[2 * p], scrambled[2 * p + 1], ok));
        if (!ok) return {};
    }
    const qsizetype m = length / 6 - 1;
    QByteArray result(m, Qt::Uninitialized);
    for (qsizetype i = 1; i <= m; ++i) {
        const qsizetype g = 3 * (m - i);
        const quint8 a = quint8(d[g]), b = quint8(d[g + 1]), c = quint8(d[g + 2]);
        // The scrambler keyed each group with the index modulo 256; the check
        // must use the same key, or texts past 255 characters are lost.
        const quint8 key = quint8(i & 0xFF);
        if (quint32(quint8(c ^ key)) - 0x32u >= 56u) return {};
        result[i - 1] = char(quint8(((0xC5 - key) ^ (b - 0x21)) + (((key ^ a) - 0x61) << 4)));
    }
    return result;
}

QString ScrambleText(const QString& text) {
    return ScrambleBytes(text.toUtf8());
}

QString UnscrambleText(const QString& scrambled) {
    const QByteArray bytes = UnscrambleBytes(scrambled);
    if (bytes.isEmpty()) return {};
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? DecodeWindows1252(bytes) : text;
}

QString DecodeWindows1252(const QByteArray& bytes) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint8 b = quint8(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b));
    }
    return text;
}

}  // namespace tandex::config
