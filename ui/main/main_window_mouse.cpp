// The panes' mouse: clicks become caret positions and selections, a drag
// extends the selection and scrolls when it leaves the panes, the middle
// button scrolls, long rows show their whole text in the hover window,
// links open on a double click, and the pick mode completes on a click
// (the similarity of two lines).
//
// Qt reports a double click as press, release, double click, release: the
// double click stands in for the second press, so no press needs to be
// swallowed after it.

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/fuzzy_similarity.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "flat_button.h"
#include "hover_text.h"
#include "main_window.h"
#include "row_area.h"
#include "row_paint.h"

namespace tandex::ui {

namespace {

using config::AppSettings;

constexpr int kPickSimilarity = 2;
constexpr int kAllSelectButtons = 15;

bool hoverTextOn(int viewType) {
    const auto& s = AppSettings();
    switch (viewType) {
    case vtFree: return true;
    case vtFolder: return s.FCHoverText;
    case vtText: return s.TCHoverText;
    case vtBinary: return s.BCHoverText;
    default: return false;
    }
}

int tagOf(const QTimer* timer) { return timer->property("Tag").toInt(); }

}  // namespace

void TF_Main::createMouseControls() {
    T_WHEEL = new QTimer(this);
    T_WHEEL->setObjectName(QStringLiteral("T_WHEEL"));
    T_WHEEL->setInterval(50);
    T_WHEEL->setProperty("Tag", 0);
    connect(T_WHEEL, &QTimer::timeout, this, [this] { T_WHEELTimer(T_WHEEL); });

    hoverText_ = new TF_HoverText(this);
    hoverText_->setObjectName(QStringLiteral("HoverText"));
    // The popup lies over the rows: what the mouse does on it is meant for them.
    hoverText_->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        FormMouseDown(nullptr, b, m, x, y);
    };
    hoverText_->OnMouseMove = [this](Qt::KeyboardModifiers m, int x, int y) { FormMouseMove(nullptr, m, x, y); };
    hoverText_->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        FormMouseUp(nullptr, b, m, x, y);
    };
    hoverText_->OnDblClick = [this] { FormDblClick(nullptr); };
    hoverText_->OnMouseWheel = [this](Qt::KeyboardModifiers m, int delta, QPoint) { FormMouseWheel(m, delta); };
    // F8 in the text view: the next line clicked shows its similarity with
    // the caret line. It acts while long operations run, like the keys.
    auto* similarity = new QAction(this);
    similarity->setObjectName(QStringLiteral("actLineSimilarity"));
    similarity->setShortcut(Qt::Key_F8);
    similarity->setShortcutContext(Qt::WindowShortcut);
    addAction(similarity);
    connect(similarity, &QAction::triggered, this, [this] {
        if (viewType_ != vtText) return;
        pickPurpose = kPickSimilarity;
        pickMode(0);
    });
    createLineMenu();
    createFolderMenus();
}

// ---- where the mouse is ------------------------------------------------------------

int TF_Main::rowAtY(int y) const {
    return std::max(topRow(viewType_), 1) - 1 + (y - geometry_.paneTop) / std::max(lineHeight_, 1);
}

// A column's cell starts one pixel right of the pane's text x, where the
// painter puts it.
int TF_Main::columnAtX(int pane, int x) const {
    const int cw = std::max(charWidth_, 1);
    const int offset = engine::editor().FirstVisibleColumn;
    if (pane == 1) return std::max(0, (x - geometry_.leftTextX - 1) / cw + 1 + offset);
    if (x < geometry_.rightTextX) return 0;
    return (x - geometry_.rightTextX - 1) / cw + 1 + offset;
}

bool TF_Main::linkAt(int x, int row) {
    const int pane = x < geometry_.splitX ? 1 : 2;
    const auto& s = AppSettings();
    if (row >= 0 && row < engine::paneStores().LineCount[size_t(pane)]) {
        const QString text = engine::rows().RowText(pane, row);
        const int textX = pane == 1 ? geometry_.leftTextX : geometry_.rightTextX;
        const int at = std::max(hScrollBar->value(), 1) + (x - textX - 1) / std::max(charWidth_, 1);
        int start = 1, stop = 0;
        for (;;) {
            getLink(text, start, stop, s.TEEnableLinks);
            if (start <= 0) break;
            if (at >= start && at < stop) {
                linkText_ = text.mid(start - 1, stop - start);
                return true;
            }
            start = stop;
        }
    }
    linkText_.clear();
    return false;
}

// ---- press, move, release ----------------------------------------------------------

void TF_Main::FormMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (!sender) {
        const QPoint client = Client->mapFromGlobal(QPoint(x, y));
        x = client.x();
        y = client.y();
    }
    if (!engine::fccTabs().CurrentTabInUse() || !controlsEnabled_ || Busy()) return;
    // The stores are being filled: a row clicked now is no row of the result.
    if (folderCompareRunning()) return;
    auto& ed = engine::editor();
    auto& r = engine::rows();
    const auto& st = engine::paneStores();

    if (button == Qt::MiddleButton) {
        hoverText_->Hide();
        middleStartY_ = y;
        middleScrolling_ = true;
        rowArea_->setCursor(Qt::SizeVerCursor);
        T_WHEEL->start();
        return;
    }

    mouseDownPoint_ = QPoint(x, y);
    clickShift_ = shift;
    const int pane = x < geometry_.splitX ? 1 : 2;
    setActivePane(viewType_, pane);
    ed.SetActiveSide(pane);
    int column = columnAtX(pane, x);
    const int row = rowAtY(y);
    if (viewType_ == vtImage) return;
    const int count = st.VisibleRowCount();
    if (row >= count) {
        // A double click that follows must not select on the last row.
        mouseDownPoint_.setY(geometry_.paneBottom + 1);
        ed.CaretGoTo(std::max(1, column), std::max(count - 1, 0));
        return;
    }
    if (AppSettings().TELinkDblClk) linkAt(x, row);

    if (st.BinaryMode && column > 0) column = ed.SnapHexColumn(column, -1);
    resetSelectButtons(kAllSelectButtons);
    refocusMain();
    ed.CaretGoTo(std::max(1, column), row);

    // A press soon after a double click on the same row selects the row.
    if (tagOf(tim3ClickTimer) == 1 && ed.Caret.Row == ed.Selection.StartRow && ed.Caret.Row == ed.Selection.EndRow &&
        button == Qt::LeftButton) {
        ed.Selection = {1, ed.Caret.Row, 10000, ed.Caret.Row};
        applySelection(Qt::ShiftModifier, row);
        refreshSelection();
        return;
    }

    if (st.FolderMode || column == 0) {
        if (shift & Qt::ShiftModifier)
            ed.SetSelectionEnd(0, row);
        else
            ed.SetSelection(0, row, 0, row);
        // The margin selects whole rows; so does the context menu's own
        // selection of the row.
        if (!(shift & Qt::ControlModifier)) shift = Qt::ShiftModifier;
        clickShift_ = shift;
    } else {
        if (shift & Qt::ShiftModifier)
            ed.SetSelectionEnd(column, row);
        else if (!r.IsRowSelected(pane, row))
            ed.SetSelection(column, row, column, row);
        drawRulerMarker(pane);
    }

    if (ed.Caret.Row < 0 || ed.Caret.Row >= count) {
        if (button == Qt::RightButton) buildContextMenu();
        ed.CaretGoTo(0, -1);
        r.ClearSelection();
        refreshSelection();
        updateControls();
        return;
    }
    if (button == Qt::RightButton) {
        if (!r.IsRowSelected(pane, row) && column == 0) {
            applySelection(Qt::ShiftModifier, row);
            refreshSelection();
            updateControls();
        }
        buildContextMenu();
        return;
    }
    if (button != Qt::LeftButton) return;
    if (viewType_ == vtFolder && AppSettings().FCTreeView) {
        if (inFolderExpander(pane, x, row, config::ScaleDpi(16))) {
            engine::folderRows().ToggleFolderRow(row);
            updateRowRange();
            r.ClearSelection();
            repaintPanes();
            return;
        }
    } else {
        FormActivate();
    }
    if (PickModeOn()) {
        pickMode(1);
        return;
    }
    applySelection(shift, row);
    refreshSelection();
    updateControls();
    DragSelecting = true;
    dragShift_ = shift;
    dragColumn_ = ed.Caret.Column;
    dragRow_ = ed.Caret.Row;
}

bool TF_Main::inFolderExpander(int pane, int x, int row, int extra) const {
    const int depth = std::max(engine::folderRows().RowFolderDepth(row), 0);
    const int textX = pane == 1 ? geometry_.leftTextX : geometry_.rightTextX;
    return x > textX && x < textX + depth * 2 * std::max(charWidth_, 1) + extra;
}

void TF_Main::FormMouseMove(QObject* sender, Qt::KeyboardModifiers, int x, int y) {
    if (!sender) {
        const QPoint client = Client->mapFromGlobal(QPoint(x, y));
        x = client.x();
        y = client.y();
    }
    if (Busy() || folderCompareRunning()) return;
    const TLayoutGeometry& g = geometry_;
    const int lh = std::max(lineHeight_, 1);
    auto& ed = engine::editor();
    const auto& st = engine::paneStores();

    if (DragSelecting) {
        // Beyond the panes the view scrolls, one row per tick and one more
        // for every row height the mouse is away.
        int tag = 0;
        if (y < g.paneTop)
            tag = (g.paneTop - y) / lh + 1;
        else if (y > g.paneBottom)
            tag = (g.paneBottom - y) / lh - 1;
        T_WHEEL->setProperty("Tag", tag);
        if (tag == 0)
            T_WHEEL->stop();
        else if (!T_WHEEL->isActive())
            T_WHEEL->start();
        const int count = st.VisibleRowCount();
        const int row = std::clamp(rowAtY(y), 0, std::max(count - 1, 0));
        int column = columnAtX(ed.ActiveSide, x);
        if (st.BinaryMode && column > 0) column = ed.SnapHexColumn(column, -1);
        ed.CaretGoTo(std::max(1, column), row);
        if (ed.Caret.Column != dragColumn_ || ed.Caret.Row != dragRow_) {
            if (!T_WHEEL->isActive() && row < count) changedEdit(Qt::ShiftModifier, 0, 2);
            dragColumn_ = ed.Caret.Column;
            dragRow_ = ed.Caret.Row;
            ed.SetSelectionEnd(dragColumn_, dragRow_);
            applySelection(Qt::ShiftModifier, dragRow_);
            refreshSelection();
            hoverText_->Hide();
        }
        return;
    }
    if (middleScrolling_) {
        T_WHEEL->setProperty("Tag", (middleStartY_ - y) / 10);
        return;
    }

    showRowHint(x, y);
    const int row = rowAtY(y);
    QCursor cursor(Qt::ArrowCursor);
    if (AppSettings().TELinkDblClk && linkAt(x, row)) {
        cursor = screenCursor(13, Qt::PointingHandCursor);
    } else if (viewType_ == vtFolder && AppSettings().FCTreeView && row < st.VisibleRowCount() &&
               engine::folderRows().RowFolderState(row) != 0 &&
               inFolderExpander(x < g.splitX ? 1 : 2, x, row, config::ScaleDpi(16))) {
        // Where a click opens or closes, the cursor says which.
        const bool closed = engine::folderRows().RowFolderState(row) == 1;
        cursor = screenCursor(closed ? 10 : 11, Qt::PointingHandCursor);
    } else if (PickModeOn()) {
        const int pane = x < g.splitX ? 1 : 2;
        if (pickPurpose != kPickSimilarity && viewType_ == vtFolder) {
            // The panes name the pair the click would compare.
            setActivePane(viewType_, pane);
            ed.SetActiveSide(pane);
            if (row >= 0 && row < st.VisibleRowCount()) setPanePairFromRow(row);
        }
        cursor = QCursor(pickAccepts(pane, row) ? Qt::PointingHandCursor : Qt::ForbiddenCursor);
    }
    if (rowArea_->cursor().shape() != cursor.shape() || cursor.shape() == Qt::BitmapCursor) rowArea_->setCursor(cursor);
}

void TF_Main::FormMouseUp(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    T_WHEEL->stop();
    T_WHEEL->setProperty("Tag", 0);
    if (middleScrolling_) rowArea_->setCursor(Qt::ArrowCursor);
    DragSelecting = false;
    middleScrolling_ = false;
    updateStatusBar();
}

void TF_Main::FormDblClick(QObject*) {
    hoverText_->Hide();
    if (mouseDownPoint_.y() > geometry_.paneBottom || Busy()) return;
    if (viewType_ == vtFolder) {
        folderDoubleClick();
        return;
    }
    if (AppSettings().TELinkDblClk && !linkText_.isEmpty()) {
        QDesktopServices::openUrl(QUrl(linkText_));
        return;
    }
    if (viewType_ != vtText && viewType_ != vtBinary) return;
    auto& ed = engine::editor();
    const int pane = ed.ActiveSide;
    const int row = ed.Caret.Row;
    if (engine::rows().IsRowMissing(pane, row))
        ed.SetSelection(1, row, 0, row);
    else if (!ed.SelectWordAtCaret())
        return;
    applySelection(Qt::ShiftModifier, ed.Caret.Row);
    refreshSelection();
    drawRulerMarker(pane);
    tim3ClickTimer->setProperty("Tag", 1);
    tim3ClickTimer->start();
}

void TF_Main::T_WHEELTimer(QObject*) {
    const int tag = tagOf(T_WHEEL);
    const int count = engine::paneStores().VisibleRowCount();
    const int page = rowsPerPage();
    const int old = topRow(viewType_);
    int top = old;
    if (tag > 0 && old > 1)
        top = old - tag;
    else if (tag < 0 && old + page - 1 < count)
        top = old - tag;
    top = std::clamp(top, 1, std::max(count - page + 1, 1));
    if (top != old) scrollToTop(top);
    if (DragSelecting && tag != 0) {
        rowArea_->update();
        const int first = topRow(viewType_);
        const int row = tag > 0 ? std::max(first - 2, 0) : std::clamp(first + page - 2, 0, std::max(count - 1, 0));
        auto& ed = engine::editor();
        ed.SetSelectionEnd(dragColumn_, row);
        applySelection(Qt::ShiftModifier, row);
        refreshSelection();
    }
}

// ---- hover text -------------------------------------------------------------------

quint32 TF_Main::hoverBackground(int pane, int row) const {
    const auto& r = engine::rows();
    const auto& colors = config::CurrentColorSet();
    TRowLook look;
    look.leftMissing = r.IsRowMissing(1, row);
    look.rightMissing = r.IsRowMissing(2, row);
    look.rowModified = r.RowResult(row) == 2;
    look.rowDiffers = !singlePaneView_ && (r.RowDiffers(row) || look.leftMissing != look.rightMissing);
    look.folderMode = engine::paneStores().FolderMode != 0;
    look.folderState = engine::folderRows().RowFolderState(row);
    return cellColorsForPane(pane, 0, 0, look, colors).colors.brush;
}

void TF_Main::showRowHint(int x, int y) {
    if (!hoverText_ || !hoverTextOn(viewType_)) return;
    const TLayoutGeometry& g = geometry_;
    const int lh = std::max(lineHeight_, 1);
    const int cw = std::max(charWidth_, 1);
    const auto& r = engine::rows();
    const int row = std::max(0, topRow(viewType_) + (y - g.paneTop) / lh - 1);
    if (DragSelecting || (viewType_ == vtText && r.IsRowSelected(engine::editor().ActiveSide, row))) {
        hoverText_->Hide();
        return;
    }
    if (row >= engine::paneStores().VisibleRowCount() || row == hoverText_->HoveredRow) return;
    const int pane = x < g.splitX ? 1 : 2;
    const int textX = pane == 1 ? g.leftTextX : g.rightTextX;
    int left = textX + 1;
    int right = pane == 1 ? g.columnEdges[5] + 1 - 2 : g.rightEdge - 3;
    int indent = -1;
    if (viewType_ == vtFolder && AppSettings().FCTreeView && HC1 && HC1->count() > 8) {
        // The tree view's name sits in the header's "Name" section, behind
        // its folder lines and icon.
        const int origin = Client->mapFromGlobal(HC1->mapToGlobal(QPoint(0, 0))).x();
        left = origin + HC1->sectionViewportPosition(pane == 1 ? 1 : 7);
        right = origin + HC1->sectionViewportPosition(pane == 1 ? 2 : 8) - 2;
        indent = (engine::folderRows().RowFolderDepth(row) * 2 + 3) * cw;
    }
    if (x < left || x > right || y > g.paneBottom - lh) {
        hoverText_->Hide();
        return;
    }
    QString text = r.RowText(pane, row);
    text.replace(QChar(engine::kTabFill), QChar(u' '));
    if ((right - left - indent) / cw >= text.size() && hScrollBar->value() <= 1) {
        hoverText_->Hide();
        return;
    }
    if (hoverText_->font() != paneFont_) {
        hoverText_->setFont(paneFont_);
        hoverText_->SetFont(paneFont_);
    }
    QPalette palette = hoverText_->palette();
    palette.setColor(QPalette::Base, AppSettings().GSAdaptivHT ? ToQColor(hoverBackground(pane, row))
                                                               : QToolTip::palette().color(QPalette::ToolTipBase));
    hoverText_->setPalette(palette);
    const QPoint at = Client->mapToGlobal(QPoint(left + indent - 1, g.paneTop + (row - topRow(viewType_) + 1) * lh));
    hoverText_->ShowText(at.x(), at.y(), text);
    hoverText_->HoveredRow = row;
}

// ---- pick mode and line similarity ------------------------------------------------

bool TF_Main::pickAccepts(int pane, int row) const {
    if (row < 0 || row >= engine::paneStores().VisibleRowCount()) return false;
    // Scores compare a line of the left pane with one of the right pane: a
    // line of the source's own pane has no score.
    if (pickPurpose == kPickSimilarity)
        return pane != pickSourcePane_ && !engine::rows().IsRowMissing(pane, row) && !singlePaneView_;
    if (viewType_ == vtFolder) return folderPickAccepts(pane, row);
    return !engine::rows().IsRowMissing(pane, row);
}

void TF_Main::pickMode(int mode) {
    const bool was = compareToPending_;
    auto& ed = engine::editor();
    if (mode == 0) {
        if (!compareToPending_) {
            compareToPending_ = true;
            pickSourcePane_ = ed.ActiveSide;
            pickSourceRow_ = ed.Caret.Row;
            pickSourceEntry_ = engine::folderRows().FolderRowEntry(ed.Caret.Row);
            rowArea_->setCursor(Qt::PointingHandCursor);
        }
    } else if (mode == 1) {
        if (!compareToPending_) return;
        compareToPending_ = false;
        rowArea_->setCursor(Qt::ArrowCursor);
        const int pane = ed.ActiveSide;
        const int row = ed.Caret.Row;
        // A click where the cursor said no-drop does nothing.
        if (pickAccepts(pane, row)) {
            if (pickPurpose == kPickSimilarity)
                showSimilarity(row, QCursor::pos());
            else if (viewType_ == vtFolder && pickSourceEntry_ >= 0)
                completeFolderPick(pane, row);
        }
    } else if (compareToPending_) {
        compareToPending_ = false;
        rowArea_->setCursor(Qt::ArrowCursor);
    }
    if (was != compareToPending_) updateStatusBar();
}

void TF_Main::showSimilarity(int targetRow, QPoint screenPoint) {
    const auto& r = engine::rows();
    const int source = r.RowIndex(pickSourceRow_);
    const int target = r.RowIndex(targetRow);
    if (source < 0 || target < 0) return;
    auto& fuzzy = engine::fuzzyProcessor();
    const int left = pickSourcePane_ == 1 ? source : target;
    const int right = pickSourcePane_ == 1 ? target : source;
    fuzzy.FuzzyPrepareSingleScore();
    engine::lineKeys().BuildColumnMask();
    const int score = std::min(fuzzy.LineSimilarity(left, right), 100);
    QString text = QStringLiteral("Similarity is ") + QString::number(score) + QLatin1Char('%');
    fuzzy.FuzzyLoadSettings();
    if (AppSettings().TCFPEnhance)
        text += QStringLiteral(" | ") + QString::number(fuzzy.LineSimilarity(left, right)) +
                QStringLiteral(" (enhanced)");
    if (hoverText_->font() != paneFont_) {
        hoverText_->setFont(paneFont_);
        hoverText_->SetFont(paneFont_);
    }
    hoverText_->ShowLines(screenPoint.x() + 5, screenPoint.y() + 5, text);
}

}  // namespace tandex::ui
