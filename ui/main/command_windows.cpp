#include "command_windows.h"

namespace tandex::ui {

namespace {

class NoWindows : public CommandWindowServices {
public:
    bool Has(TCommandWindow) const override { return false; }
    void ShowColors(QPoint, bool, std::function<void(int)>) override {}
    void ShowSettings() override {}
    void ShowSettingsPage(int, int) override {}
    void ShowAbout(QPoint) override {}
};

CommandWindowServices* installedWindows = nullptr;

}  // namespace

CommandWindowServices& commandWindows() {
    static NoWindows none;
    return installedWindows ? *installedWindows : none;
}

void setCommandWindows(CommandWindowServices* services) { installedWindows = services; }

}  // namespace tandex::ui
