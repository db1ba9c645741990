#pragma once
// The RTF run logs of the folder comparison (log 0) and the copy engine
// (log 1); logs 2 and 3 exist for later runs. A run collects its log in
// memory and the file is written only when the log is closed, so a run that
// ends abnormally leaves the previous file in place. The filter that the
// log viewer shows streams a log four lines (one entry) at a time. Nothing
// here needs a widget: a batch run writes its logs without a display.
//
// A log file is 7-bit text: whatever comes from outside the program goes
// through EscapeLogText, so that no name can open or close an RTF group or
// break an entry's four lines.

#include <QByteArray>
#include <QString>
#include <vector>

namespace tandex::folders {

inline constexpr int kRunLogCount = 4;
inline constexpr int kCompareLog = 0;
inline constexpr int kCopyLog = 1;

// "\" as "\\", "{" as "\{", "}" as "\}", and every UTF-16 unit below 32 or
// above 126 as "\u" + its signed 16-bit value + "?".
QString EscapeLogText(const QString& text);

// The file of log n: the program's log path followed by the digit.
QString LogFilePath(int n);
// The viewer's temporary filter result: the log path followed by "tmp".
QString LogFilterPath();

// The totals a log's third line carries.
struct TLogCounts {
    int total = 0;
    int successful = 0;
    int errors = 0;
    int skipped() const { return total - successful - errors; }
};
// The counts line: "{\*\generator fc" + the totals + ";}\viewkind4..."; a
// line of another form leaves counts at 0 and gives false.
bool ParseLogCounts(const QString& line, TLogCounts& counts);
// Reads the counts from the third line of a log file; the access layer's
// result of opening or reading it.
int ReadLogCounts(const QString& path, TLogCounts& counts);

// The bytes of a log file, at most limit of them; the access layer's result.
int ReadLogBytes(const QString& path, qsizetype limit, QByteArray& bytes);

// Copies the header of the log at source to target, then every entry whose
// result line holds text (with freeText, also its two path lines; the text
// is escaped first so that it matches what the writer stored), then "}".
// Returns the access layer's result; matches counts the entries kept.
int FilterLogFile(const QString& source, const QString& target, const QString& text, bool freeText,
                  int& matches);

class TRunLogs {
public:
    TRunLogs();

    // All take the log number; one outside 0..3 does nothing and, where
    // there is a result, gives 1.
    // Size in points; takes effect at the next OpenLog.
    void SetLogFont(int n, int size, const QString& name);
    // Up to three colours (0x00BBGGRR) per run, in the order of \cf1..\cf3.
    void AddLogColor(int n, quint32 color);
    // 1 when the log is open already (its lines stay), else 0.
    int OpenLog(int n, int total, int successful, int errors);
    // 1 when the log is not open.
    int UpdateLogCounts(int n, int total, int successful, int errors);
    // Adds text + "\par"; with escape, the text goes through EscapeLogText
    // first. 1 when the log is not open.
    int AddLogLine(int n, const QString& text, bool escape);
    // Writes the log to LogFilePath(n) and closes it. A failed open or write
    // shows a warning, abandons the new file so that the previous one
    // stays, and returns the access layer's error; 1 when the log was not
    // open.
    int CloseLog(int n);
    bool IsOpen(int n) const;

private:
    struct TLog {
        bool open = false;
        std::vector<QString> lines;
        int colorCount = 0;
        int halfPoints = 18;
        QString fontName;
        QString colorTable;
    };
    static bool valid(int n) { return n >= 0 && n < kRunLogCount; }
    static QString countsLine(const TLog& log, int total, int successful, int errors);

    TLog logs_[kRunLogCount];
};

// The program's run logs.
TRunLogs& RunLogs();

}  // namespace tandex::folders
