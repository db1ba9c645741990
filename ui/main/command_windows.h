#pragma once
// The windows of the settings and the help-and-update subsystems that the
// main window's menus open: the colour dialog, the settings dialog and the
// about box (the update check is the updater's, print_seams.h), and the
// settings subsystem's shared services: the external program launcher and
// the folder picker. Those subsystems link this library and install their
// implementation at start; until then every window is missing and the
// commands that would open one stay out of the menus.

#include <QPoint>
#include <QString>
#include <functional>

namespace tandex::ui {

// cwSharedServices covers RunExternalProgram, ExternalViewerCaption and
// SelectFolderDialog together.
enum TCommandWindow : int { cwColors = 0, cwSettings = 1, cwAbout = 2, cwSharedServices = 3 };

class CommandWindowServices {
public:
    virtual ~CommandWindowServices() = default;
    virtual bool Has(TCommandWindow window) const = 0;
    // The colour dialog at pos; apply is called with a chosen set's index.
    // shortcutsOn: whether the Edit shortcuts were on before the dialog.
    virtual void ShowColors(QPoint pos, bool shortcutsOn, std::function<void(int)> apply) = 0;
    // Makes the settings dialog when there is none and shows it; it gives
    // the main window its controls back when it closes.
    virtual void ShowSettings() = 0;
    // Opens the settings dialog on a page (its index in the page tree),
    // flashing pointer hint 1 .. 3 on the option the caller means (0 none),
    // and returns once the user has closed it.
    virtual void ShowSettingsPage(int page, int pointerHint) = 0;
    // The open settings dialog: whether there is one, its "Cancel" (the
    // main window's close sequence), its help (the main window's help
    // command: true when an open dialog took it) and its look (the colour
    // scheme changed).
    virtual bool SettingsOpen() const { return false; }
    virtual void CancelSettings() {}
    virtual bool ShowSettingsHelp() { return false; }
    virtual void ApplySettingsTheme() {}
    virtual void ShowAbout(QPoint pos) = 0;

    // The colour dialog is made once when the window run starts and kept;
    // it also drives the colour pulse, so a batch run, which never makes
    // it, never pulses. Showing it makes it when it is still missing.
    virtual void CreateColors() {}
    // Cancels the colour dialog when it is shown, as its Cancel button.
    virtual void CancelColors() {}
    // The colour pulse: from base, each tick takes the steps (red in the
    // low byte, green in the middle, blue in the high one) off every
    // channel for halfCycleTicks ticks, then adds them back as long, and so
    // on; the first half cycle is one tick longer. Ticks come every 50 ms
    // while the pulse is on and the callback set; switched off, the
    // callback gets base once more. Nothing happens without the dialog.
    virtual void SetPulse(quint32 /*base*/, quint8 /*redStep*/, quint8 /*greenStep*/, quint8 /*blueStep*/,
                          int /*halfCycleTicks*/) {}
    virtual void EnablePulse(bool /*on*/) {}
    // Receives each colour of the pulse; an empty callback stops the ticks
    // reaching anyone.
    virtual void SetOnPulse(std::function<void(quint32 color)> /*onPulse*/) {}

    // Opens path with external program 1 or 2 of the settings, or (3) with
    // the program the desktop associates with it; remote and archived files
    // are copied to a local file first. Returns the error text, empty on
    // success; other kinds do nothing.
    virtual QString RunExternalProgram(int /*kind*/, const QString& /*path*/) { return {}; }
    // The menu caption of external program n (1 or 2).
    virtual QString ExternalViewerCaption(int /*n*/) const { return {}; }
    // Lets the user pick a folder, starting at folder (root: empty for the
    // whole file system); true when one was chosen, which then replaces
    // folder.
    virtual bool SelectFolderDialog(const QString& /*title*/, const QString& /*root*/, QString& /*folder*/,
                                    bool /*editBox*/, bool /*includeFiles*/, bool /*newFolderButton*/) {
        return false;
    }
};

CommandWindowServices& commandWindows();
// Installing nullptr restores the default; the caller keeps ownership.
void setCommandWindows(CommandWindowServices* services);

}  // namespace tandex::ui
