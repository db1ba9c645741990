#include "access/http_requests.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/services.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

#include <memory>
#include <mutex>

namespace tandex::access {

namespace {

constexpr int kDefaultStallMs = 60000;
constexpr int kCancelPollMs = 50;

struct TrustState {
    std::mutex mutex;
    QList<QSslCertificate> extraCas;
    QSet<QString> trusted;  // host + " " + SHA-256 fingerprint (hex)
    std::atomic<int> stallMs{kDefaultStallMs};
};

TrustState& trust() {
    static TrustState state;
    return state;
}

QNetworkAccessManager& threadManager() {
    // One manager per thread: a manager belongs to the thread that made it,
    // and the copy writer's thread makes requests of its own.
    thread_local std::unique_ptr<QNetworkAccessManager> manager;
    if (!manager) manager = std::make_unique<QNetworkAccessManager>();
    return *manager;
}

int socketCode(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return 10061;
        case QNetworkReply::TimeoutError:
            return 10060;
        case QNetworkReply::RemoteHostClosedError:
            return 10054;
        case QNetworkReply::HostNotFoundError:
            return 11001;
        default:
            return 0;
    }
}

QString trustKey(const QString& host, const QByteArray& fingerprint) {
    return host + QLatin1Char(' ') + QString::fromLatin1(fingerprint.toHex());
}

}  // namespace

QList<QSslCertificate> FZTrustedCaCertificates() {
    QList<QSslCertificate> cas = QSslConfiguration::defaultConfiguration().caCertificates();
    std::lock_guard lock(trust().mutex);
    return cas + trust().extraCas;
}

bool FZTrustFailedCertificate(const QString& host, int port, const QList<QSslError>& errors,
                              const QSslCertificate& cert) {
    const QByteArray fingerprint = cert.digest(QCryptographicHash::Sha256);
    const QString key = trustKey(host, fingerprint);
    {
        std::lock_guard lock(trust().mutex);
        if (trust().trusted.contains(key)) return true;
    }
    QStringList texts;
    for (const QSslError& e : errors) texts += e.errorString();
    const QString question =
        QStringLiteral("The certificate of %1, port %2, could not be verified:\n%3\n\n"
                       "SHA-256 fingerprint:\n%4\n\nTrust this certificate for this session?")
            .arg(host)
            .arg(port)
            .arg(texts.join(QLatin1Char('\n')))
            .arg(QString::fromLatin1(fingerprint.toHex(':').toUpper()));
    if (config::showMessage(QStringLiteral("Certificate"), question, config::MsgKind::Question,
                            config::mbYes | config::mbNo, config::mrNo) != config::mrYes)
        return false;
    std::lock_guard lock(trust().mutex);
    trust().trusted.insert(key);
    return true;
}

void FZSetHttpStallTimeout(int milliseconds) {
    trust().stallMs.store(milliseconds > 0 ? milliseconds : kDefaultStallMs);
}

void FZAddCaCertificates(const QList<QSslCertificate>& certificates) {
    std::lock_guard lock(trust().mutex);
    trust().extraCas += certificates;
}

void FZForgetTrustedCertificates() {
    {
        std::lock_guard lock(trust().mutex);
        trust().trusted.clear();
    }
    threadManager().clearConnectionCache();
}

QString FZHideQueries(const QString& text) {
    static const QRegularExpression address(QStringLiteral("([A-Za-z][A-Za-z0-9+.-]*://[^\\s?]*)\\?\\S*"));
    QString out = text;
    out.replace(address, QStringLiteral("\\1?"));
    return out;
}

THttpResult FZHttpRun(const THttpRequest& request) {
    THttpResult result;
    const bool tls = request.url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (tls && !FZSslAvailable()) {
        FZSetLastMessage(QStringLiteral("SSL is not available!"));
        result.code = errInternet;
        return result;
    }

    QNetworkRequest netRequest(request.url);
    netRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                            QNetworkRequest::NoLessSafeRedirectPolicy);
    if (tls) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        std::lock_guard lock(trust().mutex);
        if (!trust().extraCas.isEmpty()) ssl.addCaCertificates(trust().extraCas);
        netRequest.setSslConfiguration(ssl);
    }
    if (request.body)
        netRequest.setHeader(QNetworkRequest::ContentLengthHeader, request.body->size());
    for (const auto& [name, value] : request.headers) netRequest.setRawHeader(name, value);

    QNetworkAccessManager& manager = threadManager();
    // The manager serves other requests of the thread too: a proxy given
    // here holds for this request only.
    struct ProxyScope {
        QNetworkAccessManager& manager;
        QNetworkProxy previous;
        ~ProxyScope() { manager.setProxy(previous); }
    } proxyScope{manager, manager.proxy()};
    if (request.proxy) manager.setProxy(*request.proxy);
    // A GET goes as one: as a custom request Qt buffers an answer without
    // a length whole, whatever the read buffer says, and an endless one
    // takes all memory.
    std::unique_ptr<QNetworkReply> reply(
        request.body             ? manager.sendCustomRequest(netRequest, request.method, request.body)
        : request.method == "HEAD" ? manager.head(netRequest)  // a custom HEAD waits for a body
        : request.method == "GET"  ? manager.get(netRequest)
                                   : manager.sendCustomRequest(netRequest, request.method, QByteArray()));

    // Read as it comes: an unbounded read buffer would hold a fast download
    // a second time while the target is written.
    reply->setReadBufferSize(1 << 20);
    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    stall.setInterval(trust().stallMs.load());
    QTimer cancelPoll;
    cancelPoll.setInterval(kCancelPollMs);

    enum class Ending { None, Cancelled, Stalled, Refused, WriteFailed };
    Ending ending = Ending::None;
    QString refusal;
    bool begun = false;
    bool tracking = false;
    bool userTrusted = false;

    const auto finishWith = [&](Ending e) {
        if (ending != Ending::None) return;
        ending = e;
        reply->abort();
    };
    qint64 lastPosition = 0;
    const auto progress = [&](qint64 position, qint64 total) {
        stall.start();
        // Qt reports a finished upload once more as (0, 0).
        if (!request.work || position < lastPosition) return;
        lastPosition = position;
        if (!begun && (position > 0 || total > 0)) {
            begun = true;
            tracking = total > 0;
            if (request.work->workBegin) request.work->workBegin(total);
        }
        if (tracking && request.cancel && request.cancel->load()) {
            finishWith(Ending::Cancelled);
            return;
        }
        if (tracking && request.work->work) request.work->work(position);
    };

    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        // Through one buffer that stays: a fresh buffer per chunk costs new
        // pages every time, which made large downloads several times slower.
        static thread_local char chunk[1 << 16];
        qint64 n;
        while (ending == Ending::None && (n = reply->read(chunk, sizeof chunk)) > 0) {
            if (request.target) {
                if (request.target->write(chunk, n) != n) finishWith(Ending::WriteFailed);
            } else {
                result.answer.append(chunk, n);
            }
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop,
                     [&](qint64 received, qint64 total) {
                         // Without a length the last report still gives one
                         // (what arrived), which would show as done at once.
                         if (!request.body) progress(received, reply->hasRawHeader("Content-Length") ? total : -1);
                     });
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &loop,
                     [&](qint64 sent, qint64 total) {
                         if (request.body) progress(sent, total);
                     });
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, &loop,
                     [&](const QList<QSslError>& errors) {
                         QSslCertificate cert = reply->sslConfiguration().peerCertificate();
                         for (const QSslError& e : errors)
                             if (!e.certificate().isNull()) cert = e.certificate();
                         if (FZTrustFailedCertificate(request.url.host(), request.url.port(443), errors, cert)) {
                             userTrusted = true;
                             reply->ignoreSslErrors(errors);
                             return;
                         }
                         QStringList texts;
                         for (const QSslError& e : errors) texts += e.errorString();
                         refusal = QStringLiteral("Certificate not trusted for ") +
                                   request.url.host() + QStringLiteral(": ") +
                                   texts.join(QStringLiteral("; "));
                         finishWith(Ending::Refused);
                     });
    QObject::connect(&stall, &QTimer::timeout, &loop, [&] { finishWith(Ending::Stalled); });
    QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
        if (request.cancel && request.cancel->load()) finishWith(Ending::Cancelled);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    stall.start();
    cancelPoll.start();
    if (!reply->isFinished()) loop.exec();
    stall.stop();
    cancelPoll.stop();
    // A cancel asked for from the last progress call comes after the final
    // check; the user's request still ends the transfer as cancelled.
    if (ending == Ending::None && request.cancel && request.cancel->load())
        ending = Ending::Cancelled;

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.certificateVerified =
        !userTrusted && reply->url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        !reply->sslConfiguration().peerCertificate().isNull();
    if (reply->hasRawHeader("Content-Length"))
        result.contentLength = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    result.lastModified = reply->header(QNetworkRequest::LastModifiedHeader).toDateTime().toUTC();
    if (reply->error() == QNetworkReply::ProxyAuthenticationRequiredError && result.status == 0)
        result.status = 407;
    switch (ending) {
        case Ending::Cancelled:
            result.code = errUserAborted;
            return result;
        case Ending::Stalled:
            result.code = 10060;
            return result;
        case Ending::Refused:
            FZSetLastMessage(refusal);
            result.code = errInternet;
            return result;
        case Ending::WriteFailed:
            result.code = errDiskFull;
            return result;
        case Ending::None:
            break;
    }
    if (result.status >= 400) {
        result.code = result.status;
        return result;
    }
    if (reply->error() == QNetworkReply::NoError) return result;
    if (const int code = socketCode(reply->error())) {
        result.code = code;
        return result;
    }
    result.code = FZInternetCode(FZHideQueries(reply->errorString()));
    return result;
}

}  // namespace tandex::access
