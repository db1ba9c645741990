// The folder view's row menus: pmFolder for a folder row under the caret,
// pmFile for a file row. Their rules live in folder_menus.cpp; here the
// items are made, wired to their commands and given the rules' states
// when a right click opens them.

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "access/archive_paths.h"
#include "command_windows.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "folder_menus.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

constexpr int kProgram1 = 1, kProgram2 = 2, kAssociatedApp = 3;

}  // namespace

void TF_Main::createFolderMenus() {
    QMenu* menu = nullptr;
    // built false: the command comes later; its item stays hidden until then.
    auto item = [this, &menu](const char* name, const QString& caption, bool built, auto handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setProperty("Built", built);
        action->setVisible(built);
        connect(action, &QAction::triggered, this, [this, action, handler] { (this->*handler)(action); });
        return action;
    };

    pmFolder = menu = new QMenu(this);
    pmFolder->setObjectName(QStringLiteral("pmFolder"));
    // Copying and deleting arrive with the copy window and the delete list.
    pmCopyFolder = item("pmCopyFolder", QStringLiteral("Copy..."), true, &TF_Main::BB_COPYTOClick);
    pmCompareFolderTo1 = item("pmCompareFolderTo1", QStringLiteral("Compare folder To..."), true,
                              &TF_Main::pmCompareArchiveTo1Click);
    pmDeleteFolder = item("pmDeleteFolder", QStringLiteral("Delete..."), true, &TF_Main::TB_DELETEClick);
    pmFolder->addSeparator();
    item("Selectallfilesinthisfolder1", QStringLiteral("Select all files in this folder"), true,
         &TF_Main::Selectallfilesinthisfolder1Click);
    item("pmSelectAllInFolderAndSubfolders1", QStringLiteral("Select all files in this folder and its subfolders"),
         true, &TF_Main::pmSelectAllInFolderAndSubfolders1Click);
    pmFolder->addSeparator();
    item("pmOpenAllSubFolders", QStringLiteral("Expand this folder and all its subfolders"), true,
         &TF_Main::pmOpenAllSubFoldersClick);
    item("pmCloseAllSubFolders", QStringLiteral("Collapse this folder and all its subfolders"), true,
         &TF_Main::pmCloseAllSubFoldersClick);
    item("pmOpenAllFolders", QStringLiteral("Expand all folders"), true, &TF_Main::pmOpenAllFoldersClick);
    item("pmCloseAllFolders", QStringLiteral("Collapse all folders"), true, &TF_Main::pmCloseAllFoldersClick);
    pmFolder->addSeparator();
    pmFolderProperties = item("pmFolderProperties", QStringLiteral("Properties..."), true,
                              &TF_Main::pmFilePropertiesClick);
    pmExploreFolder = item("pmExploreFolder", QStringLiteral("Locate folder in Explorer"), true,
                           &TF_Main::pmExploreFolderClick);
    pmFolder->addSeparator();
    pmCloseFolderCompareView1 = item("pmCloseFolderCompareView1", QStringLiteral("Close \"Folder Compare\" view"), true,
                                     &TF_Main::fbCloseTabClick);

    pmFile = menu = new QMenu(this);
    pmFile->setObjectName(QStringLiteral("pmFile"));
    pmCompareFiles = item("pmCompareFiles", QStringLiteral("Compare file pairs"), true, &TF_Main::pmCompareFilesClick);
    pmCompareFileTo1 = item("pmCompareFileTo1", QStringLiteral("Compare file To..."), true,
                            &TF_Main::pmCompareFileTo1Click);
    pmCompareArchives = item("pmCompareArchives", QStringLiteral("Compare archive pairs"), true,
                             &TF_Main::pmCompareArchivesClick);
    pmCompareArchiveTo1 = item("pmCompareArchiveTo1", QStringLiteral("Compare archive To..."), true,
                               &TF_Main::pmCompareArchiveTo1Click);
    // Browsing an archive arrives with the browser.
    pmBrowseArchive1 = item("pmBrowseArchive1", QStringLiteral("Browse archive..."), false,
                            &TF_Main::pmLoadFileLeftClick);
    pmFile->addSeparator();
    pmCopyFile = item("pmCopyFile", QStringLiteral("Copy..."), true, &TF_Main::BB_COPYTOClick);
    pmDeleteFile = item("pmDeleteFile", QStringLiteral("Delete..."), true, &TF_Main::TB_DELETEClick);
    pmFile->addSeparator();
    // The external programs show once the launcher is installed.
    pmOpeninexternalEditor11 = item("pmOpeninexternalEditor11", QStringLiteral("Open in external program 1"), false,
                                    &TF_Main::pmOpeninexternalEditor11Click);
    pmOpeninexternalEditor12 = item("pmOpeninexternalEditor12", QStringLiteral("Open in external program 2"), false,
                                    &TF_Main::pmOpeninexternalEditor11Click);
    pmOpenWithApp1 = item("pmOpenWithApp1", QStringLiteral("Open file with associated application"), false,
                          &TF_Main::pmOpeninexternalEditor11Click);
    // Their rule shows them with the launcher.
    for (QAction* a : {pmOpeninexternalEditor11, pmOpeninexternalEditor12, pmOpenWithApp1}) a->setProperty("Built", true);
    pmOpeninexternalEditor11->setProperty("Tag", kProgram1);
    pmOpeninexternalEditor12->setProperty("Tag", kProgram2);
    pmOpenWithApp1->setProperty("Tag", kAssociatedApp);
    pmFile->addSeparator();
    pmFile->addAction(pmOpenAllFolders1);
    pmFile->addAction(pmCloseAllFolders1);
    pmFile->addSeparator();
    pmFileProperties = item("pmFileProperties", QStringLiteral("Properties..."), true, &TF_Main::pmFilePropertiesClick);
    pmExploreFile = item("pmExploreFile", QStringLiteral("Locate file in Explorer"), true,
                         &TF_Main::pmExploreFolderClick);
    pmFile->addSeparator();
    pmCloseFolderCompareView = item("pmCloseFolderCompareView", QStringLiteral("Close \"Folder Compare\" view"), true,
                                    &TF_Main::fbCloseTabClick);

    for (QMenu* m : {pmFolder, pmFile}) connect(m, &QMenu::aboutToShow, this, [this, m] { pmFilePopup(m); });
}

TFolderMenuSnapshot TF_Main::folderMenuSnapshot() const {
    const auto& st = engine::paneStores();
    const auto& r = engine::rows();
    const auto& f = engine::folderRows();
    TFolderMenuSnapshot s;
    s.activePane = getActivePane(vtFolder);
    s.files = r.SelectedCount(true);
    s.all = r.SelectedCount(false);
    s.treeView = config::AppSettings().FCTreeView;
    s.currentTab = engine::fccTabs().CurrentTab;
    s.launcher = commandWindows().Has(cwSharedServices);
    if (s.launcher)
        for (int n = 1; n <= 2; ++n) s.externalCaptions[size_t(n)] = commandWindows().ExternalViewerCaption(n);
    const int row = engine::editor().Caret.Row;
    if (row >= 0 && row < f.FolderRowCount) {
        s.rowIsArchive = access::FZIsArchiveFile(st.FolderRoots[size_t(s.activePane)] +
                                                 f.FolderRowPath(s.activePane, row));
        s.rowOnBothSides = r.IsRowOnBothSides(row);
    }
    return s;
}

void TF_Main::buildFolderContextMenu() {
    auto& r = engine::rows();
    auto& ed = engine::editor();
    const int pane = getActivePane(vtFolder);
    const int row = ed.Caret.Row;
    if (row < 0 || row >= engine::folderRows().FolderRowCount) return;
    if (r.RowSelectionKind(pane, row) == 0) {
        applySelection(clickShift_, row);
        refreshSelection();
        updateControls();
    }
    const TFolderMenuSnapshot s = folderMenuSnapshot();
    const bool folderRow = engine::folderRows().RowFolderState(row) != 0;
    QMenu* menu = folderRow ? pmFolder : pmFile;
    applyControlState(folderRow ? FolderMenuState(s) : FileMenuState(s));
    // The icons follow the image indexes the rules gave.
    const QList<QImage>* icons = ImageList(16);
    for (QAction* a : menu->actions()) {
        const QVariant index = a->property("ImageIndex");
        if (index.isValid() && icons && index.toInt() < icons->size())
            a->setIcon(QIcon(QPixmap::fromImage(icons->at(index.toInt()))));
    }
    for (QAction* close : {pmCloseFolderCompareView, pmCloseFolderCompareView1}) close->setProperty("Tag", s.currentTab);
    menuPopupPos = Client->mapToGlobal(mouseDownPoint_);
    menu->popup(menuPopupPos);
}

}  // namespace tandex::ui
