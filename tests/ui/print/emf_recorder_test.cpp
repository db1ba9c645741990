// The recorder's pages, checked by readers that are not ours: libuemf's
// record checks and emf2svg's conversion.

#include <gtest/gtest.h>
#include <uemf_safe.h>

#include <set>

#include "emf_test_pages.h"
#include "ui/print/emf_records.h"

using namespace emf_test;
namespace emf = tandex::print::emf;

namespace {

struct Record {
    quint32 type;
    qsizetype offset;
    quint32 size;
};

std::vector<Record> recordsOf(const QByteArray& page) {
    std::vector<Record> out;
    qsizetype pos = 0;
    while (pos + 8 <= page.size()) {
        const quint32 type = emf::U32At(page.constData() + pos);
        const quint32 size = emf::U32At(page.constData() + pos + 4);
        out.push_back({type, pos, size});
        if (size < 8 || type == emf::EMR_EOF) break;
        pos += size;
    }
    return out;
}

TEST(EmfRecorder, SamplePageHeaderDescribesThePage) {
    const QByteArray page = samplePage();
    const char* d = page.constData();
    ASSERT_GE(page.size(), emf::kHeaderSize);
    EXPECT_EQ(emf::U32At(d), emf::EMR_HEADER);
    EXPECT_EQ(emf::U32At(d + emf::kHdrSignature), emf::kSignature);
    EXPECT_EQ(emf::U32At(d + emf::kHdrBytes), quint32(page.size()));
    const std::vector<Record> records = recordsOf(page);
    EXPECT_EQ(emf::U32At(d + emf::kHdrRecords), records.size());
    EXPECT_EQ(records.back().type, emf::EMR_EOF);
    EXPECT_EQ(records.back().offset + records.back().size, page.size());
    // 794 × 1123 reference pixels at 96 dpi, in 0.01 mm.
    EXPECT_EQ(emf::I32At(d + emf::kHdrFrame + 8), 21008);
    EXPECT_EQ(emf::I32At(d + emf::kHdrFrame + 12), 29713);
    EXPECT_EQ(emf::I32At(d + emf::kHdrDevice), 794);
    EXPECT_EQ(emf::I32At(d + emf::kHdrMillimeters), 210);
    const EmfPlayer player(page);
    EXPECT_EQ(player.creator(), QStringLiteral("TPrintPreview - "));
    EXPECT_EQ(player.title(), QStringLiteral("Test page"));
    // Every object the page creates has a handle inside the header's table.
    const quint16 handles = emf::U16At(d + emf::kHdrHandles);
    for (const Record& r : records) {
        if (r.type == emf::EMR_EXTCREATEPEN || r.type == emf::EMR_CREATEBRUSHINDIRECT ||
            r.type == emf::EMR_EXTCREATEFONTINDIRECTW) {
            EXPECT_LT(emf::U32At(d + r.offset + 8), handles);
        }
    }
}

TEST(EmfRecorder, LibuemfAcceptsEveryRecord) {
    const QByteArray page = samplePage();
    std::set<quint32> types;
    for (const Record& r : recordsOf(page)) {
        types.insert(r.type);
        // libuemf reads the record in place; a copy keeps it aligned.
        QByteArray copy = page.mid(r.offset, r.size);
        EXPECT_NE(U_emf_record_safe(copy.constData()), 0) << "record type " << r.type << " at " << r.offset;
    }
    // The sample page exercises what the recorder writes.
    for (quint32 t : {emf::EMR_SETMAPMODE, emf::EMR_SETWINDOWEXTEX, emf::EMR_SETVIEWPORTEXTEX,
                      emf::EMR_EXTCREATEFONTINDIRECTW, emf::EMR_EXTTEXTOUTW, emf::EMR_EXTCREATEPEN,
                      emf::EMR_CREATEBRUSHINDIRECT, emf::EMR_POLYPOLYLINE, emf::EMR_RECTANGLE,
                      emf::EMR_STRETCHDIBITS, emf::EMR_INTERSECTCLIPRECT, emf::EMR_SAVEDC,
                      emf::EMR_RESTOREDC, emf::EMR_SETTEXTCOLOR, emf::EMR_SETBKMODE})
        EXPECT_TRUE(types.count(t)) << "no record of type " << t;
}

TEST(EmfRecorder, Emf2svgConvertsTheSamplePageWithEveryText) {
    QString error;
    const QByteArray svg = emfToSvg(samplePage(), &error);
    ASSERT_FALSE(svg.isEmpty()) << qPrintable(error);
    const QString text = QString::fromUtf8(svg);
    for (const QString& s : {QStringLiteral("Tandex sample page"), QStringLiteral("Page 1")})
        EXPECT_TRUE(text.contains(s)) << qPrintable(s);
    // emf2svg writes non-ASCII characters as they are or as references.
    EXPECT_TRUE(text.contains(QStringLiteral("Grüße ⇒")) ||
                text.contains(QStringLiteral("Gr&#252;&#223;e &#8658;")) ||
                text.contains(QStringLiteral("Gr&#xfc;&#xdf;e &#x21d2;"), Qt::CaseInsensitive))
        << svg.left(4000).constData();
}

}  // namespace
