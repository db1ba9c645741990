#include "archive/extra_field.h"

#include <cstring>

namespace tandex::archive {

namespace {

uint16_t get16(const QByteArray& b, qsizetype at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) |
                                 (static_cast<uint8_t>(b[at + 1]) << 8));
}

void put16(QByteArray& b, qsizetype at, uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace

// Visits records while four header bytes remain; a last record that claims
// more data than the block holds gets its stored length cut to what is
// there, so nothing is ever read past the end.
qsizetype TArcExtraField::findRecord(uint16_t tag) {
    qsizetype at = 0;
    while (buffer_.size() - at >= 4) {
        const qsizetype remaining = buffer_.size() - at - 4;
        uint16_t n = get16(buffer_, at + 2);
        if (n > remaining) {
            n = static_cast<uint16_t>(remaining);
            put16(buffer_, at + 2, n);
        }
        if (get16(buffer_, at) == tag) return at;
        at += 4 + n;
    }
    return -1;
}

void TArcExtraField::removeAt(qsizetype offset) {
    buffer_.remove(offset, 4 + get16(buffer_, offset + 2));
}

void TArcExtraField::Assign(const TArcExtraField& other) {
    SetBuffer(other.buffer_);
}

void TArcExtraField::Clear() {
    buffer_.clear();
    Changed();
}

void TArcExtraField::CloneFrom(TArcExtraField& other, uint16_t tag) {
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    if (other.Get(tag, data, size)) {
        const QByteArray copy(reinterpret_cast<const char*>(data), size);  // other may be this
        Put(tag, copy.constData(), copy.size());
    } else {
        Delete(tag);
    }
}

int TArcExtraField::Count() {
    int count = 0;
    qsizetype at = 0;
    while (buffer_.size() - at >= 4) {
        const qsizetype remaining = buffer_.size() - at - 4;
        if (get16(buffer_, at + 2) > remaining)
            put16(buffer_, at + 2, static_cast<uint16_t>(remaining));
        ++count;
        at += 4 + get16(buffer_, at + 2);
    }
    return count;
}

void TArcExtraField::Delete(uint16_t tag) {
    const qsizetype at = findRecord(tag);
    if (at < 0) return;
    removeAt(at);
    Changed();
}

bool TArcExtraField::Get(uint16_t tag, const uint8_t*& data, uint16_t& size) {
    const qsizetype at = findRecord(tag);
    if (at < 0) {
        data = nullptr;
        size = 0;
        return false;
    }
    size = get16(buffer_, at + 2);
    data = reinterpret_cast<const uint8_t*>(buffer_.constData()) + at + 4;
    return true;
}

bool TArcExtraField::GetStream(uint16_t tag, std::unique_ptr<MemoryStream>& stream) {
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    if (!Get(tag, data, size)) return false;
    stream = std::make_unique<MemoryStream>(QByteArray(reinterpret_cast<const char*>(data), size));
    return true;
}

bool TArcExtraField::Has(uint16_t tag) {
    return findRecord(tag) >= 0;
}

void TArcExtraField::LoadFromStream(Stream& stream, int64_t size) {
    if (size < 0 || size > kMaxBlockSize)
        throw StreamFilerError(QStringLiteral("Stream read error"));
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    stream.ReadBuffer(bytes.data(), size);
    buffer_ = std::move(bytes);
}

void TArcExtraField::Put(uint16_t tag, const void* data, int64_t size) {
    if (size < 0 || size > kMaxBlockSize)
        throw EArcException(QStringLiteral("Extra field data too long"));
    const qsizetype at = findRecord(tag);
    if (at >= 0 && get16(buffer_, at + 2) == size) {
        if (size > 0) std::memcpy(buffer_.data() + at + 4, data, static_cast<size_t>(size));
        Changed();
        return;
    }
    const qsizetype kept = buffer_.size() - (at >= 0 ? 4 + get16(buffer_, at + 2) : 0);
    if (kept + 4 + size > kMaxBlockSize)
        throw EArcException(QStringLiteral("Extra field data too long"));
    // The data may come from this block (a pointer that Get handed out):
    // copy it before the buffer moves under it.
    const QByteArray copy(static_cast<const char*>(data), static_cast<qsizetype>(size));
    data = copy.constData();
    if (at >= 0) removeAt(at);
    const qsizetype end = buffer_.size();
    buffer_.resize(end + 4 + static_cast<qsizetype>(size));
    put16(buffer_, end, tag);
    put16(buffer_, end + 2, static_cast<uint16_t>(size));
    if (size > 0) std::memcpy(buffer_.data() + end + 4, data, static_cast<size_t>(size));
    Changed();
}

void TArcExtraField::SetBuffer(const QByteArray& bytes) {
    buffer_ = bytes;
    Changed();
}

}  // namespace tandex::archive
