#pragma once
// Paths that run through archive files: "/data/a.zip/sub/f.txt" names the
// member "sub/f.txt" of "/data/a.zip". An archive file is recognised by an
// extension of the archive options' list followed by the end of the path
// or "/" (only "/" ends the archive's name: "\" is an ordinary character
// in local names). Inside the archive both "/" and "\" separate.
//
// The results of a search are kept per thread, so the user-interface
// thread and the folder pre-scan never read each other's.

#include <QString>
#include <QtGlobal>
#include <atomic>

namespace tandex::access {

// Mode 0 searches the path for up to two archive levels; mode 1 only
// tests the extension of the whole path. True when an archive was found.
bool FZFindArchiveInPath(const QString& path, int mode);
// Results of this thread's last search: levels found (0 to 2), the index of
// the first archive's extension in the list (-1 when none) and the position
// just behind that extension (1-based; 0 when none).
int FZArchiveDepth();
int FZArchiveExtIndex();
int FZArchiveSplitPosition();
// How often a search waited for another one (the copy window resets it).
std::atomic<qint64>& ArchiveLockWaits();

// The first extension of the list found anywhere in the path, with at
// least two characters behind it.
bool FZIsInsideArchive(const QString& path);
// The name's extension is in the list.
bool FZIsArchiveFile(const QString& name);

// The part from the separator behind the archive file on ("/sub/f.txt"),
// and the archive file itself; both empty when the path holds no archive.
void FZArchiveInnerPath(const QString& path, QString& inner);
void FZArchiveFilePath(const QString& path, QString& file);

// Lower-cases A to Z only, as archive paths and member names compare.
QString FZLowerAscii(const QString& text);

}  // namespace tandex::access
