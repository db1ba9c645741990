#include "folder_view_services.h"

#include <algorithm>
#include <utility>

#include "access/access_types.h"
#include "ui/folders/adv_copy.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/log_view.h"
#include "ui/folders/show_del.h"
#include "ui/main/main_window.h"

namespace tandex::folders {

TFolderViewServices::TFolderViewServices(ui::TF_Main* main) : main_(main) {
    ui::TLoadBitmap loadBitmap;
    if (main)
        loadBitmap = [main](int size, int index, QImage& bitmap) { return main->loadBMPFunc(size, index, bitmap); };
    logView_ = new TfLogView(main, loadBitmap);
    showDel_ = new TF_ShowDel(main, loadBitmap);
    advCopy_ = new TAdvCopy(main, std::move(loadBitmap));
    if (main) advCopy_->OnEntryCopied = [main](int row, int side) { main->markEntryCopied(row, side); };
}

TFolderViewServices::~TFolderViewServices() {
    delete cmpFolder_.data();
    delete advCopy_.data();
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

QString TFolderViewServices::FolderSessionCaption() const {
    return cmpFolder_ ? cmpFolder_->LastSession() : QString();
}

int TFolderViewServices::FolderDiffCount() const {
    const TCompareRun* run = cmpFolder_ ? cmpFolder_->Run() : nullptr;
    return run ? run->Differences : 0;
}

void TFolderViewServices::SetFolderDiffCount(int count) {
    if (TCompareRun* run = cmpFolder_ ? cmpFolder_->Run() : nullptr) run->Differences = std::max(count, 0);
}

void TFolderViewServices::SwapSides() {
    TFolderCompareState& fc = FolderCompare();
    std::swap(fc.LeftAccessKind, fc.RightAccessKind);
}

int TFolderViewServices::FolderRootKind(int pane) const {
    const TFolderCompareState& fc = FolderCompare();
    const int kind = pane == 1 ? fc.LeftAccessKind : fc.RightAccessKind;
    // Before the first run the roots count as local.
    return kind == 0 ? int(access::akLocal) : kind;
}

int TFolderViewServices::FolderMaxDepth() const { return FolderCompare().MaxFolderDepth; }

TCmpFolder* TFolderViewServices::CmpFolder() {
    // Made once the settings are loaded: it takes its histories from them.
    if (!cmpFolder_) cmpFolder_ = new TCmpFolder(main_);
    return cmpFolder_.data();
}

bool TFolderViewServices::Execute(bool showOptions, int mode) { return CmpFolder()->Execute(showOptions, mode); }

void TFolderViewServices::fbCancelClick() {
    if (cmpFolder_) cmpFolder_->fbCancelClick();
}

void TFolderViewServices::SetFolderRunState(int state) { FolderCompare().RunState = state; }

bool TFolderViewServices::FolderWindowVisible() const { return cmpFolder_ && cmpFolder_->isVisible(); }

void TFolderViewServices::CloseFolderWindow() {
    if (cmpFolder_) cmpFolder_->close();
}

}  // namespace tandex::folders
