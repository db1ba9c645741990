#pragma once
// What the windows use of the printing, help and update subsystem, which
// links this library and installs its implementation at start. Until it
// is installed, asking for help shows nothing.

#include <QString>

namespace tandex::ui {

class HelpServices {
public:
    virtual ~HelpServices() = default;
    // Opens the help window on a topic ("Name" or "Name => Anchor"); the
    // window is made on first use.
    virtual void ShowHelpTopic(const QString& topic) = 0;
    // The look changed: the help window, when there is one, follows it.
    virtual void ApplyTheme() = 0;
    // Closes the help window, when there is one, keeping its place.
    virtual void CloseHelp() = 0;
};

HelpServices& help();
// Installing nullptr restores the default; the caller keeps ownership.
void setHelp(HelpServices* services);

// The entry point every window's help button and key use; an empty topic
// opens nothing.
void ShowHelpTopic(const QString& topic);

}  // namespace tandex::ui
