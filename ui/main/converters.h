#pragma once
// Converter plug-ins: files that are not plain text (PDF, office documents,
// executables, XML, HTML) are compared as the text an external program the
// user configured makes of them. An entry is one ";"-separated record of
// AppSettings().PIConfig:
//
//   0 name  1 masks ("," between)  2 parameter template  3 program
//   4 short names (kept, no meaning here)  5 use exit code  6 success code
//   7 enabled  8 second success code (empty: same as field 6)
//
// The template's "$srcfile", "$dstfile" and "$appdir" (any letter case)
// become the source path, the output path and the program folder; without
// "$dstfile" the program's standard output is redirected into the output.
// Every path goes to /bin/sh in single quotes, so no file name is ever read
// as shell syntax. The output is "PIOUT.txt" in the access layer's
// temporary folder; both panes use it in turn.
//
// The loader calls matchPlugIn while it settles a pane's kind (kind 4 when
// it answers true) and runPlugIn in place of reading the file itself; the
// save routine asks SaveInPlaceNeedsSaveAs and SaveDefaultName.

#include <QString>

namespace tandex::ui {

// Results of a converter run.
enum TPlugInResult : int {
    prSuccess = 0,
    prNotFound = 1,      // the program is not there
    prStartFailed = 2,   // the shell could not be started; exitCode() holds the error
    prBadExitCode = 3,   // the exit code is not a success code
    prNoOutput = 4,      // the output cannot be opened or is empty
    prBadEntry = 5,      // a success code of the entry is not an integer
    prAccessFailed = 6,  // the source copy or the output file could not be made; errorCode() holds the code
    prCancelled = 7,     // the user cancelled; the converter was stopped
};

// The open-error codes of a pane that converter failures become; the
// loader's open-error text takes them to PlugInErrorText.
inline constexpr int kPlugInNotFoundError = -10;
inline constexpr int kPlugInExitCodeError = -11;
inline constexpr int kPlugInEmptyError = -12;
inline constexpr int kPlugInEntryError = -13;

inline constexpr const char* kPlugInOutputName = "PIOUT.txt";

// The fields of one entry that the run needs.
struct TPlugInEntry {
    QString Name;
    QString Masks;
    QString Parameters;
    QString Location;
    bool UseExitCode = false;
    bool Enabled = false;
    QString SuccessCode;
    QString SecondSuccessCode;

    static TPlugInEntry FromRecord(const QString& record);
    // Both success codes as integers (the second defaults to the first);
    // false when one of them is not an integer.
    bool successCodes(int& first, int& second) const;
};

// text in POSIX single quotes; a quote inside becomes '\''.
QString ShellQuote(const QString& text);

// The parameters handed to the shell after the program: the template with
// its placeholders replaced in one pass (so a path that happens to contain
// "$dstfile" stays as it is), and " > " + output when the template does
// not name "$dstfile". appDir ends with "/".
QString BuildPlugInParameters(const QString& templ, const QString& source, const QString& output,
                              const QString& appDir);

// The program of an entry's field 3: "$appdir/" or "$appdir\" expanded, a
// bare name looked up on PATH. Empty when there is no such file.
QString ResolvePlugInProgram(const QString& location);

class TPlugIns {
public:
    // The first enabled, non-empty entry whose masks match the file name of
    // path; its index goes to the pane's PlugInIndex. The masks of the last
    // entry tried stay installed in the access layer's mask set.
    bool selectPlugIn(int pane, const QString& path);
    // What kind detection asks: PlugInIndex := -1, then, unless every
    // converter is switched off, selectPlugIn.
    bool matchPlugIn(int pane, const QString& path);

    // Converts the pane's file (its slot, or a local copy of a remote one)
    // and opens the output for reading. Returns the output's slot, whose
    // text kind goes to kind, or 4 when result is not prSuccess.
    int runPlugIn(int pane, int& kind, int& result);
    // Runs program with the parameters through /bin/sh, in the program's
    // folder, waiting in 50 ms steps with the event pump running. A cancel
    // (FZAbortAll, as the window's cancel routine calls it) stops the
    // converter's whole process group. Result 0 .. 3, or prCancelled.
    int execPlugInCommand(const TPlugInEntry& entry, const QString& program,
                          const QString& parameters);

    // The last run's exit code (128 + the number for a signal) or, for
    // prStartFailed, the start error's result code.
    int exitCode() const { return exitCode_; }
    // For prAccessFailed: the access layer's code.
    int errorCode() const { return errorCode_; }
    // The command line of the last run, as the shell got it.
    QString lastCommand() const { return lastCommand_; }
    // True while a converter runs; the window counts as busy meanwhile.
    bool running() const { return running_; }

    // The pane's open-error code for a result: one of the kPlugIn codes,
    // a result code of the access layer or the system, or 0 for a cancel.
    int openErrorCode(int result) const;
    // The texts of the kPlugIn codes for the pane's entry.
    QString errorText(int code, int pane) const;

private:
    int exitCode_ = 0;
    int errorCode_ = 0;
    QString lastCommand_;
    bool running_ = false;
};

// The program's converter state.
TPlugIns& plugIns();

// ---- saving a converted pane -----------------------------------------------

// Whether "save" on the pane must ask for a new place: a pane without a
// name, a new comparison's "NewL.txt"/"NewR.txt", or converted text, which
// would otherwise replace the original document.
bool SaveInPlaceNeedsSaveAs(int pane);
// The name a save-as of the pane offers: its file name, for converted
// text followed by "." and the entry's name with blanks as "_"; empty for
// a new comparison's panes.
QString SaveDefaultName(int pane);

}  // namespace tandex::ui
