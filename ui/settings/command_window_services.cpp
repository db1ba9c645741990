#include "command_window_services.h"

#include "colors_dlg.h"
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

TCommandWindowServices::~TCommandWindowServices() {
    delete colors_;
}

bool TCommandWindowServices::Has(ui::TCommandWindow window) const {
    if (window == ui::cwSharedServices || window == ui::cwColors || window == ui::cwSettings) return true;
    return others_ && others_->Has(window);
}

void TCommandWindowServices::ShowColors(QPoint pos, bool shortcutsOn, std::function<void(int)> apply) {
    CreateColors();
    // A second "Colors..." while the dialog is open finds the shortcuts
    // already off; they must still come back when it closes.
    const bool restore = shortcutsOn || (colors_->isVisible() && colors_->RestoreShortcuts);
    colors_->OnApply = std::move(apply);
    colors_->ShowDialog(pos, true, restore);
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

void TCommandWindowServices::CreateColors() {
    if (colors_) return;
    auto* main = qobject_cast<ui::TF_Main*>(ui::MainForm());
    colors_ = new TfColors(main, main);
}

TfColors* TCommandWindowServices::Colors() const {
    return colors_;
}

void TCommandWindowServices::CancelColors() {
    if (colors_ && colors_->isVisible()) colors_->fbCancelClick(nullptr);
}

void TCommandWindowServices::SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep,
                                      int halfCycleTicks) {
    if (colors_) colors_->SetPulse(base, redStep, greenStep, blueStep, halfCycleTicks);
}

void TCommandWindowServices::EnablePulse(bool on) {
    if (colors_) colors_->EnablePulse(on);
}

void TCommandWindowServices::SetOnPulse(std::function<void(quint32 color)> onPulse) {
    if (colors_) colors_->Pulse->OnPulse = std::move(onPulse);
}

}  // namespace tandex::settings
