#include "ui/folders/copy_engine.h"

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/ftp_access.h"
#include "access/locations.h"
#include "access/program_log.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window_seams.h"

#include <QFile>
#include <QFileInfo>

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tandex::folders {

using namespace access;

namespace {

qint64 memAvailableFromProc() {
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.startsWith("MemAvailable:")) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2) return parts[1].toLongLong() * 1024;
        }
    }
    return -1;
}

// Free and total bytes of the file system that would hold folder: its
// nearest existing parent, as a folder to be created lands there.
void freeSpaceOf(QString folder, qint64& free, qint64& total) {
    free = total = 0;
    for (;;) {
        struct statvfs st {};
        if (::statvfs(QFile::encodeName(folder).constData(), &st) == 0) {
            free = qint64(st.f_bavail) * qint64(st.f_frsize);
            total = qint64(st.f_blocks) * qint64(st.f_frsize);
            return;
        }
        if (errno != ENOENT && errno != ENOTDIR) return;
        const QString parent = QFileInfo(folder).path();
        if (parent == folder || parent.isEmpty()) return;
        folder = parent;
    }
}

// Only local files and shares are copied by this engine so far.
bool servedLocation(const QString& path) {
    const TFZLocation loc = FZClassifyPath(path);
    if (loc != locLocal && loc != locShare) return false;
    QString inner;
    FZArchiveInnerPath(path, inner);
    return inner.isEmpty();
}

const QString kNotServed =
    QStringLiteral("\\cf2  ERROR: [Copying from or to FTP sites, archives, the cloud or the web is not "
                   "available]\\cf1");

}  // namespace

int CopyBufSizeOf(int index) {
    return 32768 << std::clamp(index, 0, 7);
}

void TCopyHost::WaitForStart(TCopyEngine& engine) {
    if (engine.FreeSpace > 0)
        engine.Start();
    else
        engine.Cancel();
}

void TCopyHost::WaitForClose(TCopyEngine& engine) {
    engine.Cancel();
}

TCopyEngine::TCopyEngine(TCopyHost* host) : host_(host) {
    static TCopyHost headless;
    if (!host_) host_ = &headless;
    for (auto& l : bufLen_) l.store(-1);
    MemAvailable = memAvailableFromProc;
}

TCopyEngine::~TCopyEngine() {
    StopWriter();
    FreeRing();
}

void TCopyEngine::Prepare(int side) {
    jobs_.clear();
    TotalBytes = ReplacedBytes = 0;
    SourceSide = side;
}

void TCopyEngine::AddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row,
                         const QString& dstName, const QString& dstFolder) {
    TCopyJob& j = jobs_.emplace_back();
    j.SrcPath = srcFolder + srcName;
    j.DstPath = dstFolder + dstName;
    j.SrcFolderLen = int(srcFolder.size());
    j.DstFolderLen = int(dstFolder.size());
    j.Size = size;
    j.RowIndex = row;
    j.ResultText = QStringLiteral(" NOT processed! ");
}

void TCopyEngine::Start() {
    int expected = cpSetUp;
    copyState_.compare_exchange_strong(expected, cpRunning);
    Wake();
}

void TCopyEngine::Cancel() {
    pauseRequested_.store(false);
    int s = copyState_.load();
    for (;;) {
        int next = s == cpSetUp ? cpStopped : s - 1;
        if (copyState_.compare_exchange_weak(s, next)) {
            if (next == cpStopped && s == cpFinish) FZAbortAll();
            if (next == cpFinish) host_->SetCaption(QStringLiteral(" >> Terminate if buffer is empty! <<"));
            break;
        }
    }
    Wake();
}

void TCopyEngine::CloseRequest() {
    copyState_.store(cpSetUp);
    Wake();
}

void TCopyEngine::SetPauseRequest(bool on) {
    pauseRequested_.store(on);
    Wake();
}

void TCopyEngine::RequestBufferSize(int index) {
    newBufSizeIndex_ = std::clamp(index, 0, 7);
    sizeChange_ = true;
}

void TCopyEngine::LowerCopyState(int value) {
    int s = copyState_.load();
    while (s > value && !copyState_.compare_exchange_weak(s, value)) {
    }
    Wake();
}

void TCopyEngine::Wake() {
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
}

void TCopyEngine::SetResultText(TCopyJob* job, const QString& text) {
    if (!job) return;
    std::lock_guard lock(mutex_);
    job->ResultText = text;
}

QString TCopyEngine::ResultText(const TCopyJob* job) {
    if (!job) return {};
    std::lock_guard lock(mutex_);
    return job->ResultText;
}

void TCopyEngine::WaitWithMessages(int ms) {
    host_->ProcessMessages();
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms));
}

// ---- the ring ----------------------------------------------------------

int TCopyEngine::AllocBuffers(bool again) {
    if (again) {
        while (FilledBuffers.load(std::memory_order_acquire) > 0 && copyState_.load() > cpStopped) {
            PollWriter();
            WaitWithMessages(10);
        }
        // A buffer the writer still holds must not be unmapped under it.
        if (FilledBuffers.load(std::memory_order_acquire) > 0) return errNotEnoughMemory;
        for (int i = 0; i < NumBuffers; ++i)
            if (buffers_[i]) {
                ::munmap(buffers_[i], size_t(allocSize_));
                buffers_[i] = nullptr;
            }
        CopyBufSize = CopyBufSizeOf(newBufSizeIndex_);
    } else {
        CopyBufSize = CopyBufSizeOf(config::AppSettings().CSBufSize);
    }
    // Linux promises memory it may not have: a ring beyond what is free
    // would be killed mid-run instead of failing here.
    const qint64 available = MemAvailable ? MemAvailable() : -1;
    if (available >= 0 && qint64(CopyBufSize) * NumBuffers > available) return errNotEnoughMemory;
    allocSize_ = CopyBufSize;
    for (int i = 0; i < NumBuffers; ++i) {
        void* p = ::mmap(nullptr, size_t(CopyBufSize), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                         -1, 0);
        if (p == MAP_FAILED) return errNotEnoughMemory;
        buffers_[i] = static_cast<char*>(p);
        bufLen_[i].store(-1, std::memory_order_release);
    }
    sizeChange_ = false;
    PollWriter();
    return 0;
}

void TCopyEngine::FreeRing() {
    for (int i = 0; i < kMaxCopyBuffers; ++i) {
        if (buffers_[i]) ::munmap(buffers_[i], size_t(allocSize_));
        buffers_[i] = nullptr;
        bufLen_[i].store(-1);
        records_[i].reset();
    }
}

// ---- the run -----------------------------------------------------------

void TCopyEngine::Execute(int sourceSide, const QString& /*destRoot*/) {
    if (jobs_.empty()) return;
    SourceSide = sourceSide;
    const config::TAppSettings& s = config::AppSettings();

    const TCopyJob& first = jobs_.front();
    QString dstFolder = first.DstPath.left(first.DstFolderLen);
    QString local;
    DestIsFtp = FZIsFtpUrl(dstFolder);
    if (DestIsFtp) {
        // An FTP site tells no free space: unknown, and no reason to refuse.
        FreeSpace = 0x7FFFFFFF;
        TotalSpace = 0;
    } else if (FZLocalPathOf(dstFolder, local)) {
        freeSpaceOf(local, FreeSpace, TotalSpace);
    } else {
        FreeSpace = TotalSpace = 0;
    }

    copyState_.store(cpSetUp);
    host_->WaitForStart(*this);
    if (copyState_.load() != cpRunning) {
        Prepare(0);
        host_->RunEnded();
        return;
    }

    rs_.numDatBuf = std::clamp(s.CSNumDatBuf, 1, kMaxCopyBuffers);
    rs_.errorBox = s.ESErrorBox;
    rs_.copyAttr = s.CSAttr;
    rs_.zeroBytes = s.CSZeroBytes;
    rs_.backupBeforeCopy = s.BKBeforeCopy;
    rs_.overwrite = s.CSOverWrite;
    rs_.genLog = s.CSGenLog;
    rs_.autoClose = s.CSAutoClose;
    rs_.attrOnly = AttrOnly;
    NumBuffers = rs_.numDatBuf;

    host_->SetCaption(QStringLiteral(": Wait until drive is ready "));
    replaceAnswers_.ResetAnswers();
    if (rs_.overwrite) replaceAnswers_.SetAnswer(rcExisting, ui::eaYesAll);
    pauseRequested_.store(false);
    ErrorCount = ReadErrors = WriteErrors = 0;
    TotalBytesWritten = 0;
    GraphBytes = 0;
    if (rs_.attrOnly) TotalBytes = 0;
    FilesStarted = FilesCopied = 0;
    droppedOnStop_ = 0;
    readerReachedEnd_ = false;
    readerBufIdx_ = readerRecIdx_ = 0;
    FilledBuffers = FilledRecords = 0;
    writerQuestion_ = 0;
    syncShown_ = false;
    firstOpened_ = false;
    FZResetAbort();
    ui::errorDialog().Reset();
    partlyAnswer_.store(ui::errorDialog().PartlyAnswer());

    if (AllocBuffers(false)) {
        host_->ShowMessage(QStringLiteral("Please reduce the buffer size or the number of buffers!"),
                           QStringLiteral(" ERROR: Insufficient memory "), 2);
        Prepare(0);
        FreeRing();
        copyState_.store(cpStopped);
        host_->RunEnded();
        return;
    }
    for (int i = 0; i < NumBuffers; ++i) records_[i] = std::make_unique<TCopyFileRec>();
    writerDone_.store(true);
    writerWantsUI_.store(false);
    readerSlot_ = FZNoSlot;

    auto it = jobs_.begin();
    for (; copyState_.load() == cpRunning && it != jobs_.end(); ++it) {
        currentJob_ = &*it;
        const QString folder = it->SrcPath.left(it->SrcFolderLen);
        host_->ShowSource(folder == shownFolder_ ? QString() : folder, it->SrcPath.mid(it->SrcFolderLen, 255));
        shownFolder_ = folder;
        ReadJob(*it);
        if (pauseRequested_.load()) Pause();
    }
    readerReachedEnd_ = it == jobs_.end();
    if (readerSlot_ != FZNoSlot) FZClose(readerSlot_);
    readerSlot_ = FZNoSlot;
    host_->ReadingFinished();
    host_->ShowSource(QString(), QString());

    // Drain: the writer empties the ring while the mailbox is served; in
    // attribute-only mode it works through the records alone.
    const auto pending = [&] {
        if (!rs_.attrOnly) return FilledBuffers.load(std::memory_order_acquire) > 0;
        for (int i = 0; i < NumBuffers; ++i)
            if (records_[i] && records_[i]->State.load(std::memory_order_acquire) != 0) return true;
        return false;
    };
    while (pending() && copyState_.load() > cpStopped && !WriterGone()) {
        PollWriter();
        WaitWithMessages(100);
    }
    const bool drained = !pending();
    StopWriter();
    host_->WriterStopped();

    FZResetAbort();
    FreeRing();
    host_->UpdateDisplay(*this);
    // An attribute-only run moves no bytes: it is complete when every job
    // went through both threads, never merely because a cancel came.
    const bool everything = rs_.attrOnly ? readerReachedEnd_ && droppedOnStop_.load() == 0 && drained
                                         : TotalBytesWritten.load() == TotalBytes;
    host_->RunFinished(everything);
    if (everything) {
        // Every byte landed: the run counts as completed even when Cancel
        // came at its very end.
        int st = copyState_.load();
        if (st == cpStopped || st == cpFinish) copyState_.compare_exchange_strong(st, cpRunning);
    }
    WriteCopyLog();
    const bool completed = copyState_.load() == cpRunning;
    Prepare(0);
    host_->SetCaption(completed ? QStringLiteral(" completed ") : QStringLiteral(" canceled at "));
    {
        int st = copyState_.load();
        if (st >= cpFinish) copyState_.compare_exchange_strong(st, cpStopped);
    }
    // A close request left 0, which stays.
    if ((ErrorCount > 0 || !rs_.autoClose) && copyState_.load() == cpStopped) host_->WaitForClose(*this);
    host_->RunEnded();
}

TCopyEngine::TWriterView TCopyEngine::WriterView() {
    std::lock_guard lock(mutex_);
    return writerView_;
}

bool TCopyEngine::WriterGone() {
    // A writer that left its loop early (an exception, logged) frees no
    // more buffers: waiting for it would never end.
    if (!writerStarted_ || !writerDone_.load(std::memory_order_acquire)) return false;
    LowerCopyState(cpStopped);
    return true;
}

void TCopyEngine::StartWriter() {
    if (writerStarted_) return;
    writerStarted_ = true;
    writerDone_.store(false);
    writer_ = std::make_unique<TACWrite>(*this);
    thread_ = std::jthread([this](std::stop_token st) { writer_->Execute(st); });
}

void TCopyEngine::StopWriter() {
    if (!writerStarted_) return;
    thread_.request_stop();
    Wake();
    // The writer may still wait on a question: the mailbox is served until
    // it has left, so the join never waits on the user.
    while (!writerDone_.load(std::memory_order_acquire)) {
        PollWriter();
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(10));
    }
    PollWriter();
    thread_.join();
    writer_.reset();
    writerStarted_ = false;
}

// ---- the reader ----------------------------------------------------------

void TCopyEngine::ReadJob(TCopyJob& job) {
    auto& dlg = ui::errorDialog();
    readerRec_ = nullptr;
    if (!servedLocation(job.SrcPath) || !servedLocation(job.DstPath)) {
        SetResultText(&job, kNotServed);
        if (!job.ErrorCounted) {
            job.ErrorCounted = true;
            ++ErrorCount;
        }
        return;
    }
    dlg.ResetRetries(0);
    host_->ReadProgressStart(job.Size);
    bool opened = false;
    for (;;) {
        int r = 0;
        if (readerSlot_ == FZNoSlot) r = FZOpen(job.SrcPath, twGenAccess, false, readerSlot_);
        if (!r) {
            FZSetArchiveDetect(readerSlot_, false);
            r = FZReopen(readerSlot_, job.SrcPath, twReadAccess);
        }
        if (!r) {
            opened = true;
            break;
        }
        // A source that cannot be opened, the first open included, goes
        // through the policy: never an endless retry.
        if (HandleError(r, eoOpenRead)) break;
    }
    auto closeSource = [&] {
        host_->ReadProgressEnd();
        if (readerSlot_ == FZNoSlot) return;
        if (const int r = FZCloseFile(readerSlot_)) HandleError(r, eoCloseRead);
    };
    if (!opened) {
        closeSource();
        return;
    }
    if (!firstOpened_) {
        firstOpened_ = true;
        StartWriter();
        host_->RunStarted();
    }
    if (!WaitRecordFree()) {
        closeSource();
        return;
    }
    TCopyFileRec& rec = *records_[readerRecIdx_];
    FilledRecords.fetch_add(1);
    if (const int r = FZGetFileInformation(readerSlot_, rec.Info)) {
        // Without the file's size nothing can be handed over: a read error,
        // never an empty " OK!".
        FilledRecords.fetch_sub(1);
        dlg.ResetRetries(0);
        GiveUpFile(r, eoRead);
        closeSource();
        return;
    }
    if (!rs_.copyAttr) rec.Info.Attributes = 0;
    rec.Mode = -1;
    struct stat st {};
    if (const int fd = FZSlotHandle(readerSlot_); fd >= 0 && ::fstat(fd, &st) == 0) rec.Mode = int(st.st_mode & 07777);
    if (rec.Info.size() == 0 && !rs_.zeroBytes) {
        SetResultText(&job, QStringLiteral("\\cf3 ") + ResultText(&job) +
                                QStringLiteral("[ Copying of empty files disabled ]\\cf1"));
        FilledRecords.fetch_sub(1);
        closeSource();
        return;
    }
    rec.Job = &job;
    rec.DstPath = job.DstPath;
    rec.SrcFolder = job.SrcPath.left(std::max(job.SrcFolderLen - 1, 0));
    rec.DstFolderLen = job.DstFolderLen;
    rec.ErrorCode.store(0);
    rec.EndBuf.store(-1);
    rec.FirstBuf.store(readerBufIdx_);
    if (rs_.attrOnly) {
        // No data: the writer sets the times and attributes at once.
        rec.EndBuf.store(readerBufIdx_);
        rec.State.store(3, std::memory_order_release);
        readerRecIdx_ = (readerRecIdx_ + 1) % NumBuffers;
        Wake();
        host_->ProcessMessages();
        closeSource();
        return;
    }
    readerRec_ = &rec;
    rec.State.store(1, std::memory_order_release);
    Wake();

    int readStatus = 0;
    qint64 lastCount = CopyBufSize;
    qint64 offset = 0;
    // The file is copied at the size it had when it was opened: what it
    // grows by later is not read, and ending before that size is an error.
    const qint64 size = rec.Info.size();
    while (readStatus == 0 && lastCount == CopyBufSize) {
        if (!WaitBufferFree(rec)) break;
        FilledBuffers.fetch_add(1);
        dlg.ResetRetries(0);
        const int idx = readerBufIdx_;
        for (;;) {
            qint64 done = 0;
            const qint64 want = std::min<qint64>(CopyBufSize, size - offset);
            int r = FZRead(readerSlot_, buffers_[idx], want, done);
            if (!r && done < want) r = errEndOfFile;
            if (!r) {
                lastCount = done;
                offset += done;
                bufLen_[idx].store(int(done), std::memory_order_release);
                host_->ReadProgressMoved(offset);
                break;
            }
            // Nothing of a failed read counts: the retry reads the same
            // part of the file again.
            if (!HandleError(r, eoRead)) {
                FZSeek(readerSlot_, offset);
                continue;
            }
            readStatus = r;
            break;
        }
        readerBufIdx_ = (readerBufIdx_ + 1) % NumBuffers;
        rec.EndBuf.store(readerBufIdx_, std::memory_order_release);
        Wake();
        PollWriter();
        if (sizeChange_ && readStatus == 0 && copyState_.load() == cpRunning) {
            const int oldSize = CopyBufSize;
            WaitWriterIdle();
            if (const int r = AllocBuffers(true)) {
                host_->ShowMessage(QStringLiteral("Please reduce the buffer size or the number of buffers!"),
                                   QStringLiteral(" ERROR: Insufficient memory "), 2);
                LowerCopyState(cpStopped);
                readStatus = r;
                break;
            }
            if (lastCount == oldSize) lastCount = CopyBufSize;
        }
    }
    // Only a record still being filled is complete now; one the writer gave
    // up (2) is finished by its drain.
    int filling = 1;
    rec.State.compare_exchange_strong(filling, 3, std::memory_order_acq_rel);
    readerRecIdx_ = (readerRecIdx_ + 1) % NumBuffers;
    readerRec_ = nullptr;
    Wake();
    closeSource();
}

void TCopyEngine::WaitWriterIdle() {
    do {
        PollWriter();
        if (writerWantsUI_.load()) WaitWithMessages(10);
    } while (writerWantsUI_.load() && copyState_.load() > cpStopped);
}

bool TCopyEngine::WaitRecordFree() {
    while (records_[readerRecIdx_]->State.load(std::memory_order_acquire) != 0 &&
           copyState_.load() == cpRunning) {
        if (WriterGone()) break;
        WaitWriterIdle();
        WaitWithMessages(10);
    }
    return copyState_.load() == cpRunning;
}

bool TCopyEngine::WaitBufferFree(TCopyFileRec& rec) {
    while (BufferFilled(readerBufIdx_) && rec.State.load() == 1 && copyState_.load() == cpRunning) {
        if (WriterGone()) break;
        WaitWriterIdle();
        WaitWithMessages(10);
    }
    return rec.State.load() == 1 && copyState_.load() == cpRunning;
}

void TCopyEngine::PollWriter() {
    host_->UpdateDisplay(*this);
    const int q = writerQuestion_.load(std::memory_order_acquire);
    if (q != 0) {
        const int op = writerQuestionOp_.load();
        TCopyFileRec* rec = records_[writerRecIdx_.load()].get();
        auto& dlg = ui::errorDialog();
        if (q < 0) {
            if (!syncShown_) {
                syncShown_ = true;
                const auto g = [](qint64 v) { return config::Int64ToGroupedStr(v, 0, true); };
                host_->ShowMessage(
                    QStringLiteral("Thread synchronisation failed!     Copy stopps now!\rErrordata: ") +
                        g(rec ? rec->FirstBuf.load() : -1) + QLatin1Char(',') + g(writerBufIdx_.load()) +
                        QLatin1Char(',') + g(~q) + QLatin1Char(',') + g(writerRecIdx_.load()) +
                        QLatin1Char(',') + g(FilesStarted.load()) + QStringLiteral("\r") +
                        QStringLiteral("Please report the above Errordata together with your\r") +
                        QStringLiteral("description of the copy run to the program's support.\r") +
                        QStringLiteral("Thank you for your support to make this program work correctly!"),
                    QStringLiteral("Tandex"), 1);
            }
        } else if (q == csAskPartly) {
            host_->SetDisplayTimer(5);
            dlg.Ask(rec ? rec->DstPath : QString(),
                    FZErrorText(-std::abs(rec ? rec->ErrorCode.load() : 0), op), true, 1, true);
            partlyAnswer_.store(dlg.PartlyAnswer());
            if (dlg.PartlyAnswer() == ui::eaCancelAll) LowerCopyState(cpFinish);
            host_->SetDisplayTimer(6);
        } else if (q >= csAskReplace && q <= csAskSystem) {
            host_->SetDisplayTimer(5);
            if (rec)
                host_->AskReplace(rec->DstPath.left(rec->DstFolderLen), rec->SrcFolder, q - csAskReplace,
                                  rec->DstPath.mid(rec->DstFolderLen, 255), replaceAnswers_);
            if (replaceAnswers_.Answer(rcExisting) == ui::eaCancelAll) LowerCopyState(cpStopped);
            host_->SetDisplayTimer(6);
        } else {
            if (q == csSkipped || copyState_.load() != cpRunning) {
                int filling = 1;
                if (rec) rec->State.compare_exchange_strong(filling, 2);
            } else {
                if (writeRetriesReset_.exchange(false)) dlg.ResetRetries(1);
                HandleError(q, op);
            }
        }
        {
            std::lock_guard lock(mutex_);
            writerQuestion_.store(0, std::memory_order_release);
        }
        wake_.notify_all();
    }
    host_->ProcessMessages();
    if (pauseRequested_.load() && !inPause_) Pause();
    if (writerWantsUI_.load()) {
        uiSeen_.store(true);
        if (FilledBuffers.load() == 0) writerWantsUI_.store(false);
        Wake();
    }
}

bool TCopyEngine::HandleError(int code, int op) {
    auto& dlg = ui::errorDialog();
    const int side = op >= eoOpenWrite ? 1 : 0;
    host_->SetDisplayTimer(5);
    TCopyJob* job = side ? (records_[writerRecIdx_.load()] ? records_[writerRecIdx_.load()]->Job : nullptr)
                         : currentJob_;
    const QString name = job ? (side ? job->DstPath : job->SrcPath) : QString();
    bool giveUp = false;
    if (dlg.ErrorAnswer() == ui::eaNoAll || code == csAborted || dlg.RetriesExhausted(side)) {
        giveUp = true;
    } else if (dlg.ErrorAnswer() != ui::eaYesAll && rs_.errorBox) {
        const int a = dlg.Ask(name, FZErrorText(-std::abs(code), op), false, side, true);
        if (a == ui::eaYes || a == ui::eaYesAll) {
            dlg.CountRetry(side);
        } else {
            giveUp = true;
            if (a == ui::eaCancelAll) LowerCopyState(cpFinish);
        }
    } else {
        dlg.RetryDelay();
        dlg.CountRetry(side);
    }
    if (giveUp) GiveUpFile(code, op);
    host_->SetDisplayTimer(6);
    return giveUp;
}

void TCopyEngine::GiveUpFile(int code, int op) {
    auto& dlg = ui::errorDialog();
    const int side = op >= eoOpenWrite ? 1 : 0;
    if (code == csAborted) LowerCopyState(cpStopped);
    TCopyFileRec* rec = side ? records_[writerRecIdx_.load()].get() : readerRec_;
    TCopyJob* job = side ? (rec ? rec->Job : nullptr) : currentJob_;
    QString text = FZErrorText(-std::abs(code), op);
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    SetResultText(job, QStringLiteral("\\cf2  ERROR: [") + text + QStringLiteral("]\\cf1  (Retrycount: ") +
                           QString::number(dlg.RetryCount(side)) + QLatin1Char(')'));
    // However many of its steps fail, a file counts once.
    if (job && !job->ErrorCounted) {
        job->ErrorCounted = true;
        ++ErrorCount;
    }
    if (side) {
        ++WriteErrors;
        if (rec) {
            rec->ErrorCode.store(code);
            int filling = 1;
            rec->State.compare_exchange_strong(filling, 2);
        }
    } else {
        ++ReadErrors;
        if (op == eoRead && rec) {
            rec->ErrorCode.store(code);
            bufLen_[readerBufIdx_].store(-2, std::memory_order_release);
        }
    }
    dlg.ExhaustRetries(side);
    host_->UpdateDisplay(*this);
    Wake();
}

void TCopyEngine::Pause() {
    host_->SetDisplayTimer(5);
    host_->SetCaption(QStringLiteral(": Paused "));
    host_->PauseChanged(true);
    inPause_ = true;
    while (pauseRequested_.load() && copyState_.load() == cpRunning) {
        // The mailbox stays served: a question the writer posted before it
        // halted is answered while the run is paused.
        PollWriter();
        WaitWithMessages(100);
    }
    inPause_ = false;
    pauseRequested_.store(false);
    Wake();
    host_->SetCaption(QString());
    host_->PauseChanged(false);
    host_->SetDisplayTimer(6);
}

void TCopyEngine::WriteCopyLog() {
    host_->SetCaption(QStringLiteral(": Write Logfile "));
    TRunLogs& logs = RunLogs();
    const config::TAppSettings& s = config::AppSettings();
    logs.SetLogFont(kCopyLog, s.AFFont.Size, s.AFFont.Name.left(255));
    logs.AddLogColor(kCopyLog, 0);
    logs.AddLogColor(kCopyLog, 255);
    logs.AddLogColor(kCopyLog, 128);
    logs.OpenLog(kCopyLog, JobCount(), FilesCopied.load(), ErrorCount);
    for (TCopyJob& job : jobs_) {
        currentJob_ = &job;
        QString line = QStringLiteral(" =>  COPY-RESULT:") + ResultText(&job);
        bool failed = false;
        if (ResultText(&job).startsWith(QStringLiteral(" OK!"))) {
            host_->markEntryCopied(job.RowIndex, SourceSide);
        } else {
            line = QStringLiteral("\\b ") + line + QStringLiteral("\\b0");
            failed = true;
        }
        if (rs_.genLog || failed) {
            logs.AddLogLine(kCopyLog, QStringLiteral("Copy ") + job.SrcPath, true);
            logs.AddLogLine(kCopyLog, QStringLiteral("to   ") + job.DstPath, true);
            logs.AddLogLine(kCopyLog, line, false);
            logs.AddLogLine(kCopyLog, QString(), false);
        }
    }
    currentJob_ = nullptr;
    if (logs.CloseLog(kCopyLog) != 0) FZLog(QStringLiteral("AC1: Could not write copy log"));
    host_->markEntryCopied(-1, 3);
}

}  // namespace tandex::folders
