#pragma once
// The two widgets the main window paints its comparisons on: the row area
// under both panes (rows, line numbers, marks, caret) and the middle strip
// between them (the newer-file arrows). Both hand their paint events to the
// window, which owns all the state the drawing reads; the row area hands
// on its mouse actions the same way.

#include <QHeaderView>
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
    // Mouse actions go to the window in its client coordinates.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Qt sends this in place of the second press: the press handler never
    // sees that press, so nothing needs swallowing afterwards.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPoint clientPoint(const QMouseEvent* event) const;

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

// The folder view's column header: the window paints its sections and
// gives each its hint; a pressed section is drawn darker until released.
class THeaderBar : public QHeaderView {
public:
    THeaderBar(TF_Main* main, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), main_(main) {
        setMouseTracking(true);
    }
    void Detach() { main_ = nullptr; }
    int PressedSection() const { return pressed_; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TF_Main* main_;
    int pressed_ = -1;
};

}  // namespace tandex::ui
