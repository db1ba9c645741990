// The main menu's own commands: the select buttons of the pane header and
// the selection commands behind them, the three ignore switches, centring
// the splitter, and the commands that open windows of later subsystems
// through the interface of command_windows.h.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>

#include "command_windows.h"
#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "flat_button.h"
#include "main_window.h"
#include "print_seams.h"
#include "select_buttons.h"

namespace tandex::ui {

namespace {

// applySelection's commands by selectRows kind (kind 1 selects otherwise).
int selectionCommand(int kind) {
    switch (kind) {
    case skEveryRow: return -5;
    case skNewer: return -1;
    case skEqual: return -4;
    case skDifferent: return -2;
    case skOrphans: return -3;
    case skInvert: return -6;
    default: return 0;
    }
}

bool named(const QObject* sender, const char* name) {
    return sender && sender->objectName() == QLatin1String(name);
}

// The Edit menu's "in left pane" / "in right pane" pair under an item.
std::pair<QAction*, QAction*> paneItems(QWidget* owner, QAction* item, const char* left, const char* right) {
    auto* sub = new QMenu(owner);
    QAction* l = sub->addAction(QStringLiteral("in left pane"));
    l->setObjectName(QLatin1String(left));
    QAction* r = sub->addAction(QStringLiteral("in right pane"));
    r->setObjectName(QLatin1String(right));
    item->setMenu(sub);
    return {l, r};
}

}  // namespace

void TF_Main::createViewCommands() {
    auto wire = [this](QAction* action, void (TF_Main::*handler)(QObject*)) {
        if (!action) return;
        action->setProperty("Built", true);
        action->setVisible(true);
        connect(action, &QAction::triggered, this, [this, action, handler] { (this->*handler)(action); });
    };
    auto item = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };

    // Edit: the selection commands, each "in left pane" and "in right pane".
    if (QAction* all = item("Selectalllines1")) {
        auto [l, r] = paneItems(this, all, "pmInLeftPane1", "pmInRightPane1");
        wire(l, &TF_Main::SelectLeftAllClick);
        wire(r, &TF_Main::SelectRightAllClick);
        all->setProperty("Built", true);
        all->setVisible(true);
    }
    if (QAction* newer = item("SelectAllNewer")) {
        auto [l, r] = paneItems(this, newer, "pmNewerLeft1", "pmNewerRight1");
        wire(l, &TF_Main::SelectAllNewerLClick);
        wire(r, &TF_Main::SelectAllNewerRClick);
        newer->setProperty("Built", true);
        newer->setVisible(true);
    }
    if (QAction* orphans = item("SelectAllOrphans")) {
        auto [l, r] = paneItems(this, orphans, "pmOrphansLeft1", "pmOrphansRight1");
        wire(l, &TF_Main::SelectOrphansLeftClick);
        wire(r, &TF_Main::SelectOrphansRightClick);
        orphans->setProperty("Built", true);
        orphans->setVisible(true);
    }
    wire(item("InvertSelection"), &TF_Main::InvertSelectionClick);
    fbLSelAll->OnClick = [this](QObject* sender) { SelectLeftAllClick(sender); };
    fbRSelAll->OnClick = [this](QObject* sender) { SelectRightAllClick(sender); };
    fbLSelNew->OnClick = [this](QObject* sender) { SelectAllNewerLClick(sender); };
    fbRSelNew->OnClick = [this](QObject* sender) { SelectAllNewerRClick(sender); };

    // Search: the difference commands and go to line are there already.
    // The difference keys belong to the window's key table, which also
    // decides when they act: the menu only names them (the key handling
    // writes the names, once).
    for (const char* name : {"FirstDifference1", "PrevDifference1", "NextDifference1", "LastDifference1", "GotoLine1"})
        if (QAction* a = item(name)) {
            a->setProperty("Built", true);
            a->setVisible(true);
        }
    item("GotoLine1")->setShortcut(QKeySequence(QStringLiteral("Ctrl+G")));

    // View
    wire(item("ScreenFont1"), &TF_Main::mmScreenFont1Click);
    wire(item("PrinterFont1"), &TF_Main::mmPrinterFont1Click);
    wire(item("mmCenter1"), &TF_Main::mmCenter1Click);
    item("mmCenter1")->setShortcut(Qt::Key_F2);
    wire(item("LineNumbers1"), &TF_Main::mmShowLN1Click);
    wire(item("Thumbnailbar1"), &TF_Main::mmShowThumbnailBar1Click);
    // The View menu's "Details panel" item carries the menu rules' name.
    miShowRuler->setObjectName(QStringLiteral("mmDetailsPanel1"));
    wire(miShowRuler, &TF_Main::mmShowDetailsPanel1Click);
    wire(item("Statusbar1"), &TF_Main::mmShowStatusBar1Click);
    for (const char* name : {"LineNumbers1", "Thumbnailbar1", "Statusbar1"}) item(name)->setCheckable(true);
    wire(item("mmColors1"), &TF_Main::mmColors1Click);

    // Options
    wire(item("Settings1"), &TF_Main::BB_SETINGSClick);
    item("Settings1")->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    wire(item("mmIgnoreWS1"), &TF_Main::mmIgnoreWS1Click);
    wire(item("mmIgnoreCase1"), &TF_Main::mmIgnoreCase1Click);
    wire(item("mmIgnoreEmptyLines1"), &TF_Main::mmIgnoreEmptyLines1Click);
    for (const char* name : {"mmIgnoreWS1", "mmIgnoreCase1", "mmIgnoreEmptyLines1"}) item(name)->setCheckable(true);

    // Help
    wire(item("About1"), &TF_Main::AboutClick);
    wire(item("CheckforUpdates1"), &TF_Main::CheckforUpdates1Click);
    if (auto* help = findChild<QMenu*>(QStringLiteral("Help1")))
        connect(help, &QMenu::aboutToShow, this, [this] { Info1Click(this); });

    // Toolbar
    connect(TB_VIEWMODE, &QAction::triggered, this, [this] { BB_VIEWMODEClick(TB_VIEWMODE); });
    connect(TB_FILTER, &QAction::triggered, this, [this] { TB_FILTERClick(TB_FILTER); });
    connect(TB_SETINGS, &QAction::triggered, this, [this] { BB_SETINGSClick(TB_SETINGS); });
    if (auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(TB_FILTER))) {
        button->setMenu(pmDiffView);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(pmDiffView, &QMenu::aboutToShow, this, [this] { pmDiffViewPopup(pmDiffView); });
    for (QAction* a : pmDiffView->actions()) connect(a, &QAction::triggered, this, [this, a] { pmDV_Click(a); });

    for (const char* name : {"Edit1", "Navigation1", "Options1"})
        if (auto* menu = findChild<QMenu*>(QLatin1String(name))) menu->menuAction()->setVisible(true);
    showCommandWindowItems();
    for (const char* name : {"mmVisibleTabs1", "Options1", "Help1"})
        if (auto* menu = findChild<QMenu*>(QLatin1String(name)))
            connect(menu, &QMenu::aboutToShow, this, [this] { showCommandWindowItems(); });
    createSplitterDrag();
}

// ---- selection --------------------------------------------------------------

void TF_Main::selectRows(int pane, int kind) {
    auto& r = engine::rows();
    auto& ed = engine::editor();
    const int type = ViewType();
    if (kind != skInvert) r.ClearSelection();
    setActivePane(type, pane);
    ed.SetActiveSide(pane);
    if (kind == skAllFiles) {
        r.SelectAllRows(pane);
        if (type == vtFolder) engine::folderRows().UnselectFolders(pane);
    } else if (const int command = selectionCommand(kind)) {
        applySelection(Qt::NoModifier, command);
    }
    if (kind == skNewer || kind == skDifferent || kind == skOrphans) {
        const int first = r.FirstSelectedRow();
        if (first >= 0) scrollRowIntoView(first);
    }
    // Only one pane's newer button can stand pressed for the selection shown.
    TFlatButton2* other = pane == 1 ? fbRSelNew : fbLSelNew;
    other->setProperty("Tag", pane == 1 ? 256 : 0);
    labelSelectButton(other);
    updateRowRange();
    refreshSelection();
    updateStatusBar();
    updateControls();
    ed.CaretGoTo(1, ed.GetCaretRow());
}

void TF_Main::SelectLeftAllClick(QObject* sender) {
    // The image view steps the frames of an icon instead.
    if (selectButtonStepsFrame(fbLSelAll) || ViewType() == vtFree) return;
    const bool item = qobject_cast<QAction*>(sender) != nullptr;
    const bool plain = !item || named(sender, "pmInLeftPane1");
    const TSelectStep step = selectAllStep(fbLSelAll->property("Tag").toInt(), false, item, plain);
    fbLSelAll->setProperty("Tag", step.tag);
    labelSelectButton(fbLSelAll);
    resetSelectButtons(step.releaseMask);
    if (step.kind != skClear) {
        selectRows(1, step.kind);
        return;
    }
    engine::rows().ClearSelection();
    invalidatePanes(true);
    updateControls();
}

void TF_Main::SelectRightAllClick(QObject* sender) {
    if (selectButtonStepsFrame(fbRSelAll) || ViewType() == vtFree) return;
    const bool item = qobject_cast<QAction*>(sender) != nullptr;
    const bool inPane = named(sender, "pmInRightPane1");
    const TSelectStep step = selectAllStep(fbRSelAll->property("Tag").toInt(), true, inPane, !item || inPane);
    fbRSelAll->setProperty("Tag", step.tag);
    labelSelectButton(fbRSelAll);
    resetSelectButtons(step.releaseMask);
    if (step.kind != skClear) {
        selectRows(2, step.kind);
        return;
    }
    engine::rows().ClearSelection();
    invalidatePanes(true);
    updateControls();
}

void TF_Main::selectAllKeyStep(int pane) {
    if (pane == 2)
        SelectRightAllClick(fbRSelAll);
    else
        SelectLeftAllClick(fbLSelAll);
}

void TF_Main::SelectAllNewerLClick(QObject* sender) {
    if (ViewType() == vtImage || ViewType() == vtFree) return;
    const bool item = qobject_cast<QAction*>(sender) != nullptr;
    const TSelectStep step = selectNewStep(fbLSelNew->property("Tag").toInt(), false, item, ViewType() == vtFolder);
    fbLSelNew->setProperty("Tag", step.tag);
    labelSelectButton(fbLSelNew);
    resetSelectButtons(step.releaseMask);
    selectRows(1, step.kind);
}

void TF_Main::SelectAllNewerRClick(QObject* sender) {
    if (ViewType() == vtImage || ViewType() == vtFree) return;
    const bool item = qobject_cast<QAction*>(sender) != nullptr;
    const TSelectStep step = selectNewStep(fbRSelNew->property("Tag").toInt(), true, item, ViewType() == vtFolder);
    fbRSelNew->setProperty("Tag", step.tag);
    labelSelectButton(fbRSelNew);
    resetSelectButtons(step.releaseMask);
    selectRows(2, step.kind);
}

void TF_Main::Selectalllines1Click(QObject* sender) {
    if (getActivePane(ViewType()) == 1)
        SelectLeftAllClick(sender);
    else
        SelectRightAllClick(sender);
}

void TF_Main::SelectallDifLines1Click(QObject* sender) {
    resetSelectButtons(15);
    selectRows(getActivePane(ViewType()), named(sender, "Selectallnewerfiles1") ? skNewer : skDifferent);
}

void TF_Main::Selectalladdedlines1Click(QObject*) {
    resetSelectButtons(15);
    selectRows(getActivePane(ViewType()), skOrphans);
}

void TF_Main::Selectallorphanfiles1Click(QObject* sender) { Selectalladdedlines1Click(sender); }

void TF_Main::SelectOrphansLeftClick(QObject*) { selectRows(1, skOrphans); }

void TF_Main::SelectOrphansRightClick(QObject*) { selectRows(2, skOrphans); }

void TF_Main::InvertSelectionClick(QObject*) { selectRows(getActivePane(ViewType()), skInvert); }

void TF_Main::Selectallfilesinthisfolder1Click(QObject*) {
    if (ViewType() != vtFolder) return;
    auto& f = engine::folderRows();
    f.ClearFolderSelection();
    resetSelectButtons(15);
    const int row = engine::editor().GetCaretRow();
    if (f.RowFolderState(row) == 1) {
        f.ToggleFolderRow(row);
        updateRowRange();
    }
    // The folder's rows follow it directly: its subtree ends at the first
    // row that is not deeper.
    const int depth = f.RowFolderDepth(row);
    const int pane = getActivePane(vtFolder);
    for (int r = row + 1; r < f.FolderRowCount && f.RowFolderDepth(r) > depth; ++r)
        if (f.RowFolderDepth(r) == depth + 1 && f.RowFolderState(r) == 0) f.SetFolderRowSelected(pane, r, true);
    refreshSelection();
    updateControls();
}

// ---- ignore switches ----------------------------------------------------------

namespace {

// The cached keys were made with the old switch: all of them must go
// before the recompare hashes the lines again.
void invertIgnoreSwitch(bool& setting) {
    setting = !setting;
    engine::lineKeys().ClearLineKeys();
}

}  // namespace

void TF_Main::mmIgnoreWS1Click(QObject*) {
    invertIgnoreSwitch(config::AppSettings().TCIgnAllBl);
    scheduleRecompare();
}

void TF_Main::mmIgnoreCase1Click(QObject*) {
    invertIgnoreSwitch(config::AppSettings().TCIgnCase);
    scheduleRecompare();
}

void TF_Main::mmIgnoreEmptyLines1Click(QObject*) {
    invertIgnoreSwitch(config::AppSettings().TCIgnEmptyLn);
    scheduleRecompare();
}

// ---- splitter -----------------------------------------------------------------

void TF_Main::mmCenter1Click(QObject*) {
    splitOffset_ = 0;
    const int type = ViewType();
    arrangeLayout(type);
    showFileNames();
    if (type == vtFolder || type == vtText || type == vtBinary) updateHScrollBar();
    if (type == vtImage) {
        placeImagePanels(true);
        hScrollBarScroll(nullptr, hScrollBar->value());
    }
    invalidatePanes(true);
}

// ---- windows of later subsystems ----------------------------------------------

void TF_Main::showCommandWindowItems() {
    const std::pair<const char*, TCommandWindow> items[] = {{"mmColors1", cwColors},
                                                            {"Settings1", cwSettings},
                                                            {"About1", cwAbout}};
    for (const auto& [name, window] : items)
        if (auto* a = findChild<QAction*>(QLatin1String(name))) a->setVisible(commandWindows().Has(window));
    if (auto* a = findChild<QAction*>(QStringLiteral("CheckforUpdates1"))) a->setVisible(updater().CanCheck());
}

void TF_Main::mmColors1Click(QObject* sender) {
    if (!commandWindows().Has(cwColors)) return;
    auto* copy = findChild<QAction*>(QStringLiteral("Copy1"));
    const bool shortcutsOn = copy && !copy->shortcut().isEmpty();
    // The dialog's own fields need Ctrl+C and friends while it is open.
    if (sender && shortcutsOn) clearEditShortcuts();
    // The dialog is made as a child of this window; its own place or the
    // default one for it depends on its size and whether it was placed.
    commandWindows().CreateColors();
    const auto* form = findChild<QWidget*>(QStringLiteral("fColors"), Qt::FindDirectChildrenOnly);
    commandWindows().ShowColors(defaultFormPos(form ? form : this), shortcutsOn, [this](int index) {
        setColorScheme(index);
        update();
    });
}

void TF_Main::BB_SETINGSClick(QObject*) {
    if (!commandWindows().Has(cwSettings)) return;
    // The dialog enables the window again when it closes.
    disableUI();
    commandWindows().ShowSettings();
}

void TF_Main::lSimLevelDblClick() {
    if (commandWindows().Has(cwSettings)) commandWindows().ShowSettingsPage(9, 1);
}

void TF_Main::L_HiddenLnDblClick() {
    if (commandWindows().Has(cwSettings)) commandWindows().ShowSettingsPage(6, 2);
}

void TF_Main::AboutClick(QObject*) {
    exitFNEdit();
    if (commandWindows().Has(cwAbout)) commandWindows().ShowAbout(defaultFormPos(this));
}


}  // namespace tandex::ui
