#pragma once
// The overview strip beside the panes: the whole document scaled to the
// strip's height, one coloured line per differing row, and a frame over the
// rows the panes show. A click or drag on the strip gives the row to scroll
// to.
//
// TNBar is the model: it scales the rows, fills one colour per pixel row and
// places the frame; it draws nothing itself. TNBarPanel is the panel the
// main window lays out beside the panes; its paintEvent draws the strokes
// the model lists, so all of the geometry is testable without a screen.

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/main/flat_button.h"

namespace tandex::ui {

class TNBar;

// Colour of a row (from 0): 0 for an equal row, else a colour in the low 24
// bits, with kOnlyLeftRow or kOnlyRightRow set when one pane alone has it.
using TNBarRowColor = std::function<quint32(int row)>;
inline constexpr quint32 kOnlyLeftRow = 0x1000000;
inline constexpr quint32 kOnlyRightRow = 0x2000000;

// What a repaint of the strip draws: filled pixel rectangles in order.
struct TNBarStroke {
    QRect rect;
    TColor color;
};

class TNBarPanel : public QWidget {
    Q_OBJECT

public:
    explicit TNBarPanel(QWidget* parent = nullptr);
    ~TNBarPanel() override;

    // The main window handles clicks and drags on the strip; x and y are the
    // panel's own coordinates.
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseDown;
    std::function<void(Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class TNBar;
    const TNBar* bar_ = nullptr;
};

class TNBar {
public:
    // Draws on panel, which must outlive the bar.
    explicit TNBar(TNBarPanel* panel);
    ~TNBar();
    TNBar(const TNBar&) = delete;
    TNBar& operator=(const TNBar&) = delete;

    TNBarRowColor OnRowColor;

    // The panel takes the background as its own colour.
    void SetColors(TColor background, TColor marker);
    TColor Background() const { return background_; }
    TColor MarkerColor() const { return marker_; }

    // Rescales for a new row count, page or panel size, refills the colours
    // and repaints without a frame.
    void Rebuild(int rows, int page, int maximumScale);
    // Frames the rows from top (from 0) on and repaints; -10000 repaints
    // without a frame.
    void Paint(int top);
    // The first row to show for a click (dragging false) or a drag at pixel
    // y. Negative for a click where one pixel stands for more than a quarter
    // page: the caller then looks for the nearest difference itself.
    int RowAt(int y, bool dragging);
    int RowsPerPixel() const;
    bool HasMarker() const { return markerHeight_ > 0; }

    double Scale() const { return scale_; }
    int PixelsPerRow() const { return pixelsPerRow_; }
    int MarkerHeight() const { return markerHeight_; }
    int MarkerTop() const { return markerTop_; }
    int MarkerBottom() const { return markerBottom_; }
    int Rows() const { return rows_; }
    int Page() const { return page_; }
    // One entry per pixel row of the panel.
    const std::vector<quint32>& Colors() const { return colors_; }

    // The strokes of the current look, in drawing order, for a panel of the
    // given size; the first fills the whole panel.
    std::vector<TNBarStroke> Strokes(int width, int height) const;

private:
    QPointer<TNBarPanel> panel_;
    TColor background_ = 0xFFFFFF;
    TColor marker_ = 0xC0C0C0;
    int rows_ = 0;
    int page_ = 0;
    int maximumScale_ = 0;
    double scale_ = 0.0;
    int pixelsPerRow_ = 0;
    int markerHeight_ = 0;
    // The frame of the last paint that drew one; a click keeps its offset.
    int markerTop_ = -1;
    int markerBottom_ = -1;
    int grabOffset_ = 0;
    int lastTop_ = -10000;
    // The frame as the next repaint draws it: first and last line, -1 for
    // none.
    int frameStart_ = -1;
    int frameEnd_ = -1;
    std::vector<quint32> colors_;
};

}  // namespace tandex::ui
