#include "ui/main/image_loader.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <tiffio.h>
#include <vector>

using namespace tandex::ui;

namespace {

// Little-endian byte writer for the hand-made fixtures.
struct Bytes {
    QByteArray data;
    Bytes& u8(int v) { data.append(char(v)); return *this; }
    Bytes& u16(int v) { u8(v & 0xFF); return u8((v >> 8) & 0xFF); }
    Bytes& u32(quint32 v) { u16(int(v & 0xFFFF)); return u16(int(v >> 16)); }
    Bytes& raw(const QByteArray& b) { data.append(b); return *this; }
};

quint32 Pixel(const QImage& image, int x, int y) {
    return reinterpret_cast<const quint32*>(image.constScanLine(y))[x];
}

class ImageLoaderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString Write(const QString& name, const QByteArray& data) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    static QByteArray Encode(const QImage& image, const char* format) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return data;
    }

    static QImage Filled(int w, int h, QRgb argb) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(argb);
        return image;
    }

    // A classic 32-bit icon image: header with doubled height, bottom-up
    // pixels, an empty AND mask.
    static QByteArray IconDib(int n, QRgb argb) {
        Bytes b;
        b.u32(40).u32(quint32(n)).u32(quint32(2 * n)).u16(1).u16(32).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
        for (int i = 0; i < n * n; ++i)
            b.u32(argb);
        b.raw(QByteArray(((n + 31) / 32) * 4 * n, '\0'));
        return b.data;
    }

    // Entries of 16, 32 and 48 pixels; the 48-pixel one is a PNG.
    static QByteArray IconFile() {
        const std::vector<std::pair<int, QByteArray>> images = {
            {16, IconDib(16, 0xFF0000FF)},
            {32, IconDib(32, 0xFF00FF00)},
            {48, Encode(Filled(48, 48, 0x80FF0000), "png")},
        };
        Bytes b;
        b.u16(0).u16(1).u16(int(images.size()));
        quint32 offset = 6 + 16 * quint32(images.size());
        for (const auto& [n, bytes] : images) {
            b.u8(n).u8(n).u8(0).u8(0).u16(1).u16(32).u32(quint32(bytes.size())).u32(offset);
            offset += quint32(bytes.size());
        }
        for (const auto& image : images)
            b.raw(image.second);
        return b.data;
    }

    // 3 x 2 RGB, top row red, green, blue, bottom row white, black, grey.
    QString WriteTiff() {
        const QString path = dir.filePath("small.tif");
        TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
        EXPECT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
        unsigned char rows[2][9] = {{255, 0, 0, 0, 255, 0, 0, 0, 255}, {255, 255, 255, 0, 0, 0, 128, 128, 128}};
        TIFFWriteScanline(tif, rows[0], 0, 0);
        TIFFWriteScanline(tif, rows[1], 1, 0);
        TIFFClose(tif);
        return path;
    }

    // Placeable WMF, 100 x 50 units at 96 per inch, one red rectangle.
    static QByteArray Wmf() {
        Bytes head;
        head.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(100).u16(50).u16(96).u32(0);
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= qFromLittleEndian<quint16>(head.data.constData() + i);
        head.u16(sum);
        Bytes records;
        records.u32(7).u16(0x02FC).u16(0).u32(0x000000FF).u16(0);  // red solid brush
        records.u32(4).u16(0x012D).u16(0);                          // select it
        records.u32(7).u16(0x041B).u16(50).u16(100).u16(0).u16(0);  // rectangle
        records.u32(3).u16(0);                                      // end of file
        Bytes meta;
        meta.u16(1).u16(9).u16(0x0300).u32(quint32(9 + records.data.size() / 2)).u16(1).u32(7).u16(0);
        return head.data + meta.data + records.data;
    }

    // EMF of 100 x 50 pixels at 96 dpi, one red rectangle.
    static QByteArray Emf() {
        Bytes records;
        records.u32(39).u32(24).u32(1).u32(0).u32(0x000000FF).u32(0);  // brush 1: red
        records.u32(37).u32(12).u32(1);                                 // select it
        records.u32(43).u32(24).u32(0).u32(0).u32(100).u32(50);         // rectangle
        records.u32(14).u32(20).u32(0).u32(16).u32(20);                 // end of file
        Bytes head;
        head.u32(1).u32(88).u32(0).u32(0).u32(99).u32(49).u32(0).u32(0).u32(2646).u32(1323);
        head.u32(0x464D4520).u32(0x10000).u32(quint32(88 + records.data.size())).u32(5).u16(2).u16(0);
        head.u32(0).u32(0).u32(0).u32(1024).u32(768).u32(271).u32(203);
        return head.data + records.data;
    }
};

TEST_F(ImageLoaderTest, MagicPicksTheDecoderByContentNotByName) {
    const QImage source = Filled(5, 4, 0xFF336699);
    const QByteArray gif = Bytes()
        .raw("GIF89a").u16(1).u16(1).u8(0x80).u8(0).u8(0)
        .u8(255).u8(0).u8(0).u8(0).u8(0).u8(0)
        .u8(0x2C).u16(0).u16(0).u16(1).u16(1).u8(0)
        .u8(2).u8(2).u8(0x44).u8(0x01).u8(0).u8(0x3B).data;
    struct Case {
        const char* name;
        QByteArray data;
        QSize size;
        quint32 topLeft;
    } cases[] = {
        {"png-named.jpg", Encode(source, "png"), {5, 4}, 0xFF336699},
        {"image.bmp", Encode(source, "bmp"), {5, 4}, 0xFF336699},
        {"image.gif", gif, {1, 1}, 0xFFFF0000},
        {"image.jpg", Encode(source, "jpeg"), {5, 4}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = LoadImageByMagic(Write(c.name, c.data));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), c.size);
        if (c.topLeft) {
            EXPECT_EQ(Pixel(image, 0, 0), c.topLeft);
        }
    }
}

TEST_F(ImageLoaderTest, MagicGivesNothingForUnknownOrBrokenFiles) {
    const QByteArray png = Encode(Filled(20, 20, 0xFF00FF00), "png");
    // A PNG whose header claims 100000 x 100000 pixels.
    QByteArray huge = png;
    qToBigEndian<quint32>(100000, huge.data() + 16);
    qToBigEndian<quint32>(100000, huge.data() + 20);
    struct Case {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"unknown.png", "hello, world"},
        {"empty.bmp", ""},
        {"truncated.png", png.left(40)},
        {"huge.png", huge},
        {"truncated.bmp", Encode(Filled(20, 20, 0xFF00FF00), "bmp").left(20)},
        {"truncated.gif", "GIF89a\x01"},
        {"truncated.jpg", Encode(Filled(20, 20, 0xFF00FF00), "jpeg").left(30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(LoadImageByMagic(Write(c.name, c.data)).isNull());
    }
    EXPECT_THROW(LoadImageByMagic(dir.filePath("missing.png")), ImageLoadError);
}

TEST_F(ImageLoaderTest, IconFrameChoice) {
    const QString path = Write("three.ico", IconFile());
    struct Case {
        qint32 frame;
        int size;
        qint32 frameAfter;
        quint32 topLeft;
    } cases[] = {
        {-2, 32, (1 << 16) | 2, 0xFF00FF00},
        {-1, 48, (2 << 16) | 2, 0x80FF0000},  // the PNG entry keeps its alpha
        {0, 16, 2, 0xFF0000FF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        qint32 frame = c.frame;
        const QImage image = LoadIconImage(path, frame);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), QSize(c.size, c.size));
        EXPECT_EQ(frame, c.frameAfter);
        EXPECT_EQ(Pixel(image, 0, 0), c.topLeft);
    }
    qint32 frame = 3;
    EXPECT_TRUE(LoadIconImage(path, frame).isNull());
    EXPECT_EQ(frame, 3);
}

TEST_F(ImageLoaderTest, HostileIconsGiveNothingAndKeepTheFrame) {
    const QByteArray good = IconFile();
    QByteArray countPastEnd = good;
    qToLittleEndian<quint16>(5000, countPastEnd.data() + 4);
    QByteArray offsetPastEnd = good;
    qToLittleEndian<quint32>(0xFFFFFFF0u, offsetPastEnd.data() + 6 + 16 + 12);
    QByteArray lengthPastEnd = good;
    qToLittleEndian<quint32>(quint32(good.size()), lengthPastEnd.data() + 6 + 8);
    QByteArray noEntries = good.left(6);
    qToLittleEndian<quint16>(0, noEntries.data() + 4);
    QByteArray cursor = good;
    cursor[2] = 2;
    struct Case {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"count", countPastEnd}, {"offset", offsetPastEnd}, {"length", lengthPastEnd},
        {"none", noEntries}, {"cursor", cursor}, {"head", good.left(5)},
        {"text", "not an icon at all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qint32 frame = 0;
        EXPECT_TRUE(LoadIconImage(Write(QString::fromLatin1(c.name) + ".ico", c.data), frame).isNull());
        EXPECT_EQ(frame, 0);
    }
}

TEST_F(ImageLoaderTest, TiffLandsUprightWithRedAndBlueInPlace) {
    const QImage image = LoadTiffImage(WriteTiff());
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    EXPECT_EQ(Pixel(image, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(image, 2, 0), 0xFF0000FFu);
    EXPECT_EQ(Pixel(image, 1, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(image, 2, 1), 0xFF808080u);
}

TEST_F(ImageLoaderTest, HostileTiffsFailWithTheirMessages) {
    const QString missing = dir.filePath("missing.tif");
    try {
        LoadTiffImage(missing);
        FAIL() << "no exception";
    } catch (const ImageLoadError& e) {
        EXPECT_EQ(QString::fromStdString(e.what()), "Unable to open file '" + missing + "'");
    }
    // 70000 x 70000 x 4 bytes does not fit the raster's size.
    Bytes b;
    b.raw(QByteArray("II*\0", 4)).u32(8).u16(8);
    const int tags[][3] = {{256, 4, 70000}, {257, 4, 70000}, {258, 3, 8}, {259, 3, 1},
                           {262, 3, 1},     {273, 4, 8},     {278, 4, 70000}, {279, 4, 16}};
    for (const auto& t : tags)
        b.u16(t[0]).u16(t[1]).u32(1).u32(quint32(t[2]));
    b.u32(0);
    try {
        LoadTiffImage(Write("huge.tif", b.data));
        FAIL() << "no exception";
    } catch (const ImageLoadError& e) {
        EXPECT_STREQ(e.what(), "Unable to create TBitmap buffer");
    }
    QFile tiff(WriteTiff());
    ASSERT_TRUE(tiff.open(QIODevice::ReadOnly));
    const QByteArray whole = tiff.readAll();
    for (qsizetype cut : {qsizetype(4), qsizetype(12), whole.size() / 2, whole.size() - 4}) {
        SCOPED_TRACE(cut);
        try {
            LoadTiffImage(Write("cut.tif", whole.left(cut)));  // a partial picture is fine
        } catch (const ImageLoadError&) {
        }
    }
}

TEST_F(ImageLoaderTest, MetafilesAreDrawnAtTheirOwnSize) {
    for (const auto& [name, data] : {std::pair{"red.wmf", Wmf()}, std::pair{"red.emf", Emf()}}) {
        SCOPED_TRACE(name);
        const QImage image = LoadMetafileImage(Write(name, data));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_NEAR(image.width(), 100, 2);
        EXPECT_NEAR(image.height(), 50, 2);
        EXPECT_EQ(QColor::fromRgb(Pixel(image, 50, 25)).rgb(), 0xFFFF0000u);
    }
}

TEST_F(ImageLoaderTest, HostileMetafilesThrow) {
    const QByteArray wmf = Wmf(), emf = Emf();
    QByteArray emfRecordPastEnd = emf;
    qToLittleEndian<quint32>(0x10000, emfRecordPastEnd.data() + 88 + 4);
    QByteArray wmfRecordPastEnd = wmf;
    qToLittleEndian<quint32>(0x10000, wmfRecordPastEnd.data() + 22 + 18);
    QByteArray emfEmptyRecord = emf;
    qToLittleEndian<quint32>(0, emfEmptyRecord.data() + 88 + 4);
    struct Case {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"cut.wmf", wmf.left(wmf.size() - 6)}, {"cut.emf", emf.left(emf.size() - 20)},
        {"far.emf", emfRecordPastEnd},         {"far.wmf", wmfRecordPastEnd},
        {"zero.emf", emfEmptyRecord},          {"text.wmf", "no metafile here"},
        {"head.wmf", wmf.left(30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(LoadMetafileImage(Write(c.name, c.data)), ImageLoadError);
    }
    // A header claiming 40000 x 40000 pixels.
    QByteArray huge = emf;
    for (int at : {12, 16})
        qToLittleEndian<quint32>(39999, huge.data() + at);
    for (int at : {32, 36})
        qToLittleEndian<quint32>(1058333, huge.data() + at);
    try {
        LoadMetafileImage(Write("huge.emf", huge));
        FAIL() << "no exception";
    } catch (const ImageLoadError& e) {
        EXPECT_STREQ(e.what(), "Unable to create TBitmap buffer");
    }
    EXPECT_THROW(LoadMetafileImage(dir.filePath("missing.wmf")), ImageLoadError);
}

// Inputs that once made a decoder read past the file: they load or fail,
// but stay inside it.
TEST_F(ImageLoaderTest, StoredHostileMetafilesStayInsideTheFile) {
    for (const char* name : {"emf-description-without-length.emf"}) {
        SCOPED_TRACE(name);
        try {
            LoadMetafileImage(QStringLiteral(TANDEX_TEST_DATA "/") + QLatin1String(name));
        } catch (const ImageLoadError&) {
        }
    }
}

TEST(SwapRedBlue, ExchangesFirstAndThirdByteOnly) {
    quint32 pixels[] = {0x11223344, 0xAABBCCDD};
    SwapRedBlue(2, 1, pixels);
    EXPECT_EQ(pixels[0], 0x11443322u);
    EXPECT_EQ(pixels[1], 0xAADDCCBBu);
}

}  // namespace
