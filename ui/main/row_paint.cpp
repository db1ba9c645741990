#include "ui/main/row_paint.h"

#include <algorithm>
#include <optional>

#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/rows.h"

namespace tandex::ui {

namespace {

using namespace config;

constexpr TColor kBlack = 0;
constexpr TColor kWhite = 0xFFFFFF;

// How far a visible blank's colour goes from the background to the font.
constexpr int kBlankBlend = 114;

// The 21 characters that end a word before a link.
const QString kLinkDelimiters = QStringLiteral(" :=,.()[]<>*/\\+-;'@\"!");

bool endsLink(QChar c) {
    return c == u' ' || c == u')' || c == u']' || c == u'"' || c == u'\'';
}

bool startsWithScheme(const QString& text, int index) {
    static const char* const schemes[] = {"http://", "https://", "ftp://", "sftp://", "mailto:"};
    for (const char* scheme : schemes)
        if (QStringView(text).mid(index).startsWith(QLatin1String(scheme))) return true;
    return false;
}

quint8 flagAt(const TCharFlags& flags, int index) {
    return index >= 0 && index < int(flags.size()) ? flags[size_t(index)] : quint8(cfEqual);
}

bool inSelection(quint32 range, int column) {
    if (range == 0) return false;
    const int first = int(range & 0xFFFF);
    const int end = int(range >> 16);
    return column >= first && (end == int(engine::kSelectionToEnd) || column < end);
}

}  // namespace

TColor paintColor(const TColorSet& colors, int index) {
    const quint32 c = colors[size_t(index)];
    return (c & 0xFF000000) == kSysColorRefBase ? SystemColor(int(c & 0xFF)) : c;
}

TCellColors setCellColors(int kind, int mate, const TRowLook& row, const TColorSet& colors) {
    auto c = [&](int index) { return paintColor(colors, index); };
    const bool eitherMissing = row.leftMissing || row.rightMissing;
    TCellColors mateDefault;
    switch (mate) {
    case 1:
        mateDefault = {c(TextColL), c(SelMateBgCol)};
        break;
    case 2:
        mateDefault = {c(TextColR), c(SelMateBgCol)};
        break;
    default:
        mateDefault = {kBlack, c(TextBgCol)};
        break;
    }
    auto missingBrush = [&](int otherwise) {
        if (row.leftMissing) return c(AddBgCol);
        if (row.rightMissing) return c(DelBgCol);
        return c(otherwise);
    };
    switch (kind) {
    case 0:
        return {c(TextColL), c(TextBgCol)};
    case 1:
        return {c(TextColR), c(TextBgCol)};
    case 2: {
        const TColor font = eitherMissing ? c(OrphanedCol) : c(DiffCol);
        return {font, missingBrush(row.rowModified ? DiffBgCol : TextBgCol)};
    }
    case 3:
        return {c(LNumCol), c(LNumBgCol)};
    case 4:
        return mate == 0 ? TCellColors{c(SelLnCol), c(SelLnBgCol)} : mateDefault;
    case 5:
        return mate == 0 ? TCellColors{c(SelTxtCol), c(SelTxtBgCol)} : mateDefault;
    case 6:
        return {eitherMissing ? c(OrphanedCol) : c(DiffCol), mate == 0 ? c(SelTxtBgCol) : mateDefault.brush};
    case 7:
        return mate == 0 ? TCellColors{c(SelFldCol), c(SelFldBgCol)} : mateDefault;
    case 8:
        return {eitherMissing ? c(OrphanedCol) : c(ModFldCol), mate == 0 ? c(SelFldBgCol) : mateDefault.brush};
    case 9:
        return {eitherMissing ? c(OrphanedCol) : c(ModFldCol), missingBrush(ModFldBgCol)};
    default:
        return {kBlack, kWhite};
    }
}

TCellChoice cellColorsForPane(int pane, int selThis, int selOther, const TRowLook& row,
                              const TColorSet& colors) {
    TCellChoice choice;
    choice.sel = selThis;
    if (choice.sel == 0) {
        choice.sel = selOther;
        choice.mate = pane == 1 ? 1 : 2;
    }
    choice.kind = pane == 1 ? 0 : 1;
    switch (choice.sel) {
    case 1:
        if (row.rowDiffers)
            choice.kind = row.folderMode ? 6 : 2;
        else if (row.folderMode)
            choice.kind = 5;
        break;
    case 2:
        choice.kind = row.rowDiffers ? 8 : 7;
        break;
    default:
        if (row.rowDiffers) choice.kind = row.folderState != 0 ? 9 : 2;
        choice.mate = 0;
        break;
    }
    choice.colors = setCellColors(choice.kind, choice.mate, row, colors);
    return choice;
}

// ---- flags --------------------------------------------------------------------

namespace {

bool blankOnly(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.isSpace() || ch == QChar(kFillerChar); });
}

void fill(TCharFlags& flags, qsizetype size, quint8 value) { flags.assign(size_t(size), value); }

}  // namespace

TTextRowFlags fillTextRowFlags(const TTextRowInput& in, const TAppSettings& s) {
    TTextRowFlags out;
    out.left = in.left;
    out.right = in.right;
    out.rowDiffers = in.rowDiffers;
    if (!out.rowDiffers) {
        fill(out.flagsLeft, out.left.size(), cfEqual);
        fill(out.flagsRight, out.right.size(), cfEqual);
    }
    if (in.engineLeft && in.engineRight) {
        out.flagsLeft.assign(in.engineLeft->begin(), in.engineLeft->end());
        out.flagsRight.assign(in.engineRight->begin(), in.engineRight->end());
        out.flagsLeft.resize(size_t(out.left.size()), cfEqual);
        out.flagsRight.resize(size_t(out.right.size()), cfEqual);
    } else {
        if (out.rowDiffers && s.TCIgnEmptyLn && in.leftMissing != in.rightMissing &&
            blankOnly(in.leftMissing ? in.right : in.left)) {
            out.rowDiffers = false;
            out.ignoredEmptyRow = true;
            fill(out.flagsLeft, out.left.size(), cfEqual);
            fill(out.flagsRight, out.right.size(), cfEqual);
        }
        if (out.rowDiffers) {
            fill(out.flagsLeft, out.left.size(), cfDiffers);
            fill(out.flagsRight, out.right.size(), cfDiffers);
        }
        if (in.lineIndex < s.TCIgnLnStart || in.lineIndex >= in.maxLineCount - s.TCIgnLnEnd) {
            fill(out.flagsLeft, out.left.size(), cfIgnored);
            fill(out.flagsRight, out.right.size(), cfIgnored);
        } else if (in.ignoredColumns) {
            for (TCharFlags* flags : {&out.flagsLeft, &out.flagsRight})
                for (size_t i = 0; i < flags->size() && int(i) < in.ignoredColumnCount; ++i)
                    if (in.ignoredColumns[i + 1]) (*flags)[i] = cfIgnored;
        }
    }
    markLinks(out.left, out.flagsLeft, s.TEEnableLinks);
    markLinks(out.right, out.flagsRight, s.TEEnableLinks);
    if (s.TEVisibleWS) {
        markVisibleBlanks(out.left, out.flagsLeft, 1);
        markVisibleBlanks(out.right, out.flagsRight, 1);
    }
    return out;
}

TCharFlags fillBinaryRowFlags(const QString* mine, const QString* other, bool mineIsLeft, bool rowDiffers,
                              int hexBytes) {
    TCharFlags flags;
    if (!mine) return flags;
    const qsizetype size = mine->size();
    if (!rowDiffers) {
        fill(flags, size, cfEqual);
        return flags;
    }
    const int hexEnd = hexBytes * 3 - 1;  // the blank after the last byte is the separator's
    const int charStart = hexBytes * 3 + 2;
    if (!other) {
        fill(flags, size, mineIsLeft ? cfRightMissing : cfLeftMissing);
        for (int i = hexEnd; i < charStart && i < size; ++i) flags[size_t(i)] = cfEqual;
        return flags;
    }
    const QString& left = mineIsLeft ? *mine : *other;
    const QString& right = mineIsLeft ? *other : *mine;
    auto at = [](const QString& t, int i) { return i < t.size() ? t[i] : QChar(kFillerChar); };
    auto compare = [&](bool equal, int i) -> quint8 {
        if (equal) return cfEqual;
        if (at(left, i) == QChar(kFillerChar)) return cfLeftMissing;
        if (at(right, i) == QChar(kFillerChar)) return cfRightMissing;
        return cfDiffers;
    };
    fill(flags, size, cfEqual);
    for (int k = 0; k < hexBytes; ++k) {
        const int i = 3 * k;
        const quint8 f = compare(at(left, i) == at(right, i) && at(left, i + 1) == at(right, i + 1), i);
        for (int j = i; j < std::min(i + 3, hexEnd) && j < size; ++j) flags[size_t(j)] = f;
    }
    for (int i = charStart; i < size; ++i) flags[size_t(i)] = compare(at(left, i) == at(right, i), i);
    return flags;
}

void markVisibleBlanks(QString& text, TCharFlags& flags, int from) {
    if (flags.size() < size_t(text.size())) flags.resize(size_t(text.size()), cfEqual);
    for (qsizetype i = std::max(from, 1) - 1; i < text.size(); ++i) {
        if (text[i] != u' ') continue;
        text[i] = QChar(kVisibleBlank);
        flags[size_t(i)] |= cfBlank;
    }
}

void getLink(const QString& text, int& start, int& stop, bool enableLinks) {
    if (!enableLinks) {
        start = 0;
        return;
    }
    qsizetype from = std::max(start, 1) - 1;
    while (from < text.size()) {
        const qsizetype scheme = text.indexOf(QLatin1String("://"), from);
        const qsizetype mail = text.indexOf(QLatin1String("mailto:"), from);
        qsizetype found = scheme;
        if (found < 0 || (mail >= 0 && mail < found)) found = mail;
        if (found < 0) break;
        qsizetype first = found;
        while (first > 0 && !kLinkDelimiters.contains(text[first - 1])) --first;
        if (!startsWithScheme(text, int(first))) {
            // A rejected word does not end the search: a real link may follow.
            from = found + 1;
            continue;
        }
        qsizetype end = found + 1;
        while (end < text.size() && !endsLink(text[end])) ++end;
        start = int(first) + 1;
        stop = int(end) + 1;
        return;
    }
    start = 0;
}

void markLinks(const QString& text, TCharFlags& flags, bool enableLinks) {
    int start = 1, stop = 0;
    for (;;) {
        getLink(text, start, stop, enableLinks);
        if (start <= 0) return;
        if (flags.size() < size_t(text.size())) flags.resize(size_t(text.size()), cfEqual);
        for (int i = start - 1; i < stop - 1 && i < int(flags.size()); ++i) flags[size_t(i)] |= cfLink;
        start = stop;
    }
}

// ---- character runs -------------------------------------------------------------

std::vector<TCharRun> splitCharRuns(const QString& text, const TCharFlags& flags, const TRunStyle& style,
                                    const TColorSet& colors) {
    std::vector<TCharRun> runs;
    auto c = [&](int index) { return paintColor(colors, index); };
    const int cw = std::max(1, style.charWidth);
    const int length = int(text.size());
    std::optional<TCharRun> held;
    int column = std::max(1, style.firstColumn);
    while (column <= length) {
        const quint8 f = flagAt(flags, column - 1);
        const bool selected = inSelection(style.selection, column);
        int end = column + 1;
        while (end <= length && flagAt(flags, end - 1) == f && inSelection(style.selection, end) == selected) ++end;

        TCharRun run;
        run.column = column;
        run.count = end - column;
        run.x = style.x0 + (column - style.firstColumn) * cw;
        if (run.x >= style.rightLimit) break;
        const bool cut = run.x + run.count * cw > style.rightLimit;
        if (cut) run.count = (style.rightLimit - run.x + cw - 1) / cw;
        run.text = text.mid(column - 1, run.count);
        run.underline = (f & cfLink) != 0;
        const bool blank = (f & cfBlank) != 0;
        const int base = f & ~(cfLink | cfBlank);
        run.brush = style.cellBrush;
        run.font = style.normalFont;
        switch (base) {
        case cfDiffers: {
            const QChar last = text[column - 1 + run.count - 1];
            const bool tabCell = last == QChar(kFillerChar) || last == QChar(kTabMarkChar);
            run.font = tabCell && style.tabsAsBlanks ? style.normalFont : style.diffFont;
            break;
        }
        case cfLeftMissing:
            run.brush = c(AddBgCol);
            run.font = c(OrphanedCol);
            break;
        case cfRightMissing:
            run.brush = c(DelBgCol);
            run.font = c(OrphanedCol);
            break;
        case cfIgnored:
            if (!style.singlePaneView) {
                run.brush = c(IgnBgCol);
                run.font = c(IgnTxtCol);
            }
            break;
        default:
            if (style.binaryView) run.brush = c(TextBgCol);
            break;
        }
        if (blank) run.font = BlendColors(run.brush, run.font, kBlankBlend);
        if (selected) {
            run.brush = style.selectionBrush;
            if (run.font == style.normalFont && style.selectionBrush == c(SelTxtBgCol)) run.font = c(SelTxtCol);
        } else if (style.currentLine) {
            run.brush = c(HLCurLineCol);
        }

        if (blank) {
            runs.push_back(run);
        } else {
            if (held) runs.push_back(*held);
            held = run;
        }
        if (cut) break;
        column = end;
    }
    if (held) runs.push_back(*held);
    return runs;
}

}  // namespace tandex::ui

// ---- folder rows ----------------------------------------------------------------

namespace tandex::ui {

int folderIconRole(int folderState, bool placeholder, int status, bool archiveName) {
    if (folderState == 1 || folderState == 2) {
        const int open = folderState == 2 ? 1 : 0;
        if (status == 3) return irFolderClosedNotFound + open;
        if (placeholder) return irFolderClosedPlaceholder + open;
        return irFolderClosed + open;
    }
    if (status != 0) return irFileStatus;
    return archiveName ? irArchive : irFile;
}

TTreeLines treeLinePrimitives(int depth, const std::vector<bool>& nextSibling, const TTreeMetrics& m) {
    TTreeLines out;
    const int mid = m.y + m.lineHeight / 2;
    auto following = [&](int k) { return k < int(nextSibling.size()) && nextSibling[size_t(k)]; };
    for (int level = depth; level >= 1; --level) {
        const int k = depth - level;
        const int x = m.textX + m.dpiPx8 + (level - 1) * 2 * m.charWidth;
        if (k == 0) {
            const bool next = following(0);
            out.lines.push_back({x, m.y - m.dpiPx2, x, next ? m.y + m.lineHeight : mid});
            out.lines.push_back({x, mid, x + m.charWidth * 3 / 2, mid});
            if (next) out.circles.push_back({x - m.dpiPx3, mid - m.dpiPx3, x + m.dpiPx2, mid + m.dpiPx2});
        } else if (following(k)) {
            out.lines.push_back({x, m.y - m.lineHeight, x, m.y + m.lineHeight});
        }
    }
    return out;
}

std::vector<TCharDiffRun> splitCharDiffRuns(const QString& left, const QString& right, int firstColumn,
                                        int visibleLeft, int visibleRight, int infoWidth) {
    std::vector<TCharDiffRun> runs;
    const int first = std::max(1, firstColumn);
    const int lastLeft = std::min(int(left.size()), first - 1 + std::max(0, visibleLeft));
    const int lastRight = std::min(int(right.size()), first - 1 + std::max(0, visibleRight));
    const int last = std::max(lastLeft, lastRight);
    const int shorter = int(std::min(left.size(), right.size()));
    auto differs = [&](int column) {
        if (column > shorter) return true;
        if (infoWidth > 0 && column >= infoWidth) return true;
        return left[column - 1] != right[column - 1];
    };
    for (int column = first; column <= last;) {
        const bool d = differs(column);
        int end = column + 1;
        while (end <= last && differs(end) == d) ++end;
        runs.push_back({column, end - column, d});
        column = end;
    }
    return runs;
}

TColor charDiffRunFont(int pane, bool differs, bool selected, bool folderRow, const config::TColorSet& colors) {
    if (differs) return paintColor(colors, folderRow ? config::ModFldCol : config::DiffCol);
    if (selected) return paintColor(colors, config::SelTxtCol);
    return paintColor(colors, pane == 1 ? config::TextColL : config::TextColR);
}

TColor pressedHeaderColor(TColor headLineBackground) {
    // Colour values are 0x00BBGGRR: red is the low byte.
    const int red = int(headLineBackground & 0xFF);
    return (headLineBackground & 0xFFFFFF00u) | TColor(std::max(red - 20, 0));
}

QString headerSectionHint(int section) {
    switch (section) {
    case 1:
    case 7: return QStringLiteral(" Name of files or folders ");
    case 2:
    case 8:
        return QStringLiteral(" Size of files or folders:\r     For folders, only the accumulated size of the currently "
                              "compared files in this folder is shown! \r     Please use menu \"Folder Properties\" to "
                              "show the real size of folders");
    case 3:
    case 9: return QStringLiteral(" Timestamp of last modification ");
    case 4:
    case 10: return QStringLiteral(" Attributes of files or folders:\r a=Archive, r=Read-only, h=Hidden, s=System ");
    default: return {};
    }
}

int headerSectionAt(const std::vector<int>& sectionLefts, int x) {
    int found = 0;
    for (int i = 0; i < int(sectionLefts.size()); ++i)
        if (sectionLefts[size_t(i)] < x) found = i;
    return found;
}

}  // namespace tandex::ui
