#include "access/oauth.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include <cstdlib>
#include <ctime>

using namespace tandex::access;

namespace {

// A request signed with a fixed nonce and timestamp, as oauthlib signs it.
QString signFixed(TOAuthRequest& request, const TOAuthConsumer& consumer,
                  const TOAuthToken* token) {
    request.FromConsumerAndToken(consumer, token);
    request.Params[1] = QStringLiteral("oauth_nonce=ABC");
    request.Params[2] = QStringLiteral("oauth_timestamp=1323076023");
    request.SignRequest(TOAuthSignatureMethod_HMAC_SHA1(), consumer, token);
    return request.Params[3].mid(QStringLiteral("oauth_signature=").size());
}

}  // namespace

TEST(OAuth, SignaturesMatchOauthlibVectors) {
    struct Case {
        QString url, base, signature;
    };
    const Case cases[] = {
        {"https://api.example.com/1/oauth/request_token",
         "GET&https%3A%2F%2Fapi.example.com%2F1%2Foauth%2Frequest_token&oauth_consumer_key%3Dkey%26"
         "oauth_nonce%3DABC%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1323076023%26"
         "oauth_version%3D1.0",
         "iHWA6tc/oZN8nqDvdbPCoOvc/Qo="},
        // The host keeps its port: the address has no ".com" to end it at.
        {"https://127.0.0.1:8443/1/oauth/request_token",
         "GET&https%3A%2F%2F127.0.0.1%3A8443%2F1%2Foauth%2Frequest_token&oauth_consumer_key%3Dkey%26"
         "oauth_nonce%3DABC%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1323076023%26"
         "oauth_version%3D1.0",
         "vapbLUGIXSPotMFZJQzE8teXitM="},
    };
    const TOAuthConsumer consumer("key", "secret");
    for (const Case& c : cases) {
        TOAuthRequest request;
        request.SetUrl(c.url);
        const QString encoded = signFixed(request, consumer, nullptr);
        EXPECT_EQ(request.BaseString, c.base) << c.url.toStdString();
        EXPECT_EQ(encoded, TOAuthUtil::UrlEncode(c.signature)) << c.url.toStdString();
        EXPECT_EQ(request.ParamText,
                  "oauth_consumer_key=key&oauth_nonce=ABC&oauth_signature_method=HMAC-SHA1&"
                  "oauth_signature=" + encoded + "&oauth_timestamp=1323076023&oauth_version=1.0");
    }
}

TEST(OAuth, TokenAndQueryEnterTheSignature) {
    const TOAuthConsumer consumer("key", "secret");
    const TOAuthToken token("tkey", "tsecret");
    TOAuthRequest request;
    request.SetUrl("https://www.example.com/1/oauth/authorize?oauth_token=x");
    signFixed(request, consumer, &token);
    EXPECT_TRUE(request.BaseString.contains("%26oauth_token%3Dx%26")) << request.BaseString.toStdString();
    EXPECT_TRUE(request.BaseString.contains("oauth_token%3Dtkey"));
    EXPECT_EQ(request.Params[5], "oauth_token=tkey");
    // The key is both secrets; without a token it ends in "&".
    EXPECT_EQ(request.Params[3], "oauth_signature=" +
                                     TOAuthUtil::UrlEncode(Base64Encode(HmacSha1(
                                         request.BaseString.toLatin1(), "secret&tsecret"))));
    TOAuthRequest bare("https://www.example.com/x");
    const QString signature = bare.BuildSignature(TOAuthSignatureMethod_HMAC_SHA1(), consumer, nullptr);
    EXPECT_EQ(signature, Base64Encode(HmacSha1(bare.BaseString.toLatin1(), "secret&")));
}

TEST(OAuth, UrlEncodeKeepsOnlyUnreservedCharacters) {
    const std::pair<QString, QString> cases[] = {
        {"a b&c=d/e~f", "a%20b%26c%3Dd%2Fe~f"},
        {"1+1", "1%2B1"},
        {QString(QChar(228)), "%E4"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"k=v/w+x=", "k%3Dv%2Fw%2Bx%3D"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(TOAuthUtil::UrlEncode(in), out);
}

TEST(OAuth, SetUrlSplitsAtTheFirstSlashBehindTheScheme) {
    struct Case {
        QString url, scheme, host, path, query;
    };
    const Case cases[] = {
        {"https://api.example.com/1/a?x=1&y=2", "https://", "api.example.com", "/1/a", "x=1&y=2"},
        {"https://127.0.0.1:8443/1/b", "https://", "127.0.0.1:8443", "/1/b", ""},
        {"https://host.example.com", "https://", "host.example.com", "", ""},
    };
    for (const Case& c : cases) {
        TOAuthRequest r(c.url);
        EXPECT_EQ(r.Scheme, c.scheme);
        EXPECT_EQ(r.Host, c.host);
        EXPECT_EQ(r.Path, c.path);
        EXPECT_EQ(r.Query, c.query);
    }
}

TEST(OAuth, NoncesAreRandomAndTimestampsAreUtcSeconds) {
    const QString a = TOAuthRequest::GenerateNonce(), b = TOAuthRequest::GenerateNonce();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, b);

    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    for (const char* zone : {"UTC", "Europe/Berlin"}) {
        setenv("TZ", zone, 1);
        tzset();
        const qint64 before = std::time(nullptr);
        const qint64 stamp = TOAuthRequest::GenerateTimestamp().toLongLong();
        EXPECT_GE(stamp, before) << zone;
        EXPECT_LE(stamp, std::time(nullptr)) << zone;
        // Midsummer noon in Berlin is 10:00 UTC.
        EXPECT_EQ(ToUnixTime(QDateTime(QDate(2011, 7, 1), QTime(10, 0), QTimeZone::utc())),
                  1309514400);
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
