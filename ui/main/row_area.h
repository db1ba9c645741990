#pragma once
// The two widgets the main window paints its comparisons on: the row area
// under both panes (rows, line numbers, marks, caret) and the middle strip
// between them (the newer-file arrows). Both hand their paint events to the
// window, which owns all the state the drawing reads.

#include <QRegion>
#include <QWidget>

namespace tandex::ui {

class TF_Main;

class TRowArea : public QWidget {
public:
    TRowArea(TF_Main* main, QWidget* parent);

    // What the last paint event covered, in the row area's coordinates; a
    // test checks that a scroll repaints only the uncovered strip.
    QRegion LastPaintRegion() const { return lastRegion_; }
    int PaintCount() const { return paintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TF_Main* main_;
    QRegion lastRegion_;
    int paintCount_ = 0;
};

class TMidStrip : public QWidget {
public:
    TMidStrip(TF_Main* main, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TF_Main* main_;
};

}  // namespace tandex::ui
