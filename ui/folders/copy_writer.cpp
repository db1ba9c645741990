// The copy engine's writer thread. It never touches a window: every
// decision that needs the user goes through the mailbox, and the thread
// waits on the engine's condition variable wherever the reader has to
// move first.
#include "ui/folders/copy_engine.h"

#include "access/access_slots.h"
#include "access/backups.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/program_log.h"
#include "config/num_format.h"

#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <exception>

namespace tandex::folders {

using namespace access;

namespace {
const QString kInvalidFolder = QStringLiteral("--> Invalid <--");
constexpr int kNothingToClear = -1;
// Never set by this platform's files; a share may still report it.
constexpr quint32 kAttrSystem = 0x4;

QString grouped(qint64 v) {
    return config::Int64ToGroupedStr(v, 0, true);
}
}  // namespace

template <class Pred>
void TACWrite::WaitFor(Pred pred, int ms) {
    std::unique_lock lock(e_.mutex_);
    if (ms < 0)
        e_.wake_.wait(lock, stop_, pred);
    else
        e_.wake_.wait_for(lock, stop_, std::chrono::milliseconds(ms), pred);
}

void TACWrite::Execute(std::stop_token stop) {
    stop_ = stop;
    e_.WriterThreadId.store(int(::gettid()));
    e_.writerBufIdx_.store(0);
    e_.writerRecIdx_.store(0);
    try {
        Loop();
    } catch (const std::exception& ex) {
        FZLog(QStringLiteral("AC2: Copy writer stopped: ") + QString::fromUtf8(ex.what()));
    } catch (...) {
        FZLog(QStringLiteral("AC2: Copy writer stopped"));
    }
    // Whatever ended the loop, a file still open for writing is dropped:
    // closing the slot would commit it in place of the target.
    if (fileOpen_) FZEndFailedWrite(WriterSlot, false);
    fileOpen_ = false;
    if (WriterSlot != FZNoSlot) {
        if (const int r = FZClose(WriterSlot))
            FZLog(QStringLiteral("AC3: Closing the destination failed: ") + FZErrorText(-std::abs(r), eoCloseWrite));
    }
    WriterSlot = FZNoSlot;
    e_.WriterThreadId.store(0);
    {
        std::lock_guard lock(e_.mutex_);
        e_.writerDone_.store(true, std::memory_order_release);
    }
    e_.wake_.notify_all();
}

void TACWrite::Loop() {
    bool syncPosted = false;
    while (!Stopped()) {
        TCopyFileRec* rec = e_.records_[e_.writerRecIdx_.load()].get();
        if (!rec || rec->State.load(std::memory_order_acquire) == 0) {
            WaitFor([&] { return rec && rec->State.load(std::memory_order_acquire) != 0; });
            continue;
        }
        if (rec->FirstBuf.load() != e_.writerBufIdx_.load()) {
            // The ring is out of step: say so once and wait to be ended.
            e_.LowerCopyState(cpStopped);
            if (!syncPosted) {
                syncPosted = true;
                PostQuestion(~e_.writerBufIdx_.load(), eoNone);
            }
            WaitFor([] { return false; });
            continue;
        }
        CurrentRecord = rec;
        Result = 0;
        PartlyWritten = false;
        Finished = false;
        if (e_.copyState_.load() <= cpStopped) {
            e_.droppedOnStop_.fetch_add(1);
            AbandonFile(csStopFile);
            continue;
        }
        e_.FilesStarted.fetch_add(1);
        FileBytesWritten = 0;
        ShowFile(*rec);

        if (!OpenFolder(*rec)) continue;

        const bool attrOnly = e_.rs_.attrOnly;
        const int existing = e_.replaceAnswers_.Answer(rcExisting);
        bool isNew = true;
        if (e_.rs_.backupBeforeCopy || existing != ui::eaYesAll) {
            FZSetPath(WriterSlot, rec->DstPath);
            if (FZExists(WriterSlot) == 0) {
                isNew = false;
                if (e_.replaceAnswers_.StepBeforeAsking(rcExisting) == rsAsk) PostQuestion(csAskReplace, eoNone);
                if (e_.replaceAnswers_.StepAfterAsking(rcExisting) != rsReplace) {
                    AbandonFile(csSkipped);
                    continue;
                }
                // Setting times and attributes replaces no content: nothing
                // to keep a copy of.
                if (e_.rs_.backupBeforeCopy && !attrOnly) {
                    // Without its backup the file is not overwritten: the
                    // failure goes to the user like a failed open.
                    e_.writeRetriesReset_.store(true);
                    QString made;
                    int r = 0;
                    while ((r = FZMakeBackup(WriterSlot, nullptr, &made, true)) != 0)
                        if (AskWriterRetry(r, eoOpenWrite)) break;
                    if (r) {
                        AbandonFile(csStopFile);
                        continue;
                    }
                    if (!made.isEmpty() && FZExists(WriterSlot) != 0) movedToBackup_ = made;
                }
            }
        } else if (!attrOnly) {
            FZSetPath(WriterSlot, rec->DstPath);
            isNew = FZExists(WriterSlot) != 0;
        }

        e_.writeRetriesReset_.store(true);
        int r = 0;
        bool attributesTried = false;
        for (;;) {
            r = attrOnly ? OpenForAttributes() : FZReopen(WriterSlot, rec->DstPath, twWriteAccess);
            if (!r) break;
            if (r == errAccessDenied && !attrOnly && !attributesTried) {
                // The open refuses a write-protected target before anything
                // is written: the user may lift the protection, once a file.
                attributesTried = true;
                const int c = ClearDestAttributes();
                if (c == 0) continue;
                if (c == csSkipped) break;
                if (c != kNothingToClear) r = c;
            }
            if (AskWriterRetry(r, attrOnly ? eoSetFileTime : eoOpenWrite)) break;
        }
        if (r) {
            AbandonFile(csStopFile);
        } else if (attrOnly) {
            WriteFileData();
        } else {
            fileOpen_ = true;
            // A new file takes the source's permission bits, execute bits
            // included; one it replaces keeps its own. Read-only follows
            // the attributes.
            const int fd = FZSlotHandle(WriterSlot);
            if (isNew && rec->Mode >= 0 && fd >= 0) ::fchmod(fd, mode_t(rec->Mode & 0777) | S_IWUSR);
            WriteFileData();
        }
    }
}

int TACWrite::OpenForAttributes() {
    // Never opened for writing: that would create or empty the file.
    if (const int r = FZSetPath(WriterSlot, CurrentRecord->DstPath)) return r;
    return FZExists(WriterSlot) == 0 ? 0 : errFileNotFound;
}

int TACWrite::ClearDestAttributes() {
    TCopyFileRec& rec = *CurrentRecord;
    if (const int r = FZSetPath(WriterSlot, rec.DstPath)) return r;
    quint32 attributes = 0;
    if (const int r = FZGetAttributes(WriterSlot, attributes)) return r;
    static constexpr struct {
        quint32 bit;
        int category;
    } kProtective[] = {
        {FZAttrReadOnly, rcWriteProtected},
        {FZAttrHidden, rcHidden},
        {kAttrSystem, rcSystem},
    };
    bool any = false;
    for (const auto& p : kProtective) {
        if (!(attributes & p.bit)) continue;
        any = true;
        if (e_.replaceAnswers_.StepBeforeAsking(p.category) == rsAsk) PostQuestion(csAskReplace + p.category, eoNone);
        if (e_.replaceAnswers_.StepAfterAsking(p.category) != rsReplace) return csSkipped;
        attributes &= ~p.bit;
    }
    if (!any) return kNothingToClear;
    return FZSetAttributes(WriterSlot, attributes);
}

void TACWrite::RestoreMovedBackup() {
    if (movedToBackup_.isEmpty()) return;
    const QString dst = CurrentRecord->DstPath;
    const QString backup = movedToBackup_;
    movedToBackup_.clear();
    // Only while nothing took the file's place (a kept part did).
    if (FZSetPath(WriterSlot, dst) != 0 || FZExists(WriterSlot) == 0) return;
    if (FZSetPath(WriterSlot, backup) == 0) {
        if (const int r = FZRename(WriterSlot, dst))
            FZLog(QStringLiteral("AC4: The old file stays under its backup name ") + backup + QStringLiteral(": ") +
                  FZErrorText(-std::abs(r), eoReName));
    }
    FZSetPath(WriterSlot, dst);
}

bool TACWrite::OpenFolder(TCopyFileRec& rec) {
    const QString folder = rec.DstPath.left(rec.DstFolderLen);
    if (folder == WriterFolder) return true;
    WriterFolder = folder;
    ShowFolder();
    int r = 0;
    if (WriterSlot == FZNoSlot) {
        e_.writeRetriesReset_.store(true);
        for (;;) {
            r = FZOpen(WriterFolder, twGenWrAccess, false, WriterSlot);
            if (!r) break;
            if (AskWriterRetry(r, eoOpenWrite)) {
                AbandonFile(csStopFile);
                WriterFolder.clear();
                return false;
            }
        }
    } else {
        FZSetArchiveDetect(WriterSlot, false);
        r = FZSetPath(WriterSlot, WriterFolder);
    }
    if (!r && FZCheckLocation(WriterSlot) != 0) {
        e_.writeRetriesReset_.store(true);
        for (;;) {
            r = FZMakeFolder(WriterSlot);
            if (!r) break;
            if (AskWriterRetry(r, eoCreateDir)) {
                // The next file of this folder tries again.
                WriterFolder = kInvalidFolder;
                break;
            }
        }
    }
    if (r) {
        AbandonFile(csStopFile);
        return false;
    }
    return true;
}

void TACWrite::WriteFileData() {
    if (e_.rs_.attrOnly) {
        CloseDestFile(false);
        // The total counts files in this mode.
        e_.TotalBytesWritten.store(e_.FilesStarted.load());
        return;
    }
    TCopyFileRec& rec = *CurrentRecord;
    const qint64 size = rec.Info.size();
    while (!Stopped()) {
        const int idx = e_.writerBufIdx_.load();
        const int len = e_.bufLen_[idx].load(std::memory_order_acquire);
        if (len == -1) {
            // The data ended before the size known at the open (the source
            // shrank, or the reader stopped): never a complete file.
            if (rec.State.load(std::memory_order_acquire) >= 2) {
                const int end = rec.EndBuf.load(std::memory_order_acquire);
                if (end == -1 || end == idx) break;
            }
            if (e_.copyState_.load() <= cpStopped) break;
            WaitFor([&] {
                return e_.bufLen_[idx].load(std::memory_order_acquire) != -1 || rec.State.load() >= 2 ||
                       e_.copyState_.load() <= cpStopped;
            });
            continue;
        }
        if (len == -2) break;
        if (e_.copyState_.load() <= cpStopped) break;
        if (e_.pauseRequested_.load()) {
            // Pause holds the writer at its next buffer.
            WaitFor([&] { return !e_.pauseRequested_.load() || e_.copyState_.load() != cpRunning; });
            continue;
        }
        e_.writeRetriesReset_.store(true);
        qint64 done = 0;
        int r = 0;
        for (;;) {
            r = FZWrite(WriterSlot, e_.buffers_[idx], len, done);
            if (!r) break;
            if (AskWriterRetry(r, eoWrite)) break;
        }
        if (r) break;
        ReleaseBuffer();
        FileBytesWritten += done;
        e_.TotalBytesWritten.fetch_add(done);
        e_.GraphBytes.fetch_add(done);
        e_.FileBytesShown.store(FileBytesWritten);
        e_.WriteChanges.fetch_or(2);
        e_.TotalChanged.store(true);
        if (FileBytesWritten >= size) {
            CloseDestFile(false);
            return;
        }
    }
    HandleWriteFailure();
}

void TACWrite::ShowFile(const TCopyFileRec& rec) {
    {
        std::lock_guard lock(e_.mutex_);
        e_.writerView_.DstName = rec.DstPath.mid(rec.DstFolderLen, 255);
        e_.writerView_.Size = rec.Info.size();
    }
    e_.FileBytesShown.store(0);
    e_.WriteChanges.fetch_or(1);
    e_.DstNameChanged.store(true);
}

void TACWrite::ShowFolder() {
    {
        std::lock_guard lock(e_.mutex_);
        e_.writerView_.Folder = WriterFolder;
    }
    e_.DstFolderChanged.store(true);
}

void TACWrite::ReleaseBuffer() {
    const int idx = e_.writerBufIdx_.load();
    if (e_.bufLen_[idx].load(std::memory_order_acquire) == -1) {
        WaitFor([&] { return e_.bufLen_[idx].load(std::memory_order_acquire) != -1; }, 10);
        return;
    }
    {
        std::lock_guard lock(e_.mutex_);
        e_.bufLen_[idx].store(-1, std::memory_order_release);
        e_.writerBufIdx_.store((idx + 1) % e_.NumBuffers);
        e_.FilledBuffers.fetch_sub(1, std::memory_order_release);
    }
    e_.wake_.notify_all();
}

bool TACWrite::AskWriterRetry(int code, int op) {
    PostQuestion(code, op);
    if (CurrentRecord->ErrorCode.load() != 0 || Stopped() || e_.copyState_.load() != cpRunning) {
        Result = csStopFile;
        return true;
    }
    Result = 0;
    return false;
}

void TACWrite::PostQuestion(int code, int op) {
    {
        std::lock_guard lock(e_.mutex_);
        e_.writerQuestionOp_.store(op);
        e_.writerQuestion_.store(code, std::memory_order_release);
    }
    e_.wake_.notify_all();
    // Not cut short by a stop request: the reader serves the mailbox until
    // this thread has left.
    std::unique_lock lock(e_.mutex_);
    e_.wake_.wait(lock, [&] { return e_.writerQuestion_.load(std::memory_order_acquire) == 0; });
}

void TACWrite::CloseDestFile(bool keepPart) {
    const TFZFileInfo& info = CurrentRecord->Info;
    // On a file being written the times are applied when it is committed.
    int r = FZSetFileTime(WriterSlot, info.CreationTime, info.LastAccessTime, info.LastWriteTime);
    if (!Result) Result = r;
    // Attribute-only mode has no file open: the times went to the path.
    int closed = 0;
    if (fileOpen_) closed = keepPart ? FZEndFailedWrite(WriterSlot, true) : FZCloseFile(WriterSlot);
    fileOpen_ = false;
    int op = eoSetFileTime;
    if (closed && !Result) Result = closed;
    if (closed) op = eoCloseWrite;
    if (!Result && (e_.rs_.attrOnly || info.Attributes != 0)) {
        Result = FZSetAttributes(WriterSlot, info.Attributes);
        op = eoSetFileAttr;
    }
    FinishFile(op);
    Finished = true;
}

void TACWrite::HandleWriteFailure() {
    const int asked = Result ? eoWrite : eoRead;
    if (FileBytesWritten > 0 && e_.rs_.errorBox && e_.partlyAnswer_.load() != ui::eaYesAll &&
        e_.partlyAnswer_.load() != ui::eaNoAll) {
        if (e_.copyState_.load() != cpRunning || Stopped())
            e_.partlyAnswer_.store(ui::eaNo);
        else
            PostQuestion(csAskPartly, asked);
    }
    const int keep = e_.partlyAnswer_.load();
    if (FileBytesWritten > 0 && e_.rs_.errorBox && (keep == ui::eaYes || keep == ui::eaYesAll) &&
        e_.copyState_.load() >= cpFinish) {
        ReleaseBuffer();
        PartlyWritten = true;
        Result = csStopFile;
        CloseDestFile(true);
        return;
    }
    // The new file has no name yet: dropping it leaves the target as it was.
    if (fileOpen_) FZEndFailedWrite(WriterSlot, false);
    fileOpen_ = false;
    Finished = true;
    AbandonFile(csStopFile);
}

void TACWrite::AbandonFile(int code) {
    e_.uiSeen_.store(false);
    // The reader has looked at the mailbox once more before the record goes.
    while (!Stopped() && !e_.uiSeen_.load()) {
        e_.writerWantsUI_.store(true);
        e_.Wake();
        WaitFor([&] { return e_.uiSeen_.load() || !e_.writerWantsUI_.load(); }, 10);
        if (!e_.writerWantsUI_.load()) break;
    }
    ReleaseBuffer();
    Result = code;
    FinishFile(eoNone);
}

void TACWrite::FinishFile(int op) {
    TCopyFileRec& rec = *CurrentRecord;
    e_.writerWantsUI_.store(true);
    // Drain the file's remaining buffers, also when the run is stopping:
    // the next record must start at its own first buffer.
    for (;;) {
        const int state = rec.State.load(std::memory_order_acquire);
        int end = rec.EndBuf.load(std::memory_order_acquire);
        const int idx = e_.writerBufIdx_.load();
        if (state == 3 && end == -1) {
            rec.EndBuf.store(idx);
            end = idx;
        }
        if (state == 3 && idx == end) break;
        if (state == 2 && idx == end) {
            rec.State.store(3, std::memory_order_release);
            continue;
        }
        if (Stopped() && state == 1) break;
        if (state == 2 && end == -1) {
            rec.State.store(3, std::memory_order_release);
            continue;
        }
        ReleaseBuffer();
    }

    TCopyJob* job = rec.Job;
    const qint64 size = rec.Info.size();
    if (Result == 0) {
        movedToBackup_.clear();
        e_.FilesCopied.fetch_add(1);
        QString text = QStringLiteral(" OK!");
        if (!e_.rs_.attrOnly) text += QStringLiteral(" FileSize: ") + grouped(size) + QStringLiteral(" Byte");
        text += QStringLiteral(" FileDate: ") + FZFileTimeText(rec.Info.LastWriteTime);
        if (e_.rs_.copyAttr) text += QStringLiteral(" FileAttr:") + FZAttrText(rec.Info.Attributes);
        e_.SetResultText(job, text.left(255));
    } else {
        RestoreMovedBackup();
        if (Result == csSkipped) {
            e_.SetResultText(job, e_.ResultText(job) + QStringLiteral("\\cf3 [ User has skipped this file ]\\cf1"));
        } else if (Result != csStopFile) {
            PostQuestion(Result, op);
        }
        if (PartlyWritten) {
            const QString prev = e_.ResultText(job);
            const int colon = prev.indexOf(QLatin1Char(':'));
            e_.SetResultText(job, QStringLiteral("\\cf2  ERROR: PARTLY processed (") + grouped(FileBytesWritten) +
                                      QStringLiteral(" from ") + grouped(size) + QStringLiteral(" Bytes)") +
                                      (colon >= 0 ? prev.mid(colon).left(255) : QString()));
            PartlyWritten = false;
        }
        Result = 0;
    }
    {
        std::lock_guard lock(e_.mutex_);
        e_.FilledRecords.fetch_sub(1);
        rec.FirstBuf.store(-1);
        rec.EndBuf.store(-1);
        rec.Job = nullptr;
        rec.State.store(0, std::memory_order_release);
        e_.writerRecIdx_.store((e_.writerRecIdx_.load() + 1) % e_.NumBuffers);
        e_.writerWantsUI_.store(false);
    }
    e_.wake_.notify_all();
}

}  // namespace tandex::folders
