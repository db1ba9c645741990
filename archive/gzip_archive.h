#pragma once
// Gzip files as archives: one item, or, for a gzipped tar, the tar archive
// inside, served from a decompressed copy.
//
// TArcPackedArchive is what the gzip and bzip2 archives share: a packed
// stream and a tar stream, of which one is current at a time, and the
// safe replacement of the packed content. Tar mode (the detected type is a
// packed tar and the owner's tar switch is on) makes the tar stream and its
// items current, so the tar archive's own operations run on them.
//
// Extraction and testing read every member of a multi-member gzip file, as
// gzip -d does, and check each member against its own trailer; the listing
// shows one item.

#include "archive/archive_types.h"
#include "archive/extra_field.h"
#include "archive/spill_streams.h"
#include "archive/tar_archive.h"

#include <QByteArray>
#include <memory>

namespace tandex::archive {

class TArcPackedArchive : public TArcTarArchive {
public:
    TArcPackedArchive(const QString& fileName, uint16_t mode);
    TArcPackedArchive(Stream* stream, const QString& archiveName);

    // The detected type was a packed tar.
    bool TarFlag = false;
    bool TarSwitch() const { return tarSwitch_; }
    // Switches at once: pending changes are saved first, then the archive
    // lists anew in its new mode.
    void SetTarSwitch(bool value);
    bool TarMode() const { return TarFlag && tarSwitch_; }
    bool CanStoreFolders() const override { return TarMode(); }
    void Load() override;
    void RequestSpanImage(void* sender, int32_t imageNumber, QString& imageName,
                          bool& abort) override;

protected:
    Stream& PackedStream() { return *packed_; }
    TArcVirtualMemoryStream& TarStream();
    void SwitchToTar();
    void SwitchToPacked();
    bool TarIsCurrent() const { return tarCurrent_; }
    // The packed content becomes the built stream's: an archive opened by
    // file name through a new file renamed over it, so a failure leaves the
    // old archive whole.
    void ReplacePackedContent(Stream& built);
    // Removes iaDelete items and settles the others after a save.
    void SettleActions();

private:
    std::unique_ptr<Stream> packedOwned_;
    Stream* packed_ = nullptr;
    QString packedFileName_;
    std::unique_ptr<TArcVirtualMemoryStream> tar_;
    bool tarSwitch_ = false;
    bool tarCurrent_ = false;
    bool loaded_ = false;
};

class TArcGzipItem;

class TArcGzipExtraField : public TArcExtraField {
public:
    explicit TArcGzipExtraField(TArcGzipItem& owner) : owner_(owner) {}

protected:
    void Changed() override;

private:
    TArcGzipItem& owner_;
};

// Gzip member header flag bits.
constexpr uint8_t kGzipText = 0x01;
constexpr uint8_t kGzipHeaderCrc = 0x02;
constexpr uint8_t kGzipExtra = 0x04;
constexpr uint8_t kGzipName = 0x08;
constexpr uint8_t kGzipComment = 0x10;

class TArcGzipItem : public TArcArchiveItem {
public:
    TArcGzipItem();

    // ID1, ID2, method, flags, modification time (4), extra flags, OS.
    std::array<uint8_t, 10> Header{};
    QByteArray RawName;
    QByteArray Comment;
    TArcGzipExtraField ExtraField{*this};
    // Where the member's data starts and where the copy of the member (and
    // any member after it) ends in the current stream; -1 before saving.
    int64_t DataOffset = -1;
    int64_t DataEnd = -1;

    uint8_t Flags() const { return Header[3]; }
    void SetFlags(uint8_t value) { Header[3] = value; }
    uint32_t ModTime() const;
    void SetModTime(uint32_t seconds);

    uint32_t GetExternalFileAttributes() const override { return 0; }
    bool GetIsEncrypted() const override { return (Flags() & 0x20) != 0; }
    uint16_t GetLastModFileDate() const override;
    uint16_t GetLastModFileTime() const override;
    void SetExternalFileAttributes(uint32_t) override {}
    void SetFileName(const QString& value) override;
    void SetIsEncrypted(bool) override {}
    void SetLastModFileDate(uint16_t value) override;
    void SetLastModFileTime(uint16_t value) override;
    TDateTime GetLastModTimeAsDateTime() const override;
    void SetLastModTimeAsDateTime(TDateTime value) override;

    // From the stream's position. False (nothing more read) when the bytes
    // there do not begin a deflated gzip member; EArcGzipInvalid for a name
    // or comment without its terminating zero.
    bool LoadGzipHeaderFromStream(Stream& stream);
    void SaveGzipHeaderToStream(Stream& stream) const;
};

class TArcGzipStreamHelper : public TArcArchiveStreamHelper {
public:
    explicit TArcGzipStreamHelper(Stream* stream);

    TArcGzipItem Item;
    uint32_t TrailerCrc = 0;
    uint32_t TrailerSize = 0;

    // Every member from the start, each checked against its trailer
    // ("Bad CRC", "Bad File Size").
    void ExtractItemData(Stream& target) override;
    bool FindFirstItem() override;
    bool FindNextItem() override { return false; }
    void ReadHeader() override;
    void ReadTail() override;
    bool SeekItem(int index) override;
    void WriteArchiveHeader() override;
    void WriteArchiveItem(Stream& source) override;
    void WriteArchiveTail() override;
    int32_t GetItemCount() override { return 1; }
};

// ArcUnknown, ArcGzip or ArcGzippedTar; the position is restored.
int32_t VerifyGzip(Stream& stream);

class TArcGzipArchive : public TArcPackedArchive {
public:
    TArcGzipArchive(const QString& fileName, uint16_t mode);
    TArcGzipArchive(Stream* stream, const QString& archiveName);

    std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileName) override;
    void ExtractItemAt(int index, const QString& fileName) override;
    void ExtractItemToStreamAt(int index, Stream& stream) override;
    void LoadArchive() override;
    void SaveArchive() override;
    void TestItemAt(int index) override;
    QString FixName(const QString& value) override;

    TArcGzipItem* GzipItem(int index) const;

private:
    void saveGzipItems(Stream& built);
    void writeMember(TArcGzipItem& item, Stream& source, Stream& out);
    // The gzip item that carries the header of a tar-mode save.
    std::unique_ptr<TArcGzipItem> tarHeader_;
};

}  // namespace tandex::archive
