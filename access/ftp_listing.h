#pragma once
// Parsers of the lines an FTP server lists a folder with: Unix "ls -l"
// lines, DOS (IIS) lines and MLSD facts. They take one line each and know
// nothing of the connection; a line that fits none of them is skipped by
// the caller. Names are handed over as listed: the caller drops names that
// could escape their folder or inject a command.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace tandex::access {

enum class TFtpEntryKind { File, Folder, Link, Other, CurrentFolder, ParentFolder };

struct TFtpEntry {
    QString name;
    TFtpEntryKind kind = TFtpEntryKind::File;
    qint64 size = 0;
    // The modification time: server local time from LIST (timeSpec
    // Qt::LocalTime, to be read in the machine's zone), UTC from MLSD.
    // Invalid when the line had none that could be read.
    QDateTime time;
    QString linkTarget;  // LIST links: the text behind " -> "
    QString unique;      // MLSD's "unique" fact
};

// "drwxr-xr-x 2 owner group 4096 Dec 10 10:00 name". A time without a
// year is of this year, or of the last when that lies over a day after
// now (the machine's local time).
bool FZParseUnixLine(const QString& line, const QDateTime& now, TFtpEntry& entry);
// "12-31-20  10:15AM  <DIR>  name" and "01-02-2021  01:05PM  1234 name".
bool FZParseDosLine(const QString& line, TFtpEntry& entry);
// "type=file;size=12;modify=20201231101500; name" (facts in any case).
bool FZParseMlsdLine(const QString& line, TFtpEntry& entry);
// A LIST line in either form.
bool FZParseListLine(const QString& line, const QDateTime& now, TFtpEntry& entry);

}  // namespace tandex::access
