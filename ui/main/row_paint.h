#pragma once
// What one row of the text and binary views looks like, worked out without
// a widget: the flag byte of every character, the font and background of a
// pane's cell, the runs of equal look a row is drawn in, and the links of a
// line. The window only draws what these functions return, so every rule
// of the look can be checked on plain values.

#include <QString>
#include <QtGlobal>

#include <vector>

#include "config/app_settings.h"

namespace tandex::ui {

using TColor = quint32;

// One flag byte per character. 0 and 1 are exclusive, the others combine
// with them (a link on an equal character is 3, a visible blank that
// differs is 32).
enum TCharFlag : quint8 {
    cfDiffers = 0,
    cfEqual = 1,
    cfLink = 2,
    cfLeftMissing = 4,   // binary view: no byte on the left here
    cfRightMissing = 8,  // binary view: no byte on the right here
    cfIgnored = 16,
    cfBlank = 32,
};

using TCharFlags = std::vector<quint8>;

// The shown blank and the cells that stand for a missing byte or a tab.
inline constexpr char16_t kVisibleBlank = 0x2219;
inline constexpr char16_t kFillerChar = 0xA0;
inline constexpr char16_t kTabMarkChar = 0xBB;

// A colour of the set as the painter uses it: a reference to a system
// colour becomes its current value.
TColor paintColor(const config::TColorSet& colors, int index);

// What the cell colour rules read of a row.
struct TRowLook {
    bool leftMissing = false, rightMissing = false;
    bool rowModified = false;  // RowResult 2
    bool rowDiffers = false;
    bool folderMode = false;
    int folderState = 0;  // RowFolderState: 0 file, 1 or 2 folder
};

struct TCellColors {
    TColor font = 0;
    TColor brush = 0xFFFFFF;
};

// setCellColors: the font and brush of a cell of the given kind; mate 0 when
// this pane holds the row's selection (or none does), 1 or 2 when the other
// pane does (1 when this is the left pane).
TCellColors setCellColors(int kind, int mate, const TRowLook& row, const config::TColorSet& colors);

struct TCellChoice {
    int kind = 0;
    int mate = 0;
    int sel = 0;  // selection kind that decided: 0 none, 1 line or file, 2 folder
    TCellColors colors;
};

// cellColorsForPane: selThis and selOther are RowSelectionKind of this pane
// and of the other one (both 0 while only the selection is printed).
TCellChoice cellColorsForPane(int pane, int selThis, int selOther, const TRowLook& row,
                              const config::TColorSet& colors);

// ---- flags --------------------------------------------------------------------

// What the flag fill of a text row reads.
struct TTextRowInput {
    QString left, right;  // RowText of both panes
    // The engine's in-line flags of both lines, or null when a line has none.
    const std::vector<quint8>* engineLeft = nullptr;
    const std::vector<quint8>* engineRight = nullptr;
    bool rowDiffers = false;
    bool leftMissing = false, rightMissing = false;
    int lineIndex = 0;     // the row's line index in the stores
    int maxLineCount = 0;  // MaxLineCount
    // Ignored columns: mask[column] set for an ignored column (1-based), or
    // null when none are active.
    const quint8* ignoredColumns = nullptr;
    int ignoredColumnCount = 0;
};

struct TTextRowFlags {
    QString left, right;    // the texts with visible blanks put in
    TCharFlags flagsLeft, flagsRight;  // one byte per character of each text
    bool rowDiffers = false;
    bool ignoredEmptyRow = false;  // drawn on IgnBgCol, not as a difference
};

// The flag fill of a text row (links and visible blanks included) from the
// settings' ignore, link and blank switches.
TTextRowFlags fillTextRowFlags(const TTextRowInput& in, const config::TAppSettings& s);

// The flag fill of a binary row; a text is null when its side has no line.
TCharFlags fillBinaryRowFlags(const QString* mine, const QString* other, bool mineIsLeft, bool rowDiffers,
                              int hexBytes);

// Visible blanks from column `from` (1-based) on: each blank becomes the
// blank mark and its flag gets cfBlank.
void markVisibleBlanks(QString& text, TCharFlags& flags, int from);

// The next link of text at or after start (1-based): start is its first
// character and stop the first one after it; start 0 when there is none.
// A candidate that is not one of the five schemes is passed over and the
// search goes on behind it.
void getLink(const QString& text, int& start, int& stop, bool enableLinks);

// Sets cfLink on the characters of every link of text.
void markLinks(const QString& text, TCharFlags& flags, bool enableLinks);

// ---- character runs -------------------------------------------------------------

// The colours and limits a pane's runs are drawn with.
struct TRunStyle {
    TColor normalFont = 0;     // the pane's text colour
    TColor diffFont = 0;       // the row's difference font colour
    TColor cellBrush = 0xFFFFFF;
    TColor selectionBrush = 0xFFFFFF;
    bool currentLine = false;  // the current-line mark is set for this pane
    bool binaryView = false;
    bool singlePaneView = false;
    bool tabsAsBlanks = false;  // TCIgnAllBl or TCIgnLeadBl
    int firstColumn = 1;        // first visible column, 1-based
    int charWidth = 8;
    int x0 = 0;          // x of the first visible column
    int rightLimit = 0;  // drawing stops where a run would pass it
    quint32 selection = 0;  // packed range: start low 16 bits, end high 16 bits
};

struct TCharRun {
    int column = 1;  // first character, 1-based
    int count = 0;
    int x = 0;
    QString text;
    TColor font = 0;
    TColor brush = 0;
    bool underline = false;
};

// paintCharRuns without the drawing: the runs of text in the order they are
// written. A visible-blank run is written at once; every other run waits
// until the next one begins, so it is written after a blank run behind it.
std::vector<TCharRun> splitCharRuns(const QString& text, const TCharFlags& flags, const TRunStyle& style,
                                    const config::TColorSet& colors);

}  // namespace tandex::ui

// ---- folder rows ----------------------------------------------------------------

namespace tandex::ui {

// Icon roles of ImageList32 in the folder view.
enum TFolderIconRole : int {
    irFolderClosed = 0,
    irFolderOpen = 1,
    irFile = 2,
    irFolderClosedPlaceholder = 3,
    irFolderOpenPlaceholder = 4,
    irFolderClosedNotFound = 5,
    irFolderOpenNotFound = 6,
    irFileStatus = 7,
    irArchive = 8,
};

// An absent entry's text begins with this character; it shows empty.
inline bool isPlaceholderText(const QString& text) { return text.startsWith(QChar(kFillerChar)); }

// The icon role of a pane's cell: folderState 0 file, 1 closed, 2 open;
// status is the pane's FolderRowStatus. A path not found on this side wins
// over the placeholder look, which says only that the entry is absent.
int folderIconRole(int folderState, bool placeholder, int status, bool archiveName);

// The tree guide lines of one row in one pane: plain lines and the filled
// junction circles, in the row area's coordinates.
struct TTreeSegment {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const TTreeSegment&) const = default;
};

struct TTreeLines {
    std::vector<TTreeSegment> lines;
    std::vector<TTreeSegment> circles;  // bounding boxes: (left, top) to (right, bottom)
};

struct TTreeMetrics {
    int textX = 0;  // the pane's text origin
    int y = 0;      // the row's top
    int lineHeight = 16;
    int charWidth = 8;
    int dpiPx2 = 2, dpiPx3 = 3, dpiPx8 = 8;
};

// nextSibling[0] is the row's own entry, nextSibling[k] its k-th ancestor;
// depth levels are drawn (none for a top-level row).
TTreeLines treeLinePrimitives(int depth, const std::vector<bool>& nextSibling, const TTreeMetrics& m);

// A run of paintCharDiffCells: the columns (1-based) written for both panes
// at once in one state.
struct TCharDiffRun {
    int column = 1;
    int count = 0;
    bool differs = false;
    bool operator==(const TCharDiffRun&) const = default;
};

// The runs of two folder texts from firstColumn on, over at most each
// pane's visible columns. With infoWidth above 0 (the list view) every
// column from infoWidth on counts as different: the path part is always
// marked.
std::vector<TCharDiffRun> splitCharDiffRuns(const QString& left, const QString& right, int firstColumn,
                                        int visibleLeft, int visibleRight, int infoWidth);

// The font of a run in a pane: equal runs in the selection's or the pane's
// text colour, differing ones in ModFldCol on a folder row, else DiffCol.
TColor charDiffRunFont(int pane, bool differs, bool selected, bool folderRow, const config::TColorSet& colors);

// The colour of a pressed section of the folder header: HeadLnBgCol with
// its red byte 20 lower, never below 0.
TColor pressedHeaderColor(TColor headLineBackground);

// The hint of a header section (empty for the sections without one).
QString headerSectionHint(int section);

// The section under x: the last one whose left edge is left of x, 0 when none.
int headerSectionAt(const std::vector<int>& sectionLefts, int x);

}  // namespace tandex::ui
