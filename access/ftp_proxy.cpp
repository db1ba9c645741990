#include "access/ftp_proxy.h"

#include "config/app_settings.h"
#include "config/scrambler.h"

namespace tandex::access {

QList<TFtpLoginLine> FZFtpLoginLines(const TFtpProxy& proxy, const QString& host, quint16 port,
                                     const QString& user, const QString& password) {
    const QString h = port == 21 ? host : host + QLatin1Char(':') + QString::number(port);
    const QString& pu = proxy.user;
    const QString& pp = proxy.password;
    QList<TFtpLoginLine> lines;
    const auto add = [&lines](const QString& command, bool secret = false) {
        lines.append({command, secret});
    };
    const auto proxyLogin = [&] {
        if (pu.isEmpty()) return;
        add(QStringLiteral("USER ") + pu);
        add(QStringLiteral("PASS ") + pp, true);
    };
    const auto siteLogin = [&](const QString& name) {
        add(QStringLiteral("USER ") + name);
        add(QStringLiteral("PASS ") + password, true);
    };
    switch (proxy.kind) {
        case fpcmUserSite:
            proxyLogin();
            siteLogin(user + QLatin1Char('@') + h);
            break;
        case fpcmSite:
        case fpcmOpen:
            proxyLogin();
            add((proxy.kind == fpcmSite ? QStringLiteral("SITE ") : QStringLiteral("OPEN ")) + h);
            siteLogin(user);
            break;
        case fpcmUserPass:
            add(QStringLiteral("USER ") + user + QLatin1Char('@') + pu + QLatin1Char('@') + h);
            add(QStringLiteral("PASS ") + password + QLatin1Char('@') + pp, true);
            break;
        case fpcmTransparent:
            proxyLogin();
            siteLogin(user);
            break;
        case fpcmUserHostFireWallID:
            siteLogin(user + QLatin1Char('@') + h + QLatin1Char(' ') + pu);
            add(QStringLiteral("ACCT ") + pp, true);
            break;
        case fpcmNovellBorder:
            add(QStringLiteral("USER ") + user + QLatin1Char('@') + h + QLatin1Char(' ') + pu);
            add(QStringLiteral("PASS ") + password + QLatin1Char(' ') + pp, true);
            break;
        default:
            siteLogin(user);
            break;
    }
    return lines;
}

TFtpReply FZRunFtpLogin(const QList<TFtpLoginLine>& lines,
                        const std::function<TFtpReply(const QString&)>& send) {
    TFtpReply reply;
    const auto loggedIn = [&reply] { return reply.code == 230 || reply.code == 202; };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0 && lines[i].secret && loggedIn()) continue;
        reply = send(lines[i].command);
        if (reply.code < 200 || reply.code >= 400) throw EFtpError(99990, reply.text());
    }
    if (!loggedIn()) throw EFtpError(99990, reply.text());
    return reply;
}

bool FZFtpProxyIsPeer(const TFtpProxy& proxy) {
    return proxy.kind >= fpcmUserSite && proxy.kind <= fpcmNovellBorder &&
           proxy.kind != fpcmTransparent;
}

TFtpProxy FZFtpProxyFromSettings() {
    const config::TAppSettings& s = config::AppSettings();
    TFtpProxy proxy;
    if (!s.ProxyEnable || s.ProxyFtpType < fpcmUserSite || s.ProxyFtpType > fpcmHttpConnect)
        return proxy;
    proxy.kind = s.ProxyFtpType;
    const bool http = proxy.kind == fpcmHttpConnect || s.ProxyIsSame;
    proxy.host = http ? s.ProxyHttpServer : s.ProxyFtpServer;
    const int port = http ? s.ProxyHttpPort : s.ProxyFtpPort;
    proxy.port = port > 0 && port <= 65535 ? quint16(port) : 0;
    proxy.user = http ? s.ProxyHttpUser : s.ProxyFtpUser;
    proxy.password = config::UnscrambleText(http ? s.ProxyHttpPW : s.ProxyFtpPW);
    return proxy;
}

}  // namespace tandex::access
