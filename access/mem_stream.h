#pragma once
// The in-memory file of a slot: downloaded, extracted or pending content.
// Positions are 64-bit throughout; the stream grows on demand.
//
// Content is held in memory up to FZMemStreamLimit (64 MiB). A write that
// goes beyond moves everything into a swap-file backed stream in the
// temporary folder, so a huge member or a decompression bomb costs disk
// space, bounded by the file size limit of the process, never all memory.
// The stream is also the archive library's stream, so members are
// extracted into it and stored from it without a copy.

#include "archive/streams.h"

#include <QIODevice>
#include <QtGlobal>
#include <memory>

namespace tandex::archive {
class TArcVirtualMemoryStream;
}

namespace tandex::access {

inline constexpr qint64 FZMemStreamLimit = qint64(64) << 20;

class TFZMemStream : public archive::Stream {
public:
    TFZMemStream();
    // Takes the other's content and position; the other is left empty.
    TFZMemStream(TFZMemStream&& other) noexcept;
    ~TFZMemStream() override;

    qint64 size() const { return size_; }
    qint64 position() const { return pos_; }
    // Any position from 0 on, also behind the end (a write there fills the
    // gap with zeros); false for a negative one.
    bool seek(qint64 position);
    qint64 read(void* buffer, qint64 count);
    // Throws std::bad_alloc when the memory runs out and the archive
    // library's stream errors when the swap file fails (disk full, the file
    // size limit); FZStreamErrorCode turns either into a result code.
    qint64 write(const void* buffer, qint64 count);
    // Room for that many bytes (at most FZMemStreamLimit), so that the
    // writes that follow do not grow the stream step by step; the content
    // and size stay as they are.
    void reserve(qint64 bytes);
    void clear();
    // Whether the content lives in the swap file.
    bool spilled() const { return spill_ != nullptr; }

    // archive::Stream
    int64_t Read(void* buffer, int64_t count) override { return read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override { return write(buffer, count); }
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t newSize) override;

private:
    void spill();
    // Makes room for at least that many bytes in memory.
    void grow(qint64 bytes);
    void release();

    // Heap memory while small; from 2 MiB on anonymous memory that grows by
    // remapping, never by copying, and asks for huge pages: fresh pages are
    // what filling a big member costs most.
    char* data_ = nullptr;
    qint64 capacity_ = 0;
    std::unique_ptr<archive::TArcVirtualMemoryStream> spill_;
    qint64 pos_ = 0;
    qint64 size_ = 0;
};

// The result code of an exception thrown by a stream operation: the I/O
// error's own code, 8 for exhausted memory, else the code in the message
// (99992 without one).
int FZStreamErrorCode(std::exception_ptr error);

// A stream as a device for the network code: a download writes into it; an
// upload (ReadOnly) reads it from its start. A write the memory or the swap
// file cannot take, or a failing read, fails the transfer instead of
// throwing through the network code.
class TFZStreamDevice : public QIODevice {
public:
    explicit TFZStreamDevice(TFZMemStream& stream, OpenMode mode = QIODevice::WriteOnly)
        : stream_(stream) {
        open(mode);
    }
    qint64 size() const override { return stream_.size(); }

protected:
    qint64 readData(char* data, qint64 count) override;
    qint64 writeData(const char* data, qint64 count) override;

private:
    TFZMemStream& stream_;
};

}  // namespace tandex::access
