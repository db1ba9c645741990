#include "engine/rows.h"

#include "engine/folder_rows.h"

#include "config/app_settings.h"

#include <algorithm>

namespace tandex::engine {

namespace {

constexpr char16_t kTabMark = 187;
// A NUL stays in its line; the panes show it as the empty-set sign, which
// the common monospace fonts draw (the control picture for null they lack).
constexpr char16_t kNulMark = 0x2205;
constexpr char16_t kNoBreakSpace = 160;

PaneStores& stores() { return paneStores(); }

// The three hide-lines lists, lower-cased like the lines they are tested on.
struct LineFilterLists {
    QStringList start, with, end;
    bool any() const { return !start.isEmpty() || !with.isEmpty() || !end.isEmpty(); }
};

QString foldCase(QString text) {
    for (QChar& c : text) c = c.toLower();
    return text;
}

QStringList prepareList(bool on, const QString& list, bool matchCase) {
    if (!on) return {};
    QStringList entries = list.split(u';', Qt::SkipEmptyParts);
    if (!matchCase)
        for (QString& e : entries) e = foldCase(e);
    return entries;
}

LineFilterLists lineFilterLists() {
    const auto& s = config::AppSettings();
    return {prepareList(s.TEHideLnStart, s.TEHideTxStart, s.TEMatchLFCase),
            prepareList(s.TEHideLnWith, s.TEHideTxWith, s.TEMatchLFCase),
            prepareList(s.TEHideLnEnd, s.TEHideTxEnd, s.TEMatchLFCase)};
}

// The filter test of one line against prepared lists: -1 undecided, 0, 1.
bool matchLists(const QString& stored, const LineFilterLists& lists) {
    const auto& s = config::AppSettings();
    const QString text = s.TEMatchLFCase ? stored : foldCase(stored);
    const auto anyOf = [&](const QStringList& entries, auto test) {
        return std::any_of(entries.begin(), entries.end(), test);
    };
    int result = -1;
    if (!lists.start.isEmpty()) {
        bool r = anyOf(lists.start, [&](const QString& e) { return text.startsWith(e); });
        result = (r != s.TENotStart) ? 1 : 0;
    }
    if (!lists.with.isEmpty() && !(s.TEAndOr1 && result == 1)) {
        bool r = anyOf(lists.with, [&](const QString& e) { return text.contains(e); }) != s.TENotWith;
        result = result < 0 ? int(r) : s.TEAndOr1 ? int(result == 1 || r) : int(result == 1 && r);
    }
    if (!lists.end.isEmpty() && !(s.TEAndOr2 && result == 1)) {
        bool r = anyOf(lists.end, [&](const QString& e) { return text.endsWith(e); }) != s.TENotEnd;
        result = result < 0 ? int(r) : s.TEAndOr2 ? int(result == 1 || r) : int(result == 1 && r);
    }
    return result == 1;
}

// Passes a line pair through a view kind: D = either line differs.
bool passesViewKind(int kind, bool differs, bool gap1, bool gap2) {
    switch (kind) {
    case 1: return !differs;
    case 2: return differs;
    case 3: return differs && !gap1 && !gap2;
    case 4: return gap1 || gap2;
    case 5: return !differs || gap1 || gap2;
    case 6: return !gap1 && !gap2;
    default: return true;
    }
}

QString plainText(const QString& stored) {
    QString text = stored;
    for (QChar& c : text)
        if (c == kTabFill) c = u' ';
    return text;
}

int digitCount(qint64 value, int base) {
    return int(QString::number(value, base).size());
}

}  // namespace

Rows::Rows() { InitRows(); }

void Rows::InitRows() {
    TextRowMap.clear();
    BinaryRowMap.clear();
    TextRowCount = BinaryRowCount = 0;
    TextViewFilter = BinaryViewFilter = 0;
    HiddenRowCount = 0;
    CaretViewActive = 0;
    TextSelection.clear();
    BinarySelection.clear();
    FolderSelection.clear();
    TextSelectionSide = BinarySelectionSide = 1;
    LineNumberWidth = 3;
    SelectSelectionMode(false);
}

void Rows::SelectSelectionMode(bool binary) {
    activeSelection_ = binary ? &BinarySelection : &TextSelection;
    activeSelectionSide_ = binary ? &BinarySelectionSide : &TextSelectionSide;
}

bool Rows::textMode() const { return !stores().FolderMode && !stores().BinaryMode; }

// ---- row maps ---------------------------------------------------------------

void Rows::FilterTextRows(int kind) {
    auto& s = stores();
    const auto& settings = config::AppSettings();
    const LineFilterLists lists =
        s.LineFilterActive && settings.TEFilterEna ? lineFilterLists() : LineFilterLists{};
    const bool filtering = lists.any();
    TextRowMap.clear();
    // Room for every row at once: a map of millions of rows otherwise
    // copies itself a score of times while it grows. Untouched room costs
    // no memory.
    TextRowMap.reserve(size_t(std::max(s.MaxLineCount, 0)));
    HiddenRowCount = 0;
    for (int i = 0; i < s.MaxLineCount; ++i) {
        const TTextLine* l = s.TextLines[1][i];
        const TTextLine* r = s.TextLines[2][i];
        const bool differs = l->Differs || r->Differs;
        if (!passesViewKind(kind, differs, l->Gap, r->Gap)) continue;
        if (filtering) {
            bool match = matchLists(l->Text, lists);
            if (differs && match && !s.SinglePaneView) match = matchLists(r->Text, lists);
            if (match == settings.TEHideLines) {
                ++HiddenRowCount;
                continue;
            }
        }
        TextRowMap.push_back(i);
    }
    TextRowCount = int(TextRowMap.size());
    UpdateLineNumberWidth(false);
}

void Rows::FilterBinaryRows(int kind) {
    auto& s = stores();
    BinaryRowMap.clear();
    BinaryRowMap.reserve(size_t(std::max(s.MaxLineCount, 0)));
    for (int i = 0; i < s.MaxLineCount; ++i) {
        const TBinLine* l = s.BinaryLines[1][i];
        const TBinLine* r = s.BinaryLines[2][i];
        if (passesViewKind(kind, l->Differs || r->Differs, l->Gap, r->Gap)) BinaryRowMap.push_back(i);
    }
    BinaryRowCount = int(BinaryRowMap.size());
    UpdateLineNumberWidth(false);
}

bool Rows::MatchLineFilter(int pane, int line) const {
    if (!PaneStores::IsPane(pane)) return false;
    return matchLists(stores().TextLines[size_t(pane)][line]->Text, lineFilterLists());
}

int Rows::TextRowIndex(int row) const {
    return row >= 0 && row < TextRowCount && row < int(TextRowMap.size()) ? TextRowMap[size_t(row)] : -1;
}

int Rows::BinaryRowIndex(int row) const {
    return row >= 0 && row < BinaryRowCount && row < int(BinaryRowMap.size()) ? BinaryRowMap[size_t(row)] : -1;
}

int Rows::RowIndex(int row) const {
    if (stores().FolderMode) return folderRows().FolderRowEntry(row);
    return stores().BinaryMode ? BinaryRowIndex(row) : TextRowIndex(row);
}

int Rows::TextRowOfLine(int index) const {
    if (index < 0) return -1;
    if (TextRowIndex(index) == index) return index;  // nothing hidden above it
    const auto end = TextRowMap.begin() + std::min<qsizetype>(TextRowCount, qsizetype(TextRowMap.size()));
    const auto it = std::lower_bound(TextRowMap.begin(), end, index);
    return it != end && *it == index ? int(it - TextRowMap.begin()) : -1;
}

int Rows::RowOfLineNumber(int pane, int number) const {
    if (!PaneStores::IsPane(pane) || TextRowCount <= 0) return -1;
    const auto& lines = stores().TextLines[size_t(pane)];
    int lastSmaller = -1;
    for (int row = 0; row < TextRowCount; ++row) {
        const TTextLine* line = lines[TextRowIndex(row)];
        if (line->Gap) continue;
        if (line->LineNumber == number) return row;
        if (line->LineNumber > number) break;
        lastSmaller = row;
    }
    return std::min(lastSmaller + 1, TextRowCount - 1);
}

bool Rows::IsLineVisible(int pane, int number) const {
    if (stores().FolderMode) return true;
    if (!PaneStores::IsPane(pane)) return false;
    const auto& lines = stores().TextLines[size_t(pane)];
    for (int row = 0; row < TextRowCount; ++row) {
        const TTextLine* line = lines[TextRowIndex(row)];
        if (!line->Gap && line->LineNumber == number) return true;
    }
    return false;
}

// ---- differences ------------------------------------------------------------

bool Rows::LineDiffers(int index) const {
    const TTextLine* l = stores().TextLines[1][index];
    const TTextLine* r = stores().TextLines[2][index];
    if (config::AppSettings().TCIgnEmptyLn) {
        // A gap facing a line that does not differ only pads an empty line.
        if (l->Gap && !r->Gap && !r->Differs) return false;
        if (r->Gap && !l->Gap && !l->Differs) return false;
    }
    return l->Differs || r->Differs;
}

bool Rows::TextRowDiffers(int row) const {
    const int index = TextRowIndex(row);
    return index >= 0 && LineDiffers(index);
}

bool Rows::RowDiffers(int row) const {
    if (stores().FolderMode) return folderRows().FolderViewFilter != 1 && folderRows().FolderRowDiffers(row);
    if (stores().BinaryMode) {
        const int index = BinaryRowIndex(row);
        return index >= 0 && stores().BinaryLines[1][index]->Differs;
    }
    return TextRowDiffers(row);
}

void Rows::SetRowDiffers(int row, bool value) {
    auto& s = stores();
    if (s.FolderMode) {
        folderRows().SetFolderRowDiffers(row, value);
        return;
    }
    const int index = RowIndex(row);
    if (index < 0) return;
    for (int pane = 1; pane <= 2; ++pane) {
        if (s.BinaryMode) {
            TBinLine* line = s.BinaryLines[size_t(pane)][index];
            if (!line->Gap) line->Differs = value;
        } else {
            TTextLine* line = s.TextLines[size_t(pane)][index];
            if (!line->Gap) line->Differs = value;
        }
    }
}

int Rows::RowResult(int row) const {
    if (stores().FolderMode) {
        const int entry = folderRows().FolderRowEntry(row);
        return entry < 0 ? 0 : folderRows().FolderEntryResult(entry);
    }
    return RowDiffers(row) ? 2 : 0;
}

bool Rows::IsGapLine(int pane, int row) const {
    if (!PaneStores::IsPane(pane) || stores().FolderMode) return false;
    const int index = RowIndex(row);
    if (index < 0) return false;
    return stores().BinaryMode ? stores().BinaryLines[size_t(pane)].IsGap(index)
                               : stores().TextLines[size_t(pane)].IsGap(index);
}

namespace {

// A folder entry that is there: a present file or folder.
bool folderEntryPresent(int pane, int index) {
    const TFolderEntry* e = stores().FolderEntries[size_t(pane)][index];
    return !e->Empty && (e->Status == 0 || e->Status == 6);
}

}  // namespace

bool Rows::IsRowMissing(int pane, int row) const {
    if (!stores().FolderMode) return IsGapLine(pane, row);
    const int index = RowIndex(row);
    return PaneStores::IsPane(pane) && index >= 0 && !folderEntryPresent(pane, index);
}

bool Rows::IsRowOnBothSides(int row) const {
    if (stores().FolderMode) {
        const int index = RowIndex(row);
        return index >= 0 && folderEntryPresent(1, index) && folderEntryPresent(2, index);
    }
    if (RowIndex(row) < 0) return false;
    return !IsGapLine(1, row) && !IsGapLine(2, row);
}

void Rows::ClearLineDifferences() {
    auto& s = stores();
    for (int pane = 1; pane <= 2; ++pane) {
        auto& lines = s.TextLines[size_t(pane)];
        for (int i = 0; i < lines.StoredSize(); ++i) {
            TTextLine* line = lines[i];
            if (line->Gap) continue;
            line->CharFlags = {};
            line->Differs = 0;
        }
    }
}

// ---- per-character flags ----------------------------------------------------

void Rows::NewRowCharFlags(int row) {
    const int index = TextRowIndex(row);
    if (index < 0) return;
    for (int pane = 1; pane <= 2; ++pane) {
        TTextLine* line = stores().TextLines[size_t(pane)][index];
        if (!line->Gap) line->CharFlags.assign(size_t(line->Length() + 2), 0);
    }
}

std::vector<quint8>* Rows::RowCharFlags(int pane, int row) const {
    const int index = TextRowIndex(row);
    if (index < 0 || !PaneStores::IsPane(pane)) return nullptr;
    TTextLine* line = stores().TextLines[size_t(pane)][index];
    return line->HasCharFlags() ? &line->CharFlags : nullptr;
}

bool Rows::RowHasCharFlags(int row) const { return RowCharFlags(1, row) && RowCharFlags(2, row); }

void Rows::FreeRowCharFlags(int row) {
    const int index = TextRowIndex(row);
    if (index < 0) return;
    for (int pane = 1; pane <= 2; ++pane) {
        TTextLine* line = stores().TextLines[size_t(pane)][index];
        if (!line->Gap) line->CharFlags = {};
    }
}

void Rows::FreeAllCharFlags() {
    for (int pane = 1; pane <= 2; ++pane) {
        auto& lines = stores().TextLines[size_t(pane)];
        for (int i = 0; i < lines.StoredSize(); ++i) {
            TTextLine* line = lines[i];
            if (!line->Gap) line->CharFlags = {};
        }
    }
}

// ---- selection --------------------------------------------------------------

quint32 Rows::selectionAt(int index) const {
    const auto& sel = ActiveSelection();
    return index >= 0 && index < int(sel.size()) ? sel[size_t(index)] : 0;
}

void Rows::setSelectionAt(int index, quint32 value) {
    if (index < 0 || index >= kRowSlots) return;
    auto& sel = ActiveSelection();
    if (index >= int(sel.size())) {
        if (value == 0) return;
        sel.resize(size_t(index) + 1, 0);
    }
    sel[size_t(index)] = value;
}

void Rows::FillDWords(quint32 value, std::vector<quint32>& buffer, int count) {
    count = std::clamp(count, 0, kRowSlots);
    if (int(buffer.size()) < count) buffer.resize(size_t(count));
    std::fill_n(buffer.begin(), count, value);
}

void Rows::SetLineSelection(int pane, int row, int first, int last) {
    if (!PaneStores::IsPane(pane) || stores().FolderMode) return;
    const int index = RowIndex(row);
    if (index < 0) return;
    if (pane != ActiveSelectionSide()) {
        ClearLineSelection();
        ActiveSelectionSide() = pane;
    }
    const bool gap = stores().BinaryMode ? stores().BinaryLines[size_t(pane)].IsGap(index)
                                         : stores().TextLines[size_t(pane)].IsGap(index);
    if (gap) {
        first = 1;
        last = int(kSelectionToEnd);
    }
    if (last == 0) last = int(kSelectionToEnd);
    setSelectionAt(index, (quint32(first) & 0xFFFF) | (quint32(last) & 0xFFFF) << 16);
}

quint32 Rows::RowSelectionRange(int pane, int row) const {
    if (stores().FolderMode || pane != ActiveSelectionSide()) return 0;
    return selectionAt(RowIndex(row));
}

bool Rows::IsRowSelected(int pane, int row) const { return RowSelectionRange(pane, row) != 0; }

int Rows::RowSelectionKind(int pane, int row) const {
    if (stores().FolderMode) return folderRows().FolderRowSelectionKind(pane, row);
    return IsRowSelected(pane, row) ? 1 : 0;
}

int Rows::SelectedCount(bool filesOnly) const {
    if (stores().FolderMode) return folderRows().SelectedFolderEntryCount(filesOnly);
    const int count = stores().BinaryMode ? BinaryRowCount : TextRowCount;
    int selected = 0;
    for (int row = 0; row < count; ++row)
        if (selectionAt(RowIndex(row)) != 0) ++selected;
    return selected;
}

int Rows::FirstSelectedRow() const {
    if (stores().FolderMode) return folderRows().FirstSelectedFolderRow();
    const int count = stores().BinaryMode ? BinaryRowCount : TextRowCount;
    for (int row = 0; row < count; ++row)
        if (selectionAt(RowIndex(row)) != 0) return row;
    return kNoSelectedRow;
}

void Rows::SetRowSelection(int pane, int row, int first, bool select, int last) {
    if (!PaneStores::IsPane(pane)) return;
    if (stores().FolderMode) {
        folderRows().SetFolderRowSelected(pane, row, select);
        return;
    }
    const int index = RowIndex(row);
    if (index < 0) return;
    if (select)
        SetLineSelection(pane, row, first, last);
    else if (pane == ActiveSelectionSide())
        setSelectionAt(index, 0);
}

void Rows::SelectAllRows(int pane) {
    auto& s = stores();
    if (!PaneStores::IsPane(pane)) return;
    if (s.FolderMode) {
        folderRows().SelectAllFolderEntries(pane);
        return;
    }
    ClearLineSelection();
    ActiveSelectionSide() = pane;
    for (int i = 0; i < s.MaxLineCount; ++i) setSelectionAt(i, 1 | kSelectionToEnd << 16);
}

void Rows::ClearLineSelection() {
    ActiveSelection().clear();
    ActiveSelection().shrink_to_fit();
}

void Rows::ClearSelection() {
    if (stores().FolderMode)
        FolderSelection.clear();
    else
        ClearLineSelection();
}

// ---- tags -------------------------------------------------------------------

void Rows::TagLineAtRow(int pane, int row, quint8 bits) {
    if (!PaneStores::IsPane(pane) || !textMode()) return;
    int index = TextRowIndex(row);
    if (index < 0) return;
    auto& lines = stores().TextLines[size_t(pane)];
    if (!lines.IsGap(index)) {
        lines[index]->Tags |= bits & 0x0F;
        return;
    }
    // On a gap the real line above carries the tag for "the row after me".
    while (--index >= 0) {
        if (lines.IsGap(index)) continue;
        lines[index]->Tags |= quint8((bits & 0x0F) | (bits & 0x0F) << 4);
        return;
    }
}

int Rows::TakeTaggedLineRow(int pane, quint8 bits) {
    if (!PaneStores::IsPane(pane) || !textMode()) return -1;
    bits &= 0x0F;
    auto& lines = stores().TextLines[size_t(pane)];
    for (int i = 0; i < lines.StoredSize(); ++i) {
        TTextLine* line = lines[i];
        if (line->Gap || !(line->Tags & (bits | bits << 4))) continue;
        const bool after = line->Tags & (bits << 4);
        line->Tags &= quint8(~(bits | bits << 4));
        if (!after) return TextRowOfLine(i);
        const auto end = TextRowMap.begin() + std::min<qsizetype>(TextRowCount, qsizetype(TextRowMap.size()));
        const auto it = std::upper_bound(TextRowMap.begin(), end, i);
        return it != end ? int(it - TextRowMap.begin()) : -1;
    }
    return -1;
}

// ---- texts and numbers ------------------------------------------------------

QString Rows::RowText(int pane, int row) const {
    if (!PaneStores::IsPane(pane)) return {};
    if (stores().FolderMode) return folderRows().FolderRowText(pane, row);
    const int index = RowIndex(row);
    if (index < 0) return {};
    if (stores().BinaryMode) return QString::fromLatin1(stores().BinaryLines[size_t(pane)][index]->HexText());
    const auto& settings = config::AppSettings();
    const char16_t mark = settings.TEVisibleTAB ? kTabMark : kNoBreakSpace;
    const int tabSize = settings.TETabSize;
    QString text = stores().TextLines[size_t(pane)][index]->Text;
    bool inRun = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != kTabFill) {
            inRun = false;
            continue;
        }
        const qsizetype column = i + 1;
        const bool tabStop = tabSize > 0 && column % tabSize == 1;
        text[i] = (!inRun || tabStop) ? mark : kNoBreakSpace;
        inRun = true;
    }
    text.replace(QChar(u'\0'), QChar(kNulMark));
    return text;
}

QString Rows::LinePlainText(int pane, int index) const {
    if (!PaneStores::IsPane(pane)) return {};
    return plainText(stores().TextLines[size_t(pane)][index]->Text);
}

QString Rows::RowPlainText(int pane, int row) const {
    if (!PaneStores::IsPane(pane)) return {};
    if (stores().FolderMode) return folderRows().FolderRowPath(pane, row);
    const int index = RowIndex(row);
    if (index < 0) return {};
    if (stores().BinaryMode) return QString::fromLatin1(stores().BinaryLines[size_t(pane)][index]->HexText());
    return LinePlainText(pane, index);
}

int Rows::RowTextLength(int pane, int row) const {
    if (!PaneStores::IsPane(pane)) return 0;
    const int index = RowIndex(row);
    if (index < 0) return 0;
    if (stores().FolderMode) return stores().FolderEntries[size_t(pane)][index]->PathLength;
    if (stores().BinaryMode) return config::AppSettings().BCHEXBytes * 4 + 2;
    return stores().TextLines[size_t(pane)][index]->Length();
}

int Rows::LineNumberAt(int pane, int index) const {
    if (!PaneStores::IsPane(pane) || index < 0) return -1;
    const auto& s = stores();
    if (s.BinaryMode) {
        if (!config::AppSettings().BCOffsetAddr) return index + 1;
        return int(s.BinaryLines[size_t(pane)][index]->Offset);
    }
    const auto& lines = s.TextLines[size_t(pane)];
    for (int i = index; i < lines.StoredSize(); ++i)
        if (!lines.IsGap(i)) return lines[i]->LineNumber;
    return -1;
}

int Rows::RowLineNumber(int pane, int row) const {
    const int index = RowIndex(row);
    if (index < 0) return -1;
    if (stores().FolderMode)
        return PaneStores::IsPane(pane) ? stores().FolderEntries[size_t(pane)][index]->RowNumber : -1;
    return LineNumberAt(pane, index);
}

QString Rows::RowNumberText(int pane, int row) const {
    if (!PaneStores::IsPane(pane)) return {};
    const int index = RowIndex(row);
    if (index < 0) return {};
    const auto& s = stores();
    QString number;
    if (s.FolderMode) {
        number = QString::number(row + 1);
    } else if (s.BinaryMode) {
        const TBinLine* line = s.BinaryLines[size_t(pane)][index];
        if (line->Gap) return PadString.left(LineNumberWidth);
        number = config::AppSettings().BCOffsetAddr ? QString::number(line->Offset, 16).toUpper()
                                                     : QString::number(index + 1);
    } else {
        const TTextLine* line = s.TextLines[size_t(pane)][index];
        // A continuation row carries on the file's line above it.
        if (line->Gap || s.IsContinuationLine(pane, index)) return PadString.left(LineNumberWidth);
        number = QString::number(line->LineNumber < 0 ? line->LineNumber : s.FileLineNumber(pane, index));
    }
    return number.rightJustified(LineNumberWidth, u' ');
}

void Rows::UpdateLineNumberWidth(bool forFolderRows) {
    const auto& s = stores();
    int digits = 1;
    if (forFolderRows) {
        digits = digitCount(folderRows().FolderRowCount, 10);
    } else if (s.BinaryMode) {
        const bool hex = config::AppSettings().BCOffsetAddr;
        qint64 largest = 0;
        for (int pane = 1; pane <= 2; ++pane) {
            const auto& lines = s.BinaryLines[size_t(pane)];
            int last = s.LineCount[size_t(pane)] - 1;
            // A side without bytes at the end has gaps there; its largest
            // offset stands on its last real line.
            while (hex && last >= 0 && lines.IsGap(last)) --last;
            if (last < 0) continue;
            largest = std::max(largest, hex ? lines[last]->Offset : qint64(last) + 1);
        }
        digits = digitCount(largest, hex ? 16 : 10);
    } else {
        // The last numbered row carries the largest line number of the view.
        qint64 largest = 0;
        for (int row = TextRowCount - 1; row >= 0 && largest == 0; --row) {
            const int index = TextRowIndex(row);
            for (int pane = 1; pane <= 2; ++pane) {
                const TTextLine* line = s.TextLines[size_t(pane)][index];
                if (!line->Gap) largest = std::max<qint64>(largest, line->LineNumber < 0 ? line->LineNumber
                                                                               : s.FileLineNumber(pane, index));
            }
        }
        digits = digitCount(largest, 10);
    }
    LineNumberWidth = std::clamp(digits, 3, 8);
}

int Rows::BinaryRowByteCount(int pane, int row) const {
    if (!PaneStores::IsPane(pane) || !stores().BinaryMode) return 0;
    const int index = BinaryRowIndex(row);
    if (index < 0) return 0;
    const QByteArray hex = stores().BinaryLines[size_t(pane)][index]->HexText();
    qsizetype used = std::min<qsizetype>(hex.size(), qsizetype(config::AppSettings().BCHEXBytes) * 3);
    while (used > 0 && hex[used - 1] == ' ') --used;
    // Each cell is two digits and a blank; the last cell's blank was trimmed.
    return int((used + 1) / 3);
}

Rows& rows() {
    static Rows state;
    return state;
}

}  // namespace tandex::engine
