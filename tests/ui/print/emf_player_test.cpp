// The player: our pages and another writer's into images at two
// resolutions, and malformed pages that must raise without reading
// outside their bytes.

#include <gtest/gtest.h>

#include <uemf.h>
#include <uemf_utf.h>

#include <QDir>
#include <QDirIterator>

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

// ---- pages of another writer ------------------------------------------

// A page written with libuemf: 240 × 96 pixels at exactly 96 dpi, in
// pixel units (the default mapping).
class ForeignPage {
public:
    ForeignPage() {
        path_ = dir_.filePath(QStringLiteral("foreign.emf")).toLocal8Bit();
        emf_start(path_.constData(), 1 << 16, 1 << 16, &et_);
        htable_create(128, 128, &eht_);
        add(U_EMRHEADER_set(rectl_set(pointl_set(0, 0), pointl_set(239, 95)),
                            rectl_set(pointl_set(0, 0), pointl_set(6350, 2540)), nullptr, 0, nullptr,
                            sizel_set(960, 960), sizel_set(254, 254), 0));
    }
    ~ForeignPage() {
        if (et_) emf_free(&et_);
        if (eht_) htable_free(&eht_);
    }
    void add(char* record) { emf_append(reinterpret_cast<U_ENHMETARECORD*>(record), et_, U_REC_FREE); }
    uint32_t brush(U_COLORREF color) {
        uint32_t ih = 0;
        add(createbrushindirect_set(&ih, eht_, logbrush_set(U_BS_SOLID, color, 0)));
        add(selectobject_set(ih, eht_));
        return ih;
    }
    void noPen() { add(selectobject_set(U_NULL_PEN, eht_)); }
    void font(int height) {
        uint16_t* face = U_Utf8ToUtf16le("DejaVu Sans", 0, nullptr);
        U_LOGFONT lf = logfont_set(-height, 0, 0, 0, U_FW_NORMAL, 0, 0, 0, U_DEFAULT_CHARSET, 0, 0, 0, 0, face);
        free(face);
        uint32_t ih = 0;
        add(extcreatefontindirectw_set(&ih, eht_, nullptr, reinterpret_cast<const char*>(&lf)));
        add(selectobject_set(ih, eht_));
    }
    void text(int x, int y, const char* utf8, uint32_t advance) {
        size_t len = 0;
        uint16_t* w = U_Utf8ToUtf16le(utf8, 0, &len);
        std::vector<uint32_t> dx(len, advance);
        char* t = emrtext_set(pointl_set(x, y), U_NUM_STR(len), 2, w, 0,
                              rectl_set(pointl_set(0, 0), pointl_set(-1, -1)), dx.data());
        add(U_EMREXTTEXTOUTW_set(rectl_set(pointl_set(0, 0), pointl_set(-1, -1)), U_GM_COMPATIBLE, 1, 1,
                                 reinterpret_cast<PU_EMRTEXT>(t)));
        free(t);
        free(w);
    }
    void rect(int l, int t, int r, int b) { add(U_EMRRECTANGLE_set(rectl_set(pointl_set(l, t), pointl_set(r, b)))); }
    QByteArray finish() {
        add(U_EMREOF_set(0, nullptr, et_));
        emf_finish(et_, eht_);
        emf_free(&et_);
        QFile f(QString::fromLocal8Bit(path_));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
    QByteArray path_;
    EMFTRACK* et_ = nullptr;
    EMFHANDLES* eht_ = nullptr;
};

// A bottom-up 24-bit bitmap of one colour.
struct Dib {
    Dib(int w, int h, U_COLORREF c) : stride((w * 3 + 3) & ~3), pixels(size_t(stride) * h, 0) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                pixels[size_t(y * stride + 3 * x)] = char(c.Blue);
                pixels[size_t(y * stride + 3 * x + 1)] = char(c.Green);
                pixels[size_t(y * stride + 3 * x + 2)] = char(c.Red);
            }
        bmi = bitmapinfo_set(bitmapinfoheader_set(w, h, 1, 24, U_BI_RGB, uint32_t(pixels.size()), 0, 0, 0, 0),
                             nullptr);
    }
    ~Dib() { free(bmi); }
    int stride;
    std::vector<char> pixels;
    PU_BITMAPINFO bmi;
};

QRect colourBox(const QImage& image, QRgb colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) box = box.united(QRect(x, y, 1, 1));
    return box;
}

TEST(EmfPlayer, PlaysRecordsOfAnotherWriter) {
    struct Case {
        const char* what;
        std::function<void(ForeignPage&)> write;
        QRgb colour;
        QRect expected;
    };
    const QRgb black = qRgb(0, 0, 0), red = qRgb(255, 0, 0);
    const Case cases[] = {
        {"a clip region", [](ForeignPage& pg) {
             U_RECTL r = rectl_set(pointl_set(50, 20), pointl_set(100, 60));
             PU_RGNDATA rgn = rgndata_set(rgndataheader_set(1, r), &r);
             pg.add(U_EMREXTSELECTCLIPRGN_set(U_RGN_COPY, rgn));
             free(rgn);
             pg.brush(colorref_set(0, 0, 0));
             pg.noPen();
             pg.rect(0, 0, 240, 96);
         }, black, QRect(QPoint(50, 20), QPoint(99, 59))},
        {"a bitmap block transfer", [](ForeignPage& pg) {
             Dib dib(20, 10, colorref_set(255, 0, 0));
             pg.add(U_EMRBITBLT_set(rectl_set(pointl_set(30, 40), pointl_set(49, 49)), pointl_set(30, 40),
                                    pointl_set(20, 10), pointl_set(0, 0), xform_set(1, 0, 0, 1, 0, 0),
                                    colorref_set(255, 255, 255), U_DIB_RGB_COLORS, U_SRCCOPY, dib.bmi,
                                    uint32_t(dib.pixels.size()), dib.pixels.data()));
         }, red, QRect(QPoint(30, 40), QPoint(49, 49))},
        {"a pattern block transfer", [](ForeignPage& pg) {
             pg.brush(colorref_set(0, 0, 0));
             pg.add(U_EMRBITBLT_set(rectl_set(pointl_set(150, 10), pointl_set(179, 39)), pointl_set(150, 10),
                                    pointl_set(30, 30), pointl_set(0, 0), xform_set(1, 0, 0, 1, 0, 0),
                                    colorref_set(255, 255, 255), U_DIB_RGB_COLORS, U_PATCOPY, nullptr, 0,
                                    nullptr));
         }, black, QRect(QPoint(150, 10), QPoint(179, 39))},
        {"a world transform", [](ForeignPage& pg) {
             pg.add(U_EMRSETWORLDTRANSFORM_set(xform_set(0.5, 0, 0, 0.5, 100, 0)));
             pg.brush(colorref_set(0, 0, 0));
             pg.noPen();
             pg.rect(0, 0, 100, 100);
         }, black, QRect(QPoint(100, 0), QPoint(149, 49))},
        {"a comment", [](ForeignPage& pg) {
             pg.add(textcomment_set("Tandex test comment"));
             pg.brush(colorref_set(0, 0, 0));
             pg.noPen();
             pg.add(textcomment_set("and another"));
             pg.rect(10, 10, 20, 30);
         }, black, QRect(QPoint(10, 10), QPoint(19, 29))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ForeignPage pg;
        c.write(pg);
        const QByteArray page = pg.finish();
        const QImage image = playToImage(page, QSize(240, 96), 96, false);
        expectNear(colourBox(image, c.colour), c.expected, 1);
    }
}

TEST(EmfPlayer, AlignsAnotherWritersTextByItsTextAlignment) {
    // Centred on x = 120 with the baseline at y = 70.
    ForeignPage pg;
    pg.font(40);
    pg.add(U_EMRSETBKMODE_set(U_TRANSPARENT));
    pg.add(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_CENTER));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(40);
    const int advance = int(std::lround(QFontMetricsF(f).horizontalAdvance(QLatin1Char('H'))));
    pg.text(120, 70, "H", uint32_t(advance));
    const QImage image = playToImage(pg.finish(), QSize(240, 96), 96, false);
    keepForLooking(image, QStringLiteral("EmfPlayer-foreign-text"));
    const QRect ink = inkBox(image);
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.center().x(), 120, 2);
    EXPECT_NEAR(ink.bottom(), 69, 1);
    EXPECT_NEAR(ink.height(), QFontMetricsF(f).tightBoundingRect(QStringLiteral("H")).height(), 2);
}

// ---- malformed pages --------------------------------------------------

struct RecordAt {
    qsizetype offset;
    quint32 type;
    quint32 size;
};

std::vector<RecordAt> walk(const QByteArray& page) {
    std::vector<RecordAt> out;
    for (qsizetype pos = 0; pos + 8 <= page.size();) {
        const quint32 size = emf::U32At(page.constData() + pos + 4);
        out.push_back({pos, emf::U32At(page.constData() + pos), size});
        if (size < 8) break;
        pos += size;
    }
    return out;
}

void putU32(QByteArray& page, qsizetype at, quint32 v) {
    const quint32 le = qToLittleEndian(v);
    std::memcpy(page.data() + at, &le, 4);
}

RecordAt firstOf(const QByteArray& page, quint32 type) {
    for (const RecordAt& r : walk(page))
        if (r.type == type) return r;
    return {-1, 0, 0};
}

TEST(EmfPlayer, MalformedPagesRaiseAndNameTheirFault) {
    const QByteArray good = samplePage();
    ASSERT_NO_THROW(EmfPlayer{good});
    struct Case {
        const char* what;
        std::function<QByteArray()> make;
        const char* message;
    };
    auto withBytes = [](QByteArray page) {
        putU32(page, emf::kHdrBytes, quint32(page.size()));
        return page;
    };
    const Case cases[] = {
        {"empty", [] { return QByteArray(); }, "truncated"},
        {"truncated", [&] { return good.left(good.size() - 10); }, "gives the page as"},
        {"truncated inside a record, header fixed", [&] { return withBytes(good.left(good.size() - 12)); },
         "runs past the end"},
        {"wrong signature", [&] { QByteArray p = good; p[emf::kHdrSignature] = 'X'; return p; },
         "signature"},
        {"header larger than the page", [&] { QByteArray p = good; putU32(p, 4, 1u << 30); return p; },
         "does not fit"},
        {"description outside the header", [&] {
             QByteArray p = good;
             putU32(p, emf::kHdrDescriptionCount, 1u << 20);
             return p;
         }, "description"},
        {"zero-size record", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_SETMAPMODE).offset + 4, 0);
             return p;
         }, "smaller than a record"},
        {"size not a multiple of 4", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_SETMAPMODE).offset + 4, 13);
             return p;
         }, "multiple of 4"},
        {"record past the end", [&] {
             QByteArray p = good;
             const RecordAt r = firstOf(p, emf::EMR_SETMAPMODE);
             putU32(p, r.offset + 4, quint32(p.size() - r.offset + 4));
             return p;
         }, "runs past the end"},
        {"huge size field", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_SETMAPMODE).offset + 4, 0xFFFFFFF0u);
             return p;
         }, "runs past the end"},
        {"bad object index", [&] {
             QByteArray p = good;
             const RecordAt r = firstOf(p, emf::EMR_SELECTOBJECT);
             putU32(p, r.offset + 8, 999);
             return p;
         }, "object index 999 is out of range"},
        {"created object beyond the handle table", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_EXTCREATEFONTINDIRECTW).offset + 8, 0xFFFF);
             return p;
         }, "out of range"},
        {"no end record", [&] {
             QByteArray p = good.left(firstOf(good, emf::EMR_EOF).offset);
             return withBytes(p);
         }, "ends before its end record"},
        {"more points than the record holds", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_POLYPOLYLINE).offset + 28, 0x7FFFFFFF);
             return p;
         }, "too short"},
        {"text beyond the record", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_EXTTEXTOUTW).offset + 44, 0x40000000);
             return p;
         }, "outside the record"},
        {"bitmap beyond the record", [&] {
             QByteArray p = good;
             putU32(p, firstOf(p, emf::EMR_STRETCHDIBITS).offset + 56, 0xFFFFFF00u);
             return p;
         }, "outside the record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray page = c.make();
        try {
            EmfPlayer player(page);
            ADD_FAILURE() << "no exception";
        } catch (const EEmfError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_TRUE(emf_fuzz::playsCleanly(page));
    }
}

// Every input that once broke the fuzz target plays or raises cleanly.
TEST(EmfPlayer, KeptFuzzInputsPlayOrRaiseCleanly) {
    QDirIterator it(QStringLiteral(TANDEX_TEST_DATA), {QStringLiteral("emf-*")}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        SCOPED_TRACE(qPrintable(path));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(emf_fuzz::playsCleanly(f.readAll()));
    }
}

}  // namespace
