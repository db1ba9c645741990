#pragma once
// OAuth 1.0 client side: the consumer and token pairs, a request with its
// parameter list, the percent-encoding, nonce and timestamp, the signature
// base string and the HMAC-SHA1 signature. The cloud client signs its
// three login requests with these classes; everything later uses the
// PLAINTEXT method, which the client writes itself.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tandex::access {

class TOAuthConsumer {
public:
    TOAuthConsumer() = default;
    TOAuthConsumer(const QString& key, const QString& secret) : Key(key), Secret(secret) {}
    void SetKey(const QString& key) { Key = key; }
    void SetSecret(const QString& secret) { Secret = secret; }

    QString Key;
    QString Secret;
};

class TOAuthToken {
public:
    TOAuthToken() = default;
    TOAuthToken(const QString& key, const QString& secret) : Key(key), Secret(secret) {}
    virtual ~TOAuthToken() = default;
    void SetKey(const QString& key) { Key = key; }
    void SetSecret(const QString& secret) { Secret = secret; }
    virtual QString AsString() const;

    QString Key;
    QString Secret;
};

class TOAuthRequest;

class TOAuthSignatureMethod {
public:
    virtual ~TOAuthSignatureMethod() = default;
    virtual QString GetName() const = 0;
    virtual QString GetSignature(TOAuthRequest& request, const TOAuthConsumer& consumer,
                                 const TOAuthToken* token) const = 0;
};

class TOAuthSignatureMethod_HMAC_SHA1 : public TOAuthSignatureMethod {
public:
    QString GetName() const override;
    QString GetSignature(TOAuthRequest& request, const TOAuthConsumer& consumer,
                         const TOAuthToken* token) const override;
};

class TOAuthRequest {
public:
    explicit TOAuthRequest(const QString& address = QString());

    // Splits the address into scheme ("https://"), host (port included, up
    // to the first "/" behind the scheme), path (up to the "?") and query.
    void SetUrl(const QString& address);
    TOAuthRequest& FromConsumerAndToken(const TOAuthConsumer& consumer, const TOAuthToken* token);
    void SignRequest(const TOAuthSignatureMethod& method, const TOAuthConsumer& consumer,
                     const TOAuthToken* token);
    QString BuildSignature(const TOAuthSignatureMethod& method, const TOAuthConsumer& consumer,
                           const TOAuthToken* token);

    static QString GenerateNonce();
    static QString GenerateTimestamp();

    // The items "name=value", unencoded, in sending order.
    QStringList Params;
    QString Url;
    QString Scheme;
    QString Host;
    QString Path;
    QString Query;
    QString Version = QStringLiteral("1.0");
    QString BaseString;  // of the last signing
    QString ParamText;   // the items joined for sending
    QString HttpMethod;  // empty means GET
};

class TOAuthUtil {
public:
    static QString UrlEncode(const QString& text);
};

// Keeps A-Z, a-z, 0-9, "-", ".", "_", "~"; everything else becomes "%" and
// the character code in upper-case hexadecimal, at least two digits.
QString PercentEncode(const QString& text);
QByteArray HmacSha1(const QByteArray& message, const QByteArray& key);
QString Base64Encode(const QByteArray& bytes);
// Whole seconds since 1970-01-01 00:00:00 UTC, whatever the time zone.
qint64 ToUnixTime(const QDateTime& time);

}  // namespace tandex::access
