#include "main_window.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "flat_button.h"
#include "form_layout.h"
#include "image_pane.h"
#include "main_window_settings.h"
#include "overview_bar.h"
#include "row_area.h"
#include "status_win.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

TFlatButton2* paneButton(QWidget* parent, const char* name, const QString& caption, int width) {
    auto* button = named(new TFlatButton2(parent), name);
    button->SetListID(16);
    // Every flat button takes its pictures from the main window's lists.
    if (auto* main = qobject_cast<TF_Main*>(parent->window()))
        button->LoadBMPFunc = [main](int size, int index, QImage& bitmap) {
            return main->loadBMPFunc(size, index, bitmap);
        };
    button->SetCaption(caption);
    button->SetWidth(width);
    return button;
}

QAction* menuItem(QMenu* menu, const char* name, const QString& caption, bool built = false) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    // Commands whose routines have not arrived yet stay out of sight.
    item->setVisible(built);
    item->setProperty("Built", built);
    return item;
}

}  // namespace

TF_Main::TF_Main(TStatusWin* statusWin, QWidget* parent) : QMainWindow(parent), statusWin_(statusWin) {
    setObjectName(QStringLiteral("F_Main"));
    clock_.start();
    createControls();
    FormCreate();
}

TF_Main::~TF_Main() {
    if (&engine::mainWindow() == this) engine::setMainWindow(nullptr);
    releaseLoadControls();
    releasePaintControls();
}

void TF_Main::createToolbar() {
    ToolBar1 = named(addToolBar(QStringLiteral("ToolBar1")), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->setContextMenuPolicy(Qt::CustomContextMenu);
    auto button = [this](const char* name, const QString& caption) {
        QAction* action = ToolBar1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    auto separator = [this](const char* name) {
        QAction* action = ToolBar1->addSeparator();
        action->setObjectName(QLatin1String(name));
        return action;
    };
    TB_SETINGS = button("TB_SETINGS", QStringLiteral("Settings"));
    TB_Sep1 = separator("TB_Sep1");
    TB_OPENFOLDER = button("TB_OPENFOLDER", QStringLiteral("Folders"));
    TB_VIEWMODE = button("TB_VIEWMODE", QStringLiteral("View"));
    TB_FILTER = button("TB_FILTER", QStringLiteral("Filter"));
    TB_HEX = button("TB_HEX", QStringLiteral("Hex"));
    TB_COLLAPSE = button("TB_COLLAPSE", QStringLiteral("Collapse"));
    TB_DIFNEXT = button("TB_DIFNEXT", QStringLiteral("Next"));
    TB_DIFPREV = button("TB_DIFPREV", QStringLiteral("Previous"));
    TB_COPYTO = button("TB_COPYTO", QStringLiteral("Copy"));
    TB_Sep2 = separator("TB_Sep2");
    TB_RELOAD = button("TB_RELOAD", QStringLiteral("Reload"));
    TB_DELETE = button("TB_DELETE", QStringLiteral("Delete"));
    TB_Sep3 = separator("TB_Sep3");
    TB_NEXTFILE = button("TB_NEXTFILE", QStringLiteral("Next file"));
    TB_PREVFILE = button("TB_PREVFILE", QStringLiteral("Previous file"));
    TB_Sep4 = separator("TB_Sep4");
    TB_UNDOL = button("TB_UNDOL", QStringLiteral("Undo left"));
    TB_UNDOR = button("TB_UNDOR", QStringLiteral("Undo right"));
    TB_1to1 = button("TB_1to1", QStringLiteral("1:1"));
    // The free view offers only what works without content.
    for (QAction* a : {TB_VIEWMODE, TB_FILTER, TB_HEX, TB_COLLAPSE, TB_DIFNEXT, TB_DIFPREV, TB_COPYTO, TB_RELOAD,
                       TB_DELETE, TB_NEXTFILE, TB_PREVFILE, TB_UNDOL, TB_UNDOR, TB_1to1})
        a->setEnabled(false);
    L_AppTitle = named(new QLabel(QStringLiteral("Tandex"), ToolBar1), "L_AppTitle");

    pmButtonMenu = named(new QMenu(this), "pmButtonMenu");
    pmShowSettingsButton1 = pmButtonMenu->addAction(QStringLiteral("Show Settings Button"));
    pmShowSettingsButton1->setObjectName(QStringLiteral("pmShowSettingsButton1"));
    pmShowSettingsButton1->setCheckable(true);
    connect(pmShowSettingsButton1, &QAction::triggered, this, [this] { pmShowSettingsButton1Click(this); });
    connect(ToolBar1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        pmButtonMenuPopup(pmButtonMenu);
        pmButtonMenu->popup(ToolBar1->mapToGlobal(pos));
    });
}

void TF_Main::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = named(bar->addMenu(QStringLiteral("&File")), "File1");
    QAction* loadLeft = menuItem(file, "pmLoadFileLeft", QStringLiteral("Load file into left pane"));
    QAction* loadRight = menuItem(file, "pmLoadFileRight", QStringLiteral("Load file into right pane"));
    menuItem(file, "LastUsedFiles1", QStringLiteral("Load the recently compared file pairs"));
    menuItem(file, "SaveLeftFile1", QStringLiteral("Save left file"));
    QAction* saveLeftAs = menuItem(file, "SaveLeftFileAs1", QStringLiteral("Save left file as"));
    menuItem(file, "SaveRightFile1", QStringLiteral("Save right file"));
    QAction* saveRightAs = menuItem(file, "SaveRightFileAs1", QStringLiteral("Save right file as"));
    menuItem(file, "NewTextCompare1", QStringLiteral("New Text Compare"));
    menuItem(file, "CompFolder1", QStringLiteral("Compare folders..."));
    menuItem(file, "Lastusedfolders1", QStringLiteral("Compare the recently compared folders"));
    menuItem(file, "PrintBoth1", QStringLiteral("PrintPreview && Print both panes..."));
    menuItem(file, "PrintLeft1", QStringLiteral("PrintPreview && Print left pane..."));
    menuItem(file, "PrintRight1", QStringLiteral("PrintPreview && Print right pane..."));
    QAction* copyLog = menuItem(file, "ViewlastCopyLog", QStringLiteral("View last Copy log file"), true);
    connect(copyLog, &QAction::triggered, this, [this, copyLog] { ViewlastCopyLogClick(copyLog); });
    QAction* compareLog = menuItem(file, "ViewlastFCLog", QStringLiteral("View last Folder Compare log file"), true);
    connect(compareLog, &QAction::triggered, this, [this, compareLog] { ViewlastFCLogClick(compareLog); });
    QAction* exit = menuItem(file, "Exit1", QStringLiteral("Exit"), true);
    // Closing: Exit runs the close sequence.
    connect(exit, &QAction::triggered, this, [this] { Exit1Click(this); });

    QMenu* edit = named(bar->addMenu(QStringLiteral("&Edit")), "Edit1");
    menuItem(edit, "Undo1", QStringLiteral("Undo"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    menuItem(edit, "Cut1", QStringLiteral("Cut"));
    menuItem(edit, "Copy1", QStringLiteral("Copy"));
    menuItem(edit, "Paste1", QStringLiteral("Paste"));
    menuItem(edit, "Delete1", QStringLiteral("Delete"));
    menuItem(edit, "Selectalllines1", QStringLiteral("Select all"));
    menuItem(edit, "SelectAllNewer", QStringLiteral("Select all newer files"));
    menuItem(edit, "SelectAllOrphans", QStringLiteral("Select all orphaned files"));
    menuItem(edit, "InvertSelection", QStringLiteral("Invert selection"));

    QMenu* search = named(bar->addMenu(QStringLiteral("&Search")), "Navigation1");
    menuItem(search, "FirstDifference1", QStringLiteral("First Difference"))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+PgUp")));
    menuItem(search, "PrevDifference1", QStringLiteral("Previous Difference"))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+Up")));
    menuItem(search, "NextDifference1", QStringLiteral("Next Difference"))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+Down")));
    menuItem(search, "LastDifference1", QStringLiteral("Last Difference"))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+PgDown")));
    menuItem(search, "Find1", QStringLiteral("Find..."));
    menuItem(search, "FindNext1", QStringLiteral("Find next"));
    menuItem(search, "Replace1", QStringLiteral("Replace..."));
    menuItem(search, "GotoLine1", QStringLiteral("Go to Line..."));

    QMenu* view = named(bar->addMenu(QStringLiteral("&View")), "mmVisibleTabs1");
    menuItem(view, "ScreenFont1", QStringLiteral("Screen Font..."));
    menuItem(view, "PrinterFont1", QStringLiteral("Printer Font..."));
    menuItem(view, "mmColors1", QStringLiteral("Colors..."));
    menuItem(view, "mmSwapFiles1", QStringLiteral("Swap Files"));
    menuItem(view, "mmCenter1", QStringLiteral("Center Splitter"));
    menuItem(view, "LineNumbers1", QStringLiteral("Line numbers"));
    menuItem(view, "Thumbnailbar1", QStringLiteral("Thumbnail bar"));
    miShowRuler = menuItem(view, "miShowRuler", QStringLiteral("Details panel"));
    menuItem(view, "Statusbar1", QStringLiteral("Status bar"));
    miVisibleWS = menuItem(view, "miVisibleWS", QStringLiteral("Visible white spaces"), true);
    miVisibleTabs = menuItem(view, "mmVisibleTabs", QStringLiteral("Visible tabs"), true);
    for (QAction* a : {miVisibleWS, miVisibleTabs, miShowRuler}) a->setCheckable(true);
    connect(miVisibleWS, &QAction::triggered, this, [this] { mmVisibleWS1Click(miVisibleWS); });
    connect(miVisibleTabs, &QAction::triggered, this, [this] { mmVisibleTabsClick(miVisibleTabs); });

    QMenu* options = named(bar->addMenu(QStringLiteral("&Options")), "Options1");
    menuItem(options, "Settings1", QStringLiteral("Settings..."));
    menuItem(options, "mmIgnoreWS1", QStringLiteral("Ignore all white spaces"));
    menuItem(options, "mmIgnoreCase1", QStringLiteral("Ignore character case"));
    menuItem(options, "mmIgnoreEmptyLines1", QStringLiteral("Ignore empty lines"));

    QMenu* help = named(bar->addMenu(QStringLiteral("&Help")), "Help1");
    // Help: F1 and the Help menu open the start page.
    QAction* help2 = menuItem(help, "Help2", QStringLiteral("Help"), true);
    help2->setShortcut(Qt::Key_F1);
    connect(help2, &QAction::triggered, this, [this] { pmHelp1Click(this); });
    // The help desk and the web site are not offered on this platform.
    menuItem(help, "TandexHelpDesk1", QStringLiteral("Tandex HelpDesk"));
    menuItem(help, "TandexWebsite1", QStringLiteral("Tandex Website"));
    menuItem(help, "CheckforUpdates1", QStringLiteral("Check for Updates"));
    menuItem(help, "About1", QStringLiteral("About Tandex"));
    // The three menus that would show nothing yet stay out of the bar.
    for (QMenu* m : {edit, search, options}) m->menuAction()->setVisible(false);

    pmOpenFileLeft = named(new QMenu(this), "pmOpenFileLeft");
    pmOpenFileRight = named(new QMenu(this), "pmOpenFileRight");
    pmSaveFileLeft = named(new QMenu(this), "pmSaveFileLeft");
    pmSaveFileRight = named(new QMenu(this), "pmSaveFileRight");
    const std::pair<QAction*, QMenu*> copies[] = {
        {loadLeft, pmOpenFileLeft}, {loadRight, pmOpenFileRight}, {saveLeftAs, pmSaveFileLeft},
        {saveRightAs, pmSaveFileRight}};
    for (const auto& [item, popup] : copies) {
        auto* sub = new QMenu(this);
        CopyPopupMenuItems(sub, popup);
        item->setMenu(sub);
    }
    pmTreatfileAs = named(new QMenu(QStringLiteral("Treat file as"), this), "pmTreatfileAs");
}

void TF_Main::createControls() {
    createToolbar();
    createMenus();
    Client = named(new QWidget(this), "Client");
    // Tabs: the tab bar stands above the comparison area.
    setCentralWidget(createTabBar(Client));
    createStateMenus();

    P_Head = named(new QWidget(Client), "P_Head");
    eFN1 = named(new QLineEdit(P_Head), "eFN1");
    eFN2 = named(new QLineEdit(P_Head), "eFN2");
    pAI1 = named(new QLabel(P_Head), "pAI1");
    pAI2 = named(new QLabel(P_Head), "pAI2");
    Bevel1 = named(new QWidget(P_Head), "Bevel1");
    Bevel2 = named(new QWidget(P_Head), "Bevel2");
    Bevel1->lower();
    Bevel2->lower();
    fbOpenFolderL = paneButton(P_Head, "fbOpenFolderL", QStringLiteral("Open"), 40);
    fbSaveFileL = paneButton(P_Head, "fbSaveFileL", QStringLiteral("Save"), 40);
    fbLSelAll = paneButton(P_Head, "fbLSelAll", QStringLiteral("All"), 40);
    fbLSelNew = paneButton(P_Head, "fbLSelNew", QStringLiteral("New"), 40);
    fbSWAP = paneButton(P_Head, "fbSWAP", QStringLiteral("<>"), 24);
    fbOpenFolderR = paneButton(P_Head, "fbOpenFolderR", QStringLiteral("Open"), 40);
    fbSaveFileR = paneButton(P_Head, "fbSaveFileR", QStringLiteral("Save"), 40);
    fbRSelAll = paneButton(P_Head, "fbRSelAll", QStringLiteral("All"), 40);
    fbRSelNew = paneButton(P_Head, "fbRSelNew", QStringLiteral("New"), 40);
    fbLoad = paneButton(P_Head, "fbLoad", QString(), 24);
    fbLSelNew->setProperty("Tag", 0);
    fbRSelNew->setProperty("Tag", 256);
    fbLSelAll->setProperty("Tag", 2);
    fbRSelAll->setProperty("Tag", 258);
    for (QLineEdit* e : {eFN1, eFN2}) e->setReadOnly(true);
    // File properties, locating and copying paths.
    createFileNameMenu();

    HC1 = named(new THeaderBar(this, Client), "HC1");
    auto* sections = new QStandardItemModel(1, 12, HC1);
    HC1->setModel(sections);
    const char* captions[] = {"", "Name", "Size", "Modified", "Attr", "", "", "Name", "Size", "Modified", "Attr", ""};
    for (int i = 0; i < 12; ++i) sections->setHeaderData(i, Qt::Horizontal, QString::fromLatin1(captions[i]));
    HC1->setSectionResizeMode(QHeaderView::Fixed);
    HC1->setMinimumSectionSize(0);
    HC1->hide();

    I_MLRuler = named(new QLabel(Client), "I_MLRuler");
    P_DiffBar = named(new TNBarPanel(Client), "P_DiffBar");
    P_MID = named(new TMidStrip(this, Client), "P_MID");
    P_MID->setAutoFillBackground(true);
    vScrollBar = named(new QScrollBar(Qt::Vertical, Client), "vScrollBar");
    hScrollBar = named(new QScrollBar(Qt::Horizontal, Client), "hScrollBar");
    hScrollBar->hide();
    P_LImage = named(new QWidget(Client), "P_LImage");
    P_RImage = named(new QWidget(Client), "P_RImage");
    imgFile1 = named(new TImagePane(P_LImage), "imgFile1");
    imgFile2 = named(new TImagePane(P_RImage), "imgFile2");
    M_LOpenErr = named(new QPlainTextEdit(P_LImage), "M_LOpenErr");
    M_ROpenErr = named(new QPlainTextEdit(P_RImage), "M_ROpenErr");
    for (QPlainTextEdit* m : {M_LOpenErr, M_ROpenErr}) {
        m->setReadOnly(true);
        m->hide();
    }
    // The image panels show only once a pane holds a picture.
    P_LImage->hide();
    P_RImage->hide();

    P_Feet = named(new QWidget(Client), "P_Feet");
    I_DPRuler = named(new QLabel(P_Feet), "I_DPRuler");
    P_ETit1 = named(new QLabel(QStringLiteral(" Left: "), P_Feet), "P_ETit1");
    P_ETit2 = named(new QLabel(QStringLiteral(" Right: "), P_Feet), "P_ETit2");
    eLine1 = named(new QTextEdit(P_Feet), "eLine1");
    eLine2 = named(new QTextEdit(P_Feet), "eLine2");
    hScrollBarDP = named(new QScrollBar(Qt::Horizontal, P_Feet), "hScrollBarDP");
    fbAlignDetails = paneButton(P_Feet, "fbAlignDetails", QStringLiteral("Align"), 40);
    createDetailsPanel();

    P_StatusBar = named(new QLabel(Client), "P_StatusBar");
    L_InsertState = named(new QLabel(P_StatusBar), "L_InsertState");
    L_HiddenLn = named(new QLabel(P_StatusBar), "L_HiddenLn");
    lSimLevel = named(new QLabel(P_StatusBar), "lSimLevel");
    L_HiddenLn->setToolTip(QStringLiteral(" Hidden lines due to 'Line Filter' settings \r Double click to open settings"));

    timGPTimer = named(new QTimer(this), "timGPTimer");
    timGPTimer->setSingleShot(true);
    connect(timGPTimer, &QTimer::timeout, this, [this] { timGPTimerTimer(timGPTimer); });
    timHiddenLn = named(new QTimer(this), "timHiddenLn");
    timHiddenLn->setInterval(2000);
    connect(timHiddenLn, &QTimer::timeout, this, [this] { timHiddenLnTimer(); });
    timFuzzyAborted = named(new QTimer(this), "timFuzzyAborted");
    timFuzzyAborted->setInterval(20000);
    connect(timFuzzyAborted, &QTimer::timeout, this, [this] { timFuzzyAbortedTimer(); });
    tim3ClickTimer = named(new QTimer(this), "tim3ClickTimer");
    tim3ClickTimer->setInterval(600);
    connect(tim3ClickTimer, &QTimer::timeout, this, [this] {
        tim3ClickTimer->setProperty("Tag", 0);
        tim3ClickTimer->stop();
    });
    createPaintControls();
    createNavigation();
    createFolderTreeCommands();
    // Saving panes: the save buttons, commands and save-as menus.
    createSaveCommands();
    // Loading files into the panes.
    createLoadControls();
    // Select buttons, view mode, filter, fonts, View toggles and splitter.
    createViewCommands();
    // Closing, recent file pairs and swapping sides.
    createCloseControls();
    // Folder comparisons: their starts and the recent folder pairs.
    createFolderRunControls();
    // The image view's pictures, zoom and comparison window.
    createImageControls();
    // Keys: the shortcuts of the menus, the application key hook.
    createKeyHandling();
    // Mouse selection, hover texts and the panes' context menu.
    createMouseControls();
    // Find and replace: the Search menu's commands.
    createSearchControls();
    // Paste, cut and undo.
    createEditCommands();
    // The print commands and their report pages.
    createPrintCommands();
}

// ---- per-view state ---------------------------------------------------------

int TF_Main::topRow(int viewType) const { return topRows_[size_t(qBound(0, viewType, 4))]; }

void TF_Main::setTopRow(int viewType, int row, int rowCount) {
    topRows_[size_t(qBound(0, viewType, 4))] = qBound(1, row, qMax(1, rowCount));
}

int TF_Main::getActivePane(int viewType) const { return activePanes_[size_t(qBound(0, viewType, 4))]; }

void TF_Main::setActivePane(int viewType, int pane) {
    activePanes_[size_t(qBound(0, viewType, 4))] = pane == 2 ? 2 : 1;
}

// ---- paint lock -------------------------------------------------------------

void TF_Main::lockPaint() { ++paintLock_; }

void TF_Main::unlockPaint() {
    if (paintLock_ > 0) --paintLock_;
    if (paintLock_ > 0) return;
    invalidatePanes(false);
    // A command that moved the caret while painting was locked could not
    // show its row in the details panel: it shows now.
    if ((viewType_ == vtText || viewType_ == vtBinary) && engine::editor().Caret.Row >= 0 &&
        engine::editor().Caret.Row < engine::paneStores().VisibleRowCount())
        refreshDetails(engine::editor().Caret.Row);
}

void TF_Main::invalidatePanes(bool erase) {
    if (paintLock_ > 0) return;
    P_MID->update();
    if (rowArea_) rowArea_->update();
    if (erase) update();
}

// ---- switches ---------------------------------------------------------------

void TF_Main::mmVisibleTabsClick(QObject*) {
    config::AppSettings().TEVisibleTAB = !config::AppSettings().TEVisibleTAB;
    miVisibleTabs->setChecked(config::AppSettings().TEVisibleTAB);
    invalidatePanes(true);
}

void TF_Main::mmVisibleWS1Click(QObject*) {
    config::AppSettings().TEVisibleWS = !config::AppSettings().TEVisibleWS;
    miVisibleWS->setChecked(config::AppSettings().TEVisibleWS);
    invalidatePanes(true);
}

void TF_Main::pmShowSettingsButton1Click(QObject* sender) {
    auto& s = config::AppSettings();
    if (sender) s.GSVSettings = !s.GSVSettings;
    TB_SETINGS->setVisible(s.GSVSettings);
    TB_Sep1->setVisible(s.GSVSettings);
    updateControls();
}

void TF_Main::pmButtonMenuPopup(QObject*) { pmShowSettingsButton1->setChecked(config::AppSettings().GSVSettings); }

}  // namespace tandex::ui
