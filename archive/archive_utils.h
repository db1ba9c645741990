#pragma once
// Plain routines every archive format shares: stored names, paths, file
// queries, temporary files, CRC-32, and the conversions between DOS
// date/time words, Unix seconds and the date-time type. None keeps state.
//
// Local paths use "/" only ("\" and ":" are ordinary characters in Linux
// names). Names read from archives may use either separator; the routines
// that judge stored names (PathKind, StripLeadingDotDots) accept both.

#include "archive/archive_errors.h"
#include "archive/name_charsets.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace tandex::archive {

// Days since 1899-12-30 with the time of day as the fraction; 0 stands for
// "no date".
using TDateTime = double;
constexpr TDateTime kUnixEpochDate = 25569.0;  // 1970-01-01

// Whole fields to a date-time and back; false/0 for an impossible date.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       TDateTime& out);
struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0;
};
// Seconds are truncated (a date-time never rounds into the next day).
TDateTimeParts DecodeDateTime(TDateTime value);

enum class TPathKind : uint8_t { NoPath = 0, RelativePath = 1, AbsolutePath = 2 };

struct TFileAttrInfo {
    TDateTime Time = 0;  // last write, local time, DOS two-second precision
    int64_t Size = -1;
    int32_t Attr = -1;  // Windows attribute bits
    uint32_t Mode = 0;  // Unix mode derived from Attr
};

// Windows attribute bits as Linux files carry them.
constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;
constexpr int32_t faSysFile = 0x04;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;
constexpr int32_t faAnyFile = 0x3F;

// Result code of the drive routines that Linux has no counterpart for.
constexpr int32_t kErrorNotSupported = 50;

// Paths ---------------------------------------------------------------------

// Adds "/" unless the path is empty or already ends with one.
QString AppendBackslash(const QString& path);
// Absolute: begins with "/" or "\", or with a drive "X:"; relative: holds
// "/" or "\" elsewhere; else a bare name.
TPathKind PathKind(const QString& name);
// The number of characters before the n-th "/" (n from 1), or the path's
// length when it has fewer.
qsizetype NthBackslashPos(const QString& path, int n);
struct TFileSpecParts {
    QString Drive;  // "//host/share" of a network share name, else empty
    QString Path;   // the folder part, with its trailing "/"
    QString Name;
};
TFileSpecParts SplitFileSpec(const QString& spec);
// The folder names in order; empty parts (a leading or trailing "/") are
// skipped.
QStringList SplitFolders(const QString& path);
QString StripDrive(const QString& name);
// Removes "../" and "..\" from the start for as long as the name starts
// with one of them.
QString StripLeadingDotDots(const QString& name);
void ToBackslashes(QString& path);
void ToForwardSlashes(QString& path);
// Checks that every folder and the file exist ("Path not found" /
// EArcFileNotFound) and returns the name: Linux names have no short form.
QString ToShortPathName(const QString& name);
// Creates every missing folder of the path; a share's host and share name
// are never created. True when the folder exists afterwards.
bool CreateFolderPath(const QString& path);

// Files, drives and temporary files ----------------------------------------

// Appends every entry of the mask's folder whose upper-cased name matches
// the upper-cased name part of the mask; folders get a trailing "/". An
// entry with the hidden, system or folder bit is taken only when
// `attributes` holds that bit. With `recurse`, every sub-folder is searched
// with the same name part; links are listed but never followed, so a walk
// cannot loop.
void FindMatchingFiles(const QString& mask, int32_t attributes, QStringList& list, bool recurse);
// "?" matches one character, "*" any run; positions count from 1. "*" and
// "*.*" at the first pattern position match any non-empty text.
bool MatchWildcard(const QString& text, qsizetype textPos, const QString& pattern,
                   qsizetype patternPos);
// Creates an empty file named "VMS", the process id, "-" and a unique
// suffix, mode 0600, exclusively, in the folder (in the system temporary
// folder when the folder does not exist) and returns its full name; empty
// on failure. With fd given, the open descriptor is handed over instead of
// closed, so the caller never has to reopen the file by name.
QString CreateTempFileIn(const QString& folder, int* fd = nullptr);
// Creates a new file (mode 0600) in the folder (as CreateTempFileIn picks
// it) for content that is named only once it is complete, or never: where
// the file system allows, the file has no name at all, so a program killed
// before leaves nothing behind; name then comes back empty. Elsewhere it is
// created as CreateTempFileIn does. The descriptor, or -1 on failure.
int CreateNewFileIn(const QString& folder, QString& name);
// Gives a file from CreateNewFileIn that has no name a fresh one in the
// folder, as CreateTempFileIn would choose it; nothing when name is set.
// False when that fails (errno tells why).
bool NameNewFile(int fd, const QString& folder, QString& name);
// Removes the files CreateTempFileIn made in the folder for processes that
// have ended: left behind by a program that was killed. Files of running
// processes, of other users and of any other name stay. The count removed.
int RemoveStaleTempFiles(const QString& folder);
QString DriveLetterOf(const QString& path);  // always "A": no drive letters
bool IsRemovableDrive(const QString& path);  // always false
// Bytes available to the caller on the file system of the path's folder;
// -1 when the query fails.
int64_t DriveFreeSpace(const QString& path);
int32_t SetVolumeLabel(const QString& label, const QString& driveLetter);  // not supported
int32_t WriteSpanVolumeLabel(const QString& driveLetter, int diskNumber);  // not supported
bool GetFileAttrEx(const QString& name, TFileAttrInfo& info);
int64_t GetFileSize64(const QString& name);
TDateTime GetFileDateTime(const QString& name);
bool SetFileDateTime(const QString& name, TDateTime dateTime);
// Only the read-only bit can change on Linux (the owner's write bit).
bool SetFileAttr(const QString& name, int32_t attributes);
int PercentOf(int64_t total, int64_t done);

// CRC-32, dates and attributes ----------------------------------------------

// The 256 entries of the reflected CRC-32 (polynomial 0xEDB88320).
const uint32_t* Crc32Table();
// Running update without pre- or post-inversion.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);
uint32_t Crc32UpdateByte(uint8_t byte, uint32_t crc);
// Start 0xFFFFFFFF, update, invert.
uint32_t Crc32OfString(QByteArrayView bytes);

// UTC minus local time, in seconds, at the present moment.
int32_t TimeZoneBiasSeconds();
// Each date uses its own daylight-saving rule; results are 64-bit. Local
// times before 1970 give 0, as do dates before 1970 in the reverse.
TDateTime UnixTimeToLocal(int64_t seconds);
int64_t LocalToUnixTime(TDateTime dateTime);
// An impossible date word gives 0 (so undated items still load); an
// impossible time word keeps the date at midnight.
TDateTime DosDateTimeToDateTime(uint16_t date, uint16_t time);
// Date in the high word; 0 for years before 1980 or after 2107.
uint32_t DateTimeToDosDateTime(TDateTime dateTime);
uint32_t DosAttrToUnixMode(int32_t attr);
int32_t UnixModeToDosAttr(uint32_t mode);

}  // namespace tandex::archive
