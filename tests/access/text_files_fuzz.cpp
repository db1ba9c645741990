// libFuzzer target for the text files (built with -DTANDEX_FUZZ=ON and
// clang): random bytes through kind detection, the line reader and the text
// writer; how the first byte shapes the run is told in
// text_files_fuzz_check.h. Files go to a private folder in /dev/shm where
// there is one, so the runs stay in memory.

#include "text_files_fuzz_check.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        return std::make_unique<QTemporaryDir>(base + QStringLiteral("/text-files-fuzz-XXXXXX"));
    }();
    if (!folder->isValid()) std::abort();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString failure = tandex::access::fuzz::runText(input, folder->path());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "text-files-fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
