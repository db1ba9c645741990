#pragma once
// FTP through a proxy: the seven login kinds of FTP proxies and firewalls,
// and the HTTP CONNECT tunnel. A login kind is a list of lines the client
// sends in place of its plain USER and PASS; which of them carry a
// password is marked so no log ever shows one.

#include "access/ftp_reply.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace tandex::access {

// The FTP proxy kinds of the settings, in their stored order.
enum TFtpProxyKind {
    fpcmNone = -1,
    fpcmUserSite = 0,
    fpcmSite,
    fpcmOpen,
    fpcmUserPass,
    fpcmTransparent,
    fpcmUserHostFireWallID,
    fpcmNovellBorder,
    fpcmHttpConnect,  // the CONNECT tunnel of an HTTP proxy
};

struct TFtpProxy {
    int kind = fpcmNone;
    QString host;
    quint16 port = 0;
    QString user;
    QString password;  // plain, unscrambled at the moment of use
};

struct TFtpLoginLine {
    QString command;
    bool secret = false;  // carries a password
};

// The lines that log in to host:port as user with password through the
// proxy; plain USER and PASS for no proxy and for the tunnel.
QList<TFtpLoginLine> FZFtpLoginLines(const TFtpProxy& proxy, const QString& host, quint16 port,
                                     const QString& user, const QString& password);

// Sends the login lines through send, which returns the reply to each. A
// password line is left out once the line before it logged in; a refused
// line throws 99990 with its reply before anything further is sent, and so
// does a login that ends without being logged in. Returns the last reply.
TFtpReply FZRunFtpLogin(const QList<TFtpLoginLine>& lines,
                        const std::function<TFtpReply(const QString&)>& send);

// Whether the control connection goes to the proxy rather than the site.
bool FZFtpProxyIsPeer(const TFtpProxy& proxy);

// The proxy of the settings; kind none with the proxy off.
TFtpProxy FZFtpProxyFromSettings();

}  // namespace tandex::access
