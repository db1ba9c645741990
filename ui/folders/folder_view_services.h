#pragma once
// What the folder comparison subsystem offers the main window through its
// seam (ui/main/folder_view_seam.h). app/ makes one at start, once the main
// window has loaded the settings, and installs it with setFolderView; the
// windows of this subsystem that live for the whole program belong to it.

#include <QPointer>

#include "ui/main/folder_view_seam.h"

namespace tandex::ui {
class TF_Main;
}

namespace tandex::folders {

class TfLogView;
class TCmpFolder;
class TF_ShowDel;
class TAdvCopy;

class TFolderViewServices : public ui::FolderViewServices {
public:
    // main gives the windows their images and their owner; without one
    // (tests) they are windows of their own.
    explicit TFolderViewServices(ui::TF_Main* main = nullptr);
    ~TFolderViewServices() override;
    TFolderViewServices(const TFolderViewServices&) = delete;
    TFolderViewServices& operator=(const TFolderViewServices&) = delete;

    void ShowLog(int n) override;
    void ApplyTheme(bool flat) override;
    void CopyToClipboard() override;
    bool LogViewVisible() const override;
    int FolderRunState() const override;
    QString FolderSessionCaption() const override;
    int FolderRootKind(int pane) const override;
    int FolderMaxDepth() const override;
    int FolderDiffCount() const override;
    void SetFolderDiffCount(int count) override;
    void SwapSides() override;
    bool Execute(bool showOptions, int mode) override;
    void fbCancelClick() override;
    void SetFolderRunState(int state) override;
    bool FolderWindowVisible() const override;
    void CloseFolderWindow() override;

    QWidget* DeleteList() const override;
    void Prepare(const QPoint& position, int side, int expectedCount) override;
    void AddItem(int row, const QString& path) override;
    void Run(int storeSide) override;

    TfLogView* LogView() const;
    // The folder comparison window, made at its first use.
    TCmpFolder* CmpFolder();
    TF_ShowDel* ShowDel() const;

    bool CopyWindowExists() const override;
    void CopyPrepare(int side) override;
    qint64 CopyTotalBytes() const override;
    void SetCopyTotalBytes(qint64 bytes) override;
    qint64 CopyReplacedBytes() const override;
    void SetCopyReplacedBytes(qint64 bytes) override;
    void CopyAddJob(const QString& srcFolder, const QString& srcName, qint64 size, int row, const QString& dstName,
                    const QString& dstFolder) override;
    void CopyExecute(int sourceSide, const QString& destRoot) override;
    void CloseCopyWindow() override;
    TAdvCopy* AdvCopy() const;

private:
    ui::TF_Main* main_ = nullptr;
    QPointer<TCmpFolder> cmpFolder_;
    // Owned by the main window when there is one, so that it neither keeps
    // the program running once the main window has closed nor outlives it.
    QPointer<TfLogView> logView_;
    QPointer<TF_ShowDel> showDel_;
    QPointer<TAdvCopy> advCopy_;
};

}  // namespace tandex::folders
