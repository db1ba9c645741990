#include "ui/folders/cmp_folder_options.h"

#include "access/error_texts.h"
#include "config/num_format.h"

#include <algorithm>
#include <utility>

namespace tandex::folders {

namespace {

const QString kSessionStart = QStringLiteral("X->");

bool needsQuotes(const QString& item) {
    return std::any_of(item.begin(), item.end(), [](QChar c) {
        return c.unicode() <= 0x20 || c == QLatin1Char('"') || c == QLatin1Char(',');
    });
}

bool isBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= 0x20; }

}  // namespace

// ---- sessions -------------------------------------------------------------------

QString JoinSessionFields(const QStringList& fields) {
    QString s = kSessionStart;
    for (const QString& f : fields) {
        s += f;
        s += kSessionSeparator;
    }
    return s + QLatin1Char('X');
}

QString SessionField(const QString& session, int n) {
    if (n < 0) return {};
    qsizetype pos = session.startsWith(kSessionStart) ? kSessionStart.size() : 0;
    // Every field is searched to its end however long the ones before it
    // are: a long memo or mask list must not shift the later fields away.
    for (int i = 0; i < n; ++i) {
        const qsizetype sep = session.indexOf(kSessionSeparator, pos);
        if (sep < 0) return {};
        pos = sep + 1;
    }
    const qsizetype end = session.indexOf(kSessionSeparator, pos);
    return session.mid(pos, end < 0 ? -1 : end - pos);
}

bool SessionBool(const QString& session, int n) { return SessionField(session, n) == QLatin1String("1"); }

int SessionInt(const QString& session, int n) {
    bool ok = false;
    const int v = SessionField(session, n).toInt(&ok);
    return ok ? v : 0;
}

qint64 SessionInt64(const QString& session, int n) {
    bool ok = false;
    const qint64 v = SessionField(session, n).toLongLong(&ok);
    return ok ? v : 0;
}

QString SessionExcludedFolders(const QString& session) {
    const QString f = SessionField(session, sfExcludedFolders);
    return f == QLatin1String("0") || f == QLatin1String("1") ? QString() : f;
}

QString CommaText(const QStringList& lines) {
    if (lines.size() == 1 && lines.front().isEmpty()) return QStringLiteral("\"\"");
    QStringList items;
    items.reserve(lines.size());
    for (const QString& line : lines) {
        if (!needsQuotes(line)) {
            items << line;
            continue;
        }
        QString quoted = line;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        items << QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return items.join(QLatin1Char(','));
}

QStringList LinesOfCommaText(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && isBlank(text[p])) ++p;
    };
    skipBlanks();
    while (p < n) {
        QString item;
        if (text[p] == QLatin1Char('"')) {
            ++p;
            while (p < n) {
                if (text[p] == QLatin1Char('"')) {
                    if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const qsizetype start = p;
            while (p < n && text[p].unicode() > 0x20 && text[p] != QLatin1Char(',')) ++p;
            item = text.mid(start, p - start);
        }
        lines << item;
        skipBlanks();
        if (p < n && text[p] == QLatin1Char(',')) {
            if (p + 1 == n) lines << QString();
            ++p;
            skipBlanks();
        }
    }
    return lines;
}

// ---- content and buffers ----------------------------------------------------------

QString ContentModeHint(int mode, bool withDate, bool withAttributes) {
    static const char* const percent[] = {"1%", "10%", "25%", "50%"};
    switch (mode) {
    case 0:
        return QStringLiteral("Compare no file content (only") + QStringLiteral(" size ") +
               (withDate ? QStringLiteral("+ date ") : QString()) +
               (withAttributes ? QStringLiteral("+ some attributes ") : QString()) +
               QStringLiteral("will be compared)");
    case 1: return QStringLiteral("Compare only the content at Start Of Files (first buffer)");
    case 2: return QStringLiteral("Compare only the content at Start and End Of Files (first+last buffer)");
    case 3:
        return QStringLiteral(
            "Compare only the content at Start, Middle and End Of Files (first+middle+last buffer)");
    case 4:
    case 5:
    case 6:
    case 7:
        return QStringLiteral("Compare only ") + QLatin1String(percent[mode - 4]) +
               QStringLiteral(" of file content (evenly distributed over the entire file)");
    case 8: return QStringLiteral("Compare the entire file content");
    default: return QStringLiteral("unknown!");
    }
}

QString BufferSizeName(int index) {
    static const char* const names[] = {"32KiB", "64KiB", "128KiB", "256KiB", "512KiB", "1MiB", "2MiB", "4MiB"};
    return index >= 0 && index <= kBufferSizeMax ? QLatin1String(names[index]) : QString();
}

// ---- histories --------------------------------------------------------------------

void ShiftHistoryData(QString* entries, int count, int found, QString top) {
    if (count <= 0) return;
    const int k = std::clamp(found, 0, count - 1);
    for (int i = k; i > 0; --i) entries[i] = entries[i - 1];
    entries[0] = std::move(top);
}

// ---- texts ------------------------------------------------------------------------

TPreScanCountTexts PreScanCountTexts(int files, int folders, qint64 bytes) {
    TPreScanCountTexts t;
    t.files = config::IntToGroupedStr(files, 0, true);
    t.folders = config::IntToGroupedStr(folders, 0, true);
    config::TNumStyle total;
    total.Kind = 4;
    total.Prefix = QStringLiteral("  (");
    total.Suffix = QStringLiteral(")");
    t.bytes = config::FormatInt64Styled(bytes, total);
    config::TNumStyle size;
    size.Kind = 3;
    t.average = files > 0 ? config::FormatInt64Styled(bytes / files, size) : QStringLiteral("0B");
    return t;
}

QString LeftRootErrorText(int code, const QString& folder) {
    if (code == access::errShareNotFound)
        return QStringLiteral("Network share  [") + folder + QStringLiteral("]  not reachable!");
    // Only the text: the error line shows it, a box of its own would not
    // let the user go on typing.
    const QString reason = access::FZErrorText(-code, access::eoNone);
    if (code < 11001) return QStringLiteral("FolderL  [") + folder + QStringLiteral("]  not found!\r") + reason;
    return QStringLiteral("FTP connection failed!\r") + reason;
}

QString RightRootErrorText(int code, const QString& folder) {
    if (code == access::errShareNotFound)
        return QStringLiteral("Network share  [") + folder + QStringLiteral("]  not reachable!");
    return QStringLiteral("Folder2  [") + folder + QStringLiteral("]  not found!");
}

// ---- layout -------------------------------------------------------------------------

TOptionsLayout OptionsLayout(bool optionsOnly, bool moreSettings) {
    TOptionsLayout l;
    if (optionsOnly) {
        l.settingsTop = 0;
        l.attributesTop = 218;
        l.formHeight = 490;
        l.controlTop = l.formHeight - kControlHeight;
        return l;
    }
    l.settingsTop = kInfoHeight;
    l.attributesTop = 300;
    l.controlTop = moreSettings ? l.settingsTop + kSettingsHeight
                                : l.settingsTop + kMoreBarTop + kMoreBarHeight + 15;
    l.formHeight = l.controlTop + kControlHeight;
    return l;
}

}  // namespace tandex::folders
