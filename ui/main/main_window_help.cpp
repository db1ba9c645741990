#include "command_windows.h"
#include "main_window.h"
#include "print_seams.h"

namespace tandex::ui {

// Opens the start page of the help, or while the settings dialog is open
// the help of its page.
void TF_Main::pmHelp1Click(QObject* /*sender*/) {
    if (commandWindows().ShowSettingsHelp()) return;
    ShowHelpTopic(QStringLiteral("Welcome to Tandex"));
}

}  // namespace tandex::ui
