// Page 19 "Plug-ins": the converter entries of AppSettings().PIConfig,
// edited one at a time. Saving and deleting change the entries at once;
// the check marks wait in plugInFlags for "Ok" or "Apply".

#include <QAction>
#include <QCursor>
#include <QFileDialog>
#include <QGridLayout>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>

#include "config/app_settings.h"
#include "config/list_fields.h"
#include "config/path_text.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "settings_dialog.h"
#include "settings_page_kit.h"
#include "ui/main/converters.h"
#include "ui/main/form_layout.h"

namespace tandex::settings {

using namespace kit;
using config::GetListField;

namespace {

constexpr int kMaxPlugIns = int(std::tuple_size_v<decltype(config::TAppSettings::PIConfig)>);
constexpr int kOneColumn = 10;

const QString kSaveCaption = QStringLiteral(" Save plug-in configuration ");

int usedSlots() {
    const auto& entries = config::AppSettings().PIConfig;
    int n = 0;
    while (n < kMaxPlugIns && !entries[size_t(n)].isEmpty()) ++n;
    return n;
}

// The entries are kept without gaps: a slot after an empty one would be
// run by the main window but never shown here.
void closeGaps() {
    auto& entries = config::AppSettings().PIConfig;
    int to = 0;
    for (int from = 0; from < kMaxPlugIns; ++from) {
        if (entries[size_t(from)].isEmpty()) continue;
        if (from != to) entries[size_t(to)] = entries[size_t(from)];
        ++to;
    }
    for (; to < kMaxPlugIns; ++to) entries[size_t(to)].clear();
}

QString flagAt(const QString& flags, int n) {
    return GetListField(flags, n);
}

}  // namespace

void TF_SettingsNew::createPagePlugIns() {
    QWidget* panel = newPage(19, "P_Plugins");
    QVBoxLayout* page = PageColumn(panel);

    QHBoxLayout* head = Row(page);
    Label(head, "L_PIList", QStringLiteral("Plug-in configuration list:"));
    head->addStretch();
    pPIDisableAll = named(new QWidget, "pPIDisableAll");
    pPIDisableAll->setAutoFillBackground(true);
    auto* disableRow = new QHBoxLayout(pPIDisableAll);
    disableRow->setContentsMargins(config::ScaleDpi(4), config::ScaleDpi(1), config::ScaleDpi(4), config::ScaleDpi(1));
    cbPIDisableAll = Check(disableRow, "cbPIDisableAll", QStringLiteral("Disable all plug-ins"));
    head->addWidget(pPIDisableAll);

    LB_PIList = named(new QListWidget, "LB_PIList");
    // Ten rows to a column, filled top to bottom; the eleventh entry opens
    // the second column.
    LB_PIList->setFlow(QListView::TopToBottom);
    LB_PIList->setWrapping(true);
    LB_PIList->setResizeMode(QListView::Adjust);
    LB_PIList->setUniformItemSizes(true);
    LB_PIList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LB_PIList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight = LB_PIList->fontMetrics().height() + config::ScaleDpi(2);
    LB_PIList->setFixedSize(config::ScaleDpi(466),
                            kOneColumn * rowHeight + 2 * LB_PIList->frameWidth() + config::ScaleDpi(2));
    LB_PIList->setProperty("RowHeight", rowHeight);
    page->addWidget(LB_PIList);

    L_PIMaxConfig = Label(page, "L_PIMaxConfig", QStringLiteral("No furter configuration possible!"));
    ui::SetLabelColor(L_PIMaxConfig, 0x0000FF);
    L_PIMaxConfig->hide();

    QGroupBox* group = Group(page, "GB_PIConfig", QStringLiteral(" Plug-in configuration: "));
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(config::ScaleDpi(8), config::ScaleDpi(4), config::ScaleDpi(8), config::ScaleDpi(6));
    grid->setHorizontalSpacing(config::ScaleDpi(6));
    grid->setVerticalSpacing(config::ScaleDpi(3));
    auto fieldRow = [&](int row, const char* labelName, const QString& caption, const char* editName) {
        grid->addWidget(named(new QLabel(caption), labelName), row, 0);
        auto* edit = named(new QLineEdit, editName);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    auto sideButton = [&](int row, const char* name, const QString& caption, const QString& hint) {
        auto* holder = new QHBoxLayout;
        holder->setContentsMargins(0, 0, 0, 0);
        ui::TFlatButton2* b = Button(holder, name, caption, 34, hint);
        grid->addLayout(holder, row, 2);
        return b;
    };
    E_PIName = fieldRow(0, "L_PIName", QStringLiteral("Name:"), "E_PIName");
    E_PIName->setMaxLength(80);
    E_PIFileFilter = fieldRow(1, "L_PIFileFilter", QStringLiteral("File filter:"), "E_PIFileFilter");
    E_PIParameters = fieldRow(2, "L_PIParameters", QStringLiteral("Parameters:"), "E_PIParameters");
    fbPIParams = sideButton(2, "fbPIParams", QStringLiteral("Par"), QStringLiteral(" Insert a parameter "));
    E_PILocation = fieldRow(3, "L_PILocation", QStringLiteral("Location:"), "E_PILocation");
    fbPILocation = sideButton(3, "fbPILocation", QStringLiteral("..."), QStringLiteral(" Select the plug-in tool... "));

    auto* checks = new QVBoxLayout;
    checks->setSpacing(config::ScaleDpi(2));
    CB_PIShortNames = Check(checks, "CB_PIShortNames", QStringLiteral("Plug-in requires short (8.3) file names"));
    QHBoxLayout* codes = Row(checks);
    cbPIUseExitCode = Check(codes, "cbPIUseExitCode", QStringLiteral("Check plug-in exit code"));
    codes->addSpacing(config::ScaleDpi(12));
    Label(codes, "L_PISuccess", QStringLiteral("Success code:"));
    ePiSuccess = Edit(codes, "ePiSuccess", 50);
    Label(codes, "L_PIOr", QStringLiteral("OR"));
    eORPiSuccess = Edit(codes, "eORPiSuccess", 50);
    codes->addStretch();
    grid->addLayout(checks, 4, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(config::ScaleDpi(8));
    FB_PINew = Button(buttons, "FB_PINew", QStringLiteral("New"), 80);
    FB_PISave = Button(buttons, "FB_PISave", QStringLiteral("Save"), 80);
    FB_PIDelete = Button(buttons, "FB_PIDelete", QStringLiteral("Delete"), 80);
    buttons->addStretch();
    lPINotFound = Label(buttons, "lPINotFound", QStringLiteral(" ERROR: Plug-in not found! "));
    ui::SetLabelColor(lPINotFound, 0x0000FF);
    QFont bold = lPINotFound->font();
    bold.setBold(true);
    lPINotFound->setFont(bold);
    lPINotFound->hide();
    grid->addLayout(buttons, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    // Its address is not known, so the link is never shown.
    lPlugInDownload = Label(page, "lPlugInDownload",
                            QStringLiteral("Download the \"Tandex plug-in samples pack\""),
                            QStringLiteral(" Click to open the plug-in download page "));
    lPlugInDownload->hide();
    page->addStretch();

    pmPIParams = new QMenu(this);
    pmPIParams->setObjectName(QStringLiteral("pmPIParams"));
    auto menuItem = [this](const char* name, int tag) {
        QAction* a = pmPIParams->addAction(QString());
        a->setObjectName(QLatin1String(name));
        a->setProperty("Tag", tag);
        return a;
    };
    pmInputFileName = menuItem("pmInputFileName", 0);
    pmOutputFileName = menuItem("pmOutputFileName", 1);
    pmAppDir = menuItem("pmAppDir", 2);

    connect(LB_PIList, &QListWidget::currentRowChanged, this, [this] { LB_PIListClick(LB_PIList); });
    connect(LB_PIList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { LB_PIListClickCheck(item); });
    for (QLineEdit* e : {E_PIName, E_PIFileFilter, E_PIParameters, E_PILocation, ePiSuccess, eORPiSuccess})
        connect(e, &QLineEdit::textChanged, this, [this] { E_PINameChange(); });
    for (QCheckBox* b : {CB_PIShortNames, cbPIUseExitCode})
        connect(b, &QCheckBox::toggled, this, [this] { E_PINameChange(); });
    connect(cbPIDisableAll, &QCheckBox::toggled, this, [this] { cbPIDisableAllClick(); });
    FB_PINew->OnClick = [this](QObject*) { FB_PINewClick(); };
    FB_PISave->OnClick = [this](QObject* sender) { FB_PISaveClick(sender); };
    FB_PIDelete->OnClick = [this](QObject*) { FB_PIDeleteClick(); };
    fbPILocation->OnClick = [this](QObject*) { fbPILocationClick(); };
    fbPIParams->OnClick = [this](QObject*) { fbPIParamsClick(); };
    connect(pmPIParams, &QMenu::aboutToShow, this, [this] { pmPIParamsPopup(); });
    connect(pmPIParams, &QMenu::triggered, this, [this](QAction* a) { pmSelectPIParamsClick(a); });
}

void TF_SettingsNew::openPlugInPage() {
    lPINotFound->setToolTip(QStringLiteral(" Please check the \"Location\" parameter or download \r the \"Tandex "
                                           "plug-in sample pack\" (see link below)! "));
    closeGaps();
    cbPIDisableAll->setChecked(config::AppSettings().PIDisableAll);
    cbPIDisableAllClick();
    fillPlugInList(true);
    {
        const QSignalBlocker block(LB_PIList);
        LB_PIList->setCurrentRow(config::AppSettings().PIConfigIdx);
    }
    LB_PIListClick(nullptr);
}

bool TF_SettingsNew::plugInModified() const {
    return FB_PISave->property("Tag").toInt() != 0;
}

void TF_SettingsNew::setPlugInModified(bool modified) {
    FB_PISave->setProperty("Tag", modified ? 1 : 0);
}

void TF_SettingsNew::fillPlugInList(bool build) {
    const auto& entries = config::AppSettings().PIConfig;
    const int count = usedSlots();
    if (build) {
        plugInFlags.clear();
        for (int i = 0; i < count; ++i) plugInFlags += GetListField(entries[size_t(i)], 7) + QLatin1Char(';');
    }
    const int before = LB_PIList->currentRow();
    {
        const QSignalBlocker block(LB_PIList);
        LB_PIList->clear();
        for (int i = 0; i < count; ++i) {
            auto* item = new QListWidgetItem(QStringLiteral("%1: ").arg(i + 1, 2) + GetListField(entries[size_t(i)], 0));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(flagAt(plugInFlags, i) == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
            LB_PIList->addItem(item);
        }
        const int columns = count > kOneColumn ? 2 : 1;
        const int width = LB_PIList->width() - 2 * LB_PIList->frameWidth();
        LB_PIList->setGridSize(QSize(width / columns - 1, LB_PIList->property("RowHeight").toInt()));
        auto& idx = config::AppSettings().PIConfigIdx;
        if (idx >= count) idx = qMax(count - 1, 0);
        LB_PIList->setCurrentRow(before < count ? before : -1);
    }
    L_PIMaxConfig->setVisible(count >= kMaxPlugIns);
    FB_PINew->SetEnabled(!L_PIMaxConfig->isVisibleTo(pagePanels[19]));
}

void TF_SettingsNew::LB_PIListClick(QObject* sender) {
    auto& s = config::AppSettings();
    if (sender) {
        // The question and its save are about the entry the fields show,
        // not the one just clicked: a save would otherwise store the edits
        // in the clicked entry's slot.
        const int wanted = LB_PIList->currentRow();
        const QSignalBlocker block(LB_PIList);
        LB_PIList->setCurrentRow(plugInShownRow_);
        if (!confirmPlugInSaved()) return;
        LB_PIList->setCurrentRow(wanted);
    }
    s.PIConfigIdx = qMax(LB_PIList->currentRow(), 0);
    plugInShownRow_ = LB_PIList->currentRow();
    const QString record = s.PIConfig[size_t(qMin(s.PIConfigIdx, kMaxPlugIns - 1))] + QLatin1Char(';');
    E_PIName->setText(GetListField(record, 0));
    QString filter = GetListField(record, 1);
    filter.replace(QLatin1Char(','), QLatin1Char(';'));
    E_PIFileFilter->setText(filter);
    E_PIParameters->setText(GetListField(record, 2));
    E_PILocation->setText(GetListField(record, 3));
    CB_PIShortNames->setChecked(GetListField(record, 4) == QLatin1String("1"));
    cbPIUseExitCode->setChecked(GetListField(record, 5) == QLatin1String("1"));
    const QString success = GetListField(record, 6);
    ePiSuccess->setText(success.isEmpty() ? QStringLiteral("0") : success);
    eORPiSuccess->setText(GetListField(record, 8));
    FB_PISave->SetEnabled(false);
    setPlugInModified(false);
    FB_PIDelete->SetEnabled(LB_PIList->currentRow() >= 0);
}

void TF_SettingsNew::LB_PIListClickCheck(QListWidgetItem* item) {
    const int row = LB_PIList->row(item);
    if (row < 0) return;
    const QString flag = item->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
    if (!config::SetListField(plugInFlags, row, flag)) plugInFlags += flag + QLatin1Char(';');
}

void TF_SettingsNew::E_PINameChange() {
    setPlugInModified(true);
    const bool complete = !E_PIName->text().isEmpty() && !E_PIFileFilter->text().isEmpty() &&
                          !E_PILocation->text().isEmpty() && !E_PIParameters->text().isEmpty();
    FB_PISave->SetEnabled(complete);
    if (complete)
        checkPlugInLocation();
    else
        // Without a whole configuration there is nothing to look for; an
        // error left from the entry before would name the wrong one.
        lPINotFound->hide();
}

void TF_SettingsNew::checkPlugInLocation() {
    // The same lookup as the converter run's, so that the page warns
    // exactly when the main window would not find the program.
    lPINotFound->setVisible(ui::ResolvePlugInProgram(E_PILocation->text()).isEmpty());
}

void TF_SettingsNew::FB_PINewClick() {
    if (!confirmPlugInSaved()) return;
    {
        const QSignalBlocker block(LB_PIList);
        LB_PIList->setCurrentRow(-1);
    }
    E_PIName->clear();
    E_PIFileFilter->clear();
    E_PILocation->clear();
    E_PIParameters->setText(QStringLiteral("$srcfile"));
    cbPIUseExitCode->setChecked(false);
    ePiSuccess->setText(QStringLiteral("0"));
    eORPiSuccess->clear();
    plugInShownRow_ = -1;
    FB_PISave->SetEnabled(false);
    setPlugInModified(false);
    lPINotFound->hide();
    FB_PIDelete->SetEnabled(false);
    E_PIName->setFocus(Qt::OtherFocusReason);
}

QString TF_SettingsNew::plugInRecord(bool enabled) {
    const QString name = E_PIName->text(), parameters = E_PIParameters->text(), location = E_PILocation->text(),
                  success = ePiSuccess->text(), second = eORPiSuccess->text();
    // A ";" would end its field early and shift every later one: the main
    // window would run another program with other parameters.
    for (const QString* field : {&name, &parameters, &location, &success, &second}) {
        if (!field->contains(QLatin1Char(';'))) continue;
        config::showMessage(kSaveCaption,
                            QStringLiteral("The character \";\" is not allowed in the name, parameters, location "
                                           "or success codes!"),
                            config::MsgKind::Warning);
        return {};
    }
    QString filter = E_PIFileFilter->text();
    filter.replace(QLatin1Char(';'), QLatin1Char(','));
    const QStringList fields{name,
                             filter,
                             parameters,
                             location,
                             CB_PIShortNames->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
                             cbPIUseExitCode->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
                             success,
                             enabled ? QStringLiteral("1") : QStringLiteral("0"),
                             second};
    return fields.join(QLatin1Char(';')) + QLatin1Char(';');
}

void TF_SettingsNew::FB_PISaveClick(QObject*) {
    auto& s = config::AppSettings();
    // Refused before the same-name question, so that a refused save never
    // asks to overwrite anything.
    if (plugInRecord(true).isEmpty()) return;
    int target = LB_PIList->currentRow();
    const QString name = E_PIName->text();
    const int count = usedSlots();
    for (int i = 0; i < count; ++i) {
        if (i == target) continue;
        const QString& entry = s.PIConfig[size_t(i)];
        if (entry.left(entry.indexOf(QLatin1Char(';'))) != name) continue;
        const int answer = config::showMessage(
            kSaveCaption,
            QStringLiteral("A plug-in configuration with the same name already exist!\r\rOverwrite this existing "
                           "plug-in configuration?"),
            config::MsgKind::Warning, config::mbYes | config::mbNo, config::mrNo);
        if (answer != config::mrYes) return;
        target = i;
        break;
    }
    bool enabled = true;
    if (target < 0) {
        target = LB_PIList->count();
        plugInFlags += QStringLiteral("1;");
    } else {
        const QListWidgetItem* item = LB_PIList->item(target);
        enabled = item && item->checkState() == Qt::Checked;
    }
    if (target > kMaxPlugIns - 1) target = s.PIConfigIdx;
    s.PIConfig[size_t(target)] = plugInRecord(enabled);
    s.PIConfigIdx = target;
    fillPlugInList(false);
    {
        const QSignalBlocker block(LB_PIList);
        LB_PIList->setCurrentRow(target);
    }
    plugInShownRow_ = target;
    FB_PISave->SetEnabled(false);
    setPlugInModified(false);
    FB_PIDelete->SetEnabled(true);
}

void TF_SettingsNew::FB_PIDeleteClick() {
    auto& s = config::AppSettings();
    const QString what = QStringLiteral("plug-in configuration");
    if (s.CFDelConfig &&
        config::showMessage(QStringLiteral(" Delete ") + what + QStringLiteral(" "),
                            QStringLiteral("Delete this ") + what + QStringLiteral("?"), config::MsgKind::Question,
                            config::mbYes | config::mbNo, config::mrNo) != config::mrYes)
        return;
    const int index = qBound(0, s.PIConfigIdx, kMaxPlugIns - 1);
    // Element index of the flags goes with its entry.
    QStringList flags = plugInFlags.split(QLatin1Char(';'));
    if (index < flags.size() - 1) flags.removeAt(index);
    plugInFlags = flags.join(QLatin1Char(';'));
    for (int i = index; i < kMaxPlugIns - 1; ++i) s.PIConfig[size_t(i)] = s.PIConfig[size_t(i + 1)];
    s.PIConfig[size_t(kMaxPlugIns - 1)].clear();
    fillPlugInList(false);
    {
        const QSignalBlocker block(LB_PIList);
        LB_PIList->setCurrentRow(!s.PIConfig[size_t(index)].isEmpty() ? index : LB_PIList->count() - 1);
    }
    LB_PIListClick(nullptr);
    FB_PIDelete->SetEnabled(LB_PIList->count() > 0);
}

bool TF_SettingsNew::confirmPlugInSaved() {
    if (!plugInModified()) return true;
    const QString caption = QStringLiteral("Plug-in configuration not saved!");
    if (FB_PISave->Enabled()) {
        const int answer = config::showMessage(caption, QStringLiteral("Save the configuration now?"),
                                               config::MsgKind::Question,
                                               config::mbYes | config::mbNo | config::mbCancel, config::mrYes);
        if (answer == config::mrCancel) return false;
        if (answer != config::mrYes) return true;
        FB_PISaveClick(nullptr);
        return !plugInModified();
    }
    return config::showMessage(caption, QStringLiteral("The configuration is incomplete!\rDiscard all changes?"),
                               config::MsgKind::Warning, config::mbOK | config::mbCancel,
                               config::mrOk) != config::mrCancel;
}

void TF_SettingsNew::cbPIDisableAllClick() {
    ui::SetPanelColor(pPIDisableAll, cbPIDisableAll->isChecked() ? 0xA0A0FF : 0xFFFFFF);
}

void TF_SettingsNew::fbPILocationClick() {
    const QString folder = config::ExtractPathWithDelim(config::PrgDir().ExpandAppDir(E_PILocation->text()));
    // Any file may be a program here; there is no extension to offer.
    const QString chosen = QFileDialog::getOpenFileName(this, fbPILocation->toolTip(), folder);
    if (!chosen.isEmpty()) E_PILocation->setText(chosen);
}

void TF_SettingsNew::fbPIParamsClick() {
    pmPIParams->popup(QCursor::pos());
}

void TF_SettingsNew::pmPIParamsPopup() {
    pmInputFileName->setText(QStringLiteral("Input file name ($srcfile)"));
    pmOutputFileName->setText(QStringLiteral("Output file name ($dstfile)"));
    pmAppDir->setText(QStringLiteral("Tandex directory ($appdir)"));
}

void TF_SettingsNew::pmSelectPIParamsClick(QAction* item) {
    static const char* const kTokens[] = {"$srcfile", "$dstfile", "$appdir"};
    const int tag = item ? item->property("Tag").toInt() : -1;
    if (tag < 0 || tag > 2) return;
    E_PIParameters->setText(E_PIParameters->text() + QLatin1Char(' ') + QLatin1String(kTokens[tag]));
}

}  // namespace tandex::settings
