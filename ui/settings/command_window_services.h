#pragma once
// The one CommandWindowServices object the program installs: the settings
// subsystem answers for its own windows and services, and hands the
// windows other subsystems build (the about box) to the object they
// provide.

#include <QPointer>

#include "ui/main/command_windows.h"

namespace tandex::settings {

class TfColors;

class TCommandWindowServices : public ui::CommandWindowServices {
public:
    // others answers the windows this subsystem does not build; nullptr
    // leaves them missing.
    explicit TCommandWindowServices(ui::CommandWindowServices* others = nullptr) : others_(others) {}
    ~TCommandWindowServices() override;
    TCommandWindowServices(const TCommandWindowServices&) = delete;
    TCommandWindowServices& operator=(const TCommandWindowServices&) = delete;

    bool Has(ui::TCommandWindow window) const override;
    void ShowColors(QPoint pos, bool shortcutsOn, std::function<void(int)> apply) override;
    void ShowSettings() override;
    void ShowSettingsPage(int page, int pointerHint) override;
    bool SettingsOpen() const override;
    void CancelSettings() override;
    bool ShowSettingsHelp() override;
    void ApplySettingsTheme() override;
    void ShowAbout(QPoint pos) override;
    QString RunExternalProgram(int kind, const QString& path) override;
    QString ExternalViewerCaption(int n) const override;
    bool SelectFolderDialog(const QString& title, const QString& root, QString& folder, bool editBox,
                            bool includeFiles, bool newFolderButton) override;

    // The colour dialog, a child of the main window when there is one.
    void CreateColors() override;
    void CancelColors() override;
    void SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep, int halfCycleTicks) override;
    void EnablePulse(bool on) override;
    void SetOnPulse(std::function<void(quint32 color)> onPulse) override;
    TfColors* Colors() const;

private:
    ui::CommandWindowServices* others_;
    QPointer<TfColors> colors_;
};

}  // namespace tandex::settings
