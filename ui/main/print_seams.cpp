#include "print_seams.h"

namespace tandex::ui {

quint8 PrintLandscape = 0;

namespace {

class NoHelp : public HelpServices {
public:
    void ShowHelpTopic(const QString&) override {}
    void ApplyTheme() override {}
    void CloseHelp() override {}
};

HelpServices* installedHelp = nullptr;

class NoUpdate : public UpdateServices {
public:
    void AfterUpgrade(const QString&, const QString&) override {}
};

UpdateServices* installedUpdater = nullptr;

ReportServices* installedReport = nullptr;

}  // namespace

HelpServices& help() {
    static NoHelp none;
    return installedHelp ? *installedHelp : none;
}

void setHelp(HelpServices* services) { installedHelp = services; }

UpdateServices& updater() {
    static NoUpdate none;
    return installedUpdater ? *installedUpdater : none;
}

void setUpdater(UpdateServices* services) { installedUpdater = services; }

ReportServices& report() {
    static ReportServices none;
    return installedReport ? *installedReport : none;
}

void setReport(ReportServices* services) { installedReport = services; }

void ShowHelpTopic(const QString& topic) {
    if (!topic.isEmpty()) help().ShowHelpTopic(topic);
}

}  // namespace tandex::ui
