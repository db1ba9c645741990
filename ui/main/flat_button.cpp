#include "flat_button.h"

#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "config/sys_helpers.h"

namespace tandex::ui {

namespace {

// One blend setting for the whole program, like the face rendering itself:
// the main window picks it when it applies the look.
int disabledAlpha = 0;

// A form shown without a modal run is never closed by a modal result.
void EndModalRun(QDialog* form) {
    if (form->isVisible() && form->isModal() && form->result() != 0) form->done(form->result());
}

// Rounding as the rest of the program rounds: halves to even.
int RoundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

TColor FromQColor(const QColor& color) {
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

// A rectangle given by its corners: outline from (x1, y1) up to but excluding (x2, y2),
// filled with the brush. Qt's aliased 1-pixel outline of QRect(x, y, w, h)
// covers x..x+w, hence the minus one.
void DrawRectangle(QPainter& p, int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1) return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void DrawRoundRect(QPainter& p, int x1, int y1, int x2, int y2, int corner) {
    if (x2 <= x1 || y2 <= y1) return;
    p.setRenderHint(QPainter::Antialiasing, true);
    const double r = corner / 2.0;
    p.drawRoundedRect(QRectF(x1 + 0.5, y1 + 0.5, x2 - x1 - 1, y2 - y1 - 1), r, r);
    p.setRenderHint(QPainter::Antialiasing, false);
}

void FillRect(QPainter& p, int x1, int y1, int x2, int y2, TColor color) {
    if (x2 <= x1 || y2 <= y1) return;
    p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), ToQColor(color));
}

}  // namespace

QColor ToQColor(TColor color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor DarkenColor(TColor color, TColor delta) {
    return config::ColorSubSat(color, delta);
}

TColor ShiftColorContrast(TColor color, TColor delta) {
    const TColor sum = (color & 0xFF) + ((color >> 8) & 0xFF) + (color >> 16);
    return sum < 384 ? config::ColorAddSat(color, delta) : config::ColorSubSat(color, delta);
}

void SetDisabledAlpha(int alpha) {
    disabledAlpha = std::clamp(alpha, 0, 255);
}
int DisabledAlpha() {
    return disabledAlpha;
}

TFlatButton2::TFlatButton2(QWidget* owner) : QWidget(owner) {
    OnKeyDown = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
        ButtonKeyDown(sender, key, shift);
    };
    font_ = font();  // a copy of the parent's font
    setFocusPolicy(Qt::TabFocus);
}

TFlatButton2::~TFlatButton2() = default;

QSize TFlatButton2::sizeHint() const {
    return QSize(scaledWidth_, scaledHeight_);
}

void TFlatButton2::SetFlatStyle(TFlatStyle value) {
    if (value == flatStyle_) return;
    flatStyle_ = value;
    Redraw();
}

void TFlatButton2::SetMargin(int value) {
    if (value == margin_) return;
    margin_ = value;
    Redraw();
}

// Compares the scaled value with the stored scaled size: comparing the
// unscaled value would ignore real changes whenever the screen is scaled.
void TFlatButton2::SetWidth(int value) {
    const int scaled = config::ScaleDpi(value);
    if (scaled == scaledWidth_) return;
    scaledWidth_ = scaled;
    resize(scaledWidth_, scaledHeight_);
    Redraw();
}

void TFlatButton2::SetHeight(int value) {
    const int scaled = config::ScaleDpi(value);
    if (scaled == scaledHeight_) return;
    scaledHeight_ = scaled;
    resize(scaledWidth_, scaledHeight_);
    Redraw();
}

int TFlatButton2::Height() const {
    if (config::Helpers().DpiDelta == 0) return scaledHeight_;
    return RoundEven(scaledHeight_ / config::Helpers().DpiFactor);
}

void TFlatButton2::ResetSize() {
    resize(scaledWidth_, scaledHeight_);
}

void TFlatButton2::SetFlat(bool value) {
    if (value == flat_) return;
    flat_ = value;
    Redraw();
}

void TFlatButton2::SetFont(const QFont& font) {
    font_ = font;
    Redraw();
}

void TFlatButton2::SetImageID(int value) {
    if (value == imageID_) return;
    imageID_ = value;
    RenderFace(imageID_);
}

void TFlatButton2::SetCaption(const QString& text) {
    if (text == line1_ + line2_) return;
    const qsizetype cr = text.indexOf(QChar(13));
    if (cr >= 0) {
        line1_ = text.left(cr);
        line2_ = text.mid(cr + 1);
    } else {
        line1_ = text;
        line2_.clear();
    }
    Redraw();
}

void TFlatButton2::SetBgColor(TColor value) {
    if (value == bgColor_) return;
    bgColor_ = value;
    Redraw();
}

void TFlatButton2::SetBgColorFlat(TColor value) {
    if (value == bgColorFlat_) return;
    bgColorFlat_ = value;
    Redraw();
}

void TFlatButton2::SetBarColor(TColor value) {
    if (value == barColor_) return;
    barColor_ = value;
    Redraw();
}

void TFlatButton2::SetStyle(TFBStyle value) {
    if (value == style_) return;
    style_ = value;
    Redraw();
}

void TFlatButton2::SetDown(bool value) {
    if (value == down_) return;
    down_ = value;
    Redraw();
}

void TFlatButton2::SetPosition(int value) {
    if (value == position_) return;
    position_ = value;
    Redraw();
}

void TFlatButton2::SetTabStop(bool value) {
    tabStop_ = value;
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

void TFlatButton2::SetEnabled(bool value) {
    if (value == enabled_) return;
    showHint_ = config::ShowButtonHints() ? true : value;
    if (value) {
        enabled_ = true;
        setFocusPolicy(tabStop_ ? Qt::TabFocus : Qt::NoFocus);
        Redraw();
        return;
    }
    ButtonMouseLeave();
    if (focused_) ButtonExit();
    setFocusPolicy(Qt::NoFocus);
    enabled_ = false;
    ApplyDisabledLook();
}

void TFlatButton2::ApplyDisabledLook() {
    if (face_.isNull()) return;
    const QImage copy = face_.copy();
    face_.fill(ToQColor(flat_ ? bgColorFlat_ : ParentColor()));
    QPainter p(&face_);
    p.setOpacity(disabledAlpha / 255.0);
    p.drawImage(QPointF(0, 0), copy);
    p.end();
    update();
}

void TFlatButton2::Click() {
    if (!enabled_) return;
    auto* form = qobject_cast<QDialog*>(window());
    if (!form) return;
    form->setResult(modalResult_);
    if (modalResult_ == 0 || !form->isModal()) return;
    // A modal run ends only once the click has been handled completely:
    // OnClick still works on the open form and may clear the result to keep
    // it open. The mouse-up ends it after OnClick; a click from code ends
    // it when the events are processed next.
    if (mouseClick_)
        modalEndDue_ = true;
    else
        QMetaObject::invokeMethod(
            form, [form] { EndModalRun(form); }, Qt::QueuedConnection);
}

void TFlatButton2::Redraw() {
    borderColor_ = flat_ ? FlatBorderColor() : 0x808080;
    RenderFace(currentImage_);
}

TColor TFlatButton2::FlatBorderColor() const {
    return flatStyle_ == FS_SHOWBORDER ? DarkenColor(bgColorFlat_, 0x202020) : bgColorFlat_;
}

TColor TFlatButton2::ParentColor() const {
    const QWidget* source = parentWidget() ? parentWidget() : this;
    return FromQColor(source->palette().color(QPalette::Window));
}

TColor TFlatButton2::FontColor() const {
    return FromQColor(palette().color(QPalette::WindowText));
}

void TFlatButton2::RenderFace(int id) {
    currentImage_ = id;
    const int W = scaledWidth_;
    const int H = scaledHeight_;

    QImage bitmap;
    int textOffset = 0;
    if (listID_ > 0 && id >= 0 && LoadBMPFunc) {
        if (LoadBMPFunc(listID_, id, bitmap) && !bitmap.isNull())
            textOffset = bitmap.width() + 3;
        else
            bitmap = QImage();
    }

    if (W <= 0 || H <= 0) {
        face_ = QImage();
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        if (!painting_) update();
        return;
    }

    const qreal dpr = devicePixelRatioF();
    face_ =
        QImage(QSize(RoundEven(W * dpr), RoundEven(H * dpr)), QImage::Format_ARGB32_Premultiplied);
    face_.setDevicePixelRatio(dpr);
    face_.fill(ToQColor(ParentColor()));

    QPainter p(&face_);
    p.setPen(QPen(ToQColor(borderColor_), 1));

    TColor brush;
    if (pressed_)
        brush = flat_ ? ShiftColorContrast(bgColorFlat_, 0x202020) : 0xF2E4D7;
    else if (down_)
        brush = flat_ ? ShiftColorContrast(bgColorFlat_, 0x101010)
                      : ShiftColorContrast(bgColor_, 0x181818);
    else
        brush = flat_ ? bgColorFlat_ : bgColor_;
    p.setBrush(ToQColor(brush));

    const int corner = config::ScaleDpi(6);
    if (flat_) {
        DrawRectangle(p, 0, 0, W, H);
    } else {
        DrawRoundRect(p, 0, 0, W, H, corner);
        const int inset = config::ScaleDpi(2);
        FillRect(p, inset, H / 2 + 1, W - inset, H - inset, DarkenColor(brush, 0x101010));
    }

    // A full scale of 0 or less has no meaningful bar.
    if (position_ > 0 && maxPos_ > 0) {
        const int right = RoundEven(double(W - config::ScaleDpi(4)) / maxPos_ * position_);
        FillRect(p, 4, 3, right, H - 3, barColor_);
    }

    if (style_ == BS_SPLIT) splitPos_ = W - W / 3 - config::ScaleDpi(2);

    if (!bitmap.isNull()) {
        const int bw = bitmap.width();
        const int bh = bitmap.height();
        int dw, dh;
        if (stretch_) {
            const double f = std::min(double(W - 2 * margin_) / bw, double(H - 2 * margin_) / bh);
            dw = RoundEven(bw * f);
            dh = RoundEven(bh * f);
        } else {
            dw = config::ScaleDpi(bw);
            dh = config::ScaleDpi(bh);
        }
        const int top = H / 2 - dh / 2;
        int left = margin_;
        if (imgePos_ == IP_CENTER)
            left = style_ == BS_SPLIT ? splitPos_ / 2 - dw / 2 : W / 2 - dw / 2;

        QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
        if (transparent_) {
            // The bottom-left pixel names the colour that is left out.
            const QRgb key = image.pixel(0, bh - 1) & 0xFFFFFF;
            for (int y = 0; y < bh; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < bw; ++x)
                    if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
            }
        }
        p.drawImage(QRect(left, top, dw, dh), image);
    }

    const QColor fontColor = ToQColor(FontColor());
    if (style_ == BS_SPLIT) {
        const int s = splitPos_;
        p.setPen(QPen(fontColor, 1));
        p.setBrush(fontColor);
        const int y1 = config::ScaleDpi(5);
        const int y2 = H - config::ScaleDpi(5);
        if (y2 > y1) p.drawLine(s, y1, s, y2 - 1);
        const int x0 = s + config::ScaleDpi(3);
        int a = W - x0 - config::ScaleDpi(4);
        if (a % 2 != 0) a -= 1;
        const int y0 = H / 2 - a / 4;
        if (a > 0) {
            const QPolygon triangle(
                {QPoint(x0, y0), QPoint(x0 + a / 2, y0 + a / 2), QPoint(x0 + a, y0)});
            p.drawPolygon(triangle);
        }
    }

    if (!line1_.isEmpty()) {
        QFont f = font_;
        // Pixel heights are designed for 96 dpi; point sizes Qt already
        // converts with the screen's logical dpi.
        if (f.pixelSize() > 0) f.setPixelSize(config::ScaleDpi(f.pixelSize()));
        p.setFont(f);
        p.setPen(fontColor);
        const QFontMetrics fm(f);
        const QString& longer = line1_.size() > line2_.size() ? line1_ : line2_;
        textWidth_ = fm.horizontalAdvance(longer);
        const int th = fm.height();
        const int block = line2_.isEmpty() ? th : 2 * th;
        int y;
        if (cAlign_ == CA_BOTTOM) {
            y = H - block - 6;
            textOffset = 0;
        } else {
            y = H / 2 - block / 2;
        }
        // On a split button the caption belongs to the part left of the
        // separator, as the centred image does; laid out over the whole
        // width it would run into the separator and the arrow.
        const int room = style_ == BS_SPLIT ? splitPos_ : W;
        const int x = cAlign_ == CA_RIGHT ? room - textWidth_ - 4
                                          : (room - textOffset) / 2 - textWidth_ / 2 + textOffset;
        // Single-line drawing: a line feed after the line break stays in
        // the second line's text without starting a third line.
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        p.drawText(QRect(x, y, std::max(textWidth_, 1) + W, th), flags, line1_);
        if (!line2_.isEmpty())
            p.drawText(QRect(x, y + th, std::max(textWidth_, 1) + W, th), flags, line2_);
    }

    if (focused_) {
        p.setPen(QPen(ToQColor(focusColor_), 1));
        p.setBrush(Qt::NoBrush);
        if (flat_)
            DrawRectangle(p, 1, 1, W - 1, H - 1);
        else
            DrawRoundRect(p, 1, 1, W - 1, H - 1, corner);
    }
    p.end();

    setAttribute(Qt::WA_OpaquePaintEvent, true);
    if (!painting_) update();

    if (!enabled_) {
        enabled_ = true;
        SetEnabled(false);
    }
}

void TFlatButton2::paintEvent(QPaintEvent*) {
    painting_ = true;
    if (!face_.isNull()) {
        QPainter p(this);
        p.drawImage(QRect(0, 0, scaledWidth_, scaledHeight_), face_);
    }
    painting_ = false;
}

void TFlatButton2::ShowPopup() {
    if (popup_) popup_->popup(mapToGlobal(QPoint(0, scaledHeight_)));
}

void TFlatButton2::ButtonMouseDown(Qt::MouseButton button) {
    if (!enabled_ || button != Qt::LeftButton) return;
    borderColor_ = flat_ ? DarkenColor(bgColorFlat_, 0x404040)
                         : FromQColor(palette().color(QPalette::Highlight));
    pressed_ = true;
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    RenderFace(downImgID_ >= 0 ? downImgID_ : currentImage_);
}

void TFlatButton2::ButtonMouseUp(Qt::MouseButton button, int x, int y) {
    if (!enabled_) return;
    bool counts =
        button == Qt::LeftButton && x >= 0 && x < scaledWidth_ && y >= 0 && y < scaledHeight_;
    if (counts) {
        leftClick_ = x < scaledWidth_ / 2;
        if (style_ == BS_SPLIT && x >= splitPos_) {
            ShowPopup();
            counts = false;
        }
    }
    pressed_ = false;
    RenderFace(imageID_);
    if (counts && OnClick) OnClick(this);
}

void TFlatButton2::ButtonMouseEnter() {
    if (!enabled_) return;
    borderColor_ = flat_ ? DarkenColor(bgColorFlat_, 0x404040)
                         : FromQColor(palette().color(QPalette::Highlight));
    RenderFace(hotImgID_ >= 0 ? hotImgID_ : currentImage_);
}

void TFlatButton2::ButtonMouseLeave() {
    if (!enabled_) return;
    borderColor_ = flat_ ? FlatBorderColor() : 0x808080;
    RenderFace(imageID_);
}

void TFlatButton2::ButtonEnter() {
    if (!enabled_ || !tabStop_) return;
    focused_ = true;
    RenderFace(currentImage_);
}

void TFlatButton2::ButtonExit() {
    if (!enabled_) return;
    focused_ = false;
    if (tabStop_) RenderFace(currentImage_);
}

// Sets key to 0 when it acted, so the key goes no further up the windows.
void TFlatButton2::ButtonKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift) {
    if (!enabled_) return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (OnClick) OnClick(sender);
        key = 0;
    } else if (key == Qt::Key_Down && (shift & Qt::AltModifier) && style_ == BS_SPLIT) {
        ShowPopup();
        key = 0;
    }
}

void TFlatButton2::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) clickStarted_ = true;
    ButtonMouseDown(event->button());
}

// The order of one left click: Click (the form's modal result) first, then
// the mouse-up handler (popup or OnClick).
void TFlatButton2::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QPointer<QDialog> form = qobject_cast<QDialog*>(window());
    bool endModal = false;
    if (event->button() == Qt::LeftButton) {
        const bool inside = rect().contains(pos);
        if (clickStarted_ && inside) {
            mouseClick_ = true;
            modalEndDue_ = false;
            Click();
            mouseClick_ = false;
            endModal = modalEndDue_;
        }
        clickStarted_ = false;
    }
    // OnClick may end with the button gone; only the form is used after it.
    ButtonMouseUp(event->button(), pos.x(), pos.y());
    if (endModal && form) EndModalRun(form);
}

void TFlatButton2::enterEvent(QEnterEvent*) {
    ButtonMouseEnter();
}
void TFlatButton2::leaveEvent(QEvent*) {
    ButtonMouseLeave();
}
void TFlatButton2::focusInEvent(QFocusEvent*) {
    ButtonEnter();
}
void TFlatButton2::focusOutEvent(QFocusEvent*) {
    ButtonExit();
}

void TFlatButton2::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (OnKeyDown) OnKeyDown(this, key, event->modifiers());
    // The character follows its key down even when that handler acted on
    // the key; a character handler that clears it consumes the key as well.
    bool consumed = key == 0;
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar c = event->text().at(0);
        OnKeyPress(this, c);
        if (c.isNull()) consumed = true;
    }
    if (consumed)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TFlatButton2::event(QEvent* event) {
    // Hints show only while ShowHint is on.
    if (event->type() == QEvent::ToolTip && !showHint_) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace tandex::ui
