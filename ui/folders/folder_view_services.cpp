#include "folder_view_services.h"

#include "ui/folders/folder_compare.h"
#include "ui/folders/log_view.h"
#include "ui/folders/show_del.h"
#include "ui/main/main_window.h"

namespace tandex::folders {

TFolderViewServices::TFolderViewServices(ui::TF_Main* main) {
    ui::TLoadBitmap loadBitmap;
    if (main)
        loadBitmap = [main](int size, int index, QImage& bitmap) { return main->loadBMPFunc(size, index, bitmap); };
    logView_ = new TfLogView(main, loadBitmap);
    showDel_ = new TF_ShowDel(main, std::move(loadBitmap));
}

TFolderViewServices::~TFolderViewServices() {
    delete logView_.data();
    delete showDel_.data();
}

TF_ShowDel* TFolderViewServices::ShowDel() const { return showDel_.data(); }

QWidget* TFolderViewServices::DeleteList() const { return showDel_.data(); }

void TFolderViewServices::Prepare(const QPoint& position, int side, int expectedCount) {
    if (showDel_) showDel_->Prepare(position, side, expectedCount);
}

void TFolderViewServices::AddItem(int row, const QString& path) {
    if (showDel_) showDel_->AddItem(row, path);
}

void TFolderViewServices::Run(int storeSide) {
    if (showDel_) showDel_->Run(storeSide);
}

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
