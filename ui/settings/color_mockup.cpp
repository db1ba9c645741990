#include "color_mockup.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "ui/main/details_panel.h"
#include "ui/main/row_paint.h"

namespace tandex::settings {

using namespace config;

namespace {

constexpr int kWidth = 488;
constexpr int kHeight = 308;
constexpr int kRow = 16;
constexpr int kPaneTop = 78;

constexpr int rowY(int row) {
    return kPaneTop + row * kRow;
}

struct TItemRow {
    const char* name;
    int entry;
    TMockKind kind;
    int x, y, w, h;
    const char* text;
    const char* hint;
    bool alignRight = false;
    int textEntry = -1;
};

const char* const kRuler = "1 . . . . 5 . . . . 10 . . . . 15 . . . . 20 . . . . 25 . . . . 30 . . . . 35";

// Shapes first, in painting order (later ones lie on top); the labels are
// painted over all of them. Rows of the panes: equal, modified, added,
// deleted, ignored, current, selected, selected folder, modified folder,
// equal.
const TItemRow kItems[] = {
    {"imgToolbarStart", TBStartCol, mkImage, 0, 0, 244, 24, "", " Start color of toolbar "},
    {"imgToolbarEnd", TBEndCol, mkImage, 244, 0, 244, 24, "", " End color of toolbar "},
    {"shTabBar", TabBarCol, mkShape, 0, 24, 488, 20, "", " Background color of tab bar "},
    {"shTabActive", TabActCol, mkShape, 4, 26, 96, 18, "", " Background color of active tab "},
    {"shTabInactive", TabInActCol, mkShape, 102, 26, 96, 18, "", " Background color of inactive tabs "},
    {"shHeadlineCol", HeadLnBgCol, mkShape, 0, 44, 488, 20, "", " Background color of headline "},
    {"shRulerBgColT", RulerBgCol, mkShape, 0, 64, 466, 14, "", " Background color of rulers "},
    {"shTextBG", TextBgCol, mkShape, 0, kPaneTop, 466, 160, "", " Background color of window "},
    {"shDiffTextCol", DiffBgCol, mkShape, 0, rowY(1), 466, kRow, "", " Background color of modified lines "},
    {"shAddBgCol", AddBgCol, mkShape, 0, rowY(2), 466, kRow, "", " Background color of added lines "},
    {"shDelBgCol", DelBgCol, mkShape, 0, rowY(3), 466, kRow, "", " Background color of deleted lines "},
    {"shIgnBgCol", IgnBgCol, mkShape, 0, rowY(4), 466, kRow, "", " Background color of ignored lines "},
    {"shHLCurLine", HLCurLineCol, mkShape, 0, rowY(5), 466, kRow, "", " Background color of current line "},
    {"shSelTextBgCol", SelTxtBgCol, mkShape, 0, rowY(6), 236, kRow, "", " Background color of selected lines "},
    {"shSelMateBgCol", SelMateBgCol, mkShape, 242, rowY(6), 224, kRow, "",
     " Background color of the selection's counterpart "},
    {"shSelFldBgCol", SelFldBgCol, mkShape, 0, rowY(7), 236, kRow, "", " Background color of selected folders "},
    {"shModFldBgCol", ModFldBgCol, mkShape, 0, rowY(8), 466, kRow, "",
     " Background color of folders containing modifications "},
    {"shLineNoBGL", LNumBgCol, mkShape, 0, kPaneTop, 28, 160, "", " Background color of line numbers "},
    {"shLineNoBGR", LNumBgCol, mkShape, 242, kPaneTop, 28, 160, "", " Background color of line numbers "},
    {"shSelLNCol", SelLnBgCol, mkShape, 0, rowY(6), 28, kRow, "", " Background color of selected line numbers "},
    {"shSplitter", SplitterCol, mkShape, 236, kPaneTop, 6, 160, "", " Color of splitter "},
    {"shThumbnail", TNBarBgCol, mkShape, 466, 64, 22, 174, "", " Color of difference overview bar "},
    {"shThumbSlider", TNBarSlCol, mkShape, 469, 96, 16, 44, "", " Color of overview bar slider "},
    {"shEditlineCol", EditLnBgCol, mkShape, 0, 238, 488, 36, "", " Background color of details panel "},
    {"shRulerBgCol", RulerBgCol, mkShape, 0, 274, 488, 14, "", " Background color of rulers "},
    {"shStatuslineCol", StatLnBgCol, mkShape, 0, 288, 488, 20, "", " Background color of status bar "},

    {"lTabActiveCol", TabActTxtCol, mkLabel, 12, 26, 86, 18, "report-2023.txt", " Text color of active tab "},
    {"lTabInactiveCol", TabInActTxtCol, mkLabel, 110, 26, 86, 18, "Folders", " Text color of inactive tabs "},
    {"lHeadlineCol", HeadLnCol, mkLabel, 8, 44, 470, 20, "~/reports/report-2023.txt   \u2194   ~/reports/report-2024.txt",
     " Text color of headline "},
    {"lRulerTxtColTL", RulerTxtCol, mkLabel, 32, 64, 202, 14, kRuler, " Text color of rulers "},
    {"lRulerTxtColTR", RulerTxtCol, mkLabel, 274, 64, 190, 14, kRuler, " Text color of rulers "},
    {"lLineNoL", LNumCol, mkLabel, 0, kPaneTop, 25, 160, "1\n2\n\n3\n4\n5\n\n7\n8\n9", " Text color of line numbers ",
     true},
    {"lLineNoR", LNumCol, mkLabel, 242, kPaneTop, 25, 160, "1\n2\n3\n\n4\n5\n6\n7\n8\n9",
     " Text color of line numbers ", true},
    {"lSelLNCol", SelLnCol, mkLabel, 0, rowY(6), 25, kRow, "6", " Text color of selected line numbers ", true},
    {"lTextColorL", TextColL, mkLabel, 32, kPaneTop, 200, 160, "Equal line\n\n\n\n\n\n\n\n\nAnother equal line",
     " Text color of equal lines, left pane "},
    {"lTextColorR", TextColR, mkLabel, 274, kPaneTop, 188, 160,
     "Equal line\n\n\n\n\n\nA selected line\n\n\nAnother equal line", " Text color of equal lines, right pane "},
    {"lModTextColorL", DiffCol, mkLabel, 32, rowY(1), 200, kRow, "A modified line", " Text color of modified lines "},
    {"lModTextColorR", DiffCol, mkLabel, 274, rowY(1), 188, kRow, "A modified line!",
     " Text color of modified lines "},
    {"lAddTextColor", OrphanedCol, mkLabel, 274, rowY(2), 188, kRow, "An added line",
     " Text color of added and deleted lines "},
    {"lDelTextColor", OrphanedCol, mkLabel, 32, rowY(3), 200, kRow, "A deleted line",
     " Text color of added and deleted lines "},
    {"lIgnTxtColL", IgnTxtCol, mkLabel, 32, rowY(4), 200, kRow, "# an ignored line", " Text color of ignored lines "},
    {"lIgnTxtColR", IgnTxtCol, mkLabel, 274, rowY(4), 188, kRow, "# an ignored line", " Text color of ignored lines "},
    {"lHLCurLine", HLCurLineCol, mkLabel, 32, rowY(5), 200, kRow, "The current line",
     " Background color of current line ", false, TextColL},
    {"lSelTextColor", SelTxtCol, mkLabel, 32, rowY(6), 200, kRow, "A selected line", " Text color of selected lines "},
    {"lSelFldColor", SelFldCol, mkLabel, 32, rowY(7), 200, kRow, "[A selected folder]",
     " Text color of selected folders "},
    {"lModFldColorL", ModFldCol, mkLabel, 32, rowY(8), 200, kRow, "[A folder with changes]",
     " Text color of folders containing modifications "},
    {"lModFldColorR", ModFldCol, mkLabel, 274, rowY(8), 188, kRow, "[A folder with changes]",
     " Text color of folders containing modifications "},
    {"lEditlineCol", EditLnCol, mkLabel, 8, 240, 470, 32, "A modified line\nA modified line!",
     " Text color of details panel "},
    {"lRulerTxtCol", RulerTxtCol, mkLabel, 8, 274, 470, 14, kRuler, " Text color of rulers "},
    {"lStatuslineCol", StatLnCol, mkLabel, 8, 288, 470, 20, "Line 2, column 1      4 differences",
     " Text color of status bar "},
};

}  // namespace

TColorMockup::TColorMockup(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Mockup"));
    setFixedSize(ScaleDpi(kWidth), ScaleDpi(kHeight));
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setPixelSize(ScaleDpi(11));
    setFont(f);
    for (const TItemRow& row : kItems) {
        TMockItem item;
        item.name = QLatin1String(row.name);
        item.entry = row.entry;
        item.kind = row.kind;
        item.rect = QRect(row.x, row.y, row.w, row.h);
        item.text = QString::fromUtf8(row.text);
        item.hint = QLatin1String(row.hint);
        item.alignRight = row.alignRight;
        item.textEntry = row.textEntry;
        items_.push_back(item);
    }
    colors_ = BuiltInColorSet(0);
}

const TMockItem* TColorMockup::Item(const QString& name) const {
    for (const TMockItem& item : items_)
        if (item.name == name) return &item;
    return nullptr;
}

QRect TColorMockup::scaled(const QRect& r) const {
    return QRect(ScaleDpi(r.x()), ScaleDpi(r.y()), ScaleDpi(r.width()), ScaleDpi(r.height()));
}

std::vector<std::pair<QString, QRect>> TColorMockup::labelRows(const TMockItem& item) const {
    std::vector<std::pair<QString, QRect>> rows;
    const QStringList lines = item.text.split(u'\n');
    const QRect area = scaled(item.rect);
    const QFontMetrics fm(font());
    const int n = int(lines.size());
    for (int i = 0; i < n; ++i) {
        const int top = area.top() + area.height() * i / n;
        const int bottom = area.top() + area.height() * (i + 1) / n;
        const int width = qMin(fm.horizontalAdvance(lines[i]), area.width());
        const int left = item.alignRight ? area.right() + 1 - width : area.left();
        rows.emplace_back(lines[i], QRect(left, top, width, bottom - top));
    }
    return rows;
}

QRect TColorMockup::ItemRect(const QString& name) const {
    const TMockItem* item = Item(name);
    if (!item) return {};
    if (item->kind != mkLabel) return scaled(item->rect);
    QRect covered;
    for (const auto& [text, r] : labelRows(*item))
        if (!text.isEmpty()) covered = covered.united(r);
    return covered;
}

const TMockItem* TColorMockup::ItemAt(QPoint pos) const {
    // Labels lie on top; a label takes clicks only on its text, so the
    // background around it stays reachable.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (it->kind != mkLabel) continue;
        for (const auto& [text, r] : labelRows(*it))
            if (!text.isEmpty() && r.contains(pos)) return &*it;
    }
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (it->kind != mkLabel && scaled(it->rect).contains(pos)) return &*it;
    return nullptr;
}

void TColorMockup::SetHint(const QString& name, const QString& hint) {
    for (TMockItem& item : items_)
        if (item.name == name) item.hint = hint;
}

void TColorMockup::SetColors(const TColorSet& colors) {
    colors_ = colors;
    update();
}

void TColorMockup::SetColor(int entry, quint32 color) {
    if (entry < 0 || entry >= kColorsPerSet) return;
    colors_[size_t(entry)] = color;
    update();
}

void TColorMockup::SetFlatToolbar(bool flat) {
    flatToolbar_ = flat;
    update();
}

quint32 TColorMockup::entryColor(int entry) const {
    return ui::paintColor(colors_, entry);
}

quint32 TColorMockup::ItemColor(const TMockItem& item) const {
    if (item.kind == mkImage && flatToolbar_) return entryColor(TBEndCol);
    return entryColor(item.entry);
}

void TColorMockup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    for (const TMockItem& item : items_) {
        if (item.kind == mkLabel || item.name == u"imgToolbarEnd") continue;
        if (item.kind == mkShape) {
            p.fillRect(scaled(item.rect), ui::colorOfBgr(entryColor(item.entry)));
            continue;
        }
        // The two halves of the tool bar are one gradient.
        const QRect bar = scaled(QRect(0, item.rect.y(), kWidth, item.rect.height()));
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, ui::colorOfBgr(ItemColor(item)));
        if (const TMockItem* end = Item(QStringLiteral("imgToolbarEnd")))
            gradient.setColorAt(1, ui::colorOfBgr(ItemColor(*end)));
        p.fillRect(bar, gradient);
        // A few buttons, so that the strip reads as a tool bar.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 96));
        const int size = ScaleDpi(16);
        for (int i = 0; i < 9; ++i)
            p.drawRoundedRect(QRect(ScaleDpi(6 + i * 24), bar.top() + (bar.height() - size) / 2, size, size),
                              ScaleDpi(3), ScaleDpi(3));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    for (const TMockItem& item : items_) {
        if (item.kind != mkLabel) continue;
        p.setPen(ui::colorOfBgr(entryColor(item.textEntry >= 0 ? item.textEntry : item.entry)));
        for (const auto& [text, r] : labelRows(item))
            if (!text.isEmpty()) p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    // Hairlines between the window's strips, which many sets paint alike.
    p.setPen(QColor(200, 200, 200));
    for (int y : {44, kPaneTop, 238, 288}) p.drawLine(0, ScaleDpi(y) - 1, width(), ScaleDpi(y) - 1);
    p.setPen(QColor(160, 160, 160));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorMockup::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const TMockItem* item = ItemAt(event->position().toPoint());
    if (item && OnItemClick) OnItemClick(*item);
}

bool TColorMockup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const TMockItem* item = ItemAt(help->pos()))
            QToolTip::showText(help->globalPos(), item->hint, this, ItemRect(item->name));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace tandex::settings
