#pragma once
// The archive component the access layer drives: it opens a zip, tar,
// gzip or bzip2 archive by file name or from a stream, lists, extracts,
// adds, deletes and saves, and copies its options and handlers into every
// archive it creates.
//
// The chain of classes follows the roles: the browser base keeps the
// current archive, the options every archive gets, the progress meters and
// the forwarding of archive events; the zip browser opens archives; the
// zipper adds, deletes and saves; the kit extracts. Handlers receive the
// component as sender, except the disk and image requests, which pass the
// archive on. Handlers may run on the access layer's save thread and must
// touch no widget.

#include "archive/archive_base.h"
#include "archive/archive_types.h"
#include "archive/zip_archive.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace tandex::archive {

// A progress display the component tells of progress; not owned.
class IArcProgressMeter {
public:
    virtual ~IArcProgressMeter() = default;
    virtual void DoProgress(uint8_t progress) = 0;
    virtual void Reset() = 0;
};

class TArcBaseComponent {
public:
    virtual ~TArcBaseComponent() = default;
    QString Version() const { return QStringLiteral("5.0"); }
    void SetVersion(const QString&) {}
};

class TArcBaseBrowser : public TArcBaseComponent {
public:
    using TNotifyEvent = std::function<void(TArcBaseBrowser& sender)>;
    using TArcArchiveEvent = std::function<void(TArcBaseBrowser& sender)>;
    using TArcArchiveConfirmEvent = std::function<void(TArcBaseBrowser& sender, bool& confirm)>;
    using TArcArchiveProgressEvent =
        std::function<void(TArcBaseBrowser& sender, uint8_t progress, bool& abort)>;
    using TArcArchiveItemProgressEvent = std::function<void(
        TArcBaseBrowser& sender, TArcArchiveItem* item, uint8_t progress, bool& abort)>;
    using TArcArchiveItemConfirmEvent =
        std::function<void(TArcBaseBrowser& sender, TArcArchiveItem* item,
                           TArcProcessType processType, bool& confirm)>;
    using TArcArchiveItemFailureEvent =
        std::function<void(TArcBaseBrowser& sender, TArcArchiveItem* item,
                           TArcProcessType processType, TArcErrorClass errorClass,
                           int32_t errorCode)>;

    TArcBaseBrowser();
    ~TArcBaseBrowser() override;
    TArcBaseBrowser(const TArcBaseBrowser&) = delete;
    TArcBaseBrowser& operator=(const TArcBaseBrowser&) = delete;

    TArcArchive* Archive() const { return archive_.get(); }
    int GetCount() const { return archive_ ? archive_->GetCount() : 0; }

    IArcProgressMeter* ItemProgressMeter = nullptr;
    IArcProgressMeter* ArchiveProgressMeter = nullptr;
    TArchiveType ArchiveType = ArcUnknown;
    // Open files and streams as ArchiveType without detection.
    bool ForceType = false;

    TArcArchiveProgressEvent OnArchiveProgress;
    TArcArchiveItemProgressEvent OnArchiveItemProgress;
    TNotifyEvent OnChange;
    TArcArchiveItemConfirmEvent OnConfirmProcessItem;
    TArcArchiveEvent OnLoad;
    TArcArchiveItemFailureEvent OnProcessItemFailure;

    const QString& BaseDirectory() const { return baseDirectory_; }
    // Raises EArcNoSuchDirectory (from the open archive) for a missing folder.
    void SetBaseDirectory(const QString& value);
    int32_t SpanningThreshold() const { return spanningThreshold_; }
    void SetSpanningThreshold(int32_t value);
    const QString& LogFile() const { return logFile_; }
    void SetLogFile(const QString& value);
    bool Logging() const { return logging_; }
    void SetLogging(bool value);
    const QString& TempDirectory() const { return tempDirectory_; }
    void SetTempDirectory(const QString& value);
    const TArcRequestImageEvent& OnRequestImage() const { return onRequestImage_; }
    virtual void SetOnRequestImage(TArcRequestImageEvent handler);
    const QString& FileName() const { return fileName_; }
    virtual void SetFileName(const QString& value) = 0;

    virtual void ResetMeters();
    virtual void DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort);
    virtual void DoArchiveProgress(uint8_t progress, bool& abort);
    virtual void DoChange();
    virtual void DoConfirmProcessItem(TArcArchiveItem* item, TArcProcessType processType,
                                      bool& confirm);
    virtual void DoLoad();
    virtual void DoProcessItemFailure(TArcArchiveItem* item, TArcProcessType processType,
                                      TArcErrorClass errorClass, int32_t errorCode);
    // Run right after an archive is created: options and events.
    virtual void InitArchive();

protected:
    std::unique_ptr<TArcArchive> archive_;
    QString fileName_;

private:
    QString baseDirectory_;
    QString logFile_;
    QString tempDirectory_;
    bool logging_ = false;
    int32_t spanningThreshold_ = 0;
    TArcRequestImageEvent onRequestImage_;
};

class TArcCustomZipBrowser : public TArcBaseBrowser {
public:
    // Closes the current archive (its changes saved first; a failure passes
    // on and leaves it open) and opens the stream's archive by its content;
    // nullptr only closes. Fires OnChange in any case once the old one is
    // closed.
    void OpenStream(Stream* stream);
    // Opens existing files only, read-only; a failed save of the previous
    // archive is ignored.
    void SetFileName(const QString& value) override;
    virtual TArcArchiveItem* GetItem(int index) const;
    virtual void SetZipfileComment(const QByteArray&) {}

    const QByteArray& Password() const { return password_; }
    void SetPassword(const QByteArray& value);
    const TArcRequestDiskEvent& OnRequestLastDisk() const { return onRequestLastDisk_; }
    void SetOnRequestLastDisk(TArcRequestDiskEvent handler);
    const TArcRequestNthDiskEvent& OnRequestNthDisk() const { return onRequestNthDisk_; }
    void SetOnRequestNthDisk(TArcRequestNthDiskEvent handler);
    // Gzip and bzip2 archives handle an enclosed tar themselves; off.
    bool PackedTarSwitch = false;

    void InitArchive() override;

protected:
    TArcZipArchive* zipArchive() const { return dynamic_cast<TArcZipArchive*>(archive_.get()); }
    // The archive object of a type over a stream; EArcUnhandledType when
    // the type has none.
    std::unique_ptr<TArcArchive> createOverStream(TArchiveType type, Stream* stream);
    // Over a file; mode 0 opens an existing file read-write, falling back
    // to read-only when writing is refused.
    std::unique_ptr<TArcArchive> createOverFile(TArchiveType type, const QString& name,
                                                bool create);
    void closeArchive(bool ignoreSaveFailure);
    // The archive was opened read-only: changes cannot be saved.
    bool readOnly_ = false;

private:
    QByteArray password_;
    TArcRequestDiskEvent onRequestLastDisk_;
    TArcRequestNthDiskEvent onRequestNthDisk_;
};

class TArcCustomZipper : public TArcCustomZipBrowser {
public:
    TArcCustomZipper();

    TArcArchiveProgressEvent OnArchiveSaveProgress;
    TArcArchiveConfirmEvent OnConfirmSave;
    TArcArchiveEvent OnSave;
    IArcProgressMeter* ArchiveSaveProgressMeter = nullptr;

    bool AutoSave() const { return autoSave_; }
    void SetAutoSave(bool value);
    bool DOSMode() const { return dosMode_; }
    void SetDOSMode(bool value);
    TArcStoreOptions StoreOptions() const { return storeOptions_; }
    void SetStoreOptions(TArcStoreOptions value);
    TArcZipSupportedMethod CompressionMethodToUse() const { return compressionMethod_; }
    void SetCompressionMethodToUse(TArcZipSupportedMethod value);
    TArcZipDeflationOption DeflationOption() const { return deflationOption_; }
    void SetDeflationOption(TArcZipDeflationOption value);
    const TArcRequestDiskEvent& OnRequestBlankDisk() const { return onRequestBlankDisk_; }
    void SetOnRequestBlankDisk(TArcRequestDiskEvent handler);

    // Opens or, when missing, creates the named archive.
    void SetFileName(const QString& value) override;
    void SetZipfileComment(const QByteArray& comment) override;
    void AddFromStream(const QString& name, std::shared_ptr<Stream> stream);
    void DeleteAt(int index);
    void Save();

    void ResetMeters() override;
    virtual void DoConfirmSave(bool& confirm);
    virtual void DoSave();
    void InitArchive() override;

protected:
    void requireArchive() const;
    void requireWritable() const;

private:
    bool autoSave_ = false;
    bool dosMode_ = false;
    TArcStoreOptions storeOptions_ = soStripDrive | soRemoveDots;
    TArcZipSupportedMethod compressionMethod_ = smBestMethod;
    TArcZipDeflationOption deflationOption_ = doNormal;
    TArcRequestDiskEvent onRequestBlankDisk_;
};

class TArcCustomZipKit : public TArcCustomZipper {
public:
    using TArcNeedPasswordEvent = std::function<void(TArcBaseBrowser& sender, QByteArray& newPassword)>;

    TArcCustomZipKit();

    TArcConfirmOverwriteEvent OnConfirmOverwrite;
    TArcNeedPasswordEvent OnNeedPassword;

    TArcExtractOptions ExtractOptions() const { return extractOptions_; }
    void SetExtractOptions(TArcExtractOptions value);
    uint8_t PasswordRetries() const { return passwordRetries_; }
    // Reaches a zip archive only: no other format asks for passwords.
    void SetPasswordRetries(uint8_t value);

    void ExtractToStream(const QString& name, Stream& stream);

    virtual void DoConfirmOverwrite(QString& name, bool& confirm);
    virtual void DoNeedPassword(QByteArray& newPassword);
    void InitArchive() override;

private:
    TArcExtractOptions extractOptions_ = 0;
    uint8_t passwordRetries_ = 3;
};

class TArcZipKit : public TArcCustomZipKit {};

}  // namespace tandex::archive
