#include "config/ini_store.h"

#include "config/ini_file_access.h"

namespace tandex::config {

namespace {

// "[" at the start and the first "]" at position 3 or later, so "[]" is
// not a header; text behind the "]" is allowed, but such a header is never
// found by name.
bool isHeader(const QString& line) {
    if (!line.startsWith(u'[')) return false;
    return line.indexOf(u']') >= 2;
}

QString headerOf(const QString& section) {
    return u'[' + section + u']';
}

// The index of the section whose header line is exactly the name's, or -1.
int findSection(const TIniStore& s, const QString& section) {
    const QString header = headerOf(section);
    for (int k = 0; k < s.IniSectionCount(); ++k)
        if (s.IniLines[size_t(s.IniSectionStart[size_t(k)])] == header) return k;
    return -1;
}

void resetStore(TIniStore& s) {
    s.IniLines.clear();
    s.IniSectionStart.assign(1, 0);
    s.IniCurLine = 0;
    s.IniCurSection = 0;
}

void logRefusal(const QString& line) {
    IniFileAccess().Log(QStringLiteral("FI3 INI store full, line not written: ") + line);
}

// Linux names may hold line breaks; written as they are, the next load
// would split the line and a name like "x\n[Printer]" would hide the rest
// of its section. Such a value is left out (the key keeps what it had) and
// the write counts as done, since the store itself is sound and the caller
// stops writing after a refusal: one odd name must not cost every setting.
bool breaksLine(const QString& text) {
    for (QChar c : text)
        if (c == u'\r' || c == u'\n' || c == QChar(0x1A)) return true;
    return false;
}

bool writeValue(const QString& section, const QString& key, const QString& valueText) {
    TIniStore& s = IniStore();
    if (breaksLine(key) || breaksLine(valueText)) {
        IniFileAccess().Log(QStringLiteral("FI5 value with a line break not written: [") + section +
                            QStringLiteral("] ") + key);
        return true;
    }
    const QString line = key + u'=' + valueText;
    QString old;
    if (IniFindKey(section, key, old)) {
        s.IniLines[size_t(s.IniCurLine)] = line;
        return true;
    }
    if (s.IniCurLine != 0) return IniInsertLine(line);
    return IniAppendSection(headerOf(section), line);
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

TIniStore& IniStore() {
    static TIniStore store;
    return store;
}

void IniLoad(const QString& path) {
    TIniStore& s = IniStore();
    resetStore(s);
    TIniFileAccess& file = IniFileAccess();
    int slot = 4;
    s.IniLoaded = file.Open(path, false, slot) == 0;
    if (s.IniLoaded) {
        int kind = 0;
        if (file.DetectFileKind(slot, kind) != 0) kind = kFileKindUtf8;
        file.SetFileKind(slot, kind);
        QString text;
        bool hasLine = false;
        for (;;) {
            const int result = file.ReadLine(slot, text, hasLine);
            if (!hasLine) break;
            if (isHeader(text)) {
                // The header that would exceed the table is not recorded:
                // a later write must not land in a section whose header
                // is not in the store.
                if (s.IniSectionCount() + 1 == kIniLoadHeaders) {
                    file.Log(QStringLiteral("FI1 Too many sections in ") + path);
                    break;
                }
                s.IniSectionStart.back() = s.IniLineCount();
                s.IniSectionStart.push_back(0);
            }
            s.IniLines.push_back(text);
            if (s.IniLineCount() == kIniLoadLines) {
                file.Log(QStringLiteral("FI2 Too many lines in ") + path);
                break;
            }
            if (result != 0) break;
        }
        file.Close(slot);
    }
    s.IniSectionStart.back() = s.IniLineCount();
    s.IniCurLine = 0;
    s.IniCurSection = 0;
}

int IniSave(const QString& path) {
    TIniStore& s = IniStore();
    TIniFileAccess& file = IniFileAccess();
    int slot = 4;
    if (file.Open(path, true, slot) != 0) return -1;
    file.SetFileKind(slot, kFileKindUtf8Bom);
    int failed = 0;
    for (int i = 0; i < s.IniLineCount(); ++i) {
        if (file.WriteText(slot, s.IniLines[size_t(i)]) != 0) {
            failed = i + 1;
            break;
        }
        s.IniLines[size_t(i)] = QString();
    }
    // After a failed write the close abandons the new file, so the old
    // one stays whole.
    const int closed = file.Close(slot);
    if (failed) return failed;
    return closed ? -1 : 0;
}

void IniClear() {
    resetStore(IniStore());
}

void IniFreeLines() {
    TIniStore& s = IniStore();
    resetStore(s);
    s.IniLines.shrink_to_fit();
}

bool IniFindKey(const QString& section, const QString& key, QString& value) {
    TIniStore& s = IniStore();
    const int k = findSection(s, section);
    if (k < 0) {
        s.IniCurLine = 0;
        return false;
    }
    s.IniCurSection = k;
    const int first = s.IniSectionStart[size_t(k)] + 1;
    const int last = s.IniSectionStart[size_t(k) + 1] - 1;
    const QString prefix = key + u'=';
    auto scan = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            ++s.KeyComparisons;
            if (s.IniLines[size_t(i)].startsWith(prefix)) {
                s.IniCurLine = i;
                value = s.IniLines[size_t(i)].mid(prefix.size());
                return true;
            }
        }
        return false;
    };
    // Keys read in file order are each found at the first line tried.
    const int from = s.IniCurLine + 1;
    const bool found =
        from < first || from > last ? scan(first, last) : scan(from, last) || scan(first, from - 1);
    if (!found) s.IniCurLine = last + 1;
    return found;
}

bool IniParseInt(const QString& text, int bits, qint64& value) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return false;
    // Hexadecimal covers the unsigned range of the width ("$FFFFFFFF" is -1
    // as a 32-bit number); decimal must fit the signed one.
    const quint64 top = bits == 32 ? 0x80000000ull : 0x8000000000000000ull;
    const quint64 limit = base == 16 ? top * 2 - 1 : negative ? top : top - 1;
    quint64 acc = 0;
    for (; i < n; ++i) {
        const int d = hexDigit(text[i].unicode());
        if (d < 0 || d >= base) return false;
        if (acc > (limit - quint64(d)) / quint64(base)) return false;
        acc = acc * quint64(base) + quint64(d);
    }
    qint64 v = bits == 32 && base == 16 ? qint64(qint32(quint32(acc))) : qint64(acc);
    if (negative) v = qint64(quint64(0) - quint64(v));
    if (bits == 32) v = qint32(quint32(quint64(v)));
    value = v;
    return true;
}

int IniReadInt(const QString& section, const QString& key, int defaultValue) {
    QString text;
    qint64 v = 0;
    if (IniFindKey(section, key, text) && IniParseInt(text, 32, v)) return int(v);
    return defaultValue;
}

bool IniReadBool(const QString& section, const QString& key, bool defaultValue) {
    QString text;
    if (!IniFindKey(section, key, text)) return defaultValue;
    if (text == u"0") return false;
    if (text == u"1") return true;
    return defaultValue;
}

QString IniReadString(const QString& section, const QString& key, const QString& defaultValue) {
    QString text;
    return IniFindKey(section, key, text) ? text : defaultValue;
}

bool IniWriteInt(const QString& section, const QString& key, int value) {
    return writeValue(section, key, QString::number(value));
}

bool IniWriteBool(const QString& section, const QString& key, bool flag) {
    return writeValue(section, key, flag ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniWriteString(const QString& section, const QString& key, const QString& text) {
    return writeValue(section, key, text);
}

bool IniInsertLine(const QString& line) {
    TIniStore& s = IniStore();
    if (s.IniLineCount() >= s.LineCapacity) {
        logRefusal(line);
        return false;
    }
    const int at = s.IniCurLine;
    s.IniLines.insert(s.IniLines.begin() + at, line);
    // The headers from the insertion point on, and the end mark, move up
    // with their lines.
    for (int& start : s.IniSectionStart)
        if (start >= at) ++start;
    return true;
}

bool IniAppendSection(const QString& header, const QString& line) {
    TIniStore& s = IniStore();
    if (s.IniLineCount() + 2 > s.LineCapacity || s.IniSectionCount() >= s.SectionCapacity) {
        logRefusal(header);
        return false;
    }
    // The old end mark already points at the new header.
    s.IniLines.push_back(header);
    s.IniLines.push_back(line);
    s.IniSectionStart.push_back(s.IniLineCount());
    return true;
}

void IniDeleteSection(const QString& section, const QString& path) {
    IniLoad(path);
    TIniStore& s = IniStore();
    const int k = findSection(s, section);
    if (k < 0) return;
    const int from = s.IniSectionStart[size_t(k)];
    const int length = s.IniSectionStart[size_t(k) + 1] - from;
    s.IniLines.erase(s.IniLines.begin() + from, s.IniLines.begin() + from + length);
    s.IniSectionStart.erase(s.IniSectionStart.begin() + k);
    for (size_t j = size_t(k); j < s.IniSectionStart.size(); ++j)
        s.IniSectionStart[j] -= length;
    s.IniCurLine = 0;
    IniSave(path);
}

}  // namespace tandex::config
