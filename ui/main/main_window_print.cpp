// Printing a comparison: the report window calls renderPrintPage once per
// page, and the same row painter that draws the screen draws the page with
// the page's geometry and the print font. The print commands start a
// report through the installed report window.

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPaintDevice>
#include <QPainter>

#include <climits>
#include <exception>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "flat_button.h"
#include "image_compare_wnd.h"
#include "image_pane.h"
#include "main_window.h"
#include "print_seams.h"
#include "row_paint.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

const char* const kPrintItems[] = {"PrintBoth1", "PrintLeft1", "PrintRight1"};

// A picture's size shrunk, keeping its proportions, to fit width by height.
QSize fitted(QSize natural, int width, int height) {
    if (natural.width() <= 0 || natural.height() <= 0) return {};
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (natural.width() <= width && natural.height() <= height) return natural;
    return natural.scaled(width, height, Qt::KeepAspectRatio);
}

}  // namespace

void TF_Main::createPrintCommands() {
    for (const char* name : kPrintItems)
        if (auto* item = findChild<QAction*>(QLatin1String(name)))
            connect(item, &QAction::triggered, this, [this, item] { mPrintClick(item); });
    connect(pmPrintSelection, &QAction::triggered, this, [this] { mPrintClick(pmPrintSelection); });
    if (auto* file = findChild<QMenu*>(QStringLiteral("File1")))
        connect(file, &QMenu::aboutToShow, this, [this] { showPrintItems(); });
}

void TF_Main::showPrintItems() {
    const bool shown = report().CanPrint();
    for (const char* name : kPrintItems) {
        if (auto* item = findChild<QAction*>(QLatin1String(name))) {
            item->setProperty("Built", shown);
            item->setVisible(shown);
        }
    }
    pmPrintSelection->setProperty("Built", shown);
    pmPrintSelection->setVisible(shown);
}

int TF_Main::rowAscent() const { return printing_ ? printAscent_ : QFontMetrics(paneFont_).ascent(); }

// ---- the page callback ----------------------------------------------------------

int TF_Main::renderPrintPage(QPainter& canvas, const TPrintArea& area, int position, int paneMode,
                             quint8 selectionOnly) {
    int result = INT_MAX;
    try {
        if (!printing_) {
            LockWindowRedraw(this);
            // The swap re-lays the window out with the screen's values: it
            // goes first, and what it leaves is what the report restores.
            const bool swap = paneMode == 1 && viewType_ != vtImage;
            if (swap) mmSwapFiles1Click(nullptr);
            printSaved_ = {geometry_, lineHeight_, charWidth_, singlePaneView_, swap};
            printing_ = true;
            printPaneMode_ = paneMode;
            printSelectionOnly_ = selectionOnly != 0;

            const QFont font = canvas.font();
            const QFontMetrics fm = canvas.fontMetrics();
            const int dpiY = canvas.device() ? canvas.device()->logicalDpiY() : 96;
            // The em height, not ascent plus descent.
            const int em = font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * dpiY / 72.0);
            lineHeight_ = 2 + em;
            charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char(' ')));
            printCells_.SetPageFont(font, charWidth_, canvas.device());
            printAscent_ = fm.ascent();
            if (viewType_ != vtImage && paneMode < 2) singlePaneView_ = true;

            const auto& s = config::AppSettings();
            TPrintLayoutInput in;
            in.pageLeft = area.Left;
            in.pageTop = area.Top;
            in.pageRight = area.Right;
            in.pageBottom = area.Bottom;
            in.viewType = viewType_;
            in.singlePaneView = singlePaneView_;
            in.lineNumbers = s.GSLineNr;
            in.lineNumberTextWidth =
                fm.horizontalAdvance(QString(std::max(engine::rows().LineNumberWidth, 1), QLatin1Char('8')));
            in.charWidth = charWidth_;
            in.fcTreeView = s.FCTreeView;
            in.fcShowSize = s.FCShowSize;
            in.fcShowDT = s.FCShowDT;
            in.fcShowAttr = s.FCShowAttr;
            in.hexBytes = s.BCHEXBytes;
            geometry_ = layoutPrintColumns(in);
        }
        if (viewType_ == vtImage) {
            printImagePage(area, paneMode);
        } else {
            int row = std::max(position, 0);
            int y = geometry_.paneTop;
            OnPaintNew(canvas, row, y);
            result = report().Aborted() ? INT_MAX : row;
        }
    } catch (const std::exception& e) {
        // Before the page's values were in place only the redraw is off.
        if (!printing_) UnlockWindowRedraw(this, RDW_INVALIDATE | RDW_ALLCHILDREN);
        config::showMessage(QStringLiteral(" Tandex Print preview "), QString::fromUtf8(e.what()),
                            config::MsgKind::Error);
        result = INT_MAX;
    }
    if (result >= engine::paneStores().VisibleRowCount()) endPrintReport();
    return result;
}

void TF_Main::printImagePage(const TPrintArea& area, int paneMode) {
    ReportServices& rep = report();
    const TLayoutGeometry& g = geometry_;
    const auto& e = g.columnEdges;
    auto draw = [&](const TImagePane* pane, const QImage& picture, int left, int width, bool centre) {
        if (picture.isNull()) return;
        const int offset = pane ? rep.ScreenToUnits(0, pane->y()).y() : 0;
        const int top = std::max(g.paneTop + offset, area.Top);
        const QPoint natural = rep.ScreenToUnits(picture.width(), picture.height());
        const QSize size = fitted(QSize(natural.x(), natural.y()), width, g.paneBottom - top);
        if (size.isEmpty()) return;
        const int x = centre ? left + (width - size.width()) / 2 : left;
        rep.DrawGraphicFit(QRect(QPoint(x, top), size), picture, true, false, false);
    };
    if (paneMode == 3) {
        if (imgCompare_) {
            const QImage& result = imgCompare_->imgResult->picture();
            draw(nullptr, result.isNull() ? imgCompare_->Result() : result, area.Left, area.Right - area.Left, true);
        }
        return;
    }
    if (paneMode == 0 || paneMode == 2) draw(imgFile1, imgFile1->picture(), e[1], e[5] - e[1], false);
    if ((paneMode == 1 || paneMode == 2) && !singlePaneView_) {
        if (paneMode == 2)
            draw(imgFile2, imgFile2->picture(), e[7], e[11] - e[7], false);
        else
            draw(imgFile2, imgFile2->picture(), e[1], e[5] - e[1], false);
    }
}

void TF_Main::endPrintReport() {
    if (!printing_) return;
    printing_ = false;
    printSelectionOnly_ = false;
    geometry_ = printSaved_.geometry;
    lineHeight_ = printSaved_.lineHeight;
    charWidth_ = printSaved_.charWidth;
    singlePaneView_ = printSaved_.singlePaneView;
    if (printSaved_.swapped) mmSwapFiles1Click(nullptr);
    printSaved_.swapped = false;
    UnlockWindowRedraw(this, RDW_INVALIDATE | RDW_ALLCHILDREN);
    refreshLayout();
}

// ---- the commands -----------------------------------------------------------------

void TF_Main::pmPrintImageClick(QObject* sender) {
    printPaneMode_ = 3;
    mPrintClick(sender);
}

void TF_Main::mPrintClick(QObject* sender) {
    ReportServices& rep = report();
    if (!rep.CanPrint() || printing_) {
        printPaneMode_ = 0;
        return;
    }
    const auto& s = config::AppSettings();
    rep.CreateReportWindow(this, QRect(s.APL, s.APT, s.APW, s.APH));
    rep.SetRenderPage([this](QPainter& canvas, const TPrintArea& area, int position, int mode, quint8 selection) {
        return renderPrintPage(canvas, area, position, mode, selection);
    });
    rep.SetReportEnded([this] { endPrintReport(); });
    if (printSettingsChanged) PrintLandscape = s.PRLandscape ? 1 : 0;
    rep.SetThumbnailColor(ToQColor(paintColor(config::CurrentColorSet(), config::TNBarBgCol)));
    rep.SetupPage(PrintLandscape != 0);
    printSelectionOnly_ = false;
    printSettingsChanged = false;
    const int rows = engine::paneStores().VisibleRowCount();

    if (printPaneMode_ == 3) {
        QString status = imgCompare_ ? imgCompare_->lStatus->text() : QString();
        const qsizetype cut = status.indexOf(QLatin1String("- ["));
        if (cut >= 0) status.remove(0, cut + 3);
        rep.SetFooterText(status);
        rep.RenderReport(QStringLiteral("Diff image of: ") + eFN1->text(), QStringLiteral("and: ") + eFN2->text(),
                         rows, 3, 0);
        printPaneMode_ = 0;
    } else {
        rep.SetFooterText(QString());
        printPaneMode_ = 2;
        const QString name = sender ? sender->objectName() : QString();
        if (name == QLatin1String("PrintLeft1")) printPaneMode_ = 0;
        if (name == QLatin1String("PrintRight1")) printPaneMode_ = 1;
        if (sender == pmPrintSelection) printSelectionOnly_ = true;
        const bool leftAlone = singlePaneView_ && printPaneMode_ == 2;
        rep.RenderReport(eFN1->text(), leftAlone ? QString() : eFN2->text(), rows, printPaneMode_,
                         printSelectionOnly_ ? 1 : 0);
    }
    refocusMain();
}

}  // namespace tandex::ui
