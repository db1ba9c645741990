#include "print_seams.h"

namespace tandex::ui {

namespace {

class NoHelp : public HelpServices {
public:
    void ShowHelpTopic(const QString&) override {}
    void ApplyTheme() override {}
    void CloseHelp() override {}
};

HelpServices* installedHelp = nullptr;

}  // namespace

HelpServices& help() {
    static NoHelp none;
    return installedHelp ? *installedHelp : none;
}

void setHelp(HelpServices* services) { installedHelp = services; }

void ShowHelpTopic(const QString& topic) {
    if (!topic.isEmpty()) help().ShowHelpTopic(topic);
}

}  // namespace tandex::ui
