#pragma once
// Deleting the selected files of one side of a folder comparison, without
// a widget: the numbered list of items, the drive class that decides
// whether the trash may be used, the run over the items with the per-file
// confirmations of protected files, the removal of folders that became
// empty, and the texts the delete list window shows afterwards. The window
// (show_del.h) fills in TDeleteHost and only shows what this unit says.
//
// Every item keeps its row and full path beside its display line: nothing
// is ever read back from the line, so a long path is deleted as it was
// listed and never as a prefix that may name another file.

#include <QString>
#include <QStringList>

#include <vector>

#include "ui/folders/replace_rules.h"

namespace tandex::folders {

// The drive class of an item, by the mount that holds it.
enum TDriveClass : int {
    dcLocal = 0,      // a local disk: the trash can be used
    dcRemote = 1,     // a network file system, a removable device, no mount
    dcReadOnly = 2,   // read-only media and paths into archives
};
// The two-character marker of a class: ": ", "::" or ":-".
QString DriveClassMarker(int driveClass);
// What tells one drive from another: the mount point that holds a local
// path, the archive file of a path into an archive, the root of a remote
// location. An item is classified again only when this differs from the
// previous item's.
QString DriveKeyOf(const QString& path);
int DriveClassOf(const QString& path);

// The list line of an item: the row number + 1 right aligned in five
// characters, the marker and the full path.
QString DeleteLine(int row, const QString& marker, const QString& path);

// DelState values.
enum TDelState : int {
    dsIdle = 0,
    dsWaiting = 1,
    dsDeleting = 2,
    dsStopRequested = 3,
    dsFinished = 4,
};

class TDeleteHost {
public:
    virtual ~TDeleteHost() = default;
    // The question about one protected file (a TReplaceCategory); returns
    // a ui::TErrorAnswer. Without a window every file is declined.
    virtual int AskDelete(const QString& /*path*/, int /*category*/) { return ui::eaNo; }
    // An item was deleted; row -1 with side 3 asks for a repaint.
    virtual void markEntryDeleted(int /*row*/, int /*side*/) {}
    // The wait panel's text; empty hides it.
    virtual void SetWaitText(const QString& /*text*/) {}
    virtual void SetProgress(int /*position*/, int /*maximum*/) {}
};

struct TDeleteItem {
    int Row = 0;
    QString Path;
    QString Line;
};

class TDeleteList {
public:
    explicit TDeleteList(TDeleteHost* host = nullptr);

    // ---- the caller's order: Prepare, AddItem..., Start ----
    void Prepare(int side, int expectedCount);
    void AddItem(int row, const QString& path);
    // Waits for the user's choice; false (state idle, "Nothing is
    // selected!" shown) when nothing was listed.
    bool Start(int storeSide);

    // The delete buttons: deletes every item, for good or to the trash.
    void Delete(bool toTrash);
    // The Cancel / Close button.
    void Cancel();
    bool CanClose() const { return DelState == dsIdle; }
    // What the Show buttons switch between.
    QString ShownCountText(bool foldersShown) const;

    TReplaceAnswers& DeleteAnswer() { return answers_; }

    int DelState = dsIdle;
    int Side = 0;
    int StoreSide = 0;
    QString LastDrive;
    int DriveClass = dcLocal;
    QString DriveMarker = QStringLiteral(": ");
    int DeletedCount = 0;
    int FailedCount = 0;
    int FolderCount = 0;
    int ExpectedCount = 0;
    bool TrashAllowed = true;
    // A deletion itself failed (not a declined confirmation).
    bool DeleteFailed = false;

    std::vector<TDeleteItem> Items;
    // What the list shows once the run is over: each item's line with its
    // result, and the folders removed.
    QStringList Shown;
    QStringList DeletedFolders;
    QString ActionText;
    QString FolderCountText;
    QString DelFoldersText;
    // The "Delete empty folders" check box.
    bool DeleteEmptyFolders = false;

private:
    // 0 deleted, 1 declined, 2 failed, 3 the run stops.
    int deleteItem(int slot, const TDeleteItem& item, bool toTrash, bool& lastOk);
    void removeEmptyFolders(int slot);
    void finishTexts();

    TDeleteHost* host_;
    TDeleteHost fallback_;
    TReplaceAnswers answers_;
};

}  // namespace tandex::folders
