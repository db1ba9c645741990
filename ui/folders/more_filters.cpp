#include "ui/folders/more_filters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <limits>

#include "access/file_times.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/folder_compare.h"
#include "ui/main/form_layout.h"
#include "ui/main/print_seams.h"

namespace tandex::folders {

const QString kSizeWarningHint = QStringLiteral(
    " This filter setting will exclude all files!\r To avoid this, the smaller value must be less or equal than the "
    "larger value! ");
const QString kDaysWarningHint = QStringLiteral(
    " This filter setting will exclude all files!\r To avoid this, the older value must be higher or equal than "
    "newer value! ");
const QString kDatesWarningHint = QStringLiteral(
    " This filter setting will exclude all files!\r To avoid this, the older date must be older oe equal than newer "
    "date! ");

namespace {

using ui::named;

constexpr int kPanelWidth = 400;
constexpr int kPanelHeight = 486;
constexpr int kMaxDays = 150000;
constexpr int kWarningFrameMs = 300;
constexpr int kWarningList = 24;
constexpr int kWarningFirstImage = 34;
constexpr int kWarningFrames = 3;
constexpr int kTagSizeEdit = 1;
constexpr int kTagDayEdit = 2;

using ui::ScaledRect;

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const char* caption, const QRect& r) {
    auto* box = named(new QCheckBox(QLatin1String(caption), parent), name);
    box->setGeometry(r);
    return box;
}

QLineEdit* makeDigitsEdit(QWidget* parent, const char* name, int tag, const QRect& r) {
    auto* edit = named(new QLineEdit(QStringLiteral("0"), parent), name);
    edit->setProperty("Tag", tag);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setAlignment(Qt::AlignRight);
    edit->setGeometry(r);
    return edit;
}

QComboBox* makeUnits(QWidget* parent, const char* name, const QRect& r) {
    auto* box = named(new QComboBox(parent), name);
    box->addItems({QStringLiteral("Bytes"), QStringLiteral("KiB"), QStringLiteral("MiB"), QStringLiteral("GiB"),
                   QStringLiteral("TiB")});
    box->setGeometry(r);
    return box;
}

QString byteText(qint64 bytes) { return config::Int64ToGroupedStr(bytes, 0, true); }

// The edit's number; false when it is empty or too large for the setting.
bool readNumber(const QLineEdit* edit, int& value) {
    bool ok = false;
    value = edit->text().toInt(&ok);
    return ok;
}

QString daysAgoText(int days) {
    return access::FZFileTimeText(access::FileTime(config::FileTimeDaysAgoUtc(days)));
}

void setPickers(QDateEdit* date, QTimeEdit* time, qint64 fileTime) {
    const QDateTime at = fileTime == 0 ? QDateTime::currentDateTime()
                                       : access::FZFileTimeToDateTime(access::FileTime(fileTime)).toLocalTime();
    date->setDate(at.date());
    time->setTime(at.time());
}

}  // namespace

// ---- the filter value -------------------------------------------------------------

TMoreFilterValue TMoreFilterValue::FromSettings(const config::TAppSettings& s, const QString& excludedFolders) {
    TMoreFilterValue v;
    v.ExcludedFolders = excludedFolders;
    v.ExclSmaller = s.FCExclSmaller;
    v.ExclLarger = s.FCExclLarger;
    v.ExclOlder = s.FCExclOlder;
    v.ExclNewer = s.FCExclNewer;
    v.UseDaysAgo = s.FCUseDaysAgo;
    v.Smaller = s.FCSmaller;
    v.SmallerUnit = s.FCSmallerUnit;
    v.Larger = s.FCLarger;
    v.LargerUnit = s.FCLargerUnit;
    v.OlderDays = s.FCOlderDays;
    v.NewerDays = s.FCNewerDays;
    v.OlderTS = s.FCOlderTS;
    v.NewerTS = s.FCNewerTS;
    const int attributes[7] = {s.FCExclArchive, s.FCExclRdOnlyF, s.FCExclHiddenF, s.FCExclSystemF,
                               s.FCExclRdOnlyD, s.FCExclHiddenD, s.FCExclSystemD};
    std::copy(std::begin(attributes), std::end(attributes), v.Attributes);
    return v;
}

qint64 TMoreFilterValue::SmallerBytes() const { return FilterSizeBytes(Smaller, SmallerUnit); }
qint64 TMoreFilterValue::LargerBytes() const { return FilterSizeBytes(Larger, LargerUnit); }

bool TMoreFilterValue::SizeWarning() const { return ExclSmaller && ExclLarger && LargerBytes() < SmallerBytes(); }

bool TMoreFilterValue::DateWarning() const {
    if (!ExclOlder || !ExclNewer) return false;
    return UseDaysAgo ? OlderDays < NewerDays : NewerTS < OlderTS;
}

QString TMoreFilterValue::DateWarningHint() const { return UseDaysAgo ? kDaysWarningHint : kDatesWarningHint; }

bool TMoreFilterValue::HasActiveFilter() const {
    if (!ExcludedFolders.isEmpty() || ExclSmaller || ExclLarger || ExclOlder || ExclNewer) return true;
    return std::any_of(std::begin(Attributes), std::end(Attributes), [](int a) { return a != 0; });
}

QString TMoreFilterValue::SmallerText() const {
    return QStringLiteral("(< ") + byteText(SmallerBytes()) + QStringLiteral(" Bytes)");
}

QString TMoreFilterValue::LargerText() const {
    return QStringLiteral("(> ") + byteText(LargerBytes()) + QStringLiteral(" Bytes)");
}

qint64 LocalDateTimeToFileTimeUtc(const QDate& date, const QTime& time) {
    return qint64(access::FZDateTimeToFileTime(QDateTime(date, time)));
}

// ---- the panel --------------------------------------------------------------------

TF_CmpSettingsExt::TF_CmpSettingsExt(QWidget* owner, QComboBox* excludedFolders)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), owner_(owner) {
    setObjectName(QStringLiteral("F_CmpSettingsExt"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    resize(config::ScaleDpi(kPanelWidth), config::ScaleDpi(kPanelHeight));

    L_SettingsTit = ui::MakeFormLabel(this, "L_SettingsTit", ScaledRect(10, 6, 200, 18), true);
    L_SettingsTit->setText(QStringLiteral("More Filters"));
    fbHelp = named(new ui::TFlatButton2(this), "fbHelp");
    fbHelp->move(config::ScaleDpi(kPanelWidth - 30), config::ScaleDpi(4));
    fbHelp->SetWidth(20);
    fbHelp->SetHeight(20);
    fbHelp->SetCaption(QStringLiteral("?"));
    fbHelp->setToolTip(QStringLiteral(" Click to get help for 'More Filters' "));
    fbHelp->OnClick = [](QObject*) { ui::ShowHelpTopic(QStringLiteral("More Filters")); };

    GB_FolderFilter = named(new QGroupBox(QStringLiteral(" Folder exclude filter: "), this), "GB_FolderFilter");
    GB_FolderFilter->setGeometry(ScaledRect(6, 28, kPanelWidth - 12, 74));
    Label1 = ui::MakeFormLabel(GB_FolderFilter, "Label1", ScaledRect(8, 20, kPanelWidth - 28, 16));
    Label1->setText(QStringLiteral("Exclude all folders that match the following filter:"));
    CB_FCExclFolders = excludedFolders;
    CB_FCExclFolders->setParent(GB_FolderFilter);
    CB_FCExclFolders->setGeometry(ScaledRect(8, 40, kPanelWidth - 28, 24));
    CB_FCExclFolders->setMaxVisibleItems(21);
    CB_FCExclFolders->setToolTip(QStringLiteral(
        " You can enter up to 20 filter patterns, separated by semicolon (e.g.: Temp;test*;dummy*) "));
    CB_FCExclFolders->show();

    GB_SizeFilter = named(new QGroupBox(QStringLiteral(" Size exclude filter: "), this), "GB_SizeFilter");
    GB_SizeFilter->setGeometry(ScaledRect(6, 108, kPanelWidth - 12, 100));
    CB_FCExclSmaller = makeCheckBox(GB_SizeFilter, "CB_FCExclSmaller", "Exclude files smaller than:",
                                    ScaledRect(8, 20, 196, 22));
    E_SmallerSize = makeDigitsEdit(GB_SizeFilter, "E_SmallerSize", kTagSizeEdit, ScaledRect(206, 20, 84, 22));
    UD_Smaller = makeUpDown(GB_SizeFilter, "UD_Smaller", E_SmallerSize, 290, 20);
    CB_SmallerUnits = makeUnits(GB_SizeFilter, "CB_SmallerUnits", ScaledRect(310, 20, 70, 22));
    L_SmalerSize = ui::MakeFormLabel(GB_SizeFilter, "L_SmalerSize", ScaledRect(28, 42, 300, 16));
    CB_FCExclLarger = makeCheckBox(GB_SizeFilter, "CB_FCExclLarger", "Exclude files larger than:",
                                   ScaledRect(8, 58, 196, 22));
    E_LargerSize = makeDigitsEdit(GB_SizeFilter, "E_LargerSize", kTagSizeEdit, ScaledRect(206, 58, 84, 22));
    UD_Larger = makeUpDown(GB_SizeFilter, "UD_Larger", E_LargerSize, 290, 58);
    CB_LargerUnits = makeUnits(GB_SizeFilter, "CB_LargerUnits", ScaledRect(310, 58, 70, 22));
    L_LargerSize = ui::MakeFormLabel(GB_SizeFilter, "L_LargerSize", ScaledRect(28, 80, 300, 16));
    I_SizeWarning = ui::MakeFormLabel(GB_SizeFilter, "I_SizeWarning", ScaledRect(kPanelWidth - 40, 0, 20, 20));

    GB_DateFilter = named(new QGroupBox(QStringLiteral(" Date exclude filter: "), this), "GB_DateFilter");
    GB_DateFilter->setGeometry(ScaledRect(6, 214, kPanelWidth - 12, 100));
    CB_FCUseDaysAgo = makeCheckBox(GB_DateFilter, "CB_FCUseDaysAgo", "Use days ago", ScaledRect(8, 18, 170, 20));
    CB_FCExclOlder =
        makeCheckBox(GB_DateFilter, "CB_FCExclOlder", "Exclude files older than:", ScaledRect(8, 42, 186, 22));
    E_FCOlderDays = makeDigitsEdit(GB_DateFilter, "E_FCOlderDays", kTagDayEdit, ScaledRect(196, 42, 60, 22));
    UD_Older = makeUpDown(GB_DateFilter, "UD_Older", E_FCOlderDays, 256, 42);
    L_ODays = ui::MakeFormLabel(GB_DateFilter, "L_ODays", ScaledRect(8, 0, 10, 16));
    L_ODays->setGeometry(ScaledRect(276, 45, 110, 16));
    CB_FCExclNewer =
        makeCheckBox(GB_DateFilter, "CB_FCExclNewer", "Exclude files newer than:", ScaledRect(8, 70, 186, 22));
    E_FCNewerDays = makeDigitsEdit(GB_DateFilter, "E_FCNewerDays", kTagDayEdit, ScaledRect(196, 70, 60, 22));
    UD_Newer = makeUpDown(GB_DateFilter, "UD_Newer", E_FCNewerDays, 256, 70);
    L_NDays = ui::MakeFormLabel(GB_DateFilter, "L_NDays", ScaledRect(276, 73, 110, 16));
    const QString longDate = QLocale().dateFormat(QLocale::LongFormat);
    auto makeDate = [&](const char* name, int y) {
        auto* d = named(new QDateEdit(GB_DateFilter), name);
        d->setDisplayFormat(longDate);
        d->setCalendarPopup(true);
        d->setGeometry(ScaledRect(196, y, 110, 22));
        return d;
    };
    auto makeTime = [&](const char* name, int y) {
        auto* t = named(new QTimeEdit(GB_DateFilter), name);
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        t->setGeometry(ScaledRect(308, y, 76, 22));
        return t;
    };
    // The pickers sit on the rows of the day edits and cover them in date
    // mode.
    dFCOlderTS = makeDate("dFCOlderTS", 42);
    tFCOlderTS = makeTime("tFCOlderTS", 42);
    dFCNewerTS = makeDate("dFCNewerTS", 70);
    tFCNewerTS = makeTime("tFCNewerTS", 70);
    I_DaysWarning = ui::MakeFormLabel(GB_DateFilter, "I_DaysWarning", ScaledRect(kPanelWidth - 40, 0, 20, 20));

    GB_AttributeFilter =
        named(new QGroupBox(QStringLiteral(" Attribute exclude filter: "), this), "GB_AttributeFilter");
    GB_AttributeFilter->setGeometry(ScaledRect(6, 320, kPanelWidth - 12, 160));
    auto* filesLabel = ui::MakeFormLabel(GB_AttributeFilter, "L_FileAttr", ScaledRect(130, 20, 128, 16));
    filesLabel->setText(QStringLiteral("File attributes:"));
    auto* foldersLabel = ui::MakeFormLabel(GB_AttributeFilter, "L_FolderAttr", ScaledRect(270, 20, 120, 16));
    foldersLabel->setText(QStringLiteral("Folder attributes:"));
    const char* rowCaptions[3] = {"Ignore:", "Exclude if set:", "Exclude if not set:"};
    for (int r = 0; r < 3; ++r) {
        auto* l = ui::MakeFormLabel(GB_AttributeFilter, "L_AttrRow", ScaledRect(8, 70 + r * 26, 120, 16));
        l->setText(QLatin1String(rowCaptions[r]));
    }
    const struct {
        const char* code;
        const char* caption;
        const char* hint;
    } groups[7] = {{"FA", " A", " Archive "},   {"FR", " R", " Read-only "}, {"FH", " H", " Hidden "},
                   {"FS", " S", " System "},    {"DR", " R", " Read-only "}, {"DH", " H", " Hidden "},
                   {"DS", " S", " System "}};
    for (int g = 0; g < 7; ++g) {
        const int x = 130 + g * 32 + (g >= 4 ? 12 : 0);
        auto* box = new QGroupBox(QLatin1String(groups[g].caption), GB_AttributeFilter);
        box->setObjectName(QStringLiteral("GB_") + QLatin1String(groups[g].code));
        box->setToolTip(QLatin1String(groups[g].hint));
        box->setGeometry(ScaledRect(x, 38, 30, 116));
        for (int c = 0; c < 3; ++c) {
            auto* rb = new QRadioButton(box);
            rb->setObjectName(QStringLiteral("RB_") + QLatin1Char("ISN"[c]) + QLatin1String(groups[g].code));
            rb->setGeometry(ScaledRect(7, 30 + c * 26, 20, 20));
            AttrRadios[g][c] = rb;
            connect(rb, &QRadioButton::toggled, this, [this](bool on) {
                if (on) NotifyChange();
            });
        }
        AttrRadios[g][0]->setChecked(true);
    }

    timCancelSlide = named(new QTimer(this), "timCancelSlide");
    timCancelSlide->setSingleShot(true);
    timCancelSlide->setInterval(50);
    timCancelSlide->setProperty("Tag", 0);
    connect(timCancelSlide, &QTimer::timeout, this, &TF_CmpSettingsExt::timCancelSlideTimer);
    warningTimer_ = new QTimer(this);
    warningTimer_->setInterval(kWarningFrameMs);
    connect(warningTimer_, &QTimer::timeout, this, &TF_CmpSettingsExt::nextWarningFrame);
    for (QLabel* picture : {I_SizeWarning, I_DaysWarning}) picture->hide();

    for (QLineEdit* edit : {E_SmallerSize, E_LargerSize, E_FCOlderDays, E_FCNewerDays})
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { PerformChange(edit); });
    for (QComboBox* units : {CB_SmallerUnits, CB_LargerUnits})
        connect(units, &QComboBox::currentIndexChanged, this, &TF_CmpSettingsExt::NotifyChange);
    for (QDateEdit* d : {dFCOlderTS, dFCNewerTS})
        connect(d, &QDateEdit::dateChanged, this, &TF_CmpSettingsExt::NotifyChange);
    for (QTimeEdit* t : {tFCOlderTS, tFCNewerTS})
        connect(t, &QTimeEdit::timeChanged, this, &TF_CmpSettingsExt::NotifyChange);
    for (QCheckBox* box : {CB_FCExclSmaller, CB_FCExclLarger, CB_FCExclOlder, CB_FCExclNewer})
        connect(box, &QCheckBox::toggled, this, [this] {
            RefreshEnabledStates();
            NotifyChange();
        });
    connect(CB_FCUseDaysAgo, &QCheckBox::toggled, this, &TF_CmpSettingsExt::CB_FCUseDaysAgoClick);
    // Typed or picked by the user; the window sets the text for sessions.
    connect(CB_FCExclFolders->lineEdit(), &QLineEdit::textEdited, this, &TF_CmpSettingsExt::NotifyChange);
    connect(CB_FCExclFolders, &QComboBox::activated, this, &TF_CmpSettingsExt::NotifyChange);

    for (QLabel* l : {L_SmalerSize, L_LargerSize, L_ODays, L_NDays}) l->clear();
    RefreshEnabledStates();
    ShowDaysMode(false);
    hide();
}

QWidget* TF_CmpSettingsExt::makeUpDown(QWidget* parent, const char* name, QLineEdit* edit, int x, int y) {
    auto* box = named(new QWidget(parent), name);
    box->setGeometry(ScaledRect(x, y, 16, 22));
    for (int i = 0; i < 2; ++i) {
        auto* b = new QToolButton(box);
        b->setArrowType(i == 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setObjectName(i == 0 ? QStringLiteral("Up") : QStringLiteral("Down"));
        b->setGeometry(ScaledRect(0, i * 11, 16, 11));
        b->setAutoRepeat(true);
        connect(b, &QToolButton::clicked, this, [this, edit, i] { StepNumberEdit(edit, i == 0 ? 1 : -1); });
    }
    return box;
}

// ---- change handling --------------------------------------------------------------

void TF_CmpSettingsExt::PerformChange(QLineEdit* edit) {
    const int tag = edit->property("Tag").toInt();
    if ((tag == kTagSizeEdit || tag == kTagDayEdit) && edit->text().isEmpty()) return;
    // A corrected text comes back here through its own change.
    if (tag == kTagDayEdit && StepNumberEdit(edit, 0)) return;
    NotifyChange();
}

bool TF_CmpSettingsExt::StepNumberEdit(QLineEdit* edit, int delta) {
    // Digits only: a text too long for 64 bits still reads as "too large".
    bool ok = false;
    qint64 value = edit->text().toLongLong(&ok);
    if (edit->text().isEmpty()) value = 0;
    else if (!ok) value = std::numeric_limits<qint64>::max() - 1;
    value = std::max<qint64>(value + delta, 0);
    if (edit->property("Tag").toInt() == kTagDayEdit) value = std::min<qint64>(value, kMaxDays);
    const QString text = QString::number(value);
    if (text == edit->text()) return false;
    edit->setText(text);
    return true;
}

void TF_CmpSettingsExt::NotifyChange() {
    if (!notifyEnabled_ || !OnFiltersChanged) return;
    if (ApplyControls()) OnFiltersChanged(QString());
}

void TF_CmpSettingsExt::RefreshEnabledStates() {
    const bool smaller = CB_FCExclSmaller->isChecked(), larger = CB_FCExclLarger->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(E_SmallerSize), UD_Smaller, static_cast<QWidget*>(L_SmalerSize),
                       static_cast<QWidget*>(CB_SmallerUnits)})
        w->setEnabled(smaller);
    for (QWidget* w : {static_cast<QWidget*>(E_LargerSize), UD_Larger, static_cast<QWidget*>(L_LargerSize),
                       static_cast<QWidget*>(CB_LargerUnits)})
        w->setEnabled(larger);
    const bool older = CB_FCExclOlder->isChecked(), newer = CB_FCExclNewer->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(E_FCOlderDays), UD_Older, static_cast<QWidget*>(L_ODays),
                       static_cast<QWidget*>(dFCOlderTS), static_cast<QWidget*>(tFCOlderTS)})
        w->setEnabled(older);
    for (QWidget* w : {static_cast<QWidget*>(E_FCNewerDays), UD_Newer, static_cast<QWidget*>(L_NDays),
                       static_cast<QWidget*>(dFCNewerTS), static_cast<QWidget*>(tFCNewerTS)})
        w->setEnabled(newer);
}

void TF_CmpSettingsExt::CB_FCUseDaysAgoClick() {
    ShowDaysMode(CB_FCUseDaysAgo->isChecked());
    if (CB_FCExclOlder->isChecked() || CB_FCExclNewer->isChecked()) NotifyChange();
}

void TF_CmpSettingsExt::ShowDaysMode(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(dFCOlderTS), static_cast<QWidget*>(tFCOlderTS),
                       static_cast<QWidget*>(dFCNewerTS), static_cast<QWidget*>(tFCNewerTS)})
        w->setVisible(!on);
    for (QWidget* w : {static_cast<QWidget*>(E_FCOlderDays), UD_Older, static_cast<QWidget*>(L_ODays),
                       static_cast<QWidget*>(E_FCNewerDays), UD_Newer, static_cast<QWidget*>(L_NDays)})
        w->setVisible(on);
}

int TF_CmpSettingsExt::AttrRadioChoice(int group) const {
    for (int c = 0; c < 3; ++c)
        if (AttrRadios[group][c]->isChecked()) return c;
    return 0;
}

void TF_CmpSettingsExt::SetAttrRadios(int group, int choice) {
    AttrRadios[group][std::clamp(choice, 0, 2)]->setChecked(true);
}

// ---- settings ---------------------------------------------------------------------

void TF_CmpSettingsExt::LoadControls() {
    notifyEnabled_ = false;
    const config::TAppSettings& s = config::AppSettings();
    CB_FCExclSmaller->setChecked(s.FCExclSmaller);
    CB_FCExclLarger->setChecked(s.FCExclLarger);
    E_SmallerSize->setText(QString::number(s.FCSmaller));
    E_LargerSize->setText(QString::number(s.FCLarger));
    CB_SmallerUnits->setCurrentIndex(std::clamp(s.FCSmallerUnit, 0, 4));
    CB_LargerUnits->setCurrentIndex(std::clamp(s.FCLargerUnit, 0, 4));
    const TMoreFilterValue v = TMoreFilterValue::FromSettings(s, QString());
    for (int g = 0; g < 7; ++g) SetAttrRadios(g, v.Attributes[g]);
    CB_FCExclOlder->setChecked(s.FCExclOlder);
    CB_FCExclNewer->setChecked(s.FCExclNewer);
    CB_FCUseDaysAgo->setChecked(s.FCUseDaysAgo);
    ShowDaysMode(s.FCUseDaysAgo);
    E_FCOlderDays->setText(QString::number(s.FCOlderDays));
    E_FCNewerDays->setText(QString::number(s.FCNewerDays));
    setPickers(dFCOlderTS, tFCOlderTS, s.FCOlderTS);
    setPickers(dFCNewerTS, tFCNewerTS, s.FCNewerTS);
    RefreshEnabledStates();
    notifyEnabled_ = true;
}

bool TF_CmpSettingsExt::ApplyControls() {
    config::TAppSettings& s = config::AppSettings();
    s.FCExclSmaller = CB_FCExclSmaller->isChecked();
    s.FCExclLarger = CB_FCExclLarger->isChecked();
    int number = 0;
    if (!readNumber(E_SmallerSize, number)) return false;
    s.FCSmaller = number;
    if (!readNumber(E_LargerSize, number)) return false;
    s.FCLarger = number;
    s.FCSmallerUnit = CB_SmallerUnits->currentIndex();
    s.FCLargerUnit = CB_LargerUnits->currentIndex();
    int* const attributes[7] = {&s.FCExclArchive, &s.FCExclRdOnlyF, &s.FCExclHiddenF, &s.FCExclSystemF,
                                &s.FCExclRdOnlyD, &s.FCExclHiddenD, &s.FCExclSystemD};
    for (int g = 0; g < 7; ++g) *attributes[g] = AttrRadioChoice(g);
    s.FCExclOlder = CB_FCExclOlder->isChecked();
    s.FCExclNewer = CB_FCExclNewer->isChecked();
    s.FCUseDaysAgo = CB_FCUseDaysAgo->isChecked();
    if (s.FCUseDaysAgo) {
        if (s.FCExclOlder) {
            if (!readNumber(E_FCOlderDays, number)) return false;
            s.FCOlderDays = number;
        }
        if (s.FCExclNewer) {
            if (!readNumber(E_FCNewerDays, number)) return false;
            s.FCNewerDays = number;
        }
    } else {
        if (s.FCExclOlder) s.FCOlderTS = LocalDateTimeToFileTimeUtc(dFCOlderTS->date(), tFCOlderTS->time());
        if (s.FCExclNewer) s.FCNewerTS = LocalDateTimeToFileTimeUtc(dFCNewerTS->date(), tFCNewerTS->time());
    }
    ShowFilterInfo();
    return true;
}

bool TF_CmpSettingsExt::ShowFilterInfo() {
    const config::TAppSettings& s = config::AppSettings();
    const TMoreFilterValue v = TMoreFilterValue::FromSettings(s, CB_FCExclFolders->currentText());
    if (CB_FCExclSmaller->isChecked()) L_SmalerSize->setText(v.SmallerText());
    if (CB_FCExclLarger->isChecked()) L_LargerSize->setText(v.LargerText());
    const bool sizeWarning = CB_FCExclSmaller->isChecked() && CB_FCExclLarger->isChecked() && v.SizeWarning();
    setWarning(I_SizeWarning, GB_SizeFilter, sizeWarning, kSizeWarningHint);
    const bool dateWarning = CB_FCExclOlder->isChecked() && CB_FCExclNewer->isChecked() && v.DateWarning();
    setWarning(I_DaysWarning, GB_DateFilter, dateWarning, v.DateWarningHint());
    if (CB_FCExclOlder->isChecked())
        L_ODays->setText(QStringLiteral("days ago  (< ") + daysAgoText(s.FCOlderDays) + QStringLiteral(")"));
    if (CB_FCExclNewer->isChecked())
        L_NDays->setText(QStringLiteral("days ago  (> ") + daysAgoText(s.FCNewerDays) + QStringLiteral(")"));
    warningFrame_ = 0;
    nextWarningFrame();
    if (sizeWarning || dateWarning)
        warningTimer_->start();
    else
        warningTimer_->stop();
    return !sizeWarning && !dateWarning;
}

void TF_CmpSettingsExt::setWarning(QLabel* picture, QGroupBox* group, bool on, const QString& hint) {
    picture->setVisible(on);
    group->setToolTip(on ? hint : QString());
}

void TF_CmpSettingsExt::nextWarningFrame() {
    const int px = config::ScaleDpi(20);
    const int frame = warningFrame_++ % kWarningFrames;
    QImage image;
    QPixmap sign;
    if (LoadBMPFunc && LoadBMPFunc(kWarningList, kWarningFirstImage + frame, image))
        sign = QPixmap::fromImage(image.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        // Without the program's pictures (a window of its own) the
        // platform's sign stands in, unanimated.
        sign = style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(px, px);
    for (QLabel* picture : {I_SizeWarning, I_DaysWarning}) picture->setPixmap(sign);
}

bool TF_CmpSettingsExt::HasActiveFilter() const {
    TMoreFilterValue v;
    v.ExcludedFolders = CB_FCExclFolders->currentText();
    v.ExclSmaller = CB_FCExclSmaller->isChecked();
    v.ExclLarger = CB_FCExclLarger->isChecked();
    v.ExclOlder = CB_FCExclOlder->isChecked();
    v.ExclNewer = CB_FCExclNewer->isChecked();
    for (int g = 0; g < 7; ++g) v.Attributes[g] = AttrRadioChoice(g);
    return v.HasActiveFilter();
}

// ---- sliding ----------------------------------------------------------------------

int TF_CmpSettingsExt::DockedLeft() const {
    const QRect frame = owner_->frameGeometry();
    const int border = (frame.width() - owner_->width()) / 2;
    return frame.x() + frame.width() - 2 * border - 1;
}

int TF_CmpSettingsExt::DockedTop() const { return owner_->geometry().y() + 2; }

void TF_CmpSettingsExt::SlideTo(bool right, int target, int frameMicroseconds, int step, const bool& active) {
    config::MarkTsc();
    while (!slideCancel_ && active && (right ? x() < target : x() > target)) {
        move(x() + (right ? step : -step), y());
        repaint();
        config::eventPump().processEvents();
        if (config::WaitMicrosecondsSinceMark(frameMicroseconds))
            step = std::max(step - 1, 2);
        else
            ++step;
    }
}

void TF_CmpSettingsExt::SlideIn() {
    if (!slidingIn_) {
        const int target = DockedLeft();
        if (slidingOut_) {
            slidingOut_ = false;
            timCancelSlide->setProperty("Tag", 1);
            timCancelSlide->start();
            return;
        }
        notifyEnabled_ = false;
        RefreshEnabledStates();
        if (x() < target - width() || x() > target || !isVisible()) move(target - width(), y());
        fbHelp->SetFlat(config::FlatLook() != 0);
        show();
        shown_ = true;
        LoadControls();
        slideCancel_ = false;
        slidingIn_ = true;
        SlideTo(true, target + 20, 1250, 2, slidingIn_);
        if (slidingIn_) owner_->activateWindow();
        SlideTo(false, target, 5000, 2, slidingIn_);
        if (!slideCancel_ && slidingIn_) move(target, y());
        slidingIn_ = false;
    }
    ShowFilterInfo();
    notifyEnabled_ = true;
}

void TF_CmpSettingsExt::SlideOut(bool atOnce) {
    if (!isVisible()) {
        notifyEnabled_ = false;
        return;
    }
    if (slidingIn_) {
        slidingIn_ = false;
        pendingAtOnce_ = atOnce;
        timCancelSlide->setProperty("Tag", 2);
        timCancelSlide->start();
        return;
    }
    const int hiddenTarget = DockedLeft() - width();
    shown_ = false;
    slideCancel_ = false;
    slidingOut_ = !atOnce;
    SlideTo(true, x() + 20, 5000, 1, slidingOut_);
    if (slidingOut_) owner_->raise();
    SlideTo(false, hiddenTarget, 1000, 3, slidingOut_);
    if (slidingOut_ || atOnce) {
        if (!slideCancel_) move(hiddenTarget, y());
        hide();
        slidingOut_ = false;
    }
    notifyEnabled_ = false;
}

void TF_CmpSettingsExt::timCancelSlideTimer() {
    timCancelSlide->stop();
    switch (timCancelSlide->property("Tag").toInt()) {
    case 1:
        SlideIn();
        break;
    case 2:
        SlideOut(pendingAtOnce_);
        break;
    case 3:
        if (shown_) {
            owner_->raise();
            raise();
        }
        break;
    default:
        break;
    }
}

void TF_CmpSettingsExt::changeEvent(QEvent* event) {
    // Clicking into the panel must not leave the folder window behind
    // other windows.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !Sliding()) {
        timCancelSlide->setProperty("Tag", 3);
        timCancelSlide->start();
    }
    QWidget::changeEvent(event);
}

}  // namespace tandex::folders
