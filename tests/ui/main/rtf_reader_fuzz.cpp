// libFuzzer target for the RTF reader (built with -DTANDEX_FUZZ=ON and
// clang). The reader fills a document, whose fonts want a GUI application
// on the offscreen platform.

#include <QGuiApplication>
#include <cstdlib>

#include "rtf_reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rtf-reader-fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!rtf_check::readsCleanly(input)) std::abort();
    return 0;
}
