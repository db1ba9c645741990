#include "details_line.h"

#include "access/program_log.h"
#include "access/text_files.h"

#include <QByteArray>

#include <algorithm>

namespace tandex::ui {

namespace {

constexpr char16_t kTabMark = 0x00BB;
constexpr char16_t kNoBreakSpace = 0x00A0;
// Stand-ins on the way to the encoder: a fill and one column of tab fill.
constexpr char16_t kFillByte = 1;
constexpr char16_t kTabFillByte = 2;

// One character of an aligned text: its index in the row text, or -1 for a
// fill mark.
struct TChar {
    char16_t c;
    int src;
};
using TChars = std::vector<TChar>;

// One shown character (text modes) or hex group (HEX modes): `core` is
// what it shows without separator and padding.
struct TCell {
    QString core;
    QChar separator;  // 0: none
    int src;          // index in the row text, -1 for a fill
    int span;         // row-text characters it stands for
};
using TCells = std::vector<TCell>;

bool blankLike(char16_t c) { return c == u' ' || c == kNoBreakSpace || c == kTabMark; }

TChars plainChars(const QString& text) {
    TChars out;
    out.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) out.push_back({text[i].unicode(), int(i)});
    return out;
}

// Pads the side that has no character, or the blank against a non-blank,
// with fill, so that equal words line up.
void alignByBlanks(const QString& l, const QString& r, char16_t fill, TChars& outL, TChars& outR) {
    const qsizetype nl = l.size(), nr = r.size();
    outL.reserve(size_t(nl + nr));
    outR.reserve(size_t(nl + nr));
    qsizetype a = 0, b = 0;
    while (a < nl || b < nr) {
        const bool haveL = a < nl, haveR = b < nr;
        const bool blankL = haveL && blankLike(l[a].unicode()), blankR = haveR && blankLike(r[b].unicode());
        if (haveL && (!haveR || (blankL && !blankR))) {
            outL.push_back({l[a].unicode(), int(a)});
            outR.push_back({fill, -1});
            ++a;
        } else if (haveR && (!haveL || (blankR && !blankL))) {
            outL.push_back({fill, -1});
            outR.push_back({r[b].unicode(), int(b)});
            ++b;
        } else {
            outL.push_back({l[a].unicode(), int(a)});
            outR.push_back({r[b].unicode(), int(b)});
            ++a;
            ++b;
        }
    }
}

// Lines up the characters both lines share by their in-line flags; the
// unmatched runs face fill marks.
void alignByFlags(const TDetailsSide& left, const TDetailsSide& right, int maxColumns, TChars& outL,
                  TChars& outR) {
    const QString &l = left.text, &r = right.text;
    const int nl = int(l.size()), nr = int(r.size());
    auto flag = [](const TDetailsSide& s, int i) { return size_t(i) < s.flags.size() && s.flags[size_t(i)] != 0; };
    outL.reserve(size_t(nl + nr));
    outR.reserve(size_t(nl + nr));
    int a = 0, b = 0, steps = 0;
    while (a < nl && b < nr) {
        if (flag(left, a) == flag(right, b)) {
            outL.push_back({l[a].unicode(), a});
            outR.push_back({r[b].unicode(), b});
            ++a;
            ++b;
            continue;
        }
        if (++steps > maxColumns) {
            access::FZLog(QStringLiteral("FMAlign1"));
            break;
        }
        if (flag(left, a)) {
            for (; b < nr && !flag(right, b); ++b) {
                outL.push_back({kDetailsFillMark, -1});
                outR.push_back({r[b].unicode(), b});
            }
        } else {
            for (; a < nl && !flag(left, a); ++a) {
                outL.push_back({l[a].unicode(), a});
                outR.push_back({kDetailsFillMark, -1});
            }
        }
    }
    for (; a < nl; ++a) {
        outL.push_back({l[a].unicode(), a});
        outR.push_back({kDetailsFillMark, -1});
    }
    for (; b < nr; ++b) {
        outL.push_back({kDetailsFillMark, -1});
        outR.push_back({r[b].unicode(), b});
    }
}

TCells textCells(const TChars& chars, char16_t blankMark) {
    TCells cells;
    cells.reserve(chars.size() + 1);
    for (const TChar& ch : chars)
        cells.push_back({QString(QChar(ch.c == u' ' ? blankMark : ch.c)), QChar(), ch.src, 1});
    return cells;
}

void appendHex(QString& out, quint8 byte) {
    static const char digits[] = "0123456789ABCDEF";
    out.append(QLatin1Char(digits[byte >> 4]));
    out.append(QLatin1Char(digits[byte & 15]));
}

bool isUtf16Kind(int kind) {
    return kind == access::fkUtf16Le || kind == access::fkUtf16LeBom || kind == access::fkUtf16Be ||
           kind == access::fkUtf16BeBom;
}

bool isUtf8Kind(int kind) { return kind == access::fkUtf8 || kind == access::fkUtf8Bom; }

// The bytes of one side in the pane's encoding, one cell per character and
// per line-break byte (UTF-16: per unit).
TCells hexCells(const TChars& chars, const TDetailsSide& side, int mode) {
    if (side.gap) return {};
    QString text;
    std::vector<int> src;
    text.reserve(qsizetype(chars.size()));
    src.reserve(chars.size());
    for (const TChar& ch : chars) {
        char16_t c = ch.c;
        if (c == kTabMark) {
            c = u'\t';
        } else if (c == kNoBreakSpace) {
            // Mode 2 shows a Tab as its one byte; mode 3 keeps its columns.
            if (mode == dmHex) continue;
            c = kTabFillByte;
        } else if (c == kDetailsFillMark && ch.src < 0) {
            c = kFillByte;
        }
        text.append(QChar(c));
        src.push_back(ch.src);
    }
    int kind = side.kind;
    if (!access::FZIsTextKind(kind)) kind = access::fkUtf8;
    QByteArray bytes;
    access::FZEncodeLine(text, kind, side.lineBreak, bytes, false);
    const bool utf16 = isUtf16Kind(kind), utf8 = isUtf8Kind(kind);
    // The encoder gives UTF-16 in little-endian order for either kind (the
    // file writer swaps big-endian on flushing).
    const bool littleEndian = utf16;
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData());
    const qsizetype nb = bytes.size();
    auto unitAt = [&](qsizetype p) {
        return littleEndian ? quint16(b[p] | (b[p + 1] << 8)) : quint16((b[p] << 8) | b[p + 1]);
    };

    TCells cells;
    cells.reserve(size_t(text.size()) + 2);
    qsizetype p = 0;
    const qsizetype n = text.size();
    qsizetype j = 0;
    auto groupOf = [&](char16_t c, qsizetype count, QString& core) {
        // The fill and the tab fill keep the width of the bytes they stand for.
        if (c == kFillByte || c == kTabFillByte) {
            core.fill(c == kFillByte ? QChar(kDetailsFillMark) : QChar(u' '), count * 2 + count / (utf16 ? 2 : 1) - 1);
            return;
        }
        for (qsizetype k = 0; k < count; ++k) {
            if (utf16) {
                if (k % 2) continue;
                if (k) core.append(QLatin1Char('-'));
                // Each unit reads as its code, high byte first, in either order.
                const quint16 u = unitAt(p + k);
                appendHex(core, quint8(u >> 8));
                appendHex(core, quint8(u & 0xFF));
            } else {
                if (k && (count != 4 || k == 2)) core.append(QLatin1Char('-'));
                appendHex(core, b[p + k]);
            }
        }
    };
    while (j < n && p < nb) {
        qsizetype count = 1, span = 1;
        if (utf8) {
            const quint8 lead = b[p];
            count = lead < 194 ? 1 : lead < 224 ? 2 : lead < 240 ? 3 : 4;
        } else if (utf16) {
            count = 2;
            if (p + 1 < nb && (unitAt(p) & 0xFC00) == 0xD800) count = 4;
        }
        if (text[j].isHighSurrogate() && j + 1 < n) span = 2;
        if (p + count > nb) break;
        TCell cell{QString(), QChar(u' '), src[size_t(j)], int(span)};
        groupOf(text[j].unicode(), count, cell.core);
        cells.push_back(std::move(cell));
        p += count;
        j += span;
    }
    // The line break: one cell per byte (per unit), matched like the line end.
    const int len = int(side.text.size());
    for (int k = 0; p < nb; ++k) {
        const qsizetype count = utf16 ? 2 : 1;
        if (p + count > nb) break;
        TCell cell{QString(), QChar(u' '), len + k, 1};
        groupOf(0, count, cell.core);
        cells.push_back(std::move(cell));
        p += count;
    }
    return cells;
}

bool isFill(const TCell& c) { return c.src < 0; }

// Joins the cells into the shown text; pairs of cells of unequal width are
// padded so that the next pair starts in the same column on both sides.
void assemble(const std::array<TCells, 2>& cells, bool pad, std::array<QString, 2>& shown,
              std::array<std::vector<int>, 2>& cellAt) {
    for (int s = 0; s < 2; ++s) {
        qsizetype total = 0;
        for (const TCell& c : cells[size_t(s)]) total += c.core.size() + 1;
        shown[size_t(s)].reserve(total * 2);
        cellAt[size_t(s)].reserve(size_t(total * 2));
    }
    const size_t n = std::max(cells[0].size(), cells[1].size());
    for (size_t i = 0; i < n; ++i) {
        qsizetype width = 0;
        for (int s = 0; s < 2; ++s)
            if (i < cells[size_t(s)].size())
                width = std::max(width, cells[size_t(s)][i].core.size() + (cells[size_t(s)][i].separator.isNull() ? 0 : 1));
        for (int s = 0; s < 2; ++s) {
            if (i >= cells[size_t(s)].size()) continue;
            const TCell& c = cells[size_t(s)][i];
            QString& out = shown[size_t(s)];
            const qsizetype start = out.size();
            out.append(c.core);
            if (pad && i < cells[size_t(1 - s)].size()) {
                const qsizetype missing = width - c.core.size() - (c.separator.isNull() ? 0 : 1);
                const QChar padding = isFill(c) ? QChar(kDetailsFillMark) : QChar(u' ');
                for (qsizetype k = 0; k < missing; ++k) out.append(padding);
            }
            if (!c.separator.isNull()) out.append(c.separator);
            cellAt[size_t(s)].insert(cellAt[size_t(s)].end(), size_t(out.size() - start), int(i));
        }
    }
}

}  // namespace

TDetailsResult buildDetailsLine(const TDetailsInput& in) {
    TDetailsResult r;
    r.scrollOffset = std::max(1, in.scrollOffset);
    if (in.folderView) {
        for (size_t s = 0; s < 2; ++s) {
            r.shown[s] = in.side[s].text;
            r.classes[s].assign(size_t(r.shown[s].size()), dcEqual);
            r.longest = std::max(r.longest, int(r.shown[s].size()));
        }
        return r;
    }
    const auto& L = in.side[0];
    const auto& R = in.side[1];
    const char16_t blankMark = in.visibleBlanks ? kDetailsBlankMark : u' ';
    const bool flags = !in.binaryView && !L.gap && !R.gap && !L.flags.empty() && !R.flags.empty();
    int mode = std::clamp(in.mode, 0, 3);
    if (in.binaryView) mode = dmAlignedHex;
    if (!in.binaryView && !flags && (L.gap || R.gap) && mode == dmAlignedHex) mode = dmHex;
    const bool hex = mode >= dmHex && !in.binaryView;
    r.hexShown = hex;

    std::array<TChars, 2> chars;
    std::array<QString, 2> texts{L.text, R.text};
    int prefix = 0;
    if (in.binaryView) {
        // The hex line's character part shows its blanks like blanks elsewhere.
        for (int s = 0; s < 2; ++s) {
            QString& t = texts[size_t(s)];
            if (t.isEmpty()) continue;
            const QString head = in.side[size_t(s)].numberText + QStringLiteral(" | ");
            for (qsizetype i = qsizetype(in.hexBytes) * 3 + 2; i < t.size(); ++i)
                if (t[i] == u' ') t[i] = QChar(blankMark);
            t.prepend(head);
            if (s == in.activePane - 1) prefix = int(head.size());
        }
        chars = {plainChars(texts[0]), plainChars(texts[1])};
    } else if (flags && (mode == dmAlignedText || mode == dmAlignedHex)) {
        alignByFlags(L, R, in.maxColumns, chars[0], chars[1]);
    } else if (!flags && !L.gap && !R.gap && (mode == dmAlignedText || mode == dmAlignedHex)) {
        alignByBlanks(L.text, R.text, kDetailsFillMark, chars[0], chars[1]);
    } else {
        chars = {plainChars(L.text), plainChars(R.text)};
    }

    std::array<TCells, 2> cells;
    for (int s = 0; s < 2; ++s)
        cells[size_t(s)] = hex ? hexCells(chars[size_t(s)], in.side[size_t(s)], mode)
                               : textCells(chars[size_t(s)], in.binaryView ? u' ' : blankMark);
    const int a = in.activePane == 2 ? 1 : 0;
    const int caretIndex = in.caretColumn - 1;
    const int activeLen = int(texts[size_t(a)].size()) - prefix;
    // A caret behind the last character still gets a place to show.
    if (!hex && caretIndex == activeLen) cells[size_t(a)].push_back({QStringLiteral(" "), QChar(), int(texts[size_t(a)].size()), 1});

    std::array<std::vector<int>, 2> cellAt;
    assemble(cells, hex, r.shown, cellAt);

    const bool countEqual = !flags && !in.binaryView;
    for (int s = 0; s < 2; ++s) {
        const TCells& own = cells[size_t(s)];
        const TCells& other = cells[size_t(1 - s)];
        const TDetailsSide& side = in.side[size_t(s)];
        const bool otherEmpty = texts[size_t(1 - s)].isEmpty();
        std::vector<quint8> cellClass(own.size());
        for (size_t i = 0; i < own.size(); ++i) {
            const TCell& c = own[i];
            const bool blank = !hex && c.core.size() == 1 && c.core[0] == QChar(kDetailsBlankMark);
            quint8 cls;
            if (flags) {
                // The line end always counts as matched.
                const bool matched = isFill(c) ? false
                                     : c.src >= side.text.size() ? true
                                                                : side.flags.size() > size_t(c.src) && side.flags[size_t(c.src)] != 0;
                cls = isFill(c) ? dcFill : blank ? (matched ? dcBlankEqual : dcBlankDiffers) : matched ? dcEqual : dcDiffers;
            } else if (i < other.size() && other[i].core == c.core && !isFill(c)) {
                cls = blank ? dcBlankEqual : dcEqual;
            } else {
                cls = isFill(c) ? dcFill : blank ? dcBlankDiffers : otherEmpty ? dcFacingEmpty : countEqual ? dcEqual : dcDiffers;
            }
            cellClass[i] = cls;
        }
        auto& classes = r.classes[size_t(s)];
        classes.resize(size_t(r.shown[size_t(s)].size()));
        for (size_t k = 0; k < classes.size(); ++k) classes[k] = cellClass[size_t(cellAt[size_t(s)][k])];
    }

    // The caret: the cell of the active pane that holds the caret column.
    const int target = caretIndex + prefix;
    if (caretIndex >= 0 && caretIndex <= activeLen) {
        const TCells& own = cells[size_t(a)];
        for (size_t i = 0; i < own.size(); ++i) {
            const TCell& c = own[i];
            if (c.src < 0 || target < c.src || target >= c.src + c.span) continue;
            const auto& at = cellAt[size_t(a)];
            const int pos = int(std::find(at.begin(), at.end(), int(i)) - at.begin());
            r.caretPos = pos;
            r.caretLength = in.binaryView ? 1 : int(c.core.size());
            for (int k = pos; k < pos + r.caretLength; ++k) r.classes[size_t(a)][size_t(k)] |= kDetailsCaretBit;
            break;
        }
    }
    if (in.detailsRow >= -2 && r.caretPos >= 0)
        r.scrollOffset = std::max(r.caretPos + 1 - in.visibleColumns + 4, 1);
    r.longest = int(std::max(r.shown[0].size(), r.shown[1].size())) + 1;
    return r;
}

QString detailsFieldText(const TDetailsResult& r, int pane, int visibleColumns) {
    return r.shown[pane == 2 ? 1 : 0].mid(r.scrollOffset - 1, std::max(0, visibleColumns));
}

QString detailsCopyText(const QString& selected) {
    QString out;
    out.reserve(selected.size());
    for (QChar c : selected) {
        if (c == QChar(kDetailsFillMark)) continue;
        out.append(c == QChar(kDetailsBlankMark) ? QChar(u' ') : c);
    }
    return out;
}

}  // namespace tandex::ui
