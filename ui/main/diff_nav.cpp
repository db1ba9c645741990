#include "ui/main/diff_nav.h"

#include <algorithm>
#include <cstdlib>

namespace tandex::ui {

namespace {

constexpr int kWheelUnitsPerRow = 40;
constexpr char16_t kNoBreakSpace = 0xA0;

bool isRunRow(const TNavRows& rows, int row) {
    return row >= 0 && row < rows.RowCount() && rows.Differs(row) && rows.FolderState(row) == 0;
}

constexpr int kClosedFolder = 1;

bool isHiddenDifference(const TNavRows& rows, int row) {
    return rows.Differs(row) && rows.FolderState(row) == kClosedFolder;
}

}  // namespace

TDiffRun NextDifferenceRun(const TNavRows& rows, int from, bool leaveCurrent) {
    int r = std::max(from, 0);
    if (leaveCurrent)
        while (isRunRow(rows, r)) ++r;
    // The count grows as closed folders open behind the walk.
    for (; r < rows.RowCount(); ++r) {
        if (isHiddenDifference(rows, r)) rows.OpenFolder(r);
        if (!isRunRow(rows, r)) continue;
        TDiffRun run{r, r};
        while (isRunRow(rows, run.last + 1)) ++run.last;
        return run;
    }
    return {};
}

TDiffRun PreviousDifferenceRun(const TNavRows& rows, int from) {
    const int count = rows.RowCount();
    int n = std::min(from, count - 1);
    if (n <= 0) return {};
    if (n < count - 1)
        while (n >= 0 && isRunRow(rows, n)) --n;
    for (; n >= 0; --n) {
        // Opened, the folder's children follow it: go on from its last one.
        while (isHiddenDifference(rows, n)) {
            const int inserted = rows.OpenFolder(n);
            if (inserted <= 0) break;
            n += inserted;
        }
        if (!isRunRow(rows, n)) continue;
        TDiffRun run{n, n};
        while (isRunRow(rows, run.first - 1)) --run.first;
        return run;
    }
    return {};
}

int ScrollTopForRow(int row, int top, int rowsPerPage) {
    const int r = row + 1;
    if (r >= top && r <= top + rowsPerPage - 2) return top;
    return std::max(r - std::min(5, rowsPerPage / 2), 1);
}

int LastPageTop(int rowCount, int rowsPerPage) { return std::max(rowCount - std::max(rowsPerPage, 1) + 1, 1); }

TLineTarget LongestLine(const TNavRows& rows) {
    TLineTarget best;
    int longest = -1;
    for (int row = 0; row < rows.RowCount(); ++row) {
        const int left = rows.TextLength(1, row), right = rows.TextLength(2, row);
        const int length = std::max(left, right);
        if (length <= longest) continue;
        longest = length;
        best = {right > left ? 2 : 1, row};
    }
    return best;
}

int StepFileRow(const TNavRows& rows, int from, bool forward) {
    const int step = forward ? 1 : -1;
    int pos = from + step;
    while (pos >= 0 && pos < rows.RowCount() && rows.FolderState(pos) != 0) {
        if (rows.FolderState(pos) == kClosedFolder) {
            const int inserted = rows.OpenFolder(pos);
            // Past the rows just inserted, so that the step back lands on the last.
            if (!forward) pos += inserted + 1;
        }
        pos += step;
    }
    return std::clamp(pos, -1, rows.RowCount());
}

int FirstRowAtDepth(const TNavRows& rows, int depth) {
    for (int row = 0; row < rows.RowCount(); ++row)
        if (rows.Depth(row) == depth) return row;
    return -1;
}

int RowOfLine(const TNavRows& rows, int pane, int index) {
    for (int row = 0; row < rows.RowCount(); ++row)
        if (rows.LineNumber(pane, row) == index + 1) return row;
    return -1;
}

int LastNumberedRow(const TNavRows& rows, int pane) {
    for (int row = rows.RowCount() - 1; row >= 0; --row)
        if (rows.LineNumber(pane, row) >= 0) return row;
    return -1;
}

int HexGroupColumn(const QString& text, int group, int maxGroups) {
    if (text.isEmpty()) return 0;
    int found = 0, lastColumn = 1;
    for (int g = 0; g < maxGroups; ++g) {
        const int column = 1 + 3 * g;
        if (column > text.size()) break;
        // A missing byte is padded with no-break spaces: it is no target.
        if (text[column - 1] == QChar(kNoBreakSpace)) continue;
        lastColumn = column;
        if (found++ == group) return column;
    }
    return lastColumn;
}

int SnapHexPosition(int position) { return ((position - 1) / 3) * 3 + 1; }

int ScrollStepTop(TScrollStep step, int top, int rowCount, int rowsPerPage, int trackPosition) {
    const int lastTop = LastPageTop(rowCount, rowsPerPage);
    const bool lastPageShown = top >= lastTop;
    switch (step) {
    case TScrollStep::LineUp:
        return top > 1 ? top - 1 : top;
    case TScrollStep::LineDown:
        return lastPageShown ? top : top + 1;
    case TScrollStep::PageUp:
        return top > 1 ? std::max(top - rowsPerPage + 1, 1) : top;
    case TScrollStep::PageDown:
        return lastPageShown ? top : std::min(top + rowsPerPage - 1, lastTop);
    case TScrollStep::Track:
        return std::clamp(trackPosition, 1, lastTop);
    case TScrollStep::Other:
        break;
    }
    return top;
}

int TWheelSteps::Rows(int delta) {
    // A turn the other way starts afresh.
    if ((delta > 0 && remainder_ < 0) || (delta < 0 && remainder_ > 0)) remainder_ = 0;
    remainder_ += delta;
    const int rows = remainder_ / kWheelUnitsPerRow;
    remainder_ -= rows * kWheelUnitsPerRow;
    return rows;
}

int WheelTop(int rows, int top, int rowCount, int rowsPerPage) {
    if (rows > 0) return top > 1 ? std::max(top - rows, 1) : top;
    const int lastTop = LastPageTop(rowCount, rowsPerPage);
    if (rows < 0 && top < lastTop) return std::min(top - rows, lastTop);
    return top;
}

}  // namespace tandex::ui
