// The line reader decodes straight from the slot's 128 KB buffer into the
// slot's own line buffer, which grows as needed, so a line costs one string
// allocation and a line of any length can be read whole (limit 0). Runs of
// ordinary characters are copied in a tight loop that stops only at a
// control character, a non-ASCII byte, the buffer's end or the line limit.
// A refill keeps the bytes not yet consumed, so a UTF-8 sequence, a UTF-16
// unit or a CR LF pair split by the buffer boundary is still seen whole.

#include "access/text_files.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_masks.h"
#include "archive/name_charsets.h"
#include "config/app_settings.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <limits>

namespace tandex::access {

namespace {

constexpr int kAnsiCodePage = 1252;
constexpr qint64 kSniffSize = 8192;

std::atomic<int> unitTabWidth{4};
std::atomic<int> unitMaxLine{8192};

// ANSI bytes to characters, taken from the archive layer's code pages.
const std::array<char16_t, 256>& ansiTable() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString decoded = archive::DecodeCodePage(all, kAnsiCodePage);
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = decoded[i].unicode();
        return t;
    }();
    return table;
}

// The way back, built from the same table.
const QHash<char16_t, char>& ansiReverse() {
    static const QHash<char16_t, char> reverse = [] {
        QHash<char16_t, char> r;
        const auto& t = ansiTable();
        for (int b = 0x80; b < 0x100; ++b)
            if (t[size_t(b)] != 0xFFFD) r.insert(t[size_t(b)], char(b));
        return r;
    }();
    return reverse;
}

bool isUtf16(int kind) {
    return kind >= fkUtf16LeBom && kind <= fkUtf16Be;
}

bool isCont(quint8 b) {
    return (b & 0xC0) == 0x80;
}

// The extension with its dot, exactly as written.
QString extensionOf(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? name.mid(dot) : QString();
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The encoding a file's start shows: a kind, 0 for no answer.
int sniffEncoding(const quint8* b, qint64 n) {
    if (n > 3 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) return 0;  // UTF-32 BE
    if (n > 3 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) return 0;  // UTF-32 LE
    if (n > 1 && b[0] == 0xFE && b[1] == 0xFF) return fkUtf16BeBom;
    if (n > 1 && b[0] == 0xFF && b[1] == 0xFE) return fkUtf16LeBom;
    if (n > 2 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return fkUtf8Bom;
    if (n > 2 && b[0] == 0x2B && b[1] == 0x2F && b[2] == 0x76) return 0;  // UTF-7
    // UTF-8: every byte sequence valid, at least one of them beyond ASCII.
    // The last four bytes are left out: the 8 KB may cut a sequence.
    bool utf8 = true;
    int sequences = 0;
    for (qint64 i = 0; i < n - 4;) {
        const quint8 c = b[i];
        if (c < 0x80) {
            ++i;
        } else if (c >= 0xC2 && c <= 0xDF && isCont(b[i + 1])) {
            i += 2;
            ++sequences;
        } else if (c >= 0xF0 && c <= 0xF4 && isCont(b[i + 1]) && isCont(b[i + 2]) &&
                   isCont(b[i + 3])) {
            i += 4;
            ++sequences;
        } else if (c >= 0xE0 && c <= 0xEF && isCont(b[i + 1]) && isCont(b[i + 2])) {
            i += 3;
            ++sequences;
        } else {
            utf8 = false;
            break;
        }
    }
    if (utf8 && sequences > 0) return fkUtf8;
    // UTF-16 without a mark: many zero high (or low) bytes.
    qint64 zeros = 0;
    for (qint64 i = 0; i + 1 < n; i += 2)
        if (b[i] == 0 && b[i + 1] != 0) ++zeros;
    if (double(zeros) / double(n) > 0.125) return fkUtf16Be;
    zeros = 0;
    for (qint64 i = 1; i < n; i += 2)
        if (b[i] == 0 && b[i - 1] != 0) ++zeros;
    if (double(zeros) / double(n) > 0.125) return fkUtf16Le;
    return 0;
}

int effectiveTabWidth(const TFZTextState& t) {
    return t.tabWidth >= 0 ? t.tabWidth : unitTabWidth.load();
}

size_t effectiveLimit(const TFZTextState& t) {
    const int limit = t.lineLimit >= 0 ? t.lineLimit : unitMaxLine.load();
    return limit == 0 ? std::numeric_limits<size_t>::max() : size_t(limit);
}

// ---- the line reader ------------------------------------------------------

enum class Mode { Ansi, Utf8, Utf16Le, Utf16Be };

class LineReader {
public:
    LineReader(int slot, TFZTextState& t) : slot_(slot), t_(t) {}

    // Moves the unconsumed bytes to the front and fills up behind them.
    int refill() {
        const quint32 keep = t_.position < t_.count ? t_.count - t_.position : 0;
        if (keep) std::memmove(t_.buffer, t_.buffer + t_.position, keep);
        const qint64 wanted = qint64(FZTextBufferSize - keep);
        qint64 done = 0;
        const int r = FZRead(slot_, t_.buffer + keep, wanted, done);
        done = std::clamp<qint64>(done, 0, wanted);
        t_.position = 0;
        t_.count = keep + quint32(done);
        if (r) {
            t_.atEnd = true;
            return r;
        }
        if (done < wanted) t_.atEnd = true;
        if (t_.bomPending) {
            t_.bomPending = false;
            skipMark();
        }
        return 0;
    }

    // Makes n bytes available at the position when the data has them.
    int want(quint32 n) {
        while (t_.count - std::min(t_.position, t_.count) < n && !t_.atEnd)
            if (const int r = refill()) return r;
        return 0;
    }

    quint32 available() const { return t_.position < t_.count ? t_.count - t_.position : 0; }

    template <Mode M>
    int readLine(QString& text);

private:
    // A mark is skipped only when it is there: a rule may force a "with BOM"
    // kind on a file that has none.
    void skipMark() {
        const auto* b = reinterpret_cast<const quint8*>(t_.buffer);
        const quint32 n = t_.count;
        if (t_.fileKind == fkUtf8Bom && n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
            t_.position = 3;
        else if (t_.fileKind == fkUtf16LeBom && n >= 2 && b[0] == 0xFF && b[1] == 0xFE)
            t_.position = 2;
        else if (t_.fileKind == fkUtf16BeBom && n >= 2 && b[0] == 0xFE && b[1] == 0xFF)
            t_.position = 2;
    }

    char16_t* ensure(size_t need) {
        if (t_.line.size() < need) t_.line.resize(std::max<size_t>(need, t_.line.size() * 2 + 256));
        return t_.line.data();
    }

    template <Mode M>
    static constexpr quint32 unitBytes() {
        return M == Mode::Utf16Le || M == Mode::Utf16Be ? 2 : 1;
    }

    // The character at the position; for byte modes the byte itself.
    template <Mode M>
    char16_t peek() const {
        const auto* b = reinterpret_cast<const quint8*>(t_.buffer) + t_.position;
        if constexpr (M == Mode::Utf16Le) return char16_t(b[0] | (b[1] << 8));
        if constexpr (M == Mode::Utf16Be) return char16_t((b[0] << 8) | b[1]);
        return b[0];
    }

    int slot_;
    TFZTextState& t_;
};

template <Mode M>
int LineReader::readLine(QString& text) {
    constexpr quint32 ub = unitBytes<M>();
    text.clear();
    if (available() == 0 && !t_.atEnd)
        if (const int r = refill()) return r;
    t_.continues = false;
    if (available() == 0) {
        t_.noLine = true;
        return errEndOfFile;
    }
    t_.noLine = false;

    const int width = effectiveTabWidth(t_);
    const size_t limit = effectiveLimit(t_);
    const auto& ansi = ansiTable();
    size_t n = 0;
    char16_t* d = ensure(256);
    enum class End { Data, Cr, Lf, Sub, Limit } end = End::Data;
    int readError = 0;

    for (;;) {
        if (available() < ub) {
            if (!t_.atEnd) {
                if ((readError = refill())) break;
                continue;
            }
            if (available() == 0) break;  // end of data
            // An odd last byte of a UTF-16 file: kept as a unit of its own,
            // on the next line when this one is full.
            if (n >= limit) {
                end = End::Limit;
                break;
            }
            d = ensure(n + 1);
            d[n++] = char16_t(quint8(t_.buffer[t_.position++]));
            continue;
        }
        if (n >= limit) {
            // A line end right at the limit still belongs to this line.
            const char16_t c = peek<M>();
            end = c == 13 ? End::Cr : c == 10 ? End::Lf : c == 26 ? End::Sub : End::Limit;
            break;
        }
        // The run of ordinary characters.
        const auto* b = reinterpret_cast<const quint8*>(t_.buffer);
        quint32 pos = t_.position;
        const quint32 count = t_.count - (t_.count - pos) % ub;
        const size_t room = limit - n;
        const quint32 stop = size_t(count - pos) / ub <= room ? count : pos + quint32(room) * ub;
        d = ensure(n + (stop - pos) / ub + 1);
        if constexpr (M == Mode::Ansi) {
            while (pos < stop && b[pos] >= 32 && b[pos] != 0x7F)
                d[n++] = ansi[b[pos++]];
        } else if constexpr (M == Mode::Utf8) {
            while (pos < stop && quint8(b[pos] - 32) < 95)
                d[n++] = b[pos++];
        } else {
            for (; pos < stop; pos += 2) {
                const char16_t c = M == Mode::Utf16Le ? char16_t(b[pos] | (b[pos + 1] << 8))
                                                      : char16_t((b[pos] << 8) | b[pos + 1]);
                if (c < 32 || c == 0x7F) break;
                d[n++] = c;
            }
        }
        t_.position = pos;
        if (pos == stop) continue;

        // One special character.
        const char16_t c = peek<M>();
        if (c == 13 || c == 10 || c == 26) {
            end = c == 13 ? End::Cr : c == 10 ? End::Lf : End::Sub;
            break;
        }
        if (c == 9) {
            t_.position += ub;
            if (width == 0) {
                d[n++] = 9;
            } else {
                // Fill up to the next tab stop; a limit inside the fill ends
                // the line with the tab consumed.
                const size_t fill = std::min<size_t>(size_t(width) - n % size_t(width), limit - n);
                d = ensure(n + fill);
                for (size_t k = 0; k < fill; ++k)
                    d[n++] = FZTabFill;
            }
            continue;
        }
        if (c == 0x7F) {
            t_.position += ub;
            d[n++] = FZDelChar;
            continue;
        }
        if (c < 32 || M != Mode::Utf8) {
            // NUL and the other control characters stay in the line.
            t_.position += ub;
            d[n++] = M == Mode::Ansi ? ansi[c] : c;
            continue;
        }
        // A UTF-8 sequence; bytes that form none are kept as U+DC80..U+DCFF.
        if (available() < 4 && !t_.atEnd) {
            if ((readError = want(4))) break;
            continue;
        }
        const auto* p = reinterpret_cast<const quint8*>(t_.buffer) + t_.position;
        const quint32 avail = available();
        const quint8 c0 = p[0];
        if (c0 >= 0xC2 && c0 <= 0xDF && avail >= 2 && isCont(p[1])) {
            d[n++] = char16_t(((c0 & 0x1F) << 6) | (p[1] & 0x3F));
            t_.position += 2;
        } else if (c0 >= 0xE0 && c0 <= 0xEF && avail >= 3 && isCont(p[1]) && isCont(p[2]) &&
                   (c0 != 0xE0 || p[1] >= 0xA0) && (c0 != 0xED || p[1] < 0xA0)) {
            d[n++] = char16_t(((c0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            t_.position += 3;
        } else if (c0 >= 0xF0 && c0 <= 0xF4 && avail >= 4 && isCont(p[1]) && isCont(p[2]) &&
                   isCont(p[3]) && (c0 != 0xF0 || p[1] >= 0x90) && (c0 != 0xF4 || p[1] < 0x90)) {
            // A pair never straddles the limit.
            if (n + 2 > limit && n > 0) {
                end = End::Limit;
                break;
            }
            const char32_t cp = (char32_t(c0 & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                                (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
            d = ensure(n + 2);
            d[n++] = char16_t(0xD7C0 + (cp >> 10));
            d[n++] = char16_t(0xDC00 | (cp & 0x3FF));
            t_.position += 4;
        } else {
            d[n++] = char16_t(0xDC00 + c0);
            t_.position += 1;
        }
    }

    int result = readError;
    if (!result) {
        switch (end) {
            case End::Cr:
                t_.position += ub;
                // An ANSI file needs one byte more to see that a Ctrl-Z is
                // its last.
                result = want(M == Mode::Ansi ? 3 : 2 * ub);
                if (!result && available() >= ub && peek<M>() == 10) {
                    t_.position += ub;
                    t_.lineBreak = lbCrLf;
                    // A Ctrl-Z after the last CR LF marks the end of an old
                    // DOS file; anywhere else it is text.
                    if (M == Mode::Ansi && available() == 1 && t_.atEnd && peek<M>() == 26)
                        t_.position += 1;
                } else if (!result) {
                    t_.lineBreak = lbCr;
                }
                break;
            case End::Lf:
                t_.position += ub;
                t_.lineBreak = lbLf;
                break;
            case End::Sub:
                t_.position += ub;
                break;
            default:
                break;
        }
        if (!result && available() == 0 && !t_.atEnd) result = refill();
    }
    text = QString(reinterpret_cast<const QChar*>(t_.line.data()), qsizetype(n));
    t_.continues = end == End::Limit && !result;
    if (int(n) > t_.longestLine) t_.longestLine = int(n);
    if (result) return result;
    return available() < ub && t_.atEnd ? (available() == 0 ? errEndOfFile : 0) : 0;
}

// ---- the writer -------------------------------------------------------------

void appendUtf8(QByteArray& out, const QChar* s, qsizetype len) {
    const qsizetype base = out.size();
    out.resize(base + len * 3);
    char* d = out.data() + base;
    char* const start = d;
    for (qsizetype i = 0; i < len; ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x80) {
            *d++ = char(c);
        } else if (c < 0x800) {
            *d++ = char(0xC0 | (c >> 6));
            *d++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < len && s[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, s[i + 1].unicode());
            ++i;
            *d++ = char(0xF0 | (cp >> 18));
            *d++ = char(0x80 | ((cp >> 12) & 0x3F));
            *d++ = char(0x80 | ((cp >> 6) & 0x3F));
            *d++ = char(0x80 | (cp & 0x3F));
        } else if (c >= FZDelChar && c <= 0xDCFF) {
            *d++ = char(c & 0xFF);  // a byte the reader kept
        } else if (QChar::isSurrogate(c)) {
            *d++ = char(0xEF);
            *d++ = char(0xBF);
            *d++ = char(0xBD);
        } else {
            *d++ = char(0xE0 | (c >> 12));
            *d++ = char(0x80 | ((c >> 6) & 0x3F));
            *d++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(base + (d - start));
}

void appendUtf16(QByteArray& out, const QChar* s, qsizetype len) {
    const qsizetype base = out.size();
    out.resize(base + len * 2);
    auto* d = reinterpret_cast<quint8*>(out.data() + base);
    for (qsizetype i = 0; i < len; ++i) {
        char16_t c = s[i].unicode();
        if (c == FZDelChar) c = 0x7F;
        *d++ = quint8(c & 0xFF);
        *d++ = quint8(c >> 8);
    }
}

void appendAnsi(QByteArray& out, const QChar* s, qsizetype len) {
    const qsizetype base = out.size();
    out.resize(base + len);
    char* d = out.data() + base;
    for (qsizetype i = 0; i < len; ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x80)
            d[i] = char(c);
        else if (c >= FZDelChar && c <= 0xDCFF)
            d[i] = char(c & 0xFF);
        else
            d[i] = ansiReverse().value(c, '?');
    }
}

}  // namespace

// ---- kinds and names ----------------------------------------------------------

QString FZFileKindName(int kind) {
    switch (kind & 0x7F) {
        case fkBinary: return QStringLiteral("BINARY");
        case fkImage: return QStringLiteral("IMAGE");
        case fkPlugin: return QStringLiteral("PLUGIN");
        case fkAnsi: return QStringLiteral("ANSI");
        case fkUtf8Bom: return QStringLiteral("U8-BOM");
        case fkUtf8: return QStringLiteral("U8");
        case fkUtf16LeBom: return QStringLiteral("U16LE-BOM");
        case fkUtf16Le: return QStringLiteral("U16LE");
        case fkUtf16BeBom: return QStringLiteral("U16BE-BOM");
        case fkUtf16Be: return QStringLiteral("U16BE");
        default: return QStringLiteral("unknown");
    }
}

QString FZFileKindText(int kind) {
    switch (kind & 0x7F) {
        case fkBinary: return QStringLiteral("BINARY file");
        case fkImage: return QStringLiteral("IMAGE file");
        case fkPlugin: return QStringLiteral("PLUGIN");
        case fkAnsi: return QStringLiteral("ANSI");
        case fkUtf8Bom: return QStringLiteral("UTF-8 with BOM");
        case fkUtf8: return QStringLiteral("UTF-8");
        case fkUtf16LeBom: return QStringLiteral("UTF-16 Little Endian with BOM");
        case fkUtf16Le: return QStringLiteral("UTF-16 Little Endian");
        case fkUtf16BeBom: return QStringLiteral("UTF-16 Big Endian with BOM");
        case fkUtf16Be: return QStringLiteral("UTF-16 Big Endian");
        default: return QStringLiteral("unknown");
    }
}

bool FZIsTextKind(int kind) {
    return kind == fkAnsi || kind == fkUtf8Bom || kind == fkUtf8 || isUtf16(kind);
}

int FZKindOfRuleSelector(int selector) {
    static constexpr int kinds[] = {0, fkAnsi, fkUtf8, fkUtf8Bom, fkUtf16Le,
                                    fkUtf16LeBom, fkUtf16Be, fkUtf16BeBom, fkBinary};
    return selector >= 1 && selector <= 8 ? kinds[selector] : 0;
}

int FZSniffFileKind(const QByteArray& head, const QString& name) {
    const auto* b = reinterpret_cast<const quint8*>(head.constData());
    const qint64 n = std::min<qint64>(head.size(), kSniffSize);
    if (n == 0) return fkAnsi;
    if (n > 3) {
        if (n >= 128 && b[0] == 'M' && b[1] == 'Z') {
            const qint64 pe = b[60] | (b[61] << 8);
            if (pe + 1 < n && b[pe] == 'P' && b[pe + 1] == 'E') return fkBinary;
        }
        // The extension as written: the main window's image check works the
        // same way, so an upper-case one goes on to the text test.
        const QString ext = extensionOf(name);
        if (n >= 8 && ext == QLatin1String(".bmp") && b[0] == 'B' && b[1] == 'M') return fkBinary;
        if (n >= 8 && (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg")) &&
            b[0] == 0xFF && b[1] == 0xD8)
            return fkBinary;
        if (const int kind = sniffEncoding(b, n)) return kind;
    }
    qint64 binary = 0;
    qint64 breaks = n < kSniffSize ? 2 : 0;
    for (qint64 i = 0; i < n; ++i) {
        const quint8 c = b[i];
        if (c == 10 || c == 13)
            ++breaks;
        else if (c < 32 && c != 9 && c != 30)
            ++binary;
    }
    return breaks > 0 && binary <= n / 50 ? fkAnsi : fkBinary;
}

int FZDetectFileKind(int slot, int& kind, int& byRule) {
    kind = 0;
    byRule = 0;
    if (const int r = FZCheckSlot(slot)) return r;
    // Only the first 8 KB of an FTP file are needed.
    if (FZSlotAccessKind(slot) == akFtp && FZSlotMode(slot) != twReadAccess) {
        FZSetReadLimit(slot, kSniffSize);
        if (const int r = FZReopen(slot, FZSlotPath(slot), twReadAccess)) return r;
    }
    // The rules match the file's name with masks of their own, so the
    // user-interface thread's set stays as it was.
    const auto& settings = config::AppSettings();
    const QString name = fileNameOf(FZSlotPath(slot));
    for (size_t i = 0; i < settings.FFTIndex.size() && i < settings.FFTFiles.size(); ++i) {
        const int ruleKind = FZKindOfRuleSelector(settings.FFTIndex[i]);
        if (ruleKind == 0 || settings.FFTFiles[i].isEmpty()) continue;
        TFZMasks masks;
        masks.set(settings.FFTFiles[i], QString(), QString());
        if (masks.matchFile(name)) {
            kind = ruleKind;
            byRule = 1;
            return 0;
        }
    }
    if (const int r = FZSeek(slot, 0)) return r;
    QByteArray head(kSniffSize, '\0');
    qint64 done = 0;
    if (const int r = FZRead(slot, head.data(), kSniffSize, done)) return r;
    head.truncate(qsizetype(std::clamp<qint64>(done, 0, kSniffSize)));
    kind = FZSniffFileKind(head, name);
    // The reader starts again at the first byte.
    if (const int r = FZSeek(slot, 0)) return r;
    if (TFZTextState* t = FZSlotText(slot)) {
        t->count = t->position = FZTextBufferSize;
        t->atEnd = false;
        t->continues = false;
        t->bomPending = true;
    }
    return 0;
}

int FZSetFileKind(int slot, int kind) {
    TFZTextState* t = FZSlotText(slot);
    if (!t) return errInvalidHandle;
    t->fileKind = kind;
    return 0;
}

int FZLineBreakKind(int slot) {
    const TFZTextState* t = FZSlotText(slot);
    return t ? t->lineBreak : 0;
}

int FZSetLineBreakKind(int slot, int kind) {
    TFZTextState* t = FZSlotText(slot);
    if (!t) return errInvalidHandle;
    t->lineBreak = kind;
    return 0;
}

int FZMaxLineLength(int slot) {
    const TFZTextState* t = FZSlotText(slot);
    return t ? t->longestLine : -1;
}

int FZSetTabSize(int width, int maxLineLength) {
    if (width == 255) return unitTabWidth.load();
    if (width < 0 || width > 16) return -1;
    if (maxLineLength >= 64) unitMaxLine.store(maxLineLength);
    return unitTabWidth.exchange(width);
}

int FZTabSize() {
    return unitTabWidth.load();
}

int FZMaxLineSetting() {
    return unitMaxLine.load();
}

int FZSetSlotTextOptions(int slot, int tabWidth, int lineLimit, int trim) {
    TFZTextState* t = FZSlotText(slot);
    if (!t) return errInvalidHandle;
    if (tabWidth < -1 || tabWidth > 16 || lineLimit < -1 || (lineLimit > 0 && lineLimit < 64) ||
        trim < -1 || trim > 1)
        return errInvalidParameter;
    t->tabWidth = tabWidth;
    t->lineLimit = lineLimit;
    t->trim = trim;
    return 0;
}

int FZReadLine(int slot, QString& text) {
    text.clear();
    TFZTextState* t = FZSlotText(slot);
    if (!t) return errInvalidHandle;
    if (!FZIsTextKind(t->fileKind)) return errInvalidParameter;
    if (!t->buffer) return errInvalidHandle;
    LineReader reader(slot, *t);
    switch (t->fileKind) {
        case fkAnsi: return reader.readLine<Mode::Ansi>(text);
        case fkUtf8:
        case fkUtf8Bom: return reader.readLine<Mode::Utf8>(text);
        case fkUtf16Le:
        case fkUtf16LeBom: return reader.readLine<Mode::Utf16Le>(text);
        default: return reader.readLine<Mode::Utf16Be>(text);
    }
}

bool FZReadLineAtEnd(int slot) {
    const TFZTextState* t = FZSlotText(slot);
    return !t || t->noLine;
}

bool FZReadLineContinues(int slot) {
    const TFZTextState* t = FZSlotText(slot);
    return t && t->continues;
}

int FZEncodeLine(const QString& text, int kind, int lineBreak, QByteArray& out, bool trim,
                 int tabWidth) {
    out.clear();
    if (!FZIsTextKind(kind)) return 0;
    const int width = tabWidth >= 0 ? tabWidth : unitTabWidth.load();
    qsizetype len = text.size();
    const QChar* s = text.constData();
    if (trim)
        while (len > 0 && (s[len - 1] == QLatin1Char(' ') || s[len - 1].unicode() == FZTabFill))
            --len;
    // Every run of tab fill becomes one TAB again. Only fill characters are
    // skipped: an edited line may hold a shorter run than its column asks.
    QString folded;
    if (QStringView(s, len).contains(QChar(FZTabFill))) {
        folded.reserve(len);
        for (qsizetype i = 0; i < len; ++i) {
            if (s[i].unicode() != FZTabFill) {
                folded.append(s[i]);
                continue;
            }
            folded.append(QLatin1Char('\t'));
            const qsizetype column = i + 1;
            if (width > 0 && column % width > 0)
                for (qsizetype skip = width - column % width;
                     skip > 0 && i + 1 < len && s[i + 1].unicode() == FZTabFill; --skip)
                    ++i;
        }
        s = folded.constData();
        len = folded.size();
    }
    static const QChar crlf[] = {QLatin1Char('\r'), QLatin1Char('\n')};
    const QChar* brk = lineBreak == lbLf ? crlf + 1 : crlf;
    const qsizetype brkLen = lineBreak == lbNone ? 0 : lineBreak == lbLf || lineBreak == lbCr ? 1 : 2;
    out.reserve(len * (isUtf16(kind) ? 2 : 3) + 4);
    if (kind == fkAnsi) {
        appendAnsi(out, s, len);
        appendAnsi(out, brk, brkLen);
    } else if (isUtf16(kind)) {
        appendUtf16(out, s, len);
        appendUtf16(out, brk, brkLen);
    } else {
        appendUtf8(out, s, len);
        appendUtf8(out, brk, brkLen);
    }
    return int(std::min<qsizetype>(out.size(), std::numeric_limits<int>::max()));
}

int FZWriteText(int slot, const QString& text, bool ownBreak) {
    TFZTextState* t = FZSlotText(slot);
    if (!t) return errInvalidHandle;
    if (!FZIsTextKind(t->fileKind)) return errInvalidParameter;
    if (FZSlotMode(slot) != twWriteAccess || !t->buffer) return errInvalidHandle;
    const auto& settings = config::AppSettings();
    // Blanks before a cut are inside the file's line, not at its end.
    const bool trim = ownBreak && (t->trim >= 0 ? t->trim == 1 : settings.TEEnabled && settings.TETrimWSEOL);
    FZEncodeLine(text, t->fileKind, ownBreak ? t->lineBreak : int(lbNone), t->encoded, trim,
                 effectiveTabWidth(*t));
    if (t->bomPending) {
        t->bomPending = false;
        if (t->fileKind == fkUtf8Bom)
            t->encoded.prepend("\xEF\xBB\xBF");
        else if (t->fileKind == fkUtf16LeBom || t->fileKind == fkUtf16BeBom)
            t->encoded.prepend("\xFF\xFE");  // swapped with the rest for big-endian
    }
    const char* p = t->encoded.constData();
    qsizetype left = t->encoded.size();
    while (left > 0) {
        const qsizetype k = std::min<qsizetype>(left, qsizetype(FZTextBufferSize - t->count));
        std::memcpy(t->buffer + t->count, p, size_t(k));
        t->count += quint32(k);
        p += k;
        left -= k;
        if (t->count == FZTextBufferSize)
            if (const int r = FZFlushText(slot)) return r;
    }
    return 0;
}

int FZCopyLines(int count, int source, int target) {
    if (const int r = FZCheckSlot(source)) return r;
    if (const int r = FZCheckSlot(target)) return r;
    QString line;
    for (int i = 0; i < count; ++i) {
        const int r = FZReadLine(source, line);
        const bool ownBreak = !FZReadLineContinues(source);
        // The last line arrives with 38 and is copied like the others.
        if (r == errEndOfFile && !FZReadLineAtEnd(source))
            if (const int w = FZWriteText(target, line, ownBreak)) return w;
        if (r) return r;
        if (const int w = FZWriteText(target, line, ownBreak)) return w;
    }
    return 0;
}

QChar FZHexByte(quint8 byte, QChar& high, QChar& low) {
    static const char digits[] = "0123456789ABCDEF";
    high = QLatin1Char(digits[byte >> 4]);
    low = QLatin1Char(digits[byte & 15]);
    const auto& settings = config::AppSettings();
    if (byte < 32) {
        if (settings.BCShowNoCtrl) return QLatin1Char('.');
        if (byte == 0 || byte == 9 || byte == 10 || byte == 13 || byte >= 28)
            return QLatin1Char(' ');
        return QChar(char16_t(byte));
    }
    if (byte >= 128) {
        if (settings.BCShowNoExt) return QLatin1Char('.');
        if (byte == 129 || byte == 141 || byte == 143 || byte == 144 || byte == 157 || byte == 160)
            return QLatin1Char(' ');
        return QChar(ansiTable()[byte]);
    }
    return QChar(char16_t(byte));
}

}  // namespace tandex::access
