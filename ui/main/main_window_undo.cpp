// The undo command: pops the active pane's records of the latest group and
// replays each through the routines a user's keys and commands run, with
// recording off, so that every changed line is compared again as it would
// be after typing.

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/line_keys.h"
#include "engine/main_window_services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

constexpr QChar kTabFill = QChar(127);

// Undo columns of a copied line's record.
constexpr int kRestoreLine = 0;
constexpr int kRemoveLine = 1;
constexpr int kRestoreText = 2;

void caretTo(int pane, int column, int row) {
    auto& ed = engine::editor();
    ed.PlaceCaret(column, row, pane);
    ed.SetSelection(ed.Caret.Column, ed.Caret.Row, 0, -1);
    engine::rows().ClearSelection();
}

// The index of the real line numbered number, -1 when there is none.
int indexOfLineNumber(int pane, int number) {
    const auto& lines = engine::paneStores().TextLines[size_t(pane)];
    for (int i = 0; i < lines.StoredSize(); ++i)
        if (!lines.IsGap(i) && lines[i]->LineNumber == number) return i;
    return -1;
}

// "line:column" of a position record.
std::pair<int, int> positionOf(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    return {text.left(colon).toInt(), text.mid(colon + 1).toInt()};
}

// The folded position of a stored column of line.
int foldedColumn(const QString& line, int column) {
    QString copy = line;
    const int at = engine::editor().FoldTabFill(copy, column);
    return at == 0 ? column : at;
}

// Removes the text from (column1, index1) up to before (column2, index2):
// the start line keeps what stood before column1 and takes the end line's
// part from column2 on; the lines in between and the end line go.
void removeSpan(int pane, int index1, int column1, int index2, int column2) {
    auto& ed = engine::editor();
    auto& lines = engine::paneStores().TextLines[size_t(pane)];
    if (lines.IsGap(index1)) return;
    const QString first = lines[index1]->Text;
    const QString last = lines[index2]->Text;
    QString head = first, tail = last;
    const int from = foldedColumn(first, column1);
    const int to = foldedColumn(last, column2);
    ed.FoldTabFill(head, 1);
    ed.FoldTabFill(tail, 1);
    QString joined = head.left(from - 1) + tail.mid(to - 1);
    ed.ExpandTabs(joined, 1);
    ed.SetLineText(pane, index1, joined);
    if (index2 > index1) {
        // The joined line ends as the end line did.
        if (!lines.IsGap(index2)) lines[index1]->NoBreak = lines[index2]->NoBreak;
        engine::paneStores().FreeTextLines(index1 + 1, index2, lines);
    }
}

// Sets the NoBreak of the real line numbered number.
void setLineGoesOn(int pane, int number, bool goesOn) {
    const int index = indexOfLineNumber(pane, number);
    if (index < 0) return;
    engine::paneStores().TextLines[size_t(pane)][index]->NoBreak = goesOn ? 1 : 0;
    engine::paneStores().LineBreaksChanged(pane);
}

}  // namespace

// ---- the toolbar buttons ----------------------------------------------------------

void TF_Main::TB_UNDOLClick(QObject*) { undoButtonClick(TB_UNDOL, 1); }

void TF_Main::TB_UNDORClick(QObject*) { undoButtonClick(TB_UNDOR, 2); }

void TF_Main::undoButtonClick(QAction* button, int pane) {
    if (viewType_ != vtText && viewType_ != vtBinary) return;
    // A click while a replay runs would switch its pane under it.
    if (undoButtonDown_[size_t(pane)] || undoRunning_) return;
    undoButtonDown_[size_t(pane)] = true;
    auto* shown = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(button));
    if (shown) shown->setDown(true);
    config::eventPump().processEvents();
    setActivePane(viewType_, pane);
    engine::editor().SetActiveSide(pane);
    Undo1Click(button);
    if (shown) shown->setDown(false);
    undoButtonDown_[size_t(pane)] = false;
}

// ---- the undo command -------------------------------------------------------------

void TF_Main::restoreLineFilter() {
    if (!undoFilterOff_) return;
    undoFilterOff_ = false;
    auto& r = engine::rows();
    engine::paneStores().LineFilterActive = 1;
    r.FilterTextRows(r.TextViewFilter);
    updateRowRange();
}

void TF_Main::Undo1Click(QObject*) {
    auto& st = engine::paneStores();
    auto& ed = engine::editor();
    auto& undo = engine::undoStack();
    if (!st.UndoEnabled || !config::AppSettings().TEEnabled || undoRunning_) return;
    st.UndoEnabled = 0;
    undoRunning_ = true;
    const config::BusyCursor hourglass;
    // The window comes back to normal also when a replay throws.
    struct Finish {
        TF_Main* w;
        ~Finish() {
            auto& ed = engine::editor();
            ed.EditBusy = 0;
            w->restoreLineFilter();
            w->scrollRowIntoView(ed.Caret.Row);
            w->undoRunning_ = false;
            w->unlockPaint();
            w->refreshView();
            engine::paneStores().UndoEnabled = 1;
        }
    } finish{this};
    lockPaint();
    engine::rows().ClearLineSelection();
    const int pane = ed.ActiveSide;
    if (!engine::PaneStores::IsPane(pane)) return;

    for (;;) {
        engine::TUndoRec rec = undo.PopUndo(pane);
        if (rec.Kind == engine::ukNone) break;
        bool known = false;
        {
            struct AfterRecord {
                TF_Main* w;
                int pane;
                ~AfterRecord() {
                    engine::editor().EditBusy = 0;
                    auto& undo = engine::undoStack();
                    auto& tabs = engine::fccTabs();
                    if (undo.HasUndo(pane)) {
                        // Back at the text last saved, with edits from
                        // before the save still to undo.
                        if (undo.AtSavedPoint(pane)) {
                            tabs.ClearPaneModified(pane);
                            w->updateSaveCommands();
                            w->updateControls();
                        }
                        return;
                    }
                    // The stack is back where the pane was last loaded, or
                    // past a save that left records (the undo mark).
                    if (undo.UndoMark[size_t(pane)])
                        tabs.MarkPaneModified(pane);
                    else
                        tabs.ClearPaneModified(pane);
                    w->restoreLineFilter();
                    w->updateSaveCommands();
                    w->updateControls();
                }
            } after{this, pane};
            known = replayUndo(pane, rec);
        }
        if (!known) access::FZLog(QStringLiteral("Unkown UNDO: ") + QString::number(rec.Kind));
        if (!rec.Continues) break;
    }
}

bool TF_Main::replayUndo(int pane, engine::TUndoRec& rec) {
    auto& ed = engine::editor();
    auto& r = engine::rows();
    auto& st = engine::paneStores();
    auto& lines = st.TextLines[size_t(pane)];
    const int row = std::max(0, r.RowOfLineNumber(pane, int(rec.Line)));
    switch (rec.Kind) {
    case engine::ukCaret:
        caretTo(pane, rec.Column, row);
        changedEdit({}, 0, 3);
        refreshDetails(row);
        return true;

    case engine::ukDeleted: {
        if (rec.Column > 0) {
            caretTo(pane, rec.Column, row);
            insertText(rec.Text, r.TextRowIndex(row), rec.Column);
            return true;
        }
        // Whole lines: back above the line that followed them, or behind
        // the pane's last line when they were its end.
        const int next = indexOfLineNumber(pane, int(rec.Line) + 1);
        bool restored = true;
        if (next >= 0) {
            caretTo(pane, 1, std::max(0, r.TextRowOfLine(next)));
            insertText(rec.Text + QStringLiteral("\r\n"), next, 1);
        } else if (const int above = indexOfLineNumber(pane, int(rec.Line)); above >= 0) {
            const int end = lines[above]->Length() + 1;
            caretTo(pane, end, std::max(0, r.TextRowOfLine(above)));
            insertText(QStringLiteral("\r\n") + rec.Text, above, end);
        } else {
            restored = false;
        }
        if (restored) {
            // The line ends as they were before the delete.
            const int last = int(rec.Line) + int(rec.Text.count(QStringLiteral("\r\n"))) + 1;
            setLineGoesOn(pane, last, rec.NoBreak & 2);
            if (rec.NoBreak & 1) setLineGoesOn(pane, int(rec.Line), true);
        }
        return true;
    }

    case engine::ukBackspace:
    case engine::ukDelete:
    case engine::ukTyped:
        typeBack(pane, rec, row);
        return true;

    case engine::ukWindowEdit6: {
        // A joined line is split again where the two met.
        caretTo(pane, rec.Column, row);
        const int index = r.TextRowIndex(row);
        const int number = r.RowLineNumber(pane, row);
        insertText(QStringLiteral("\r\n"), index, rec.Column);
        lines[index + 1]->Key = 0;
        // Two rows of one file line met there: they meet again without a break.
        if (rec.NoBreak & 1) setLineGoesOn(pane, number, true);
        return true;
    }

    case engine::ukWindowEdit7: {
        engine::TUndoRec replaced = engine::undoStack().PopUndo(pane);
        if (replaced.Kind != engine::ukWindowEdit2) {
            rec = std::move(replaced);
            return false;
        }
        const int endColumn = positionOf(rec.Text).second;
        const int index = r.TextRowIndex(row);
        const bool wasDifferent = r.TextRowDiffers(row);
        const QString text = lines[index]->Text;
        ed.SetLineText(pane, index, text.left(rec.Column - 1) + replaced.Text + text.mid(endColumn - 1));
        ed.SetCaretRowAndRecompare(row, wasDifferent);
        rec = std::move(replaced);
        invalidatePanes(false);
        return true;
    }

    case engine::ukPosition: {
        // The span an insert or a padding added goes again.
        const auto [endNumber, endColumn] = positionOf(rec.Text);
        const int endRow = std::max(0, r.RowOfLineNumber(pane, endNumber));
        const int first = r.TextRowIndex(row), last = r.TextRowIndex(endRow);
        if (first < 0 || last < first) return true;
        const bool wasDifferent = r.TextRowDiffers(row);
        removeSpan(pane, first, rec.Column, last, endColumn);
        caretTo(pane, rec.Column, row);
        editLine_ = std::max(0, r.RowLineNumber(pane, row) - 1);
        if (last > first) {
            changedEdit({}, 4, 2);
        } else {
            ed.RecompareCaretLine(wasDifferent);
            changedEdit({}, 1, 2);
        }
        return true;
    }

    case engine::ukNewLine: {
        caretTo(pane, rec.Column, row);
        bool lineAbove = false;
        for (int above = row - 1; above >= 0 && !lineAbove; --above) lineAbove = !r.IsRowMissing(pane, above);
        const int index = r.TextRowIndex(row);
        if (lineAbove || index < 0 || lines.IsGap(index) || lines[index]->Length() > 0) {
            deleteAtCaret(2);
            return true;
        }
        // Backspace has no line to join the pane's first line to: the line
        // made out of a gap or by Enter there goes back to a gap directly.
        editLine_ = 0;
        st.FreeTextLine(pane, index);
        engine::mainWindow().renumberLines(pane);
        caretTo(pane, 1, row);
        changedEdit({}, 4, 2);
        return true;
    }

    case engine::ukWindowEdit11:
        // Rows and line indices must coincide for the copied lines' records.
        if (r.HiddenRowCount > 0 && st.LineFilterActive) {
            st.LineFilterActive = 0;
            undoFilterOff_ = true;
            r.FilterTextRows(r.TextViewFilter);
            updateRowRange();
        }
        return true;

    case engine::ukWindowEdit12: {
        const int index = r.TextRowIndex(row);
        if (rec.Column == kRestoreLine) {
            // Split off behind the line it followed; the first line of the
            // pane is split off at its start instead.
            caretTo(pane, 1, row);
            if (rec.Line > 0) ed.CaretEnd();
            // The split hands the line's end to the new line; the line keeps its own.
            const quint8 kept = lines.IsGap(index) ? 0 : lines[index]->NoBreak;
            const int at = ed.EditNewLine();
            if (at >= 0) {
                const int restored = rec.Line > 0 ? at : index;
                ed.SetLineText(pane, restored, rec.Text);
                if (rec.Line > 0 && !lines.IsGap(index)) lines[index]->NoBreak = kept;
                if (!lines.IsGap(restored)) lines[restored]->NoBreak = rec.NoBreak & 1;
                st.LineBreaksChanged(pane);
            }
            changedEdit({}, 4, 0);
        } else if (rec.Column == kRemoveLine) {
            st.FreeTextLines(index, index, lines);
        } else if (rec.Column == kRestoreText) {
            ed.SetLineText(pane, index, rec.Text);
            lines[index]->Differs = 0;
            if (!lines.IsGap(index)) {
                lines[index]->NoBreak = rec.NoBreak & 1;
                st.LineBreaksChanged(pane);
            }
        }
        engine::mainWindow().renumberLines(pane);
        return true;
    }

    case engine::ukWindowEdit13:
        engine::lineKeys().ClearLineKeys();
        scheduleRecompare();
        return true;

    default:
        return false;
    }
}

// Types the characters of a Delete, Backspace or typing record back in, or
// deletes what typing added, through the window's own key handlers.
void TF_Main::typeBack(int pane, const engine::TUndoRec& rec, int row) {
    auto& ed = engine::editor();
    const quint8 insertMode = ed.InsertMode;
    caretTo(pane, rec.Column, row);
    if (rec.Kind == engine::ukTyped) {
        if (rec.Text.isEmpty()) {
            for (int i = 0; i <= rec.MergeCount; ++i) {
                if (i > 0) caretTo(pane, std::max(1, ed.Caret.Column - 1), ed.Caret.Row);
                deleteAtCaret(1);
                ed.EditBusy = 0;
            }
        } else {
            // Overwritten characters go back over what replaced them, last first.
            ed.InsertMode = 0;
            QString text = rec.Text;
            while (!text.isEmpty()) {
                QChar c = text.back();
                text.chop(1);
                FormKeyPress(this, c);
                int column = ed.Caret.Column - 1;
                if (!text.isEmpty()) --column;
                caretTo(pane, std::max(1, column), ed.Caret.Row);
            }
            ed.InsertMode = insertMode;
        }
        changedEdit({}, 0, 2);
        scrollRowIntoView(row);
        return;
    }
    ed.InsertMode = 1;
    // Backspace runs hold their characters last-deleted last: from the end
    // of the text they come back in the line's order.
    for (qsizetype i = rec.Text.size(); i-- > 0;) {
        QChar c = rec.Text[i];
        if (c == kTabFill) {
            int key = Qt::Key_Tab;
            FormKeyDown(this, key, Qt::NoModifier);
        } else {
            FormKeyPress(this, c);
        }
        if (rec.Kind == engine::ukDelete) caretTo(pane, rec.Column, row);
    }
    ed.InsertMode = insertMode;
    scrollRowIntoView(row);
}

}  // namespace tandex::ui
