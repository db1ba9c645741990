#pragma once
// The column rulers and the details panel's state and colours. The ruler
// scale is drawn by a free function so that it can be checked on an image.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QtGlobal>

#include <array>

#include "details_line.h"

class QPainter;

namespace tandex::ui {

struct TRulerSpec {
    int width = 0, height = 0;
    int firstColumn = 1, lastColumn = 0;
    int markedColumn = 0;      // 0: none
    int numberLimitX = 0;      // numbers only right of this x
    int startX = 0;
    int charWidth = 8;
    bool lineNumbers = true;   // the left border line moves one pixel left
    bool flat = true;
    QFont font;
    QColor textColor;          // RulerTxtCol
};

// The scale of a column ruler: ticks per column, numbers every tenth
// column, the marked column as a red line.
void drawRuler(QPainter& p, const TRulerSpec& r);

// The x of a column's tick.
int rulerTickX(const TRulerSpec& r, int column);

// The colours of the details fields, by colour class; filled when the
// colour scheme is applied.
struct TDetailsColors {
    QColor background;         // EditLnBgCol
    std::array<QColor, 6> text;
    QColor orphaned;
    QColor forClass(int cls) const { return cls >= 0 && cls < 6 ? text[size_t(cls)] : orphaned; }
    // The caret's background for a class: the field background towards
    // the class colour.
    QColor caretBackground(int cls) const;
};

// Colour set values are 0x00BBGGRR.
QColor colorOfBgr(quint32 bgr);
quint32 bgrOfColor(const QColor& c);

// The details colours of the current colour set.
TDetailsColors detailsColorsOfSet(int setIndex);

// Main window state of the details panel.
struct TDetailsState {
    int row = -1;              // last shown; -1 rebuild, -2 keep offset, -3 user scroll
    int scrollOffset = 1;
    int rulerOffset = 0;       // offset last drawn on the details ruler
    bool hexFlag = false;
    int rulerPane = 0;         // pane of the top ruler; 0 before the first drawing
    int rulerCaretColumn = -1; // caret column last marked on the top ruler
    QImage paneRuler;          // the top ruler's picture
    TDetailsResult shown;
    TDetailsColors colors;
};

}  // namespace tandex::ui
