// Inflate and Deflate64 decoding.
//
// Each symbol costs one table lookup (two for the rare codes longer than
// ten bits), and the bit buffer is 64 bits wide, so a length with its
// extra bits, or a distance with its extra bits, is looked up and dropped
// in one peek. The tables of a dynamic block are small enough that
// building them costs less than decoding even a short block. The output window slides 32 KiB at a
// time, so the history a copy needs is always one contiguous run behind the write position and
// copies are plain forward moves.

#include "archive/inflate.h"

#include <algorithm>
#include <cstring>

namespace tandex::archive {

namespace {

constexpr int kInputBufferSize = 16384;

[[noreturn]] void fail(const char* cause) {
    throw EArcInternalInflateError(QString::fromLatin1(cause));
}

// Copies a match of `length` bytes from `distance` bytes back. Word moves
// may run up to 7 bytes past the end; callers keep spare room behind the
// write point, which later writes overwrite. Distances below 8 overlap the
// bytes being written, so they go byte by byte (or as a fill for 1).
inline void copyMatch(quint8* dst, int length, int distance) {
    const quint8* src = dst - distance;
    if (distance >= 8) {
        for (int i = 0; i < length; i += 8) {
            uint64_t w;
            std::memcpy(&w, src + i, 8);
            std::memcpy(dst + i, &w, 8);
        }
    } else if (distance == 1) {
        std::memset(dst, *src, size_t(length));
    } else {
        for (int i = 0; i < length; ++i)
            dst[i] = src[i];
    }
}

}  // namespace

// ---- bit reader --------------------------------------------------------------

TArcDfInBitStream::TArcDfInBitStream(Stream& source, int64_t inputSize,
                                     const TArcDeflateProgress* progress)
    : source_(source),
      buffer_(kInputBufferSize + 8),
      progress_(progress && *progress ? progress : nullptr),
      inputSize_(inputSize) {}

TArcDfInBitStream::~TArcDfInBitStream() {
    try {
        ReturnUnusedInput();
    } catch (...) {
        // The run's own outcome is what the caller hears about.
    }
}

void TArcDfInBitStream::ReturnUnusedInput() {
    if (returned_) return;
    returned_ = true;
    const int realBits = std::max(0, bitCount_ - zeroBits_);
    const int64_t unread = int64_t(end_ - pos_) + realBits / 8;
    if (unread > 0) source_.Seek(-unread, soCurrent);
}

void TArcDfInBitStream::overrun(const char* where) {
    throw EArcInternalInflateError(QStringLiteral("no more compressed data in stream ") +
                                   QString::fromLatin1(where));
}

bool TArcDfInBitStream::RefillBuffer() {
    if (sourceEnded_) return false;
    const int left = end_ - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(left));
    pos_ = 0;
    end_ = left;
    int64_t got = 0;
    while (end_ < kInputBufferSize) {
        const int64_t n = source_.Read(buffer_.data() + end_, kInputBufferSize - end_);
        if (n <= 0) {
            sourceEnded_ = true;
            break;
        }
        end_ += int(n);
        got += n;
    }
    if (got > 0 && progress_ && inputSize_ > 0) {
        bytesRead_ += got;
        (*progress_)(qint32((bytesRead_ * 100 + inputSize_ / 2) / inputSize_));
    }
    return got > 0;
}

void TArcDfInBitStream::fill() {
    for (;;) {
        if (end_ - pos_ >= 8) {
            uint64_t word;
            std::memcpy(&word, buffer_.data() + pos_, 8);
            bits_ |= word << bitCount_;
            pos_ += (63 - bitCount_) >> 3;
            bitCount_ |= 56;
            return;
        }
        while (bitCount_ <= 56 && pos_ < end_) {
            bits_ |= uint64_t(buffer_[size_t(pos_++)]) << bitCount_;
            bitCount_ += 8;
        }
        if (bitCount_ > 56) return;
        if (!RefillBuffer()) {
            // Past the end: the missing bits read as zeros so the last code
            // can still be looked up; the padding is counted so that using
            // it is caught.
            if (bitCount_ < zeroBits_) overrun("[TArcDfInBitStream.DiscardBits]");
            zeroBits_ += 64 - bitCount_;
            bitCount_ = 64;
            return;
        }
    }
}

quint32 TArcDfInBitStream::ReadBit() {
    ensure(1);
    const quint32 bit = quint32(bits_ & 1);
    bits_ >>= 1;
    --bitCount_;
    if (bitCount_ < zeroBits_) overrun("[TArcDfInBitStream.ReadBit]");
    return bit;
}

quint32 TArcDfInBitStream::ReadBits(int n) {
    if (n < 1 || n > 16)
        fail("count of bits must be between 1 and 16 inclusive [TArcDfInBitStream.ReadBits]");
    ensure(n);
    const quint32 value = quint32(bits_) & ((1u << n) - 1);
    bits_ >>= n;
    bitCount_ -= n;
    if (bitCount_ < zeroBits_) overrun("[TArcDfInBitStream.ReadBits]");
    return value;
}

void TArcDfInBitStream::DiscardMoreBits(int n) {
    if (n < 1 || n > 32)
        fail(
            "count of bits must be between 1 and 32 inclusive [TArcDfInBitStream.DiscardMoreBits]");
    ensure(n);
    DiscardBits(n);
}

void TArcDfInBitStream::AlignToByte() {
    // The zero padding past the end of the data need not be a whole number
    // of bytes, so the boundary is reckoned from the real bits alone.
    const int drop = (bitCount_ - zeroBits_) & 7;
    bits_ >>= drop;
    bitCount_ -= drop;
    if (bitCount_ < zeroBits_) overrun("[TArcDfInBitStream.ReadBuffer]");
}

void TArcDfInBitStream::ReadBuffer(void* buffer, int64_t count) {
    auto* out = static_cast<quint8*>(buffer);
    // Whole bytes still in the bit buffer come first.
    while (count > 0 && bitCount_ >= 8) {
        if (bitCount_ - 8 < zeroBits_) overrun("[TArcDfInBitStream.ReadBuffer]");
        *out++ = quint8(bits_);
        bits_ >>= 8;
        bitCount_ -= 8;
        --count;
    }
    if (count == 0) return;
    // The bit buffer is empty now (the caller aligned it).
    bits_ = 0;
    bitCount_ = 0;
    while (count > 0) {
        if (pos_ == end_ && !RefillBuffer()) overrun("[TArcDfInBitStream.ReadBuffer]");
        const int64_t n = std::min<int64_t>(count, end_ - pos_);
        std::memcpy(out, buffer_.data() + pos_, size_t(n));
        pos_ += int(n);
        out += n;
        count -= n;
    }
}

// ---- output window -----------------------------------------------------------

TArcDfOutputWindow::TArcDfOutputWindow(Stream* destination, TArcLogger*, bool testOnly,
                                       int64_t outputLimit, bool crc32, bool deflate64)
    : destination_(destination),
      testOnly_(testOnly),
      crc32_(crc32),
      checksum_(crc32 ? 0xFFFFFFFFu : 1u) {
    writePoint_ = deflate64 ? 98304 : 65536;
    const int longestCopy = deflate64 ? 65538 : 258;
    // 16 spare bytes let copies move whole words past their end.
    buffer_.resize(size_t(writePoint_ + longestCopy + 16));
    limit_ = outputLimit < 0 ? 0 : std::min<int64_t>(outputLimit, writePoint_);
    // A limit never exceeds the write point, so the first slide happens
    // only after the limit has stopped the run.
    checkPoint_ = limit_ > 0 ? int(limit_) : writePoint_;
}

void TArcDfOutputWindow::reachedCheckPoint() {
    if (limit_ > 0 && passedOn_ + pos_ >= limit_) throw EArcPartSizedInflate();
    // A Deflate64 copy can end up to 65538 bytes past the write point, more
    // than one 32 KiB slide takes back; the next copy must again start
    // below the write point or it would run past the buffer.
    while (pos_ >= writePoint_)
        SlideOut();
}

void TArcDfOutputWindow::passOn(const quint8* data, int64_t count) {
    if (count <= 0) return;
    if (crc32_)
        UpdateCrc32(checksum_, data, count);
    else
        UpdateAdler32(checksum_, data, count);
    if (!testOnly_) destination_->WriteBuffer(data, count);
    passedOn_ += count;
}

void TArcDfOutputWindow::SlideOut() {
    passOn(buffer_.data(), slide_);
    std::memmove(buffer_.data(), buffer_.data() + slide_, size_t(pos_ - slide_));
    pos_ -= slide_;
}

void TArcDfOutputWindow::Flush() {
    const int n = pos_;
    pos_ = 0;
    passOn(buffer_.data(), n);
}

void TArcDfOutputWindow::PutCopy(int length, int distance) {
    // The whole history produced so far is behind pos_ (a slide keeps at
    // least the longest distance), so this one check bounds every copy.
    if (distance > pos_ || distance <= 0)
        fail("copy distance reaches before the start of the output [DecodeData]");
    copyMatch(buffer_.data() + pos_, length, distance);
    pos_ += length;
    if (pos_ >= checkPoint_) reachedCheckPoint();
}

void TArcDfOutputWindow::PutBytes(const quint8* data, int64_t count) {
    while (count > 0) {
        while (pos_ >= writePoint_)
            SlideOut();
        const int64_t n = std::min<int64_t>(count, writePoint_ - pos_);
        std::memcpy(buffer_.data() + pos_, data, size_t(n));
        pos_ += int(n);
        data += n;
        count -= n;
        // Stored blocks obey the limit too, so a look at the start of a
        // member never inflates a whole large file.
        if (limit_ > 0 && passedOn_ + pos_ >= limit_) throw EArcPartSizedInflate();
    }
}

quint32 TArcDfOutputWindow::FinalChecksum() {
    if (pos_ > 0) Flush();
    return crc32_ ? ~checksum_ : checksum_;
}

int64_t TArcDfOutputWindow::OutputPosition() {
    if (testOnly_) return passedOn_ + pos_;
    return destination_->Position() + pos_;
}

// ---- decoder -------------------------------------------------------------------

namespace {

const quint8 kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                     11, 4,  12, 3, 13, 2, 14, 1, 15};

class Inflater {
public:
    Inflater(TArcDfInBitStream& in, TArcDfOutputWindow& out, bool deflate64)
        : in_(in),
          out_(out),
          deflate64_(deflate64),
          literals_(286, TArcDfDecodeHuffmanTree::DecodeOnly, 15),
          distances_(deflate64 ? 32 : 30, TArcDfDecodeHuffmanTree::DecodeOnly, 15),
          codeLengths_(19, TArcDfDecodeHuffmanTree::DecodeOnly, 7) {
        literals_.SetFullTable(false);
        distances_.SetFullTable(false);
    }

    void Run() {
        for (;;) {
            const quint32 final = in_.ReadBit();
            switch (in_.ReadBits(2)) {
                case 0:
                    storedBlock();
                    break;
                case 1:
                    decodeData(StaticLiteralTree(), StaticDistanceTree());
                    break;
                case 2:
                    dynamicBlock();
                    break;
                default:
                    fail("starting new block, but invalid block type [Inflate]");
            }
            if (final) break;
        }
        in_.CheckNotOverrun("[TArcDfInBitStream.DiscardBits]");
    }

private:
    void storedBlock() {
        in_.AlignToByte();
        quint8 header[4];
        in_.ReadBuffer(header, 4);
        const int len = header[0] | (header[1] << 8);
        const int nlen = header[2] | (header[3] << 8);
        if ((len ^ 0xFFFF) != nlen)
            fail("invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
        quint8 piece[16384];
        int left = len;
        while (left > 0) {
            const int n = std::min(left, int(sizeof piece));
            in_.ReadBuffer(piece, n);
            out_.PutBytes(piece, n);
            left -= n;
        }
    }

    void dynamicBlock() {
        const int hlit = int(in_.ReadBits(5)) + 257;
        const int hdist = int(in_.ReadBits(5)) + 1;
        const int hclen = int(in_.ReadBits(4)) + 4;
        if (hlit > 286)
            fail(
                "count of literal codes in dynamic block is greater than 286 "
                "[InflateDynamicBlock]");
        if (!deflate64_ && hdist > 30)
            fail(
                "count of distance codes in dynamic block is greater than 30 "
                "[InflateDynamicBlock]");
        quint8 clen[19] = {};
        for (int i = 0; i < hclen; ++i)
            clen[kCodeLengthOrder[i]] = quint8(in_.ReadBits(3));
        if (!codeLengths_.Build(clen, 0xFFFF, nullptr, 19, 0))
            fail("over-subscribed set of code lengths [TArcDfDecodeHuffmanTree.Build]");
        quint8 lengths[286 + 32];
        readLitDistCodeLengths(lengths, hlit + hdist);
        if (!literals_.Build(lengths, 257, LengthExtraBits, hlit, 0) ||
            !distances_.Build(lengths, 0, DistanceExtraBits, hdist, hlit))
            fail("over-subscribed set of code lengths [TArcDfDecodeHuffmanTree.Build]");
        decodeData(literals_, distances_);
    }

    void readLitDistCodeLengths(quint8* lengths, int count) {
        std::memset(lengths, 0, size_t(count));
        const quint32* table = codeLengths_.DecodeTable();
        const quint32 mask = codeLengths_.DecodeMask();
        const int maxLen = codeLengths_.MaxLength();
        int i = 0;
        while (i < count) {
            const quint32 peek = in_.PeekBits(maxLen + 7);
            const quint32 e = table[peek & mask];
            const int sym = int(e & 0xFFFF);
            const int len = int((e >> 16) & 0xFF);
            if (sym > 18) fail("decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}");
            if (len == 0 || len > maxLen)
                fail("decoded a code length out of range {ReadLitDistCodeLengths}");
            const quint32 extra = peek >> len;
            int drop = len;
            int repeat = 0;
            quint8 value = 0;
            if (sym < 16) {
                lengths[i++] = quint8(sym);
            } else if (sym == 16) {
                if (i == 0)
                    fail(
                        "repeat of a code length with no previous length {ReadLitDistCodeLengths}");
                value = lengths[i - 1];
                repeat = 3 + int(extra & 3);
                drop += 2;
            } else if (sym == 17) {
                repeat = 3 + int(extra & 7);
                drop += 3;
            } else {
                repeat = 11 + int(extra & 0x7F);
                drop += 7;
            }
            if (repeat) {
                if (i + repeat > count)
                    fail(
                        "repeated code lengths run past the end of the table "
                        "{ReadLitDistCodeLengths}");
                std::memset(lengths + i, value, size_t(repeat));
                i += repeat;
            }
            in_.DiscardBits(drop);
        }
    }

    enum class Fast { End, Slow };

    // Decodes while at least 16 input bytes are buffered and the write
    // position is before the window's check point, with the bit buffer and
    // both positions in locals. Anything unusual (the end of either buffer, a bad
    // code) is left to the careful per-symbol path.
    Fast fastLoop(const TArcDfDecodeHuffmanTree& lit, const TArcDfDecodeHuffmanTree& dist) {
        TArcDfInBitStream::FastState st = in_.fastState();
        if (st.zeroBits) return Fast::Slow;
        uint64_t bits = st.bits;
        int count = st.bitCount;
        const quint8* ip = st.buffer + st.pos;
        // Two refills per symbol may each take up to 7 bytes.
        const quint8* const ipEnd = st.buffer + st.end - 16;
        quint8* const window = out_.fastBuffer();
        quint8* op = window + out_.fastPos();
        // Any copy that starts before the check point fits the buffer; the
        // window acts on the check point once the loop has handed back.
        quint8* const opEnd = window + out_.fastCheckPoint();
        Fast result = Fast::Slow;
        while (ip < ipEnd && op < opEnd) {
            if (count < 32) {
                uint64_t word;
                std::memcpy(&word, ip, 8);
                bits |= word << count;
                ip += (63 - count) >> 3;
                count |= 56;
            }
            quint32 e = lit.FastLookup(bits);
            int len = int((e >> 16) & 0xFF);
            if (len == 0) break;
            int sym = int(e & 0xFFFF);
            if (sym < 256) {
                bits >>= len;
                count -= len;
                *op++ = quint8(sym);
                continue;
            }
            if (sym == 256) {
                bits >>= len;
                count -= len;
                result = Fast::End;
                break;
            }
            if (sym > 285) break;
            int length;
            if (sym == 285 && !deflate64_) {
                length = 258;
                bits >>= len;
                count -= len;
            } else {
                const int extra = int(e >> 24);
                length = LengthBase[sym - 257] + int((bits >> len) & ((1u << extra) - 1));
                bits >>= len + extra;
                count -= len + extra;
            }
            if (count < 32) {
                uint64_t word;
                std::memcpy(&word, ip, 8);
                bits |= word << count;
                ip += (63 - count) >> 3;
                count |= 56;
            }
            e = dist.FastLookup(bits);
            len = int((e >> 16) & 0xFF);
            sym = int(e & 0xFFFF);
            const int extra = int(e >> 24);
            const int distance =
                int(DistanceBase[sym] + quint32((bits >> len) & ((1u << extra) - 1)));
            if (len == 0 || (!deflate64_ && sym > 29) || distance > op - window) {
                storeBack(st, bits, count, ip, op, window);
                if (len == 0) fail("decoded a bit pattern that no code produces [DecodeData]");
                if (!deflate64_ && sym > 29)
                    fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
                fail("copy distance reaches before the start of the output [DecodeData]");
            }
            bits >>= len + extra;
            count -= len + extra;
            copyMatch(op, length, distance);
            op += length;
        }
        storeBack(st, bits, count, ip, op, window);
        return result;
    }

    void storeBack(TArcDfInBitStream::FastState& st, uint64_t bits, int count, const quint8* ip,
                   quint8* op, quint8* window) {
        st.bits = bits;
        st.bitCount = count;
        st.pos = int(ip - st.buffer);
        out_.fastPos() = int(op - window);
    }

    void decodeData(const TArcDfDecodeHuffmanTree& litTree,
                    const TArcDfDecodeHuffmanTree& distTree) {
        for (;;) {
            const Fast fast = fastLoop(litTree, distTree);
            out_.Settle();
            if (fast == Fast::End) return;
            // One symbol the careful way: it refills, slides, stops at the
            // limit and names what is wrong with the data.
            // 32 bits cover the longest code with its extra bits, also
            // Deflate64's 16 length bits.
            in_.ensure(32);
            uint64_t bits = in_.bits();
            quint32 e = litTree.FastLookup(bits);
            int len = int((e >> 16) & 0xFF);
            if (len == 0) fail("decoded a bit pattern that no code produces [DecodeData]");
            int sym = int(e & 0xFFFF);
            if (sym < 256) {
                in_.DiscardBits(len);
                out_.PutLiteral(quint8(sym));
                continue;
            }
            if (sym == 256) {
                in_.DiscardBits(len);
                return;
            }
            if (sym > 285) fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
            int length;
            if (sym == 285 && !deflate64_) {
                length = 258;
                in_.DiscardBits(len);
            } else {
                const int extra = int(e >> 24);
                length = LengthBase[sym - 257] + int((bits >> len) & ((1u << extra) - 1));
                in_.DiscardBits(len + extra);
            }
            in_.ensure(32);
            bits = in_.bits();
            e = distTree.FastLookup(bits);
            len = int((e >> 16) & 0xFF);
            if (len == 0) fail("decoded a bit pattern that no code produces [DecodeData]");
            sym = int(e & 0xFFFF);
            if (!deflate64_ && sym > 29)
                fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
            const int extra = int(e >> 24);
            const int distance =
                int(DistanceBase[sym] + quint32((bits >> len) & ((1u << extra) - 1)));
            in_.DiscardBits(len + extra);
            out_.PutCopy(length, distance);
        }
    }

    TArcDfInBitStream& in_;
    TArcDfOutputWindow& out_;
    bool deflate64_;
    TArcDfDecodeHuffmanTree literals_;
    TArcDfDecodeHuffmanTree distances_;
    TArcDfDecodeHuffmanTree codeLengths_;
};

}  // namespace

quint32 Inflate(Stream& source, Stream& destination, TArcDeflateHelper* helper) {
    TArcDeflateHelper work;
    if (helper) work.Assign(*helper);
    const int64_t sourceStart = source.Position();
    const bool testOnly = (work.OptionBits() & TestOnly) != 0;
    const int64_t destStart = testOnly ? 0 : destination.Position();
    if (!work.ProgressHandler())
        work.SetInputSize(0);
    else if (work.InputSize() == -1)
        work.SetInputSize(source.Size() - sourceStart);  // the rest is what this run reads

    std::unique_ptr<TArcLogger> logger;
    if (!work.LogFileName().isEmpty()) {
        logger = std::make_unique<TArcLogger>(work.LogFileName());
        logger->WriteLine(QStringLiteral("INFLATING STREAM..."));
        logger->WriteLine(QStringLiteral("Need to recompile the app with UseLogging turned on"));
    }

    const bool deflate64 = (work.OptionBits() & Deflate64Format) != 0;
    quint32 result = 0;
    int64_t plain = 0;
    bool quiet = false;
    {
        TArcDfInBitStream in(source, work.InputSize(), &work.ProgressHandler());
        TArcDfOutputWindow out(&destination, logger.get(), testOnly, work.OutputLimit(),
                               (work.OptionBits() & Adler32Check) == 0, deflate64);
        try {
            try {
                Inflater(in, out, deflate64).Run();
                result = out.FinalChecksum();
                plain = out.OutputPosition();
            } catch (const EArcInternalInflateError& e) {
                if (logger)
                    logger->WriteLine(
                        QStringLiteral("Internal exception raised: %1").arg(e.Message()));
                throw EArcInflateError(e.Message());
            }
        } catch (const EArcPartSizedInflate&) {
            quiet = true;
        } catch (const EArcAbortProgress&) {
            quiet = true;
        } catch (...) {
            // What was produced before the failure still goes out; the
            // failure is what the caller hears about.
            try {
                out.Flush();
            } catch (...) {
            }
            throw;
        }
        if (quiet) {
            out.Flush();
            plain = out.OutputPosition();
        }
        in.ReturnUnusedInput();
    }
    if (helper) {
        helper->SetPlainBytes(testOnly ? plain : destination.Position() - destStart);
        helper->SetPackedBytes(source.Position() - sourceStart);
    }
    return result;
}

}  // namespace tandex::archive
