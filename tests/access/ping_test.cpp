#include "access/ping.h"

#include "access/access_slots.h"
#include "access/file_ops.h"
#include "access/locations.h"
#include "config/services.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

using namespace tandex::access;

namespace {

quint32 loopback() {
    return htonl(INADDR_LOOPBACK);
}

class Ping : public ::testing::Test {
protected:
    void TearDown() override {
        FZSetPingHooks({});
        FZSetPingOptions(false, 1, 2000);
        FZSetMountTableSource(QString());
    }
};

TEST_F(Ping, LoopbackAnswersByNameAndAddress) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), loopback());
    EXPECT_EQ(ResolveHost("localhost"), loopback());
    EXPECT_EQ(ResolveHost(""), 0u);
    EXPECT_TRUE(PingHost("127.0.0.1", 1, 2000));
    EXPECT_TRUE(PingHost("localhost", 0, 2000));
}

TEST_F(Ping, EachEchoPathReachesLoopback) {
    // The TCP connect counts an accept and a refusal alike.
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost, 0));
    const quint16 open = listening.serverPort();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closed = probe.serverPort();
    probe.close();
    EXPECT_EQ(FZEcho(loopback(), 2000, TPingPath::Tcp, open), TEchoResult::Answered);
    EXPECT_EQ(FZEcho(loopback(), 2000, TPingPath::Tcp, closed), TEchoResult::Answered);

    for (TPingPath path : {TPingPath::IcmpDatagram, TPingPath::IcmpRaw}) {
        const TEchoResult r = FZEcho(loopback(), 2000, path, 0);
        if (r == TEchoResult::Unavailable) {
            std::printf("ICMP %s socket refused by this system: that path is not run\n",
                        path == TPingPath::IcmpRaw ? "raw" : "datagram");
            continue;
        }
        EXPECT_EQ(r, TEchoResult::Answered);
    }
}

TEST_F(Ping, EmptyHostIsFalseAtOnce) {
    int resolutions = 0;
    FZSetPingHooks({[&](const QString&) { return ++resolutions, 0u; }, nullptr, nullptr});
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(PingHost("", 3, 2000));
    EXPECT_LT(timer.elapsed(), 50);
    EXPECT_EQ(resolutions, 0);
}

TEST_F(Ping, AttemptsAreBounded) {
    int resolutions = 0, echoes = 0;
    std::vector<int> pauses;
    const auto countEcho = [&](quint32, int timeout, quint16) {
        EXPECT_EQ(timeout, 300);
        return ++echoes, false;
    };
    const auto countPause = [&](int ms) { pauses.push_back(ms); };

    // An unknown host with tries 2: three resolutions, three pauses, no echo.
    FZSetPingHooks({[&](const QString&) { return ++resolutions, 0u; }, countEcho, countPause});
    EXPECT_FALSE(PingHost("nowhere.invalid", 2, 300));
    EXPECT_EQ(resolutions, 3);
    EXPECT_EQ(pauses, (std::vector<int>{100, 100, 100}));
    EXPECT_EQ(echoes, 0);

    // A silent server with tries 1: two echoes; tries 0 or less: one.
    FZSetPingHooks({[](const QString&) { return 0x0100000au; }, countEcho, countPause});
    EXPECT_FALSE(PingHost("silent", 1, 300));
    EXPECT_EQ(echoes, 2);
    echoes = 0;
    EXPECT_FALSE(PingHost("silent", -1, 300));
    EXPECT_EQ(echoes, 1);
}

TEST_F(Ping, ShareCheckPingsTheServerOnlyWhenOn) {
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/share/sub");
    const QString table = dir.path() + "/mountinfo";
    QFile f(table);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("36 25 0:32 / " + QFile::encodeName(dir.path() + "/share") +
            " rw - nfs4 fileserver:/export rw\n");
    f.close();
    FZSetMountTableSource(table);

    std::vector<quint16> ports;
    FZSetPingHooks({[](const QString&) { return 0x0100000au; },
                    [&](quint32, int, quint16 port) { return ports.push_back(port), false; },
                    [](int) {}});
    EXPECT_EQ(FZCheckPath("//fileserver/export/sub/"), 0);
    EXPECT_TRUE(ports.empty());

    FZSetPingOptions(true, 1, 100);
    EXPECT_EQ(FZCheckPath("//fileserver/export/sub/"), 53);
    EXPECT_EQ(ports, (std::vector<quint16>{2049, 2049}));

    // A local folder is never pinged.
    ports.clear();
    EXPECT_EQ(FZCheckPath(dir.path() + "/"), 0);
    EXPECT_TRUE(ports.empty());
}

TEST_F(Ping, EchoReplyReaderChecksKindIdentifierAndSequence) {
    const unsigned char reply[] = {0, 0, 0, 0, 0x12, 0x34, 0x00, 0x07};
    EXPECT_TRUE(FZIsEchoReply(reply, 8, false, 0x1234, 7));
    EXPECT_FALSE(FZIsEchoReply(reply, 8, false, 0x1234, 8));
    EXPECT_FALSE(FZIsEchoReply(reply, 8, false, 0x1235, 7));
    EXPECT_FALSE(FZIsEchoReply(reply, 7, false, 0x1234, 7));
    const unsigned char request[] = {8, 0, 0, 0, 0x12, 0x34, 0x00, 0x07};
    EXPECT_FALSE(FZIsEchoReply(request, 8, false, 0x1234, 7));
    unsigned char withHeader[28] = {0x45};
    std::memcpy(withHeader + 20, reply, 8);
    EXPECT_TRUE(FZIsEchoReply(withHeader, 28, true, 0x1234, 7));
    withHeader[0] = 0x4f;  // a header longer than the datagram
    EXPECT_FALSE(FZIsEchoReply(withHeader, 28, true, 0x1234, 7));
}

}  // namespace
