#include "archive/archive_base.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace tandex::archive {

namespace {

QString programFolder() {
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return exe.isEmpty() ? QString() : QFileInfo(exe).path();
}

QString logWord(int kind) {
    switch (kind) {
        case ptAdd:
            return QStringLiteral(" added ");
        case ptDelete:
            return QStringLiteral(" deleted ");
        case ptExtract:
            return QStringLiteral(" extracted ");
        case ptFreshen:
            return QStringLiteral(" freshened ");
        case ptMove:
            return QStringLiteral(" moved ");
        case ptReplace:
            return QStringLiteral(" replaced ");
        case ptFoundUnhandled:
            return QStringLiteral("Unhandled Entity");
        default:
            return QStringLiteral(" logging ");
    }
}

bool isDirectory(const QString& path) {
    return QFileInfo(path).isDir();
}

}  // namespace

// ------------------------------------------------------------ construction

TArcArchive::TArcArchive(const QString& fileName, uint16_t mode)
    : TArcArchive(static_cast<Stream*>(nullptr), fileName) {
    ownedStream_ = std::make_unique<FileStream>(fileName, mode);
    stream_ = ownedStream_.get();
    Mode = mode;
    isNew_ = (mode & fmCreate) == fmCreate;
}

TArcArchive::TArcArchive(Stream* stream, const QString& archiveName)
    : ArchiveName(archiveName), stream_(stream) {
    OnProgress = [this](TArcArchive&, uint8_t progress, bool& abort) {
        DoProgress(progress, abort);
    };
    const QString folder = programFolder();
    if (!folder.isEmpty()) SetBaseDirectory(folder);
}

TArcArchive::~TArcArchive() = default;

void TArcArchive::ReplaceStream(std::unique_ptr<Stream> stream) {
    ownedStream_ = std::move(stream);
    stream_ = ownedStream_.get();
}

void TArcArchive::AttachStream(Stream* stream) {
    ownedStream_.reset();
    stream_ = stream;
}

std::unique_ptr<Stream> TArcArchive::ReleaseOwnedStream() {
    stream_ = nullptr;
    return std::move(ownedStream_);
}

QString TArcArchive::ResolveDiskName(const QString& name) const {
    if (name.isEmpty() || name.startsWith(u'/') || baseDirectory_.isEmpty()) return name;
    return AppendBackslash(baseDirectory_) + name;
}

// ---------------------------------------------------------------- options

void TArcArchive::SetBaseDirectory(const QString& value) {
    QString dir = value;
    if (dir.size() > 1 && dir.endsWith(u'/')) dir.chop(1);
    if (!dir.isEmpty() && !isDirectory(dir)) throw EArcNoSuchDirectory();
    baseDirectory_ = dir;
}

void TArcArchive::SetLogging(bool value) {
    logging_ = value;
    logStream_.reset();
    if (!logging_ || logFile_.isEmpty()) return;
    try {
        logStream_ = std::make_unique<FileStream>(logFile_, fmCreate);
        MakeLogEntry(ArchiveName, kLogStarted);
    } catch (const std::exception&) {
        logStream_.reset();
        throw EArcException(QStringLiteral("Error creating Log File"));
    }
}

void TArcArchive::MakeLogEntry(const QString& name, int kind) {
    if (!logStream_) return;
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = name + logWord(kind) + locale.toString(now.date(), QLocale::ShortFormat) +
                         u' ' + locale.toString(now.time(), QLocale::LongFormat) +
                         QStringLiteral("\r\n");
    QByteArray bytes(line.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t u = line[i].unicode();
        bytes[2 * i] = static_cast<char>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(u >> 8);
    }
    logStream_->WriteBuffer(bytes.constData(), bytes.size());
}

// ----------------------------------------------------------------- events

void TArcArchive::DoProcessItemFailure(TArcArchiveItem* item, TArcProcessType processType,
                                       TArcErrorClass errorClass, int32_t errorCode) {
    if (OnProcessItemFailure) OnProcessItemFailure(*this, item, processType, errorClass, errorCode);
}

void TArcArchive::DoArchiveSaveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (OnArchiveSaveProgress) OnArchiveSaveProgress(*this, progress, abort);
}

void TArcArchive::DoArchiveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (OnArchiveProgress) OnArchiveProgress(*this, progress, abort);
}

void TArcArchive::DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort) {
    abort = false;
    if (OnArchiveItemProgress) OnArchiveItemProgress(*this, item, progress, abort);
}

void TArcArchive::DoConfirmOverwrite(QString& name, bool& confirm) {
    confirm = true;
    if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
}

void TArcArchive::DoConfirmProcessItem(TArcArchiveItem* item, TArcProcessType processType,
                                       bool& confirm) {
    confirm = true;
    if (OnConfirmProcessItem) OnConfirmProcessItem(*this, item, processType, confirm);
    if (confirm && logging_) MakeLogEntry(item->GetFileName(), processType);
}

void TArcArchive::DoConfirmSave(bool& confirm) {
    confirm = true;
    if (OnConfirmSave) OnConfirmSave(*this, confirm);
}

void TArcArchive::DoLoad() {
    if (OnLoad) OnLoad(*this);
}

void TArcArchive::DoProgress(uint8_t progress, bool& abort) {
    abort = false;
    DoArchiveItemProgress(CurrentItem, progress, abort);
}

void TArcArchive::DoSave() {
    if (OnSave) OnSave(*this);
}

void TArcArchive::DoInflateProgress(int percent) {
    bool abort = false;
    DoProgress(static_cast<uint8_t>(std::clamp(percent, 0, 255)), abort);
    if (abort) throw EArcAbortProgress();
}

void TArcArchive::DoDeflateProgress(int percent) {
    DoInflateProgress(percent);
}

void TArcArchive::RequestSpanImage(void*, int32_t, QString&, bool&) {
    throw EArcSpanningNotSupported();
}

// ------------------------------------------------------------------ names

QString TArcArchive::FixName(const QString& value) {
    QString name = value;
    if (DOSMode) {
        if (!baseDirectory_.isEmpty() && !name.startsWith(u'/'))
            name = AppendBackslash(baseDirectory_) + name;
        name = ToShortPathName(name);
    }
    if (StoreOptions & soStripDrive) name = StripDrive(name);
    if (name.startsWith(u'/')) name.remove(0, 1);
    if (StoreOptions & soStripPath) name = name.mid(name.lastIndexOf(u'/') + 1);
    if (StoreOptions & soRemoveDots) name = StripLeadingDotDots(name);
    return name;
}

void TArcArchive::MakeFullNames(TArcArchiveItem* item) {
    if ((StoreOptions & soRecurse) && PathKind(item->DiskFileName) == TPathKind::NoPath) {
        // The search runs on an explicit path: the process's current folder
        // is never changed.
        QStringList found;
        const QString folder =
            baseDirectory_.isEmpty() ? QString() : AppendBackslash(baseDirectory_);
        FindMatchingFiles(folder + item->GetFileName(), faAnyFile & ~faDirectory, found, true);
        item->DiskFileName = found.isEmpty() ? QString() : found.first();
    } else if (!baseDirectory_.isEmpty()) {
        item->DiskFileName = AppendBackslash(baseDirectory_) + item->GetFileName();
    } else if (PathKind(item->DiskFileName) != TPathKind::AbsolutePath) {
        item->DiskFileName = item->GetFileName();
    }
}

bool TArcArchive::FreshenRequired(TArcArchiveItem* item) {
    const QString name = ResolveDiskName(item->DiskFileName);
    FileStream file(name, fmOpenRead | fmShareDenyWrite);
    const int64_t size = file.Size();
    TFileAttrInfo info;
    if (!GetFileAttrEx(name, info))
        throw FileOpenError(QStringLiteral("Cannot open file \"") + name + u'"');
    const uint32_t dos = DateTimeToDosDateTime(info.Time);
    return !((dos >> 16) == item->GetLastModFileDate() &&
             (dos & 0xFFFF) == item->GetLastModFileTime() &&
             static_cast<uint64_t>(size) == item->GetUncompressedSize());
}

// ------------------------------------------------------------- edit cycle

void TArcArchive::CheckValid() const {
    if (Status == StatusInvalid) throw EArcNoArchive();
}

void TArcArchive::Load() {
    CheckValid();
    // A list that was not read completely must never be saved over the
    // user's file: any failure leaves the archive unusable.
    try {
        if (stream_ && stream_->Size() == 0) isNew_ = true;
        LoadArchive();
        Status = StatusIdle;
    } catch (...) {
        Status = StatusInvalid;
        DoLoad();
        throw;
    }
    DoLoad();
}

void TArcArchive::SaveIfChanged() {
    if (Status == StatusInvalid) return;
    // An unchanged archive is written only while it is new and empty:
    // rewriting a loaded one that merely listed no items could throw away
    // content the format did not understand.
    if (!IsDirty && (GetCount() > 0 || !isNew_)) return;
    // Cleared before the confirmation: a handler that raises there has
    // written nothing either.
    saveWritten_ = false;
    bool confirm = true;
    DoConfirmSave(confirm);
    if (!confirm) return;
    SaveArchive();
    saveWritten_ = true;
    IsDirty = false;
    isNew_ = false;
    DoSave();
}

int TArcArchive::SaveIfNotNone(TArcArchiveItem* item) {
    if (item->Action != iaNone) SaveIfChanged();
    // A save may remove entries before this one, or this one itself.
    return itemList_.IndexOf(item);
}

void TArcArchive::commonTail(TArcArchiveItem* item, TArchiveItemAction action) {
    item->Action = action;
    IsDirty = true;
    if (AutoSave) SaveIfChanged();
}

void TArcArchive::classifyAndReport(TArcArchiveItem* item, TArcProcessType processType) {
    const ArcErrorInfo info = ClassifyException(std::current_exception());
    DoProcessItemFailure(item, processType, info.ErrorClass, info.ErrorCode);
}

void TArcArchive::Add(std::unique_ptr<TArcArchiveItem> item) {
    CheckValid();
    if (!item) return;
    if (itemList_.IsActiveDupe(item->GetFileName())) {
        if (StoreOptions & soFreshen)
            Freshen(item.get());
        else if (StoreOptions & soReplace)
            Replace(item.get());
        else
            DoProcessItemFailure(item.get(), ptAdd, ecArchive, 7);
        return;
    }
    bool confirm = true;
    DoConfirmProcessItem(item.get(), ptAdd, confirm);
    if (!confirm) return;
    item->Action = iaAdd;
    TArcArchiveItem* added = item.get();
    itemList_.Add(std::move(item));
    commonTail(added, iaAdd);
}

void TArcArchive::AddFromStream(const QString& name, std::shared_ptr<Stream> stream) {
    CheckValid();
    std::unique_ptr<TArcArchiveItem> created = CreateItem(name);
    if (!created) return;
    TArcArchiveItem* item = created.get();
    TArcProcessType processType = ptAdd;
    const int existing = itemList_.FindActive(created->GetFileName());
    if (existing >= 0) {
        if (!(StoreOptions & (soFreshen | soReplace))) {
            DoProcessItemFailure(item, ptAdd, ecArchive, 7);
            return;
        }
        created.reset();
        item = itemList_.Items(existing);
        processType = ptReplace;
    }
    bool confirm = true;
    DoConfirmProcessItem(item, processType, confirm);
    if (!confirm) return;

    const TArchiveItemAction oldAction = item->Action;
    std::shared_ptr<Stream> oldSource = item->SourceStream;
    const bool oldDirty = IsDirty;
    InStream = stream.get();
    item->SourceStream = std::move(stream);
    item->Action = iaStreamAdd;
    if (created) itemList_.Add(std::move(created));
    IsDirty = true;
    try {
        SaveIfChanged();
    } catch (...) {
        InStream = nullptr;
        // Undo the mark unless the archive was written before the error
        // (an OnSave handler that raised): then the item is stored.
        const int at = itemList_.IndexOf(item);
        if (!saveWritten_ && at >= 0) {
            if (processType == ptAdd) {
                itemList_.Delete(at);
            } else {
                item->Action = oldAction;
                item->SourceStream = std::move(oldSource);
            }
            IsDirty = oldDirty;
        } else if (at >= 0 && item->Action != iaStreamAdd) {
            item->SourceStream.reset();
        }
        throw;
    }
    InStream = nullptr;
    // Once stored, the item has no business keeping the caller's stream.
    if (itemList_.IndexOf(item) >= 0 && item->Action != iaStreamAdd) item->SourceStream.reset();
}

void TArcArchive::DeleteAt(int index) {
    CheckValid();
    TArcArchiveItem* item = itemList_.Items(index);
    if (SaveIfNotNone(item) < 0) return;
    bool confirm = true;
    DoConfirmProcessItem(item, ptDelete, confirm);
    if (confirm) commonTail(item, iaDelete);
}

void TArcArchive::ExtractToStream(const QString& name, Stream& stream) {
    CheckValid();
    const int found = FindFile(name);
    if (found < 0) return;
    TArcArchiveItem* item = itemList_.Items(found);
    const int index = SaveIfNotNone(item);
    if (index < 0) return;
    bool confirm = true;
    DoConfirmProcessItem(item, ptExtract, confirm);
    if (!confirm) return;
    CurrentItem = item;
    try {
        ExtractItemToStreamAt(index, stream);
    } catch (const EArcUserAbort&) {
        // The user stopped in the middle: the archive is not to be trusted
        // any more.
        Status = StatusInvalid;
        classifyAndReport(item, ptExtract);
    } catch (...) {
        classifyAndReport(item, ptExtract);
    }
}

int TArcArchive::IndexForUpdate(TArcArchiveItem* item) {
    CheckValid();
    int index = itemList_.FindActive(item->GetFileName());
    if (index < 0) index = FindFile(item->GetFileName());
    if (index >= 0 && PathKind(item->DiskFileName) == TPathKind::AbsolutePath)
        itemList_.Items(index)->DiskFileName = item->DiskFileName;
    return index;
}

void TArcArchive::Freshen(TArcArchiveItem* item) {
    const int index = IndexForUpdate(item);
    if (index >= 0) FreshenAt(index);
}

void TArcArchive::FreshenAt(int index) {
    CheckValid();
    TArcArchiveItem* item = itemList_.Items(index);
    if (SaveIfNotNone(item) < 0) return;
    MakeFullNames(item);
    bool required = false;
    try {
        required = FreshenRequired(item);
    } catch (...) {
        classifyAndReport(item, ptFreshen);
    }
    if (!required) return;
    bool confirm = true;
    DoConfirmProcessItem(item, ptFreshen, confirm);
    if (confirm) commonTail(item, iaFreshen);
}

void TArcArchive::Replace(TArcArchiveItem* item) {
    const int index = IndexForUpdate(item);
    if (index >= 0) ReplaceAt(index);
}

void TArcArchive::ReplaceAt(int index) {
    CheckValid();
    TArcArchiveItem* item = itemList_.Items(index);
    if (SaveIfNotNone(item) < 0) return;
    MakeFullNames(item);
    bool confirm = true;
    DoConfirmProcessItem(item, ptReplace, confirm);
    if (confirm) commonTail(item, iaReplace);
}

void TArcArchive::Move(TArcArchiveItem* item, const QString& newName) {
    CheckValid();
    const QString name = FixName(newName);
    for (int i = 0; i < GetCount(); ++i) {
        TArcArchiveItem* other = itemList_.Items(i);
        if (other != item && other->Action != iaDelete &&
            TArcArchiveList::SameName(other->GetFileName(), name)) {
            DoProcessItemFailure(item, ptMove, ecArchive, 7);
            return;
        }
    }
    if (SaveIfNotNone(item) < 0) return;
    bool confirm = true;
    DoConfirmProcessItem(item, ptMove, confirm);
    if (!confirm) return;
    const QString oldName = item->GetFileName();
    item->SetFileName(name);
    itemList_.UpdateName(item, oldName);
    commonTail(item, iaMove);
}

// ------------------------------------------------------------ stream helper

TArcArchiveStreamHelper::TArcArchiveStreamHelper(Stream* stream) : stream_(stream) {
    if (!stream) throw Exception(QStringLiteral("nil stream"));
}

}  // namespace tandex::archive
