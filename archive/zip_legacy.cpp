#include "archive/zip_legacy.h"

#include "archive/archive_errors.h"

#include <algorithm>
#include <cstring>

namespace tandex::archive {

// ----------------------------------------------------------- sliding window

TArcSlidingWindowStream::TArcSlidingWindowStream(Stream& target) : target_(target) {
    for (auto& chunk : chunks_) chunk = std::make_unique<uint8_t[]>(kChunkSize);
    target_.Seek(0, soBeginning);
}

TArcSlidingWindowStream::~TArcSlidingWindowStream() {
    try {
        if (dirty_) Flush();
    } catch (...) {
        // Nowhere to report it from here; UnzipHelperRun flushes first.
    }
}

void TArcSlidingWindowStream::writeChunk(int index) {
    const int64_t offset = firstOffset_ + static_cast<int64_t>(index) * kChunkSize;
    if (target_.Seek(offset, soBeginning) != offset)
        throw Exception(QStringLiteral("TArcSlidingWindowStream.bsWriteChunk: seek failed"));
    const int count = index == kChunkCount - 1 ? lastFill_ : kChunkSize;
    if (target_.Write(chunks_[static_cast<size_t>(index)].get(), count) != count)
        throw Exception(QStringLiteral("TArcSlidingWindowStream.bsWriteChunk: write failed"));
}

void TArcSlidingWindowStream::advance() {
    if (firstOffset_ >= 0) writeChunk(0);
    std::rotate(chunks_.begin(), chunks_.begin() + 1, chunks_.end());
    firstOffset_ += kChunkSize;
    lastFill_ = 0;
}

int64_t TArcSlidingWindowStream::Write(const void* buffer, int64_t count) {
    if (position_ != size_)
        throw Exception(QStringLiteral("TArcSlidingWindowStream.Write: Not at end of stream"));
    count = std::clamp<int64_t>(count, 0, kMaxTransfer);
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int n = static_cast<int>(std::min<int64_t>(count - done, kChunkSize - lastFill_));
        std::memcpy(chunks_[kChunkCount - 1].get() + lastFill_, in + done, static_cast<size_t>(n));
        lastFill_ += n;
        done += n;
        if (lastFill_ == kChunkSize) advance();
    }
    dirty_ = true;
    size_ += count;
    position_ = size_;
    return count;
}

int64_t TArcSlidingWindowStream::Read(void* buffer, int64_t count) {
    count = std::clamp<int64_t>(std::min<int64_t>(count, size_ - position_), 0, kMaxTransfer);
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) out[i] = ByteAt(position_ + i);
    position_ += count;
    return count;
}

int64_t TArcSlidingWindowStream::Seek(int64_t offset, int origin) {
    int64_t target = 0;
    switch (origin) {
        case soBeginning:
            target = offset;
            break;
        case soCurrent:
            target = position_ + offset;
            break;
        case soEnd:
            target = size_ + offset;
            break;
        default:
            throw Exception(QStringLiteral("TArcSlidingWindowStream.Seek: invalid origin"));
    }
    if (target < firstOffset_ || target < 0 || target > size_)
        throw Exception(QStringLiteral("TArcSlidingWindowStream.Seek: invalid new position"));
    position_ = target;
    return position_;
}

uint8_t TArcSlidingWindowStream::ByteAt(int64_t position) const {
    const int64_t relative = position - firstOffset_;
    if (position < 0 || relative < 0 || position >= size_)
        throw Exception(QStringLiteral("TArcSlidingWindowStream.Seek: invalid new position"));
    return chunks_[static_cast<size_t>(relative / kChunkSize)][static_cast<size_t>(relative % kChunkSize)];
}

void TArcSlidingWindowStream::Flush() {
    for (int i = 0; i < kChunkCount; ++i)
        if (firstOffset_ + static_cast<int64_t>(i) * kChunkSize >= 0) writeChunk(i);
    dirty_ = false;
}

// ------------------------------------------------------------- bits and bytes

TArcUnzipHelper::TArcUnzipHelper(Stream& input, Stream& output) : input_(input), output_(output) {}

// Bits come from the low end of each byte. Past the end of the input they
// read as zeros, and the decoders stop at the flag.
uint32_t TArcUnzipHelper::readBits(int count) {
    while (bitCount_ < count) {
        if (inPos_ == inFill_) {
            inFill_ = static_cast<int>(input_.Read(inBuffer_.data(), kInputBufferSize));
            inPos_ = 0;
            if (inFill_ <= 0) {
                inFill_ = 0;
                endOfInput_ = true;
                bitCount_ = count;
                break;
            }
        }
        bitBuffer_ |= static_cast<uint64_t>(inBuffer_[static_cast<size_t>(inPos_++)]) << bitCount_;
        bitCount_ += 8;
    }
    const auto value = static_cast<uint32_t>(bitBuffer_ & ((uint64_t{1} << count) - 1));
    bitBuffer_ >>= count;
    bitCount_ -= count;
    return value;
}

void TArcUnzipHelper::putByte(uint8_t byte) {
    if (produced_ >= UncompressedSize) return;
    outBuffer_.push_back(byte);
    ++produced_;
    if (outBuffer_.size() >= kOutputBufferSize || produced_ >= UncompressedSize) flushOutput();
}

void TArcUnzipHelper::flushOutput() {
    size_t at = 0;
    while (at < outBuffer_.size()) {
        const auto n = static_cast<int64_t>(std::min<size_t>(outBuffer_.size() - at, kOutputBufferSize));
        writer_->WriteBuffer(outBuffer_.data() + at, n);
        at += static_cast<size_t>(n);
    }
    sent_ += outBuffer_.size();
    outBuffer_.clear();
}

// Output from before the start reads as zeros.
uint8_t TArcUnzipHelper::byteBack(uint64_t distance) const {
    if (distance > produced_) return 0;
    const uint64_t position = produced_ - distance;
    if (position >= sent_) return outBuffer_[static_cast<size_t>(position - sent_)];
    return window_->ByteAt(static_cast<int64_t>(position));
}

void TArcUnzipHelper::copyBack(uint64_t distance, uint64_t length) {
    for (uint64_t i = 0; i < length && produced_ < UncompressedSize; ++i) putByte(byteBack(distance));
}

void TArcUnzipHelper::UnzipHelperRun() {
    inFill_ = inPos_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    endOfInput_ = false;
    outBuffer_.clear();
    outBuffer_.reserve(kOutputBufferSize);
    sent_ = produced_ = 0;
    window_.reset();
    writer_ = &output_;
    if (Method >= 2 && Method <= 6) {
        window_ = std::make_unique<TArcSlidingWindowStream>(output_);
        writer_ = window_.get();
    }
    try {
        switch (Method) {
            case 1:
                unshrink();
                break;
            case 2:
            case 3:
            case 4:
            case 5:
                unreduce();
                break;
            case 6:
                explode();
                break;
            default:
                throw EArcZipInvalidMethod();
        }
        flushOutput();
        if (window_) window_->Flush();
    } catch (...) {
        // What was decoded still reaches the target, so a damaged item
        // shows as much of itself as could be read.
        try {
            flushOutput();
            if (window_) window_->Flush();
        } catch (...) {
        }
        window_.reset();
        throw;
    }
    window_.reset();
}

// ------------------------------------------------------------------ unshrink

void TArcUnzipHelper::unshrink() {
    constexpr int kMaxCode = 8192;
    constexpr uint16_t kFree = 0xFFFF;
    std::vector<uint16_t> prefix(kMaxCode + 1, kFree);
    std::vector<uint8_t> suffix(kMaxCode + 1, 0);
    std::vector<uint8_t> stack(kMaxCode + 1);
    for (int c = 0; c < 256; ++c) {
        prefix[static_cast<size_t>(c)] = 0;
        suffix[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
    }
    int codeSize = 9;
    int nextFree = 257;
    int highestUsed = 256;  // the partial clear looks at every code assigned so far

    auto isFree = [&](int code) { return code > 256 && prefix[static_cast<size_t>(code)] == kFree; };

    int code = static_cast<int>(readBits(codeSize));
    if (endOfInput_ || UncompressedSize == 0) return;
    if (code > 255) throw EArcZipInvalid();
    int previous = code;
    uint8_t lastChar = static_cast<uint8_t>(code);
    putByte(lastChar);

    while (!done()) {
        code = static_cast<int>(readBits(codeSize));
        while (code == 256 && !endOfInput_) {
            const uint32_t control = readBits(codeSize);
            if (control == 1) {
                if (++codeSize > 13) throw EArcZipInvalid();
            } else if (control == 2) {
                // Codes that are no other code's prefix are leaves: they go.
                std::vector<bool> parent(kMaxCode, false);
                for (int c = 257; c <= highestUsed; ++c)
                    if (!isFree(c) && prefix[static_cast<size_t>(c)] > 256)
                        parent[prefix[static_cast<size_t>(c)]] = true;
                for (int c = 257; c <= highestUsed; ++c)
                    if (!parent[static_cast<size_t>(c)]) prefix[static_cast<size_t>(c)] = kFree;
                nextFree = 257;
                while (nextFree < kMaxCode && !isFree(nextFree)) ++nextFree;
            }
            code = static_cast<int>(readBits(codeSize));
        }
        if (endOfInput_) break;
        if (code >= kMaxCode) throw EArcZipInvalid();

        int sp = 0;
        int walk = code;
        // A free code is the one about to be made: the previous string and
        // its own first character.
        auto push = [&](uint8_t byte) {
            if (sp >= kMaxCode) throw EArcZipInvalid();
            stack[static_cast<size_t>(sp++)] = byte;
        };
        while (walk > 256) {
            if (isFree(walk)) {
                push(lastChar);
                walk = previous;
                continue;
            }
            push(suffix[static_cast<size_t>(walk)]);
            walk = prefix[static_cast<size_t>(walk)];
        }
        const uint8_t first = suffix[static_cast<size_t>(walk)];
        putByte(first);
        while (sp > 0) putByte(stack[static_cast<size_t>(--sp)]);

        if (nextFree < kMaxCode) {
            prefix[static_cast<size_t>(nextFree)] = static_cast<uint16_t>(previous);
            suffix[static_cast<size_t>(nextFree)] = first;
            highestUsed = std::max(highestUsed, nextFree);
            do {
                ++nextFree;
            } while (nextFree < kMaxCode && !isFree(nextFree));
        }
        previous = code;
        lastChar = first;
    }
}

// ------------------------------------------------------------------ unreduce

namespace {

int followerBits(int count) {
    int bits = 1;
    while ((1 << bits) < count) ++bits;
    return bits;
}

}  // namespace

void TArcUnzipHelper::unreduce() {
    const int factor = Method - 1;
    if (factor < 1 || factor > 4) throw EArcZipInvalidFactor();
    struct FollowerSet {
        int Count = 0;
        std::array<uint8_t, 32> Followers{};
    };
    std::array<FollowerSet, 256> sets{};
    for (int x = 255; x >= 0; --x) {
        FollowerSet& set = sets[static_cast<size_t>(x)];
        set.Count = static_cast<int>(readBits(6));
        if (set.Count > 32) throw EArcZipInvalid();
        for (int i = 0; i < set.Count; ++i)
            set.Followers[static_cast<size_t>(i)] = static_cast<uint8_t>(readBits(8));
    }
    if (endOfInput_) return;

    const int lengthMask = 0xFF >> factor;
    int state = 0;
    int value = 0;
    uint64_t length = 0;
    uint8_t last = 0;
    while (!done()) {
        const FollowerSet& set = sets[last];
        uint8_t ch = 0;
        if (set.Count == 0 || readBits(1) == 1)
            ch = static_cast<uint8_t>(readBits(8));
        else
            ch = set.Followers[readBits(followerBits(set.Count)) & 31];
        if (endOfInput_) break;
        last = ch;
        switch (state) {
            case 0:
                if (ch == 144)
                    state = 1;
                else
                    putByte(ch);
                break;
            case 1:
                if (ch == 0) {
                    putByte(144);
                    state = 0;
                } else {
                    value = ch;
                    length = static_cast<uint64_t>(ch & lengthMask);
                    state = static_cast<int>(length) == lengthMask ? 2 : 3;
                }
                break;
            case 2:
                length += ch;
                state = 3;
                break;
            default: {
                const uint64_t distance =
                    static_cast<uint64_t>((value >> (8 - factor)) & ((1 << factor) - 1)) * 256 + ch + 1;
                copyBack(distance, length + 3);
                state = 0;
                break;
            }
        }
    }
}

// ------------------------------------------------------------------- explode

struct TArcUnzipHelper::Tree {
    // Per bit length, the bit-reversed codes and their values.
    std::array<std::vector<std::pair<uint16_t, uint16_t>>, 17> ByLength;
};

void TArcUnzipHelper::readTree(Tree& tree, int size) {
    std::vector<std::pair<int, int>> entries;  // (bit length, value)
    const int bytes = static_cast<int>(readBits(8)) + 1;
    for (int i = 0; i < bytes; ++i) {
        const uint32_t b = readBits(8);
        const int bitLength = static_cast<int>(b & 15) + 1;
        const int count = static_cast<int>(b >> 4) + 1;
        if (static_cast<int>(entries.size()) + count > size) throw EArcZipInvalid();
        for (int k = 0; k < count; ++k)
            entries.emplace_back(bitLength, static_cast<int>(entries.size()));
    }
    std::sort(entries.begin(), entries.end());
    // Codes are handed out from the longest down; each is stored with its
    // bits reversed, since the stream holds them high bit first.
    uint32_t code = 0;
    uint32_t increment = 0;
    int lastLength = 0;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        code = (code + increment) & 0xFFFF;
        if (it->first != lastLength) {
            lastLength = it->first;
            increment = 1u << (16 - lastLength);
        }
        uint16_t reversed = 0;
        for (int bit = 0; bit < 16; ++bit)
            if (code & (1u << bit)) reversed |= static_cast<uint16_t>(1u << (15 - bit));
        const auto masked = static_cast<uint16_t>(reversed & ((1u << it->first) - 1));
        tree.ByLength[static_cast<size_t>(it->first)].emplace_back(masked,
                                                                   static_cast<uint16_t>(it->second));
    }
}

int TArcUnzipHelper::decodeSymbol(const Tree& tree) {
    uint32_t bits = 0;
    for (int length = 1; length <= 16; ++length) {
        bits |= readBits(1) << (length - 1);
        for (const auto& [code, value] : tree.ByLength[static_cast<size_t>(length)])
            if (code == bits) return value;
        if (endOfInput_) return 0;
    }
    return 0;
}

void TArcUnzipHelper::explode() {
    const int lowBits = ImplodeDictionarySize == 8192 ? 7 : 6;
    const bool threeTrees = ImplodeTreeCount == 3;
    const uint64_t minimumLength = threeTrees ? 3 : 2;
    Tree literals;
    Tree lengths;
    Tree distances;
    if (threeTrees) readTree(literals, 256);
    readTree(lengths, 64);
    readTree(distances, 64);
    while (!done()) {
        if (readBits(1) == 1) {
            const int literal = threeTrees ? decodeSymbol(literals) : static_cast<int>(readBits(8));
            if (endOfInput_) break;
            putByte(static_cast<uint8_t>(literal));
            continue;
        }
        const uint32_t low = readBits(lowBits);
        const auto high = static_cast<uint32_t>(decodeSymbol(distances));
        const uint64_t distance = low + (static_cast<uint64_t>(high) << lowBits);
        uint64_t length = static_cast<uint64_t>(decodeSymbol(lengths));
        if (length == 63) length += readBits(8);
        if (endOfInput_) break;
        copyBack(distance + 1, length + minimumLength);
    }
}

}  // namespace tandex::archive
