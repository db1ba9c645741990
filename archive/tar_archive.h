#pragma once
// Tar archives: listing through the header walk, extraction of a member's
// data, and saves that assemble a complete new tar stream in a spill
// stream before it replaces the old content.
//
// A member with pax or Solaris extended headers makes the whole archive
// read-only for the life of the object: its records are not interpreted,
// so rewriting the archive could change what they describe.

#include "archive/archive_base.h"
#include "archive/tar_items.h"

namespace tandex::archive {

class TArcTarStreamHelper : public TArcArchiveStreamHelper {
public:
    explicit TArcTarStreamHelper(Stream* stream);

    TTarBlock HeaderBuffer{};
    int64_t ItemSize = 0;      // data bytes of the member found last
    int64_t StoredSize = 0;    // the bytes of blocks behind its header
    int32_t HeaderBlocks = 0;  // its header blocks, extra headers included

    // With the stream at the member's data: copies ItemSize bytes, then
    // moves back to the member's first header block.
    void ExtractItemData(Stream& toStream) override;
    bool FindFirstItem() override;
    bool FindNextItem() override;
    void ReadHeader() override {}
    void ReadTail() override {}
    bool SeekItem(int index) override;
    void WriteArchiveHeader() override {}
    void WriteArchiveItem(Stream& source) override;
    // size bytes from the source's position, zero-padded to whole blocks.
    void WriteArchiveItemSize(Stream& source, int64_t size);
    void WriteArchiveTail() override;
    int32_t GetItemCount() override;

private:
    bool findMember();
};

class TArcTarArchive : public TArcArchive {
public:
    TArcTarArchive(const QString& fileName, uint16_t mode);
    TArcTarArchive(Stream* stream, const QString& archiveName);

    bool ReadOnly = false;
    TTarFormat ArchiveFormat = tfOld;

    std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileName) override;
    // Writes a new file beside the target and renames it over the target
    // only when the whole member was copied.
    void ExtractItemAt(int index, const QString& fileName) override;
    void ExtractItemToStreamAt(int index, Stream& stream) override;
    void LoadArchive() override;
    // An archive opened by file name is written to a new file beside it
    // that replaces it (permission bits kept) only when complete.
    void SaveArchive() override;
    void TestItemAt(int index) override;
    QString FixName(const QString& value) override;
    bool CanStoreFolders() const override { return true; }

    TArcTarItem* TarItem(int index) const;

private:
    TArcTarItem* checkedMember(int index) const;
    // Raises the tar error when the member's data does not lie inside the file.
    void checkDataInside(const TArcTarItem& item);
    void addFromDisk(TArcTarItem* item, TArcTarStreamHelper& helper, Stream& out);
    void addFromStream(TArcTarItem* item, TArcTarStreamHelper& helper, Stream& out);
    void replaceContent(Stream& built);
};

}  // namespace tandex::archive
