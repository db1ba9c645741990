#pragma once
// The comparison tabs without widgets: the geometry, captions, hints and
// colours of the tab bar, computed from a snapshot of the slots and the
// look, and the copy of the shown comparison's state into its tab slot and
// back. The window only moves and colours its tab panels as told here.

#include <QString>
#include <array>
#include <functional>

#include "engine/tab_slots.h"

namespace tandex::ui {

// What the tab bar depends on.
struct TTabBarInput {
    struct Slot {
        bool inUse = false;
        int viewType = engine::tvFree;
        bool singlePaneView = false;
        QString leftName, rightName;  // file names of the slot's panes
    };
    std::array<Slot, engine::kTabSlotCount> tabs;
    int currentTab = 0;
    bool flatLook = true;
    int clientWidth = 0;
    int barHeight = 30;  // P_TabControl's height
    int lineHeight = 16;
    int scale55 = 55, scale17 = 17, labelLeft = 30;  // ScaleDpi(55), ScaleDpi(17), the label's left edge
    // The folder tab's caption: the session caption when the settings ask
    // for it, else the two roots.
    bool showSession = false;
    QString sessionCaption;
    QString leftRoot, rightRoot;
    // Width of a caption in the tab font.
    std::function<int(const QString&)> textWidth;
};

// One tab panel as the window places it.
struct TTabGeometry {
    bool visible = false;
    int left = 0, width = 0, naturalWidth = 0;
    int offset = 0;  // 1 for the current tab in the classic look
    QString caption, labelHint, closeHint;
    bool labelHintOn = false;
    int labelLeft = 0, labelTop = 0, labelWidth = 0, labelHeight = 0;
    int closeLeft = 0, closeTop = 0;
    int iconSize = 16, iconLeft = 0, iconTop = 0, iconIndex = 12;
    // Bevel of the panel: 0 none (flat look), 1 raised, 2 lowered.
    int bevel = 0;
    bool separatorVisible = false;
    int backgroundColor = 0, textColor = 0;  // TColorIndex of the current colour set
    int closeImage = 0;
};

struct TTabBar {
    std::array<TTabGeometry, engine::kTabSlotCount> tabs;
    int totalWidth = 0;  // sum of the visible tabs' natural widths
    bool shrunk = false;
};

// The caption separator between the two names of a comparison.
inline const QString kTabNameSeparator = QStringLiteral(" \u2261?\u2261 ");

// A file tab's caption: the right name when the left is empty; both names
// when they differ and the view shows two panes; else the left name.
QString tabCaption(const TTabBarInput::Slot& slot);
// The folder roots without their last separator, joined.
QString folderTabCaption(const QString& leftRoot, const QString& rightRoot);
QString tabCloseHint(int viewType);
int tabIconIndex(int viewType);

// drawTabBar and, when the tabs do not fit the client width, fitTabWidths.
TTabBar layoutTabBar(const TTabBarInput& in);

// ---- tab state --------------------------------------------------------------

// Visits the per-pane file state of the stores beside its copy in a slot.
template <class Stores, class Data, class Visit>
void forFileFields(Stores& s, Data& d, Visit visit) {
    visit(s.LineCount, d.LineCounts);
    visit(s.FileErrors, d.FileErrors);
    visit(s.FileSizes, d.FileSizes);
    visit(s.FileTimes, d.FileTimes);
    visit(s.FileNames, d.FileNames);
    visit(s.FilePaths, d.FilePaths);
    visit(s.FileKinds, d.FileKinds);
}

// The window's own part of a comparison's state, next to the pane stores,
// rows and editor that the tab state also copies.
struct TTabViewState {
    int topRow = 1;        // first visible row of the shown view's kind
    int activePane = 1;
    bool forceBinary = false;
    int filterImage = 0;   // image of TB_FILTER
    std::array<int, 3> longestLines{};  // per pane
    std::array<quint8, 3> ruleFixedKinds{};  // a file-type rule fixed the pane's kind
};

// Writes the shown comparison's state into the current slot; nothing when
// that slot is not in use.
void saveTabState(const TTabViewState& view);
// Reads the current slot back into the stores, rows, editor and view
// state; nothing (and false) when the slot is not in use. The top row is
// left in view.topRow for the window to clamp.
bool restoreTabState(TTabViewState& view);

}  // namespace tandex::ui
