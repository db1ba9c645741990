#include "main_window.h"
#include "print_seams.h"

namespace tandex::ui {

// Opens the start page of the help. The settings dialog, once it exists,
// answers with the help of its own page while it is open.
void TF_Main::pmHelp1Click(QObject* /*sender*/) {
    ShowHelpTopic(QStringLiteral("Welcome to Tandex"));
}

}  // namespace tandex::ui
