// libFuzzer target of the bzip2, LZMA and WavPack adapters (built with
// -DTANDEX_FUZZ=ON and clang).
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_bodies::Codecs(data, size);
    return 0;
}
