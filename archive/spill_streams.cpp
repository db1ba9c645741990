#include "archive/spill_streams.h"

#include "archive/archive_utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tandex::archive {

// ------------------------------------------------------ virtual memory stream
//
// The resident pages sit in a hash table by offset and on a list in the order
// of use, so finding a page and choosing the victim cost the same for 2048
// pages as for one. The swap file is addressed with pread/pwrite: its file
// position is never used. Two things keep a big stream from moving through
// the swap file a page at a time: a dirty victim goes out together with the
// dirty pages next to it in one write (the neighbours stay resident, now
// clean), and once memory is full, the whole pages of a read or write that
// are not resident pass between the caller's buffer and the swap file
// directly instead of pushing every resident page out on the way.

namespace {

// The most pages one write-back puts into the swap file.
constexpr int kRunPages = 64;
// The least free space a swap file leaves on its file system (or 5 % of
// it, when that is more).
constexpr int64_t kSwapReserve = int64_t(1) << 30;

}  // namespace

TArcVirtualMemoryStream::TArcVirtualMemoryStream() {
    auto first = std::make_unique<Page>();
    touch(*first);
    pages_.emplace(0, std::move(first));
    SetMaxMemToUse(0x800000);
}

TArcVirtualMemoryStream::~TArcVirtualMemoryStream() = default;

int TArcVirtualMemoryStream::SwapFileHandle() const {
    return swapStream_ ? swapStream_->Handle() : -1;
}

void TArcVirtualMemoryStream::unlink(Page& page) {
    (page.Newer ? page.Newer->Older : newest_) = page.Older;
    (page.Older ? page.Older->Newer : oldest_) = page.Newer;
    page.Newer = page.Older = nullptr;
}

void TArcVirtualMemoryStream::touch(Page& page) {
    if (newest_ == &page) return;
    if (page.Newer || oldest_ == &page) unlink(page);
    page.Older = newest_;
    (newest_ ? newest_->Newer : oldest_) = &page;
    newest_ = &page;
}

TArcVirtualMemoryStream::Page* TArcVirtualMemoryStream::residentPage(int64_t pageOffset) {
    const auto it = pages_.find(pageOffset);
    return it == pages_.end() ? nullptr : it->second.get();
}

void TArcVirtualMemoryStream::openSwapFile() {
    QString name;
    const int fd = CreateNewFileIn(SwapFileDirectory, name);
    if (fd < 0) throw EArcVMSErrorOpenSwap(AppendBackslash(SwapFileDirectory) + QStringLiteral("VMS"));
    // The swap file is only ever reached through its descriptor: one with a
    // name loses it at once, so a program killed with gigabytes spilled
    // leaves nothing behind, and nobody can open it by name.
    if (!name.isEmpty()) ::unlink(QFile::encodeName(name).constData());
    const QString folder = SwapFileDirectory.isEmpty() || !QFileInfo(SwapFileDirectory).isDir()
                               ? QDir::tempPath()
                               : SwapFileDirectory;
    swapFileName_ = name.isEmpty() ? AppendBackslash(folder) + QStringLiteral("VMS") : name;
    swapStream_ = std::make_unique<FileStream>(fd, swapFileName_);
    swapFileSize_ = 0;
}

void TArcVirtualMemoryStream::checkRoom(int64_t end) {
    if (end <= swapFileSize_) return;
    // Whatever the data, the temporary folder's file system keeps a reserve:
    // an endless download or a decompression bomb must not fill it.
    struct statvfs vfs {};
    if (::fstatvfs(swapStream_->Handle(), &vfs) != 0) return;
    const int64_t unit = int64_t(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
    const int64_t total = int64_t(vfs.f_blocks) * unit;
    const int64_t available = int64_t(vfs.f_bavail) * unit;
    const int64_t reserve = std::max<int64_t>(kSwapReserve, total / 20);
    if (available - (end - swapFileSize_) < reserve)
        throw StreamIoError(QStringLiteral("There is not enough space on the volume"), kErrorDiskFull);
}

void TArcVirtualMemoryStream::writeSwap(const uint8_t* data, int64_t count, int64_t offset) {
    if (!swapStream_) openSwapFile();
    checkRoom(offset + count);
    while (count > 0) {
        const ssize_t n = ::pwrite(swapStream_->Handle(), data, static_cast<size_t>(count), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EArcVMSWriteFail(kPageSize, swapFileName_);
        data += n;
        offset += n;
        count -= n;
    }
    swapFileSize_ = std::max(swapFileSize_, (offset + kPageSize - 1) / kPageSize * kPageSize);
}

void TArcVirtualMemoryStream::readSwap(uint8_t* data, int64_t count, int64_t offset) {
    while (count > 0) {
        const ssize_t n = ::pread(swapStream_->Handle(), data, static_cast<size_t>(count), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EArcVMSReadFail(kPageSize, swapFileName_);
        data += n;
        offset += n;
        count -= n;
    }
}

void TArcVirtualMemoryStream::writeBack(Page& page) {
    if (!page.Dirty) return;
    // The run of dirty resident pages around this one, in file order.
    int64_t first = page.Offset;
    for (int n = 1; n < kRunPages; ++n) {
        const Page* before = first >= kPageSize ? residentPage(first - kPageSize) : nullptr;
        if (!before || !before->Dirty) break;
        first -= kPageSize;
    }
    std::array<Page*, kRunPages> run{};
    std::array<iovec, kRunPages> parts{};
    int count = 0;
    for (Page* p = residentPage(first); p && p->Dirty && count < kRunPages;
         p = residentPage(p->Offset + kPageSize)) {
        run[count] = p;
        parts[count] = {p->Data.data(), static_cast<size_t>(kPageSize)};
        ++count;
    }
    if (!swapStream_) openSwapFile();
    checkRoom(first + int64_t(count) * kPageSize);
    int64_t offset = first;
    for (int at = 0; at < count;) {
        const ssize_t n = ::pwritev(swapStream_->Handle(), parts.data() + at, count - at, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EArcVMSWriteFail(kPageSize, swapFileName_);
        offset += n;
        for (size_t left = static_cast<size_t>(n); left > 0;) {
            const size_t take = std::min(left, parts[at].iov_len);
            parts[at].iov_base = static_cast<uint8_t*>(parts[at].iov_base) + take;
            parts[at].iov_len -= take;
            left -= take;
            if (parts[at].iov_len == 0) ++at;
        }
    }
    for (int i = 0; i < count; ++i)
        run[i]->Dirty = false;
    swapFileSize_ = std::max(swapFileSize_, offset);
}

std::unique_ptr<TArcVirtualMemoryStream::Page> TArcVirtualMemoryStream::evictOldest() {
    Page* victim = oldest_;
    if (!victim) return nullptr;
    // Written back before it leaves the table, so a failed write loses
    // nothing.
    writeBack(*victim);
    unlink(*victim);
    auto node = pages_.extract(victim->Offset);
    return std::move(node.mapped());
}

void TArcVirtualMemoryStream::SetMaxMemToUse(int64_t bytes) {
    int64_t pages = bytes <= 0 ? 1 : (bytes + kPageSize - 1) / kPageSize;
    pages = std::min<int64_t>(pages, kMaxPages);
    while (static_cast<int64_t>(pages_.size()) > pages)
        evictOldest();
    maxPages_ = static_cast<int>(pages);
}

TArcVirtualMemoryStream::Page* TArcVirtualMemoryStream::fetchPage(int64_t offset) {
    offset -= offset % kPageSize;
    if (newest_ && newest_->Offset == offset) return newest_;
    if (Page* page = residentPage(offset)) {
        touch(*page);
        return page;
    }

    std::unique_ptr<Page> page;
    if (static_cast<int>(pages_.size()) >= maxPages_) page = evictOldest();
    if (!page) page = std::make_unique<Page>();
    page->Offset = offset;
    page->Dirty = false;
    if (swapFileSize_ > offset)
        readSwap(page->Data.data(), kPageSize, offset);
    else
        page->Data.fill(0);
    touch(*page);
    return pages_.emplace(offset, std::move(page)).first->second.get();
}

int64_t TArcVirtualMemoryStream::passThroughRun(int64_t at, int64_t end) {
    if (at % kPageSize != 0 || end - at < kPageSize || !passesThrough() || residentPage(at))
        return 0;
    int64_t runEnd = at + kPageSize;
    while (end - runEnd >= kPageSize && !residentPage(runEnd))
        runEnd += kPageSize;
    return runEnd - at;
}

int64_t TArcVirtualMemoryStream::Read(void* buffer, int64_t count) {
    count = std::clamp<int64_t>(count, 0, std::max<int64_t>(0, size_ - position_));
    auto* out = static_cast<uint8_t*>(buffer);
    const int64_t end = position_ + count;
    int64_t done = 0;
    while (done < count) {
        const int64_t at = position_ + done;
        if (const int64_t run = passThroughRun(at, end)) {
            // Beyond the swap file's end lie pages never written back: zeros.
            const int64_t stored = std::clamp<int64_t>(swapFileSize_ - at, 0, run);
            if (stored > 0) readSwap(out + done, stored, at);
            std::memset(out + done + stored, 0, static_cast<size_t>(run - stored));
            done += run;
            continue;
        }
        const int64_t inPage = at % kPageSize;
        const int64_t n = std::min(count - done, kPageSize - inPage);
        const Page* page = fetchPage(at);
        std::memcpy(out + done, page->Data.data() + inPage, static_cast<size_t>(n));
        done += n;
    }
    position_ += count;
    return count;
}

int64_t TArcVirtualMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    const int64_t end = position_ + count;
    int64_t done = 0;
    while (done < count) {
        const int64_t at = position_ + done;
        if (const int64_t run = passThroughRun(at, end)) {
            writeSwap(in + done, run, at);
            done += run;
            continue;
        }
        const int64_t inPage = at % kPageSize;
        const int64_t n = std::min(count - done, kPageSize - inPage);
        Page* page = fetchPage(at);
        std::memcpy(page->Data.data() + inPage, in + done, static_cast<size_t>(n));
        page->Dirty = true;
        done += n;
    }
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
}

int64_t TArcVirtualMemoryStream::Seek(int64_t offset, int origin) {
    int64_t target = 0;
    switch (origin) {
        case soBeginning:
            target = offset;
            break;
        case soCurrent:
            target = position_ + offset;
            break;
        case soEnd:
            target = size_ + offset;
            break;
        default:
            throw EArcVMSInvalidOrigin(origin);
    }
    if (target < 0)
        throw StreamIoError(QStringLiteral("Seek before the start of the stream"),
                            kErrorNegativeSeek);
    position_ = target;
    return position_;
}

void TArcVirtualMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0)
        throw StreamIoError(QStringLiteral("Negative stream size"), kErrorNegativeSeek);
    if (newSize < size_) {
        // The page at 0 stays, so memory never runs empty.
        for (auto it = pages_.begin(); it != pages_.end();) {
            if (it->first >= newSize && it->first != 0) {
                unlink(*it->second);
                it = pages_.erase(it);
            } else {
                ++it;
            }
        }
        const int64_t keptSwap = (newSize + kPageSize - 1) / kPageSize * kPageSize;
        swapFileSize_ = std::min(swapFileSize_, keptSwap);
        // The swap file is cut as well: once a later page lands beyond the
        // new end, the pages in between must read as zeros, not as the
        // bytes they held before the cut.
        if (swapStream_) swapStream_->SetSize(swapFileSize_);
        // The page the new end falls in keeps no stale bytes behind it, so
        // growing the stream again reads zeros there.
        const int64_t inPage = newSize % kPageSize;
        if (inPage != 0) {
            Page* page = fetchPage(newSize);
            std::fill(page->Data.begin() + inPage, page->Data.end(), uint8_t(0));
            page->Dirty = true;
        } else if (newSize == 0) {
            Page* page = fetchPage(0);
            page->Data.fill(0);
            page->Dirty = true;
        }
        // Memory always holds a page; the first one is read back from the
        // swap file when it was moved out.
        if (pages_.empty()) fetchPage(0);
    }
    size_ = newSize;
    position_ = std::min(position_, size_);
}

// ------------------------------------------------------------- discard stream

TArcBitBucketStream::TArcBitBucketStream(int size) {
    if (size != 4096 && size != 8192 && size != 32768) size = 32768;
    buffer_.assign(static_cast<size_t>(size) + 1024, 0);
}

int64_t TArcBitBucketStream::Write(const void* buffer, int64_t count) {
    // Even an empty write moves the reading point back to the end.
    count = std::max<int64_t>(count, 0);
    const auto* in = static_cast<const uint8_t*>(buffer);
    const int64_t ring = BufSize();
    // Only the last ring's worth survives; everything before it merely
    // advances the tail.
    int64_t skip = std::max<int64_t>(0, count - ring);
    tail_ = (tail_ + skip) % ring;
    for (int64_t done = skip; done < count;) {
        const int64_t n = std::min(count - done, ring - tail_);
        std::memcpy(buffer_.data() + tail_, in + done, static_cast<size_t>(n));
        tail_ = (tail_ + n) % ring;
        done += n;
    }
    size_ += count;
    posn_ = size_;
    bufPosn_ = tail_;
    return count;
}

int64_t TArcBitBucketStream::Read(void* buffer, int64_t count) {
    const int64_t ring = BufSize();
    if (count > ring) throw EArcBBSReadTooManyBytes(count);
    if (count <= 0) return 0;
    const int64_t available = tail_ >= bufPosn_ ? tail_ - bufPosn_ : tail_ + ring - bufPosn_;
    if (available < count) throw EArcBBSReadTooManyBytes(count);
    auto* out = static_cast<uint8_t*>(buffer);
    const int64_t first = std::min(count, ring - bufPosn_);
    std::memcpy(out, buffer_.data() + bufPosn_, static_cast<size_t>(first));
    if (first < count) std::memcpy(out + first, buffer_.data(), static_cast<size_t>(count - first));
    bufPosn_ = (bufPosn_ + count) % ring;
    posn_ += count;
    return count;
}

int64_t TArcBitBucketStream::Seek(int64_t offset, int origin) {
    int64_t target = 0;
    switch (origin) {
        case soBeginning:
            target = offset;
            break;
        case soCurrent:
            target = posn_ + offset;
            break;
        case soEnd:
            if (offset == 0) {
                bufPosn_ = tail_;
                posn_ = size_;
                return posn_;
            }
            target = size_ + offset;
            break;
        default:
            throw EArcBBSInvalidOrigin();
    }
    const int64_t ring = BufSize();
    if (target > size_ || target <= size_ - ring || target < 0) throw EArcBBSSeekOutsideBuffer();
    posn_ = target;
    bufPosn_ = tail_ - (size_ - target);
    if (bufPosn_ < 0) bufPosn_ += ring;
    return posn_;
}

}  // namespace tandex::archive
