#include "access/ftp_access.h"

#include "access/access_slots.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/ftp_client.h"
#include "access/ftp_hooks.h"
#include "access/ftp_listing.h"
#include "access/ftp_proxy.h"
#include "access/locations.h"
#include "access/password_prompt.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "config/sys_helpers.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace tandex::access {

namespace {

// Which way a slot last moved a file, so that freeing it drops the
// progress hook of that direction only.
enum class Direction { none, reading, writing };

struct FtpUnit {
    std::mutex mutex;  // the hooks and the client table
    TFtpSiteIndexHook indexHook;
    TFtpSiteFieldHook fieldHook;
    TFtpProgressHook readHook;
    TFtpProgressHook writeHook;
    std::shared_ptr<TFtpClient> clients[FZSlotCount];
    Direction direction[FZSlotCount] = {};
};

FtpUnit& ftpUnit() {
    static FtpUnit u;
    return u;
}

std::shared_ptr<TFtpClient> clientOf(int slot) {
    if (slot < 0 || slot >= FZSlotCount) return nullptr;
    std::lock_guard lock(ftpUnit().mutex);
    return ftpUnit().clients[slot];
}

FileTime time1900() {
    static const FileTime t = FZDateTimeToFileTime(QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC));
    return t;
}

QString toServerPath(QString path) {
    path.replace(QLatin1String("_1_"), QLatin1String("\\"));
    return path;
}

// A name that holds a separator or a line end could reach another folder
// or smuggle a command into the next one the program sends.
bool unsafeName(const QString& name) {
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
            c == QChar(0))
            return true;
    return false;
}

QString joinServer(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A server path with "." and ".." folded away and no trailing "/", so that
// identities compare as texts.
QString foldedPath(const QString& base, const QString& path) {
    const QString whole = path.startsWith(QLatin1Char('/')) ? path : joinServer(base, path);
    QStringList parts;
    for (const QString& part : whole.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty()) parts.removeLast();
            continue;
        }
        parts += part;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

int codeOf(const EFtpError& e) {
    if (e.code() == errInternet) FZSetLastMessage(e.message());
    return e.code();
}

// Lists the server folder (a path as the server names it) into listing;
// timeRead tells, per item, whether its time came from the server.
void listServerFolder(TFtpClient& client, const QString& folder, TFZDDir& listing,
                      std::vector<bool>* timeRead = nullptr) {
    if (timeRead) timeRead->clear();
    listing.Count = 0;
    listing.Items.clear();
    listing.Identity.clear();
    client.ChangeDir(folder);
    const bool mlsd = client.UsesMlsd();
    if (mlsd && client.HasUnique()) {
        const TFtpReply own = client.SendCmd(QStringLiteral("MLST ") + folder);
        TFtpEntry entry;
        if (own.positive() && !own.innerLines().isEmpty() &&
            FZParseMlsdLine(own.innerLines().first(), entry))
            listing.Identity = entry.unique;
    } else if (!mlsd) {
        listing.Identity = foldedPath(QStringLiteral("/"), client.CurrentDir());
    }
    const QByteArray bytes = client.ListCurrent(mlsd);
    const QDateTime now = QDateTime::currentDateTime();
    bool parentSeen = false;
    for (QByteArray raw : bytes.split('\n')) {
        if (raw.endsWith('\r')) raw.chop(1);
        if (raw.isEmpty()) continue;
        const QString line = QString::fromUtf8(raw);
        TFtpEntry entry;
        if (!(mlsd ? FZParseMlsdLine(line, entry) : FZParseListLine(line, now, entry))) continue;
        if (entry.kind == TFtpEntryKind::CurrentFolder || entry.kind == TFtpEntryKind::Other ||
            entry.name == QLatin1String("."))
            continue;
        if (entry.kind == TFtpEntryKind::ParentFolder) entry.name = QStringLiteral("..");
        if (unsafeName(entry.name)) continue;
        TFZItem item;
        item.Name = entry.name;
        item.Name.replace(QLatin1Char('\\'), QLatin1String("_1_"));
        item.Size = entry.size;
        // LIST times are the server's local time, read in this machine's
        // zone; MLSD times come as UTC.
        item.Time = entry.time.isValid() ? FZDateTimeToFileTime(entry.time.toUTC()) : time1900();
        if (entry.name == QLatin1String("..")) {
            parentSeen = true;
            item.Attr = FZAttrDirectory;
        } else if (entry.kind == TFtpEntryKind::Folder) {
            item.Attr = FZAttrDirectory;
            item.Identity = mlsd ? entry.unique : foldedPath(listing.Identity, entry.name);
        } else if (entry.kind == TFtpEntryKind::Link) {
            item.Link = true;
            // A link is a folder when the server lets us into it; where it
            // leads tells it from the folders on the way.
            try {
                client.ChangeDir(joinServer(folder, entry.name));
                item.Attr = FZAttrDirectory;
                // A server that names the folder by the way in rather than
                // where it leads gets the link's target folded onto the
                // folder instead.
                item.Identity = foldedPath(QStringLiteral("/"), client.CurrentDir());
                if (item.Identity == foldedPath(listing.Identity, entry.name) &&
                    !entry.linkTarget.isEmpty())
                    item.Identity = foldedPath(listing.Identity, entry.linkTarget);
            } catch (const EFtpError& e) {
                if (e.code() != errInternet) throw;
            }
        }
        listing.Items.push_back(std::move(item));
        if (timeRead) timeRead->push_back(entry.time.isValid());
    }
    if (!parentSeen) {
        TFZItem parent;
        parent.Name = QStringLiteral("..");
        parent.Attr = FZAttrDirectory;
        parent.Time = time1900();
        listing.Items.push_back(parent);
    }
    listing.Count = int(listing.Items.size());
}

}  // namespace

void FZSetFtpSiteHooks(TFtpSiteIndexHook index, TFtpSiteFieldHook field) {
    std::lock_guard lock(ftpUnit().mutex);
    ftpUnit().indexHook = std::move(index);
    ftpUnit().fieldHook = std::move(field);
}

void FZSetFtpReadProgressHook(TFtpProgressHook hook) {
    std::lock_guard lock(ftpUnit().mutex);
    ftpUnit().readHook = std::move(hook);
}

void FZSetFtpWriteProgressHook(TFtpProgressHook hook) {
    std::lock_guard lock(ftpUnit().mutex);
    ftpUnit().writeHook = std::move(hook);
}

// ---- site and path texts ----------------------------------------------------

bool FZIsFtpUrl(const QString& text) {
    const TFZLocation location = FZClassifyPath(text);
    return location >= locFtp && location <= locScp;
}

bool FZFtpSite(const QString& text, QString& site) {
    return config::FtpSiteOf(text, site);
}

void FZFtpRemotePath(int /*slot*/, const QString& location, QString& remotePath) {
    QString site;
    if (!location.contains(QLatin1String("://")) && !location.contains(QLatin1String(":##"))) {
        remotePath = location;
        return;
    }
    // Behind the site part, not behind the first "@": a user name may hold
    // one.
    remotePath = FZFtpSite(location, site) ? location.mid(site.size()) : QString();
    if (remotePath.isEmpty()) remotePath = QStringLiteral("/");
}

void FZFtpDisplayUrl(int slot, const QString& path, bool addSlash, QString& location) {
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (path.contains(QLatin1String("://")) || path.contains(QLatin1String(":##")) || !client)
        location = path;
    else
        location = QStringLiteral("ftp://") + client->options().user + QLatin1Char('@') +
                   client->options().host + path;
    if (location.endsWith(QLatin1Char('\\'))) location.back() = QLatin1Char('/');
    if (addSlash && !location.endsWith(QLatin1Char('/'))) location += QLatin1Char('/');
}

void FZFtpRemotePathOfSlot(int slot, QString& remotePath) {
    FZFtpRemotePath(slot, FZSlotPath(slot), remotePath);
    remotePath = toServerPath(remotePath);
}

void FZFtpRemoteFolderOfSlot(int slot, QString& remoteFolder) {
    FZFtpRemotePath(slot, FZSlotRoot(slot), remoteFolder);
    remoteFolder = toServerPath(remoteFolder);
}

// ---- connecting -------------------------------------------------------------

int FZConnectFtp(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    const QString path = FZSlotPath(slot);
    const TFZLocation location = FZSlotLocation(slot);
    TFtpSiteIndexHook indexHook;
    TFtpSiteFieldHook fieldHook;
    {
        std::lock_guard lock(ftpUnit().mutex);
        indexHook = ftpUnit().indexHook;
        fieldHook = ftpUnit().fieldHook;
    }
    int code = errNoFtpProfile;
    const int index = indexHook ? indexHook(path, code) : -1;
    if (index < 0) return errNoFtpProfile;
    if (!fieldHook) return errBadProfile;
    const auto field = [&](int n) { return fieldHook(index, n); };

    const bool anonymous = field(10) == QLatin1String("1");
    QString password = field(4);
    if (password.isEmpty() && !anonymous) {
        const QString scheme = location == locSftp  ? QStringLiteral(" SFTP")
                               : location == locScp ? QStringLiteral(" SCP")
                                                    : QStringLiteral(" FTP");
        TPasswordAnswer answer;
        PasswordPromptHook(scheme + QStringLiteral(": Password required!"), answer);
        password = answer.scrambled;
        if (password.isEmpty()) return 615;
    }
    if (location == locSftp) return errSftpUnsupported;
    if (location == locScp) return errScpUnsupported;

    // Numeric fields: one that is no number makes the profile unusable.
    bool numeric = true;
    const auto number = [&](int n) {
        bool ok = false;
        const int value = field(n).trimmed().toInt(&ok);
        if (!ok) numeric = false;
        return value;
    };
    TFtpOptions options;
    const int port = number(3);
    options.tlsMode = number(6);
    options.ipv6 = number(7) == 1;
    options.tlsMethod = number(8);
    options.protectData = number(9) != 0;
    options.connectTimeoutMs = number(11) * 1000;
    options.readTimeoutMs = number(12) * 1000;
    options.passive = number(13) == 1;
    options.setRts = field(14) == QLatin1String("1");
    options.utime3 = field(15) == QLatin1String("1");
    if (!numeric || port < 1 || port > 65535 || options.tlsMode < 0 || options.tlsMode > 3 ||
        options.connectTimeoutMs <= 0 || options.readTimeoutMs <= 0)
        return errBadProfile;
    options.port = quint16(port);
    options.host = field(1);
    if (anonymous) {
        options.user = QStringLiteral("anonymous");
        options.password = field(16);
    } else {
        options.user = field(2);
        options.password = config::UnscrambleText(password);
    }
    options.proxy = FZFtpProxyFromSettings();
    if (options.tlsMode > 0) FZSetSlotSslUsed(slot, true);

    std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (client && client->Connected()) return 0;
    client = std::make_shared<TFtpClient>(options);
    {
        std::lock_guard lock(ftpUnit().mutex);
        ftpUnit().clients[slot] = client;
    }

    // TFTPConnect: the connect runs on its own thread while this one keeps
    // processing messages; an abort of all work ends it.
    std::atomic<bool> done{false};
    int result = 0;
    QString message;
    client->setCancelCheck([] { return FZAbortRequested(); });
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            client->Connect();
        } catch (const EFtpError& e) {
            result = e.code();
            message = e.message();
        } catch (const std::exception& e) {
            result = errInternet;
            message = QString::fromUtf8(e.what());
        }
        done.store(true);
    }));
    thread->start();
    while (!done.load()) config::WaitWithMessages(50);
    thread->wait();
    client->setCancelCheck({});
    if (result) {
        if (result == errInternet) FZSetLastMessage(message);
        return result;
    }
    FZSetLastMessage(client->TlsDeclined()
                         ? QStringLiteral("SSL/TLS not supported by remote host!\rUnprotected connection established.")
                         : QString());
    return 0;
}

void FZFreeFtpClient(int slot) {
    std::shared_ptr<TFtpClient> client;
    {
        std::lock_guard lock(ftpUnit().mutex);
        if (slot < 0 || slot >= FZSlotCount) return;
        FtpUnit& u = ftpUnit();
        client = std::move(u.clients[slot]);
        if (u.direction[slot] == Direction::reading) u.readHook = nullptr;
        if (u.direction[slot] == Direction::writing) u.writeHook = nullptr;
        u.direction[slot] = Direction::none;
    }
    if (client) client->Quit();
}

// ---- listing ----------------------------------------------------------------

int FZListFtp(int slot, TFZDDir& listing) {
    listing.Count = 0;
    listing.Items.clear();
    listing.Identity.clear();
    if (const int r = FZCheckSlot(slot)) return r;
    if (FZSlotAccessKind(slot) != akFtp) return 0;
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (!client) return errInvalidHandle;
    QString folder;
    FZFtpRemotePathOfSlot(slot, folder);
    try {
        listServerFolder(*client, folder, listing);
    } catch (const EFtpError& e) {
        listing.Count = 0;
        listing.Items.clear();
        return codeOf(e);
    }
    return 0;
}

int FZGetFtpFolderTime(int slot, const QString& path, FileTime& time, quint32& attributes) {
    time = 0;
    attributes = quint32(-1);
    if (const int r = FZCheckSlot(slot)) return r;
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (!client) return errInvalidHandle;
    QString remote;
    FZFtpRemotePath(slot, path, remote);
    remote = toServerPath(remote);
    if (remote.size() > 1 && remote.endsWith(QLatin1Char('/'))) remote.chop(1);
    const qsizetype cut = remote.lastIndexOf(QLatin1Char('/'));
    QString parent = cut < 0 ? QString() : remote.left(cut);
    QString name = remote.mid(cut + 1);
    if (parent.isEmpty()) parent = QStringLiteral("/");
    if (name.isEmpty()) name = QStringLiteral(".");
    name.replace(QLatin1Char('\\'), QLatin1String("_1_"));
    TFZDDir listing;
    std::vector<bool> timeRead;
    try {
        listServerFolder(*client, parent, listing, &timeRead);
    } catch (const EFtpError& e) {
        return codeOf(e);
    }
    for (int i = 0; i < listing.Count; ++i) {
        const TFZItem& item = listing.Items[size_t(i)];
        if ((item.Attr & FZAttrDirectory) && item.Name == name) {
            time = size_t(i) < timeRead.size() && timeRead[size_t(i)] ? item.Time : FileTimeNone;
            attributes = 0;
            return 0;
        }
    }
    return 0;
}

QStringList FZFtpCapabilities(int slot) {
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    return client ? client->Features() : QStringList();
}

QStringList FZFtpHelp(int slot) {
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (!client) return {};
    try {
        return client->Help();
    } catch (const EFtpError& e) {
        codeOf(e);
        return {};
    }
}

// ---- the slots' handler -----------------------------------------------------

int TFZFtpHandler::connect(int slot, TFZAccessMode) {
    return FZConnectFtp(slot);
}

// ---- file transfers ---------------------------------------------------------

namespace {

constexpr qint64 kTransferChunk = 32768;
constexpr auto kReportInterval = std::chrono::milliseconds(50);

// The work events of one transfer on a slot. The transfer asks for its
// pace at least every 50 ms; that is where progress is reported, so a
// hook that aborts is heard at the very next read or write. The read
// limit's stop ends a download early (kind detection needs only the
// start), while an abort of all work or of this transfer (which clears
// the limit) ends it with 1235 so that part of a file never passes for
// all of it.
class TransferWork {
public:
    TransferWork(int slot, Direction direction) : slot_(slot), direction_(direction) {
        std::lock_guard lock(ftpUnit().mutex);
        ftpUnit().direction[slot] = direction;
    }
    // Work end: the next transfer of the slot starts without a stop
    // request, whatever ended this one.
    ~TransferWork() { FZClearStopRequest(slot_); }
    TransferWork(const TransferWork&) = delete;
    TransferWork& operator=(const TransferWork&) = delete;

    // The most bytes to move next, 0 to end without an error, -1 to abort;
    // moved is the count of the file's bytes moved so far.
    qint64 pace(qint64 moved) {
        const auto now = Clock::now();
        if (now - lastReport_ >= kReportInterval) {
            if (moved != reported_) {
                report(moved);
            } else if (direction_ == Direction::writing && !hook()) {
                config::eventPump().processEvents();
            }
            lastReport_ = now;
        }
        if (FZAbortRequested()) return -1;
        if (!FZStopRequested(slot_)) return kTransferChunk;
        const qint64 limit = FZReadLimit();
        if (limit <= 0) return -1;
        if (direction_ == Direction::reading && moved >= limit) return 0;
        return std::min(limit, kTransferChunk);
    }
    // The whole count once the file is through.
    void finish(qint64 moved) {
        if (moved != reported_) report(moved);
    }

private:
    using Clock = std::chrono::steady_clock;

    TFtpProgressHook hook() const {
        std::lock_guard lock(ftpUnit().mutex);
        return direction_ == Direction::reading ? ftpUnit().readHook : ftpUnit().writeHook;
    }
    void report(qint64 moved) {
        if (direction_ == Direction::writing) FZSetTransferDelta(moved - reported_);
        reported_ = moved;
        if (const TFtpProgressHook h = hook())
            h(moved);
        else if (direction_ == Direction::writing)
            config::eventPump().processEvents();
    }

    int slot_;
    Direction direction_;
    qint64 reported_ = 0;  // the slot's last work position
    Clock::time_point lastReport_ = Clock::now();
};

}  // namespace

int TFZFtpHandler::fetch(int slot, TFZMemStream& stream) {
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (!client) return errInvalidHandle;
    QString remote;
    FZFtpRemotePathOfSlot(slot, remote);
    TransferWork work(slot, Direction::reading);
    qint64 moved = 0;
    try {
        const bool whole = client->Retrieve(
            remote, [&] { return work.pace(moved); },
            [&](const char* data, qint64 size) {
                stream.write(data, size);
                moved += size;
            });
        if (whole) work.finish(moved);
    } catch (const EFtpError& e) {
        return codeOf(e);
    }
    return 0;
}

// ---- operations -------------------------------------------------------------

namespace {

// The slot's client and its remote path, or the refusal code.
int prepared(int slot, std::shared_ptr<TFtpClient>& client, QString& remote) {
    client = clientOf(slot);
    if (!client) return errInvalidHandle;
    FZFtpRemotePathOfSlot(slot, remote);
    return 0;
}

// A command whose reply must be one of codes; any other gives 99990 with
// the reply as the last message.
int expect(TFtpClient& client, const QString& command, std::initializer_list<int> codes,
           TFtpReply* out = nullptr) {
    try {
        const TFtpReply reply = client.SendCmd(command);
        if (out) *out = reply;
        for (int code : codes)
            if (reply.code == code) return 0;
        FZSetLastMessage(reply.text());
        return errInternet;
    } catch (const EFtpError& e) {
        return codeOf(e);
    }
}

QString stamp(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyyMMddHHmmss"));
}

bool announces(const QStringList& lines, const QString& form) {
    for (const QString& line : lines)
        if (line.simplified().compare(form, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool namesUtime(const QStringList& lines) {
    for (const QString& line : lines)
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (word.compare(QLatin1String("UTIME"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace

QDateTime FZParseFtpTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral("(?:^|\\s)(\\d{14})(?:\\.(\\d{1,9}))?(?:\\s|$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return {};
    QDateTime time = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    if (!time.isValid()) return {};
    time = QDateTime(time.date(), time.time(), Qt::UTC);
    if (m.capturedLength(2)) time = time.addMSecs(m.captured(2).left(3).leftJustified(3, QLatin1Char('0')).toInt());
    return time;
}

int FtpSetModTime(TFtpClient& client, const QString& file, const QDateTime& utcTime) {
    if (!client.options().setRts) return 0;
    const QDateTime utc = utcTime.toUTC();
    const QStringList& features = client.Features();
    const std::initializer_list<int> success{200, 213, 250, 253};
    if (FZFtpHasFeature(features, QStringLiteral("MFMT"))) {
        QString time = stamp(utc);
        if (const int ms = utc.time().msec()) time += QStringLiteral(".%1").arg(ms, 3, 10, QLatin1Char('0'));
        return expect(client, QStringLiteral("MFMT ") + time + QLatin1Char(' ') + file, success);
    }
    // No server type is taken as knowing an MDTM syntax it does not
    // announce: the SYST names say too little about how a server reads it.
    if (announces(features, QStringLiteral("MDTM YYYYMMDDHHMMSS[+-TZ];filename")))
        return expect(client, QStringLiteral("MDTM ") + stamp(utc) + QLatin1Char(' ') + file, success);
    const QDateTime local = utc.toLocalTime();
    const int offsetMinutes = local.offsetFromUtc() / 60;
    if (announces(features, QStringLiteral("MDTM YYYYMMDDHHMMSS[+-TZ] filename"))) {
        const QString offset = (offsetMinutes < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
                               QString::number(std::abs(offsetMinutes));
        return expect(client,
                      QStringLiteral("MDTM ") + stamp(local) +
                          offset + QLatin1Char(' ') + file,
                      success);
    }
    // The server's own offset is never known here, so its MDTM form is out.
    bool utime = namesUtime(features);
    if (!utime) {
        try {
            const TFtpReply help = client.SendCmd(QStringLiteral("SITE HELP"));
            utime = help.positive() && namesUtime(help.lines);
        } catch (const EFtpError& e) {
            return codeOf(e);
        }
    }
    if (utime) {
        const QString t = stamp(utc) + QLatin1Char(' ');
        const QString times = client.options().utime3 ? t + t + t : t;
        return expect(client, QStringLiteral("SITE UTIME ") + file + QLatin1Char(' ') + times + QStringLiteral("UTC"),
                      success);
    }
    return expect(client,
                  QStringLiteral("MDTM ") + stamp(local) +
                      QLatin1Char(' ') + file,
                  success);
}

int TFZFtpHandler::fileInfo(int slot, TFZFileInfo& info) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    TFtpReply reply;
    if (const int r = expect(*client, QStringLiteral("SIZE ") + remote, {213}, &reply)) return r;
    bool ok = false;
    const qint64 size = reply.text().mid(4).trimmed().toLongLong(&ok);
    if (!ok || size < 0) {
        FZSetLastMessage(reply.text());
        return errInternet;
    }
    if (const int r = expect(*client, QStringLiteral("MDTM ") + remote, {213}, &reply)) return r;
    const QDateTime time = FZParseFtpTime(reply.text().mid(4));
    if (!time.isValid()) {
        FZSetLastMessage(reply.text());
        return errInternet;
    }
    info = TFZFileInfo{};
    info.LastWriteTime = info.CreationTime = info.LastAccessTime = FZDateTimeToFileTime(time);
    info.SizeHigh = quint32(quint64(size) >> 32);
    info.SizeLow = quint32(quint64(size));
    return 0;
}

int TFZFtpHandler::setFileTime(int slot, FileTime, FileTime, FileTime write) {
    if (FZSlotMode(slot) == twReadAccess) return errInvalidAccessCode;
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    // The milliseconds travel too (MFMT takes them).
    const qint64 ms = qint64(write % 10000000 / 10000);
    return FtpSetModTime(*client, remote, FZFileTimeToDateTime(write).addMSecs(ms));
}

// Servers keep no attributes a user could see or set here.
int TFZFtpHandler::getAttributes(int, quint32& attributes) {
    attributes = 0;
    return 0;
}

int TFZFtpHandler::setAttributes(int, quint32) {
    return 0;
}

int TFZFtpHandler::checkLocation(int slot) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    FZFtpRemoteFolderOfSlot(slot, remote);
    TFtpReply reply;
    const int r = expect(*client, QStringLiteral("CWD ") + remote, {200, 250}, &reply);
    return r == errInternet && reply.code == 550 ? errPathNotFound : r;
}

int TFZFtpHandler::exists(int slot) {
    // A file downloaded already is there.
    if (FZSlotMode(slot) == twReadAccess && FZSlotStream(slot)) return 0;
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    return expect(*client, QStringLiteral("SIZE ") + remote, {213});
}

int TFZFtpHandler::makeFolder(int slot) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    FZFtpRemoteFolderOfSlot(slot, remote);
    if (const int r = expect(*client, QStringLiteral("CWD /"), {200, 250})) return r;
    for (const QString& part : remote.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (expect(*client, QStringLiteral("CWD ") + part, {200, 250}) == 0) continue;
        if (const int r = expect(*client, QStringLiteral("MKD ") + part, {257})) return r;
        if (const int r = expect(*client, QStringLiteral("CWD ") + part, {200, 250})) return r;
    }
    return 0;
}

namespace {

// Uploads wait beside their target under a name of this prefix and six
// random letters or digits until they are whole.
const QString kUploadPrefix = QStringLiteral(".~tdx");
constexpr int kUploadNameAttempts = 20;

bool remoteFileExists(TFtpClient& client, const QString& path) {
    try {
        return client.SendCmd(QStringLiteral("SIZE ") + path).code == 213;
    } catch (const EFtpError&) {
        return false;
    }
}

// A name in folder that holds no file yet, empty when none was found.
QString freshUploadName(TFtpClient& client, const QString& folder) {
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < kUploadNameAttempts; ++attempt) {
        QString name = folder + kUploadPrefix;
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(chars[QRandomGenerator::global()->bounded(int(sizeof chars - 1))]);
        if (!remoteFileExists(client, name)) return name;
    }
    return {};
}

// Removes a file, whatever the answer: the caller reports its own failure.
void removeQuietly(TFtpClient& client, const QString& path) {
    const QString message = FZLastMessage();
    try {
        client.SendCmd(QStringLiteral("DELE ") + path);
    } catch (const EFtpError&) {
    }
    FZSetLastMessage(message);
}

int renameRemote(TFtpClient& client, const QString& from, const QString& to) {
    if (const int r = expect(client, QStringLiteral("RNFR ") + from, {350})) return r;
    return expect(client, QStringLiteral("RNTO ") + to, {250});
}

}  // namespace

// The file goes up under a fresh name beside the target and replaces it
// only once it arrived whole: a line that breaks half-way, a full disk or
// a cancel leave the target as it was and take the partial upload away.
int TFZFtpHandler::store(int slot, TFZMemStream& stream) {
    const std::shared_ptr<TFtpClient> client = clientOf(slot);
    if (!client) return errInvalidHandle;
    QString remote;
    FZFtpRemotePathOfSlot(slot, remote);
    const QString upload = freshUploadName(*client, remote.left(remote.lastIndexOf(QLatin1Char('/')) + 1));
    if (upload.isEmpty()) {
        FZSetLastMessage(QStringLiteral("No free name for the upload beside ") + remote);
        return errInternet;
    }
    stream.seek(0);
    TransferWork work(slot, Direction::writing);
    qint64 moved = 0;
    try {
        client->Store(
            upload, [&] { return work.pace(moved); },
            [&](char* buffer, qint64 size) {
                const qint64 given = stream.read(buffer, size);
                if (given > 0) moved += given;
                return given;
            });
    } catch (const EFtpError& e) {
        const int code = codeOf(e);
        removeQuietly(*client, upload);
        return code;
    }
    int r = renameRemote(*client, upload, remote);
    // Some servers rename onto no existing file: the target goes just
    // before the rename instead.
    if (r && remoteFileExists(*client, remote)) {
        if (expect(*client, QStringLiteral("DELE ") + remote, {250}) == 0) {
            r = renameRemote(*client, upload, remote);
            if (r) {
                // The target is gone: the new file stays where it is, so
                // its bytes are not lost with it.
                FZSetLastMessage(FZLastMessage() + QStringLiteral(" The file was kept as ") + upload);
                return r;
            }
        }
    }
    if (r) {
        removeQuietly(*client, upload);
        return r;
    }
    work.finish(moved);
    return 0;
}

int TFZFtpHandler::rename(int slot, const QString& newPath) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    QString target;
    FZFtpRemotePath(slot, newPath, target);
    if (const int r = expect(*client, QStringLiteral("RNFR ") + remote, {350})) return r;
    return expect(*client, QStringLiteral("RNTO ") + toServerPath(target), {250});
}

int TFZFtpHandler::deleteFile(int slot) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    return expect(*client, QStringLiteral("DELE ") + remote, {250});
}

int TFZFtpHandler::removeFolder(int slot) {
    std::shared_ptr<TFtpClient> client;
    QString remote;
    if (const int r = prepared(slot, client, remote)) return r;
    if (remote.size() > 1 && remote.endsWith(QLatin1Char('/'))) remote.chop(1);
    return expect(*client, QStringLiteral("RMD ") + remote, {250});
}

int TFZFtpHandler::release(int slot) {
    FZFreeFtpClient(slot);
    return 0;
}

void TFZFtpHandler::abort(int slot) {
    if (const std::shared_ptr<TFtpClient> client = clientOf(slot)) client->Abort();
}

int TFZFtpHandler::listFolder(int slot, TFZDDir& listing) {
    return FZListFtp(slot, listing);
}

}  // namespace tandex::access
