#pragma once
// Up to four comparisons stay open at once, one per tab of the main
// window. The state of the comparison that is not shown waits in its slot;
// the slots also remember, per pane, whether the user modified the pane and
// whether the user declined to save it.

#include "engine/pane_stores.h"

#include <QPoint>

namespace tandex::engine {

enum TabViewType : quint8 { tvFree = 0, tvFolder = 1, tvText = 2, tvBinary = 3, tvImage = 4 };

inline constexpr int kTabSlotCount = 4;

// The modified state of a pane in a slot.
enum PaneModified : quint8 { pmNotModified = 0, pmModified = 1, pmSaveDeclined = 2 };

struct TFCCTab {
    qint32 ViewPosition = 1;
    qint32 DiffCount = 0;
    qint32 RowCount = 0;
    qint32 ToolImage = 0;
    QPoint Caret;  // column, row
    quint8 ViewType = tvFree;
    quint8 ViewFilter = 0;
    quint8 ActiveSide = 1;
    quint8 InUse = 0;
    quint8 ViewState = 0;
    quint8 SinglePaneView = 0;
    std::array<quint8, 3> AccessKinds{1, 1, 1};
    TFileData FileData = emptyFileData();
    std::array<qint32, 2> BinaryViewState{};

    static TFileData emptyFileData() {
        TFileData data;
        data.FileSizes = {-1, -1, -1};
        return data;
    }
};

class FCCTabs {
public:
    FCCTabs();
    FCCTabs(const FCCTabs&) = delete;
    FCCTabs& operator=(const FCCTabs&) = delete;

    // Start-up state: four empty slots, slot 0 current.
    void InitTabSlots();

    bool CurrentTabInUse() const { return TabSlots[size_t(CurrentTab)].InUse != 0; }
    int GetCurrentTab() const { return CurrentTab; }
    void SetCurrentTab(int i);
    int GetCurrentViewType() const { return TabSlots[size_t(CurrentTab)].ViewType; }
    int GetTabViewType(int i) const;
    int FindTabByViewType(int type) const;
    int SelectTabForViewType(int type);
    void RemoveCurrentTab();
    void SetTabDiffCount(int n);
    int GetTabDiffCount() const { return TabSlots[size_t(CurrentTab)].DiffCount; }
    QPoint GetTabCaret() const { return TabSlots[size_t(CurrentTab)].Caret; }
    void GetTabFileName(int i, int pane, QString& text) const;
    void GetTabFilePath(int i, int pane, QString& text) const;
    int GetTabPaneFileKind(int i, int pane) const;
    int GetTabMaxLineCount(int i) const;
    void MarkPaneModified(int pane);
    void MarkPaneSaveDeclined(int i, int pane);
    void ClearTabPaneModified(int i, int pane);
    void ClearPaneModified(int pane);
    bool IsTabPaneModified(int i, int pane) const;
    bool IsPaneModified(int pane) const;
    void RearmDeclinedPanes();
    void SwapPaneModified();

    std::array<TFCCTab, kTabSlotCount> TabSlots;
    int CurrentTab = 0;

private:
    static bool isSlot(int i) { return unsigned(i) < unsigned(kTabSlotCount); }
    void setPaneState(int i, int pane, quint8 state);
    bool started_ = false;
};

FCCTabs& fccTabs();

}  // namespace tandex::engine
