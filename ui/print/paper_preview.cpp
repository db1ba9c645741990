#include "ui/print/paper_preview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>

namespace tandex::print {

namespace {

QColor buttonShadowColor() {
    return QApplication::palette().color(QPalette::Dark);
}

// A rectangle given by its edges, right and bottom exclusive.
QRect edges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace

void DrawPaperFrame(QPainter& canvas, const QRect& box, int captionHeight, int borderWidth,
                    const QColor& borderColor, int shadowWidth, const QColor& shadowColor,
                    const QBrush& cornerBrush) {
    const int l = box.left(), t = box.top();
    const int w = box.width(), h = box.height();
    const int s = shadowWidth, c = captionHeight, b = borderWidth;
    canvas.save();
    canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (s > 0) {
        // The shadow is offset: its two outer corners show what lies behind
        // the paper.
        canvas.fillRect(edges(l + w - s, t, l + w, t + s), cornerBrush);
        canvas.fillRect(edges(l, t + h - c - s, l + s, t + h - c), cornerBrush);
        canvas.fillRect(edges(l + w - s, t + s, l + w, t + h - c), shadowColor);
        canvas.fillRect(edges(l + s, t + h - c - s, l + w, t + h - c), shadowColor);
    }
    if (b > 0) {
        // An inside-frame pen: the stroke stays within the rectangle, so a
        // wide border eats into the box and never out of it.
        QPen pen(borderColor, b);
        pen.setJoinStyle(Qt::MiterJoin);
        canvas.setPen(pen);
        canvas.setBrush(Qt::NoBrush);
        canvas.setRenderHint(QPainter::Antialiasing, false);
        const QRectF frame(l, t, w - s, h - c - s);
        canvas.drawRect(frame.adjusted(b / 2.0, b / 2.0, -b / 2.0, -b / 2.0));
    }
    canvas.restore();
}

// ---- options ------------------------------------------------------------

TPaperPreviewOptions::TPaperPreviewOptions()
    : paperColor_(Qt::white),
      borderColor_(Qt::black),
      shadowColor_(buttonShadowColor()),
      cursor_(Qt::ArrowCursor),
      dragCursor_(Qt::PointingHandCursor),
      grabCursor_(Qt::ArrowCursor) {}

void TPaperPreviewOptions::Changed(int severity) {
    if (OnChange) OnChange(this, severity);
}

void TPaperPreviewOptions::SetPaperColor(const QColor& value) {
    if (value == paperColor_) return;
    paperColor_ = value;
    Changed(1);
}
void TPaperPreviewOptions::SetBorderColor(const QColor& value) {
    if (value == borderColor_) return;
    borderColor_ = value;
    Changed(1);
}
void TPaperPreviewOptions::SetBorderWidth(int value) {
    if (value == borderWidth_) return;
    borderWidth_ = value;
    Changed(2);
}
void TPaperPreviewOptions::SetShadowColor(const QColor& value) {
    if (value == shadowColor_) return;
    shadowColor_ = value;
    Changed(1);
}
void TPaperPreviewOptions::SetShadowWidth(int value) {
    if (value == shadowWidth_) return;
    shadowWidth_ = value;
    Changed(2);
}
void TPaperPreviewOptions::SetCursor(const QCursor& value) {
    if (value == cursor_) return;
    cursor_ = value;
    Changed(0);
}
void TPaperPreviewOptions::SetDragCursor(const QCursor& value) {
    if (value == dragCursor_) return;
    dragCursor_ = value;
    Changed(0);
}
void TPaperPreviewOptions::SetGrabCursor(const QCursor& value) {
    if (value == grabCursor_) return;
    grabCursor_ = value;
    Changed(0);
}
void TPaperPreviewOptions::SetHint(const QString& value) {
    if (value == hint_) return;
    hint_ = value;
    Changed(0);
}
void TPaperPreviewOptions::SetPopupMenu(QMenu* value) {
    if (value == popupMenu_) return;
    popupMenu_ = value;
    Changed(0);
}

void TPaperPreviewOptions::Assign(const TPaperPreviewOptions& source) {
    if (&source == this) return;
    SetBorderColor(source.borderColor_);
    SetBorderWidth(source.borderWidth_);
    SetShadowColor(source.shadowColor_);
    SetShadowWidth(source.shadowWidth_);
    SetCursor(source.cursor_);
    SetDragCursor(source.dragCursor_);
    SetGrabCursor(source.grabCursor_);
    SetHint(source.hint_);
    SetPaperColor(source.paperColor_);
    SetPopupMenu(source.popupMenu_);
}

void TPaperPreviewOptions::AssignTo(TPaperPreview& target) const {
    target.SetPaperColor(paperColor_);
    target.SetBorderColor(borderColor_);
    target.SetBorderWidth(borderWidth_);
    target.SetShadowColor(shadowColor_);
    target.SetShadowWidth(shadowWidth_);
    target.setCursor(cursor_);
    target.PopupMenu = popupMenu_;
    target.setToolTip(hint_);
}

void TPaperPreviewOptions::CalcDimensions(int paperWidth, int paperHeight, QRect& boxRect,
                                          QRect& pageRect) const {
    pageRect = QRect(borderWidth_, borderWidth_, paperWidth, paperHeight);
    boxRect = QRect(0, 0, paperWidth + 2 * borderWidth_ + shadowWidth_,
                    paperHeight + 2 * borderWidth_ + shadowWidth_);
}

void TPaperPreviewOptions::DrawBox(QPainter& canvas, const QRect& boxRect) const {
    DrawPaperFrame(canvas, boxRect, 0, borderWidth_, borderColor_, shadowWidth_, shadowColor_, canvas.brush());
}

// ---- the control --------------------------------------------------------

TPaperPreview::TPaperPreview(QWidget* parent)
    : QWidget(parent), paperColor_(Qt::white), borderColor_(Qt::black), shadowColor_(buttonShadowColor()) {
    // Every pixel comes from the buffer: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 150);
}

QColor TPaperPreview::Color() const {
    return palette().color(QPalette::Window);
}

QRect TPaperPreview::PageRect() const {
    return QRect(borderWidth_, borderWidth_, PaperWidthFor(width()), PaperHeightFor(height()));
}

int TPaperPreview::ControlWidthFor(int paperWidth) const {
    return paperWidth + 2 * borderWidth_ + shadowWidth_;
}
int TPaperPreview::ControlHeightFor(int paperHeight) const {
    return paperHeight + 2 * borderWidth_ + shadowWidth_ + captionHeight_;
}
int TPaperPreview::PaperWidthFor(int controlWidth) const {
    return controlWidth - 2 * borderWidth_ - shadowWidth_;
}
int TPaperPreview::PaperHeightFor(int controlHeight) const {
    return controlHeight - 2 * borderWidth_ - shadowWidth_ - captionHeight_;
}

void TPaperPreview::SetPaperBounds(int left, int top, int paperWidth, int paperHeight) {
    setGeometry(left, top, ControlWidthFor(paperWidth), ControlHeightFor(paperHeight));
}

void TPaperPreview::Invalidate() {
    pageValid_ = false;
    update(PageRect());
}

void TPaperPreview::InvalidateAll() {
    frameValid_ = false;
    update();
}

void TPaperPreview::FrameChanged(QSize paperSize) {
    if (PreservePaperSize) SetPaperBounds(x(), y(), paperSize.width(), paperSize.height());
    InvalidateAll();
}

void TPaperPreview::SetPaperColor(const QColor& value) {
    if (value == paperColor_) return;
    paperColor_ = value;
    InvalidateAll();
}
void TPaperPreview::SetBorderColor(const QColor& value) {
    if (value == borderColor_) return;
    borderColor_ = value;
    InvalidateAll();
}
void TPaperPreview::SetShadowColor(const QColor& value) {
    if (value == shadowColor_) return;
    shadowColor_ = value;
    InvalidateAll();
}
void TPaperPreview::SetBorderWidth(int value) {
    if (value == borderWidth_) return;
    const QSize paper = PaperSize();
    borderWidth_ = value;
    FrameChanged(paper);
}
void TPaperPreview::SetShadowWidth(int value) {
    if (value == shadowWidth_) return;
    const QSize paper = PaperSize();
    shadowWidth_ = value;
    FrameChanged(paper);
}
void TPaperPreview::SetShowCaption(bool value) {
    if (value == showCaption_) return;
    showCaption_ = value;
    UpdateCaptionHeight();
}
void TPaperPreview::SetAlignment(Qt::Alignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    if (showCaption_) InvalidateAll();
}
void TPaperPreview::SetWordWrap(bool value) {
    if (value == wordWrap_) return;
    wordWrap_ = value;
    if (showCaption_) UpdateCaptionHeight();
}
void TPaperPreview::SetCaption(const QString& value) {
    if (value == caption_) return;
    caption_ = value;
    if (!showCaption_) return;
    UpdateCaptionHeight();
    InvalidateAll();
}

int TPaperPreview::CaptionFlags() const {
    const int align = int(QStyle::visualAlignment(layoutDirection(), alignment_ & Qt::AlignHorizontal_Mask));
    return align | Qt::TextHideMnemonic | (wordWrap_ ? Qt::TextWordWrap : Qt::TextSingleLine);
}

void TPaperPreview::UpdateCaptionHeight() {
    int height = 0;
    if (showCaption_) {
        const QFontMetrics metrics(font());
        const int width = qMax(1, this->width() - 2 * shadowWidth_);
        const QString text = wordWrap_ ? caption_ : metrics.elidedText(caption_, Qt::ElideRight, width);
        const QRect room(0, 0, width, 1 << 20);
        height = metrics.boundingRect(room, CaptionFlags(), text).height() + 2;
    }
    if (height == captionHeight_) return;
    const QSize paper = PaperSize();
    captionHeight_ = height;
    FrameChanged(paper);
}

void TPaperPreview::PaintFrame(QPainter& canvas) {
    const int w = width(), h = height();
    const int s = shadowWidth_, c = captionHeight_;
    if (showCaption_ && !caption_.isEmpty()) {
        QRect band = edges(0, h - c, w - s + 1, h);
        canvas.fillRect(band, Color());
        canvas.setFont(font());
        canvas.setPen(palette().color(QPalette::WindowText));
        band.adjust(0, 1, 0, -1);
        const QString text =
            wordWrap_ ? caption_ : QFontMetrics(font()).elidedText(caption_, Qt::ElideRight, band.width());
        canvas.setLayoutDirection(layoutDirection());
        canvas.drawText(band, CaptionFlags(), text);
    }
    DrawPaperFrame(canvas, rect(), c, borderWidth_, borderColor_, s, shadowColor_, Color());
}

void TPaperPreview::paintEvent(QPaintEvent* event) {
    const QRect area = rect() & event->rect();
    if (area.isEmpty()) return;
    if (!frameValid_ || !frameRect_.contains(area)) {
        const qreal ratio = devicePixelRatioF();
        QPixmap buffer(area.size() * ratio);
        buffer.setDevicePixelRatio(ratio);
        // The frame leaves the page area to the page and, with a caption,
        // a corner beside the caption band to nothing.
        buffer.fill(Color());
        {
            QPainter canvas(&buffer);
            canvas.translate(-area.topLeft());
            PaintFrame(canvas);
        }
        frameBuffer_ = buffer;
        frameRect_ = area;
        frameValid_ = true;
        pageValid_ = false;
    }
    const QRect page = area & PageRect();
    if (!page.isEmpty() && (!pageValid_ || !pagePainted_.contains(page))) {
        QPainter canvas(&frameBuffer_);
        canvas.translate(-frameRect_.topLeft());
        canvas.setClipRect(page);
        canvas.fillRect(page, paperColor_);
        if (OnPaint) {
            canvas.save();
            OnPaint(this, canvas, PageRect());
            canvas.restore();
        }
        pagePainted_ = page;
        pageValid_ = true;
    }
    QPainter(this).drawPixmap(frameRect_.topLeft(), frameBuffer_);
}

void TPaperPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    InvalidateAll();
    if (OnResize) OnResize(this);
}

void TPaperPreview::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange: InvalidateAll(); break;
    case QEvent::FontChange:
        if (showCaption_) {
            UpdateCaptionHeight();
            InvalidateAll();
        }
        break;
    case QEvent::LayoutDirectionChange:
        if (showCaption_) InvalidateAll();
        else Invalidate();
        break;
    default: break;
    }
}

void TPaperPreview::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseEnter) OnMouseEnter(this);
}

void TPaperPreview::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (OnMouseLeave) OnMouseLeave(this);
}

void TPaperPreview::contextMenuEvent(QContextMenuEvent* event) {
    if (!PopupMenu) {
        QWidget::contextMenuEvent(event);
        return;
    }
    PopupMenu->popup(event->globalPos());
}

}  // namespace tandex::print
