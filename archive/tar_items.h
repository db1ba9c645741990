#pragma once
// Tar header blocks and the tar archive item.
//
// A member is a run of 512-byte header blocks (GNU long-name and long-link
// blocks, pax and Solaris extended headers with their data, the main header
// last) followed by its data. The item keeps every header block exactly as
// read and writes changes straight back into them, so a member saves byte
// for byte with only its checksums recomputed.

#include "archive/archive_items.h"
#include "archive/archive_types.h"
#include "archive/streams.h"

#include <QByteArray>
#include <QString>
#include "archive/archive_types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace tandex::archive {

enum TTarFormat : uint8_t {
    tfUnknown = 0,
    tfOld = 1,
    tfGnu = 2,
    tfUstar = 4,
    tfPax = 6,
};

constexpr int64_t kTarBlockSize = 512;
// Extended-header data beyond this makes the member unhandled: nothing a
// header says may make a listing read unbounded amounts into memory.
constexpr int64_t kTarMaxExtraData = 1 << 20;

using TTarBlock = std::array<uint8_t, kTarBlockSize>;

// Single header blocks and tar items come from a pool that hands out large
// chunks the kernel may back with huge pages: a listing keeps one of each
// per member, and faulting in their memory a page at a time cost more than
// reading the headers.
void* AllocateTarBlock();
void ReleaseTarBlock(void* block);
void* AllocateTarItem(size_t size);
void ReleaseTarItem(void* item, size_t size);

template <typename T>
struct TTarBlockAllocator {
    using value_type = T;
    TTarBlockAllocator() = default;
    template <typename U>
    TTarBlockAllocator(const TTarBlockAllocator<U>&) {}
    T* allocate(size_t n) {
        if constexpr (std::is_same_v<T, TTarBlock>)
            if (n == 1) return static_cast<T*>(AllocateTarBlock());
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) {
        if constexpr (std::is_same_v<T, TTarBlock>)
            if (n == 1) return ReleaseTarBlock(p);
        std::allocator<T>().deallocate(p, n);
    }
    template <typename U>
    bool operator==(const TTarBlockAllocator<U>&) const { return true; }
};

using TTarBlocks = std::vector<TTarBlock, TTarBlockAllocator<TTarBlock>>;

// Header fields (offset, length).
namespace tarfield {
constexpr int Name = 0, NameLen = 100;
constexpr int Mode = 100, ModeLen = 8;
constexpr int Uid = 108, UidLen = 8;
constexpr int Gid = 116, GidLen = 8;
constexpr int Size = 124, SizeLen = 12;
constexpr int MTime = 136, MTimeLen = 12;
constexpr int Checksum = 148, ChecksumLen = 8;
constexpr int TypeFlag = 156;
constexpr int LinkName = 157, LinkNameLen = 100;
constexpr int Magic = 257, MagicLen = 6;
constexpr int Version = 263, VersionLen = 2;
constexpr int UName = 265, UNameLen = 32;
constexpr int GName = 297, GNameLen = 32;
constexpr int DevMajor = 329, DevMajorLen = 8;
constexpr int DevMinor = 337, DevMinorLen = 8;
constexpr int Prefix = 345, PrefixLen = 155;
}  // namespace tarfield

// Octal (leading spaces skipped, up to the first non-octal byte) or GNU
// base-256 (first byte 0x80 or 0xFF). A value beyond 63 bits reads as -1.
int64_t ReadTarNumber(const uint8_t* field, int length);
// Octal digits right-aligned after leading spaces, one trailing space when
// there is room. A negative value or one with more digits than the field
// raises EArcTarBadOp.
void WriteTarNumber(uint8_t* field, int length, int64_t value);
// The unsigned sum of the block with its checksum field taken as spaces.
uint32_t TarHeaderSum(const TTarBlock& block);
// Whether the block's stored checksum equals TarHeaderSum.
bool TarChecksumMatches(const TTarBlock& block);
// The one rule for how many data bytes follow a main header: regular,
// contiguous, dump-folder, multi-volume, sparse and volume-label members
// carry data; links, folders, devices and fifos carry none, whatever their
// size field says.
int64_t TarDataSize(uint8_t linkFlag, int64_t sizeField);
// The bytes of data blocks that follow a main header in the archive: those
// of TarDataSize, and for a symbolic link whatever its size field names
// (as GNU tar skips them), which would otherwise be read as headers.
int64_t TarStoredSize(uint8_t linkFlag, int64_t sizeField);
// Whether the type flag introduces an extra header of the next member.
bool IsTarExtraHeader(uint8_t linkFlag);

struct TArcTarItemRec {
    QString FullName;
    uint32_t Mode = 0;
    int32_t UserID = 0;
    int32_t GroupID = 0;
    int64_t Size = 0;
    int64_t ModTime = 0;
    bool ChecksumOK = false;
    uint8_t LinkFlag = 0;
    uint8_t ItemType = 0;  // 0 supported, 1 listed only, 2 unsupported
    QString LinkName;
    QByteArray Magic;
    int32_t HeaderVersion = 0;
    QString UserName;
    QString GroupName;
    int32_t DevMajor = 0;
    int32_t DevMinor = 0;
    TTarFormat Format = tfUnknown;
    int64_t HeaderPosition = 0;
    bool Dirty = true;
    bool ReadOnly = false;
    int32_t HeaderCount = 1;
};

enum TTarBlockKind : uint8_t {
    tbkMainHeader = 0,
    tbkExtraHeader = 1,
    tbkExtraData = 2,
    tbkUnknownHeader = 3,
};

class TArcTarItem : public TArcArchiveItem {
public:
    TArcTarItem();

    static void* operator new(size_t size) { return AllocateTarItem(size); }
    static void operator delete(void* item, size_t size) { ReleaseTarItem(item, size); }

    TTarBlocks Blocks;
    std::vector<uint8_t> BlockKinds;
    TArcTarItemRec Rec;

    TTarBlock& MainHeader() { return Blocks.back(); }
    const TTarBlock& MainHeader() const { return Blocks.back(); }
    // The bytes of data that follow the header blocks.
    int64_t DataSize() const { return TarDataSize(Rec.LinkFlag, Rec.Size); }
    // The bytes the header blocks are followed by in the archive.
    int64_t StoredSize() const { return TarStoredSize(Rec.LinkFlag, Rec.Size); }

    uint64_t GetCompressedSize() const override { return uint64_t(Rec.Size); }
    uint32_t GetExternalFileAttributes() const override { return Rec.Mode; }
    QString GetFileName() const override { return Rec.FullName; }
    bool GetIsDirectory() const override { return Rec.LinkFlag == '5'; }
    bool GetIsEncrypted() const override { return false; }
    uint16_t GetLastModFileDate() const override;
    uint16_t GetLastModFileTime() const override;
    int32_t GetNativeFileAttributes() const override;
    uint64_t GetUncompressedSize() const override { return uint64_t(Rec.Size); }
    void SetCompressedSize(uint64_t value) override { SetUncompressedSize(value); }
    void SetExternalFileAttributes(uint32_t value) override;
    void SetFileName(const QString& value) override;
    void SetIsEncrypted(bool) override {}
    // Keeps the item's own time of day.
    void SetLastModFileDate(uint16_t value) override;
    // Keeps the item's own date.
    void SetLastModFileTime(uint16_t value) override;
    void SetUncompressedSize(uint64_t value) override;
    TDateTime GetLastModTimeAsDateTime() const override;
    void SetLastModTimeAsDateTime(TDateTime value) override;

    // Unix seconds, as the mtime field holds them.
    void SetModTime(int64_t seconds);
    void SetUserID(int32_t value);
    void SetGroupID(int32_t value);
    void SetUserName(const QString& value);
    void SetGroupName(const QString& value);
    void SetDevMajor(int32_t value);
    void SetDevMinor(int32_t value);
    void SetLinkFlag(uint8_t value);
    // The six magic bytes plus the two version bytes.
    void SetMagic(const QByteArray& eightBytes);

    // Reads the member's header blocks from the stream's position and
    // moves the stream back to where they start.
    void LoadTarHeaderFromStream(Stream& stream);
    void SaveTarHeaderToStream(Stream& stream);

private:
    bool writable();
    void parseFields();
    void writeMainNumber(int offset, int length, int64_t value);
    int longNameBlock(uint8_t flag) const;
    QByteArray extraData(int headerIndex) const;
    void setLongName(int headerIndex, const QByteArray& raw);
    void insertLongName(const QByteArray& raw);
    void removeLongName();
    void splitUstarName(const QByteArray& raw);
};

// ArcTar when a tar header with a matching checksum starts at the stream's
// position, else 0; the position is kept.
int32_t VerifyTar(Stream& stream);

}  // namespace tandex::archive
