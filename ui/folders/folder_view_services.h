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

    TfLogView* LogView() const;
    // The folder comparison window, made at its first use.
    TCmpFolder* CmpFolder();

private:
    ui::TF_Main* main_ = nullptr;
    QPointer<TCmpFolder> cmpFolder_;
    // Owned by the main window when there is one, so that it neither keeps
    // the program running once the main window has closed nor outlives it.
    QPointer<TfLogView> logView_;
};

}  // namespace tandex::folders
