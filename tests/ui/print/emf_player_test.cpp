// The player: our pages and another writer's into images at two
// resolutions, and malformed pages that must raise without reading
// outside their bytes.

#include <gtest/gtest.h>

#include <QDir>

#include "emf_player_fuzz_check.h"
#include "emf_test_pages.h"
#include "ui/print/emf_records.h"

using namespace emf_test;
namespace emf = tandex::print::emf;
using tandex::print::EEmfError;

namespace {

// The bounding box of the pixels darker than half.
QRect inkBox(const QImage& image, QRgb paper = qRgb(255, 255, 255)) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (std::abs(qGray(px) - qGray(paper)) > 127) box = box.united(QRect(x, y, 1, 1));
        }
    return box;
}

void expectNear(const QRect& got, const QRect& want, int tolerance) {
    EXPECT_NEAR(got.left(), want.left(), tolerance);
    EXPECT_NEAR(got.top(), want.top(), tolerance);
    EXPECT_NEAR(got.right(), want.right(), tolerance);
    EXPECT_NEAR(got.bottom(), want.bottom(), tolerance);
}

TEST(EmfPlayer, RectangleCoversItsPixelsAtEveryResolution) {
    // Recorded in reference pixels on a 200 × 100 page at 96 dpi.
    const QByteArray page = recordPage(
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawRect(QRectF(QPointF(10, 10), QPointF(110, 60)));
        },
        QSize(200, 100), QSize());
    struct Case {
        int dpi;
        QSize size;
        QRect pixels;
    };
    const Case cases[] = {
        {96, QSize(200, 100), QRect(QPoint(10, 10), QPoint(109, 59))},
        // 300 / 96 = 3.125
        {300, QSize(625, 313), QRect(QPoint(31, 31), QPoint(343, 187))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        const QImage image = playToImage(page, c.size, c.dpi, false);
        expectNear(inkBox(image), c.pixels, 1);
    }
}

TEST(EmfPlayer, EightPointTextTakesEightSeventySecondsOfTheTargetsResolution) {
    const QFont font = testFont(QStringLiteral("DejaVu Sans"), 8);
    const QByteArray page = recordPage([&](QPainter& p) {
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(1000, 3000), QStringLiteral("H"));
    });
    for (const int dpi : {96, 300}) {
        SCOPED_TRACE(dpi);
        const QSize size = EmfPlayer(page).naturalSize(dpi, dpi);
        const QImage image = playToImage(page, size, dpi, false);
        keepForLooking(image, QStringLiteral("EmfPlayer-8pt-%1dpi").arg(dpi));
        // The same letter drawn directly with the expected pixel size.
        QImage reference(size, QImage::Format_RGB32);
        reference.fill(Qt::white);
        reference.setDotsPerMeterX(image.dotsPerMeterX());
        reference.setDotsPerMeterY(image.dotsPerMeterY());
        QFont expected = font;
        expected.setPixelSize(int(std::lround(8.0 / 72 * dpi)));
        expected.setStyleStrategy(QFont::NoAntialias);
        {
            QPainter p(&reference);
            p.setFont(expected);
            p.setPen(Qt::black);
            p.drawText(QPointF(100, 100), QStringLiteral("H"));
        }
        EXPECT_NEAR(inkBox(image).height(), inkBox(reference).height(), 1);
        EXPECT_NEAR(inkBox(image).width(), inkBox(reference).width(), 1);
    }
}

TEST(EmfPlayer, DrawingAPageTwiceGivesIdenticalImages) {
    const QByteArray page = samplePage();
    const QImage first = playToImage(page, kA4Pixels, 96);
    keepForLooking(first, QStringLiteral("EmfPlayer-sample-96dpi"));
    keepForLooking(playToImage(page, QSize(2480, 3508), 300), QStringLiteral("EmfPlayer-sample-300dpi"));
    EXPECT_EQ(first, playToImage(page, kA4Pixels, 96));
}

}  // namespace
