// libFuzzer target for the page file's loader (built with -DTANDEX_FUZZ=ON
// and clang). The preview takes the system's font, which wants a GUI
// application on the offscreen platform.

#include <QGuiApplication>
#include <cstdlib>

#include "page_file_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "page-file-fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!page_file_fuzz::loadsCleanly(input)) std::abort();
    return 0;
}
