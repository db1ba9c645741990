#pragma once
// The folder view's two row menus, pmFolder (a folder row under the caret)
// and pmFile (a file row), as pure rules over what is selected and where:
// which items are enabled, how the copy and delete items read, and which
// items show. An item whose command has not arrived yet ("Built" false)
// stays hidden whatever its rule says; its state is computed all the same.

#include <QString>

#include <array>

#include "main_window_state.h"

namespace tandex::ui {

struct TFolderMenuSnapshot {
    int activePane = 1;
    int files = 0;  // selected files
    int all = 0;    // selected entries, files and folders
    bool treeView = true;
    int currentTab = 0;
    // The external programs' launcher is installed; the captions of
    // programs 1 and 2.
    bool launcher = false;
    std::array<QString, 3> externalCaptions;
    // The caret row's file: its root-relative path names an archive, and
    // it is present on both sides.
    bool rowIsArchive = false;
    bool rowOnBothSides = false;
};

// "2 files", "1 folder", or " folders and files" for a mixed selection.
QString FolderMenuCountText(int files, int all);

TControlState FolderMenuState(const TFolderMenuSnapshot& s);
TControlState FileMenuState(const TFolderMenuSnapshot& s);

}  // namespace tandex::ui
