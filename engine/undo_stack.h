#pragma once
// Each text pane keeps a stack of undo records for the edits made in it.
// Consecutive typing, Delete and Backspace on one line merge into one
// record, so one undo step takes back a run of keystrokes; the Continues
// byte groups several records into one user action.

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace tandex::engine {

// Kinds of undo records (who pushes them is noted in brackets).
enum UndoKind : quint8 {
    ukNone = 0,
    ukCaret = 1,        // caret position marker, or blanks padded up to the caret [editor, window]
    ukWindowEdit2 = 2,  // [window]
    ukDeleted = 3,      // deleted text: a marked span or whole lines joined by CR LF [editor]
    ukBackspace = 4,    // characters removed by Backspace, merged in reverse order [editor]
    ukDelete = 5,       // characters removed by Delete [editor]
    ukWindowEdit6 = 6,  // [window]
    ukWindowEdit7 = 7,  // [window]
    ukPosition = 8,     // a position text: line number, ":" and a column [editor, window]
    ukTyped = 9,        // a typed character (with the overwritten one in overwrite mode) [editor]
    ukNewLine = 10,     // a new line record [editor]
    ukWindowEdit11 = 11,
    ukWindowEdit12 = 12,
    ukWindowEdit13 = 13,
};

struct TUndoRec {
    QString Text;        // empty when the record carries none
    quint32 Line = 0;    // a file line number (kinds 1, 4, 5, 9, 13) or the caller's value
    int Column = 0;
    int MergeCount = 0;  // further keystrokes merged into the record
    quint8 Continues = 0;
    quint8 Kind = ukNone;
    // Line ends the record puts back (NoBreak of the lines involved): for
    // a split line (kind 6) bit 0 is the upper part's; for whole lines
    // (kind 3, column 0) bit 0 is the line above's and bit 1 the last put
    // back's; for a line of kind 12 bit 0 is the line's own.
    quint8 NoBreak = 0;
};

class UndoStack {
public:
    void PushUndo(int kind, int pane, int rowOrLine, const QString& text, int column, quint8 noBreak = 0);
    void BeginUndoGroup() { UndoContinues = 0; }
    // Takes the top record; an empty stack gives Kind 0 and no text.
    TUndoRec PopUndo(int pane);
    bool HasUndo(int pane) const;
    void ClearUndo(int pane);
    // The records of a pane, bottom first (for the tab state and tests).
    const std::vector<TUndoRec>& Records(int pane) const;
    // Exchanges the stacks of the two panes.
    void SwapStacks();
    // The pane's text was just saved: the stack as it stands now is the
    // saved text. An undo back to this point leaves the pane unmodified.
    void MarkSaved(int pane);
    // The stack stands where the pane was last saved or loaded: no record
    // below that point was popped, and none at it was merged into since.
    bool AtSavedPoint(int pane) const;

    quint8 UndoContinues = 0;
    std::array<quint8, 3> UndoMark{};

private:
    std::array<std::vector<TUndoRec>, 3> stacks_;
    // Records on the stack when the pane was saved; -1 once that state
    // cannot come back by undoing.
    std::array<qsizetype, 3> savedDepth_{0, 0, 0};
};

UndoStack& undoStack();

}  // namespace tandex::engine
