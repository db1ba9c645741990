#pragma once
// bzip2, LZMA and WavPack through Debian's libraries.
//
// The bzip2 streams are library streams over an inner stream they do not
// own: one compresses what is written to it, the other decompresses what is
// read from it. LZMA (zip method 14) and WavPack (zip method 97) are plain
// routines from a source stream to a target stream. The decoders that a
// hostile entry could make produce far more than its stored size take the
// byte count the caller expects and never write beyond it.

#include "archive/archive_errors.h"
#include "archive/streams.h"

#include <bzlib.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace tandex::archive {

class EBZip2Error : public Exception {
public:
    using Exception::Exception;
};
class EBZCompressionError : public EBZip2Error {
public:
    using EBZip2Error::EBZip2Error;
};
class EBZDecompressionError : public EBZip2Error {
public:
    using EBZip2Error::EBZip2Error;
};
class EArcLZMAException : public Exception {
public:
    using Exception::Exception;
};

class TCustomBZip2Stream : public Stream {
public:
    static constexpr int64_t kBufferSize = 65536;

    explicit TCustomBZip2Stream(Stream& inner);
    ~TCustomBZip2Stream() override = default;

    std::function<void(TCustomBZip2Stream& sender)> OnProgress;

protected:
    void Progress() {
        if (OnProgress) OnProgress(*this);
    }

    Stream& inner_;
    int64_t innerPosition_;
    bz_stream bz_{};
    std::vector<char> buffer_;
};

class TBZCompressionStream : public TCustomBZip2Stream {
public:
    // blockSizeIndex 0-8 stands for bzip2's block sizes 1-9 (100-900 KB).
    TBZCompressionStream(int blockSizeIndex, Stream& destination);
    // Finishes the bzip2 stream; errors while finishing cannot be raised
    // from here, so callers that must know call Finish first.
    ~TBZCompressionStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Only Seek(0, soCurrent): the bytes taken in so far.
    int64_t Seek(int64_t offset, int origin) override;
    // Writes the stream's end; further writes raise.
    void Finish();

private:
    void flushOutput(int64_t count);
    bool initialized_ = false;
    bool finished_ = false;
};

class TBZDecompressionStream : public TCustomBZip2Stream {
public:
    explicit TBZDecompressionStream(Stream& source);
    ~TBZDecompressionStream() override;

    // Concatenated bzip2 streams read as one; after the last one reads
    // return 0 bytes. Input that ends before a stream's end marker raises
    // "error -7" (bzip2's unexpected end of data).
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // To 0 restarts from where the source stood at creation; forward seeks
    // read and discard. The result is the output total.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return -1; }

private:
    void init();
    void end();
    // After one stream's end: whether another begins ("BZh" follows).
    bool nextStreamFollows();
    int64_t fill();

    int64_t startPosition_;
    int64_t total_ = 0;
    bool initialized_ = false;
    bool atEnd_ = false;
};

// The all-bits-set unpacked size of an LZMA entry whose size is unknown.
constexpr uint64_t kLzmaUnknownSize = ~uint64_t(0);

// Raw LZMA1 from source to destination. With a known unpackedSize exactly
// that many bytes are written; with kLzmaUnknownSize the data ends at its
// end marker and at most maxOutput bytes are written (beyond that:
// "LZMA Output EOF Error."). A source that ends early ends the decoding
// without error: the caller's CRC check judges the result.
void DecompressLzma(const uint8_t* properties, int propertiesSize, Stream& source,
                    uint64_t unpackedSize, Stream& destination, uint64_t maxOutput);
// The message of an LZMA result code; RaiseLzmaError raises it.
QString LzmaErrorText(int code);
[[noreturn]] void RaiseLzmaError(int code);

// A WavPack stream (the wave file's RIFF wrapper kept) from source to
// destination as the original wave file; at most maxOutput bytes.
void DecompressWavPack(Stream& source, Stream& destination, int64_t maxOutput);

}  // namespace tandex::archive
