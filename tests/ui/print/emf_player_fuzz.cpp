// libFuzzer target for the page player (built with -DTANDEX_FUZZ=ON and
// clang). Text playback needs fonts, which want a GUI application on the
// offscreen platform.

#include <QGuiApplication>
#include <cstdlib>

#include "emf_player_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "emf-player-fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!emf_fuzz::playsCleanly(input)) std::abort();
    return 0;
}
