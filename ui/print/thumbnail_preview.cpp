#include "ui/print/thumbnail_preview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QHelpEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

namespace tandex::print {

namespace {

constexpr char kPageDragFormat[] = "application/x-tandex-thumbnail-page";
// The marker never shrinks below a box the mouse can still take hold of.
constexpr int kMinMarkerSize = 8;
constexpr int kHandleSize = 5;
constexpr int kHandleReach = 4;
// At least this many pictures are kept, however small the window.
constexpr int kMinCachedThumbnails = 16;
// Screens of items the cache holds: the one shown and room to scroll back.
constexpr int kCachedScreens = 3;

}  // namespace

// The list's items: only a count, the captions are the page numbers.
class TThumbnailPreview::PageModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : count_; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= count_) return {};
        if (role == Qt::DisplayRole) return QString::number(index.row() + 1);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
    }
    // Rows come and go at the end, so that the selection of the others
    // survives a page being recorded or deleted.
    void SetCount(int count) {
        count = qMax(0, count);
        if (count > count_) {
            beginInsertRows({}, count_, count - 1);
            count_ = count;
            endInsertRows();
        } else if (count < count_) {
            beginRemoveRows({}, count, count_ - 1);
            count_ = count;
            endRemoveRows();
        }
    }
    int Count() const { return count_; }

private:
    int count_ = 0;
};

// Draws the thumbnail into the item's icon rectangle and leaves caption,
// selection and focus to the style.
class TThumbnailPreview::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(TThumbnailPreview& owner) : QStyledItemDelegate(&owner), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!owner_.preview_) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        if (PreviewDrawError != 0) return;
        QPixmap page;
        if (!owner_.PagePicture(index.row() + 1, page)) return;
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        QStyle* style = owner_.style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, &owner_);
        owner_.DrawThumbnail(*painter, index.row(), IconRect(opt), page);
    }

    void ItemOption(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }

    QRect IconRect(const QStyleOptionViewItem& opt) const {
        const QRect icon = owner_.style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, &owner_);
        const QSize box = owner_.boxRect_.size();
        return QRect(icon.left() + (icon.width() - box.width()) / 2, icon.top() + (icon.height() - box.height()) / 2,
                     box.width(), box.height());
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!owner_.preview_) return;
        // The thumbnail is no icon of the model: the style only keeps its
        // room.
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = owner_.boxRect_.size();
        option->icon = QIcon();
    }

private:
    TThumbnailPreview& owner_;
};

TThumbnailPreview::TThumbnailPreview(QWidget* parent) : QListView(parent) {
    pages_ = new PageModel(this);
    plainItems_ = new QStandardItemModel(this);
    delegate_ = new Delegate(*this);
    setItemDelegate(delegate_);
    setModel(plainItems_);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragEnabled(false);
    viewport()->setMouseTracking(true);
    cache_.setMaxCost(kMinCachedThumbnails);
    paperView_.OnChange = [this](TPaperPreviewOptions*, int severity) {
        if (severity == 2) {
            Rebuild();
        } else if (severity == 1) {
            RedrawFrame();
            DropCache();
            viewport()->update();
        }
    };
}

TThumbnailPreview::~TThumbnailPreview() {
    paperView_.OnChange = nullptr;
    if (preview_) preview_->DetachThumbnailView(this);
    // The list must not outlive the style it was given.
    if (themeless_) setStyle(nullptr);
}

// ---- linking ------------------------------------------------------------

void TThumbnailPreview::SetPrintPreview(TPrintPreview* value) {
    if (value == preview_) return;
    if (preview_) preview_->DetachThumbnailView(this);
    preview_ = value;
    if (!value) {
        Unlink();
        return;
    }
    value->AttachThumbnailView(this);
    // Nothing of another preview's pages carries over.
    pages_->SetCount(0);
    currentIndex_ = -1;
    if (grayscale_ == tgsPreview) gray_ = value->Grayscale() & gsPreview;
    else gray_ = grayscale_ == tgsAlways;
    if (model() != pages_) {
        QItemSelectionModel* old = selectionModel();
        setModel(pages_);
        delete old;
    }
    Rebuild();
}

void TThumbnailPreview::PreviewFreed() {
    preview_ = nullptr;
    Unlink();
}

void TThumbnailPreview::Unlink() {
    tracking_ = false;
    mouseMode_ = 0;
    hotPage_ = 0;
    dropTarget_ = 0;
    pages_->SetCount(0);
    if (model() != plainItems_) {
        QItemSelectionModel* old = selectionModel();
        setModel(plainItems_);
        delete old;
    }
    SyncCurrent(-1);
    if (grayscale_ == tgsPreview) gray_ = false;
    DropCache();
    viewport()->unsetCursor();
    viewport()->update();
}

// ---- properties ---------------------------------------------------------

void TThumbnailPreview::SetZoom(int value) {
    if (value <= 0 || value == zoom_) return;
    zoom_ = value;
    Rebuild();
}

void TThumbnailPreview::SetSpacingHorizontal(int value) {
    if (value == spacingHorizontal_) return;
    spacingHorizontal_ = value;
    Rebuild();
}

void TThumbnailPreview::SetSpacingVertical(int value) {
    if (value == spacingVertical_) return;
    spacingVertical_ = value;
    Rebuild();
}

void TThumbnailPreview::SetMarkerColor(const QColor& value) {
    if (value == markerColor_) return;
    markerColor_ = value;
    if (currentIndex_ >= 0) viewport()->update(ThumbnailRectOf(currentIndex_));
}

void TThumbnailPreview::SetGrayscale(TThumbnailGrayscale value) {
    if (value == grayscale_) return;
    grayscale_ = value;
    UpdateGrayFlag();
}

void TThumbnailPreview::SetDisableTheme(bool value) {
    if (value == disableTheme_) return;
    disableTheme_ = value;
    if (value) {
        themeless_.reset(QStyleFactory::create(QStringLiteral("Fusion")));
        // Without the plain style there is nothing to switch to.
        if (themeless_) setStyle(themeless_.get());
    } else if (themeless_) {
        setStyle(nullptr);
        themeless_.reset();
    }
    Rebuild();
}

// ---- items --------------------------------------------------------------

int TThumbnailPreview::ItemCount() const {
    return model() ? model()->rowCount() : 0;
}

int TThumbnailPreview::ItemIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TThumbnailPreview::SetItemIndex(int index) {
    if (!selectionModel()) return;
    if (index < 0 || index >= ItemCount()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
        return;
    }
    const QModelIndex item = model()->index(index, 0);
    // An item that is already selected keeps the others: the preview
    // following a Ctrl+click must not undo the multiple selection.
    const auto how = selectionModel()->isSelected(item) ? QItemSelectionModel::NoUpdate
                                                        : QItemSelectionModel::ClearAndSelect;
    selectionModel()->setCurrentIndex(item, how);
}

void TThumbnailPreview::GetSelectedPages(QList<int>& list) const {
    list.clear();
    if (!selectionModel()) return;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) list.append(index.row() + 1);
    std::sort(list.begin(), list.end());
}

void TThumbnailPreview::DeleteSelected() {
    QList<int> pages;
    GetSelectedPages(pages);
    // From the last page down, so that the numbers still to go stay valid.
    std::reverse(pages.begin(), pages.end());
    if (preview_ && !pages.isEmpty()) {
        for (int page : pages) preview_->Document().Delete(page);
        return;
    }
    for (int page : pages) model()->removeRow(page - 1);
}

void TThumbnailPreview::PrintSelected() {
    if (!preview_ || !selectionModel() || !selectionModel()->hasSelection()) return;
    QList<int> pages;
    GetSelectedPages(pages);
    PrintPageList(*preview_, pages);
}

void TThumbnailPreview::PrintPageList(TPrintPreview& preview, const QList<int>& pages) {
    preview.Document().PrintPageList(pages);
}

int TThumbnailPreview::PageAt(int x, int y) const {
    const QModelIndex index = indexAt(QPoint(x, y));
    return preview_ && index.isValid() ? index.row() + 1 : 0;
}

int TThumbnailPreview::PageAtCursor() const {
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    return PageAt(at.x(), at.y());
}

// ---- what the preview calls ---------------------------------------------

void TThumbnailPreview::Rebuild() {
    if (!preview_) return;
    setUpdatesEnabled(false);
    const QSize screen = preview_->Document().PageScreenSize();
    paperView_.CalcDimensions(MulDiv(screen.width(), zoom_, 100), MulDiv(screen.height(), zoom_, 100), boxRect_,
                              pageRect_);
    RedrawFrame();
    setIconSize(boxRect_.size());
    UpdateIconSpacing();
    DropCache();
    pages_->SetCount(preview_->Document().TotalPages());
    UpdateCacheBound();
    // Laid out before the current item is scrolled into view.
    doItemsLayout();
    SyncCurrent(preview_->Document().CurrentPage() - 1);
    setUpdatesEnabled(true);
    viewport()->update();
}

void TThumbnailPreview::UpdateIconSpacing() {
    const QFontMetrics metrics(font());
    const int internalLeading = qMax(0, metrics.height() - QFontInfo(font()).pixelSize());
    const int text = metrics.height() + metrics.ascent() - metrics.descent() - internalLeading;
    setGridSize(QSize(qMax(1, boxRect_.width() + spacingHorizontal_),
                      qMax(1, boxRect_.height() + spacingVertical_ + text)));
    UpdateCacheBound();
}

void TThumbnailPreview::UpdateRange(int first, int last) {
    if (!preview_) return;
    const int before = ItemCount();
    pages_->SetCount(preview_->Document().TotalPages());
    if (ItemCount() != before) {
        // A row added or removed lays the whole list out anew: asking
        // where the changed items lie now would do so at every recorded
        // page, the next paint does it once.
        ForgetPictures(first, last);
        viewport()->update();
    } else {
        RepaintRange(first, last);
    }
    SyncCurrent(preview_->Document().CurrentPage() - 1);
}

void TThumbnailPreview::ForgetPictures(int first, int last) {
    for (const quint64 key : cache_.keys()) {
        const int page = int(key >> 32);
        if (page >= first + 1 && page <= last + 1) cache_.remove(key);
    }
}

void TThumbnailPreview::RepaintRange(int first, int last) {
    const int count = ItemCount();
    if (count == 0 || !preview_) return;
    first = qMax(first, 0);
    last = qMin(last, count - 1);
    ForgetPictures(first, last);
    const QRect client = viewport()->rect();
    for (int i = first; i <= last; ++i) {
        const QRect item = visualRect(model()->index(i, 0));
        if (item.intersects(client)) viewport()->update(item);
        else if (item.top() > client.bottom()) break;
    }
}

void TThumbnailPreview::UpdateGrayFlag() {
    if (!preview_) return;
    const bool gray =
        grayscale_ == tgsAlways || (grayscale_ == tgsPreview && (preview_->Grayscale() & gsPreview));
    if (gray == gray_) return;
    gray_ = gray;
    DropCache();
    viewport()->update();
}

void TThumbnailPreview::SyncCurrent(int index) {
    if (!preview_) {
        currentIndex_ = -1;
        return;
    }
    index = qMin(index, ItemCount() - 1);
    if (index == currentIndex_ || index < 0) {
        if (ItemIndex() != currentIndex_) SetItemIndex(currentIndex_);
        return;
    }
    const int old = currentIndex_;
    // Stored first: selecting the item comes back here.
    currentIndex_ = index;
    SetItemIndex(index);
    scrollTo(model()->index(index, 0));
    if (old < 0 || old >= ItemCount()) {
        RepaintRange(index, index);
    } else if (qAbs(old - index) == 1) {
        RepaintRange(qMin(old, index), qMax(old, index));
    } else {
        RepaintRange(old, old);
        RepaintRange(index, index);
    }
    preview_->Document().SetCurrentPage(index + 1);
}

void TThumbnailPreview::UpdateView() {
    viewport()->update();
}

// ---- drawing ------------------------------------------------------------

void TThumbnailPreview::RedrawFrame() {
    if (boxRect_.isEmpty()) {
        frame_ = QPixmap();
        return;
    }
    frame_ = QPixmap(boxRect_.size());
    // What lies below the item (its selection among it) shows beside the
    // shadow.
    frame_.fill(Qt::transparent);
    QPainter canvas(&frame_);
    canvas.setBrush(Qt::NoBrush);
    paperView_.DrawBox(canvas, boxRect_);
}

void TThumbnailPreview::DropCache() {
    cache_.clear();
}

void TThumbnailPreview::UpdateCacheBound() {
    const QSize grid = gridSize();
    int perScreen = 1;
    if (grid.width() > 0 && grid.height() > 0) {
        const QSize room = viewport()->size();
        perScreen = qMax(1, room.width() / grid.width()) * (qMax(1, room.height() / grid.height()) + 1);
    }
    cache_.setMaxCost(qMax(kMinCachedThumbnails, kCachedScreens * perScreen));
}

bool TThumbnailPreview::PagePicture(int pageNo, QPixmap& picture) {
    if (pageRect_.isEmpty()) {
        picture = QPixmap();
        return true;
    }
    const quint64 key = (quint64(quint32(pageNo)) << 32) | (quint64(quint32(zoom_)) << 1) | (gray_ ? 1 : 0);
    if (const QPixmap* hit = cache_.object(key)) {
        picture = *hit;
        return true;
    }
    QPixmap drawn(pageRect_.size());
    drawn.fill(paperView_.PaperColor());
    {
        QPainter canvas(&drawn);
        // The handlers see the page where it lies on the thumbnail.
        canvas.translate(-pageRect_.topLeft());
        bool defaultDraw = true;
        if (OnPageBeforeDraw) OnPageBeforeDraw(this, pageNo, canvas, pageRect_, defaultDraw);
        if (defaultDraw) preview_->RenderPage(pageNo, canvas, pageRect_, gray_);
        if (PreviewDrawError != 0) return false;
        if (OnPageAfterDraw) OnPageAfterDraw(this, pageNo, canvas, pageRect_, defaultDraw);
    }
    cache_.insert(key, new QPixmap(drawn));
    picture = drawn;
    return true;
}

QRect TThumbnailPreview::GetVisibleBox() const {
    if (!preview_) return {};
    const QRect shown = preview_->GetVisiblePageRect();
    const auto scale = [this](int v) { return MulDiv(v, zoom_, 100); };
    const int border = paperView_.BorderWidth();
    return QRect(QPoint(scale(shown.left()), scale(shown.top())),
                 QPoint(scale(shown.right() + 1) - 1, scale(shown.bottom() + 1) - 1))
        .translated(border, border);
}

void TThumbnailPreview::DrawThumbnail(QPainter& painter, int index, const QRect& target, const QPixmap& page) {
    if (!frame_.isNull()) painter.drawPixmap(target.topLeft(), frame_);
    if (!page.isNull()) painter.drawPixmap(target.topLeft() + pageRect_.topLeft(), page);
    if (!preview_ || index + 1 != preview_->Document().CurrentPage()) return;
    QRect marker;
    if (tracking_ && mouseMode_ == 2) {
        marker = rubberRect_;
    } else {
        visibleBoxRect_ = GetVisibleBox() & pageRect_;
        marker = visibleBoxRect_;
    }
    if (marker.isEmpty()) return;
    marker.translate(target.topLeft());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(target);
    // A pen of two pixels inside the box.
    painter.setPen(QPen(markerColor_, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(marker).adjusted(1, 1, -1, -1));
    painter.fillRect(QRect(marker.right() - kHandleSize + 1, marker.bottom() - kHandleSize + 1, kHandleSize,
                           kHandleSize),
                     markerColor_);
    painter.restore();
}

QRect TThumbnailPreview::ThumbnailRectOf(int index) const {
    if (!model() || index < 0 || index >= ItemCount()) return {};
    const QModelIndex item = model()->index(index, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(item);
    option.state |= QStyle::State_Enabled;
    QStyleOptionViewItem opt(option);
    delegate_->ItemOption(&opt, item);
    return delegate_->IconRect(opt);
}

void TThumbnailPreview::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (dropTarget_ <= 0 || dropTarget_ > ItemCount()) return;
    // The page goes before the one under the mouse.
    const QRect item = visualRect(model()->index(dropTarget_ - 1, 0));
    QPainter painter(viewport());
    painter.fillRect(QRect(item.left(), item.top(), 2, item.height()), palette().color(QPalette::Text));
}

void TThumbnailPreview::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    UpdateCacheBound();
}

void TThumbnailPreview::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange && preview_) UpdateIconSpacing();
}

// ---- selection ----------------------------------------------------------

void TThumbnailPreview::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (!preview_) return;
    const int item = ItemIndex();
    if (!selected.isEmpty() && item >= 0 && selectionModel()->isSelected(currentIndex())) SyncCurrent(item);
    for (const QModelIndex& index : selected.indexes())
        if (OnPageSelect) OnPageSelect(this, index.row() + 1);
    for (const QModelIndex& index : deselected.indexes())
        if (OnPageUnselect) OnPageUnselect(this, index.row() + 1);
}

void TThumbnailPreview::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (preview_ && current.isValid() && selectionModel()->isSelected(current)) SyncCurrent(current.row());
}

// ---- the marker and the mouse -------------------------------------------

void TThumbnailPreview::UpdateMouseMode(const QPoint& pos) {
    mouseMode_ = 0;
    if (!preview_ || hotPage_ == 0 || hotPage_ != preview_->Document().CurrentPage()) return;
    visibleBoxRect_ = GetVisibleBox() & pageRect_;
    const QPoint at = pos - ThumbnailRectOf(hotPage_ - 1).topLeft();
    const QPoint corner = visibleBoxRect_.bottomRight();
    if (qAbs(at.x() - corner.x()) <= kHandleReach && qAbs(at.y() - corner.y()) <= kHandleReach)
        mouseMode_ = 2;
    else if (visibleBoxRect_.contains(at) && (preview_->CanScrollHorz() || preview_->CanScrollVert()))
        mouseMode_ = 1;
}

void TThumbnailPreview::ApplyCursor() {
    QCursor cursor;
    if (mouseMode_ == 1) cursor = tracking_ ? paperView_.GrabCursor() : paperView_.DragCursor();
    else if (mouseMode_ == 2) cursor = QCursor(Qt::SizeFDiagCursor);
    else if (hotPage_ != 0) cursor = paperView_.Cursor();
    // The plain arrow is the list's own.
    if (cursor.shape() == Qt::ArrowCursor) viewport()->unsetCursor();
    else viewport()->setCursor(cursor);
}

void TThumbnailPreview::InvalidateMarker(const QRect& box) {
    if (currentIndex_ < 0 || box.isEmpty()) return;
    viewport()->update(box.translated(ThumbnailRectOf(currentIndex_).topLeft()).adjusted(-1, -1, 1, 1));
}

void TThumbnailPreview::ZoomPreviewToBox(const QRect& box) {
    if (!preview_) return;
    const int border = paperView_.BorderWidth();
    const QRect shifted = box.translated(-border, -border);
    const auto scale = [this](int v) { return MulDiv(v, 100, zoom_); };
    preview_->ZoomToRect(QRect(QPoint(scale(shifted.left()), scale(shifted.top())),
                               QPoint(scale(shifted.right() + 1) - 1, scale(shifted.bottom() + 1) - 1)));
}

void TThumbnailPreview::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (tracking_ && preview_) {
        if (mouseMode_ == 1) {
            const QPoint delta = pos - lastPos_;
            const auto follow = [&](QScrollBar* bar, int d) {
                const int to = MulDiv(d, preview_->Zoom(), zoom_) + bar->value();
                bar->setValue(qBound(0, to, bar->maximum()));
            };
            if (preview_->CanScrollHorz()) follow(preview_->horizontalScrollBar(), delta.x());
            if (preview_->CanScrollVert()) follow(preview_->verticalScrollBar(), delta.y());
            lastPos_ = pos;
        } else if (mouseMode_ == 2) {
            InvalidateMarker(rubberRect_);
            const QPoint delta = pos - pressPos_;
            QRect box = visibleBoxRect_;
            box.setRight(qMax(box.right() + delta.x(), box.left() + kMinMarkerSize - 1));
            box.setBottom(qMax(box.bottom() + delta.y(), box.top() + kMinMarkerSize - 1));
            rubberRect_ = box & pageRect_;
            InvalidateMarker(rubberRect_);
        }
        event->accept();
        return;
    }
    if (dragPending_) {
        if (!event->buttons().testFlag(Qt::LeftButton)) {
            dragPending_ = false;
        } else if ((pos - dragStart_).manhattanLength() >= QApplication::startDragDistance()) {
            dragPending_ = false;
            const int page = SelectedPage();
            QPixmap picture(boxRect_.size());
            picture.fill(Qt::transparent);
            QPixmap drawn;
            if (page >= 1 && PagePicture(page, drawn)) {
                QPainter canvas(&picture);
                if (!frame_.isNull()) canvas.drawPixmap(0, 0, frame_);
                if (!drawn.isNull()) canvas.drawPixmap(pageRect_.topLeft(), drawn);
            }
            StartPageDrag(page, picture, dragStart_ - ThumbnailRectOf(page - 1).topLeft());
            event->accept();
            return;
        }
    }
    const int hot = PageAt(pos.x(), pos.y());
    if (hot != hotPage_) {
        hotPage_ = hot;
        QToolTip::hideText();
    }
    UpdateMouseMode(pos);
    ApplyCursor();
    if (!dragPending_) QListView::mouseMoveEvent(event);
}

void TThumbnailPreview::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && preview_) {
        hotPage_ = PageAt(pos.x(), pos.y());
        UpdateMouseMode(pos);
        if (mouseMode_ != 0) {
            rubberRect_ = visibleBoxRect_;
            pressPos_ = lastPos_ = pos;
            tracking_ = true;
            viewport()->grabMouse();
            ApplyCursor();
            event->accept();
            return;
        }
    }
    QListView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && AllowReorder && preview_ &&
        selectionModel()->selectedIndexes().size() == 1 && hotPage_ != 0) {
        dragPending_ = true;
        dragStart_ = pos;
    }
}

void TThumbnailPreview::mouseReleaseEvent(QMouseEvent* event) {
    dragPending_ = false;
    if (tracking_) {
        tracking_ = false;
        viewport()->releaseMouse();
        ApplyCursor();
        if (mouseMode_ == 2) {
            InvalidateMarker(rubberRect_);
            ZoomPreviewToBox(rubberRect_);
        }
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && hotPage_ != 0 && OnPageClick) OnPageClick(this, hotPage_);
}

void TThumbnailPreview::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (hotPage_ != 0 && OnPageDblClick) OnPageDblClick(this, hotPage_);
}

bool TThumbnailPreview::PopupPageMenu(QContextMenuEvent* event) {
    QMenu* menu = paperView_.PopupMenu();
    if (!menu || PageAt(event->pos().x(), event->pos().y()) == 0) return false;
    menu->popup(event->globalPos());
    event->accept();
    return true;
}

void TThumbnailPreview::contextMenuEvent(QContextMenuEvent* event) {
    if (!PopupPageMenu(event)) QListView::contextMenuEvent(event);
}

bool TThumbnailPreview::viewportEvent(QEvent* event) {
    // Ahead of the list's menu policy: an owner that hangs its own actions
    // on the list still leaves the page menu over a page.
    if (event->type() == QEvent::ContextMenu && PopupPageMenu(static_cast<QContextMenuEvent*>(event))) return true;
    if (event->type() == QEvent::ToolTip && preview_) {
        const auto* help = static_cast<QHelpEvent*>(event);
        hotPage_ = PageAt(help->pos().x(), help->pos().y());
        if (hotPage_ != 0) {
            QString text = paperView_.Hint();
            if (OnPageInfoTip) OnPageInfoTip(this, hotPage_, text);
            if (text.isEmpty()) QToolTip::hideText();
            else QToolTip::showText(help->globalPos(), text, viewport());
            return true;
        }
    }
    return QListView::viewportEvent(event);
}

// ---- reordering ---------------------------------------------------------

QMimeData* TThumbnailPreview::CreateDragData(int pageNo) const {
    auto* data = new QMimeData;
    // The list that started the drag, so that no other one takes the page.
    data->setData(QString::fromLatin1(kPageDragFormat),
                  QByteArray::number(quintptr(this)) + ' ' + QByteArray::number(pageNo));
    return data;
}

bool TThumbnailPreview::AcceptsDrop(const QMimeData* data) const {
    if (!AllowReorder || !preview_ || dropTarget_ == 0 || !data) return false;
    const QList<QByteArray> parts = data->data(QString::fromLatin1(kPageDragFormat)).split(' ');
    if (parts.size() != 2 || parts[0] != QByteArray::number(quintptr(this))) return false;
    return selectionModel()->selectedIndexes().size() == 1 && parts[1].toInt() == SelectedPage();
}

void TThumbnailPreview::StartPageDrag(int pageNo, const QPixmap& picture, const QPoint& hotSpot) {
    auto* drag = new QDrag(this);
    drag->setMimeData(CreateDragData(pageNo));
    drag->setPixmap(picture);
    drag->setHotSpot(hotSpot);
    dropTarget_ = 0;
    drag->exec(Qt::MoveAction);
    dropTarget_ = 0;
    viewport()->update();
}

void TThumbnailPreview::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kPageDragFormat))) {
        QListView::dragEnterEvent(event);
        return;
    }
    event->acceptProposedAction();
}

void TThumbnailPreview::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kPageDragFormat))) {
        QListView::dragMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int target = PageAt(pos.x(), pos.y());
    if (target != dropTarget_) {
        dropTarget_ = target;
        viewport()->update();
    }
    if (AcceptsDrop(event->mimeData())) event->acceptProposedAction();
    else event->ignore();
}

void TThumbnailPreview::dragLeaveEvent(QDragLeaveEvent* event) {
    QListView::dragLeaveEvent(event);
    dropTarget_ = 0;
    viewport()->update();
}

void TThumbnailPreview::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kPageDragFormat))) {
        QListView::dropEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    dropTarget_ = PageAt(pos.x(), pos.y());
    if (AcceptsDrop(event->mimeData())) {
        event->acceptProposedAction();
        preview_->Document().Move(SelectedPage(), dropTarget_);
    } else {
        event->ignore();
    }
    dropTarget_ = 0;
    viewport()->update();
}

}  // namespace tandex::print
