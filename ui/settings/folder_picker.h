#pragma once
// The folder picker that the settings dialog's folder buttons and the
// folder window share. It opens where the user last left it and selects
// the folder the caller starts from.

#include <QString>

namespace tandex::settings {

// The picker's last place; a pair whose sum is negative is not used, and
// the system's placement is remembered instead.
struct TPickerPlace {
    int PickerLeft = -1;
    int PickerTop = -1;
};
TPickerPlace& pickerPlace();

// Lets the user choose a folder, with folder selected when it exists. With
// a root the picker stays inside it. editBox shows the path field,
// includeFiles lists files beside the folders, newFolderButton offers to
// create one. True when a folder was chosen, which then replaces folder.
bool SelectFolderDialog(const QString& title, const QString& root, QString& folder, bool editBox,
                        bool includeFiles, bool newFolderButton);

}  // namespace tandex::settings
