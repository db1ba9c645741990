#include "access/web_files.h"

#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/scrambler.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QUrl>
#include <atomic>
#include <mutex>
#include <new>

namespace tandex::access {

namespace {

// A slot's HTTP client: its proxy, taken when the slot connected, the
// cancel request of its running transfer and whether its last download
// failed.
struct WebClient {
    bool built = false;
    QNetworkProxy proxy{QNetworkProxy::NoProxy};
    std::atomic<bool> cancel{false};
    bool downloadFailed = false;
};

struct WebUnit {
    std::mutex mutex;
    WebClient clients[FZSlotCount];
};

WebUnit& web() {
    static WebUnit unit;
    return unit;
}

WebClient* clientOf(int slot) {
    return slot >= 0 && slot < FZSlotCount ? &web().clients[slot] : nullptr;
}

// Hands a transfer's progress to the cloud client's reporting, which also
// shows it to the user and takes their cancel.
// A download of known size gets its room at once: a stream grown step by
// step would briefly hold the file twice.
struct ProgressReport {
    TFZMemStream* stream = nullptr;
    qint64 previous = 0;
    THttpWork work{[this](qint64 expected) {
                       previous = 0;
                       if (stream && expected > 8192)
                           stream->reserve(qMin(expected, FZMaxReservedStream));
                   },
                   [this](qint64 position) {
                       FZCloudProgress(position - previous, position);
                       previous = position;
                   }};
};

THttpResult run(int slot, const QByteArray& method, QIODevice* target,
               TFZMemStream* stream = nullptr) {
    WebClient* client = clientOf(slot);
    if (!client || !client->built) FZConnectHttp(slot);
    client->cancel.store(false);
    THttpRequest request;
    request.method = method;
    request.url = QUrl(FZSlotPath(slot), QUrl::StrictMode);
    if (!request.url.isValid()) request.url = QUrl(FZSlotPath(slot));
    request.target = target;
    request.cancel = &client->cancel;
    request.proxy = &client->proxy;
    ProgressReport report;
    report.stream = stream;
    request.work = &report.work;
    return FZHttpRun(request);
}

}  // namespace

QNetworkProxy FZHttpProxy() {
    const config::TAppSettings& s = config::AppSettings();
    if (!s.ProxyEnable) return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(QNetworkProxy::HttpProxy, s.ProxyHttpServer, quint16(s.ProxyHttpPort),
                         s.ProxyHttpUser, config::UnscrambleText(s.ProxyHttpPW));
}

void FZApplyHttpProxy(QNetworkAccessManager& manager) {
    manager.setProxy(FZHttpProxy());
}

int FZConnectHttp(int slot) {
    WebClient* client = clientOf(slot);
    if (!client) return errInvalidHandle;
    std::lock_guard lock(web().mutex);
    if (client->built) return 0;
    client->proxy = FZHttpProxy();
    client->cancel.store(false);
    client->downloadFailed = false;
    client->built = true;
    return 0;
}

void FZFreeHttpClient(int slot) {
    WebClient* client = clientOf(slot);
    if (!client) return;
    std::lock_guard lock(web().mutex);
    client->built = false;
    client->downloadFailed = false;
}

int TFZWebHandler::connect(int slot, TFZAccessMode) {
    return FZConnectHttp(slot);
}

int TFZWebHandler::fetch(int slot, TFZMemStream& stream) {
    TFZStreamDevice device(stream);
    const THttpResult result = run(slot, "GET", &device, &stream);
    if (WebClient* client = clientOf(slot)) client->downloadFailed = result.code != 0;
    return result.code;
}

int TFZWebHandler::store(int, TFZMemStream&) {
    return errMethodNotAllowed;
}

int TFZWebHandler::release(int slot) {
    FZFreeHttpClient(slot);
    return 0;
}

void TFZWebHandler::abort(int slot) {
    if (WebClient* client = clientOf(slot)) client->cancel.store(true);
}

int TFZWebHandler::fileInfo(int slot, TFZFileInfo& info) {
    info = TFZFileInfo{};
    qint64 size = 0;
    FileTime time = FZUnreadableTime;
    int code = 0;
    const TFZMemStream* stream = FZSlotStream(slot);
    if (FZSlotMode(slot) == twReadAccess && stream) {
        // The download has no time of its own.
        size = stream->size();
    } else {
        const THttpResult result = run(slot, "HEAD", nullptr);
        code = result.code;
        if (!code) {
            size = qMax<qint64>(result.contentLength, 0);
            if (result.lastModified.isValid()) time = FZDateTimeToFileTime(result.lastModified);
        }
    }
    info.LastWriteTime = info.CreationTime = info.LastAccessTime = time;
    info.SizeHigh = quint32(quint64(size) >> 32);
    info.SizeLow = quint32(size);
    return code;
}

int TFZWebHandler::getAttributes(int, quint32& attributes) {
    attributes = 0;
    return 0;
}

int TFZWebHandler::exists(int slot) {
    const WebClient* client = clientOf(slot);
    return client && client->downloadFailed ? errFileNotFound : 0;
}

int TFZWebHandler::deleteFile(int) {
    return errInvalidPath;
}

int TFZWebHandler::removeFolder(int) {
    return errInvalidPath;
}

int TFZWebHandler::listFolder(int, TFZDDir&) {
    return errInvalidPath;
}

}  // namespace tandex::access
