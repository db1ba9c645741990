#include "ui/main/overview_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "config/sys_helpers.h"

namespace tandex::ui {

namespace {

constexpr int kNoFrame = -10000;
constexpr TColor kSilver = 0xC0C0C0;
constexpr quint32 kSideBits = kOnlyLeftRow | kOnlyRightRow;

// Halves go to the even neighbour, as everywhere else the strip's numbers
// are compared with.
qint64 RoundEven(double value) {
    return qint64(std::nearbyint(value));
}

}  // namespace

// ---- TNBarPanel ---------------------------------------------------------------

TNBarPanel::TNBarPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TNBarPanel::~TNBarPanel() = default;

void TNBarPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!bar_) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    for (const TNBarStroke& stroke : bar_->Strokes(width(), height()))
        painter.fillRect(stroke.rect, ToQColor(stroke.color));
}

void TNBarPanel::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), event->position().toPoint().x(),
                    event->position().toPoint().y());
}

void TNBarPanel::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove)
        OnMouseMove(event->modifiers(), event->position().toPoint().x(),
                    event->position().toPoint().y());
}

void TNBarPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp)
        OnMouseUp(event->button(), event->modifiers(), event->position().toPoint().x(),
                  event->position().toPoint().y());
}

// ---- TNBar --------------------------------------------------------------------

TNBar::TNBar(TNBarPanel* panel) : panel_(panel) {
    if (panel_) panel_->bar_ = this;
}

TNBar::~TNBar() {
    if (panel_ && panel_->bar_ == this) panel_->bar_ = nullptr;
}

void TNBar::SetColors(TColor background, TColor marker) {
    background_ = background;
    marker_ = marker;
    if (!panel_) return;
    QPalette palette = panel_->palette();
    palette.setColor(QPalette::Window, ToQColor(background));
    panel_->setPalette(palette);
    panel_->update();
}

void TNBar::Rebuild(int rows, int page, int maximumScale) {
    rows_ = rows;
    page_ = page;
    maximumScale_ = maximumScale;
    const int panelHeight = panel_ ? std::max(panel_->height(), 0) : 0;
    colors_.assign(size_t(panelHeight), 0);
    const int h = panelHeight - 2;

    if (h <= 0) {
        // A minimised window leaves no strip: nothing to scale, no frame.
        scale_ = 0.0;
        pixelsPerRow_ = 0;
        markerHeight_ = 0;
    } else if (h < rows) {
        scale_ = double(h) / rows;
        pixelsPerRow_ = 0;
        markerHeight_ = std::max(int(RoundEven(page * scale_)), 8);
    } else {
        scale_ = double(h) / std::max(rows, 1);
        if (maximumScale > scale_) {
            markerHeight_ = int(RoundEven(scale_ * page));
        } else {
            // Short documents are drawn from the top at the largest scale,
            // and every row is visible anyway.
            scale_ = maximumScale;
            markerHeight_ = 0;
        }
        pixelsPerRow_ = int(RoundEven(scale_));
    }

    if (OnRowColor && scale_ > 0) {
        const qint64 last = qint64(colors_.size()) - 1;
        for (int r = 0; r < rows; ++r) {
            const quint32 k = OnRowColor(r);
            if (k == 0) continue;
            const qint64 from = RoundEven(r * scale_);
            const qint64 to = std::min(from + pixelsPerRow_, last);
            for (qint64 i = from; i <= to; ++i)
                colors_[size_t(i)] = k;
        }
    }
    Paint(kNoFrame);
}

void TNBar::Paint(int top) {
    frameStart_ = -1;
    frameEnd_ = -1;
    lastTop_ = top;
    const int h = (panel_ ? panel_->height() : 0) - 2;
    if (rows_ > 0 && top >= 0 && scale_ > 0 && scale_ < maximumScale_) {
        int s = int(RoundEven(top * scale_)) + 1;
        // Keep the frame's end inside the strip.
        if (h + 2 < markerHeight_ + s) s = h - markerHeight_ + 2;
        frameStart_ = s;
        frameEnd_ = s + markerHeight_ + 1;
        markerTop_ = s;
        markerBottom_ = s + markerHeight_ + 2;
    }
    if (panel_) panel_->update();
}

std::vector<TNBarStroke> TNBar::Strokes(int width, int height) const {
    std::vector<TNBarStroke> strokes;
    // The panel in its own colour stands in for the background-coloured
    // frame lines, which would only repeat it.
    strokes.push_back({QRect(0, 0, width, height), background_});
    strokes.push_back({QRect(0, 0, width, 1), kSilver});
    if (rows_ <= 0 && lastTop_ != kNoFrame) return strokes;

    const int w = width - 2;
    const TColor dark = config::ColorSubSat(marker_, 0x404040);
    const int s = frameStart_;
    const int e = frameEnd_;
    if (s >= 0) {
        const int from = std::max(s - 1, 1);
        const int length = s + markerHeight_ + 2 - from;
        strokes.push_back({QRect(1, from, 1, length), dark});
        strokes.push_back({QRect(w, from, 1, length), dark});
    }

    const int split = w / 2 + 1;
    for (int i = 1; i < height && size_t(i - 1) < colors_.size(); ++i) {
        const quint32 f = colors_[size_t(i - 1)];
        const TColor k = f & 0xFFFFFF;
        const bool edge = i + 1 == s || i == e;
        const bool inside = !edge && s <= i && i < e;
        TColor p1, p2;
        if (edge)
            p2 = dark;
        else if (inside)
            p2 = marker_;
        else
            p2 = background_;
        if (f == 0) {
            p1 = p2;
        } else if (edge) {
            p1 = config::ColorSubSat(k, 0x606060);
        } else if (inside) {
            p1 = config::ColorSubSat(k, 0x303030);
        } else {
            p1 = k;
        }
        if (f & kOnlyRightRow) std::swap(p1, p2);
        if (f & kSideBits) {
            strokes.push_back({QRect(2, i, split - 2, 1), p1});
            strokes.push_back({QRect(split, i, w - split, 1), p2});
        } else {
            strokes.push_back({QRect(2, i, w - 2, 1), p1});
        }
    }
    return strokes;
}

int TNBar::RowAt(int y, bool dragging) {
    if (scale_ <= 0) return 0;
    if (!dragging)
        grabOffset_ = y >= markerTop_ && y <= markerBottom_ ? y - markerTop_ : markerHeight_ / 2;
    // A document shorter than a page has only row 0 to scroll to.
    const qint64 last = std::max(rows_ - page_, 0);
    const qint64 r = std::clamp<qint64>(RoundEven((y - grabOffset_ - 1) / scale_), 0, last);
    if (dragging) return int(r);
    return page_ / 4 < RoundEven(1 / scale_) ? -int(r) : int(r);
}

int TNBar::RowsPerPixel() const {
    if (scale_ <= 0) return std::max(rows_, 0) + 1;
    return int(std::min<qint64>(RoundEven(1 / scale_) + 1, std::numeric_limits<int>::max()));
}

}  // namespace tandex::ui
