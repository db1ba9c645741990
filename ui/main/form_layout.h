#pragma once
// Placing the controls of the fixed-size dialogs: their geometry is given
// in 96-dpi pixels, and labels that read as one sentence sit right behind
// one another by the measured width of their text.

#include <QRect>

#include "ui/main/flat_button.h"

class QLabel;
class QWidget;

namespace tandex::ui {

// A rectangle of 96-dpi pixels scaled to the screen.
QRect ScaledRect(int x, int y, int w, int h);

// A label with plain text (no mnemonics, no markup) in the form's font.
// A widget given the object name its window's code and tests find it by.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// An empty picture box at a place of the form.
QLabel* MakeFormImage(QWidget* parent, const char* name, const QRect& geometry);
QLabel* MakeFormLabel(QWidget* parent, const char* name, const QRect& geometry, bool bold = false,
                      bool italic = false);

void SetLabelColor(QLabel* label, TColor color);
void SetPanelColor(QWidget* panel, TColor color);

// Width of the label's text in the label's own font.
int LabelTextWidth(const QLabel* label);
// Gives the label the width of its text, keeping its place.
void FitLabelWidth(QLabel* label);
// Puts the label on the line of before, starting where before ends, as
// wide as its text.
void PlaceRightOf(QLabel* label, const QLabel* before);

// Shrinks the widget's font a pixel at a time (to 9 pixels at the least)
// until text fits into width; captions built at run time may be longer
// than the form's fixed width allows in a wide font.
void FitFontToWidth(QWidget* widget, const QString& text, int width);

}  // namespace tandex::ui
