#include "archive/zip_archive.h"

#include "archive/archive_utils.h"
#include "archive/spill_streams.h"
#include "config/services.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tandex::archive {

namespace {

constexpr uint32_t kNoStub = 0xFFFFFFFF;
// A central directory up to this size is read into memory in one go
// rather than header by header from the file.
constexpr int64_t kDirectoryInMemoryLimit = 256 * 1024 * 1024;

// Member data moves between files in the kernel where it can; anything
// else goes through a buffer larger than the streams' own.
void copyData(Stream& from, Stream& to, int64_t count) {
    if (count <= 0) return;
    auto* in = dynamic_cast<FileStream*>(&from);
    auto* out = dynamic_cast<FileStream*>(&to);
    if (in && out) {
        while (count > 0) {
            const ssize_t n = ::copy_file_range(in->Handle(), nullptr, out->Handle(), nullptr,
                                                static_cast<size_t>(std::min<int64_t>(count, 1 << 30)), 0);
            if (n <= 0) break;  // not supported here, or the source ended: the loop below decides
            count -= n;
        }
    }
    constexpr int64_t kChunk = 1 << 20;
    QByteArray chunk(static_cast<qsizetype>(std::min(count, kChunk)), Qt::Uninitialized);
    while (count > 0) {
        const int64_t n = std::min(count, kChunk);
        from.ReadBuffer(chunk.data(), n);
        to.WriteBuffer(chunk.constData(), n);
        count -= n;
    }
}

bool askForDisk(const QString& text) {
    return config::showMessage(QStringLiteral("Insert floppy"), text, config::MsgKind::Information,
                               config::mbOK | config::mbCancel,
                               config::mrCancel) == config::mrCancel;
}

}  // namespace

// Where a save writes: a new split or spanned set, a new file beside the
// archive's own, or a scratch stream whose content replaces the old one.
struct TArcZipArchive::SaveTarget {
    std::unique_ptr<TArcSpanWriteStream> span;
    std::unique_ptr<FileStream> file;
    std::unique_ptr<TArcVirtualMemoryStream> memory;
    Stream* out = nullptr;
    QString tempName;  // empty while the new file has no name
    QString folder;
    QString targetName;
    mode_t targetMode = 0600;
    bool committed = false;

    ~SaveTarget() {
        if (!tempName.isEmpty() && !committed) {
            file.reset();
            ::unlink(QFile::encodeName(tempName).constData());
        }
    }
    // A failed insertion takes back what it wrote; a set cannot.
    bool CanTruncate() const { return !span; }
};

TArcZipArchive::TArcZipArchive(const QString& fileName, uint16_t mode)
    : TArcArchive(fileName, mode) {
    init();
}

TArcZipArchive::TArcZipArchive(Stream* stream, const QString& archiveName)
    : TArcArchive(stream, archiveName) {
    init();
}

void TArcZipArchive::init() {
    StoreOptions |= soStripDrive;
    TempDirectory.clear();
    SetSpanningThreshold(0);
}

TArcZipItem* TArcZipArchive::ZipItem(int index) const {
    return static_cast<TArcZipItem*>(ItemList().Items(index));
}

void TArcZipArchive::SetZipfileComment(const QByteArray& comment) {
    footer_.ZipfileComment = comment.left(0xFFFF);
    IsDirty = true;
}

// ------------------------------------------------------------------ items

std::unique_ptr<TArcArchiveItem> TArcZipArchive::CreateItem(const QString& fileSpec) {
    auto item = std::make_unique<TArcZipItem>();
    item->SetCompressionMethod(8);
    item->SetGeneralPurposeBitFlag(0);
    item->SetCompressedSize(0);
    item->SetCRC32(0);
    item->DiskFileName = QFileInfo(ResolveDiskName(fileSpec)).absoluteFilePath();
    item->SetFileName(FixName(fileSpec));
    item->SetRelativeOffset(0);
    return item;
}

QString TArcZipArchive::FixName(const QString& value) {
    StoreOptions |= soStripDrive;
    QString name = TArcArchive::FixName(value);
    if (name.size() > 1 && name.startsWith(u'\\')) name.remove(0, 1);
    name.replace(u'\\', u'/');
    return name;
}

void TArcZipArchive::ExtractItemAt(int index, const QString& useName) {
    if (!ExtractHelper) throw EArcZipNoExtraction();
    ExtractHelper(*ZipItem(index), useName);
}

void TArcZipArchive::ExtractItemToStreamAt(int index, Stream& stream) {
    if (!ExtractToStreamHelper) throw EArcZipNoExtraction();
    ExtractToStreamHelper(*ZipItem(index), stream);
}

void TArcZipArchive::TestItemAt(int index) {
    if (!TestHelper) throw EArcZipNoExtraction();
    TestHelper(*ZipItem(index));
}

// ------------------------------------------------------------ disk requests

void TArcZipArchive::DoRequestLastDisk(bool& abort) {
    abort = false;
    if (OnRequestLastDisk)
        OnRequestLastDisk(*this, abort);
    else
        abort = askForDisk(QStringLiteral("Insert the last disk in the spanned disk set"));
}

void TArcZipArchive::DoRequestNthDisk(int diskNumber, bool& abort) {
    abort = false;
    const int disk = diskNumber & 0xFF;
    if (OnRequestNthDisk)
        OnRequestNthDisk(*this, disk, abort);
    else
        abort = askForDisk(QStringLiteral("Insert disk number %1 of the spanned disk set").arg(disk));
}

void TArcZipArchive::DoRequestBlankDisk(bool& abort) {
    abort = false;
    Spanned = true;
    if (OnRequestBlankDisk)
        OnRequestBlankDisk(*this, abort);
    else
        abort = askForDisk(QStringLiteral("Insert a blank floppy disk"));
}

void TArcZipArchive::RequestSpanImage(void*, int32_t imageNumber, QString& imageName,
                                      bool& abort) {
    if (OnRequestImage) OnRequestImage(*this, imageNumber, imageName, abort);
}

void TArcZipArchive::wireSpanStream(TArcSpanReadStream& span) {
    span.SetImageHook([this](void* sender, int32_t n, QString& name, bool& abort) {
        RequestSpanImage(sender, n, name, abort);
    });
    span.OnRequestNthDisk = [this](int disk, bool& abort) { DoRequestNthDisk(disk, abort); };
}

// ------------------------------------------------------------------- load

bool TArcZipArchive::DataOverlapsAnother(const TArcZipItem& item, uint64_t dataEnd) {
    if (!extentsBuilt_) buildExtents();
    // A single file has one disk, whatever its entries claim.
    const Extent key{Spanned ? item.DiskNumberStart() : 0, item.RelativeOffset(), 0};
    const auto before = [](const Extent& a, const Extent& b) {
        return a.disk != b.disk ? a.disk < b.disk : a.start < b.start;
    };
    const auto at = std::lower_bound(extents_.begin(), extents_.end(), key, before);
    // An item not in the stream yet (added since) has nothing to overlap.
    if (at == extents_.end() || at->disk != key.disk || at->start != key.start) return false;
    const auto next = at + 1;
    if (next != extents_.end() && next->disk == key.disk && next->start == key.start) return true;
    const size_t index = static_cast<size_t>(at - extents_.begin());
    if (index > 0 && extents_[index - 1].disk == key.disk && reachBefore_[index] > key.start)
        return true;
    return next != extents_.end() && next->disk == key.disk && dataEnd > next->start;
}

void TArcZipArchive::buildExtents() {
    extents_.clear();
    reachBefore_.clear();
    for (int i = 0; i < GetCount(); ++i) {
        const TArcZipItem* item = ZipItem(i);
        // Items added since have no bytes in the stream.
        if (item->Action == iaAdd || item->Action == iaStreamAdd) continue;
        // The local header repeats the central name, so its data begins at
        // least this far in; its extra field may move it further.
        const uint64_t start = item->RelativeOffset();
        const uint64_t headerEnd = start + kZipLocalHeaderSize + uint64_t(item->RawFileName().size());
        const uint64_t size = item->GetCompressedSize();
        const uint64_t end = size > UINT64_MAX - headerEnd ? UINT64_MAX : headerEnd + size;
        extents_.push_back({Spanned ? item->DiskNumberStart() : 0, start, end});
    }
    std::sort(extents_.begin(), extents_.end(), [](const Extent& a, const Extent& b) {
        return a.disk != b.disk ? a.disk < b.disk : a.start < b.start;
    });
    reachBefore_.resize(extents_.size());
    uint64_t reach = 0;
    for (size_t i = 0; i < extents_.size(); ++i) {
        if (i > 0 && extents_[i].disk != extents_[i - 1].disk) reach = 0;
        reachBefore_[i] = reach;
        reach = std::max(reach, extents_[i].end);
    }
    extentsBuilt_ = true;
}

void TArcZipArchive::LoadArchive() {
    extentsBuilt_ = false;
    Stream* stream = GetStream();
    footer_ = TArcZipDirectoryFileFooter();
    IsExecutable = false;
    Spanned = false;
    StubSize = 0;
    if (!stream) return;
    int64_t size = stream->Size();
    if (size == 0) return;

    uint8_t head[4] = {};
    stream->Seek(0, soBeginning);
    const int64_t got = stream->Read(head, 4);
    IsExecutable = (got >= 2 && ZipGet16(head) == 0x5A4D) ||
                   (got == 4 && ZipGet32(head) == 0x464C457F);
    const bool spannedMarker = got == 4 && ZipGet32(head) == kZipSpannedMarker;

    int64_t tail = FindCentralDirectoryTail(*stream);
    while (tail < 0 && spannedMarker && OwnsStream() && IsRemovableDrive(ArchiveName)) {
        ReleaseOwnedStream().reset();
        bool abort = false;
        DoRequestLastDisk(abort);
        if (abort) {
            Status = StatusInvalid;
            throw EArcUserAbort();
        }
        ReplaceStream(std::make_unique<FileStream>(ArchiveName, Mode));
        stream = GetStream();
        size = stream->Size();
        tail = FindCentralDirectoryTail(*stream);
    }
    if (tail < 0) {
        Status = StatusInvalid;
        throw EArcZipInvalid();
    }
    footer_.LoadFromStream(*stream);

    // The locator belongs right before the end record; an archive without
    // it keeps the classic values (65,535 entries need no zip64).
    TArcZip64Locator locator;
    bool zip64 = false;
    if (footer_.IsZip64() && tail >= kZip64LocatorSize) {
        stream->Seek(tail - kZip64LocatorSize, soBeginning);
        zip64 = ReadZip64Locator(*stream, locator);
        if (zip64) footer_.NumberOfThisDisk = std::max<uint32_t>(locator.TotalDisks, 1) - 1;
    }

    Spanned = footer_.NumberOfThisDisk != 0;
    if (Spanned) {
        if (!OwnsStream()) throw EArcZipBadSpanStream();
        auto span = std::make_unique<TArcSpanReadStream>(ArchiveName, ReleaseOwnedStream(),
                                                         static_cast<int32_t>(footer_.NumberOfThisDisk));
        wireSpanStream(*span);
        TArcSpanReadStream* reader = span.get();
        ReplaceStream(std::move(span));
        if (zip64) {
            reader->SeekImage(static_cast<int32_t>(locator.Disk), static_cast<int64_t>(locator.Offset));
            footer_.LoadZip64FromStream(*reader);
        }
        reader->SeekImage(static_cast<int32_t>(footer_.DiskWithCentralDirectory),
                          static_cast<int64_t>(footer_.CentralDirectoryOffset));
        loadDirectory(*reader, -1, 0);
    } else {
        if (zip64) {
            if (locator.Offset > static_cast<uint64_t>(tail)) throw EArcZipInvalid();
            stream->Seek(static_cast<int64_t>(locator.Offset), soBeginning);
            footer_.LoadZip64FromStream(*stream);
        }
        if (footer_.CentralDirectoryOffset > static_cast<uint64_t>(size)) throw EArcZipInvalid();
        const int64_t shift = prefixLength(*stream, zip64 ? static_cast<int64_t>(locator.Offset) : tail);
        stream->Seek(static_cast<int64_t>(footer_.CentralDirectoryOffset) + shift, soBeginning);
        loadDirectory(*stream, size, shift);
    }
    bool abort = false;
    DoArchiveProgress(100, abort);
    IsDirty = false;
}

// Bytes put in front of an archive whose offsets were not adjusted (a stub
// joined to a zip): the directory then ends where the end records begin,
// not where its offset says. 0 when the offset holds.
int64_t TArcZipArchive::prefixLength(Stream& stream, int64_t directoryEnd) {
    if (footer_.TotalEntries == 0 || directoryEnd < 0 ||
        footer_.CentralDirectorySize > static_cast<uint64_t>(directoryEnd))
        return 0;
    const auto expected = directoryEnd - static_cast<int64_t>(footer_.CentralDirectorySize);
    const auto stated = static_cast<int64_t>(footer_.CentralDirectoryOffset);
    if (expected <= stated) return 0;
    auto signatureAt = [&stream](int64_t at) {
        uint8_t b[4];
        stream.Seek(at, soBeginning);
        return stream.Read(b, 4) == 4 && ZipGet32(b) == kZipCentralHeaderSignature;
    };
    return !signatureAt(stated) && signatureAt(expected) ? expected - stated : 0;
}

// Reads the central headers from the stream position. streamSize is the
// size of a single-volume archive, against which every entry's data is
// checked, or -1 for a set.
void TArcZipArchive::loadDirectory(Stream& stream, int64_t streamSize, int64_t shift) {
    Stream* source = &stream;
    MemoryStream directory;
    const int64_t at = streamSize >= 0 ? stream.Position() : 0;
    const uint64_t dirSize = footer_.CentralDirectorySize;
    if (streamSize >= 0 && dirSize <= static_cast<uint64_t>(streamSize - at) &&
        static_cast<int64_t>(dirSize) <= kDirectoryInMemoryLimit) {
        QByteArray bytes(static_cast<qsizetype>(dirSize), Qt::Uninitialized);
        if (stream.Read(bytes.data(), bytes.size()) == bytes.size()) {
            directory.SetMemory(std::move(bytes));
            source = &directory;
        } else {
            stream.Seek(at, soBeginning);
        }
    }

    StubSize = kNoStub;
    const uint64_t total = footer_.TotalEntries;
    for (uint64_t n = 0; n < total; ++n) {
        // A directory larger than its size field says is read on from the
        // file itself.
        if (source == &directory && directory.Position() >= directory.Size()) {
            stream.Seek(at + directory.Size(), soBeginning);
            source = &stream;
        }
        auto item = std::make_unique<TArcZipItem>();
        item->LoadFromStream(*source);
        if (shift > 0) item->SetRelativeOffset(item->RelativeOffset() + static_cast<uint64_t>(shift));
        if (streamSize >= 0 &&
            (item->RelativeOffset() > static_cast<uint64_t>(streamSize) ||
             item->GetCompressedSize() > static_cast<uint64_t>(streamSize) - item->RelativeOffset()))
            throw EArcZipInvalid();
        item->Action = iaNone;
        if (IsExecutable && item->DiskNumberStart() == 0)
            StubSize = static_cast<uint32_t>(std::min<uint64_t>(StubSize, item->RelativeOffset()));
        ItemList().Add(std::move(item));
        bool abort = false;
        DoArchiveProgress(static_cast<uint8_t>((n + 1) * 100 / total), abort);
        if (abort) {
            Status = StatusInvalid;
            throw EArcUserAbort();
        }
    }
    // The stub ends at the first entry, and never behind the directory.
    if (IsExecutable && footer_.DiskWithCentralDirectory == 0)
        StubSize = static_cast<uint32_t>(std::min<uint64_t>(StubSize, footer_.CentralDirectoryOffset));
    if (StubSize == kNoStub) StubSize = 0;
}

// ------------------------------------------------------------------- save

void TArcZipArchive::reportSaveProgress(int progress) {
    bool abort = false;
    DoArchiveSaveProgress(static_cast<uint8_t>(progress), abort);
    if (abort) throw EArcUserAbort();
    DoArchiveProgress(static_cast<uint8_t>(progress), abort);
    if (abort) throw EArcUserAbort();
}

void TArcZipArchive::SaveArchive() {
    const int count = GetCount();
    if (count == 0) return;
    if (Spanned) {
        for (int i = 0; i < count; ++i)
            if (ZipItem(i)->Action != iaFailed) ZipItem(i)->Action = iaNone;
        IsDirty = false;
        throw EArcZipSpanOverwrite();
    }

    // Until the result is in place, a failure must leave both the file and
    // the items as they were: every offset a kept item gets points into
    // output that may still be thrown away.
    std::vector<TArcZipItem::Snapshot> snapshots;
    snapshots.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) snapshots.push_back(ZipItem(i)->TakeSnapshot());
    const TArcZipDirectoryFileFooter oldFooter = footer_;

    SaveTarget target;
    Stream* old = GetStream();
    auto* oldFile = dynamic_cast<FileStream*>(old);
    const bool newSet = OwnsStream() && old && old->Size() == 0 && !IsExecutable &&
                        (GetSpanningThreshold() > 0 || IsRemovableDrive(ArchiveName));
    try {
        if (newSet) {
            target.span = std::make_unique<TArcSpanWriteStream>(ArchiveName, ReleaseOwnedStream(),
                                                                GetSpanningThreshold());
            target.span->OnRequestImage = [this](void* sender, int32_t n, QString& name,
                                                 bool& abort) {
                RequestSpanImage(sender, n, name, abort);
            };
            target.span->OnRequestBlankDisk = [this](bool& abort) { DoRequestBlankDisk(abort); };
            target.out = target.span.get();
        } else if (OwnsStream() && oldFile) {
            // Rebuilt beside the archive (a link resolved to its target)
            // and renamed over it once complete.
            const QFileInfo info(oldFile->FileName());
            target.targetName = info.exists() ? info.canonicalFilePath() : oldFile->FileName();
            struct stat st {};
            if (::stat(QFile::encodeName(target.targetName).constData(), &st) == 0) {
                if (!(st.st_mode & S_IWUSR))
                    throw FileOpenError(QStringLiteral("Cannot open file \"") + target.targetName +
                                        QStringLiteral("\". Permission denied"));
                target.targetMode = st.st_mode & 07777;
            }
            // Without a name until it replaces the archive, so a program
            // killed in the middle leaves nothing beside it.
            target.folder = QFileInfo(target.targetName).path();
            const int fd = QFileInfo(target.folder).isDir() ? CreateNewFileIn(target.folder, target.tempName) : -1;
            if (fd < 0)
                throw FileCreateError(QStringLiteral("Cannot create file \"") + target.targetName +
                                      u'"');
            target.file = std::make_unique<FileStream>(fd, target.tempName.isEmpty() ? target.targetName
                                                                                      : target.tempName);
            target.out = target.file.get();
        } else {
            target.memory = std::make_unique<TArcVirtualMemoryStream>();
            target.memory->SwapFileDirectory = TempDirectory;
            target.out = target.memory.get();
        }

        if (IsExecutable && StubSize > 0 && old) {
            old->Seek(0, soBeginning);
            copyData(*old, *target.out, StubSize);
        }
        if (target.span) {
            QByteArray marker;
            ZipPut32(marker, kZipSpannedMarker);
            target.out->WriteBuffer(marker.constData(), marker.size());
        }
        saveItems(target);
        saveDirectory(target);
        commit(target);
    } catch (...) {
        if (!target.committed) {
            for (int i = 0; i < count; ++i) ZipItem(i)->RestoreSnapshot(snapshots[static_cast<size_t>(i)]);
            footer_ = oldFooter;
            Spanned = false;
            // A new set gives its first file back, so the archive keeps a
            // stream to work on.
            if (target.span && !GetStream()) {
                std::unique_ptr<Stream> back = target.span->ReleaseStream();
                if (!back) back = std::make_unique<FileStream>(ArchiveName, fmOpenReadWrite);
                ReplaceStream(std::move(back));
            }
        }
        throw;
    }

    extentsBuilt_ = false;
    for (int i = count - 1; i >= 0; --i) {
        TArcZipItem* item = ZipItem(i);
        item->SourceStream.reset();
        if (item->Action == iaDelete)
            ItemList().Delete(i);
        else if (item->Action != iaFailed)
            item->Action = iaNone;
    }
    bool abort = false;
    DoArchiveSaveProgress(100, abort);
    DoArchiveProgress(100, abort);
}

void TArcZipArchive::saveItems(SaveTarget& target) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        TArcZipItem* item = ZipItem(i);
        CurrentItem = item;
        switch (item->Action) {
            case iaFailed:
            case iaDelete:
                break;
            case iaNone:
            case iaMove:
                copyKeptItem(*item, target);
                break;
            case iaAdd:
            case iaFreshen:
            case iaReplace:
            case iaStreamAdd:
                insertItem(*item, target);
                break;
        }
        reportSaveProgress(static_cast<int>(static_cast<int64_t>(i + 1) * 9 * 100 / (count * 10)));
    }
}

// Writes the item's local header where its data will follow, and records
// that place in the item. In a set the header never straddles volumes.
void TArcZipArchive::placeLocalHeader(TArcZipItem& item, SaveTarget& target) {
    if (target.span) {
        TArcZipLocalFileHeader header;
        item.BuildLocalHeader(header);
        MemoryStream bytes;
        header.SaveToStream(bytes);
        target.span->WriteUnsplit(bytes.Memory().constData(), bytes.Size(), false);
        item.SetDiskNumberStart(static_cast<uint32_t>(target.span->CurrentImage()));
        item.SetRelativeOffset(static_cast<uint64_t>(target.span->Position() - bytes.Size()));
        return;
    }
    item.SetDiskNumberStart(0);
    item.SetRelativeOffset(static_cast<uint64_t>(target.out->Position()));
    item.SaveLocalHeader(*target.out);
}

void TArcZipArchive::copyKeptItem(TArcZipItem& item, SaveTarget& target) {
    Stream* old = GetStream();
    if (!old) throw EArcZipInvalid();
    old->Seek(static_cast<int64_t>(item.RelativeOffset()), soBeginning);
    TArcZipLocalFileHeader oldHeader;
    oldHeader.LoadFromStream(*old);
    if (item.LocalExtraField().Buffer().isEmpty()) item.LocalExtraField().Assign(oldHeader.ExtraField);
    placeLocalHeader(item, target);
    const uint64_t size = item.GetCompressedSize();
    copyData(*old, *target.out, static_cast<int64_t>(size));
    // A streaming reader finds the end of bit-3 data only through its
    // descriptor, whatever the method.
    if (item.GeneralPurposeBitFlag() & kZipFlagDataDescriptor) item.SaveDataDescriptor(*target.out);
    item.HasStoredData = true;
}

void TArcZipArchive::insertItem(TArcZipItem& item, SaveTarget& target) {
    const TArcZipItem::Snapshot before = item.TakeSnapshot();
    const int64_t outStart = target.out->Position();
    try {
        TArcVirtualMemoryStream packed;
        packed.SwapFileDirectory = TempDirectory;
        if (item.Action == iaStreamAdd) {
            if (!InsertFromStreamHelper || !item.SourceStream) throw EArcZipNoInsertion();
            InsertFromStreamHelper(item, packed, *item.SourceStream);
        } else {
            if (!InsertHelper) throw EArcZipNoInsertion();
            InsertHelper(item, packed);
        }
        placeLocalHeader(item, target);
        packed.Seek(0, soBeginning);
        copyData(packed, *target.out, packed.Size());
        if (item.GetIsEncrypted()) item.SaveDataDescriptor(*target.out);
        item.HasStoredData = true;
    } catch (const EArcUserAbort&) {
        item.RestoreSnapshot(before);
        throw;
    } catch (const EArcAbortProgress&) {
        // The user stopped the compression: the whole save stops, and the
        // item keeps the header that matches its old data.
        item.RestoreSnapshot(before);
        throw;
    } catch (...) {
        item.RestoreSnapshot(before);
        if (!target.CanTruncate() && target.out->Position() != outStart) throw;
        if (target.CanTruncate() && target.out->Position() != outStart) {
            target.out->SetSize(outStart);
            target.out->Seek(outStart, soBeginning);
        }
        DoProcessItemFailure(&item, ptAdd, ecFileOpenError, 0);
        if (item.HasStoredData) {
            // A replacement that failed keeps the member as it was.
            copyKeptItem(item, target);
            item.Action = iaNone;
        } else {
            item.Action = iaDelete;
        }
    }
}

void TArcZipArchive::saveDirectory(SaveTarget& target) {
    const int32_t volume = target.span ? target.span->CurrentImage() : 0;
    footer_.NumberOfThisDisk = static_cast<uint32_t>(volume);
    footer_.DiskWithCentralDirectory = static_cast<uint32_t>(volume);
    footer_.CentralDirectoryOffset = static_cast<uint64_t>(target.out->Position());
    footer_.CentralDirectorySize = 0;
    footer_.EntriesOnThisDisk = 0;
    footer_.TotalEntries = 0;

    MemoryStream header;
    for (int i = 0; i < GetCount(); ++i) {
        TArcZipItem* item = ZipItem(i);
        if (item->Action == iaFailed || item->Action == iaDelete) continue;
        header.Clear();
        item->SaveCentralHeader(header);
        if (target.span) {
            target.span->WriteUnsplit(header.Memory().constData(), header.Size(), false);
            const auto current = static_cast<uint32_t>(target.span->CurrentImage());
            if (current != footer_.NumberOfThisDisk) {
                footer_.NumberOfThisDisk = current;
                footer_.EntriesOnThisDisk = 0;
                if (footer_.TotalEntries == 0) {
                    footer_.DiskWithCentralDirectory = current;
                    footer_.CentralDirectoryOffset =
                        static_cast<uint64_t>(target.span->Position() - header.Size());
                }
            }
        } else {
            target.out->WriteBuffer(header.Memory().constData(), header.Size());
        }
        footer_.CentralDirectorySize += static_cast<uint64_t>(header.Size());
        ++footer_.EntriesOnThisDisk;
        ++footer_.TotalEntries;
    }

    MemoryStream records;
    footer_.SaveToStream(records, target.out->Position());
    if (!target.span) {
        target.out->WriteBuffer(records.Memory().constData(), records.Size());
        return;
    }
    if (!target.span->WriteUnsplit(records.Memory().constData(), records.Size(), true)) {
        footer_.NumberOfThisDisk = static_cast<uint32_t>(target.span->CurrentImage());
        footer_.EntriesOnThisDisk = 0;
        records.Clear();
        footer_.SaveToStream(records, target.span->Position());
        target.span->WriteUnsplit(records.Memory().constData(), records.Size(), false);
    }
}

// Puts the result in the archive's place.
void TArcZipArchive::commit(SaveTarget& target) {
    Spanned = footer_.NumberOfThisDisk != 0;
    if (target.span) {
        std::unique_ptr<Stream> file = target.span->ReleaseStream();
        target.committed = true;
        if (Spanned) {
            auto reader = std::make_unique<TArcSpanReadStream>(
                ArchiveName, std::move(file), static_cast<int32_t>(footer_.NumberOfThisDisk));
            wireSpanStream(*reader);
            ReplaceStream(std::move(reader));
        } else {
            QByteArray marker;
            ZipPut32(marker, kZipSingleVolumeMarker);
            file->Seek(0, soBeginning);
            file->WriteBuffer(marker.constData(), marker.size());
            ReplaceStream(std::move(file));
        }
        return;
    }
    if (target.file) {
        if (::fchmod(target.file->Handle(), target.targetMode) != 0 ||
            ::fdatasync(target.file->Handle()) != 0 ||
            !NameNewFile(target.file->Handle(), target.folder, target.tempName))
            throw StreamIoError(QStringLiteral("Cannot write file \"") + target.targetName + u'"',
                                ResultCodeOfErrno(errno));
        target.file.reset();
        if (std::rename(QFile::encodeName(target.tempName).constData(),
                        QFile::encodeName(target.targetName).constData()) != 0)
            throw StreamIoError(QStringLiteral("Cannot rename \"") + target.tempName +
                                    QStringLiteral("\" to \"") + target.targetName + u'"',
                                ResultCodeOfErrno(errno));
        target.committed = true;
        ReplaceStream(std::make_unique<FileStream>(target.targetName,
                                                   fmOpenReadWrite | fmShareDenyWrite));
        return;
    }
    Stream* old = GetStream();
    target.committed = true;
    if (auto* memory = dynamic_cast<MemoryStream*>(old)) {
        memory->LoadFromStream(*target.memory);
        return;
    }
    old->SetSize(0);
    old->Seek(0, soBeginning);
    if (target.memory->Size() > 0) old->CopyFrom(*target.memory, 0);
}

}  // namespace tandex::archive
