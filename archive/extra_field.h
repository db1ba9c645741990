#pragma once
// A block of tagged records as zip extra fields and gzip FEXTRA subfields
// store them: a 16-bit tag, a 16-bit length and that many bytes, repeated,
// little-endian. The block is kept as raw bytes; records are found by
// walking it from the start.

#include "archive/streams.h"

#include <QByteArray>
#include <cstdint>
#include <memory>

namespace tandex::archive {

class TArcExtraField {
public:
    // The most bytes a block may hold: its length is stored in 16 bits.
    static constexpr int kMaxBlockSize = 0xFFFF;

    TArcExtraField() = default;
    virtual ~TArcExtraField() = default;
    TArcExtraField(const TArcExtraField&) = delete;
    TArcExtraField& operator=(const TArcExtraField&) = delete;

    const QByteArray& Buffer() const { return buffer_; }

    void Assign(const TArcExtraField& other);
    void Clear();
    void CloneFrom(TArcExtraField& other, uint16_t tag);
    int Count();
    void Delete(uint16_t tag);
    // The first record with the tag: its data (pointing into the buffer,
    // valid until the next change) and length. Absent: false, null, 0.
    bool Get(uint16_t tag, const uint8_t*& data, uint16_t& size);
    // A copy of the record's data in a new memory stream at position 0.
    bool GetStream(uint16_t tag, std::unique_ptr<MemoryStream>& stream);
    bool Has(uint16_t tag);
    // Exactly size bytes from the stream; no change notification.
    void LoadFromStream(Stream& stream, int64_t size);
    // Raises EArcException, leaving the block unchanged, when the data or
    // the resulting block would not fit a 16-bit length.
    void Put(uint16_t tag, const void* data, int64_t size);
    void SetBuffer(const QByteArray& bytes);

protected:
    // Called after every modification.
    virtual void Changed() {}

private:
    // Offset of the first record with the tag, or -1. Repairs a truncated
    // last record's length on the way.
    qsizetype findRecord(uint16_t tag);
    void removeAt(qsizetype offset);

    QByteArray buffer_;
};

}  // namespace tandex::archive
