// The main window's start-up in two stages (the first while the window is
// built, the second on the timer's first tick, once the window exists), the
// look and icon sets, the general-purpose timer and the cancel routine.

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QLineEdit>
#include <QLabel>
#include <QStyle>
#include <QTimer>

#include "access/access_slots.h"
#include "access/archive_options.h"
#include "access/cloud_files.h"
#include "access/file_times.h"
#include "access/ping.h"
#include "access/program_log.h"
#include "access/text_files.h"
#include "command_windows.h"
#include "compare_bin.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/prg_dir.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "engine/text_compare.h"
#include "flat_button.h"
#include "image_pane.h"
#include "main_window.h"
#include "main_window_seams.h"
#include "main_window_settings.h"
#include "print_seams.h"
#include "status_win.h"
#include "window_helpers.h"

namespace tandex::ui {

void TF_Main::FormCreate() {
    QApplication::setApplicationName(QStringLiteral("Tandex"));
    setWindowTitle(QStringLiteral("Tandex"));
    SetMainForm(this);
    engine::setMainWindow(this);

    paintLock_ = 0;
    busyDepth_ = 0;
    cancelFlag_ = false;
    recompareRunning_ = imageViewBusy_ = zoomLimitReached_ = compareToPending_ = forceBinary_ = false;

    QString ghz;
    config::MeasureCpuGHz(1, ghz);

    access::FZSetLogFile(config::PrgDir().GetWritableRoot() + QStringLiteral("TDXLog.txt"));
    settings_ = std::make_unique<ProgramSettings>();
    const auto& s = config::AppSettings();

    resize(s.AFW, s.AFH);
    move(s.AFL, s.AFT);
    if (s.AFZ) setWindowState(windowState() | Qt::WindowMaximized);

    // A configured font that is not installed is replaced.
    auto& fonts = config::AppSettings();
    const QStringList families = QFontDatabase::families();
    for (config::TFontDesc* f : {&fonts.AFFont, &fonts.APFont})
        if (!f->Name.isEmpty() && !families.contains(f->Name, Qt::CaseInsensitive))
            f->Name = QStringLiteral("Courier New");
    applyPaneFont();
    midStripWidth_ = config::ScaleDpi(28);
    midStripHalf_ = config::ScaleDpi(26) / 2;
    if (s.GSBinaryUnits)
        config::SetBinarySizeUnits(s.GSForceMUnits);
    else
        config::SetDecimalSizeUnits();

    singlePaneView_ = false;
    activePanes_.fill(1);
    closeCountdown_ = 15;
    scratch1_ = QByteArray(8196, '\0');
    scratch2_ = QByteArray(8196, '\0');

    access::FZSetArchiveOptions(s.ZIPEncrypt, s.ZIPIgnFNCase, s.ZIPCompress,
                                QStringLiteral("*.zip;*.zipx;*.tar;*.gz;*.tgz;*.jar;*.obr;*.docx;*.xlsx;*.pptx;*.zhlp;") +
                                    s.ArchiveExt,
                                s.ArchivePW);

    engine::paneStores().InitCompareData();
    topRows_.fill(1);
    viewType_ = vtFree;  // the free view until the view switch arrives

    loadIconSets();
    // Recent file pairs: the menu of the pairs the settings brought.
    buildFilePairMenu();
    buildFolderPairMenu();
    updateControls();
    P_MID->setVisible(!singlePaneView_);
    engine::paneStores().PaneImages = {nullptr, imgFile1, imgFile2};
    qApp->installEventFilter(this);

    if (commandLine().BatchMode()) setWindowState(windowState() | Qt::WindowMinimized);

    // Items of "Treat file as": the fixed kind table, then automatic detection.
    static constexpr int kinds[] = {5, 8, 7, 10, 9, 12, 11};
    pmTreatfileAs->clear();
    for (int n = 0; n < 7; ++n) {
        QAction* item = pmTreatfileAs->addAction(access::FZFileKindText(kinds[n]));
        item->setObjectName(QStringLiteral("pmTE") + QString::number(n));
        item->setData(n);
    }
    pmTreatfileAs->addSeparator();
    QAction* autodetect = pmTreatfileAs->addAction(QStringLiteral("Don't override (use auto detection)"));
    autodetect->setObjectName(QStringLiteral("pmAutodetect1"));
    autodetect->setData(99);

    applyColorScheme();
    armTimer(tjSecondStage, 5);
}

bool TF_Main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        if (!config::AppSettings().GSShowHints) return true;
        // A disabled toolbar button shows its hint only when the settings ask for it.
        if (auto* tool = qobject_cast<QToolButton*>(watched); tool && tool->defaultAction())
            if (const QVariant show = tool->defaultAction()->property("ShowHint"); show.isValid() && !show.toBool())
                return true;
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->toolTipDuration() < 0)
            widget->setToolTipDuration(30000);
    }
    if (watched == this && event->type() == QEvent::WindowActivate && started_) FormActivate();
    if (event->type() == QEvent::MouseButtonDblClick && (watched == lSimLevel || watched == L_HiddenLn)) {
        if (watched == lSimLevel)
            lSimLevelDblClick();
        else
            L_HiddenLnDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TF_Main::secondStage() {
    drawTabBar();
    refreshLayout();
    captionFrameHeight_ = frameGeometry().height() - geometry().height() + menuBar()->height();

    const auto& s = config::AppSettings();
    access::FZSetDateFormat(s.GSDateTimeFmt);
    access::FZSetTabSize(s.TETabSize, s.TEMaxColumns);
    access::FZSetTimeTolerance(s.FCIgnTimeDif, s.FCIgnDST);
    access::FZSetPingOptions(s.ESUsePing, s.ESMaxPings, s.ESPingTimeOut);
    access::FZCloudLoadToken();

    if (commandLine().BatchMode()) {
        commandLine().RunBatch();
        started_ = true;
        QApplication::exit(commandLine().ExitCode());
        return;
    }

    commandWindows().CreateColors();
    PrintLandscape = s.PRLandscape ? 1 : 0;
    showPrintItems();
    if (statusWin_) {
        statusWin_->setWindowTitle(QStringLiteral("Tandex"));
        statusWin_->SetPercentMode(true);
        statusWin_->OnCancel = [this](QObject*) { cancelOperation(); };
    }

    if (commandLine().ParamCount() < 3) {
        pmShowSettingsButton1Click(nullptr);
        miVisibleWS->setChecked(s.GSVWSDetail);
        miShowRuler->setChecked(s.GSShowDPRuler);
        config::InitButtonHints();
        // Start-up auto-load: the pair of the last load before the previous
        // exit, or the last folder comparison without its options.
        if (s.SUAutoLoad == 1) FPClick1(nullptr);
        if (s.SUAutoLoad == 2) runFolderCompare(false, -1);
    }
    // A comparison named on the command line with "/gui" runs in the window.
    if (commandLine().ParamCount() >= 3) {
        if (commandLine().GetParam(1) == QLatin1String("/f")) {
            commandLine().BatchCompareFiles();
        } else if (commandLine().GetParam(1) == QLatin1String("/d")) {
            commandLine().BatchCompareFolders(1113);
            enableUI();
            showFileNames();
        }
    }

    // After an upgrade: report it and keep the previous settings; then the
    // update check when one may be due.
    updater().AfterUpgrade(QStringLiteral("Tandex"), QStringLiteral("Tandex"));
    refocusMain();
    if (s.SUAutoUpdate != 0) CheckforUpdates1Click(nullptr);
    if (s.GSShowDPRuler) drawDPRuler(false);
    started_ = true;
}

void TF_Main::CheckforUpdates1Click(QObject* sender) {
    const int state = updater().CheckForUpdate(sender != nullptr);
    // A new program waiting for installation keeps the update in front.
    if (state != UpdateServices::kUpdateReadyToInstall && isVisible()) {
        updateStatusBar();
        refocusMain();
    }
    FormActivate();
}

void TF_Main::loadIconSets() {
    const bool flat = config::AppSettings().GSGUIStyle > 0;
    config::FlatLook() = flat ? 1 : 0;
    SetDisabledAlpha(flat ? 128 : 80);
    ToolBar1->setContentsMargins(flat ? 2 : 0, flat ? 2 : 0, flat ? 2 : 0, flat ? 2 : 0);
    P_Feet->setAutoFillBackground(true);
    QPalette feet = P_Feet->palette();
    feet.setColor(QPalette::Window, flat ? QColor(0xE0, 0xE0, 0xE0) : QColor(0xA0, 0xA0, 0xA0));
    P_Feet->setPalette(feet);
    for (QWidget* w : {static_cast<QWidget*>(eFN1), static_cast<QWidget*>(eFN2)})
        w->setStyleSheet(flat ? QStringLiteral("QLineEdit { border: none; }") : QString());
    for (TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR, fbSaveFileL, fbSaveFileR, fbSWAP, fbLoad, fbLSelAll,
                            fbRSelAll, fbLSelNew, fbRSelNew, fbAlignDetails})
        b->SetFlat(flat);
    Bevel1->setVisible(flat);
    Bevel2->setVisible(flat);
    loadResourceImages(!started_);
    static constexpr int iconIndexes[] = {0, 3, 5, 1, 4, 6, 2, 8, 7, 12, 11};
    for (size_t i = 0; i < paneIcons_.size(); ++i) loadBMPFunc(32, iconIndexes[i], paneIcons_[i]);
    applyButtonImages();
    // The toolbar images follow the lists (and the colour scheme).
    if (started_) buildToolbarImages();
}

void TF_Main::SaveSettings() {
    if (settings_) settings_->Save();
}

// ---- general-purpose timer --------------------------------------------------

void TF_Main::armTimer(int tag, int delayMs) {
    jobs_.Arm(tag, delayMs, clock_.elapsed());
    restartTimer();
}

void TF_Main::restartTimer() {
    const auto next = jobs_.NextDue();
    if (!next) {
        timGPTimer->stop();
        return;
    }
    timGPTimer->start(int(qMax<qint64>(0, *next - clock_.elapsed())));
}

void TF_Main::timGPTimerTimer(QObject*) {
    timGPTimer->stop();
    // A job waits until the load that pumps events meanwhile has ended.
    if (loading_) {
        timGPTimer->start(100);
        return;
    }
    for (int tag : jobs_.TakeDue(clock_.elapsed())) runJob(tag);
    restartTimer();
}

void TF_Main::firePendingJobs() {
    timGPTimer->stop();
    for (int tag : jobs_.TakeAll()) runJob(tag);
    restartTimer();
}

void TF_Main::runJob(int tag) {
    switch (tag) {
    case tjLayout:
        refreshLayout();
        break;
    case tjSecondStage:
        secondStage();
        break;
    case tjRetryClose:
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        break;
    case tjImageGrace:
        imageViewBusy_ = false;
        break;
    case tjRecompare:
        if (recompareRunning_) {
            armTimer(tjRecompare, 100);
            break;
        }
        recompare();
        unlockPaint();
        updateControls();
        updateStatusBar();
        break;
    default:
        break;
    }
}

void TF_Main::cancelOperation() {
    cancelFlag_ = true;
    engine::textCompare().CancelTextCompare();
    AbortBinaryCompare();
    access::FZAbortAll();
}

}  // namespace tandex::ui
