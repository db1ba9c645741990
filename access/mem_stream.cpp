#include "access/mem_stream.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "archive/spill_streams.h"

#include <sys/mman.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace tandex::access {

namespace {

constexpr qint64 kSmallestBlock = 65536;
constexpr qint64 kHugePage = qint64(2) << 20;
constexpr qint64 kSpillCache = qint64(1) << 20;

qint64 roundUp(qint64 value, qint64 unit) {
    return (value + unit - 1) / unit * unit;
}

}  // namespace

TFZMemStream::TFZMemStream() = default;

TFZMemStream::TFZMemStream(TFZMemStream&& other) noexcept
    : data_(other.data_),
      capacity_(other.capacity_),
      spill_(std::move(other.spill_)),
      pos_(other.pos_),
      size_(other.size_) {
    other.data_ = nullptr;
    other.capacity_ = other.pos_ = other.size_ = 0;
}

TFZMemStream::~TFZMemStream() {
    release();
}

void TFZMemStream::release() {
    if (data_ && capacity_ >= kHugePage)
        ::munmap(data_, size_t(capacity_));
    else
        std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
}

void TFZMemStream::grow(qint64 bytes) {
    if (bytes <= capacity_) return;
    qint64 wanted = std::max({bytes, capacity_ * 2, kSmallestBlock});
    wanted = std::min(wanted, std::max(bytes, FZMemStreamLimit));
    if (wanted < kHugePage) {
        // Small files come and go by the thousand in a copy run: the heap
        // serves them without a system call each.
        void* p = std::realloc(data_, size_t(wanted));
        if (!p) throw std::bad_alloc();
        data_ = static_cast<char*>(p);
        capacity_ = wanted;
        return;
    }
    wanted = roundUp(wanted, kHugePage);
    void* p = MAP_FAILED;
    if (capacity_ >= kHugePage) {
        p = ::mremap(data_, size_t(capacity_), size_t(wanted), MREMAP_MAYMOVE);
    } else {
        p = ::mmap(nullptr, size_t(wanted), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
        if (p != MAP_FAILED && size_ > 0) std::memcpy(p, data_, size_t(size_));
        if (p != MAP_FAILED) std::free(data_);
    }
    if (p == MAP_FAILED) throw std::bad_alloc();
    ::madvise(p, size_t(wanted), MADV_HUGEPAGE);
    data_ = static_cast<char*>(p);
    capacity_ = wanted;
}

bool TFZMemStream::seek(qint64 position) {
    if (position < 0) return false;
    pos_ = position;
    return true;
}

qint64 TFZMemStream::read(void* buffer, qint64 count) {
    if (count <= 0 || pos_ >= size_) return 0;
    const qint64 n = std::min(count, size_ - pos_);
    if (spill_) {
        spill_->Seek(pos_, archive::soBeginning);
        const qint64 got = spill_->Read(buffer, n);
        pos_ += got;
        return got;
    }
    std::memcpy(buffer, data_ + pos_, size_t(n));
    pos_ += n;
    return n;
}

void TFZMemStream::spill() {
    // Everything moves at once: the swap file is the one home of the content
    // from now on, and memory is given back before it grows any further.
    auto target = std::make_unique<archive::TArcVirtualMemoryStream>();
    target->SwapFileDirectory = FZTempFolder();
    // A slot's file is written and read front to back: a small cache does
    // as well as a large one, and every page evicted searches it.
    target->SetMaxMemToUse(kSpillCache);
    target->WriteBuffer(data_, size_);
    spill_ = std::move(target);
    release();
}

qint64 TFZMemStream::write(const void* buffer, qint64 count) {
    if (count <= 0) return 0;
    if (pos_ > std::numeric_limits<qint64>::max() - count) throw std::bad_alloc();
    const qint64 end = pos_ + count;
    if (!spill_ && end > FZMemStreamLimit) spill();
    if (spill_) {
        spill_->Seek(pos_, archive::soBeginning);
        spill_->WriteBuffer(buffer, count);
        pos_ = end;
        size_ = std::max(size_, end);
        return count;
    }
    grow(end);
    if (pos_ > size_) std::memset(data_ + size_, 0, size_t(pos_ - size_));
    std::memcpy(data_ + pos_, buffer, size_t(count));
    pos_ = end;
    size_ = std::max(size_, end);
    return count;
}

int64_t TFZMemStream::Seek(int64_t offset, int origin) {
    qint64 target = offset;
    if (origin == archive::soCurrent)
        target = pos_ + offset;
    else if (origin == archive::soEnd)
        target = size_ + offset;
    else if (origin != archive::soBeginning)
        throw archive::StreamIoError(QStringLiteral("Invalid seek origin"),
                                     archive::kErrorInvalidParameter);
    if (target < 0)
        throw archive::StreamIoError(QStringLiteral("Negative seek"), archive::kErrorNegativeSeek);
    pos_ = target;
    return pos_;
}

void TFZMemStream::SetSize(int64_t newSize) {
    if (newSize < 0) throw archive::StreamFilerError(QStringLiteral("Stream write error"));
    if (!spill_ && newSize > FZMemStreamLimit) spill();
    if (spill_) {
        spill_->SetSize(newSize);
    } else if (newSize > size_) {
        grow(newSize);
        std::memset(data_ + size_, 0, size_t(newSize - size_));
    }
    size_ = newSize;
    pos_ = std::min(pos_, size_);
}

void TFZMemStream::reserve(qint64 bytes) {
    if (!spill_) grow(std::min(bytes, FZMemStreamLimit));
}

void TFZMemStream::clear() {
    spill_.reset();
    release();
    pos_ = size_ = 0;
}

int FZStreamErrorCode(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return errNotEnoughMemory;
    } catch (const archive::StreamIoError& e) {
        return e.ErrorCode() ? e.ErrorCode() : errArchive;
    } catch (const archive::Exception& e) {
        FZSetLastMessage(e.Message());
        return FZArchiveCode(e.Message());
    } catch (const std::exception& e) {
        FZSetLastMessage(QString::fromLocal8Bit(e.what()));
        return errArchive;
    }
    return errArchive;
}

qint64 TFZStreamDevice::readData(char* data, qint64 count) {
    try {
        stream_.seek(pos());
        return stream_.read(data, count);
    } catch (const std::exception&) {
        return -1;
    }
}

qint64 TFZStreamDevice::writeData(const char* data, qint64 count) {
    try {
        return stream_.write(data, count);
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace tandex::access
