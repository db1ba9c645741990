#include "archive/zip_kit.h"

#include "archive/archive_detection.h"
#include "archive/zip_extract.h"
#include "archive/bzip2_archive.h"
#include "archive/gzip_archive.h"
#include "archive/tar_archive.h"

#include <QFileInfo>

namespace tandex::archive {

namespace {

bool isZipType(TArchiveType type) {
    return type == ArcZip || type == ArcSpannedZip || type == ArcSelfExtractingZip;
}

// Gzip and bzip2 archives over a file or a stream, with the tar flag of
// the detected type and the component's switch.
template <typename Packed, typename... Args>
std::unique_ptr<TArcArchive> packed(bool tarFlag, bool tarSwitch, Args&&... args) {
    auto archive = std::make_unique<Packed>(std::forward<Args>(args)...);
    archive->TarFlag = tarFlag;
    archive->SetTarSwitch(tarSwitch);
    return archive;
}

template <typename... Args>
std::unique_ptr<TArcArchive> archiveOf(TArchiveType type, bool tarSwitch, Args&&... args) {
    switch (type) {
        case ArcZip:
        case ArcSpannedZip:
        case ArcSelfExtractingZip:
            return std::make_unique<TArcZipArchive>(std::forward<Args>(args)...);
        case ArcTar:
            return std::make_unique<TArcTarArchive>(std::forward<Args>(args)...);
        case ArcGzip:
        case ArcGzippedTar:
            return packed<TArcGzipArchive>(type == ArcGzippedTar, tarSwitch, std::forward<Args>(args)...);
        case ArcBzip2:
        case ArcBzippedTar:
            return packed<TArcBzip2Archive>(type == ArcBzippedTar, tarSwitch, std::forward<Args>(args)...);
        default:
            throw EArcUnhandledType();
    }
}

}  // namespace

// ------------------------------------------------------------ browser base

TArcBaseBrowser::TArcBaseBrowser() = default;
TArcBaseBrowser::~TArcBaseBrowser() = default;

void TArcBaseBrowser::SetBaseDirectory(const QString& value) {
    if (archive_) {
        archive_->SetBaseDirectory(value);
        baseDirectory_ = archive_->BaseDirectory();
    } else {
        baseDirectory_ = value;
    }
}

void TArcBaseBrowser::SetSpanningThreshold(int32_t value) {
    spanningThreshold_ = value;
    if (archive_) archive_->SetSpanningThreshold(value);
}

void TArcBaseBrowser::SetLogFile(const QString& value) {
    logFile_ = value;
    if (archive_) archive_->SetLogFile(value);
    SetLogging(!value.isEmpty());
}

void TArcBaseBrowser::SetLogging(bool value) {
    logging_ = value;
    if (archive_) archive_->SetLogging(value);
}

void TArcBaseBrowser::SetTempDirectory(const QString& value) {
    tempDirectory_ = value;
    if (archive_) archive_->TempDirectory = value;
}

void TArcBaseBrowser::SetOnRequestImage(TArcRequestImageEvent handler) {
    onRequestImage_ = std::move(handler);
    if (archive_) archive_->OnRequestImage = onRequestImage_;
}

void TArcBaseBrowser::ResetMeters() {
    if (ArchiveProgressMeter) ArchiveProgressMeter->Reset();
    if (ItemProgressMeter) ItemProgressMeter->Reset();
}

void TArcBaseBrowser::DoArchiveItemProgress(TArcArchiveItem* item, uint8_t progress, bool& abort) {
    abort = false;
    if (ItemProgressMeter) ItemProgressMeter->DoProgress(progress);
    if (OnArchiveItemProgress) OnArchiveItemProgress(*this, item, progress, abort);
}

void TArcBaseBrowser::DoArchiveProgress(uint8_t progress, bool& abort) {
    abort = false;
    if (ArchiveProgressMeter) ArchiveProgressMeter->DoProgress(progress);
    if (OnArchiveProgress) OnArchiveProgress(*this, progress, abort);
}

void TArcBaseBrowser::DoChange() {
    if (OnChange) OnChange(*this);
}

void TArcBaseBrowser::DoConfirmProcessItem(TArcArchiveItem* item, TArcProcessType processType,
                                           bool& confirm) {
    confirm = true;
    if (ItemProgressMeter) ItemProgressMeter->Reset();
    if (OnConfirmProcessItem) OnConfirmProcessItem(*this, item, processType, confirm);
}

void TArcBaseBrowser::DoLoad() {
    if (OnLoad) OnLoad(*this);
}

void TArcBaseBrowser::DoProcessItemFailure(TArcArchiveItem* item, TArcProcessType processType,
                                           TArcErrorClass errorClass, int32_t errorCode) {
    if (OnProcessItemFailure) OnProcessItemFailure(*this, item, processType, errorClass, errorCode);
}

void TArcBaseBrowser::InitArchive() {
    ResetMeters();
    if (!archive_) return;
    TArcArchive& a = *archive_;
    a.SetSpanningThreshold(spanningThreshold_);
    a.SetLogFile(logFile_);
    a.SetLogging(logging_);
    a.TempDirectory = tempDirectory_;
    SetBaseDirectory(baseDirectory_);
    a.OnArchiveProgress = [this](TArcArchive&, uint8_t progress, bool& abort) {
        DoArchiveProgress(progress, abort);
    };
    a.OnArchiveItemProgress = [this](TArcArchive&, TArcArchiveItem* item, uint8_t progress, bool& abort) {
        DoArchiveItemProgress(item, progress, abort);
    };
    a.OnConfirmProcessItem = [this](TArcArchive&, TArcArchiveItem* item, TArcProcessType type, bool& confirm) {
        DoConfirmProcessItem(item, type, confirm);
    };
    a.OnLoad = [this](TArcArchive&) { DoLoad(); };
    a.OnProcessItemFailure = [this](TArcArchive&, TArcArchiveItem* item, TArcProcessType type,
                                    TArcErrorClass errorClass, int32_t code) {
        DoProcessItemFailure(item, type, errorClass, code);
    };
    a.OnRequestImage = onRequestImage_;
}

// ------------------------------------------------------------ zip browser

void TArcCustomZipBrowser::SetPassword(const QByteArray& value) {
    password_ = value;
    if (auto* zip = zipArchive()) zip->Password = value;
}

void TArcCustomZipBrowser::SetOnRequestLastDisk(TArcRequestDiskEvent handler) {
    onRequestLastDisk_ = std::move(handler);
    if (auto* zip = zipArchive()) zip->OnRequestLastDisk = onRequestLastDisk_;
}

void TArcCustomZipBrowser::SetOnRequestNthDisk(TArcRequestNthDiskEvent handler) {
    onRequestNthDisk_ = std::move(handler);
    if (auto* zip = zipArchive()) zip->OnRequestNthDisk = onRequestNthDisk_;
}

TArcArchiveItem* TArcCustomZipBrowser::GetItem(int index) const {
    if (!archive_) throw EArcNoArchive();
    return archive_->ItemList().Items(index);
}

void TArcCustomZipBrowser::InitArchive() {
    TArcBaseBrowser::InitArchive();
    if (auto* zip = zipArchive()) {
        zip->Password = password_;
        zip->OnRequestLastDisk = onRequestLastDisk_;
        zip->OnRequestNthDisk = onRequestNthDisk_;
        InstallZipHooks(*zip);
    }
}

std::unique_ptr<TArcArchive> TArcCustomZipBrowser::createOverStream(TArchiveType type,
                                                                    Stream* stream) {
    return archiveOf(type, PackedTarSwitch, stream, QString());
}

std::unique_ptr<TArcArchive> TArcCustomZipBrowser::createOverFile(TArchiveType type,
                                                                  const QString& name,
                                                                  bool create) {
    readOnly_ = false;
    if (create) return archiveOf(type, PackedTarSwitch, name, uint16_t(fmCreate));
    if (isZipType(type))
        return archiveOf(type, PackedTarSwitch, name, uint16_t(fmOpenRead | fmShareDenyNone));
    if (type != ArcTar && type != ArcGzip && type != ArcGzippedTar && type != ArcBzip2 &&
        type != ArcBzippedTar)
        throw EArcUnhandledType();
    // Archives the user may not change can still be browsed and extracted.
    try {
        return archiveOf(type, PackedTarSwitch, name, uint16_t(fmOpenReadWrite | fmShareDenyNone));
    } catch (const FileOpenError&) {
        readOnly_ = true;
        return archiveOf(type, PackedTarSwitch, name, uint16_t(fmOpenRead | fmShareDenyNone));
    }
}

void TArcCustomZipBrowser::closeArchive(bool ignoreSaveFailure) {
    if (!archive_) return;
    if (ignoreSaveFailure) {
        try {
            archive_->SaveIfChanged();
        } catch (const std::exception&) {
        }
    } else {
        archive_->SaveIfChanged();
    }
    archive_.reset();
    readOnly_ = false;
}

void TArcCustomZipBrowser::OpenStream(Stream* stream) {
    // Unsaved changes of the archive being closed are the caller's to
    // hear about, as when a new file name is set.
    closeArchive(false);
    fileName_.clear();
    if (stream) {
        const TArchiveType type = ForceType ? ArchiveType : DetectArchiveTypeByContent(*stream);
        archive_ = createOverStream(type, stream);
        try {
            InitArchive();
            archive_->Load();
        } catch (...) {
            archive_.reset();
            DoChange();
            throw;
        }
        ArchiveType = type;
    }
    DoChange();
}

void TArcCustomZipBrowser::SetFileName(const QString& value) {
    fileName_ = value;
    closeArchive(true);
    if (value.isEmpty() || !QFileInfo(value).isFile()) return;
    const TArchiveType type = ForceType ? ArchiveType : DetectArchiveTypeByName(value);
    archive_ = archiveOf(type, PackedTarSwitch, value, uint16_t(fmOpenRead | fmShareDenyNone));
    readOnly_ = true;
    InitArchive();
    archive_->Load();
    ArchiveType = type;
    DoChange();
}

// ------------------------------------------------------------------ zipper

TArcCustomZipper::TArcCustomZipper() = default;

void TArcCustomZipper::SetAutoSave(bool value) {
    autoSave_ = value;
    if (archive_) archive_->AutoSave = value;
}

void TArcCustomZipper::SetDOSMode(bool value) {
    dosMode_ = value;
    if (archive_) archive_->DOSMode = value;
}

void TArcCustomZipper::SetStoreOptions(TArcStoreOptions value) {
    storeOptions_ = value;
    if (archive_) archive_->StoreOptions = value;
}

void TArcCustomZipper::SetCompressionMethodToUse(TArcZipSupportedMethod value) {
    compressionMethod_ = value;
    if (auto* zip = zipArchive()) zip->CompressionMethodToUse = value;
}

void TArcCustomZipper::SetDeflationOption(TArcZipDeflationOption value) {
    deflationOption_ = value;
    if (auto* zip = zipArchive()) zip->DeflationOption = value;
}

void TArcCustomZipper::SetOnRequestBlankDisk(TArcRequestDiskEvent handler) {
    onRequestBlankDisk_ = std::move(handler);
    if (auto* zip = zipArchive()) zip->OnRequestBlankDisk = onRequestBlankDisk_;
}

void TArcCustomZipper::ResetMeters() {
    TArcCustomZipBrowser::ResetMeters();
    if (ArchiveSaveProgressMeter) ArchiveSaveProgressMeter->Reset();
}

void TArcCustomZipper::DoConfirmSave(bool& confirm) {
    confirm = true;
    if (OnConfirmSave) OnConfirmSave(*this, confirm);
}

void TArcCustomZipper::DoSave() {
    if (OnSave) OnSave(*this);
}

void TArcCustomZipper::InitArchive() {
    TArcCustomZipBrowser::InitArchive();
    if (!archive_) return;
    TArcArchive& a = *archive_;
    a.AutoSave = autoSave_;
    a.DOSMode = dosMode_;
    a.StoreOptions = storeOptions_;
    a.OnArchiveSaveProgress = [this](TArcArchive&, uint8_t progress, bool& abort) {
        abort = false;
        if (ArchiveSaveProgressMeter) ArchiveSaveProgressMeter->DoProgress(progress);
        if (OnArchiveSaveProgress) OnArchiveSaveProgress(*this, progress, abort);
    };
    a.OnConfirmSave = [this](TArcArchive&, bool& confirm) { DoConfirmSave(confirm); };
    a.OnSave = [this](TArcArchive&) { DoSave(); };
    if (auto* zip = zipArchive()) {
        zip->CompressionMethodToUse = compressionMethod_;
        zip->DeflationOption = deflationOption_;
        zip->OnRequestBlankDisk = onRequestBlankDisk_;
    }
}

void TArcCustomZipper::SetFileName(const QString& value) {
    fileName_ = value;
    // A failed save of the old archive passes on and leaves it open.
    closeArchive(false);
    if (!value.isEmpty()) {
        const bool exists = QFileInfo::exists(value);
        const TArchiveType type = ForceType ? ArchiveType : DetectArchiveTypeByName(value);
        if (!exists && (type == ArcSpannedZip || type == ArcSelfExtractingZip))
            throw EArcUnhandledType();
        archive_ = createOverFile(type, value, !exists);
        try {
            InitArchive();
            if (exists) archive_->Load();
        } catch (...) {
            archive_.reset();
            throw;
        }
        ArchiveType = type;
    }
    DoChange();
}

void TArcCustomZipper::requireArchive() const {
    if (!archive_) throw EArcNoArchive();
}

void TArcCustomZipper::requireWritable() const {
    if (readOnly_)
        throw FileOpenError(QStringLiteral("Cannot open file \"") + fileName_ +
                            QStringLiteral("\". Permission denied"));
}

void TArcCustomZipper::SetZipfileComment(const QByteArray& comment) {
    auto* zip = zipArchive();
    if (!zip) throw EArcNoArchive();
    zip->SetZipfileComment(comment);
    zip->IsDirty = true;
}

void TArcCustomZipper::AddFromStream(const QString& name, std::shared_ptr<Stream> stream) {
    requireArchive();
    requireWritable();
    if (stream) stream->SetPosition(0);
    archive_->AddFromStream(name, std::move(stream));
    DoChange();
}

void TArcCustomZipper::DeleteAt(int index) {
    requireArchive();
    requireWritable();
    archive_->DeleteAt(index);
    DoChange();
}

void TArcCustomZipper::Save() {
    if (!archive_) return;
    if (archive_->IsDirty) requireWritable();
    archive_->SaveIfChanged();
    DoChange();
}

// --------------------------------------------------------------------- kit

TArcCustomZipKit::TArcCustomZipKit() = default;

void TArcCustomZipKit::SetExtractOptions(TArcExtractOptions value) {
    extractOptions_ = value;
    if (archive_) archive_->ExtractOptions = value;
}

void TArcCustomZipKit::SetPasswordRetries(uint8_t value) {
    passwordRetries_ = value;
    if (auto* zip = zipArchive()) zip->PasswordRetries = value;
}

void TArcCustomZipKit::ExtractToStream(const QString& name, Stream& stream) {
    requireArchive();
    archive_->ExtractToStream(name, stream);
}

void TArcCustomZipKit::DoConfirmOverwrite(QString& name, bool& confirm) {
    confirm = true;
    if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
}

void TArcCustomZipKit::DoNeedPassword(QByteArray& newPassword) {
    if (!OnNeedPassword) return;
    OnNeedPassword(*this, newPassword);
    SetPassword(newPassword);
}

void TArcCustomZipKit::InitArchive() {
    TArcCustomZipper::InitArchive();
    if (!archive_) return;
    archive_->ExtractOptions = extractOptions_;
    archive_->OnConfirmOverwrite = [this](QString& name, bool& confirm) {
        DoConfirmOverwrite(name, confirm);
    };
    if (auto* zip = zipArchive()) {
        zip->PasswordRetries = passwordRetries_;
        zip->OnNeedPassword = [this](TArcArchive&, QByteArray& newPassword) {
            DoNeedPassword(newPassword);
        };
    }
}

}  // namespace tandex::archive
