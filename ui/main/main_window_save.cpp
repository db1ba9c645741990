// Saving panes: the save commands and menus, the save dialog's choices,
// the question about modified panes before they are replaced or closed.
// The writing itself is pane_save.cpp's.

#include <QAction>
#include <QCursor>
#include <QMenu>

#include "access/access_slots.h"
#include "access/text_files.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "flat_button.h"
#include "main_window.h"
#include "pane_save.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

// Save targets of the commands: in place, or a new place on the file
// system, an FTP server, in an archive or the cloud.
enum SaveTarget : int { stInPlace = -1, stFileSystem = 0, stFtp = 1, stArchive = 2, stCloud = 3 };

QString locationOf(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString tabLocation(int tab, int pane) {
    QString folder, name;
    engine::fccTabs().GetTabFilePath(tab, pane, folder);
    engine::fccTabs().GetTabFileName(tab, pane, name);
    return locationOf(folder, name);
}

QString newComparisonName(int pane) { return pane == 1 ? QStringLiteral("NewL.txt") : QStringLiteral("NewR.txt"); }

}  // namespace

void TF_Main::createSaveCommands() {
    // The FTP, archive and cloud targets need the location browser; until
    // it exists their items stay hidden.
    static const struct {
        const char* name;
        const char* caption;
        int target;
    } kItems[] = {{"SaveToFileSystem", "Save to File System as...", stFileSystem},
                  {"SaveToFtp", "Save to FTP Server as...", stFtp},
                  {"SaveToZip", "Save to ZIP Archive as...", stArchive},
                  {"SaveToDropbox", "Save to Dropbox as...", stCloud}};
    for (int pane = 1; pane <= 2; ++pane) {
        QMenu* popup = pane == 1 ? pmSaveFileLeft : pmSaveFileRight;
        for (const auto& item : kItems) {
            QAction* a = popup->addAction(QString::fromLatin1(item.caption));
            a->setObjectName(QLatin1String(item.name) + (pane == 1 ? QLatin1Char('L') : QLatin1Char('R')));
            a->setProperty("Tag", item.target);
            a->setProperty("Pane", pane);
            a->setVisible(item.target == stFileSystem);
            connect(a, &QAction::triggered, this, [this, a] { N1SaveFileClick(a); });
        }
        // The File menu's "as" item carries a copy of the popup.
        if (auto* as = findChild<QAction*>(pane == 1 ? QStringLiteral("SaveLeftFileAs1")
                                                     : QStringLiteral("SaveRightFileAs1"))) {
            as->menu()->clear();
            CopyPopupMenuItems(as->menu(), popup);
            const auto copies = as->menu()->actions();
            for (int i = 0; i < copies.size(); ++i) copies[i]->setVisible(popup->actions()[i]->isVisible());
            as->setVisible(true);
            as->setProperty("Built", true);
        }
        if (auto* save = findChild<QAction*>(pane == 1 ? QStringLiteral("SaveLeftFile1")
                                                       : QStringLiteral("SaveRightFile1"))) {
            save->setProperty("Tag", stInPlace);
            save->setProperty("Pane", pane);
            save->setVisible(true);
            save->setProperty("Built", true);
            connect(save, &QAction::triggered, this, [this, save] { N1SaveFileClick(save); });
        }
        TFlatButton2* button = pane == 1 ? fbSaveFileL : fbSaveFileR;
        button->setProperty("Tag", stInPlace);
        button->setProperty("Pane", pane);
        button->setToolTip(pane == 1 ? QStringLiteral(" Save left file ") : QStringLiteral(" Save right file "));
        button->OnClick = [this](QObject* sender) { N1SaveFileClick(sender); };
    }
}

void TF_Main::N1SaveFileClick(QObject* sender) {
    if (!sender || !controlsEnabled_ || Busy()) return;
    const int pane = sender->property("Pane").toInt() == 2 ? 2 : 1;
    const int target = sender->property("Tag").toInt();
    auto& tabs = engine::fccTabs();
    auto& stores = engine::paneStores();
    // The image view saves the comparison's result picture.
    if (ViewType() == vtImage && tabs.CurrentTabInUse()) {
        saveResultPictureAs(target);
        return;
    }
    if (ViewType() != vtText || !tabs.CurrentTabInUse()) return;
    saveTabState();
    const int tab = tabs.CurrentTab;
    const bool modified = tabs.IsTabPaneModified(tab, pane);
    QString name;
    tabs.GetTabFileName(tab, pane, name);
    int item = SaveDialogItem(stores.FileKinds[size_t(pane)], stores.ConvertedKinds[size_t(pane)], modified,
                              !name.isEmpty());
    if (target == stInPlace) {
        if (SaveInPlaceNeedsSaveAs(pane)) {
            showSaveAsMenu(pane);
            return;
        }
        if (!modified) return;
    } else if (target == stFileSystem) {
        TSaveDialogChoice choice;
        choice.title = pane == 1 ? QStringLiteral(" Save left file ") : QStringLiteral(" Save right file ");
        tabs.GetTabFilePath(tab, pane, choice.folder);
        choice.defaultName = name == newComparisonName(pane) ? QString() : SaveDefaultName(pane);
        choice.encodingItem = item;
        choice.lineEnd = stores.LineEndings[size_t(pane)] ? stores.LineEndings[size_t(pane)] : 1;
        if (!(SaveDialogHook ? SaveDialogHook(choice) : ExecSaveTextDialog(this, choice))) return;
        const qsizetype cut = choice.path.lastIndexOf(QLatin1Char('/')) + 1;
        stores.FilePaths[size_t(pane)] = choice.path.left(cut);
        stores.FileNames[size_t(pane)] = choice.path.mid(cut);
        item = choice.encodingItem;
        stores.LineEndings[size_t(pane)] = quint8(choice.lineEnd);
        // Written out now, the text is the new file's, no longer a
        // converter's output.
        if (item >= 0) stores.PlugInIndex[size_t(pane)] = -1;
    } else {
        return;
    }
    access::FZResetAbort();
    if (target != stInPlace && !ConfirmOverwrite(locationOf(stores.FilePaths[size_t(pane)],
                                                            stores.FileNames[size_t(pane)])))
        return;
    if (item >= 0 && target != stInPlace) stores.FileKinds[size_t(pane)] = quint8(KindOfSaveItem(item));
    saveTabState();
    savePaneFile(tab, 0, pane);
    updateSaveCommands();
    showFileNames();
    if (!tabs.IsTabPaneModified(tab, pane)) {
        drawTabBar();
        updateControls();
        invalidatePanes(false);
    }
    refocusMain();
}

bool TF_Main::savePaneFile(int tab, int imageFormat, int pane) {
    Q_UNUSED(imageFormat);  // the result picture is the image comparison's to save
    if (!engine::PaneStores::IsPane(pane)) return false;
    const auto& stores = engine::paneStores();
    const int kind = engine::fccTabs().GetTabPaneFileKind(tab, pane);
    int item = kind == access::fkPlugin ? SaveItemOfKind(stores.ConvertedKinds[size_t(pane)]) : SaveItemOfKind(kind);
    if (item < 0) item = SaveItemOfKind(access::fkUtf8);
    const int lineEnd = stores.LineEndings[size_t(pane)] ? stores.LineEndings[size_t(pane)] : 1;
    const bool shown = tab == engine::fccTabs().CurrentTab;
    const size_t p = size_t(pane);
    const qint64 oldSize = stores.FileSizes[p];
    const auto oldTime = stores.FileTimes[p];
    ++busyDepth_;
    disableUI();
    // The details, the properties and the next comparison of times must
    // see the file as written, not as it was loaded.
    const TPaneSaveResult result =
        SavePaneText(tab, pane, tabLocation(tab, pane), item, lineEnd, [this, shown, pane](int slot) {
            if (shown) openPaneFile(pane, slot);
        });
    --busyDepth_;
    if (shown) {
        auto& s = engine::paneStores();
        if (!result.saved) {
            // Read before the archive was saved, the new values only hold
            // once that succeeded.
            s.FileSizes[p] = oldSize;
            s.FileTimes[p] = oldTime;
        }
        saveTabState();
    }
    enableUI();
    return result.saved;
}

bool TF_Main::askSaveModified(int which) {
    auto& tabs = engine::fccTabs();
    const int tab = tabs.FindTabByViewType(engine::tvText);
    if (tab < 0 || which < 1 || which > 3) return true;
    if (tab == tabs.CurrentTab) saveTabState();
    bool goOn = true;
    for (int pane = which == 2 ? 2 : 1; pane <= (which == 1 ? 1 : 2) && goOn; ++pane) {
        const auto& states = tabs.TabSlots[size_t(tab)].FileData.PaneModifiedState;
        if (states[size_t(pane)] == engine::pmModified) {
            QString name;
            tabs.GetTabFileName(tab, pane, name);
            const bool single = tabs.TabSlots[size_t(tab)].SinglePaneView != 0;
            const QString side = pane == 2 ? QStringLiteral("right ") : single ? QString() : QStringLiteral("left ");
            const QString text = QStringLiteral("The file in the ") + side +
                                 QStringLiteral("text compare pane is modified!\r\nDo you want to save it?\r\rFile:\r") +
                                 tabLocation(tab, pane);
            const int buttons = config::mbYes | config::mbNo | (cancelAllowed_ ? config::mbCancel : 0);
            const int answer = config::showMessage(QStringLiteral("Tandex"), text, config::MsgKind::Question, buttons,
                                                   cancelAllowed_ ? config::mrCancel : config::mrNo);
            if (answer == config::mrYes) {
                if (!name.isEmpty() && name != QStringLiteral("NewL.txt") && name != QStringLiteral("NewR.txt"))
                    savePaneFile(tab, 0, pane);
                else
                    showSaveAsMenu(pane);
            } else if (answer == config::mrNo) {
                tabs.MarkPaneSaveDeclined(tab, pane);
            }
        }
        goOn = states[size_t(pane)] != engine::pmModified;
    }
    updateSaveCommands();
    showFileNames();
    return goOn;
}

void TF_Main::showSaveAsMenu(int pane) {
    QMenu* popup = pane == 2 ? pmSaveFileRight : pmSaveFileLeft;
    if (SaveAsMenuHook) {
        SaveAsMenuHook(popup);
        return;
    }
    popup->exec(QCursor::pos());
}

void TF_Main::updateSaveCommands() {
    const auto& tabs = engine::fccTabs();
    const auto& stores = engine::paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        const bool modified = tabs.CurrentTabInUse() && tabs.IsPaneModified(pane);
        if (auto* save = findChild<QAction*>(pane == 1 ? QStringLiteral("SaveLeftFile1")
                                                       : QStringLiteral("SaveRightFile1")))
            save->setEnabled(modified);
        TFlatButton2* button = pane == 1 ? fbSaveFileL : fbSaveFileR;
        button->SetImageID(modified && !stores.FileNames[size_t(pane)].isEmpty() ? 6 : 7);
        button->SetEnabled(stores.LineCount[size_t(pane)] > 0 && ViewType() == vtText);
    }
}

}  // namespace tandex::ui
