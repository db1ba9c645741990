#pragma once
// What the main window uses of the folder comparison subsystem: what the
// tab bar and the view switch read of the last folder comparison, and the
// log viewer. That subsystem links this library and installs its answers
// at start; until then no folder comparison has run (no session caption,
// roots on local disks) and there is no log viewer.

#include <QString>

namespace tandex::ui {

class FolderViewServices {
public:
    virtual ~FolderViewServices() = default;
    // The caption of the current folder-pair session.
    virtual QString FolderSessionCaption() const { return {}; }
    // The access kind of a pane's folder root (1 local or share).
    virtual int FolderRootKind(int /*pane*/) const { return 1; }
    // The deepest folder level the last comparison reached.
    virtual int FolderMaxDepth() const { return 0; }
    // The comparison's run state (2 while it compares: the stores are
    // being filled and the folder view paints nothing).
    virtual int FolderRunState() const { return 0; }

    // The log viewer: shows run log n (0 folder comparison, 1 copy).
    virtual void ShowLog(int /*n*/) {}
    // The look changed: the log viewer follows it, flat or classic.
    virtual void ApplyTheme(bool /*flat*/) {}
    // Puts the log viewer's selected text on the clipboard.
    virtual void CopyToClipboard() {}
    virtual bool LogViewVisible() const { return false; }

    // Runs the folder comparison window in a mode (1112: its options only,
    // for the settings dialog); false when nothing ran.
    virtual bool Execute(bool /*showOptions*/, int /*mode*/) { return false; }

    // ---- the copy window: Prepare, the totals, AddJob..., Execute ----
    // Without one, nothing can be copied and the copy items stay hidden.
    virtual bool CopyWindowExists() const { return false; }
    // side: the source pane (1 left, 2 right); 0 empties the job list.
    virtual void CopyPrepare(int /*side*/) {}
    virtual qint64 CopyTotalBytes() const { return 0; }
    virtual void SetCopyTotalBytes(qint64 /*bytes*/) {}
    virtual qint64 CopyReplacedBytes() const { return 0; }
    virtual void SetCopyReplacedBytes(qint64 /*bytes*/) {}
    virtual void CopyAddJob(const QString& /*srcFolder*/, const QString& /*srcName*/, qint64 /*size*/, int /*row*/,
                            const QString& /*dstName*/, const QString& /*dstFolder*/) {}
    // Runs the copy and returns once its window was closed.
    virtual void CopyExecute(int /*sourceSide*/, const QString& /*destRoot*/) {}
    // The main window closes: a copy window still shown goes.
    virtual void CloseCopyWindow() {}
};

FolderViewServices& folderView();
// Installing nullptr restores the default; the caller keeps ownership.
void setFolderView(FolderViewServices* services);

}  // namespace tandex::ui
