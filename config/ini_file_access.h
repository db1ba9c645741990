#pragma once
// What the INI engine needs of the access layer. The settings file is read
// and written through the access slots like any other file, so it may lie
// wherever a location can point and its encoding is detected like any text
// file's; but the access layer sits above this library, so it implements
// this interface and the program installs it at start.

#include <QByteArray>
#include <QString>

namespace tandex::config {

// The text kinds (TFZFileKind numbers) the engine asks for by name.
inline constexpr int kFileKindUtf8Bom = 7;
inline constexpr int kFileKindUtf8 = 8;

// The access layer's "end of the data" result of the line reader.
inline constexpr int kIniEndOfData = 38;

class TIniFileAccess {
public:
    virtual ~TIniFileAccess() = default;

    // Opens a file in a slot, for reading or for writing. Lines pass raw
    // either way: tabs are not expanded, blanks not trimmed, no length
    // limit applies, written lines end in CR LF. A file that the write
    // creates is readable by its owner only: it holds scrambled passwords.
    // A file written replaces the old one only when its slot is closed
    // after every write succeeded.
    virtual int Open(const QString& path, bool write, int& slot) = 0;
    // Detects the text kind of a file open for reading; a kind that is not
    // text is a failure.
    virtual int DetectFileKind(int slot, int& kind) = 0;
    virtual int SetFileKind(int slot, int kind) = 0;
    // 0 with a line, kIniEndOfData at the end of the data (hasLine tells
    // whether the last line came with it), or the error of a read.
    virtual int ReadLine(int slot, QString& text, bool& hasLine) = 0;
    virtual int WriteText(int slot, const QString& text) = 0;
    virtual int Close(int slot) = 0;

    // The unit-wide tab width and line limit of the text reader and writer.
    virtual void SetTabSize(int width, int maxLineLength) = 0;
    // Makes every missing folder of the folder part of a path.
    virtual int MakeFolderPath(const QString& path) = 0;
    // The access layer's temporary folder.
    virtual void SetTempFolder(const QString& folder) = 0;
    // One line of the program log.
    virtual void Log(const QString& text) = 0;

    // ---- the resource archive ------------------------------------------
    // The program's pictures are members of an archive beside it, which is
    // opened as a folder; the access layers without archive support keep
    // these refusing defaults (1: the function is not available).

    // Clears the access layer's abort flag, so an abort left over from an
    // earlier operation does not end the opening.
    virtual void ResetAbort() {}
    // Takes a slot for a location without opening a file in it, archive
    // detection on: a path that ends in "/" behind an archive's name opens
    // the archive as a folder.
    virtual int OpenLocation(const QString& /*path*/, int& slot) {
        slot = 4;
        return 1;
    }
    // Points the slot at a file and reads it whole into content (emptied
    // on failure); the slot stays open for the next file.
    virtual int ReadWholeFile(int /*slot*/, const QString& /*path*/, QByteArray& content) {
        content.clear();
        return 1;
    }
};

// The installed access; until the program installs one, every open fails
// and the log goes nowhere, so loading gives the defaults.
TIniFileAccess& IniFileAccess();
// The installer keeps ownership; nullptr restores the refusing default.
void SetIniFileAccess(TIniFileAccess* access);

}  // namespace tandex::config
