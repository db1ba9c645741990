#include "settings_seam.h"

namespace tandex::ui {

namespace {

SettingsDialogServices* installedSettings = nullptr;

}  // namespace

SettingsDialogServices& settingsDialog() {
    static SettingsDialogServices none;
    return installedSettings ? *installedSettings : none;
}

void setSettingsDialog(SettingsDialogServices* services) { installedSettings = services; }

}  // namespace tandex::ui
