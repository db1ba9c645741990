#pragma once
// The program's main window. One class over several files, split by
// concern: main_window.cpp builds the controls and menus,
// main_window_startup.cpp runs the two start-up stages, the pending-job
// timer and the cancel routine, main_window_arrange.cpp applies the
// geometry of main_window_layout.h and writes the status bar.

#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "cell_text.h"
#include "converters.h"
#include "details_panel.h"
#include "engine/editor.h"
#include "engine/main_window_services.h"
#include "engine/tab_slots.h"
#include "folder_menus.h"
#include "main_window_jobs.h"
#include "main_window_layout.h"
#include "main_window_state.h"
#include "main_window_status.h"
#include "main_window_tabs.h"
#include "diff_nav.h"
#include "pane_save.h"
#include "print_seams.h"
#include "row_paint.h"

class QAction;
class QCloseEvent;
class QFrame;
class QHeaderView;
class QHideEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QRegion;
class QPlainTextEdit;
class QScrollBar;
class QStandardItemModel;
class QTextEdit;
class QTimer;
class QToolBar;
class QWheelEvent;

namespace tandex::config {
struct TFilePair;
}
namespace tandex::engine {
struct TUndoRec;
}

namespace tandex::ui {

class ProgramSettings;
class TFlatButton2;
class TNBar;
class TRowArea;
class TStatusWin;
class TfGotoLine;
class TfImgCompare;
class TImagePane;
class TfProperties;
class TF_HoverText;
class TfReplace;

class TF_Main : public QMainWindow, public engine::MainWindowServices, public engine::CaretHost {
    Q_OBJECT

public:
    // Builds the window and runs the first start-up stage; the status
    // window is the program's progress window (nullptr in tests that
    // need none).
    explicit TF_Main(TStatusWin* statusWin = nullptr, QWidget* parent = nullptr);
    ~TF_Main() override;

    // ---- start-up -----------------------------------------------------------
    void FormCreate();
    void secondStage();
    // The update check: shown from the Help menu (a sender); without one
    // the update decides whether a check is due and runs it hidden.
    void CheckforUpdates1Click(QObject* sender);
    void loadIconSets();
    // The image of a list by its size (10 .. 256; 129 the 128 list of the
    // comparison pictures) into bitmap; false, and bitmap empty, for an
    // unknown size or index.
    bool loadBMPFunc(int size, int index, QImage& bitmap) const;
    // The image lists as loaded, by the sizes loadBMPFunc takes.
    QList<QImage>* ImageList(int size);

    // ---- icon sets and cursors (main_window_icons.cpp) ----------------------
    // ImageList24E and ImageList24D from ImageList24 on the colour set's
    // toolbar face; the toolbar takes them at once.
    void buildToolbarImages();
    const QList<QImage>& ImageList24E() const { return imageList24E_; }
    const QList<QImage>& ImageList24D() const { return imageList24D_; }
    // A toolbar button's picture by its index in ImageList24; a button
    // whose picture is missing shows its caption.
    void setToolImage(QAction* button, int index);
    // Program cursor n (10 .. 16) from the resource archive, else the
    // standard shape given.
    QCursor screenCursor(int n, Qt::CursorShape standard = Qt::ArrowCursor) const;
    bool hasScreenCursor(int n) const;
    const QImage& SmallArrowDown() const { return smallArrowDown_; }
    const QImage& SmallArrowUp() const { return smallArrowUp_; }
    const std::array<QImage, 11>& PaneIcons() const { return paneIcons_; }
    void SaveSettings();
    bool Started() const { return started_; }

    // ---- general-purpose timer ----------------------------------------------
    // Makes the job pending, due delayMs from now.
    void armTimer(int tag, int delayMs);
    void timGPTimerTimer(QObject* sender);
    // Runs every pending job at once, as if its time had come.
    void firePendingJobs();
    const TPendingJobs& PendingJobs() const { return jobs_; }

    // ---- busy and cancel ----------------------------------------------------
    // The cancel flag that long operations poll.
    bool CancelRequested() const { return cancelFlag_; }
    void ClearCancel() { cancelFlag_ = false; }
    void cancelOperation();
    // One check for every entry point that processEvents can reach while a
    // long operation runs: true while the window is busy.
    bool Busy() const {
        return busyDepth_ > 0 || recompareRunning_ || commandRunning_ || folderRunActive_ || structuralEdit_ ||
               undoRunning_ ||
               engine::editor().EditBusy || plugIns().running();
    }
    void lockPaint();
    void unlockPaint();
    void invalidatePanes(bool erase);
    int PaintLock() const { return paintLock_; }

    // ---- per-view state -----------------------------------------------------
    int topRow(int viewType) const;
    // Clamps to 1 .. the row count of the view (at least 1).
    void setTopRow(int viewType, int row, int rowCount);
    int getActivePane(int viewType) const;
    void setActivePane(int viewType, int pane);
    int ViewType() const { return viewType_; }

    // ---- layout and look ----------------------------------------------------
    TLayoutInput layoutInput() const;
    const TLayoutGeometry& Geometry() const { return geometry_; }
    void arrangeLayout(int viewType);
    // Decides whether the horizontal scroll bar is needed; when that
    // changed, lays the window out again and returns true.
    bool updateHScrollBar();
    void refreshLayout();
    // Where a companion window opens: its own place, or, never placed
    // (top below 0), centred on the main window below its file-name row.
    QPoint defaultFormPos(const QWidget* form) const;
    void placeImagePanels(bool force);
    void applyPaneFont();
    void applyColorScheme();
    void setColorScheme(int index);
    int LayoutRuns() const { return layoutRuns_; }
    int SplitOffset() const { return splitOffset_; }
    void SetSplitOffset(int offset) { splitOffset_ = offset; }

    // ---- status -------------------------------------------------------------
    TStatusSnapshot statusSnapshot() const;
    void updateStatusBar();
    void showInsertState();

    // ---- menu switches ------------------------------------------------------
    void mmVisibleTabsClick(QObject* sender);
    void mmVisibleWS1Click(QObject* sender);
    void pmShowSettingsButton1Click(QObject* sender);
    void pmButtonMenuPopup(QObject* sender);
    // F1 and the Help menu's "Help".
    void pmHelp1Click(QObject* sender);
    // File: the last folder comparison's and the last copy's run log.
    void ViewlastFCLogClick(QObject* sender);
    void ViewlastCopyLogClick(QObject* sender);

    // Hints of the program's windows show only with GSShowHints on, and
    // stay up to 30 seconds.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // engine::MainWindowServices
    void updateControls() override;

    // ---- file properties, locating and copying paths (main_window_files.cpp) ----
    // The properties of the active pane's file (the line menu's item).
    void pmFilePropertiesClick(QObject* sender);
    void propertiesRenamed(int row, const QString& name);
    void propertiesTimeChanged(int row, quint64 time);
    void propertiesAttrChanged(int row, quint32 attributes);
    // Shows the active pane's file in the file manager (the line menu's item).
    void pmExploreFolderClick(QObject* sender);
    // Opens the active pane's file in the program the sender's Tag names:
    // 1 or 2 the external programs, 3 the associated application.
    void pmOpeninexternalEditor11Click(QObject* sender);
    // The file-name fields' menu items; their Tag names the pane.
    void pmOpenContainingFolderClick(QObject* sender);
    void pmCopyFilePathNameClick(QObject* sender);
    void eFNMouseEnter(QObject* sender);
    void eFNMouseLeave(QObject* sender);
    void setFNMenuTarget(int pane);
    QMenu* pmFNEdit = nullptr;
    QAction *pmOpenContainingFolder = nullptr, *pmCopyFilePathName = nullptr;
    // Where the last context menu opened; dialogs of its items open there.
    QPoint menuPopupPos;
    TfProperties* fProperties = nullptr;
    // The active folder pane's root + the caret row's entry path; empty
    // without a caret row.
    QString caretRowPath() const;

    // ---- tabs, view switching and control state ------------------------------
    // (main_window_tabs_ui.cpp, main_window_state_ui.cpp)
    void saveTabState();
    void restoreTabState();
    void drawTabBar();
    void fitTabWidths();
    const TTabBar& TabBar() const { return tabBar_; }
    void switchView(int type, bool fresh, bool save);
    void initViewFilter(int type, bool fresh);
    void P_TAB0Click(QObject* sender);
    void fbCloseTabClick(QObject* sender);
    void afterTabChange();
    // Offers the modified panes (1 left, 2 right, 3 both) of the text tab
    // for saving; true when the caller may go on (main_window_save.cpp).
    bool askSaveModified(int which);
    void resetSelectButtons(int bits);
    void labelSelectButton(TFlatButton2* button);
    void clearFolderView();
    void calcColumnLayout();
    TControlSnapshot controlSnapshot();
    void applyControlState(const TControlState& state);
    void rePosImgTitle();
    void disableUI();
    void enableUI();
    bool ControlsEnabled() const { return controlsEnabled_; }
    void clearEditShortcuts();
    void restoreEditShortcuts();
    TMenuSnapshot menuSnapshot() const;
    void menuPopup(QMenu* menu);
    void refreshView();
    void showFileNames();
    void markDifferingRows();
    int viewRowCount(int viewType) const;
    int FilterImage() const { return filterImage_; }
    // Differing rows of the last comparison run.
    int LastDiffCount = 0;
    // The last text comparison did not take in both files whole (a pane
    // stopped at the line limit, or the rows did not fit): without
    // differing rows it is no verdict of equal files.
    bool CompareCut() const { return compareCut_; }
    QWidget* P_TabControl = nullptr;
    std::array<QFrame*, 4> P_TAB{}, BE_TAB{};
    std::array<QLabel*, 4> I_TabIcon{}, L_Tab{};
    std::array<TFlatButton2*, 4> B_CloseTab{};
    QMenu* pmDiffView = nullptr;
    QAction* pmCloseView = nullptr;
    // ---- details panel and rulers (main_window_details.cpp) -----------------
    void createDetailsPanel();
    // Fills the details fields for a row (-1 and below: the caret row).
    void showDetailsLine(int row);
    // The same for a row's input as gathered from the panes.
    void showDetails(TDetailsInput in, int row);
    void fbSyncDetailsClick(QObject* sender);
    void updateDetailsButton();
    void hScrollBarDPScroll(int position);
    // The top ruler's marker; call after every caret change.
    void drawRulerMarker(int pane);
    // The details ruler; the paint timer's ruler job calls it unmarked.
    void drawDPRuler(bool marked);
    // Both halves of the top ruler afresh, for the current layout and scroll.
    void redrawPaneRuler();
    // Colour scheme step: the details colours and the mode button.
    void applyDetailsColors();
    void miShowRulerClick(QObject* sender);
    void miVisibleWSClick(QObject* sender);
    void pmDetailsPanelPopup(QObject* sender);
    // Copy1Click's details branch: true when a details field had the focus.
    bool copyDetailsSelection(QObject* sender = nullptr);
    void eLine1Click(int pane);
    void eLine1Exit();
    void eLine1MouseDown();
    // Up, Down and Ctrl+C of a details field; true when it took the key.
    bool eLine1KeyDown(QTextEdit* field, int key, Qt::KeyboardModifiers shift);
    // Stands in for the paint timer's ruler job.
    void scheduleDetailsRuler();
    TDetailsState& Details() { return details_; }
    QMenu* pmDetailsPanel = nullptr;
    QAction *miCopy = nullptr, *miDetailsVisibleWS = nullptr, *miDetailsShowRuler = nullptr,
            *miShowAlignText = nullptr, *miShowHEX = nullptr, *miShowAlignedHEX = nullptr;

    // ---- controls -----------------------------------------------------------
    QToolBar* ToolBar1 = nullptr;
    QAction *TB_SETINGS = nullptr, *TB_Sep1 = nullptr, *TB_OPENFOLDER = nullptr, *TB_VIEWMODE = nullptr,
            *TB_FILTER = nullptr, *TB_HEX = nullptr, *TB_COLLAPSE = nullptr, *TB_DIFNEXT = nullptr,
            *TB_DIFPREV = nullptr, *TB_COPYTO = nullptr, *TB_Sep2 = nullptr, *TB_RELOAD = nullptr,
            *TB_DELETE = nullptr, *TB_Sep3 = nullptr, *TB_NEXTFILE = nullptr, *TB_PREVFILE = nullptr,
            *TB_Sep4 = nullptr, *TB_UNDOL = nullptr, *TB_UNDOR = nullptr, *TB_1to1 = nullptr;
    QLabel* L_AppTitle = nullptr;
    QMenu* pmButtonMenu = nullptr;
    QAction* pmShowSettingsButton1 = nullptr;

    QWidget* Client = nullptr;
    QWidget* P_Head = nullptr;
    QLineEdit *eFN1 = nullptr, *eFN2 = nullptr;
    QLabel *pAI1 = nullptr, *pAI2 = nullptr;
    QWidget *Bevel1 = nullptr, *Bevel2 = nullptr;
    TFlatButton2 *fbOpenFolderL = nullptr, *fbSaveFileL = nullptr, *fbLSelAll = nullptr, *fbLSelNew = nullptr,
                 *fbSWAP = nullptr, *fbOpenFolderR = nullptr, *fbSaveFileR = nullptr, *fbRSelAll = nullptr,
                 *fbRSelNew = nullptr, *fbLoad = nullptr;
    QHeaderView* HC1 = nullptr;
    QLabel* I_MLRuler = nullptr;
    QWidget* P_DiffBar = nullptr;
    QWidget* P_MID = nullptr;
    QScrollBar *vScrollBar = nullptr, *hScrollBar = nullptr;
    QWidget *P_LImage = nullptr, *P_RImage = nullptr;
    TImagePane *imgFile1 = nullptr, *imgFile2 = nullptr;
    QPlainTextEdit *M_LOpenErr = nullptr, *M_ROpenErr = nullptr;
    QWidget* P_Feet = nullptr;
    QLabel* I_DPRuler = nullptr;
    QLabel *P_ETit1 = nullptr, *P_ETit2 = nullptr;
    QTextEdit *eLine1 = nullptr, *eLine2 = nullptr;
    QScrollBar* hScrollBarDP = nullptr;
    TFlatButton2* fbAlignDetails = nullptr;
    QLabel* P_StatusBar = nullptr;
    QLabel *L_InsertState = nullptr, *L_HiddenLn = nullptr, *lSimLevel = nullptr;
    QTimer *timGPTimer = nullptr, *timHiddenLn = nullptr, *timFuzzyAborted = nullptr, *tim3ClickTimer = nullptr;
    QMenu *pmTreatfileAs = nullptr, *pmOpenFileLeft = nullptr, *pmOpenFileRight = nullptr,
          *pmSaveFileLeft = nullptr, *pmSaveFileRight = nullptr;
    QAction *miVisibleWS = nullptr, *miVisibleTabs = nullptr, *miShowRuler = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createToolbar();
    void applyGeometry(const TLayoutGeometry& g);
    void restartTimer();
    void runJob(int tag);
    void recompare();
    void timHiddenLnTimer();
    void timFuzzyAbortedTimer();

    // Reads the image lists and arrow bitmaps from the resource archive,
    // at start-up also ImageList128comm and the cursors; false when the
    // archive cannot be opened (every list then stays empty).
    bool loadResourceImages(bool atStartUp);
    // The file-name fields' menu and their mouse tracking.
    void createFileNameMenu();
    void applyToolImages();
    // The pane buttons' pictures, their captions where a picture is missing.
    void applyButtonImages();

    // ---- tabs, view switching and control state ------------------------------
    QWidget* createTabBar(QWidget* client);
    void createStateMenus();
    TTabViewState tabViewState() const;
    QList<QAction*> disabledToolButtons() const;
    void setBusyControls(bool enabled);
    void disableControls();
    TTabBar tabBar_;
    bool controlsEnabled_ = true;
    int filterImage_ = 16;
    std::array<quint8, 3> ruleFixedKinds_{};
    int folderListPos_ = -1;
    // A step request while a step loads is dropped.
    bool stepBusy_ = false;
    void folderDoubleClick();

    TStatusWin* statusWin_ = nullptr;
    // ImageList10 .. ImageList256 with ImageList128comm, in the order of
    // kImageListSizes.
    std::array<QList<QImage>, 11> imageLists_;
    // The eleven pane and menu icons taken from ImageList32.
    std::array<QImage, 11> paneIcons_;
    QImage smallArrowDown_, smallArrowUp_;
    QList<QImage> imageList24E_, imageList24D_;
    std::map<int, QCursor> screenCursors_;
    std::unique_ptr<ProgramSettings> settings_;
    TPendingJobs jobs_;
    QElapsedTimer clock_;
    int closeRetryDelay_ = 5;
    TLayoutGeometry geometry_;
    bool hScrollNeeded_ = false;
    int viewType_ = vtFree;
    bool singlePaneView_ = false;
    std::array<int, 5> topRows_{1, 1, 1, 1, 1};
    std::array<int, 5> activePanes_{1, 1, 1, 1, 1};
    int splitOffset_ = 0;
    int midStripWidth_ = 28, midStripHalf_ = 13;
    int charWidth_ = 8, lineHeight_ = 16, headRowHeight_ = 20;
    int lastHeight_ = 0;
    int layoutRuns_ = 0;
    int paintLock_ = 0;
    int busyDepth_ = 0;
    bool cancelFlag_ = false;
    bool started_ = false;
    bool recompareRunning_ = false;
    bool imageViewBusy_ = false;
    bool zoomLimitReached_ = false;
    bool compareToPending_ = false;
    bool forceBinary_ = false;
    int closeCountdown_ = 15;
    int captionFrameHeight_ = 0;
    qint64 lastAddress_ = -1;
    QByteArray scratch1_, scratch2_;

    // ---- saving panes (main_window_save.cpp) --------------------------------
public:
    // The save commands: Tag -1 saves in place, 0 asks for a new file.
    void N1SaveFileClick(QObject* sender);
    // Writes the pane of tab back to its file; true when it was saved.
    bool savePaneFile(int tab, int imageFormat, int pane);
    void showSaveAsMenu(int pane);
    void updateSaveCommands();
    // Tests answer the save dialog and the save-as menu here.
    std::function<bool(TSaveDialogChoice&)> SaveDialogHook;
    std::function<void(QMenu*)> SaveAsMenuHook;

private:
    void createSaveCommands();
    // Whether questions about modified panes offer Cancel.
    bool cancelAllowed_ = true;

    // ---- comparison painting, caret and overview bar (main_window_paint.cpp)
public:
    // engine::CaretHost: the row area shows the editor's caret.
    int CharWidth() const override { return charWidth_; }
    int LineHeight() const override { return lineHeight_; }
    int TopRow() const override { return topRow(viewType_); }
    int Pane1Right() const override;
    bool MoveCaret(int x, int y) override;
    void ShowCaret() override;
    void HideCaret() override;

    // Paints the rows from index row (from 0) at pixel y until y reaches
    // the last full row; leaves row behind the last row handled and y below
    // it. Print pages call it with their own painter.
    void OnPaintNew(QPainter& painter, int& row, int& y);
    void paintTimerTimer(QObject* sender);
    quint32 diffBarColor(int row) const;
    void updateOverviewBar();
    void P_DiffBarMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void P_DiffBarMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void P_DiffBarMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void scrollPanes(int left, int dx, int dy);
    bool updateRowRange();
    bool updateScrollRange() { return updateRowRange(); }
    void FormActivate();
    void FormDeactivate();
    void FormHide();
    void refocusMain();
    void M_ROpenErrClick(QObject* sender);

    // Called by the row area and the middle strip.
    void paintRowArea(const QRegion& region);
    void paintMidStrip(QPainter& painter);
    void caretFocusChanged(bool focused);
    // The folder view's header sections and their hints.
    void HC1DrawSection(QPainter& painter, int section, const QRect& rect, bool pressed);
    void HC1MouseMove(int x);
    // The icon role a folder row shows in a pane.
    int folderRowIconRole(int pane, int row, bool placeholder) const;
    // A folder comparison fills the stores: the panes paint nothing.
    bool folderCompareRunning() const;

    TRowArea* RowArea() const { return rowArea_; }
    TNBar* OverviewBar() const { return nBar_.get(); }
    const QFont& PaneFont() const { return paneFont_; }
    // Rows that fit the row area at the last paint.
    int VisibleRows() const { return visibleRows_; }
    // The caret exists and is shown; where it stands, in client pixels.
    bool CaretVisible() const { return caretCreated_ && caretShown_; }
    QPoint CaretPos() const { return caretPos_; }

    QTimer* paintTimer = nullptr;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void createPaintControls();
    // Before the window's members go: the widgets that call back forget it.
    void releasePaintControls();
    void paneFontApplied(const QFont& font);
    void placeRowArea(const TLayoutGeometry& g);
    void paintRows(QPainter& painter, int& row, int& y, int yEnd);
    void paintRow(QPainter& painter, int row, int y);
    // The folder view's row painter (main_window_folder_paint.cpp).
    struct TFolderRowPaint {
        int row = 0, y = 0;
        TRowLook look;
        QString texts[3];           // per pane; a placeholder shows empty
        bool placeholder[3] = {};
    };
    void paintFolderRow(QPainter& painter, int row, int y, const TRowLook& look);
    TCellChoice folderCellChoice(int pane, const TFolderRowPaint& p) const;
    void paintFolderCells(QPainter& painter, const TFolderRowPaint& p, int indent);
    void paintCharDiffCells(QPainter& painter, const TFolderRowPaint& p, const QString& left, const QString& right,
                            int xLeft, int xRight, bool fromFirstVisible, int visibleLeft, int visibleRight,
                            int infoWidth);
    void paintInfoColumns(QPainter& painter, const TFolderRowPaint& p);
    void paintTreeLines(QPainter& painter, int row, int y);
    void paintFolderIcons(QPainter& painter, const TFolderRowPaint& p, int depth);
    void paintFolderSeparators(QPainter& painter);
    void createFolderTreeCommands();
    bool folderTreeCommandAllowed() const;
    // BB_VIEWMODEClick in the folder view: tree to list and back.
    void switchFolderViewMode();
    void paintMargins(QPainter& painter, int firstRow, int yStart, int yEnd);
    void paintCaret(QPainter& painter);
    void queuePostPaint();
    void afterPaint();
    int fittingRows() const;
    void setScrollRange();
    void setFirstVisibleRow(int row);
    void repaintPanes();
    QRect caretRect() const;
    void updateCaretCell();

    TRowArea* rowArea_ = nullptr;
    std::unique_ptr<TNBar> nBar_;
    QTimer* caretTimer_ = nullptr;
    QMetaObject::Connection appStateConnection_;
    QFont paneFont_;
    TCellText paneCells_;
    QImage caretBitmap_;
    QPoint caretPos_{0, 0};
    QRegion caretDirty_;
    bool caretCreated_ = false, caretShown_ = false, caretPhase_ = true;
    bool postPaintQueued_ = false;
    bool refocusing_ = false;
    bool printing_ = false, printSelectionOnly_ = false;
    int visibleRows_ = 0;
    int paintedRowCount_ = -1;
    int laidOutDigits_ = -1;
    int lastPaintBottom_ = 0;
    // The horizontal position the top ruler was drawn for; -1 (set by every
    // layout) draws it afresh at the next paint.
    int rulerScrollPos_ = -1;
    bool nBarRebuild_ = true;
    int nBarRows_ = -1, nBarDiffs_ = -1;
    bool nBarDragging_ = false;
    int nBarGrabY_ = -1;
    TDetailsState details_;

    // ---- difference navigation, go to line, scrolling (main_window_nav.cpp)
public:
    // Next and previous difference: the toolbar, the Search menu and the
    // keys pass themselves as sender; a call without one (after a load)
    // stops on the run under the caret.
    void BB_DIFNEXTClick(QObject* sender);
    void BB_DIFPREVClick(QObject* sender);
    // After every load, reload or folder run: top of the view, then the
    // first difference when the settings ask for it.
    void gotoFirstDifference();
    void FirstDifference1Click(QObject* sender);
    void LastDifference1Click(QObject* sender);
    void gotoFirstLast(int row);
    void scrollRowIntoView(int row);
    void gotoLongestLine();
    void GotoLine1Click(QObject* sender);
    // index is the 0-based line (row in the folder and address views);
    // column the byte within the row in the address view.
    void gotoLine(int pane, int index, int column);
    void refreshSelection();
    void refreshDetails(int row);
    int DetailsRow() const { return detailsRow_; }
    // The vertical bar's actions (QAbstractSlider::SliderAction) and the
    // horizontal bar's requested position.
    void OnScroll(QObject* sender, int action);
    void hScrollBarScroll(QObject* sender, int position);
    // Marks the event handled; true when the view scrolled.
    bool FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta);
    // Set by the reload command: the next jump to a difference is skipped once.
    bool SkipFirstDifference = false;
    TfGotoLine* GotoDialog() const { return gotoDialog_; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void createNavigation();
    void finishDifferenceJump(int row);
    // The view's top row after a scroll by code: bar, pixels and caret follow.
    void scrollToTop(int top);
    // From the layout, not the last paint: a jump right after a load or a
    // resize must not wait for the rows to be painted.
    int rowsPerPage() const { return std::max(fittingRows(), 1); }
    TfGotoLine* gotoDialog_ = nullptr;
    TWheelSteps wheelSteps_;
    bool hScrollBusy_ = false;
    int detailsRow_ = -1;
    // ---- Selection (main_window_select.cpp) -----------------------------------
public:
    // Turns a selection command (row -1 .. -6) or the caret selection that
    // ends on row into the active pane's selection marks; Shift extends,
    // Ctrl alone toggles the row.
    void applySelection(Qt::KeyboardModifiers shift, int row);
    // The folder row clicked or selected last.
    int LastFolderRow = -1;

    // ---- keys, typing and the editing gate (main_window_keys.cpp) -------------
public:
    // The key table: the Qt handlers and the undo replay both call it; a
    // consumed key comes back as 0.
    void FormKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);
    // The character handler: types into the active text pane.
    void FormKeyPress(QObject* sender, QChar& key);
    // The application-wide key hook: keys reach the panes, never the error
    // memos; Tab and Enter type. True when the event was handled.
    bool applicationMessage(QObject* watched, QEvent* event);
    // Ends every caret move and edit: changeType 1 in-line edit, 2 Tab,
    // 3 caret moved, 4 lines inserted or removed; scrollKind 0 .. 3 says
    // how the view follows the caret horizontally.
    void changedEdit(Qt::KeyboardModifiers shift, int changeType, int scrollKind);
    // True when the active pane must not be edited; asks or explains why.
    bool editingBlocked();
    // mode 0 deletes the selection only, 1 Delete, 2 Backspace.
    void deleteAtCaret(int mode);
    void pmDelete1Click(QObject* sender);
    void NewTextCompare1Click(QObject* sender);
    // Starts an empty document "NewL.txt" or "NewR.txt" holding one empty line.
    void newEmptyPane(bool typeEnter, int pane, engine::TFileTime time);
    // Set while a mouse drag extends the selection: the view then follows
    // the caret without a margin.
    bool DragSelecting = false;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createKeyHandling();
    void refreshShortcutMenus(const QKeyEvent& key);
    void scrollOneRowDown();
    bool newTextSetup_ = false;
    bool structuralEdit_ = false;

    // ---- loading files into the panes and the comparison run ----------------
    // (main_window_load.cpp)
public:
    // which: 1 left, 2 right, 3 both; an empty path keeps the pane's location.
    void loadAndCompare(int which, const QString& leftPath, const QString& rightPath);
    bool loadMissingPanes();
    int checkPaneView(int pane);
    void detectPaneKind(int pane);
    bool isImageFile(const QString& path) const;
    void showOpenError(int pane, const QString& path, int code);
    QString openErrorText(int pane, int code) const;
    void setLoadProgressText(int kind, int pane, const QString& path);
    void showStatusPath(const QString& prefix, const QString& path);
    void showStatusText(const QString& text);
    void timStatDispTimer();
    void statusProgressStart(qint64 total);
    void statusProgressStep(qint64 position);
    bool askReadRetry(int pane, int operation);
    void compareLoaded();
    void calcDifferences();
    void scheduleRecompare();
    void removeGapLines(int pane);
    void removeAllGapLines();
    void pmLoadFileLeftClick(QObject* sender);
    void pmAnsifile1Click(QObject* sender);
    void TB_ReloadClick(QObject* sender);
    // F5 in the folder view: the comparison runs again on its roots and the
    // caret's entry is selected again.
    void reloadFolderComparison();
    void BB_HEXClick(QObject* sender);
    void fbLoadClick(QObject* sender);
    void LoadDirect(int pane);
    void eFNClick(QObject* sender);
    void eFNExit(QObject* sender);
    bool eFNKeyPress(QObject* sender, int key);
    void exitFNEdit();
    // The pane whose file-name field is being edited, 0 when none is.
    int FNEditPane() const { return fnEditPane_; }
    bool Loading() const { return loading_; }
    // The path of a pane's failed load, shown in its error memo.
    QString FailedPath(int pane) const { return failedPaths_[size_t(pane)]; }
    // Asks the type-mismatch question: 0 cancel, 1 the needed view, 2 binary.
    std::function<int(int current, int needed, const QString& path, int other)> AskTypeMismatch;
    // Asks whether to save the panes (1 left, 2 right, 3 both) about to be
    // replaced; false stops the command.
    std::function<bool(int panes)> AskSaveBeforeReplace;
    QTimer* timStatDisp = nullptr;
    QString editedPathLeft, editedPathRight;
    // Processor-clock timings of the last run, in nanoseconds.
    qint64 TotalTicks = 0, HashTicks = 0, InlineTicks = 0, RecompareTicks = 0;

private:
    void createLoadControls();
    void releaseLoadControls();
    std::array<QWidget*, 5> fileNameWidgets() const;
    void loadPaneSource(int pane);
    int openPaneFile(int pane, int slot);
    int checkViews(int which);
    void carryPaneToView(int pane, int view);
    void loadTextIntoPane(int pane, int earlierError);
    bool confirmReplacePanes(int panes);
    int errorOperation(int pane) const;
    bool loading_ = false;
    int fnEditPane_ = 0;
    QObject* fnFieldFilter_ = nullptr;
    bool keepKind_ = false;
    bool imageFlag_ = false;
    bool recompareAllowed_ = true;
    int loadWhich_ = 0;
    int lastReadError_ = 0;
    int editLine_ = 0;  // first line an edit touched, for the fuzzy matrix
    std::array<QString, 3> failedPaths_;
    std::array<bool, 3> ftpLike_{};
    std::array<int, 3> errorOps_{};
    std::array<int, 3> plugInIndex_{-1, -1, -1};
    std::array<int, 3> loadedLineCounts_{};
    // The pane holds only the lines up to the limit of a longer file.
    std::array<bool, 3> loadCut_{};
    bool compareCut_ = false;
    // The kind a pane shows was chosen by "Treat file as".
    std::array<bool, 3> forcedKinds_{};
    engine::TFCCTab preLoadTab_;
    int preLoadTabIndex_ = 0;
    engine::TFCCTab spareTab_;
    QWidget* mismatchDlg_ = nullptr;  // the TfFTMismatch, made on first use
    // ---- end of loading -------------------------------------------------------
    // ---- view commands: select buttons, ignore switches, view mode, filter,
    // fonts, View toggles and splitter (main_window_commands.cpp,
    // main_window_view.cpp) ----------------------------------------------------
public:
    void selectRows(int pane, int kind);
    void SelectLeftAllClick(QObject* sender);
    void SelectRightAllClick(QObject* sender);
    void SelectAllNewerLClick(QObject* sender);
    void SelectAllNewerRClick(QObject* sender);
    void Selectalllines1Click(QObject* sender);
    void SelectallDifLines1Click(QObject* sender);
    void Selectalladdedlines1Click(QObject* sender);
    void Selectallorphanfiles1Click(QObject* sender);
    void SelectOrphansLeftClick(QObject* sender);
    void SelectOrphansRightClick(QObject* sender);
    void InvertSelectionClick(QObject* sender);
    void Selectallfilesinthisfolder1Click(QObject* sender);
    // Ctrl+A's select-button step, after the key selected every row of the
    // pane: the pane's select-all button is pressed as by a click.
    void selectAllKeyStep(int pane);
    void mmIgnoreWS1Click(QObject* sender);
    void mmIgnoreCase1Click(QObject* sender);
    void mmIgnoreEmptyLines1Click(QObject* sender);
    void mmCenter1Click(QObject* sender);
    void mmColors1Click(QObject* sender);
    void BB_SETINGSClick(QObject* sender);
    // The status labels open the settings page of what they show and
    // return once the dialog is closed.
    void lSimLevelDblClick();
    void L_HiddenLnDblClick();
    void AboutClick(QObject* sender);
    void BB_VIEWMODEClick(QObject* sender);
    // The folder view's tree commands (main_window_folder_tree.cpp).
    void pmOpenAllFoldersClick(QObject* sender);
    void pmOpenAllSubFoldersClick(QObject* sender);
    void pmCloseAllFoldersClick(QObject* sender);
    void pmCloseAllSubFoldersClick(QObject* sender);
    // The folder view's file pairs (main_window_folder_files.cpp): a row's
    // entries become the panes' folders and names (a negative row names
    // the entry -row), Enter and the double click open the pair, and the
    // next and previous file commands step through the pairs.
    void setPaneFromRow(int row, int side, int pane);
    void setPanePair(int leftRow, int rightRow, int rightSide, int leftSide);
    void setPanePairFromRow(int row);
    void pmCompareFilesClick(QObject* sender);
    // Compare-to: the caret row's entry is compared with the next row
    // clicked, as files (kind 0) or as archives or folders (kind 1).
    void pmCompareFileTo1Click(QObject* sender);
    void pmCompareArchiveTo1Click(QObject* sender);
    // Pairs the source entry (negated) with the target row's entry in the
    // panes for the comparison that follows.
    void compareToAction(int negatedSourceEntry, int targetRow, int sourcePane, int targetPane);
    // The caret row's archive pair compared as folders.
    void pmCompareArchivesClick(QObject* sender);
    // Extracts an archive nested in an archive to the temporary folder;
    // path becomes the local copy. False when the user declined or it failed.
    bool extractNestedArchive(int pane, QString& path);
    void stepFile(bool forward);
    void TB_NEXTFILEClick(QObject* sender);
    void TB_PREVFILEClick(QObject* sender);
    void pmSelectAllInFolderAndSubfolders1Click(QObject* sender);
    // Whether x lies strictly inside the tree view's expander of a row on
    // a pane: the indent plus extra pixels.
    bool inFolderExpander(int pane, int x, int row, int extra) const;
    int FolderListPos() const { return folderListPos_; }
    void enableFolderMenus() override;
    QAction *pmOpenAllFolders1 = nullptr, *pmCloseAllFolders1 = nullptr;
    void applyViewMode();
    void Info1Click(QObject* sender);
    void TB_FILTERClick(QObject* sender);
    void pmDiffViewPopup(QObject* sender);
    void pmDV_Click(QObject* sender);
    void mmScreenFont1Click(QObject* sender);
    void ScreenFontDialogApply(const QFont& font);
    void mmPrinterFont1Click(QObject* sender);
    void mmShowDetailsPanel1Click(QObject* sender);
    void mmShowLN1Click(QObject* sender);
    void mmShowStatusBar1Click(QObject* sender);
    void mmShowThumbnailBar1Click(QObject* sender);
    // x in the client's coordinates (the window's own drag target).
    void FormDragOver(int x);
    void P_MIDStartDrag();
    // x relative to P_MID.
    void P_MIDDragOver(int x);
    void P_MIDEndDrag();
    // The view-mode, HEX and filter commands run: a second one does nothing.
    bool CommandRunning() const { return commandRunning_; }
    // Tests answer the font dialogs here: font in, the choice out; false
    // when the dialog was cancelled.
    std::function<bool(QFont& font, const QString& title)> FontDialogHook;

private:
    void createViewCommands();
    // P_MID's mouse events drive the splitter handlers.
    void createSplitterDrag();
    void showCommandWindowItems();
    bool fontDialog(QFont& font, const QString& title);
    bool commandRunning_ = false;
    int dragX_ = -1;

    // ---- network sources: web, cloud and FTP panes (main_window_remote.cpp) ----
public:
    // Puts a web address first in the list of recent addresses.
    void rememberWebFile(const QString& address);

private:
    // The transfer progress of a remote pane's download goes to the progress
    // window while a load runs; unhooked when the load ends.
    void hookRemoteProgress(int pane, int accessKind);
    void unhookRemoteProgress();
    // Downloads a pane's whole FTP file after the kind detection read only
    // its start.
    int reopenFtpForReading(int pane);
    // The addresses of the panes just loaded from the web (which: 1, 2, 3).
    void rememberWebPanes(int which);
    // ---- end of network sources ------------------------------------------------

    // ---- closing, recent file pairs, swapping sides ---------------------------
    // (main_window_close.cpp, main_window_recent.cpp, main_window_swap.cpp)
public:
    // True when the window may close now. A close that arrives while a
    // command runs inside the event pump is refused, the load or binary
    // comparison cancelled, and asked again by the timer's close job.
    bool FormCloseQuery();
    void FormClose();
    void Exit1Click(QObject* sender);
    // Automatic retries left before the close stops waiting for companion
    // windows; it never skips the save question or a running command.
    int CloseCountdown() const { return closeCountdown_; }
    // FormClose has run: the settings are written and the help window closed.
    bool FormClosed() const { return formClosed_; }
    // After every load that was not cancelled: the pair reloaded at start-up.
    void storePendingPair();
    // When the user loads a pair: a known pair moves up at once, a new
    // pair of two different files once it has stayed loaded for T_HIST.
    void recordRecentPair();
    void storeRecentPair();
    void buildFilePairMenu();
    void FPClick1(QObject* sender);
    void T_HISTTimer();
    bool HistoryPending() const { return historyPending_; }
    // Swaps the panes of the folder, text, binary or image view (also fbSWAP).
    void mmSwapFiles1Click(QObject* sender);
    // The text and binary views' part of the swap.
    void swapFileSides(int view);
    QTimer* T_HIST = nullptr;
    QAction *LastUsedFiles1 = nullptr, *mmSwapFiles1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createCloseControls();
    // Refuses this request and arms the close job, a little later each time.
    void retryClose();
    // The close ended or was cancelled: the next one starts afresh.
    void endCloseRequest();
    config::TFilePair currentPair() const;
    void stopHistoryTimer();
    bool historyPending_ = false;
    bool closeQueryRunning_ = false;
    bool formClosed_ = false;
    // The busy cursor shown while a close waits for the update.
    bool updateWaitCursor_ = false;
    // ---- end of closing -------------------------------------------------------

    // ---- image view: picture panes, zoom, pan and the comparison window ------
    // (main_window_images.cpp)
public:
    // Loads a pane's picture (a file of kind image) into its picture control.
    void loadPaneImage(int pane, int earlierError);
    // The zoom at which the loaded pictures fit their panels.
    void fitImageZoom();
    // Places both pictures for the zoom bar's position.
    void applyZoom(bool updateCompare, bool rightOnly);
    void releaseImages(bool flag);
    void TB_1to1Click(QObject* sender);
    // Left and Right zoom the image view by 1, with Ctrl by 10; true when
    // the key was taken (the key table calls it in the image view).
    bool imageZoomKey(int key, Qt::KeyboardModifiers shift);
    // Shows the next (step 1) or previous (-1) frame of a pane's icon file.
    void stepImageFrame(int pane, int step);
    // The select buttons' role in the image view: true when it was taken.
    bool selectButtonStepsFrame(TFlatButton2* button);
    // The image branch of the swap command.
    void swapImages();
    // 0 when both pictures are loaded, of one size, and no pixel differs
    // beyond the tolerance; else 1.
    int imageDifferenceCount();
    // compareLoaded's image branch: the count, and the pictures to the
    // comparison window.
    void compareLoadedImages();
    // The image items of the pane's context menu (rotate, flip, resize,
    // copy, the comparison window), for the pane's picture.
    void addImageMenuItems(QMenu* menu, int pane);
    // The image view's context menu at a screen point.
    void showImageMenu(int pane, QPoint screenPos);
    QMenu* pmImage = nullptr;
    void pmImageOp(int op, int pane);
    void pmCopyImageToClipBoardClick(int pane);
    // Writes the comparison's result picture: format 0 JPEG, 1 bitmap.
    bool saveResultPicture(const QString& path, int format);
    // The save commands in the image view: asks for a local file next to
    // the left picture (the save dialog's file type, or the extension,
    // picks bitmap or JPEG) and writes the result picture there.
    void saveResultPictureAs(int target);
    QString resultPictureName() const;
    void showImageCompare(bool show);
    TfImgCompare* ImgCompareWindow();
    int ZoomPercent() const { return zoomPercent_; }
    bool ZoomLimitReached() const { return zoomLimitReached_; }
    // Per pane: (shown frame << 16) | (frame count - 1) of an icon file.
    qint32 ImageFrame(int pane) const { return imageFrames_[size_t(pane)]; }
    void imgFileMouseDown(int pane, Qt::MouseButtons buttons, QPoint pos, QPoint globalPos);
    void imgFileMouseMove(int pane, Qt::MouseButtons buttons, QPoint pos);
    void imgFileMouseUp(int pane);
    void imgDblClick(int pane);
    // engine::MainWindowServices
    void clearPanePicture(int pane) override;
    bool openErrorShown(int pane) const override;
    void hideImagePanel(int pane) override;

private:
    void createImageControls();
    bool reloadImage_ = false;
    int zoomPercent_ = 100;
    std::array<qint32, 3> imageFrames_{};
    std::array<QPoint, 3> grabPoints_{};
    std::array<QImage, 3> unresized_;
    TfImgCompare* imgCompare_ = nullptr;
    // ---- end of image view ---------------------------------------------------

    // ---- mouse selection, hover texts, links, the pane menu and copying lines
    // (main_window_mouse.cpp, main_window_popup.cpp)
public:
    // The panes' mouse handlers, in client coordinates; a call without a
    // sender (from the hover text) carries screen coordinates.
    void FormMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void FormDblClick(QObject* sender);
    void T_WHEELTimer(QObject* sender);
    void showRowHint(int x, int y);
    // Whether a link lies under x on the row; keeps its text in LinkText.
    bool linkAt(int x, int row);
    const QString& LinkText() const { return linkText_; }
    // 0 starts the pick mode for pickPurpose, 1 completes it on the caret
    // row, 2 leaves it.
    void pickMode(int mode);
    bool PickModeOn() const { return compareToPending_; }
    // What a completed pick does: 2 shows the similarity of two lines.
    int pickPurpose = 0;
    TF_HoverText* HoverText() const { return hoverText_; }
    void buildContextMenu();
    void pmFilePopup(QObject* sender);
    void BB_COPYTOClick(QObject* sender);
    void copySelectedFiles();
    void copySelectedLines();
    void Copy1Click(QObject* sender);
    QString selectedText() const;
    QTimer* T_WHEEL = nullptr;
    QMenu* pmLine = nullptr;
    QAction *pmCopy1 = nullptr, *pmCut1 = nullptr, *pmPaste1 = nullptr, *pmDelete1 = nullptr,
            *pmCopyLines = nullptr, *pmSelectAllLines = nullptr, *pmSelectAllDifLines = nullptr,
            *pmSelectAllAddedLines = nullptr, *pmPrintSelection = nullptr, *pmOpeninexternalEditor21 = nullptr,
            *pmOpeninexternalEditor22 = nullptr, *pmLineProperties = nullptr, *pmExploreLine = nullptr;

    // The folder view's row menus (main_window_folder_menus.cpp).
    QMenu *pmFolder = nullptr, *pmFile = nullptr;
    QAction *pmCopyFolder = nullptr, *pmCompareFolderTo1 = nullptr, *pmDeleteFolder = nullptr,
            *pmFolderProperties = nullptr, *pmExploreFolder = nullptr, *pmCloseFolderCompareView1 = nullptr,
            *pmCompareFiles = nullptr, *pmCompareFileTo1 = nullptr, *pmCompareArchives = nullptr,
            *pmCompareArchiveTo1 = nullptr, *pmBrowseArchive1 = nullptr, *pmCopyFile = nullptr,
            *pmDeleteFile = nullptr, *pmOpeninexternalEditor11 = nullptr, *pmOpeninexternalEditor12 = nullptr,
            *pmOpenWithApp1 = nullptr, *pmFileProperties = nullptr, *pmExploreFile = nullptr,
            *pmCloseFolderCompareView = nullptr;
    TFolderMenuSnapshot folderMenuSnapshot() const;
    // The copy engine and the delete list report each finished entry
    // (main_window_folder_marks.cpp); a row below 0 only repaints.
    void markEntryCopied(int row, int sourcePane);
    void markEntryDeleted(int row, int pane);
    // Marks a row differing with result kind, or clears a mark of that very
    // kind, and counts it (1 attributes, 3 time, 4 names).
    void markFolderRowResult(int kind, int row, bool differs, bool allowed);
    // Deletes the selected entries of the active folder pane through the
    // delete list (TB_DELETE, pmDeleteFolder, pmDeleteFile).
    void TB_DELETEClick(QObject* sender);

private:
    void createFolderMenus();
    void buildFolderContextMenu();
    // Moves the folder tab's difference count and the folder window's with it.
    void changeFolderDiffCount(int delta);
    bool folderPickAccepts(int pane, int row) const;
    void completeFolderPick(int targetPane, int targetRow);
    // A pane whose path runs into an archive inside an archive gets the
    // extracted inner archive; false when that failed.
    bool nestedArchiveCheck(int pane);
    int pickSourceEntry_ = -1;
    void createMouseControls();
    int rowAtY(int y) const;
    int columnAtX(int pane, int x) const;
    bool pickAccepts(int pane, int row) const;
    void showSimilarity(int targetRow, QPoint screenPoint);
    void createLineMenu();
    quint32 hoverBackground(int pane, int row) const;
    TF_HoverText* hoverText_ = nullptr;
    QString linkText_;
    QPoint mouseDownPoint_;
    bool middleScrolling_ = false;
    Qt::KeyboardModifiers dragShift_, clickShift_;
    int dragColumn_ = 0, dragRow_ = 0, middleStartY_ = 0;
    int pickSourcePane_ = 1, pickSourceRow_ = 0;

    // ---- find and replace in the panes (main_window_search.cpp) -------------------
public:
    // Search menu: "Find..." (Ctrl+F), "Find next" (F3), "Replace..." (Ctrl+R).
    void Find1Click(QObject* sender);
    void FindNext1Click(QObject* sender);
    void Replace1Click(QObject* sender);
    // The find dialog's events.
    void FindDialog1Show();
    void FindDialog1Close();
    void FindDialog1Find();
    void ReplaceDialog1Find();
    void ReplaceDialog1Replace();
    // One search step from the caret; true when a match was found (or the
    // dialog's Abort ended the search).
    bool findText(int scope, int options);
    // Replaces the match selected in the caret row of the active pane.
    void replaceMatch(const QString& replacement);
    // The dialog, made on first use.
    TfReplace* FindDialog();
    bool FindDialogOpen() const { return findDialogOpen_; }
    const QString& LastSearchText() const { return lastSearchText_; }
    int SearchRow() const { return searchRow_; }

private:
    void createSearchControls();
    void openFindDialog(bool replaceMode);
    // At the window's close: hidden, its settings handed back.
    void closeFindDialog();
    // Opens a closed folder row that a search reaches; returns the row the
    // search goes on with.
    int openFolderForSearch(int row, bool down);
    bool searchScopeRow(int scope, int row, int column, int flags);
    bool searchPaneRow(int pane, int row, int column, int flags);
    TfReplace* findDialog_ = nullptr;
    QString lastSearchText_;
    int searchRow_ = -1;
    // The folder row of the last match, -1 when the next search starts at
    // the caret.
    int folderMatchRow_ = -1;
    bool findDialogOpen_ = false;
    // ---- end of find and replace ------------------------------------------------

    // ---- paste, cut and undo (main_window_edit.cpp, main_window_undo.cpp) ----
public:
    // Inserts text at column of the line at index, or at the caret (index
    // -1) after deleting the selection; CR LF or CR breaks lines, LF alone
    // does not.
    void insertText(const QString& text, int index, int column);
    void pmPaste1Click(QObject* sender);
    void pmCut1Click(QObject* sender);
    // Undoes the latest group of records of the active pane.
    void Undo1Click(QObject* sender);
    void TB_UNDOLClick(QObject* sender);
    void TB_UNDORClick(QObject* sender);
    bool UndoRunning() const { return undoRunning_; }

private:
    void createEditCommands();
    // Replays one record; false for a kind it does not know.
    bool replayUndo(int pane, engine::TUndoRec& rec);
    void typeBack(int pane, const engine::TUndoRec& rec, int row);
    void undoButtonClick(QAction* button, int pane);
    void restoreLineFilter();
    bool undoRunning_ = false;
    // The replay switched the hide-lines filter off to reach hidden lines.
    bool undoFilterOff_ = false;
    std::array<bool, 3> undoButtonDown_{};
    // ---- end of paste, cut and undo -------------------------------------------

    // ---- folder comparison runs (main_window_folder_run.cpp) ---------------------
public:
    // Runs a folder comparison through the folder window with the window's
    // controls disabled; the modes are the folder window's: 1111 re-runs the
    // panes' pair, 1114 the sub-folder pair, -1 the last roots.
    void runFolderCompare(bool showOptions, int mode);
    // TB_OPENFOLDER and "Compare folders...".
    void BB_OPENFOLDERClick(QObject* sender);
    // A recent folder pair ("DP" + index); without a sender pair 0.
    void FPClick2(QObject* sender);
    void buildFolderPairMenu();
    // A folder comparison is running in the folder window.
    bool FolderRunActive() const { return folderRunActive_; }
    QAction* Lastusedfolders1 = nullptr;

private:
    void createFolderRunControls();
    bool folderRunActive_ = false;
    // ---- end of folder comparison runs ---------------------------------------------
    // ---- printing a comparison (main_window_print.cpp) --------------------------
public:
    // The page callback of a report: draws one page from row position on
    // and returns the next page's first row, or the largest integer when
    // the report is complete. The first page puts the page's geometry in
    // place of the screen's until the report ends.
    int renderPrintPage(QPainter& canvas, const TPrintArea& area, int position, int paneMode, quint8 selectionOnly);
    // Puts the screen's values back after a report; nothing when none runs.
    void endPrintReport();
    // The print commands: the File menu's three items, the pane menu's
    // selection item and the image comparison's difference picture.
    void mPrintClick(QObject* sender);
    void pmPrintImageClick(QObject* sender);
    // The print items show once the report window is installed.
    void showPrintItems();
    bool Printing() const { return printing_; }
    bool PrintSelectionOnly() const { return printSelectionOnly_; }
    int PrintPaneMode() const { return printPaneMode_; }
    // Set when the settings' orientation changed since the last report:
    // the next report takes it over.
    bool printSettingsChanged = false;

private:
    void createPrintCommands();
    void printImagePage(const TPrintArea& area, int paneMode);
    const TCellText& rowCells() const { return printing_ ? printCells_ : paneCells_; }
    int rowAscent() const;
    int printPaneMode_ = 0;
    // What a report replaced, and whether it swapped the panes for it.
    struct TPrintSaved {
        TLayoutGeometry geometry;
        int lineHeight = 0, charWidth = 0;
        bool singlePaneView = false;
        bool swapped = false;
    } printSaved_;
    TCellText printCells_;
    int printAscent_ = 0;
    // ---- end of printing ----------------------------------------------------------
};


}  // namespace tandex::ui
