#pragma once
// Which commands the main window offers, and how they read, as pure rules
// over a snapshot of view, stores and settings: the toolbar, pane buttons
// and captions after every change (updateControls), and the enabled,
// checked and shown items of each main menu as it opens. The window fills
// the snapshot and applies the resulting states to its widgets by name.

#include <QString>
#include <array>
#include <map>
#include <optional>

namespace tandex::ui {

// What a rule says about one control; an unset field stays as it is.
struct TItemState {
    std::optional<bool> visible, enabled, checked, showHint;
    std::optional<QString> caption, hint;
    std::optional<int> image;
};

// States by the controls' object names ("F_Main" is the window caption).
using TControlState = std::map<QString, TItemState>;

// Tags of the four select buttons, in the order of the mask bits of
// resetSelectButtons: fbLSelNew, fbRSelNew, fbLSelAll, fbRSelAll.
inline constexpr std::array<int, 4> kSelectButtonStartTags{0, 256, 2, 258};
inline const std::array<QString, 4> kSelectButtonNames{
    QStringLiteral("fbLSelNew"), QStringLiteral("fbRSelNew"), QStringLiteral("fbLSelAll"),
    QStringLiteral("fbRSelAll")};

struct TControlSnapshot {
    int viewType = 0;
    bool singlePaneView = false, binaryMode = false, caretViewActive = false;
    bool tabInUse = false;
    int rowCount = 0;  // visible rows of the shown view
    int diffCount = 0;  // the tab's difference count
    int selectedCount = 0;
    int activePane = 1;
    int folderViewFilter = 0, textViewFilter = 0, binaryViewFilter = 0;
    int filterImage = 16;  // TB_FILTER's image
    // Folder view
    bool fcTreeView = true;
    int folderCount = 0, storeEntryCount = 0, fileEntryCount = 0;
    int caretRowResult = 0;
    // Other views
    std::array<QString, 3> fileNames;
    bool leftHasDisplayPath = false;
    std::array<qint64, 3> fileSizes{-1, -1, -1};
    std::array<int, 3> accessKinds{};
    std::array<int, 3> lineCounts{};
    std::array<bool, 3> hasUndo{};
    std::array<int, 3> extraFrames{};  // images: frames beyond the first
    std::array<int, 4> selectTags = kSelectButtonStartTags;  // in mask-bit order
    // Stepping through the files of a folder comparison.
    bool folderTabExists = false;
    int folderListPos = -1, folderRowCount = 0;
    QString prevFileName, nextFileName;  // empty: none before / after folderListPos
    // Settings
    bool showHintDB = true, teEnabled = true, cfCopyLines = true;
};

// The face of a select button by its Tag: hint, caption and image.
TItemState selectButtonFace(int tag, bool folderView);

// setToolState: enabled, and its hint shown while enabled or when the
// setting shows hints of disabled buttons.
TItemState toolState(bool enabled, bool showHintDB);

// The captions of the filter items pmDV_ALL .. pmDV_HIDEORPH (filters 0..6).
QString filterItemCaption(int filter, bool folderView);
inline const std::array<QString, 7> kFilterItemNames{
    QStringLiteral("pmDV_ALL"),    QStringLiteral("pmDV_EQUAL"),   QStringLiteral("pmDV_DIFFORPH"),
    QStringLiteral("pmDV_DIFFONLY"), QStringLiteral("pmDV_ORPHAN"), QStringLiteral("pmDV_HIDEDIFF"),
    QStringLiteral("pmDV_HIDEORPH")};
// TB_FILTER's image for a filter, and the filter an image shows (-1 none).
int filterImage(int filter);
int filterOfImage(int image);

QString windowCaption(int filter, bool folderView);
QString closeViewCaption(int viewType, bool singlePaneView);
QString copyHint(int selectedCount, bool folderView, int activePane, bool confirm);
QString stepFileHint(bool next, bool singlePaneView, const QString& target);
// Whether the previous and next file commands may look for a target.
bool fileSteppingPossible(const TControlSnapshot& s);

// updateControls.
TControlState controlState(const TControlSnapshot& s);

// rePosImgTitle: the title's width from the toolbar's width and the right
// edge of the button that ends the view's buttons (0 when none).
int appTitleWidth(int toolbarWidth, int endButtonRight);
// The object name of that button for a view, empty for the free view.
QString titleEndButton(int viewType);

// ---- menus ------------------------------------------------------------------

struct TMenuSnapshot {
    int viewType = 0;
    bool hasRows = false, singlePaneView = false;
    std::array<int, 3> lineCounts{};
    bool detailsFocus = false, selectionExists = false, helpTextFocus = false;
    bool activeUndo = false, clipboardText = false, searchTextExists = false;
    bool selectAllEnabled = false, selectNewEnabled = false;  // either pane's button
    // Settings
    bool lineNumbers = true, diffBar = true, statusBar = true, detailPanel = true;
    bool visibleWS = false, visibleTabs = false;
    bool ignoreAllBlanks = false, ignoreCase = false, ignoreEmptyLines = false;
};

// The popup rules of a main menu by its object name ("File1", "Edit1",
// "Navigation1", "mmVisibleTabs1", "Options1").
TControlState menuState(const QString& menu, const TMenuSnapshot& s);

// ---- head fields ------------------------------------------------------------

// What the information line below a pane's file name shows.
struct TPaneInfo {
    bool folderView = false;
    QString fileName;
    qint64 size = -1;  // the folder view: the listed files' total
    quint64 fileTime = 0;
    bool image = false;
    int width = 0, height = 0, bitsPerPixel = 0, frame = 0, frameCount = 0;
    int lineCount = 0;
    int fileKind = 0;
    bool forcedKind = false;
    int lineEnding = 0;  // 1 WIN, 2 UNIX, 3 MAC
};
QString paneInfoText(const TPaneInfo& pane);

// ---- differing rows ---------------------------------------------------------

// The row's text as the comparison sees it: the hex text in the binary
// view, else the plain text with the ignore options applied.
QString rowCompareText(int pane, int row);
// Marks every text or binary row whose compare texts differ, or that holds
// a gap line, as differing; returns the count.
int markDifferingRows();

}  // namespace tandex::ui
