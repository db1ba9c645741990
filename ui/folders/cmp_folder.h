#pragma once
// The folder comparison window. Before a run it is the options view: the
// user picks the two folders, masks, subfolders, time stamp, attributes,
// content mode, buffer size and depth limit, while the pre-scan of the left
// tree already runs and shows its counts; "Start" checks the right root.
// Sessions keep named option sets; the combo boxes keep histories.
//
// The window owns the pre-scan list and the pre-scan that fills it; every
// change of an option that shapes the list stops the walk and starts a new
// one once the user has paused for a moment, so typing a folder name
// starts one walk and not one per key.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "engine/pane_stores.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/prescan.h"
#include "ui/folders/run_progress.h"
#include "ui/main/flat_button.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSlider;
class QTimer;
class QToolButton;

namespace tandex::ui {
class TF_Main;
}

namespace tandex::folders {

class TF_CmpSettingsExt;

// Run modes of the window.
enum TCmpFolderMode : int {
    cmNormal = -1,
    cmBatch = -2,
    cmRerun = 1111,
    cmOptionsOnly = 1112,
    cmCommandLine = 1113,
    cmSubfolderPair = 1114,
};

// Source kinds of the folder buttons and their popup items.
enum TSourceKind : int { skFileSystem = 0, skFtp = 1, skArchive = 2, skCloud = 3 };

class TCmpFolder : public QWidget, public TCompareWindow {
    Q_OBJECT

public:
    // main gives the window its pictures and its owner; without one (tests)
    // it is a window of its own.
    explicit TCmpFolder(ui::TF_Main* main = nullptr);
    ~TCmpFolder() override;
    TCmpFolder(const TCmpFolder&) = delete;
    TCmpFolder& operator=(const TCmpFolder&) = delete;

    // Prepares the options view for mode, starts the pre-scan and processes
    // messages until the run starts (true, RunState 2) or the options end
    // without one (false). showOptions false presses "Start" by code once
    // the pre-scan list exists.
    bool ShowOptions(int mode);
    // One folder comparison from the options to the closed window: true
    // when a comparison ran through to its log totals.
    bool Execute(bool showOptions, int mode);
    void PrepareProgressView();
    void FinishRun();
    // The run of the last Execute (kept until the next one).
    TCompareRun* Run() const { return run_.get(); }
    // The session text the last finished run remembered.
    const QString& LastSession() const { return lastSession_; }
    // Milliseconds of a steady clock; tests set their own.
    std::function<qint64()> Clock;
    void SetShowOptions(bool on) { showOptions_ = on; }
    bool ShowOptionsOn() const { return showOptions_; }

    // Sessions: the current options as a record, and session data 0 of the
    // settings applied to the controls.
    QString SessionString() const;
    void ApplySession();
    // Moves or inserts the combo's text at the top of its history (the data
    // entries of the pair lists and the sessions move along).
    void UpdateHistory(QComboBox* combo);
    QString ContentModeHint(int mode) const;
    void UpdateContentControls();
    void UpdateSourceLayout();
    int GetAttrBoxes() const;
    void SetAttrBoxes(int mask);

    // The message line of the options view; outside it ShowError shows a
    // message box.
    void ShowError(int level, const QString& text);
    void ShowWarning(const QString& text);
    void ShowInfo(const QString& text);

    // Pre-scan.
    void RestartPreScan();
    void ConnectAndPreScan();
    void StartPreScan(int slot);
    void SetSourceIcon(ui::TFlatButton2* button, const QString& path);
    void SetDisplayTimer(int kind) override;
    void ResetPreScanInfo(bool start);
    // The colour pulse's target: the pre-scan information's background.
    void PulseColor(quint32 color);

    // Form and control handlers.
    bool CmpLoadBMPFunc(int size, int index, QImage& bitmap) const;
    void ApplyLook();
    void fbOkClick();
    void fbCancelClick() override;
    void fbPauseClick();
    void fbSkipFileClick();
    void fbShowLogClick();
    void fbHelpClick();
    // The help topic fbHelpClick opens.
    QString HelpTopic() const;
    void fbSWAPClick();
    void OpenFolderClick(QObject* sender);
    void BrowseSource(bool left, int kind);
    void CB_UseFPLClick();
    void CB_SessionSelect(int index);
    void CB_SubFolderClick();
    void CB_FCLimitRecScanClick();
    void CB_Folder1Change();
    void CB_Folder2Change();
    void CB_ChkDateClick();
    void CB_PerfGraphClick();
    // The rate graph of a content comparison: created with the options,
    // fed two points per display tick (the rate since the last tick and
    // the run's average; dt and elapsed in ms), freed by CloseGraphWindow.
    void OpenGraphWindow();
    void AddGraphPoints(TCompareRun& run, qint64 dtMs, qint64 elapsedMs);
    void TB_FCCChange();
    void TB_MaxBufChange();
    void E_FCMaxDepthChange();
    void UD_LevelChangingEx(int step);
    void pMoreSettingsClick(bool realClick);
    void fbMoreFiltersClick();
    // The "More  Filters" button's hint: what the panel would do and
    // whether its filters are active or contradict each other.
    void UpdateFilterHint();
    // The more-filters panel's report: an empty text after a change of its
    // filters, any other text asks for a new pre-scan at once.
    void FiltersChanged(const QString& text);
    void timDelayedPreScanTimer();
    void timDispUpdTimer();

    // The progress routines of the run.
    void SetTotalMax(bool reset, qint64 total) override;
    void SetTotalProgress(qint64 value) override;
    void StartFileProgress(qint64 total) override;
    void SetFileProgress(qint64 value) override;
    void TotalProgressDone();
    void ShowFileName(const QString& name) override;
    void ShowScanCount(int count) override;
    void ShowBufferSize(int index) override;
    void EnablePause() override;
    void HideSkipButton() override;
    bool Paused() const override { return paused_; }
    void WaitWhilePaused() override;
    // 0 running, 1 ended, 2 aborted.
    void SetPreScanStatus(int status);
    void ShowCurrentFolders();

    // State the tests and the run read.
    bool Ready() const { return ready_; }
    int ErrorLevel() const { return errorLevel_; }
    QString MessageTitle() const;
    // The message line's text as given, line breaks included.
    QString MessageText() const { return messageText_; }
    int Mode() const { return mode_; }
    bool OptionsOnly() const { return optionsOnly_; }
    bool ConnectBusy() const { return connectBusy_; }
    const QString& LeftRoot() const { return leftRoot_; }
    const QString& RightRoot() const { return rightRoot_; }
    engine::TScanList* ScanList() const { return scanList_.get(); }
    // How many pre-scans the window has started.
    int PreScanStarts() const { return preScanStarts_; }
    // Waits, processing messages, until no pre-scan and no connect runs.
    void WaitPreScanStopped();

    // Controls.
    QWidget *P_CmpInfo1 = nullptr, *P_CmpSettings = nullptr, *P_CmpControl = nullptr, *P_Session = nullptr,
            *pMoreSettings = nullptr;
    QLabel *L_PSFileNumTxt = nullptr, *L_PSFileNum = nullptr, *L_PSFolderNumTxt = nullptr,
           *L_PSFolderNum = nullptr, *L_PSFSTotTxt = nullptr, *L_PSFSTot = nullptr, *L_AFSizeTxt = nullptr,
           *L_AFSize = nullptr, *L_ErrorTit = nullptr, *L_ErrorTxt = nullptr, *L_PreScanTime = nullptr;
    QLabel *L_SettingsTit = nullptr, *L_ControlTit = nullptr, *L_FolderL = nullptr, *L_FolderR = nullptr,
           *L_IncludePat = nullptr, *L_ExcludePat = nullptr, *L_CompareMode = nullptr,
           *L_ContentCheck = nullptr, *L_NumBuf = nullptr, *L_CurBufSize = nullptr,
           *L_FCLimitRecScan = nullptr, *L_Session = nullptr, *L_MoreSettings = nullptr,
           *IMG_MoreL = nullptr, *IMG_MoreR = nullptr, *L_Params = nullptr;
    QComboBox *CB_Folder1 = nullptr, *CB_Folder2 = nullptr, *CB_IncludePat = nullptr, *CB_ExcludePat = nullptr,
              *CB_FolderPairList = nullptr, *CB_FCExclFolders = nullptr, *CB_Session = nullptr;
    QPlainTextEdit* M_FParList = nullptr;
    QCheckBox *CB_UseFPL = nullptr, *CB_SubFolder = nullptr, *CB_ChkDate = nullptr, *CB_Folder1Only = nullptr,
              *CB_FCAttrHidden = nullptr, *CB_FCAttrSystem = nullptr, *CB_FCAttrReadOnly = nullptr,
              *CB_FCAttrArchive = nullptr, *CB_FCLimitRecScan = nullptr, *CB_DisRdCache = nullptr,
              *CB_PerfGraph = nullptr;
    QGroupBox* GB_FileAttributes = nullptr;
    QSlider *TB_FCC = nullptr, *TB_MaxBuf = nullptr;
    QLineEdit* E_FCMaxDepth = nullptr;
    QWidget* UD_Level = nullptr;
    QToolButton *UD_Up = nullptr, *UD_Down = nullptr;
    QLabel *IMG_LFolder = nullptr, *IMG_Equal = nullptr, *IMG_RFolder = nullptr, *L_Error = nullptr;
    ui::TFlatButton2 *fbOpenFolderL = nullptr, *fbOpenFolderR = nullptr, *fbSWAP = nullptr, *fbHelp = nullptr,
                     *fbOk = nullptr, *fbCancel = nullptr, *fbPause = nullptr, *fbSkipFile = nullptr,
                     *fbShowLog = nullptr, *fbMoreFilters = nullptr;
    // Owned by the window, which creates it hidden with itself.
    TF_CmpSettingsExt* F_CmpSettingsExt = nullptr;
    QMenu *pmOpenLeft = nullptr, *pmOpenRight = nullptr;
    QTimer *timDelayedPreScan = nullptr, *timDispUpd = nullptr;
    // The progress view.
    QWidget* P_CmpInfo2 = nullptr;
    QLabel *L_PreScanTxt = nullptr, *L_FileScan = nullptr, *L_FileCnt1Txt = nullptr, *L_FileCnt1 = nullptr,
           *L_FileCnt2Txt = nullptr, *L_FileCnt2 = nullptr, *L_FolderCnt1Txt = nullptr, *L_FolderCnt1 = nullptr,
           *L_FolderCnt2Txt = nullptr, *L_FolderCnt2 = nullptr, *L_DiffTxt = nullptr, *L_DiffCnt = nullptr,
           *L_Folder1Txt = nullptr, *L_Folder1 = nullptr, *L_Folder2Txt = nullptr, *L_Folder2 = nullptr,
           *L_FileNameTxt = nullptr, *L_Name = nullptr, *L_PercentTxt = nullptr, *L_Percent = nullptr,
           *L_TotalBytesTitle = nullptr, *L_TotalBytesCmp = nullptr, *L_SpeedTxt = nullptr,
           *L_BytesPerSec = nullptr, *L_FilesPerSec = nullptr, *L_ETimeTxt = nullptr, *L_ETime = nullptr,
           *L_TTimeTxt = nullptr, *L_TTime = nullptr, *L_RTimeTxt = nullptr, *L_RTime = nullptr;
    QProgressBar *PB_File = nullptr, *PB_Total = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void createInfoPanel();
    void createSettingsPanel();
    void createControlPanel();
    void createProgressPanel();
    void runTick(bool final);
    void finishedTick();
    void setBarsPaused(bool paused);
    qint64 now() const;
    void fillHistories();
    void applyOptionsLayout();
    void AnimateControlPanel(int targetTop);
    void setFolderImages(bool active);
    void setMoreSettingsBarColor(quint32 color);
    void clearMessageLine();
    void showMessageLine(const QString& title, quint32 color, const QString& text);
    bool ftpInvolved() const;
    void storeHistories();
    void enableStartWhenIdle();
    ui::TFlatButton2* makeButton(QWidget* parent, const char* name, int x, int y, int width, int height);

    ui::TF_Main* main_ = nullptr;
    int mode_ = cmNormal;
    int graphRate_ = -1, graphAverage_ = -1;
    bool ready_ = false;
    bool showOptions_ = true;
    bool optionsOnly_ = false;
    bool connectBusy_ = false;
    bool moreBarHot_ = false;
    // The window receives the colour pulse (given back when it goes).
    bool pulseTarget_ = false;
    int errorLevel_ = 0;
    int preScanStarts_ = 0;
    QString messageText_;
    QString leftRoot_, rightRoot_;
    QString includeMasks_, excludeMasks_;
    // The list outlives the walk that fills it: the walk is declared after
    // it and therefore stopped and joined first.
    std::unique_ptr<engine::TScanList> scanList_;
    std::unique_ptr<TPreScanFolder> preScan_;

    // The run and its display.
    std::unique_ptr<TCompareRun> run_;
    bool paused_ = false;
    bool errorShown_ = false;
    int shownDiffs_ = -1;
    int ticksPerSlowStep_ = 2;
    int tickCount_ = 0;
    int scanCountSeen_ = -1;
    QString sessionText_, lastSession_;
    TFileBar fileBar_;
    TTotalBar totalBar_;
    TRunClock clock_;
    TEtaRing eta_;
};

}  // namespace tandex::folders
