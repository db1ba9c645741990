#include "form_layout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>

#include "config/sys_helpers.h"

namespace tandex::ui {

QRect ScaledRect(int x, int y, int w, int h) {
    return QRect(config::ScaleDpi(x), config::ScaleDpi(y), config::ScaleDpi(w), config::ScaleDpi(h));
}

QLabel* MakeFormImage(QWidget* parent, const char* name, const QRect& geometry) {
    auto* image = named(new QLabel(parent), name);
    image->setGeometry(geometry);
    return image;
}

QLabel* MakeFormLabel(QWidget* parent, const char* name, const QRect& geometry, bool bold, bool italic) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    if (bold || italic) {
        QFont f = label->font();
        f.setBold(bold);
        f.setItalic(italic);
        label->setFont(f);
    }
    return label;
}

void SetLabelColor(QLabel* label, TColor color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, ToQColor(color));
    label->setPalette(p);
}

void SetPanelColor(QWidget* panel, TColor color) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, ToQColor(color));
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

int LabelTextWidth(const QLabel* label) {
    return QFontMetrics(label->font()).horizontalAdvance(label->text());
}

void FitLabelWidth(QLabel* label) {
    label->resize(LabelTextWidth(label), label->height());
}

void PlaceRightOf(QLabel* label, const QLabel* before) {
    label->setGeometry(before->x() + before->width(), before->y(), LabelTextWidth(label), label->height());
}

void FitFontToWidth(QWidget* widget, const QString& text, int width) {
    QFont f = widget->parentWidget() ? widget->parentWidget()->font() : widget->font();
    if (f.pixelSize() < 0) f.setPixelSize(QFontInfo(f).pixelSize());
    while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(text) > width) f.setPixelSize(f.pixelSize() - 1);
    widget->setFont(f);
}

}  // namespace tandex::ui
