#include "engine/tab_slots.h"

namespace tandex::engine {

FCCTabs::FCCTabs() { InitTabSlots(); }

void FCCTabs::InitTabSlots() {
    started_ = false;
    for (CurrentTab = kTabSlotCount - 1; CurrentTab >= 0; --CurrentTab) RemoveCurrentTab();
    CurrentTab = 0;
    started_ = true;
}

void FCCTabs::SetCurrentTab(int i) {
    if (isSlot(i)) CurrentTab = i;
}

int FCCTabs::GetTabViewType(int i) const { return isSlot(i) ? TabSlots[size_t(i)].ViewType : 0; }

int FCCTabs::FindTabByViewType(int type) const {
    for (int i = 0; i < kTabSlotCount; ++i)
        if (TabSlots[size_t(i)].ViewType == type) return i;
    return -1;
}

int FCCTabs::SelectTabForViewType(int type) {
    for (int i = 0; i < kTabSlotCount; ++i) {
        if (TabSlots[size_t(i)].InUse && TabSlots[size_t(i)].ViewType == type) {
            CurrentTab = i;
            return i;
        }
    }
    for (int i = 0; i < kTabSlotCount; ++i) {
        TFCCTab& slot = TabSlots[size_t(i)];
        if (slot.ViewType == tvFree || !slot.InUse) {
            CurrentTab = i;
            slot.ViewType = quint8(type);
            slot.InUse = type != tvFree;
            return -1;
        }
    }
    return -1;
}

void FCCTabs::RemoveCurrentTab() {
    for (int k = CurrentTab; k < kTabSlotCount - 1; ++k) TabSlots[size_t(k)] = TabSlots[size_t(k) + 1];
    // The freed last slot is reset whole, so nothing of the removed tabs
    // (modified states, file kinds, counts) leaks into the next tab.
    TabSlots[kTabSlotCount - 1] = TFCCTab();
    if (started_)
        while (CurrentTab > 0 && !TabSlots[size_t(CurrentTab)].InUse) --CurrentTab;
}

void FCCTabs::SetTabDiffCount(int n) { TabSlots[size_t(CurrentTab)].DiffCount = std::max(n, 0); }

void FCCTabs::GetTabFileName(int i, int pane, QString& text) const {
    text = isSlot(i) && PaneStores::IsPane(pane) ? TabSlots[size_t(i)].FileData.FileNames[size_t(pane)] : QString();
}

void FCCTabs::GetTabFilePath(int i, int pane, QString& text) const {
    text = isSlot(i) && PaneStores::IsPane(pane) ? TabSlots[size_t(i)].FileData.FilePaths[size_t(pane)] : QString();
}

int FCCTabs::GetTabPaneFileKind(int i, int pane) const {
    return isSlot(i) && PaneStores::IsPane(pane) ? TabSlots[size_t(i)].FileData.FileKinds[size_t(pane)] : 0;
}

int FCCTabs::GetTabMaxLineCount(int i) const {
    if (!isSlot(i)) return 0;
    const auto& counts = TabSlots[size_t(i)].FileData.LineCounts;
    return std::max(counts[1], counts[2]);
}

void FCCTabs::setPaneState(int i, int pane, quint8 state) {
    if (isSlot(i) && PaneStores::IsPane(pane)) TabSlots[size_t(i)].FileData.PaneModifiedState[size_t(pane)] = state;
}

void FCCTabs::MarkPaneModified(int pane) { setPaneState(CurrentTab, pane, pmModified); }
void FCCTabs::MarkPaneSaveDeclined(int i, int pane) { setPaneState(i, pane, pmSaveDeclined); }
void FCCTabs::ClearTabPaneModified(int i, int pane) { setPaneState(i, pane, pmNotModified); }
void FCCTabs::ClearPaneModified(int pane) { setPaneState(CurrentTab, pane, pmNotModified); }

bool FCCTabs::IsTabPaneModified(int i, int pane) const {
    return isSlot(i) && PaneStores::IsPane(pane) &&
           TabSlots[size_t(i)].FileData.PaneModifiedState[size_t(pane)] == pmModified;
}

bool FCCTabs::IsPaneModified(int pane) const { return IsTabPaneModified(CurrentTab, pane); }

void FCCTabs::RearmDeclinedPanes() {
    auto& states = TabSlots[size_t(CurrentTab)].FileData.PaneModifiedState;
    for (int pane = 1; pane <= 2; ++pane)
        if (states[size_t(pane)] == pmSaveDeclined) states[size_t(pane)] = pmModified;
}

void FCCTabs::SwapPaneModified() {
    auto& states = TabSlots[size_t(CurrentTab)].FileData.PaneModifiedState;
    std::swap(states[1], states[2]);
}

FCCTabs& fccTabs() {
    static FCCTabs tabs;
    return tabs;
}

}  // namespace tandex::engine
