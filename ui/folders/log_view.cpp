#include "log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include "access/file_ops.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/run_logs.h"
#include "ui/main/form_layout.h"
#include "ui/main/rtf_reader.h"

namespace tandex::folders {

namespace {

constexpr int kHeadHeight = 50;
constexpr int kSearchLength = 255;
// Image 25 of the 16-pixel list: the program's logo.
constexpr int kLogoImage = 25;

QString grouped(int value) { return config::IntToGroupedStr(value, 0, true); }

}  // namespace

TfLogView::TfLogView(QWidget* parent, ui::TLoadBitmap loadBitmap)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      loadBitmap_(std::move(loadBitmap)) {
    setObjectName(QStringLiteral("fLogView"));
    setWindowTitle(QStringLiteral(" LogView"));

    P_Head = new QWidget(this);
    P_Head->setObjectName(QStringLiteral("P_Head"));
    fbTotal = makeButton("fbTotal", 4, 4, 160);
    fbSuccessful = makeButton("fbSuccessful", 168, 4, 160);
    fbSkipped = makeButton("fbSkipped", 4, 26, 160);
    fbErrors = makeButton("fbErrors", 168, 26, 160);
    QFont bold = fbErrors->Font();
    bold.setBold(true);
    fbErrors->SetFont(bold);
    fbFreeTextFilter = makeButton("fbFreeTextFilter", 340, 4, 120);
    fbFreeTextFilter->SetCaption(QStringLiteral("Free Text Filter:"));
    fbSuccessful->setProperty("Tag", 0);

    eSearch = new QLineEdit(P_Head);
    eSearch->setObjectName(QStringLiteral("eSearch"));
    lFreeTextCount = ui::MakeFormLabel(P_Head, "lFreeTextCount", ui::ScaledRect(344, 26, 200, 20));

    RE_LogView = new QTextEdit(this);
    RE_LogView->setObjectName(QStringLiteral("RE_LogView"));
    RE_LogView->setReadOnly(true);
    RE_LogView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RE_LogView->setLineWrapMode(QTextEdit::NoWrap);
    RE_LogView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RE_LogView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RE_LogView->document()->setUndoRedoEnabled(false);
    RE_LogView->installEventFilter(this);

    fbTotal->OnClick = [this](QObject*) { fbTotalClick(); };
    fbSuccessful->OnClick = [this](QObject*) { fbSuccessfulClick(); };
    fbSkipped->OnClick = [this](QObject*) { fbSkippedClick(); };
    fbErrors->OnClick = [this](QObject*) { fbErrorsClick(); };
    fbFreeTextFilter->OnClick = [this](QObject*) { fbFreeTextFilterClick(); };
    connect(eSearch, &QLineEdit::textChanged, this, &TfLogView::eSearchChange);
    // Enter runs the filter and goes no further.
    connect(eSearch, &QLineEdit::returnPressed, this, &TfLogView::fbFreeTextFilterClick);

    FormCreate();
}

ui::TFlatButton2* TfLogView::makeButton(const char* name, int x, int y, int width) {
    auto* button = new ui::TFlatButton2(P_Head);
    button->setObjectName(QLatin1String(name));
    button->move(config::ScaleDpi(x), config::ScaleDpi(y));
    button->SetWidth(width);
    button->SetHeight(20);
    button->SetFlatStyle(ui::FS_SHOWBORDER);
    return button;
}

void TfLogView::FormCreate() {
    const auto& s = config::AppSettings();
    resize(s.LFW, s.LFH);
    move(s.LFL, s.LFT);
    eSearch->setText(s.LFSearch);
    lFreeTextCount->clear();
    fbTotal->SetCaption(QStringLiteral("Total # of files: 0"));
    fbSuccessful->SetCaption(QStringLiteral("Successful: 0"));
    fbSkipped->SetCaption(QStringLiteral("Skipped files: 0"));
    fbErrors->SetCaption(QStringLiteral("Errors: 0"));
    ApplyTheme(false);
    for (ui::TFlatButton2* b : {fbTotal, fbSuccessful, fbSkipped, fbErrors, fbFreeTextFilter}) {
        b->ResetSize();
        b->SetFlat(config::FlatLook() != 0);
    }
}

void TfLogView::FormClose() {
    auto& s = config::AppSettings();
    s.LFH = height();
    s.LFW = width();
    s.LFL = x();
    s.LFT = y();
    s.LFSearch = eSearch->text().left(kSearchLength);
}

void TfLogView::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TfLogView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int head = config::ScaleDpi(kHeadHeight);
    P_Head->setGeometry(0, 0, width(), head);
    RE_LogView->setGeometry(0, head, width(), height() - head);
    // The search field takes what the row leaves.
    const int left = config::ScaleDpi(464);
    eSearch->setGeometry(left, config::ScaleDpi(4), qMax(config::ScaleDpi(60), width() - left - config::ScaleDpi(4)),
                         config::ScaleDpi(20));
}

bool TfLogView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == RE_LogView && event->type() == QEvent::KeyPress &&
        RE_LogViewKeyDown(*static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool TfLogView::RE_LogViewKeyDown(const QKeyEvent& key) {
    if (key.key() != Qt::Key_A || key.modifiers() != Qt::ControlModifier) return false;
    RE_LogView->selectAll();
    return true;
}

void TfLogView::ShowLog(int n, bool fromFilter) {
    const config::BusyCursor busy;
    CurrentLog = n;
    const QString path = LogFilePath(n);
    TLogCounts counts;
    LogResult = ReadLogCounts(path, counts);
    if (LogResult) {
        RE_LogView->document()->setPlainText(QStringLiteral("\n ==> Logfile: '") + path + QStringLiteral("' not found! <=="));
        setWindowTitle(QStringLiteral(" LogView "));
        counts = TLogCounts{};
    } else {
        QByteArray rtf;
        LogResult = ReadLogBytes(fromFilter ? LogFilterPath() : path, kLogViewMaxSize, rtf);
        // Filled apart from the view and handed over whole: a document
        // that the view lays out after every paragraph takes many times
        // longer to fill.
        auto* doc = new QTextDocument(RE_LogView);
        ui::ReadRtf(rtf, *doc, {}, kLogViewMaxSize);
        rtf = QByteArray();
        // The view frees only the document it made itself; the ones made
        // here go when the next one takes their place.
        QTextDocument* old = RE_LogView->document();
        const bool ours = old->parent() == RE_LogView;
        RE_LogView->setDocument(doc);
        if (ours) delete old;
        setWindowTitle(QStringLiteral(" LogView: ") + path + QLatin1Char(' '));
    }
    RE_LogView->moveCursor(QTextCursor::Start);

    fbTotal->SetCaption(QStringLiteral("Total # of files: ") + grouped(counts.total));
    fbSuccessful->SetCaption(QStringLiteral("Successful: ") + grouped(counts.successful));
    fbSuccessful->SetEnabled(counts.successful > 0);
    // Only when some entries were not successful has the filter anything
    // to take away.
    fbSuccessful->setProperty("Tag", counts.successful != counts.total ? 1 : 0);
    fbErrors->SetCaption(QStringLiteral("Errors: ") + grouped(counts.errors));
    fbErrors->SetEnabled(counts.errors > 0);
    fbSkipped->SetCaption(QStringLiteral("Skipped files: ") + grouped(counts.skipped()));
    fbSkipped->SetEnabled(counts.skipped() > 0);

    if (!isVisible()) {
        show();
        RE_LogView->setFocus();
    }
}

void TfLogView::FilterLog(int n, const QString& text, bool freeText) {
    int matches = 0;
    {
        const config::BusyCursor busy;
        LogResult = FilterLogFile(LogFilePath(n), LogFilterPath(), text, freeText, matches);
        // A log that cannot be read or filtered leaves the view as it was.
        if (!LogResult) ShowLog(n, true);
        access::FZDeletePath(LogFilterPath(), false);
    }
    lFreeTextCount->setText(freeText ? QString::number(matches) + QStringLiteral(" matches") : QString());
}

void TfLogView::ApplyTheme(bool flat) {
    QImage logo;
    if (loadBitmap_ && loadBitmap_(16, kLogoImage, logo) && !logo.isNull())
        setWindowIcon(QIcon(QPixmap::fromImage(logo)));
    const auto& s = config::AppSettings();
    const auto& set = s.ColorSets[size_t(qBound(0, s.COSetIdx, config::kColorSetCount - 1))];
    const ui::TColor face = set[config::TBEndCol];
    ui::SetPanelColor(P_Head, face);
    QPalette base = RE_LogView->palette();
    base.setColor(QPalette::Base, ui::ToQColor(set[config::TextBgCol]));
    RE_LogView->setPalette(base);
    const ui::TColor text = flat ? 0xFFFFFF : 0x000000;
    ui::SetLabelColor(lFreeTextCount, text);
    for (ui::TFlatButton2* b : {fbTotal, fbSuccessful, fbSkipped, fbErrors, fbFreeTextFilter}) {
        b->SetBgColor(face);
        b->SetBgColorFlat(face);
        QPalette p = b->palette();
        p.setColor(QPalette::WindowText, ui::ToQColor(text));
        b->setPalette(p);
        b->SetFlat(flat);
        // The face is drawn once per change; the caption colour is one.
        b->SetFont(b->Font());
    }
}

void TfLogView::CopyToClipboard() {
    const QString text = RE_LogView->textCursor().selection().toPlainText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TfLogView::fbTotalClick() {
    ShowLog(CurrentLog, false);
    lFreeTextCount->clear();
}

void TfLogView::fbSuccessfulClick() {
    if (fbSuccessful->property("Tag").toInt() == 1) FilterLog(CurrentLog, QStringLiteral(" OK!"), false);
}

void TfLogView::fbSkippedClick() { FilterLog(CurrentLog, QStringLiteral(" NOT processed! "), false); }

void TfLogView::fbErrorsClick() { FilterLog(CurrentLog, QStringLiteral(" ERROR: "), false); }

void TfLogView::fbFreeTextFilterClick() { FilterLog(CurrentLog, eSearch->text().left(kSearchLength), true); }

void TfLogView::eSearchChange() { lFreeTextCount->clear(); }

}  // namespace tandex::folders
