#pragma once
// What the main window uses of the folder comparison subsystem: what the
// tab bar and the view switch read of the last folder comparison, and the
// log viewer. That subsystem links this library and installs its answers
// at start; until then no folder comparison has run (no session caption,
// roots on local disks) and there is no log viewer.

#include <QPoint>
#include <QString>

class QWidget;

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

    // The folder window's difference count: the copy and delete callbacks
    // and a changed property keep it in step with the folder tab's.
    virtual int FolderDiffCount() const { return 0; }
    virtual void SetFolderDiffCount(int /*count*/) {}

    // The main window swapped the folder view's two sides: what the folder
    // window keeps per side (the roots' kinds) changes places too.
    virtual void SwapSides() {}
    // The delete list window, nullptr while there is none (the delete
    // commands stay hidden then). The main window places it by this.
    virtual QWidget* DeleteList() const { return nullptr; }
    // The delete list in the caller's order: Prepare at a place for a pane
    // and the expected number of items, AddItem per file (its row and full
    // path), then Run, which returns once the user closed the list and
    // reports every deleted row through TF_Main::markEntryDeleted.
    virtual void Prepare(const QPoint& /*position*/, int /*side*/, int /*expectedCount*/) {}
    virtual void AddItem(int /*row*/, const QString& /*path*/) {}
    virtual void Run(int /*storeSide*/) {}

    // Runs the folder comparison window in a mode (1112: its options only,
    // for the settings dialog); false when nothing ran.
    virtual bool Execute(bool /*showOptions*/, int /*mode*/) { return false; }
    // "Cancel" of the folder window: stops a running comparison, or ends
    // its options or its finished view.
    virtual void fbCancelClick() {}
    virtual void SetFolderRunState(int /*state*/) {}
    virtual bool FolderWindowVisible() const { return false; }
    virtual void CloseFolderWindow() {}

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
