#pragma once
// Copying the marked lines of one text pane over the lines of the same rows
// in the other pane, with the undo records that take each change back. No
// widget is involved: the main window asks, brackets the run with its
// markers and recompares afterwards (copySelectedLines).

#include <QString>

namespace tandex::ui {

// Makes line pair index of the other pane equal to the source pane's line:
// a gap removes the target line, a line over a gap adds one, differing
// texts are overwritten. Pushes one undo record (kind 12) per change and
// marks the target modified; false when the two were equal already.
bool CopyLinePair(int source, int index);

// Copies every line pair whose selection mark is set and clears the mark;
// the number of pairs that changed. The target's line numbers are kept in
// order as the run goes, so each undo record names the line as it stood.
int CopyMarkedLinePairs(int source);

// "Copy the 3 selected lines to the right pane" for source pane 1.
QString CopyLinesText(int count, int source);

}  // namespace tandex::ui
