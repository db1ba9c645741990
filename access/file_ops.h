#pragma once
// File and folder operations on a slot's path: reachability checks,
// existence, renames and moves, deletes, folder removal, emptying a folder
// of its files, the time of one local entry, and the drive helpers, which
// have nothing to do on a platform without drive letters. Local files and
// shares are served here; every other kind answers through its
// TFZKindHandler. The path forms open a slot for the location, act and
// close it again.
//
// Symbolic links: a delete, a rename and a folder removal act on the link
// itself, never on what it points to.

#include "access/access_types.h"

#include <QString>

namespace tandex::access {

// 0 when the slot's folder can be reached: a share must be mounted (53),
// the folder must exist (3); a path into an archive, an FTP folder and the
// cloud grant are their kinds' checks.
int FZCheckLocation(int slot);
int FZCheckPath(const QString& path);
// FZCheckPath, except that a path leading into an archive passes.
int FZCheckPathAvailable(const QString& path);

// 0 when the slot's file or folder exists (a local slot with an open file
// always does), else 2 or 3.
int FZExists(int slot);
int FZExistsPath(const QString& path);

// Renames or moves the slot's file. An existing entry under the new name is
// never replaced (183). Across file systems a file is copied, with its
// times and permission bits, to a new name in the target folder, flushed,
// renamed into place, and only then is the original removed.
int FZRename(int slot, const QString& newPath);

// Deletes the slot's file. With toRecycleBin a local file goes to the
// freedesktop trash; files on shares are always deleted directly.
int FZDelete(int slot, bool toRecycleBin);
int FZDeletePath(const QString& path, bool toRecycleBin);

// Removes the slot's folder, which must be empty (145).
int FZRemoveFolder(int slot);

// Deletes every entry of a local folder that is not a folder. True when all
// of them went and when the folder does not exist; false when one could not
// be deleted or an existing folder could not be listed.
bool FZDeleteFolderFiles(const QString& folder);

// Last-write time and attributes of one local entry (a link: of its target,
// else of the link). On failure the attributes are -1 and the time 0, but
// all ones for "//server" without a share, which has no time.
int FZGetLocalFileTime(const QString& path, FileTime& lastWrite, qint64& attributes);

// There are no drive letters: every drive is ready, none is substituted.
int FZCheckDrive(QChar letter);
bool FZIsSubstDrive(QChar letter);
// The large-fetch choice of the settings; kept for them, and without effect
// on how folders are read here.
void FZSetLargeFetch(bool on);
// 2 while large fetch is on, else 0.
int FZFindExFlags();

}  // namespace tandex::access
