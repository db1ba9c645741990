// libFuzzer target of type detection and the component's open and
// extraction of every format (built with -DTANDEX_FUZZ=ON and clang).
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_bodies::KitOpen(data, size);
    return 0;
}
