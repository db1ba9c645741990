#pragma once
// The program log: one diagnostic file to which any thread appends
// time-stamped lines, "dd.mm.yyyy hh:nn:ss: " followed by the text. Callers
// start the text with a short tag of the place that wrote it ("FI1",
// "AD1", "FD1:").

#include <QString>

namespace tandex::access {

// Sets the log path and creates the file empty when it does not exist;
// an empty path returns to the default.
void FZSetLogFile(const QString& path);
// The log path; until FZSetLogFile was called, "TDXLog.txt" in the
// program's writable root.
QString FZLogFile();
// Appends one line. Never fails: logging must not disturb the operation
// that logs.
void FZLog(const QString& text);

}  // namespace tandex::access
