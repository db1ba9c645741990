#pragma once
// The streams that hide the volumes of a split or spanned zip set.
//
// Split sets are files beside each other: data.z01, data.z02, ... and the
// last part under the archive's own name. Spanned sets are removable disks
// that each hold a file of the archive's name; Linux has no removable
// drives in that sense, so the disk path reduces to the requests through
// the hooks (a refused or missing hook stops with EArcUserAbort).
//
// Reading serves sequential reads across volume borders and positioning
// inside a volume (SeekImage); writing cuts volumes at the threshold and
// can keep a header in one piece (WriteUnsplit).

#include "archive/streams.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace tandex::archive {

// Sender, image number, the proposed file name (may be changed), abort.
using TArcSpanImageHook =
    std::function<void(void* sender, int32_t imageNumber, QString& imageName, bool& abort)>;
using TArcRequestDiskHook = std::function<void(bool& abort)>;
using TArcRequestNthDiskHook = std::function<void(int diskNumber, bool& abort)>;

class TArcSpanBaseStream : public Stream {
public:
    explicit TArcSpanBaseStream(const QString& archiveName) : archiveName_(archiveName) {}

    const QString& ArchiveName() const { return archiveName_; }
    TArcSpanImageHook OnRequestImage;

    // The name of split part n (data.zip and 1 give data.z01; a name
    // without an extension gives data.01), passed through the hook.
    QString GetImageName(int32_t number);

protected:
    QString archiveName_;
};

class TArcSpanReadStream : public TArcSpanBaseStream {
public:
    // Takes the stream of the last volume.
    TArcSpanReadStream(const QString& archiveName, std::unique_ptr<Stream> lastVolume,
                       int32_t lastVolumeNumber);

    TArcRequestNthDiskHook OnRequestNthDisk;

    void SetImageHook(TArcSpanImageHook hook);
    void GotoImage(int32_t number);
    void SeekImage(int32_t number, int64_t offset);
    int32_t CurrentImage() const { return current_; }
    int32_t LastImage() const { return last_; }
    bool IsSplit() const { return split_; }

    int64_t Read(void* buffer, int64_t count) override;
    // Raises EArcException: a set cannot be written through this stream.
    int64_t Write(const void* buffer, int64_t count) override;
    // Only the position query (0 from the current position) is served.
    int64_t Seek(int64_t offset, int origin) override;

private:
    void decideSplit();

    std::unique_ptr<Stream> file_;
    int32_t current_;
    int32_t last_;
    bool split_ = true;
};

class TArcSpanWriteStream : public TArcSpanBaseStream {
public:
    // Takes the stream of the first volume; a threshold of 0 or less means
    // disks.
    TArcSpanWriteStream(const QString& archiveName, std::unique_ptr<Stream> stream,
                        int64_t threshold);

    TArcRequestDiskHook OnRequestBlankDisk;

    int64_t Write(const void* buffer, int64_t count) override;
    // Keeps the buffer in one volume: when it does not fit, a part written
    // is cut off again and a new volume begun; unless failWhenSplit is set,
    // the buffer is then written whole there. True when written whole.
    bool WriteUnsplit(const void* buffer, int64_t count, bool failWhenSplit);
    void NewImage();
    std::unique_ptr<Stream> ReleaseStream() { return std::move(file_); }
    int32_t CurrentImage() const { return current_; }

    // Raises EArcException.
    int64_t Read(void* buffer, int64_t count) override;
    // Only the position query is served.
    int64_t Seek(int64_t offset, int origin) override;

private:
    std::unique_ptr<Stream> file_;
    int32_t current_ = 0;
    int64_t threshold_;
    int64_t written_ = 0;
};

}  // namespace tandex::archive
