#include "ui/print/preview_units.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tandex::print {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = int64_t(a) * int64_t(b);
    int64_t q = product / c;
    const int64_t r = product % c;
    // |2r| >= |c| means the remainder is at least a half: away from zero.
    if (r != 0 && 2 * (r < 0 ? -r : r) >= (c < 0 ? -int64_t(c) : int64_t(c)))
        q += ((product < 0) != (c < 0)) ? -1 : 1;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return int(q);
}

int ScreenPixelsPerInch() {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    return screen ? qMax(1, int(std::lround(screen->logicalDotsPerInch()))) : 96;
}

}  // namespace tandex::print
