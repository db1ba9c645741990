#pragma once
// The control that looks like a sheet of paper: a page area in the paper
// colour, a border, a drop shadow on the right and bottom and an optional
// caption band below. It knows nothing of pages; its owner paints the page
// area through OnPaint. The look and feel that the preview and the
// thumbnail list publish lives in TPaperPreviewOptions, which they copy
// onto the control or onto their thumbnail bitmaps.
//
// Painting goes through two cached layers in one pixmap: the frame is
// redrawn only when the area to show grows beyond what the pixmap holds or
// the look changes, and the owner's page drawing runs only for page areas
// the pixmap does not hold yet. Scrolling and page changes so touch the
// page part alone.

#include <QColor>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>


class QPainter;

namespace tandex::print {

class TPaperPreview;

// Draws the shadow and the border of a paper box whose caption band (of
// captionHeight pixels) lies below it. The two corner squares beside the
// shadow take cornerBrush, the colour behind the paper.
void DrawPaperFrame(QPainter& canvas, const QRect& box, int captionHeight, int borderWidth,
                    const QColor& borderColor, int shadowWidth, const QColor& shadowColor,
                    const QBrush& cornerBrush);

class TPaperPreviewOptions {
public:
    TPaperPreviewOptions();

    QColor PaperColor() const { return paperColor_; }
    void SetPaperColor(const QColor& value);
    QColor BorderColor() const { return borderColor_; }
    void SetBorderColor(const QColor& value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    QColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(const QColor& value);
    int ShadowWidth() const { return shadowWidth_; }
    void SetShadowWidth(int value);
    QCursor Cursor() const { return cursor_; }
    void SetCursor(const QCursor& value);
    QCursor DragCursor() const { return dragCursor_; }
    void SetDragCursor(const QCursor& value);
    // The program's cursor 12 when the owning window hands it in; the
    // arrow otherwise.
    QCursor GrabCursor() const { return grabCursor_; }
    void SetGrabCursor(const QCursor& value);
    QString Hint() const { return hint_; }
    void SetHint(const QString& value);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* value);

    void Assign(const TPaperPreviewOptions& source);
    void AssignTo(TPaperPreview& target) const;

    // The page area and the whole box (border and shadow included) of a
    // paper of the given size.
    void CalcDimensions(int paperWidth, int paperHeight, QRect& boxRect, QRect& pageRect) const;
    // Shadow and border of a box, as the paper control draws them without
    // a caption; the corner squares take the canvas's current brush.
    void DrawBox(QPainter& canvas, const QRect& boxRect) const;

    // Severity 0: behaviour only (cursors, hint, menu); 1: appearance;
    // 2: geometry.
    std::function<void(TPaperPreviewOptions* sender, int severity)> OnChange;

private:
    void Changed(int severity);

    QColor paperColor_;
    QColor borderColor_;
    int borderWidth_ = 1;
    QColor shadowColor_;
    int shadowWidth_ = 3;
    QCursor cursor_;
    QCursor dragCursor_;
    QCursor grabCursor_;
    QString hint_;
    QPointer<QMenu> popupMenu_;
};

class TPaperPreview : public QWidget {
public:
    explicit TPaperPreview(QWidget* parent = nullptr);

    QColor PaperColor() const { return paperColor_; }
    void SetPaperColor(const QColor& value);
    QColor BorderColor() const { return borderColor_; }
    void SetBorderColor(const QColor& value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    QColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(const QColor& value);
    int ShadowWidth() const { return shadowWidth_; }
    void SetShadowWidth(int value);
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool value);
    // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter.
    Qt::Alignment Alignment() const { return alignment_; }
    void SetAlignment(Qt::Alignment value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    // When set, a change of the frame keeps the paper's size and the
    // control grows or shrinks; otherwise the control keeps its size.
    bool PreservePaperSize = true;
    // Shown on a right click over the paper.
    QPointer<QMenu> PopupMenu;
    QString Caption() const { return caption_; }
    void SetCaption(const QString& value);
    // The colour behind the paper: the caption band and the corners beside
    // the shadow.
    QColor Color() const;

    int CaptionHeight() const { return captionHeight_; }
    // The page area in client coordinates.
    QRect PageRect() const;

    int PaperWidth() const { return PaperWidthFor(width()); }
    void SetPaperWidth(int value) { resize(ControlWidthFor(value), height()); }
    int PaperHeight() const { return PaperHeightFor(height()); }
    void SetPaperHeight(int value) { resize(width(), ControlHeightFor(value)); }
    QSize PaperSize() const { return QSize(PaperWidth(), PaperHeight()); }
    void SetPaperSize(const QSize& size) { SetPaperBounds(x(), y(), size.width(), size.height()); }
    void SetPaperBounds(int left, int top, int paperWidth, int paperHeight);

    virtual int ControlWidthFor(int paperWidth) const;
    virtual int ControlHeightFor(int paperHeight) const;
    virtual int PaperWidthFor(int controlWidth) const;
    virtual int PaperHeightFor(int controlHeight) const;

    // Only the page area is drawn again; the frame comes from the buffer.
    void Invalidate();
    // Frame and page are drawn again.
    virtual void InvalidateAll();

    // The owner draws the page: the canvas is clipped to the part being
    // painted, which is filled with the paper colour already; rect is the
    // whole page area.
    std::function<void(TPaperPreview* sender, QPainter& canvas, const QRect& rect)> OnPaint;
    std::function<void(TPaperPreview* sender)> OnResize, OnMouseEnter, OnMouseLeave;

protected:
    virtual void PaintFrame(QPainter& canvas);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void UpdateCaptionHeight();
    // Applies a frame change after it was stored: keeps the paper's size
    // or the control's.
    void FrameChanged(QSize paperSize);
    int CaptionFlags() const;

    QColor paperColor_;
    QColor borderColor_;
    int borderWidth_ = 1;
    QColor shadowColor_;
    int shadowWidth_ = 3;
    bool showCaption_ = false;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    bool wordWrap_ = true;
    QString caption_;
    int captionHeight_ = 0;

    QPixmap frameBuffer_;
    QRect frameRect_;  // what the buffer covers, in client coordinates
    bool frameValid_ = false;
    QRect pagePainted_;  // the page part the buffer holds
    bool pageValid_ = false;
};

}  // namespace tandex::print
