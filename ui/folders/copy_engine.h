#pragma once
// The copy engine: copies a list of files from one side of a folder
// comparison to the other. The user-interface thread is the reader: it
// reads each source into a ring of page-aligned buffers and fills one file
// record per file. The writer thread (TACWrite) takes the records and
// buffers in the same order, writes each destination through its own
// access slot and reports every result into the file's job. Whenever the
// writer needs the user it posts a status code into a one-place mailbox
// and waits; the reader serves it between buffers. Nothing here touches a
// widget: the copy window fills in TCopyHost.
//
// Handover rules: every word both threads touch is atomic; the producer
// writes the data first and the state word last (release), the consumer
// reads the state word first (acquire). A buffer belongs to the reader
// while its length is -1 and to the writer while it is 0 or more (or -2);
// a record belongs to the reader while its State is 0 or 1 and to the
// writer once it is 3. The mailbox and the jobs' result texts sit behind
// one mutex whose condition variable both sides use for every wait.
//
// Data safety: a destination file is only ever replaced by a complete new
// one. A failed, abandoned or stopped write drops the new file, which has
// no name yet, so the target stays as it was; a part is committed only when
// the user asked to keep it.

#include "access/access_types.h"
#include "ui/folders/replace_rules.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tandex::folders {

// Status codes of the engine besides the access layer's result codes.
enum TCopyStatus : int {
    csAborted = 1235,  // an aborted request: give the file up, stop the run
    csSkipped = 999993,
    csAskPartly = 999994,
    csAskReplace = 999995,  // + TReplaceCategory
    csAskSystem = 999998,
    csStopFile = 999999,
};

// CopyState values.
enum TCopyStateValue : int {
    cpSetUp = 0,
    cpStopped = 1,
    cpFinish = 2,  // read no more, write what is buffered
    cpRunning = 3,
};

inline constexpr int kMaxCopyBuffers = 1000;
// Buffer sizes by CSBufSize (0..7): 32 KiB << index.
int CopyBufSizeOf(int index);

struct TCopyJob {
    qint64 Size = 0;
    int SrcFolderLen = 0;
    int DstFolderLen = 0;
    int RowIndex = 0;
    QString SrcPath;
    QString DstPath;
    // Guarded by the engine's mutex: both threads write it.
    QString ResultText;
    // The file already counts in ErrorCount; reader thread only.
    bool ErrorCounted = false;
};

struct TCopyFileRec {
    // Written by the reader before State becomes 1, read by the writer
    // after it saw State non-zero.
    QString DstPath;
    QString SrcFolder;
    TCopyJob* Job = nullptr;
    access::TFZFileInfo Info;
    // The source's permission bits, which a new destination takes; -1 when
    // unknown.
    int Mode = -1;
    int DstFolderLen = 0;
    std::atomic<int> FirstBuf{-1};
    std::atomic<int> EndBuf{-1};
    std::atomic<int> ErrorCode{0};
    // 0 free, 1 the reader fills it, 2 the reader stopped, 3 complete.
    std::atomic<int> State{0};
};

class TCopyEngine;

// What the engine needs of its window. The defaults run headless: Start
// at once when there is free space, no display, every question answered No.
class TCopyHost {
public:
    virtual ~TCopyHost() = default;
    // The set-up view: shows the summary and returns once the user pressed
    // Start (engine.Start) or Cancel (engine.Cancel).
    virtual void WaitForStart(TCopyEngine& engine);
    // Keeps the window alive during long waits; the engine calls it often.
    virtual void ProcessMessages() {}
    virtual void SetCaption(const QString& /*text*/) {}
    // The source being read; the folder only when it changed.
    virtual void ShowSource(const QString& /*folder*/, const QString& /*name*/) {}
    // The counters changed (called after every buffer and in every wait).
    virtual void UpdateDisplay(const TCopyEngine& /*engine*/) {}
    // The display clock: 5 pause, 6 resume.
    virtual void SetDisplayTimer(int /*kind*/) {}
    // The replace question for destFolder/fileName; the answer goes into
    // answers for category (a TReplaceCategory).
    virtual void AskReplace(const QString& /*destFolder*/, const QString& /*srcFolder*/, int category,
                            const QString& /*fileName*/, TReplaceAnswers& answers) {
        answers.StoreAnswer(category, ui::eaNo);
    }
    // A message box: icon 0 information, 1 warning, 2 error.
    virtual void ShowMessage(const QString& /*text*/, const QString& /*caption*/, int /*icon*/) {}
    // An entry was copied; row -1 with side 3 asks for a repaint.
    virtual void markEntryCopied(int /*row*/, int /*side*/) {}
    // The finished window: waits while CopyState stays 1 (Close sets 0).
    virtual void WaitForClose(TCopyEngine& engine);

    // The read progress of the file being read: started with its size,
    // moved to the bytes read so far, and ended (100 %) when it is closed.
    virtual void ReadProgressStart(qint64 /*size*/) {}
    virtual void ReadProgressMoved(qint64 /*bytesRead*/) {}
    virtual void ReadProgressEnd() {}
    // The first source file of the run is open: the writer runs from now.
    virtual void RunStarted() {}
    // The pause began (true) or ended.
    virtual void PauseChanged(bool /*paused*/) {}
    // The reader read its last file (the writer may still be writing).
    virtual void ReadingFinished() {}
    // The writer thread has ended.
    virtual void WriterStopped() {}
    // The ring is freed and the totals are final; allWritten when every
    // byte reached its destination.
    virtual void RunFinished(bool /*allWritten*/) {}
    // The engine is about to return from Execute, whether or not it ran.
    virtual void RunEnded() {}
};

class TACWrite;

class TCopyEngine {
public:
    explicit TCopyEngine(TCopyHost* host = nullptr);
    ~TCopyEngine();
    TCopyEngine(const TCopyEngine&) = delete;
    TCopyEngine& operator=(const TCopyEngine&) = delete;

    // ---- the caller's order: Prepare, totals, AddJob..., Execute ----
    void Prepare(int side);
    void AddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row,
                const QString& dstName, const QString& dstFolder);
    void Execute(int sourceSide, const QString& destRoot);

    qint64 TotalBytes = 0;
    qint64 ReplacedBytes = 0;
    // The window's "attributes only" box, read when the run starts: only
    // time stamps and attributes are set, no content is copied.
    bool AttrOnly = false;
    int SourceSide = 0;
    int JobCount() const { return int(jobs_.size()); }

    // ---- the window's buttons (user-interface thread) ----
    void Start();
    // One step down: 3 -> 2 -> 1 -> 0, and 0 -> 1 in the set-up view.
    void Cancel();
    // A close request ends a run like an immediate stop.
    void CloseRequest();
    void SetPauseRequest(bool on);
    bool PauseRequested() const { return pauseRequested_.load(); }
    // The track bar moved: the ring is rebuilt once the writer emptied it.
    void RequestBufferSize(int index);

    // Bytes the ring may take; /proc/meminfo's MemAvailable unless set.
    std::function<qint64()> MemAvailable;

    // ---- what the display reads ----
    int CopyState() const { return copyState_.load(); }
    qint64 FreeSpace = 0, TotalSpace = 0;
    std::atomic<int> FilledBuffers{0};
    std::atomic<int> FilledRecords{0};
    std::atomic<int> FilesStarted{0};
    std::atomic<int> FilesCopied{0};
    std::atomic<qint64> TotalBytesWritten{0};
    std::atomic<qint64> GraphBytes{0};
    int ErrorCount = 0;
    int ReadErrors = 0, WriteErrors = 0;
    int CopyBufSize = 0;
    int NumBuffers = 0;
    // The destination's free space is not known (an FTP site).
    bool DestIsFtp = false;

    // ---- what the writer shows; the display takes each flag with exchange ----
    std::atomic<bool> DstNameChanged{false};
    std::atomic<bool> DstFolderChanged{false};
    std::atomic<bool> TotalChanged{false};
    // Bit 1: a new file began; bit 2: bytes of it were written.
    std::atomic<int> WriteChanges{0};
    // Bytes of the current destination file written so far.
    std::atomic<qint64> FileBytesShown{0};
    // The kernel's id of the writer thread while it runs, else 0.
    std::atomic<int> WriterThreadId{0};
    struct TWriterView {
        QString DstName;  // at most 255 characters
        QString Folder;
        qint64 Size = 0;
    };
    TWriterView WriterView();

private:
    friend class TACWrite;

    // The settings the writer needs, copied at the run's start: the window
    // changes CSBufSize and CSGraph while the run goes on.
    struct RunSettings {
        int numDatBuf = 200;
        bool errorBox = true;
        bool copyAttr = true;
        bool zeroBytes = true;
        bool backupBeforeCopy = false;
        bool overwrite = false;
        bool genLog = false;
        bool autoClose = false;
        // Only time stamps and attributes are set; no content moves.
        bool attrOnly = false;
    };

    // ---- ring ----
    int AllocBuffers(bool again);
    void FreeRing();
    bool BufferFilled(int i) const { return bufLen_[i].load(std::memory_order_acquire) != -1; }

    // ---- reader ----
    void ReadJob(TCopyJob& job);
    void WaitWriterIdle();
    bool WaitRecordFree();
    bool WaitBufferFree(TCopyFileRec& rec);
    void PollWriter();
    bool HandleError(int code, int op);
    void GiveUpFile(int code, int op);
    void Pause();
    void WriteCopyLog();
    // Waits up to ms for a wake-up of the other side, processing messages.
    void WaitWithMessages(int ms);
    void StartWriter();
    void StopWriter();
    bool WriterGone();

    // ---- shared ----
    // Lowers CopyState to value unless it is lower already: a one-step
    // lowering never lifts the writer's 1.
    void LowerCopyState(int value);
    void Wake();
    void SetResultText(TCopyJob* job, const QString& text);
    QString ResultText(const TCopyJob* job);

    TCopyHost* host_;
    std::deque<TCopyJob> jobs_;
    RunSettings rs_;
    TReplaceAnswers replaceAnswers_;

    std::atomic<int> copyState_{cpSetUp};
    std::atomic<bool> pauseRequested_{false};
    bool sizeChange_ = false;
    int newBufSizeIndex_ = 0;

    char* buffers_[kMaxCopyBuffers] = {};
    std::atomic<int> bufLen_[kMaxCopyBuffers];
    std::unique_ptr<TCopyFileRec> records_[kMaxCopyBuffers];
    int allocSize_ = 0;  // the size each buffer of buffers_ was mapped with

    int readerBufIdx_ = 0, readerRecIdx_ = 0;
    int readerSlot_ = access::FZNoSlot;
    TCopyJob* currentJob_ = nullptr;
    TCopyFileRec* readerRec_ = nullptr;
    QString shownFolder_;
    bool syncShown_ = false;
    bool writerStarted_ = false;
    bool inPause_ = false;
    bool firstOpened_ = false;
    // Every job went through the reader.
    bool readerReachedEnd_ = false;

    // Writer side, read by the reader.
    std::atomic<int> writerBufIdx_{0}, writerRecIdx_{0};
    std::atomic<int> writerQuestion_{0};
    std::atomic<int> writerQuestionOp_{0};
    std::atomic<bool> writerWantsUI_{false}, uiSeen_{false};
    std::atomic<bool> writerDone_{true};
    // The writer began a new step: the write side's retries start over
    // before its next error is judged.
    std::atomic<bool> writeRetriesReset_{false};
    // The partly-file answer as the writer reads it.
    std::atomic<int> partlyAnswer_{0};
    // Records the writer dropped unhandled because the run was stopping.
    std::atomic<int> droppedOnStop_{0};

    std::mutex mutex_;
    std::condition_variable_any wake_;
    TWriterView writerView_;  // behind mutex_
    std::unique_ptr<TACWrite> writer_;
    std::jthread thread_;
};

// The writer thread's body and its state; one per run.
class TACWrite {
public:
    explicit TACWrite(TCopyEngine& engine) : e_(engine) {}
    void Execute(std::stop_token stop);

private:
    void Loop();
    bool OpenFolder(TCopyFileRec& rec);
    void WriteFileData();
    void ReleaseBuffer();
    bool AskWriterRetry(int code, int op);
    void PostQuestion(int code, int op);
    void CloseDestFile(bool keepPart);
    void HandleWriteFailure();
    void AbandonFile(int code);
    void FinishFile(int op);
    // Hands the file or folder the writer now works on to the display.
    void ShowFile(const TCopyFileRec& rec);
    void ShowFolder();
    // The attribute prompt for a destination the write open refused: 0 when
    // its protective attributes were dropped, csSkipped when the user
    // declined, kNothingToClear when none is set, else an error code.
    int ClearDestAttributes();
    void RestoreMovedBackup();
    // Attribute-only mode: the existing destination, set by path.
    int OpenForAttributes();
    bool Stopped() const { return stop_.stop_requested(); }
    // Waits until pred holds, the other side wakes us or the thread is
    // stopped; ms bounds it where the other side has nothing to wake.
    template <class Pred> void WaitFor(Pred pred, int ms = -1);

    TCopyEngine& e_;
    std::stop_token stop_;
    int WriterSlot = access::FZNoSlot;
    QString WriterFolder;
    TCopyFileRec* CurrentRecord = nullptr;
    qint64 FileBytesWritten = 0;
    int Result = 0;
    bool PartlyWritten = false;
    bool Finished = false;
    // A destination file is open for writing and not yet committed.
    bool fileOpen_ = false;
    // A backup that took the destination's place (a rename): it goes back
    // when the file is not replaced after all.
    QString movedToBackup_;
};

}  // namespace tandex::folders
