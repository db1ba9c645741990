#pragma once
// A small lamp: ten concentric rounds (or squares) from a dark rim to a
// lighter centre, with an optional frame, an optional text and a brighter
// "lit" look. The copy window shows its writer state with it.

#include <QRect>
#include <QString>
#include <QWidget>
#include <array>

#include "ui/main/flat_button.h"

namespace tandex::ui {

enum TLedStyle { lsRound, lsRect };

// The fill of each of the ten shapes, outermost first.
std::array<TColor, 10> LedShapeColors(TColor ledColor, bool intensify);
// The area of each of the ten shapes inside the client rectangle, outermost
// first; each holds exactly the pixels the shape covers.
std::array<QRect, 10> LedShapeRects(const QRect& client, int radius);

class TLED : public QWidget {
    Q_OBJECT

public:
    explicit TLED(QWidget* owner = nullptr);
    ~TLED() override;

    bool DrawBorder() const { return drawBorder_; }
    void SetDrawBorder(bool value);
    int Radius() const { return radius_; }
    // Also makes the control 2 * radius + 4 pixels square.
    void SetRadius(int value);
    TColor LedColor() const { return ledColor_; }
    void SetLedColor(TColor value);
    TColor FrameColor() const { return frameColor_; }
    void SetFrameColor(TColor value);
    Qt::PenStyle FrameStyle() const { return frameStyle_; }
    // Takes effect at the next paint.
    void SetFrameStyle(Qt::PenStyle value) { frameStyle_ = value; }
    TLedStyle LedStyle() const { return ledStyle_; }
    void SetLedStyle(TLedStyle value);
    bool AutoRefresh() const { return autoRefresh_; }
    // Off, the writers above leave the screen alone until the next paint.
    void SetAutoRefresh(bool value);
    bool Intensify() const { return intensify_; }
    void SetIntensify(bool value);
    QString Text() const { return text_; }
    // Places the text for the current size and font; no repaint.
    void SetText(const QString& text);
    QPoint TextPos() const { return textPos_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Refresh();

    bool drawBorder_ = false;
    int radius_ = 11;
    TColor ledColor_ = 0x00FF00;
    TColor frameColor_ = 0x2F2F2F;
    Qt::PenStyle frameStyle_ = Qt::SolidLine;
    TLedStyle ledStyle_ = lsRound;
    bool autoRefresh_ = true;
    bool intensify_ = false;
    QString text_;
    QPoint textPos_;
};

}  // namespace tandex::ui
