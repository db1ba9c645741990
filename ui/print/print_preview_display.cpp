// The preview's painting, its keys, wheel and mouse, and the thumbnail
// views it keeps in step.

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "config/services.h"
#include "ui/main/window_helpers.h"
#include "ui/print/gdiplus_subset.h"
#include "ui/print/picture_routines.h"
#include "ui/print/print_preview.h"

namespace tandex::print {

namespace {

constexpr int kWheelNotch = 120;
constexpr int kWheelLines = 5;
// The room a dragged paper may keep from the window's edge where no scroll
// bar moves it; the layout keeps none either.
constexpr int kScrollMarginForDrag = 0;

int roundHalfEven(double v) {
    return int(std::nearbyint(v));
}

// The part of the paper the printer reaches, in the preview's units.
QRect printableArea(const PreviewDocument& doc) {
    return doc.PrintableAreaBounds();
}

}  // namespace

// ---- gray settings ------------------------------------------------------

int TPrintPreview::Grayscale() const {
    return Document().Grayscale;
}

void TPrintPreview::SetGrayscale(int value) {
    if (value == Document().Grayscale) return;
    Document().Grayscale = value;
    paper_->Invalidate();
    RecolorThumbnailViews(false);
}

int TPrintPreview::GrayBrightness() const {
    return Document().GrayBrightness();
}

void TPrintPreview::SetGrayBrightness(int value) {
    value = qBound(-100, value, 100);
    if (value == Document().GrayBrightness()) return;
    Document().SetGrayBrightness(value);
    if (!(Document().Grayscale & gsPreview)) return;
    paper_->Invalidate();
    RecolorThumbnailViews(true);
}

int TPrintPreview::GrayContrast() const {
    return Document().GrayContrast();
}

void TPrintPreview::SetGrayContrast(int value) {
    value = qBound(-100, value, 100);
    if (value == Document().GrayContrast()) return;
    Document().SetGrayContrast(value);
    if (!(Document().Grayscale & gsPreview)) return;
    paper_->Invalidate();
    RecolorThumbnailViews(true);
}

void TPrintPreview::SetShowPrintableArea(bool value) {
    if (value == showPrintableArea_) return;
    showPrintableArea_ = value;
    if (Document().TotalPages() > 0) paper_->Invalidate();
}

void TPrintPreview::SetPrintableAreaColor(const QColor& value) {
    if (value == printableAreaColor_) return;
    printableAreaColor_ = value;
    if (showPrintableArea_ && Document().TotalPages() > 0) paper_->Invalidate();
}

// ---- painting -----------------------------------------------------------

void TPrintPreview::ShowPaper(bool shown) {
    paper_->setVisible(shown);
}

void TPrintPreview::paintEvent(QPaintEvent* event) {
    QRegion room = event->region();
    if (!paper_->isHidden()) room -= paper_->geometry();
    QPainter canvas(viewport());
    const QBrush brush = viewport()->palette().brush(QPalette::Window);
    for (const QRect& r : room) canvas.fillRect(r, brush);
}

void TPrintPreview::PaperViewPaint(TPaperPreview*, QPainter& canvas, const QRect& rect) {
    const int pageNo = Document().CurrentPage();
    if (pageNo < 1 || pageNo > Document().TotalPages()) return;
    DrawScreenPage(pageNo, canvas, rect);
    if (!showPrintableArea_) return;
    const double sx = double(rect.width()) / qMax(1, Document().PaperWidth());
    const double sy = double(rect.height()) / qMax(1, Document().PaperHeight());
    const QRect area = printableArea(Document());
    const int x1 = rect.left() + roundHalfEven(area.left() * sx);
    const int x2 = rect.left() + roundHalfEven((area.left() + area.width()) * sx);
    const int y1 = rect.top() + roundHalfEven(area.top() * sy);
    const int y2 = rect.top() + roundHalfEven((area.top() + area.height()) * sy);
    canvas.save();
    // Masked with the colour, the frame stays visible on anything the page
    // holds; it is a screen aid and never printed.
    QPen pen(printableAreaColor_, 0, Qt::DotLine);
    pen.setCosmetic(true);
    canvas.setPen(pen);
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    canvas.drawLine(x1, rect.top(), x1, rect.bottom());
    canvas.drawLine(x2, rect.top(), x2, rect.bottom());
    canvas.drawLine(rect.left(), y1, rect.right(), y1);
    canvas.drawLine(rect.left(), y2, rect.right(), y2);
    canvas.restore();
}

void TPrintPreview::DrawScreenPage(int pageNo, QPainter& canvas, const QRect& rect) {
    const auto overlay = [&](const QByteArray& picture) {
        if (picture.isEmpty()) return;
        try {
            DrawGraphic(canvas, rect, TGraphic::FromMetafile(picture));
        } catch (const std::exception& error) {
            ReportDrawError(error);
        }
    };
    overlay(backgroundPicture_);
    RenderPage(pageNo, canvas, rect, Document().Grayscale & gsPreview);
    if (PreviewDrawError == 0) overlay(annotationPicture_);
}

void TPrintPreview::RenderPage(int pageNo, QPainter& canvas, const QRect& rect, bool gray) {
    // The paint handler is the boundary: a malformed page or a failed
    // allocation is reported there and never reaches the toolkit.
    try {
        const QByteArray page = Document().Pages(pageNo);
        if (page.isEmpty()) return;
        if (!gray) {
            GDIPlusInstance().Draw(canvas, rect, page);
            return;
        }
        // Only the part being painted is made gray, with a pixel to spare
        // on each side for smoothing at its edges.
        QRect area = canvas.hasClipping() ? canvas.clipBoundingRect().toAlignedRect() & rect : rect;
        if (area.isEmpty()) return;
        area.adjust(-1, -1, 1, 1);
        const QRgb paper = paper_->PaperColor().rgb();
        QImage bitmap(area.size(), QImage::Format_ARGB32);
        if (bitmap.isNull()) throw std::bad_alloc();
        bitmap.fill(paper);
        {
            QPainter bitmapCanvas(&bitmap);
            GDIPlusInstance().Draw(bitmapCanvas, rect.translated(-area.topLeft()), page);
        }
        MakeBitmapGray(bitmap, Document().GrayBrightness(), Document().GrayContrast(), true, paper);
        // The paper colour is transparent: what lies below shows through.
        const QRgb key = paper & 0x00FFFFFF;
        for (int y = 0; y < bitmap.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
            for (int x = 0; x < bitmap.width(); ++x)
                if ((line[x] & 0x00FFFFFF) == key) line[x] = 0;
        }
        canvas.drawImage(area.topLeft(), bitmap);
    } catch (const std::exception& error) {
        ReportDrawError(error);
    }
}

void TPrintPreview::ReportDrawError(const std::exception& error) {
    if (PreviewDrawError != 0) return;
    PreviewDrawError = 3;
    // A modal box must not open inside a paint event: it comes right after.
    const QString text = QString::fromUtf8(error.what());
    QTimer::singleShot(0, this, [text] {
        config::showMessage(QStringLiteral(" Tandex Print preview "), text, config::MsgKind::Error);
    });
}

// ---- keys ---------------------------------------------------------------

void TPrintPreview::keyPressEvent(QKeyEvent* event) {
    // The numeric pad is where plus and minus come from, not a modifier of
    // the table.
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = mods == Qt::NoModifier;
    const bool shift = mods == Qt::ShiftModifier;
    const bool ctrl = mods == Qt::ControlModifier;
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    PreviewDocument& doc = Document();
    // A key of the table: none, Shift and Ctrl each do their part.
    const auto act = [&](const std::function<void()>& none, const std::function<void()>& withShift,
                         const std::function<void()>& withCtrl) {
        const std::function<void()>& action = plain ? none : shift ? withShift : ctrl ? withCtrl : nullptr;
        if (!action) return false;
        action();
        return true;
    };
    const auto trigger = [](QScrollBar* bar, QAbstractSlider::SliderAction action) {
        return [bar, action] { bar->triggerAction(action); };
    };
    const auto nudge = [](QScrollBar* bar, int by) { return [bar, by] { bar->setValue(bar->value() + by); }; };
    bool handled = false;
    switch (event->key()) {
    case Qt::Key_Home:
        handled = act(trigger(hbar, QAbstractSlider::SliderToMinimum), {}, trigger(vbar, QAbstractSlider::SliderToMinimum));
        break;
    case Qt::Key_End:
        handled = act(trigger(hbar, QAbstractSlider::SliderToMaximum), {}, trigger(vbar, QAbstractSlider::SliderToMaximum));
        break;
    case Qt::Key_Left:
        handled = act(trigger(hbar, QAbstractSlider::SliderSingleStepSub), nudge(hbar, -1),
                      trigger(hbar, QAbstractSlider::SliderPageStepSub));
        break;
    case Qt::Key_Right:
        handled = act(trigger(hbar, QAbstractSlider::SliderSingleStepAdd), nudge(hbar, 1),
                      trigger(hbar, QAbstractSlider::SliderPageStepAdd));
        break;
    case Qt::Key_Up:
        handled = act(trigger(vbar, QAbstractSlider::SliderSingleStepSub), nudge(vbar, -1),
                      trigger(vbar, QAbstractSlider::SliderPageStepSub));
        break;
    case Qt::Key_Down:
        handled = act(trigger(vbar, QAbstractSlider::SliderSingleStepAdd), nudge(vbar, 1),
                      trigger(vbar, QAbstractSlider::SliderPageStepAdd));
        break;
    case Qt::Key_PageDown:
        handled = act([&] { doc.SetCurrentPage(doc.CurrentPage() + 1); }, {},
                      [&] { doc.SetCurrentPage(doc.TotalPages()); });
        break;
    case Qt::Key_PageUp:
        handled = act([&] { doc.SetCurrentPage(doc.CurrentPage() - 1); }, {}, [&] { doc.SetCurrentPage(1); });
        break;
    case Qt::Key_Plus:
        if (keypad) handled = act([&] { SetZoom(zoom_ + ZoomStep); }, {}, {});
        break;
    case Qt::Key_Minus:
        if (keypad) handled = act([&] { SetZoom(zoom_ - ZoomStep); }, {}, {});
        break;
    default: break;
    }
    if (handled) event->accept();
    else QWidget::keyPressEvent(event);
}

// ---- wheel --------------------------------------------------------------

void TPrintPreview::wheelEvent(QWheelEvent* event) {
    if (!rect().contains(mapFromGlobal(event->globalPosition().toPoint()))) {
        event->ignore();
        return;
    }
    event->accept();
    // Touchpads send fractions of a notch: they add up to one.
    wheelAccumulator_ += event->angleDelta().y();
    const Qt::KeyboardModifiers mods = event->modifiers();
    while (qAbs(wheelAccumulator_) >= kWheelNotch) {
        const bool towardUser = wheelAccumulator_ < 0;
        wheelAccumulator_ += towardUser ? kWheelNotch : -kWheelNotch;
        if (mods.testFlag(Qt::ControlModifier)) {
            SetZoom(zoom_ + (towardUser ? -ZoomStep : ZoomStep));
        } else if (mods.testFlag(Qt::ShiftModifier)) {
            if (towardUser) {
                // The host window shows the new page in one piece.
                ui::LockWindowRedraw(HostWindowHandle);
                Document().SetCurrentPage(Document().CurrentPage() + 1);
                ui::UnlockWindowRedraw(HostWindowHandle, ui::RDW_INVALIDATE | ui::RDW_NOERASE | ui::RDW_ALLCHILDREN);
                update();
            } else {
                Document().SetCurrentPage(Document().CurrentPage() - 1);
            }
        } else if (mods == Qt::NoModifier && event->buttons() == Qt::NoButton) {
            const auto action = towardUser ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub;
            for (int i = 0; i < kWheelLines; ++i) verticalScrollBar()->triggerAction(action);
        } else {
            event->ignore();
        }
    }
}

// ---- mouse on the paper -------------------------------------------------

bool TPrintPreview::eventFilter(QObject* watched, QEvent* event) {
    // The paper's mouse events go on to the window afterwards (the paper
    // ignores them), so the owner sees them in the window's coordinates.
    if (watched == paper_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: PaperMouseDown(static_cast<QMouseEvent*>(event)); break;
        case QEvent::MouseMove: PaperMouseMove(static_cast<QMouseEvent*>(event)); break;
        case QEvent::MouseButtonRelease: PaperMouseUp(static_cast<QMouseEvent*>(event)); break;
        default: break;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void TPrintPreview::PaperMouseDown(QMouseEvent* event) {
    if (!hasFocus() && isEnabled()) setFocus(Qt::MouseFocusReason);
    if (canScrollHorz_ || canScrollVert_) {
        dragging_ = true;
        paper_->setCursor(paperView_.GrabCursor());
    }
    pressPos_ = event->position().toPoint();
}

void TPrintPreview::PaperMouseMove(QMouseEvent* event) {
    if (!event->buttons().testFlag(Qt::LeftButton)) return;
    const QPoint delta = event->position().toPoint() - pressPos_;
    bool moved = false;
    // The paper follows the mouse: by its scroll bar, or itself within the
    // margins where the direction has none.
    const auto follow = [&](Qt::Orientation o, int d) {
        QScrollBar* bar = o == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
        if (ScrollBarShown(o)) {
            bar->setValue(bar->value() - d);
            return;
        }
        const bool horz = o == Qt::Horizontal;
        const int at = horz ? paper_->x() : paper_->y();
        const int lowest = (horz ? viewport()->width() - paper_->width() : viewport()->height() - paper_->height()) -
                           kScrollMarginForDrag;
        const int to = qMax(lowest, qMin(at + d, kScrollMarginForDrag));
        if (to == at) return;
        (horz ? paperOrigin_.rx() : paperOrigin_.ry()) += to - at;
        PlacePaper();
        moved = true;
    };
    if (canScrollHorz_) follow(Qt::Horizontal, delta.x());
    if (canScrollVert_) follow(Qt::Vertical, delta.y());
    if (moved) {
        viewport()->update();
        SyncThumbnailViews();
    }
}

void TPrintPreview::PaperMouseUp(QMouseEvent*) {
    if (!dragging_) return;
    dragging_ = false;
    paper_->setCursor(paperView_.DragCursor());
}

// ---- thumbnail views ----------------------------------------------------

void TPrintPreview::AttachThumbnailView(ThumbnailView* view) {
    if (!view || std::find(views_.begin(), views_.end(), view) != views_.end()) return;
    if (view->attachedTo_ && view->attachedTo_ != this) view->attachedTo_->DetachThumbnailView(view);
    views_.push_back(view);
    view->attachedTo_ = this;
}

void TPrintPreview::DetachThumbnailView(ThumbnailView* view) {
    const auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end()) return;
    views_.erase(it);
    view->attachedTo_ = nullptr;
    views_.shrink_to_fit();
}

// Views may leave while they are told: each call works on a copy.
void TPrintPreview::RebuildThumbnailViews() {
    for (ThumbnailView* view : std::vector(views_)) view->Rebuild();
}

void TPrintPreview::RefreshThumbnailRange(int first, int last) {
    for (ThumbnailView* view : std::vector(views_)) view->UpdateRange(first, last);
}

void TPrintPreview::RepaintThumbnailRange(int first, int last) {
    for (ThumbnailView* view : std::vector(views_)) view->RepaintRange(first, last);
}

void TPrintPreview::RecolorThumbnailViews(bool onlyGray) {
    for (ThumbnailView* view : std::vector(views_)) {
        if (!onlyGray) view->UpdateGrayFlag();
        else if (view->DrawsGray()) view->RepaintRange(0, Document().TotalPages() - 1);
    }
}

void TPrintPreview::SyncThumbnailViews() {
    const int index = Document().CurrentPage() - 1;
    for (ThumbnailView* view : std::vector(views_)) {
        // The same page: only its visible-area marker moved.
        if (view->CurrentIndex() == index) view->RepaintRange(index, index);
        else view->SyncCurrent(index);
        view->UpdateView();
    }
}

}  // namespace tandex::print
