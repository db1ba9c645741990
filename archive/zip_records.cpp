#include "archive/zip_records.h"

#include "archive/archive_utils.h"
#include "archive/name_charsets.h"

#include <algorithm>
#include <vector>

namespace tandex::archive {

namespace {

constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr uint16_t kMax16 = 0xFFFF;

// A record part that must be there whole: a short read means the archive
// is damaged, never that the remaining fields are zero.
void readExact(Stream& stream, void* buffer, int64_t count) {
    if (count > 0 && stream.Read(buffer, count) != count) throw EArcZipInvalid();
}

QByteArray readBytes(Stream& stream, int64_t count) {
    QByteArray bytes(static_cast<qsizetype>(count), Qt::Uninitialized);
    readExact(stream, bytes.data(), count);
    return bytes;
}

// Reads the fixed part shared by both entry headers, starting at the
// version-needed field.
void readCommonFields(TArcZipFileHeader& h, const uint8_t* p) {
    h.VersionNeededToExtract = ZipGet16(p);
    h.GeneralPurposeBitFlag = ZipGet16(p + 2);
    h.CompressionMethodField = ZipGet16(p + 4);
    h.LastModFileTime = ZipGet16(p + 6);
    h.LastModFileDate = ZipGet16(p + 8);
    h.CRC32 = ZipGet32(p + 10);
    h.CompressedSize = ZipGet32(p + 14);
    h.UncompressedSize = ZipGet32(p + 18);
}

void writeCommonFields(const TArcZipFileHeader& h, QByteArray& out) {
    ZipPut16(out, h.VersionNeededToExtract);
    ZipPut16(out, h.GeneralPurposeBitFlag);
    ZipPut16(out, h.CompressionMethodField);
    ZipPut16(out, h.LastModFileTime);
    ZipPut16(out, h.LastModFileDate);
    ZipPut32(out, h.CRC32);
    ZipPut32(out, h.CompressedSize);
    ZipPut32(out, h.UncompressedSize);
}

// Lengths that a header stores in 16 bits; a longer value would write a
// record that reads back differently.
uint16_t length16(qsizetype size) {
    if (size > kMax16) throw EArcZipInvalid();
    return static_cast<uint16_t>(size);
}

}  // namespace

void ZipPut16(QByteArray& out, uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void ZipPut32(QByteArray& out, uint32_t v) {
    ZipPut16(out, static_cast<uint16_t>(v & 0xFFFF));
    ZipPut16(out, static_cast<uint16_t>(v >> 16));
}

void ZipPut64(QByteArray& out, uint64_t v) {
    ZipPut32(out, static_cast<uint32_t>(v & kMax32));
    ZipPut32(out, static_cast<uint32_t>(v >> 32));
}

// ------------------------------------------------------------ entry headers

void TArcZipFileHeader::SetIsUtf8(bool value) {
    if (value)
        GeneralPurposeBitFlag |= kZipFlagUtf8;
    else
        GeneralPurposeBitFlag &= static_cast<uint16_t>(~kZipFlagUtf8);
}

int TArcZipFileHeader::ImplodeDictionarySize() const {
    if (CompressionMethod() != 6) return 0;
    return (GeneralPurposeBitFlag & kZipFlagImplode8K) ? 8192 : 4096;
}

int TArcZipFileHeader::ImplodeTreeCount() const {
    if (CompressionMethod() != 6) return 0;
    return (GeneralPurposeBitFlag & kZipFlagImplode3Trees) ? 3 : 2;
}

void TArcZipLocalFileHeader::LoadFromStream(Stream& stream) {
    uint8_t b[kZipLocalHeaderSize];
    readExact(stream, b, sizeof b);
    Signature = ZipGet32(b);
    if (!IsValid()) throw EArcZipInvalid();
    readCommonFields(*this, b + 4);
    const uint16_t nameLength = ZipGet16(b + 26);
    const uint16_t extraLength = ZipGet16(b + 28);
    FileName = readBytes(stream, nameLength);
    ExtraField.SetBuffer(readBytes(stream, extraLength));
}

void TArcZipLocalFileHeader::SaveToStream(Stream& stream) const {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(RecordSize()));
    ZipPut32(out, ExpectedSignature);
    writeCommonFields(*this, out);
    ZipPut16(out, length16(FileName.size()));
    ZipPut16(out, length16(ExtraField.Buffer().size()));
    out += FileName;
    out += ExtraField.Buffer();
    stream.WriteBuffer(out.constData(), out.size());
}

void TArcZipDirectoryFileHeader::LoadFromStream(Stream& stream) {
    uint8_t b[kZipCentralHeaderSize];
    readExact(stream, b, sizeof b);
    Signature = ZipGet32(b);
    if (!IsValid()) throw EArcZipInvalid();
    VersionMadeBy = ZipGet16(b + 4);
    readCommonFields(*this, b + 6);
    const uint16_t nameLength = ZipGet16(b + 28);
    const uint16_t extraLength = ZipGet16(b + 30);
    const uint16_t commentLength = ZipGet16(b + 32);
    DiskNumberStart = ZipGet16(b + 34);
    InternalFileAttributes = ZipGet16(b + 36);
    ExternalFileAttributes = ZipGet32(b + 38);
    RelativeOffsetOfLocalHeader = ZipGet32(b + 42);
    FileName = readBytes(stream, nameLength);
    ExtraField.SetBuffer(readBytes(stream, extraLength));
    FileComment = readBytes(stream, commentLength);
}

void TArcZipDirectoryFileHeader::SaveToStream(Stream& stream) const {
    QByteArray out;
    ZipPut32(out, ExpectedSignature);
    ZipPut16(out, VersionMadeBy);
    writeCommonFields(*this, out);
    ZipPut16(out, length16(FileName.size()));
    ZipPut16(out, length16(ExtraField.Buffer().size()));
    ZipPut16(out, length16(FileComment.size()));
    ZipPut16(out, DiskNumberStart);
    ZipPut16(out, InternalFileAttributes);
    ZipPut32(out, ExternalFileAttributes);
    ZipPut32(out, RelativeOffsetOfLocalHeader);
    out += FileName;
    out += ExtraField.Buffer();
    out += FileComment;
    stream.WriteBuffer(out.constData(), out.size());
}

void TArcZipDirectoryFileHeader::Assign(const TArcZipDirectoryFileHeader& other) {
    Signature = other.Signature;
    VersionNeededToExtract = other.VersionNeededToExtract;
    GeneralPurposeBitFlag = other.GeneralPurposeBitFlag;
    CompressionMethodField = other.CompressionMethodField;
    LastModFileTime = other.LastModFileTime;
    LastModFileDate = other.LastModFileDate;
    CRC32 = other.CRC32;
    CompressedSize = other.CompressedSize;
    UncompressedSize = other.UncompressedSize;
    FileName = other.FileName;
    ExtraField.Assign(other.ExtraField);
    VersionMadeBy = other.VersionMadeBy;
    DiskNumberStart = other.DiskNumberStart;
    InternalFileAttributes = other.InternalFileAttributes;
    ExternalFileAttributes = other.ExternalFileAttributes;
    RelativeOffsetOfLocalHeader = other.RelativeOffsetOfLocalHeader;
    FileComment = other.FileComment;
}

// --------------------------------------------------------------- end records

void TArcZipDirectoryFileFooter::LoadFromStream(Stream& stream) {
    uint8_t b[kZipEndRecordSize];
    stream.ReadBuffer(b, sizeof b);
    if (ZipGet32(b) != kZipEndSignature) throw EArcZipInvalid();
    NumberOfThisDisk = ZipGet16(b + 4);
    DiskWithCentralDirectory = ZipGet16(b + 6);
    EntriesOnThisDisk = ZipGet16(b + 8);
    TotalEntries = ZipGet16(b + 10);
    CentralDirectorySize = ZipGet32(b + 12);
    CentralDirectoryOffset = ZipGet32(b + 16);
    ZipfileComment = readBytes(stream, ZipGet16(b + 20));
}

bool TArcZipDirectoryFileFooter::IsZip64() const {
    return NumberOfThisDisk >= kMax16 || DiskWithCentralDirectory >= kMax16 ||
           EntriesOnThisDisk >= kMax16 || TotalEntries >= kMax16 ||
           CentralDirectorySize >= kMax32 || CentralDirectoryOffset >= kMax32;
}

void TArcZipDirectoryFileFooter::LoadZip64FromStream(Stream& stream) {
    uint8_t b[kZip64EndRecordSize];
    readExact(stream, b, sizeof b);
    if (ZipGet32(b) != kZip64EndSignature) throw EArcZipInvalid();
    if (NumberOfThisDisk >= kMax16) NumberOfThisDisk = ZipGet32(b + 16);
    if (DiskWithCentralDirectory >= kMax16) DiskWithCentralDirectory = ZipGet32(b + 20);
    if (EntriesOnThisDisk >= kMax16) EntriesOnThisDisk = ZipGet64(b + 24);
    if (TotalEntries >= kMax16) TotalEntries = ZipGet64(b + 32);
    if (CentralDirectorySize >= kMax32) CentralDirectorySize = ZipGet64(b + 40);
    if (CentralDirectoryOffset >= kMax32) CentralDirectoryOffset = ZipGet64(b + 48);
}

void TArcZipDirectoryFileFooter::SaveToStream(Stream& stream, int64_t zip64Offset) const {
    QByteArray out;
    if (IsZip64()) {
        const int64_t recordAt = zip64Offset == -1 ? stream.Position() : zip64Offset;
        ZipPut32(out, kZip64EndSignature);
        ZipPut64(out, kZip64EndRecordSize - 12);
        ZipPut16(out, 45);
        ZipPut16(out, 45);
        ZipPut32(out, NumberOfThisDisk);
        ZipPut32(out, DiskWithCentralDirectory);
        ZipPut64(out, EntriesOnThisDisk);
        ZipPut64(out, TotalEntries);
        ZipPut64(out, CentralDirectorySize);
        ZipPut64(out, CentralDirectoryOffset);
        ZipPut32(out, kZip64LocatorSignature);
        ZipPut32(out, NumberOfThisDisk);
        ZipPut64(out, static_cast<uint64_t>(recordAt));
        ZipPut32(out, NumberOfThisDisk + 1);
    }
    ZipPut32(out, kZipEndSignature);
    ZipPut16(out, static_cast<uint16_t>(std::min<uint64_t>(NumberOfThisDisk, kMax16)));
    ZipPut16(out, static_cast<uint16_t>(std::min<uint64_t>(DiskWithCentralDirectory, kMax16)));
    ZipPut16(out, static_cast<uint16_t>(std::min<uint64_t>(EntriesOnThisDisk, kMax16)));
    ZipPut16(out, static_cast<uint16_t>(std::min<uint64_t>(TotalEntries, kMax16)));
    ZipPut32(out, static_cast<uint32_t>(std::min<uint64_t>(CentralDirectorySize, kMax32)));
    ZipPut32(out, static_cast<uint32_t>(std::min<uint64_t>(CentralDirectoryOffset, kMax32)));
    ZipPut16(out, length16(ZipfileComment.size()));
    out += ZipfileComment;
    stream.WriteBuffer(out.constData(), out.size());
}

bool ReadZip64Locator(Stream& stream, TArcZip64Locator& locator) {
    const int64_t at = stream.Position();
    uint8_t b[kZip64LocatorSize];
    if (stream.Read(b, sizeof b) != kZip64LocatorSize || ZipGet32(b) != kZip64LocatorSignature) {
        stream.Seek(at, soBeginning);
        return false;
    }
    locator.Disk = ZipGet32(b + 4);
    locator.Offset = ZipGet64(b + 8);
    locator.TotalDisks = ZipGet32(b + 16);
    return true;
}

void TArcZipDataDescriptor::SaveToStream(Stream& stream) const {
    QByteArray out;
    ZipPut32(out, kZipDataDescriptorSignature);
    ZipPut32(out, CRC32);
    if (CompressedSize >= kMax32 || UncompressedSize >= kMax32) {
        ZipPut64(out, CompressedSize);
        ZipPut64(out, UncompressedSize);
    } else {
        ZipPut32(out, static_cast<uint32_t>(CompressedSize));
        ZipPut32(out, static_cast<uint32_t>(UncompressedSize));
    }
    stream.WriteBuffer(out.constData(), out.size());
}

// ------------------------------------------------------------------- item

void TArcZipItem::SetCompressionMethod(uint8_t method) {
    central_.SetCompressionMethod(method);
    recomputeVersions();
}

void TArcZipItem::SetGeneralPurposeBitFlag(uint16_t flags) {
    central_.GeneralPurposeBitFlag = flags;
    recomputeVersions();
}

void TArcZipItem::SetIsEncrypted(bool value) {
    SetGeneralPurposeBitFlag(value ? (central_.GeneralPurposeBitFlag | kZipFlagEncrypted)
                                   : (central_.GeneralPurposeBitFlag & ~kZipFlagEncrypted));
}

bool TArcZipItem::GetIsDirectory() const {
    if (central_.ExternalFileAttributes & faDirectory) return true;
    const QString name = GetFileName();
    return name.endsWith(u'/') || name.endsWith(u'\\');
}

int32_t TArcZipItem::GetNativeFileAttributes() const {
    const uint32_t ext = central_.ExternalFileAttributes;
    if (HostSystem() == kHostUnix || ext > 0x1FFFF) return UnixModeToDosAttr(ext >> 16);
    return static_cast<int32_t>(ext & 0xFF);
}

void TArcZipItem::SetCompressedSize(uint64_t value) {
    CompressedSize = value;
    central_.CompressedSize = value < kMax32 ? static_cast<uint32_t>(value) : kMax32;
    rebuildZip64Field();
}

void TArcZipItem::SetUncompressedSize(uint64_t value) {
    UncompressedSize = value;
    central_.UncompressedSize = value < kMax32 ? static_cast<uint32_t>(value) : kMax32;
    rebuildZip64Field();
}

void TArcZipItem::SetRelativeOffset(uint64_t value) {
    relativeOffset_ = value;
    central_.RelativeOffsetOfLocalHeader = value < kMax32 ? static_cast<uint32_t>(value) : kMax32;
    rebuildZip64Field();
}

void TArcZipItem::SetDiskNumberStart(uint32_t value) {
    diskNumberStart_ = value;
    central_.DiskNumberStart = value <= 0xFFFE ? static_cast<uint16_t>(value) : kMax16;
    rebuildZip64Field();
}

void TArcZipItem::rebuildZip64Field() {
    const bool had = central_.ExtraField.Has(kZip64ExtraTag);
    QByteArray data;
    if (central_.UncompressedSize == kMax32) ZipPut64(data, UncompressedSize);
    if (central_.CompressedSize == kMax32) ZipPut64(data, CompressedSize);
    if (central_.RelativeOffsetOfLocalHeader == kMax32) ZipPut64(data, relativeOffset_);
    if (central_.DiskNumberStart == kMax16) ZipPut32(data, diskNumberStart_);
    if (data.isEmpty())
        central_.ExtraField.Delete(kZip64ExtraTag);
    else
        central_.ExtraField.Put(kZip64ExtraTag, data.constData(), data.size());
    if (had != !data.isEmpty()) recomputeVersions();
}

void TArcZipItem::recomputeVersions() {
    uint16_t needed = 10;
    if (central_.ExtraField.Has(kZip64ExtraTag))
        needed = 45;
    else if (GetIsDirectory() || central_.IsEncrypted() || central_.CompressionMethod() > 6)
        needed = 20;
    central_.VersionNeededToExtract = needed;
    central_.VersionMadeBy = static_cast<uint16_t>((central_.VersionMadeBy & 0xFF00) |
                                                   std::max<uint16_t>(needed, 20));
}

void TArcZipItem::SetFileName(const QString& value) {
    TArcArchiveItem::SetFileName(value);
    central_.SetIsUtf8(false);
    SetHostSystem(kHostMsDos);
    const TCodePages pages = MachineCodePages();
    QByteArray raw;
    bool utf8 = false;
    if (!TryEncodeName(value, pages.Oem, false, raw)) {
        QByteArray ansi;
        if (pages.Ansi != pages.Oem && TryEncodeName(value, pages.Ansi, false, ansi)) {
            raw = ansi;
            SetHostSystem(kHostNtfs);
        } else if (!TryEncodeName(value, pages.Oem, true, raw)) {
            if (pages.Ansi == pages.Oem) {
                utf8 = true;
            } else if (TryEncodeName(value, pages.Ansi, true, ansi)) {
                raw = ansi;
                SetHostSystem(kHostNtfs);
            } else {
                utf8 = true;
            }
        }
    }
    // Readers translate the names of MS-DOS hosts from the OEM page even
    // when the UTF-8 flag is set; a UTF-8 name says it comes from NTFS.
    if (utf8) SetHostSystem(kHostNtfs);
    central_.SetIsUtf8(utf8);
    central_.FileName = utf8 ? EncodeUtf8Name(value) : raw;
    const bool highCharacters =
        std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() > 127; });
    if (!utf8 && highCharacters) {
        QByteArray data;
        data.append('\x01');
        ZipPut32(data, Crc32OfString(central_.FileName));
        data += EncodeUtf8Name(value);
        central_.ExtraField.Put(kUnicodePathTag, data.constData(), data.size());
    } else {
        central_.ExtraField.Delete(kUnicodePathTag);
    }
    central_.ExtraField.Delete(kUnicodeNameTag);
    // The folder state follows the name, and the version needed with it.
    recomputeVersions();
}

namespace {

QString decodeZipName(TArcZipDirectoryFileHeader& h) {
    const QByteArray& raw = h.FileName;
    if (h.IsUtf8() || DetectNameCharset(raw) == TNameCharset::Utf8) return QString::fromUtf8(raw);
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    if (h.ExtraField.Get(kUnicodePathTag, data, size) && size > 6 && data[0] == 1 &&
        ZipGet32(data + 1) == Crc32OfString(raw))
        return QString::fromUtf8(reinterpret_cast<const char*>(data + 5), size - 5);
    if (h.ExtraField.Get(kUnicodeNameTag, data, size) && size > 10 &&
        ZipGet32(data) == 0x5843554E && size == 8 + 2 * static_cast<uint64_t>(ZipGet32(data + 4))) {
        QString name;
        for (int i = 8; i + 1 < size; i += 2) name.append(QChar(ZipGet16(data + i)));
        return name;
    }
    const TCodePages pages = MachineCodePages();
    const uint8_t host = static_cast<uint8_t>(h.VersionMadeBy >> 8);
    if (pages.Ansi == pages.Oem) return DecodeCodePage(raw, pages.Ansi);
    if (host == kHostMsDos || LooksLikeOemName(raw, pages.Oem)) return DecodeCodePage(raw, pages.Oem);
    return DecodeCodePage(raw, pages.Ansi);
}

}  // namespace

void TArcZipItem::LoadFromStream(Stream& stream) {
    central_.LoadFromStream(stream);
    const QString name = decodeZipName(central_);
    TArcArchiveItem::SetFileName(name);
    CompressedSize = central_.CompressedSize;
    UncompressedSize = central_.UncompressedSize;
    relativeOffset_ = central_.RelativeOffsetOfLocalHeader;
    diskNumberStart_ = central_.DiskNumberStart;
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    if (central_.ExtraField.Get(kZip64ExtraTag, data, size)) {
        // Exactly the values whose classic field is at its maximum, in
        // order; a field too short for them is damage.
        int at = 0;
        auto take64 = [&](uint64_t& target) {
            if (at + 8 > size) throw EArcZipInvalid();
            target = ZipGet64(data + at);
            at += 8;
        };
        if (central_.UncompressedSize == kMax32) take64(UncompressedSize);
        if (central_.CompressedSize == kMax32) take64(CompressedSize);
        if (central_.RelativeOffsetOfLocalHeader == kMax32) take64(relativeOffset_);
        if (central_.DiskNumberStart == kMax16) {
            if (at + 4 > size) throw EArcZipInvalid();
            diskNumberStart_ = ZipGet32(data + at);
        }
    }
    QString diskName = name;
    diskName.replace(u'\\', u'/');
    DiskFileName = diskName;
    Action = iaNone;
    HasStoredData = true;
}

void TArcZipItem::BuildLocalHeader(TArcZipLocalFileHeader& h) {
    h.VersionNeededToExtract = central_.VersionNeededToExtract;
    h.GeneralPurposeBitFlag = central_.GeneralPurposeBitFlag;
    h.CompressionMethodField = central_.CompressionMethodField;
    h.LastModFileTime = central_.LastModFileTime;
    h.LastModFileDate = central_.LastModFileDate;
    h.CRC32 = central_.CRC32;
    h.FileName = central_.FileName;
    h.ExtraField.Assign(localExtra_);
    h.ExtraField.CloneFrom(central_.ExtraField, kUnicodePathTag);
    h.ExtraField.CloneFrom(central_.ExtraField, kUnicodeNameTag);
    if (CompressedSize < kMax32 && UncompressedSize < kMax32) {
        h.CompressedSize = static_cast<uint32_t>(CompressedSize);
        h.UncompressedSize = static_cast<uint32_t>(UncompressedSize);
        h.ExtraField.Delete(kZip64ExtraTag);
    } else {
        h.CompressedSize = kMax32;
        h.UncompressedSize = kMax32;
        QByteArray data;
        ZipPut64(data, UncompressedSize);
        ZipPut64(data, CompressedSize);
        h.ExtraField.Put(kZip64ExtraTag, data.constData(), data.size());
    }
}

void TArcZipItem::SaveLocalHeader(Stream& stream) {
    TArcZipLocalFileHeader h;
    BuildLocalHeader(h);
    h.SaveToStream(stream);
}

void TArcZipItem::SaveDataDescriptor(Stream& stream) const {
    TArcZipDataDescriptor d;
    d.CRC32 = central_.CRC32;
    d.CompressedSize = CompressedSize;
    d.UncompressedSize = UncompressedSize;
    d.SaveToStream(stream);
}

TArcZipItem::Snapshot TArcZipItem::TakeSnapshot() const {
    MemoryStream central;
    central_.SaveToStream(central);
    return {central.Memory(), localExtra_.Buffer(), CompressedSize, UncompressedSize,
            relativeOffset_, diskNumberStart_};
}

void TArcZipItem::RestoreSnapshot(const Snapshot& snapshot) {
    MemoryStream central(snapshot.Central);
    central_.LoadFromStream(central);
    localExtra_.SetBuffer(snapshot.LocalExtra);
    CompressedSize = snapshot.Compressed;
    UncompressedSize = snapshot.Uncompressed;
    relativeOffset_ = snapshot.Offset;
    diskNumberStart_ = snapshot.Disk;
}

// ------------------------------------------------------------- detection

int64_t FindCentralDirectoryTail(Stream& stream) {
    const int64_t saved = stream.Position();
    const int64_t size = stream.Size();
    if (size < kZipEndRecordSize) {
        stream.Seek(saved, soBeginning);
        return -1;
    }
    uint8_t tail[kZipEndRecordSize];
    stream.Seek(size - kZipEndRecordSize, soBeginning);
    if (stream.Read(tail, sizeof tail) == kZipEndRecordSize && ZipGet32(tail) == kZipEndSignature &&
        ZipGet16(tail + 20) == 0)
        return stream.Seek(size - kZipEndRecordSize, soBeginning);

    // Windows grow from 512 to 64 KB and overlap by one record less a
    // byte, so a record across two windows is seen whole; the search ends
    // where the longest comment would put the record.
    const int64_t lowest = std::max<int64_t>(0, size - kZipEndSearchLimit);
    std::vector<uint8_t> buffer;
    int64_t window = 512;
    int64_t windowEnd = size;
    for (;;) {
        const int64_t start = std::max(lowest, windowEnd - window);
        const int64_t length = windowEnd - start;
        buffer.resize(static_cast<size_t>(length));
        stream.Seek(start, soBeginning);
        const int64_t got = stream.Read(buffer.data(), length);
        if (got < kZipEndRecordSize) break;
        for (int64_t i = got - kZipEndRecordSize; i >= 0; --i) {
            const uint8_t* p = buffer.data() + i;
            if (ZipGet32(p) != kZipEndSignature) continue;
            const int64_t recordEnd = start + i + kZipEndRecordSize;
            if (ZipGet16(p + 20) <= size - recordEnd) return stream.Seek(start + i, soBeginning);
        }
        if (start == lowest) break;
        windowEnd = start + kZipEndRecordSize - 1;
        window = std::min<int64_t>(window * 2, 65536);
    }
    stream.Seek(saved, soBeginning);
    return -1;
}

TArchiveType VerifyZip(Stream& stream) {
    const int64_t saved = stream.Position();
    TArchiveType result = ArcUnknown;
    try {
        uint8_t head[4];
        stream.Seek(0, soBeginning);
        if (stream.Read(head, 4) == 4 && ZipGet32(head) == kZipSpannedMarker) {
            result = ArcSpannedZip;
        } else if (FindCentralDirectoryTail(stream) >= 0) {
            uint8_t b[kZipEndRecordSize];
            stream.ReadBuffer(b, sizeof b);
            if (ZipGet32(b) == kZipEndSignature)
                result = ZipGet16(b + 4) == 0 ? ArcZip : ArcSpannedZip;
        }
    } catch (const StreamError&) {
        result = ArcUnknown;
    }
    stream.Seek(saved, soBeginning);
    return result;
}

TArchiveType VerifySelfExtractingZip(Stream& stream) {
    const int64_t saved = stream.Position();
    uint8_t head[4] = {};
    stream.Seek(0, soBeginning);
    const int64_t got = stream.Read(head, 4);
    stream.Seek(saved, soBeginning);
    const bool stub = (got >= 2 && ZipGet16(head) == 0x5A4D) ||
                      (got == 4 && ZipGet32(head) == 0x464C457F);
    return stub && VerifyZip(stream) == ArcZip ? ArcSelfExtractingZip : ArcUnknown;
}

}  // namespace tandex::archive
