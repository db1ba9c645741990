#pragma once
// Where the program's own files live. The program folder (the executable's)
// holds read-only things such as the resource archive and the help file; all
// that the program writes for itself - the settings file, the program log,
// the run logs, the backup and temporary folders - lies under one writable
// root. That root is the program folder itself for a portable installation
// (a writable program folder that holds "Tandex.ini"), else
// $XDG_CONFIG_HOME/tandex (~/.config/tandex by default), made on first start.
// "/IniFile=" on the command line moves the settings file elsewhere.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

namespace tandex::config {

// Everything TPrgDir derives its names from; the default constructor takes
// them from the running process, tests pass their own.
struct TPrgDirSources {
    QString executablePath;  // full path of the running program
    QStringList arguments;   // command line, element 0 the program itself
    QString configHome;      // $XDG_CONFIG_HOME (may be empty)
    QString home;            // $HOME
};

class TPrgDir {
public:
    TPrgDir();
    explicit TPrgDir(const TPrgDirSources& sources);

    // Folder of the executable, with its trailing "/".
    QString ProgramFolder;
    // Path of the settings file.
    QString IniPath;

    bool DeleteIniFile() const;
    QString GetProgramFolder() const { return ProgramFolder; }
    // The settings file's path in the file system's encoding.
    QByteArray IniPathPChar() const;
    QString GetIniPath() const { return IniPath; }
    QString GetErtPath() const;
    QString GetLogPath() const;
    QString GetTmpPath() const;
    // The folder everything the program writes for itself derives from,
    // with its trailing "/": the program log is GetWritableRoot() +
    // "TDXLog.txt", the temporary and backup folders lie below it.
    QString GetWritableRoot() const { return writableRoot_; }
    // True when the writable root is the program folder.
    bool IsPortable() const { return portable_; }

    // A stored location that begins with "$appdir/" (or the older
    // "$appdir\") is taken relative to the program folder.
    QString ExpandAppDir(const QString& text) const;

private:
    QString writableRoot_;
    bool portable_ = false;
};

// The file name of the settings file under the writable root.
inline constexpr const char* kIniFileName = "Tandex.ini";
inline constexpr const char* kProgramLogName = "TDXLog.txt";

// The program's TPrgDir. The first call without an installed one makes it
// from the running process.
TPrgDir& PrgDir();
// Installs the program's TPrgDir (the main window at start, tests with a
// temporary folder); nullptr drops it so the next PrgDir() makes a new one.
void SetPrgDir(std::unique_ptr<TPrgDir> prgDir);

// Name derived from the settings file name by putting `ext` (three letters)
// in place of its extension; a name without an extension gets one appended.
QString DeriveFromIniPath(const QString& iniPath, const QString& ext);

// ---- version record -------------------------------------------------------

inline constexpr int kVersInfoSize = 20;

struct TVersInfo {
    int Count = -1;  // -1 while nothing was read
    std::array<QString, kVersInfoSize> Keys;
    std::array<QString, kVersInfoSize> Values;
};

// Fills the record from the version compiled into the program.
void ReadVersionInfo(TVersInfo& info);
// The running program's record, read once.
const TVersInfo& ProgramVersionInfo();
// "FileVersion" of the record, or "Unknown!".
QString GetProgramVersion(const TVersInfo& info);
QString GetProgramVersion();
// The version a program file carries: the build embeds a fixed marker
// followed by the version text in the program, and this finds it by
// reading the file, never by running it. Empty for a file without one.
QString GetFileVersionText(const QString& path);
// The bytes that mark version in a program file.
QByteArray VersionMarker(const QString& version);

}  // namespace tandex::config
