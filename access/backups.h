#pragma once
// Backups: before a file is overwritten its old version is kept, either as
// one ".bak" file or as a rotating series of nine numbered copies (name +
// ".~1~" is the newest, ".~9~" the oldest), beside the file or in the
// backup folder of its location kind. The caller's switch turns backups on
// (a save passes BKBeforeSave, a copy BKBeforeCopy); the settings decide
// the rest (BKUseSequence, the folder and enable switches per kind).

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tandex::access {

// Makes the backup of the slot's file. 0 when done, when enabled is off
// and when backups are off for the slot's kind. The series moves up first
// (copy 9 is deleted, 8 becomes 9, ...), then the file becomes copy 1: it is copied when its
// kind's backup folder (or the local backup folder) is on; a local file
// beside it gets a second name (a hard link, or a copy where none can be
// made) and stays where it is; a remote file is renamed on its server.
// made (when given) gets the name of the backup made, empty when none.
// A failure is shown under " Backup Error! " when an owner is given (the
// window the box belongs to) and its code returned; without an owner no
// box appears.
int FZMakeBackup(int slot, const void* owner, QString* made, bool enabled);

// Copies the slot's file into a new local file, replacing one of that name
// whole. A local file keeps its last-write time; remote files and archive
// members are fetched through their kind.
int FZDownloadToFile(int slot, const QString& localName);

// Told the size of a file about to be copied into a backup folder, so a
// progress bar can start; none by default.
void FZSetTransferStartHook(std::function<void(qint64)> hook);

}  // namespace tandex::access
