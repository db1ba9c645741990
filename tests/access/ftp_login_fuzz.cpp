// libFuzzer target for the login of every FTP proxy kind (built with
// -DTANDEX_FUZZ=ON and clang); what a run checks is told in
// ftp_login_fuzz_check.h.

#include "ftp_login_fuzz_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runFtpLogin(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "ftp-login-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
