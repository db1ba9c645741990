#include "folder_view_services.h"

#include "ui/folders/folder_compare.h"
#include "ui/folders/log_view.h"
#include "ui/main/main_window.h"

namespace tandex::folders {

TFolderViewServices::TFolderViewServices(ui::TF_Main* main) {
    ui::TLoadBitmap loadBitmap;
    if (main)
        loadBitmap = [main](int size, int index, QImage& bitmap) { return main->loadBMPFunc(size, index, bitmap); };
    logView_ = new TfLogView(main, std::move(loadBitmap));
}

TFolderViewServices::~TFolderViewServices() { delete logView_.data(); }

TfLogView* TFolderViewServices::LogView() const { return logView_.data(); }

void TFolderViewServices::ShowLog(int n) {
    if (logView_) logView_->ShowLog(n, false);
}

void TFolderViewServices::ApplyTheme(bool flat) {
    if (logView_) logView_->ApplyTheme(flat);
}

void TFolderViewServices::CopyToClipboard() {
    if (logView_) logView_->CopyToClipboard();
}

bool TFolderViewServices::LogViewVisible() const { return logView_ && logView_->isVisible(); }

int TFolderViewServices::FolderRunState() const { return FolderCompare().RunState.load(); }

}  // namespace tandex::folders
