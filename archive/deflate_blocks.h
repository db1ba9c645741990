#pragma once
// The compressor's back end: the symbol buffer of the current block, the
// run-length coding of code lengths, the three block writers and the bit
// writer under them.

#include "archive/deflate_support.h"
#include "archive/streams.h"

#include <cstdint>
#include <vector>

namespace tandex::archive {

class TArcDfInputWindow;

// Bits go in least significant first; whole 32-bit words go to a 16 KiB
// byte buffer, which goes to the destination when full.
class TArcDfOutBitStream {
public:
    explicit TArcDfOutBitStream(Stream& destination);
    ~TArcDfOutBitStream();
    TArcDfOutBitStream(const TArcDfOutBitStream&) = delete;
    TArcDfOutBitStream& operator=(const TArcDfOutBitStream&) = delete;

    void WriteBits(quint32 value, int count)  // count 0..32
    {
        bits_ |= uint64_t(value) << used_;
        used_ += count;
        if (used_ >= 32) {
            if (pos_ + 4 > int(buffer_.size())) obsEmptyBuffer();
            const quint32 word = quint32(bits_);
            buffer_[size_t(pos_)] = quint8(word);
            buffer_[size_t(pos_ + 1)] = quint8(word >> 8);
            buffer_[size_t(pos_ + 2)] = quint8(word >> 16);
            buffer_[size_t(pos_ + 3)] = quint8(word >> 24);
            pos_ += 4;
            bits_ >>= 32;
            used_ -= 32;
        }
    }
    void AlignOutput();
    void WriteBytes(const void* data, int64_t count);
    void obsEmptyBuffer();
    // Aligns and writes everything still held; the destructor does it too,
    // but only an explicit call reports a failing destination.
    void Finish();

private:
    void moveWholeBytes();

    Stream& destination_;
    std::vector<quint8> buffer_;
    int pos_ = 0;
    uint64_t bits_ = 0;
    int used_ = 0;
    bool finished_ = false;
};

// The symbols of the current block, with their frequencies.
class TArcDfLZStream {
public:
    TArcDfLZStream(TArcDfInputWindow& window, bool deflate64, TArcLogger* logger);

    // Both return true when the block is full.
    bool RecordLiteral(quint8 byte) {
        quint8* p = symbols_.data() + writePos_;
        p[0] = 1;
        p[1] = byte;
        writePos_ += 2;
        ++litLenCounts_[byte];
        ++literals_;
        ++inputBytes_;
        return blockFull();
    }
    bool RecordMatch(int length, int distance);
    // Empties the buffer and the counts; every block ends with symbol 256.
    void ResetBlock();
    // The input offset of the first byte the block's symbols cover.
    void SetBlockStart(int64_t offset) { blockStart_ = offset; }
    int64_t BlockStart() const { return blockStart_; }

    void EncodeSymbols(TArcDfOutBitStream& out, const TArcDfDecodeHuffmanTree& litLen,
                       bool deflate64, const TArcDfDecodeHuffmanTree& distance) const;
    int64_t EstimatedPackedSize() const;
    int64_t StaticCost() const;
    int64_t InputBytes() const { return inputBytes_; }
    // Reads the next count bytes of the block's input from the source and
    // moves the block's start on.
    void CopyStoredInput(quint8* buffer, int count);

    const qint32* LitLenCounts() const { return litLenCounts_; }
    const qint32* DistanceCounts() const { return distanceCounts_; }
    qint32 Literals() const { return literals_; }
    qint32 Matches() const { return matches_; }

private:
    bool blockFull() const {
        const qint32 total = literals_ + matches_;
        if (total >= 32768) return true;
        return (total & 8191) == 0 && matches_ < literals_ &&
               EstimatedPackedSize() < inputBytes_ / 2;
    }

    TArcDfInputWindow& window_;
    bool deflate64_;
    std::vector<quint8> symbols_;
    int writePos_ = 0;
    qint32 litLenCounts_[286] = {};
    qint32 distanceCounts_[32] = {};
    qint32 literals_ = 0;
    qint32 matches_ = 0;
    int64_t inputBytes_ = 0;
    int64_t blockStart_ = 0;
};

// Run-length coding of the code lengths of a dynamic block header.
class TArcDfCodeLenStream {
public:
    void EncodeLengths(const quint8* lengths, int count);
    void WriteLengths(TArcDfOutBitStream& out, const TArcDfDecodeHuffmanTree& code) const;
    const qint32* Counts() const { return counts_; }
    // The coded sequence: each code, followed by its extra value after 16,
    // 17 and 18.
    const std::vector<quint8>& Coded() const { return coded_; }

private:
    void addCode(int code, int extra = -1);

    std::vector<quint8> coded_;
    qint32 counts_[19] = {};
};

void WriteEndOfBlock(TArcDfOutBitStream& out, const TArcDfDecodeHuffmanTree& litLen);
void WriteStoredBlock(bool final, bool deflate64, TArcDfLZStream& symbols, TArcLogger* logger,
                      TArcDfOutBitStream& out);
void WriteStaticBlock(bool final, bool deflate64, TArcDfLZStream& symbols, TArcLogger* logger,
                      TArcDfOutBitStream& out);
// With choose set, writes whichever of stored, fixed and own codes is the
// cheapest for the block.
void WriteDynamicBlock(bool final, bool deflate64, TArcDfLZStream& symbols, TArcLogger* logger,
                       TArcDfOutBitStream& out, bool choose);

}  // namespace tandex::archive
