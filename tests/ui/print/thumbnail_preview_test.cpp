// The page list beside the preview, on recorded pages numbered in large
// text: sizes, selection, deletion and printing, the current page, the
// marker, reordering, gray display, the picture cache and unlinking.

#include "ui/print/thumbnail_preview.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QToolTip>

#include "tests/ui/widget_harness.h"

using namespace tandex;
using namespace tandex::print;

namespace {

class CountingPreview : public TPrintPreview {
public:
    int renders = 0;
    void RenderPage(int pageNo, QPainter& canvas, const QRect& rect, bool gray) override {
        ++renders;
        TPrintPreview::RenderPage(pageNo, canvas, rect, gray);
    }
};

// Prints to a PDF of its own and notes the drags it was asked to run.
class TestThumbnails : public TThumbnailPreview {
public:
    // The application passes no drop events that no drag brought.
    using TThumbnailPreview::dragMoveEvent;
    using TThumbnailPreview::dropEvent;
    QList<int> printed;
    QString pdfPath;
    std::vector<int> drags;

protected:
    void PrintPageList(TPrintPreview& preview, const QList<int>& pages) override {
        printed = pages;
        QPdfWriter writer(pdfPath);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter canvas(&writer);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (i > 0) writer.newPage();
            preview.RenderPage(pages[i], canvas, QRect(0, 0, writer.width(), writer.height()), false);
        }
    }
    void StartPageDrag(int pageNo, const QPixmap&, const QPoint&) override { drags.push_back(pageNo); }
};

// A4 pages in 0.1 mm, a red band along the top and the number in the middle.
void recordPages(PreviewDocument& doc, int pages) {
    doc.SetUnits(mmLoMetric);
    doc.BeginDoc();
    for (int i = 1; i <= pages; ++i) {
        if (i > 1) doc.NewPage();
        QPainter& canvas = *doc.Canvas();
        canvas.fillRect(QRect(0, 0, doc.PaperWidth(), doc.PaperHeight() / 4), QColor(220, 30, 30));
        QFont font = canvas.font();
        font.setPointSize(200);
        canvas.setFont(font);
        canvas.setPen(Qt::black);
        canvas.drawText(doc.PageBounds(), Qt::AlignCenter, QString::number(i));
    }
    doc.EndDoc();
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses at from, moves to to and releases there.
void dragMouse(QWidget* target, QPoint from, QPoint to) {
    sendMouse(target, QEvent::MouseMove, from, Qt::NoButton);
    sendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, to, Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

class ThumbnailTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        auto* layout = new QHBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        thumbnails.setFixedWidth(220);
        layout->addWidget(&thumbnails);
        layout->addWidget(&preview);
        host.resize(700, 500);
        Watch(&host);
    }
    void TearDown() override {
        PreviewDrawError = 0;
        WidgetTest::TearDown();
    }
    void showPages(int pages) {
        host.show();
        recordPages(preview.Document(), pages);
        for (int i = 1; i <= pages; ++i) recorded.append(preview.Document().Pages(i));
        thumbnails.SetPrintPreview(&preview);
        QApplication::processEvents();
    }
    // Each page by the number it had when recorded (0 for none of them).
    QList<int> pageOrder() {
        QList<int> order;
        for (int i = 1; i <= preview.Document().TotalPages(); ++i)
            order.append(int(recorded.indexOf(preview.Document().Pages(i))) + 1);
        return order;
    }
    QPoint itemCentre(int index) { return thumbnails.ThumbnailRectOf(index).center(); }
    QImage shownList() {
        thumbnails.viewport()->repaint();
        return thumbnails.viewport()->grab().toImage();
    }

    QWidget host;
    QList<QByteArray> recorded;
    // Declared after the host so that they die before it.
    CountingPreview preview;
    TestThumbnails thumbnails;
};

TEST_F(ThumbnailTest, ZoomIgnoresNonPositiveValuesAndSizesA4Thumbnails) {
    showPages(10);
    thumbnails.SetZoom(0);
    thumbnails.SetZoom(-5);
    EXPECT_EQ(thumbnails.Zoom(), 10);
    EXPECT_EQ(preview.Document().PageScreenSize(), QSize(794, 1123));
    EXPECT_EQ(thumbnails.ThumbnailPageRect().size(), QSize(79, 112));
    EXPECT_EQ(thumbnails.ThumbnailBoxRect().size(), QSize(84, 117));
    EXPECT_EQ(thumbnails.ThumbnailRectOf(0).size(), QSize(84, 117));
}

TEST_F(ThumbnailTest, SelectedPagesArePrintedAndDeletedHighestFirst) {
    showPages(10);
    thumbnails.setSelectionMode(QAbstractItemView::ExtendedSelection);
    thumbnails.selectionModel()->clearSelection();
    for (int row : {6, 1, 4})
        thumbnails.selectionModel()->select(thumbnails.model()->index(row, 0), QItemSelectionModel::Select);
    QList<int> selected;
    thumbnails.GetSelectedPages(selected);
    EXPECT_EQ(selected, QList<int>({2, 5, 7}));

    QTemporaryDir dir;
    thumbnails.pdfPath = dir.filePath(QStringLiteral("selected.pdf"));
    thumbnails.PrintSelected();
    EXPECT_EQ(thumbnails.printed, QList<int>({2, 5, 7}));
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {thumbnails.pdfPath});
    ASSERT_TRUE(pdfinfo.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(pdfinfo.readAllStandardOutput()).contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))));

    // Deleting 2 first would have taken pages 6 and 9 after it.
    thumbnails.DeleteSelected();
    EXPECT_EQ(pageOrder(), QList<int>({1, 3, 4, 6, 8, 9, 10}));
    EXPECT_EQ(thumbnails.model()->rowCount(), 7);
}

TEST_F(ThumbnailTest, CurrentPageFollowsTheListBothWays) {
    thumbnails.setFixedHeight(200);
    showPages(10);
    EXPECT_EQ(thumbnails.model()->index(3, 0).data().toString(), QStringLiteral("4"));
    thumbnails.SetItemIndex(3);
    EXPECT_EQ(preview.Document().CurrentPage(), 4);

    preview.Document().SetCurrentPage(6);
    QApplication::processEvents();
    EXPECT_EQ(thumbnails.ItemIndex(), 5);
    EXPECT_EQ(thumbnails.CurrentIndex(), 5);
    EXPECT_TRUE(thumbnails.viewport()->rect().contains(thumbnails.visualRect(thumbnails.model()->index(5, 0))));
}

TEST_F(ThumbnailTest, DraggingTheMarkerScrollsThePreviewByBothZooms) {
    showPages(3);
    preview.SetZoom(100);
    QApplication::processEvents();
    ASSERT_TRUE(preview.CanScrollHorz() && preview.CanScrollVert());
    shownList();
    const QRect marker = thumbnails.VisibleBoxRect().translated(thumbnails.ThumbnailRectOf(0).topLeft());
    ASSERT_FALSE(marker.isEmpty());
    dragMouse(thumbnails.viewport(), marker.center(), marker.center() + QPoint(3, 4));
    EXPECT_EQ(preview.horizontalScrollBar()->value(), 30);
    EXPECT_EQ(preview.verticalScrollBar()->value(), 40);
}

TEST_F(ThumbnailTest, CornerDragZoomsThePreviewToTheBox) {
    showPages(3);
    preview.SetZoom(200);
    QApplication::processEvents();
    shownList();
    const QPoint origin = thumbnails.ThumbnailRectOf(0).topLeft();
    const QPoint corner = thumbnails.VisibleBoxRect().bottomRight() + origin;
    dragMouse(thumbnails.viewport(), corner, corner + QPoint(25, 40));
    EXPECT_LT(preview.Zoom(), 200);
    // The box started at the page's corner: so does the preview's view.
    EXPECT_LE(preview.GetVisiblePageRect().left(), 10);
    EXPECT_LE(preview.GetVisiblePageRect().top(), 10);
}

TEST_F(ThumbnailTest, ResizedMarkerStaysAtLeastEightPixels) {
    showPages(3);
    preview.SetZoom(300);
    QApplication::processEvents();
    shownList();
    const QPoint origin = thumbnails.ThumbnailRectOf(0).topLeft();
    const QPoint corner = thumbnails.VisibleBoxRect().bottomRight() + origin;
    QWidget* view = thumbnails.viewport();
    sendMouse(view, QEvent::MouseMove, corner, Qt::NoButton);
    sendMouse(view, QEvent::MouseButtonPress, corner, Qt::LeftButton);
    sendMouse(view, QEvent::MouseMove, corner - QPoint(100, 100), Qt::LeftButton);
    EXPECT_EQ(thumbnails.MarkerRect().size(), QSize(8, 8));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeFDiagCursor);
    sendMouse(view, QEvent::MouseButtonRelease, corner - QPoint(100, 100), Qt::NoButton);
}

TEST_F(ThumbnailTest, ReorderingByDragAndDrop) {
    showPages(10);
    QWidget* view = thumbnails.viewport();
    struct Case {
        bool allow;
        std::vector<int> drags;
    } cases[] = {{false, {}}, {true, {2}}};
    for (const Case& c : cases) {
        thumbnails.drags.clear();
        thumbnails.AllowReorder = c.allow;
        dragMouse(view, itemCentre(1), itemCentre(1) + QPoint(30, 0));
        EXPECT_EQ(thumbnails.drags, c.drags) << c.allow;
    }

    const QList<int> before = pageOrder();
    const auto drop = [&](QPoint at) {
        std::unique_ptr<QMimeData> data(thumbnails.CreateDragData(2));
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        thumbnails.dragMoveEvent(&move);
        QDropEvent dropped(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        thumbnails.dropEvent(&dropped);
    };
    thumbnails.SetItemIndex(1);
    // Space beside the last row holds no page.
    thumbnails.scrollToBottom();
    QApplication::processEvents();
    const QPoint empty(view->width() - 5, view->height() - 5);
    ASSERT_EQ(thumbnails.PageAt(empty.x(), empty.y()), 0);
    drop(empty);
    EXPECT_EQ(pageOrder(), before);

    thumbnails.scrollToTop();
    QApplication::processEvents();
    drop(itemCentre(4));
    EXPECT_EQ(pageOrder(), QList<int>({1, 3, 4, 5, 2, 6, 7, 8, 9, 10}));
}

TEST_F(ThumbnailTest, GrayFollowsThePreviewUnlessNever) {
    showPages(2);
    const auto bandPixel = [&] {
        const QRect page = thumbnails.ThumbnailPageRect().translated(thumbnails.ThumbnailRectOf(1).topLeft());
        return shownList().pixelColor(page.center().x(), page.top() + 5);
    };
    const auto isGray = [](QColor c) { return c.red() == c.green() && c.green() == c.blue(); };
    ASSERT_FALSE(isGray(bandPixel()));
    struct Case {
        TThumbnailGrayscale mode;
        int previewGray;
        bool gray;
    } cases[] = {
        {tgsPreview, gsPreview, true}, {tgsPreview, 0, false}, {tgsNever, gsPreview, false}, {tgsAlways, 0, true}};
    for (const Case& c : cases) {
        thumbnails.SetGrayscale(c.mode);
        preview.SetGrayscale(c.previewGray);
        EXPECT_EQ(thumbnails.DrawsGray(), c.gray) << c.mode << " " << c.previewGray;
        EXPECT_EQ(isGray(bandPixel()), c.gray) << c.mode << " " << c.previewGray;
    }

    thumbnails.SetGrayscale(tgsNever);
    PreviewDrawError = 3;
    const QColor background = thumbnails.viewport()->palette().color(QPalette::Base);
    EXPECT_EQ(bandPixel(), background);
}

TEST_F(ThumbnailTest, CacheStaysBoundedWhileScrollingAndDropsOnPaperChange) {
    showPages(500);
    QScrollBar* bar = thumbnails.verticalScrollBar();
    const int bound = thumbnails.ThumbnailCacheBound();
    EXPECT_LT(bound, 100);
    int most = 0;
    for (int at = 0; at <= bar->maximum(); at += bar->pageStep()) {
        bar->setValue(at);
        thumbnails.viewport()->repaint();
        most = qMax(most, thumbnails.CachedThumbnails());
    }
    EXPECT_LE(most, bound);
    EXPECT_GT(most, 0);

    // A paint of the same screen plays no page again; a new paper colour
    // plays them all.
    thumbnails.viewport()->repaint();
    preview.renders = 0;
    thumbnails.viewport()->repaint();
    EXPECT_EQ(preview.renders, 0);
    thumbnails.PaperView().SetPaperColor(QColor(250, 250, 200));
    thumbnails.viewport()->repaint();
    EXPECT_GT(preview.renders, 0);
}

TEST_F(ThumbnailTest, UnlinkedOrFreedPreviewLeavesAPlainList) {
    showPages(3);
    thumbnails.SetPrintPreview(nullptr);
    EXPECT_EQ(thumbnails.model()->rowCount(), 0);
    EXPECT_EQ(thumbnails.CurrentIndex(), -1);
    auto* plain = qobject_cast<QStandardItemModel*>(thumbnails.model());
    ASSERT_NE(plain, nullptr);
    plain->appendRow(new QStandardItem(QStringLiteral("a")));
    plain->appendRow(new QStandardItem(QStringLiteral("b")));
    thumbnails.SetItemIndex(0);
    thumbnails.DeleteSelected();
    ASSERT_EQ(plain->rowCount(), 1);
    EXPECT_EQ(plain->item(0)->text(), QStringLiteral("b"));
    EXPECT_EQ(preview.Document().TotalPages(), 3);
    plain->clear();

    auto other = std::make_unique<TPrintPreview>();
    recordPages(other->Document(), 4);
    thumbnails.SetPrintPreview(other.get());
    EXPECT_EQ(thumbnails.model()->rowCount(), 4);
    other.reset();
    EXPECT_EQ(thumbnails.PrintPreview(), nullptr);
    EXPECT_EQ(thumbnails.model()->rowCount(), 0);
    EXPECT_EQ(thumbnails.CurrentIndex(), -1);
}

TEST_F(ThumbnailTest, HintsAndThemeOfTheList) {
    showPages(3);
    thumbnails.PaperView().SetHint(QStringLiteral("Page"));
    thumbnails.OnPageInfoTip = [](TThumbnailPreview*, int pageNo, QString& tip) { tip += QString::number(pageNo); };
    const QPoint at = itemCentre(1);
    QHelpEvent help(QEvent::ToolTip, at, thumbnails.viewport()->mapToGlobal(at));
    QApplication::sendEvent(thumbnails.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Page2"));
    QToolTip::hideText();

    thumbnails.SetDisableTheme(true);
    EXPECT_EQ(thumbnails.style()->name().toLower(), QStringLiteral("fusion"));
    thumbnails.SetDisableTheme(false);
    EXPECT_EQ(thumbnails.style(), QApplication::style());
}

TEST_F(ThumbnailTest, PreviewWithThumbnailsGrabbed) {
    showPages(10);
    preview.SetZoom(100);
    preview.Document().SetCurrentPage(3);
    preview.horizontalScrollBar()->setValue(200);
    preview.verticalScrollBar()->setValue(150);
    QApplication::processEvents();
    EXPECT_FALSE(tandex::testing::GrabToPng(&host, QStringLiteral("ThumbnailPreview.PagesWithMarker")).isEmpty());
}

}  // namespace
