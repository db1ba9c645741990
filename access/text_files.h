#pragma once
// Text files through the access slots: the file kinds, their detection from
// the user's file-type rules or from the first 8 KB, the line reader and
// the text writer.
//
// The reader hands out one line per call in the file's own encoding,
// expands tabs to fill characters (0x7F, one per column) and remembers the
// line-break style; the writer encodes lines back, turning each fill run
// into one TAB, and buffers them in the slot. Reading and writing are
// lossless for every byte of a text file: a NUL stays in its line, a DEL
// byte that is really in the file comes back as U+DC7F, and a byte that is
// not valid UTF-8 in a UTF-8 file as U+DC80..U+DCFF; the writer turns those
// back into the same bytes.

#include "access/access_types.h"

#include <QByteArray>
#include <QString>

namespace tandex::access {

// TFZFileKind values; callers may set the top bit of the byte as a flag of
// their own, which the name functions ignore.
enum TFZFileKind : int {
    fkBinary = 1,
    fkImage = 3,
    fkPlugin = 4,
    fkAnsi = 5,
    fkUtf8Bom = 7,
    fkUtf8 = 8,
    fkUtf16LeBom = 9,
    fkUtf16Le = 10,
    fkUtf16BeBom = 11,
    fkUtf16Be = 12,
};

// TFZLineBreak values; 0 = not yet known. lbNone asks the encoder for no
// break at all: a line the reader cut at the limit goes on in the next.
enum TFZLineBreak : int { lbNone = -1, lbCrLf = 1, lbLf = 2, lbCr = 3 };

// The character a real DEL byte (0x7F) reads as, apart from tab fill.
inline constexpr char16_t FZDelChar = 0xDC7F;
// Tab fill as the reader and the editor put it into lines.
inline constexpr char16_t FZTabFill = 0x7F;

QString FZFileKindName(int kind);
QString FZFileKindText(int kind);
bool FZIsTextKind(int kind);

// The kind a file-type rule selector (1 to 8) stands for, 0 for others.
int FZKindOfRuleSelector(int selector);
// Kind from the first (up to 8192) bytes of a file; name is the file's
// name, whose extension tells images apart.
int FZSniffFileKind(const QByteArray& head, const QString& name);

// Detects the kind of the slot's file (open for reading, or FTP) and leaves
// the file positioned at its start. byRule is 1 when a file-type rule
// decided.
int FZDetectFileKind(int slot, int& kind, int& byRule);
int FZSetFileKind(int slot, int kind);
int FZLineBreakKind(int slot);
int FZSetLineBreakKind(int slot, int kind);
// Longest line read so far, in characters; -1 for a bad slot.
int FZMaxLineLength(int slot);

// Unit-wide tab width (0 to 16, default 4) and line limit (at least 64,
// default 8192). Returns the previous width; a width above 16 or below 0
// changes nothing and gives -1, except 255, which only returns the width.
int FZSetTabSize(int width, int maxLineLength);
int FZTabSize();
int FZMaxLineSetting();

// Per-slot overrides (-1 keeps the unit's value): tab width 0 to 16, line
// limit (0 = none, else at least 64), trimming 0 or 1. The INI engine reads
// and writes raw lines with width 0, no limit and no trimming.
int FZSetSlotTextOptions(int slot, int tabWidth, int lineLimit, int trim);

// What FZReadLine gives once the data is exhausted.
inline constexpr int errEndOfFile = 38;

// One line: 0, 38 when the data is exhausted (the last line's text comes
// with it; FZReadLineAtEnd tells whether there was one), 87 for a non-text
// kind, or the error of a read.
int FZReadLine(int slot, QString& text);
bool FZReadLineAtEnd(int slot);
// Whether the last line read stopped at the line limit rather than at a
// break of its own: the file's line goes on in the next one, and writing
// the two back with no break between gives the same bytes.
bool FZReadLineContinues(int slot);

// Encodes and buffers one line and its line break; without ownBreak the
// line is written with no break (and never trimmed), for a line that goes
// on in the next.
int FZWriteText(int slot, const QString& text, bool ownBreak = true);

// The bytes of a line plus its line break in a kind; returns their count.
// With trim, trailing blanks and tab fill go first. tabWidth -1 takes the
// unit's width. lineBreak lbNone appends no break.
int FZEncodeLine(const QString& text, int kind, int lineBreak, QByteArray& out,
                 bool trim = false, int tabWidth = -1);

// Copies up to count lines, a line cut at the limit without a break again;
// the first non-zero result is returned (38 once the source's last line
// was written).
int FZCopyLines(int count, int source, int target);

// The two hexadecimal digits of a byte and the character the hexadecimal
// view shows for it.
QChar FZHexByte(quint8 byte, QChar& high, QChar& low);

}  // namespace tandex::access
