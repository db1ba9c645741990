#include "access/archive_slots.h"

#include "access/archive_options.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/file_times.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "access/mem_stream.h"
#include "access/password_prompt.h"
#include "archive/archive_errors.h"
#include "archive/archive_utils.h"
#include "archive/tar_items.h"
#include "archive/zip_kit.h"
#include "archive/zip_records.h"
#include "config/scrambler.h"
#include "config/sys_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace tandex::access {

namespace {

using archive::TArcArchive;
using archive::TArcArchiveItem;
using archive::TArcZipKit;

constexpr qint64 kBatchSaveBytes = qint64(1) << 30;
constexpr int kBatchCheckEvery = 8;
constexpr int kBatchMemoryLoad = 80;
constexpr quint8 kNoPercent = 101;
constexpr int errDiskWrite = 101;
// A zip method this component cannot extract into a stream.
constexpr int kMethodJpeg = 96;
// The zip extra field of Unix time stamps ("UT").
constexpr uint16_t kExtendedTimeTag = 0x5455;

// What a slot keeps of its archive.
struct TZipInfo {
    std::atomic<qint64> pendingBytes{0};
    qint64 itemBytes = 0;
    QString innerPath;
    std::function<void(qint64)> progressHook;
    const TArcArchiveItem* lastItem = nullptr;
    int lastError = 0;
    bool deferSave = false;
    int extIndex = -1;
    quint8 lastPercent = kNoPercent;
    int split = 0;
};

struct ArchiveSlot {
    std::unique_ptr<TArcZipKit> kit;
    // The archive of FZOpenArchiveStream lives on this stream.
    std::unique_ptr<archive::Stream> source;
    QString kitPath;    // the archive file as the slot's path names it
    int current = -1;   // index of the current member; -1 when none
    int addedSinceOpen = 0;
    // The archive file was created by this slot (local name).
    QString createdFile;
    TZipInfo info;
    // Member names (as compared) to their first index; rebuilt when names
    // changed or the item count is not the one indexed.
    QHash<QString, int> names;
    int namesCount = -1;
    bool namesIgnoreCase = false;
    void forgetNames() { namesCount = -1; }
};

// The save and free thread of a slot: the caller keeps the window alive
// while it runs.
class TZIPClose {
public:
    TZIPClose(ArchiveSlot& a, int mode) : a_(a), mode_(mode) {}
    int run() {
        busy_.store(true);
        std::thread worker([this] { execute(); });
        // Most saves of small archives and every free end within a few
        // milliseconds: a short look first spares them a whole round.
        for (int i = 0; i < 20 && busy_.load(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        while (busy_.load())
            config::WaitWithMessages(50);
        worker.join();
        if (result_) FZSetLastMessage(message_);
        return result_;
    }

private:
    void execute() {
        try {
            if (mode_ == 1) {
                a_.info.lastError = 0;
                a_.kit->Save();
                result_ = a_.info.lastError;
            } else {
                a_.kit.reset();
            }
        } catch (...) {
            result_ = FZStreamErrorCode(std::current_exception());
        }
        // The message is this thread's own; the waiting thread takes it.
        message_ = FZLastMessage();
        a_.info.lastError = 0;
        busy_.store(false);
    }

    ArchiveSlot& a_;
    int mode_;
    int result_ = 0;
    QString message_;
    std::atomic<bool> busy_{false};
};

struct ArchiveUnit {
    ArchiveSlot table[FZSlotCount];
    std::atomic<bool> deferSave{false};
    std::atomic<int> writeState{0};
    std::atomic<qint64> transferDelta{0};
    std::mutex testMutex;
    std::function<int()> memoryLoad;
    std::atomic<qint64> saveThreshold{kBatchSaveBytes};
};

ArchiveUnit& unit() {
    static ArchiveUnit u;
    return u;
}

int memoryLoad() {
    std::function<int()> source;
    {
        std::lock_guard lock(unit().testMutex);
        source = unit().memoryLoad;
    }
    return source ? source() : config::MemoryLoadPercent();
}

bool isArchiveSlot(int slot) {
    return FZCheckSlot(slot) == 0 && unit().table[slot].kit;
}

TArcArchive* archiveOf(int slot) {
    return isArchiveSlot(slot) ? unit().table[slot].kit->Archive() : nullptr;
}

TArcArchiveItem* currentItem(int slot) {
    TArcArchive* archive = archiveOf(slot);
    const int index = unit().table[slot].current;
    if (!archive || index < 0 || index >= archive->GetCount()) return nullptr;
    return archive->ItemList().Items(index);
}

bool isGzippedTar(const TArcZipKit& kit) {
    return kit.ArchiveType == archive::ArcGzippedTar || kit.ArchiveType == archive::ArcBzippedTar;
}

// The one item a packed tar lists: the archive file's name without its
// last extension ("a.tar" for "a.tar.gz").
QString packedTarName(const QString& archiveFile) {
    QString name = archiveFile.mid(archiveFile.lastIndexOf(QLatin1Char('/')) + 1);
    return name.left(name.lastIndexOf(QLatin1Char('.')));
}

// Member names count "/" and "\" as separators and compare with "/".
QString memberPath(QString name) {
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

QString comparable(const QString& name) {
    return FZArchiveOptions().ignoreCase ? FZLowerAscii(name) : name;
}

// The code of an archive exception: the I/O error's own, else the number in
// the message (99992 without one), never 0.
int codeOfException(std::exception_ptr error) {
    const int code = FZStreamErrorCode(error);
    return code ? code : errArchive;
}

FileTime fileTimeOfItem(const TArcArchiveItem& item) {
    const archive::TDateTime local = item.GetLastModTimeAsDateTime();
    if (local <= 0) return FZUnreadableTime;
    return FZFileTimeOf(archive::LocalToUnixTime(local), 0);
}

quint32 attributesOfItem(const TArcArchiveItem& item) {
    return quint32(item.GetNativeFileAttributes());
}

// Splits the slot's path into archive file and inner path.
bool splitSlotPath(int slot, QString& archiveFile, QString& inner, int& extIndex, int& split) {
    const QString path = FZSlotPath(slot);
    if (!FZFindArchiveInPath(path, 0)) return false;
    split = FZArchiveSplitPosition();
    extIndex = FZArchiveExtIndex();
    archiveFile = path.left(split);
    inner = memberPath(path.mid(split + 1));
    return true;
}

// ---- the archive component's events -------------------------------------

void onItemProgress(int slot, TArcArchiveItem* item, quint8 percent, bool& abort) {
    abort = FZAbortRequested();
    if (!item || item->GetIsDirectory()) return;
    TZipInfo& info = unit().table[slot].info;
    if (item != info.lastItem) {
        info.lastItem = item;
        info.itemBytes = 0;
        info.lastPercent = kNoPercent;
    }
    if (percent == info.lastPercent) return;
    info.lastPercent = percent;
    const bool adding = item->Action == archive::iaStreamAdd && item->SourceStream;
    const qint64 size = adding ? item->SourceStream->Size() : qint64(item->GetUncompressedSize());
    const qint64 bytes = std::llround(double(size) / 100.0 * percent);
    const qint64 delta = bytes - info.itemBytes;
    unit().transferDelta.store(delta);
    info.itemBytes = bytes;
    if (adding) {
        unit().writeState.store(3);
        qint64 pending = info.pendingBytes.load();
        info.pendingBytes.store(std::max<qint64>(pending - delta, 0));
    }
    if (info.progressHook) info.progressHook(bytes);
}

void onItemFailure(int slot, TArcArchiveItem* item, archive::TArcProcessType type,
                   archive::TArcErrorClass errorClass, int32_t code) {
    // A disk file that cannot be opened while adding is skipped; a member
    // added from a slot's stream has no such file, and its failure counts.
    if (type == archive::ptAdd && errorClass == archive::ecFileOpenError &&
        !(item && item->SourceStream))
        return;
    TZipInfo& info = unit().table[slot].info;
    if (errorClass == archive::ecInOutError && code > 0) {
        info.lastError = code;
    } else {
        // Reported from the handler of the failure itself: its own message
        // says what went wrong, where the code's table text (if any) only
        // names the kind.
        QString message = archive::ArcMessage(code);
        if (const std::exception_ptr failure = std::current_exception()) {
            const archive::ArcErrorInfo same = archive::ClassifyException(failure);
            if (same.ErrorClass == errorClass && same.ErrorCode == code) {
                try {
                    std::rethrow_exception(failure);
                } catch (const archive::Exception& e) {
                    if (!e.Message().isEmpty()) message = e.Message();
                } catch (...) {
                }
            }
        }
        info.lastError = message.isEmpty() ? errArchive : FZArchiveCode(message);
    }
    if (errorClass == archive::ecArchive && code == archive::EArcZipInvalidPassword::Code_) {
        FZSetLastMessage(QStringLiteral("Invalid Password"));
        info.lastError = errArchive;
        SetLastZipPassword(QString());
    }
}

void onNeedPassword(QByteArray& password) {
    const QString last = LastZipPassword();
    if (!last.isEmpty() && password.isEmpty()) {
        password = config::UnscrambleText(last).toUtf8();
        return;
    }
    TPasswordAnswer answer;
    PasswordPromptHook(QStringLiteral("Zip decryption: Password required!"), answer);
    password = answer.cancelled ? QByteArray() : config::UnscrambleText(answer.scrambled).toUtf8();
    if (answer.cancelled) FZAbortAll();
    SetLastZipPassword(answer.cancelled ? QString() : answer.scrambled);
}

// The password a new encrypted archive gets: the settings' one, the last
// one entered, or the user's answer.
QByteArray encryptionPassword() {
    QString scrambled = FZArchiveOptions().password;
    if (scrambled.isEmpty()) scrambled = LastZipPassword();
    if (scrambled.isEmpty()) {
        TPasswordAnswer answer;
        PasswordPromptHook(QStringLiteral("Zip encryption: Password required!"), answer);
        if (answer.cancelled) FZAbortAll();
        scrambled = answer.cancelled ? QString() : answer.scrambled;
    }
    if (scrambled.isEmpty()) return QByteArray();
    SetLastZipPassword(scrambled);
    return config::UnscrambleText(scrambled).toUtf8();
}

void installEvents(int slot, TArcZipKit& kit) {
    kit.OnArchiveProgress = [](archive::TArcBaseBrowser&, uint8_t, bool& abort) {
        abort = FZAbortRequested();
    };
    kit.OnArchiveSaveProgress = kit.OnArchiveProgress;
    kit.OnArchiveItemProgress = [slot](archive::TArcBaseBrowser&, TArcArchiveItem* item,
                                       uint8_t percent, bool& abort) {
        onItemProgress(slot, item, percent, abort);
    };
    kit.OnConfirmSave = [](archive::TArcBaseBrowser&, bool& confirm) {
        confirm = !unit().deferSave.load();
    };
    kit.OnProcessItemFailure = [slot](archive::TArcBaseBrowser&, TArcArchiveItem* item,
                                      archive::TArcProcessType type,
                                      archive::TArcErrorClass errorClass, int32_t code) {
        onItemFailure(slot, item, type, errorClass, code);
    };
    kit.OnNeedPassword = [](archive::TArcBaseBrowser&, QByteArray& password) {
        onNeedPassword(password);
    };
}

std::unique_ptr<TArcZipKit> makeKit(int slot) {
    auto kit = std::make_unique<TArcZipKit>();
    kit->SetAutoSave(false);
    static constexpr archive::TArcZipDeflationOption levels[] = {
        archive::doSuperFast, archive::doNormal, archive::doMaximum};
    kit->SetDeflationOption(levels[qBound(0, FZArchiveOptions().level, 2)]);
    kit->SetPasswordRetries(3);
    kit->SetPassword(QByteArray());
    kit->SetTempDirectory(FZTempFolder());
    installEvents(slot, *kit);
    return kit;
}

// ---- the handler ------------------------------------------------------------

class TFZArchiveHandler : public TFZKindHandler {
public:
    int connect(int slot, TFZAccessMode mode) override {
        const int result = FZOpenArchive(slot, mode);
        ArchiveSlot& a = unit().table[slot];
        a.addedSinceOpen = 0;
        a.info.pendingBytes.store(0);
        return result;
    }

    int pathChanged(int slot) override { return FZOpenArchive(slot, FZSlotMode(slot)); }

    int beginWrite(int slot) override { return FZOpenArchive(slot, twWriteAccess); }

    int fetch(int slot, TFZMemStream& stream) override {
        if (const int r = FZOpenArchive(slot, twReadAccess)) return r;
        ArchiveSlot& a = unit().table[slot];
        TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        if (const auto* zip = dynamic_cast<const archive::TArcZipItem*>(item);
            zip && zip->CompressionMethod() == kMethodJpeg) {
            FZSetLastMessage(archive::ArcMessage(archive::EArcZipInvalidMethod::Code_));
            return errArchive;
        }
        a.info.lastError = 0;
        try {
            // Room for the whole member up front (the stream caps it): a
            // stream grown write by write copies the member many times.
            stream.reserve(qint64(std::min<quint64>(item->GetUncompressedSize(), INT64_MAX)));
            a.kit->ExtractToStream(item->GetFileName(), stream);
        } catch (...) {
            a.info.lastError = codeOfException(std::current_exception());
        }
        const int result = a.info.lastError;
        a.info.lastError = 0;
        stream.seek(0);
        return result;
    }

    int store(int slot, TFZMemStream& stream) override;

    int release(int slot) override { return FZCloseArchive(slot); }

    bool leadsIntoArchive(const QString& path) override { return FZFindArchiveInPath(path, 0); }

    int fileInfo(int slot, TFZFileInfo& info) override {
        const TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        const quint64 size = item->GetUncompressedSize();
        info = TFZFileInfo{};
        info.SizeHigh = quint32(size >> 32);
        info.SizeLow = quint32(size & 0xFFFFFFFFu);
        info.LastWriteTime = info.CreationTime = info.LastAccessTime = fileTimeOfItem(*item);
        info.Attributes = attributesOfItem(*item);
        return 0;
    }

    int setFileTime(int slot, FileTime, FileTime, FileTime write) override {
        TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        const qint64 seconds = qint64(write / 10000000) - 11644473600LL;
        item->SetLastModTimeAsDateTime(archive::UnixTimeToLocal(seconds));
        if (auto* member = dynamic_cast<archive::TArcZipItem*>(item)) {
            // Readers prefer the extended time stamp over the DOS time: an
            // old one left behind would hide the time just set.
            member->CentralHeader().ExtraField.Delete(kExtendedTimeTag);
            member->LocalExtraField().Delete(kExtendedTimeTag);
        }
        archiveOf(slot)->IsDirty = true;
        return 0;
    }

    int getAttributes(int slot, quint32& attributes) override {
        const TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        attributes = attributesOfItem(*item);
        return 0;
    }

    int setAttributes(int slot, quint32 attributes) override {
        TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        const bool readOnly = attributes & FZAttrReadOnly;
        const quint32 old = item->GetExternalFileAttributes();
        quint32 value = attributes;
        if (dynamic_cast<archive::TArcTarItem*>(item)) {
            // Tar keeps permission bits: read-only is the lack of write bits.
            value = readOnly ? (old & ~0222u) : (old | 0200u);
        } else if (old > 0x1FFFF) {
            // A member made on Unix keeps its mode in the high half.
            quint32 mode = old >> 16;
            mode = readOnly ? (mode & ~0222u) : (mode | 0200u);
            value = (mode << 16) | (attributes & 0xFF);
        }
        item->SetExternalFileAttributes(value);
        archiveOf(slot)->IsDirty = true;
        return 0;
    }

    int checkLocation(int slot) override {
        QString archiveFile, inner, local;
        int extIndex = -1, split = 0;
        if (!splitSlotPath(slot, archiveFile, inner, extIndex, split)) return errPathNotFound;
        if (!FZLocalPathOf(archiveFile, local)) return errShareNotFound;
        if (!QFileInfo(local).isFile()) return errPathNotFound;
        const QString folder = inner.left(inner.lastIndexOf(QLatin1Char('/')) + 1);
        if (folder.isEmpty()) return 0;
        if (FZOpenArchive(slot, twGenAccess) != 0) return errPathNotFound;
        return FZFindArchiveItem(slot, folder) >= 0 ? 0 : errPathNotFound;
    }

    int exists(int slot) override { return currentItem(slot) ? 0 : errFileNotFound; }

    int makeFolder(int slot) override;

    int rename(int slot, const QString& newPath) override {
        ArchiveSlot& a = unit().table[slot];
        TArcArchiveItem* item = currentItem(slot);
        if (!item) return errFileNotFound;
        if (!FZFindArchiveInPath(newPath, 0)) return errInvalidPath;
        const QString inner = memberPath(newPath.mid(FZArchiveSplitPosition() + 1));
        if (inner.isEmpty()) return errInvalidName;
        a.info.lastError = 0;
        a.forgetNames();
        try {
            archiveOf(slot)->Move(item, inner);
        } catch (...) {
            a.info.lastError = codeOfException(std::current_exception());
        }
        const int result = a.info.lastError;
        a.info.lastError = 0;
        return result;
    }

    int deleteFile(int slot) override { return deleteCurrent(slot); }
    int removeFolder(int slot) override { return deleteCurrent(slot); }

    int listFolder(int slot, TFZDDir& listing) override { return FZListArchiveFolder(slot, listing); }

private:
    int deleteCurrent(int slot) {
        ArchiveSlot& a = unit().table[slot];
        if (!currentItem(slot)) return errFileNotFound;
        a.info.lastError = 0;
        a.forgetNames();
        try {
            a.kit->DeleteAt(a.current);
        } catch (...) {
            a.info.lastError = codeOfException(std::current_exception());
        }
        const int failed = a.info.lastError;
        a.info.lastError = 0;
        if (failed) return errFileNotFound;
        a.current = -1;
        return 0;
    }
};

int TFZArchiveHandler::store(int slot, TFZMemStream& stream) {
    if (!isArchiveSlot(slot)) return errInvalidHandle;
    ArchiveUnit& u = unit();
    ArchiveSlot& a = u.table[slot];
    TZipInfo& info = a.info;
    u.deferSave.store(info.deferSave);
    if (info.deferSave) {
        ++a.addedSinceOpen;
        const bool lowMemory =
            a.addedSinceOpen % kBatchCheckEvery == 0 && memoryLoad() > kBatchMemoryLoad;
        if (lowMemory || info.pendingBytes.load() > u.saveThreshold.load()) {
            u.deferSave.store(false);
            u.writeState.store(4);
            int result = 0;
            info.lastError = 0;
            a.forgetNames();
            try {
                a.kit->Save();
                result = info.lastError;
            } catch (...) {
                result = FZAbortRequested() ? errUserAborted
                                            : codeOfException(std::current_exception());
            }
            info.lastError = 0;
            info.pendingBytes.store(0);
            u.deferSave.store(true);
            info.deferSave = true;
            if (result) return result;
        }
    }
    // A member written while the user stopped is not stored, and saying so
    // keeps the caller from counting it as copied.
    if (FZAbortRequested()) return errUserAborted;

    info.pendingBytes += stream.size();
    info.lastError = 0;
    const int countBefore = a.kit->GetCount();
    try {
        a.kit->SetStoreOptions(a.kit->StoreOptions() | archive::soFreshen);
        auto owned = std::make_shared<TFZMemStream>(std::move(stream));
        u.writeState.store(info.deferSave ? 2 : 4);
        a.kit->AddFromStream(info.innerPath, std::move(owned));
    } catch (...) {
        info.lastError = 0;
        return codeOfException(std::current_exception());
    }
    const int failed = info.lastError;
    info.lastError = 0;
    if (failed) return failed;
    if (!info.deferSave) info.pendingBytes.store(0);

    TArcArchive* archive = a.kit->Archive();
    int index = archive ? archive->ItemList().FindActive(info.innerPath) : -1;
    // A member added at the end joins the name index instead of having
    // the whole index rebuilt for the next lookup.
    if (index >= 0 && index == countBefore && a.namesCount == countBefore &&
        archive->GetCount() == countBefore + 1) {
        const QString key = a.namesIgnoreCase ? FZLowerAscii(memberPath(info.innerPath))
                                              : memberPath(info.innerPath);
        if (!a.names.contains(key)) a.names.insert(key, index);
        a.namesCount = countBefore + 1;
    }
    if (index < 0) index = FZFindArchiveItem(slot, info.innerPath);
    if (index < 0) return errDiskWrite;
    a.current = index;
    return 0;
}

int TFZArchiveHandler::makeFolder(int slot) {
    QString archiveFile, inner;
    int extIndex = -1, split = 0;
    if (!splitSlotPath(slot, archiveFile, inner, extIndex, split)) return errPathNotFound;
    // Java archives are left as their build made them.
    if (FZLowerAscii(archiveFile).endsWith(QLatin1String(".jar"))) return 0;
    TArcArchive* archive = archiveOf(slot);
    if (!archive) return errPathNotFound;
    for (qsizetype at = inner.indexOf(QLatin1Char('/')); at >= 0;
         at = inner.indexOf(QLatin1Char('/'), at + 1)) {
        const QString folder = inner.left(at + 1);
        if (at == 0 || FZFindArchiveItem(slot, folder) >= 0) continue;
        try {
            std::unique_ptr<TArcArchiveItem> item = archive->CreateItem(folder);
            if (!item) return errPathNotFound;
            item->SetExternalFileAttributes(FZAttrDirectory);
            // Added from an empty stream: a folder has no file on disk.
            item->SourceStream = std::make_shared<archive::MemoryStream>();
            item->Action = archive::iaStreamAdd;
            archive->ItemList().Add(std::move(item));
            archive->IsDirty = true;
        } catch (...) {
            return errPathNotFound;
        }
    }
    return 0;
}

TFZArchiveHandler& archiveHandler() {
    static TFZArchiveHandler handler;
    return handler;
}

// The first entry of a listing is ".." for any folder but the root.
TFZItem folderEntry(const QString& name) {
    TFZItem entry;
    entry.Name = name;
    entry.Attr = FZAttrDirectory;
    entry.Time = FileTimeNone;
    return entry;
}

}  // namespace

std::atomic<bool>& DeferArchiveSave() {
    return unit().deferSave;
}

std::atomic<int>& ArchiveWriteState() {
    return unit().writeState;
}

TFZKindHandler& FZArchiveHandler() {
    return archiveHandler();
}

int FZOpenArchive(int slot, TFZAccessMode mode) {
    if (const int r = FZCheckSlot(slot)) return r;
    ArchiveSlot& a = unit().table[slot];
    QString archiveFile, inner;
    int extIndex = -1, split = 0;
    if (!splitSlotPath(slot, archiveFile, inner, extIndex, split)) return errPathNotFound;
    if (!a.kit) {
        a.info.extIndex = extIndex;
        a.info.split = split;
        a.info.lastError = 0;
        a.info.deferSave = unit().deferSave.load();
        a.kit = makeKit(slot);
        a.kitPath.clear();
    }
    a.info.split = split;
    if (mode == twWriteAccess && FZArchiveOptions().encryptNew && a.kit->Password().isEmpty())
        a.kit->SetPassword(encryptionPassword());

    a.info.innerPath = inner;
    a.current = inner.isEmpty() ? 0 : -1;
    if (a.kitPath != archiveFile && !a.source) {
        QString local;
        if (!FZLocalPathOf(archiveFile, local)) return errShareNotFound;
        const QFileInfo file(local);
        if (!file.isFile() && (file.exists() || (mode != twGenWrAccess && mode != twWriteAccess)))
            return errFileNotFound;
        unit().writeState.store(1);
        try {
            a.forgetNames();
            a.kit->SetFileName(local);
        } catch (...) {
            a.kitPath.clear();
            return codeOfException(std::current_exception());
        }
        a.kitPath = archiveFile;
        a.createdFile = file.exists() ? QString() : local;
    }
    TArcArchive* archive = a.kit->Archive();
    const int count = archive ? archive->GetCount() : 0;
    if (mode == twReadAccess && count == 0) return errNotArchive;
    if (a.current == -1) {
        a.current = FZFindArchiveItem(slot, inner);
    } else if (mode == twReadAccess && !archive->ItemList().Items(0)->GetIsDirectory()) {
        // The archive file itself read as a file gives its first member, as
        // a gzip file gives its content.
        inner = memberPath(archive->ItemList().Items(0)->GetFileName());
        a.info.innerPath = inner;
    }
    if (a.current >= count) a.current = -1;
    if (mode == twReadAccess && a.current < 0)
        return inner.endsWith(QLatin1Char('/')) ? errPathNotFound : errFileNotFound;
    const QString named = archiveFile + QLatin1Char('/') + inner;
    if (FZSlotPath(slot) != named) FZSetSlotPathOnly(slot, named);
    if (mode == twWriteAccess && a.current >= 0 &&
        (attributesOfItem(*archive->ItemList().Items(a.current)) & FZAttrReadOnly))
        return errAccessDenied;
    return 0;
}

int FZFindArchiveItem(int slot, const QString& innerPath) {
    TArcArchive* archive = archiveOf(slot);
    if (!archive) return -1;
    ArchiveSlot& a = unit().table[slot];
    const bool ignoreCase = FZArchiveOptions().ignoreCase;
    const QString wanted = ignoreCase ? FZLowerAscii(memberPath(innerPath)) : memberPath(innerPath);
    // A packed tar holds its one item under the name it is listed by; a
    // path to anything else (a member of the tar inside included) is not
    // in it, as a missing member of a zip is not.
    if (isGzippedTar(*a.kit)) return wanted == comparable(packedTarName(a.kitPath)) ? 0 : -1;
    const bool folder = wanted.endsWith(QLatin1Char('/'));
    const int count = archive->GetCount();
    if (!folder) {
        if (a.namesCount != count || a.namesIgnoreCase != ignoreCase) {
            a.names.clear();
            a.names.reserve(count);
            // Backwards, so that the first of equal names is the one kept.
            for (int i = count - 1; i >= 0; --i) {
                const TArcArchiveItem* item = archive->ItemList().Items(i);
                // A member marked for deletion is gone for everyone but the save.
                if (item->Action == archive::iaDelete) continue;
                const QString name = memberPath(item->GetFileName());
                a.names.insert(ignoreCase ? FZLowerAscii(name) : name, i);
            }
            a.namesCount = count;
            a.namesIgnoreCase = ignoreCase;
        }
        return a.names.value(wanted, -1);
    }
    for (int i = 0; i < count; ++i) {
        const TArcArchiveItem* item = archive->ItemList().Items(i);
        // A member marked for deletion is gone for everyone but the save.
        if (item->Action == archive::iaDelete) continue;
        const QString name = comparable(memberPath(item->GetFileName()));
        if (folder ? name.startsWith(wanted) : name == wanted) return i;
    }
    return -1;
}

int FZListArchiveFolder(int slot, TFZDDir& listing) {
    listing.Count = 0;
    listing.Items.clear();
    TArcArchive* archive = archiveOf(slot);
    const ArchiveSlot& a = unit().table[std::clamp(slot, 0, FZSlotCount - 1)];
    if (!archive || a.current < 0 || archive->GetCount() == 0) return errPathNotFound;
    listing.Items.reserve(size_t(archive->GetCount()) + 1);
    const bool ignoreCase = FZArchiveOptions().ignoreCase;
    auto fold = [ignoreCase](const QString& s) { return ignoreCase ? FZLowerAscii(s) : s; };

    QString folder = fold(a.info.innerPath);
    const TArcArchiveItem* cur = archive->ItemList().Items(a.current);
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) && !cur->GetIsDirectory())
        folder = folder.left(folder.lastIndexOf(QLatin1Char('/')) + 1);
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const int depth = int(folder.count(QLatin1Char('/')));
    if (!folder.isEmpty()) listing.Items.push_back(folderEntry(QStringLiteral("..")));

    if (isGzippedTar(*a.kit)) {
        const TArcArchiveItem* item = archive->ItemList().Items(0);
        TFZItem entry;
        entry.Name = packedTarName(a.kitPath);
        entry.Size = qint64(item->GetUncompressedSize());
        entry.PackedSize = qint64(item->GetCompressedSize());
        entry.Time = fileTimeOfItem(*item);
        entry.Attr = attributesOfItem(*item) & ~FZAttrDirectory;
        listing.Items.push_back(entry);
        listing.Count = int(listing.Items.size());
        return 0;
    }

    QSet<QString> folders;
    auto addFolder = [&](const QString& name) {
        // A listed name never leads out of the folder or names it again.
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return;
        if (folders.contains(name)) return;
        folders.insert(name);
        listing.Items.push_back(folderEntry(name));
    };
    for (int i = 0; i < archive->GetCount(); ++i) {
        const TArcArchiveItem* item = archive->ItemList().Items(i);
        if (item->Action == archive::iaDelete) continue;
        const QString original = memberPath(item->GetFileName());
        if (original.startsWith(QLatin1Char('/'))) continue;
        if (!fold(original).startsWith(folder)) continue;
        const QString rest = original.mid(folder.size());
        const int h = int(original.count(QLatin1Char('/')));
        const bool isFolder = item->GetIsDirectory();
        if (h == depth && !isFolder) {
            if (rest.isEmpty() || rest == QLatin1String(".") || rest == QLatin1String(".."))
                continue;
            TFZItem entry;
            entry.Name = rest;
            entry.Size = qint64(item->GetUncompressedSize());
            entry.PackedSize = qint64(item->GetCompressedSize());
            entry.Time = fileTimeOfItem(*item);
            entry.Attr = attributesOfItem(*item) & ~FZAttrDirectory;
            listing.Items.push_back(entry);
        } else if (isFolder && h == depth && !rest.endsWith(QLatin1Char('/'))) {
            // A folder stored without its trailing separator.
            addFolder(rest);
        } else if (h > depth) {
            addFolder(rest.left(rest.indexOf(QLatin1Char('/'))));
        }
    }
    listing.Count = int(listing.Items.size());
    return 0;
}

int FZGetArchiveFolderTime(int slot, const QString& folder, FileTime& time, qint64& attributes) {
    time = 0;
    attributes = -1;
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const int r = FZSetPath(slot, path);
    const TArcArchiveItem* item = r ? nullptr : currentItem(slot);
    if (!item) return r ? r : errPathNotFound;
    attributes = attributesOfItem(*item);
    const archive::TDateTime local = item->GetLastModTimeAsDateTime();
    time = local > 0 ? FZFileTimeOf(archive::LocalToUnixTime(local), 0) : FileTimeNone;
    return 0;
}

int FZOpenArchiveStream(std::unique_ptr<archive::Stream> stream, bool extractFirst, int& slot) {
    if (const int r = FZTakeArchiveSlot(QStringLiteral("stream.zip/"), slot)) return r;
    ArchiveSlot& a = unit().table[slot];
    a.kit = std::make_unique<TArcZipKit>();
    a.kit->OnProcessItemFailure = [s = slot](archive::TArcBaseBrowser&, TArcArchiveItem* item,
                                             archive::TArcProcessType type,
                                             archive::TArcErrorClass errorClass, int32_t code) {
        onItemFailure(s, item, type, errorClass, code);
    };
    a.source = std::move(stream);
    a.info.lastError = 0;
    a.info.pendingBytes.store(0);
    a.info.deferSave = false;
    a.current = 0;
    TFZMemStream* target = FZSlotStream(slot);
    int result = 0;
    try {
        a.kit->OpenStream(a.source.get());
        if (extractFirst) {
            TArcArchive* archive = a.kit->Archive();
            if (!archive || archive->GetCount() == 0) {
                result = errNotArchive;
            } else {
                a.kit->ExtractToStream(archive->ItemList().Items(0)->GetFileName(), *target);
                result = a.info.lastError;
                a.info.lastError = 0;
            }
        }
    } catch (...) {
        result = codeOfException(std::current_exception());
    }
    if (target) target->seek(0);
    if (result) FZSlotDropStream(slot);
    return result;
}

int FZCloseArchive(int slot) {
    if (slot < 0 || slot >= FZSlotCount) return errInvalidHandle;
    ArchiveUnit& u = unit();
    ArchiveSlot& a = u.table[slot];
    u.deferSave.store(false);
    int result = 0;
    if (a.kit) {
        TArcArchive* archive = a.kit->Archive();
        if (archive && !a.source && (archive->IsDirty || archive->IsNewArchive())) {
            u.writeState.store(1);
            result = TZIPClose(a, 1).run();
            u.writeState.store(4);
        }
        const bool empty = !archive || archive->GetCount() == 0;
        TZIPClose(a, 2).run();
        // An archive this slot created and never put a member in is not
        // left behind as an empty file.
        if (empty && !a.createdFile.isEmpty()) QFile::remove(a.createdFile);
    }
    a.createdFile.clear();
    a.kit.reset();
    a.source.reset();
    a.kitPath.clear();
    a.current = -1;
    a.info.progressHook = nullptr;
    a.info.lastItem = nullptr;
    a.info.pendingBytes.store(0);
    return result;
}

void FZArchivePathOfSlot(int slot, QString& path) {
    path.clear();
    if (FZCheckSlot(slot) == 0) FZArchiveFilePath(FZSlotPath(slot), path);
}

void FZSetArchiveProgress(int slot, std::function<void(qint64)> hook) {
    if (slot >= 0 && slot < FZSlotCount) unit().table[slot].info.progressHook = std::move(hook);
}

qint64 FZArchivePendingBytes(int slot) {
    if (slot < 0 || slot >= FZSlotCount) return 0;
    return unit().table[slot].info.pendingBytes.load();
}

void FZSetMemoryLoadSource(std::function<int()> source) {
    std::lock_guard lock(unit().testMutex);
    unit().memoryLoad = std::move(source);
}

void FZSetArchiveSaveThreshold(qint64 bytes) {
    unit().saveThreshold.store(bytes > 0 ? bytes : kBatchSaveBytes);
}

}  // namespace tandex::access
