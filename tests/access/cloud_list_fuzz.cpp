// libFuzzer target for the cloud listing's readers (built with
// -DTANDEX_FUZZ=ON and clang): arbitrary bytes as a service date and as a
// metadata answer filtered into a folder listing; what a run checks is
// told in cloud_list_fuzz_check.h.

#include "cloud_list_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runCloudList(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "cloud-list-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
