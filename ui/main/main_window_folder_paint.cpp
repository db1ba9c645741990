// Painting the folder view: the rows of the tree and the list view with
// their guide lines, icons and info columns, the column separators, and
// the column header above them.

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <functional>

#include "access/archive_paths.h"
#include "access/file_times.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "folder_view_seam.h"
#include "main_window.h"
#include "print_seams.h"
#include "row_area.h"
#include "flat_button.h"
#include "row_paint.h"

namespace tandex::ui {

namespace {

using config::AppSettings;

TColor colorOf(int index) { return paintColor(config::CurrentColorSet(), index); }

constexpr TColor kTreeLineGrey = 0x808080;
constexpr TColor kSeparatorGrey = 0xC0C0C0;

bool entryHasNextSibling(int entry) {
    const auto& st = engine::paneStores();
    if (entry < 0 || entry >= st.FolderEntryCount) return false;
    // Written to both panes alike; an absent side holds the shared empty record.
    return st.FolderEntries[1][entry]->HasNextSibling || st.FolderEntries[2][entry]->HasNextSibling;
}

}  // namespace

bool TF_Main::folderCompareRunning() const { return folderView().FolderRunState() == 2; }

// ---- one folder row -----------------------------------------------------------------

void TF_Main::paintFolderRow(QPainter& painter, int row, int y, const TRowLook& look) {
    const auto& s = AppSettings();
    const auto& r = engine::rows();
    const auto& f = engine::folderRows();
    TFolderRowPaint p;
    p.row = row;
    p.y = y;
    p.look = look;
    for (int pane = 1; pane <= 2; ++pane) {
        QString text = r.RowText(pane, row);
        p.placeholder[pane] = isPlaceholderText(text);
        if (p.placeholder[pane]) text.clear();
        p.texts[pane] = text;
    }
    const int depth = std::max(f.RowFolderDepth(row), 0);
    if (s.FCTreeView) {
        paintFolderCells(painter, p, depth * 2 + 3);
        paintInfoColumns(painter, p);
        // On paper the lines sit a little lower, level with the larger icons.
        paintTreeLines(painter, row, printing_ ? y + 2 : y);
        paintFolderIcons(painter, p, depth);
    } else if (look.rowDiffers && r.IsRowOnBothSides(row)) {
        const TLayoutGeometry& g = geometry_;
        // The path starts where the info text ends: measured on the texts,
        // so that a time format of another width still marks the whole path.
        const int entry = f.FolderRowEntry(row);
        const int infoWidth =
            int(std::min(f.FolderEntryInfoText(1, entry).size(), f.FolderEntryInfoText(2, entry).size())) + 1;
        paintCharDiffCells(painter, p, p.texts[1], p.texts[2], g.leftTextX + 1, g.rightTextX + 1, true,
                           g.visibleColsLeft, g.visibleColsRight, infoWidth);
    } else {
        paintFolderCells(painter, p, 0);
    }
}

TCellChoice TF_Main::folderCellChoice(int pane, const TFolderRowPaint& p) const {
    const auto& r = engine::rows();
    const int selThis = printSelectionOnly_ ? 0 : r.RowSelectionKind(pane, p.row);
    const int selOther = printSelectionOnly_ ? 0 : r.RowSelectionKind(engine::PaneStores::OtherSide(pane), p.row);
    return cellColorsForPane(pane, selThis, selOther, p.look, config::CurrentColorSet());
}

void TF_Main::paintFolderCells(QPainter& painter, const TFolderRowPaint& p, int indent) {
    const TLayoutGeometry& g = geometry_;
    const auto& e = g.columnEdges;
    const int cw = std::max(charWidth_, 1);
    const int lh = std::max(lineHeight_, 1);
    const int firstCol = std::max(1, hScrollBar->value());
    const int ascent = rowAscent();
    const bool tree = indent > 0;
    const bool eitherMissing = p.look.leftMissing || p.look.rightMissing;
    for (int pane = 1; pane <= (singlePaneView_ ? 1 : 2); ++pane) {
        const TCellChoice choice = folderCellChoice(pane, p);
        const int textX = pane == 1 ? g.leftTextX : g.rightTextX;
        const int cellEnd = pane == 1 ? e[5] + 1 : g.rightEdge;
        painter.fillRect(QRect(textX, p.y, std::max(cellEnd - textX, 0), lh + 1), ToQColor(choice.colors.brush));

        const QString& full = p.texts[pane];
        // A folder row is selected as a whole line.
        const bool selected = choice.sel == 1;
        if (selected) {
            const int nameX = pane == 1 ? e[1] : e[7];
            const int from = std::max(nameX + (1 - firstCol) * cw, nameX);
            const int to = std::min(nameX + (int(full.size()) + 1 - firstCol) * cw + config::Helpers().DpiPx2, cellEnd);
            if (to > from)
                painter.fillRect(QRect(from, p.y, to - from, lh),
                                 ToQColor(colorOf(choice.mate != 0 ? config::SelMateBgCol : config::SelTxtBgCol)));
        }

        QString text = full.mid(firstCol - 1);
        int x = textX + 1;
        if (tree) {
            const int nameWidth = pane == 1 ? e[2] - e[1] : e[8] - e[7];
            text.truncate(std::max(nameWidth / cw - indent, 0));
            x = textX + indent * cw;
        } else {
            const int visible = pane == 1 ? g.visibleColsLeft : g.visibleColsRight;
            text.truncate(std::max(visible, 0));
        }
        if (text.isEmpty()) continue;
        const TColor font = selected && !eitherMissing ? colorOf(config::SelTxtCol) : choice.colors.font;
        painter.save();
        painter.setClipRect(QRect(textX, p.y, std::max(cellEnd - textX, 0), lh));
        painter.setPen(ToQColor(font));
        rowCells().Draw(painter, x, p.y + ascent, text);
        painter.restore();
    }
}

void TF_Main::paintCharDiffCells(QPainter& painter, const TFolderRowPaint& p, const QString& left,
                                 const QString& right, int xLeft, int xRight, bool fromFirstVisible,
                                 int visibleLeft, int visibleRight, int infoWidth) {
    const TLayoutGeometry& g = geometry_;
    const int cw = std::max(charWidth_, 1);
    const int lh = std::max(lineHeight_, 1);
    const int ascent = rowAscent();
    const int panes = singlePaneView_ ? 1 : 2;
    const int xs[3] = {0, xLeft, xRight};
    const int ends[3] = {0, g.columnEdges[5] + 1, g.rightEdge};
    bool selected[3] = {false, false, false};
    for (int pane = 1; pane <= panes; ++pane) {
        const TCellChoice choice = folderCellChoice(pane, p);
        painter.fillRect(QRect(xs[pane] - 1, p.y, std::max(ends[pane] - xs[pane] + 1, 0), lh + 1),
                         ToQColor(choice.colors.brush));
        selected[pane] = !printSelectionOnly_ && engine::rows().RowSelectionKind(pane, p.row) != 0;
    }
    const int first = fromFirstVisible ? std::max(1, hScrollBar->value()) : 1;
    const bool folderRow = p.look.folderState != 0;
    const QString* texts[3] = {nullptr, &left, &right};
    for (const TCharDiffRun& run : splitCharDiffRuns(left, right, first, visibleLeft, visibleRight, infoWidth)) {
        for (int pane = 1; pane <= panes; ++pane) {
            const QString piece = texts[pane]->mid(run.column - 1, run.count);
            if (piece.isEmpty()) continue;
            const int x = xs[pane] + (run.column - first) * cw;
            painter.save();
            painter.setClipRect(QRect(xs[pane] - 1, p.y, std::max(ends[pane] - xs[pane] + 1, 0), lh));
            painter.setPen(ToQColor(charDiffRunFont(pane, run.differs, selected[pane], folderRow, config::CurrentColorSet())));
            rowCells().Draw(painter, x, p.y + ascent, piece);
            painter.restore();
        }
    }
}

void TF_Main::paintInfoColumns(QPainter& painter, const TFolderRowPaint& p) {
    const auto& s = AppSettings();
    const auto& f = engine::folderRows();
    const auto& e = geometry_.columnEdges;
    const int cw = std::max(charWidth_, 1);
    const int lh = std::max(lineHeight_, 1);
    const int ascent = rowAscent();
    const bool absent[3] = {false, p.look.leftMissing || p.placeholder[1], p.look.rightMissing || p.placeholder[2]};
    const bool marked = (!p.look.leftMissing && !p.look.rightMissing && p.look.folderState == 0) || s.FCHLFldDif;
    struct Column {
        bool shown;
        int section;
        int width;
        std::function<QString(int)> text;
    };
    const Column columns[] = {
        {s.FCShowSize, 2, 14, [&](int pane) { return f.FolderRowSizeText(pane, p.row); }},
        {s.FCShowDT, 3, 24,
         [&](int pane) { return QStringLiteral(" ") + access::FZFileTimeText(f.RowFileTime(pane, p.row)); }},
        {s.FCShowAttr, 4, 5, [&](int pane) { return access::FZAttrText(f.FolderRowAttributes(pane, p.row)); }},
    };
    for (const Column& c : columns) {
        if (!c.shown) continue;
        QString texts[3];
        for (int pane = 1; pane <= 2; ++pane)
            if (!absent[pane]) texts[pane] = c.text(pane).left(c.width);
        const int xLeft = e[size_t(c.section)], xRight = e[size_t(c.section + 6)];
        if (marked) {
            paintCharDiffCells(painter, p, texts[1], texts[2], xLeft, xRight, false, c.width, c.width, 0);
            continue;
        }
        for (int pane = 1; pane <= (singlePaneView_ ? 1 : 2); ++pane) {
            const TCellChoice choice = folderCellChoice(pane, p);
            TColor font = choice.colors.font;
            if (p.look.leftMissing || p.look.rightMissing)
                font = colorOf(config::OrphanedCol);
            else if (choice.sel == 0)
                font = colorOf(pane == 1 ? config::TextColL : config::TextColR);
            else if (choice.sel == 2)
                font = colorOf(config::SelFldCol);
            if (texts[pane].isEmpty()) continue;
            const int x = pane == 1 ? xLeft : xRight;
            painter.save();
            painter.setClipRect(QRect(x, p.y, c.width * cw, lh));
            painter.setPen(ToQColor(font));
            rowCells().Draw(painter, x, p.y + ascent, texts[pane]);
            painter.restore();
        }
    }
}

void TF_Main::paintTreeLines(QPainter& painter, int row, int y) {
    const auto& f = engine::folderRows();
    const int depth = f.RowFolderDepth(row);
    if (depth <= 0) return;
    std::vector<bool> next;
    int entry = f.FolderRowEntry(row);
    for (int level = depth; level >= 1 && entry >= 0; --level) {
        next.push_back(entryHasNextSibling(entry));
        const int parent = f.FolderEntryParent(1, entry);
        entry = parent >= 0 ? parent : f.FolderEntryParent(2, entry);
    }
    const auto& h = config::Helpers();
    TTreeMetrics m;
    m.y = y;
    m.lineHeight = std::max(lineHeight_, 1);
    m.charWidth = std::max(charWidth_, 1);
    m.dpiPx2 = h.DpiPx2;
    m.dpiPx3 = h.DpiPx3;
    m.dpiPx8 = config::ScaleDpi(8);
    const QColor grey = ToQColor(kTreeLineGrey);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int pane = 1; pane <= (singlePaneView_ ? 1 : 2); ++pane) {
        m.textX = pane == 1 ? geometry_.leftTextX : geometry_.rightTextX;
        const TTreeLines lines = treeLinePrimitives(depth, next, m);
        // The end points are exclusive, as the line and ellipse calls the
        // coordinates were worked out for.
        for (const TTreeSegment& l : lines.lines) {
            if (l.x1 == l.x2)
                painter.fillRect(QRect(l.x1, l.y1, 1, l.y2 - l.y1), grey);
            else
                painter.fillRect(QRect(l.x1, l.y1, l.x2 - l.x1, 1), grey);
        }
        painter.setPen(grey);
        painter.setBrush(grey);
        for (const TTreeSegment& c : lines.circles)
            painter.drawEllipse(QRect(c.x1, c.y1, c.x2 - c.x1 - 1, c.y2 - c.y1 - 1));
    }
    painter.restore();
}

int TF_Main::folderRowIconRole(int pane, int row, bool placeholder) const {
    const auto& f = engine::folderRows();
    const int state = f.RowFolderState(row);
    const bool archive = state == 0 && access::FZIsArchiveFile(f.FolderRowPath(pane, row));
    return folderIconRole(state, placeholder, f.FolderRowStatus(pane, row), archive);
}

void TF_Main::paintFolderIcons(QPainter& painter, const TFolderRowPaint& p, int depth) {
    const QList<QImage>* icons = ImageList(32);
    if (!icons) return;
    const int lh = std::max(lineHeight_, 1);
    // On paper: 22 screen pixels square, whatever the icon's own size.
    const QPoint printSize = printing_ ? report().ScreenToUnits(22, 22) : QPoint();
    painter.save();
    // A picture taller than the row would cover the names of its neighbours.
    painter.setClipRect(QRect(0, p.y, geometry_.rightEdge, lh + 1), Qt::IntersectClip);
    for (int pane = 1; pane <= (singlePaneView_ ? 1 : 2); ++pane) {
        const int role = folderRowIconRole(pane, p.row, p.placeholder[pane]);
        if (role < 0 || role >= icons->size()) continue;
        const int textX = pane == 1 ? geometry_.leftTextX : geometry_.rightTextX;
        const int indent = depth * 2 * std::max(charWidth_, 1);
        if (printing_) {
            painter.drawImage(QRect(textX + indent - 16, p.y + lh / 2 - 27, printSize.x(), printSize.y()),
                              icons->at(role));
            continue;
        }
        const int x = textX + indent - config::ScaleDpi(8);
        painter.drawImage(QPoint(x, p.y + lh / 2 - config::ScaleDpi(16)), icons->at(role));
    }
    painter.restore();
}

void TF_Main::paintFolderSeparators(QPainter& painter) {
    const auto& s = AppSettings();
    if (!engine::paneStores().FolderMode || !s.FCTreeView) return;
    const TLayoutGeometry& g = geometry_;
    const bool shown[] = {s.FCShowSize, s.FCShowDT, s.FCShowAttr};
    const QColor grey = ToQColor(kSeparatorGrey);
    for (int i = 2; i <= 10; ++i) {
        const int info = i <= 4 ? i - 2 : i >= 8 ? i - 8 : -1;
        if (info < 0 || !shown[info] || g.sectionWidths[size_t(i)] <= 0) continue;
        if (singlePaneView_ && i >= 6) continue;
        painter.fillRect(QRect(g.columnEdges[size_t(i)], g.paneTop, 1, g.paneBottom - g.paneTop), grey);
    }
}

// ---- the column header ----------------------------------------------------------------

void TF_Main::HC1DrawSection(QPainter& painter, int section, const QRect& rect, bool pressed) {
    const TColor brush = pressed ? pressedHeaderColor(colorOf(config::HeadLnBgCol)) : colorOf(config::StatLnBgCol);
    painter.save();
    painter.setPen(ToQColor(kSeparatorGrey));
    painter.setBrush(ToQColor(brush));
    // Left, top to right + 1, bottom with the far ends left out.
    painter.drawRect(QRect(rect.left(), rect.top(), rect.width(), rect.height() - 1));
    const QString caption = HC1->model()->headerData(section, Qt::Horizontal).toString();
    if (rect.width() > 0 && !caption.isEmpty()) {
        const QFontMetrics fm(painter.font());
        int x = rect.left() + (rect.right() - rect.left()) / 2 - fm.horizontalAdvance(caption) / 2;
        if (rect.left() == 0 && HC1->sectionViewportPosition(section) == 0) x += geometry_.diffBarWidth / 2;
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x, rect.top() + fm.ascent()), caption);
    }
    painter.restore();
}

void TF_Main::HC1MouseMove(int x) {
    std::vector<int> lefts;
    for (int i = 0; i < HC1->count(); ++i) lefts.push_back(HC1->sectionViewportPosition(i));
    const int section = headerSectionAt(lefts, x);
    if (HC1->property("Tag").toInt() == section) return;
    QToolTip::hideText();
    HC1->setProperty("Tag", section);
    HC1->setToolTip(headerSectionHint(section));
}

void THeaderBar::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!main_) return QHeaderView::paintSection(painter, rect, logicalIndex);
    main_->HC1DrawSection(*painter, logicalIndex, rect, logicalIndex == pressed_);
}

void THeaderBar::mouseMoveEvent(QMouseEvent* event) {
    if (main_) main_->HC1MouseMove(int(event->position().x()));
    QHeaderView::mouseMoveEvent(event);
}

void THeaderBar::mousePressEvent(QMouseEvent* event) {
    pressed_ = logicalIndexAt(event->position().toPoint());
    viewport()->update();
    QHeaderView::mousePressEvent(event);
}

void THeaderBar::mouseReleaseEvent(QMouseEvent* event) {
    pressed_ = -1;
    viewport()->update();
    QHeaderView::mouseReleaseEvent(event);
}

}  // namespace tandex::ui
