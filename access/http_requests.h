#pragma once
// Blocking HTTP and HTTPS requests for the access layer. A request blocks
// its calling thread while that thread's own events go on (the windows
// stay responsive on the user-interface thread); each thread has its own
// network manager. The answer streams into a target device or is
// collected. Results: 0, an HTTP status from 400 up, the socket error
// numbers (10061 refused, 10060 timed out, 10054 reset, 11001 unknown
// host), 1235 for a cancel, else 99990 with the last message.
//
// TLS certificates are verified against the system's trust store plus any
// CA certificates added here. A certificate that fails is put to the user
// (host, port, the errors, its SHA-256 fingerprint; default No); a Yes
// trusts that host and fingerprint for the rest of the run. Headless
// message sinks answer No, so the batch mode refuses.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <utility>

class QIODevice;
class QNetworkProxy;

namespace tandex::access {

// The work events of a transfer: its start with the expected size (0 or
// less when unknown) and each progress position.
struct THttpWork {
    std::function<void(qint64 expected)> workBegin;
    std::function<void(qint64 position)> work;
};

struct THttpRequest {
    QByteArray method = "GET";
    QUrl url;
    QIODevice* body = nullptr;    // streamed as the request body (PUT, POST)
    QIODevice* target = nullptr;  // receives the answer; else collected in the result
    const std::atomic<bool>* cancel = nullptr;  // may be set from any thread
    THttpWork* work = nullptr;
    // The proxy of this request; else the thread's manager keeps its own.
    const QNetworkProxy* proxy = nullptr;
    // Sent as they are, replacing a header of the same name the network
    // layer would send.
    QList<std::pair<QByteArray, QByteArray>> headers;
};

struct THttpResult {
    int code = 0;
    int status = 0;       // the HTTP status, 0 when none came
    QByteArray answer;    // when no target was given
    qint64 contentLength = -1;  // of the answer's header, -1 when none came
    QDateTime lastModified;     // UTC; invalid when none came
    // The answer came over HTTPS (after any redirects) from a server whose
    // certificate the trust policy verified: the system's store or an added
    // CA, not a certificate the user chose to trust.
    bool certificateVerified = false;
};

THttpResult FZHttpRun(const THttpRequest& request);

// The time a request may go without progress before it fails with 10060;
// 60 s unless tests shorten it. 0 restores the default.
void FZSetHttpStallTimeout(int milliseconds);

// CA certificates trusted beside the system's (the tests' own CA).
void FZAddCaCertificates(const QList<QSslCertificate>& certificates);
// The same policy for connections this layer makes itself (FTP over TLS):
// the system's trust store plus the CAs added above, and the question about
// a certificate that failed for host and port, answered once per run.
QList<QSslCertificate> FZTrustedCaCertificates();
bool FZTrustFailedCertificate(const QString& host, int port, const QList<QSslError>& errors,
                              const QSslCertificate& certificate);
// Forgets every certificate the user trusted in this run and the calling
// thread's open connections.
void FZForgetTrustedCertificates();

// The text with everything behind the "?" of each web address removed
// (the cloud client's secrets travel in the query).
QString FZHideQueries(const QString& text);

}  // namespace tandex::access
