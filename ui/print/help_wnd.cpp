#include "help_wnd.h"

#include "help_links.h"
#include "help_topics.h"

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/prg_dir.h"
#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"
#include "ui/main/rtf_reader.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace tandex::print {

namespace {

// The 24-pixel image list and the buttons' pictures in it.
constexpr int kButtonList = 24;
constexpr int kPrevImage = 7;
constexpr int kNextImage = 6;
constexpr int kWelcomeImage = 30;

QString helpFilePath() {
    const QString& file = HelpState().HelpFile;
    return file.isEmpty() ? config::PrgDir().ProgramFolder + QLatin1String(kHelpFileName) : file;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
}

}  // namespace

TF_Help::TF_Help(ui::TF_Main* main) {
    setObjectName(QStringLiteral("F_Help"));
    setWindowTitle(QStringLiteral(" Tandex Help "));
    setMinimumSize(500, 300);
    resize(config::ScaleDpi(640), 680);
    // Closing the main window ends the program even while help is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    P_Title = new QWidget(this);
    P_Title->setObjectName(QStringLiteral("P_Title"));
    P_Title->setAutoFillBackground(true);
    P_Title->setFixedHeight(config::ScaleDpi(36));
    layout->addWidget(P_Title);

    L_Title = new QLabel(P_Title);
    L_Title->setObjectName(QStringLiteral("L_Title"));
    L_Title->setTextFormat(Qt::PlainText);
    QFont titleFont = L_Title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 2);
    L_Title->setFont(titleFont);

    auto button = [&](const char* name, const QString& caption, int image, int width) {
        auto* b = new ui::TFlatButton2(P_Title);
        b->setObjectName(QLatin1String(name));
        if (main)
            b->LoadBMPFunc = [main](int size, int index, QImage& bitmap) {
                return main->loadBMPFunc(size, index, bitmap);
            };
        b->SetListID(kButtonList);
        b->SetImageID(image);
        b->SetCaption(caption);
        b->SetWidth(width);
        b->SetHeight(28);
        return b;
    };
    fbPrev = button("fbPrev", QStringLiteral("Prev"), kPrevImage, 66);
    fbNext = button("fbNext", QStringLiteral("Next"), kNextImage, 66);
    fbHelp = button("fbHelp", QString(), kWelcomeImage, 32);
    fbHelp->setToolTip(QLatin1String(kWelcomeTopic));
    fbPrev->OnClick = [this](QObject*) { fbPrevClick(); };
    fbNext->OnClick = [this](QObject*) { fbNextClick(); };
    fbHelp->OnClick = [this](QObject*) { fbHelpClick(); };

    reHelp = new QTextEdit(this);
    reHelp->setObjectName(QStringLiteral("reHelp"));
    reHelp->setReadOnly(true);
    reHelp->setUndoRedoEnabled(false);
    reHelp->setLineWrapMode(QTextEdit::NoWrap);
    reHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    reHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    reHelp->viewport()->setMouseTracking(true);
    reHelp->viewport()->installEventFilter(this);
    reHelp->viewport()->setCursor(Qt::ArrowCursor);
    layout->addWidget(reHelp, 1);

    pmHelp = new QMenu(this);
    pmHelp->addAction(QStringLiteral("Copy"), this, &TF_Help::Copy1Click)->setObjectName(QStringLiteral("Copy1"));
    reHelp->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(reHelp, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmHelp->popup(reHelp->viewport()->mapToGlobal(at)); });

    timHover = new QTimer(this);
    timHover->setSingleShot(true);
    timHover->setInterval(100);
    connect(timHover, &QTimer::timeout, this, &TF_Help::timHoverTimer);
    // Last: the filter works on the controls made above.
    P_Title->installEventFilter(this);
}

TF_Help::~TF_Help() {
    if (HelpState().F_Help == this) HelpState().F_Help = nullptr;
}

void TF_Help::ShowTopic(const QString& requested) {
    THelpState& st = HelpState();
    QString topic = requested;
    while (topic.endsWith(QLatin1Char(' '))) topic.chop(1);
    QString anchor;
    if (const qsizetype arrow = topic.indexOf(QLatin1String(" => ")); arrow >= 0) {
        anchor = topic.mid(arrow + 4);
        if (!anchor.endsWith(QLatin1Char(':'))) anchor += QLatin1Char(':');
        topic.truncate(arrow);
    }
    st.CurrentTopic = topic;
    // A plain-text label shows "&" as it is; no doubling needed.
    L_Title->setText(topic);
    fbPrev->SetEnabled(!st.HelpBack.isEmpty());
    fbNext->SetEnabled(!st.HelpForward.isEmpty());

    st.HelpFileLabel = QStringLiteral("Help");
    QByteArray rtf;
    // A failed rendering leaves the text that was there.
    if (RenderHelpTopic(topic, QStringLiteral("Segoe UI"), helpFilePath(), rtf) == 0)
        ui::ReadRtf(rtf, *reHelp->document(), HelpFontFamily);

    show();
    raise();
    activateWindow();
    fbHelp->SetEnabled(L_Title->text() != QLatin1String(kWelcomeTopic));

    QTextDocument* doc = reHelp->document();
    QTextBlock target;
    if (!anchor.isEmpty())
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            if (b.text() == anchor) {
                target = b;
                break;
            }
    QTextCursor caret(doc);
    if (target.isValid()) {
        // From the end back up to the anchor, so that it ends up at the
        // top of the view rather than at its bottom.
        caret.setPosition(doc->lastBlock().position());
        reHelp->setTextCursor(caret);
        reHelp->ensureCursorVisible();
        caret.setPosition(target.position() + target.length() - 1);
        caret.setPosition(target.position(), QTextCursor::KeepAnchor);
        reHelp->setTextCursor(caret);
        reHelp->ensureCursorVisible();
    } else {
        reHelp->setTextCursor(caret);
        reHelp->verticalScrollBar()->setValue(0);
    }
    reHelp->horizontalScrollBar()->setValue(0);
    reHelp->viewport()->update();
    st.HoverLinkKind = lkNone;
    reHelp->viewport()->setCursor(Qt::ArrowCursor);
}

void TF_Help::ApplyTheme() {
    const auto& s = config::AppSettings();
    const bool flat = s.GSGUIStyle > 0;
    QColor panel(240, 240, 240);
    QColor title(Qt::black);
    if (flat) {
        const int set = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
        panel = ui::ToQColor(s.ColorSets[size_t(set)][config::TBEndCol]);
        title = Qt::white;
    }
    setColour(reHelp->viewport(), QPalette::Base, flat ? QColor(Qt::white) : QColor(255, 251, 240));
    setColour(reHelp, QPalette::Base, flat ? QColor(Qt::white) : QColor(255, 251, 240));
    setColour(P_Title, QPalette::Window, panel);
    setColour(L_Title, QPalette::WindowText, title);
    const ui::TColor panelBgr = ui::TColor(panel.red() | (panel.green() << 8) | (panel.blue() << 16));
    for (ui::TFlatButton2* b : {fbPrev, fbNext, fbHelp}) {
        if (flat) b->SetBgColorFlat(panelBgr);
        b->SetFlat(flat);
    }
    for (ui::TFlatButton2* b : {fbPrev, fbNext}) {
        setColour(b, QPalette::WindowText, title);
        // The face is drawn once per change; the caption colour is one.
        b->SetFont(b->Font());
    }
    fbHelp->update();
}

void TF_Help::Copy1Click() {
    const QString text = reHelp->textCursor().selection().toPlainText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TF_Help::fbPrevClick() {
    THelpState& st = HelpState();
    if (st.HelpBack.isEmpty()) return;
    st.HelpForward.append(st.CurrentTopic);
    ShowTopic(st.HelpBack.takeLast());
}

void TF_Help::fbNextClick() {
    THelpState& st = HelpState();
    if (st.HelpForward.isEmpty()) return;
    st.HelpBack.append(st.CurrentTopic);
    ShowTopic(st.HelpForward.takeLast());
}

void TF_Help::fbHelpClick() {
    THelpState& st = HelpState();
    if (st.CurrentTopic == QLatin1String(kWelcomeTopic)) return;
    st.HelpBack.append(st.CurrentTopic);
    st.HelpForward.clear();
    ShowTopic(QLatin1String(kWelcomeTopic));
}

void TF_Help::closeEvent(QCloseEvent* event) {
    auto& s = config::AppSettings();
    s.HFL = x();
    s.HFT = y();
    s.HFH = height();
    THelpState& st = HelpState();
    st.HelpBack.clear();
    if (st.F_Help == this) st.F_Help = nullptr;
    event->accept();
    deleteLater();
}

void TF_Help::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    suspendHover();
}

// The title panel gets its width from the window's layout after the
// window's own resize, so its children follow the panel's resize.
void TF_Help::placeTitle() {
    const int p = P_Title->width();
    const int top = (P_Title->height() - fbPrev->height()) / 2;
    L_Title->setGeometry(config::ScaleDpi(8), 0, qMax(0, p - config::ScaleDpi(195)), P_Title->height());
    fbHelp->move(p - config::ScaleDpi(40), top);
    fbNext->move(p - config::ScaleDpi(115), top);
    fbPrev->move(p - config::ScaleDpi(185), top);
}

bool TF_Help::eventFilter(QObject* watched, QEvent* event) {
    if (watched == P_Title && event->type() == QEvent::Resize) placeTitle();
    if (watched != reHelp->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        const QPoint at = e->position().toPoint();
        if (HelpLinkHover(reHelp, e->buttons(), at.x(), at.y())) P_Title->update();
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* e = static_cast<QMouseEvent*>(event);
        QString topic;
        HelpLinkClick(reHelp, e->button(), topic);
        if (!topic.isEmpty()) ShowTopic(topic);
        break;
    }
    case QEvent::Wheel:
    case QEvent::Resize:
        suspendHover();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TF_Help::suspendHover() {
    HelpState().HoverSuspended = true;
    timHover->start();
}

void TF_Help::timHoverTimer() {
    timHover->stop();
    reHelp->setCursorWidth(0);
    HelpState().HoverSuspended = false;
}

THelpWindowServices::~THelpWindowServices() {
    CloseHelp();
}

void THelpWindowServices::ShowHelpTopic(const QString& topic) {
    if (topic.isEmpty()) return;
    THelpState& st = HelpState();
    if (!st.F_Help) {
        // Owned by no parent: it deletes itself when closed, and CloseHelp
        // takes it down with the program.
        auto* window = new TF_Help(main_);
        auto& s = config::AppSettings();
        window->move(s.HFL, s.HFT);
        if (s.HFH > 0) window->resize(window->width(), s.HFH);
        if (s.HFT < 0 && main_) {
            const QPoint at = main_->defaultFormPos(window);
            s.HFL = at.x();
            s.HFT = at.y();
        }
        window->move(s.HFL, s.HFT);
        st.F_Help = window;
    }
    st.HelpForward.clear();
    st.F_Help->ApplyTheme();
    QString name = topic;
    name.replace(QLatin1String("&&"), QLatin1String("&"));
    st.F_Help->ShowTopic(name);
}

void THelpWindowServices::ApplyTheme() {
    if (TF_Help* window = HelpState().F_Help) window->ApplyTheme();
}

bool THelpWindowServices::CopyFocusedText() {
    TF_Help* window = HelpState().F_Help;
    if (!window || !window->reHelp->hasFocus()) return false;
    window->Copy1Click();
    return true;
}

void THelpWindowServices::CloseHelp() {
    if (TF_Help* window = HelpState().F_Help) {
        window->close();
        delete window;
    }
}

}  // namespace tandex::print
