#include "ui/main/row_area.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "ui/main/main_window.h"

namespace tandex::ui {

TRowArea::TRowArea(TF_Main* main, QWidget* parent) : QWidget(parent), main_(main) {
    // Every pixel is painted, so Qt may move pixels on a scroll instead of
    // repainting the whole area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a button show hover texts and the link cursor.
    setMouseTracking(true);
}

void TRowArea::paintEvent(QPaintEvent* event) {
    painted_ += event->region();
    ++paintCount_;
    if (main_) main_->paintRowArea(event->region());
}

void TRowArea::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (main_) main_->caretFocusChanged(true);
}

void TRowArea::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (main_) main_->caretFocusChanged(false);
}

QPoint TRowArea::clientPoint(const QMouseEvent* event) const {
    return event->position().toPoint() + pos();
}

void TRowArea::mousePressEvent(QMouseEvent* event) {
    const QPoint p = clientPoint(event);
    if (main_) main_->FormMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TRowArea::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = clientPoint(event);
    if (main_) main_->FormMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TRowArea::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = clientPoint(event);
    if (main_) main_->FormMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TRowArea::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only the left button double-clicks; a quick second press of another
    // button is an ordinary press.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    if (main_) main_->FormDblClick(this);
}

TMidStrip::TMidStrip(TF_Main* main, QWidget* parent) : QWidget(parent), main_(main) {
    setAutoFillBackground(true);
}

void TMidStrip::paintEvent(QPaintEvent*) {
    if (!main_) return;
    QPainter painter(this);
    main_->paintMidStrip(painter);
}

}  // namespace tandex::ui
