// libFuzzer target for the FTP reply reader and the listing parsers (built
// with -DTANDEX_FUZZ=ON and clang); what a run checks is told in
// ftp_reply_fuzz_check.h.

#include "ftp_reply_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runFtpReply(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "ftp-reply-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
