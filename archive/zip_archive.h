#pragma once
// The zip archive: reads the central directory of a plain,
// self-extracting, split or spanned zip into zip items, and writes the
// whole archive anew on every save.
//
// A save copies unchanged entries byte for byte from the old stream and
// compresses new or replaced ones through the insertion hooks into
// scratch streams first. The old content stays untouched until everything
// is written: an archive opened by file name is rebuilt in a new file
// beside it that is renamed over it, any other stream gets the result
// copied in at the end. Compression, extraction and testing are hooks
// that the component installs; the archive itself only moves records.

#include "archive/archive_base.h"
#include "archive/zip_records.h"
#include "archive/zip_spans.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tandex::archive {

enum TArcZipSupportedMethod : uint8_t { smStored = 0, smDeflated = 1, smBestMethod = 2 };
enum TArcZipDeflationOption : uint8_t {
    doInvalid = 0,
    doNormal = 1,
    doMaximum = 2,
    doFast = 3,
    doSuperFast = 4,
};

class TArcZipArchive;

using TArcZipExtractHelper = std::function<void(TArcZipItem& item, const QString& targetName)>;
using TArcZipExtractToStreamHelper = std::function<void(TArcZipItem& item, Stream& target)>;
using TArcZipTestHelper = std::function<void(TArcZipItem& item)>;
using TArcZipInsertHelper = std::function<void(TArcZipItem& item, Stream& output)>;
using TArcZipInsertFromStreamHelper =
    std::function<void(TArcZipItem& item, Stream& output, Stream& source)>;
using TArcRequestDiskEvent = std::function<void(TArcArchive& sender, bool& abort)>;
// Asked for a password with the current one; an empty answer gives up.
using TArcNeedPasswordEvent = std::function<void(TArcArchive& sender, QByteArray& newPassword)>;
using TArcRequestNthDiskEvent =
    std::function<void(TArcArchive& sender, int diskNumber, bool& abort)>;

class TArcZipArchive : public TArcArchive {
public:
    TArcZipArchive(const QString& fileName, uint16_t mode);
    TArcZipArchive(Stream* stream, const QString& archiveName);

    TArcZipSupportedMethod CompressionMethodToUse = smBestMethod;
    TArcZipDeflationOption DeflationOption = doNormal;
    // The stream began with an executable stub when it was loaded.
    bool IsExecutable = false;
    // The length of the stub a save keeps.
    uint32_t StubSize = 0;
    // Loaded from, or saved into, more than one volume.
    bool Spanned = false;
    QByteArray Password;
    uint8_t PasswordRetries = 3;

    TArcZipExtractHelper ExtractHelper;
    TArcZipExtractToStreamHelper ExtractToStreamHelper;
    TArcZipTestHelper TestHelper;
    TArcZipInsertHelper InsertHelper;
    TArcZipInsertFromStreamHelper InsertFromStreamHelper;

    // May run on the thread that saves the archive: it touches no widget.
    TArcNeedPasswordEvent OnNeedPassword;
    TArcRequestDiskEvent OnRequestLastDisk;
    TArcRequestNthDiskEvent OnRequestNthDisk;
    TArcRequestDiskEvent OnRequestBlankDisk;

    TArcZipDirectoryFileFooter& Footer() { return footer_; }
    TArcZipItem* ZipItem(int index) const;
    // The comment is stored in 16 bits: longer text is cut.
    void SetZipfileComment(const QByteArray& comment);
    // Whether the item's stored bytes, up to dataEnd (where its data ends by
    // its own local header), share any byte with another entry's local
    // header or data. Such entries are damage, never a way to save room:
    // overlapping entries let a small archive unpack to any size.
    bool DataOverlapsAnother(const TArcZipItem& item, uint64_t dataEnd);

    // TArcArchive
    std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileSpec) override;
    void ExtractItemAt(int index, const QString& useName) override;
    void ExtractItemToStreamAt(int index, Stream& stream) override;
    void LoadArchive() override;
    void SaveArchive() override;
    void TestItemAt(int index) override;
    QString FixName(const QString& value) override;
    bool CanStoreFolders() const override { return true; }
    void RequestSpanImage(void* sender, int32_t imageNumber, QString& imageName,
                          bool& abort) override;

    // Disk requests; without a handler the user is asked.
    virtual void DoRequestLastDisk(bool& abort);
    virtual void DoRequestNthDisk(int diskNumber, bool& abort);
    virtual void DoRequestBlankDisk(bool& abort);

private:
    struct SaveTarget;

    void init();
    int64_t prefixLength(Stream& stream, int64_t directoryEnd);
    void loadDirectory(Stream& stream, int64_t streamSize, int64_t shift);
    void saveItems(SaveTarget& target);
    void copyKeptItem(TArcZipItem& item, SaveTarget& target);
    void insertItem(TArcZipItem& item, SaveTarget& target);
    void placeLocalHeader(TArcZipItem& item, SaveTarget& target);
    void saveDirectory(SaveTarget& target);
    void commit(SaveTarget& target);
    void reportSaveProgress(int progress);
    void wireSpanStream(TArcSpanReadStream& span);

    TArcZipDirectoryFileFooter footer_;

    // Where the entries lie in the stream as loaded or last saved, sorted;
    // built on the first overlap question.
    struct Extent {
        uint32_t disk = 0;
        uint64_t start = 0;  // the local header
        uint64_t end = 0;    // at least where the data ends
    };
    void buildExtents();
    std::vector<Extent> extents_;
    std::vector<uint64_t> reachBefore_;  // the farthest end of the extents before each
    bool extentsBuilt_ = false;
};

}  // namespace tandex::archive
