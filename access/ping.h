#pragma once
// Whether a server answers, asked before the program touches a share on
// it, so an unreachable server costs a short, bounded wait instead of the
// file system's long time-out. An echo goes out over an ICMP datagram
// socket where the system allows one to the user, else over a raw ICMP
// socket, else as a TCP connect to the share's service port, where an
// accept and a refusal both say the server is there.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace tandex::access {

// The host's first IPv4 address in network byte order; 0 when it cannot
// be resolved.
quint32 ResolveHost(const QString& host);

// At most tries + 1 attempts (one when tries is 0 or less), each resolving
// the host (100 ms pause when that fails) and sending one echo that waits
// up to timeoutMs; port is the TCP port asked when no ICMP socket can be
// had.
bool PingHost(const QString& host, int tries, int timeoutMs, quint16 port = 445);

// The ping of share checks: off, 1 try and 2000 ms until set.
void FZSetPingOptions(bool on, int tries, int timeoutMs);
// With the ping on, whether the server of a share path answers, asked on
// the service port of the share's mount type; true for anything that is
// no share or when the ping is off.
bool FZShareServerAnswers(const QString& path);

// ---- the echo itself and what tests replace of it -------------------------

enum class TPingPath { Any, IcmpDatagram, IcmpRaw, Tcp };
enum class TEchoResult { Unavailable, Answered, Silent };

// One echo to an IPv4 address (network byte order) on the path given;
// Unavailable when the system refuses that kind of socket.
TEchoResult FZEcho(quint32 address, int timeoutMs, TPingPath path, quint16 port);

// Whether a datagram is the echo reply asked for: ICMP type 0 with the
// identifier and sequence number of the request; a raw socket's datagram
// starts with the IP header.
bool FZIsEchoReply(const unsigned char* data, qsizetype size, bool withIpHeader,
                   quint16 identifier, quint16 sequence);

// Tests: replace name resolution, the echo and the pause after a failed
// resolution; an empty function restores the real one.
struct TPingHooks {
    std::function<quint32(const QString& host)> resolve;
    std::function<bool(quint32 address, int timeoutMs, quint16 port)> echo;
    std::function<void(int milliseconds)> pause;
};
void FZSetPingHooks(const TPingHooks& hooks);

}  // namespace tandex::access
