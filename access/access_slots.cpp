#include "access/access_slots.h"

#include "access/archive_options.h"
#include "access/archive_slots.h"
#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/error_texts.h"
#include "access/ftp_access.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "access/web_files.h"
#include "archive/archive_utils.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/services.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QSslSocket>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <new>

namespace tandex::access {

namespace {

// Kinds without a handler yet refuse to open, each with its own code.
class RefusingHandler : public TFZKindHandler {
public:
    explicit RefusingHandler(int code) : code_(code) {}
    int connect(int, TFZAccessMode) override { return code_; }
    int fetch(int, TFZMemStream&) override { return code_; }
    int store(int, TFZMemStream&) override { return code_; }
    int release(int) override { return 0; }
    int fileInfo(int, TFZFileInfo&) override { return code_; }
    int setFileTime(int, FileTime, FileTime, FileTime) override { return code_; }
    int getAttributes(int, quint32&) override { return code_; }
    int setAttributes(int, quint32) override { return code_; }
    int checkLocation(int) override { return code_; }
    int exists(int) override { return code_; }
    int makeFolder(int) override { return code_; }
    int rename(int, const QString&) override { return code_; }
    int deleteFile(int) override { return code_; }
    int removeFolder(int) override { return code_; }
    int listFolder(int, TFZDDir&) override { return code_; }

private:
    int code_;
};

struct TFZSlot {
    std::atomic<bool> open{false};
    TFZAccessMode mode = twInvAccess;
    QString path;
    QString root;
    TFZLocation location = locNone;
    std::atomic<TFZAccessKind> kind{akNone};  // read by FZAbortAll from any thread
    bool inArchive = false;
    bool detectArchives = false;
    bool sslUsed = false;
    std::atomic<bool> stopRequested{false};
    int fd = -1;  // local file open for reading
    // An injected write failure, which fails the close as a real one would.
    int failedWrite = 0;
    TFZLocalWrite writer;
    std::unique_ptr<char[]> buffer;
    TFZTextState text;
    std::unique_ptr<TFZMemStream> stream;

    ~TFZSlot() {
        if (fd >= 0) ::close(fd);
    }
};

// The application key and secret that identify the program to the cloud
// service, kept scrambled (config/scrambler.h). None ships: the service
// they were issued for is retired.
const char* const kCloudAppKey = "";
const char* const kCloudAppSecret = "";

std::unique_ptr<TDropbox1> makeCloudClient() {
    auto client = std::make_unique<TDropbox1>();
    client->SetAppKey(config::UnscrambleText(QString::fromLatin1(kCloudAppKey)));
    client->SetAppSecret(config::UnscrambleText(QString::fromLatin1(kCloudAppSecret)));
    client->SetProgress(FZCloudProgress);
    return client;
}

// The unit's program-wide state: the slot table and what goes with it.
struct AccessUnit {
    std::mutex mutex;  // taking and freeing slots, their paths, the temp folder
    TFZSlot table[FZSlotCount];
    TFZFtpHandler ftpDefault;
    TFZCloudHandler cloudDefault;
    TFZWebHandler httpDefault;
    std::atomic<TFZKindHandler*> handlers[6] = {};
    std::atomic<bool> abortFlag{false};
    std::atomic<qint64> readLimit{0};
    std::atomic<int> sslState{0};  // 0 not tested, 1 available, 2 not available
    // Injected failures per slot and operation: calls to go before one
    // fails (0 none), and the code it fails with.
    struct Fault {
        std::atomic<int> remaining{0};
        std::atomic<int> code{0};
    };
    Fault faults[FZSlotCount][3];
    QString tempFolder;
    std::unique_ptr<TDropbox1> cloud = makeCloudClient();
};

AccessUnit& unit() {
    static AccessUnit u;
    return u;
}

bool validSlot(int slot) {
    return slot >= 0 && slot < FZSlotCount && unit().table[slot].open.load();
}

TFZKindHandler& handler(TFZAccessKind kind) {
    auto& u = unit();
    if (TFZKindHandler* h = u.handlers[kind].load()) return *h;
    switch (kind) {
        case akFtp:
            return u.ftpDefault;
        case akArchive:
            return FZArchiveHandler();
        case akCloud:
            return u.cloudDefault;
        default:
            return u.httpDefault;
    }
}

// The injected failure of this call, or 0. A slot is used by one thread
// at a time, but the test that arms a fault runs on another.
int injectedFault(int slot, TFZFaultOp op) {
    if (slot < 0 || slot >= FZSlotCount) return 0;
    auto& f = unit().faults[slot][op];
    if (f.remaining.load(std::memory_order_relaxed) <= 0) return 0;
    return f.remaining.fetch_sub(1) == 1 ? f.code.load() : 0;
}

bool isRemote(TFZAccessKind kind) {
    return kind != akLocal && kind != akNone;
}

// The path as the slot stores it: remote locations use "/" only and the web
// has no blanks; local names keep every character.
QString uniformPath(const QString& path, TFZLocation location) {
    QString p = path;
    if (location >= locFtp) p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (location == locWeb) p.replace(QLatin1Char(' '), QLatin1String("%20"));
    return p;
}

QString rootOf(const QString& path) {
    if (path.endsWith(QLatin1Char('/'))) return path;
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString namePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString extensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

void setSlotPath(TFZSlot& s, const QString& path) {
    std::lock_guard lock(unit().mutex);
    s.path = uniformPath(path, s.location);
    s.root = rootOf(s.path);
}

bool findsArchive(const TFZSlot& s, const QString& path) {
    return s.detectArchives && handler(akArchive).leadsIntoArchive(path);
}

TFZAccessKind kindOf(const TFZSlot& s) {
    if (s.location == locFtp) return akFtp;
    if (s.inArchive && s.detectArchives) return akArchive;
    if (s.location == locCloud) return akCloud;
    if (s.location == locWeb) return akHttp;
    return akLocal;
}

// Writes the pending text of a slot opened for writing; UTF-16 big-endian
// kinds are held little-endian in the buffer and swapped on the way out.
int flushTextBuffer(int slot, TFZSlot& s) {
    if (!s.buffer || s.text.count == 0 || s.text.count > FZTextBufferSize) return 0;
    if (s.text.fileKind == 11 || s.text.fileKind == 12)
        for (quint32 i = 0; i + 1 < s.text.count; i += 2)
            std::swap(s.buffer[i], s.buffer[i + 1]);
    qint64 done = 0;
    const int r = FZWrite(slot, s.buffer.get(), s.text.count, done);
    s.text.count = 0;
    return r;
}

// Marks the first free slot taken; FZNoSlot (and the list of the open
// ones shown to the user) when all are.
int takeFreeSlot() {
    auto& u = unit();
    {
        std::lock_guard lock(u.mutex);
        for (int i = 0; i < FZSlotCount; ++i)
            if (!u.table[i].open.load()) {
                u.table[i].open.store(true);
                return i;
            }
    }
    QString text;
    FZOpenSlotsText(true, text);
    return FZNoSlot;
}

// The file content of a slot for a temporary copy: its stream when it has
// one, else the file fetched or read into the scratch stream.
int slotContent(int slot, TFZSlot& s, TFZMemStream& scratch, TFZMemStream*& content) {
    if (s.stream) {
        content = s.stream.get();
        return 0;
    }
    content = &scratch;
    if (isRemote(s.kind)) return handler(s.kind).fetch(slot, scratch);
    QString local;
    if (!FZLocalPathOf(s.path, local)) return errShareNotFound;
    int fd = -1;
    if (const int r = FZOpenLocalRead(local, fd)) return r;
    char buf[65536];
    int result = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = FZCodeFromErrno(errno);
        if (n <= 0) break;
        scratch.write(buf, n);
    }
    ::close(fd);
    return result;
}

// Writes the whole stream to a descriptor, leaving its position as it was.
int writeStreamTo(int fd, TFZMemStream& stream) {
    const qint64 kept = stream.position();
    stream.seek(0);
    std::vector<char> buf(1 << 20);
    int result = 0;
    for (;;) {
        const qint64 n = stream.read(buf.data(), qint64(buf.size()));
        if (n <= 0) break;
        if ((result = FZWriteAll(fd, buf.data(), n)) != 0) break;
    }
    stream.seek(kept);
    return result;
}

}  // namespace

TFZKindHandler& FZKindHandler(TFZAccessKind kind) {
    return handler(kind);
}

void FZSetKindHandler(TFZAccessKind kind, TFZKindHandler* h) {
    if (kind > akNone && kind <= akHttp && kind != akLocal) unit().handlers[kind].store(h);
}

int FZCheckSlot(int slot) {
    return validSlot(slot) ? 0 : errInvalidHandle;
}

int FZOpen(const QString& path, TFZAccessMode mode, bool detectArchives, int& slot) {
    slot = FZNoSlot;
    if (path.isEmpty()) return errInvalidPath;
    auto& u = unit();
    const int taken = takeFreeSlot();
    if (taken == FZNoSlot) return errTooManyOpenFiles;
    TFZSlot& s = u.table[taken];
    s.mode = twInvAccess;
    s.text = TFZTextState{};
    s.sslUsed = false;
    s.stopRequested.store(false);
    s.detectArchives = detectArchives;
    s.inArchive = findsArchive(s, path);
    s.location = FZClassifyPath(path);
    s.kind = kindOf(s);
    setSlotPath(s, path);
    s.fd = -1;
    s.buffer.reset();
    s.stream.reset();

    int result = 0;
    if (s.location == locNone) {
        // A scheme mark this layer does not serve ("FTP://", "x/ftp://"):
        // taken as a local name it would create folders called "FTP:".
        result = errInvalidName;
    } else if (s.location == locSftp || s.location == locScp) {
        // The FTP connect finds the profile and asks for the password
        // before it refuses these protocols.
        result = handler(akFtp).connect(taken, mode);
    } else if (s.kind == akHttp) {
        // The slot's own path says whether it is https, never a flag that
        // another thread may have set in between.
        bool https = false;
        FZIsHttpPath(s.path, &https);
        s.sslUsed = https;
        result = handler(akHttp).connect(taken, mode);
    } else if (isRemote(s.kind)) {
        result = handler(s.kind).connect(taken, mode);
        if (!result && s.kind == akCloud) s.sslUsed = true;
    }
    if (!result && (mode == twReadAccess || mode == twWriteAccess))
        result = FZOpenFile(taken, mode);

    if (result) {
        if (isRemote(s.kind)) handler(s.kind).release(taken);
        if (s.fd >= 0) ::close(s.fd);
        s.fd = -1;
        s.writer.abandon();
        s.stream.reset();
        s.buffer.reset();
        s.mode = twInvAccess;
        std::lock_guard lock(u.mutex);
        s.path.clear();
        s.root.clear();
        s.open.store(false);
        return result;
    }
    s.text.longestLine = 0;
    if (s.mode == twInvAccess) s.mode = mode;
    s.text.bomPending = true;
    s.text.fileKind = 5;
    slot = taken;
    return 0;
}

int FZOpenFile(int slot, TFZAccessMode mode) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (mode != twReadAccess && mode != twWriteAccess) return errInvalidAccessCode;
    int result = 0;
    // A file still being written is finished before the slot opens another.
    if (s.writer.active()) result = FZCloseFile(slot);
    if (result) return result;

    if (mode == twReadAccess) {
        if (s.kind == akLocal) {
            if (s.fd < 0) {
                QString local;
                result =
                    FZLocalPathOf(s.path, local) ? FZOpenLocalRead(local, s.fd) : errShareNotFound;
            }
        } else {
            try {
                // A kept stream starts empty: a shorter file must not end
                // in the previous file's bytes.
                if (s.stream)
                    s.stream->clear();
                else
                    s.stream = std::make_unique<TFZMemStream>();
                result = handler(s.kind).fetch(slot, *s.stream);
                s.stream->seek(0);
            } catch (...) {
                // Memory or the swap file ran out.
                result = FZStreamErrorCode(std::current_exception());
            }
            if (!result && s.sslUsed) unit().sslState.store(1);
        }
        s.text.count = s.text.position = FZTextBufferSize;
        s.text.atEnd = false;
        s.text.noLine = false;
        s.text.continues = false;
    } else {
        s.failedWrite = 0;
        if (s.kind == akLocal) {
            if (s.fd >= 0) {
                ::close(s.fd);
                s.fd = -1;
            }
            QString local;
            result = FZLocalPathOf(s.path, local) ? s.writer.begin(local) : errShareNotFound;
        } else if (s.kind == akHttp) {
            result = errMethodNotAllowed;
        } else {
            if (s.kind == akArchive) result = handler(akArchive).beginWrite(slot);
            if (!result) s.stream = std::make_unique<TFZMemStream>();
        }
        s.text.count = 0;
    }
    if (result) {
        s.stream.reset();
        return result;
    }
    if (!s.buffer) s.buffer = std::make_unique<char[]>(FZTextBufferSize);
    s.text.buffer = s.buffer.get();
    // Every file opened starts at its first byte, where a mark may be read
    // or written, also when the slot read or wrote another file before.
    s.text.bomPending = true;
    s.mode = mode;
    return 0;
}

int FZSetPath(int slot, const QString& path) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    s.inArchive = findsArchive(s, path);
    setSlotPath(s, path);
    if (s.kind == akArchive) return handler(akArchive).pathChanged(slot);
    return 0;
}

int FZPointSlotAt(int slot, const QString& path) {
    if (const int r = FZCheckSlot(slot)) return r;
    if (path.isEmpty()) return errInvalidPath;
    // Classes the slots cannot serve leave the slot as it was.
    const TFZLocation location = FZClassifyPath(path);
    if (location == locNone) return errInvalidName;
    if (location == locSftp) return errSftpUnsupported;
    if (location == locScp) return errScpUnsupported;
    TFZSlot& s = unit().table[slot];
    s.inArchive = findsArchive(s, path);
    s.location = location;
    s.kind = kindOf(s);
    setSlotPath(s, path);
    if (s.kind == akArchive) return handler(akArchive).pathChanged(slot);
    return 0;
}

int FZReopen(int slot, const QString& path, TFZAccessMode mode) {
    if (const int r = FZSetPath(slot, path)) return r;
    return FZOpenFile(slot, mode);
}

int FZCloseFile(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (const int fault = injectedFault(slot, foClose)) {
        // As a close that failed: the file is let go, and what was being
        // written is not committed.
        if (s.fd >= 0) ::close(s.fd);
        s.fd = -1;
        s.writer.abandon();
        s.stream.reset();
        s.failedWrite = 0;
        if (s.mode == twReadAccess) s.mode = twGenAccess;
        if (s.mode == twWriteAccess) s.mode = twGenWrAccess;
        return fault;
    }
    int result = 0;
    switch (s.mode) {
        case twGenAccess:
            if (s.kind == akFtp) s.stopRequested.store(false);
            break;
        case twReadAccess:
            if (s.fd >= 0) ::close(s.fd);
            s.fd = -1;
            if (s.kind == akFtp) s.stopRequested.store(false);
            s.stream.reset();
            s.mode = twGenAccess;
            break;
        case twWriteAccess:
            result = flushTextBuffer(slot, s);
            if (!result) result = s.failedWrite;
            s.failedWrite = 0;
            if (s.kind == akLocal) {
                // Incomplete content never replaces the target.
                if (result)
                    s.writer.abandon();
                else
                    result = s.writer.commit();
            } else if (s.stream && s.kind != akHttp) {
                if (!result) result = handler(s.kind).store(slot, *s.stream);
                s.stream.reset();
            }
            s.mode = twGenWrAccess;
            break;
        default:
            break;
    }
    return result;
}

int FZEndFailedWrite(int slot, bool keep) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (s.mode != twWriteAccess) return errInvalidAccessCode;
    s.failedWrite = 0;
    int result = 0;
    // What is still buffered belongs to the partial file; a failing flush
    // only means less of it landed.
    if (keep) flushTextBuffer(slot, s);
    if (s.kind == akLocal) {
        if (keep)
            result = s.writer.commit(true);
        else
            s.writer.abandon();
    } else if (s.stream && s.kind != akHttp) {
        if (keep) result = handler(s.kind).store(slot, *s.stream);
        s.stream.reset();
    }
    s.mode = twGenWrAccess;
    return result;
}

int FZClose(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    int result;
    try {
        result = FZCloseFile(slot);
    } catch (...) {
        result = FZStreamErrorCode(std::current_exception());
    }
    if (isRemote(s.kind)) {
        // Saving an archive happens here; its failure must not pass for
        // success when the file itself closed cleanly.
        const int released = handler(s.kind).release(slot);
        if (!result) result = released;
    }
    // A slot pointed away from its archive (a backup in a local folder)
    // still saves and frees it.
    if (s.kind != akArchive) {
        const int released = FZCloseArchive(slot);
        if (!result) result = released;
    }
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    s.writer.abandon();
    s.stream.reset();
    s.buffer.reset();
    s.text = TFZTextState{};
    s.mode = twInvAccess;
    std::lock_guard lock(unit().mutex);
    s.path.clear();
    s.root.clear();
    s.open.store(false);
    return result;
}

int FZRead(int slot, void* buffer, qint64 count, qint64& done) {
    done = 0;
    if (const int r = FZCheckSlot(slot)) return r;
    if (const int fault = injectedFault(slot, foRead)) return fault;
    TFZSlot& s = unit().table[slot];
    if (count < 0) return errInvalidParameter;
    if (s.kind == akLocal) {
        if (s.fd < 0) return s.writer.active() ? errAccessDenied : errInvalidHandle;
        char* p = static_cast<char*>(buffer);
        while (done < count) {
            const ssize_t n = ::read(s.fd, p + done, size_t(count - done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return FZCodeFromErrno(errno);
            if (n == 0) break;
            done += n;
        }
        return 0;
    }
    if (!s.stream) return 0;
    try {
        done = s.stream->read(buffer, count);
    } catch (...) {
        return FZStreamErrorCode(std::current_exception());
    }
    return 0;
}

int FZWrite(int slot, const void* buffer, qint64 count, qint64& done) {
    done = 0;
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (const int fault = injectedFault(slot, foWrite)) {
        if (!s.failedWrite) s.failedWrite = fault;
        return fault;
    }
    if (count < 0) return errInvalidParameter;
    if (s.kind == akLocal) {
        if (s.writer.active()) return s.writer.write(buffer, count, done);
        return s.fd >= 0 ? errAccessDenied : errInvalidHandle;
    }
    if (s.kind == akHttp) return errMethodNotAllowed;
    if (!s.stream) return errInvalidHandle;
    try {
        done = s.stream->write(buffer, count);
    } catch (...) {
        // Memory or the swap file ran out.
        return FZStreamErrorCode(std::current_exception());
    }
    return 0;
}

int FZSeek(int slot, qint64 position) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (position < 0) return errInvalidParameter;
    if (s.kind == akLocal) {
        if (s.writer.active()) return s.writer.seek(position);
        if (s.fd < 0) return errInvalidHandle;
        if (::lseek(s.fd, off_t(position), SEEK_SET) < 0) return FZCodeFromErrno(errno);
        return 0;
    }
    if (!s.stream) return errInvalidHandle;
    s.stream->seek(position);
    return 0;
}

TFZAccessMode FZSlotMode(int slot) {
    return validSlot(slot) ? unit().table[slot].mode : twInvAccess;
}

TFZLocation FZSlotLocation(int slot) {
    return validSlot(slot) ? unit().table[slot].location : locNone;
}

TFZAccessKind FZAccessKind(int slot) {
    return validSlot(slot) ? kindOf(unit().table[slot]) : akNone;
}

TFZAccessKind FZSlotAccessKind(int slot) {
    return validSlot(slot) ? unit().table[slot].kind.load() : akNone;
}

QString FZSlotPath(int slot) {
    if (!validSlot(slot)) return QString();
    std::lock_guard lock(unit().mutex);
    return unit().table[slot].path;
}

QString FZSlotRoot(int slot) {
    if (!validSlot(slot)) return QString();
    std::lock_guard lock(unit().mutex);
    return unit().table[slot].root;
}

bool FZSlotSslUsed(int slot) {
    return validSlot(slot) && unit().table[slot].sslUsed;
}

void FZSetSlotSslUsed(int slot, bool used) {
    if (validSlot(slot)) unit().table[slot].sslUsed = used;
}

bool FZSlotInArchive(int slot) {
    return validSlot(slot) && unit().table[slot].inArchive;
}

TFZMemStream* FZSlotStream(int slot) {
    return validSlot(slot) ? unit().table[slot].stream.get() : nullptr;
}

TFZTextState* FZSlotText(int slot) {
    return validSlot(slot) ? &unit().table[slot].text : nullptr;
}

int FZSlotHandle(int slot) {
    if (!validSlot(slot)) return -1;
    const TFZSlot& s = unit().table[slot];
    if (s.kind != akLocal) return -1;
    return s.writer.active() ? s.writer.fd() : s.fd;
}

int FZSetCommitTimes(int slot, FileTime access, FileTime write) {
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    if (s.kind != akLocal || !s.writer.active()) return errInvalidHandle;
    s.writer.setTimes(access, write);
    return 0;
}

int FZFlushText(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    return flushTextBuffer(slot, unit().table[slot]);
}

void FZReserveStream(int slot, qint64 size) {
    if (size <= 8192 || !validSlot(slot)) return;
    TFZSlot& s = unit().table[slot];
    if (!s.stream) return;
    try {
        s.stream->reserve(std::min(size, FZMaxReservedStream));
    } catch (const std::exception&) {
        // Only a hint: the writes grow the stream as they go.
    }
}

// ---- temporary copies and folders -----------------------------------------

QString FZTempFolder() {
    {
        std::lock_guard lock(unit().mutex);
        if (!unit().tempFolder.isEmpty()) return unit().tempFolder;
    }
    return FZSystemTempFolder();
}

int FZRemoveStaleTempFiles() {
    QStringList folders{FZTempFolder(), FZSystemTempFolder(), QDir::tempPath()};
    folders.removeDuplicates();
    int removed = 0;
    for (const QString& folder : folders) removed += archive::RemoveStaleTempFiles(folder);
    return removed;
}

void FZSetTempFolder(const QString& folder, QString& previous) {
    auto& u = unit();
    {
        std::lock_guard lock(u.mutex);
        previous = u.tempFolder;
    }
    // An empty setting means the program's private folder, not the root.
    QString wanted;
    if (!folder.isEmpty()) {
        wanted = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        if (FZMakeFolderPath(wanted) != 0) wanted = config::PrgDir().GetWritableRoot();
    }
    std::lock_guard lock(u.mutex);
    u.tempFolder = wanted;
}

int FZSaveToTempFile(int slot, bool useName, const QString& prefix, QString& fileName) {
    fileName.clear();
    if (const int r = FZCheckSlot(slot)) return r;
    TFZSlot& s = unit().table[slot];
    const QString folder = FZTempFolder();
    const QString name = namePart(FZSlotPath(slot));
    if (useName && name.isEmpty()) return errInvalidPath;

    TFZMemStream scratch;
    TFZMemStream* content = nullptr;
    try {
        if (const int r = slotContent(slot, s, scratch, content)) return r;
    } catch (...) {
        return FZStreamErrorCode(std::current_exception());
    }

    // The copy is written to a new file that nobody can slip a file or link
    // in under, named only once complete; a fixed name is then replaced
    // whole by a rename.
    QString created;
    int fd = -1;
    const QString prefixForUnique = useName ? QStringLiteral(".~tdx") : QStringLiteral("~");
    const QString suffix = useName ? QString() : extensionOf(name);
    if (const int r = FZCreateNewFile(folder, prefixForUnique, suffix, created, fd)) return r;
    int result = 0;
    try {
        result = writeStreamTo(fd, *content);
    } catch (...) {
        result = FZStreamErrorCode(std::current_exception());
    }
    if (!result) result = FZNameNewFile(fd, folder, prefixForUnique, suffix, created);
    if (::close(fd) != 0 && !result) result = FZCodeFromErrno(errno);
    QString target = created;
    if (!result && useName) {
        target = folder + prefix + name;
        if (::rename(QFile::encodeName(created).constData(),
                     QFile::encodeName(target).constData()) != 0)
            result = FZCodeForPath(errno, target);
    }
    if (result) {
        if (!created.isEmpty()) ::unlink(QFile::encodeName(created).constData());
        return result;
    }
    fileName = target;
    return 0;
}

int FZDownloadToTemp(const QString& path, bool useName, const QString& prefix, QString& fileName) {
    fileName.clear();
    int slot = FZNoSlot;
    if (const int r = FZOpen(path, twReadAccess, true, slot)) return r;
    const int result = FZSaveToTempFile(slot, useName, prefix, fileName);
    const int closed = FZClose(slot);
    return result ? result : closed;
}

int FZMakeFolder(int slot) {
    if (const int r = FZCheckSlot(slot)) return r;
    const TFZSlot& s = unit().table[slot];
    switch (s.kind) {
        case akLocal: {
            QString root = FZSlotRoot(slot);
            if (!FZIsUncPath(root) && !root.startsWith(QLatin1Char('/')))
                root = QDir::currentPath() + QLatin1Char('/') + root;
            QString local;
            if (!FZLocalPathOf(root, local)) return errShareNotFound;
            // A share's walk starts behind its mount point, a local one at "/".
            QString base = QStringLiteral("/");
            if (FZIsUncPath(root)) {
                QString shareRoot;
                FZLocalPathOf(FZPathRoot(root), shareRoot);
                base = shareRoot;
            }
            return FZMakeLocalFolders(local, base);
        }
        case akFtp:
        case akArchive:
            return handler(s.kind).makeFolder(slot);
        case akCloud:
        case akHttp:
            return 0;
        default:
            return errInvalidPath;
    }
}

int FZMakeFolderPath(const QString& path) {
    int slot = FZNoSlot;
    if (const int r = FZOpen(path, twGenAccess, true, slot)) return r;
    const int result = FZMakeFolder(slot);
    FZClose(slot);
    return result;
}

// ---- abort and transfer limits ------------------------------------------

void FZAbortAll() {
    auto& u = unit();
    u.abortFlag.store(true);
    for (int i = 0; i < FZSlotCount; ++i) {
        if (!validSlot(i)) continue;
        if (u.table[i].kind == akFtp)
            FZAbortFtpTransfer(i);
        else if (u.table[i].kind == akCloud || u.table[i].kind == akHttp)
            handler(u.table[i].kind).abort(i);
    }
}

bool FZResetAbort() {
    return unit().abortFlag.exchange(false);
}

bool FZAbortRequested() {
    return unit().abortFlag.load();
}

void FZSetReadLimit(int slot, qint64 bytes) {
    if (!validSlot(slot)) return;
    unit().readLimit.store(bytes);
    unit().table[slot].stopRequested.store(true);
}

qint64 FZReadLimit() {
    return unit().readLimit.load();
}

bool FZStopRequested(int slot) {
    return validSlot(slot) && unit().table[slot].stopRequested.load();
}

void FZClearStopRequest(int slot) {
    if (validSlot(slot)) unit().table[slot].stopRequested.store(false);
}

void FZAbortFtpTransfer(int slot) {
    if (!validSlot(slot)) return;
    TFZSlot& s = unit().table[slot];
    // The first request stops the transfer politely; a second one, while
    // the first is still pending, tears the connection down.
    if (!s.stopRequested.load()) {
        unit().readLimit.store(0);
        s.stopRequested.store(true);
    } else if (s.kind == akFtp) {
        handler(akFtp).abort(slot);
    }
}

// ---- misc --------------------------------------------------------------

void FZOpenSlotsText(bool show, QString& text) {
    text.clear();
    {
        std::lock_guard lock(unit().mutex);
        for (int i = 0; i < FZSlotCount; ++i)
            if (unit().table[i].open.load())
                text += QStringLiteral("tw.%1: ").arg(i) + unit().table[i].path + QLatin1Char('\r');
    }
    if (text.isEmpty()) text = QStringLiteral("tw  : No open files!\r");
    if (show) config::showMessage(QStringLiteral("twHandles in use:"), text);
}

void FZForceSslUnavailable(bool force) {
    unit().sslState.store(force ? 2 : 0);
}

TDropbox1& FZCloudClient() {
    return *unit().cloud;
}

bool FZSslAvailable() {
    auto& state = unit().sslState;
    if (state.load() == 0) state.store(QSslSocket::supportsSsl() ? 1 : 2);
    return state.load() == 1;
}

void FZInjectFault(int slot, TFZFaultOp op, int n, int code) {
    if (slot < 0 || slot >= FZSlotCount || op < foRead || op > foClose) return;
    auto& f = unit().faults[slot][op];
    f.code.store(code);
    f.remaining.store(std::max(n, 0));
}

void FZClearFaults() {
    for (auto& perSlot : unit().faults)
        for (auto& f : perSlot) f.remaining.store(0);
}

bool FZItemFindData(const TFZDDir& listing, int n, TFZFindData& findData) {
    if (n < 0 || n >= listing.Count || size_t(n) >= listing.Items.size()) return false;
    const TFZItem& item = listing.Items[size_t(n)];
    findData.Attributes = item.Attr;
    findData.LastWriteTime = item.Time;
    findData.SizeHigh = quint32(quint64(item.Size) >> 32);
    findData.SizeLow = quint32(quint64(item.Size) & 0xFFFFFFFFu);
    findData.Name = item.Name;
    return true;
}

bool FZFindItemData(const TFZDDir& listing, const QString& path, TFZFindData& findData) {
    const QString name = namePart(path);
    const bool ignoreCase = FZArchiveOptions().ignoreCase;
    // Per code unit, so that lengths never change.
    auto lower = [](QString s) {
        for (QChar& c : s)
            c = c.toLower();
        return s;
    };
    const QString wanted = ignoreCase ? lower(name) : name;
    const int count =
        int(std::min<size_t>(size_t(std::max(listing.Count, 0)), listing.Items.size()));
    for (int i = 0; i < count; ++i) {
        const QString& itemName = listing.Items[size_t(i)].Name;
        if ((ignoreCase ? lower(itemName) : itemName) == wanted)
            return FZItemFindData(listing, i, findData);
    }
    return false;
}

void FZSetArchiveDetect(int slot, bool on) {
    if (validSlot(slot)) unit().table[slot].detectArchives = on;
}

void FZSetSlotPathOnly(int slot, const QString& path) {
    if (validSlot(slot)) setSlotPath(unit().table[slot], path);
}

int FZTakeArchiveSlot(const QString& name, int& slot) {
    auto& u = unit();
    slot = takeFreeSlot();
    if (slot == FZNoSlot) return errTooManyOpenFiles;
    TFZSlot& s = u.table[slot];
    s.text = TFZTextState{};
    s.sslUsed = false;
    s.stopRequested.store(false);
    s.detectArchives = true;
    s.inArchive = true;
    s.location = locLocal;
    s.kind = akArchive;
    setSlotPath(s, name);
    s.fd = -1;
    s.stream = std::make_unique<TFZMemStream>();
    s.buffer = std::make_unique<char[]>(FZTextBufferSize);
    s.text.buffer = s.buffer.get();
    s.text.count = s.text.position = FZTextBufferSize;
    s.text.bomPending = true;
    s.text.fileKind = 5;
    s.mode = twReadAccess;
    return 0;
}

void FZSlotDropStream(int slot) {
    if (validSlot(slot)) unit().table[slot].stream.reset();
}

}  // namespace tandex::access
