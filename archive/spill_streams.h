#pragma once
// Scratch streams of the archive formats.
//
// TArcVirtualMemoryStream is a random-access stream of any size that keeps
// at most 2048 pages of 4096 bytes in memory and moves the least recently
// used ones to a swap file, so a new archive can be built before it replaces
// the old one without having to fit in memory. TArcBitBucketStream swallows
// everything written to it and keeps only the last few kilobytes, from which
// a short stretch can be read back: a target whose data is not needed.

#include "archive/streams.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tandex::archive {

class TArcVirtualMemoryStream : public Stream {
public:
    static constexpr int64_t kPageSize = 4096;
    static constexpr int kMaxPages = 2048;

    TArcVirtualMemoryStream();
    ~TArcVirtualMemoryStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Any origin but 0, 1, 2 raises EArcVMSInvalidOrigin; a target before
    // the start raises StreamIoError. Positions past the end are allowed.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t newSize) override;

    // Rounded up to whole pages, at least 1, at most 2048; evicts at once.
    void SetMaxMemToUse(int64_t bytes);
    int64_t MaxMemToUse() const { return maxPages_ * kPageSize; }
    int ResidentPages() const { return static_cast<int>(pages_.size()); }

    // The folder for the swap file (the system temporary folder when it does
    // not exist). Takes effect when the swap file is first needed. The swap
    // file has no name there (one it was created with is removed at once),
    // so it is gone with the stream or the process; growing it stops with
    // StreamIoError 112 where the folder's file system would keep less than
    // 1 GiB or 5 % of its size free.
    QString SwapFileDirectory;
    // The folder and "VMS" (or the name the file had), for messages; empty
    // until the swap file is needed.
    const QString& SwapFileName() const { return swapFileName_; }
    // The swap file's descriptor, -1 before it is needed.
    int SwapFileHandle() const;

private:
    struct Page {
        int64_t Offset = 0;
        bool Dirty = false;
        // Neighbours in the order of use; the newest page heads the list.
        Page* Newer = nullptr;
        Page* Older = nullptr;
        std::array<uint8_t, kPageSize> Data{};
    };

    Page* residentPage(int64_t pageOffset);
    Page* fetchPage(int64_t offset);
    void touch(Page& page);
    void unlink(Page& page);
    // Writes the oldest page back and takes it out of memory; null when
    // none is left.
    std::unique_ptr<Page> evictOldest();
    // The length of the run of whole, non-resident pages from at on (not
    // past end) that goes to or from the swap file directly; 0 for none.
    int64_t passThroughRun(int64_t at, int64_t end);
    void writeBack(Page& page);
    void writeSwap(const uint8_t* data, int64_t count, int64_t offset);
    void readSwap(uint8_t* data, int64_t count, int64_t offset);
    void openSwapFile();
    // Raises the disk-full error when growing the swap file to end bytes
    // would eat into the reserve of its file system.
    void checkRoom(int64_t end);
    // Whole pages of a transfer that would only push other pages out of
    // memory go between the caller's buffer and the swap file directly.
    bool passesThrough() const { return static_cast<int>(pages_.size()) >= maxPages_; }

    std::unordered_map<int64_t, std::unique_ptr<Page>> pages_;  // by Offset
    Page* newest_ = nullptr;
    Page* oldest_ = nullptr;
    int64_t position_ = 0;
    int64_t size_ = 0;
    int maxPages_ = kMaxPages;
    QString swapFileName_;
    std::unique_ptr<FileStream> swapStream_;
    int64_t swapFileSize_ = 0;
};

class TArcBitBucketStream : public Stream {
public:
    // 4096, 8192 and 32768 are taken as given, any other size as 32768; the
    // ring is 1024 bytes larger.
    explicit TArcBitBucketStream(int size);

    // Raises EArcBBSReadTooManyBytes when fewer bytes than asked lie in
    // the ring after the position.
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Only positions whose bytes are still in the ring can be reached.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return size_; }

    int64_t BufSize() const { return static_cast<int64_t>(buffer_.size()); }

private:
    std::vector<uint8_t> buffer_;
    int64_t tail_ = 0;
    int64_t bufPosn_ = 0;
    int64_t posn_ = 0;
    int64_t size_ = 0;
};

}  // namespace tandex::archive
