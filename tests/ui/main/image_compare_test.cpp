#include "ui/main/image_compare.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <functional>
#include <tuple>

#include "config/app_settings.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;

namespace {

QImage Filled(int w, int h, quint32 pixel) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(pixel);
    return image;
}

quint32 Pixel(const QImage& image, int x, int y) {
    return reinterpret_cast<const quint32*>(image.constScanLine(y))[x];
}

// Every pixel different, so that a transform's mapping shows.
QImage Numbered(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<quint32*>(image.scanLine(y))[x] = quint32(0x01000000 * (y * w + x + 1) + 0x10 * x + y);
    return image;
}

class ImgCompareTest : public ::testing::Test {
protected:
    config::TAppSettings saved = config::AppSettings();
    ImgCompare cmp;

    ~ImgCompareTest() override { config::AppSettings() = saved; }

    void Pair(const QImage& left, const QImage& right) {
        cmp.SetLeftPicture(left);
        cmp.SetRightPicture(right);
    }

    std::tuple<qint32, qint32, qint32> Counts() {
        qint32 same = -1, tol = -1, diff = -1;
        GetImageCompareCounts(same, tol, diff);
        return {same, tol, diff};
    }
};

TEST_F(ImgCompareTest, EqualImagesAreAllSame) {
    Pair(Filled(1000, 2, 0xFF123456), Filled(1000, 2, 0xFF123456));
    EXPECT_EQ(cmp.Compute(0), "[Pixels mode: Tolerance=0 | Same=2.000 | Tol=0 | Diff=0]");
    EXPECT_EQ(Counts(), std::make_tuple(2000, 0, 0));
    EXPECT_EQ(Pixel(cmp.Result(), 999, 1), 0x00FFFFFFu);
    EXPECT_EQ(cmp.OffsetText(), "xofs: 0\nyofs: 0");
    EXPECT_EQ(config::AppSettings().ICID, 0);

    config::AppSettings().ICOverlay = true;
    cmp.Compute(0);
    EXPECT_EQ(cmp.Result(), cmp.LeftPicture());
}

TEST_F(ImgCompareTest, PixelClassesFollowToleranceRelaxedAndOverlay) {
    const quint32 left = 0xFF0A0A0A, right = 0xFF0A0A0F;  // blue differs by 5
    struct Case {
        int tolerance;
        bool relaxed, overlay;
        std::tuple<qint32, qint32, qint32> counts;
        quint32 painted;
    } cases[] = {
        {5, false, false, {0, 1, 0}, 0x0000FF00},  // tolerated: green
        {4, false, false, {0, 0, 1}, 0x00FF0000},  // different: red
        {5, true, false, {0, 1, 0}, 0x00FFFFFF},   // relaxed: painted as same
        {5, true, true, {0, 1, 0}, left},          // relaxed overlay: left shows
        {5, false, true, {0, 1, 0}, 0x0000FF00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tolerance << c.relaxed << c.overlay);
        auto& s = config::AppSettings();
        s.ICDifTol = c.tolerance;
        s.ICRelaxed = c.relaxed;
        s.ICOverlay = c.overlay;
        Pair(Filled(1, 1, left), Filled(1, 1, right));
        ASSERT_TRUE(cmp.Compute(0));
        EXPECT_EQ(Counts(), c.counts);
        EXPECT_EQ(Pixel(cmp.Result(), 0, 0), c.painted);
    }
}

TEST_F(ImgCompareTest, TintedDarkensByTheLeftPixel) {
    config::AppSettings().ICTinted = true;
    Pair(Filled(1, 1, 0xFF000000), Filled(1, 1, 0xFF000000));
    cmp.Compute(0);
    EXPECT_EQ(Pixel(cmp.Result(), 0, 0), 0x00404040u);  // white minus 191
}

TEST_F(ImgCompareTest, OffsetLeavesUncoveredColumnsAndCountsOnlyTheOverlap) {
    Pair(Numbered(20, 5), Numbered(20, 5));
    cmp.SetOffset(10.2, -0.4);
    cmp.Compute(0);
    const auto [same, tol, diff] = Counts();
    EXPECT_EQ(same + tol + diff, 10 * 5);
    EXPECT_EQ(cmp.OffsetText(), "xofs: 10\nyofs: 0");
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(Pixel(cmp.Result(), x, 2), Pixel(cmp.LeftPicture(), x, 2));
    // Right pixel (0, y) lands on result (10, y).
    config::AppSettings().ICBOType = 0;
    cmp.Compute(3);
    EXPECT_EQ(Pixel(cmp.Result(), 10, 3), Pixel(cmp.LeftPicture(), 10, 3) ^ Pixel(cmp.RightPicture(), 0, 3));

    cmp.SetOffset(-3, 100);
    cmp.Compute(0);
    EXPECT_EQ(Counts(), std::make_tuple(0, 0, 0));
    EXPECT_EQ(cmp.Result(), cmp.LeftPicture());
}

TEST_F(ImgCompareTest, BlendUsesRoundedConstantAlpha) {
    struct Alpha {
        int percent, alpha;
    } alphas[] = {{0, 0}, {1, 3}, {10, 26}, {30, 76}, {50, 128}, {99, 252}, {100, 255}};
    for (const auto& a : alphas)
        EXPECT_EQ(BlendAlpha(a.percent), a.alpha) << a.percent;

    const QImage left = Filled(2, 2, 0x00000000), right = Filled(2, 2, 0xFFFFFFFF);
    struct Case {
        int percent;
        quint32 pixel;
        const char* text;
    } cases[] = {
        {0, 0x00000000, "[Blend mode: 0%]"},
        {100, 0xFFFFFFFF, "[Blend mode: 100%]"},
        {50, 0x80808080, "[Blend mode: 50%]"},
    };
    for (const auto& c : cases) {
        config::AppSettings().ICBlend = c.percent;
        Pair(left, right);
        EXPECT_EQ(cmp.Compute(2), c.text);
        EXPECT_EQ(Pixel(cmp.Result(), 1, 1), c.pixel) << c.percent;
    }
    EXPECT_EQ(config::AppSettings().ICID, 2);
}

TEST_F(ImgCompareTest, BooleanOperationsWorkOnWholePixels) {
    const quint32 l = 0xFF00F0CC, r = 0x0F0FAA33;
    struct Case {
        int type;
        quint32 pixel;
        const char* text;
    } cases[] = {
        {0, l ^ r, "[Boolean mode: Left XOR Right]"},
        {1, l & r, "[Boolean mode: Left AND Right]"},
        {2, l | r, "[Boolean mode: Left OR Right]"},
        {3, l & ~r, "[Boolean mode: Left AND (NOT Right)]"},
        {4, ~l & ~r, "[Boolean mode: (NOT Left) AND (NOT Right)]"},
    };
    for (const auto& c : cases) {
        config::AppSettings().ICBOType = c.type;
        Pair(Filled(1, 1, l), Filled(1, 1, r));
        EXPECT_EQ(cmp.Compute(3), c.text);
        EXPECT_EQ(Pixel(cmp.Result(), 0, 0), c.pixel) << c.type;
    }
    // White against black under (NOT Left) AND (NOT Right) is black.
    Pair(Filled(1, 1, 0xFFFFFFFF), Filled(1, 1, 0xFF000000));
    cmp.Compute(3);
    EXPECT_EQ(Pixel(cmp.Result(), 0, 0) & 0xFFFFFF, 0u);
}

TEST_F(ImgCompareTest, IntensityChannelsAndAmplification) {
    struct Case {
        int type, level;
        quint32 left, right, pixel;
        const char* text;
    } cases[] = {
        {1, 0, 0xFFFF0000, 0xFF000000, 0x00555500, "[Intensity mode: Combined RGB]"},
        {0, 2, 0xFF1E6400, 0xFF000000, 0x0078FF00, "[Intensity mode: RGB  (Amplified 4x)]"},
        {2, 1, 0xFF102030, 0xFF000000, 0x00200000, "[Intensity mode: RED component  (Amplified 2x)]"},
        {3, 3, 0xFF102030, 0xFF000000, 0x0000FF00, "[Intensity mode: GREEN component  (Amplified 8x)]"},
        {4, 0, 0xFF000000, 0xFF102030, 0x00000030, "[Intensity mode: BLUE component]"},
    };
    for (const auto& c : cases) {
        config::AppSettings().ICDVType = c.type;
        cmp.SetAmplification(c.level);
        Pair(Filled(1, 1, c.left), Filled(1, 1, c.right));
        EXPECT_EQ(cmp.Compute(1), c.text);
        EXPECT_EQ(Pixel(cmp.Result(), 0, 0), c.pixel) << c.type;
    }
}

TEST_F(ImgCompareTest, FailureKeepsTheLeftPictureAndTheMode) {
    config::AppSettings().ICID = 1;
    cmp.SetLeftPicture(Filled(2, 2, 0xFF112233));
    EXPECT_FALSE(cmp.Compute(0));
    EXPECT_EQ(cmp.Result(), cmp.LeftPicture());
    cmp.SetRightPicture(Filled(2, 2, 0xFF112233));
    EXPECT_FALSE(cmp.Compute(7));
    EXPECT_EQ(config::AppSettings().ICID, 1);
}

TEST_F(ImgCompareTest, RotateFlipAndMirrorMapPixels) {
    const QImage old = Numbered(3, 2);
    const int w = 3, h = 2;
    struct Case {
        int kind;
        QSize size;
        std::function<QPoint(int, int)> source;  // new (x, y) -> old pixel
    } cases[] = {
        {0, {2, 3}, [&](int x, int y) { return QPoint(y, h - 1 - x); }},
        {1, {2, 3}, [&](int x, int y) { return QPoint(w - 1 - y, x); }},
        {2, {3, 2}, [&](int x, int y) { return QPoint(x, h - 1 - y); }},
        {3, {3, 2}, [&](int x, int y) { return QPoint(w - 1 - x, y); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QImage g = old;
        cmp.TransformImage(g, c.kind);
        ASSERT_EQ(g.size(), c.size);
        for (int y = 0; y < c.size.height(); ++y)
            for (int x = 0; x < c.size.width(); ++x)
                EXPECT_EQ(Pixel(g, x, y), Pixel(old, c.source(x, y).x(), c.source(x, y).y()));
    }
}

TEST_F(ImgCompareTest, ResizeMatchesTheOtherPicture) {
    Pair(Filled(4, 4, 0xFF000000), Filled(8, 2, 0xFF000000));
    struct Case {
        int kind;
        QSize before, after;
    } cases[] = {
        {4, {4, 4}, {8, 2}},  // has the left size: to the right one
        {4, {8, 2}, {4, 4}},  // otherwise to the left one
        {5, {3, 4}, {3, 2}},  // left height: the right height only
        {5, {3, 2}, {3, 4}},
        {6, {5, 7}, {4, 7}},  // not the left width: the left width only
        {6, {4, 7}, {8, 7}},
    };
    for (const auto& c : cases) {
        QImage g = Numbered(c.before.width(), c.before.height());
        cmp.TransformImage(g, c.kind);
        EXPECT_EQ(g.size(), c.after) << c.kind;
        EXPECT_EQ(Pixel(g, 0, 0), Pixel(Numbered(1, 1), 0, 0));
    }
    QImage g = Numbered(4, 4);
    cmp.TransformImage(g, 4);
    EXPECT_EQ(Pixel(g, 7, 1), Pixel(Numbered(4, 4), 3, 2));  // nearest source pixel
}

TEST_F(ImgCompareTest, ClipboardGetsTheOpaquePicture) {
    tandex::testing::TestApp();
    CopyGraphicToClipboard(Filled(2, 1, 0x00102030));
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(copied.size(), QSize(2, 1));
    EXPECT_EQ(Pixel(copied, 1, 0), 0xFF102030u);
}

}  // namespace
