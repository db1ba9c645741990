#include "main_window_tabs.h"

#include <algorithm>
#include <cmath>

#include "config/color_sets.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"

namespace tandex::ui {

namespace {

QString withoutLastSeparator(QString path) {
    if (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))) path.chop(1);
    return path;
}

}  // namespace

QString tabCaption(const TTabBarInput::Slot& slot) {
    if (slot.leftName.isEmpty()) return slot.rightName;
    if (!slot.singlePaneView && slot.leftName != slot.rightName && !slot.rightName.isEmpty())
        return slot.leftName + kTabNameSeparator + slot.rightName;
    return slot.leftName;
}

QString folderTabCaption(const QString& leftRoot, const QString& rightRoot) {
    return withoutLastSeparator(leftRoot) + kTabNameSeparator + withoutLastSeparator(rightRoot);
}

QString tabCloseHint(int viewType) {
    switch (viewType) {
    case engine::tvFolder: return QStringLiteral(" Close \"Folder Compare\" view    Ctrl+F4 ");
    case engine::tvBinary: return QStringLiteral(" Close \"Binary Compare\" view    Ctrl+F4 ");
    case engine::tvImage: return QStringLiteral(" Close \"Image Compare\" view    Ctrl+F4 ");
    default: return QStringLiteral(" Close \"Text Compare\" view    Ctrl+F4 ");
    }
}

int tabIconIndex(int viewType) {
    switch (viewType) {
    case engine::tvFolder: return 13;
    case engine::tvBinary: return 62;
    case engine::tvImage: return 63;
    default: return 12;
    }
}

TTabBar layoutTabBar(const TTabBarInput& in) {
    TTabBar bar;
    int left = 0;
    for (int n = 0; n < engine::kTabSlotCount; ++n) {
        const auto& slot = in.tabs[size_t(n)];
        TTabGeometry& t = bar.tabs[size_t(n)];
        const bool current = n == in.currentTab;
        t.visible = slot.inUse;
        t.left = left;
        t.offset = !in.flatLook && current ? 1 : 0;
        t.bevel = in.flatLook ? 0 : current ? 1 : 2;
        const int s = t.offset;
        if (slot.viewType == engine::tvFolder)
            // A session without a caption would leave the tab blank: the
            // roots name it then.
            t.caption = in.showSession && !in.sessionCaption.isEmpty() ? in.sessionCaption
                                                                       : folderTabCaption(in.leftRoot, in.rightRoot);
        else
            t.caption = tabCaption(slot);
        t.closeHint = tabCloseHint(slot.viewType);
        t.iconIndex = tabIconIndex(slot.viewType);
        t.labelHint = QLatin1Char(' ') + t.caption + QLatin1Char(' ');
        t.naturalWidth = t.width = (in.textWidth ? in.textWidth(t.caption) : 0) + in.scale55;
        t.labelLeft = in.labelLeft;
        t.labelWidth = t.width + 2 * s - in.scale55;
        t.labelHeight = in.lineHeight;
        t.labelTop = (in.barHeight - in.lineHeight) / 2 - (s - 1);
        t.closeLeft = t.width + s - in.scale17;
        t.closeTop = 4 - s;
        t.backgroundColor = current ? config::TabActCol : config::TabInActCol;
        t.textColor = current ? config::TabActTxtCol : config::TabInActTxtCol;
        t.closeImage = current ? 0 : 2;
        // A separator stands between two inactive tabs only: the current
        // tab and the one left of it are set apart by their colours.
        t.separatorVisible = in.flatLook && !current && n != in.currentTab - 1;
        t.iconSize = int(std::lround(in.barHeight / 27.0 * 16));
        t.iconLeft = s - t.iconSize / 2 + 16;
        t.iconTop = 6 - s;
        if (t.visible) {
            left += t.width;
            bar.totalWidth += t.width;
        }
    }
    // fitTabWidths: shrink every tab by the same factor and let the label
    // hints show the captions the labels no longer fit.
    bar.shrunk = in.clientWidth < bar.totalWidth;
    if (bar.shrunk) {
        const double factor = double(std::min(in.clientWidth, bar.totalWidth)) / bar.totalWidth;
        left = 0;
        for (int n = 0; n < engine::kTabSlotCount; ++n) {
            TTabGeometry& t = bar.tabs[size_t(n)];
            const int c = n == in.currentTab ? 1 : 0;
            t.left = left;
            t.width = int(std::lround(t.naturalWidth * factor));
            t.labelWidth = std::max(0, t.width + 2 * c - in.scale55);
            t.closeLeft = t.width + c - in.scale17 - 1;
            if (t.visible) left += t.width;
        }
    }
    for (TTabGeometry& t : bar.tabs) t.labelHintOn = bar.shrunk;
    return bar;
}

// ---- tab state --------------------------------------------------------------

namespace {

// The display filter and row count a tab of the view type keeps.
struct ViewRows {
    int* filter = nullptr;
    int* rowCount = nullptr;
};

ViewRows viewRows(int viewType) {
    auto& r = engine::rows();
    auto& f = engine::folderRows();
    switch (viewType) {
    case engine::tvFolder: return {&f.FolderViewFilter, &f.FolderRowCount};
    case engine::tvText: return {&r.TextViewFilter, &r.TextRowCount};
    case engine::tvBinary: return {&r.BinaryViewFilter, &r.BinaryRowCount};
    default: return {};
    }
}

}  // namespace

void saveTabState(const TTabViewState& view) {
    auto& tabs = engine::fccTabs();
    if (!tabs.CurrentTabInUse()) return;
    auto& slot = tabs.TabSlots[size_t(tabs.CurrentTab)];
    const auto& s = engine::paneStores();
    slot.AccessKinds = s.SideAccessKinds;
    slot.Caret = engine::editor().GetEditCaret();
    slot.SinglePaneView = s.SinglePaneView;
    slot.ToolImage = view.filterImage;
    slot.ViewPosition = view.topRow;
    slot.ActiveSide = quint8(view.activePane);
    if (const ViewRows v = viewRows(slot.ViewType); v.filter) {
        slot.ViewFilter = quint8(*v.filter);
        slot.RowCount = *v.rowCount;
    }
    slot.ViewState = view.forceBinary ? 1 : 0;
    auto& data = slot.FileData;
    if (!s.FolderMode) {
        forFileFields(s, data, [](const auto& store, auto& copy) { copy = store; });
        data.RuleFixedKinds = view.ruleFixedKinds;
    }
    data.ImageLoaded = s.ImageLoaded;
    slot.BinaryViewState = {view.longestLines[1], view.longestLines[2]};
}

bool restoreTabState(TTabViewState& view) {
    auto& tabs = engine::fccTabs();
    if (!tabs.CurrentTabInUse()) return false;
    const auto& slot = tabs.TabSlots[size_t(tabs.CurrentTab)];
    auto& s = engine::paneStores();
    auto& r = engine::rows();
    view.activePane = slot.ActiveSide == 2 ? 2 : 1;
    engine::editor().SetActiveSide(view.activePane);
    s.FolderMode = slot.ViewType == engine::tvFolder ? 1 : 0;
    const auto& data = slot.FileData;
    if (!s.FolderMode) {
        forFileFields(s, data, [](auto& store, const auto& copy) { store = copy; });
        view.ruleFixedKinds = data.RuleFixedKinds;
    }
    s.UpdateMaxLineCount();
    s.ImageLoaded = data.ImageLoaded;
    s.BinaryMode = slot.ViewType == engine::tvBinary ? 1 : 0;
    view.forceBinary = slot.ViewState != 0;
    s.SinglePaneView = slot.SinglePaneView;
    s.SideAccessKinds = slot.AccessKinds;
    view.longestLines = {0, slot.BinaryViewState[0], slot.BinaryViewState[1]};
    if (slot.ToolImage > 0) view.filterImage = slot.ToolImage;
    if (const ViewRows v = viewRows(slot.ViewType); v.filter) {
        *v.filter = slot.ViewFilter;
        *v.rowCount = slot.RowCount;
    }
    r.SelectSelectionMode(s.BinaryMode != 0);
    // The caret goes back once the view's mode and rows are in place: the
    // editor fits the column to the row it lands on, which must be a row
    // of this tab's view, not of the one shown before.
    if (!s.FolderMode) engine::editor().CaretGoToPoint(slot.Caret);
    view.topRow = slot.ViewPosition;
    return true;
}

}  // namespace tandex::ui
