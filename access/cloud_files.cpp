#include "access/cloud_files.h"

#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/scrambler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <QTimeZone>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

namespace tandex::access {

namespace {

struct CloudUnit {
    std::atomic<bool> granted{false};
    // The slot whose request the client runs (for FZAbortAll), -1 for none,
    // and whether that request is a transfer a cancel can stop.
    std::atomic<int> owner{-1};
    std::atomic<bool> transferring{false};
    std::mutex hookMutex;
    std::function<void(int)> loginStep;
};

CloudUnit& cloud() {
    static CloudUnit unit;
    return unit;
}

// The settings belong to the user-interface thread; a 401 met by the copy
// writer's thread empties them there, after the fact.
void forgetStoredToken() {
    const auto clear = [] {
        config::TAppSettings& s = config::AppSettings();
        s.DBOKey.clear();
        s.DBOSecret.clear();
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        clear();
    else
        QMetaObject::invokeMethod(app, clear, Qt::QueuedConnection);
}

// Per code unit, so that lengths and "/" positions stay where they were.
QString lowerCase(QString text) {
    for (QChar& c : text)
        c = c.toLower();
    return text;
}

QString cloudPathOf(const QString& location) {
    const QString path = FZCloudPath(location);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

QString slotCloudPath(int slot) {
    return cloudPathOf(FZSlotPath(slot));
}

// The service writes sizes in decimal; a size above 2 GB is still a size.
qint64 sizeOf(const QString& bytes) {
    bool ok = false;
    const qint64 n = bytes.toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

// Marks the slot as the owner of the client's next request, and the
// request as a transfer while it runs.
class Request {
public:
    Request(int slot, bool transfer) : transfer_(transfer) {
        cloud().owner.store(slot);
        if (transfer_) cloud().transferring.store(true);
    }
    ~Request() {
        if (transfer_) cloud().transferring.store(false);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

private:
    bool transfer_;
};

void addItem(TFZDDir& listing, TFZItem item) {
    // Room in steps of a hundred: a large folder does not reallocate for
    // every entry.
    if (listing.Items.size() == listing.Items.capacity())
        listing.Items.reserve(listing.Items.size() + 100);
    listing.Items.push_back(std::move(item));
    listing.Count = int(listing.Items.size());
}

bool isDotName(const QString& name) {
    return name == QLatin1String(".") || name == QLatin1String("..");
}

}  // namespace

// ---- the access token -----------------------------------------------------

bool FZCloudGranted() {
    return cloud().granted.load();
}

void FZSetCloudGranted(bool granted) {
    cloud().granted.store(granted);
}

void FZCloudLoadToken() {
    const config::TAppSettings& s = config::AppSettings();
    const QString key = config::UnscrambleText(s.DBOKey);
    const QString secret = config::UnscrambleText(s.DBOSecret);
    FZCloudClient().SetToken(key, secret);
    cloud().granted.store(!key.isEmpty() && !secret.isEmpty());
}

void FZSetCloudLoginStepHook(std::function<void(int)> hook) {
    std::lock_guard lock(cloud().hookMutex);
    cloud().loginStep = std::move(hook);
}

int FZCloudAuthorize(QString& url) {
    url.clear();
    std::function<void(int)> step;
    {
        std::lock_guard lock(cloud().hookMutex);
        step = cloud().loginStep;
    }
    if (step) step(0);
    const int result = FZCloudClient().RequestToken();
    if (step) step(1);
    if (!result) url = FZCloudClient().AuthorizeUrl();
    return result;
}

int FZCloudGrant() {
    TDropbox1& client = FZCloudClient();
    const int result = client.AccessToken();
    const TOAuthToken token = client.Token();
    config::TAppSettings& s = config::AppSettings();
    s.DBOSecret = config::ScrambleText(token.Secret);
    s.DBOKey = config::ScrambleText(token.Key);
    cloud().granted.store(result == 0 && !token.Key.isEmpty() && !token.Secret.isEmpty());
    return result;
}

int FZCloudAccountInfo(QString& text) {
    const int result = FZCloudCheckAuth(FZCloudClient().AccountInfo(text));
    if (result) text = FZErrorText(-result, eoDropbox);
    return result;
}

int FZCloudCheckAuth(int code) {
    if (code != 401) return code;
    cloud().granted.store(false);
    FZCloudClient().SetToken(QString(), QString());
    forgetStoredToken();
    return code;
}

// ---- listings and dates ----------------------------------------------------

void FZFilterCloudListing(const std::vector<TDBOItem>& items, const QString& folder,
                          TFZDDir& listing) {
    const QString wanted = lowerCase(folder);
    const qsizetype depth = wanted.count(QLatin1Char('/'));
    // The answer opens with the folder itself.
    for (size_t i = 1; i < items.size(); ++i) {
        const TDBOItem& item = items[i];
        const QString path = lowerCase(item.Path);
        if (!path.startsWith(wanted)) continue;
        const qsizetype slashes = path.count(QLatin1Char('/'));
        TFZItem entry;
        if (item.Attr != 16 && slashes == depth) {
            entry.Name = item.Path.mid(item.Path.lastIndexOf(QLatin1Char('/')) + 1);
            entry.Size = sizeOf(item.Bytes);
            entry.Time = FZParseCloudDate(item.Modified);
            entry.Attr = quint32(item.Attr);
        } else if (item.Attr == 16 && slashes == depth + 1 &&
                   item.Path.endsWith(QLatin1Char('/'))) {
            const QString inner = item.Path.chopped(1);
            entry.Name = inner.mid(inner.lastIndexOf(QLatin1Char('/')) + 1);
            entry.Attr = FZAttrDirectory;
            const bool known = std::any_of(
                listing.Items.begin(), listing.Items.begin() + listing.Count,
                [&](const TFZItem& other) {
                    return (other.Attr & FZAttrDirectory) && other.Name == entry.Name;
                });
            if (known) continue;
        } else {
            continue;
        }
        // A name that is empty or a dot would name the folder itself or
        // its parent: an answer is not to be trusted.
        if (entry.Name.isEmpty() || isDotName(entry.Name)) continue;
        addItem(listing, std::move(entry));
    }
}

int FZListCloudFolder(int slot, TFZDDir& listing) {
    listing.Count = 0;
    listing.Items.clear();
    listing.Items.reserve(100);
    if (const int r = FZCheckSlot(slot)) return r;
    const QString folder = cloudPathOf(FZSlotRoot(slot));
    if (folder != QLatin1String("/")) {
        TFZItem parent;
        parent.Name = QStringLiteral("..");
        parent.Time = FileTimeNone;
        parent.Attr = FZAttrDirectory;
        addItem(listing, std::move(parent));
    }
    QString request = folder;
    if (request.size() > 1 && request.endsWith(QLatin1Char('/'))) request.chop(1);
    std::vector<TDBOItem> items;
    {
        Request running(slot, false);
        if (const int r = FZCloudCheckAuth(FZCloudClient().MetadataItems(request, items))) return r;
    }
    FZFilterCloudListing(items, folder, listing);
    return 0;
}

FileTime FZParseCloudDate(const QString& text) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov"};
    // "Mon, 05 Dec 2011 09:07:03 +0000"; every piece is taken by its place,
    // and each one that is no number ends the parse.
    const QString s = text.mid(5);
    bool ok = false;
    const int day = s.left(2).toInt(&ok);
    if (!ok) return FZUnreadableTime;
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    if (blank < 0) return FZUnreadableTime;
    const QString monthName = s.mid(blank + 1, 3);
    int month = 12;
    for (int i = 0; i < 11; ++i)
        if (monthName == QLatin1String(kMonths[i])) month = i + 1;
    const int year = s.mid(blank + 5, 4).toInt(&ok);
    if (!ok) return FZUnreadableTime;
    QString rest = s.mid(blank + 10);
    const qsizetype first = rest.indexOf(QLatin1Char(':'));
    if (first < 0) return FZUnreadableTime;
    const int hour = rest.left(first).toInt(&ok);
    if (!ok) return FZUnreadableTime;
    rest = rest.mid(first + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(':'));
    if (second < 0) return FZUnreadableTime;
    const int minute = rest.left(second).toInt(&ok);
    if (!ok) return FZUnreadableTime;
    const int seconds = rest.mid(second + 1, 2).toInt(&ok);
    if (!ok) return FZUnreadableTime;
    // The file time counts from 1601; earlier years have none.
    const QDate date(year, month, day);
    const QTime time(hour, minute, seconds);
    if (year < 1601 || !date.isValid() || !time.isValid()) return FZUnreadableTime;
    return FZDateTimeToFileTime(QDateTime(date, time, QTimeZone::utc()));
}

// ---- the slots' handler ----------------------------------------------------

int TFZCloudHandler::connect(int slot, TFZAccessMode) {
    if (!FZCloudGranted()) return errCloudNotGranted;
    cloud().owner.store(slot);
    return 0;
}

int TFZCloudHandler::fetch(int slot, TFZMemStream& stream) {
    TFZStreamDevice device(stream);
    Request running(slot, true);
    return FZCloudCheckAuth(FZCloudClient().DownloadFile(slotCloudPath(slot), device));
}

int TFZCloudHandler::store(int slot, TFZMemStream& stream) {
    TFZStreamDevice body(stream, QIODevice::ReadOnly);
    Request running(slot, true);
    return FZCloudCheckAuth(FZCloudClient().UploadFile(body, slotCloudPath(slot)));
}

int TFZCloudHandler::release(int slot) {
    int owner = slot;
    cloud().owner.compare_exchange_strong(owner, -1);
    return 0;
}

void TFZCloudHandler::abort(int slot) {
    if (cloud().owner.load() == slot && cloud().transferring.load())
        FZCloudClient().CancelTransfer();
}

int TFZCloudHandler::fileInfo(int slot, TFZFileInfo& info) {
    info = TFZFileInfo{};
    TDBOItem item;
    {
        Request running(slot, false);
        if (const int r = FZCloudCheckAuth(FZCloudClient().ItemInfo(slotCloudPath(slot), item)))
            return r;
    }
    if (item.Path.isEmpty()) return errFileNotFound;
    const qint64 size = sizeOf(item.Bytes);
    const FileTime time = FZParseCloudDate(item.Modified);
    info.Attributes = quint32(item.Attr);
    info.CreationTime = info.LastAccessTime = info.LastWriteTime = time;
    info.SizeHigh = quint32(quint64(size) >> 32);
    info.SizeLow = quint32(quint64(size) & 0xFFFFFFFFu);
    return 0;
}

int TFZCloudHandler::getAttributes(int, quint32& attributes) {
    attributes = 0;
    return 0;
}

int TFZCloudHandler::checkLocation(int) {
    return FZCloudGranted() ? 0 : errCloudNotGranted;
}

int TFZCloudHandler::exists(int slot) {
    TDBOItem item;
    Request running(slot, false);
    if (const int r = FZCloudCheckAuth(FZCloudClient().ItemInfo(slotCloudPath(slot), item)))
        return r;
    return item.Path.isEmpty() ? errFileNotFound : 0;
}

int TFZCloudHandler::rename(int slot, const QString& newPath) {
    const QString to = FZIsCloudPath(newPath) ? cloudPathOf(newPath) : newPath;
    Request running(slot, false);
    return FZCloudCheckAuth(FZCloudClient().MoveItem(slotCloudPath(slot), to));
}

int TFZCloudHandler::deleteFile(int slot) {
    Request running(slot, false);
    return FZCloudCheckAuth(FZCloudClient().DeleteItem(slotCloudPath(slot)));
}

int TFZCloudHandler::removeFolder(int) {
    return errInvalidPath;
}

int TFZCloudHandler::listFolder(int slot, TFZDDir& listing) {
    return FZListCloudFolder(slot, listing);
}

}  // namespace tandex::access
