#pragma once
// The settings around the program's run: the settings file's access through
// the access slots and the palette's system colours are installed first,
// then every setting is read, before any window takes its look from them;
// Save writes the file anew once the windows are closed.

#include "access/ini_file_adapter.h"

namespace tandex::ui {

class ProgramSettings {
public:
    ProgramSettings();
    ~ProgramSettings();
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

    void Save();

private:
    access::TIniFileAdapter fileAccess_;
};

}  // namespace tandex::ui
