#pragma once
// The one stream interface of the archive library, with a file and a
// memory implementation.
//
// Every size and position is 64-bit. Read and Write move as many bytes as
// they can and return the count (a read at the end returns fewer); the
// Buffer forms insist on the whole count and raise StreamFilerError
// otherwise. A failing system call raises StreamIoError with the
// platform's result code (Windows numbering); opening and creating a file
// raise FileOpenError and FileCreateError.

#include "archive/archive_errors.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace tandex::archive {

enum SeekOrigin : int {
    soBeginning = 0,
    soCurrent = 1,
    soEnd = 2,
};

// Result codes the streams raise with StreamIoError.
constexpr int32_t kErrorInvalidParameter = 87;  // a seek origin other than 0, 1, 2
constexpr int32_t kErrorNegativeSeek = 131;     // a position before the start
constexpr int32_t kErrorDiskFull = 112;         // no room left (or none to spare) on the volume

// The Windows-numbered result code of an errno value; unknown values give
// 31 (a general failure of the device).
int32_t ResultCodeOfErrno(int err);

class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    virtual ~Stream() = default;

    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Origin 0 from the start, 1 from the position, 2 from the end; returns
    // the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    // The default answers through Seek and restores the position.
    virtual int64_t Size();
    // The default raises StreamFilerError: a stream that cannot change its
    // size must not pretend it did.
    virtual void SetSize(int64_t newSize);

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }

    // The whole count or StreamFilerError ("Stream read error" / "Stream
    // write error").
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Copies count bytes from the source's position; a count of 0 copies
    // the whole source from its start. Returns the bytes copied.
    int64_t CopyFrom(Stream& source, int64_t count);
};

// Open modes of a file stream: one access mode, optionally or-ed with a
// sharing mode. Sharing modes are accepted and ignored: Linux has no
// mandatory sharing locks.
enum FileOpenMode : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,  // create anew (truncating), read and write
};

class FileStream : public Stream {
public:
    // Raises FileOpenError, or FileCreateError for fmCreate.
    FileStream(const QString& fileName, uint16_t mode);
    // Takes over an open descriptor (closed with the stream).
    FileStream(int fd, const QString& fileName);
    ~FileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override;
    void SetSize(int64_t newSize) override;

    const QString& FileName() const { return fileName_; }
    int Handle() const { return fd_; }

private:
    int fd_ = -1;
    QString fileName_;
};

class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(QByteArray data) : data_(std::move(data)) {}

    int64_t Read(void* buffer, int64_t count) override;
    // Writing past the end grows the stream; a gap reads as zeros.
    int64_t Write(const void* buffer, int64_t count) override;
    // Any position at or after 0 is allowed, also past the end.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return data_.size(); }
    void SetSize(int64_t newSize) override;

    const QByteArray& Memory() const { return data_; }
    // Replaces the content and rewinds.
    void SetMemory(QByteArray data);
    void Clear();
    // The whole source from its start replaces the content; rewinds.
    void LoadFromStream(Stream& source);
    // Writes the whole content to the target at its position.
    void SaveToStream(Stream& target);

private:
    QByteArray data_;
    int64_t position_ = 0;
};

}  // namespace tandex::archive
