#pragma once
// The image view's two picture controls and the per-pane picture state the
// engine owns. A control draws its picture scaled into its own rectangle:
// the window sizes and places it for the zoom, so no zoomed copy of the
// picture is ever made.

#include <QImage>
#include <QWidget>
#include <functional>

#include "engine/pane_stores.h"

namespace tandex::ui {

// A pane's loaded picture (always QImage::Format_ARGB32) and its values:
// where it stands in its panel, its natural and shown size, the bits per
// pixel of the file, and the pan offset the mouse added.
class TPaneImage : public engine::PaneImageState {
public:
    void release() override { picture = QImage(); }
    QImage picture;
    int left = 0, top = 0;
    int width = 0, shownWidth = 0;
    int height = 0, shownHeight = 0;
    int bitsPerPixel = 0;
    int panX = 0, panY = 0;
};

// The pane's picture state, nullptr while it shows none.
TPaneImage* paneImage(int pane);

// The picture control: paints the picture over its whole rectangle and
// hands its mouse to the window.
class TImagePane : public QWidget {
    Q_OBJECT
public:
    explicit TImagePane(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    void clear();
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp, OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

// The largest zoom (percent) at which a picture's zoomed width and height
// stay within 8,000 pixels; limited tells whether zoom had to be cut.
int limitZoom(int width, int height, int zoom, bool& limited);

// The whole percentage at which a picture fits its panel: the smaller of the
// rounded width and height ratios, at least 1 (a picture far larger than
// its panel would round to 0).
int fitZoom(int panelWidth, int panelHeight, int width, int height);

// Bits per pixel of a picture as read from its file: 1, 4, 8, 15, 16, 24 or
// 32, 0 for any other format.
int bitsPerPixelOf(const QImage& picture);

}  // namespace tandex::ui
