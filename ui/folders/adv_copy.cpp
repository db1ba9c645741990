#include "ui/folders/adv_copy.h"

#include "access/archive_slots.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/graph_win.h"
#include "ui/folders/replace_dlg.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/form_layout.h"
#include "ui/main/led.h"
#include "ui/main/print_seams.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QStyle>
#include <QTimer>

#include <sys/statvfs.h>
#include <algorithm>
#include <cmath>

namespace tandex::folders {

using ui::MakeFormLabel;
using ui::ScaledRect;
using ui::SetLabelColor;

namespace {

using ui::named;

constexpr int kFormWidth = 577;
constexpr int kFormHeight = 518;
constexpr int kInfoHeight = 128;
constexpr int kOptHeight = 262;
constexpr int kControlTop = kInfoHeight + kOptHeight;
constexpr int kFolderList = 128;
constexpr int kArrowList = 256;
constexpr int kFolderImageSize = 64;
constexpr ui::TColor kBlack = 0;
constexpr ui::TColor kRed = 255;
constexpr ui::TColor kDarkRed = 128;
constexpr ui::TColor kGreen = 0x8000;
constexpr ui::TColor kBlue = 0xFF0000;
constexpr ui::TColor kPurple = 0x800080;
constexpr ui::TColor kOrangeRed = 10728;
constexpr ui::TColor kSilver = 12632256;

QCheckBox* makeCheck(QWidget* parent, const char* name, const char* text, int x, int y, int w = 520) {
    auto* box = named(new QCheckBox(QString::fromUtf8(text), parent), name);
    box->setGeometry(ScaledRect(x, y, w, 20));
    return box;
}

QProgressBar* makeBar(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* bar = named(new QProgressBar(parent), name);
    bar->setGeometry(ScaledRect(x, y, w, h));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

// A label's text shortened to its width in the middle, as paths are.
void setPathText(QLabel* label, const QString& text, int less = 0) {
    const QFontMetrics fm(label->font());
    label->setText(fm.elidedText(text, Qt::ElideMiddle, std::max(label->width() - less, 10)));
}

void setBold(QWidget* w, bool bold) {
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

QPixmap picture(const ui::TLoadBitmap& load, int list, int index, int size) {
    QImage image;
    if (!load || !load(list, index, image) || image.isNull()) return {};
    const int px = config::ScaleDpi(size);
    return QPixmap::fromImage(image.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

qint64 monotonicMs() {
    static QElapsedTimer timer;
    if (!timer.isValid()) timer.start();
    return timer.elapsed() + 1;
}

}  // namespace

TAdvCopy::TAdvCopy(QWidget* owner, ui::TLoadBitmap loadBitmap) : QWidget(owner), loadBitmap_(std::move(loadBitmap)) {
    setObjectName(QStringLiteral("AdvCopy"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral(" Copy "));
    setFixedSize(config::ScaleDpi(kFormWidth), config::ScaleDpi(kFormHeight));
    Clock = monotonicMs;
    createInfoPanel();
    createOptionsPanel();
    createRunPanel();
    createControlPanel();
    timDispUpd = named(new QTimer(this), "timDispUpd");
    timDispUpd->setInterval(100);
    connect(timDispUpd, &QTimer::timeout, this, &TAdvCopy::timDispUpdTimer);
    timFlash = named(new QTimer(this), "timFlash");
    timFlash->setInterval(250);
    connect(timFlash, &QTimer::timeout, this, &TAdvCopy::timFlashTimer);
    FormCreate();
}

TAdvCopy::~TAdvCopy() = default;

void TAdvCopy::createInfoPanel() {
    P_CopyInfo = named(new QWidget(this), "P_CopyInfo");
    P_CopyInfo->setGeometry(ScaledRect(0, 0, kFormWidth, kInfoHeight));
    P_CopyInfo->setAutoFillBackground(true);
    const struct {
        QLabel*& title;
        QLabel*& value;
        const char* titleName;
        const char* valueName;
        const char* caption;
    } rows[] = {
        {L_DestTxt, L_CIDestPath, "L_DestTxt", "L_CIDestPath", "Copy to:"},
        {L_CINumFilesTxt, L_CINumFiles, "L_CINumFilesTxt", "L_CINumFiles", "Number of files to copy:"},
        {L_CINumBytesTxt, L_CINumBytes, "L_CINumBytesTxt", "L_CINumBytes", "Total size of the files:"},
        {L_CIAFSizeTxt, L_CIAFSize, "L_CIAFSizeTxt", "L_CIAFSize", "Average file size:"},
        {L_CIFreeBytesTxt, L_CIFreeBytes, "L_CIFreeBytesTxt", "L_CIFreeBytes", "Free space at destination volume:"},
        {L_CINeededBytesTxt, L_CINeededBytes, "L_CINeededBytesTxt", "L_CINeededBytes",
         "Needed space at destination volume:"},
    };
    int y = 8;
    for (const auto& r : rows) {
        r.title = MakeFormLabel(P_CopyInfo, r.titleName, ScaledRect(12, y, 250, 17));
        r.title->setText(QString::fromUtf8(r.caption));
        r.value = MakeFormLabel(P_CopyInfo, r.valueName, ScaledRect(262, y, 270, 17), true);
        y += 19;
    }
    L_CIDestPath->setGeometry(ScaledRect(80, 8, 450, 17));
}

void TAdvCopy::createOptionsPanel() {
    P_CopyOpt = named(new QWidget(this), "P_CopyOpt");
    P_CopyOpt->setGeometry(ScaledRect(0, kInfoHeight, kFormWidth, kOptHeight));
    L_SettingsTitle = MakeFormLabel(P_CopyOpt, "L_SettingsTitle", ScaledRect(12, 3, 300, 17), true);
    L_SettingsTitle->setText(QStringLiteral("Copy settings"));
    CB_CopyAttr = makeCheck(P_CopyOpt, "CB_CopyAttr", "Copy source-file attributes to destination files", 20, 26);
    CB_AttrOnly = makeCheck(P_CopyOpt, "CB_AttrOnly", "", 20, 48);
    CB_CpyEmptyFile = makeCheck(P_CopyOpt, "CB_CpyEmptyFile", "Copy empty files", 20, 70);
    CB_OverWrite = makeCheck(P_CopyOpt, "CB_OverWrite", "Overwrite existing files!", 20, 92);
    CB_DisWrCache = makeCheck(P_CopyOpt, "CB_DisWrCache", "Disable write cache", 20, 120, 250);
    CB_DisRdCache = makeCheck(P_CopyOpt, "CB_DisRdCache", "Disable read cache", 20, 142, 250);
    CB_PerfGraph = makeCheck(P_CopyOpt, "CB_PerfGraph", "Show Transfer Rate Graph", 290, 120, 260);
    L_NumBuf = MakeFormLabel(P_CopyOpt, "L_NumBuf", ScaledRect(20, 186, 150, 17));
    TB_MaxBuf = named(new QSlider(Qt::Horizontal, P_CopyOpt), "TB_MaxBuf");
    TB_MaxBuf->setGeometry(ScaledRect(170, 182, 300, 26));
    TB_MaxBuf->setTickPosition(QSlider::TicksBelow);
    TB_MaxBuf->setPageStep(1);
    L_CurBufSize = MakeFormLabel(P_CopyOpt, "L_CurBufSize", ScaledRect(480, 186, 80, 17), true);
    connect(CB_AttrOnly, &QCheckBox::clicked, this, &TAdvCopy::CB_AttrOnlyClick);
    connect(CB_CopyAttr, &QCheckBox::clicked, this, &TAdvCopy::CB_CopyAttrClick);
    connect(CB_OverWrite, &QCheckBox::clicked, this, &TAdvCopy::CB_OverWriteClick);
    connect(CB_PerfGraph, &QCheckBox::clicked, this, &TAdvCopy::CB_PerfGraphClick);
    connect(CB_DisRdCache, &QCheckBox::clicked, this, &TAdvCopy::CB_DisRdCacheClick);
    connect(CB_DisWrCache, &QCheckBox::clicked, this, &TAdvCopy::CB_DisWrCacheClick);
    connect(TB_MaxBuf, &QSlider::valueChanged, this, &TAdvCopy::TB_MaxBufChange);
}

void TAdvCopy::createRunPanel() {
    P_ACInfo = named(new QWidget(this), "P_ACInfo");
    P_ACInfo->setGeometry(ScaledRect(0, 0, kFormWidth, kControlTop));
    P_ACInfo->setAutoFillBackground(true);
    auto caption = [&](const char* name, const char* text, int x, int y, int w = 110) {
        QLabel* l = MakeFormLabel(P_ACInfo, name, ScaledRect(x, y, w, 17));
        l->setText(QString::fromUtf8(text));
        return l;
    };
    auto value = [&](const char* name, int x, int y, int w, bool bold = true) {
        return MakeFormLabel(P_ACInfo, name, ScaledRect(x, y, w, 17), bold);
    };
    L_FNameTxt = caption("L_FNameTxt", "Read:", 12, 8, 50);
    L_FName = value("L_FName", 62, 8, 470);
    L_SrcPath = value("L_SrcPath", 62, 26, 500, false);
    PB_ReadFile = makeBar(P_ACInfo, "PB_ReadFile", 12, 46, 553, 12);
    L_DstNameTxt = caption("L_DstNameTxt", "Write:", 12, 68, 50);
    L_DstName = value("L_DstName", 62, 68, 470);
    ledWrite = named(new ui::TLED(P_ACInfo), "ledWrite");
    ledWrite->SetRadius(config::ScaleDpi(7));
    ledWrite->move(config::ScaleDpi(544), config::ScaleDpi(66));
    ledWrite->SetLedColor(kSilver);
    L_DstPath = value("L_DstPath", 62, 86, 500, false);
    PB_WriteFile = makeBar(P_ACInfo, "PB_WriteFile", 12, 106, 553, 12);
    L_FilesizeTxt = caption("L_FilesizeTxt", "File size:", 12, 126, 80);
    L_Filesize = value("L_Filesize", 92, 126, 160);
    caption("L_FileTxt", "File", 330, 126, 30);
    L_FileXofY = value("L_FileXofY", 360, 126, 80);
    L_FileXofY->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    L_OfMaxFiles = value("L_OfMaxFiles", 445, 126, 120, false);
    caption("L_DataBufTxt", "Data buffers:", 12, 150, 100);
    PB_NumBuffer = makeBar(P_ACInfo, "PB_NumBuffer", 112, 152, 380, 12);
    L_NumDataBuf = value("L_NumDataBuf", 500, 150, 65);
    caption("L_FileBufTxt", "File buffers:", 12, 170, 100);
    PB_NumFiles = makeBar(P_ACInfo, "PB_NumFiles", 112, 172, 380, 12);
    L_NumFileBuf = value("L_NumFileBuf", 500, 170, 65);
    caption("L_TotalTxt", "Total progress:", 12, 196, 100);
    PB_CopyTotal = makeBar(P_ACInfo, "PB_CopyTotal", 112, 196, 453, 18);
    PB_CopyTotal->setTextVisible(true);
    L_TotBytCpyTxt = caption("L_TotBytCpyTxt", "Written:", 12, 222, 150);
    L_TotalFilesize = value("L_TotalFilesize", 170, 222, 390);
    caption("L_FreeBytesTxt", "Free space at destination:", 12, 240, 150);
    L_FreeBytes = value("L_FreeBytes", 170, 240, 390);
    caption("L_ElapsedTxt", "Elapsed time:", 12, 264, 150);
    L_ElapsedTime = value("L_ElapsedTime", 170, 264, 160);
    caption("L_RemainingTxt", "Remaining time:", 12, 282, 150);
    L_RemainingTime = value("L_RemainingTime", 170, 282, 160);
    caption("L_TotalTimeTxt", "Total time:", 12, 300, 150);
    L_TotalTime = value("L_TotalTime", 170, 300, 160);
    L_ASpeedTxt = caption("L_ASpeedTxt", "Transfer rate:", 12, 324, 150);
    L_TransferRate = value("L_TransferRate", 170, 324, 200);
    caption("L_PrioTxt", "Writer priority:", 12, 342, 150);
    L_Prio = value("L_Prio", 170, 342, 120);
    L_ZipState = value("L_ZipState", 12, 364, 550);
    P_ACInfo->hide();
}

void TAdvCopy::createControlPanel() {
    P_Control = named(new QWidget(this), "P_Control");
    P_Control->setGeometry(ScaledRect(0, kControlTop, kFormWidth, kFormHeight - kControlTop));
    P_Control->setAutoFillBackground(true);
    auto image = [&](const char* name, int x, int y, int w, int h) {
        auto* l = named(new QLabel(P_Control), name);
        l->setGeometry(ScaledRect(x, y, w, h));
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    IMG_LFOpen = image("IMG_LFOpen", 16, 8, kFolderImageSize, kFolderImageSize);
    IMG_CopyDir = image("IMG_CopyDir", 84, 16, 64, 48);
    IMG_RFOpen = image("IMG_RFOpen", 152, 8, kFolderImageSize, kFolderImageSize);
    IMG_LFClosed = image("IMG_LFClosed", 16, 8, kFolderImageSize, kFolderImageSize);
    IMG_RFClosed = image("IMG_RFClosed", 152, 8, kFolderImageSize, kFolderImageSize);
    IMG_ErrorLF = image("IMG_ErrorLF", 16, 76, 20, 20);
    IMG_ErrorRF = image("IMG_ErrorRF", 152, 76, 20, 20);
    const int icon = config::ScaleDpi(18);
    const QPixmap error = style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(icon, icon);
    IMG_ErrorLF->setPixmap(error);
    IMG_ErrorRF->setPixmap(error);
    L_ErrCntLF = MakeFormLabel(P_Control, "L_ErrCntLF", ScaledRect(38, 76, 100, 34), true);
    L_ErrCntRF = MakeFormLabel(P_Control, "L_ErrCntRF", ScaledRect(174, 76, 110, 34), true);
    L_ErrCntTot = MakeFormLabel(P_Control, "L_ErrCntTot", ScaledRect(230, 30, 80, 17), true);
    for (QLabel* l : {L_ErrCntLF, L_ErrCntRF, L_ErrCntTot}) SetLabelColor(l, kRed);
    auto button = [&](QWidget* parent, const char* name, int x, int y, int w, int h) {
        auto* b = named(new ui::TFlatButton2(parent), name);
        b->move(config::ScaleDpi(x), config::ScaleDpi(y));
        b->SetWidth(w);
        b->SetHeight(h);
        b->SetFlatStyle(ui::FS_SHOWBORDER);
        b->LoadBMPFunc = loadBitmap_;
        return b;
    };
    fbPause = button(P_Control, "fbPause", 310, 34, 120, 48);
    fbPause->SetCaption(QStringLiteral("Pause"));
    fbOk = button(P_Control, "fbOk", 310, 34, 120, 48);
    fbOk->SetCaption(QStringLiteral("Start"));
    fbCancel = button(P_Control, "fbCancel", 445, 34, 120, 48);
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbShowLog = button(P_Control, "fbShowLog", 310, 34, 120, 48);
    fbHelp = button(this, "fbHelp", 543, 8, 26, 26);
    fbHelp->SetCaption(QStringLiteral("?"));
    fbOk->OnClick = [this](QObject*) { fbOkClick(); };
    fbCancel->OnClick = [this](QObject*) { fbCancelClick(); };
    fbPause->OnClick = [this](QObject*) { fbPauseClick(); };
    fbShowLog->OnClick = [this](QObject*) { fbShowLogClick(); };
    fbHelp->OnClick = [this](QObject*) { fbHelpClick(); };
}

void TAdvCopy::FormCreate() {
    ShownBuffers = ShownRecords = -1;
    ShownErrors = 0;
    TB_MaxBuf->setRange(0, 7);
    fbShowLog->SetCaption(QStringLiteral("  View\rLogfile"));
    fbPause->move(fbPause->x(), fbOk->y());
    fbShowLog->move(fbShowLog->x(), fbOk->y());
    IMG_LFClosed->move(IMG_LFOpen->x(), IMG_LFClosed->y());
    IMG_RFClosed->move(IMG_RFOpen->x(), IMG_RFClosed->y());
    loadImages();
    LayoutForState(cpSetUp);
}

void TAdvCopy::loadImages() {
    IMG_LFClosed->setPixmap(picture(loadBitmap_, kFolderList, 0, kFolderImageSize));
    IMG_LFOpen->setPixmap(picture(loadBitmap_, kFolderList, 1, kFolderImageSize));
    IMG_RFClosed->setPixmap(picture(loadBitmap_, kFolderList, 2, kFolderImageSize));
    IMG_RFOpen->setPixmap(picture(loadBitmap_, kFolderList, 3, kFolderImageSize));
    // Without pictures the folders still read as such.
    const struct {
        QLabel* label;
        const char* text;
    } fallback[] = {{IMG_LFClosed, "[Left]"}, {IMG_LFOpen, "[Left]"}, {IMG_RFClosed, "[Right]"}, {IMG_RFOpen, "[Right]"}};
    for (const auto& f : fallback)
        if (f.label->pixmap().isNull()) f.label->setText(QString::fromUtf8(f.text));
}

// ---- caller --------------------------------------------------------------------

void TAdvCopy::Prepare(int side) {
    setFixedSize(config::ScaleDpi(kFormWidth), config::ScaleDpi(kFormHeight));
    engine_.Prepare(side);
    {
        const QSignalBlocker block(TB_MaxBuf);
        TB_MaxBuf->setValue(std::clamp(config::AppSettings().CSBufSize, 0, 7));
    }
    const bool flat = config::FlatLook() != 0;
    for (ui::TFlatButton2* b : {fbHelp, fbOk, fbCancel, fbPause, fbShowLog}) b->SetFlat(flat);
    ui::SetPanelColor(P_Control, flat ? 0xF0F0F0 : 0xE0E0E0);
    loadImages();
}

void TAdvCopy::AddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row,
                      const QString& dstName, const QString& dstFolder) {
    engine_.AddJob(srcFolder, srcName, size, row, dstName, dstFolder);
}

void TAdvCopy::Execute(int sourceSide, const QString& destRoot) {
    if (engine_.JobCount() == 0 || running_) return;
    running_ = true;
    DestRoot = destRoot;
    auto& s = config::AppSettings();
    const ui::TColor info = s.GSGUIStyle == 0 ? 0xC6F5FF : 0xF0F0F0;
    ui::SetPanelColor(P_CopyInfo, info);
    ui::SetPanelColor(P_ACInfo, info);
    if (s.CFT < 0 && parentWidget()) {
        const QRect main = parentWidget()->window()->frameGeometry();
        const QPoint p = main.center() - QPoint(width() / 2, height() / 2);
        s.CFL = p.x();
        s.CFT = std::max(p.y(), 0);
    }
    if (s.CFT >= 0) move(s.CFL, s.CFT);
    engine_.Execute(sourceSide, destRoot);
    running_ = false;
}

// ---- set-up view -----------------------------------------------------------------

QString TAdvCopy::sizeText(qint64 bytes) const {
    config::TNumStyle style;
    style.Kind = 3;
    return config::FormatInt64Styled(bytes, style);
}

void TAdvCopy::setSpaceColors(ui::TColor freeColor, ui::TColor neededColor) {
    SetLabelColor(L_CIFreeBytesTxt, freeColor);
    SetLabelColor(L_CIFreeBytes, freeColor);
    SetLabelColor(L_CINeededBytesTxt, neededColor);
    SetLabelColor(L_CINeededBytes, neededColor);
}

void TAdvCopy::ShowSetup() {
    const auto& s = config::AppSettings();
    LayoutForState(cpSetUp);
    SetCopyCaption(QString());
    const QString dest = DestinationText(DestRoot, engine_.SourceSide);
    const ui::TColor color = config::CurrentColorSet()[engine_.SourceSide == 1 ? 1 : 0];
    SetLabelColor(L_CIDestPath, color);
    SetLabelColor(L_DestTxt, color);
    setPathText(L_CIDestPath, dest, config::ScaleDpi(4));
    L_CINumFiles->setText(config::IntToGroupedStr(engine_.JobCount(), 0, true));
    NeededBytes = engine_.TotalBytes - engine_.ReplacedBytes;
    FlashTag = 0;
    if (NeededBytes > engine_.FreeSpace) {
        FlashLookA = false;
        timFlash->setInterval(250);
        timFlash->start();
    } else {
        timFlash->stop();
        setSpaceColors(kBlack, kPurple);
    }
    L_CIFreeBytes->setText(engine_.DestIsFtp ? QStringLiteral("unknown") : sizeText(engine_.FreeSpace));
    L_NumBuf->setText(QStringLiteral("Buffer size: ") + QString::number(s.CSNumDatBuf) + QStringLiteral("  x"));
    L_CurBufSize->setText(BufSizeName(TB_MaxBuf->value()));
    CB_CopyAttr->setChecked(s.CSAttr);
    CB_OverWrite->setChecked(s.CSOverWrite);
    CB_CpyEmptyFile->setChecked(s.CSZeroBytes);
    CB_CopyAttrClick();
    CB_OverWriteClick();
    CB_AttrOnlyClick();
    show();
    raise();
    LastGraphBytes = 0;
    openGraph();
    fbOk->SetEnabled(engine_.FreeSpace > 0);
}

void TAdvCopy::openGraph() {
    ui::CloseGraphWindow();
    if (!isVisible()) return;
    ui::TF_Graph* g = ui::OpenRateGraph(this, QStringLiteral("Transfer Rate Graph"), 10, graphRate_, graphAverage_);
    CB_PerfGraph->setChecked(config::AppSettings().CSGraph);
    g->setVisible(config::AppSettings().CSGraph);
}

void TAdvCopy::CB_AttrOnlyClick() {
    const bool only = CB_AttrOnly->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{CB_DisRdCache, CB_DisWrCache, CB_OverWrite, CB_CpyEmptyFile,
                                                      TB_MaxBuf, L_NumBuf, L_CurBufSize, L_CINumBytes,
                                                      L_CINumBytesTxt, L_CINeededBytes, L_CINeededBytesTxt,
                                                      L_CIAFSize, L_CIAFSizeTxt})
        w->setEnabled(!only);
    setBold(CB_AttrOnly, only);
    if (only) {
        L_CINumBytes->setText(QStringLiteral("0 Byte"));
        L_CIAFSize->setText(QStringLiteral("0 Byte"));
    } else {
        L_CINumBytes->setText(sizeText(engine_.TotalBytes));
        const int jobs = std::max(engine_.JobCount(), 1);
        L_CIAFSize->setText(sizeText(engine_.TotalBytes / jobs));
    }
    const TNeededSpace n = NeededSpaceText(NeededBytes, only);
    L_CINeededBytesTxt->setText(n.Caption);
    L_CINeededBytes->setText(n.Value);
    if (!timFlash->isActive() || FlashTag != 0) {
        SetLabelColor(L_CINeededBytesTxt, n.Color);
        SetLabelColor(L_CINeededBytes, n.Color);
    }
}

void TAdvCopy::CB_CopyAttrClick() {
    CB_AttrOnly->setText(CB_CopyAttr->isChecked()
                             ? QStringLiteral("Copy only source-file timestamps and attributes (no content!)")
                             : QStringLiteral("Copy only source-file timestamps (no content!)"));
}

void TAdvCopy::CB_OverWriteClick() { setBold(CB_OverWrite, CB_OverWrite->isChecked()); }

void TAdvCopy::CB_PerfGraphClick() {
    config::AppSettings().CSGraph = CB_PerfGraph->isChecked();
    if (ui::F_Graph()) ui::F_Graph()->setVisible(CB_PerfGraph->isChecked());
}

void TAdvCopy::CB_DisRdCacheClick() {
    // Sequential scan, normal attributes, no buffering when checked.
    constexpr int kSequential = 0x08000000, kNormal = 0x80, kNoBuffering = 0x20000000;
    ReadOpenFlags = kSequential | kNormal | (CB_DisRdCache->isChecked() ? kNoBuffering : 0);
}

void TAdvCopy::CB_DisWrCacheClick() {
    constexpr int kNormal = 0x80, kWriteThrough = int(0x80000000u);
    WriteOpenFlags = kNormal | (CB_DisWrCache->isChecked() ? kWriteThrough : 0);
}

void TAdvCopy::TB_MaxBufChange() {
    if (!TB_MaxBuf->isEnabled()) return;
    config::AppSettings().CSBufSize = TB_MaxBuf->value();
    L_CurBufSize->setText(BufSizeName(TB_MaxBuf->value()));
    if (engine_.CopyState() != cpSetUp) {
        ResizeRequested = true;
        engine_.RequestBufferSize(TB_MaxBuf->value());
    }
}

void TAdvCopy::fbHelpClick() {
    ui::ShowHelpTopic(engine_.CopyState() != cpSetUp ? QStringLiteral("Copy files and folders progress")
                                                     : QStringLiteral("Copy files and folders"));
}

void TAdvCopy::fbShowLogClick() { ui::folderView().ShowLog(1); }

void TAdvCopy::fbOkClick() {
    if (engine_.CopyState() != cpSetUp || !running_) {
        fbCancelClick();
        return;
    }
    auto& s = config::AppSettings();
    s.CSAttr = CB_CopyAttr->isChecked();
    s.CSZeroBytes = CB_CpyEmptyFile->isChecked();
    s.CSOverWrite = CB_OverWrite->isChecked();
    fbOk->hide();
    fbPause->show();
    engine_.Start();
}

void TAdvCopy::fbCancelClick() {
    fbPause->SetCaption(QStringLiteral("Pause"));
    const int before = engine_.CopyState();
    engine_.Cancel();
    if (before == cpRunning) {
        fbCancel->SetCaption(QStringLiteral("Cancel\r now"));
        config::CancelWaitWithMessages();
    }
}

void TAdvCopy::fbPauseClick() {
    const bool on = !engine_.PauseRequested();
    engine_.SetPauseRequest(on);
    fbPause->SetCaption(on ? QStringLiteral("Con-\rtinue") : QStringLiteral("Pause"));
}

bool TAdvCopy::FormCloseQuery() {
    const bool may = engine_.CopyState() == cpSetUp;
    engine_.CloseRequest();
    return may;
}

void TAdvCopy::closeEvent(QCloseEvent* event) {
    // Outside a run there is nothing to stop.
    if (!running_) {
        event->accept();
        return;
    }
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

// ---- layouts -----------------------------------------------------------------------

void TAdvCopy::LayoutForState(int state) {
    const QList<QCheckBox*> options{CB_AttrOnly, CB_CopyAttr, CB_OverWrite, CB_CpyEmptyFile};
    switch (state) {
        case cpSetUp:
            P_ACInfo->hide();
            P_CopyInfo->show();
            P_CopyOpt->show();
            SetFolderImages(0);
            IMG_ErrorLF->hide();
            IMG_ErrorRF->hide();
            fbOk->move(fbPause->x(), fbOk->y());
            fbOk->SetCaption(QStringLiteral("Start"));
            fbOk->show();
            fbPause->hide();
            fbCancel->SetCaption(QStringLiteral("Cancel"));
            fbCancel->show();
            fbShowLog->hide();
            for (QLabel* l : {L_ErrCntLF, L_ErrCntRF, L_ErrCntTot}) l->hide();
            for (QCheckBox* c : options) c->show();
            break;
        case cpStopped:
            SetFolderImages(0);
            fbPause->hide();
            fbShowLog->show();
            fbOk->move(fbCancel->x(), fbOk->y());
            fbOk->SetCaption(QStringLiteral("Close"));
            fbOk->SetEnabled(true);
            fbOk->show();
            fbCancel->hide();
            for (QCheckBox* c : options) c->hide();
            break;
        case cpFinish:
            for (QCheckBox* c : options) c->hide();
            break;
        default:
            SetFolderImages(1);
            fbOk->hide();
            fbPause->show();
            fbCancel->SetCaption(QStringLiteral("Cancel"));
            P_CopyInfo->hide();
            P_CopyOpt->hide();
            P_ACInfo->show();
            for (QCheckBox* c : options) c->hide();
            break;
    }
    fbHelp->raise();
}

void TAdvCopy::SetFolderImages(int state) {
    IMG_LFClosed->setVisible(state != 1 && !(state == 2 && engine_.SourceSide == 2));
    IMG_LFOpen->setVisible(!IMG_LFClosed->isVisibleTo(P_Control));
    IMG_RFClosed->setVisible(state != 1 && !(state == 2 && engine_.SourceSide == 1));
    IMG_RFOpen->setVisible(!IMG_RFClosed->isVisibleTo(P_Control));
    if (state == 2) {
        // Only the source folder closes once reading is done.
        IMG_LFClosed->setVisible(engine_.SourceSide == 1);
        IMG_LFOpen->setVisible(engine_.SourceSide != 1);
        IMG_RFClosed->setVisible(engine_.SourceSide == 2);
        IMG_RFOpen->setVisible(engine_.SourceSide != 2);
    }
    if (engine_.SourceSide == 0) {
        IMG_CopyDir->hide();
        return;
    }
    const int n = std::clamp(state, 0, 2) + (engine_.SourceSide == 1 ? 3 : 0);
    const QPixmap arrow = picture(loadBitmap_, kArrowList, n, 64);
    if (arrow.isNull())
        IMG_CopyDir->setText(engine_.SourceSide == 1 ? QStringLiteral("==>") : QStringLiteral("<=="));
    else
        IMG_CopyDir->setPixmap(arrow);
    IMG_CopyDir->show();
}

void TAdvCopy::SetCopyCaption(const QString& text) {
    setWindowTitle(CopyCaptionText(text, TitleSuffix, engine_.CopyState()));
    QGuiApplication::setApplicationDisplayName(CopyAppTitle(TitleSuffix));
    QCoreApplication::processEvents();
}

// ---- timers ------------------------------------------------------------------------

qint64 TAdvCopy::now() const { return Clock ? Clock() : monotonicMs(); }

void TAdvCopy::SetTimerMode(int mode) {
    switch (mode) {
        case 0:
            TickCount = 0;
            DispTag = 0;
            RunStartTime = LastTickTime = now();
            TicksPerSecond = 1000 / timDispUpd->interval();
            timDispUpd->start();
            break;
        case 1:
            timDispUpd->stop();
            break;
        case 2:
            timDispUpd->stop();
            PauseStart = now();
            break;
        default:
            if (RunStartTime) RunStartTime += now() - PauseStart;
            timDispUpd->start();
            break;
    }
}

void TAdvCopy::SetDisplayTimer(int kind) {
    // The engine's dialogs pause the clock: their time is no transfer time.
    if (!RunStartTime) return;
    SetTimerMode(kind == 5 ? 2 : 3);
}

void TAdvCopy::showErrors() {
    const int counts[2] = {-engine_.ReadErrors, engine_.WriteErrors};
    // The read errors belong to the source side, the write errors to the
    // destination side.
    const bool leftIsSource = engine_.SourceSide != 2;
    QLabel* images[2] = {leftIsSource ? IMG_ErrorLF : IMG_ErrorRF, leftIsSource ? IMG_ErrorRF : IMG_ErrorLF};
    QLabel* labels[2] = {leftIsSource ? L_ErrCntLF : L_ErrCntRF, leftIsSource ? L_ErrCntRF : L_ErrCntLF};
    for (int i = 0; i < 2; ++i) {
        if (counts[i] == 0) continue;
        images[i]->show();
        labels[i]->setText(ErrorCountText(counts[i]).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        labels[i]->show();
    }
}

void TAdvCopy::refreshFreeSpace() {
    if (engine_.DestIsFtp) {
        L_FreeBytes->setText(QStringLiteral("unknown"));
        return;
    }
    struct statvfs st {};
    QString folder = engine_.WriterView().Folder;
    if (folder.isEmpty()) folder = DestRoot;
    while (!folder.isEmpty() && ::statvfs(QFile::encodeName(folder).constData(), &st) != 0) {
        const int cut = int(folder.lastIndexOf(QLatin1Char('/'), folder.endsWith(QLatin1Char('/')) ? -2 : -1));
        if (cut <= 0) {
            folder = cut == 0 ? QStringLiteral("/") : QString();
            if (folder.isEmpty()) return;
            if (::statvfs("/", &st) != 0) return;
            break;
        }
        folder = folder.left(cut);
    }
    if (folder.isEmpty()) return;
    L_FreeBytes->setText(sizeText(qint64(st.f_bavail) * qint64(st.f_frsize)));
}

void TAdvCopy::timDispUpdTimer() {
    if (DispTag < 0) return;
    const int errors = engine_.ReadErrors + engine_.WriteErrors;
    if (errors != ShownErrors) {
        if (ShownErrors == 0) {
            FlashTag = 1;
            timFlash->start();
        }
        ShownErrors = errors;
        showErrors();
    }
    const qint64 t = now();
    const qint64 dt = std::max<qint64>(t - LastTickTime, 1);
    const qint64 graph = engine_.GraphBytes.load();
    const qint64 delta = graph - LastGraphBytes;
    LastGraphBytes = graph;
    const qint64 elapsed = std::max<qint64>(t - RunStartTime, 1);
    LastTickTime = t;
    ++TickCount;
    const qint64 written = engine_.TotalBytesWritten.load();
    const qint64 total = engine_.TotalBytes;
    if (TickCount >= TicksPerSecond) {
        TickCount = 0;
        if (L_TotalFilesize->isVisibleTo(P_ACInfo))
            L_TotalFilesize->setText(sizeText(written) + QStringLiteral("  of  ") + sizeText(total));
        const double seconds = double(elapsed) / 1000.0;
        const double rate = double(written) / seconds;
        if (L_TransferRate->isVisibleTo(P_ACInfo))
            L_TransferRate->setText(QLatin1Char(' ') + sizeText(std::llround(rate)) + QStringLiteral("/s"));
        const qint64 remaining = RemainingSeconds(total, written, rate, engine_.CopyState() == cpRunning);
        const qint64 elapsedSeconds = std::llround(seconds);
        if (remaining >= 0) L_RemainingTime->setText(config::SecondsToHMS(quint32(remaining)));
        L_ElapsedTime->setText(config::SecondsToHMS(quint32(elapsedSeconds)));
        const bool unknown = remaining < 0 || remaining == kRemainingUnknown;
        L_TotalTime->setText(config::SecondsToHMS(quint32(unknown ? elapsedSeconds : remaining + elapsedSeconds)));
        const int archive = access::ArchiveWriteState().load();
        if (archive == 1 || archive == 4) DotCount = DotCount % 10 + 1;
        const QString dots = QString(DotCount, QLatin1Char('.'));
        switch (archive) {
            case 1:
                L_ZipState->setText(QStringLiteral("Opening archive ") + dots);
                fbPause->SetEnabled(false);
                break;
            case 2:
                L_ZipState->setText(QStringLiteral("Buffering data... "));
                SetLabelColor(L_ZipState, kGreen);
                fbPause->SetEnabled(true);
                break;
            case 3:
                L_ZipState->setText(QStringLiteral("Compressing data... "));
                SetLabelColor(L_ZipState, kDarkRed);
                fbPause->SetEnabled(false);
                break;
            case 4:
                L_ZipState->setText(QStringLiteral("Updating archive ") + dots);
                SetLabelColor(L_ZipState, kBlue);
                break;
            default:
                L_ZipState->clear();
                break;
        }
    }
    if (ui::F_Graph()) {
        const double factor = double(config::SizeUnitFactor(2));
        ui::F_Graph()->AddSample(graphRate_, false, float(double(delta) * 1000.0 / factor / double(dt)));
        ui::F_Graph()->AddSample(graphAverage_, true, float(double(written) * 1000.0 / factor / double(elapsed)));
    }
    if (DispTag % 16 == 0) refreshFreeSpace();
    ++DispTag;
}

void TAdvCopy::timFlashTimer() {
    FlashLookA = timFlash->interval() == 150;
    timFlash->setInterval(FlashLookA ? 250 : 150);
    if (FlashTag == 0) {
        setSpaceColors(FlashLookA ? kRed : kBlack, FlashLookA ? kBlack : kRed);
        return;
    }
    const bool show = FlashLookA;
    IMG_ErrorLF->setVisible(show && !L_ErrCntLF->text().isEmpty());
    IMG_ErrorRF->setVisible(show && !L_ErrCntRF->text().isEmpty());
}

// ---- the run's display ----------------------------------------------------------

void TAdvCopy::startTotal() {
    // Without bytes (attribute-only mode) the total counts files.
    totalBase_ = engine_.TotalBytes > 0 ? engine_.TotalBytes : engine_.JobCount();
    rateVisible_ = engine_.TotalBytes > 0;
    for (QLabel* l : {L_FilesizeTxt, L_Filesize, L_TotBytCpyTxt, L_TotalFilesize, L_ASpeedTxt, L_TransferRate})
        l->setVisible(rateVisible_);
    totalCalc_.Truncate = true;
    totalCalc_.Start(totalBase_);
    PB_CopyTotal->setValue(0);
}

void TAdvCopy::setTotal(qint64 value) {
    if (!totalCalc_.Set(value)) return;
    PB_CopyTotal->setValue(totalCalc_.Position);
    TitleSuffix = TitleSuffixOf(totalCalc_.Position);
    SetCopyCaption(QString());
}

void TAdvCopy::UpdateCopyDisplay() {
    const int numBuf = std::max(config::AppSettings().CSNumDatBuf, 1);
    if (engine_.DstNameChanged.exchange(false)) {
        const TCopyEngine::TWriterView v = engine_.WriterView();
        L_DstName->setText(v.DstName);
        L_DstNameTxt->setText(QStringLiteral("Write:"));
        SetLabelColor(L_DstNameTxt, kBlack);
        SetLabelColor(L_DstName, kBlack);
        if (L_Filesize->isVisibleTo(P_ACInfo)) L_Filesize->setText(sizeText(v.Size));
        L_FileXofY->setText(config::IntToGroupedStr(engine_.FilesStarted.load(), 0, true));
        writeCalc_.Start(v.Size);
    }
    if (engine_.DstFolderChanged.exchange(false)) setPathText(L_DstPath, engine_.WriterView().Folder);
    const int changes = engine_.WriteChanges.exchange(0);
    if (changes & 1) PB_WriteFile->setValue(0);
    if (changes > 1 && writeCalc_.Set(engine_.FileBytesShown.load())) PB_WriteFile->setValue(writeCalc_.Position);
    const int filled = engine_.FilledBuffers.load();
    if (filled != ShownBuffers) {
        ShownBuffers = filled;
        PB_NumBuffer->setRange(0, numBuf);
        PB_NumBuffer->setValue(std::clamp(filled, 0, numBuf));
        L_NumDataBuf->setText(QString::number(filled));
        setPriority(WriterPrioRule(filled, numBuf / 10, WriterPrio, ReadingDone, access::ArchiveWriteState().load()));
    }
    const int records = engine_.FilledRecords.load();
    if (records != ShownRecords) {
        ShownRecords = records;
        PB_NumFiles->setRange(0, numBuf);
        PB_NumFiles->setValue(std::clamp(records, 0, numBuf));
        L_NumFileBuf->setText(QString::number(records));
    }
    if (engine_.TotalChanged.exchange(false)) setTotal(rateVisible_ ? engine_.TotalBytesWritten.load()
                                                                    : engine_.FilesStarted.load());
}

void TAdvCopy::setPriority(int prio) {
    if (prio == WriterPrio && !L_Prio->text().isEmpty()) return;
    WriterPrio = prio;
    L_Prio->setText(PrioText(prio));
    SetLabelColor(L_Prio, PrioColor(prio));
    AppliedNice = ApplyWriterPriority(engine_.WriterThreadId.load(), prio);
}

// ---- the engine's calls ------------------------------------------------------------

void TAdvCopy::WaitForStart(TCopyEngine& engine) {
    ShowSetup();
    while (engine.CopyState() == cpSetUp) {
        if (OnWait) OnWait();
        if (engine.CopyState() != cpSetUp) break;
        config::WaitWithMessages(50);
    }
    timFlash->stop();
    FlashTag = 1;
    if (engine.CopyState() != cpRunning) return;
    // The run begins: its display starts from nothing.
    TitleSuffix.clear();
    RunStartTime = 0;
    ShownBuffers = ShownRecords = -1;
    ShownErrors = 0;
    ReadingDone = false;
    ResizeRequested = false;
    WriterPrio = wpNormal;
    L_Prio->clear();
    DotCount = 0;
    for (QLabel* l : {L_FName, L_SrcPath, L_DstName, L_DstPath, L_Filesize, L_FileXofY, L_TotalFilesize,
                      L_ElapsedTime, L_RemainingTime, L_TotalTime, L_TransferRate, L_ZipState, L_ErrCntLF,
                      L_ErrCntRF, L_ErrCntTot})
        l->clear();
    for (QProgressBar* b : {PB_ReadFile, PB_WriteFile, PB_NumBuffer, PB_NumFiles, PB_CopyTotal}) b->setValue(0);
    L_OfMaxFiles->setText(QStringLiteral("of ") + config::IntToGroupedStr(engine.JobCount(), 0, true));
    if (CB_AttrOnly->isChecked()) engine.TotalBytes = 0;
    LayoutForState(cpRunning);
    startTotal();
    refreshFreeSpace();
    shownSrcFolder_.clear();
}

void TAdvCopy::ProcessMessages() { QCoreApplication::processEvents(); }

void TAdvCopy::SetCaption(const QString& text) {
    // The caption adds the finishing warning itself while the state is 2.
    SetCopyCaption(text.contains(QStringLiteral(">> Terminate")) ? QString() : text);
}

void TAdvCopy::ShowSource(const QString& folder, const QString& name) {
    L_FName->setText(name);
    if (name.isEmpty()) {
        L_SrcPath->clear();
        return;
    }
    if (!folder.isEmpty()) setPathText(L_SrcPath, folder);
}

void TAdvCopy::UpdateDisplay(const TCopyEngine&) { UpdateCopyDisplay(); }

void TAdvCopy::AskReplace(const QString& destFolder, const QString& srcFolder, int category,
                          const QString& fileName, TReplaceAnswers& answers) {
    TF_FileReplaceDlg dlg(this);
    dlg.adjustSize();
    dlg.move(frameGeometry().left() + 50, frameGeometry().center().y() - dlg.height() / 2);
    dlg.Ask(destFolder, srcFolder, category, fileName);
    answers.StoreAnswer(category, dlg.Answers().Answer(category));
}

void TAdvCopy::ShowMessage(const QString& text, const QString& caption, int icon) {
    const config::MsgKind kind = icon == 2   ? config::MsgKind::Error
                                 : icon == 1 ? config::MsgKind::Warning
                                             : config::MsgKind::Information;
    config::showMessage(caption, QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')), kind);
}

void TAdvCopy::markEntryCopied(int row, int side) {
    if (OnEntryCopied) OnEntryCopied(row, side);
}

void TAdvCopy::WaitForClose(TCopyEngine& engine) {
    QGuiApplication::setApplicationDisplayName(QStringLiteral("TDX (copy completed)"));
    LayoutForState(cpStopped);
    fbShowLog->SetEnabled(engine.ErrorCount > 0 || config::AppSettings().CSGenLog);
    while (engine.CopyState() == cpStopped) {
        if (OnWait) OnWait();
        if (engine.CopyState() != cpStopped) break;
        config::WaitWithMessages(25);
    }
}

void TAdvCopy::ReadProgressStart(qint64 size) {
    readCalc_.Start(size);
    PB_ReadFile->setValue(0);
}

void TAdvCopy::ReadProgressMoved(qint64 bytesRead) {
    if (readCalc_.Set(bytesRead)) PB_ReadFile->setValue(readCalc_.Position);
    QCoreApplication::processEvents();
}

void TAdvCopy::ReadProgressEnd() {
    readCalc_.Moving = false;
    readCalc_.Position = 100;
    PB_ReadFile->setValue(100);
}

void TAdvCopy::RunStarted() {
    TitleSuffix = TitleSuffixOf(0);
    SetCopyCaption(QString());
    ledWrite->SetLedColor(kRed);
    SetTimerMode(0);
}

void TAdvCopy::PauseChanged(bool paused) {
    ledWrite->SetLedColor(paused ? kSilver : kRed);
    if (!paused) fbPause->SetCaption(QStringLiteral("Pause"));
}

void TAdvCopy::ReadingFinished() {
    SetFolderImages(2);
    ReadingDone = true;
    setPriority(wpNormal);
}

void TAdvCopy::WriterStopped() { ledWrite->SetLedColor(kSilver); }

void TAdvCopy::RunFinished(bool allWritten) {
    if (allWritten || !rateVisible_) {
        totalCalc_.Moving = true;
        totalCalc_.Position = -1;
        setTotal(totalBase_);
    }
    if (DispTag >= 0 && RunStartTime) {
        TickCount = 10000;
        timDispUpdTimer();
        DispTag = -1;
        L_RemainingTime->setText(config::SecondsToHMS(0));
    }
    SetTimerMode(1);
    if (engine_.ErrorCount > 0) {
        showErrors();
        L_ErrCntTot->setText(config::IntToGroupedStr(engine_.ErrorCount, 0, true) +
                             (engine_.ErrorCount == 1 ? QStringLiteral(" error") : QStringLiteral(" errors")));
        L_ErrCntTot->show();
    }
}

void TAdvCopy::RunEnded() {
    timDispUpd->stop();
    timFlash->stop();
    auto& s = config::AppSettings();
    if (isVisible()) {
        s.CFL = x();
        s.CFT = y();
    }
    hide();
    ui::CloseGraphWindow();
    RunStartTime = 0;
    TitleSuffix.clear();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tandex"));
}

}  // namespace tandex::folders
