// libFuzzer target for the legacy zip decoders (built with -DTANDEX_FUZZ=ON
// and clang). The first byte picks the method (1 to 6) and, for implode,
// the dictionary and tree count; the output is capped at 256 KB so a few
// bytes cannot ask for endless output.

#include "archive/zip_legacy.h"

using namespace tandex::archive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    MemoryStream in(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    MemoryStream out;
    TArcUnzipHelper helper(in, out);
    helper.Method = static_cast<uint8_t>(1 + mode % 6);
    helper.ImplodeDictionarySize = (mode & 0x10) ? 8192 : 4096;
    helper.ImplodeTreeCount = (mode & 0x20) ? 3 : 2;
    helper.UncompressedSize = 262144;
    try {
        helper.UnzipHelperRun();
    } catch (const Exception&) {
    }
    return 0;
}
