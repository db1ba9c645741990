#include "ui/main/resource_images.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/resource_archive.h"
#include "tests/config/resource_access_double.h"
#include "tests/ui/widget_harness.h"

namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The archive the build made, beside a program folder of the test's own.
class ResourceArchiveBuildTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(tmp.path()).mkpath("bin"));
        ASSERT_TRUE(QFile::copy(TANDEX_RESOURCE_ARCHIVE, tmp.filePath("bin/TandexRes.zipx")));
        config::TPrgDirSources sources;
        sources.executablePath = tmp.filePath("bin/tandex");
        sources.configHome = tmp.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        config::SetIniFileAccess(&access);
    }
    void TearDown() override {
        config::SetIniFileAccess(nullptr);
        config::SetPrgDir(nullptr);
        WidgetTest::TearDown();
    }
    QTemporaryDir tmp;
    tandex::testing::ZipKitResourceAccess access;
};

TEST_F(ResourceArchiveBuildTest, TheBuiltArchivePassesUnzipsTest) {
    QProcess unzip;
    unzip.start("unzip", {"-t", TANDEX_RESOURCE_ARCHIVE});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(unzip.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
}

TEST_F(ResourceArchiveBuildTest, MembersAreStripsBitmapsAndCursorPairs) {
    int slot = -1;
    ASSERT_EQ(config::OpenResourceArchive(slot), 0);
    const auto strip = config::OpenResourceFile(slot, "TDXIL32Flat.bin");
    ASSERT_TRUE(strip.has_value());
    QImage image;
    ASSERT_TRUE(image.loadFromData(*strip, "PNG"));
    EXPECT_EQ(image.height(), 32);
    EXPECT_EQ(image.width() % 32, 0);
    EXPECT_EQ(config::OpenResourceFile(slot, "TDXIL20Flat.bin"), std::nullopt);

    // Every list the windows draw from, in both looks, images as high as
    // the list's size; the indexes the windows ask for by number are drawn.
    struct Case {
        const char* list;
        int size;
        std::vector<int> drawn;
    };
    const Case cases[] = {
        {"10", 10, {0, 2}},
        {"16", 16, {0, 1, 2, 3, 4, 6, 7, 9, 12, 13, 25, 28, 62, 63, 67, 68, 69, 80, 83, 84}},
        {"17", 17, {0}},
        {"24", 24, {0, 2, 3, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21, 26, 27, 28, 29, 30}},
        {"32", 32, {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12}},
        {"48", 48, {8}},
    };
    for (const Case& c : cases)
        for (const char* look : {"Flat", "Classic"}) {
            const QString name = QString("TDXIL%1%2.bin").arg(c.list, look);
            const auto data = config::OpenResourceFile(slot, name);
            ASSERT_TRUE(data.has_value()) << name.toStdString();
            const QList<QImage> images = ui::SplitImageStrip(*data);
            for (int i : c.drawn) {
                ASSERT_LT(i, images.size()) << name.toStdString();
                EXPECT_EQ(images[i].size(), QSize(c.size, c.size)) << name.toStdString() << " " << i;
            }
        }
    const auto logo = config::OpenResourceFile(slot, "TDXIL128comm.bin");
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(ui::SplitImageStrip(*logo).value(0).size(), QSize(128, 128));
    for (const char* arrow : {"SmallArrowDown.bmp", "SmallArrowUp.bmp"}) {
        const auto data = config::OpenResourceFile(slot, arrow);
        ASSERT_TRUE(data.has_value()) << arrow;
        EXPECT_FALSE(ui::ReadBitmap(*data).isNull()) << arrow;
    }
    for (int n = 10; n <= 16; ++n) {
        const auto mask = config::OpenResourceFile(slot, QString("TDXCU%1M.bmp").arg(n));
        const auto colour = config::OpenResourceFile(slot, QString("TDXCU%1I.bmp").arg(n));
        ASSERT_TRUE(mask && colour) << n;
        const auto cursor = ui::BuildResourceCursor(*mask, *colour);
        ASSERT_TRUE(cursor.has_value()) << n;
        EXPECT_EQ(cursor->cursor.pixmap().size(), QSize(32, 32));
        if (n == 12) {
            EXPECT_EQ(cursor->hotSpot, QPoint(15, 15));  // the hand's palm
        }
    }
    config::CloseResourceArchive(slot);
}

TEST(ResourceImagesTest, StripsSplitIntoSquaresWithEmptyIndexesNull) {
    QImage strip(3 * 8, 8, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    for (int y = 0; y < 8; ++y) strip.setPixel(2 * 8 + 3, y, qRgba(255, 0, 0, 255));
    const QList<QImage> images = ui::SplitImageStrip(encode(strip, "PNG"));
    ASSERT_EQ(images.size(), 3);
    EXPECT_TRUE(images[0].isNull());
    EXPECT_TRUE(images[1].isNull());
    ASSERT_EQ(images[2].size(), QSize(8, 8));
    EXPECT_EQ(images[2].pixel(3, 5), qRgba(255, 0, 0, 255));

    // Not a strip of squares, or not an image at all: no list.
    QImage odd(20, 8, QImage::Format_ARGB32);
    odd.fill(Qt::red);
    EXPECT_TRUE(ui::SplitImageStrip(encode(odd, "PNG")).isEmpty());
    EXPECT_TRUE(ui::SplitImageStrip("not a picture").isEmpty());
}

TEST(ResourceImagesTest, CursorsTakeTheirHotSpotFromTheBottomLeftPixel) {
    QImage colour(32, 32, QImage::Format_RGB888);
    colour.fill(Qt::white);
    // x = value >> 8, y = the lowest byte (red): (261, 7) clamped into the
    // picture's width, and (5, 7).
    QImage mask(32, 32, QImage::Format_RGB888);
    mask.fill(Qt::black);
    mask.setPixel(0, 31, qRgb(255, 255, 255));
    colour.setPixel(0, 31, qRgb(7, 5, 0));
    auto cursor = ui::BuildResourceCursor(encode(mask, "BMP"), encode(colour, "BMP"));
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->hotSpot, QPoint(5, 7));
    EXPECT_EQ(cursor->cursor.hotSpot(), QPoint(5, 7));
    EXPECT_EQ(ui::CursorHotSpot(colour), QPoint(5, 7));
    // The hot spot's own pixel is see-through; the rest is covered.
    const QImage picture = cursor->cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(picture.pixel(0, 31)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(10, 10)), 255);

    colour.setPixel(0, 31, qRgb(7, 5, 1));  // x = 261
    EXPECT_EQ(ui::CursorHotSpot(colour), QPoint(261, 7));
    cursor = ui::BuildResourceCursor(encode(mask, "BMP"), encode(colour, "BMP"));
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->hotSpot, QPoint(31, 7));

    EXPECT_FALSE(ui::BuildResourceCursor("junk", encode(colour, "BMP")).has_value());
    EXPECT_FALSE(ui::BuildResourceCursor(encode(mask.scaled(16, 16), "BMP"), encode(colour, "BMP")).has_value());
}

}  // namespace
