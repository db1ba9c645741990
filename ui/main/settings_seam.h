#pragma once
// What the main window uses of the settings dialog, which lives in the
// settings subsystem. That subsystem links this library and installs its
// implementation at start; until then asking for a page opens nothing.

namespace tandex::ui {

class SettingsDialogServices {
public:
    virtual ~SettingsDialogServices() = default;
    // Opens the settings dialog on a page (its index in the page tree),
    // flashing pointer hint 1 .. 3 on the option the caller means (0 none),
    // and returns once the user has closed it.
    virtual void ShowSettingsPage(int /*page*/, int /*pointerHint*/) {}
};

SettingsDialogServices& settingsDialog();
// Installing nullptr restores the default; the caller keeps ownership.
void setSettingsDialog(SettingsDialogServices* services);

}  // namespace tandex::ui
