#pragma once
// The page list beside the print preview: every page of the linked preview
// as a small picture with its number below. The list holds no items of its
// own, only a count; a delegate draws each thumbnail from a bounded cache
// of rendered pages, so that scrolling a long report plays each page once
// instead of at every paint. The current page carries a marker of the part
// the preview shows: dragging it scrolls the preview, dragging its corner
// zooms the preview to the box.

#include <QCache>
#include <QColor>
#include <QList>
#include <QListView>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>

#include "ui/print/paper_preview.h"
#include "ui/print/print_preview.h"

class QMimeData;
class QStandardItemModel;
class QStyle;

namespace tandex::print {

enum TThumbnailGrayscale : int { tgsPreview, tgsNever, tgsAlways };

class TThumbnailPreview : public QListView, public ThumbnailView {
public:
    explicit TThumbnailPreview(QWidget* parent = nullptr);
    ~TThumbnailPreview() override;

    TPrintPreview* PrintPreview() const { return preview_; }
    void SetPrintPreview(TPrintPreview* value);

    int Zoom() const { return zoom_; }
    void SetZoom(int value);
    int SpacingHorizontal() const { return spacingHorizontal_; }
    void SetSpacingHorizontal(int value);
    int SpacingVertical() const { return spacingVertical_; }
    void SetSpacingVertical(int value);
    QColor MarkerColor() const { return markerColor_; }
    void SetMarkerColor(const QColor& value);
    TThumbnailGrayscale Grayscale() const { return grayscale_; }
    void SetGrayscale(TThumbnailGrayscale value);
    TPaperPreviewOptions& PaperView() { return paperView_; }
    void SetPaperView(const TPaperPreviewOptions& value) { paperView_.Assign(value); }
    bool AllowReorder = false;
    bool DisableTheme() const { return disableTheme_; }
    void SetDisableTheme(bool value);

    // Around drawing a page into its thumbnail; clearing defaultDraw
    // leaves the page to the handler.
    std::function<void(TThumbnailPreview* sender, int pageNo, QPainter& canvas, const QRect& rect, bool& defaultDraw)>
        OnPageBeforeDraw, OnPageAfterDraw;
    std::function<void(TThumbnailPreview* sender, int pageNo, QString& infoTip)> OnPageInfoTip;
    std::function<void(TThumbnailPreview* sender, int pageNo)> OnPageClick, OnPageDblClick, OnPageSelect,
        OnPageUnselect;

    // The current item; -1 when none.
    int ItemIndex() const;
    void SetItemIndex(int index);
    int SelectedPage() const { return ItemIndex() + 1; }
    // The selected pages in ascending order.
    void GetSelectedPages(QList<int>& list) const;
    virtual void DeleteSelected();
    virtual void PrintSelected();
    virtual void UpdateIconSpacing();
    // The page of the item at a point of the viewport; 0 when none.
    int PageAt(int x, int y) const;
    int PageAtCursor() const;

    // ---- what the preview calls ----
    void Rebuild() override;
    void UpdateRange(int first, int last) override;
    void RepaintRange(int first, int last) override;
    void UpdateGrayFlag() override;
    void SyncCurrent(int index) override;
    int CurrentIndex() const override { return currentIndex_; }
    bool DrawsGray() const override { return gray_; }
    void UpdateView() override;
    void PreviewFreed() override;

    // ---- geometry and state a caller may inspect ----
    // The whole thumbnail (border and shadow) and the page inside it.
    QRect ThumbnailBoxRect() const { return boxRect_; }
    QRect ThumbnailPageRect() const { return pageRect_; }
    // Where the thumbnail of an item lies in the viewport.
    QRect ThumbnailRectOf(int index) const;
    // The marker on the current thumbnail, in thumbnail coordinates.
    QRect VisibleBoxRect() const { return visibleBoxRect_; }
    // The marker as drawn: the box being resized while the corner moves.
    QRect MarkerRect() const { return tracking_ && mouseMode_ == 2 ? rubberRect_ : visibleBoxRect_; }
    int CachedThumbnails() const { return cache_.size(); }
    int ThumbnailCacheBound() const { return int(cache_.maxCost()); }
    int DropTarget() const { return dropTarget_; }
    // What a page drag started here carries.
    QMimeData* CreateDragData(int pageNo) const;

protected:
    // Prints a list of pages of the linked preview on its printer; tests
    // override it to see which pages go.
    virtual void PrintPageList(TPrintPreview& preview, const QList<int>& pages);
    // Runs the drag of a page; the picture is the page as the list shows it.
    virtual void StartPageDrag(int pageNo, const QPixmap& picture, const QPoint& hotSpot);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    class PageModel;
    class Delegate;
    friend class Delegate;

    void Unlink();
    void SetItemCount(int count);
    int ItemCount() const;
    void RedrawFrame();
    void DropCache();
    void ForgetPictures(int first, int last);
    void UpdateCacheBound();
    // The page picture of a thumbnail: from the cache, or played now.
    // False when a page failed to draw.
    bool PagePicture(int pageNo, QPixmap& picture);
    void DrawThumbnail(QPainter& painter, int index, const QRect& target, const QPixmap& page);
    QRect GetVisibleBox() const;
    void ZoomPreviewToBox(const QRect& box);
    void UpdateMouseMode(const QPoint& pos);
    void ApplyCursor();
    void InvalidateMarker(const QRect& box);
    bool AcceptsDrop(const QMimeData* data) const;
    // Shows the paper view's menu when it is set and the event lies on a
    // page.
    bool PopupPageMenu(QContextMenuEvent* event);

    QPointer<TPrintPreview> preview_;
    PageModel* pages_ = nullptr;              // owned as a child
    QStandardItemModel* plainItems_ = nullptr;  // the list unlinked; a child
    Delegate* delegate_ = nullptr;            // a child
    std::unique_ptr<QStyle> themeless_;

    int zoom_ = 10;
    int spacingHorizontal_ = 8;
    int spacingVertical_ = 8;
    QColor markerColor_ = Qt::blue;
    TThumbnailGrayscale grayscale_ = tgsPreview;
    TPaperPreviewOptions paperView_;
    bool disableTheme_ = false;

    int currentIndex_ = -1;
    int hotPage_ = 0;
    int mouseMode_ = 0;  // 1 moving the marker, 2 resizing it
    bool tracking_ = false;
    QPoint lastPos_, pressPos_;
    QRect visibleBoxRect_;
    QRect rubberRect_;
    QRect boxRect_, pageRect_;
    QPixmap frame_;  // border and shadow, shared by every item
    bool gray_ = false;
    int dropTarget_ = 0;
    bool dragPending_ = false;
    QPoint dragStart_;

    // Keyed by page, zoom and gray flag.
    QCache<quint64, QPixmap> cache_;
};

}  // namespace tandex::print
