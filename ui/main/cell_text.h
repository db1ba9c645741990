#pragma once
// Text drawn in character cells. Every column position of the panes is a
// multiple of one whole-pixel cell width: painting, in-line marks, the
// selection, the caret, hit testing, the rulers and the hex columns all
// count that way. A font advances by a fraction of a pixel, so text drawn
// as a string drifts off its columns along a long row (three characters by
// column 61 at common sizes). Here each character is put in its own cell
// instead, one glyph run per call, so what is drawn is what was counted.

#include <QFont>
#include <QRawFont>
#include <QStringView>

class QPaintDevice;

class QPainter;

namespace tandex::ui {

// The cell width of a font: its real advance of "A", rounded up to whole
// pixels so that every glyph of a monospaced font fits its cell. A trace
// above a whole pixel (the rounding of the glyph metrics) is not rounded up.
int CellWidthOf(const QFont& font);

// The font with its advance stretched to exactly cellWidth pixels, for
// widgets that lay out text themselves (the details fields under the
// rulers).
QFont CellAlignedFont(const QFont& font, int cellWidth);

class TCellText {
public:
    void SetFont(const QFont& font, int cellWidth);
    // For a page device: text is written as text (a page keeps characters,
    // not glyph indexes), spaced to the cells by the device's metrics.
    void SetPageFont(const QFont& font, int cellWidth, QPaintDevice* device);
    const QFont& Font() const { return font_; }
    int CellWidth() const { return cellWidth_; }

    // Draws text with its first character in the cell that starts at x, on
    // the baseline y, in the painter's pen colour; underline draws a line
    // under every cell. A character the font has no glyph for is drawn on
    // its own through the painter's font fallback, still in its cell;
    // control characters (an expanded tab's placeholder) show nothing.
    void Draw(QPainter& painter, int x, int baseline, QStringView text, bool underline = false) const;

private:
    QFont font_;
    QRawFont raw_;
    int cellWidth_ = 8;
    int underlinePos_ = 1;
    int strikeOutPos_ = 3;
    int lineWidth_ = 1;
    bool asText_ = false;
};

}  // namespace tandex::ui
