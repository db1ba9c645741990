// The text changes of the editor core. Every change works on the line as
// typed: it folds the fill runs back into tabs, changes the text, and
// expands the tabs again, so that columns and tab stops stay consistent.
// Each change records its undo information, turns a gap row it writes to
// into a real line, and re-compares the edited row with the line it faces.

#include "engine/editor.h"

#include "engine/inline_diff.h"
#include "engine/line_keys.h"
#include "engine/main_window_services.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "engine/undo_stack.h"

#include "config/app_settings.h"

#include <algorithm>

namespace tandex::engine {

namespace {

// Joined lines are refused from this length on.
constexpr int kJoinLimit = kMaskColumns + 1;
constexpr char16_t kCR = 13;

QString positionText(int line, int column) { return QString::number(line) + u':' + QString::number(column); }

// The number of the nearest real line at or above index (0 when none).
int numberAtOrAbove(int pane, int index) {
    const auto& lines = paneStores().TextLines[size_t(pane)];
    for (int i = index; i >= 0; --i)
        if (!lines.IsGap(i)) return lines[i]->LineNumber;
    return 0;
}

int realLineCount(int pane) {
    const auto& lines = paneStores().TextLines[size_t(pane)];
    int count = 0;
    for (int i = 0; i < lines.StoredSize(); ++i)
        if (!lines.IsGap(i)) ++count;
    return count;
}

}  // namespace

// ---- helpers ------------------------------------------------------------------

int Editor::nextRealRow(int row) const {
    const auto& lines = paneStores().TextLines[size_t(ActiveSide)];
    for (int r = row + 1; r < rows().TextRowCount; ++r)
        if (!lines.IsGap(rows().TextRowIndex(r))) return r;
    return -1;
}

int Editor::previousRealRow(int row) const {
    const auto& lines = paneStores().TextLines[size_t(ActiveSide)];
    for (int r = std::min(row, rows().TextRowCount) - 1; r >= 0; --r)
        if (!lines.IsGap(rows().TextRowIndex(r))) return r;
    return -1;
}

int Editor::lineNumberOfRow(int row) const { return rows().RowLineNumber(ActiveSide, row); }

// Opens a line behind index in the pane's array (the slots behind it move
// up) and gives it the text; kEditRefused when the pane is full.
int Editor::insertLineAfter(int pane, int index, const QString& text) {
    auto& s = paneStores();
    if (s.LineCount[size_t(pane)] >= kMaxFileLines) return kEditRefused;
    const int at = index + 1;
    auto& lines = s.TextLines[size_t(pane)];
    lines.InsertSlots(at, 1, kLineSlots);
    TTextLine* line = lines.New(at);
    line->Text = text;
    line->LineNumber = numberAtOrAbove(pane, index) + 1;
    s.LineCount[size_t(pane)] = std::max(s.LineCount[size_t(pane)] + 1, at + 1);
    s.UpdateMaxLineCount();
    // Behind the last visible row the new line gets its row at once, so the
    // caret can stand on it before the window rebuilds the rows.
    auto& r = rows();
    if (r.TextRowCount > 0 && r.TextRowIndex(r.TextRowCount - 1) == index) {
        r.TextRowMap.resize(size_t(r.TextRowCount));
        r.TextRowMap.push_back(at);
        r.TextRowCount = int(r.TextRowMap.size());
    }
    return at;
}

// ---- re-comparison ----------------------------------------------------------

void Editor::RecompareCaretLine(bool wasDifferent) {
    auto& s = paneStores();
    if (s.SinglePaneView) return;
    const int row = Caret.Row;
    const int index = rows().TextRowIndex(row);
    if (index < 0) return;
    auto& keys = lineKeys();
    keys.BuildColumnMask();
    keys.LoadLineKeyOptions();
    // As the full comparison does: the ignored columns count only while in force.
    keys.Options.IgnoreColumnsActive = s.IgnoredColumnsActive;

    TTextLine* left = s.TextLines[1][index];
    TTextLine* right = s.TextLines[2][index];
    bool differ = true;
    if (left->Gap || right->Gap) {
        // A gap is never keyed (the shared record is never written); it only
        // matches a blank line under the empty-line option.
        if (config::AppSettings().TCIgnEmptyLn && left->Gap != right->Gap)
            differ = !keys.IsBlankLine(left->Gap ? 2 : 1, index);
    } else {
        if (left->Key == 0) left->Key = keys.MakeLineKey(left->Text);
        if (right->Key == 0) right->Key = keys.MakeLineKey(right->Text);
        differ = left->Key != right->Key;
    }
    if (differ && config::AppSettings().TCDiffDetect > 0 && !left->Gap && !right->Gap &&
        !rows().LinePlainText(1, index).isEmpty() && !rows().LinePlainText(2, index).isEmpty()) {
        const quint8 fuzzy = s.FuzzyMode;
        s.FuzzyMode = 0;
        inlineDiff().CompareLinePair(left->Text, right->Text, row);
        s.FuzzyMode = fuzzy;
    }
    rows().SetRowDiffers(row, differ);
    if (!differ) rows().FreeRowCharFlags(row);
    if (differ != wasDifferent) {
        fccTabs().SetTabDiffCount(fccTabs().GetTabDiffCount() + (differ ? 1 : -1));
        // The status bar's blocks and kinds would still tell the last run's.
        textCompare().RecountDifferentRows();
    }
}

void Editor::SetCaretRowAndRecompare(int row, bool wasDifferent) {
    Caret.Row = row;
    RecompareCaretLine(wasDifferent);
}

void Editor::PushCaretUndo(int mode) {
    auto& undo = undoStack();
    if (mode == 0) undo.PushUndo(ukCaret, ActiveSide, Caret.Row, {}, Caret.Column);
    if (mode == 1) undo.PushUndo(ukCaret, ActiveSide, Selection.StartRow, {}, Selection.StartColumn);
    if (mode == 2) undo.PushUndo(ukTyped, ActiveSide, Caret.Row, {}, Caret.Column);
}

// ---- storing text -----------------------------------------------------------

void Editor::SetLineText(int pane, int index, const QString& text) {
    if (!PaneStores::IsPane(pane)) return;
    TTextLine* line = paneStores().TextLines[size_t(pane)][index];
    if (line->Gap) return;
    line->Text = text;
    line->Key = 0;
    // Flags of the old text would not fit the new one.
    line->CharFlags = {};
}

TTextLine* Editor::makeRealLine(int pane, int row) {
    const int index = rows().TextRowIndex(row);
    TTextLine* line = paneStores().TextLines[size_t(pane)].New(index);
    mainWindow().renumberLines(pane);
    undoStack().PushUndo(ukNewLine, pane, line->LineNumber, {}, 1);
    return line;
}

void Editor::StoreRowText(int row, const QString& text) {
    const int index = rows().TextRowIndex(row);
    if (index < 0 || !PaneStores::IsPane(ActiveSide)) return;
    Caret.Row = row;
    const bool wasDifferent = rows().TextRowDiffers(row);
    if (paneStores().TextLines[size_t(ActiveSide)].IsGap(index)) makeRealLine(ActiveSide, row);
    SetLineText(ActiveSide, index, text);
    RecompareCaretLine(wasDifferent);
}

void Editor::PadToCaret(int column, int index) {
    if (!config::AppSettings().TECurBEOL || CurrentLine.size() >= column - 1) return;
    const int start = int(CurrentLine.size()) + 1;
    CurrentLine += QString(column - start, QChar(u' '));
    const int number = rows().LineNumberAt(ActiveSide, index);
    undoStack().PushUndo(ukCaret, ActiveSide, Caret.Row, {}, Caret.Column);
    undoStack().PushUndo(ukPosition, ActiveSide, number, positionText(number, int(CurrentLine.size()) + 1), start);
}

void Editor::InsertTextInLine(int pane, int index, int column, QString& rest, const QString& text, int lineNumber) {
    rest.clear();
    if (!PaneStores::IsPane(pane) || index < 0) return;
    auto& lines = paneStores().TextLines[size_t(pane)];
    if (lines.IsGap(index)) {
        lines.New(index);
        mainWindow().renumberLines(pane);
        const int number = lineNumber >= 0 ? lineNumber : rows().LineNumberAt(pane, index);
        undoStack().PushUndo(ukNewLine, pane, number, {}, column);
        CurrentLine.clear();
    } else {
        CurrentLine = lines[index]->Text;
    }
    PadToCaret(column, index);
    QString folded = CurrentLine;
    int at = FoldTabFill(folded, column);
    if (at == 0) at = column;
    at = std::clamp(at, 1, int(folded.size()) + 1);
    folded.insert(at - 1, text);
    const qsizetype cr = folded.indexOf(QChar(kCR));
    if (cr >= 0) {
        rest = folded.mid(cr + 1);
        folded.truncate(cr);
    }
    ExpandTabs(folded, 1);
    CurrentLine = folded;
    SetLineText(pane, index, CurrentLine);
}

// ---- characters -------------------------------------------------------------

void Editor::insertIntoLine(QChar character, int column, int row, int& mappedColumn) {
    Caret = {column, row};
    const int index = rows().TextRowIndex(row);
    CurrentLine = rowText(row);
    if (paneStores().TextLines[size_t(ActiveSide)].IsGap(index)) StoreRowText(row, {});
    PadToCaret(Caret.Column, index);
    QString text = CurrentLine;
    int at = FoldTabFill(text);
    if (at == 0) at = Caret.Column;
    at = std::clamp(at, 1, int(text.size()) + 1);
    QString overwritten;
    if (InsertMode) {
        text.insert(at - 1, character);
    } else if (at > text.size()) {
        text += character;
    } else {
        overwritten = QString(text[at - 1]);
        text[at - 1] = character;
    }
    mappedColumn = at;
    Caret.Column = ExpandTabs(text, at);
    // The column the character landed on, also when the caret stood inside
    // a tab's fill: undo deletes it there.
    undoStack().PushUndo(ukTyped, ActiveSide, row, overwritten, Caret.Column);
    StoreRowText(row, text);
    CaretRight();
}

// Removes the last character (a whole tab when the line ends in one) with
// the Delete logic; the caret stands on it afterwards.
bool Editor::deleteLastCharacter(int row, QChar& removed) {
    const QString line = rowText(row);
    if (line.isEmpty()) return false;
    QString folded = line;
    int at = FoldTabFill(folded, int(line.size()));
    if (at == 0) at = int(line.size());
    removed = folded[at - 1];
    Caret = {int(line.size()), row};
    NextDeleteKind = ukDelete;
    return EditDelete() == 1;
}

bool Editor::InsertChar(QChar character, int column, int row, int& mappedColumn) {
    auto& s = paneStores();
    const int pane = ActiveSide;
    if (!PaneStores::IsPane(pane)) return false;
    const int maxColumns = MaxEditColumns();
    const bool paneFull = s.LineCount[size_t(pane)] >= kMaxFileLines;
    const auto lastRowNeedsLine = [&](int r) { return r + 1 >= rows().TextRowCount; };

    // A new line is made at the end of the pane rather than losing the
    // character; a full pane refuses before anything changed.
    const auto rowBelow = [&](int r) -> int {
        if (!lastRowNeedsLine(r)) return r + 1;
        const int at = insertLineAfter(pane, rows().TextRowIndex(r), {});
        return at < 0 ? at : r + 1;
    };

    Caret = {column, row};
    if (column > maxColumns) {
        const int next = nextRealRow(row);
        if (next < 0 && lastRowNeedsLine(row) && paneFull) return false;
        Caret.Row = next >= 0 ? next : rowBelow(row);
        CaretHome();
    }
    // The full lines from here down each pass their last character on.
    std::vector<int> chain;
    if (InsertMode) {
        for (int r = Caret.Row; rows().TextRowIndex(r) >= 0 && rowLength(r) >= maxColumns; ++r) {
            chain.push_back(r);
            if (lastRowNeedsLine(r)) {
                if (paneFull) return false;
                break;
            }
        }
    }
    const TCaretPos target = Caret;
    std::vector<QChar> moved;
    std::vector<int> targets;
    for (size_t i = 0; i < chain.size(); ++i) {
        const int r = chain[i];
        Caret = {i == 0 ? target.Column : 1, r};
        PushCaretUndo(0);
        QChar last;
        if (!deleteLastCharacter(r, last)) break;
        const int below = rowBelow(r);
        if (below < 0) return false;
        moved.push_back(last);
        targets.push_back(below);
    }
    int ignored = 0;
    for (size_t i = moved.size(); i-- > 0;) insertIntoLine(moved[i], 1, targets[i], ignored);
    insertIntoLine(character, target.Column, target.Row, mappedColumn);
    return true;
}

bool Editor::TypeChar(QChar character) {
    if (!rows().CaretViewActive) return false;
    EditBusy = 1;
    int mapped = 0;
    return InsertChar(character, Caret.Column, Caret.Row, mapped);
}

// ---- joining, deleting, new lines -------------------------------------------

int Editor::JoinNextLine(int row) {
    JoinedNoBreak = false;
    const int next = nextRealRow(row);
    if (next < 0) return -1;
    CurrentLine = rowText(row);
    PadToCaret(Caret.Column, rows().TextRowIndex(row));
    QString joined = CurrentLine;
    QString tail = rowText(next);
    if (joined.size() + tail.size() >= kJoinLimit) return -1;
    int at = FoldTabFill(joined);
    if (at == 0) at = Caret.Column;
    FoldTabFill(tail, 1);
    joined += tail;
    Caret.Column = ExpandTabs(joined, at);
    StoreRowText(row, joined);
    auto& lines = paneStores().TextLines[size_t(ActiveSide)];
    TTextLine* line = lines[rows().TextRowIndex(row)];
    if (!line->Gap) {
        // The break between the two is gone; the one after the next line
        // (or its lack) now ends the joined line.
        JoinedNoBreak = line->NoBreak != 0;
        line->NoBreak = lines[rows().TextRowIndex(next)]->NoBreak;
        paneStores().LineBreaksChanged(ActiveSide);
    }
    return next;
}

int Editor::EditDelete() {
    EditBusy = 1;
    const int row = Caret.Row;
    const int index = rows().TextRowIndex(row);
    if (index < 0 || paneStores().TextLines[size_t(ActiveSide)].IsGap(index)) return 0;
    CurrentLine = rowText(row);
    if (Caret.Column > CurrentLine.size()) {
        if (row >= rows().TextRowCount - 1) return 0;
        const int joined = JoinNextLine(row);
        if (joined < 0) return 0;
        paneStores().FreeTextLine(ActiveSide, rows().TextRowIndex(joined));
        return 2;
    }
    // The record holds the character as the line stores it, so a tab is
    // its fill character, which the undo command types back as a Tab key.
    // Backspace runs merge into one record whose text holds the characters
    // in the order they were removed, that is reversed against the line.
    QString text = CurrentLine;
    int at = FoldTabFill(text);
    if (at == 0) at = Caret.Column;
    // A tab is recorded at the column where it starts, also when the caret
    // stood inside its fill: typed back there it fills the same columns.
    QString expanded = text;
    const int start = ExpandTabs(expanded, at);
    undoStack().PushUndo(NextDeleteKind, ActiveSide, row, CurrentLine.mid(Caret.Column - 1, 1), start);
    NextDeleteKind = ukDelete;
    text.remove(at - 1, 1);
    Caret.Column = ExpandTabs(text, at);
    StoreRowText(row, text);
    return 1;
}

int Editor::EditBackspace() {
    EditBusy = 1;
    if (Caret.Column > rowLength(Caret.Row)) CaretEnd();
    if (Caret.Column > 1) {
        CaretLeft();
        NextDeleteKind = ukBackspace;
        return EditDelete();
    }
    const int above = previousRealRow(Caret.Row);
    if (above < 0) return 0;
    Caret.Row = above;
    CaretEnd();
    const int joined = JoinNextLine(above);
    if (joined < 0) return 0;
    paneStores().FreeTextLine(ActiveSide, rows().TextRowIndex(joined));
    return 2;
}

int Editor::EditNewLine() {
    EditBusy = 1;
    const int pane = ActiveSide;
    const int row = Caret.Row;
    const int index = rows().TextRowIndex(row);
    if (!rows().CaretViewActive || binaryView() || !PaneStores::IsPane(pane) || index < 0) return -1;
    if (paneStores().LineCount[size_t(pane)] >= kMaxFileLines) return kEditRefused;
    CurrentLine = rowText(row);
    mainWindow().rememberEditLine(lineNumberOfRow(row) - 1);
    int indent = 1;
    if (config::AppSettings().TEAutoIndent && paneStores().UndoEnabled)
        indent = std::min(FirstNonBlankColumn(), Caret.Column);
    QString newText(indent - 1, QChar(u' '));
    if (Caret.Column <= CurrentLine.size()) {
        QString head = CurrentLine;
        int at = FoldTabFill(head);
        if (at == 0) at = Caret.Column;
        newText += head.mid(at - 1);
        head.truncate(at - 1);
        ExpandTabs(head, 1);
        ExpandTabs(newText, 1);
        StoreRowText(row, head);
    }
    const int number = numberAtOrAbove(pane, index) + 1;
    undoStack().PushUndo(ukNewLine, pane, number, {}, 1);
    if (indent > 1) undoStack().PushUndo(ukPosition, pane, number, positionText(number, indent), 1);
    PlaceCaret(indent, row + 1, pane);
    Selection = {Caret.Column, Caret.Row, Caret.Column, Caret.Row};
    const int at = insertLineAfter(pane, index, newText);
    auto& lines = paneStores().TextLines[size_t(pane)];
    if (at >= 0 && !lines.IsGap(index)) {
        // The new break ends the head; the tail goes on where the line did.
        lines[at]->NoBreak = lines[index]->NoBreak;
        lines[index]->NoBreak = 0;
        paneStores().LineBreaksChanged(pane);
    }
    PlaceCaret(indent, row + 1, pane);
    return at;
}

int Editor::DeleteSelection(int pane, int& firstColumn, bool& moreLines, bool& joinEnds) {
    firstColumn = 1;
    moreLines = joinEnds = false;
    if (!PaneStores::IsPane(pane)) return -1;
    const int savedSide = ActiveSide;
    ActiveSide = pane;
    auto& r = rows();
    auto& lines = paneStores().TextLines[size_t(pane)];
    int remaining = realLineCount(pane);
    QString collected;
    int collectedTop = 0;  // number of the topmost collected line
    bool collecting = false;
    // Whether the line above the collected ones, and the last of them, had
    // no break of their own.
    bool aboveWentOn = false, lastWentOn = false;
    const auto flush = [&] {
        if (!collecting) return;
        // Column 0 marks whole lines: the undo command puts them back as
        // lines of their own after the line named.
        undoStack().PushUndo(ukDeleted, pane, collectedTop - 1, collected, 0,
                             quint8((aboveWentOn ? 1 : 0) | (lastWentOn ? 2 : 0)));
        collected.clear();
        collecting = false;
        aboveWentOn = lastWentOn = false;
    };
    // A whole line goes with the break that ends it; when the line above
    // went on into it, that line takes over its end instead, so the line
    // below stays a line of its own.
    const auto handOverEnd = [&](int index) {
        int above = index - 1;
        while (above >= 0 && lines.IsGap(above)) --above;
        if (above < 0 || !lines[above]->NoBreak) return;
        aboveWentOn = true;
        lines[above]->NoBreak = lines[index]->NoBreak;
        paneStores().LineBreaksChanged(pane);
    };
    const auto foldedColumn = [&](const QString& text, int column) {
        QString copy = text;
        const int at = FoldTabFill(copy, column);
        return at == 0 ? column : at;
    };
    int affected = 0;
    int firstRow = -1;
    bool bottomPartial = false;
    bool broken = false;
    for (int row = r.TextRowCount - 1; row >= 0; --row) {
        const quint32 range = r.RowSelectionRange(pane, row);
        const int index = r.TextRowIndex(row);
        if (range == 0) {
            broken = broken || affected > 0;
            flush();
            continue;
        }
        r.SetRowSelection(pane, row, 0, false, 0);
        if (lines.IsGap(index)) continue;  // a gap inside the selection holds no text
        TTextLine* line = lines[index];
        const int first = int(range & 0xFFFF);
        const int last = int(range >> 16);
        ++affected;
        moreLines = moreLines || affected > 1;
        firstRow = row;
        // The last column is the one after the span, as the selection shows it.
        if (first <= 1 && (last == int(kSelectionToEnd) || last > line->Length()) && remaining > 1) {
            QString text = line->Text;
            FoldTabFill(text, 1);
            if (!collecting) lastWentOn = line->NoBreak != 0;
            collected = collecting ? text + QStringLiteral("\r\n") + collected : text;
            collecting = true;
            collectedTop = line->LineNumber;
            aboveWentOn = false;
            handOverEnd(index);
            lines.Free(index, index);
            --remaining;
            firstColumn = 1;
            continue;
        }
        flush();
        QString text = line->Text;
        const int from = foldedColumn(text, std::max(first, 1));
        FoldTabFill(text, 1);
        const int to = last == int(kSelectionToEnd) ? int(text.size()) + 1 : foldedColumn(line->Text, last);
        const QString cut = text.mid(from - 1, std::max(0, to - from));
        text.remove(from - 1, cut.size());
        undoStack().PushUndo(ukDeleted, pane, line->LineNumber, cut, first);
        ExpandTabs(text, 1);
        StoreRowText(row, text);
        firstColumn = std::max(first, 1);
        if (affected == 1)
            bottomPartial = true;
        else if (bottomPartial && !broken)
            joinEnds = true;
    }
    flush();
    ActiveSide = savedSide;
    if (firstRow < 0) return -1;
    return std::max(0, std::min(firstRow, remaining - 1));
}

}  // namespace tandex::engine
