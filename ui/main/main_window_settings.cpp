#include "main_window_settings.h"

#include "config/color_sets.h"
#include "config/find_settings.h"
#include "config/ini_file_access.h"
#include "config/settings_file.h"
#include "qt_services.h"

namespace tandex::ui {

ProgramSettings::ProgramSettings() {
    config::SetIniFileAccess(&fileAccess_);
    config::SetSystemColorSource(&PaletteSystemColor);
    config::LoadSettings();
    // The find dialog's section is taken now, while the file is still in
    // the INI store; the dialog picks the value up when it is made.
    config::LoadFindReplaceSettings();
}

ProgramSettings::~ProgramSettings() {
    config::SetSystemColorSource(nullptr);
    config::SetIniFileAccess(nullptr);
}

void ProgramSettings::Save() {
    config::SaveSettings();
}

}  // namespace tandex::ui
