#include "archive/streams.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include "config/os_errors.h"
#include <cstring>
#include <limits>

namespace tandex::archive {

namespace {

constexpr int64_t kCopyChunk = 0x10000;

QString systemText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

[[noreturn]] void raiseIo(const QString& what, const QString& fileName, int err) {
    throw StreamIoError(
        what + QStringLiteral(" \"") + fileName + QStringLiteral("\": ") + systemText(err),
        ResultCodeOfErrno(err));
}

// The target of a seek, or StreamIoError when the origin is unknown or the
// target lies before the start.
int64_t seekTarget(int64_t offset, int origin, int64_t position, int64_t size) {
    int64_t base = 0;
    switch (origin) {
        case soBeginning:
            base = 0;
            break;
        case soCurrent:
            base = position;
            break;
        case soEnd:
            base = size;
            break;
        default:
            throw StreamIoError(QStringLiteral("Invalid seek origin %1").arg(origin),
                                kErrorInvalidParameter);
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        throw StreamIoError(QStringLiteral("Seek before the start of the stream"),
                            kErrorNegativeSeek);
    return target;
}

}  // namespace

int32_t ResultCodeOfErrno(int err) {
    return config::ResultCodeOfErrno(err);
}

int64_t Stream::Size() {
    const int64_t position = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void Stream::SetSize(int64_t) {
    throw StreamFilerError(QStringLiteral("Stream size cannot be changed"));
}

void Stream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw StreamFilerError(QStringLiteral("Stream read error"));
}

void Stream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw StreamFilerError(QStringLiteral("Stream write error"));
}

int64_t Stream::CopyFrom(Stream& source, int64_t count) {
    if (count < 0) return 0;
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    QByteArray chunk(static_cast<qsizetype>(std::min(count, kCopyChunk)), Qt::Uninitialized);
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kCopyChunk);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.constData(), n);
        left -= n;
    }
    return count;
}

// ---------------------------------------------------------------- FileStream

FileStream::FileStream(const QString& fileName, uint16_t mode) : fileName_(fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    // fmCreate is often or-ed with a sharing mode; the sharing bits must
    // not turn a creation into an open of a missing file.
    if ((mode & fmCreate) == fmCreate) {
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int err = errno;
            throw FileCreateError(QStringLiteral("Cannot create file \"") + fileName +
                                  QStringLiteral("\". ") + systemText(err));
        }
        return;
    }
    int flags = O_CLOEXEC;
    switch (mode & 0x3) {
        case fmOpenWrite:
            flags |= O_WRONLY;
            break;
        case fmOpenReadWrite:
            flags |= O_RDWR;
            break;
        default:
            flags |= O_RDONLY;
            break;
    }
    // Non-blocking only for the open itself: a FIFO must not hang it.
    fd_ = ::open(path.constData(), flags | O_NONBLOCK);
    int err = errno;
    if (fd_ >= 0) {
        // A folder read as a file fails later and confusingly; FIFOs and
        // sockets never end, and devices are not read as files.
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            err = errno;
        } else if (S_ISDIR(st.st_mode)) {
            err = EISDIR;
        } else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
                   ((S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) && (mode & 0x3) != fmOpenWrite)) {
            err = EACCES;
        } else {
            err = 0;
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        }
        if (err != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0)
        throw FileOpenError(QStringLiteral("Cannot open file \"") + fileName +
                            QStringLiteral("\". ") + systemText(err));
}

FileStream::FileStream(int fd, const QString& fileName) : fd_(fd), fileName_(fileName) {}

FileStream::~FileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t FileStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        const ssize_t n = ::read(fd_, out + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            raiseIo(QStringLiteral("Cannot read file"), fileName_, errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t FileStream::Write(const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        const ssize_t n = ::write(fd_, in + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            raiseIo(QStringLiteral("Cannot write file"), fileName_, errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t FileStream::Seek(int64_t offset, int origin) {
    const int64_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0) raiseIo(QStringLiteral("Cannot seek in file"), fileName_, errno);
    if (origin == soCurrent && offset == 0) return position;
    const int64_t target = seekTarget(offset, origin, position, origin == soEnd ? Size() : 0);
    if (::lseek(fd_, target, SEEK_SET) < 0)
        raiseIo(QStringLiteral("Cannot seek in file"), fileName_, errno);
    return target;
}

int64_t FileStream::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) raiseIo(QStringLiteral("Cannot query file"), fileName_, errno);
    return st.st_size;
}

void FileStream::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw StreamIoError(QStringLiteral("Negative stream size"), kErrorNegativeSeek);
    const int64_t position = Position();
    if (::ftruncate(fd_, newSize) != 0)
        raiseIo(QStringLiteral("Cannot set the size of file"), fileName_, errno);
    if (position > newSize) Seek(newSize, soBeginning);
}

// -------------------------------------------------------------- MemoryStream

int64_t MemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = std::max<int64_t>(0, data_.size() - position_);
    const int64_t n = std::clamp<int64_t>(count, 0, available);
    if (n > 0) std::memcpy(buffer, data_.constData() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = 0;
    if (__builtin_add_overflow(position_, count, &end))
        throw StreamIoError(QStringLiteral("Memory stream too large"), 8);
    if (end > data_.size()) data_.resize(static_cast<qsizetype>(end), '\0');
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t MemoryStream::Seek(int64_t offset, int origin) {
    position_ = seekTarget(offset, origin, position_, data_.size());
    return position_;
}

void MemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw StreamIoError(QStringLiteral("Negative stream size"), kErrorNegativeSeek);
    data_.resize(static_cast<qsizetype>(newSize), '\0');
    position_ = std::min(position_, newSize);
}

void MemoryStream::SetMemory(QByteArray data) {
    data_ = std::move(data);
    position_ = 0;
}

void MemoryStream::Clear() {
    SetMemory({});
}

void MemoryStream::LoadFromStream(Stream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    source.ReadBuffer(data.data(), size);
    SetMemory(std::move(data));
}

void MemoryStream::SaveToStream(Stream& target) {
    target.WriteBuffer(data_.constData(), data_.size());
}

}  // namespace tandex::archive
