#pragma once
// The console of a command-line run: the standard output the program was
// started with. Lines are UTF-8 text ending in "\n". Whether there is a
// console is decided once, at the start of the process; write errors are
// ignored, because the exit code carries the result whatever the reader did
// with the text.

#include <QString>

namespace tandex::folders {

// Decides ConsoleAttached: true when the standard output is open. Call it
// first thing in main(), before any file is opened: a closed standard
// output (and error output) gets /dev/null in its place, so that no file the
// program opens later becomes descriptor 1 or 2 and receives console lines.
void ConsoleAttach();
bool ConsoleAttached();
// Writes text and "\n" and flushes, when attached.
void ConsoleWriteLn(const QString& text);
// Nothing to release on this platform; pending output is flushed.
void ConsoleDetach();

}  // namespace tandex::folders
