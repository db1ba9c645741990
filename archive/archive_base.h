#pragma once
// The abstract archive: one archive file or stream, its item list, the
// options that shape stored names, the events through which the owner
// confirms, follows and vetoes work, and the optional log file.
//
// Editing never rewrites the archive directly: operations mark items with a
// pending action (add, delete, freshen, replace, move, add from a stream)
// and the format's SaveArchive later rewrites the archive from the marked
// list. Formats derive from TArcArchive and supply the abstract operations.

#include "archive/archive_errors.h"
#include "archive/archive_items.h"
#include "archive/streams.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace tandex::archive {

enum TArchiveStatus : uint8_t {
    StatusInvalid = 0,  // must not be used: a load or an extraction was aborted
    StatusIdle = 1,
};

enum TArcStoreOption : uint8_t {
    soStripDrive = 0x01,
    soStripPath = 0x02,
    soRemoveDots = 0x04,
    soRecurse = 0x08,
    soFreshen = 0x10,
    soReplace = 0x20,
};
using TArcStoreOptions = uint8_t;

enum TArcExtractOption : uint8_t {
    eoCreateDirs = 0x01,
    eoRestorePath = 0x02,
};
using TArcExtractOptions = uint8_t;

class TArcArchive;

using TArcArchiveEvent = std::function<void(TArcArchive& sender)>;
using TArcArchiveConfirmEvent = std::function<void(TArcArchive& sender, bool& confirm)>;
using TArcArchiveProgressEvent =
    std::function<void(TArcArchive& sender, uint8_t progress, bool& abort)>;
using TArcArchiveItemConfirmEvent = std::function<void(TArcArchive& sender, TArcArchiveItem* item,
                                                       TArcProcessType processType, bool& confirm)>;
using TArcConfirmOverwriteEvent = std::function<void(QString& name, bool& confirm)>;
using TArcArchiveItemFailureEvent =
    std::function<void(TArcArchive& sender, TArcArchiveItem* item, TArcProcessType processType,
                       TArcErrorClass errorClass, int32_t errorCode)>;
using TArcArchiveItemProgressEvent =
    std::function<void(TArcArchive& sender, TArcArchiveItem* item, uint8_t progress, bool& abort)>;
using TArcRequestImageEvent =
    std::function<void(TArcArchive& sender, int32_t imageNumber, QString& imageName, bool& abort)>;

class TArcArchive {
public:
    // Opens (or with fmCreate creates) the file and owns the stream.
    TArcArchive(const QString& fileName, uint16_t mode);
    // Works on a stream the caller keeps owning.
    TArcArchive(Stream* stream, const QString& archiveName);
    TArcArchive(const TArcArchive&) = delete;
    TArcArchive& operator=(const TArcArchive&) = delete;
    virtual ~TArcArchive();

    // Public state ----------------------------------------------------------
    TArchiveStatus Status = StatusIdle;
    int32_t Tag = 0;
    QString ArchiveName;
    bool AutoSave = false;
    TArcArchiveItem* CurrentItem = nullptr;
    bool DOSMode = false;
    TArcStoreOptions StoreOptions = 0;
    // The stream being added by AddFromStream, only while its save runs.
    Stream* InStream = nullptr;
    bool IsDirty = false;
    uint16_t Mode = 0;
    TArcExtractOptions ExtractOptions = 0;
    QString TempDirectory;

    TArcArchiveItemFailureEvent OnProcessItemFailure;
    TArcArchiveProgressEvent OnArchiveProgress;
    TArcArchiveProgressEvent OnArchiveSaveProgress;
    TArcArchiveItemProgressEvent OnArchiveItemProgress;
    TArcArchiveItemConfirmEvent OnConfirmProcessItem;
    TArcConfirmOverwriteEvent OnConfirmOverwrite;
    TArcArchiveConfirmEvent OnConfirmSave;
    TArcArchiveEvent OnLoad;
    TArcArchiveProgressEvent OnProgress;  // starts as this archive's DoProgress
    TArcRequestImageEvent OnRequestImage;
    TArcArchiveEvent OnSave;

    Stream* GetStream() const { return stream_; }
    bool OwnsStream() const { return ownedStream_ != nullptr; }
    TArcArchiveList& ItemList() { return itemList_; }
    const TArcArchiveList& ItemList() const { return itemList_; }
    // Created anew (fmCreate) or loaded from an empty stream, and not saved
    // since: the only case in which an untouched archive without items is
    // still written on save.
    bool IsNewArchive() const { return isNew_; }
    const QString& BaseDirectory() const { return baseDirectory_; }
    void SetBaseDirectory(const QString& value);
    const QString& LogFile() const { return logFile_; }
    void SetLogFile(const QString& value) { logFile_ = value; }
    bool Logging() const { return logging_; }
    void SetLogging(bool value);

    // Format operations -------------------------------------------------------
    virtual std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileSpec) = 0;
    virtual void ExtractItemAt(int index, const QString& useName) = 0;
    virtual void ExtractItemToStreamAt(int index, Stream& stream) = 0;
    virtual void LoadArchive() = 0;
    virtual void SaveArchive() = 0;
    virtual void TestItemAt(int index) = 0;

    // Event dispatch ----------------------------------------------------------
    virtual void DoProcessItemFailure(TArcArchiveItem* item, TArcProcessType processType,
                                      TArcErrorClass errorClass, int32_t errorCode);
    virtual void DoArchiveSaveProgress(uint8_t progress, bool& abort);
    virtual void DoArchiveProgress(uint8_t progress, bool& abort);
    virtual void DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort);
    virtual void DoConfirmOverwrite(QString& name, bool& confirm);
    virtual void DoConfirmProcessItem(TArcArchiveItem* item, TArcProcessType processType,
                                      bool& confirm);
    virtual void DoConfirmSave(bool& confirm);
    virtual void DoLoad();
    virtual void DoProgress(uint8_t progress, bool& abort);
    virtual void DoSave();
    virtual QString FixName(const QString& value);
    virtual int64_t GetSpanningThreshold() const { return spanningThreshold_; }
    virtual bool CanStoreFolders() const { return false; }
    virtual void SetSpanningThreshold(int64_t value) { spanningThreshold_ = value; }

    // The edit cycle ----------------------------------------------------------
    virtual void Add(std::unique_ptr<TArcArchiveItem> item);
    virtual void Load();
    virtual void Move(TArcArchiveItem* item, const QString& newName);
    virtual void SaveIfChanged();
    // Progress hooks of the deflate engine: raise EArcAbortProgress when the
    // owner asks to stop.
    virtual void DoInflateProgress(int percent);
    virtual void DoDeflateProgress(int percent);
    virtual void RequestSpanImage(void* sender, int32_t imageNumber, QString& imageName,
                                  bool& abort);

    void CheckValid() const;
    int GetCount() const { return itemList_.Count(); }
    int FindFile(const QString& name) const { return itemList_.Find(name); }
    int FindItem(const TArcArchiveItem* item) const { return itemList_.Find(item->GetFileName()); }
    // Marks the stream's data for adding and saves at once, whatever
    // AutoSave says. A failed save undoes the mark before the error passes.
    void AddFromStream(const QString& name, std::shared_ptr<Stream> stream);
    void DeleteAt(int index);
    // Never raises for the extraction itself: failures go to the failure
    // event.
    void ExtractToStream(const QString& name, Stream& stream);
    void Freshen(TArcArchiveItem* item);
    void FreshenAt(int index);
    void Replace(TArcArchiveItem* item);
    void ReplaceAt(int index);
    // Saves first when the item has a pending action, so operations never
    // stack. Returns the item's index afterwards, -1 when the save removed
    // it.
    int SaveIfNotNone(TArcArchiveItem* item);
    void MakeFullNames(TArcArchiveItem* item);
    bool FreshenRequired(TArcArchiveItem* item);
    void MakeLogEntry(const QString& name, int kind);

    // A local name resolved against BaseDirectory when it is relative.
    QString ResolveDiskName(const QString& name) const;

    static constexpr int kLogStarted = -1;  // MakeLogEntry kind of the start entry

protected:
    // Formats that replace their stream (spanned sets, a reopened file).
    void ReplaceStream(std::unique_ptr<Stream> stream);
    void AttachStream(Stream* stream);
    std::unique_ptr<Stream> ReleaseOwnedStream();

private:
    void commonTail(TArcArchiveItem* item, TArchiveItemAction action);
    void classifyAndReport(TArcArchiveItem* item, TArcProcessType processType);
    // The stored item that an update by name acts on (-1 when there is
    // none); an absolute disk name of the caller's item is carried over.
    int IndexForUpdate(TArcArchiveItem* item);

    std::unique_ptr<Stream> ownedStream_;
    Stream* stream_ = nullptr;
    TArcArchiveList itemList_{true};
    std::unique_ptr<FileStream> logStream_;
    QString baseDirectory_;
    QString logFile_;
    bool logging_ = false;
    int64_t spanningThreshold_ = 0;
    bool isNew_ = false;
    bool saveWritten_ = false;  // set once SaveArchive of the running save returned
};

// The reader and writer of a format's raw stream.
class TArcArchiveStreamHelper {
public:
    explicit TArcArchiveStreamHelper(Stream* stream);
    TArcArchiveStreamHelper(const TArcArchiveStreamHelper&) = delete;
    TArcArchiveStreamHelper& operator=(const TArcArchiveStreamHelper&) = delete;
    virtual ~TArcArchiveStreamHelper() = default;

    virtual void ExtractItemData(Stream& toStream) = 0;
    virtual bool FindFirstItem() = 0;
    virtual bool FindNextItem() = 0;
    virtual void ReadHeader() = 0;
    virtual void ReadTail() = 0;
    virtual bool SeekItem(int index) = 0;
    virtual void WriteArchiveHeader() = 0;
    virtual void WriteArchiveItem(Stream& stream) = 0;
    virtual void WriteArchiveTail() = 0;
    virtual int32_t GetItemCount() = 0;

protected:
    Stream* stream_;
};

}  // namespace tandex::archive
