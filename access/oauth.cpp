#include "access/oauth.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace tandex::access {

namespace {

bool unreserved(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

}  // namespace

QString PercentEncode(const QString& text) {
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (unreserved(c))
            out += ch;
        else
            out += QLatin1Char('%') + QString::number(c, 16).toUpper().rightJustified(2, u'0');
    }
    return out;
}

QString TOAuthUtil::UrlEncode(const QString& text) {
    return PercentEncode(text);
}

QByteArray HmacSha1(const QByteArray& message, const QByteArray& key) {
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha1);
}

QString Base64Encode(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

qint64 ToUnixTime(const QDateTime& time) {
    return time.toSecsSinceEpoch();
}

QString TOAuthToken::AsString() const {
    return QStringLiteral("oauth_token=") + Key + QStringLiteral("&oauth_token_secret=") + Secret;
}

QString TOAuthSignatureMethod_HMAC_SHA1::GetName() const {
    return QStringLiteral("HMAC-SHA1");
}

QString TOAuthSignatureMethod_HMAC_SHA1::GetSignature(TOAuthRequest& request,
                                                      const TOAuthConsumer& consumer,
                                                      const TOAuthToken* token) const {
    QStringList items = request.Query.split(QRegularExpression(QStringLiteral("[& ]")),
                                            Qt::SkipEmptyParts);
    items += request.Params;
    // Whole items in case-insensitive order; for the names this client sends
    // that is the byte order of names that OAuth asks for.
    std::sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    items.erase(std::unique(items.begin(), items.end()), items.end());
    QStringList encoded;
    encoded.reserve(items.size());
    for (const QString& item : items) encoded += TOAuthUtil::UrlEncode(item);

    const QString method = request.HttpMethod.isEmpty() ? QStringLiteral("GET") : request.HttpMethod;
    request.BaseString = method + QLatin1Char('&') + TOAuthUtil::UrlEncode(request.Scheme) +
                         TOAuthUtil::UrlEncode(request.Host) + TOAuthUtil::UrlEncode(request.Path) +
                         QLatin1Char('&') + encoded.join(QStringLiteral("%26"));
    const QString key = TOAuthUtil::UrlEncode(consumer.Secret) + QLatin1Char('&') +
                        (token ? TOAuthUtil::UrlEncode(token->Secret) : QString());
    return Base64Encode(HmacSha1(request.BaseString.toLatin1(), key.toLatin1()));
}

TOAuthRequest::TOAuthRequest(const QString& address) {
    SetUrl(address);
}

void TOAuthRequest::SetUrl(const QString& address) {
    Url = address;
    // The host ends at the first "/" behind the scheme, so a port and any
    // top-level domain stay in it.
    const qsizetype schemeEnd = address.indexOf(QStringLiteral("://"));
    const qsizetype hostStart = schemeEnd < 0 ? 0 : schemeEnd + 3;
    qsizetype queryStart = address.indexOf(QLatin1Char('?'), hostStart);
    if (queryStart < 0) queryStart = address.size();
    qsizetype pathStart = address.indexOf(QLatin1Char('/'), hostStart);
    if (pathStart < 0 || pathStart > queryStart) pathStart = queryStart;
    Scheme = address.left(hostStart);
    Host = address.mid(hostStart, pathStart - hostStart);
    Path = address.mid(pathStart, queryStart - pathStart);
    Query = address.mid(queryStart + 1);
}

TOAuthRequest& TOAuthRequest::FromConsumerAndToken(const TOAuthConsumer& consumer,
                                                   const TOAuthToken* token) {
    Params.clear();
    Params << QStringLiteral("oauth_consumer_key=") + consumer.Key
           << QStringLiteral("oauth_nonce=") + GenerateNonce()
           << QStringLiteral("oauth_timestamp=") + GenerateTimestamp();
    if (token) Params << QStringLiteral("oauth_token=") + token->Key;
    Params << QStringLiteral("oauth_version=") + Version;
    return *this;
}

QString TOAuthRequest::BuildSignature(const TOAuthSignatureMethod& method,
                                      const TOAuthConsumer& consumer, const TOAuthToken* token) {
    return method.GetSignature(*this, consumer, token);
}

void TOAuthRequest::SignRequest(const TOAuthSignatureMethod& method,
                                const TOAuthConsumer& consumer, const TOAuthToken* token) {
    Params.insert(qMin<qsizetype>(2, Params.size()),
                  QStringLiteral("oauth_signature_method=") + method.GetName());
    const QString signature = BuildSignature(method, consumer, token);
    Params.insert(qMin<qsizetype>(3, Params.size()),
                  QStringLiteral("oauth_signature=") + TOAuthUtil::UrlEncode(signature));
    ParamText = Params.join(QLatin1Char('&'));
}

QString TOAuthRequest::GenerateNonce() {
    // Random rather than derived from the clock: two requests within one
    // second must not share a nonce, or the server takes the second for a
    // replay.
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
               QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex())
        .toUpper();
}

QString TOAuthRequest::GenerateTimestamp() {
    return QString::number(ToUnixTime(QDateTime::currentDateTimeUtc()));
}

}  // namespace tandex::access
