#include "ui/main/led.h"

#include <QImage>
#include <QPaintEvent>

#include "tests/ui/widget_harness.h"

using namespace tandex::ui;

namespace {

class CountingLed : public TLED {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        TLED::paintEvent(event);
    }
};

class LedTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override { Watch(&led); }

    CountingLed led;
};

TEST_F(LedTest, DefaultsAndRadiusSizeTheControl) {
    EXPECT_EQ(led.size(), QSize(26, 26));
    EXPECT_EQ(led.Radius(), 11);
    EXPECT_EQ(led.LedColor(), 65280u);
    EXPECT_EQ(led.FrameColor(), 3092271u);
    EXPECT_EQ(led.LedStyle(), lsRound);
    EXPECT_TRUE(led.AutoRefresh());
    EXPECT_FALSE(led.Intensify());
    EXPECT_FALSE(led.DrawBorder());
    led.SetRadius(20);
    EXPECT_EQ(led.size(), QSize(44, 44));
    EXPECT_EQ(led.sizeHint(), QSize(44, 44));
}

TEST_F(LedTest, RingsRunFromDarkRimToLightCentre) {
    struct Case {
        TColor color;
        bool intensify;
        TColor outer;
        TColor inner;
    };
    const Case cases[] = {
        {0x00FF00, false, 0x009B00, 0x00F500},  // green 155 .. 245
        {0x00FF00, true, 0x04C324, 0x3AF95A},   // 36/195/4 .. 90/249/58
        {0x0000FF, false, 0x00009B, 0x0000F5},  // red: the zero channels stay 0
        {0xC0C0C0, true, 0xC3C3C3, 0xF9F9F9},   // silver, lit: capped at 255 first
    };
    for (const Case& c : cases) {
        const auto colors = LedShapeColors(c.color, c.intensify);
        EXPECT_EQ(colors[0], c.outer) << std::hex << c.color << c.intensify;
        EXPECT_EQ(colors[9], c.inner) << std::hex << c.color << c.intensify;
    }
}

TEST_F(LedTest, ShapesShrinkBySinglePrecisionStepsRoundedToEven) {
    struct Case {
        int radius;
        int insets[9];
    };
    const Case cases[] = {
        {11, {1, 2, 3, 4, 6, 7, 8, 9, 10}},
        {13, {1, 3, 4, 5, 6, 8, 9, 10, 12}},
        {20, {2, 4, 6, 8, 10, 12, 14, 16, 18}},
    };
    for (const Case& c : cases) {
        const int side = 2 * c.radius + 4;
        const auto rects = LedShapeRects(QRect(0, 0, side, side), c.radius);
        EXPECT_EQ(rects[0], QRect(1, 1, side - 2, side - 2));
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(rects[size_t(i + 1)], rects[0].adjusted(c.insets[i], c.insets[i],
                                                              -c.insets[i], -c.insets[i]))
                << c.radius << " shape " << i + 1;
    }
}

TEST_F(LedTest, WritersRepaintOnlyWithAutoRefresh) {
    led.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&led));
    QTest::qWait(20);
    const int before = led.paints;
    led.SetAutoRefresh(false);
    led.SetLedColor(255);
    led.SetIntensify(true);
    led.SetDrawBorder(true);
    led.SetLedStyle(lsRect);
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_EQ(led.paints, before);
    EXPECT_EQ(led.LedColor(), 255u);
    led.SetAutoRefresh(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return led.paints > before; }, 1000));
}

TEST_F(LedTest, LitAndUnlitLampsLookRight) {
    led.SetRadius(20);
    const QImage unlit = led.grab().toImage();
    tandex::testing::GrabToPng(&led, QStringLiteral("Led.Unlit"));
    led.SetIntensify(true);
    led.SetDrawBorder(true);
    const QImage lit = led.grab().toImage();
    tandex::testing::GrabToPng(&led, QStringLiteral("Led.Lit"));
    led.SetLedStyle(lsRect);
    led.SetLedColor(0x0000FF);
    led.SetText(QStringLiteral("W"));
    tandex::testing::GrabToPng(&led, QStringLiteral("Led.RedSquare"));

    // Centre: the innermost shape; a ring band between two shapes: its own.
    EXPECT_EQ(unlit.pixelColor(22, 22), ToQColor(0x00F500));
    EXPECT_EQ(unlit.pixelColor(22, 4), ToQColor(0x00A500));  // shape 1 of 10
    EXPECT_EQ(lit.pixelColor(22, 22), ToQColor(0x3AF95A));
    // The rim in the frame colour at the top; the corners stay outside.
    EXPECT_EQ(unlit.pixelColor(22, 1), ToQColor(0x2F2F2F));
    EXPECT_NE(unlit.pixelColor(3, 3), ToQColor(0x009B00));
    EXPECT_EQ(lit.pixelColor(0, 0), ToQColor(0x2F2F2F));  // the border
}

}  // namespace
