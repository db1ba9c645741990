// Deflate compression.
//
// One buffer holds the window and the lookahead; positions in the hash
// heads and chains are buffer offsets, so sliding the buffer costs one pass
// over the heads and chains per 16 KiB of input. A candidate is rejected by
// two 16-bit comparisons (the start, and the two bytes a longer match must
// add) before bytes are compared eight at a time. Lazy evaluation holds a
// match back one position to see whether a longer one starts there.

#include "archive/deflate.h"

#include "archive/deflate_blocks.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace tandex::archive {

namespace {

constexpr int kSlidePoint = 16384;
constexpr int kHashSize = 16384;

inline quint16 load16(const quint8* p) {
    quint16 v;
    std::memcpy(&v, p, 2);
    return v;
}

// Equal bytes of a and b, at most limit; may read up to 7 bytes past it.
inline int matchLength(const quint8* a, const quint8* b, int limit) {
    int n = 0;
    while (n < limit) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (const uint64_t diff = x ^ y) {
            n += __builtin_ctzll(diff) >> 3;
            return std::min(n, limit);
        }
        n += 8;
    }
    return limit;
}

}  // namespace

TArcDfInputWindow::TArcDfInputWindow(Stream& source, bool crc32, bool deflate64, qint32 chainLimit,
                                     qint32 windowBytes, int64_t inputSize,
                                     const TArcDeflateProgress* progress)
    : source_(source),
      sourceStart_(source.Position()),
      crc32_(crc32),
      checksum_(crc32 ? 0xFFFFFFFFu : 1u),
      longestMatch_(deflate64 ? 65536 : 258),
      chainLimit_(chainLimit),
      progress_(progress && *progress ? progress : nullptr),
      inputSize_(inputSize) {
    // The window can never reach further back than the format's distances.
    const int maxWindow = deflate64 ? 65536 : 32768;
    int w = 256;
    while (w < windowBytes && w < maxWindow)
        w *= 2;
    windowBytes_ = w;
    windowMask_ = w - 1;
    bufferEnd_ = w + (deflate64 ? 81920 : 16642);
    // Spare bytes behind the end let comparisons read whole words.
    buffer_.assign(size_t(bufferEnd_) + 16, 0);
    head_.assign(kHashSize, -1);
    chain_.assign(size_t(w), -1);
    loadInput();
    if (lookEnd_ >= 2) hash_ = ((quint32(buffer_[0]) << 5) ^ buffer_[1]) & 0x3FFF;
}

void TArcDfInputWindow::loadInput() {
    const int from = lookEnd_;
    while (moreInput_ && lookEnd_ < bufferEnd_) {
        const int64_t n = source_.Read(buffer_.data() + lookEnd_, bufferEnd_ - lookEnd_);
        if (n <= 0) {
            moreInput_ = false;
            break;
        }
        lookEnd_ += int(n);
    }
    if (lookEnd_ > from) {
        if (crc32_)
            UpdateCrc32(checksum_, buffer_.data() + from, lookEnd_ - from);
        else
            UpdateAdler32(checksum_, buffer_.data() + from, lookEnd_ - from);
        bytesRead_ += lookEnd_ - from;
    }
}

void TArcDfInputWindow::slideWindow() {
    const int shift = windowStart_;
    std::memmove(buffer_.data(), buffer_.data() + shift, size_t(lookEnd_ - shift));
    for (qint32& h : head_)
        h = std::max(h - shift, -1);
    for (qint32& c : chain_)
        c = std::max(c - shift, -1);
    cur_ -= shift;
    lookEnd_ -= shift;
    windowStart_ = 0;
    bufferBase_ += shift;
    baseMod_ = int(bufferBase_ & windowMask_);
    loadInput();
}

void TArcDfInputWindow::afterStep(int advance, bool many) {
    windowStart_ = std::max(windowStart_, cur_ - windowBytes_);
    if (progress_ && inputSize_ > 0) {
        const int64_t before = stepped_;
        stepped_ += advance;
        if (before / 4096 != stepped_ / 4096)
            (*progress_)(qint32((stepped_ * 100 + inputSize_ / 2) / inputSize_));
    }
    if (windowStart_ >= kSlidePoint && (many || moreInput_)) slideWindow();
}

void TArcDfInputWindow::StepMany(int advance, int hashCount) {
    int pos = hashCount < advance ? cur_ + 1 : cur_;
    for (int i = 0; i < hashCount; ++i)
        insert(pos++);
    cur_ += advance;
    afterStep(advance, true);
}

quint8 TArcDfInputWindow::TakeByte() {
    const quint8 b = buffer_[size_t(cur_)];
    StepOne();
    return b;
}

void TArcDfInputWindow::ReadSourceAt(void* buffer, int count, int64_t offset) {
    const int64_t keep = source_.Position();
    source_.Seek(sourceStart_ + offset, soBeginning);
    source_.ReadBuffer(buffer, count);
    source_.Seek(keep, soBeginning);
}

bool TArcDfInputWindow::SearchMatch(int sufficientLength, int pendingLength, int& length,
                                    int& distance, quint8& currentByte) {
    const int cur = cur_;
    const quint8* base = buffer_.data();
    hash_ = ((hash_ << 5) ^ base[cur + 2]) & 0x3FFF;
    int cand = head_[hash_];
    head_[hash_] = cur;
    chain_[size_t((cur + baseMod_) & windowMask_)] = cand;
    currentByte = base[cur];

    const int avail = std::min(longestMatch_, lookEnd_ - cur);
    if (sufficientLength > avail) sufficientLength = avail;
    if (pendingLength >= avail) return false;
    int best = pendingLength ? pendingLength : 2;
    qint32 limit = best >= sufficientLength ? chainLimit_ / 4 : chainLimit_;
    int bestDistance = 0;
    const quint8* p = base + cur;
    const quint16 start = load16(p);
    quint16 tail = load16(p + best - 1);
    int previous = cur;
    // Chain positions only fall; a slot reused by a newer position would
    // break that, and the check stops the walk there.
    while (limit-- > 0 && cand >= windowStart_ && cand < previous) {
        const quint8* c = base + cand;
        if (load16(c + best - 1) == tail && load16(c) == start) {
            const int len = 2 + matchLength(c + 2, p + 2, avail - 2);
            if (len > best) {
                best = len;
                bestDistance = cur - cand;
                if (len >= sufficientLength) break;
                tail = load16(p + best - 1);
            }
        }
        previous = cand;
        cand = chain_[size_t((cand + baseMod_) & windowMask_)];
    }
    if (best < 3 || best <= pendingLength || bestDistance == 0) return false;
    length = best;
    distance = bestDistance;
    return true;
}

// ---- the entry -----------------------------------------------------------------

namespace {

void reportProgress(const TArcDeflateHelper& work, qint32 percent) {
    if (work.ProgressHandler()) work.ProgressHandler()(percent);
}

// Stored blocks straight to the destination. Empty input still gives one
// final (empty) block, and a source that ends before the announced size is
// an error rather than a silently short stream.
quint32 deflateStoredOnly(Stream& source, Stream& destination, TArcDeflateHelper& work,
                          int64_t& plain) {
    const bool crc = (work.OptionBits() & Adler32Check) == 0;
    quint32 checksum = crc ? 0xFFFFFFFFu : 1u;
    int64_t amount = work.InputSize();
    if (amount <= 0) amount = source.Size() - source.Position();
    std::vector<quint8> buffer(65535 + 5);
    int64_t total = 0;
    do {
        const int want = int(std::min<int64_t>(65535, amount - total));
        int got = 0;
        while (got < want) {
            const int64_t n = source.Read(buffer.data() + 5 + got, want - got);
            if (n <= 0)
                throw EArcInternalDeflateError(QStringLiteral(
                    "the source stream ended before the announced size [DeflateStoredOnly]"));
            got += int(n);
        }
        total += want;
        if (work.ProgressHandler() && work.InputSize() > 0)
            reportProgress(work, qint32((total * 100 + work.InputSize() / 2) / work.InputSize()));
        if (crc)
            UpdateCrc32(checksum, buffer.data() + 5, want);
        else
            UpdateAdler32(checksum, buffer.data() + 5, want);
        buffer[0] = total == amount ? 1 : 0;
        buffer[1] = quint8(want);
        buffer[2] = quint8(want >> 8);
        buffer[3] = quint8(~want);
        buffer[4] = quint8(~want >> 8);
        if (destination.Write(buffer.data(), want + 5) < want + 5)
            throw EArcInternalDeflateError(QStringLiteral(
                "could not write to the output stream [TArcDfInBitStream.obsEmptyBuffer]"));
    } while (total < amount);
    plain = total;
    return crc ? ~checksum : checksum;
}

quint32 compressBlocks(Stream& source, Stream& destination, TArcDeflateHelper& work,
                       TArcLogger* logger, int64_t& plain) {
    const int strategy = work.OptionBits() & StrategyMask;
    const bool deflate64 = (work.OptionBits() & Deflate64Format) != 0;
    TArcDfInputWindow window(source, (work.OptionBits() & Adler32Check) == 0, deflate64,
                             work.ChainLimit(), work.WindowBytes(), work.InputSize(),
                             &work.ProgressHandler());
    TArcDfOutBitStream out(destination);
    auto symbols = std::make_unique<TArcDfLZStream>(window, deflate64, logger);
    symbols->SetBlockStart(0);

    auto writeBlock = [&](bool final) {
        if (strategy == StaticOnly)
            WriteStaticBlock(final, deflate64, *symbols, logger, out);
        else
            WriteDynamicBlock(final, deflate64, *symbols, logger, out, strategy != DynamicOnly);
    };

    qint32 sufficient = work.SufficientMatch();
    qint32 lazyLimit = work.LazyLimit();
    bool full = false;
    bool checkedStart = false;
    int pendingLength = 0;
    int pendingDistance = 0;
    quint8 pendingByte = 0;
    while (window.LookaheadCount() == 3) {
        if (!checkedStart && symbols->InputBytes() == 1024) {
            checkedStart = true;
            // Input without zero bytes after the first KiB is most likely
            // text, where the longer search pays off.
            if (work.LevelLetter() == 'n' && symbols->LitLenCounts()[0] == 0) {
                auto twice = [](qint32 v) { return v > INT_MAX / 2 ? INT_MAX : v * 2; };
                work.SetSufficientMatch(twice(work.SufficientMatch()));
                work.SetLazyLimit(twice(work.LazyLimit()));
                work.SetChainLimit(twice(work.ChainLimit()));
                sufficient = work.SufficientMatch();
                lazyLimit = work.LazyLimit();
                window.SetChainLimit(work.ChainLimit());
            }
        }
        if (full) {
            writeBlock(false);
            symbols->ResetBlock();
            symbols->SetBlockStart(window.SourceOffset() - (pendingLength ? 1 : 0));
            full = false;
        }
        int length = 0, distance = 0;
        quint8 current = 0;
        bool found = window.SearchMatch(sufficient, pendingLength, length, distance, current);
        // A far 3-byte match costs more bits than the three literals.
        if (found && length == 3 && distance > 4096) found = false;
        if (found) {
            if (pendingLength) full = symbols->RecordLiteral(pendingByte) || full;
            pendingLength = length;
            pendingDistance = distance;
            pendingByte = current;
            window.StepOne();
            if (pendingLength >= lazyLimit) {
                full = symbols->RecordMatch(pendingLength, pendingDistance) || full;
                window.StepMany(pendingLength - 1, pendingLength - 1);
                pendingLength = 0;
            }
        } else if (pendingLength) {
            full = symbols->RecordMatch(pendingLength, pendingDistance) || full;
            window.StepMany(pendingLength - 1, pendingLength - 2);
            pendingLength = 0;
        } else {
            full = symbols->RecordLiteral(current) || full;
            window.StepOne();
        }
    }
    if (pendingLength) {
        symbols->RecordMatch(pendingLength, pendingDistance);
    } else {
        while (window.LookaheadCount() > 0)
            symbols->RecordLiteral(window.TakeByte());
    }
    writeBlock(true);
    out.Finish();
    plain = window.BytesRead();
    return window.Checksum();
}

}  // namespace

quint32 Deflate(Stream& source, Stream& destination, TArcDeflateHelper* helper) {
    TArcDeflateHelper work;
    if (helper) work.Assign(*helper);
    const int64_t destStart = destination.Position();
    if (!work.ProgressHandler()) {
        work.SetProgressHandler(nullptr);
        work.SetInputSize(0);
    } else if (work.InputSize() == -1) {
        // The rest of the source is what this run reads.
        work.SetInputSize(source.Size() - source.Position());
    }
    if ((work.OptionBits() & LazyMatching) == 0) work.SetLazyLimit(0);
    if (work.SufficientMatch() == -1) work.SetSufficientMatch(INT_MAX);
    if (work.LazyLimit() == -1) work.SetLazyLimit(INT_MAX);
    if (work.ChainLimit() == -1) work.SetChainLimit(INT_MAX);

    std::unique_ptr<TArcLogger> logger;
    if (!work.LogFileName().isEmpty()) {
        logger = std::make_unique<TArcLogger>(work.LogFileName());
        logger->WriteLine(QStringLiteral("DEFLATING STREAM..."));
        logger->WriteLine(QStringLiteral("Need to recompile the app with UseLogging turned on"));
    }

    int64_t plain = 0;
    quint32 checksum = 0;
    try {
        if ((work.OptionBits() & StrategyMask) == StoredOnly)
            checksum = deflateStoredOnly(source, destination, work, plain);
        else
            checksum = compressBlocks(source, destination, work, logger.get(), plain);
    } catch (const EArcInternalDeflateError& e) {
        try {
            reportProgress(work, 100);
        } catch (...) {
        }
        throw EArcDeflateError(e.Message());
    } catch (...) {
        try {
            reportProgress(work, 100);
        } catch (...) {
        }
        throw;
    }
    if (helper) {
        helper->SetPlainBytes(plain);
        helper->SetPackedBytes(destination.Position() - destStart);
    }
    reportProgress(work, 100);
    return checksum;
}

}  // namespace tandex::archive
