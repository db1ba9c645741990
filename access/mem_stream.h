#pragma once
// The in-memory file of a slot: downloaded, extracted or pending content.
// Positions are 64-bit throughout; the stream grows on demand.

#include <QByteArray>
#include <QtGlobal>

namespace tandex::access {

class TFZMemStream {
public:
    qint64 size() const { return data_.size(); }
    qint64 position() const { return pos_; }
    // Any position from 0 on, also behind the end (a write there fills the
    // gap with zeros); false for a negative one.
    bool seek(qint64 position);
    qint64 read(void* buffer, qint64 count);
    // Throws std::bad_alloc when the memory runs out.
    qint64 write(const void* buffer, qint64 count);
    // Room for that many bytes, so that the writes that follow do not grow
    // the stream step by step; the content and size stay as they are.
    void reserve(qint64 bytes);
    void clear();
    const QByteArray& data() const { return data_; }

private:
    QByteArray data_;
    qint64 pos_ = 0;
};

}  // namespace tandex::access
