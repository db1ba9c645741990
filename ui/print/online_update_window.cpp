#include "online_update_window.h"

#include "help_links.h"
#include "help_topics.h"

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"
#include "ui/main/rtf_reader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace tandex::print {

namespace {

// The main window's 48-pixel image list and the program's picture in it.
constexpr int kHeaderList = 48;
constexpr int kHeaderImage = 8;
// Header and bottom panel together: the history gets the rest of the
// window (330 of the default 500 pixels).
constexpr int kHeaderHeight = 80;
constexpr int kBottomHeight = 90;
constexpr int kWidth = 640;
constexpr int kMinHeight = 400;

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
}

QColor colourOfSet(quint32 value) {
    if ((value & 0xFF000000u) == config::kSysColorRefBase) value = config::SystemColor(int(value & 0xFF));
    return ui::ToQColor(value & 0xFFFFFFu);
}

}  // namespace

TF_UpdateWindow::TF_UpdateWindow(TF_Update& update, ui::TF_Main* main) : update_(update), main_(main) {
    setObjectName(QStringLiteral("F_Update"));
    setFixedWidth(config::ScaleDpi(kWidth));
    setMinimumHeight(config::ScaleDpi(kMinHeight));
    resize(config::ScaleDpi(kWidth), config::ScaleDpi(500));
    // Not placed yet: the first check takes the main window's default place.
    move(0, -1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    P_Header = new QWidget(this);
    P_Header->setObjectName(QStringLiteral("P_Header"));
    P_Header->setAutoFillBackground(true);
    P_Header->setFixedHeight(config::ScaleDpi(kHeaderHeight));
    auto* header = new QHBoxLayout(P_Header);
    header->setContentsMargins(config::ScaleDpi(12), config::ScaleDpi(8), config::ScaleDpi(12), config::ScaleDpi(8));
    header->setSpacing(config::ScaleDpi(14));
    I_Header = new QLabel(P_Header);
    I_Header->setObjectName(QStringLiteral("I_Header"));
    I_Header->setFixedSize(config::ScaleDpi(48), config::ScaleDpi(48));
    I_Header->setAlignment(Qt::AlignCenter);
    header->addWidget(I_Header, 0, Qt::AlignVCenter);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(config::ScaleDpi(4));
    L_Status1 = new QLabel(P_Header);
    L_Status1->setObjectName(QStringLiteral("L_Status1"));
    L_Status2 = new QLabel(P_Header);
    L_Status2->setObjectName(QStringLiteral("L_Status2"));
    for (QLabel* l : {L_Status1, L_Status2}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
    }
    QFont bold = L_Status1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() + 1.5);
    L_Status1->setFont(bold);
    lines->addStretch(1);
    lines->addWidget(L_Status1);
    lines->addWidget(L_Status2);
    lines->addStretch(1);
    header->addLayout(lines, 1);
    layout->addWidget(P_Header);

    reHistory = new QTextEdit(this);
    reHistory->setObjectName(QStringLiteral("reHistory"));
    reHistory->setReadOnly(true);
    reHistory->setUndoRedoEnabled(false);
    reHistory->setLineWrapMode(QTextEdit::WidgetWidth);
    reHistory->viewport()->setMouseTracking(true);
    reHistory->viewport()->installEventFilter(this);
    reHistory->viewport()->setCursor(Qt::ArrowCursor);
    auto* middle = new QVBoxLayout;
    middle->setContentsMargins(config::ScaleDpi(10), config::ScaleDpi(10), config::ScaleDpi(10), 0);
    middle->addWidget(reHistory);
    layout->addLayout(middle, 1);

    P_Bottom = new QWidget(this);
    P_Bottom->setObjectName(QStringLiteral("P_Bottom"));
    P_Bottom->setFixedHeight(config::ScaleDpi(kBottomHeight));
    P_Bottom->installEventFilter(this);
    layout->addWidget(P_Bottom);

    ProgressBar1 = new QProgressBar(P_Bottom);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    auto button = [&](const char* name) {
        auto* b = new ui::TFlatButton2(P_Bottom);
        b->setObjectName(QLatin1String(name));
        b->SetHeight(32);
        return b;
    };
    fbAction1 = button("fbAction1");
    fbAction1->SetWidth(200);
    fbAction2 = button("fbAction2");
    fbAction2->SetWidth(100);
    fbAction1->OnClick = [this](QObject*) { update_.fbAction1Click(); };
    fbAction2->OnClick = [this](QObject*) { update_.fbAction2Click(); };

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TF_UpdateWindow::Timer1Timer);

    update_.Window = this;
    ViewChanged(update_.View);
}

TF_UpdateWindow::~TF_UpdateWindow() {
    if (update_.Window == this) update_.Window = nullptr;
}

void TF_UpdateWindow::Prepare(int height) {
    QImage image;
    if (main_ && main_->loadBMPFunc(kHeaderList, kHeaderImage, image))
        I_Header->setPixmap(QPixmap::fromImage(image));
    resize(width(), qMax(minimumHeight(), height));

    const auto& s = config::AppSettings();
    const bool flat = config::FlatLook() != 0;
    setColour(this, QPalette::Window, flat ? QColor(Qt::white) : QColor(240, 240, 240));
    const int set = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
    const QColor head = colourOfSet(s.ColorSets[size_t(set)][config::TBEndCol]);
    setColour(P_Header, QPalette::Window, head);
    setColour(L_Status1, QPalette::WindowText, Qt::white);
    for (ui::TFlatButton2* b : {fbAction1, fbAction2}) {
        b->SetFlat(flat);
        b->SetFlatStyle(ui::FS_SHOWBORDER);
        if (flat) b->SetBgColorFlat(0xFFFFFF);
    }
}

void TF_UpdateWindow::ViewChanged(const TUpdateView& view) {
    setWindowTitle(view.Caption);
    L_Status1->setText(view.Status1);
    L_Status2->setText(view.Status2);
    // Red that stays readable on the header colour: pure red on a dark
    // header is barely seen.
    const QColor head = P_Header->palette().color(QPalette::Window);
    const QColor red = head.lightness() < 128 ? QColor(255, 170, 170) : QColor(192, 0, 0);
    setColour(L_Status2, QPalette::WindowText, view.Status2Error ? red : QColor(Qt::white));
    const std::pair<ui::TFlatButton2*, const TUpdateButtonView*> buttons[] = {{fbAction1, &view.Action1},
                                                                               {fbAction2, &view.Action2}};
    for (const auto& [button, state] : buttons) {
        if (button->Caption() != state->Caption) button->SetCaption(state->Caption);
        if (button->Enabled() != state->Enabled) button->SetEnabled(state->Enabled);
        button->setVisible(state->Visible);
    }
    ProgressBar1->setVisible(view.ProgressVisible);
    ProgressBar1->setValue(qBound(0, view.Progress, 100));
}

void TF_UpdateWindow::LoadHistory(const QByteArray& rtf) {
    if (rtf.isEmpty())
        reHistory->clear();
    else
        ui::ReadRtf(rtf, *reHistory->document(), HelpFontFamily);
    reHistory->viewport()->update();
}

void TF_UpdateWindow::MoveTo(const QPoint& position) {
    move(position);
}

void TF_UpdateWindow::SetVisible(bool visible) {
    // Only the offer is modal: while the check runs the main window stays
    // usable.
    if (visible) setWindowModality(Qt::NonModal);
    setVisible(visible);
}

void TF_UpdateWindow::ShowModal() {
    exec();
}

void TF_UpdateWindow::EndModal(int result) {
    done(result);
}

void TF_UpdateWindow::SetRepaintTimer(bool running) {
    if (running)
        Timer1->start();
    else
        Timer1->stop();
}

void TF_UpdateWindow::Timer1Timer() {
    Timer1->stop();
    reHistory->viewport()->update();
    HelpState().HoverSuspended = false;
}

void TF_UpdateWindow::reject() {
    if (update_.FormCloseQuery()) QDialog::reject();
}

void TF_UpdateWindow::done(int result) {
    update_.FormClose(height());
    QDialog::done(result);
}

void TF_UpdateWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    suspendHover();
}

void TF_UpdateWindow::placeBottom() {
    const int w = P_Bottom->width();
    const int top = (P_Bottom->height() - fbAction1->height()) / 2;
    const int gap = config::ScaleDpi(10);
    fbAction2->move(w - gap - fbAction2->width(), top);
    fbAction1->move(fbAction2->x() - gap - fbAction1->width(), top);
    const int barHeight = config::ScaleDpi(16);
    ProgressBar1->setGeometry(gap, (P_Bottom->height() - barHeight) / 2, qMax(0, fbAction1->x() - 2 * gap), barHeight);
}

bool TF_UpdateWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == P_Bottom && event->type() == QEvent::Resize) placeBottom();
    if (watched != reHistory->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        const QPoint at = e->position().toPoint();
        HelpLinkHover(reHistory, e->buttons(), at.x(), at.y());
        break;
    }
    case QEvent::MouseButtonRelease: {
        // Only addresses: the history is no help topic to move on from.
        if (HelpState().HoverLinkKind == lkAddress) {
            QString topic;
            HelpLinkClick(reHistory, static_cast<QMouseEvent*>(event)->button(), topic);
        }
        break;
    }
    case QEvent::Wheel:
        suspendHover();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TF_UpdateWindow::suspendHover() {
    HelpState().HoverSuspended = true;
    Timer1->start();
}

// ---- the main window's side ---------------------------------------------------

TUpdateServices::TUpdateServices(ui::TF_Main* main) : main_(main) {
    if (main_) F_Update().CloseMainWindow = [main] { return main->close(); };
}

TUpdateServices::~TUpdateServices() {
    if (main_) F_Update().CloseMainWindow = nullptr;
}

void TUpdateServices::AfterUpgrade(const QString& name, const QString& displayName) {
    F_Update().AfterUpgrade(name, displayName);
}

int TUpdateServices::CheckForUpdate(bool shown) {
    // Without a server there is nothing to ask.
    if (!CanCheck()) return usNothingToDo;
    if (!window_) window_ = std::make_unique<TF_UpdateWindow>(F_Update(), main_);
    const QPoint at = main_ ? main_->defaultFormPos(window_.get()) : window_->pos();
    return F_Update().CheckForUpdate(at, shown);
}

bool TUpdateServices::CanCheck() const {
    return !UpdateServerAddress().isEmpty();
}

bool TUpdateServices::UpdateFailed() const {
    return F_Update().UpdateFailed();
}

int TUpdateServices::State() const {
    return F_Update().UpdateState;
}

void TUpdateServices::RequestAbort() {
    F_Update().UpdateAbort = true;
}

}  // namespace tandex::print
