// Starting a folder comparison from the main window: the toolbar button,
// "Compare folders...", the recently compared folder pairs and the start-up
// auto-load. The run itself is the folder window's, reached through the
// folder-view seam; while it runs the window's controls rest and a close
// request waits for it.

#include <QAction>
#include <QFontMetrics>
#include <QMenu>

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "folder_view_seam.h"
#include "main_window.h"
#include "recent_pairs.h"

namespace tandex::ui {

namespace {

constexpr int kFolderPairMenuImage = 13;

}  // namespace

void TF_Main::createFolderRunControls() {
    connect(TB_OPENFOLDER, &QAction::triggered, this, [this] { BB_OPENFOLDERClick(TB_OPENFOLDER); });
    if (auto* item = findChild<QAction*>(QStringLiteral("CompFolder1"))) {
        item->setProperty("Built", true);
        item->setVisible(true);
        connect(item, &QAction::triggered, this, [this, item] { BB_OPENFOLDERClick(item); });
    }
    Lastusedfolders1 = findChild<QAction*>(QStringLiteral("Lastusedfolders1"));
    if (Lastusedfolders1) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("Lastusedfolders1Menu"));
        Lastusedfolders1->setMenu(menu);
        Lastusedfolders1->setProperty("Built", true);
        Lastusedfolders1->setVisible(true);
    }
}

void TF_Main::runFolderCompare(bool showOptions, int mode) {
    // A second start while one runs (the event pump turns during the run).
    if (folderRunActive_) return;
    pickMode(2);
    // A re-run of the panes' pair reads archives nested in archives from
    // their extracted copies.
    if (mode == 1111 && (!nestedArchiveCheck(1) || !nestedArchiveCheck(2))) return;
    auto& stores = engine::paneStores();
    if (singlePaneView_) {
        // The folder view always shows both sides.
        stores.SinglePaneView = 0;
        singlePaneView_ = false;
        P_MID->setVisible(true);
    }
    disableUI();
    saveTabState();
    folderRunActive_ = true;
    folderView().Execute(showOptions, mode);
    folderRunActive_ = false;
    buildFolderPairMenu();
    enableUI();
    refocusMain();
}

void TF_Main::BB_OPENFOLDERClick(QObject*) {
    if (Busy() || !controlsEnabled_) return;
    runFolderCompare(true, -1);
}

void TF_Main::FPClick2(QObject* sender) {
    if (Busy() || !controlsEnabled_) return;
    int index = 0;
    if (sender) {
        // Both panes make way for the folder view: their edits come first.
        if (!askSaveModified(3)) return;
        bool ok = false;
        index = sender->objectName().mid(2).toInt(&ok);
        if (!ok || index < 0 || index >= config::kListSize) return;
    }
    runFolderCompare(false, index);
}

void TF_Main::buildFolderPairMenu() {
    if (!Lastusedfolders1 || !Lastusedfolders1->menu()) return;
    QMenu* menu = Lastusedfolders1->menu();
    menu->clear();
    const QFontMetrics fm(menu->font());
    const auto& s = config::AppSettings();
    const auto items = FolderPairMenuItems(
        s.FCFoldersL, s.FCFoldersR, [&fm](const QString& t) { return fm.horizontalAdvance(t); },
        config::ScaleDpi(400));
    QImage image;
    const bool hasImage = loadBMPFunc(16, kFolderPairMenuImage, image);
    for (const auto& entry : items) {
        QAction* item = menu->addAction(entry.caption);
        item->setObjectName(QStringLiteral("DP") + QString::number(entry.index));
        if (hasImage) item->setIcon(QIcon(QPixmap::fromImage(image)));
        connect(item, &QAction::triggered, this, [this, item] { FPClick2(item); });
    }
    if (items.empty()) menu->addAction(QStringLiteral("Empty"))->setEnabled(false);
}

}  // namespace tandex::ui
