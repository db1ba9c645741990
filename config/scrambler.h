#pragma once
// Passwords and tokens are kept and passed in a scrambled form: upper-case
// hexadecimal groups with a random part, so the same password scrambles
// differently each time. It keeps a casual reader from seeing the password;
// it is not encryption and uses no key.

#include <QByteArray>
#include <QString>

namespace tandex::config {

// Scrambles the text's UTF-8 bytes; the empty text gives the empty text.
QString ScrambleText(const QString& text);
// The scrambled text back; bytes that are not UTF-8 (texts scrambled by
// older versions in the Windows-1252 code page) are read as Windows-1252.
// Anything malformed gives the empty text.
QString UnscrambleText(const QString& scrambled);

// The same on raw bytes; UnscrambleBytes gives an empty array for a
// malformed text.
QString ScrambleBytes(const QByteArray& bytes);
QByteArray UnscrambleBytes(const QString& scrambled);

// Windows-1252 bytes as text (the five unassigned bytes map to the control
// characters of the same number).
QString DecodeWindows1252(const QByteArray& bytes);

}  // namespace tandex::config
