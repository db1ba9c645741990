#pragma once
// The owner-drawn button used on nearly every window: push or split button,
// flat or classic look, an image fetched from the owning form, a caption of
// one or two lines, a focus frame, an inline progress bar and a faded
// disabled look. The whole face is rendered into an image of its own
// whenever something visible changes; painting only copies that image, so
// repaints during scrolling and resizing stay cheap.
//
// The button keeps its own enabled state and never disables the widget
// itself: a disabled button still receives events (its handlers ignore
// them), keeps its hint when ShowButtonHints asks for it, and forms may
// still route keys to it. Sizes are given in 96-dpi pixels and scaled.

#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace tandex::ui {

// Colours as the forms state them: 0x00BBGGRR.
using TColor = quint32;

QColor ToQColor(TColor color);

// Each byte of colour minus the same byte of delta, saturating at 0.
TColor DarkenColor(TColor color, TColor delta);
// Lightens a dark colour, darkens a light one, by delta per byte.
TColor ShiftColorContrast(TColor color, TColor delta);

// The constant alpha (0..255) with which a disabled button's face is blended
// over its background; one setting for the whole program, 0 until set.
void SetDisabledAlpha(int alpha);
int DisabledAlpha();

enum TFlatStyle { FS_DEFAULT, FS_SHOWBORDER };
enum TFBStyle { BS_PUSH, BS_SPLIT };
enum TFBImgPos { IP_LEFT, IP_CENTER };
enum TFBCAlign { CA_CENTER, CA_BOTTOM, CA_RIGHT };

// Fills bitmap with image imageID of the image list listID; false when there
// is no such image.
using TLoadBitmap = std::function<bool(int listID, int imageID, QImage& bitmap)>;
using TNotifyEvent = std::function<void(QObject* sender)>;
// key is a Qt::Key value; a handler may change it.
using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
using TKeyPressEvent = std::function<void(QObject* sender, QChar& key)>;

class TFlatButton2 : public QWidget {
    Q_OBJECT

public:
    explicit TFlatButton2(QWidget* owner = nullptr);
    ~TFlatButton2() override;

    // Events. OnKeyDown starts as the button's own key handler; a form that
    // assigns it replaces that handling.
    TNotifyEvent OnClick;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TLoadBitmap LoadBMPFunc;

    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }
    bool LeftClick() const { return leftClick_; }

    TFlatStyle FlatStyle() const { return flatStyle_; }
    void SetFlatStyle(TFlatStyle value);
    int Margin() const { return margin_; }
    void SetMargin(int value);
    // Width and Height take 96-dpi values. Width reads back the scaled
    // width (what layouts need), Height the unscaled height.
    int Width() const { return scaledWidth_; }
    void SetWidth(int value);
    int Height() const;
    void SetHeight(int value);
    void ResetSize();

    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    QFont Font() const { return font_; }
    void SetFont(const QFont& font);
    TFBImgPos ImgePos() const { return imgePos_; }
    void SetImgePos(TFBImgPos value) { imgePos_ = value; }
    int ListID() const { return listID_; }
    void SetListID(int value) { listID_ = value; }
    int ImageID() const { return imageID_; }
    void SetImageID(int value);
    int DownImgID() const { return downImgID_; }
    void SetDownImgID(int value) { downImgID_ = value; }
    int HotImgID() const { return hotImgID_; }
    void SetHotImgID(int value) { hotImgID_ = value; }
    TFBCAlign CAlign() const { return cAlign_; }
    void SetCAlign(TFBCAlign value) { cAlign_ = value; }
    QString Caption() const { return line1_ + line2_; }
    void SetCaption(const QString& text);
    TColor BgColor() const { return bgColor_; }
    void SetBgColor(TColor value);
    TColor BgColorFlat() const { return bgColorFlat_; }
    void SetBgColorFlat(TColor value);
    TColor FocusColor() const { return focusColor_; }
    void SetFocusColor(TColor value) { focusColor_ = value; }
    TColor BarColor() const { return barColor_; }
    void SetBarColor(TColor value);
    TFBStyle Style() const { return style_; }
    void SetStyle(TFBStyle value);
    bool Enabled() const { return enabled_; }
    // Virtual so that descendants can extend the disabled look.
    virtual void SetEnabled(bool value);
    QMenu* Popup() const { return popup_; }
    void SetPopup(QMenu* menu) { popup_ = menu; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value) { stretch_ = value; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    bool Down() const { return down_; }
    void SetDown(bool value);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value) { modalResult_ = value; }
    int MaxPos() const { return maxPos_; }
    void SetMaxPos(int value) { maxPos_ = value; }
    int Position() const { return position_; }
    void SetPosition(int value);
    int TextWidth() const { return textWidth_; }

    // The rendered face, for forms that reuse a button's drawing.
    const QImage& Face() const { return face_; }
    bool Focused() const { return focused_; }
    bool Pressed() const { return pressed_; }
    int CurrentImage() const { return currentImage_; }
    TColor BorderColor() const { return borderColor_; }
    int SplitPos() const { return splitPos_; }

    // Gives the parent form the button's ModalResult; not OnClick.
    virtual void Click();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Redraw();
    TColor FlatBorderColor() const;
    void RenderFace(int imageID);
    void ApplyDisabledLook();
    TColor ParentColor() const;
    TColor FontColor() const;
    void ShowPopup();

    void ButtonMouseDown(Qt::MouseButton button);
    void ButtonMouseUp(Qt::MouseButton button, int x, int y);
    void ButtonMouseEnter();
    void ButtonMouseLeave();
    void ButtonEnter();
    void ButtonExit();
    void ButtonKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);

    bool showHint_ = false;
    bool leftClick_ = false;
    TFlatStyle flatStyle_ = FS_DEFAULT;
    int margin_ = 2;
    bool flat_ = false;
    QFont font_;
    TFBImgPos imgePos_ = IP_LEFT;
    int listID_ = -1;
    int imageID_ = -1;
    int downImgID_ = -1;
    int hotImgID_ = -1;
    TFBCAlign cAlign_ = CA_CENTER;
    QString line1_;
    QString line2_;
    TColor bgColor_ = 0xE0E0E0;
    TColor bgColorFlat_ = 0xFFFFFF;
    TColor focusColor_ = 0xFFFF00;
    TColor barColor_ = 0x008000;
    TFBStyle style_ = BS_PUSH;
    bool enabled_ = true;
    QPointer<QMenu> popup_;
    bool stretch_ = false;
    bool transparent_ = true;
    bool tabStop_ = true;
    bool down_ = false;
    int modalResult_ = 0;
    int maxPos_ = 100;
    int position_ = 0;
    int textWidth_ = 0;

    bool pressed_ = false;
    bool focused_ = false;
    bool painting_ = false;
    bool clickStarted_ = false;
    bool mouseClick_ = false;   // Click runs from a mouse-up
    bool modalEndDue_ = false;  // that Click set a modal result that ends the run
    int splitPos_ = 0;
    int currentImage_ = -1;
    int scaledWidth_ = 0;
    int scaledHeight_ = 0;
    TColor borderColor_ = 0x808080;
    QImage face_;
};

}  // namespace tandex::ui
