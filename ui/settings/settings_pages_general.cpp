// Pages 0 to 7: start-up, general, backups, confirmations, display and
// printer, text editor with its line filter, fixed file types; and the
// handlers that keep them consistent while the user edits.

#include <QColorDialog>
#include <QDateTime>
#include <QFileDialog>

#include "access/file_times.h"
#include "access/text_files.h"
#include "config/path_text.h"
#include "folder_picker.h"
#include "settings_dialog.h"
#include "settings_page_kit.h"
#include "ui/main/form_layout.h"
#include "ui/main/window_helpers.h"

namespace tandex::settings {

using namespace kit;

namespace {

const QString kBinaryUnitsMetric =
    QStringLiteral("Use binary representation and metric units (1 kB = 1024 Byte; Units: KB, MB, GB, TB, PB)");
const QString kBinaryUnitsIec =
    QStringLiteral("Use binary representation and units (1 KiB = 1024 Byte; Units: KiB, MiB, GiB, TiB, PiB)");
const QString kAndOrHint = QStringLiteral(" Right-click to toggle between AND and OR logic ");

// The file kinds of the fixed-type lists, after the empty first item.
constexpr int kFixedKinds[] = {5, 8, 7, 10, 9, 12, 11, 1};

}  // namespace

void TF_SettingsNew::createPagesGeneral() {
    // ---- 0 Startup -------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(0, "P_Startup"));
        QVBoxLayout* g = GroupColumn(Group(page, "GB_AutoLoad", QStringLiteral(" Startup: ")));
        Radio(g, "RB_AutoLoadNo", QStringLiteral("No automatic compare at startup"));
        Radio(g, "RB_AutoLoadFiles", QStringLiteral("Compare the last two compared files at startup"));
        Radio(g, "RB_AutoLoadFolders", QStringLiteral("Execute the last Folder Compare Session at startup"));
        QVBoxLayout* u = GroupColumn(Group(page, "GB_AutoUpdate", QStringLiteral(" Check for updates: ")));
        QHBoxLayout* row = Row(u);
        Label(row, "L_SUAutoUpdate", QStringLiteral("Check for a new version:"));
        Combo(row, "CB_SUAutoUpdate",
              {QStringLiteral("Manually"), QStringLiteral("At every program start"), QStringLiteral("Once a day"),
               QStringLiteral("Once a week"), QStringLiteral("Once a month")},
              170);
        row->addStretch();
        Check(u, "CB_SUBetaVers", QStringLiteral("Check for beta versions"));
        page->addStretch();
    }

    // ---- 1 General ---------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(1, "P_General"));
        QVBoxLayout* v = GroupColumn(Group(page, "GB_View", QStringLiteral(" Program: ")));
        QHBoxLayout* twoColumns = Row(v);
        auto* left = new QVBoxLayout;
        auto* right = new QVBoxLayout;
        left->setSpacing(config::ScaleDpi(2));
        right->setSpacing(config::ScaleDpi(2));
        twoColumns->addLayout(left);
        twoColumns->addLayout(right);
        Check(left, "CB_StatLine", QStringLiteral("Show status line"));
        Check(left, "CB_ShowLnNr", QStringLiteral("Show line numbers"));
        CB_DetailsPanel = Check(left, "CB_DetailsPanel", QStringLiteral("Show details panel"));
        CB_GSShowDPRuler = Check(Row(left, 18), "CB_GSShowDPRuler", QStringLiteral("Show a ruler in details panel"));
        cbGSShowHints = Check(right, "cbGSShowHints", QStringLiteral("Show hints"));
        cbGSShowHintDB = Check(Row(right, 18), "cbGSShowHintDB", QStringLiteral("Show hints of deactivated items"));
        Check(right, "cbGSAdaptivHT", QStringLiteral("Adaptive hover text "));
        Check(right, "CB_GSClrTmpFld", QStringLiteral("Delete all files in temp folder on exit"));
        CB_GSShowDiffBar =
            Check(v, "CB_GSShowDiffBar", QStringLiteral("Show thumbnail bar (difference overview bar)"));
        QHBoxLayout* bar = Row(v, 18);
        L_TNBarWidthTxt = Label(bar, "L_TNBarWidthTxt", QStringLiteral("Thumbnail bar width (Range: 10 .. 43):"));
        E_GSTNBarWidth = Edit(bar, "E_GSTNBarWidth", 40);
        E_GSTNBarWidth->setMaxLength(2);
        bar->addStretch();
        connect(CB_DetailsPanel, &QCheckBox::toggled, this, [this] { CB_DetailsPanelClick(); });
        connect(cbGSShowHints, &QCheckBox::toggled, this, [this] { cbGSShowHintsClick(); });
        connect(CB_GSShowDiffBar, &QCheckBox::toggled, this, [this] { CB_GSShowDiffBarClick(); });

        QHBoxLayout* temp = Row(v);
        Label(temp, "L_GSTempPath", QStringLiteral("Temp folder:"));
        E_GSTempPath = Edit(temp, "E_GSTempPath");
        Button(temp, "fbSetTempPath", QStringLiteral("..."), 28)->OnClick = [this](QObject*) { fbSetTempPathClick(); };

        QHBoxLayout* looks = Row(page);
        QVBoxLayout* style = GroupColumn(Group(looks, "GB_GUIStyle", QStringLiteral(" GUI style: ")));
        QHBoxLayout* styleRow = Row(style);
        Radio(styleRow, "RB_GSGUIStyleClassic", QStringLiteral("Classic"));
        Radio(styleRow, "RB_GSGUIStylePlain", QStringLiteral("Flat"));
        QVBoxLayout* select = GroupColumn(Group(looks, "GB_LineSelect", QStringLiteral(" Line selection: ")));
        QHBoxLayout* selectRow = Row(select);
        Radio(selectRow, "RB_GSLineSelect", QStringLiteral("Single line"));
        Radio(selectRow, "RB_GSBlockSelect", QStringLiteral("Full block"));

        QVBoxLayout* units = GroupColumn(Group(page, "GB_SizeUnits", QStringLiteral(" Size units: ")));
        RB_BinaryUnits = Radio(units, "RB_BinaryUnits", kBinaryUnitsIec);
        CB_MetricPrefixAlways = Check(Row(units, 18), "CB_MetricPrefixAlways",
                                      QStringLiteral("Use the metric units also for binary representations"));
        RB_MetricUnits = Radio(units, "RB_MetricUnits",
                               QStringLiteral("Use decimal representation and metric units (1 kB = 1000 Byte; Units: "
                                              "kB, MB, GB, TB, PB)"));
        for (QRadioButton* b : {RB_BinaryUnits, RB_MetricUnits})
            connect(b, &QRadioButton::toggled, this, [this] { RB_MetricUnitsClick(); });
        connect(CB_MetricPrefixAlways, &QCheckBox::toggled, this, [this] { CB_MetricPrefixAlwaysClick(); });

        GB_DateTime = Group(page, "GB_DateTime", QStringLiteral(" Timestamp format: "));
        QVBoxLayout* dates = GroupColumn(GB_DateTime);
        QHBoxLayout* dateRows[2] = {Row(dates), Row(dates)};
        for (int i = 0; i < 4; ++i) {
            const QByteArray name = "RB_DTF" + QByteArray::number(i);
            QRadioButton* b = Radio(dateRows[i / 2], name.constData(), QString(), i);
            RB_DTF[size_t(i)] = b;
            connect(b, &QRadioButton::toggled, this, [this, b](bool on) {
                if (on) RB_DTFxClick(b);
            });
        }
        page->addStretch();
    }

    // ---- 2 Backups -----------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(2, "P_Backups"));
        QVBoxLayout* when = GroupColumn(Group(page, "GB_BKWhen", QStringLiteral(" Backups: ")));
        Check(when, "CB_BKBeforeSave", QStringLiteral("Backup files before saving"));
        Check(when, "CB_BKBeforeCopy", QStringLiteral("Backup files before they are overwritten by a copy operation."));
        QVBoxLayout* names = GroupColumn(Group(page, "GB_BKNames", QStringLiteral(" Backup file names: ")));
        Radio(names, "RB_BKUseSequence",
              QStringLiteral("file.ext.~#~  (# = sequence number of the backup file: 1= latest, 9 = oldest)"));
        Radio(names, "RB_BKUseBAK", QStringLiteral("file.ext.bak"));
        QVBoxLayout* where = GroupColumn(Group(page, "GB_BKFolder", QStringLiteral(" Backup folder: ")));
        Check(where, "CB_BKUseFolder", QStringLiteral("Store backup files in the below folder:"));
        QHBoxLayout* folder = Row(where, 18);
        E_BKFolder = Edit(folder, "E_BKFolder");
        Button(folder, "fbBKFolder", QStringLiteral("..."), 28)->OnClick = [this](QObject*) { fbBKFolderClick(); };
        page->addStretch();
    }

    // ---- 3 Advanced: archives, FTP, cloud ---------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(3, "P_BackupsAdvanced"));
        struct Kind {
            const char *group, *caption, *box, *boxCaption, *own, *standard, *field, *button;
            QLineEdit** edit;
            void (TF_SettingsNew::*pick)();
        };
        const Kind kinds[] = {
            {"GB_BKArc", " Files inside archives: ", "CB_BKArcEnable", "Enable backups for files inside archives",
             "RB_BKArcFolder", "RB_BKArcDefault", "E_BKArcFolder", "fbBKArcFolder", &E_BKArcFolder,
             &TF_SettingsNew::fbBKArcFolderClick},
            {"GB_BKFTP", " Files on FTP servers: ", "CB_BKFTPEnable", "Enable backups for files on FTP servers",
             "RB_BKFTPFolder", "RB_BKFTPDefault", "E_BKFTPFolder", "fbBKFTPFolder", &E_BKFTPFolder,
             &TF_SettingsNew::fbBKFTPFolderClick},
            {"GB_BKDBO", " Files on Dropbox: ", "CB_BKDBOEnable", "Enable backups for files on Dropbox",
             "RB_BKDBOFolder", "RB_BKDBODefault", "E_BKDBOFolder", "fbBKDBOFolder", &E_BKDBOFolder,
             &TF_SettingsNew::fbBKDBOFolderClick},
        };
        for (const Kind& k : kinds) {
            QVBoxLayout* g = GroupColumn(Group(page, k.group, QLatin1String(k.caption)));
            Check(g, k.box, QLatin1String(k.boxCaption));
            Radio(Row(g, 18), k.standard, QStringLiteral("Use the standard backup settings (General -> Backups)"));
            Radio(Row(g, 18), k.own,
                  QStringLiteral("Use the standard backup settings but store the backup files in the below folder:"));
            QHBoxLayout* folder = Row(g, 36);
            *k.edit = Edit(folder, k.field);
            const auto pick = k.pick;
            Button(folder, k.button, QStringLiteral("..."), 28)->OnClick = [this, pick](QObject*) { (this->*pick)(); };
        }
        page->addStretch();
    }

    // ---- 4 Confirmations -------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(4, "P_Confirmations"));
        QVBoxLayout* g = GroupColumn(Group(page, "GB_Confirmations", QStringLiteral(" Confirmations: ")));
        Check(g, "CB_CFNestedArc", QStringLiteral("Confirm the extraction of nested archives into the temp folder"));
        Check(g, "CB_CFCopyLines",
              QStringLiteral("Confirm a direct copy of text lines between the comparison panes (text sync)"));
        Check(g, "cbCFOverwrite",
              QStringLiteral("Confirm the overwriting of existing text files when using the \"Save file as...\" "
                             "function"));
        Check(g, "cbCFDelConfig", QStringLiteral("Confirm deletion of FTP Profiles or Plug-In Configurations"));
        Check(g, "cbCFCMConflict", QStringLiteral("Ask me in case of compare mode conflicts"));
        page->addStretch();
    }

    // ---- 5 Display & Printer ------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(5, "P_Display"));
        QVBoxLayout* screen = GroupColumn(Group(page, "GB_Display", QStringLiteral(" Display: ")));
        QHBoxLayout* screenRow = Row(screen);
        Label(screenRow, "L_ScreenFont", QStringLiteral("Font of the comparison panes:"));
        Button(screenRow, "BB_Font", QStringLiteral("Font..."), 88)->OnClick = [this](QObject*) { BB_FontClick(); };
        screenRow->addStretch();
        QHBoxLayout* colorRow = Row(screen);
        Label(colorRow, "L_Colors", QStringLiteral("Color scheme:"));
        Button(colorRow, "BB_Colors", QStringLiteral("Colors..."), 88)->OnClick = [this](QObject*) {
            BB_ColorsClick();
        };
        colorRow->addStretch();

        QVBoxLayout* printer = GroupColumn(Group(page, "GB_Printer", QStringLiteral(" Printer: ")));
        QHBoxLayout* printRow = Row(printer);
        Label(printRow, "L_PrinterFont", QStringLiteral("Printer font:"));
        Button(printRow, "BB_PrnFont", QStringLiteral("Font..."), 88)->OnClick = [this](QObject*) {
            BB_PrnFontClick();
        };
        printRow->addStretch();
        QHBoxLayout* orientation = Row(printer);
        Radio(orientation, "RB_Portrait", QStringLiteral("Portrait"));
        Radio(orientation, "RB_Landscape", QStringLiteral("Landscape"));
        orientation->addStretch();
        QHBoxLayout* margins = Row(printer);
        Label(margins, "L_Margins", QStringLiteral("Page margins (mm):"));
        const std::pair<const char*, const char*> fields[] = {
            {"Left:", " Left page margin: (Range: 4 .. 50) "},
            {"Top:", " Top page margin: (Range: 12 .. 50) "},
            {"Right:", " Right page margin: (Range: 5 .. 50) "},
            {"Bottom:", " Bottom page margin: (Range: 4 .. 50) "},
        };
        const char* names[] = {"E_Left", "E_Top", "E_Right", "E_Bottom"};
        const char* labels[] = {"L_Left", "L_Top", "L_Right", "L_Bottom"};
        for (int i = 0; i < 4; ++i) {
            Label(margins, labels[i], QLatin1String(fields[i].first));
            Edit(margins, names[i], 32, QLatin1String(fields[i].second))->setMaxLength(2);
        }
        margins->addStretch();
        page->addStretch();
    }

    // ---- 6 Text Editor -------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(6, "P_TextEditor"));
        page->setSpacing(config::ScaleDpi(3));
        pTEEnabled = named(new QWidget, "pTEEnabled");
        page->addWidget(pTEEnabled);
        auto* enabledRow = new QHBoxLayout(pTEEnabled);
        enabledRow->setContentsMargins(config::ScaleDpi(4), config::ScaleDpi(2), 0, config::ScaleDpi(2));
        cbTEEnabled = Check(enabledRow, "cbTEEnabled", QStringLiteral("Enable editing of text files"));
        connect(cbTEEnabled, &QCheckBox::toggled, this, [this] { cbTEEnabledClick(); });
        CB_TETrimWSEOL =
            Check(Row(page, 22), "CB_TETrimWSEOL", QStringLiteral("Trim trailing white spaces when saving"));

        QHBoxLayout* twoColumns = Row(page, 4);
        auto* left = new QVBoxLayout;
        auto* right = new QVBoxLayout;
        for (QVBoxLayout* c : {left, right}) {
            c->setSpacing(config::ScaleDpi(1));
            twoColumns->addLayout(c);
        }
        Check(left, "CB_TECurBEOL", QStringLiteral("Allow cursor beyond End Of Line"));
        Check(left, "CB_TEUndoPastSave", QStringLiteral("Undo after save"));
        Check(left, "CB_TEAutoIndent", QStringLiteral("Auto indent"));
        Check(left, "CB_TEAutoHomeKey", QStringLiteral("Auto Home-Key behavior"));
        left->addStretch();
        CB_TEEnableLinks = Check(right, "CB_TEEnableLinks", QStringLiteral("Underline links"));
        CB_TELinkDblClk = Check(Row(right, 18), "CB_TELinkDblClk", QStringLiteral("Open links with Double Click"));
        Check(right, "CB_TEHLCurLine", QStringLiteral("Highlight current line"));
        QHBoxLayout* mark = Row(right);
        cbTEMarkMod = Check(mark, "cbTEMarkMod", QStringLiteral("Mark modified files with color:"));
        ColorPanel(mark, "pTEModCol");
        mark->addStretch();
        right->addStretch();
        connect(CB_TEEnableLinks, &QCheckBox::toggled, this, [this] { CB_TEEnableLinksClick(); });
        connect(cbTEMarkMod, &QCheckBox::toggled, this, [this] { CB_TEEnableLinksClick(); });
        Check(Row(page, 4), "CB_TEFindCurWord",
              QStringLiteral("Initialize 'Text to find/replace' with current word or selection"));

        QHBoxLayout* sizes = Row(page, 4);
        L_TabTxt = Label(sizes, "L_TabTxt", QStringLiteral("Tab size:"));
        Edit(sizes, "E_TETabSize", 32)->setMaxLength(2);
        L_TETabRange = Label(sizes, "L_TETabRange", QStringLiteral("(Range: 2 .. 16)"));
        sizes->addSpacing(config::ScaleDpi(16));
        lTEMaxColumns = Label(sizes, "lTEMaxColumns", QStringLiteral("Max columns per line (Range: 64 .. 8192):"));
        Edit(sizes, "E_TEMaxColumns", 46)->setMaxLength(4);
        sizes->addStretch();

        Label(Row(page, 4), "L_TEExtEditors", QStringLiteral("External Editor/Viewer:"));
        QHBoxLayout* editors = Row(page, 4);
        const struct {
            const char *label, *caption, *field, *button, *hint;
            QLineEdit** edit;
            ui::TFlatButton2** pick;
        } externals[] = {
            {"L_TEExtEditor1", "#1:", "E_TEExtEditor1", "fbTEFindEditor1", " Select the first external Editor/Viewer... ",
             &E_TEExtEditor1, &fbTEFindEditor1},
            {"L_TEExtEditor2", "#2:", "E_TEExtEditor2", "fbTEFindEditor2", " Select a second external Editor/Viewer... ",
             &E_TEExtEditor2, &fbTEFindEditor2},
        };
        for (const auto& e : externals) {
            QHBoxLayout* row = editors;
            Label(row, e.label, QLatin1String(e.caption));
            *e.edit = Edit(row, e.field);
            *e.pick = Button(row, e.button, QStringLiteral("..."), 28, QLatin1String(e.hint));
        }
        fbTEFindEditor1->OnClick = [this](QObject*) { fbTEFindEditor1Click(); };
        fbTEFindEditor2->OnClick = [this](QObject*) { fbTEFindEditor2Click(); };

        GB_HideShowLines = Group(page, "GB_HideShowLines", QStringLiteral(" Line Filter: "));
        QVBoxLayout* filter = GroupColumn(GB_HideShowLines);
        QHBoxLayout* head = Row(filter);
        Check(head, "cbTEFilterEna", QStringLiteral("Filter enabled"));
        head->addStretch();
        Check(head, "CB_TEMatchLFCase", QStringLiteral("Match case"));
        QHBoxLayout* how = Row(filter);
        Radio(how, "rbTEHideLines", QStringLiteral("Hide lines that..."));
        how->addSpacing(config::ScaleDpi(20));
        Radio(how, "rbTEShowLines", QStringLiteral("Show only lines that..."));
        how->addStretch();
        const struct {
            const char *box, *label, *caption, *field, *andOr;
            QCheckBox** check;
            QLabel** condition;
            QLineEdit** edit;
            QLabel** join;
        } conditions[] = {
            {"cbTEHideLnStart", "lTEHideLnStart", "...begin with:", "E_TEHideTxStart", "lTEAndOr1", &cbTEHideLnStart,
             &lTEHideLnStart, &E_TEHideTxStart, &lTEAndOr1},
            {"cbTEHideLnWith", "lTEHideLnWith", "...contain:", "E_TEHideTxWith", "lTEAndOr2", &cbTEHideLnWith,
             &lTEHideLnWith, &E_TEHideTxWith, &lTEAndOr2},
            {"cbTEHideLnEnd", "lTEHideLnEnd", "...end with:", "E_TEHideTxEnd", nullptr, &cbTEHideLnEnd, &lTEHideLnEnd,
             &E_TEHideTxEnd, nullptr},
        };
        for (const auto& c : conditions) {
            QHBoxLayout* row = Row(filter);
            *c.check = Check(row, c.box, QString());
            *c.condition = Label(row, c.label, QLatin1String(c.caption));
            (*c.condition)->setFixedWidth(config::ScaleDpi(120));
            (*c.condition)->installEventFilter(this);
            *c.edit = Edit(row, c.field);
            QLabel* join = Label(row, c.andOr ? c.andOr : "", c.andOr ? QStringLiteral("AND...") : QString());
            join->setFixedWidth(config::ScaleDpi(44));
            if (c.join) {
                *c.join = join;
                join->installEventFilter(this);
            } else {
                join->setObjectName(QString());
            }
            connect(*c.check, &QCheckBox::toggled, this, [this] { update_AND_OR_Logic(); });
        }
        page->addStretch();
    }

    // ---- 7 Fixed File Types -------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(7, "P_FixedFileTypes"));
        QStringList kinds{QString()};
        for (int kind : kFixedKinds) kinds << access::FZFileKindText(kind);
        for (int i = 0; i < 4; ++i) {
            const QString n = QString::number(i + 1);
            QVBoxLayout* g = GroupColumn(Group(page, ("GB_FTFileType" + n.toLatin1()).constData(),
                                               QStringLiteral(" Fixed file type ") + n + QStringLiteral(":  ")));
            QHBoxLayout* typeRow = Row(g);
            Label(typeRow, ("L_FTFileType" + n.toLatin1()).constData(), QStringLiteral("File type:"));
            QComboBox* box = Combo(typeRow, ("CB_FTFileType" + n.toLatin1()).constData(), kinds, 230);
            box->setMaxVisibleItems(9);
            box->setProperty("Tag", i);
            typeRow->addStretch();
            QHBoxLayout* masksRow = Row(g);
            Label(masksRow, ("L_FTFiles" + n.toLatin1()).constData(), QStringLiteral("Files:"));
            QLineEdit* masks = Edit(masksRow, ("E_FTFiles" + n.toLatin1()).constData());
            masks->setToolTip(QStringLiteral(" File name masks, separated by \";\" (e.g. *.log;*.txt) "));
            CB_FTFileType[size_t(i)] = box;
            E_FTFiles[size_t(i)] = masks;
            connect(box, &QComboBox::currentIndexChanged, this, [this, box] { CB_FTFileTypeClick(box); });
        }
        page->addStretch();
    }
}

// ---- page 1 -------------------------------------------------------------------------

void TF_SettingsNew::CB_DetailsPanelClick() {
    CB_GSShowDPRuler->setEnabled(CB_DetailsPanel->isChecked());
}

void TF_SettingsNew::cbGSShowHintsClick() {
    cbGSShowHintDB->setEnabled(cbGSShowHints->isChecked());
}

void TF_SettingsNew::CB_GSShowDiffBarClick() {
    const bool on = CB_GSShowDiffBar->isChecked();
    L_TNBarWidthTxt->setEnabled(on);
    E_GSTNBarWidth->setEnabled(on);
}

void TF_SettingsNew::RB_MetricUnitsClick() {
    CB_MetricPrefixAlways->setEnabled(RB_BinaryUnits->isChecked());
}

void TF_SettingsNew::CB_MetricPrefixAlwaysClick() {
    RB_BinaryUnits->setText(CB_MetricPrefixAlways->isChecked() ? kBinaryUnitsMetric : kBinaryUnitsIec);
}

void TF_SettingsNew::RB_DTFxClick(QObject* sender) {
    if (sender) dateFormatIdx = sender->property("Tag").toInt();
}

void TF_SettingsNew::showTimeExamples() {
    ui::LockWindowRedraw(GB_DateTime);
    const access::FileTime now = access::FZDateTimeToFileTime(QDateTime::currentDateTime());
    for (int i = 0; i < 4; ++i) RB_DTF[size_t(i)]->setText(QStringLiteral(" ") + access::FZFileTimeTextIn(now, i));
    ui::UnlockWindowRedraw(GB_DateTime, ui::RDW_INVALIDATE | ui::RDW_ALLCHILDREN);
}

void TF_SettingsNew::timDateTimeTimer() {
    // Only a shown page needs the clock; elsewhere the repaint is waste.
    if (SelectedPage() == 1) showTimeExamples();
}

void TF_SettingsNew::pickFolder(QLineEdit* field, const QString& title) {
    QString folder = field->text();
    if (SelectFolderDialog(title, QString(), folder, false, false, true)) field->setText(folder);
}

void TF_SettingsNew::fbSetTempPathClick() {
    pickFolder(E_GSTempPath, QStringLiteral("Select a temp folder"));
}

void TF_SettingsNew::fbBKFolderClick() {
    pickFolder(E_BKFolder, QStringLiteral("Select a backup folder"));
}

void TF_SettingsNew::fbBKArcFolderClick() {
    pickFolder(E_BKArcFolder, QStringLiteral("Select a backup folder for files in archives"));
}

void TF_SettingsNew::fbBKFTPFolderClick() {
    pickFolder(E_BKFTPFolder, QStringLiteral("Select a backup folder for FTP files"));
}

void TF_SettingsNew::fbBKDBOFolderClick() {
    pickFolder(E_BKDBOFolder, QStringLiteral("Select a backup folder for files on Dropbox"));
}

// ---- page 6 -------------------------------------------------------------------------

void TF_SettingsNew::cbTEEnabledClick() {
    CB_TETrimWSEOL->setEnabled(cbTEEnabled->isChecked());
}

void TF_SettingsNew::CB_TEEnableLinksClick() {
    CB_TELinkDblClk->setEnabled(CB_TEEnableLinks->isChecked());
}

bool TF_SettingsNew::pickExternalProgram(ui::TFlatButton2* button, QLineEdit* field) {
    // Any file may be a program here; there is no extension to offer.
    const QString chosen =
        QFileDialog::getOpenFileName(this, button->toolTip(), config::ExtractPathWithDelim(field->text()));
    if (chosen.isEmpty()) return false;
    field->setText(chosen);
    return true;
}

void TF_SettingsNew::fbTEFindEditor1Click() {
    pickExternalProgram(fbTEFindEditor1, E_TEExtEditor1);
}

void TF_SettingsNew::fbTEFindEditor2Click() {
    pickExternalProgram(fbTEFindEditor2, E_TEExtEditor2);
}

void TF_SettingsNew::lTEAndOrMouseDown(QLabel* label, int x) {
    int tag = label->property("Tag").toInt();
    if (x > 0) tag = (tag + 1) & 1;
    label->setProperty("Tag", tag);
    label->setText(tag == 0 ? QStringLiteral("AND...") : QStringLiteral("OR..."));
}

void TF_SettingsNew::lTEHideLnMouseDown(QLabel* label, int x) {
    int tag = label->property("Tag").toInt();
    if (x > 0) tag = tag == 0 ? 1 : 0;
    label->setProperty("Tag", tag);
    QString caption = label->text();
    const QString notWord = QStringLiteral("NOT ");
    const qsizetype at = caption.indexOf(notWord);
    if (tag != 0 && at < 0) caption.insert(3, notWord);
    if (tag == 0 && at >= 0) caption.remove(at, notWord.size());
    label->setText(caption);
    ui::SetLabelColor(label, tag != 0 ? 0x0000FF : 0x000000);
}

void TF_SettingsNew::lTEHideLnStartClick() {
    cbTEHideLnStart->toggle();
    update_AND_OR_Logic();
}

void TF_SettingsNew::lTEHideLnWithClick() {
    cbTEHideLnWith->toggle();
    update_AND_OR_Logic();
}

void TF_SettingsNew::lTEHideLnEndClick() {
    cbTEHideLnEnd->toggle();
    update_AND_OR_Logic();
}

void TF_SettingsNew::update_AND_OR_Logic() {
    const bool start = cbTEHideLnStart->isChecked();
    const bool with = cbTEHideLnWith->isChecked();
    const bool end = cbTEHideLnEnd->isChecked();
    const bool first = start && with;
    const bool second = end && (start || with);
    lTEAndOr1->setEnabled(first);
    lTEAndOr1->setToolTip(first ? kAndOrHint : QString());
    lTEAndOr2->setEnabled(second);
    lTEAndOr2->setToolTip(second ? kAndOrHint : QString());
    E_TEHideTxStart->setEnabled(start);
    E_TEHideTxWith->setEnabled(with);
    E_TEHideTxEnd->setEnabled(end);
}

// ---- page 7 -------------------------------------------------------------------------

void TF_SettingsNew::CB_FTFileTypeClick(QObject* sender) {
    const int row = sender ? sender->property("Tag").toInt() : -1;
    if (row < 0 || row > 3) return;
    E_FTFiles[size_t(row)]->setEnabled(CB_FTFileType[size_t(row)]->currentIndex() > 0);
}

// ---- colour panels (pages 6 and 11) ----------------------------------------------------------

void TF_SettingsNew::pICEqColClick(QWidget* panel) {
    const QColor chosen = QColorDialog::getColor(panel->palette().color(QPalette::Window), this);
    if (!chosen.isValid()) return;
    ui::SetPanelColor(panel, ui::TColor(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16)));
}

}  // namespace tandex::settings
