#pragma once
// The in-memory file of a slot: downloaded, extracted or pending content.
// Positions are 64-bit throughout; the stream grows on demand.

#include <QByteArray>
#include <QIODevice>
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

// Lets a download write into a stream; a write the memory cannot take
// fails the transfer instead of throwing through the network code.
class TFZStreamDevice : public QIODevice {
public:
    explicit TFZStreamDevice(TFZMemStream& stream) : stream_(stream) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 count) override;

private:
    TFZMemStream& stream_;
};

}  // namespace tandex::access
