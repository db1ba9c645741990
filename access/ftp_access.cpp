#include "access/ftp_access.h"

#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/ftp_client.h"
#include "access/ftp_hooks.h"
#include "access/ftp_listing.h"
#include "access/locations.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "config/sys_helpers.h"

#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

namespace tandex::access {

namespace {

struct FtpUnit {
    std::mutex mutex;  // the hooks and the client table
    TFtpSiteIndexHook indexHook;
    TFtpSiteFieldHook fieldHook;
    TFtpPasswordHook passwordHook;
    std::shared_ptr<TFtpClient> clients[FZSlotCount];
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

void FZSetFtpPasswordHook(TFtpPasswordHook prompt) {
    std::lock_guard lock(ftpUnit().mutex);
    ftpUnit().passwordHook = std::move(prompt);
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
    TFtpPasswordHook passwordHook;
    {
        std::lock_guard lock(ftpUnit().mutex);
        indexHook = ftpUnit().indexHook;
        fieldHook = ftpUnit().fieldHook;
        passwordHook = ftpUnit().passwordHook;
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
        bool cancelled = false;
        if (passwordHook) password = passwordHook(scheme + QStringLiteral(": Password required!"), cancelled);
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
    // Proxies and the HTTP CONNECT tunnel would be set up here, from the
    // proxy settings, before the client connects.
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
        client = std::move(ftpUnit().clients[slot]);
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

// Files travel through the slots in a later step; until then reading and
// writing an FTP file is refused.
int TFZFtpHandler::fetch(int, TFZMemStream&) {
    return errInvalidFunction;
}

int TFZFtpHandler::store(int, TFZMemStream&) {
    return errInvalidFunction;
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
