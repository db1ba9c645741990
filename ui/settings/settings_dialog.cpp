// The settings dialog's frame: page tree, title with help, button row, the
// opening that copies every setting into its control, page selection from
// other windows with the pointer pulse, closing and the look.

#include "settings_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include "access/file_ops.h"
#include "config/color_sets.h"
#include "config/ftp_profiles.h"
#include "config/num_format.h"
#include "config/scrambler.h"
#include "config/sys_helpers.h"
#include "engine/fuzzy_similarity.h"
#include "ui/main/flat_button.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/print_seams.h"

namespace tandex::settings {

namespace {

// Sizes in 96-dpi pixels; the page size is fixed, the rest is ours.
constexpr int kTreeWidth = 171;
constexpr int kTitleHeight = 36;
constexpr int kControlHeight = 45;
constexpr int kPageWidth = 490;
constexpr int kPageHeight = 440;
constexpr int kLogoSize = 72;
constexpr int kLogoList = 72;

QPointer<TF_SettingsNew>& instance() {
    static QPointer<TF_SettingsNew> dialog;
    return dialog;
}

struct TPageNode {
    const char* caption;
    int parent;
};

// Tree order is page order: a node's pre-order index is its page.
constexpr TPageNode kPageNodes[kSettingsPages] = {
    {"Startup", -1},       {"General", -1},        {"Backups", 1},        {"Advanced", 2},
    {"Confirmations", 1},  {"Display & Printer", 1}, {"Text Editor", 1},  {"Fixed File Types", 1},
    {"Folder Compare", -1}, {"Text Compare", -1},  {"Binary Compare", -1}, {"Image Compare", -1},
    {"Copy files", -1},    {"FTP Profiles", -1},   {"Protocol", 13},      {"General", 13},
    {"Proxy", -1},         {"Archives", -1},       {"Dropbox", -1},       {"Plug-ins", -1},
    {"Error Handling", -1}, {"Tweaks", -1},
};

quint32 resolvedColor(quint32 color) {
    return color >= config::kSysColorRefBase ? config::SystemColor(int(color - config::kSysColorRefBase)) : color;
}

void setTextColor(QWidget* widget, ui::TColor color) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, ui::ToQColor(color));
    widget->setPalette(p);
}

}  // namespace

TF_SettingsNew* F_SettingsNew() {
    return instance().data();
}

TF_SettingsNew* OpenSettingsDialog(ui::TF_Main* main) {
    if (TF_SettingsNew* open = F_SettingsNew()) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* dialog = new TF_SettingsNew(main, main);
    instance() = dialog;
    dialog->show();
    return dialog;
}

TF_SettingsNew::TF_SettingsNew(ui::TF_Main* main, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), main_(main) {
    setObjectName(QStringLiteral("F_SettingsNew"));
    setWindowTitle(QStringLiteral(" Settings "));
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);
    createFrame();
    createTree();
    createPagesGeneral();
    createPagesCompare();
    createPagesOther();

    timDateTime = new QTimer(this);
    timDateTime->setObjectName(QStringLiteral("timDateTime"));
    timDateTime->setInterval(1000);
    connect(timDateTime, &QTimer::timeout, this, &TF_SettingsNew::timDateTimeTimer);
    timDBLogin = new QTimer(this);
    timDBLogin->setObjectName(QStringLiteral("timDBLogin"));
    timColor = new QTimer(this);
    timColor->setObjectName(QStringLiteral("timColor"));
    timColor->setInterval(100);
    connect(timColor, &QTimer::timeout, this, &TF_SettingsNew::timColorTimer);

    FormCreate();
    timDateTime->start();
}

TF_SettingsNew::~TF_SettingsNew() = default;

// ---- frame ------------------------------------------------------------------------

ui::TFlatButton2* TF_SettingsNew::frameButton(QWidget* parent, const char* name, const QString& caption,
                                               int width) {
    auto* b = new ui::TFlatButton2(parent);
    b->setObjectName(QLatin1String(name));
    b->SetCaption(caption);
    b->SetWidth(width);
    b->SetHeight(27);
    b->SetFlatStyle(ui::FS_SHOWBORDER);
    b->LoadBMPFunc = [this](int size, int index, QImage& bitmap) {
        return fbNewProfileLoadBMPFunc(size, index, bitmap);
    };
    return b;
}

void TF_SettingsNew::createFrame() {
    using config::ScaleDpi;
    const int pagesLeft = ScaleDpi(kTreeWidth) - 1;
    const int pagesTop = ScaleDpi(kTitleHeight) - 1;
    const int pageW = ScaleDpi(kPageWidth), pageH = ScaleDpi(kPageHeight);
    const int clientW = pagesLeft + pageW - 1;
    const int clientH = ScaleDpi(kTitleHeight) + pageH + ScaleDpi(kControlHeight) - 1;
    setFixedSize(clientW, clientH);

    P_TreeSelect = new QWidget(this);
    P_TreeSelect->setObjectName(QStringLiteral("P_TreeSelect"));
    P_TreeSelect->setGeometry(0, 0, ScaleDpi(kTreeWidth), pagesTop + pageH);
    TV_Select = new QTreeWidget(P_TreeSelect);
    TV_Select->setObjectName(QStringLiteral("TV_Select"));
    TV_Select->setHeaderHidden(true);
    TV_Select->setRootIsDecorated(true);
    TV_Select->setIndentation(ScaleDpi(14));
    TV_Select->setGeometry(ScaleDpi(4), ScaleDpi(4), ScaleDpi(kTreeWidth) - ScaleDpi(8),
                           pagesTop + pageH - ScaleDpi(kLogoSize) - ScaleDpi(14));
    Image1 = new QLabel(P_TreeSelect);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setGeometry((ScaleDpi(kTreeWidth) - ScaleDpi(kLogoSize)) / 2,
                        pagesTop + pageH - ScaleDpi(kLogoSize) - ScaleDpi(6), ScaleDpi(kLogoSize),
                        ScaleDpi(kLogoSize));

    P_Title = new QLabel(this);
    P_Title->setObjectName(QStringLiteral("P_Title"));
    P_Title->setGeometry(pagesLeft, 0, pageW, ScaleDpi(kTitleHeight));
    P_Title->setTextFormat(Qt::PlainText);
    P_Title->setAutoFillBackground(true);
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    titleFont.setPixelSize(ScaleDpi(17));
    P_Title->setFont(titleFont);
    fbHelp = frameButton(P_Title, "fbHelp", QStringLiteral("?"), 28);
    fbHelp->SetHeight(26);
    fbHelp->ResetSize();
    fbHelp->move(pageW - fbHelp->width() - ScaleDpi(6), (ScaleDpi(kTitleHeight) - fbHelp->height()) / 2);
    fbHelp->OnClick = [this](QObject*) { fbHelpClick(); };
    // The title reads like a menu caption: "&&" shows one "&".
    P_Title->setBuddy(fbHelp);

    P_Pages = new QStackedWidget(this);
    P_Pages->setObjectName(QStringLiteral("P_Pages"));
    P_Pages->setGeometry(pagesLeft, pagesTop, pageW, pageH);
    P_Pages->setFrameShape(QFrame::StyledPanel);
    // The pages hold many controls each; a slightly smaller font keeps
    // them apart on the fixed page size.
    QFont pageFont = QApplication::font();
    pageFont.setPixelSize(ScaleDpi(11));
    P_Pages->setFont(pageFont);

    P_Control = new QWidget(this);
    P_Control->setObjectName(QStringLiteral("P_Control"));
    P_Control->setGeometry(0, pagesTop + pageH, clientW, clientH - pagesTop - pageH);
    P_Control->setAutoFillBackground(true);
    L_Tandex = ui::MakeFormLabel(P_Control, "L_Tandex", ui::ScaledRect(10, 5, 150, 18), true);
    L_Tandex->setText(QStringLiteral("Tandex"));
    L_Version = ui::MakeFormLabel(P_Control, "L_Version", ui::ScaledRect(10, 23, 150, 16));
    fbApply = frameButton(P_Control, "fbApply", QStringLiteral("Apply"), 88);
    fbOk = frameButton(P_Control, "fbOk", QStringLiteral("Ok"), 88);
    fbCancel = frameButton(P_Control, "fbCancel", QStringLiteral("Cancel"), 88);
    const int buttonTop = (P_Control->height() - ScaleDpi(27)) / 2;
    fbApply->move(pagesLeft, buttonTop);
    fbOk->move(pagesLeft + fbApply->Width() + ScaleDpi(25), buttonTop);
    fbCancel->move(clientW - fbCancel->Width() - ScaleDpi(12), buttonTop);
    fbCancel->OnClick = [this](QObject*) { fbCancelClick(); };
    // Storing the pages comes with the apply; until then only "Cancel" ends.
    fbApply->SetEnabled(false);
    fbOk->SetEnabled(false);
}

void TF_SettingsNew::createTree() {
    std::array<QTreeWidgetItem*, kSettingsPages> nodes{};
    tweaks_ = ui::commandLine().GetParamAsTyped(1) == QLatin1String("tweak");
    const int count = tweaks_ ? kSettingsPages : kTweaksPage;
    for (int page = 0; page < count; ++page) {
        const TPageNode& n = kPageNodes[page];
        const QStringList caption{QLatin1String(n.caption)};
        nodes[size_t(page)] = n.parent < 0 ? new QTreeWidgetItem(TV_Select, caption)
                                           : new QTreeWidgetItem(nodes[size_t(n.parent)], caption);
    }
    TV_Select->expandAll();
    // Collapsing would hide pages that other windows select by number.
    TV_Select->setItemsExpandable(false);
    connect(TV_Select, &QTreeWidget::currentItemChanged, this, [this] { TV_SelectClick(); });
}

QWidget* TF_SettingsNew::newPage(int page, const char* name) {
    auto* panel = new QWidget;
    panel->setObjectName(QLatin1String(name));
    pagePanels[size_t(page)] = panel;
    // The pages are made in page order, so the stack's index is the page.
    P_Pages->insertWidget(page, panel);
    return panel;
}

QWidget* TF_SettingsNew::emptyPage(int page, const char* name) {
    return newPage(page, name);
}

// A caption wider than the room its page gives it shrinks its font until it
// fits, so that no page shows a cut-off text whatever the system's font.
void TF_SettingsNew::fitPage(QWidget* page) {
    for (int pass = 0; pass < 8; ++pass) {
        if (page->layout()) page->layout()->activate();
        bool changed = false;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            const bool caption = qobject_cast<QAbstractButton*>(w) && !qobject_cast<ui::TFlatButton2*>(w);
            auto* label = qobject_cast<QLabel*>(w);
            if (!caption && !(label && !label->wordWrap() && !label->text().isEmpty())) continue;
            // Within the page's margin and that of the box that holds it;
            // a box wider than the page cannot be trusted to tell.
            const bool boxed = w->parentWidget() != page;
            const int right = config::ScaleDpi(boxed ? 20 : 10);
            const int room = qMin(w->width(), page->width() - w->mapTo(page, QPoint(0, 0)).x() - right);
            if (w->sizeHint().width() <= room) continue;
            QFont f = w->font();
            if (f.pixelSize() < 0) f.setPixelSize(QFontInfo(f).pixelSize());
            while (f.pixelSize() > 8 && w->sizeHint().width() > room) {
                f.setPixelSize(f.pixelSize() - 1);
                w->setFont(f);
            }
            changed = true;
        }
        if (!changed) break;
    }
}

void TF_SettingsNew::FormCreate() {
    auto& s = config::AppSettings();
    if (s.SFT < 0 && main_) {
        const QPoint at = main_->defaultFormPos(this);
        s.SFL = at.x();
        s.SFT = at.y();
    }
    if (s.SFT >= 0) move(s.SFL, s.SFT);
    for (ui::TFlatButton2* b : findChildren<ui::TFlatButton2*>()) {
        if (!b->LoadBMPFunc)
            b->LoadBMPFunc = [this](int size, int index, QImage& bitmap) {
                return fbNewProfileLoadBMPFunc(size, index, bitmap);
            };
        b->ResetSize();
    }

    // The Tweaks page of an earlier run is not there without "tweak".
    const int page = nodeOfPage(s.SUSettingPage) ? s.SUSettingPage : 0;
    if (QTreeWidgetItem* node = nodeOfPage(page)) {
        const QSignalBlocker block(TV_Select);
        TV_Select->setCurrentItem(node);
    }
    TV_SelectClick();

    L_Version->setText(QStringLiteral("Version ") + config::CurrentVersion());
    lTEMaxColumns->setText(QStringLiteral("Max columns per line (Range: 64 .. ") + QStringLiteral("8192") +
                           QStringLiteral("):"));
    ftpTestState = 1;

    const bool sse42 = (config::Helpers().CpuIdLeaf1[1] >> 20) & 1;
    cbUseSSE42->setEnabled(sse42);
    cbUseSSE42->setChecked(config::UseSSE42() != 0);

    const engine::FuzzyStatistics& f = engine::fuzzyProcessor().FuzzyStats;
    auto grouped = [](qint32 n) { return config::IntToGroupedStr(n, 0, true); };
    // A label breaks its lines at "\n" only.
    lFuzzy->setText(QStringLiteral("Fuzzy matches:\t\t") + grouped(f.MemoHits) + QStringLiteral("\nFuzzy mismatches:\t") +
                    grouped(f.Evaluations) + QStringLiteral("\nFuzzy skipps:\t\t") + grouped(f.BandSkips) +
                    QStringLiteral("\nFuzzy claculations:\t") + grouped(f.DistanceComputations) +
                    QStringLiteral("\nFuzzy comparisons:\t") + grouped(f.MemoHits + f.Evaluations));

    openKeys();
    showTimeExamples();
    // Folders are read the same way on every version of this system.
    L_W7->setText(QStringLiteral("7"));
    access::FZSetLargeFetch(s.TSLargeFetch);
    ApplyTheme();
}

void TF_SettingsNew::openKeys() {
    for (const TKeyDescriptor& d : SettingsKeys())
        if (!(d.followUp & fuAtOnce)) openKey(d);
    // The dependent controls follow the values now set, whether or not a
    // value changed a box.
    runOpeningHandlers();
}

void TF_SettingsNew::openKey(const TKeyDescriptor& d) {
    auto& s = config::AppSettings();
    const QString name = QLatin1String(d.control);
    switch (d.kind) {
        case kkCheck:
            if (auto* box = findChild<QCheckBox*>(name)) box->setChecked((KeyInt(d, s) != 0) != d.inverted);
            break;
        case kkRadio: {
            const QStringList buttons = name.split(QLatin1Char(';'));
            const QStringList values = QLatin1String(d.values).toString().split(QLatin1Char(';'));
            int index = int(values.indexOf(QString::number(KeyInt(d, s))));
            if (index < 0) index = d.fallback;
            if (auto* button = findChild<QRadioButton*>(buttons.value(index))) button->setChecked(true);
            break;
        }
        case kkItemIndex:
            if (auto* box = findChild<QComboBox*>(name)) box->setCurrentIndex(KeyInt(d, s));
            break;
        case kkNumber:
        case kkText:
            if (auto* edit = findChild<QLineEdit*>(name)) edit->setText(KeyText(d, s));
            break;
        case kkPassword:
            if (auto* edit = findChild<QLineEdit*>(name)) edit->setText(config::UnscrambleText(KeyText(d, s)));
            break;
        case kkColor:
            if (auto* panel = findChild<QWidget*>(name)) ui::SetPanelColor(panel, ui::TColor(KeyInt(d, s)));
            break;
        case kkLabelTag:
            if (auto* label = findChild<QLabel*>(name)) label->setProperty("Tag", KeyInt(d, s) != 0 ? 1 : 0);
            break;
    }
}

void TF_SettingsNew::runOpeningHandlers() {
    for (QLabel* label : {lTEAndOr1, lTEAndOr2}) lTEAndOrMouseDown(label, 0);
    for (QLabel* label : {lTEHideLnStart, lTEHideLnWith, lTEHideLnEnd}) lTEHideLnMouseDown(label, 0);
    update_AND_OR_Logic();
    CB_TEEnableLinksClick();
    cbTEEnabledClick();
    CB_DetailsPanelClick();
    cbGSShowHintsClick();
    CB_GSShowDiffBarClick();
    CB_MetricPrefixAlwaysClick();
    RB_MetricUnitsClick();
    CB_FCAutoExpAllClick();
    CB_IgnAllBlClick();
    CB_ShowICOClick();
    CB_ProxyEnableClick();
    CB_HideProxyHttpPWClick();
    CB_HideProxyFtpPWClick();
    CB_ZIPEncryptionClick();
    CB_ZIPHidePWClick();
    for (QComboBox* row : CB_FTFileType) CB_FTFileTypeClick(row);
    for (int i = 0; i < 4; ++i)
        if (RB_DTF[size_t(i)]->isChecked()) dateFormatIdx = i;
}

void TF_SettingsNew::FormShow() {
    fbOk->setFocus(Qt::OtherFocusReason);
}

void TF_SettingsNew::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
    fitShownPage();
}

// ---- page selection -----------------------------------------------------------------

int TF_SettingsNew::absoluteIndex(const QTreeWidgetItem* item) const {
    int index = 0;
    for (QTreeWidgetItemIterator it(TV_Select); *it; ++it, ++index)
        if (*it == item) return index;
    return -1;
}

QTreeWidgetItem* TF_SettingsNew::nodeOfPage(int page) const {
    if (page < 0) return nullptr;
    QTreeWidgetItemIterator it(TV_Select);
    for (int i = 0; *it && i < page; ++i) ++it;
    return *it;
}

int TF_SettingsNew::SelectedPage() const {
    return qMax(absoluteIndex(TV_Select->currentItem()), 0);
}

QString TF_SettingsNew::profileNameForTitle() const {
    return config::FtpProfileField(config::AppSettings().FTPProfIdx, 0);
}

void TF_SettingsNew::TV_SelectClick() {
    const QTreeWidgetItem* node = TV_Select->currentItem();
    const int page = qMax(absoluteIndex(node), 0);
    P_Pages->setCurrentIndex(page);

    pagePath = node ? node->text(0) : QString();
    for (const QTreeWidgetItem* up = node ? node->parent() : nullptr; up; up = up->parent())
        pagePath = up->text(0) + QStringLiteral(" -> ") + pagePath;
    fbHelp->setToolTip(QStringLiteral(" Click to get help for '") + pagePath + QStringLiteral("' "));

    QString shown = pagePath;
    if (const qsizetype amp = shown.indexOf(QLatin1Char('&')); amp >= 0) shown.insert(amp, QLatin1Char('&'));
    QString title = QStringLiteral("   ") + shown;
    if (page == 14) {
        QString name = profileNameForTitle();
        if (name.size() > 23) name = name.left(23) + QStringLiteral("...");
        title += QStringLiteral("  [") + name + QStringLiteral("]");
    }
    P_Title->setText(title);
    fitShownPage();
}

void TF_SettingsNew::fitShownPage() {
    // Layouts place the controls of a shown page only.
    const int page = P_Pages->currentIndex();
    if (!isVisible() || page < 0 || page >= kSettingsPages || fitted_[size_t(page)]) return;
    fitted_[size_t(page)] = true;
    fitPage(pagePanels[size_t(page)]);
}

void TF_SettingsNew::SelectPage(int page, quint8 pulse) {
    // The previous target turns white at once; the next tick stops the timer.
    if (timColor->isActive()) {
        pulseColor = 0xFEFEFE;
        timColorTimer();
    }
    config::AppSettings().SUSettingPage = page;
    if (QTreeWidgetItem* node = nodeOfPage(page)) {
        const QSignalBlocker block(TV_Select);
        TV_Select->setCurrentItem(node);
    }
    TV_SelectClick();
    if (pulse != 0) {
        pulseTarget = pulse;
        pulseColor = kPulseStart;
        timColor->start();
        timColorTimer();
    }
}

QWidget* TF_SettingsNew::pulseWidget(int target) const {
    switch (target) {
        case 1: return gbFuzzy;
        case 2: return GB_HideShowLines;
        case 3: return pTEEnabled;
        default: return nullptr;
    }
}

void TF_SettingsNew::setPulseColor(int target, quint32 color) {
    if (QWidget* w = pulseWidget(target)) ui::SetPanelColor(w, color);
}

void TF_SettingsNew::timColorTimer() {
    if (pulseColor == kPulseEnd) {
        timColor->stop();
        return;
    }
    pulseColor = config::ColorAddSat(pulseColor, 0x010101);
    setPulseColor(pulseTarget, pulseColor);
}

// ---- help ---------------------------------------------------------------------------

void TF_SettingsNew::fbHelpClick() {
    ui::ShowHelpTopic(QStringLiteral("Settings: ") + pagePath);
}

void TF_SettingsNew::lTCFPTimeClick() {
    ui::ShowHelpTopic(QStringLiteral("Settings: ") + pagePath + QStringLiteral(" => \u2022 ") + lTCFPTime->text());
}

void TF_SettingsNew::L_SSLDLLsNotFoundClick() {
    ui::ShowHelpTopic(QStringLiteral("OpenSSL libraries not found!"));
}

// ---- buttons that reach the main window ------------------------------------------

void TF_SettingsNew::BB_ColorsClick() {
    if (main_) main_->mmColors1Click(nullptr);
}

void TF_SettingsNew::BB_FontClick() {
    if (main_) main_->mmScreenFont1Click(nullptr);
}

void TF_SettingsNew::BB_PrnFontClick() {
    if (main_) main_->mmPrinterFont1Click(nullptr);
}

void TF_SettingsNew::fbQFCOptsClick() {
    setEnabled(false);
    ui::folderView().Execute(true, 1112);
    setEnabled(true);
}

bool TF_SettingsNew::fbNewProfileLoadBMPFunc(int size, int index, QImage& bitmap) const {
    return main_ && main_->loadBMPFunc(size, index, bitmap);
}

// ---- closing --------------------------------------------------------------------------

void TF_SettingsNew::fbCancelClick() {
    if (closed_) return;
    closed_ = true;
    timDateTime->stop();
    timDBLogin->stop();
    timColor->stop();
    auto& s = config::AppSettings();
    s.SFL = x();
    s.SFT = y();
    s.SUSettingPage = SelectedPage();
    if (instance() == this) instance() = nullptr;
    hide();
    deleteLater();
    if (main_) {
        main_->enableUI();
        main_->refocusMain();
    }
}

void TF_SettingsNew::closeEvent(QCloseEvent* event) {
    fbCancelClick();
    event->accept();
}

void TF_SettingsNew::reject() {
    fbCancelClick();
}

// ---- look -------------------------------------------------------------------------------

void TF_SettingsNew::ApplyTheme() {
    const bool flat = config::FlatLook() != 0;
    for (ui::TFlatButton2* b : findChildren<ui::TFlatButton2*>()) b->SetFlat(flat);

    Image1->setFixedSize(config::ScaleDpi(kLogoSize), config::ScaleDpi(kLogoSize));
    QImage logo;
    if (fbNewProfileLoadBMPFunc(kLogoList, 0, logo) && !logo.isNull())
        Image1->setPixmap(QPixmap::fromImage(logo.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    ui::TColor titleFont = 0x000000;
    ui::TColor title = 0xE0E0E0;
    if (flat) {
        const auto& s = config::AppSettings();
        const int set = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
        titleFont = 0xFFFFFF;
        title = resolvedColor(s.ColorSets[size_t(set)][config::TBEndCol]);
        fbHelp->SetBgColorFlat(title);
        ui::SetPanelColor(P_Control, 0xF0F0F0);
    } else {
        ui::SetPanelColor(P_Control, 0xE0E0E0);
    }
    ui::SetPanelColor(P_Title, title);
    setTextColor(P_Title, titleFont);
    setTextColor(fbHelp, titleFont);
    // The face is drawn once per change; the caption colour is one.
    fbHelp->SetFont(fbHelp->Font());
    fbHelp->update();
}

// ---- shared by the pages --------------------------------------------------------------

QString TF_SettingsNew::rangeTextOf(const TKeyDescriptor& d) const {
    const QString range = QLatin1String(d.range);
    if (!range.startsWith(QLatin1Char('@'))) return range;
    QString text;
    for (const QString& name : range.mid(1).split(QLatin1Char(';'))) {
        if (auto* label = findChild<QLabel*>(name))
            text += label->text();
        else if (auto* widget = findChild<QWidget*>(name))
            text += widget->toolTip();
    }
    return text;
}

bool TF_SettingsNew::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) return QDialog::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const int x = qMax(1, int(mouse->position().x()));
    if (watched == lTCFPTime && mouse->button() == Qt::LeftButton) {
        lTCFPTimeClick();
        return true;
    }
    if (watched == lTEAndOr1 || watched == lTEAndOr2) {
        if (mouse->button() == Qt::RightButton) lTEAndOrMouseDown(static_cast<QLabel*>(watched), x);
        return true;
    }
    if (watched == lTEHideLnStart || watched == lTEHideLnWith || watched == lTEHideLnEnd) {
        auto* label = static_cast<QLabel*>(watched);
        if (mouse->button() == Qt::RightButton)
            lTEHideLnMouseDown(label, x);
        else if (mouse->button() == Qt::LeftButton)
            label == lTEHideLnStart ? lTEHideLnStartClick()
            : label == lTEHideLnWith ? lTEHideLnWithClick()
                                     : lTEHideLnEndClick();
        return true;
    }
    if (mouse->button() == Qt::LeftButton && watched->property("ColorPanel").toBool()) {
        pICEqColClick(static_cast<QWidget*>(watched));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tandex::settings
