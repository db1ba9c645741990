#pragma once
// What the main window uses of the folder comparison subsystem, which
// links this library and installs its implementations at start: the
// command line with the batch job, and the error dialog. Until they are
// installed, a window-only default answers (no parameters, no batch job,
// errors given up without asking).

#include <QString>
#include <QStringList>

namespace tandex::ui {

class CommandLineServices {
public:
    virtual ~CommandLineServices() = default;
    // Keeps the process's parameters, element 0 the program itself.
    virtual void StoreParams(const QStringList& arguments) = 0;
    // Parameters after the program's own path that were kept.
    virtual int ParamCount() const = 0;
    // The parameter at index with the letters A to Z lower-cased.
    virtual QString GetParam(int index) const = 0;
    // The parameter at index as it was typed; empty without one.
    virtual QString GetParamAsTyped(int /*index*/) const { return {}; }
    virtual bool FindSwitch(const QString& name) = 0;
    virtual bool BatchMode() const = 0;
    virtual void SetBatchMode(bool on) = 0;
    virtual bool GuiRequested() const = 0;
    virtual void SetGuiRequested(bool on) = 0;
    // The command-line job of a batch run.
    virtual void RunBatch() = 0;
    // The comparisons a window run starts from its command line: files,
    // or folders with mode 1113. Without the batch unit: nothing.
    virtual void BatchCompareFiles() {}
    virtual void BatchCompareFolders(int /*mode*/) {}
    // The process's exit code as the batch unit set it.
    virtual int ExitCode() const = 0;
};

// Answers of the error dialog.
enum TErrorAnswer : int { eaNo = 0, eaYes = 1, eaYesAll = 2, eaNoAll = 3, eaCancelAll = 4 };

class ErrorDialogServices {
public:
    virtual ~ErrorDialogServices() = default;
    // Asks about a failed operation on name; errorText begins with the
    // operation's name. side 0 is reading, 1 writing; partly asks whether
    // to keep a partly written file instead; allButtons offers the "all"
    // answers. The answer (a TErrorAnswer) is kept in PartlyAnswer or
    // ErrorAnswer and returned.
    virtual int Ask(const QString& name, const QString& errorText, bool partly, int side,
                    bool allButtons) = 0;
    // The answers remembered since the last Reset.
    virtual int ErrorAnswer() const = 0;
    virtual int PartlyAnswer() const = 0;
    virtual void Reset() = 0;
    virtual void ResetRetries(int side) = 0;
    virtual void CountRetry(int side) = 0;
    virtual bool RetriesExhausted(int side) const = 0;
    virtual void RetryDelay() = 0;
    // The side's retries so far, and using up the rest of them: a given-up
    // file's later errors give up at once.
    virtual int RetryCount(int /*side*/) const { return 0; }
    virtual void ExhaustRetries(int /*side*/) {}
};

CommandLineServices& commandLine();
// Installing nullptr restores the default; the caller keeps ownership.
void setCommandLine(CommandLineServices* services);

ErrorDialogServices& errorDialog();
void setErrorDialog(ErrorDialogServices* services);

// Stores the parameters and decides between a batch run and the window:
// a batch run has at least one parameter and neither "tweak" nor "/gui".
// Returns BatchMode.
bool DecideBatchMode(const QStringList& arguments);

}  // namespace tandex::ui
