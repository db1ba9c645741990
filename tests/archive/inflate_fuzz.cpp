// libFuzzer target for the deflate engine (built with -DTANDEX_FUZZ=ON and
// clang). The first byte picks the run: bit 0 Deflate64, bit 1 an output
// limit, bit 2 a compression round trip of the rest instead of decoding
// it, bits 3-5 the preset of that round trip.
//
// zlib is the oracle for plain deflate: whatever its raw inflate decodes,
// ours must decode to the same bytes and end at the same input byte. Ours
// may accept more than zlib (incomplete code sets), never less. Deflate64
// has no oracle; it must only end cleanly.

#include "archive/deflate.h"
#include "archive/inflate.h"
#include "archive/streams.h"
#include "zlib_check.h"

#include <cstdio>
#include <cstdlib>

using namespace tandex::archive;

namespace {

constexpr int kOutputLimit = 512;

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "inflate-fuzz: %s\n", what);
    std::abort();
}

void roundTrip(quint8 mode, const QByteArray& rest) {
    static const char letters[] = {'0', '2', 'f', 'n', 's', 'x', 'n', 'x'};
    TArcDeflateHelper h;
    h.SetLevelLetter('0');
    h.SetLevelLetter(letters[(mode >> 3) & 7]);
    if (mode & 1) h.SetOptionBits(h.OptionBits() | Deflate64Format);
    MemoryStream src(rest);
    MemoryStream packed;
    const quint32 crc = Deflate(src, packed, &h);
    packed.SetPosition(0);
    MemoryStream back;
    TArcDeflateHelper d;
    d.SetOptionBits(d.OptionBits() | (h.OptionBits() & Deflate64Format));
    if (Inflate(packed, back, &d) != crc || back.Memory() != rest)
        mismatch("round trip changed the data");
}

void decode64(quint8 mode, const QByteArray& rest) {
    TArcDeflateHelper h;
    // Deflate64 lets a few bytes ask for huge outputs: count, don't keep.
    h.SetOptionBits(h.OptionBits() | Deflate64Format | TestOnly);
    if (mode & 2) h.SetOutputLimit(kOutputLimit);
    MemoryStream src(rest);
    MemoryStream dst;
    try {
        Inflate(src, dst, &h);
    } catch (const EArcInflateError&) {
    }
}

void decodeAgainstZlib(quint8 mode, const QByteArray& rest) {
    qint64 zlibConsumed = 0;
    const std::optional<QByteArray> expected = codec_test::zlibInflate(rest, &zlibConsumed);
    const bool limited = (mode & 2) != 0;
    TArcDeflateHelper h;
    if (limited) h.SetOutputLimit(kOutputLimit);
    MemoryStream src(rest);
    MemoryStream dst;
    quint32 crc = 0;
    try {
        crc = Inflate(src, dst, &h);
    } catch (const EArcInflateError& e) {
        if (!expected) return;
        std::fprintf(stderr, "%s\n", e.what());
        mismatch("zlib decodes what ours refuses");
    }
    if (!expected) return;
    const QByteArray& got = dst.Memory();
    if (limited) {
        // Stopped at the limit: a prefix of the whole, at least the limit.
        if (got != expected->left(got.size()) ||
            got.size() < std::min<qsizetype>(expected->size(), kOutputLimit))
            mismatch("output up to the limit differs from zlib's");
        return;
    }
    if (got != *expected) mismatch("output differs from zlib's");
    const quint32 zlibCrc = quint32(
        crc32(0, reinterpret_cast<const Bytef*>(expected->constData()), uInt(expected->size())));
    if (crc != zlibCrc) mismatch("checksum differs from zlib's");
    if (h.PackedBytes() != zlibConsumed || src.Position() != zlibConsumed)
        mismatch("stream ends at another byte than zlib's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const quint8 mode = data[0];
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (mode & 4)
        roundTrip(mode, rest);
    else if (mode & 1)
        decode64(mode, rest);
    else
        decodeAgainstZlib(mode, rest);
    return 0;
}
