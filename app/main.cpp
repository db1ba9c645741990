#include <QApplication>

#include "main_window_shell.h"
#include "program_settings.h"
#include "ui/main/window_helpers.h"
#include "window_services.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandex"));
    tandex::app::ProgramSettings settings;
    tandex::app::WindowServices services;
    auto window = tandex::app::createMainWindow();
    tandex::ui::SetMainForm(window.get());
    window->show();
    const int exitCode = QApplication::exec();
    settings.Save();
    return exitCode;
}
