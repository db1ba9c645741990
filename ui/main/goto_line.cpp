#include "goto_line.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "ui/main/form_layout.h"

namespace tandex::ui {

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kNormalText = 0x000000;

// A number of the given base, digits only: no sign, no blanks, no prefix.
bool ReadNumber(const QString& text, int base, qint64& value) {
    if (text.isEmpty()) return false;
    for (const QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const QChar lower = c.toLower();
        const bool hexLetter = lower >= QLatin1Char('a') && lower <= QLatin1Char('f');
        if (!digit && !(base == 16 && hexLetter)) return false;
    }
    bool ok = false;
    value = text.toLongLong(&ok, base);
    return ok;
}

QString HexText(qint64 value, int minDigits) {
    return QStringLiteral("%1").arg(value, minDigits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

int FindAddress(const QString& text, bool hex, int side, qint64& offset) {
    qint64 address = 0;
    if (!ReadNumber(text, hex ? 16 : 10, address)) return -2;
    const auto& rows = engine::rows();
    const auto& lines = engine::paneStores().BinaryLines[size_t(side == 2 ? 2 : 1)];
    // Rows ascend by offset, but gap rows (offset -1) break any search that
    // would rely on it, so the rows are walked from the end.
    for (int row = rows.BinaryRowCount - 1; row >= 0; --row) {
        const qint64 first = lines[rows.BinaryRowIndex(row)]->Offset;
        if (first >= 0 && first <= address) {
            offset = address - first;
            return row;
        }
    }
    return -1;
}

TGotoRange GotoRange(bool addressMode, bool hex, qint64 maximum) {
    return {addressMode ? QStringLiteral("0") : QStringLiteral("1"),
            hex ? HexText(maximum, 4) : QString::number(maximum)};
}

QString ConvertGotoText(const QString& text, bool toHex, const QString& lowest) {
    qint64 value = 0;
    if (!ReadNumber(text, toHex ? 10 : 16, value)) return lowest;
    return toHex ? HexText(value, 1) : QString::number(value);
}

int GotoTargetState(const QString& text, bool addressMode, bool hex, int side, qint64 maximum, qint64& offset) {
    if (text.isEmpty()) return 0;
    if (addressMode) {
        const int row = FindAddress(text, hex, side, offset);
        if (row < 0) return row;
        // Past the row's bytes: the address lies in a part the filter hides.
        if (offset >= config::AppSettings().BCHEXBytes) return -1;
        if (row == 0) return 1;
        qint64 address = 0;
        ReadNumber(text, hex ? 16 : 10, address);
        return address > maximum ? 0 : row;
    }
    qint64 line = 0;
    if (!ReadNumber(text, 10, line)) return -2;
    if (line > maximum) return 0;
    if (line < 1) return 0;
    return engine::rows().IsLineVisible(side, int(line)) ? int(line) : -1;
}

QString GotoStateMessage(int state, bool addressMode) {
    if (state == 0)
        return addressMode ? QStringLiteral("Address is out of range!") : QStringLiteral("Line number is out of range!");
    if (state == -1)
        return addressMode ? QStringLiteral("Address is not available in current filter!")
                           : QStringLiteral("Line number is not available in current filter!");
    return QStringLiteral("Invalid key! (valid keys: 0..9, a..f)");
}

TfGotoLine::TfGotoLine(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fGotoLine"));
    setWindowTitle(QStringLiteral(" Go to Line "));
    setFixedSize(config::ScaleDpi(300), config::ScaleDpi(206));

    lLineNo = MakeFormLabel(this, "lLineNo", ScaledRect(12, 14, 72, 17));
    lLineNo->setText(QStringLiteral("Line No:"));
    eLineNo = new QLineEdit(this);
    eLineNo->setObjectName(QStringLiteral("eLineNo"));
    eLineNo->setGeometry(ScaledRect(86, 11, 200, 22));
    eLineNo->setText(QStringLiteral("1"));
    eLineNo->installEventFilter(this);
    digitsOnly_ = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), eLineNo);
    connect(eLineNo, &QLineEdit::textChanged, this, [this] { eLineNoChange(); });
    L_Range = MakeFormLabel(this, "L_Range", ScaledRect(86, 36, 200, 17));
    L_Range->setText(QStringLiteral("Range: 1 .. 10000"));
    L_NotInView = MakeFormLabel(this, "L_NotInView", ScaledRect(12, 56, 276, 32), true);
    L_NotInView->setWordWrap(true);
    L_NotInView->setAlignment(Qt::AlignCenter);
    L_NotInView->setText(QStringLiteral("--"));
    SetLabelColor(L_NotInView, kRed);
    L_NotInView->hide();

    GB_Side = new QGroupBox(QStringLiteral(" Side: "), this);
    GB_Side->setObjectName(QStringLiteral("GB_Side"));
    GB_Side->setGeometry(ScaledRect(12, 92, 134, 64));
    rbGTL = new QRadioButton(QStringLiteral("Left"), GB_Side);
    rbGTL->setObjectName(QStringLiteral("rbGTL"));
    rbGTL->setGeometry(ScaledRect(10, 20, 116, 18));
    rbGTL->setChecked(true);
    rbGTR = new QRadioButton(QStringLiteral("Right"), GB_Side);
    rbGTR->setObjectName(QStringLiteral("rbGTR"));
    rbGTR->setGeometry(ScaledRect(10, 40, 116, 18));
    connect(rbGTL, &QRadioButton::toggled, this, [this](bool on) { if (on) rbGTLClick(); });
    connect(rbGTR, &QRadioButton::toggled, this, [this](bool on) { if (on) rbGTRClick(); });

    GB_Input = new QGroupBox(QStringLiteral(" Input format: "), this);
    GB_Input->setObjectName(QStringLiteral("GB_Input"));
    GB_Input->setGeometry(ScaledRect(154, 92, 134, 64));
    RB_Dec = new QRadioButton(QStringLiteral("Decimal"), GB_Input);
    RB_Dec->setObjectName(QStringLiteral("RB_Dec"));
    RB_Dec->setGeometry(ScaledRect(10, 20, 116, 18));
    RB_Dec->setChecked(true);
    RB_Hex = new QRadioButton(QStringLiteral("Hex"), GB_Input);
    RB_Hex->setObjectName(QStringLiteral("RB_Hex"));
    RB_Hex->setGeometry(ScaledRect(10, 40, 116, 18));
    // One handler for both: it runs for the button that became checked.
    connect(RB_Dec, &QRadioButton::toggled, this, [this](bool on) { if (on) RB_DecClick(); });
    connect(RB_Hex, &QRadioButton::toggled, this, [this](bool on) { if (on) RB_DecClick(); });

    pControl = new QWidget(this);
    pControl->setObjectName(QStringLiteral("pControl"));
    pControl->setGeometry(ScaledRect(0, 164, 300, 42));
    fbGoto = new TFlatButton2(pControl);
    fbGoto->setObjectName(QStringLiteral("fbGoto"));
    fbGoto->move(config::ScaleDpi(104), config::ScaleDpi(8));
    fbGoto->SetCaption(QStringLiteral("Go To"));
    fbGoto->SetModalResult(1);
    fbCancel = new TFlatButton2(pControl);
    fbCancel->setObjectName(QStringLiteral("fbCancel"));
    fbCancel->move(config::ScaleDpi(200), config::ScaleDpi(8));
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbCancel->SetModalResult(2);
    for (TFlatButton2* b : {fbGoto, fbCancel}) {
        b->SetWidth(88);
        b->SetHeight(27);
        b->SetFlatStyle(FS_SHOWBORDER);
    }
}

int TfGotoLine::SelectedSide() const {
    return rbGTL->isChecked() ? 1 : 2;
}

int TfGotoLine::FindAddress() {
    return ui::FindAddress(eLineNo->text(), RB_Hex->isChecked(), SelectedSide(), addressOffset_);
}

int TfGotoLine::Execute(QPoint position, qint64 leftMaximum, bool rightAllowed, qint64 rightMaximum) {
    converting_ = false;
    move(position);
    leftMaximum_ = leftMaximum;
    rightMaximum_ = rightMaximum;
    const bool flat = config::FlatLook() != 0;
    for (TFlatButton2* b : {fbGoto, fbCancel}) {
        b->SetFlat(flat);
        b->ResetSize();
    }
    rbGTR->setEnabled(rightAllowed);
    SetPanelColor(pControl, flat ? 0xF0F0F0 : 0xE0E0E0);

    const auto& s = config::AppSettings();
    addressMode_ = engine::paneStores().BinaryMode && s.BCOffsetAddr;
    GB_Input->setVisible(addressMode_);

    int start = engine::paneStores().FolderMode ? s.TEGotoDL : addressMode_ ? s.TEGotoBL : s.TEGotoTL;
    if (start < 0) {
        rbGTR->setChecked(true);
        start = -start;
    } else {
        rbGTL->setChecked(true);
    }

    // The last run's length limit must not cut the start value.
    eLineNo->setMaxLength(32767);
    if (addressMode_) {
        lLineNo->setText(QStringLiteral("Address:"));
        setWindowTitle(QStringLiteral(" Go to Byte Address "));
        if (lastUseNotAddress_ && RB_Dec->isChecked()) RB_Hex->setChecked(true);
        // Written in the format the dialog reads it in: decimal stays
        // checked after a decimal use in address mode.
        eLineNo->setText(RB_Hex->isChecked() ? HexText(start, 1) : QString::number(start));
    } else {
        lLineNo->setText(QStringLiteral("Line No:"));
        setWindowTitle(QStringLiteral(" Go to Line "));
        RB_Dec->setChecked(true);
        eLineNo->setText(QString::number(start));
    }
    if (rbGTL->isChecked())
        rbGTLClick();
    else
        rbGTRClick();
    converting_ = true;

    int result = -1;
    if (exec() == 1) {
        if (addressMode_)
            result = qMax(FindAddress(), -1) + 1;
        else
            result = eLineNo->text().toInt();
    }
    lastUseNotAddress_ = !addressMode_;
    return result;
}

void TfGotoLine::rbGTLClick() {
    maximum_ = leftMaximum_;
    refreshFormatKeepingText();
}

void TfGotoLine::rbGTRClick() {
    maximum_ = rightMaximum_;
    refreshFormatKeepingText();
}

void TfGotoLine::RB_DecClick() {
    refreshFormat();
}

void TfGotoLine::refreshFormatKeepingText() {
    const bool converting = converting_;
    converting_ = false;
    refreshFormat();
    converting_ = converting;
}

void TfGotoLine::refreshFormat() {
    const bool hex = RB_Hex->isChecked();
    const TGotoRange range = GotoRange(addressMode_, hex, maximum_);
    eLineNo->setValidator(hex ? nullptr : digitsOnly_);
    {
        // One change at the end: the conversion must not be validated half done.
        const QSignalBlocker block(eLineNo);
        eLineNo->setMaxLength(32767);
        if (converting_) eLineNo->setText(ConvertGotoText(eLineNo->text(), hex, range.lowest));
        eLineNo->setMaxLength(int(range.highest.size()));
    }
    L_Range->setText(QStringLiteral("Range: ") + range.lowest + QStringLiteral(" .. ") + range.highest);
    eLineNoChange();
}

void TfGotoLine::setEditColor(QLabel* label, bool red) {
    SetLabelColor(label, red ? kRed : kNormalText);
}

void TfGotoLine::setEditTextRed(bool red) {
    QPalette p = eLineNo->palette();
    p.setColor(QPalette::Text, ToQColor(red ? kRed : kNormalText));
    eLineNo->setPalette(p);
}

void TfGotoLine::eLineNoChange() {
    const bool hex = RB_Hex->isChecked();
    const int state = GotoTargetState(eLineNo->text(), addressMode_, hex, SelectedSide(), maximum_, addressOffset_);
    if (state > 0) {
        setEditColor(L_Range, false);
        fbGoto->SetEnabled(true);
        L_NotInView->hide();
        setEditTextRed(false);
        shownText_ = eLineNo->text();
        shownCursor_ = eLineNo->cursorPosition();
        return;
    }
    fbGoto->SetEnabled(false);
    setEditTextRed(true);
    L_NotInView->setText(GotoStateMessage(state, addressMode_));
    L_NotInView->show();
    setEditColor(L_Range, state != -1);
    if (state < -1) {
        // Take back the key that made the text unreadable; the message
        // stays until the next change.
        const QSignalBlocker block(eLineNo);
        eLineNo->setText(shownText_);
        eLineNo->setCursorPosition(qMin(shownCursor_, int(shownText_.size())));
        return;
    }
    shownText_ = eLineNo->text();
    shownCursor_ = eLineNo->cursorPosition();
}

void TfGotoLine::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    eLineNo->setFocus();
    eLineNo->selectAll();
}

bool TfGotoLine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == eLineNo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (fbGoto->Enabled()) done(1);
            return true;
        }
        if (key == Qt::Key_Escape) {
            done(2);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tandex::ui
