#include "status_win.h"

#include <QLabel>
#include <QProgressBar>
#include <QWindow>
#include <cmath>
#include <limits>

#include "config/sys_helpers.h"
#include "ui/main/window_helpers.h"

namespace tandex::ui {

namespace {

QRect Scaled(int x, int y, int w, int h) {
    return QRect(config::ScaleDpi(x), config::ScaleDpi(y), config::ScaleDpi(w),
                 config::ScaleDpi(h));
}

qint32 RoundPercent(double value) {
    // Positions far beyond the total must not overflow the percentage.
    constexpr double lo = std::numeric_limits<qint32>::min();
    constexpr double hi = std::numeric_limits<qint32>::max();
    return static_cast<qint32>(std::nearbyint(std::clamp(value, lo, hi)));
}

void ProcessMessages() {
    config::eventPump().processEvents();
}

}  // namespace

TStatusWin::TStatusWin(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("StatusWin"));
    setFixedSize(config::ScaleDpi(488), config::ScaleDpi(86));
    setCursor(Qt::WaitCursor);

    L_TextLine1 = new QLabel(this);
    L_TextLine1->setObjectName(QStringLiteral("L_TextLine1"));
    L_TextLine1->setGeometry(Scaled(8, 2, 473, 14));
    QFont f = L_TextLine1->font();
    f.setPixelSize(config::ScaleDpi(12));
    L_TextLine1->setFont(f);

    L_TextLine2 = new QLabel(this);
    L_TextLine2->setObjectName(QStringLiteral("L_TextLine2"));
    L_TextLine2->setGeometry(Scaled(8, 16, 473, 16));

    PBar1 = new QProgressBar(this);
    PBar1->setObjectName(QStringLiteral("PBar1"));
    PBar1->setGeometry(Scaled(8, 34, 473, 17));
    PBar1->setRange(0, 100);
    PBar1->setValue(0);
    PBar1->setTextVisible(false);

    L_TextLine3 = new QLabel(this);
    L_TextLine3->setObjectName(QStringLiteral("L_TextLine3"));
    L_TextLine3->setGeometry(Scaled(8, 62, 179, 16));

    fbCancel = new TFlatButton2(this);
    fbCancel->setObjectName(QStringLiteral("fbCancel"));
    fbCancel->move(config::ScaleDpi(194), config::ScaleDpi(57));
    fbCancel->SetWidth(100);
    fbCancel->SetHeight(25);
    fbCancel->SetFlatStyle(FS_SHOWBORDER);
    fbCancel->SetFocusColor(0xFFFFFF);
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbCancel->OnClick = [this](QObject* sender) { fbCancelClick(sender); };

    FormCreate();
}

void TStatusWin::FormCreate() {
    fbCancel->ResetSize();
}

void TStatusWin::SetPercentMode(bool on) {
    percentMode_ = on;
    L_TextLine2->setAlignment((on ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
}

void TStatusWin::SetMarquee(bool on) {
    // A range of 0..0 is Qt's busy indicator.
    if (on)
        PBar1->setRange(0, 0);
    else
        PBar1->setRange(0, 100);
}

bool TStatusWin::Marquee() const {
    return PBar1->maximum() == 0;
}

void TStatusWin::SetText(const QString& text) {
    L_TextLine1->setText(text);
    if (QWidget* main = MainForm()) {
        const QRect m = main->frameGeometry();
        move(m.left() + m.width() / 2 - frameGeometry().width() / 2, m.top() + m.height() / 2);
    }
    if (text.startsWith(QLatin1String("Connecting to "))) {
        SetMarquee(true);
        L_TextLine2->clear();
    }
}

void TStatusWin::StartProgress(qint64 total) {
    factor_ = total > 0 ? float(100.0 / double(total)) : 0.0f;
    // The bar starts over at 0, so 0 is what is shown now; remembering the
    // previous run's percentage would hide the new run's first steps.
    lastPercent_ = 0;
    if (percentMode_ && factor_ > 0) {
        L_TextLine2->setText(QStringLiteral("0%"));
        SetMarquee(false);
    } else {
        L_TextLine2->clear();
        SetMarquee(true);
    }
    PBar1->setValue(0);
    callCount_ = 0;
    active_ = true;
    fbCancel->SetFlat(config::FlatLook() != 0);
}

void TStatusWin::SetProgress(qint64 position) {
    if (!active_) {
        ProcessMessages();
        return;
    }
    ++callCount_;
    if (factor_ > 0) {
        const qint32 p = RoundPercent(double(position) * double(factor_));
        if (p != lastPercent_) {
            lastPercent_ = p;
            // The bar shows values beyond its range as full.
            if (!Marquee()) PBar1->setValue(std::clamp(p, 0, 100));
            if (p == 100) active_ = false;
            if (percentMode_) L_TextLine2->setText(QString::number(p) + QLatin1Char('%'));
            callCount_ = 0;
            ProcessMessages();
        }
        if (callCount_ > 9) ProcessMessages();
    } else if (callCount_ % 4 == 0) {
        ProcessMessages();
    }
}

void TStatusWin::fbCancelClick(QObject*) {
    cancelled_ = true;
    if (OnCancel) OnCancel(this);
    hide();
}

void TStatusWin::showEvent(QShowEvent* event) {
    // Cancel can only be pressed while the window shows, so each showing
    // starts without a cancel request.
    cancelled_ = false;
    // Kept above the main window, as its tool window.
    if (QWidget* main = MainForm(); main && main->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(main->windowHandle());
    QWidget::showEvent(event);
}

void TStatusWin::setTextLine(int line, const QString& text) {
    switch (line) {
        case 1:
            SetText(text);
            break;
        case 2:
            L_TextLine2->setText(text);
            break;
        case 3:
            L_TextLine3->setText(text);
            break;
        default:
            break;
    }
}

void TStatusWin::startProgress(qint64 total) {
    StartProgress(total);
}
void TStatusWin::setProgress(qint64 position) {
    SetProgress(position);
}

void TStatusWin::showProgress() {
    show();
    raise();
}

// The caller hides the window when its operation ends, shown or not: a
// cancel request ends with that operation and must not stop the next one,
// which may finish before it ever shows the window.
void TStatusWin::hideProgress() {
    cancelled_ = false;
    hide();
}

}  // namespace tandex::ui
