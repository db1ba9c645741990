// libFuzzer target for the cloud client's answer readers (built with
// -DTANDEX_FUZZ=ON and clang): arbitrary bytes as a metadata answer and as
// a token answer; what a run checks is told in cloud_scan_fuzz_check.h.

#include "cloud_scan_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runCloudScan(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "cloud-scan-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
