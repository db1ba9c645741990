#include "access/ping.h"

#include "access/locations.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace tandex::access {

namespace {

struct PingUnit {
    std::mutex mutex;  // the options and hooks
    bool on = false;
    int tries = 1;
    int timeoutMs = 2000;
    TPingHooks hooks;
    std::atomic<quint16> sequence{0};
};

PingUnit& unit() {
    static PingUnit u;
    return u;
}

TPingHooks hooks() {
    std::lock_guard lock(unit().mutex);
    return unit().hooks;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

quint16 checksum(const unsigned char* data, size_t size) {
    quint32 sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) sum += quint32(data[i] << 8 | data[i + 1]);
    if (size & 1) sum += quint32(data[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

TEchoResult icmpEcho(quint32 address, int timeoutMs, bool raw) {
    Fd fd(::socket(AF_INET, (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (fd.get() < 0) return TEchoResult::Unavailable;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    const quint16 sequence = ++unit().sequence;
    // A datagram socket's identifier is the kernel's, which it puts in
    // place of ours; a raw socket keeps ours.
    quint16 identifier = quint16(::getpid() ^ (quintptr(&fd) >> 4));
    unsigned char request[8] = {8, 0, 0, 0, quint8(identifier >> 8), quint8(identifier),
                                quint8(sequence >> 8), quint8(sequence)};
    const quint16 sum = checksum(request, sizeof request);
    request[2] = quint8(sum >> 8);
    request[3] = quint8(sum);
    if (::sendto(fd.get(), request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0)
        return errno == EPERM || errno == EACCES ? TEchoResult::Unavailable : TEchoResult::Silent;
    if (!raw) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return TEchoResult::Silent;
        identifier = ntohs(local.sin_port);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char reply[1500];
    for (;;) {
        pollfd p{fd.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return TEchoResult::Silent;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd.get(), reply, sizeof reply, 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        // Echoes to other programs and from other hosts reach a raw socket too.
        if (n > 0 && from.sin_addr.s_addr == address &&
            FZIsEchoReply(reply, n, raw, identifier, sequence))
            return TEchoResult::Answered;
        if (msLeft(deadline) == 0) return TEchoResult::Silent;
    }
}

TEchoResult tcpEcho(quint32 address, int timeoutMs, quint16 port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return TEchoResult::Unavailable;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons(port);
    int error = 0;
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            pollfd p{fd.get(), POLLOUT, 0};
            int ready;
            while ((ready = ::poll(&p, 1, msLeft(deadline))) < 0 && errno == EINTR) {
            }
            if (ready <= 0) return TEchoResult::Silent;
            socklen_t length = sizeof error;
            ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length);
        }
    }
    // A refusal comes from the server itself.
    return error == 0 || error == ECONNREFUSED ? TEchoResult::Answered : TEchoResult::Silent;
}

quint16 servicePort(const QString& path, const QString& host) {
    QString local;
    FZLocalPathOf(path, local);
    const TFZMount* best = nullptr;
    const std::vector<TFZMount> mounts = FZMountTable();
    for (const TFZMount& m : mounts) {
        if (m.host.compare(host, Qt::CaseInsensitive) != 0) continue;
        if (!best || (local.startsWith(m.mountPoint) &&
                      m.mountPoint.size() > best->mountPoint.size()))
            best = &m;
    }
    if (best) {
        if (best->fsType.startsWith(QLatin1String("nfs"))) return 2049;
        if (best->fsType == QLatin1String("fuse.sshfs")) return 22;
    }
    return 445;
}

}  // namespace

quint32 ResolveHost(const QString& host) {
    const QByteArray name = host.toUtf8();
    if (name.isEmpty()) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &answer) != 0 || !answer) return 0;
    const quint32 address = reinterpret_cast<sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(answer);
    return address;
}

TEchoResult FZEcho(quint32 address, int timeoutMs, TPingPath path, quint16 port) {
    switch (path) {
        case TPingPath::IcmpDatagram:
            return icmpEcho(address, timeoutMs, false);
        case TPingPath::IcmpRaw:
            return icmpEcho(address, timeoutMs, true);
        case TPingPath::Tcp:
            return tcpEcho(address, timeoutMs, port);
        case TPingPath::Any:
            break;
    }
    for (TPingPath p : {TPingPath::IcmpDatagram, TPingPath::IcmpRaw, TPingPath::Tcp}) {
        const TEchoResult r = FZEcho(address, timeoutMs, p, port);
        if (r != TEchoResult::Unavailable) return r;
    }
    return TEchoResult::Unavailable;
}

bool FZIsEchoReply(const unsigned char* data, qsizetype size, bool withIpHeader,
                   quint16 identifier, quint16 sequence) {
    if (!data || size <= 0) return false;
    if (withIpHeader) {
        if ((data[0] >> 4) != 4) return false;
        const qsizetype headerSize = qsizetype(data[0] & 0x0f) * 4;
        if (headerSize < 20 || headerSize > size) return false;
        data += headerSize;
        size -= headerSize;
    }
    return size >= 8 && data[0] == 0 && data[1] == 0 &&
           quint16(data[4] << 8 | data[5]) == identifier &&
           quint16(data[6] << 8 | data[7]) == sequence;
}

bool PingHost(const QString& host, int tries, int timeoutMs, quint16 port) {
    if (host.isEmpty()) return false;
    const TPingHooks h = hooks();
    const int attempts = tries <= 0 ? 1 : tries + 1;
    for (int i = 0; i < attempts; ++i) {
        const quint32 address = h.resolve ? h.resolve(host) : ResolveHost(host);
        if (address == 0) {
            if (h.pause)
                h.pause(100);
            else
                QThread::msleep(100);
            continue;
        }
        if (h.echo ? h.echo(address, timeoutMs, port)
                   : FZEcho(address, timeoutMs, TPingPath::Any, port) == TEchoResult::Answered)
            return true;
    }
    return false;
}

void FZSetPingOptions(bool on, int tries, int timeoutMs) {
    std::lock_guard lock(unit().mutex);
    unit().on = on;
    unit().tries = tries;
    unit().timeoutMs = timeoutMs;
}

bool FZShareServerAnswers(const QString& path) {
    bool on;
    int tries, timeoutMs;
    {
        std::lock_guard lock(unit().mutex);
        on = unit().on;
        tries = unit().tries;
        timeoutMs = unit().timeoutMs;
    }
    if (!on) return true;
    const QString host = FZShareHost(path);
    if (host.isEmpty()) return true;
    return PingHost(host, tries, timeoutMs, servicePort(path, host));
}

void FZSetPingHooks(const TPingHooks& hooks) {
    std::lock_guard lock(unit().mutex);
    unit().hooks = hooks;
}

}  // namespace tandex::access
