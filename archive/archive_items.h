#pragma once
// The items of an archive and the list that holds them.
//
// An item knows what every format stores (name, sizes, CRC, attributes, DOS
// date and time, encryption) and the action pending on it until the next
// save. Formats derive their own items and override the accessors through
// which they keep these values in their own header fields; every access goes
// through the virtual accessors, so such an override is complete. The list
// keeps the items of one archive in order and, when it owns them, finds them
// by name through a hash table.

#include "archive/archive_utils.h"
#include "archive/streams.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tandex::archive {

enum TArchiveItemAction : uint8_t {
    iaFailed = 0,
    iaNone = 1,
    iaAdd = 2,
    iaDelete = 3,
    iaFreshen = 4,
    iaMove = 5,
    iaReplace = 6,
    iaStreamAdd = 7,
};

class TArcArchiveItem {
public:
    TArcArchiveItem() = default;
    TArcArchiveItem(const TArcArchiveItem&) = delete;
    TArcArchiveItem& operator=(const TArcArchiveItem&) = delete;
    virtual ~TArcArchiveItem() = default;

    TArchiveItemAction Action = iaNone;
    // The file on disk the item is added from, freshened from or extracted to.
    QString DiskFileName;
    // The stream an iaStreamAdd item is read from. Shared: whoever handed it
    // in may keep it, and a save that is deferred still finds it alive.
    std::shared_ptr<Stream> SourceStream;

    virtual uint64_t GetCompressedSize() const { return CompressedSize; }
    virtual uint32_t GetCRC32() const { return CRC32; }
    virtual uint32_t GetExternalFileAttributes() const { return ExternalFileAttributes; }
    virtual QString GetFileName() const { return FileName; }
    virtual bool GetIsDirectory() const { return false; }
    virtual bool GetIsEncrypted() const { return IsEncrypted; }
    virtual uint16_t GetLastModFileDate() const { return LastModFileDate; }
    virtual uint16_t GetLastModFileTime() const { return LastModFileTime; }
    virtual int32_t GetNativeFileAttributes() const { return GetIsDirectory() ? faDirectory : 0; }
    virtual uint64_t GetUncompressedSize() const { return UncompressedSize; }
    virtual void SetCompressedSize(uint64_t value) { CompressedSize = value; }
    virtual void SetCRC32(uint32_t value) { CRC32 = value; }
    virtual void SetExternalFileAttributes(uint32_t value) { ExternalFileAttributes = value; }
    virtual void SetFileName(const QString& value) { FileName = value; }
    virtual void SetIsEncrypted(bool value) { IsEncrypted = value; }
    virtual void SetLastModFileDate(uint16_t value) { LastModFileDate = value; }
    virtual void SetLastModFileTime(uint16_t value) { LastModFileTime = value; }
    virtual void SetUncompressedSize(uint64_t value) { UncompressedSize = value; }
    virtual TDateTime GetLastModTimeAsDateTime() const;
    virtual void SetLastModTimeAsDateTime(TDateTime value);

protected:
    uint64_t CompressedSize = 0;
    uint32_t CRC32 = 0;
    uint32_t ExternalFileAttributes = 0;
    QString FileName;
    bool IsEncrypted = false;
    uint16_t LastModFileTime = 0;
    uint16_t LastModFileDate = 0;
    uint64_t UncompressedSize = 0;

private:
    friend class TArcArchiveList;
    TArcArchiveItem* NextInBucket = nullptr;  // chain of one hash bucket
    int listIndex_ = -1;                      // entry index in an owning list
};

class TArcArchiveList {
public:
    static constexpr int kBucketCount = 1021;

    explicit TArcArchiveList(bool ownsItems);
    TArcArchiveList(const TArcArchiveList&) = delete;
    TArcArchiveList& operator=(const TArcArchiveList&) = delete;
    ~TArcArchiveList();

    bool OwnsItems() const { return ownsItems_; }
    // An owning list takes the item; the index of the new entry.
    int Add(std::unique_ptr<TArcArchiveItem> item);
    // A list that does not own its items refers to the item only.
    int AddReference(TArcArchiveItem* item);
    int Count() const { return static_cast<int>(items_.size()); }
    TArcArchiveItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    int IndexOf(const TArcArchiveItem* item) const;
    // The first item with the name (ASCII letters compare case-blind); -1.
    int Find(const QString& name) const;
    // Whether an item with the name exists that is not marked iaDelete.
    bool IsActiveDupe(const QString& name) const;
    // The index of that item, or -1.
    int FindActive(const QString& name) const;
    void Delete(int index);
    // After an item's name changed: rehash it under the new name.
    void UpdateName(TArcArchiveItem* item, const QString& oldName);
    void Clear();

    static int BucketOf(const QString& name);
    static bool SameName(const QString& a, const QString& b);

private:
    void link(TArcArchiveItem* item, int bucket);
    void unlink(TArcArchiveItem* item, int bucket);
    void renumberFrom(int index);

    bool ownsItems_;
    std::vector<TArcArchiveItem*> items_;
    std::array<TArcArchiveItem*, kBucketCount> buckets_{};
};

}  // namespace tandex::archive
