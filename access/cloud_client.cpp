#include "access/cloud_client.h"

#include "access/error_texts.h"
#include "access/http_requests.h"
#include "config/num_format.h"

#include <QIODevice>
#include <QScopeGuard>
#include <QUrl>

namespace tandex::access {

namespace {

constexpr qsizetype kMaxPathBytes = 511;

struct CloudProgressState {
    std::atomic<qint64> transferDelta{0};
    std::mutex mutex;
    std::function<void(qint64)> hook;
};

CloudProgressState& cloudProgress() {
    static CloudProgressState state;
    return state;
}

bool pathByteKept(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

// Replaces each "\u" and four hexadecimal digits by its character, left to
// right, until one is not followed by four hexadecimal digits.
QString decodeEscapes(const QString& value) {
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = value.indexOf(QStringLiteral("\\u"), from);
        if (at < 0 || at + 6 > value.size()) break;
        uint code = 0;
        bool hex = true;
        for (qsizetype i = at + 2; i < at + 6 && hex; ++i) {
            const char16_t c = value.at(i).unicode();
            if (c >= u'0' && c <= u'9')
                code = code * 16 + (c - u'0');
            else if ((c | 0x20) >= u'a' && (c | 0x20) <= u'f')
                code = code * 16 + ((c | 0x20) - u'a' + 10);
            else
                hex = false;
        }
        if (!hex) break;
        out += value.mid(from, at - from);
        out += QChar(char16_t(code));
        from = at + 6;
    }
    out += value.mid(from);
    return out;
}

// A token answer's parameter by name, wherever it stands.
QString answerParameter(const QString& answer, const QString& name) {
    for (const QString& item : answer.split(QLatin1Char('&'))) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq > 0 && item.left(eq) == name)
            return QUrl::fromPercentEncoding(item.mid(eq + 1).toUtf8());
    }
    return QString();
}

}  // namespace

// Holds the request lock. A thread that re-enters the client from the
// event processing of its own running request would wait on itself; it is
// refused with 32 instead, as a sharing violation.
class TDropbox1::RequestGuard {
public:
    explicit RequestGuard(TDropbox1& client) : client_(client) {
        if (client_.requestThread_.load() == std::this_thread::get_id()) return;
        client_.requestMutex_.lock();
        client_.requestThread_.store(std::this_thread::get_id());
        owns_ = true;
    }
    ~RequestGuard() {
        if (!owns_) return;
        client_.requestThread_.store(std::thread::id());
        client_.requestMutex_.unlock();
    }
    bool owns() const { return owns_; }

private:
    TDropbox1& client_;
    bool owns_ = false;
};

void TDropbox1::SetAppKey(const QString& key) {
    std::lock_guard lock(stateMutex_);
    consumer_.SetKey(key);
}

void TDropbox1::SetAppSecret(const QString& secret) {
    std::lock_guard lock(stateMutex_);
    consumer_.SetSecret(secret);
}

void TDropbox1::SetEndpoints(const TDropboxEndpoints& endpoints) {
    std::lock_guard lock(stateMutex_);
    endpoints_ = endpoints;
}

TDropboxEndpoints TDropbox1::Endpoints() const {
    std::lock_guard lock(stateMutex_);
    return endpoints_;
}

TOAuthToken TDropbox1::Token() const {
    std::lock_guard lock(stateMutex_);
    return token_;
}

void TDropbox1::SetToken(const QString& key, const QString& secret) {
    std::lock_guard lock(stateMutex_);
    token_ = TOAuthToken(key, secret);
}

void TDropbox1::SetProgress(std::function<void(qint64, qint64)> progress) {
    std::lock_guard lock(stateMutex_);
    progress_ = std::move(progress);
}

QString TDropbox1::SignatureParams() const {
    std::lock_guard lock(stateMutex_);
    return QStringLiteral("&oauth_signature_method=PLAINTEXT&oauth_consumer_key=") +
           consumer_.Key + QStringLiteral("&oauth_token=") + token_.Key +
           QStringLiteral("&oauth_signature=") + consumer_.Secret + QStringLiteral("%26") +
           token_.Secret;
}

int TDropbox1::EncodePath(const QString& path, QString& encoded) {
    encoded.clear();
    QString p = path;
    if (p.startsWith(QLatin1Char('/'))) p.remove(0, 1);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QByteArray bytes = p.toUtf8();
    if (bytes.size() > kMaxPathBytes) return errInvalidPath;
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (pathByteKept(c))
            encoded += QLatin1Char(c);
        else
            encoded += QLatin1Char('%') +
                       QString::number(uchar(c), 16).toUpper().rightJustified(2, u'0');
    }
    return 0;
}

int TDropbox1::encodedAddress(const QString& base, const QString& prefix, const QString& path,
                              QString& address) const {
    QString encoded;
    if (const int r = EncodePath(path, encoded)) return r;
    address = base + prefix + encoded + QLatin1Char('?') + SignatureParams();
    return 0;
}

QString TDropbox1::LastFileAddress() const {
    std::lock_guard lock(stateMutex_);
    return lastFileAddress_;
}

int TDropbox1::run(const QByteArray& method, const QString& address, QIODevice* body,
                   QIODevice* target, bool keepAnswer) {
    THttpWork work;
    work.workBegin = [this](qint64 expected) {
        tracking_ = expected > 0;
        previousPosition_ = 0;
    };
    work.work = [this](qint64 position) {
        if (!tracking_) return;
        std::function<void(qint64, qint64)> progress;
        {
            std::lock_guard lock(stateMutex_);
            progress = progress_;
        }
        if (progress) progress(position - previousPosition_, position);
        previousPosition_ = position;
    };
    THttpRequest request;
    request.method = method;
    request.url = QUrl(address, QUrl::StrictMode);
    request.body = body;
    request.target = target;
    request.cancel = &cancel_;
    request.work = &work;
    THttpResult result = FZHttpRun(request);
    if (result.code == 0 && keepAnswer) SetScanText(QString::fromUtf8(result.answer));
    return result.code;
}

int TDropbox1::tokenRequest(bool access) {
    const QString base = Endpoints().api +
                         (access ? QStringLiteral("/1/oauth/access_token")
                                 : QStringLiteral("/1/oauth/request_token"));
    TOAuthRequest request;
    request.SetUrl(base);
    const TOAuthSignatureMethod_HMAC_SHA1 method;
    TOAuthConsumer consumer;
    TOAuthToken token;
    {
        std::lock_guard lock(stateMutex_);
        consumer = consumer_;
        token = token_;
    }
    request.FromConsumerAndToken(consumer, access ? &token : nullptr);
    request.SignRequest(method, consumer, access ? &token : nullptr);

    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    THttpRequest http;
    http.url = QUrl(base + QLatin1Char('?') + request.ParamText, QUrl::StrictMode);
    const THttpResult result = FZHttpRun(http);
    if (result.code) return result.code;
    // Read by name: the order of the parameters is the server's choice.
    const QString answer = QString::fromUtf8(result.answer).trimmed();
    QString key, secret;
    if (!ReadTokenAnswer(answer, key, secret)) {
        FZSetLastMessage(QStringLiteral("The server's token answer lacks the token or its secret"));
        return errInternet;
    }
    SetScanText(answer);
    SetToken(key, secret);
    return 0;
}

bool TDropbox1::ReadTokenAnswer(const QString& answer, QString& key, QString& secret) {
    secret = answerParameter(answer, QStringLiteral("oauth_token_secret"));
    key = answerParameter(answer, QStringLiteral("oauth_token"));
    return !key.isEmpty() && !secret.isEmpty();
}

int TDropbox1::RequestToken() {
    return tokenRequest(false);
}

int TDropbox1::AccessToken() {
    return tokenRequest(true);
}

QString TDropbox1::AuthorizeUrl() {
    TOAuthConsumer consumer;
    TOAuthToken token;
    QString host;
    {
        std::lock_guard lock(stateMutex_);
        consumer = consumer_;
        token = token_;
        host = endpoints_.authorize;
    }
    const QString address = host + QStringLiteral("/1/oauth/authorize?oauth_token=") + token.Key;
    TOAuthRequest request;
    request.SetUrl(address);
    const TOAuthSignatureMethod_HMAC_SHA1 method;
    request.FromConsumerAndToken(consumer, nullptr);
    request.SignRequest(method, consumer, nullptr);
    return address + QLatin1Char('&') + request.ParamText;
}

int TDropbox1::AccountInfo(QString& text) {
    text.clear();
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    const QString address =
        Endpoints().api + QStringLiteral("/1/account/info?") + SignatureParams();
    if (const int r = run("GET", address, nullptr, nullptr, true)) return r;
    const auto size = [this](const char* key) {
        bool ok = false;
        const qint64 n = JsonValue(QLatin1String(key), false).toLongLong(&ok);
        return config::FormatSizeShort(ok && n > 0 ? quint64(n) : 0);
    };
    const QString name = JsonValue(QStringLiteral("display_name"), false);
    const QString uid = JsonValue(QStringLiteral("uid"), false);
    const QString country = JsonValue(QStringLiteral("country"), false);
    const QString email = JsonValue(QStringLiteral("email"), false);
    const QChar cr(13);
    text = QStringLiteral("Name:    ") + name + cr + QStringLiteral("UserID:  ") + uid + cr +
           QStringLiteral("Country: ") + country + cr + QStringLiteral("E-Mail:  ") + email + cr +
           cr + QStringLiteral("Total dropbox size:          ") + size("quota") + cr +
           QStringLiteral("Used in shared folders:      ") + size("shared") + cr +
           QStringLiteral("Used outside shared folders: ") + size("normal") + cr +
           QStringLiteral("Used in Datastores:          ") + size("datastores");
    return 0;
}

int TDropbox1::Metadata(const QString& path) {
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    return metadata(path);
}

int TDropbox1::metadata(const QString& path) {
    QString address;
    if (const int r =
            encodedAddress(Endpoints().api, QStringLiteral("/1/metadata/auto/"), path, address))
        return r;
    return run("GET", address, nullptr, nullptr, true);
}

int TDropbox1::ItemInfo(const QString& path, TDBOItem& item) {
    item = TDBOItem();
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    if (const int r = metadata(path)) return r;
    ReadItem(item);
    return 0;
}

int TDropbox1::MetadataItems(const QString& path, std::vector<TDBOItem>& items) {
    items.clear();
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    if (const int r = metadata(path)) return r;
    for (;;) {
        TDBOItem item;
        ReadItem(item);
        if (item.Path.isEmpty()) return 0;
        items.push_back(std::move(item));
    }
}

int TDropbox1::DownloadFile(const QString& path, QIODevice& stream) {
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    cancel_.store(false);
    QString address;
    if (const int r =
            encodedAddress(Endpoints().content, QStringLiteral("/1/files/auto/"), path, address))
        return r;
    {
        std::lock_guard lock(stateMutex_);
        lastFileAddress_ = address.left(address.indexOf(QLatin1Char('?')));
    }
    return run("GET", address, nullptr, &stream, false);
}

int TDropbox1::UploadFile(QIODevice& stream, const QString& path) {
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    cancel_.store(false);
    QString address;
    if (const int r = encodedAddress(Endpoints().content, QStringLiteral("/1/files_put/auto/"),
                                     path, address))
        return r;
    {
        std::lock_guard lock(stateMutex_);
        lastFileAddress_ = address.left(address.indexOf(QLatin1Char('?')));
    }
    return run("PUT", address, &stream, nullptr, false);
}

int TDropbox1::DeleteItem(const QString& path) {
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    QString encoded;
    if (const int r = EncodePath(path, encoded)) return r;
    const QString address = Endpoints().api + QStringLiteral("/1/fileops/delete?root=auto&path=") +
                            encoded + SignatureParams();
    return run("POST", address, nullptr, nullptr, true);
}

int TDropbox1::MoveItem(const QString& fromPath, const QString& toPath) {
    RequestGuard guard(*this);
    if (!guard.owns()) return errSharingViolation;
    QString from, to;
    if (const int r = EncodePath(fromPath, from)) return r;
    if (const int r = EncodePath(toPath, to)) return r;
    const QString address = Endpoints().api +
                            QStringLiteral("/1/fileops/move?root=auto&from_path=") + from +
                            QStringLiteral("&to_path=") + to + SignatureParams();
    return run("POST", address, nullptr, nullptr, true);
}

void TDropbox1::CancelTransfer() {
    cancel_.store(true);
}

void TDropbox1::SetScanText(const QString& text) {
    scan_ = text;
    scanPos_ = 0;
    keyHits_.clear();
}

qsizetype TDropbox1::findKey(const QString& key) {
    const QString pattern = QLatin1Char('"') + key + QStringLiteral("\": ");
    auto it = keyHits_.find(key);
    const bool known = it != keyHits_.end() && scanPos_ >= it->searchedFrom &&
                       (it->found < 0 || it->found >= scanPos_);
    if (!known) {
        it = keyHits_.insert(key, KeyHit{scanPos_, scan_.indexOf(pattern, scanPos_)});
    }
    return it->found < 0 ? -1 : it->found + pattern.size();
}

QString TDropbox1::JsonValue(const QString& key, bool advance) {
    const qsizetype start = findKey(key);
    if (start < 0) return QString();
    qsizetype from = start;
    QChar endChar = QLatin1Char(',');
    if (from < scan_.size() && scan_.at(from) == QLatin1Char('"')) {
        ++from;
        endChar = QLatin1Char('"');
    }
    qsizetype end = scan_.indexOf(endChar, from);
    if (end < 0) end = scan_.size();
    QString value = scan_.mid(from, end - from);
    const qsizetype rest = qMin(end + 1, scan_.size());
    if (const qsizetype brace = value.indexOf(QLatin1Char('}')); brace >= 0) value.truncate(brace);
    value = decodeEscapes(value);
    if (advance || (key == QLatin1String("is_dir") && value == QLatin1String("true"))) {
        scanPos_ = rest;
        if (advance) {
            const qsizetype brace = scan_.indexOf(QLatin1Char('}'), scanPos_);
            scanPos_ = brace < 0 ? scan_.size() : brace + 1;
        }
    }
    return value;
}

void TDropbox1::ReadItem(TDBOItem& item) {
    const qsizetype pathAt = findKey(QStringLiteral("path"));
    item.Path = JsonValue(QStringLiteral("path"), false);
    if (item.Path.isEmpty()) return;
    // A well-formed entry is always left behind its path (by its "bytes" or
    // its "is_dir"); one that lacks them or has them before its path must
    // not be handed out again, or a listing loop would never end.
    const auto leaveEntry = qScopeGuard([&] {
        if (scanPos_ <= pathAt) scanPos_ = pathAt;
    });
    if (JsonValue(QStringLiteral("is_deleted"), false) == QLatin1String("true")) {
        item.Path.clear();
        return;
    }
    if (JsonValue(QStringLiteral("is_dir"), false) != QLatin1String("true")) {
        item.Attr = 0;
        item.Modified = JsonValue(QStringLiteral("modified"), false);
        item.Bytes = JsonValue(QStringLiteral("bytes"), true);
    } else {
        item.Attr = 16;
        if (item.Path != QLatin1String("/")) item.Path += QLatin1Char('/');
    }
}

void FZCloudProgress(qint64 delta, qint64 position) {
    cloudProgress().transferDelta.store(delta);
    std::function<void(qint64)> hook;
    {
        std::lock_guard lock(cloudProgress().mutex);
        hook = cloudProgress().hook;
    }
    if (hook) hook(position);
}

qint64 FZTransferDelta() {
    return cloudProgress().transferDelta.load();
}

void FZSetTransferDelta(qint64 delta) {
    cloudProgress().transferDelta.store(delta);
}

void FZSetCloudProgressHook(std::function<void(qint64)> hook) {
    std::lock_guard lock(cloudProgress().mutex);
    cloudProgress().hook = std::move(hook);
}

}  // namespace tandex::access
