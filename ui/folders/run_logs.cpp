#include "run_logs.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/text_files.h"
#include "config/prg_dir.h"
#include "config/services.h"

namespace tandex::folders {

namespace {

const QLatin1String kCountsHead("{\\*\\generator fc");
const QLatin1String kCountsTail(";}\\viewkind4");

// Log lines are raw RTF: no tab expansion, no line limit, no trimming of
// the blank that ends the counts line.
void rawLines(int slot) { access::FZSetSlotTextOptions(slot, 0, 0, 0); }

class TSlot {
public:
    ~TSlot() {
        if (slot != access::FZNoSlot) access::FZClose(slot);
    }
    int slot = access::FZNoSlot;
};

// One line into text; false at the end of the data or on an error, which
// goes to result (the end itself is no error). A last line without a line
// break still counts.
bool readLine(int slot, QString& text, int& result) {
    const int r = access::FZReadLine(slot, text);
    if (r == 0) return true;
    if (r == access::errEndOfFile) return access::FZReadLineAtEnd(slot);
    result = r;
    return false;
}

}  // namespace

QString EscapeLogText(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u < 32 || u > 126) {
            out += QLatin1String("\\u") + QString::number(qint16(u)) + QLatin1Char('?');
        } else {
            out += c;
        }
    }
    return out;
}

QString LogFilePath(int n) { return config::PrgDir().GetLogPath() + QString::number(n); }

QString LogFilterPath() { return config::PrgDir().GetLogPath() + QLatin1String("tmp"); }

bool ParseLogCounts(const QString& line, TLogCounts& counts) {
    counts = TLogCounts{};
    if (!line.startsWith(kCountsHead)) return false;
    const qsizetype end = line.indexOf(kCountsTail, kCountsHead.size());
    if (end < 0) return false;
    const QStringList parts = line.mid(kCountsHead.size(), end - kCountsHead.size()).split(QLatin1Char(','));
    if (parts.size() != 3) return false;
    bool ok[3] = {};
    const TLogCounts read{parts[0].toInt(&ok[0]), parts[1].toInt(&ok[1]), parts[2].toInt(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2]) return false;
    counts = read;
    return true;
}

int ReadLogCounts(const QString& path, TLogCounts& counts) {
    counts = TLogCounts{};
    TSlot in;
    if (const int r = access::FZOpen(path, access::twReadAccess, false, in.slot)) return r;
    rawLines(in.slot);
    QString line;
    int result = 0;
    for (int i = 0; i < 3; ++i)
        if (!readLine(in.slot, line, result)) return result;
    ParseLogCounts(line, counts);
    return 0;
}

int ReadLogBytes(const QString& path, qsizetype limit, QByteArray& bytes) {
    bytes.clear();
    TSlot in;
    if (const int r = access::FZOpen(path, access::twReadAccess, false, in.slot)) return r;
    constexpr qsizetype kChunk = 1 << 20;
    while (bytes.size() < limit) {
        const qsizetype at = bytes.size();
        const qsizetype want = qMin(kChunk, limit - at);
        bytes.resize(at + want);
        qint64 done = 0;
        const int r = access::FZRead(in.slot, bytes.data() + at, want, done);
        bytes.resize(at + qsizetype(done));
        if (r) return r;
        if (done == 0) break;
    }
    return 0;
}

int FilterLogFile(const QString& source, const QString& target, const QString& text, bool freeText,
                  int& matches) {
    matches = 0;
    const QString needle = freeText ? EscapeLogText(text) : text;
    TSlot in, out;
    if (const int r = access::FZOpen(source, access::twReadAccess, false, in.slot)) return r;
    if (const int r = access::FZOpen(target, access::twWriteAccess, false, out.slot)) return r;
    rawLines(in.slot);
    rawLines(out.slot);

    int result = access::FZCopyLines(4, in.slot, out.slot);
    if (result == access::errEndOfFile) result = 0;
    // Only one entry is held at a time, however long the log.
    QString entry[4];
    while (result == 0) {
        int got = 0;
        while (got < 4 && readLine(in.slot, entry[got], result)) ++got;
        if (got < 4) break;
        const bool keep = entry[2].contains(needle) ||
                          (freeText && (entry[0].contains(needle) || entry[1].contains(needle)));
        if (keep) {
            for (const QString& line : entry)
                if ((result = access::FZWriteText(out.slot, line))) break;
            if (result) break;
            ++matches;
        }
    }
    if (!result) result = access::FZWriteText(out.slot, QStringLiteral("}"));
    // The filter file replaces an older one only when it was written whole.
    if (!result)
        result = access::FZCloseFile(out.slot);
    else
        access::FZEndFailedWrite(out.slot, false);
    return result;
}

TRunLogs::TRunLogs() {
    for (int n = 0; n < kRunLogCount; ++n) SetLogFont(n, 9, QStringLiteral("Courier New"));
}

void TRunLogs::SetLogFont(int n, int size, const QString& name) {
    if (!valid(n)) return;
    logs_[n].halfPoints = 2 * size;
    logs_[n].fontName = name;
}

void TRunLogs::AddLogColor(int n, quint32 color) {
    if (!valid(n)) return;
    TLog& log = logs_[n];
    if (log.colorCount >= 3) return;
    if (log.colorCount == 0) log.colorTable = QStringLiteral("{\\colortbl ;");
    log.colorTable += QStringLiteral("\\red%1\\green%2\\blue%3;")
                          .arg(color & 0xFF)
                          .arg((color >> 8) & 0xFF)
                          .arg((color >> 16) & 0xFF);
    ++log.colorCount;
}

QString TRunLogs::countsLine(const TLog& log, int total, int successful, int errors) {
    return kCountsHead + QStringLiteral("%1,%2,%3").arg(total).arg(successful).arg(errors) + kCountsTail +
           QStringLiteral("\\uc1\\pard\\cf1\\f0\\fs%1 ").arg(log.halfPoints);
}

int TRunLogs::OpenLog(int n, int total, int successful, int errors) {
    if (!valid(n)) return 1;
    TLog& log = logs_[n];
    if (log.open) return 1;
    log.open = true;
    log.lines.clear();
    log.lines.push_back(QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 ") +
                        EscapeLogText(log.fontName) + QStringLiteral(";}}"));
    // A run that added no colour still gets a table: a lone "}" would end
    // the document right behind its font table.
    log.lines.push_back((log.colorCount ? log.colorTable : QStringLiteral("{\\colortbl ;")) + QLatin1Char('}'));
    log.lines.push_back(countsLine(log, total, successful, errors));
    log.lines.push_back(QString());
    return 0;
}

int TRunLogs::UpdateLogCounts(int n, int total, int successful, int errors) {
    if (!valid(n) || !logs_[n].open) return 1;
    logs_[n].lines[2] = countsLine(logs_[n], total, successful, errors);
    return 0;
}

int TRunLogs::AddLogLine(int n, const QString& text, bool escape) {
    if (!valid(n) || !logs_[n].open) return 1;
    logs_[n].lines.push_back((escape ? EscapeLogText(text) : text) + QLatin1String("\\par"));
    return 0;
}

bool TRunLogs::IsOpen(int n) const { return valid(n) && logs_[n].open; }

int TRunLogs::CloseLog(int n) {
    if (!valid(n) || !logs_[n].open) return 1;
    TLog& log = logs_[n];
    log.lines.push_back(QStringLiteral("}"));
    const QString path = LogFilePath(n);
    int result = 0;
    {
        TSlot out;
        result = access::FZOpen(path, access::twWriteAccess, false, out.slot);
        if (!result) {
            rawLines(out.slot);
            for (const QString& line : log.lines)
                if ((result = access::FZWriteText(out.slot, line))) break;
            // The lines are buffered: the last of them reach the disk, and
            // the new file replaces the previous log, only here.
            if (!result)
                result = access::FZCloseFile(out.slot);
            else
                access::FZEndFailedWrite(out.slot, false);
        }
    }
    if (result)
        config::showMessage(QStringLiteral("Tandex"),
                            QStringLiteral("Failed to open/write the Logfile:\r\n") + path + QStringLiteral("\r\n\n") +
                                access::FZErrorText(-result, access::eoOpenWrite),
                            config::MsgKind::Warning);
    log.open = false;
    log.lines.clear();
    log.lines.shrink_to_fit();
    log.colorCount = 0;
    log.colorTable.clear();
    return result;
}

TRunLogs& RunLogs() {
    static TRunLogs logs;
    return logs;
}

}  // namespace tandex::folders
