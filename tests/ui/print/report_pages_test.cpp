// Printing comparisons from the main window: the print commands open the
// report window on engine-compared pairs, its pages are printed to PDF
// and read back with poppler's tools (text and pixels), and the window's
// screen state is checked after every kind of end of a report.

#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QTimeZone>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>

#include <climits>
#include <stdexcept>

#include "access/file_times.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/print/pdf_tools.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/image_compare_wnd.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window_layout.h"
#include "ui/print/print_window.h"
#include "ui/print/qt_preview_printer.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using tandex::print::TF_Print;
using tandex::testing::OnNextModal;
using tandex::testing::pageImage;
using tandex::testing::pageLines;
using tandex::testing::pageText;
using tandex::testing::pdfPages;

namespace {

// The real report window, with ways in for the cases a user cannot make
// on demand: a painter that fails, a stop after some pages.
class TestReport : public tandex::print::TReportServices {
public:
    std::optional<QRect> DrawGraphicFit(const QRect& r, const QImage& picture, bool proportional, bool shrinkOnly,
                                        bool center) override {
        if (failDrawing) throw std::runtime_error("The picture cannot be drawn");
        drawn.push_back(r);
        return TReportServices::DrawGraphicFit(r, picture, proportional, shrinkOnly, center);
    }
    QPoint ScreenToUnits(int x, int y) const override {
        if (failDrawing) throw std::runtime_error("The icon cannot be drawn");
        return TReportServices::ScreenToUnits(x, y);
    }
    bool failDrawing = false;
    std::vector<QRect> drawn;
};

class MessageLog : public config::MessageSink {
public:
    MessageLog() { config::setMessageSink(this); }
    ~MessageLog() override { config::setMessageSink(nullptr); }
    int showMessage(const config::MessageRequest& request) override {
        asked.push_back(request);
        return config::mrOk;
    }
    std::vector<config::MessageRequest> asked;
};

// Everything of the screen a report must leave as it found it.
struct ScreenState {
    QString names[3];
    bool modified[3] = {};
    size_t undo[3] = {};
    ui::TLayoutGeometry geometry;
    int lineHeight = 0, charWidth = 0;
    bool printing = false;

    static ScreenState of(const ui::TF_Main& w) {
        ScreenState s;
        for (int pane = 1; pane <= 2; ++pane) {
            s.names[pane] = engine::paneStores().FileNames[size_t(pane)];
            s.modified[pane] = engine::fccTabs().IsPaneModified(pane);
            s.undo[pane] = engine::undoStack().Records(pane).size();
        }
        s.geometry = w.Geometry();
        s.lineHeight = w.LineHeight();
        s.charWidth = w.CharWidth();
        s.printing = w.Printing();
        return s;
    }
    void expectSame(const ScreenState& o) const {
        for (int pane = 1; pane <= 2; ++pane) {
            EXPECT_EQ(names[pane], o.names[pane]) << pane;
            EXPECT_EQ(modified[pane], o.modified[pane]) << pane;
            EXPECT_EQ(undo[pane], o.undo[pane]) << pane;
        }
        EXPECT_EQ(geometry.paneTop, o.geometry.paneTop);
        EXPECT_EQ(geometry.paneBottom, o.geometry.paneBottom);
        EXPECT_EQ(geometry.leftTextX, o.geometry.leftTextX);
        EXPECT_EQ(geometry.rightTextX, o.geometry.rightTextX);
        EXPECT_EQ(geometry.columnEdges, o.geometry.columnEdges);
        EXPECT_EQ(lineHeight, o.lineHeight);
        EXPECT_EQ(charWidth, o.charWidth);
        EXPECT_EQ(printing, o.printing);
    }
};

QStringList numbered(const char* pattern, int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QString::asprintf(pattern, i);
    return lines;
}

// Rows of a page printed as "n text   n text" (both panes) or "n text".
struct PrintedRow {
    int leftNumber = 0;
    QString left;
    int rightNumber = 0;
    QString right;
};

std::vector<PrintedRow> printedRows(const QString& pdf, int page) {
    static const QRegularExpression both(QStringLiteral("^\\s*(\\d+)\\s+(\\S+ \\S+)\\s+(\\d+)\\s+(\\S+ \\S+)\\s*$"));
    static const QRegularExpression one(QStringLiteral("^\\s*(\\d+)\\s+(\\S+ \\S+)\\s*$"));
    std::vector<PrintedRow> rows;
    for (const QString& line : pageLines(pdf, page)) {
        if (const auto m = both.match(line); m.hasMatch())
            rows.push_back({m.captured(1).toInt(), m.captured(2), m.captured(3).toInt(), m.captured(4)});
        else if (const auto m1 = one.match(line); m1.hasMatch())
            rows.push_back({m1.captured(1).toInt(), m1.captured(2), 0, QString()});
    }
    return rows;
}

// Pixels of the page body (below the frame, above the bottom margin) that
// the test asks for.
int countPixels(const QImage& page, int topMm, const std::function<bool(QRgb)>& wanted) {
    int n = 0;
    const int top = int((topMm + 2) * 72 / 25.4);
    for (int y = top; y < page.height() - 40; ++y)
        for (int x = 0; x < page.width(); ++x)
            if (wanted(page.pixel(x, y))) ++n;
    return n;
}

bool dark(QRgb p) { return qRed(p) < 70 && qGreen(p) < 70 && qBlue(p) < 70; }

class ReportPagesTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        QPrinter& printer = tandex::print::SystemPrinter().printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageOrientation(QPageLayout::Portrait);
        ui::setReport(&report_);
    }
    void TearDown() override {
        window_.reset();
        ui::setReport(nullptr);
        ComparedWindowFixture::TearDown();
    }

    // The window, with the print settings of these tests in place of the
    // ones its start read.
    ui::TF_Main& printWindow() {
        ui::TF_Main& w = makeWindow();
        auto& s = config::AppSettings();
        s.APFont = {QStringLiteral("DejaVu Sans Mono"), 10, 0};
        s.PRTop = 20;
        s.PRBottom = 15;
        s.PRLeft = 15;
        s.PRRight = 10;
        s.GSLineNr = true;
        s.APL = s.APT = 0;
        s.APW = 900;
        s.APH = 700;
        ui::PrintLandscape = 0;
        return w;
    }

    ui::TF_Main& textWindow(const QStringList& left, const QStringList& right) {
        ui::TF_Main& w = printWindow();
        compare(left, right);
        w.updateRowRange();
        w.refreshLayout();
        w.showPrintItems();
        settle(w);
        return w;
    }

    // Lets the window finish what follows its paint (scroll bar, layout).
    static void settle(ui::TF_Main& w) {
        w.invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }

    QAction* item(ui::TF_Main& w, const char* name) {
        auto* a = w.findChild<QAction*>(QLatin1String(name));
        EXPECT_TRUE(a) << name;
        return a;
    }

    // Runs a print command; while the report window is shown, inside runs,
    // the pages go to the PDF printer and the window is closed.
    void print(ui::TF_Main& w, QObject* sender, const std::function<void(TF_Print&)>& inside = {}) {
        bool shown = false;
        OnNextModal([&](QWidget* modal) {
            shown = true;
            TF_Print* p = report_.Window();
            EXPECT_EQ(modal, p);
            if (!p) return;
            if (inside) inside(*p);
            if (p->PrintPreview().Document().TotalPages() > 0) p->PrintPreview().Document().PrintAll();
            p->close();
        });
        if (sender == nullptr)
            w.pmPrintImageClick(nullptr);
        else
            w.mPrintClick(sender);
        EXPECT_TRUE(shown);
    }

    QTemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    TestReport report_;
};

TEST(PrintColumns, PageSplitsWithoutStripOrScrollBar) {
    struct Case {
        const char* name;
        int viewType;
        bool single, numbers, tree;
        int splitX, leftTextX, visibleLeft, visibleRight;
    };
    // A4 less margins in 0.1 mm, 20 units a character, "888" 60 wide.
    const Case cases[] = {
        {"text, both panes", ui::vtText, false, true, false, 1075, 214, 43, 43},
        {"text, one pane", ui::vtText, true, true, false, 2000, 214, 89, 0},
        {"no line numbers", ui::vtText, false, false, false, 1075, 152, 46, 46},
        {"binary at most 4 x 4 + 3 columns", ui::vtBinary, false, true, false, 1075, 214, 19, 19},
        {"folder tree info columns", ui::vtFolder, false, true, true, 1075, 214, 43, 43},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::TPrintLayoutInput in;
        in.pageLeft = 150;
        in.pageTop = 200;
        in.pageRight = 2000;
        in.pageBottom = 2820;
        in.viewType = c.viewType;
        in.singlePaneView = c.single;
        in.lineNumbers = c.numbers;
        in.lineNumberTextWidth = 60;
        in.charWidth = 20;
        in.fcTreeView = c.tree;
        in.hexBytes = 4;
        const ui::TLayoutGeometry g = ui::layoutPrintColumns(in);
        const auto& e = g.columnEdges;
        EXPECT_EQ(g.paneTop, 200);
        EXPECT_EQ(g.paneBottom, 2820);
        EXPECT_EQ(g.rightEdge, 2000);
        EXPECT_EQ(g.diffBarWidth, 0);
        EXPECT_EQ(g.splitX, c.splitX);
        EXPECT_EQ(g.leftTextX, c.leftTextX);
        EXPECT_EQ(e[1], g.leftTextX);
        EXPECT_EQ(g.rightTextX, e[7] + 2);
        EXPECT_EQ(g.sectionWidths[5], 0);
        EXPECT_EQ(g.sectionWidths[11], 0);
        EXPECT_EQ(e[5], c.splitX);
        EXPECT_EQ(e[11], 2000);
        EXPECT_EQ(g.visibleColsLeft, c.visibleLeft);
        if (!c.single) {
            EXPECT_EQ(g.visibleColsRight, c.visibleRight);
        }
        if (c.tree) {
            EXPECT_EQ(e[3] - e[2], 14 * 20);
            EXPECT_EQ(e[4] - e[3], 20 * 20);
            EXPECT_EQ(e[5] - e[4], 5 * 20);
        }
    }
}

TEST_F(ReportPagesTest, PrintItemsShowOnlyWithAReportWindow) {
    ui::TF_Main& w = textWindow({"a"}, {"b"});
    for (const char* name : {"PrintBoth1", "PrintLeft1", "PrintRight1"}) EXPECT_TRUE(item(w, name)->isVisible());
    EXPECT_EQ(item(w, "PrintBoth1")->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    ui::setReport(nullptr);
    w.showPrintItems();
    for (const char* name : {"PrintBoth1", "PrintLeft1", "PrintRight1"}) EXPECT_FALSE(item(w, name)->isVisible());
    EXPECT_FALSE(w.pmPrintSelection->isVisible());
}

TEST_F(ReportPagesTest, ThreePageTextComparisonPrintsEveryRowOfBothPanesInBlack) {
    auto& colors = config::AppSettings().ColorSets[size_t(config::AppSettings().COSetIdx)];
    // Blue on screen: the paper must show black instead.
    colors[config::TextColL] = colors[config::TextColR] = 0xFF0000;
    colors[config::LNumCol] = 0x808080;
    QStringList left = numbered("row%03d same", 150), right = left;
    right[99] = QStringLiteral("row100 edited");
    right[139] = QStringLiteral("row140 edited");
    ui::TF_Main& w = textWindow(left, right);
    const ScreenState before = ScreenState::of(w);
    // The screen asks for its layout while pages are made (a timer, a
    // queued step after a paint): the pages keep theirs.
    report_.CreateReportWindow(&w, QRect());
    auto& doc = report_.Window()->PrintPreview().Document();
    const auto newPage = doc.OnNewPage;
    bool redrawOff = true;
    doc.OnNewPage = [&] {
        if (newPage) newPage();
        w.refreshLayout();
        w.arrangeLayout(ui::vtText);
        QApplication::processEvents();
        if (w.Printing()) redrawOff = redrawOff && !w.updatesEnabled();
    };
    print(w, item(w, "PrintBoth1"), [&](TF_Print& p) {
        EXPECT_EQ(p.PrintMode, 2);
        EXPECT_EQ(p.EndPosition, 150);
        EXPECT_TRUE(w.Printing() == false);
    });
    doc.OnNewPage = newPage;
    EXPECT_TRUE(redrawOff);
    ScreenState::of(w).expectSame(before);
    ASSERT_EQ(pdfPages(pdf), 3);
    std::vector<PrintedRow> rows;
    for (int page = 1; page <= 3; ++page) {
        const std::vector<PrintedRow> onPage = printedRows(pdf, page);
        EXPECT_FALSE(onPage.empty()) << page;
        rows.insert(rows.end(), onPage.begin(), onPage.end());
        EXPECT_TRUE(pageText(pdf, page).contains(QStringLiteral("Page %1").arg(page)));
    }
    ASSERT_EQ(rows.size(), 150u);
    for (int i = 0; i < 150; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[size_t(i)].leftNumber, i + 1);
        EXPECT_EQ(rows[size_t(i)].left, left[i]);
        EXPECT_EQ(rows[size_t(i)].rightNumber, i + 1);
        EXPECT_EQ(rows[size_t(i)].right, right[i]);
    }
    const QImage first = pageImage(pdf, 1, QStringLiteral("ReportPages.Text-p1"));
    ASSERT_FALSE(first.isNull());
    EXPECT_GT(countPixels(first, 20, dark), 500);
    EXPECT_EQ(countPixels(first, 20, [](QRgb p) { return qBlue(p) > 160 && qRed(p) < 90 && qGreen(p) < 90; }), 0);
}

TEST_F(ReportPagesTest, SelectionOnlyPrintsTheSelectedRowsOnConsecutiveLinesWithoutSelectionColours) {
    auto& colors = config::AppSettings().ColorSets[size_t(config::AppSettings().COSetIdx)];
    colors[config::SelTxtBgCol] = 0x00FF00;
    colors[config::SelMateBgCol] = 0x00FF00;
    colors[config::SelLnBgCol] = 0x00FF00;
    const QStringList lines = numbered("line%d text", 8);
    ui::TF_Main& w = textWindow(lines, lines);
    engine::rows().SetLineSelection(1, 2, 1, 0);
    engine::rows().SetLineSelection(1, 5, 1, 0);
    print(w, w.pmPrintSelection, [](TF_Print& p) { EXPECT_EQ(p.SelectionOnly, 1); });
    EXPECT_FALSE(w.PrintSelectionOnly());
    ASSERT_EQ(pdfPages(pdf), 1);
    const std::vector<PrintedRow> rows = printedRows(pdf, 1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].left, QStringLiteral("line3 text"));
    EXPECT_EQ(rows[1].left, QStringLiteral("line6 text"));
    EXPECT_EQ(rows[1].leftNumber, 6);
    const QStringList text = pageLines(pdf, 1);
    const int at = int(text.indexOf(QRegularExpression(QStringLiteral(".*line3 text.*"))));
    ASSERT_GE(at, 0);
    EXPECT_TRUE(text.value(at + 1).contains(QStringLiteral("line6 text")));
    EXPECT_EQ(countPixels(pageImage(pdf, 1), 20, [](QRgb p) { return qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60; }), 0);
    // The selection itself stays on screen.
    EXPECT_TRUE(engine::rows().IsRowSelected(1, 2));
}

TEST_F(ReportPagesTest, RightPaneAlonePrintsInTheSinglePanePositionAndRestoresTheScreen) {
    const QStringList left = numbered("left%02d line", 6), right = numbered("right%02d line", 6);
    ui::TF_Main& w = textWindow(left, right);
    engine::fccTabs().MarkPaneModified(2);
    engine::undoStack().PushUndo(1, 2, 0, QStringLiteral("x"), 1);
    const ScreenState before = ScreenState::of(w);
    print(w, item(w, "PrintRight1"), [](TF_Print& p) { EXPECT_EQ(p.PrintMode, 1); });
    ScreenState::of(w).expectSame(before);
    const std::vector<PrintedRow> rows = printedRows(pdf, 1);
    const QString page = pageText(pdf, 1);
    EXPECT_FALSE(page.contains(QStringLiteral("left01"))) << page.toStdString();
    std::vector<QString> printed;
    for (const PrintedRow& r : rows) {
        EXPECT_TRUE(r.right.isEmpty()) << r.right.toStdString();
        if (r.left.startsWith(QStringLiteral("right"))) printed.push_back(r.left);
    }
    EXPECT_EQ(printed.size(), 6u);
    if (!printed.empty()) {
        EXPECT_EQ(printed.front(), QStringLiteral("right01 line"));
    }
}

TEST_F(ReportPagesTest, PageThatCannotBeMadeStillRestoresTheScreen) {
    MessageLog messages;
    ui::TF_Main& w = textWindow(numbered("left%03d line", 200), numbered("right%03d line", 200));
    engine::fccTabs().MarkPaneModified(1);
    const ScreenState before = ScreenState::of(w);
    report_.CreateReportWindow(&w, QRect());
    auto& doc = report_.Window()->PrintPreview().Document();
    const auto newPage = doc.OnNewPage;
    // The second page fails the way a full memory makes it fail (the
    // first call opens the first page).
    int calls = 0;
    doc.OnNewPage = [&] {
        if (++calls == 2) throw std::runtime_error("There is not enough memory to create a new page");
        if (newPage) newPage();
    };
    // The page that failed is stored as it was opened, empty.
    print(w, item(w, "PrintRight1"), [](TF_Print& p) { EXPECT_EQ(p.PrintPreview().Document().TotalPages(), 2); });
    doc.OnNewPage = newPage;
    ScreenState::of(w).expectSame(before);
    EXPECT_TRUE(w.updatesEnabled());
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, QStringLiteral("There is not enough memory to create a new page"));
    EXPECT_EQ(messages.asked[0].caption, QStringLiteral(" Tandex Print "));
}

TEST_F(ReportPagesTest, StoppingInTheReportWindowEndsTheReportAtTheNextPage) {
    ui::TF_Main& w = textWindow(numbered("row%03d same", 300), numbered("row%03d same", 300));
    const ScreenState before = ScreenState::of(w);
    report_.CreateReportWindow(&w, QRect());
    TF_Print* p = report_.Window();
    auto& doc = p->PrintPreview().Document();
    const auto newPage = doc.OnNewPage;
    // The user answers the abort question with Yes while page 2 is made
    // (the first call opens the first page).
    int calls = 0;
    doc.OnNewPage = [&] {
        if (newPage) newPage();
        if (++calls == 2) p->Aborted = true;
    };
    print(w, item(w, "PrintBoth1"), [](TF_Print& window) {
        EXPECT_EQ(window.PrintPreview().Document().TotalPages(), 2);
    });
    doc.OnNewPage = newPage;
    ScreenState::of(w).expectSame(before);
    EXPECT_EQ(pdfPages(pdf), 2);
}

TEST_F(ReportPagesTest, BinaryComparisonPrintsTheHexRowsOfBothFiles) {
    ui::TF_Main& w = printWindow();
    w.showPrintItems();
    auto write = [&](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    };
    QByteArray left(64, '\0'), right;
    for (int i = 0; i < left.size(); ++i) left[i] = char(i);
    right = left;
    right[20] = char(0xAB);
    w.loadAndCompare(3, write("left.bin", left), write("right.bin", right));
    ASSERT_EQ(w.ViewType(), ui::vtBinary);
    print(w, item(w, "PrintBoth1"));
    ASSERT_EQ(pdfPages(pdf), 1);
    const QString text = pageText(pdf, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("left.bin")) && text.contains(QStringLiteral("right.bin")));
    EXPECT_GE(text.count(QStringLiteral("10 11 12 13")), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("AB"))) << text.toStdString();
    EXPECT_FALSE(pageImage(pdf, 1, QStringLiteral("ReportPages.Binary-p1")).isNull());
}

TEST_F(ReportPagesTest, ImageViewPrintsBothPicturesOnOnePageAndTheDifferenceCentredWithItsFooter) {
    MessageLog messages;
    ui::TF_Main& w = printWindow();
    w.showPrintItems();
    auto picture = [&](const char* name, QRgb color) {
        QImage image(120, 90, QImage::Format_RGB32);
        image.fill(color);
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(image.save(path));
        return path;
    };
    w.loadAndCompare(3, picture("red.png", qRgb(255, 0, 0)), picture("blue.png", qRgb(0, 0, 255)));
    ASSERT_EQ(w.ViewType(), ui::vtImage);
    auto count = [](const QImage& page, int fromX, int toX, auto wanted) {
        int n = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = fromX; x < toX; ++x) n += wanted(page.pixel(x, y)) ? 1 : 0;
        return n;
    };
    auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; };
    auto blue = [](QRgb p) { return qBlue(p) > 200 && qGreen(p) < 60 && qRed(p) < 60; };

    print(w, item(w, "PrintBoth1"));
    EXPECT_EQ(report_.drawn.size(), 2u);
    report_.drawn.clear();
    ASSERT_EQ(pdfPages(pdf), 1);
    QImage page = pageImage(pdf, 1, QStringLiteral("ReportPages.Images-p1"));
    ASSERT_FALSE(page.isNull());
    const int middle = page.width() / 2;
    EXPECT_GT(count(page, 0, middle, red), 1000);
    EXPECT_EQ(count(page, middle, page.width(), red), 0);
    EXPECT_GT(count(page, middle, page.width(), blue), 1000);

    ui::TfImgCompare* c = w.ImgCompareWindow();
    c->pmImgCmpView->popup(QPoint(0, 0));
    EXPECT_TRUE(c->pmPrintImage->isVisible());
    c->pmImgCmpView->hide();
    const QString status = c->lStatus->text();
    ASSERT_TRUE(status.contains(QStringLiteral("- ["))) << status.toStdString();
    const QString footer = status.mid(status.indexOf(QStringLiteral("- [")) + 3);
    print(w, nullptr, [&](TF_Print& p) {
        EXPECT_EQ(p.PrintMode, 3);
        EXPECT_EQ(p.FooterText, footer);
        EXPECT_TRUE(p.LeftTitle.startsWith(QStringLiteral("Diff image of: ")));
        EXPECT_TRUE(p.RightTitle.startsWith(QStringLiteral("and: ")));
    });
    EXPECT_EQ(w.PrintPaneMode(), 0);
    ASSERT_EQ(pdfPages(pdf), 1);
    EXPECT_TRUE(pageText(pdf, 1).contains(footer.simplified())) << pageText(pdf, 1).toStdString();
    pageImage(pdf, 1, QStringLiteral("ReportPages.DiffImage-p1"));
    // Only the difference picture, centred across the text rectangle.
    ASSERT_EQ(report_.drawn.size(), 1u);
    const QRect r = report_.drawn[0];
    const auto& s = config::AppSettings();
    ASSERT_TRUE(report_.Window());
    const int paperWidth = report_.Window()->PrintPreview().Document().PaperWidth();
    EXPECT_NEAR(r.left() + r.width() / 2.0, s.PRLeft * 10 + (paperWidth - s.PRLeft * 10 - s.PRRight * 10) / 2.0, 2)
        << r.left() << " " << r.width();
    EXPECT_GE(r.top(), s.PRTop * 10);
    EXPECT_TRUE(messages.asked.empty());
}

class FolderRunIdle : public ui::FolderViewServices {
public:
    int FolderRunState() const override { return 0; }
    int FolderMaxDepth() const override { return 2; }
};

class FolderReportTest : public ReportPagesTest {
protected:
    void SetUp() override {
        ReportPagesTest::SetUp();
        QDir().mkpath(tmp_.filePath("bin"));
        // The icons come from the program's resource archive.
        QFile::copy(QStringLiteral(TANDEX_RESOURCE_ARCHIVE), tmp_.filePath("bin/TandexRes.zipx"));
        ui::setFolderView(&folders_);
    }
    void TearDown() override {
        ReportPagesTest::TearDown();
        ui::setFolderView(nullptr);
        engine::folderRows().InitFolderRows();
    }

    // top.txt (differs), docs/ with a.txt on both sides and b.txt on the right.
    ui::TF_Main& folderWindow() {
        ui::TF_Main& w = printWindow();
        w.showPrintItems();
        // Across the paper, as the settings start: upright, the info
        // columns leave the names no room at this font size.
        ui::PrintLandscape = 1;
        auto& s = config::AppSettings();
        s.FCTreeView = true;
        s.FCShowSize = s.FCShowDT = s.FCShowAttr = true;
        auto& st = engine::paneStores();
        const auto time = tandex::access::FZDateTimeToFileTime(QDateTime(QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc()));
        for (int pane = 1; pane <= 2; ++pane) {
            auto& store = st.FolderEntries[size_t(pane)];
            st.SetFolderEntryFile(0, 0x20, QStringLiteral("top.txt"), store, pane == 1 ? 4 : 5, time);
            st.SetFolderEntryFolder(0, 1, 0x10, store, QStringLiteral("docs"), time);
            st.SetFolderEntryFile(2, 0x20, QStringLiteral("docs/a.txt"), store, 3, time);
            if (pane == 2)
                st.SetFolderEntryFile(3, 0x20, QStringLiteral("docs/b.txt"), store, 7, time);
            else
                st.SetFolderEntryStatus(3, 2, QStringLiteral("docs/b.txt"), store);
        }
        st.FolderEntryCount = 4;
        for (int entry : {0, 1, 3}) engine::folderRows().SetFolderEntryDiffers(entry, true);
        st.FolderRoots[1] = dir.filePath(QStringLiteral("left/"));
        st.FolderRoots[2] = dir.filePath(QStringLiteral("right/"));
        st.FolderMode = 1;
        engine::folderRows().UpdateInfoColumns();
        engine::folderRows().RebuildFolderRows();
        engine::folderRows().OpenAllFolders();
        w.switchView(ui::vtFolder, false, false);
        w.updateRowRange();
        return w;
    }

    FolderRunIdle folders_;
};

TEST_F(FolderReportTest, FolderComparisonPrintsItsTreeRowsWithIcons) {
    ui::TF_Main& w = folderWindow();
    const ScreenState before = ScreenState::of(w);
    print(w, item(w, "PrintBoth1"));
    ScreenState::of(w).expectSame(before);
    ASSERT_EQ(pdfPages(pdf), 1);
    const QStringList lines = pageLines(pdf, 1);
    const QString all = lines.join(QLatin1Char('\n'));
    for (const char* name : {"top.txt", "docs", "a.txt", "b.txt"}) EXPECT_TRUE(all.contains(QLatin1String(name))) << name;
    const int top = int(lines.indexOf(QRegularExpression(QStringLiteral(".*top\\.txt.*top\\.txt.*"))));
    EXPECT_GE(top, 0) << all.toStdString();
    // Icons: coloured pixels left of the names, where text never goes.
    const QImage page = pageImage(pdf, 1, QStringLiteral("ReportPages.Folders-p1"));
    ASSERT_FALSE(page.isNull());
    int coloured = 0;
    const int x0 = int(15 * 72 / 25.4), body = int(22 * 72 / 25.4);
    for (int y = body; y < body + 60; ++y)
        for (int x = x0; x < x0 + 40; ++x) {
            const QRgb p = page.pixel(x, y);
            if (std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 60) ++coloured;
        }
    EXPECT_GT(coloured, 20);
}

TEST_F(FolderReportTest, PainterFailureShowsOneBoxEndsTheReportAndRestoresTheScreen) {
    MessageLog messages;
    ui::TF_Main& w = folderWindow();
    const ScreenState before = ScreenState::of(w);
    report_.failDrawing = true;
    print(w, item(w, "PrintBoth1"),
          [](TF_Print& p) { EXPECT_EQ(p.PrintPreview().Document().TotalPages(), 1); });
    report_.failDrawing = false;
    ScreenState::of(w).expectSame(before);
    EXPECT_TRUE(w.updatesEnabled());
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].caption, QStringLiteral(" Tandex Print preview "));
    EXPECT_EQ(messages.asked[0].text, QStringLiteral("The icon cannot be drawn"));
    EXPECT_EQ(messages.asked[0].kind, config::MsgKind::Error);
}

}  // namespace
