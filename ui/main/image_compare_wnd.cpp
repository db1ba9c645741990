#include "ui/main/image_compare_wnd.h"
#include "ui/main/print_seams.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "details_panel.h"
#include "image_pane.h"
#include "main_window_seams.h"

namespace tandex::ui {

namespace {

// Some platforms still report Shift on the release of Shift itself.
Qt::KeyboardModifiers afterRelease(const QKeyEvent* key) {
    return key->key() == Qt::Key_Shift ? key->modifiers() & ~Qt::ShiftModifier : key->modifiers();
}

// The batch run and "/gui" compare in Pixels mode; the batch run shows no window.
bool inBatchMode() { return commandLine().BatchMode(); }

void fillWith(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

TfImgCompare::TfImgCompare(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("fImgCompare"));
    setWindowTitle(QStringLiteral(" Tandex - Image Compare "));
    setMinimumSize(620, 300);
    // Not placed yet: a top below 0 tells the main window to pick the spot.
    move(0, -1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* head = pImgCmpHead = new QWidget(this);
    head->setObjectName(QStringLiteral("pImgCmpHead"));
    // Three rows: the mode and its parameter, the mode's options and the
    // magnifier's switch, the magnifier and the read-outs. In one row the
    // window's narrowest width cut the captions and the magnifier lay over
    // the offsets.
    auto* rows = new QVBoxLayout(head);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(4);
    auto* row = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    auto* row3 = new QHBoxLayout;
    for (QHBoxLayout* r : {row, row2, row3}) rows->addLayout(r);
    auto button = [&](const char* name, const QString& caption, const QString& hint) {
        auto* b = new QPushButton(caption, head);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        row->addWidget(b);
        return b;
    };
    fbDiff = button("fbDiff", QStringLiteral("Pixels"),
                    QStringLiteral(" Show different pixels, tolerated pixel differences \n"
                                   " and same pixels in different colors.\n"
                                   " Adjust the tolerance value with the upper slider."));
    fbLevel = button("fbLevel", QStringLiteral("Intensity"), QStringLiteral(" Show the difference degree "));
    fbBlend = button("fbBlend", QStringLiteral("Blend"), QStringLiteral(" Blend between left and right image "));
    fbBool = button("fbBool", QStringLiteral("Boolean"), QStringLiteral(" Boolean operation "));
    for (auto [b, mode] : {std::pair{fbDiff, 0}, {fbLevel, 1}, {fbBlend, 2}, {fbBool, 3}}) {
        b->setCheckable(true);
        b->setProperty("Tag", mode);
        connect(b, &QPushButton::clicked, this, [this, mode] { fbButtonClick(mode); });
    }
    tbSlider = new QSlider(Qt::Horizontal, head);
    tbSlider->setObjectName(QStringLiteral("tbSlider"));
    tbSlider->setMinimumWidth(100);
    row->addWidget(tbSlider, 1);
    connect(tbSlider, &QSlider::valueChanged, this, [this](int v) { tbSliderChange(v); });
    fbToggle = button("fbToggle", QStringLiteral("Toggle L / R"), QStringLiteral(" Toggle between left and right image "));
    connect(fbToggle, &QPushButton::clicked, this,
            [this] { tbSlider->setValue(config::AppSettings().ICBlend <= 50 ? 100 : 0); });
    auto check = [&](const char* box, const char* label, const QString& caption) {
        auto* c = new QCheckBox(head);
        c->setObjectName(QString::fromLatin1(box));
        auto* l = new QLabel(caption, head);
        l->setObjectName(QString::fromLatin1(label));
        l->setBuddy(c);
        l->installEventFilter(this);
        row2->addWidget(c);
        row2->addWidget(l);
        return std::pair{c, l};
    };
    std::tie(cbOverlay, lOverlay) = check("cbOverlay", "lOverlay", QStringLiteral("Overlaid"));
    std::tie(cbTinted, lTinted) = check("cbTinted", "lTinted", QStringLiteral("Tinted"));
    std::tie(cbRelaxed, lRelaxed) = check("cbRelaxed", "lRelaxed", QStringLiteral("Relaxed"));
    lRelaxed->setToolTip(QStringLiteral(" Show tolerated pixel differences as same pixels "));
    connect(cbOverlay, &QCheckBox::clicked, this, [this] { cbOverlayClick(); });
    connect(cbTinted, &QCheckBox::clicked, this, [this] { cbTintedClick(); });
    connect(cbRelaxed, &QCheckBox::clicked, this, [this] { cbRelaxedClick(); });
    std::tie(cbMagnifier, lMagnify) = check("cbMagnifier", "lMagnify", QStringLiteral("Magnify 10x"));
    connect(cbMagnifier, &QCheckBox::clicked, this, [this] { cbMagnifierClick(); });
    tbICZPF = new QSlider(Qt::Horizontal, head);
    tbICZPF->setObjectName(QStringLiteral("tbICZPF"));
    tbICZPF->setRange(1, 20);
    tbICZPF->setValue(10);
    tbICZPF->setFixedWidth(80);
    row2->addWidget(tbICZPF);
    row2->addStretch(1);
    connect(tbICZPF, &QSlider::valueChanged, this, [this](int v) { tbICZPFChange(v); });
    imgZoom = new TImagePane(head);
    imgZoom->setObjectName(QStringLiteral("imgZoom"));
    imgZoom->setFixedSize(80, 40);
    row3->addWidget(imgZoom);
    // The read-outs keep the width of their longest text, so the row does
    // not shift while the mouse moves.
    auto readOut = [&](const char* name, const QString& widest) {
        auto* l = new QLabel(head);
        l->setObjectName(QString::fromLatin1(name));
        int width = 0;
        for (const QString& line : widest.split(QLatin1Char('\n')))
            width = std::max(width, l->fontMetrics().horizontalAdvance(line));
        l->setMinimumWidth(width + 2);
        row3->addWidget(l);
        return l;
    };
    lCurPos = readOut("lCurPos", QStringLiteral("X:88888 Y:88888"));
    lRGB = readOut("lRGB", QStringLiteral("RGB:\n888,888,888"));
    lOffset = readOut("lOffset", QStringLiteral("xofs: -88888.8\nyofs: -88888.8"));
    lOffset->setToolTip(QStringLiteral(" DoubleClick to reset the offset of the right image "));
    lOffset->installEventFilter(this);
    row3->addStretch(1);
    fbHide = button("fbHide", QStringLiteral("Hide"), QStringLiteral(" Temporarily hide the image compare window "));
    connect(fbHide, &QPushButton::clicked, this, [this] { ShowWindow(false); });
    // Help waits for its window.
    fbHelp = button("fbHelp", QStringLiteral("?"), QStringLiteral(" Click to get help for Image Compare "));
    fbHelp->hide();
    // Only the keyboard target: its keys go to the window's own handler.
    Edit1 = new QLineEdit(head);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedSize(1, 1);
    Edit1->installEventFilter(this);
    row->addWidget(Edit1);
    outer->addWidget(head);

    // A result larger than the window scrolls; a smaller one sits centred.
    sbArea = new QScrollArea(this);
    sbArea->setAlignment(Qt::AlignCenter);
    sbArea->setFrameShape(QFrame::NoFrame);
    sbH = sbArea->horizontalScrollBar();
    sbH->setObjectName(QStringLiteral("sbH"));
    sbV = sbArea->verticalScrollBar();
    sbV->setObjectName(QStringLiteral("sbV"));
    for (QScrollBar* bar : {sbH, sbV})
        connect(bar, &QScrollBar::rangeChanged, this, [this] { refreshAdjustMode(); });
    outer->addWidget(sbArea, 1);
    pImage = new QWidget;
    pImage->setObjectName(QStringLiteral("pImage"));
    sbArea->setWidget(pImage);
    imgResult = new TImagePane(pImage);
    imgResult->setObjectName(QStringLiteral("imgResult"));
    imgResult->OnMouseDown = [this](QMouseEvent* e) { imgResultMouseDown(e->button(), e->modifiers(), e->pos()); };
    imgResult->OnMouseMove = [this](QMouseEvent* e) { imgResultMouseMove(e->buttons(), e->pos()); };
    imgResult->OnMouseUp = [this](QMouseEvent*) { imgResultMouseUp(); };
    imgResult->OnDblClick = [this](QMouseEvent*) { imgResultDblClick(); };
    lStatus = new QLabel(this);
    lStatus->setObjectName(QStringLiteral("lStatus"));
    // The whole width: a fixed limit cut the counts even in a wide window.
    lStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    outer->addWidget(lStatus);

    pmImgCmpView = new QMenu(this);
    pmImgCmpView->setObjectName(QStringLiteral("pmImgCmpView"));
    QAction* copy = pmImgCmpView->addAction(QStringLiteral("Copy the difference image to Clipboard"));
    copy->setObjectName(QStringLiteral("pmCopy"));
    connect(copy, &QAction::triggered, this, [this] { pmCopyClick(); });
    QAction* save = pmImgCmpView->addAction(QStringLiteral("Save the difference image as JPEG or Bitmap file"));
    save->setObjectName(QStringLiteral("pmSaveImage"));
    connect(save, &QAction::triggered, this, [this] {
        if (SaveMenu) SaveMenu(QCursor::pos());
    });
    QAction* reset = pmImgCmpView->addAction(QStringLiteral("Reset the right image offset"));
    reset->setObjectName(QStringLiteral("pmResetImageOffset"));
    connect(reset, &QAction::triggered, this, [this] { lOffsetDblClick(); });
    pmPrintImage = pmImgCmpView->addAction(QStringLiteral("PrintPreview && Print the difference image..."));
    pmPrintImage->setObjectName(QStringLiteral("pmPrintImage"));
    pmPrintImage->setVisible(false);
    connect(pmPrintImage, &QAction::triggered, this, [this] {
        if (PrintImage) PrintImage(pmPrintImage);
    });
    connect(pmImgCmpView, &QMenu::aboutToShow, this, [this, reset] {
        reset->setEnabled(std::lround(core_.OffsetX()) != 0 || std::lround(core_.OffsetY()) != 0);
        pmPrintImage->setVisible(PrintImage && report().CanPrint());
    });
    setupMode(config::AppSettings().ICID);
    // Never narrower than the header needs in this font.
    setMinimumSize(std::max(620, minimumSizeHint().width()), 300);
}

void TfImgCompare::SetLeftPicture(const QImage& picture) { core_.SetLeftPicture(picture); }

void TfImgCompare::SetRightPicture(const QImage& picture) { core_.SetRightPicture(picture); }

void TfImgCompare::SetZoom(int percent) {
    zoom_ = std::max(percent, 1);
    placeResult();
}

void TfImgCompare::SetImageSize(int width, int height) {
    if (width + height <= 0 || QSize(width, height) == imageSize_) return;
    imageSize_ = QSize(width, height);
    placeResult();
}

void TfImgCompare::ResetScroll() {
    sbH->setValue(0);
    sbV->setValue(0);
}

void TfImgCompare::placeResult() {
    const QImage& result = core_.Result();
    const int w = int(std::lround(result.width() * zoomFactor()));
    const int h = int(std::lround(result.height() * zoomFactor()));
    // The panel keeps a two-pixel margin round the picture.
    pImage->resize(w + 4, h + 4);
    imgResult->setGeometry(2, 2, w, h);
    refreshAdjustMode();
}

bool TfImgCompare::scrolls() const { return sbH->maximum() > 0 || sbV->maximum() > 0; }

void TfImgCompare::refreshAdjustMode() {
    const bool adjust = !scrolls();
    if (adjust == adjust_) return;
    adjust_ = adjust;
    refreshStatus();
}

void TfImgCompare::refreshStatus(bool requested) {
    const bool adjust = adjust_ || requested;
    // A drag or pan keeps its own cursor until the button is released.
    if (!dragging_ && !panning_) {
        if (adjust && hoverPos_.x() >= 0 && overRightImage(hoverPos_))
            imgResult->setCursor(Qt::OpenHandCursor);
        else
            imgResult->unsetCursor();
    }
    lStatus->setText((adjust ? QStringLiteral("[Adjust offset]  - ") : QStringLiteral("[Move image]  - ")) +
                     modeText_);
}

void TfImgCompare::ShowWindow(bool show) {
    auto& s = config::AppSettings();
    if (!show) {
        if (isVisible()) {
            // The same rectangle the next show applies, so that the window
            // does not creep by its frame on each hide.
            s.ICL = geometry().x();
            s.ICT = geometry().y();
            s.ICW = width();
            s.ICH = height();
        }
        hide();
        return;
    }
    const bool batch = inBatchMode();
    if (batch) s.ICID = 0;
    if (s.ICT < 0 && DefaultPlace) {
        // The bottom edge lands on the panes' bottom at the height the window gets.
        const QPoint place = DefaultPlace();
        s.ICL = place.x();
        s.ICT = std::max(place.y() - std::max(s.ICH, minimumHeight()), 0);
    }
    if (s.ICT >= 0 && !isVisible())
        setGeometry(s.ICL, s.ICT, std::max(s.ICW, minimumWidth()), std::max(s.ICH, minimumHeight()));
    const bool wasHidden = !isVisible();
    tbICZPF->setValue(std::clamp(s.ICMagnify, 1, 20));
    cbMagnifier->setChecked(s.ICMagnifier);
    setupMode(s.ICID);
    Compute(s.ICID);
    if (wasHidden && !batch) {
        QWidget::show();
        if (!themed_) ApplyTheme();
        Edit1->setFocus();
    }
}

void TfImgCompare::Compute(int mode) {
    const auto text = core_.Compute(mode);
    if (text) {
        modeText_ = *text;
        refreshStatus();
        imgResult->setPicture(core_.Result());
    } else {
        imgResult->setPicture(core_.LeftPicture());
    }
    lOffset->setText(core_.OffsetText());
    placeResult();
    refreshMagnifier();
}

void TfImgCompare::setupMode(int mode) {
    const auto& s = config::AppSettings();
    setup_ = true;
    for (QPushButton* b : {fbDiff, fbLevel, fbBlend, fbBool}) b->setChecked(b->property("Tag").toInt() == mode);
    switch (mode) {
    case 1:
        tbSlider->setRange(0, 4);
        tbSlider->setValue(s.ICDVType);
        cbOverlay->setChecked(core_.Amplification() & 1);
        cbTinted->setChecked(core_.Amplification() & 2);
        break;
    case 2:
        tbSlider->setRange(0, 100);
        tbSlider->setValue(s.ICBlend);
        break;
    case 3:
        tbSlider->setRange(0, 4);
        tbSlider->setValue(s.ICBOType);
        break;
    default:
        tbSlider->setRange(0, 255);
        tbSlider->setValue(s.ICDifTol);
        cbOverlay->setChecked(s.ICOverlay);
        cbTinted->setChecked(s.ICTinted);
        cbRelaxed->setChecked(s.ICRelaxed);
        break;
    }
    setup_ = false;
    refreshMode();
}

void TfImgCompare::refreshMode() {
    const int mode = config::AppSettings().ICID;
    const bool intensity = mode == 1;
    fillWith(this, colorOfBgr(quint32(config::AppSettings().ICBgCol)));
    lOverlay->setText(intensity ? QStringLiteral("Amplify 2x") : QStringLiteral("Overlaid"));
    lTinted->setText(intensity ? QStringLiteral("Amplify 4x") : QStringLiteral("Tinted"));
    fbToggle->setVisible(mode == 2);
    for (QWidget* w : {static_cast<QWidget*>(cbOverlay), static_cast<QWidget*>(lOverlay),
                       static_cast<QWidget*>(cbTinted), static_cast<QWidget*>(lTinted)})
        w->setVisible(mode <= 1);
    cbRelaxed->setVisible(mode == 0);
    lRelaxed->setVisible(mode == 0);
    imgZoom->setVisible(cbMagnifier->isChecked());
    tbICZPF->setEnabled(cbMagnifier->isChecked());
    refreshMagnifier();
}

void TfImgCompare::cbMagnifierClick() {
    config::AppSettings().ICMagnifier = cbMagnifier->isChecked();
    refreshMode();
}

void TfImgCompare::tbICZPFChange(int position) {
    config::AppSettings().ICMagnify = position;
    lMagnify->setText(QStringLiteral("Magnify %1x").arg(position));
    refreshMagnifier();
}

void TfImgCompare::refreshMagnifier() {
    if (!cbMagnifier->isChecked()) return;
    const QImage& shown = imgResult->picture();
    if (shown.isNull()) {
        imgZoom->clear();
        return;
    }
    const int m = std::max(tbICZPF->value(), 1);
    const QSize area(std::max(imgZoom->width() / m, 1), std::max(imgZoom->height() / m, 1));
    const QRect source(pixel_ - QPoint(area.width() / 2, area.height() / 2), area);
    // Pixel by pixel, so that single pixels stay readable as blocks.
    imgZoom->setPicture(shown.copy(source).scaled(imgZoom->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TfImgCompare::fbButtonClick(int mode) {
    if (mode != config::AppSettings().ICID) {
        config::AppSettings().ICID = mode;
        setupMode(mode);
        Compute(mode);
    }
    setupMode(config::AppSettings().ICID);
}

void TfImgCompare::tbSliderChange(int position) {
    if (setup_) return;
    auto& s = config::AppSettings();
    switch (s.ICID) {
    case 0: s.ICDifTol = position; break;
    case 1: s.ICDVType = position; break;
    case 2: s.ICBlend = position; break;
    case 3: s.ICBOType = position; break;
    default: return;
    }
    Compute(s.ICID);
}

void TfImgCompare::cbOverlayClick() {
    if (setup_) return;
    auto& s = config::AppSettings();
    if (s.ICID == 0) s.ICOverlay = cbOverlay->isChecked();
    if (s.ICID == 1) core_.SetAmplification((core_.Amplification() & ~1) | (cbOverlay->isChecked() ? 1 : 0));
    Compute(s.ICID);
}

void TfImgCompare::cbTintedClick() {
    if (setup_) return;
    auto& s = config::AppSettings();
    if (s.ICID == 0) s.ICTinted = cbTinted->isChecked();
    if (s.ICID == 1) core_.SetAmplification((core_.Amplification() & ~2) | (cbTinted->isChecked() ? 2 : 0));
    Compute(s.ICID);
}

void TfImgCompare::cbRelaxedClick() {
    if (setup_) return;
    auto& s = config::AppSettings();
    if (s.ICID == 0) s.ICRelaxed = cbRelaxed->isChecked();
    Compute(s.ICID);
}

void TfImgCompare::lOffsetDblClick() {
    core_.SetOffset(0, 0);
    Compute(config::AppSettings().ICID);
    if (ResetZoom) ResetZoom();
}

bool TfImgCompare::overRightImage(QPoint pos) const {
    const double z = zoomFactor();
    const QImage& right = core_.RightPicture();
    const long x0 = std::lround(core_.OffsetX() * z), y0 = std::lround(core_.OffsetY() * z);
    return pos.x() >= x0 && pos.x() < x0 + std::lround(right.width() * z) && pos.y() >= y0 &&
           pos.y() < y0 + std::lround(right.height() * z);
}

void TfImgCompare::imgResultMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
    Edit1->setFocus();
    dragging_ = panning_ = false;
    lastPos_ = pos;
    if (button == Qt::LeftButton) {
        if (adjust_ || (shift & Qt::ShiftModifier)) {
            dragging_ = overRightImage(pos);
            imgResult->setCursor(dragging_ ? Qt::ClosedHandCursor : Qt::ArrowCursor);
        } else if (scrolls()) {
            // Panning measures in window pixels: the picture moves under the pointer.
            panning_ = true;
            panFrom_ = imgResult->mapTo(this, pos);
            panBars_ = QPoint(sbH->value(), sbV->value());
            imgResult->setCursor(Qt::SizeAllCursor);
        }
    } else if (button == Qt::RightButton) {
        pmImgCmpView->popup(imgResult->mapToGlobal(pos));
    }
}

void TfImgCompare::imgResultMouseMove(Qt::MouseButtons, QPoint pos) {
    if (moving_ || pos == lastPos_) return;
    moving_ = true;
    hoverPos_ = pos;
    const double z = zoomFactor();
    if (panning_) {
        const QPoint moved = imgResult->mapTo(this, pos) - panFrom_;
        sbH->setValue(std::max(panBars_.x() - moved.x(), 0));
        sbV->setValue(std::max(panBars_.y() - moved.y(), 0));
        moving_ = false;
        return;
    }
    if (dragging_ && z > 0) {
        const int dx = pos.x() - lastPos_.x(), dy = pos.y() - lastPos_.y();
        core_.SetOffset(core_.OffsetX() + dx / z, core_.OffsetY() + dy / z);
        lastPos_ = pos;
        Compute(config::AppSettings().ICID);
        if (MoveRightImage) MoveRightImage(dx, dy);
    } else {
        imgResult->setCursor(overRightImage(pos) ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
    showReadOuts(pos);
    moving_ = false;
}

void TfImgCompare::showReadOuts(QPoint pos) {
    const double z = zoomFactor();
    if (z <= 0) return;
    const int px = int(std::lround(pos.x() / z)), py = int(std::lround(pos.y() / z));
    pixel_ = QPoint(px, py);
    refreshMagnifier();
    lCurPos->setText(QStringLiteral("X:%1 Y:%2").arg(px).arg(py));
    // The colour comes from the shown picture itself, so that it is the
    // computed value whatever the screen's depth or a window above it.
    const QImage& shown = imgResult->picture();
    if (!shown.valid(px, py)) {
        lRGB->clear();
        return;
    }
    const QRgb c = shown.pixel(px, py);
    lRGB->setText(QStringLiteral("RGB:\n%1,%2,%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)));
}

void TfImgCompare::imgResultMouseUp() {
    dragging_ = panning_ = false;
    refreshStatus(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

void TfImgCompare::imgResultDblClick() {
    if (!scrolls()) return;
    adjust_ = !adjust_;
    refreshStatus();
}

bool TfImgCompare::Edit1KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (dragging_) return false;
    int dx = 0, dy = 0;
    switch (key) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Down: dy = 1; break;
    case Qt::Key_Shift:
        refreshStatus(true);
        return true;
    default: return false;
    }
    int step = (shift & Qt::ControlModifier) ? 10 : 1;
    if (zoomFactor() > 1) step = int(std::lround(step * zoomFactor()));
    // A key step is a drag by that many screen pixels.
    dragging_ = true;
    const QPoint from = lastPos_;
    imgResultMouseMove(Qt::LeftButton, from + QPoint(dx * step, dy * step));
    dragging_ = false;
    return true;
}

void TfImgCompare::Edit1KeyUp(Qt::KeyboardModifiers shift) { refreshStatus(shift & Qt::ShiftModifier); }

bool TfImgCompare::FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta) {
    if (tbSlider->hasFocus() || !MainMouseWheel) return false;
    return MainMouseWheel(shift, wheelDelta);
}

void TfImgCompare::ApplyTheme() {
    const auto& s = config::AppSettings();
    const auto& set = config::CurrentColorSet();
    const QColor head = colorOfBgr(set[config::TBEndCol]);
    fillWith(pImgCmpHead, head);
    fillWith(lStatus, colorOfBgr(set[config::StatLnBgCol]));
    const bool flat = s.GSGUIStyle > 0;
    for (QPushButton* b : {fbDiff, fbLevel, fbBlend, fbBool, fbHide, fbHelp, fbToggle}) {
        QPalette palette = b->palette();
        palette.setColor(QPalette::Button, head);
        palette.setColor(QPalette::ButtonText, flat ? Qt::white : Qt::black);
        b->setPalette(palette);
        b->setFlat(flat);
    }
    fbHide->setToolTip(QStringLiteral(" Temporarily hide the image compare window \n => DoubleClick to show it again!"));
    themed_ = true;
}

void TfImgCompare::pmCopyClick() { CopyGraphicToClipboard(core_.Result()); }

void TfImgCompare::keyPressEvent(QKeyEvent* event) {
    if (!Edit1KeyDown(event->key(), event->modifiers())) QWidget::keyPressEvent(event);
}

void TfImgCompare::keyReleaseEvent(QKeyEvent* event) {
    Edit1KeyUp(afterRelease(event));
    QWidget::keyReleaseEvent(event);
}

void TfImgCompare::wheelEvent(QWheelEvent* event) {
    if (FormMouseWheel(event->modifiers(), event->angleDelta().y()))
        event->accept();
    else
        QWidget::wheelEvent(event);
}

void TfImgCompare::closeEvent(QCloseEvent* event) {
    ShowWindow(false);
    event->accept();
}

bool TfImgCompare::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        return Edit1KeyDown(key->key(), key->modifiers());
    }
    if (watched == Edit1 && event->type() == QEvent::KeyRelease) {
        Edit1KeyUp(afterRelease(static_cast<QKeyEvent*>(event)));
        return false;
    }
    if (watched == lOffset && event->type() == QEvent::MouseButtonDblClick) {
        lOffsetDblClick();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        // A check box's label toggles it.
        for (auto [label, box] : {std::pair{lOverlay, cbOverlay}, {lTinted, cbTinted}, {lRelaxed, cbRelaxed},
                                  {lMagnify, cbMagnifier}})
            if (watched == label && (box->isEnabled() || box == cbMagnifier)) {
                box->click();
                return true;
            }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tandex::ui
