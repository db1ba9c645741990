#pragma once
// The borderless popup that shows the whole text of a pane row cut off at
// the pane's edge while the mouse rests on it, wrapped when it does not fit
// on the screen, and, in its second use, a short note of a few lines at the
// mouse. It never takes the focus, and it hands mouse actions on to the
// main window so that it does not get in the way of selecting or scrolling.

#include <QFont>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "config/path_text.h"

class QTimer;

namespace tandex::ui {

inline constexpr int kHoverMaxLines = 40;

// Cuts text into lines of at most width - 5 pixels, front first, until it
// is used up or kHoverMaxLines exist; the rest is dropped.
QStringList WrapHoverText(QString text, int width, const config::TextWidthFn& textWidth);

struct THoverPlacement {
    int left = 0;
    int width = 0;
    QStringList lines;
};

// Where a row text shown at pointer x goes on a screen that ends before
// screenRight: one line of its width + margin when it fits, else wrapped to
// the room left. The room is never below minWidth (nor the text's own
// width): the popup moves left instead.
THoverPlacement PlaceHoverText(const QString& text, int x, int screenRight, int margin,
                               int minWidth, const config::TextWidthFn& textWidth);

class TF_HoverText : public QWidget {
    Q_OBJECT

public:
    explicit TF_HoverText(QWidget* parent = nullptr);
    ~TF_HoverText() override;

    // The main window's handlers, given screen coordinates.
    std::function<void()> OnDblClick;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseDown;
    std::function<void(Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseUp;
    std::function<void(Qt::KeyboardModifiers shift, int delta, QPoint pos)> OnMouseWheel;

    // The row whose text is shown, -1 for none; the main window keeps it
    // to avoid showing the same row again.
    int HoveredRow = -1;
    // Where the lines start; ShowLines sets its own.
    int LeftMargin = 2;

    // Pixel sizes of the font are scaled for the screen.
    void SetFont(const QFont& font);
    // The whole text of a cut-off row, at screen point (x, y), after the
    // double-click time.
    void ShowText(int x, int y, const QString& text);
    // A note of lines separated by carriage returns, at once; it stays
    // through the next Hide.
    void ShowLines(int x, int y, const QString& text);
    void Hide();

    const QStringList& Lines() const { return lines_; }
    int LineHeight() const { return lineHeight_; }
    bool Sticky() const { return sticky_; }
    // Stopped, or armed to show (tag 0) or to hide (tag 1).
    QTimer* Timer1 = nullptr;
    int TimerTag() const { return timerTag_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Timer1Timer();
    void ArmTimer(int tag);
    int TextWidth(const QString& text) const;

    QFont font_;
    int lineHeight_ = 0;
    QStringList lines_;
    bool sticky_ = false;
    int timerTag_ = 0;
};

}  // namespace tandex::ui
