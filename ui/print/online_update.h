#pragma once
// The online update. At every start in window mode the main window calls
// AfterUpgrade: when another program version wrote the settings file, it
// says whether this was an upgrade or a downgrade and keeps the previous
// settings file (and a program file the updater replaced) in the
// application backup folder. The check against the update server and its
// window are not here yet; TUpdateServices makes no check until then.

#include <QString>

#include <functional>

#include "config/prg_dir.h"
#include "ui/main/print_seams.h"

namespace tandex::print {

class TF_Update {
public:
    // name is the program's short name, the stem of its files; displayName
    // is used in captions and messages (leading blanks dropped).
    void AfterUpgrade(const QString& name, const QString& displayName);

    // Keeps a program file that an update replaced (kind 'r' for a release,
    // 'b' for a beta) with the settings file in the backup folder under
    // the kind letter and its version; adds a line about it to report. The
    // version found, empty when there is no such file.
    QString MoveOldProgramToBackup(QChar kind, QString& report);

    QString AppName;
    QString AppTitle;
    bool Initialized = false;
    // The program's file; Linux programs carry no extension and are named
    // in lower case.
    QString ExeName() const { return AppName.toLower(); }
    // Reads the version of a program file. Linux executables carry no
    // version block, so an updater's replaced file is only found once it
    // can tell its version; tests give one here.
    std::function<QString(const QString& path)> FileVersion = config::GetFileVersionText;
};

// The update window's state, made on first use.
TF_Update& F_Update();

// Compares dotted version texts: the candidate is newer when its number is
// greater at the first position where the two differ; texts that agree
// over the shorter length are not newer ("2.3.6.1" is not newer than
// "2.3.6"). A part that is not a number (an empty text too) makes valid
// false and the answer false.
bool IsNewerVersion(const QString& current, const QString& candidate, bool& valid);

// What the main window reaches of the update.
class TUpdateServices : public ui::UpdateServices {
public:
    void AfterUpgrade(const QString& name, const QString& displayName) override;
};

}  // namespace tandex::print
