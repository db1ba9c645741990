#include "ui/main/cell_text.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>

#include <cmath>
#include <vector>

namespace tandex::ui {

namespace {

// Glyph metrics come in 1/64 pixel: an advance of 8.015 is 8 in truth.
constexpr qreal kAdvanceSlack = 0.05;

}  // namespace

int CellWidthOf(const QFont& font) {
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('A'));
    return std::max(1, int(std::ceil(advance - kAdvanceSlack)));
}

QFont CellAlignedFont(const QFont& font, int cellWidth) {
    QFont aligned = font;
    aligned.setKerning(false);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('A'));
    aligned.setLetterSpacing(QFont::AbsoluteSpacing, cellWidth - advance);
    return aligned;
}

void TCellText::SetFont(const QFont& font, int cellWidth) {
    font_ = font;
    cellWidth_ = std::max(1, cellWidth);
    raw_ = QRawFont::fromFont(font);
    const QFontMetrics fm(font);
    underlinePos_ = std::max(1, fm.underlinePos());
    strikeOutPos_ = fm.strikeOutPos();
    lineWidth_ = std::max(1, fm.lineWidth());
}

void TCellText::SetPageFont(const QFont& font, int cellWidth, QPaintDevice* device) {
    cellWidth_ = std::max(1, cellWidth);
    asText_ = true;
    raw_ = QRawFont();
    font_ = font;
    font_.setKerning(false);
    const QFontMetricsF fm(font, device);
    font_.setLetterSpacing(QFont::AbsoluteSpacing, cellWidth_ - fm.horizontalAdvance(QLatin1Char('A')));
    underlinePos_ = std::max(1, int(std::lround(fm.underlinePos())));
    strikeOutPos_ = int(std::lround(fm.strikeOutPos()));
    lineWidth_ = std::max(1, int(std::lround(fm.lineWidth())));
}

void TCellText::Draw(QPainter& painter, int x, int baseline, QStringView text, bool underline) const {
    if (text.isEmpty()) return;
    if (asText_) {
        QString shown = text.toString();
        for (QChar& c : shown)
            if (c.category() == QChar::Other_Control) c = u' ';
        painter.save();
        painter.setFont(font_);
        painter.drawText(QPointF(x, baseline), shown);
        painter.restore();
        const int width = int(text.size()) * cellWidth_;
        if (underline || font_.underline())
            painter.fillRect(QRect(x, baseline + underlinePos_, width, lineWidth_), painter.pen().color());
        return;
    }
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    std::vector<qsizetype> fallback;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A pair stands in the cell of its first half; the second half's
        // cell stays empty, as the columns count both.
        const int units = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const uint code = units == 2 ? QChar::surrogateToUcs4(c, text[i + 1]) : c.unicode();
        if (QChar::category(code) == QChar::Other_Control) continue;
        quint32 glyph = 0;
        int count = 1;
        if (raw_.isValid() && raw_.glyphIndexesForChars(text.data() + i, units, &glyph, &count) && count == 1 &&
            glyph != 0) {
            glyphs.append(glyph);
            positions.append(QPointF(x + i * cellWidth_, baseline));
        } else {
            fallback.push_back(i);
        }
        i += units - 1;
    }
    if (!glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(raw_);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!fallback.empty()) {
        painter.save();
        painter.setFont(font_);
        for (qsizetype i : fallback) {
            const int units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            painter.drawText(QPointF(x + i * cellWidth_, baseline), text.mid(i, units).toString());
        }
        painter.restore();
    }
    // Glyph runs carry no decoration: the lines are drawn across the cells.
    const int width = int(text.size()) * cellWidth_;
    if (underline || font_.underline())
        painter.fillRect(QRect(x, baseline + underlinePos_, width, lineWidth_), painter.pen().color());
    if (font_.strikeOut())
        painter.fillRect(QRect(x, baseline - strikeOutPos_, width, lineWidth_), painter.pen().color());
}

}  // namespace tandex::ui
