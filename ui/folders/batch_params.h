#pragma once
// The batch unit: the parameter table, the switch parser and the
// command-line jobs. The process's parameters 0 to 19 are kept (0 the
// program itself); switches are looked up among parameters 1 to 19 wherever
// they stand. The main window reaches this unit through its command-line
// interface, installed at start; the jobs (batch_run.cpp) drive the main
// window's own loading and comparison.

#include <QIODevice>
#include <QString>
#include <array>

#include "ui/main/main_window_seams.h"

namespace tandex::folders {

constexpr int kCmdParamCount = 20;

class TBatchParams : public ui::CommandLineServices {
public:
    // Console lines go to the standard output unless a device is given.
    explicit TBatchParams(QIODevice* console = nullptr);

    void StoreParams(const QStringList& arguments) override;
    int ParamCount() const override { return paramCount_; }
    QString GetParam(int index) const override;
    QString GetParamAsTyped(int index) const override;
    bool FindSwitch(const QString& name) override;
    // Absent: true, target unchanged. Present with a value outside
    // 0..upperBound: BatchError and false. Else target := the value.
    bool FindIntSwitch(const QString& name, int upperBound, int& target);
    bool CheckSwitchChars(const QString& allowed) const;
    // Writes "ERROR: " + message (+ ": " + the parameter at index when it
    // is above 0) and sets the exit code 9.
    void BatchError(const QString& message, int index);
    // The console (console_out.h), or the device given to the constructor.
    void ConsoleWriteLn(const QString& text);
    bool ConsoleAttached() const;

    bool BatchMode() const override { return batchMode_; }
    void SetBatchMode(bool on) override { batchMode_ = on; }
    bool GuiRequested() const override { return guiRequested_; }
    void SetGuiRequested(bool on) override { guiRequested_ = on; }
    int ExitCode() const override { return exitCode_; }

    // ---- the jobs (batch_run.cpp) -------------------------------------------
    // Banner, then "/f", "/d" or the usage text, then the console is let go.
    void RunBatch() override;
    // The "/f" job: parameters 2 and 3 loaded and compared in the main
    // window, the result written, the exit code set.
    void BatchCompareFiles() override;
    // The "/d" job; mode -2 a batch run, 1113 from the window's start.
    void BatchCompareFolders(int mode) override;
    // The text after ":" of the switch's own parameter; absent when the
    // switch is missing or has no ":".
    QString OwnSwitchValue(const QString& name, const QString& absent);
    // Pane side's folder and file name from parameter n; true when both
    // are non-empty.
    bool SetBatchFile(int side, int n);
    // With "/ld": the pixel counts of the last image comparison.
    void WritePixelCounts();

    std::array<QString, kCmdParamCount> CmdParams;
    int SwitchPos = -1;
    QString SwitchValue;
    int SwitchNumber = 0;

private:
    QIODevice* console_;
    int paramCount_ = 0;
    bool batchMode_ = false;
    bool guiRequested_ = false;
    int exitCode_ = 0;
};

// The lines written before every batch job, and the help of "/?".
QString BatchBanner();
QString BatchUsageText();

}  // namespace tandex::folders
