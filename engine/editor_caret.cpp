// The caret, the selection and the folding of tabs of the editor core.
// Rows are visible rows of the current view; columns are 1-based positions
// in the line as stored, where a tab is a run of fill characters that ends
// at a tab stop (a multiple of the tab size).

#include "engine/editor.h"

#include "engine/folder_rows.h"
#include "engine/rows.h"

#include "config/app_settings.h"

#include <algorithm>

namespace tandex::engine {

namespace {

constexpr char16_t kTab = 9;
// Word delimiters: those of the in-line comparison, and the tab fill.
const QString kWordDelimiters = QStringLiteral(" :=,.()[]<>*/\\+-;'@\"!") + QChar(kTabFill);

bool isDelimiter(QChar c) { return kWordDelimiters.contains(c); }

}  // namespace

Editor::Editor() { InitEditor(); }

void Editor::InitEditor() {
    InsertMode = 1;
    EditBusy = 0;
    FirstVisibleColumn = 0;
    Caret = {};
    Selection = {0, Caret.Row, 0, Caret.Row};
    CaretHidden = 1;
    NextDeleteKind = 5;
    ActiveSide = 1;
    CurrentLine.clear();
    CaretFrozen = 0;
}

// ---- helpers ------------------------------------------------------------------

bool Editor::binaryView() const { return paneStores().BinaryMode != 0; }

int Editor::rowCount() const {
    // The folder view's caret moves over its rows, not the text rows the
    // stores may still hold from a file pair.
    if (paneStores().FolderMode) return folderRows().FolderRowCount;
    return binaryView() ? rows().BinaryRowCount : rows().TextRowCount;
}

int Editor::rowIndex(int row) const { return binaryView() ? rows().BinaryRowIndex(row) : rows().TextRowIndex(row); }

QString Editor::rowText(int row) const {
    const int index = rowIndex(row);
    if (index < 0 || !PaneStores::IsPane(ActiveSide)) return {};
    // A folder row's index names a folder entry, not a text line.
    if (paneStores().FolderMode) return rows().RowText(ActiveSide, row);
    if (binaryView()) return QString::fromLatin1(paneStores().BinaryLines[size_t(ActiveSide)][index]->HexText());
    return paneStores().TextLines[size_t(ActiveSide)][index]->Text;
}

int Editor::tabSize() const { return std::max(1, config::AppSettings().TETabSize); }

bool Editor::isFill(const QString& text, int column) const {
    return column >= 1 && column <= text.size() && text[column - 1] == kTabFill;
}

// A column inside a fill run moves back to the start of its tab, never past
// a tab stop.
int Editor::outOfFill(const QString& text, int column) const {
    const int tab = tabSize();
    if (!isFill(text, column)) return column;
    while (column > 1 && isFill(text, column - 1) && (column - 1) % tab != 0) --column;
    return column;
}

// A column inside a tab (not at its start) moves on past the tab's stop.
int Editor::pastTabFill(const QString& text, int column) const {
    const int tab = tabSize();
    if (!isFill(text, column) || !isFill(text, column - 1) || (column - 1) % tab == 0) return column;
    while (isFill(text, column) && column % tab != 0) ++column;
    return column + 1;
}

void Editor::GetRowText(int row, QString& text) const { text = rowText(std::max(row, 0)); }

// ---- caret ------------------------------------------------------------------

void Editor::SetCaretMetrics(CaretHost* window, int x1, int x2, int topY) {
    CaretWindow = window;
    Pane1TextX = x1;
    Pane2TextX = x2;
    TopY = topY;
}

void Editor::SetActiveSide(int side) { ActiveSide = side == 0 ? 1 : side; }

void Editor::ToggleInsertMode() {
    if (rows().CaretViewActive) InsertMode = InsertMode ? 0 : 1;
}

void Editor::SwapEditorSides() {
    ActiveSide = PaneStores::OtherSide(ActiveSide);
    RefreshCaret();
}

void Editor::HideEditCaret() {
    if (!rows().CaretViewActive || CaretHidden) return;
    if (CaretWindow) CaretWindow->HideCaret();
    CaretHidden = 1;
}

void Editor::ShowEditCaret() {
    if (!rows().CaretViewActive || !CaretHidden) return;
    if (CaretWindow) CaretWindow->ShowCaret();
    CaretHidden = 0;
}

bool Editor::PlaceCaret(int column, int row, int side) {
    Caret.Row = row;
    ActiveSide = side;
    Caret.Column = std::max(1, column);
    if (binaryView() || !config::AppSettings().TECurBEOL)
        Caret.Column = std::min(Caret.Column, rowLength(row) + 1);
    else
        Caret.Column = std::min(Caret.Column, kMaskColumns);
    Caret.Column = std::max(1, Caret.Column);
    if (CaretFrozen || !paneStores().UndoEnabled) return true;
    if (!CaretWindow) {
        CaretHidden = 1;
        return false;
    }
    const int paneX = side == 2 ? Pane2TextX : Pane1TextX;
    const int x = std::max(paneX, paneX + (Caret.Column - FirstVisibleColumn - 1) * CaretWindow->CharWidth());
    const int y = (row - CaretWindow->TopRow() + 1) * CaretWindow->LineHeight() + TopY;
    if (!CaretWindow->MoveCaret(x, y)) {
        CaretHidden = 1;
        return false;
    }
    if (side == 1 && x > CaretWindow->Pane1Right())
        HideEditCaret();
    else
        ShowEditCaret();
    return true;
}

void Editor::RefreshCaret() { PlaceCaret(Caret.Column, Caret.Row, ActiveSide); }

void Editor::CaretToTop() { PlaceCaret(1, 0, ActiveSide); }

void Editor::CaretToBottom() {
    Caret.Row = std::max(0, rowCount() - 1);
    CaretEnd();
}

void Editor::CaretLeft() {
    int column = Caret.Column;
    int row = Caret.Row;
    if (column <= 1 && row > 0) {
        --row;
        column = rowLength(row) + (binaryView() ? 1 : 2);
    }
    const QString text = rowText(row);
    --column;
    if (binaryView()) {
        column = std::max(1, SnapHexColumn(column, -1));
    } else {
        if (!config::AppSettings().TECurBEOL) column = std::min(column, int(text.size()) + 1);
        column = outOfFill(text, std::max(column, 1));
    }
    PlaceCaret(column, row, ActiveSide);
}

void Editor::CaretRight() {
    const QString text = rowText(Caret.Row);
    const bool binary = binaryView();
    const int limit = !binary && config::AppSettings().TECurBEOL ? kMaskColumns
                                                                  : int(text.size()) - (binary ? 1 : 0);
    int column = Caret.Column;
    if (column > limit) {
        if (Caret.Row < rowCount() - 1) PlaceCaret(1, Caret.Row + 1, ActiveSide);
        return;
    }
    if (binary) {
        column = SnapHexColumn(column + 1, 1);
    } else {
        const int tab = tabSize();
        // Over the rest of a tab's fill, up to its tab stop.
        while (isFill(text, column) && isFill(text, column + 1) && column % tab != 0) ++column;
        ++column;
    }
    PlaceCaret(column, Caret.Row, ActiveSide);
}

void Editor::CaretUp() {
    const int row = std::max(0, Caret.Row - 1);
    if (!rows().CaretViewActive) {
        Caret.Row = row;
        return;
    }
    PlaceCaret(pastTabFill(rowText(row), Caret.Column), row, ActiveSide);
}

void Editor::CaretDown() {
    const int row = std::clamp(Caret.Row + 1, 0, std::max(0, rowCount() - 1));
    if (!rows().CaretViewActive) {
        Caret.Row = row;
        return;
    }
    PlaceCaret(pastTabFill(rowText(row), Caret.Column), row, ActiveSide);
}

void Editor::CaretHome() {
    int column = 1;
    if (config::AppSettings().TEAutoHomeKey) {
        CurrentLine = rowText(Caret.Row);
        const int first = FirstNonBlankColumn();
        column = (Caret.Column <= first && Caret.Column != 1) ? 1 : first;
    }
    PlaceCaret(column, Caret.Row, ActiveSide);
}

void Editor::CaretEnd() {
    const int length = rowLength(Caret.Row);
    PlaceCaret(binaryView() ? length : length + 1, Caret.Row, ActiveSide);
}

void Editor::CaretGoTo(int column, int row) {
    if (row < 0) row = Caret.Row;
    if (column <= 0) column = Caret.Column;
    row = std::clamp(row, 0, std::max(0, rowCount() - 1));
    const QString text = rowText(row);
    if (binaryView() || !config::AppSettings().TECurBEOL) column = std::min(column, int(text.size()) + 1);
    if (!binaryView()) column = outOfFill(text, column);
    PlaceCaret(column, row, ActiveSide);
}

int Editor::SnapHexColumn(int column, int direction) const {
    const int hexEnd = config::AppSettings().BCHEXBytes * 3;
    if (column <= 1 && direction < 0) return -2;
    // The blank after the last group and the two blanks before the
    // character columns are never a caret place.
    const auto outOfGap = [&](int c) {
        if (c >= hexEnd && c <= hexEnd + 2) return direction < 0 ? hexEnd - 2 : hexEnd + 3;
        return c;
    };
    if (column >= 1 && column < hexEnd) return outOfGap((column + direction) / 3 * 3 + 1);
    return outOfGap(column);
}

// ---- selection and words ----------------------------------------------------

void Editor::SetSelectionStart(int column, int row) {
    if (row < 0) row = Caret.Row;
    if (PaneStores::IsPane(ActiveSide)) column = std::clamp(column, 1, rowLength(row) + 1);
    Selection.StartColumn = column;
    Selection.StartRow = row;
}

void Editor::SetSelectionEnd(int column, int row) {
    if (row < 0) row = Caret.Row;
    if (PaneStores::IsPane(ActiveSide)) column = std::clamp(column, 0, rowLength(row) + 1);
    Selection.EndColumn = column;
    Selection.EndRow = row;
}

void Editor::SetSelection(int column1, int row1, int column2, int row2) {
    SetSelectionStart(column1, row1);
    SetSelectionEnd(column2, row2);
}

bool Editor::SelectWordAtCaret() {
    CurrentLine = rowText(Caret.Row);
    const int length = int(CurrentLine.size());
    if (Caret.Column > length) return false;
    int end = Caret.Column;
    while (end <= length && !isDelimiter(CurrentLine[end - 1])) ++end;
    int start = end - 1;
    while (start >= 1 && !isDelimiter(CurrentLine[start - 1])) --start;
    ++start;
    Caret.Column = end;
    Selection = {start, Caret.Row, end, Caret.Row};
    if (binaryView()) Caret.Column = start;
    return true;
}

void Editor::GetWordOrSelection(QString& text) {
    const int first = std::min(Selection.StartColumn, Selection.EndColumn);
    const int last = std::max(Selection.StartColumn, Selection.EndColumn);
    if (Selection.StartRow == Selection.EndRow && first != last && first >= 1) {
        text = rowText(Selection.StartRow).mid(first - 1, last - first);
        text.replace(QChar(kTabFill), QChar(u' '));
        return;
    }
    const int column = Caret.Column;
    text.clear();
    if (SelectWordAtCaret())
        text = CurrentLine.mid(Selection.StartColumn - 1, Selection.EndColumn - Selection.StartColumn);
    Caret.Column = column;
}

int Editor::FirstNonBlankColumn() const {
    for (int i = 0; i < CurrentLine.size(); ++i)
        if (CurrentLine[i] != u' ') return i + 1;
    return 1;
}

// ---- tab folding ------------------------------------------------------------

int Editor::FoldTabFill(QString& text, int column) const {
    const qsizetype firstFill = text.indexOf(QChar(kTabFill));
    if (firstFill < 0) return 0;
    const int tab = tabSize();
    QString folded = text.left(firstFill);
    // Columns before the first tab keep their place.
    int mapped = column <= firstFill ? column : 0;
    for (qsizetype i = firstFill; i < text.size();) {
        const int position = int(i) + 1;  // column of this character
        if (mapped == 0 && column <= position) mapped = int(folded.size()) + 1;
        if (text[i] != kTabFill) {
            folded += text[i];
            ++i;
            continue;
        }
        // One tab for the whole run up to its tab stop.
        folded += QChar(kTab);
        const int stop = ((position - 1) / tab + 1) * tab;
        ++i;
        while (i < text.size() && int(i) + 1 <= stop && text[i] == kTabFill) {
            if (mapped == 0 && column == int(i) + 1) mapped = int(folded.size());
            ++i;
        }
    }
    if (mapped == 0) mapped = int(folded.size()) + 1 + (column - int(text.size()) - 1);
    text = folded;
    return std::max(mapped, 1);
}

int Editor::ExpandTabs(QString& text, int column) const {
    if (!text.contains(QChar(kTab))) return column;
    const int tab = tabSize();
    QString expanded;
    expanded.reserve(text.size() + tab * 4);
    int mapped = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (mapped == 0 && column == int(i) + 1) mapped = int(expanded.size()) + 1;
        if (text[i] != kTab) {
            expanded += text[i];
            continue;
        }
        const int fill = tab - int(expanded.size()) % tab;
        expanded += QString(fill, QChar(kTabFill));
    }
    if (mapped == 0) mapped = int(expanded.size()) + 1 + std::max(0, column - int(text.size()) - 1);
    text = expanded;
    return mapped;
}

Editor& editor() {
    static Editor state;
    return state;
}

}  // namespace tandex::engine
