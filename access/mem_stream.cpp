#include "access/mem_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tandex::access {

bool TFZMemStream::seek(qint64 position) {
    if (position < 0) return false;
    pos_ = position;
    return true;
}

qint64 TFZMemStream::read(void* buffer, qint64 count) {
    if (count <= 0 || pos_ >= data_.size()) return 0;
    const qint64 n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.constData() + pos_, size_t(n));
    pos_ += n;
    return n;
}

qint64 TFZMemStream::write(const void* buffer, qint64 count) {
    if (count <= 0) return 0;
    if (pos_ > std::numeric_limits<qsizetype>::max() - count) throw std::bad_alloc();
    const qint64 end = pos_ + count;
    // Only a gap behind the end is filled; the written part is copied over
    // once, not cleared first.
    if (pos_ > data_.size()) data_.resize(qsizetype(pos_), '\0');
    if (end > data_.size()) data_.resize(qsizetype(end));
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ = end;
    return count;
}

void TFZMemStream::reserve(qint64 bytes) {
    if (bytes > data_.capacity()) data_.reserve(qsizetype(bytes));
}

void TFZMemStream::clear() {
    data_.clear();
    data_.squeeze();
    pos_ = 0;
}

qint64 TFZStreamDevice::writeData(const char* data, qint64 count) {
    try {
        return stream_.write(data, count);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace tandex::access
