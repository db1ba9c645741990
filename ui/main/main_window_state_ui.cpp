// Keeping toolbar, menus and pane buttons in step with the view: the
// snapshot the rules of main_window_state.h read, applying their answer to
// the widgets, disabling the window's controls around long operations, the
// edit shortcuts and the refresh after the view's content changed.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolBar>
#include <QWidget>

#include "config/app_settings.h"
#include "config/path_text.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "diff_nav.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "flat_button.h"
#include "image_pane.h"
#include "main_window.h"

namespace tandex::ui {

void TF_Main::createStateMenus() {
    pmDiffView = new QMenu(this);
    pmDiffView->setObjectName(QStringLiteral("pmDiffView"));
    static const char* captions[] = {"all", "equal", "dif + orph", "dif only", "orphan", "h diff", "h orph"};
    for (int f = 0; f < 7; ++f) {
        QAction* item = pmDiffView->addAction(QLatin1String(captions[f]));
        item->setObjectName(kFilterItemNames[size_t(f)]);
        item->setProperty("Tag", f);
    }
    pmCloseView = new QAction(QStringLiteral("Close \"Text Compare\" view"), this);
    pmCloseView->setObjectName(QStringLiteral("pmCloseView"));
    connect(pmCloseView, &QAction::triggered, this, [this] {
        pmCloseView->setProperty("Tag", engine::fccTabs().CurrentTab);
        fbCloseTabClick(pmCloseView);
    });
    for (const char* name : {"File1", "Edit1", "Navigation1", "mmVisibleTabs1", "Options1"}) {
        auto* menu = findChild<QMenu*>(QLatin1String(name));
        if (menu) connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuPopup(menu); });
    }
    restoreEditShortcuts();
}

// ---- control state ----------------------------------------------------------

TControlSnapshot TF_Main::controlSnapshot() {
    const auto& s = config::AppSettings();
    const auto& tabs = engine::fccTabs();
    const auto& stores = engine::paneStores();
    auto& r = engine::rows();
    auto& f = engine::folderRows();
    TControlSnapshot c;
    c.viewType = ViewType();
    const bool folder = c.viewType == vtFolder;
    c.singlePaneView = stores.SinglePaneView != 0;
    c.binaryMode = stores.BinaryMode != 0;
    c.caretViewActive = r.CaretViewActive != 0;
    c.tabInUse = tabs.CurrentTabInUse();
    c.rowCount = viewRowCount(c.viewType);
    c.diffCount = tabs.GetTabDiffCount();
    c.selectedCount = r.SelectedCount(folder);
    c.activePane = getActivePane(c.viewType);
    c.folderViewFilter = f.FolderViewFilter;
    c.textViewFilter = r.TextViewFilter;
    c.binaryViewFilter = r.BinaryViewFilter;
    c.filterImage = filterImage_;
    c.fcTreeView = s.FCTreeView;
    c.folderCount = stores.FolderCount;
    c.storeEntryCount = stores.StoreEntryCount();
    c.fileEntryCount = stores.FileEntryCount();
    if (folder) c.caretRowResult = r.RowResult(engine::editor().GetCaretRow());
    c.fileNames = stores.FileNames;
    c.leftHasDisplayPath = !stores.SideDisplayPath(1).isEmpty();
    c.fileSizes = stores.FileSizes;
    for (int pane = 1; pane <= 2; ++pane) {
        c.accessKinds[size_t(pane)] = stores.SideAccessKinds[size_t(pane)];
        c.lineCounts[size_t(pane)] = stores.LineCount[size_t(pane)];
        c.hasUndo[size_t(pane)] = engine::undoStack().HasUndo(pane);
    }
    const std::array<TFlatButton2*, 4> selects{fbLSelNew, fbRSelNew, fbLSelAll, fbRSelAll};
    for (size_t i = 0; i < 4; ++i) c.selectTags[i] = selects[i]->property("Tag").toInt();
    c.folderTabExists = tabs.FindTabByViewType(vtFolder) >= 0;
    c.folderListPos = folderListPos_;
    c.folderRowCount = f.FolderRowCount;
    if (fileSteppingPossible(c)) {
        const int from = qMax(0, folderListPos_);
        QString path;
        if (f.PrevFileBeforeRow(from, path) >= 0) c.prevFileName = QFileInfo(path).fileName();
        if (f.NextFileFromRow(from, path) >= 0) c.nextFileName = QFileInfo(path).fileName();
    }
    c.showHintDB = s.GSShowHintDB;
    c.teEnabled = s.TEEnabled;
    c.cfCopyLines = s.CFCopyLines;
    return c;
}

void TF_Main::applyControlState(const TControlState& state) {
    for (const auto& [name, item] : state) {
        if (name == QLatin1String("F_Main")) {
            if (item.caption) setWindowTitle(*item.caption);
            continue;
        }
        QObject* target = findChild<QObject*>(name);
        if (!target) continue;
        if (auto* action = qobject_cast<QAction*>(target)) {
            // Commands whose routines are not there yet stay out of sight.
            const QVariant built = action->property("Built");
            if (item.visible && (!built.isValid() || built.toBool())) action->setVisible(*item.visible);
            if (item.enabled) action->setEnabled(*item.enabled);
            if (item.checked) action->setChecked(*item.checked);
            if (item.caption) action->setText(*item.caption);
            if (item.hint) action->setToolTip(*item.hint);
            if (item.showHint) action->setProperty("ShowHint", *item.showHint);
            if (item.image) action->setProperty("ImageIndex", *item.image);
        } else if (auto* button = qobject_cast<TFlatButton2*>(target)) {
            if (item.visible) button->setVisible(*item.visible);
            if (item.enabled) button->SetEnabled(*item.enabled);
            if (item.caption) button->SetCaption(*item.caption);
            if (item.hint) button->setToolTip(*item.hint);
            if (item.image) button->SetImageID(*item.image);
        } else if (auto* menu = qobject_cast<QMenu*>(target)) {
            if (item.enabled) menu->menuAction()->setEnabled(*item.enabled);
        } else if (auto* widget = qobject_cast<QWidget*>(target)) {
            if (item.visible) widget->setVisible(*item.visible);
            if (item.enabled) widget->setEnabled(*item.enabled);
            if (item.hint) widget->setToolTip(*item.hint);
            if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && item.caption) edit->setText(*item.caption);
        }
    }
}

void TF_Main::updateControls() {
    rePosImgTitle();
    applyControlState(controlState(controlSnapshot()));
    // The save items follow the panes' modified states, from the empty
    // window on.
    updateSaveCommands();
    // While the window's controls are off, the rules may not turn them on.
    if (!controlsEnabled_) disableControls();
    rePosImgTitle();
}

void TF_Main::rePosImgTitle() {
    const QString end = titleEndButton(ViewType());
    int right = 0;
    if (auto* action = end.isEmpty() ? nullptr : ToolBar1->findChild<QAction*>(end))
        if (QWidget* w = ToolBar1->widgetForAction(action); w && action->isVisible()) right = w->geometry().right() + 1;
    // The title never lies over a button: in a narrow window it gives way,
    // and hides when its name no longer fits.
    int buttonsEnd = 0;
    for (QAction* action : ToolBar1->actions())
        if (QWidget* w = ToolBar1->widgetForAction(action); w && action->isVisible() && w->isVisible())
            buttonsEnd = std::max(buttonsEnd, w->geometry().right() + 1);
    const int edge = ToolBar1->width() - config::Helpers().DpiPx2;
    const int width = std::max(std::min(appTitleWidth(ToolBar1->width(), right), edge - buttonsEnd), 0);
    L_AppTitle->resize(width, L_AppTitle->height());
    // The title keeps to the toolbar's right end.
    L_AppTitle->move(edge - width, L_AppTitle->y());
    L_AppTitle->setVisible(width >= L_AppTitle->fontMetrics().horizontalAdvance(L_AppTitle->text()));
}

// ---- busy disabling ---------------------------------------------------------

QList<QAction*> TF_Main::disabledToolButtons() const {
    // From the first button to the last but one: the last keeps its state.
    return {TB_SETINGS, TB_OPENFOLDER, TB_VIEWMODE, TB_FILTER, TB_HEX,      TB_COLLAPSE, TB_DIFNEXT, TB_DIFPREV,
            TB_COPYTO,  TB_RELOAD,     TB_DELETE,   TB_NEXTFILE, TB_PREVFILE, TB_UNDOL,  TB_UNDOR};
}

void TF_Main::setBusyControls(bool enabled) {
    for (const char* name : {"File1", "Edit1", "Navigation1", "Options1"})
        if (auto* menu = findChild<QMenu*>(QLatin1String(name))) menu->menuAction()->setEnabled(enabled);
    if (auto* update = findChild<QAction*>(QStringLiteral("CheckforUpdates1"))) update->setEnabled(enabled);
    P_MID->setEnabled(enabled);
    for (TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR, fbLSelAll, fbRSelAll, fbLSelNew, fbRSelNew, fbSWAP})
        b->SetEnabled(enabled);
    for (QAction* a : disabledToolButtons()) a->setEnabled(enabled);
    hScrollBar->setEnabled(enabled);
    vScrollBar->setEnabled(enabled);
}

void TF_Main::disableControls() {
    setBusyControls(false);
    fbSaveFileL->SetEnabled(false);
    fbSaveFileR->SetEnabled(false);
}

void TF_Main::disableUI() {
    // The window itself stays enabled: its keys (F8, F9, Alt+Up/Down) must
    // keep working while the operation runs.
    clearEditShortcuts();
    controlsEnabled_ = false;
    disableControls();
}

void TF_Main::enableUI() {
    controlsEnabled_ = true;
    setBusyControls(true);
    TB_SETINGS->setEnabled(true);
    TB_OPENFOLDER->setEnabled(true);
    restoreEditShortcuts();
    updateControls();
}

void TF_Main::clearEditShortcuts() {
    for (const char* name : {"Copy1", "Paste1", "Cut1", "Delete1"})
        if (auto* item = findChild<QAction*>(QLatin1String(name))) item->setShortcut(QKeySequence());
}

void TF_Main::restoreEditShortcuts() {
    // The open find dialog's fields keep the clipboard keys until it closes,
    // whatever enables the window meanwhile.
    if (findDialogOpen_) return;
    const std::pair<const char*, QKeySequence> keys[] = {{"Copy1", QKeySequence(QStringLiteral("Ctrl+C"))},
                                                         {"Paste1", QKeySequence(QStringLiteral("Ctrl+V"))},
                                                         {"Cut1", QKeySequence(QStringLiteral("Ctrl+X"))},
                                                         {"Delete1", QKeySequence(Qt::Key_Delete)}};
    for (const auto& [name, key] : keys)
        if (auto* item = findChild<QAction*>(QLatin1String(name))) item->setShortcut(key);
}

// ---- menus ------------------------------------------------------------------

TMenuSnapshot TF_Main::menuSnapshot() const {
    const auto& s = config::AppSettings();
    const auto& stores = engine::paneStores();
    TMenuSnapshot m;
    m.viewType = ViewType();
    m.hasRows = viewRowCount(m.viewType) > 0;
    m.singlePaneView = stores.SinglePaneView != 0;
    m.lineCounts = stores.LineCount;
    QWidget* focus = QApplication::focusWidget();
    m.detailsFocus = focus && (focus == eLine1 || focus == eLine2);
    m.selectionExists = engine::rows().SelectedCount(m.viewType == vtFolder) > 0;
    m.activeUndo = engine::undoStack().HasUndo(getActivePane(m.viewType));
    m.searchTextExists = !lastSearchText_.isEmpty();
    const QClipboard* clipboard = QApplication::clipboard();
    m.clipboardText = clipboard && !clipboard->text().isEmpty();
    m.selectAllEnabled = fbLSelAll->Enabled() || fbRSelAll->Enabled();
    m.selectNewEnabled = fbLSelNew->Enabled() || fbRSelNew->Enabled();
    m.lineNumbers = s.GSLineNr;
    m.diffBar = s.GSShowDiffBar;
    m.statusBar = s.GSStaDisp;
    m.detailPanel = s.GSDetailPanel;
    m.visibleWS = s.TEVisibleWS;
    m.visibleTabs = s.TEVisibleTAB;
    m.ignoreAllBlanks = s.TCIgnAllBl;
    m.ignoreCase = s.TCIgnCase;
    m.ignoreEmptyLines = s.TCIgnEmptyLn;
    return m;
}

void TF_Main::menuPopup(QMenu* menu) {
    if (!menu) return;
    applyControlState(menuState(menu->objectName(), menuSnapshot()));
}

// ---- content refresh --------------------------------------------------------

void TF_Main::refreshView() {
    updateControls();
    showFileNames();
    const int type = ViewType();
    const int rows = viewRowCount(type);
    // The last page shows the last row: its first row is the count less a
    // page, plus one (the rows are counted from 1).
    const int page = rowsPerPage();
    if (topRow(type) > 1 && rows - topRow(type) + 1 < page) setTopRow(type, LastPageTop(rows, page), rows);
    invalidatePanes(false);
}

namespace {

// The lines of the pane's file, not its aligned rows: gap rows hold none.
int fileLineCount(int pane) {
    const auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    const int rows = stores.LineCount[p];
    if (stores.BinaryMode) {
        int lines = 0;
        for (int i = 0; i < rows; ++i) lines += stores.BinaryLines[p].IsGap(i) ? 0 : 1;
        return lines;
    }
    // A line longer than a row continues on the next rows; it is still one
    // line of the file.
    return stores.FileLineCount(pane);
}

}  // namespace

void TF_Main::showFileNames() {
    const auto& stores = engine::paneStores();
    const bool folder = ViewType() == vtFolder;
    for (auto [pane, edit, info] : {std::tuple<int, QLineEdit*, QLabel*>{1, eFN1, pAI1}, {2, eFN2, pAI2}}) {
        const QString path = stores.SideDisplayPath(pane);
        const QFontMetrics fm(edit->font());
        const QString shown = path.isEmpty() ? QString()
                                             : config::ShortenPathToWidth(
                                                   [&fm](const QString& t) { return fm.horizontalAdvance(t); }, path,
                                                   edit->contentsRect().width() - 6);
        edit->setText(shown);
        // A shortened path shows in full as a hover text.
        edit->setProperty("HelpKeyword", shown != path ? QStringLiteral("C") : QString());
        const size_t p = size_t(pane);
        TPaneInfo pi;
        pi.folderView = folder;
        pi.fileName = stores.FileNames[p];
        pi.size = folder ? stores.FolderTotalSizes[p] : stores.FileSizes[p];
        pi.fileTime = stores.FileTimes[p];
        pi.image = stores.ImageLoaded[p] != 0;
        if (const TPaneImage* state = pi.image ? paneImage(pane) : nullptr) {
            pi.width = state->width;
            pi.height = state->height;
            pi.bitsPerPixel = state->bitsPerPixel;
        }
        pi.lineCount = fileLineCount(pane);
        pi.fileKind = stores.FileKinds[p];
        pi.forcedKind = forcedKinds_[p];
        pi.lineEnding = stores.LineEndings[p];
        // Cut to the line's width with an ellipsis, the whole text as its hint.
        const QString line = paneInfoText(pi);
        const QString fits = info->fontMetrics().elidedText(line, Qt::ElideRight, info->contentsRect().width());
        info->setText(fits);
        info->setToolTip(fits == line ? QString() : line);
    }
}

void TF_Main::markDifferingRows() { LastDiffCount = tandex::ui::markDifferingRows(); }

}  // namespace tandex::ui
