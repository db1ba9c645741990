// The preview printing through Qt's printer into PDF files, read back with
// poppler's tools: page count and size, the texts per page, the pixels of
// areas; and the device mode on Qt's page layout.

#include "ui/print/qt_preview_printer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "emf_test_pages.h"
#include "ui/print/preview_document.h"

using namespace tandex::print;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct PdfInfo {
    int pages = 0;
    QString size;  // "595 x 842 pts (A4)"
};

PdfInfo pdfInfo(const QString& file) {
    const QString out = run(QStringLiteral("pdfinfo"), {file});
    PdfInfo info;
    info.pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out).captured(1).toInt();
    info.size = QRegularExpression(QStringLiteral("Page size:\\s+(.*)\n")).match(out).captured(1);
    return info;
}

QString pageText(const QString& file, int page) {
    const QString n = QString::number(page);
    return run(QStringLiteral("pdftotext"), {"-f", n, "-l", n, file, "-"}).simplified();
}

QImage pageImage(const QString& file, const QString& dir) {
    const QString prefix = dir + QStringLiteral("/page");
    run(QStringLiteral("pdftoppm"), {"-r", "72", "-png", "-f", "1", "-l", "1", "-singlefile", file, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

// Qt's PDF pages measure whole points.
const QString kA4 = QStringLiteral("595 x 842 pts (A4)");
const QString kA4Landscape = QStringLiteral("842 x 595 pts (A4)");

// 72 dpi pixels of a length in millimetres.
int px(double mm) {
    return int(mm / 25.4 * 72);
}

void record(PreviewDocument& preview, const QStringList& texts) {
    preview.BeginDoc();
    for (int i = 0; i < texts.size(); ++i) {
        if (i > 0) preview.NewPage();
        preview.Canvas()->drawText(QPointF(2000, 3000), texts[i]);
    }
    preview.EndDoc();
}

// A preview on a PDF printer in a folder of its own.
struct PdfFixture {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("out.pdf"));
    QPrinter qprinter{QPrinter::HighResolution};
    QtPreviewPrinter printer{qprinter};
    PreviewDocument preview;

    PdfFixture() {
        qprinter.setOutputFormat(QPrinter::PdfFormat);
        qprinter.setOutputFileName(file);
        preview.SetPrinter(&printer);
    }
};

TEST(QtPreviewPrinter, PrintsChosenPagesInTheirOrientation) {
    for (TPrinterOrientation orientation : {poPortrait, poLandscape}) {
        SCOPED_TRACE(orientation == poPortrait ? "portrait" : "landscape");
        PdfFixture f;
        EXPECT_TRUE(f.printer.Installed());
        f.preview.SetOrientation(orientation);
        record(f.preview, {"Alpha one", "Bravo two", "Charlie three"});
        QList<QPair<int, int>> progress;
        f.preview.OnProgress = [&](int done, int total) { progress.append({done, total}); };
        f.preview.OnPageProcessing = [](int pageNo, TPageProcessingChoice& c) {
            if (pageNo == 2) c = pcIgnore;
        };
        f.preview.PrintAll();
        EXPECT_EQ(progress, (QList<QPair<int, int>>{{1, 3}, {2, 3}, {3, 3}, {3, 3}}));
        const PdfInfo info = pdfInfo(f.file);
        EXPECT_EQ(info.pages, 2);
        EXPECT_EQ(info.size, orientation == poPortrait ? kA4 : kA4Landscape);
        EXPECT_EQ(pageText(f.file, 1), QStringLiteral("Alpha one"));
        EXPECT_EQ(pageText(f.file, 2), QStringLiteral("Charlie three"));
    }
}

TEST(QtPreviewPrinter, CancelledJobLeavesNoFileAndKeepsTheOldOne) {
    for (bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "file existed" : "no file");
        PdfFixture f;
        if (existed) {
            QFile old(f.file);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }
        record(f.preview, {"One", "Two", "Three"});
        int afterPrint = 0;
        f.preview.OnAfterPrint = [&] { ++afterPrint; };
        f.preview.OnPageProcessing = [](int pageNo, TPageProcessingChoice& c) {
            if (pageNo == 2) c = pcCancellAll;
        };
        f.preview.PrintAll();
        EXPECT_EQ(afterPrint, 1);
        EXPECT_EQ(f.preview.State(), psReady);
        EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files), existed ? QStringList{"out.pdf"} : QStringList{});
        if (existed) {
            QFile old(f.file);
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), QByteArray("old content"));
        }
        // The printer prints to its file again afterwards.
        f.preview.OnPageProcessing = nullptr;
        f.preview.PrintPages(1, 1);
        EXPECT_EQ(pdfInfo(f.file).pages, 1);
    }
}

TEST(QtPreviewPrinter, GrayPrintingMakesRedGray) {
    struct Case {
        int grayscale;
        QRgb inside;
    };
    for (const Case& c : {Case{gsPrint, qRgb(76, 76, 76)}, Case{0, qRgb(255, 0, 0)}, Case{gsPreview, qRgb(255, 0, 0)}}) {
        SCOPED_TRACE(c.grayscale);
        PdfFixture f;
        f.preview.BeginDoc();
        f.preview.Canvas()->fillRect(QRect(2000, 2000, 6000, 6000), Qt::red);
        f.preview.EndDoc();
        f.preview.Grayscale = c.grayscale;
        f.preview.PrintAll();
        const QImage page = pageImage(f.file, f.dir.path());
        ASSERT_EQ(page.size(), QSize(595, 842));
        // The page lies on the paper's corner, not the printable area's.
        EXPECT_EQ(page.pixel(px(50), px(50)) & 0xFFFFFF, c.inside & 0xFFFFFF);
        EXPECT_EQ(page.pixel(px(22), px(22)) & 0xFFFFFF, c.inside & 0xFFFFFF);
        EXPECT_EQ(page.pixel(px(18), px(18)) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(page.pixel(px(82), px(50)) & 0xFFFFFF, 0xFFFFFFu);
    }
}

TEST(QtPreviewPrinter, DirectPrintWritesTheDrawnPages) {
    PdfFixture f;
    f.preview.SetDirectPrint(true);
    f.preview.BeginDoc();
    f.preview.Canvas()->drawText(QPointF(2000, 3000), QStringLiteral("Direct first"));
    f.preview.NewPage();
    f.preview.Canvas()->fillRect(QRect(2000, 2000, 6000, 6000), Qt::blue);
    f.preview.Canvas()->drawText(QPointF(2000, 12000), QStringLiteral("Direct second"));
    f.preview.EndDoc();
    EXPECT_EQ(f.preview.State(), psReady);
    const PdfInfo info = pdfInfo(f.file);
    EXPECT_EQ(info.pages, 2);
    EXPECT_EQ(info.size, kA4);
    EXPECT_EQ(pageText(f.file, 1), QStringLiteral("Direct first"));
    EXPECT_EQ(pageText(f.file, 2), QStringLiteral("Direct second"));
}

TEST(QtPreviewPrinter, DeviceModeOnThePageLayout) {
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    DeviceMode mode = DeviceModeOf(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF()), {});
    EXPECT_EQ(mode.PaperSize, 1);
    EXPECT_EQ(mode.Orientation, 2);
    EXPECT_EQ(mode.FormName, QPageSize(QPageSize::Letter).name());

    // A size of its own in 0.1 mm, and back.
    mode = DeviceMode();
    mode.Fields = DeviceMode::kOrientation | DeviceMode::kPaperSize | DeviceMode::kPaperWidth |
                  DeviceMode::kPaperLength;
    mode.Orientation = 2;
    mode.PaperSize = 256;
    mode.PaperWidth = 1000;
    mode.PaperLength = 1500;
    QPageLayout layout = LayoutWithDeviceMode(a4, mode, {});
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.pageSize().size(QPageSize::Millimeter), QSizeF(100, 150));
    const DeviceMode back = DeviceModeOf(layout, {});
    EXPECT_EQ(back.PaperSize, 256);
    EXPECT_EQ(QSize(back.PaperWidth, back.PaperLength), QSize(1000, 1500));
    EXPECT_FALSE(back.Fields & DeviceMode::kFormName);

    // A code by its number; a printer's form by its name before the code.
    mode = DeviceMode();
    mode.Fields = DeviceMode::kPaperSize;
    mode.PaperSize = 11;
    EXPECT_EQ(LayoutWithDeviceMode(a4, mode, {}).pageSize().id(), QPageSize::A5);
    const QPageSize card(QSizeF(90, 50), QPageSize::Millimeter, QStringLiteral("Card"));
    mode.Fields |= DeviceMode::kFormName;
    mode.FormName = QStringLiteral("Card");
    EXPECT_EQ(LayoutWithDeviceMode(a4, mode, {card}).pageSize().name(), QStringLiteral("Card"));
    // An unknown code changes nothing.
    mode = DeviceMode();
    mode.Fields = DeviceMode::kPaperSize;
    mode.PaperSize = 48;
    EXPECT_TRUE(LayoutWithDeviceMode(a4, mode, {}).isEquivalentTo(a4));
}

}  // namespace
