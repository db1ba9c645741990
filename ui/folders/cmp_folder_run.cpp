// The run of the folder window: Execute from the options to the closed
// window, the progress view that counts while the comparison walks the
// list, pause, skip and cancel, log 0's totals and the hand-over of the
// result to the main window's folder view.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTimer>

#include <chrono>
#include <exception>

#include "access/access_slots.h"
#include "access/ping.h"
#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/path_text.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/graph_win.h"
#include "ui/folders/more_filters.h"
#include "ui/folders/run_logs.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/print_seams.h"

namespace tandex::folders {

using ui::MakeFormLabel;
using ui::ScaledRect;

namespace {

constexpr ui::TColor kRed = 255;
constexpr ui::TColor kRunningColor = 10728;
constexpr ui::TColor kBlack = 0;
constexpr int kHelpTopLow = 200;

ui::TColor windowTextColor() {
    const QColor c = QApplication::palette().color(QPalette::WindowText);
    return ui::TColor(c.red()) | ui::TColor(c.green()) << 8 | ui::TColor(c.blue()) << 16;
}

ui::TColor buttonFaceColor() {
    const QColor c = QApplication::palette().color(QPalette::Button);
    return ui::TColor(c.red()) | ui::TColor(c.green()) << 8 | ui::TColor(c.blue()) << 16;
}

QString grouped(qint64 value) { return config::Int64ToGroupedStr(value, 0, true); }

QString styled(qint64 value, const char* prefix, const char* suffix) {
    config::TNumStyle style;
    style.Kind = 4;
    style.Prefix = QLatin1String(prefix);
    style.Suffix = QLatin1String(suffix);
    return config::FormatInt64Styled(value, style);
}

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

qint64 TCmpFolder::now() const { return Clock ? Clock() : steadyMs(); }

// ---- the progress panel -------------------------------------------------------------

void TCmpFolder::createProgressPanel() {
    // It covers the options while the run counts; the help button stays
    // above it.
    P_CmpInfo2 = new QWidget(P_CmpSettings);
    P_CmpInfo2->setObjectName(QStringLiteral("P_CmpInfo2"));
    P_CmpInfo2->setGeometry(ScaledRect(0, 0, kFormWidth, kMoreBarTop + kMoreBarHeight + 15));
    P_CmpInfo2->setAutoFillBackground(true);
    QWidget* p = P_CmpInfo2;
    const struct {
        QLabel*& title;
        QLabel*& value;
        const char* titleName;
        const char* valueName;
        const char* caption;
        int x, y, titleWidth, valueWidth;
    } rows[] = {
        {L_PreScanTxt, L_FileScan, "L_PreScanTxt", "L_FileScan", "Files (pre-scan)", 8, 6, 190, 80},
        {L_DiffTxt, L_DiffCnt, "L_DiffTxt", "L_DiffCnt", "Detected differences:", 285, 6, 165, 97},
        {L_FileCnt1Txt, L_FileCnt1, "L_FileCnt1Txt", "L_FileCnt1", "Files (left pane)", 8, 22, 190, 80},
        {L_FileCnt2Txt, L_FileCnt2, "L_FileCnt2Txt", "L_FileCnt2", "Files (right pane)", 285, 22, 165, 97},
        {L_FolderCnt1Txt, L_FolderCnt1, "L_FolderCnt1Txt", "L_FolderCnt1", "Folders (left pane)", 8, 38, 190, 80},
        {L_FolderCnt2Txt, L_FolderCnt2, "L_FolderCnt2Txt", "L_FolderCnt2", "Folders (right pane)", 285, 38, 165,
         97},
        {L_Folder1Txt, L_Folder1, "L_Folder1Txt", "L_Folder1", "FolderL:", 8, 60, 56, 503},
        {L_Folder2Txt, L_Folder2, "L_Folder2Txt", "L_Folder2", "FolderR:", 8, 76, 56, 503},
        {L_FileNameTxt, L_Name, "L_FileNameTxt", "L_Name", "File:", 8, 92, 56, 503},
        {L_PercentTxt, L_Percent, "L_PercentTxt", "L_Percent", "Total progress:", 8, 128, 190, 80},
        {L_TotalBytesTitle, L_TotalBytesCmp, "L_TotalBytesTitle", "L_TotalBytesCmp", "Currently compared:", 8, 166,
         150, 420},
        {L_SpeedTxt, L_BytesPerSec, "L_SpeedTxt", "L_BytesPerSec", "Average compare speed:", 8, 182, 150, 420},
        {L_ETimeTxt, L_ETime, "L_ETimeTxt", "L_ETime", "Time elapsed:", 285, 128, 165, 97},
        {L_TTimeTxt, L_TTime, "L_TTimeTxt", "L_TTime", "Estimated time total:", 8, 198, 150, 130},
        {L_RTimeTxt, L_RTime, "L_RTimeTxt", "L_RTime", "Estimated time remaining:", 285, 198, 165, 97},
    };
    for (const auto& r : rows) {
        r.title = MakeFormLabel(p, r.titleName, ScaledRect(r.x, r.y, r.titleWidth, 15));
        r.title->setText(QLatin1String(r.caption));
        r.value = MakeFormLabel(p, r.valueName, ScaledRect(r.x + r.titleWidth, r.y, r.valueWidth, 15), true);
    }
    // The speed in files goes on the line below the speed in bytes, right
    // of the elapsed time's column.
    L_TotalBytesCmp->setGeometry(ScaledRect(158, 166, 412, 15));
    L_BytesPerSec->setGeometry(ScaledRect(158, 182, 250, 15));
    L_FilesPerSec = MakeFormLabel(p, "L_FilesPerSec", ScaledRect(420, 182, 150, 15), true);
    L_Percent->setGeometry(ScaledRect(108, 128, 80, 15));
    for (QProgressBar** bar : {&PB_File, &PB_Total}) {
        *bar = new QProgressBar(p);
        (*bar)->setObjectName(bar == &PB_File ? QStringLiteral("PB_File") : QStringLiteral("PB_Total"));
        (*bar)->setRange(0, 100);
        (*bar)->setValue(0);
        (*bar)->setTextVisible(false);
    }
    PB_File->setGeometry(ScaledRect(8, 110, kFormWidth - 16, 12));
    PB_Total->setGeometry(ScaledRect(8, 145, kFormWidth - 16, 14));
    P_CmpInfo2->hide();

    fbPause->OnClick = [this](QObject*) { fbPauseClick(); };
    fbSkipFile->OnClick = [this](QObject*) { fbSkipFileClick(); };
    fbShowLog->OnClick = [this](QObject*) { fbShowLogClick(); };
    fbHelp->OnClick = [this](QObject*) { fbHelpClick(); };
    fbHelp->show();
}

// ---- Execute --------------------------------------------------------------------------

bool TCmpFolder::Execute(bool showOptions, int mode) {
    TFolderCompareState& fc = FolderCompare();
    auto& s = config::AppSettings();
    auto& cl = ui::commandLine();
    sessionText_ = CB_Session->currentText();
    L_PreScanTime->setVisible(s.TSShowTimes);
    showOptions_ = showOptions;
    cl.SetBatchMode(mode == cmBatch);
    cl.SetGuiRequested(mode == cmCommandLine);
    fbOk->SetEnabled(false);
    fbOk->setProperty("Tag", mode);
    access::FZSetPingOptions(s.ESUsePing, s.ESMaxPings, s.ESPingTimeOut);
    access::FZResetAbort();
    ApplyLook();
    run_ = std::make_unique<TCompareRun>();

    bool result = false;
    if (!ShowOptions(mode)) {
        WaitPreScanStopped();
        engine::FreeScanList(scanList_);
        ui::CloseGraphWindow();
    } else {
        try {
            if (main_) main_->clearFolderView();
            access::FZResetAbort();
            fc.ContentCompareOn = s.FCContent > 0;
            fbHelp->move(fbHelp->x(), config::ScaleDpi(kHelpTopLow));
            PrepareProgressView();
            ui::errorDialog().Reset();
            if (fc.RunState == rsComparing) {
                TRunLogs& logs = RunLogs();
                logs.SetLogFont(kCompareLog, s.AFFont.Size, s.AFFont.Name.left(255));
                for (quint32 color : {0u, 255u, 128u}) logs.AddLogColor(kCompareLog, color);
                if (logs.OpenLog(kCompareLog, PreScan().PreScanFiles.load(), 0, 0) != 0)
                    access::FZLog(QStringLiteral("CF1: Could not open compare log"));
                TCompareRun& run = *run_;
                run.BytesExpected = PreScan().PreScanBytes.load();
                const int count = PreScan().PreScanFiles.load();
                ShowScanCount(count);
                SetPreScanStatus(fc.PreScanRunning ? 0 : 1);
                SetTotalMax(true, fc.ContentCompareOn ? 2 * run.BytesExpected + 1 : qint64(count) + 1);
                SetDisplayTimer(1);

                if (main_) main_->setWindowTitle(QStringLiteral(" Tandex "));
                setWindowTitle(QStringLiteral("Tandex"));
                run.ScanList = scanList_.get();
                run.LeftRoot = leftRoot_;
                run.RightRoot = rightRoot_;
                run.Filter = preScan_ ? preScan_->Filter : nullptr;
                run.RightRootReachable = fc.RightRootReachable;
                run.Window = this;
                run.ComparePair(s.FCSubDir);

                const TCompareCounts counts = CompareLogCounts(PreScan().PreScanFiles.load(), run.FilesCompared,
                                                               run.Differences, run.Errors, run.RightOnlyFiles);
                logs.UpdateLogCounts(kCompareLog, counts.Total, counts.Successful, counts.Errors);
                logs.CloseLog(kCompareLog);
                result = true;
            }
        } catch (const std::exception& e) {
            access::FZLog(QStringLiteral("CF2: ") + QString::fromLocal8Bit(e.what()));
            result = false;
        }
        FinishRun();
    }

    if (mode == cmRerun || mode == cmOptionsOnly) {
        if (mode == cmOptionsOnly && fc.RunState == rsConfirmed) s.FCSessData[config::kListSize] = SessionString();
        ready_ = false;
        CB_Session->setEditText(sessionText_);
        ApplySession();
    } else {
        UpdateHistory(CB_Session);
    }

    s.CFL = x();
    s.CFT = y();
    hide();
    fc.RunState = rsIdle;
    fc.PreScanDone = false;
    access::FZResetAbort();
    return result;
}

void TCmpFolder::PrepareProgressView() {
    TFolderCompareState& fc = FolderCompare();
    run_->AllocateBlockBuffers();
    paused_ = false;
    L_SettingsTit->move(L_SettingsTit->x(), config::ScaleDpi(201));
    for (QWidget* w : {static_cast<QWidget*>(fbSWAP), static_cast<QWidget*>(fbOk),
                       static_cast<QWidget*>(GB_FileAttributes), static_cast<QWidget*>(CB_ChkDate),
                       static_cast<QWidget*>(CB_SubFolder), static_cast<QWidget*>(CB_UseFPL),
                       static_cast<QWidget*>(CB_Folder1Only), static_cast<QWidget*>(E_FCMaxDepth),
                       static_cast<QWidget*>(L_FCLimitRecScan), static_cast<QWidget*>(CB_FCLimitRecScan), UD_Level})
        w->hide();
    fbPause->show();
    fbPause->SetEnabled(false);
    fbPause->SetCaption(QStringLiteral("Pause"));
    run_->ResetCounters();
    run_->ComparedTime = 0;
    clock_ = TRunClock{};
    eta_.Reset();
    fileBar_ = TFileBar{};
    totalBar_ = TTotalBar{};
    PB_File->setValue(0);
    PB_Total->setValue(0);
    setBarsPaused(false);
    shownDiffs_ = -1;
    scanCountSeen_ = -1;
    tickCount_ = 0;
    errorShown_ = false;
    for (QLabel* l : {L_FileCnt1, L_FileCnt2, L_FolderCnt1, L_FolderCnt2, L_DiffCnt, L_FileScan})
        l->setText(QStringLiteral("0"));
    L_BytesPerSec->setText(QStringLiteral("0 Bytes/sec"));
    L_TotalBytesCmp->setText(QStringLiteral("0 Bytes"));
    L_TotalBytesTitle->setText(QStringLiteral("Currently compared:"));
    L_ETime->setText(QStringLiteral("0 min 0 sec"));
    L_TTime->clear();
    L_RTime->clear();
    L_Percent->setText(QStringLiteral("0%"));
    L_FilesPerSec->setText(QStringLiteral("0 Files/sec"));
    for (QLabel* l : {L_Name, L_Folder1, L_Folder2}) l->clear();
    for (QLabel* l : {L_DiffCnt, L_DiffTxt}) ui::SetLabelColor(l, windowTextColor());
    for (QLabel* l : {L_FileNameTxt, L_Folder1Txt, L_Folder2Txt}) l->setEnabled(true);
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    if (!ui::commandLine().BatchMode()) UpdateContentControls();
    fc.ContentCompareOn = config::AppSettings().FCContent > 0;
    P_CmpInfo2->show();
    P_CmpInfo2->raise();
    fbHelp->raise();
    L_Error->hide();
}

// ---- pause, skip, cancel ------------------------------------------------------------

void TCmpFolder::fbPauseClick() {
    paused_ = !paused_;
    fbPause->SetCaption(paused_ ? QStringLiteral("Con-\rtinue") : QStringLiteral("Pause"));
}

void TCmpFolder::fbSkipFileClick() {
    if (run_) run_->SkipRequest = true;
    fbSkipFile->hide();
    if (run_) {
        for (int slot : {run_->LeftSlot, run_->RightSlot})
            if (slot != access::FZNoSlot) access::FZAbortFtpTransfer(slot);
    }
    config::eventPump().processEvents();
}

void TCmpFolder::fbShowLogClick() { ui::folderView().ShowLog(kCompareLog); }

QString TCmpFolder::HelpTopic() const {
    if (fbHelp->y() > config::ScaleDpi(100)) return QStringLiteral("Compare Folders progress");
    if (CB_UseFPL->isChecked()) return QStringLiteral("Compare Folders using a Folder Pair List");
    if (optionsOnly_) return QStringLiteral("Quick Compare Options");
    return QStringLiteral("Compare Folders using a single folder pair");
}

void TCmpFolder::fbHelpClick() { ui::ShowHelpTopic(HelpTopic()); }

void TCmpFolder::WaitWhilePaused() {
    TFolderCompareState& fc = FolderCompare();
    SetDisplayTimer(5);
    ShowCurrentFolders();
    const QString caption = windowTitle();
    setWindowTitle(caption + QStringLiteral(" : Paused "));
    while (paused_ && fc.RunState == rsComparing) {
        config::WaitWithMessages(100);
        if (fc.PreScanRunning) {
            L_FileScan->setText(grouped(PreScan().PreScanFiles.load()));
        } else if (L_PreScanTxt->property("Running").toBool()) {
            SetPreScanStatus(1);
        }
    }
    setWindowTitle(caption);
    SetDisplayTimer(6);
}

// ---- the end of a run -------------------------------------------------------------

void TCmpFolder::FinishRun() {
    TFolderCompareState& fc = FolderCompare();
    auto& s = config::AppSettings();
    TCompareRun& run = *run_;
    if (fc.PreScanRunning) {
        WaitPreScanStopped();
        SetPreScanStatus(2);
    }
    preScan_.reset();

    if (fc.ContentCompareOn) {
        if (fc.RunState != rsStopped) TotalProgressDone();
    } else if (run.FilesCompared == PreScan().PreScanFiles.load()) {
        TotalProgressDone();
    } else {
        SetTotalProgress(qint64(run.FilesCompared) + 1);
    }

    for (QLabel* l : {L_Name, L_Folder1, L_Folder2}) l->clear();
    L_TotalBytesTitle->setText(QStringLiteral("Total compared:"));
    for (QLabel* l : {L_FileNameTxt, L_Folder1Txt, L_Folder2Txt}) l->setEnabled(false);
    setWindowTitle(fc.RunState == rsComparing ? QStringLiteral(" Compare Folders completed ")
                                              : QStringLiteral(" Compare Folders canceled "));
    fbSkipFile->hide();
    fbPause->hide();
    fbShowLog->show();
    fbShowLog->SetEnabled(s.FCGenLog || run.Errors > 0);
    fbOk->move(fbCancel->pos());
    fbOk->SetCaption(QStringLiteral("Close"));
    fbOk->SetEnabled(true);
    fbOk->show();
    fbOk->raise();

    engine::paneStores().FolderEntryCount = run.EntryIndex;
    setFolderImages(false);
    IMG_Equal->hide();
    if (run.Errors > 0) {
        L_Error->setText(RunErrorText(run.Errors));
        ui::SetLabelColor(L_Error, kRed);
        L_Error->show();
    }

    SetDisplayTimer(2);
    lastSession_ = CB_Session->currentText();

    // The hand-over: the main window shows the result.
    auto& stores = engine::paneStores();
    stores.ImageLoaded[1] = stores.ImageLoaded[2] = 0;
    if (main_) {
        const auto times = stores.FileTimes;
        const auto roots = stores.FolderRoots;
        main_->switchView(engine::tvFolder, true, false);
        stores.FileTimes = times;
        stores.FolderRoots = roots;
    }
    engine::fccTabs().SetTabDiffCount(run.Differences);
    if (s.FCTreeView) {
        if (s.FCAutoExpAll)
            engine::folderRows().OpenAllFolders();
        else if (s.FCAutoExpand)
            engine::folderRows().OpenDifferentFolders();
    }
    if (fc.RunState == rsComparing) fc.RunState = rsStopped;
    if (main_) {
        if (s.FCSelFirstDif) {
            stores.PickNewerSide = 1;
            main_->gotoFirstDifference();
        }
        main_->refreshView();
    }
    if (isVisible()) activateWindow();

    if ((run.Errors == 0 && s.FCAutoClose) || ui::commandLine().BatchMode()) fc.RunState = rsIdle;
    while (fc.RunState != rsIdle) config::WaitWithMessages(25);

    run.ReleaseBlockBuffers();
    SetDisplayTimer(3);
    timDispUpd->stop();
    WaitPreScanStopped();
    engine::FreeScanList(scanList_);
    ui::CloseGraphWindow();
    P_CmpInfo2->hide();
    L_Error->hide();
    IMG_Equal->show();
    L_SettingsTit->move(L_SettingsTit->x(), config::ScaleDpi(6));
    fbHelp->move(fbHelp->x(), config::ScaleDpi(4));
    hide();
}

// ---- progress routines --------------------------------------------------------------

void TCmpFolder::StartFileProgress(qint64 total) {
    fileBar_.Start(total);
    PB_File->setValue(0);
    config::eventPump().processEvents();
}

void TCmpFolder::SetFileProgress(qint64 value) {
    const int p = fileBar_.Set(value);
    if (p >= 0) PB_File->setValue(p);
    config::eventPump().processEvents();
}

void TCmpFolder::SetTotalMax(bool reset, qint64 total) {
    totalBar_.SetMax(reset, total);
    if (reset) PB_Total->setValue(0);
    config::eventPump().processEvents();
}

void TCmpFolder::SetTotalProgress(qint64 value) {
    const int p = totalBar_.Set(value);
    if (p >= 0) {
        PB_Total->setValue(std::min(p, 100));
        L_Percent->setText(QString::number(p) + QLatin1Char('%'));
    }
    config::eventPump().processEvents();
}

void TCmpFolder::TotalProgressDone() {
    PB_Total->setValue(100);
    L_Percent->setText(QStringLiteral("100%"));
}

void TCmpFolder::ShowFileName(const QString& name) { L_Name->setText(name); }

void TCmpFolder::ShowScanCount(int count) { L_FileScan->setText(grouped(count)); }

void TCmpFolder::ShowBufferSize(int index) { L_CurBufSize->setText(BufferSizeName(index)); }

void TCmpFolder::EnablePause() { fbPause->SetEnabled(true); }

void TCmpFolder::HideSkipButton() { fbSkipFile->hide(); }

void TCmpFolder::SetPreScanStatus(int status) {
    static const char* const captions[] = {"Files (pre-scan still running)", "Files (pre-scan)",
                                           "Files (pre-scan aborted!)"};
    status = std::clamp(status, 0, 2);
    L_PreScanTxt->setText(QLatin1String(captions[status]));
    L_PreScanTxt->setProperty("Running", status == 0);
    if (status == 2) return;
    const ui::TColor color = status == 0 ? kRunningColor : kBlack;
    ui::SetLabelColor(L_PreScanTxt, color);
    ui::SetLabelColor(L_FileScan, color);
}

void TCmpFolder::ShowCurrentFolders() {
    if (!run_) return;
    const TCompareRun& run = *run_;
    const QString& left = run.LeftPath;
    const QString folder = left.left(left.lastIndexOf(QLatin1Char('/')) + 1);
    QString right = run.CurRightRoot;
    if (right.isEmpty()) right = run.RightRoot;
    if (!right.isEmpty() && !right.endsWith(QLatin1Char('/'))) right += QLatin1Char('/');
    const qsizetype below = std::max(run.LeftRootLength - 1, 0);
    right += folder.mid(below);
    if (right.endsWith(QLatin1Char('/')) && right.size() > 1) right.chop(1);
    for (QLabel* l : {L_Folder1, L_Folder2}) {
        const QFontMetrics fm(l->font());
        const QString& text = l == L_Folder1 ? folder : right;
        l->setText(config::ShortenPathToWidth([&fm](const QString& t) { return fm.horizontalAdvance(t); }, text,
                                              l->width() - 4));
    }
}

void TCmpFolder::setBarsPaused(bool paused) {
    // A paused bar keeps its value and shows its pause in a muted colour.
    for (QProgressBar* bar : {PB_File, PB_Total}) {
        bar->setEnabled(!paused);
        bar->setProperty("Paused", paused);
    }
}

void TCmpFolder::SetDisplayTimer(int kind) {
    switch (kind) {
    case 0:
        timDispUpd->setProperty("Tag", 0);
        timDispUpd->start(500);
        break;
    case 1:
        timDispUpd->setProperty("Tag", 1);
        ticksPerSlowStep_ = 2;
        clock_.Start(now());
        timDispUpd->start(200);
        break;
    case 2:
        timDispUpd->setProperty("Tag", 2);
        timDispUpd->start(250);
        break;
    case 3:
        timDispUpd->stop();
        if (timDispUpd->property("Tag").toInt() == 1) {
            tickCount_ = ticksPerSlowStep_;
            runTick(true);
            clock_.EndPass(now());
            config::eventPump().processEvents();
        }
        break;
    case 4:
        // The comparison loop starts: its clock starts with it.
        timDispUpd->stop();
        clock_.Start(now());
        timDispUpd->start();
        break;
    case 5:
        timDispUpd->stop();
        clock_.Pause(now());
        setBarsPaused(true);
        break;
    case 6:
        setBarsPaused(false);
        clock_.Resume(now());
        timDispUpd->start();
        break;
    default:
        break;
    }
}

void TCmpFolder::runTick(bool final) {
    if (!run_) return;
    TCompareRun& run = *run_;
    const TFolderCompareState& fc = FolderCompare();
    const TPreScanState& ps = PreScan();
    const int scanned = ps.PreScanFiles.load();
    if (scanned != scanCountSeen_) {
        scanCountSeen_ = scanned;
        run.BytesExpected = ps.PreScanBytes.load();
        SetTotalMax(false, fc.ContentCompareOn ? 2 * run.BytesExpected + 1 : qint64(scanned) + 1);
        L_FileScan->setText(grouped(scanned));
    }
    if (!fc.PreScanRunning && L_PreScanTxt->property("Running").toBool()) SetPreScanStatus(1);

    L_FileCnt1->setText(grouped(run.FilesCompared));
    L_FileCnt2->setText(grouped(run.FilesFoundRight));
    L_FolderCnt1->setText(grouped(run.Folders));
    L_FolderCnt2->setText(grouped(run.FoldersFoundRight));
    ShowCurrentFolders();
    if (run.Differences != shownDiffs_) {
        if (shownDiffs_ <= 0 && run.Differences > 0)
            for (QLabel* l : {L_DiffCnt, L_DiffTxt}) ui::SetLabelColor(l, kRed);
        shownDiffs_ = run.Differences;
        L_DiffCnt->setText(grouped(run.Differences));
    }

    const TRunClock::Tick t = clock_.Advance(now());
    if (fc.ContentCompareOn) AddGraphPoints(run, t.dt, t.elapsed + clock_.EarlierTime);

    if (++tickCount_ < ticksPerSlowStep_) return;
    tickCount_ = 0;
    if (SkipCountdownStep(run.SkipCountdown, fc.ContentCompareOn && fileBar_.Active) && !final)
        fbSkipFile->show();
    const qint64 elapsed = t.elapsed + clock_.EarlierTime;
    const TSlowStep step =
        eta_.Step(elapsed, totalBar_.Total, totalBar_.Value, final, run.RunBytesRead, run.FilesCompared);
    L_ETime->setText(config::SecondsToHMS(step.Elapsed));
    if (step.Estimated) {
        L_TTime->setText(config::SecondsToHMS(step.Total));
        L_RTime->setText(config::SecondsToHMS(step.Remaining));
    }
    if (fc.ContentCompareOn) {
        L_BytesPerSec->setText(styled(step.BytesPerSec, " Bytes/sec (", "/sec)"));
        L_TotalBytesCmp->setText(styled(run.RunBytesRead, " Bytes (", ")"));
    }
    L_FilesPerSec->setText(config::FloatToGroupedStr(step.FilesPerSec, 2, true) + QStringLiteral(" Files/sec"));
}

void TCmpFolder::finishedTick() {
    if (!run_ || run_->Errors == 0) return;
    // Red for 250 ms, then the panel's face for 150 ms.
    errorShown_ = !errorShown_;
    ui::SetLabelColor(L_Error, errorShown_ ? kRed : buttonFaceColor());
    timDispUpd->setInterval(errorShown_ ? 250 : 150);
}

}  // namespace tandex::folders
