#pragma once
// Reading every setting from the settings file at start and writing the
// file anew at exit, through the INI engine. The file is UTF-8 with a
// byte-order mark, its keys in the order of TAppSettings; keys the program
// does not know, comments and a hand-edited order are not kept.

#include <QString>

namespace tandex::config {

// Fills AppSettings() from the settings file (PrgDir().GetIniPath()), each
// missing key with its default, and makes the application backups folder.
// The file's lines stay in the INI store for LoadFindReplaceSettings, which
// must come next and frees them.
void LoadSettings();

// Rebuilds the settings file from AppSettings() and FindReplaceSettings().
// When the rebuild fails part-way, the old file is kept and the failure
// logged; a write that fails leaves the old file as well.
void SaveSettings();

// Keeps a copy of the settings file in AppBackupsFolder() + subfolder,
// written anew through the INI engine (so as UTF-8 with a byte-order mark
// and limited like any load).
void BackupSettingsFile(const QString& subfolder);

}  // namespace tandex::config
