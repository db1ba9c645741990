// libFuzzer target for the deflate engine (built with -DTANDEX_FUZZ=ON and
// clang). The first byte picks the run: bit 0 Deflate64, bit 1 an output
// limit, bit 2 a compression round trip of the rest instead of decoding
// it, bits 3-5 the preset of that round trip.

#include "archive/deflate.h"
#include "archive/inflate.h"
#include "archive/streams.h"

#include <cstdlib>

using namespace tandex::archive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    TArcDeflateHelper h;
    if (mode & 4) {
        static const char letters[] = {'0', '2', 'f', 'n', 's', 'x', 'n', 'x'};
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
        if (Inflate(packed, back, &d) != crc || back.Memory() != rest) std::abort();
        return 0;
    }
    if (mode & 1) h.SetOptionBits(h.OptionBits() | Deflate64Format);
    // Deflate64 lets a few bytes ask for huge outputs: count, don't keep.
    h.SetOptionBits(h.OptionBits() | TestOnly);
    if (mode & 2) h.SetOutputLimit(512);
    MemoryStream src(rest);
    MemoryStream dst;
    try {
        Inflate(src, dst, &h);
    } catch (const EArcInflateError&) {
    }
    return 0;
}
