// The adapters between the library's streams and Debian's bzip2, liblzma
// and WavPack. Every library call stays in this file, so the rest of the
// archive library sees only streams and the library's own exceptions.
//
// Errors thrown by our streams must never unwind through the C libraries:
// the WavPack callbacks catch them, report failure to the library, and the
// routine rethrows once the library call has returned.

#include "archive/codec_adapters.h"

#include <lzma.h>
#include <wavpack/wavpack.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace tandex::archive {

namespace {

QString errorText(int code) {
    return QStringLiteral("error %1").arg(code);
}

const QString kInvalidOp = QStringLiteral("Invalid stream operation");

}  // namespace

// ------------------------------------------------------------------ bzip2

TCustomBZip2Stream::TCustomBZip2Stream(Stream& inner)
    : inner_(inner), innerPosition_(inner.Position()), buffer_(kBufferSize) {}

TBZCompressionStream::TBZCompressionStream(int blockSizeIndex, Stream& destination)
    : TCustomBZip2Stream(destination) {
    const int rc = BZ2_bzCompressInit(&bz_, std::clamp(blockSizeIndex, 0, 8) + 1, 0, 0);
    if (rc < 0) throw EBZCompressionError(errorText(rc));
    initialized_ = true;
    bz_.next_out = buffer_.data();
    bz_.avail_out = kBufferSize;
}

TBZCompressionStream::~TBZCompressionStream() {
    try {
        Finish();
    } catch (...) {
        // The destination failed while the stream was being abandoned;
        // whoever wants to know calls Finish.
    }
    if (initialized_) BZ2_bzCompressEnd(&bz_);
}

void TBZCompressionStream::flushOutput(int64_t count) {
    if (inner_.Position() != innerPosition_) inner_.SetPosition(innerPosition_);
    inner_.WriteBuffer(buffer_.data(), count);
    innerPosition_ = inner_.Position();
    bz_.next_out = buffer_.data();
    bz_.avail_out = kBufferSize;
}

int64_t TBZCompressionStream::Read(void*, int64_t) {
    throw EBZCompressionError(kInvalidOp);
}

int64_t TBZCompressionStream::Write(const void* buffer, int64_t count) {
    if (finished_) throw EBZCompressionError(kInvalidOp);
    const char* in = static_cast<const char*>(buffer);
    int64_t left = count;
    while (left > 0) {
        const unsigned int chunk = static_cast<unsigned int>(std::min<int64_t>(left, 1 << 30));
        bz_.next_in = const_cast<char*>(in);
        bz_.avail_in = chunk;
        while (bz_.avail_in > 0) {
            const int rc = BZ2_bzCompress(&bz_, BZ_RUN);
            if (rc < 0) throw EBZCompressionError(errorText(rc));
            if (bz_.avail_out == 0) flushOutput(kBufferSize);
            Progress();
        }
        in += chunk;
        left -= chunk;
    }
    return count;
}

void TBZCompressionStream::Finish() {
    if (!initialized_ || finished_) return;
    finished_ = true;
    bz_.avail_in = 0;
    for (;;) {
        const int rc = BZ2_bzCompress(&bz_, BZ_FINISH);
        if (rc < 0) throw EBZCompressionError(errorText(rc));
        if (rc == BZ_STREAM_END) break;
        if (bz_.avail_out == 0) flushOutput(kBufferSize);
    }
    flushOutput(kBufferSize - bz_.avail_out);
}

int64_t TBZCompressionStream::Seek(int64_t offset, int origin) {
    if (offset == 0 && origin == soCurrent)
        return (int64_t(bz_.total_in_hi32) << 32) | bz_.total_in_lo32;
    throw EBZCompressionError(kInvalidOp);
}

TBZDecompressionStream::TBZDecompressionStream(Stream& source)
    : TCustomBZip2Stream(source), startPosition_(innerPosition_) {
    init();
}

TBZDecompressionStream::~TBZDecompressionStream() {
    end();
}

void TBZDecompressionStream::init() {
    bz_ = bz_stream{};
    const int rc = BZ2_bzDecompressInit(&bz_, 0, 0);
    if (rc < 0) throw EBZDecompressionError(errorText(rc));
    initialized_ = true;
}

void TBZDecompressionStream::end() {
    if (initialized_) BZ2_bzDecompressEnd(&bz_);
    initialized_ = false;
}

int64_t TBZDecompressionStream::fill() {
    // Unread input moves to the front so that a stream's "BZh" can be
    // inspected across a buffer boundary.
    if (bz_.avail_in > 0 && bz_.next_in != buffer_.data())
        std::memmove(buffer_.data(), bz_.next_in, bz_.avail_in);
    bz_.next_in = buffer_.data();
    if (inner_.Position() != innerPosition_) inner_.SetPosition(innerPosition_);
    const int64_t got = inner_.Read(buffer_.data() + bz_.avail_in, kBufferSize - bz_.avail_in);
    innerPosition_ = inner_.Position();
    bz_.avail_in += static_cast<unsigned int>(got);
    return got;
}

bool TBZDecompressionStream::nextStreamFollows() {
    while (bz_.avail_in < 4 && fill() > 0) {
    }
    if (bz_.avail_in < 4 || std::memcmp(bz_.next_in, "BZh", 3) != 0) return false;
    const char level = bz_.next_in[3];
    if (level < '1' || level > '9') return false;
    char* pending = bz_.next_in;
    const unsigned int pendingCount = bz_.avail_in;
    end();
    init();
    bz_.next_in = pending;
    bz_.avail_in = pendingCount;
    return true;
}

int64_t TBZDecompressionStream::Read(void* buffer, int64_t count) {
    char* out = static_cast<char*>(buffer);
    int64_t produced = 0;
    while (produced < count && !atEnd_) {
        // Input that runs out before the stream's end marker is a cut or
        // damaged file, not an end: what came out so far is not the data.
        if (bz_.avail_in == 0 && fill() == 0) throw EBZDecompressionError(errorText(BZ_UNEXPECTED_EOF));
        bz_.next_out = out + produced;
        const unsigned int room =
            static_cast<unsigned int>(std::min<int64_t>(count - produced, 1 << 30));
        bz_.avail_out = room;
        const int rc = BZ2_bzDecompress(&bz_);
        produced += room - bz_.avail_out;
        if (rc < 0) throw EBZDecompressionError(errorText(rc));
        Progress();
        if (rc == BZ_STREAM_END && !nextStreamFollows()) atEnd_ = true;
    }
    total_ += produced;
    return produced;
}

int64_t TBZDecompressionStream::Write(const void*, int64_t) {
    throw EBZDecompressionError(kInvalidOp);
}

int64_t TBZDecompressionStream::Seek(int64_t offset, int origin) {
    int64_t skip = -1;
    if (origin == soBeginning && offset == 0) {
        end();
        init();
        atEnd_ = false;
        total_ = 0;
        innerPosition_ = startPosition_;
        inner_.SetPosition(startPosition_);
        return 0;
    }
    if (origin == soCurrent && offset >= 0) skip = offset;
    if (origin == soBeginning && offset > total_) skip = offset - total_;
    if (origin == soBeginning && offset == total_) skip = 0;
    if (skip < 0) throw EBZDecompressionError(kInvalidOp);
    char scratch[8192];
    while (skip > 0) {
        const int64_t got = Read(scratch, std::min<int64_t>(skip, sizeof scratch));
        if (got == 0) break;
        skip -= got;
    }
    return total_;
}

// ------------------------------------------------------------------- LZMA

QString LzmaErrorText(int code) {
    switch (code) {
        case 1: return QStringLiteral("LZMA Data Error.");
        case 2: return QStringLiteral("LZMA Memory Error.");
        case 3: return QStringLiteral("LZMA CRC Error.");
        case 4: return QStringLiteral("LZMA \"Unsupported\" Error.");
        case 5: return QStringLiteral("LZMA Parameter Error.");
        case 6: return QStringLiteral("LZMA Input EOF Error.");
        case 7: return QStringLiteral("LZMA Output EOF Error.");
        case 8: return QStringLiteral("LZMA Read Error.");
        case 9: return QStringLiteral("LZMA Write Error.");
        case 10: return QStringLiteral("LZMA Progress Error.");
        case 11: return QStringLiteral("LZMA \"Fail\" Error.");
        case 12: return QStringLiteral("LZMA Thread Error.");
        case 16: return QStringLiteral("LZMA Archive Error.");
        case 17: return QStringLiteral("LZMA \"No Archive\" Error.");
        default: return QStringLiteral("Unknown LZMA error (%1)").arg(code);
    }
}

void RaiseLzmaError(int code) {
    throw EArcLZMAException(LzmaErrorText(code));
}

namespace {

// liblzma's answers in the result codes that LZMA decoders report.
int lzmaResultCode(lzma_ret rc) {
    switch (rc) {
        case LZMA_OK:
        case LZMA_STREAM_END: return 0;
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR: return 2;
        case LZMA_OPTIONS_ERROR:
        case LZMA_FORMAT_ERROR: return 4;
        case LZMA_PROG_ERROR: return 5;
        case LZMA_DATA_ERROR:
        case LZMA_BUF_ERROR: return 1;
        default: return 11;
    }
}

struct LzmaStreamEnd {
    void operator()(lzma_stream* s) const { lzma_end(s); }
};

}  // namespace

void DecompressLzma(const uint8_t* properties, int propertiesSize, Stream& source,
                    uint64_t unpackedSize, Stream& destination, uint64_t maxOutput) {
    // The properties: one byte of lc, lp, pb and the 32-bit dictionary size.
    if (propertiesSize < 5 || properties[0] >= 9 * 5 * 5) RaiseLzmaError(4);
    lzma_options_lzma options{};
    int d = properties[0];
    options.lc = d % 9;
    d /= 9;
    options.lp = d % 5;
    options.pb = d / 5;
    uint32_t dict = uint32_t(properties[1]) | uint32_t(properties[2]) << 8 |
                    uint32_t(properties[3]) << 16 | uint32_t(properties[4]) << 24;
    const bool known = unpackedSize != kLzmaUnknownSize;
    // No match reaches further back than the output is long, so a
    // dictionary beyond that decodes the same: a hostile header cannot make
    // the decoder allocate gigabytes for a small entry.
    const uint64_t outputBound = known ? unpackedSize : maxOutput;
    options.dict_size = uint32_t(std::max<uint64_t>(std::min<uint64_t>(dict, outputBound),
                                                    LZMA_DICT_SIZE_MIN));
    // The decoder is never told the size: told, it would judge the bytes
    // after it (an entry may carry an end marker there, or anything), while
    // the entry ends where its size says. The loop below stops there.
    options.ext_flags = 0;
    options.ext_size_low = UINT32_MAX;
    options.ext_size_high = UINT32_MAX;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options},
                                   {LZMA_VLI_UNKNOWN, nullptr}};

    lzma_stream strm = LZMA_STREAM_INIT;
    if (const int rc = lzmaResultCode(lzma_raw_decoder(&strm, filters)); rc != 0)
        RaiseLzmaError(rc);
    std::unique_ptr<lzma_stream, LzmaStreamEnd> guard(&strm);

    const uint64_t limit = known ? unpackedSize : maxOutput;
    std::vector<uint8_t> in(65536), out(65536);
    uint64_t written = 0;
    int result = 0;
    while (!known || written < unpackedSize) {
        if (strm.avail_in == 0) {
            const int64_t got = source.Read(in.data(), int64_t(in.size()));
            if (got <= 0) break;
            strm.next_in = in.data();
            strm.avail_in = size_t(got);
        }
        // One byte of room past an unknown size's limit shows an overrun.
        const uint64_t room = limit - written + (known ? 0 : 1);
        strm.next_out = out.data();
        strm.avail_out = size_t(std::min<uint64_t>(out.size(), room));
        const size_t inBefore = strm.avail_in;
        const lzma_ret rc = lzma_code(&strm, LZMA_RUN);
        const size_t produced = std::min<uint64_t>(strm.next_out - out.data(), limit - written);
        destination.WriteBuffer(out.data(), int64_t(produced));
        written += produced;
        if (!known && produced < size_t(strm.next_out - out.data())) {
            result = 7;
            break;
        }
        if (rc == LZMA_STREAM_END) break;
        if (rc != LZMA_OK) {
            result = lzmaResultCode(rc);
            break;
        }
        if (produced == 0 && strm.avail_in == inBefore && strm.avail_in > 0) {
            result = 1;
            break;
        }
    }
    if (result != 0) RaiseLzmaError(result);
}

// ---------------------------------------------------------------- WavPack

namespace {

struct WavPackReaderContext {
    Stream* Source = nullptr;
    bool HasPushedBack = false;
    uint8_t PushedBack = 0;
    std::exception_ptr Error;
};

WavPackReaderContext& ctx(void* id) {
    return *static_cast<WavPackReaderContext*>(id);
}

int32_t wvRead(void* id, void* data, int32_t count) {
    WavPackReaderContext& c = ctx(id);
    if (count <= 0) return 0;
    auto* out = static_cast<uint8_t*>(data);
    int32_t done = 0;
    if (c.HasPushedBack) {
        *out++ = c.PushedBack;
        c.HasPushedBack = false;
        done = 1;
    }
    try {
        done += int32_t(c.Source->Read(out, count - done));
    } catch (...) {
        c.Error = std::current_exception();
    }
    return done;
}

int32_t wvWrite(void*, void*, int32_t) {
    return 0;  // the entry is only ever read
}

int64_t wvGetPos(void* id) {
    WavPackReaderContext& c = ctx(id);
    try {
        return c.Source->Position() - (c.HasPushedBack ? 1 : 0);
    } catch (...) {
        c.Error = std::current_exception();
        return -1;
    }
}

int wvSetPosAbs(void* id, int64_t pos) {
    WavPackReaderContext& c = ctx(id);
    c.HasPushedBack = false;
    try {
        c.Source->SetPosition(pos);
        return 0;
    } catch (...) {
        return -1;
    }
}

int wvSetPosRel(void* id, int64_t delta, int mode) {
    WavPackReaderContext& c = ctx(id);
    if (mode == SEEK_CUR && c.HasPushedBack) --delta;
    c.HasPushedBack = false;
    const int origin = mode == SEEK_SET ? soBeginning : mode == SEEK_END ? soEnd : soCurrent;
    try {
        c.Source->Seek(delta, origin);
        return 0;
    } catch (...) {
        return -1;
    }
}

int wvPushBack(void* id, int byte) {
    WavPackReaderContext& c = ctx(id);
    c.HasPushedBack = true;
    c.PushedBack = uint8_t(byte);
    return byte;
}

int64_t wvLength(void* id) {
    try {
        return ctx(id).Source->Size();
    } catch (...) {
        return 0;
    }
}

int wvCanSeek(void*) {
    return 1;
}

int wvNothing(void*) {
    return 0;
}

struct WavPackClose {
    void operator()(WavpackContext* w) const { WavpackCloseFile(w); }
};

// Writes to the destination, never past maxOutput bytes in all; false
// once the limit is reached.
class BoundedSink {
public:
    BoundedSink(Stream& target, int64_t limit) : target_(target), left_(limit) {}
    bool Put(const void* data, int64_t count) {
        const int64_t n = std::min(count, left_);
        target_.WriteBuffer(data, n);
        left_ -= n;
        return n == count;
    }

private:
    Stream& target_;
    int64_t left_;
};

}  // namespace

void DecompressWavPack(Stream& source, Stream& destination, int64_t maxOutput) {
    WavPackReaderContext context;
    context.Source = &source;
    WavpackStreamReader64 reader{wvRead,    wvWrite,   wvGetPos, wvSetPosAbs, wvSetPosRel,
                                 wvPushBack, wvLength, wvCanSeek, wvNothing,  wvNothing};
    char error[81] = {};
    std::unique_ptr<WavpackContext, WavPackClose> wpc(
        WavpackOpenFileInputEx64(&reader, &context, nullptr, error, OPEN_WRAPPER, 0));
    if (context.Error) std::rethrow_exception(context.Error);
    if (!wpc) {
        error[80] = 0;
        throw Exception(QStringLiteral("WavPack decompression failed: ") +
                        QString::fromLatin1(error));
    }
    BoundedSink sink(destination, maxOutput);
    auto flushWrapper = [&]() {
        const uint32_t n = WavpackGetWrapperBytes(wpc.get());
        const bool more = n == 0 || sink.Put(WavpackGetWrapperData(wpc.get()), n);
        if (n > 0) WavpackFreeWrapper(wpc.get());
        return more;
    };
    if (!flushWrapper()) return;

    const int channels = std::max(1, WavpackGetNumChannels(wpc.get()));
    const int bytesPerSample = std::clamp(WavpackGetBytesPerSample(wpc.get()), 1, 4);
    constexpr int64_t kOutSize = 262144;
    const int64_t frameBytes = int64_t(channels) * bytesPerSample;
    const int64_t perPass = std::clamp<int64_t>(kOutSize / frameBytes, 1, 4096);
    std::vector<uint8_t> out(size_t(std::max(kOutSize, frameBytes)));
    std::vector<int32_t> samples(size_t(perPass * channels));
    int64_t used = 0;
    for (;;) {
        const int64_t fit = std::min<int64_t>(perPass, (int64_t(out.size()) - used) / frameBytes);
        const uint32_t got = WavpackUnpackSamples(wpc.get(), samples.data(), uint32_t(fit));
        if (context.Error) std::rethrow_exception(context.Error);
        for (int64_t i = 0; i < int64_t(got) * channels; ++i) {
            const int32_t v = samples[size_t(i)];
            if (bytesPerSample == 1) {
                out[size_t(used++)] = uint8_t(v + 128);
            } else {
                for (int b = 0; b < bytesPerSample; ++b)
                    out[size_t(used++)] = uint8_t(uint32_t(v) >> (8 * b));
            }
        }
        if (got == 0 || int64_t(out.size()) - used < frameBytes) {
            if (!sink.Put(out.data(), used)) return;
            used = 0;
        }
        if (got == 0) break;
    }
    // The trailer of the wave file comes after the last samples.
    while (WavpackGetWrapperBytes(wpc.get()) > 0) {
        if (!flushWrapper()) return;
        WavpackUnpackSamples(wpc.get(), samples.data(), 1);
    }
}

}  // namespace tandex::archive
