#pragma once
// The editor core: the caret, the active pane and the selection of the
// text and binary views, the conversion between a line as stored (tabs as
// runs of fill characters) and as typed (tabs), and the text changes of the
// active pane with their undo records and the re-comparison of the edited
// row. It holds no widget: the window that draws the caret is a CaretHost.

#include "engine/pane_stores.h"

#include <QPoint>
#include <QString>

namespace tandex::engine {

// The window that owns the system caret, and the measures caret placement
// needs from the main window.
class CaretHost {
public:
    virtual ~CaretHost() = default;
    virtual int CharWidth() const = 0;
    virtual int LineHeight() const = 0;
    // The main window's first visible row of the current view.
    virtual int TopRow() const = 0;
    // The right edge of pane 1's text area in pixels.
    virtual int Pane1Right() const = 0;
    // Moves the system caret; false when that failed.
    virtual bool MoveCaret(int x, int y) = 0;
    virtual void ShowCaret() = 0;
    virtual void HideCaret() = 0;
};

// EditNewLine's answer when the pane already holds the most lines it may;
// the caller shows kMaxEntryText.
inline constexpr int kEditRefused = -2;

struct TEditSelection {
    int StartColumn = 0;
    int StartRow = 0;
    int EndColumn = 0;
    int EndRow = 0;
};

struct TCaretPos {
    int Column = 1;
    int Row = 0;
};

class Editor {
public:
    Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Start-up state.
    void InitEditor();

    // ---- caret, selection and tab folding ----
    void SetCaretMetrics(CaretHost* window, int x1, int x2, int topY);
    void SetActiveSide(int side);
    void ToggleInsertMode();
    void SwapEditorSides();
    void HideEditCaret();
    void ShowEditCaret();
    bool PlaceCaret(int column, int row, int side);
    void RefreshCaret();
    void CaretToTop();
    void CaretToBottom();
    void CaretLeft();
    void CaretRight();
    void CaretUp();
    void CaretDown();
    void CaretHome();
    void CaretEnd();
    void CaretGoTo(int column, int row);
    void CaretGoToPoint(QPoint point) { CaretGoTo(point.x(), point.y()); }
    int GetCaretColumn() const { return Caret.Column; }
    int GetCaretRow() const { return Caret.Row; }
    QPoint GetEditCaret() const { return {Caret.Column, Caret.Row}; }
    void GetRowText(int row, QString& text) const;
    void SetSelectionStart(int column, int row);
    void SetSelectionEnd(int column, int row);
    void SetSelection(int column1, int row1, int column2, int row2);
    bool SelectWordAtCaret();
    void GetWordOrSelection(QString& text);
    int FirstNonBlankColumn() const;
    // Folds the fill runs of text back into tabs; returns the caret column
    // mapped into the folded text, 0 when the text holds no fill.
    int FoldTabFill(QString& text) const { return FoldTabFill(text, Caret.Column); }
    int FoldTabFill(QString& text, int column) const;
    // Expands the tabs of text into fill runs; returns column mapped into the
    // expanded text.
    int ExpandTabs(QString& text, int column) const;
    int SnapHexColumn(int column, int direction) const;

    // ---- text changes ----
    void RecompareCaretLine(bool wasDifferent);
    void SetCaretRowAndRecompare(int row, bool wasDifferent);
    void PushCaretUndo(int mode);
    void SetLineText(int pane, int index, const QString& text);
    void StoreRowText(int row, const QString& text);
    void PadToCaret(int column, int index);
    void InsertTextInLine(int pane, int index, int column, QString& rest, const QString& text, int lineNumber);
    int DeleteSelection(int pane, int& firstColumn, bool& moreLines, bool& joinEnds);
    // False when the character could not be placed (the pane is full).
    bool InsertChar(QChar character, int column, int row, int& mappedColumn);
    bool TypeChar(QChar character);
    // Joins the next real line onto row; the joined line goes on (NoBreak)
    // where the next one went on. JoinedNoBreak tells whether the two met
    // without a break in the file, for the undo record that splits them.
    int JoinNextLine(int row);
    bool JoinedNoBreak = false;
    int EditBackspace();
    int EditDelete();
    int EditNewLine();

    quint8 InsertMode = 1;
    quint8 EditBusy = 0;
    int FirstVisibleColumn = 0;
    TEditSelection Selection;
    quint8 CaretHidden = 1;
    quint8 NextDeleteKind = 5;
    TCaretPos Caret;
    int Pane1TextX = 0;
    int Pane2TextX = 0;
    int TopY = 0;
    int ActiveSide = 1;
    CaretHost* CaretWindow = nullptr;
    QString CurrentLine;
    // While set, placing the caret only stores the position.
    quint8 CaretFrozen = 0;

private:
    bool binaryView() const;
    int rowCount() const;
    int rowIndex(int row) const;
    QString rowText(int row) const;
    int rowLength(int row) const { return int(rowText(row).size()); }
    int tabSize() const;
    bool isFill(const QString& text, int column) const;
    int outOfFill(const QString& text, int column) const;
    int pastTabFill(const QString& text, int column) const;
    int nextRealRow(int row) const;
    int previousRealRow(int row) const;
    int lineNumberOfRow(int row) const;
    void storeLine(int pane, int row, const QString& text);
    TTextLine* makeRealLine(int pane, int row);
    int insertLineAfter(int pane, int index, const QString& text);
    bool deleteLastCharacter(int row, QChar& removed);
    void insertIntoLine(QChar character, int column, int row, int& mappedColumn);
};

Editor& editor();

}  // namespace tandex::engine
