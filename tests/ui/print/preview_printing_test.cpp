// The preview's printer side on a fake printer: print runs, form names,
// printer options both ways, the page-setup record, the printer's page
// geometry and pages drawn straight onto the printer.

#include <gtest/gtest.h>

#include <QPainter>
#include <functional>

#include "fake_printer.h"
#include "ui/print/page_setup.h"

using namespace tandex::print;
using fake_printer::FakePrinter;

namespace {

void record(PreviewDocument& preview, int pages) {
    preview.BeginDoc();
    for (int i = 1; i <= pages; ++i) {
        if (i > 1) preview.NewPage();
        preview.Canvas()->drawText(QPointF(2000, 3000), QStringLiteral("Page %1").arg(i));
    }
    preview.EndDoc();
}

// A preview of three pages on the fake, which notes the pages drawn and
// the events around the job among its calls.
struct Fixture {
    PreviewDocument preview;
    FakePrinter printer;
    QList<QPair<int, int>> progress;
    int afterPrint = 0;

    explicit Fixture(int pages = 3) {
        record(preview, pages);
        preview.SetPrinter(&printer);
        preview.PrintJobTitle = QStringLiteral("Report");
        preview.OnBeforePrint = [this] { printer.calls << QStringLiteral("before"); };
        preview.OnAfterPrint = [this] {
            printer.calls << QStringLiteral("after");
            ++afterPrint;
        };
        preview.OnProgress = [this](int done, int total) { progress.append({done, total}); };
        preview.OnPrintBackground = [this](int pageNo, QPainter& canvas) {
            EXPECT_EQ(printer.title, QStringLiteral("Report"));
            EXPECT_TRUE(canvas.isActive());
            printer.calls << QStringLiteral("page %1").arg(pageNo);
        };
    }
};

TEST(PreviewPrinting, IdleRunsAndNoPrinterDoNothing) {
    Fixture f(2);
    int stateChanges = 0;
    f.preview.OnStateChange = [&] { ++stateChanges; };
    f.preview.PrintPages(3, 2);
    f.preview.PrintPageList({});
    EXPECT_TRUE(f.printer.calls.isEmpty());
    EXPECT_EQ(f.preview.State(), psReady);
    EXPECT_EQ(stateChanges, 0);

    // No printer at all, and one that is not installed.
    for (bool none : {true, false}) {
        SCOPED_TRACE(none ? "no printer" : "not installed");
        FakePrinter printer;
        printer.installed = false;
        printer.mode.Fields = DeviceMode::kPaperSize | DeviceMode::kFormName;
        printer.mode.PaperSize = 1;
        printer.mode.FormName = QStringLiteral("Letter");
        PreviewDocument& preview = f.preview;
        preview.SetPrinter(none ? nullptr : &printer);
        preview.PrintAll();
        preview.ApplyPrinterOptions();
        preview.ReadPrinterOptions();
        preview.ResetPrinterDC();
        EXPECT_TRUE(printer.calls.isEmpty());
        EXPECT_TRUE(printer.sentModes.isEmpty());
        EXPECT_EQ(preview.PaperType(), pA4);
        EXPECT_EQ(preview.FormName(), QString());
        EXPECT_EQ(preview.PrintableAreaBounds(), preview.PageBounds());
        EXPECT_EQ(preview.PrinterPageBounds(), QRect(0, 0, 0, 0));
        EXPECT_EQ(f.afterPrint, 0);
        preview.SetPrinter(nullptr);
    }
}

TEST(PreviewPrinting, JobFollowsPageChoicesStopsAndFailures) {
    using Progress = QList<QPair<int, int>>;
    struct Case {
        const char* name;
        std::function<void(Fixture&)> arrange;
        QStringList calls;
        Progress progress;
        bool raises;
    };
    const QStringList none;
    const Case cases[] = {
        {"page 2 ignored",
         [](Fixture& f) {
             f.preview.OnPageProcessing = [](int pageNo, TPageProcessingChoice& c) {
                 if (pageNo == 2) c = pcIgnore;
             };
         },
         {"before", "begin", "page 1", "new page", "page 3", "end", "after"},
         {{1, 3}, {2, 3}, {3, 3}, {3, 3}},
         false},
        {"cancelled at page 2",
         [](Fixture& f) {
             f.preview.OnPageProcessing = [](int pageNo, TPageProcessingChoice& c) {
                 if (pageNo == 2) c = pcCancellAll;
             };
         },
         {"before", "begin", "page 1", "abort", "after"},
         {{1, 3}, {2, 3}},
         false},
        {"stopped before page 2",
         [](Fixture& f) {
             f.preview.OnProgress = [&f](int done, int total) {
                 f.progress.append({done, total});
                 if (done == 1) f.preview.AbortPrinting = true;
             };
         },
         {"before", "begin", "page 1", "end", "after"},
         {{1, 3}, {3, 3}},
         false},
        {"handler raises at page 2",
         [](Fixture& f) {
             f.preview.OnPageProcessing = [](int pageNo, TPageProcessingChoice&) {
                 if (pageNo == 2) throw std::runtime_error("handler");
             };
         },
         {"before", "begin", "page 1", "abort", "after"},
         {{1, 3}, {2, 3}},
         true},
        {"printer cannot start",
         [](Fixture& f) { f.printer.beginFails = true; },
         {"before", "begin", "after"},
         {},
         true},
        {"printer fails at page 2",
         [](Fixture& f) { f.printer.newPageFailsAt = 2; },
         {"before", "begin", "page 1", "new page", "abort", "after"},
         {{1, 3}, {2, 3}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.arrange(f);
        QList<TPreviewState> states;
        f.preview.OnStateChange = [&] { states.append(f.preview.State()); };
        if (c.raises) EXPECT_ANY_THROW(f.preview.PrintAll());
        else f.preview.PrintAll();
        EXPECT_EQ(f.printer.calls, c.calls);
        EXPECT_EQ(f.progress, c.progress);
        EXPECT_EQ(f.afterPrint, 1);
        EXPECT_EQ(states, (QList<TPreviewState>{psPrinting, psReady}));
        EXPECT_EQ(f.printer.title, QString());

        // Nothing of the run holds back the next one.
        f.preview.OnPageProcessing = nullptr;
        f.preview.OnProgress = nullptr;
        f.printer.calls.clear();
        f.printer.beginFails = false;
        f.printer.newPageFailsAt = 0;
        f.preview.PrintPages(2, 9);
        EXPECT_EQ(f.printer.calls,
                  QStringList({"before", "begin", "page 2", "new page", "page 3", "end", "after"}));
    }
}

TEST(PreviewPrinting, FormNames) {
    const QSize a4Form(210000, 297000), wideCard(150000, 100000);
    struct Case {
        const char* name;
        TUnits units;
        TPaperType type;  // pCustom: 100 × 150 mm
        TPrinterOrientation orientation;
        QList<PrinterForm> forms;
        QLocale::MeasurementSystem locale;
        QString formName;
        bool synthesized;
    };
    const Case cases[] = {
        {"custom", mmHiMetric, pCustom, poPortrait, {}, QLocale::ImperialUSSystem, "100mm x 150mm", true},
        {"custom landscape", mmHiMetric, pCustom, poLandscape, {}, QLocale::ImperialUSSystem,
         "150mm x 100mm Rotated", true},
        {"letter in inches", mmHiEnglish, pLetter, poPortrait, {}, QLocale::MetricSystem, "8.5\" x 11\"", true},
        {"twips, imperial user", mmTWIPS, pCustom, poPortrait, {}, QLocale::ImperialUSSystem, "3.9\" x 5.9\"",
         true},
        {"twips, metric user", mmTWIPS, pCustom, poPortrait, {}, QLocale::MetricSystem, "100mm x 150mm", true},
        {"rotated form", mmHiMetric, pCustom, poPortrait, {{"Card", wideCard}}, QLocale::MetricSystem,
         "Card Rotated", true},
        {"A4 form", mmHiMetric, pA4, poPortrait, {{"Letter", QSize(215900, 279400)}, {"A4", a4Form}},
         QLocale::MetricSystem, "A4", false},
        {"A4 form, landscape paper", mmLoMetric, pA4, poLandscape, {{"A4", a4Form}}, QLocale::MetricSystem, "A4",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLocaleMeasurementSystemForTesting(c.locale);
        PreviewDocument preview;
        FakePrinter printer;
        printer.forms = c.forms;
        preview.SetPrinter(&printer);
        preview.SetUnits(c.units);
        if (c.type == pCustom) {
            const QPoint size = preview.ConvertXY(10000, 15000, mmHiMetric, c.units);
            preview.SetPaperSize(size.x(), size.y());
        } else {
            preview.SetPaperType(c.type);
        }
        preview.SetOrientation(c.orientation);
        EXPECT_EQ(preview.FormName(), c.formName);
        EXPECT_EQ(preview.IsSynthesizedFormName(), c.synthesized);

        preview.ApplyPrinterOptions();
        ASSERT_EQ(printer.sentModes.size(), 1);
        const DeviceMode& sent = printer.sentModes[0];
        EXPECT_EQ(bool(sent.Fields & DeviceMode::kFormName), !c.synthesized);
        if (!c.synthesized) {
            EXPECT_EQ(sent.FormName, c.formName);
        }
        EXPECT_EQ(sent.PaperSize, c.type == pCustom ? 256 : PaperSizes(c.type).ID);
        EXPECT_EQ(sent.Orientation, c.orientation == poLandscape ? 2 : 1);
    }
    SetLocaleMeasurementSystemForTesting(std::nullopt);
}

TEST(PreviewPrinting, PrinterOptionsBothWays) {
    EXPECT_EQ(FindPaperTypeById(9), pA4);
    EXPECT_EQ(FindPaperTypeById(256), pCustom);

    PreviewDocument preview;
    FakePrinter printer;
    preview.SetPrinter(&printer);

    // A size of its own goes in 0.1 mm, in portrait order; a form name the
    // printer had before does not stay.
    printer.mode.Fields = DeviceMode::kFormName | 0x100;
    printer.mode.FormName = QStringLiteral("Letter");
    preview.SetPaperSize(10000, 15000);
    preview.SetOrientation(poLandscape);
    preview.ApplyPrinterOptions();
    const DeviceMode sent = printer.sentModes.value(0);
    EXPECT_EQ(sent.Fields, DeviceMode::kOrientation | DeviceMode::kPaperSize | DeviceMode::kPaperLength |
                               DeviceMode::kPaperWidth | 0x100);
    EXPECT_EQ(sent.PaperSize, 256);
    EXPECT_EQ(QSize(sent.PaperWidth, sent.PaperLength), QSize(1000, 1500));
    EXPECT_EQ(sent.Orientation, 2);

    // A paper code with a form name, in landscape.
    printer.mode = DeviceMode();
    printer.mode.Fields = DeviceMode::kOrientation | DeviceMode::kPaperSize | DeviceMode::kFormName;
    printer.mode.Orientation = 2;
    printer.mode.PaperSize = 9;
    printer.mode.FormName = QStringLiteral("A4 (driver)");
    preview.ReadPrinterOptions();
    EXPECT_EQ(preview.PaperType(), pA4);
    EXPECT_EQ(preview.Orientation(), poLandscape);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(29700, 21000));
    EXPECT_EQ(preview.FormName(), QStringLiteral("A4 (driver)"));
    EXPECT_FALSE(preview.IsSynthesizedFormName());

    // A size of its own is the physical page, as the printer turns it.
    printer.mode.Fields = DeviceMode::kPaperSize | DeviceMode::kOrientation;
    printer.mode.PaperSize = 256;
    printer.mode.Orientation = 1;
    printer.paper = QRect(0, 0, 2362, 3543);  // 100 × 150 mm at 600 dpi
    preview.ReadPrinterOptions();
    EXPECT_EQ(preview.Orientation(), poPortrait);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(9999, 14999));
    EXPECT_EQ(preview.PaperType(), pCustom);
}

TEST(PreviewPrinting, PageSetupRecord) {
    PreviewDocument preview;
    preview.SetUnits(mmLoMetric);
    TPageSetupRecord mm{pmuMillimeters, 21000, 29700, 1500, 1500, 1000, 1000};
    const QRect text = preview.ApplyPageSetupDialog(mm);
    EXPECT_EQ(QRect(QPoint(text.left(), text.top()), QPoint(text.x() + text.width(), text.y() + text.height())),
              QRect(QPoint(150, 150), QPoint(2000, 2870)));
    EXPECT_EQ(preview.PaperType(), pA4);

    // A landscape page on a portrait printer: the printer turns, and the
    // record's page comes back as it went, in the user's measure.
    SetLocaleMeasurementSystemForTesting(QLocale::MetricSystem);
    FakePrinter printer;
    preview.SetPrinter(&printer);
    preview.SetOrientation(poLandscape);
    TPageSetupRecord record;
    preview.FillPageSetupDialog(record);
    EXPECT_EQ(printer.orientation, poLandscape);
    EXPECT_EQ(QSize(record.PageWidth, record.PageHeight), QSize(29700, 21000));
    preview.ApplyPageSetupDialog(record);
    EXPECT_EQ(preview.Orientation(), poLandscape);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(2970, 2100));
    EXPECT_EQ(preview.PaperType(), pA4);

    // Letter in inches, the printer turned back to portrait in the dialog.
    printer.orientation = poPortrait;
    const TPageSetupRecord inches{pmuInches, 8500, 11000, 1000, 500, 1000, 500};
    const QRect letter = preview.ApplyPageSetupDialog(inches);
    EXPECT_EQ(preview.PaperType(), pLetter);
    EXPECT_EQ(preview.Orientation(), poPortrait);
    EXPECT_EQ(letter, QRect(254, 127, 2159 - 508, 2794 - 254));
    SetLocaleMeasurementSystemForTesting(std::nullopt);
}

TEST(PreviewPrinting, PrinterPageGeometry) {
    PreviewDocument preview;
    FakePrinter printer;
    printer.paper = QRect(0, 0, 5100, 6600);
    printer.page = QRect(100, 150, 4800, 6300);
    preview.SetPrinter(&printer);
    // 100 px at 600 dpi are 423.3 hundredths of a millimetre.
    EXPECT_EQ(preview.PrintableAreaBounds(), QRect(423, 635, 20320, 26670));
    // A4 in printer pixels, from the canvas's corner at the printable area.
    EXPECT_EQ(preview.PrinterPageBounds(), QRect(-100, -150, 4961, 7016));
    preview.UsePrinterOptions = true;
    EXPECT_EQ(preview.PrinterPageBounds(), QRect(-100, -150, 5100, 6600));
}

TEST(PreviewPrinting, DirectPrintDrawsOnThePrinter) {
    PreviewDocument preview;
    record(preview, 2);
    FakePrinter printer;
    preview.SetPrinter(&printer);
    preview.SetDirectPrint(true);
    // The printer is the reference device: the page in its pixels.
    EXPECT_EQ(preview.PageExtent(), QSize(4961, 7016));
    EXPECT_EQ(preview.PageScreenSize(), QSize(794, 1123));
    preview.PrintJobTitle = QStringLiteral("Direct");
    QStringList events;
    preview.OnNewPage = [&] { events << QStringLiteral("new page %1").arg(preview.TotalPages()); };
    preview.OnEndPage = [&] { events << QStringLiteral("end page"); };

    preview.BeginDoc();
    EXPECT_EQ(preview.State(), psPrinting);
    EXPECT_EQ(printer.title, QStringLiteral("Direct"));
    ASSERT_NE(preview.Canvas(), nullptr);
    preview.Canvas()->drawText(QPointF(2000, 3000), QStringLiteral("One"));
    preview.NewPage();
    EXPECT_EQ(preview.TotalPages(), 1);
    preview.Canvas()->drawText(QPointF(2000, 3000), QStringLiteral("Two"));
    preview.EndDoc();

    EXPECT_EQ(printer.calls, QStringList({"begin", "new page", "end"}));
    EXPECT_EQ(printer.sentModes.size(), 1);
    EXPECT_EQ(events, QStringList({"new page 0", "end page", "new page 1", "end page"}));
    EXPECT_EQ(preview.State(), psReady);
    // The recorded pages are not the printer's.
    EXPECT_EQ(preview.TotalPages(), 2);

    // A printer that fails mid-job: the job is aborted and the preview
    // can record again.
    printer.calls.clear();
    printer.newPageFailsAt = 2;
    preview.BeginDoc();
    EXPECT_THROW(preview.NewPage(), EPrinterError);
    EXPECT_EQ(printer.calls, QStringList({"begin", "new page", "abort"}));
    EXPECT_EQ(preview.State(), psReady);

    // Without an installed printer the pages are recorded.
    printer.installed = false;
    preview.SetDirectPrint(true);
    EXPECT_EQ(preview.PageExtent(), QSize(794, 1123));
    record(preview, 3);
    EXPECT_EQ(preview.TotalPages(), 3);
}

}  // namespace
