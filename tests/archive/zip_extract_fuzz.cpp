// libFuzzer target for zip extraction: arbitrary bytes opened as a zip,
// every item extracted to the discard stream with and without a password.
// Seed it with the peer archives in data/peer and zips the tools make;
// inputs that ever broke it go to data/ as zip-extract-*.bin.

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_bodies::ZipExtract(data, size);
    return 0;
}
