#pragma once
// The print preview's window: a scroll area that holds the preview core
// (PreviewDocument) and shows its current page on a paper control, zoomed
// to a factor or fitted to the window, in colour or gray, with background
// and annotation pictures and the printable-area frame. The user scrolls,
// zooms and turns pages with the keys, the wheel and the mouse. Thumbnail
// lists register with it and are kept in step.
//
// print_preview.cpp holds the zoom and the layout, print_preview_display.cpp
// the painting, the input and the thumbnail coordination.

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QColor>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <vector>

#include "ui/print/paper_preview.h"
#include "ui/print/preview_document.h"

namespace tandex::print {

enum TZoomState : int { zsZoomOther, zsZoomToWidth, zsZoomToHeight, zsZoomToFit };

// 3 once a page failed to draw, 0 otherwise; every new preview clears it.
// While it is set, annotations, thumbnails and report pages are not drawn.
extern int PreviewDrawError;

class TPrintPreview;

// What a thumbnail list offers the preview it shows. A view attaches
// itself through AttachThumbnailView and is detached when it dies.
class ThumbnailView {
public:
    virtual ~ThumbnailView();

    virtual void Rebuild() = 0;
    virtual void UpdateRange(int first, int last) = 0;
    virtual void RepaintRange(int first, int last) = 0;
    virtual void UpdateGrayFlag() = 0;
    virtual void SyncCurrent(int index) = 0;
    // The item of the preview's current page; -1 when none.
    virtual int CurrentIndex() const = 0;
    virtual bool DrawsGray() const = 0;
    // Paints what is pending now.
    virtual void UpdateView() = 0;
    // The preview is going away: the view drops its link.
    virtual void PreviewFreed() = 0;

private:
    friend class TPrintPreview;
    TPrintPreview* attachedTo_ = nullptr;
};

class TPrintPreview : public QAbstractScrollArea {
public:
    explicit TPrintPreview(QWidget* parent = nullptr);
    ~TPrintPreview() override;

    // The pages, the paper, recording and the page file.
    PreviewDocument& Document();
    const PreviewDocument& Document() const;
    TPaperPreview* Paper() const { return paper_; }
    // The paper's look; its changes go onto the paper control.
    TPaperPreviewOptions& PaperView() { return paperView_; }

    // ---- zoom and layout ----
    int Zoom() const { return zoom_; }
    void SetZoom(int value);
    TZoomState ZoomState() const { return zoomState_; }
    void SetZoomState(TZoomState value);
    int ZoomMin() const { return zoomMin_; }
    void SetZoomMin(int value);
    int ZoomMax() const { return zoomMax_; }
    void SetZoomMax(int value);
    // Keeps the relative scroll position across layouts.
    bool ZoomSavePos = true;
    // The zoom step of keys and wheel, and the quantum of a corrected zoom.
    int ZoomStep = 10;
    bool CanScrollHorz() const { return canScrollHorz_; }
    bool CanScrollVert() const { return canScrollVert_; }

    void LayoutPaper() { LayoutPaperAt(-1, -1); }
    // x, y when not negative: the point of the page, in screen pixels at
    // 100 %, to scroll to the top left corner.
    virtual void LayoutPaperAt(int x, int y);
    // The paper control's outer size for the available space; in the fit
    // states it sets Zoom.
    virtual QSize ComputePaperViewSize(QSize space);
    // The part of the page shown, in screen pixels at 100 %.
    QRect GetVisiblePageRect() const;
    // Zooms and scrolls so that r (screen pixels at 100 %) fills the window.
    void ZoomToRect(const QRect& r);
    // After the owner has set the preview up: page extents and layout.
    void Loaded();

    // ---- display ----
    bool Annotation() const { return annotation_; }
    void SetAnnotation(bool value);
    bool Background() const { return background_; }
    void SetBackground(bool value);
    int Grayscale() const;  // TGrayscaleOption bits
    void SetGrayscale(int value);
    int GrayBrightness() const;
    void SetGrayBrightness(int value);
    int GrayContrast() const;
    void SetGrayContrast(int value);
    bool ShowPrintableArea() const { return showPrintableArea_; }
    void SetShowPrintableArea(bool value);
    QColor PrintableAreaColor() const { return printableAreaColor_; }
    void SetPrintableAreaColor(const QColor& value);
    // Its repainting is held while the wheel turns to the next page.
    QPointer<QWidget> HostWindowHandle;

    virtual void DrawScreenPage(int pageNo, QPainter& canvas, const QRect& rect);
    // Draws a page into rect; gray through the brightness and contrast.
    // Never raises: a page that fails to draw is reported once.
    virtual void RenderPage(int pageNo, QPainter& canvas, const QRect& rect, bool gray);
    virtual void RenderAnnotation(int pageNo);
    virtual void RenderBackground(int pageNo);

    // ---- thumbnail views ----
    virtual void AttachThumbnailView(ThumbnailView* view);
    virtual void DetachThumbnailView(ThumbnailView* view);
    virtual void RebuildThumbnailViews();
    virtual void RefreshThumbnailRange(int first, int last);
    virtual void RepaintThumbnailRange(int first, int last);
    virtual void RecolorThumbnailViews(bool onlyGray);
    virtual void SyncThumbnailViews();

    std::function<void()> OnZoomChange;
    // Draw the overlay pictures of a page, in the preview's units.
    std::function<void(TPrintPreview* sender, int pageNo, QPainter& canvas)> OnAnnotation, OnBackground;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The paper control's OnPaint.
    void PaperViewPaint(TPaperPreview* sender, QPainter& canvas, const QRect& rect);

private:
    class Core;
    friend class Core;

    // One pass of the layout; true when it must start again.
    bool LayoutPass(int x, int y, bool lastPass);
    void ApplyScrollBars(QSize content);
    void PlacePaper();
    void ShowPaper(bool shown);
    void FireZoomChange();
    void ReportDrawError(const std::exception& error);
    void PaperMouseDown(QMouseEvent* event);
    void PaperMouseMove(QMouseEvent* event);
    void PaperMouseUp(QMouseEvent* event);
    bool ScrollBarShown(Qt::Orientation orientation) const;

    std::unique_ptr<Core> core_;
    TPaperPreview* paper_ = nullptr;  // owned by the viewport
    TPaperPreviewOptions paperView_;

    int zoom_ = 100;
    TZoomState zoomState_ = zsZoomToFit;
    int zoomMin_ = 10;
    int zoomMax_ = 1000;
    int lastZoom_ = 100;  // the last one OnZoomChange reported
    bool canScrollHorz_ = false;
    bool canScrollVert_ = false;
    bool layingOut_ = false;
    QPoint paperOrigin_;  // the paper's place at scroll position 0
    QSize scrollRange_;   // the content's size while it scrolls

    bool dragging_ = false;
    QPoint pressPos_;  // on the paper
    int wheelAccumulator_ = 0;

    bool annotation_ = false;
    bool background_ = false;
    QByteArray annotationPicture_;
    QByteArray backgroundPicture_;
    bool showPrintableArea_ = false;
    QColor printableAreaColor_;

    std::vector<ThumbnailView*> views_;
};

}  // namespace tandex::print
