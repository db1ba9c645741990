#pragma once
// The settings dialog on its own or opened from the offscreen main window,
// with a program folder of its own and the dialog closed after each test.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <memory>

#include "config/services.h"
#include "config/sys_helpers.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/command_windows.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"
#include "ui/settings/command_window_services.h"
#include "ui/settings/settings_dialog.h"

namespace tandex::testing {

// The process's parameters as typed; GetParam folds A to Z as the batch
// unit does.
class TypedCommandLine : public ui::CommandLineServices {
public:
    explicit TypedCommandLine(QStringList arguments) : arguments_(std::move(arguments)) {}
    void StoreParams(const QStringList& arguments) override { arguments_ = arguments; }
    int ParamCount() const override { return int(arguments_.size()) - 1; }
    QString GetParam(int index) const override {
        QString s = GetParamAsTyped(index);
        for (QChar& c : s)
            if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
        return s;
    }
    QString GetParamAsTyped(int index) const override { return arguments_.value(index); }
    bool FindSwitch(const QString&) override { return false; }
    bool BatchMode() const override { return false; }
    void SetBatchMode(bool) override {}
    bool GuiRequested() const override { return false; }
    void SetGuiRequested(bool) override {}
    void RunBatch() override {}
    int ExitCode() const override { return 0; }

private:
    QStringList arguments_;
};

class SettingsDialogFixture : public ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        config::setEventPump(&pump_);
        ui::setCommandWindows(&services_);
        flatLook_ = config::FlatLook();
    }
    void TearDown() override {
        if (settings::TF_SettingsNew* open = settings::F_SettingsNew()) open->fbCancelClick();
        delete dialog_.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ui::setCommandWindows(nullptr);
        ui::setCommandLine(nullptr);
        config::setEventPump(nullptr);
        config::setMessageSink(nullptr);
        config::FlatLook() = flatLook_;
        ComparedWindowFixture::TearDown();
    }

    // The next dialog is made as when the program was started with these
    // parameters after its own path.
    void startedWith(const QStringList& parameters) {
        commandLine_ = std::make_unique<TypedCommandLine>(QStringList{QStringLiteral("tandex")} + parameters);
        ui::setCommandLine(commandLine_.get());
    }

    // The dialog alone, without a main window.
    settings::TF_SettingsNew& dialog() {
        if (!dialog_) {
            dialog_ = new settings::TF_SettingsNew(nullptr);
            Watch(dialog_);
            dialog_->show();
        }
        return *dialog_;
    }

    // Copies the resource archive beside the program, so that a window made
    // afterwards shows its pictures.
    void withPictures() {
#ifdef TANDEX_RESOURCE_ARCHIVE
        QDir().mkpath(tmp_.filePath("bin"));
        QFile::copy(QStringLiteral(TANDEX_RESOURCE_ARCHIVE), tmp_.filePath("bin/TandexRes.zipx"));
#endif
    }

    config::RecordingMessageSink sink_;
    ui::QtEventPump pump_;
    settings::TCommandWindowServices services_;
    QPointer<settings::TF_SettingsNew> dialog_;
    quint8 flatLook_ = 0;
    std::unique_ptr<TypedCommandLine> commandLine_;
};

}  // namespace tandex::testing
