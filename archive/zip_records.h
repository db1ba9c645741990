#pragma once
// The records of a zip file (PKWARE's application note, zip64 and data
// descriptors included) and the zip item whose fields map onto them.
//
// Everything read here is hostile: every record, name, extra field and
// comment is read with its exact length, and a record that is short or
// disagrees with itself raises EArcZipInvalid instead of leaving
// meaningless values behind. Sizes and offsets that the records hold in 32
// bits are kept as 64-bit values; the zip64 field 0x0001 carries the real
// values when a 32-bit field is at its maximum.

#include "archive/archive_items.h"
#include "archive/archive_types.h"
#include "archive/extra_field.h"
#include "archive/streams.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace tandex::archive {

constexpr uint32_t kZipLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kZipDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kZipCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZipEndSignature = 0x06054B50;
constexpr uint32_t kZipSpannedMarker = 0x08074B50;
constexpr uint32_t kZipSingleVolumeMarker = 0x30304B50;  // "PK00"

constexpr int kZipLocalHeaderSize = 30;
constexpr int kZipCentralHeaderSize = 46;
constexpr int kZipEndRecordSize = 22;
constexpr int kZip64EndRecordSize = 56;
constexpr int kZip64LocatorSize = 20;
// The end record lies within its own size plus the longest comment of the
// end of the file.
constexpr int64_t kZipEndSearchLimit = kZipEndRecordSize + 0xFFFF;

constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr uint16_t kUnicodePathTag = 0x7075;  // Info-ZIP
constexpr uint16_t kUnicodeNameTag = 0x554E;  // Xceed

constexpr uint16_t kZipFlagEncrypted = 0x0001;
constexpr uint16_t kZipFlagImplode8K = 0x0002;
constexpr uint16_t kZipFlagImplode3Trees = 0x0004;
constexpr uint16_t kZipFlagDataDescriptor = 0x0008;
constexpr uint16_t kZipFlagUtf8 = 0x0800;

constexpr uint8_t kHostMsDos = 0;
constexpr uint8_t kHostUnix = 3;
constexpr uint8_t kHostNtfs = 11;


// Fields of both entry headers.
class TArcZipFileHeader {
public:
    explicit TArcZipFileHeader(uint32_t expectedSignature) : ExpectedSignature(expectedSignature) {}
    TArcZipFileHeader(const TArcZipFileHeader&) = delete;
    TArcZipFileHeader& operator=(const TArcZipFileHeader&) = delete;
    virtual ~TArcZipFileHeader() = default;

    uint32_t Signature = 0;
    const uint32_t ExpectedSignature;
    uint16_t VersionNeededToExtract = 0;
    uint16_t GeneralPurposeBitFlag = 0;
    uint16_t CompressionMethodField = 0;
    uint16_t LastModFileTime = 0;
    uint16_t LastModFileDate = 0;
    uint32_t CRC32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    QByteArray FileName;  // raw bytes as stored
    TArcExtraField ExtraField;

    bool IsValid() const { return Signature == ExpectedSignature; }
    uint8_t CompressionMethod() const { return CompressionMethodField & 0xFF; }
    void SetCompressionMethod(uint8_t method) { CompressionMethodField = method & 0x7F; }
    bool IsEncrypted() const { return GeneralPurposeBitFlag & kZipFlagEncrypted; }
    bool IsUtf8() const { return GeneralPurposeBitFlag & kZipFlagUtf8; }
    void SetIsUtf8(bool value);
    // Method 6 only: 4096 or 8192, else 0.
    int ImplodeDictionarySize() const;
    // Method 6 only: 2 or 3, else 0.
    int ImplodeTreeCount() const;
};

class TArcZipLocalFileHeader : public TArcZipFileHeader {
public:
    TArcZipLocalFileHeader() : TArcZipFileHeader(kZipLocalHeaderSignature) {}
    void LoadFromStream(Stream& stream);
    void SaveToStream(Stream& stream) const;
    int64_t RecordSize() const { return kZipLocalHeaderSize + FileName.size() + ExtraField.Buffer().size(); }
};

class TArcZipDirectoryFileHeader : public TArcZipFileHeader {
public:
    TArcZipDirectoryFileHeader() : TArcZipFileHeader(kZipCentralHeaderSignature) {}
    uint16_t VersionMadeBy = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalFileAttributes = 0;
    uint32_t ExternalFileAttributes = 0;
    uint32_t RelativeOffsetOfLocalHeader = 0;
    QByteArray FileComment;

    void LoadFromStream(Stream& stream);
    void SaveToStream(Stream& stream) const;
    // Copies every field but the expected signature.
    void Assign(const TArcZipDirectoryFileHeader& other);
};

struct TArcZip64Locator {
    uint32_t Disk = 0;
    uint64_t Offset = 0;
    uint32_t TotalDisks = 0;
};

class TArcZipDirectoryFileFooter {
public:
    uint32_t NumberOfThisDisk = 0;
    uint32_t DiskWithCentralDirectory = 0;
    uint64_t EntriesOnThisDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t CentralDirectorySize = 0;
    uint64_t CentralDirectoryOffset = 0;
    QByteArray ZipfileComment;

    // The end record at the stream position: exactly 22 bytes (a short
    // stream raises the stream read error), then exactly the comment.
    void LoadFromStream(Stream& stream);
    bool IsZip64() const;
    // Takes from the zip64 end record only the values whose classic field
    // is at its maximum.
    void LoadZip64FromStream(Stream& stream);
    // The zip64 end record and locator when needed, then the end record.
    // A zip64Offset of -1 means the stream position.
    void SaveToStream(Stream& stream, int64_t zip64Offset) const;
};

// The locator at the stream position; false (position unchanged) when the
// signature is not there.
bool ReadZip64Locator(Stream& stream, TArcZip64Locator& locator);

struct TArcZipDataDescriptor {
    uint32_t CRC32 = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    void SaveToStream(Stream& stream) const;
};

class TArcZipItem : public TArcArchiveItem {
public:
    TArcZipItem() = default;

    TArcZipDirectoryFileHeader& CentralHeader() { return central_; }
    const TArcZipDirectoryFileHeader& CentralHeader() const { return central_; }
    TArcExtraField& LocalExtraField() { return localExtra_; }

    uint8_t CompressionMethod() const { return central_.CompressionMethod(); }
    void SetCompressionMethod(uint8_t method);
    uint16_t GeneralPurposeBitFlag() const { return central_.GeneralPurposeBitFlag; }
    void SetGeneralPurposeBitFlag(uint16_t flags);
    uint16_t VersionMadeBy() const { return central_.VersionMadeBy; }
    void SetVersionMadeBy(uint16_t value) { central_.VersionMadeBy = value; }
    uint16_t VersionNeededToExtract() const { return central_.VersionNeededToExtract; }
    void SetVersionNeededToExtract(uint16_t value) { central_.VersionNeededToExtract = value; }
    uint8_t HostSystem() const { return static_cast<uint8_t>(central_.VersionMadeBy >> 8); }
    void SetHostSystem(uint8_t host) { central_.VersionMadeBy = static_cast<uint16_t>(host << 8); }
    uint16_t InternalFileAttributes() const { return central_.InternalFileAttributes; }
    void SetInternalFileAttributes(uint16_t value) { central_.InternalFileAttributes = value; }
    const QByteArray& RawFileName() const { return central_.FileName; }
    int ImplodeDictionarySize() const { return central_.ImplodeDictionarySize(); }
    int ImplodeTreeCount() const { return central_.ImplodeTreeCount(); }

    uint64_t RelativeOffset() const { return relativeOffset_; }
    void SetRelativeOffset(uint64_t value);
    uint32_t DiskNumberStart() const { return diskNumberStart_; }
    void SetDiskNumberStart(uint32_t value);
    // Loaded from an archive or written by a save: old data exists that a
    // failed replacement can fall back on.
    bool HasStoredData = false;

    // TArcArchiveItem
    uint32_t GetCRC32() const override { return central_.CRC32; }
    uint32_t GetExternalFileAttributes() const override { return central_.ExternalFileAttributes; }
    bool GetIsDirectory() const override;
    bool GetIsEncrypted() const override { return central_.IsEncrypted(); }
    uint16_t GetLastModFileDate() const override { return central_.LastModFileDate; }
    uint16_t GetLastModFileTime() const override { return central_.LastModFileTime; }
    int32_t GetNativeFileAttributes() const override;
    void SetCompressedSize(uint64_t value) override;
    void SetCRC32(uint32_t value) override { central_.CRC32 = value; }
    void SetExternalFileAttributes(uint32_t value) override { central_.ExternalFileAttributes = value; }
    void SetFileName(const QString& value) override;
    void SetIsEncrypted(bool value) override;
    void SetLastModFileDate(uint16_t value) override { central_.LastModFileDate = value; }
    void SetLastModFileTime(uint16_t value) override { central_.LastModFileTime = value; }
    void SetUncompressedSize(uint64_t value) override;

    // Reads one central header and sets the item up from it.
    void LoadFromStream(Stream& stream);
    void SaveLocalHeader(Stream& stream);
    void SaveCentralHeader(Stream& stream) const { central_.SaveToStream(stream); }
    void SaveDataDescriptor(Stream& stream) const;
    // The local header SaveLocalHeader writes, for callers that must know
    // its size first.
    void BuildLocalHeader(TArcZipLocalFileHeader& header);

    // Everything a save may change on the way, to put back when it fails.
    struct Snapshot {
        QByteArray Central;
        QByteArray LocalExtra;
        uint64_t Compressed = 0, Uncompressed = 0, Offset = 0;
        uint32_t Disk = 0;
    };
    Snapshot TakeSnapshot() const;
    void RestoreSnapshot(const Snapshot& snapshot);

private:
    void rebuildZip64Field();
    void recomputeVersions();

    TArcZipDirectoryFileHeader central_;
    TArcExtraField localExtra_;
    uint64_t relativeOffset_ = 0;
    uint32_t diskNumberStart_ = 0;
};

// The position of the end record (the stream is left there), or -1 (the
// stream position restored). Only the last 65,557 bytes are searched.
int64_t FindCentralDirectoryTail(Stream& stream);
// ArcUnknown, ArcZip or ArcSpannedZip; the position is restored.
TArchiveType VerifyZip(Stream& stream);
// ArcSelfExtractingZip or ArcUnknown; the position is restored.
TArchiveType VerifySelfExtractingZip(Stream& stream);

// Little-endian helpers shared by the zip units.
inline uint16_t ZipGet16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ZipGet32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t ZipGet64(const uint8_t* p) {
    return ZipGet32(p) | (static_cast<uint64_t>(ZipGet32(p + 4)) << 32);
}
void ZipPut16(QByteArray& out, uint16_t v);
void ZipPut32(QByteArray& out, uint32_t v);
void ZipPut64(QByteArray& out, uint64_t v);

}  // namespace tandex::archive
