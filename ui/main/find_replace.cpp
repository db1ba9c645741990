#include "find_replace.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "config/app_settings.h"
#include "config/find_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "ui/main/form_layout.h"
#include "ui/main/window_helpers.h"

namespace tandex::ui {

namespace {

constexpr int kHistoryMaxIndex = config::kFindHistorySize - 1;
const QString kAbortedPrefix = QStringLiteral(" [Aborted]   ");

bool isWordChar(QChar c) { return c.isLetterOrNumber(); }

bool isWordStart(const QString& text, int i) {
    return isWordChar(text[i]) && (i == 0 || !isWordChar(text[i - 1]));
}

bool matchesAt(const QString& text, int at, const QString& pattern, bool matchCase) {
    for (int k = 0; k < pattern.size(); ++k) {
        const QChar a = text[at + k], b = pattern[k];
        if (matchCase ? a != b : a.toUpper() != b.toUpper()) return false;
    }
    return true;
}

void addHistory(QComboBox* box, const QString& text) {
    if (text.isEmpty() || box->count() > kHistoryMaxIndex) return;
    box->addItem(text);
}

QString historyItem(const QComboBox* box, int n) { return n >= 0 && n < box->count() ? box->itemText(n) : QString(); }

// Puts the box's text at the top of its history; an empty text is no entry.
void updateHistory(QComboBox* box) {
    if (!box->currentText().isEmpty()) UpdateComboHistory(box, kHistoryMaxIndex, false);
}

QComboBox* makeHistoryBox(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    box->setGeometry(geometry);
    return box;
}

QRadioButton* makeRadio(QGroupBox* box, const char* name, const QString& caption, const QRect& geometry) {
    auto* radio = new QRadioButton(caption, box);
    radio->setObjectName(QLatin1String(name));
    radio->setGeometry(geometry);
    return radio;
}

}  // namespace

int MatchFlagsFromOptions(int options) {
    int flags = 0;
    if (options & foDown) flags |= mfDown;
    if (options & foMatchCase) flags |= mfMatchCase;
    if (options & foWholeWord) flags |= mfWholeWord;
    return flags;
}

int MatchText(const QString& text, int start, const QString& pattern, int flags) {
    const int n = int(text.size()), m = int(pattern.size());
    if (m == 0 || m > n) return -1;
    const bool down = flags & mfDown, matchCase = flags & mfMatchCase, wholeWord = flags & mfWholeWord;
    int at = down ? std::max(start, 0) : std::min(start, n) - m;
    const int last = n - m;
    while (down ? at <= last : at >= 0) {
        if (at <= last && matchesAt(text, at, pattern, matchCase) && !(wholeWord && at + m < n && isWordChar(text[at + m])))
            return at;
        if (!wholeWord) {
            at += down ? 1 : -1;
            continue;
        }
        // The next candidate is the start of the next word in the search
        // direction; the first one was tried where it stood.
        do {
            at += down ? 1 : -1;
        } while (at >= 0 && at < n && !isWordStart(text, at));
    }
    return -1;
}

// ---- the window -------------------------------------------------------------

TfReplace::TfReplace(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("fReplace"));
    setWindowTitle(QStringLiteral(" Find "));
    // The options take the width up to the buttons, the two groups stand
    // below them: a group beside the options lay over their captions.
    setFixedSize(config::ScaleDpi(420), config::ScaleDpi(242));
    Beep = [] { QApplication::beep(); };

    lFind = MakeFormLabel(this, "lFind", ScaledRect(10, 14, 86, 17));
    lFind->setText(QStringLiteral("Find what:"));
    cbFind = makeHistoryBox(this, "cbFind", ScaledRect(100, 10, 310, 23));
    lReplace = MakeFormLabel(this, "lReplace", ScaledRect(10, 42, 86, 17));
    lReplace->setText(QStringLiteral("Replace with:"));
    cbReplace = makeHistoryBox(this, "cbReplace", ScaledRect(100, 38, 310, 23));

    cbWordOnly = new QCheckBox(QStringLiteral("Match whole word only"), this);
    cbWordOnly->setObjectName(QStringLiteral("cbWordOnly"));
    cbWordOnly->setGeometry(ScaledRect(10, 70, 280, 19));
    cbMatchCase = new QCheckBox(QStringLiteral("Match case"), this);
    cbMatchCase->setObjectName(QStringLiteral("cbMatchCase"));
    cbMatchCase->setGeometry(ScaledRect(10, 92, 280, 19));

    gbDir = new QGroupBox(QStringLiteral(" Direction: "), this);
    gbDir->setObjectName(QStringLiteral("gbDir"));
    gbDir->setGeometry(ScaledRect(10, 116, 120, 88));
    rbUp = makeRadio(gbDir, "rbUp", QStringLiteral("Up"), ScaledRect(10, 20, 100, 18));
    rbDown = makeRadio(gbDir, "rbDown", QStringLiteral("Down"), ScaledRect(10, 40, 100, 18));
    rbDown->setChecked(true);

    gbSide = new QGroupBox(QStringLiteral(" Find in: "), this);
    gbSide->setObjectName(QStringLiteral("gbSide"));
    gbSide->setGeometry(ScaledRect(140, 116, 150, 88));
    rbLeft = makeRadio(gbSide, "rbLeft", QStringLiteral("Left Pane"), ScaledRect(10, 20, 130, 18));
    rbRight = makeRadio(gbSide, "rbRight", QStringLiteral("Right Pane"), ScaledRect(10, 42, 130, 18));
    rbBoth = makeRadio(gbSide, "rbBoth", QStringLiteral("Both Panes"), ScaledRect(10, 64, 130, 18));
    rbLeft->setChecked(true);

    const std::pair<TFlatButton2**, const char*> buttons[] = {
        {&fbFind, "fbFind"}, {&fbReplace, "fbReplace"}, {&fbReplaceAll, "fbReplaceAll"}, {&fbClose, "fbClose"}};
    int y = 10;
    for (const auto& [button, name] : buttons) {
        *button = new TFlatButton2(this);
        (*button)->setObjectName(QLatin1String(name));
        (*button)->move(config::ScaleDpi(300), config::ScaleDpi(y + 60));
        (*button)->SetWidth(110);
        (*button)->SetHeight(24);
        y += 28;
    }
    fbFind->SetCaption(QStringLiteral("Find next"));
    fbClose->SetCaption(QStringLiteral("Close"));
    fbFind->OnClick = [this](QObject*) { sbFindClick(); };
    fbReplace->OnClick = [this](QObject*) { sbReplaceClick(); };
    fbReplaceAll->OnClick = [this](QObject*) { sbReplaceAllClick(); };
    fbClose->OnClick = [this](QObject*) { sbCloseClick(); };

    pStatus = MakeFormLabel(this, "pStatus", ScaledRect(0, 218, 420, 24));
    pStatus->setFrameShape(QFrame::Panel);
    pStatus->setFrameShadow(QFrame::Sunken);

    for (QComboBox* box : {cbFind, cbReplace}) {
        box->installEventFilter(this);
        if (box->lineEdit()) box->lineEdit()->installEventFilter(this);
    }
    FormCreate();
}

void TfReplace::FormCreate() {
    const auto& find = config::FindReplaceSettings();
    cbWordOnly->setChecked(find.WholeWord);
    cbMatchCase->setChecked(find.MatchCase);
    for (const QString& text : find.FindHistory) AddFindHistory(text);
    for (const QString& text : find.ReplaceHistory) AddReplaceHistory(text);
    const auto& s = config::AppSettings();
    // A top below 0 was never placed: the main window chooses the place.
    move(s.FFL, s.FFT);
    cbFind->setCurrentIndex(-1);
    cbFind->setEditText(QString());
    cbReplace->setCurrentIndex(cbReplace->count() > 0 ? 0 : -1);
}

void TfReplace::storeSettings() const {
    auto& find = config::FindReplaceSettings();
    find.WholeWord = cbWordOnly->isChecked();
    find.MatchCase = cbMatchCase->isChecked();
    find.FindHistory.clear();
    find.ReplaceHistory.clear();
    for (int i = 0; i < cbFind->count(); ++i)
        if (!cbFind->itemText(i).isEmpty()) find.FindHistory << cbFind->itemText(i);
    for (int i = 0; i < cbReplace->count(); ++i)
        if (!cbReplace->itemText(i).isEmpty()) find.ReplaceHistory << cbReplace->itemText(i);
    auto& s = config::AppSettings();
    s.FFL = x();
    s.FFT = y();
}

void TfReplace::show(bool replaceMode) {
    replaceAll_ = false;
    replaceMode_ = replaceMode;
    if (OnShow) OnShow();
    pStatus->clear();
    const bool flat = config::AppSettings().GSGUIStyle > 0;
    for (TFlatButton2* b : {fbFind, fbReplace, fbReplaceAll, fbClose}) {
        b->SetFlat(flat);
        b->ResetSize();
    }
    lReplace->setVisible(replaceMode);
    cbReplace->setVisible(replaceMode);
    fbReplaceAll->setVisible(replaceMode || engine::paneStores().FolderMode);
    rbBoth->setVisible(!replaceMode);
    // "Both Panes" cannot stay chosen where it is not offered.
    if (replaceMode && rbBoth->isChecked()) rbLeft->setChecked(true);
    setWindowTitle(replaceMode ? QStringLiteral(" Replace ") : QStringLiteral(" Find "));
    fbReplace->SetCaption(replaceMode ? QStringLiteral("Replace") : QStringLiteral("Count"));
    fbReplaceAll->SetCaption(replaceMode ? QStringLiteral("Replace all") : QStringLiteral("Find && select all"));
    gbSide->setTitle(replaceMode ? QStringLiteral(" Replace in: ") : QStringLiteral(" Find in: "));
    QWidget::show();
    raise();
    activateWindow();
    cbFind->setFocus();
}

QString TfReplace::getFindText() const { return cbFind->currentText(); }

void TfReplace::setFindText(const QString& text) {
    cbFind->setEditText(text.isEmpty() ? historyItem(cbFind, 0) : text);
}

QString TfReplace::getReplaceText() const { return cbReplace->currentText(); }

int TfReplace::getOptions() const {
    int options = 0;
    if (rbDown->isChecked()) options |= foDown;
    if (!replaceMode_) options |= foFindOnly;
    if (cbMatchCase->isChecked()) options |= foMatchCase;
    if (replaceAll_) options |= foAll;
    if (cbWordOnly->isChecked()) options |= foWholeWord;
    return options;
}

int TfReplace::getSide() const {
    if (rbRight->isChecked()) return 2;
    if (rbBoth->isChecked() && !replaceMode_) return 3;
    return 1;
}

void TfReplace::setSide(int side) {
    QRadioButton* radio = side == 2 ? rbRight : side == 3 ? rbBoth : rbLeft;
    radio->setChecked(true);
}

QString TfReplace::GetFindHistory(int n) const { return historyItem(cbFind, n); }
QString TfReplace::GetReplaceHistory(int n) const { return historyItem(cbReplace, n); }
void TfReplace::AddFindHistory(const QString& text) { addHistory(cbFind, text); }
void TfReplace::AddReplaceHistory(const QString& text) { addHistory(cbReplace, text); }

QString TfReplace::StatusText() const { return pStatus->text(); }

void TfReplace::notFound() {
    if (Beep) Beep();
    notFound_ = true;
    pStatus->setText(QStringLiteral(" Not Found!"));
}

QString TfReplace::occurrenceText() const {
    const QString text = (replaceMode_ ? QStringLiteral(" Replaced occurences: ") : QStringLiteral(" Found occurences: ")) +
                         QString::number(counter_);
    return aborted_ ? kAbortedPrefix + text : text;
}

void TfReplace::ShowProgress() {
    if (lastProgress_.isValid() && lastProgress_.elapsed() < ProgressIntervalMs) return;
    pStatus->setText(occurrenceText());
    config::eventPump().processEvents();
    lastProgress_.start();
}

// ---- buttons ----------------------------------------------------------------

void TfReplace::runAction(const QString& waitText, bool replaceHistory, bool all,
                          const std::function<void()>& action) {
    // Enter in a combo box may arrive while a search pumps events.
    if (searching_) return;
    aborted_ = false;
    counter_ = 0;
    setControlsEnabled(false);
    updateHistory(cbFind);
    if (replaceHistory) updateHistory(cbReplace);
    pStatus->setText(waitText);
    searching_ = true;
    lastProgress_.start();
    config::eventPump().processEvents();
    replaceAll_ = all;
    if (action) action();
    replaceAll_ = false;
    searching_ = false;
    showResult();
    setControlsEnabled(true);
}

void TfReplace::sbFindClick() { runAction(QStringLiteral(" Searching, please wait... "), false, false, OnFind); }

void TfReplace::sbReplaceClick() {
    runAction(replaceMode_ ? QStringLiteral(" Replacing, please wait... ") : QStringLiteral(" Counting, please wait... "),
              true, false, OnReplace);
}

void TfReplace::sbReplaceAllClick() {
    runAction(replaceMode_ ? QStringLiteral(" Replacing, please wait... ") : QStringLiteral(" Counting, please wait... "),
              true, true, OnReplace);
}

void TfReplace::sbCloseClick() {
    if (searching_) {
        aborted_ = true;
        return;
    }
    if (OnClose) OnClose();
    hide();
}

void TfReplace::setControlsEnabled(bool enabled) {
    for (TFlatButton2* b : {fbFind, fbReplace, fbReplaceAll}) b->SetEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{gbDir, gbSide, cbWordOnly, cbMatchCase, cbFind, cbReplace})
        w->setEnabled(enabled);
    fbClose->SetCaption(enabled ? QStringLiteral("Close") : QStringLiteral("Abort"));
    if (!enabled) notFound_ = false;
}

void TfReplace::showResult() {
    if (!notFound_) {
        pStatus->setText(occurrenceText());
    } else if (aborted_) {
        pStatus->setText(kAbortedPrefix + pStatus->text());
    }
    config::eventPump().processEvents();
}

// ---- keys -------------------------------------------------------------------

bool TfReplace::FormKeyDown(int key) {
    if (key == Qt::Key_Escape) {
        sbCloseClick();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        sbFindClick();
        return true;
    }
    return false;
}

void TfReplace::keyPressEvent(QKeyEvent* event) {
    if (FormKeyDown(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TfReplace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
    return QWidget::eventFilter(watched, event);
}

void TfReplace::closeEvent(QCloseEvent* event) {
    // The frame's close acts as the Close button, and never ends a search
    // that is still on the stack.
    event->ignore();
    sbCloseClick();
}

}  // namespace tandex::ui
