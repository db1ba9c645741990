#include "access/mem_stream.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "archive/spill_streams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tandex::access {

TFZMemStream::TFZMemStream() = default;

TFZMemStream::TFZMemStream(TFZMemStream&& other) noexcept
    : data_(std::move(other.data_)),
      spill_(std::move(other.spill_)),
      pos_(other.pos_),
      size_(other.size_) {
    other.data_ = QByteArray();
    other.pos_ = other.size_ = 0;
}

TFZMemStream::~TFZMemStream() = default;

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
    std::memcpy(buffer, data_.constData() + pos_, size_t(n));
    pos_ += n;
    return n;
}

void TFZMemStream::spill() {
    // Everything moves at once: the swap file is the one home of the content
    // from now on, and memory is given back before it grows any further.
    auto target = std::make_unique<archive::TArcVirtualMemoryStream>();
    target->SwapFileDirectory = FZTempFolder();
    target->WriteBuffer(data_.constData(), data_.size());
    spill_ = std::move(target);
    data_ = QByteArray();
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
    // Only a gap behind the end is filled; the written part is copied over
    // once, not cleared first.
    if (pos_ > data_.size()) data_.resize(qsizetype(pos_), '\0');
    if (end > data_.size()) data_.resize(qsizetype(end));
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ = end;
    size_ = data_.size();
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
    } else {
        data_.resize(qsizetype(newSize), '\0');
    }
    size_ = newSize;
    pos_ = std::min(pos_, size_);
}

void TFZMemStream::reserve(qint64 bytes) {
    bytes = std::min(bytes, FZMemStreamLimit);
    if (!spill_ && bytes > data_.capacity()) data_.reserve(qsizetype(bytes));
}

void TFZMemStream::clear() {
    spill_.reset();
    data_ = QByteArray();
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

}  // namespace tandex::access
