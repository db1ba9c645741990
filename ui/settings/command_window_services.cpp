#include "command_window_services.h"

#include "external_programs.h"
#include "config/sys_helpers.h"
#include "folder_picker.h"
#include "settings_dialog.h"
#include "ui/main/main_window.h"
#include "ui/main/window_helpers.h"

namespace tandex::settings {

namespace {

ui::TF_Main* mainWindow() {
    return qobject_cast<ui::TF_Main*>(ui::MainForm());
}

}  // namespace

bool TCommandWindowServices::Has(ui::TCommandWindow window) const {
    if (window == ui::cwSharedServices || window == ui::cwSettings) return true;
    return others_ && others_->Has(window);
}

void TCommandWindowServices::ShowColors(QPoint pos, bool shortcutsOn, std::function<void(int)> apply) {
    if (others_) others_->ShowColors(pos, shortcutsOn, std::move(apply));
}

void TCommandWindowServices::ShowSettings() {
    OpenSettingsDialog(mainWindow());
}

void TCommandWindowServices::ShowSettingsPage(int page, int pointerHint) {
    // As the main window's command opens it: its controls are disabled
    // until the dialog closes.
    if (ui::TF_Main* main = mainWindow())
        main->BB_SETINGSClick(nullptr);
    else
        ShowSettings();
    TF_SettingsNew* dialog = F_SettingsNew();
    if (!dialog) return;
    dialog->SelectPage(page, quint8(pointerHint));
    while (F_SettingsNew()) config::WaitWithMessages(500);
}

bool TCommandWindowServices::SettingsOpen() const {
    return F_SettingsNew() != nullptr;
}

void TCommandWindowServices::CancelSettings() {
    if (TF_SettingsNew* dialog = F_SettingsNew()) dialog->fbCancelClick();
}

bool TCommandWindowServices::ShowSettingsHelp() {
    TF_SettingsNew* dialog = F_SettingsNew();
    if (!dialog) return false;
    dialog->fbHelpClick();
    return true;
}

void TCommandWindowServices::ApplySettingsTheme() {
    if (TF_SettingsNew* dialog = F_SettingsNew(); dialog && dialog->isVisible()) dialog->ApplyTheme();
}

void TCommandWindowServices::ShowAbout(QPoint pos) {
    if (others_) others_->ShowAbout(pos);
}

QString TCommandWindowServices::RunExternalProgram(int kind, const QString& path) {
    return settings::RunExternalProgram(kind, path);
}

QString TCommandWindowServices::ExternalViewerCaption(int n) const {
    return settings::ExternalViewerCaption(n);
}

bool TCommandWindowServices::SelectFolderDialog(const QString& title, const QString& root, QString& folder,
                                                bool editBox, bool includeFiles, bool newFolderButton) {
    return settings::SelectFolderDialog(title, root, folder, editBox, includeFiles, newFolderButton);
}

}  // namespace tandex::settings
