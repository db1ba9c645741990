#include "ui/main/row_area.h"

#include <QPaintEvent>
#include <QPainter>

#include "ui/main/main_window.h"

namespace tandex::ui {

TRowArea::TRowArea(TF_Main* main, QWidget* parent) : QWidget(parent), main_(main) {
    // Every pixel is painted, so Qt may move pixels on a scroll instead of
    // repainting the whole area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
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

TMidStrip::TMidStrip(TF_Main* main, QWidget* parent) : QWidget(parent), main_(main) {
    setAutoFillBackground(true);
}

void TMidStrip::paintEvent(QPaintEvent*) {
    if (!main_) return;
    QPainter painter(this);
    main_->paintMidStrip(painter);
}

}  // namespace tandex::ui
