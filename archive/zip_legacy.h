#pragma once
// Decoders of the legacy zip methods: 1 (shrunk: dynamic LZW with partial
// clearing), 2 to 5 (reduced with factors 1 to 4: follower sets and an
// escape-coded LZ77 stage) and 6 (imploded: Shannon-Fano coded LZ77).
// They are only ever read; no method here is written by the library.
//
// Bits come least significant first. Methods 2 to 6 copy from earlier
// output; a sliding window over the target keeps the last 32 to 40 KB of
// it readable, so the target itself never has to be read back. Every
// decoder stops at the uncompressed size or at the end of the input
// (the CRC check afterwards reports a short item), and refuses damaged
// data that would reach outside its tables with EArcZipInvalid.

#include "archive/streams.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tandex::archive {

class TArcSlidingWindowStream : public Stream {
public:
    static constexpr int kChunkSize = 8192;
    static constexpr int kChunkCount = 5;
    static constexpr int kMaxTransfer = 32768;

    // Positions the underlying stream at its start.
    explicit TArcSlidingWindowStream(Stream& target);
    // Flushes a dirty window; a failure there is lost, so callers Flush.
    ~TArcSlidingWindowStream() override;

    // Only at the end of the data, at most 32768 bytes per call.
    int64_t Write(const void* buffer, int64_t count) override;
    // At most 32768 bytes, never past the size.
    int64_t Read(void* buffer, int64_t count) override;
    // Only into the window: from the offset of its oldest chunk to the end.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return size_; }

    void Flush();
    // The byte at an absolute position inside the window.
    uint8_t ByteAt(int64_t position) const;

private:
    void writeChunk(int index);
    void advance();

    Stream& target_;
    std::array<std::unique_ptr<uint8_t[]>, kChunkCount> chunks_;
    int64_t firstOffset_ = -4 * kChunkSize;  // file offset of chunk 0
    int64_t position_ = 0;
    int64_t size_ = 0;
    int lastFill_ = 0;  // bytes in chunk 4
    bool dirty_ = false;
};

class TArcUnzipHelper {
public:
    TArcUnzipHelper(Stream& input, Stream& output);

    uint64_t UncompressedSize = 0;
    uint8_t Method = 8;
    int ImplodeDictionarySize = 0;  // 4096 or 8192 for method 6
    int ImplodeTreeCount = 0;       // 2 or 3 for method 6

    // Decodes by method; the output is flushed whatever happens.
    void UnzipHelperRun();

private:
    static constexpr int kInputBufferSize = 4096;
    static constexpr int kOutputBufferSize = 32768;

    uint32_t readBits(int count);
    void putByte(uint8_t byte);
    void flushOutput();
    uint8_t byteBack(uint64_t distance) const;
    void copyBack(uint64_t distance, uint64_t length);
    bool done() const { return endOfInput_ || produced_ >= UncompressedSize; }

    void unshrink();
    void unreduce();
    void explode();

    struct Tree;
    void readTree(Tree& tree, int size);
    int decodeSymbol(const Tree& tree);

    Stream& input_;
    Stream& output_;
    std::array<uint8_t, kInputBufferSize> inBuffer_{};
    int inFill_ = 0;
    int inPos_ = 0;
    uint64_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool endOfInput_ = false;
    std::vector<uint8_t> outBuffer_;
    uint64_t sent_ = 0;      // bytes handed to the writer
    uint64_t produced_ = 0;  // bytes decoded
    Stream* writer_ = nullptr;
    std::unique_ptr<TArcSlidingWindowStream> window_;
};

}  // namespace tandex::archive
