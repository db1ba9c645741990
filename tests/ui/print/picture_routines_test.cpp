// The picture routines and the smooth page drawing.

#include <gtest/gtest.h>

#include <set>

#include "emf_test_pages.h"
#include "ui/print/gdiplus_subset.h"
#include "ui/print/picture_routines.h"

using namespace emf_test;
using namespace tandex::print;

namespace {

TEST(MakeBitmapGray, MapsColoursByLuminanceBrightnessAndContrast) {
    struct Case {
        QRgb in;
        int brightness, contrast;
        int gray;
    };
    const Case cases[] = {
        {qRgb(255, 255, 255), 0, 0, 255},
        {qRgb(255, 0, 0), 0, 0, 76},
        {qRgb(0, 255, 0), 0, 0, 150},
        {qRgb(0, 0, 0), 0, 0, 0},
        // Contrast -100 flattens everything to the brightness offset.
        {qRgb(255, 0, 0), 0, -100, 128},
        {qRgb(12, 200, 7), 0, -100, 128},
        {qRgb(12, 200, 7), 50, -100, 255},
        {qRgb(12, 200, 7), -30, -100, 52},
        // Clamped at both ends.
        {qRgb(255, 255, 255), 100, 0, 255},
        {qRgb(0, 0, 0), -100, 0, 0},
        {qRgb(100, 100, 100), 0, 100, 72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.in << std::dec << " b" << c.brightness << " c"
                                        << c.contrast);
        QImage image(1, 1, QImage::Format_RGB888);
        image.setPixel(0, 0, c.in);
        MakeBitmapGray(image, c.brightness, c.contrast);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_EQ(image.pixel(0, 0), qRgb(c.gray, c.gray, c.gray));
    }
}

TEST(MakeBitmapGray, KeepsTheTransparentColourAndEveryAlpha) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(10, 20, 30, 255));   // the key colour
    image.setPixel(2, 0, qRgba(255, 255, 255, 0));  // transparent white
    MakeBitmapGray(image, 0, 0, true, qRgb(10, 20, 30));
    EXPECT_EQ(image.pixel(0, 0), qRgba(76, 76, 76, 255));
    EXPECT_EQ(image.pixel(1, 0), qRgba(10, 20, 30, 255));
    EXPECT_EQ(image.pixel(2, 0), qRgba(255, 255, 255, 0));
    // Without the transparency flag the key colour turns gray too.
    MakeBitmapGray(image, 0, 0, false, qRgb(10, 20, 30));
    EXPECT_EQ(qRed(image.pixel(1, 0)), qGreen(image.pixel(1, 0)));
}

TEST(StretchBitmapBits, StretchesWithoutSmoothing) {
    QImage bitmap(2, 1, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(255, 0, 0));
    bitmap.setPixel(1, 0, qRgb(0, 0, 255));
    QImage target(40, 20, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        DrawGraphic(p, QRect(10, 5, 20, 10), TGraphic::FromBitmap(bitmap));
    }
    for (int x = 0; x < 40; ++x) {
        const QRgb want = x < 10 || x >= 30 ? qRgb(255, 255, 255) : x < 20 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
        EXPECT_EQ(target.pixel(x, 10), want) << x;
    }
    EXPECT_EQ(target.pixel(15, 4), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(15, 14), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(15, 15), qRgb(255, 255, 255));
}

// A page of a diagonal line and a filled square, in reference pixels.
QByteArray diagonalPage() {
    return recordPage(
        [](QPainter& p) {
            p.setPen(QPen(Qt::black, 2));
            p.drawLine(QPointF(5, 5), QPointF(95, 45));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawRect(QRectF(60, 5, 30, 20));
        },
        QSize(100, 50), QSize());
}

// The gray values a page drew with.
std::set<int> grays(const QImage& image) {
    std::set<int> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) out.insert(qGray(image.pixel(x, y)));
    return out;
}

TEST(TGDIPlusSubset, SmoothAndPlainPathsBothShowThePageInItsRectangle) {
    const QByteArray page = diagonalPage();
    struct Case {
        bool unavailable;
        bool smooth;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        SCOPED_TRACE(c.unavailable);
        TGDIPlusSubset::SetUnavailableForTesting(c.unavailable);
        EXPECT_EQ(GDIPlusInstance().Available(), !c.unavailable);
        QImage target(200, 100, QImage::Format_RGB32);
        target.fill(Qt::white);
        {
            QPainter p(&target);
            DrawGraphic(p, QRect(50, 25, 100, 50), TGraphic::FromMetafile(page));
        }
        keepForLooking(target, QStringLiteral("TGDIPlusSubset-%1").arg(c.smooth ? "smooth" : "plain"));
        // The square lands where the page's rectangle puts it.
        EXPECT_EQ(target.pixel(50 + 75, 25 + 15), qRgb(0, 0, 0));
        EXPECT_EQ(target.pixel(50 + 58, 25 + 15), qRgb(255, 255, 255));
        EXPECT_EQ(target.pixel(50 + 75, 25 + 26), qRgb(255, 255, 255));
        // Only the smooth path blends the diagonal's edges.
        EXPECT_EQ(grays(target).size() > 2, c.smooth);
    }
    TGDIPlusSubset::SetUnavailableForTesting(false);
}

TEST(DrawGraphicGray, DrawsAPageInGrayAtItsRectangle) {
    const QByteArray page = recordPage(
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 0, 0));
            p.drawRect(QRectF(0, 0, 50, 50));
        },
        QSize(100, 50), QSize());
    QImage target(100, 50, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        DrawGraphicGray(p, target.rect(), TGraphic::FromMetafile(page), 0, 0);
    }
    EXPECT_EQ(target.pixel(25, 25), qRgb(76, 76, 76));
    EXPECT_EQ(target.pixel(75, 25), qRgb(255, 255, 255));
}

}  // namespace
