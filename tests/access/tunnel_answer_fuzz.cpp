// libFuzzer target for the CONNECT tunnel's answer reader and the ping's
// echo-reply reader (built with -DTANDEX_FUZZ=ON and clang); what a run
// checks is told in tunnel_answer_fuzz_check.h.

#include "tunnel_answer_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runTunnelAnswer(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "tunnel-answer-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
