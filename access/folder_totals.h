#pragma once
// Folder totals: how many files and folders a tree holds and how many
// bytes its files take, with the folder's own attributes and times. The
// local walk reads the tree itself; the remote walk lists folder after
// folder through the slot's kind (FTP, archive, cloud). Both process
// pending events once per folder and stop when the abort flag is set,
// which they clear when they start.

#include "access/access_types.h"

#include <QString>

namespace tandex::access {

struct TFZFolderTotals {
    qint64 Files = 0;
    qint64 Folders = 0;  // below the starting folder
    qint64 Bytes = 0;
    quint32 Attributes = 0;
    FileTime CreationTime = 0;
    FileTime LastAccessTime = 0;
    FileTime LastWriteTime = 0;
};

// Walks a local folder or share. A link to a folder is followed unless the
// folder is already on the current path (a loop: neither entered nor
// counted); a link to a file counts its target's size, a dangling link its
// own. A folder that cannot be read makes its error the result while the
// rest is still counted.
int FZLocalFolderTotals(const QString& folder, TFZFolderTotals& totals);

// Walks a remote folder of the slot's location (a path the slot can be
// pointed at). The first listing's first entry gives the folder's own time
// and attributes; a folder that cannot be listed adds nothing, and when it
// is the starting folder its code is the result. The slot points at its
// own path again afterwards.
int FZRemoteFolderTotals(int slot, const QString& folder, TFZFolderTotals& totals);

}  // namespace tandex::access
