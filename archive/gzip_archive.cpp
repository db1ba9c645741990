#include "archive/gzip_archive.h"

#include "archive/deflate.h"
#include "archive/inflate.h"
#include "archive/local_targets.h"

#include <QDateTime>

#include <cstring>

namespace tandex::archive {

namespace {

constexpr int kTrailerSize = 8;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool isMemberStart(const uint8_t* p) {
    return p[0] == 31 && p[1] == 139 && p[2] == 8;
}

// A zero-terminated field, read in blocks; the stream is left just after
// the zero. A field that runs to the end of the data has no terminator:
// the header is damaged, not merely short.
QByteArray readZeroTerminated(Stream& stream) {
    QByteArray field;
    char block[1023];
    for (;;) {
        const int64_t got = stream.Read(block, sizeof block);
        if (got <= 0) throw EArcGzipInvalid();
        const void* zero = std::memchr(block, 0, size_t(got));
        if (zero) {
            const int64_t used = static_cast<const char*>(zero) - block;
            field.append(block, qsizetype(used));
            stream.Seek(used + 1 - got, soCurrent);
            return field;
        }
        field.append(block, qsizetype(got));
    }
}

// The inflater asks its target for the position; a pipe cannot answer,
// so the target is counted on the way through.
class CountedTarget : public Stream {
public:
    explicit CountedTarget(Stream& inner) : inner_(inner) {}
    int64_t Read(void*, int64_t) override { throw StreamFilerError("Stream read error"); }
    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t n = inner_.Write(buffer, count);
        written_ += n;
        return n;
    }
    int64_t Seek(int64_t offset, int origin) override {
        if (offset != 0 || origin != soCurrent) throw StreamIoError("Seek on a counted target", kErrorInvalidParameter);
        return written_;
    }
    int64_t Size() override { return written_; }

private:
    Stream& inner_;
    int64_t written_ = 0;
};

bool bitBucket(Stream& target) {
    return dynamic_cast<TArcBitBucketStream*>(&target) != nullptr;
}

// One member's deflate data from the stream's position into the target;
// the CRC-32 and length of what came out.
uint32_t inflateMember(Stream& source, Stream& target, int64_t& produced,
                       int64_t outputLimit = 0) {
    TArcDeflateHelper helper;
    if (bitBucket(target)) helper.SetOptionBits(helper.OptionBits() | TestOnly);
    if (outputLimit > 0) helper.SetOutputLimit(outputLimit);
    uint32_t crc = 0;
    if (helper.OptionBits() & TestOnly) {
        crc = Inflate(source, target, &helper);
    } else {
        CountedTarget counted(target);
        crc = Inflate(source, counted, &helper);
    }
    produced = helper.PlainBytes();
    return crc;
}

}  // namespace

// ------------------------------------------------------------ packed base

TArcPackedArchive::TArcPackedArchive(const QString& fileName, uint16_t mode)
    : TArcTarArchive(fileName, mode), packedFileName_(fileName) {
    packedOwned_ = ReleaseOwnedStream();
    packed_ = packedOwned_.get();
    AttachStream(packed_);
}

TArcPackedArchive::TArcPackedArchive(Stream* stream, const QString& archiveName)
    : TArcTarArchive(stream, archiveName), packed_(stream) {}

TArcVirtualMemoryStream& TArcPackedArchive::TarStream() {
    if (!tar_) {
        tar_ = std::make_unique<TArcVirtualMemoryStream>();
        tar_->SwapFileDirectory = TempDirectory;
    }
    return *tar_;
}

void TArcPackedArchive::SwitchToTar() {
    tarCurrent_ = true;
    AttachStream(&TarStream());
}

void TArcPackedArchive::SwitchToPacked() {
    tarCurrent_ = false;
    AttachStream(packed_);
}

void TArcPackedArchive::SetTarSwitch(bool value) {
    if (value == tarSwitch_) return;
    SaveIfChanged();
    tarSwitch_ = value;
    if (!TarFlag || !loaded_) return;
    ItemList().Clear();
    tar_.reset();
    SwitchToPacked();
    Load();
}

void TArcPackedArchive::Load() {
    loaded_ = true;
    TArcTarArchive::Load();
}

void TArcPackedArchive::RequestSpanImage(void*, int32_t, QString&, bool& abort) {
    abort = false;
}

void TArcPackedArchive::ReplacePackedContent(Stream& built) {
    built.SetPosition(0);
    if (packedOwned_ && (Mode & 0x3) == fmOpenRead && (Mode & fmCreate) != fmCreate)
        throw FileOpenError(QStringLiteral("Cannot open file \"") + packedFileName_ +
                            QStringLiteral("\". Permission denied"));
    if (packedOwned_) {
        TReplacingFile target(packedFileName_);
        if (built.Size() > 0) target.Data().CopyFrom(built, built.Size());
        target.Commit();
        const uint16_t mode = (Mode & fmCreate) == fmCreate ? uint16_t(fmOpenReadWrite) : Mode;
        packedOwned_ = std::make_unique<FileStream>(target.Target(), mode);
        packed_ = packedOwned_.get();
    } else if (auto* memory = dynamic_cast<MemoryStream*>(packed_)) {
        memory->LoadFromStream(built);
    } else {
        packed_->SetSize(0);
        packed_->SetPosition(0);
        if (built.Size() > 0) packed_->CopyFrom(built, built.Size());
    }
    if (!tarCurrent_) AttachStream(packed_);
}

void TArcPackedArchive::SettleActions() {
    for (int i = GetCount() - 1; i >= 0; --i) {
        TArcArchiveItem* item = ItemList().Items(i);
        if (item->Action == iaDelete)
            ItemList().Delete(i);
        else if (item->Action != iaFailed)
            item->Action = iaNone;
    }
}

// ------------------------------------------------------------------ items

void TArcGzipExtraField::Changed() {
    const uint8_t flags = owner_.Flags();
    owner_.SetFlags(Buffer().isEmpty() ? uint8_t(flags & ~kGzipExtra) : uint8_t(flags | kGzipExtra));
}

TArcGzipItem::TArcGzipItem() {
    Header = {31, 139, 8, 0, 0, 0, 0, 0, 2, 0};
}

uint32_t TArcGzipItem::ModTime() const {
    return readLe32(Header.data() + 4);
}

void TArcGzipItem::SetModTime(uint32_t seconds) {
    putLe32(Header.data() + 4, seconds);
}

uint16_t TArcGzipItem::GetLastModFileDate() const {
    return uint16_t(DateTimeToDosDateTime(GetLastModTimeAsDateTime()) >> 16);
}

uint16_t TArcGzipItem::GetLastModFileTime() const {
    return uint16_t(DateTimeToDosDateTime(GetLastModTimeAsDateTime()) & 0xFFFF);
}

void TArcGzipItem::SetFileName(const QString& value) {
    TArcArchiveItem::SetFileName(value);
    RawName = EncodeUtf8Name(value);
    SetFlags(value.isEmpty() ? uint8_t(Flags() & ~kGzipName) : uint8_t(Flags() | kGzipName));
}

void TArcGzipItem::SetLastModFileDate(uint16_t value) {
    const TDateTimeParts now = DecodeDateTime(GetLastModTimeAsDateTime());
    TDateTime changed = 0;
    if (TryEncodeDateTime(1980 + (value >> 9), (value >> 5) & 0x0F, value & 0x1F, now.Hour,
                          now.Minute, now.Second, changed))
        SetLastModTimeAsDateTime(changed);
}

void TArcGzipItem::SetLastModFileTime(uint16_t value) {
    const TDateTimeParts now = DecodeDateTime(GetLastModTimeAsDateTime());
    TDateTime changed = 0;
    if (TryEncodeDateTime(now.Year, now.Month, now.Day, value >> 11, (value >> 5) & 0x3F,
                          2 * (value & 0x1F), changed))
        SetLastModTimeAsDateTime(changed);
}

TDateTime TArcGzipItem::GetLastModTimeAsDateTime() const {
    return UnixTimeToLocal(ModTime());
}

void TArcGzipItem::SetLastModTimeAsDateTime(TDateTime value) {
    SetModTime(uint32_t(LocalToUnixTime(value)));
}

bool TArcGzipItem::LoadGzipHeaderFromStream(Stream& stream) {
    std::array<uint8_t, 10> fixed{};
    if (stream.Read(fixed.data(), 10) != 10 || !isMemberStart(fixed.data())) return false;
    Header = fixed;
    const uint8_t flags = Flags();
    if (flags & kGzipExtra) {
        uint8_t len[2];
        stream.ReadBuffer(len, 2);
        const int64_t size = len[0] | len[1] << 8;
        if (stream.Size() - stream.Position() < size) throw EArcGzipInvalid();
        ExtraField.LoadFromStream(stream, size);
    } else {
        ExtraField.SetBuffer(QByteArray());
    }
    SetFlags(flags);  // the extra field's notification must not change what was read
    if (flags & kGzipName) {
        RawName = readZeroTerminated(stream);
        TArcArchiveItem::SetFileName(DecodeStoredName(RawName));
    } else {
        RawName.clear();
        TArcArchiveItem::SetFileName(QStringLiteral("unknown"));
    }
    Comment = (flags & kGzipComment) ? readZeroTerminated(stream) : QByteArray();
    if (flags & kGzipHeaderCrc) {
        uint8_t crc[2];
        stream.ReadBuffer(crc, 2);
    }
    DiskFileName = GetFileName();
    DiskFileName.replace(u'/', u'\\');
    Action = iaNone;
    return true;
}

void TArcGzipItem::SaveGzipHeaderToStream(Stream& stream) const {
    std::array<uint8_t, 10> fixed = Header;
    fixed[0] = 31;
    fixed[1] = 139;
    fixed[2] = 8;
    const uint8_t flags = Flags() & 0x1D;
    fixed[3] = flags;
    stream.WriteBuffer(fixed.data(), 10);
    if (flags & kGzipExtra) {
        const QByteArray& extra = ExtraField.Buffer();
        const uint8_t len[2] = {uint8_t(extra.size()), uint8_t(extra.size() >> 8)};
        stream.WriteBuffer(len, 2);
        stream.WriteBuffer(extra.constData(), extra.size());
    }
    static const char zero = 0;
    if (flags & kGzipName) {
        stream.WriteBuffer(RawName.constData(), RawName.size());
        stream.WriteBuffer(&zero, 1);
    }
    if (flags & kGzipComment) {
        stream.WriteBuffer(Comment.constData(), Comment.size());
        stream.WriteBuffer(&zero, 1);
    }
}

// ----------------------------------------------------------- stream helper

TArcGzipStreamHelper::TArcGzipStreamHelper(Stream* stream) : TArcArchiveStreamHelper(stream) {}

bool TArcGzipStreamHelper::FindFirstItem() {
    stream_->SetPosition(0);
    std::array<uint8_t, 10> fixed{};
    const bool found = stream_->Read(fixed.data(), 10) == 10 && isMemberStart(fixed.data());
    if (found) Item.Header = fixed;
    stream_->SetPosition(0);
    return found;
}

bool TArcGzipStreamHelper::SeekItem(int index) {
    return index <= 0 && FindFirstItem();
}

void TArcGzipStreamHelper::ReadHeader() {
    if (!Item.LoadGzipHeaderFromStream(*stream_)) throw EArcGzipInvalid();
}

void TArcGzipStreamHelper::ReadTail() {
    uint8_t tail[kTrailerSize];
    if (stream_->Read(tail, kTrailerSize) != kTrailerSize)
        throw EArcGzipException(ArcMessage(EArcGzipInvalid::Code_) +
                                    QStringLiteral(" - the data ends before its trailer"),
                                EArcGzipInvalid::Code_);
    TrailerCrc = readLe32(tail);
    TrailerSize = readLe32(tail + 4);
}

void TArcGzipStreamHelper::ExtractItemData(Stream& target) {
    stream_->SetPosition(0);
    ReadHeader();
    int64_t total = 0;
    for (;;) {
        int64_t produced = 0;
        uint32_t crc = 0;
        // A member cut anywhere before the end of its trailer is damaged
        // data, whatever came out of it so far.
        try {
            crc = inflateMember(*stream_, target, produced);
        } catch (const EArcInflateError& e) {
            throw EArcGzipException(ArcMessage(EArcGzipInvalid::Code_) + QStringLiteral(" - ") + e.Message(),
                                    EArcGzipInvalid::Code_);
        }
        ReadTail();
        if (crc != TrailerCrc) throw EArcGzipBadCRC();
        if (uint32_t(produced) != TrailerSize) throw EArcGzipBadFileSize();
        total += produced;
        Item.SetCRC32(crc);
        // gzip -d goes on with every member that follows and ignores
        // whatever else trails the last one.
        const int64_t next = stream_->Position();
        TArcGzipItem following;
        bool more = false;
        try {
            more = following.LoadGzipHeaderFromStream(*stream_);
        } catch (const Exception&) {
            more = false;
        }
        if (!more) {
            stream_->SetPosition(next);
            break;
        }
    }
    Item.SetUncompressedSize(uint64_t(total));
}

void TArcGzipStreamHelper::WriteArchiveHeader() {
    Item.SaveGzipHeaderToStream(*stream_);
}

void TArcGzipStreamHelper::WriteArchiveItem(Stream& source) {
    const int64_t start = source.Position();
    TArcDeflateHelper helper;
    Item.SetCRC32(Deflate(source, *stream_, &helper));
    Item.SetUncompressedSize(uint64_t(source.Size() - start));
}

void TArcGzipStreamHelper::WriteArchiveTail() {
    uint8_t tail[kTrailerSize];
    putLe32(tail, Item.GetCRC32());
    putLe32(tail + 4, uint32_t(Item.GetUncompressedSize()));
    stream_->WriteBuffer(tail, kTrailerSize);
}

int32_t VerifyGzip(Stream& stream) {
    const int64_t saved = stream.Position();
    int32_t result = ArcUnknown;
    try {
        stream.SetPosition(0);
        TArcGzipItem item;
        // A member too short for its trailer is no gzip data.
        if (item.LoadGzipHeaderFromStream(stream) && stream.Size() - stream.Position() >= 8) {
            // Only the start is unpacked: a hostile member must not make a
            // mere type test inflate gigabytes.
            MemoryStream start;
            start.SetSize(1024);
            start.SetPosition(0);
            int64_t produced = 0;
            result = ArcGzip;
            inflateMember(stream, start, produced, 512);
            start.SetSize(produced);
            start.SetPosition(0);
            if (VerifyTar(start) == ArcTar) result = ArcGzippedTar;
        }
    } catch (const EArcInflateError&) {
        // Damage behind a sound header: gzip, whose test and extraction
        // report it.
    } catch (const StreamFilerError&) {
        result = ArcUnknown;
    } catch (const EArcGzipInvalid&) {
        result = ArcUnknown;
    } catch (...) {
        stream.SetPosition(saved);
        throw;
    }
    stream.SetPosition(saved);
    return result;
}

// ---------------------------------------------------------------- archive

TArcGzipArchive::TArcGzipArchive(const QString& fileName, uint16_t mode)
    : TArcPackedArchive(fileName, mode) {}

TArcGzipArchive::TArcGzipArchive(Stream* stream, const QString& archiveName)
    : TArcPackedArchive(stream, archiveName) {}

TArcGzipItem* TArcGzipArchive::GzipItem(int index) const {
    return static_cast<TArcGzipItem*>(ItemList().Items(index));
}

QString TArcGzipArchive::FixName(const QString& value) {
    if (TarIsCurrent()) return TArcTarArchive::FixName(value);
    StoreOptions |= soStripDrive | soStripPath;
    return TArcArchive::FixName(value);
}

std::unique_ptr<TArcArchiveItem> TArcGzipArchive::CreateItem(const QString& fileName) {
    if (TarMode()) {
        SwitchToTar();
        return TArcTarArchive::CreateItem(fileName);
    }
    try {
        auto item = std::make_unique<TArcGzipItem>();
        item->SetCompressedSize(0);
        item->SetCRC32(0);
        item->DiskFileName = ResolveDiskName(fileName);
        item->SetFileName(FixName(fileName));
        return item;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void TArcGzipArchive::LoadArchive() {
    SwitchToPacked();
    Stream& stream = PackedStream();
    const int64_t size = stream.Size();
    if (size > 0) {
        TArcGzipStreamHelper helper(&stream);
        if (helper.FindFirstItem()) {
            auto item = std::make_unique<TArcGzipItem>();
            try {
                item->LoadGzipHeaderFromStream(stream);
            } catch (const StreamFilerError&) {
                throw EArcGzipInvalid();
            }
            item->DataOffset = stream.Position();
            const int64_t packed = size - item->DataOffset - kTrailerSize;
            if (packed < 0) throw EArcGzipInvalid();
            item->SetCompressedSize(uint64_t(packed));
            item->DataEnd = size;
            stream.SetPosition(size - kTrailerSize);
            helper.ReadTail();
            item->SetCRC32(helper.TrailerCrc);
            item->SetUncompressedSize(helper.TrailerSize);
            item->Action = iaNone;
            if (TarMode()) {
                TArcVirtualMemoryStream& tar = TarStream();
                tar.SwapFileDirectory = TempDirectory;
                tar.SetSize(0);
                tar.SetPosition(0);
                TArcGzipStreamHelper unpack(&stream);
                unpack.ExtractItemData(tar);
                tarHeader_ = std::move(item);
                SwitchToTar();
                TArcTarArchive::LoadArchive();
                return;
            }
            ItemList().Add(std::move(item));
        }
    }
    bool abort = false;
    DoArchiveProgress(100, abort);
    IsDirty = false;
}

void TArcGzipArchive::ExtractItemToStreamAt(int index, Stream& stream) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::ExtractItemToStreamAt(index, stream);
        return;
    }
    TArcGzipStreamHelper helper(&PackedStream());
    helper.ExtractItemData(stream);
}

void TArcGzipArchive::ExtractItemAt(int index, const QString& fileName) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::ExtractItemAt(index, fileName);
        return;
    }
    TArcGzipItem* item = GzipItem(0);
    try {
        TReplacingFile target(fileName);
        ExtractItemToStreamAt(0, target.Data());
        target.Commit();
    } catch (const EArcUserAbort&) {
        Status = StatusInvalid;
        throw;
    }
    SetFileDateTime(fileName, item->GetLastModTimeAsDateTime());
    SetFileAttr(fileName, item->GetNativeFileAttributes());
}

void TArcGzipArchive::TestItemAt(int index) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::TestItemAt(index);
        return;
    }
    Stream& stream = PackedStream();
    const int64_t saved = stream.Position();
    const int32_t type = VerifyGzip(stream);
    if (type != ArcGzip && type != ArcGzippedTar) throw EArcGzipInvalid();
    TArcBitBucketStream sink(1024);
    TArcGzipStreamHelper helper(&stream);
    try {
        helper.ExtractItemData(sink);
    } catch (...) {
        stream.SetPosition(saved);
        throw;
    }
    stream.SetPosition(saved);
}

void TArcGzipArchive::writeMember(TArcGzipItem& item, Stream& source, Stream& out) {
    TArcGzipStreamHelper writer(&out);
    item.SaveGzipHeaderToStream(out);
    const int64_t dataOffset = out.Position();
    writer.Item.SetFileName(item.GetFileName());
    writer.WriteArchiveItem(source);
    item.SetCRC32(writer.Item.GetCRC32());
    item.SetUncompressedSize(writer.Item.GetUncompressedSize());
    item.SetCompressedSize(uint64_t(out.Position() - dataOffset));
    writer.Item.SetCRC32(item.GetCRC32());
    writer.WriteArchiveTail();
    item.DataOffset = dataOffset;
    item.DataEnd = out.Position();
}

void TArcGzipArchive::saveGzipItems(Stream& built) {
    Stream& old = PackedStream();
    for (int i = 0; i < GetCount(); ++i) {
        TArcGzipItem* item = GzipItem(i);
        CurrentItem = item;
        const int64_t start = built.Position();
        switch (item->Action) {
            case iaNone:
            case iaMove: {
                if (item->DataOffset < 0) break;
                item->SaveGzipHeaderToStream(built);
                const int64_t dataOffset = built.Position();
                old.SetPosition(item->DataOffset);
                const int64_t rest = item->DataEnd - item->DataOffset;
                if (rest > 0) built.CopyFrom(old, rest);
                item->DataOffset = dataOffset;
                item->DataEnd = built.Position();
                break;
            }
            case iaAdd:
            case iaFreshen:
            case iaReplace:
            case iaStreamAdd:
                try {
                    if (item->Action == iaStreamAdd) {
                        Stream* source = InStream ? InStream : item->SourceStream.get();
                        if (!source) throw EArcBadStream();
                        source->SetPosition(0);
                        writeMember(*item, *source, built);
                    } else {
                        const QString name = ResolveDiskName(item->DiskFileName);
                        FileStream file(name, fmOpenRead | fmShareDenyWrite);
                        item->SetModTime(uint32_t(LocalToUnixTime(GetFileDateTime(name))));
                        writeMember(*item, file, built);
                    }
                } catch (...) {
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
}

void TArcGzipArchive::SaveArchive() {
    TArcVirtualMemoryStream built;
    built.SwapFileDirectory = TempDirectory;
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::SaveArchive();
        if (!tarHeader_) tarHeader_ = std::make_unique<TArcGzipItem>();
        tarHeader_->Action = iaNone;
        tarHeader_->SetModTime(uint32_t(QDateTime::currentSecsSinceEpoch()));
        TArcVirtualMemoryStream& tar = TarStream();
        tar.SetPosition(0);
        writeMember(*tarHeader_, tar, built);
        ReplacePackedContent(built);
        return;
    }
    SwitchToPacked();
    saveGzipItems(built);
    ReplacePackedContent(built);
    SettleActions();
    bool abort = false;
    DoArchiveSaveProgress(100, abort);
    DoArchiveProgress(100, abort);
}

}  // namespace tandex::archive
