#include "archive/spill_streams.h"

#include "archive/archive_utils.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>

namespace tandex::archive {

// ------------------------------------------------------ virtual memory stream

TArcVirtualMemoryStream::TArcVirtualMemoryStream() {
    pages_.push_back(std::make_unique<Page>());
    cachePage_ = pages_.front().get();
    SetMaxMemToUse(0x800000);
}

TArcVirtualMemoryStream::~TArcVirtualMemoryStream() {
    swapStream_.reset();
    if (!swapFileName_.isEmpty()) QFile::remove(swapFileName_);
}

int32_t TArcVirtualMemoryStream::nextStamp() {
    if (useCounter_ == INT32_MAX) {
        for (auto& page : pages_)
            page->Stamp = 0;
        useCounter_ = 0;
    }
    return ++useCounter_;
}

size_t TArcVirtualMemoryStream::leastRecentlyUsed() const {
    size_t lru = 0;
    for (size_t i = 1; i < pages_.size(); ++i)
        if (pages_[i]->Stamp < pages_[lru]->Stamp) lru = i;
    return lru;
}

void TArcVirtualMemoryStream::openSwapFile() {
    int fd = -1;
    const QString name = CreateTempFileIn(SwapFileDirectory, &fd);
    if (name.isEmpty())
        throw EArcVMSErrorOpenSwap(AppendBackslash(SwapFileDirectory) + QStringLiteral("VMS"));
    // The descriptor of the exclusive creation is kept: reopening by name
    // could open a file someone put there in between.
    swapStream_ = std::make_unique<FileStream>(fd, name);
    swapFileName_ = name;
    swapFileSize_ = 0;
}

void TArcVirtualMemoryStream::writeBack(Page& page) {
    if (!page.Dirty) return;
    if (!swapStream_) openSwapFile();
    try {
        swapStream_->Seek(page.Offset, soBeginning);
    } catch (const StreamError&) {
        throw EArcVMSSeekFail(swapFileName_);
    }
    int64_t written = 0;
    try {
        written = swapStream_->Write(page.Data.data(), kPageSize);
    } catch (const StreamError&) {
        written = -1;
    }
    if (written != kPageSize) throw EArcVMSWriteFail(kPageSize, swapFileName_);
    page.Dirty = false;
    swapFileSize_ = std::max(swapFileSize_, page.Offset + kPageSize);
}

void TArcVirtualMemoryStream::SetMaxMemToUse(int64_t bytes) {
    int64_t pages = bytes <= 0 ? 1 : (bytes + kPageSize - 1) / kPageSize;
    pages = std::min<int64_t>(pages, kMaxPages);
    while (static_cast<int64_t>(pages_.size()) > pages) {
        const size_t lru = leastRecentlyUsed();
        writeBack(*pages_[lru]);
        pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(lru));
        cachePage_ = pages_.front().get();
    }
    maxPages_ = static_cast<int>(pages);
}

TArcVirtualMemoryStream::Page* TArcVirtualMemoryStream::fetchPage(int64_t offset) {
    offset -= offset % kPageSize;
    auto at =
        std::lower_bound(pages_.begin(), pages_.end(), offset,
                         [](const std::unique_ptr<Page>& p, int64_t o) { return p->Offset < o; });
    if (at != pages_.end() && (*at)->Offset == offset) {
        (*at)->Stamp = nextStamp();
        cachePage_ = at->get();
        return cachePage_;
    }

    std::unique_ptr<Page> page;
    if (static_cast<int>(pages_.size()) < maxPages_) {
        page = std::make_unique<Page>();
    } else {
        // Write the victim back before taking it out of the list, so a
        // failed write loses nothing.
        const size_t lru = leastRecentlyUsed();
        writeBack(*pages_[lru]);
        page = std::move(pages_[lru]);
        pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(lru));
        cachePage_ = pages_.empty() ? nullptr : pages_.front().get();
    }
    page->Offset = offset;
    page->Stamp = nextStamp();
    page->Dirty = false;
    if (swapStream_ && swapFileSize_ > offset) {
        try {
            swapStream_->Seek(offset, soBeginning);
        } catch (const StreamError&) {
            throw EArcVMSSeekFail(swapFileName_);
        }
        int64_t got = 0;
        try {
            got = swapStream_->Read(page->Data.data(), kPageSize);
        } catch (const StreamError&) {
            got = -1;
        }
        if (got != kPageSize) throw EArcVMSReadFail(kPageSize, swapFileName_);
    } else {
        page->Data.fill(0);
    }
    at = std::lower_bound(pages_.begin(), pages_.end(), offset,
                          [](const std::unique_ptr<Page>& p, int64_t o) { return p->Offset < o; });
    cachePage_ = pages_.insert(at, std::move(page))->get();
    return cachePage_;
}

int64_t TArcVirtualMemoryStream::Read(void* buffer, int64_t count) {
    count = std::clamp<int64_t>(count, 0, std::max<int64_t>(0, size_ - position_));
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t at = position_ + done;
        const int64_t inPage = at % kPageSize;
        const int64_t n = std::min(count - done, kPageSize - inPage);
        Page* page = cachePage_ && cachePage_->Offset == at - inPage ? cachePage_ : fetchPage(at);
        std::memcpy(out + done, page->Data.data() + inPage, static_cast<size_t>(n));
        done += n;
    }
    position_ += count;
    return count;
}

int64_t TArcVirtualMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t at = position_ + done;
        const int64_t inPage = at % kPageSize;
        const int64_t n = std::min(count - done, kPageSize - inPage);
        Page* page = cachePage_ && cachePage_->Offset == at - inPage ? cachePage_ : fetchPage(at);
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
        while (!pages_.empty() && pages_.back()->Offset >= newSize && pages_.back()->Offset != 0)
            pages_.pop_back();
        cachePage_ = nullptr;
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
        // The cache always holds a page; the first one is read back from
        // the swap file when it was moved out.
        cachePage_ = pages_.empty() ? fetchPage(0) : pages_.front().get();
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
