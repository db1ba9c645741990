#include "engine/undo_stack.h"

#include "engine/main_window_services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"


namespace tandex::engine {

namespace {

bool carriesLineNumber(int kind) {
    return kind == ukCaret || kind == ukBackspace || kind == ukDelete || kind == ukTyped || kind == ukWindowEdit13;
}

}  // namespace

void UndoStack::PushUndo(int kind, int pane, int rowOrLine, const QString& text, int column, quint8 noBreak) {
    if (!PaneStores::IsPane(pane) || !paneStores().UndoEnabled) return;
    auto& stack = stacks_[size_t(pane)];
    const quint32 line = carriesLineNumber(kind) ? quint32(rows().RowLineNumber(pane, rowOrLine)) : quint32(rowOrLine);
    if (stack.empty()) {
        mainWindow().updateControls();
    } else {
        TUndoRec& top = stack.back();
        const bool sameLine = top.Line == line && top.Kind == kind;
        bool merge = false;
        if (sameLine && kind == ukTyped)
            merge = top.Column == column - 1 && top.Text.isEmpty() == text.isEmpty();
        else if (sameLine && kind == ukDelete)
            merge = top.Column == column;
        else if (sameLine && kind == ukBackspace)
            merge = top.Column == column + 1;
        // A run merges at most as many keystrokes as a line holds.
        if (merge && noBreak == 0 && top.MergeCount < MaxEditColumns() - 1) {
            // The saved text ended with this record as it was.
            if (qsizetype(stack.size()) == savedDepth_[size_t(pane)]) savedDepth_[size_t(pane)] = -1;
            top.Column = column;
            ++top.MergeCount;
            top.Text += text;  // Backspace runs collect their characters last-deleted last, i.e. reversed
            return;
        }
    }
    TUndoRec rec;
    rec.Kind = quint8(kind);
    rec.Column = column;
    rec.Text = text;
    rec.Line = line;
    rec.Continues = UndoContinues;
    rec.NoBreak = noBreak;
    stack.push_back(std::move(rec));
    UndoContinues = 1;
}

TUndoRec UndoStack::PopUndo(int pane) {
    if (!PaneStores::IsPane(pane) || stacks_[size_t(pane)].empty()) return {};
    auto& stack = stacks_[size_t(pane)];
    TUndoRec rec = std::move(stack.back());
    stack.pop_back();
    // Below the saved point: what is pushed from here on is another text.
    if (qsizetype(stack.size()) < savedDepth_[size_t(pane)]) savedDepth_[size_t(pane)] = -1;
    return rec;
}

void UndoStack::MarkSaved(int pane) {
    if (PaneStores::IsPane(pane)) savedDepth_[size_t(pane)] = qsizetype(stacks_[size_t(pane)].size());
}

bool UndoStack::AtSavedPoint(int pane) const {
    return PaneStores::IsPane(pane) && savedDepth_[size_t(pane)] == qsizetype(stacks_[size_t(pane)].size());
}

bool UndoStack::HasUndo(int pane) const { return PaneStores::IsPane(pane) && !stacks_[size_t(pane)].empty(); }

void UndoStack::ClearUndo(int pane) {
    if (!PaneStores::IsPane(pane)) return;
    stacks_[size_t(pane)].clear();
    stacks_[size_t(pane)].shrink_to_fit();
    UndoMark[size_t(pane)] = 0;
    savedDepth_[size_t(pane)] = 0;
}

const std::vector<TUndoRec>& UndoStack::Records(int pane) const {
    return stacks_[PaneStores::IsPane(pane) ? size_t(pane) : 0];
}

void UndoStack::SwapStacks() {
    stacks_[1].swap(stacks_[2]);
    std::swap(UndoMark[1], UndoMark[2]);
    std::swap(savedDepth_[1], savedDepth_[2]);
}

UndoStack& undoStack() {
    static UndoStack stack;
    return stack;
}

}  // namespace tandex::engine
