#include "access/ftp_listing.h"

#include <QStringList>

namespace tandex::access {

namespace {

// Whitespace-separated words with the position each starts at, so that a
// name that holds blanks can be taken whole from the line.
struct Word {
    qsizetype start;
    qsizetype end;
};

std::vector<Word> splitWords(const QString& line, int most) {
    std::vector<Word> words;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && int(words.size()) < most) {
        while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t'))) ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && line[i] != QLatin1Char(' ') && line[i] != QLatin1Char('\t')) ++i;
        words.push_back({start, i});
    }
    return words;
}

QStringView wordText(const QString& line, const Word& w) {
    return QStringView(line).mid(w.start, w.end - w.start);
}

bool allDigits(QStringView s, int maxLength = 19) {
    if (s.isEmpty() || s.size() > maxLength) return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

int monthOf(QStringView word) {
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3) return 0;
    for (int m = 0; m < 12; ++m)
        if (word.left(3).compare(QLatin1String(names[m]), Qt::CaseInsensitive) == 0) return m + 1;
    return 0;
}

bool parseClock(QStringView text, int& hour, int& minute) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 1 || colon > 2) return false;
    const QStringView h = text.left(colon);
    const QStringView m = text.mid(colon + 1);
    if (!allDigits(h, 2) || !allDigits(m, 2) || m.size() != 2) return false;
    hour = h.toInt();
    minute = m.toInt();
    return hour < 24 && minute < 60;
}

}  // namespace

bool FZParseUnixLine(const QString& line, const QDateTime& now, TFtpEntry& entry) {
    entry = TFtpEntry{};
    if (line.size() < 10) return false;
    switch (line[0].unicode()) {
        case '-':
            entry.kind = TFtpEntryKind::File;
            break;
        case 'd':
            entry.kind = TFtpEntryKind::Folder;
            break;
        case 'l':
            entry.kind = TFtpEntryKind::Link;
            break;
        case 'b':
        case 'c':
        case 'p':
        case 's':
            entry.kind = TFtpEntryKind::Other;
            break;
        default:
            return false;
    }
    for (int i = 1; i < 10; ++i)
        if (!QStringLiteral("rwxsStTl-").contains(line[i])) return false;
    // Owner and group vary in number (some servers leave the group out),
    // so the date is found by its month word: size, month, day and the time
    // or year follow one another; the name is the rest of the line behind
    // exactly one blank.
    const std::vector<Word> words = splitWords(line, 9);
    for (size_t m = 2; m + 2 < words.size(); ++m) {
        const int month = monthOf(wordText(line, words[m]));
        if (!month || wordText(line, words[m]).size() != 3) continue;
        const QStringView sizeText = wordText(line, words[m - 1]);
        const QStringView dayText = wordText(line, words[m + 1]);
        const QStringView third = wordText(line, words[m + 2]);
        if (!allDigits(dayText, 2) || dayText.toInt() < 1 || dayText.toInt() > 31) continue;
        if (!allDigits(sizeText) && entry.kind != TFtpEntryKind::Other) continue;
        const qsizetype nameStart = words[m + 2].end + 1;
        if (nameStart >= line.size()) return false;
        entry.size = entry.kind != TFtpEntryKind::Other ? sizeText.toLongLong() : 0;
        int year = 0;
        int hour = 0;
        int minute = 0;
        if (allDigits(third, 4) && third.size() == 4) {
            year = third.toInt();
        } else if (parseClock(third, hour, minute)) {
            year = now.date().year();
            const QDateTime candidate(QDate(year, month, dayText.toInt()), QTime(hour, minute));
            if (!candidate.isValid() || candidate > now.addDays(1)) --year;
        } else {
            continue;
        }
        const QDate date(year, month, dayText.toInt());
        if (date.isValid()) entry.time = QDateTime(date, QTime(hour, minute), Qt::LocalTime);
        entry.name = line.mid(nameStart);
        if (entry.kind == TFtpEntryKind::Link) {
            const qsizetype arrow = entry.name.indexOf(QLatin1String(" -> "));
            if (arrow >= 0) {
                entry.linkTarget = entry.name.mid(arrow + 4);
                entry.name.truncate(arrow);
            }
        }
        return !entry.name.isEmpty();
    }
    return false;
}

bool FZParseDosLine(const QString& line, TFtpEntry& entry) {
    entry = TFtpEntry{};
    const std::vector<Word> words = splitWords(line, 3);
    if (words.size() < 3) return false;
    const QStringList dateParts = wordText(line, words[0]).toString().split(QLatin1Char('-'));
    if (dateParts.size() != 3) return false;
    for (const QString& p : dateParts)
        if (!allDigits(p, 4)) return false;
    int year = dateParts[2].toInt();
    if (dateParts[2].size() == 2) year += year < 70 ? 2000 : 1900;
    const QDate date(year, dateParts[0].toInt(), dateParts[1].toInt());
    if (!date.isValid()) return false;

    QString clock = wordText(line, words[1]).toString();
    int hour = 0;
    int minute = 0;
    bool pm = false;
    bool twelve = false;
    if (clock.endsWith(QLatin1String("AM"), Qt::CaseInsensitive) ||
        clock.endsWith(QLatin1String("PM"), Qt::CaseInsensitive)) {
        pm = clock.endsWith(QLatin1String("PM"), Qt::CaseInsensitive);
        twelve = true;
        clock.chop(2);
    }
    if (!parseClock(clock, hour, minute)) return false;
    if (twelve) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    const QStringView third = wordText(line, words[2]);
    if (third.compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0)
        entry.kind = TFtpEntryKind::Folder;
    else if (allDigits(third))
        entry.size = third.toLongLong();
    else
        return false;
    qsizetype nameStart = words[2].end;
    while (nameStart < line.size() &&
           (line[nameStart] == QLatin1Char(' ') || line[nameStart] == QLatin1Char('\t')))
        ++nameStart;
    entry.name = line.mid(nameStart);
    entry.time = QDateTime(date, QTime(hour, minute), Qt::LocalTime);
    return !entry.name.isEmpty();
}

bool FZParseMlsdLine(const QString& line, TFtpEntry& entry) {
    entry = TFtpEntry{};
    // The facts end at the first blank; the name is everything behind it.
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    if (blank < 0 || blank + 1 >= line.size()) return false;
    entry.name = line.mid(blank + 1);
    bool typed = false;
    for (const QString& fact : line.left(blank).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = fact.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = fact.left(eq).toLower();
        const QString value = fact.mid(eq + 1);
        if (key == QLatin1String("type")) {
            const QString type = value.toLower();
            typed = true;
            if (type == QLatin1String("file"))
                entry.kind = TFtpEntryKind::File;
            else if (type == QLatin1String("dir"))
                entry.kind = TFtpEntryKind::Folder;
            else if (type == QLatin1String("cdir"))
                entry.kind = TFtpEntryKind::CurrentFolder;
            else if (type == QLatin1String("pdir"))
                entry.kind = TFtpEntryKind::ParentFolder;
            else if (type.startsWith(QLatin1String("os.unix=slink")) ||
                     type.startsWith(QLatin1String("os.unix=symlink"))) {
                entry.kind = TFtpEntryKind::Link;
                const qsizetype colon = value.indexOf(QLatin1Char(':'));
                if (colon >= 0) entry.linkTarget = value.mid(colon + 1);
            } else
                entry.kind = TFtpEntryKind::Other;
        } else if (key == QLatin1String("size") || key == QLatin1String("sizd")) {
            if (allDigits(value)) entry.size = value.toLongLong();
        } else if (key == QLatin1String("modify")) {
            // YYYYMMDDHHMMSS with optional fractions; always UTC.
            const QString digits = value.section(QLatin1Char('.'), 0, 0);
            if (digits.size() == 14 && allDigits(digits)) {
                const QDate date(digits.left(4).toInt(), digits.mid(4, 2).toInt(),
                                 digits.mid(6, 2).toInt());
                const QTime time(digits.mid(8, 2).toInt(), digits.mid(10, 2).toInt(),
                                 digits.mid(12, 2).toInt());
                if (date.isValid() && time.isValid())
                    entry.time = QDateTime(date, time, Qt::UTC);
            }
        } else if (key == QLatin1String("unique")) {
            entry.unique = value;
        }
    }
    return typed;
}

bool FZParseListLine(const QString& line, const QDateTime& now, TFtpEntry& entry) {
    return FZParseUnixLine(line, now, entry) || FZParseDosLine(line, entry);
}

}  // namespace tandex::access
