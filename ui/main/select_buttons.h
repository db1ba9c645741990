#pragma once
// The four select buttons of the pane header as pure steps over their Tags.
// The Tags are what other parts of the window read: the select-all buttons
// hold 2 (released) or 4 (pressed) on the left and 258 or 260 on the
// right, so "pressed" is Tag & 6 == 4 on both; the select-newer buttons
// keep their toggle in bit value 1 over a base of 0 (left) or 256 (right).
// A button's face (labelSelectButton) shows what its next press does.

namespace tandex::ui {

// The kinds selectRows takes.
enum TSelectKind : int {
    skEveryRow = 0,     // every file or line, closed folders opened
    skAllFiles = 1,     // every row, then the folders unselected
    skNewer = 2,        // newer files
    skEqual = 3,        // rows that do not differ
    skDifferent = 4,    // rows that differ
    skOrphans = 5,      // rows missing on the other pane
    skInvert = 6,
    skClear = -1,       // no selection: the button was released
};

struct TSelectStep {
    int tag = 0;          // the button's new Tag
    int releaseMask = 0;  // resetSelectButtons mask for the other three
    int kind = skClear;
};

// A press of fbLSelAll (right false) or fbRSelAll. forceSelect: the menu
// items that always select; plainKind: the button and its "in ... pane"
// item select every row (kind 0), other items every file (kind 1).
TSelectStep selectAllStep(int tag, bool right, bool forceSelect, bool plainKind);

// A press of fbLSelNew or fbRSelNew; fromItem starts from the base Tag so
// that the menu item always selects the newer or different rows.
TSelectStep selectNewStep(int tag, bool right, bool fromItem, bool folderView);

}  // namespace tandex::ui
