#pragma once
// Access slots: every file the program reads or writes goes through one of
// four numbered slots. FZOpen takes a free slot for a location in an access
// mode and hands back its number; every later operation takes the number
// until FZClose releases it. Local files and shares are read and written in
// place; remote files and archive members are held whole in a memory
// stream that their location's handler fills on open and stores on close.
// Every operation returns a result code (texts: error_texts.h); none lets
// an exception out.

#include "access/access_types.h"
#include "access/mem_stream.h"

#include <QByteArray>
#include <QString>
#include <string>

namespace tandex::access {

inline constexpr quint32 FZTextBufferSize = 131072;
// Beyond this a stream moves to its swap file, so no more is reserved.
inline constexpr qint64 FZMaxReservedStream = FZMemStreamLimit;

// What a location kind other than local files and shares brings to the
// slots (FTP, archives, the cloud store, the web). Until a kind has its
// handler, opening such a location fails with the kind's code.
class TFZKindHandler {
public:
    virtual ~TFZKindHandler() = default;
    // Connects or opens the archive while FZOpen takes the slot.
    virtual int connect(int slot, TFZAccessMode mode) = 0;
    // The slot was pointed at another path of the same location.
    virtual int pathChanged(int /*slot*/) { return 0; }
    // Prepares the slot's path for writing (an archive checks the item).
    virtual int beginWrite(int /*slot*/) { return 0; }
    // Brings the whole file of the slot's path into the stream.
    virtual int fetch(int slot, TFZMemStream& stream) = 0;
    // Hands the written content on: uploads it or stores it as the item.
    virtual int store(int slot, TFZMemStream& stream) = 0;
    // Frees the connection; an archive is saved first, and a failed save
    // is this call's result.
    virtual int release(int slot) = 0;
    // Tears a running transfer down (the second abort request).
    virtual void abort(int /*slot*/) {}
    // Archives only: whether a path leads into an archive file.
    virtual bool leadsIntoArchive(const QString& /*path*/) { return false; }

    // Times, size and attributes of the slot's file; a kind that has no
    // such row answers with its refusal code.
    virtual int fileInfo(int /*slot*/, TFZFileInfo& /*info*/) { return 1; }
    virtual int setFileTime(int /*slot*/, FileTime /*creation*/, FileTime /*access*/,
                            FileTime /*write*/) {
        return 1;
    }
    virtual int getAttributes(int /*slot*/, quint32& /*attributes*/) { return 1; }
    virtual int setAttributes(int /*slot*/, quint32 /*attributes*/) { return 1; }

    // File and folder operations on the slot's path; a kind without such a
    // row answers with its refusal code, never with success.
    virtual int checkLocation(int /*slot*/) { return 1; }
    virtual int exists(int /*slot*/) { return 1; }
    virtual int makeFolder(int /*slot*/) { return 1; }
    virtual int rename(int /*slot*/, const QString& /*newPath*/) { return 1; }
    virtual int deleteFile(int /*slot*/) { return 1; }
    virtual int removeFolder(int /*slot*/) { return 1; }
    // Lists the folder the slot points at (folder totals walk these).
    virtual int listFolder(int /*slot*/, TFZDDir& /*listing*/) { return 1; }
};

// The handler serving an access kind (the refusing one until installed).
TFZKindHandler& FZKindHandler(TFZAccessKind kind);

// Installs the handler of an access kind (FTP, archive, cloud, HTTP);
// nullptr restores the built-in one: archives and HTTP are served from the
// start, FTP and the cloud refuse to open until theirs is installed.
void FZSetKindHandler(TFZAccessKind kind, TFZKindHandler* handler);

// ---- opening and closing ---------------------------------------------------

// Takes a free slot; slot is 4 on failure. A fifth open gives 4 ("Too many
// open files") and shows which locations hold the slots.
int FZOpen(const QString& path, TFZAccessMode mode, bool detectArchives, int& slot);
int FZClose(int slot);
// Finishes the open file and keeps the slot and its connection: reading
// returns to twGenAccess, writing to twGenWrAccess. A local file written
// replaces its target only here, and only when every write succeeded.
int FZCloseFile(int slot);
int FZOpenFile(int slot, TFZAccessMode mode);
// Ends a write that failed or was cancelled, before FZCloseFile would. With
// keep, what was written is committed anyway (the partial local file
// replaces its target, a partial stream is stored); without, it is
// abandoned and the target stays untouched. The slot returns to
// twGenWrAccess.
int FZEndFailedWrite(int slot, bool keep);
int FZSetPath(int slot, const QString& path);
// Points the slot at a path that may be of another class: unlike FZSetPath
// the location class, access kind and archive detection follow the new
// path, so a remote slot can work on a local name for a while. The slot's
// connection stays; pointing it back at its own location restores it.
int FZPointSlotAt(int slot, const QString& path);
int FZReopen(int slot, const QString& path, TFZAccessMode mode);

// ---- raw access -------------------------------------------------------------

int FZRead(int slot, void* buffer, qint64 count, qint64& done);
int FZWrite(int slot, const void* buffer, qint64 count, qint64& done);
int FZSeek(int slot, qint64 position);

// ---- queries (0 or empty for a bad slot) ------------------------------------

int FZCheckSlot(int slot);
TFZAccessMode FZSlotMode(int slot);
TFZLocation FZSlotLocation(int slot);
TFZAccessKind FZSlotAccessKind(int slot);
TFZAccessKind FZAccessKind(int slot);
QString FZSlotPath(int slot);
// Folder part of the slot's path, with its trailing separator.
QString FZSlotRoot(int slot);
bool FZSlotSslUsed(int slot);
// The FTP connect marks a slot whose profile asks for TLS.
void FZSetSlotSslUsed(int slot, bool used);
bool FZSlotInArchive(int slot);
TFZMemStream* FZSlotStream(int slot);

// The text state of a slot that the line reader and writer work on.
struct TFZTextState {
    char* buffer = nullptr;  // FZTextBufferSize bytes once a file was opened
    quint32 count = 0;
    quint32 position = 0;
    bool bomPending = false;
    int fileKind = 5;
    int lineBreak = 0;
    int longestLine = 0;
    bool atEnd = false;   // the last refill reached the end of the data
    bool noLine = false;  // the last 38 came without a line (nothing left)
    bool continues = false;  // the last line stopped at the limit, not at a break
    // Overrides of the unit's settings for this slot: -1 keeps the unit's
    // tab width, line limit and trimming; a line limit of 0 means none.
    int tabWidth = -1;
    int lineLimit = -1;
    int trim = -1;
    std::u16string line;  // the reader's line being built
    QByteArray encoded;   // the writer's encoded line
};
TFZTextState* FZSlotText(int slot);
// The descriptor of a local slot's open file (the new file while writing),
// else -1.
int FZSlotHandle(int slot);
// Access and write time for the local file being written, applied when
// FZCloseFile commits it, after its last write; 6 when none is written.
int FZSetCommitTimes(int slot, FileTime access, FileTime write);
// Writes the text buffer of a slot open for writing (FZCloseFile does this
// for the last part); big-endian UTF-16 is swapped on the way out.
int FZFlushText(int slot);

// Pre-sizes the slot's memory stream for a known size above 8 KB, at most
// FZMaxReservedStream.
void FZReserveStream(int slot, qint64 size);

// ---- temporary copies and folders -----------------------------------------

// Brings the slot's file into a local temporary file: with useName it is
// the temporary folder + prefix + the file's name (an existing file of that
// name is replaced whole), else a new unique "~" name with the file's
// extension.
int FZSaveToTempFile(int slot, bool useName, const QString& prefix, QString& fileName);
int FZDownloadToTemp(const QString& path, bool useName, const QString& prefix, QString& fileName);
// Sets the temporary folder (created when missing; when that fails, the
// program's writable root) and hands back the previous one.
void FZSetTempFolder(const QString& folder, QString& previous);
// Removes what killed runs of the program left in its temporary folders
// (the configured one, its private one and the system's): the scratch files
// of processes that no longer exist. The count removed.
int FZRemoveStaleTempFiles();
// The temporary folder, with its trailing "/"; the program's private
// folder under the system's temporary location until one is set.
QString FZTempFolder();
// Creates every missing folder of the slot's folder part; FZMakeFolderPath
// opens the path, does so and closes it.
int FZMakeFolder(int slot);
int FZMakeFolderPath(const QString& path);

// ---- abort and transfer limits ------------------------------------------

void FZAbortAll();
bool FZResetAbort();
bool FZAbortRequested();
void FZSetReadLimit(int slot, qint64 bytes);
qint64 FZReadLimit();
bool FZStopRequested(int slot);
// The end of an FTP transfer: the slot's stop request is spent.
void FZClearStopRequest(int slot);
void FZAbortFtpTransfer(int slot);

// ---- misc --------------------------------------------------------------

// One line "tw." + n + ": " + path + CR per open slot; with show on, the
// text goes to the user under "twHandles in use:".
void FZOpenSlotsText(bool show, QString& text);
bool FZSslAvailable();
// Tests: makes FZSslAvailable answer false until called with false.
void FZForceSslUnavailable(bool force);

// Tests: a failure on demand. The n-th read, write or close of the slot
// number from now on (FZRead, FZWrite, FZCloseFile and the close inside
// FZClose) fails with code instead of doing its work: a failed read or
// write moves no byte, a failed close of a file being written commits
// nothing, so the target stays as it was. n 0 removes the fault; every
// fault stays until it has fired or FZClearFaults is called.
enum TFZFaultOp : int { foRead = 0, foWrite = 1, foClose = 2 };
void FZInjectFault(int slot, TFZFaultOp op, int n, int code);
void FZClearFaults();

bool FZItemFindData(const TFZDDir& listing, int n, TFZFindData& findData);
bool FZFindItemData(const TFZDDir& listing, const QString& path, TFZFindData& findData);
// Archive detection of the slot's later paths (FZSetPath, FZReopen).
void FZSetArchiveDetect(int slot, bool on);

// ---- for the archive handler ------------------------------------------------

// Names the slot's path as the archive found it, without a new lookup.
void FZSetSlotPathOnly(int slot, const QString& path);
// Takes a free slot for an archive held in memory: archive kind, path name,
// twReadAccess, an empty stream and the text buffer. 4 when none is free.
int FZTakeArchiveSlot(const QString& name, int& slot);
// Frees the slot's stream (an archive in memory that failed to open).
void FZSlotDropStream(int slot);

}  // namespace tandex::access
