#pragma once
// What the details panel shows for one row: the two row texts turned into
// the shown texts (plain, aligned, hexadecimal), one colour class per shown
// character and the scroll offset that keeps the caret in sight. No widget
// here: the panel (details_panel.cpp) only paints what this returns.

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace tandex::ui {

// Colour classes of a shown character; kDetailsCaretBit is added at the
// caret position.
enum TDetailsClass : quint8 {
    dcDiffers = 0,
    dcEqual = 1,
    dcFill = 2,
    dcBlankEqual = 3,
    dcBlankDiffers = 4,
    dcFacingEmpty = 5,
};
inline constexpr quint8 kDetailsCaretBit = 16;

// Where one side has no character in an aligned text.
inline constexpr char16_t kDetailsFillMark = 0x25A0;
// A blank shown visibly.
inline constexpr char16_t kDetailsBlankMark = 0x2219;

enum TDetailsMode : int { dmText = 0, dmAlignedText = 1, dmHex = 2, dmAlignedHex = 3 };

struct TDetailsSide {
    QString text;                // as the pane shows it (tab mark and tab fill)
    std::vector<quint8> flags;   // per character plus two for the line end; empty: none
    int kind = 0;                // file kind of the pane (TFZFileKind)
    int lineBreak = 0;           // TFZLineBreak of the pane
    bool gap = false;            // the row is a gap on this side
    QString numberText;          // binary view: the row's number text
};

struct TDetailsInput {
    std::array<TDetailsSide, 2> side;
    int mode = dmText;
    bool binaryView = false;
    int activePane = 1;          // 1 or 2
    int caretColumn = 1;         // from 1
    int detailsRow = -1;         // the row shown last (-2 keeps, -3 user scroll)
    int scrollOffset = 1;        // first shown column, from 1
    int visibleColumns = 80;
    bool visibleBlanks = true;
    int maxColumns = 1024;
    int hexBytes = 16;
    // The folder view: both paths shown as they are, nothing aligned or marked.
    bool folderView = false;
};

struct TDetailsResult {
    std::array<QString, 2> shown;
    std::array<std::vector<quint8>, 2> classes;  // one per shown character
    // Position (from 0) and length of the caret's run in the active pane's
    // shown text; position -1 when the caret stands on no character.
    int caretPos = -1;
    int caretLength = 0;
    int scrollOffset = 1;
    int longest = 0;
    bool hexShown = false;       // the texts are hexadecimal bytes
};

TDetailsResult buildDetailsLine(const TDetailsInput& in);

// The details field's text (only what fits, from the scroll offset on).
QString detailsFieldText(const TDetailsResult& r, int pane, int visibleColumns);

// Copy from a details field: visible blanks back to blanks, fill marks out.
QString detailsCopyText(const QString& selected);

}  // namespace tandex::ui
