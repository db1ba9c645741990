#pragma once
// The program's FTP client: one control connection per access slot, with
// data connections opened per listing. It speaks plain FTP, explicit TLS
// (AUTH TLS, then AUTH SSL) and implicit TLS; data connections are passive
// (PASV, EPSV for IPv6, always to the control connection's server) or
// active (PORT, EPRT on the control connection's own address), protected
// when the profile asks for it, and resume the control connection's TLS
// session, which servers such as vsftpd demand.
//
// Every call blocks its thread and polls the abort checks while it waits;
// failures are thrown as EFtpError with the slot's result code. The
// sockets belong to no thread between calls, so a client made on the
// connect thread can serve the user-interface thread and the pre-scan
// thread later, one call at a time.

#include "access/ftp_proxy.h"
#include "access/ftp_reply.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>

class QSslSocket;

namespace tandex::access {

struct TFtpOptions {
    QString host;
    quint16 port = 21;
    QString user;
    QString password;  // plain, unscrambled at the moment of use
    int tlsMode = 0;   // 0 none, 1 implicit, 2 explicit when offered, 3 explicit required
    bool ipv6 = false;
    int tlsMethod = 0;  // 1: TLS 1.0 or later; anything else negotiates the default
    bool protectData = false;
    int connectTimeoutMs = 20000;
    int readTimeoutMs = 60000;
    bool passive = true;
    TFtpProxy proxy;  // the login kind or the tunnel every connection takes
    bool setRts = false;  // send file times to the server
    bool utime3 = false;  // SITE UTIME with all three stamps
};

class TFtpClient {
public:
    explicit TFtpClient(const TFtpOptions& options);
    ~TFtpClient();
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    const TFtpOptions& options() const { return options_; }
    // Polled during every wait beside the client's own abort flag.
    void setCancelCheck(std::function<bool()> cancelled) { cancelled_ = std::move(cancelled); }

    // Connects, secures and logs in, then reads the features.
    void Connect();
    bool Connected() const;
    // Explicit TLS "when offered" that the server did not offer.
    bool TlsDeclined() const { return tlsDeclined_; }
    bool TlsUsed() const { return tlsUsed_; }
    const QStringList& Features() const { return features_; }
    bool UsesMlsd() const { return mlsd_; }
    // Whether MLSD and MLST report the "unique" fact.
    bool HasUnique() const { return unique_; }

    // Sends one command and reads its reply; an argument holding CR, LF
    // or NUL is refused (123) before anything is sent.
    TFtpReply SendCmd(const QString& command);
    // SendCmd that throws 99990 with the reply when it is not positive.
    TFtpReply Command(const QString& command);
    void ChangeDir(const QString& path);
    QString CurrentDir();
    // The current folder listed with details: MLSD or LIST.
    QByteArray ListCurrent(bool mlsd);
    QStringList Help();

    // What a transfer asks its caller between reads and writes (at least
    // every 50 ms): the most bytes to move next, 0 to end a download early
    // without an error, or -1 to abort with 1235. A transfer ended early
    // sends ABOR (implicit TLS closes the data connection only) and reads
    // the server's replies, so the connection serves the next command.
    using TransferPace = std::function<qint64()>;
    // RETR of path into sink; true when the whole file came. A data
    // connection that breaks on the way (426, 450 or 451 after some bytes)
    // is resumed behind the bytes received, with REST, when the server
    // accepts it; sink then simply gets the rest.
    bool Retrieve(const QString& path, const TransferPace& pace,
                  const std::function<void(const char* data, qint64 size)>& sink);
    // STOR of path from source, which fills the buffer and answers the
    // bytes it gave (0 at the end).
    void Store(const QString& path, const TransferPace& pace,
               const std::function<qint64(char* buffer, qint64 size)>& source);
    // QUIT, then the connection is closed whatever the server says.
    void Quit();
    // From any thread: the running or next call ends with 1235 and the
    // connection is closed.
    void Abort();

private:
    struct Use;
    void adopt();
    void release();
    bool cancelled() const;
    void connectSocket(QSslSocket& socket, const QString& host, quint16 port, bool encrypted);
    void tunnelSocket(QSslSocket& socket, quint16 port);
    void encrypt(QSslSocket& socket, const QByteArray& session);
    void writeLine(const QString& command);
    std::unique_ptr<QSslSocket> openData(const QString& command);
    void login();
    void endData(QSslSocket& data);
    void stopTransfer(std::unique_ptr<QSslSocket>& data);
    TFtpReply readReply(int timeoutMs);

    TFtpOptions options_;
    std::function<bool()> cancelled_;
    std::atomic<bool> aborted_{false};
    std::unique_ptr<QSslSocket> control_;
    QString refusal_;  // why a certificate was refused
    // Where the control connection goes: the site, or an FTP proxy whose
    // certificate is then the one checked.
    QString peerHost_;
    quint16 peerPort_ = 0;
    QStringList features_;
    bool tlsDeclined_ = false;
    bool tlsUsed_ = false;
    bool mlsd_ = false;
    bool unique_ = false;
    int depth_ = 0;  // nesting of calls that hold the sockets
};

}  // namespace tandex::access
