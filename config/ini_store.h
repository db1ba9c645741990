#pragma once
// The settings file's own INI engine: one program-wide store of the file's
// lines with a table of section starts, searched with a moving cursor so
// that reading the keys of a section in file order costs one comparison per
// key, changed in place and written back whole.
//
// Section names are matched against the whole header line and keys at the
// start of a line, both case-sensitively; a value is everything behind the
// "=", untrimmed. There is no comment syntax: a line that matches no key is
// kept as it is. Lines before the first header belong to no section.
//
// One user at a time, on the user-interface thread: the settings load leaves
// the file in the store for the find dialog, which frees it.

#include <QString>
#include <QtGlobal>
#include <vector>

namespace tandex::config {

// A load stops at the 999th line and at the 18th header; the writers refuse
// to grow the store past 1000 lines or 19 sections.
inline constexpr int kIniLoadLines = 999;
inline constexpr int kIniLoadHeaders = 18;
inline constexpr int kIniMaxLines = 1000;
inline constexpr int kIniMaxSections = 19;

struct TIniStore {
    std::vector<QString> IniLines;
    // Entry k is the line of the k-th header; the last entry always holds
    // the line count, the end of the last section.
    std::vector<int> IniSectionStart{0};
    // The line of the last key found, the insertion point behind a section
    // that lacks the key, or 0 after a search for a missing section.
    int IniCurLine = 0;
    int IniCurSection = 0;
    // The last IniLoad could open its file.
    bool IniLoaded = false;

    // Lines compared with a key so far; the tests read it.
    qint64 KeyComparisons = 0;
    // The writers' limits; tests lower them to make a save fail part-way.
    int LineCapacity = kIniMaxLines;
    int SectionCapacity = kIniMaxSections;

    int IniLineCount() const { return int(IniLines.size()); }
    int IniSectionCount() const { return int(IniSectionStart.size()) - 1; }
};

TIniStore& IniStore();

// Replaces the store's contents by the file's lines.
void IniLoad(const QString& path);
// Writes every line and frees the lines written; the 1-based number of the
// line whose write failed (the file then stays as it was), 0 when all were
// written, -1 when the file could not be opened or finished.
int IniSave(const QString& path);
// Empties the store (the lines are reused by the next writes).
void IniClear();
// Releases every line; the store is then empty.
void IniFreeLines();

// True when the section holds the key; value gets the text behind "=".
// Moves the cursor.
bool IniFindKey(const QString& section, const QString& key, QString& value);

// The value as a signed 32-bit number: leading blanks and a sign allowed,
// "$" or "0x" for hexadecimal; else, or for a missing key, the default.
int IniReadInt(const QString& section, const QString& key, int defaultValue);
// "0" false, "1" true, anything else or a missing key the default.
bool IniReadBool(const QString& section, const QString& key, bool defaultValue);
// The value (an empty value stays empty), or the default for a missing key.
QString IniReadString(const QString& section, const QString& key, const QString& defaultValue);

// Set key=value: in place when the key exists, at the end of its section
// when only the section does, else in a new section at the end. False
// (and logged) when the store has no room for it.
bool IniWriteInt(const QString& section, const QString& key, int value);
bool IniWriteBool(const QString& section, const QString& key, bool flag);
bool IniWriteString(const QString& section, const QString& key, const QString& text);

// Inserts a line at the cursor, which stays on it.
bool IniInsertLine(const QString& line);
// Appends a section with one key line; the cursor stays.
bool IniAppendSection(const QString& header, const QString& line);

// Loads the file, removes the section (header and lines) and saves the
// file; nothing is written when the section is missing.
void IniDeleteSection(const QString& section, const QString& path);

// The text as IniReadInt reads it: a signed number that fits `bits` (32 or
// 64), with hexadecimal up to the unsigned range of that width.
bool IniParseInt(const QString& text, int bits, qint64& value);

}  // namespace tandex::config
