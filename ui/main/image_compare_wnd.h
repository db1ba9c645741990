#pragma once
// The image comparison window: shows the difference picture of the two
// image panes in one of four modes, lets the user set the mode's value and
// options, and shift the right picture against the left one with the mouse
// or the arrow keys. The main window creates it hidden, hands it both
// pictures after a comparison and the zoom after each change.

#include <QWidget>
#include <functional>

#include "image_compare.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QSlider;

namespace tandex::ui {

class TImagePane;

class TfImgCompare : public QWidget {
    Q_OBJECT
public:
    explicit TfImgCompare(QWidget* parent = nullptr);

    void SetLeftPicture(const QImage& picture);
    void SetRightPicture(const QImage& picture);
    // The main window's zoom in percent; the result shows at that zoom.
    void SetZoom(int percent);
    int Zoom() const { return zoom_; }
    // The shown size of the result after a zoom change.
    void SetImageSize(int width, int height);
    void ResetScroll();
    // Header, status and button colours from the current colour set.
    void ApplyTheme();
    bool Themed() const { return themed_; }
    // True: compute and show (never in batch mode); false: remember the
    // window's bounds and hide.
    void ShowWindow(bool show);
    // Runs the comparison for the mode and shows its result and mode text.
    void Compute(int mode);
    ImgCompare& Core() { return core_; }
    const QImage& Result() const { return core_.Result(); }

    // The window's published handlers, reachable for the key and mouse code.
    void fbButtonClick(int mode);
    void tbSliderChange(int position);
    void cbOverlayClick();
    void cbTintedClick();
    void cbRelaxedClick();
    void lOffsetDblClick();
    void cbMagnifierClick();
    void tbICZPFChange(int position);
    void imgResultMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void imgResultMouseMove(Qt::MouseButtons buttons, QPoint pos);
    void imgResultMouseUp();
    // With a scroll bar showing, toggles between moving the right picture
    // and panning the result.
    void imgResultDblClick();
    // True while a left drag moves the right picture: always when the
    // result fits the window.
    bool AdjustOffset() const { return adjust_; }
    // Arrow keys move the right picture by one image pixel, ten with Ctrl.
    bool Edit1KeyDown(int key, Qt::KeyboardModifiers shift);
    // Releasing Shift ends the temporary move mode it started.
    void Edit1KeyUp(Qt::KeyboardModifiers shift);
    // The wheel zooms the main window's images unless the slider has the focus.
    bool FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta);
    void pmCopyClick();

    // The main window moves its right picture by these screen pixels and
    // lays its panes out again; resets its zoom on an offset reset.
    std::function<void(int dx, int dy)> MoveRightImage;
    std::function<void()> ResetZoom;
    // Where the window goes when its place was never stored: the main
    // window's default spot for it, moved down to the bottom of its panes.
    std::function<QPoint()> DefaultPlace;
    // Opens the save-as menu of the difference picture.
    std::function<void(QPoint)> SaveMenu;
    // The main window's wheel handler.
    std::function<bool(Qt::KeyboardModifiers, int)> MainMouseWheel;
    // Prints the difference picture; the menu offers it once a report
    // window is installed.
    std::function<void(QObject* sender)> PrintImage;

    QPushButton *fbDiff = nullptr, *fbLevel = nullptr, *fbBlend = nullptr, *fbBool = nullptr,
                *fbToggle = nullptr, *fbHide = nullptr, *fbHelp = nullptr;
    QSlider *tbSlider = nullptr, *tbICZPF = nullptr;
    QCheckBox *cbOverlay = nullptr, *cbTinted = nullptr, *cbRelaxed = nullptr, *cbMagnifier = nullptr;
    QLabel *lOverlay = nullptr, *lTinted = nullptr, *lRelaxed = nullptr, *lMagnify = nullptr;
    QLabel *lOffset = nullptr, *lCurPos = nullptr, *lRGB = nullptr, *lStatus = nullptr;
    QScrollArea* sbArea = nullptr;
    QScrollBar *sbH = nullptr, *sbV = nullptr;
    QWidget *pImgCmpHead = nullptr, *pImage = nullptr;
    TImagePane *imgResult = nullptr, *imgZoom = nullptr;
    QLineEdit* Edit1 = nullptr;
    QMenu* pmImgCmpView = nullptr;
    QAction* pmPrintImage = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupMode(int mode);
    void refreshMode();
    void placeResult();
    bool scrolls() const;
    void refreshAdjustMode();
    // Shift held asks for the move mode even while the result scrolls.
    void refreshStatus(bool requested = false);
    double zoomFactor() const { return zoom_ / 100.0; }
    bool overRightImage(QPoint pos) const;
    void showReadOuts(QPoint pos);
    void refreshMagnifier();

    ImgCompare core_;
    int zoom_ = 100;
    bool setup_ = false;
    bool dragging_ = false;
    bool moving_ = false;
    bool panning_ = false;
    bool adjust_ = true;
    bool themed_ = false;
    QPoint hoverPos_{-1, -1};  // the last pointer position over the result
    QPoint lastPos_;
    QPoint panFrom_;
    QPoint panBars_;
    QPoint pixel_;  // the image pixel under the pointer
    QString modeText_;
    QSize imageSize_;
};

}  // namespace tandex::ui
