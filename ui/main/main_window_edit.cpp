// The block edits of the Edit menu and the pane menu: inserting a text of
// several lines (paste, and the undo command putting deleted text back),
// cut, and the menu items and keys that reach them.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include <algorithm>

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/main_window_services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "main_window.h"

namespace tandex::ui {

namespace {

constexpr QChar kCR = QChar(13);
constexpr QChar kLF = QChar(10);
const QString kLineBreak = QStringLiteral("\r\n");

// Tags that find the first and the last line of an insert again after the
// rows were rebuilt.
constexpr quint8 kStartTag = 2;
constexpr quint8 kEndTag = 4;

// The text with its line breaks as CR LF: a CR not followed by LF gets one
// (also a CR at the very end, which would otherwise stay inside the line and
// break it only in the saved file), and a line longer than maxColumns is
// broken. LF alone stays a character. The first line starts at column.
QString breakLines(const QString& text, int column, int maxColumns, int& breaks) {
    QString out;
    out.reserve(text.size() + 16);
    breaks = 0;
    int counter = column - 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == kCR) {
            out += kLineBreak;
            ++breaks;
            counter = 0;
            if (i + 1 < text.size() && text[i + 1] == kLF) ++i;
            continue;
        }
        if (++counter > maxColumns) {
            out += kLineBreak;
            ++breaks;
            counter = 1;
        }
        out += c;
    }
    return out;
}

// Where InsertTextInLine puts text given at column into a line holding
// stored: the position in the folded line (tabs as one character).
int foldedInsertPosition(const QString& stored, int column) {
    QString folded = stored;
    if (config::AppSettings().TECurBEOL && folded.size() < column - 1)
        folded += QString(column - 1 - folded.size(), QChar(u' '));
    int at = engine::editor().FoldTabFill(folded, column);
    if (at == 0) at = column;
    return std::clamp(at, 1, int(folded.size()) + 1);
}

// The column in the stored line that folded position at maps to.
int storedColumn(const QString& stored, int at) {
    QString folded = stored;
    engine::editor().FoldTabFill(folded, 1);
    return engine::editor().ExpandTabs(folded, at);
}

// The number a position record names for a row: the row's line, or on a
// gap the nearest real line above plus 1.
int positionLineNumber(int pane, int row) {
    auto& r = engine::rows();
    if (!r.IsRowMissing(pane, row)) return r.RowLineNumber(pane, row);
    for (int above = row - 1; above >= 0; --above)
        if (!r.IsRowMissing(pane, above)) return r.RowLineNumber(pane, above) + 1;
    return 1;
}

bool lineEditFocused(QLineEdit*& edit) {
    edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return edit != nullptr;
}

}  // namespace

void TF_Main::createEditCommands() {
    const auto connectItem = [this](QAction* item, void (TF_Main::*handler)(QObject*)) {
        if (!item) return;
        item->setProperty("Built", true);
        connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item); });
    };
    // Shown from the start: a hidden item's shortcut would not reach it
    // before the Edit menu was first opened.
    for (const char* name : {"Paste1", "Cut1"}) {
        QAction* item = findChild<QAction*>(QLatin1String(name));
        connectItem(item, name[0] == 'P' ? &TF_Main::pmPaste1Click : &TF_Main::pmCut1Click);
        if (item) item->setVisible(true);
    }
    if (auto* undo = findChild<QAction*>(QStringLiteral("Undo1"))) {
        connectItem(undo, &TF_Main::Undo1Click);
        undo->setVisible(true);
    }
    // Delete1 is connected with the keys; it is only shown from now on.
    if (auto* item = findChild<QAction*>(QStringLiteral("Delete1"))) item->setProperty("Built", true);
    connectItem(pmPaste1, &TF_Main::pmPaste1Click);
    connectItem(pmCut1, &TF_Main::pmCut1Click);
    connectItem(pmDelete1, &TF_Main::pmDelete1Click);
    // Paste follows what the clipboard holds.
    if (QClipboard* clipboard = QApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, [this] { updateControls(); });
    connect(TB_UNDOL, &QAction::triggered, this, [this] { TB_UNDOLClick(TB_UNDOL); });
    connect(TB_UNDOR, &QAction::triggered, this, [this] { TB_UNDORClick(TB_UNDOR); });
}

// ---- inserting text ---------------------------------------------------------------

void TF_Main::insertText(const QString& source, int index, int column) {
    auto& ed = engine::editor();
    auto& st = engine::paneStores();
    auto& r = engine::rows();
    const int pane = ed.ActiveSide;
    if (source.isEmpty() || ed.EditBusy || !engine::PaneStores::IsPane(pane) || editingBlocked()) return;
    const int maxColumns = engine::MaxEditColumns();
    auto& lines = st.TextLines[size_t(pane)];

    // A pane that cannot take the new lines refuses before anything changed,
    // the selection included: freeing lines to make room would lose the
    // pane's last lines.
    int breaks = 0;
    breakLines(source, index < 0 ? ed.Caret.Column : column, maxColumns, breaks);
    if (breaks > 0 && qint64(st.LineCount[size_t(pane)]) + breaks > engine::kMaxFileLines) {
        config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
        return;
    }

    ed.EditBusy = 1;
    const config::BusyCursor hourglass;
    if (index < 0) {
        deleteAtCaret(0);
        ed.EditBusy = 1;
        column = ed.Caret.Column;
        index = r.TextRowIndex(ed.Caret.Row);
    }
    if (index < 0) {
        ed.EditBusy = 0;
        return;
    }
    column = std::max(column, 1);
    int startRow = std::max(0, r.TextRowOfLine(index));
    const bool wasDifferent = r.TextRowDiffers(startRow);
    editLine_ = std::max(0, r.RowLineNumber(pane, startRow) - 1);

    const QStringList pieces = breakLines(source, column, maxColumns, breaks).split(kLineBreak);
    const int n = int(pieces.size()) - 1;
    bool structural = n > 0;
    if (n > 0) {
        // Before the line at the first column, else behind it. The other
        // pane is left as it is: the comparison aligns them again.
        const int at = column > 1 ? index + 1 : index;
        lines.InsertSlots(at, n, engine::kLineSlots);
        for (int k = 0; k < n; ++k) lines.New(at + k);
        // Behind the column the line's rest moves to the last new line, and
        // with it how the line ends.
        if (column > 1 && !lines.IsGap(index)) {
            lines[index + n]->NoBreak = lines[index]->NoBreak;
            lines[index]->NoBreak = 0;
        }
        auto& count = st.LineCount[size_t(pane)];
        count = std::min(std::max(count + n, at + n), engine::kMaxFileLines);
        st.UpdateMaxLineCount();
        engine::mainWindow().renumberLines(pane);
        r.FilterTextRows(r.TextViewFilter);
    }

    // Each piece ends its line; the part of the first line behind the
    // column moves to the end of the last one.
    const int startAt = foldedInsertPosition(lines[index]->Text, column);
    QString rest, moved;
    int current = index, at = column;
    for (int k = 0; k < n; ++k) {
        ed.InsertTextInLine(pane, current, at, rest, pieces[k] + kCR, -1);
        moved += rest;
        ++current;
        at = 1;
    }
    const QString& last = pieces[n];
    if (lines.IsGap(current)) structural = true;
    const int lastAt = foldedInsertPosition(lines[current]->Text, at);
    ed.InsertTextInLine(pane, current, at, rest, last, -1);
    const int startColumn = storedColumn(lines[index]->Text, startAt);
    const int endColumn = storedColumn(lines[current]->Text, lastAt + int(last.size()));
    if (!moved.isEmpty()) ed.InsertTextInLine(pane, current, endColumn, rest, moved, -1);

    engine::fccTabs().MarkPaneModified(pane);
    const int endIndex = current;
    r.TagLineAtRow(pane, r.TextRowOfLine(index), kStartTag);
    r.TagLineAtRow(pane, r.TextRowOfLine(endIndex), kEndTag);
    ed.Caret.Row = startRow;
    if (structural) {
        changedEdit({}, 4, 2);
    } else {
        ed.RecompareCaretLine(wasDifferent);
        changedEdit({}, 1, 2);
    }
    editLine_ = 0;

    startRow = r.TakeTaggedLineRow(pane, kStartTag);
    int endRow = r.TakeTaggedLineRow(pane, kEndTag);
    if (endRow < 0) endRow = std::max(startRow, 0);
    engine::TCaretPos caretEnd{endColumn, endRow};
    if (st.UndoEnabled && startRow >= 0) {
        scrollRowIntoView(endRow);
        engine::undoStack().PushUndo(engine::ukPosition, pane, r.RowLineNumber(pane, startRow),
                                     QString::number(positionLineNumber(pane, endRow)) + u':' +
                                         QString::number(endColumn),
                                     startColumn);
        // The last line may now be too long: it is broken where a typed
        // Enter would break it.
        if (r.RowTextLength(pane, endRow) > maxColumns) {
            auto& s = config::AppSettings();
            const bool indent = s.TEAutoIndent;
            s.TEAutoIndent = false;
            ed.PlaceCaret(maxColumns + 1, endRow, pane);
            const bool broken = ed.EditNewLine() >= 0;
            s.TEAutoIndent = indent;
            if (broken) {
                changedEdit({}, 4, 0);
                if (endColumn > maxColumns) caretEnd = {endColumn - maxColumns, endRow + 1};
            }
        }
    }
    ed.PlaceCaret(caretEnd.Column, caretEnd.Row, pane);
    ed.SetSelection(ed.Caret.Column, ed.Caret.Row, 0, -1);
    r.ClearSelection();
    refreshView();
    ed.EditBusy = 0;
}

// ---- the menu commands ------------------------------------------------------------

void TF_Main::pmPaste1Click(QObject*) {
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard) return;
    QLineEdit* edit = nullptr;
    if (lineEditFocused(edit)) {
        edit->paste();
        return;
    }
    if (!isActiveWindow()) return;
    // The clipboard ends its lines with LF; here only CR breaks a line.
    QString text = clipboard->text();
    text.replace(kLineBreak, QString(kLF));
    text.replace(kLF, kLineBreak);
    engine::undoStack().BeginUndoGroup();
    lockPaint();
    insertText(text, -1, 0);
    unlockPaint();
    engine::editor().EditBusy = 0;
}

void TF_Main::pmCut1Click(QObject* sender) {
    QLineEdit* edit = nullptr;
    if (lineEditFocused(edit)) {
        edit->cut();
        return;
    }
    if (editingBlocked() || !engine::PaneStores::IsPane(engine::editor().ActiveSide) || !isActiveWindow()) return;
    Copy1Click(sender);
    pmDelete1Click(sender);
}

}  // namespace tandex::ui
