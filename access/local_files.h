#pragma once
// Local file work under the slots: opening for reading, writing through a
// new file that replaces the target only when complete, folder creation,
// exclusive temporary files, and the mapping of the platform's errors to
// result codes.

#include "access/access_types.h"

#include <QString>
#include <QtGlobal>
#include <ctime>

namespace tandex::access {

// errno after a failed call on path: like FZCodeFromErrno, except that a
// missing entry whose folder is missing too gives 3 ("Path not found").
int FZCodeForPath(int err, const QString& path);

// FileTime to and from the platform's time values; a FileTime of 0 becomes
// UTIME_OMIT, which leaves that time of a file unchanged.
timespec FZTimespecOf(FileTime time);
FileTime FZFileTimeOf(qint64 seconds, qint64 nanoseconds);

// Opens an existing regular file for reading. Folders, FIFOs, sockets and
// devices are refused with 5: reading them could block or never end.
int FZOpenLocalRead(const QString& path, int& fd);

// A local file being written. Nothing touches the target until commit():
// the content goes to a new file in the target's folder, which has no name
// until everything was written (see FZCreateNewFile) and is then renamed
// over the target (a symbolic link's target, keeping its permissions). A
// write error, an abandoned write or a crash leaves the target as it was
// and no new file behind.
class TFZLocalWrite {
public:
    TFZLocalWrite() = default;
    TFZLocalWrite(const TFZLocalWrite&) = delete;
    TFZLocalWrite& operator=(const TFZLocalWrite&) = delete;
    ~TFZLocalWrite() { abandon(); }

    int begin(const QString& target);
    bool active() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Writes count bytes; the first failure sticks and fails the commit.
    int write(const void* buffer, qint64 count, qint64& done);
    int seek(qint64 position);
    // Times the committed file gets, set after its last write.
    void setTimes(FileTime access, FileTime write) {
        accessTime_ = access;
        writeTime_ = write;
        timesSet_ = true;
    }
    // keepPartial commits what was written even after a failed write: the
    // user asked to keep the partial file.
    int commit(bool keepPartial = false);
    void abandon();

private:
    int fd_ = -1;
    int error_ = 0;
    bool timesSet_ = false;
    FileTime accessTime_ = 0;
    FileTime writeTime_ = 0;
    QString target_;
    QString newName_;  // empty while the new file has no name
};

// Creates every missing folder of the folder part of a local path (the
// text up to its last "/"). The walk starts behind the root ("/" or the
// mount point of a share), which must exist.
int FZMakeLocalFolders(const QString& localPath, const QString& root);

// Creates a new file exclusively (mode 0600) in folder, named prefix +
// six random characters + suffix; hands back its name and descriptor,
// open for writing, and for reading too when readable is set.
int FZCreateUniqueFile(const QString& folder, const QString& prefix, const QString& suffix,
                       QString& name, int& fd, bool readable = false);

// Creates a new file for writing (mode 0600) in folder. Where the file
// system allows, it has no name (name comes back empty) until
// FZNameNewFile gives it one, so that nothing is left behind when the
// program dies before; elsewhere it is created as FZCreateUniqueFile does.
int FZCreateNewFile(const QString& folder, const QString& prefix, const QString& suffix,
                    QString& name, int& fd, bool readable = false);
// Links a nameless file from FZCreateNewFile into folder under a fresh
// unique name (prefix + six random characters + suffix); does nothing when
// name is already set.
int FZNameNewFile(int fd, const QString& folder, const QString& prefix, const QString& suffix,
                  QString& name);

// Writes all bytes to a descriptor; result code.
int FZWriteAll(int fd, const char* data, qint64 count);

// The program's private temporary folder on the system: the system's
// temporary location + "/tandex-" + user, mode 0700, used only when it is a
// folder owned by the user and not a symbolic link; else a fresh private
// folder. Ends with "/".
QString FZSystemTempFolder();

}  // namespace tandex::access
