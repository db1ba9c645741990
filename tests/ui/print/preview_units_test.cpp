#include "ui/print/preview_units.h"

#include <gtest/gtest.h>

using namespace tandex::print;

namespace {

TEST(ConvertUnits, ConvertsBetweenEveryUnit) {
    struct Case {
        int value, dpi;
        TUnits in, out;
        int expected;
    };
    const Case cases[] = {
        {21000, 96, mmHiMetric, mmLoMetric, 2100},
        {21000, 300, mmHiMetric, mmLoMetric, 2100},
        {-15, 96, mmHiMetric, mmLoMetric, -1},
        {1000, 96, mmHiEnglish, mmHiMetric, 2540},
        {72, 96, mmPoints, mmTWIPS, 1440},
        {1441, 96, mmTWIPS, mmPoints, 72},
        {-1441, 96, mmTWIPS, mmPoints, -72},
        {123, 96, mmLoEnglish, mmHiEnglish, 1230},
        {129, 96, mmHiEnglish, mmLoEnglish, 12},
        {777, 96, mmPixel, mmPixel, 777},
        // 64-bit product: the 32-bit one wrapped beyond about 845,000.
        {1000000, 96, mmHiEnglish, mmHiMetric, 2540000},
        {-1000000, 96, mmHiEnglish, mmHiMetric, -2540000},
        {845000, 96, mmHiEnglish, mmHiMetric, 2146300},
        // Pixels at the given resolution; halves round to even.
        {21000, 96, mmHiMetric, mmPixel, 794},
        {29700, 96, mmHiMetric, mmPixel, 1123},
        {96, 96, mmPixel, mmLoEnglish, 100},
        {1, 2, mmPixel, mmPoints, 36},
        {5, 72, mmPoints, mmPixel, 5},
        {1, 144, mmPoints, mmPixel, 2},
        {1, 36, mmPoints, mmPixel, 0},   // 0.5 → 0
        {3, 36, mmPoints, mmPixel, 2},   // 1.5 → 2
        {-3, 36, mmPoints, mmPixel, -2},
        // Beyond 32 bits the result saturates.
        {2000000000, 96, mmPoints, mmHiMetric, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertUnits(c.value, c.dpi, c.in, c.out), c.expected)
            << c.value << " from " << c.in << " to " << c.out << " at " << c.dpi;
}

TEST(MulDiv, UsesA64BitProductAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, -1, -2), 3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(2000000000, 2, 1), -1);
}

TEST(PaperTable, HoldsSixtySevenSizesInOrder) {
    EXPECT_EQ(kPaperTypeCount, 67);
    EXPECT_EQ(PaperSizes(pA4).ID, 9);
    EXPECT_EQ(PaperSizes(pA4).Width, 2100);
    EXPECT_EQ(PaperSizes(pLetterExtra).ID, 50);
    EXPECT_EQ(PaperSizes(pCustom).ID, 256);
    EXPECT_EQ(FindPaperTypeById(1), pLetter);
    EXPECT_EQ(FindPaperTypeById(68), pA3ExtraTransverse);
    EXPECT_EQ(FindPaperTypeById(48), pCustom);
}

}  // namespace
