// The preview window on recorded pages: the paper control, zoom and
// layout, keys, wheel and mouse, and the page display.

#include "ui/print/print_preview.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <climits>

#include "config/services.h"
#include "tests/ui/widget_harness.h"
#include "ui/print/picture_routines.h"

using namespace tandex;
using namespace tandex::print;

namespace {

// Counts what the preview draws.
class CountingPreview : public TPrintPreview {
public:
    int renders = 0;
    void RenderPage(int pageNo, QPainter& canvas, const QRect& rect, bool gray) override {
        ++renders;
        TPrintPreview::RenderPage(pageNo, canvas, rect, gray);
    }
};

class CountingPaper : public TPaperPreview {
public:
    int frames = 0;

protected:
    void PaintFrame(QPainter& canvas) override {
        ++frames;
        TPaperPreview::PaintFrame(canvas);
    }
};

// Pages in the preview's units (0.01 mm), each filled with one colour,
// or with a bar at its top when no colour is given.
void recordPages(PreviewDocument& doc, int pages, QColor fill = {}) {
    doc.BeginDoc();
    for (int i = 1; i <= pages; ++i) {
        if (i > 1) doc.NewPage();
        QPainter& canvas = *doc.Canvas();
        if (fill.isValid()) {
            canvas.fillRect(doc.PageBounds(), fill);
        } else {
            canvas.fillRect(QRect(2000, 2000, 17000, 1500), QColor(30, 60, 160));
            canvas.drawText(QPointF(2000, 6000), QStringLiteral("Page %1").arg(i));
        }
    }
    doc.EndDoc();
}

class PreviewTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::setMessageSink(&messages);
        preview.resize(400, 300);
        Watch(&preview);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        WidgetTest::TearDown();
    }
    // A preview of pages at a fixed zoom, so that it scrolls both ways.
    void showPages(int pages, QColor fill = {}) {
        preview.show();
        recordPages(preview.Document(), pages, fill);
        preview.SetZoom(100);
        QApplication::processEvents();
    }
    QImage paperImage() { return preview.Paper()->grab().toImage(); }

    config::RecordingMessageSink messages;
    CountingPreview preview;
};

// ---- paper control ------------------------------------------------------

TEST_F(PreviewTest, PaperFrameArithmetic) {
    TPaperPreview paper;
    paper.SetBorderWidth(3);
    paper.SetShadowWidth(3);
    paper.SetPaperSize(QSize(200, 300));
    EXPECT_EQ(paper.size(), QSize(209, 309));
    EXPECT_EQ(paper.PageRect(), QRect(3, 3, 200, 300));
    EXPECT_EQ(paper.PaperSize(), QSize(200, 300));

    TPaperPreviewOptions options;
    QRect box, page;
    options.CalcDimensions(200, 300, box, page);
    EXPECT_EQ(box, QRect(0, 0, 205, 305));
    EXPECT_EQ(page, QRect(1, 1, 200, 300));
}

TEST_F(PreviewTest, ShadowWidthChangeKeepsPaperOrControl) {
    struct Case {
        bool preserve;
        QSize control, paper;
    } cases[] = {
        {true, QSize(202, 302), QSize(200, 300)},
        {false, QSize(205, 305), QSize(203, 303)},
    };
    for (const Case& c : cases) {
        TPaperPreview paper;
        paper.PreservePaperSize = c.preserve;
        paper.SetPaperSize(QSize(200, 300));
        ASSERT_EQ(paper.size(), QSize(205, 305));
        paper.SetShadowWidth(0);
        EXPECT_EQ(paper.size(), c.control) << c.preserve;
        EXPECT_EQ(paper.PaperSize(), c.paper) << c.preserve;
    }
}

TEST_F(PreviewTest, OneLineCaptionAddsItsHeightAndTwo) {
    TPaperPreview paper;
    QFont font = paper.font();
    for (int px = 8; px < 24 && QFontMetrics(font).height() != 13; ++px) font.setPixelSize(px);
    if (QFontMetrics(font).height() != 13) GTEST_SKIP() << "no font of text height 13 here";
    paper.setFont(font);
    paper.SetPaperSize(QSize(200, 300));
    paper.SetCaption(QStringLiteral("Page 1"));
    paper.SetShowCaption(true);
    EXPECT_EQ(paper.CaptionHeight(), 15);
    EXPECT_EQ(paper.size(), QSize(205, 320));
    EXPECT_EQ(paper.PaperSize(), QSize(200, 300));
}

TEST_F(PreviewTest, InvalidateRepaintsThePageFromTheBufferedFrame) {
    CountingPaper paper;
    int pagePaints = 0;
    paper.OnPaint = [&](TPaperPreview*, QPainter&, const QRect&) { ++pagePaints; };
    paper.SetPaperSize(QSize(200, 300));
    paper.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&paper));
    paper.repaint();
    ASSERT_GE(paper.frames, 1);
    paper.frames = pagePaints = 0;
    paper.Invalidate();
    paper.repaint();
    QApplication::processEvents();
    EXPECT_EQ(pagePaints, 1);
    EXPECT_EQ(paper.frames, 0);
}

// ---- zoom and layout ----------------------------------------------------

TEST_F(PreviewTest, A4AtZoom100IsItsScreenSize) {
    preview.Document().SetUnits(mmLoMetric);
    showPages(1);
    EXPECT_EQ(preview.Document().PageScreenSize(), QSize(794, 1123));
    EXPECT_EQ(preview.Paper()->PaperSize(), QSize(794, 1123));
    EXPECT_TRUE(preview.Paper()->isVisible());
}

TEST_F(PreviewTest, ZoomLimitsRefuseNonsense) {
    preview.SetZoomMin(10);
    preview.SetZoom(5);
    EXPECT_EQ(preview.Zoom(), 10);
    preview.SetZoomMin(0);
    EXPECT_EQ(preview.ZoomMin(), 10);
    preview.SetZoomMin(preview.ZoomMax() + 1);
    EXPECT_EQ(preview.ZoomMin(), 10);
    preview.SetZoomMax(5);
    EXPECT_EQ(preview.ZoomMax(), 1000);
    preview.SetZoom(5000);
    EXPECT_EQ(preview.Zoom(), 1000);
}

TEST_F(PreviewTest, ZoomToItsOwnValueLeavesTheFitOnce) {
    preview.show();
    recordPages(preview.Document(), 1);
    ASSERT_EQ(preview.ZoomState(), zsZoomToFit);
    int fired = 0;
    preview.OnZoomChange = [&] { ++fired; };
    preview.SetZoom(preview.Zoom());
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(preview.ZoomState(), zsZoomOther);
}

TEST_F(PreviewTest, FitStatesOnWideAndTallWindows) {
    struct Case {
        TZoomState state;
        QSize window;
        bool widthDecides;
    } cases[] = {
        {zsZoomToFit, QSize(600, 300), false},  {zsZoomToFit, QSize(300, 600), true},
        {zsZoomToWidth, QSize(600, 300), true}, {zsZoomToWidth, QSize(300, 600), true},
        {zsZoomToHeight, QSize(600, 300), false}, {zsZoomToHeight, QSize(300, 600), false},
    };
    showPages(1);
    const QSize page = preview.Document().PageScreenSize();
    for (const Case& c : cases) {
        preview.SetZoom(100);
        preview.resize(c.window);
        preview.SetZoomState(c.state);
        QApplication::processEvents();
        const QSize room = preview.viewport()->size();
        const TPaperPreview& paper = *preview.Paper();
        if (c.widthDecides) EXPECT_EQ(paper.width(), room.width()) << c.state << " " << c.window.width();
        else EXPECT_EQ(paper.height(), room.height()) << c.state << " " << c.window.width();
        EXPECT_EQ(preview.Zoom(), qRound(paper.PaperHeight() * 100.0 / page.height()));
        // Fitted into the window, the paper needs no scroll bar.
        if (c.state == zsZoomToFit) {
            EXPECT_FALSE(preview.CanScrollHorz() || preview.CanScrollVert());
        }
    }
}

TEST_F(PreviewTest, ZoomToRectShowsWhatGetVisiblePageRectReports) {
    showPages(1);
    const QRect wanted(200, 300, 300, 200);
    preview.ZoomToRect(wanted);
    EXPECT_EQ(preview.ZoomState(), zsZoomOther);
    const QRect shown = preview.GetVisiblePageRect();
    // Whole pixels at the zoom may shift the corner by a pixel or two.
    EXPECT_NEAR(shown.left(), wanted.left(), 2);
    EXPECT_NEAR(shown.top(), wanted.top(), 2);
    EXPECT_GE(shown.width(), wanted.width() - 2);
    EXPECT_GE(shown.height(), wanted.height() - 2);
    // The zoom fits the paper control, frame included, so the deciding
    // extent shows that frame's few pixels more.
    const int slack = 2 + (2 * preview.Paper()->BorderWidth() + preview.Paper()->ShadowWidth());
    EXPECT_TRUE(qAbs(shown.width() - wanted.width()) <= slack || qAbs(shown.height() - wanted.height()) <= slack)
        << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height() << " zoom " << preview.Zoom();
}

TEST_F(PreviewTest, AControlThatRefusesItsSizeEndsTheLayout) {
    showPages(1);
    // The control keeps this size, whatever the zoom asks: without a
    // bound on the restarts the layout would never end.
    preview.Paper()->setFixedSize(300, 300);
    preview.SetZoom(200);
    EXPECT_EQ(preview.Paper()->size(), QSize(300, 300));
    // The smaller of 300 / 794 and 300 / 1123, in whole steps of 10 %.
    EXPECT_EQ(preview.Zoom(), 20);
}

// ---- input --------------------------------------------------------------

TEST_F(PreviewTest, WheelActsPerNotch) {
    struct Case {
        const char* name;
        std::vector<int> deltas;
        Qt::KeyboardModifiers mods;
        bool outside;
        int startPage;
        int zoom, page, scrolled;  // after the deltas
    } cases[] = {
        {"halves", {-60, -60}, Qt::NoModifier, false, 1, 100, 1, 5 * 8},
        {"three notches", {-360}, Qt::NoModifier, false, 1, 100, 1, 15 * 8},
        {"ctrl toward user", {-120}, Qt::ControlModifier, false, 1, 90, 1, 0},
        {"ctrl away", {120}, Qt::ControlModifier, false, 1, 110, 1, 0},
        {"shift toward user", {-120}, Qt::ShiftModifier, false, 1, 100, 2, 0},
        {"shift on the last page", {-120}, Qt::ShiftModifier, false, 3, 100, 3, 0},
        {"shift away", {120}, Qt::ShiftModifier, false, 2, 100, 1, 0},
        {"outside", {-120}, Qt::ControlModifier, true, 1, 100, 1, 0},
        {"another key", {-120}, Qt::AltModifier, false, 1, 100, 1, 0},
    };
    showPages(3);
    QWidget host;
    preview.HostWindowHandle = &host;
    for (const Case& c : cases) {
        preview.SetZoom(100);
        preview.Document().SetCurrentPage(c.startPage);
        preview.verticalScrollBar()->setValue(0);
        // The wheel reaches the window through its viewport, as from the
        // paper below the mouse.
        QWidget& viewport = *preview.viewport();
        const QPoint local = c.outside ? QPoint(-20, -20) : viewport.rect().center();
        bool accepted = false;
        for (int delta : c.deltas) {
            QWheelEvent event(QPointF(local), QPointF(viewport.mapToGlobal(local)), QPoint(), QPoint(0, delta),
                              Qt::NoButton, c.mods, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&viewport, &event);
            accepted = event.isAccepted();
        }
        EXPECT_EQ(preview.Zoom(), c.zoom) << c.name;
        EXPECT_EQ(preview.Document().CurrentPage(), c.page) << c.name;
        EXPECT_EQ(preview.verticalScrollBar()->value(), c.scrolled) << c.name;
        EXPECT_EQ(accepted, !c.outside && c.mods != Qt::AltModifier) << c.name;
        EXPECT_TRUE(host.updatesEnabled()) << c.name;
    }
}

TEST_F(PreviewTest, KeysScrollZoomAndTurnPages) {
    // A zoom keeps the relative position, not the thumb.
    constexpr int kAnyMove = INT_MIN;
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        int startPage;
        int zoom, page, hbar;  // hbar: change of the horizontal thumb
    } cases[] = {
        {"page down on the last page", Qt::Key_PageDown, Qt::NoModifier, 3, 100, 3, 0},
        {"page up on page 1", Qt::Key_PageUp, Qt::NoModifier, 1, 100, 1, 0},
        {"page down", Qt::Key_PageDown, Qt::NoModifier, 1, 100, 2, 0},
        {"ctrl page down", Qt::Key_PageDown, Qt::ControlModifier, 1, 100, 3, 0},
        {"ctrl shift page down is no key of the table", Qt::Key_PageDown, Qt::ControlModifier | Qt::ShiftModifier,
         1, 100, 1, 0},
        {"ctrl page up", Qt::Key_PageUp, Qt::ControlModifier, 3, 100, 1, 0},
        {"numeric-pad plus", Qt::Key_Plus, Qt::KeypadModifier, 1, 110, 1, kAnyMove},
        {"numeric-pad minus", Qt::Key_Minus, Qt::KeypadModifier, 1, 90, 1, kAnyMove},
        {"plus of the main keys", Qt::Key_Plus, Qt::NoModifier, 1, 100, 1, 0},
        {"shift left", Qt::Key_Left, Qt::ShiftModifier, 1, 100, 1, -1},
        {"shift right", Qt::Key_Right, Qt::ShiftModifier, 1, 100, 1, 1},
        {"left", Qt::Key_Left, Qt::NoModifier, 1, 100, 1, -8},
    };
    showPages(3);
    for (const Case& c : cases) {
        preview.SetZoom(100);
        preview.Document().SetCurrentPage(c.startPage);
        QScrollBar& hbar = *preview.horizontalScrollBar();
        hbar.setValue(50);
        QKeyEvent event(QEvent::KeyPress, c.key, c.mods);
        QApplication::sendEvent(&preview, &event);
        EXPECT_EQ(preview.Zoom(), c.zoom) << c.name;
        EXPECT_EQ(preview.Document().CurrentPage(), c.page) << c.name;
        if (c.hbar != kAnyMove) {
            EXPECT_EQ(hbar.value() - 50, c.hbar) << c.name;
        }
    }
}

TEST_F(PreviewTest, DraggingThePaperMovesTheScrollBars) {
    showPages(1);
    TPaperPreview& paper = *preview.Paper();
    QScrollBar& hbar = *preview.horizontalScrollBar();
    QScrollBar& vbar = *preview.verticalScrollBar();
    hbar.setValue(0);
    vbar.setValue(0);
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), QPointF(paper.mapToGlobal(at)), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&paper, &event);
    };
    const QPoint start(150, 150);
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, start - QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(hbar.value(), 30);
    EXPECT_EQ(vbar.value(), 20);
    send(QEvent::MouseButtonRelease, start - QPoint(30, 20), Qt::NoButton);
    EXPECT_EQ(paper.cursor().shape(), preview.PaperView().DragCursor().shape());
}

// ---- display ------------------------------------------------------------

TEST_F(PreviewTest, AMalformedPageIsReportedOnce) {
    const QColor red(255, 0, 0);
    preview.OnAnnotation = [&](TPrintPreview*, int, QPainter& canvas) {
        canvas.fillRect(QRect(0, 0, 21000, 29700), red);
    };
    showPages(2);
    preview.SetAnnotation(true);
    preview.Paper()->repaint();
    const QPoint onPage = preview.Paper()->PageRect().topLeft() + QPoint(30, 30);
    const auto shownColour = [&] {
        const QPoint at = preview.Paper()->mapTo(preview.viewport(), onPage);
        return preview.viewport()->grab().toImage().pixelColor(at);
    };
    ASSERT_EQ(shownColour(), red);
    ASSERT_EQ(PreviewDrawError, 0);

    preview.Document().Store().SetMetafile(1, QByteArray("not a page at all"));
    preview.Document().SetCurrentPage(2);
    preview.Paper()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(PreviewDrawError, 3);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].caption, QStringLiteral(" Tandex Print preview "));
    EXPECT_EQ(messages.messages()[0].kind, config::MsgKind::Error);
    EXPECT_FALSE(messages.messages()[0].text.isEmpty());

    preview.Paper()->Invalidate();
    preview.Paper()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(shownColour(), red);
}

TEST_F(PreviewTest, GrayPreviewFollowsTheGrayFormula) {
    const QColor colour(200, 40, 90);
    showPages(1, colour);
    preview.SetGrayscale(gsPreview);
    preview.Paper()->repaint();
    QImage expected(1, 1, QImage::Format_ARGB32);
    expected.fill(colour);
    MakeBitmapGray(expected, 0, 0);
    const int gray = qGray(expected.pixel(0, 0));
    EXPECT_EQ(gray, (200 * 30 + 40 * 59 + 90 * 11) / 100);
    const QImage shown = paperImage();
    const QPoint middle = preview.Paper()->PageRect().center();
    EXPECT_EQ(shown.pixelColor(middle), QColor(gray, gray, gray));
}

TEST_F(PreviewTest, GrayBrightnessRepaintsOnlyWhenItChanges) {
    showPages(1);
    preview.SetGrayscale(gsPreview);
    preview.Paper()->repaint();
    QApplication::processEvents();
    struct Case {
        int value, renders;
    } cases[] = {{0, 0}, {10, 1}, {10, 0}, {500, 1}, {100, 0}};
    for (const Case& c : cases) {
        preview.renders = 0;
        preview.SetGrayBrightness(c.value);
        QApplication::processEvents();
        preview.Paper()->repaint();
        EXPECT_EQ(preview.renders, c.renders) << c.value;
    }
}

TEST_F(PreviewTest, A4PageOnItsPaperGrabbed) {
    preview.resize(500, 600);
    preview.show();
    recordPages(preview.Document(), 2);
    preview.SetShowPrintableArea(true);
    QApplication::processEvents();
    const QImage shown = preview.viewport()->grab().toImage();
    EXPECT_FALSE(tandex::testing::GrabToPng(&preview, QStringLiteral("PrintPreview.A4PageOnItsPaper")).isEmpty());
    // Page, border and shadow along a line through the paper's middle.
    const TPaperPreview& paper = *preview.Paper();
    const int y = paper.y() + paper.height() / 2;
    const int right = paper.x() + paper.width() - 1;
    EXPECT_EQ(shown.pixel(paper.x() + paper.width() / 2, y), QColor(Qt::white).rgb());
    EXPECT_EQ(shown.pixel(paper.x(), y), QColor(Qt::black).rgb());
    EXPECT_EQ(shown.pixel(right, y), QApplication::palette().color(QPalette::Dark).rgb());
    // Without a printer the printable-area frame is dotted along the page's
    // edges: masked onto white paper it takes the frame's colour.
    const auto dots = [&](int x) {
        int n = 0;
        for (int row = y; row < y + 20; ++row) n += shown.pixel(x, row) == preview.PrintableAreaColor().rgb();
        return n;
    };
    const QRect page = paper.PageRect().translated(paper.pos());
    EXPECT_GE(dots(page.left()), 5);
    EXPECT_EQ(dots(page.left() + 1), 0);
}

}  // namespace
