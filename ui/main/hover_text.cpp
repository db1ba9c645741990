#include "ui/main/hover_text.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "config/sys_helpers.h"

namespace tandex::ui {

namespace {

constexpr int kTagShow = 0;
constexpr int kTagHide = 1;
// The popup's width as first laid out; narrower room would wrap a row into
// slivers of a few characters.
constexpr int kMinWidth = 200;

}  // namespace

QStringList WrapHoverText(QString text, int width, const config::TextWidthFn& textWidth) {
    QStringList lines;
    while (!text.isEmpty() && lines.size() < kHoverMaxLines) {
        const int fullWidth = textWidth(text);
        if (fullWidth <= width || width <= 0) {
            lines << text;
            break;
        }
        // Guess from the average character width, then step back two at a
        // time until the piece fits with a little room to spare.
        qsizetype n = qsizetype(std::nearbyint(double(text.size()) * width / fullWidth));
        while (n > 5 && textWidth(text.left(n)) > width - 5)
            n -= 2;
        n = std::clamp<qsizetype>(n, 1, text.size());
        // Never part a surrogate pair: both halves would show as boxes.
        if (n > 1 && n < text.size() && text[n - 1].isHighSurrogate()) --n;
        lines << text.left(n);
        text.remove(0, n);
    }
    return lines;
}

THoverPlacement PlaceHoverText(const QString& text, int x, int screenRight, int margin,
                               int minWidth, const config::TextWidthFn& textWidth) {
    THoverPlacement placement;
    placement.left = x;
    placement.width = textWidth(text) + margin;
    // Close to the right edge the room left would be too narrow to wrap
    // into (a few pixels give empty lines): start further left instead.
    const int least = std::min(placement.width, minWidth);
    if (screenRight - x < least) placement.left = screenRight - least;
    const int room = screenRight - placement.left;
    if (room < placement.width) {
        placement.width = room;
        placement.lines = WrapHoverText(text, room, textWidth);
    } else {
        placement.lines = QStringList{text};
    }
    return placement;
}

TF_HoverText::TF_HoverText(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    resize(200, 20);
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    connect(Timer1, &QTimer::timeout, this, &TF_HoverText::Timer1Timer);
    SetFont(font());
}

TF_HoverText::~TF_HoverText() = default;

int TF_HoverText::TextWidth(const QString& text) const {
    return QFontMetrics(font_).horizontalAdvance(text);
}

void TF_HoverText::SetFont(const QFont& font) {
    font_ = font;
    // Point sizes already follow the screen; pixel sizes are 96-dpi values.
    if (font.pixelSize() > 0) font_.setPixelSize(config::ScaleDpi(font.pixelSize()));
    lineHeight_ = QFontMetrics(font_).height();
    HoveredRow = -1;
}

void TF_HoverText::ArmTimer(int tag) {
    timerTag_ = tag;
    Timer1->start();
}

void TF_HoverText::ShowText(int x, int y, const QString& text) {
    sticky_ = false;
    Timer1->stop();
    const QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, x + 1, y + 1);
    const THoverPlacement placement =
        PlaceHoverText(text, x, area.x() + area.width(), config::Helpers().DpiPx5,
                       config::ScaleDpi(kMinWidth), [this](const QString& t) { return TextWidth(t); });
    lines_ = placement.lines;
    setGeometry(placement.left, y - 1, placement.width,
                lineHeight_ * int(lines_.size()) + config::Helpers().DpiPx2);
    if (isVisible())
        update();
    else
        ArmTimer(kTagShow);
}

void TF_HoverText::ShowLines(int x, int y, const QString& text) {
    sticky_ = true;
    LeftMargin = config::Helpers().DpiPx5;
    lines_ = text.split(QLatin1Char('\r'));
    if (lines_.size() > kHoverMaxLines) lines_.resize(kHoverMaxLines);
    int widest = 0;
    for (const QString& line : lines_)
        widest = std::max(widest, TextWidth(line));
    setGeometry(x, y, widest + config::Helpers().DpiPx10,
                lineHeight_ * int(lines_.size()) + config::Helpers().DpiPx2);
    show();
    update();
}

void TF_HoverText::Hide() {
    Timer1->stop();
    if (!sticky_) {
        if (isVisible()) hide();
        HoveredRow = -1;
    }
    sticky_ = false;
}

void TF_HoverText::Timer1Timer() {
    Timer1->stop();
    // Shown only while the pointer still rests where the popup appears: a
    // row the mouse has already left needs no popup.
    if (timerTag_ == kTagShow && geometry().contains(QCursor::pos())) {
        show();
        return;
    }
    Hide();
}

void TF_HoverText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setFont(font_);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font_).ascent();
    for (int i = 0; i < lines_.size(); ++i)
        painter.drawText(LeftMargin, i * lineHeight_ + 1 + ascent, lines_[i]);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TF_HoverText::mouseDoubleClickEvent(QMouseEvent*) {
    Hide();
    if (OnDblClick) OnDblClick();
}

void TF_HoverText::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->globalPosition().toPoint();
    if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
    ArmTimer(kTagHide);
}

void TF_HoverText::mouseMoveEvent(QMouseEvent* event) {
    // The first line lies over the row it shows; below it the popup covers
    // other rows, and the main window must see moves over those.
    if (lines_.size() <= 1 || event->position().y() <= lineHeight_) return;
    const QPoint p = event->globalPosition().toPoint();
    if (OnMouseMove) OnMouseMove(event->modifiers(), p.x(), p.y());
}

void TF_HoverText::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->globalPosition().toPoint();
    if (OnMouseUp) OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void TF_HoverText::wheelEvent(QWheelEvent* event) {
    if (OnMouseWheel)
        OnMouseWheel(event->modifiers(), event->angleDelta().y(),
                     event->globalPosition().toPoint());
}

void TF_HoverText::leaveEvent(QEvent*) {
    ArmTimer(kTagHide);
}

}  // namespace tandex::ui
