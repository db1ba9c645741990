#pragma once
// The walks behind difference navigation, go to line and scrolling, as
// plain functions on the rows of the current view. The main window applies
// what they find (selection, caret, first visible row, repaint); keeping
// them apart lets them be checked on hand-made rows.

#include <QString>

namespace tandex::ui {

// What the walks need to know of the current view's rows (0-based).
class TNavRows {
public:
    virtual ~TNavRows() = default;
    virtual int RowCount() const = 0;
    virtual bool Differs(int row) const = 0;
    // 0 for a file or line row, above 0 for a folder row.
    virtual int FolderState(int row) const = 0;
    // The file line number (byte offset in the address view) shown at the
    // row on a pane, below 0 for none.
    virtual int LineNumber(int pane, int row) const = 0;
    virtual int TextLength(int pane, int row) const = 0;
    // The folder view's depth of the row (0 at the roots), 0 elsewhere.
    virtual int Depth(int /*row*/) const { return 0; }
    // Opens a closed folder row and answers the rows inserted behind it.
    // Const because the rows are a view: what opens are the stores behind
    // it. Views without folders never open anything.
    virtual int OpenFolder(int /*row*/) const { return 0; }
};

// A run of differing file or line rows; first < 0 when none was found.
struct TDiffRun {
    int first = -1;
    int last = -1;
    bool Found() const { return first >= 0; }
};

// The next run at or after from. With leaveCurrent the run that holds
// from is stepped over first, so a user standing inside a run gets the
// next one. A differing closed folder met on the way is opened and the
// walk goes on into its children: a difference is never left hidden.
TDiffRun NextDifferenceRun(const TNavRows& rows, int from, bool leaveCurrent);

// The run before from. A start inside a run (other than on the last row,
// where "last difference" starts) leaves that run first, so the walk never
// returns the run the caret stands on. A differing closed folder met on
// the way is opened and the walk goes on with its last child.
TDiffRun PreviousDifferenceRun(const TNavRows& rows, int from);

// The first visible row (1-based) that shows the 0-based row, or top when
// it is shown already: the row lands a few rows below the page's top.
int ScrollTopForRow(int row, int top, int rowsPerPage);

// The first visible row of the last page, at least 1.
int LastPageTop(int rowCount, int rowsPerPage);

// The row and pane of the longest line: the first row with the greatest
// length on either pane; the right pane only when strictly longer there.
struct TLineTarget {
    int pane = 1;
    int row = -1;
};
TLineTarget LongestLine(const TNavRows& rows);

// The file row one step from a row, forward or back, opening closed
// folders on the way; back over a closed folder the walk enters it at its
// last entry. -1 before the first row, RowCount() past the last.
int StepFileRow(const TNavRows& rows, int from, bool forward);

// The first row at depth, -1 when none.
int FirstRowAtDepth(const TNavRows& rows, int depth);

// The first row showing file line index + 1 on pane; -1 when the line is
// hidden or does not exist.
int RowOfLine(const TNavRows& rows, int pane, int index);

// The last row carrying a line number (0 counts: a byte offset) on a
// pane, -1 for none.
int LastNumberedRow(const TNavRows& rows, int pane);

// The column (1-based) of byte group (0-based) of a hex row text: groups
// of three characters, padding no-break spaces stepped over, at most
// maxGroups groups. 0 for an empty text.
int HexGroupColumn(const QString& text, int group, int maxGroups);

// A horizontal position of the binary view snapped to the start of its
// hex group.
int SnapHexPosition(int position);

// Scroll requests of the vertical bar.
enum class TScrollStep { LineUp, LineDown, PageUp, PageDown, Track, Other };

// The first visible row after a scroll step; top unchanged when the step
// does nothing. trackPosition is used by Track only.
int ScrollStepTop(TScrollStep step, int top, int rowCount, int rowsPerPage, int trackPosition);

// Turns wheel deltas into rows, 40 units a row. The remainder carries to
// the next event in the same direction, so a touchpad's small deltas add
// up while a 120-unit notch gives exactly three rows.
class TWheelSteps {
public:
    // Signed rows for this delta (positive upwards).
    int Rows(int delta);
    void Reset() { remainder_ = 0; }

private:
    int remainder_ = 0;
};

// The first visible row after a wheel move of rows (positive upwards).
int WheelTop(int rows, int top, int rowCount, int rowsPerPage);

}  // namespace tandex::ui
