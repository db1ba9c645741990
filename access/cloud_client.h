#pragma once
// The client of the cloud storage service's HTTP API, version 1. The
// access layer owns its one instance (FZCloudClient) and reaches "dbox://"
// locations through it; the settings dialog runs the login through it.
// The three login requests are signed with OAuth 1.0 HMAC-SHA1, every
// later request carries the PLAINTEXT signature in its query. Answers are
// not parsed but scanned as text, entry by entry, from a moving offset.
//
// Every operation returns 0 or a result code (http_requests.h); a failed
// request leaves the previous answer in place. The user-interface thread
// and the copy writer's thread share the client: one request at a time,
// and a request started on a thread whose own request is still running
// (from its event processing) gets 32 at once.

#include "access/oauth.h"

#include <QHash>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

namespace tandex::access {

struct TDBOItem {
    QString Path;
    QString Bytes;     // the size as the service writes it
    QString Modified;  // RFC 1123 date
    int Attr = 0;      // 16 for a folder
};

// The service's three hosts as "https://host[:port]".
struct TDropboxEndpoints {
    QString api = QStringLiteral("https://api.dropbox.com");
    QString content = QStringLiteral("https://api-content.dropbox.com");
    QString authorize = QStringLiteral("https://www.dropbox.com");
};

class TDropbox1 {
public:
    TDropbox1() = default;
    TDropbox1(const TDropbox1&) = delete;
    TDropbox1& operator=(const TDropbox1&) = delete;

    void SetAppKey(const QString& key);
    void SetAppSecret(const QString& secret);
    void SetEndpoints(const TDropboxEndpoints& endpoints);
    TDropboxEndpoints Endpoints() const;
    // The login's token and, after it, the access token.
    TOAuthToken Token() const;
    void SetToken(const QString& key, const QString& secret);
    // Called with the delta and position of every transfer step.
    void SetProgress(std::function<void(qint64 delta, qint64 position)> progress);

    int RequestToken();
    QString AuthorizeUrl();
    int AccessToken();
    // Nine lines separated by CR; empty on failure.
    int AccountInfo(QString& text);
    int Metadata(const QString& path);
    int ItemInfo(const QString& path, TDBOItem& item);
    // The next entry of the last metadata answer; Path empty when none.
    void ReadItem(TDBOItem& item);
    // Every entry of the path's metadata answer, read while the request
    // lock is held: another thread's request would replace the answer
    // half-way through a listing.
    int MetadataItems(const QString& path, std::vector<TDBOItem>& items);
    QString JsonValue(const QString& key, bool advance);
    int DownloadFile(const QString& path, QIODevice& stream);
    int UploadFile(QIODevice& stream, const QString& path);
    int DeleteItem(const QString& path);
    int MoveItem(const QString& fromPath, const QString& toPath);
    // May be called from any thread; the running transfer ends with 1235.
    void CancelTransfer();

    // The path as the service's addresses carry it; 161 when its UTF-8
    // form is longer than 511 bytes (cutting it would name another file).
    static int EncodePath(const QString& path, QString& encoded);
    QString SignatureParams() const;
    // The token key and secret of a token answer, read by name in any
    // order; false unless both are there.
    static bool ReadTokenAnswer(const QString& answer, QString& key, QString& secret);

    // The text the field reads scan (tests and the fuzz target set it).
    void SetScanText(const QString& text);
    // The address of the last file request, without its query.
    QString LastFileAddress() const;

private:
    class RequestGuard;
    int run(const QByteArray& method, const QString& address, QIODevice* body, QIODevice* target,
            bool keepAnswer);
    int tokenRequest(bool access);
    int metadata(const QString& path);
    int encodedAddress(const QString& base, const QString& prefix, const QString& path,
                       QString& address) const;
    qsizetype findKey(const QString& key);

    mutable std::mutex stateMutex_;  // the fields below
    TOAuthConsumer consumer_;
    TOAuthToken token_;
    TDropboxEndpoints endpoints_;
    std::function<void(qint64, qint64)> progress_;

    std::mutex requestMutex_;  // one request at a time
    std::atomic<std::thread::id> requestThread_{};
    std::atomic<bool> cancel_{false};
    bool tracking_ = false;
    qint64 previousPosition_ = 0;
    QString lastFileAddress_;

    // The scan: the answer and the offset the unread part starts at. Each
    // key remembers where its last search began and what it found, so a
    // key that is missing (or far ahead) is not searched for again from
    // every entry: a whole listing is read in one pass.
    QString scan_;
    qsizetype scanPos_ = 0;
    struct KeyHit {
        qsizetype searchedFrom = 0;
        qsizetype found = -1;
    };
    QHash<QString, KeyHit> keyHits_;
};

// The access layer's cloud client, created with the unit.
TDropbox1& FZCloudClient();

// The client's progress callback: keeps the delta as TransferDelta and
// hands the position to CloudProgressHook.
void FZCloudProgress(qint64 delta, qint64 position);
// TransferDelta: the bytes moved since the previous progress report of a
// cloud transfer or an FTP upload, one value for the whole access layer.
qint64 FZTransferDelta();
void FZSetTransferDelta(qint64 delta);
void FZSetCloudProgressHook(std::function<void(qint64 position)> hook);

}  // namespace tandex::access
