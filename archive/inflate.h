#pragma once
// Inflate: one deflate or Deflate64 stream from a source stream into a
// destination stream, returning the checksum of what was produced.
//
// The input is hostile. Every code set is checked before a table is built
// from it, every table entry that no code reaches reads as an error, every
// copy distance is checked against the history actually produced, and
// reading past the end of the data is an error rather than an endless run
// of zero bits. Memory is bounded by the window whatever the input says.

#include "archive/deflate_support.h"
#include "archive/streams.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tandex::archive {

// Reads the compressed data 16 KiB at a time and hands out bits least
// significant first. When destroyed it puts back what it read ahead, so the
// source stands right after the last byte of the deflate data.
class TArcDfInBitStream {
public:
    TArcDfInBitStream(Stream& source, int64_t inputSize, const TArcDeflateProgress* progress);
    ~TArcDfInBitStream();
    TArcDfInBitStream(const TArcDfInBitStream&) = delete;
    TArcDfInBitStream& operator=(const TArcDfInBitStream&) = delete;

    quint32 ReadBit();
    quint32 ReadBits(int n);  // 1..16
    // Up to 32 bits; bits past the end of the data read as 0 so that the
    // last code can be looked up, but consuming them is an error.
    quint32 PeekBits(int n) {
        ensure(n);
        return quint32(bits_) & quint32((uint64_t(1) << n) - 1);
    }
    void DiscardBits(int n) {
        bits_ >>= n;
        bitCount_ -= n;
        if (zeroBits_ && bitCount_ < zeroBits_) overrun("[TArcDfInBitStream.DiscardBits]");
    }
    void DiscardMoreBits(int n);  // 1..32
    void AlignToByte();
    void ReadBuffer(void* buffer, int64_t count);
    bool RefillBuffer();
    // Puts back what was read ahead; also done by the destructor.
    void ReturnUnusedInput();
    // Fails when the last code reached into the zero padding.
    void CheckNotOverrun(const char* where) const {
        if (bitCount_ < zeroBits_) overrun(where);
    }

    // Fast access for the decoder: the bit buffer holds at least n bits
    // (n up to 56) after ensure(n).
    void ensure(int n) {
        if (bitCount_ < n) fill();
    }
    uint64_t bits() const { return bits_; }

    // The decoder's fast loop works on local copies of this state and
    // stores them back before any other call.
    struct FastState {
        uint64_t& bits;
        int& bitCount;
        int& pos;
        const quint8* buffer;
        int end;
        int zeroBits;
    };
    FastState fastState() { return {bits_, bitCount_, pos_, buffer_.data(), end_, zeroBits_}; }

private:
    void fill();
    [[noreturn]] static void overrun(const char* where);

    Stream& source_;
    std::vector<quint8> buffer_;
    int pos_ = 0;
    int end_ = 0;
    uint64_t bits_ = 0;
    int bitCount_ = 0;
    int zeroBits_ = 0;  // padding zeros in the bit buffer beyond the data
    bool sourceEnded_ = false;
    bool returned_ = false;
    const TArcDeflateProgress* progress_;
    int64_t inputSize_;
    int64_t bytesRead_ = 0;
};

// Keeps the history that copies refer to and writes the output in 32 KiB
// slides, computing the checksum on the way out.
class TArcDfOutputWindow {
public:
    TArcDfOutputWindow(Stream* destination, TArcLogger* logger, bool testOnly, int64_t outputLimit,
                       bool crc32, bool deflate64);

    void PutLiteral(quint8 byte) {
        buffer_[size_t(pos_++)] = byte;
        if (pos_ >= checkPoint_) reachedCheckPoint();
    }
    void PutCopy(int length, int distance);
    void PutBytes(const quint8* data, int64_t count);
    void SlideOut();
    // Writes what the window still holds.
    void Flush();
    quint32 FinalChecksum();
    int64_t OutputPosition();

    // For the decoder's fast loop: the buffer, the write position and the
    // position at which the window must act (slide or stop).
    quint8* fastBuffer() { return buffer_.data(); }
    int& fastPos() { return pos_; }
    int fastCheckPoint() const { return checkPoint_; }
    // Slides or stops at the limit when the fast loop ended past the check
    // point.
    void Settle() {
        if (pos_ >= checkPoint_) reachedCheckPoint();
    }

private:
    void reachedCheckPoint();
    void passOn(const quint8* data, int64_t count);

    Stream* destination_;
    bool testOnly_;
    bool crc32_;
    quint32 checksum_;
    int64_t limit_ = 0;
    int writePoint_;
    int checkPoint_;
    int slide_ = 32768;
    std::vector<quint8> buffer_;
    int pos_ = 0;
    int64_t passedOn_ = 0;
};

// Decompresses from the source's position to its end of data. Options and
// result sizes through the helper (see TArcDeflateHelper). Returns the
// CRC-32 (or Adler-32) of the output, 0 when stopped at the output limit or
// by EArcAbortProgress. Corrupt data raises EArcInflateError.
quint32 Inflate(Stream& source, Stream& destination, TArcDeflateHelper* helper = nullptr);

}  // namespace tandex::archive
