#include "ui/print/print_preview.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <cmath>

#include "ui/print/emf_recorder.h"

namespace tandex::print {

int PreviewDrawError = 0;

namespace {

// The scroll box keeps this much room around the paper; like the
// toolkit's scroll boxes, none.
constexpr int kScrollMargin = 0;
// The distance of a line step of the scroll bars.
constexpr int kLineStep = 8;
// A paper control that does not take the size the layout gives it makes
// the layout start again with the zoom of the size it took; a control that
// keeps refusing would restart it forever.
constexpr int kLayoutRestarts = 3;

}  // namespace

// The preview core with the window's part filled in.
class TPrintPreview::Core : public PreviewDocument {
public:
    explicit Core(TPrintPreview& owner) : owner_(owner) {}
    using PreviewDocument::ComputePageExtents;

    // Records an overlay picture of a page on a canvas of its own, mapped
    // like a page: a recording in progress keeps its canvas. The picture
    // is kept even when the handler raises.
    void RecordOverlay(int pageNo, const std::function<void(TPrintPreview*, int, QPainter&)>& draw,
                       QByteArray& picture) {
        EmfPaintDevice device(PageExtent(), ReferenceDpiX(), ReferenceDpiY(), CreatorText(), PrintJobTitle);
        QPainter canvas;
        if (!canvas.begin(&device)) throw EOutOfMemory(QString::fromLatin1(kPageMemoryErrorText));
        const auto finish = qScopeGuard([&] {
            canvas.end();
            picture = device.metafileBits();
        });
        canvas.setFont(Font);
        MapCanvasToUnits(canvas);
        canvas.setBackground(Qt::white);
        canvas.setBackgroundMode(Qt::TransparentMode);
        draw(&owner_, pageNo, canvas);
    }

protected:
    void LayoutPaper() override { owner_.LayoutPaper(); }
    void ShowPaper(bool shown) override { owner_.ShowPaper(shown); }
    void RepaintPaper() override { owner_.paper_->Invalidate(); }
    void UpdateView() override { owner_.viewport()->update(); }
    void RenderBackground(int pageNo) override { owner_.RenderBackground(pageNo); }
    void RenderAnnotation(int pageNo) override { owner_.RenderAnnotation(pageNo); }
    void RebuildThumbnailViews() override { owner_.RebuildThumbnailViews(); }
    void RefreshThumbnailRange(int first, int last) override { owner_.RefreshThumbnailRange(first, last); }
    void RepaintThumbnailRange(int first, int last) override { owner_.RepaintThumbnailRange(first, last); }
    void SyncThumbnailViews() override { owner_.SyncThumbnailViews(); }

private:
    TPrintPreview& owner_;
};

ThumbnailView::~ThumbnailView() {
    if (attachedTo_) attachedTo_->DetachThumbnailView(this);
}

TPrintPreview::TPrintPreview(QWidget* parent)
    : QAbstractScrollArea(parent), printableAreaColor_(QColor(192, 192, 192)) {
    PreviewDrawError = 0;
    paper_ = new TPaperPreview(viewport());
    paper_->hide();
    paper_->setFocusPolicy(Qt::NoFocus);
    paper_->OnPaint = [this](TPaperPreview* sender, QPainter& canvas, const QRect& rect) {
        PaperViewPaint(sender, canvas, rect);
    };
    paper_->installEventFilter(this);
    paperView_.AssignTo(*paper_);
    paperView_.OnChange = [this](TPaperPreviewOptions*, int severity) {
        paperView_.AssignTo(*paper_);
        // The options carry the resting cursor; the paper shows the one of
        // its state.
        if (dragging_) paper_->setCursor(paperView_.GrabCursor());
        else if (canScrollHorz_ || canScrollVert_) paper_->setCursor(paperView_.DragCursor());
        if (severity == 2) LayoutPaper();
    };
    core_ = std::make_unique<Core>(*this);

    setFocusPolicy(Qt::StrongFocus);
    // The window paints the room around the paper itself.
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setSingleStep(kLineStep);
    verticalScrollBar()->setSingleStep(kLineStep);
}

TPrintPreview::~TPrintPreview() {
    for (ThumbnailView* view : std::exchange(views_, {})) {
        view->attachedTo_ = nullptr;
        view->PreviewFreed();
    }
    paper_->OnPaint = nullptr;
    paper_->removeEventFilter(this);
}

PreviewDocument& TPrintPreview::Document() {
    return *core_;
}
const PreviewDocument& TPrintPreview::Document() const {
    return *core_;
}

// ---- zoom ---------------------------------------------------------------

void TPrintPreview::FireZoomChange() {
    lastZoom_ = zoom_;
    update();
    if (OnZoomChange) OnZoomChange();
}

void TPrintPreview::SetZoom(int value) {
    value = qBound(zoomMin_, value, zoomMax_);
    if (value == zoom_ && zoomState_ == zsZoomOther) return;
    const int old = zoom_;
    zoom_ = value;
    zoomState_ = zsZoomOther;
    LayoutPaper();
    // The layout reports a changed zoom; an unchanged one still changed
    // the state.
    if (zoom_ == old && OnZoomChange) OnZoomChange();
}

void TPrintPreview::SetZoomState(TZoomState value) {
    if (value == zoomState_) return;
    const int old = zoom_;
    zoomState_ = value;
    LayoutPaper();
    if (zoom_ == old && OnZoomChange) OnZoomChange();
}

void TPrintPreview::SetZoomMin(int value) {
    if (value == zoomMin_ || value < 1 || value > zoomMax_) return;
    zoomMin_ = value;
    if (zoomState_ == zsZoomOther && zoom_ < value) SetZoom(value);
}

void TPrintPreview::SetZoomMax(int value) {
    if (value == zoomMax_ || value < zoomMin_) return;
    zoomMax_ = value;
    if (zoomState_ == zsZoomOther && zoom_ > value) SetZoom(value);
}

QSize TPrintPreview::ComputePaperViewSize(QSize space) {
    // A paper narrower than a screen pixel still has a shape to fit.
    const QSize page = core_->PageScreenSize();
    const int pw = qMax(1, page.width()), ph = qMax(1, page.height());
    if (zoomState_ == zsZoomOther)
        return QSize(paper_->ControlWidthFor(MulDiv(pw, zoom_, 100)), paper_->ControlHeightFor(MulDiv(ph, zoom_, 100)));
    bool byHeight = zoomState_ == zsZoomToHeight;
    if (zoomState_ == zsZoomToFit) byHeight = double(space.height()) / space.width() <= double(ph) / pw;
    QSize size;
    if (byHeight) {
        size.setHeight(space.height());
        size.setWidth(paper_->ControlWidthFor(MulDiv(paper_->PaperHeightFor(size.height()), pw, ph)));
    } else {
        size.setWidth(space.width());
        size.setHeight(paper_->ControlHeightFor(MulDiv(paper_->PaperWidthFor(size.width()), ph, pw)));
    }
    // Halves to even, the default rounding mode.
    zoom_ = int(std::nearbyint(paper_->PaperHeightFor(size.height()) * 100.0 / ph));
    return size;
}

// ---- layout -------------------------------------------------------------

bool TPrintPreview::ScrollBarShown(Qt::Orientation orientation) const {
    const Qt::ScrollBarPolicy policy =
        orientation == Qt::Horizontal ? horizontalScrollBarPolicy() : verticalScrollBarPolicy();
    return policy == Qt::ScrollBarAlwaysOn;
}

void TPrintPreview::LayoutPaperAt(int x, int y) {
    for (int pass = 0; LayoutPass(x, y, pass == kLayoutRestarts); ++pass) {
    }
}

bool TPrintPreview::LayoutPass(int x, int y, bool lastPass) {
    if (!testAttribute(Qt::WA_WState_Created) || layingOut_ || core_->TotalPages() == 0) return false;
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    const QSize client = viewport()->size();
    QSize space(client.width() - 2 * kScrollMargin, client.height() - 2 * kScrollMargin);
    if (space.width() <= 0 || space.height() <= 0) return false;

    const bool keepPosition = ZoomSavePos && core_->CurrentPage() > 0;
    QPoint percent;
    if (keepPosition) {
        percent.setX(qMax(0, MulDiv(hbar->value(), 100, scrollRange_.width() - space.width())));
        percent.setY(qMax(0, MulDiv(vbar->value(), 100, scrollRange_.height() - space.height())));
    }
    // The space that the scroll bars may free.
    const int barHeight = hbar->sizeHint().height();
    const int barWidth = vbar->sizeHint().width();
    if (ScrollBarShown(Qt::Horizontal)) space.rheight() += barHeight;
    if (ScrollBarShown(Qt::Vertical)) space.rwidth() += barWidth;

    layingOut_ = true;
    viewport()->setUpdatesEnabled(false);
    hbar->setValue(0);
    vbar->setValue(0);

    QSize size = ComputePaperViewSize(space);
    canScrollHorz_ = size.width() > space.width();
    canScrollVert_ = size.height() > space.height();
    // One scroll bar takes room that the other direction may then lack.
    // The paper this layout computes for the smaller room decides; the
    // paper of the last layout would miss a direction after a zoom change.
    if (canScrollHorz_) {
        space.rheight() -= barHeight;
        size = ComputePaperViewSize(space);
        canScrollVert_ = size.height() > space.height();
        if (canScrollVert_) {
            space.rwidth() -= barWidth;
            size = ComputePaperViewSize(space);
        }
    } else if (canScrollVert_) {
        space.rwidth() -= barWidth;
        size = ComputePaperViewSize(space);
        canScrollHorz_ = size.width() > space.width();
        if (canScrollHorz_) {
            space.rheight() -= barHeight;
            size = ComputePaperViewSize(space);
        }
    }

    int left = kScrollMargin, top = kScrollMargin;
    if (size.width() <= space.width()) left += (space.width() - size.width()) / 2;
    if (size.height() <= space.height()) top += (space.height() - size.height()) / 2;
    paperOrigin_ = QPoint(left, top);
    paper_->setGeometry(QRect(paperOrigin_, size));
    ApplyScrollBars(QSize(left + paper_->width() + kScrollMargin, top + paper_->height() + kScrollMargin));

    if (core_->CurrentPage() > 0) {
        const QSize page = core_->PageScreenSize();
        if (canScrollHorz_) {
            if (x >= 0) hbar->setValue(MulDiv(x, scrollRange_.width(), qMax(1, page.width())));
            else if (ZoomSavePos) hbar->setValue(MulDiv(percent.x(), scrollRange_.width() - space.width(), 100));
        }
        if (canScrollVert_) {
            if (y >= 0) vbar->setValue(MulDiv(y, scrollRange_.height(), qMax(1, page.height())));
            else if (ZoomSavePos) vbar->setValue(MulDiv(percent.y(), scrollRange_.height() - space.height(), 100));
        }
    }
    viewport()->setUpdatesEnabled(true);
    viewport()->update();
    layingOut_ = false;

    dragging_ = false;
    paper_->setCursor(canScrollHorz_ || canScrollVert_ ? paperView_.DragCursor() : paperView_.Cursor());

    const bool tookSize = paper_->size() == size;
    if (!tookSize) {
        // The toolkit limited the control: the zoom of the size it took,
        // in whole steps.
        const QSize page = core_->PageScreenSize();
        const int step = qMax(1, ZoomStep);
        const int byWidth = MulDiv(100, paper_->width(), qMax(1, page.width())) / step * step;
        const int byHeight = MulDiv(100, paper_->height(), qMax(1, page.height())) / step * step;
        zoom_ = qMin(byWidth, byHeight);
        if (!lastPass) return true;
    }
    if (zoom_ != lastZoom_) FireZoomChange();
    SyncThumbnailViews();
    return false;
}

// The scroll box's automatic range: a bar wherever the paper reaches
// beyond the room, where the other bar may take room too.
void TPrintPreview::ApplyScrollBars(QSize content) {
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    QSize room = viewport()->size();
    if (ScrollBarShown(Qt::Horizontal)) room.rheight() += hbar->sizeHint().height();
    if (ScrollBarShown(Qt::Vertical)) room.rwidth() += vbar->sizeHint().width();
    bool needH = content.width() > room.width();
    bool needV = content.height() > room.height();
    if (needH && !needV) needV = content.height() > room.height() - hbar->sizeHint().height();
    if (needV && !needH) needH = content.width() > room.width() - vbar->sizeHint().width();
    setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const QSize view = viewport()->size();
    hbar->setRange(0, needH ? content.width() - view.width() : 0);
    hbar->setPageStep(view.width());
    vbar->setRange(0, needV ? content.height() - view.height() : 0);
    vbar->setPageStep(view.height());
    scrollRange_ = content;
}

void TPrintPreview::PlacePaper() {
    paper_->move(paperOrigin_ - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void TPrintPreview::scrollContentsBy(int, int) {
    PlacePaper();
    if (!layingOut_) {
        viewport()->update();
        SyncThumbnailViews();
    }
}

void TPrintPreview::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    LayoutPaper();
}

void TPrintPreview::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    LayoutPaper();
}

void TPrintPreview::Loaded() {
    core_->ComputePageExtents();
    LayoutPaper();
}

QRect TPrintPreview::GetVisiblePageRect() const {
    const QPoint at = paper_->pos();
    QRect shown = paper_->PageRect().translated(at) & viewport()->rect();
    shown.translate(-at);
    const int border = paper_->BorderWidth();
    const auto scale = [this](int v) { return MulDiv(v, 100, zoom_); };
    const int left = shown.left() - border, top = shown.top() - border;
    const int right = left + shown.width(), bottom = top + shown.height();
    return QRect(QPoint(scale(left), scale(top)), QPoint(scale(right) - 1, scale(bottom) - 1));
}

void TPrintPreview::ZoomToRect(const QRect& r) {
    const int remembered = lastZoom_;
    const QSize client = viewport()->size();
    const QSize space(client.width() - 2 * kScrollMargin, client.height() - 2 * kScrollMargin);
    const int w = paper_->ControlWidthFor(r.width()), h = paper_->ControlHeightFor(r.height());
    if (space.isEmpty() || w <= 0 || h <= 0) return;
    zoom_ = double(space.height()) / h <= double(space.width()) / w ? MulDiv(100, space.height(), h)
                                                                    : MulDiv(100, space.width(), w);
    LayoutPaperAt(r.left(), r.top());
    if (zoom_ != remembered) return;
    SyncThumbnailViews();
    if (zoomState_ == zsZoomOther) return;
    zoomState_ = zsZoomOther;
    if (OnZoomChange) OnZoomChange();
}

// ---- overlays -----------------------------------------------------------

void TPrintPreview::RenderBackground(int pageNo) {
    backgroundPicture_.clear();
    if (background_ && pageNo >= 1 && OnBackground) core_->RecordOverlay(pageNo, OnBackground, backgroundPicture_);
}

void TPrintPreview::RenderAnnotation(int pageNo) {
    annotationPicture_.clear();
    if (annotation_ && pageNo >= 1 && OnAnnotation) core_->RecordOverlay(pageNo, OnAnnotation, annotationPicture_);
}

void TPrintPreview::SetAnnotation(bool value) {
    if (value == annotation_) return;
    annotation_ = value;
    RenderAnnotation(core_->CurrentPage());
    paper_->Invalidate();
}

void TPrintPreview::SetBackground(bool value) {
    if (value == background_) return;
    background_ = value;
    RenderBackground(core_->CurrentPage());
    paper_->Invalidate();
}

}  // namespace tandex::print
