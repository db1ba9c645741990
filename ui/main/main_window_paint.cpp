// Painting the text and binary comparisons row by row from the pane stores,
// the margins and the newer-file arrows, the editor caret, the overview bar
// and pixel scrolling.
//
// A paint event only draws. Whatever follows from the geometry (the rows
// that fit, the scroll bar, the overview bar, the focus, the caret metrics)
// runs afterwards in one queued step, so painting never changes layout or
// focus while Qt paints, and a blink of the caret, which repaints its cell
// alone, never pulls the focus back from another control.

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <functional>

#include "access/file_times.h"
#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "cell_text.h"
#include "main_window.h"
#include "overview_bar.h"
#include "print_seams.h"
#include "row_area.h"
#include "row_paint.h"

namespace tandex::ui {

namespace {

using config::AppSettings;

TColor colorOf(int index) { return paintColor(config::CurrentColorSet(), index); }

constexpr TColor kMarginLine = 0xA0A0A0;
constexpr TColor kModMarkGrey = 0x808080;
// The caret bitmap's bright line: two pixels wide, one pixel in.
constexpr int kCaretWidth = 4;

void vline(QPainter& p, int x, int y1, int y2, TColor color) { p.fillRect(QRect(x, y1, 1, y2 - y1), ToQColor(color)); }

// Runs an action on a mouse press in the watched widget and lets the press go on.
class PressWatcher : public QObject {
public:
    PressWatcher(QObject* parent, std::function<void()> action) : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) action_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

}  // namespace

// ---- set-up -------------------------------------------------------------------

void TF_Main::createPaintControls() {
    rowArea_ = new TRowArea(this, Client);
    rowArea_->setObjectName(QStringLiteral("RowArea"));
    // Above the head panel, below every control that lies over the panes.
    rowArea_->stackUnder(HC1);

    paintTimer = new QTimer(this);
    paintTimer->setObjectName(QStringLiteral("paintTimer"));
    paintTimer->setSingleShot(true);
    paintTimer->setInterval(10);
    paintTimer->setProperty("Tag", 0);
    connect(paintTimer, &QTimer::timeout, this, [this] { paintTimerTimer(paintTimer); });

    caretTimer_ = new QTimer(this);
    connect(caretTimer_, &QTimer::timeout, this, [this] {
        caretPhase_ = !caretPhase_;
        updateCaretCell();
    });

    auto* panel = static_cast<TNBarPanel*>(P_DiffBar);
    nBar_ = std::make_unique<TNBar>(panel);
    nBar_->OnRowColor = [this](int row) { return diffBarColor(row); };
    panel->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        P_DiffBarMouseDown(b, m, x, y);
    };
    panel->OnMouseMove = [this](Qt::KeyboardModifiers m, int x, int y) { P_DiffBarMouseMove(m, x, y); };
    panel->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        P_DiffBarMouseUp(b, m, x, y);
    };

    M_ROpenErr->viewport()->installEventFilter(new PressWatcher(M_ROpenErr, [this] { M_ROpenErrClick(M_ROpenErr); }));

    appStateConnection_ = connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            FormActivate();
        else if (state == Qt::ApplicationInactive)
            FormDeactivate();
    });
}

void TF_Main::releasePaintControls() {
    disconnect(appStateConnection_);
    if (engine::editor().CaretWindow == this) engine::editor().CaretWindow = nullptr;
    rowArea_->Detach();
    static_cast<THeaderBar*>(HC1)->Detach();
    static_cast<TMidStrip*>(P_MID)->Detach();
    caretTimer_->stop();
}

void TF_Main::paneFontApplied(const QFont& font) {
    paneFont_ = font;
    paneCells_.SetFont(font, charWidth_);
    // Black leaves the pixels as they are, white inverts them: the caret
    // shows on every background.
    const int h = std::max(lineHeight_, 2);
    caretBitmap_ = QImage(kCaretWidth, h, QImage::Format_RGB32);
    caretBitmap_.fill(Qt::black);
    for (int y = 0; y < h - 1; ++y) {
        caretBitmap_.setPixel(1, y, 0xFFFFFFFF);
        caretBitmap_.setPixel(2, y, 0xFFFFFFFF);
    }
    if (rowArea_) rowArea_->update();
}

void TF_Main::placeRowArea(const TLayoutGeometry& g) {
    if (!rowArea_) return;
    rowArea_->setGeometry(0, g.paneTop, std::max(g.rightEdge, 0), std::max(g.paneBottom - g.paneTop + 1, 0));
}

void TF_Main::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    FormHide();
}

// ---- the paint cycle ----------------------------------------------------------

void TF_Main::paintRowArea(const QRegion& region) {
    QPainter painter(rowArea_);
    const QPoint origin = rowArea_->pos();
    // Everything below works in the client's coordinates, as the layout gives them.
    painter.translate(-origin);
    const QRect dirty = region.boundingRect().translated(origin);
    const bool caretOnly = !caretDirty_.isEmpty() && (region - caretDirty_).isEmpty();
    caretDirty_ = QRegion();
    // While painting is locked the stores may be half changed: the area
    // keeps what it showed, and unlocking repaints it.
    if (paintLock_ > 0) return;
    painter.fillRect(dirty, ToQColor(colorOf(config::TextBgCol)));
    // A running comparison is filling the stores the rows are read from:
    // the panes stay empty until it hands over.
    if (engine::paneStores().FolderMode && folderCompareRunning()) return;
    if (viewType_ != vtImage) {
        const TLayoutGeometry& g = geometry_;
        const int lh = std::max(lineHeight_, 1);
        const int skip = std::max(0, (dirty.top() - g.paneTop) / lh);
        const int first = std::max(topRow(viewType_) - 1, 0) + skip;
        int row = first;
        int y = g.paneTop + skip * lh;
        const int yEnd = std::min(g.paneBottom - lh, dirty.bottom() + 1);
        paintRows(painter, row, y, yEnd);
        paintFolderSeparators(painter);
        paintMargins(painter, first, g.paneTop + skip * lh, y);
        paintCaret(painter);
    }
    painter.end();
    if (!caretOnly) queuePostPaint();
}

void TF_Main::OnPaintNew(QPainter& painter, int& row, int& y) {
    if (engine::paneStores().FolderMode && folderCompareRunning()) return;
    const int firstRow = row, yStart = y;
    paintRows(painter, row, y, geometry_.paneBottom - std::max(lineHeight_, 1));
    paintFolderSeparators(painter);
    paintMargins(painter, firstRow, yStart, y);
}

void TF_Main::paintRows(QPainter& painter, int& row, int& y, int yEnd) {
    const int count = engine::paneStores().VisibleRowCount();
    const int lh = std::max(lineHeight_, 1);
    // A page keeps the print font its window set.
    if (!printing_) painter.setFont(paneFont_);
    while (y < yEnd) {
        if (row < count) {
            if (printSelectionOnly_ && !engine::rows().IsRowSelected(1, row) && !engine::rows().IsRowSelected(2, row)) {
                ++row;
                continue;
            }
            paintRow(painter, row, y);
        }
        ++row;
        y += lh;
    }
}

int TF_Main::fittingRows() const {
    const int lh = std::max(lineHeight_, 1);
    const int span = geometry_.paneBottom - lh - geometry_.paneTop;
    return span <= 0 ? 0 : (span + lh - 1) / lh;
}

void TF_Main::queuePostPaint() {
    if (postPaintQueued_) return;
    postPaintQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { afterPaint(); }, Qt::QueuedConnection);
}

void TF_Main::afterPaint() {
    postPaintQueued_ = false;
    // The geometry is a page's while a report runs.
    if (printing_) return;
    const TLayoutGeometry& g = geometry_;
    if (viewType_ != vtImage) {
        const int rows = fittingRows();
        lastPaintBottom_ = g.paneTop + rows * std::max(lineHeight_, 1);
        // A new page height, or rows loaded or filtered since the last
        // paint, may need other line-number digits and another range.
        const int count = engine::paneStores().VisibleRowCount();
        if (rows != visibleRows_ || count != paintedRowCount_) {
            if (rows != visibleRows_) nBarRebuild_ = true;
            visibleRows_ = rows;
            paintedRowCount_ = count;
            updateRowRange();
        }
        // The bar shows whenever some row does not fit the page.
        const bool needed = rows < count;
        if (needed == vScrollBar->isHidden()) {
            vScrollBar->setVisible(needed);
            arrangeLayout(viewType_);
            repaintPanes();
        }
        if (!vScrollBar->isHidden()) {
            setScrollRange();
            const QSignalBlocker quiet(vScrollBar);
            vScrollBar->setValue(topRow(viewType_));
        }
        if (!singlePaneView_ && AppSettings().GSShowDiffBar) updateOverviewBar();
        if (!I_MLRuler->isHidden() && hScrollBar->value() != rulerScrollPos_) {
            rulerScrollPos_ = hScrollBar->value();
            redrawPaneRuler();
        }
    }
    updateStatusBar();
    // A field the user types into keeps the focus until the editing ends.
    if (!eLine1->hasFocus() && !eLine2->hasFocus() && fnEditPane_ == 0) refocusMain();
    engine::editor().SetCaretMetrics(this, geometry_.leftTextX, geometry_.rightTextX, geometry_.paneTop);
}

void TF_Main::paintTimerTimer(QObject*) {
    paintTimer->stop();
    if (paintTimer->property("Tag").toInt() == 1) {
        P_MID->update();
        repaintPanes();
    } else {
        drawDPRuler(true);
    }
    paintTimer->setProperty("Tag", 0);
    paintTimer->setInterval(10);
}

void TF_Main::repaintPanes() {
    if (paintLock_ > 0) return;
    if (rowArea_) rowArea_->update();
    P_MID->update();
}

// ---- one row ------------------------------------------------------------------

void TF_Main::paintRow(QPainter& painter, int row, int y) {
    const auto& r = engine::rows();
    const auto& st = engine::paneStores();
    const auto& s = AppSettings();
    const auto& colors = config::CurrentColorSet();
    TRowLook look;
    look.leftMissing = r.IsRowMissing(1, row);
    look.rightMissing = r.IsRowMissing(2, row);
    look.rowModified = r.RowResult(row) == 2;
    look.rowDiffers = !singlePaneView_ && (r.RowDiffers(row) || look.leftMissing != look.rightMissing);
    look.folderState = engine::folderRows().RowFolderState(row);
    if (st.FolderMode) {
        look.folderMode = true;
        paintFolderRow(painter, row, y, look);
        return;
    }

    const bool binary = st.BinaryMode != 0;
    QString texts[3];
    TCharFlags flags[3];
    bool ignoredEmpty = false;
    if (binary) {
        texts[1] = r.RowText(1, row);
        texts[2] = r.RowText(2, row);
        const QString* present[3] = {nullptr, look.leftMissing ? nullptr : &texts[1],
                                     look.rightMissing ? nullptr : &texts[2]};
        flags[1] = fillBinaryRowFlags(present[1], present[2], true, look.rowDiffers, s.BCHEXBytes);
        flags[2] = fillBinaryRowFlags(present[2], present[1], false, look.rowDiffers, s.BCHEXBytes);
        if (s.TEVisibleWS)
            for (int pane = 1; pane <= 2; ++pane) markVisibleBlanks(texts[pane], flags[pane], s.BCHEXBytes * 3 + 3);
    } else {
        TTextRowInput in;
        in.left = r.RowText(1, row);
        in.right = r.RowText(2, row);
        if (r.RowHasCharFlags(row)) {
            in.engineLeft = r.RowCharFlags(1, row);
            in.engineRight = r.RowCharFlags(2, row);
        }
        in.rowDiffers = look.rowDiffers;
        in.leftMissing = look.leftMissing;
        in.rightMissing = look.rightMissing;
        in.lineIndex = r.RowIndex(row);
        in.maxLineCount = st.MaxLineCount;
        if (st.IgnoredColumnsActive) {
            in.ignoredColumns = st.IgnoredColumns.data();
            in.ignoredColumnCount = engine::kMaskColumns;
        }
        TTextRowFlags f = fillTextRowFlags(in, s);
        look.rowDiffers = f.rowDiffers;
        ignoredEmpty = f.ignoredEmptyRow;
        texts[1] = std::move(f.left);
        texts[2] = std::move(f.right);
        flags[1] = std::move(f.flagsLeft);
        flags[2] = std::move(f.flagsRight);
    }
    const int curLinePane = s.TEHLCurLine && engine::editor().GetCaretRow() == row ? engine::editor().ActiveSide : 0;

    // paintTextCells
    const TLayoutGeometry& g = geometry_;
    const int cw = std::max(charWidth_, 1);
    const int lh = std::max(lineHeight_, 1);
    const int firstCol = std::max(1, hScrollBar->value());
    const quint32 sel[3] = {0, r.RowSelectionRange(1, row), r.RowSelectionRange(2, row)};
    const bool hasSelection = (sel[1] || sel[2]) && !printSelectionOnly_;
    const int ascent = rowAscent();
    for (int pane = 1; pane <= (singlePaneView_ ? 1 : 2); ++pane) {
        const int visibleCols = pane == 1 ? g.visibleColsLeft : g.visibleColsRight;
        QString text = texts[pane];
        if (text.size() > firstCol + visibleCols) text.truncate(firstCol + visibleCols);
        const int other = engine::PaneStores::OtherSide(pane);
        const int selThis = printSelectionOnly_ ? 0 : r.RowSelectionKind(pane, row);
        const int selOther = printSelectionOnly_ ? 0 : r.RowSelectionKind(other, row);
        const TCellChoice choice = cellColorsForPane(pane, selThis, selOther, look, colors);

        TRunStyle style;
        // Paper gets black text wherever the screen shows the plain colour.
        style.normalFont = printing_ ? TColor(0) : colorOf(pane == 1 ? config::TextColL : config::TextColR);
        style.diffFont = choice.colors.font;
        style.cellBrush = ignoredEmpty ? colorOf(config::IgnBgCol) : choice.colors.brush;
        style.currentLine = curLinePane == pane;
        style.binaryView = binary;
        style.singlePaneView = singlePaneView_;
        style.tabsAsBlanks = s.TCIgnAllBl || s.TCIgnLeadBl;
        style.firstColumn = firstCol;
        style.charWidth = cw;
        const int cellLeft = pane == 1 ? g.leftTextX : g.rightTextX;
        int cellEnd = pane == 1 ? g.columnEdges[5] + 1 : g.rightEdge;
        if (binary) {
            const int hexWidth = (s.BCHEXBytes * 4 + 2) * cw + 3;
            cellEnd = std::min(cellLeft + hexWidth - (firstCol - 1) * cw, cellEnd);
        }
        style.x0 = cellLeft + 1;
        style.rightLimit = cellEnd;
        const QRect cell(cellLeft, y, std::max(cellEnd - cellLeft, 0), lh);

        if (hasSelection) {
            style.currentLine = false;
            style.selectionBrush = colorOf(sel[pane] ? config::SelTxtBgCol : config::SelMateBgCol);
            style.selection = sel[pane];
            if (!binary && (sel[pane] >> 16) == engine::kSelectionToEnd) {
                const int length = int(std::min<qsizetype>(texts[pane].size(), firstCol + visibleCols));
                const int from = std::max(cellLeft, cellLeft + (length - firstCol - 1) * cw);
                painter.fillRect(QRect(from, y, cellEnd - from, lh), ToQColor(style.selectionBrush));
            }
        } else if (!binary) {
            painter.fillRect(cell, ToQColor(style.currentLine ? colorOf(config::HLCurLineCol) : style.cellBrush));
        }
        if (text.isEmpty()) continue;

        painter.save();
        painter.setClipRect(cell);
        for (const TCharRun& run : splitCharRuns(text, flags[pane], style, colors)) {
            painter.fillRect(QRect(run.x, y, run.count * cw, lh), ToQColor(run.brush));
            painter.setPen(ToQColor(run.font));
            rowCells().Draw(painter, run.x, y + ascent, run.text, run.underline);
        }
        painter.restore();
    }
}

// ---- margins, arrows, caret -------------------------------------------------------

void TF_Main::paintMargins(QPainter& painter, int firstRow, int yStart, int yEnd) {
    const auto& s = AppSettings();
    const TLayoutGeometry& g = geometry_;
    const auto& e = g.columnEdges;
    const int top = g.paneTop - 1, bottom = g.paneBottom + 1;
    const int printShift = printing_ ? 1 : 0;

    auto modifiedMark = [&](int pane, int x) {
        if (!printing_ && s.TEMarkMod && engine::fccTabs().IsPaneModified(pane)) {
            vline(painter, x, top, bottom, config::BlendColors(kModMarkGrey, TColor(s.TEModCol), 96));
            vline(painter, x + 1, top, bottom, TColor(s.TEModCol));
        } else {
            vline(painter, x, top, bottom, kMarginLine);
        }
    };

    if (!s.GSLineNr) {
        const int shift = g.diffBarWidth > 0 ? 0 : 1;
        modifiedMark(1, e[1] - shift);
        if (!singlePaneView_) modifiedMark(2, e[7] - shift);
        return;
    }

    const int lh = std::max(lineHeight_, 1);
    const int count = engine::paneStores().VisibleRowCount();
    const int ascent = rowAscent();
    if (!printing_) painter.setFont(paneFont_);
    struct Column {
        int pane, left, right, textX;
    };
    std::vector<Column> columns{{1, e[0] + g.diffBarWidth + 1, e[1] - 1, e[0] + g.diffBarWidth + 2}};
    if (!singlePaneView_)
        columns.push_back({2, e[6] + 1, e[7], e[6] + config::Helpers().DpiPx2 + 1 - printShift});
    for (const Column& c : columns) {
        painter.fillRect(QRect(c.left, yStart, c.right - c.left, yEnd - yStart), ToQColor(colorOf(config::LNumBgCol)));
        int row = firstRow;
        for (int y = yStart; y < yEnd && row < count; ++row) {
            if (printSelectionOnly_ && !engine::rows().IsRowSelected(1, row) && !engine::rows().IsRowSelected(2, row))
                continue;
            const bool selected = engine::rows().IsRowSelected(c.pane, row);
            if (selected)
                painter.fillRect(QRect(c.left, y, c.right - c.left, lh), ToQColor(colorOf(config::SelLnBgCol)));
            painter.setPen(ToQColor(colorOf(selected ? config::SelLnCol : config::LNumCol)));
            painter.drawText(QPoint(c.textX, y + ascent), engine::rows().RowNumberText(c.pane, row));
            y += lh;
        }
    }
    vline(painter, e[0] + g.diffBarWidth, top, bottom, kMarginLine);
    modifiedMark(1, e[1] - 1 + printShift);
    if (!singlePaneView_) {
        vline(painter, e[6], top, bottom, kMarginLine);
        modifiedMark(2, e[7] + printShift);
    }
}

void TF_Main::paintMidStrip(QPainter& painter) {
    const auto& st = engine::paneStores();
    if (singlePaneView_ || printing_ || viewType_ == vtImage || paintLock_ > 0) return;
    if (st.FolderMode && folderCompareRunning()) return;
    if (!st.FolderMode && (st.FilePaths[1].isEmpty() || st.FilePaths[2].isEmpty())) return;
    const QList<QImage>* icons = ImageList(32);
    if (!icons) return;
    const TLayoutGeometry& g = geometry_;
    const int lh = std::max(lineHeight_, 1);
    const int count = st.VisibleRowCount();
    int row = std::max(topRow(viewType_) - 1, 0);
    for (int y = g.paneTop; y < g.paneBottom - lh && row < count; ++row, y += lh) {
        if (!engine::rows().RowDiffers(row)) continue;
        if (st.FolderMode && engine::folderRows().RowFolderState(row) != 0) continue;
        const int newer = access::FZCompareFileTimes(engine::folderRows().RowFileTime(1, row),
                                                     engine::folderRows().RowFileTime(2, row));
        // Icon 12 points at a newer left file, icon 11 at a newer right one.
        const int icon = newer < 0 ? 12 : newer > 0 ? 11 : -1;
        if (icon < 0 || icon >= icons->size()) continue;
        painter.drawImage(QPoint(0, y - g.paneTop + lh / 2 - config::ScaleDpi(17)), icons->at(icon));
    }
}

QRect TF_Main::caretRect() const { return QRect(caretPos_, QSize(kCaretWidth, std::max(lineHeight_, 1))); }

void TF_Main::paintCaret(QPainter& painter) {
    if (!caretCreated_ || !caretShown_ || !caretPhase_ || !rowArea_->hasFocus()) return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.drawImage(caretPos_, caretBitmap_);
    painter.restore();
}

void TF_Main::updateCaretCell() {
    if (!rowArea_) return;
    const QRect r = caretRect().translated(-rowArea_->pos());
    caretDirty_ += r;
    rowArea_->update(r);
}

// ---- engine::CaretHost ------------------------------------------------------------

int TF_Main::Pane1Right() const { return geometry_.columnEdges[5]; }

bool TF_Main::MoveCaret(int x, int y) {
    if (!caretCreated_) return false;
    if (caretPos_ == QPoint(x, y)) return true;
    updateCaretCell();
    caretPos_ = QPoint(x, y);
    caretPhase_ = true;
    updateCaretCell();
    drawRulerMarker(getActivePane(viewType_));
    return true;
}

void TF_Main::ShowCaret() {
    caretShown_ = true;
    caretPhase_ = true;
    caretFocusChanged(rowArea_ && rowArea_->hasFocus());
    updateCaretCell();
}

void TF_Main::HideCaret() {
    caretShown_ = false;
    caretTimer_->stop();
    updateCaretCell();
}

void TF_Main::caretFocusChanged(bool focused) {
    const int flash = QApplication::cursorFlashTime();
    if (focused && caretShown_ && caretCreated_ && flash > 0) {
        if (!caretTimer_->isActive()) caretTimer_->start(flash / 2);
    } else {
        caretTimer_->stop();
        caretPhase_ = true;
    }
    if (caretCreated_ && caretShown_) updateCaretCell();
}

// ---- activation -------------------------------------------------------------------

void TF_Main::FormActivate() {
    // A tab switch or a load in progress owns the caret until it ends, and
    // so does a running update check with its window.
    if (Busy() || updater().State() != UpdateServices::kUpdateIdle) return;
    auto& ed = engine::editor();
    if (engine::rows().CaretViewActive) {
        ed.SetCaretMetrics(this, geometry_.leftTextX, geometry_.rightTextX, geometry_.paneTop);
        if (!ed.PlaceCaret(ed.Caret.Column, ed.Caret.Row, ed.ActiveSide)) {
            caretCreated_ = true;
            caretPhase_ = true;
            ed.PlaceCaret(ed.Caret.Column, ed.Caret.Row, ed.ActiveSide);
        }
    }
    refocusMain();
}

void TF_Main::refocusMain() {
    if (!isVisible() || refocusing_) return;
    refocusing_ = true;
    rowArea_->setFocus(Qt::OtherFocusReason);
    auto& ed = engine::editor();
    if (engine::rows().CaretViewActive && !ed.PlaceCaret(ed.Caret.Column, ed.Caret.Row, ed.ActiveSide))
        FormActivate();
    refocusing_ = false;
}

void TF_Main::FormDeactivate() {
    engine::editor().HideEditCaret();
    caretCreated_ = false;
    caretShown_ = false;
    caretTimer_->stop();
    updateCaretCell();
    if (QWidget* focused = focusWidget()) focused->clearFocus();
}

void TF_Main::FormHide() { FormDeactivate(); }

void TF_Main::M_ROpenErrClick(QObject*) {
    engine::editor().HideEditCaret();
    M_ROpenErr->setFocus(Qt::MouseFocusReason);
}

// ---- scroll range and pixel scrolling -------------------------------------------------

void TF_Main::setScrollRange() {
    const int count = engine::paneStores().VisibleRowCount();
    const int page = std::max(visibleRows_, 1);
    const int top = topRow(viewType_);
    // The bar's range runs over first visible rows: the last one shows the
    // last page.
    const int maximum = std::max({count, visibleRows_, top});
    const QSignalBlocker quiet(vScrollBar);
    vScrollBar->setRange(1, std::max(1, maximum - page + 1));
    vScrollBar->setPageStep(page);
    vScrollBar->setSingleStep(1);
}

bool TF_Main::updateRowRange() {
    setScrollRange();
    if (!AppSettings().GSLineNr) return false;
    auto& r = engine::rows();
    r.UpdateLineNumberWidth(engine::paneStores().FolderMode != 0);
    // Compared with what the layout was made for: a row filter may have
    // changed the width since.
    if (r.LineNumberWidth == laidOutDigits_) return false;
    laidOutDigits_ = r.LineNumberWidth;
    arrangeLayout(viewType_);
    repaintPanes();
    return true;
}

void TF_Main::setFirstVisibleRow(int row) {
    const int count = engine::paneStores().VisibleRowCount();
    const int last = std::max(count - std::max(visibleRows_, 1) + 1, 1);
    topRows_[size_t(qBound(0, viewType_, 4))] = std::max(std::min(row, last), 1);
}

void TF_Main::scrollPanes(int left, int dx, int dy) {
    if (!rowArea_ || (dx == 0 && dy == 0)) return;
    const TLayoutGeometry& g = geometry_;
    const QPoint origin = rowArea_->pos();
    // The panes left and right of the middle strip scroll on their own:
    // a control lying over a scrolled rectangle would make Qt repaint it all.
    std::vector<QRect> panes;
    const int from = std::max(left, g.diffBarWidth);
    if (singlePaneView_ || P_MID->isHidden()) {
        panes.push_back(QRect(QPoint(from, g.paneTop), QPoint(g.rightEdge - 1, g.paneBottom - 1)));
    } else {
        const QRect mid = P_MID->geometry();
        panes.push_back(QRect(QPoint(from, g.paneTop), QPoint(mid.left() - 1, g.paneBottom - 1)));
        panes.push_back(QRect(QPoint(mid.right() + 1, g.paneTop), QPoint(g.rightEdge - 1, g.paneBottom - 1)));
    }
    if (dy != 0 && !P_MID->isHidden()) {
        const QRect strip(0, 0, 32, P_MID->height());
        P_MID->scroll(0, dy, strip);
        P_MID->update(strip);
    }
    for (const QRect& pane : panes) {
        if (pane.width() <= 0 || pane.height() <= 0) continue;
        const QRect local = pane.translated(-origin);
        rowArea_->scroll(dx, dy, local);
        QRect uncovered;
        if (dy != 0) {
            uncovered = dy > 0 ? QRect(local.left(), local.top(), local.width(), dy)
                               : QRect(local.left(), local.bottom() + 1 + dy, local.width(), -dy);
            uncovered.adjust(0, -1, 0, 1);
        } else {
            uncovered = dx > 0 ? QRect(local.left(), local.top(), dx, local.height())
                               : QRect(local.right() + 1 + dx, local.top(), -dx, local.height());
            uncovered.adjust(-23, 0, 0, 0);
        }
        rowArea_->update(uncovered & local.adjusted(0, -1, 0, 1));
    }
    // The caret's pixels moved with the rows: where they went is redrawn.
    if (caretCreated_ && caretShown_) rowArea_->update(caretRect().translated(dx, dy).translated(-origin));
}

// ---- overview bar -------------------------------------------------------------------

quint32 TF_Main::diffBarColor(int row) const {
    const auto& r = engine::rows();
    if (!r.RowDiffers(row)) return 0;
    const auto& colors = config::CurrentColorSet();
    if (engine::folderRows().RowFolderState(row) != 0)
        return paintColor(colors, r.IsRowOnBothSides(row) ? config::ModFldCol : config::OrphanedCol);
    if (r.IsRowOnBothSides(row)) return paintColor(colors, config::DiffCol);
    const quint32 side = r.IsRowMissing(2, row) ? kOnlyLeftRow : kOnlyRightRow;
    return paintColor(colors, config::OrphanedCol) | side;
}

void TF_Main::updateOverviewBar() {
    nBar_->SetColors(colorOf(config::TNBarBgCol), colorOf(config::TNBarSlCol));
    const int rows = engine::paneStores().VisibleRowCount();
    const int diffs = engine::fccTabs().GetTabDiffCount();
    if (nBarRebuild_ || rows != nBarRows_ || diffs != nBarDiffs_) {
        nBar_->Rebuild(rows, visibleRows_, std::max(lineHeight_, 1));
        nBarRows_ = rows;
        nBarDiffs_ = diffs;
        nBarRebuild_ = false;
    }
    nBar_->Paint(topRow(viewType_) - 1);
}

void TF_Main::P_DiffBarMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int y) {
    nBarGrabY_ = -1;
    if (button != Qt::LeftButton || !nBar_->HasMarker()) return;
    nBarDragging_ = true;
    const int at = nBar_->RowAt(y, false);
    if (at < 0) {
        // One pixel stands for many rows: look for the difference the user
        // aimed at among the rows the pixel covers.
        const auto& r = engine::rows();
        const int count = engine::paneStores().VisibleRowCount();
        const int first = -at + 1;
        const int last = std::min(first + nBar_->RowsPerPixel() * 10 + 1, count);
        for (int n = first; n <= last; ++n) {
            if (!r.RowDiffers(n - 1)) continue;
            setFirstVisibleRow(n - std::max(visibleRows_, 1) / 3 - 1);
            nBarGrabY_ = y;
            break;
        }
    } else {
        setFirstVisibleRow(at + 1);
    }
    repaintPanes();
}

void TF_Main::P_DiffBarMouseMove(Qt::KeyboardModifiers, int, int y) {
    if (!nBarDragging_ || y == nBarGrabY_) return;
    setFirstVisibleRow(nBar_->RowAt(y, true) + 1);
    repaintPanes();
    nBarGrabY_ = -1;
}

void TF_Main::P_DiffBarMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    if (button == Qt::LeftButton) nBarDragging_ = false;
}

}  // namespace tandex::ui
