#pragma once
// The copy window: the copy engine's host. Before a run it shows what will
// be copied, the space it needs and the copy options, and waits for Start;
// during the run it shows the file being read and the one being written,
// the ring's fill, rates and times, the writer lamp and flashing errors;
// afterwards it waits for Close. The window is made once and reused.

#include "ui/folders/adv_copy_rules.h"
#include "ui/folders/copy_engine.h"
#include "ui/main/flat_button.h"

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QSlider;
class QTimer;

namespace tandex::ui {
class TLED;
}

namespace tandex::folders {

class TAdvCopy : public QWidget, public TCopyHost {
    Q_OBJECT

public:
    explicit TAdvCopy(QWidget* owner = nullptr, ui::TLoadBitmap loadBitmap = {});
    ~TAdvCopy() override;

    // ---- what the caller uses: Prepare, the totals, AddJob..., Execute ----
    void Prepare(int side);
    void AddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row, const QString& dstName,
                const QString& dstFolder);
    void Execute(int sourceSide, const QString& destRoot);
    qint64& TotalBytes() { return engine_.TotalBytes; }
    qint64& ReplacedBytes() { return engine_.ReplacedBytes; }
    int JobCount() const { return engine_.JobCount(); }
    TCopyEngine& Engine() { return engine_; }
    int CopyState() const { return engine_.CopyState(); }
    // While a run (or its set-up view) is on.
    bool Running() const { return running_; }
    // Where an entry was copied to the main window; row -1 asks for a repaint.
    std::function<void(int row, int side)> OnEntryCopied;

    // ---- the views ----
    void FormCreate();
    void ShowSetup();
    void LayoutForState(int state);
    void SetFolderImages(int state);
    void SetCopyCaption(const QString& text);
    // 0 start, 1 stop, 2 pause, 3 resume.
    void SetTimerMode(int mode);
    void UpdateCopyDisplay();
    void timDispUpdTimer();
    void timFlashTimer();

    // ---- handlers ----
    void CB_AttrOnlyClick();
    void CB_CopyAttrClick();
    void CB_OverWriteClick();
    void CB_PerfGraphClick();
    void CB_DisRdCacheClick();
    void CB_DisWrCacheClick();
    void TB_MaxBufChange();
    void fbHelpClick();
    void fbShowLogClick();
    void fbOkClick();
    void fbCancelClick();
    void fbPauseClick();
    bool FormCloseQuery();

    // ---- the engine's calls ----
    void WaitForStart(TCopyEngine& engine) override;
    void ProcessMessages() override;
    void SetCaption(const QString& text) override;
    void ShowSource(const QString& folder, const QString& name) override;
    void UpdateDisplay(const TCopyEngine& engine) override;
    void SetDisplayTimer(int kind) override;
    void AskReplace(const QString& destFolder, const QString& srcFolder, int category, const QString& fileName,
                    TReplaceAnswers& answers) override;
    void ShowMessage(const QString& text, const QString& caption, int icon) override;
    void markEntryCopied(int row, int side) override;
    void WaitForClose(TCopyEngine& engine) override;
    void ReadProgressStart(qint64 size) override;
    void ReadProgressMoved(qint64 bytesRead) override;
    void ReadProgressEnd() override;
    void RunStarted() override;
    void PauseChanged(bool paused) override;
    void ReadingFinished() override;
    void WriterStopped() override;
    void RunFinished(bool allWritten) override;
    void RunEnded() override;

    // The monotonic clock in milliseconds (tests step their own).
    std::function<qint64()> Clock;
    // Called at every round of the set-up and finished waits (tests press
    // the buttons from there).
    std::function<void()> OnWait;
    // The destination root as Execute was given it.
    QString DestRoot;

    // ---- display state ----
    QString TitleSuffix;
    int ShownBuffers = -1, ShownRecords = -1, ShownErrors = 0;
    int WriterPrio = wpNormal;
    bool ReadingDone = false;
    bool ResizeRequested = false;
    qint64 NeededBytes = 0;
    int TickCount = 0, TicksPerSecond = 10;
    qint64 RunStartTime = 0, LastTickTime = 0, PauseStart = 0;
    qint64 LastGraphBytes = 0;
    int DotCount = 0;
    int DispTag = 0;   // the display timer's tick number; negative: ended
    int FlashTag = 0;  // 0 free-space warning, 1 errors
    bool FlashLookA = false;
    // The open flags the cache boxes compute; nothing reads them.
    int ReadOpenFlags = 0, WriteOpenFlags = 0;
    int AppliedNice = 0;

    // ---- controls ----
    QWidget *P_CopyInfo = nullptr, *P_CopyOpt = nullptr, *P_Control = nullptr, *P_ACInfo = nullptr;
    QLabel *L_DestTxt = nullptr, *L_CIDestPath = nullptr, *L_CINumFilesTxt = nullptr, *L_CINumFiles = nullptr,
           *L_CINumBytesTxt = nullptr, *L_CINumBytes = nullptr, *L_CIAFSizeTxt = nullptr, *L_CIAFSize = nullptr,
           *L_CIFreeBytesTxt = nullptr, *L_CIFreeBytes = nullptr, *L_CINeededBytesTxt = nullptr,
           *L_CINeededBytes = nullptr;
    QLabel *L_SettingsTitle = nullptr, *L_NumBuf = nullptr, *L_CurBufSize = nullptr;
    QCheckBox *CB_CopyAttr = nullptr, *CB_AttrOnly = nullptr, *CB_CpyEmptyFile = nullptr, *CB_OverWrite = nullptr,
              *CB_DisWrCache = nullptr, *CB_DisRdCache = nullptr, *CB_PerfGraph = nullptr;
    QSlider* TB_MaxBuf = nullptr;
    ui::TFlatButton2 *fbHelp = nullptr, *fbOk = nullptr, *fbCancel = nullptr, *fbPause = nullptr,
                     *fbShowLog = nullptr;
    QLabel *IMG_LFOpen = nullptr, *IMG_RFOpen = nullptr, *IMG_LFClosed = nullptr, *IMG_RFClosed = nullptr,
           *IMG_CopyDir = nullptr, *IMG_ErrorLF = nullptr, *IMG_ErrorRF = nullptr;
    QLabel *L_ErrCntLF = nullptr, *L_ErrCntRF = nullptr, *L_ErrCntTot = nullptr;
    QLabel *L_FNameTxt = nullptr, *L_FName = nullptr, *L_SrcPath = nullptr, *L_DstNameTxt = nullptr,
           *L_DstName = nullptr, *L_DstPath = nullptr, *L_FilesizeTxt = nullptr, *L_Filesize = nullptr,
           *L_FileXofY = nullptr, *L_OfMaxFiles = nullptr, *L_NumDataBuf = nullptr, *L_NumFileBuf = nullptr,
           *L_TotBytCpyTxt = nullptr, *L_TotalFilesize = nullptr, *L_FreeBytes = nullptr,
           *L_ElapsedTime = nullptr, *L_RemainingTime = nullptr, *L_TotalTime = nullptr, *L_ASpeedTxt = nullptr,
           *L_TransferRate = nullptr, *L_Prio = nullptr, *L_ZipState = nullptr;
    QProgressBar *PB_ReadFile = nullptr, *PB_WriteFile = nullptr, *PB_NumBuffer = nullptr, *PB_NumFiles = nullptr,
                 *PB_CopyTotal = nullptr;
    ui::TLED* ledWrite = nullptr;
    QTimer *timDispUpd = nullptr, *timFlash = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createInfoPanel();
    void createOptionsPanel();
    void createControlPanel();
    void createRunPanel();
    void loadImages();
    void setSpaceColors(ui::TColor freeColor, ui::TColor neededColor);
    void setPriority(int prio);
    void startTotal();
    void setTotal(qint64 value);
    void showErrors();
    void refreshFreeSpace();
    void openGraph();
    QString sizeText(qint64 bytes) const;
    qint64 now() const;

    TCopyEngine engine_{this};
    ui::TLoadBitmap loadBitmap_;
    bool running_ = false;
    bool rateVisible_ = true;
    TProgressCalc readCalc_, writeCalc_, totalCalc_{true};
    qint64 totalBase_ = 0;
    int graphRate_ = -1, graphAverage_ = -1;
    QString shownSrcFolder_;
};

}  // namespace tandex::folders
