#include "main_window_seams.h"

#include "config/app_settings.h"

namespace tandex::ui {

namespace {

class NoCommandLine : public CommandLineServices {
public:
    void StoreParams(const QStringList&) override {}
    int ParamCount() const override { return 0; }
    QString GetParam(int) const override { return {}; }
    bool FindSwitch(const QString&) override { return false; }
    bool BatchMode() const override { return batch_; }
    void SetBatchMode(bool on) override { batch_ = on; }
    bool GuiRequested() const override { return gui_; }
    void SetGuiRequested(bool on) override { gui_ = on; }
    void RunBatch() override {}
    int ExitCode() const override { return 0; }

private:
    bool batch_ = false, gui_ = false;
};

// Gives up at once: without the dialog nobody can be asked.
class NoErrorDialog : public ErrorDialogServices {
public:
    int Ask(const QString&, const QString&, bool partly, int, bool) override {
        (partly ? partlyAnswer_ : errorAnswer_) = eaNo;
        return eaNo;
    }
    int ErrorAnswer() const override { return errorAnswer_; }
    int PartlyAnswer() const override { return partlyAnswer_; }
    void Reset() override {
        errorAnswer_ = partlyAnswer_ = eaNo;
        retries_[0] = retries_[1] = 0;
    }
    void ResetRetries(int side) override { retries_[side & 1] = 0; }
    void CountRetry(int side) override { ++retries_[side & 1]; }
    bool RetriesExhausted(int side) const override {
        return retries_[side & 1] >= config::AppSettings().ESMaxRetry;
    }
    void RetryDelay() override {}
    int RetryCount(int side) const override { return retries_[side & 1]; }
    void ExhaustRetries(int side) override { retries_[side & 1] = config::AppSettings().ESMaxRetry; }

private:
    int errorAnswer_ = eaNo, partlyAnswer_ = eaNo;
    int retries_[2] = {0, 0};
};

NoCommandLine& defaultCommandLine() {
    static NoCommandLine services;
    return services;
}

NoErrorDialog& defaultErrorDialog() {
    static NoErrorDialog services;
    return services;
}

CommandLineServices* installedCommandLine = nullptr;
ErrorDialogServices* installedErrorDialog = nullptr;

}  // namespace

CommandLineServices& commandLine() {
    return installedCommandLine ? *installedCommandLine : defaultCommandLine();
}

void setCommandLine(CommandLineServices* services) { installedCommandLine = services; }

ErrorDialogServices& errorDialog() {
    return installedErrorDialog ? *installedErrorDialog : defaultErrorDialog();
}

void setErrorDialog(ErrorDialogServices* services) { installedErrorDialog = services; }

bool DecideBatchMode(const QStringList& arguments) {
    CommandLineServices& cl = commandLine();
    cl.StoreParams(arguments);
    cl.SetGuiRequested(cl.FindSwitch(QStringLiteral("/gui")));
    const bool tweak = cl.FindSwitch(QStringLiteral("tweak"));
    cl.SetBatchMode(cl.ParamCount() >= 1 && !tweak && !cl.GuiRequested());
    return cl.BatchMode();
}

}  // namespace tandex::ui
