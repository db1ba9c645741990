#include "archive/tar_archive.h"

#include "archive/local_targets.h"
#include "archive/spill_streams.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <vector>

#include <stdexcept>

#include <sys/stat.h>

namespace tandex::archive {

namespace {

int64_t roundToBlocks(int64_t bytes) {
    return (bytes + kTarBlockSize - 1) / kTarBlockSize * kTarBlockSize;
}

void copyBytes(Stream& from, Stream& to, int64_t count) {
    if (count > 0) to.CopyFrom(from, count);
}

// The listing walks headers with many small reads and seeks back and
// forth; served from a window of the archive they cost no system calls.
class ReadAheadStream : public Stream {
public:
    explicit ReadAheadStream(Stream& inner) : inner_(inner), size_(inner.Size()), buffer_(kWindow) {
        position_ = inner.Position();
    }

    int64_t Read(void* buffer, int64_t count) override {
        auto* out = static_cast<uint8_t*>(buffer);
        int64_t done = 0;
        while (done < count) {
            if (position_ < start_ || position_ >= start_ + filled_) {
                inner_.SetPosition(position_);
                start_ = position_;
                filled_ = inner_.Read(buffer_.data(), kWindow);
                if (filled_ <= 0) {
                    filled_ = 0;
                    break;
                }
            }
            const int64_t n = std::min(count - done, start_ + filled_ - position_);
            std::memcpy(out + done, buffer_.data() + (position_ - start_), size_t(n));
            done += n;
            position_ += n;
        }
        return done;
    }
    int64_t Write(const void*, int64_t) override { throw StreamFilerError("Stream write error"); }
    int64_t Seek(int64_t offset, int origin) override {
        const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
        if (base + offset < 0) throw StreamIoError("Seek before the start", kErrorNegativeSeek);
        position_ = base + offset;
        return position_;
    }
    int64_t Size() override { return size_; }

private:
    static constexpr int64_t kWindow = 65536;
    Stream& inner_;
    int64_t size_;
    int64_t position_ = 0;
    int64_t start_ = 0;
    int64_t filled_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace

// ---------------------------------------------------------------- walker

TArcTarStreamHelper::TArcTarStreamHelper(Stream* stream) : TArcArchiveStreamHelper(stream) {}

bool TArcTarStreamHelper::findMember() {
    ItemSize = 0;
    StoredSize = 0;
    HeaderBlocks = 0;
    for (;;) {
        const int64_t got = stream_->Read(HeaderBuffer.data(), kTarBlockSize);
        if (got <= 0) return false;
        // Archives are written in whole blocks: a part of one is a cut file.
        if (got != kTarBlockSize)
            throw EArcTarException(ArcMessage(EArcTarInvalid::Code_) +
                                       QStringLiteral(" - the archive ends inside a header"),
                                   EArcTarInvalid::Code_);
        if (HeaderBuffer[0] == 0) return false;
        const uint8_t flag = HeaderBuffer[tarfield::TypeFlag];
        const int64_t size = ReadTarNumber(HeaderBuffer.data() + tarfield::Size, tarfield::SizeLen);
        if (IsTarExtraHeader(flag)) {
            const int64_t skip = roundToBlocks(std::max<int64_t>(size, 0));
            stream_->Seek(skip, soCurrent);
            HeaderBlocks += int32_t(skip / kTarBlockSize) + 1;
            continue;
        }
        ItemSize = TarDataSize(flag, size);
        StoredSize = TarStoredSize(flag, size);
        ++HeaderBlocks;
        stream_->Seek(-int64_t(HeaderBlocks) * kTarBlockSize, soCurrent);
        return true;
    }
}

bool TArcTarStreamHelper::FindFirstItem() {
    stream_->SetPosition(0);
    return findMember();
}

bool TArcTarStreamHelper::FindNextItem() {
    stream_->Seek(int64_t(HeaderBlocks) * kTarBlockSize + roundToBlocks(StoredSize), soCurrent);
    return findMember();
}

void TArcTarStreamHelper::ExtractItemData(Stream& toStream) {
    copyBytes(*stream_, toStream, ItemSize);
    stream_->Seek(-(int64_t(HeaderBlocks) * kTarBlockSize + ItemSize), soCurrent);
}

bool TArcTarStreamHelper::SeekItem(int index) {
    bool found = FindFirstItem();
    for (int i = 0; found && i < index; ++i)
        found = FindNextItem();
    return found;
}

void TArcTarStreamHelper::WriteArchiveItem(Stream& source) {
    WriteArchiveItemSize(source, source.Size());
}

void TArcTarStreamHelper::WriteArchiveItemSize(Stream& source, int64_t size) {
    if (size <= 0) return;
    copyBytes(source, *stream_, size);
    static const TTarBlock zeros{};
    const int64_t pad = roundToBlocks(size) - size;
    if (pad > 0) stream_->WriteBuffer(zeros.data(), pad);
}

void TArcTarStreamHelper::WriteArchiveTail() {
    static const TTarBlock zeros{};
    stream_->WriteBuffer(zeros.data(), kTarBlockSize);
    stream_->WriteBuffer(zeros.data(), kTarBlockSize);
}

int32_t TArcTarStreamHelper::GetItemCount() {
    int32_t count = 0;
    for (bool found = FindFirstItem(); found; found = FindNextItem())
        ++count;
    return count;
}

// --------------------------------------------------------------- archive

TArcTarArchive::TArcTarArchive(const QString& fileName, uint16_t mode)
    : TArcArchive(fileName, mode) {}

TArcTarArchive::TArcTarArchive(Stream* stream, const QString& archiveName)
    : TArcArchive(stream, archiveName) {}

TArcTarItem* TArcTarArchive::TarItem(int index) const {
    return static_cast<TArcTarItem*>(ItemList().Items(index));
}

void TArcTarArchive::LoadArchive() {
    try {
        ReadAheadStream stream(*GetStream());
        TArcTarStreamHelper helper(&stream);
        const int64_t size = stream.Size();
        bool found = size > 0 && helper.FindFirstItem();
        ArchiveFormat = found ? tfUnknown : tfOld;
        while (found && stream.Position() < size) {
            auto item = std::make_unique<TArcTarItem>();
            item->Rec.HeaderPosition = stream.Position();
            item->LoadTarHeaderFromStream(stream);
            if (item->Rec.ReadOnly) ReadOnly = true;
            if (item->Rec.ItemType != 2) {
                if (item->Rec.Format > ArchiveFormat) ArchiveFormat = item->Rec.Format;
                item->Action = iaNone;
                ItemList().Add(std::move(item));
            } else {
                bool confirm = true;
                DoConfirmProcessItem(item.get(), ptFoundUnhandled, confirm);
            }
            bool abort = false;
            DoArchiveProgress(uint8_t(PercentOf(size, stream.Position())), abort);
            if (abort) {
                Status = StatusInvalid;
                throw EArcUserAbort();
            }
            found = helper.FindNextItem();
        }
    } catch (const EArcTarException&) {
        throw;
    } catch (...) {
        throw EArcTarBadOp();
    }
    for (int i = 0; i < GetCount(); ++i) {
        TarItem(i)->Rec.Format = ArchiveFormat;
        TarItem(i)->Rec.ReadOnly = ReadOnly;
    }
    bool abort = false;
    DoArchiveProgress(100, abort);
    IsDirty = false;
}

QString TArcTarArchive::FixName(const QString& value) {
    // Linux names keep their backslashes: they are ordinary characters.
    const TArcStoreOptions saved = StoreOptions;
    StoreOptions |= soStripDrive;
    const QString name = TArcArchive::FixName(value);
    StoreOptions = saved;
    return name;
}

std::unique_ptr<TArcArchiveItem> TArcTarArchive::CreateItem(const QString& fileName) {
    if (ReadOnly) throw EArcTarBadOp();
    const QString stored = FixName(fileName);
    auto item = std::make_unique<TArcTarItem>();
    switch (ArchiveFormat) {
        case tfGnu:
            item->Rec.Format = tfGnu;
            item->SetLinkFlag('0');
            item->SetMagic(QByteArray("ustar  \0", 8));
            break;
        case tfUstar:
            item->Rec.Format = tfUstar;
            item->SetLinkFlag('0');
            item->SetMagic(QByteArray("ustar\0" "00", 8));
            break;
        case tfOld:
            if (EncodeUtf8Name(stored).size() > tarfield::NameLen) {
                ArchiveFormat = tfGnu;
                for (int i = 0; i < GetCount(); ++i)
                    TarItem(i)->Rec.Format = tfGnu;
                item->Rec.Format = tfGnu;
            } else {
                item->Rec.Format = tfOld;
            }
            break;
        default:
            item->Rec.Format = ArchiveFormat;
            break;
    }
    item->SetCRC32(0);
    item->SetFileName(stored);
    item->DiskFileName = ResolveDiskName(fileName);
    item->Action = iaNone;
    return item;
}

TArcTarItem* TArcTarArchive::checkedMember(int index) const {
    if (index < 0 || index >= GetCount()) throw std::out_of_range("List index out of bounds");
    TArcTarItem* item = TarItem(index);
    if (item->Rec.ItemType == 2) throw EArcTarBadOp();
    if (item->Rec.ItemType == 1 &&
        !(item->Rec.FullName.size() < 100 && item->Rec.LinkName.size() < 100))
        throw EArcTarBadOp();
    return item;
}

void TArcTarArchive::checkDataInside(const TArcTarItem& item) {
    // A size that lies past the end of the file would hand out a short
    // member as if it were whole, or read whatever follows as its data.
    const int64_t data = item.Rec.HeaderPosition + int64_t(item.Rec.HeaderCount) * kTarBlockSize;
    if (item.StoredSize() > GetStream()->Size() - data)
        throw EArcTarException(ArcMessage(EArcTarInvalid::Code_) +
                                   QStringLiteral(" - the data of \"") + item.Rec.FullName +
                                   QStringLiteral("\" runs past the end of the archive"),
                               EArcTarInvalid::Code_);
}

void TArcTarArchive::ExtractItemToStreamAt(int index, Stream& stream) {
    TArcTarItem* item = checkedMember(index);
    checkDataInside(*item);
    GetStream()->SetPosition(item->Rec.HeaderPosition + int64_t(item->Rec.HeaderCount) * kTarBlockSize);
    copyBytes(*GetStream(), stream, item->DataSize());
}

void TArcTarArchive::ExtractItemAt(int index, const QString& fileName) {
    TArcTarItem* item = checkedMember(index);
    if (item->GetIsDirectory()) {
        CreateFolderPath(fileName);
        return;
    }
    try {
        TReplacingFile target(fileName);
        ExtractItemToStreamAt(index, target.Data());
        target.Commit();
    } catch (const EArcUserAbort&) {
        Status = StatusInvalid;
        throw;
    }
    SetFileDateTime(fileName, item->GetLastModTimeAsDateTime());
    SetFileAttr(fileName, item->GetNativeFileAttributes());
}

void TArcTarArchive::TestItemAt(int index) {
    TArcTarItem* item = TarItem(index);
    GetStream()->SetPosition(item->Rec.HeaderPosition);
    if (VerifyTar(*GetStream()) != ArcTar) throw EArcTarInvalid();
    checkDataInside(*item);
}

void TArcTarArchive::addFromDisk(TArcTarItem* item, TArcTarStreamHelper& helper, Stream& out) {
    const QString name = ResolveDiskName(item->DiskFileName);
    struct stat st {};
    if (name.isEmpty() || ::stat(QFile::encodeName(name).constData(), &st) != 0)
        throw EArcFileNotFound();
    item->SetExternalFileAttributes(st.st_mode & 07777);
    item->SetModTime(st.st_mtim.tv_sec);
    if (S_ISDIR(st.st_mode)) {
        item->SetLinkFlag('5');
        item->SetUncompressedSize(0);
        item->SaveTarHeaderToStream(out);
        return;
    }
    FileStream file(name, fmOpenRead | fmShareDenyWrite);
    const int64_t size = file.Size();
    item->SetUncompressedSize(uint64_t(size));
    item->SaveTarHeaderToStream(out);
    helper.WriteArchiveItemSize(file, item->DataSize());
}

void TArcTarArchive::addFromStream(TArcTarItem* item, TArcTarStreamHelper& helper, Stream& out) {
    Stream* source = InStream ? InStream : item->SourceStream.get();
    if (!source) throw EArcBadStream();
    const int64_t size = source->Size();
    item->SetUncompressedSize(uint64_t(size));
    item->SaveTarHeaderToStream(out);
    source->SetPosition(0);
    helper.WriteArchiveItemSize(*source, item->DataSize());
}

void TArcTarArchive::SaveArchive() {
    if (ReadOnly) throw EArcTarBadOp();
    Stream& old = *GetStream();
    TArcVirtualMemoryStream built;
    built.SwapFileDirectory = TempDirectory;
    TArcTarStreamHelper helper(&built);
    for (int i = 0; i < GetCount(); ++i) {
        TArcTarItem* item = TarItem(i);
        CurrentItem = item;
        const int64_t start = built.Position();
        switch (item->Action) {
            case iaNone:
            case iaMove: {
                const int64_t data =
                    item->Rec.HeaderPosition + int64_t(item->Rec.HeaderCount) * kTarBlockSize;
                item->SaveTarHeaderToStream(built);
                old.SetPosition(data);
                helper.WriteArchiveItemSize(old, item->StoredSize());
                item->Rec.HeaderPosition = start;
                break;
            }
            case iaAdd:
            case iaFreshen:
            case iaReplace:
            case iaStreamAdd:
                try {
                    if (item->Action == iaStreamAdd)
                        addFromStream(item, helper, built);
                    else
                        addFromDisk(item, helper, built);
                    item->Rec.HeaderPosition = start;
                } catch (...) {
                    // Whatever of the member was written goes again, so
                    // the next member follows the last complete one.
                    built.SetSize(start);
                    built.SetPosition(start);
                    item->Action = iaDelete;
                    DoProcessItemFailure(item, ptAdd, ecFileOpenError, 0);
                }
                break;
            case iaDelete:
            case iaFailed:
                break;
        }
    }
    if (built.Size() > 0) helper.WriteArchiveTail();
    replaceContent(built);
    for (int i = GetCount() - 1; i >= 0; --i) {
        TArcArchiveItem* item = ItemList().Items(i);
        if (item->Action == iaDelete)
            ItemList().Delete(i);
        else if (item->Action != iaFailed)
            item->Action = iaNone;
    }
    bool abort = false;
    DoArchiveSaveProgress(100, abort);
    DoArchiveProgress(100, abort);
}

void TArcTarArchive::replaceContent(Stream& built) {
    built.SetPosition(0);
    Stream* stream = GetStream();
    if (OwnsStream() && dynamic_cast<FileStream*>(stream)) {
        const QString name = static_cast<FileStream*>(stream)->FileName();
        TReplacingFile target(name);
        copyBytes(built, target.Data(), built.Size());
        target.Commit();
        const uint16_t mode = (Mode & fmCreate) == fmCreate || Mode == 0 ? uint16_t(fmOpenReadWrite) : Mode;
        ReplaceStream(std::make_unique<FileStream>(target.Target(), mode));
    } else if (auto* memory = dynamic_cast<MemoryStream*>(stream)) {
        memory->LoadFromStream(built);
    } else {
        stream->SetSize(0);
        stream->SetPosition(0);
        copyBytes(built, *stream, built.Size());
    }
}

}  // namespace tandex::archive
