#pragma once
// Deflate: compresses the rest of a source stream into a destination
// stream as one deflate (or Deflate64) stream and returns the checksum of
// the input. The source must allow seeking: stored blocks re-read their
// bytes from it.

#include "archive/deflate_support.h"
#include "archive/streams.h"

#include <cstdint>
#include <vector>

namespace tandex::archive {

// The bytes the compressor looks at: the window behind the current
// position (for matches) and the lookahead in front of it, with hash
// chains over 3-byte prefixes.
class TArcDfInputWindow {
public:
    TArcDfInputWindow(Stream& source, bool crc32, bool deflate64, qint32 chainLimit,
                      qint32 windowBytes, int64_t inputSize, const TArcDeflateProgress* progress);

    // Inserts the current position into the hash chains and looks for a
    // match longer than pendingLength. The current byte comes back either
    // way, for the literal.
    bool SearchMatch(int sufficientLength, int pendingLength, int& length, int& distance,
                     quint8& currentByte);
    void StepOne() {
        ++cur_;
        afterStep(1, false);
    }
    void StepMany(int advance, int hashCount);
    // Bytes ahead of the current position, at most 3.
    int LookaheadCount() const { return std::min(3, lookEnd_ - cur_); }
    quint8 TakeByte();
    int64_t SourceOffset() const { return bufferBase_ + cur_; }
    void ReadSourceAt(void* buffer, int count, int64_t offset);
    quint32 Checksum() const { return crc32_ ? ~checksum_ : checksum_; }
    void SetChainLimit(qint32 limit) { chainLimit_ = limit; }
    int64_t BytesRead() const { return bytesRead_; }

private:
    void afterStep(int advance, bool many);
    void insert(int pos) {
        hash_ = ((hash_ << 5) ^ buffer_[size_t(pos + 2)]) & 0x3FFF;
        chain_[size_t((pos + baseMod_) & windowMask_)] = head_[hash_];
        head_[hash_] = pos;
    }
    void slideWindow();
    void loadInput();

    Stream& source_;
    int64_t sourceStart_;
    bool crc32_;
    quint32 checksum_;
    int longestMatch_;
    qint32 chainLimit_;
    int windowBytes_;
    int windowMask_;
    std::vector<quint8> buffer_;
    int bufferEnd_;
    int windowStart_ = 0;
    int cur_ = 0;
    int lookEnd_ = 0;
    int64_t bufferBase_ = 0;  // input offset of buffer_[0]
    int baseMod_ = 0;         // bufferBase_ modulo the window, for chain slots
    quint32 hash_ = 0;
    std::vector<qint32> head_;
    std::vector<qint32> chain_;
    bool moreInput_ = true;
    int64_t bytesRead_ = 0;
    const TArcDeflateProgress* progress_;
    int64_t inputSize_;
    int64_t stepped_ = 0;
};

// Compresses from the source's position to its end. Options and result
// sizes through the helper. Raises EArcDeflateError when the output cannot
// be written; read errors of the source pass through.
quint32 Deflate(Stream& source, Stream& destination, TArcDeflateHelper* helper = nullptr);

}  // namespace tandex::archive
