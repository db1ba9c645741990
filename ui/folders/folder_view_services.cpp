#include "folder_view_services.h"

#include "ui/folders/adv_copy.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/log_view.h"
#include "ui/main/main_window.h"

namespace tandex::folders {

TFolderViewServices::TFolderViewServices(ui::TF_Main* main) {
    ui::TLoadBitmap loadBitmap;
    if (main)
        loadBitmap = [main](int size, int index, QImage& bitmap) { return main->loadBMPFunc(size, index, bitmap); };
    logView_ = new TfLogView(main, loadBitmap);
    advCopy_ = new TAdvCopy(main, std::move(loadBitmap));
    if (main) advCopy_->OnEntryCopied = [main](int row, int side) { main->markEntryCopied(row, side); };
}

TFolderViewServices::~TFolderViewServices() {
    delete advCopy_.data();
    delete logView_.data();
}

TAdvCopy* TFolderViewServices::AdvCopy() const { return advCopy_.data(); }

bool TFolderViewServices::CopyWindowExists() const { return advCopy_; }

void TFolderViewServices::CopyPrepare(int side) {
    if (advCopy_) advCopy_->Prepare(side);
}

qint64 TFolderViewServices::CopyTotalBytes() const { return advCopy_ ? advCopy_->TotalBytes() : 0; }

void TFolderViewServices::SetCopyTotalBytes(qint64 bytes) {
    if (advCopy_) advCopy_->TotalBytes() = bytes;
}

qint64 TFolderViewServices::CopyReplacedBytes() const { return advCopy_ ? advCopy_->ReplacedBytes() : 0; }

void TFolderViewServices::SetCopyReplacedBytes(qint64 bytes) {
    if (advCopy_) advCopy_->ReplacedBytes() = bytes;
}

void TFolderViewServices::CopyAddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row,
                                     const QString& dstName, const QString& dstFolder) {
    if (advCopy_) advCopy_->AddJob(srcFolder, srcName, size, row, dstName, dstFolder);
}

void TFolderViewServices::CopyExecute(int sourceSide, const QString& destRoot) {
    if (advCopy_) advCopy_->Execute(sourceSide, destRoot);
}

void TFolderViewServices::CloseCopyWindow() {
    if (advCopy_) advCopy_->close();
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
