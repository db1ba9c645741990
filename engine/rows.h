#pragma once
// The visible rows of the text and binary views. A view kind and, for text,
// the hide-lines filter choose which line pairs of the pane stores become
// rows; the row maps translate a visible row into a line index. Every query
// here takes a visible row (or a line index where its name says so) and
// answers rows outside the map with -1, 0, false or an empty text.
//
// In folder mode the queries answer from the folder rows (folder_rows.h).

#include "engine/pane_stores.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tandex::engine {

// Packed selection range of a line: first column in the low 16 bits, last
// column (or 0xFFFF for the rest of the line) in the high 16 bits; 0 none.
inline constexpr quint32 kSelectionToEnd = 0xFFFF;
inline constexpr int kNoSelectedRow = -10;

class Rows {
public:
    Rows();
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;

    // Start-up state: no rows, no selection.
    void InitRows();

    // Row maps.
    void FilterTextRows(int kind);
    void FilterBinaryRows(int kind);
    bool MatchLineFilter(int pane, int line) const;
    int TextRowOfLine(int index) const;
    int RowOfLineNumber(int pane, int number) const;
    bool IsLineVisible(int pane, int number) const;
    // The line index shown at a visible row of the current text or binary
    // view, -1 outside the map.
    int TextRowIndex(int row) const;
    int BinaryRowIndex(int row) const;
    int RowIndex(int row) const;

    // Difference queries.
    bool LineDiffers(int index) const;
    bool TextRowDiffers(int row) const;
    bool RowDiffers(int row) const;
    void SetRowDiffers(int row, bool value);
    int RowResult(int row) const;
    bool IsGapLine(int pane, int row) const;
    bool IsRowMissing(int pane, int row) const;
    bool IsRowOnBothSides(int row) const;
    void ClearLineDifferences();

    // Per-character flags of a text row.
    void NewRowCharFlags(int row);
    std::vector<quint8>* RowCharFlags(int pane, int row) const;
    bool RowHasCharFlags(int row) const;
    void FreeRowCharFlags(int row);
    void FreeAllCharFlags();

    // Selection.
    void SetLineSelection(int pane, int row, int first, int last);
    quint32 RowSelectionRange(int pane, int row) const;
    bool IsRowSelected(int pane, int row) const;
    int RowSelectionKind(int pane, int row) const;
    int SelectedCount(bool filesOnly) const;
    int FirstSelectedRow() const;
    void SetRowSelection(int pane, int row, int first, bool select, int last);
    void SelectAllRows(int pane);
    void ClearLineSelection();
    void ClearSelection();
    static void FillDWords(quint32 value, std::vector<quint32>& buffer, int count);
    // The selection array and side of the current mode.
    std::vector<quint32>& ActiveSelection() { return *activeSelection_; }
    const std::vector<quint32>& ActiveSelection() const { return *activeSelection_; }
    int& ActiveSelectionSide() { return *activeSelectionSide_; }
    int ActiveSelectionSide() const { return *activeSelectionSide_; }
    // Points the active selection at the text (false) or binary (true) one.
    void SelectSelectionMode(bool binary);

    // Tags.
    void TagLineAtRow(int pane, int row, quint8 bits);
    int TakeTaggedLineRow(int pane, quint8 bits);

    // Texts and numbers.
    QString RowText(int pane, int row) const;
    QString RowPlainText(int pane, int row) const;
    QString LinePlainText(int pane, int index) const;
    QString RowCopyText(int pane, int row) const { return RowPlainText(pane, row); }
    int RowTextLength(int pane, int row) const;
    int LineNumberAt(int pane, int index) const;
    int RowLineNumber(int pane, int row) const;
    QString RowNumberText(int pane, int row) const;
    void UpdateLineNumberWidth(bool forFolderRows);
    int BinaryRowByteCount(int pane, int row) const;

    std::vector<int> TextRowMap, BinaryRowMap;
    int TextRowCount = 0;
    int BinaryRowCount = 0;
    int TextViewFilter = 0;
    int BinaryViewFilter = 0;
    int HiddenRowCount = 0;
    quint8 CaretViewActive = 0;
    // Indexed by line index; an index past the end is not selected.
    std::vector<quint32> TextSelection, BinarySelection;
    int TextSelectionSide = 1;
    int BinarySelectionSide = 1;
    // One byte per folder entry (1 selected).
    std::vector<quint8> FolderSelection;
    int LineNumberWidth = 3;
    const QString PadString = QStringLiteral("        ");

private:
    bool textMode() const;
    quint32 selectionAt(int index) const;
    void setSelectionAt(int index, quint32 value);

    std::vector<quint32>* activeSelection_ = &TextSelection;
    int* activeSelectionSide_ = &TextSelectionSide;
};

Rows& rows();

}  // namespace tandex::engine
