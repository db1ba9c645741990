#include "ui/main/image_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tandex::ui {

TPaneImage* paneImage(int pane) {
    auto& stores = engine::paneStores();
    if (pane < 1 || pane > 2) return nullptr;
    return dynamic_cast<TPaneImage*>(stores.ImageStates[size_t(pane)].get());
}

TImagePane::TImagePane(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImagePane::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImagePane::clear() {
    picture_ = QImage();
    update();
}

void TImagePane::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    // The fourth byte of a loaded picture is no alpha channel.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QImage shown = picture_.format() == QImage::Format_ARGB32
                             ? QImage(picture_.constBits(), picture_.width(), picture_.height(),
                                      picture_.bytesPerLine(), QImage::Format_RGB32)
                             : picture_;
    painter.drawImage(rect(), shown);
}

void TImagePane::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) OnMouseDown(event);
}

void TImagePane::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) OnMouseMove(event);
}

void TImagePane::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) OnMouseUp(event);
}

void TImagePane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnDblClick) OnDblClick(event);
}

int limitZoom(int width, int height, int zoom, bool& limited) {
    constexpr double kMaxSide = 8000;
    const int larger = std::max(width, height);
    if (larger <= 0) return zoom;
    if (std::round(double(larger) * zoom / 100) > kMaxSide) {
        limited = true;
        return std::max(int(800000 / larger), 1);
    }
    return zoom;
}

int fitZoom(int panelWidth, int panelHeight, int width, int height) {
    if (width <= 0 || height <= 0) return 1000;
    const int byWidth = int(std::lround(double(panelWidth) / width * 100));
    const int byHeight = int(std::lround(double(panelHeight) / height * 100));
    return std::max(std::min(byWidth, byHeight), 1);
}

int bitsPerPixelOf(const QImage& picture) {
    switch (picture.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return 1;
    case QImage::Format_Indexed8: return picture.colorCount() > 0 && picture.colorCount() <= 16 ? 4 : 8;
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8: return 8;
    case QImage::Format_RGB555:
    case QImage::Format_ARGB8555_Premultiplied: return 15;
    case QImage::Format_RGB16:
    case QImage::Format_RGB444:
    case QImage::Format_ARGB4444_Premultiplied: return 16;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888: return 24;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied: return 32;
    default: return 0;
    }
}

}  // namespace tandex::ui
