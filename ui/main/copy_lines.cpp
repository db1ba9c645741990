#include "ui/main/copy_lines.h"

#include "config/num_format.h"
#include "engine/main_window_services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"

namespace tandex::ui {

namespace {

using engine::TTextLine;

// Undo columns of kind 12: what the record restores.
constexpr int kRestoreLine = 0;    // the removed line, after line number Line
constexpr int kRemoveLine = 1;     // the added line number Line goes again
constexpr int kRestoreText = 2;    // line number Line gets its old text back

// The line pair at index, changing the target; number is the count of real
// target lines before index, so that the numbers need no second pass.
bool copyPair(int source, int index, qint32& number) {
    auto& stores = engine::paneStores();
    const int target = engine::PaneStores::OtherSide(source);
    auto& targetLines = stores.TextLines[size_t(target)];
    TTextLine* s = stores.TextLines[size_t(source)][index];
    TTextLine* t = targetLines[index];
    const bool sourceGap = s->Gap != 0, targetGap = t->Gap != 0;
    if (sourceGap && targetGap) return false;
    if (!sourceGap && !targetGap && s->Text == t->Text) {
        t->LineNumber = ++number;
        return false;
    }
    auto& undo = engine::undoStack();
    if (sourceGap) {
        undo.PushUndo(engine::ukWindowEdit12, target, number, t->Text, kRestoreLine, t->NoBreak);
        targetLines.Free(index, index);
    } else {
        if (targetGap) {
            t = targetLines.New(index);
            t->LineNumber = ++number;
            undo.PushUndo(engine::ukWindowEdit12, target, t->LineNumber, QString(), kRemoveLine);
        } else {
            t->LineNumber = ++number;
            undo.PushUndo(engine::ukWindowEdit12, target, t->LineNumber, t->Text, kRestoreText, t->NoBreak);
        }
        t->Text = s->Text;
        // The copy ends as its source does, so both save the same bytes.
        t->NoBreak = s->NoBreak;
        stores.LineBreaksChanged(target);
        t->CharFlags.clear();
        t->Key = 0;
        s->Differs = 0;
        t->Differs = 0;
    }
    engine::fccTabs().MarkPaneModified(target);
    return true;
}

qint32 realLinesBefore(int pane, int index) {
    const auto& lines = engine::paneStores().TextLines[size_t(pane)];
    qint32 count = 0;
    for (int i = 0; i < index && i < lines.StoredSize(); ++i)
        if (!lines.IsGap(i)) ++count;
    return count;
}

}  // namespace

bool CopyLinePair(int source, int index) {
    if (!engine::PaneStores::IsPane(source)) return false;
    qint32 number = realLinesBefore(engine::PaneStores::OtherSide(source), index);
    const bool changed = copyPair(source, index, number);
    if (changed) engine::RenumberTextLines(engine::PaneStores::OtherSide(source));
    return changed;
}

int CopyMarkedLinePairs(int source) {
    if (!engine::PaneStores::IsPane(source)) return 0;
    auto& stores = engine::paneStores();
    auto& selection = engine::rows().TextSelection;
    const int target = engine::PaneStores::OtherSide(source);
    auto& targetLines = stores.TextLines[size_t(target)];
    int changed = 0;
    qint32 number = 0;
    const int count = stores.MaxLineCount;
    for (int i = 0; i < count; ++i) {
        const bool marked = size_t(i) < selection.size() && selection[size_t(i)] != 0;
        if (!marked) {
            if (!targetLines.IsGap(i)) targetLines[i]->LineNumber = ++number;
            continue;
        }
        if (copyPair(source, i, number)) ++changed;
        selection[size_t(i)] = 0;
    }
    return changed;
}

QString CopyLinesText(int count, int source) {
    return QStringLiteral("Copy the ") + config::CountText(QStringLiteral("+ selected line"), count) +
           QStringLiteral(" to the ") + (source == 1 ? QStringLiteral("right") : QStringLiteral("left")) +
           QStringLiteral(" pane");
}

}  // namespace tandex::ui
