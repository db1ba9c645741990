#include "access/ftp_proxy.h"
#include "ftp_login_fuzz_check.h"
#include "config/app_settings.h"
#include "config/scrambler.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

using namespace tandex::access;
namespace fuzz = tandex::access::fuzz;

namespace {

QStringList linesOf(int kind, const QString& proxyUser, quint16 port = 2121) {
    TFtpProxy proxy;
    proxy.kind = kind;
    proxy.user = proxyUser;
    proxy.password = "pp";
    QStringList out;
    for (const TFtpLoginLine& line : FZFtpLoginLines(proxy, "site.example", port, "u", "w"))
        out << line.command;
    return out;
}

}  // namespace

TEST(FtpProxyLogin, EveryKindSendsItsLinesWithAndWithoutAProxyUser) {
    const QString h = "site.example:2121";
    struct Case {
        int kind;
        QStringList withUser, withoutUser;
    };
    const Case cases[] = {
        {fpcmNone, {"USER u", "PASS w"}, {"USER u", "PASS w"}},
        {fpcmUserSite, {"USER pu", "PASS pp", "USER u@" + h, "PASS w"}, {"USER u@" + h, "PASS w"}},
        {fpcmSite, {"USER pu", "PASS pp", "SITE " + h, "USER u", "PASS w"}, {"SITE " + h, "USER u", "PASS w"}},
        {fpcmOpen, {"USER pu", "PASS pp", "OPEN " + h, "USER u", "PASS w"}, {"OPEN " + h, "USER u", "PASS w"}},
        {fpcmUserPass, {"USER u@pu@" + h, "PASS w@pp"}, {"USER u@@" + h, "PASS w@pp"}},
        {fpcmTransparent, {"USER pu", "PASS pp", "USER u", "PASS w"}, {"USER u", "PASS w"}},
        {fpcmUserHostFireWallID, {"USER u@" + h + " pu", "PASS w", "ACCT pp"}, {"USER u@" + h + " ", "PASS w", "ACCT pp"}},
        {fpcmNovellBorder, {"USER u@" + h + " pu", "PASS w pp"}, {"USER u@" + h + " ", "PASS w pp"}},
        {fpcmHttpConnect, {"USER u", "PASS w"}, {"USER u", "PASS w"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(linesOf(c.kind, "pu"), c.withUser) << "kind " << c.kind;
        EXPECT_EQ(linesOf(c.kind, ""), c.withoutUser) << "kind " << c.kind;
    }
    EXPECT_EQ(linesOf(fpcmSite, "pu", 21)[2], "SITE site.example");
}

TEST(FtpProxyLogin, OnlyLinesWithAPasswordAreSecret) {
    for (int kind = fpcmNone; kind <= fpcmHttpConnect; ++kind) {
        TFtpProxy proxy;
        proxy.kind = kind;
        proxy.user = "pu";
        proxy.password = "pp";
        for (const TFtpLoginLine& line : FZFtpLoginLines(proxy, "h", 21, "u", "w")) {
            const bool holdsPassword = line.command.contains("pp") || line.command.endsWith(" w") ||
                                       line.command.contains(" w@") || line.command.contains(" w ");
            EXPECT_EQ(line.secret, holdsPassword) << qPrintable(line.command);
        }
    }
}

TEST(FtpProxyLogin, SettingsChooseTheProxyAndItsCredentials) {
    auto& s = tandex::config::AppSettings();
    const auto saved = s;
    s.ProxyEnable = true;
    s.ProxyHttpServer = "http.proxy";
    s.ProxyHttpPort = 3128;
    s.ProxyHttpUser = "hu";
    s.ProxyHttpPW = tandex::config::ScrambleText("hp");
    s.ProxyFtpServer = "ftp.proxy";
    s.ProxyFtpPort = 2100;
    s.ProxyFtpUser = "fu";
    s.ProxyFtpPW = tandex::config::ScrambleText("fp");

    s.ProxyFtpType = fpcmOpen;
    s.ProxyIsSame = false;
    TFtpProxy p = FZFtpProxyFromSettings();
    EXPECT_EQ(p.kind, fpcmOpen);
    EXPECT_EQ(p.host, "ftp.proxy");
    EXPECT_EQ(p.port, 2100);
    EXPECT_EQ(p.user, "fu");
    EXPECT_EQ(p.password, "fp");
    EXPECT_TRUE(FZFtpProxyIsPeer(p));

    s.ProxyIsSame = true;
    p = FZFtpProxyFromSettings();
    EXPECT_EQ(p.host, "http.proxy");
    EXPECT_EQ(p.port, 3128);
    EXPECT_EQ(p.user, "hu");
    EXPECT_EQ(p.password, "hp");

    s.ProxyFtpType = fpcmHttpConnect;
    s.ProxyIsSame = false;
    p = FZFtpProxyFromSettings();
    EXPECT_EQ(p.kind, fpcmHttpConnect);
    EXPECT_EQ(p.host, "http.proxy");
    EXPECT_EQ(p.password, "hp");
    EXPECT_FALSE(FZFtpProxyIsPeer(p));

    s.ProxyFtpType = fpcmTransparent;
    EXPECT_FALSE(FZFtpProxyIsPeer(FZFtpProxyFromSettings()));

    s.ProxyEnable = false;
    EXPECT_EQ(FZFtpProxyFromSettings().kind, fpcmNone);
    s = saved;
}

TEST(FtpProxyLogin, KeptFuzzInputsStayHandled) {
    const QDir data(TANDEX_TEST_DATA);
    const QStringList files = data.entryList({"ftp-login-*"}, QDir::Files);
    EXPECT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(fuzz::runFtpLogin(f.readAll()), QString()) << qPrintable(name);
    }
}

TEST(FtpProxyLogin, PasswordsFollowOnlyTheLinesThatAskForThem) {
    TFtpProxy proxy;
    proxy.kind = fpcmSite;
    proxy.user = "pu";
    proxy.password = "pp";
    const QList<TFtpLoginLine> lines = FZFtpLoginLines(proxy, "h", 21, "u", "w");
    struct Case {
        QList<int> replies;
        QStringList sent;
        int error;  // 0: logged in
    };
    const Case cases[] = {
        {{331, 230, 220, 331, 230}, {"USER pu", "PASS pp", "SITE h", "USER u", "PASS w"}, 0},
        {{230, 200, 230}, {"USER pu", "SITE h", "USER u"}, 0},
        {{331, 230, 500}, {"USER pu", "PASS pp", "SITE h"}, 99990},
        {{331, 530}, {"USER pu", "PASS pp"}, 99990},
        {{331, 230, 200, 331, 331}, {"USER pu", "PASS pp", "SITE h", "USER u", "PASS w"}, 99990},
    };
    for (const Case& c : cases) {
        QStringList sent;
        int error = 0;
        try {
            FZRunFtpLogin(lines, [&](const QString& line) {
                TFtpReply reply;
                reply.code = c.replies.value(sent.size(), 421);
                reply.lines = {QString::number(reply.code) + " x"};
                sent << line;
                return reply;
            });
        } catch (const EFtpError& e) {
            error = e.code();
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(error, c.error);
    }
}
