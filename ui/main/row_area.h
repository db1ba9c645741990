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

    // What the paint events since the last reset covered, in the row
    // area's coordinates: a scroll should repaint only the uncovered strip.
    QRegion PaintedRegion() const { return painted_; }
    void ResetPaintedRegion() { painted_ = QRegion(); }
    int PaintCount() const { return paintCount_; }
    // The window is going: no more calls into it.
    void Detach() { main_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TF_Main* main_;
    QRegion painted_;
    int paintCount_ = 0;
};

class TMidStrip : public QWidget {
public:
    TMidStrip(TF_Main* main, QWidget* parent);
    void Detach() { main_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TF_Main* main_;
};

}  // namespace tandex::ui
