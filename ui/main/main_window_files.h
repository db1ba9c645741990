#pragma once
// Locating a pane's file or folder in the desktop's file manager. There is
// no portable way to select a file there, so a file is shown by opening the
// folder that holds it.

#include <QString>

namespace tandex::ui {

// The local folder the file manager opens to show path: a folder itself,
// a file the folder that holds it; a path into an archive shows the
// archive file. Empty when the path does not exist or is not on a local
// file system or share.
QString LocateFolder(const QString& path, bool isFolder);

// Hands the folder to the desktop; nothing for an empty one.
void OpenInFileManager(const QString& folder);

}  // namespace tandex::ui
