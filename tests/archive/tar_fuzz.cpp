// libFuzzer target of the tar load (built with -DTANDEX_FUZZ=ON and clang).
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_bodies::TarLoad(data, size);
    return 0;
}
