// The options view's life: ShowOptions and its wait, the pre-scan that
// runs behind the options with its debounce, the connect of the left root,
// the check of the right root, "Start" and "Cancel", and the display of
// the pre-scan counts.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTimer>

#include "access/access_slots.h"
#include "access/file_ops.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/more_filters.h"
#include "ui/main/command_windows.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"

namespace tandex::folders {

namespace {

bool batchMode() { return ui::commandLine().BatchMode(); }
bool guiRequested() { return ui::commandLine().GuiRequested(); }

// The "More  Filters" button's first picture in its list.
constexpr int kFilterHintFirstImage = 31;

}  // namespace

bool TCmpFolder::ShowOptions(int mode) {
    TFolderCompareState& fc = FolderCompare();
    auto& s = config::AppSettings();
    const bool batch = batchMode();
    mode_ = mode;
    fbOk->setProperty("Tag", mode);
    // "Start" waits for the first pre-scan; the run's entry disables it
    // too, and tests come in here directly.
    fbOk->SetEnabled(false);

    optionsOnly_ = mode == cmOptionsOnly;
    ready_ = false;
    if (!batch) {
        fbHelp->move(fbHelp->x(), config::ScaleDpi(4));
        if (mode == cmRerun || optionsOnly_) {
            const QString current = s.FCSessData[0];
            s.FCSessData[0] = s.FCSessData[config::kListSize];
            ApplySession();
            s.FCSessData[0] = current;
            CB_Session->setEditText(QStringLiteral("QuickCompare"));
        }
        if (optionsOnly_) fbOk->SetEnabled(true);
        CB_ChkDate->show();
        CB_SubFolder->show();
        for (QWidget* w : {static_cast<QWidget*>(CB_Folder1), static_cast<QWidget*>(CB_Folder2),
                           static_cast<QWidget*>(fbOpenFolderL), static_cast<QWidget*>(fbOpenFolderR),
                           static_cast<QWidget*>(L_FolderL), static_cast<QWidget*>(L_FolderR),
                           static_cast<QWidget*>(fbSWAP), pMoreSettings, static_cast<QWidget*>(L_SettingsTit),
                           static_cast<QWidget*>(L_ControlTit)})
            w->setVisible(!optionsOnly_);
        CB_Session->setEnabled(!optionsOnly_);
        applyOptionsLayout();
        const QColor info = P_CmpInfo1->palette().color(QPalette::Window);
        ui::commandWindows().SetPulse(quint32(info.red()) | quint32(info.green()) << 8 | quint32(info.blue()) << 16,
                                      0, 6, 6, 8);
        ui::commandWindows().SetOnPulse([this](quint32 color) { PulseColor(color); });
        pulseTarget_ = true;
        F_CmpSettingsExt->LoadControls();
        F_CmpSettingsExt->OnFiltersChanged = [this](const QString& text) { FiltersChanged(text); };
        UpdateFilterHint();
        fbMoreFilters->SetCaption(QStringLiteral("More  Filters"));
        // The pickers that exist are offered; typing a folder always works.
        const bool picker = ui::commandWindows().Has(ui::cwSharedServices);
        for (QMenu* menu : {pmOpenLeft, pmOpenRight})
            for (QAction* item : menu->actions()) item->setVisible(item->data().toInt() == skFileSystem && picker);
    }
    // The pair-list mode comes with the pair-list loader: until then the
    // options always name one folder pair, also for the run that follows.
    CB_UseFPL->setChecked(false);

    UpdateSourceLayout();
    fc.RunState = rsOptions;
    fc.PreScanRunning = false;
    L_Error->hide();
    for (QWidget* w : {fbSkipFile, fbPause, fbShowLog}) w->hide();
    fbOk->move(fbPause->pos());
    fbShowLog->move(fbPause->pos());
    fbOk->SetCaption(optionsOnly_ ? QStringLiteral("Ok") : QStringLiteral("Start"));
    fbOk->show();
    for (QWidget* w : {static_cast<QWidget*>(IMG_Equal), static_cast<QWidget*>(GB_FileAttributes),
                       static_cast<QWidget*>(CB_Folder1Only), static_cast<QWidget*>(CB_FCLimitRecScan),
                       static_cast<QWidget*>(E_FCMaxDepth), UD_Level, static_cast<QWidget*>(L_FCLimitRecScan)})
        w->show();
    E_FCMaxDepth->setText(QString::number(s.FCMaxDepth));
    CB_SubFolderClick();
    TB_MaxBuf->setValue(s.FCBufSize);
    TB_MaxBufChange();
    setFolderImages(false);

    if (!batch) {
        TB_FCCChange();
        if (s.CFT < 0 && main_) {
            const QPoint at = main_->defaultFormPos(this);
            s.CFL = at.x();
            s.CFT = at.y();
        }
        if (s.CFT >= 0) move(s.CFL, s.CFT);
        show();
    }

    config::eventPump().processEvents();
    auto& stores = engine::paneStores();
    if (mode == cmRerun) {
        CB_Folder1->setEditText(stores.FilePaths[1] + stores.FileNames[1]);
        CB_Folder2->setEditText(stores.FilePaths[2] + stores.FileNames[2]);
    } else if (mode == cmSubfolderPair) {
        CB_Folder1->setEditText(stores.FolderRoots[1]);
        CB_Folder2->setEditText(stores.FolderRoots[2]);
    } else if (mode >= 0) {
        if (!showOptions_) CB_Session->setEditText(QStringLiteral("Default"));
        if (!guiRequested()) {
            for (QComboBox* box : {CB_Folder1, CB_Folder2})
                if (mode < box->count()) box->setCurrentIndex(mode);
        }
    }

    if (!optionsOnly_) {
        RestartPreScan();
        ready_ = true;
    }
    OpenGraphWindow();
    if (isVisible()) fbOk->setFocus();

    for (;;) {
        config::WaitWithMessages(50);
        if (!showOptions_ && fc.RunState == rsOptions) {
            // A batch run compares the whole list; a window run may start
            // behind the walk.
            const bool walking = fc.PreScanRunning || connectBusy_ || timDelayedPreScan->isActive();
            if (!(batch && walking) && scanList_) {
                if (errorLevel_ == 0) fbOk->SetEnabled(true);
                fbOkClick();
            }
        }
        if (fc.RunState != rsOptions) {
            while (fc.PreScanRunning && scanList_ && scanList_->Count() == 0) config::WaitWithMessages(50);
            ResetPreScanInfo(false);
            return fc.RunState == rsComparing;
        }
        if (fc.PreScanDone) {
            fc.PreScanDone = false;
            enableStartWhenIdle();
            timDispUpdTimer();
            L_PreScanTime->setText(QStringLiteral("PreScan: ") +
                                   config::TscTicksToMsText(PreScan().PreScanTicks.load()));
        }
    }
}

void TCmpFolder::enableStartWhenIdle() {
    // Start compares the list of the options shown: not while a walk, a
    // connect or a pending restart may still replace it, and not with the
    // remains of a walk that was stopped for a change.
    const TFolderCompareState& fc = FolderCompare();
    if (errorLevel_ != 0 || fc.RunState != rsOptions || fc.PreScanRunning || fc.PreScanStop || connectBusy_ ||
        timDelayedPreScan->isActive() || !scanList_)
        return;
    fbOk->SetEnabled(true);
}

// ---- debounce and restart ---------------------------------------------------------

void TCmpFolder::CB_Folder1Change() {
    if (!ready_) return;
    TFolderCompareState& fc = FolderCompare();
    if (fc.PreScanRunning || connectBusy_) fc.PreScanStop = true;
    fbOk->SetEnabled(false);
    timDelayedPreScan->start(600);
}

void TCmpFolder::FiltersChanged(const QString& text) {
    if (!text.isEmpty()) {
        QMetaObject::invokeMethod(this, &TCmpFolder::RestartPreScan, Qt::QueuedConnection);
        return;
    }
    UpdateFilterHint();
    CB_Folder1Change();
}

void TCmpFolder::fbMoreFiltersClick() {
    TF_CmpSettingsExt* panel = F_CmpSettingsExt;
    panel->move(panel->x(), panel->DockedTop() + 1);
    fbMoreFilters->setToolTip(QString());
    // The walk yields while the panel slides, so that the slide stays smooth.
    PreScan().PreScanThrottle = true;
    if (panel->IsShown()) {
        fbMoreFilters->SetCaption(QStringLiteral("More  Filters"));
        panel->SlideOut(false);
    } else {
        fbMoreFilters->SetCaption(QStringLiteral("Less  Filters"));
        panel->SlideIn();
    }
    UpdateFilterHint();
    PreScan().PreScanThrottle = false;
}

void TCmpFolder::UpdateFilterHint() {
    QString hint = F_CmpSettingsExt->IsShown() ? QStringLiteral(" Hide \"More Filters\" page ")
                                               : QStringLiteral(" Show \"More Filters\" page ");
    hint += QChar(13);
    int image = 0;
    if (!F_CmpSettingsExt->HasActiveFilter()) {
        hint += QStringLiteral(" > No filters are active! <");
    } else if (F_CmpSettingsExt->ShowFilterInfo()) {
        hint += QStringLiteral(" > Some filters are active! <");
        image = 1;
    } else {
        hint += QStringLiteral(" > Some filters have erroneous data! < ");
        image = 2;
    }
    fbMoreFilters->setToolTip(hint);
    fbMoreFilters->SetImageID(kFilterHintFirstImage + image);
}

void TCmpFolder::timDelayedPreScanTimer() {
    timDelayedPreScan->stop();
    timDelayedPreScan->setInterval(600);
    RestartPreScan();
}

void TCmpFolder::RestartPreScan() {
    TFolderCompareState& fc = FolderCompare();
    if (fc.RunState != rsOptions) return;
    SetSourceIcon(fbOpenFolderL, CB_Folder1->currentText());
    if (fc.PreScanRunning || connectBusy_) {
        fc.PreScanStop = true;
        ShowInfo(QStringLiteral("Please wait - trying to stop the pre-scan process!"));
        timDelayedPreScan->start(100);
        return;
    }
    clearMessageLine();
    // The list is about to be replaced: "Start" waits for the new one.
    fbOk->SetEnabled(false);
    QMetaObject::invokeMethod(this, &TCmpFolder::ConnectAndPreScan, Qt::QueuedConnection);
}

void TCmpFolder::ConnectAndPreScan() {
    TFolderCompareState& fc = FolderCompare();
    // A restart posted before the options closed finds nothing to do.
    if (fc.RunState != rsOptions) return;
    const bool batch = batchMode();
    const bool fromRoots = batch || guiRequested();
    connectBusy_ = true;
    PreScan().ResetCounters();
    // A walk that still runs must end before the list it fills is freed.
    preScan_.reset();
    engine::FreeScanList(scanList_);
    SetDisplayTimer(0);
    ResetPreScanInfo(true);

    const auto& roots = engine::paneStores().FolderRoots;
    leftRoot_ = fromRoots ? roots[1] : CB_Folder1->currentText();
    rightRoot_ = fromRoots ? roots[2] : CB_Folder2->currentText();
    if (!leftRoot_.isEmpty()) access::FZNormalizeFolder(leftRoot_);
    if (!rightRoot_.isEmpty()) access::FZNormalizeFolder(rightRoot_);

    const QString shown = CB_Folder1->currentText();
    const access::TFZLocation c = access::FZClassifyPath(leftRoot_);
    bool failed = false;
    if (c == access::locNone || (c != access::locShare && c != access::locFtp && c != access::locCloud &&
                                 access::FZCheckDrive(leftRoot_[0]) != 0)) {
        ShowError(1, shown.isEmpty() ? QStringLiteral("Missing path for FolderL!")
                                     : QStringLiteral("Drive ") + shown[0] + QStringLiteral(": not ready!"));
        failed = true;
    } else {
        fc.PreScanRunning = true;
        if (c == access::locShare)
            ShowInfo(QStringLiteral("Connecting to the network share, please wait..."));
        else if (c == access::locFtp)
            ShowInfo(QStringLiteral("Connecting to FTP server, please wait..."));
        else if (c == access::locCloud)
            ShowInfo(QStringLiteral("Connecting to Dropbox, please wait..."));
        const int result = c == access::locCloud ? 0 : access::FZCheckPath(leftRoot_);
        fc.FCErrorCode = result;
        if (result != 0) {
            fc.PreScanRunning = false;
            ShowError(1, LeftRootErrorText(result, shown));
            failed = true;
        } else {
            engine::NewScanList(scanList_);
            PreScan().PreScanSubfolders = batch ? config::AppSettings().FCSubDir : CB_SubFolder->isChecked();
            includeMasks_ = CB_IncludePat->currentText();
            excludeMasks_ = CB_ExcludePat->currentText();
            StartPreScan(access::FZNoSlot);
            while (fc.PreScanRunning && scanList_ && scanList_->Count() == 0) config::WaitWithMessages(50);
            clearMessageLine();
        }
    }
    // A run without the window cannot ask: it ends here.
    if (failed && fromRoots) fc.RunState = rsStopped;
    CB_Folder2Change();
    connectBusy_ = false;
}

void TCmpFolder::StartPreScan(int slot) {
    preScan_.reset();
    preScan_ = std::make_unique<TPreScanFolder>();
    TPreScanFolder& scan = *preScan_;
    scan.Root = leftRoot_;
    scan.OtherRoot = rightRoot_;
    scan.IncludeMasks = includeMasks_;
    scan.ExcludeMasks = excludeMasks_;
    scan.ExcludedFolders = CB_FCExclFolders->currentText();
    scan.ScanList = scanList_.get();
    scan.Slot = slot;
    PreScan().PreScanThrottle = false;
    FolderCompare().PreScanRunning = true;
    scan.Start();
    ++preScanStarts_;
}

void TCmpFolder::WaitPreScanStopped() {
    TFolderCompareState& fc = FolderCompare();
    timDelayedPreScan->stop();
    while (fc.PreScanRunning || connectBusy_) {
        fc.PreScanStop = true;
        config::WaitWithMessages(25);
    }
    preScan_.reset();
}

// ---- the right root and "Start" ------------------------------------------------------

void TCmpFolder::CB_Folder2Change() {
    // A run from the command line checks the root it was given.
    const QString text =
        batchMode() || guiRequested() ? engine::paneStores().FolderRoots[2] : CB_Folder2->currentText();
    SetSourceIcon(fbOpenFolderR, text);
    if (FolderCompare().RunState != rsOptions || errorLevel_ == 1) return;
    if (text.isEmpty()) {
        ShowError(2, QStringLiteral("Missing path for FolderR!"));
        return;
    }
    const access::TFZLocation c = access::FZClassifyPath(text);
    if (c == access::locFtp || c == access::locCloud || access::FZCheckDrive(text[0]) == 0) {
        if (errorLevel_ == 2) {
            ShowError(0, QString());
            // Nothing else would give "Start" back once the walk has ended.
            enableStartWhenIdle();
        }
    } else {
        ShowError(2, QStringLiteral("Drive ") + text[0] + QStringLiteral(": not ready!"));
    }
}

void TCmpFolder::fbOkClick() {
    TFolderCompareState& fc = FolderCompare();
    auto& s = config::AppSettings();
    const bool batch = batchMode();
    if (fc.RunState == rsStopped) {
        // "Close" on a finished window, or a failed connect of a batch run.
        fc.RunState = rsIdle;
        return;
    }
    if (optionsOnly_) {
        F_CmpSettingsExt->SlideOut(true);
        fc.RunState = rsConfirmed;
        return;
    }
    if (errorLevel_ > 0) {
        fbOk->SetEnabled(false);
        return;
    }
    // A run from the command line compares the roots it was given, which
    // need not be in the folder boxes.
    const bool fromRoots = batch || guiRequested();
    const auto& roots = engine::paneStores().FolderRoots;
    const bool named = fromRoots ? !roots[1].isEmpty() && !roots[2].isEmpty()
                                 : !CB_Folder1->currentText().isEmpty() && !CB_Folder2->currentText().isEmpty();
    if (!named) {
        fbOk->SetEnabled(false);
        return;
    }
    clearMessageLine();
    fbOk->SetEnabled(false);
    fc.RightRootReachable = true;
    if (!fromRoots) rightRoot_ = access::FZNormalizedFolder(CB_Folder2->currentText());

    const QString folder = fromRoots ? roots[2] : CB_Folder2->currentText();
    if (access::FZIsUncPath(rightRoot_))
        ShowInfo(QStringLiteral("Please wait - trying to access the network share:\r") + folder);
    fc.FCErrorCode = access::FZCheckPath(rightRoot_);
    if (fc.FCErrorCode != 0) {
        const QString text = RightRootErrorText(fc.FCErrorCode, folder);
        int answer = config::mrNo;
        if (showOptions_) {
            ShowError(2, text);
            answer = config::showMessage(QStringLiteral("Tandex"), text + QStringLiteral("\r\nContinue anyway?"),
                                         config::MsgKind::Question, config::mbYes | config::mbNo, config::mrNo);
        } else {
            ShowError(1, text);
            showOptions_ = !fromRoots;
        }
        if (answer != config::mrYes && !batch) return;
        fc.RightRootReachable = false;
    }

    clearMessageLine();
    setFolderImages(true);
    if (mode_ != cmRerun) storeHistories();
    if (!batch) {
        s.FCContent = TB_FCC->value();
        s.FCDateTime = CB_ChkDate->isChecked();
        s.FCAttr = GetAttrBoxes();
        s.FCSubDir = CB_SubFolder->isChecked();
        s.FCChkBoth = !CB_Folder1Only->isChecked();
        s.FCUseFPL = CB_UseFPL->isChecked();
        F_CmpSettingsExt->ApplyControls();
        F_CmpSettingsExt->SlideOut(true);
    }
    fc.RunState = rsComparing;
}

void TCmpFolder::fbCancelClick() {
    TFolderCompareState& fc = FolderCompare();
    fc.RunState = fc.RunState == rsComparing ? rsStopped : rsIdle;
    access::FZAbortAll();
    F_CmpSettingsExt->SlideOut(true);
}

// ---- the pre-scan display -----------------------------------------------------------

void TCmpFolder::ResetPreScanInfo(bool start) {
    if (start) {
        const TPreScanCountTexts t = PreScanCountTexts(0, 0, 0);
        L_PSFileNum->setText(t.files);
        L_PSFolderNum->setText(t.folders);
        L_PSFSTot->setText(t.bytes);
        L_AFSize->setText(t.average);
        L_PreScanTime->clear();
        if (config::AppSettings().FCBGFlash) ui::commandWindows().EnablePulse(true);
        return;
    }
    timDispUpd->stop();
    ui::commandWindows().EnablePulse(false);
    ShowInfo(QString());
}

void TCmpFolder::PulseColor(quint32 color) { ui::SetPanelColor(P_CmpInfo1, color); }

void TCmpFolder::timDispUpdTimer() {
    switch (timDispUpd->property("Tag").toInt()) {
    case 1:
        runTick(false);
        return;
    case 2:
        finishedTick();
        return;
    default:
        break;
    }
    const TPreScanState& ps = PreScan();
    const TPreScanCountTexts t = PreScanCountTexts(ps.PreScanFiles, ps.PreScanFolders, ps.PreScanBytes);
    L_PSFileNum->setText(t.files);
    L_PSFolderNum->setText(t.folders);
    L_PSFSTot->setText(t.bytes);
    L_AFSize->setText(t.average);
    if (errorLevel_ == 2) CB_Folder2Change();
    if (!FolderCompare().PreScanRunning && !connectBusy_) ResetPreScanInfo(false);
}

}  // namespace tandex::folders
