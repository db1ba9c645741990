#include "archive/zip_spans.h"

#include "archive/archive_utils.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace tandex::archive {

namespace {

void renameFile(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw StreamIoError(QStringLiteral("Cannot rename \"") + from + QStringLiteral("\" to \"") +
                                to + u'"',
                            ResultCodeOfErrno(errno));
}

}  // namespace

QString TArcSpanBaseStream::GetImageName(int32_t number) {
    const qsizetype slash = archiveName_.lastIndexOf(u'/');
    const qsizetype dot = archiveName_.lastIndexOf(u'.');
    const bool hasExtension = dot > slash;
    const QString extension = hasExtension ? archiveName_.mid(dot) : QString();
    const QString digits = QString::asprintf("%.2d", number);
    const QString newExtension =
        extension.size() > 1 ? extension.left(2) + digits : QStringLiteral(".") + digits;
    QString name = (hasExtension ? archiveName_.left(dot) : archiveName_) + newExtension;
    if (OnRequestImage) {
        bool abort = false;
        OnRequestImage(this, number, name, abort);
        if (abort) throw EArcUserAbort();
    }
    return name;
}

// ---------------------------------------------------------------- reading

TArcSpanReadStream::TArcSpanReadStream(const QString& archiveName,
                                       std::unique_ptr<Stream> lastVolume,
                                       int32_t lastVolumeNumber)
    : TArcSpanBaseStream(archiveName),
      file_(std::move(lastVolume)),
      current_(lastVolumeNumber),
      last_(lastVolumeNumber) {
    decideSplit();
}

void TArcSpanReadStream::decideSplit() {
    split_ = QFile::exists(GetImageName(1)) || !IsRemovableDrive(archiveName_);
}

void TArcSpanReadStream::SetImageHook(TArcSpanImageHook hook) {
    OnRequestImage = std::move(hook);
    decideSplit();
}

void TArcSpanReadStream::GotoImage(int32_t number) {
    file_.reset();
    current_ = number;
    QString name = archiveName_;
    if (!split_) {
        if (!OnRequestNthDisk) throw EArcUserAbort();
        do {
            bool abort = false;
            OnRequestNthDisk(number + 1, abort);
            if (abort) throw EArcUserAbort();
        } while (DriveFreeSpace(archiveName_) < 0);
    } else if (number != last_) {
        name = GetImageName(number + 1);
    }
    file_ = std::make_unique<FileStream>(name, fmOpenRead | fmShareDenyWrite);
}

void TArcSpanReadStream::SeekImage(int32_t number, int64_t offset) {
    if (!file_) return;
    if (number != current_) GotoImage(number);
    file_->Seek(offset, soBeginning);
}

int64_t TArcSpanReadStream::Read(void* buffer, int64_t count) {
    if (!file_) return 0;
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        done += file_->Read(out + done, count - done);
        if (done >= count || current_ >= last_) break;
        GotoImage(current_ + 1);
    }
    return done;
}

int64_t TArcSpanReadStream::Write(const void*, int64_t) {
    throw EArcException(QStringLiteral("TArcSpanReadStream.Write unsupported"));
}

int64_t TArcSpanReadStream::Seek(int64_t offset, int origin) {
    if (offset != 0 || origin != soCurrent)
        throw EArcException(QStringLiteral("TArcSpanReadStream.Seek unsupported"));
    return file_ ? file_->Position() : 0;
}

// ---------------------------------------------------------------- writing

TArcSpanWriteStream::TArcSpanWriteStream(const QString& archiveName, std::unique_ptr<Stream> stream,
                                         int64_t threshold)
    : TArcSpanBaseStream(archiveName), file_(std::move(stream)), threshold_(threshold) {}

int64_t TArcSpanWriteStream::Write(const void* buffer, int64_t count) {
    if (!file_) return 0;
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        int64_t piece = count - done;
        if (threshold_ > 0) piece = std::min(piece, std::max<int64_t>(0, threshold_ - written_));
        const int64_t took = piece > 0 ? file_->Write(in + done, piece) : 0;
        written_ += took;
        done += took;
        if (done < count) NewImage();
    }
    return done;
}

bool TArcSpanWriteStream::WriteUnsplit(const void* buffer, int64_t count, bool failWhenSplit) {
    if (!file_) throw StreamFilerError(QStringLiteral("Stream write error"));
    int64_t took = 0;
    if (threshold_ <= 0 || threshold_ - written_ >= count) took = file_->Write(buffer, count);
    if (took == count) {
        written_ += count;
        return true;
    }
    if (took > 0) {
        const int64_t end = file_->Position() - took;
        file_->SetSize(end);
        file_->Seek(end, soBeginning);
    }
    NewImage();
    if (failWhenSplit) return false;
    file_->WriteBuffer(buffer, count);
    written_ = count;
    return true;
}

void TArcSpanWriteStream::NewImage() {
    file_.reset();
    ++current_;
    if (threshold_ > 0) {
        renameFile(archiveName_, GetImageName(current_));
    } else {
        if (!OnRequestBlankDisk) throw EArcUserAbort();
        do {
            bool abort = false;
            OnRequestBlankDisk(abort);
            if (abort) throw EArcUserAbort();
        } while (DriveFreeSpace(archiveName_) < 0);
        WriteSpanVolumeLabel(DriveLetterOf(archiveName_), current_);
    }
    file_ = std::make_unique<FileStream>(archiveName_, fmCreate);
    written_ = 0;
}

int64_t TArcSpanWriteStream::Read(void*, int64_t) {
    throw EArcException(QStringLiteral("TArcSpanWriteStream.Read unsupported"));
}

int64_t TArcSpanWriteStream::Seek(int64_t offset, int origin) {
    if (offset != 0 || origin != soCurrent)
        throw EArcException(QStringLiteral("TArcSpanWriteStream.Seek unsupported"));
    return file_ ? file_->Position() : 0;
}

}  // namespace tandex::archive
