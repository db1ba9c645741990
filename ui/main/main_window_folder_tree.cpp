// The folder view's tree commands: expanding and collapsing all folders or
// the subtree under the caret, and the switch between tree and list.

#include <QAction>

#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::createFolderTreeCommands() {
    // The folder popups place these items; the window owns them so that
    // enabling them never waits for a popup to exist.
    pmOpenAllFolders1 = new QAction(QStringLiteral("Expand all folders"), this);
    pmOpenAllFolders1->setObjectName(QStringLiteral("pmOpenAllFolders1"));
    pmCloseAllFolders1 = new QAction(QStringLiteral("Collapse all folders"), this);
    pmCloseAllFolders1->setObjectName(QStringLiteral("pmCloseAllFolders1"));
    connect(pmOpenAllFolders1, &QAction::triggered, this, [this] { pmOpenAllFoldersClick(pmOpenAllFolders1); });
    connect(pmCloseAllFolders1, &QAction::triggered, this, [this] { pmCloseAllFoldersClick(pmCloseAllFolders1); });
    connect(TB_COLLAPSE, &QAction::triggered, this, [this] { pmCloseAllFoldersClick(TB_COLLAPSE); });
    enableFolderMenus();
}

void TF_Main::enableFolderMenus() {
    const bool tree = config::AppSettings().FCTreeView;
    if (pmOpenAllFolders1) pmOpenAllFolders1->setEnabled(tree);
    if (pmCloseAllFolders1) pmCloseAllFolders1->setEnabled(tree);
}

bool TF_Main::folderTreeCommandAllowed() const {
    return !Busy() && ViewType() == vtFolder && engine::paneStores().FolderMode && config::AppSettings().FCTreeView;
}

void TF_Main::pmOpenAllFoldersClick(QObject*) {
    if (!folderTreeCommandAllowed()) return;
    auto& f = engine::folderRows();
    f.ClearFolderSelection();
    resetSelectButtons(15);
    f.OpenAllFolders();
    updateRowRange();
    refreshSelection();
    updateControls();
}

void TF_Main::pmOpenAllSubFoldersClick(QObject*) {
    if (!folderTreeCommandAllowed()) return;
    engine::folderRows().OpenFolderTree(engine::editor().GetCaretRow());
    updateRowRange();
    refreshSelection();
    updateControls();
}

void TF_Main::pmCloseAllFoldersClick(QObject*) {
    if (!folderTreeCommandAllowed()) return;
    auto& f = engine::folderRows();
    f.ClearFolderSelection();
    resetSelectButtons(15);
    f.CloseAllFolders();
    // The caret row may be gone with the rows it stood among.
    auto& ed = engine::editor();
    const int rows = engine::paneStores().VisibleRowCount();
    if (ed.GetCaretRow() >= rows) ed.PlaceCaret(1, std::max(rows - 1, 0), ed.ActiveSide);
    updateRowRange();
    refreshView();
    updateControls();
}

void TF_Main::pmCloseAllSubFoldersClick(QObject*) {
    if (!folderTreeCommandAllowed()) return;
    engine::folderRows().CloseFolderTree(engine::editor().GetCaretRow());
    updateRowRange();
    refreshSelection();
}

void TF_Main::switchFolderViewMode() {
    auto& s = config::AppSettings();
    auto& f = engine::folderRows();
    auto& ed = engine::editor();
    pickMode(2);
    s.FCTreeView = !s.FCTreeView;
    f.RebuildFolderRows();
    if (s.FCTreeView) {
        if (s.FCAutoExpAll)
            f.OpenAllFolders();
        else if (s.FCAutoExpand)
            f.OpenDifferentFolders();
    }
    f.UpdateInfoColumns();
    bool laidOut = false;
    if (s.FCTreeView) {
        f.OpenFoldersToSelection();
        laidOut = updateRowRange();
    }
    if (!laidOut) arrangeLayout(ViewType());
    updateHScrollBar();
    const int rows = engine::paneStores().VisibleRowCount();
    const int selected = f.FirstSelectedFolderRow();
    const int target = selected >= 0 && selected < rows ? selected : 0;
    if (rows > 0) {
        ed.PlaceCaret(1, target, ed.ActiveSide);
        scrollRowIntoView(target);
    }
    repaintPanes();
}

}  // namespace tandex::ui
