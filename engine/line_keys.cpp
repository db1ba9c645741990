// Line keys.
//
// A key is a CRC of the line as the ignore options shape it. The shaping
// works on a scratch copy that grows with the longest line seen, so a line of
// any length is keyed whole. Keys are cached in the line records: a
// comparison hashes only lines whose cached key is 0 (not computed).

#include "engine/line_keys.h"

#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"

#include <QChar>

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <nmmintrin.h>
#define TANDEX_HAVE_CRC32_INSTRUCTION 1
#endif

namespace tandex::engine {

namespace {

// Eight tables per polynomial: the first is the classic byte table, table k
// advances a byte through k further zero bytes, so eight bytes (four UTF-16
// units) are folded per step.
using CrcTables = std::array<std::array<quint32, 256>, 8>;

constexpr CrcTables makeTables(quint32 poly) {
    CrcTables t{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ poly : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr CrcTables kCrc32Tables = makeTables(0xEDB88320u);
constexpr CrcTables kCrc32cTables = makeTables(0x82F63B78u);

// UTF-16 code units as the bytes they occupy, low byte first.
inline quint32 tableCrc(const CrcTables& t, quint32 crc, const char16_t* text, qsizetype length) {
    qsizetype i = 0;
    for (; i + 4 <= length; i += 4) {
        const quint32 lo = quint32(text[i]) | quint32(text[i + 1]) << 16;
        const quint32 hi = quint32(text[i + 2]) | quint32(text[i + 3]) << 16;
        crc ^= lo;
        crc = t[7][crc & 0xFF] ^ t[6][(crc >> 8) & 0xFF] ^ t[5][(crc >> 16) & 0xFF] ^ t[4][crc >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; i < length; ++i) {
        const char16_t c = text[i];
        crc = t[0][(crc ^ (c & 0xFF)) & 0xFF] ^ (crc >> 8);
        crc = t[0][(crc ^ (c >> 8)) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

#ifdef TANDEX_HAVE_CRC32_INSTRUCTION
// The instruction consumes the little-endian bytes of its operand, which is
// exactly the UTF-16 text's byte order here. Align to four bytes, take eight
// per step, then the rest one unit at a time.
__attribute__((target("sse4.2"))) quint32 hardwareCrc32c(const char16_t* text, qsizetype length) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t bytes = size_t(length) * 2;
    quint32 crc = 0;
    while (bytes > 0 && (reinterpret_cast<quintptr>(p) & 3) != 0) {
        crc = _mm_crc32_u8(crc, *p++);
        --bytes;
    }
#if defined(__x86_64__)
    quint64 crc64 = crc;
    while (bytes >= 8) {
        quint64 v;
        std::memcpy(&v, p, 8);
        crc64 = _mm_crc32_u64(crc64, v);
        p += 8;
        bytes -= 8;
    }
    crc = quint32(crc64);
#endif
    while (bytes >= 4) {
        quint32 v;
        std::memcpy(&v, p, 4);
        crc = _mm_crc32_u32(crc, v);
        p += 4;
        bytes -= 4;
    }
    while (bytes > 0) {
        crc = _mm_crc32_u8(crc, *p++);
        --bytes;
    }
    return crc;
}
#endif

// Columns 1..8,192 can be marked; anything beyond never is.
inline bool columnMarked(const PaneStores& stores, qsizetype column) {
    return column >= 1 && column <= kMaskColumns && stores.IgnoredColumns[size_t(column)] != 0;
}

// Finds a marker in the line: the first marker (in list order) that occurs
// anywhere decides, at its first occurrence.
qsizetype commentCut(const LineKeyOptions& o, const char16_t* text, qsizetype length) {
    const QStringView line(text, length);
    for (const QString& marker : o.CommentMarkers) {
        if (marker.isEmpty()) continue;
        const qsizetype at = line.indexOf(marker);
        if (at >= 0) return at;
    }
    return length;
}

bool parseColumn(const QString& item, qint64& value) {
    bool ok = false;
    value = item.toLongLong(&ok);
    return ok;
}

}  // namespace

bool CpuHasSse42() {
#ifdef TANDEX_HAVE_CRC32_INSTRUCTION
    return __builtin_cpu_supports("sse4.2");
#else
    return false;
#endif
}

quint32 LineKeyCrc32cTable(const char16_t* text, qsizetype length) {
    return ~tableCrc(kCrc32cTables, 0, text, length);
}

quint32 LineKeyCrc32c(const char16_t* text, qsizetype length) {
#ifdef TANDEX_HAVE_CRC32_INSTRUCTION
    static const bool hardware = CpuHasSse42();
    if (hardware) return ~hardwareCrc32c(text, length);
#endif
    return LineKeyCrc32cTable(text, length);
}

quint32 LineKeyCrc32(const char16_t* text, qsizetype length) {
    return ~tableCrc(kCrc32Tables, 0xFFFFFFFFu, text, length);
}

quint32 LineKeys::HashText(const char16_t* text, qsizetype length) {
    return config::UseSSE42() ? LineKeyCrc32c(text, length) : LineKeyCrc32(text, length);
}

void LineKeys::LoadLineKeyOptions() {
    const auto& s = config::AppSettings();
    Options.IgnoreTrailingBlanks = s.TCIgnTrailBl;
    Options.IgnoreLeadingBlanks = s.TCIgnLeadBl;
    Options.IgnoreAllBlanks = s.TCIgnAllBl;
    Options.IgnoreCase = s.TCIgnCase;
    Options.CutAtComments = s.TCIgnLineCom && !s.TCIgnLnComPat.isEmpty();
    if (Options.CutAtComments) SplitCommentMarkers(s.TCIgnLnComPat);
}

bool LineKeys::SplitCommentMarkers(const QString& pattern) {
    QStringView rest(pattern);
    auto dropBlanks = [&rest] {
        qsizetype i = 0;
        while (i < rest.size() && IsBlankChar(rest[i].unicode())) ++i;
        rest = rest.mid(i);
    };
    for (QString& marker : Options.CommentMarkers) {
        dropBlanks();
        qsizetype end = 0;
        while (end < rest.size() && !IsBlankChar(rest[end].unicode())) ++end;
        marker = rest.left(end).toString();
        rest = rest.mid(end < rest.size() ? end + 1 : end);
    }
    dropBlanks();
    return rest.isEmpty();
}

void LineKeys::BuildColumnMask() {
    auto& stores = paneStores();
    const auto& s = config::AppSettings();
    if (s.TCIgnColRange) {
        stores.IgnoredColumnsActive = ParseIgnoredColumns(s.TCIgnColumns) ? 1 : 0;
    } else {
        stores.IgnoredColumnsActive = 0;
        stores.IgnoredColumns.fill(0);
    }
    Options.OptionsActive = 1;
}

bool LineKeys::ParseIgnoredColumns(const QString& list) {
    auto& mask = paneStores().IgnoredColumns;
    mask.fill(0);
    QString compact;
    for (QChar c : list)
        if (!IsBlankChar(c.unicode())) compact += c;
    auto mark = [&mask](qint64 first, qint64 last) {
        first = std::max<qint64>(first, 1);
        last = std::min<qint64>(last, kMaskColumns);
        for (qint64 c = first; c <= last; ++c) mask[size_t(c)] = 1;
    };
    const QStringList items = compact.split(u';', Qt::SkipEmptyParts);
    for (const QString& item : items) {
        const qsizetype dash = item.indexOf(u'-');
        qint64 a = 0, b = 0;
        if (dash >= 0) {
            if (!parseColumn(item.left(dash), a) || !parseColumn(item.mid(dash + 1), b)) return false;
            // Each end clamps to the last column; a reversed range marks nothing.
            a = std::min<qint64>(a, kMaskColumns);
            b = std::min<qint64>(b, kMaskColumns);
            mark(a, b);
        } else {
            if (!parseColumn(item, a)) return false;
            a = std::min<qint64>(a, kMaskColumns);
            if (a >= 1) mark(a, a);
        }
    }
    return true;
}

bool LineKeys::IsValidColumnList(const QString& list) {
    QString compact;
    for (QChar c : list)
        if (!IsBlankChar(c.unicode())) compact += c;
    compact.replace(u'-', u';');
    for (const QString& item : compact.split(u';', Qt::SkipEmptyParts)) {
        qint64 v;
        if (!parseColumn(item, v)) return false;
    }
    return true;
}

int LineKeys::EffectiveLineLength(const char16_t* text, int length) const {
    if (!Options.CutAtComments) return length;
    return int(commentCut(Options, text, length));
}

quint32 LineKeys::MakeLineKey(const char16_t* text, int length) {
    const auto& stores = paneStores();
    qsizetype end = length;
    if (Options.OptionsActive && Options.CutAtComments) end = commentCut(Options, text, length);
    if (copy_.size() < size_t(end)) copy_.resize(size_t(end));
    char16_t* buf = copy_.data();
    qsizetype start = 0;
    if (Options.OptionsActive && Options.IgnoreAllBlanks) {
        qsizetype kept = 0;
        for (qsizetype i = 0; i < end; ++i) {
            const char16_t c = text[i];
            if (!IsBlankChar(c) && !columnMarked(stores, i + 1)) buf[kept++] = c;
        }
        end = kept;
    } else {
        if (Options.IgnoreLeadingBlanks)
            while (start < end && IsBlankChar(text[start])) ++start;
        if (Options.IgnoreTrailingBlanks)
            while (end > start && IsBlankChar(text[end - 1])) --end;
        std::memcpy(buf + start, text + start, size_t(end - start) * sizeof(char16_t));
        // Ignored columns become 0 in place, so text that moved to another
        // column still changes the key.
        if (Options.OptionsActive && Options.IgnoreColumnsActive)
            for (qsizetype i = start; i < end && i < kMaskColumns; ++i)
                if (columnMarked(stores, i + 1)) buf[i] = 0;
    }
    if (Options.IgnoreCase)
        for (qsizetype i = start; i < end; ++i) buf[i] = QChar::toLower(buf[i]);
    return HashText(buf + start, end - start);
}

void LineKeys::HashAllLines(std::vector<qint32>& keys1, std::vector<qint32>& keys2) {
    LoadLineKeyOptions();
    auto& stores = paneStores();
    auto& progress = config::progressSink();
    const int l1 = stores.LineCount[1];
    const int l2 = stores.LineCount[2];
    const int s = std::max(0, config::AppSettings().TCIgnLnStart);
    const int e = std::max(0, config::AppSettings().TCIgnLnEnd);
    if (int(keys1.size()) < l1) keys1.resize(size_t(l1));
    if (int(keys2.size()) < l2 + 1) keys2.resize(size_t(l2) + 1);

    auto keyOf = [this](TTextLine* line) {
        if (line->Key == 0 && !line->Gap)
            line->Key = MakeLineKey(reinterpret_cast<const char16_t*>(line->Text.utf16()), line->Length());
        return qint32(line->Key);
    };
    for (int i = 0; i < l1; ++i) {
        keys1[size_t(i)] = keyOf(stores.TextLines[1][i]);
        if (i % 16384 == 0) progress.setProgress(i);
    }
    for (int j = s; j <= l2 - 1 - e; ++j) {
        keys2[size_t(j)] = keyOf(stores.TextLines[2][j]);
        if (j % 16384 == 0) progress.setProgress(qint64(l1) + j);
    }
    // The first and last lines that the settings force equal take the other
    // pane's keys; their own cached keys are dropped, as they were not made.
    auto takeKey = [&](int k, int from) {
        keys2[size_t(k)] = keys1[size_t(from)];
        TTextLine* line = stores.TextLines[2][k];
        if (!line->Gap) line->Key = 0;
    };
    for (int k = 0; k < std::min({s, l1, l2}); ++k) takeKey(k, k);
    int k = l2 - 1;
    for (int m = l1 - 1; m >= std::max(l1 - e, s) && k >= 0; --m) {
        if (k >= s) {
            takeKey(k, m);
            --k;
        }
    }
}

void LineKeys::ClearLineKeys() {
    auto& stores = paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        auto& lines = stores.TextLines[size_t(pane)];
        for (int i = 0; i < lines.StoredSize(); ++i) {
            TTextLine* line = lines[i];
            if (!line->Gap) line->Key = 0;
        }
    }
}

bool LineKeys::IsBlankText(const QString& text) const {
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const int n = EffectiveLineLength(p, int(text.size()));
    for (int i = 0; i < n; ++i)
        if (!IsBlankChar(p[i])) return false;
    return true;
}

bool LineKeys::IsBlankLine(int pane, int index) const {
    if (!PaneStores::IsPane(pane)) return false;
    const TTextLine* line = paneStores().TextLines[size_t(pane)][index];
    return IsBlankText(line->Text);
}

LineKeys& lineKeys() {
    static LineKeys keys;
    return keys;
}

}  // namespace tandex::engine
