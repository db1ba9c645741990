#include "command_window_services.h"

#include "external_programs.h"
#include "folder_picker.h"

namespace tandex::settings {

bool TCommandWindowServices::Has(ui::TCommandWindow window) const {
    if (window == ui::cwSharedServices) return true;
    return others_ && others_->Has(window);
}

void TCommandWindowServices::ShowColors(QPoint pos, bool shortcutsOn, std::function<void(int)> apply) {
    if (others_) others_->ShowColors(pos, shortcutsOn, std::move(apply));
}

void TCommandWindowServices::ShowSettings() {
    if (others_) others_->ShowSettings();
}

void TCommandWindowServices::ShowSettingsPage(int page, int pointerHint) {
    if (others_) others_->ShowSettingsPage(page, pointerHint);
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
