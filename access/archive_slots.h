#pragma once
// Archives inside paths: a slot whose path runs through an archive file
// opens the archive with the archive component, lists its members as a
// folder, extracts a member into the slot's stream for reading, stores a
// written member back, renames, deletes and time-stamps members, and saves
// the archive on a worker thread when the slot closes.
//
// Each member stored saves the archive at once, unless the copy engine set
// DeferArchiveSave for its run: then the saves come in batches (when the
// machine runs short of memory or 1 GB is pending) and at close.
//
// The handler is the built-in one of the archive access kind; the path
// routines of archive_paths.h decide which slots it serves.

#include "access/access_slots.h"
#include "access/access_types.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace tandex::archive {
class Stream;
}

namespace tandex::access {

// Set by the copy engine for a run: stored members wait for a batch save.
std::atomic<bool>& DeferArchiveSave();
// For the copy window: 0 idle, 1 an archive is being opened or saved,
// 2 data waiting for a deferred save, 3 compressing, 4 archive updated.
std::atomic<int>& ArchiveWriteState();

// Opens the archive of the slot's path in an access mode and points the
// slot at the member the path names (FZOpen, FZSetPath and FZOpenFile call
// it through the handler).
int FZOpenArchive(int slot, TFZAccessMode mode);
// The index of the member an inner path names ("sub/f.txt"; a path ending
// in "/" names the first member under it), or -1.
int FZFindArchiveItem(int slot, const QString& innerPath);
// The folder of the slot's current member, as a listing.
int FZListArchiveFolder(int slot, TFZDDir& listing);
// Time (UTC) and attributes of a folder of the archive, taken from the
// first member under it; time 0 and attributes -1 when there is none.
int FZGetArchiveFolderTime(int slot, const QString& folder, FileTime& time, qint64& attributes);
// Opens an archive held in a stream (the type found from its content) in a
// free slot, which keeps the stream; with extractFirst the first member is
// read into the slot's stream. A slot taken stays so until FZClose, also
// on failure.
int FZOpenArchiveStream(std::unique_ptr<archive::Stream> stream, bool extractFirst, int& slot);
// Saves a changed archive (on a worker thread) and frees it; the save's
// failure is the result.
int FZCloseArchive(int slot);

// The archive file of the slot's path; empty when it has none.
void FZArchivePathOfSlot(int slot, QString& path);
// Receives the bytes of the current member processed so far.
void FZSetArchiveProgress(int slot, std::function<void(qint64)> hook);
// Bytes stored since the last save and not yet compressed.
qint64 FZArchivePendingBytes(int slot);

// Tests: the memory load the batch save looks at, and the pending bytes
// above which it saves (1 GB); nullptr and 0 restore them.
void FZSetMemoryLoadSource(std::function<int()> source);
void FZSetArchiveSaveThreshold(qint64 bytes);

// The archive kind's handler (installed at the unit's start).
TFZKindHandler& FZArchiveHandler();

}  // namespace tandex::access
