#include "ui/main/led.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tandex::ui {

std::array<TColor, 10> LedShapeColors(TColor ledColor, bool intensify) {
    int red = int(ledColor & 0xFF);
    int green = int((ledColor >> 8) & 0xFF);
    int blue = int((ledColor >> 16) & 0xFF);
    if (intensify) {
        red = std::min(red + 96, 255);
        green = std::min(green + 96, 255);
        blue = std::min(blue + 64, 255);
    }
    std::array<TColor, 10> colors{};
    for (int i = 0; i < 10; ++i) {
        const int amount = intensify ? 60 - 6 * i : 100 - 10 * i;
        const auto darker = [amount](int channel) { return TColor(std::max(channel - amount, 0)); };
        colors[size_t(i)] = darker(red) | darker(green) << 8 | darker(blue) << 16;
    }
    return colors;
}

std::array<QRect, 10> LedShapeRects(const QRect& client, int radius) {
    const QRect outer = client.adjusted(1, 1, -1, -1);
    // The insets add up in single precision and halves round to even (6.5
    // of a radius of 13 gives 6): that decides which ring gets the extra
    // pixel, so the lamp keeps its look at every radius.
    const float step = float(radius) / 10.0f;
    float inset = step;
    std::array<QRect, 10> rects{};
    rects[0] = outer;
    for (size_t i = 1; i < rects.size(); ++i) {
        const int d = int(std::nearbyint(inset));
        rects[i] = outer.adjusted(d, d, -d, -d);
        inset += step;
    }
    return rects;
}

TLED::TLED(QWidget* owner) : QWidget(owner) {
    resize(26, 26);
}

TLED::~TLED() = default;

void TLED::Refresh() {
    if (autoRefresh_) update();
}

void TLED::SetDrawBorder(bool value) {
    if (drawBorder_ == value) return;
    drawBorder_ = value;
    Refresh();
}

void TLED::SetRadius(int value) {
    if (radius_ == value) return;
    radius_ = value;
    const int side = 2 * value + 4;
    resize(side, side);
    updateGeometry();
    Refresh();
}

void TLED::SetLedColor(TColor value) {
    if (ledColor_ == value) return;
    ledColor_ = value;
    Refresh();
}

void TLED::SetFrameColor(TColor value) {
    if (frameColor_ == value) return;
    frameColor_ = value;
    Refresh();
}

void TLED::SetLedStyle(TLedStyle value) {
    if (ledStyle_ == value) return;
    ledStyle_ = value;
    Refresh();
}

void TLED::SetAutoRefresh(bool value) {
    if (autoRefresh_ == value) return;
    autoRefresh_ = value;
    Refresh();
}

void TLED::SetIntensify(bool value) {
    if (intensify_ == value) return;
    intensify_ = value;
    Refresh();
}

void TLED::SetText(const QString& text) {
    if (text_ == text) return;
    text_ = text;
    if (text.isEmpty()) return;
    const QFontMetrics metrics(font());
    textPos_ = QPoint(width() / 2 - metrics.horizontalAdvance(text) / 2,
                      height() / 3 - metrics.height() / 2 + 4);
}

QSize TLED::sizeHint() const {
    return size();
}

void TLED::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const std::array<TColor, 10> colors = LedShapeColors(ledColor_, intensify_);
    const std::array<QRect, 10> rects = LedShapeRects(rect(), radius_);
    painter.setRenderHint(QPainter::Antialiasing, ledStyle_ == lsRound);
    // Only the outermost shape has the rim; its pen runs along the shape's
    // edge, half outside it.
    painter.setPen(QPen(ToQColor(frameColor_), 2, frameStyle_));
    for (size_t i = 0; i < rects.size(); ++i) {
        painter.setBrush(ToQColor(colors[i]));
        const QRectF shape(rects[i]);
        if (ledStyle_ == lsRound)
            painter.drawEllipse(shape);
        else
            painter.drawRect(shape);
        painter.setPen(Qt::NoPen);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (drawBorder_) {
        painter.setPen(QPen(ToQColor(frameColor_), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (!text_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setClipRect(rects[0]);
        painter.drawText(textPos_.x(), textPos_.y() + QFontMetrics(font()).ascent(), text_);
    }
}

}  // namespace tandex::ui
