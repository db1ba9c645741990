// The folder window's controls, their places and looks, the pictures, and
// the "More Settings" bar that slides the control panel over the settings
// that are hidden by default.

#include "ui/folders/cmp_folder.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/graph_win.h"
#include "ui/folders/more_filters.h"
#include "ui/main/command_windows.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"

namespace tandex::folders {

using ui::MakeFormLabel;
using ui::ScaledRect;

namespace {

using ui::named;

// Pictures: the source icons of the 16-pixel list (0 local .. 3 cloud), the
// vertical swap arrows beside them, the folder pictures of the 128-pixel
// list (idle 0 and 2, active 1 and 3) and the equal sign of the 256-pixel
// list.
constexpr int kButtonList = 16;
constexpr int kSwapImage = 10;
constexpr int kFolderList = 128;
constexpr int kEqualList = 256;
constexpr int kEqualImage = 6;
constexpr int kFolderImageSize = 96;
constexpr int kEqualImageSize = 48;
// No filter, filters active, filters in contradiction: the "More  Filters"
// button's pictures, in that order.
constexpr int kFilterHintList = 24;

constexpr ui::TColor kSessionColor = 16769248;
constexpr ui::TColor kMoreBarIdle = 0xF8F8F8;
constexpr ui::TColor kMoreBarHot = 0xE0E0E0;
constexpr ui::TColor kMoreBarPressed = 0xC0C0C0;

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption, const QRect& r) {
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setGeometry(r);
    return box;
}

QComboBox* makeCombo(QWidget* parent, const char* name, const QRect& r) {
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    // The window keeps the histories itself: Enter must not add entries.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    box->setGeometry(r);
    return box;
}

QSlider* makeTrackBar(QWidget* parent, const char* name, int maximum, const QRect& r) {
    auto* bar = named(new QSlider(Qt::Horizontal, parent), name);
    bar->setRange(0, maximum);
    bar->setPageStep(1);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    bar->setGeometry(r);
    return bar;
}

QPixmap scaledPicture(const QImage& image, int size) {
    if (image.isNull()) return {};
    const int px = config::ScaleDpi(size);
    return QPixmap::fromImage(image.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

TCmpFolder::TCmpFolder(ui::TF_Main* main)
    : QWidget(main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint),
      main_(main) {
    setObjectName(QStringLiteral("CmpFolder"));
    setWindowTitle(QStringLiteral(" Compare Folders "));

    createInfoPanel();
    createSettingsPanel();
    createControlPanel();
    createProgressPanel();
    F_CmpSettingsExt = new TF_CmpSettingsExt(this, CB_FCExclFolders);
    F_CmpSettingsExt->OnFiltersChanged = [this](const QString& text) { FiltersChanged(text); };
    F_CmpSettingsExt->LoadBMPFunc = [this](int size, int index, QImage& bitmap) {
        return CmpLoadBMPFunc(size, index, bitmap);
    };

    timDelayedPreScan = named(new QTimer(this), "timDelayedPreScan");
    timDelayedPreScan->setSingleShot(true);
    timDelayedPreScan->setInterval(600);
    connect(timDelayedPreScan, &QTimer::timeout, this, &TCmpFolder::timDelayedPreScanTimer);
    timDispUpd = named(new QTimer(this), "timDispUpd");
    timDispUpd->setProperty("Tag", 0);
    connect(timDispUpd, &QTimer::timeout, this, &TCmpFolder::timDispUpdTimer);

    FormCreate();
}

TCmpFolder::~TCmpFolder() {
    if (pulseTarget_) {
        ui::commandWindows().SetOnPulse({});
        ui::commandWindows().EnablePulse(false);
    }
    // The walk ends before the list it appends to goes.
    preScan_.reset();
    engine::FreeScanList(scanList_);
}

ui::TFlatButton2* TCmpFolder::makeButton(QWidget* parent, const char* name, int x, int y, int width,
                                          int height) {
    auto* b = named(new ui::TFlatButton2(parent), name);
    b->move(config::ScaleDpi(x), config::ScaleDpi(y));
    b->SetWidth(width);
    b->SetHeight(height);
    b->SetFlatStyle(ui::FS_SHOWBORDER);
    b->LoadBMPFunc = [this](int size, int index, QImage& bitmap) { return CmpLoadBMPFunc(size, index, bitmap); };
    return b;
}

void TCmpFolder::createInfoPanel() {
    P_CmpInfo1 = named(new QWidget(this), "P_CmpInfo1");
    P_CmpInfo1->setGeometry(ScaledRect(0, 0, kFormWidth, kInfoHeight));
    const struct {
        QLabel*& title;
        QLabel*& value;
        const char* titleName;
        const char* valueName;
        const char* caption;
        int x, y;
    } counts[] = {
        {L_PSFileNumTxt, L_PSFileNum, "L_PSFileNumTxt", "L_PSFileNum", "Number of files to compare:", 8, 3},
        {L_PSFolderNumTxt, L_PSFolderNum, "L_PSFolderNumTxt", "L_PSFolderNum", "Number of folders to comapre:", 8,
         18},
        {L_PSFSTotTxt, L_PSFSTot, "L_PSFSTotTxt", "L_PSFSTot", "Number of bytes to compare:", 8, 33},
        {L_AFSizeTxt, L_AFSize, "L_AFSizeTxt", "L_AFSize", "Average file size:", 340, 3},
    };
    // The values start behind the longest title of their column, whatever
    // the font makes of the titles.
    int leftEnd = 0;
    for (const auto& c : counts) {
        c.title = MakeFormLabel(P_CmpInfo1, c.titleName, ScaledRect(c.x, c.y, 10, 15));
        c.title->setText(QLatin1String(c.caption));
        ui::FitLabelWidth(c.title);
        if (c.x == 8) leftEnd = std::max(leftEnd, c.title->x() + c.title->width());
    }
    const int gap = config::ScaleDpi(6);
    for (const auto& c : counts) {
        const int x = c.x == 8 ? leftEnd + gap : c.title->x() + c.title->width() + gap;
        const int right = c.title == L_PSFSTotTxt || c.x != 8 ? config::ScaleDpi(kFormWidth - 6)
                                                              : config::ScaleDpi(334);
        c.value = MakeFormLabel(P_CmpInfo1, c.valueName, QRect(x, c.title->y(), right - x, c.title->height()), true);
    }

    L_ErrorTit = MakeFormLabel(P_CmpInfo1, "L_ErrorTit", ScaledRect(8, 49, 56, 15), true);
    L_ErrorTxt = MakeFormLabel(P_CmpInfo1, "L_ErrorTxt", ScaledRect(64, 49, 504, 31), true);
    L_ErrorTxt->setWordWrap(true);
    L_ErrorTxt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    L_ErrorTit->hide();
    L_ErrorTxt->hide();
    L_PreScanTime = MakeFormLabel(P_CmpInfo1, "L_PreScanTime", ScaledRect(468, 18, 102, 15));
    L_PreScanTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TCmpFolder::createSettingsPanel() {
    P_CmpSettings = named(new QWidget(this), "P_CmpSettings");
    P_CmpSettings->setGeometry(ScaledRect(0, kInfoHeight, kFormWidth, kSettingsHeight));
    P_CmpSettings->setAutoFillBackground(true);
    QWidget* s = P_CmpSettings;

    L_SettingsTit = MakeFormLabel(s, "L_SettingsTit", ScaledRect(8, 6, 320, 18), true);
    P_Session = named(new QWidget(s), "P_Session");
    P_Session->setGeometry(ScaledRect(336, 3, 210, 24));
    L_Session = MakeFormLabel(P_Session, "L_Session", ScaledRect(0, 4, 52, 16));
    L_Session->setText(QStringLiteral(" Session:"));
    CB_Session = makeCombo(P_Session, "CB_Session", ScaledRect(52, 0, 158, 24));
    fbHelp = makeButton(s, "fbHelp", 550, 4, 20, 20);
    fbHelp->SetCaption(QStringLiteral("?"));

    L_FolderL = MakeFormLabel(s, "L_FolderL", ScaledRect(8, 34, 56, 16), true);
    CB_Folder1 = makeCombo(s, "CB_Folder1", ScaledRect(66, 30, 428, 24));
    fbOpenFolderL = makeButton(s, "fbOpenFolderL", 498, 30, 46, 24);
    L_FolderR = MakeFormLabel(s, "L_FolderR", ScaledRect(8, 62, 56, 16), true);
    CB_Folder2 = makeCombo(s, "CB_Folder2", ScaledRect(66, 58, 428, 24));
    fbOpenFolderR = makeButton(s, "fbOpenFolderR", 498, 58, 46, 24);
    fbSWAP = makeButton(s, "fbSWAP", 548, 36, 22, 40);
    fbSWAP->setToolTip(QStringLiteral(" Swap folders "));
    fbSWAP->SetListID(kButtonList);
    fbSWAP->SetImgePos(ui::IP_CENTER);

    // The source pickers: each side's split button and its popup. Only the
    // file-system picker exists so far; the others stay out of the menus.
    const char* captions[] = {"Browse File System...", "Browse FTP site...", "Browse Archive...",
                              "Browse Dropbox..."};
    for (QMenu** menu : {&pmOpenLeft, &pmOpenRight}) {
        *menu = new QMenu(this);
        (*menu)->setObjectName(menu == &pmOpenLeft ? QStringLiteral("pmOpenLeft") : QStringLiteral("pmOpenRight"));
        for (int tag = 0; tag < 4; ++tag) {
            QAction* item = (*menu)->addAction(QLatin1String(captions[tag]));
            item->setData(tag);
            item->setVisible(false);
            connect(item, &QAction::triggered, this, [this, item] { OpenFolderClick(item); });
        }
    }
    for (ui::TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR}) {
        b->SetStyle(ui::BS_SPLIT);
        b->SetListID(kButtonList);
        b->SetImageID(skFileSystem);
        b->SetPopup(b == fbOpenFolderL ? pmOpenLeft : pmOpenRight);
        b->OnClick = [this](QObject* sender) { OpenFolderClick(sender); };
    }
    fbSWAP->OnClick = [this](QObject*) { fbSWAPClick(); };

    // The pair-list controls keep their values in the sessions and
    // histories; the pair-list mode that shows them is not offered yet.
    CB_UseFPL = makeCheckBox(s, "CB_UseFPL", QStringLiteral("Use a Folder Pair List (FPL)"),
                             ScaledRect(300, 86, 220, 18));
    CB_UseFPL->hide();
    CB_FolderPairList = makeCombo(s, "CB_FolderPairList", ScaledRect(66, 30, 428, 24));
    CB_FolderPairList->hide();
    L_Params = MakeFormLabel(s, "L_Params", ScaledRect(8, 62, 56, 16), true);
    L_Params->setText(QStringLiteral("Params:"));
    L_Params->hide();
    M_FParList = named(new QPlainTextEdit(s), "M_FParList");
    M_FParList->setGeometry(ScaledRect(66, 58, 428, 77));
    M_FParList->hide();

    L_IncludePat = MakeFormLabel(s, "L_IncludePat", ScaledRect(8, 90, 272, 16));
    L_IncludePat->setText(QStringLiteral("File include filter (* = all):"));
    CB_IncludePat = makeCombo(s, "CB_IncludePat", ScaledRect(8, 107, 272, 24));
    L_ExcludePat = MakeFormLabel(s, "L_ExcludePat", ScaledRect(292, 90, 276, 16));
    L_ExcludePat->setText(QStringLiteral("File exclude filter:"));
    CB_ExcludePat = makeCombo(s, "CB_ExcludePat", ScaledRect(292, 107, 278, 24));
    for (QComboBox* box : {CB_IncludePat, CB_ExcludePat})
        box->setToolTip(QStringLiteral(" Up to 20 patterns separated by \";\" "));
    // The more-filters panel shows this one; the window keeps its history.
    CB_FCExclFolders = makeCombo(this, "CB_FCExclFolders", QRect());
    CB_FCExclFolders->hide();

    CB_SubFolder = makeCheckBox(s, "CB_SubFolder", QStringLiteral("Compare subfolders"), ScaledRect(8, 138, 170, 20));
    CB_ChkDate =
        makeCheckBox(s, "CB_ChkDate", QStringLiteral("Compare file timestamp"), ScaledRect(188, 138, 184, 20));
    CB_Folder1Only = makeCheckBox(s, "CB_Folder1Only", QStringLiteral("Consider only the left side"),
                                  ScaledRect(380, 138, 190, 20));

    L_CompareMode = MakeFormLabel(s, "L_CompareMode", ScaledRect(8, 166, 96, 16));
    L_CompareMode->setText(QStringLiteral("Compare mode:"));
    TB_FCC = makeTrackBar(s, "TB_FCC", kContentModeMax, ScaledRect(104, 160, 250, 26));
    L_ContentCheck = MakeFormLabel(s, "L_ContentCheck", ScaledRect(362, 166, 208, 16), true);

    pMoreSettings = named(new QWidget(s), "pMoreSettings");
    pMoreSettings->setGeometry(ScaledRect(0, kMoreBarTop, kFormWidth, kMoreBarHeight));
    pMoreSettings->setCursor(Qt::PointingHandCursor);
    L_MoreSettings = MakeFormLabel(pMoreSettings, "L_MoreSettings", ScaledRect(0, 1, kFormWidth, 16), true);
    L_MoreSettings->setAlignment(Qt::AlignCenter);
    IMG_MoreL = MakeFormLabel(pMoreSettings, "IMG_MoreL", ScaledRect(200, 4, 10, 10));
    IMG_MoreR = MakeFormLabel(pMoreSettings, "IMG_MoreR", ScaledRect(365, 4, 10, 10));
    for (QWidget* w : {static_cast<QWidget*>(pMoreSettings), static_cast<QWidget*>(L_MoreSettings),
                       static_cast<QWidget*>(IMG_MoreL), static_cast<QWidget*>(IMG_MoreR)})
        w->installEventFilter(this);
    setMoreSettingsBarColor(kMoreBarIdle);

    // Below the bar: what "More Settings" reveals.
    GB_FileAttributes = named(new QGroupBox(QStringLiteral(" Compare file attributes "), this), "GB_FileAttributes");
    GB_FileAttributes->setGeometry(ScaledRect(8, 300, 190, 50));
    const struct {
        QCheckBox*& box;
        const char* name;
        const char* caption;
        int x;
    } attributes[] = {{CB_FCAttrHidden, "CB_FCAttrHidden", "H", 12},
                      {CB_FCAttrSystem, "CB_FCAttrSystem", "S", 56},
                      {CB_FCAttrReadOnly, "CB_FCAttrReadOnly", "R", 100},
                      {CB_FCAttrArchive, "CB_FCAttrArchive", "A", 144}};
    for (const auto& a : attributes)
        a.box = makeCheckBox(GB_FileAttributes, a.name, QLatin1String(a.caption), ScaledRect(a.x, 22, 40, 20));

    L_NumBuf = MakeFormLabel(s, "L_NumBuf", ScaledRect(212, 226, 100, 16));
    L_NumBuf->setText(QStringLiteral("File buffer size:"));
    TB_MaxBuf = makeTrackBar(s, "TB_MaxBuf", kBufferSizeMax, ScaledRect(312, 220, 170, 26));
    L_CurBufSize = MakeFormLabel(s, "L_CurBufSize", ScaledRect(488, 226, 80, 16), true);
    CB_DisRdCache =
        makeCheckBox(s, "CB_DisRdCache", QStringLiteral("Disable read cache"), ScaledRect(212, 250, 170, 20));
    CB_PerfGraph =
        makeCheckBox(s, "CB_PerfGraph", QStringLiteral("Show Compare-Rate Graph"), ScaledRect(380, 250, 190, 20));

    CB_FCLimitRecScan = makeCheckBox(s, "CB_FCLimitRecScan", QStringLiteral("Limit recursive folder scan to"),
                                     ScaledRect(8, 282, 204, 20));
    E_FCMaxDepth = named(new QLineEdit(s), "E_FCMaxDepth");
    E_FCMaxDepth->setGeometry(ScaledRect(214, 280, 30, 24));
    E_FCMaxDepth->setAlignment(Qt::AlignRight);
    UD_Level = named(new QWidget(s), "UD_Level");
    UD_Level->setGeometry(ScaledRect(244, 280, 16, 24));
    UD_Up = named(new QToolButton(UD_Level), "UD_Up");
    UD_Up->setArrowType(Qt::UpArrow);
    UD_Up->setGeometry(ScaledRect(0, 0, 16, 12));
    UD_Down = named(new QToolButton(UD_Level), "UD_Down");
    UD_Down->setArrowType(Qt::DownArrow);
    UD_Down->setGeometry(ScaledRect(0, 12, 16, 12));
    for (QToolButton* b : {UD_Up, UD_Down}) b->setAutoRepeat(true);
    L_FCLimitRecScan = MakeFormLabel(s, "L_FCLimitRecScan", ScaledRect(266, 284, 60, 16));

    // Changes by the user: a combo's text counts when typed or picked; code
    // that fills a combo calls the handlers itself where it must.
    for (QComboBox* box : {CB_Folder1, CB_IncludePat, CB_ExcludePat, CB_FolderPairList}) {
        connect(box->lineEdit(), &QLineEdit::textEdited, this, &TCmpFolder::CB_Folder1Change);
        connect(box, &QComboBox::activated, this, &TCmpFolder::CB_Folder1Change);
    }
    connect(M_FParList, &QPlainTextEdit::textChanged, this, &TCmpFolder::CB_Folder1Change);
    connect(CB_Folder2->lineEdit(), &QLineEdit::textEdited, this, &TCmpFolder::CB_Folder2Change);
    connect(CB_Folder2, &QComboBox::activated, this, &TCmpFolder::CB_Folder2Change);
    connect(CB_Session, &QComboBox::activated, this, &TCmpFolder::CB_SessionSelect);
    // Switches and track bars report changes made by code too, as the
    // options they store must follow every change.
    connect(CB_UseFPL, &QCheckBox::toggled, this, &TCmpFolder::CB_UseFPLClick);
    connect(CB_SubFolder, &QCheckBox::toggled, this, &TCmpFolder::CB_SubFolderClick);
    connect(CB_SubFolder, &QCheckBox::clicked, this, &TCmpFolder::CB_Folder1Change);
    connect(CB_FCLimitRecScan, &QCheckBox::toggled, this, &TCmpFolder::CB_FCLimitRecScanClick);
    for (QCheckBox* box : {CB_ChkDate, CB_FCAttrHidden, CB_FCAttrSystem, CB_FCAttrReadOnly, CB_FCAttrArchive})
        connect(box, &QCheckBox::toggled, this, &TCmpFolder::CB_ChkDateClick);
    connect(CB_PerfGraph, &QCheckBox::toggled, this, &TCmpFolder::CB_PerfGraphClick);
    connect(TB_FCC, &QSlider::valueChanged, this, &TCmpFolder::TB_FCCChange);
    connect(TB_MaxBuf, &QSlider::valueChanged, this, &TCmpFolder::TB_MaxBufChange);
    connect(E_FCMaxDepth, &QLineEdit::textChanged, this, &TCmpFolder::E_FCMaxDepthChange);
    connect(UD_Up, &QToolButton::clicked, this, [this] { UD_LevelChangingEx(1); });
    connect(UD_Down, &QToolButton::clicked, this, [this] { UD_LevelChangingEx(-1); });
}

void TCmpFolder::createControlPanel() {
    P_CmpControl = named(new QWidget(this), "P_CmpControl");
    P_CmpControl->setGeometry(ScaledRect(0, 302, kFormWidth, kControlHeight));
    L_ControlTit = MakeFormLabel(P_CmpControl, "L_ControlTit", ScaledRect(8, 0, kFormWidth - 16, 1));
    ui::SetPanelColor(L_ControlTit, 0xC0C0C0);

    IMG_LFolder = MakeFormLabel(P_CmpControl, "IMG_LFolder", ScaledRect(160, 20, kFolderImageSize, kFolderImageSize));
    IMG_Equal = MakeFormLabel(P_CmpControl, "IMG_Equal", ScaledRect(264, 44, kEqualImageSize, kEqualImageSize));
    IMG_RFolder = MakeFormLabel(P_CmpControl, "IMG_RFolder", ScaledRect(320, 20, kFolderImageSize, kFolderImageSize));
    for (QLabel* image : {IMG_LFolder, IMG_Equal, IMG_RFolder}) image->setAlignment(Qt::AlignCenter);
    L_Error = MakeFormLabel(P_CmpControl, "L_Error", ScaledRect(8, 132, kFormWidth - 16, 18), true);
    L_Error->setAlignment(Qt::AlignCenter);
    L_Error->hide();

    fbPause = makeButton(P_CmpControl, "fbPause", 24, 46, 112, 44);
    fbPause->SetCaption(QStringLiteral("Pause"));
    fbOk = makeButton(P_CmpControl, "fbOk", 24, 46, 112, 44);
    fbOk->SetCaption(QStringLiteral("Start"));
    fbCancel = makeButton(P_CmpControl, "fbCancel", 439, 46, 112, 44);
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbSkipFile = makeButton(P_CmpControl, "fbSkipFile", 24, 96, 112, 34);
    fbShowLog = makeButton(P_CmpControl, "fbShowLog", 24, 46, 112, 44);
    for (ui::TFlatButton2* b : {fbPause, fbSkipFile, fbShowLog}) b->hide();

    fbOk->OnClick = [this](QObject*) { fbOkClick(); };
    fbCancel->OnClick = [this](QObject*) { fbCancelClick(); };
    fbMoreFilters = makeButton(P_CmpControl, "fbMoreFilters", 439, 96, 112, 34);
    fbMoreFilters->SetCaption(QStringLiteral("More  Filters"));
    fbMoreFilters->SetListID(kFilterHintList);
    fbMoreFilters->OnClick = [this](QObject*) { fbMoreFiltersClick(); };
}

void TCmpFolder::FormCreate() {
    FolderCompare().RunState = rsIdle;
    ready_ = false;
    ui::SetPanelColor(CB_Session, kSessionColor);
    {
        QPalette p = CB_Session->lineEdit()->palette();
        p.setColor(QPalette::Base, ui::ToQColor(kSessionColor));
        CB_Session->lineEdit()->setPalette(p);
    }
    resize(config::ScaleDpi(kFormWidth), config::ScaleDpi(OptionsLayout(false, false).formHeight));
    fbPause->move(fbPause->x(), fbOk->y());
    fbShowLog->move(fbShowLog->x(), fbOk->y());
    fbSkipFile->SetCaption(QStringLiteral(" Skip\rthis file"));
    fbShowLog->SetCaption(QStringLiteral("  View\rLogfile"));
    L_PreScanTime->setVisible(config::AppSettings().TSShowTimes);

    fillHistories();

    const auto& s = config::AppSettings();
    if (CB_Session->count() > 0)
        CB_Session->setCurrentIndex(0);
    else
        CB_Session->setEditText(QStringLiteral("Default"));
    if (!s.FCSessData[0].isEmpty()) {
        ApplySession();
    } else {
        for (QComboBox* box : {CB_Folder1, CB_Folder2, CB_FolderPairList, CB_IncludePat, CB_ExcludePat,
                               CB_FCExclFolders})
            box->setEditText(box->count() > 0 ? box->itemText(0) : QString());
        if (CB_IncludePat->currentText().isEmpty()) CB_IncludePat->setEditText(QStringLiteral("*.*"));
        {
            const QSignalBlocker quiet(M_FParList);
            M_FParList->setPlainText(LinesOfCommaText(s.FCFPLParam[0]).join(QLatin1Char('\n')));
        }
        TB_FCC->setValue(s.FCContent);
        CB_ChkDate->setChecked(s.FCDateTime);
        SetAttrBoxes(s.FCAttr);
        CB_SubFolder->setChecked(s.FCSubDir);
        CB_Folder1Only->setChecked(!s.FCChkBoth);
        CB_FCLimitRecScan->setChecked(s.FCLimitRecScan);
        CB_UseFPL->setChecked(s.FCUseFPL);
        CB_PerfGraph->setChecked(s.FCGraph);
    }
    UpdateContentControls();
    UpdateSourceLayout();
    ApplyLook();
}

void TCmpFolder::fillHistories() {
    const auto& s = config::AppSettings();
    for (int i = 0; i < config::kListSize; ++i) {
        // Empty exclude entries are kept, so "no exclusion" can be chosen.
        const struct {
            QComboBox* box;
            const QString& entry;
            bool keepEmpty;
        } lists[] = {{CB_Folder1, s.FCFoldersL[i], false},   {CB_Folder2, s.FCFoldersR[i], false},
                     {CB_FolderPairList, s.FCFPLNames[i], false}, {CB_IncludePat, s.FCIncMasks[i], false},
                     {CB_Session, s.FCSessions[i], false},   {CB_ExcludePat, s.FCExcMasks[i], true},
                     {CB_FCExclFolders, s.FCExcFldMasks[i], true}};
        for (const auto& l : lists)
            if (l.keepEmpty || !l.entry.isEmpty()) l.box->addItem(l.entry);
    }
}

bool TCmpFolder::CmpLoadBMPFunc(int size, int index, QImage& bitmap) const {
    if (main_) return main_->loadBMPFunc(size, index, bitmap);
    bitmap = QImage();
    return false;
}

void TCmpFolder::ApplyLook() {
    const bool flat = config::FlatLook() != 0;
    ui::SetPanelColor(P_CmpControl, flat ? 0xF0F0F0 : 0xE0E0E0);
    ui::SetPanelColor(P_CmpInfo1, flat ? 0xF0F0F0 : 0xC6F5FF);
    setMoreSettingsBarColor(kMoreBarIdle);
    const QColor face = P_CmpSettings->palette().color(QPalette::Window);
    const ui::TColor faceColor = ui::TColor(face.red()) | ui::TColor(face.green()) << 8 | ui::TColor(face.blue()) << 16;
    for (ui::TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR, fbSWAP, fbMoreFilters}) b->SetBgColorFlat(faceColor);
    for (ui::TFlatButton2* b : {fbHelp, fbOpenFolderL, fbOpenFolderR, fbSWAP, fbOk, fbCancel, fbPause, fbSkipFile,
                                fbShowLog, fbMoreFilters})
        b->SetFlat(flat);
    fbSWAP->SetImageID(kSwapImage);
    // A button whose picture is missing shows its caption instead.
    QImage picture;
    fbSWAP->SetCaption(CmpLoadBMPFunc(kButtonList, kSwapImage, picture) ? QString() : QStringLiteral("<>"));
    for (ui::TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR})
        b->SetCaption(CmpLoadBMPFunc(kButtonList, b->ImageID(), picture) ? QString() : QStringLiteral("..."));
    CmpLoadBMPFunc(kEqualList, kEqualImage, picture);
    IMG_Equal->setPixmap(scaledPicture(picture, kEqualImageSize));
    setFolderImages(false);
}

void TCmpFolder::setFolderImages(bool active) {
    QImage picture;
    CmpLoadBMPFunc(kFolderList, active ? 1 : 0, picture);
    IMG_LFolder->setPixmap(scaledPicture(picture, kFolderImageSize));
    CmpLoadBMPFunc(kFolderList, active ? 3 : 2, picture);
    IMG_RFolder->setPixmap(scaledPicture(picture, kFolderImageSize));
}

// ---- layout and the "More Settings" bar ---------------------------------------

void TCmpFolder::applyOptionsLayout() {
    const TOptionsLayout l = OptionsLayout(optionsOnly_, config::AppSettings().FCShowMoreSet);
    P_CmpSettings->move(0, config::ScaleDpi(l.settingsTop));
    GB_FileAttributes->move(GB_FileAttributes->x(), config::ScaleDpi(l.attributesTop));
    P_CmpSettings->raise();
    GB_FileAttributes->raise();
    P_CmpControl->raise();
    P_CmpInfo1->setVisible(!optionsOnly_);
    if (optionsOnly_) {
        P_CmpControl->move(0, config::ScaleDpi(l.controlTop));
        resize(width(), config::ScaleDpi(l.formHeight));
    } else {
        pMoreSettingsClick(false);
    }
}

void TCmpFolder::pMoreSettingsClick(bool realClick) {
    auto& s = config::AppSettings();
    if (realClick) s.FCShowMoreSet = !s.FCShowMoreSet;
    const bool shown = s.FCShowMoreSet;
    const TOptionsLayout l = OptionsLayout(false, shown);
    QImage arrow;
    if (main_) arrow = shown ? main_->SmallArrowUp() : main_->SmallArrowDown();
    for (QLabel* image : {IMG_MoreL, IMG_MoreR}) image->setPixmap(arrow.isNull() ? QPixmap() : QPixmap::fromImage(arrow));
    L_MoreSettings->setText(shown ? QStringLiteral("Less Settings") : QStringLiteral("More Settings"));
    pMoreSettings->setToolTip(shown ? QStringLiteral(" Click to hide more settings ")
                                    : QStringLiteral(" Click to show more settings "));
    const int target = config::ScaleDpi(l.controlTop);
    if (realClick) AnimateControlPanel(target);
    P_CmpControl->move(0, target);
    resize(width(), target + P_CmpControl->height());
}

void TCmpFolder::AnimateControlPanel(int targetTop) {
    // The step grows while the machine keeps up with it and shrinks when a
    // step takes longer than its slot, so the slide takes about the same
    // time everywhere.
    const int minStep = config::ScaleDpi(2);
    int step = minStep;
    config::MarkTsc();
    while (P_CmpControl->y() != targetTop) {
        const int top = P_CmpControl->y();
        const int next = top < targetTop ? std::min(top + step, targetTop) : std::max(top - step, targetTop);
        P_CmpControl->move(0, next);
        resize(width(), next + P_CmpControl->height());
        repaint();
        config::eventPump().processEvents();
        if (config::WaitMicrosecondsSinceMark(3000))
            step = std::max(step - 1, minStep);
        else
            ++step;
    }
}

void TCmpFolder::setMoreSettingsBarColor(quint32 color) { ui::SetPanelColor(pMoreSettings, color); }

bool TCmpFolder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pMoreSettings || watched == L_MoreSettings || watched == IMG_MoreL || watched == IMG_MoreR) {
        switch (event->type()) {
        case QEvent::Enter:
            moreBarHot_ = true;
            setMoreSettingsBarColor(kMoreBarHot);
            break;
        case QEvent::Leave:
            moreBarHot_ = false;
            setMoreSettingsBarColor(kMoreBarIdle);
            break;
        case QEvent::MouseButtonPress:
            setMoreSettingsBarColor(kMoreBarPressed);
            return true;
        case QEvent::MouseButtonRelease:
            setMoreSettingsBarColor(moreBarHot_ ? kMoreBarHot : kMoreBarIdle);
            pMoreSettingsClick(true);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TCmpFolder::moveEvent(QMoveEvent* event) {
    // The panel sits beside the window: a move ends its slide and takes it
    // along at once.
    if (F_CmpSettingsExt && F_CmpSettingsExt->isVisible()) {
        F_CmpSettingsExt->CancelSlide();
        F_CmpSettingsExt->move(F_CmpSettingsExt->DockedLeft(), F_CmpSettingsExt->DockedTop());
    }
    QWidget::moveEvent(event);
}

void TCmpFolder::changeEvent(QEvent* event) {
    // A panel parked behind the window must not come before it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && F_CmpSettingsExt &&
        F_CmpSettingsExt->isVisible() && !F_CmpSettingsExt->IsShown())
        raise();
    QWidget::changeEvent(event);
}

void TCmpFolder::closeEvent(QCloseEvent* event) {
    // Closing the options is cancelling them: the run waits for RunState to
    // leave 3 and would otherwise wait behind a hidden window.
    TFolderCompareState& fc = FolderCompare();
    if (fc.RunState == rsOptions) fbCancelClick();
    // A running comparison is cancelled and the window stays, so that the
    // user sees how far it came; the finished window closes like "Close".
    if (fc.RunState == rsComparing) {
        fbCancelClick();
        event->ignore();
        return;
    }
    if (fc.RunState == rsStopped) fc.RunState = rsIdle;
    ui::CloseGraphWindow();
    QWidget::closeEvent(event);
}

}  // namespace tandex::folders
