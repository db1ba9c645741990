#include "ui/print/preview_units.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tandex::print {

namespace {

const TPaperSizeInfo kPaperSizes[kPaperTypeCount] = {
    {1, 8500, 11000, mmHiEnglish},   {2, 8500, 11000, mmHiEnglish},   {3, 11000, 17000, mmHiEnglish},
    {4, 17000, 11000, mmHiEnglish},  {5, 8500, 14000, mmHiEnglish},   {6, 5500, 8500, mmHiEnglish},
    {7, 7250, 10500, mmHiEnglish},   {8, 2970, 4200, mmLoMetric},     {9, 2100, 2970, mmLoMetric},
    {10, 2100, 2970, mmLoMetric},    {11, 1480, 2100, mmLoMetric},    {12, 2500, 3540, mmLoMetric},
    {13, 1820, 2570, mmLoMetric},    {14, 8500, 13000, mmHiEnglish},  {15, 2150, 2750, mmLoMetric},
    {16, 10000, 14000, mmHiEnglish}, {17, 11000, 17000, mmHiEnglish}, {18, 8500, 11000, mmHiEnglish},
    {19, 3875, 8875, mmHiEnglish},   {20, 4125, 9500, mmHiEnglish},   {21, 4500, 10375, mmHiEnglish},
    {22, 4750, 11000, mmHiEnglish},  {23, 5000, 11500, mmHiEnglish},  {24, 17000, 22000, mmHiEnglish},
    {25, 22000, 34000, mmHiEnglish}, {26, 34000, 44000, mmHiEnglish}, {27, 1100, 2200, mmLoMetric},
    {28, 1620, 2290, mmLoMetric},    {29, 3240, 4580, mmLoMetric},    {30, 2290, 3240, mmLoMetric},
    {31, 1140, 1620, mmLoMetric},    {32, 1140, 2290, mmLoMetric},    {33, 2500, 3530, mmLoMetric},
    {34, 1760, 2500, mmLoMetric},    {35, 1760, 1250, mmLoMetric},    {36, 1100, 2300, mmLoMetric},
    {37, 3875, 7500, mmHiEnglish},   {38, 3625, 6500, mmHiEnglish},   {39, 14875, 11000, mmHiEnglish},
    {40, 8500, 12000, mmHiEnglish},  {41, 8500, 13000, mmHiEnglish},  {42, 2500, 3530, mmLoMetric},
    {43, 1000, 1480, mmLoMetric},    {44, 9000, 11000, mmHiEnglish},  {45, 10000, 11000, mmHiEnglish},
    {46, 15000, 11000, mmHiEnglish}, {47, 2200, 2200, mmLoMetric},    {50, 9500, 12000, mmHiEnglish},
    {51, 9500, 15000, mmHiEnglish},  {52, 11690, 18000, mmHiEnglish}, {53, 9270, 12690, mmHiEnglish},
    {54, 8500, 11000, mmHiEnglish},  {55, 2100, 2970, mmLoMetric},    {56, 9500, 12000, mmHiEnglish},
    {57, 2270, 3560, mmLoMetric},    {58, 3050, 4870, mmLoMetric},    {59, 8500, 12690, mmHiEnglish},
    {60, 2100, 3300, mmLoMetric},    {61, 1480, 2100, mmLoMetric},    {62, 1820, 2570, mmLoMetric},
    {63, 3220, 4450, mmLoMetric},    {64, 1740, 2350, mmLoMetric},    {65, 2010, 2760, mmLoMetric},
    {66, 4200, 5940, mmLoMetric},    {67, 2970, 4200, mmLoMetric},    {68, 3220, 4450, mmLoMetric},
    {256, 0, 0, mmPixel},
};

int saturate(int64_t v) {
    return int(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int64_t unitsPerInch(TUnits u, int dpi) {
    switch (u) {
    case mmPixel: return dpi;
    case mmLoMetric: return 254;
    case mmHiMetric: return 2540;
    case mmLoEnglish: return 100;
    case mmHiEnglish: return 1000;
    case mmTWIPS: return 1440;
    case mmPoints: return 72;
    }
    return 1;
}

}  // namespace

const TPaperSizeInfo& PaperSizes(TPaperType type) {
    return kPaperSizes[qBound(0, int(type), kPaperTypeCount - 1)];
}

TPaperType FindPaperTypeById(int code) {
    for (int t = 0; t < kPaperTypeCount; ++t)
        if (kPaperSizes[t].ID == code) return TPaperType(t);
    return pCustom;
}

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

int ConvertUnits(int value, int dpi, TUnits inUnits, TUnits outUnits) {
    if (inUnits == outUnits) return value;
    if ((inUnits == mmLoMetric && outUnits == mmHiMetric) || (inUnits == mmLoEnglish && outUnits == mmHiEnglish))
        return saturate(int64_t(value) * 10);
    if ((inUnits == mmHiMetric && outUnits == mmLoMetric) || (inUnits == mmHiEnglish && outUnits == mmLoEnglish))
        return value / 10;
    if (inUnits == mmTWIPS && outUnits == mmPoints) return value / 20;
    if (inUnits == mmPoints && outUnits == mmTWIPS) return saturate(int64_t(value) * 20);
    const int64_t from = unitsPerInch(inUnits, dpi);
    const int64_t to = unitsPerInch(outUnits, dpi);
    if (from <= 0) return 0;
    // Exact: the quotient of a 64-bit product, its half rounded to even.
    const int64_t product = int64_t(value) * to;
    int64_t q = product / from;
    const int64_t r = product % from;
    const int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > from || (twice == from && (q % 2 != 0))) q += product < 0 ? -1 : 1;
    return saturate(q);
}

int ScreenPixelsPerInch() {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    return screen ? qMax(1, int(std::lround(screen->logicalDotsPerInch()))) : 96;
}

}  // namespace tandex::print
