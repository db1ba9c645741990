// libFuzzer target of the PPMd decoder (built with -DTANDEX_FUZZ=ON and
// clang).
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_bodies::Ppmd(data, size);
    return 0;
}
