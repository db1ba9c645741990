#include "details_panel.h"

#include <QPainter>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"

namespace tandex::ui {

QColor colorOfBgr(quint32 bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

quint32 bgrOfColor(const QColor& c) { return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16; }

int rulerTickX(const TRulerSpec& r, int column) {
    return r.startX + r.charWidth / 2 + 3 + (column - r.firstColumn) * r.charWidth;
}

void drawRuler(QPainter& p, const TRulerSpec& r) {
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(r.flat ? QColor(0xC0, 0xC0, 0xC0) : QColor(0x80, 0x80, 0x80), 1));
    p.drawLine(0, 0, r.width, 0);
    const int borderX = r.startX + 2 - (r.lineNumbers ? 1 : 0);
    p.drawLine(borderX, r.height, borderX, 0);
    QFont font = r.font;
    font.setPointSize(qMax(font.pointSize() / 2, 7));
    p.setFont(font);
    const QFontMetrics fm(font);
    // The ticks stand out from the numbers by a redder shade.
    QColor tick = r.textColor;
    tick.setRed(qMin(255, tick.red() + 128));
    const QColor red(0xFF, 0, 0);
    for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
        const int x = rulerTickX(r, column);
        if (x > r.width) break;
        p.setPen(tick);
        if (column % 10 == 0) {
            p.drawLine(x, r.height, x, 1);
            if (x > r.numberLimitX) {
                const QString number = QString::number(column);
                p.setPen(column == r.markedColumn ? red : r.textColor);
                p.drawText(QRect(x - 1 - fm.horizontalAdvance(number), 0, fm.horizontalAdvance(number), fm.height()),
                           Qt::AlignRight | Qt::AlignTop, number);
            }
        } else {
            p.drawLine(x, r.height, x, r.height - (column % 5 == 0 ? r.height / 2 : r.height / 3));
        }
        if (column == r.markedColumn) {
            p.setPen(red);
            p.drawLine(x, r.height, x, 0);
        }
    }
    p.restore();
}

QColor TDetailsColors::caretBackground(int cls) const {
    return colorOfBgr(config::BlendColors(bgrOfColor(background), bgrOfColor(forClass(cls)), 64));
}

TDetailsColors detailsColorsOfSet(int setIndex) {
    const auto& s = config::AppSettings();
    TDetailsColors c;
    if (setIndex < 0 || setIndex >= int(s.ColorSets.size())) return c;
    const auto& set = s.ColorSets[size_t(setIndex)];
    const quint32 bg = set[config::EditLnBgCol];
    c.background = colorOfBgr(bg);
    c.text[dcDiffers] = colorOfBgr(set[config::DiffCol]);
    c.text[dcEqual] = colorOfBgr(set[config::EditLnCol]);
    c.text[dcFill] = colorOfBgr(config::BlendColors(bg, set[config::DiffCol], 64));
    c.text[dcBlankEqual] = colorOfBgr(config::BlendColors(bg, set[config::TextColL], 114));
    c.text[dcBlankDiffers] = colorOfBgr(config::BlendColors(bg, set[config::DiffCol], 114));
    c.text[dcFacingEmpty] = colorOfBgr(set[config::OrphanedCol]);
    c.orphaned = c.text[dcFacingEmpty];
    return c;
}

}  // namespace tandex::ui
