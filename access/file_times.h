#pragma once
// Time stamps, attributes and file information of a slot's file, the
// comparison of two time stamps with a tolerance and an optional whole-hour
// offset, and their texts.
//
// Local attributes follow the platform's mapping: 0x1 read-only = the owner
// has no write permission, 0x2 hidden = a name beginning with ".", 0x10 a
// folder, 0x20 archive for regular files; only the read-only bit can be set.
// A file's creation time is its birth time where the file system keeps one,
// else its change time, and cannot be set.

#include "access/access_types.h"

#include <QDateTime>
#include <QString>

namespace tandex::access {

// 1 January 1900 00:00:00: the time shown for one that cannot be read.
inline constexpr FileTime FZUnreadableTime = 94354848000000000ull;

// The attribute word of a local file, by its stat data and name.
quint32 FZLocalAttributes(unsigned mode, const QString& name);

int FZGetFileTime(int slot, qint64& size, TFZFileInfo& info);
// Zeros on failure.
int FZGetFileDetails(int slot, qint64& size, FileTime& lastWrite, quint32& attributes,
                     FileTime& creation, FileTime& lastAccess);
int FZGetLastWriteTime(int slot, qint64& size, FileTime& lastWrite);
// Opens the path, queries and closes it; FZGetPathLastWriteTime joins folder
// and name first.
int FZGetPathFileTime(const QString& path, qint64& size, TFZFileInfo& info);
int FZGetPathLastWriteTime(const QString& folder, const QString& name, qint64& size,
                           FileTime& lastWrite);
int FZGetFileInformation(int slot, TFZFileInfo& info);

// A last-write time whose high half is 0 stands for now. Local: by path in
// twGenWrAccess; in twWriteAccess the times are applied when FZCloseFile
// commits the file; other modes give 12.
int FZSetFileTime(int slot, FileTime creation, FileTime lastAccess, FileTime lastWrite);
int FZGetAttributes(int slot, quint32& attributes);
// Local: only the read-only bit; 501 when it cannot be set.
int FZSetAttributes(int slot, quint32 attributes);

// " " then "a", "r", "h", "s" or "-" for each of archive, read-only, hidden
// and system; empty for a negative value.
QString FZAttrText(qint64 attributes);
// The date pattern (0 to 3); returns the previous one, -1 for a bad index.
int FZSetDateFormat(int index);
// Local time in the selected pattern, at most 23 characters; empty for a
// time with a negative high half and for the unreadable time.
QString FZFileTimeText(FileTime time);
// The same in pattern format (0 to 3) whatever is selected; the settings
// show the four side by side.
QString FZFileTimeTextIn(FileTime time, int format);
QDateTime FZFileTimeToDateTime(FileTime time);
FileTime FZDateTimeToFileTime(const QDateTime& time);
// 0 when equal within the tolerance (or, with an hour offset set, when they
// differ by the offset within the tolerance); else 1 when b is later, -1
// when earlier.
int FZCompareFileTimes(FileTime a, FileTime b);
// Tolerance in seconds and the whole-hour offset (0 = none).
void FZSetTimeTolerance(int seconds, int hours);

}  // namespace tandex::access
